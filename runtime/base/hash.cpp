#include "runtime/base/hash.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/kernel/byte_io.h"

constexpr uint32_t kSmallTableSlots = 11;
constexpr uint32_t kPrimeLimit = 0x20000;
constexpr int32_t kMinCapacity = 256;
constexpr int32_t kMaxInitialCapacity = 16384;

// Entry flags.
constexpr uint16_t kEntryUsed = 1;
constexpr uint16_t kEntryChained = 2;

// Header fields of the table block.
constexpr size_t kMagicAt = 0;
constexpr size_t kNextFreeAt = 4;
constexpr size_t kCapacityAt = 8;
constexpr size_t kBucketsAt = 12;
constexpr size_t kSymbolsAt = 16;
constexpr size_t kValueSizeAt = 20;

// Entry fields.
constexpr size_t kFlagsAt = 0;
constexpr size_t kNextAt = 2;
constexpr size_t kSymbolAt = 6;
constexpr size_t kMapAt = 10;

constexpr uint64_t kEveryLane = 0x0101010101010101;
constexpr uint64_t kLaneTops = 0x80 * kEveryLane;
// An odd constant with well-spread bits, for spreading a hash over the bits of a tag.
constexpr uint64_t kTagMultiplier = 0x9E3779B97F4A7C15;

// Eight bytes of text with byte i at bits 8i, whatever the machine's byte order.
static uint64_t load_word(const char* text)
{
    uint64_t word;
    std::memcpy(&word, text, 8);
    if constexpr (std::endian::native == std::endian::big)
        word = __builtin_bswap64(word);
    return word;
}

// A text of 1 to 7 bytes laid out as load_word would, zero above: overlapping loads rather
// than a byte loop (the bytes two loads share are the same bytes).
static uint64_t load_short(const char* text, size_t count)
{
    const auto* bytes = reinterpret_cast<const uint8_t*>(text);
    if (count >= 4)
        return plat::load_u32le(bytes) | uint64_t(plat::load_u32le(bytes + count - 4)) << (8 * (count - 4));
    return bytes[0] | uint64_t(bytes[count / 2]) << (8 * (count / 2)) | uint64_t(bytes[count - 1]) << (8 * (count - 1));
}

// A..Z to a..z in each of the eight lanes; bytes of 0x80 and up stay as they are. Masked to
// seven bits, no lane can carry into the next.
static uint64_t fold_capitals(uint64_t word)
{
    uint64_t low = word & (0x7F * kEveryLane);
    uint64_t from_a = low + (0x80 - 'A') * kEveryLane;
    uint64_t past_z = low + (0x80 - 'Z' - 1) * kEveryLane;
    uint64_t capitals = from_a & ~past_z & ~word & kLaneTops;
    return word | capitals >> 2;
}

struct KeyHash {
    uint32_t value; // hash_string or hash_string_nocase
    uint16_t tag;   // never 0
};

// The tag of a key: the hash's top byte (keys whose hashes differ there are told apart for
// sure) and a byte spread from the eight lanes the hash folds into four, and the length. The
// lanes still tell apart the keys the fold makes collide (names whose characters trade places
// four apart, as digits of numbered names do), so the callback is rarely asked in vain.
static uint16_t tag_of(uint32_t value, uint64_t lanes, size_t length)
{
    uint64_t spread = (lanes ^ length) * kTagMultiplier;
    uint16_t tag = uint16_t((value >> 24) << 8 | spread >> 56);
    return uint16_t(tag | (tag == 0));
}

// The words of a text of known length XOR-ed together, byte i in lane i mod 8 (A..Z folded
// first when asked). The last bytes of a text of 8 or more are read as the word that ends
// with them, shifted down past the bytes already taken. Most names have 8 to 16 bytes: two
// loads and no loop, whose varying trip count would cost a mispredicted branch per name.
// This and the hashing around it are forced inline into the look-ups: a look-up is short
// enough for the calls' cost to show (about a tenth of a symbol look-up's time).
template <bool Fold>
[[gnu::always_inline]] inline static uint64_t text_lanes(const char* text, size_t length)
{
    auto fold = [](uint64_t word) { return Fold ? fold_capitals(word) : word; };
    if (length >= 8 && length <= 16) {
        uint64_t last = length > 8 ? load_word(text + length - 8) >> (8 * (16 - length)) : 0;
        return fold(load_word(text)) ^ fold(last);
    }
    uint64_t lanes = 0;
    size_t at = 0;
    for (; length - at > 8; at += 8)
        lanes ^= fold(load_word(text + at));
    if (length >= 8)
        lanes ^= fold(load_word(text + length - 8) >> (8 * (8 - (length - at))));
    else if (length > 0)
        lanes ^= fold(load_short(text, length));
    return lanes;
}

