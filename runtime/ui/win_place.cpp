#include "runtime/ui/win_place.h"

#include "platform/kernel/byte_io.h"
#include "platform/window/menu.h"
#include "platform/window/metrics.h"
#include "platform/window/styles.h"
#include "runtime/engine/kernel.h"
#include "runtime/nodes/node_attr.h"
#include "runtime/nodes/node_group.h"
#include "runtime/pieces/piece_current.h"
#include "runtime/ui/menu.h"
#include "runtime/ui/win_util.h"

#include <cstdlib>

using namespace plat;

constexpr uint32_t kPresetCount = 16;
constexpr uint32_t kPresetWindowSize = 2;
constexpr uint32_t kPresetScreen = 1;
constexpr uint32_t kPresetDefault = 3; // what code 2 means without a stored rectangle

// Presentation sizes by size code; 1 and 2 are computed.
static const Size kPresets[kPresetCount] = {
    { 512, 342 }, { 0, 0 }, { 0, 0 }, { 640, 480 }, { 640, 350 }, { 800, 600 }, { 1024, 768 }, { 512, 384 },
    { 640, 400 }, { 640, 400 }, { 640, 480 }, { 512, 384 }, { 640, 480 }, { 640, 870 }, { 832, 624 }, { 1152, 870 },
};

// The compact non-client sizes a piece may ask for.
constexpr int32_t kCompactCaption = 20;
constexpr int32_t kCompactMenu = 17;
constexpr int32_t kCompactBorder = 1;

// Where the window waits, off the screen, until a piece places it.
constexpr int32_t kParkedPosition = -150;
constexpr int32_t kParkedSize = 50;

constexpr int32_t kMaxTrackSize = 4096;
constexpr int32_t kMinTrackWidth = 200;
constexpr int32_t kMinTrackHeight = 50;

static struct {
    bool maximizing = false;
    bool maximized = false;
    bool compact = false;
    bool have_saved_metrics = false;
    NonClientMetrics saved_metrics;
} s_place;


void win_place_reset()
{
    s_place = {};
    win_set_presentation_window({});
}

int32_t win_menu_height() { return get_system_metrics(SM_CYMENU) + 1; }

static uint32_t option(uint32_t descriptor)
{
    IconId top = piece_top_icon();
    return top ? node_get_attr(top, descriptor) : 0;
}

static uint32_t size_code()
{
    uint32_t code = option(kAttrPresentationSize);
    return code < kPresetCount ? code : kPresetWindowSize;
}

Size win_size_preset(uint32_t code)
{
    if (code >= kPresetCount)
        code = kPresetWindowSize;
    if (code == kPresetScreen)
        return { get_system_metrics(SM_CXSCREEN), get_system_metrics(SM_CYSCREEN) };
    if (code == kPresetWindowSize) {
        Size client = win_client_size(win_presentation_window());
        return { client.cx - 2 * get_system_metrics(SM_CXFRAME), client.cy - 2 * get_system_metrics(SM_CYFRAME) };
    }
    return kPresets[code];
}

// Property 21 of the top icon: shorter than 8 bytes is no stored rectangle.
static bool read_stored(WinArea& out)
{
    IconId top = piece_top_icon();
    uint16_t length = 0;
    uint8_t* data = top ? node_lock_prop(top, kPropWindowRect, &length) : nullptr;
    if (!data)
        return false;
    ByteReader reader(data, length);
    out.x = reader.i16le();
    out.y = reader.i16le();
    out.width = reader.i16le();
    out.height = reader.i16le();
    node_unlock_prop(top, kPropWindowRect, 0, data);
    return !reader.failed();
}

bool win_stored_rect(uint32_t code, WinArea& out)
{
    if (code >= kPresetCount)
        code = kPresetWindowSize;
    WinArea stored;
    if (!read_stored(stored)) {
        Size preset = win_size_preset(code == kPresetWindowSize ? kPresetDefault : code);
        out = { 0, 0, preset.cx, preset.cy };
        return false;
    }
    if (code == kPresetWindowSize) {
        out = { stored.x, stored.y, std::abs(stored.width), std::abs(stored.height) };
        return true;
    }
    Size preset = win_size_preset(code);
    out = { stored.x, stored.y, preset.cx, preset.cy };
    return true;
}

