// The variable store as executor module slot 9: made empty, saved with its symbols by name and
// each list object once, restored with both rebuilt, released and deleted.
#include "platform/kernel/byte_io.h"
#include "runtime/base/errcode.h"
#include "runtime/base/symdict.h"
#include "runtime/base/taglist.h"
#include "runtime/calc/list_table.h"
#include "runtime/engine/fields.h"
#include "runtime/engine/urec.h"
#include "runtime/engine/var.h"
#include "runtime/engine/var_internal.h"
#include "runtime/engine/var_names.h"
#include "runtime/pieces/piece_current.h"
#include "runtime/store/rec_store.h"

#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

// The value lists of the store (tag lists whose fields are ScriptValues).
constexpr VarStateOffset kValueLists[] = { kVarStMatchedEvents, kVarStPreroll, kVarStArray };
// Every list the store makes empty at Init, in small-state order.
constexpr VarStateOffset kTagLists[] = { kVarStLists, kVarStCustomNames, kVarStEntryTexts, kVarStMatchedEvents,
    kVarStPreroll, kVarStArray, kVarStTracking };
// Records Init numbers without content of their own yet.
constexpr VarStateOffset kPlainRecords[] = { kVarStSymbols1, kVarStSymbols2, kVarStScripting, kVarStEvents };

// Called for every stored value; answers an error to stop. *changed when it rewrote the value.
using ValueVisit = int (*)(ScriptValue& value, void* user, bool* changed);

struct ListVisit {
    ValueVisit visit;
    void* user;
    int error = 0;
};

// What a restore rebuilds: symbols by saved number and objects by stored id.
struct RestoreMaps {
    std::vector<std::string> symbol_names; // saved id - 1
    std::vector<uint32_t> symbol_ids;      // saved id - 1: the saved live id
    std::map<uint32_t, ScriptValue> objects; // stored id -> the restored value (by stored id)
    std::map<uint32_t, uint32_t> new_ids;    // stored id -> the restored object's own id
    std::map<uint32_t, int> holders;         // stored id -> values that hold it
    std::vector<uint16_t> text_records;      // learner's records that texts own, each once
    std::vector<uint16_t> list_texts;        // those of them that lists' texts own
};

} // namespace

static void write_state(uint8_t* state)
{
    for (int i = 0; i < 13; ++i)
        plat::store_u16le(state + 2 * i, s_var.records[i]);
    plat::store_u16le(state + kVarStNextCustom, s_var.next_custom);
    plat::store_u32le(state + kVarStItemCount, uint32_t(s_var.items.size()));
}

// --- walking every value ----------------------------------------------------------------------

static int visit_field(uint16_t, uint8_t* data, uint32_t size, void* user, int* changed)
{
    auto* walk = static_cast<ListVisit*>(user);
    if (size != 16)
        return 1;
    ScriptValue value;
    std::memcpy(value.bytes, data, 16);
    bool one = false;
    walk->error = walk->visit(value, walk->user, &one);
    if (one) {
        std::memcpy(data, value.bytes, 16);
        *changed = 1;
    }
    return walk->error == 0;
}

// The items, then the matched events, preroll values and array elements.
static int for_each_value(ValueVisit visit, void* user)
{
    for (uint32_t i = 1; i <= s_var.items.size(); ++i) {
        uint8_t item[kVarItemSize];
        var_item_get(i, item);
        ScriptValue value;
        std::memcpy(value.bytes, item + 6, 16);
        bool changed = false;
        if (int error = visit(value, user, &changed))
            return error;
        if (changed) {
            std::memcpy(item + 6, value.bytes, 16);
            var_item_set(i, item);
        }
    }
    for (VarStateOffset list : kValueLists) {
        ListVisit walk { visit, user };
        int error = 0;
        urec_for_each_field(var_record(list), visit_field, &walk, &error);
        if (walk.error || error)
            return walk.error ? walk.error : error;
    }
    return 0;
}

// Every element (and property value) of a list, copied; objects below it too, once each.
static void for_each_element(const ScriptValue& list, void (*visit)(const ScriptValue&, void*), void* user)
{
    int count = list_count(list);
    bool pairs = val_type(list) == kValPropList || val_type(list) == kValEventList;
    for (int i = 1; i <= count; ++i) {
        for (int half = 0; half < (pairs ? 2 : 1); ++half) {
            ScriptValue element;
            int got = half ? list_prop_value_at(list, i, element) : list_get_element(list, i, element);
            if (got == 0)
                visit(element, user);
            val_free(element);
        }
    }
}

