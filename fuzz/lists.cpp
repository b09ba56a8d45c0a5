// Any bytes as a saved list block of each kind: restored, written as text, saved again and
// released; nothing may outlive the restore but what it made.
#include <cstdint>
#include <vector>

#include "runtime/base/symdict.h"
#include "runtime/calc/list_table.h"

namespace {

void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size)
{
    static bool ready = (symdict_create(), list_tables_init(), true);
    (void)ready;
    int kind = size > 0 ? bytes[0] : kValLinearList;
    if (!val_is_object_type(kind))
        kind = kValLinearList;
    check(list_restore_begin() == 0);
    ScriptValue first, second;
    val_set_object(kind, 1, 0, first);
    val_set_object(kind, 2, 0, second);
    int a = list_restore_value(bytes, size, first);
    int b = list_restore_value(bytes, size, second); // the same block twice: elements naming 1 and 2
    if (a == 0)
        val_put_u32(first, 2, list_map_restored_id(1));
    if (b == 0)
        val_put_u32(second, 2, list_map_restored_id(2));
    check(list_restore_end() == 0);
    for (ScriptValue* v : { &first, &second }) {
        if (!list_is_live(*v))
            continue;
        MemHandle text = list_to_text(*v, 1, 0, 1);
        mem_free(text);
        uint32_t saved = 0;
        mem_free(list_save_value(*v, &saved));
        list_count(*v);
    }
    if (a == 0)
        val_free(first);
    if (b == 0)
        val_free(second);
    return 0;
}
