#include "platform/controls/menu_draw.h"

#include <algorithm>

#include "platform/controls/ctl_draw.h"
#include "platform/gdi/bitmap.h"
#include "platform/gdi/blit.h"
#include "platform/gdi/clip.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/gdi_object.h"
#include "platform/gdi/rop.h"
#include "platform/text/draw_text.h"
#include "platform/text/font.h"
#include "platform/window/menu.h"
#include "platform/window/metrics.h"

namespace plat {

// Pixels around a bar item's text, on each side.
constexpr int32_t kBarPadding = 6;
// A pull-down's 3-D frame, the column of check marks at its left and of arrows at its right.
constexpr int32_t kPopupFrame = 3;
constexpr int32_t kCheckColumn = 18;
constexpr int32_t kArrowColumn = 16;
// Between the longest label and the longest key name.
constexpr int32_t kKeyGap = 12;
constexpr int32_t kSeparatorHeight = 8;

std::string menu_draw_plain_text(const std::string& text)
{
    std::string plain;
    for (size_t i = 0; i < text.size() && text[i] != '\t'; i++) {
        if (text[i] == '&' && i + 1 < text.size()) {
            i++; // "&&" stands for one "&"
            if (text[i] == '\t')
                break;
        }
        plain += text[i];
    }
    return plain;
}

static std::string label_part(const std::string& text)
{
    size_t tab = text.find('\t');
    return tab == std::string::npos ? text : text.substr(0, tab);
}

static std::string key_part(const std::string& text)
{
    size_t tab = text.find('\t');
    return tab == std::string::npos ? std::string() : text.substr(tab + 1);
}

// A DC for measuring in the menu font; the font goes with the DC.
struct MenuDc {
    DcHandle dc;
    GdiObject font;
    GdiObject old_font;
    WindowHandle window;

