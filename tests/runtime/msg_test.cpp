#include "box_fixture.h"
#include "runtime/files/msg.h"
#include "runtime/files/util.h"
#include "text_scope.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <string_view>
#include <vector>

using namespace std::literals;

namespace {

struct NthCase {
    const char* name;
    std::string_view list;
    int n;
    std::string_view expected;
};

static const NthCase kNthCases[] = {
    { "first", "one\0two\0"sv, 1, "one" },
    { "below one is the first", "one\0two\0"sv, -5, "one" },
    { "second", "one\0two\0"sv, 2, "two" },
    { "past the end", "one\0two\0"sv, 3, "" },
    { "far past the end", "one\0two\0"sv, 1000, "" },
    { "empty string in the middle", "one\0\0three\0"sv, 3, "three" },
    { "last string without NUL", "one\0tw"sv, 2, "tw" },
    { "empty list", ""sv, 1, "" },
};

TEST(MsgNthString, FindsStringsWithinTheList)
{
    for (const NthCase& c : kNthCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(msg_nth_string(c.list, c.n), c.expected);
    }
}

struct ExpandCase {
    const char* name;
    std::string_view format;
    std::string_view subs;
    std::vector<int32_t> args;
    const char* expected;
    size_t args_left;
};

static const ExpandCase kExpandCases[] = {
    { "no sub-message", "plain %s and %d", "x\0"sv, { 7 }, "plain %s and %d", 1 },
    { "second sub-message", "The %m is full.", "disk\0computer memory\0"sv, { 2 },
        "The computer memory is full.", 0 },
    { "arguments in the order met", "%m/%m %d", "a\0b\0"sv, { 2, 1, 9 }, "b/a %d", 1 },
    // The sub-message's own "%m" takes the argument after the one that chose it.
    { "nested", "[%m] %m", "one %m\0two\0three\0"sv, { 1, 3, 2 }, "[one three] two", 0 },
    { "number past the sub-messages", "[%m]", "a\0b\0"sv, { 3 }, "[]", 0 },
    { "number zero", "[%m]", "a\0b\0"sv, { 0 }, "[]", 0 },
    { "negative number", "[%m]", "a\0b\0"sv, { -1 }, "[]", 0 },
    { "missing argument", "[%m]", "a\0"sv, {}, "[]", 0 },
    { "no sub-messages at all", "[%m]", ""sv, { 1 }, "[]", 0 },
    { "last sub-message without NUL", "[%m]", "a\0bc"sv, { 2 }, "[bc]", 0 },
    { "a doubled percent stays for the formatter", "100%%m done", "x\0"sv, { 1 }, "100%%m done",
        1 },
    { "percent at the end", "50%", "x\0"sv, {}, "50%", 0 },
    { "format ends at its NUL", "ab\0%m"sv, "x\0"sv, { 1 }, "ab", 1 },
};

TEST(MsgExpand, ReplacesSubMessagesByTheirNumbers)
{
    for (const ExpandCase& c : kExpandCases) {
        SCOPED_TRACE(c.name);
        std::vector<FmtArg> list(c.args.begin(), c.args.end());
        std::span<const FmtArg> args(list);
        char out[kMsgRoom];
        int room = kMsgRoom;
        char* end = msg_expand(out, room, c.format, args, c.subs);
        EXPECT_STREQ(out, c.expected);
        EXPECT_EQ(end, out + std::strlen(c.expected));
        EXPECT_EQ(args.size(), c.args_left);
    }
}

TEST(MsgExpand, ATextArgumentChoosesNoSubMessage)
{
    const FmtArg list[] = { FmtArg("2"), FmtArg(5) };
    std::span<const FmtArg> args(list);
    char out[kMsgRoom];
    int room = kMsgRoom;
    msg_expand(out, room, "[%m]", args, "a\0b\0"sv);
    EXPECT_STREQ(out, "[]");
    EXPECT_EQ(args.size(), 1u);
}

// Copying stops with two units of room left: 298 bytes and the NUL, however the text is made.
TEST(MsgExpand, StopsShortOfTheBufferEnd)
{
    std::string long_text(400, 'a');
    std::string subs = std::string(200, 's') + '\0';
    std::string at_bound = std::string(297, 'b') + "%m";
    struct BoundCase {
        const char* name;
        std::string_view format;
        std::vector<int32_t> args;
    };
    const BoundCase cases[] = {
        { "long format", long_text, {} },
        { "long sub-messages", "%m%m", { 1, 1 } },
        { "a directive at the bound", at_bound, { 1 } },
    };
    for (const BoundCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<FmtArg> list(c.args.begin(), c.args.end());
        std::span<const FmtArg> args(list);
        std::vector<char> out(kMsgRoom + 16, 'Z');
        int room = kMsgRoom;
        char* end = msg_expand(out.data(), room, c.format, args, subs);
        EXPECT_EQ(end - out.data(), kMsgRoom - 2);
        EXPECT_EQ(std::strlen(out.data()), size_t(kMsgRoom - 2));
        EXPECT_EQ(out[kMsgRoom], 'Z');
    }
}

// A double-byte character is never cut in two, and costs two units of room.
TEST(MsgExpand, KeepsDoubleByteCharactersWhole)
{
    TextScope korean(949, "K");
    std::string format = "a";
    for (int i = 0; i < 200; i++)
        format += "\xB0\xA1";
    std::span<const FmtArg> args;
    char out[kMsgRoom];
    int room = kMsgRoom;
    char* end = msg_expand(out, room, format, args, {});
    EXPECT_EQ(end - out, 299); // 'a' then 149 whole characters: the last one fills the room
    EXPECT_EQ(uint8_t(out[297]), 0xB0);
    EXPECT_EQ(uint8_t(out[298]), 0xA1);
}

struct LayoutCase {
    const char* name;
    int32_t base_unit;
    int32_t client_width;
    plat::Rect slots[3];
    MsgLayoutButton buttons[3]; // position, text width, visible
    plat::Rect expected[3]; // of the visible buttons
    int32_t widen;
};

// base unit 6: margin 18, gap 9, minimum width 54; base unit 8: margin 24, gap 12, minimum 72.
static const LayoutCase kLayoutCases[] = {
    { "one button is centred", 6, 375,
        { { 33, 84, 117, 107 }, { 145, 84, 229, 107 }, { 258, 84, 342, 107 } },
        { { 1, 30, true }, { 2, 0, false }, { 3, 0, false } }, { { 145, 84, 230, 107 } }, 0 },
    { "a lone third button takes the first place", 6, 375,
        { { 33, 84, 117, 107 }, { 145, 84, 229, 107 }, { 258, 84, 342, 107 } },
        { { 1, 0, false }, { 2, 0, false }, { 3, 30, true } }, { {}, {}, { 145, 84, 230, 107 } },
        0 },
    { "two buttons on the thirds, by their digits", 6, 375,
        { { 33, 84, 117, 107 }, { 145, 84, 229, 107 }, { 258, 84, 342, 107 } },
        { { 2, 30, true }, { 1, 40, true }, { 3, 0, false } },
        { { 208, 84, 292, 107 }, { 83, 84, 167, 107 } }, 0 },
    { "two buttons stand together when the thirds are too close", 6, 240,
        { { 33, 84, 117, 107 }, { 145, 84, 229, 107 }, { 258, 84, 342, 107 } },
        { { 1, 30, true }, { 2, 30, true }, { 3, 0, false } },
        { { 31, 84, 115, 107 }, { 124, 84, 208, 107 } }, 0 },
    { "three buttons that fit keep their places", 6, 375,
        { { 33, 84, 117, 107 }, { 145, 84, 229, 107 }, { 258, 84, 342, 107 } },
        { { 1, 66, true }, { 2, 30, true }, { 3, 30, true } },
        { { 33, 84, 117, 107 }, { 145, 84, 229, 107 }, { 258, 84, 342, 107 } }, 0 },
    { "a long caption lays out one row", 6, 375,
        { { 33, 84, 117, 107 }, { 145, 84, 229, 107 }, { 258, 84, 342, 107 } },
        { { 1, 100, true }, { 2, 30, true }, { 3, 30, true } },
        { { 65, 84, 183, 107 }, { 192, 84, 246, 107 }, { 255, 84, 309, 107 } }, 0 },
    { "a row wider than the box widens it", 6, 200,
        { { 33, 84, 117, 107 }, { 145, 84, 229, 107 }, { 258, 84, 342, 107 } },
        { { 1, 100, true }, { 2, 30, true }, { 3, 30, true } },
        { { 9, 84, 127, 107 }, { 136, 84, 190, 107 }, { 199, 84, 253, 107 } }, 31 },
    { "one button at base unit 8", 8, 500,
        { { 44, 112, 156, 140 }, { 194, 112, 306, 140 }, { 344, 112, 456, 140 } },
        { { 1, 40, true }, { 2, 0, false }, { 3, 0, false } }, { { 193, 112, 306, 140 } }, 0 },
    { "two buttons on the thirds at base unit 8", 8, 500,
        { { 44, 112, 156, 140 }, { 194, 112, 306, 140 }, { 344, 112, 456, 140 } },
        { { 1, 40, true }, { 2, 80, true }, { 3, 0, false } },
        { { 110, 112, 222, 140 }, { 276, 112, 388, 140 } }, 0 },
    { "a row of two at base unit 8", 8, 500,
        { { 44, 112, 156, 140 }, { 194, 112, 306, 140 }, { 344, 112, 456, 140 } },
        { { 1, 40, true }, { 2, 100, true }, { 3, 0, false } },
        { { 134, 112, 206, 140 }, { 218, 112, 342, 140 } }, 0 },
};

TEST(MsgLayoutButtons, PlacesButtonsFromTheBaseUnit)
{
    for (const LayoutCase& c : kLayoutCases) {
        SCOPED_TRACE(c.name);
        MsgLayoutInput in;
        in.base_unit = c.base_unit;
        in.client_width = c.client_width;
        for (int b = 0; b < 3; b++) {
            in.slots[b] = c.slots[b];
            in.buttons[b] = c.buttons[b];
        }
        MsgLayoutResult out = msg_layout_buttons(in);
        for (int b = 0; b < 3; b++) {
            if (!c.buttons[b].visible)
                continue;
            SCOPED_TRACE(b + 1);
            EXPECT_EQ(out.rects[b].left, c.expected[b].left);
            EXPECT_EQ(out.rects[b].top, c.expected[b].top);
            EXPECT_EQ(out.rects[b].right, c.expected[b].right);
            EXPECT_EQ(out.rects[b].bottom, c.expected[b].bottom);
        }
        EXPECT_EQ(out.widen, c.widen);
    }
}

class MsgShowTest : public BoxTest {
protected:
    void SetUp() override
    {
        BoxTest::SetUp();
        module = plat::get_resource_module("test_msg");
        ASSERT_TRUE(module);
        msg_set_resource_module(module);
        msg_set_owner(host);
    }
    plat::ModuleHandle module;
};

struct ShowCase {
    const char* name;
    uint32_t number;
    std::vector<FmtArg> args;
    const char* script;
    int result;
    const char* beep;
    const char* box; // the log line of the box shown
};

static const ShowCase kShowCases[] = {
    { "Continue stands left and is button 2", 45, { "Intro", "disk is full" }, "answer Continue", 2,
        "beep hand",
        "message box \"Storvel\" \"Unable to display icon \\\"Intro\\\" because the following "
        "error has "
        "occurred: disk is full.  Other objects may also fail to appear.  Records of this session "
        "will not be saved.\" buttons \"Continue\" \"Quit\"" },
    { "Quit is button 1", 45, { "Intro", "x" }, "answer Quit", 1, "beep hand", nullptr },
    { "a sub-message by number", 22, { 2 }, "answer Cancel", 1, "beep hand",
        "message box \"Storvel\" \"The computer memory is full.  You must cancel the selected "
        "operation.\" buttons \"Cancel\"" },
    { "Esc does nothing without a second button", 22, { 1 }, "key Escape\nanswer Cancel", 1,
        "beep hand", nullptr },
    { "Esc is button 2 when it shows", 900, {}, "key Escape", 2, "beep question",
        "message box \"Storvel\" \"Two of three buttons.\" buttons \"Yes\" \"No\"" },
    { "Enter presses the first button shown", 900, {}, "key Enter", 2, "beep question", nullptr },
    { "nested sub-messages, then the other arguments", 901, { 1, 3, "end" }, "answer OK", 1,
        "beep exclamation", "message box \"Storvel\" \"[one three] and end\" buttons \"OK\"" },
    { "digits place the buttons", 903, {}, "answer Third", 1, "beep",
        "message box \"Storvel\" \"Odd kind.\" buttons \"First\" \"Second\" \"Third\"" },
    { "any text is a warning", 200, { "Hello" }, "answer Continue", 1, "beep exclamation",
        "message box \"Storvel\" \"Hello\" buttons \"Continue\"" },
};

TEST_F(MsgShowTest, AnswersTheNumberOfTheButtonPressed)
{
    for (const ShowCase& c : kShowCases) {
        SCOPED_TRACE(c.name);
        start_script(std::string("wait 10\n") + c.script + "\n");
        EXPECT_EQ(msg_show_va(c.number, c.args), c.result);
        std::vector<std::string> lines = log_lines();
        ASSERT_GE(lines.size(), 2u);
        EXPECT_EQ(lines[0], c.beep);
        if (c.box) {
            EXPECT_EQ(lines[1], c.box);
        }
        EXPECT_TRUE(plat::is_window_enabled(host));
        plat::log_close();
    }
}

TEST_F(MsgShowTest, ThePlayingSoundStopsBeforeTheBeep)
{
    static int stops;
    stops = 0;
    util_set_sound_stop([] {
        stops++;
        plat::log_event("sound stopped");
    });
    start_script("wait 10\nanswer Continue\n");
    EXPECT_EQ(msg_show(200, "Hello"), 1);
    util_reset();
    std::vector<std::string> lines = log_lines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], "sound stopped");
    EXPECT_EQ(lines[1], "beep exclamation");
    EXPECT_EQ(stops, 1);
}

