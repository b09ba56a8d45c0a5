#include "runtime/display/refresh.h"

#include "platform/gdi/bitmap.h"
#include "platform/gdi/clip.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/mapping.h"
#include "platform/gdi/palette.h"
#include "platform/gdi/region.h"
#include "platform/kernel/clock.h"
#include "platform/window/paint.h"
#include "platform/window/window.h"
#include "runtime/display/dlist.h"
#include "runtime/display/dobj.h"
#include "runtime/display/dobj_icon.h"
#include "runtime/display/palette.h"
#include "runtime/display/refresh_paint.h"
#include "runtime/engine/exec_hooks.h"
#include "runtime/engine/modbus.h"
#include "runtime/engine/session.h"
#include "runtime/base/errcode.h"
#include "runtime/files/err.h"

namespace {

constexpr uint32_t kWhite = 0xFFFFFF;
constexpr int kIconKindDisplay = 1;
constexpr int kIconKindErase = 3;
constexpr uint32_t kPaletteRelative = 0x2000000;

enum PlaneIndex { kBottom = 0, kMiddle = 1, kScreen = 2 };

struct ScreenPlane {
    plat::DcHandle dc;
    RectList damage = 0;
    plat::GdiObject bitmap; // offscreen planes only; kept between refreshes
    plat::GdiObject previous;
};

struct ScreenState {
    plat::WindowHandle window;
    Rect stage;
    Point origin;
    bool refresh_needed = false;
    bool refreshing = false;
    ScreenPlane planes[3];
    bool absent[2] = {false, false}; // bottom, middle: not to be made
    int last_depth = 0;
    bool flash = false;
    uint32_t background = kWhite;
    plat::GdiObject background_brush;
    PendingTransition pending;
    TransitionPainter painter = nullptr;
    ScreenHooks hooks;
};

ScreenState s_screen;

plat::Size stage_size() { return plat::Size{s_screen.stage.width(), s_screen.stage.height()}; }

void release_plane_dc(ScreenPlane& plane)
{
    if (!plane.dc)
        return;
    plat::select_object(plane.dc, plane.previous);
    plat::delete_dc(plane.dc);
    plane.dc = {};
    plane.previous = {};
}

void delete_plane_bitmap(ScreenPlane& plane)
{
    release_plane_dc(plane);
    if (plane.bitmap)
        plat::delete_object(plane.bitmap);
    plane.bitmap = {};
}

bool bitmap_fits_stage(plat::GdiObject bitmap)
{
    plat::BitmapInfo info;
    plat::Size size = stage_size();
    return plat::get_object(bitmap, info) && info.width == size.cx && info.height == size.cy;
}

bool select_into_new_dc(ScreenPlane& plane, plat::DcHandle screen_dc)
{
    plane.dc = plat::create_compatible_dc(screen_dc);
    if (plane.dc)
        plane.previous = plat::select_object(plane.dc, plane.bitmap);
    if (plane.dc && plane.previous)
        return true;
    if (plane.dc)
        plat::delete_dc(plane.dc);
    plane.dc = {};
    plane.previous = {};
    plat::delete_object(plane.bitmap);
    plane.bitmap = {};
    return false;
}

// Readies an offscreen plane for this refresh: its kept bitmap in a new DC, or a new bitmap
// of the stage's size with the whole stage damaged. A bitmap that cannot be made is reported
// and the plane stays absent until the plane mode is set again.
void ready_plane(PlaneIndex index, plat::DcHandle screen_dc)
{
    ScreenPlane& plane = s_screen.planes[index];
    if (!plane.dc && plane.bitmap && !bitmap_fits_stage(plane.bitmap))
        delete_plane_bitmap(plane);
    if (!plane.dc && plane.bitmap)
        select_into_new_dc(plane, screen_dc);
    if (!plane.dc && !s_screen.absent[index]) {
        plat::Size size = stage_size();
        plane.bitmap = index == kBottom ? plat::create_compatible_bitmap(screen_dc, size.cx, size.cy)
                                        : plat::create_discardable_bitmap(screen_dc, size.cx, size.cy);
        if (plane.bitmap && select_into_new_dc(plane, screen_dc)) {
            plane.damage = rlist_add(plane.damage, s_screen.stage);
        } else {
            delete_plane_bitmap(plane);
            exec_report_error(kMsgPlaneFailed, msg_error_text(kErrOutOfMemory));
        }
    }
    s_screen.absent[index] = !plane.bitmap;
}

// Middle plane failed but the bottom one is there: the bottom one serves as the middle.
void promote_bottom()
{
    ScreenPlane& bottom = s_screen.planes[kBottom];
    ScreenPlane& middle = s_screen.planes[kMiddle];
    if (!bottom.dc || middle.dc)
        return;
    middle.dc = bottom.dc;
    middle.bitmap = bottom.bitmap;
    middle.previous = bottom.previous;
    middle.damage = rlist_add(middle.damage, s_screen.stage);
    bottom = ScreenPlane{};
}

int screen_depth(plat::DcHandle dc)
{
    return plat::get_device_caps(dc, plat::BITSPIXEL) * plat::get_device_caps(dc, plat::PLANES);
}

void note_depth(plat::DcHandle dc)
{
    int depth = screen_depth(dc);
    if (s_screen.last_depth && depth != s_screen.last_depth) {
        DisplayMsgArg arg;
        dlist_broadcast(dlist_stage(), 0, kMsgDepthChanged, &arg);
    }
    s_screen.last_depth = depth;
}

// The damage the pool could not hold is lost: all of the stage is repainted instead.
void recover_from_overflow()
{
    if (!rlist_pool_overflowed())
        return;
    rlist_free_pool();
    for (ScreenPlane& plane : s_screen.planes)
        plane.damage = rlist_add(0, s_screen.stage);
}

// Every list handed out from the pool is gone with it: the planes' and every object's.
void forget_all_lists()
{
    for (ScreenPlane& plane : s_screen.planes)
        plane.damage = 0;
    refresh_clear_object_lists(dlist_stage());
}

void report_sync(int mode)
{
    exec_sync_event(mode, kIconKindDisplay, 0);
    exec_sync_event(mode, kIconKindErase, 0);
}

} // namespace

