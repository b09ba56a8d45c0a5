#include "runtime/base/hash.h"

#include "hex_fixture.h"
#include "platform/kernel/byte_io.h"

#include <cstring>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

namespace {

class HashTest : public testing::Test {
protected:
    void SetUp() override { plat::memory_reset(); }
    void TearDown() override { plat::memory_reset(); }
};

MemHandle block_of(const std::vector<uint8_t>& bytes)
{
    MemHandle block = mem_alloc(bytes.size(), kMemMovable);
    mem_write_at(block, bytes.data(), bytes.size(), 0);
    return block;
}

TEST_F(HashTest, StringHashes)
{
    struct Case {
        const char* text;
        uint32_t exact;
        uint32_t nocase;
    };
    static const Case kCases[] = {
        {"", 0, 0},
        {"abc", 0x62610063, 0x62610063},
        {"ABC", 0x42410043, 0x62610063},
        {"\xE9", 0xFFFFFFE9, 0xFFFFFFE9},
        {"A\xC9", 0xBEFFFFC9, 0x9EFFFFC9}, // the high byte is sign-extended
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(hash_string(c.text), c.exact);
        EXPECT_EQ(hash_string_nocase(c.text), c.nocase);
    }
}

// The hashes by their byte-wise definition, against which the word-wise ones are checked.
uint32_t hash_by_bytes(const std::string& text, bool fold)
{
    uint32_t h = 0;
    for (char c : text) {
        if (fold && c >= 'A' && c <= 'Z')
            c = char(c + ('a' - 'A'));
        h = (h >> 8 | h << 24) ^ uint32_t(int32_t(int8_t(c)));
    }
    return h;
}

TEST_F(HashTest, StringHashesAgreeWithTheByteWiseDefinitionAtEveryLength)
{
    // Bytes at the edges of the folded range and of the sign extension, so that every lane,
    // tail and parity case of the word-wise hashing meets them.
    static const char kBytes[] = "AZaz@[`{09_\x7F\x80\x81\xC1\xE1\xFF";
    std::mt19937 random(11);
    for (size_t length = 0; length <= 40; length++) {
        for (int sample = 0; sample < 50; sample++) {
            std::string text;
            for (size_t i = 0; i < length; i++)
                text.push_back(kBytes[random() % (sizeof kBytes - 1)]);
            SCOPED_TRACE(testing::Message() << "length " << length << " sample " << sample);
            ASSERT_EQ(hash_string(text.c_str()), hash_by_bytes(text, false));
            ASSERT_EQ(hash_string_nocase(text.c_str()), hash_by_bytes(text, true));
        }
    }
    EXPECT_EQ(hash_string(nullptr), 0u);
}

TEST_F(HashTest, TableSizesArePrimes)
{
    struct Case {
        uint32_t n;
        uint32_t prime_below;
    };
    static const Case kPrimes[] = {{12, 13}, {256, 257}, {512, 509}, {3, 3}, {2, 0}, {0x1FFFF, 131071}, {0x20000, 0}};
    for (const Case& c : kPrimes) {
        SCOPED_TRACE(c.n);
        EXPECT_EQ(hash_prime_below(c.n), c.prime_below);
    }
    static const Case kSizes[] = {{0, 11}, {9, 11}, {10, 13}, {50, 67}, {100, 131}, {328, 433}, {200000, 0}};
    for (const Case& c : kSizes) {
        SCOPED_TRACE(c.n);
        EXPECT_EQ(hash_table_size(c.n), c.prime_below);
    }
    EXPECT_EQ(hash_slot_bytes(13), 26u);
}

// Keys live with the caller: the value is an index into this list, from 1.
struct Names {
    std::vector<std::string> names{""};
};

int match_name(const char* key, uint16_t value, void* user)
{
    const auto* names = static_cast<const Names*>(user);
    return value < names->names.size() && names->names[value] == key;
}

TEST_F(HashTest, CollidingKeysTakeDifferentSlots)
{
    HashTable table;
    ASSERT_EQ(hash_create(table, 9), 1);
    ASSERT_EQ(table.slot_count, 11u);
    // Two keys with the same start slot.
    Names names;
    std::string first = "k0";
    std::string second;
    for (int i = 1; second.empty(); i++) {
        std::string candidate = "k" + std::to_string(i);
        if (hash_string(candidate.c_str()) % 11 == hash_string(first.c_str()) % 11)
            second = candidate;
    }
    names.names = {"", first, second};
    EXPECT_EQ(hash_insert(table, first.c_str(), 1), 1);
    EXPECT_EQ(hash_insert(table, second.c_str(), 2), 1);
    EXPECT_EQ(hash_find(table, first.c_str(), match_name, &names), 1);
    EXPECT_EQ(hash_find(table, second.c_str(), match_name, &names), 2);
    EXPECT_EQ(hash_find(table, "absent", match_name, &names), 0);
    EXPECT_EQ(hash_insert(table, "zero", 0), 0); // 0 marks an empty slot
    hash_free(table);
}

// Asked about every candidate, it accepts the first one it sees.
int accept_any(const char*, uint16_t, void*) { return 1; }

TEST_F(HashTest, OnlySlotsWhoseKeyHashesAlikeAreOffered)
{
    HashTable table;
    ASSERT_EQ(hash_create(table, 9), 1);
    // Two keys that start at the same slot with hashes that differ in their top byte.
    std::string first = "k0", second;
    for (int i = 1; second.empty(); i++) {
        std::string candidate = "k" + std::to_string(i);
        uint32_t a = hash_string(first.c_str()), b = hash_string(candidate.c_str());
        if (a % 11 == b % 11 && (a >> 24) != (b >> 24))
            second = candidate;
    }
    hash_insert(table, first.c_str(), 1);
    EXPECT_EQ(hash_find(table, second.c_str(), accept_any, nullptr), 0);
    EXPECT_EQ(hash_find(table, first.c_str(), accept_any, nullptr), 1);
    // A table cloned from its stored slots knows no hashes: every slot is offered.
    MemHandle stored = mem_duplicate(table.slots);
    HashTable clone;
    ASSERT_EQ(hash_clone(clone, stored, mem_size(stored)), 1);
    EXPECT_EQ(hash_find(clone, second.c_str(), accept_any, nullptr), 1);
    hash_free(clone);
    hash_free(table);
    mem_free(stored);
}

TEST_F(HashTest, AFullTableEndsEverySearch)
{
    HashTable table;
    ASSERT_EQ(hash_create(table, 5), 1);
    Names names;
    for (uint16_t i = 1; i <= 11; i++) {
        names.names.push_back("name" + std::to_string(i));
        ASSERT_EQ(hash_insert(table, names.names[i].c_str(), i), 1);
    }
    EXPECT_EQ(hash_insert(table, "one more", 12), 0);
    EXPECT_EQ(hash_find(table, "absent", match_name, &names), 0);
    EXPECT_EQ(hash_find(table, "name7", match_name, &names), 7);
    hash_free(table);
}

TEST_F(HashTest, CloneOfAStoredBlock)
{
    struct Case {
        const char* name;
        const char* hex;
        size_t size; // 0: the bytes' size
        int result;
    };
    static const Case kCases[] = {
        {"three empty slots", "000000000000", 0, 1},
        {"full and not prime", "0100 0100 0100 0100", 0, 1},
        {"two slots", "00000000", 0, 0},
        {"size beyond the block", "000000000000", 10, 0},
        {"odd size", "0000000000000000FF", 0, 1},
    };
    Names names;
    names.names = {"", "a"};
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> bytes = from_hex(c.hex);
        MemHandle stored = block_of(bytes);
        HashTable table;
        EXPECT_EQ(hash_clone(table, stored, c.size ? c.size : bytes.size()), c.result);
        if (c.result) {
            EXPECT_EQ(table.slot_count, bytes.size() / 2);
            EXPECT_EQ(hash_find(table, "b", match_name, &names), 0); // ends on a full table
        }
        hash_free(table);
        mem_free(stored);
    }
}

