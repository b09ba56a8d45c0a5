// Chunk lists: the records that hold one icon's large data (sounds, movies, streamed media).
// A ChunkList is an IdSet32 whose item 1 names the owner (an icon id, or a file slot << 16:
// its high 16 bits name the file) and whose later items are record numbers in that file. An
// icon's list is stored as its property 35; item 1 is replaced by the icon's id when it is
// read. Items that name no record (0, or above 65535) read as absent records.
#pragma once
#include "runtime/base/idset.h"
#include "runtime/base/mem.h"
#include "runtime/nodes/node_files.h"

#include <cstdint>

using ChunkList = IdSet;

constexpr uint16_t kPropChunkList = 35;

// A new list from the icon's property 35, item 1 set to the icon; null when absent, damaged
// or out of memory.
ChunkList node_chunks_open(IconId icon);
// Frees the list; returns null.
ChunkList node_chunks_close(ChunkList list);
// Records in the list (items after the first); 0 for an empty or null list.
int32_t node_chunks_count(ChunkList list);
// Unpacked size of record n (1-based); 0 when n is out of range or the record is absent.
uint32_t node_chunk_size(ChunkList list, int32_t n);
// Sum of the stored (packed) sizes of the icon's chunk records.
uint64_t node_chunks_total_size(IconId icon);
// rec_get / rec_release of record n; null / nothing when n is out of range.
MemHandle node_chunk_get(ChunkList list, int32_t n);
void node_chunk_release(ChunkList list, int32_t n);
// Frees every chunk record of the icon that is loaded and unused.
void node_chunks_purge(IconId icon);
// Whether record n's bytes can be read now (out-of-range items count as ready), and a request
// to bring them.
int rec_chunks_item_ready(ChunkList list, int32_t n);
int rec_chunks_item_request(ChunkList list, int32_t n);
