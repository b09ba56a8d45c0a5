// Any bytes as the four records of a saved stage: u16 length of the list record, u16 length of
// the objects' data, u16 length of their index, those three records, and the palette record in
// what is left. The stage is restored from them as a resume would (a Display icon's kind passes
// everything to the group; clocks have their own kind); then what came back is checked, walked,
// suspended, resumed, hit, ticked as clocks, purged and released.
#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

#include "platform/kernel/byte_io.h"
#include "runtime/display/dlist.h"
#include "runtime/display/dobj.h"
#include "runtime/display/dobj_icon.h"
#include "runtime/display/group.h"
#include "runtime/display/palette.h"
#include "runtime/display/screen_state.h"
#include "runtime/icons/icon_clock.h"

namespace {

void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

// Every object that came back is a whole icon object of a kind the table knows, or a deleted
// placeholder of the base kind.
void check_stage()
{
    DisplayList& stage = dlist_stage();
    if (!dlist_lock(stage))
        return;
    for (uint8_t* object = dlist_first(stage); object; object = dlist_next(object)) {
        if (dobj_kind(object) == kDobjKindIconWrapper)
            check(dobj_is_icon_object(object) && dobj_icon_kind_handler(object) < kDobjKindTableSize);
        else
            check(dobj_kind(object) == kDobjKindBase && (dobj_flags(object) & kDobjDeleted));
    }
    dlist_unlock(stage);
}

int32_t count(uint8_t*, void* data)
{
    ++*static_cast<int*>(data);
    return 0;
}

// The messages a restored clock hears next: the resume after the restore, hits, its task.
void exercise_clocks()
{
    for (int16_t resume : {0, 1}) {
        DisplayMsgArg arg;
        arg.sub_code = resume;
        dlist_broadcast(dlist_stage(), 0, 65, &arg);
    }
    IconObjectRef hit;
    dobj_icon_at_point(17, 17, hit);
    std::vector<IconId> clocks;
    DisplayList& stage = dlist_stage();
    if (dlist_lock(stage)) {
        for (uint8_t* object = dlist_first(stage); object; object = dlist_next(object))
            if (dobj_is_icon_object(object) && dobj_icon_object_kind(object) == kObjectKindClock)
                clocks.push_back(dobj_icon_of(object));
        dlist_unlock(stage);
    }
    for (IconId icon : clocks)
        (void)resp_clock_task(icon, 0);
    for (IconId icon : clocks)
        (void)resp_clock_time_remaining(icon);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static bool started = [] {
        dobj_register_kind(kKindDisplayIcon, group_handler);
        dobj_register_kind(kClockHandlerKind, resp_clock_handler);
        return true;
    }();
    (void)started;
    if (size < 6)
        return 0;
    std::span<const uint8_t> bytes(data, size);
    size_t lengths[3] = {plat::load_u16le(data), plat::load_u16le(data + 2), plat::load_u16le(data + 4)};
    std::span<const uint8_t> parts[3];
    size_t at = 6;
    for (int i = 0; i < 3; i++) {
        size_t length = std::min(lengths[i], size - at);
        parts[i] = bytes.subspan(at, length);
        at += length;
    }
    (void)pal_restore_entries(bytes.subspan(at));
    int error = screen_state_restore_from(parts[0], parts[1], parts[2], true);
    if (error)
        check(!dlist_stage().block);
    check_stage();
    exercise_clocks();
    int reached = 0;
    dobj_find_first(nullptr, count, &reached);
    dlist_purge_deleted(dlist_stage(), DlistWalk::forward);
    ModuleMessage release;
    release.message = kModRelease;
    screen_state_module_handler(&release);
    check(!dlist_stage().block);
    dlist_reset();
    pal_reset();
    return 0;
}
