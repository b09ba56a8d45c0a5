#include "runtime/display/gdi_draw.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/gdi/bitmap.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/gdi_object.h"
#include "platform/gdi/mapping.h"
#include "platform/gdi/palette.h"
#include "platform/gdi/shape.h"
#include "platform/kernel/byte_io.h"

using namespace plat;

constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kPaletteRelative = 0x02000000;

// --- the stored form ----------------------------------------------------------------------

DrawStyle gdi_style_load(const uint8_t* b)
{
    DrawStyle s;
    s.mode = b[0];
    s.flag1 = b[1];
    s.flag2 = b[2];
    s.arrows = b[3];
    s.fill_on = int16_t(load_u16le(b + 4));
    s.fill_color = load_u32le(b + 6);
    s.fill_back_color = load_u32le(b + 10);
    s.spare = load_u32le(b + 14);
    std::memcpy(s.fill_pattern, b + 18, 8);
    s.line_on = int16_t(load_u16le(b + 26));
    s.line_width = int16_t(load_u16le(b + 28));
    s.line_height = int16_t(load_u16le(b + 30));
    s.line_color = load_u32le(b + 32);
    s.line_back_color = load_u32le(b + 36);
    std::memcpy(s.line_pattern, b + 40, 8);
    return s;
}

void gdi_style_store(const DrawStyle& s, uint8_t* b)
{
    b[0] = s.mode;
    b[1] = s.flag1;
    b[2] = s.flag2;
    b[3] = s.arrows;
    store_u16le(b + 4, uint16_t(s.fill_on));
    store_u32le(b + 6, s.fill_color);
    store_u32le(b + 10, s.fill_back_color);
    store_u32le(b + 14, s.spare);
    std::memcpy(b + 18, s.fill_pattern, 8);
    store_u16le(b + 26, uint16_t(s.line_on));
    store_u16le(b + 28, uint16_t(s.line_width));
    store_u16le(b + 30, uint16_t(s.line_height));
    store_u32le(b + 32, s.line_color);
    store_u32le(b + 36, s.line_back_color);
    std::memcpy(b + 40, s.line_pattern, 8);
}

void gdi_style_init(DrawStyle* style) { *style = DrawStyle{}; }

// --- pen, brush and raster rules ----------------------------------------------------------

static bool pattern_is(const uint8_t pattern[8], uint8_t value)
{
    return std::all_of(pattern, pattern + 8, [value](uint8_t row) { return row == value; });
}

static bool pen_absent(const DrawStyle& s) { return !s.line_on || s.line_width <= 0 || s.line_height <= 0; }

static uint32_t pen_color(const DrawStyle& s, uint32_t color)
{
    if (s.mode == 3)
        return color;
    if (s.mode == 2 || pattern_is(s.line_pattern, 0xFF))
        return kWhite;
    return s.line_color;
}

static GdiObject make_pen(const DrawStyle& s, uint32_t rgb)
{
    if (pen_absent(s))
        return get_stock_object(NULL_PEN);
    return create_pen(PS_SOLID, s.line_width, rgb | kPaletteRelative);
}

static bool solid_fill(const DrawStyle& s)
{
    return (s.mode == 0 || s.mode == 4 || s.mode == 7) && pattern_is(s.fill_pattern, 0);
}

static GdiObject make_brush(DcHandle dc, const DrawStyle& s)
{
    if (!s.fill_on)
        return get_stock_object(NULL_BRUSH);
    if (solid_fill(s))
        return create_solid_brush(get_nearest_color(dc, s.fill_color | kPaletteRelative));
    return gdi_pattern_brush(s.fill_pattern);
}

struct BrushColors {
    uint32_t text;
    uint32_t back;
};

// The colours a pattern brush's 0 and 1 bits take.
static BrushColors brush_colors(const DrawStyle& s, uint32_t color)
{
    switch (s.mode) {
    case 0: case 4: case 7:
        return {s.fill_color, s.fill_back_color};
    case 3:
        return {color, kBlack};
    case 1:
        if ((s.fill_back_color & 0xFFFFFF) != kWhite)
            return {kWhite, s.fill_back_color};
        return {kWhite, kBlack};
    default:
        return {kWhite, kBlack};
    }
}