uint32_t lock_count(MemHandle block) { return plat::global_flags(block) & plat::GMEM_LOCKCOUNT; }

// The table keeps its slots locked and their address at hand while they may not be purged.
// With every lock of an unlocked block moving it, an address kept across an unlock would be
// read after it was freed.
TEST_F(HashTest, SlotsStayLockedUnlessPurgeable)
{
    plat::memory_set_move_on_lock(true);
    HashTable table;
    ASSERT_EQ(hash_create(table, 20), 1);
    Names names;
    for (uint16_t i = 1; i <= 20; i++) {
        names.names.push_back("name" + std::to_string(i));
        ASSERT_EQ(hash_insert(table, names.names[i].c_str(), i), 1);
    }
    EXPECT_EQ(lock_count(table.slots), 1u);
    auto all_found = [&] {
        for (uint16_t i = 1; i <= 20; i++)
            if (hash_find(table, names.names[i].c_str(), match_name, &names) != i)
                return false;
        return hash_find(table, "name21", match_name, &names) == 0;
    };
    for (int round = 0; round < 2; round++) {
        SCOPED_TRACE(round);
        EXPECT_EQ(hash_set_purgeable(table, 1), 0);
        EXPECT_EQ(lock_count(table.slots), 0u);
        EXPECT_TRUE(all_found());
        EXPECT_EQ(hash_set_purgeable(table, 0), 1);
        EXPECT_EQ(lock_count(table.slots), 1u); // locked again, and moved by it
        EXPECT_TRUE(all_found());
    }
    EXPECT_EQ(hash_set_purgeable(table, 0), 0);
    EXPECT_EQ(lock_count(table.slots), 1u); // not twice
    MemHandle stored = mem_duplicate(table.slots);
    HashTable clone;
    ASSERT_EQ(hash_clone(clone, stored, mem_size(stored)), 1);
    EXPECT_EQ(lock_count(clone.slots), 1u);
    EXPECT_EQ(hash_find(clone, "name7", match_name, &names), 7);
    hash_free(clone);
    hash_free(table);
    mem_free(stored);
    EXPECT_EQ(plat::memory_block_count(), 0u);
}

