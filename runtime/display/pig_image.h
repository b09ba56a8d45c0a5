// The images of picture streams: opcode 101 holds its image (and mask) inside the stream
// record, opcode 96 in a record of the picture's file, with a hit mask in the stream record.
// An image is a 40-byte BITMAPINFOHEADER and its bits, coloured by the run's last colour
// table; a mask is a 1-bit image with two colour entries of its own. Every offset, header and
// the bits behind it are checked against the bytes that hold them before anything is read.
#pragma once
#include <cstdint>
#include <span>
#include <vector>

#include "platform/gdi/dib.h"
#include "runtime/display/pig_stream.h"
#include "runtime/store/rec_types.h"

// Compressions of 1-bit images that the runtime codes with the run-length escapes: each
// nibble (3) or byte (4) of a run or literal holds 4 or 8 pixels, a set bit being entry 1.
constexpr uint32_t kPigMonoRle4 = 3;
constexpr uint32_t kPigMonoRle8 = 4;

// Where an image record's parts are.
struct PigImageRecord {
    bool in_record = false; // 96: the image and its mask are in another record
    RecordId id = 0;
    Rect source{}, destination{}, hit_rect{};
    int64_t mask_offset = -1; // from the start of the bytes that hold it; -1 none
    int64_t image_offset = 0;
    int64_t hit_offset = -1; // 96 only: in the stream record; -1 none
};
void pig_image_record(const PigStream* stream, PigImageRecord& out);

// One image or mask as found.
struct PigImage {
    plat::DibHeader header;
    std::span<const uint8_t> header_bytes; // the 40 bytes
    std::span<const uint8_t> colors; // masks: their two entries
    std::span<const uint8_t> bits; // to the end of what holds them
};
enum class PigImageCheck { ok, empty, damaged };
// Checks the image (or mask) at offset of area: a plain or run-length header whose bits lie
// inside the area. empty: height or width 0, nothing to draw.
PigImageCheck pig_image_read(std::span<const uint8_t> area, int64_t offset, bool mask, PigImage& out);

// The image as something the DIB routines take: compressions 3 and 4 decoded into 1-bit rows
// (storage holds them), others as they are. False for a damaged run-length stream.
bool pig_image_plain(const PigImage& image, std::vector<uint8_t>& storage, PigImage& out);

// Colours 0x00RRGGBB of a COLORREF and of a colour entry (blue, green, red, 0).
uint32_t pig_entry_rgb(const uint8_t* entry);
