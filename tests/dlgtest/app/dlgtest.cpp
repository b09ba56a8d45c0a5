// dlgtest: a program for end-to-end tests of dialogs, controls and message boxes. Its main
// window (grey) stays behind, disabled, while it runs
//   dlgtest [dialog]  the modal dialog of every control (dialog 100 of its resources), logging
//                     each WM_COMMAND and scroll notification and, on OK, what the controls hold;
//   dlgtest msgbox    message boxes of the six kinds one after another, logging each answer.
// Everything it sees goes to the event log, so that a script's checks can read it.
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/backend/backend.h"
#include "platform/controls/controls.h"
#include "platform/controls/ctl_button.h"
#include "platform/controls/ctl_combo.h"
#include "platform/controls/ctl_draw.h"
#include "platform/controls/ctl_edit.h"
#include "platform/controls/ctl_listbox.h"
#include "platform/controls/ctl_scroll.h"
#include "platform/gdi/dc.h"
#include "platform/window/defproc.h"
#include "platform/controls/dialog.h"
#include "platform/controls/dlgmgr.h"
#include "platform/text/draw_text.h"
#include "platform/gdi/gdi_object.h"
#include "platform/window/keyboard.h"
#include "platform/kernel/log.h"
#include "platform/window/metrics.h"
#include "platform/controls/msgbox.h"
#include "platform/window/paint.h"
#include "platform/window/window.h"
#include "platform/window/winpos.h"

using namespace plat;

