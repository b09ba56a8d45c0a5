#include "runtime/files/msg.h"

#include "platform/kernel/byte_io.h"
#include "platform/kernel/codepage.h"
#include "platform/controls/ctl_static.h"
#include "platform/window/cursor.h"
#include "platform/gdi/dc.h"
#include "platform/controls/dialog.h"
#include "platform/controls/dlgmgr.h"
#include "platform/window/metrics.h"
#include "platform/controls/msgbox.h"
#include "platform/text/text.h"
#include "platform/window/window.h"
#include "platform/window/winpos.h"
#include "runtime/files/err.h"
#include "runtime/base/str.h"
#include "runtime/files/util.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

constexpr int kTextControl = 100;
constexpr int kIconControl = 101;
constexpr int kButtonCount = 3;
constexpr int kQuitButton = 2; // of message 207
constexpr int kFormatIndex = 4; // captions 1-3, then the format
constexpr int kMissingLine = 284;

struct KindLook {
    uint32_t icon;
    uint32_t beep;
};

// Icon and MessageBeep type of each kind of message.
const KindLook kKindLooks[] = {
    { plat::IDI_ASTERISK, plat::MB_ICONASTERISK }, // information
    { plat::IDI_EXCLAMATION, plat::MB_ICONEXCLAMATION }, // warning
    { plat::IDI_HAND, plat::MB_ICONHAND }, // stop
    { plat::IDI_QUESTION, plat::MB_ICONQUESTION }, // question
};

// What the dialog procedure takes from WM_INITDIALOG.
struct BoxRequest {
    uint16_t kind = 0;
    std::string captions[kButtonCount]; // as shown: without the position digit
    int positions[kButtonCount] = {};
    const char* text = "";
    int order[kButtonCount] = {}; // visible buttons by position
};

struct MsgState {
    plat::WindowHandle owner;
    plat::ModuleHandle module;
};

MsgState s_msg;

} // namespace

std::string_view msg_nth_string(std::string_view list, int n)
{
    for (int i = 1; i < n && !list.empty(); i++) {
        size_t end = list.find('\0');
        list = end == std::string_view::npos ? std::string_view() : list.substr(end + 1);
    }
    return list.substr(0, list.find('\0'));
}

// The list from its n-th string on; "" past the end.
static std::string_view strings_from(std::string_view list, int n)
{
    std::string_view nth = msg_nth_string(list, n);
    if (nth.empty() && nth.data() == nullptr)
        return {};
    return list.substr(size_t(nth.data() - list.data()));
}

// An integer argument names the sub-message; anything else names none.
static int take_number(std::span<const FmtArg>& args)
{
    if (args.empty())
        return 0;
    FmtArg arg = args.front();
    args = args.subspan(1);
    if (arg.kind == FmtKind::int32)
        return arg.i;
    if (arg.kind == FmtKind::uint32)
        return arg.u > uint32_t(INT32_MAX) ? 0 : int(arg.u);
    return 0;
}

static std::string_view sub_message(std::string_view sub_messages, int n)
{
    if (n < 1)
        return {};
    std::string_view rest = strings_from(sub_messages, n);
    return rest.empty() ? std::string_view() : msg_nth_string(rest, 1);
}

char* msg_expand(char* out, int& room, std::string_view format, std::span<const FmtArg>& args,
    std::string_view sub_messages)
{
    size_t i = 0;
    while (i < format.size() && format[i] != '\0') {
        if (room-- <= 2) {
            room++;
            break;
        }
        const char* at = format.data() + i;
        bool two_bytes = str_settings().double_byte && plat::is_dbcs_lead_byte(uint8_t(at[0]))
            && i + 1 < format.size() && at[1] != '\0';
        if (two_bytes) {
            *out++ = at[0];
            *out++ = at[1];
            room--;
            i += 2;
            continue;
        }
        bool directive = at[0] == '%' && i + 1 < format.size();
        if (directive && format[i + 1] == 'm') {
            room++;
            std::string_view sub = sub_message(sub_messages, take_number(args));
            out = msg_expand(out, room, sub, args, sub_messages);
            i += 2;
            continue;
        }
        *out++ = at[0];
        i++;
        // "%%" stays whole, so that the formatter, not the expansion, reads its second '%'.
        if (directive && format[i] == '%' && room > 2) {
            *out++ = '%';
            room--;
            i++;
        }
    }
    *out = '\0';
    return out;
}

