// Shared by the fuzz targets that feed bytes to the learner's records of a fixed piece: the
// temporary folder mapped as drive T:, the piece written by the piece maker, message boxes
// answered as a script would, and a records file whose record 1 is given bytes with a stamp
// that vouches for them.
#pragma once
#include "platform/backend/script.h"
#include "platform/kernel/path.h"
#include "runtime/base/taglist.h"
#include "runtime/engine/engine.h"
#include "runtime/engine/modbus.h"
#include "runtime/engine/urec.h"
#include "runtime/pieces/piece_current.h"
#include "runtime/files/fspec_func.h"
#include "runtime/pieces/piece.h"
#include "tools/piecemaker/pm_build.h"
#include "tools/piecemaker/pm_desc.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace fuzzrecords {

inline void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

inline std::string& folder()
{
    static std::string path;
    return path;
}

// A new temporary folder (prefix ends in XXXXXX) as drive T:.
inline void make_folder(const char* prefix)
{
    std::string pattern = prefix;
    check(mkdtemp(pattern.data()) != nullptr);
    folder() = pattern;
    plat::set_drive_root('T', folder());
}

inline void write_host(const char* name, const uint8_t* data, size_t size)
{
    std::ofstream(folder() + "/" + name, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), std::streamsize(size));
}

// The description as T:\p.v5r.
inline bool write_piece(const char* description)
{
    PieceDescription piece;
    std::string error;
    std::vector<uint8_t> bytes;
    if (!pm_parse(description, ".", piece, error) || !pm_make(piece, bytes, error))
        return false;
    write_host("p.v5r", bytes.data(), bytes.size());
    return true;
}

inline void queue_answers()
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
inline void write_stamped_first_record(FileSpec* piece, FileSpec* records, const uint8_t* data, size_t size,
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

// T:\p.rec from the bytes: the whole file; or (first byte odd) record 1 from the second byte;
// or (first byte's low two bits set) a u16 length, record 1's bytes, then the other records'.
inline void write_records(FileSpec* piece, FileSpec* records, const uint8_t* data, size_t size)
{
    std::remove((folder() + "/p.bak").c_str());
    if (size >= 3 && (data[0] & 3) == 3) {
        size_t first = std::min<size_t>(size_t(data[1] | data[2] << 8), size - 3);
        std::remove((folder() + "/p.rec").c_str());
        write_stamped_first_record(piece, records, data + 3, first, data + 3 + first, size - 3 - first);
    } else if (size > 0 && (data[0] & 1)) {
        std::remove((folder() + "/p.rec").c_str());
        write_stamped_first_record(piece, records, data + 1, size - 1);
    } else {
        write_host("p.rec", data, size);
    }
}

// One input: the records written, the piece opened (resumed or fresh), run between open and
// the forced save, then closed as the window's close does; the records must be closed after.
inline void run_records(const uint8_t* data, size_t size, void (*run)())
{
    queue_answers();
    FileSpec* piece = nullptr;
    FileSpec* records = nullptr;
    check(fspec_from_path("T:\\p.v5r", &piece) == 0 && fspec_from_path("T:\\p.rec", &records) == 0);
    write_records(piece, records, data, size);
    if (piece_open(piece, records, 0) == 0) {
        check(exec_records_open() == 1);
        run();
        (void)urec_save_all(1);
        engine_window_closing();
        piece_close(0);
    }
    check(piece_slot() == 0 && exec_records_open() == 0);
    fspec_free(piece);
    fspec_free(records);
    plat::script_reset();
}

} // namespace fuzzrecords
