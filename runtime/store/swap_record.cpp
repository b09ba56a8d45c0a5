#include "runtime/store/swap_record.h"

#include "platform/kernel/byte_io.h"
#include "runtime/base/errcode.h"
#include "runtime/base/mem.h"
#include "runtime/store/swap.h"

// A converter of one record type: the record's bytes and length, direction in the swap state.
using RecordConverter = int (*)(uint8_t* data, size_t size);

static const uint8_t kOne16[] = { kSwapU16, kSwapEnd };
static const uint8_t kOne32[] = { kSwapU32, kSwapEnd };
static const uint8_t kTwo32[] = { kSwapTwoU32, kSwapEnd };
static const uint8_t kPairOf16[] = { kSwapU16, kSwapU16, kSwapEnd };
static const uint8_t kNodeFlags3[]
    = { kSwapU32, kSwapBits32, 1, kSwapBits32, 1, kSwapBits32, 4, kSwapBits32, 26, kSwapEnd };
static const uint8_t kNodeFlags4[] = { kSwapBits32, 1, kSwapBits32, 7, kSwapBits32, 24, kSwapEnd };
static const uint8_t kListHeader[] = { kSwapU16, kSwapU32, kSwapU32, kSwapU32, kSwapEnd };
static const uint8_t kListItem5[]
    = { kSwapU16, kSwapU16, kSwapU16, kSwapU16, kSwapU16, kSwapU16, kSwapU32, kSwapEnd };
static const uint8_t kEntry8[]
    = { kSwapU16, kSwapU16, kSwapU16, kSwapU16, kSwapU32, kSwapU32, kSwapU16, kSwapEnd };
static const uint8_t kStateWords29[] = { kSwapBits16, 9, kSwapBits16, 1, kSwapBits16, 1,
    kSwapBits16, 1, kSwapBits16, 1, kSwapBits16, 2, kSwapBits16, 1, kSwapBits16, 8, kSwapBits16, 1,
    kSwapBits16, 1, kSwapBits16, 1, kSwapBits16, 5, kSwapEnd };
static const uint8_t kMovieHeader51[] = { kSwapU16, kSwapU16, kSwapU16, kSwapU16, kSwapU32,
    kSwapU32, kSwapU32, kSwapU32, kSwapU16, kSwapU32, kSwapU32, kSwapEnd };
static const uint8_t kMovieItem51[] = { kSwapU16, kSwapU32, kSwapU32, kSwapU16, kSwapU16, kSwapU32,
    kSwapU32, kSwapU16, kSwapU32, kSwapU32, kSwapEnd };
static const uint8_t kBitmapHeader[] = { kSwapU32, kSwapU32, kSwapU32, kSwapU16, kSwapU16, kSwapU32,
    kSwapU32, kSwapU32, kSwapU32, kSwapU32, kSwapU32, kSwapEnd };
static const uint8_t kMedia54[]
    = { kSwapU16, kSwapU32, kSwapU32, kSwapU16, kSwapU32, kSwapU32, kSwapSkip, 2, kSwapU16,
          kSwapSkip, 4, kSwapDouble, kSwapU16, kSwapU32, kSwapU16, kSwapU16, kSwapU16, kSwapEnd };

static int to_native() { return swap_direction(); }

static int once(uint8_t* data, size_t size, const uint8_t* descriptor)
{
    return swap_by_descriptor(data, size, descriptor) < 0 ? kErrFileDamaged : kErrOk;
}

// The descriptor over as many whole elements as the record holds.
static int repeated(uint8_t* data, size_t size, const uint8_t* descriptor)
{
    return swap_records(data, size, descriptor, size / swap_descriptor_size(descriptor));
}

// Node directory: 606 words, fewer when the stored directory is shorter (it is extended with
// zero words when loaded).
static int convert_node_directory(uint8_t* data, size_t size)
{
    size_t words = size / 2 < 606 ? size / 2 : 606;
    swap_shorts(data, words);
    return kErrOk;
}

static int convert_two_longs(uint8_t* data, size_t size) { return once(data, size, kTwo32); }

// One element per node; the record's length bounds the count rather than the node directory,
// which a converter cannot reach.
static int convert_node_flags3(uint8_t* data, size_t size)
{
    return repeated(data, size, kNodeFlags3);
}
static int convert_node_flags4(uint8_t* data, size_t size)
{
    return repeated(data, size, kNodeFlags4);
}

