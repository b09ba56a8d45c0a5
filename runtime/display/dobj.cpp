#include "runtime/display/dobj.h"

#include <algorithm>
#include <cstring>

#include "platform/kernel/byte_io.h"
#include "runtime/display/dlist.h"
#include "runtime/display/dobj_icon.h"
#include "runtime/display/gdi_draw.h"
#include "runtime/display/group.h"
#include "runtime/display/shapes.h"

constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kGrey = 0x7F7F7F;

static struct {
    DisplayHandler kinds[kDobjKindLimit] = {};
    DobjScreenHooks screen = {};
} g;

void dobj_set_screen_hooks(const DobjScreenHooks& hooks) { g.screen = hooks; }
const DobjScreenHooks& dobj_screen_hooks() { return g.screen; }

void dobj_register_kind(uint32_t kind, DisplayHandler handler)
{
    if (kind < kDobjKindLimit)
        g.kinds[kind] = handler;
}

// The kinds this library builds itself answer without being registered.
static DisplayHandler built_in(uint32_t kind)
{
    if (kind == kDobjKindGroup)
        return group_handler;
    if (kind == kDobjKindIconWrapper)
        return dobj_icon_wrapper_handler;
    switch (group_handler_to_index(kind)) {
    case kMemberLine:
        return kind == kDobjMemberKinds ? dobj_line_handler : dobj_default_handler;
    case kMemberRect:
        return dobj_rect_handler;
    case kMemberOval:
        return dobj_oval_handler;
    default:
        return dobj_default_handler;
    }
}

DisplayHandler dobj_handler_of(uint32_t kind)
{
    if (kind < kDobjKindLimit && g.kinds[kind])
        return g.kinds[kind];
    return built_in(kind);
}

int32_t dobj_send(uint8_t* object, int message, DisplayMsgArg* arg)
{
    DisplayHandler handler = dobj_handler_of(dobj_kind(object));
    if (arg)
        return handler(object, message, arg);
    // Cleared only when the caller has none: refresh walks send thousands of messages.
    DisplayMsgArg blank;
    return handler(object, message, &blank);
}

// Clips to the stage and adds to the list word at offset; false when nothing was kept.
static bool add_clipped(uint8_t* object, uint32_t offset, const Rect& rect)
{
    const DobjScreenHooks& hooks = g.screen;
    Rect stage;
    if (!hooks.stage_rect || !hooks.stage_rect(stage) || !hooks.rlist_add)
        return false;
    Rect clipped{std::max(rect.left, stage.left), std::max(rect.top, stage.top), std::min(rect.right, stage.right),
        std::min(rect.bottom, stage.bottom)};
    if (rect_is_empty(clipped))
        return false;
    dobj_set_list_word(object, offset, hooks.rlist_add(dobj_list_word(object, offset), clipped));
    if (hooks.set_refresh_needed)
        hooks.set_refresh_needed();
    return true;
}

void dobj_add_update(uint8_t* object, const Rect& rect) { add_clipped(object, kDobjUpdate, rect); }

void dobj_add_to_list(uint8_t* object, uint32_t list_word, const Rect& rect) { add_clipped(object, list_word, rect); }

void dobj_add_damage(uint8_t* object, const Rect& rect)
{
    add_clipped(object, dobj_flags(object) & kDobjPlaneScreen ? kDobjUpdate : kDobjDamage, rect);
}

void dobj_set_plane(uint8_t* object, uint16_t plane_bits)
{
    uint16_t flags = dobj_flags(object);
    uint16_t old_bits = flags & kDobjPlaneBits;
    uint16_t new_bits = plane_bits & kDobjPlaneBits;
    if (new_bits == old_bits)
        return;
    dobj_set_flags(object, uint16_t((flags & ~kDobjPlaneBits) | new_bits));
    if (new_bits > old_bits) {
        // Going up: the planes below must lose it; the new plane draws it afresh.
        DisplayMsgArg arg;
        dobj_send(object, kMsgGetBounds, &arg);
        if (g.screen.damage_rect)
            g.screen.damage_rect(arg.rect, old_bits);
        dobj_send(object, kMsgUpdate, nullptr);
    } else if (dobj_send(object, kMsgWantsUpdate, nullptr)) {
        dobj_send(object, kMsgUpdate, nullptr);
    } else {
        dobj_send(object, kMsgDamage, nullptr);
    }
}

