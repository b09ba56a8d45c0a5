// The presentation window's size, place and frame, from the piece's settings: a size preset or
// a stored rectangle, title bar, menu bar, centring and the compact non-client metrics.
#pragma once
#include "platform/window/geometry.h"
#include "platform/window/window.h"
#include "platform/window/winpos.h"
#include "runtime/nodes/node_files.h"

#include <cstdint>

// Options of the piece's top icon.
enum : uint32_t {
    kAttrMenuOverContent = 0x2010640,
    kAttrCentre = 0x2080780,
    kAttrCompactMetrics = 0x20a0204,
};
constexpr uint16_t kPropWindowRect = 21; // i16 x, y, width, height

// An area of the presentation: position and size.
struct WinArea {
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
};

// SM_CYMENU + 1.
int32_t win_menu_height();
// The presets' width x height; codes above 15 count as 2.
plat::Size win_size_preset(uint32_t size_code);
// True when the piece stores a rectangle (8 bytes or more in property 21).
bool win_stored_rect(uint32_t size_code, WinArea& out);
// True when a stored rectangle was used.
bool win_presentation_rect(WinArea& out);
// The presentation rectangle less the menu bar; false without a piece.
bool win_content_rect(plat::Rect& out);
bool win_is_full_height();
bool win_near_screen_top();
enum class CoverCheck { height = 1, width = 2, both = 3 };
bool win_covers_screen(CoverCheck check);

enum class PlaceWhen { always, size_changed };
void win_place_presentation(plat::WindowHandle window, PlaceWhen when);
void win_center(plat::WindowHandle window);
void win_center_if_option(plat::WindowHandle window);
void win_set_caption(bool on);
enum class Corners { top_left, both };
// With apply, the presentation window's frame insets and position are added.
void win_client_to_screen(plat::Point& point, bool apply);
void win_rect_client_to_screen(plat::Rect& rect, bool apply, Corners corners);
// A rectangle stored as four i16 in an icon's property.
bool win_record_rect(IconId icon, uint16_t property, plat::Rect& out, bool to_screen, Corners corners);

// WM_GETMINMAXINFO; false while this module is maximising the window itself.
bool win_minmax_info(plat::MinMaxInfo& info);
// There is no task bar to maximise over: never maximises.
void win_maximize_over_taskbar();
void win_unmaximize();
// The piece's compact non-client metrics, for this program only; restored at shutdown.
void win_apply_compact_metrics();
void win_restore_metrics();
// WM_CREATE of the presentation window: keeps the system's metrics and puts the window off the
// screen until a piece places it.
void win_restore_saved_rect(plat::WindowHandle window);
// Forgets the window, the hooks and the metrics' copy (tests call it).
void win_place_reset();
