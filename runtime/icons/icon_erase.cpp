#include "runtime/icons/icon_erase.h"

#include "runtime/base/idset.h"
#include "runtime/display/dobj_icon.h"
#include "runtime/engine/exec_hooks.h"
#include "runtime/engine/goto.h"
#include "runtime/engine/icon_seq.h"
#include "runtime/engine/icon_state.h"
#include "runtime/engine/kernel.h"
#include "runtime/engine/perpetual.h"
#include "runtime/icons/icon_stats.h"
#include "runtime/nodes/node_attr.h"
#include "runtime/nodes/node_tree.h"

#include <algorithm>
#include <vector>

namespace {

constexpr uint32_t kAttrFrameworkEraseEffect = 0x4040001;
constexpr int kTransitionAnyArea = 63;
constexpr int kMomentCount = 4;

EraseMediaHooks s_media {};

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

uint16_t pending_entry(int sequence, int moment) { return uint16_t(moment | sequence << 2); }
int entry_sequence(uint32_t entry) { return int(entry >> 2); }
int entry_moment(uint32_t entry) { return int(entry & 3); }

// Erases the objects numbered low..high (high 0: up to the counter) and records the range.
// The counter's own number is not recorded: the icons that run next are stamped with it, and
// their displays must stay erasable.
void erase_numbers(int low, int high)
{
    int counter = icon_seq_counter();
    if (high == 0)
        high = counter;
    dobj_erase_by_sequence(low, high);
    icon_seq_mark_erased(low, std::min(high, counter - 1));
}

// The container's child whose branch holds the icon; 0 when the icon is not below it.
IconId child_on_path(IconId container, IconId icon)
{
    if (icon == container || !node_has_ancestor(icon, container))
        return 0;
    while (icon && node_parent(icon) != container)
        icon = node_parent(icon);
    return icon;
}

// The container's children: list 2, and a Framework's lists 3 and 4.
std::vector<IconId> children_of(IconId container)
{
    std::vector<IconId> children;
    int last_list = node_kind(container) == kKindFramework ? kListFramework4 : kListChildren;
    for (int list = kListChildren; list <= last_list; list++) {
        int count = node_child_count_in(container, list);
        for (int n = 1; n <= count; n++)
            if (IconId child = node_nth_child(n, container, list))
                children.push_back(child);
    }
    return children;
}

// --- the Erase icon's list ---------------------------------------------------------------------

struct ListWalk {
    IconId eraser;
    const EraseEntry* entries;
    int count;
    std::vector<IconObjectRef> doomed;
};

bool listed(const ListWalk& walk, IconId icon, uint16_t kind)
{
    if (node_icon_slot(icon) != node_icon_slot(walk.eraser))
        return false;
    for (int n = 0; n < walk.count; n++)
        if (walk.entries[n].node == node_icon_number(icon) && walk.entries[n].kind == kind)
            return true;
    return false;
}

int collect_unlisted(uint8_t* object, void* data, void*)
{
    auto& walk = *static_cast<ListWalk*>(data);
    IconId icon = dobj_icon_of(object);
    uint16_t kind = dobj_icon_object_kind(object);
    if (!listed(walk, icon, kind))
        walk.doomed.push_back(IconObjectRef {icon, kind});
    return 1;
}

// --- erasing by moment -------------------------------------------------------------------------

// The sets of a moment's erase: E what goes, K what stays, and the moments K waits for.
struct MomentSets {
    IdSet erase {};
    IdSet keep {};
    int keep_bits = 0;
    bool failed = false;

