#include "runtime/engine/var_names.h"

#include "platform/kernel/codepage.h"
#include "platform/kernel/resource.h"
#include "runtime/base/errcode.h"
#include "runtime/base/hash.h"
#include "runtime/base/str.h"
#include "runtime/base/symdict.h"
#include "runtime/base/taglist.h"
#include "runtime/calc/codeblock.h"
#include "runtime/calc/compile.h"
#include "runtime/calc/interp.h"
#include "runtime/calc/names.h"
#include "runtime/engine/fields.h"
#include "runtime/nodes/node_files.h"
#include "runtime/nodes/node_group.h"
#include "runtime/nodes/node_title.h"
#include "runtime/pieces/piece_current.h"
#include "runtime/store/rec_store.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kDeletedVariableEntry = 1236;
// System variables by index from 8193.
constexpr VariableId kVarExecutingIconId = 8193 + 67;
constexpr VariableId kVarExecutingIconTitle = 8193 + 98;
constexpr VariableId kVarIconId = 8193 + 187;
constexpr VariableId kVarIconTitle = 8193 + 188;
constexpr int kErrVariableUndefined = 22;
constexpr int kErrFunctionUndefined = 21;
constexpr int kWholeText = 32767;

struct NameDictionary {
    int slot = 0;
    HashTable table;
    bool stored = false; // taken from the file's word 35: a miss walks the names
};

NameDictionary s_dict;
VarNameHooks s_name_hooks {};

struct NameMatch {
    int slot;
    const char* name;
};

} // namespace

void var_set_name_hooks(const VarNameHooks* hooks) { s_name_hooks = hooks ? *hooks : VarNameHooks {}; }
const VarNameHooks& var_name_hooks() { return s_name_hooks; }

static RecordId file_record(int slot, uint32_t word)
{
    uint16_t number = node_dir_word(slot, word);
    return number ? rec_make_id(uint32_t(slot), number) : 0;
}

// The name cut to 40 characters (never inside a double-byte character).
static std::string cut_name(const char* name)
{
    std::string text(name ? name : "");
    if (text.size() > size_t(kVarNameLimit))
        text.resize(size_t(str_fit_length(text.c_str(), kVarNameLimit)));
    return text;
}

static std::string upper_name(const char* name)
{
    std::string text = cut_name(name);
    plat::char_upper(text.data(), text.size());
    return text;
}

static bool same_name(const char* a, const char* b)
{
    return plat::lstrcmpi(cut_name(a).c_str(), cut_name(b).c_str()) == 0;
}

// --- names ------------------------------------------------------------------------------------

int var_name(int file_slot, VariableId id, char* out, size_t size)
{
    if (!out || size == 0)
        return 0;
    out[0] = '\0';
    RecordId names = file_record(file_slot, kDirVariableNames);
    if (!names || id == 0)
        return 0;
    char buffer[kVarNameLimit * 2 + 2];
    uint32_t length = fg_get_str(names, id, buffer, sizeof buffer);
    if (length == 0 || std::strcmp(buffer, kDeletedVariableName) == 0)
        return 0;
    std::string name = cut_name(buffer);
    str_copy_bounded(out, name.c_str(), int(size));
    return int(std::strlen(out));
}

int var_file_var_name(int file_slot, VariableId id, char* out, size_t size)
{
    return var_name(file_slot, id, out, size) ? 0 : kErrNoVariableName;
}

struct NameWalk {
    VarNameVisit visit;
    void* user;
};

static int visit_name(uint16_t tag, uint8_t* data, uint32_t size, void* user, int*)
{
    auto* walk = static_cast<NameWalk*>(user);
    std::string name(reinterpret_cast<const char*>(data), strnlen(reinterpret_cast<const char*>(data), size));
    if (name.empty() || name == kDeletedVariableName)
        return 1;
    return walk->visit(walk->user, tag, cut_name(name.c_str()).c_str());
}

void var_for_each_name(int file_slot, VarNameVisit visit, void* user)
{
    RecordId names = file_record(file_slot, kDirVariableNames);
    NameWalk walk { visit, user };
    if (names)
        fg_for_each_field(names, visit_name, &walk);
}

int var_count_names(int file_slot)
{
    int count = 0;
    var_for_each_name(file_slot, [](void* user, VariableId, const char*) { return ++*static_cast<int*>(user), 1; }, &count);
    return count;
}

VariableId var_max_id(int file_slot)
{
    VariableId highest = 0;
    var_for_each_name(file_slot, [](void* user, VariableId id, const char*) {
        auto* top = static_cast<VariableId*>(user);
        *top = std::max(*top, id);
        return 1;
    }, &highest);
    return highest;
}

// --- the dictionary ---------------------------------------------------------------------------

static int insert_name(void* user, VariableId id, const char* name)
{
    auto* ok = static_cast<bool*>(user);
    *ok = *ok && hash_insert(s_dict.table, upper_name(name).c_str(), id);
    return *ok ? 1 : 0;
}