// The visible buttons in position order (ties by number); 0 after the last.
static int visible_order(const MsgLayoutButton (&buttons)[kButtonCount], int (&order)[kButtonCount])
{
    int count = 0;
    for (int position = 1; position <= kButtonCount; position++) {
        for (int b = 0; b < kButtonCount; b++) {
            if (buttons[b].visible && buttons[b].position == position)
                order[count++] = b + 1;
        }
    }
    for (int i = count; i < kButtonCount; i++)
        order[i] = 0;
    return count;
}

// Two buttons go to the middles of the outer thirds when that leaves a gap between them,
// else they stand together in the middle.
static void place_pair(plat::Rect* slots, int32_t width, int32_t gap)
{
    int32_t third = width / 3;
    int32_t w1 = slots[0].right - slots[0].left;
    int32_t w2 = slots[1].right - slots[1].left;
    if (third + w1 / 2 + gap < 2 * third - w2 / 2) {
        slots[0].left = third - w1 / 2;
        slots[1].left = 2 * third - w2 / 2;
    } else {
        slots[0].left = (width - gap) / 2 - w1;
        slots[1].left = (width + gap) / 2;
    }
    slots[0].right = slots[0].left + w1;
    slots[1].right = slots[1].left + w2;
}

// Captions too wide for their slots: one row of buttons at least as wide as their text plus
// a margin, centred, the dialog widened when the row does not fit.
static void place_row(
    const MsgLayoutInput& in, const plat::Rect* slots, int count, MsgLayoutResult& out)
{
    int32_t margin = 3 * in.base_unit;
    int32_t gap = 3 * in.base_unit / 2;
    int32_t min_width = 9 * in.base_unit;
    int32_t row = (count + 1) * gap + 3 * margin;
    for (int k = 0; k < count; k++)
        row += std::max(in.buttons[out.order[k] - 1].text_width, min_width - margin);
    int32_t offset = (in.client_width - row) / 2;
    if (offset < 0) {
        out.widen = -offset;
        offset = 0;
    }
    int32_t x = offset + gap;
    for (int k = 0; k < count; k++) {
        int32_t width = std::max(min_width, in.buttons[out.order[k] - 1].text_width + margin);
        out.rects[out.order[k] - 1] = plat::Rect { x, slots[k].top, x + width, slots[k].bottom };
        x += width + gap;
    }
}

MsgLayoutResult msg_layout_buttons(const MsgLayoutInput& in)
{
    MsgLayoutResult out;
    int count = visible_order(in.buttons, out.order);
    plat::Rect slots[kButtonCount] = { in.slots[0], in.slots[1], in.slots[2] };
    int32_t margin = 3 * in.base_unit;
    if (count == 1) {
        int32_t w = slots[0].right - slots[0].left + 1;
        slots[0].left = (in.client_width - w) / 2;
        slots[0].right = slots[0].left + w;
    } else if (count == 2) {
        place_pair(slots, in.client_width, 3 * in.base_unit / 2);
    }
    bool fits = true;
    for (int k = 0; k < count; k++) {
        out.rects[out.order[k] - 1] = slots[k];
        int32_t room = slots[k].right - slots[k].left - in.buttons[out.order[k] - 1].text_width;
        fits = fits && room >= margin;
    }
    if (!fits)
        place_row(in, slots, count, out);
    return out;
}

// A leading digit 1-3 places the button and is not shown.
static void split_caption(std::string_view caption, int number, std::string& shown, int& position)
{
    position = number;
    if (!caption.empty() && caption[0] >= '1' && caption[0] <= '3') {
        position = caption[0] - '0';
        caption.remove_prefix(1);
    }
    shown = std::string(caption);
}

