// GoTo paths: the planned kernel actions and the messages the containers on the way receive,
// as the goto trace shows them (a contract listed in the README).
#include "engine_fixture.h"

#include "platform/kernel/log.h"
#include "runtime/engine/goto.h"
#include "runtime/engine/perpetual.h"
#include "tools/piecemaker/pm_dump.h"

#include <algorithm>
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

// Nodes in pre-order: Top 1, One 7, Ask 8, R1 9, R2 10, Other 11, P1 12, P2 13 (return responses),
// P3 14 (branch kind 1), Pick 15, D1 16, D2 17, Frame 18, Page1 19, Page2 20, In 21, Out 22,
// Bare 23 (a Framework without panes), Leaf 24.
constexpr const char* kPathsPiece = R"(kind PCRS
icon map "Top" {
    icon calc "One"
    icon interaction "Ask" {
        icon calc "R1"
        icon calc "R2"
    }
    icon interaction "Other" {
        icon calc "P1" class 1 {
            attr 0x1000430 3
        }
        icon calc "P2" class 1 {
            attr 0x1000430 3
        }
        icon calc "P3" class 1 {
            attr 0x1000430 1
        }
    }
    icon decision "Pick" {
        icon calc "D1"
        icon calc "D2"
    }
    icon framework "Frame" {
        icon calc "Page1"
        icon calc "Page2"
        icon calc "In" list 3
        icon calc "Out" list 4
    }
    icon framework "Bare" {
        icon calc "Leaf"
    }
}
)";

