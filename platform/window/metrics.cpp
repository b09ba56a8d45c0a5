#include "platform/window/metrics.h"

#include "platform/backend/backend.h"
#include "platform/gdi/surface.h"
#include "platform/kernel/error.h"
#include "platform/window/message.h"
#include "platform/window/winpos.h"
#include "platform/window/wintree.h"

#include <cstring>

namespace plat {

struct MetricRow {
    int index;
    int value;
};

// Sizes of the classic desktop scheme. Frames, captions and buttons are drawn from these, so
// they must agree with each other: a caption button is (SM_CXSIZE - 2) x (SM_CYSIZE - 4).
static const MetricRow kMetrics[] = {
    {SM_CXVSCROLL, 16},
    {SM_CYHSCROLL, 16},
    {SM_CYCAPTION, 19}, // 18 rows of caption and its bottom line
    {SM_CXBORDER, 1},
    {SM_CYBORDER, 1},
    {SM_CXDLGFRAME, 3},
    {SM_CYDLGFRAME, 3},
    {SM_CYVTHUMB, 16},
    {SM_CXHTHUMB, 16},
    {SM_CXICON, 32},
    {SM_CYICON, 32},
    {SM_CXCURSOR, 32},
    {SM_CYCURSOR, 32},
    {SM_CYMENU, 19},
    {SM_MOUSEPRESENT, 1},
    {SM_CYVSCROLL, 16},
    {SM_CXHSCROLL, 16},
    {SM_CXMIN, 112},
    {SM_CYMIN, 27},
    {SM_CXSIZE, 18},
    {SM_CYSIZE, 18},
    {SM_CXFRAME, 4},
    {SM_CYFRAME, 4},
    {SM_CXMINTRACK, 112},
    {SM_CYMINTRACK, 27},
    {SM_CXDOUBLECLK, 4},
    {SM_CYDOUBLECLK, 4},
    {SM_CXICONSPACING, 75},
    {SM_CYICONSPACING, 75},
    {SM_CMOUSEBUTTONS, 3},
    {SM_CXEDGE, 2},
    {SM_CYEDGE, 2},
    {SM_CXSMICON, 16},
    {SM_CYSMICON, 16},
    {SM_CYSMCAPTION, 15}, // tool windows
    {SM_CXSMSIZE, 12},
    {SM_CYSMSIZE, 14},
    {SM_CXMENUSIZE, 18},
    {SM_CYMENUSIZE, 18},
    {SM_CXMINIMIZED, 160},
    {SM_CYMINIMIZED, 24},
    {SM_CXDRAG, 4},
    {SM_CYDRAG, 4},
    {SM_CXMENUCHECK, 13},
    {SM_CYMENUCHECK, 13},
    {SM_MOUSEWHEELPRESENT, 1},
    {SM_CMONITORS, 1},
    {SM_SAMEDISPLAYFORMAT, 1},
};

// Metrics that follow the screen's size: one monitor, the whole screen usable.
static int screen_metric(int index, Size screen, bool& known)
{
    known = true;
    int frame = 4; // SM_CXFRAME
    switch (index) {
    case SM_CXSCREEN:
    case SM_CXVIRTUALSCREEN: return screen.cx;
    case SM_CYSCREEN:
    case SM_CYVIRTUALSCREEN: return screen.cy;
    case SM_XVIRTUALSCREEN:
    case SM_YVIRTUALSCREEN: return 0;
    case SM_CXFULLSCREEN: return screen.cx;
    case SM_CYFULLSCREEN: return screen.cy - 19;
    case SM_CXMAXIMIZED: return screen.cx + 2 * frame;
    case SM_CYMAXIMIZED: return screen.cy + 2 * frame;
    case SM_CXMAXTRACK: return screen.cx + 2 * frame + 4;
    case SM_CYMAXTRACK: return screen.cy + 2 * frame + 4;
    case SM_DBCSENABLED: return 1; // the Korean code page may be active
    default: known = false; return 0;
    }
}

// The non-client sizes a program set (SPI_SETNONCLIENTMETRICS); empty: the classic scheme.
struct MetricsState {
    bool custom = false;
    NonClientMetrics nonclient;
};
static MetricsState s_metrics;

// Metrics that follow the program's non-client sizes.
static bool custom_metric(int index, int& value)
{
    if (!s_metrics.custom)
        return false;
    const NonClientMetrics& m = s_metrics.nonclient;
    switch (index) {
    case SM_CXVSCROLL: value = m.scroll_width; return true;
    case SM_CYHSCROLL: value = m.scroll_height; return true;
    case SM_CYCAPTION: value = m.caption_height + 1; return true;
    case SM_CXSIZE: value = m.caption_width; return true;
    case SM_CYSIZE: value = m.caption_height; return true;
    case SM_CXFRAME:
    case SM_CYFRAME: value = m.border_width + 3; return true; // the border inside a 3-D edge
    case SM_CYSMCAPTION: value = m.sm_caption_height + 1; return true;
    case SM_CXSMSIZE: value = m.sm_caption_width; return true;
    case SM_CYSMSIZE: value = m.sm_caption_height; return true;
    case SM_CYMENU: value = m.menu_height + 1; return true;
    case SM_CXMENUSIZE: value = m.menu_width; return true;
    case SM_CYMENUSIZE: value = m.menu_height; return true;
    default: return false;
    }
}

int get_system_metrics(int index)
{
    int custom = 0;
    if (custom_metric(index, custom))
        return custom;
    bool known = false;
    int value = screen_metric(index, backend_screen_size(), known);
    if (known)
        return value;
    for (const MetricRow& row : kMetrics) {
        if (row.index == index)
            return row.value;
    }
    return 0;
}

// The classic scheme, as COLORREF values.
static const uint32_t kSysColors[kSysColorCount] = {
    rgb(192, 192, 192), // COLOR_SCROLLBAR
    rgb(0, 128, 128),   // COLOR_BACKGROUND: the desktop
    rgb(0, 0, 128),     // COLOR_ACTIVECAPTION
    rgb(128, 128, 128), // COLOR_INACTIVECAPTION
    rgb(192, 192, 192), // COLOR_MENU
    rgb(255, 255, 255), // COLOR_WINDOW
    rgb(0, 0, 0),       // COLOR_WINDOWFRAME
    rgb(0, 0, 0),       // COLOR_MENUTEXT
    rgb(0, 0, 0),       // COLOR_WINDOWTEXT
    rgb(255, 255, 255), // COLOR_CAPTIONTEXT
    rgb(192, 192, 192), // COLOR_ACTIVEBORDER
    rgb(192, 192, 192), // COLOR_INACTIVEBORDER
    rgb(128, 128, 128), // COLOR_APPWORKSPACE
    rgb(0, 0, 128),     // COLOR_HIGHLIGHT
    rgb(255, 255, 255), // COLOR_HIGHLIGHTTEXT
    rgb(192, 192, 192), // COLOR_BTNFACE
    rgb(128, 128, 128), // COLOR_BTNSHADOW
    rgb(128, 128, 128), // COLOR_GRAYTEXT
    rgb(0, 0, 0),       // COLOR_BTNTEXT
    rgb(192, 192, 192), // COLOR_INACTIVECAPTIONTEXT
    rgb(255, 255, 255), // COLOR_BTNHIGHLIGHT
    rgb(0, 0, 0),       // COLOR_3DDKSHADOW
    rgb(223, 223, 223), // COLOR_3DLIGHT
    rgb(0, 0, 0),       // COLOR_INFOTEXT
    rgb(255, 255, 225), // COLOR_INFOBK
    rgb(180, 180, 180), // 25: unused, as in Win32
    rgb(0, 0, 255),     // COLOR_HOTLIGHT
    rgb(16, 132, 208),  // COLOR_GRADIENTACTIVECAPTION
    rgb(181, 181, 181), // COLOR_GRADIENTINACTIVECAPTION
    rgb(0, 0, 128),     // COLOR_MENUHILIGHT
    rgb(192, 192, 192), // COLOR_MENUBAR
};

uint32_t get_sys_color(int index)
{
    if (index < 0 || index >= kSysColorCount)
        return 0;
    return kSysColors[index];
}

bool set_sys_colors(int count, const int* indices, const uint32_t* colors)
{
    if (count < 0 || (count > 0 && (!indices || !colors)))
        return false;
    for (int i = 0; i < count; i++) {
        if (indices[i] < 0 || indices[i] >= kSysColorCount)
            return false;
    }
    return true;
}

uint32_t get_double_click_time() { return 500; }

// A font of the non-client scheme at a size in points (96 pixels per inch, rounded).
static LogFont scheme_font(int points, int32_t weight, const char* face)
{
    LogFont font;
    font.height = -((points * 96 + 36) / 72);
    font.weight = weight;
    std::strncpy(font.face_name, face, LF_FACESIZE - 1);
    return font;
}

static NonClientMetrics classic_nonclient()
{
    NonClientMetrics metrics;
    metrics.border_width = 1;
    metrics.scroll_width = 16;
    metrics.scroll_height = 16;
    metrics.caption_width = 18;
    metrics.caption_height = 18;
    metrics.caption_font = scheme_font(kMessageFontPoints, FW_BOLD, kMessageFontFace);
    metrics.sm_caption_width = 12;
    metrics.sm_caption_height = 14;
    metrics.sm_caption_font = scheme_font(kMessageFontPoints, FW_BOLD, kMessageFontFace);
    metrics.menu_width = 18;
    metrics.menu_height = 18;
    metrics.menu_font = scheme_font(kMessageFontPoints, FW_NORMAL, kMessageFontFace);
    metrics.status_font = scheme_font(kMessageFontPoints, FW_NORMAL, kMessageFontFace);
    metrics.message_font = scheme_font(kMessageFontPoints, FW_NORMAL, kMessageFontFace);
    return metrics;
}

static bool sizes_fit(const NonClientMetrics& m)
{
    const int32_t sizes[] = {m.border_width, m.scroll_width, m.scroll_height, m.caption_width, m.caption_height,
        m.sm_caption_width, m.sm_caption_height, m.menu_width, m.menu_height};
    for (int32_t size : sizes) {
        if (size < 0 || size > 255)
            return false;
    }
    return true;
}

// Every top-level window takes the new frame; the program hears of it when it asked.
static void apply_to_windows(uint32_t win_ini)
{
    std::vector<WindowHandle> windows = wintree_top_levels();
    for (WindowHandle window : windows) {
        if (!wintree_find(window))
            continue;
        set_window_pos(window, {}, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
        if ((win_ini & SPIF_SENDCHANGE) && wintree_find(window))
            send_message(window, WM_SETTINGCHANGE, SPI_SETNONCLIENTMETRICS, 0);
    }
}

bool system_parameters_info(uint32_t action, uint32_t, void* data, uint32_t win_ini)
{
    auto* metrics = static_cast<NonClientMetrics*>(data);
    bool known = action == SPI_GETNONCLIENTMETRICS || action == SPI_SETNONCLIENTMETRICS;
    if (!known || !metrics || metrics->size != NonClientMetrics {}.size
        || (action == SPI_SETNONCLIENTMETRICS && !sizes_fit(*metrics))) {
        set_last_error(87);
        return false;
    }
    if (action == SPI_GETNONCLIENTMETRICS) {
        *metrics = s_metrics.custom ? s_metrics.nonclient : classic_nonclient();
        return true;
    }
    s_metrics.nonclient = *metrics;
    s_metrics.custom = true;
    apply_to_windows(win_ini);
    return true;
}

void metrics_reset() { s_metrics = MetricsState{}; }

} // namespace plat
