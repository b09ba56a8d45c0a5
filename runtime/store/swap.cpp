#include "runtime/store/swap.h"

#include "platform/kernel/byte_io.h"
#include "runtime/base/errcode.h"
#include "runtime/store/rec_types.h"

#include <utility>

static struct {
    int enabled = 0;
    int direction = 0;
    SwapHook hooks[kSwapHookCount] = {};
} s_swap;

int swap_enabled() { return s_swap.enabled; }
void swap_set_enabled(int on) { s_swap.enabled = on ? 1 : 0; }
int swap_direction() { return s_swap.direction; }
void swap_set_direction(int to_native) { s_swap.direction = to_native ? 1 : 0; }

SwapScope::SwapScope(int to_native)
    : m_enabled(s_swap.enabled)
    , m_direction(s_swap.direction)
{
    s_swap.enabled = 1;
    s_swap.direction = to_native ? 1 : 0;
}

SwapScope::~SwapScope()
{
    s_swap.enabled = m_enabled;
    s_swap.direction = m_direction;
}

void swap_short(uint8_t* p)
{
    if (s_swap.enabled)
        std::swap(p[0], p[1]);
}

void swap_long(uint8_t* p)
{
    if (!s_swap.enabled)
        return;
    std::swap(p[0], p[3]);
    std::swap(p[1], p[2]);
}

void swap_shorts(uint8_t* p, size_t count)
{
    for (size_t i = 0; i < count; i++)
        swap_short(p + 2 * i);
}

void swap_longs(uint8_t* p, size_t count)
{
    for (size_t i = 0; i < count; i++)
        swap_long(p + 4 * i);
}

void swap_double(uint8_t* p)
{
    for (int i = 0; i < 4; i++)
        std::swap(p[i], p[7 - i]);
}

uint16_t swap_bytes16(uint16_t value) { return uint16_t(value >> 8 | value << 8); }

uint32_t swap_bytes32(uint32_t value)
{
    return value >> 24 | (value >> 8 & 0xFF00) | (value << 8 & 0xFF0000) | value << 24;
}

uint16_t swap_take_u16(uint8_t* p)
{
    if (s_swap.direction)
        swap_short(p);
    uint16_t value = plat::load_u16le(p);
    if (!s_swap.direction)
        swap_short(p);
    return value;
}

uint32_t swap_take_u32(uint8_t* p)
{
    if (s_swap.direction)
        swap_long(p);
    uint32_t value = plat::load_u32le(p);
    if (!s_swap.direction)
        swap_long(p);
    return value;
}

// --- descriptors ---------------------------------------------------------------------------

// The widths of one bit-field word starting at d[i]: pairs (bits, width) until they add up to
// bits. Returns how many widths were read; i moves past them.
static int bitfield_widths(const uint8_t* d, size_t& i, int bits, uint8_t* widths)
{
    int count = 0;
    int total = 0;
    while (d[i] == bits && total < bits && count < 32) {
        widths[count++] = d[i + 1];
        total += d[i + 1];
        i += 2;
    }
    return count;
}

static uint32_t field_mask(int width)
{
    return width >= 32 ? 0xFFFFFFFFu : (uint32_t(1) << width) - 1;
}

// The other byte order's compilers laid bit-fields out from the most significant end.
static uint32_t move_fields(
    uint32_t value, const uint8_t* widths, int count, int bits, int to_native)
{
    uint32_t out = 0;
    int from = to_native ? bits : 0;
    int to = to_native ? 0 : bits;
    for (int n = 0; n < count; n++) {
        int width = widths[n] > bits ? bits : widths[n];
        if (to_native) {
            from -= width;
            out |= (from >= 0 ? value >> from & field_mask(width) : 0) << to;
            to += width;
        } else {
            to -= width;
            out |= to >= 0 ? (value >> from & field_mask(width)) << to : 0;
            from += width;
        }
    }
    return out;
}

