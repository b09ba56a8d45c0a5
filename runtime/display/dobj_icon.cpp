#include "runtime/display/dobj_icon.h"

#include <algorithm>
#include <cstring>

#include "platform/kernel/byte_io.h"
#include "runtime/display/dlist.h"
#include "runtime/engine/exec_hooks.h"
#include "runtime/engine/icon_props.h"
#include "runtime/engine/icon_seq.h"
#include "runtime/engine/modbus.h"
#include "runtime/engine/trig.h"
#include "runtime/nodes/node_attr.h"
#include "runtime/nodes/node_tree.h"

using plat::load_u16le;
using plat::load_u32le;
using plat::store_u16le;
using plat::store_u32le;

// Layers of the missing neighbours when a layer is changed.
constexpr int32_t kNoLayerInFront = 0x40000000;
constexpr int32_t kNoLayerBehind = -0x40000000;
constexpr uint32_t kMemberOleKind = uint32_t(kDobjMemberKinds) + 5;
constexpr int kErrNoMemory = 8;

static struct {
    DobjIconHooks hooks = {};
    bool pointer_tracking = false;
} g;

void dobj_set_icon_hooks(const DobjIconHooks& hooks) { g.hooks = hooks; }
const DobjIconHooks& dobj_icon_hooks() { return g.hooks; }
bool dobj_pointer_tracking() { return g.pointer_tracking; }
void dobj_set_pointer_tracking(bool on) { g.pointer_tracking = on; }

// --- the tail ---------------------------------------------------------------------------------

bool dobj_is_icon_object(const uint8_t* object)
{
    return dobj_kind(object) == kDobjKindIconWrapper && dobj_length(object) >= kDobjHeaderSize + kIconTailSize;
}

uint8_t* dobj_icon_tail(uint8_t* object) { return object + dobj_length(object) - kIconTailSize; }
const uint8_t* dobj_icon_tail(const uint8_t* object) { return object + dobj_length(object) - kIconTailSize; }
IconId dobj_icon_of(const uint8_t* object) { return load_u32le(dobj_icon_tail(object) + kIconTailIcon); }
uint16_t dobj_icon_object_kind(const uint8_t* object) { return load_u16le(dobj_icon_tail(object) + kIconTailObjectKind); }
int32_t dobj_icon_layer(const uint8_t* object) { return int32_t(load_u32le(dobj_icon_tail(object) + kIconTailLayer)); }
int16_t dobj_icon_sequence(const uint8_t* object) { return int16_t(load_u16le(dobj_icon_tail(object) + kIconTailSequence)); }
void dobj_icon_set_sequence(uint8_t* object, int16_t sequence)
{
    store_u16le(dobj_icon_tail(object) + kIconTailSequence, uint16_t(sequence));
}
int32_t dobj_icon_erase_allowed(const uint8_t* object)
{
    return int32_t(load_u32le(dobj_icon_tail(object) + kIconTailEraseAllowed));
}
void dobj_icon_set_erase_allowed(uint8_t* object, int32_t allowed)
{
    store_u32le(dobj_icon_tail(object) + kIconTailEraseAllowed, uint32_t(allowed));
}
uint32_t dobj_icon_kind_handler(const uint8_t* object) { return load_u32le(dobj_icon_tail(object) + kIconTailKind); }
static void set_layer(uint8_t* object, int32_t layer) { store_u32le(dobj_icon_tail(object) + kIconTailLayer, uint32_t(layer)); }

static bool is_live_icon(const uint8_t* object)
{
    return dobj_is_icon_object(object) && !(dobj_flags(object) & kDobjDeleted);
}

static bool has_plane(const uint8_t* object) { return (dobj_flags(object) & kDobjPlaneBits) != 0; }

