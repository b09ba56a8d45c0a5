#include "platform/controls/menu_track.h"

#include "platform/controls/menu_draw.h"
#include "platform/window/menu.h"
#include "platform/window/nonclient.h"
#include "control_test_support.h"

namespace {

using namespace wintest;

constexpr uint32_t kOpen = 101;
constexpr uint32_t kExit = 102;
constexpr uint32_t kOne = 111;
constexpr uint32_t kCopy = 201;
constexpr uint32_t kPaste = 202;
constexpr uint32_t kAbout = 301;

// A window with the bar File (Open, a separator, Recent > One, Exit), Edit (Copy grayed,
// Paste) and Help (About), driven by a headless script; its procedure writes down what the
// menus told it.
class MenuTrackTest : public ScriptedControlTest {
protected:
    static inline std::vector<std::string>* s_heard = nullptr;
    // The script's end closes the window as its close box would: that is not the menus' doing.
    static inline uint32_t s_script_over = 0;
    WindowHandle owner;
    MenuHandle bar;
    std::vector<std::string> heard;

    void SetUp() override
    {
        ScriptedControlTest::SetUp();
        menu_reset();
        s_heard = &heard;
        WindowClass owner_class;
        owner_class.proc = owner_proc;
        owner_class.class_name = "MenuOwner";
        owner_class.background = GdiObject(uint32_t(COLOR_WINDOW + 1));
        ASSERT_NE(register_class(owner_class), 0);
        bar = make_bar();
        owner = create_window_ex(0, "MenuOwner", "Owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 400, 300, {},
            bar.id, {}, nullptr);
        ASSERT_TRUE(owner);
        set_focus(owner);
    }
    void TearDown() override
    {
        s_heard = nullptr;
        menu_reset();
        ScriptedControlTest::TearDown();
    }

    static MenuHandle make_bar()
    {
        MenuHandle recent = create_popup_menu();
        append_menu(recent, MF_STRING, kOne, "&One");
        MenuHandle file = create_popup_menu();
        append_menu(file, MF_STRING, kOpen, "&Open\tCtrl+O");
        append_menu(file, MF_SEPARATOR, 0, nullptr);
        append_menu(file, MF_POPUP, recent.id, "&Recent");
        append_menu(file, MF_STRING, kExit, "E&xit");
        MenuHandle edit = create_popup_menu();
        append_menu(edit, MF_GRAYED, kCopy, "&Copy");
        append_menu(edit, MF_STRING, kPaste, "&Paste");
        MenuHandle help = create_popup_menu();
        append_menu(help, MF_STRING, kAbout, "&About");
        MenuHandle menu = create_menu();
        append_menu(menu, MF_POPUP, file.id, "&File");
        append_menu(menu, MF_POPUP, edit.id, "&Edit");
        append_menu(menu, MF_POPUP, help.id, "&Help");
        return menu;
    }

    static LResult owner_proc(WindowHandle window, uint32_t message, WParam wparam, LParam lparam)
    {
        if (message == WM_SYSCOMMAND && (wparam & 0xFFF0) == SC_CLOSE && get_tick_count() >= s_script_over)
            return 0;
        if (!s_heard)
            return def_window_proc(window, message, wparam, lparam);
        switch (message) {
        case WM_INITMENU: s_heard->push_back("init"); break;
        case WM_INITMENUPOPUP:
            s_heard->push_back("init popup " + std::to_string(loword(uintptr_t(lparam))) + (hiword(uintptr_t(lparam)) ? " system" : ""));
            break;
        case WM_COMMAND: s_heard->push_back("command " + std::to_string(loword(wparam))); return 0;
        case WM_SYSCOMMAND:
            if ((wparam & 0xFFF0) == SC_KEYMENU || (wparam & 0xFFF0) == SC_MOUSEMENU)
                break;
            s_heard->push_back("system command " + std::to_string(wparam & 0xFFF0));
            return 0;
        default: break;
        }
        return def_window_proc(window, message, wparam, lparam);
    }

