// Shared by the record-file tests: hex rows to bytes and back, memory-based files holding
// given bytes, and the program's format-number resource (22), which the runtime's program
// carries and a test binary lacks.
#pragma once
#include "hex_fixture.h"
#include "platform/kernel/memory.h"
#include "platform/kernel/resource.h"
#include "runtime/store/fhdr.h"
#include "runtime/files/file.h"
#include "runtime/files/fspec_func.h"
#include "runtime/store/rec_file.h"
#include "runtime/store/swap.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace rectest {

// The bytes of a block, as hex.
inline std::string block_hex(MemHandle block, size_t size)
{
    return to_hex(static_cast<const uint8_t*>(mem_address(block)), size);
}

inline const uint8_t kFormatData[4] = { 22, 0, 0, 0 };
inline const plat::ResourceEntry kFormatEntries[] = { { 260, nullptr, 1, nullptr, 0, 4 } };
inline const plat::ResourceModuleTable kFormatTable
    = { "rec_test", plat::ResourceModuleKind::program, kFormatEntries, 1, kFormatData, 4 };

// A memory-based file with the given bytes, open in the mode; the spec lives until close().
class MemoryFile {
public:
    MemoryFile(const std::vector<uint8_t>& bytes, int mode)
    {
        spec_ = fspec_new_memory();
        MemHandle data = mem_alloc_copy(bytes.data(), bytes.size());
        EXPECT_EQ(fspec_set_memory(spec_, data, int32_t(bytes.size()), 0), 0);
        mem_free(data);
        file = file_open(spec_, mode);
        EXPECT_TRUE(file);
    }
    ~MemoryFile()
    {
        close();
        fspec_free(spec_);
    }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    // Closes the file (handing what was written to the spec) and returns the spec's bytes.
    std::vector<uint8_t> close()
    {
        if (file)
            file_close(file.handle, file.kind);
        file = FileHandle {};
        MemHandle copy;
        int32_t length = 0;
        std::vector<uint8_t> out;
        if (fspec_get_memory(spec_, &copy, &length, nullptr) == 0 && copy) {
            const uint8_t* bytes = static_cast<const uint8_t*>(mem_address(copy));
            out.assign(bytes, bytes + length);
            mem_free(copy);
        }
        return out;
    }
    const FileSpec* spec() const { return spec_; }

    FileHandle file;

private:
    FileSpec* spec_ = nullptr;
};

class RecTest : public testing::Test {
protected:
    void SetUp() override
    {
        file_term(); // its table is a block, which memory_reset would take away
        plat::memory_reset();
        ASSERT_EQ(file_init(), 1);
        swap_reset();
        fhdr_reset();
        if (!plat::find_resource(plat::ModuleHandle {}, 260, 1).data)
            format_module_ = plat::register_resource_module(kFormatTable);
    }
    void TearDown() override
    {
        rec_file_detach(state);
        if (format_module_)
            plat::unregister_resource_module(format_module_);
        swap_reset();
        fhdr_reset();
        file_term();
        plat::memory_reset();
    }

    // Opens the bytes as a record file read-only (or with the flags) expecting the kind.
    int attach(MemoryFile& file, uint32_t kind = kKindAny, uint32_t flags = 0, int accept_empty = 0)
    {
        return rec_file_attach(
            state, file.spec(), file.file, flags, kind, fhdr_check, accept_empty);
    }

    // The loaded record's bytes as hex, or "error N".
    std::string load_hex(uint32_t number)
    {
        RecordDirEntry entry;
        if (!rec_dir_lookup(state, number, entry, nullptr))
            return "absent";
        RecordDescriptor loaded;
        int result = rec_load_record(state, entry, loaded);
        if (result != 0)
            return "error " + std::to_string(result);
        std::string hex = block_hex(loaded.data, loaded.unpacked_size);
        mem_free(loaded.data);
        return hex;
    }

    RecordFileState state;
    plat::ModuleHandle format_module_;
};

} // namespace rectest
