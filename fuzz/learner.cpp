// Arbitrary bytes as the learner's records of a fixed piece (written once by the piece maker
// into a temporary folder mapped as drive T:): the piece is opened through the runtime's road,
// which resumes from the records or starts fresh, the kernel takes steps, the records are
// saved (forced) and the piece is closed as the window's close does. Every message box is
// answered, as a script would. Nothing may crash, and the records must be closed afterwards.
// An input whose first byte is odd is record 1 itself from its second byte on, put into a
// fresh records file with a stamp that vouches for it, so that every module's Restore meets
// what the bytes hold; with bit 1 set as well, a u16 length ends record 1's bytes and the rest
// becomes the records its fields name (call frames, queued actions).
#include "fuzz/records_fixture.h"
#include "runtime/engine/engine.h"
#include "runtime/engine/kernel.h"
#include "runtime/files/file.h"
#include "runtime/files/fspec_mgr.h"
#include "runtime/files/sched.h"
#include "runtime/nodes/node_files.h"
#include "runtime/pieces/lib.h"
#include "runtime/pieces/pieces.h"
#include "runtime/store/rec_store.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

using namespace fuzzrecords;

constexpr const char* kPiece = R"(kind PCRS
icon map "Top" {
    attr 0x2000308 1
    icon calc "One"
    icon map "Group" {
        icon calc "Two"
        icon map "Empty"
    }
    icon interaction "Ask" {
        icon calc "Reply" class 1
    }
    icon calc "Three"
}
)";

void take_steps()
{
    for (int step = 0; step < 40 && !exec_suspended(); step++)
        exec_step();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const int ready = [] {
        make_folder("/tmp/fuzz_learner_XXXXXX");
        std::atexit(file_term);
        std::atexit(node_files_free);
        return fspec_manager_create() && file_init() && node_files_init() && rec_init() && pieces_init()
            && lib_list_init() && sched_init() && engine_init() && write_piece(kPiece);
    }();
    check(ready == 1);
    run_records(data, size, take_steps);
    return 0;
}
