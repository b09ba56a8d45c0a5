// Icon display objects: the display objects that belong to an icon of the piece, named by
// (icon, object kind), kept in the stage list in order of layer, found, walked, erased and
// hit-tested. Each carries a 170-byte tail at its record's end; the record's own kind is the
// wrapper, which hands every message to the kind named in the tail.
//
// Lookups that return a record (dobj_find_icon, dobj_find_icon_by_id) leave the stage list
// LOCKED; the caller calls dlist_unlock (dlist_stage()) when done. Every other function here
// leaves the lock count as it found it.
#pragma once
#include <cstdint>

#include "runtime/display/dobj.h"
#include "runtime/nodes/node_files.h"

// The tail, little-endian, at record + length - kIconTailSize.
enum : uint32_t {
    kIconTailKind = 0,          // u32 kind id of the kind handler
    kIconTailIcon = 4,          // u32 IconId
    kIconTailObjectKind = 8,    // u16
    kIconTailSequence = 10,     // i16 display sequence number
    kIconTailLayer = 12,        // i32
    kIconTailMotion = 16,       // 140 bytes of the motion executor; first i32 2 at creation
    kIconTailStepping = 156,    // i32, nonzero: message 15 on every motion tick
    kIconTailPlane = 160,       // u16 plane bits given at creation
    kIconTailEraseAllowed = 162, // i32, nonzero: automatic erasing may remove it
    kIconTailShownBy = 166,     // u32 IconId that last showed or moved the object
};
constexpr uint32_t kIconTailSize = 170;
constexpr uint32_t kIconMotionSize = 140;
// The motion state's first word at creation: no motion has touched the object.
constexpr int32_t kIconMotionUntouched = 2;
// The layer that stays in front of every other.
constexpr int32_t kIconLayerFront = 0x100000;
// The icon attribute "erase previous contents" of Display icons.
constexpr uint32_t kAttrErasePrevious = 0x2030001;
// The layer property of icons.
constexpr uint16_t kPropLayer = 1044;

// The mode of dobj_set_icon_layer: 1 puts the object in front of objects of equal layer.
enum : int { kLayerModeFront = 1, kLayerModeBehind = 2 };

struct IconObjectRef {
    IconId icon = 0;
    uint16_t object_kind = 0;
};

// True for a live or deleted icon object (the wrapper kind with room for its tail).
bool dobj_is_icon_object(const uint8_t* object);
// The tail of an icon object.
uint8_t* dobj_icon_tail(uint8_t* object);
const uint8_t* dobj_icon_tail(const uint8_t* object);
IconId dobj_icon_of(const uint8_t* object);
uint16_t dobj_icon_object_kind(const uint8_t* object);
int32_t dobj_icon_layer(const uint8_t* object);
int16_t dobj_icon_sequence(const uint8_t* object);
void dobj_icon_set_sequence(uint8_t* object, int16_t sequence);
int32_t dobj_icon_erase_allowed(const uint8_t* object);
void dobj_icon_set_erase_allowed(uint8_t* object, int32_t allowed);
uint32_t dobj_icon_kind_handler(const uint8_t* object);

// Places the prepared record (room for the tail after its kind data; its length without the
// tail) by layer: in front of every object of lower or equal layer, behind every higher one;
// kIconLayerFront appends. The object id, or 0: icon 0, a live object of the pair exists, or
// no memory (error 8 is reported for the icon).
uint32_t dobj_create_for_icon(uint8_t* record, uint32_t kind_handler, IconId icon, uint16_t object_kind,
    uint16_t plane_bits, int32_t layer);
// The live object of the pair with the stage list LEFT LOCKED; null (list unlocked) when none.
uint8_t* dobj_find_icon(IconId icon, uint16_t object_kind);
// The live icon object with the id among the top-level records, list LEFT LOCKED; null (list
// unlocked) when absent, deleted, or not an icon object.
uint8_t* dobj_find_icon_by_id(uint32_t object_id);
bool dobj_icon_exists(IconId icon, uint16_t object_kind);
bool dobj_icon_rect(IconId icon, uint16_t object_kind, Rect& out);
bool dobj_icon_center(IconId icon, uint16_t object_kind, Point& out);