// A list header whose u32 at offset 6 counts elements of element_size bytes from first.
static int convert_counted_list(
    uint8_t* data, size_t size, size_t first, size_t element_size, const uint8_t* element)
{
    if (size < swap_descriptor_size(kListHeader))
        return kErrFileDamaged;
    if (to_native())
        once(data, size, kListHeader);
    uint32_t count = plat::load_u32le(data + 6);
    if (!to_native())
        once(data, size, kListHeader);
    if (first > size || count > (size - first) / element_size)
        return kErrFileDamaged;
    for (uint32_t n = 0; n < count; n++)
        once(data + first + n * element_size, element_size, element);
    return kErrOk;
}

static int convert_list5(uint8_t* data, size_t size)
{
    return convert_counted_list(data, size, 16, 16, kListItem5);
}
static int convert_list7(uint8_t* data, size_t size)
{
    return convert_counted_list(data, size, 512, 512, kEntry8);
}
static int convert_entry8(uint8_t* data, size_t size) { return once(data, size, kEntry8); }
static int convert_all16(uint8_t* data, size_t size) { return repeated(data, size, kOne16); }
static int convert_pairs16(uint8_t* data, size_t size) { return repeated(data, size, kPairOf16); }

static int convert_state_words(uint8_t* data, size_t size)
{
    if (size < 4)
        return kErrFileDamaged;
    swap_long(data);
    return repeated(data + 4, size - 4, kStateWords29);
}

static int convert_values(uint8_t* data, size_t size)
{
    for (size_t n = size / 16; n > 0; n--)
        swap_typed_value(data + (n - 1) * 16);
    return kErrOk;
}

// The project writes only native files, and a header group's layout and kind blocks (signed
// rectangles, links) would need every icon kind's layout to convert: a foreign one is refused.
static int convert_header_group(uint8_t*, size_t) { return kErrFileDamaged; }

// Checks that the entries of a native offset table rise within the record.
static int check_offsets32(const uint8_t* data, size_t size, size_t entries)
{
    uint64_t previous = uint64_t(entries) * 4;
    for (size_t n = 0; n < entries; n++) {
        uint32_t offset = plat::load_u32le(data + 4 * n);
        if (offset < previous || offset > size)
            return kErrFileDamaged;
        previous = offset;
    }
    return kErrOk;
}

// Converts a non-empty slice of a table of offsets.
using SliceConverter = int (*)(uint8_t* slice, size_t length);

// A u32 offset table (its first entry is its own size) followed by the slices it delimits:
// the table is read in native order, so it is converted first when converting to native and
// last when converting from it.
static int convert_sliced32(uint8_t* data, size_t size, SliceConverter convert)
{
    size_t entries = 0;
    if (to_native()) {
        int result = swap_offset_table32(data, size, &entries);
        if (result != kErrOk)
            return result;
    } else {
        entries = size >= 4 ? plat::load_u32le(data) / 4 : 0;
        if (entries == 0 || entries > size / 4)
            return kErrFileDamaged;
    }
    if (check_offsets32(data, size, entries) != kErrOk)
        return kErrFileDamaged;
    for (size_t n = 0; convert && n + 1 < entries; n++) {
        uint32_t start = plat::load_u32le(data + 4 * n), end = plat::load_u32le(data + 4 * n + 4);
        int result = end == start ? kErrOk : convert(data + start, end - start);
        if (result != kErrOk)
            return result;
    }
    return to_native() ? kErrOk : swap_offset_table32(data, size, &entries);
}

static int convert_index_slice(uint8_t* slice, size_t length)
{
    if (length >= 2)
        swap_short(slice);
    return kErrOk;
}

static int convert_word_index(uint8_t* data, size_t size)
{
    return convert_sliced32(data, size, convert_index_slice);
}
static int convert_offsets_only(uint8_t* data, size_t size)
{
    return convert_sliced32(data, size, nullptr);
}

static int convert_font_tag(uint16_t tag, uint8_t* data, size_t length, void*)
{
    return swap_call_hook(kSwapHookFont, tag, data, length);
}

static int convert_font_list(uint8_t* data, size_t size)
{
    return swap_taglist(data, size, to_native(), convert_font_tag, nullptr);
}

static int convert_counted16(uint8_t* data, size_t size)
{
    if (size < 2)
        return kErrFileDamaged;
    uint16_t count = swap_take_u16(data);
    if (count > (size - 2) / 2)
        return kErrFileDamaged;
    swap_shorts(data + 2, count);
    return kErrOk;
}

