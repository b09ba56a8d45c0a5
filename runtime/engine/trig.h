// Property triggers: icon properties that follow the piece's state while their icon is active.
// Beside each such property a piece stores the events its value depends on; a registered
// trigger is evaluated again when one of them is signalled (at once, or marked dirty and
// evaluated at the next kernel step), and when its value changed the property handler of its
// kind applies the new value. The triggers live in one block of records that the learner's
// records keep (slot 4).
#pragma once
#include "runtime/engine/modbus.h"
#include "runtime/nodes/node_files.h"

#include <cstddef>
#include <cstdint>

struct ScriptValue;

// Signalled events (the value each carries).
enum TrigEvent : int {
    kTrigVariable = 1, // variable id
    kTrigIconDone = 2, // icon
    kTrigMotion = 4, // icon
    kTrigDisplayObject = 5, // icon
    kTrigPointerDown = 6,
    kTrigPointerUp = 7,
    kTrigKeyDown = 8, // key code
    kTrigKeyChar = 9, // key code
    kTrigInteraction = 12,
    kTrigEntryText = 13, // icon
    kTrigDecision = 14,
    kTrigInteractionRun = 15,
    kTrigRunState = 16, // icon
    kTrigSystemFunction = 17, // system function id
    kTrigFramework = 18,
    kTrigPerpetual = 19,
    kTrigPageHistory = 20,
    kTrigMovie = 21, // icon
    kTrigSound = 22, // icon
    kTrigNavigation = 23,
    kTrigVideo = 24, // icon
    kTrigMedia = 25, // icon
};

// Trigger kinds: each selects a property handler.
enum TrigKind : int {
    kTrigDeleted = 0,
    kTrigEnd = 1,
    kTrigResponse = 2,
    kTrigDisplay = 3,
    kTrigMovieProps = 4,
    kTrigSoundProps = 5,
    kTrigMotionProps = 6,
    kTrigVideoProps = 7,
    kTrigMediaElement = 8,
    kTrigPluginMedia = 9,
};

// A trigger's flags; bits 4-15 are the registering caller's.
enum : uint16_t {
    kTrigHeld = 0x0001, // a value is held
    kTrigDirty = 0x0002,
    kTrigRunning = 0x0004, // its handler is running
    kTrigRefused = 0x0040, // evaluation refused
    kTrigLogical = 0x0080, // the value is made logical before it is compared
};

// The stored forms.
constexpr size_t kTrigListHeadSize = 12; // u32 unused, u32 period ms, u32 event mask
constexpr size_t kTrigDepSize = 10; // u16 event, i32 value, i32 context
constexpr size_t kTrigRecordHeadSize = 46;
constexpr size_t kTrigStateSize = 14;
constexpr size_t kTrigBlockLimit = 32240; // a block this size or larger is refused
constexpr uint16_t kTrigListTagOffset = 2000; // property + 2000 holds the dependency list

// The property handler of a kind: (context icon, property, the new value, which the handler
// may change and which is then held, the trigger's argument).
using TrigHandler = void (*)(IconId context, uint16_t property, ScriptValue* value, int32_t argument);
// Plugs in the handler of a kind 2..9 (null: the value is evaluated and held, nothing applied).
void trig_set_handler(int kind, TrigHandler handler);

// Registers the trigger (context icon, property, argument) with the dependency list the icon
// holding the property stores: 1 when registered or already present; 0 without the list (or
// with one that is not 12 + 10n bytes), for a link that does not resolve, without memory or
// when the block would reach 32240 bytes.
int trig_register(int kind, IconId icon, uint16_t property, uint16_t flags, int32_t argument);
// Deletes every trigger of the context icon with that kind / of that property.
void trig_unregister(IconId context, int kind);
void trig_unregister_property(IconId context, uint16_t property);

// Evaluates the dependent triggers now.
void trig_fire(int event, int32_t value);
// Marks the dependent triggers dirty; event 1 only notes the variable as changed.
void trig_mark(int event, int32_t value);
// Notes a changed variable (user 1..8192, system 8193..12288; custom ones have none) while
// some trigger depends on a variable.
void trig_mark_variable(IconId context, uint16_t variable);
// 1 while something waits for trig_update.
int trig_dirty();
// Evaluates every dirty trigger, and those that depend on a changed variable, in block order.
void trig_update();
// trig_mark of the Layer variable and of event 5 for the icon.
void trig_signal_display_change(IconId icon);

// One trigger by (context icon, property, argument 0). get_held: 1 with a copy the caller
// frees, else 0 and the empty value. set_held stores a copy. The flags' low four bits stay
// the module's own. 0 when there is no such trigger.
int trig_get_held(IconId context, uint16_t property, ScriptValue& out);
int trig_set_held(IconId context, uint16_t property, const ScriptValue& value);
int trig_get_flags(IconId context, uint16_t property);
int trig_set_flags(IconId context, uint16_t property, uint16_t flags);
int trig_mark_property(IconId context, uint16_t property);
// Executor task 0: evaluates the trigger of (context icon, property) now; 0 when it no longer
// exists, which ends the task.
int trig_task(uint32_t context, uint32_t property);

// A stored dependency list in the other byte order: the header and every dependency are
// swapped, and key codes converted between the platforms' numberings. 0, 1 when a key code
// changed, 5000 for a list that is not 12 + 10n bytes (left as it came).
int trig_swap(uint8_t* list, size_t length, int to_native);

// Slot 4.
int trig_module(ModuleMessage* message);
// Plugs the module into the engine's hooks, the calculation language's variable marks, the
// executor tasks and the byte-order converter; trig_reset undoes it and forgets every trigger.
void trig_install();
void trig_reset();

// What tests look at.
struct TrigInfo {
    int live = 0; // triggers of kind 2..9
    uint16_t used = 0; // bytes, end record included
    uint16_t capacity = 0;
    uint32_t mask = 0;
    uint16_t record = 0;
};
TrigInfo trig_info();
