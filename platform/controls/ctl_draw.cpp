#include "platform/controls/ctl_draw.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "platform/gdi/bitmap.h"
#include "platform/gdi/blit.h"
#include "platform/gdi/dc.h"
#include "platform/text/draw_text.h"
#include "platform/gdi/gdi_object.h"
#include "platform/window/metrics.h"
#include "platform/window/paint.h"
#include "platform/gdi/shape.h"

namespace plat {

void ctl_draw_fill(DcHandle dc, const Rect& rect, int color_index)
{
    if (!is_rect_empty(rect))
        fill_rect(dc, rect, get_sys_color_brush(color_index));
}

// Top and left lines in one colour, then bottom and right in the other, which so own the two
// corners where they meet.
static void bevel(DcHandle dc, const Rect& r, uint32_t sides, int top_left, int bottom_right)
{
    if (sides & BF_TOP)
        ctl_draw_fill(dc, Rect{r.left, r.top, r.right, r.top + 1}, top_left);
    if (sides & BF_LEFT)
        ctl_draw_fill(dc, Rect{r.left, r.top, r.left + 1, r.bottom}, top_left);
    if (sides & BF_BOTTOM)
        ctl_draw_fill(dc, Rect{r.left, r.bottom - 1, r.right, r.bottom}, bottom_right);
    if (sides & BF_RIGHT)
        ctl_draw_fill(dc, Rect{r.right - 1, r.top, r.right, r.bottom}, bottom_right);
}

static void shrink(Rect& r, uint32_t sides)
{
    if (sides & BF_LEFT)
        r.left++;
    if (sides & BF_TOP)
        r.top++;
    if (sides & BF_RIGHT)
        r.right--;
    if (sides & BF_BOTTOM)
        r.bottom--;
}

struct EdgeColors {
    uint32_t bit;
    int top_left;
    int bottom_right;
};

// The four bevels, each a pair of colours: raised ones light at the top left, sunken ones dark.
static const EdgeColors kEdgeColors[] = {
    {BDR_RAISEDOUTER, COLOR_3DLIGHT, COLOR_3DDKSHADOW},
    {BDR_SUNKENOUTER, COLOR_3DSHADOW, COLOR_3DHIGHLIGHT},
    {BDR_RAISEDINNER, COLOR_3DHIGHLIGHT, COLOR_3DSHADOW},
    {BDR_SUNKENINNER, COLOR_3DDKSHADOW, COLOR_3DLIGHT},
};

static void draw_bevel_pair(DcHandle dc, Rect& r, uint32_t edge, uint32_t sides, uint32_t outer_or_inner)
{
    for (const EdgeColors& colors : kEdgeColors) {
        if ((edge & outer_or_inner & colors.bit) == 0)
            continue;
        bevel(dc, r, sides, colors.top_left, colors.bottom_right);
        shrink(r, sides);
        return;
    }
}

bool draw_edge(DcHandle dc, Rect& rect, uint32_t edge, uint32_t flags)
{
    if (!dc_find(dc))
        return false;
    Rect r = rect;
    uint32_t sides = flags & BF_RECT;
    if (flags & (BF_MONO | BF_FLAT)) {
        int color = (flags & BF_MONO) ? COLOR_WINDOWFRAME : COLOR_3DSHADOW;
        bevel(dc, r, sides, color, color);
        shrink(r, sides);
        if ((edge & (BDR_RAISEDINNER | BDR_SUNKENINNER)) && (edge & (BDR_RAISEDOUTER | BDR_SUNKENOUTER))) {
            int inner = (flags & BF_MONO) ? COLOR_WINDOW : COLOR_BTNFACE;
            bevel(dc, r, sides, inner, inner);
            shrink(r, sides);
        }
    } else {
        draw_bevel_pair(dc, r, edge, sides, BDR_RAISEDOUTER | BDR_SUNKENOUTER);
        draw_bevel_pair(dc, r, edge, sides, BDR_RAISEDINNER | BDR_SUNKENINNER);
    }
    if (flags & BF_MIDDLE)
        ctl_draw_fill(dc, r, (flags & BF_MONO) ? COLOR_WINDOW : COLOR_BTNFACE);
    if (flags & BF_ADJUST)
        rect = r;
    return true;
}

// The check mark, 7 x 7, drawn inside the box's white square.
static const char* const kCheckMark[] = {
    "......#",
    ".....##",
    "#...###",
    "##.###.",
    "#####..",
    ".###...",
    "..#....",
};

static void draw_pattern(DcHandle dc, int32_t x, int32_t y, const char* const* rows, int count, uint32_t color)
{
    for (int row = 0; row < count; row++) {
        for (int col = 0; rows[row][col]; col++) {
            if (rows[row][col] == '#')
                set_pixel(dc, x + col, y + row, color);
        }
    }
}

static Rect centred_square(const Rect& rect, int32_t side)
{
    int32_t x = rect.left + (rect.width() - side) / 2;
    int32_t y = rect.top + (rect.height() - side) / 2;
    return Rect{x, y, x + side, y + side};
}

static void draw_check_box(DcHandle dc, const Rect& rect, uint32_t state)
{
    Rect box = centred_square(rect, kCheckBoxSize);
    draw_edge(dc, box, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
    bool dim = (state & (DFCS_PUSHED | DFCS_INACTIVE)) != 0;
    ctl_draw_fill(dc, box, dim ? COLOR_BTNFACE : COLOR_WINDOW);
    if (state & DFCS_CHECKED) {
        int color = (state & DFCS_INACTIVE) ? COLOR_GRAYTEXT : COLOR_WINDOWTEXT;
        draw_pattern(dc, box.left + 1, box.top + 1, kCheckMark, 7, get_sys_color(color));
    }
}

// A radio button is a ring of two bevels split along the diagonal, light below it, and a dot.
static int radio_color(int32_t x, int32_t y, uint32_t state)
{
    double dx = x - 5.5;
    double dy = y - 5.5;
    double distance = std::sqrt(dx * dx + dy * dy);
    bool upper_left = x + y < 11;
    if (distance < 1.9 && (state & DFCS_CHECKED))
        return (state & DFCS_INACTIVE) ? COLOR_GRAYTEXT : COLOR_WINDOWTEXT;
    if (distance < 4.3)
        return (state & (DFCS_PUSHED | DFCS_INACTIVE)) ? COLOR_BTNFACE : COLOR_WINDOW;
    if (distance < 5.2)
        return upper_left ? COLOR_3DDKSHADOW : COLOR_3DLIGHT;
    if (distance < 6.1)
        return upper_left ? COLOR_3DSHADOW : COLOR_3DHIGHLIGHT;
    return -1;
}

static void draw_radio(DcHandle dc, const Rect& rect, uint32_t state)
{
    Rect box = centred_square(rect, 12);
    for (int32_t y = 0; y < 12; y++) {
        for (int32_t x = 0; x < 12; x++) {
            int color = radio_color(x, y, state);
            if (color >= 0)
                set_pixel(dc, box.left + x, box.top + y, get_sys_color(color));
        }
    }
}

// An arrow of rows growing by one pixel on each side, pointing the way the glyph says.
static void draw_arrow(DcHandle dc, const Rect& rect, uint32_t glyph, int color, int32_t size)
{
    int32_t cx = rect.left + rect.width() / 2;
    int32_t cy = rect.top + rect.height() / 2;
    for (int32_t i = 0; i < size; i++) {
        int32_t half = i;
        switch (glyph) {
        case DFCS_SCROLLUP: ctl_draw_fill(dc, Rect{cx - half - 1, cy - size / 2 + i, cx + half, cy - size / 2 + i + 1}, color); break;
        case DFCS_SCROLLLEFT: ctl_draw_fill(dc, Rect{cx - size / 2 + i, cy - half - 1, cx - size / 2 + i + 1, cy + half}, color); break;
        case DFCS_SCROLLRIGHT: ctl_draw_fill(dc, Rect{cx + size / 2 - i - 1, cy - half - 1, cx + size / 2 - i, cy + half}, color); break;
        default: ctl_draw_fill(dc, Rect{cx - half - 1, cy + size / 2 - i - 1, cx + half, cy + size / 2 - i}, color); break;
        }
    }
}

static void draw_scroll_button(DcHandle dc, Rect rect, uint32_t state)
{
    // Four rows of arrow in a button of 16 pixels, as the classic look has it.
    int32_t size = std::max(2, (std::min(rect.width(), rect.height()) + 1) / 4);
    bool pushed = (state & DFCS_PUSHED) != 0;
    if (pushed || (state & DFCS_FLAT))
        draw_edge(dc, rect, EDGE_SUNKEN, BF_RECT | BF_MIDDLE | BF_FLAT | BF_ADJUST);
    else
        draw_edge(dc, rect, EDGE_RAISED, BF_RECT | BF_MIDDLE | BF_ADJUST);
    if (pushed)
        offset_rect(rect, 1, 1);
    uint32_t glyph = (state & 0xF) == DFCS_SCROLLCOMBOBOX ? DFCS_SCROLLDOWN : state & 0xF;
    if (state & DFCS_INACTIVE) {
        Rect etched = rect;
        offset_rect(etched, 1, 1);
        draw_arrow(dc, etched, glyph, COLOR_3DHIGHLIGHT, size);
        draw_arrow(dc, rect, glyph, COLOR_3DSHADOW, size);
        return;
    }
    draw_arrow(dc, rect, glyph, COLOR_BTNTEXT, size);
}

bool draw_frame_control(DcHandle dc, Rect& rect, uint32_t type, uint32_t state)
{
    if (!dc_find(dc))
        return false;
    if (type == DFC_SCROLL) {
        draw_scroll_button(dc, rect, state);
        return true;
    }
    if (type != DFC_BUTTON)
        return false;
    if (state & DFCS_BUTTONPUSH) {
        Rect r = rect;
        draw_edge(dc, r, (state & DFCS_PUSHED) ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT | BF_MIDDLE | BF_ADJUST);
        return true;
    }
    if (state & DFCS_BUTTONRADIO)
        draw_radio(dc, rect, state);
    else
        draw_check_box(dc, rect, state);
    return true;
}

// Every other pixel of the outline is inverted, through an 8 x 8 checker pattern.
bool draw_focus_rect(DcHandle dc, const Rect& rect)
{
    if (!dc_find(dc) || is_rect_empty(rect))
        return false;
    static const uint8_t kChecker[16] = {0xAA, 0, 0x55, 0, 0xAA, 0, 0x55, 0, 0xAA, 0, 0x55, 0, 0xAA, 0, 0x55, 0};
    GdiObject pattern = create_bitmap(8, 8, 1, 1, kChecker, sizeof kChecker);
    GdiObject brush = create_pattern_brush(pattern);
    delete_object(pattern);
    GdiObject old_brush = select_object(dc, brush);
    uint32_t old_text = set_text_color(dc, 0x000000);
    uint32_t old_back = set_bk_color(dc, 0xFFFFFF);
    int32_t w = rect.width();
    int32_t h = rect.height();
    pat_blt(dc, rect.left, rect.top, w, 1, PATINVERT);
    if (h > 1)
        pat_blt(dc, rect.left, rect.bottom - 1, w, 1, PATINVERT);
    if (h > 2) {
        pat_blt(dc, rect.left, rect.top + 1, 1, h - 2, PATINVERT);
        if (w > 1)
            pat_blt(dc, rect.right - 1, rect.top + 1, 1, h - 2, PATINVERT);
    }
    set_text_color(dc, old_text);
    set_bk_color(dc, old_back);
    select_object(dc, old_brush);
    delete_object(brush);
    return true;
}

int ctl_draw_label(DcHandle dc, std::string_view text, Rect rect, uint32_t format, LabelState state)
{
    int old_mode = set_bk_mode(dc, TRANSPARENT);
    uint32_t old_color = get_text_color(dc);
    std::string copy(text);
    int height = 0;
    if (state == LabelState::disabled) {
        Rect etched = rect;
        offset_rect(etched, 1, 1);
        set_text_color(dc, get_sys_color(COLOR_3DHIGHLIGHT));
        draw_text(dc, copy.c_str(), int(copy.size()), etched, format);
        set_text_color(dc, get_sys_color(COLOR_3DSHADOW));
    }
    height = draw_text(dc, copy.c_str(), int(copy.size()), rect, format);
    set_text_color(dc, old_color);
    set_bk_mode(dc, old_mode);
    return height;
}

LResult ctl_draw_on_paint(WindowHandle window, CtlPainter painter)
{
    PaintStruct ps;
    DcHandle dc = begin_paint(window, ps);
    painter(window, dc);
    end_paint(window, ps);
    return 0;
}

} // namespace plat
