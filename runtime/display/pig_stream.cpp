#include "runtime/display/pig_stream.h"

#include <algorithm>
#include <cstring>

#include "platform/kernel/byte_io.h"
#include "runtime/display/bmcache.h"
#include "runtime/display/pig_draw.h"
#include "runtime/display/pig_hit.h"
#include "runtime/display/pig_swap.h"
#include "runtime/store/rec_cache.h"
#include "runtime/store/swap.h"

using namespace plat;

// One row per opcode with a length: > 0 fixed total length, <= 0 the fixed head of a variable
// record (opcodes not listed are variable with no head).
struct LengthRow {
    uint16_t opcode;
    int8_t entry;
};
static const LengthRow kLengthRows[] = {
    {0, 42}, {1, 2}, {2, 2}, {3, 6}, {4, 2}, {5, -6}, {6, 8}, {7, -8}, {8, 0},
    {10, 10}, {12, -7}, {14, 8}, {16, 2},
    {33, 2}, {34, 2}, {35, 6}, {38, 8}, {40, 0}, {42, 10}, {44, -7}, {46, 8}, {48, 2}, {49, 2},
    {64, 2}, {65, 2}, {66, 2}, {67, 2}, {72, 4}, {73, 2},
    {80, 4}, {81, 4}, {82, 2}, {84, -14}, {86, -10},
    {96, -74}, {101, -58},
    {113, 10}, {117, 10}, {121, 10}, {125, 10}, {129, 14}, {133, 18}, {137, 18},
    {141, -16}, {145, 0}, {152, -14}, {153, 0}, {154, 0},
};

static struct {
    int8_t lengths[256];
    bool lengths_built;
    PigHandlerTable utility;
    PigHandlerTable hit;
    bool tables_built;
    PigMemoryRecover recover;
} s_pig;

static void build_length_table()
{
    std::memset(s_pig.lengths, 0, sizeof s_pig.lengths);
    for (const LengthRow& row : kLengthRows)
        s_pig.lengths[row.opcode] = row.entry;
    s_pig.lengths_built = true;
}

int pig_length_entry(uint16_t opcode)
{
    if (!s_pig.lengths_built)
        build_length_table();
    return opcode > 255 ? 0 : s_pig.lengths[opcode];
}

// --- opening ------------------------------------------------------------------------------

static void read_header(PigStream* stream)
{
    stream->damaged = stream->block_size < kPigHeaderSize;
    if (stream->damaged)
        return;
    const uint8_t* h = stream->bytes;
    stream->record_count = int32_t(load_u32le(h + kPigHeaderCount));
    stream->byte_length = std::min(load_u32le(h + kPigHeaderLength), stream->block_size);
    stream->reserved = int32_t(load_u32le(h + kPigHeaderReserved));
    stream->bounds = pig_load_rect(h + kPigHeaderBounds);
}

void pig_open_bytes(uint8_t* bytes, size_t size, PigStream* stream)
{
    *stream = PigStream{};
    stream->reading = 1;
    stream->bytes = bytes;
    // Pictures are far below 4 GB; a larger block is read as its first 4 GB.
    stream->block_size = uint32_t(std::min<size_t>(size, 0xFFFFFFFFu));
    read_header(stream);
}

int pig_open(MemHandle picture, int32_t file_slot, PigStream* stream)
{
    if (!picture)
        return kPigNoPicture;
    auto* bytes = static_cast<uint8_t*>(mem_lock(picture));
    if (!bytes)
        return kPigNoPicture;
    pig_open_bytes(bytes, mem_size(picture), stream);
    stream->picture = picture;
    stream->file_slot = file_slot;
    return 0;
}

void pig_close(PigStream* stream)
{
    if (stream->picture && stream->bytes)
        mem_unlock(stream->picture);
    stream->bytes = nullptr;
    stream->picture = MemHandle{};
}

// --- the interpreter ------------------------------------------------------------------------

static uint16_t swap16(uint16_t v) { return uint16_t(v >> 8 | v << 8); }
static uint32_t swap32(uint32_t v)
{
    return v >> 24 | (v >> 8 & 0xFF00) | (v << 8 & 0xFF0000) | v << 24;
}

// Values in a stream being converted are read in native form: before their conversion from
// foreign order, after it towards foreign order.
struct RunOrder {
    int convert;
    int from_foreign;
    uint16_t native16(uint16_t stored) const { return convert && from_foreign ? swap16(stored) : stored; }
    uint32_t native32(uint32_t stored) const { return convert && from_foreign ? swap32(stored) : stored; }
    uint16_t target16(uint16_t native) const { return convert && !from_foreign ? swap16(native) : native; }
    uint32_t target32(uint32_t native) const { return convert && !from_foreign ? swap32(native) : native; }
};

// The total length of the record at the position, or 0 when it cannot be a record.
static uint32_t record_length(const PigStream* s, uint16_t opcode, int highest, const PigHandlerTable* table,
    const RunOrder& order, bool* has_length)
{
    int entry = opcode > unsigned(highest) ? 0 : pig_length_entry(opcode);
    *has_length = entry <= 0;
    if (entry > 0)
        return uint32_t(entry);
    if (s->byte_length - s->position < kPigVarHead)
        return 0;
    uint32_t length = order.native32(load_u32le(s->bytes + s->position + 2));
    if (length < kPigVarHead)
        return 0; // a run that could stand still
    bool handled = opcode <= unsigned(highest) && table->slots[opcode];
    if (handled && length < uint32_t(-entry))
        return 0;
    return length;
}

