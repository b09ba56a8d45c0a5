#include "platform/window/wintree.h"

#include <algorithm>

#include "platform/kernel/slots.h"
#include "platform/window/styles.h"

namespace plat {

// Window ids: 14 bits of index and 8 of generation below the program's number, so that an id
// stays below 2^31. Generations start away from other tables' ids and never fall below 4,
// which keeps even a lone program's ids (number 0) above the special handles (HWND_BOTTOM,
// HWND_BROADCAST).
constexpr uint32_t kWindowFirstGeneration = 0xA1;
constexpr SlotLayout kWindowLayout{14, 8, 4};
constexpr Size kDefaultScreen{1024, 768};

struct WindowTreeState {
    // Shared pointers only because the table copies its slots; each record has one owner here.
    SlotTable<std::shared_ptr<WindowRecord>> windows{kWindowFirstGeneration, kWindowLayout};
    uint32_t program = 0;
    WindowHandle desktop;
    Size screen = kDefaultScreen;
};

static WindowTreeState s_tree;

static void make_desktop()
{
    auto record = std::make_shared<WindowRecord>();
    record->style = WS_VISIBLE | WS_CLIPCHILDREN | WS_POPUP;
    record->window_rect = Rect{0, 0, s_tree.screen.cx, s_tree.screen.cy};
    record->client_rect = record->window_rect;
    uint32_t id = s_tree.windows.insert(std::move(record));
    s_tree.desktop = WindowHandle(id);
    (*s_tree.windows.find(id))->handle = s_tree.desktop;
}

WindowRecord& wintree_desktop()
{
    if (!s_tree.desktop)
        make_desktop();
    return **s_tree.windows.find(s_tree.desktop.id);
}

WindowHandle wintree_desktop_handle() { return wintree_desktop().handle; }

bool wintree_is_desktop(WindowHandle window) { return window && window == s_tree.desktop; }

WindowRecord* wintree_find(WindowHandle window)
{
    std::shared_ptr<WindowRecord>* slot = s_tree.windows.find(window.id);
    return slot ? slot->get() : nullptr;
}

WindowHandle wintree_add(std::unique_ptr<WindowRecord> record)
{
    wintree_desktop();
    WindowRecord* raw = record.get();
    uint32_t id = s_tree.windows.insert(std::shared_ptr<WindowRecord>(std::move(record)));
    if (id == 0)
        return {};
    raw->handle = WindowHandle(id);
    return raw->handle;
}

void wintree_remove(WindowHandle window)
{
    WindowRecord* record = wintree_find(window);
    if (!record || wintree_is_desktop(window))
        return;
    wintree_unlink(*record);
    s_tree.windows.erase(window.id);
}

static bool is_topmost(WindowHandle window)
{
    WindowRecord* record = wintree_find(window);
    return record && (record->ex_style & WS_EX_TOPMOST);
}

// The index where a window goes when it asks for the top: topmost windows stay in front.
static size_t top_index(const std::vector<WindowHandle>& list, bool topmost, bool top_level)
{
    if (!top_level || topmost)
        return 0;
    size_t index = 0;
    while (index < list.size() && is_topmost(list[index]))
        index++;
    return index;
}

void wintree_link(WindowRecord& window, WindowHandle insert_after)
{
    WindowRecord* parent = wintree_find(window.parent);
    if (!parent)
        return;
    std::vector<WindowHandle>& list = parent->children;
    bool top_level = wintree_is_desktop(window.parent);
    bool topmost = (window.ex_style & WS_EX_TOPMOST) != 0;
    size_t index;
    if (insert_after == HWND_TOP || insert_after == HWND_TOPMOST || insert_after == HWND_NOTOPMOST)
        index = top_index(list, topmost, top_level);
    else if (insert_after == HWND_BOTTOM)
        index = list.size();
    else {
        auto found = std::find(list.begin(), list.end(), insert_after);
        index = found == list.end() ? top_index(list, topmost, top_level)
                                    : size_t(found - list.begin()) + 1;
    }
    if (top_level && !topmost)
        index = std::max(index, top_index(list, false, true));
    list.insert(list.begin() + std::ptrdiff_t(index), window.handle);
}

void wintree_unlink(WindowRecord& window)
{
    WindowRecord* parent = wintree_find(window.parent);
    if (!parent)
        return;
    std::vector<WindowHandle>& list = parent->children;
    list.erase(std::remove(list.begin(), list.end(), window.handle), list.end());
}

bool wintree_is_top_level(const WindowRecord& window) { return wintree_is_desktop(window.parent); }

WindowRecord* wintree_root(WindowHandle window)
{
    WindowRecord* record = wintree_find(window);
    if (!record || wintree_is_desktop(window))
        return nullptr;
    while (!wintree_is_top_level(*record)) {
        WindowRecord* parent = wintree_find(record->parent);
        if (!parent)
            return nullptr;
        record = parent;
    }
    return record;
}

bool wintree_is_visible(const WindowRecord& window)
{
    const WindowRecord* record = &window;
    while (record && !wintree_is_desktop(record->handle)) {
        if (!(record->style & WS_VISIBLE))
            return false;
        record = wintree_find(record->parent);
    }
    return record != nullptr;
}

bool wintree_is_ancestor(WindowHandle ancestor, WindowHandle window)
{
    WindowRecord* record = wintree_find(window);
    while (record && record->parent) {
        if (record->parent == ancestor)
            return true;
        record = wintree_find(record->parent);
    }
    return false;
}

// Screen position of the parent's client origin.
static Point parent_origin(const WindowRecord& window)
{
    WindowRecord* parent = wintree_find(window.parent);
    if (!parent || wintree_is_desktop(parent->handle))
        return Point{};
    return wintree_client_origin(*parent);
}

Rect wintree_screen_rect(const WindowRecord& window)
{
    Point origin = parent_origin(window);
    Rect rect = window.window_rect;
    offset_rect(rect, origin.x, origin.y);
    return rect;
}

Point wintree_client_origin(const WindowRecord& window)
{
    Point origin = parent_origin(window);
    return Point{origin.x + window.client_rect.left, origin.y + window.client_rect.top};
}

Point wintree_surface_offset(const WindowRecord& window)
{
    WindowRecord* root = wintree_root(window.handle);
    if (!root)
        return Point{};
    Rect own = wintree_screen_rect(window);
    return Point{own.left - root->window_rect.left, own.top - root->window_rect.top};
}

static void collect(WindowHandle window, TreeOrder order, std::vector<WindowHandle>& out)
{
    WindowRecord* record = wintree_find(window);
    if (!record)
        return;
    if (order == TreeOrder::parents_first)
        out.push_back(window);
    std::vector<WindowHandle> children = record->children;
    for (WindowHandle child : children)
        collect(child, order, out);
    if (order == TreeOrder::children_first)
        out.push_back(window);
}

std::vector<WindowHandle> wintree_subtree(WindowHandle root, TreeOrder order)
{
    std::vector<WindowHandle> out;
    collect(root, order, out);
    return out;
}

const std::vector<WindowHandle>& wintree_top_levels() { return wintree_desktop().children; }

void wintree_set_screen_size(Size size)
{
    s_tree.screen = size;
    WindowRecord& desktop = wintree_desktop();
    desktop.window_rect = Rect{0, 0, size.cx, size.cy};
    desktop.client_rect = desktop.window_rect;
}

void wintree_set_program(uint32_t number)
{
    s_tree.program = number & kWindowProgramMask;
    s_tree.windows.set_prefix(s_tree.program << kWindowProgramShift);
}

uint32_t wintree_program() { return s_tree.program; }

uint32_t window_program_of(WindowHandle window) { return window.id >> kWindowProgramShift & kWindowProgramMask; }

void wintree_reset()
{
    s_tree.windows.clear();
    s_tree.desktop = {};
    s_tree.screen = kDefaultScreen;
}

} // namespace plat