// --- stage and device contexts -------------------------------------------------------------

void screen_set_window(plat::WindowHandle window)
{
    s_screen.window = window;
    screen_update_stage_rect();
}

plat::WindowHandle screen_window() { return s_screen.window; }

void screen_update_stage_rect()
{
    Rect client;
    if (!s_screen.window || !plat::get_client_rect(s_screen.window, client)) {
        s_screen.stage = Rect{};
        return;
    }
    client.bottom += s_screen.origin.y;
    s_screen.stage = client;
}

void screen_release_planes()
{
    s_screen.window = {};
    s_screen.stage = Rect{};
    delete_plane_bitmap(s_screen.planes[kBottom]);
    delete_plane_bitmap(s_screen.planes[kMiddle]);
}

void screen_get_origin(int32_t& x, int32_t& y)
{
    x = s_screen.origin.x;
    y = s_screen.origin.y;
}

void screen_set_origin(int32_t x, int32_t y)
{
    s_screen.origin = Point{x, y};
    screen_update_stage_rect();
}

void screen_rect_to_stage(Rect& rect)
{
    rect.left += s_screen.origin.x;
    rect.right += s_screen.origin.x;
    rect.top += s_screen.origin.y;
    rect.bottom += s_screen.origin.y;
}

void screen_point_to_stage(Point& point)
{
    point.x += s_screen.origin.x;
    point.y += s_screen.origin.y;
}

void screen_point_from_stage(Point& point)
{
    point.x -= s_screen.origin.x;
    point.y -= s_screen.origin.y;
}

bool screen_stage_rect(Rect& out)
{
    out = s_screen.stage;
    return !rect_is_empty(out);
}

Rect screen_client_rect()
{
    Rect client;
    if (s_screen.window && plat::get_client_rect(s_screen.window, client)) {
        screen_rect_to_stage(client);
        return client;
    }
    Rect area;
    if (s_screen.hooks.presentation_area && s_screen.hooks.presentation_area(area))
        return area;
    return Rect{};
}

plat::DcHandle screen_get_dc(plat::WindowHandle window)
{
    plat::DcHandle dc = plat::get_dc(window);
    if (!dc)
        return dc;
    plat::set_window_org_ex(dc, s_screen.origin.x, s_screen.origin.y, nullptr);
    pal_select_realize(dc);
    return dc;
}

void screen_release_dc(plat::WindowHandle window, plat::DcHandle dc) { plat::release_dc(window, dc); }

void screen_select_clip_region(plat::DcHandle dc, plat::GdiObject region)
{
    plat::Point origin;
    plat::get_window_org_ex(dc, origin);
    plat::offset_rgn(region, -origin.x, -origin.y);
    plat::select_clip_rgn(dc, region);
    plat::offset_rgn(region, origin.x, origin.y);
}

// --- damage --------------------------------------------------------------------------------

