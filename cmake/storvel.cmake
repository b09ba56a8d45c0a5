# One static library per folder: every .cpp in the folder is part of it.
function(storvel_library name)
    cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
endfunction()

# One GoogleTest binary per folder, run by CTest as one test.
function(storvel_test_folder name)
    cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    add_executable(${name} ${sources})
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gtest_main GTest::gmock)
    target_compile_definitions(${name} PRIVATE STORVEL_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
                                               STORVEL_BINARY_DIR="${CMAKE_BINARY_DIR}")
    add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
endfunction()

# A benchmark program bench/NAME.cpp becomes target bench_NAME, built on demand.
function(storvel_bench name)
    cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
    add_executable(bench_${name} EXCLUDE_FROM_ALL ${CMAKE_CURRENT_SOURCE_DIR}/${name}.cpp)
    set_target_properties(bench_${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
    target_link_libraries(bench_${name} PRIVATE ${ARG_DEPS} benchmark::benchmark)
endfunction()

# A fuzz target fuzz/NAME.cpp becomes target fuzz_NAME.
function(storvel_fuzz name)
    cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
    add_executable(fuzz_${name} ${CMAKE_CURRENT_SOURCE_DIR}/${name}.cpp)
    set_target_properties(fuzz_${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
    target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
    target_link_libraries(fuzz_${name} PRIVATE ${ARG_DEPS})
endfunction()
