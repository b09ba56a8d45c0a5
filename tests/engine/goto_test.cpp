// GoTo paths: the planned kernel actions and the messages the containers on the way receive,
// as the goto trace shows them (a contract listed in the README).
#include "engine_fixture.h"

#include "platform/kernel/log.h"
#include "runtime/engine/goto.h"
#include "tools/piecemaker/pm_dump.h"

#include <fstream>

namespace enginetest {
namespace {

// Nodes: Top 1, One 7, Ask 8, R1 9, R2 10, Frame 11, Page 12, In 13, Out 14.
constexpr const char* kGotoPiece = R"(kind PCRS
icon map "Top" {
    icon calc "One"
    icon interaction "Ask" {
        icon calc "R1"
        icon calc "R2"
    }
    icon framework "Frame" {
        icon calc "Page"
        icon calc "In" list 3
        icon calc "Out" list 4
    }
}
)";

class GotoTest : public EngineTest {
protected:
    std::vector<std::string> traced(IconId target, int flags)
    {
        EXPECT_TRUE(plat::log_open(host("goto.log")));
        exec_trace_set(kTraceGoto);
        kernel_goto(target, flags);
        exec_trace_set(0);
        plat::log_close();
        std::vector<std::string> lines;
        std::ifstream in(host("goto.log"));
        for (std::string line; std::getline(in, line);)
            if (line.find(" goto") != std::string::npos)
                lines.push_back(line.substr(line.find(' ') + 1));
        return lines;
    }
};

TEST_F(GotoTest, JumpIntoAnInteractionExitsUpToTheCommonMapAndSelectsTheResponse)
{
    ASSERT_EQ(open_piece_file(kGotoPiece), 0);
    exec_step();
    exec_step();
    ASSERT_EQ(where(), "One 0");
    EXPECT_EQ(traced(piece_icon("R2"), 0), (std::vector<std::string> {
                                                "goto 7 10 0",
                                                "goto op 2 7 0 10 0",
                                                "goto message 6 7 0",
                                                "goto op 1 1 1 8 0",
                                                "goto op 1 8 1 10 0",
                                                "goto message 5 8 0",
                                                "goto message 3 8 10",
                                                "goto op 10 10 0 0 0",
                                            }));
    EXPECT_EQ(where(), "R2 0");
    EXPECT_EQ(exec_queue_count(), 0);
}

// The algorithm's way to the current icon: it is left and entered again through its container.
TEST_F(GotoTest, JumpToTheCurrentIconLeavesAndReentersIt)
{
    ASSERT_EQ(open_piece_file(kGotoPiece), 0);
    exec_step();
    exec_step();
    EXPECT_EQ(traced(piece_icon("One"), 0),
        (std::vector<std::string> {"goto 7 7 0", "goto op 2 7 0 7 0", "goto message 6 7 0", "goto op 1 1 1 7 0",
            "goto op 10 7 0 0 0"}));
    EXPECT_EQ(where(), "One 0");
}

// Into a Framework's page: its entry pane runs first, the run pauses there with the rest queued,
// and the pane's end lets the queue finish the move.
TEST_F(GotoTest, JumpToAPageRunsTheEntryPaneFirst)
{
    ASSERT_EQ(open_piece_file(kGotoPiece), 0);
    exec_step();
    exec_step();
    std::vector<std::string> lines = traced(piece_icon("Page"), 0);
    EXPECT_EQ(lines, (std::vector<std::string> {"goto 7 12 0", "goto op 2 7 0 12 0", "goto message 6 7 0",
                         "goto op 1 1 1 11 0", "goto op 4 11 0 0 0", "goto op 6 0 0 12 1", "goto op 3 11 0 13 0"}));
    EXPECT_EQ(where(), "In 0");
    EXPECT_EQ(exec_queue_count(), 3); // navigation values back, enter the Framework, go to the page
    exec_run_actions();
    EXPECT_EQ(where(), "Page 0");
    EXPECT_EQ(nav_from(), 0);
    EXPECT_EQ(nav_navigating(), 0);
}

// A pane running when the learner leaves: the rest of the move is saved in the records.
TEST_F(GotoTest, WaitingActionsSurviveASaveAndResume)
{
    ASSERT_EQ(open_piece_file(std::string(kGotoPiece).insert(27, "    attr 0x2000308 1\n")), 0);
    exec_step();
    exec_step();
    kernel_goto(piece_icon("Page"), 0);
    ASSERT_EQ(where(), "In 0");
    close_piece();
    std::string out;
    ASSERT_EQ(pm_dump_learner(host("piece.rec"), host("piece.v5r"), out), 0) << out;
    EXPECT_NE(out.find("queue count 3 cursor 0\naction 10 12 0 0 0\naction 1 11 1 12 0\naction 6 0 0 0 0\n"),
        std::string::npos)
        << out;
    // The next session goes on in the pane, and the pane's end finishes the move.
    ASSERT_EQ(reopen(), 0);
    EXPECT_EQ(exec_queue_count(), 3);
    EXPECT_EQ(where(), "In 0");
    exec_step();
    EXPECT_EQ(where(), "In 4");
    exec_run_actions();
    EXPECT_EQ(where(), "Page 0");
    EXPECT_EQ(exec_queue_count(), 0);
}

// A move that does not fit the queue is not started at all.
TEST_F(GotoTest, MoveThatCannotBeQueuedLeavesEverythingAsItWas)
{
    ASSERT_EQ(open_piece_file(kGotoPiece), 0);
    exec_step();
    exec_step();
    exec_queue_set_limit(2);
    kernel_goto(piece_icon("R2"), 0);
    exec_queue_set_limit(0);
    EXPECT_EQ(where(), "One 0");
    EXPECT_EQ(exec_queue_count(), 0);
}

} // namespace
} // namespace enginetest
