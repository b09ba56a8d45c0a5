#include "runtime/icons/icon_clock.h"

#include <algorithm>
#include <vector>

#include "platform/controls/msgbox.h"
#include "platform/gdi/clip.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/gdi_object.h"
#include "platform/gdi/shape.h"
#include "platform/kernel/byte_io.h"
#include "runtime/base/fix.h"
#include "runtime/display/dlist.h"
#include "runtime/display/dobj_icon.h"
#include "runtime/display/rect_list.h"
#include "runtime/engine/exec_hooks.h"
#include "runtime/engine/exec_task.h"
#include "runtime/engine/icon_wait.h"
#include "runtime/nodes/node_group.h"
#include "runtime/nodes/node_tree.h"
#include "runtime/ui/bitmap_res.h"

using plat::load_u32le;
using plat::store_u32le;

namespace {

constexpr uint32_t kClockRecordSize = uint32_t(kDobjHeaderSize) + uint32_t(kClockDataSize);
constexpr int kMsgSuspendResume = 65;
constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kWhite = 0xFFFFFF;
constexpr int32_t kMaxInterval = 10000;
// The radial points of the sector are taken this far out, so that small angles still move them.
constexpr int32_t kRadialLength = 1000;

ClockHooks s_hooks {};

uint8_t* data_of(uint8_t* object) { return object + kDobjHeaderSize; }

// A record restored from the learner's records may be short: such a one is left to the base.
bool whole(const uint8_t* object)
{
    return dobj_is_icon_object(object) && dobj_length(object) >= kClockRecordSize + kIconTailSize;
}

Stopwatch stopwatch_of(uint8_t* object)
{
    const uint8_t* p = data_of(object) + kClockStopwatch;
    return Stopwatch { load_u32le(p), p[4], p[5] };
}

void set_stopwatch(uint8_t* object, const Stopwatch& stopwatch)
{
    uint8_t* p = data_of(object) + kClockStopwatch;
    store_u32le(p, stopwatch.value);
    p[4] = stopwatch.pause_bits;
    p[5] = stopwatch.stopped;
}

void control(uint8_t* object, int operation)
{
    Stopwatch stopwatch = stopwatch_of(object);
    (void)clock_stopwatch_control(stopwatch, operation);
    set_stopwatch(object, stopwatch);
}

// A stored limit below 0 counts as 0: the limit has passed at the first look.
int32_t limit_of(uint8_t* object) { return std::max<int32_t>(0, int32_t(load_u32le(data_of(object) + kClockLimit))); }
uint8_t flags_of(uint8_t* object) { return data_of(object)[kClockFlags]; }
void set_flags(uint8_t* object, uint8_t flags) { data_of(object)[kClockFlags] = flags; }

bool visible(const uint8_t* object) { return (dobj_flags(object) & kDobjVisible) != 0; }
bool held(const Stopwatch& stopwatch) { return stopwatch.pause_bits != 0; }

void damage(uint8_t* object)
{
    if (visible(object))
        dobj_send(object, kMsgDamage, nullptr);
}

void flush()
{
    if (exec_hooks().screen_flush)
        exec_hooks().screen_flush();
}

// --- the face ---------------------------------------------------------------------------------

Point centre_of(const uint8_t* object)
{
    Rect bounds = dobj_rect(object, kDobjBounds);
    return Point { (bounds.left + bounds.right) / 2, (bounds.top + bounds.bottom) / 2 };
}

// The elapsed part of the limit as 16.16, at most one.
Fixed elapsed_fraction(uint8_t* object)
{
    int32_t limit = limit_of(object);
    uint32_t elapsed = clock_stopwatch_elapsed(stopwatch_of(object));
    if (limit == 0 || elapsed >= uint32_t(limit))
        return kFixedOne;
    return Fixed(int64_t(elapsed) * kFixedOne / limit);
}

void fill_face_part(plat::DcHandle dc, Point centre, const Point* radial)
{
    plat::GdiObject old_brush = plat::select_object(dc, plat::get_stock_object(plat::WHITE_BRUSH));
    plat::GdiObject old_pen = plat::select_object(dc, plat::get_stock_object(plat::NULL_PEN));
    int32_t left = centre.x - kClockFaceRadius;
    int32_t top = centre.y - kClockFaceRadius;
    int32_t right = centre.x + kClockFaceRadius;
    int32_t bottom = centre.y + kClockFaceRadius;
    if (radial) // counter-clockwise from the radial back to the top: the hand went clockwise
        plat::pie(dc, left, top, right, bottom, radial->x, radial->y, centre.x, centre.y - kRadialLength);
    else
        plat::ellipse(dc, left, top, right, bottom);
    plat::select_object(dc, old_pen);
    plat::select_object(dc, old_brush);
}

void draw_passed(plat::DcHandle dc, Point centre)
{
    fill_face_part(dc, centre, nullptr);
    plat::GdiObject old_pen = plat::select_object(dc, plat::get_stock_object(plat::BLACK_PEN));
    plat::move_to_ex(dc, centre.x, centre.y, nullptr);
    plat::line_to(dc, centre.x, centre.y - kClockFaceRadius);
    plat::select_object(dc, old_pen);
}

// The elapsed part turns white clockwise from the top, 31/32 of a turn at the limit, so that
// a face just short of its limit never looks empty.
void draw_elapsed(plat::DcHandle dc, Point centre, Fixed fraction)
{
    Fixed angle = Fixed(int64_t(fraction) * kFixedFullTurn / kFixedOne * 31 / 32);
    Fixed sine = fix_sin(angle);
    Fixed cosine = fix_sin(angle + kFixedQuarterTurn);
    Point radial { centre.x + int32_t(int64_t(sine) * kRadialLength / kFixedOne),
        centre.y - int32_t(int64_t(cosine) * kRadialLength / kFixedOne) };
    if (radial.x == centre.x && radial.y == centre.y - kRadialLength)
        return; // nothing elapsed yet: a pie of two equal radials would be the whole face
    fill_face_part(dc, centre, &radial);
}

void draw_face(uint8_t* object, plat::DcHandle dc)
{
    Rect bounds = dobj_rect(object, kDobjBounds);
    if (!rlist_select_clip(dobj_list_word(object, kDobjUpdate), &bounds, dc))
        return;
    Point centre = centre_of(object);
    glyph_draw(dc, kClockGlyph, kBlack, centre.x, centre.y);
    if (flags_of(object) & kClockLimitPassed)
        draw_passed(dc, centre);
    else
        draw_elapsed(dc, centre, elapsed_fraction(object));
    plat::select_clip_rgn(dc, plat::GdiObject {});
}

int32_t hit_test(uint8_t* object, DisplayMsgArg& arg)
{
    Point centre = centre_of(object);
    int64_t dx = int64_t(arg.x) - centre.x;
    int64_t dy = int64_t(arg.y) - centre.y;
    if (dx * dx + dy * dy > int64_t(kClockHitRadius) * kClockHitRadius)
        return 0;
    arg.caller_data = object;
    return -1;
}

void suspend_or_resume(uint8_t* object, int resume)
{
    control(object, resume ? kStopwatchResume0 : kStopwatchPause0);
    if (resume)
        damage(object);
}

// --- finding clocks ---------------------------------------------------------------------------

// Runs f on every live clock whose owner passes the test, with the stage list locked.
template <typename Test, typename F> void for_each_clock(Test test, F f)
{
    DisplayList& stage = dlist_stage();
    if (!dlist_lock(stage))
        return;
    for (uint8_t* object = dlist_first(stage); object; object = dlist_next(object)) {
        if (!whole(object) || (dobj_flags(object) & kDobjDeleted) || dobj_icon_object_kind(object) != kObjectKindClock)
            continue;
        if (test(dobj_icon_of(object)))
            f(object);
    }
    dlist_unlock(stage);
}

template <typename F> void for_each_clock_of(IconId icon, F f)
{
    for_each_clock([icon](IconId owner) { return owner == icon; }, f);
}

void add_task(IconId icon, int32_t limit_ms)
{
    (void)task_add(kTaskTimeLimit, icon, 0, resp_clock_interval(limit_ms));
}

// --- the tick ---------------------------------------------------------------------------------

enum class TickEnd { keep, end, passed };

// Draws the face when it shows and runs, then decides; the record is changed in place.
TickEnd tick(uint8_t* object)
{
    Stopwatch stopwatch = stopwatch_of(object);
    if (stopwatch.stopped)
        return TickEnd::end;
    if (visible(object) && !held(stopwatch))
        damage(object);
    if (held(stopwatch))
        return TickEnd::keep; // a held clock cannot run out; its task waits for the release
    if (elapsed_fraction(object) < kFixedOne)
        return TickEnd::keep;
    control(object, kStopwatchStop);
    return TickEnd::passed;
}

// The limit has passed: a response's clock is taken only while the response is active.
void limit_passed(IconId owner, uint8_t* object)
{
    bool for_response = flags_of(object) & kClockForResponse;
    if (for_response && !(s_hooks.response_active && s_hooks.response_active(owner)))
        return;
    if (visible(object)) {
        if (s_hooks.sound_stop)
            s_hooks.sound_stop();
        (void)plat::message_beep(0xFFFFFFFF);
    }
    set_flags(object, uint8_t(flags_of(object) | kClockLimitPassed));
    damage(object);
}

void owner_goes_on(IconId owner, bool for_response)
{
    if (for_response) {
        if (s_hooks.time_limit_jump)
            s_hooks.time_limit_jump(owner);
        return;
    }
    switch (node_kind(owner)) {
    case kKindDecision:
        if (s_hooks.decision_time_out)
            s_hooks.decision_time_out(owner);
        break;
    case kKindWait: (void)exec_wait_icon_done(owner); break;
    default: break;
    }
}

} // namespace