// The hash of a text of known length and its tag. In the byte-wise definition byte i of n
// ends up rotated right by 8 * (n - 1 - i), so XOR-ing the words (byte i in lane i mod 4) and
// rotating once gives the same value. A sign-extended byte (0x80 and up) is its own lane
// complemented and then all four lanes complemented; XOR being linear, both are settled at
// the end from the lanes' top bits: each such lane flipped, and the whole value flipped when
// their count is odd (in one half of the lanes only, as the halves are XOR-ed together next).
template <bool Fold>
[[gnu::always_inline]] inline static KeyHash hash_text(const char* text, size_t length)
{
    uint64_t lanes = text_lanes<Fold>(text, length);
    uint64_t tops = lanes & kLaneTops;
    uint64_t signed_lanes = lanes;
    if (tops != 0)
        signed_lanes ^= (tops >> 7) * 0xFF ^ (std::popcount(tops) & 1 ? 0xFFFFFFFF : 0);
    // An empty text has value 0, which every rotation keeps.
    uint32_t value = std::rotr(uint32_t(signed_lanes) ^ uint32_t(signed_lanes >> 32), int(8 * ((length - 1) & 3)));
    return KeyHash{value, tag_of(value, lanes, length)};
}

uint32_t hash_string(const char* text) { return text ? hash_text<false>(text, std::strlen(text)).value : 0; }

uint32_t hash_string_nocase(const char* text) { return text ? hash_text<true>(text, std::strlen(text)).value : 0; }

// Remainders by multiplication with a reciprocal taken once per table (exact for every 32-bit
// dividend and divisor): a division per look-up costs as much as the rest of it.
static uint64_t reciprocal_of(uint32_t divisor) { return divisor > 1 ? UINT64_MAX / divisor + 1 : 0; }

static uint32_t remainder_of(uint32_t value, uint64_t reciprocal, uint32_t divisor)
{
    if (reciprocal == 0)
        return divisor > 1 ? value % divisor : 0;
    return uint32_t((static_cast<unsigned __int128>(reciprocal * value) * divisor) >> 64);
}

static bool is_odd_prime(uint32_t n)
{
    for (uint32_t d = 3; d * d <= n; d += 2)
        if (n % d == 0)
            return false;
    return true;
}

// Trial division gives the same prime as a sieve of the odd numbers, without its memory.
uint32_t hash_prime_below(uint32_t n)
{
    if (n < 3 || n >= kPrimeLimit)
        return 0;
    for (uint32_t p = (n / 2) * 2 + 1; p >= 3; p -= 2)
        if (is_odd_prime(p))
            return p;
    return 0;
}

uint32_t hash_table_size(uint32_t wanted)
{
    if (wanted <= 9)
        return kSmallTableSlots;
    return wanted > UINT32_MAX / 4 ? 0 : hash_prime_below(wanted * 4 / 3);
}

size_t hash_slot_bytes(uint32_t n) { return size_t(n) * 2; }

// --- HashTable -----------------------------------------------------------------------------

// The slot block is kept locked, and its address at hand, for as long as it is not purgeable:
// a look-up then needs no call into the memory layer. A purgeable block must stay unlocked,
// or it could never be discarded, and is looked up at every call.
static void hold_slots(HashTable& table) { table.locked_slots = static_cast<uint8_t*>(mem_lock(table.slots)); }

static void release_slots(HashTable& table)
{
    if (table.locked_slots)
        mem_unlock(table.slots);
    table.locked_slots = nullptr;
}

static uint8_t* slot_bytes(const HashTable& table)
{
    return table.locked_slots ? table.locked_slots : static_cast<uint8_t*>(mem_address(table.slots));
}

static void set_slot_count(HashTable& table, uint32_t slots)
{
    table.slot_count = slots;
    table.slot_divisor = reciprocal_of(slots);
    table.step_divisor = reciprocal_of(slots - 2);
}

