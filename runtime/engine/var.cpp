#include "runtime/engine/var.h"

#include "platform/kernel/byte_io.h"
#include "platform/kernel/codepage.h"
#include "runtime/base/errcode.h"
#include "runtime/calc/list_table.h"
#include "runtime/calc/names.h"
#include "runtime/engine/fields.h"
#include "runtime/engine/urec.h"
#include "runtime/engine/var_internal.h"
#include "runtime/engine/var_names.h"
#include "runtime/nodes/node_files.h"
#include "runtime/pieces/piece_current.h"
#include "runtime/store/rec_store.h"

#include <algorithm>
#include <cstring>

VarState s_var;

namespace {

VarHooks s_hooks {};

} // namespace

void var_set_hooks(const VarHooks* hooks) { s_hooks = hooks ? *hooks : VarHooks {}; }
const VarHooks& var_hooks() { return s_hooks; }

int var_id_class(uint32_t id)
{
    if (id >= 1 && id <= kVarLastUser)
        return kVarClassUser;
    if (id > kVarLastUser && id <= kVarLastSystem)
        return kVarClassSystem;
    if (id > kVarLastSystem && id <= kVarLastCustom)
        return kVarClassCustom;
    return kVarClassNone;
}

int var_store_open() { return s_var.open ? 1 : 0; }

uint32_t var_piece_root() { return uint32_t(piece_slot()) << 16; }

// --- value items ------------------------------------------------------------------------------

static void item_pack(uint8_t* item, uint32_t context, VariableId id, const ScriptValue& value)
{
    plat::store_u32le(item, context);
    plat::store_u16le(item + 4, id);
    std::memcpy(item + 6, value.bytes, 16);
}

static bool item_before(const VarItem& x, const VarItem& y)
{
    uint32_t cx = plat::load_u32le(x.bytes), cy = plat::load_u32le(y.bytes);
    if (cx != cy)
        return cx < cy;
    return plat::load_u16le(x.bytes + 4) < plat::load_u16le(y.bytes + 4);
}

void var_items_sort() { std::stable_sort(s_var.items.begin(), s_var.items.end(), item_before); }
void var_item_get(uint32_t n, uint8_t* out) { std::memcpy(out, s_var.items[n - 1].bytes, kVarItemSize); }
void var_item_set(uint32_t n, const uint8_t* item) { std::memcpy(s_var.items[n - 1].bytes, item, kVarItemSize); }

uint32_t var_item_find(uint32_t context, VariableId id, ScriptValue* out)
{
    if (!s_var.open)
        return 0;
    VarItem key {};
    ScriptValue empty;
    val_init(empty);
    item_pack(key.bytes, context, id, empty);
    auto at = std::lower_bound(s_var.items.begin(), s_var.items.end(), key, item_before);
    if (at == s_var.items.end() || item_before(key, *at))
        return 0;
    if (out)
        std::memcpy(out->bytes, at->bytes + 6, 16);
    return uint32_t(at - s_var.items.begin()) + 1;
}

int var_item_put(uint32_t context, VariableId id, const ScriptValue& value)
{
    VarItem item;
    item_pack(item.bytes, context, id, value);
    if (uint32_t index = var_item_find(context, id, nullptr)) {
        var_item_set(index, item.bytes);
        return 1;
    }
    if (!s_var.open)
        return 0;
    s_var.items.insert(std::upper_bound(s_var.items.begin(), s_var.items.end(), item, item_before), item);
    return 1;
}

void var_item_delete(uint32_t context, VariableId id)
{
    if (uint32_t index = var_item_find(context, id, nullptr))
        s_var.items.erase(s_var.items.begin() + (index - 1));
}

uint32_t var_item_count() { return s_var.open ? uint32_t(s_var.items.size()) : 0; }

