// The node store's open-file table: one entry per record-store slot (1 to 25) that holds a
// course or library file's node directory (record 1: the node count, then the record numbers
// of the file's per-file records and of its 128 node groups), the tables of loaded header and
// property groups, and the per-file records the node store loads on demand (title pool, title
// hash, title sets, library-link table). Groups are node_group.h, the tree node_tree.h,
// attributes node_attr.h, titles node_title.h.
//
// Nothing from the file is believed before it is checked: a node count above 32768 (the 128
// groups the tables hold) is damage, and so is every group, link or title that does not fit.
// Damage found while walking the tree goes to the node store's error word.
#pragma once
#include "runtime/files/fspec.h"
#include "runtime/base/idset.h"
#include "runtime/base/mem.h"
#include "runtime/store/rec_types.h"
#include "runtime/base/strpool.h"

#include <cstddef>
#include <cstdint>

// Icon id: file slot << 16 | group << 8 | slot in the group; the low 16 bits are the node
// number. 0 is no icon.
using IconId = uint32_t;
constexpr IconId node_make_icon(uint32_t slot, uint32_t node) { return slot << 16 | (node & 0xFFFF); }
constexpr uint32_t node_icon_slot(IconId icon) { return icon >> 16; }
constexpr uint32_t node_icon_number(IconId icon) { return icon & 0xFFFF; }

// Icon kinds (node header bits 28 to 31).
enum IconKind : int {
    kKindFree = 0,
    kKindDisplay = 1,
    kKindMotion = 2,
    kKindErase = 3,
    kKindInteraction = 4,
    kKindDecision = 5,
    kKindMap = 6,
    kKindWait = 7,
    kKindCalc = 8,
    kKindMovie = 9,
    kKindSound = 10,
    kKindVideo = 11,
    kKindFramework = 12,
    kKindNavigate = 13,
    kKindSprite = 14,
    kKindGuidepack = 15,
};

constexpr int kNodeFileSlots = 26; // entry 0 is never used
constexpr int kNodeGroups = 128;
constexpr uint32_t kNodeGroupSize = 256;
constexpr uint32_t kNodeCountMax = kNodeGroups * kNodeGroupSize;
constexpr uint32_t kNodeDirectoryWords = 606;
constexpr uint32_t kNodeDirectoryBytes = kNodeDirectoryWords * 2;

// Directory words the node store reads.
enum : uint32_t {
    kDirNodeCount = 0,
    kDirTitlePool = 2,
    kDirLinkTable = 4,
    kDirTitleHash = 28,
    kDirMappedTitles = 38,
    kDirPendingTitles = 39,
    kDirGroupBase = 94, // header group g at 94 + 4g, property group at 95 + 4g
};

// Record types of the node store's records.
enum : int {
    kTypeNodeDirectory = 1,
    kTypeTitlePool = 2,
    kTypeTitleHash = 28,
    kTypeHeaderGroup = 36,
    kTypePropertyGroup = 37,
};

// Entry flags.
enum : uint16_t {
    kNodeFileModified = 0x0001,
    kNodeFileUntitled = 0x0004,
    kNodeFileLibrary = 0x0008,
};

// What a loaded group's table slot knows.
enum NodeGroupState : uint8_t {
    kGroupNotLoaded = 0,
    kGroupLoaded = 1,
    kGroupDamaged = 2, // checked and refused: not loaded again until the file closes
};

struct NodeGroupTable {
    MemHandle headers[kNodeGroups];
    MemHandle properties[kNodeGroups];
    NodeGroupState header_state[kNodeGroups];
    NodeGroupState property_state[kNodeGroups];
    // The record numbers the loaded groups came from (see NodeFileRecords).
    uint16_t header_records[kNodeGroups];
    uint16_t property_records[kNodeGroups];
};

// The record numbers of the per-file records an entry holds, as the directory named them when
// they were loaded. The directory in memory can change afterwards (a damaged file may name
// record 1 itself as its title hash or a title set, whose writes then land on its words): a
// use is given back, and a change written, to the record it was taken from.
struct NodeFileRecords {
    uint16_t titles = 0;
    uint16_t link_table = 0;
    uint16_t title_hash = 0;
    uint16_t mapped_titles = 0;
    uint16_t pending_titles = 0;
};

