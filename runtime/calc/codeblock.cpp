#include "runtime/calc/codeblock.h"

#include "platform/kernel/byte_io.h"
#include "runtime/store/swap.h"

#include <algorithm>
#include <cstring>
#include <vector>

using plat::load_u16le;

enum PoolKind { kPoolNone, kPoolReal, kPoolString, kPoolInteger, kPoolVariable, kPoolCall };

static PoolKind pool_kind(int opcode)
{
    switch (opcode) {
    case kOpPushReal:
        return kPoolReal;
    case kOpPushString:
    case kOpPushString2:
    case kOpPushMappedString:
    case kOpPushSymbol:
        return kPoolString;
    case kOpPushLong:
        return kPoolInteger;
    case kOpCall:
        return kPoolCall;
    case kOpPushVar:
    case kOpPushVarRef:
    case kOpAssignDirect:
    case kOpPushIconVar:
    case kOpPushIconVarRef:
        return kPoolVariable;
    default:
        return kPoolNone;
    }
}

static uint32_t fixed_pool_size(PoolKind kind)
{
    static const uint32_t kSizes[] = { 0, 8, 0, 4, 6, 4 };
    return kSizes[kind];
}

static bool valid_opcode(int opcode) { return opcode >= 0 && opcode <= kOpPick && (opcode < 4 || opcode > 6); }

static bool is_jump(int opcode) { return opcode >= kOpAndJump && opcode <= kOpJump; }

static bool is_text_token(uint8_t token)
{
    switch (token) {
    case kTokInteger:
    case kTokReal:
    case kTokString:
    case kTokMappedString:
    case kTokString2:
    case kTokTrivia:
    case kTokMappedTrivia:
    case kTokReserved:
    case kTokSymbol:
        return true;
    default:
        return false;
    }
}

static uint32_t fixed_token_size(uint8_t token)
{
    return token == kTokFourBytes ? 4 : token == kTokVariable ? 6 : token == kTokFunction ? 2 : 0;
}

uint16_t code_total(const uint8_t* block) { return load_u16le(block); }

const uint8_t* code_instructions(const uint8_t* block) { return block + 4 * uint32_t(load_u16le(block + 2)); }

uint32_t code_instructions_end(const uint8_t* block)
{
    uint16_t kept = load_u16le(block + 4);
    return kept ? kept : load_u16le(block);
}

const uint8_t* code_kept_tokens(const uint8_t* block)
{
    uint16_t kept = load_u16le(block + 4);
    return kept ? block + kept : nullptr;
}

const uint8_t* code_block_end(const uint8_t* block) { return load_u16le(block + 4) ? block + load_u16le(block) : nullptr; }

const uint8_t* code_pool_entry(const uint8_t* block, CodeInstruction instruction)
{
    return block + uint16_t(instruction.operand);
}

uint32_t code_pool_size(const uint8_t* block, CodeInstruction instruction)
{
    PoolKind kind = pool_kind(instruction.opcode);
    if (kind == kPoolString)
        return uint32_t(std::strlen(reinterpret_cast<const char*>(code_pool_entry(block, instruction)))) + 1;
    return fixed_pool_size(kind);
}

// One kept token at p before end: its data, data size and the next token. False when the
// token's data or closing code is missing.
static bool kept_token(const uint8_t* p, const uint8_t* end, const uint8_t** data, uint32_t* size, const uint8_t** next)
{
    uint8_t token = *p;
    *data = p + 1;
    *size = 0;
    *next = p + 1;
    if (is_text_token(token)) {
        const void* close = std::memchr(p + 1, token, size_t(end - (p + 1)));
        if (!close)
            return false;
        *size = uint32_t(static_cast<const uint8_t*>(close) - (p + 1));
        *next = static_cast<const uint8_t*>(close) + 1;
    } else if (uint32_t n = fixed_token_size(token)) {
        if (end - (p + 1) <= ptrdiff_t(n) || p[1 + n] != token)
            return false;
        *size = n;
        *next = p + 2 + n;
    }
    return true;
}

