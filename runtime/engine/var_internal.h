// What the variable store's sources share: the store's one state and the item helpers.
#pragma once
#include "runtime/engine/var.h"

#include <cstdint>
#include <vector>

constexpr uint32_t kVarRecordsSlot = 23;

// One value item as stored: {u32 context, u16 variable, ScriptValue}.
struct VarItem {
    uint8_t bytes[kVarItemSize];
};

struct VarState {
    bool open = false;
    // Sorted by {context, variable}. A vector rather than a movable block: a program that ends
    // through an internal error never releases the store, and the vector goes with the process.
    std::vector<VarItem> items;
    uint16_t records[13] = {}; // the record numbers of the small state, offsets 0 to 24
    uint16_t next_custom = 12289;
    uint32_t eval_context = 0;
    struct HeldText {
        uint16_t record;
        uint16_t tag;
        uint8_t* data;
    };
    std::vector<HeldText> locked_texts; // entry and tracking texts held by a lock
    // Learner's records holding the long texts of saved lists: the live lists keep their own
    // texts, so each save writes these anew and drops the ones no list refers to any more.
    std::vector<uint16_t> list_texts;
};
extern VarState s_var;

inline uint16_t& var_record(VarStateOffset offset) { return s_var.records[offset / 2]; }

uint32_t var_piece_root();
// Item n (1 up) into / from 22 bytes.
void var_item_get(uint32_t n, uint8_t* out);
void var_item_set(uint32_t n, const uint8_t* item);
// The items in key order again (after a restore).
void var_items_sort();
// The item's index (1 up), its value into out when given; 0 when missing.
uint32_t var_item_find(uint32_t context, VariableId id, ScriptValue* out);
// Inserts or overwrites the item: 1/0.
int var_item_put(uint32_t context, VariableId id, const ScriptValue& value);
void var_item_delete(uint32_t context, VariableId id);
// Puts the text into a new learner's record and makes value (freed first) name it: 0, or an
// error with value freed and empty.
int var_text_into_record(ScriptValue& value, const char* text, size_t length);
// The text of a learner's record for string values of storage 3 (null: none), and its release.
const char* var_learner_string_lock(uint16_t number);
void var_learner_string_unlock(uint16_t number);