int hash_create(HashTable& table, uint32_t wanted)
{
    table = HashTable{};
    uint32_t slots = hash_table_size(wanted);
    if (slots == 0)
        return 0;
    table.slots = mem_alloc(hash_slot_bytes(slots), kMemMovableZero);
    if (!table.slots)
        return 0;
    set_slot_count(table, slots);
    table.tags.assign(slots, 0);
    hold_slots(table);
    return 1;
}

void hash_free(HashTable& table)
{
    release_slots(table);
    mem_free(table.slots);
    table = HashTable{};
}

int hash_clone(HashTable& table, MemHandle stored, size_t size)
{
    table = HashTable{};
    // Fewer than 3 slots would divide by zero in the probe step.
    if (!mem_address(stored) || size > mem_size(stored) || size / 2 < 3 || size / 2 > UINT32_MAX)
        return 0;
    // Locked while copied: the new block's allocation could purge or move it.
    table.slots = mem_alloc_copy(mem_lock(stored), size / 2 * 2);
    mem_unlock(stored);
    if (!table.slots)
        return 0;
    set_slot_count(table, uint32_t(size / 2));
    hold_slots(table);
    return 1;
}

// Where a key's probe sequence stands: slot h mod n first, then steps of n - 2 - h mod (n - 2)
// around the table. back is n - step (at least 2), so that stepping subtracts instead of
// dividing; working it out before it is needed costs less than the branch that would wait.
struct Probe {
    uint32_t slot;
    uint32_t back;
};

static Probe probe_start(const HashTable& table, uint32_t h)
{
    return Probe{remainder_of(h, table.slot_divisor, table.slot_count),
                 2 + remainder_of(h, table.step_divisor, table.slot_count - 2)};
}

static void probe_step(Probe& probe, uint32_t n)
{
    probe.slot = probe.slot >= probe.back ? probe.slot - probe.back : probe.slot + (n - probe.back);
}

static uint16_t load_slot(const uint8_t* slots, uint32_t slot)
{
    uint16_t value;
    std::memcpy(&value, slots + 2 * size_t(slot), 2);
    return value;
}

[[gnu::always_inline]] inline static KeyHash hash_key(const char* key)
{
    const char* text = key ? key : "";
    return hash_text<false>(text, std::strlen(text));
}

// Both walk key's probe sequence for at most one round of the table.
int hash_insert(HashTable& table, const char* key, uint16_t value)
{
    uint8_t* slots = slot_bytes(table);
    uint32_t n = table.slot_count;
    if (value == 0 || !slots || n < 3)
        return 0;
    KeyHash h = hash_key(key);
    Probe probe = probe_start(table, h.value);
    for (uint32_t tries = 0; tries < n; tries++, probe_step(probe, n)) {
        if (load_slot(slots, probe.slot) != 0)
            continue;
        std::memcpy(slots + 2 * size_t(probe.slot), &value, 2);
        if (probe.slot < table.tags.size())
            table.tags[probe.slot] = h.tag;
        return 1;
    }
    return 0;
}

// The tags of a table made by hash_create are complete: a slot without a tag is empty, and
// only a slot whose tag agrees needs its value read and offered to the callback. A cloned
// table knows no tags and offers every value.
uint16_t hash_find(const HashTable& table, const char* key, HashMatch match, void* user)
{
    const uint8_t* slots = slot_bytes(table);
    uint32_t n = table.slot_count;
    if (!slots || n < 3)
        return 0;
    KeyHash h = hash_key(key);
    Probe probe = probe_start(table, h.value);
    if (table.tags.size() == n) {
        const uint16_t* tags = table.tags.data();
        for (uint32_t tries = 0; tries < n; tries++, probe_step(probe, n)) {
            uint16_t tag = tags[probe.slot];
            if (tag == 0)
                return 0; // the end of the key's sequence
            if (tag == h.tag && match(key, load_slot(slots, probe.slot), user))
                return load_slot(slots, probe.slot);
        }
        return 0;
    }
    for (uint32_t tries = 0; tries < n; tries++, probe_step(probe, n)) {
        uint16_t stored = load_slot(slots, probe.slot);
        if (stored == 0)
            return 0;
        if (match(key, stored, user))
            return stored;
    }
    return 0;
}

int hash_set_purgeable(HashTable& table, int purgeable)
{
    if (purgeable)
        release_slots(table);
    int was = mem_set_purgeable(table.slots, purgeable);
    if (!purgeable && !table.locked_slots && table.slots)
        hold_slots(table);
    return was;
}

