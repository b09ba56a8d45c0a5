// The screen refresh: damage is recorded as rectangle lists and repainted later through three
// planes, a bottom offscreen bitmap (background and bottom objects), a middle one (the bottom
// plane plus middle objects) and the presentation window itself (the middle plane plus screen
// objects), so that a change on a plane redraws only that plane and those above it.
//
// Stage coordinates: the window's client area shows the stage moved by the stage origin
// (stage point = client point + origin). Damage is always clipped to the stage rectangle.
#pragma once
#include <cstdint>

#include "platform/gdi/gdi_object.h"
#include "platform/window/window_types.h"
#include "platform/window/message.h"
#include "runtime/base/rect.h"
#include "runtime/display/rect_list.h"

// Plane bits of display objects and of damage.
enum : int {
    kPlaneBottom = 2,
    kPlaneMiddle = 4,
    kPlaneScreen = 8,
};

// The refresh's flash-debug colours: red for the bottom plane, green middle, blue screen.
constexpr uint32_t kFlashBottom = 0x0000FF;
constexpr uint32_t kFlashMiddle = 0x00FF00;
constexpr uint32_t kFlashScreen = 0xFF0000;
constexpr uint32_t kFlashWaitMs = 200;
// The system-problem report shown when a plane bitmap cannot be made.
constexpr uint32_t kMsgPlaneFailed = 55;

// --- stage and device contexts -------------------------------------------------------------
// The presentation window (null: none); the stage rectangle comes from its client area.
void screen_set_window(plat::WindowHandle window);
plat::WindowHandle screen_window();
void screen_update_stage_rect();
// Forgets the window and deletes both plane bitmaps.
void screen_release_planes();
void screen_get_origin(int32_t& x, int32_t& y);
void screen_set_origin(int32_t x, int32_t y);
void screen_rect_to_stage(Rect& rect);
void screen_point_to_stage(Point& point);
void screen_point_from_stage(Point& point);
// The stage rectangle; false when there is no window (nothing to damage).
bool screen_stage_rect(Rect& out);
// The client rectangle moved by the origin; without a window, the presentation area the
// piece asks for (empty until the window placement fills its hook).
Rect screen_client_rect();
// GetDC with the window origin moved by the stage origin and the palette realised.
plat::DcHandle screen_get_dc(plat::WindowHandle window);
void screen_release_dc(plat::WindowHandle window, plat::DcHandle dc);
// Offsets the region (stage coordinates) to the DC's device and selects it.
void screen_select_clip_region(plat::DcHandle dc, plat::GdiObject region);

// --- damage --------------------------------------------------------------------------------
// Clipped to the stage and added to the plane and every plane above it (2, 4 or 8; anything
// else does nothing); the refresh becomes needed.
void screen_damage_rect(const Rect& rect, int plane);
void screen_invalidate_all();
void screen_set_refresh_needed();
bool screen_refresh_needed();

// --- refresh -------------------------------------------------------------------------------
// Without a window only purges deleted objects; otherwise repaints the damage on all planes.
void screen_refresh();
void screen_refresh_planes();
// The idle pass's flush: nothing while an object walk runs or nothing is damaged; reports
// the moments to the synchronisation clock; with reset the pending transition ends.
enum class FlushReset { keep, reset };
void screen_flush_ex(FlushReset reset);
void screen_flush();
// 1 no offscreen planes, 2 the middle only, 3 both; other values keep the choice. Answers the
// plane count (1 + the offscreen planes made).
int screen_set_plane_mode(int mode);
int screen_plane_count();
void screen_set_flash_debug(bool on);
// Whether the offscreen plane (kPlaneBottom or kPlaneMiddle) has a bitmap, or is absent.
bool screen_plane_has_bitmap(int plane);
bool screen_plane_absent(int plane);
// The depth the last refresh saw (0 before the first).
int screen_last_depth();

// --- the stage background ------------------------------------------------------------------
void dobj_set_background_color(uint32_t color);
uint32_t screen_background_color();
void dobj_rebuild_background_brush();
void dobj_free_background_brush();
// Fills the list with the background brush (white without one).
void screen_fill_background(RectList list, plat::DcHandle dc);

// --- services later work fills (empty: absent, never called) --------------------------------
// The pending transition: effect 0, -1, 1 and 2 paint plainly; the transition painter (which
// the transitions fill) takes the screen plane's copy for the others.
struct PendingTransition {
    int32_t effect = 0;
    uint32_t icon = 0;
    int32_t parameter = 0;
    bool keep = false;
};
PendingTransition& screen_pending_transition();
using TransitionPainter = void (*)(RectList list, plat::DcHandle source, plat::DcHandle target, const Rect& stage);
struct ScreenHooks {
    // Keeps the sound stream fed between plane repaints.
    void (*sound_service)() = nullptr;
    // The painter for the pending transition's effect (null: a plain copy).
    TransitionPainter (*transition_painter)(const PendingTransition& pending) = nullptr;
    // The presentation area without a window.
    bool (*presentation_area)(Rect& out) = nullptr;
};
void screen_set_hooks(const ScreenHooks& hooks);

// Binds the display objects to the refresh (their damage, the stage, the background) and the
// engine's screen hooks; start-up and tests.
void screen_init();
// Back to the start: no window, planes, damage or pool (tests call it).
void screen_reset();