// --- Save -------------------------------------------------------------------------------------

struct SaveWork {
    std::vector<uint32_t> symbols; // live ids, each once
    std::vector<std::pair<uint32_t, ScriptValue>> lists; // object id, value
    int error = 0;
};

static void note_symbol(SaveWork& work, uint32_t id)
{
    for (uint32_t known : work.symbols)
        if (known == id)
            return;
    work.symbols.push_back(id);
}

static void collect(const ScriptValue& value, void* user)
{
    auto& work = *static_cast<SaveWork*>(user);
    if (val_type(value) == kValSymbol) {
        note_symbol(work, val_word(value));
        return;
    }
    if (!val_is_object_type(val_type(value)) || !list_check_value(value) || list_get_mark(value))
        return;
    list_set_mark(value, 1); // each list once, however many hold it
    work.lists.push_back({ val_object_id(value), value });
    for_each_element(value, collect, user);
}

static int collect_value(ScriptValue& value, void* user, bool*)
{
    collect(value, user);
    return 0;
}

// The dictionary of the symbols values hold: part 1 {u32 live id, u32 name offset} per symbol,
// part 2 their names.
static int save_symbols(const SaveWork& work)
{
    std::vector<uint8_t> table, names;
    for (uint32_t id : work.symbols) {
        char name[256] = "";
        if (!symdict_name(id, name, sizeof name))
            continue;
        uint8_t entry[8];
        plat::store_u32le(entry, id);
        plat::store_u32le(entry + 4, uint32_t(names.size()));
        table.insert(table.end(), entry, entry + 8);
        names.insert(names.end(), name, name + std::strlen(name) + 1);
    }
    for (VarStateOffset part : { kVarStSymbols1, kVarStSymbols2 }) {
        const std::vector<uint8_t>& bytes = part == kVarStSymbols1 ? table : names;
        if (bytes.empty()) {
            (void)urec_delete(var_record(part));
            var_record(part) = 0;
            continue;
        }
        if (!var_record(part))
            var_record(part) = urec_new_id();
        if (!var_record(part))
            return kErrVarNoRecord;
        if (int error = urec_write(var_record(part), bytes.data(), bytes.size()))
            return error;
    }
    return 0;
}

// The learner's records the texts of one save's lists are in, and the first failure.
struct ListTexts {
    std::vector<uint16_t> records;
    int error = 0;
};

static bool is_store_record(uint16_t number)
{
    for (uint16_t own : s_var.records)
        if (own == number)
            return true;
    return number <= 1;
}

// A text element of a saved list that would not read back on resume (a text in memory, in a
// piece's or a library's record, at an address) is written as an inline text or a learner's
// record of its own. Only the saved block changes: the live list keeps its text.
static void store_list_text(uint8_t* slot, void* user)
{
    auto& texts = *static_cast<ListTexts*>(user);
    ScriptValue value;
    std::memcpy(value.bytes, slot, 16);
    if (val_type(value) != kValString || val_storage(value) == kStoreInline)
        return;
    if (val_storage(value) == kStoreLearner) { // a resumed list's text: its record stays
        if (!is_store_record(val_u16(value, 8)))
            texts.records.push_back(val_u16(value, 8));
        return;
    }
    std::string text = var_lock_value_data(value);
    var_unlock_value_data(value);
    ScriptValue stored;
    val_init(stored);
    if (text.size() + 1 <= size_t(kValInlineMax))
        val_set_string_n(stored, text.data(), text.size());
    else if (int error = var_text_into_record(stored, text.data(), text.size()))
        texts.error = texts.error ? texts.error : error; // saved empty
    else
        texts.records.push_back(val_u16(stored, 8));
    std::memcpy(slot, stored.bytes, 16);
}

// The records of the last save's list texts that no list refers to now go; after a failure
// both sets are kept, as the old save may be all there is.
static void keep_list_texts(const ListTexts& texts)
{
    std::vector<uint16_t> kept = s_var.list_texts;
    s_var.list_texts = texts.records;
    for (uint16_t old : kept) {
        bool used = false;
        for (uint16_t number : texts.records)
            used = used || number == old;
        if (!used && texts.error)
            s_var.list_texts.push_back(old);
        else if (!used)
            (void)urec_delete(old);
    }
}