static void swap_bitfield_word(uint8_t* p, const uint8_t* widths, int count, int bits)
{
    if (!s_swap.enabled)
        return;
    int to_native = s_swap.direction;
    uint32_t value;
    if (bits == 16)
        value = to_native ? uint32_t(p[0] << 8 | p[1]) : plat::load_u16le(p);
    else
        value = to_native ? uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3]
                          : plat::load_u32le(p);
    uint32_t out = move_fields(value, widths, count, bits, to_native);
    if (bits == 16) {
        if (to_native)
            plat::store_u16le(p, uint16_t(out));
        else
            p[0] = uint8_t(out >> 8), p[1] = uint8_t(out);
    } else {
        if (to_native)
            plat::store_u32le(p, out);
        else
            p[0] = uint8_t(out >> 24), p[1] = uint8_t(out >> 16), p[2] = uint8_t(out >> 8),
            p[3] = uint8_t(out);
    }
}

// Walks the descriptor; with a record, converts its fields. Returns the bytes described.
static size_t run_descriptor(uint8_t* record, const uint8_t* d)
{
    size_t at = 0;
    for (size_t i = 0; d[i] != kSwapEnd;) {
        uint8_t code = d[i];
        if (code == kSwapBits16 || code == kSwapBits32) {
            uint8_t widths[32];
            int count = bitfield_widths(d, i, code, widths);
            if (record)
                swap_bitfield_word(record + at, widths, count, code);
            at += code / 8;
            continue;
        }
        switch (code) {
        case kSwapSkip:
            at += d[i + 1];
            i += 2;
            continue;
        case kSwapU16:
            if (record)
                swap_short(record + at);
            at += 2;
            break;
        case kSwapTwoU32:
            if (record)
                swap_longs(record + at, 2);
            at += 8;
            break;
        case kSwapU32:
            if (record)
                swap_long(record + at);
            at += 4;
            break;
        case kSwapDouble:
            if (record && s_swap.enabled)
                swap_double(record + at);
            at += 8;
            break;
        default: return at; // our own tables never hold another code
        }
        i++;
    }
    return at;
}

size_t swap_descriptor_size(const uint8_t* descriptor)
{
    return run_descriptor(nullptr, descriptor);
}

int64_t swap_by_descriptor(uint8_t* record, size_t size, const uint8_t* descriptor)
{
    size_t extent = swap_descriptor_size(descriptor);
    if (extent > size)
        return -1;
    run_descriptor(record, descriptor);
    return int64_t(extent);
}

int swap_records(uint8_t* records, size_t size, const uint8_t* descriptor, size_t count)
{
    size_t extent = swap_descriptor_size(descriptor);
    if (extent != 0 && count > size / extent)
        return kErrFileDamaged;
    for (size_t n = 0; n < count; n++)
        run_descriptor(records + n * extent, descriptor);
    return kErrOk;
}

// --- tagged lists --------------------------------------------------------------------------

int swap_taglist(uint8_t* list, size_t size, int to_native, SwapTagData convert, void* user)
{
    for (size_t at = 0;;) {
        if (size - at < 2)
            return kErrFileDamaged;
        uint8_t* record = list + at;
        if (plat::load_u16le(record) == 0)
            return kErrOk; // the terminator reads 0 in either order
        if (size - at < 4)
            return kErrFileDamaged;
        if (to_native)
            swap_shorts(record, 2);
        uint16_t tag = plat::load_u16le(record);
        uint16_t length = plat::load_u16le(record + 2);
        if (length > size - at - 4)
            return kErrFileDamaged;
        int result = convert ? convert(tag, record + 4, length, user) : kErrOk;
        if (result != kErrOk)
            return result;
        if (!to_native)
            swap_shorts(record, 2);
        size_t span = (size_t(length) + 5) & ~size_t(1);
        if (span > size - at)
            return kErrFileDamaged;
        at += span;
    }
}

