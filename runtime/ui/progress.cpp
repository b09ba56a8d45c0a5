#include "runtime/ui/progress.h"

#include <algorithm>

#include "platform/controls/dialog.h"
#include "platform/controls/dlgmgr.h"
#include "platform/gdi/blit.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/gdi_object.h"
#include "platform/kernel/clock.h"
#include "platform/kernel/error.h"
#include "platform/window/cursor.h"
#include "platform/window/defproc.h"
#include "platform/window/input.h"
#include "platform/window/focus.h"
#include "platform/window/keyboard.h"
#include "platform/window/metrics.h"
#include "platform/window/paint.h"
#include "platform/window/window.h"
#include "platform/window/winpos.h"
#include "platform/window/wndclass.h"
#include "runtime/display/refresh.h"

using namespace plat;

namespace {

// The bar's window bytes.
constexpr int kPositionOffset = 0;
constexpr int kMinimumOffset = 4;
constexpr int kMaximumOffset = 8;
constexpr int kThermometerBytes = 12;
constexpr int32_t kBarInset = 2;
constexpr uint32_t kBarColor = 0xFF0000; // COLORREF: blue
// A dialog that flashes up and away at once is hard to read.
constexpr uint32_t kShortestShowMs = 300;
constexpr int kLineSize = 129;

struct ProgressState {
    WindowHandle dialog;
    WindowHandle owner;
    bool cancel = false;
    uint32_t opened_at = 0;
};

ProgressState s_progress;

struct BarRange {
    int32_t position;
    int32_t minimum;
    int32_t maximum;
};

} // namespace

static BarRange range_of(WindowHandle bar)
{
    return BarRange{get_window_long(bar, kPositionOffset), get_window_long(bar, kMinimumOffset),
        get_window_long(bar, kMaximumOffset)};
}

static int32_t clamp_position(int64_t position, const BarRange& range)
{
    return int32_t(std::clamp<int64_t>(position, range.minimum, std::max(range.minimum, range.maximum)));
}

static Rect inner_rect(WindowHandle bar)
{
    Rect client;
    get_client_rect(bar, client);
    inflate_rect(client, -kBarInset, -kBarInset);
    return client;
}

static void repaint_inside(WindowHandle bar, bool erase)
{
    Rect inside = inner_rect(bar);
    invalidate_rect(bar, &inside, erase);
    update_window(bar);
}

static void set_position(WindowHandle bar, int64_t wanted)
{
    BarRange range = range_of(bar);
    int32_t position = clamp_position(wanted, range);
    set_window_long(bar, kPositionOffset, position);
    repaint_inside(bar, position < range.position);
}

// The position keeps its share of the range: positions in bytes of a large file need 64 bits.
static void set_range(WindowHandle bar, const ThermometerRange* wanted)
{
    if (!wanted)
        return;
    BarRange old = range_of(bar);
    BarRange now{old.position, std::min(wanted->minimum, wanted->maximum), wanted->maximum};
    int64_t old_span = std::max<int64_t>(int64_t(old.maximum) - old.minimum, 1);
    int64_t new_span = int64_t(now.maximum) - now.minimum;
    int64_t carried = now.minimum + (int64_t(old.position) - old.minimum) * new_span / old_span;
    set_window_long(bar, kMinimumOffset, now.minimum);
    set_window_long(bar, kMaximumOffset, now.maximum);
    set_window_long(bar, kPositionOffset, clamp_position(carried, now));
    repaint_inside(bar, true);
}

static void paint_bar(WindowHandle bar)
{
    PaintStruct paint;
    DcHandle dc = begin_paint(bar, paint);
    Rect client;
    get_client_rect(bar, client);
    GdiObject black = create_solid_brush(0);
    frame_rect(dc, client, black);
    delete_object(black);
    Rect inside = inner_rect(bar);
    BarRange range = range_of(bar);
    int64_t span = int64_t(range.maximum) - range.minimum;
    int64_t width = inside.width();
    if (span > 0)
        width = std::clamp<int64_t>((int64_t(range.position) - range.minimum) * width / span, 0, width);
    GdiObject fill = create_solid_brush(kBarColor);
    fill_rect(dc, Rect{inside.left, inside.top, inside.left + int32_t(width), inside.bottom}, fill);
    delete_object(fill);
    end_paint(bar, paint);
}

LResult thermometer_proc(WindowHandle window, uint32_t message, WParam wparam, LParam lparam)
{
    switch (message) {
    case WM_CREATE:
        set_window_long(window, kPositionOffset, 0);
        set_window_long(window, kMinimumOffset, 0);
        set_window_long(window, kMaximumOffset, 100);
        return 0;
    case WM_PAINT: paint_bar(window); return 0;
    case kThermometerSetPosition: set_position(window, int32_t(lparam)); return 0;
    case kThermometerSetRange: set_range(window, reinterpret_cast<const ThermometerRange*>(lparam)); return 0;
    case kThermometerStep: set_position(window, int64_t(range_of(window).position) + int32_t(lparam)); return 0;
    case kThermometerFill:
        // Straight to the end in one repaint: stepping by 1 repaints once per unit.
        set_window_long(window, kPositionOffset, range_of(window).maximum);
        repaint_inside(window, false);
        return 0;
    default: return def_window_proc(window, message, wparam, lparam);
    }
}

