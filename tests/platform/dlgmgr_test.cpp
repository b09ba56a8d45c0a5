#include "platform/controls/dlgmgr.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "platform/kernel/internal_error.h"
#include "platform/backend/headless.h"
#include "control_test_support.h"

namespace {

using namespace wintest;

std::vector<int> g_commands;
std::string g_name_at_command; // the text of field 10 when a button acted
bool g_end_on_command = false;
bool g_end_at_once = false;
bool g_owner_enabled_inside = true;

LResult manager_dialog(WindowHandle dialog, uint32_t message, WParam wparam, LParam lparam)
{
    switch (message) {
    case WM_INITDIALOG:
        g_owner_enabled_inside = is_window_enabled(WindowHandle(uint32_t(lparam)));
        if (g_end_at_once)
            end_dialog(dialog, 77);
        return 1;
    case WM_COMMAND: {
        int id = int(loword(wparam));
        if (hiword(wparam) != BN_CLICKED)
            return 0;
        g_commands.push_back(id);
        g_name_at_command = code_page_to_utf8(CP_ACP, controls_text(get_dlg_item(dialog, 10)));
        bool push_button = id == IDOK || id == IDCANCEL || id == 4;
        if (g_end_on_command && push_button)
            end_dialog(dialog, id);
        return 1;
    }
    default: return 0;
    }
}

class DialogManagerTest : public ScriptedControlTest {
protected:
    ModuleHandle fixtures;
    WindowHandle dialog;