void var_for_each_item(VarItemVisit visit, void* user)
{
    for (uint32_t i = 1; i <= var_item_count(); ++i) {
        uint8_t item[kVarItemSize];
        var_item_get(i, item);
        ScriptValue value;
        std::memcpy(value.bytes, item + 6, 16);
        if (!visit(plat::load_u32le(item), plat::load_u16le(item + 4), value, user))
            return;
    }
}

// --- strings kept in the learner's records -----------------------------------------------------

int var_text_into_record(ScriptValue& value, const char* text, size_t length)
{
    uint16_t number = urec_new_id();
    if (number == 0) {
        val_free(value);
        return kErrVarNoRecord;
    }
    int error = urec_write(number, text, length + 1);
    if (error) {
        (void)urec_delete(number);
        val_free(value);
        return error;
    }
    val_free(value);
    value.bytes[1] = kValString;
    value.bytes[2] = kStoreLearner;
    plat::store_u32le(value.bytes + 4, uint32_t(length + 1));
    plat::store_u16le(value.bytes + 8, number);
    return 0;
}

int var_store_value_data(ScriptValue& value)
{
    if (val_type(value) != kValString)
        return 0;
    int storage = val_storage(value);
    if (storage == kStoreInline)
        return 0;
    // A record of the running piece stays where it is; one of a library would be read in the
    // wrong file after a resume, so it becomes a text of its own.
    if (storage == kStoreRecord && val_u16(value, 10) == uint16_t(piece_slot()))
        return 0;
    if (storage != kStoreHandle) {
        ScriptValue copy;
        if (val_copy(copy, value) != 0) {
            val_init(value);
            return kErrOutOfMemory;
        }
        value = copy; // storage 2, 3, 4 values own nothing: no leak
        if (val_type(value) != kValString || val_storage(value) == kStoreInline)
            return 0;
    }
    const char* text = var_lock_value_data(value);
    size_t length = std::strlen(text);
    std::string bytes(text, length);
    var_unlock_value_data(value);
    if (length + 1 <= size_t(kValInlineMax)) {
        val_free(value);
        val_set_string_n(value, bytes.data(), length);
        return 0;
    }
    return var_text_into_record(value, bytes.data(), length);
}

void var_free_stored_value(ScriptValue& value)
{
    if (val_type(value) == kValString && val_storage(value) == kStoreLearner)
        (void)urec_delete(val_u16(value, 8));
    else if (val_is_object_type(val_type(value)))
        list_release(value);
    val_init(value);
}

const char* var_learner_string_lock(uint16_t number)
{
    RecordId id = rec_make_id(kRecordsSlot, number);
    if (number == 0 || !rec_slot(kRecordsSlot))
        return nullptr;
    MemHandle block = rec_get(id);
    if (!block) {
        fg_clear_error();
        return nullptr;
    }
    const char* text = static_cast<const char*>(mem_lock(block));
    size_t size = std::min<size_t>(rec_size(id, kSizeUnpacked), mem_size(block));
    // A restored record that is not a text ending inside it reads empty.
    if (!text || !std::memchr(text, 0, size)) {
        mem_unlock(block);
        rec_release(id, kReleaseOne);
        return nullptr;
    }
    return text;
}

void var_learner_string_unlock(uint16_t number)
{
    RecordId id = rec_make_id(kRecordsSlot, number);
    MemHandle block = rec_peek(id);
    if (!block)
        return;
    mem_unlock(block);
    rec_release(id, kReleaseOne);
}

// A copy of value that the store may keep: 0 or the error (stored empty).
static int storable_copy(const ScriptValue& value, ScriptValue& out)
{
    val_init(out);
    if (val_type(value) == kValString && val_storage(value) == kStoreRecord && val_u16(value, 10) == uint16_t(piece_slot())) {
        out = value;
        return 0;
    }
    if (val_copy(out, value) != 0)
        return kErrOutOfMemory;
    return var_store_value_data(out);
}

// --- contexts and library variables -----------------------------------------------------------

