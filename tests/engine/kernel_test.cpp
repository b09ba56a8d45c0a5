// The kernel step machine: the walk of plain icons, containers that stop it, deferred actions,
// the icon log and the 90-byte saved state.
#include "engine_fixture.h"

#include "platform/kernel/byte_io.h"
#include "platform/kernel/log.h"
#include "runtime/calc/calc_hooks.h"
#include "runtime/files/netprof.h"
#include "tests/runtime/hex_fixture.h"

#include <fstream>

namespace enginetest {
namespace {

// Calc icons run no handler, an empty Map finishes on the step after its entry, a Map's last
// child makes the Map current in IconDone, and the top icon's end leaves the kernel idle.
TEST_F(EngineTest, KernelWalksPlainIconsInPreOrderToTheEnd)
{
    ASSERT_EQ(open_piece_file(kWalkPiece), 0);
    const std::vector<std::string> expected = {"#1 4", "One 0", "One 4", "One 1", "Group 0", "Group 4",
        "Two 0", "Two 4", "Two 1", "Empty 0", "Empty 4", "Empty 1", "Group 1", "Three 0", "Three 4", "Three 1",
        "#1 1", "#1 7"};
    EXPECT_EQ(walk(), expected);
    EXPECT_TRUE(exec_piece_ended());
    EXPECT_EQ(exec_step(), 1);
    EXPECT_EQ(where(), "#1 7");
    EXPECT_TRUE(icon_state_word(piece_icon("Two")) & kIconDone);
}

// A stand-in for the executors of containers that later work builds: the Interaction enters
// its first child at once and stops the kernel when the child is done; the Wait icon notes
// what reaches it.
struct Seen {
    std::vector<std::string> messages;
};
Seen g_seen;

int stopping_interaction(KernelMessage* message)
{
    if (message->message == kKmChildDone && message->argument == 0)
        exec_set_current(node_first_child(message->icon), kStateEnter);
    return message->message == kKmQueryChildDone ? kChildDoneStop : 0;
}

int noting_wait(KernelMessage* message)
{
    g_seen.messages.push_back(std::to_string(message->message) + ":" + std::to_string(message->value));
    return 1;
}

TEST_F(EngineTest, ContainerAnsweringThreeStopsTheKernelAndKeysReachTheStoppedIcon)
{
    g_seen = {};
    exec_set_kind_handler(kKindInteraction, stopping_interaction);
    exec_set_kind_handler(kKindWait, noting_wait);
    ASSERT_EQ(open_piece_file("kind PCRS\nicon map \"Top\" {\n icon interaction \"Ask\" {\n"
                              "  icon wait \"Reply\" class 1\n }\n}\n"),
        0);
    const std::vector<std::string> expected = {"#1 4", "Ask 0", "Reply 0", "Reply 4", "Reply 1", "Reply 8"};
    EXPECT_EQ(walk(), expected);
    EXPECT_EQ(exec_current_interaction(), piece_icon("Ask"));
    EXPECT_EQ(exec_stopped_value(42), 1);
    EXPECT_EQ(g_seen.messages, (std::vector<std::string> {"0:0", "8:42"}));
    exec_set_kind_handler(kKindInteraction, nullptr);
    exec_set_kind_handler(kKindWait, nullptr);
}

// A jump or quit asked for twice within one step: only the first runs, between steps.
int g_runs = 0;
void count_run(uint32_t user) { g_runs += int(user); }

int deferring_wait(KernelMessage* message)
{
    if (message->message != kKmEnter)
        return 0;
    KernelDeferredAction first;
    first.type = kDeferCallback;
    first.callback = count_run;
    first.user = 1;
    KernelDeferredAction second = first;
    second.user = 100;
    EXPECT_EQ(exec_defer_action(&first), 1);
    EXPECT_EQ(exec_defer_action(&second), 0);
    EXPECT_EQ(g_runs, 0); // never inside a handler
    return 0;
}

TEST_F(EngineTest, SecondDeferredActionWithinAStepIsDropped)
{
    g_runs = 0;
    exec_set_kind_handler(kKindWait, deferring_wait);
    ASSERT_EQ(open_piece_file("kind PCRS\nicon map \"Top\" {\n icon wait \"Hold\"\n}\n"), 0);
    walk();
    EXPECT_EQ(g_runs, 1);
    EXPECT_FALSE(exec_deferred_pending());
    exec_set_kind_handler(kKindWait, nullptr);
}

TEST_F(EngineTest, IconLogKeepsTheMostRecentIconsUpToItsSize)
{
    ASSERT_EQ(open_piece_file(kWalkPiece), 0);
    exec_set_icon_log_size(3);
    EXPECT_EQ(exec_icon_log_entry(1), 0u); // before the first wrap nothing is older than slot 0
    for (IconId icon = 1; icon <= 5; icon++)
        exec_log_icon(node_make_icon(1, 100 + icon));
    static const struct {
        int n;
        IconId expected;
    } kEntries[] = {{0, 0x10069}, {1, 0x10068}, {2, 0x10067}, {3, 0x10066}, {4, 0}, {-1, 0}};
    for (const auto& entry : kEntries) {
        SCOPED_TRACE(entry.n);
        EXPECT_EQ(exec_icon_log_entry(entry.n), entry.expected);
    }
    // 101 slots: the 102nd append wraps, and entries then reach back across slot 0.
    exec_set_icon_log_size(100);
    for (int i = 0; i < 100; i++)
        exec_log_icon(node_make_icon(1, 200 + i));
    EXPECT_EQ(exec_icon_log_entry(0), node_make_icon(1, 299));
    EXPECT_EQ(exec_icon_log_entry(100), node_make_icon(1, 105));
    exec_set_icon_log_size(0);
    EXPECT_EQ(exec_icon_log_entry(0), 0u);
}

// The stored small state, byte for byte: the pending action and the handle slot are zeros.
TEST_F(EngineTest, SavedStateIsNinetyBytesInTheStoredLayout)
{
    ASSERT_EQ(open_piece_file(kWalkPiece), 0);
    for (int i = 0; i < 3; i++)
        exec_step(); // at One, Running
    KernelDeferredAction pending;
    pending.type = kDeferCallback;
    pending.callback = count_run;
    pending.user = 0x12345678;
    ASSERT_EQ(exec_defer_action(&pending), 1);
    uint8_t bytes[kKernelSavedSize];
    exec_kernel_encode(bytes);
    EXPECT_EQ(to_hex(bytes, sizeof bytes),
        "00000000" "00000000000000000000000000000000" // reserved, the pending action
        "0000" "0000" "00000000" "0000" "00000000" "0200" // icon log, handle slot, call frames' record
        "01000000" "00000000" "00000000" "0000" // Resume, click latch, ResumeIcon
        "00000000" "00000000" "00000000" "00000000" // NavFrom, NavTo, Navigating, CMI tracking
        "07000100" "0800" "04000000" "0000" "00000000" "00000000" "00000000"); // the context
}

// Waits that nothing ends after a resume are stored as Running.
TEST_F(EngineTest, WaitsForDrawingSyncOrSoundAreStoredAsRunning)
{
    ASSERT_EQ(open_piece_file(kWalkPiece), 0);
    static const int32_t kStates[] = {kStateWaitDrawing, kStateSyncWaiting, kStateWaitingSound, kStateWaiting};
    for (int32_t state : kStates) {
        SCOPED_TRACE(state);
        exec_set_state(state);
        uint8_t bytes[kKernelSavedSize];
        exec_kernel_encode(bytes);
        EXPECT_EQ(int32_t(plat::load_u32le(bytes + 72)), state == kStateWaiting ? kStateWaiting : kStateRunning);
    }
}

// Every value Restore takes must fit the running piece; what does not gives 5001 (8 for a
// record that is not there), and the kernel is left as it was.
struct RestoreCase {
    const char* name;
    size_t offset;
    int width; // 2 or 4; 0: the size is wrong
    uint32_t value;
    int expected;
};

const RestoreCase kRestoreCases[] = {
    {"as saved", 0, 2, 0, 0},
    {"one byte short", 0, 0, 89, kErrStateSize},
    {"icon not in the piece", 66, 4, 0x103E7, kErrStateSize},
    {"icon of another file", 66, 4, 0x20007, kErrStateSize},
    {"kind not the icon's", 70, 2, 6, kErrStateSize},
    {"state past 10", 72, 4, 11, kErrStateSize},
    {"depth without frames", 76, 2, 1, kErrStateSize},
    {"container not in the piece", 78, 4, 0x10400, kErrStateSize},
    {"icon log of 101", 20, 2, 101, kErrStateSize},
    {"icon log without record", 20, 2, 3, kErrStateSize},
    {"icon log record missing", 28, 2, 999, kErrOutOfMemory},
    {"write index past 100", 22, 2, 101, kErrStateSize},
    {"resume icon not in the piece", 48, 2, 999, kErrStateSize},
    {"frames record missing", 34, 2, 999, kErrOutOfMemory},
};

TEST_F(EngineTest, RestoreRefusesStatesThatDoNotFitThePiece)
{
    ASSERT_EQ(open_piece_file(kWalkPiece), 0);
    for (int i = 0; i < 3; i++)
        exec_step();
    uint8_t saved[kKernelSavedSize];
    exec_kernel_encode(saved);
    for (const RestoreCase& c : kRestoreCases) {
        SCOPED_TRACE(c.name);
        uint8_t bytes[kKernelSavedSize];
        std::copy(saved, saved + sizeof saved, bytes);
        ModuleMessage message;
        message.message = kModRestore;
        message.state = bytes;
        message.size = int16_t(c.width == 0 ? c.value : kKernelSavedSize);
        if (c.width == 2 && c.value)
            plat::store_u16le(bytes + c.offset, uint16_t(c.value));
        if (c.width == 4)
            plat::store_u32le(bytes + c.offset, c.value);
        EXPECT_EQ(exec_kernel_module(&message), c.expected);
        EXPECT_EQ(where(), "One 4");
    }
    EXPECT_EQ(exec_suspended(), 1); // the good one waits for the resume driver's Resume
}

// Slots outside 1..23 (as a signed 16-bit number) reach no handler.
TEST_F(EngineTest, BusAnswers5000OutsideItsSlotsAndLaterModulesKeepOneZeroByte)
{
    static const int kBadSlots[] = {0, 24, -1, 0x10000, 0x8001};
    for (int slot : kBadSlots) {
        SCOPED_TRACE(slot);
        ModuleMessage message;
        EXPECT_EQ(modmsg_send(slot, &message), kErrBadSlot);
    }
    ASSERT_EQ(open_piece_file(kWalkPiece), 0);
    EXPECT_EQ(field_sizes(), "1:90 2:38 3:2 4:1 5:1 6:1 7:10 8:1 9:32 10:12 11:1 12:1 13:1 14:1 15:1 16:1 17:1 "
                             "18:1 19:1 20:22 21:1 22:1 23:50");
}

} // namespace
} // namespace enginetest

