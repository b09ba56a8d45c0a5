// Cursors and icons: images of an AND mask and an XOR mask (kernel/resource_forms.h's IconImage),
// loaded from resources or made from masks, under 32-bit ids in one table (a cursor handle and
// an icon handle with the same id name the same image, as HCURSOR and HICON may in Win32).
// The standard cursors and icons (a null module with an IDC_ or IDI_ number) are the platform's
// own artwork in resources/platform. Loading the same resource again answers the same handle,
// which destroying leaves alone. Also the cursor's confinement (ClipCursor) and the shapes the
// default WM_SETCURSOR shows over a window's frame.
#pragma once
#include <cstdint>

#include "platform/window/geometry.h"
#include "platform/kernel/resource.h"
#include "platform/kernel/resource_forms.h"
#include "platform/window/window_types.h"

namespace plat {

enum : uint32_t {
    IDC_ARROW = 32512,
    IDC_IBEAM = 32513,
    IDC_WAIT = 32514,
    IDC_CROSS = 32515,
    IDC_UPARROW = 32516,
    IDC_SIZENWSE = 32642,
    IDC_SIZENESW = 32643,
    IDC_SIZEWE = 32644,
    IDC_SIZENS = 32645,
    IDC_SIZEALL = 32646,
    IDC_NO = 32648,
    IDC_HAND = 32649,
    IDC_APPSTARTING = 32650,
};

enum : uint32_t {
    IDI_APPLICATION = 32512,
    IDI_HAND = 32513,
    IDI_QUESTION = 32514,
    IDI_EXCLAMATION = 32515,
    IDI_ASTERISK = 32516,
    IDI_WINLOGO = 32517,
    IDI_WARNING = IDI_EXCLAMATION,
    IDI_ERROR = IDI_HAND,
    IDI_INFORMATION = IDI_ASTERISK,
};

// The largest side of a cursor or icon, as the resource form allows.
constexpr int32_t kCursorMaxSide = 256;

// LoadCursor / LoadIcon: a null module with a standard number gives the standard image; any
// other module (get_program_resource_module for the program's own) its RT_GROUP_CURSOR or
// RT_GROUP_ICON resource, the image nearest to 32 x 32. Null with the store's error (1813,
// 1814, 6) when missing, 1812 (ERROR_RESOURCE_DATA_NOT_FOUND) when damaged.
CursorHandle load_cursor(ModuleHandle module, ResourceId name);
IconHandle load_icon(ModuleHandle module, ResourceId name);

// CreateCursor / CreateIcon: masks in rows of mask_stride(width) bytes, top row first; sizes
// 1 to 256. Icons take 1 plane of 1 bit per pixel. Null with error 87 for anything else.
CursorHandle create_cursor(ModuleHandle instance, int32_t hot_x, int32_t hot_y, int32_t width, int32_t height,
    const void* and_mask, const void* xor_mask);
IconHandle create_icon(ModuleHandle instance, int32_t width, int32_t height, uint8_t planes, uint8_t bits_per_pixel,
    const void* and_mask, const void* xor_mask);
// DestroyCursor / DestroyIcon: false for a handle that is not there; a loaded (shared) image
// stays and answers true.
bool destroy_cursor(CursorHandle cursor);
bool destroy_icon(IconHandle icon);
// DrawIcon: the image at (x, y), its AND mask ANDed and its XOR mask XORed onto the DC.
bool draw_icon(DcHandle dc, int32_t x, int32_t y, IconHandle icon);
// The image behind a cursor or icon handle (sizes, hotspot, masks).
bool cursor_get_image(CursorHandle cursor, IconImage& out);
bool icon_get_image(IconHandle icon, IconImage& out);

// ClipCursor: the pointer stays inside rect (screen coordinates, cut to the screen); null
// frees it. GetClipCursor: the confinement, the screen when there is none.
bool clip_cursor(const Rect* rect);
bool get_clip_cursor(Rect& out);

// For the layer.
// A point moved inside the confinement.
Point cursor_clip_point(Point screen);
// What the default WM_SETCURSOR shows for a hit-test code outside the client area: the size
// arrows over sizing frames, the arrow elsewhere.
CursorHandle cursor_for_hit(int32_t hit);
void cursor_reset();

} // namespace plat
