#include "runtime/engine/trig.h"

#include "platform/kernel/byte_io.h"
#include "runtime/base/errcode.h"
#include "runtime/base/key.h"
#include "runtime/calc/calc_hooks.h"
#include "runtime/calc/value.h"
#include "runtime/engine/exec_hooks.h"
#include "runtime/engine/exec_task.h"
#include "runtime/engine/icon_props.h"
#include "runtime/engine/icon_state.h"
#include "runtime/engine/trig_block.h"
#include "runtime/engine/urec.h"
#include "runtime/engine/var.h"
#include "runtime/nodes/node_group.h"
#include "runtime/pieces/lib.h"
#include "runtime/pieces/piece_current.h"
#include "runtime/store/swap.h"

#include <bitset>
#include <cstring>
#include <vector>

namespace {

constexpr uint16_t kLastUserVariable = 8192;
constexpr uint16_t kFirstSystemVariable = 8193;
constexpr uint16_t kLastSystemVariable = 12288;
constexpr int32_t kVarLayer = 8347; // the system variable Layer
constexpr size_t kWalkReserve = 264;
// A signalled Ctrl key also matches a dependency on the Command key of the other platform.
constexpr int32_t kKeyControl = 0x10011;
constexpr int32_t kKeyCommand = 0x1005F;
constexpr uint16_t kModuleFlags = 0x000F;
constexpr size_t kNotFound = size_t(-1);

struct TrigModule {
    TrigBlock block;
    uint16_t record = 0;
    uint32_t mask = 0; // the union of the live triggers' masks
    bool dirty = false;
    bool variables_changed = false;
    std::bitset<kLastUserVariable> user_changed; // bit n - 1 for variable n
    std::bitset<kLastSystemVariable - kLastUserVariable> system_changed;
    TrigHandler handlers[kTrigPluginMedia + 1] = {};
};

TrigModule s_trig;

uint32_t event_bit(int event) { return event > 0 && event < 32 ? 1u << event : 0; }
bool in_global_mask(int event) { return (s_trig.mask & event_bit(event)) != 0; }

// Dependencies whose value is an icon of the holding icon's file.
bool icon_valued(int event)
{
    switch (event) {
    case kTrigIconDone:
    case kTrigMotion:
    case kTrigDisplayObject:
    case kTrigEntryText:
    case kTrigRunState:
    case kTrigMovie:
    case kTrigSound:
    case kTrigVideo:
    case kTrigMedia: return true;
    default: return false;
    }
}

// A walk over the records; compaction waits until the outermost walk ends.
struct Walk {
    Walk() { s_trig.block.walk_depth++; }
    ~Walk() { s_trig.block.walk_depth--; }
    Walk(const Walk&) = delete;
    Walk& operator=(const Walk&) = delete;
};

template <typename Visit> void for_each_live(Visit visit)
{
    TrigBlock& b = s_trig.block;
    if (b.bytes.empty())
        return;
    Walk walk;
    // The block may grow under a handler: the offset stays good, the end record moves on. A
    // handler that closes the records empties the block, which ends the walk.
    for (size_t at = tblock_first(b); at < b.used && !tblock_at_end(b, at);) {
        if (tblock_live(b, at))
            visit(at);
        if (at >= b.used)
            break;
        at = tblock_next(b, at);
    }
}

size_t find(IconId context, uint16_t property, const int32_t* argument)
{
    size_t found = kNotFound;
    for_each_live([&](size_t at) {
        const TrigBlock& b = s_trig.block;
        if (found == kNotFound && tblock_u32(b, at, kTrigAtContext) == context
            && tblock_u16(b, at, kTrigAtProperty) == property
            && (!argument || int32_t(tblock_u32(b, at, kTrigAtArgument)) == *argument))
            found = at;
    });
    return found;
}

size_t find_first_argument(IconId context, uint16_t property)
{
    const int32_t zero = 0;
    return find(context, property, &zero);
}

// Whether the record at is a live trigger still (a handler may delete it, or empty the block).
bool still_live(size_t at) { return at < s_trig.block.used && tblock_live(s_trig.block, at); }

void rebuild_mask()
{
    uint32_t mask = 0;
    for_each_live([&](size_t at) { mask |= tblock_u32(s_trig.block, at, kTrigAtMask); });
    s_trig.mask = mask;
}

void free_held(size_t at)
{
    TrigBlock& b = s_trig.block;
    uint16_t flags = tblock_flags(b, at);
    if (flags & kTrigHeld) {
        ScriptValue held = tblock_held(b, at);
        val_free(held);
    }
    tblock_set_held(b, at, ScriptValue {});
    tblock_set_flags(b, at, uint16_t(flags & ~kTrigHeld));
}

} // namespace

