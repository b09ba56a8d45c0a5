// Erasing: what an Erase icon removes (its listed objects, everything but them, everything),
// and the automatic erasing of the displays that containers' children made. Each child of an
// Interaction, Decision or Framework picks an erase moment: 0 before the container waits
// again, 1 when it branches into a newly matched child, 2 when it is left, 3 never. Displays
// carry display sequence numbers, so what a child showed since it ran is a range of numbers;
// the containers' statistics records keep which moments have displays waiting and the pending
// set of displays kept past a moment (entries moment | sequence << 2).
#pragma once
#include "runtime/engine/icon_kinds.h"
#include "runtime/nodes/node_files.h"

#include <cstdint>

enum EraseMoment : int {
    kEraseBeforeEntry = 0,
    kEraseAfterEntry = 1,
    kEraseOnExit = 2,
    kEraseNever = 3,
};

// Whether icon_erase_list erases the objects or only hides them.
enum EraseHow : int { kEraseHide = 0, kEraseRemove = 1 };

// 1 for a Framework's page, 2 for its other children, else the icon's erase option (0..3).
int icon_erase_moment(IconId icon);
// Every live icon object whose (node, kind) is not listed, or whose icon is in another file
// than the eraser's: pull-down menu objects (kind 7) go through the menu hook, others are
// erased or hidden.
void icon_erase_list(IconId eraser, const EraseEntry* entries, int count, int how);
// Erases what waits for the moment under the container (and stops its media).
void icon_erase_on_exit(IconId container, int moment);
// A child of the container is done: its displays wait for its moment, unless it showed none.
void icon_erase_response(IconId container, IconId child);
// Keeps the icon's displays for the container, by the smaller of its moment and the moment
// of the container's child that leads to it.
void icon_erase_note_child(IconId container, IconId icon);
void icon_erase_add_pending(IconId container, int sequence, int moment);
// Before a perpetual response is entered: the displays its children made that wait for the
// next entry of the innermost container go now.
void icon_erase_before_perpetual(IconId response);
// Stops the playing sound and closes the current video when they lie under the container on
// a child whose moment is at most the given one.
void icon_erase_stop_media(IconId container, int moment);
// The innermost Interaction, Decision or Framework around the current icon, across perpetual
// calls (a call's response continues at the icon it interrupted); 0 when there is none.
IconId icon_innermost_container();

// The media players, built later. Empty entries: nothing plays, nothing stops.
struct EraseMediaHooks {
    IconId (*sound_icon)(); // the Sound icon playing, 0 when none
    void (*sound_stop)();
    IconId (*video_icon)(); // the current video icon, 0 when none
    void (*video_close_current)();
};
void icon_erase_set_media_hooks(const EraseMediaHooks* hooks);

// Fills the engine's erase hooks (and installs the statistics module they keep their state in).
void icon_erase_install();
void icon_erase_reset();