// Draws the shape once with the tools given; they are deleted afterwards and the stock black
// pen and white brush take their place.
using ShapeFn = void (*)(DcHandle dc, const void* shape);

static void one_pass(DcHandle dc, GdiObject pen, GdiObject brush, int rop, BrushColors colors, ShapeFn fn,
    const void* shape)
{
    select_object(dc, pen);
    select_object(dc, brush);
    int old_rop = set_rop2(dc, rop);
    uint32_t old_text = set_text_color(dc, colors.text | kPaletteRelative);
    uint32_t old_back = set_bk_color(dc, colors.back | kPaletteRelative);
    fn(dc, shape);
    set_bk_color(dc, old_back);
    set_text_color(dc, old_text);
    set_rop2(dc, old_rop);
    select_object(dc, get_stock_object(BLACK_PEN));
    select_object(dc, get_stock_object(WHITE_BRUSH));
    delete_object(pen);
    delete_object(brush);
}

static void draw_styled(DcHandle dc, const DrawStyle& s, uint32_t color, ShapeFn fn, const void* shape)
{
    if ((s.mode == 1 || s.mode == 3) && s.fill_on) {
        // A white pen merged, then the real pen masked: what the pattern leaves white shows
        // through the second pass.
        one_pass(dc, make_pen(s, kWhite), make_brush(dc, s), R2_MERGEPEN, brush_colors(s, color), fn, shape);
        BrushColors second = s.mode == 3 ? BrushColors{color, kWhite} : BrushColors{s.fill_color, s.fill_back_color};
        one_pass(dc, make_pen(s, pen_color(s, color)), make_brush(dc, s), R2_MASKPEN, second, fn, shape);
        return;
    }
    int rop = s.mode == 2 ? R2_XORPEN : R2_COPYPEN;
    one_pass(dc, make_pen(s, pen_color(s, color)), make_brush(dc, s), rop, brush_colors(s, color), fn, shape);
}

// The pen sits inside the rectangle: an even pen grows it by one first.
static Rect adjust_to_pen(const DrawStyle& s, Rect r)
{
    int32_t size = s.line_on ? s.line_height : 0;
    if (size % 2 == 0) {
        r.right++;
        r.bottom++;
    }
    int32_t half = size / 2;
    return Rect{r.left + half, r.top + half, r.right - half, r.bottom - half};
}

// --- shapes -------------------------------------------------------------------------------

struct BoxShape {
    Rect r;
    int32_t a = 0, b = 0, c = 0, d = 0; // corner size, or the arc's rays
};

static void shape_rect(DcHandle dc, const void* p)
{
    const Rect& r = static_cast<const BoxShape*>(p)->r;
    rectangle(dc, r.left, r.top, r.right, r.bottom);
}

static void shape_ellipse(DcHandle dc, const void* p)
{
    const Rect& r = static_cast<const BoxShape*>(p)->r;
    ellipse(dc, r.left, r.top, r.right, r.bottom);
}

static void shape_round(DcHandle dc, const void* p)
{
    const BoxShape& s = *static_cast<const BoxShape*>(p);
    round_rect(dc, s.r.left, s.r.top, s.r.right, s.r.bottom, s.a, s.b);
}

static void shape_pie(DcHandle dc, const void* p)
{
    const BoxShape& s = *static_cast<const BoxShape*>(p);
    pie(dc, s.r.left, s.r.top, s.r.right, s.r.bottom, s.a, s.b, s.c, s.d);
}

static void shape_arc(DcHandle dc, const void* p)
{
    const BoxShape& s = *static_cast<const BoxShape*>(p);
    arc(dc, s.r.left, s.r.top, s.r.right, s.r.bottom, s.a, s.b, s.c, s.d);
}

