// Readers of the compiled forms of dialog templates, menus, accelerator tables, cursors and
// icons (tools/rc/README.md gives their bytes). Each checks every count and length against the
// bytes that are there and answers false for a damaged form, leaving `out` unspecified.
#pragma once
#include "platform/kernel/resource.h"

#include <cstdint>
#include <string>
#include <vector>

namespace plat {

struct DialogControl {
    uint32_t style = 0;
    uint32_t ex_style = 0;
    int16_t x = 0, y = 0, cx = 0, cy = 0; // dialog units
    uint16_t id = 0;
    std::string class_name; // "BUTTON", "EDIT", "STATIC" ... or a registered class
    std::string text; // for SS_ICON and SS_BITMAP, the resource's name ("#101" a number)
};

struct DialogTemplate {
    uint32_t style = 0;
    uint32_t ex_style = 0;
    int16_t x = 0, y = 0, cx = 0, cy = 0; // dialog units
    uint16_t font_size = 0; // points; 0 when the template names no font
    std::string font_face;
    std::string caption;
    std::vector<DialogControl> controls;
    // The window class of the dialog: templates store none (the standard dialog class); a
    // program that gives its dialogs a class of its own names it here before creating one.
    std::string class_name;
};

[[nodiscard]] bool read_dialog_template(ResourceBytes bytes, DialogTemplate& out);

// Menu item flags as Win32 stores them in menu templates.
enum : uint16_t {
    MF_GRAYED = 0x0001,
    MF_DISABLED = 0x0002,
    MF_CHECKED = 0x0008,
    MF_POPUP = 0x0010,
    MF_END = 0x0080, // the last item of its level
    MF_SEPARATOR = 0x0800,
};

struct MenuItemTemplate {
    uint16_t flags = 0; // MF_ bits; MF_END is dropped on reading
    uint16_t id = 0; // 0 for popups and separators
    std::string text;
    std::vector<MenuItemTemplate> items; // a popup's items
};

[[nodiscard]] bool read_menu_template(ResourceBytes bytes, std::vector<MenuItemTemplate>& out);

// Accelerator flags as Win32's ACCEL stores them.
enum : uint16_t {
    FVIRTKEY = 0x01,
    FNOINVERT = 0x02,
    FSHIFT = 0x04,
    FCONTROL = 0x08,
    FALT = 0x10,
};

struct AcceleratorEntry {
    uint16_t flags = 0;
    uint16_t key = 0; // a virtual key with FVIRTKEY, else a character code
    uint16_t id = 0;
};

// False for an empty table, which the compiler never writes.
[[nodiscard]] bool read_accelerator_table(ResourceBytes bytes, std::vector<AcceleratorEntry>& out);

// A cursor or icon image (RT_CURSOR, RT_ICON). Masks as CreateCursor takes them: rows top to
// bottom of mask_stride(width) bytes, the leftmost pixel in the high bit. AND 1 XOR 0 is
// transparent, 0 0 black, 0 1 white, 1 1 the screen inverted. Icons have the hotspot 0, 0.
struct IconImage {
    uint16_t width = 0;
    uint16_t height = 0;
    int16_t hotspot_x = 0;
    int16_t hotspot_y = 0;
    std::vector<uint8_t> and_mask;
    std::vector<uint8_t> xor_mask;
};

constexpr size_t mask_stride(size_t width) { return (width + 15) / 16 * 2; }

[[nodiscard]] bool read_icon_image(ResourceBytes bytes, IconImage& out);

// One image of a cursor or icon group (RT_GROUP_CURSOR, RT_GROUP_ICON): the image is the
// RT_CURSOR or RT_ICON resource numbered image_id.
struct IconGroupEntry {
    uint16_t width = 0;
    uint16_t height = 0;
    uint16_t image_id = 0;
};

[[nodiscard]] bool read_icon_group(ResourceBytes bytes, std::vector<IconGroupEntry>& out);

} // namespace plat
