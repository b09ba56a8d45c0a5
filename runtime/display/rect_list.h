// Rectangle lists: damage and update areas as chains of 18-byte nodes in one pool that grows
// in 256-byte steps and is freed wholesale after every refresh. A list is the u16 offset of its
// first node (0: empty), so it fits the 2-byte fields of display-object records. An operation
// that adds nodes may move the pool: never keep a pointer into it, only offsets.
#pragma once
#include <cstdint>

#include "platform/gdi/gdi_object.h"
#include "platform/window/window_types.h"
#include "runtime/base/rect.h"

using RectList = uint16_t;

constexpr int32_t kRlistMergeDistance = 20; // rectangles this close share a node
constexpr uint32_t kRlistNodeSize = 18;     // left, top, right, bottom (i32), next (u16)
constexpr uint32_t kRlistPoolFirst = 256;   // bytes of a new pool, and each growth step
constexpr uint32_t kRlistPoolMax = 65503;   // a larger pool is refused

// Adds a rectangle: (0, 0, 0, 0) is ignored; one within kRlistMergeDistance of a node (strict
// tests) widens that node instead. When the pool is full the list comes back unchanged and the
// pool is marked overflowed, so that the next refresh repaints the whole stage.
RectList rlist_add(RectList list, const Rect& rect);
// Merges nodes within kRlistMergeDistance of each other, pass after pass until none merge.
RectList rlist_merge(RectList list);
// b linked after a's last node.
RectList rlist_append_list(RectList a, RectList b);
// A copy in consecutive nodes; when the pool cannot hold them all, one node of their union.
RectList rlist_copy(RectList list);
int rlist_count(RectList list);
// The union of the nodes; false when it is empty.
bool rlist_bounds(RectList list, Rect& out);
// Whether any node meets rect; out is the union of the intersections.
bool rlist_intersect_bounds(RectList list, const Rect& rect, Rect& out);
// The node's rectangle; answers the next node (0 at the end).
RectList rlist_get_node(RectList node, Rect& out);
// Nodes entirely inside rect are added to inside, all others to outside.
void rlist_split_inside(RectList list, const Rect& rect, RectList& inside, RectList& outside);
// Selects the union of the nodes (each cut to clip when given) as the DC's clip region, moved
// from stage to device coordinates by the DC's window origin; false when nothing is selected.
bool rlist_select_clip(RectList list, const Rect* clip, plat::DcHandle dc);
// SRCCOPY of every rectangle, same place on both sides.
void rlist_blit(RectList list, plat::DcHandle source, plat::DcHandle target);
void rlist_fill(RectList list, plat::DcHandle dc, plat::GdiObject brush);
// Fills with a solid brush of the colour taken palette-relative.
void rlist_fill_color(RectList list, plat::DcHandle dc, uint32_t color);

// Frees the pool: every list anywhere becomes invalid, so the pool-freed hook (set by the
// refresh) zeroes the lists the display objects hold first.
void rlist_free_pool();
// Whether a node was refused since the pool was last freed.
bool rlist_pool_overflowed();
// Bytes the pool holds now (0 when it is not made).
uint32_t rlist_pool_capacity();
void rlist_set_pool_freed_hook(void (*hook)());
