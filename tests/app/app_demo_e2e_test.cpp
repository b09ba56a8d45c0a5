// End-to-end: the demo piece played headless under the virtual clock, from demo.v5r and from
// svdemo (the runtime with the piece appended). Shots of the window at chosen moments are
// checked at pixels that assets/demo/demo.pmd fixes.
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "tests/wintest/wintest_support.h"

namespace {

using namespace wintest;

// The stage inside a window shot: a 3-pixel frame and a 19-pixel caption.
constexpr int kStageLeft = 3;
constexpr int kStageTop = 3 + 19;

constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kRed = 0xFF0000;
constexpr uint32_t kBlue = 0x0000FF;
constexpr uint32_t kYellow = 0xFFDC00; // the bar
constexpr uint32_t kNavy = 0x000080; // the title's paper
constexpr uint32_t kSun = 0xFFE600;
constexpr uint32_t kSky = 0x78B4FF;
constexpr uint32_t kHill = 0x289628;
constexpr uint32_t kGreen = 0x008000; // the placed words' paper
constexpr uint32_t kDarkRed = 0x800000; // the end's paper

// The moments of the shots, in ms of virtual time from the start. The piece shows screen 1 at
// once, places the words at 2 s, erases the title at 4 s, all but the square at 5 s, everything
// at 7 s and then shows the end.
struct Moment {
    const char* shot;
    int wait; // after the previous shot
};
static const Moment kMoments[] = {
    { "shapes", 1000 }, { "placed", 2000 }, { "untitled", 1500 }, { "square", 1500 }, { "end", 2000 },
};

struct PixelCase {
    const char* shot;
    int x, y; // on the stage
    uint32_t colour;
    const char* why;
};
static const PixelCase kPixels[] = {
    { "shapes", 130, 150, kRed, "the square" },
    { "shapes", 230, 250, kBlue, "the circle on layer 2 in front of the square on layer 1" },
    { "shapes", 150, 250, kRed, "the square in front of the bar shown after it on layer 0" },
    { "shapes", 70, 260, kYellow, "the bar where nothing covers it" },
    { "shapes", 172, 31, kNavy, "the title bitmap's paper" },
    { "shapes", 504, 162, kSun, "the sun bitmap's middle" },
    { "shapes", 481, 141, kSky, "the sun bitmap's sky" },
    { "shapes", 504, 186, kHill, "the sun bitmap's hill" },
    { "shapes", 274, 366, kWhite, "the placed words are not there yet" },
    { "shapes", 10, 10, kWhite, "the stage's background" },
    { "placed", 274, 366, kGreen, "the words centred on the calculated point (420, 380)" },
    { "placed", 566, 394, kGreen, "their other corner" },
    { "placed", 270, 366, kWhite, "left of them" },
    { "placed", 172, 31, kNavy, "the title is still there" },
    { "untitled", 172, 31, kWhite, "the listed title erased" },
    { "untitled", 230, 250, kBlue, "the circle stays" },
    { "untitled", 274, 366, kGreen, "the placed words stay" },
    { "square", 130, 150, kRed, "the one icon the erase kept" },
    { "square", 230, 250, kRed, "the square where the circle was" },
    { "square", 300, 260, kWhite, "the circle erased" },
    { "square", 70, 260, kWhite, "the bar erased" },
    { "square", 504, 162, kWhite, "the sun erased" },
    { "square", 274, 366, kWhite, "the placed words erased" },
    { "end", 130, 150, kWhite, "everything erased" },
    { "end", 255, 226, kDarkRed, "the end" },
};

class DemoRun : public testing::Test {
protected:
    // Plays program (with arguments) in a fresh Windows folder, taking the shots and then
    // pressing Ctrl+Q; the shots are named PREFIX-SHOT.png.
    HeadlessRun play(const std::string& prefix, const std::string& program, std::vector<std::string> arguments)
    {
        std::string windows = folder + "/" + prefix + "-windows";
        std::filesystem::create_directory(windows);
        std::string script;
        for (const Moment& moment : kMoments)
            script += "wait " + std::to_string(moment.wait) + "\nshot " + shot_path(prefix, moment.shot)
                + " Shapes and Words\n";
        script += "key Ctrl+Q\nwait 100\n";
        return run_headless(program, folder, script, arguments, { "STORVEL_WINDOWS_DIR=" + windows });
    }
    std::string shot_path(const std::string& prefix, const std::string& shot) const
    {
        return folder + "/" + prefix + "-" + shot + ".png";
    }

    ScratchFolder scratch { "svrun32-demo" };
    const std::string& folder = scratch.path();
};

TEST_F(DemoRun, TheScreensShowWhatTheDescriptionPlacesAndCtrlQEnds)
{
    HeadlessRun run = play("piece", SVRUN32_PATH, { DEMO_PIECE_PATH });
    EXPECT_EQ(run.exit_code, 0) << run.errors;
    EXPECT_NE(run.log.find("piece opened \"" DEMO_PIECE_PATH "\" title \"Shapes and Words\""), std::string::npos)
        << run.log;
    EXPECT_NE(run.log.find("piece closed"), std::string::npos) << run.log;
    for (const PixelCase& c : kPixels) {
        SCOPED_TRACE(std::string(c.shot) + ": " + c.why);
        Picture shot;
        ASSERT_TRUE(read_png(shot_path("piece", c.shot), shot));
        EXPECT_EQ(shot.at(kStageLeft + c.x, kStageTop + c.y), c.colour);
    }
}

TEST_F(DemoRun, TheProgramWithThePieceAppendedShowsTheSame)
{
    HeadlessRun piece = play("piece", SVRUN32_PATH, { DEMO_PIECE_PATH });
    HeadlessRun program = play("program", SVDEMO_PATH, {});
    EXPECT_EQ(piece.exit_code, 0) << piece.errors;
    EXPECT_EQ(program.exit_code, 0) << program.errors;
    for (const Moment& moment : kMoments) {
        SCOPED_TRACE(moment.shot);
        Picture from_piece, from_program;
        ASSERT_TRUE(read_png(shot_path("piece", moment.shot), from_piece));
        ASSERT_TRUE(read_png(shot_path("program", moment.shot), from_program));
        EXPECT_EQ(from_piece.width, from_program.width);
        EXPECT_EQ(from_piece.height, from_program.height);
        EXPECT_TRUE(from_piece.pixels == from_program.pixels);
    }
}

} // namespace
