// Arbitrary bytes as a record file in a memory-based file, through the record store: opened
// read-only into a slot with any kind, every record got twice and released, one taken; then
// opened writable, where every record must load as before, a record put and one deleted,
// flushed in place (the first byte picks the compaction) and saved as a copy into another
// memory file. The copy and the flushed file must open, and hold every record that loaded,
// with the same bytes.
#include "platform/kernel/resource.h"
#include "runtime/store/fhdr.h"
#include "runtime/files/file.h"
#include "runtime/files/file_ops.h"
#include "runtime/files/fspec_func.h"
#include "runtime/store/rec_flush.h"
#include "runtime/store/rec_store.h"
#include "runtime/store/rec_write.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

namespace {

void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

// The program's file-format number, which the kind header carries.
const uint8_t kFormatData[4] = { 22, 0, 0, 0 };
const plat::ResourceEntry kFormatEntries[] = { { 260, nullptr, 1, nullptr, 0, 4 } };
const plat::ResourceModuleTable kFormatTable
    = { "fuzz_store", plat::ResourceModuleKind::program, kFormatEntries, 1, kFormatData, 4 };

using Records = std::map<uint32_t, std::vector<uint8_t>>;

std::vector<uint8_t> bytes_of(MemHandle block, size_t size)
{
    const uint8_t* bytes = static_cast<const uint8_t*>(mem_address(block));
    return std::vector<uint8_t>(bytes, bytes + size);
}

// Every record of the slot that loads, by number; a record that does not load says why.
Records load_every_record(int slot)
{
    Records loaded;
    const RecSlot* s = rec_slot(slot);
    RecordDirEntry entry;
    for (int32_t n = 0; s && rec_dir_entry_at(s->state, n, entry); n++) {
        RecordId id = rec_make_id(uint32_t(slot), entry.number);
        MemHandle block = rec_get(id);
        if (!block) {
            check(rec_error_word() != 0);
            continue;
        }
        check(rec_get(id) == block);
        check(mem_size(block) >= entry.unpacked_size);
        loaded[entry.number] = bytes_of(block, entry.unpacked_size);
        rec_release(id, kReleaseAll);
    }
    return loaded;
}

Records read_only_pass(FileSpec* spec)
{
    if (rec_open_file(spec, 1, 0, fhdr_check, kKindAny, kRecRefuseEmpty) != 0) {
        check(rec_slot(1) == nullptr);
        return {};
    }
    Records loaded = load_every_record(1);
    if (!loaded.empty()) {
        RecordId id = rec_make_id(1, loaded.begin()->first);
        MemHandle own = rec_take(id);
        check(own && rec_peek(id) == MemHandle {});
        check(bytes_of(own, loaded.begin()->second.size()) == loaded.begin()->second);
        mem_free(own);
    }
    rec_close_file(1);
    return loaded;
}

// Changes the writable slot: puts record 65535, deletes the first record; expected follows.
void change(Records& expected)
{
    MemHandle block = mem_alloc_copy("fuzz", 4);
    if (rec_put(rec_make_id(2, 65535), -2, block, 4) == 0) {
        expected[65535] = { 'f', 'u', 'z', 'z' };
        rec_release(rec_make_id(2, 65535), kReleaseOne);
    } else {
        mem_free(block);
    }
    RecordDirEntry entry;
    if (rec_dir_entry_at(rec_slot(2)->state, 0, entry) && entry.number != 65535
        && rec_delete(rec_make_id(2, entry.number)) == 0)
        expected.erase(entry.number);
}

// The slot saved into a new memory file; opened in slot 3, it holds what was expected.
void check_copy(const Records& expected)
{
    FileSpec* target = fspec_new_memory();
    check(target && file_create(target) == 0);
    FileHandle out = file_open(target, kFileModeReadWrite);
    check(bool(out));
    int saved = rec_save_as(2, out, nullptr, kKindAny, kSaveAsCopy);
    file_close(out.handle, out.kind);
    if (saved == 0) {
        check(rec_open_file(target, 3, 0, fhdr_check, kKindAny, kRecRefuseEmpty) == 0);
        for (const auto& [number, bytes] : expected) {
            RecordId id = rec_make_id(3, number);
            MemHandle block = rec_get(id);
            check(block && bytes_of(block, bytes.size()) == bytes);
            rec_release(id, kReleaseOne);
        }
        rec_close_file(3);
    }
    fspec_free(target);
}

void writable_pass(FileSpec* spec, const Records& before, int mode)
{
    if (rec_open_file(spec, 2, kRecOpenWritable, fhdr_check, kKindAny, kRecRefuseEmpty) != 0)
        return;
    Records expected = load_every_record(2);
    check(expected == before);
    change(expected);
    bool flushed = rec_flush(2, mode) == 0;
    if (flushed)
        check_copy(expected);
    rec_close_file(2);
    // The flushed file itself opens again and holds the same records.
    if (!flushed)
        return;
    check(rec_open_file(spec, 2, 0, fhdr_check, kKindAny, kRecRefuseEmpty) == 0);
    for (const auto& [number, bytes] : expected) {
        RecordId id = rec_make_id(2, number);
        MemHandle block = rec_get(id);
        check(block && bytes_of(block, bytes.size()) == bytes);
        rec_release(id, kReleaseOne);
    }
    rec_close_file(2);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The open-file table lives for the whole run and goes before the leak check at exit.
    static const int ready = [] {
        std::atexit(file_term);
        plat::register_resource_module(kFormatTable);
        return file_init();
    }();
    check(ready == 1 && rec_init() == 1);
    FileSpec* spec = fspec_new_memory();
    MemHandle bytes = mem_alloc_copy(data, size);
    if (spec && bytes && fspec_set_memory(spec, bytes, int32_t(size), 0) == 0) {
        Records loaded = read_only_pass(spec);
        writable_pass(spec, loaded, size > 0 ? data[0] % 3 : 0);
    }
    rec_close_all();
    mem_free(bytes);
    fspec_free(spec);
    return 0;
}
