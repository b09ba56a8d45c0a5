// Group objects: a display object whose kind data begins with the display list of its members
// (lines, rectangles, ovals, hot text, media ...), so that a Display icon shows several
// elements as one object. Kinds built on a group (the Display icon's own, the drawing surface
// of the graphics functions) hand every message they do not handle to group_handler.
//
// Saving and restoring the members (messages 66 and 67) go through the argument's stream
// callback with tag 1 and the caller data as context:
//   write: stream(1, bytes, size, context) answers 0 or an error code;
//   read:  stream(1, nullptr, 0, context) answers the id of a MemHandle holding the piece,
//          which the group then owns, or 0 when there is none.
#pragma once
#include <cstdint>

#include "runtime/display/dlist.h"
#include "runtime/display/dobj.h"
#include "runtime/nodes/node_files.h"

// The tag of the member list among an object's saved pieces.
constexpr int kGroupPieceTag = 1;
// The sub-code a failed save or restore leaves in the argument.
constexpr int16_t kGroupNoMemory = 8;

// Group member table indexes.
constexpr uint32_t kMemberLine = 0;
constexpr uint32_t kMemberRect = 1;
constexpr uint32_t kMemberExternal = 2;
constexpr uint32_t kMemberOval = 3;
constexpr uint32_t kMemberHotText = 4;
constexpr uint32_t kMemberOle = 5;
constexpr uint32_t kMemberMedia = 6;

// Kinds whose kind data begins with a member list: the group itself, and the kinds built on it
// (Display icon objects, the drawing surface of the graphics functions).
constexpr uint32_t kKindDisplayIcon = 1;
constexpr uint32_t kKindDrawingSurface = 6;
// Whether the record holds members: a group, or an icon object of a kind built on a group.
bool group_has_members(const uint8_t* record);

// The member list of a group record, and storing it back after a change.
DisplayList group_members(const uint8_t* group);
void group_set_members(uint8_t* group, const DisplayList& members);

int32_t group_handler(uint8_t* group, int message, DisplayMsgArg* arg);
// An icon object whose kind data is the member list alone, with the members' bounds, placed
// by layer (dobj_create_for_icon); the list belongs to the object from then on, and is freed
// when no object could be made. The object id or 0.
uint32_t group_create_for_icon(DisplayList& members, uint32_t kind_handler, IconId icon, uint16_t object_kind,
    uint16_t plane_bits, int32_t layer);
// Bounds := the union of the members' bounds (message 25), empty without members.
void group_bounds(uint8_t* group);
// Message 66: the member list, each member's kind as its table index, as the piece with tag 1.
void group_save_handlers(DisplayList& members, DisplayMsgArg* arg);
// Message 67: the piece with tag 1 becomes the member list when its records chain up; a
// member whose index the table lacks takes the base kind, and a member shorter than its kind's
// record is restored deleted. Without a sound piece the list is emptied (sub-code 8 when it
// held a block).
void group_restore_handlers(DisplayList& members, DisplayMsgArg* arg);

// The group member table: the index of a member kind id (0 when absent), and back (an index
// outside 0..6 gives the base kind).
uint32_t group_handler_to_index(uint32_t kind);
uint32_t group_index_to_handler(int32_t index);
