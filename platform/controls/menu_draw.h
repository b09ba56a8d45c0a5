// Layout and drawing of menu bars and pull-downs in the menu font of the non-client metrics:
// text items with their mnemonics underlined and their key names right-aligned after a tab,
// bitmap items, separators, check marks, the arrow of items that open a further pull-down,
// grayed items embossed, the highlighted item in the highlight colours.
#pragma once
#include <string>
#include <vector>

#include "platform/window/geometry.h"
#include "platform/window/message.h"
#include "platform/window/window_types.h"

namespace plat {

// The items of a bar in one row from area's left, in area's coordinates.
std::vector<Rect> menu_draw_bar_layout(MenuHandle bar, const Rect& area);
// Draws the bar into the window's DC (window coordinates); highlighted is a position or -1.
void menu_draw_bar(WindowHandle window, MenuHandle bar, const Rect& area, int highlighted);

struct PopupLayout {
    std::vector<Rect> items; // client coordinates of the pull-down window
    Size size;               // the window's size, its 3-D frame included
};
PopupLayout menu_draw_popup_layout(MenuHandle menu);
void menu_draw_popup(DcHandle dc, MenuHandle menu, const PopupLayout& layout, int selected);

// An item's label as a person reads it: without "&" and without the key name after a tab.
std::string menu_draw_plain_text(const std::string& text);

} // namespace plat
