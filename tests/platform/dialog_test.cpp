#include "platform/controls/dialog.h"

#include "platform/kernel/error.h"
#include "control_test_support.h"

namespace {

using namespace wintest;

// What the dialog procedure of these tests saw.
struct DialogSeen {
    WindowHandle first_focus;
    LParam param = 0;
    std::vector<int> commands;
};
DialogSeen g_seen;

LResult recording_dialog(WindowHandle dialog, uint32_t message, WParam wparam, LParam lparam)
{
    switch (message) {
    case WM_INITDIALOG:
        g_seen.first_focus = WindowHandle(uint32_t(wparam));
        g_seen.param = lparam;
        set_window_long_ptr(dialog, DWLP_USER, 1234);
        return 1;
    case WM_COMMAND: g_seen.commands.push_back(int(loword(wparam))); return 1;
    case WM_USER + 5: set_window_long_ptr(dialog, DWLP_MSGRESULT, 42); return 1;
    case WM_CTLCOLORDLG: return LResult(get_stock_object(WHITE_BRUSH).id);
    default: return 0;
    }
}

class DialogTest : public ControlTest {
protected:
    ModuleHandle fixtures;
    WindowHandle dialog;

    void SetUp() override
    {
        ControlTest::SetUp();
        g_seen = DialogSeen{};
        fixtures = get_resource_module("test_dialogs");
        ASSERT_TRUE(fixtures);
    }
    WindowHandle make_dialog(LParam param = 0)
    {
        dialog = create_dialog_param(fixtures, 300, host, recording_dialog, param);
        return dialog;
    }
    Rect item_rect(int id)
    {
        Rect rect;
        get_window_rect(get_dlg_item(dialog, id), rect);
        Point corner{0, 0};
        client_to_screen(dialog, corner);
        offset_rect(rect, -corner.x, -corner.y);
        return rect;
    }
};

TEST_F(DialogTest, DialogUnitsComeFromTheDialogsFont)
{
    EXPECT_EQ(get_dialog_base_units(), LResult(make_lparam(9, 16))); // the system font
    ASSERT_TRUE(make_dialog());
    // MS Sans Serif 8 points: letters average 6 pixels, lines 12 high.
    EXPECT_EQ(dialog_info(dialog)->base_units, (Size{6, 12}));
    Rect client;
    get_client_rect(dialog, client);
    EXPECT_EQ(client, (Rect{0, 0, 300, 180}));
    Point corner{0, 0};
    client_to_screen(dialog, corner);
    Point host_corner{0, 0};
    client_to_screen(host, host_corner);
    EXPECT_EQ(corner, (Point{host_corner.x + 15, host_corner.y + 15}));
    EXPECT_EQ(item_rect(10), (Rect{60, 6, 210, 24}));
    EXPECT_EQ(item_rect(4), (Rect{210, 150, 270, 171}));
    Rect units{4, 40, 44, 50};
    ASSERT_TRUE(map_dialog_rect(dialog, units));
    EXPECT_EQ(units, item_rect(13));
    EXPECT_TRUE(get_window_long(get_dlg_item(dialog, 10), GWL_EXSTYLE) & WS_EX_CLIENTEDGE); // a field's border
}

TEST_F(DialogTest, InitialisationGetsTheParameterAndTheFirstControlTakesTheFocus)
{
    make_dialog(777);
    EXPECT_EQ(g_seen.param, 777);
    EXPECT_EQ(g_seen.first_focus, get_dlg_item(dialog, 10));
    EXPECT_NE(get_focus(), g_seen.first_focus); // not yet: the dialog does not show
    show_window(dialog, SW_SHOW);
    EXPECT_EQ(get_focus(), get_dlg_item(dialog, 10));
    EXPECT_EQ(get_window_long_ptr(dialog, DWLP_USER), 1234);
    EXPECT_EQ(send_message(dialog, WM_USER + 5, 0, 0), 42); // the answer left in DWLP_MSGRESULT
    EXPECT_EQ(send_message(dialog, WM_CTLCOLORDLG, 0, 0), LResult(get_stock_object(WHITE_BRUSH).id));
    EXPECT_EQ(send_message(dialog, DM_GETDEFID, 0, 0), LResult(make_lparam(IDOK, DC_HASDEFID)));
}

TEST_F(DialogTest, TheCloseBoxIsCancelWhileCancelCanBePressed)
{
    make_dialog();
    send_message(dialog, WM_CLOSE, 0, 0);
    pump();
    EXPECT_EQ(g_seen.commands, std::vector<int>{IDCANCEL});
    enable_window(get_dlg_item(dialog, IDCANCEL), false);
    send_message(dialog, WM_CLOSE, 0, 0);
    pump();
    EXPECT_EQ(g_seen.commands, std::vector<int>{IDCANCEL});
    EXPECT_TRUE(is_window(dialog));
}

TEST_F(DialogTest, ATemplateThatCannotBeMadeGivesNoDialog)
{
    set_last_error(0);
    EXPECT_FALSE(create_dialog_param(fixtures, 301, host, recording_dialog, 0));
    EXPECT_EQ(get_last_error(), uint32_t(ERROR_CANNOT_FIND_WND_CLASS));
    EXPECT_FALSE(create_dialog_param(fixtures, 999, host, recording_dialog, 0));
    EXPECT_EQ(get_last_error(), uint32_t(ERROR_RESOURCE_NAME_NOT_FOUND));
    DialogTemplate lenient;
    ASSERT_TRUE(read_dialog_template(find_resource(fixtures, RT_DIALOG, 301), lenient));
    lenient.style |= DS_NOFAILCREATE;
    WindowHandle made = create_dialog_indirect_param(fixtures, lenient, host, recording_dialog, 0);
    ASSERT_TRUE(made);
    EXPECT_FALSE(get_window(made, GW_CHILD));
    EXPECT_EQ(g_seen.first_focus, WindowHandle{});
}

LResult own_class_proc(WindowHandle window, uint32_t message, WParam wparam, LParam lparam)
{
    if (message == WM_CREATE)
        set_window_long(window, DLGWINDOWEXTRA, 0x5151);
    return def_dlg_proc(window, message, wparam, lparam);
}

TEST_F(DialogTest, ADialogMayHaveAClassOfItsOwn)
{
    WindowClass own;
    own.proc = own_class_proc;
    own.window_extra = DLGWINDOWEXTRA + 4;
    own.class_name = "OwnDialog";
    ASSERT_TRUE(register_class(own));
    DialogTemplate t;
    ASSERT_TRUE(read_dialog_template(find_resource(fixtures, RT_DIALOG, 300), t));
    t.class_name = "OwnDialog";
    dialog = create_dialog_indirect_param(fixtures, t, host, recording_dialog, 5);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(get_window_long(dialog, DLGWINDOWEXTRA), 0x5151);
    EXPECT_EQ(g_seen.param, 5);
    WindowClass cramped = own;
    cramped.window_extra = 8;
    cramped.class_name = "Cramped";
    ASSERT_TRUE(register_class(cramped));
    t.class_name = "Cramped";
    EXPECT_FALSE(create_dialog_indirect_param(fixtures, t, host, recording_dialog, 0));
}

struct IntCase {
    const char* text;
    bool is_signed;
    bool translated;
    uint32_t value;
};

static const IntCase kIntCases[] = {
    {" 42 ", false, true, 42},
    {"-7", true, true, uint32_t(-7)},
    {"-7", false, false, 0},
    {"12x", false, false, 0},
    {"", false, false, 0},
    {"4294967295", false, true, 4294967295u},
    {"4294967296", false, false, 0},
    {"2147483648", true, false, 0},
    {"-2147483648", true, true, 0x80000000u},
};

TEST_F(DialogTest, ItemNumbersAreReadAsWin32ReadsThem)
{
    make_dialog();
    for (const IntCase& c : kIntCases) {
        SCOPED_TRACE(c.text);
        set_dlg_item_text(dialog, 10, c.text);
        bool translated = !c.translated;
        EXPECT_EQ(get_dlg_item_int(dialog, 10, &translated, c.is_signed), c.value);
        EXPECT_EQ(translated, c.translated);
    }
    set_dlg_item_int(dialog, 10, uint32_t(-15), true);
    char text[16];
    EXPECT_EQ(get_dlg_item_text(dialog, 10, text, sizeof text), 3);
    EXPECT_STREQ(text, "-15");
    EXPECT_EQ(get_dlg_item_text(dialog, 99, text, sizeof text), 0);
    EXPECT_STREQ(text, "");
}

TEST_F(DialogTest, ButtonsAreCheckedThroughTheirDialog)
{
    make_dialog();
    check_radio_button(dialog, 13, 15, 14);
    EXPECT_EQ(is_dlg_button_checked(dialog, 13), 0u);
    EXPECT_EQ(is_dlg_button_checked(dialog, 14), 1u);
    check_dlg_button(dialog, 16, BST_CHECKED);
    EXPECT_EQ(is_dlg_button_checked(dialog, 16), 1u);
    EXPECT_FALSE(check_dlg_button(dialog, 99, BST_CHECKED));
}

TEST_F(DialogTest, ANewDefaultButtonTakesTheBlackFrame)
{
    make_dialog();
    send_message(dialog, DM_SETDEFID, 4, 0);
    EXPECT_EQ(send_message(dialog, DM_GETDEFID, 0, 0), LResult(make_lparam(4, DC_HASDEFID)));
    EXPECT_TRUE(send_message(get_dlg_item(dialog, 4), WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON);
    EXPECT_TRUE(send_message(get_dlg_item(dialog, 1), WM_GETDLGCODE, 0, 0) & DLGC_UNDEFPUSHBUTTON);
}

} // namespace
