#include "platform/controls/msgbox.h"

#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "platform/backend/headless.h"
#include "control_test_support.h"

namespace {

using namespace wintest;

class MessageBoxTest : public ScriptedControlTest {};

struct AnswerCase {
    const char* name;
    uint32_t type;
    const char* script;
    int result;
};

// Each kind of box, answered by name, by key or by its close box.
static const AnswerCase kAnswers[] = {
    {"ok", MB_OK, "answer OK", IDOK},
    {"ok by esc", MB_OK, "key Escape", IDOK},
    {"ok cancel", MB_OKCANCEL, "answer Cancel", IDCANCEL},
    {"ok cancel by esc", MB_OKCANCEL, "key Escape", IDCANCEL},
    {"yes no", MB_YESNO, "answer no", IDNO},
    {"yes no ignores esc", MB_YESNO, "key Escape\nanswer Yes", IDYES},
    {"yes no cancel", MB_YESNOCANCEL, "answer Cancel", IDCANCEL},
    {"yes no cancel by mnemonic", MB_YESNOCANCEL, "key Alt+N", IDNO},
    {"retry cancel", MB_RETRYCANCEL, "answer Retry", IDRETRY},
    {"abort retry ignore", MB_ABORTRETRYIGNORE, "answer Ignore", IDIGNORE},
    {"abort retry ignore ignores esc", MB_ABORTRETRYIGNORE, "key Escape\nanswer Abort", IDABORT},
    {"enter presses the first", MB_YESNO, "key Enter", IDYES},
    {"the second is the default", MB_YESNOCANCEL | MB_DEFBUTTON2, "key Enter", IDNO},
    {"the third is the default", MB_YESNOCANCEL | MB_DEFBUTTON3, "key Enter", IDCANCEL},
    {"a default past the buttons is the first", MB_OKCANCEL | MB_DEFBUTTON3, "key Enter", IDOK},
};

TEST_F(MessageBoxTest, EachKindAnswersWithTheButtonPressed)
{
    for (const AnswerCase& c : kAnswers) {
        SCOPED_TRACE(c.name);
        start_script(std::string("wait 10\n") + c.script + "\n");
        EXPECT_EQ(message_box(host, "Text", "Caption", c.type), c.result);
        EXPECT_TRUE(is_window_enabled(host));
        log_close();
    }
}

TEST_F(MessageBoxTest, EveryBoxIsLoggedWithItsTextButtonsAndAnswer)
{
    start_script("answer Retry\n");
    EXPECT_EQ(message_box(host, "The drive\r\nis not ready.", "Drive", MB_RETRYCANCEL | MB_ICONHAND), IDRETRY);
    std::vector<std::string> lines = log_lines();
    std::vector<std::string> expected{
        "beep hand",
        "message box \"Drive\" \"The drive\\x0D\\x0Ais not ready.\" buttons \"Retry\" \"Cancel\"",
        "window shown \"Drive\"",
        "message box closed \"Retry\"",
        "window hidden \"Drive\"",
        "window closed \"Drive\"",
    };
    EXPECT_EQ(lines, expected);
}

TEST_F(MessageBoxTest, ABoxWithoutCaptionIsAnErrorAndABadTypeShowsNothing)
{
    start_script("answer OK\n");
    EXPECT_EQ(message_box({}, "Text", nullptr, MB_OK), IDOK);
    EXPECT_EQ(message_box({}, "Text", "Caption", 7), 0);
    std::vector<std::string> lines = log_lines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[1], "message box \"Error\" \"Text\" buttons \"OK\"");
    EXPECT_EQ(lines.back(), "window closed \"Error\"");
    message_beep(0xFFFFFFFF);
    message_beep(MB_ICONQUESTION);
    lines = log_lines();
    EXPECT_EQ(lines[lines.size() - 2], "beep");
    EXPECT_EQ(lines.back(), "beep question");
}

// The box's layout, seen from inside while it shows.
struct BoxGeometry {
    Rect window;
    Rect text;
    Rect icon;
    std::vector<Rect> buttons;
};
BoxGeometry g_geometry;

void measure_box()
{
    WindowHandle box = get_active_window();
    get_window_rect(box, g_geometry.window);
    auto rect_of = [](WindowHandle control) {
        Rect rect;
        get_window_rect(control, rect);
        return rect;
    };
    g_geometry.text = rect_of(get_dlg_item(box, 0xFFFF));
    g_geometry.icon = rect_of(get_dlg_item(box, 20));
    g_geometry.buttons.clear();
    for (int id : {IDYES, IDNO, IDCANCEL})
        g_geometry.buttons.push_back(rect_of(get_dlg_item(box, id)));
}