namespace enginetest {
namespace {

// A restart deletes the records of every module and starts them again: the piece is at its top,
// the icon log is gone, the transfer counters are cleared.
TEST_F(EngineTest, RestartStartsThePieceAgainAndClearsTheTransferCounters)
{
    ASSERT_EQ(open_piece_file(kWalkPiece), 0);
    walk();
    exec_set_icon_log_size(5);
    netprof_timer_add(kTransferDiskRead, 1, 500);
    ASSERT_GE(netprof_query(kTransferDiskRead, kQueryTotal), 500);
    exec_restart();
    EXPECT_EQ(where(), "#1 0");
    EXPECT_EQ(exec_icon_log_size(), 0);
    EXPECT_EQ(netprof_query(kTransferDiskRead, kQueryTotal), 0);
    EXPECT_EQ(exec_records_open(), 1);
    EXPECT_EQ(walk().back(), "#1 7");
}

// The calculation language asks the engine whether it is suspended.
TEST_F(EngineTest, CalculationsSeeTheKernelSuspended)
{
    ASSERT_EQ(open_piece_file(kWalkPiece), 0);
    ASSERT_TRUE(calc_hooks().engine_suspended);
    EXPECT_EQ(calc_hooks().engine_suspended(), 0);
    modmsg_suspend_all(0);
    EXPECT_EQ(calc_hooks().engine_suspended(), 1);
    modmsg_suspend_all(1);
    EXPECT_EQ(calc_hooks().engine_suspended(), 0);
}

} // namespace
} // namespace enginetest