static int32_t text_width(plat::WindowHandle dialog, const std::string& text)
{
    if (text.empty())
        return 0;
    plat::DcHandle dc = plat::get_dc(dialog);
    plat::GdiObject font(uint32_t(plat::send_message(dialog, plat::WM_GETFONT, 0, 0)));
    plat::GdiObject old = font ? plat::select_object(dc, font) : plat::GdiObject {};
    plat::Size size {};
    plat::get_text_extent_point32(dc, text.c_str(), int(text.size()), size);
    if (old)
        plat::select_object(dc, old);
    plat::release_dc(dialog, dc);
    return size.cx;
}

static plat::Rect client_rect_of(plat::WindowHandle dialog, plat::WindowHandle control)
{
    plat::Rect rect {};
    plat::get_window_rect(control, rect);
    plat::Point corners[2] = { { rect.left, rect.top }, { rect.right, rect.bottom } };
    plat::map_window_points({}, dialog, corners, 2);
    return plat::Rect { corners[0].x, corners[0].y, corners[1].x, corners[1].y };
}

static MsgLayoutInput layout_input(plat::WindowHandle dialog, const BoxRequest& request)
{
    MsgLayoutInput in;
    in.base_unit = int32_t(plat::get_dialog_base_units() & 0xFFFF);
    plat::Rect client {};
    plat::get_client_rect(dialog, client);
    in.client_width = client.right - client.left;
    for (int b = 0; b < kButtonCount; b++) {
        in.slots[b] = client_rect_of(dialog, plat::get_dlg_item(dialog, b + 1));
        in.buttons[b].position = request.positions[b];
        in.buttons[b].visible = !request.captions[b].empty();
        in.buttons[b].text_width = text_width(dialog, request.captions[b]);
    }
    return in;
}

// Moves the buttons to their places; bringing them to the top from the last position to the
// first makes the tab order follow the positions.
static void lay_out_buttons(plat::WindowHandle dialog, BoxRequest& request)
{
    MsgLayoutResult layout = msg_layout_buttons(layout_input(dialog, request));
    std::copy(std::begin(layout.order), std::end(layout.order), request.order);
    for (int k = kButtonCount - 1; k >= 0; k--) {
        if (layout.order[k] == 0)
            continue;
        const plat::Rect& r = layout.rects[layout.order[k] - 1];
        plat::WindowHandle button = plat::get_dlg_item(dialog, layout.order[k]);
        plat::move_window(button, r.left, r.top, r.right - r.left, r.bottom - r.top, true);
        plat::bring_window_to_top(button);
    }
    if (layout.widen > 0) {
        plat::Rect frame {};
        plat::get_window_rect(dialog, frame);
        plat::move_window(dialog, frame.left - layout.widen, frame.top,
            frame.right - frame.left + 2 * layout.widen, frame.bottom - frame.top, true);
    }
}

static void centre_on_screen(plat::WindowHandle dialog)
{
    plat::Rect frame {};
    plat::get_window_rect(dialog, frame);
    int32_t width = frame.right - frame.left;
    int32_t height = frame.bottom - frame.top;
    int32_t x = plat::get_system_metrics(plat::SM_CXSCREEN) / 2 - width / 2;
    int32_t y = plat::get_system_metrics(plat::SM_CYSCREEN) / 2 - height / 2;
    plat::set_window_pos(dialog, {}, x, y, 0, 0, plat::SWP_NOSIZE | plat::SWP_NOZORDER);
}

static std::string window_text(plat::WindowHandle window)
{
    char text[256] = {};
    plat::get_window_text(window, text, int(sizeof text));
    return text;
}

// The box is logged as a message box is, so that a run's log reads the same for both.
static void log_shown(plat::WindowHandle dialog, const BoxRequest& request)
{
    std::vector<std::string> labels;
    for (int k = 0; k < kButtonCount && request.order[k] != 0; k++)
        labels.push_back(request.captions[request.order[k] - 1]);
    plat::msgbox_log_shown(window_text(dialog), request.text, labels);
}