// The kept stream from offset kept to total ends with token 0 and every token is whole.
static bool kept_stream_sound(const uint8_t* block, uint32_t kept, uint32_t total)
{
    const uint8_t* p = block + kept;
    const uint8_t* end = block + total;
    while (p < end) {
        if (*p == kTokEnd)
            return true;
        const uint8_t* data;
        uint32_t size;
        if (!kept_token(p, end, &data, &size, &p))
            return false;
    }
    return false;
}

struct Geometry {
    uint32_t total, code, end, kept, count;
};

// The header's regions within size bytes; false when they do not fit or overlap.
static bool read_geometry(const uint8_t* block, size_t size, Geometry& g)
{
    if (size < kCodeHeaderSize)
        return false;
    g.total = load_u16le(block);
    g.code = 4 * uint32_t(load_u16le(block + 2));
    g.kept = load_u16le(block + 4);
    if (g.total < kCodeHeaderSize || g.total > size || g.code < kCodeHeaderSize)
        return false;
    if (g.kept && g.kept >= g.total)
        return false;
    g.end = g.kept ? g.kept : g.total;
    if (g.code > g.end || (g.end - g.code) % 4 != 0 || g.end - g.code < 4)
        return false;
    g.count = (g.end - g.code) / 4;
    return true;
}

// The instruction's pool entry lies inside the pool (strings: with their NUL).
static bool pool_entry_inside(const uint8_t* block, const Geometry& g, CodeInstruction in)
{
    PoolKind kind = pool_kind(in.opcode);
    if (kind == kPoolNone)
        return true;
    if (in.operand < kCodeHeaderSize || uint32_t(in.operand) >= g.code)
        return false;
    uint32_t room = g.code - uint32_t(in.operand);
    if (kind == kPoolString)
        return std::memchr(block + in.operand, 0, room) != nullptr;
    return fixed_pool_size(kind) <= room;
}

static bool instruction_sound(const uint8_t* block, const Geometry& g, CodeInstruction in)
{
    if (!valid_opcode(in.opcode) || !pool_entry_inside(block, g, in))
        return false;
    if (is_jump(in.opcode))
        return in.operand >= 0 && uint32_t(in.operand) < g.count;
    if (in.opcode == kOpCall)
        return int16_t(load_u16le(block + in.operand)) >= 0;
    if (in.opcode == kOpPick)
        return in.operand != 0 && in.operand != INT16_MIN;
    return true;
}

// Entries that are swapped must overlap no other entry unless they are one entry: overlapping
// swaps do not undo each other, and a swap across a text moves its bytes (its NUL among them),
// so a block would not come back from the other byte order. Texts may share bytes.
static bool swapped_entries_apart(const uint8_t* block, const Geometry& g)
{
    struct Entry {
        uint32_t offset, end;
        PoolKind kind;
    };
    std::vector<Entry> entries;
    for (uint32_t i = 0; i < g.count; ++i) {
        CodeInstruction in = code_read_instruction(block + g.code + 4 * i);
        PoolKind kind = pool_kind(in.opcode);
        if (kind == kPoolNone)
            continue;
        uint32_t offset = uint32_t(in.operand);
        // Texts were found ended inside the pool.
        uint32_t size = kind == kPoolString ? uint32_t(std::strlen(reinterpret_cast<const char*>(block + offset))) + 1
                                            : fixed_pool_size(kind);
        entries.push_back({ offset, offset + size, kind });
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.offset < b.offset; });
    uint32_t text_end = 0;
    const Entry* last_swapped = nullptr;
    for (const Entry& e : entries) {
        bool swapped_before = last_swapped && last_swapped->end > e.offset;
        if (e.kind == kPoolString) {
            if (swapped_before)
                return false;
            text_end = std::max(text_end, e.end);
            continue;
        }
        bool same_entry = last_swapped && last_swapped->offset == e.offset && last_swapped->kind == e.kind;
        if (text_end > e.offset || (swapped_before && !same_entry))
            return false;
        last_swapped = &e;
    }
    return true;
}

