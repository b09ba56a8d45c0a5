// Arbitrary bytes as the learner's records of a fixed piece (written once by the piece maker
// into a temporary folder mapped as drive T:): the piece is opened through the runtime's road,
// which resumes from the records or starts fresh, the kernel takes steps, the records are
// saved (forced) and the piece is closed as the window's close does. Every message box is
// answered, as a script would. Nothing may crash, and the records must be closed afterwards.
// An input whose first byte is odd is record 1 itself from its second byte on, put into a
// fresh records file with a stamp that vouches for it, so that every module's Restore meets
// what the bytes hold; with bit 1 set as well, a u16 length ends record 1's bytes and the rest
// becomes the records its fields name (call frames, queued actions).
#include "platform/backend/script.h"
#include "platform/kernel/path.h"
#include "runtime/base/taglist.h"
#include "runtime/engine/engine.h"
#include "runtime/engine/kernel.h"
#include "runtime/engine/modbus.h"
#include "runtime/engine/urec.h"
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
#include "tools/piecemaker/pm_build.h"
#include "tools/piecemaker/pm_desc.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

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

std::string s_folder;

void write_host(const char* name, const uint8_t* data, size_t size)
{
    std::ofstream(s_folder + "/" + name, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), std::streamsize(size));
}

bool write_piece()
{
    PieceDescription piece;
    std::string error;
    std::vector<uint8_t> bytes;
    if (!pm_parse(kPiece, ".", piece, error) || !pm_make(piece, bytes, error))
        return false;
    write_host("p.v5r", bytes.data(), bytes.size());
    return true;
}

void queue_answers()
{
    std::vector<plat::ScriptCommand> commands;
    std::string error, script;
    for (int n = 0; n < 8; n++)
        script += "answer OK\nanswer Continue\n";
    plat::script_parse(script, commands, error);
    plat::script_start(commands);
    while (plat::script_has_next() && plat::script_run_next(error)) {
    }
}

constexpr uint16_t kFirstOtherRecord = 2;
constexpr uint16_t kLastOtherRecord = 9;

// A fresh records file whose record 1 is the bytes, with a stamp for their field 1; other
// bytes, when given, become records 2 to 9, which the fields' record numbers (the call stack,
// the action queue, the icon states) may name.
void write_stamped_first_record(FileSpec* piece, FileSpec* records, const uint8_t* data, size_t size,
    const uint8_t* other = nullptr, size_t other_size = 0)
{
    if (piece_open(piece, records, 0) != 0)
        return;
    if (other)
        for (uint16_t number = kFirstOtherRecord; number <= kLastOtherRecord; number++)
            (void)urec_write(number, other, other_size);
    TagList list = mem_alloc_copy(data, size);
    if (list && taglist_check(data, size) == 0) {
        uint16_t length = 0;
        uint8_t* kernel = taglist_lock_item(list, 1, &length);
        std::vector<uint8_t> field(kernel, kernel + (kernel ? length : 0));
        taglist_unlock_item(list, kernel);
        uint8_t stamp[kStampSize];
        urec_make_stamp(field.data(), field.size(), stamp);
        if (taglist_put(&list, kStampTag, stamp, sizeof stamp)) {
            const uint8_t* bytes = static_cast<const uint8_t*>(mem_address(list));
            if (urec_write(1, bytes, taglist_size(bytes, mem_size(list))) == 0)
                (void)urec_flush();
        }
    }
    taglist_free(list);
    piece_close(0); // without the save of the window's close
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const int ready = [] {
        char folder[] = "/tmp/fuzz_learner_XXXXXX";
        check(mkdtemp(folder) != nullptr);
        s_folder = folder;
        plat::set_drive_root('T', s_folder);
        std::atexit(file_term);
        std::atexit(node_files_free);
        return fspec_manager_create() && file_init() && node_files_init() && rec_init() && pieces_init()
            && lib_list_init() && sched_init() && engine_init() && write_piece();
    }();
    check(ready == 1);
    std::remove((s_folder + "/p.bak").c_str());
    queue_answers();
    FileSpec* piece = nullptr;
    FileSpec* records = nullptr;
    check(fspec_from_path("T:\\p.v5r", &piece) == 0 && fspec_from_path("T:\\p.rec", &records) == 0);
    if (size >= 3 && (data[0] & 3) == 3) {
        // A u16 length, record 1's bytes, then the other records' bytes.
        size_t first = std::min<size_t>(size_t(data[1] | data[2] << 8), size - 3);
        std::remove((s_folder + "/p.rec").c_str());
        write_stamped_first_record(piece, records, data + 3, first, data + 3 + first, size - 3 - first);
    } else if (size > 0 && (data[0] & 1)) {
        std::remove((s_folder + "/p.rec").c_str());
        write_stamped_first_record(piece, records, data + 1, size - 1);
    } else {
        write_host("p.rec", data, size);
    }
    if (piece_open(piece, records, 0) == 0) {
        check(exec_records_open() == 1);
        for (int step = 0; step < 40 && !exec_suspended(); step++)
            exec_step();
        (void)urec_save_all(1);
        engine_window_closing();
        piece_close(0);
    }
    check(piece_slot() == 0 && exec_records_open() == 0);
    fspec_free(piece);
    fspec_free(records);
    plat::script_reset();
    return 0;
}
