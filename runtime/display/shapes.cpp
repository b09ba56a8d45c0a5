#include "runtime/display/shapes.h"

#include <vector>

#include "platform/kernel/byte_io.h"
#include "runtime/display/group.h"
#include "runtime/display/hit_test.h"
#include "runtime/display/rect_list.h"

using plat::load_u16le;
using plat::load_u32le;
using plat::store_u16le;
using plat::store_u32le;

// The pointer is tested with a rectangle this far around it.
constexpr int32_t kHitSlop = 2;

static DrawStyle style_of(const uint8_t* object) { return gdi_style_load(object + kShapeStyle); }

static Point point_at(const uint8_t* object, uint32_t offset)
{
    return Point{int32_t(load_u32le(object + offset)), int32_t(load_u32le(object + offset + 4))};
}

static void set_point(uint8_t* object, uint32_t offset, Point point)
{
    store_u32le(object + offset, uint32_t(point.x));
    store_u32le(object + offset + 4, uint32_t(point.y));
}

static Rect hit_rect(const DisplayMsgArg& arg)
{
    return Rect{arg.x - kHitSlop, arg.y - kHitSlop, arg.x + kHitSlop, arg.y + kHitSlop};
}

static Point pen_of(const DrawStyle& style) { return Point{style.line_width, style.line_height}; }

static uint32_t background()
{
    const DobjScreenHooks& hooks = dobj_screen_hooks();
    return hooks.background_color ? hooks.background_color() : 0xFFFFFF;
}

// A hit names the member in the caller data and answers -1.
static int32_t hit(uint8_t* object, DisplayMsgArg& arg)
{
    arg.caller_data = object;
    return -1;
}

// --- lines ------------------------------------------------------------------------------------

Rect shape_line_drawing_rect(const uint8_t* line)
{
    DrawStyle style = style_of(line);
    Point start = point_at(line, kLineStart);
    Point end = point_at(line, kLineEnd);
    Rect drawn;
    gdi_line_bounds(&drawn, start.x, start.y, end.x, end.y, style.line_width, style.arrows);
    return drawn;
}

// Message 11: one end to the argument's point (sub-codes 9, 10), or both ends to the corners
// of the argument's rectangle that they held before.
static void line_set_bounds(uint8_t* line, const DisplayMsgArg& arg)
{
    Point start = point_at(line, kLineStart);
    Point end = point_at(line, kLineEnd);
    if (arg.sub_code == kLineMoveStart) {
        start = Point{arg.x, arg.y};
    } else if (arg.sub_code == kLineMoveEnd) {
        end = Point{arg.x, arg.y};
    } else {
        const Rect& r = arg.rect;
        int corner = int16_t(load_u16le(line + kLineCorner));
        start = rect_handle_delta(r.left, r.top, r.right, r.bottom, corner);
        end = rect_handle_delta(r.left, r.top, r.right, r.bottom, rect_opposite_handle(corner));
    }
    set_point(line, kLineStart, start);
    set_point(line, kLineEnd, end);
    store_u16le(line + kLineCorner, uint16_t(rect_corner_code(start.x, start.y, end.x, end.y)));
    dobj_set_rect(line, kDobjBounds, rect_from_points(start.x, start.y, end.x, end.y));
}

int32_t dobj_line_handler(uint8_t* object, int message, DisplayMsgArg* given)
{
    DisplayMsgArg blank;
    DisplayMsgArg& arg = given ? *given : blank;
    // Restores make a short record deleted; a record built short never reaches the fields.
    if (dobj_length(object) < kLineRecordSize)
        return dobj_default_handler(object, message, &arg);
    switch (message) {
    case kMsgDraw: {
        Rect drawn = shape_line_drawing_rect(object);
        if (rlist_select_clip(dobj_list_word(object, kDobjUpdate), &drawn, arg.dc)) {
            DrawStyle style = style_of(object);
            Point start = point_at(object, kLineStart);
            Point end = point_at(object, kLineEnd);
            gdi_draw_line(arg.dc, &style, start.x, start.y, end.x, end.y, background());
        }
        return 0;
    }
    case kMsgHitTest: {
        DrawStyle style = style_of(object);
        if (!hit_line(hit_rect(arg), point_at(object, kLineStart), point_at(object, kLineEnd), pen_of(style)))
            return 0;
        return hit(object, arg);
    }
    case kMsgUpdate:
    case kMsgDamage:
        dobj_add_to_list(object, message == kMsgUpdate ? kDobjUpdate : kDobjDamage, shape_line_drawing_rect(object));
        return 0;
    case kMsgSetBounds:
        line_set_bounds(object, arg);
        return 0;
    case kMsgComputeExtent:
        dobj_set_rect(object, kDobjExtent, dobj_rect(object, kDobjBounds));
        return 0;
    case kMsgGetBounds:
        arg.rect = shape_line_drawing_rect(object);
        return 0;
    case 41:
        return style_of(object).line_width;
    default:
        return dobj_default_handler(object, message, &arg);
    }
}