int hash_is_purged(const HashTable& table) { return mem_is_purged(table.slots); }

// --- SymbolTable ---------------------------------------------------------------------------

// A view of a table block: header fields and entries, all read and written by offset.
struct TableView {
    uint8_t* bytes;
    size_t entry_size;

    uint32_t header(size_t at) const { return plat::load_u32le(bytes + at); }
    void set_header(size_t at, uint32_t value) const { plat::store_u32le(bytes + at, value); }
    uint8_t* entry(uint32_t index) const { return bytes + kSymbolTableHeader + size_t(index) * entry_size; }
    uint16_t flags(uint32_t index) const { return plat::load_u16le(entry(index) + kFlagsAt); }
    uint32_t field(uint32_t index, size_t at) const { return plat::load_u32le(entry(index) + at); }
    void set_field(uint32_t index, size_t at, uint32_t value) const { plat::store_u32le(entry(index) + at, value); }
};

static TableView view_of(const SymbolTable& table)
{
    return TableView{table.bytes, kSymbolEntryHeader + size_t(table.value_size)};
}

// The table keeps its block locked while it holds it, so that its address can be kept at hand
// instead of asked for at every look-up; the block moves only when the table resizes it.
static void hold_block(SymbolTable& table, MemHandle block)
{
    table.block = block;
    table.bytes = static_cast<uint8_t*>(mem_lock(block));
}

// The block, unlocked, for its new owner (or for mem_free).
static MemHandle release_block(SymbolTable& table)
{
    MemHandle block = table.block;
    if (table.bytes)
        mem_unlock(block);
    table.block = MemHandle{};
    table.bytes = nullptr;
    return block;
}

static uint64_t table_bytes(uint64_t capacity, uint64_t value_size)
{
    return kSymbolTableHeader + capacity * (kSymbolEntryHeader + value_size);
}

void hash_symtab_init(SymbolTable& table, int32_t value_size, int32_t wanted_capacity, void* user, SymbolMatch match)
{
    table = SymbolTable{};
    table.value_size = std::clamp(value_size, 0, kSymbolMaxValueSize);
    table.wanted_capacity = wanted_capacity;
    table.user = user;
    table.match = match;
}

void hash_symtab_set_rebucketing(SymbolTable& table, SymbolKeyOf key_of, int case_sensitive)
{
    table.key_of = key_of;
    table.key_case_sensitive = case_sensitive;
}

static void set_buckets(SymbolTable& table, uint32_t buckets)
{
    table.bucket_count = int32_t(buckets);
    table.bucket_divisor = reciprocal_of(buckets);
}

[[gnu::always_inline]] inline static KeyHash key_hash(const char* key, size_t length, int case_sensitive)
{
    return case_sensitive ? hash_text<false>(key, length) : hash_text<true>(key, length);
}

static KeyHash key_hash(const char* key, int case_sensitive)
{
    return key ? key_hash(key, std::strlen(key), case_sensitive) : key_hash("", 0, case_sensitive);
}

static uint32_t bucket_of(const SymbolTable& table, uint32_t h)
{
    return table.bucket_count > 0 ? remainder_of(h, table.bucket_divisor, uint32_t(table.bucket_count)) : 0;
}

uint32_t hash_symtab_bucket(const SymbolTable& table, const char* key, int case_sensitive)
{
    return bucket_of(table, key_hash(key, case_sensitive).value);
}

static void set_tag(SymbolTable& table, uint32_t index, uint16_t tag)
{
    if (index >= table.tags.size())
        table.tags.resize(size_t(index) + 1, 0);
    table.tags[index] = tag;
}

static int create_block(SymbolTable& table)
{
    int32_t capacity = std::clamp(table.wanted_capacity, kMinCapacity, kMaxInitialCapacity);
    uint32_t buckets = hash_prime_below(uint32_t(capacity));
    while (uint32_t(capacity) < buckets)
        capacity *= 2;
    MemHandle block = mem_alloc(table_bytes(uint32_t(capacity), uint32_t(table.value_size)), kMemMovableZero);
    if (!block)
        return 8;
    hold_block(table, block);
    set_buckets(table, buckets);
    table.tags.clear();
    TableView view = view_of(table);
    view.set_header(kMagicAt, kSymbolTableMagic);
    view.set_header(kNextFreeAt, buckets);
    view.set_header(kCapacityAt, uint32_t(capacity));
    view.set_header(kBucketsAt, buckets);
    view.set_header(kSymbolsAt, 0);
    view.set_header(kValueSizeAt, uint32_t(table.value_size));
    return 0;
}