void swap_typed_value(uint8_t* value)
{
    uint8_t kind = value[0];
    if (kind == 0 || kind == 19 || kind == 20) {
        swap_long(value + 4);
        if (value[2] == 2 || value[2] == 3)
            swap_shorts(value + 8, 2);
    } else if (kind == 1 || (kind >= 4 && kind <= 9)) {
        swap_long(value + 2);
    } else if (kind == 2 && s_swap.enabled) {
        swap_double(value + 2);
    }
}

static const uint8_t kPairOf16[] = { kSwapU16, kSwapU16, kSwapEnd };
static const uint8_t kOne16[] = { kSwapU16, kSwapEnd };
static const uint8_t kOne32[] = { kSwapU32, kSwapEnd };
static const uint8_t kFour16[] = { kSwapU16, kSwapU16, kSwapU16, kSwapU16, kSwapEnd };
static const uint8_t kKind2[] = { kSwapU16, kSwapU16, kSwapU16, kSwapU32, kSwapEnd };
static const uint8_t kKind12[]
    = { kSwapU16, kSwapU32, kSwapU16, kSwapU16, kSwapU16, kSwapSkip, 2, kSwapEnd };
// Kind 4, tag 1 of 96 bytes.
static const uint8_t kKind4Tag1[] = { kSwapSkip, 4, kSwapU16, kSwapU32, kSwapU32, kSwapU32,
    kSwapSkip, 8, kSwapU16, kSwapU16, kSwapU16, kSwapU32, kSwapU32, kSwapSkip, 8, kSwapU16,
    kSwapU16, kSwapU32, kSwapSkip, 32, kSwapU16, kSwapU16, kSwapU16, kSwapU16, kSwapEnd };
// Kind 15, tag 2 of 96 bytes.
static const uint8_t kKind15Tag2[]
    = { kSwapSkip, 4, kSwapU32, kSwapU32, kSwapU32, kSwapU32, kSwapU16, kSwapU32, kSwapSkip, 32,
          kSwapSkip, 1, kSwapSkip, 1, kSwapU16, kSwapU16, kSwapU32, kSwapU16, kSwapEnd };

enum TagRule : uint8_t {
    kRuleRepeat, // the descriptor over the data as often as it fits whole
    kRuleOnce, // the descriptor once; shorter data is damage
    kRuleValues, // 16-byte typed values
    kRuleHook, // another module's converter
};

struct TypedTagRow {
    uint8_t kind;
    uint16_t first_tag, last_tag; // 0..65535: every tag
    uint16_t length; // 0: any length; else only data of exactly this length is converted
    TagRule rule;
    const uint8_t* descriptor;
    SwapHookKind hook;
};

// Kinds 5-10 and 13 have no rows: only their tags and lengths are converted.
static const TypedTagRow kTypedTagRows[] = {
    { 0, 0, 65535, 0, kRuleRepeat, kPairOf16, kSwapHookCount }, // point-like pairs
    { 1, 0, 65535, 0, kRuleRepeat, kPairOf16, kSwapHookCount },
    { 14, 0, 65535, 0, kRuleRepeat, kPairOf16, kSwapHookCount },
    { 2, 0, 65535, 0, kRuleOnce, kKind2, kSwapHookCount },
    { 3, 0, 65535, 0, kRuleOnce, kFour16, kSwapHookCount },
    { 4, 1, 1, 96, kRuleOnce, kKind4Tag1, kSwapHookCount }, // the 96-byte settings block
    { 4, 2, 2, 0, kRuleRepeat, kOne32, kSwapHookCount },
    { 4, 3, 3, 0, kRuleOnce, kOne16, kSwapHookCount },
    { 4, 5, 5, 0, kRuleRepeat, kOne32, kSwapHookCount },
    { 4, 7, 7, 0, kRuleRepeat, kOne32, kSwapHookCount },
    { 4, 9, 9, 0, kRuleRepeat, kOne32, kSwapHookCount },
    { 4, 11, 11, 0, kRuleRepeat, kOne32, kSwapHookCount },
    { 4, 13, 13, 0, kRuleRepeat, kOne32, kSwapHookCount },
    { 11, 0, 65535, 0, kRuleValues, nullptr, kSwapHookCount }, // stored calculation values
    { 12, 0, 65535, 0, kRuleOnce, kKind12, kSwapHookCount },
    { 15, 1, 1, 0, kRuleRepeat, kOne16, kSwapHookCount },
    { 15, 5, 5, 0, kRuleRepeat, kOne16, kSwapHookCount },
    { 15, 2, 2, 96, kRuleOnce, kKind15Tag2, kSwapHookCount },
    { 15, 3, 4, 0, kRuleRepeat, kPairOf16, kSwapHookCount },
    { 15, 6, 7, 0, kRuleRepeat, kPairOf16, kSwapHookCount },
    { 15, 9, 9, 0, kRuleRepeat, kFour16, kSwapHookCount },
    { 16, 0, 65535, 0, kRuleHook, nullptr, kSwapHookButton },
    { 17, 0, 65535, 0, kRuleHook, nullptr, kSwapHookButtonImage },
    { 18, 0, 65535, 0, kRuleHook, nullptr, kSwapHookFont },
};

