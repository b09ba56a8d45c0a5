#include "runtime/store/rec_zip.h"

#include "runtime/base/errcode.h"
#include "runtime/store/rec_file.h"
#include "runtime/store/swap_record.h"

#include <climits>
#include <zlib.h>

// Slot 25 keeps its property groups packed like every other record.
constexpr uint32_t kPackedPropertySlot = 25;
constexpr int kPropertyGroupType = 37;

int rec_unpacked_size_plausible(uint64_t stored, uint64_t unpacked)
{
    // A zlib stream has a 2-byte header and a 4-byte check around its deflate data.
    return unpacked <= stored * kDeflateMaxRatio ? 1 : 0;
}

static voidpf zlib_alloc(voidpf, uInt items, uInt size)
{
    uint64_t bytes = uint64_t(items) * size;
    if (bytes > SIZE_MAX / 2)
        return Z_NULL;
    return mem_alloc_locked(size_t(bytes), kMemMovableZero);
}

static void zlib_free(voidpf, voidpf address) { mem_free_locked(address); }

static z_stream stream_over(const uint8_t* source, size_t length, uint8_t* destination, size_t room)
{
    z_stream stream {};
    stream.zalloc = zlib_alloc;
    stream.zfree = zlib_free;
    stream.next_in = const_cast<Bytef*>(source);
    stream.avail_in = uInt(length);
    stream.next_out = destination;
    stream.avail_out = uInt(room);
    return stream;
}

int util_unpack(
    int method, const uint8_t* source, size_t length, uint8_t* destination, size_t wanted)
{
    if (method != 1 || length > UINT_MAX || wanted > UINT_MAX)
        return kErrFileDamaged;
    z_stream stream = stream_over(source, length, destination, wanted);
    if (inflateInit(&stream) != Z_OK)
        return kErrOutOfMemory;
    int result = inflate(&stream, Z_FINISH);
    bool whole = result == Z_STREAM_END && stream.total_out == wanted;
    inflateEnd(&stream);
    return whole ? kErrOk : kErrFileDamaged;
}

int util_pack(
    int, const uint8_t* source, size_t length, uint8_t* destination, size_t* destination_length)
{
    if (length > UINT_MAX || *destination_length > UINT_MAX)
        return Z_BUF_ERROR;
    z_stream stream = stream_over(source, length, destination, *destination_length);
    if (deflateInit(&stream, Z_DEFAULT_COMPRESSION) != Z_OK)
        return -1;
    int result;
    do
        result = deflate(&stream, Z_FINISH);
    while (result == Z_OK); // a full destination stops with Z_BUF_ERROR once nothing moves
    if (result == Z_STREAM_END) {
        *destination_length = stream.total_out;
        result = Z_OK;
    }
    deflateEnd(&stream);
    return result;
}

int rec_zlib_codec(MemHandle data, size_t data_size, MemHandle* out, size_t* size, int encode)
{
    if (out)
        *out = MemHandle {};
    if (!data || !out || !size || *size == 0 || data_size == 0)
        return kErrOk;
    if (data_size > mem_size(data))
        return kErrFileDamaged;
    MemHandle block = mem_alloc(*size, kMemMovable);
    if (!block)
        return kErrOutOfMemory;
    const uint8_t* source = static_cast<const uint8_t*>(mem_lock(data));
    uint8_t* destination = static_cast<uint8_t*>(mem_lock(block));
    size_t made = *size;
    int result = encode ? util_pack(1, source, data_size, destination, &made)
                        : util_unpack(1, source, data_size, destination, *size);
    mem_unlock(block);
    mem_unlock(data);
    if (result != kErrOk) {
        mem_free(block);
        return result;
    }
    if (made < *size) {
        MemHandle fitted = mem_realloc(block, int64_t(made), kMemMovable);
        if (fitted)
            block = fitted;
    }
    *out = block;
    *size = made;
    return kErrOk;
}

int rec_decompress(const RecordDescriptor& record, MemHandle* out)
{
    *out = MemHandle {};
    if (record.scheme != kSchemeZlib)
        return kErrOk;
    if (!rec_unpacked_size_plausible(record.stored_size, record.unpacked_size))
        return kErrFileDamaged; // before anything is allocated for it
    size_t size = record.unpacked_size;
    return rec_zlib_codec(record.data, record.stored_size, out, &size, 0);
}

int rec_compress(const RecordDescriptor& record, MemHandle* out, uint32_t* compressed_size)
{
    *out = MemHandle {};
    *compressed_size = 0;
    if (record.scheme != kSchemeZlib || record.unpacked_size == 0)
        return kErrOk;
    MemHandle packed;
    size_t size = record.unpacked_size;
    int result = rec_zlib_codec(record.data, record.unpacked_size, &packed, &size, 1);
    if (result == kErrOutOfMemory)
        return result;
    if (result != kErrOk || !packed)
        return kErrOk; // zlib could not make it smaller: stored raw
    if (size >= record.unpacked_size) {
        mem_free(packed);
        return kErrOk;
    }
    *out = packed;
    *compressed_size = uint32_t(size);
    return kErrOk;
}

int rec_compress_for_write(RecordDescriptor& record)
{
    RecordDescriptor copy = record;
    record.scheme = kSchemeRaw;
    record.stored_size = record.unpacked_size;
    if (!swap_type_known(copy.type))
        return kErrOk;
    if (!rec_order_is_native(copy.byte_order)) {
        int result = swap_record_by_type(copy, 1);
        if (result != kErrOk)
            return result;
        copy.byte_order = kOrderNative;
        record.byte_order = kOrderNative; // the bytes were converted in place
    }
    copy.stored_size = copy.unpacked_size;
    if (copy.scheme == kSchemeZlib) {
        MemHandle packed;
        uint32_t packed_size = 0;
        int result = rec_compress(copy, &packed, &packed_size);
        if (result != kErrOk)
            return result;
        if (packed) {
            copy.data = packed;
            copy.stored_size = packed_size;
        } else {
            copy.scheme = kSchemeRaw;
        }
    } else {
        copy.scheme = kSchemeRaw;
    }
    record.data = copy.data;
    record.stored_size = copy.stored_size;
    record.scheme = copy.scheme;
    record.byte_order = copy.byte_order;
    return kErrOk;
}

uint16_t rec_default_scheme(RecordId id, int type)
{
    if ((type == kPropertyGroupType && rec_id_slot(id) != kPackedPropertySlot)
        || type == kRecTypeUntyped)
        return kSchemeRaw;
    return kSchemeZlib;
}
