#include "runtime/foundation/hash.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/byte_io.h"

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

static uint32_t rotate_right_8(uint32_t h) { return h >> 8 | h << 24; }

uint32_t hash_string(const char* text)
{
    uint32_t h = 0;
    for (const char* p = text; p && *p; p++)
        h = rotate_right_8(h) ^ uint32_t(int32_t(int8_t(*p)));
    return h;
}

uint32_t hash_string_nocase(const char* text)
{
    uint32_t h = 0;
    for (const char* p = text; p && *p; p++) {
        char c = (*p >= 'A' && *p <= 'Z') ? char(*p + ('a' - 'A')) : *p;
        h = rotate_right_8(h) ^ uint32_t(int32_t(int8_t(c)));
    }
    return h;
}

// Remainders by multiplication with a reciprocal taken once per table (exact for every 32-bit
// dividend and divisor): a division per look-up costs as much as the rest of it.
static uint64_t reciprocal_of(uint32_t divisor) { return divisor > 1 ? UINT64_MAX / divisor + 1 : 0; }

static uint32_t remainder_of(uint32_t value, uint64_t reciprocal, uint32_t divisor)
{
    if (reciprocal == 0)
        return divisor > 1 ? value % divisor : 0;
    return uint32_t((static_cast<unsigned __int128>(reciprocal * value) * divisor) >> 64);
}

static uint8_t tag_of(uint32_t h) { return uint8_t(h >> 24) | (uint8_t(h >> 24) == 0); }

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

int hash_create(HashTable& table, uint32_t wanted)
{
    table = HashTable{};
    uint32_t slots = hash_table_size(wanted);
    if (slots == 0)
        return 0;
    table.slots = mem_alloc(hash_slot_bytes(slots), kMemMovableZero);
    if (!table.slots)
        return 0;
    table.slot_count = slots;
    table.slot_divisor = reciprocal_of(slots);
    table.step_divisor = reciprocal_of(slots - 2);
    table.tags.assign(slots, 0);
    return 1;
}

void hash_free(HashTable& table)
{
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
    table.slot_count = uint32_t(size / 2);
    table.slot_divisor = reciprocal_of(table.slot_count);
    table.step_divisor = reciprocal_of(table.slot_count - 2);
    return 1;
}

// Visits key's probe sequence, at most one round of the table, until visit returns true. The
// step is worked out only when a second slot is needed, and stepping subtracts instead of
// dividing: most searches end at their first slot.
template <typename Visit>
static bool probe(const HashTable& table, uint32_t h, Visit&& visit)
{
    uint32_t n = table.slot_count;
    auto* slots = static_cast<uint8_t*>(mem_address(table.slots));
    if (!slots || n < 3)
        return false;
    uint32_t slot = remainder_of(h, table.slot_divisor, n);
    if (visit(slots + 2 * size_t(slot), slot))
        return true;
    uint32_t step = n - 2 - remainder_of(h, table.step_divisor, n - 2);
    for (uint32_t tries = 1; tries < n; tries++) {
        slot = slot >= n - step ? slot - (n - step) : slot + step;
        if (visit(slots + 2 * size_t(slot), slot))
            return true;
    }
    return false;
}

int hash_insert(HashTable& table, const char* key, uint16_t value)
{
    if (value == 0)
        return 0;
    uint32_t h = hash_string(key);
    return probe(table, h, [&](uint8_t* slot, uint32_t index) {
        uint16_t stored;
        std::memcpy(&stored, slot, 2);
        if (stored != 0)
            return false;
        std::memcpy(slot, &value, 2);
        if (index < table.tags.size())
            table.tags[index] = tag_of(h);
        return true;
    }) ? 1 : 0;
}

uint16_t hash_find(const HashTable& table, const char* key, HashMatch match, void* user)
{
    uint32_t h = hash_string(key);
    uint8_t tag = tag_of(h);
    const uint8_t* tags = table.tags.size() == table.slot_count ? table.tags.data() : nullptr;
    uint16_t found = 0;
    probe(table, h, [&](uint8_t* slot, uint32_t index) {
        uint16_t stored;
        std::memcpy(&stored, slot, 2);
        if (stored == 0)
            return true; // the end of the key's sequence
        if ((tags && tags[index] != 0 && tags[index] != tag) || !match(key, stored, user))
            return false;
        found = stored;
        return true;
    });
    return found;
}

int hash_set_purgeable(HashTable& table, int purgeable) { return mem_set_purgeable(table.slots, purgeable); }

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
    return TableView{static_cast<uint8_t*>(mem_address(table.block)), kSymbolEntryHeader + size_t(table.value_size)};
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

static uint32_t key_hash(const char* key, int case_sensitive)
{
    return case_sensitive ? hash_string(key) : hash_string_nocase(key);
}

static uint32_t bucket_of(const SymbolTable& table, uint32_t h)
{
    return table.bucket_count > 0 ? remainder_of(h, table.bucket_divisor, uint32_t(table.bucket_count)) : 0;
}