static void fill_tail(uint8_t* object, uint32_t kind_handler, IconId icon, uint16_t object_kind, uint16_t plane,
    int32_t layer)
{
    uint8_t* tail = dobj_icon_tail(object);
    std::memset(tail, 0, kIconTailSize);
    store_u32le(tail + kIconTailKind, kind_handler);
    store_u32le(tail + kIconTailIcon, icon);
    store_u16le(tail + kIconTailObjectKind, object_kind);
    store_u32le(tail + kIconTailLayer, uint32_t(layer));
    store_u32le(tail + kIconTailMotion, uint32_t(kIconMotionUntouched));
    store_u16le(tail + kIconTailPlane, plane);
}

// --- lookups ----------------------------------------------------------------------------------

// The live icon object of the pair in the locked stage list, or null.
static uint8_t* find_locked(IconId icon, uint16_t object_kind)
{
    for (uint8_t* r = dlist_first(dlist_stage()); r; r = dlist_next(r))
        if (is_live_icon(r) && dobj_icon_of(r) == icon && dobj_icon_object_kind(r) == object_kind)
            return r;
    return nullptr;
}

uint8_t* dobj_find_icon(IconId icon, uint16_t object_kind)
{
    DisplayList& stage = dlist_stage();
    if (icon == 0 || !dlist_lock(stage))
        return nullptr;
    uint8_t* found = find_locked(icon, object_kind);
    if (!found)
        dlist_unlock(stage);
    return found;
}

uint8_t* dobj_find_icon_by_id(uint32_t object_id)
{
    DisplayList& stage = dlist_stage();
    if (!dlist_lock(stage))
        return nullptr;
    uint8_t* found = dlist_find_top(stage, object_id);
    if (found && is_live_icon(found))
        return found;
    dlist_unlock(stage);
    return nullptr;
}

bool dobj_icon_exists(IconId icon, uint16_t object_kind)
{
    if (!dobj_find_icon(icon, object_kind))
        return false;
    dlist_unlock(dlist_stage());
    return true;
}

bool dobj_icon_rect(IconId icon, uint16_t object_kind, Rect& out)
{
    uint8_t* object = dobj_find_icon(icon, object_kind);
    if (!object)
        return false;
    out = dobj_rect(object, kDobjBounds);
    dlist_unlock(dlist_stage());
    return true;
}

bool dobj_icon_center(IconId icon, uint16_t object_kind, Point& out)
{
    Rect bounds;
    if (!dobj_icon_rect(icon, object_kind, bounds))
        return false;
    out = Point{int32_t((int64_t(bounds.left) + bounds.right) / 2), int32_t((int64_t(bounds.top) + bounds.bottom) / 2)};
    return true;
}

// --- walks ------------------------------------------------------------------------------------

enum class WalkFrom { front, back };

// Offsets rather than pointers: a visitor's messages may make the block move.
static void walk_icons(WalkFrom from, IconObjectVisitor visit, void* data, void* user_data, IconObjectRef* found)
{
    if (found)
        *found = IconObjectRef{};
    DisplayList& stage = dlist_stage();
    if (!dlist_lock(stage))
        return;
    dobj_walk_depth()++;
    uint8_t* start = from == WalkFrom::front ? dlist_last(stage) : dlist_first(stage);
    for (int64_t offset = start ? start - stage.base : -1; offset >= 0;) {
        uint8_t* record = stage.base + offset;
        uint8_t* step = from == WalkFrom::front ? dlist_prev(record) : dlist_next(record);
        int64_t next = step ? step - stage.base : -1;
        if (is_live_icon(record) && !visit(record, data, user_data)) {
            record = stage.base + offset;
            if (found)
                *found = IconObjectRef{dobj_icon_of(record), dobj_icon_object_kind(record)};
            break;
        }
        offset = next;
    }
    dobj_walk_depth()--;
    dlist_unlock(stage);
}

void dobj_for_each_icon(IconObjectVisitor visit, void* data, void* user_data, IconObjectRef* found)
{
    walk_icons(WalkFrom::front, visit, data, user_data, found);
}

