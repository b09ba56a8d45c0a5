// Windows: creation and destruction with Win32's message order, the parent, owner and z-order
// links, window longs and extra bytes, properties, text, enumeration and search, and
// coordinate mapping. Each window is a 32-bit id; a destroyed window's id is refused (error
// 1400), never answered by a newer window.
#pragma once
#include <cstdint>
#include <string_view>

#include "platform/window/geometry.h"
#include "platform/window/message.h"
#include "platform/kernel/resource.h"
#include "platform/window/styles.h"
#include "platform/window/window_types.h"
#include "platform/window/wndclass.h"

namespace plat {

// CW_USEDEFAULT as an x or width: the system picks the position or size (top-level windows).
constexpr int32_t CW_USEDEFAULT = int32_t(0x80000000);

// Extended style bits not among the resource styles.
enum : uint32_t {
    WS_EX_MDICHILD = 0x00000040,
    WS_EX_APPWINDOW = 0x00040000,
    WS_EX_NOACTIVATE = 0x08000000,
};

// GetWindowLong indices; non-negative indices address the window's extra bytes.
enum : int {
    GWLP_WNDPROC = -4,
    GWLP_HINSTANCE = -6,
    GWLP_HWNDPARENT = -8,
    GWLP_ID = -12,
    GWL_STYLE = -16,
    GWL_EXSTYLE = -20,
    GWLP_USERDATA = -21,
};

// GetWindow relations and GetAncestor kinds.
enum : uint32_t {
    GW_HWNDFIRST = 0,
    GW_HWNDLAST = 1,
    GW_HWNDNEXT = 2,
    GW_HWNDPREV = 3,
    GW_OWNER = 4,
    GW_CHILD = 5,
    GW_ENABLEDPOPUP = 6,
    GA_PARENT = 1,
    GA_ROOT = 2,
    GA_ROOTOWNER = 3,
};

// WM_NCHITTEST answers.
enum : int32_t {
    HTERROR = -2,
    HTTRANSPARENT = -1,
    HTNOWHERE = 0,
    HTCLIENT = 1,
    HTCAPTION = 2,
    HTSYSMENU = 3,
    HTGROWBOX = 4,
    HTMENU = 5,
    HTHSCROLL = 6,
    HTVSCROLL = 7,
    HTMINBUTTON = 8,
    HTMAXBUTTON = 9,
    HTLEFT = 10,
    HTRIGHT = 11,
    HTTOP = 12,
    HTTOPLEFT = 13,
    HTTOPRIGHT = 14,
    HTBOTTOM = 15,
    HTBOTTOMLEFT = 16,
    HTBOTTOMRIGHT = 17,
    HTBORDER = 18,
    HTCLOSE = 20,
    HTHELP = 21,
};

// CREATESTRUCT: what WM_NCCREATE and WM_CREATE receive (lparam points to it).
struct CreateStruct {
    void* create_params = nullptr;
    ModuleHandle instance;
    uintptr_t menu = 0; // a child's id
    WindowHandle parent;
    int32_t cy = 0;
    int32_t cx = 0;
    int32_t y = 0;
    int32_t x = 0;
    uint32_t style = 0;
    const char* name = nullptr;
    const char* class_name = nullptr;
    uint32_t ex_style = 0;
};

// CreateWindowEx. parent is the parent of a WS_CHILD window and the owner of any other;
// menu_or_id is a child's id. The standard control classes (controls/controls.h) need no
// registering. Sends WM_GETMINMAXINFO (resizable and overlapped windows),
// WM_NCCREATE, WM_NCCALCSIZE, WM_CREATE, then WM_SIZE and WM_MOVE, and shows a WS_VISIBLE
// window. Null when the class is unknown (1407), a child has no valid parent (1406),
// WM_NCCREATE answers 0 or WM_CREATE answers -1 (the window is destroyed again).
WindowHandle create_window_ex(uint32_t ex_style, std::string_view class_name, const char* title,
    uint32_t style, int32_t x, int32_t y, int32_t width, int32_t height, WindowHandle parent,
    uintptr_t menu_or_id, ModuleHandle instance, void* param);
constexpr uint32_t ERROR_CANNOT_FIND_WND_CLASS = 1407;
constexpr uint32_t ERROR_TLW_WITH_WSCHILD = 1406;
constexpr uint32_t ERROR_CONTROL_ID_NOT_FOUND = 1421;

// DestroyWindow: hides the window (activation moves on), destroys the windows it owns, sends
// WM_DESTROY to it and then to its descendants, and WM_NCDESTROY to the descendants and then
// to it. A second call during the destruction does nothing and answers true.
bool destroy_window(WindowHandle window);

bool is_window(WindowHandle window);
bool is_child(WindowHandle parent, WindowHandle window);
bool is_window_visible(WindowHandle window);
bool is_window_enabled(WindowHandle window);
bool is_iconic(WindowHandle window);
bool is_zoomed(WindowHandle window);

// EnableWindow: sends WM_ENABLE when the state changes; a disabled window loses the focus and
// the capture. Answers whether the window was disabled before.
bool enable_window(WindowHandle window, bool enable);

// GetParent: a child's parent, a popup's owner, else null. SetParent: the previous parent.
WindowHandle get_parent(WindowHandle window);
WindowHandle set_parent(WindowHandle child, WindowHandle new_parent);
WindowHandle get_window(WindowHandle window, uint32_t relation);
WindowHandle get_ancestor(WindowHandle window, uint32_t kind);
WindowHandle get_top_window(WindowHandle window); // the child at the top of the z-order
WindowHandle get_desktop_window();
// The owned popup that was active last (the window itself when none).
WindowHandle get_last_active_popup(WindowHandle window);
// GetDlgItem and GetDlgCtrlID: children by id.
WindowHandle get_dlg_item(WindowHandle parent, int id);
int get_dlg_ctrl_id(WindowHandle window);

// GetWindowLong(Ptr) / SetWindowLong(Ptr): the fields by index (GWLP_WNDPROC subclasses the
// window), or values of the window's extra bytes. 0 with 1413 for an index outside them.
// The 32-bit forms refuse GWLP_WNDPROC, whose value does not fit.
intptr_t get_window_long_ptr(WindowHandle window, int index);
intptr_t set_window_long_ptr(WindowHandle window, int index, intptr_t value);
int32_t get_window_long(WindowHandle window, int index);
int32_t set_window_long(WindowHandle window, int index, int32_t value);
uint16_t get_window_word(WindowHandle window, int index);
uint16_t set_window_word(WindowHandle window, int index, uint16_t value);

// SetProp / GetProp / RemoveProp: values under names (compared without case).
bool set_prop(WindowHandle window, std::string_view name, uintptr_t value);
uintptr_t get_prop(WindowHandle window, std::string_view name);
uintptr_t remove_prop(WindowHandle window, std::string_view name);

// SetWindowText / GetWindowText / GetWindowTextLength through WM_SETTEXT, WM_GETTEXT and
// WM_GETTEXTLENGTH. Text is in the active code page; get copies at most size - 1 bytes without
// splitting a double-byte character and answers the length copied.
bool set_window_text(WindowHandle window, const char* text);
int get_window_text(WindowHandle window, char* buffer, int size);
int get_window_text_length(WindowHandle window);

// FindWindow / FindWindowEx: by class name and title (either may be null: any), without regard
// to case. FindWindowEx searches the children of parent (null: top-level windows) after
// child_after; top-level windows of other programs come after this program's own. is_window,
// get_class_name, get_window_text, is_window_visible, is_iconic, get_window_placement and
// get_window_thread_process_id answer for other programs' top-level windows too.
WindowHandle find_window(const char* class_name, const char* title);
WindowHandle find_window_ex(WindowHandle parent, WindowHandle child_after, const char* class_name,
    const char* title);

// EnumWindows: every top-level window, front first, this program's before other programs'
// (window ids carry the program); EnumChildWindows: every descendant, parents
// before their children. The callback returns false to stop; the answer is false then.
using WindowEnumProc = bool (*)(WindowHandle window, LParam lparam);
bool enum_windows(WindowEnumProc callback, LParam lparam);
bool enum_child_windows(WindowHandle parent, WindowEnumProc callback, LParam lparam);

// GetWindowThreadProcessId: the id of the window's thread and, in process_id (may be null),
// of its process; 0 for a window that does not exist.
uint32_t get_window_thread_process_id(WindowHandle window, uint32_t* process_id);

// Rectangles and coordinates. get_window_rect is in screen coordinates; get_client_rect starts
// at 0, 0. map_window_points maps from one window's client coordinates to another's (null:
// the screen).
bool get_window_rect(WindowHandle window, Rect& rect);
bool get_client_rect(WindowHandle window, Rect& rect);
bool client_to_screen(WindowHandle window, Point& point);
bool screen_to_client(WindowHandle window, Point& point);
int map_window_points(WindowHandle from, WindowHandle to, Point* points, uint32_t count);

// Destroys every window, class, timer and queued message, and forgets focus, capture and key
// state, without sending messages; the backend stays. Tests call it between cases.
void window_system_reset();

} // namespace plat
