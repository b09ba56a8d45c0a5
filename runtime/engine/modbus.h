// The executor-module bus: 23 module slots driven through one message record, so that starting,
// resuming, saving, suspending, restarting and closing a piece are each one broadcast. Beside
// it the engine's flags (records open, saving, error shown), quit and restart, and the error
// reports that stop the saving of a session's records.
#pragma once
#include "runtime/base/fmt.h"

#include <cstdint>
#include <span>

enum ModuleMessageType : int32_t {
    kModStartup = 0,
    kModInit = 1,
    kModRestore = 2,
    kModSave = 3,
    kModRelease = 4,
    kModDelete = 5,
    kModSuspend = 6,
    kModResume = 7,
    kModAppActivate = 10,
    kModAppDeactivate = 11,
    kModWindowShown = 13,
    kModWindowClosing = 14,
    kModWindowMoved = 15,
};

// The slots in broadcast order (also the tags of record 1's fields).
enum ModuleSlot : int {
    kSlotKernel = 1,
    kSlotSession = 2,
    kSlotTasks = 3,
    kSlotTriggers = 4,
    kSlotResponses = 5,
    kSlotJudging = 6,
    kSlotIconStates = 7,
    kSlotIconStats = 8,
    kSlotVariables = 9,
    kSlotSequence = 10,
    kSlotHotKeys = 11,
    kSlotAssets = 12,
    kSlotPresentation = 13,
    kSlotMenus = 14,
    kSlotVideo = 15,
    kSlotSound = 16,
    kSlotScores = 17,
    kSlotCursorAreas = 18,
    kSlotTimeLimit = 19,
    kSlotActionQueue = 20,
    kSlotPageHistory = 21,
    kSlotNavigation = 22,
    kSlotMisc = 23,
};
constexpr int kModuleSlotCount = 23;
constexpr int kModuleScratchSize = 384; // the buffer Init fills

struct ModuleMessage {
    int32_t message = 0;
    int32_t spare = 0;
    int16_t size = 0; // the small state's bytes: set by Init, given by Restore and Save
    uint8_t* state = nullptr;
    uint16_t reset = 0; // Init: also reset what survives a restart
};

// A module's answer: 0, 8, 5001 (a stored state of another size) or another error.
using ModuleHandler = int (*)(ModuleMessage* message);

enum : int {
    kErrBadSlot = 5000,
    kErrStateSize = 5001,
};

// Plugs a module into its slot (null: the empty module, which answers 0 to everything and is
// stored as one zero byte).
void modmsg_register(ModuleSlot slot, ModuleHandler handler);
// The handler's answer; 5000 for a slot outside 1..23 (taken as a signed 16-bit value).
int modmsg_send(int slot, ModuleMessage* message);
// Slots 1..23 in order; answers ignored.
void modmsg_broadcast(ModuleMessage* message);
// Start-up: seeds the random numbers, finds the records folder, broadcasts Startup.
void modmsg_startup();
// Resume (nonzero) or Suspend, only while the records are open and the kernel's suspended
// flag differs from what is asked.
void modmsg_suspend_all(int resume);

// --- the engine's flags ----------------------------------------------------------------------
int exec_records_open();
void exec_set_records_open(int on);
int exec_saving();
void exec_set_saving(int on);
int exec_error_shown();
int exec_display_error_shown();
// Clears the error-shown and display-error-shown flags (closing the records, restart).
void exec_clear_error_flags();

// --- quit and restart ------------------------------------------------------------------------
// Stores the quit as the deferred kernel action and writes the transfer log. When no kernel
// can step (no records open) the quit runs at once.
void exec_request_quit(int kind, int restart);
// Returns to a calling piece or closes the program; kinds 2 and 3 (power off, reboot) close
// the program like kind 0. 0 or an error.
int exec_quit(int kind, int restart);
// Delete and Init for every module (the records are deleted, the next start is fresh).
void exec_restart();

// --- error reports ---------------------------------------------------------------------------
// Shows the message once per run of the piece and stops all saving; Quit (button 1) requests
// the quit. The answer of the box, 0 when nothing was shown.
int exec_report_error_va(uint32_t number, std::span<const FmtArg> args);
template <typename... Args> int exec_report_error(uint32_t number, const Args&... args)
{
    const FmtArg list[sizeof...(Args) + 1] = { FmtArg(args)..., FmtArg(0) };
    return exec_report_error_va(number, std::span<const FmtArg>(list, sizeof...(Args)));
}
// Message 45 for an icon that cannot be shown (stops saving).
void exec_report_icon_error(uint32_t icon, int error);
// Message 56, once, without stopping the saving.
int exec_report_display_error(uint32_t icon, int error);
// The store error after a learner's-record access: message 55 when the word is set.
void urec_check_error();

// Every slot empty, the flags cleared (tests and the release).
void modmsg_reset();
