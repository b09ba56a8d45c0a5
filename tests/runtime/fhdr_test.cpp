#include "fspec_fixture.h"
#include "platform/kernel/byte_io.h"
#include "platform/kernel/internal_error.h"
#include "rec_fixture.h"
#include "runtime/store/fhdr.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace rectest;

namespace {

// Kind headers as the tables give them: magic, NOT magic, format, version.
constexpr const char* kPieceHeader = "50435253 afbcadac 16000000 f8ffffff";

class FhdrTest : public RecTest { };

TEST_F(FhdrTest, ChecksKindVersionAndByteOrder)
{
    struct Case {
        const char* name;
        const char* hex;
        uint32_t expected;
        int result;
        int32_t version; // the version handed back on success
    };
    static const Case kCases[] = {
        { "piece", kPieceHeader, kKindPiece, 0, -8 },
        { "words in the other byte order", "50435253 afbcadac 00000016 fffffff8", kKindPiece, 0,
            -8 },
        { "learner's records", "57535455 a8acabaa 16000000 faffffff", kKindRecords, 0, -6 },
        { "records with a piece's version", "57535455 a8acabaa 16000000 f8ffffff", kKindRecords,
            5009, 0 },
        { "older layout", "50435253 afbcadac 16000000 f9ffffff", kKindPiece, 5001, 0 },
        { "newer layout", "50435253 afbcadac 16000000 f7ffffff", kKindPiece, 5009, 0 },
        { "positive version", "50435253 afbcadac 16000000 05000000", kKindPiece, 5001, 0 },
        { "another kind", "504c4942 afb3b6bd 16000000 f8ffffff", kKindPiece, 5004, 0 },
        { "any kind expected", "504c4942 afb3b6bd 16000000 f8ffffff", kKindAny, 0, -8 },
        { "check word off by one bit", "50435253 afbcadad 16000000 f8ffffff", kKindPiece, 5000, 0 },
        { "older cross-platform file", "436f7079 72696768 74203139 39362e2e", kKindPiece, 5013, 0 },
        { "short", "50435253 afbcadac 1600", kKindPiece, 5000, 0 },
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        MemoryFile file(from_hex(c.hex), kFileModeRead);
        int64_t data_start = 0;
        int32_t version = 0;
        EXPECT_EQ(fhdr_check(kHeaderRead, file.file, &data_start, c.expected, &version), c.result);
        EXPECT_EQ(data_start, 32);
        if (c.result == 0) {
            EXPECT_EQ(version, c.version);
        }
    }
}

TEST_F(FhdrTest, ReadingHandsBackTheFilesValues)
{
    MemoryFile file(from_hex("504c4942 afb3b6bd 00000016 fffffff8"), kFileModeRead);
    uint32_t magic = kKindLibrary, format = 0;
    int32_t version = kKindVersion;
    ASSERT_EQ(fhdr_read_write(0, file.file, 0, &magic, &format, kKindVersion, &version), 0);
    EXPECT_EQ(magic, kKindLibrary);
    EXPECT_EQ(format, 22u); // swapped with the version
    EXPECT_EQ(version, -8);
}

TEST_F(FhdrTest, VersionRules)
{
    struct Case {
        int32_t file, minimum, current;
        int result;
    };
    static const Case kCases[] = {
        { -8, -8, -8, 0 },
        { -7, -8, -8, 5001 },
        { -9, -8, -8, 5009 },
        { -7, -6, -8, 0 },
        { 3, 3, 3, 0 },
        { 4, 3, 3, 5000 },
        { 2, 3, 3, 5001 },
        { 3, -8, -8, 5001 },
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(std::to_string(c.file) + " in " + std::to_string(c.minimum) + ".."
            + std::to_string(c.current));
        EXPECT_EQ(fhdr_version_check(c.file, c.minimum, c.current), c.result);
    }
}

std::vector<uint8_t> program_with(const char* head, size_t size)
{
    std::vector<uint8_t> bytes = from_hex(head);
    bytes.resize(size, 0);
    return bytes;
}

void append(std::vector<uint8_t>& to, const std::vector<uint8_t>& bytes)
{
    to.insert(to.end(), bytes.begin(), bytes.end());
}

TEST_F(FhdrTest, FindsAPieceAppendedToAProgram)
{
    std::vector<uint8_t> header = from_hex(kPieceHeader);
    header.resize(32, 0);

    std::vector<uint8_t> mz = program_with("4d5a", 0x80);
    plat::store_u32le(mz.data() + 0x20, 0x80);
    append(mz, header);

    std::vector<uint8_t> mz_without = program_with("4d5a", 0x80);

    std::vector<uint8_t> elf = program_with("7f454c46 02010100", 0x100);
    append(elf, header);
    append(elf, from_hex("53565250 49454345 00010000 00000000")); // "SVRPIECE", 0x100

    std::vector<uint8_t> elf_past_end = program_with("7f454c46", 0x100);
    append(elf_past_end, from_hex("53565250 49454345 00100000 00000000"));

    std::vector<uint8_t> elf_without = program_with("7f454c46", 0x100);

    // A trailer only counts at the end of an ELF program.
    std::vector<uint8_t> plain = header;
    append(plain, from_hex("53565250 49454345 10000000 00000000"));

    struct Case {
        const char* name;
        const std::vector<uint8_t>& bytes;
        int64_t base;
    };
    const Case cases[] = {
        { "DOS header's word", mz, 0x80 },
        { "DOS header without a piece", mz_without, 0 },
        { "ELF trailer", elf, 0x100 },
        { "ELF trailer past its own start", elf_past_end, 0 },
        { "ELF without trailer", elf_without, 0 },
        { "record file", plain, 0 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryFile file(c.bytes, kFileModeRead);
        EXPECT_EQ(fhdr_exe_data_offset(nullptr, file.file), c.base);
        EXPECT_EQ(fhdr_exe_data_offset(file.spec(), FileHandle {}), c.base); // opened and closed
        if (c.base != 0) {
            int64_t data_start = 0;
            int32_t version = 0;
            EXPECT_EQ(fhdr_check(kHeaderRead, file.file, &data_start, kKindPiece, &version), 0);
            EXPECT_EQ(data_start, c.base + 32);
        }
    }
    EXPECT_EQ(file_open_count(), 0);
}

TEST_F(FhdrTest, WritesAtTheBaseOrAfterTheContent)
{
    MemoryFile file(from_hex("0000000000000000000000000000000000"), kFileModeReadWrite);
    int64_t data_start = 0;
    int32_t version = 0;
    ASSERT_EQ(fhdr_check(kHeaderWrite, file.file, &data_start, kKindRecords, &version), 0);
    EXPECT_EQ(version, -6);
    ASSERT_EQ(fhdr_check(kHeaderAppend, file.file, &data_start, kKindPiece, &version), 0);
    EXPECT_EQ(data_start, 17 + 32);
    // Four blanks write nothing.
    ASSERT_EQ(fhdr_check(kHeaderAppend, file.file, &data_start, kKindAny, &version), 0);
    EXPECT_EQ(to_hex(file.close()),
        "57535455a8acabaa16000000faffffff"
        "00"
        "50435253afbcadac16000000f8ffffff");
}

TEST_F(FhdrTest, SwapTouchesOnlyTheLastTwoWords)
{
    std::vector<uint8_t> header = from_hex("50435253 afbcadac 16000000 f8ffffff");
    fhdr_swap(header.data());
    EXPECT_EQ(to_hex(header), "50435253afbcadac00000016fffffff8");
    EXPECT_EQ(swap_enabled(), 0); // switched on only for the swap
}

TEST_F(FhdrTest, AProgramWithoutTheFormatNumberHasAnInternalError)
{
    if (format_module_)
        plat::unregister_resource_module(format_module_);
    format_module_ = {};
    if (plat::find_resource(plat::ModuleHandle {}, 260, 1).data)
        GTEST_SKIP() << "the program's own resources hold the number";
    try {
        fhdr_format_number();
        FAIL() << "no internal error";
    } catch (const plat::InternalError& error) {
        EXPECT_STREQ(error.module, "version");
        EXPECT_EQ(error.line, 632);
    }
}

class FhdrDiskTest : public FspecTest { };

TEST_F(FhdrDiskTest, AShortWriteIs112)
{
    put("full.rec", "");
    FileHandle file = file_open(spec("T:\\full.rec"), kFileModeReadWrite);
    ASSERT_TRUE(file);
    plat::file_fail_writes_after(10);
    uint32_t magic = kKindRecords, format = 22;
    int32_t version = kKindVersionRecords;
    EXPECT_EQ(fhdr_read_write(1, file, 0, &magic, &format, version, &version), 112);
    plat::file_fail_writes_after(0);
    file_close(file.handle, file.kind);
}

} // namespace
