#include "runtime/display/refresh_paint.h"

#include "platform/gdi/clip.h"
#include "platform/kernel/clock.h"
#include "runtime/display/dlist.h"
#include "runtime/display/dobj.h"
#include "runtime/display/group.h"
#include "runtime/display/palette.h"

namespace {

constexpr uint16_t kListWords[] = {kDobjUpdate, kDobjDamage, kDobjSpare};

bool shares_plane(const uint8_t* object, int mask) { return (dobj_flags(object) & mask) != 0; }

void clear_lists(uint8_t* object)
{
    for (uint16_t offset : kListWords)
        dobj_set_list_word(object, offset, 0);
}

uint32_t flash_colour(int mask)
{
    if (mask & kPlaneBottom)
        return kFlashBottom;
    if (mask & kPlaneMiddle)
        return kFlashMiddle;
    return kFlashScreen;
}

void flash(RectList list, int mask)
{
    rlist_fill_color(list, refresh_screen_dc(), flash_colour(mask));
    uint32_t start = plat::get_tick_count();
    for (uint32_t waited = 0; waited < kFlashWaitMs; waited = plat::get_tick_count() - start)
        plat::clock_wait(kFlashWaitMs - waited);
}

// Message 85 after the screen plane is drawn: what the objects hand back is copied from the
// plane below once more, around every visible object of the plane.
void after_screen(DisplayList& stage, int mask, plat::DcHandle source, plat::DcHandle target)
{
    plat::select_clip_rgn(target, plat::GdiObject{});
    RectList again = dlist_send_plane(stage, uint16_t(mask), 0, target, kMsgAfterScreen);
    if (!again || !source)
        return;
    screen_exclude_objects(stage, mask, ExcludeWhich::all, target);
    rlist_blit(again, source, target);
    plat::select_clip_rgn(target, plat::GdiObject{});
}

} // namespace

RectList refresh_paint_plane(RectList damage, int mask, plat::DcHandle source, plat::DcHandle target)
{
    DisplayList& stage = dlist_stage();
    pal_select_realize(target);
    RectList list = rlist_merge(dlist_collect_damage(stage, uint16_t(mask), damage));
    bool screen = (mask & kPlaneScreen) != 0;
    if (screen)
        screen_exclude_objects(stage, mask, ExcludeWhich::opaque, target);
    if (refresh_flash_on())
        flash(list, mask);
    if (source) {
        TransitionPainter painter = refresh_painter();
        if (painter && mask == kPlaneScreen)
            painter(list, source, target, refresh_stage());
        else
            rlist_blit(list, source, target);
    } else if (mask & kPlaneBottom) {
        screen_fill_background(list, target);
    }
    refresh_sound_service();
    if (!dlist_lock(stage)) {
        if (screen)
            plat::select_clip_rgn(target, plat::GdiObject{});
        return list;
    }
    RectList result = dlist_draw_plane(stage, mask, list, target);
    if (screen)
        after_screen(stage, mask, source, target);
    dlist_unlock(stage);
    return result;
}

RectList dlist_draw_plane(DisplayList& list, int mask, RectList rects, plat::DcHandle dc)
{
    if (!dlist_lock(list))
        return rects;
    RectList running = rects;
    DlistOrder order(list, DlistWalk::forward);
    for (uint8_t* object = order.first(); object; object = order.next(object)) {
        if (!shares_plane(object, mask))
            continue;
        // What an object behind drew is redrawn by every object in front of it, also when the
        // running list was empty before.
        running = rlist_append_list(running, dobj_list_word(object, kDobjUpdate));
        dobj_set_list_word(object, kDobjUpdate, running);
        uint16_t flags = dobj_flags(object);
        DisplayMsgArg arg;
        arg.sub_code = int16_t(mask);
        arg.dc = dc;
        if (flags & kDobjVisible) {
            int32_t answer = dobj_send(object, kMsgDraw, &arg);
            if (answer)
                running = RectList(answer);
        } else if (!(flags & kDobjDeleted)) {
            dobj_send(object, kMsgDropUpdate, &arg);
        }
        clear_lists(object);
    }
    dlist_unlock(list);
    return running;
}

void screen_exclude_objects(DisplayList& list, int mask, ExcludeWhich which, plat::DcHandle dc)
{
    if (!dlist_lock(list))
        return;
    DlistOrder order(list, DlistWalk::forward);
    for (uint8_t* object = order.first(); object; object = order.next(object)) {
        uint16_t flags = dobj_flags(object);
        if (!shares_plane(object, mask) || !(flags & kDobjVisible) || (flags & kDobjDeleted))
            continue;
        if (which == ExcludeWhich::opaque && !(flags & kDobjOpaque))
            continue;
        Rect bounds = dobj_rect(object, kDobjBounds);
        plat::exclude_clip_rect(dc, bounds.left, bounds.top, bounds.right, bounds.bottom);
    }
    dlist_unlock(list);
}

void refresh_clear_object_lists(DisplayList& list)
{
    if (!dlist_lock(list))
        return;
    DlistOrder order(list, DlistWalk::forward);
    for (uint8_t* object = order.first(); object; object = order.next(object)) {
        clear_lists(object);
        if (!group_has_members(object))
            continue;
        DisplayList members = dlist_load(object + kDobjHeaderSize);
        if (members.block)
            refresh_clear_object_lists(members);
    }
    dlist_unlock(list);
}