// 0 when the at icon names an icon that is not valid.
static uint32_t resolve_context(uint32_t context, uint32_t at)
{
    if (node_icon_number(at) != 0)
        return node_is_valid(at) ? at : 0;
    if (context)
        return context & 0xFFFF0000u;
    return var_piece_root();
}

static bool in_library(uint32_t context)
{
    int slot = int(node_icon_slot(context));
    return (slot != piece_slot() && node_file_is_library(slot)) || (node_icon_number(context) && eval_in_library(context));
}

// A user variable used inside a library reaches the running piece's variable of its name, or a
// custom variable of that name (made with the library's initial value when missing).
static void map_library_ref(uint32_t* context, VariableId* id)
{
    if (var_id_class(*id) != kVarClassUser || !in_library(*context))
        return;
    char name[kVarNameLimit + 1];
    if (var_name(int(node_icon_slot(*context)), *id, name, sizeof name) == 0)
        return;
    uint32_t target = s_var.eval_context && node_icon_number(*context) ? s_var.eval_context : *context;
    if (node_icon_number(target) == 0)
        target = var_piece_root();
    if (target == *context)
        return;
    uint32_t root = target & 0xFFFF0000u;
    VariableId found = var_find_id(root, name);
    if (!found)
        found = var_find_custom(root, name);
    if (!found) {
        found = var_custom_create(root, name);
        if (found) {
            ScriptValue initial;
            var_initial_value(*context, *id, initial);
            (void)var_set_stored(root, found, initial);
            val_free(initial);
        }
    }
    if (found) {
        *context = root;
        *id = found;
    }
}

// --- reading and writing ----------------------------------------------------------------------

// The item's index, inserted with the initial value when a user variable has none yet.
static uint32_t find_or_create(uint32_t context, VariableId id)
{
    uint32_t index = var_item_find(context, id, nullptr);
    if (index || var_id_class(id) != kVarClassUser || !s_var.open)
        return index;
    ScriptValue initial;
    var_initial_value(context, id, initial);
    ScriptValue stored;
    if (storable_copy(initial, stored) != 0)
        val_init(stored);
    if (val_is_object_type(val_type(stored)))
        list_add_var_holder(id, uint16_t(node_icon_number(context)), stored);
    val_free(initial);
    if (!var_item_put(context, id, stored)) {
        var_free_stored_value(stored);
        return 0;
    }
    return var_item_find(context, id, nullptr);
}

static int get_user(uint32_t context, VariableId id, ScriptValue& out)
{
    if (!find_or_create(context, id))
        return 0;
    var_item_find(context, id, &out);
    // A value never given reads as 0.
    if (val_type(out) == kValString && val_length(out) == 0)
        val_set_integer(0, out);
    return 1;
}

int var_get_stored(uint32_t context, VariableId id, ScriptValue& out)
{
    val_init(out);
    return var_item_find(context ? context : var_piece_root(), id, &out) ? 1 : 0;
}

int var_get(uint32_t context, VariableId id, uint32_t at, ScriptValue& out)
{
    val_init(out);
    int kind = var_id_class(id);
    if (kind == kVarClassSystem) {
        if (s_hooks.sysvar_read)
            s_hooks.sysvar_read(context, id, at, out);
        return !(val_type(out) == kValString && val_length(out) <= 1);
    }
    uint32_t where = resolve_context(context, at);
    if (!where)
        return 0;
    map_library_ref(&where, &id);
    if (var_id_class(id) == kVarClassUser)
        get_user(where, id, out);
    else if (var_id_class(id) == kVarClassCustom)
        var_get_stored(where, id, out);
    return !(val_type(out) == kValString && val_length(out) <= 1);
}