    explicit MenuDc(DcHandle target, WindowHandle owner = {}) : dc(target), window(owner)
    {
        NonClientMetrics metrics;
        system_parameters_info(SPI_GETNONCLIENTMETRICS, metrics.size, &metrics, 0);
        font = create_font_indirect(metrics.menu_font);
        old_font = select_object(dc, font);
    }
    ~MenuDc()
    {
        select_object(dc, old_font);
        delete_object(font);
    }
    MenuDc(const MenuDc&) = delete;
    MenuDc& operator=(const MenuDc&) = delete;
};

static Size text_size(DcHandle dc, const std::string& text)
{
    Rect rect{0, 0, 0, 0};
    draw_text(dc, text.c_str(), int(text.size()), rect, DT_SINGLELINE | DT_CALCRECT);
    return Size{rect.width(), rect.height()};
}

static Size bitmap_size(GdiObject bitmap)
{
    BitmapInfo info;
    if (!get_object(bitmap, info))
        return Size{0, 0};
    return Size{info.width, info.height};
}

std::vector<Rect> menu_draw_bar_layout(MenuHandle bar, const Rect& area)
{
    std::vector<Rect> items;
    DcHandle screen = get_dc({});
    {
        MenuDc measure(screen);
        int32_t x = area.left;
        MenuItemInfo item;
        for (int i = 0; menu_item_at(bar, i, item); i++) {
            // A bitmap item is as wide as its bitmap, so a click's distance from the bar's
            // left end tells whether it hit the glyph.
            int32_t width = (item.flags & MF_BITMAP) ? bitmap_size(item.bitmap).cx
                                                     : text_size(measure.dc, label_part(item.text)).cx + 2 * kBarPadding;
            items.push_back(Rect{x, area.top, x + width, area.bottom - 1});
            x += width;
        }
    }
    release_dc({}, screen);
    return items;
}

static void draw_bitmap(DcHandle dc, GdiObject bitmap, const Rect& box)
{
    Size size = bitmap_size(bitmap);
    DcHandle memory = create_compatible_dc(dc);
    GdiObject old = select_object(memory, bitmap);
    int32_t y = box.top + (box.height() - size.cy) / 2;
    bit_blt(dc, box.left, y, std::min(size.cx, box.width()), size.cy, memory, 0, 0, SRCCOPY);
    select_object(memory, old);
    delete_dc(memory);
}

static void draw_label(DcHandle dc, const std::string& text, const Rect& box, uint32_t format, const MenuItemInfo& item,
    bool highlighted)
{
    bool grayed = (item.flags & (MF_GRAYED | MF_DISABLED)) != 0;
    set_text_color(dc, get_sys_color(highlighted ? COLOR_HIGHLIGHTTEXT : COLOR_MENUTEXT));
    if (grayed && highlighted) {
        set_text_color(dc, get_sys_color(COLOR_GRAYTEXT));
        ctl_draw_label(dc, text, box, format, LabelState::enabled);
        return;
    }
    ctl_draw_label(dc, text, box, format, grayed ? LabelState::disabled : LabelState::enabled);
}

void menu_draw_bar(WindowHandle window, MenuHandle bar, const Rect& area, int highlighted)
{
    std::vector<Rect> items = menu_draw_bar_layout(bar, area);
    DcHandle dc = get_window_dc(window);
    {
        MenuDc paint(dc, window);
        intersect_clip_rect(dc, area.left, area.top, area.right, area.bottom);
        ctl_draw_fill(dc, area, COLOR_MENU);
        MenuItemInfo item;
        for (int i = 0; i < int(items.size()) && menu_item_at(bar, i, item); i++) {
            bool lit = i == highlighted;
            if (lit)
                ctl_draw_fill(dc, items[size_t(i)], COLOR_HIGHLIGHT);
            if (item.flags & MF_BITMAP)
                draw_bitmap(dc, item.bitmap, items[size_t(i)]);
            else
                draw_label(dc, label_part(item.text), items[size_t(i)], DT_SINGLELINE | DT_CENTER | DT_VCENTER, item, lit);
        }
    }
    release_dc(window, dc);
}

static int32_t item_height(const MenuItemInfo& item)
{
    if (item.flags & MF_SEPARATOR)
        return kSeparatorHeight;
    if (item.flags & MF_BITMAP)
        return std::max<int32_t>(bitmap_size(item.bitmap).cy, 2);
    return get_system_metrics(SM_CYMENUSIZE);
}

PopupLayout menu_draw_popup_layout(MenuHandle menu)
{
    PopupLayout layout;
    int32_t label_width = 0;
    int32_t key_width = 0;
    DcHandle screen = get_dc({});
    {
        MenuDc measure(screen);
        MenuItemInfo item;
        int32_t y = kPopupFrame;
        for (int i = 0; menu_item_at(menu, i, item); i++) {
            int32_t height = item_height(item);
            layout.items.push_back(Rect{kPopupFrame, y, kPopupFrame, y + height});
            y += height;
            if (item.flags & MF_BITMAP)
                label_width = std::max(label_width, bitmap_size(item.bitmap).cx);
            else if (!(item.flags & MF_SEPARATOR)) {
                label_width = std::max(label_width, text_size(measure.dc, label_part(item.text)).cx);
                key_width = std::max(key_width, text_size(measure.dc, key_part(item.text)).cx);
            }
        }
        layout.size.cy = y + kPopupFrame;
    }
    release_dc({}, screen);
    int32_t inner = kCheckColumn + label_width + (key_width > 0 ? kKeyGap + key_width : 0) + kArrowColumn;
    layout.size.cx = inner + 2 * kPopupFrame;
    for (Rect& box : layout.items)
        box.right = box.left + inner;
    return layout;
}

// A check mark of two strokes, in the item's text colour.
static void draw_check(DcHandle dc, const Rect& box, int color)
{
    int32_t x = box.left + 5;
    int32_t y = box.top + box.height() / 2 - 1;
    for (int32_t i = 0; i < 3; i++)
        ctl_draw_fill(dc, Rect{x + i, y + i, x + i + 1, y + i + 3}, color);
    for (int32_t i = 0; i < 4; i++)
        ctl_draw_fill(dc, Rect{x + 3 + i, y + 1 - i, x + 4 + i, y + 4 - i}, color);
}

// The arrow of an item that opens a further pull-down, pointing right.
static void draw_arrow(DcHandle dc, const Rect& box, int color)
{
    int32_t x = box.right - kArrowColumn + 6;
    int32_t y = box.top + box.height() / 2;
    for (int32_t i = 0; i < 4; i++)
        ctl_draw_fill(dc, Rect{x + i, y - 3 + i, x + i + 1, y + 4 - i}, color);
}

static void draw_popup_item(DcHandle dc, const MenuItemInfo& item, const Rect& box, bool selected)
{
    if (item.flags & MF_SEPARATOR) {
        int32_t y = box.top + box.height() / 2 - 1;
        ctl_draw_fill(dc, Rect{box.left + 1, y, box.right - 1, y + 1}, COLOR_BTNSHADOW);
        ctl_draw_fill(dc, Rect{box.left + 1, y + 1, box.right - 1, y + 2}, COLOR_BTNHIGHLIGHT);
        return;
    }
    ctl_draw_fill(dc, box, selected ? COLOR_HIGHLIGHT : COLOR_MENU);
    int mark = selected ? COLOR_HIGHLIGHTTEXT : COLOR_MENUTEXT;
    if (item.flags & MF_CHECKED)
        draw_check(dc, box, mark);
    if (item.flags & MF_POPUP)
        draw_arrow(dc, box, mark);
    Rect text = box;
    text.left += kCheckColumn;
    text.right -= kArrowColumn;
    if (item.flags & MF_BITMAP) {
        draw_bitmap(dc, item.bitmap, text);
        return;
    }
    draw_label(dc, label_part(item.text), text, DT_SINGLELINE | DT_VCENTER | DT_LEFT, item, selected);
    std::string key = key_part(item.text);
    if (!key.empty())
        draw_label(dc, key, text, DT_SINGLELINE | DT_VCENTER | DT_RIGHT | DT_NOPREFIX, item, selected);
}

void menu_draw_popup(DcHandle dc, MenuHandle menu, const PopupLayout& layout, int selected)
{
    MenuDc paint(dc);
    Rect frame{0, 0, layout.size.cx, layout.size.cy};
    draw_edge(dc, frame, EDGE_RAISED, BF_RECT | BF_MIDDLE | BF_ADJUST);
    ctl_draw_fill(dc, frame, COLOR_MENU);
    MenuItemInfo item;
    for (int i = 0; i < int(layout.items.size()) && menu_item_at(menu, i, item); i++)
        draw_popup_item(dc, item, layout.items[size_t(i)], i == selected);
}

} // namespace plat