void dobj_for_each_icon_forward(IconObjectVisitor visit, void* data, void* user_data, IconObjectRef* found)
{
    walk_icons(WalkFrom::back, visit, data, user_data, found);
}

// --- placing by layer -------------------------------------------------------------------------

struct Placement {
    int64_t threshold;     // objects of this layer or higher go in front
    uint32_t skip_id;      // the object being moved
    uint32_t target_id = 0; // the backmost object of the front run, 0 to append
};

// From the front: collects the run of objects at or above the threshold.
static int collect_front_run(uint8_t* object, void* data, void*)
{
    auto& place = *static_cast<Placement*>(data);
    if (dobj_id(object) == place.skip_id || !has_plane(object))
        return 1;
    if (dobj_icon_layer(object) < place.threshold)
        return 0;
    place.target_id = dobj_id(object);
    return 1;
}

static uint32_t insertion_target(int64_t threshold, uint32_t skip_id)
{
    Placement place{threshold, skip_id};
    dobj_for_each_icon(collect_front_run, &place, nullptr, nullptr);
    return place.target_id;
}

static int note_tracking(uint8_t* object, void* data, void*)
{
    if (!(dobj_flags(object) & kDobjTracking))
        return 1;
    *static_cast<bool*>(data) = true;
    return 0;
}

// Cleared when no live icon object tracks the pointer any more.
static void update_pointer_tracking()
{
    bool any = false;
    dobj_for_each_icon(note_tracking, &any, nullptr, nullptr);
    g.pointer_tracking = any;
}

uint32_t dobj_create_for_icon(uint8_t* record, uint32_t kind_handler, IconId icon, uint16_t object_kind,
    uint16_t plane_bits, int32_t layer)
{
    if (icon == 0 || dobj_icon_exists(icon, object_kind))
        return 0;
    uint32_t length = dobj_length(record);
    if (length < kDobjHeaderSize || length + kIconTailSize > 0xFFFE) {
        exec_report_icon_error(icon, kErrNoMemory);
        return 0;
    }
    if (object_kind == 0 && node_get_attr(icon, kAttrErasePrevious))
        dobj_erase_from_layer(layer);
    uint16_t plane = plane_bits & kDobjPlaneBits ? uint16_t(plane_bits & kDobjPlaneBits) : uint16_t(kDobjPlaneBottom);
    store_u16le(record, uint16_t(length + kIconTailSize));
    dobj_set_kind(record, kind_handler);
    dobj_set_flags(record, uint16_t(dobj_flags(record) | kDobjVisible | plane));
    DisplayList& stage = dlist_stage();
    uint32_t target = layer == kIconLayerFront ? 0 : insertion_target(int64_t(layer) + 1, 0);
    uint32_t id = target ? dlist_insert_before(stage, target, record) : dlist_append(stage, record);
    if (id == 0) {
        exec_report_icon_error(icon, kErrNoMemory);
        return 0;
    }
    dlist_lock(stage);
    if (dobj_flags(record) & kDobjTracking)
        g.pointer_tracking = true;
    uint8_t* object = dlist_find_top(stage, id);
    dobj_set_kind(object, kDobjKindIconWrapper);
    fill_tail(object, kind_handler, icon, object_kind, plane, layer);
    dobj_set_list_word(object, kDobjUpdate, 0);
    dobj_set_list_word(object, kDobjDamage, 0);
    dobj_set_list_word(object, kDobjSpare, 0);
    dobj_send(object, kMsgUpdate, nullptr);
    dlist_unlock(stage);
    trig_signal_display_change(icon);
    return id;
}