TEST_F(MessageBoxTest, LongTextWrapsAndTheButtonsStandCentredBelowIt)
{
    std::string text;
    for (int i = 0; i < 60; i++)
        text += "word ";
    start_script("wait 10\nanswer Yes\n");
    set_timer({}, 0, 5, [](WindowHandle, uint32_t, uintptr_t, uint32_t) { measure_box(); });
    message_box(host, text.c_str(), "Long", MB_YESNOCANCEL | MB_ICONQUESTION);
    const BoxGeometry& g = g_geometry;
    EXPECT_LT(g.window.width(), get_system_metrics(SM_CXSCREEN));
    EXPECT_GT(g.text.height(), 24); // wrapped over lines
    EXPECT_EQ(g.icon.width(), 32);
    EXPECT_LT(g.icon.right, g.text.left);
    ASSERT_EQ(g.buttons.size(), 3u);
    EXPECT_GT(g.buttons[0].top, g.text.bottom);
    int32_t left_gap = g.buttons[0].left - g.window.left;
    int32_t right_gap = g.window.right - g.buttons[2].right;
    EXPECT_LE(std::abs(left_gap - right_gap), 1);
    // Centred on the screen.
    EXPECT_LE(std::abs(g.window.left + g.window.right - get_system_metrics(SM_CXSCREEN)), 1);
}

TEST_F(MessageBoxTest, ATaskModalBoxDisablesEveryWindowWhileItShows)
{
    WindowHandle other = make_top("Other");
    static WindowHandle s_watch[2];
    static bool s_enabled[2] = {true, true};
    s_watch[0] = host;
    s_watch[1] = other;
    start_script("wait 10\nanswer OK\n");
    set_timer({}, 0, 5, [](WindowHandle, uint32_t, uintptr_t, uint32_t) {
        s_enabled[0] = is_window_enabled(s_watch[0]);
        s_enabled[1] = is_window_enabled(s_watch[1]);
    });
    EXPECT_EQ(message_box(host, "Text", "Caption", MB_OK | MB_TASKMODAL), IDOK);
    EXPECT_FALSE(s_enabled[0]);
    EXPECT_FALSE(s_enabled[1]);
    EXPECT_TRUE(is_window_enabled(host));
    EXPECT_TRUE(is_window_enabled(other));
}

// A dialog that asks before it closes: the box runs inside the dialog's own modal run.
struct AskingDialog {
    static inline std::vector<std::string> seen;
    static LResult proc(WindowHandle dialog, uint32_t message, WParam wparam, LParam)
    {
        if (message == WM_INITDIALOG)
            return 1;
        if (message != WM_COMMAND || loword(wparam) != IDOK)
            return 0;
        int answer = message_box(dialog, "Close it?", "Ask", MB_YESNO);
        seen.push_back(std::to_string(answer) + (is_window_enabled(dialog) ? " enabled" : " disabled")
            + (get_active_window() == dialog ? " active" : "") + (get_focus() == get_dlg_item(dialog, IDOK) ? " focused" : ""));
        if (answer == IDYES)
            end_dialog(dialog, 42);
        return 1;
    }
};

TEST_F(MessageBoxTest, ABoxFromAModalDialogReturnsToItsRun)
{
    DialogTemplate t;
    t.style = WS_POPUP | WS_CAPTION | DS_MODALFRAME | WS_VISIBLE;
    t.cx = 120;
    t.cy = 60;
    t.caption = "Asking";
    DialogControl ok;
    ok.style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON;
    ok.id = IDOK;
    ok.class_name = kButtonClass;
    ok.text = "OK";
    ok.x = 10;
    ok.y = 10;
    ok.cx = 40;
    ok.cy = 14;
    t.controls.push_back(ok);
    AskingDialog::seen.clear();
    start_script("answer OK\nanswer No\nanswer OK\nanswer Yes\n");
    EXPECT_EQ(dialog_box_indirect_param({}, t, host, AskingDialog::proc, 0), 42);
    EXPECT_EQ(AskingDialog::seen, (std::vector<std::string>{"7 enabled active focused", "6 enabled active focused"}));
    EXPECT_TRUE(is_window_enabled(host));
    EXPECT_FALSE(find_window(nullptr, "Asking"));
    EXPECT_FALSE(find_window(nullptr, "Ask"));
}

} // namespace