bool win_presentation_rect(WinArea& out)
{
    uint32_t code = size_code();
    bool used = win_stored_rect(code, out);
    if (!used || win_is_full_height()) {
        out.x = -1;
        out.y = -1;
    }
    if (!(used && code == kPresetWindowSize) && option(kAttrTitleBar))
        out.height -= get_system_metrics(SM_CYCAPTION) - 1;
    return used;
}

static bool has_menu_bar_below_title(uint32_t code)
{
    return option(kAttrMenuBar) && (option(kAttrTitleBar) || code != kPresetScreen);
}

bool win_content_rect(Rect& out)
{
    if (!piece_top_icon())
        return false;
    WinArea area;
    win_presentation_rect(area);
    if (has_menu_bar_below_title(size_code()))
        area.height -= win_menu_height();
    out = { 0, 0, area.width, area.height };
    return true;
}

bool win_is_full_height()
{
    uint32_t code = size_code();
    if (code == kPresetWindowSize)
        return false;
    return win_size_preset(code).cy >= get_system_metrics(SM_CYSCREEN) - get_system_metrics(SM_CYCAPTION) - 5;
}

bool win_near_screen_top()
{
    if (!win_is_full_height())
        return false;
    WinArea area;
    win_presentation_rect(area);
    return area.y < get_system_metrics(SM_CYCAPTION) + get_system_metrics(SM_CYMENU) - 2;
}

bool win_covers_screen(CoverCheck check)
{
    if (!piece_is_open() || !piece_top_icon() || exec_suspended())
        return false;
    uint32_t code = size_code();
    if (code == kPresetScreen)
        return true;
    WinArea area;
    win_stored_rect(code, area);
    bool covers = true;
    if (int(check) & int(CoverCheck::height))
        covers = covers && area.height >= get_system_metrics(SM_CYSCREEN);
    if (int(check) & int(CoverCheck::width))
        covers = covers && area.width >= get_system_metrics(SM_CXSCREEN);
    return covers;
}

static void set_style(WindowHandle window, uint32_t style) { set_window_long(window, GWL_STYLE, int32_t(style)); }

static bool smaller_than_screen(const Rect& rect)
{
    return rect.width() < get_system_metrics(SM_CXSCREEN) || rect.height() < get_system_metrics(SM_CYSCREEN);
}

// The window rectangle for the piece's area, with the frame given or taken away first.
struct Placement {
    Rect rect;
    bool centre = false;
    bool full_height = false;
};

static Placement placement_for(WindowHandle window, bool stored)
{
    bool title = option(kAttrTitleBar) != 0;
    bool menu = option(kAttrMenuBar) != 0;
    bool suspended = exec_suspended() != 0;
    int32_t frame = win_frame_insets(window).left;
    uint32_t style = win_style(window);
    bool lost_caption = false;
    if (!title && !menu) {
        frame = 1;
        lost_caption = (style & WS_CAPTION) == WS_CAPTION;
        style &= ~(WS_DLGFRAME | WS_SYSMENU);
        set_style(window, style);
    }
    WinArea area;
    win_presentation_rect(area);
    Placement place;
    place.full_height = win_is_full_height();
    if (place.full_height) {
        if (area.width >= get_system_metrics(SM_CXSCREEN))
            area.x = suspended ? 0 : -frame;
        if (area.height >= get_system_metrics(SM_CYSCREEN))
            area.y = suspended ? 0 : -frame;
        if (!title && menu)
            area.y = -win_menu_height();
        place.rect = suspended ? win_rect_for_client_offset(style, false, area.x, area.y, area.width, area.height)
                               : win_rect_for_client_at(style, false, area.x, area.y, area.width, area.height);
    } else {
        if (menu)
            area.height -= option(kAttrMenuOverContent) ? get_system_metrics(SM_CYMENU) : win_menu_height();
        place.rect = win_rect_for_client_at(style, menu, area.x, area.y, area.width, area.height);
    }
    if (is_iconic(window))
        return place;
    if (lost_caption)
        place.rect.top -= get_system_metrics(SM_CYCAPTION) - 1;
    if (smaller_than_screen(place.rect)) {
        place.centre = option(kAttrCentre) || !stored;
    } else if (title) {
        // A window that fills the screen keeps its frame just outside it.
        place.rect = { -frame, -frame, get_system_metrics(SM_CXSCREEN) + frame, get_system_metrics(SM_CYSCREEN) + frame };
    }
    return place;
}

