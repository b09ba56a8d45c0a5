#include "platform/backend/script.h"

#include "platform/kernel/codepage.h"
#include "window_test_support.h"

namespace {

using namespace wintest;

using Seen = std::vector<std::string>;

struct ParseCase {
    const char* line;
    ScriptOp op;
    const char* check; // what the parsed fields must show, see describe()
};

static std::string describe(const ScriptCommand& c)
{
    std::string text;
    switch (c.op) {
    case ScriptOp::wait: return std::to_string(c.ms);
    case ScriptOp::depth: return std::to_string(c.bits);
    case ScriptOp::move:
    case ScriptOp::click:
    case ScriptOp::double_click:
    case ScriptOp::down:
    case ScriptOp::up:
        return std::to_string(c.point.x) + "," + std::to_string(c.point.y) + " " + std::to_string(int(c.button));
    case ScriptOp::key:
    case ScriptOp::key_down:
    case ScriptOp::key_up:
        for (uint32_t vk : c.keys)
            text += std::to_string(vk) + " ";
        return text;
    default: return c.text + "|" + c.title;
    }
}

static const ParseCase kGoodLines[] = {
    {"wait 500", ScriptOp::wait, "500"},
    {"move 320 240", ScriptOp::move, "320,240 0"},
    {"click 320 240", ScriptOp::click, "320,240 0"},
    {"click 320 240 right", ScriptOp::click, "320,240 1"},
    {"dblclick 5 6 middle", ScriptOp::double_click, "5,6 2"},
    {"down -5 6", ScriptOp::down, "-5,6 0"},
    {"up 330 250   # comment", ScriptOp::up, "330,250 0"},
    {"key Enter", ScriptOp::key, "13 "},
    {"key Ctrl+Q", ScriptOp::key, "17 81 "},
    {"keydown Shift", ScriptOp::key_down, "16 "},
    {"keyup Shift", ScriptOp::key_up, "16 "},
    {"type Hello, 안녕          # UTF-8 text", ScriptOp::type, "Hello, 안녕|"},
    {"type a\\#b", ScriptOp::type, "a#b|"},
    {"type \"  two blanks\"", ScriptOp::type, "  two blanks|"},
    {"compose 아", ScriptOp::compose, "아|"},
    {"answer Yes", ScriptOp::answer, "Yes|"},
    {"choose-file C:\\A\\B.V5R", ScriptOp::choose_file, "C:\\A\\B.V5R|"},
    {"choose-file cancel", ScriptOp::choose_file, "|"},
    {"shot out/menu.png", ScriptOp::shot, "out/menu.png|"},
    {"shot out/w.png Main Window", ScriptOp::shot, "out/w.png|Main Window"},
    {"shot \"my shots/w.png\" \"A Title\"", ScriptOp::shot, "my shots/w.png|A Title"},
    {"quit", ScriptOp::quit, "|"},
    {"depth 8", ScriptOp::depth, "8"},
    {"depth 1", ScriptOp::depth, "1"},
};

TEST(ScriptParse, EveryCommandWithItsArguments)
{
    for (const ParseCase& c : kGoodLines) {
        SCOPED_TRACE(c.line);
        std::vector<ScriptCommand> commands;
        std::string error;
        ASSERT_TRUE(script_parse(c.line, commands, error)) << error;
        ASSERT_EQ(commands.size(), 1u);
        EXPECT_EQ(commands[0].op, c.op);
        EXPECT_EQ(describe(commands[0]), c.check);
    }
}

struct BadCase {
    const char* script;
    const char* error;
};

static const BadCase kBadScripts[] = {
    {"jump 1 2", "line 1: unknown command jump"},
    {"wait", "line 1: expected a time in ms"},
    {"wait -5", "line 1: expected a time in ms"},
    {"wait 99999999999", "line 1: expected a time in ms"},
    {"# fine\n\nclick 10", "line 3: expected two coordinates"},
    {"click 10 x", "line 1: expected two coordinates"},
    {"click 10 40000", "line 1: expected two coordinates"},
    {"click 1 2 sideways", "line 1: unknown button sideways"},
    {"move 1 2 left", "line 1: unexpected left"},
    {"key Hyper", "line 1: unknown key Hyper"},
    {"key Ctrl+", "line 1: unknown key Ctrl+"},
    {"type", "line 1: expected text"},
    {"type    # only a comment", "line 1: expected text"},
    {"answer", "line 1: expected a button"},
    {"choose-file", "line 1: expected a path or 'cancel'"},
    {"shot", "line 1: expected a file name"},
    {"quit now", "line 1: unexpected now"},
    {"depth 7", "line 1: expected a depth of 1, 4, 8, 16, 24 or 32"},
    {"depth", "line 1: expected a depth of 1, 4, 8, 16, 24 or 32"},
    {"depth 8 now", "line 1: expected a depth of 1, 4, 8, 16, 24 or 32"},
};

TEST(ScriptParse, BadLinesAreRefusedWithTheirNumber)
{
    for (const BadCase& c : kBadScripts) {
        SCOPED_TRACE(c.script);
        std::vector<ScriptCommand> commands;
        std::string error;
        EXPECT_FALSE(script_parse(c.script, commands, error));
        EXPECT_EQ(error, c.error);
    }
}

TEST(ScriptParse, CommentsBlankLinesAndCarriageReturns)
{
    std::vector<ScriptCommand> commands;
    std::string error;
    ASSERT_TRUE(script_parse("# heading\r\n\r\n  wait 5 # why\r\nquit\r\n", commands, error)) << error;
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_EQ(commands[0].line, 3);
    EXPECT_EQ(commands[1].op, ScriptOp::quit);
    EXPECT_FALSE(script_parse(std::string(5 << 20, ' '), commands, error));
}

class ScriptRunTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        quiet.insert({WM_KEYDOWN, WM_KEYUP, WM_SYSKEYDOWN, WM_SYSKEYUP, WM_PAINT, WM_NCPAINT, WM_ERASEBKGND});
        window = make_top("W");
        pump();
        take_seen();
    }

    void run(const std::string& source)
    {
        std::vector<ScriptCommand> commands;
        std::string error;
        ASSERT_TRUE(script_parse(source, commands, error)) << error;
        script_start(commands);
        while (script_has_next()) {
            ASSERT_TRUE(script_run_next(error)) << error;
            pump();
        }
    }

    WindowHandle window;
};