void resp_clock_set_hooks(const ClockHooks& hooks) { s_hooks = hooks; }
const ClockHooks& resp_clock_hooks() { return s_hooks; }

uint32_t resp_clock_interval(int32_t limit_ms)
{
    return uint32_t(std::clamp<int32_t>(std::max<int32_t>(limit_ms, 0) / 128, 1, kMaxInterval));
}

int resp_clock_create(IconId icon, int32_t limit_ms, int shown, int for_response)
{
    if (dobj_icon_exists(icon, kObjectKindClock))
        return 1;
    std::vector<uint8_t> record(kClockRecordSize + kIconTailSize, 0);
    plat::store_u16le(record.data(), uint16_t(kClockRecordSize));
    if (shown) {
        Point centre;
        (void)node_get_prop_point(icon, kPropClockCentre, centre); // none: the stage's corner
        Rect box { 0, 0, kClockBoxSize, kClockBoxSize };
        rect_center_on(centre, box);
        dobj_set_rect(record.data(), kDobjBounds, box);
    }
    uint8_t* data = record.data() + kDobjHeaderSize;
    Stopwatch stopwatch;
    (void)clock_stopwatch_control(stopwatch, kStopwatchStart);
    store_u32le(data + kClockStopwatch, stopwatch.value);
    store_u32le(data + kClockLimit, uint32_t(limit_ms));
    data[kClockFlags] = for_response ? kClockForResponse : 0;
    store_u32le(data + kClockOwner, icon);
    uint32_t id = dobj_create_for_icon(record.data(), kClockHandlerKind, icon, kObjectKindClock, kDobjPlaneBottom,
        kIconLayerFront);
    if (id == 0)
        return 0;
    if (!shown) {
        if (uint8_t* object = dobj_find_icon(icon, kObjectKindClock)) {
            dobj_set_flags(object, uint16_t(dobj_flags(object) & ~kDobjVisible));
            dlist_unlock(dlist_stage());
        }
    }
    add_task(icon, limit_ms);
    return 0;
}

