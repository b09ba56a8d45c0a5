#include "platform/kernel/resource_forms.h"

#include "platform/kernel/byte_io.h"

namespace plat {

constexpr size_t kMinControlSize = 20; // style, ex style, rectangle, id, two empty strings
constexpr size_t kMinMenuItemSize = 3; // flags and an empty text
constexpr size_t kAcceleratorSize = 6; // flags, key, id
constexpr size_t kGroupEntrySize = 6; // width, height, image id
constexpr uint16_t kMaxImageSide = 256; // the largest cursor or icon the sources may draw
constexpr int kMaxMenuDepth = 8; // deeper nesting is damage, not a menu

static void read_rect(ByteReader& r, int16_t& x, int16_t& y, int16_t& cx, int16_t& cy)
{
    x = r.i16le();
    y = r.i16le();
    cx = r.i16le();
    cy = r.i16le();
}

static void read_control(ByteReader& r, DialogControl& c)
{
    c.style = r.u32le();
    c.ex_style = r.u32le();
    read_rect(r, c.x, c.y, c.cx, c.cy);
    c.id = r.u16le();
    c.class_name = r.cstring();
    c.text = r.cstring();
}

bool read_dialog_template(ResourceBytes bytes, DialogTemplate& out)
{
    ByteReader r(bytes.data, bytes.data ? bytes.size : 0);
    out.style = r.u32le();
    out.ex_style = r.u32le();
    read_rect(r, out.x, out.y, out.cx, out.cy);
    out.font_size = r.u16le();
    out.font_face = r.cstring();
    out.caption = r.cstring();
    out.class_name.clear();
    uint16_t count = r.u16le();
    if (r.failed() || count > r.remaining() / kMinControlSize)
        return false;
    out.controls.assign(count, {});
    for (DialogControl& c : out.controls)
        read_control(r, c);
    return !r.failed() && r.remaining() == 0;
}

// level -> item { item }, the last item flagged MF_END
static bool read_menu_level(ByteReader& r, int depth, std::vector<MenuItemTemplate>& out)
{
    if (depth > kMaxMenuDepth)
        return false;
    for (;;) {
        if (r.remaining() < kMinMenuItemSize)
            return false;
        MenuItemTemplate item;
        uint16_t flags = r.u16le();
        item.flags = uint16_t(flags & ~MF_END);
        if (!(flags & MF_POPUP))
            item.id = r.u16le();
        item.text = r.cstring();
        if (r.failed() || ((flags & MF_POPUP) && !read_menu_level(r, depth + 1, item.items)))
            return false;
        out.push_back(std::move(item));
        if (flags & MF_END)
            return true;
    }
}

bool read_menu_template(ResourceBytes bytes, std::vector<MenuItemTemplate>& out)
{
    ByteReader r(bytes.data, bytes.data ? bytes.size : 0);
    out.clear();
    return read_menu_level(r, 0, out) && r.remaining() == 0;
}

bool read_accelerator_table(ResourceBytes bytes, std::vector<AcceleratorEntry>& out)
{
    ByteReader r(bytes.data, bytes.data ? bytes.size : 0);
    if (r.size() == 0 || r.size() % kAcceleratorSize != 0)
        return false;
    out.assign(r.size() / kAcceleratorSize, {});
    for (AcceleratorEntry& e : out) {
        e.flags = r.u16le();
        e.key = r.u16le();
        e.id = r.u16le();
    }
    return !r.failed();
}

bool read_icon_image(ResourceBytes bytes, IconImage& out)
{
    ByteReader r(bytes.data, bytes.data ? bytes.size : 0);
    out.width = r.u16le();
    out.height = r.u16le();
    out.hotspot_x = r.i16le();
    out.hotspot_y = r.i16le();
    if (r.failed() || out.width == 0 || out.height == 0 || out.width > kMaxImageSide
        || out.height > kMaxImageSide)
        return false;
    if (out.hotspot_x < 0 || out.hotspot_x >= out.width || out.hotspot_y < 0
        || out.hotspot_y >= out.height)
        return false;
    size_t mask_size = mask_stride(out.width) * out.height;
    if (r.remaining() != 2 * mask_size)
        return false;
    out.and_mask.resize(mask_size);
    out.xor_mask.resize(mask_size);
    r.bytes(out.and_mask.data(), mask_size);
    r.bytes(out.xor_mask.data(), mask_size);
    return !r.failed();
}

bool read_icon_group(ResourceBytes bytes, std::vector<IconGroupEntry>& out)
{
    ByteReader r(bytes.data, bytes.data ? bytes.size : 0);
    uint16_t count = r.u16le();
    if (r.failed() || count == 0 || r.remaining() != size_t(count) * kGroupEntrySize)
        return false;
    out.assign(count, {});
    for (IconGroupEntry& e : out) {
        e.width = r.u16le();
        e.height = r.u16le();
        e.image_id = r.u16le();
    }
    return !r.failed();
}

} // namespace plat