namespace {

enum : int {
    kName = 101,
    kPassword = 102,
    kCheck = 103,
    kRed = 104,
    kGreen = 105,
    kBlue = 106,
    kFruit = 107,
    kSwans = 108,
    kSize = 109,
    kNumber = 110,
    kScroll = 111,
    kApply = 3,
};

constexpr int32_t kScrollMax = 100;
constexpr int32_t kScrollPage = 10;

void note(const std::string& text) { log_event("dlgtest: " + text); }

struct CodeName {
    int id_from;
    int id_to;
    uint32_t code;
    const char* name;
};

// Notification names by the controls that send them.
const CodeName kCodeNames[] = {
    {kName, kPassword, EN_SETFOCUS, "EN_SETFOCUS"},
    {kName, kPassword, EN_KILLFOCUS, "EN_KILLFOCUS"},
    {kName, kPassword, EN_CHANGE, "EN_CHANGE"},
    {kName, kPassword, EN_UPDATE, "EN_UPDATE"},
    {kName, kPassword, EN_MAXTEXT, "EN_MAXTEXT"},
    {kCheck, kBlue, BN_CLICKED, "BN_CLICKED"},
    {kFruit, kSwans, LBN_SELCHANGE, "LBN_SELCHANGE"},
    {kFruit, kSwans, LBN_DBLCLK, "LBN_DBLCLK"},
    {kFruit, kSwans, LBN_SETFOCUS, "LBN_SETFOCUS"},
    {kFruit, kSwans, LBN_KILLFOCUS, "LBN_KILLFOCUS"},
    {kSize, kNumber, CBN_SELCHANGE, "CBN_SELCHANGE"},
    {kSize, kNumber, CBN_SETFOCUS, "CBN_SETFOCUS"},
    {kSize, kNumber, CBN_KILLFOCUS, "CBN_KILLFOCUS"},
    {kSize, kNumber, CBN_EDITCHANGE, "CBN_EDITCHANGE"},
    {kSize, kNumber, CBN_EDITUPDATE, "CBN_EDITUPDATE"},
    {kSize, kNumber, CBN_DROPDOWN, "CBN_DROPDOWN"},
    {kSize, kNumber, CBN_CLOSEUP, "CBN_CLOSEUP"},
    {kSize, kNumber, CBN_SELENDOK, "CBN_SELENDOK"},
    {kSize, kNumber, CBN_SELENDCANCEL, "CBN_SELENDCANCEL"},
    {IDOK, kApply, BN_CLICKED, "BN_CLICKED"},
};

std::string code_name(int id, uint32_t code)
{
    for (const CodeName& entry : kCodeNames) {
        if (id >= entry.id_from && id <= entry.id_to && code == entry.code)
            return entry.name;
    }
    return "code " + std::to_string(code);
}

std::string item_text(WindowHandle dialog, int id)
{
    char text[256] = {};
    get_dlg_item_text(dialog, id, text, sizeof text);
    return text;
}

// The swans of the owner-drawn list: a colour each, drawn as a swatch and a name.
struct Swan {
    const char* name;
    uint32_t color;
};

const Swan kSwanColours[] = {
    {"Black", rgb(0, 0, 0)},
    {"Red", rgb(255, 0, 0)},
    {"Green", rgb(0, 160, 0)},
    {"Blue", rgb(0, 0, 255)},
    {"Gold", rgb(255, 200, 0)},
};

void fill_lists(WindowHandle dialog)
{
    for (const char* fruit : {"Cherry", "apple", "Banana", "date", "Elderberry", "Fig", "Grape"})
        send_dlg_item_message(dialog, kFruit, LB_ADDSTRING, 0, reinterpret_cast<LParam>(fruit));
    for (size_t i = 0; i < sizeof kSwanColours / sizeof kSwanColours[0]; i++)
        send_dlg_item_message(dialog, kSwans, LB_ADDSTRING, 0, LParam(i));
    for (const char* size : {"Small", "Medium", "Large"})
        send_dlg_item_message(dialog, kSize, CB_ADDSTRING, 0, reinterpret_cast<LParam>(size));
    send_dlg_item_message(dialog, kSize, CB_SETCURSEL, 0, 0);
    for (const char* number : {"One", "Two", "Three"})
        send_dlg_item_message(dialog, kNumber, CB_ADDSTRING, 0, reinterpret_cast<LParam>(number));
    ScrollInfo info;
    info.mask = SIF_RANGE | SIF_PAGE | SIF_POS;
    info.max = kScrollMax;
    info.page = kScrollPage;
    info.pos = 10;
    set_scroll_info(get_dlg_item(dialog, kScroll), SB_CTL, info, true);
    check_radio_button(dialog, kRed, kBlue, kGreen);
}

std::string list_selection(WindowHandle dialog, int id)
{
    int32_t index = int32_t(send_dlg_item_message(dialog, id, LB_GETCURSEL, 0, 0));
    if (index < 0)
        return "none";
    char text[256] = {};
    send_dlg_item_message(dialog, id, LB_GETTEXT, WParam(index), reinterpret_cast<LParam>(text));
    return std::to_string(index) + " \"" + text + "\"";
}

void log_results(WindowHandle dialog)
{
    note("name \"" + item_text(dialog, kName) + "\"");
    note("password \"" + item_text(dialog, kPassword) + "\"");
    note("check " + std::to_string(is_dlg_button_checked(dialog, kCheck)));
    for (int id = kRed; id <= kBlue; id++) {
        if (is_dlg_button_checked(dialog, id))
            note("colour " + item_text(dialog, id));
    }
    note("fruit " + list_selection(dialog, kFruit));
    int32_t swan = int32_t(send_dlg_item_message(dialog, kSwans, LB_GETCURSEL, 0, 0));
    note(std::string("swan ") + (swan >= 0 ? kSwanColours[send_dlg_item_message(dialog, kSwans, LB_GETITEMDATA, WParam(swan), 0)].name : "none"));
    note("size \"" + item_text(dialog, kSize) + "\"");
    note("number \"" + item_text(dialog, kNumber) + "\"");
    note("scroll " + std::to_string(get_scroll_pos(get_dlg_item(dialog, kScroll), SB_CTL)));
}

LResult on_command(WindowHandle dialog, WParam wparam)
{
    int id = int(loword(wparam));
    uint32_t code = hiword(wparam);
    note("command " + std::to_string(id) + " " + code_name(id, code));
    if (id == IDOK && code == BN_CLICKED) {
        log_results(dialog);
        end_dialog(dialog, IDOK);
    } else if (id == IDCANCEL) {
        end_dialog(dialog, IDCANCEL);
    }
    return 1;
}

int32_t scrolled(WindowHandle bar, WParam wparam)
{
    int32_t pos = get_scroll_pos(bar, SB_CTL);
    switch (loword(wparam)) {
    case SB_LINELEFT: return pos - 1;
    case SB_LINERIGHT: return pos + 1;
    case SB_PAGELEFT: return pos - kScrollPage;
    case SB_PAGERIGHT: return pos + kScrollPage;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: return int32_t(hiword(wparam));
    case SB_LEFT: return 0;
    case SB_RIGHT: return kScrollMax;
    default: return pos;
    }
}

LResult on_hscroll(WParam wparam, LParam lparam)
{
    auto bar = WindowHandle(uint32_t(lparam));
    int32_t pos = scrolled(bar, wparam);
    set_scroll_pos(bar, SB_CTL, pos, true);
    note("scroll " + std::to_string(loword(wparam)) + " at " + std::to_string(get_scroll_pos(bar, SB_CTL)));
    return 1;
}

LResult on_draw_item(const DrawItemStruct& item)
{
    if (item.ctl_id != kSwans || item.item_id >= sizeof kSwanColours / sizeof kSwanColours[0])
        return 0;
    const Swan& swan = kSwanColours[item.item_data < 5 ? item.item_data : 0];
    bool selected = (item.item_state & ODS_SELECTED) != 0;
    note("draw swan " + std::to_string(item.item_id) + (selected ? " selected" : ""));
    ctl_draw_fill(item.hdc, item.rc_item, selected ? COLOR_HIGHLIGHT : COLOR_WINDOW);
    Rect swatch{item.rc_item.left + 2, item.rc_item.top + 2, item.rc_item.left + 22, item.rc_item.bottom - 2};
    GdiObject brush = create_solid_brush(swan.color);
    fill_rect(item.hdc, swatch, brush);
    delete_object(brush);
    Rect text{swatch.right + 4, item.rc_item.top, item.rc_item.right, item.rc_item.bottom};
    set_bk_mode(item.hdc, TRANSPARENT);
    set_text_color(item.hdc, get_sys_color(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    draw_text(item.hdc, swan.name, -1, text, DT_SINGLELINE | DT_VCENTER);
    if (item.item_state & ODS_FOCUS)
        draw_focus_rect(item.hdc, item.rc_item);
    return 1;
}

LResult dialog_proc(WindowHandle dialog, uint32_t message, WParam wparam, LParam lparam)
{
    switch (message) {
    case WM_INITDIALOG:
        fill_lists(dialog);
        note("init, first control " + std::to_string(get_dlg_ctrl_id(WindowHandle(uint32_t(wparam)))));
        return 1;
    case WM_COMMAND: return on_command(dialog, wparam);
    case WM_HSCROLL: return on_hscroll(wparam, lparam);
    case WM_MEASUREITEM: {
        auto* item = reinterpret_cast<MeasureItemStruct*>(lparam);
        if (item->ctl_id != kSwans)
            return 0;
        item->item_height = 16;
        set_window_long_ptr(dialog, DWLP_MSGRESULT, 1);
        return 1;
    }
    case WM_DRAWITEM: return on_draw_item(*reinterpret_cast<const DrawItemStruct*>(lparam));
    default: return 0;
    }
}

LResult main_proc(WindowHandle window, uint32_t message, WParam wparam, LParam lparam)
{
    if (message == WM_DESTROY) {
        post_quit_message(0);
        return 0;
    }
    return def_window_proc(window, message, wparam, lparam);
}

WindowHandle make_main_window()
{
    WindowClass main_class;
    main_class.proc = main_proc;
    main_class.class_name = "DlgTestMain";
    main_class.background = get_sys_color_brush(COLOR_APPWORKSPACE);
    if (!register_class(main_class))
        return {};
    WindowHandle main = create_window_ex(0, "DlgTestMain", "Dialog Test", WS_OVERLAPPEDWINDOW, 10, 10, 700, 520, {}, 0, {}, nullptr);
    show_window(main, SW_SHOW);
    update_window(main);
    return main;
}

struct BoxCase {
    const char* text;
    uint32_t type;
};

const BoxCase kBoxes[] = {
    {"Saved.", MB_OK | MB_ICONASTERISK},
    {"Print the page?", MB_OKCANCEL | MB_ICONQUESTION},
    {"Keep the changes?", MB_YESNO | MB_ICONQUESTION},
    {"The disk is almost full. Save anyway?", MB_YESNOCANCEL | MB_ICONEXCLAMATION | MB_DEFBUTTON2},
    {"The drive is not ready.", MB_RETRYCANCEL | MB_ICONHAND},
    {"The file is damaged.", MB_ABORTRETRYIGNORE | MB_ICONHAND | MB_TASKMODAL},
};

void run_boxes(WindowHandle main)
{
    int number = 1;
    for (const BoxCase& box : kBoxes) {
        int answer = message_box(main, box.text, "Dialog Test", box.type);
        note("box " + std::to_string(number++) + " answered " + std::to_string(answer));
    }
}

} // namespace

int main(int argc, char** argv)
{
    std::string error;
    if (!backend_start_from_environment(error)) {
        std::fprintf(stderr, "dlgtest: %s\n", error.c_str());
        return 2;
    }
    WindowHandle main = make_main_window();
    if (!main) {
        std::fprintf(stderr, "dlgtest: cannot make the main window\n");
        return 1;
    }
    if (argc > 1 && std::strcmp(argv[1], "msgbox") == 0) {
        run_boxes(main);
    } else {
        intptr_t result = dialog_box_param({}, 100, main, dialog_proc, 0);
        note("dialog result " + std::to_string(result));
    }
    destroy_window(main);
    Msg msg;
    int got = 0;
    while ((got = get_message(msg)) > 0) {
        translate_message(msg);
        dispatch_message(msg);
    }
    return got == 0 ? int(msg.wparam) : 3;
}
