// The window tree behind window handles: one record per window, parent and child links in
// z-order, and the geometry the window modules share. Internal to the platform layer;
// programs use window/window.h. A record pointer is good only until the next message is sent:
// a window procedure may create or destroy windows, so callers look the handle up again.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "platform/window/message.h"
#include "platform/kernel/resource.h"
#include "platform/gdi/surface.h"

namespace plat {

struct WindowProperty {
    std::string name; // compared without case
    uintptr_t value = 0;
};

struct WindowRecord {
    WindowHandle handle;
    uint32_t class_id = 0;
    WindowProc proc = nullptr;
    uint32_t style = 0;
    uint32_t ex_style = 0;
    uintptr_t id = 0; // a child's id; a top-level window's menu
    intptr_t user_data = 0;
    ModuleHandle instance;
    std::string text; // in the active code page

    // Parent's client coordinates (the screen for top-level windows).
    Rect window_rect;
    Rect client_rect;
    Rect normal_rect; // where a minimised or maximised window goes back to

    WindowHandle parent; // the desktop for top-level windows
    WindowHandle owner;
    WindowHandle last_active_popup;
    std::vector<WindowHandle> children; // front of the z-order first
    std::vector<uint8_t> extra;
    std::vector<WindowProperty> props;

    // Painting: the update region in client coordinates and what the next paint must do.
    RectList update;
    bool erase_pending = false;
    bool erase_refused = false; // WM_ERASEBKGND answered 0: begin_paint reports erase
    bool frame_pending = false;
    bool internal_paint = false;
    bool paint_started = false; // begin_paint or validation ran since WM_PAINT was dispatched
    bool frame_active = false;  // the caption is drawn active (WM_NCACTIVATE)

    bool destroying = false;
    bool shown_logged = false;
    bool quiet = false; // never logged as a window: menu pull-downs

    std::unique_ptr<Surface> surface; // top-level windows only
};

WindowRecord* wintree_find(WindowHandle window);
// The desktop: the parent of every top-level window, as large as the screen.
WindowRecord& wintree_desktop();
WindowHandle wintree_desktop_handle();
bool wintree_is_desktop(WindowHandle window);

// Takes a new record into the table (not yet linked); null when the table is full.
WindowHandle wintree_add(std::unique_ptr<WindowRecord> record);
// Unlinks and frees a record.
void wintree_remove(WindowHandle window);

// Places a window among its parent's children: after insert_after, or at the top (null) or
// the bottom (HWND_BOTTOM). Topmost top-level windows stay in front of the others.
void wintree_link(WindowRecord& window, WindowHandle insert_after);
void wintree_unlink(WindowRecord& window);

bool wintree_is_top_level(const WindowRecord& window);
// The top-level window a window belongs to (itself for a top-level window).
WindowRecord* wintree_root(WindowHandle window);
// Visible: WS_VISIBLE on the window and on each ancestor.
bool wintree_is_visible(const WindowRecord& window);
bool wintree_is_ancestor(WindowHandle ancestor, WindowHandle window);

// Screen coordinates of the window rectangle and of the client area's origin.
Rect wintree_screen_rect(const WindowRecord& window);
Point wintree_client_origin(const WindowRecord& window);
// Where the window's rectangle starts inside its top-level window's surface.
Point wintree_surface_offset(const WindowRecord& window);

// The window and its descendants, parents before children (pre-order) or after (post-order).
enum class TreeOrder { parents_first, children_first };
std::vector<WindowHandle> wintree_subtree(WindowHandle root, TreeOrder order);
// Every top-level window, front first.
const std::vector<WindowHandle>& wintree_top_levels();

// Sets the desktop's size (the backend's screen).
void wintree_set_screen_size(Size size);

// Window ids carry the number of the program that made them in bits 22-30 (0 for a program
// that runs alone), so that one id names one window among all programs.
constexpr uint32_t kWindowProgramShift = 22;
constexpr uint32_t kWindowProgramMask = 0x1FF;
// The number put into ids made from now on; ids made before keep theirs.
void wintree_set_program(uint32_t number);
uint32_t wintree_program();
uint32_t window_program_of(WindowHandle window);

// Frees every record without messages (tests call it through window_system_reset).
void wintree_reset();

} // namespace plat