// One open file's node store.
struct OpenFileEntry {
    MemHandle directory; // record 1, at least 1212 bytes; null: the slot is not open
    uint32_t node_count = 0; // word 0, checked at open
    bool has_groups = false;
    NodeGroupTable groups;
    MemHandle link_table; // directory word 4 once loaded
    StringPool titles; // directory word 2 once loaded
    bool titles_loaded = false;
    StringPool link_names; // directory word 9, loaded by the library links
    uint16_t flags = 0;
    MemHandle title_hash; // directory word 28 once loaded
    bool title_hash_tried = false;
    IdSet mapped_titles; // directory word 38
    IdSet pending_titles; // directory word 39
    NodeFileRecords records;
};

// What other subsystems do while a file's node store opens and closes, and what titles and
// file properties need of them. A missing function does nothing (loads succeed, texts are
// empty, a link resolves to the icon itself, the character-set map is off).
struct NodeServices {
    int (*links_load)(int slot); // 1 when the file's links were loaded
    void (*links_release)(int slot);
    int (*text_styles_load)(int slot); // 0 or the error that fails the open
    void (*text_styles_release)(int slot);
    void (*cursors_and_buttons_load)(int slot);
    void (*variable_names_build)(int slot); // does something only for the current piece's slot
    void (*variable_names_forget)(int slot);
    // Titles: whether titles are translated from the Macintosh character set, and the
    // translation in place (same length).
    int (*titles_translated)();
    void (*title_to_windows)(char* text, size_t length);
    // The description of an untitled Navigate icon's link; the text of a Conditional
    // response's condition; a file's piece name. Each returns the length written.
    int (*navigate_description)(IconId icon, char* buffer, size_t size);
    int (*condition_text)(IconId icon, char* buffer, size_t size);
    int (*piece_name)(int slot, char* buffer, size_t size);
    // The library icon of a link (0 when it does not resolve), else the icon itself; the same
    // for the content a property names.
    IconId (*resolve_icon)(IconId icon);
    IconId (*resolve_for_property)(IconId icon, uint16_t tag);
    // The file specification a file-reference property yields: 0, 8004 or 8.
    int (*property_file_spec)(IconId icon, uint16_t tag, FileSpec* out);
};

// 1/0: the table of 26 entries (start-up).
int node_files_init();
// Closes every open entry and frees the table (shutdown, tests).
void node_files_free();
// Lends the node store the other subsystems' functions; null forgets them.
void node_set_services(const NodeServices* services);
const NodeServices& node_services();

// The node store's error word: 5000 after a walk or a navigation met a link that does not fit
// (a cycle, a free node, a node that names another parent), else 0. Walks clear it first.
int node_error_word();
void node_set_error_word(int error);

// node_file_open_directory, then node_file_after_open: 0 or the error. mode is passed through.
int node_file_open(int slot, int mode);
// Loads record 1 and checks node 1: 0; 5002 without record 1; the record store's error when
// record 1 or group 0 cannot be had (5000 for damage); 5000 for a node count above 32768;
// 8 when node 1 is not an icon or memory is short. The entry stays clear on failure.
int node_file_open_directory(int slot);
// The file's library-link table, links, text styles, cursors and buttons, titles and variable
// names, in that order: 0 or the text styles' error.
int node_file_after_open(int slot);
// Releases everything the entry holds and clears it; nothing when it is clear. When the record
// store closed the file first, its records are gone: the entry is only cleared.
void node_file_close(int slot);
// node_file_close, then the record store closes the file.
void node_file_close_all(int slot);

// 1 when 0 < slot < 26 and the entry holds a directory that the record store has not freed
// (closing the file in the record store first makes the slot read as not open).
int node_file_is_open(int slot);
int node_file_is_library(int slot);
int node_file_is_untitled(int slot);
void node_file_set_library(int slot, int on);
void node_file_clear_modified(int slot);
// The open entry, null when the slot is not open.
OpenFileEntry* node_file_entry(int slot);
// The entry's node count, 0 when the slot is not open.
uint32_t node_file_node_count(int slot);

// Word n of the slot's directory (0 when not open or n is outside 0..605), and writing it in
// memory (the file never sees the change).
uint16_t node_dir_word(int slot, uint32_t n);
void node_dir_set_word(int slot, uint32_t n, uint16_t value);

// The library-link table (directory word 4), loaded on first use and kept until the file
// closes: its u32 for the node, 0 when there is none.
uint32_t node_link_table_entry(int slot, uint32_t node);
// Sets or clears bit 0 of the node's entry: 1 when the table holds the node.
int node_link_table_set_bit(int slot, uint32_t node, int on);

// 1 when the slot is 1 to 25, the entry has group tables, 0 < node < node count and the node's
// kind is 1 to 15.
int node_is_valid(IconId icon);
