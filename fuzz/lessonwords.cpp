// Arbitrary bytes as a word file of either language, filtered for every lesson of every
// layout and drawn from, and built into drill and word lines, which must end and fit.
#include "typing/lessons.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool decoded = lessons_decode();
    if (!decoded)
        __builtin_trap();
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    for (int language = 0; language < 2; ++language) {
        std::vector<std::string> words = word_list_parse(bytes, language == 0);
        word_list_set(language, words);
        for (int layout = language * 2; layout < language * 2 + 2; ++layout) {
            for (int lesson = 0; lesson <= lesson_count(layout); ++lesson) {
                LessonRun run;
                lesson_prepare(run, layout, lesson);
                (void)word_list_random();
                run.stage = 1;
                std::string line;
                for (int i = 0; i < 3 && drill_line_build(line, run, 20, 1); ++i)
                    if (line.size() > 20)
                        __builtin_trap();
            }
        }
    }
    word_list_free();
    return 0;
}
