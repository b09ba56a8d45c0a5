// Shared by the record store's tests: a temporary folder mapped as drive T:, record files
// written there by the piece maker from descriptions, memory-based files, the program's
// format-number resource, and the store set up fresh for each test.
#pragma once
#include "platform/kernel/file.h"
#include "platform/kernel/memory.h"
#include "platform/kernel/path.h"
#include "platform/kernel/resource.h"
#include "rec_fixture.h"
#include "runtime/store/fhdr.h"
#include "runtime/files/file.h"
#include "runtime/files/file_ops.h"
#include "runtime/files/fspec_func.h"
#include "runtime/files/fspec_mgr.h"
#include "runtime/store/rec_cache.h"
#include "runtime/store/rec_flush.h"
#include "runtime/store/rec_store.h"
#include "runtime/store/rec_write.h"
#include "runtime/store/swap.h"
#include "tools/piecemaker/pm_build.h"
#include "tools/piecemaker/pm_desc.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace rectest {

// A packaged piece: record 1 zlib-packed, record 2 raw and untyped, record 3 of type 2 stored
// in the other byte order and packed, record 4 empty (skipped by the description).
inline constexpr const char* kPieceDescription = "kind PCRS\n"
                                                 "record 1 2 zlib\n u32 7 9\n zeros 300\nend\n"
                                                 "record 2 -1 raw text \"hello\"\n"
                                                 "record 3 2 zlib order big u32 1 2\n"
                                                 "record 5 -2 raw text \"five\"\n";

// The learner's records: an editable file with records 1, 2 and 4.
inline constexpr const char* kRecordsDescription = "kind WSTU\n"
                                                   "record 1 -2 raw text \"first\"\n"
                                                   "record 2 2 zlib\n u32 1 2\n zeros 200\nend\n"
                                                   "record 4 -2 raw text \"fourth\"\n";

// The text's bytes as hex.
inline std::string text_hex(const std::string& text)
{
    return to_hex(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

class RecStoreTest : public testing::Test {
protected:
    void SetUp() override
    {
        file_term();
        plat::memory_reset();
        std::string pattern
            = (std::filesystem::temp_directory_path() / "rec_store_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
        plat::path_reset();
        plat::set_drive_root('T', root_);
        ASSERT_EQ(fspec_manager_create(), 1);
        ASSERT_EQ(file_init(), 1);
        swap_reset();
        fhdr_reset();
        if (!plat::find_resource(plat::ModuleHandle {}, 260, 1).data)
            format_module_ = plat::register_resource_module(kFormatTable);
        mem_reset();
        ASSERT_EQ(rec_init(), 1);
    }
    void TearDown() override
    {
        plat::file_fail_writes_after(0);
        rec_reset();
        for (FileSpec* made : held_)
            fspec_free(made);
        held_.clear();
        if (format_module_)
            plat::unregister_resource_module(format_module_);
        swap_reset();
        fhdr_reset();
        mem_reset();
        file_term();
        fspec_manager_destroy();
        plat::file_reset();
        plat::path_reset();
        plat::memory_reset();
        std::filesystem::remove_all(root_);
    }

    std::string host(const std::string& name) const { return root_ + "/" + name; }

    // The description's record file as bytes.
    static std::vector<uint8_t> piece_bytes(const std::string& description)
    {
        PieceDescription piece;
        std::string error;
        std::vector<uint8_t> bytes;
        EXPECT_TRUE(pm_parse(description, ".", piece, error)) << error;
        EXPECT_TRUE(pm_make(piece, bytes, error)) << error;
        return bytes;
    }
    void write_file(const std::string& name, const std::vector<uint8_t>& bytes) const
    {
        std::ofstream(host(name), std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    std::vector<uint8_t> read_file(const std::string& name) const
    {
        std::ifstream in(host(name), std::ios::binary);
        return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
    }
    void make_file(const std::string& name, const std::string& description) const
    {
        write_file(name, piece_bytes(description));
    }

    // A disk spec of T:\name, freed after the test.
    FileSpec* disk(const std::string& name)
    {
        FileSpec* made = nullptr;
        EXPECT_EQ(fspec_from_path(("T:\\" + name).c_str(), &made), 0);
        held_.push_back(made);
        return made;
    }
    // A memory-based spec holding the bytes, freed after the test.
    FileSpec* memory(const std::vector<uint8_t>& bytes)
    {
        FileSpec* made = fspec_new_memory();
        if (!bytes.empty()) {
            MemHandle data = mem_alloc_copy(bytes.data(), bytes.size());
            EXPECT_EQ(fspec_set_memory(made, data, int32_t(bytes.size()), 0), 0);
            mem_free(data);
        }
        held_.push_back(made);
        return made;
    }
    // The bytes a memory spec holds now.
    static std::vector<uint8_t> memory_bytes(const FileSpec* spec)
    {
        MemHandle copy;
        int32_t length = 0;
        std::vector<uint8_t> out;
        if (fspec_get_memory(spec, &copy, &length, nullptr) == 0 && copy) {
            const uint8_t* bytes = static_cast<const uint8_t*>(mem_address(copy));
            out.assign(bytes, bytes + length);
            mem_free(copy);
        }
        return out;
    }

    int open(int slot, FileSpec* spec, uint32_t flags = 0, uint32_t kind = kKindAny,
        RecEmpty empty = kRecRefuseEmpty)
    {
        return rec_open_file(spec, slot, flags, fhdr_check, kind, empty);
    }

    // The record's unpacked bytes as hex (its use taken and given back), "absent", or
    // "error N".
    static std::string hex(RecordId id)
    {
        MemHandle block = rec_get(id);
        if (!block)
            return rec_error_word() == 0 ? "absent" : "error " + std::to_string(rec_error_word());
        std::string text = block_hex(block, rec_size(id, kSizeUnpacked));
        rec_release(id, kReleaseOne);
        return text;
    }
    // A block holding the text.
    static MemHandle block_of(const std::string& text)
    {
        return mem_alloc_copy(text.data(), text.size());
    }
    static RecCacheEntry* cached(RecordId id) { return rec_cache_at(rec_cache_find(id)); }

    std::string root_;
    plat::ModuleHandle format_module_;

private:
    std::vector<FileSpec*> held_;
};

} // namespace rectest
