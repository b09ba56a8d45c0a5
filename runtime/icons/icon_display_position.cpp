#include "runtime/icons/icon_display_position.h"

#include "platform/kernel/byte_io.h"
#include "runtime/base/fix.h"
#include "runtime/base/taglist.h"
#include "runtime/display/dobj_icon.h"
#include "runtime/engine/icon_props.h"
#include "runtime/nodes/node_attr.h"
#include "runtime/nodes/node_group.h"

#include <algorithm>
#include <vector>

namespace {

constexpr size_t kReferenceSize = 8;

DisplayPositionHooks s_hooks {};

bool has_property(IconId icon, uint16_t tag)
{
    size_t length = 0;
    const uint8_t* list = node_props(icon, &length);
    return list && taglist_item_length(list, length, tag) != 0;
}

double value_of(IconId icon, uint16_t property) { return icon_eval_property_real(icon, property, 0); }

int32_t clamp32(int64_t value)
{
    return int32_t(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

Point centre_at_top_left(Rect bounds, Point top_left)
{
    rect_move_to(top_left.x, top_left.y, bounds);
    return rect_center(bounds);
}

// The fractions of the position values along the range, and the range they used.
struct Fractions {
    int32_t x = 0;
    int32_t y = 0;
    DisplayRange range;
};

Fractions fractions_of(IconId icon)
{
    Fractions f;
    f.range.x_start = value_of(icon, kPropRangeStartX);
    f.range.x_end = value_of(icon, kPropRangeEndX);
    f.range.y_start = value_of(icon, kPropRangeStartY);
    f.range.y_end = value_of(icon, kPropRangeEndY);
    f.x = icon_display_fraction(value_of(icon, kPropPositionX), f.range.x_start, f.range.x_end);
    f.y = icon_display_fraction(value_of(icon, kPropPositionY), f.range.y_start, f.range.y_end);
    return f;
}

void keep_range(IconId icon, const DisplayRange& range)
{
    if (s_hooks.keep_range)
        s_hooks.keep_range(icon, range);
}

// Rule 0 without position values: the reference icon's object moved to the stored top-left.
void centre_of_reference(IconId icon, Point& point)
{
    std::vector<uint8_t> bytes;
    if (!node_prop_bytes(icon, kPropPositionReference, bytes) || bytes.size() != kReferenceSize)
        return;
    int16_t node = int16_t(plat::load_u16le(bytes.data()));
    uint16_t object_kind = plat::load_u16le(bytes.data() + 2);
    Point top_left {int16_t(plat::load_u16le(bytes.data() + 4)), int16_t(plat::load_u16le(bytes.data() + 6))};
    Rect bounds;
    if (node < 1 || !dobj_icon_rect(node_make_icon(node_icon_slot(icon), uint32_t(node)), object_kind, bounds))
        return;
    point = centre_at_top_left(bounds, top_left);
}

bool by_values(IconId icon, Point& point)
{
    if (has_property(icon, kPropPositionX) || has_property(icon, kPropPositionY)) {
        point = Point {icon_eval_property_int(icon, kPropPositionX, 0), icon_eval_property_int(icon, kPropPositionY, 0)};
        return true;
    }
    centre_of_reference(icon, point);
    return false;
}

bool on_path(IconId icon, Point& point)
{
    Fractions f = fractions_of(icon);
    Point on {};
    if (!s_hooks.path_point || !s_hooks.path_point(icon, f.x, on))
        return false;
    f.range.reached = f.x;
    keep_range(icon, f.range);
    point = on;
    return true;
}

bool in_range(IconId icon, int rule, Point& point)
{
    Rect ends;
    if (!node_get_prop_rect(icon, kPropPositionRange, ends))
        return false;
    Fractions f = fractions_of(icon);
    // Along a line both coordinates follow the x fraction; in an area each its own.
    int32_t y_fraction = rule == kPositionOnLine ? f.x : f.y;
    point = Point {icon_display_interpolate(ends.left, ends.right, f.x),
        icon_display_interpolate(ends.top, ends.bottom, y_fraction)};
    keep_range(icon, f.range);
    return true;
}

bool at_point(IconId icon, const Rect& bounds, Point& point)
{
    Point top_left;
    if (!node_get_prop_point(icon, kPropPositionPoint, top_left))
        return false;
    point = centre_at_top_left(bounds, top_left);
    return true;
}

} // namespace

void icon_display_set_position_hooks(const DisplayPositionHooks* hooks)
{
    s_hooks = hooks ? *hooks : DisplayPositionHooks {};
}

int32_t icon_display_interpolate(int32_t a, int32_t b, int32_t fraction)
{
    int64_t span = int64_t(b) - a;
    if (span * fraction >= 0)
        return clamp32(a + ((span * fraction + 0x8000) >> 16));
    return clamp32(a - (((int64_t(a) - b) * fraction + 0x8000) >> 16));
}

int32_t icon_display_fraction(double value, double start, double end)
{
    if (start == end)
        return kFixedOne;
    return std::clamp<int32_t>(fix_from_double((value - start) / (end - start)), 0, kFixedOne);
}

bool icon_display_position(IconId icon, const Rect& bounds, Point& point)
{
    switch (int rule = int(node_get_attr(icon, kAttrPositioning))) {
    case kPositionByValues: return by_values(icon, point);
    case kPositionOnPath: return on_path(icon, point);
    case kPositionOnLine:
    case kPositionInArea: return in_range(icon, rule, point);
    default: return at_point(icon, bounds, point);
    }
}