static int convert_no_converter(uint8_t*, size_t) { return kErrNoConverter; }
static int convert_nothing(uint8_t*, size_t) { return kErrOk; }
static int convert_text_styles(uint8_t* data, size_t size)
{
    return swap_call_hook(kSwapHookTextStyles, 0, data, size);
}
static int convert_picture(uint8_t* data, size_t size)
{
    return swap_call_hook(kSwapHookPicture, 0, data, size);
}
static int convert_media54(uint8_t* data, size_t size) { return once(data, size, kMedia54); }

// One array of type 51: count and offset already native.
static int convert_movie_array(uint8_t* data, size_t size, uint32_t count, uint32_t offset)
{
    if (count == 0)
        return kErrOk;
    if (offset > size || count > (size - offset) / 32)
        return kErrFileDamaged;
    return swap_records(data + offset, size - offset, kMovieItem51, count);
}

static int convert_movie(uint8_t* data, size_t size)
{
    if (size < 34)
        return kErrFileDamaged;
    // Counts and offsets are read in native order: after a conversion to it, before one from it.
    if (to_native())
        swap_by_descriptor(data, size, kMovieHeader51);
    uint32_t counts[2] = { plat::load_u16le(data), plat::load_u16le(data + 2) };
    uint32_t offsets[3]
        = { plat::load_u32le(data + 8), plat::load_u32le(data + 12), plat::load_u32le(data + 16) };
    int result = convert_movie_array(data, size, counts[0], offsets[0]);
    if (result == kErrOk)
        result = convert_movie_array(data, size, counts[1], offsets[1]);
    if (result == kErrOk && offsets[2] != 0)
        result = offsets[2] > size ? kErrFileDamaged
                                   : once(data + offsets[2], size - offsets[2], kBitmapHeader);
    if (!to_native())
        swap_by_descriptor(data, size, kMovieHeader51);
    return result;
}

// Bytes of a bitmap's colour table and image from its native header.
static uint64_t bitmap_body_size(const uint8_t* header)
{
    int32_t width = int32_t(plat::load_u32le(header + 4));
    int32_t height = int32_t(plat::load_u32le(header + 8));
    uint16_t bits = plat::load_u16le(header + 14);
    uint32_t compression = plat::load_u32le(header + 16);
    uint32_t image = plat::load_u32le(header + 20);
    uint32_t used = plat::load_u32le(header + 32);
    uint64_t colours = bits > 8 ? 0 : used != 0 ? used : bits == 1 ? 2 : bits == 4 ? 16 : 256;
    uint64_t bytes = image;
    if (bytes == 0) {
        uint64_t magnitude = height < 0 ? uint64_t(-int64_t(height)) : uint64_t(height);
        uint64_t row = (uint64_t(bits) * uint64_t(width < 0 ? 0 : width) + 31) / 32 * 4;
        bytes = row * magnitude;
        if (compression != 0 && compression != 3)
            bytes += bytes / 2;
    }
    return colours * 4 + bytes;
}

static int convert_bitmap(uint8_t* data, size_t size)
{
    if (size < 40)
        return kErrFileDamaged;
    if (to_native())
        once(data, size, kBitmapHeader);
    uint64_t second = 40 + bitmap_body_size(data);
    if (!to_native())
        once(data, size, kBitmapHeader);
    if (second <= size && size - second >= 40)
        once(data + second, size - second, kBitmapHeader);
    return kErrOk;
}

// Type 57: tags 1-7 hold a u16 count, a u16 and that many u32.
static int convert_counted_tag(uint16_t tag, uint8_t* data, size_t length, void*)
{
    if (tag > 7)
        return kErrOk;
    if (length < 4)
        return kErrFileDamaged;
    uint16_t count = swap_take_u16(data);
    swap_short(data + 2);
    if (count > (length - 4) / 4)
        return kErrFileDamaged;
    swap_longs(data + 4, count);
    return kErrOk;
}

static int convert_counted_tags(uint8_t* data, size_t size)
{
    return swap_taglist(data, size, to_native(), convert_counted_tag, nullptr);
}

static int convert_property_group(uint8_t* data, size_t size)
{
    return swap_property_group(data, size, to_native());
}

struct TypeRow {
    int16_t first, last;
    RecordConverter convert; // null: a typed TagList of list_kind
    int list_kind;
};