// --- handlers and evaluation ------------------------------------------------------------------

void trig_set_handler(int kind, TrigHandler handler)
{
    if (kind >= kTrigResponse && kind <= kTrigPluginMedia)
        s_trig.handlers[kind] = handler;
}

static void make_logical(ScriptValue& value)
{
    int truth = val_is_true(value) ? 1 : 0;
    val_free(value);
    val_set_integer(truth, value);
}

// Hands a changed value to the kind's handler, which may delete the trigger; the value is
// held afterwards when the trigger still exists.
static void apply_value(size_t at, ScriptValue& value)
{
    TrigBlock& b = s_trig.block;
    uint16_t flags = tblock_flags(b, at);
    tblock_set_flags(b, at, uint16_t(flags | kTrigRunning));
    TrigHandler handler = s_trig.handlers[tblock_kind(b, at)];
    if (handler)
        handler(tblock_u32(b, at, kTrigAtContext), tblock_u16(b, at, kTrigAtProperty), &value,
            int32_t(tblock_u32(b, at, kTrigAtArgument)));
    if (!still_live(at)) {
        val_free(value);
        return;
    }
    tblock_set_flags(b, at, uint16_t(tblock_flags(b, at) & ~kTrigRunning));
    free_held(at);
    tblock_set_held(b, at, value);
    tblock_set_flags(b, at, uint16_t(tblock_flags(b, at) | kTrigHeld));
}

static void eval_one(size_t at)
{
    TrigBlock& b = s_trig.block;
    uint16_t flags = tblock_flags(b, at);
    if ((flags & (kTrigRunning | kTrigRefused)) || !tblock_live(b, at))
        return;
    Walk walk; // the record stays where it is while the expression and the handler run
    IconId context = tblock_u32(b, at, kTrigAtContext);
    ScriptValue value;
    var_set_eval_context(context);
    (void)icon_eval_property(tblock_u32(b, at, kTrigAtHolder), tblock_u16(b, at, kTrigAtProperty), value);
    var_set_eval_context(0);
    if (flags & kTrigLogical)
        make_logical(value);
    if (!still_live(at)) {
        val_free(value);
        return;
    }
    if (tblock_flags(b, at) & kTrigHeld) {
        ScriptValue held = tblock_held(b, at);
        if (val_equal(held, value)) {
            val_free(value);
            return;
        }
    }
    apply_value(at, value);
}

// --- dependencies -------------------------------------------------------------------------------

static bool depends(size_t at, int event, int32_t value)
{
    const TrigBlock& b = s_trig.block;
    if (!(tblock_u32(b, at, kTrigAtMask) & event_bit(event)))
        return false;
    for (size_t i = 0, n = tblock_dep_count(b, at); i < n; i++) {
        TrigDep dep = tblock_dep(b, at, i);
        if (dep.event != event)
            continue;
        if (dep.value == value || dep.value == 0 || value == 0)
            return true;
        if ((event == kTrigKeyDown || event == kTrigKeyChar) && value == kKeyControl && dep.value == kKeyCommand)
            return true;
    }
    return false;
}