// The layers of the nearest live, planed icon objects in front of and behind the object.
static void neighbour_layers(const uint8_t* object, int32_t& in_front, int32_t& behind)
{
    in_front = kNoLayerInFront;
    behind = kNoLayerBehind;
    for (uint8_t* r = dlist_next(const_cast<uint8_t*>(object)); r; r = dlist_next(r))
        if (is_live_icon(r) && has_plane(r)) {
            in_front = dobj_icon_layer(r);
            break;
        }
    for (uint8_t* r = dlist_prev(const_cast<uint8_t*>(object)); r; r = dlist_prev(r))
        if (is_live_icon(r) && has_plane(r)) {
            behind = dobj_icon_layer(r);
            break;
        }
}

uint32_t dobj_set_icon_layer(IconId icon, uint16_t object_kind, int32_t layer, int mode)
{
    uint8_t* object = dobj_find_icon(icon, object_kind);
    if (!object)
        return 0;
    DisplayList& stage = dlist_stage();
    uint32_t id = dobj_id(object);
    int32_t in_front = 0;
    int32_t behind = 0;
    neighbour_layers(object, in_front, behind);
    bool move = layer < behind || layer > in_front || (layer == in_front && mode == kLayerModeFront);
    if (!move) {
        set_layer(object, layer);
        dlist_unlock(stage);
    } else {
        dlist_unlock(stage);
        int64_t threshold = mode == kLayerModeBehind && in_front < layer ? int64_t(layer) : int64_t(layer) + 1;
        dlist_move_before(stage, id, insertion_target(threshold, id));
        if (dlist_lock(stage)) {
            if (uint8_t* moved = dlist_find_top(stage, id); moved && dobj_is_icon_object(moved))
                set_layer(moved, layer);
            dlist_unlock(stage);
        }
    }
    trig_signal_display_change(icon);
    return id;
}

void dobj_apply_icon_layer(IconId icon, uint16_t object_kind)
{
    int32_t layer = 0;
    if (object_kind == 0 || object_kind == 2)
        layer = icon_eval_property_int16(icon, kPropLayer);
    else if (object_kind == 1)
        layer = icon_eval_property_int16(node_parent(icon), kPropLayer);
    dobj_set_icon_layer(icon, object_kind, layer, kLayerModeFront);
}

bool dobj_kind_in_layers(uint16_t object_kind) { return object_kind == 0 || object_kind == 2 || object_kind == 10; }

// --- erasing ----------------------------------------------------------------------------------

void dobj_erase_icon(IconId icon, uint16_t object_kind)
{
    if (g.hooks.zoom)
        g.hooks.zoom(icon, object_kind, 0);
    if (uint8_t* object = dobj_find_icon(icon, object_kind)) {
        dobj_send(object, kMsgErase, nullptr);
        dlist_unlock(dlist_stage());
    }
    update_pointer_tracking();
}

void dobj_hide_icon(IconId icon, uint16_t object_kind)
{
    if (g.hooks.zoom)
        g.hooks.zoom(icon, object_kind, 0);
    if (uint8_t* object = dobj_find_icon(icon, object_kind)) {
        dobj_send(object, kMsgDamage, nullptr);
        dobj_set_flags(object, uint16_t(dobj_flags(object) & ~kDobjVisible));
        dlist_unlock(dlist_stage());
    }
}

struct SequenceRange {
    int32_t low;
    int32_t high;
};

static int erase_in_sequence(uint8_t* object, void* data, void*)
{
    const auto& range = *static_cast<const SequenceRange*>(data);
    int32_t sequence = dobj_icon_sequence(object);
    if (dobj_icon_erase_allowed(object) && sequence >= range.low && sequence <= range.high)
        dobj_send(object, kMsgErase, nullptr);
    return 1;
}

void dobj_erase_by_sequence(int32_t low, int32_t high)
{
    SequenceRange range{low, high == 0 ? icon_seq_counter() : high};
    if (range.high < range.low)
        return;
    dobj_for_each_icon(erase_in_sequence, &range, nullptr, nullptr);
    update_pointer_tracking();
}

