// Arbitrary bytes as a record file in a memory-based file: opened read-only with any kind and
// every record loaded (unpacked, converted to native order); then opened writable, which
// places the directory anew and builds the holes, changed and compacted, and every record
// loaded again. A refused file must leave nothing open.
#include "runtime/store/fhdr.h"
#include "runtime/files/file.h"
#include "runtime/files/fspec_func.h"
#include "runtime/store/rec_file.h"
#include "runtime/store/rec_space.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

void load_every_record(RecordFileState& state)
{
    RecordDirEntry entry;
    for (int32_t n = 0; rec_dir_entry_at(state, n, entry); n++) {
        RecordDescriptor loaded;
        if (rec_load_record(state, entry, loaded) == 0) {
            check(mem_size(loaded.data) >= loaded.unpacked_size);
            mem_free(loaded.data);
        }
    }
}

void change(RecordFileState& state)
{
    RecordDirEntry entry;
    if (rec_is_packaged(state) || !rec_dir_entry_at(state, 0, entry))
        return;
    rec_dir_remove(state, entry.number);
    rec_free_space(state, entry.offset, entry.stored_size);
    entry.number = 65535;
    entry.stored_size = entry.unpacked_size = 0;
    rec_dir_store(state, entry);
    rec_compact(state, kCompactAll);
    rec_write_directory(state, state.header.directory_size);
    rec_trim_tail(state);
}

void open_as(FileSpec* spec, int mode, uint32_t flags)
{
    FileHandle file = file_open(spec, mode);
    if (!file)
        return;
    RecordFileState state;
    if (rec_file_attach(state, spec, file, flags, kKindAny, fhdr_check, 0) == 0) {
        load_every_record(state);
        RecordDirEntry entry;
        rec_dir_lookup(state, 1, entry, nullptr);
        rec_dir_lookup(state, 65535, entry, nullptr);
        if (flags & kRecOpenWritable) {
            change(state);
            load_every_record(state);
        }
    } else {
        check(state.flags == 0 && !state.directory);
    }
    rec_file_detach(state);
    file_close(file.handle, file.kind);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The open-file table lives for the whole run and goes before the leak check at exit.
    static const int ready = [] {
        std::atexit(file_term);
        return file_init();
    }();
    check(ready == 1);
    FileSpec* spec = fspec_new_memory();
    MemHandle bytes = mem_alloc_copy(data, size);
    if (spec && bytes && fspec_set_memory(spec, bytes, int32_t(size), 0) == 0) {
        open_as(spec, kFileModeRead, 0);
        open_as(spec, kFileModeReadWrite, kRecOpenWritable);
    }
    mem_free(bytes);
    fspec_free(spec);
    return 0;
}