static bool variable_changed(int32_t id)
{
    if (id == 0)
        return true; // a dependency on every variable
    if (id >= 1 && id <= kLastUserVariable)
        return s_trig.user_changed.test(size_t(id - 1));
    if (id >= kFirstSystemVariable && id <= kLastSystemVariable)
        return s_trig.system_changed.test(size_t(id - kFirstSystemVariable));
    return false;
}

static bool depends_on_changed_variable(size_t at)
{
    const TrigBlock& b = s_trig.block;
    if (!(tblock_u32(b, at, kTrigAtMask) & event_bit(kTrigVariable)))
        return false;
    for (size_t i = 0, n = tblock_dep_count(b, at); i < n; i++) {
        TrigDep dep = tblock_dep(b, at, i);
        if (dep.event == kTrigVariable && variable_changed(dep.value))
            return true;
    }
    return false;
}

static void note_variable(int32_t id)
{
    if (id >= 1 && id <= kLastUserVariable)
        s_trig.user_changed.set(size_t(id - 1));
    else if (id >= kFirstSystemVariable && id <= kLastSystemVariable)
        s_trig.system_changed.set(size_t(id - kFirstSystemVariable));
    else
        return; // custom variables have no bit
    s_trig.variables_changed = true;
    s_trig.dirty = true;
}

static void clear_variable_bits()
{
    s_trig.user_changed.reset();
    s_trig.system_changed.reset();
    s_trig.variables_changed = false;
}

// --- events -------------------------------------------------------------------------------------

void trig_fire(int event, int32_t value)
{
    if (!in_global_mask(event))
        return;
    if (s_trig.block.walk_depth == 0)
        (void)tblock_reserve(s_trig.block, kWalkReserve);
    for_each_live([&](size_t at) {
        if (depends(at, event, value))
            eval_one(at);
    });
}

static void set_dirty(size_t at)
{
    tblock_set_flags(s_trig.block, at, uint16_t(tblock_flags(s_trig.block, at) | kTrigDirty));
    s_trig.dirty = true;
}

void trig_mark(int event, int32_t value)
{
    if (!in_global_mask(event))
        return;
    if (event == kTrigVariable) {
        note_variable(value);
        return;
    }
    for_each_live([&](size_t at) {
        if (depends(at, event, value))
            set_dirty(at);
    });
}

void trig_mark_variable(IconId, uint16_t variable)
{
    if (in_global_mask(kTrigVariable))
        note_variable(variable);
}

int trig_dirty() { return s_trig.dirty ? 1 : 0; }

void trig_update()
{
    if (!s_trig.dirty)
        return;
    s_trig.dirty = false;
    if (s_trig.variables_changed) {
        for_each_live([&](size_t at) {
            if (!(tblock_flags(s_trig.block, at) & kTrigDirty) && depends_on_changed_variable(at))
                tblock_set_flags(s_trig.block, at, uint16_t(tblock_flags(s_trig.block, at) | kTrigDirty));
        });
        clear_variable_bits();
    }
    for_each_live([&](size_t at) {
        uint16_t flags = tblock_flags(s_trig.block, at);
        if (!(flags & kTrigDirty))
            return;
        // Cleared first: a handler that marks it again gets another evaluation later.
        tblock_set_flags(s_trig.block, at, uint16_t(flags & ~kTrigDirty));
        eval_one(at);
    });
}

void trig_signal_display_change(IconId icon)
{
    trig_mark(kTrigVariable, kVarLayer);
    trig_mark(kTrigDisplayObject, int32_t(icon));
}

// --- registration -------------------------------------------------------------------------------

// The stored dependency list of the property: false when missing or not 12 + 10n bytes.
static bool read_list(IconId holder, uint16_t property, std::vector<uint8_t>& out)
{
    return node_prop_bytes(holder, uint16_t(property + kTrigListTagOffset), out)
        && tblock_list_deps(out.size()) >= 0;
}

