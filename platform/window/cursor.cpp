#include "platform/window/cursor.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/backend/backend.h"
#include "platform/gdi/bitmap.h"
#include "platform/gdi/blit.h"
#include "platform/gdi/dc.h"
#include "platform/kernel/error.h"
#include "platform/gdi/gdi_object.h"
#include "platform/window/input.h"
#include "platform/window/metrics.h"
#include "platform/kernel/slots.h"
#include "platform/window/window.h"

namespace plat {

constexpr uint32_t kCursorFirstGeneration = 0xC05;
// The resource module holding the standard cursors and icons (resources/platform).
constexpr const char* kStandardModule = "plat";

struct CursorRecord {
    IconImage image;
    bool shared = false; // loaded from a resource: one handle for every load
    uint32_t module = 0;
    uint32_t group_type = 0;
    uint32_t name_number = 0;
    std::string name; // upper case; empty for a numbered resource
};

struct CursorState {
    SlotTable<CursorRecord> images{kCursorFirstGeneration};
    bool clipped = false;
    Rect clip;
};

static CursorState s_cursor;

static std::string upper(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = c >= 'a' && c <= 'z' ? char(c - 32) : c;
    return out;
}

static bool same_resource(const CursorRecord& record, uint32_t module, uint32_t type, const ResourceId& name)
{
    if (!record.shared || record.module != module || record.group_type != type)
        return false;
    return name.is_number() ? record.name.empty() && record.name_number == name.number : record.name == upper(name.name);
}

static uint32_t find_loaded(uint32_t module, uint32_t type, const ResourceId& name)
{
    uint32_t found = 0;
    s_cursor.images.for_each([&](uint32_t id, CursorRecord& record) {
        if (!found && same_resource(record, module, type, name))
            found = id;
    });
    return found;
}

// The group's image nearest in size to a standard cursor (32 x 32).
static bool pick_image(ModuleHandle module, uint32_t group_type, const ResourceId& name, IconImage& out)
{
    ResourceBytes group = find_resource(module, group_type, name);
    if (!group.data)
        return false;
    std::vector<IconGroupEntry> entries;
    if (!read_icon_group(group, entries) || entries.empty()) {
        set_last_error(ERROR_RESOURCE_DATA_NOT_FOUND);
        return false;
    }
    int32_t want = get_system_metrics(SM_CXCURSOR);
    auto distance = [want](const IconGroupEntry& e) { return std::abs(int32_t(e.width) - want) + std::abs(int32_t(e.height) - want); };
    const IconGroupEntry& best = *std::min_element(entries.begin(), entries.end(),
        [&](const IconGroupEntry& a, const IconGroupEntry& b) { return distance(a) < distance(b); });
    uint32_t image_type = group_type == RT_GROUP_CURSOR ? RT_CURSOR : RT_ICON;
    ResourceBytes image = find_resource(module, image_type, ResourceId(uint32_t(best.image_id)));
    if (!image.data || !read_icon_image(image, out)) {
        set_last_error(ERROR_RESOURCE_DATA_NOT_FOUND);
        return false;
    }
    return true;
}

static uint32_t load_shared(ModuleHandle module, uint32_t group_type, const ResourceId& name)
{
    if (!module) {
        module = get_resource_module(kStandardModule);
        if (!module) {
            set_last_error(ERROR_RESOURCE_TYPE_NOT_FOUND);
            return 0;
        }
    }
    if (uint32_t id = find_loaded(module.id, group_type, name))
        return id;
    CursorRecord record;
    if (!pick_image(module, group_type, name, record.image))
        return 0;
    record.shared = true;
    record.module = module.id;
    record.group_type = group_type;
    record.name_number = name.is_number() ? name.number : 0;
    record.name = name.is_number() ? std::string() : upper(name.name);
    uint32_t id = s_cursor.images.insert(std::move(record));
    if (!id)
        set_last_error(ERROR_NOT_ENOUGH_MEMORY);
    return id;
}

CursorHandle load_cursor(ModuleHandle module, ResourceId name)
{
    return CursorHandle(load_shared(module, RT_GROUP_CURSOR, name));
}

IconHandle load_icon(ModuleHandle module, ResourceId name)
{
    return IconHandle(load_shared(module, RT_GROUP_ICON, name));
}

static uint32_t create_image(int32_t hot_x, int32_t hot_y, int32_t width, int32_t height, const void* and_mask,
    const void* xor_mask)
{
    bool sizes_ok = width >= 1 && height >= 1 && width <= kCursorMaxSide && height <= kCursorMaxSide;
    if (!sizes_ok || !and_mask || !xor_mask || hot_x < 0 || hot_y < 0 || hot_x >= width || hot_y >= height) {
        set_last_error(ERROR_INVALID_PARAMETER);
        return 0;
    }
    size_t bytes = mask_stride(size_t(width)) * size_t(height);
    CursorRecord record;
    record.image.width = uint16_t(width);
    record.image.height = uint16_t(height);
    record.image.hotspot_x = int16_t(hot_x);
    record.image.hotspot_y = int16_t(hot_y);
    record.image.and_mask.assign(static_cast<const uint8_t*>(and_mask), static_cast<const uint8_t*>(and_mask) + bytes);
    record.image.xor_mask.assign(static_cast<const uint8_t*>(xor_mask), static_cast<const uint8_t*>(xor_mask) + bytes);
    uint32_t id = s_cursor.images.insert(std::move(record));
    if (!id)
        set_last_error(ERROR_NOT_ENOUGH_MEMORY);
    return id;
}

CursorHandle create_cursor(ModuleHandle, int32_t hot_x, int32_t hot_y, int32_t width, int32_t height,
    const void* and_mask, const void* xor_mask)
{
    return CursorHandle(create_image(hot_x, hot_y, width, height, and_mask, xor_mask));
}

IconHandle create_icon(ModuleHandle, int32_t width, int32_t height, uint8_t planes, uint8_t bits_per_pixel,
    const void* and_mask, const void* xor_mask)
{
    if (planes != 1 || bits_per_pixel != 1) {
        set_last_error(ERROR_INVALID_PARAMETER);
        return {};
    }
    return IconHandle(create_image(0, 0, width, height, and_mask, xor_mask));
}

static bool destroy_image(uint32_t id)
{
    CursorRecord* record = s_cursor.images.find(id);
    if (!record) {
        set_last_error(ERROR_INVALID_HANDLE);
        return false;
    }
    // The image may be on show: the pointer then goes back to no shape, as for a lost cursor.
    if (get_cursor().id == id && !record->shared)
        set_cursor({});
    if (!record->shared)
        s_cursor.images.erase(id);
    return true;
}

bool destroy_cursor(CursorHandle cursor) { return destroy_image(cursor.id); }

bool destroy_icon(IconHandle icon) { return destroy_image(icon.id); }

static bool get_image(uint32_t id, IconImage& out)
{
    CursorRecord* record = s_cursor.images.find(id);
    if (!record)
        return false;
    out = record->image;
    return true;
}

bool cursor_get_image(CursorHandle cursor, IconImage& out) { return get_image(cursor.id, out); }

bool icon_get_image(IconHandle icon, IconImage& out) { return get_image(icon.id, out); }

// One mask through a monochrome bitmap: its 1 bits take the DC's background colour (white) and
// its 0 bits the text colour (black), so SRCAND keeps where AND is 1 and SRCINVERT flips where
// XOR is 1.
static void blit_mask(DcHandle dc, DcHandle memory, int32_t x, int32_t y, const IconImage& image,
    const std::vector<uint8_t>& mask, uint32_t rop)
{
    GdiObject bitmap = create_bitmap(image.width, image.height, 1, 1, mask.data(), mask.size());
    GdiObject old = select_object(memory, bitmap);
    bit_blt(dc, x, y, image.width, image.height, memory, 0, 0, rop);
    select_object(memory, old);
    delete_object(bitmap);
}

bool draw_icon(DcHandle dc, int32_t x, int32_t y, IconHandle icon)
{
    CursorRecord* record = s_cursor.images.find(icon.id);
    if (!record || !dc_find(dc)) {
        set_last_error(ERROR_INVALID_HANDLE);
        return false;
    }
    IconImage image = record->image;
    DcHandle memory = create_compatible_dc(dc);
    uint32_t old_text = set_text_color(dc, 0x000000);
    uint32_t old_back = set_bk_color(dc, 0xFFFFFF);
    blit_mask(dc, memory, x, y, image, image.and_mask, SRCAND);
    blit_mask(dc, memory, x, y, image, image.xor_mask, SRCINVERT);
    set_text_color(dc, old_text);
    set_bk_color(dc, old_back);
    delete_dc(memory);
    return true;
}

static Rect screen_rect()
{
    Size screen = backend_screen_size();
    return Rect{0, 0, screen.cx, screen.cy};
}

bool clip_cursor(const Rect* rect)
{
    if (!rect) {
        s_cursor.clipped = false;
        return true;
    }
    Rect area;
    if (!intersect_rect(area, rect_clamp(*rect), screen_rect()))
        return false;
    s_cursor.clipped = true;
    s_cursor.clip = area;
    Point at;
    get_cursor_pos(at);
    Point inside = cursor_clip_point(at);
    if (inside != at)
        set_cursor_pos(inside.x, inside.y);
    return true;
}

bool get_clip_cursor(Rect& out)
{
    out = s_cursor.clipped ? s_cursor.clip : screen_rect();
    return true;
}

Point cursor_clip_point(Point screen)
{
    if (!s_cursor.clipped)
        return screen;
    screen.x = std::clamp(screen.x, s_cursor.clip.left, s_cursor.clip.right - 1);
    screen.y = std::clamp(screen.y, s_cursor.clip.top, s_cursor.clip.bottom - 1);
    return screen;
}

CursorHandle cursor_for_hit(int32_t hit)
{
    uint32_t shape = IDC_ARROW;
    switch (hit) {
    case HTLEFT:
    case HTRIGHT: shape = IDC_SIZEWE; break;
    case HTTOP:
    case HTBOTTOM: shape = IDC_SIZENS; break;
    case HTTOPLEFT:
    case HTBOTTOMRIGHT:
    case HTGROWBOX: shape = IDC_SIZENWSE; break;
    case HTTOPRIGHT:
    case HTBOTTOMLEFT: shape = IDC_SIZENESW; break;
    default: break;
    }
    return load_cursor({}, shape);
}

void cursor_reset()
{
    s_cursor.images.clear();
    s_cursor.clipped = false;
}

} // namespace plat