void win_place_presentation(WindowHandle window, PlaceWhen when)
{
    WinArea stored;
    bool have_stored = read_stored(stored);
    bool menu = option(kAttrMenuBar) != 0;
    menu_show_bar(menu, option(kAttrMenuOverContent) || !menu);
    Placement place = placement_for(window, have_stored);
    if (is_iconic(window))
        return;
    if (when == PlaceWhen::size_changed) {
        Rect now;
        get_window_rect(window, now);
        if (now.width() == place.rect.width() && now.height() == place.rect.height())
            return;
        if (!place.full_height && have_stored) {
            int32_t width = place.rect.width();
            int32_t height = place.rect.height();
            place.rect = { stored.x, stored.y, stored.x + width, stored.y + height };
        }
    }
    if (!place.centre)
        win_move(window, place.rect.left, place.rect.top);
    win_set_size(window, place.rect.width(), place.rect.height());
    if (place.centre)
        win_center(window);
}

void win_center(WindowHandle window)
{
    Rect rect;
    get_window_rect(window, rect);
    bool lowered = (win_style(window) & WS_CAPTION) == WS_CAPTION && !option(kAttrTitleBar);
    int32_t lift = lowered ? get_system_metrics(SM_CYCAPTION) - 1 : 0;
    int32_t screen_width = get_system_metrics(SM_CXSCREEN);
    int32_t screen_height = get_system_metrics(SM_CYSCREEN) - lift;
    int32_t width = rect.width();
    int32_t height = rect.height();
    rect.left = (screen_width - width) / 2;
    rect.top = lift + (screen_height - height) / 2;
    rect.right = rect.left + width;
    rect.bottom = rect.top + height;
    win_keep_in_client(rect, ScreenCheck::skip);
    win_move(window, rect.left, rect.top - lift);
}

void win_center_if_option(WindowHandle window)
{
    if (option(kAttrCentre))
        win_center(window);
}

void win_set_caption(bool on)
{
    WindowHandle window = win_presentation_window();
    if (!window || (!on && get_menu(window)))
        return;
    uint32_t style = win_style(window);
    // Asking again for what the window has would move it by a caption each time.
    constexpr uint32_t kCaptionBits = WS_DLGFRAME | WS_SYSMENU;
    if ((style & kCaptionBits) == (on ? kCaptionBits : 0))
        return;
    Rect rect;
    get_window_rect(window, rect);
    int32_t shift = get_system_metrics(SM_CYCAPTION) - get_system_metrics(SM_CYBORDER);
    if (on) {
        style |= WS_DLGFRAME | WS_SYSMENU;
        rect.top -= shift;
    } else {
        style &= ~(WS_DLGFRAME | WS_SYSMENU);
        rect.top += shift;
    }
    set_style(window, style);
    set_window_pos(window, {}, rect.left, rect.top, rect.width(), rect.height(),
        SWP_FRAMECHANGED | SWP_NOACTIVATE | SWP_NOZORDER);
}

static Point screen_offset()
{
    WindowHandle window = win_presentation_window();
    Rect insets = win_frame_insets(window);
    Rect outer;
    get_window_rect(window, outer);
    return { outer.left + insets.left, outer.top + insets.top };
}

void win_client_to_screen(Point& point, bool apply)
{
    if (!apply)
        return;
    Point offset = screen_offset();
    point.x += offset.x;
    point.y += offset.y;
}

void win_rect_client_to_screen(Rect& rect, bool apply, Corners corners)
{
    if (!apply)
        return;
    Point offset = screen_offset();
    rect.left += offset.x;
    rect.top += offset.y;
    if (corners == Corners::both) {
        rect.right += offset.x;
        rect.bottom += offset.y;
    }
}