static std::vector<uint8_t> build_record(
    int kind, IconId holder, IconId context, uint16_t property, uint16_t flags, int32_t argument, const std::vector<uint8_t>& list)
{
    size_t length = kTrigRecordHeadSize - kTrigListHeadSize + list.size();
    std::vector<uint8_t> record(length, 0);
    uint8_t* r = record.data();
    plat::store_u16le(r + kTrigAtLength, uint16_t(length));
    plat::store_u32le(r + kTrigAtKind, uint32_t(kind));
    plat::store_u32le(r + kTrigAtHolder, holder);
    plat::store_u16le(r + kTrigAtProperty, property);
    plat::store_u16le(r + kTrigAtFlags, uint16_t(flags & ~kModuleFlags));
    plat::store_u32le(r + kTrigAtArgument, uint32_t(argument));
    plat::store_u32le(r + kTrigAtContext, context);
    std::memcpy(r + kTrigAtPeriod, list.data() + 4, list.size() - 4);
    // Every dependency's event counts, whatever mask the list gives.
    uint32_t mask = plat::load_u32le(list.data() + 8);
    for (size_t at = kTrigListHeadSize; at < list.size(); at += kTrigDepSize)
        mask |= event_bit(plat::load_u16le(list.data() + at));
    plat::store_u32le(r + kTrigAtMask, mask);
    return record;
}

// A library's variable becomes the running piece's variable of the same name; without one
// the dependency can never be signalled and is made inert.
static void bind_variable(TrigDep& dep, int holder_slot)
{
    int piece = piece_slot();
    if (piece == 0 || holder_slot == piece || dep.value < 1 || dep.value > kLastUserVariable)
        return;
    VariableId mapped = var_map_to_file(holder_slot, VariableId(dep.value), piece);
    if (mapped == 0) {
        dep.event = 0;
        return;
    }
    dep.value = mapped;
    dep.context = int32_t(node_make_icon(uint32_t(piece), 0));
}

static void bind_dependencies(size_t at, IconId holder)
{
    TrigBlock& b = s_trig.block;
    uint32_t slot = node_icon_slot(holder);
    for (size_t i = 0, n = tblock_dep_count(b, at); i < n; i++) {
        TrigDep dep = tblock_dep(b, at, i);
        if (dep.event == kTrigVariable) {
            bind_variable(dep, int(slot));
        } else if (icon_valued(dep.event) && dep.value != 0) {
            dep.value = int32_t(node_make_icon(slot, uint32_t(dep.value)));
            if (dep.event == kTrigRunState && node_is_valid(IconId(dep.value)))
                icon_state_set_flags(IconId(dep.value), uint8_t(icon_state_flags(IconId(dep.value)) | kIconNotify));
        }
        tblock_set_dep(b, at, i, dep);
    }
}

int trig_register(int kind, IconId icon, uint16_t property, uint16_t flags, int32_t argument)
{
    if (kind < kTrigResponse || kind > kTrigPluginMedia || property > 0xFFFF - kTrigListTagOffset
        || s_trig.block.bytes.empty())
        return 0;
    IconId holder = lib_resolve_icon_for_attr(icon, property);
    std::vector<uint8_t> list;
    if (holder == 0 || !read_list(holder, property, list))
        return 0;
    if (find(icon, property, &argument) != kNotFound)
        return 1;
    tblock_compact(s_trig.block);
    std::vector<uint8_t> record = build_record(kind, holder, icon, property, flags, argument, list);
    size_t at = 0;
    if (!tblock_insert(s_trig.block, record.data(), record.size(), &at))
        return 0;
    bind_dependencies(at, holder);
    s_trig.mask |= tblock_u32(s_trig.block, at, kTrigAtMask);
    uint32_t period = tblock_u32(s_trig.block, at, kTrigAtPeriod);
    if (period)
        (void)task_add(kTaskTrigger, icon, property, period);
    return 1;
}

// --- deletion -----------------------------------------------------------------------------------

