// Groups of shapes on the stage, painted by the refresh, against the same shapes drawn straight
// through the drawing primitives in layer order: pixel for pixel.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/backend/backend.h"
#include "platform/backend/headless.h"
#include "platform/backend/script.h"
#include "platform/gdi/bitmap.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/gdi_object.h"
#include "platform/gdi/shape.h"
#include "platform/kernel/clock.h"
#include "platform/window/defproc.h"
#include "platform/window/paint.h"
#include "platform/window/styles.h"
#include "platform/window/window.h"
#include "platform/window/wndclass.h"
#include "runtime/display/dobj_icon.h"
#include "runtime/display/group.h"
#include "runtime/display/palette.h"
#include "runtime/display/refresh.h"
#include "runtime/display/shapes.h"
#include "runtime/engine/modbus.h"
#include "tests/display/stage_window.h"

namespace {

constexpr Rect kStage{0, 0, 200, 150};

struct Shape {
    uint32_t kind; // kMemberLine, kMemberRect or kMemberOval
    Rect rect;     // a line runs from (left, top) to (right, bottom)
    DrawStyle style;
};

struct Display {
    uint32_t node;
    int32_t layer;
    uint16_t planes;
    std::vector<Shape> shapes;
};

DrawStyle style(uint32_t fill, uint32_t line, int16_t pen, uint8_t arrows = 0)
{
    DrawStyle s;
    gdi_style_init(&s);
    s.fill_on = fill != 0xFFFFFFFF;
    s.fill_color = fill;
    s.line_on = line != 0xFFFFFFFF;
    s.line_color = line;
    s.line_width = pen;
    s.line_height = pen;
    s.arrows = arrows;
    return s;
}

void draw_shape(plat::DcHandle dc, const Shape& shape)
{
    const Rect& r = shape.rect;
    if (shape.kind == kMemberLine)
        gdi_draw_line(dc, &shape.style, r.left, r.top, r.right, r.bottom, 0xFFFFFF);
    else if (shape.kind == kMemberRect)
        gdi_draw_rect(dc, &shape.style, r.left, r.top, r.right, r.bottom, 0xFFFFFF);
    else
        gdi_draw_ellipse(dc, &shape.style, r.left, r.top, r.right, r.bottom, 0xFFFFFF);
}

class ShapeDrawTest : public ::testing::Test {
protected:
    plat::WindowHandle window;

    void SetUp() override
    {
        window = disptest::open_fresh_stage("ShapeDrawStage", kStage.right, kStage.bottom);
        ASSERT_TRUE(window);
    }
    void TearDown() override { disptest::close_fresh_stage(window); }

    // An icon object whose kind is the group itself, holding the shapes as members.
    uint32_t show(const Display& display)
    {
        DisplayList members;
        uint16_t flags = uint16_t(kDobjVisible | display.planes);
        for (const Shape& shape : display.shapes) {
            if (shape.kind == kMemberLine)
                shape_add_line(members, shape.style, Point{shape.rect.left, shape.rect.top},
                    Point{shape.rect.right, shape.rect.bottom}, flags);
            else
                shape_add_box(members, shape.kind, shape.style, shape.rect, flags);
        }
        return group_create_for_icon(members, kDobjKindGroup, node_make_icon(1, display.node), 0, display.planes,
            display.layer);
    }
    // The window's pixels after a refresh against the shapes drawn in the order given.
    void expect_same_as(const std::vector<const Display*>& in_order)
    {
        screen_refresh();
        plat::DcHandle window_dc = plat::get_dc(window);
        plat::DcHandle expected = plat::create_compatible_dc(window_dc);
        plat::GdiObject bitmap = plat::create_compatible_bitmap(window_dc, kStage.right, kStage.bottom);
        plat::GdiObject old = plat::select_object(expected, bitmap);
        plat::GdiObject white = plat::create_solid_brush(0xFFFFFF);
        plat::fill_rect(expected, kStage, white);
        plat::delete_object(white);
        for (const Display* display : in_order)
            for (const Shape& shape : display->shapes)
                draw_shape(expected, shape);
        int differing = 0;
        for (int32_t y = 0; y < kStage.bottom; y++)
            for (int32_t x = 0; x < kStage.right; x++)
                if ((plat::get_pixel(window_dc, x, y) & 0xFFFFFF) != (plat::get_pixel(expected, x, y) & 0xFFFFFF)
                    && differing++ < 5)
                    ADD_FAILURE() << "pixel " << x << "," << y;
        EXPECT_EQ(differing, 0);
        plat::select_object(expected, old);
        plat::delete_object(bitmap);
        plat::delete_dc(expected);
        plat::release_dc(window, window_dc);
    }
};

TEST_F(ShapeDrawTest, GroupsOfShapesPaintAsTheirShapesDrawnInLayerOrder)
{
    const Display front{2, 5, kDobjPlaneMiddle,
        {{kMemberRect, {100, 10, 180, 70}, style(0x00FFFF, 0x000000, 1)},
            {kMemberLine, {120, 140, 190, 80}, style(0, 0x800080, 3, 2)}}};
    const Display back{1, 0, kDobjPlaneBottom,
        {{kMemberRect, {10, 10, 90, 60}, style(0x0000FF, 0xFF0000, 3)},
            {kMemberOval, {50, 30, 150, 120}, style(0x00FF00, 0xFFFFFFFF, 1)},
            {kMemberLine, {5, 140, 190, 20}, style(0, 0x000000, 2, 3)},
            {kMemberOval, {20, 80, 60, 140}, style(0xFFFFFFFF, 0xFF00FF, 1)}}};
    // Shown front first: the layers, not the order of showing, decide.
    ASSERT_NE(show(front), 0u);
    ASSERT_NE(show(back), 0u);
    expect_same_as({&back, &front});
}

TEST_F(ShapeDrawTest, AnErasedGroupLeavesTheOnesBelowAsIfItHadNeverBeenThere)
{
    const Display below{1, 0, kDobjPlaneBottom, {{kMemberOval, {0, 0, 200, 150}, style(0xC0C0C0, 0x000000, 1)}}};
    const Display gone{2, 3, kDobjPlaneMiddle, {{kMemberRect, {40, 40, 160, 110}, style(0x0000FF, 0x000000, 5)}}};
    ASSERT_NE(show(below), 0u);
    ASSERT_NE(show(gone), 0u);
    screen_refresh();
    dobj_erase_icon(node_make_icon(1, 2), 0);
    expect_same_as({&below});
}

} // namespace