bool win_record_rect(IconId icon, uint16_t property, Rect& out, bool to_screen, Corners corners)
{
    uint16_t length = 0;
    uint8_t* data = icon ? node_lock_prop(icon, property, &length) : nullptr;
    if (!data)
        return false;
    ByteReader reader(data, length);
    Rect rect;
    rect.left = reader.i16le();
    rect.top = reader.i16le();
    rect.right = reader.i16le();
    rect.bottom = reader.i16le();
    node_unlock_prop(icon, property, 0, data);
    if (reader.failed())
        return false;
    win_rect_client_to_screen(rect, to_screen, corners);
    out = rect;
    return true;
}

bool win_minmax_info(MinMaxInfo& info)
{
    if (s_place.maximizing)
        return false;
    info.max_size = { kMaxTrackSize, kMaxTrackSize };
    info.max_track_size = { kMaxTrackSize, kMaxTrackSize };
    info.max_position.x -= get_system_metrics(SM_CXFRAME);
    if (s_place.maximized)
        info.max_position.y = -get_system_metrics(SM_CYFRAME);
    else
        info.max_position.y += 1 - win_menu_height() - get_system_metrics(SM_CYCAPTION) - get_system_metrics(SM_CYFRAME);
    info.min_track_size = { kMinTrackWidth, kMinTrackHeight };
    return true;
}

void win_maximize_over_taskbar() { }

void win_unmaximize()
{
    WindowHandle window = win_presentation_window();
    if (!window || !option(kAttrTitleBar))
        return;
    show_window(window, SW_SHOWNORMAL);
    set_style(window, win_style(window) & ~WS_MAXIMIZEBOX);
    s_place.maximized = false;
}

// Sets one size to want; true when it changed.
static bool take(int32_t& value, int32_t want)
{
    if (value == want)
        return false;
    value = want;
    return true;
}

void win_apply_compact_metrics()
{
    if (!option(kAttrCompactMetrics)) {
        win_restore_metrics();
        return;
    }
    NonClientMetrics metrics;
    if (!system_parameters_info(SPI_GETNONCLIENTMETRICS, metrics.size, &metrics, 0))
        return;
    bool changed = take(metrics.caption_height, kCompactCaption);
    changed = take(metrics.menu_height, kCompactMenu) || changed;
    changed = take(metrics.border_width, kCompactBorder) || changed;
    if (!changed)
        return;
    s_place.compact = true;
    system_parameters_info(SPI_SETNONCLIENTMETRICS, metrics.size, &metrics, SPIF_SENDCHANGE);
}

// A size the user changed while the piece ran is kept.
static bool give_back(int32_t& value, int32_t compact, int32_t saved)
{
    return value == compact && take(value, saved);
}

void win_restore_metrics()
{
    if (!s_place.compact || !s_place.have_saved_metrics)
        return;
    s_place.compact = false;
    NonClientMetrics metrics;
    if (!system_parameters_info(SPI_GETNONCLIENTMETRICS, metrics.size, &metrics, 0))
        return;
    const NonClientMetrics& saved = s_place.saved_metrics;
    bool changed = give_back(metrics.caption_height, kCompactCaption, saved.caption_height);
    changed = give_back(metrics.menu_height, kCompactMenu, saved.menu_height) || changed;
    changed = give_back(metrics.border_width, kCompactBorder, saved.border_width) || changed;
    if (changed)
        system_parameters_info(SPI_SETNONCLIENTMETRICS, metrics.size, &metrics, SPIF_SENDCHANGE);
}

void win_restore_saved_rect(WindowHandle window)
{
    win_set_presentation_window(window);
    s_place.have_saved_metrics = system_parameters_info(SPI_GETNONCLIENTMETRICS, s_place.saved_metrics.size, &s_place.saved_metrics, 0);
    s_place.compact = false;
    set_window_pos(window, {}, kParkedPosition, kParkedPosition, kParkedSize, kParkedSize, SWP_NOZORDER | SWP_NOACTIVATE);
}