// Rounded shapes inverted with a thin pen would invert the outline's pixels twice: the fill
// goes one pixel inside, then the outline alone.
static void draw_box(DcHandle dc, const DrawStyle& s, BoxShape shape, ShapeFn fn, uint32_t color, bool rounded)
{
    shape.r = adjust_to_pen(s, shape.r);
    if (rounded && s.mode == 2 && s.line_on && s.fill_on && s.line_height == 1) {
        DrawStyle fill_only = s;
        fill_only.line_on = 0;
        BoxShape inside = shape;
        inside.r = Rect{shape.r.left + 1, shape.r.top + 1, shape.r.right - 1, shape.r.bottom - 1};
        draw_styled(dc, fill_only, color, fn, &inside);
        DrawStyle line_only = s;
        line_only.fill_on = 0;
        draw_styled(dc, line_only, color, fn, &shape);
        return;
    }
    draw_styled(dc, s, color, fn, &shape);
}

void gdi_draw_rect(DcHandle dc, const DrawStyle* style, int32_t left, int32_t top, int32_t right, int32_t bottom,
    uint32_t color)
{
    draw_box(dc, *style, BoxShape{Rect{left, top, right, bottom}}, shape_rect, color, false);
}

void gdi_draw_ellipse(DcHandle dc, const DrawStyle* style, int32_t left, int32_t top, int32_t right,
    int32_t bottom, uint32_t color)
{
    draw_box(dc, *style, BoxShape{Rect{left, top, right, bottom}}, shape_ellipse, color, true);
}

void gdi_draw_round_rect(DcHandle dc, const DrawStyle* style, int32_t left, int32_t top, int32_t right,
    int32_t bottom, int32_t corner_width, int32_t corner_height, uint32_t color)
{
    BoxShape shape{Rect{left, top, right, bottom}, corner_width, corner_height};
    draw_box(dc, *style, shape, shape_round, color, true);
}

void gdi_draw_pie(DcHandle dc, const DrawStyle* style, int32_t left, int32_t top, int32_t right, int32_t bottom,
    int32_t x3, int32_t y3, int32_t x4, int32_t y4, uint32_t color)
{
    draw_box(dc, *style, BoxShape{Rect{left, top, right, bottom}, x3, y3, x4, y4}, shape_pie, color, false);
}

void gdi_draw_arc(DcHandle dc, const DrawStyle* style, int32_t left, int32_t top, int32_t right, int32_t bottom,
    int32_t x3, int32_t y3, int32_t x4, int32_t y4, uint32_t color)
{
    if (style->fill_on) {
        DrawStyle wedge = *style;
        wedge.line_on = 0;
        gdi_draw_pie(dc, &wedge, left, top, right, bottom, x3, y3, x4, y4, color);
    }
    DrawStyle outline = *style;
    outline.fill_on = 0;
    draw_box(dc, outline, BoxShape{Rect{left, top, right, bottom}, x3, y3, x4, y4}, shape_arc, color, false);
}

struct PointsShape {
    const Point* points;
    int count;
};

static void shape_polygon(DcHandle dc, const void* p)
{
    const PointsShape& s = *static_cast<const PointsShape*>(p);
    polygon(dc, s.points, s.count);
}

static void shape_polyline(DcHandle dc, const void* p)
{
    const PointsShape& s = *static_cast<const PointsShape*>(p);
    polyline(dc, s.points, s.count);
}

void gdi_draw_polygon(DcHandle dc, const DrawStyle* style, const Point* points, int count, uint32_t color)
{
    if (count <= 0 || !points)
        return;
    PointsShape shape{points, count};
    if (!style->line_on || points[0] == points[count - 1]) {
        draw_styled(dc, *style, color, shape_polygon, &shape);
        return;
    }
    if (style->fill_on) {
        DrawStyle fill_only = *style;
        fill_only.line_on = 0;
        draw_styled(dc, fill_only, color, shape_polygon, &shape);
    }
    DrawStyle line_only = *style;
    line_only.fill_on = 0;
    draw_styled(dc, line_only, color, shape_polyline, &shape);
}

// --- lines --------------------------------------------------------------------------------

int32_t gdi_arrow_size(int32_t width)
{
    if (width == 1)
        return 10;
    if (width == 2)
        return 13;
    return (5 * width + 20) / 2 - 1;
}

