// Record compression: a record is stored raw (scheme 1) or as a zlib stream (scheme 2, zlib
// format at the default level). zlib's memory comes from the runtime's movable blocks. A
// stored stream is trusted for nothing: the unpacked size is checked against what deflate
// can possibly produce before anything is allocated, and a stream that ends early, wants more
// room or does not fill the record exactly is damage (5000).
#pragma once
#include "runtime/base/mem.h"
#include "runtime/store/rec_types.h"

#include <cstddef>
#include <cstdint>

// Deflate never packs more than this many bytes into one stored byte.
constexpr uint64_t kDeflateMaxRatio = 1032;

// 1 when a stream of stored bytes can unpack to unpacked bytes.
int rec_unpacked_size_plausible(uint64_t stored, uint64_t unpacked);

// Inflates a zlib stream (method 1) into exactly wanted bytes: 0, 8, or 5000 (another method,
// a damaged stream, or one of another length).
int util_unpack(
    int method, const uint8_t* source, size_t length, uint8_t* destination, size_t wanted);
// Deflates at the default level into destination (room *destination_length): 0 with the packed
// length in *destination_length, -1 when zlib cannot start, or zlib's code (a full
// destination gives a nonzero code). The method is ignored.
int util_pack(int method, const uint8_t* source, size_t length, uint8_t* destination,
    size_t* destination_length);

// Encodes (encode nonzero) into a new block of at most *size bytes, or decodes into a new block
// of exactly *size bytes. Without data, out or size, or for a size of 0: 0 and nothing made.
// On success *out is the block and *size the length made; 8 or the wrapper's code otherwise.
int rec_zlib_codec(MemHandle data, size_t data_size, MemHandle* out, size_t* size, int encode);

// Scheme 2: unpacks the stored bytes into a new block of the unpacked size (*out); other
// schemes: 0 and no block (the stored bytes are the record).
int rec_decompress(const RecordDescriptor& record, MemHandle* out);
// Scheme 2: a compressed copy when it is smaller than the record (*out, *compressed_size), else
// nothing (null). 0, or 8 when memory is short; other codec failures hand back nothing.
int rec_compress(const RecordDescriptor& record, MemHandle* out, uint32_t* compressed_size);
// Prepares a record for writing: the record leaves with scheme 1 unless its type is one of the
// converter table's and zlib made it smaller; then data becomes the packed block (a new block
// the caller frees once written) and stored_size its length. A record of a known type that
// is not in native order is converted first. 0 or an error (the record then keeps scheme 1).
int rec_compress_for_write(RecordDescriptor& record);
// 1 for type 37 outside slot 25 and for untyped records, else 2.
uint16_t rec_default_scheme(RecordId id, int type);