// Golden traces of moves between containers: the queued actions as they run and the kernel
// messages the containers on the way receive. A move that starts a pane stops there.
TEST_F(GotoTest, MovesBetweenContainersFollowTheirGoldenTraces)
{
    struct Row {
        const char* name;
        const char* start; // waiting there
        const char* call;  // a perpetual response called from there first, or null
        const char* target;
        int flags;
        std::vector<std::string> lines;
        int depth = 0; // call frames after the move
    };
    const Row rows[] = {
        {"a response beside", "R1", nullptr, "R2", 0,
            {"goto 9 10 0", "goto op 2 9 0 10 0", "goto message 6 9 0", "goto op 1 8 8 10 0", "goto message 3 8 10", "goto op 10 10 0 0 0"}},
        {"into a Decision's path, erasing", "R1", nullptr, "D2", 1,
            {"goto 9 17 1", "goto op 2 9 0 17 1", "goto message 6 9 0", "goto op 2 8 0 17 1", "goto message 6 8 0", "goto op 1 1 1 15 1", "goto op 1 15 1 17 1", "goto message 5 15 0", "goto message 3 15 17", "goto op 10 17 0 0 1"}},
        {"out of a page through the exit pane", "Page1", nullptr, "One", 0,
            {"goto 19 7 0", "goto op 2 19 0 7 0", "goto message 6 19 0", "goto op 6 19 0 0 1", "goto op 3 18 0 22 0"}},
        {"out of a Framework without exit pane", "Leaf", nullptr, "One", 0,
            {"goto 24 7 0", "goto op 2 24 0 7 0", "goto message 6 24 0", "goto op 2 23 0 7 0", "goto message 6 23 0", "goto op 1 1 1 7 0", "goto op 10 7 0 0 0"}},
        {"into a Framework's page", "One", nullptr, "Page2", 0,
            {"goto 7 20 0", "goto op 2 7 0 20 0", "goto message 6 7 0", "goto op 1 1 1 18 0", "goto op 4 18 0 0 0", "goto op 6 0 0 20 1", "goto op 3 18 0 21 0"}},
        {"into a Framework's entry pane", "One", nullptr, "In", 0,
            {"goto 7 21 0", "goto op 2 7 0 21 0", "goto message 6 7 0", "goto op 1 1 1 18 0", "goto op 4 18 0 0 0", "goto op 4 21 0 0 0", "goto op 1 18 1 21 0", "goto message 5 18 0", "goto message 3 18 21", "goto op 10 21 0 0 0"}},
        {"into a page without entry pane", "One", nullptr, "Leaf", 0,
            {"goto 7 24 0", "goto op 2 7 0 24 0", "goto message 6 7 0", "goto op 1 1 1 23 0", "goto op 4 23 0 0 0", "goto op 1 23 1 24 0", "goto message 5 23 0", "goto message 3 23 24", "goto op 10 24 0 0 0"}},
        {"out of a call: the frame is dropped", "One", "P1", "R2", 0,
            {"goto 12 10 0", "goto op 2 12 0 10 0", "goto message 6 12 0", "goto op 7 12 0 0 0", "goto op 2 7 0 10 0", "goto message 6 7 0", "goto op 1 1 1 8 0", "goto op 1 8 1 10 0", "goto message 5 8 0", "goto message 3 8 10", "goto op 10 10 0 0 0"}},
        {"out of a call, erasing", "One", "P1", "R2", 1,
            {"goto 12 10 1", "goto op 2 12 0 10 1", "goto message 6 12 0", "goto op 9 11 0 0 2", "goto op 7 12 0 0 0", "goto op 2 7 0 10 1", "goto message 6 7 0", "goto op 1 1 1 8 1", "goto op 1 8 1 10 1", "goto message 5 8 0", "goto message 3 8 10", "goto op 10 10 0 0 1"}},
        {"to a return response beside: the frame passes on", "One", "P1", "P2", 0,
            {"goto 12 13 0", "goto op 2 12 0 13 0", "goto message 6 12 0", "goto op 8 12 0 13 0", "goto op 1 11 11 13 0", "goto message 3 11 13", "goto op 10 13 0 0 0"},
            1},
        {"to a response beside that is no return", "One", "P1", "P3", 0,
            {"goto 12 14 0", "goto op 2 12 0 14 0", "goto message 6 12 0", "goto op 7 12 0 0 0", "goto op 2 7 0 14 0", "goto message 6 7 0", "goto op 1 1 1 11 0", "goto op 1 11 1 14 0", "goto message 5 11 0", "goto message 3 11 14", "goto op 10 14 0 0 0"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_EQ(open_piece_file(kPathsPiece), 0);
        exec_set_current(piece_icon(row.start), kStateWaiting);
        if (row.call) {
            ASSERT_EQ(exec_enter_perpetual(piece_icon(row.call), 0), 1);
        }
        EXPECT_EQ(traced(piece_icon(row.target), row.flags), row.lines);
        EXPECT_EQ(exec_context().depth, row.depth);
        piece_close(0);
    }
}

std::vector<std::string> g_heard;

void hear(const std::string& what, IconId icon, int value)
{
    g_heard.push_back(what + " " + std::to_string(node_icon_number(icon)) + " " + std::to_string(value));
}

// Every hook records what it was handed; the container remembers its child and its in-call flag.
const GotoHooks kHearingHooks = {
    [](IconId container, IconId child) { hear("selected", container, int(node_icon_number(child))); },
    [](IconId) { return IconId(0); },
    [](IconId) { return 0; },
    [](IconId container, int on) { hear("in call", container, on); },
    [](IconId framework) { hear("deactivate", framework, 0); },
    [](IconId page, int flags) { hear("history", page, flags); },
    [](IconId response) { hear("erase returned", response, 0); },
    [](IconId container, IconId icon) { hear("note child", container, int(node_icon_number(icon))); },
    [](IconId interaction) { hear("erase own", interaction, 0); },
    [](IconId interaction) { hear("forget", interaction, 0); },
    []() { hear("transition clear", 0, 0); },
    [](int low, int high) { hear("erase numbers", 0, low * 1000 + high); },
    [](IconId branch) { hear("stop media", branch, 0); },
};

class GotoHooksTest : public GotoTest {
protected:
    void SetUp() override
    {
        GotoTest::SetUp();
        g_heard.clear();
        goto_set_hooks(&kHearingHooks);
        ASSERT_EQ(open_piece_file(kPathsPiece), 0);
    }
};

// What a move hands on beside its kernel messages: an Interaction left with the erase flag, the
// Map entered with it, the chosen children, the common Interaction forgetting, a page reached.
TEST_F(GotoHooksTest, MovesHandOnToTheLaterModules)
{
    struct Row {
        const char* name;
        const char* start;
        const char* target;
        int flags;
        std::vector<std::string> heard;
    };
    const Row rows[] = {
        {"into a Decision's path, erasing", "R1", "D2", 1,
            {"erase own 8 0", "transition clear 0 0", "stop media 18 0", "stop media 23 0", "selected 15 17"}},
        {"a response beside", "R1", "R2", 0, {"forget 8 0", "selected 8 10"}},
        {"into a page", "One", "Leaf", 2, {"selected 23 24", "history 24 2"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        g_heard.clear();
        exec_set_current(piece_icon(row.start), kStateWaiting);
        kernel_goto(piece_icon(row.target), row.flags);
        EXPECT_EQ(g_heard, row.heard);
    }
}

// Entering a Map's child with the erase flag erases what its later siblings showed, but not
// the counter's own number: the icons that run next are stamped with it and must stay visible.
TEST_F(GotoHooksTest, ErasingLaterSiblingsSparesTheCounter)
{
    icon_seq_set_counter(10);
    icon_state_set_seq(piece_icon("Frame"), 6);
    exec_set_current(piece_icon("R1"), kStateWaiting);
    kernel_goto(piece_icon("D2"), 1);
    EXPECT_NE(std::find(g_heard.begin(), g_heard.end(), "erase numbers 0 6010"), g_heard.end());
    EXPECT_TRUE(icon_seq_is_erased(6));
    EXPECT_TRUE(icon_seq_is_erased(9));
    EXPECT_FALSE(icon_seq_is_erased(10));
    EXPECT_NE(icon_seq_live(piece_icon("D2")), 0);
}

// A page called like a perpetual response: the entry pane runs first; leaving the Framework runs
// its exit pane, deactivates its responses and returns to the icon that called the page.
TEST_F(GotoHooksTest, CalledPageReturnsWhenItsFrameworkIsLeft)
{
    exec_set_current(piece_icon("One"), kStateWaiting);
    EXPECT_EQ(exec_call_page(piece_icon("Page2")), 1);
    EXPECT_EQ(where(), "In 0"); // the entry pane
    exec_run_actions();         // its end, as the Framework answers
    EXPECT_EQ(where(), "Page2 0");
    EXPECT_EQ(exec_context().depth, 1);
    EXPECT_EQ(exec_called_from(piece_icon("Page2")), piece_icon("One"));
    EXPECT_EQ(exec_called_in_framework_page(piece_icon("Page2")), 0); // One is outside the Framework

    g_heard.clear();
    exec_leave_framework(piece_icon("Frame"));
    EXPECT_EQ(where(), "Out 0"); // the exit pane
    exec_run_actions();
    EXPECT_EQ(where(), "One 2");
    EXPECT_EQ(exec_context().depth, 0);
    EXPECT_EQ(g_heard, (std::vector<std::string> {"deactivate 18 0", "erase returned 20 0"}));
    EXPECT_EQ(exec_goto_entry_pane(piece_icon("Frame")), 1);
    EXPECT_EQ(where(), "In 0");
    EXPECT_EQ(exec_goto_entry_pane(piece_icon("Bare")), 0);
}

// A response that is no return ends as the innermost call: back to the caller, then a jump to
// its interaction, whose in-call flag is cleared.
TEST_F(GotoHooksTest, AbandonedCallJumpsToItsInteraction)
{
    exec_set_current(piece_icon("One"), kStateWaiting);
    ASSERT_EQ(exec_enter_perpetual(piece_icon("P3"), 0), 1);
    g_heard.clear();
    exec_abandon_perpetual(piece_icon("P3"));
    EXPECT_EQ(where(), "Other 0");
    EXPECT_EQ(exec_context().depth, 0);
    // The interaction gets back the child it had selected (none here).
    EXPECT_EQ(g_heard, (std::vector<std::string> {"selected 11 0", "erase returned 14 0", "in call 11 0"}));
    EXPECT_EQ(icon_state_seq(piece_icon("Other")), icon_seq_counter() - 1);
}

} // namespace
} // namespace enginetest