// The free overflow entry, growing the block by half when none is left; UINT32_MAX when full.
static uint32_t take_overflow(SymbolTable& table)
{
    TableView view = view_of(table);
    uint32_t next_free = view.header(kNextFreeAt);
    uint32_t capacity = view.header(kCapacityAt);
    if (next_free >= capacity) {
        uint64_t grown = uint64_t(capacity) + capacity / 2;
        uint64_t bytes = table_bytes(grown, uint32_t(table.value_size));
        if (grown > UINT32_MAX || bytes > plat::kGlobalMaxBlockSize
            || !mem_realloc(table.block, int64_t(bytes), kMemMovableZero))
            return UINT32_MAX;
        table.bytes = static_cast<uint8_t*>(mem_address(table.block)); // still locked, maybe moved
        view = view_of(table);
        view.set_header(kCapacityAt, uint32_t(grown));
    }
    view.set_header(kNextFreeAt, next_free + 1);
    return next_free;
}

// The last entry of a chain; chains are acyclic and within the block (adopt checks them).
static uint32_t chain_end(const TableView& view, uint32_t index)
{
    uint32_t capacity = view.header(kCapacityAt);
    for (uint32_t steps = 0; steps < capacity && (view.flags(index) & kEntryChained); steps++)
        index = view.field(index, kNextAt);
    return index;
}

// Stores a new symbol with value at the end of bucket's chain (steps 3 to 5 of an add).
static bool place_symbol(SymbolTable& table, KeyHash h, const void* value, uint32_t* number)
{
    uint32_t index = chain_end(view_of(table), bucket_of(table, h.value));
    if (view_of(table).flags(index) & kEntryUsed) {
        uint32_t overflow = take_overflow(table);
        if (overflow == UINT32_MAX)
            return false;
        TableView view = view_of(table);
        view.set_field(index, kNextAt, overflow);
        plat::store_u16le(view.entry(index) + kFlagsAt, view.flags(index) | kEntryChained);
        index = overflow;
    }
    TableView view = view_of(table);
    uint32_t symbol = view.header(kSymbolsAt);
    uint8_t* entry = view.entry(index);
    if (table.value_size > 0 && value)
        std::memcpy(entry + kSymbolEntryHeader, value, size_t(table.value_size));
    plat::store_u16le(entry + kFlagsAt, kEntryUsed);
    view.set_field(index, kSymbolAt, symbol);
    view.set_header(kSymbolsAt, symbol + 1);
    view.set_field(symbol, kMapAt, index); // a symbol never outnumbers the entries
    set_tag(table, index, h.tag);
    if (number)
        *number = symbol + 1;
    return true;
}

// A new block with about two buckets per symbol, filled in symbol order so that every symbol
// keeps its number. Nothing changes when memory is short or no larger prime is left.
// A table without a block, set up as the given one.
static SymbolTable same_settings(const SymbolTable& table)
{
    SymbolTable fresh;
    fresh.value_size = table.value_size;
    fresh.wanted_capacity = table.wanted_capacity;
    fresh.bucket_count = table.bucket_count;
    fresh.user = table.user;
    fresh.match = table.match;
    fresh.key_of = table.key_of;
    fresh.key_case_sensitive = table.key_case_sensitive;
    fresh.bucket_divisor = table.bucket_divisor;
    return fresh;
}

static void rebucket(SymbolTable& table)
{
    TableView old = view_of(table);
    uint32_t symbols = old.header(kSymbolsAt);
    uint32_t buckets = hash_prime_below(std::min<uint32_t>(2 * symbols, kPrimeLimit - 1));
    uint64_t capacity = uint64_t(buckets) + symbols + symbols / 4;
    uint64_t bytes = table_bytes(capacity, uint32_t(table.value_size));
    if (buckets <= uint32_t(table.bucket_count) || bytes > plat::kGlobalMaxBlockSize)
        return;
    MemHandle block = mem_alloc(bytes, kMemMovableZero);
    if (!block)
        return;
    SymbolTable fresh = same_settings(table);
    hold_block(fresh, block);
    set_buckets(fresh, buckets);
    fresh.tags.clear();
    TableView view = view_of(fresh);
    view.set_header(kMagicAt, kSymbolTableMagic);
    view.set_header(kNextFreeAt, buckets);
    view.set_header(kCapacityAt, uint32_t(capacity));
    view.set_header(kBucketsAt, buckets);
    view.set_header(kValueSizeAt, uint32_t(table.value_size));
    for (uint32_t symbol = 0; symbol < symbols; symbol++) {
        const uint8_t* value = old.entry(old.field(symbol, kMapAt)) + kSymbolEntryHeader;
        const char* key = table.key_of(value, table.value_size, table.user);
        place_symbol(fresh, key_hash(key, table.key_case_sensitive), value, nullptr);
    }
    mem_free(release_block(table));
    table = std::move(fresh);
}

