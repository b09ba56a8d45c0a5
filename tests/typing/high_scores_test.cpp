#include "typing/high_scores.h"

#include "typing/johab.h"

#include "tutor_window_test.h"

#include <fstream>
#include <sstream>

namespace {

HighScoreEntry entry(const std::string& name, int32_t score, uint16_t language = 0, uint16_t keyboard = 0)
{
    return HighScoreEntry {name, language, keyboard, score};
}

std::string johab_text(const char* utf8) { return wansung_to_johab(plat::utf8_to_code_page(949, utf8)); }

TEST(HighScoreFile, ReadsOnlyWholeTablesAndBoundsNames)
{
    static const struct {
        const char* name;
        size_t size;
        bool ok;
    } kSizes[] = {{"whole", 480, true}, {"short", 479, false}, {"long", 481, false}, {"empty", 0, false}};
    for (const auto& row : kSizes) {
        SCOPED_TRACE(row.name);
        std::vector<uint8_t> bytes(row.size, 'N'); // names without a NUL
        HighScoreTable table;
        table[0].score = 99;
        EXPECT_EQ(high_scores_parse(bytes, table), row.ok);
        if (row.ok) {
            EXPECT_EQ(table[0].name, std::string(40, 'N')) << "a name stops at its 40 bytes";
            EXPECT_EQ(table[9].score, 0x4E4E4E4E);
        } else {
            EXPECT_EQ(high_scores_shown(table), 0u) << "anything but 480 bytes reads as an empty table";
        }
    }
}

TEST(HighScoreFile, BytesRoundTripFieldByField)
{
    HighScoreTable table;
    table[0] = entry("Kim", 1234, 1, 1);
    std::vector<uint8_t> bytes = high_scores_bytes(table);
    ASSERT_EQ(bytes.size(), kHighScoreFileSize);
    EXPECT_EQ(bytes[0], 'K');
    EXPECT_EQ(bytes[3], 0);
    EXPECT_EQ(bytes[40], 1);
    EXPECT_EQ(bytes[42], 1);
    EXPECT_EQ(bytes[44], 0xD2);
    EXPECT_EQ(bytes[45], 0x04);
    HighScoreTable back;
    ASSERT_TRUE(high_scores_parse(bytes, back));
    EXPECT_EQ(back[0].name, "Kim");
    EXPECT_EQ(back[0].score, 1234);
    EXPECT_EQ(high_scores_shown(back), 1u);

    // Whatever follows a name's NUL is padding: it is not kept.
    bytes[4] = 'x';
    ASSERT_TRUE(high_scores_parse(bytes, back));
    EXPECT_EQ(back[0].name, "Kim");
    EXPECT_EQ(high_scores_bytes(back)[4], 0);
}

TEST(HighScoreTable, NewScoresGoBelowEqualOnes)
{
    HighScoreTable table;
    for (int i = 0; i < 10; ++i)
        table[size_t(i)] = entry("p" + std::to_string(i), 100 - 10 * i); // 100, 90 .. 10
    static const struct {
        const char* name;
        int32_t score;
        int row;
    } kCases[] = {
        {"best of all", 200, 0},
        {"a tie stays below", 90, 2},
        {"equal to the tenth does not enter", 10, -1},
        {"below the tenth", 5, -1},
        {"just above the tenth", 11, 9},
    };
    for (const auto& row : kCases) {
        SCOPED_TRACE(row.name);
        HighScoreTable copy = table;
        EXPECT_EQ(high_scores_insert(copy, entry("new", row.score)), row.row);
        if (row.row >= 0) {
            EXPECT_EQ(copy[size_t(row.row)].name, "new");
            EXPECT_EQ(copy[9].name, row.row == 9 ? "new" : "p8") << "the last entry drops";
        }
    }
    HighScoreTable empty;
    EXPECT_EQ(high_scores_insert(empty, entry("a", 0)), -1) << "a game of no points enters nothing";
    EXPECT_EQ(high_scores_insert(empty, entry("a", 1)), 0);
}

TEST(HighScoreRow, CutsTheNameAtAWholeCharacter)
{
    const std::string six = johab_text("가나다라마바"); // twelve bytes
    static const struct {
        const char* name;
        std::string player;
        uint16_t language, keyboard;
        std::string expected;
    } kCases[] = {
        {"Korean name of twelve bytes", six, 0, 1,
            " 1 " + johab_text("가나다라마") + "     42 " + johab_text("한") + "/3"},
        {"a pair across the tenth byte", "abcdefghi" + johab_text("가"), 1, 0,
            " 1 abcdefghi      42 " + johab_text("영") + "/QWE"},
        {"short name padded", "Lee", 1, 1, " 1 Lee            42 " + johab_text("영") + "/DVO"},
    };
    for (const auto& row : kCases) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(high_score_row_text(entry(row.player, 42, row.language, row.keyboard), 1), row.expected);
    }
}

// The list dialog over a headless desktop with the score file in the program folder.
class HighScoreDialog : public TutorWindowTest {
protected:
    void SetUp() override
    {
        TutorWindowTest::SetUp();
        high_scores_reset();
        use_archive({solid_picture("vd-gt-vn.bmp", 360, 340, 5)});
    }
    void TearDown() override
    {
        high_scores_reset();
        TutorWindowTest::TearDown();
    }
    std::vector<uint8_t> file_bytes() { return read_host_file(path("qktsco.dat")); }
    std::string log_text()
    {
        std::ifstream in(path("run.log"));
        std::stringstream all;
        all << in.rdbuf();
        return all.str();
    }
};

TEST_F(HighScoreDialog, AMissingFileIsCreatedEmptyAndAScoreIsStored)
{
    start_script("wait 1200\nkey Space\n");
    EXPECT_EQ(high_scores_update(host, 0), -1);
    EXPECT_EQ(file_bytes(), std::vector<uint8_t>(480, 0));
    start_script("wait 1200\nkey Space\n");
    EXPECT_EQ(high_scores_update(host, 77), 0);
    std::vector<uint8_t> bytes = file_bytes();
    ASSERT_EQ(bytes.size(), 480u);
    HighScoreTable table;
    ASSERT_TRUE(high_scores_parse(bytes, table));
    EXPECT_EQ(table[0].name, user_list_name_get(-1)) << "the current user's name, in Johab";
    EXPECT_EQ(table[0].score, 77);
    EXPECT_NE(log_text().find("high score stored rank 1 score 77"), std::string::npos);
}

TEST_F(HighScoreDialog, AFileOfAnotherSizeIsReplacedOnlyWhenAScoreIsStored)
{
    const std::vector<uint8_t> odd(100, 7);
    write_host_file(path("qktsco.dat"), odd);
    start_script("wait 1200\nkey Space\n");
    high_scores_update(host, 0);
    EXPECT_EQ(file_bytes(), odd);
    start_script("wait 1200\nkey Space\n");
    EXPECT_EQ(high_scores_update(host, 5), 0);
    EXPECT_EQ(file_bytes().size(), 480u);
}

TEST_F(HighScoreDialog, AClickOrTheSpaceBarClosesOnlyAfterASecond)
{
    // The early click and blank are ignored; the list is still up until the late one.
    start_script("wait 100\nclick 320 240\nkey Space\nwait 1100\nclick 320 240\n");
    const uint32_t start = plat::get_tick_count();
    high_scores_update(host, 0);
    EXPECT_GE(plat::get_tick_count() - start, 1000u);
}

} // namespace
