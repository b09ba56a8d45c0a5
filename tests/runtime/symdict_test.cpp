#include "runtime/base/symdict.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "platform/kernel/byte_io.h"
#include "platform/kernel/codepage.h"
#include "runtime/base/errcode.h"
#include "runtime/base/strpool.h"

namespace {

class SymbolDictTest : public testing::Test {
protected:
    void SetUp() override
    {
        plat::memory_reset();
        symdict_release();
        ASSERT_EQ(symdict_create(), 0);
    }
    void TearDown() override
    {
        symdict_release();
        plat::codepage_reset();
        plat::memory_reset();
    }
    static std::string name_of(uint32_t id)
    {
        char buffer[512];
        return symdict_name(id, buffer, sizeof buffer) ? buffer : "<none>";
    }
};

TEST_F(SymbolDictTest, NamesMatchIgnoringCaseAndKeepTheirFirstForm)
{
    uint32_t color = symdict_intern("Color", 0);
    EXPECT_EQ(color, 1u);
    EXPECT_EQ(symdict_intern("COLOR", 0), color);
    EXPECT_EQ(symdict_find("color"), color);
    EXPECT_EQ(name_of(color), "Color");
    EXPECT_EQ(symdict_lookup_or_add("size"), 2u);
    EXPECT_EQ(symdict_find("absent"), 0u);
    EXPECT_EQ(symdict_create(), 0); // a second call changes nothing
    EXPECT_EQ(symdict_find("Color"), color);
    EXPECT_EQ(name_of(0), "<none>");
    EXPECT_EQ(name_of(3), "<none>");
}

TEST_F(SymbolDictTest, InternRules)
{
    struct Case {
        const char* name;
        const char* text;
        int trim;
        const char* stored; // null: id 0
    };
    static const Case kCases[] = {
        {"null", nullptr, 0, nullptr},
        {"empty", "", 0, nullptr},
        {"trimmed at a space", "abc def", 1, "abc"},
        {"trimmed at an operator", "_x1+y", 1, "_x1"},
        {"digit first", "9abc", 1, nullptr},
        {"symbol sign first", "#abc", 1, nullptr},
        {"untrimmed keeps all", "a b", 0, "a b"},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        uint32_t id = symdict_intern(c.text, c.trim);
        if (c.stored)
            EXPECT_EQ(name_of(id), c.stored);
        else
            EXPECT_EQ(id, 0u);
    }
    symdict_release();
    EXPECT_EQ(symdict_intern("early", 0), 0u); // before the dictionary exists
}

TEST_F(SymbolDictTest, LongNamesAreFoundAgain)
{
    std::string long_name(300, 'n');
    uint32_t id = symdict_intern(long_name.c_str(), 0);
    EXPECT_EQ(symdict_intern(long_name.c_str(), 0), id);
    EXPECT_EQ(name_of(id), long_name);
    EXPECT_EQ(symdict_intern((long_name + "x").c_str(), 0), id + 1);
}

TEST_F(SymbolDictTest, CaseRulesFollowTheCodePage)
{
    struct Case {
        const char* name;
        const char* a;
        const char* b;
        bool same;
        bool same_for_lstrcmpi; // the code page's own comparison
    };
    static const Case kCases[] = {
        {"ascii case", "Hello_World", "hELLO_wORLD", true, true},
        {"hyphen matters", "a-b", "ab", false, false},
        {"trail bytes are not folded", "\xB0\x41", "\xB0\x61", false, false},
        {"same double-byte name", "\xB0\xA1\xB3\xAA", "\xB0\xA1\xB3\xAA", true, true},
        {"full-width case hashes apart", "\xA3\xC1", "\xA3\xE1", false, true}, // only A-Z fold in the hash
    };
    plat::set_active_code_page(949);
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        uint32_t a = symdict_intern(c.a, 0);
        uint32_t b = symdict_intern(c.b, 0);
        EXPECT_EQ(a == b, c.same);
        EXPECT_EQ(plat::lstrcmpi(c.a, c.b) == 0, c.same_for_lstrcmpi);
    }
}

