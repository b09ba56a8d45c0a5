#include "runtime/display/screen_state.h"

#include <algorithm>
#include <vector>

#include "platform/kernel/byte_io.h"
#include "runtime/base/errcode.h"
#include "runtime/base/flex.h"
#include "runtime/base/mem.h"
#include "runtime/display/bmcache.h"
#include "runtime/display/dlist.h"
#include "runtime/display/dobj.h"
#include "runtime/display/dobj_focus.h"
#include "runtime/display/dobj_icon.h"
#include "runtime/display/group.h"
#include "runtime/display/palette.h"
#include "runtime/display/refresh.h"
#include "runtime/engine/kernel.h"
#include "runtime/engine/urec.h"
#include "runtime/pieces/piece_current.h"

namespace {

// Record numbers of the learner's records that hold the stage.
struct StateRecords {
    uint16_t list = 0;
    uint16_t data = 0;
    uint16_t index = 0;
    uint16_t palette = 0;
};

struct ModuleState {
    StateRecords records;
    ScreenStateHooks hooks{};
};

ModuleState s_state;

// Offsets of the small state.
enum : uint32_t {
    kStateList = 0,
    kStateData = 2,
    kStateIndex = 4,
    kStatePalette = 6,
    kStateFocusIcon = 8,
    kStateFocusKind = 12,
    kStateToldActive = 14,
    kStateNextId = 18,
};

constexpr size_t kFlexStep = 1024;
constexpr int kMsgSuspendResume = 65;
constexpr int kMsgSaveData = 66;
constexpr int kMsgRestoreData = 67;
constexpr int kMsgWindowShown = 38;
constexpr int kMsgWindowClosing = 39;

// What a Save gathers: the objects' pieces and their index.
struct SaveContext {
    FlexBuffer data;
    FlexBuffer index;
    uint32_t current = 0;
    int status = 0;
};

// What a Restore reads from: the data record and its checked index.
struct RestoreContext {
    std::span<const uint8_t> data;
    std::span<const uint8_t> index;
    uint32_t current = 0;
    int status = 0;
    std::vector<uint32_t> reached; // top-level objects that took their pieces back
};

} // namespace

void screen_state_set_hooks(const ScreenStateHooks& hooks) { s_state.hooks = hooks; }
const ScreenStateHooks& screen_state_hooks() { return s_state.hooks; }

static void call(void (*hook)())
{
    if (hook)
        hook();
}

// --- the small state ---------------------------------------------------------------------------

static void write_state(uint8_t* out, uint32_t next_id)
{
    FocusState focus = dobj_focus_state();
    plat::store_u16le(out + kStateList, s_state.records.list);
    plat::store_u16le(out + kStateData, s_state.records.data);
    plat::store_u16le(out + kStateIndex, s_state.records.index);
    plat::store_u16le(out + kStatePalette, s_state.records.palette);
    plat::store_u32le(out + kStateFocusIcon, focus.object.icon);
    plat::store_u16le(out + kStateFocusKind, focus.object.object_kind);
    plat::store_u32le(out + kStateToldActive, focus.told_active);
    plat::store_u32le(out + kStateNextId, next_id);
}

static uint32_t read_state(const uint8_t* in)
{
    s_state.records.list = plat::load_u16le(in + kStateList);
    s_state.records.data = plat::load_u16le(in + kStateData);
    s_state.records.index = plat::load_u16le(in + kStateIndex);
    s_state.records.palette = plat::load_u16le(in + kStatePalette);
    FocusState focus;
    focus.object.icon = plat::load_u32le(in + kStateFocusIcon);
    focus.object.object_kind = plat::load_u16le(in + kStateFocusKind);
    focus.told_active = 0; // the window has not told the object anything in this run
    dobj_set_focus_state(focus);
    return plat::load_u32le(in + kStateNextId);
}

// --- Save --------------------------------------------------------------------------------------

static int32_t write_piece(int tag, void* bytes, int32_t size, void* context)
{
    auto& save = *static_cast<SaveContext*>(context);
    uint32_t length = bytes && size > 0 ? uint32_t(size) : 0;
    uint8_t entry[kIndexEntrySize];
    plat::store_u32le(entry, save.current);
    plat::store_u32le(entry + 4, uint32_t(tag));
    plat::store_u32le(entry + 8, uint32_t(save.data.used));
    plat::store_u32le(entry + 12, length);
    if (!flex_append(save.index, entry, sizeof entry) || (length && !flex_append(save.data, bytes, length))) {
        save.status = kErrOutOfMemory;
        return kErrOutOfMemory;
    }
    return 0;
}

