// Custom variables, the per-icon values, tracking texts and the ArrayGet/ArraySet array: the
// parts of the variable store kept in its tag lists.
#include "platform/kernel/byte_io.h"
#include "platform/kernel/codepage.h"
#include "runtime/base/errcode.h"
#include "runtime/base/taglist.h"
#include "runtime/calc/interp.h"
#include "runtime/calc/list_table.h"
#include "runtime/calc/sysfn_table.h"
#include "runtime/engine/fields.h"
#include "runtime/engine/var.h"
#include "runtime/engine/var_internal.h"
#include "runtime/nodes/node_attr.h"
#include "runtime/nodes/node_tree.h"
#include "runtime/pieces/piece_current.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

constexpr uint32_t kAttrTrackingMode = 0x20904f0;
constexpr int kTriggerEntryText = 13;
constexpr int kArrayGetIndex = 58;
constexpr int kArraySetIndex = 59;

struct CustomMatch {
    const char* name;
    uint32_t context; // 0: any
    VariableId found = 0;
};

} // namespace

// --- custom variables -------------------------------------------------------------------------

static int match_custom(uint16_t tag, uint8_t* data, uint32_t size, void* user, int*)
{
    auto* match = static_cast<CustomMatch*>(user);
    if (size < 5 || !std::memchr(data + 4, 0, size - 4))
        return 1;
    if (plat::lstrcmpi(reinterpret_cast<const char*>(data + 4), match->name) != 0)
        return 1;
    if (match->context && !var_item_find(match->context, tag, nullptr))
        return 1;
    match->found = tag;
    return 0;
}

static VariableId find_custom_entry(const char* name, uint32_t context)
{
    CustomMatch match { name, context };
    if (s_var.open && name)
        urec_for_each_field(var_record(kVarStCustomNames), match_custom, &match);
    return match.found;
}

static int change_reference(VariableId id, int delta)
{
    uint8_t entry[4 + kVarCustomNameMax + 1] = {};
    uint16_t record = var_record(kVarStCustomNames);
    uint32_t size = urec_get_field(record, id, entry, sizeof entry);
    if (size < 5)
        return 0;
    int32_t count = int32_t(plat::load_u32le(entry)) + delta;
    if (count < 1)
        return urec_put_field(record, id, nullptr, 0) == 0;
    plat::store_u32le(entry, uint32_t(count));
    return urec_put_field(record, id, entry, size) == 0;
}

VariableId var_custom_create(uint32_t context, const char* name)
{
    if (!s_var.open || !name || !name[0])
        return 0;
    context = context ? context : var_piece_root();
    VariableId id = find_custom_entry(name, 0);
    if (id) {
        if (!change_reference(id, 1))
            return 0;
    } else {
        // Past the last custom id there is no class for a new one.
        if (s_var.next_custom > kVarLastCustom)
            return 0;
        id = s_var.next_custom;
        uint8_t entry[4 + kVarCustomNameMax + 1] = {};
        size_t length = std::min<size_t>(std::strlen(name), kVarCustomNameMax);
        plat::store_u32le(entry, 1);
        std::memcpy(entry + 4, name, length);
        if (urec_put_field(var_record(kVarStCustomNames), id, entry, uint32_t(4 + length + 1)) != 0)
            return 0;
        s_var.next_custom++;
    }
    ScriptValue old, empty;
    val_init(empty);
    if (var_item_find(context, id, &old))
        var_free_stored_value(old);
    if (!var_item_put(context, id, empty)) {
        change_reference(id, -1);
        return 0;
    }
    return id;
}

void var_custom_release(uint32_t context, VariableId id)
{
    if (!s_var.open || var_id_class(id) != kVarClassCustom)
        return;
    context = context ? context : var_piece_root();
    change_reference(id, -1);
    ScriptValue old;
    if (var_item_find(context, id, &old)) {
        var_free_stored_value(old);
        var_item_delete(context, id);
    }
}

VariableId var_find_custom(uint32_t context, const char* name)
{
    return find_custom_entry(name, context ? context : var_piece_root());
}

int var_custom_name(VariableId id, char* out, size_t size)
{
    if (!out || size == 0)
        return 0;
    out[0] = '\0';
    uint8_t entry[4 + kVarCustomNameMax + 1] = {};
    uint32_t got = s_var.open ? urec_get_field(var_record(kVarStCustomNames), id, entry, sizeof entry) : 0;
    if (got < 5)
        return 0;
    size_t length = strnlen(reinterpret_cast<const char*>(entry + 4), got - 4);
    length = std::min(length, size - 1);
    std::memcpy(out, entry + 4, length);
    out[length] = '\0';
    return 1;
}

// --- per-icon values --------------------------------------------------------------------------

static int get_value_field(VarStateOffset list, uint16_t tag, ScriptValue& out)
{
    val_init(out);
    if (!s_var.open || tag == 0)
        return 0;
    return urec_get_field(var_record(list), tag, out.bytes, 16) == 16;
}

// The old stored value is freed, a storable copy of the new one kept.
static int set_value_field(VarStateOffset list, uint16_t tag, const ScriptValue& value)
{
    if (!s_var.open || tag == 0)
        return 0;
    ScriptValue old;
    if (get_value_field(list, tag, old))
        var_free_stored_value(old);
    ScriptValue stored;
    if (val_copy(stored, value) != 0)
        val_init(stored);
    int error = var_store_value_data(stored);
    int put = urec_put_field(var_record(list), tag, stored.bytes, 16);
    if (put != 0)
        var_free_stored_value(stored);
    return error == 0 && put == 0;
}

