// What the variable store's sources share: the store's one state and the item helpers.
#pragma once
#include "runtime/base/recarr.h"
#include "runtime/engine/var.h"

#include <cstdint>
#include <vector>

constexpr uint32_t kVarRecordsSlot = 23;

struct VarState {
    bool open = false;
    RecordArray items; // 22-byte items sorted by {context, variable}
    uint16_t records[13] = {}; // the record numbers of the small state, offsets 0 to 24
    uint16_t next_custom = 12289;
    uint32_t eval_context = 0;
    struct HeldText {
        uint16_t record;
        uint16_t tag;
        uint8_t* data;
    };
    std::vector<HeldText> locked_texts; // entry and tracking texts held by a lock
};
extern VarState s_var;

inline uint16_t& var_record(VarStateOffset offset) { return s_var.records[offset / 2]; }

uint32_t var_piece_root();
RecordCompare var_item_compare();
// The item's index (1 up), its value into out when given; 0 when missing.
uint32_t var_item_find(uint32_t context, VariableId id, ScriptValue* out);
// Inserts or overwrites the item: 1/0.
int var_item_put(uint32_t context, VariableId id, const ScriptValue& value);
void var_item_delete(uint32_t context, VariableId id);
// The text of a learner's record for string values of storage 3 (null: none), and its release.
const char* var_learner_string_lock(uint16_t number);
void var_learner_string_unlock(uint16_t number);
