#include "platform/controls/ctl_listbox.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/kernel/codepage.h"
#include "platform/controls/controls.h"
#include "platform/controls/ctl_combo.h"
#include "platform/controls/ctl_draw.h"
#include "platform/controls/ctl_scroll.h"
#include "platform/gdi/dc.h"
#include "platform/window/defproc.h"
#include "platform/text/draw_text.h"
#include "platform/window/focus.h"
#include "platform/text/font.h"
#include "platform/gdi/gdi_object.h"
#include "platform/window/input.h"
#include "platform/window/keyboard.h"
#include "platform/window/metrics.h"
#include "platform/window/paint.h"
#include "platform/text/text.h"
#include "platform/window/winpos.h"

namespace plat {

// Text starts this far from the item's left edge.
constexpr int32_t kTextIndent = 2;
// Lines one notch of the mouse wheel scrolls.
constexpr int32_t kWheelLines = 3;

struct ListItem {
    std::string text;
    uintptr_t data = 0;
    bool selected = false;
    int32_t height = 0; // LBS_OWNERDRAWVARIABLE only
};

struct ListData {
    std::vector<ListItem> items;
    int32_t top = 0;
    int32_t caret = -1;    // the item with the focus rectangle
    int32_t selected = -1; // single selection
    int32_t anchor = -1;   // where an extended selection started
    int32_t item_height = 0;
    bool focused = false;
    bool tracking = false;
    bool redraw = true;
    bool sizing = false;
    bool scroll_bar = false; // made with WS_VSCROLL: the bar comes and goes as the items need
    WindowHandle combo; // the combo box whose drop-down this is
    bool armed = false; // a drop-down takes a release only after the pointer came into it
};

static ControlTable<ListData> s_lists{0x1B5};

static uint32_t style_of(WindowHandle window) { return uint32_t(get_window_long(window, GWL_STYLE)); }
static bool owner_drawn(uint32_t style) { return (style & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE)) != 0; }
static bool has_strings(uint32_t style) { return !owner_drawn(style) || (style & LBS_HASSTRINGS); }
static bool multiple(uint32_t style) { return (style & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL)) != 0; }
static int32_t count_of(const ListData& list) { return int32_t(list.items.size()); }

// Who hears of the list: its parent, or for a drop-down the combo box's parent, which sees
// the items as the combo box's.
struct ListOwner {
    WindowHandle window;
    uint32_t ctl_type = ODT_LISTBOX;
    uint32_t ctl_id = 0;
    WindowHandle item_window;
};

static ListOwner owner_of(WindowHandle window, const ListData& list)
{
    if (list.combo)
        return ListOwner{get_parent(list.combo), ODT_COMBOBOX, uint32_t(get_dlg_ctrl_id(list.combo)), list.combo};
    return ListOwner{get_parent(window), ODT_LISTBOX, uint32_t(get_dlg_ctrl_id(window)), window};
}

static void notify(WindowHandle window, uint32_t code)
{
    ListData* list = s_lists.find(window);
    if (!list)
        return;
    bool always = code == LBN_SETFOCUS || code == LBN_KILLFOCUS;
    if (list->combo || (!always && !(style_of(window) & LBS_NOTIFY)))
        return;
    controls_notify(window, code);
}

static int32_t font_height(WindowHandle window)
{
    DcHandle dc = get_dc(window);
    GdiObject old = controls_select_font(window, dc);
    TextMetric metrics;
    get_text_metrics(dc, metrics);
    select_object(dc, old);
    release_dc(window, dc);
    return std::max(1, metrics.height);
}

static int32_t height_of(const ListData& list, uint32_t style, int32_t index)
{
    if ((style & LBS_OWNERDRAWVARIABLE) && index >= 0 && index < count_of(list))
        return std::max(1, list.items[size_t(index)].height);
    return std::max(1, list.item_height);
}

static uint32_t measure(WindowHandle window, uint32_t item_id, uintptr_t data)
{
    ListData* list = s_lists.find(window);
    if (!list)
        return 1;
    ListOwner owner = owner_of(window, *list);
    Rect client;
    get_client_rect(window, client);
    MeasureItemStruct item{owner.ctl_type, owner.ctl_id, item_id, uint32_t(client.width()), uint32_t(font_height(window)), data};
    if (owner.window)
        send_message(owner.window, WM_MEASUREITEM, WParam(owner.ctl_id), reinterpret_cast<LParam>(&item));
    return std::max(1u, item.item_height);
}

