#include "platform/controls/menu_track.h"

#include <cctype>
#include <string>
#include <vector>

#include "platform/controls/menu_draw.h"
#include "platform/gdi/dc.h"
#include "platform/kernel/log.h"
#include "platform/window/defproc.h"
#include "platform/window/focus.h"
#include "platform/window/input.h"
#include "platform/window/keyboard.h"
#include "platform/window/menu.h"
#include "platform/window/metrics.h"
#include "platform/window/nonclient.h"
#include "platform/window/paint.h"
#include "platform/window/window.h"
#include "platform/window/winpos.h"
#include "platform/window/wintree.h"

namespace plat {

namespace {

struct PullDown {
    MenuHandle menu;
    WindowHandle window;
    PopupLayout layout;
    int selected = -1;
};

// Where a point lies among the bar and the open pull-downs.
struct MenuHit {
    enum class Kind { none, bar, pull_down, system_box } kind = Kind::none;
    int level = -1; // which pull-down
    int item = -1;  // position in the bar or the pull-down; -1 on a frame
};

struct MenuLoop {
    bool active = false;
    WindowHandle owner;
    MenuHandle bar;        // null while only the system menu is tracked
    bool system = false;   // the pull-downs are the window's system menu
    int bar_selected = -1;
    std::vector<PullDown> open; // outermost first
    bool ended = false;
    // The press that opened the menus: a quick second one there is a double click.
    uint32_t opened_at = 0;
    MenuHit opened_by;
    bool chosen = false;
    uint32_t command = 0;
};

MenuLoop s_loop;

} // namespace

bool menu_tracking() { return s_loop.active; }

static Rect to_screen(WindowHandle window, Rect rect)
{
    Rect frame;
    get_window_rect(window, frame);
    offset_rect(rect, frame.left, frame.top);
    return rect;
}

static std::vector<Rect> bar_items_on_screen()
{
    Rect area = nonclient_menu_bar_rect(s_loop.owner);
    std::vector<Rect> items = menu_draw_bar_layout(s_loop.bar, area);
    for (Rect& item : items)
        item = to_screen(s_loop.owner, item);
    return items;
}

static void repaint_bar()
{
    if (s_loop.bar)
        draw_menu_bar(s_loop.owner);
}

static bool item_of(MenuHandle menu, int position, MenuItemInfo& item)
{
    return position >= 0 && menu_item_at(menu, position, item);
}

static bool can_choose(const MenuItemInfo& item)
{
    return !(item.flags & (MF_GRAYED | MF_DISABLED | MF_SEPARATOR | MF_POPUP));
}

// What the log calls a pull-down: its item's label; the system menu has none of its own.
static std::string pull_down_name(MenuHandle parent, int position)
{
    MenuItemInfo item;
    if (!parent || !item_of(parent, position, item) || (item.flags & MF_BITMAP))
        return "System";
    return menu_draw_plain_text(item.text);
}

static void send_select(MenuHandle menu, int position, bool mouse)
{
    MenuItemInfo item;
    if (!item_of(menu, position, item))
        return;
    uint32_t flags = (item.flags & (MF_GRAYED | MF_DISABLED | MF_CHECKED | MF_POPUP | MF_SEPARATOR | MF_BITMAP)) | MF_HILITE;
    if (mouse)
        flags |= MF_MOUSESELECT;
    if (s_loop.system)
        flags |= MF_SYSMENU;
    uint32_t what = (item.flags & MF_POPUP) ? uint32_t(position) : item.id;
    send_message(s_loop.owner, WM_MENUSELECT, make_wparam(what & 0xFFFF, flags & 0xFFFF), LParam(menu.id));
}

static void close_from(size_t level)
{
    while (s_loop.open.size() > level) {
        WindowHandle window = s_loop.open.back().window;
        s_loop.open.pop_back();
        destroy_window(window);
    }
}

// The pull-down appears below anchor (or right of it for a further level), kept on the screen.
static Point place(const Rect& anchor, Size size, bool beside)
{
    int32_t screen_width = get_system_metrics(SM_CXSCREEN);
    int32_t screen_height = get_system_metrics(SM_CYSCREEN);
    Point at = beside ? Point{anchor.right, anchor.top} : Point{anchor.left, anchor.bottom};
    if (at.x + size.cx > screen_width)
        at.x = beside ? anchor.left - size.cx : screen_width - size.cx;
    if (at.y + size.cy > screen_height)
        at.y = beside ? screen_height - size.cy : anchor.top - size.cy;
    at.x = std::max(at.x, 0);
    at.y = std::max(at.y, 0);
    return at;
}

static void open_pull_down(MenuHandle menu, MenuHandle parent, int position, const Rect& anchor, bool beside)
{
    if (!is_menu(menu))
        return;
    send_message(s_loop.owner, WM_INITMENUPOPUP, WParam(menu.id), make_lparam(uint32_t(position), s_loop.system ? 1u : 0u));
    if (!s_loop.active || s_loop.ended)
        return;
    PullDown pull_down;
    pull_down.menu = menu;
    pull_down.layout = menu_draw_popup_layout(menu);
    Point at = place(anchor, pull_down.layout.size, beside);
    pull_down.window = create_window_ex(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, kMenuClass, "", WS_POPUP, at.x, at.y,
        pull_down.layout.size.cx, pull_down.layout.size.cy, s_loop.owner, 0, {}, nullptr);
    WindowRecord* record = wintree_find(pull_down.window);
    if (!record)
        return;
    record->quiet = true;
    WindowHandle window = pull_down.window;
    s_loop.open.push_back(std::move(pull_down));
    set_window_pos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    update_window(window);
    log_event("menu opened " + log_quote(pull_down_name(parent, position)));
}

static void select_bar(int position, bool open_it)
{
    MenuItemInfo item;
    if (!item_of(s_loop.bar, position, item))
        return;
    if (position != s_loop.bar_selected || open_it != !s_loop.open.empty()) {
        close_from(0);
        s_loop.bar_selected = position;
        repaint_bar();
        send_select(s_loop.bar, position, false);
    }
    if (open_it && s_loop.open.empty() && (item.flags & MF_POPUP)) {
        std::vector<Rect> items = bar_items_on_screen();
        if (size_t(position) < items.size())
            open_pull_down(item.popup, s_loop.bar, position, items[size_t(position)], false);
    }
}

static void select_in(size_t level, int position, bool mouse)
{
    if (level >= s_loop.open.size() || s_loop.open[level].selected == position)
        return;
    close_from(level + 1);
    PullDown& pull_down = s_loop.open[level];
    pull_down.selected = position;
    invalidate_rect(pull_down.window, nullptr, false);
    send_select(pull_down.menu, position, mouse);
}

static void open_further(size_t level)
{
    if (level + 1 != s_loop.open.size())
        return;
    PullDown& pull_down = s_loop.open[level];
    MenuItemInfo item;
    if (!item_of(pull_down.menu, pull_down.selected, item) || !(item.flags & MF_POPUP))
        return;
    Rect anchor = pull_down.layout.items[size_t(pull_down.selected)];
    Rect frame;
    get_window_rect(pull_down.window, frame);
    offset_rect(anchor, frame.left, frame.top);
    anchor.right = frame.right;
    open_pull_down(item.popup, pull_down.menu, pull_down.selected, anchor, true);
}

static void choose(MenuHandle menu, int position)
{
    MenuItemInfo item;
    if (!item_of(menu, position, item) || !can_choose(item))
        return;
    log_event("menu chose " + log_quote(menu_draw_plain_text(item.text)));
    s_loop.chosen = true;
    s_loop.command = item.id;
    s_loop.ended = true;
}

// An item opens what is under it or is chosen.
static void activate(size_t level)
{
    PullDown& pull_down = s_loop.open[level];
    MenuItemInfo item;
    if (!item_of(pull_down.menu, pull_down.selected, item))
        return;
    if (item.flags & MF_POPUP)
        open_further(level);
    else
        choose(pull_down.menu, pull_down.selected);
}

static MenuHit hit_test(Point screen)
{
    MenuHit hit;
    for (int level = int(s_loop.open.size()) - 1; level >= 0; level--) {
        const PullDown& pull_down = s_loop.open[size_t(level)];
        Rect frame;
        get_window_rect(pull_down.window, frame);
        if (!pt_in_rect(frame, screen))
            continue;
        hit.kind = MenuHit::Kind::pull_down;
        hit.level = level;
        Point inside{screen.x - frame.left, screen.y - frame.top};
        for (size_t i = 0; i < pull_down.layout.items.size(); i++) {
            if (pt_in_rect(pull_down.layout.items[i], inside))
                hit.item = int(i);
        }
        return hit;
    }
    if (s_loop.bar) {
        std::vector<Rect> items = bar_items_on_screen();
        for (size_t i = 0; i < items.size(); i++) {
            if (pt_in_rect(items[i], screen))
                return MenuHit{MenuHit::Kind::bar, -1, int(i)};
        }
    }
    Rect box = to_screen(s_loop.owner, nonclient_system_box_rect(s_loop.owner));
    if (pt_in_rect(box, screen))
        hit.kind = MenuHit::Kind::system_box;
    return hit;
}

static bool same_place(const MenuHit& a, const MenuHit& b)
{
    return a.kind == b.kind && a.level == b.level && a.item == b.item;
}

static bool is_press(uint32_t message)
{
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONDBLCLK:
    case WM_NCRBUTTONDOWN:
    case WM_NCMBUTTONDOWN: return true;
    default: return false;
    }
}