int var_scan_names(int file_slot)
{
    var_forget_names(s_dict.slot);
    if (!hash_create(s_dict.table, uint32_t(std::max(var_count_names(file_slot), 1))))
        return 0;
    bool ok = true;
    var_for_each_name(file_slot, insert_name, &ok);
    if (!ok) {
        hash_free(s_dict.table);
        return 0;
    }
    s_dict.slot = file_slot;
    return 1;
}

int var_build_name_dict(int file_slot)
{
    var_forget_names(s_dict.slot);
    RecordId stored = file_record(file_slot, kDirNameDictionary);
    MemHandle block = stored ? rec_get(stored) : MemHandle {};
    if (block) {
        size_t size = std::min<size_t>(rec_size(stored, kSizeUnpacked), mem_size(block));
        int cloned = hash_clone(s_dict.table, block, size);
        rec_release(stored, kReleaseOne);
        if (cloned) {
            s_dict.slot = file_slot;
            s_dict.stored = true;
            return 0;
        }
        // A stored dictionary the table refuses is damage: the names are scanned instead.
    } else if (stored) {
        fg_clear_error();
    }
    return var_scan_names(file_slot) ? 0 : kErrNoDictionary;
}

void var_forget_names(int file_slot)
{
    if (file_slot == 0 || file_slot != s_dict.slot)
        return;
    hash_free(s_dict.table);
    s_dict = NameDictionary {};
}

int var_name_dict_slot() { return s_dict.slot; }

void var_names_reset()
{
    hash_free(s_dict.table);
    s_dict = NameDictionary {};
}

// --- finding by name --------------------------------------------------------------------------

// A candidate of the hash table is the variable only when its stored name agrees.
static int confirm_name(const char*, uint16_t value, void* user)
{
    auto* match = static_cast<NameMatch*>(user);
    char name[kVarNameLimit * 2 + 2];
    return var_name(match->slot, value, name, sizeof name) && same_name(name, match->name);
}

struct WalkFind {
    const char* name;
    VariableId found = 0;
};

static int walk_find(void* user, VariableId id, const char* name)
{
    auto* find = static_cast<WalkFind*>(user);
    if (!same_name(name, find->name))
        return 1;
    find->found = id;
    return 0;
}

VariableId var_find_by_name(int file_slot, const char* name)
{
    if (!name || !name[0] || std::strcmp(name, kDeletedVariableName) == 0)
        return 0;
    if (file_slot == s_dict.slot && s_dict.slot && !hash_is_purged(s_dict.table)) {
        NameMatch match { file_slot, name };
        VariableId id = hash_find(s_dict.table, upper_name(name).c_str(), confirm_name, &match);
        if (id || !s_dict.stored)
            return id;
    }
    WalkFind find { name };
    var_for_each_name(file_slot, walk_find, &find);
    return find.found;
}

VariableId var_find_in_file(int file_slot, const char* name)
{
    if (VariableId id = var_find_by_name(file_slot, name))
        return id;
    return s_name_hooks.sysvar_find ? s_name_hooks.sysvar_find(name) : 0;
}

VariableId var_find_id(uint32_t context, const char* name)
{
    int slot = context ? int(node_icon_slot(context)) : piece_slot();
    return var_find_in_file(slot, name);
}

// --- definitions ------------------------------------------------------------------------------

static int icon_definition(uint32_t icon, VariableId id, ScriptValue& out)
{
    size_t length = 0;
    const uint8_t* props = node_props(icon, &length);
    uint16_t size = taglist_item_length(props, length, kPropIconDefinitions);
    if (size == 0)
        return 0;
    std::vector<uint8_t> inner(size);
    taglist_get(props, length, kPropIconDefinitions, inner.data(), size);
    return taglist_get(inner.data(), inner.size(), id, out.bytes, 16) == 16;
}

int var_definition(uint32_t context, VariableId id, ScriptValue& out)
{
    val_init(out);
    if (id == 0)
        return 0;
    if (node_icon_number(context))
        return icon_definition(context, id, out);
    RecordId definitions = file_record(int(node_icon_slot(context)), kDirVariableDefinitions);
    return definitions && fg_get_block(definitions, id, out.bytes, 16) == 16;
}

int var_exists(uint32_t context, VariableId id)
{
    if (node_icon_number(context) && !node_is_valid(context))
        return 0;
    ScriptValue definition;
    return var_definition(context, id, definition);
}

int var_user_name(uint32_t context, VariableId id, char* out, size_t size)
{
    if (out && size)
        out[0] = '\0';
    int slot = context ? int(node_icon_slot(context)) : piece_slot();
    if (var_id_class(id) == kVarClassUser)
        return var_exists(context & 0xFFFF0000u, id) ? var_name(slot, id, out, size) : 0;
    if (var_id_class(id) == kVarClassSystem && s_name_hooks.sysvar_name)
        return s_name_hooks.sysvar_name(id, out, size);
    return 0;
}

