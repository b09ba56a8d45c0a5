#include "runtime/store/fhdr.h"

#include "platform/kernel/byte_io.h"
#include "platform/kernel/internal_error.h"
#include "platform/kernel/resource.h"
#include "runtime/base/errcode.h"
#include "runtime/store/rec_types.h"
#include "runtime/store/swap.h"

#include <cstring>

constexpr uint32_t kFormatResourceType = 260;
constexpr uint32_t kFormatResourceName = 1;
constexpr size_t kProgramHeaderSize = 64;
constexpr size_t kProgramDataWord = 0x20;

static struct {
    uint32_t format_number = 0; // 0 until read
} s_fhdr;

uint32_t fhdr_format_number()
{
    if (s_fhdr.format_number == 0) {
        plat::ResourceBytes found
            = plat::find_resource(plat::ModuleHandle {}, kFormatResourceType, kFormatResourceName);
        if (!found.data || found.size < 4)
            plat::raise_internal_error("version", 632);
        s_fhdr.format_number = plat::load_u32le(found.data);
    }
    return s_fhdr.format_number;
}

void fhdr_reset() { s_fhdr = {}; }

// The trailer of an ELF program: the piece's base when the magic is there and the base lies
// before the trailer, else 0.
static int64_t trailer_offset(FileHandle file)
{
    int64_t length = file_length(file.handle, file.kind);
    if (length < int64_t(kPieceTrailerSize))
        return 0;
    uint8_t trailer[kPieceTrailerSize];
    int64_t at = length - int64_t(kPieceTrailerSize);
    if (file_read(file.handle, file.kind, trailer, int32_t(sizeof trailer), kFileBegin, at)
        != int32_t(sizeof trailer))
        return 0;
    if (std::memcmp(trailer, kPieceTrailerMagic, 8) != 0)
        return 0;
    uint64_t base
        = uint64_t(plat::load_u32le(trailer + 8)) | uint64_t(plat::load_u32le(trailer + 12)) << 32;
    return base > 0 && base < uint64_t(at) ? int64_t(base) : 0;
}

static int64_t program_data_offset(FileHandle file)
{
    uint8_t head[kProgramHeaderSize];
    int32_t got = file_read(file.handle, file.kind, head, int32_t(sizeof head), kFileBegin, 0);
    if (got == int32_t(sizeof head) && head[0] == 'M' && head[1] == 'Z')
        return plat::load_u32le(head + kProgramDataWord);
    // Our own programs are ELF files, whose headers have no spare word: they carry a trailer.
    if (got >= 4
        && std::memcmp(head,
               "\x7f"
               "ELF",
               4)
            == 0)
        return trailer_offset(file);
    return 0;
}

int64_t fhdr_exe_data_offset(const FileSpec* spec, FileHandle file)
{
    if (file)
        return program_data_offset(file);
    FileHandle opened = file_open(spec, kFileModeReadOnly);
    if (!opened)
        return 0;
    int64_t base = program_data_offset(opened);
    file_close(opened.handle, opened.kind);
    return base;
}

int fhdr_check(int mode, FileHandle file, int64_t* data_start, uint32_t expected_magic,
    int32_t* layout_version)
{
    int32_t expected_version = expected_magic == kKindRecords ? kKindVersionRecords : kKindVersion;
    *layout_version = expected_version;
    int64_t base = 0;
    if (file && mode == kHeaderAppend) {
        base = file_length(file.handle, file.kind);
        if (base < 0)
            return int(file_take_last_error());
    } else if (file) {
        base = fhdr_exe_data_offset(nullptr, file);
    }
    *data_start = base + kKindHeaderArea;
    if (!file)
        return kErrOk;
    uint32_t magic = expected_magic;
    uint32_t format = mode != kHeaderRead ? fhdr_format_number() : 0;
    return fhdr_read_write(mode, file, base, &magic, &format, expected_version, layout_version);
}

int fhdr_version_check(int32_t file_version, int32_t minimum, int32_t current)
{
    if (file_version < 0) {
        if (minimum < file_version)
            return kErrFileTooOld; // newer layouts have more negative versions
        return file_version < current ? kErrFileTooNew : kErrOk;
    }
    if (minimum < 0 || file_version < minimum)
        return kErrFileTooOld;
    return minimum >= file_version ? kErrOk : kErrFileDamaged;
}

void fhdr_swap(uint8_t* header)
{
    static const uint8_t kDescriptor[]
        = { kSwapSkip, 4, kSwapSkip, 4, kSwapU32, kSwapU32, kSwapEnd };
    SwapScope scope(1);
    swap_by_descriptor(header, kKindHeaderSize, kDescriptor);
}

static int write_header(
    FileHandle file, int64_t base, uint32_t magic, uint32_t format, int32_t version)
{
    if (magic == kKindAny)
        return kErrOk;
    uint8_t header[kKindHeaderSize];
    plat::store_u32le(header, magic);
    plat::store_u32le(header + 4, ~magic);
    plat::store_u32le(header + 8, format);
    plat::store_u32le(header + 12, uint32_t(version));
    int32_t written
        = file_write(file.handle, file.kind, header, int32_t(sizeof header), kFileBegin, base);
    return written == int32_t(sizeof header) ? kErrOk : kErrWriteFault;
}

// The version test with a second chance for a file of the other byte order.
static int check_version(uint8_t* header, int32_t minimum, int32_t current)
{
    int result = fhdr_version_check(int32_t(plat::load_u32le(header + 12)), minimum, current);
    if (result != kErrFileTooNew)
        return result;
    fhdr_swap(header);
    result = fhdr_version_check(int32_t(plat::load_u32le(header + 12)), minimum, current);
    return result == kErrOk || result == kErrFileTooOld ? result : kErrFileTooNew;
}

int fhdr_read_write(int write, FileHandle file, int64_t base, uint32_t* magic, uint32_t* format,
    int32_t minimum, int32_t* version)
{
    if (write)
        return write_header(file, base, *magic, *format, *version);
    uint8_t header[kKindHeaderSize];
    if (file_read(file.handle, file.kind, header, int32_t(sizeof header), kFileBegin, base)
        != int32_t(sizeof header))
        return kErrFileDamaged;
    uint32_t file_magic = plat::load_u32le(header);
    if (plat::load_u32le(header + 4) != ~file_magic)
        return std::memcmp(header, "Copyrigh", 8) == 0 ? kErrOlderFormat : kErrFileDamaged;
    if (*magic != kKindAny) {
        if (file_magic != *magic)
            return kErrWrongKind;
        int result = check_version(header, minimum, *version);
        if (result != kErrOk)
            return result;
    }
    *magic = file_magic;
    *format = plat::load_u32le(header + 8);
    *version = int32_t(plat::load_u32le(header + 12));
    return kErrOk;
}