// --- rectangles and ovals ---------------------------------------------------------------------

enum class Box { rect, oval };

static int32_t box_handler(Box box, uint8_t* object, int message, DisplayMsgArg& arg)
{
    if (dobj_length(object) < kShapeRecordSize)
        return dobj_default_handler(object, message, &arg);
    DrawStyle style = style_of(object);
    Rect bounds = dobj_rect(object, kDobjBounds);
    switch (message) {
    case kMsgDraw:
        if (rlist_select_clip(dobj_list_word(object, kDobjUpdate), &bounds, arg.dc)) {
            if (box == Box::rect)
                gdi_draw_rect(arg.dc, &style, bounds.left, bounds.top, bounds.right, bounds.bottom, background());
            else
                gdi_draw_ellipse(arg.dc, &style, bounds.left, bounds.top, bounds.right, bounds.bottom, background());
        }
        return 0;
    case kMsgHitTest: {
        bool filled = style.fill_on != 0;
        bool hit_shape = box == Box::rect ? hit_framed_rect(hit_rect(arg), bounds, pen_of(style), filled)
                                          : hit_ellipse(hit_rect(arg), bounds, pen_of(style), filled);
        return hit_shape ? hit(object, arg) : 0;
    }
    case kMsgWantsUpdate:
        // Only a solid rectangle covers all of its old place.
        return box == Box::rect && style.fill_on && (style.mode == 0 || style.mode == 4) ? 1 : 0;
    case 41:
        return style.line_width;
    case 42:
        return 1;
    case 43:
        return 0;
    default:
        return dobj_default_handler(object, message, &arg);
    }
}

int32_t dobj_rect_handler(uint8_t* object, int message, DisplayMsgArg* given)
{
    DisplayMsgArg blank;
    return box_handler(Box::rect, object, message, given ? *given : blank);
}

int32_t dobj_oval_handler(uint8_t* object, int message, DisplayMsgArg* given)
{
    DisplayMsgArg blank;
    return box_handler(Box::oval, object, message, given ? *given : blank);
}

// --- making members ---------------------------------------------------------------------------

static std::vector<uint8_t> shape_record(uint32_t length, uint32_t kind_index, const DrawStyle& style,
    const Rect& bounds, uint16_t flags)
{
    std::vector<uint8_t> record(length, 0);
    store_u16le(record.data(), uint16_t(length));
    dobj_set_kind(record.data(), group_index_to_handler(int32_t(kind_index)));
    dobj_set_flags(record.data(), flags);
    dobj_set_rect(record.data(), kDobjBounds, bounds);
    dobj_set_rect(record.data(), kDobjExtent, bounds);
    gdi_style_store(style, record.data() + kShapeStyle);
    return record;
}

uint32_t shape_add_line(DisplayList& list, const DrawStyle& style, Point start, Point end, uint16_t flags)
{
    std::vector<uint8_t> record =
        shape_record(kLineRecordSize, kMemberLine, style, rect_from_points(start.x, start.y, end.x, end.y), flags);
    set_point(record.data(), kLineStart, start);
    set_point(record.data(), kLineEnd, end);
    store_u16le(record.data() + kLineCorner, uint16_t(rect_corner_code(start.x, start.y, end.x, end.y)));
    return dlist_append(list, record.data());
}

uint32_t shape_add_box(DisplayList& list, uint32_t kind_index, const DrawStyle& style, const Rect& bounds,
    uint16_t flags)
{
    if (kind_index != kMemberRect && kind_index != kMemberOval)
        return 0;
    std::vector<uint8_t> record = shape_record(kShapeRecordSize, kind_index, style, bounds, flags);
    return dlist_append(list, record.data());
}