TEST_F(SymbolDictTest, DetachAndAttachKeepIds)
{
    std::vector<uint32_t> ids;
    for (int i = 0; i < 5000; i++)
        ids.push_back(symdict_intern(("symbol" + std::to_string(i)).c_str(), 0));
    MemHandle table, pool;
    size_t table_size = 0;
    uint32_t pool_used = 0;
    symdict_detach(&table, &table_size, &pool, &pool_used);
    ASSERT_TRUE(table);
    EXPECT_GT(table_size, 65504u);
    EXPECT_EQ(pool_used, strpool_used([&] { StringPool p; strpool_attach(p, pool); return p; }()));
    EXPECT_EQ(symdict_find("symbol7"), 0u); // empty now
    EXPECT_EQ(symdict_intern("fresh", 0), 1u);

    ASSERT_EQ(symdict_attach(table, table_size, pool), kErrOk);
    EXPECT_EQ(symdict_find("SYMBOL4321"), ids[4321]);
    EXPECT_EQ(name_of(ids[17]), "symbol17");
    EXPECT_EQ(symdict_intern("another", 0), 5001u);

    MemHandle none = kMemFailed;
    symdict_release();
    symdict_create();
    symdict_detach(&none, &table_size, &pool, &pool_used);
    EXPECT_FALSE(none); // nothing to hand over
    EXPECT_EQ(table_size, 0u);
    EXPECT_EQ(pool_used, 0u);
}

// The dictionary keeps its table locked while it holds it; handed over, checked or refused,
// the block is the caller's again without a lock left on it.
TEST_F(SymbolDictTest, HandedOverTablesAreUnlocked)
{
    auto locks = [](MemHandle block) { return plat::global_flags(block) & plat::GMEM_LOCKCOUNT; };
    symdict_intern("alpha", 0);
    MemHandle table, pool;
    size_t table_size = 0;
    uint32_t pool_used = 0;
    symdict_detach(&table, &table_size, &pool, &pool_used);
    EXPECT_EQ(locks(table), 0u);
    // A sound pool without the names: refused after the table was checked against it.
    MemHandle empty_pool = mem_alloc(16, kMemMovableZero);
    plat::store_u32le(static_cast<uint8_t*>(mem_address(empty_pool)) + 4, kStrPoolHeader);
    EXPECT_EQ(symdict_attach(table, table_size, empty_pool), kErrFileDamaged);
    EXPECT_EQ(locks(table), 0u);
    mem_free(empty_pool);
    ASSERT_EQ(symdict_attach(table, table_size, pool), kErrOk);
    EXPECT_EQ(locks(table), 1u);
    EXPECT_EQ(symdict_find("ALPHA"), 1u);
    symdict_detach(&table, &table_size, &pool, &pool_used);
    EXPECT_EQ(locks(table), 0u);
    mem_free(table);
    mem_free(pool);
}

TEST_F(SymbolDictTest, DamagedSavesAreRefusedAndChangeNothing)
{
    symdict_intern("alpha", 0);
    symdict_intern("beta", 0);
    MemHandle table, pool;
    size_t table_size = 0;
    uint32_t pool_used = 0;
    symdict_detach(&table, &table_size, &pool, &pool_used);
    symdict_intern("kept", 0);

    auto* table_bytes = static_cast<uint8_t*>(mem_address(table));
    auto* pool_bytes = static_cast<uint8_t*>(mem_address(pool));
    uint32_t first_entry_map = 24 + 10;
    struct Case {
        const char* name;
        uint8_t* at;
        uint32_t value;
        size_t size;
        int result;
    };
    const Case kCases[] = {
        {"size beyond the block", table_bytes, 0x53594D31, table_size + 1, kErrFileDamaged},
        {"other byte order", table_bytes, 0x314D5953, table_size, kErrFileDamaged},
        {"pool used past its block", pool_bytes + 4, 0xFFFF, table_size, kErrFileDamaged},
        {"name outside the pool", pool_bytes + 4, 9, table_size, kErrFileDamaged},
        {"map into nowhere", table_bytes + first_entry_map, 0xFFFFFF, table_size, kErrFileDamaged},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        uint32_t saved = plat::load_u32le(c.at);
        plat::store_u32le(c.at, c.value);
        EXPECT_EQ(symdict_attach(table, c.size, pool), c.result);
        plat::store_u32le(c.at, saved);
        EXPECT_EQ(symdict_find("kept"), 1u);
        EXPECT_EQ(symdict_find("alpha"), 0u);
    }
    EXPECT_EQ(symdict_attach(table, table_size, pool), kErrOk);
    EXPECT_EQ(symdict_find("beta"), 2u);
}

} // namespace