// Types 1-42 and 50-62; a type missing here has nothing to convert.
static const TypeRow kTypeRows[] = {
    { 1, 1, convert_node_directory, 0 },
    { 2, 2, convert_two_longs, 0 }, // string pools: their two header words
    { 3, 3, convert_node_flags3, 0 },
    { 4, 4, convert_node_flags4, 0 },
    { 5, 5, convert_list5, 0 },
    { 6, 6, convert_two_longs, 0 },
    { 7, 7, convert_list7, 0 },
    { 8, 8, convert_entry8, 0 },
    { 9, 9, convert_two_longs, 0 },
    { 10, 10, nullptr, 5 },
    { 11, 11, nullptr, 6 },
    { 12, 12, nullptr, 11 },
    { 13, 13, nullptr, 7 },
    { 14, 14, nullptr, 8 },
    { 15, 15, nullptr, 9 },
    { 16, 16, nullptr, 13 },
    { 17, 17, nullptr, 10 },
    { 18, 18, nullptr, 15 },
    { 19, 19, nullptr, 0 },
    { 20, 20, nullptr, 1 },
    { 21, 21, nullptr, 2 },
    { 22, 22, nullptr, 3 },
    { 23, 23, nullptr, 4 },
    { 24, 24, nullptr, 12 },
    { 25, 25, convert_text_styles, 0 },
    { 26, 26, nullptr, 12 },
    { 27, 27, nullptr, 14 },
    { 28, 28, convert_all16, 0 }, // title hash: one word per node
    { 29, 29, convert_state_words, 0 },
    { 30, 30, convert_values, 0 },
    { 31, 31, nullptr, 16 },
    { 32, 32, convert_pairs16, 0 },
    { 33, 33, nullptr, 17 },
    { 34, 34, convert_all16, 0 },
    { 35, 35, nullptr, 9 },
    { 36, 36, convert_header_group, 0 },
    { 37, 37, convert_property_group, 0 },
    { 38, 38, convert_word_index, 0 },
    { 39, 39, convert_offsets_only, 0 },
    { 40, 40, convert_font_list, 0 },
    { 41, 42, convert_counted16, 0 },
    { 50, 50, convert_no_converter, 0 },
    { 51, 51, convert_movie, 0 },
    { 52, 52, convert_picture, 0 },
    { 53, 53, convert_bitmap, 0 },
    { 54, 54, convert_media54, 0 },
    { 55, 56, convert_nothing, 0 },
    { 57, 57, convert_counted_tags, 0 },
    { 58, 62, convert_nothing, 0 },
};

static const TypeRow* type_row(int type)
{
    for (const TypeRow& row : kTypeRows)
        if (type >= row.first && type <= row.last)
            return &row;
    return nullptr;
}

int swap_type_known(int type) { return type_row(type) != nullptr ? 1 : 0; }

uint16_t swap_type_version(int type)
{
    return swap_type_known(type) || type == kRecTypeSpecial2 || type == kRecTypeSpecial3
        ? kConverterVersion
        : 1;
}

int swap_record_bytes(int type, uint8_t* data, size_t size, int to_native)
{
    if (type == kRecTypeUntyped)
        return kErrNoLayout;
    const TypeRow* row = type_row(type);
    if (!row || size == 0)
        return kErrOk;
    SwapScope scope(to_native);
    if (!row->convert)
        return swap_typed_taglist(data, size, row->list_kind, to_native);
    return row->convert(data, size);
}

int swap_record_by_type(const RecordDescriptor& record, int to_native)
{
    if (record.type == kRecTypeUntyped)
        return kErrNoLayout;
    if (!swap_type_known(record.type) || record.unpacked_size == 0)
        return kErrOk;
    size_t size = mem_size(record.data);
    if (record.unpacked_size < size)
        size = record.unpacked_size;
    uint8_t* data = static_cast<uint8_t*>(mem_lock(record.data));
    if (!data)
        return kErrFileDamaged;
    int result = swap_record_bytes(record.type, data, size, to_native);
    mem_unlock(record.data);
    return result;
}

// --- property groups -----------------------------------------------------------------------

static const uint8_t kProp12[] = { kSwapU16, kSwapU16, kSwapU32, kSwapEnd };
static const uint8_t kProp28[] = { kSwapU16, kSwapU32, kSwapU16, kSwapU32, kSwapU32, kSwapU16,
    kSwapU16, kSwapU16, kSwapU16, kSwapU16, kSwapU16, kSwapU16, kSwapU32, kSwapU16, kSwapEnd };
static const uint8_t kProp32[] = { kSwapU16, kSwapU32, kSwapU16, kSwapU16, kSwapEnd };
static const uint8_t kProp33[]
    = { kSwapU16, kSwapU32, kSwapU16, kSwapU16, kSwapU16, kSwapU16, kSwapEnd };
static const uint8_t kProp53[] = { kSwapU16, kSwapU32, kSwapU32, kSwapEnd };
static const uint8_t kProp84[] = { kSwapU32, kSwapU32, kSwapU16, kSwapEnd };

