// The icon tree of an open file: parents, next siblings and child lists (every icon's list 2
// from its first child; a Framework's lists 3 and 4 from the heads in its kind block), the
// kind tests, and the tree walker the engine uses everywhere.
//
// A file's links are followed only as far as they fit: a member of a list must be an icon
// whose parent is the list's owner, and no walk or search takes more steps than the file has
// nodes. A link that breaks either rule ends the walk or search (as if the list ended there)
// and sets the node store's error word to 5000 (node_error_word, node_files.h).
#pragma once
#include "runtime/nodes/node_files.h"

#include <cstdint>

// Child lists.
enum : int {
    kListChildren = 2,
    kListFramework3 = 3,
    kListFramework4 = 4,
};

// Walk modes of node_walk.
enum NodeWalkMode : int {
    kWalkChildren = 0, // list 2, in order
    kWalkDescendants = 1, // pre-order, lists 2, 3, 4 in turn; not the start
    kWalkFollowing = 2, // the following siblings of the start
    kWalkAncestors = 3, // parent first
    kWalkNothing = 4,
    kWalkNumbers = 5, // every used node of the start's file, by number
    kWalkLibraryTop = 6, // the children of node 2 of the start's file
    kWalkTree = 7, // pre-order with the start first
    kWalkPostDescendants = 8, // post-order; not the start
    kWalkPostTree = 9, // post-order with the start last
};

// Called for each icon: 0 stops the whole walk.
using NodeVisit = int (*)(IconId icon, void* user);

// The icon at which visit returned 0, or 0 when the walk ran through (or ended on damage: the
// error word then says 5000; every walk clears it first).
IconId node_walk(IconId start, int mode, NodeVisit visit, void* user);

// Links as stored: icons of the same file, 0 for none.
IconId node_parent(IconId icon);
IconId node_next(IconId icon);
IconId node_first_child(IconId icon);
// The head of list 2 to 4 (3 and 4 only for Framework icons).
IconId node_child_list(IconId icon, int list);

// Searches along the lists; each checks the members and is bounded by the node count.
IconId node_last_child(IconId icon);
// The list (2 to 4) that holds the child: 2 for parents that are not Framework icons, 0 when no
// list of a Framework holds it.
int node_child_list_of(IconId parent, IconId child);
// The icon before this one in its parent's list (lists 2, 3 and 4 searched in turn); 0 for the
// first of a list and for top icons.
IconId node_prev_sibling(IconId icon);
// The nth (1-based) icon of the parent's list; 0 when the list is shorter.
IconId node_nth_child(int n, IconId parent, int list);
// 1-based position of the icon in its parent's list; 0 for top icons.
int node_child_index(IconId icon);
int node_child_count(IconId icon);
int node_child_count_in(IconId icon, int list);
// 1 when other is the icon or one of its ancestors.
int node_has_ancestor(IconId icon, IconId other);
// The nearest ancestor of kind 4, 5 or 12; 0 when none.
IconId node_enclosing_container(IconId icon);

// Kind tests.
int node_kind(IconId icon);
int node_layout_class(IconId icon);
int node_is_container(IconId icon); // kinds 4, 5 and 12
// Parent of kind 4 or 5, or a Framework that holds the icon in its list 2.
int node_in_container(IconId icon);
int node_parent_is_interaction(IconId icon);
int node_parent_is_decision(IconId icon);
int node_is_page(IconId icon); // in list 2 of a Framework
int node_is_group(IconId icon); // kinds 6 and 15