    void SetUp() override
    {
        ScriptedControlTest::SetUp();
        g_commands.clear();
        g_end_on_command = false;
        g_end_at_once = false;
        fixtures = get_resource_module("test_dialogs");
        ASSERT_TRUE(fixtures);
    }
    void open_dialog()
    {
        dialog = create_dialog_param(fixtures, 300, host, manager_dialog, 0);
        ASSERT_TRUE(dialog);
        show_window(dialog, SW_SHOW);
        pump_dialog();
    }
    // A modeless dialog's loop: the dialog keys first.
    void pump_dialog()
    {
        Msg msg;
        for (int guard = 0; guard < 10000 && peek_message(msg, PM_REMOVE); guard++) {
            if (!is_dialog_message(dialog, msg)) {
                translate_message(msg);
                dispatch_message(msg);
            }
        }
    }
    void keys(const std::string& combination)
    {
        std::vector<uint32_t> vks;
        ASSERT_TRUE(keyboard_parse_combination(combination, vks));
        for (uint32_t vk : vks)
            input_key(vk, true);
        for (auto it = vks.rbegin(); it != vks.rend(); ++it)
            input_key(*it, false);
        pump_dialog();
    }
    int focus_id() { return get_dlg_ctrl_id(get_focus()); }
    void chars(const std::string& text)
    {
        for (char c : text)
            input_char(uint8_t(c));
        pump_dialog();
    }
};

TEST_F(DialogManagerTest, TabWalksTheTabStopsThatCanTakeTheFocus)
{
    open_dialog();
    ASSERT_EQ(focus_id(), 10);
    std::vector<int> order;
    for (int i = 0; i < 6; i++) {
        keys("Tab");
        order.push_back(focus_id());
    }
    // The hidden and the disabled button are passed by; Tab wraps round.
    EXPECT_EQ(order, (std::vector<int>{13, 16, 1, 2, 4, 10}));
    keys("Shift+Tab");
    EXPECT_EQ(focus_id(), 4);
    EXPECT_EQ(get_next_dlg_tab_item(dialog, {}, false), get_dlg_item(dialog, 10));
    EXPECT_EQ(get_next_dlg_tab_item(dialog, {}, true), get_dlg_item(dialog, 4));
    EXPECT_EQ(is_dlg_button_checked(dialog, 13), 1u); // an automatic radio button reached by the keys is checked
}

TEST_F(DialogManagerTest, ArrowsMoveWithinAGroupAndCheckItsRadioButtons)
{
    open_dialog();
    dialog_set_focus(dialog, get_dlg_item(dialog, 13));
    std::vector<int> order;
    for (const char* key : {"Down", "Down", "Down", "Up"}) {
        keys(key);
        order.push_back(focus_id());
    }
    EXPECT_EQ(order, (std::vector<int>{14, 15, 13, 15}));
    EXPECT_EQ(is_dlg_button_checked(dialog, 15), 1u);
    EXPECT_EQ(is_dlg_button_checked(dialog, 13), 0u);
    keys("Tab");
    keys("Shift+Tab"); // back into the group: to its checked button
    EXPECT_EQ(focus_id(), 15);
    EXPECT_EQ(get_next_dlg_group_item(dialog, get_dlg_item(dialog, 16), false), get_dlg_item(dialog, 16));
}

TEST_F(DialogManagerTest, EnterPressesTheDefaultOrTheFocusedPushButtonAndEscCancels)
{
    open_dialog();
    keys("Enter");
    keys("Escape");
    dialog_set_focus(dialog, get_dlg_item(dialog, 4));
    keys("Enter");
    EXPECT_EQ(g_commands, (std::vector<int>{IDOK, IDCANCEL, 4}));
    // While a push button has the focus it looks the default one.
    EXPECT_TRUE(send_message(get_dlg_item(dialog, 4), WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON);
    EXPECT_TRUE(send_message(get_dlg_item(dialog, 1), WM_GETDLGCODE, 0, 0) & DLGC_UNDEFPUSHBUTTON);
    dialog_set_focus(dialog, get_dlg_item(dialog, 10));
    EXPECT_TRUE(send_message(get_dlg_item(dialog, 1), WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON);
    enable_window(get_dlg_item(dialog, 1), false);
    keys("Enter"); // a disabled default does nothing
    EXPECT_EQ(g_commands.size(), 3u);
}

// A key the dialog acts on while a syllable is being composed in the field waits until the
// syllable is in the field.
TEST_F(DialogManagerTest, ASyllableBeingComposedIsInItsFieldBeforeTheDialogActs)
{
    if (!set_active_code_page(CP_KOREAN))
        GTEST_SKIP() << "code page 949 not available";
    static const struct {
        const char* key;
        std::vector<int> commands;
        int focus_after;
    } cases[] = {
        {"Enter", {IDOK}, 10},
        {"Escape", {IDCANCEL}, 10},
        {"Tab", {13}, 13}, // the radio button the focus reaches is checked
    };
    open_dialog();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        g_commands.clear();
        g_name_at_command.clear();
        dialog_set_focus(dialog, get_dlg_item(dialog, 10));
        set_dlg_item_text(dialog, 10, "");
        for (const char* k : {"A", "N", "N", "Hangul", "G", "K", "S"})
            keys(k);
        keys(c.key);
        keys("Hangul");
        EXPECT_EQ(g_commands, c.commands);
        EXPECT_EQ(focus_id(), c.focus_after);
        EXPECT_EQ(code_page_to_utf8(CP_ACP, controls_text(get_dlg_item(dialog, 10))), "ann한");
        if (!c.commands.empty()) {
            EXPECT_EQ(g_name_at_command, "ann한") << "the button acted on the whole name";
        }
    }
}

TEST_F(DialogManagerTest, MnemonicsPressButtonsAndLabelsLeadToTheirField)
{
    open_dialog();
    dialog_set_focus(dialog, get_dlg_item(dialog, 1));
    keys("Alt+N");
    EXPECT_EQ(focus_id(), 10);
    chars("k"); // typed into the field
    EXPECT_EQ(text_of(get_dlg_item(dialog, 10)), "k");
    keys("Alt+K");
    EXPECT_EQ(is_dlg_button_checked(dialog, 16), 1u);
    EXPECT_EQ(focus_id(), 16);
    chars("k"); // a plain letter where the focus takes none
    EXPECT_EQ(is_dlg_button_checked(dialog, 16), 0u);
    keys("Alt+L");
    EXPECT_EQ(g_commands, (std::vector<int>{16, 16, 4}));
}

TEST_F(DialogManagerTest, AModalRunDisablesTheOwnerAndEndsWithTheResult)
{
    start_script("key Tab\nkey Tab\nkey Tab\nkey Tab\nkey Enter\n");
    g_end_on_command = true;
    intptr_t result = dialog_box_param(fixtures, 300, host, manager_dialog, LParam(host.id));
    EXPECT_EQ(result, IDCANCEL); // Enter on the focused push button
    EXPECT_EQ(g_commands, (std::vector<int>{13, IDCANCEL}));
    EXPECT_FALSE(g_owner_enabled_inside);
    EXPECT_TRUE(is_window_enabled(host));
    EXPECT_FALSE(find_window(nullptr, "Navigation"));
    EXPECT_EQ(get_active_window(), host);
}

TEST_F(DialogManagerTest, TheScriptAnswersTheModalDialogOnTop)
{
    start_script("answer later\nanswer Nothing\n");
    g_end_on_command = true;
    EXPECT_EQ(dialog_box_param(fixtures, 300, host, manager_dialog, LParam(host.id)), 4);
    g_commands.clear();
    start_script("wait 10\nanswer Nothing\nwait 10\nanswer CANCEL\n");
    EXPECT_EQ(dialog_box_param(fixtures, 300, host, manager_dialog, LParam(host.id)), IDCANCEL);
    std::vector<std::string> lines = log_lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "script error \"answer Nothing: no such button enabled in \\\"Navigation\\\"\""), lines.end());
}

