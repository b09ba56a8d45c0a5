// Showing the pictures of Display icons (and the displays of Interaction icons): the object is
// made from the icon's content record at its layer and plane, positioned by the icon's rule and
// stamped with a display sequence number; an icon shown again keeps its one object, refreshed,
// put back at its place and layer, or rebuilt behind a transition.
#pragma once
#include "runtime/nodes/node_files.h"

#include <cstdint>

struct ScriptValue;

// icon_display flags.
enum : int {
    kDisplayKeepSequence = 1,  // keep the icon's live sequence number
    kDisplayRedo = 2,          // erase a shown object and show it again with the transition
    kDisplayToLayer = 4,       // move a shown object to the icon's layer
};
// The transition of Display icons.
constexpr uint32_t kAttrDisplayTransition = 0x4020001;
// Computed attribute 9: automatic erasing leaves the object alone.
constexpr uint32_t kAttrPreventErase = 9;

// What showing needs of modules built later. Empty entries: no Sprite icon makes an object, no
// motion of an object is recorded or ended.
struct DisplayShowHooks {
    uint32_t (*sprite_create)(IconId icon);
    // The icon now moving the object's motion state names (0: none), and the end of any
    // motion of the object.
    void (*motion_set_mover)(IconId icon, IconId mover);
    void (*motion_stop)(IconId icon);
};
void icon_display_set_show_hooks(const DisplayShowHooks* hooks);

// The display sequence number given to the object; 0 when nothing was shown.
int16_t icon_display(IconId icon, int flags);
// DisplayIcon: a shown object is refreshed where it is; else the icon is shown.
void icon_display_now(IconId icon);
// Refreshes the members of the icon's object: message 20, then their bounds.
void icon_display_refresh(uint8_t* object, IconId icon);
// LayerDisplay: the layer the icon's next display takes instead of its layer property.
void icon_layer_override(IconId icon, int32_t layer);
void icon_layer_override_get(IconId& icon, int32_t& layer);
// The handler of trigger kind 3: the changed property goes to the members of the icon's object.
void icon_display_property_changed(IconId icon, uint16_t property, ScriptValue* value, int32_t argument);

// Fills the engine's Display hook, the picture kind and trigger kind 3.
void icon_display_install();
// Forgets the override and the hooks (tests).
void icon_display_reset();
