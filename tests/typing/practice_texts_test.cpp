#include "typing/practice_texts.h"

#include "typing/johab.h"

#include <gtest/gtest.h>

namespace {

// A proverb file of lines "line NNN\r\n" and a tail, size bytes in all before trimming.
std::string proverb_bytes(size_t size, const std::string& tail)
{
    std::string bytes;
    for (int i = 0; bytes.size() + tail.size() < size; ++i)
        bytes += "p" + std::to_string(i) + "\r\n";
    if (size == 0)
        return "";
    bytes.resize(size - tail.size() - 1); // the text itself ends in a letter
    return bytes + "x" + tail;
}

TEST(Proverbs, TheThousandByteRuleCountsAfterTrimming)
{
    static const struct {
        const char* name;
        size_t size;
        const char* tail;
        ProverbLoad expected;
    } kCases[] = {
        {"exactly 1000", 1000, "", kProverbLoaded},
        {"999", 999, "", kProverbTooShort},
        {"999 with line ends, blanks and BEL after", 1003, "\r\n \a", kProverbTooShort},
        {"1000 with line ends, blanks and BEL after", 1004, "\r\n \a", kProverbLoaded},
                {"empty", 0, "", kProverbTooShort},
    };
    for (const auto& row : kCases) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(proverb_take(1, proverb_bytes(row.size, row.tail)), row.expected);
        std::string line;
        EXPECT_EQ(proverb_random(line, 100) >= 0, row.expected == kProverbLoaded);
    }
    proverb_reset();
}

TEST(Proverbs, RandomLinesFitWithoutTheirEndsAndADrawThatCannotFitEnds)
{
    std::string file;
    while (file.size() < 2000)
        file += "a long proverb line that is wide\r\nshort\r\n";
    ASSERT_EQ(proverb_take(1, file), kProverbLoaded);
    std::string line;
    for (int i = 0; i < 50; ++i) {
        SCOPED_TRACE(i);
        int32_t length = proverb_random(line, 10);
        EXPECT_EQ(line, "short");
        EXPECT_EQ(length, 5);
    }
    EXPECT_EQ(proverb_random(line, 4), -1); // nothing fits: the draws still end
    EXPECT_EQ(line, "");
    proverb_reset();
}

TEST(Proverbs, OnlyTheFirst65535BytesAreKept)
{
    std::string file(70000, 'a');
    file[65530] = '\n'; // the last line before the limit has 4 bytes
    ASSERT_EQ(proverb_take(1, file), kProverbLoaded);
    std::string line;
    EXPECT_EQ(proverb_random(line, 4), 4); // without the limit the last line would be 4469 bytes
    EXPECT_EQ(line, "aaaa");
    proverb_reset();
}

TEST(StoryText, CuttingEndsLinesAtLineEndsOrTheLastBlankAndNeverSplitsAPair)
{
    static const struct {
        const char* name;
        std::string text;
        size_t width;
        std::vector<std::string> expected;
    } kCases[] = {
        {"line ends, leading blanks and controls skipped", "  one\r\n\r\n\ttwo  \r\nthree", 40, {"one", "two", "three"}},
        {"cut at the last blank", "aaa bbb ccc", 9, {"aaa bbb", "ccc"}},
        {"no blank: cut at the width", "abcdefgh", 5, {"abcde", "fgh"}},
        {"a pair is not split", "ab\xB0\xA1\xB0\xA1", 5, {"ab\xB0\xA1", "\xB0\xA1"}},
        {"width above the model line", std::string(130, 'z'), 500, {std::string(120, 'z'), std::string(10, 'z')}},
        {"nothing but blanks", " \r\n \a", 10, {}},
    };
    for (const auto& row : kCases) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(story_cut(row.text, row.width), row.expected);
    }
}

TEST(StoryText, SpacingAfterFullStopsFollowsTheModeAndStaysInTheModelLine)
{
    static const struct {
        const char* name;
        std::string line;
        int32_t mode;
        std::string expected;
    } kCases[] = {
        {"one blank gets a second", "End. Next.", kAfterSpaceTwo, "End.  Next."},
        {"three blanks keep one", "End.   Next.", kAfterSpaceOne, "End. Next."},
        {"unchanged", "End.   Next.", kAfterSpaceKeep, "End.   Next."},
        {"a stop without a blank", "3.14 and.", kAfterSpaceTwo, "3.14 and."},
        {"the second blank that would pass 120 bytes is left out", std::string(115, 'a') + ". bbb", kAfterSpaceTwo,
            std::string(115, 'a') + ". bbb"},
        {"a line over 200 bytes is left alone", std::string(201, 'a') + ". b", kAfterSpaceTwo,
            std::string(120, 'a')},
    };
    for (const auto& row : kCases) {
        SCOPED_TRACE(row.name);
        std::string out = story_reformat(row.line, row.mode);
        EXPECT_EQ(out, row.expected);
        EXPECT_LE(out.size(), kStoryLineMax);
    }
}

TEST(StoryText, PagesTakeThreeLinesAndAnEmptyPageEndsTheStory)
{
    std::vector<std::string> lines {"l0", "l1", "l2", "l3\tx", "l4", "l5", "l6"};
    EXPECT_EQ(story_page(lines, 1, kStoryWansung, kAfterSpaceOne), (std::vector<std::string> {"l3 x", "l4", "l5"}));
    EXPECT_EQ(story_page(lines, 2, kStoryWansung, kAfterSpaceOne), (std::vector<std::string> {"l6"}));
    EXPECT_TRUE(story_page(lines, 3, kStoryWansung, kAfterSpaceOne).empty());
    std::vector<std::string> johab {wansung_to_johab("\xB0\xA1. \xB3\xAA")}; // 가. 나
    EXPECT_EQ(story_page(johab, 0, kStoryJohab, kAfterSpaceTwo), (std::vector<std::string> {"\xB0\xA1.  \xB3\xAA"}));
}

TEST(StoryText, CatalogueEntriesTakeTitleCodeAndLanguageFromTheHead)
{
    static const struct {
        const char* name;
        std::string head;
        std::string title;
        StoryCode code;
        StoryLanguage language;
    } kCases[] = {
        {"English", "\r\n  The Fox\r\nOnce upon", "The Fox", kStoryWansung, kStoryEnglish},
        {"Johab Korean", wansung_to_johab("\xB0\xA1\xB3\xAA") + "\r\n", "\xB0\xA1\xB3\xAA", kStoryJohab, kStoryKorean},
        {"Korean after the title", "Title\r\n" + std::string("\xB0\xA1"), "Title", kStoryWansung, kStoryKorean},
        {"empty", "", "", kStoryWansung, kStoryEnglish},
    };
    for (const auto& row : kCases) {
        SCOPED_TRACE(row.name);
        StoryEntry entry = story_entry_from_head("A.TXT", row.head, 5000);
        EXPECT_EQ(entry.title, row.title);
        EXPECT_EQ(entry.code, row.code);
        EXPECT_EQ(entry.language, row.language);
    }
    std::string long_head(300, 'a');
    EXPECT_EQ(story_entry_from_head("B.TXT", long_head, 300).title.size(), kStoryTitleBytes);
}

} // namespace
