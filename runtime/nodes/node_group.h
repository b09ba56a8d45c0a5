// Node groups: the records that hold 256 nodes each, loaded on first use and kept until the
// file closes. A header group (record type 36) is {u16 offsets[257], headers}: each node's
// header {u32 word 0: kind << 28 | layout class << 24 | flags 20, 21 | title id, u16 parent,
// u16 next sibling, u16 first child, layout block, kind block}. A property group (record type
// 37) is {u32 offsets[257], one TagList per node}.
//
// A group is checked when it loads: offsets that fall or leave the record, a header shorter
// than 10 bytes, a link at or above the node count make it damaged (it then reads as free
// nodes and is not loaded again). A node's offsets are checked against the block again at
// every use, as a damaged directory can name the group's record for another use too. A node whose group cannot be had reads as the zero header
// and an empty property list. Addresses handed out are good until memory moves.
#pragma once
#include "runtime/files/fspec.h"
#include "runtime/base/mem.h"
#include "runtime/nodes/node_files.h"
#include "runtime/base/rect.h"
#include "runtime/base/taglist.h"

#include <cstddef>
#include <cstdint>
#include <vector>

constexpr uint32_t kNodeHeaderFixed = 10; // word 0 and the three links
constexpr uint32_t kHeaderGroupTable = 2 * (kNodeGroupSize + 1);
constexpr uint32_t kPropertyGroupTable = 4 * (kNodeGroupSize + 1);

// Header word 0.
enum : uint32_t {
    kHeaderFlag20 = 1u << 20,
    kHeaderFlag21 = 1u << 21,
};

// A node's header as loaded: its bytes (never fewer than 10) or the zero header.
struct NodeHeaderRef {
    uint8_t* bytes; // the static zero header when size is 0
    uint32_t size; // 0: no header could be had; writers leave it alone
};

// The decoded fixed part of a header.
struct NodeHeader {
    int kind = 0;
    int layout_class = 0;
    uint32_t word0 = 0;
    uint32_t title_id = 0;
    uint16_t parent = 0;
    uint16_t next = 0;
    uint16_t first_child = 0;
};

// Bytes of the layout block for a layout class (0 to 15).
uint32_t node_layout_block_size(int layout_class);
// The title id held in header word 0 (bits 0 to 19, bits 22 and 23 as its bits 20 and 21).
uint32_t node_title_id_of(uint32_t word0);

// The node's header, loading its group (directory word 94 + 4 * group) on first use.
NodeHeaderRef node_header_ref(IconId icon);
// The address of the node's header (the zero header when it cannot be had); *size gets its
// length (10 for the zero header) when size is not null.
const uint8_t* node_header(IconId icon, uint32_t* size);
// The decoded fixed part; all zero when the header cannot be had.
NodeHeader node_header_fields(IconId icon);
// The icon kind, 0 for node 0, a free node or a node whose group cannot be had.
int node_header_kind(IconId icon);
// Why the node's header group is not there: 0 when it is loaded (or the slot is not open), the
// load's error, 5000 for a damaged group, 8 when the node is past the node count.
int node_group_load_error(IconId icon);

// The property group's block, loaded on first use; null when it cannot be had.
MemHandle node_prop_group(IconId icon);
// The node's TagList inside its loaded group and its bytes (*length, at least 2); a static empty
// list when the group cannot be had or the node's slice cannot hold a list.
const uint8_t* node_props(IconId icon, size_t* length);
// A new block with a copy of the node's list; null when the slot holds no list or the group
// cannot be had.
MemHandle node_props_copy(IconId icon);
// Replaces the node's list (null: an empty one) in the group and writes the group record back:
// 0, 8, 8004 (no such node), 5000 (the group's offsets do not fit its block) or the load
// error. On a packaged or read-only file only memory changes, and that is a success.
int node_props_store(IconId icon, TagList list);

// A new block with a copy of one property; null when absent; kMemFailed without memory.
MemHandle node_get_prop(IconId icon, uint16_t tag);
// Sets one property (length 0 deletes it) and stores the list: 0, 8 or the load error.
int node_put_prop(IconId icon, uint16_t tag, const void* data, uint32_t length);
// The same with the data in a block; a null block deletes.
int node_put_prop_handle(IconId icon, uint16_t tag, MemHandle data, uint32_t length);
// The property's data with the group locked (and its length); null, unlocked, when absent.
uint8_t* node_lock_prop(IconId icon, uint16_t tag, uint16_t* length);
// Unlocks the group; when changed, writes the group record back.
void node_unlock_prop(IconId icon, uint16_t tag, int changed, const uint8_t* data);
// A copy of the property's bytes (for code that may change the icon while it uses them): 1, or
// 0 with out empty when absent.
int node_prop_bytes(IconId icon, uint16_t tag, std::vector<uint8_t>& out);

// A property of exactly 4 bytes (two i16): 1; else zeros and 0.
int node_get_prop_point(IconId icon, uint16_t tag, Point& out);
int node_get_prop_xy(IconId icon, uint16_t tag, int32_t* x, int32_t* y);
// A property of exactly 8 bytes (four i16 left, top, right, bottom): 1; else zeros and 0.
int node_get_prop_rect(IconId icon, uint16_t tag, Rect& out);
// 1 when the icon, after its library link, has property 73.
int node_media_is_linked(IconId icon);
// The file a file-reference property names: 0, 8004 (no icon after the library link, or no
// file specification) or 8.
int node_property_file_spec(IconId icon, uint16_t tag, FileSpec* out);