static bool is_release(uint32_t message)
{
    return message == WM_LBUTTONUP || message == WM_RBUTTONUP || message == WM_NCLBUTTONUP || message == WM_NCRBUTTONUP;
}

// A quick second press where the first one opened the menus closes them and reaches the window
// as the double click it is (the system box closes the window, the bar's glyph too).
static bool double_click(const Msg& msg, const MenuHit& hit)
{
    if (!same_place(hit, s_loop.opened_by) || msg.time - s_loop.opened_at > get_double_click_time())
        return false;
    int32_t part = hit.kind == MenuHit::Kind::system_box ? HTSYSMENU : HTMENU;
    s_loop.ended = true;
    post_message(s_loop.owner, WM_NCLBUTTONDBLCLK, WParam(part), make_lparam(uint32_t(msg.pt.x), uint32_t(msg.pt.y)));
    return true;
}

static void on_press(const Msg& msg, const MenuHit& hit)
{
    if (hit.kind != MenuHit::Kind::pull_down && double_click(msg, hit))
        return;
    switch (hit.kind) {
    case MenuHit::Kind::none: s_loop.ended = true; break;
    case MenuHit::Kind::system_box:
        if (s_loop.system || s_loop.bar)
            s_loop.ended = true;
        break;
    case MenuHit::Kind::bar:
        if (hit.item == s_loop.bar_selected && !s_loop.open.empty())
            s_loop.ended = true;
        else
            select_bar(hit.item, true);
        break;
    case MenuHit::Kind::pull_down: select_in(size_t(hit.level), hit.item, true); break;
    }
}

