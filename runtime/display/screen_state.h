// The presentation state: the display engine's executor module. It starts the stage fresh
// for a piece, saves the stage's display objects, the object-id counter and the palette into
// the learner's records and brings them back on resume, and relays suspend, resume,
// activation, showing and closing of the window to the display objects.
//
// Its small state (22 bytes, little-endian, inside record 1 of the learner's records):
//   0 u16 record of the stage list   2 u16 record of the objects' data
//   4 u16 record of the data's index 6 u16 record of the palette
//   8 u32 focus icon  12 u16 focus object kind  14 u32 focus told active  18 u32 next object id
// The list record is the stage list's block, icon objects with kind 0 in their header and
// their kind's table index in the tail, other objects with kStoredForeignKind; the index is
// 16-byte entries {u32 object id, u32 tag, u32 offset in the data, u32 length}.
#pragma once
#include <cstdint>
#include <span>

#include "runtime/engine/modbus.h"

constexpr int16_t kPresentationStateSize = 22;
constexpr uint32_t kIndexEntrySize = 16;
// What a saved object that is not an icon object carries as its kind: it comes back deleted.
constexpr uint32_t kStoredForeignKind = 0xFFFFFFFF;

enum : int {
    kErrObjectRecordsMissing = 5002,
};

// Module slot 13: 0, 8 (no memory, a record missing), 5001 (a state of another size, or
// records that do not hold what they claim) or 5002 (the objects' records missing). A Restore
// that fails leaves an empty stage, whose objects heard nothing of their stale data.
int screen_state_module_handler(ModuleMessage* message);

// Services modules built later lend the presentation state. Empty entries do nothing.
struct ScreenStateHooks {
    void (*resp_button_forget_current)();
    void (*icon_asset_cache_flush)();
    void (*motion_task_start)();
    void (*motion_task_stop)();
};
void screen_state_set_hooks(const ScreenStateHooks& hooks);
const ScreenStateHooks& screen_state_hooks();

// The stage restored from the four records' bytes as a Restore would (the fuzz target and
// tests): 0 or the Restore's error; on an error the stage is empty.
int screen_state_restore_from(std::span<const uint8_t> list, std::span<const uint8_t> data,
    std::span<const uint8_t> index, bool objects_present);

// Lends the icon objects the keyboard focus; start-up and tests.
void screen_state_init();
// Forgets the state and hooks (tests).
void screen_state_reset();