static int erase_up_to_layer(uint8_t* object, void* data, void*)
{
    int32_t layer = *static_cast<const int32_t*>(data);
    bool bottom_only = layer <= 0;
    if (!dobj_icon_erase_allowed(object) || dobj_icon_layer(object) > layer)
        return 1;
    if (bottom_only && (dobj_flags(object) & kDobjPlaneBits) != kDobjPlaneBottom)
        return 1;
    dobj_send(object, kMsgErase, nullptr);
    return 1;
}

void dobj_erase_from_layer(int32_t layer)
{
    dobj_for_each_icon(erase_up_to_layer, &layer, nullptr, nullptr);
    update_pointer_tracking();
}

static int erase_any(uint8_t* object, void*, void*)
{
    dobj_send(object, kMsgErase, nullptr);
    return 1;
}

void dobj_erase_all()
{
    if (g.hooks.focus_set)
        g.hooks.focus_set(0, 0);
    if (g.hooks.interaction_reset)
        g.hooks.interaction_reset();
    dobj_for_each_icon(erase_any, nullptr, nullptr, nullptr);
    update_pointer_tracking();
}

// --- planes, hits, motion ---------------------------------------------------------------------

void dobj_set_icon_plane(IconId icon, uint16_t object_kind, uint16_t plane_bits)
{
    uint8_t* object = dobj_find_icon(icon, object_kind);
    if (!object)
        return;
    DisplayMsgArg arg;
    arg.sub_code = int16_t(plane_bits);
    dobj_send(object, kMsgSetPlane, &arg);
    dlist_unlock(dlist_stage());
}

struct HitSearch {
    int32_t x;
    int32_t y;
    uint16_t plane; // the walk's plane bit; kDobjPlaneScreen walks objects on that plane alone
};

static int stop_at_hit(uint8_t* object, void* data, void*)
{
    const auto& search = *static_cast<const HitSearch*>(data);
    uint16_t flags = dobj_flags(object);
    bool on_plane = search.plane == kDobjPlaneScreen ? (flags & kDobjPlaneBits) == kDobjPlaneScreen
                                                     : (flags & search.plane) != 0;
    if (!on_plane || !(flags & kDobjVisible))
        return 1;
    DisplayMsgArg arg;
    arg.x = search.x;
    arg.y = search.y;
    return dobj_send(object, kMsgHitTest, &arg) == 0;
}

uint16_t dobj_icon_at_point(int32_t x, int32_t y, IconObjectRef& ref)
{
    if (ref.icon != 0)
        return ref.object_kind;
    static const uint16_t kWalks[] = {kDobjPlaneScreen, kDobjPlaneMiddle, kDobjPlaneBottom};
    for (uint16_t plane : kWalks) {
        HitSearch search{x, y, plane};
        dobj_for_each_icon(stop_at_hit, &search, nullptr, &ref);
        if (ref.icon != 0)
            break;
    }
    return ref.object_kind;
}

void dobj_set_stepping(uint8_t* object, bool on)
{
    store_u32le(dobj_icon_tail(object) + kIconTailStepping, on ? 1 : 0);
    if (on && g.hooks.motion_task_start)
        g.hooks.motion_task_start();
}

int32_t dobj_recentre_on_move(uint8_t* object, int, DisplayMsgArg* arg)
{
    if (!arg)
        return 0;
    Rect bounds = dobj_rect(object, kDobjBounds);
    rect_center_on(rect_center(arg->rect), bounds);
    arg->rect = bounds;
    return dobj_default_handler(object, kMsgSetBounds, arg);
}

static int32_t accept_ole(uint8_t* object, void* data)
{
    if (dobj_kind(object) != kMemberOleKind)
        return 0;
    *static_cast<uint8_t**>(data) = object;
    return 1;
}

uint8_t* dobj_find_ole_object(IconId icon)
{
    uint8_t* object = dobj_find_icon(icon, 0);
    if (!object)
        return nullptr;
    uint8_t* found = nullptr;
    DisplayMsgArg arg;
    arg.query = accept_ole;
    arg.caller_data = &found;
    dobj_send(object, kMsgQuery, &arg);
    dlist_unlock(dlist_stage());
    return found;
}

