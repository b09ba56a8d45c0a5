// Linked icon libraries. An icon of a piece may be a link to an icon of a library (a library
// file of its own, or one packaged into the piece: "internal"); the link keeps its place in
// the tree and its properties, and the library icon holds its content. This module keeps the
// process-wide list of libraries, each file's link records, opens the piece's libraries as
// the piece opens (asking the learner for the missing ones), resolves each link, and follows
// links for the other subsystems.
//
// Stored records (directory words of a course or library file):
//   5  link records, 16 bytes each; the first is a header {u16 0x8000, u32 0, u32 count}.
//      A record: u16 flags (bit 0 exists, bit 1 resolved), u16 -, u16 library index, u16
//      node of the library icon, u16 kind it must have, u16 -, u32 offset of the expected
//      name in word 6.
//   6  StringPool of the expected names (read when links are checked by name)
//   7  library list: 512-byte items; the first a header like word 5's; stored index n names
//      item n + 1. An item: u16 flags (bit 0 used; bit 8 internal), u16 its number (the
//      word-36 key), then fields kept as they are.
//   36 TagList: per item number, its file reference (fileref.h)
//   4, 9  link table and the pool of names recorded for icons (the node store's)
// An icon's link number n (kind block u16 at 0 of Display, Interaction, Calc, Movie, Sound
// icons) selects link record n + 1; 0 is no link. Nothing of these is believed unchecked: a
// damaged word 5 or 7 opens the file without links.
#pragma once
#include "runtime/files/fspec.h"
#include "runtime/nodes/node_files.h"

#include <cstdint>

constexpr uint32_t kLinkRecordSize = 16;
constexpr uint32_t kLibraryItemSize = 512;

// Library entry flags.
enum : uint16_t {
    kLibInUse = 0x0001,
    kLibStoredBits = 0x001C, // bits 2-4, carried from the stored item
    kLibMissingLinks = 0x0020, // links to a library that did not open exist
    kLibInternal = 0x0100, // packaged in the piece itself
    kLibCancelled = 0x2000, // the learner cancelled the search for it
};

// Link record flags.
enum : uint16_t {
    kLinkExists = 0x0001,
    kLinkResolved = 0x0002,
};

// Descriptors of the kind-block link number and the top icon's "check links by name".
constexpr uint32_t kLinkNumberKinds = 1u << kKindDisplay | 1u << kKindInteraction
    | 1u << kKindCalc | 1u << kKindMovie | 1u << kKindSound;

// The per-file link tables and the global list (start-up); lib_term frees both.
int lib_init();
void lib_term();
int lib_list_init();

// Loads the file's link records and registers its libraries: 1, or 0 when word 5 or 7 is
// missing or damaged (the file then has no links).
int lib_links_load(int slot);
// Drops the file's link counts and its link records.
void lib_links_release(int slot);

// Opens or binds every library of the list for the piece in piece_slot, asking for the
// missing ones; returns 0.
int lib_open_all(int piece_slot);
// Closes every library file and frees every entry.
void lib_close_all();

// The library icon of link number n of the file: its slot << 16 | node when the link is
// resolved and its library is open, else 0.
IconId lib_link_target(int slot, uint32_t link_number);
// The icon's link number (0 when its kind has none).
uint32_t lib_link_number(IconId icon);
// The library icon of a resolved link; 0 for no link or an unresolved one.
IconId lib_linked_icon(IconId icon);
// The library icon of a link (0 unresolved); the icon itself when it is no link.
IconId lib_resolve_icon(IconId icon);
// lib_resolve_icon for the content properties 1600 to 2998, the icon itself for others.
IconId lib_resolve_icon_for_attr(IconId icon, uint16_t property);
// The content record of the icon or of its library icon; 0 for an unresolved link.
uint16_t lib_icon_content_record(IconId icon);

// 1 when the open library's file spec was copied into out (a new spec the caller frees).
int lib_file_spec(int number, FileSpec** out);
// "[Internal]" or the library's file name; "" for no entry.
void lib_display_name(int number, char* buffer, int size);
// 2 when no open library is that file; else the record store's answer for its slot.
int lib_file_in_use(const FileSpec* spec);
// Calls back with each entry in use in number order; the first number the callback answered
// 0 for, else 0.
using LibVisit = int (*)(int number, void* user);
int lib_for_each(LibVisit visit, void* user);

// What tests and the start-up log look at.
struct LibInfo {
    uint16_t flags = 0;
    uint16_t use_count = 0;
    int slot = 0; // 0: not open
    int links = 0; // links of the piece to it
    int resolved = 0;
};
int lib_info(int number, LibInfo* out);
// Link record n + 1 of a file: 1 when it exists (flags, library number, node).
int lib_link_record(int slot, uint32_t link_number, uint16_t* flags, uint16_t* library, uint16_t* node);
