// Arbitrary bytes as a piece and a library file: the first two bytes say where the piece ends
// and the library begins; both are written into a temporary folder mapped as drive T: (the
// piece as T:\p.v5r, the library as T:\lib.v5e, which the seeds' pieces name). The piece is
// opened through the runtime's road with its libraries, every icon of it is asked for its
// link and linked content, every link number is followed, and the piece is closed. Every file
// dialog is cancelled, every message box answered, as a script would. The program's own
// resources (messages, texts, dialogs, the format number) are linked in.
#include "platform/backend/script.h"
#include "platform/kernel/path.h"
#include "runtime/files/file.h"
#include "runtime/files/fspec_func.h"
#include "runtime/files/fspec_mgr.h"
#include "runtime/nodes/node_files.h"
#include "runtime/nodes/node_tree.h"
#include "runtime/pieces/lib.h"
#include "runtime/pieces/piece.h"
#include "runtime/pieces/piece_current.h"
#include "runtime/pieces/pieces.h"
#include "runtime/store/rec_store.h"

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

std::string s_folder;

void write_host(const char* name, const uint8_t* data, size_t size)
{
    std::ofstream(s_folder + "/" + name, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), std::streamsize(size));
}

// Cancels the dialogs and answers the boxes one opening may show.
void queue_answers()
{
    std::vector<plat::ScriptCommand> commands;
    std::string error, script;
    for (int n = 0; n < 8; n++)
        script += "choose-file cancel\nanswer OK\n";
    plat::script_parse(script, commands, error);
    plat::script_start(commands);
    while (plat::script_has_next() && plat::script_run_next(error)) {
    }
}

int visit(IconId icon, void*)
{
    IconId target = lib_resolve_icon(icon);
    check(target == 0 || node_is_valid(target));
    lib_linked_icon(icon);
    lib_resolve_icon_for_attr(icon, 1700);
    lib_icon_content_record(icon);
    return 1;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const int ready = [] {
        char folder[] = "/tmp/fuzz_piece_XXXXXX";
        check(mkdtemp(folder) != nullptr);
        s_folder = folder;
        plat::set_drive_root('T', s_folder);
        std::atexit(file_term);
        std::atexit(node_files_free);
        return fspec_manager_create() && file_init() && node_files_init() && rec_init()
            && pieces_init() && lib_list_init();
    }();
    check(ready == 1);
    if (size < 2)
        return 0;
    size_t split = std::min(size - 2, size_t(data[0] | data[1] << 8));
    write_host("p.v5r", data + 2, split);
    write_host("lib.v5e", data + 2 + split, size - 2 - split);
    queue_answers();
    FileSpec* file_spec = nullptr;
    if (fspec_from_path("T:\\p.v5r", &file_spec) == 0 && piece_open(file_spec, nullptr, 0) == 0) {
        check(piece_is_open() == 1);
        node_walk(node_make_icon(kPieceSlot, 1), kWalkDescendants, visit, nullptr);
        for (uint32_t n = 0; n < 300; n++)
            lib_link_target(kPieceSlot, n);
        piece_close(0);
    }
    check(piece_slot() == 0);
    fspec_free(file_spec);
    plat::script_reset();
    return 0;
}