// --- the wrapper ------------------------------------------------------------------------------

// What the wrapper does after the kind handler answered.
static void after_kind(uint8_t* object, int message, DisplayMsgArg* arg)
{
    uint8_t* motion = dobj_icon_tail(object) + kIconTailMotion;
    int32_t motion_word = int32_t(load_u32le(motion));
    switch (message) {
    case kMsgDestroy:
        if (g.hooks.motion_state_free)
            g.hooks.motion_state_free(motion);
        break;
    case kMsgErase:
        trig_signal_display_change(dobj_icon_of(object));
        break;
    case 65: // suspend (0) or resume (1)
        if (motion_word == 0 && g.hooks.motion_clock_pause)
            g.hooks.motion_clock_pause(motion, arg->sub_code);
        break;
    case 66: // save
        if (motion_word != kIconMotionUntouched && g.hooks.motion_path_write)
            g.hooks.motion_path_write(motion, arg);
        break;
    case 67: // restore
        if (motion_word != kIconMotionUntouched && g.hooks.motion_path_read)
            g.hooks.motion_path_read(motion, arg);
        break;
    default:
        break;
    }
}

int32_t dobj_icon_wrapper_handler(uint8_t* object, int message, DisplayMsgArg* given)
{
    DisplayMsgArg blank;
    DisplayMsgArg* arg = given ? given : &blank;
    // A record cut short (a damaged restore) has no tail to read: only the base may answer.
    if (!dobj_is_icon_object(object))
        return dobj_default_handler(object, message, arg);
    uint32_t kind = dobj_icon_kind_handler(object);
    DisplayHandler handler = dobj_handler_of(kind);
    if (handler == dobj_default_handler || kind == kDobjKindIconWrapper)
        return dobj_default_handler(object, message, arg);
    if (message == kMsgErase && g.hooks.focus_get && g.hooks.focus_set) {
        IconObjectRef focus;
        g.hooks.focus_get(focus);
        if (focus.icon != 0 && focus.icon == dobj_icon_of(object) && focus.object_kind == dobj_icon_object_kind(object))
            g.hooks.focus_set(0, 0);
    }
    int32_t answer = handler(object, message, arg);
    after_kind(object, message, arg);
    return answer;
}

// --- display sequence numbers -----------------------------------------------------------------

struct SequenceQuery {
    int low;
    int high;
    bool found = false;
};

static int find_in_sequence(uint8_t* object, void* data, void*)
{
    auto& query = *static_cast<SequenceQuery*>(data);
    int sequence = dobj_icon_sequence(object);
    if (sequence < query.low || sequence >= query.high)
        return 1;
    query.found = true;
    return 0;
}

static int objects_between(int low, int high)
{
    SequenceQuery query{low, high};
    dobj_for_each_icon(find_in_sequence, &query, nullptr, nullptr);
    return query.found ? 1 : 0;
}

struct Boundaries {
    const uint16_t* values;
    int count;
};

// The 1-based position of the greatest boundary not above the old number, 0 when none.
static int renumber_one(uint8_t* object, void* data, void*)
{
    const auto& b = *static_cast<const Boundaries*>(data);
    dobj_icon_set_sequence(object, int16_t(icon_seq_position(b.values, b.count, dobj_icon_sequence(object))));
    return 1;
}

static void renumber_objects(const uint16_t* boundaries, int count)
{
    Boundaries b{boundaries, std::max(count, 0)};
    dobj_for_each_icon(renumber_one, &b, nullptr, nullptr);
}

void dobj_icon_init()
{
    ExecHooks hooks = exec_hooks();
    hooks.seq_objects_between = objects_between;
    hooks.seq_objects_renumber = renumber_objects;
    exec_set_hooks(&hooks);
}

void dobj_icon_reset() { g = {}; }
