#include "runtime/nodes/node_tree.h"

#include "platform/kernel/byte_io.h"
#include "runtime/base/errcode.h"
#include "runtime/nodes/node_group.h"

#include <vector>

namespace {

// The fixed fields a walk needs, and the heads of a Framework's lists 3 and 4.
struct Links {
    int kind = 0;
    uint16_t parent = 0;
    uint16_t next = 0;
    uint16_t first_child = 0;
    uint16_t list3 = 0;
    uint16_t list4 = 0;
};

Links links_of(IconId icon)
{
    NodeHeaderRef h = node_header_ref(icon);
    Links l;
    uint32_t word0 = plat::load_u32le(h.bytes);
    l.kind = int(word0 >> 28);
    l.parent = plat::load_u16le(h.bytes + 4);
    l.next = plat::load_u16le(h.bytes + 6);
    l.first_child = plat::load_u16le(h.bytes + 8);
    if (l.kind == kKindFramework) {
        // The kind block follows the layout block; heads past the header's end read as none.
        uint32_t at = kNodeHeaderFixed + node_layout_block_size(int((word0 >> 24) & 0xF));
        if (h.size >= at + 2)
            l.list3 = plat::load_u16le(h.bytes + at);
        if (h.size >= at + 4)
            l.list4 = plat::load_u16le(h.bytes + at + 2);
    }
    return l;
}

uint16_t head_of(const Links& l, int list)
{
    switch (list) {
    case kListChildren:
        return l.first_child;
    case kListFramework3:
        return l.list3;
    case kListFramework4:
        return l.list4;
    default:
        return 0;
    }
}

IconId damaged()
{
    node_set_error_word(kErrFileDamaged);
    return 0;
}

// Steps along the list of owner from first: each member must be an icon whose parent is the
// owner, and the steps stay within the node count. visit returns false to stop. False when
// the list broke a rule (the error word is then set).
template <typename Visit>
bool each_member(int slot, uint32_t owner, uint32_t first, Visit visit)
{
    uint32_t budget = node_file_node_count(slot);
    for (uint32_t n = first; n != 0;) {
        IconId member = node_make_icon(uint32_t(slot), n);
        Links l = links_of(member);
        if (budget-- == 0 || l.kind == kKindFree || l.parent != owner) {
            damaged();
            return false;
        }
        if (!visit(member))
            return true;
        n = l.next;
    }
    return true;
}

// Where a recursive walk is in one icon's lists.
struct Frame {
    uint16_t owner;
    int list;
    uint16_t child; // the next member to visit, 0 at a list's end
    uint16_t list3, list4;
};

Frame frame_of(uint16_t owner, const Links& l)
{
    return { owner, kListChildren, l.first_child, l.list3, l.list4 };
}

enum class Order { pre, post };

// Pre- or post-order over lists 2, 3 and 4 of every icon below start, with or without the start.
IconId walk_tree(IconId start, Order order, bool with_start, NodeVisit visit, void* user)
{
    int slot = int(node_icon_slot(start));
    Links first = links_of(start);
    if (first.kind == kKindFree)
        return 0;
    if (order == Order::pre && with_start && !visit(start, user))
        return start;
    uint32_t budget = node_file_node_count(slot);
    std::vector<Frame> stack;
    stack.reserve(64);
    stack.push_back(frame_of(uint16_t(node_icon_number(start)), first));
    while (!stack.empty()) {
        Frame& f = stack.back();
        if (f.child == 0 && f.list < kListFramework4) {
            f.list++;
            f.child = f.list == kListFramework3 ? f.list3 : f.list4;
            continue;
        }
        if (f.child == 0) {
            IconId done = node_make_icon(uint32_t(slot), f.owner);
            stack.pop_back();
            if (order == Order::post && (!stack.empty() || with_start) && !visit(done, user))
                return done;
            continue;
        }
        IconId child = node_make_icon(uint32_t(slot), f.child);
        Links l = links_of(child);
        if (budget-- == 0 || l.kind == kKindFree || l.parent != f.owner)
            return damaged();
        f.child = l.next;
        if (order == Order::pre && !visit(child, user))
            return child;
        stack.push_back(frame_of(uint16_t(node_icon_number(child)), l));
    }
    return 0;
}

// The members of one list, from first.
IconId walk_list(int slot, uint32_t owner, uint32_t first, NodeVisit visit, void* user)
{
    IconId stopped = 0;
    each_member(slot, owner, first, [&](IconId member) {
        if (visit(member, user))
            return true;
        stopped = member;
        return false;
    });
    return stopped;
}

IconId walk_ancestors(IconId start, NodeVisit visit, void* user)
{
    int slot = int(node_icon_slot(start));
    uint32_t budget = node_file_node_count(slot);
    for (uint32_t n = links_of(start).parent; n != 0;) {
        IconId ancestor = node_make_icon(uint32_t(slot), n);
        Links l = links_of(ancestor);
        if (budget-- == 0 || l.kind == kKindFree)
            return damaged();
        if (!visit(ancestor, user))
            return ancestor;
        n = l.parent;
    }
    return 0;
}

IconId walk_numbers(IconId start, NodeVisit visit, void* user)
{
    uint32_t slot = node_icon_slot(start);
    uint32_t count = node_file_node_count(int(slot));
    for (uint32_t n = 1; n < count; n++) {
        IconId icon = node_make_icon(slot, n);
        if (node_header_kind(icon) != kKindFree && !visit(icon, user))
            return icon;
    }
    return 0;
}

} // namespace

