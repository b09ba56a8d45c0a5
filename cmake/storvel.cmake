# Each library sees only its own headers and those of the libraries it links: its folder is
# exposed under its project path through a link in the build tree, so that an include of a
# library it does not link (a layer above it) does not build.
function(storvel_expose name)
    file(RELATIVE_PATH rel ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
    set(root ${CMAKE_BINARY_DIR}/include/${name})
    get_filename_component(parent ${root}/${rel} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${root}/${rel} SYMBOLIC)
    target_include_directories(${name} PUBLIC ${root})
endfunction()

# One static library per folder: every .cpp in the folder (and, with RECURSE, in its
# subfolders) is part of it.
function(storvel_library name)
    cmake_parse_arguments(ARG "RECURSE" "" "DEPS" ${ARGN})
    if(ARG_RECURSE)
        file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    else()
        file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    endif()
    add_library(${name} STATIC ${sources})
    storvel_expose(${name})
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
endfunction()

# One GoogleTest binary per folder; CTest lists each of its cases, so a failure names its case.
include(GoogleTest)
function(storvel_test_folder name)
    cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    add_executable(${name} ${sources})
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gtest_main GTest::gmock)
    target_compile_definitions(${name} PRIVATE STORVEL_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
                                               STORVEL_BINARY_DIR="${CMAKE_BINARY_DIR}")
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                         TEST_PREFIX "${name}." EXTRA_ARGS --gtest_brief=1)
endfunction()

# A benchmark program bench/NAME.cpp becomes target bench_NAME, built on demand.
function(storvel_bench name)
    cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
    add_executable(bench_${name} EXCLUDE_FROM_ALL ${CMAKE_CURRENT_SOURCE_DIR}/${name}.cpp)
    set_target_properties(bench_${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
    target_include_directories(bench_${name} PRIVATE ${PROJECT_SOURCE_DIR})
    target_link_libraries(bench_${name} PRIVATE ${ARG_DEPS} benchmark::benchmark)
endfunction()

# A fuzz target fuzz/NAME.cpp becomes target fuzz_NAME.
function(storvel_fuzz name)
    cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
    add_executable(fuzz_${name} ${CMAKE_CURRENT_SOURCE_DIR}/${name}.cpp)
    set_target_properties(fuzz_${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
    target_include_directories(fuzz_${name} PRIVATE ${PROJECT_SOURCE_DIR})
    target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
    target_link_libraries(fuzz_${name} PRIVATE ${ARG_DEPS})
endfunction()