// Items that fit wholly from top down (at least one).
static int32_t page_size(WindowHandle window, const ListData& list)
{
    Rect client;
    get_client_rect(window, client);
    uint32_t style = style_of(window);
    int32_t used = 0;
    int32_t count = 0;
    for (int32_t i = list.top; i < count_of(list); i++) {
        used += height_of(list, style, i);
        if (used > client.height())
            break;
        count++;
    }
    if (!(style & LBS_OWNERDRAWVARIABLE))
        count = client.height() / std::max(1, list.item_height);
    return std::max(1, count);
}

// The lowest top that still fills the view.
static int32_t max_top(WindowHandle window, const ListData& list)
{
    uint32_t style = style_of(window);
    Rect client;
    get_client_rect(window, client);
    int32_t used = 0;
    int32_t top = count_of(list);
    while (top > 0 && used + height_of(list, style, top - 1) <= client.height()) {
        top--;
        used += height_of(list, style, top);
    }
    return std::min(top, std::max(0, count_of(list) - 1));
}

static void update_scroll_bar(WindowHandle window)
{
    ListData* list = s_lists.find(window);
    uint32_t style = style_of(window);
    if (!list || !list->redraw || !list->scroll_bar)
        return;
    ScrollInfo info;
    info.mask = SIF_RANGE | SIF_PAGE | SIF_POS | ((style & LBS_DISABLENOSCROLL) ? uint32_t(SIF_DISABLENOSCROLL) : 0u);
    info.min = 0;
    info.max = std::max(0, count_of(*list) - 1);
    info.page = uint32_t(page_size(window, *list));
    info.pos = list->top;
    set_scroll_info(window, SB_VERT, info, true);
}

static void refresh(WindowHandle window)
{
    ListData* list = s_lists.find(window);
    if (list && list->redraw) {
        update_scroll_bar(window);
        invalidate_rect(window, nullptr, true);
    }
}

static void set_top(WindowHandle window, int32_t top)
{
    ListData* list = s_lists.find(window);
    if (!list)
        return;
    top = std::clamp(top, 0, max_top(window, *list));
    if (top == list->top)
        return;
    list->top = top;
    refresh(window);
}

static void show_item(WindowHandle window, int32_t index)
{
    ListData* list = s_lists.find(window);
    if (!list || index < 0)
        return;
    if (index < list->top)
        set_top(window, index);
    else if (index >= list->top + page_size(window, *list))
        set_top(window, index - page_size(window, *list) + 1);
}

static Rect item_rect(WindowHandle window, const ListData& list, int32_t index)
{
    Rect client;
    get_client_rect(window, client);
    uint32_t style = style_of(window);
    int32_t y = 0;
    if (index >= list.top) {
        for (int32_t i = list.top; i < index; i++)
            y += height_of(list, style, i);
    } else {
        for (int32_t i = index; i < list.top; i++)
            y -= height_of(list, style, i);
    }
    return Rect{0, y, client.right, y + height_of(list, style, index)};
}

// The item under a point of the client area; -1 below the last one.
static int32_t item_at(WindowHandle window, const ListData& list, Point p)
{
    uint32_t style = style_of(window);
    int32_t y = 0;
    for (int32_t i = list.top; i < count_of(list); i++) {
        int32_t h = height_of(list, style, i);
        if (p.y < y + h)
            return p.y < 0 ? std::max(0, list.top - 1) : i;
        y += h;
    }
    return -1;
}

static bool is_selected(const ListData& list, uint32_t style, int32_t index)
{
    if (index < 0 || index >= count_of(list))
        return false;
    return multiple(style) ? list.items[size_t(index)].selected : list.selected == index;
}

static void paint_item(WindowHandle window, DcHandle dc, const ListData& list, int32_t index, const Rect& rect)
{
    uint32_t style = style_of(window);
    bool selected = is_selected(list, style, index);
    bool focus = list.focused && list.caret == index;
    if (owner_drawn(style)) {
        ListOwner owner = owner_of(window, list);
        uint32_t state = (selected ? uint32_t(ODS_SELECTED) : 0u) | (focus ? uint32_t(ODS_FOCUS) : 0u)
            | (is_window_enabled(window) ? 0u : uint32_t(ODS_DISABLED));
        const ListItem& entry = list.items[size_t(index)];
        DrawItemStruct item{owner.ctl_type, owner.ctl_id, uint32_t(index), ODA_DRAWENTIRE, state, owner.item_window, dc, rect, entry.data};
        if (owner.window)
            send_message(owner.window, WM_DRAWITEM, WParam(owner.ctl_id), reinterpret_cast<LParam>(&item));
        return;
    }
    uint32_t text_color = get_text_color(dc);
    if (selected) {
        ctl_draw_fill(dc, rect, COLOR_HIGHLIGHT);
        set_text_color(dc, get_sys_color(COLOR_HIGHLIGHTTEXT));
    }
    if (!is_window_enabled(window))
        set_text_color(dc, get_sys_color(COLOR_GRAYTEXT));
    const std::string& text = list.items[size_t(index)].text;
    Rect text_rect{rect.left + kTextIndent, rect.top, rect.right, rect.bottom};
    uint32_t format = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | ((style & LBS_USETABSTOPS) ? uint32_t(DT_EXPANDTABS) : 0u);
    set_bk_mode(dc, TRANSPARENT);
    draw_text(dc, text.c_str(), int(text.size()), text_rect, format);
    set_text_color(dc, text_color);
    if (focus)
        draw_focus_rect(dc, rect);
}