TEST_F(HashTest, KeysWhoseHashesCollideAreBothFound)
{
    // Characters four apart share a lane of the hash: trading them keeps the hash.
    const std::string first = "key1abc2", second = "key2abc1";
    ASSERT_EQ(hash_string(first.c_str()), hash_string(second.c_str()));
    HashTable table;
    ASSERT_EQ(hash_create(table, 9), 1);
    Names names;
    names.names = {"", first, second};
    EXPECT_EQ(hash_insert(table, first.c_str(), 1), 1);
    EXPECT_EQ(hash_insert(table, second.c_str(), 2), 1);
    EXPECT_EQ(hash_find(table, second.c_str(), match_name, &names), 2);
    EXPECT_EQ(hash_find(table, first.c_str(), match_name, &names), 1);
    hash_free(table);
}

TEST_F(HashTest, PurgedTableIsRebuiltByItsUser)
{
    HashTable table;
    hash_create(table, 20);
    Names names;
    names.names = {"", "x"};
    hash_insert(table, "x", 1);
    EXPECT_EQ(hash_set_purgeable(table, 1), 0);
    EXPECT_EQ(hash_is_purged(table), 0);
    plat::global_compact(0);
    EXPECT_EQ(hash_is_purged(table), 1);
    EXPECT_EQ(hash_find(table, "x", match_name, &names), 0);
    EXPECT_EQ(hash_insert(table, "x", 1), 0);
    hash_free(table);
}

// --- SymbolTable ---------------------------------------------------------------------------

int match_index(const char* key, const uint8_t* value, int32_t, void* user)
{
    uint32_t index;
    std::memcpy(&index, value, 4);
    const auto* names = static_cast<const Names*>(user);
    return index < names->names.size() && names->names[index] == key;
}

