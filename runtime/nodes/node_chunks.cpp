#include "runtime/nodes/node_chunks.h"

#include "platform/kernel/byte_io.h"
#include "runtime/base/errcode.h"
#include "runtime/nodes/node_group.h"
#include "runtime/store/rec_store.h"
#include "runtime/base/taglist.h"

#include <algorithm>

namespace {

// The record of item n + 1, 0 when n is out of range or the item names no record.
RecordId chunk_record(ChunkList list, int32_t n)
{
    if (!list || n < 1 || n >= idset32_count(list))
        return 0;
    uint32_t number = idset32_get(list, n + 1);
    if (number == 0 || number > 0xFFFF)
        return 0;
    return rec_make_id(idset32_get(list, 1) >> 16, number);
}

} // namespace

ChunkList node_chunks_open(IconId icon)
{
    MemHandle stored = node_get_prop(icon, kPropChunkList);
    if (!stored || stored == kMemFailed)
        return ChunkList {};
    // The copy's block may be larger than the property (blocks have at least 8 bytes): only
    // the property's own bytes are read.
    size_t list_length = 0;
    const uint8_t* props = node_props(icon, &list_length);
    size_t length = std::min<size_t>(taglist_item_length(props, list_length, kPropChunkList), mem_size(stored));
    ChunkList list;
    plat::ByteReader reader(mem_address(stored), length);
    int result = idset32_load(reader, &list);
    mem_free(stored);
    if (result != kErrOk)
        return ChunkList {};
    if (!idset32_set(list, 1, icon)) {
        idset_free(list);
        return ChunkList {};
    }
    return list;
}

ChunkList node_chunks_close(ChunkList list)
{
    idset_free(list);
    return ChunkList {};
}

int32_t node_chunks_count(ChunkList list)
{
    int32_t count = idset32_count(list);
    return count > 1 ? count - 1 : 0;
}

uint32_t node_chunk_size(ChunkList list, int32_t n)
{
    RecordId id = chunk_record(list, n);
    return id != 0 ? rec_size(id, kSizeUnpacked) : 0;
}

uint64_t node_chunks_total_size(IconId icon)
{
    ChunkList list = node_chunks_open(icon);
    uint64_t total = 0;
    for (int32_t n = 1; n <= node_chunks_count(list); n++)
        if (RecordId id = chunk_record(list, n))
            total += rec_size(id, kSizeStored);
    node_chunks_close(list);
    return total;
}

MemHandle node_chunk_get(ChunkList list, int32_t n)
{
    RecordId id = chunk_record(list, n);
    return id != 0 ? rec_get(id) : MemHandle {};
}

void node_chunk_release(ChunkList list, int32_t n)
{
    if (RecordId id = chunk_record(list, n))
        rec_release(id, kReleaseOne);
}

void node_chunks_purge(IconId icon)
{
    ChunkList list = node_chunks_open(icon);
    for (int32_t n = 1; n <= node_chunks_count(list); n++)
        if (RecordId id = chunk_record(list, n))
            rec_discard(id);
    node_chunks_close(list);
}

int rec_chunks_item_ready(ChunkList list, int32_t n)
{
    RecordId id = chunk_record(list, n);
    return id != 0 ? rec_is_available(id) : 1;
}

int rec_chunks_item_request(ChunkList list, int32_t n)
{
    RecordId id = chunk_record(list, n);
    return id != 0 ? rec_request(id) : 0;
}