static int save_lists(const SaveWork& work)
{
    uint8_t empty[2] = {};
    if (int error = urec_write(var_record(kVarStLists), empty, sizeof empty))
        return error;
    ListTexts texts;
    for (const auto& [id, value] : work.lists) {
        uint32_t size = 0;
        MemHandle block = list_save_value(value, &size);
        if (!block || id == 0 || id > 0xFFFF) {
            mem_free(block);
            texts.error = kErrOutOfMemory;
            break;
        }
        list_saved_slots(static_cast<uint8_t*>(mem_address(block)), size, store_list_text, &texts);
        int error = urec_put_field(var_record(kVarStLists), uint16_t(id), mem_address(block), size);
        mem_free(block);
        if (error) {
            texts.error = error;
            break;
        }
    }
    keep_list_texts(texts);
    return texts.error;
}

static int save_items()
{
    uint32_t count = uint32_t(s_var.items.size());
    std::vector<uint8_t> bytes(size_t(count) * kVarItemSize);
    for (uint32_t i = 1; i <= count; ++i)
        var_item_get(i, bytes.data() + (i - 1) * kVarItemSize);
    return urec_write(var_record(kVarStItems), bytes.data(), bytes.size());
}

static int module_save(ModuleMessage* message)
{
    if (message->size != int16_t(kVarStateSize) || !message->state)
        return kErrStateSize;
    if (!s_var.open)
        return kErrVarStoreUnusable;
    SaveWork work;
    list_clear_marks();
    int error = for_each_value(collect_value, &work);
    list_clear_marks();
    if (!error)
        error = save_lists(work);
    if (!error)
        error = save_symbols(work);
    if (!error)
        error = save_items();
    write_state(message->state);
    return error;
}

// --- Init -------------------------------------------------------------------------------------

static int new_record(VarStateOffset offset, const void* bytes, size_t size)
{
    uint16_t number = urec_new_id();
    if (!number)
        return kErrVarNoRecord;
    var_record(offset) = number;
    return urec_write(number, bytes, size);
}

static int module_init(ModuleMessage* message)
{
    var_reset_all();
    if (var_hooks().xevt_reset)
        var_hooks().xevt_reset();
    s_var.open = true;
    if (var_hooks().trig_bits_create)
        var_hooks().trig_bits_create();
    uint8_t empty_list[2] = {};
    int error = new_record(kVarStItems, nullptr, 0);
    for (VarStateOffset offset : kPlainRecords)
        if (!error)
            error = new_record(offset, nullptr, 0);
    for (VarStateOffset offset : kTagLists)
        if (!error)
            error = new_record(offset, empty_list, sizeof empty_list);
    s_var.next_custom = kVarLastSystem + 1;
    message->size = int16_t(kVarStateSize);
    if (error) {
        var_reset_all();
        return error;
    }
    if (message->state)
        write_state(message->state);
    return 0;
}

// --- Restore ----------------------------------------------------------------------------------

// Every record number is its own and none is record 1, which holds the modules' states.
static bool numbers_fit(const uint16_t* records)
{
    for (int i = 0; i < 13; ++i) {
        if (records[i] == 1)
            return false;
        for (int j = 0; j < i && records[i]; ++j)
            if (records[j] == records[i])
                return false;
    }
    return true;
}

static int load_symbols(RestoreMaps& maps)
{
    if (!var_record(kVarStSymbols1) || !var_record(kVarStSymbols2))
        return 0;
    std::vector<uint8_t> table, names;
    if (urec_read(var_record(kVarStSymbols1), table) != 0 || urec_read(var_record(kVarStSymbols2), names) != 0)
        return 0; // nothing saved under them
    if (table.size() % 8 != 0)
        return kErrStateSize;
    for (size_t at = 0; at < table.size(); at += 8) {
        uint32_t offset = plat::load_u32le(table.data() + at + 4);
        if (offset >= names.size() || !std::memchr(names.data() + offset, 0, names.size() - offset))
            return kErrStateSize;
        maps.symbol_ids.push_back(plat::load_u32le(table.data() + at));
        maps.symbol_names.push_back(reinterpret_cast<const char*>(names.data() + offset));
    }
    return 0;
}

static uint32_t live_symbol(const RestoreMaps& maps, uint32_t saved)
{
    for (size_t i = 0; i < maps.symbol_ids.size(); ++i)
        if (maps.symbol_ids[i] == saved)
            return symdict_intern(maps.symbol_names[i].c_str(), 0);
    return 0;
}

// A text's record is deleted when its variable changes: it may be neither record 1, nor one of
// the store's own, nor another text's.
static bool own_text_record(RestoreMaps& maps, uint16_t number)
{
    if (is_store_record(number))
        return false;
    for (uint16_t taken : maps.text_records)
        if (taken == number)
            return false;
    maps.text_records.push_back(number);
    return true;
}