TEST_F(ScriptRunTest, TypedTextArrivesAsCharactersThroughTheKeys)
{
    std::string typed;
    answer = [&](WindowHandle, uint32_t message, WParam wparam, LParam) -> std::optional<LResult> {
        if (message == WM_CHAR)
            typed += char(wparam);
        return std::nullopt;
    };
    run("type Ab! 1\n");
    EXPECT_EQ(typed, "Ab! 1");
    EXPECT_EQ(get_key_state(VK_SHIFT), 0); // Shift released after each shifted character
}

TEST_F(ScriptRunTest, TextNoKeyTypesArrivesAsCodePageCharacters)
{
    if (!set_active_code_page(CP_KOREAN))
        GTEST_SKIP() << "code page 949 not available";
    std::string typed;
    answer = [&](WindowHandle, uint32_t message, WParam wparam, LParam) -> std::optional<LResult> {
        if (message == WM_CHAR)
            typed += char(wparam);
        return std::nullopt;
    };
    run("type a가\ncompose 나\n");
    EXPECT_EQ(typed, utf8_to_code_page(CP_KOREAN, "a가나"));
}

TEST_F(ScriptRunTest, KeyCombinationsPressInOrderAndReleaseInReverse)
{
    std::vector<std::string> keys;
    answer = [&](WindowHandle, uint32_t message, WParam wparam, LParam) -> std::optional<LResult> {
        if (message == WM_KEYDOWN || message == WM_KEYUP || message == WM_CHAR)
            keys.push_back(std::string(message_name(message)) + " " + std::to_string(wparam));
        return std::nullopt;
    };
    run("key Ctrl+Q\n");
    EXPECT_EQ(keys, (std::vector<std::string>{"WM_KEYDOWN 17", "WM_KEYDOWN 81", "WM_CHAR 17", "WM_KEYUP 81", "WM_KEYUP 17"}));
}