namespace enginetest {
namespace {

int waiting_wait(KernelMessage* message)
{
    if (message->message == kKmEnter)
        exec_set_state(kStateWaiting);
    return 0;
}

// A Wait icon that waits until done: the kernel idles at it until its executor reports it
// completed; the trace shows the wait. The trace lines are a contract (README).
TEST_F(EngineTest, KernelWaitsUntilTheIconIsCompletedAndTracesIt)
{
    exec_set_kind_handler(kKindWait, waiting_wait);
    ASSERT_TRUE(plat::log_open(host("trace.log")));
    exec_trace_set(kTraceKernel);
    ASSERT_EQ(open_piece_file("kind PCRS\nicon map \"Top\" {\n icon wait \"Hold\"\n}\n"), 0);
    EXPECT_EQ(walk().back(), "Hold 2");
    EXPECT_EQ(exec_step(), 1);
    EXPECT_EQ(exec_icon_completed(node_make_icon(1, 999)), 0);
    EXPECT_EQ(exec_icon_completed(piece_icon("Hold")), 1);
    EXPECT_EQ(walk().back(), "#1 7");
    plat::log_close();
    std::vector<std::string> lines;
    std::ifstream in(host("trace.log"));
    for (std::string line; std::getline(in, line);)
        if (line.find(" kernel ") != std::string::npos)
            lines.push_back(line.substr(line.find(' ') + 1));
    EXPECT_EQ(lines, (std::vector<std::string> {"kernel enter 1 map \"\"", "kernel enter 7 wait \"Hold\"", "kernel wait 7",
                         "kernel done 7", "kernel done 1", "kernel ended"}));
    exec_set_kind_handler(kKindWait, nullptr);
}

} // namespace
} // namespace enginetest