    // Runs the program's loop until the script is over.
    void run(const std::string& script)
    {
        start_script("wait 10\n" + script + "wait 1000\n");
        s_script_over = get_tick_count() + 1000;
        Msg msg;
        while (get_message(msg) > 0) {
            translate_message(msg);
            dispatch_message(msg);
        }
    }

    // The screen point in the middle of the bar item at position.
    Point bar_item(int position) const
    {
        Rect area = nonclient_menu_bar_rect(owner);
        Rect item = menu_draw_bar_layout(bar, area).at(size_t(position));
        Rect frame;
        get_window_rect(owner, frame);
        return Point{frame.left + (item.left + item.right) / 2, frame.top + (item.top + item.bottom) / 2};
    }

    // The screen point of a pull-down item under the bar item (the pull-down opens at its left
    // end, below the bar).
    Point pull_down_item(int bar_position, int position) const
    {
        Rect area = nonclient_menu_bar_rect(owner);
        Rect item = menu_draw_bar_layout(bar, area).at(size_t(bar_position));
        MenuItemInfo info;
        menu_item_at(bar, bar_position, info);
        PopupLayout layout = menu_draw_popup_layout(info.popup);
        Rect frame;
        get_window_rect(owner, frame);
        const Rect& row = layout.items.at(size_t(position));
        return Point{frame.left + item.left + row.left + 10, frame.top + item.bottom + (row.top + row.bottom) / 2};
    }

    static std::string at(Point p) { return std::to_string(p.x) + " " + std::to_string(p.y); }

