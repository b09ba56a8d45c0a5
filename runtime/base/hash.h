// Hashed stores keyed by text. HashTable: open addressing over 16-bit values (function and
// variable numbers) whose keys live with the caller and are matched through a callback; it
// never grows, may be purged under memory pressure and rebuilt by its user. SymbolTable:
// chained buckets that number their symbols 1, 2, 3 ... and keep a fixed-size value per symbol
// in one block, whose saved form ("SYM1") can be adopted again.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "runtime/base/mem.h"

// h = (h rotated right by 8) XOR the byte sign-extended, over the text up to its NUL.
uint32_t hash_string(const char* text);
// The same with ASCII capitals folded to lower case.
uint32_t hash_string_nocase(const char* text);
// The largest odd prime p with (p - 1) / 2 <= n / 2; 0 for n below 3 or from 0x20000 up.
uint32_t hash_prime_below(uint32_t n);
// Slots for a table of wanted keys: 11 up to 9 keys, else hash_prime_below(wanted * 4 / 3).
uint32_t hash_table_size(uint32_t wanted);
// Bytes of n slots.
size_t hash_slot_bytes(uint32_t n);

// --- HashTable -----------------------------------------------------------------------------

struct HashTable {
    MemHandle slots;         // u16 per slot, 0 = empty
    uint32_t slot_count = 0;
    // The slots' address while the table keeps them locked, which it does unless they are
    // purgeable; null otherwise.
    uint8_t* locked_slots = nullptr;
    // Two bytes of each slot's key hashes (0: not known, as after hash_clone), so that a search
    // asks the callback only about slots whose key hashes alike. Not part of the stored block.
    std::vector<uint16_t> tags;
    uint64_t slot_divisor = 0; // reciprocals of slot_count and slot_count - 2 for the probes
    uint64_t step_divisor = 0;

    // A copy would share the locked address and outlive the original's free.
    HashTable() = default;
    HashTable(const HashTable&) = delete;
    HashTable& operator=(const HashTable&) = delete;
    HashTable(HashTable&&) = default;
    HashTable& operator=(HashTable&&) = default;
};

// Nonzero when value (a stored one) belongs to key.
using HashMatch = int (*)(const char* key, uint16_t value, void* user);

// 1/0: hash_table_size(wanted) zeroed slots, locked until hash_set_purgeable lets them go.
int hash_create(HashTable& table, uint32_t wanted);
void hash_free(HashTable& table);
// 1/0: a table over a copy of a saved slot block of size bytes (size / 2 slots). Fewer than 3
// slots, or a size beyond the block, are refused.
int hash_clone(HashTable& table, MemHandle stored, size_t size);
// 1/0: stores value (not 0) in the first empty slot of key's probe sequence; no check for a
// key already there. 0 when the table is full or purged.
int hash_insert(HashTable& table, const char* key, uint16_t value);
// The first value on key's probe sequence that match accepts; 0 at an empty slot, after
// every slot was tried, or when the table is purged. Keys are hashed as the caller normalised
// them (upper- or lower-cased names), so match is asked only where the hashes agree.
uint16_t hash_find(const HashTable& table, const char* key, HashMatch match, void* user);
// Marks the slot block purgeable (and unlocks it) or not (and locks it); the previous state.
int hash_set_purgeable(HashTable& table, int purgeable);
// 1 when the slot block was discarded (its user rebuilds the table).
int hash_is_purged(const HashTable& table);

// --- SymbolTable ---------------------------------------------------------------------------

constexpr uint32_t kSymbolTableMagic = 0x53594D31; // "1MYS" as stored: bytes 31 4D 59 53
constexpr size_t kSymbolTableHeader = 24;
constexpr size_t kSymbolEntryHeader = 14;
// Values are kept whole in each entry; saved tables with larger ones are damaged.
constexpr int32_t kSymbolMaxValueSize = 1024;

// Nonzero when the entry with value (value_size bytes) belongs to key.
using SymbolMatch = int (*)(const char* key, const uint8_t* value, int32_t value_size, void* user);

// The key of a stored value (text good until the next call), for spreading the symbols over
// more buckets.
using SymbolKeyOf = const char* (*)(const uint8_t* value, int32_t value_size, void* user);

struct SymbolTable {
    MemHandle block;             // null until the first add; locked while the table holds it
    uint8_t* bytes = nullptr;    // the block's address
    int32_t value_size = 0;
    int32_t wanted_capacity = 0; // before the block exists
    int32_t bucket_count = 0;    // after
    void* user = nullptr;
    SymbolMatch match = nullptr; // null: the first used entry of a chain matches
    SymbolKeyOf key_of = nullptr;
    int key_case_sensitive = 0;
    uint64_t bucket_divisor = 0;  // reciprocal of bucket_count
    std::vector<uint16_t> tags;   // two bytes of each entry's key hashes, 0 when not known

    // A copy would share the locked address and outlive the original's free.
    SymbolTable() = default;
    SymbolTable(const SymbolTable&) = delete;
    SymbolTable& operator=(const SymbolTable&) = delete;
    SymbolTable(SymbolTable&&) = default;
    SymbolTable& operator=(SymbolTable&&) = default;
};

// Sets the table up without a block.
void hash_symtab_init(SymbolTable& table, int32_t value_size, int32_t wanted_capacity, void* user, SymbolMatch match);
// Lets the table rebuild its buckets when it holds more symbols than buckets (chains would
// otherwise grow without end): each symbol goes to the bucket of key_of(value) under the case
// rule its keys are added with. Numbers and values stay; saved tables carry their bucket count.
// Without it the bucket count never changes.
void hash_symtab_set_rebucketing(SymbolTable& table, SymbolKeyOf key_of, int case_sensitive);
// The bucket of key: hash_string (case_sensitive set) or hash_string_nocase, modulo buckets.
uint32_t hash_symtab_bucket(const SymbolTable& table, const char* key, int case_sensitive);
// 0 or 8: *number is key's existing or new symbol number; value is value_size bytes.
int hash_symtab_add(SymbolTable& table, const char* key, const void* value, int case_sensitive, uint32_t* number);
// 1 when found, with its number.
int hash_symtab_find(const SymbolTable& table, const char* key, int case_sensitive, uint32_t* number);
// The same for a key whose length (up to its NUL) the caller knows already.
int hash_symtab_find_key(const SymbolTable& table, const char* key, size_t length, int case_sensitive, uint32_t* number);
// 1 when 1 <= number <= the symbol count (value_size may be null).
int hash_symtab_has(const SymbolTable& table, uint32_t number, int32_t* value_size);
// 1 when the symbol's value was copied to value.
int hash_symtab_value(const SymbolTable& table, uint32_t number, void* value, int32_t* value_size);
// 1 when there was a block, which now belongs to the caller, unlocked, with its size; the
// table is then empty again (a new block at the next add).
int hash_symtab_detach(SymbolTable& table, MemHandle* block, size_t* size);
// 1 when block holds a sound saved table, which then replaces (and frees) the current one and
// is locked until detached or freed;
// 0, with the table and the block untouched, for a foreign byte order, a count, index or
// chain that does not fit the block, or (value_size_wanted >= 0) another value size.
int hash_symtab_adopt(SymbolTable& table, MemHandle block, int32_t value_size_wanted = -1);
// 1 when the first size bytes of block hold a sound saved table, as adopt checks it.
int hash_symtab_check(MemHandle block, size_t size, int32_t value_size_wanted);
void hash_symtab_free(SymbolTable& table);