enum PropRule : uint8_t {
    kPropOnce, // the descriptor once
    kPropRepeat, // the descriptor over every whole element
    kPropTwoThenLongs, // two u16, then u32 to the end
    kPropNested, // a TagList of properties inside the property
    kPropHook,
};

struct PropRow {
    uint16_t first, last;
    PropRule rule;
    const uint8_t* descriptor;
    SwapHookKind hook;
};

// Property tags of an icon; a tag missing here is bytes and stays as it is.
static const PropRow kPropRows[] = {
    { 1000, 2999, kPropHook, nullptr, kSwapHookCalc }, // compiled calculations
    { 3000, 4999, kPropHook, nullptr, kSwapHookTrigger }, // dependency lists of triggers
    { 5, 9, kPropRepeat, kOne32, kSwapHookCount },
    { 50, 52, kPropRepeat, kOne32, kSwapHookCount },
    { 61, 61, kPropRepeat, kOne32, kSwapHookCount },
    { 75, 75, kPropRepeat, kOne32, kSwapHookCount },
    { 11, 11, kPropRepeat, kPairOf16, kSwapHookCount },
    { 30, 30, kPropRepeat, kPairOf16, kSwapHookCount },
    { 39, 39, kPropRepeat, kPairOf16, kSwapHookCount },
    { 14, 14, kPropRepeat, kPairOf16, kSwapHookCount },
    { 12, 12, kPropOnce, kProp12, kSwapHookCount },
    { 13, 13, kPropOnce, kTwo32, kSwapHookCount },
    { 21, 21, kPropOnce, kTwo32, kSwapHookCount },
    { 16, 16, kPropOnce, kTwo32, kSwapHookCount },
    { 15, 15, kPropHook, nullptr, kSwapHookTextObject },
    { 17, 17, kPropHook, nullptr, kSwapHookDisplay },
    { 26, 26, kPropOnce, kOne32, kSwapHookCount },
    { 31, 31, kPropOnce, kOne32, kSwapHookCount },
    { 60, 60, kPropOnce, kOne32, kSwapHookCount },
    { 62, 62, kPropOnce, kOne32, kSwapHookCount },
    { 79, 80, kPropOnce, kOne32, kSwapHookCount },
    { 28, 28, kPropOnce, kProp28, kSwapHookCount },
    { 32, 32, kPropOnce, kProp32, kSwapHookCount },
    { 33, 33, kPropOnce, kProp33, kSwapHookCount },
    { 35, 35, kPropTwoThenLongs, nullptr, kSwapHookCount },
    { 36, 36, kPropOnce, kPairOf16, kSwapHookCount },
    { 40, 40, kPropOnce, kOne16, kSwapHookCount },
    { 53, 53, kPropOnce, kProp53, kSwapHookCount },
    { 59, 59, kPropOnce, kPairOf16, kSwapHookCount },
    { 77, 78, kPropNested, nullptr, kSwapHookCount },
    { 84, 84, kPropOnce, kProp84, kSwapHookCount },
};

// Nested lists are limited so that a crafted record cannot recurse without end.
constexpr int kNestingLimit = 8;

static int convert_property(uint16_t tag, uint8_t* data, size_t length, void* user);

static int apply_prop_row(
    const PropRow& row, uint16_t tag, uint8_t* data, size_t length, int* depth)
{
    switch (row.rule) {
    case kPropOnce: return once(data, length, row.descriptor);
    case kPropRepeat: return repeated(data, length, row.descriptor);
    case kPropTwoThenLongs:
        if (length < 4)
            return kErrFileDamaged;
        swap_shorts(data, 2);
        swap_longs(data + 4, (length - 4) / 4);
        return kErrOk;
    case kPropNested: {
        if (*depth >= kNestingLimit)
            return kErrFileDamaged;
        int deeper = *depth + 1;
        return swap_taglist(data, length, to_native(), convert_property, &deeper);
    }
    case kPropHook: return swap_call_hook(row.hook, tag, data, length);
    }
    return kErrOk;
}

static int convert_property(uint16_t tag, uint8_t* data, size_t length, void* user)
{
    for (const PropRow& row : kPropRows)
        if (tag >= row.first && tag <= row.last)
            return apply_prop_row(row, tag, data, length, static_cast<int*>(user));
    return kErrOk;
}

static int convert_property_slice(uint8_t* slice, size_t length)
{
    int depth = 0;
    return swap_taglist(slice, length, to_native(), convert_property, &depth);
}

int swap_property_group(uint8_t* data, size_t size, int to_native)
{
    SwapScope scope(to_native);
    return convert_sliced32(data, size, convert_property_slice);
}