int code_validate(const uint8_t* block, size_t size)
{
    Geometry g;
    if (!block || !read_geometry(block, size, g))
        return kCodeDamaged;
    if (code_read_instruction(block + g.end - 4).opcode != kOpEnd)
        return kCodeDamaged;
    for (uint32_t i = 0; i < g.count; ++i)
        if (!instruction_sound(block, g, code_read_instruction(block + g.code + 4 * i)))
            return kCodeDamaged;
    if (g.kept && !kept_stream_sound(block, g.kept, g.total))
        return kCodeDamaged;
    if (!swapped_entries_apart(block, g))
        return kCodeDamaged;
    return 0;
}

void code_iter_init(CodeIterator& it, const uint8_t* block)
{
    it.block = block;
    it.position = 4 * uint32_t(load_u16le(block + 2));
    it.end = code_instructions_end(block);
}

int code_iter_next(CodeIterator& it, CodeInstruction* instruction, const uint8_t** data, uint32_t* size)
{
    if (it.end - it.position < 4 || it.position >= it.end)
        return 0;
    CodeInstruction in = code_read_instruction(it.block + it.position);
    it.position += 4;
    *instruction = in;
    *size = code_pool_size(it.block, in);
    *data = *size ? code_pool_entry(it.block, in) : nullptr;
    return 1;
}

void kept_iter_init(KeptTokenIterator& it, const uint8_t* block)
{
    it.position = code_kept_tokens(block);
    it.end = code_block_end(block);
}

int kept_iter_next(KeptTokenIterator& it, uint8_t* token, const uint8_t** data, uint32_t* size)
{
    if (!it.position || it.position >= it.end || *it.position == kTokEnd) {
        it.position = nullptr;
        return 0;
    }
    *token = *it.position;
    const uint8_t* next;
    if (!kept_token(it.position, it.end, data, size, &next)) {
        it.position = nullptr;
        return 0;
    }
    it.position = next;
    return 1;
}

// --- renumbering ---------------------------------------------------------------------------

struct IdChange {
    uint8_t* at;
    uint8_t bytes[6];
    uint32_t size;
};

// Offers the id at p to the callback; a changed one is queued. False when refused.
static bool offer_id(int kind, uint8_t* p, CodeRemapFn callback, void* user, std::vector<IdChange>& changes)
{
    IdChange change { p, {}, kind == kRemapVariable ? 6u : 2u };
    std::memcpy(change.bytes, p, change.size);
    if (!callback(kind, change.bytes, user))
        return false;
    if (std::memcmp(change.bytes, p, change.size) != 0)
        changes.push_back(change);
    return true;
}

int code_remap_ids(uint8_t* block, CodeRemapFn callback, void* user, int* changed)
{
    std::vector<IdChange> changes;
    CodeIterator it;
    code_iter_init(it, block);
    CodeInstruction in;
    const uint8_t* data;
    uint32_t size;
    while (code_iter_next(it, &in, &data, &size)) {
        uint8_t* entry = block + uint16_t(in.operand);
        bool ok = true;
        if (pool_kind(in.opcode) == kPoolVariable)
            ok = offer_id(kRemapVariable, entry, callback, user, changes);
        else if (in.opcode == kOpCall)
            ok = offer_id(kRemapFunction, entry + 2, callback, user, changes);
        if (!ok)
            return 0;
    }
    if (!changes.empty()) {
        KeptTokenIterator kit;
        kept_iter_init(kit, block);
        uint8_t token;
        while (kept_iter_next(kit, &token, &data, &size)) {
            uint8_t* p = block + (data - block);
            bool ok = true;
            if (token == kTokVariable)
                ok = offer_id(kRemapVariable, p, callback, user, changes);
            else if (token == kTokFunction)
                ok = offer_id(kRemapFunction, p, callback, user, changes);
            if (!ok)
                return 0;
        }
    }
    // Only now, with every id taken, are the new ones written.
    for (const IdChange& c : changes)
        std::memcpy(c.at, c.bytes, c.size);
    if (changed)
        *changed = !changes.empty();
    return 1;
}