IconId node_walk(IconId start, int mode, NodeVisit visit, void* user)
{
    node_set_error_word(0);
    int slot = int(node_icon_slot(start));
    uint32_t node = node_icon_number(start);
    switch (mode) {
    case kWalkChildren:
        return walk_list(slot, node, links_of(start).first_child, visit, user);
    case kWalkDescendants:
        return walk_tree(start, Order::pre, false, visit, user);
    case kWalkFollowing: {
        Links l = links_of(start);
        return l.kind == kKindFree ? 0 : walk_list(slot, l.parent, l.next, visit, user);
    }
    case kWalkAncestors:
        return walk_ancestors(start, visit, user);
    case kWalkNumbers:
        return walk_numbers(start, visit, user);
    case kWalkLibraryTop: {
        IconId top = node_make_icon(uint32_t(slot), 2);
        return walk_list(slot, 2, links_of(top).first_child, visit, user);
    }
    case kWalkTree:
        return walk_tree(start, Order::pre, true, visit, user);
    case kWalkPostDescendants:
        return walk_tree(start, Order::post, false, visit, user);
    case kWalkPostTree:
        return walk_tree(start, Order::post, true, visit, user);
    default:
        return 0;
    }
}

static IconId same_file(IconId icon, uint32_t node)
{
    return node != 0 ? node_make_icon(node_icon_slot(icon), node) : 0;
}

IconId node_parent(IconId icon) { return same_file(icon, links_of(icon).parent); }

IconId node_next(IconId icon) { return same_file(icon, links_of(icon).next); }

IconId node_first_child(IconId icon) { return same_file(icon, links_of(icon).first_child); }

IconId node_child_list(IconId icon, int list) { return same_file(icon, head_of(links_of(icon), list)); }

IconId node_last_child(IconId icon)
{
    IconId last = 0;
    each_member(int(node_icon_slot(icon)), node_icon_number(icon), links_of(icon).first_child,
        [&](IconId member) {
            last = member;
            return true;
        });
    return last;
}

// Whether the list of parent holds child, and at which 1-based position (0 when not).
static int position_in_list(IconId parent, const Links& l, int list, IconId child)
{
    int position = 0, at = 0;
    each_member(int(node_icon_slot(parent)), node_icon_number(parent), head_of(l, list),
        [&](IconId member) {
            at++;
            if (member == child)
                position = at;
            return member != child;
        });
    return position;
}

