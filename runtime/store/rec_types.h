// Types and codes that the record-file modules share: record ids, the in-memory form of a
// directory entry, the working record of a read or write, and the error codes of record files.
// Stored forms are read and written field by field by the modules; these structs are only
// their decoded values.
#pragma once
#include "runtime/base/mem.h"

#include <cstdint>

// Codes of record files beside errcode.h's 8 and 5000.
constexpr int kErrWriteFault = 112; // a write came back short
constexpr int kErrFileTooOld = 5001;
constexpr int kErrNotFound = 5002;
constexpr int kErrTooManyRecords = 5003;
constexpr int kErrWrongKind = 5004;
constexpr int kErrShortRead = 5006;
constexpr int kErrFileTooNew = 5009;
constexpr int kErrOlderFormat = 5013; // a file of the older cross-platform format ("Copyright ...")
constexpr int kErrPackagedFile = 5014; // packaged directories never change
constexpr int kErrNoConverter = 8005; // the record's type has no byte-order converter
constexpr int kErrNoLayout = 8006; // untyped record in the other byte order; directory not written

// Record id: file slot in the high 16 bits, record number in the low 16.
using RecordId = uint32_t;
constexpr RecordId rec_make_id(uint32_t slot, uint32_t number)
{
    return slot << 16 | (number & 0xFFFF);
}
constexpr uint32_t rec_id_slot(RecordId id) { return id >> 16; }
constexpr uint32_t rec_id_number(RecordId id) { return id & 0xFFFF; }

// Record types with a meaning of their own.
enum : int16_t {
    kRecTypeUntyped = -1,
    kRecTypeSpecial2 = -2, // 0xFFFE: the learner's records' typed field groups
    kRecTypeSpecial3 = -3,
};

// Storage schemes and byte orders of stored records.
enum : uint16_t {
    kSchemeRaw = 1,
    kSchemeZlib = 2,
};
enum : uint8_t {
    kOrderNative = 1, // little-endian, as every file this project writes
    kOrderOther = 2,
};

// The format version that the converters of known record types stamp on their entries.
constexpr uint16_t kConverterVersion = 0x4001;

// A directory entry in its 30-byte meaning, whichever directory it came from.
struct RecordDirEntry {
    uint32_t number = 0;
    int16_t type = kRecTypeUntyped;
    uint16_t format_version = 0;
    uint32_t stored_size = 0;
    uint32_t unpacked_size = 0;
    uint16_t scheme = kSchemeRaw;
    uint8_t byte_order = kOrderNative;
    uint32_t offset = 0;
    uint16_t bits = 0; // bit 0: space allocated since the file was opened or last flushed
};

enum : uint16_t {
    kEntryNewSpace = 0x0001,
};

// The working record of a read or write. data holds stored_size bytes while stored and
// unpacked_size bytes once unpacked; ownership stays with whoever filled it in.
struct RecordDescriptor {
    int valid = 0;
    uint32_t number = 0;
    int16_t type = kRecTypeUntyped;
    uint16_t format_version = 0;
    uint32_t stored_size = 0;
    uint32_t unpacked_size = 0;
    uint16_t scheme = kSchemeRaw;
    uint8_t byte_order = kOrderNative;
    MemHandle data;
    uint32_t slot = 0;
};

// Builds the descriptor of a directory entry (no data yet).
inline RecordDescriptor rec_descriptor_of(const RecordDirEntry& entry, uint32_t slot)
{
    RecordDescriptor d;
    d.valid = 1;
    d.number = entry.number;
    d.type = entry.type;
    d.format_version = entry.format_version;
    d.stored_size = entry.stored_size;
    d.unpacked_size = entry.unpacked_size;
    d.scheme = entry.scheme;
    d.byte_order = entry.byte_order;
    d.slot = slot;
    return d;
}