static void on_mouse(const Msg& msg)
{
    MenuHit hit = hit_test(msg.pt);
    if (is_press(msg.message)) {
        on_press(msg, hit);
        return;
    }
    if (hit.kind == MenuHit::Kind::pull_down && hit.item >= 0) {
        select_in(size_t(hit.level), hit.item, true);
        if (is_release(msg.message))
            activate(size_t(hit.level));
        else
            open_further(size_t(hit.level));
        return;
    }
    if (hit.kind != MenuHit::Kind::bar || s_loop.system)
        return;
    MenuItemInfo item;
    bool command = item_of(s_loop.bar, hit.item, item) && !(item.flags & MF_POPUP);
    if (is_release(msg.message) && command && hit.item == s_loop.bar_selected)
        choose(s_loop.bar, hit.item);
    else if (hit.item != s_loop.bar_selected && (!s_loop.open.empty() || get_key_state(VK_LBUTTON) < 0))
        select_bar(hit.item, true);
}

static int next_item(MenuHandle menu, int from, int step)
{
    int count = get_menu_item_count(menu);
    if (count <= 0)
        return -1;
    MenuItemInfo item;
    for (int i = 1; i <= count; i++) {
        int position = ((from + step * i) % count + count) % count;
        if (from < 0 && step < 0 && i == 1)
            position = count - 1;
        if (item_of(menu, position, item) && !(item.flags & MF_SEPARATOR))
            return position;
    }
    return -1;
}

static void move_on_bar(int step)
{
    if (!s_loop.bar)
        return;
    int position = next_item(s_loop.bar, s_loop.bar_selected, step);
    if (position >= 0)
        select_bar(position, !s_loop.open.empty());
}