static int32_t save_object(uint8_t* object, void* context)
{
    auto& save = *static_cast<SaveContext*>(context);
    save.current = dobj_id(object);
    DisplayMsgArg arg;
    arg.caller_data = &save;
    arg.stream = write_piece;
    dobj_send(object, kMsgSaveData, &arg);
    if (arg.sub_code && !save.status)
        save.status = arg.sub_code;
    return save.status != 0; // nothing more is worth writing after a failure
}

static int store_flex(uint16_t number, FlexBuffer& buffer)
{
    size_t length = 0;
    MemHandle block = flex_finish(buffer, &length);
    if (!block)
        return kErrOutOfMemory;
    int error = urec_write(number, mem_address(block), length);
    mem_free(block);
    return error;
}

static int save_objects()
{
    SaveContext save;
    if (!flex_init(save.data, kFlexStep, kFlexStep) || !flex_init(save.index, kFlexStep, kFlexStep))
        save.status = kErrOutOfMemory;
    if (!save.status)
        dobj_find_first(&dlist_stage(), save_object, &save);
    if (save.status) {
        size_t ignored = 0;
        mem_free(flex_finish(save.data, &ignored));
        mem_free(flex_finish(save.index, &ignored));
        return save.status;
    }
    int error = store_flex(s_state.records.data, save.data);
    int index_error = store_flex(s_state.records.index, save.index);
    return error ? error : index_error;
}

// The stage's block as stored: icon objects name their kind by its table index in the tail.
static std::vector<uint8_t> stored_list()
{
    DisplayList& stage = dlist_stage();
    const uint8_t* base = stage.block ? static_cast<const uint8_t*>(mem_lock(stage.block)) : nullptr;
    if (!base)
        return {};
    std::vector<uint8_t> bytes(base, base + stage.used);
    mem_unlock(stage.block);
    for (uint32_t offset = 2; offset < bytes.size() && plat::load_u16le(&bytes[offset]) != 0;
         offset += dobj_length(&bytes[offset]) + 2u) {
        uint8_t* record = &bytes[offset];
        if (!dobj_is_icon_object(record)) {
            dobj_set_kind(record, kStoredForeignKind);
            continue;
        }
        plat::store_u32le(dobj_icon_tail(record) + kIconTailKind, dobj_handler_to_index(dobj_icon_kind_handler(record)));
        dobj_set_kind(record, 0);
    }
    return bytes;
}

static int save_state(ModuleMessage* message)
{
    if (!message->state || message->size != kPresentationStateSize)
        return kErrStateSize;
    screen_flush();
    // Taking the id spends it: ids handed out after a Restore never repeat a saved object's.
    write_state(message->state, dlist_next_id());
    std::vector<uint8_t> palette = pal_save_entries();
    if (palette.empty())
        return kErrOutOfMemory;
    if (int error = urec_write(s_state.records.palette, palette.data(), palette.size()))
        return error;
    if (int error = save_objects())
        return error;
    std::vector<uint8_t> list = stored_list();
    return urec_write(s_state.records.list, list.data(), list.size());
}

// --- Restore -----------------------------------------------------------------------------------

static int32_t read_piece(int tag, void*, int32_t, void* context)
{
    auto& restore = *static_cast<RestoreContext*>(context);
    for (size_t at = 0; at + kIndexEntrySize <= restore.index.size(); at += kIndexEntrySize) {
        const uint8_t* entry = restore.index.data() + at;
        if (plat::load_u32le(entry) != restore.current || plat::load_u32le(entry + 4) != uint32_t(tag))
            continue;
        uint32_t offset = plat::load_u32le(entry + 8);
        uint32_t length = plat::load_u32le(entry + 12);
        if (length == 0)
            return 0;
        MemHandle block = mem_alloc_copy(restore.data.data() + offset, length);
        if (!block)
            restore.status = kErrOutOfMemory;
        return int32_t(block.id);
    }
    return 0;
}

static int32_t restore_object(uint8_t* object, void* context)
{
    auto& restore = *static_cast<RestoreContext*>(context);
    restore.current = dobj_id(object);
    DisplayMsgArg arg;
    arg.caller_data = &restore;
    arg.stream = read_piece;
    arg.result = piece_slot();
    dobj_send(object, kMsgRestoreData, &arg);
    if (arg.sub_code && !restore.status)
        restore.status = arg.sub_code;
    dobj_set_list_word(object, kDobjUpdate, 0);
    dobj_set_list_word(object, kDobjDamage, 0);
    restore.reached.push_back(restore.current);
    return restore.status != 0;
}