// Whether a live trigger still watches the icon's run state.
static bool run_state_watched(IconId icon)
{
    bool watched = false;
    for_each_live([&](size_t at) {
        const TrigBlock& b = s_trig.block;
        for (size_t i = 0, n = tblock_dep_count(b, at); i < n && !watched; i++) {
            TrigDep dep = tblock_dep(b, at, i);
            watched = dep.event == kTrigRunState && dep.value == int32_t(icon);
        }
    });
    return watched;
}

static void delete_at(size_t at)
{
    TrigBlock& b = s_trig.block;
    b.needs_compaction = true;
    free_held(at);
    tblock_put_u32(b, at, kTrigAtKind, uint32_t(kTrigDeleted));
    tblock_set_flags(b, at, uint16_t(tblock_flags(b, at) & ~kTrigDirty));
    if (!(tblock_u32(b, at, kTrigAtMask) & event_bit(kTrigRunState)))
        return;
    for (size_t i = 0, n = tblock_dep_count(b, at); i < n; i++) {
        TrigDep dep = tblock_dep(b, at, i);
        IconId icon = IconId(dep.value);
        if (dep.event == kTrigRunState && icon != 0 && !run_state_watched(icon))
            icon_state_set_flags(icon, uint8_t(icon_state_flags(icon) & ~kIconNotify));
    }
}

void trig_unregister(IconId context, int kind)
{
    for_each_live([&](size_t at) {
        if (tblock_u32(s_trig.block, at, kTrigAtContext) == context && tblock_kind(s_trig.block, at) == kind)
            delete_at(at);
    });
    rebuild_mask();
}

void trig_unregister_property(IconId context, uint16_t property)
{
    for_each_live([&](size_t at) {
        if (tblock_u32(s_trig.block, at, kTrigAtContext) == context && tblock_u16(s_trig.block, at, kTrigAtProperty) == property)
            delete_at(at);
    });
    rebuild_mask();
}

static void delete_all()
{
    for_each_live([](size_t at) { delete_at(at); });
    s_trig.mask = 0;
}

// --- one trigger --------------------------------------------------------------------------------

int trig_get_held(IconId context, uint16_t property, ScriptValue& out)
{
    val_init(out);
    size_t at = find_first_argument(context, property);
    if (at == kNotFound || !(tblock_flags(s_trig.block, at) & kTrigHeld))
        return 0;
    return val_copy(out, tblock_held(s_trig.block, at)) == 0 ? 1 : 0;
}

int trig_set_held(IconId context, uint16_t property, const ScriptValue& value)
{
    size_t at = find_first_argument(context, property);
    ScriptValue copy;
    if (at == kNotFound || val_copy(copy, value) != 0)
        return 0;
    free_held(at);
    tblock_set_held(s_trig.block, at, copy);
    tblock_set_flags(s_trig.block, at, uint16_t(tblock_flags(s_trig.block, at) | kTrigHeld));
    return 1;
}

int trig_get_flags(IconId context, uint16_t property)
{
    size_t at = find_first_argument(context, property);
    return at == kNotFound ? 0 : tblock_flags(s_trig.block, at);
}

int trig_set_flags(IconId context, uint16_t property, uint16_t flags)
{
    size_t at = find_first_argument(context, property);
    if (at == kNotFound)
        return 0;
    uint16_t own = tblock_flags(s_trig.block, at) & kModuleFlags;
    tblock_set_flags(s_trig.block, at, uint16_t((flags & ~kModuleFlags) | own));
    return 1;
}

int trig_mark_property(IconId context, uint16_t property)
{
    size_t at = find_first_argument(context, property);
    if (at == kNotFound)
        return 0;
    set_dirty(at);
    return 1;
}

int trig_task(uint32_t context, uint32_t property)
{
    size_t at = property <= 0xFFFF ? find(context, uint16_t(property), nullptr) : kNotFound;
    if (at == kNotFound)
        return 0;
    {
        Walk walk;
        eval_one(at);
    }
    bool exists = still_live(at);
    tblock_compact(s_trig.block);
    return exists ? 1 : 0;
}

