#include "runtime/engine/icon_kinds.h"

#include "platform/kernel/byte_io.h"
#include "runtime/base/mem.h"
#include "runtime/calc/value.h"
#include "runtime/engine/exec_hooks.h"
#include "runtime/engine/exec_task.h"
#include "runtime/engine/icon_props.h"
#include "runtime/nodes/node_attr.h"
#include "runtime/nodes/node_group.h"

#include <vector>

namespace {

constexpr int kDisplayOnEntry = 6;
constexpr int kSoundFromIcon = 1;
constexpr uint32_t kVideoTaskMs = 300;
constexpr int kTransitionAnyArea = 63;
constexpr int kSyncMomentStart = 1;
constexpr int kSyncMomentEnd = 2;

IconKindHooks s_hooks {};

void paint()
{
    if (exec_hooks().screen_flush)
        exec_hooks().screen_flush();
}

void sync_event(int mode, int kind, IconId icon)
{
    if (exec_hooks().sync_event)
        exec_hooks().sync_event(mode, kind, icon);
}

bool damage_pending() { return exec_hooks().damage_pending && exec_hooks().damage_pending(); }

void erase_listed(IconId eraser, const std::vector<EraseEntry>& entries)
{
    for (const EraseEntry& entry : entries) {
        IconId icon = node_make_icon(node_icon_slot(eraser), entry.node);
        // An entry naming an icon that is gone is skipped.
        if (!node_is_valid(icon))
            continue;
        if (entry.kind == kObjectKindMenu) {
            if (s_hooks.remove_menu)
                s_hooks.remove_menu(icon);
        } else if (s_hooks.erase_icon_object) {
            s_hooks.erase_icon_object(icon, entry.kind);
        }
    }
}

void erase_enter(IconId icon)
{
    bool paint_around = node_get_attr(icon, kAttrErasePaint) != 0;
    if (paint_around)
        paint();
    if (s_hooks.transition_effect) {
        int effect = s_hooks.transition_effect();
        if ((effect == 1 || effect == 2) && s_hooks.transition_clear)
            s_hooks.transition_clear();
    }
    if (s_hooks.transition_set)
        s_hooks.transition_set(node_get_attr(icon, kAttrEraseTransition), icon, kTransitionAnyArea);
    std::vector<EraseEntry> entries = icon_erase_entries(icon);
    switch (int(node_get_attr(icon, kAttrEraseMode))) {
    case kEraseAllButListed:
        if (s_hooks.erase_all_but)
            s_hooks.erase_all_but(entries.data(), int(entries.size()), icon);
        break;
    case kEraseEverything:
        if (s_hooks.erase_everything)
            s_hooks.erase_everything();
        break;
    default: erase_listed(icon, entries); break;
    }
    // Nothing left to repaint: the erase is over now, and the clock hears of it.
    if (!damage_pending()) {
        if (s_hooks.transition_clear)
            s_hooks.transition_clear();
        sync_event(kSyncMomentStart, kKindErase, icon);
        sync_event(kSyncMomentEnd, kKindErase, icon);
    }
    if (paint_around)
        paint();
}

void video_enter(IconId icon)
{
    if (!s_hooks.video_ready || !s_hooks.video_ready(icon)) {
        sync_event(kSyncMomentStart, kKindVideo, icon);
        return;
    }
    (void)task_add(kTaskVideo, icon, 0, kVideoTaskMs);
    if (s_hooks.video_play)
        s_hooks.video_play(icon, 0);
    if (node_get_attr(icon, kAttrVideoStartExpr) == 1) {
        ScriptValue value;
        if (icon_eval_property(icon, kPropVideoStart, value) == 0 && s_hooks.video_on_trigger)
            s_hooks.video_on_trigger(icon, kPropVideoStart, value, 0);
        val_free(value);
    }
    if (node_get_attr(icon, kAttrVideoNoWait))
        return;
    exec_set_state(kStateWaiting);
    if (node_get_attr(icon, kAttrVideoController) == 1 && s_hooks.video_controller)
        s_hooks.video_controller(icon, 1);
}

int video_input(IconId icon)
{
    if (node_get_attr(icon, kAttrVideoInputStops) != 1)
        return 0;
    if (s_hooks.video_stop)
        s_hooks.video_stop(icon);
    if (s_hooks.video_controller)
        s_hooks.video_controller(icon, 0);
    return 1;
}

} // namespace

void icon_kinds_set_hooks(const IconKindHooks* hooks) { s_hooks = hooks ? *hooks : IconKindHooks {}; }
const IconKindHooks& icon_kinds_hooks() { return s_hooks; }

std::vector<EraseEntry> icon_erase_entries(IconId icon)
{
    std::vector<EraseEntry> entries;
    MemHandle list = node_get_prop(icon, kPropEraseList);
    if (!list || list == kMemFailed)
        return entries;
    size_t size = mem_size(list);
    if (const auto* bytes = static_cast<const uint8_t*>(mem_lock(list))) {
        for (size_t at = 0; size - at >= 4; at += 4)
            entries.push_back(EraseEntry { plat::load_u16le(bytes + at), plat::load_u16le(bytes + at + 2) });
        mem_unlock(list);
    }
    mem_free(list);
    return entries;
}

int exec_display_handler(KernelMessage* message)
{
    if (message->message == kKmEnter && s_hooks.icon_display)
        s_hooks.icon_display(message->icon, kDisplayOnEntry);
    return 0;
}

int exec_motion_handler(KernelMessage* message)
{
    if (message->message != kKmEnter)
        return 0;
    paint();
    if (s_hooks.motion_start && s_hooks.motion_start(message->icon))
        exec_set_state(kStateWaiting);
    return 0;
}

int exec_erase_handler(KernelMessage* message)
{
    if (message->message == kKmEnter)
        erase_enter(message->icon);
    return 0;
}

int exec_movie_handler(KernelMessage* message)
{
    if (message->message == kKmEnter && s_hooks.movie_start)
        s_hooks.movie_start(message->icon);
    return 0;
}

int exec_sound_handler(KernelMessage* message)
{
    if (message->message == kKmEnter && s_hooks.sound_play)
        s_hooks.sound_play(message->icon, kSoundFromIcon);
    return 0;
}

int exec_video_handler(KernelMessage* message)
{
    switch (message->message) {
    case kKmEnter: video_enter(message->icon); return 0;
    case kKmInputEvent:
    case kKmValueEvent: return video_input(message->icon);
    default: return 0;
    }
}

void icon_kinds_install()
{
    exec_set_kind_handler(kKindDisplay, exec_display_handler);
    exec_set_kind_handler(kKindMotion, exec_motion_handler);
    exec_set_kind_handler(kKindErase, exec_erase_handler);
    exec_set_kind_handler(kKindMovie, exec_movie_handler);
    exec_set_kind_handler(kKindSound, exec_sound_handler);
    exec_set_kind_handler(kKindVideo, exec_video_handler);
}

void icon_kinds_reset() { s_hooks = IconKindHooks {}; }
