// Arbitrary bytes as the learner's records of a fixed piece with variables (written once by the
// piece maker into a temporary folder mapped as drive T:): the piece is opened and resumed from
// them (or starts fresh), every variable, custom variable, per-icon value and array element is
// read, texts are locked and unlocked, the records are saved (forced) and the piece is closed.
// An input whose first byte is odd is record 1 itself from its second byte on, stamped, so that
// the variable store's Restore meets what the bytes hold. Nothing may crash.
#include "fuzz/records_fixture.h"
#include "runtime/base/symdict.h"
#include "runtime/base/taglist.h"
#include "runtime/calc/list_table.h"
#include "runtime/calc/sysfn_table.h"
#include "runtime/engine/engine.h"
#include "runtime/engine/kernel.h"
#include "runtime/engine/urec.h"
#include "runtime/engine/var.h"
#include "runtime/files/file.h"
#include "runtime/files/fspec_func.h"
#include "runtime/files/fspec_mgr.h"
#include "runtime/files/sched.h"
#include "runtime/nodes/node_files.h"
#include "runtime/pieces/lib.h"
#include "runtime/pieces/piece.h"
#include "runtime/pieces/piece_current.h"
#include "runtime/pieces/pieces.h"
#include "runtime/store/rec_store.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using namespace fuzzrecords;

// The seeds in fuzz/seeds/variables were saved with this piece: a change to it would make them
// start fresh.
constexpr const char* kPiece = R"P(kind PCRS
var Score 5
var Greeting "hello there"
var Items expr "[1, 2, [3, 4]]"
var Colour symbol "blue"
var % 0
icon map "Top" {
    attr 0x2000308 1
    icon calc "One" {
        calc "Score := Score + 1"
    }
    icon interaction "Ask"
}
)P";

// A value read as its users read it: texts locked and unlocked, lists counted.
void touch(const ScriptValue& value)
{
    const char* text = var_lock_value_data(value);
    check(text != nullptr);
    (void)std::strlen(text);
    var_unlock_value_data(value);
    if (val_is_object_type(val_type(value)))
        (void)list_count(value);
}

int touch_item(uint32_t, VariableId, const ScriptValue& value, void*)
{
    touch(value);
    return 1;
}

void read_everything()
{
    ScriptValue value;
    for (VariableId id = 1; id <= 6; ++id) {
        var_get(0, id, 0, value);
        touch(value);
    }
    for (VariableId id = 12289; id <= 12300; ++id) {
        var_get(0, id, 0, value);
        touch(value);
        char name[64];
        var_custom_name(id, name, sizeof name);
    }
    for (uint32_t node = 1; node <= 12; ++node) {
        if (var_get_event_matched(node, value))
            touch(value);
        if (var_get_icon_preroll(node, value))
            touch(value);
        if (const char* text = var_lock_icon_text(node)) {
            (void)std::strlen(text);
            var_unlock_icon_text(node);
        }
        if (const char* text = var_lock_icon_track_text(node)) {
            (void)std::strlen(text);
            var_unlock_icon_track_text(node);
        }
    }
    for (int32_t index = 0; index < 8; ++index) {
        ScriptValue argument, result;
        val_set_integer(index, argument);
        sysfn_desc(kSysFnFirstId + 58).handler(1, &argument, result);
        touch(result);
        val_free(result);
    }
    var_for_each_item(touch_item, nullptr);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const int ready = [] {
        make_folder("/tmp/fuzz_variables_XXXXXX");
        std::atexit(file_term);
        std::atexit(node_files_free);
        std::atexit(sysfn_reset); // the name index piecemaker's compiler builds
        return symdict_create() == 0 && list_tables_init() && sysfn_build_table() && fspec_manager_create()
            && file_init() && node_files_init() && rec_init() && pieces_init() && lib_list_init() && sched_init()
            && engine_init() && write_piece(kPiece);
    }();
    check(ready == 1);
    run_records(data, size, read_everything);
    return 0;
}