uint32_t hash_symtab_bucket(const SymbolTable& table, const char* key, int case_sensitive)
{
    return bucket_of(table, key_hash(key, case_sensitive));
}

static void set_tag(SymbolTable& table, uint32_t index, uint8_t tag)
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
    table.block = block;
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
static bool place_symbol(SymbolTable& table, uint32_t h, const void* value, uint32_t* number)
{
    uint32_t index = chain_end(view_of(table), bucket_of(table, h));
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
    set_tag(table, index, tag_of(h));
    if (number)
        *number = symbol + 1;
    return true;
}

// A new block with about two buckets per symbol, filled in symbol order so that every symbol
// keeps its number. Nothing changes when memory is short or no larger prime is left.
static void rebucket(SymbolTable& table)
{
    TableView old = view_of(table);
    uint32_t symbols = old.header(kSymbolsAt);
    uint32_t buckets = hash_prime_below(std::min<uint32_t>(2 * symbols, kPrimeLimit - 1));
    uint64_t capacity = uint64_t(buckets) + symbols + symbols / 4;
    uint64_t bytes = table_bytes(capacity, uint32_t(table.value_size));
    if (buckets <= uint32_t(table.bucket_count) || bytes > plat::kGlobalMaxBlockSize)
        return;
    SymbolTable fresh = table;
    fresh.block = mem_alloc(bytes, kMemMovableZero);
    if (!fresh.block)
        return;
    set_buckets(fresh, buckets);
    fresh.tags.clear();
    TableView view = view_of(fresh);
    view.set_header(kMagicAt, kSymbolTableMagic);
    view.set_header(kNextFreeAt, buckets);
    view.set_header(kCapacityAt, uint32_t(capacity));
    view.set_header(kBucketsAt, buckets);
    view.set_header(kValueSizeAt, uint32_t(table.value_size));
    old = TableView{static_cast<uint8_t*>(mem_lock(table.block)), old.entry_size};
    for (uint32_t symbol = 0; symbol < symbols; symbol++) {
        const uint8_t* value = old.entry(old.field(symbol, kMapAt)) + kSymbolEntryHeader;
        const char* key = table.key_of(value, table.value_size, table.user);
        place_symbol(fresh, key_hash(key, table.key_case_sensitive), value, nullptr);
    }
    mem_unlock(table.block);
    mem_free(table.block);
    table = fresh;
}

int hash_symtab_add(SymbolTable& table, const char* key, const void* value, int case_sensitive, uint32_t* number)
{
    if (number)
        *number = 0;
    if (!table.block && create_block(table) != 0)
        return 8;
    uint32_t found = 0;
    if (hash_symtab_find(table, key, case_sensitive, &found)) {
        if (number)
            *number = found;
        return 0;
    }
    if (!place_symbol(table, key_hash(key, case_sensitive), value, number))
        return 8;
    if (table.key_of && view_of(table).header(kSymbolsAt) > uint32_t(table.bucket_count))
        rebucket(table);
    return 0;
}

int hash_symtab_find(const SymbolTable& table, const char* key, int case_sensitive, uint32_t* number)
{
    if (number)
        *number = 0;
    if (!table.block)
        return 0;
    TableView view = view_of(table);
    uint32_t capacity = view.header(kCapacityAt);
    uint32_t h = key_hash(key, case_sensitive);
    uint8_t tag = tag_of(h);
    uint32_t index = bucket_of(table, h);
    for (uint32_t steps = 0; steps < capacity; steps++) {
        uint16_t flags = view.flags(index);
        if (!(flags & kEntryUsed))
            return 0;
        const uint8_t* value = view.entry(index) + kSymbolEntryHeader;
        // An entry whose key hashes otherwise cannot be the key's (keys differing only in
        // case hash alike without the case flag).
        bool other_key = table.match && index < table.tags.size() && table.tags[index] != 0 && table.tags[index] != tag;
        if (!other_key && (!table.match || table.match(key, value, table.value_size, table.user))) {
            if (number)
                *number = view.field(index, kSymbolAt) + 1;
            return 1;
        }
        if (!(flags & kEntryChained))
            return 0;
        index = view.field(index, kNextAt);
    }
    return 0;
}

// The entry holding symbol number, or UINT32_MAX.
static uint32_t entry_of(const SymbolTable& table, uint32_t number)
{
    if (!table.block || number == 0)
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
    if (size)
        *size = size_t(table_bytes(view_of(table).header(kCapacityAt), uint32_t(table.value_size)));
    table.block = MemHandle{};
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
        set_tag(table, index, tag_of(key_hash(key, table.key_case_sensitive)));
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
    const auto* bytes = static_cast<const uint8_t*>(mem_address(block));
    if (table.block != block)
        mem_free(table.block);
    table.block = block;
    table.value_size = int32_t(plat::load_u32le(bytes + kValueSizeAt));
    set_buckets(table, plat::load_u32le(bytes + kBucketsAt));
    retag(table);
    return 1;
}

void hash_symtab_free(SymbolTable& table)
{
    mem_free(table.block);
    table.block = MemHandle{};
    set_buckets(table, 0);
    table.tags.clear();
}
