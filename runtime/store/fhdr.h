// The kind header: the first 16 bytes of every record file {kind magic, its bitwise NOT,
// format number, layout version}, followed by 16 reserved bytes; the record-file data starts
// 32 bytes after the header's base. The base is 0, or for a piece appended to a program file:
// the u32 at offset 0x20 of a file that begins with "MZ", or, for our own ELF programs, the
// offset in a 16-byte trailer at the very end of the file {8-byte magic kPieceTrailerMagic,
// u64 little-endian offset of the piece}.
#pragma once
#include "runtime/files/file.h"
#include "runtime/files/fspec.h"

#include <cstddef>
#include <cstdint>

// A kind magic: four characters in file order, read as a little-endian u32.
constexpr uint32_t fhdr_magic(const char (&text)[5])
{
    return uint32_t(uint8_t(text[0])) | uint32_t(uint8_t(text[1])) << 8
        | uint32_t(uint8_t(text[2])) << 16 | uint32_t(uint8_t(text[3])) << 24;
}

constexpr uint32_t kKindPiece = fhdr_magic("PCRS");
constexpr uint32_t kKindLibrary = fhdr_magic("PLIB");
constexpr uint32_t kKindRecords = fhdr_magic("WSTU"); // the learner's records
constexpr uint32_t kKindAny = fhdr_magic("    "); // expected kind that accepts every kind

// Layout versions: newer layouts are more negative.
constexpr int32_t kKindVersion = -8;
constexpr int32_t kKindVersionRecords = -6;

constexpr size_t kKindHeaderSize = 16;
constexpr int64_t kKindHeaderArea = 32; // the header and its reserved bytes

// The trailer of a piece appended to an ELF program.
constexpr size_t kPieceTrailerSize = 16;
constexpr char kPieceTrailerMagic[9] = "SVRPIECE"; // the first 8 characters are stored

// Modes of fhdr_check.
enum : int {
    kHeaderRead = 0,
    kHeaderWrite = 1, // writes at the base the file's header is found at
    kHeaderAppend = 2, // a new record file after the file's existing content: writes at its end
};

// The runtime's file-format number (resource type 260, name 1 of the program: 22), read once.
// A program without it has an internal error ("version", 632).
uint32_t fhdr_format_number();

// The base of a piece appended to a program file, 0 when there is none. Without an open file
// the spec is opened for reading and closed again.
int64_t fhdr_exe_data_offset(const FileSpec* spec, FileHandle file);

// The header callback the record store passes to every open: finds the base (0 without a file,
// the file's length in mode 2, else fhdr_exe_data_offset), sets *data_start to base + 32, and
// reads or writes the header with the layout version of the expected kind (-6 for "WSTU", -8
// otherwise), which goes to *layout_version. 0 or an error of fhdr_read_write.
int fhdr_check(int mode, FileHandle file, int64_t* data_start, uint32_t expected_magic,
    int32_t* layout_version);

// Writing (write nonzero): the header {*magic, NOT *magic, *format, *version} at base; 112 for a
// short write; a magic of four blanks writes nothing. Reading: 5000 (short, or a check word
// that does not match), 5013 (a file of the older format), 5004 (another kind than *magic),
// 5001/5009 (version). A file whose format number and version are in the other byte order
// passes. On success the file's magic, format number and version come back through the
// pointers; with *magic four blanks any kind passes without a version check.
int fhdr_read_write(int write, FileHandle file, int64_t base, uint32_t* magic, uint32_t* format,
    int32_t minimum, int32_t* version);

// 0, 5000, 5001 (too old) or 5009 (too new) for a file's layout version against the range.
int fhdr_version_check(int32_t file_version, int32_t minimum, int32_t current);

// Byte-swaps the format number and the layout version of a 16-byte header in place.
void fhdr_swap(uint8_t* header);

// Forgets the format number read (tests).
void fhdr_reset();