static void paint(WindowHandle window, DcHandle dc)
{
    ListData* found = s_lists.find(window);
    if (!found)
        return;
    Rect client;
    get_client_rect(window, client);
    GdiObject brush = controls_color_brush(window, dc, WM_CTLCOLORLISTBOX);
    fill_rect(dc, client, brush);
    GdiObject old_font = controls_select_font(window, dc);
    ListData list = *found; // owners draw items with messages that may change the list
    for (int32_t i = list.top; i < count_of(list); i++) {
        Rect rect = item_rect(window, list, i);
        if (rect.top >= client.bottom)
            break;
        paint_item(window, dc, list, i, rect);
    }
    if (list.items.empty() && list.focused && !owner_drawn(style_of(window)))
        draw_focus_rect(dc, Rect{0, 0, client.right, std::max(1, list.item_height)});
    select_object(dc, old_font);
}

static LResult on_paint(WindowHandle window) { return ctl_draw_on_paint(window, paint); }

// A list that is not LBS_NOINTEGRALHEIGHT shows whole items only.
static void fit_height(WindowHandle window)
{
    ListData* list = s_lists.find(window);
    uint32_t style = style_of(window);
    if (!list || list->sizing || list->combo || (style & (LBS_NOINTEGRALHEIGHT | LBS_OWNERDRAWVARIABLE)))
        return;
    Rect client;
    Rect outer;
    get_client_rect(window, client);
    get_window_rect(window, outer);
    int32_t spare = client.height() % std::max(1, list->item_height);
    if (spare == 0 || client.height() <= list->item_height)
        return;
    list->sizing = true;
    set_window_pos(window, {}, 0, 0, outer.width(), outer.height() - spare, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    if ((list = s_lists.find(window)))
        list->sizing = false;
}

static LResult on_create(WindowHandle window, LParam lparam)
{
    ListData* list = s_lists.create(window);
    if (!list)
        return -1;
    auto* create = reinterpret_cast<const CreateStruct*>(lparam);
    char class_name[16];
    bool drop_down = get_class_name(window, class_name, sizeof class_name) && lstrcmpi(class_name, kComboListClass) == 0;
    if (create && drop_down)
        list->combo = WindowHandle(uint32_t(reinterpret_cast<uintptr_t>(create->create_params)));
    uint32_t style = style_of(window);
    list->scroll_bar = (style & WS_VSCROLL) != 0;
    list->item_height = font_height(window);
    if (style & LBS_OWNERDRAWFIXED) {
        uint32_t height = measure(window, 0, 0);
        if ((list = s_lists.find(window)))
            list->item_height = int32_t(height);
    }
    fit_height(window);
    update_scroll_bar(window);
    return 0;
}

// Where a new item goes in a sorted list: by text without case, or by the owner's comparison.
static int32_t sorted_position(WindowHandle window, const ListData& list, const ListItem& item)
{
    uint32_t style = style_of(window);
    int32_t low = 0;
    int32_t high = count_of(list);
    ListOwner owner = owner_of(window, list);
    while (low < high) {
        int32_t mid = (low + high) / 2;
        int compare = 0;
        if (has_strings(style)) {
            compare = lstrcmpi(item.text.c_str(), list.items[size_t(mid)].text.c_str());
        } else {
            CompareItemStruct pair{owner.ctl_type, owner.ctl_id, owner.item_window, uint32_t(-1), item.data, uint32_t(mid),
                list.items[size_t(mid)].data};
            compare = int(send_message(owner.window, WM_COMPAREITEM, WParam(owner.ctl_id), reinterpret_cast<LParam>(&pair)));
        }
        if (compare < 0)
            high = mid;
        else
            low = mid + 1;
    }
    return low;
}

static LResult insert_item(WindowHandle window, int32_t index, LParam lparam, bool sorted)
{
    ListData* list = s_lists.find(window);
    if (!list)
        return LB_ERR;
    uint32_t style = style_of(window);
    if (count_of(*list) >= kListMaxItems)
        return LB_ERRSPACE;
    ListItem item;
    if (has_strings(style))
        item.text = lparam ? reinterpret_cast<const char*>(lparam) : "";
    else
        item.data = uintptr_t(lparam);
    if (sorted && (style & LBS_SORT)) {
        index = sorted_position(window, *list, item);
        if (!(list = s_lists.find(window)))
            return LB_ERR;
    } else if (index < 0 || index > count_of(*list)) {
        if (index != -1)
            return LB_ERR;
        index = count_of(*list);
    }
    list->items.insert(list->items.begin() + index, std::move(item));
    for (int32_t* mark : {&list->selected, &list->caret, &list->anchor}) {
        if (*mark >= index)
            (*mark)++;
    }
    if (style & LBS_OWNERDRAWVARIABLE) {
        uint32_t height = measure(window, uint32_t(index), uintptr_t(has_strings(style) ? 0 : lparam));
        if ((list = s_lists.find(window)) && index < count_of(*list))
            list->items[size_t(index)].height = int32_t(height);
    }
    refresh(window);
    return index;
}

static void tell_deleted(WindowHandle window, const ListData& list, int32_t index)
{
    uint32_t style = style_of(window);
    const ListItem& item = list.items[size_t(index)];
    if (!owner_drawn(style) && item.data == 0)
        return;
    ListOwner owner = owner_of(window, list);
    DeleteItemStruct deleted{owner.ctl_type, owner.ctl_id, uint32_t(index), owner.item_window, item.data};
    if (owner.window)
        send_message(owner.window, WM_DELETEITEM, WParam(owner.ctl_id), reinterpret_cast<LParam>(&deleted));
}

static LResult delete_item(WindowHandle window, int32_t index)
{
    ListData* list = s_lists.find(window);
    if (!list || index < 0 || index >= count_of(*list))
        return LB_ERR;
    ListData copy = *list;
    tell_deleted(window, copy, index);
    if (!(list = s_lists.find(window)) || index >= count_of(*list))
        return LB_ERR;
    list->items.erase(list->items.begin() + index);
    for (int32_t* mark : {&list->selected, &list->caret, &list->anchor}) {
        if (*mark == index)
            *mark = -1;
        else if (*mark > index)
            (*mark)--;
    }
    list->top = std::clamp(list->top, 0, max_top(window, *list));
    refresh(window);
    return count_of(*list);
}

static void reset_content(WindowHandle window)
{
    ListData* list = s_lists.find(window);
    if (!list)
        return;
    ListData copy = *list;
    for (int32_t i = 0; i < count_of(copy); i++)
        tell_deleted(window, copy, i);
    if (!(list = s_lists.find(window)))
        return;
    list->items.clear();
    list->top = 0;
    list->caret = list->selected = list->anchor = -1;
    refresh(window);
}

static void set_single(WindowHandle window, int32_t index)
{
    ListData* list = s_lists.find(window);
    if (!list)
        return;
    list->selected = index;
    list->caret = index;
    if (index >= 0)
        list->anchor = index;
    invalidate_rect(window, nullptr, true);
}

// An extended or multiple selection of [from, to] only, or added to what is there.
static void select_range(WindowHandle window, int32_t from, int32_t to, bool keep_others)
{
    ListData* list = s_lists.find(window);
    if (!list)
        return;
    if (from > to)
        std::swap(from, to);
    for (int32_t i = 0; i < count_of(*list); i++) {
        bool inside = i >= from && i <= to;
        if (inside || !keep_others)
            list->items[size_t(i)].selected = inside;
    }
    invalidate_rect(window, nullptr, true);
}

static int32_t find_string(const ListData& list, uint32_t style, int32_t start, const char* text, bool exact)
{
    if (!text || !has_strings(style))
        return LB_ERR;
    size_t length = strlen(text);
    int32_t count = count_of(list);
    // A start that names no item searches the whole list, as -1 does (and cannot overflow).
    if (start < 0 || start >= count)
        start = -1;
    for (int32_t step = 1; step <= count; step++) {
        int32_t i = (start + step) % count;
        const std::string& item = list.items[size_t(i)].text;
        std::string head = exact ? item : item.substr(0, length);
        if ((exact || item.size() >= length) && lstrcmpi(head.c_str(), text) == 0)
            return i;
    }
    return LB_ERR;
}

// The caret moves to an item; the selection follows as the list's kind and the keys say.
enum class Extend { none, range, toggle };

static void move_to(WindowHandle window, int32_t index, Extend extend, bool notify_change)
{
    ListData* list = s_lists.find(window);
    uint32_t style = style_of(window);
    if (!list || index < 0 || index >= count_of(*list) || (style & LBS_NOSEL))
        return;
    bool changed = false;
    if (!multiple(style)) {
        changed = list->selected != index;
        set_single(window, index);
    } else if (style & LBS_EXTENDEDSEL) {
        if (extend == Extend::range && list->anchor >= 0) {
            select_range(window, list->anchor, index, false);
        } else if (extend == Extend::toggle) {
            list->items[size_t(index)].selected = !list->items[size_t(index)].selected;
            list->anchor = index;
        } else {
            select_range(window, index, index, false);
            list->anchor = index;
        }
        changed = true;
    }
    if ((list = s_lists.find(window))) {
        list->caret = index;
        show_item(window, index);
        invalidate_rect(window, nullptr, true);
    }
    if (changed && notify_change)
        notify(window, LBN_SELCHANGE);
}

static void toggle_caret(WindowHandle window)
{
    ListData* list = s_lists.find(window);
    if (!list || list->caret < 0 || !multiple(style_of(window)))
        return;
    list->items[size_t(list->caret)].selected = !list->items[size_t(list->caret)].selected;
    list->anchor = list->caret;
    invalidate_rect(window, nullptr, true);
    notify(window, LBN_SELCHANGE);
}

static int32_t key_target(WindowHandle window, const ListData& list, uint32_t vk)
{
    int32_t caret = std::max(0, list.caret);
    int32_t page = page_size(window, list);
    switch (vk) {
    case VK_UP:
    case VK_LEFT: return list.caret < 0 ? 0 : caret - 1;
    case VK_DOWN:
    case VK_RIGHT: return list.caret < 0 ? 0 : caret + 1;
    case VK_PRIOR: return caret - page + 1;
    case VK_NEXT: return caret + page - 1;
    case VK_HOME: return 0;
    case VK_END: return count_of(list) - 1;
    default: return -1;
    }
}

static LResult on_key_down(WindowHandle window, uint32_t vk)
{
    ListData* list = s_lists.find(window);
    if (!list)
        return 0;
    uint32_t style = style_of(window);
    if (style & LBS_WANTKEYBOARDINPUT) {
        ListOwner owner = owner_of(window, *list);
        LResult answer = send_message(owner.window, WM_VKEYTOITEM, make_wparam(vk, uint32_t(list->caret)), LParam(window.id));
        if (answer == -2)
            return 0;
        if (answer >= 0) {
            move_to(window, int32_t(answer), Extend::none, true);
            return 0;
        }
        if (!(list = s_lists.find(window)))
            return 0;
    }
    if (vk == VK_SPACE) {
        toggle_caret(window);
        return 0;
    }
    int32_t target = key_target(window, *list, vk);
    if (target < 0 && vk != VK_UP && vk != VK_LEFT && vk != VK_PRIOR)
        return 0;
    if (count_of(*list) == 0)
        return 0;
    target = std::clamp(target, 0, count_of(*list) - 1);
    if ((style & LBS_MULTIPLESEL) && !(style & LBS_EXTENDEDSEL)) { // the caret moves alone
        list->caret = target;
        show_item(window, target);
        invalidate_rect(window, nullptr, true);
        return 0;
    }
    bool shift = get_key_state(VK_SHIFT) < 0;
    move_to(window, target, shift ? Extend::range : Extend::none, true);
    return 0;
}

static LResult on_char(WindowHandle window, WParam wparam)
{
    ListData* list = s_lists.find(window);
    uint32_t style = style_of(window);
    if (!list || wparam < 0x20)
        return 0;
    if (style & LBS_WANTKEYBOARDINPUT) {
        ListOwner owner = owner_of(window, *list);
        LResult answer = send_message(owner.window, WM_CHARTOITEM, make_wparam(uint32_t(wparam), uint32_t(list->caret)), LParam(window.id));
        if (answer == -2)
            return 0;
        if (answer >= 0) {
            move_to(window, int32_t(answer), Extend::none, true);
            return 0;
        }
        if (!(list = s_lists.find(window)))
            return 0;
    }
    char prefix[2] = {char(wparam), 0};
    int32_t found = find_string(*list, style, list->caret, prefix, false);
    if (found >= 0)
        move_to(window, found, Extend::none, true);
    return 0;
}

static Point point_of(LParam lparam) { return Point{get_x_lparam(lparam), get_y_lparam(lparam)}; }

static bool inside_client(WindowHandle window, Point p)
{
    Rect client;
    get_client_rect(window, client);
    return pt_in_rect(client, p);
}

static LResult on_button_down(WindowHandle window, uint32_t message, LParam lparam)
{
    ListData* list = s_lists.find(window);
    if (!list)
        return 0;
    Point p = point_of(lparam);
    if (list->combo) {
        if (!inside_client(window, p)) {
            combo_list_event(list->combo, ComboListEvent::cancelled);
            return 0;
        }
        list->armed = true;
    } else if (get_focus() != window) {
        set_focus(window);
    }
    if (!(list = s_lists.find(window)))
        return 0;
    int32_t index = item_at(window, *list, p);
    if (index >= 0) {
        uint32_t style = style_of(window);
        bool shift = (get_key_state(VK_SHIFT) < 0);
        bool ctrl = (get_key_state(VK_CONTROL) < 0);
        if ((style & LBS_MULTIPLESEL) && !(style & LBS_EXTENDEDSEL)) {
            list->caret = index;
            toggle_caret(window);
        } else {
            move_to(window, index, shift ? Extend::range : ctrl ? Extend::toggle : Extend::none, !list->combo);
        }
    }
    if (!(list = s_lists.find(window)))
        return 0;
    if (!list->combo) {
        list->tracking = true;
        set_capture(window);
    }
    if (message == WM_LBUTTONDBLCLK && index >= 0)
        notify(window, LBN_DBLCLK);
    return 0;
}

static LResult on_mouse_move(WindowHandle window, LParam lparam)
{
    ListData* list = s_lists.find(window);
    if (!list)
        return 0;
    Point p = point_of(lparam);
    uint32_t style = style_of(window);
    if (list->combo) {
        if (!inside_client(window, p))
            return 0;
        list->armed = true;
        int32_t index = item_at(window, *list, p);
        if (index >= 0 && index != list->selected)
            set_single(window, index);
        return 0;
    }
    if (!list->tracking || (style & LBS_MULTIPLESEL))
        return 0;
    Rect client;
    get_client_rect(window, client);
    int32_t index = p.y < 0 ? list->top - 1 : p.y >= client.bottom ? list->top + page_size(window, *list) : item_at(window, *list, p);
    if (index < 0 && p.y >= 0)
        index = count_of(*list) - 1;
    index = std::clamp(index, 0, std::max(0, count_of(*list) - 1));
    if (count_of(*list) > 0 && index != list->caret)
        move_to(window, index, (style & LBS_EXTENDEDSEL) ? Extend::range : Extend::none, true);
    return 0;
}

static LResult on_button_up(WindowHandle window, LParam lparam)
{
    ListData* list = s_lists.find(window);
    if (!list)
        return 0;
    if (list->combo) {
        Point p = point_of(lparam);
        if (list->armed && inside_client(window, p) && item_at(window, *list, p) >= 0)
            combo_list_event(list->combo, ComboListEvent::chosen);
        return 0;
    }
    if (list->tracking) {
        list->tracking = false;
        release_capture();
    }
    return 0;
}

static LResult on_focus(WindowHandle window, bool gained)
{
    ListData* list = s_lists.find(window);
    if (!list)
        return 0;
    list->focused = gained;
    if (gained && list->caret < 0 && count_of(*list) > 0)
        list->caret = std::max(0, list->selected);
    invalidate_rect(window, nullptr, true);
    notify(window, gained ? LBN_SETFOCUS : LBN_KILLFOCUS);
    return 0;
}

static LResult on_vscroll(WindowHandle window, WParam wparam)
{
    ListData* list = s_lists.find(window);
    if (!list)
        return 0;
    int32_t page = page_size(window, *list);
    switch (loword(wparam)) {
    case SB_LINEUP: set_top(window, list->top - 1); break;
    case SB_LINEDOWN: set_top(window, list->top + 1); break;
    case SB_PAGEUP: set_top(window, list->top - page); break;
    case SB_PAGEDOWN: set_top(window, list->top + page); break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: set_top(window, int32_t(hiword(wparam))); break;
    case SB_TOP: set_top(window, 0); break;
    case SB_BOTTOM: set_top(window, count_of(*list)); break;
    default: break;
    }
    return 0;
}

static LResult copy_text(const ListData& list, uint32_t style, int32_t index, LParam lparam)
{
    if (index < 0 || index >= count_of(list))
        return LB_ERR;
    const ListItem& item = list.items[size_t(index)];
    if (!has_strings(style)) {
        if (lparam)
            std::memcpy(reinterpret_cast<void*>(lparam), &item.data, sizeof item.data);
        return sizeof item.data;
    }
    if (auto* out = reinterpret_cast<char*>(lparam))
        std::memcpy(out, item.text.c_str(), item.text.size() + 1);
    return LResult(item.text.size());
}

static LResult on_selection_message(WindowHandle window, ListData& list, uint32_t message, WParam wparam, LParam lparam)
{
    uint32_t style = style_of(window);
    int32_t index = int32_t(wparam);
    switch (message) {
    case LB_SETCURSEL: {
        if (multiple(style))
            return LB_ERR;
        bool valid = index >= 0 && index < count_of(list);
        set_single(window, valid ? index : -1);
        if (valid)
            show_item(window, index);
        return valid ? index : LB_ERR;
    }
    case LB_GETCURSEL: return multiple(style) ? list.caret : list.selected;
    case LB_SETSEL: {
        int32_t item = int32_t(lparam);
        if (!multiple(style) || item < -1 || item >= count_of(list))
            return LB_ERR;
        for (int32_t i = 0; i < count_of(list); i++) {
            if (item == -1 || i == item)
                list.items[size_t(i)].selected = wparam != 0;
        }
        invalidate_rect(window, nullptr, true);
        return LB_OKAY;
    }
    case LB_GETSEL: return index >= 0 && index < count_of(list) ? (is_selected(list, style, index) ? 1 : 0) : LB_ERR;
    case LB_GETSELCOUNT:
        return multiple(style) ? LResult(std::count_if(list.items.begin(), list.items.end(), [](const ListItem& i) { return i.selected; })) : LB_ERR;
    case LB_GETSELITEMS: {
        if (!multiple(style))
            return LB_ERR;
        auto* out = reinterpret_cast<int32_t*>(lparam);
        int32_t written = 0;
        for (int32_t i = 0; i < count_of(list) && written < index && out; i++) {
            if (list.items[size_t(i)].selected)
                out[written++] = i;
        }
        return written;
    }
    case LB_SELITEMRANGE:
    case LB_SELITEMRANGEEX: {
        if (!multiple(style))
            return LB_ERR;
        int32_t from = message == LB_SELITEMRANGE ? int32_t(loword(uintptr_t(lparam))) : index;
        int32_t to = message == LB_SELITEMRANGE ? int32_t(hiword(uintptr_t(lparam))) : int32_t(lparam);
        // The extended form selects a range given first to last and deselects one given backwards.
        bool select = message == LB_SELITEMRANGEEX ? from <= to : wparam != 0;
        for (int32_t i = std::max(0, std::min(from, to)); i <= std::min(count_of(list) - 1, std::max(from, to)); i++)
            list.items[size_t(i)].selected = select;
        invalidate_rect(window, nullptr, true);
        return LB_OKAY;
    }
    case LB_SETANCHORINDEX: list.anchor = index; return LB_OKAY;
    case LB_GETANCHORINDEX: return list.anchor;
    case LB_SETCARETINDEX:
        if (index < 0 || index >= count_of(list))
            return LB_ERR;
        list.caret = index;
        show_item(window, index);
        invalidate_rect(window, nullptr, true);
        return LB_OKAY;
    case LB_GETCARETINDEX: return list.caret;
    default: return LB_ERR;
    }
}

static LResult on_item_message(WindowHandle window, uint32_t message, WParam wparam, LParam lparam)
{
    ListData* list = s_lists.find(window);
    if (!list)
        return LB_ERR;
    uint32_t style = style_of(window);
    int32_t index = int32_t(wparam);
    bool valid = index >= 0 && index < count_of(*list);
    switch (message) {
    case LB_ADDSTRING: return insert_item(window, -1, lparam, true);
    case LB_INSERTSTRING: return insert_item(window, index, lparam, false);
    case LB_DELETESTRING: return delete_item(window, index);
    case LB_RESETCONTENT: reset_content(window); return LB_OKAY;
    case LB_GETTEXT: return copy_text(*list, style, index, lparam);
    case LB_GETTEXTLEN: return valid ? LResult(has_strings(style) ? list->items[size_t(index)].text.size() : sizeof(uintptr_t)) : LB_ERR;
    case LB_GETCOUNT: return count_of(*list);
    case LB_FINDSTRING:
    case LB_FINDSTRINGEXACT:
        return find_string(*list, style, index, reinterpret_cast<const char*>(lparam), message == LB_FINDSTRINGEXACT);
    case LB_SELECTSTRING: {
        int32_t found = find_string(*list, style, index, reinterpret_cast<const char*>(lparam), false);
        if (found >= 0 && !multiple(style)) {
            set_single(window, found);
            show_item(window, found);
        }
        return found;
    }
    case LB_GETTOPINDEX: return list->top;
    case LB_SETTOPINDEX:
        if (!valid && index != 0)
            return LB_ERR;
        set_top(window, index);
        return LB_OKAY;
    case LB_GETITEMRECT:
        if (!valid && !(index == 0 && list->items.empty()))
            return LB_ERR;
        if (auto* rect = reinterpret_cast<Rect*>(lparam))
            *rect = item_rect(window, *list, index);
        return 1;
    case LB_GETITEMDATA: return valid ? LResult(list->items[size_t(index)].data) : LB_ERR;
    case LB_SETITEMDATA:
        if (!valid)
            return LB_ERR;
        list->items[size_t(index)].data = uintptr_t(lparam);
        return 1;
    case LB_SETITEMHEIGHT: {
        int32_t height = std::clamp(int32_t(loword(uintptr_t(lparam))), 1, 255);
        if (style & LBS_OWNERDRAWVARIABLE) {
            if (!valid)
                return LB_ERR;
            list->items[size_t(index)].height = height;
        } else {
            list->item_height = height;
        }
        refresh(window);
        return LB_OKAY;
    }
    case LB_GETITEMHEIGHT: return height_of(*list, style, (style & LBS_OWNERDRAWVARIABLE) ? index : 0);
    case LB_ITEMFROMPOINT: {
        int32_t found = item_at(window, *list, point_of(lparam));
        bool outside = found < 0 || !inside_client(window, point_of(lparam));
        return make_lparam(uint32_t(found < 0 ? std::max(0, count_of(*list) - 1) : found), outside ? 1 : 0);
    }
    case LB_SETTABSTOPS: return 1;
    default: return on_selection_message(window, *list, message, wparam, lparam);
    }
}

static LResult on_destroy(WindowHandle window)
{
    reset_content(window);
    return 0;
}

LResult listbox_proc(WindowHandle window, uint32_t message, WParam wparam, LParam lparam)
{
    switch (message) {
    case WM_CREATE: return on_create(window, lparam);
    case WM_DESTROY: return on_destroy(window);
    case WM_NCDESTROY: s_lists.remove(window); return def_window_proc(window, message, wparam, lparam);
    case WM_PAINT: return on_paint(window);
    case WM_ERASEBKGND: return 1;
    case WM_SIZE:
        fit_height(window);
        refresh(window);
        return 0;
    case WM_SETFONT: {
        controls_set_font(window, GdiObject(uint32_t(wparam)), lparam != 0);
        ListData* list = s_lists.find(window);
        if (list && !owner_drawn(style_of(window))) {
            list->item_height = font_height(window);
            fit_height(window);
            refresh(window);
        }
        return 0;
    }
    case WM_GETFONT: return LResult(controls_get_font(window).id);
    case WM_SETREDRAW:
        if (ListData* list = s_lists.find(window)) {
            list->redraw = wparam != 0;
            refresh(window);
        }
        return 0;
    case WM_GETDLGCODE: return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_SETFOCUS: return on_focus(window, true);
    case WM_KILLFOCUS: return on_focus(window, false);
    case WM_KEYDOWN: return on_key_down(window, uint32_t(wparam));
    case WM_CHAR: return on_char(window, wparam);
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: return on_button_down(window, message, lparam);
    case WM_MOUSEMOVE: return on_mouse_move(window, lparam);
    case WM_LBUTTONUP: return on_button_up(window, lparam);
    case WM_CAPTURECHANGED:
        if (ListData* list = s_lists.find(window); list && LParam(window.id) != lparam)
            list->tracking = false;
        return 0;
    case WM_VSCROLL: return on_vscroll(window, wparam);
    case WM_MOUSEWHEEL: {
        ListData* list = s_lists.find(window);
        if (list)
            set_top(window, list->top - int32_t(int16_t(hiword(wparam))) / WHEEL_DELTA * kWheelLines);
        return 0;
    }
    case WM_ENABLE: invalidate_rect(window, nullptr, true); return 0;
    case WM_SHOWWINDOW:
        // A drop-down that comes up takes a release only after the pointer came into it.
        if (ListData* list = s_lists.find(window))
            list->armed = false;
        return def_window_proc(window, message, wparam, lparam);
    default:
        if (message >= LB_ADDSTRING && message <= LB_ITEMFROMPOINT)
            return on_item_message(window, message, wparam, lparam);
        return def_window_proc(window, message, wparam, lparam);
    }
}

void listbox_reset() { s_lists.clear(); }

} // namespace plat