struct ListClaim {
    RestoreMaps& maps;
    bool blanked = false;
};

// A restored list's text in a learner's record owns it, as a variable's text does; one that
// another text or the store already has reads empty.
static void claim_list_text(uint8_t* slot, void* user)
{
    auto& claim = *static_cast<ListClaim*>(user);
    if (slot[1] != kValString || slot[2] != kStoreLearner)
        return;
    uint16_t number = plat::load_u16le(slot + 8);
    if (own_text_record(claim.maps, number)) {
        claim.maps.list_texts.push_back(number);
        return;
    }
    ScriptValue empty;
    val_init(empty);
    std::memcpy(slot, empty.bytes, 16);
    claim.blanked = true;
}

static int restore_list_field(uint16_t tag, uint8_t* data, uint32_t size, void* user, int* changed)
{
    auto& maps = *static_cast<RestoreMaps*>(user);
    if (size == 0 || !val_is_object_type(data[0]))
        return 1;
    ListClaim claim { maps };
    list_saved_slots(data, size, claim_list_text, &claim);
    *changed = claim.blanked ? 1 : 0;
    ScriptValue value;
    val_set_object(data[0], tag, 0, value);
    if (list_restore_value(data, size, value) != 0)
        return 1; // a damaged list: who holds it reads empty
    maps.objects[tag] = value;
    maps.new_ids[tag] = list_map_restored_id(tag);
    return 1;
}

// While a restore runs, values name objects by their stored ids; then by the new ones, which
// need not be the same (a list table that made and freed objects hands out other numbers).
static void rename_object(const RestoreMaps& maps, ScriptValue& value)
{
    auto found = maps.new_ids.find(val_object_id(value));
    if (found == maps.new_ids.end())
        val_init(value);
    else
        val_set_object(val_type(value), found->second, val_stamp(value), value);
}

static int rename_held_object(ScriptValue& value, void* user, bool* changed)
{
    if (!val_is_object_type(val_type(value)))
        return 0;
    rename_object(*static_cast<const RestoreMaps*>(user), value);
    *changed = true;
    return 0;
}

// One stored value checked and rebuilt: storages 0, 2 (of the running piece), 3; known types.
static int rebuild_value(ScriptValue& value, void* user, bool* changed)
{
    auto& maps = *static_cast<RestoreMaps*>(user);
    int type = val_type(value);
    if (type == kValString) {
        int storage = val_storage(value);
        if (storage == kStoreRecord) {
            val_put_u16(value, 10, uint16_t(piece_slot()));
            *changed = true;
        } else if (storage == kStoreLearner && !own_text_record(maps, val_u16(value, 8))) {
            val_init(value);
            *changed = true;
        } else if (storage != kStoreInline && storage != kStoreLearner) {
            val_init(value);
            *changed = true;
        }
        return 0;
    }
    if (type == kValSymbol) {
        val_set_symbol(live_symbol(maps, val_word(value)), value);
        *changed = true;
        return 0;
    }
    if (val_is_object_type(type)) {
        auto found = maps.objects.find(val_object_id(value));
        if (found == maps.objects.end() || val_type(found->second) != type) {
            val_init(value);
        } else {
            value = found->second;
            if (maps.holders[found->first]++ > 0)
                list_add_ref(value);
        }
        *changed = true;
        return 0;
    }
    if (type > kValEventList) {
        val_init(value);
        *changed = true;
    }
    return 0;
}

// Symbols inside restored lists are saved live ids too.
static void rebuild_list_symbols(const RestoreMaps& maps, const ScriptValue& list)
{
    int count = list_count(list);
    for (int i = 1; i <= count; ++i) {
        ScriptValue element;
        if (list_get_element(list, i, element) == 0 && val_type(element) == kValSymbol) {
            ScriptValue symbol;
            val_set_symbol(live_symbol(maps, val_word(element)), symbol);
            list_set_element(list, i, symbol);
        }
        val_free(element);
    }
}