void screen_damage_rect(const Rect& rect, int plane)
{
    int first;
    switch (plane) {
    case kPlaneBottom: first = kBottom; break;
    case kPlaneMiddle: first = kMiddle; break;
    case kPlaneScreen: first = kScreen; break;
    default: return;
    }
    Rect clipped;
    if (plat::intersect_rect(clipped, rect, s_screen.stage)) {
        for (int i = first; i <= kScreen; i++)
            s_screen.planes[i].damage = rlist_add(s_screen.planes[i].damage, clipped);
    }
    s_screen.refresh_needed = true;
}

void screen_invalidate_all() { screen_damage_rect(screen_client_rect(), kPlaneBottom); }
void screen_set_refresh_needed() { s_screen.refresh_needed = true; }
bool screen_refresh_needed() { return s_screen.refresh_needed; }

// --- refresh -------------------------------------------------------------------------------

void screen_refresh()
{
    if (!s_screen.window) {
        dlist_purge_deleted(dlist_stage(), DlistWalk::forward);
        return;
    }
    plat::DcHandle dc = screen_get_dc(s_screen.window);
    if (!dc)
        return;
    plat::DcHandle before = s_screen.planes[kScreen].dc;
    s_screen.planes[kScreen].dc = dc;
    screen_refresh_planes();
    s_screen.planes[kScreen].dc = before;
    screen_release_dc(s_screen.window, dc);
}

void screen_refresh_planes()
{
    if (s_screen.refreshing)
        return;
    s_screen.refreshing = true;
    dlist_keep_order(dlist_stage());
    ScreenPlane* planes = s_screen.planes;
    plat::DcHandle screen_dc = planes[kScreen].dc;
    recover_from_overflow();
    Rect update;
    if (plat::get_update_rect(s_screen.window, &update, false) && !rect_is_empty(update)) {
        screen_rect_to_stage(update);
        planes[kScreen].damage = rlist_add(planes[kScreen].damage, update);
    }
    ready_plane(kBottom, screen_dc);
    RectList below = planes[kBottom].damage;
    if (planes[kBottom].dc)
        below = refresh_paint_plane(planes[kBottom].damage, kPlaneBottom, plat::DcHandle{}, planes[kBottom].dc);
    ready_plane(kMiddle, screen_dc);
    promote_bottom();
    s_screen.absent[kMiddle] = !planes[kMiddle].bitmap;
    if (planes[kMiddle].dc) {
        int mask = planes[kBottom].dc ? kPlaneMiddle : kPlaneBottom | kPlaneMiddle;
        RectList damage = rlist_append_list(planes[kMiddle].damage, planes[kBottom].dc ? below : 0);
        below = refresh_paint_plane(damage, mask, planes[kBottom].dc, planes[kMiddle].dc);
    } else {
        below = rlist_append_list(below, planes[kMiddle].damage);
    }
    release_plane_dc(planes[kBottom]);
    int mask = planes[kMiddle].dc ? kPlaneScreen : kPlaneBottom | kPlaneMiddle | kPlaneScreen;
    RectList damage = rlist_append_list(planes[kScreen].damage, below);
    refresh_paint_plane(damage, mask, planes[kMiddle].dc, screen_dc);
    release_plane_dc(planes[kMiddle]);
    rlist_free_pool();
    dlist_drop_order();
    note_depth(screen_dc);
    dlist_purge_deleted(dlist_stage(), DlistWalk::forward);
    s_screen.refresh_needed = false;
    s_screen.refreshing = false;
}

void screen_flush_ex(FlushReset reset)
{
    if (dobj_walk_depth() != 0 || !s_screen.refresh_needed)
        return;
    report_sync(1); // the clock takes only the moments of the mode it waits in
    int32_t effect = s_screen.pending.effect;
    if (effect != 0 && effect != -1 && effect != 1 && effect != 2 && s_screen.hooks.transition_painter)
        s_screen.painter = s_screen.hooks.transition_painter(s_screen.pending);
    screen_refresh();
    s_screen.painter = nullptr;
    if (reset == FlushReset::reset) {
        s_screen.pending = PendingTransition{};
    }
    report_sync(2);
}

void screen_flush() { screen_flush_ex(FlushReset::reset); }