static void on_escape()
{
    if (s_loop.open.size() > 1 || (s_loop.open.size() == 1 && s_loop.bar && !s_loop.system)) {
        close_from(s_loop.open.size() - 1);
        repaint_bar();
        return;
    }
    s_loop.ended = true;
}

static void on_enter()
{
    if (!s_loop.open.empty()) {
        activate(s_loop.open.size() - 1);
        return;
    }
    MenuItemInfo item;
    if (!item_of(s_loop.bar, s_loop.bar_selected, item))
        return;
    if (item.flags & MF_POPUP)
        select_bar(s_loop.bar_selected, true);
    else
        choose(s_loop.bar, s_loop.bar_selected);
}

static void on_key(const Msg& msg)
{
    size_t depth = s_loop.open.size();
    switch (msg.wparam) {
    case VK_ESCAPE: on_escape(); break;
    case VK_MENU:
    case VK_F10: s_loop.ended = true; break;
    case VK_LEFT:
        if (depth > 1)
            close_from(depth - 1);
        else
            move_on_bar(-1);
        break;
    case VK_RIGHT:
        if (depth > 0 && s_loop.open.back().selected >= 0) {
            open_further(depth - 1);
            if (s_loop.open.size() > depth)
                break;
        }
        move_on_bar(1);
        break;
    case VK_UP:
    case VK_DOWN: {
        int step = msg.wparam == VK_UP ? -1 : 1;
        if (depth == 0)
            select_bar(s_loop.bar_selected, true);
        else
            select_in(depth - 1, next_item(s_loop.open.back().menu, s_loop.open.back().selected, step), false);
        break;
    }
    case VK_RETURN: on_enter(); break;
    default: translate_message(msg); break;
    }
}

// The item whose "&" marks the character, or -1.
static int mnemonic_item(MenuHandle menu, uint8_t ch)
{
    MenuItemInfo item;
    for (int i = 0; item_of(menu, i, item); i++) {
        size_t mark = item.text.find('&');
        while (mark != std::string::npos && mark + 1 < item.text.size() && item.text[mark + 1] == '&')
            mark = item.text.find('&', mark + 2);
        if (mark == std::string::npos || mark + 1 >= item.text.size())
            continue;
        if (std::tolower(uint8_t(item.text[mark + 1])) == std::tolower(ch))
            return i;
    }
    return -1;
}

static void on_char(uint8_t ch)
{
    if (s_loop.open.empty()) {
        int position = mnemonic_item(s_loop.bar, ch);
        if (position >= 0) {
            select_bar(position, true);
            if (s_loop.open.empty())
                choose(s_loop.bar, position);
        }
        return;
    }
    size_t level = s_loop.open.size() - 1;
    int position = mnemonic_item(s_loop.open[level].menu, ch);
    if (position < 0)
        return;
    select_in(level, position, false);
    activate(level);
}

static bool is_mouse(uint32_t message)
{
    return (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) || (message >= WM_NCMOUSEMOVE && message <= WM_NCMBUTTONDBLCLK);
}

// A pull-down opened from the keyboard starts with its first item highlighted.
static void highlight_first()
{
    if (s_loop.ended || s_loop.open.empty() || s_loop.open.back().selected >= 0)
        return;
    size_t level = s_loop.open.size() - 1;
    select_in(level, next_item(s_loop.open[level].menu, -1, 1), false);
}

static void handle(const Msg& msg)
{
    if (is_mouse(msg.message)) {
        if (msg.message != WM_MOUSEWHEEL)
            on_mouse(msg);
        return;
    }
    switch (msg.message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        on_key(msg);
        highlight_first();
        return;
    case WM_CHAR:
    case WM_SYSCHAR:
        on_char(uint8_t(msg.wparam));
        highlight_first();
        return;
    case WM_KEYUP:
    case WM_SYSKEYUP:
    case WM_DEADCHAR:
    case WM_SYSDEADCHAR: return;
    default: dispatch_message(msg); return;
    }
}

static bool begin(WindowHandle owner, MenuHandle bar, bool system)
{
    if (s_loop.active || !is_window(owner))
        return false;
    s_loop = MenuLoop{};
    s_loop.active = true;
    s_loop.owner = owner;
    s_loop.bar = system ? MenuHandle() : bar;
    s_loop.system = system;
    s_loop.opened_at = get_message_time();
    set_capture(owner);
    send_message(owner, WM_ENTERMENULOOP, 0, 0);
    MenuHandle first = system ? get_system_menu(owner, false) : bar;
    send_message(owner, WM_INITMENU, WParam(first.id), 0);
    return s_loop.active;
}