// The grey checkered box of a placeholder.
static void draw_placeholder(uint8_t* object, const DisplayMsgArg& arg)
{
    static const uint8_t kChecker[8] = {0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA};
    DrawStyle style;
    gdi_style_init(&style);
    style.mode = arg.draw_mode;
    style.fill_color = kGrey;
    style.fill_back_color = kWhite;
    std::memcpy(style.fill_pattern, kChecker, sizeof kChecker);
    style.line_color = kGrey;
    style.line_back_color = kWhite;
    Rect b = dobj_rect(object, kDobjBounds);
    uint32_t background = g.screen.background_color ? g.screen.background_color() : kWhite;
    gdi_draw_rect(arg.dc, &style, b.left, b.top, b.right, b.bottom, background);
}

// Inverts the bounds.
static void draw_highlight(uint8_t* object, const DisplayMsgArg& arg)
{
    DrawStyle style;
    gdi_style_init(&style);
    style.mode = 2;
    Rect b = dobj_rect(object, kDobjBounds);
    gdi_draw_rect(arg.dc, &style, b.left, b.top, b.right, b.bottom, kWhite);
}

// Hands the object's damage list over, linked after the argument's.
static int32_t take_damage(uint8_t* object, const DisplayMsgArg& arg)
{
    RectList damage = dobj_list_word(object, kDobjDamage);
    dobj_set_list_word(object, kDobjDamage, 0);
    if (damage == 0)
        return arg.list;
    if (!g.screen.rlist_append_list)
        return arg.list;
    return g.screen.rlist_append_list(arg.list, damage);
}

static void compute_extent(uint8_t* object, const DisplayMsgArg* given)
{
    DisplayMsgArg arg;
    dobj_send(object, kMsgExtentRect, &arg);
    dobj_set_rect(object, kDobjExtent, arg.rect);
    if (given && given->extent_notice) {
        uint8_t record[20];
        plat::store_u32le(record, dobj_id(object));
        plat::store_u32le(record + 4, uint32_t(arg.rect.left));
        plat::store_u32le(record + 8, uint32_t(arg.rect.top));
        plat::store_u32le(record + 12, uint32_t(arg.rect.right));
        plat::store_u32le(record + 16, uint32_t(arg.rect.bottom));
        given->extent_notice(2, record, sizeof record);
    }
}

// Message 16: damage the old place, take the new bounds, damage the new place.
static void move_to(uint8_t* object, const DisplayMsgArg& arg)
{
    if (!arg.caller_data)
        return;
    DisplayMsgArg set;
    set.rect = dobj_rect(static_cast<const uint8_t*>(arg.caller_data), 4);
    dobj_send(object, kMsgDamage, nullptr);
    dobj_send(object, kMsgSetBounds, &set);
    dobj_send(object, kMsgDamage, nullptr);
    dobj_send(object, kMsgMoved, nullptr);
}

static int32_t forward(uint8_t* object, DisplayMsgArg& arg)
{
    if (dobj_id(object) != uint32_t(arg.object_id))
        return 0;
    arg.result = dobj_send(object, arg.sub_code, arg.inner);
    return 1;
}

static int32_t hit_by_point(uint8_t* object, DisplayMsgArg& arg)
{
    if ((dobj_flags(object) & kDobjDeleted) || arg.sub_code != 0 ||
        !plat::pt_in_rect(dobj_rect(object, kDobjBounds), Point{arg.x, arg.y}))
        return 0;
    arg.object_id = -1;
    return 1;
}