int pig_run(PigStream* s, const PigHandlerTable* table, int highest, int convert, int from_foreign)
{
    if (!s_pig.lengths_built)
        build_length_table();
    s->records_run = 0;
    if (s->damaged)
        return kPigOverrun;
    if (s->record_count <= 0)
        return 0;
    RunOrder order{convert, from_foreign};
    for (;;) {
        if (s->position > s->byte_length || s->byte_length - s->position < 2)
            return kPigOverrun;
        uint8_t* at = s->bytes + s->position;
        uint16_t opcode = order.native16(load_u16le(at));
        bool has_length = false;
        uint32_t length = record_length(s, opcode, highest, table, order, &has_length);
        if (length == 0 || length > s->byte_length - s->position)
            return kPigOverrun;
        if (opcode <= unsigned(highest) && table->slots[opcode]) {
            s->record = at;
            s->record_length = length;
            if (int result = table->slots[opcode](s))
                return result;
        }
        s->position += length;
        if (convert) {
            if (has_length)
                store_u32le(at + 2, order.target32(length));
            store_u16le(at, order.target16(opcode));
        }
        if (++s->records_run >= s->record_count)
            return 0;
    }
}

int pig_exec(PigStream* stream, const PigHandlerTable* table, int highest)
{
    return pig_run(stream, table, highest, 0, 0);
}

bool pig_bounds(MemHandle picture, int32_t file_slot, Rect* out)
{
    PigStream stream;
    if (pig_open(picture, file_slot, &stream) != 0)
        return false;
    bool ok = !stream.damaged;
    if (ok)
        *out = pig_load_rect(stream.bytes + kPigHeaderBounds2);
    pig_close(&stream);
    return ok;
}

// --- styles, tables and scans ----------------------------------------------------------------

void pig_style_init(DrawStyle* style)
{
    gdi_style_init(style);
    style->mode = 0;
}

void pig_style_free(DrawStyle* style)
{
    if (style->color_table)
        mem_free(MemHandle{style->color_table});
    style->color_table = 0;
    style->palette_map = 0;
}

void pig_table_clear(PigHandlerTable* table) { *table = PigHandlerTable{}; }

int pig_scan_open(PigScan* scan, MemHandle picture, int32_t file_slot)
{
    *scan = PigScan{};
    int result = pig_open(picture, file_slot, &scan->stream);
    scan->stream.spare_style = &scan->styles[0];
    scan->stream.style = &scan->styles[1];
    pig_style_init(&scan->styles[0]);
    pig_style_init(&scan->styles[1]);
    return result;
}

int pig_scan_run(PigScan* scan) { return pig_exec(&scan->stream, &scan->table, kPigHighestOpcode); }

void pig_scan_close(PigScan* scan)
{
    pig_style_free(scan->stream.style);
    if (scan->stream.spare[0])
        delete_object(GdiObject{scan->stream.spare[0]});
    scan->stream.spare[0] = 0;
    pig_close(&scan->stream);
}

// --- record fields ----------------------------------------------------------------------------

int16_t pig_i16(const PigStream* s, size_t offset)
{
    return offset <= s->record_length && s->record_length - offset >= 2 ? int16_t(load_u16le(s->record + offset)) : 0;
}

int32_t pig_i32(const PigStream* s, size_t offset)
{
    return offset <= s->record_length && s->record_length - offset >= 4 ? int32_t(load_u32le(s->record + offset)) : 0;
}

Rect pig_rect(const PigStream* s, size_t offset)
{
    return Rect{pig_i16(s, offset), pig_i16(s, offset + 2), pig_i16(s, offset + 4), pig_i16(s, offset + 6)};
}

Rect pig_load_rect(const uint8_t* p)
{
    return Rect{int16_t(load_u16le(p)), int16_t(load_u16le(p + 2)), int16_t(load_u16le(p + 4)),
        int16_t(load_u16le(p + 6))};
}

// --- the runtime's tables -----------------------------------------------------------------------

// What a failed blit asks for: cached bitmaps whose memory was discarded go first, then
// records the system discarded (and one more), else the whole bitmap cache.
static int memory_recover()
{
    if (bmcache_drop_discarded() > 0)
        return 1;
    if (rec_purge_discarded_plus_one() > 0)
        return 1;
    return bmcache_purge(bmcache_total_bytes()) > 0;
}

int pig_tables_init()
{
    s_pig.recover = memory_recover;
    pig_table_init_draw(&s_pig.utility);
    pig_hit_table_init(&s_pig.hit);
    s_pig.tables_built = true;
    pig_swap_lend_converter();
    return 1;
}

void pig_tables_free()
{
    pig_draw_table_free();
    pig_table_clear(&s_pig.utility);
    pig_table_clear(&s_pig.hit);
    s_pig.tables_built = false;
    swap_set_hook(kSwapHookPicture, nullptr);
}

const PigHandlerTable* pig_utility_table() { return &s_pig.utility; }

const PigHandlerTable* pig_hit_table()
{
    if (!s_pig.tables_built)
        pig_tables_init();
    return &s_pig.hit;
}

void pig_set_memory_recover(PigMemoryRecover routine) { s_pig.recover = routine; }
PigMemoryRecover pig_memory_recover() { return s_pig.recover; }