int node_child_list_of(IconId parent, IconId child)
{
    Links l = links_of(parent);
    if (l.kind != kKindFramework)
        return kListChildren;
    for (int list = kListChildren; list <= kListFramework4; list++)
        if (position_in_list(parent, l, list, child) != 0)
            return list;
    return 0;
}

IconId node_prev_sibling(IconId icon)
{
    IconId parent = node_parent(icon);
    if (parent == 0)
        return 0;
    Links l = links_of(parent);
    int last_list = l.kind == kKindFramework ? kListFramework4 : kListChildren;
    for (int list = kListChildren; list <= last_list; list++) {
        IconId before = 0;
        bool found = false;
        each_member(int(node_icon_slot(icon)), node_icon_number(parent), head_of(l, list),
            [&](IconId member) {
                found = member == icon;
                if (!found)
                    before = member;
                return !found;
            });
        if (found)
            return before;
    }
    return 0;
}

IconId node_nth_child(int n, IconId parent, int list)
{
    IconId found = 0;
    int at = 0;
    if (n < 1)
        return 0;
    each_member(int(node_icon_slot(parent)), node_icon_number(parent),
        head_of(links_of(parent), list), [&](IconId member) {
            if (++at == n)
                found = member;
            return found == 0;
        });
    return found;
}

int node_child_index(IconId icon)
{
    IconId parent = node_parent(icon);
    int list = parent != 0 ? node_child_list_of(parent, icon) : 0;
    return list != 0 ? position_in_list(parent, links_of(parent), list, icon) : 0;
}

int node_child_count_in(IconId icon, int list)
{
    int count = 0;
    each_member(int(node_icon_slot(icon)), node_icon_number(icon), head_of(links_of(icon), list),
        [&](IconId) {
            count++;
            return true;
        });
    return count;
}

int node_child_count(IconId icon) { return node_child_count_in(icon, kListChildren); }

int node_has_ancestor(IconId icon, IconId other)
{
    if (other == 0 || node_icon_slot(other) != node_icon_slot(icon))
        return 0;
    if (icon == other)
        return 1;
    struct Search {
        IconId other;
    } search { other };
    IconId found = walk_ancestors(
        icon, [](IconId ancestor, void* user) { return ancestor != static_cast<Search*>(user)->other ? 1 : 0; },
        &search);
    return found != 0 ? 1 : 0;
}

IconId node_enclosing_container(IconId icon)
{
    return walk_ancestors(
        icon, [](IconId ancestor, void*) { return node_is_container(ancestor) ? 0 : 1; }, nullptr);
}

int node_kind(IconId icon) { return node_header_kind(icon); }

int node_layout_class(IconId icon) { return node_header_ref(icon).bytes[3] & 0xF; }

int node_is_container(IconId icon)
{
    int kind = node_kind(icon);
    return kind == kKindInteraction || kind == kKindDecision || kind == kKindFramework ? 1 : 0;
}

int node_in_container(IconId icon)
{
    IconId parent = node_parent(icon);
    int kind = node_kind(parent);
    if (kind == kKindInteraction || kind == kKindDecision)
        return 1;
    return node_is_page(icon);
}

int node_parent_is_interaction(IconId icon)
{
    return node_kind(node_parent(icon)) == kKindInteraction ? 1 : 0;
}

int node_parent_is_decision(IconId icon)
{
    return node_kind(node_parent(icon)) == kKindDecision ? 1 : 0;
}

int node_is_page(IconId icon)
{
    IconId parent = node_parent(icon);
    if (node_kind(parent) != kKindFramework)
        return 0;
    return node_child_list_of(parent, icon) == kListChildren ? 1 : 0;
}

int node_is_group(IconId icon)
{
    int kind = node_kind(icon);
    return kind == kKindMap || kind == kKindGuidepack ? 1 : 0;
}
