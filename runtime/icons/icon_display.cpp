#include "runtime/icons/icon_display.h"

#include "runtime/display/dobj_icon.h"
#include "runtime/display/group.h"
#include "runtime/display/refresh.h"
#include "runtime/engine/icon_kinds.h"
#include "runtime/engine/icon_seq.h"
#include "runtime/engine/kernel.h"
#include "runtime/engine/session.h"
#include "runtime/engine/trig.h"
#include "runtime/icons/icon_display_object.h"
#include "runtime/icons/icon_display_position.h"
#include "runtime/nodes/node_attr.h"
#include "runtime/nodes/node_tree.h"

namespace {

// The top icon of a library: what lies under it is not numbered.
constexpr uint32_t kLibraryTopNode = 2;
constexpr int kTransitionAnyArea = 63;

struct {
    IconId override_icon = 0;
    int32_t override_layer = 0;
    DisplayShowHooks hooks {};
} s_display;

// --- the pending transition, through the engine's hooks ----------------------------------------

void transition_clear()
{
    if (icon_kinds_hooks().transition_clear)
        icon_kinds_hooks().transition_clear();
}

void transition_set(uint32_t effect, IconId icon)
{
    if (icon_kinds_hooks().transition_set)
        icon_kinds_hooks().transition_set(effect, icon, kTransitionAnyArea);
}

bool transition_kept() { return icon_kinds_hooks().transition_kept && icon_kinds_hooks().transition_kept(); }

void zoom_in(IconId icon)
{
    if (dobj_icon_hooks().zoom)
        dobj_icon_hooks().zoom(icon, 0, 1);
}

void set_mover(IconId icon, IconId mover)
{
    if (s_display.hooks.motion_set_mover)
        s_display.hooks.motion_set_mover(icon, mover);
}

// --- the steps ----------------------------------------------------------------------------------

int16_t sequence_for(IconId icon, int flags)
{
    if (node_has_ancestor(icon, node_make_icon(node_icon_slot(icon), kLibraryTopNode)))
        return 0;
    uint16_t sequence = (flags & kDisplayKeepSequence) ? icon_seq_live(icon) : 0;
    return int16_t(sequence != 0 ? sequence : icon_seq_next());
}

// A display that cannot appear does not hold up a synchronised wait for it.
void tell_sync_clock(IconId icon)
{
    uint8_t bytes[kSessionBlockSize];
    exec_get_session_info(bytes);
    int32_t mode = session_decode(bytes).sync_mode;
    if (mode == 1 || mode == 2)
        exec_sync_event(mode, node_kind(icon), icon);
}

// The point the object is put back at when no rule moves it: the centre it has at its authored
// place.
Point authored_centre(const uint8_t* object)
{
    Rect bounds = dobj_rect(object, kDobjBounds);
    Rect placement = icon_picture_placement(object);
    Rect authored = icon_picture_authored(object);
    plat::offset_rect(bounds, authored.left - placement.left, authored.top - placement.top);
    return rect_center(bounds);
}

// An icon shown again: refreshed, put back at its point, on its plane, renumbered.
void show_again(IconId icon, int16_t sequence, uint16_t plane)
{
    bool sprite = node_kind(icon) == kKindSprite;
    uint8_t* object = dobj_find_icon(icon, 0);
    if (!object)
        return;
    if (!sprite)
        icon_display_refresh(object, icon);
    icon_picture_set_shown_by(object, icon);
    set_mover(icon, 0);
    Point point {};
    bool place = true;
    if (icon_display_position(icon, dobj_rect(object, kDobjBounds), point)) {
        if (node_get_attr(icon, kAttrPositioning) != kPositionByValues)
            set_mover(icon, icon);
    } else if (!sprite) {
        point = authored_centre(object);
    } else {
        place = false;
    }
    if (place && !(node_kind(icon) == kKindInteraction && !exec_suspended())) {
        icon_display_move(point, object);
        if (s_display.hooks.motion_stop)
            s_display.hooks.motion_stop(icon);
    }
    if (icon == s_display.override_icon) {
        DisplayMsgArg arg;
        arg.sub_code = int16_t(plane);
        dobj_send(object, kMsgSetPlane, &arg);
    }
    dobj_icon_set_sequence(object, sequence);
    dlist_unlock(dlist_stage());
    screen_flush();
}

// The new object's stamps and place; its update list then holds its bounds alone.
void settle_new(IconId icon, int16_t sequence)
{
    uint8_t* object = dobj_find_icon(icon, 0);
    if (!object)
        return;
    dobj_icon_set_sequence(object, sequence);
    dobj_icon_set_erase_allowed(object, node_get_attr(icon, kAttrPreventErase) == 0);
    icon_picture_set_shown_by(object, icon);
    Point point {};
    if (icon_display_position(icon, dobj_rect(object, kDobjBounds), point)) {
        icon_display_move(point, object);
        set_mover(icon, icon);
    }
    dobj_set_list_word(object, kDobjUpdate, 0);
    dobj_send(object, kMsgUpdate, nullptr);
    dlist_unlock(dlist_stage());
}

int16_t show_new(IconId icon, uint32_t effect, int16_t sequence)
{
    bool plain = effect == 0 && !transition_kept();
    // What is pending appears without this icon's transition.
    if (plain)
        screen_flush();
    transition_set(effect, icon);
    uint32_t id = 0;
    if (node_kind(icon) == kKindSprite)
        id = s_display.hooks.sprite_create ? s_display.hooks.sprite_create(icon) : 0;
    else
        id = icon_display_create(icon, 0);
    if (id == 0) {
        tell_sync_clock(icon);
        return 0;
    }
    settle_new(icon, sequence);
    trig_fire(kTrigDisplayObject, int32_t(icon));
    zoom_in(icon);
    if (plain)
        screen_flush();
    return sequence;
}

} // namespace

