// Window classes, as RegisterClass keeps them: a name (or its atom), the class style, the window
// procedure, extra bytes per class and per window, the background brush, cursor, icon and menu
// name. Classes are found by name without regard to case.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/window/message.h"
#include "platform/kernel/resource.h"
#include "platform/window/window_types.h"

namespace plat {

enum : uint32_t {
    CS_VREDRAW = 0x0001,
    CS_HREDRAW = 0x0002,
    CS_DBLCLKS = 0x0008,
    CS_OWNDC = 0x0020,
    CS_CLASSDC = 0x0040,
    CS_PARENTDC = 0x0080,
    CS_NOCLOSE = 0x0200,
    CS_SAVEBITS = 0x0800,
    CS_BYTEALIGNCLIENT = 0x1000,
    CS_BYTEALIGNWINDOW = 0x2000,
    CS_GLOBALCLASS = 0x4000,
};

// GetClassLong indices; non-negative indices address the class's extra bytes.
enum : int {
    GCL_MENUNAME = -8,
    GCLP_HBRBACKGROUND = -10,
    GCLP_HCURSOR = -12,
    GCLP_HICON = -14,
    GCLP_HMODULE = -16,
    GCL_CBWNDEXTRA = -18,
    GCL_CBCLSEXTRA = -20,
    GCLP_WNDPROC = -24,
    GCL_STYLE = -26,
    GCW_ATOM = -32,
    GCLP_HICONSM = -34,
};

constexpr uint32_t ERROR_CLASS_ALREADY_EXISTS = 1410;
constexpr uint32_t ERROR_CLASS_DOES_NOT_EXIST = 1411;
constexpr uint32_t ERROR_CLASS_HAS_WINDOWS = 1412;
constexpr uint32_t ERROR_INVALID_INDEX = 1413;
// Extra bytes are limited as Win32 limits them; larger requests fail with error 87.
constexpr int kClassExtraMax = 40960;

// WNDCLASSEX. The background is a brush, or a system colour index + 1 (COLOR_WINDOW + 1).
struct WindowClass {
    uint32_t style = 0;
    WindowProc proc = nullptr;
    int class_extra = 0;
    int window_extra = 0;
    ModuleHandle instance;
    IconHandle icon;
    CursorHandle cursor;
    GdiObject background;
    std::string menu_name;
    std::string class_name;
    IconHandle small_icon;
};

// RegisterClass: the class's atom (0xC000 and up); 0 with error 1410 when the name is taken
// in that module, 87 for a missing procedure or name or bad extra sizes.
uint16_t register_class(const WindowClass& window_class);
// UnregisterClass: false with 1411 for an unknown class, 1412 while windows of it exist.
bool unregister_class(std::string_view class_name, ModuleHandle instance);
// GetClassInfo: false with 1411 for an unknown class.
bool get_class_info(ModuleHandle instance, std::string_view class_name, WindowClass& out);

// GetClassName: the class name of a window, cut to size - 1 bytes and NUL-terminated;
// returns the length copied (0 with error 1400 for an unknown window).
int get_class_name(WindowHandle window, char* buffer, int size);

// GetClassLong(Ptr) / SetClassLong(Ptr): the fields by index, or 4-byte values of the class's
// extra bytes. 0 with 1413 for an index outside them, 1400 for an unknown window.
intptr_t get_class_long_ptr(WindowHandle window, int index);
intptr_t set_class_long_ptr(WindowHandle window, int index, intptr_t value);
uint32_t get_class_long(WindowHandle window, int index);
uint32_t set_class_long(WindowHandle window, int index, uint32_t value);

// For the window layer: the class record of a name ("#123" and atoms as Win32 reads them).
struct ClassRecord {
    WindowClass info;
    uint16_t atom = 0;
    std::vector<uint8_t> extra;
    uint32_t window_count = 0;
};
uint32_t wndclass_find(std::string_view class_name, ModuleHandle instance);
ClassRecord* wndclass_record(uint32_t class_id);
void wndclass_reset();

} // namespace plat