TEST_F(ScriptRunTest, MouseCommands)
{
    run("click 200 200\ndblclick 200 200\nmove 210 210\n");
    EXPECT_EQ(take_seen(), (Seen{"W WM_LBUTTONDOWN", "W WM_LBUTTONUP", "W WM_LBUTTONDBLCLK", "W WM_LBUTTONUP",
                               "W WM_LBUTTONDOWN", "W WM_LBUTTONUP"}));
    Point at;
    get_cursor_pos(at);
    EXPECT_EQ(at, (Point{210, 210}));
}

TEST_F(ScriptRunTest, WaitSetsWhenTheNextCommandMayRun)
{
    std::vector<ScriptCommand> commands;
    std::string error;
    ASSERT_TRUE(script_parse("wait 250\nquit\n", commands, error));
    script_start(commands);
    uint32_t start = get_tick_count();
    EXPECT_EQ(script_next_due(), start);
    ASSERT_TRUE(script_run_next(error));
    EXPECT_EQ(script_next_due(), start + 250);
}

static int g_answers_announced = 0;
static std::string g_composed;

TEST_F(ScriptRunTest, AnswersAndFilesWaitForTheDialogsThatTakeThem)
{
    g_answers_announced = 0;
    ScriptServices services;
    services.answer_queued = [] { g_answers_announced++; };
    services.compose = [](std::string_view text) { g_composed = std::string(text); };
    script_set_services(services);
    run("answer No\nanswer Don't Save\nchoose-file C:\\X.V5R\nchoose-file cancel\ncompose 아\n");
    EXPECT_EQ(g_answers_announced, 2);
    EXPECT_EQ(g_composed, "아");
    std::string value;
    ASSERT_TRUE(script_take_answer(value));
    EXPECT_EQ(value, "No");
    ASSERT_TRUE(script_take_answer(value));
    EXPECT_EQ(value, "Don't Save");
    EXPECT_FALSE(script_take_answer(value));
    ASSERT_TRUE(script_take_chosen_file(value));
    EXPECT_EQ(value, "C:\\X.V5R");
    ASSERT_TRUE(script_take_chosen_file(value));
    EXPECT_EQ(value, ""); // cancelled
    EXPECT_FALSE(script_take_chosen_file(value));
}

TEST_F(ScriptRunTest, QuitClosesTheMainWindowNotAnActiveToolWindow)
{
    WindowHandle tool = make("Tool", WS_POPUP | WS_CAPTION | WS_VISIBLE, Rect{0, 0, 50, 50}, window, 0, WS_EX_TOOLWINDOW);
    ASSERT_EQ(get_active_window(), tool);
    run("quit\n");
    EXPECT_FALSE(is_window(window));
    EXPECT_FALSE(is_window(tool)); // owned windows go with their owner
}

TEST_F(ScriptRunTest, QuitClosesAModalDialogWhileItsOwnerIsDisabled)
{
    WindowHandle dialog = make("Dialog", WS_POPUP | WS_CAPTION | WS_VISIBLE, Rect{0, 0, 50, 50}, window);
    enable_window(window, false);
    run("quit\n");
    EXPECT_FALSE(is_window(dialog));
    EXPECT_TRUE(is_window(window));
}

TEST_F(ScriptRunTest, QuitClosesTheActiveWindowAsItsCloseBoxWould)
{
    quiet.insert({WM_NCACTIVATE, WM_ACTIVATE, WM_ACTIVATEAPP, WM_KILLFOCUS, WM_SHOWWINDOW, WM_WINDOWPOSCHANGING,
        WM_WINDOWPOSCHANGED});
    run("quit\n");
    EXPECT_TRUE(script_quit_ran());
    EXPECT_FALSE(is_window(window));
    EXPECT_EQ(take_seen(), (Seen{"W WM_SYSCOMMAND", "W WM_CLOSE", "W WM_DESTROY", "W WM_NCDESTROY"}));
    script_close_program(); // no window left: the program is told to quit
    Msg msg;
    EXPECT_EQ(get_message(msg), 0);
}

} // namespace
