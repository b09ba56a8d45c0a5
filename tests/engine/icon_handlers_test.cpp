// The entry handlers of Display, Motion, Erase, Movie, Sound and Video icons: what each hands on
// to its medium's executor (recorded through the hooks) and whether the kernel waits after it.
#include "engine_fixture.h"

#include "runtime/calc/value.h"
#include "runtime/engine/icon_kinds.h"

namespace enginetest {
namespace {

std::vector<std::string> s_calls;
int s_motion_waits = 0;
int s_video_ready = 0;
int s_damage = 0;
int s_effect = 0;

void note(const std::string& call) { s_calls.push_back(call); }
std::string n(IconId icon) { return std::to_string(node_icon_number(icon)); }

const IconKindHooks kRecording = {
    [](IconId icon, int mode) { note("display " + n(icon) + " " + std::to_string(mode)); },
    [](IconId icon) {
        note("motion " + n(icon));
        return s_motion_waits;
    },
    [](IconId icon) { note("movie " + n(icon)); },
    [](IconId icon, int mode) { note("sound " + n(icon) + " " + std::to_string(mode)); },
    [](IconId) { return s_video_ready; },
    [](IconId icon, int mode) { note("video play " + n(icon) + " " + std::to_string(mode)); },
    [](IconId icon, uint16_t property, const ScriptValue& value, int) {
        ScriptValue copy = value;
        val_convert(copy, kValInteger);
        note("video trigger " + n(icon) + " " + std::to_string(property) + " " + std::to_string(val_integer(copy)));
    },
    [](IconId icon) { note("video stop " + n(icon)); },
    [](IconId icon, int open) { note("controller " + n(icon) + " " + std::to_string(open)); },
    [](const EraseEntry*, int count, IconId icon) { note("erase all but " + std::to_string(count) + " of " + n(icon)); },
    []() { note("erase everything"); },
    [](IconId icon, int kind) { note("erase " + n(icon) + " kind " + std::to_string(kind)); },
    [](IconId icon) { note("menu " + n(icon)); },
    []() { return s_effect; },
    []() { note("transition clear"); },
    [](uint32_t transition, IconId icon, int flags) {
        note("transition " + std::to_string(transition) + " " + n(icon) + " " + std::to_string(flags));
    },
    [](IconId icon, int shown) { note("buttons " + n(icon) + " " + std::to_string(shown)); },
    nullptr, // no transition kept
};

class IconHandlersTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        s_calls.clear();
        s_motion_waits = s_video_ready = s_damage = s_effect = 0;
        icon_kinds_set_hooks(&kRecording);
        ExecHooks hooks = exec_hooks();
        hooks.sync_event = [](int mode, int kind, IconId icon) {
            note("sync " + std::to_string(mode) + " " + std::to_string(kind) + " " + n(icon));
        };
        hooks.screen_flush = []() { note("paint"); };
        hooks.damage_pending = []() { return s_damage; };
        exec_set_hooks(&hooks);
    }
    void TearDown() override
    {
        icon_kinds_set_hooks(nullptr);
        EngineTest::TearDown();
    }
    // Top (node 1) holds the one icon (node 7): where the walk stops.
    std::string run_icon(const std::string& icon)
    {
        if (open_piece_file("kind PCRS\nicon map \"Top\" {\n" + icon + "\n}\n") != 0)
            return "not opened";
        std::string last = walk().back();
        piece_close(0);
        return last;
    }
};