void icon_display_set_show_hooks(const DisplayShowHooks* hooks)
{
    s_display.hooks = hooks ? *hooks : DisplayShowHooks {};
}

int16_t icon_display(IconId icon, int flags)
{
    uint32_t effect = node_get_attr(icon, kAttrDisplayTransition);
    if (effect == 0)
        flags &= ~kDisplayRedo;
    int16_t sequence = sequence_for(icon, flags);
    int32_t layer = icon_display_layer(icon);
    uint16_t plane = icon_display_plane(icon, layer);
    if (dobj_icon_exists(icon, 0)) {
        transition_clear();
        if (flags & kDisplayRedo) {
            dobj_erase_icon(icon, 0);
            screen_flush();
        } else if (flags & kDisplayToLayer) {
            dobj_set_icon_layer(icon, 0, layer, kLayerModeFront);
        }
    }
    if (dobj_icon_exists(icon, 0))
        show_again(icon, sequence, plane);
    else
        sequence = show_new(icon, effect, sequence);
    s_display.override_icon = 0;
    return sequence;
}

void icon_display_now(IconId icon)
{
    uint8_t* object = dobj_find_icon(icon, 0);
    if (!object) {
        icon_display(icon, 0);
        return;
    }
    transition_clear();
    icon_display_refresh(object, icon);
    dlist_unlock(dlist_stage());
}

void icon_display_refresh(uint8_t* object, IconId icon)
{
    if (group_members(object).used <= 2)
        return;
    // The group hands message 20 to the members and takes their bounds.
    DisplayMsgArg arg;
    arg.word_param = int32_t(icon);
    group_handler(object, kMsgRefreshMember, &arg);
    icon_picture_unite_placement(object);
}

void icon_layer_override(IconId icon, int32_t layer)
{
    s_display.override_icon = icon;
    s_display.override_layer = layer;
}

void icon_layer_override_get(IconId& icon, int32_t& layer)
{
    icon = s_display.override_icon;
    layer = s_display.override_layer;
}

void icon_display_property_changed(IconId icon, uint16_t property, ScriptValue* value, int32_t)
{
    uint8_t* object = dobj_find_icon(icon, 0);
    if (!object)
        return;
    DisplayMsgArg arg;
    arg.word_param = property;
    arg.caller_data = value;
    dobj_send(object, kMsgPropertyChanged, &arg);
    dlist_unlock(dlist_stage());
}

static void display_on_entry(IconId icon, int flags) { (void)icon_display(icon, flags); }

void icon_display_install()
{
    IconKindHooks hooks = icon_kinds_hooks();
    hooks.icon_display = display_on_entry;
    icon_kinds_set_hooks(&hooks);
    dobj_register_kind(kKindDisplayIcon, icon_display_object_handler);
    trig_set_handler(kTrigDisplay, icon_display_property_changed);
}

void icon_display_reset()
{
    s_display = {};
    icon_display_set_member_hooks(nullptr);
    icon_display_set_position_hooks(nullptr);
}