void resp_clock_restart(IconId icon, int32_t limit_ms, int spare_expired)
{
    bool retime = false;
    bool found = false;
    for_each_clock_of(icon, [&](uint8_t* object) {
        if (spare_expired && (flags_of(object) & kClockLimitPassed))
            return;
        found = true;
        damage(object);
        control(object, kStopwatchStart);
        // Running again, it has not run out: the face and the next look start afresh.
        set_flags(object, uint8_t(flags_of(object) & ~kClockLimitPassed));
        if (limit_of(object) != limit_ms) {
            store_u32le(data_of(object) + kClockLimit, uint32_t(limit_ms));
            retime = true;
        }
    });
    if (!found)
        return;
    if (retime) {
        task_remove(kTaskTimeLimit, icon, 0);
        add_task(icon, limit_ms);
    } else {
        (void)task_add_if_absent(kTaskTimeLimit, icon, 0, resp_clock_interval(limit_ms));
    }
}

void resp_clock_hold(IconId icon)
{
    for_each_clock_of(icon, [](uint8_t* object) { control(object, kStopwatchPause1); });
}

void resp_clock_unhold(IconId icon)
{
    for_each_clock_of(icon, [](uint8_t* object) {
        control(object, kStopwatchResume1);
        damage(object);
    });
}