class SymbolTableTest : public HashTest {
protected:
    void SetUp() override
    {
        HashTest::SetUp();
        hash_symtab_init(table, 4, 512, &names, match_index);
    }
    void TearDown() override
    {
        hash_symtab_free(table);
        HashTest::TearDown();
    }
    uint32_t add(const std::string& name)
    {
        uint32_t index = uint32_t(names.names.size());
        names.names.push_back(name);
        uint32_t number = 0;
        EXPECT_EQ(hash_symtab_add(table, name.c_str(), &index, 1, &number), 0);
        return number;
    }
    uint32_t capacity() const { return plat::load_u32le(static_cast<const uint8_t*>(mem_address(table.block)) + 8); }
    Names names;
    SymbolTable table;
};

TEST_F(SymbolTableTest, NumbersAreConsecutiveAndFoundAgain)
{
    EXPECT_EQ(add("alpha"), 1u);
    EXPECT_EQ(add("beta"), 2u);
    uint32_t number = 0;
    uint32_t index = 99;
    EXPECT_EQ(hash_symtab_add(table, "alpha", &index, 1, &number), 0);
    EXPECT_EQ(number, 1u);
    EXPECT_EQ(hash_symtab_find(table, "beta", 1, &number), 1);
    EXPECT_EQ(number, 2u);
    EXPECT_EQ(hash_symtab_find(table, "gamma", 1, &number), 0);
    int32_t size = 0;
    EXPECT_EQ(hash_symtab_has(table, 2, &size), 1);
    EXPECT_EQ(size, 4);
    EXPECT_EQ(hash_symtab_has(table, 3, &size), 0);
    EXPECT_EQ(hash_symtab_has(table, 0, &size), 0);
    uint32_t value = 0;
    EXPECT_EQ(hash_symtab_value(table, 2, &value, &size), 1);
    EXPECT_EQ(value, 2u);
    EXPECT_EQ(table.bucket_count, 509);
}

TEST_F(SymbolTableTest, CapacityRules)
{
    SymbolTable small;
    hash_symtab_init(small, 0, 256, nullptr, nullptr);
    uint32_t number = 0;
    ASSERT_EQ(hash_symtab_add(small, "a", nullptr, 1, &number), 0);
    EXPECT_EQ(small.bucket_count, 257);
    EXPECT_EQ(plat::load_u32le(static_cast<const uint8_t*>(mem_address(small.block)) + 8), 512u);
    std::string same_bucket;
    for (int i = 0; same_bucket.empty(); i++) {
        std::string key = "b" + std::to_string(i);
        if (hash_symtab_bucket(small, key.c_str(), 1) == hash_symtab_bucket(small, "a", 1))
            same_bucket = key;
    }
    EXPECT_EQ(hash_symtab_add(small, same_bucket.c_str(), nullptr, 1, &number), 0);
    EXPECT_EQ(number, 1u); // no callback: the first used entry of the chain matches
    hash_symtab_free(small);
}

TEST_F(SymbolTableTest, TheFourthCollisionGrowsTheBlockByHalf)
{
    add("seed");
    uint32_t bucket = hash_symtab_bucket(table, "seed", 1);
    for (int i = 0, collisions = 0; collisions < 4; i++) {
        std::string key = "c" + std::to_string(i);
        if (hash_symtab_bucket(table, key.c_str(), 1) != bucket)
            continue;
        add(key);
        collisions++;
        EXPECT_EQ(capacity(), collisions < 4 ? 512u : 768u) << collisions;
    }
    for (size_t i = 1; i < names.names.size(); i++) {
        uint32_t number = 0;
        EXPECT_EQ(hash_symtab_find(table, names.names[i].c_str(), 1, &number), 1);
        EXPECT_EQ(number, i);
    }
}