// Replaces the item's value by a storable copy of value; the old one is freed.
static int replace_value(uint32_t context, VariableId id, const ScriptValue& value, bool create)
{
    uint32_t index = create ? find_or_create(context, id) : var_item_find(context, id, nullptr);
    if (!index)
        return 0;
    ScriptValue stored;
    int error = storable_copy(value, stored);
    ScriptValue old;
    var_item_find(context, id, &old);
    var_free_stored_value(old);
    (void)var_item_put(context, id, stored);
    return error == 0 ? 1 : 0;
}

int var_set_stored(uint32_t context, VariableId id, const ScriptValue& value)
{
    context = context ? context : var_piece_root();
    if (!s_var.open)
        return 0;
    if (!var_item_find(context, id, nullptr)) {
        ScriptValue empty;
        val_init(empty);
        if (!var_item_put(context, id, empty))
            return 0;
    }
    return replace_value(context, id, value, false);
}

// After a store: triggers see the change, and a list knows which variable holds it.
static void after_store(uint32_t context, VariableId id, const ScriptValue& old, const ScriptValue& now)
{
    if (s_hooks.trig_mark_variable)
        s_hooks.trig_mark_variable(context, id);
    uint16_t icon = uint16_t(node_icon_number(context));
    if (val_is_object_type(val_type(old)) && list_check_value(old))
        list_drop_var_holder(id, icon, old);
    if (val_is_object_type(val_type(now)))
        list_add_var_holder(id, icon, now);
}

int var_set(uint32_t context, VariableId id, uint32_t at, const ScriptValue* value)
{
    ScriptValue empty;
    val_init(empty);
    const ScriptValue& given = value ? *value : empty;
    if (var_id_class(id) == kVarClassSystem) {
        if (!s_hooks.sysvar_assign)
            return 0;
        ScriptValue copy;
        if (val_copy(copy, given) != 0)
            return 0;
        int stored = s_hooks.sysvar_assign(context, id, at, copy);
        val_free(copy);
        if (stored && s_hooks.trig_mark_variable)
            s_hooks.trig_mark_variable(resolve_context(context, 0), id);
        return stored;
    }
    uint32_t where = resolve_context(context, at);
    if (!where || !s_var.open)
        return 0;
    map_library_ref(&where, &id);
    ScriptValue old;
    val_init(old);
    var_item_find(where, id, &old);
    int stored = 0;
    if (var_id_class(id) == kVarClassUser)
        stored = replace_value(where, id, given, true);
    else if (var_id_class(id) == kVarClassCustom && var_item_find(where, id, nullptr))
        stored = replace_value(where, id, given, false);
    if (!stored)
        return 0;
    ScriptValue now;
    var_item_find(where, id, &now);
    after_store(where, id, old, now);
    return 1;
}

int var_set_text(uint32_t context, VariableId id, uint32_t at, const char* text)
{
    ScriptValue value;
    val_init(value);
    val_set_string(value, text ? text : "");
    int stored = var_set(context, id, at, &value);
    val_free(value);
    return stored;
}

int var_set_int(uint32_t context, VariableId id, uint32_t at, int32_t number)
{
    ScriptValue value;
    val_set_integer(number, value);
    return var_set(context, id, at, &value);
}

int var_reset_to_initial(uint32_t context, VariableId id, uint32_t at)
{
    uint32_t where = resolve_context(context, at);
    if (!where)
        return 0;
    ScriptValue initial;
    var_initial_value(where, id, initial);
    int stored = var_set(context, id, at, &initial);
    val_free(initial);
    return stored;
}

uint32_t var_get_eval_context() { return s_var.eval_context; }
void var_set_eval_context(uint32_t icon) { s_var.eval_context = icon; }

VariableId var_map_to_file(int file_slot, VariableId id, int target_slot)
{
    if (var_id_class(id) != kVarClassUser)
        return id;
    char name[kVarNameLimit + 1];
    if (var_name(file_slot, id, name, sizeof name) == 0)
        return 0;
    return var_find_id(uint32_t(target_slot) << 16, name);
}