void resp_clock_stop(IconId interaction)
{
    for_each_clock([interaction](IconId owner) { return node_parent(owner) == interaction; },
        [](uint8_t* object) { control(object, kStopwatchStop); });
}

int32_t resp_clock_time_remaining(IconId icon)
{
    int32_t best = 0;
    for_each_clock([icon](IconId owner) { return owner == icon || node_parent(owner) == icon; },
        [&best](uint8_t* object) {
            int64_t left = int64_t(limit_of(object)) - clock_stopwatch_elapsed(stopwatch_of(object));
            if (left > 0 && (best == 0 || left < best))
                best = int32_t(left);
        });
    return best;
}

int resp_clock_task(uint32_t icon, uint32_t argument)
{
    if (icon == 1 && argument == 1)
        return s_hooks.timeout_task ? s_hooks.timeout_task() : 0;
    uint8_t* object = dobj_find_icon(icon, kObjectKindClock);
    if (!object)
        return 0;
    if (!whole(object)) {
        dlist_unlock(dlist_stage());
        return 0;
    }
    TickEnd end = tick(object);
    bool for_response = flags_of(object) & kClockForResponse;
    bool taken = false;
    if (end == TickEnd::passed) {
        limit_passed(icon, object);
        taken = flags_of(object) & kClockLimitPassed;
    }
    dlist_unlock(dlist_stage());
    flush();
    // The owner may erase the clock: the record is not touched after this.
    if (taken)
        owner_goes_on(icon, for_response);
    return end == TickEnd::keep ? 1 : 0;
}

int32_t resp_clock_handler(uint8_t* object, int message, DisplayMsgArg* given)
{
    DisplayMsgArg blank;
    DisplayMsgArg& arg = given ? *given : blank;
    if (!whole(object))
        return dobj_default_handler(object, message, &arg);
    switch (message) {
    case kMsgDraw: draw_face(object, arg.dc); return 0;
    case kMsgHitTest: return hit_test(object, arg);
    case kMsgSetBounds: return dobj_recentre_on_move(object, message, &arg);
    case kMsgErase:
        task_remove(kTaskTimeLimit, dobj_icon_of(object), 0);
        return dobj_default_handler(object, message, &arg);
    case kMsgSuspendResume: suspend_or_resume(object, arg.sub_code); return 0;
    default: return dobj_default_handler(object, message, &arg);
    }
}

static void wait_clock_erase(IconId icon) { dobj_erase_icon(icon, kObjectKindClock); }

void icon_clock_install()
{
    dobj_register_kind(kClockHandlerKind, resp_clock_handler);
    task_set_function(kTaskTimeLimit, resp_clock_task);
    WaitClockHooks wait {};
    wait.create = resp_clock_create;
    wait.restart = resp_clock_restart;
    wait.erase = wait_clock_erase;
    exec_wait_set_clock_hooks(&wait);
}

void icon_clock_reset() { s_hooks = ClockHooks {}; }
