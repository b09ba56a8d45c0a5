// The keyboard focus among display objects: one icon object, named by (icon, object kind),
// receives key, input-method and activation events (message 62 tells it that it gained or lost
// the focus). The window focus follows it to the presentation window.
#pragma once
#include <cstdint>

#include "platform/window/message.h"
#include "runtime/nodes/node_files.h"

struct DisplayMsgArg;

constexpr int kMsgFocus = 62;    // sub-code 1 gained, 0 lost
constexpr int kMsgImeInput = 78; // sub-code the window message
constexpr int kTrigFocusChanged = 9;

struct FocusObject {
    IconId icon = 0;
    uint16_t object_kind = 0;
    bool operator==(const FocusObject&) const = default;
};

FocusObject dobj_get_focus();
// Moves the focus to the object (icon 0: no focus): 1 when it moved or was there already, 0
// when the object refused it (the old focus stays). Without a presentation window every icon
// is refused.
int dobj_set_focus(IconId icon, uint16_t object_kind);
// Tells the focus object that the application became active or inactive, once per change.
void dobj_focus_activation(int active);
// Sends the message to the focus object when it still exists; false when there is none.
bool dobj_send_to_focus(int message, DisplayMsgArg* arg, int32_t& answer);

// The stored part of the focus: the object and whether it was last told it holds the focus
// while the window was active.
struct FocusState {
    FocusObject object;
    uint32_t told_active = 0;
};
FocusState dobj_focus_state();
void dobj_set_focus_state(const FocusState& state);

// SetFocus; when a window is given while a piece runs, a focus object of a Sprite icon loses
// the focus (the window takes the keys from it).
plat::WindowHandle win_set_focus(plat::WindowHandle window);

// No focus object (program start, tests).
void dobj_focus_reset();
