// Slot 2: the session counters across saves and resumes, and the synchronisation clock behind
// SyncPoint and SyncWait, on the virtual clock.
#include "engine_fixture.h"

#include "platform/kernel/clock.h"
#include "platform/window/defproc.h"
#include "platform/window/window.h"
#include "runtime/calc/sysfn_table.h"
#include "runtime/calc/value.h"
#include "runtime/engine/session.h"
#include "runtime/files/clock.h"
#include "runtime/text/intl.h"

namespace enginetest {
namespace {

constexpr const char* kSyncPiece = R"(kind PCRS
icon map "Top" {
    attr 0x2000308 1
    icon calc "Calc"
    icon interaction "Ask"
    icon map "Group"
    icon sound "Tune"
}
)";

class SessionTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        plat::clock_use_virtual(5000, 0);
    }
    void TearDown() override
    {
        plat::clock_reset();
        EngineTest::TearDown();
    }
    static SessionBlock block()
    {
        uint8_t bytes[kSessionBlockSize];
        exec_get_session_info(bytes);
        return session_decode(bytes);
    }
    static int send(int type, uint8_t* state, int size, int reset = 0)
    {
        ModuleMessage message;
        message.message = type;
        message.state = state;
        message.size = int16_t(size);
        message.reset = uint16_t(reset);
        return session_module(&message);
    }
};

TEST_F(SessionTest, BlockIsThirtyEightLittleEndianBytes)
{
    SessionBlock b;
    b.sessions = 0x0102;
    b.first_date = 0x03040506;
    b.previous_date = -2;
    b.current_date = 0x0708090A;
    b.session_start = 0x0B0C0D0E;
    b.last_save = 0x11121314;
    b.earlier_seconds = 0x15161718;
    b.sync_start = 0x191A1B1C;
    b.sync_icon = 0x00230005;
    b.sync_mode = 3;
    static const uint8_t kExpected[kSessionBlockSize] = {0x02, 0x01, 0x06, 0x05, 0x04, 0x03, 0xFE, 0xFF, 0xFF, 0xFF,
        0x0A, 0x09, 0x08, 0x07, 0x0E, 0x0D, 0x0C, 0x0B, 0x14, 0x13, 0x12, 0x11, 0x18, 0x17, 0x16, 0x15, 0x1C, 0x1B,
        0x1A, 0x19, 0x05, 0x00, 0x23, 0x00, 0x03, 0x00, 0x00, 0x00};
    uint8_t bytes[kSessionBlockSize];
    session_encode(b, bytes);
    EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + kSessionBlockSize),
        std::vector<uint8_t>(kExpected, kExpected + kSessionBlockSize));
    SessionBlock back = session_decode(bytes);
    EXPECT_EQ(back.previous_date, -2);
    EXPECT_EQ(back.sync_icon, 0x00230005u);
    EXPECT_EQ(back.earlier_seconds, 0x15161718);
}

TEST_F(SessionTest, InitWithResetStartsOneSessionWithoutKeepsTheCounts)
{
    uint8_t state[kModuleScratchSize] = {};
    ASSERT_EQ(send(kModInit, state, 0, 1), 0);
    SessionBlock first = block();
    EXPECT_EQ(first.sessions, 1);
    EXPECT_EQ(first.first_date, int32_t(intl_now()));
    EXPECT_EQ(first.current_date, first.first_date);
    EXPECT_EQ(first.session_start, 5000u);
    exec_sync_set(2, 0x10005);
    plat::clock_advance(3000);
    ASSERT_EQ(send(kModInit, state, 0, 0), 0);
    SessionBlock kept = block();
    EXPECT_EQ(kept.sessions, 1);
    EXPECT_EQ(kept.session_start, 5000u);
    EXPECT_EQ(kept.sync_start, 8000u); // the clock restarted
    EXPECT_EQ(kept.sync_icon, 0u);
    EXPECT_EQ(kept.sync_mode, 0);
}