const char* key_of_index(const uint8_t* value, int32_t, void* user)
{
    uint32_t index;
    std::memcpy(&index, value, 4);
    return static_cast<const Names*>(user)->names[index].c_str();
}

TEST_F(SymbolTableTest, BucketsFollowTheSymbolCountWhenTheTableCanNameItsKeys)
{
    hash_symtab_set_rebucketing(table, key_of_index, 1);
    for (int i = 0; i < 3000; i++)
        ASSERT_EQ(add("key" + std::to_string(i)), uint32_t(i + 1));
    EXPECT_GE(table.bucket_count, 3000);
    for (size_t i = 1; i < names.names.size(); i++) {
        uint32_t number = 0;
        ASSERT_EQ(hash_symtab_find(table, names.names[i].c_str(), 1, &number), 1) << i;
        EXPECT_EQ(number, i);
        uint32_t value = 0;
        hash_symtab_value(table, uint32_t(i), &value, nullptr);
        EXPECT_EQ(value, i);
    }
    // Without a way to name the keys the buckets stay as they were made.
    SymbolTable fixed;
    Names other;
    hash_symtab_init(fixed, 4, 512, &other, match_index);
    for (uint32_t i = 1; i <= 3000; i++) {
        other.names.push_back("key" + std::to_string(i));
        uint32_t number = 0;
        hash_symtab_add(fixed, other.names.back().c_str(), &i, 1, &number);
    }
    EXPECT_EQ(fixed.bucket_count, 509);
    hash_symtab_free(fixed);
}

TEST_F(SymbolTableTest, DetachAndAdoptRoundTrip)
{
    for (int i = 0; i < 4000; i++)
        add("name" + std::to_string(i));
    MemHandle saved;
    size_t size = 0;
    ASSERT_EQ(hash_symtab_detach(table, &saved, &size), 1);
    EXPECT_GT(size, 65504u);
    MemHandle none = kMemFailed;
    EXPECT_EQ(hash_symtab_detach(table, &none, &size), 0);
    EXPECT_FALSE(none);
    EXPECT_EQ(size, 0u);
    SymbolTable other;
    hash_symtab_init(other, 4, 512, &names, match_index);
    ASSERT_EQ(hash_symtab_adopt(other, saved, 4), 1);
    uint32_t number = 0;
    EXPECT_EQ(hash_symtab_find(other, "name1234", 1, &number), 1);
    EXPECT_EQ(number, 1235u);
    hash_symtab_free(other);
}