// The offset after steps of a Bresenham walk from (0, 0) towards (dx, dy).
static Point bresenham_offset(int32_t dx, int32_t dy, int32_t steps)
{
    int64_t ax = std::llabs(int64_t(dx)), ay = std::llabs(int64_t(dy));
    int32_t sx = dx < 0 ? -1 : 1, sy = dy < 0 ? -1 : 1;
    Point at;
    int64_t error = ax - ay;
    for (int32_t i = 0; i < steps && (at.x != dx || at.y != dy); i++) {
        int64_t twice = 2 * error;
        if (twice > -ay) {
            error -= ay;
            at.x += sx;
        }
        if (twice < ax) {
            error += ax;
            at.y += sy;
        }
    }
    return at;
}

// A style that fills in the line colour without a pen.
static DrawStyle ink_fill(const DrawStyle& s, uint8_t mode)
{
    DrawStyle ink = s;
    ink.mode = mode;
    ink.fill_on = 1;
    ink.fill_color = s.line_color;
    std::memset(ink.fill_pattern, 0, 8);
    ink.line_on = 0;
    return ink;
}

static void draw_head(DcHandle dc, const DrawStyle& s, Point tip, int sign, double angle, int32_t size,
    uint32_t color)
{
    int32_t t = size + 1;
    int32_t u = int32_t(std::lround(t * std::sin(angle)));
    int32_t w = int32_t(std::lround(t * std::cos(angle)));
    int32_t v = int32_t(std::lround(t * 0.4067366));
    double b = angle - 1.57079635;
    int32_t a_off = int32_t(v * std::cos(b));
    int32_t b_off = int32_t(v * std::sin(b));
    Point head[4] = {tip, {tip.x + sign * (w - a_off), tip.y + sign * (u - b_off)},
        {tip.x + sign * (w + a_off), tip.y + sign * (u + b_off)}, tip};
    DrawStyle ink = ink_fill(s, s.mode == 1 ? 4 : s.mode);
    gdi_draw_polygon(dc, &ink, head, 4, color);
}

// Draws the heads the length allows and shortens the line under them.
static void draw_heads(DcHandle dc, const DrawStyle& s, Point& p, Point& q, uint32_t color)
{
    int32_t size = gdi_arrow_size(s.line_width);
    int64_t dx = int64_t(q.x) - p.x, dy = int64_t(q.y) - p.y;
    int64_t length = std::llround(std::sqrt(double(dx * dx + dy * dy)));
    bool both = (s.arrows & 3) == 3;
    if (length <= (both ? 2 * int64_t(size) : size))
        return;
    Point offset = bresenham_offset(int32_t(dx), int32_t(dy), size * 7 / 10);
    double angle = std::atan2(double(dy), double(dx));
    if (s.arrows & 1) {
        draw_head(dc, s, p, 1, angle, size, color);
        p = Point{p.x + offset.x, p.y + offset.y};
    }
    if (s.arrows & 2) {
        draw_head(dc, s, q, -1, angle, size, color);
        q = Point{q.x - offset.x, q.y - offset.y};
    }
}

static void shape_line(DcHandle dc, const void* p)
{
    const Rect& r = static_cast<const BoxShape*>(p)->r;
    move_to_ex(dc, r.left, r.top, nullptr);
    line_to(dc, r.right, r.bottom);
}

// The six corners of the hull of the pen rectangles at both ends, p left of q.
static void draw_wide_body(DcHandle dc, const DrawStyle& ink, Point p, Point q, int32_t w, int32_t h,
    uint32_t color)
{
    if (q.x < p.x)
        std::swap(p, q);
    p = Point{p.x - w / 2, p.y - h / 2};
    q = Point{q.x - w / 2, q.y - h / 2};
    Point hull[6];
    if (q.y >= p.y) {
        Point down[6] = {p, {p.x + w, p.y}, {q.x + w, q.y}, {q.x + w, q.y + h}, {q.x, q.y + h}, {p.x, p.y + h}};
        std::copy(down, down + 6, hull);
    } else {
        Point up[6] = {p, q, {q.x + w, q.y}, {q.x + w, q.y + h}, {p.x + w, p.y + h}, {p.x, p.y + h}};
        std::copy(up, up + 6, hull);
    }
    gdi_draw_polygon(dc, &ink, hull, 6, color);
}