static int32_t base_message(uint8_t* object, int message, DisplayMsgArg& arg, const DisplayMsgArg* given)
{
    switch (message) {
    case kMsgDraw:
        if (dobj_flags(object) & kDobjPlaceholder)
            draw_placeholder(object, arg);
        return 0;
    case kMsgUpdate:
        add_clipped(object, kDobjUpdate, dobj_rect(object, kDobjBounds));
        return 0;
    case kMsgDamage:
        add_clipped(object, kDobjDamage, dobj_rect(object, kDobjBounds));
        return 0;
    case kMsgTakeDamage:
        return take_damage(object, arg);
    case kMsgSetBounds:
        dobj_set_rect(object, kDobjBounds, arg.rect);
        return 0;
    case kMsgComputeExtent:
        compute_extent(object, given);
        return 0;
    case kMsgMoveTo:
        move_to(object, arg);
        return 0;
    case kMsgForward:
        return forward(object, arg);
    case kMsgDropUpdate:
        dobj_set_list_word(object, kDobjUpdate, 0);
        return 0;
    case kMsgGetBounds:
    case kMsgExtentRect:
        arg.rect = dobj_rect(object, kDobjBounds);
        return 0;
    case kMsgErase:
        dobj_send(object, kMsgDamage, nullptr);
        dobj_set_flags(object, uint16_t((dobj_flags(object) & ~kDobjVisible) | kDobjDeleted));
        return 0;
    case kMsgQuery:
        if (!arg.query)
            return 0;
        arg.object_id = int32_t(dobj_id(object));
        return arg.query(object, arg.caller_data);
    case kMsgDrawRect:
        if (arg.style)
            gdi_draw_rect(arg.dc, arg.style, arg.rect.left, arg.rect.top, arg.rect.right, arg.rect.bottom, kWhite);
        return 0;
    case kMsgHighlight:
        draw_highlight(object, arg);
        return 0;
    case 41: case 43: case 45: case 46: // capability questions nothing asks yet
        return 1;
    case kMsgHitByPoint:
        return hit_by_point(object, arg);
    case kMsgGetExtent:
        arg.rect = dobj_rect(object, kDobjExtent);
        return 0;
    case kMsgSetPlane:
        dobj_set_plane(object, uint16_t(arg.sub_code));
        return 1;
    case kMsgAfterScreen:
        return arg.list;
    default: // every other code, 86 and above included
        return 0;
    }
}

int32_t dobj_default_handler(uint8_t* object, int message, DisplayMsgArg* given)
{
    if (given)
        return base_message(object, message, *given, given);
    DisplayMsgArg blank;
    return base_message(object, message, blank, nullptr);
}

int32_t dobj_send_by_id(uint32_t object_id, int message, DisplayMsgArg* inner)
{
    DisplayList& stage = dlist_stage();
    if (!dlist_lock(stage))
        return 0;
    int32_t answer = 0;
    for (uint32_t offset = 2; plat::load_u16le(stage.base + offset) != 0;) {
        DisplayMsgArg arg;
        arg.object_id = int32_t(object_id);
        arg.sub_code = int16_t(message);
        arg.inner = inner;
        if (dobj_send(stage.base + offset, kMsgForward, &arg)) {
            answer = arg.result;
            break;
        }
        offset += dobj_length(stage.base + offset) + 2u;
    }
    dlist_unlock(stage);
    return answer;
}

uint32_t dobj_find_first(DisplayList* list, DisplayQuery query, void* data)
{
    DisplayList& walked = list ? *list : dlist_stage();
    if (!dlist_lock(walked))
        return 0;
    uint32_t found = 0;
    for (uint32_t offset = 2; plat::load_u16le(walked.base + offset) != 0;) {
        DisplayMsgArg arg;
        arg.query = query;
        arg.caller_data = data;
        if (dobj_send(walked.base + offset, kMsgQuery, &arg)) {
            found = uint32_t(arg.object_id);
            break;
        }
        offset += dobj_length(walked.base + offset) + 2u;
    }
    dlist_unlock(walked);
    return found;
}

void dobj_erase(uint8_t* object) { dobj_send(object, kMsgErase, nullptr); }

uint32_t dobj_handler_to_index(uint32_t kind) { return kind < kDobjKindTableSize ? kind : kDobjKindBase; }

uint32_t dobj_index_to_handler(int32_t index)
{
    return index >= 0 && index < int32_t(kDobjKindTableSize) ? uint32_t(index) : kDobjKindBase;
}

void dobj_reset() { g = {}; }