static int module_restore(ModuleMessage* message)
{
    if (message->size != int16_t(kVarStateSize) || !message->state)
        return kErrStateSize;
    var_reset_all();
    uint16_t records[13];
    for (int i = 0; i < 13; ++i)
        records[i] = plat::load_u16le(message->state + 2 * i);
    uint16_t next_custom = plat::load_u16le(message->state + kVarStNextCustom);
    int32_t count = int32_t(plat::load_u32le(message->state + kVarStItemCount));
    if (!numbers_fit(records) || next_custom <= kVarLastSystem || next_custom > kVarLastCustom + 1 || count < 0)
        return kErrStateSize;
    std::vector<uint8_t> bytes;
    if (urec_read(records[0], bytes) != 0)
        return kErrOutOfMemory;
    if (uint64_t(count) * kVarItemSize > bytes.size())
        return kErrStateSize;
    s_var.items.resize(size_t(count));
    for (int32_t i = 0; i < count; ++i)
        std::memcpy(s_var.items[size_t(i)].bytes, bytes.data() + size_t(i) * kVarItemSize, kVarItemSize);
    std::memcpy(s_var.records, records, sizeof records);
    s_var.next_custom = next_custom;
    s_var.open = true;
    var_items_sort();
    RestoreMaps maps;
    int error = load_symbols(maps);
    if (!error) {
        list_restore_begin();
        urec_for_each_field(var_record(kVarStLists), restore_list_field, &maps);
        for (const auto& [id, list] : maps.objects)
            rebuild_list_symbols(maps, list);
        error = for_each_value(rebuild_value, &maps);
        list_restore_end();
        for (auto& [id, list] : maps.objects)
            rename_object(maps, list);
        if (!error)
            error = for_each_value(rename_held_object, &maps);
        // A list only other lists hold gave its first reference to nobody.
        for (const auto& [id, list] : maps.objects)
            if (maps.holders[id] == 0)
                list_release(list);
    }
    if (error) {
        var_reset_all();
        return error;
    }
    s_var.list_texts = maps.list_texts;
    if (var_hooks().xevt_reset)
        var_hooks().xevt_reset();
    if (var_hooks().trig_bits_create)
        var_hooks().trig_bits_create();
    return 0;
}

// --- Release and Delete -----------------------------------------------------------------------

// The records stay as they are: a release after a save leaves what was saved.
static int release_objects(ScriptValue& value, void*, bool*)
{
    if (val_is_object_type(val_type(value)))
        list_release(value);
    return 0;
}

static int delete_owned(ScriptValue& value, void*, bool* changed)
{
    if (val_owns(value) || (val_type(value) == kValString && val_storage(value) == kStoreLearner)) {
        var_free_stored_value(value);
        *changed = true;
    }
    return 0;
}

static void module_release(bool delete_records)
{
    if (var_hooks().xevt_shutdown)
        var_hooks().xevt_shutdown();
    if (s_var.open && rec_slot(kRecordsSlot))
        (void)for_each_value(delete_records ? delete_owned : release_objects, nullptr);
    if (delete_records && s_var.open) {
        for (uint16_t number : s_var.records)
            (void)urec_delete(number);
        for (uint16_t number : s_var.list_texts)
            (void)urec_delete(number);
    }
    if (var_hooks().trig_bits_free)
        var_hooks().trig_bits_free();
    var_reset_all();
}

int var_module(ModuleMessage* message)
{
    switch (message->message) {
    case kModInit: return module_init(message);
    case kModSave: return module_save(message);
    case kModRestore: return module_restore(message);
    case kModRelease: module_release(false); return 0;
    case kModDelete:
        module_release(true);
        if (message->state && message->size > 0)
            std::memset(message->state, 0, size_t(message->size));
        return 0;
    default: return 0;
    }
}

void var_reset_all()
{
    s_var = VarState {};
}

// The stored system variables Initialize empties, in order (the time-out target between).
static const char* const kResetBeforeTimeOut[] = { "JudgedInteractions", "JudgedResponses", "TotalCorrect",
    "TotalWrong", "FirstTryCorrect", "FirstTryWrong", "SearchPath" };
static const char* const kResetAfterTimeOut[] = { "ObjectMoved", "ObjectClicked", "WordClicked", "LineClicked",
    "ParagraphClicked", "GlobalTempo", "EventQueue" };

static void reset_system_variable(const char* name)
{
    auto find = var_name_hooks().sysvar_find;
    VariableId id = find ? find(name) : 0;
    if (!id)
        return;
    ScriptValue empty;
    val_init(empty);
    (void)var_set_stored(0, id, empty);
    if (var_hooks().trig_mark_variable)
        var_hooks().trig_mark_variable(var_piece_root(), id);
}

int var_initialize_all()
{
    module_release(true);
    ModuleMessage message;
    message.message = kModInit;
    if (int error = module_init(&message))
        return error;
    for (const char* name : kResetBeforeTimeOut)
        reset_system_variable(name);
    if (var_hooks().time_out_off)
        var_hooks().time_out_off();
    for (const char* name : kResetAfterTimeOut)
        reset_system_variable(name);
    return 0;
}