// --- byte order ----------------------------------------------------------------------------

static void reverse(uint8_t* p, size_t n) { std::reverse(p, p + n); }

static void swap_words(uint8_t* p, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        reverse(p + 2 * i, 2);
}

static void swap_pool_entry(uint8_t* block, CodeInstruction in)
{
    uint8_t* p = block + uint16_t(in.operand);
    switch (pool_kind(in.opcode)) {
    case kPoolReal:
        reverse(p, 8);
        break;
    case kPoolInteger:
        reverse(p, 4);
        break;
    case kPoolVariable:
        swap_words(p, 3);
        break;
    case kPoolCall:
        swap_words(p, 2);
        break;
    default:
        break;
    }
}

// Swaps each pool entry once, reading the instructions (which must be readable now). False
// when an entry lies outside the pool.
static bool swap_pool(uint8_t* block, const Geometry& g)
{
    std::vector<uint16_t> done;
    for (uint32_t i = 0; i < g.count; ++i) {
        CodeInstruction in = code_read_instruction(block + g.code + 4 * i);
        if (pool_kind(in.opcode) == kPoolNone)
            continue;
        if (!pool_entry_inside(block, g, in))
            return false;
        if (std::find(done.begin(), done.end(), uint16_t(in.operand)) != done.end())
            continue;
        done.push_back(uint16_t(in.operand));
        swap_pool_entry(block, in);
    }
    return true;
}

static bool swap_kept(uint8_t* block, const Geometry& g)
{
    if (!g.kept)
        return true;
    uint8_t* p = block + g.kept;
    const uint8_t* end = block + g.total;
    while (p < end && *p != kTokEnd) {
        const uint8_t* data;
        uint32_t size;
        const uint8_t* next;
        if (!kept_token(p, end, &data, &size, &next))
            return false;
        if (*p == kTokVariable)
            swap_words(p + 1, 3);
        else if (*p == kTokFunction)
            swap_words(p + 1, 1);
        p = block + (next - block);
    }
    return p < end;
}

static int swap_from_foreign(std::vector<uint8_t>& copy)
{
    swap_words(copy.data(), 3);
    Geometry g;
    if (!read_geometry(copy.data(), copy.size(), g))
        return kCodeDamaged;
    swap_words(copy.data() + g.code, 2 * g.count);
    if (!swap_pool(copy.data(), g) || !swap_kept(copy.data(), g))
        return kCodeDamaged;
    return code_validate(copy.data(), copy.size());
}

static int swap_to_foreign(std::vector<uint8_t>& copy)
{
    Geometry g;
    if (code_validate(copy.data(), copy.size()) != 0 || !read_geometry(copy.data(), copy.size(), g))
        return kCodeDamaged;
    swap_pool(copy.data(), g);
    swap_words(copy.data() + g.code, 2 * g.count);
    swap_kept(copy.data(), g);
    swap_words(copy.data(), 3);
    return 0;
}

int code_swap_bytes(uint8_t* block, size_t size, int foreign)
{
    if (!block || size < kCodeHeaderSize)
        return kCodeDamaged;
    // Converted in a copy, so a damaged block is left as it came.
    std::vector<uint8_t> copy(block, block + size);
    int result = foreign ? swap_from_foreign(copy) : swap_to_foreign(copy);
    if (result == 0)
        std::memcpy(block, copy.data(), size);
    return result;
}

int code_swap_hook(uint16_t, uint8_t* data, size_t length, int to_native)
{
    if (!swap_enabled())
        return 0;
    return code_swap_bytes(data, length, to_native);
}

void code_init() { swap_set_hook(kSwapHookCalc, code_swap_hook); }