    std::vector<std::string> commands() const
    {
        std::vector<std::string> out;
        for (const std::string& line : heard) {
            if (line.find("command") != std::string::npos)
                out.push_back(line);
        }
        return out;
    }
    // The log's menu lines; pull-downs must never show as windows.
    std::vector<std::string> menu_log()
    {
        std::vector<std::string> out;
        for (const std::string& line : log_lines()) {
            if (line.rfind("menu ", 0) == 0 || line.find("window shown \"\"") != std::string::npos)
                out.push_back(line);
        }
        return out;
    }
};

struct KeyCase {
    const char* name;
    const char* script;
    std::vector<std::string> commands;
    std::vector<std::string> log;
};

static const KeyCase kKeyCases[] = {
    {"Alt enters the bar, Down opens File at Open, Enter chooses it", "key Alt\nkey Down\nkey Enter\n",
        {"command 101"}, {"menu opened \"File\"", "menu chose \"Open\"", "menu closed"}},
    {"F10 does the same", "key F10\nkey Enter\nkey Enter\n",
        {"command 101"}, {"menu opened \"File\"", "menu chose \"Open\"", "menu closed"}},
    {"Down skips the separator", "key Alt\nkey Down\nkey Down\nkey Down\nkey Enter\n",
        {"command 102"}, {"menu opened \"File\"", "menu chose \"Exit\"", "menu closed"}},
    {"Right moves to the next pull-down", "key Alt\nkey Down\nkey Right\nkey Down\nkey Enter\n",
        {"command 202"}, {"menu opened \"File\"", "menu opened \"Edit\"", "menu chose \"Paste\"", "menu closed"}},
    {"Left from the first wraps to the last", "key Alt\nkey Left\nkey Enter\nkey Enter\n",
        {"command 301"}, {"menu opened \"Help\"", "menu chose \"About\"", "menu closed"}},
    {"Alt and a mnemonic, then a mnemonic", "key Alt+F\nkey X\n",
        {"command 102"}, {"menu opened \"File\"", "menu chose \"Exit\"", "menu closed"}},
    {"a further pull-down by mnemonics", "key Alt+F\nkey R\nkey O\n",
        {"command 111"}, {"menu opened \"File\"", "menu opened \"Recent\"", "menu chose \"One\"", "menu closed"}},
    {"a grayed item is not chosen", "key Alt+E\nkey C\nkey Enter\nkey Escape\nkey Escape\n",
        {}, {"menu opened \"Edit\"", "menu closed"}},
    {"Escape goes back to the bar, a second leaves it", "key Alt\nkey Down\nkey Escape\nkey Escape\nkey A\n",
        {}, {"menu opened \"File\"", "menu closed"}},
    {"Alt+Space opens the system menu", "key Alt+Space\nkey C\n",
        {"system command 61536"}, {"menu opened \"System\"", "menu chose \"Close\"", "menu closed"}},
    {"an unknown mnemonic opens nothing", "key Alt+Z\n", {}, {}},
};

TEST_F(MenuTrackTest, KeysMoveThroughTheBarAndChoose)
{
    for (const KeyCase& c : kKeyCases) {
        SCOPED_TRACE(c.name);
        heard.clear();
        run(c.script);
        EXPECT_FALSE(menu_tracking());
        EXPECT_EQ(commands(), c.commands);
        EXPECT_EQ(menu_log(), c.log);
        log_close();
    }
}

TEST_F(MenuTrackTest, TheOwnerHearsTheMenuMessagesInWin32Order)
{
    run("key Alt+F\nkey X\n");
    std::vector<std::string> expected{"init", "init popup 0", "command 102"};
    EXPECT_EQ(heard, expected);
    heard.clear();
    log_close();
    run("key Alt+Space\nkey Escape\n");
    expected = {"init", "init popup 0 system"};
    EXPECT_EQ(heard, expected);
}

TEST_F(MenuTrackTest, ClicksOpenSwitchAndChoose)
{
    run("click " + at(bar_item(0)) + "\nclick " + at(pull_down_item(0, 0)) + "\n");
    EXPECT_EQ(commands(), std::vector<std::string>{"command 101"});
    EXPECT_EQ(menu_log(), (std::vector<std::string>{"menu opened \"File\"", "menu chose \"Open\"", "menu closed"}));
    log_close();

    // Moving over another title while a pull-down is open switches to it.
    heard.clear();
    run("click " + at(bar_item(0)) + "\nmove " + at(bar_item(1)) + "\nclick " + at(pull_down_item(1, 1)) + "\n");
    EXPECT_EQ(commands(), std::vector<std::string>{"command 202"});
    EXPECT_EQ(menu_log(),
        (std::vector<std::string>{"menu opened \"File\"", "menu opened \"Edit\"", "menu chose \"Paste\"", "menu closed"}));
    log_close();

    // A click outside cancels; a click on a grayed item chooses nothing.
    heard.clear();
    run("click " + at(bar_item(1)) + "\nclick " + at(pull_down_item(1, 0)) + "\nclick 900 700\n");
    EXPECT_EQ(commands(), std::vector<std::string>{});
    EXPECT_EQ(menu_log(), (std::vector<std::string>{"menu opened \"Edit\"", "menu closed"}));
}

TEST_F(MenuTrackTest, TheSystemBoxOpensTheSystemMenuAndADoubleClickCloses)
{
    Rect box = nonclient_system_box_rect(owner);
    Rect frame;
    get_window_rect(owner, frame);
    Point p{frame.left + (box.left + box.right) / 2, frame.top + (box.top + box.bottom) / 2};
    run("click " + at(p) + "\nkey Down\nkey Enter\n");
    EXPECT_EQ(menu_log(), (std::vector<std::string>{"menu opened \"System\"", "menu chose \"Restore\"", "menu closed"}));
    EXPECT_EQ(commands(), std::vector<std::string>{"system command 61728"});
    log_close();

    heard.clear();
    run("dblclick " + at(p) + "\n");
    EXPECT_EQ(commands(), std::vector<std::string>{"system command 61536"});
}

TEST_F(MenuTrackTest, AWindowWithoutABarIgnoresAltButOpensItsSystemMenu)
{
    set_menu(owner, MenuHandle());
    run("key Alt\nkey F10\ntype a\n");
    EXPECT_EQ(menu_log(), std::vector<std::string>{});
    log_close();
    run("key Alt+Space\nkey Escape\n");
    EXPECT_EQ(menu_log(), (std::vector<std::string>{"menu opened \"System\"", "menu closed"}));
}

} // namespace