TEST_F(SessionTest, SaveAndRestoreCountSessionsAndSeconds)
{
    uint8_t state[kModuleScratchSize] = {};
    ASSERT_EQ(send(kModInit, state, 0, 1), 0);
    plat::clock_advance(2500);
    exec_sync_pause(); // paused 2500 ms into the clock
    plat::clock_advance(61700);
    uint8_t saved[kSessionBlockSize];
    ASSERT_EQ(send(kModSave, saved, kSessionBlockSize), 0);
    SessionBlock at_save = session_decode(saved);
    EXPECT_EQ(at_save.last_save, 69200u);
    EXPECT_EQ(at_save.sync_start, 69200u - 2500u); // re-based on the save tick
    EXPECT_EQ(exec_sync_elapsed_ms(), 2500u);

    plat::clock_advance(100000); // the program is closed meanwhile
    ASSERT_EQ(send(kModRestore, saved, kSessionBlockSize), 0);
    SessionBlock resumed = block();
    EXPECT_EQ(resumed.sessions, 2);
    EXPECT_EQ(resumed.earlier_seconds, 64); // (69200 - 5000) / 1000
    EXPECT_EQ(resumed.last_save, 0u);
    EXPECT_EQ(resumed.session_start, 169200u);
    EXPECT_EQ(resumed.previous_date, at_save.current_date);
    EXPECT_EQ(resumed.current_date, int32_t(intl_now()));
    EXPECT_EQ(exec_sync_elapsed_ms(), 2500u); // moved forward, running again
    EXPECT_EQ(exec_sync_paused(), 0);
    plat::clock_advance(7000);
    EXPECT_EQ(exec_total_time(), 71);
}

TEST_F(SessionTest, ForeignSizesAreRefused)
{
    uint8_t state[kModuleScratchSize] = {};
    ASSERT_EQ(send(kModInit, state, 0, 1), 0);
    static const int kSizes[] = {0, 1, 37, 39, 90};
    for (int size : kSizes) {
        SCOPED_TRACE(size);
        EXPECT_EQ(send(kModRestore, state, size), kErrStateSize);
        EXPECT_EQ(send(kModSave, state, size), kErrStateSize);
    }
    EXPECT_EQ(block().sessions, 1);
}

TEST_F(SessionTest, ClockPausesAndContinues)
{
    exec_sync_restart();
    plat::clock_advance(400);
    exec_sync_pause();
    plat::clock_advance(1000);
    EXPECT_EQ(exec_sync_elapsed_ms(), 400u);
    EXPECT_EQ(exec_sync_paused(), 1);
    EXPECT_EQ(exec_sync_elapsed(100.0), 1); // a paused clock never holds a wait
    exec_sync_continue();
    plat::clock_advance(100);
    EXPECT_EQ(exec_sync_elapsed_ms(), 500u);
    EXPECT_EQ(exec_sync_elapsed(0.5), 1);
    EXPECT_EQ(exec_sync_elapsed(0.501), 0);
    // A pause in the same tick as the restart still pauses.
    exec_sync_restart();
    exec_sync_pause();
    EXPECT_EQ(exec_sync_paused(), 1);
}