TEST_F(DialogManagerTest, ADialogEndedAtItsStartNeverShows)
{
    start_script("");
    g_end_at_once = true;
    EXPECT_EQ(dialog_box_param(fixtures, 300, host, manager_dialog, LParam(host.id)), 77);
    for (const std::string& line : log_lines())
        EXPECT_EQ(line.find("Navigation"), std::string::npos) << line;
    EXPECT_EQ(dialog_box_param(fixtures, 999, host, manager_dialog, 0), -1);
    EXPECT_TRUE(is_window_enabled(host));
}

TEST_F(DialogManagerTest, AVisibleTemplateEndedAtItsStartIsNeverShownNorFocused)
{
    DialogTemplate t;
    ASSERT_TRUE(read_dialog_template(find_resource(fixtures, RT_DIALOG, 300), t));
    t.style |= WS_VISIBLE;
    static std::vector<uint32_t> s_after_end;
    s_after_end.clear();
    auto proc = [](WindowHandle dialog, uint32_t message, WParam, LParam) -> LResult {
        if (message == WM_INITDIALOG) {
            end_dialog(dialog, 77);
            return 1;
        }
        DialogInfo* info = dialog_info(dialog);
        if (info && info->ended && (message == WM_SHOWWINDOW || message == WM_ACTIVATE || message == WM_COMMAND))
            s_after_end.push_back(message);
        return 0;
    };
    start_script("");
    EXPECT_EQ(dlgmgr_run_modal(fixtures, t, host, proc, 0, ModalScope::owner), 77);
    EXPECT_TRUE(s_after_end.empty());
    for (const std::string& line : log_lines())
        EXPECT_EQ(line.find("Navigation"), std::string::npos) << line;
    EXPECT_TRUE(is_window_enabled(host));
}

TEST_F(DialogManagerTest, AnInternalErrorInsideTheRunClosesTheDialogOnItsWayOut)
{
    constexpr uint32_t kFail = WM_USER + 1;
    auto proc = [](WindowHandle dialog, uint32_t message, WParam, LParam) -> LResult {
        if (message == WM_INITDIALOG) {
            post_message(dialog, kFail, 0, 0);
            return 1;
        }
        if (message == kFail)
            raise_internal_error("dlgtest", 1);
        return 0;
    };
    start_script("");
    EXPECT_THROW(dialog_box_param(fixtures, 300, host, proc, 0), InternalError);
    EXPECT_FALSE(find_window(nullptr, "Navigation"));
    EXPECT_TRUE(is_window_enabled(host));
    // The next run is the only one on the stack: the script answers it, not a stale dialog.
    start_script("answer CANCEL\n");
    g_end_on_command = true;
    EXPECT_EQ(dialog_box_param(fixtures, 300, host, manager_dialog, LParam(host.id)), IDCANCEL);
}

TEST_F(DialogManagerTest, ATaskModalRunDisablesEveryWindowOfTheProgram)
{
    WindowHandle other = make_top("Other");
    start_script("answer OK\n");
    g_end_on_command = true;
    DialogTemplate t;
    ASSERT_TRUE(read_dialog_template(find_resource(fixtures, RT_DIALOG, 300), t));
    static WindowHandle s_other;
    static bool s_other_enabled = true;
    s_other = other;
    auto proc = [](WindowHandle dialog, uint32_t message, WParam wparam, LParam lparam) -> LResult {
        if (message == WM_INITDIALOG)
            s_other_enabled = is_window_enabled(s_other);
        return manager_dialog(dialog, message, wparam, lparam);
    };
    EXPECT_EQ(dlgmgr_run_modal(fixtures, t, {}, proc, LParam(host.id), ModalScope::task), IDOK);
    EXPECT_FALSE(s_other_enabled);
    EXPECT_FALSE(g_owner_enabled_inside);
    EXPECT_TRUE(is_window_enabled(other));
    EXPECT_TRUE(is_window_enabled(host));
}

} // namespace