static plat::LResult on_init_dialog(plat::WindowHandle dialog, BoxRequest& request)
{
    plat::set_window_long_ptr(dialog, plat::DWLP_USER, reinterpret_cast<intptr_t>(&request));
    uint32_t icon = request.kind < std::size(kKindLooks) ? kKindLooks[request.kind].icon : 0;
    if (icon != 0) {
        plat::IconHandle handle = plat::load_icon({}, icon);
        plat::send_dlg_item_message(
            dialog, kIconControl, plat::STM_SETICON, plat::WParam(handle.id), 0);
    }
    plat::set_dlg_item_text(dialog, kTextControl, request.text);
    for (int b = 0; b < kButtonCount; b++) {
        plat::set_dlg_item_text(dialog, b + 1, request.captions[b].c_str());
        if (request.captions[b].empty())
            plat::show_window(plat::get_dlg_item(dialog, b + 1), plat::SW_HIDE);
    }
    lay_out_buttons(dialog, request);
    // Enter presses the first button shown, never a hidden one.
    if (request.order[0] != 0)
        plat::send_message(dialog, plat::DM_SETDEFID, plat::WParam(request.order[0]), 0);
    centre_on_screen(dialog);
    log_shown(dialog, request);
    return 1;
}

// A hidden button's command (Esc's Cancel, Enter's default) does nothing.
static plat::LResult on_command(plat::WindowHandle dialog, plat::WParam wparam)
{
    auto* request
        = reinterpret_cast<BoxRequest*>(plat::get_window_long_ptr(dialog, plat::DWLP_USER));
    int id = int(wparam & 0xFFFF);
    if (!request || id < 1 || id > kButtonCount || request->captions[id - 1].empty())
        return 0;
    plat::msgbox_log_closed(request->captions[id - 1]);
    plat::end_dialog(dialog, id);
    return 1;
}

static plat::LResult box_proc(
    plat::WindowHandle dialog, uint32_t message, plat::WParam wparam, plat::LParam lparam)
{
    switch (message) {
    case plat::WM_INITDIALOG: return on_init_dialog(dialog, *reinterpret_cast<BoxRequest*>(lparam));
    case plat::WM_COMMAND: return on_command(dialog, wparam);
    default: return 0;
    }
}

static void beep_for(uint16_t kind)
{
    util_stop_sound();
    plat::message_beep(kind < std::size(kKindLooks) ? kKindLooks[kind].beep : 0);
}

// -1 when the message is missing or damaged or its dialog cannot be made.
static intptr_t show_message(uint32_t number, std::span<const FmtArg> args)
{
    plat::ResourceBytes bytes = plat::find_resource(s_msg.module, plat::RT_MESSAGE, number);
    if (!bytes.data || bytes.size < 2)
        return -1;
    plat::ByteReader reader(bytes.data, bytes.size);
    BoxRequest request;
    request.kind = reader.u16le();
    // A copy ends in a NUL whatever the resource's last string does.
    std::string list(reinterpret_cast<const char*>(bytes.data) + 2, bytes.size - 2);
    for (int b = 0; b < kButtonCount; b++)
        split_caption(
            msg_nth_string(list, b + 1), b + 1, request.captions[b], request.positions[b]);
    char expanded[kMsgRoom];
    int room = kMsgRoom;
    std::span<const FmtArg> rest = args;
    msg_expand(expanded, room, msg_nth_string(list, kFormatIndex), rest,
        strings_from(list, kFormatIndex + 1));
    char text[kMsgRoom];
    fmt_print_args(text, kMsgRoom, expanded, rest);
    request.text = text;
    beep_for(request.kind);
    plat::WindowHandle owner = plat::is_window(s_msg.owner) ? s_msg.owner : plat::WindowHandle {};
    return plat::dialog_box_param(s_msg.module, kMsgDialogTemplate, owner, box_proc,
        reinterpret_cast<plat::LParam>(&request));
}

int msg_show_va(uint32_t number, std::span<const FmtArg> args)
{
    intptr_t result = show_message(number, args);
    if (result != -1)
        return int(result);
    if (number == kMsgMissingMessage
        || msg_show(kMsgMissingMessage, int32_t(number)) == kQuitButton)
        err_internal("message", kMissingLine);
    return 1;
}

void msg_set_owner(plat::WindowHandle owner) { s_msg.owner = owner; }
void msg_set_resource_module(plat::ModuleHandle module) { s_msg.module = module; }
plat::ModuleHandle msg_resource_module() { return s_msg.module; }
void msg_reset() { s_msg = MsgState {}; }