int dlg_progress_register_class()
{
    WindowClass thermometer;
    thermometer.proc = thermometer_proc;
    thermometer.window_extra = kThermometerBytes;
    thermometer.cursor = load_cursor({}, IDC_ARROW);
    thermometer.background = GdiObject(uint32_t(COLOR_WINDOW + 1));
    thermometer.class_name = kThermometerClass;
    if (register_class(thermometer))
        return 1;
    return get_last_error() == ERROR_CLASS_ALREADY_EXISTS ? 1 : 0;
}

static LResult progress_proc(WindowHandle, uint32_t message, WParam wparam, LParam)
{
    switch (message) {
    case WM_INITDIALOG: return 1;
    case WM_COMMAND:
        if (loword(wparam) == IDCANCEL)
            s_progress.cancel = true;
        return 1;
    case WM_SYSCOMMAND:
        if ((wparam & 0xFFF0) == SC_CLOSE)
            s_progress.cancel = true;
        return 0;
    default: return 0;
    }
}

// Without Cancel the dialog ends a little below where the button's top was.
static void drop_cancel(WindowHandle dialog)
{
    WindowHandle button = get_dlg_item(dialog, IDCANCEL);
    if (!button)
        return;
    show_window(button, SW_HIDE);
    Rect frame, place;
    get_window_rect(dialog, frame);
    get_window_rect(button, place);
    int32_t height = place.top - frame.top + 4 + get_system_metrics(SM_CYDLGFRAME) + get_system_metrics(SM_CYBORDER);
    set_window_pos(dialog, {}, 0, 0, frame.width(), height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

static void centre_over(WindowHandle dialog, WindowHandle owner)
{
    Rect frame, over;
    get_window_rect(dialog, frame);
    if (!owner || !get_window_rect(owner, over))
        return;
    int32_t x = over.left + (over.width() - frame.width()) / 2;
    int32_t y = over.top + (over.height() - frame.height()) / 2;
    set_window_pos(dialog, {}, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int dlg_progress_open(const char* text, int32_t minimum, int32_t maximum, int show_cancel, int template_id)
{
    if (s_progress.dialog && is_window(s_progress.dialog))
        return 0;
    s_progress = ProgressState{};
    WindowHandle owner = get_active_window();
    if (!owner)
        owner = screen_window();
    WindowHandle dialog = create_dialog_param(ModuleHandle(), ResourceId(uint32_t(template_id)), owner, progress_proc, 0);
    if (!dialog)
        return 0;
    s_progress.dialog = dialog;
    s_progress.owner = owner;
    if (owner)
        enable_window(owner, false);
    set_dlg_item_text(dialog, kProgressMessageLine, text ? text : "");
    dlg_progress_range(minimum, maximum);
    send_dlg_item_message(dialog, kProgressBar, kThermometerSetPosition, 0, LParam(minimum));
    if (!show_cancel)
        drop_cancel(dialog);
    centre_over(dialog, owner);
    show_window(dialog, SW_SHOW);
    update_window(dialog);
    s_progress.opened_at = get_tick_count();
    return 1;
}

// Messages keep flowing while the dialog waits to be read.
static bool pump_one()
{
    Msg msg;
    if (!peek_message(msg, {}, 0, 0, PM_REMOVE))
        return true;
    if (msg.message == WM_QUIT) {
        post_quit_message(int(msg.wparam));
        return false;
    }
    if (!s_progress.dialog || !is_dialog_message(s_progress.dialog, msg)) {
        translate_message(msg);
        dispatch_message(msg);
    }
    return true;
}

void dlg_progress_close()
{
    if (!s_progress.dialog)
        return;
    while (get_tick_count() - s_progress.opened_at < kShortestShowMs && pump_one()) {
    }
    if (s_progress.owner)
        enable_window(s_progress.owner, true);
    WindowHandle dialog = s_progress.dialog;
    s_progress = ProgressState{};
    destroy_window(dialog);
    set_cursor(load_cursor({}, IDC_ARROW));
}

int dlg_progress_pump()
{
    Msg msg;
    while (s_progress.dialog && !s_progress.cancel && peek_message(msg, {}, 0, 0, PM_NOREMOVE)) {
        if (!pump_one())
            break;
    }
    int cancel = s_progress.cancel ? 1 : 0;
    s_progress.cancel = false;
    return cancel;
}

void dlg_progress_range(int32_t minimum, int32_t maximum)
{
    ThermometerRange range{minimum, maximum};
    if (s_progress.dialog)
        send_dlg_item_message(s_progress.dialog, kProgressBar, kThermometerSetRange, 0, reinterpret_cast<LParam>(&range));
}

void dlg_progress_set_args(int32_t position, const char* format, std::span<const FmtArg> args)
{
    if (!s_progress.dialog)
        return;
    send_dlg_item_message(s_progress.dialog, kProgressBar, kThermometerSetPosition, 0, LParam(position));
    if (format)
        dlg_progress_message_args(format, args);
}

void dlg_progress_message_args(const char* format, std::span<const FmtArg> args)
{
    if (!s_progress.dialog)
        return;
    char line[kLineSize];
    fmt_print_args(line, int(sizeof line), format, args);
    set_dlg_item_text(s_progress.dialog, kProgressSecondLine, line);
}

void dlg_progress_caption(const char* text)
{
    if (s_progress.dialog)
        set_window_text(s_progress.dialog, text ? text : "");
}

WindowHandle dlg_progress_window() { return s_progress.dialog; }

void dlg_progress_reset() { s_progress = ProgressState{}; }