    void sort(int sequence, int moment, int now)
    {
        bool kept = moment > now;
        if (!idset_add(kept ? keep : erase, pending_entry(sequence, moment)))
            failed = true;
        else if (kept)
            keep_bits |= 1 << moment;
    }
    // The smallest kept number at or above the sequence that is not erased; 0 when none.
    int next_kept(int sequence) const
    {
        int best = 0;
        for (int n = 1; n <= idset_count(keep); n++) {
            int kept = entry_sequence(idset_get(keep, n));
            if (kept >= sequence && !icon_seq_is_erased(kept) && (best == 0 || kept < best))
                best = kept;
        }
        return best;
    }
};

void erase_kept_apart(IconId container, int moment)
{
    MomentSets sets;
    sets.erase = idset_new();
    sets.keep = idset_new();
    IdSet pending = icon_stat_erase_set(container);
    if (sets.erase && sets.keep) {
        for (IconId child : children_of(container))
            if (int sequence = icon_seq_live(child))
                sets.sort(sequence, icon_erase_moment(child), moment);
        for (int n = 1; n <= idset_count(pending); n++) {
            uint16_t entry = idset_get(pending, n);
            if (!icon_seq_is_erased(entry_sequence(entry)))
                sets.sort(entry_sequence(entry), entry_moment(entry), moment);
        }
    }
    // Without room for the sets nothing is erased and the pending state stays.
    if (sets.erase && sets.keep && !sets.failed) {
        uint32_t effect = node_kind(container) == kKindFramework ? node_get_attr(container, kAttrFrameworkEraseEffect) : 0;
        for (int n = 1; n <= idset_count(sets.erase); n++) {
            int sequence = entry_sequence(idset_get(sets.erase, n));
            if (icon_seq_is_erased(sequence))
                continue;
            int kept = sets.next_kept(sequence);
            transition_set(effect, container);
            erase_numbers(sequence, kept ? kept - 1 : 0);
        }
        if (pending)
            idset_remove_all(pending, sets.erase);
        icon_stat_set_erase_bits(container, sets.keep_bits);
    }
    idset_free(sets.erase);
    idset_free(sets.keep);
}

// --- engine hooks ------------------------------------------------------------------------------

void erase_finished_child(IconId child)
{
    if (IconId container = node_parent(child))
        icon_erase_response(container, child);
}

void erase_all_but(const EraseEntry* entries, int count, IconId eraser)
{
    icon_erase_list(eraser, entries, count, kEraseRemove);
}

void erase_icon_object(IconId icon, int kind) { dobj_erase_icon(icon, uint16_t(kind)); }

void stop_media_of(IconId branch)
{
    IconId sound = s_media.sound_icon ? s_media.sound_icon() : 0;
    if (sound && node_has_ancestor(sound, branch) && s_media.sound_stop)
        s_media.sound_stop();
    IconId video = s_media.video_icon ? s_media.video_icon() : 0;
    if (video && node_has_ancestor(video, branch) && s_media.video_close_current)
        s_media.video_close_current();
}

// --- renumbering ---------------------------------------------------------------------------------

struct PendingCollect {
    void (*add)(int number, void* user);
    void* user;
};

void collect_set(IconId, IdSet set, void* data)
{
    const auto& collect = *static_cast<const PendingCollect*>(data);
    for (int n = idset_count(set); n >= 1; n--) {
        uint16_t entry = idset_get(set, n);
        if (icon_seq_is_erased(entry_sequence(entry)))
            (void)idset_remove(set, entry);
        else
            collect.add(entry_sequence(entry), collect.user);
    }
}

void collect_pending(void (*add)(int number, void* user), void* user)
{
    PendingCollect collect {add, user};
    icon_stat_for_each_set(collect_set, &collect);
}

struct Boundaries {
    const uint16_t* values;
    int count;
};

// Entries keep their moment; two that meet in one group become one.
void renumber_set(IconId, IdSet set, void* data)
{
    const auto& b = *static_cast<const Boundaries*>(data);
    std::vector<uint16_t> entries;
    for (int n = 1; n <= idset_count(set); n++)
        entries.push_back(idset_get(set, n));
    idset_clear(set);
    for (uint16_t entry : entries)
        if (int position = icon_seq_position(b.values, b.count, entry_sequence(entry)))
            (void)idset_add(set, pending_entry(position, entry_moment(entry)));
}

void renumber_pending(const uint16_t* boundaries, int count)
{
    Boundaries b {boundaries, count};
    icon_stat_for_each_set(renumber_set, &b);
}

} // namespace

int icon_erase_moment(IconId icon)
{
    IconId parent = node_parent(icon);
    if (parent && node_kind(parent) == kKindFramework)
        return node_is_page(icon) ? kEraseAfterEntry : kEraseOnExit;
    return int(node_get_attr(icon, kAttrOption7) & 3);
}

void icon_erase_list(IconId eraser, const EraseEntry* entries, int count, int how)
{
    ListWalk walk {eraser, entries, std::max(count, 0), {}};
    // The walk may not remove objects: collect first, erase after.
    dobj_for_each_icon(collect_unlisted, &walk, nullptr, nullptr);
    for (const IconObjectRef& ref : walk.doomed) {
        if (ref.object_kind == kObjectKindMenu) {
            if (icon_kinds_hooks().remove_menu)
                icon_kinds_hooks().remove_menu(ref.icon);
        } else if (how == kEraseRemove) {
            dobj_erase_icon(ref.icon, ref.object_kind);
        } else {
            dobj_hide_icon(ref.icon, ref.object_kind);
        }
    }
}

void icon_erase_on_exit(IconId container, int moment)
{
    if (moment < 0 || moment >= kMomentCount)
        return;
    icon_erase_stop_media(container, moment);
    int bits = icon_stat_erase_bits(container);
    int due = (2 << moment) - 1; // bits 0..moment
    if (bits & due) {
        int sequence = icon_seq_live(container);
        if (!(bits & ~due) && !icon_stat_call_mark(container) && sequence) {
            transition_clear();
            erase_numbers(sequence + 1, 0);
            icon_stat_set_erase_bits(container, 0);
        } else {
            erase_kept_apart(container, moment);
        }
    }
    if (moment == kEraseOnExit && (icon_stat_erase_bits(container) || icon_stat_erase_set(container))) {
        icon_stat_set_erase_bits(container, 0);
        (void)icon_stat_set_erase_set(container, IdSet {});
    }
}