// Walks the live icon objects from the front (last record) backward, or from the back
// forward, while the callback answers nonzero; found gets the object the walk stopped at, or
// zeros. The callback may send messages but must not add or remove records.
using IconObjectVisitor = int (*)(uint8_t* object, void* data, void* user_data);
void dobj_for_each_icon(IconObjectVisitor visit, void* data, void* user_data, IconObjectRef* found);
void dobj_for_each_icon_forward(IconObjectVisitor visit, void* data, void* user_data, IconObjectRef* found);

// Erasing (message 27) and hiding (damage, invisible, kept in the list), each after the zoom
// effect when one is pending.
void dobj_erase_icon(IconId icon, uint16_t object_kind);
void dobj_hide_icon(IconId icon, uint16_t object_kind);
// Erasable objects whose display sequence lies in low..high (high 0: the engine's counter).
void dobj_erase_by_sequence(int32_t low, int32_t high);
// Erasable objects of that layer or below; at layer 0 or below only those on the bottom plane
// alone.
void dobj_erase_from_layer(int32_t layer);
// Clears the focus and the interaction context, then erases every icon object.
void dobj_erase_all();

void dobj_set_icon_plane(IconId icon, uint16_t object_kind, uint16_t plane_bits);
// Gives the object layer L, moving it when its neighbours' layers ask for it; the object id
// (kept by the move), 0 when there is no such object.
uint32_t dobj_set_icon_layer(IconId icon, uint16_t object_kind, int32_t layer, int mode);
// The layer property of the icon (kinds 0 and 2) or of its parent (kind 1), 0 for the others,
// applied in front of equal layers.
void dobj_apply_icon_layer(IconId icon, uint16_t object_kind);
// Object kinds whose layer follows the layer property.
bool dobj_kind_in_layers(uint16_t object_kind);
// When ref names no icon: the front visible object hit at (x, y), screen plane alone first,
// then the middle plane, then the bottom plane, written into ref. Answers ref's object kind.
uint16_t dobj_icon_at_point(int32_t x, int32_t y, IconObjectRef& ref);

void dobj_set_stepping(uint8_t* object, bool on);
// For kinds' message 11: the requested rectangle becomes the current bounds re-centred on it,
// then the bounds are set; 0.
int32_t dobj_recentre_on_move(uint8_t* object, int message, DisplayMsgArg* arg);
// The OLE member of the icon's own object (kind 0), or null.
uint8_t* dobj_find_ole_object(IconId icon);

// Whether some live icon object tracks the pointer (flag 0x200); the response code asks it
// before hit-testing on pointer moves. Creating such an object sets it; erasing recomputes it.
bool dobj_pointer_tracking();
void dobj_set_pointer_tracking(bool on);

// The handler of every icon object's record.
int32_t dobj_icon_wrapper_handler(uint8_t* object, int message, DisplayMsgArg* arg);

// What icon objects need of modules built later. Filled by them at start-up; each empty entry
// does nothing (no focus, no interaction, no zoom, no motion).
struct DobjIconHooks {
    // Keyboard focus: the focus object (icon 0 when none) and setting it (icon 0 clears).
    void (*focus_get)(IconObjectRef& out);
    int (*focus_set)(IconId icon, uint16_t object_kind);
    // Resets the active interaction context (the response code).
    void (*interaction_reset)();
    // The zoom effect, run only when a zoom transition is pending; showing 0 when erasing.
    void (*zoom)(IconId icon, uint16_t object_kind, int showing);
    // The motion executor: its frame task, the memory its state holds, its stopwatch (resume
    // 0 pauses, 1 releases) and its path pieces (messages 66 and 67; answers the sub-code).
    void (*motion_task_start)();
    void (*motion_state_free)(uint8_t* state);
    void (*motion_clock_pause)(uint8_t* state, int resume);
    int32_t (*motion_path_write)(uint8_t* state, DisplayMsgArg* arg);
    int32_t (*motion_path_read)(uint8_t* state, DisplayMsgArg* arg);
};
void dobj_set_icon_hooks(const DobjIconHooks& hooks);
const DobjIconHooks& dobj_icon_hooks();

// Lends the engine the renumbering of display sequence numbers on live icon objects.
void dobj_icon_init();
// Forgets the hooks and the tracking flag (tests call it).
void dobj_icon_reset();