void var_display_name(uint32_t context, VariableId id, uint32_t at, int try_file, char* out, size_t size)
{
    if (!out || size == 0)
        return;
    bool has_at = node_icon_number(at) != 0;
    if (has_at && id == kVarExecutingIconId)
        id = kVarIconId;
    if (has_at && id == kVarExecutingIconTitle)
        id = kVarIconTitle;
    char name[kVarNameLimit * 2 + 2] = "";
    var_user_name(context, id, name, sizeof name);
    if (!name[0] && try_file && has_at && var_id_class(id) == kVarClassUser)
        var_name(int(node_icon_slot(at)), id, name, sizeof name);
    std::string text = name;
    if (text.empty() && id != kVarIconOfTitle) {
        char deleted[64] = "";
        plat::load_string(plat::ModuleHandle {}, kDeletedVariableEntry, deleted, int(sizeof deleted));
        text = deleted;
    }
    if (has_at) {
        char title[256] = "DeletedIcon";
        if (node_is_valid(at))
            node_title_text(at, title, sizeof title);
        text += "@";
        eval_append_quoted_title(text, title);
    }
    str_copy_bounded(out, text.c_str(), int(size));
}

// --- initial values ---------------------------------------------------------------------------

// A stored definition's text as an owned string (type 0), translated when the file asks.
static void definition_text(int slot, ScriptValue& value)
{
    value.bytes[1] = kValString;
    if (val_storage(value) == kStoreRecord)
        val_put_u16(value, 10, uint16_t(slot));
    if (!s_name_hooks.translate_text)
        return;
    const char* text = var_lock_value_data(value);
    std::string copy(text);
    var_unlock_value_data(value);
    s_name_hooks.translate_text(slot, copy.data(), copy.size());
    val_set_string_n(value, copy.data(), copy.size());
}

// Stored definitions a file may hand over: texts inline or in a record of the file, numbers,
// expressions and symbols. Anything else (objects, blocks, addresses) reads as 0.
static bool acceptable_definition(const ScriptValue& value)
{
    int type = val_type(value);
    if (type == kValString || type == kDefExpression || type == kDefSymbol)
        return val_storage(value) == kStoreInline || val_storage(value) == kStoreRecord;
    return type == kValInteger || type == kValReal;
}

static void user_initial_value(uint32_t context, VariableId id, ScriptValue& definition, ScriptValue& out)
{
    int type = val_type(definition);
    if (type == kValInteger || type == kValReal) {
        out = definition;
        return;
    }
    definition_text(int(node_icon_slot(context)), definition);
    const char* text = var_lock_value_data(definition);
    std::string copy(text);
    var_unlock_value_data(definition);
    if (type == kDefExpression) {
        int start = 0, end = 0;
        if (var_eval_text(context, copy.c_str(), 1, out, &start, &end) != 0)
            val_init(out); // a failed expression leaves the variable empty
        val_free(definition);
        return;
    }
    if (type == kDefSymbol) {
        const char* name = copy.c_str();
        if (*name == '#')
            ++name;
        val_set_symbol(symdict_intern(name, 1), out);
        val_free(definition);
        return;
    }
    out = definition; // the string, owned by out now
    (void)id;
}

int var_initial_value(uint32_t context, VariableId id, ScriptValue& out)
{
    val_init(out);
    switch (var_id_class(id)) {
    case kVarClassUser: {
        ScriptValue definition;
        if (!var_definition(context, id, definition)) {
            val_set_integer(0, out);
            return 0;
        }
        if (!acceptable_definition(definition)) {
            val_set_integer(0, out);
            return 1;
        }
        user_initial_value(context, id, definition, out);
        return 1;
    }
    case kVarClassSystem:
        return s_name_hooks.sysvar_default ? s_name_hooks.sysvar_default(context, id, out) : 0;
    default:
        val_set_integer(0, out);
        return 0;
    }
}

// --- evaluating a text ------------------------------------------------------------------------

// Only constant expressions: a variable read or write is 22, a call 21.
static int check_constant(const std::vector<uint8_t>& block)
{
    CodeIterator it;
    code_iter_init(it, block.data());
    CodeInstruction instruction;
    const uint8_t* data = nullptr;
    uint32_t size = 0;
    while (code_iter_next(it, &instruction, &data, &size)) {
        switch (instruction.opcode) {
        case kOpPushVar:
        case kOpPushVarRef:
        case kOpAssignDirect:
        case kOpPushIconVar:
        case kOpPushIconVarRef:
        case kOpAssign:
        case kOpForInStep:
        case kOpForInStepElement:
            return kErrVariableUndefined;
        case kOpCall:
            return kErrFunctionUndefined;
        default:
            break;
        }
    }
    return 0;
}

int var_eval_text(uint32_t icon, const char* text, int check, ScriptValue& out, int* error_start, int* error_end)
{
    val_init(out);
    std::vector<uint8_t> block;
    int offset = 0, length = 0;
    int error = code_compile(icon, text ? text : "", block, kCompileExpression, 0, 0, &offset, &length);
    if (error) {
        if (error_start)
            *error_start = offset;
        if (error_end)
            *error_end = offset + length;
        return error;
    }
    if (error_start)
        *error_start = 0;
    if (error_end)
        *error_end = kWholeText;
    if (check && (error = check_constant(block)) != 0)
        return error;
    return eval_code(icon, block.data(), block.size(), out, 0);
}