// --- stored lists of the other byte order ---------------------------------------------------------

int trig_swap(uint8_t* list, size_t length, int to_native)
{
    int count = tblock_list_deps(length);
    if (!list || count < 0)
        return kErrFileDamaged;
    int changed = 0;
    for (size_t at = 0; at < kTrigListHeadSize; at += 4)
        plat::store_u32le(list + at, swap_bytes32(plat::load_u32le(list + at)));
    for (size_t at = kTrigListHeadSize; at < length; at += kTrigDepSize) {
        uint16_t event = plat::load_u16le(list + at);
        if (to_native)
            event = swap_bytes16(event);
        uint32_t value = plat::load_u32le(list + at + 2);
        if (to_native)
            value = swap_bytes32(value);
        if (event == kTrigKeyDown || event == kTrigKeyChar) {
            // Pieces of the other byte order come from the other platform and its key numbers.
            uint32_t key = to_native ? key_translate_code(value, kKeyPlatformMac, kKeyPlatformWindows)
                                     : key_translate_code(value, kKeyPlatformWindows, kKeyPlatformMac);
            changed |= key != value;
            value = key;
        }
        if (!to_native)
            value = swap_bytes32(value);
        plat::store_u16le(list + at, swap_bytes16(plat::load_u16le(list + at)));
        plat::store_u32le(list + at + 2, value);
        plat::store_u32le(list + at + 6, swap_bytes32(plat::load_u32le(list + at + 6)));
    }
    return changed;
}

static int swap_hook(uint16_t, uint8_t* data, size_t length, int to_native)
{
    if (!swap_enabled())
        return 0;
    int result = trig_swap(data, length, to_native);
    return result == kErrFileDamaged ? result : 0;
}

// --- slot 4 -------------------------------------------------------------------------------------

static void write_state(uint8_t* state)
{
    plat::store_u32le(state, 0); // the handle slot means nothing in another run
    plat::store_u16le(state + 4, s_trig.record);
    plat::store_u16le(state + 6, s_trig.block.used);
    plat::store_u16le(state + 8, uint16_t(s_trig.block.bytes.size()));
    plat::store_u32le(state + 10, s_trig.mask);
}

// Frees what the held values own and forgets the block, leaving notify bits as they are.
static void forget_block()
{
    for_each_live([](size_t at) { free_held(at); });
    TrigHandler handlers[kTrigPluginMedia + 1];
    std::memcpy(handlers, s_trig.handlers, sizeof handlers);
    int walk_depth = s_trig.block.walk_depth; // walks in progress end as they unwind
    s_trig = TrigModule {};
    std::memcpy(s_trig.handlers, handlers, sizeof handlers);
    s_trig.block.walk_depth = walk_depth;
}

static int trig_init(ModuleMessage* message)
{
    forget_block();
    tblock_init(s_trig.block);
    s_trig.record = urec_new_id();
    if (s_trig.record == 0)
        return kErrOutOfMemory;
    message->size = int16_t(kTrigStateSize);
    if (message->state)
        write_state(message->state);
    return urec_write(s_trig.record, s_trig.block.bytes.data(), s_trig.block.used);
}

static int trig_save(ModuleMessage* message)
{
    if (message->size != int16_t(kTrigStateSize) || !message->state)
        return kErrStateSize;
    tblock_compact(s_trig.block);
    write_state(message->state);
    return urec_write(s_trig.record, s_trig.block.bytes.data(), s_trig.block.used);
}

// Stored held values name memory of another run: every trigger forgets its value (so that the
// next evaluation calls its handler) and a handler that was running then is not now.
static void forget_held_values()
{
    TrigBlock& b = s_trig.block;
    for (size_t at = tblock_first(b); !tblock_at_end(b, at); at = tblock_next(b, at)) {
        tblock_set_held(b, at, ScriptValue {});
        tblock_set_flags(b, at, uint16_t(tblock_flags(b, at) & ~(kTrigHeld | kTrigRunning)));
        if (tblock_kind(b, at) == kTrigDeleted)
            b.needs_compaction = true;
    }
}

