#include "runtime/display/rect_list.h"

#include <vector>

#include "platform/gdi/blit.h"
#include "platform/gdi/clip.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/mapping.h"
#include "platform/gdi/region.h"
#include "platform/gdi/rop.h"
#include "platform/window/geometry.h"

namespace {

// Offsets are u16, so no node may start past this.
constexpr uint32_t kLastOffset = 0xFFFF;
// Colour bit that makes a COLORREF palette-relative.
constexpr uint32_t kPaletteRelative = 0x2000000;

struct RectPool {
    std::vector<uint8_t> bytes; // size() is the capacity; offset 0 is never handed out
    uint32_t free_offset = 0;
    bool overflowed = false;
    void (*freed_hook)() = nullptr;
};

RectPool s_pool;

int32_t read_i32(uint32_t offset)
{
    const uint8_t* p = &s_pool.bytes[offset];
    return int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
}

void write_i32(uint32_t offset, int32_t value)
{
    uint8_t* p = &s_pool.bytes[offset];
    for (int i = 0; i < 4; i++)
        p[i] = uint8_t(uint32_t(value) >> (8 * i));
}

// A list kept past a pool free would point at bytes that are gone: such a node reads as the
// end of its list.
bool valid_node(RectList node)
{
    return node >= 2 && uint32_t(node) + kRlistNodeSize <= s_pool.bytes.size();
}

Rect node_rect(RectList node)
{
    if (!valid_node(node))
        return Rect{};
    return Rect{read_i32(node), read_i32(node + 4u), read_i32(node + 8u), read_i32(node + 12u)};
}

void set_node_rect(RectList node, const Rect& rect)
{
    write_i32(node, rect.left);
    write_i32(node + 4u, rect.top);
    write_i32(node + 8u, rect.right);
    write_i32(node + 12u, rect.bottom);
}

RectList node_next(RectList node)
{
    if (!valid_node(node))
        return 0;
    return RectList(s_pool.bytes[node + 16u] | s_pool.bytes[node + 17u] << 8);
}

void set_node_next(RectList node, RectList next)
{
    s_pool.bytes[node + 16u] = uint8_t(next);
    s_pool.bytes[node + 17u] = uint8_t(next >> 8);
}

// A node from the free offset, the pool made or grown as needed; 0 when it cannot be.
RectList take_node()
{
    if (s_pool.bytes.empty()) {
        s_pool.bytes.assign(kRlistPoolFirst, 0);
        s_pool.free_offset = 2;
    }
    uint32_t node = s_pool.free_offset;
    uint32_t needed = node + kRlistNodeSize;
    if (node > kLastOffset) {
        s_pool.overflowed = true;
        return 0;
    }
    uint32_t capacity = uint32_t(s_pool.bytes.size());
    if (needed > capacity) {
        uint32_t grown = capacity + ((needed - capacity) & ~0xFFu) + kRlistPoolFirst;
        if (grown > kRlistPoolMax) {
            s_pool.overflowed = true;
            return 0;
        }
        s_pool.bytes.resize(grown, 0);
    }
    s_pool.free_offset = needed;
    return RectList(node);
}

Rect inflated(const Rect& rect)
{
    return Rect{rect.left - kRlistMergeDistance, rect.top - kRlistMergeDistance, rect.right + kRlistMergeDistance,
        rect.bottom + kRlistMergeDistance};
}

// Strict tests: touching the widened rectangle's edge is not enough.
bool meets(const Rect& node, const Rect& area)
{
    return node.right > area.left && node.left < area.right && node.top < area.bottom && node.bottom > area.top;
}

Rect united(const Rect& a, const Rect& b)
{
    return Rect{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right), std::max(a.bottom, b.bottom)};
}

// The list itself, or empty for one that no longer points into the pool.
RectList head(RectList list) { return valid_node(list) ? list : 0; }

RectList last_node(RectList list)
{
    while (RectList next = node_next(list))
        list = next;
    return list;
}

} // namespace

RectList rlist_add(RectList list, const Rect& rect)
{
    list = head(list);
    if (rect.left == 0 && rect.top == 0 && rect.right == 0 && rect.bottom == 0)
        return list;
    uint32_t before = s_pool.free_offset;
    RectList node = take_node();
    if (!node)
        return list; // the overflow makes the next refresh repaint everything
    if (list) {
        Rect area = inflated(rect);
        for (RectList at = head(list); at; at = node_next(at)) {
            Rect existing = node_rect(at);
            if (meets(existing, area)) {
                set_node_rect(at, united(existing, rect));
                s_pool.free_offset = before;
                return list;
            }
        }
    }
    set_node_rect(node, rect);
    set_node_next(node, 0);
    if (!list)
        return node;
    set_node_next(last_node(list), node);
    return list;
}

RectList rlist_merge(RectList list)
{
    bool merged = true;
    while (merged) {
        merged = false;
        for (RectList at = head(list); at; at = node_next(at)) {
            Rect rect = node_rect(at);
            Rect area = inflated(rect);
            RectList previous = at;
            for (RectList other = node_next(at); other; other = node_next(previous)) {
                Rect candidate = node_rect(other);
                if (!meets(candidate, area)) {
                    previous = other;
                    continue;
                }
                rect = united(rect, candidate);
                area = inflated(rect);
                set_node_rect(at, rect);
                set_node_next(previous, node_next(other));
                merged = true;
            }
        }
    }
    return list;
}

