#include "runtime/pieces/piece_current.h"

#include "runtime/base/errcode.h"
#include "runtime/files/fspec_func.h"
#include "runtime/files/fspec_mgr.h"

namespace {

struct CurrentPiece {
    FileSpec* spec = nullptr;
    FileSpec* records = nullptr;
    int slot = 0;
    int open = 0;
};

CurrentPiece s_piece;

} // namespace

const FileSpec* piece_spec() { return s_piece.spec; }
const FileSpec* piece_records_spec() { return s_piece.records; }
int piece_slot() { return s_piece.slot; }
int piece_is_open() { return s_piece.open; }

int piece_folder(char* buffer, int size)
{
    if (!s_piece.spec) {
        fspec_copy_text(buffer, size, "");
        return kErrPartMissing;
    }
    return fspec_get_folder(s_piece.spec, buffer, size);
}

IconId piece_top_icon()
{
    if (s_piece.slot == 0 || !node_file_is_open(s_piece.slot))
        return 0;
    return node_make_icon(uint32_t(s_piece.slot), 1);
}

int piece_current_set_spec(const FileSpec* spec)
{
    fspec_free(s_piece.spec);
    s_piece.spec = nullptr;
    fspec_manager_set_piece(nullptr);
    if (!spec)
        return kErrOk;
    s_piece.spec = fspec_clone(spec);
    if (!s_piece.spec)
        return kErrOutOfMemory;
    fspec_manager_set_piece(s_piece.spec);
    return kErrOk;
}

void piece_current_set_records(FileSpec* records)
{
    if (records != s_piece.records)
        fspec_free(s_piece.records);
    s_piece.records = records;
}

void piece_current_set_slot(int slot) { s_piece.slot = slot; }
void piece_mark_open(int on) { s_piece.open = on ? 1 : 0; }

void piece_current_clear()
{
    piece_current_set_spec(nullptr);
    piece_current_set_records(nullptr);
    s_piece.slot = 0;
    s_piece.open = 0;
}
