// Display objects and the base message handler. Everything shown on the stage is a record in a
// display list (dlist.h) driven by numbered messages; each kind handles what it knows and
// hands the rest to dobj_default_handler. Handlers are found through a registry of kind ids:
// the issues that build a kind register it at start-up, and an empty entry gives the base.
#pragma once
#include <cstdint>

#include "platform/window/window_types.h"
#include "runtime/display/dobj_record.h"

struct DrawStyle;

// Message codes the engine itself sends or answers (the others are the kinds' own).
enum : int {
    kMsgDraw = 0,
    kMsgHitTest = 1,
    kMsgUpdate = 7,
    kMsgDamage = 8,
    kMsgTakeDamage = 9,
    kMsgSetBounds = 11,
    kMsgDestroy = 12,
    kMsgComputeExtent = 13,
    kMsgMoveTo = 16,
    kMsgForward = 17,
    kMsgDropUpdate = 23,
    kMsgGetBounds = 25,
    kMsgMoved = 26,
    kMsgErase = 27,
    kMsgQuery = 29,
    kMsgWantsUpdate = 32,
    kMsgDrawRect = 33,
    kMsgBeforePurge = 37,
    kMsgHighlight = 40,
    kMsgHitByPoint = 47,
    kMsgGetExtent = 58,
    kMsgExtentRect = 59,
    kMsgSetPlane = 77,
    kMsgIdle = 82,
    kMsgDepthChanged = 83,
    kMsgAfterScreen = 85,
    kMsgLimit = 86, // this and above answer 0
};

struct DisplayMsgArg;
using DisplayHandler = int32_t (*)(uint8_t* object, int message, DisplayMsgArg* arg);
// Message 29's callback: nonzero ends the search at that object.
using DisplayQuery = int32_t (*)(uint8_t* object, void* data);
// Message 13's notice: (2, {u32 object id, RECT extent} as 20 bytes, 20).
using DisplayExtentNotice = void (*)(int code, const uint8_t* record, int size);
// Messages 66 and 67's reader or writer of the kind's own data.
using DisplayStream = int32_t (*)(int tag, void* data, int32_t size, void* context);

// The argument of a display message: a typed record, cleared (dobj_arg_clear) before each send.
struct DisplayMsgArg {
    int32_t x = 0; // point of hit tests (1, 47, 81)
    int32_t y = 0;
    RectList list = 0; // carried in and out (9, 85, plane walks)
    // Plane mask of plane walks; inner message of 17; new plane of 77; 62 gained/lost; 65
    // suspend/resume; 47 hits only at 0.
    int16_t sub_code = 0;
    plat::DcHandle dc;            // target of drawing messages
    Rect rect;                    // in for 11 and 33, out for 25, 58 and 59
    int32_t object_id = 0;        // target of 17; answer of 29; -1 after a hit by 47
    DisplayQuery query = nullptr; // callback of 29
    int32_t result = 0;           // answer of the inner message of 17
    uint8_t draw_mode = 0;        // mode of message 0's placeholder box
    void* caller_data = nullptr;  // 29's data; 16's record (a RECT at byte 4); 66/67's context
    DisplayMsgArg* inner = nullptr; // argument of message 17's inner message
    const DrawStyle* style = nullptr;              // draw style of message 33
    DisplayExtentNotice extent_notice = nullptr;   // notice of message 13
    DisplayStream stream = nullptr;                // reader or writer of 66 and 67
    int32_t word_param = 0;                        // wParam carried by message 78
};

inline void dobj_arg_clear(DisplayMsgArg& arg) { arg = DisplayMsgArg{}; }

// What the base handler needs of the refresh and palette modules. Filled by them at start-up
// (dobj_set_screen_hooks); every empty entry does nothing, so without them no damage is kept.
struct DobjScreenHooks {
    // The stage rectangle that damage is clipped to; false (nothing kept) when there is none.
    bool (*stage_rect)(Rect& out);
    RectList (*rlist_add)(RectList list, const Rect& rect);
    RectList (*rlist_append_list)(RectList a, RectList b);
    RectList (*rlist_copy)(RectList list);
    void (*set_refresh_needed)();
    // Damages the rectangle on the plane (2, 4 or 8) and every plane above it.
    void (*damage_rect)(const Rect& rect, int plane);
    // The stage background colour (empty: white).
    uint32_t (*background_color)();
};
void dobj_set_screen_hooks(const DobjScreenHooks& hooks);
const DobjScreenHooks& dobj_screen_hooks();

// The handler of a kind id from now on (null: back to the base handler).
void dobj_register_kind(uint32_t kind, DisplayHandler handler);
// The handler that answers for the kind id: the registered one, else the library's own (group,
// icon wrapper, line, rectangle, oval), else the base handler.
DisplayHandler dobj_handler_of(uint32_t kind);
// Sends a message through the object's kind; a null argument gets a cleared one.
int32_t dobj_send(uint8_t* object, int message, DisplayMsgArg* arg);

// The base handler: damage bookkeeping, bounds, forwarding by id, erasing, plane changes.
int32_t dobj_default_handler(uint8_t* object, int message, DisplayMsgArg* arg);

// The rectangle, clipped to the stage, joins the object's update list (refresh flagged).
void dobj_add_update(uint8_t* object, const Rect& rect);
// The same into the damage list; a screen-plane object takes it as an update.
void dobj_add_damage(uint8_t* object, const Rect& rect);
// The rectangle, clipped to the stage, joins the list word at kDobjUpdate or kDobjDamage as
// messages 7 and 8 of the base put the bounds there (refresh flagged when kept).
void dobj_add_to_list(uint8_t* object, uint32_t list_word, const Rect& rect);
// Moves the object to other plane bits, damaging or updating its old place.
void dobj_set_plane(uint8_t* object, uint16_t plane_bits);
// Sends message 17 (id, message, argument) along the stage list; the inner answer, 0 when no
// object has the id.
int32_t dobj_send_by_id(uint32_t object_id, int message, DisplayMsgArg* inner);
// The id of the first object (from the back) whose query callback answers nonzero; 0 when
// none. A null list means the stage list.
struct DisplayList;
uint32_t dobj_find_first(DisplayList* list, DisplayQuery query, void* data);
void dobj_erase(uint8_t* object);
// The kind table index of a kind id (0 when the table does not hold it), and back (an index
// outside 0..10 gives the base kind).
uint32_t dobj_handler_to_index(uint32_t kind);
uint32_t dobj_index_to_handler(int32_t index);

// Forgets the registered kinds and the screen hooks (tests call it).
void dobj_reset();
