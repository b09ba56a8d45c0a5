// Arbitrary bytes as the tutor's texts: as a proverb file of either language, drawn from at
// several widths; as a story, through its catalogue entry, its cutting at several widths, its
// pages in every spacing mode. Every line must stay within the width asked for.
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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string bytes(reinterpret_cast<const char*>(data), size);
    proverbs(bytes);
    story(bytes.substr(0, kTextFileMax));
    return 0;
}
