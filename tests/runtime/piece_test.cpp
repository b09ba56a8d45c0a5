// Opening pieces: the command line's file name, the window title rules, saving a compacted
// copy through a temporary file, and finding the files a piece names.
#include "piece_fixture.h"
#include "platform/kernel/log.h"
#include "runtime/pieces/piece_start.h"
#include "text_scope.h"

#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

namespace {

using namespace nodetest;
using piecetest::PieceFixture;

struct TailCase {
    const char* tail;
    const char* name;
};
static const TailCase kTails[] = {
    {"intro.v5r", "intro.v5r"},
    {"\"C:\\My Course\\a.v5r\"", "C:\\My Course\\a.v5r"},
    {"C:\\My Course\\a.v5r", "C:\\My Course\\a.v5r"},
    {"-TARGETWINDOW 1234 -TARGETICON 5 intro.v5r", "intro.v5r"},
    {"intro.v5r -TARGETICON 5", "intro.v5r"},
    {"-targetwindow 77", ""},
    {"\"\"", ""},
    {"", ""},
};

TEST(PieceStart, CommandLineNameLosesOptionsAndQuotes)
{
    for (const TailCase& c : kTails) {
        SCOPED_TRACE(c.tail);
        EXPECT_EQ(piece_command_line_name(c.tail), c.name);
    }
}

class PieceTest : public PieceFixture {
protected:
    std::string window_title(const char* file, int keep = 0)
    {
        piece_current_set_spec(disk(file));
        char title[300];
        EXPECT_EQ(piece_window_title(title, sizeof title, keep), 0);
        piece_current_clear();
        return title;
    }
};

struct TitleCase {
    const char* file;
    int keep;
    const char* title;
};
static const TitleCase kTitles[] = {
    {"Intro.v5r", 0, "Intro"},
    {"Intro.V5R", 0, "Intro"},
    {"Intro.v5p", 0, "Intro"},
    {"Help.exe", 0, "Help"},
    {"Intro.v5r", 1, "Intro.v5r"},
    {"Notes.dat", 0, "Notes.dat"},
    {"a.b.v5r", 0, "a.b"},
};

TEST_F(PieceTest, WindowTitleIsTheFileNameWithoutThePieceExtensions)
{
    for (const TitleCase& c : kTitles) {
        SCOPED_TRACE(c.file);
        EXPECT_EQ(window_title(c.file, c.keep), c.title);
    }
}

TEST_F(PieceTest, TitlePropertyOfTheTopIconWinsOverTheFileName)
{
    make_file("course.v5r", "kind PCRS\nicon map \"Top\" {\n prop 20 textz \"My Course\"\n}\n");
    ASSERT_EQ(piece_open(disk("course.v5r"), nullptr, 0), 0);
    char title[300];
    piece_title(title, sizeof title);
    EXPECT_STREQ(title, "My Course");
    EXPECT_EQ(piece_top_icon(), node_make_icon(1, 1));
    char folder[300];
    EXPECT_EQ(piece_folder(folder, sizeof folder), 0);
    EXPECT_STREQ(folder, "T:\\");
    piece_close(0);
    EXPECT_EQ(piece_top_icon(), 0u);
    EXPECT_EQ(piece_spec(), nullptr);
}

// The log is UTF-8 while a title is in the piece's code page; a quote in it stays one line.
TEST_F(PieceTest, TheOpenedLineShowsTheTitleAsUtf8)
{
    TextScope korean(949, "K");
    std::string log_path = ::testing::TempDir() + "piece_title.log";
    ASSERT_TRUE(plat::log_open(log_path));
    // 0xC7D1 0xB1DB is "한글" in code page 949.
    make_file("course.v5r", "kind PCRS\nicon map \"Top\" {\n prop 20 hex C7D1B1DB 20 22 41 22 00\n}\n");
    ASSERT_EQ(piece_open(disk("course.v5r"), nullptr, 0), 0);
    piece_close(0);
    plat::log_close();
    std::stringstream log;
    log << std::ifstream(log_path).rdbuf();
    EXPECT_NE(log.str().find("title \"\xED\x95\x9C\xEA\xB8\x80 \\\"A\\\"\"\n"), std::string::npos) << log.str();
    std::remove(log_path.c_str());
}

TEST_F(PieceTest, SaveAsWritesACompactCopyAndReplacesTheTargetOnlyWhenWhole)
{
    make_file("course.v5r", "kind PCRS\nicon map \"Top\" {\n icon display \"Intro\"\n}\n");
    ASSERT_EQ(piece_open(disk("course.v5r"), nullptr, 0), 0);
    write_file("copy.v5r", {'o', 'l', 'd'});
    ASSERT_EQ(piece_save_file_as(kPieceSlot, disk("copy.v5r"), 0), 0);
    EXPECT_FALSE(std::filesystem::exists(host("copy.v5r~")));
    piece_close(0);
    ASSERT_EQ(piece_open(disk("copy.v5r"), nullptr, 0), 0);
    EXPECT_NE(titled(kPieceSlot, "Intro"), 0u);
    piece_close(0);
    // A slot with no file fails; the target keeps what it held.
    write_file("kept.v5r", {'o', 'l', 'd'});
    EXPECT_NE(piece_save_file_as(9, disk("kept.v5r"), 0), 0);
    EXPECT_EQ(read_file("kept.v5r"), (std::vector<uint8_t> {'o', 'l', 'd'}));
    EXPECT_FALSE(std::filesystem::exists(host("kept.v5r~")));
}

TEST_F(PieceTest, LocateFindsANamedFileBesideThePiece)
{
    std::filesystem::create_directories(host("Course"));
    make_file("Course/course.v5r", "kind PCRS\nicon map \"Top\"\n");
    write_file("Course/sound.wav", {1, 2, 3});
    ASSERT_EQ(piece_open(disk("Course\\course.v5r"), nullptr, 0), 0);
    FileSpec* found = nullptr;
    ASSERT_EQ(piece_locate_file(disk("Elsewhere\\sound.wav"), &found), 1);
    EXPECT_EQ(fspec_text(*found), "T:\\Course\\sound.wav");
    fspec_free(found);
    EXPECT_EQ(piece_locate_file(disk("Elsewhere\\none.wav"), &found), 0);
    EXPECT_EQ(found, nullptr);
}

} // namespace