// Every entry must lie inside the data: they are read without a second look.
static bool index_fits(std::span<const uint8_t> index, std::span<const uint8_t> data)
{
    if (index.size() % kIndexEntrySize != 0)
        return false;
    for (size_t at = 0; at < index.size(); at += kIndexEntrySize) {
        uint32_t offset = plat::load_u32le(index.data() + at + 8);
        uint32_t length = plat::load_u32le(index.data() + at + 12);
        if (offset > data.size() || length > data.size() - offset)
            return false;
    }
    return true;
}

// A kind built on a group keeps its member list between header and tail: a record without
// room for it cannot be one.
static bool fits_kind(const uint8_t* record, uint32_t kind)
{
    bool on_group = kind == kKindDisplayIcon || kind == kKindDrawingSurface;
    return !on_group || dobj_length(record) >= kDobjHeaderSize + kDlistHeaderSize + kIconTailSize;
}

static void make_placeholder(uint8_t* record)
{
    dobj_set_kind(record, kDobjKindBase);
    dobj_set_flags(record, uint16_t((dobj_flags(record) | kDobjDeleted) & ~kDobjVisible));
}

// Kinds back from their stored form; what is not a whole icon object of a known kind comes
// back as a deleted placeholder whose old handler never runs. The highest id is answered.
static uint32_t restore_kinds(uint8_t* bytes, uint32_t used)
{
    uint32_t highest = 0;
    for (uint32_t offset = 2; offset < used && plat::load_u16le(bytes + offset) != 0;
         offset += dobj_length(bytes + offset) + 2u) {
        uint8_t* record = bytes + offset;
        highest = std::max(highest, dobj_id(record));
        bool icon = dobj_kind(record) == 0 && dobj_length(record) >= kDobjHeaderSize + kIconTailSize;
        uint8_t* tail = icon ? record + dobj_length(record) - kIconTailSize : nullptr;
        uint32_t kind = icon ? dobj_index_to_handler(int32_t(plat::load_u32le(tail + kIconTailKind))) : 0;
        if (icon && fits_kind(record, kind)) {
            dobj_set_kind(record, kDobjKindIconWrapper);
            plat::store_u32le(tail + kIconTailKind, kind);
        } else {
            make_placeholder(record);
        }
        dobj_set_list_word(record, kDobjUpdate, 0);
        dobj_set_list_word(record, kDobjDamage, 0);
    }
    return highest;
}

// The restored objects' data is their own, the rest is last run's: the ones that took their
// pieces back are destroyed properly, the rest dropped unheard.
static void drop_stage(const std::vector<uint32_t>& reached)
{
    DisplayList& stage = dlist_stage();
    if (dlist_lock(stage)) {
        for (uint8_t* object = dlist_first(stage); object; object = dlist_next(object)) {
            bool took_back = std::find(reached.begin(), reached.end(), dobj_id(object)) != reached.end();
            if (took_back)
                dobj_send(object, kMsgDestroy, nullptr);
        }
        dlist_unlock(stage);
    }
    dlist_free(stage);
}

static void release_stage()
{
    DisplayMsgArg arg;
    dlist_broadcast(dlist_stage(), 0, kMsgDestroy, &arg);
    dlist_free(dlist_stage());
}

// The stage takes the stored block: 0, or 5001 when it is no list block.
static int take_list(std::span<const uint8_t> list, uint32_t& highest)
{
    release_stage();
    highest = 0;
    if (list.empty())
        return 0;
    if (list.size() > UINT32_MAX || !dlist_check_block(list.data(), uint32_t(list.size())))
        return kErrStateSize;
    MemHandle block = mem_alloc_copy(list.data(), list.size());
    uint8_t* bytes = block ? static_cast<uint8_t*>(mem_lock(block)) : nullptr;
    if (!bytes) {
        mem_free(block);
        return kErrOutOfMemory;
    }
    highest = restore_kinds(bytes, uint32_t(list.size()));
    mem_unlock(block);
    DisplayList& stage = dlist_stage();
    stage.block = block;
    stage.used = uint32_t(list.size());
    return 0;
}