int var_get_event_matched(uint32_t icon, ScriptValue& out) { return get_value_field(kVarStMatchedEvents, uint16_t(icon), out); }
int var_set_event_matched(uint32_t icon, const ScriptValue& v) { return set_value_field(kVarStMatchedEvents, uint16_t(icon), v); }
int var_get_icon_preroll(uint32_t icon, ScriptValue& out) { return get_value_field(kVarStPreroll, uint16_t(icon), out); }
int var_set_icon_preroll(uint32_t icon, const ScriptValue& v) { return set_value_field(kVarStPreroll, uint16_t(icon), v); }

static const char* lock_text_field(VarStateOffset list, uint16_t tag)
{
    if (!s_var.open || tag == 0)
        return nullptr;
    uint16_t record = var_record(list);
    uint32_t size = 0;
    uint8_t* data = urec_lock_field(record, tag, &size);
    if (!data)
        return nullptr;
    if (!std::memchr(data, 0, size)) { // a restored text without its end reads as none
        fg_unlock_field(rec_make_id(kVarRecordsSlot, record), tag, 0, data);
        return nullptr;
    }
    s_var.locked_texts.push_back({ record, tag, data });
    return reinterpret_cast<const char*>(data);
}

static void unlock_text_field(VarStateOffset list, uint16_t tag)
{
    uint16_t record = var_record(list);
    auto at = std::find_if(s_var.locked_texts.rbegin(), s_var.locked_texts.rend(),
        [&](const VarState::HeldText& held) { return held.record == record && held.tag == tag; });
    if (at == s_var.locked_texts.rend())
        return;
    uint8_t* data = at->data;
    s_var.locked_texts.erase(std::next(at).base());
    fg_unlock_field(rec_make_id(kVarRecordsSlot, record), tag, 0, data);
}

const char* var_lock_icon_text(uint32_t icon) { return lock_text_field(kVarStEntryTexts, uint16_t(icon)); }
void var_unlock_icon_text(uint32_t icon) { unlock_text_field(kVarStEntryTexts, uint16_t(icon)); }
const char* var_lock_icon_track_text(uint32_t icon) { return lock_text_field(kVarStTracking, uint16_t(icon)); }
void var_unlock_icon_track_text(uint32_t icon) { unlock_text_field(kVarStTracking, uint16_t(icon)); }

static int put_text_field(VarStateOffset list, uint16_t tag, const std::string& text)
{
    if (!s_var.open || tag == 0 || text.size() + 1 > kTagListMaxData)
        return 0;
    return urec_put_field(var_record(list), tag, text.c_str(), uint32_t(text.size() + 1)) == 0;
}

static std::string text_field(VarStateOffset list, uint16_t tag)
{
    std::string text;
    uint32_t size = s_var.open ? fg_field_size(rec_make_id(kVarRecordsSlot, var_record(list)), tag) : 0;
    if (size) {
        std::vector<char> buffer(size + 1);
        fg_get_str(rec_make_id(kVarRecordsSlot, var_record(list)), tag, buffer.data(), size + 1);
        text = buffer.data();
    }
    return text;
}

int var_set_icon_text(uint32_t icon, const char* text)
{
    int stored = put_text_field(kVarStEntryTexts, uint16_t(icon), text ? text : "");
    if (stored && var_hooks().trig_mark)
        var_hooks().trig_mark(kTriggerEntryText, icon);
    return stored;
}

void var_track_response_text(uint32_t interaction, uint32_t response)
{
    std::string part;
    switch (node_get_attr(interaction, kAttrTrackingMode)) {
    case 0:
    case 2:
        part = std::to_string(node_child_index(response));
        break;
    case 1:
        part = text_field(kVarStEntryTexts, uint16_t(interaction));
        if (part.empty())
            return;
        break;
    default:
        return;
    }
    // The text grows as long as the learner answers: no fixed buffer.
    std::string text = text_field(kVarStTracking, uint16_t(interaction));
    text += (text.empty() ? "" : ",") + part;
    put_text_field(kVarStTracking, uint16_t(interaction), text);
}

void var_clear_track_text(uint32_t interaction) { put_text_field(kVarStTracking, uint16_t(interaction), ""); }

// --- the array --------------------------------------------------------------------------------

static bool array_index(const ScriptValue& v, uint16_t* tag)
{
    uint32_t index = uint32_t(val_integer(v)); // unsigned: a negative index is refused too
    if (index >= uint32_t(kVarArrayCount))
        return false;
    *tag = uint16_t(index + 1);
    return true;
}

static void array_get(int argc, ScriptValue* args, ScriptValue& result)
{
    val_init(result);
    uint16_t tag;
    ScriptValue stored;
    if (argc < 1 || !array_index(args[0], &tag) || !get_value_field(kVarStArray, tag, stored))
        return;
    if (val_copy(result, stored) != 0)
        val_init(result);
}

static void array_set(int argc, ScriptValue* args, ScriptValue& result)
{
    val_init(result);
    if (!eval_assign_allowed()) {
        eval_set_error(kEvalAssignRefused);
        return;
    }
    uint16_t tag;
    if (argc < 2 || !array_index(args[0], &tag))
        return;
    if (!set_value_field(kVarStArray, tag, args[1])) {
        eval_set_error(kEvalNoMemory);
        return;
    }
    if (val_copy(result, args[1]) != 0)
        val_init(result);
}

void var_bind_functions()
{
    sysfn_bind(kArrayGetIndex, array_get);
    sysfn_bind(kArraySetIndex, array_set);
}