TEST_F(SymbolTableTest, SavedTablesAreChecked)
{
    // Value size 0, capacity 3, buckets 2; entries {flags, next, symbol, map}.
    static const char* const kHeader1 = "314D5953 02000000 03000000 02000000 01000000 00000000 ";
    static const char* const kHeader2 = "314D5953 03000000 03000000 02000000 02000000 00000000 ";
    struct Case {
        const char* name;
        std::string hex;
        int result;
    };
    const std::string empty_entry = "0000 00000000 00000000 00000000 ";
    const Case kCases[] = {
        {"one symbol", kHeader1 + std::string("0100 00000000 00000000 00000000 ") + empty_entry + empty_entry, 1},
        {"a chain", kHeader2 + std::string("0300 02000000 00000000 00000000 0000 00000000 00000000 02000000 "
                                           "0100 00000000 01000000 00000000"), 1},
        {"other byte order", "53594D31" + std::string(kHeader1).substr(8) + "0100 00000000 00000000 00000000 "
                                 + empty_entry + empty_entry, 0},
        {"entries past the block", kHeader1 + std::string("0100 00000000 00000000 00000000 ") + empty_entry, 0},
        {"chain into itself", kHeader2 + std::string("0300 02000000 00000000 00000000 0000 00000000 00000000 02000000 "
                                                     "0300 02000000 01000000 00000000"), 0},
        {"chain into a bucket", kHeader2 + std::string("0300 01000000 00000000 00000000 0100 00000000 01000000 01000000 ")
                                    + empty_entry, 0},
        {"chain past next free", kHeader1 + std::string("0300 02000000 00000000 00000000 ") + empty_entry
                                     + "0100 00000000 00000000 00000000", 0},
        {"count above the entries", "314D5953 02000000 03000000 02000000 02000000 00000000 "
                                        + std::string("0100 00000000 00000000 00000000 ") + empty_entry + empty_entry, 0},
        {"map to an empty entry", kHeader1 + std::string("0100 00000000 00000000 01000000 ") + empty_entry + empty_entry, 0},
        {"symbol above the count", kHeader1 + std::string("0100 00000000 05000000 00000000 ") + empty_entry + empty_entry, 0},
        {"chained but empty", kHeader1 + std::string("0100 00000000 00000000 00000000 0200 00000000 00000000 00000000 ")
                                  + empty_entry, 0},
        {"no buckets", "314D5953 00000000 03000000 00000000 00000000 00000000 " + empty_entry + empty_entry + empty_entry, 0},
        {"huge capacity", "314D5953 02000000 FFFFFFFF 02000000 00000000 00000000", 0},
        {"huge value size", "314D5953 02000000 03000000 02000000 00000000 FFFFFFFF", 0},
        {"short header", "314D5953 02000000", 0},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        MemHandle block = block_of(from_hex(c.hex.c_str()));
        SymbolTable adopted;
        hash_symtab_init(adopted, 0, 256, nullptr, nullptr);
        EXPECT_EQ(hash_symtab_adopt(adopted, block), c.result);
        if (c.result) {
            uint32_t number = 0;
            EXPECT_EQ(hash_symtab_add(adopted, "more", nullptr, 1, &number), 0);
            hash_symtab_free(adopted);
        } else {
            EXPECT_FALSE(adopted.block);
            mem_free(block);
        }
    }
}

// The table keeps its block locked, and its address at hand, while it holds the block; the
// address follows the block when it grows, and a detached block goes back unlocked.
TEST_F(SymbolTableTest, TheBlockIsLockedWhileTheTableHoldsIt)
{
    plat::memory_set_move_on_lock(true);
    for (int i = 0; i < 700; i++)
        add("name" + std::to_string(i)); // past the 512 entries: the block grows, locked
    EXPECT_GT(capacity(), 512u);
    EXPECT_EQ(lock_count(table.block), 1u);
    uint32_t number = 0;
    EXPECT_EQ(hash_symtab_find_key(table, "name42", 6, 1, &number), 1);
    EXPECT_EQ(number, 43u);
    MemHandle saved;
    size_t size = 0;
    ASSERT_EQ(hash_symtab_detach(table, &saved, &size), 1);
    EXPECT_EQ(lock_count(saved), 0u);
    SymbolTable other;
    hash_symtab_init(other, 4, 512, &names, match_index);
    ASSERT_EQ(hash_symtab_adopt(other, saved, 4), 1);
    EXPECT_EQ(lock_count(saved), 1u); // and moved by the lock
    ASSERT_EQ(hash_symtab_adopt(other, saved, 4), 1); // its own block again: not locked twice
    EXPECT_EQ(lock_count(saved), 1u);
    for (uint32_t i = 1; i < names.names.size(); i++) {
        ASSERT_EQ(hash_symtab_find(other, names.names[i].c_str(), 1, &number), 1) << i;
        EXPECT_EQ(number, i);
    }
    hash_symtab_free(other);
    EXPECT_EQ(plat::memory_block_count(), 0u);
}

TEST_F(SymbolTableTest, AdoptKeepsItsOwnBlockOnRefusal)
{
    add("mine");
    MemHandle own = table.block;
    MemHandle foreign = block_of(from_hex("53594D31 00000000"));
    EXPECT_EQ(hash_symtab_adopt(table, foreign), 0);
    EXPECT_EQ(table.block, own);
    uint32_t number = 0;
    EXPECT_EQ(hash_symtab_find(table, "mine", 1, &number), 1);
    mem_free(foreign);
}

} // namespace