int screen_state_restore_from(std::span<const uint8_t> list, std::span<const uint8_t> data,
    std::span<const uint8_t> index, bool objects_present)
{
    uint32_t highest = 0;
    int error = take_list(list, highest);
    if (!error && !objects_present)
        error = kErrObjectRecordsMissing;
    if (!error && !index_fits(index, data))
        error = kErrStateSize;
    RestoreContext restore;
    if (!error) {
        restore.data = data;
        restore.index = index;
        dobj_find_first(&dlist_stage(), restore_object, &restore);
        error = restore.status;
    }
    if (error) {
        drop_stage(restore.reached);
        return error;
    }
    if (dlist_next_id() <= highest) {
        dlist_set_next_id(highest + 1);
    }
    return 0;
}

static int restore_state(ModuleMessage* message)
{
    if (message->size != kPresentationStateSize || !message->state)
        return kErrStateSize;
    uint32_t next_id = read_state(message->state);
    screen_pending_transition().effect = 0;
    dlist_set_next_id(next_id == 0 ? 1 : next_id);
    std::vector<uint8_t> palette;
    if (urec_read(s_state.records.palette, palette) || !pal_restore_entries(palette))
        return kErrOutOfMemory;
    std::vector<uint8_t> list, data, index;
    if (urec_read(s_state.records.list, list)) {
        release_stage();
        return kErrOutOfMemory;
    }
    bool present = urec_read(s_state.records.data, data) == 0 && urec_read(s_state.records.index, index) == 0;
    return screen_state_restore_from(list, data, index, present);
}

// --- the other module messages -----------------------------------------------------------------

static void broadcast(int message, int16_t sub_code)
{
    DisplayMsgArg arg;
    arg.sub_code = sub_code;
    dlist_broadcast(dlist_stage(), 0, message, &arg);
}

static int init_state(ModuleMessage* message)
{
    s_state.records.list = urec_new_id();
    s_state.records.data = urec_new_id();
    s_state.records.index = urec_new_id();
    s_state.records.palette = urec_new_id();
    pal_use_piece_palette();
    screen_pending_transition().effect = -1;
    dobj_erase_all();
    dobj_set_pointer_tracking(false);
    message->size = kPresentationStateSize;
    if (message->state)
        write_state(message->state, 0);
    return 0;
}

static void release_state()
{
    release_stage();
    (void)bmcache_flush();
    call(s_state.hooks.resp_button_forget_current);
    call(s_state.hooks.icon_asset_cache_flush);
}

static void delete_state()
{
    dobj_erase_all();
    (void)bmcache_flush();
    call(s_state.hooks.resp_button_forget_current);
    (void)urec_delete(s_state.records.list);
    (void)urec_delete(s_state.records.data);
    (void)urec_delete(s_state.records.index);
    call(s_state.hooks.icon_asset_cache_flush);
}

static void window_shown()
{
    if (!exec_suspended())
        call(s_state.hooks.motion_task_start);
    broadcast(kMsgWindowShown, 0);
}

static void window_closing()
{
    broadcast(kMsgWindowClosing, 0);
    dlist_purge_deleted(dlist_stage(), DlistWalk::forward);
    call(s_state.hooks.motion_task_stop);
}

int screen_state_module_handler(ModuleMessage* message)
{
    switch (message->message) {
    case kModInit: return init_state(message);
    case kModRestore: return restore_state(message);
    case kModSave: return save_state(message);
    case kModRelease: release_state(); return 0;
    case kModDelete: delete_state(); return 0;
    case kModSuspend:
        broadcast(kMsgSuspendResume, 0);
        call(s_state.hooks.motion_task_stop);
        return 0;
    case kModResume:
        broadcast(kMsgSuspendResume, 1);
        if (screen_window())
            call(s_state.hooks.motion_task_start);
        return 0;
    case kModAppActivate: dobj_focus_activation(1); return 0;
    case kModAppDeactivate: dobj_focus_activation(0); return 0;
    case kModWindowShown: window_shown(); return 0;
    case kModWindowClosing: window_closing(); return 0;
    default: return 0;
    }
}

// --- start-up ----------------------------------------------------------------------------------

static void focus_get(IconObjectRef& out)
{
    FocusObject focus = dobj_get_focus();
    out.icon = focus.icon;
    out.object_kind = focus.object_kind;
}

void screen_state_init()
{
    modmsg_register(kSlotPresentation, screen_state_module_handler);
    DobjIconHooks icons = dobj_icon_hooks();
    icons.focus_get = focus_get;
    icons.focus_set = dobj_set_focus;
    dobj_set_icon_hooks(icons);
}

void screen_state_reset()
{
    s_state = ModuleState{};
    dobj_focus_reset();
}