static int trig_restore(ModuleMessage* message)
{
    if (message->size != int16_t(kTrigStateSize) || !message->state)
        return kErrStateSize;
    uint16_t record = plat::load_u16le(message->state + 4);
    uint16_t used = plat::load_u16le(message->state + 6);
    std::vector<uint8_t> bytes;
    if (record == 0 || urec_read(record, bytes) != 0 || bytes.empty())
        return kErrOutOfMemory;
    if (bytes.size() != used || !tblock_check(bytes.data(), used))
        return kErrStateSize;
    forget_block();
    s_trig.block.bytes = std::move(bytes);
    s_trig.block.used = used;
    s_trig.record = record;
    forget_held_values();
    rebuild_mask();
    s_trig.dirty = true;
    urec_release(record);
    return 0;
}

static void release_block(bool delete_record)
{
    delete_all();
    if (s_trig.record && delete_record)
        (void)urec_delete(s_trig.record);
    else if (s_trig.record)
        urec_release(s_trig.record);
    forget_block();
}

int trig_module(ModuleMessage* message)
{
    switch (message->message) {
    case kModInit: return trig_init(message);
    case kModRestore: return trig_restore(message);
    case kModSave: return trig_save(message);
    case kModRelease: release_block(false); return 0;
    case kModDelete: release_block(true); return 0;
    default: return 0;
    }
}

// --- hooks --------------------------------------------------------------------------------------

static void fire_hook(int event, IconId icon) { trig_fire(event, int32_t(icon)); }

// A list held by a variable changed.
static void list_holder_hook(uint32_t variable, uint16_t)
{
    if (variable <= 0xFFFF)
        trig_mark_variable(0, uint16_t(variable));
}

static void var_mark_hook(uint32_t context, VariableId id) { trig_mark_variable(context, id); }
static void var_event_hook(int event, uint32_t value) { trig_mark(event, int32_t(value)); }
// The changed-variable bits live and die with the variable store.
static int var_bits_hook()
{
    clear_variable_bits();
    return 1;
}
static void var_bits_free_hook() { clear_variable_bits(); }

static void set_hooks(bool on)
{
    ExecHooks exec = exec_hooks();
    exec.trig_dirty = on ? trig_dirty : nullptr;
    exec.trig_update = on ? trig_update : nullptr;
    exec.trig_fire = on ? fire_hook : nullptr;
    exec_set_hooks(&exec);
    CalcHooks calc = calc_hooks();
    calc.trig_mark_variable = on ? list_holder_hook : nullptr;
    calc_set_hooks(&calc);
    VarHooks vars = var_hooks();
    vars.trig_mark_variable = on ? var_mark_hook : nullptr;
    vars.trig_mark = on ? var_event_hook : nullptr;
    vars.trig_bits_create = on ? var_bits_hook : nullptr;
    vars.trig_bits_free = on ? var_bits_free_hook : nullptr;
    var_set_hooks(&vars);
    task_set_function(kTaskTrigger, on ? trig_task : nullptr);
    swap_set_hook(kSwapHookTrigger, on ? swap_hook : nullptr);
}

void trig_install()
{
    modmsg_register(kSlotTriggers, trig_module);
    set_hooks(true);
}

void trig_reset()
{
    set_hooks(false);
    forget_block();
    s_trig = TrigModule {};
}

TrigInfo trig_info()
{
    TrigInfo info;
    for_each_live([&](size_t) { info.live++; });
    info.used = s_trig.block.used;
    info.capacity = uint16_t(s_trig.block.bytes.size());
    info.mask = s_trig.mask;
    info.record = s_trig.record;
    return info;
}