RectList rlist_append_list(RectList a, RectList b)
{
    a = head(a);
    b = head(b);
    if (!a)
        return b;
    if (!b)
        return a;
    // b already in a's chain would close a loop.
    RectList last = a;
    for (RectList at = a; at; at = node_next(at)) {
        if (at == b)
            return a;
        last = at;
    }
    set_node_next(last, b);
    return a;
}

RectList rlist_copy(RectList list)
{
    uint32_t start = s_pool.free_offset;
    RectList copy = 0;
    RectList tail = 0;
    for (RectList at = head(list); at; at = node_next(at)) {
        RectList node = take_node();
        if (!node) {
            s_pool.free_offset = start;
            Rect bounds;
            if (!rlist_bounds(list, bounds))
                return 0;
            RectList one = take_node();
            if (one) {
                set_node_rect(one, bounds);
                set_node_next(one, 0);
            }
            return one;
        }
        set_node_rect(node, node_rect(at));
        set_node_next(node, 0);
        if (tail)
            set_node_next(tail, node);
        else
            copy = node;
        tail = node;
    }
    return copy;
}

int rlist_count(RectList list)
{
    int count = 0;
    for (RectList at = head(list); at; at = node_next(at))
        count++;
    return count;
}

bool rlist_bounds(RectList list, Rect& out)
{
    out = Rect{};
    for (RectList at = head(list); at; at = node_next(at)) {
        Rect rect = node_rect(at);
        plat::union_rect(out, out, rect);
    }
    return out.left < out.right && out.top < out.bottom;
}

bool rlist_intersect_bounds(RectList list, const Rect& rect, Rect& out)
{
    out = Rect{};
    bool any = false;
    for (RectList at = head(list); at; at = node_next(at)) {
        Rect part;
        if (plat::intersect_rect(part, node_rect(at), rect)) {
            plat::union_rect(out, out, part);
            any = true;
        }
    }
    return any;
}

RectList rlist_get_node(RectList node, Rect& out)
{
    if (!valid_node(node)) {
        out = Rect{};
        return 0;
    }
    out = node_rect(node);
    return node_next(node);
}

void rlist_split_inside(RectList list, const Rect& rect, RectList& inside, RectList& outside)
{
    // Adding may move the pool, so each node is read before the add.
    for (RectList at = head(list); at; at = node_next(at)) {
        Rect node = node_rect(at);
        bool within = node.left >= rect.left && node.top >= rect.top && node.right <= rect.right && node.bottom <= rect.bottom;
        if (within)
            inside = rlist_add(inside, node);
        else
            outside = rlist_add(outside, node);
    }
}

// The node's part inside the clip rectangle (all of it without one); false when none.
bool clipped_node(RectList node, const Rect* clip, Rect& out)
{
    out = node_rect(node);
    return !clip || plat::intersect_rect(out, out, *clip);
}

bool rlist_select_clip(RectList list, const Rect* clip, plat::DcHandle dc)
{
    // One rectangle, the common case of every object's draw, needs no region object.
    Rect only;
    int parts = 0;
    for (RectList at = head(list); at && parts < 2; at = node_next(at)) {
        Rect part;
        if (clipped_node(at, clip, part)) {
            only = part;
            parts++;
        }
    }
    if (parts == 0)
        return false;
    if (parts == 1) {
        plat::Point origin;
        plat::get_window_org_ex(dc, origin);
        plat::offset_rect(only, -origin.x, -origin.y);
        plat::select_clip_rect(dc, only);
        return true;
    }
    plat::GdiObject region = plat::create_rect_rgn(0, 0, 0, 0);
    plat::GdiObject part = plat::create_rect_rgn(0, 0, 0, 0);
    bool any = false;
    for (RectList at = head(list); at; at = node_next(at)) {
        Rect rect;
        if (!clipped_node(at, clip, rect))
            continue;
        plat::set_rect_rgn(part, rect.left, rect.top, rect.right, rect.bottom);
        plat::combine_rgn(region, region, part, plat::RGN_OR);
        any = true;
    }
    if (any) {
        plat::Point origin;
        plat::get_window_org_ex(dc, origin);
        plat::offset_rgn(region, -origin.x, -origin.y);
        plat::select_clip_rgn(dc, region);
    }
    plat::delete_object(part);
    plat::delete_object(region);
    return any;
}

void rlist_blit(RectList list, plat::DcHandle source, plat::DcHandle target)
{
    for (RectList at = head(list); at; at = node_next(at)) {
        Rect rect = node_rect(at);
        plat::bit_blt(target, rect.left, rect.top, rect.width(), rect.height(), source, rect.left, rect.top, plat::SRCCOPY);
    }
}

void rlist_fill(RectList list, plat::DcHandle dc, plat::GdiObject brush)
{
    for (RectList at = head(list); at; at = node_next(at))
        plat::fill_rect(dc, node_rect(at), brush);
}

void rlist_fill_color(RectList list, plat::DcHandle dc, uint32_t color)
{
    plat::GdiObject brush = plat::create_solid_brush((color & 0xFFFFFF) | kPaletteRelative);
    rlist_fill(list, dc, brush);
    plat::delete_object(brush);
}

void rlist_free_pool()
{
    if (s_pool.freed_hook)
        s_pool.freed_hook();
    s_pool.bytes.clear();
    s_pool.bytes.shrink_to_fit();
    s_pool.free_offset = 0;
    s_pool.overflowed = false;
}

bool rlist_pool_overflowed() { return s_pool.overflowed; }

uint32_t rlist_pool_capacity() { return uint32_t(s_pool.bytes.size()); }

void rlist_set_pool_freed_hook(void (*hook)()) { s_pool.freed_hook = hook; }