// hash_symtab_find with the key's hashes worked out; inlined into the finds, so that a look-up
// makes no call besides the callback.
[[gnu::always_inline]] inline static int find_hashed(const SymbolTable& table, const char* key, KeyHash h, uint32_t* number)
{
    if (number)
        *number = 0;
    if (!table.bytes)
        return 0;
    TableView view = view_of(table);
    uint32_t capacity = view.header(kCapacityAt);
    // Without a callback the first used entry matches, whatever its tag.
    size_t known = table.match ? table.tags.size() : 0;
    const uint16_t* tags = table.tags.data();
    uint32_t index = bucket_of(table, h.value);
    for (uint32_t steps = 0; steps < capacity; steps++) {
        const uint8_t* entry = view.entry(index);
        uint16_t flags = plat::load_u16le(entry + kFlagsAt);
        if (!(flags & kEntryUsed))
            return 0;
        // An entry whose key hashes otherwise cannot be the key's (keys differing only in
        // case hash alike without the case flag); a tag of 0 is not known.
        uint16_t tag = index < known ? tags[index] : 0;
        bool candidate = (tag == 0) | (tag == h.tag);
        if (candidate && (!table.match || table.match(key, entry + kSymbolEntryHeader, table.value_size, table.user))) {
            if (number)
                *number = plat::load_u32le(entry + kSymbolAt) + 1;
            return 1;
        }
        if (!(flags & kEntryChained))
            return 0;
        index = plat::load_u32le(entry + kNextAt);
    }
    return 0;
}

int hash_symtab_add(SymbolTable& table, const char* key, const void* value, int case_sensitive, uint32_t* number)
{
    if (number)
        *number = 0;
    if (!table.block && create_block(table) != 0)
        return 8;
    KeyHash h = key_hash(key, case_sensitive);
    uint32_t found = 0;
    if (find_hashed(table, key, h, &found)) {
        if (number)
            *number = found;
        return 0;
    }
    if (!place_symbol(table, h, value, number))
        return 8;
    if (table.key_of && view_of(table).header(kSymbolsAt) > uint32_t(table.bucket_count))
        rebucket(table);
    return 0;
}

int hash_symtab_find(const SymbolTable& table, const char* key, int case_sensitive, uint32_t* number)
{
    return find_hashed(table, key, key_hash(key, case_sensitive), number);
}

int hash_symtab_find_key(const SymbolTable& table, const char* key, size_t length, int case_sensitive, uint32_t* number)
{
    return find_hashed(table, key, key_hash(key, length, case_sensitive), number);
}

// The entry holding symbol number, or UINT32_MAX.
static uint32_t entry_of(const SymbolTable& table, uint32_t number)
{
    if (!table.bytes || number == 0)
        return UINT32_MAX;
    TableView view = view_of(table);
    if (number > view.header(kSymbolsAt))
        return UINT32_MAX;
    return view.field(number - 1, kMapAt);
}

int hash_symtab_has(const SymbolTable& table, uint32_t number, int32_t* value_size)
{
    if (entry_of(table, number) == UINT32_MAX)
        return 0;
    if (value_size)
        *value_size = table.value_size;
    return 1;
}

int hash_symtab_value(const SymbolTable& table, uint32_t number, void* value, int32_t* value_size)
{
    uint32_t index = entry_of(table, number);
    if (index == UINT32_MAX)
        return 0;
    if (table.value_size > 0 && value)
        std::memcpy(value, view_of(table).entry(index) + kSymbolEntryHeader, size_t(table.value_size));
    if (value_size)
        *value_size = table.value_size;
    return 1;
}