TEST_F(MsgShowTest, TheTextIsCutAtTheBuffer)
{
    std::string long_text(400, 'x');
    start_script("answer Continue\n");
    EXPECT_EQ(msg_show(200, long_text.c_str()), 1);
    std::vector<std::string> boxes = log_lines_starting("message box \"Storvel\"");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0],
        "message box \"Storvel\" \"" + std::string(kMsgRoom - 1, 'x') + "\" buttons \"Continue\"");
}

TEST_F(MsgShowTest, AMissingMessageShowsMessage207)
{
    struct MissingCase {
        const char* name;
        uint32_t number;
    };
    const MissingCase cases[] = {
        { "no such message", 999 },
        { "too short for its kind", 904 },
    };
    for (const MissingCase& c : cases) {
        SCOPED_TRACE(c.name);
        start_script("answer Continue\n");
        EXPECT_EQ(msg_show(c.number, 5), 1);
        std::vector<std::string> boxes = log_lines_starting("message box \"");
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0],
            "message box \"Storvel\" \"A serious error has occurred: Could not load message "
            "resource #"
                + std::to_string(c.number) + ".  \" buttons \"Continue\" \"Quit\"");
        plat::log_close();
    }
}

TEST_F(MsgShowTest, QuitOnAMissingMessageIsAnInternalError)
{
    start_script("answer Quit\nanswer OK\n");
    try {
        msg_show(999);
        ADD_FAILURE() << "msg_show returned";
    } catch (const plat::InternalError& error) {
        EXPECT_STREQ(error.module, "message");
        EXPECT_EQ(error.line, 284);
    }
    std::vector<std::string> boxes = log_lines_starting("message box \"");
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1], "message box \"Internal Error\" \"message, 284\" buttons \"OK\"");
}