static int apply_tag_row(const TypedTagRow& row, uint16_t tag, uint8_t* data, size_t length)
{
    switch (row.rule) {
    case kRuleRepeat: {
        size_t extent = swap_descriptor_size(row.descriptor);
        return swap_records(data, length, row.descriptor, length / extent);
    }
    case kRuleOnce:
        return swap_by_descriptor(data, length, row.descriptor) < 0 ? kErrFileDamaged : kErrOk;
    case kRuleValues:
        for (size_t at = 0; length - at >= 16; at += 16)
            swap_typed_value(data + at);
        return kErrOk;
    case kRuleHook: return swap_call_hook(row.hook, tag, data, length);
    }
    return kErrOk;
}

static int convert_typed_tag(uint16_t tag, uint8_t* data, size_t length, void* user)
{
    int kind = *static_cast<const int*>(user);
    for (const TypedTagRow& row : kTypedTagRows) {
        if (row.kind != kind || tag < row.first_tag || tag > row.last_tag)
            continue;
        if (row.length != 0 && row.length != length)
            continue;
        return apply_tag_row(row, tag, data, length);
    }
    return kErrOk;
}

int swap_typed_taglist(uint8_t* list, size_t size, int kind, int to_native)
{
    return swap_taglist(list, size, to_native, convert_typed_tag, &kind);
}

// --- offset tables -------------------------------------------------------------------------

int swap_offset_table16(uint8_t* block, size_t size, size_t* entries)
{
    *entries = 0;
    if (size < 2)
        return kErrFileDamaged;
    size_t table_size = swap_take_u16(block);
    if (table_size < 2 || table_size > size)
        return kErrFileDamaged;
    swap_shorts(block + 2, table_size / 2 - 1);
    *entries = table_size / 2;
    return kErrOk;
}

int swap_offset_table32(uint8_t* block, size_t size, size_t* entries)
{
    *entries = 0;
    if (size < 4)
        return kErrFileDamaged;
    size_t table_size = swap_take_u32(block);
    if (table_size < 4 || table_size > size)
        return kErrFileDamaged;
    swap_longs(block + 4, table_size / 4 - 1);
    *entries = table_size / 4;
    return kErrOk;
}

// --- hooks ---------------------------------------------------------------------------------

void swap_set_hook(SwapHookKind kind, SwapHook hook)
{
    if (kind >= 0 && kind < kSwapHookCount)
        s_swap.hooks[kind] = hook;
}

int swap_call_hook(SwapHookKind kind, uint16_t tag, uint8_t* data, size_t length)
{
    if (kind < 0 || kind >= kSwapHookCount || !s_swap.hooks[kind])
        return kErrNoConverter;
    return s_swap.hooks[kind](tag, data, length, s_swap.direction);
}

void swap_reset()
{
    s_swap.enabled = 0;
    s_swap.direction = 0;
    for (SwapHook& hook : s_swap.hooks)
        hook = nullptr;
}
