#include "platform/controls/msgbox.h"

#include <algorithm>

#include "platform/controls/controls.h"
#include "platform/controls/ctl_button.h"
#include "platform/controls/ctl_static.h"
#include "platform/window/cursor.h"
#include "platform/gdi/dc.h"
#include "platform/controls/dialog.h"
#include "platform/controls/dlgmgr.h"
#include "platform/text/draw_text.h"
#include "platform/gdi/gdi_object.h"
#include "platform/kernel/log.h"
#include "platform/window/metrics.h"
#include "platform/window/nonclient.h"
#include "platform/text/text.h"
#include "platform/window/window.h"
#include "platform/window/winpos.h"

namespace plat {

constexpr int kIconId = 20;
constexpr int kTextId = 0xFFFF;
constexpr int32_t kIconSide = 32;

struct ButtonKind {
    int id;
    const char* label;
};

struct BoxType {
    uint32_t type;
    ButtonKind buttons[3];
    int count;
};

// The six kinds of box and their buttons, left to right.
static const BoxType kBoxTypes[] = {
    {MB_OK, {{IDOK, "OK"}}, 1},
    {MB_OKCANCEL, {{IDOK, "OK"}, {IDCANCEL, "Cancel"}}, 2},
    {MB_ABORTRETRYIGNORE, {{IDABORT, "&Abort"}, {IDRETRY, "&Retry"}, {IDIGNORE, "&Ignore"}}, 3},
    {MB_YESNOCANCEL, {{IDYES, "&Yes"}, {IDNO, "&No"}, {IDCANCEL, "Cancel"}}, 3},
    {MB_YESNO, {{IDYES, "&Yes"}, {IDNO, "&No"}}, 2},
    {MB_RETRYCANCEL, {{IDRETRY, "&Retry"}, {IDCANCEL, "Cancel"}}, 2},
};

struct IconKind {
    uint32_t flag;
    uint32_t icon;
    const char* sound;
};

static const IconKind kIcons[] = {
    {MB_ICONHAND, IDI_HAND, "hand"},
    {MB_ICONQUESTION, IDI_QUESTION, "question"},
    {MB_ICONEXCLAMATION, IDI_EXCLAMATION, "exclamation"},
    {MB_ICONASTERISK, IDI_ASTERISK, "asterisk"},
};

// What the dialog procedure reads from WM_INITDIALOG.
struct BoxRequest {
    const BoxType* kind = nullptr;
    uint32_t type = 0;
    std::string text;
    std::string caption;
};

static const IconKind* icon_of(uint32_t type)
{
    for (const IconKind& icon : kIcons) {
        if ((type & MB_ICONMASK) == icon.flag)
            return &icon;
    }
    return nullptr;
}

bool message_beep(uint32_t type)
{
    const IconKind* icon = type == 0xFFFFFFFF ? nullptr : icon_of(type);
    log_event(icon ? std::string("beep ") + icon->sound : std::string("beep"));
    return true;
}

static std::string without_ampersands(std::string_view label)
{
    std::string out;
    for (size_t i = 0; i < label.size(); i++) {
        if (label[i] == '&' && i + 1 < label.size() && label[i + 1] != '&')
            continue;
        if (label[i] == '&' && i + 1 < label.size())
            i++;
        out += label[i];
    }
    return out;
}

void msgbox_log_shown(std::string_view caption, std::string_view text, const std::vector<std::string>& buttons)
{
    std::string line = "message box " + log_quote(caption) + " " + log_quote(text) + " buttons";
    for (const std::string& button : buttons)
        line += " " + log_quote(without_ampersands(button));
    log_event(line);
}

void msgbox_log_closed(std::string_view button) { log_event("message box closed " + log_quote(without_ampersands(button))); }

static int32_t units_x(Size units, int32_t n) { return (n * units.cx + 2) / 4; }
static int32_t units_y(Size units, int32_t n) { return (n * units.cy + 4) / 8; }

struct BoxLayout {
    Size client;
    Rect icon;
    Rect text;
    std::vector<Rect> buttons;
};

static Size measure_text(DcHandle dc, const std::string& text, int32_t max_width)
{
    Rect rect{0, 0, max_width, 0};
    draw_text(dc, text.c_str(), int(text.size()), rect, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX);
    return Size{rect.width(), rect.height()};
}

static int32_t label_width(DcHandle dc, const char* label)
{
    Rect rect{0, 0, 0, 0};
    draw_text(dc, label, -1, rect, DT_CALCRECT | DT_SINGLELINE);
    return rect.width();
}

// Text beside the icon, the row of buttons centred below; the box is wide enough for its
// caption too.
static BoxLayout lay_out(WindowHandle dialog, const BoxRequest& request, bool has_icon)
{
    DialogInfo* info = dialog_info(dialog);
    Size units = info ? info->base_units : Size{6, 12};
    DcHandle dc = get_dc(dialog);
    GdiObject old = select_object(dc, info ? info->font : get_stock_object(SYSTEM_FONT));
    int32_t margin = units_x(units, 7);
    int32_t gap = units_x(units, 4);
    int32_t button_width = units_x(units, 50);
    for (int i = 0; i < request.kind->count; i++)
        button_width = std::max(button_width, label_width(dc, request.kind->buttons[i].label) + units_x(units, 8));
    int32_t button_height = units_y(units, 14);
    int32_t icon_part = has_icon ? kIconSide + margin : 0;
    int32_t max_text = std::max(units_x(units, 60), get_system_metrics(SM_CXSCREEN) * 3 / 5 - 2 * margin - icon_part);
    Size text = measure_text(dc, request.text, max_text);
    // The caption shows in the system font beside the system menu box and the close box.
    select_object(dc, get_stock_object(SYSTEM_FONT));
    int32_t caption_width = label_width(dc, request.caption.c_str()) + get_system_metrics(SM_CYCAPTION)
        + get_system_metrics(SM_CXSIZE) + 2 * margin;
    select_object(dc, old);
    release_dc(dialog, dc);

    BoxLayout layout;
    int32_t count = request.kind->count;
    int32_t row = count * button_width + (count - 1) * gap;
    int32_t width = std::max({icon_part + text.cx + 2 * margin, row + 2 * margin, caption_width});
    int32_t top_height = std::max(has_icon ? kIconSide : 0, text.cy);
    layout.client = Size{width, margin + top_height + margin + button_height + margin};
    layout.icon = Rect{margin, margin, margin + kIconSide, margin + kIconSide};
    int32_t text_top = margin + (top_height - text.cy) / 2;
    layout.text = Rect{margin + icon_part, text_top, margin + icon_part + text.cx, text_top + text.cy};
    int32_t x = (width - row) / 2;
    int32_t y = margin + top_height + margin;
    for (int32_t i = 0; i < count; i++) {
        layout.buttons.push_back(Rect{x, y, x + button_width, y + button_height});
        x += button_width + gap;
    }
    return layout;
}

static void place(WindowHandle control, const Rect& rect)
{
    if (control)
        move_window(control, rect.left, rect.top, rect.width(), rect.height(), false);
}

static void centre_on_screen(WindowHandle dialog, Size client)
{
    Rect frame{0, 0, client.cx, client.cy};
    adjust_window_rect_ex(frame, uint32_t(get_window_long(dialog, GWL_STYLE)), false, uint32_t(get_window_long(dialog, GWL_EXSTYLE)));
    int32_t x = std::max(0, (get_system_metrics(SM_CXSCREEN) - frame.width()) / 2);
    int32_t y = std::max(0, (get_system_metrics(SM_CYSCREEN) - frame.height()) / 2);
    set_window_pos(dialog, {}, x, y, frame.width(), frame.height(), SWP_NOZORDER | SWP_NOACTIVATE);
}

static int default_button_id(const BoxRequest& request)
{
    int index = int((request.type & MB_DEFMASK) >> 8);
    return request.kind->buttons[index < request.kind->count ? index : 0].id;
}

static LResult on_init(WindowHandle dialog, const BoxRequest& request)
{
    set_window_long_ptr(dialog, DWLP_USER, reinterpret_cast<intptr_t>(&request));
    const IconKind* icon = icon_of(request.type);
    WindowHandle icon_control = get_dlg_item(dialog, kIconId);
    if (icon && icon_control)
        send_message(icon_control, STM_SETICON, WParam(load_icon({}, icon->icon).id), 0);
    BoxLayout layout = lay_out(dialog, request, icon != nullptr);
    place(icon_control, layout.icon);
    place(get_dlg_item(dialog, kTextId), layout.text);
    for (int i = 0; i < request.kind->count; i++)
        place(get_dlg_item(dialog, request.kind->buttons[i].id), layout.buttons[size_t(i)]);
    centre_on_screen(dialog, layout.client);
    int default_id = default_button_id(request);
    send_message(dialog, DM_SETDEFID, WParam(default_id), 0);
    if (DialogInfo* info = dialog_info(dialog))
        info->saved_focus = get_dlg_item(dialog, default_id);
    std::vector<std::string> labels;
    for (int i = 0; i < request.kind->count; i++)
        labels.push_back(request.kind->buttons[i].label);
    message_beep(request.type & MB_ICONMASK);
    msgbox_log_shown(request.caption, request.text, labels);
    return 0; // the focus is set: the default button gets it when the box shows
}

static const ButtonKind* button_of(const BoxRequest& request, int id)
{
    for (int i = 0; i < request.kind->count; i++) {
        if (request.kind->buttons[i].id == id)
            return &request.kind->buttons[i];
    }
    return nullptr;
}

// Esc and the close box are Cancel where the box has it, OK in a box of OK alone.
static LResult on_command(WindowHandle dialog, WParam wparam)
{
    auto* request = reinterpret_cast<const BoxRequest*>(get_window_long_ptr(dialog, DWLP_USER));
    if (!request)
        return 0;
    int id = int(loword(wparam));
    const ButtonKind* button = button_of(*request, id);
    if (!button && id == IDCANCEL && request->kind->type == MB_OK)
        button = button_of(*request, IDOK);
    if (!button)
        return 1;
    msgbox_log_closed(button->label);
    end_dialog(dialog, button->id);
    return 1;
}

static LResult box_proc(WindowHandle dialog, uint32_t message, WParam wparam, LParam lparam)
{
    switch (message) {
    case WM_INITDIALOG: return on_init(dialog, *reinterpret_cast<const BoxRequest*>(lparam));
    case WM_COMMAND: return on_command(dialog, wparam);
    default: return 0;
    }
}

static DialogTemplate box_template(const BoxRequest& request)
{
    DialogTemplate t;
    t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | WS_VISIBLE;
    t.ex_style = (request.type & (MB_SYSTEMMODAL | MB_TOPMOST)) ? uint32_t(WS_EX_TOPMOST) : 0u;
    t.font_size = kMessageFontPoints;
    t.font_face = kMessageFontFace;
    t.caption = request.caption;
    if (icon_of(request.type)) {
        DialogControl icon;
        icon.style = WS_CHILD | WS_VISIBLE | SS_ICON;
        icon.id = kIconId;
        icon.class_name = kStaticClass;
        t.controls.push_back(icon);
    }
    DialogControl text;
    text.style = WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX;
    text.id = uint16_t(kTextId);
    text.class_name = kStaticClass;
    text.text = request.text;
    t.controls.push_back(text);
    int default_id = default_button_id(request);
    for (int i = 0; i < request.kind->count; i++) {
        const ButtonKind& kind = request.kind->buttons[i];
        DialogControl button;
        button.style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | (i == 0 ? uint32_t(WS_GROUP) : 0u)
            | (kind.id == default_id ? uint32_t(BS_DEFPUSHBUTTON) : uint32_t(BS_PUSHBUTTON));
        button.id = uint16_t(kind.id);
        button.class_name = kButtonClass;
        button.text = kind.label;
        t.controls.push_back(button);
    }
    return t;
}

int message_box(WindowHandle owner, const char* text, const char* caption, uint32_t type)
{
    BoxRequest request;
    for (const BoxType& kind : kBoxTypes) {
        if ((type & MB_TYPEMASK) == kind.type)
            request.kind = &kind;
    }
    if (!request.kind)
        return 0;
    request.type = type;
    request.text = text ? text : "";
    request.caption = caption ? caption : "Error";
    bool task = (type & MB_MODEMASK) != MB_APPLMODAL;
    intptr_t result = dlgmgr_run_modal({}, box_template(request), task ? WindowHandle{} : owner, box_proc,
        reinterpret_cast<LParam>(&request), task ? ModalScope::task : ModalScope::owner);
    return result > 0 ? int(result) : 0;
}

} // namespace plat
