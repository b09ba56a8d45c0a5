#include "runtime/display/dobj_focus.h"

#include "platform/window/focus.h"
#include "runtime/display/dlist.h"
#include "runtime/display/dobj.h"
#include "runtime/display/dobj_icon.h"
#include "runtime/display/refresh.h"
#include "runtime/display/screen_window.h"
#include "runtime/engine/kernel.h"
#include "runtime/engine/trig.h"
#include "runtime/nodes/node_tree.h"
#include "runtime/pieces/piece_current.h"

namespace {

FocusState s_focus;

} // namespace

FocusObject dobj_get_focus() { return s_focus.object; }
FocusState dobj_focus_state() { return s_focus; }
void dobj_set_focus_state(const FocusState& state) { s_focus = state; }
void dobj_focus_reset() { s_focus = FocusState{}; }

static bool is_sprite(IconId icon) { return icon != 0 && node_kind(icon) == kKindSprite; }

// Message 62 to the object when it exists: found, with its answer.
static bool tell_focus(const FocusObject& target, int16_t gained, plat::DcHandle dc, int32_t& answer)
{
    if (target.icon == 0)
        return false;
    uint8_t* object = dobj_find_icon(target.icon, target.object_kind);
    if (!object)
        return false;
    DisplayMsgArg arg;
    arg.sub_code = gained;
    arg.dc = dc;
    answer = dobj_send(object, kMsgFocus, &arg);
    dlist_unlock(dlist_stage());
    return true;
}

int dobj_set_focus(IconId icon, uint16_t object_kind)
{
    FocusObject wanted{icon, object_kind};
    plat::WindowHandle window = screen_window();
    if (wanted == s_focus.object) {
        if (icon != 0 && !is_sprite(icon))
            win_set_focus(window);
        return 1;
    }
    int32_t answer = icon == 0 ? 1 : 0;
    bool active = false;
    if (window) {
        plat::DcHandle dc = screen_get_dc(window);
        if (tell_focus(wanted, 1, dc, answer))
            active = screen_is_active();
        int32_t ignored = 0;
        if (answer)
            tell_focus(s_focus.object, 0, dc, ignored);
        if (dc)
            screen_release_dc(window, dc);
    }
    if (!answer)
        return 0;
    s_focus.told_active = active ? 1 : 0;
    s_focus.object = wanted;
    trig_mark(kTrigFocusChanged, 0);
    if (active && !is_sprite(icon))
        win_set_focus(window);
    return 1;
}

void dobj_focus_activation(int active)
{
    uint32_t now = active ? 1 : 0;
    if (now == s_focus.told_active || s_focus.object.icon == 0)
        return;
    plat::WindowHandle window = screen_window();
    plat::DcHandle dc = window ? screen_get_dc(window) : plat::DcHandle();
    if (!dc) {
        s_focus.told_active = 0;
        return;
    }
    int32_t ignored = 0;
    tell_focus(s_focus.object, int16_t(now), dc, ignored);
    s_focus.told_active = now;
    screen_release_dc(window, dc);
}

bool dobj_send_to_focus(int message, DisplayMsgArg* arg, int32_t& answer)
{
    if (s_focus.object.icon == 0)
        return false;
    uint8_t* object = dobj_find_icon(s_focus.object.icon, s_focus.object.object_kind);
    if (!object)
        return false;
    answer = dobj_send(object, message, arg);
    dlist_unlock(dlist_stage());
    return true;
}

plat::WindowHandle win_set_focus(plat::WindowHandle window)
{
    plat::WindowHandle previous = plat::set_focus(window);
    bool running = piece_slot() != 0 && piece_is_open() && !exec_suspended();
    if (window && running && is_sprite(s_focus.object.icon))
        dobj_set_focus(0, 0);
    return previous;
}