static void run()
{
    Msg msg;
    while (!s_loop.ended) {
        if (get_capture() != s_loop.owner || !is_window(s_loop.owner))
            break;
        int got = get_message(msg, {}, 0, 0);
        if (got <= 0) {
            if (got == 0)
                post_quit_message(int(msg.wparam));
            break;
        }
        handle(msg);
    }
}

static void finish()
{
    WindowHandle owner = s_loop.owner;
    close_from(0);
    s_loop.bar_selected = -1;
    repaint_bar();
    if (get_capture() == owner)
        release_capture();
    bool chosen = s_loop.chosen;
    bool system = s_loop.system;
    uint32_t command = s_loop.command;
    s_loop.active = false;
    if (is_window(owner)) {
        send_message(owner, WM_MENUSELECT, make_wparam(0, 0xFFFF), 0);
        send_message(owner, WM_EXITMENULOOP, 0, 0);
    }
    log_event("menu closed");
    if (chosen && is_window(owner))
        post_message(owner, system ? WM_SYSCOMMAND : WM_COMMAND, WParam(command), 0);
}

static void open_system_menu()
{
    MenuHandle menu = get_system_menu(s_loop.owner, false);
    Rect box = nonclient_system_box_rect(s_loop.owner);
    if (is_rect_empty(box)) {
        // Without a caption the menu opens at the window's top-left corner.
        box = Rect{0, 0, 0, 0};
    }
    open_pull_down(menu, MenuHandle(), 0, to_screen(s_loop.owner, box), false);
}

void menu_track_mouse(WindowHandle window, int32_t hit, Point screen)
{
    MenuHandle bar = get_menu(window);
    bool system = hit == HTSYSMENU;
    if (!system && (hit != HTMENU || !is_menu(bar)))
        return;
    if (!begin(window, bar, system))
        return;
    MenuHit at = hit_test(screen);
    s_loop.opened_by = at;
    if (system)
        open_system_menu();
    else if (at.kind == MenuHit::Kind::bar)
        select_bar(at.item, true);
    else
        s_loop.ended = true;
    run();
    finish();
}

void menu_track_keys(WindowHandle window, uint32_t key)
{
    MenuHandle bar = get_menu(window);
    bool system = key == ' ';
    if (!system && !is_menu(bar))
        return;
    if (system && !get_system_menu(window, false))
        return;
    int mnemonic = system || key == 0 ? -1 : mnemonic_item(bar, uint8_t(key));
    if (!system && key != 0 && mnemonic < 0)
        return;
    if (!begin(window, bar, system))
        return;
    if (system)
        open_system_menu();
    else if (key == 0)
        select_bar(next_item(bar, -1, 1), false);
    else
        on_char(uint8_t(key));
    highlight_first();
    run();
    finish();
}

void menu_bar_paint(WindowHandle window, const Rect& area)
{
    MenuHandle bar = get_menu(window);
    if (!is_menu(bar))
        return;
    bool tracked = s_loop.active && s_loop.owner == window && s_loop.bar == bar;
    menu_draw_bar(window, bar, area, tracked ? s_loop.bar_selected : -1);
}

static const PullDown* pull_down_of(WindowHandle window)
{
    for (const PullDown& pull_down : s_loop.open) {
        if (pull_down.window == window)
            return &pull_down;
    }
    return nullptr;
}

static LResult paint_pull_down(WindowHandle window)
{
    PaintStruct paint;
    DcHandle dc = begin_paint(window, paint);
    if (const PullDown* pull_down = pull_down_of(window))
        menu_draw_popup(dc, pull_down->menu, pull_down->layout, pull_down->selected);
    end_paint(window, paint);
    return 0;
}

LResult menu_popup_proc(WindowHandle window, uint32_t message, WParam wparam, LParam lparam)
{
    switch (message) {
    case WM_PAINT: return paint_pull_down(window);
    case WM_ERASEBKGND: return 1; // the paint covers every pixel
    case WM_MOUSEACTIVATE: return MA_NOACTIVATE;
    default: return def_window_proc(window, message, wparam, lparam);
    }
}

} // namespace plat