// Fills the rectangle in the line colour without a pen, as GDI fills it (the right column
// and bottom row left out).
static void fill_ink(DcHandle dc, const DrawStyle& ink, const Rect& r, uint32_t color)
{
    BoxShape box{r};
    draw_styled(dc, ink, color, shape_rect, &box);
}

void gdi_draw_line(DcHandle dc, const DrawStyle* style, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
    uint32_t color)
{
    const DrawStyle& s = *style;
    if (pen_absent(s))
        return;
    Point p{x1, y1}, q{x2, y2};
    if (s.arrows & 3)
        draw_heads(dc, s, p, q, color);
    int32_t w = s.line_width, h = s.line_height;
    DrawStyle ink = ink_fill(s, s.mode);
    if (x1 == x2 || y1 == y2) {
        Rect body{std::min(p.x, q.x) - w / 2, std::min(p.y, q.y) - h / 2, std::max(p.x, q.x) + (w + 1) / 2 + 1,
            std::max(p.y, q.y) + (h + 1) / 2 + 1};
        fill_ink(dc, ink, body, color);
    } else if (w == 1) {
        // The pen leaves out the last pixel; the end pixel follows on its own.
        BoxShape segment{Rect{p.x, p.y, q.x, q.y}};
        int rop = s.mode == 2 ? R2_XORPEN : R2_COPYPEN;
        one_pass(dc, make_pen(s, pen_color(s, color)), get_stock_object(NULL_BRUSH), rop, BrushColors{kBlack, kWhite},
            shape_line, &segment);
        fill_ink(dc, ink, Rect{q.x, q.y, q.x + 2, q.y + 2}, color);
    } else {
        draw_wide_body(dc, ink, p, q, w, h, color);
    }
}

void gdi_line_bounds(Rect* out, int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t width, int arrows)
{
    Rect r = rect_from_points(x1, y1, x2, y2);
    int32_t half = width / 2;
    r = Rect{r.left - half, r.top - half, r.right + half, r.bottom + half};
    if (width % 2 != 0) {
        r.right++;
        r.bottom++;
    }
    if (arrows) {
        int32_t w = width == 1 ? 0 : width;
        int32_t grow = (w * 5 + 20) / 4;
        r = Rect{r.left - grow, r.top - grow, r.right + grow, r.bottom + grow};
    }
    *out = r;
}

// --- small services -----------------------------------------------------------------------

void gdi_frame_rect(DcHandle dc, const Rect* rect)
{
    GdiObject previous = select_object(dc, get_stock_object(NULL_BRUSH));
    rectangle(dc, rect->left, rect->top, rect->right, rect->bottom);
    select_object(dc, previous);
}

void gdi_set_origin(DcHandle dc, int32_t x, int32_t y) { set_window_org_ex(dc, x, y, nullptr); }

Point gdi_get_origin(DcHandle dc)
{
    Point origin;
    get_window_org_ex(dc, origin);
    return origin;
}

void gdi_offset_origin(DcHandle dc, int32_t dx, int32_t dy) { offset_window_org_ex(dc, dx, dy, nullptr); }

GdiObject gdi_pattern_brush(const uint8_t pattern[8])
{
    uint8_t rows[16] = {}; // monochrome rows are padded to 2 bytes
    for (int i = 0; i < 8; i++)
        rows[2 * i] = pattern[i];
    GdiObject bitmap = create_bitmap(8, 8, 1, 1, rows, sizeof rows);
    GdiObject brush = create_pattern_brush(bitmap);
    delete_object(bitmap);
    return brush;
}

// Wraps at the ends of the 32-bit range, as the window system's own offset does.
static int32_t wrap_add(int32_t a, int32_t b) { return int32_t(uint32_t(a) + uint32_t(b)); }

void crect_offset(Rect* rect, int32_t dx, int32_t dy)
{
    *rect = Rect{wrap_add(rect->left, dx), wrap_add(rect->top, dy), wrap_add(rect->right, dx),
        wrap_add(rect->bottom, dy)};
}

void crect_move_to(Rect* rect, int32_t x, int32_t y)
{
    crect_offset(rect, int32_t(uint32_t(x) - uint32_t(rect->left)), int32_t(uint32_t(y) - uint32_t(rect->top)));
}
