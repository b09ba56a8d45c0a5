// System metrics and system colours with Win32's indices. Sizes of frames, captions and
// buttons are fixed by this layer (a classic desktop scheme), so that layouts and pixels are
// the same on every host; the screen's size comes from the backend.
#pragma once
#include <cstdint>

#include "platform/text/font_types.h"
#include "platform/window/window_types.h"

namespace plat {

enum : int {
    SM_CXSCREEN = 0,
    SM_CYSCREEN = 1,
    SM_CXVSCROLL = 2,
    SM_CYHSCROLL = 3,
    SM_CYCAPTION = 4,
    SM_CXBORDER = 5,
    SM_CYBORDER = 6,
    SM_CXDLGFRAME = 7,
    SM_CYDLGFRAME = 8,
    SM_CYVTHUMB = 9,
    SM_CXHTHUMB = 10,
    SM_CXICON = 11,
    SM_CYICON = 12,
    SM_CXCURSOR = 13,
    SM_CYCURSOR = 14,
    SM_CYMENU = 15,
    SM_CXFULLSCREEN = 16,
    SM_CYFULLSCREEN = 17,
    SM_CYKANJIWINDOW = 18,
    SM_MOUSEPRESENT = 19,
    SM_CYVSCROLL = 20,
    SM_CXHSCROLL = 21,
    SM_DEBUG = 22,
    SM_SWAPBUTTON = 23,
    SM_CXMIN = 28,
    SM_CYMIN = 29,
    SM_CXSIZE = 30,
    SM_CYSIZE = 31,
    SM_CXFRAME = 32,
    SM_CYFRAME = 33,
    SM_CXMINTRACK = 34,
    SM_CYMINTRACK = 35,
    SM_CXDOUBLECLK = 36,
    SM_CYDOUBLECLK = 37,
    SM_CXICONSPACING = 38,
    SM_CYICONSPACING = 39,
    SM_MENUDROPALIGNMENT = 40,
    SM_DBCSENABLED = 42,
    SM_CMOUSEBUTTONS = 43,
    SM_CXEDGE = 45,
    SM_CYEDGE = 46,
    SM_CXSMICON = 49,
    SM_CYSMICON = 50,
    SM_CYSMCAPTION = 51,
    SM_CXSMSIZE = 52,
    SM_CYSMSIZE = 53,
    SM_CXMENUSIZE = 54,
    SM_CYMENUSIZE = 55,
    SM_CXMINIMIZED = 57,
    SM_CYMINIMIZED = 58,
    SM_CXMAXTRACK = 59,
    SM_CYMAXTRACK = 60,
    SM_CXMAXIMIZED = 61,
    SM_CYMAXIMIZED = 62,
    SM_NETWORK = 63,
    SM_CXDRAG = 68,
    SM_CYDRAG = 69,
    SM_CXMENUCHECK = 71,
    SM_CYMENUCHECK = 72,
    SM_MOUSEWHEELPRESENT = 75,
    SM_XVIRTUALSCREEN = 76,
    SM_YVIRTUALSCREEN = 77,
    SM_CXVIRTUALSCREEN = 78,
    SM_CYVIRTUALSCREEN = 79,
    SM_CMONITORS = 80,
    SM_SAMEDISPLAYFORMAT = 81,
};

enum : int {
    COLOR_SCROLLBAR = 0,
    COLOR_BACKGROUND = 1,
    COLOR_ACTIVECAPTION = 2,
    COLOR_INACTIVECAPTION = 3,
    COLOR_MENU = 4,
    COLOR_WINDOW = 5,
    COLOR_WINDOWFRAME = 6,
    COLOR_MENUTEXT = 7,
    COLOR_WINDOWTEXT = 8,
    COLOR_CAPTIONTEXT = 9,
    COLOR_ACTIVEBORDER = 10,
    COLOR_INACTIVEBORDER = 11,
    COLOR_APPWORKSPACE = 12,
    COLOR_HIGHLIGHT = 13,
    COLOR_HIGHLIGHTTEXT = 14,
    COLOR_BTNFACE = 15,
    COLOR_BTNSHADOW = 16,
    COLOR_GRAYTEXT = 17,
    COLOR_BTNTEXT = 18,
    COLOR_INACTIVECAPTIONTEXT = 19,
    COLOR_BTNHIGHLIGHT = 20,
    COLOR_3DDKSHADOW = 21,
    COLOR_3DLIGHT = 22,
    COLOR_INFOTEXT = 23,
    COLOR_INFOBK = 24,
    COLOR_HOTLIGHT = 26,
    COLOR_GRADIENTACTIVECAPTION = 27,
    COLOR_GRADIENTINACTIVECAPTION = 28,
    COLOR_MENUHILIGHT = 29,
    COLOR_MENUBAR = 30,
    COLOR_DESKTOP = COLOR_BACKGROUND,
    COLOR_3DFACE = COLOR_BTNFACE,
    COLOR_3DSHADOW = COLOR_BTNSHADOW,
    COLOR_3DHIGHLIGHT = COLOR_BTNHIGHLIGHT,
};
constexpr int kSysColorCount = 31;

// GetSystemMetrics: 0 for an index this layer does not know, as Win32 answers.
int get_system_metrics(int index);

// GetSysColor: a COLORREF (0x00BBGGRR); 0 for an unknown index.
uint32_t get_sys_color(int index);

// SetSysColors: the screen is true colour and the scheme is fixed, so this changes nothing;
// it answers true for valid indices as the programs expect.
bool set_sys_colors(int count, const int* indices, const uint32_t* colors);

// GetDoubleClickTime, in ms.
uint32_t get_double_click_time();

// The message box's font: its dialog template and the non-client metrics both name it.
constexpr int kMessageFontPoints = 8;
constexpr const char* kMessageFontFace = "MS Sans Serif";

// SystemParametersInfo actions this layer answers, and the flag that tells the windows.
constexpr uint32_t SPI_GETNONCLIENTMETRICS = 41;
constexpr uint32_t SPI_SETNONCLIENTMETRICS = 42;
constexpr uint32_t SPIF_SENDCHANGE = 0x0002;

// NONCLIENTMETRICSA: frame and caption sizes and the fonts of the non-client parts; size is
// the 340 bytes of the Win32 structure.
struct NonClientMetrics {
    uint32_t size = 340;
    int32_t border_width = 0;
    int32_t scroll_width = 0;
    int32_t scroll_height = 0;
    int32_t caption_width = 0;
    int32_t caption_height = 0;
    LogFont caption_font;
    int32_t sm_caption_width = 0;
    int32_t sm_caption_height = 0;
    LogFont sm_caption_font;
    int32_t menu_width = 0;
    int32_t menu_height = 0;
    LogFont menu_font;
    LogFont status_font;
    LogFont message_font;
};

// SystemParametersInfoA: SPI_GETNONCLIENTMETRICS fills a NonClientMetrics whose size is 340;
// SPI_SETNONCLIENTMETRICS takes one for this program only (there is no system to write to):
// frames, captions, caption buttons, scroll bars and menu bars follow it, every top-level
// window's frame is computed again and, with SPIF_SENDCHANGE, hears WM_SETTINGCHANGE. False
// (error 87) for another action, a null pointer, a wrong size or a size outside 0 to 255.
bool system_parameters_info(uint32_t action, uint32_t param, void* data, uint32_t win_ini);
// Back to the classic scheme (window_system_reset calls it).
void metrics_reset();

} // namespace plat