TEST_F(MsgShowTest, WithoutMessage207TheInternalErrorFollowsAtOnce)
{
    msg_set_resource_module(plat::ModuleHandle(0xBAD0));
    start_script("answer OK\n");
    EXPECT_THROW(msg_show(22, 1), plat::InternalError);
    std::vector<std::string> boxes = log_lines_starting("message box \"");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], "message box \"Internal Error\" \"message, 284\" buttons \"OK\"");
}

// The box as it shows, measured from inside its modal loop.
struct BoxSeen {
    plat::Rect window;
    plat::Rect client;
    plat::Rect buttons[3];
    bool visible[3] = {};
    int tab_order[3] = {};
};
BoxSeen g_seen;

void measure_box()
{
    plat::WindowHandle box = plat::get_active_window();
    plat::get_window_rect(box, g_seen.window);
    plat::get_client_rect(box, g_seen.client);
    for (int b = 0; b < 3; b++) {
        plat::WindowHandle button = plat::get_dlg_item(box, b + 1);
        plat::get_window_rect(button, g_seen.buttons[b]);
        g_seen.visible[b] = plat::is_window_visible(button);
    }
    plat::WindowHandle control = plat::get_next_dlg_tab_item(box, {}, false);
    for (int k = 0; k < 3; k++) {
        g_seen.tab_order[k] = int(plat::get_dlg_ctrl_id(control));
        control = plat::get_next_dlg_tab_item(box, control, false);
    }
}