TEST_F(SessionTest, SyncEventsRestartTheClockOnlyOnTheirMoment)
{
    ASSERT_EQ(open_piece_file(kSyncPiece), 0);
    IconId tune = piece_icon("Tune");
    IconId group = piece_icon("Group");
    struct Row {
        const char* why;
        int mode;
        int kind;
        IconId icon;
        bool restarts;
    };
    const Row rows[] = {
        {"the armed icon at its moment", 1, kKindSound, tune, true},
        {"another moment", 2, kKindSound, tune, false},
        {"another icon", 1, kKindSound, group, false},
        {"any icon of the kind", 1, kKindSound, 0, true},
        {"any icon of another kind", 1, kKindMap, 0, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        exec_sync_restart();
        exec_sync_set(1, tune);
        plat::clock_advance(300);
        exec_sync_event(row.mode, row.kind, row.icon);
        EXPECT_EQ(exec_sync_elapsed_ms(), row.restarts ? 0u : 300u);
        EXPECT_EQ(block().sync_icon, row.restarts ? 0u : tune);
        EXPECT_EQ(exec_sync_elapsed(0.0), row.restarts ? 1 : 0);
    }
}

TEST_F(SessionTest, SyncPointModesFollowTheCurrentIcon)
{
    ASSERT_EQ(open_piece_file(kSyncPiece), 0);
    struct Row {
        const char* title;
        int has_option;
        int option;
        int armed_mode; // 0: the moment had come, nothing stays armed
    };
    static const Row kRows[] = {
        {"Calc", 0, 0, 0}, // its own calculation: started already
        {"Tune", 0, 0, 1}, // a sound reports its start later
        {"Group", 1, 1, 2},
        {"Ask", 1, 2, 3}, // an Interaction's response
        {"Tune", 1, 2, 2},
        {"Group", 1, 7, 0}, // other options are mode 1
    };
    for (const Row& row : kRows) {
        SCOPED_TRACE(std::string(row.title) + " " + std::to_string(row.option));
        exec_set_current(piece_icon(row.title), kStateRunning);
        exec_sync_set(0, 0);
        exec_sync_point(row.has_option, row.option);
        EXPECT_EQ(block().sync_mode, row.armed_mode);
        EXPECT_EQ(block().sync_icon, row.armed_mode ? piece_icon(row.title) : 0u);
    }
}

// A map with SyncPoint(1) restarts the clock when the kernel finishes it.
TEST_F(SessionTest, KernelReportsAFinishedMap)
{
    ASSERT_EQ(open_piece_file(kSyncPiece), 0);
    exec_sync_set(2, piece_icon("Group"));
    plat::clock_advance(50);
    walk();
    EXPECT_EQ(block().sync_icon, 0u);
}

int g_pumps = 0;
int g_pump_answer_at = 0;
int counting_pump()
{
    g_pumps++;
    return g_pumps == g_pump_answer_at ? 3 : 0;
}

TEST_F(SessionTest, SyncWaitTakesItsTimeOnTheVirtualClock)
{
    ASSERT_EQ(open_piece_file(kSyncPiece), 0);
    g_pumps = 0;
    g_pump_answer_at = 0;
    session_set_pump(counting_pump);
    exec_set_current(piece_icon("Calc"), kStateRunning);
    exec_sync_restart();
    uint32_t start = clock_now_ms();
    exec_sync_wait(2.0);
    EXPECT_EQ(clock_now_ms() - start, 2000u);
    EXPECT_LE(g_pumps, 2000 / 10 + 2); // slept, did not spin
    EXPECT_EQ(exec_context().state, kStateRunning);
}

TEST_F(SessionTest, SyncWaitEndsAtOnceWhenPausedAndOnAWaitingMaximise)
{
    ASSERT_EQ(open_piece_file(kSyncPiece), 0);
    g_pumps = 0;
    g_pump_answer_at = 5;
    session_set_pump(counting_pump);
    exec_set_current(piece_icon("Calc"), kStateRunning);
    exec_sync_restart();
    uint32_t start = clock_now_ms();
    exec_sync_wait(60.0);
    EXPECT_EQ(g_pumps, 5);
    EXPECT_LT(clock_now_ms() - start, 100u);
    EXPECT_EQ(exec_context().state, kStateRunning);

    exec_sync_pause();
    g_pumps = 0;
    exec_sync_wait(60.0);
    EXPECT_EQ(g_pumps, 0);
}

// A calculation's SyncWait and SyncPoint reach the clock through the system-function table:
// 1.5 seconds (as text, converted by the signature) on the virtual clock, none while paused.
TEST_F(SessionTest, SyncFunctionsRunThroughTheFunctionTable)
{
    ASSERT_EQ(open_piece_file(kSyncPiece), 0);
    ASSERT_EQ(sysfn_build_table(), 1);
    g_pumps = 0;
    g_pump_answer_at = 0;
    session_set_pump(counting_pump);
    IconId calc = piece_icon("Calc");
    exec_set_current(calc, kStateRunning);
    exec_sync_restart();
    ScriptValue seconds, result;
    val_set_string(seconds, "1.5");
    val_init(result);
    uint32_t start = clock_now_ms();
    EXPECT_EQ(sysfn_call(calc, kSysFnFirstId + 121, 1, &seconds, result), 0);
    EXPECT_EQ(clock_now_ms() - start, 1500u);
    EXPECT_EQ(val_type(result), kValInteger);
    exec_sync_pause();
    val_set_real(60.0, seconds);
    start = clock_now_ms();
    EXPECT_EQ(sysfn_call(calc, kSysFnFirstId + 121, 1, &seconds, result), 0);
    EXPECT_EQ(clock_now_ms() - start, 0u);
    IconId group = piece_icon("Group");
    exec_set_current(group, kStateRunning);
    ScriptValue option;
    val_set_integer(1, option);
    EXPECT_EQ(sysfn_call(group, kSysFnFirstId + 120, 1, &option, result), 0);
    EXPECT_EQ(block().sync_mode, 2);
    EXPECT_EQ(block().sync_icon, group);
    sysfn_reset();
}

// What a SyncWait in a calculation saw when it ended, and how often the program was asked to quit.
struct DeferredSeen {
    int32_t type = kDeferNone;
    IconId target = 0;
    int quits = 0;
    int quits_in_wait = -1;
    IconId icon_after_wait = 0;
    uint32_t waited = 0;
};
DeferredSeen g_seen;
plat::WindowHandle g_presentation;

int deferring_pump()
{
    if (++g_pumps == 3) {
        KernelDeferredAction action;
        action.type = g_seen.type;
        action.argument = int32_t(g_seen.target);
        EXPECT_EQ(exec_defer_action(&action), 1);
    }
    return 0;
}

void calc_with_sync_wait(IconId icon)
{
    if (node_kind(icon) != kKindCalc)
        return;
    uint32_t start = clock_now_ms();
    exec_sync_wait(1.0);
    g_seen.waited = clock_now_ms() - start;
    g_seen.quits_in_wait = g_seen.quits;
    g_seen.icon_after_wait = exec_public_icon();
}

// A quit or a jump asked for while a calculation waits in SyncWait stays deferred: the wait
// runs its time at the same icon, and the step that ran the calculation carries it out.
TEST_F(SessionTest, QuitOrJumpAskedForDuringSyncWaitRunsAfterTheStep)
{
    static const struct {
        const char* name;
        int32_t type;
        const char* where_after; // the kernel after the step
        int quits;
    } rows[] = {
        {"quit", kDeferQuit, "Calc 4", 1},
        {"jump", kDeferJump, "Group 0", 0},
    };
    // The program's passes step the kernel only while a presentation window exists.
    plat::WindowClass window_class;
    window_class.proc = plat::def_window_proc;
    window_class.class_name = "Stage";
    ASSERT_NE(plat::register_class(window_class), 0);
    g_presentation = plat::create_window_ex(0, "Stage", "Stage", plat::WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, {}, 0, {}, nullptr);
    ASSERT_TRUE(g_presentation);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_EQ(open_piece_file(kSyncPiece), 0);
        PieceHooks pieces = piece_hooks();
        pieces.main_window = [] { return g_presentation; };
        pieces.request_quit = []() { g_seen.quits++; };
        piece_set_hooks(&pieces);
        ExecHooks hooks = exec_hooks();
        hooks.run_attached_calc = calc_with_sync_wait;
        exec_set_hooks(&hooks);
        g_seen = DeferredSeen {};
        g_seen.type = row.type;
        g_seen.target = piece_icon("Group");
        g_pumps = 0;
        session_set_pump(deferring_pump);
        exec_step(); // Top
        exec_step();
        ASSERT_EQ(where(), "Calc 0");
        exec_sync_restart();
        exec_step(); // the Calc's calculation waits
        EXPECT_EQ(g_seen.waited, 1000u);
        EXPECT_EQ(g_seen.quits_in_wait, 0);
        EXPECT_EQ(g_seen.icon_after_wait, piece_icon("Calc"));
        EXPECT_EQ(g_seen.quits, row.quits);
        EXPECT_EQ(where(), row.where_after);
        EXPECT_EQ(exec_deferred_pending(), 0);
        session_set_pump(nullptr);
        piece_close(0);
    }
    plat::window_system_reset();
}

TEST_F(SessionTest, ThirdSessionCountsTheFirstTwoUpToTheirSaves)
{
    ASSERT_EQ(open_piece_file(kWalkPiece), 0);
    plat::clock_advance(10500);
    close_piece();
    plat::clock_advance(3600000);
    ASSERT_EQ(reopen(), 0);
    EXPECT_EQ(block().sessions, 2);
    plat::clock_advance(20900);
    close_piece();
    plat::clock_advance(60000);
    ASSERT_EQ(reopen(), 0);
    EXPECT_EQ(block().sessions, 3);
    EXPECT_EQ(block().earlier_seconds, 10 + 20);
    plat::clock_advance(4000);
    EXPECT_EQ(exec_total_time(), 34);
}

} // namespace
} // namespace enginetest
