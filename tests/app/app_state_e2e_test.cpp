// End-to-end: the stage a piece with the resume option shows is saved in the learner's records
// at the close and comes back, drawn the same, when the piece opens again.
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <regex>
#include <string>
#include <vector>

#include "tests/wintest/wintest_support.h"
#include "tools/piecemaker/pm_build.h"
#include "tools/piecemaker/pm_desc.h"

namespace {

using namespace wintest;

constexpr int kWidth = 320;
constexpr int kHeight = 200;

constexpr const char* kStageHead = "size 320 200\nbackground F0E8D0\n";
// Two icons, one a group of three members, on two planes.
constexpr const char* kIcons = "icon 2 0 2\n"
                               "rect 10 10 120 90 FF0000 0000FF 3\n"
                               "oval 60 40 220 170 00FF00 - 1\n"
                               "line 5 190 310 15 000000 2 3\n"
                               "icon 3 5 4\n"
                               "rect 150 20 290 110 FFFF00 000000 1\n";

class StateRun : public ::testing::Test {
protected:
    ScratchFolder scratch{"svrun32-state"};
    const std::string& folder = scratch.path();

    void make_piece(bool resume)
    {
        std::string description = std::string("kind PCRS\nicon map \"Top\" {\n") + (resume ? " attr 0x2000308 1\n" : "")
            + " icon map \"Empty\"\n}\n";
        PieceDescription piece;
        std::string error;
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(pm_parse(description, folder, piece, error)) << error;
        ASSERT_TRUE(pm_make(piece, bytes, error)) << error;
        std::ofstream(folder + "/piece.v5r", std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    // The client area of a run that shows the stage text, as its shot has it.
    std::vector<uint32_t> run_and_shoot(const std::string& stage_text, const std::string& shot_name)
    {
        std::ofstream(folder + "/stage.txt") << stage_text;
        std::filesystem::create_directories(folder + "/windows");
        HeadlessRun result = run_headless(SVRUN32_PATH, folder, "wait 300\nshot " + shot_name + "\nquit\n",
            {folder + "/piece.v5r"}, {"STORVEL_TEST_STAGE=" + folder + "/stage.txt", "STORVEL_WINDOWS_DIR=" + folder + "/windows"});
        EXPECT_EQ(result.exit_code, 0) << result.errors;
        int x0 = -1;
        int y0 = -1;
        std::smatch at;
        for (const std::string& event : events_of(result.log))
            if (std::regex_match(event, at, std::regex("svrun32 test: stage at (-?[0-9]+) (-?[0-9]+)"))) {
                x0 = std::stoi(at[1]);
                y0 = std::stoi(at[2]);
            }
        Picture shot;
        if (x0 < 0 || !read_png(folder + "/" + shot_name, shot) || shot.width < x0 + kWidth || shot.height < y0 + kHeight) {
            ADD_FAILURE() << "no stage in the shot: " << result.log;
            return {};
        }
        std::vector<uint32_t> client;
        for (int y = 0; y < kHeight; y++)
            for (int x = 0; x < kWidth; x++)
                client.push_back(shot.at(x0 + x, y0 + y));
        return client;
    }
    static uint32_t at(const std::vector<uint32_t>& client, int x, int y) { return client[size_t(y * kWidth + x)]; }
};

TEST_F(StateRun, AResumedPieceShowsTheStageItClosedWith)
{
    ASSERT_FALSE(folder.empty());
    make_piece(true);
    std::vector<uint32_t> shown = run_and_shoot(std::string(kStageHead) + kIcons, "first.png");
    ASSERT_FALSE(shown.empty());
    ASSERT_EQ(at(shown, 30, 30), 0xFF0000u); // the rectangle's fill is there to compare
    // The second run shows nothing itself: what it shows came from the records.
    std::vector<uint32_t> resumed = run_and_shoot(kStageHead, "second.png");
    ASSERT_EQ(resumed.size(), shown.size());
    int differing = 0;
    for (size_t i = 0; i < shown.size(); i++)
        if (resumed[i] != shown[i] && differing++ < 5)
            ADD_FAILURE() << "pixel " << i % kWidth << "," << i / kWidth << ": " << std::hex << resumed[i] << " not "
                          << shown[i];
    EXPECT_EQ(differing, 0);
}

TEST_F(StateRun, APieceWithoutResumeStartsWithAnEmptyStage)
{
    ASSERT_FALSE(folder.empty());
    make_piece(false);
    run_and_shoot(std::string(kStageHead) + kIcons, "first.png");
    std::vector<uint32_t> fresh = run_and_shoot(kStageHead, "second.png");
    ASSERT_FALSE(fresh.empty());
    EXPECT_EQ(at(fresh, 30, 30), 0xF0E8D0u);
    EXPECT_EQ(at(fresh, 200, 50), 0xF0E8D0u);
}

} // namespace