int screen_set_plane_mode(int mode)
{
    if (mode >= 1 && mode <= 3) {
        s_screen.absent[kBottom] = mode != 3;
        s_screen.absent[kMiddle] = mode == 1;
        for (int index : {kBottom, kMiddle}) {
            if (s_screen.absent[index])
                delete_plane_bitmap(s_screen.planes[index]);
        }
        plat::DcHandle dc = s_screen.window ? plat::get_dc(s_screen.window) : plat::DcHandle{};
        if (dc) {
            for (PlaneIndex index : {kBottom, kMiddle}) {
                ready_plane(index, dc);
                release_plane_dc(s_screen.planes[index]);
            }
            plat::release_dc(s_screen.window, dc);
        }
    }
    return screen_plane_count();
}

int screen_plane_count()
{
    int count = 1;
    for (int index : {kBottom, kMiddle})
        count += !s_screen.absent[index] && s_screen.planes[index].bitmap ? 1 : 0;
    return count;
}

void screen_set_flash_debug(bool on) { s_screen.flash = on; }

bool screen_plane_has_bitmap(int plane)
{
    int index = plane == kPlaneBottom ? kBottom : kMiddle;
    return bool(s_screen.planes[index].bitmap);
}

bool screen_plane_absent(int plane) { return s_screen.absent[plane == kPlaneBottom ? kBottom : kMiddle]; }

int screen_last_depth() { return s_screen.last_depth; }

// --- painting one plane ----------------------------------------------------------------------

bool refresh_flash_on() { return s_screen.flash; }
plat::DcHandle refresh_screen_dc() { return s_screen.planes[kScreen].dc; }
TransitionPainter refresh_painter() { return s_screen.painter; }
const Rect& refresh_stage() { return s_screen.stage; }
void refresh_sound_service()
{
    if (s_screen.hooks.sound_service)
        s_screen.hooks.sound_service();
}

// --- the stage background ------------------------------------------------------------------

void dobj_set_background_color(uint32_t color)
{
    if (color == s_screen.background && s_screen.background_brush)
        return;
    s_screen.background = color;
    dobj_rebuild_background_brush();
}

uint32_t screen_background_color() { return s_screen.background; }

void dobj_rebuild_background_brush()
{
    if (s_screen.window)
        screen_damage_rect(s_screen.stage, kPlaneBottom);
    dobj_free_background_brush();
    plat::DcHandle dc = plat::get_dc(plat::WindowHandle{});
    if (!dc)
        return;
    plat::GdiObject previous = pal_current() ? plat::select_palette(dc, pal_current(), false) : plat::GdiObject{};
    uint32_t nearest = plat::get_nearest_color(dc, (s_screen.background & 0xFFFFFF) | kPaletteRelative);
    s_screen.background_brush = plat::create_solid_brush((nearest & 0xFFFFFF) | kPaletteRelative);
    if (previous)
        plat::select_palette(dc, previous, false);
    plat::release_dc(plat::WindowHandle{}, dc);
}

void dobj_free_background_brush()
{
    if (s_screen.background_brush)
        plat::delete_object(s_screen.background_brush);
    s_screen.background_brush = {};
}

void screen_fill_background(RectList list, plat::DcHandle dc)
{
    plat::GdiObject brush = s_screen.background_brush ? s_screen.background_brush : plat::get_stock_object(plat::WHITE_BRUSH);
    rlist_fill(list, dc, brush);
}

// --- hooks, start and reset ------------------------------------------------------------------

PendingTransition& screen_pending_transition() { return s_screen.pending; }

void screen_set_hooks(const ScreenHooks& hooks) { s_screen.hooks = hooks; }

static int refresh_is_pending() { return s_screen.refresh_needed ? 1 : 0; }

void screen_init()
{
    DobjScreenHooks objects{};
    objects.stage_rect = screen_stage_rect;
    objects.rlist_add = rlist_add;
    objects.rlist_append_list = rlist_append_list;
    objects.rlist_copy = rlist_copy;
    objects.set_refresh_needed = screen_set_refresh_needed;
    objects.damage_rect = screen_damage_rect;
    objects.background_color = screen_background_color;
    dobj_set_screen_hooks(objects);
    rlist_set_pool_freed_hook(forget_all_lists);
    dobj_icon_init();
    ExecHooks engine = exec_hooks();
    engine.screen_flush = screen_flush;
    engine.damage_pending = refresh_is_pending;
    engine.screen_invalidate_all = screen_invalidate_all;
    exec_set_hooks(&engine);
}

void screen_reset()
{
    screen_release_planes();
    rlist_set_pool_freed_hook(nullptr);
    rlist_free_pool();
    dobj_free_background_brush();
    ScreenHooks hooks = s_screen.hooks;
    s_screen = ScreenState{};
    s_screen.hooks = hooks;
    rlist_set_pool_freed_hook(forget_all_lists);
}
