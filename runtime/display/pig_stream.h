// Picture streams: a flat run of records, each an i16 opcode and its data, run through a table
// of 256 handlers indexed by opcode. Each use of a picture (drawing, hit testing, byte-order
// conversion, scans by other modules) is its own table over the one interpreter here.
//
// A record's total length comes from the length table (fixed records) or from the i32 at
// offset 2 (variable records, opcode and length field included). The header's record count
// ends a normal run; a record reaching past the stream's byte length ends it with 11.
// Nothing in a stream is trusted: the byte length is the smaller of the header's and the
// block's, and a variable length that makes no progress or is shorter than the fixed head of
// an opcode that has a handler is an overrun too.
#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/gdi/gdi_object.h"
#include "runtime/base/mem.h"
#include "runtime/base/rect.h"
#include "runtime/display/gdi_draw.h"

// Results of runs.
constexpr int kPigNoPicture = 2;
constexpr int kPigCannotOpen = 3;
constexpr int kPigNoMemory = 4;
constexpr int kPigOverrun = 11;
constexpr int kPigHit = 13;
constexpr int kPigNoRecord = 15;

constexpr int kPigHighestOpcode = 159;
constexpr size_t kPigHeaderSize = 42;
constexpr size_t kPigVarHead = 6; // opcode and i32 length

// The opcodes the runtime knows.
enum : uint16_t {
    kPigOpHeader = 0,
    kPigOpFillOn = 1,
    kPigOpFillOff = 2,
    kPigOpFillColor = 6,
    kPigOpElement = 7,
    kPigOpFillPattern = 10,
    kPigOpFillBackColor = 14,
    kPigOpLineOn = 33,
    kPigOpLineOff = 34,
    kPigOpLineSize = 35,
    kPigOpLineColor = 38,
    kPigOpLinePattern = 42,
    kPigOpLineBackColor = 46,
    kPigOpFlag2On = 66,
    kPigOpFlag2Off = 67,
    kPigOpArrows = 72,
    kPigOpArrowsOff = 73,
    kPigOpMode = 80,
    kPigOpFlags = 81,
    kPigOpPaletteMap = 84,
    kPigOpColorTable = 86,
    kPigOpImageRecord = 96,
    kPigOpImage = 101,
    kPigOpRect = 113,
    kPigOpLine = 117,
    kPigOpOval = 125,
    kPigOpRoundRect = 129,
    kPigOpPie = 133,
    kPigOpArc = 137,
    kPigOpPolygon = 141,
    kPigOpText = 152,
    kPigOpOle = 153,
    kPigOpMedia = 154,
};

// Header fields.
constexpr size_t kPigHeaderCount = 14;
constexpr size_t kPigHeaderLength = 18;
constexpr size_t kPigHeaderReserved = 22;
constexpr size_t kPigHeaderBounds = 26;
constexpr size_t kPigHeaderBounds2 = 34;

// Style flag byte 1: polygons are closed.
constexpr uint8_t kPigFlagClosePolygons = 0x08;

struct PigStream;
using PigHandler = int (*)(PigStream* stream);
struct PigHandlerTable {
    PigHandler slots[256] = {};
};
// Opcode 7: the record, its element number, the caller data and the rectangle routine.
using PigRectRoutine = int (*)(const Rect* element, uint32_t caller_data, Rect* out);
using PigElementRoutine = int (*)(const uint8_t* record, int32_t element, uint32_t caller_data,
    PigRectRoutine rect_routine);

// The state of one run. Runs of one kind extend it (struct PigDrawRun : PigStream) and their
// handlers cast back.
struct PigStream {
    int32_t writer = 0;
    int32_t reading = 0;
    MemHandle picture{};
    uint8_t* bytes = nullptr; // locked while open
    int32_t file_slot = 0; // the file of opcode 96's records
    uint8_t* record = nullptr; // the record a handler is called for
    uint32_t record_length = 0; // its total length, inside the stream
    DrawStyle* spare_style = nullptr;
    DrawStyle* style = nullptr;
    PigElementRoutine element = nullptr;
    int32_t reserved = 0;
    Rect bounds{}; // the header's first copy
    int32_t record_count = 0;
    int32_t records_run = 0;
    uint32_t byte_length = 0;
    uint32_t position = 0;
    uint32_t spare[2] = {}; // the first: a GDI object a scan's handlers leave for pig_scan_close
    uint32_t block_size = 0;
    bool damaged = false; // a block too short for the header: every run overruns
};

// A stream with its own two styles and table, for callers that walk a picture themselves.
struct PigScan {
    PigStream stream;
    DrawStyle styles[2];
    PigHandlerTable table;
};

// The fixed total length of an opcode (> 0), or minus the fixed head of a variable one (<= 0).
int pig_length_entry(uint16_t opcode);

// 0, or 2 for a null (or unlockable) handle. Reads count, byte length and bounds.
int pig_open(MemHandle picture, int32_t file_slot, PigStream* stream);
// Opens a stream over bytes the caller holds (converters of records being read).
void pig_open_bytes(uint8_t* bytes, size_t size, PigStream* stream);
void pig_close(PigStream* stream);
// pig_run without conversion.
int pig_exec(PigStream* stream, const PigHandlerTable* table, int highest);
// 0, a handler's nonzero result, or 11. Converting, each opcode and i32 length is turned
// into (from_foreign) or out of native order around its use.
int pig_run(PigStream* stream, const PigHandlerTable* table, int highest, int convert, int from_foreign);
// The header's second bounds; false (out untouched) when the picture cannot be read.
bool pig_bounds(MemHandle picture, int32_t file_slot, Rect* out);

// The default state of a run: mode 0, flags 1, 0, 0, fill and line on, black on white, solid,
// pen 1 x 1, no colour table.
void pig_style_init(DrawStyle* style);
// Frees the style's colour-table block.
void pig_style_free(DrawStyle* style);

void pig_table_clear(PigHandlerTable* table);
// One handler of a table, as the tables of each use list them.
struct PigHandlerRow {
    uint16_t opcode;
    PigHandler handler;
};
template <size_t N>
void pig_table_install(PigHandlerTable* table, const PigHandlerRow (&rows)[N])
{
    for (const PigHandlerRow& row : rows)
        table->slots[row.opcode] = row.handler;
}
// The state handlers of drawing.
void pig_table_init_base(PigHandlerTable* table);
// Base and the drawing handlers.
void pig_table_init_draw(PigHandlerTable* table);

int pig_scan_open(PigScan* scan, MemHandle picture, int32_t file_slot);
int pig_scan_run(PigScan* scan);
void pig_scan_close(PigScan* scan);

// Record field access: every field a handler reads lies inside record_length (checked by
// the handler against its head before reading).
int16_t pig_i16(const PigStream* stream, size_t offset);
int32_t pig_i32(const PigStream* stream, size_t offset);
Rect pig_rect(const PigStream* stream, size_t offset);
// Four little-endian i16 the caller has checked are there.
Rect pig_load_rect(const uint8_t* bytes);

// Start-up: the utility and hit tables and the memory-recovery routine; shutdown frees them.
int pig_tables_init();
void pig_tables_free();
const PigHandlerTable* pig_utility_table();
const PigHandlerTable* pig_hit_table();

// What image drawing calls when a blit fails: 1 when memory was freed. pig_tables_init
// installs the runtime's; null (nothing freed) before.
using PigMemoryRecover = int (*)();
void pig_set_memory_recover(PigMemoryRecover routine);
PigMemoryRecover pig_memory_recover();
