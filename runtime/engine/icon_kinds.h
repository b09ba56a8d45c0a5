// The entry handlers of the icon kinds that do their work in one go: Display, Motion, Erase,
// Movie, Sound and Video (the Wait icon's is icon_wait). Each hands the work to the executor of
// its medium through a hook, and decides whether the kernel waits until the icon completes.
#pragma once
#include "runtime/engine/kernel.h"

#include <cstdint>
#include <vector>

struct ScriptValue;

constexpr uint16_t kPropEraseList = 11;
constexpr uint16_t kPropVideoStart = 1032;

constexpr uint32_t kAttrErasePaint = 0x2010308;
constexpr uint32_t kAttrEraseTransition = 0x4000001;
constexpr uint32_t kAttrEraseMode = 0x20105e0;
constexpr uint32_t kAttrVideoStartExpr = 0x2000204;
constexpr uint32_t kAttrVideoNoWait = 0x2000001;
constexpr uint32_t kAttrVideoController = 0x2000308;
constexpr uint32_t kAttrVideoInputStops = 0x2000102;

enum EraseMode : int {
    kEraseListed = 0,
    kEraseAllButListed = 1,
    kEraseEverything = 2,
};

// One {node number, display-object kind} pair of an Erase icon's list.
struct EraseEntry {
    uint16_t node = 0;
    uint16_t kind = 0;
};
constexpr uint16_t kObjectKindMenu = 7;

// What the executors of the media provide. Empty entries do nothing and answer as noted, so
// that a piece still walks: nothing shows, plays or is erased, and no icon is waited for.
struct IconKindHooks {
    void (*icon_display)(IconId icon, int mode);
    // 1 when the motion must finish before the kernel goes on (empty: 0).
    int (*motion_start)(IconId icon);
    void (*movie_start)(IconId icon);
    void (*sound_play)(IconId icon, int mode);
    // The interactive check of the video devices (empty: 0, not ready).
    int (*video_ready)(IconId icon);
    void (*video_play)(IconId icon, int mode);
    void (*video_on_trigger)(IconId icon, uint16_t property, const ScriptValue& value, int flags);
    void (*video_stop)(IconId icon);
    void (*video_controller)(IconId icon, int open);
    // The Erase icon's erasing: every live icon object except the listed ones, everything, one
    // icon's object of a kind, a pull-down menu.
    void (*erase_all_but)(const EraseEntry* entries, int count, IconId icon);
    void (*erase_everything)();
    void (*erase_icon_object)(IconId icon, int kind);
    void (*remove_menu)(IconId icon);
    // The pending transition: its effect (empty: 0, none), clearing it, setting one.
    int (*transition_effect)();
    void (*transition_clear)();
    void (*transition_set)(uint32_t transition, IconId icon, int flags);
    // A Wait icon's buttons hidden during a perpetual call and shown after it.
    void (*buttons_show)(IconId icon, int shown);
    // Whether a transition is kept for the next display (empty: 0, none).
    int (*transition_kept)();
};
void icon_kinds_set_hooks(const IconKindHooks* hooks);
const IconKindHooks& icon_kinds_hooks();

int exec_display_handler(KernelMessage* message);
int exec_motion_handler(KernelMessage* message);
int exec_erase_handler(KernelMessage* message);
int exec_movie_handler(KernelMessage* message);
int exec_sound_handler(KernelMessage* message);
int exec_video_handler(KernelMessage* message);

// The Erase icon's list, read in whole 4-byte pairs (bytes after the last whole pair are ignored).
std::vector<EraseEntry> icon_erase_entries(IconId icon);

// Puts the handlers into the kernel's kind table.
void icon_kinds_install();
void icon_kinds_reset();
