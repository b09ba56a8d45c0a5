// Arbitrary bytes as the tutor's texts: as a proverb file of either language, drawn from at
// several widths; as a story, through its catalogue entry, its cutting at several widths, its
// pages in every spacing mode; as a word list of either language, filtered by the keys of a
// few lessons and drawn from. Every line must stay within the width asked for, every word
// drawn must be one that passed the filter.
#include "typing/lessons.h"
#include "typing/practice_texts.h"

#include <algorithm>
#include <cstdint>
#include <string>

namespace {

void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

void proverbs(const std::string& bytes)
{
    for (int32_t language : {0, 1}) {
        if (proverb_take(language, bytes) != kProverbLoaded)
            continue;
        for (size_t width : {0u, 1u, 10u, 53u, 200u}) {
            std::string line;
            int32_t length = proverb_random(line, width);
            check(length == -1 ? line.empty() : size_t(length) == line.size() && line.size() <= width);
            check(line.find_first_of("\r\n") == std::string::npos);
        }
    }
    proverb_reset();
}

void story(const std::string& bytes)
{
    StoryEntry entry = story_entry_from_head("STORY.TXT", bytes, uint32_t(bytes.size()));
    check(entry.title.size() <= 2 * kStoryTitleBytes);
    for (size_t width : {0u, 5u, 53u, 200u}) {
        std::vector<std::string> lines = story_cut(bytes, width);
        for (const std::string& line : lines)
            check(!line.empty() && line.size() <= std::max<size_t>(2, std::min(width, kStoryLineMax)));
        for (int32_t mode : {kAfterSpaceOne, kAfterSpaceTwo, kAfterSpaceKeep}) {
            for (size_t page = 0; page * kStoryPageLines < lines.size() + kStoryPageLines; ++page) {
                for (const std::string& line : story_page(lines, page, entry.code, mode))
                    check(line.size() <= kStoryLineMax);
            }
        }
    }
}

void words(const std::string& bytes)
{
    static const bool decoded = lessons_decode();
    check(decoded);
    for (int language : {0, 1}) {
        std::vector<std::string> list = word_list_parse(bytes, language == 0);
        for (const std::string& word : list)
            check(!word.empty() && word.find_first_of("\t \r\n") == std::string::npos);
        word_list_set(language, list);
        check(word_list_size() == list.size());
        const int layout = language * 2;
        for (int lesson : {0, 3, lesson_count(layout) - 1}) {
            const size_t fitting = word_filter_by_keys(layout, lesson);
            check(fitting == word_filtered_count() && fitting <= list.size());
            for (int draw = 0; draw < 4; ++draw) {
                std::string word = word_list_random();
                check(fitting == 0 ? word.empty() : !word.empty() && word.size() >= word_filtered_shortest());
                check(word.empty() || std::find(list.begin(), list.end(), word) != list.end());
            }
        }
    }
    word_list_free();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string bytes(reinterpret_cast<const char*>(data), size);
    proverbs(bytes);
    story(bytes.substr(0, kTextFileMax));
    words(bytes);
    return 0;
}