TEST_F(IconHandlersTest, EachKindHandsItsIconOnAndWaitsOnlyWhenTold)
{
    struct Row {
        const char* name;
        const char* icon;
        int motion_waits, video_ready;
        const char* where;
        std::vector<std::string> calls;
    };
    const Row rows[] = {
        {"display", "icon display \"It\"", 0, 0, "#1 7", {"display 7 6"}},
        {"sound", "icon sound \"It\"", 0, 0, "#1 7", {"sound 7 1"}},
        {"movie", "icon movie \"It\"", 0, 0, "#1 7", {"movie 7"}},
        {"motion that runs beside", "icon motion \"It\"", 0, 0, "#1 7", {"paint", "motion 7"}},
        {"motion to finish first", "icon motion \"It\"", 1, 0, "It 2", {"paint", "motion 7"}},
        // Without ready devices only the clock hears of the video.
        {"video without devices", "icon video \"It\"", 0, 0, "#1 7", {"sync 1 11 7"}},
        {"video waits", "icon video \"It\"", 0, 1, "It 2", {"video play 7 0"}},
        {"video that does not wait", "icon video \"It\" {\n attr 0x2000001 1\n }", 0, 1, "#1 7", {"video play 7 0"}},
        {"video with controller", "icon video \"It\" {\n attr 0x2000308 1\n }", 0, 1, "It 2",
            {"video play 7 0", "controller 7 1"}},
        {"video start expression", "icon video \"It\" {\n attr 0x2000204 1\n code 1032 \"40 + 2\"\n }", 0, 1, "It 2",
            {"video play 7 0", "video trigger 7 1032 42"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        s_calls.clear();
        s_motion_waits = row.motion_waits;
        s_video_ready = row.video_ready;
        EXPECT_EQ(run_icon(row.icon), row.where);
        EXPECT_EQ(s_calls, row.calls);
    }
}

// A ready video runs executor task 1 every 300 ms; a click or key stops it only with its option.
TEST_F(IconHandlersTest, VideoTaskAndInputStop)
{
    s_video_ready = 1;
    for (int stops : {0, 1}) {
        SCOPED_TRACE(stops);
        std::string attrs = stops ? " {\n attr 0x2000102 1\n }" : "";
        ASSERT_EQ(open_piece_file("kind PCRS\nicon map \"Top\" {\nicon video \"It\"" + attrs + "\n}\n"), 0);
        ASSERT_EQ(walk().back(), "It 2");
        EXPECT_EQ(task_interval(kTaskVideo, piece_icon("It"), 0), 300u);
        s_calls.clear();
        KernelInput click;
        EXPECT_EQ(exec_input_event(&click, 0), stops);
        EXPECT_EQ(exec_input_event(nullptr, 13), stops);
        std::vector<std::string> expected;
        if (stops)
            expected = {"video stop 7", "controller 7 0", "video stop 7", "controller 7 0"};
        EXPECT_EQ(s_calls, expected);
        piece_close(0);
    }
}

// Erase modes over the list of {node, object kind} pairs: node 999 is no icon, kind 7 is a
// menu, and the two bytes after the last whole pair are no entry.
TEST_F(IconHandlersTest, EraseModesPaintingAndTheReportToTheClock)
{
    struct Row {
        const char* name;
        const char* attrs;
        int damage, effect;
        std::vector<std::string> calls;
    };
    const Row rows[] = {
        {"listed icons", "", 0, 0,
            {"transition 0 8 63", "erase 7 kind 1", "menu 7", "transition clear", "sync 1 3 8", "sync 2 3 8"}},
        {"all but the listed", "attr 0x20105e0 1", 0, 0,
            {"transition 0 8 63", "erase all but 3 of 8", "transition clear", "sync 1 3 8", "sync 2 3 8"}},
        {"everything", "attr 0x20105e0 2", 0, 0,
            {"transition 0 8 63", "erase everything", "transition clear", "sync 1 3 8", "sync 2 3 8"}},
        // Damage left to repaint: the transition stays and the clock hears nothing yet.
        {"damage pending", "attr 0x20105e0 2", 1, 0, {"transition 0 8 63", "erase everything"}},
        {"paint before and after", "attr 0x20105e0 2\n attr 0x2010308 1", 1, 0,
            {"paint", "transition 0 8 63", "erase everything", "paint"}},
        {"a pending wipe goes first", "attr 0x20105e0 2", 1, 2,
            {"transition clear", "transition 0 8 63", "erase everything"}},
        {"a pending effect 3 stays", "attr 0x20105e0 2", 1, 3, {"transition 0 8 63", "erase everything"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        s_damage = row.damage;
        s_effect = row.effect;
        std::string piece = std::string("kind PCRS\nicon map \"Top\" {\n icon display \"Pic\"\n icon erase \"Wipe\" {\n ")
            + row.attrs + "\n prop 11 u16 7 1 999 1 7 7 5\n }\n}\n";
        ASSERT_EQ(open_piece_file(piece), 0);
        exec_step();
        exec_step();
        exec_step(); // Pic done
        s_calls.clear();
        EXPECT_EQ(walk().back(), "#1 7");
        std::vector<std::string> calls;
        for (const std::string& call : s_calls)
            if (call.rfind("display", 0) != 0)
                calls.push_back(call);
        EXPECT_EQ(calls, row.calls);
        piece_close(0);
    }
}

TEST_F(IconHandlersTest, WaitHidesItsButtonsDuringAPerpetualCall)
{
    ASSERT_EQ(open_piece_file("kind PCRS\nicon map \"Top\" {\n icon wait \"Hold\" {\n attr 0x2000640 1\n }\n}\n"), 0);
    ASSERT_EQ(walk().back(), "Hold 2");
    s_calls.clear();
    for (int32_t type : {kKmPerpetualEnter, kKmPerpetualReturn}) {
        KernelMessage message;
        message.message = type;
        message.icon = piece_icon("Hold");
        EXPECT_EQ(exec_icon_message(&message), 0);
    }
    EXPECT_EQ(s_calls, (std::vector<std::string> {"buttons 7 0", "buttons 7 1"}));
}

} // namespace
} // namespace enginetest