int hash_symtab_detach(SymbolTable& table, MemHandle* block, size_t* size)
{
    if (block)
        *block = table.block;
    if (size)
        *size = 0;
    if (!table.block)
        return 0;
    if (size && table.bytes)
        *size = size_t(table_bytes(view_of(table).header(kCapacityAt), uint32_t(table.value_size)));
    release_block(table);
    set_buckets(table, 0);
    table.tags.clear();
    return 1;
}

// Follows every bucket's chain once: each entry is reached at most once (no cycle, no shared
// tail), every used entry holds a symbol below the count, and the count of them is the count.
static bool chains_are_sound(const TableView& view, uint32_t capacity, uint32_t buckets, uint32_t next_free, uint32_t symbols)
{
    std::vector<uint8_t> seen(capacity, 0);
    uint32_t used = 0;
    for (uint32_t bucket = 0; bucket < buckets; bucket++) {
        for (uint32_t index = bucket;;) {
            uint16_t flags = view.flags(index);
            if (!(flags & kEntryUsed)) {
                if (flags & kEntryChained)
                    return false;
                break;
            }
            if (seen[index] || view.field(index, kSymbolAt) >= symbols)
                return false;
            seen[index] = 1;
            used++;
            if (!(flags & kEntryChained))
                break;
            index = view.field(index, kNextAt);
            if (index < buckets || index >= next_free)
                return false;
        }
    }
    if (used != symbols)
        return false;
    // The number-to-entry map leads each symbol to the entry that holds it.
    for (uint32_t symbol = 0; symbol < symbols; symbol++) {
        uint32_t index = view.field(symbol, kMapAt);
        if (index >= capacity || !seen[index] || view.field(index, kSymbolAt) != symbol)
            return false;
    }
    return true;
}

static bool table_is_sound(const uint8_t* bytes, size_t size, int32_t* value_size_out)
{
    plat::ByteReader reader(bytes, size);
    uint32_t magic = reader.u32le();
    uint32_t next_free = reader.u32le();
    uint32_t capacity = reader.u32le();
    uint32_t buckets = reader.u32le();
    uint32_t symbols = reader.u32le();
    uint32_t value_size = reader.u32le();
    if (reader.failed() || magic != kSymbolTableMagic || value_size > uint32_t(kSymbolMaxValueSize))
        return false;
    if (buckets == 0 || buckets > capacity || next_free < buckets || next_free > capacity || symbols > capacity)
        return false;
    if (table_bytes(capacity, value_size) > size)
        return false;
    *value_size_out = int32_t(value_size);
    TableView view{const_cast<uint8_t*>(bytes), kSymbolEntryHeader + value_size};
    return chains_are_sound(view, capacity, buckets, next_free, symbols);
}

// The tags of an adopted table: from the keys when the table can name them, else unknown.
static void retag(SymbolTable& table)
{
    table.tags.clear();
    if (!table.key_of)
        return;
    TableView view = view_of(table);
    uint32_t symbols = view.header(kSymbolsAt);
    for (uint32_t symbol = 0; symbol < symbols; symbol++) {
        uint32_t index = view.field(symbol, kMapAt);
        const char* key = table.key_of(view.entry(index) + kSymbolEntryHeader, table.value_size, table.user);
        set_tag(table, index, key_hash(key, table.key_case_sensitive).tag);
    }
}

int hash_symtab_check(MemHandle block, size_t size, int32_t value_size_wanted)
{
    const auto* bytes = static_cast<const uint8_t*>(mem_address(block));
    int32_t value_size = 0;
    if (!bytes || size > mem_size(block) || !table_is_sound(bytes, size, &value_size))
        return 0;
    return (value_size_wanted < 0 || value_size == value_size_wanted) ? 1 : 0;
}

int hash_symtab_adopt(SymbolTable& table, MemHandle block, int32_t value_size_wanted)
{
    if (!hash_symtab_check(block, mem_size(block), value_size_wanted))
        return 0;
    if (table.block != block) {
        mem_free(release_block(table));
        hold_block(table, block);
    }
    table.value_size = int32_t(plat::load_u32le(table.bytes + kValueSizeAt));
    set_buckets(table, plat::load_u32le(table.bytes + kBucketsAt));
    retag(table);
    return 1;
}

void hash_symtab_free(SymbolTable& table)
{
    mem_free(release_block(table));
    set_buckets(table, 0);
    table.tags.clear();
}
