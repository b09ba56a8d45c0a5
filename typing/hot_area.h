// Hot areas: rectangles of a screen's background that light up under the mouse and post
// their command when clicked. The 25 areas are built once, from three picture strips whose
// first half holds each area's lit look and whose second half its pressed look; each window
// passes the list of identifiers live on it, since areas of different screens share places.
#pragma once
#include <cstdint>
#include <span>

#include "platform/window/geometry.h"
#include "platform/window/message.h"
#include "platform/window/window_types.h"

constexpr int kHotAreaCount = 25;
constexpr uint32_t kMsgHotAreaDrop = 1124; // the lit area goes back to the background

struct HotArea {
    uint16_t id = 0;
    plat::Rect rect;
    plat::GdiObject strip; // shared by the areas of one strip
    int32_t source_x = 0; // of the lit picture
    int32_t count = 0; // pictures in each half of the strip
};

// The areas of each window.
inline constexpr uint16_t kMenuAreas[] = {200, 301, 302, 500, 401, 901, 103, 108};
inline constexpr uint16_t kPracticeAreas[] = {2};
inline constexpr uint16_t kLongTextAreas[] = {3101, 2};
inline constexpr uint16_t kStatisticsAreas[] = {902, 903, 2, 501, 502, 503};
inline constexpr uint16_t kStoryChooserAreas[] = {902, 903};
inline constexpr uint16_t kUserDialogAreas[] = {904, 905};
inline constexpr uint16_t kOptionsAreas[] = {906};
inline constexpr uint16_t kDeleteAreas[] = {908, 909};

// Loads the strips and places the areas; false when a strip is missing (its areas stay,
// drawn as nothing). Areas that exist already are kept.
bool hot_area_build();
void hot_area_free();
bool hot_areas_built();
const HotArea* hot_area_by_id(uint16_t id);
// The first area of the list holding the point; its index among all areas, or -1.
int hot_area_find(int32_t x, int32_t y, std::span<const uint16_t> list);
// Tracks the mouse over the window's live areas: button down presses and captures, up
// releases and posts WM_COMMAND with the area's identifier when the pointer is still on one.
void hot_area_mouse(plat::WindowHandle window, uint32_t message, plat::WParam wparam, plat::LParam lparam,
    std::span<const uint16_t> list);
// Draws the area's lit or pressed picture in the window.
void hot_area_draw(plat::WindowHandle window, uint16_t id, bool pressed);
// WM_NCHITTEST: HTCAPTION when the screen is wider than 640 pixels, the point is on no live
// area and the primary button is down, so a captionless window is dragged by its background.
plat::LResult hot_area_hittest(plat::WindowHandle window, uint32_t message, plat::WParam wparam,
    plat::LParam lparam, std::span<const uint16_t> list);
int hot_area_current(); // the lit area's index, -1 for none
void hot_area_reset(); // tests: frees the areas and clears the tracker