void icon_erase_response(IconId container, IconId child)
{
    int sequence = icon_seq_live(child);
    // Nothing shown since the child ran: there is nothing to wait for.
    if (sequence == 0 || sequence >= icon_seq_counter()) {
        if (icon_state_seq(child))
            icon_state_set_seq(child, 0);
        return;
    }
    icon_stat_set_erase_bits(container, icon_stat_erase_bits(container) | 1 << icon_erase_moment(child));
}

void icon_erase_note_child(IconId container, IconId icon)
{
    int sequence = icon_seq_live(icon);
    if (sequence == 0)
        return;
    int moment = icon_erase_moment(icon);
    if (IconId lead = child_on_path(container, icon))
        moment = std::min(moment, icon_erase_moment(lead));
    icon_erase_add_pending(container, sequence, moment);
}

void icon_erase_add_pending(IconId container, int sequence, int moment)
{
    if (sequence <= 0 || sequence > kSeqCounterMax || moment < 0 || moment >= kMomentCount)
        return;
    IdSet set = icon_stat_erase_set(container);
    if (!set) {
        set = idset_new();
        if (!set || !icon_stat_set_erase_set(container, set))
            return;
    }
    if (idset_add(set, pending_entry(sequence, moment)))
        icon_stat_set_erase_bits(container, icon_stat_erase_bits(container) | 1 << moment);
}

void icon_erase_before_perpetual(IconId response)
{
    transition_clear();
    IconId container = icon_innermost_container();
    if (!container || node_kind(container) == kKindFramework)
        return;
    IdSet set = icon_stat_erase_set(container);
    if (!set)
        return;
    int sequence = 0;
    for (IconId child = node_first_child(response); child; child = node_next(child))
        sequence = std::max<int>(sequence, icon_seq_live(child));
    uint16_t entry = pending_entry(sequence, kEraseAfterEntry);
    if (sequence == 0 || !idset_contains(set, entry))
        return;
    // Up to the next display the set keeps, not into it.
    int kept = 0;
    for (int n = 1; n <= idset_count(set); n++) {
        int other = entry_sequence(idset_get(set, n));
        if (other > sequence && !icon_seq_is_erased(other) && (kept == 0 || other < kept))
            kept = other;
    }
    erase_numbers(sequence, kept ? kept - 1 : 0);
    (void)idset_remove(set, entry);
}

void icon_erase_stop_media(IconId container, int moment)
{
    IconId sound = s_media.sound_icon ? s_media.sound_icon() : 0;
    IconId lead = sound ? child_on_path(container, sound) : 0;
    if (lead && icon_erase_moment(lead) <= moment && s_media.sound_stop)
        s_media.sound_stop();
    IconId video = s_media.video_icon ? s_media.video_icon() : 0;
    lead = video ? child_on_path(container, video) : 0;
    if (lead && icon_erase_moment(lead) <= moment && s_media.video_close_current)
        s_media.video_close_current();
}

IconId icon_innermost_container()
{
    const KernelContext& context = exec_context();
    if (context.state == kStatePieceEnded)
        return 0;
    int frame = context.depth;
    IconId icon = context.icon;
    // Bounded: a damaged frame must not send the walk round for ever.
    for (int steps = 0; icon && steps <= 0xFFFF; steps++) {
        if (node_icon_number(icon) == 1)
            return 0;
        PerpetualCallFrame call;
        if (frame > 0 && exec_frame(frame, &call) && call.response == icon) {
            icon = call.context.icon;
            frame--;
            continue;
        }
        if (node_is_container(icon))
            return icon;
        icon = node_parent(icon);
    }
    return 0;
}

void icon_erase_set_media_hooks(const EraseMediaHooks* hooks) { s_media = hooks ? *hooks : EraseMediaHooks {}; }

void icon_erase_install()
{
    icon_stats_install();
    ExecHooks exec = exec_hooks();
    exec.erase_on_exit = icon_erase_on_exit;
    exec.erase_response = erase_finished_child;
    exec.erase_option = icon_erase_moment;
    exec.seq_pending_collect = collect_pending;
    exec.seq_pending_renumber = renumber_pending;
    exec_set_hooks(&exec);
    IconKindHooks kinds = icon_kinds_hooks();
    kinds.erase_all_but = erase_all_but;
    kinds.erase_everything = dobj_erase_all;
    kinds.erase_icon_object = erase_icon_object;
    icon_kinds_set_hooks(&kinds);
    GotoHooks go = goto_hooks();
    go.erase_note_child = icon_erase_note_child;
    go.erase_by_sequence = dobj_erase_by_sequence;
    go.stop_media_of = stop_media_of;
    goto_set_hooks(&go);
}

void icon_erase_reset()
{
    s_media = {};
    icon_stats_reset();
}