class MsgBoxLayoutTest : public MsgShowTest {
protected:
    BoxSeen show(uint32_t number, const char* answer)
    {
        g_seen = BoxSeen {};
        start_script(std::string("wait 10\nanswer ") + answer + "\n");
        plat::set_timer(
            {}, 0, 5, [](plat::WindowHandle, uint32_t, uintptr_t, uint32_t) { measure_box(); });
        msg_show(number, 1);
        plat::log_close();
        return g_seen;
    }
};

TEST_F(MsgBoxLayoutTest, OneButtonIsCentredAndTheOthersHidden)
{
    BoxSeen seen = show(22, "Cancel");
    EXPECT_TRUE(seen.visible[0]);
    EXPECT_FALSE(seen.visible[1]);
    EXPECT_FALSE(seen.visible[2]);
    int32_t left = seen.buttons[0].left - seen.window.left;
    int32_t right = seen.window.right - seen.buttons[0].right;
    EXPECT_LE(std::abs(left - right), 2);
    // Centred on the screen.
    EXPECT_LE(std::abs(seen.window.left + seen.window.right
                  - plat::get_system_metrics(plat::SM_CXSCREEN)),
        1);
}

TEST_F(MsgBoxLayoutTest, TheTabOrderFollowsThePositions)
{
    BoxSeen seen = show(903, "First");
    EXPECT_LT(seen.buttons[1].right, seen.buttons[2].left); // "1First" left of "2Second"
    EXPECT_LT(seen.buttons[2].right, seen.buttons[0].left); // "3Third" on the right
    EXPECT_EQ(seen.tab_order[0], 2);
    EXPECT_EQ(seen.tab_order[1], 3);
    EXPECT_EQ(seen.tab_order[2], 1);
}

TEST_F(MsgBoxLayoutTest, ALongCaptionWidensItsButtonAndTheBox)
{
    BoxSeen narrow = show(22, "Cancel");
    BoxSeen wide = show(902, "Second");
    EXPECT_GT(wide.window.right - wide.window.left, narrow.window.right - narrow.window.left);
    EXPECT_GT(wide.buttons[0].right - wide.buttons[0].left, 300);
    EXPECT_LT(wide.buttons[0].right, wide.buttons[1].left);
    EXPECT_GE(wide.buttons[0].left, wide.window.left);
    EXPECT_LE(wide.buttons[1].right, wide.window.right);
}

} // namespace
