#include "tests/calc/assembler.h"
#include "tests/calc/calc_fixture.h"

#include <cstdio>
#include <string>
#include <vector>

using namespace calctest;

namespace {

ScriptValue integer(int32_t x)
{
    ScriptValue v;
    val_set_integer(x, v);
    return v;
}

ScriptValue text(const char* s)
{
    ScriptValue v;
    val_set_string(v, s);
    return v;
}

ScriptValue symbol(const char* name)
{
    ScriptValue v;
    val_set_symbol(symdict_intern(name, 1), v);
    return v;
}

std::vector<uint32_t> s_signals; // variable << 16 | icon
void record_signal(uint32_t variable, uint16_t icon) { s_signals.push_back(variable << 16 | icon); }

} // namespace

class ListTest : public CalcTest {
protected:
    void TearDown() override
    {
        for (ScriptValue& v : owned_)
            val_free(v);
        CalcTest::TearDown();
    }
    // A new list of the kind holding the values (kept until the test ends).
    ScriptValue make(int kind, std::initializer_list<ScriptValue> values = {})
    {
        ScriptValue v;
        val_init(v);
        EXPECT_EQ(list_new(kind, 0, v), 1);
        for (ScriptValue x : values) {
            EXPECT_EQ(list_append(v, x), 0);
            val_free(x);
        }
        owned_.push_back(v);
        return v;
    }
    std::vector<ScriptValue> owned_;
};

TEST_F(ListTest, TextForms)
{
    ScriptValue props = make(kValPropList);
    EXPECT_EQ(describe(props), "l:[:]");
    ScriptValue key = symbol("x"), value = text("a\"b\tc\\");
    ASSERT_EQ(list_prop_add(props, key, value), 0);
    EXPECT_EQ(describe(props), "l:[#x:\"a\"b\tc\\\"]");
    MemHandle escaped = list_to_text(props, 1, 0, 1);
    EXPECT_STREQ(static_cast<const char*>(mem_address(escaped)), "[#x:\"a\\\"b\\tc\\\\\"]");
    mem_free(escaped);
    val_free(value);
    ScriptValue linear = make(kValLinearList, { integer(1), symbol("b"), text("s") });
    EXPECT_EQ(describe(linear), "l:[1, #b, \"s\"]");
    ScriptValue point = make(kValPoint);
    EXPECT_EQ(describe(point), "l:point(0, 0)");
}

TEST_F(ListTest, FixedListsRefuseGrowth)
{
    ScriptValue rect = make(kValRect);
    ScriptValue one = integer(1);
    EXPECT_EQ(list_count(rect), 4);
    EXPECT_EQ(list_append(rect, one), kValErrBadList);
    EXPECT_EQ(list_insert_at(rect, 1, one), kValErrBadList);
    EXPECT_EQ(list_delete_at(rect, 1), kValErrBadList);
    EXPECT_EQ(list_set_at(rect, 5, one), kValErrBadList);
    ASSERT_EQ(list_set_at(rect, 3, text("640")), 0);
    EXPECT_EQ(describe(rect), "l:rect(0, 0, 640, 0)");
    EXPECT_EQ(list_find_value(rect, integer(640), 0), 3);
}

TEST_F(ListTest, CyclesAndDeepNestingAreRefused)
{
    ScriptValue outer = make(kValLinearList);
    ScriptValue inner = make(kValLinearList);
    ASSERT_EQ(list_append(outer, inner), 0);
    static const struct {
        const char* name;
        int (*store)(const ScriptValue& into, const ScriptValue& x);
    } kStores[] = {
        { "append", [](const ScriptValue& l, const ScriptValue& x) { return list_append(l, x); } },
        { "set", [](const ScriptValue& l, const ScriptValue& x) { return list_set_at(l, 1, x); } },
        { "insert", [](const ScriptValue& l, const ScriptValue& x) { return list_insert_at(l, 1, x); } },
    };
    for (const auto& row : kStores) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.store(outer, outer), kValErrBadList); // into itself
        EXPECT_EQ(row.store(inner, outer), kValErrBadList); // into a list it contains
    }
    ScriptValue props = make(kValPropList);
    ASSERT_EQ(list_prop_add(props, symbol("k"), outer), 0);
    EXPECT_EQ(list_prop_set(inner, symbol("k"), props), kValErrBadList); // not a property list
    ScriptValue inner_props = make(kValPropList);
    ASSERT_EQ(list_append(inner, inner_props), 0);
    EXPECT_EQ(list_prop_set(inner_props, symbol("k"), props), kValErrBadList);
    EXPECT_EQ(describe(outer), "l:[[[:]]]");

    // A chain of lists may not pass the nesting limit, whichever end it grows at.
    ScriptValue top = make(kValLinearList), bottom = top;
    int stored = 0;
    for (int i = 0; i < 40; ++i) {
        ScriptValue next = make(kValLinearList);
        if (list_append(bottom, next) != 0)
            break;
        bottom = next;
        ++stored;
    }
    EXPECT_LT(stored, 40);
    ScriptValue chain = make(kValLinearList);
    EXPECT_EQ(list_append(chain, top), kValErrBadList);
}

TEST_F(ListTest, SortOrderAndSearch)
{
    ScriptValue numbers = make(kValLinearList, { integer(10), integer(9) });
    ASSERT_EQ(list_sort(numbers, 1), 0);
    EXPECT_EQ(describe(numbers), "l:[9, 10]");
    ScriptValue texts = make(kValLinearList, { text("9"), text("10") });
    ASSERT_EQ(list_sort(texts, 1), 0);
    EXPECT_EQ(describe(texts), "l:[\"10\", \"9\"]");

    ScriptValue sorted = make(kValLinearList, { integer(5), integer(1), integer(3), integer(3) });
    ASSERT_EQ(list_sort(sorted, 2), 0);
    EXPECT_EQ(describe(sorted), "l:[5, 3, 3, 1]");
    EXPECT_EQ(list_add(sorted, integer(4)), 2); // keeps the order
    EXPECT_EQ(list_sort_order(sorted), 2);
    EXPECT_EQ(list_find_value(sorted, integer(3), 0), 3); // the first of the equal ones
    EXPECT_EQ(list_find_value(sorted, text("5"), 0), 1);
    EXPECT_EQ(list_find_value(sorted, integer(2), 0), 0);
    ScriptValue real;
    val_set_real(1.0, real);
    EXPECT_EQ(list_find_value(sorted, real, 0), 5);
    // Every other change forgets the order.
    static const struct {
        const char* name;
        int (*change)(const ScriptValue& l);
    } kChanges[] = {
        { "append", [](const ScriptValue& l) { return list_append(l, integer(0)); } },
        { "set", [](const ScriptValue& l) { return list_set_at(l, 1, integer(99)); } },
        { "insert", [](const ScriptValue& l) { return list_insert_at(l, 1, integer(9)); } },
    };
    for (const auto& row : kChanges) {
        SCOPED_TRACE(row.name);
        ASSERT_EQ(list_sort(sorted, 1), 0);
        ASSERT_EQ(row.change(sorted), 0);
        EXPECT_EQ(list_sort_order(sorted), 0);
    }
    ScriptValue empty = make(kValLinearList);
    EXPECT_EQ(list_add(empty, integer(3)), 1);
}

TEST_F(ListTest, PropertyListsByKey)
{
    ScriptValue props = make(kValPropList);
    ASSERT_EQ(list_prop_set(props, symbol("b"), integer(2)), 0); // appended
    ASSERT_EQ(list_prop_set(props, symbol("a"), integer(1)), 0);
    ASSERT_EQ(list_prop_set(props, symbol("B"), integer(3)), 0); // symbols ignore case
    EXPECT_EQ(describe(props), "l:[#b:3, #a:1]");
    ScriptValue out;
    EXPECT_EQ(list_prop_get(props, symbol("a"), out), 0);
    EXPECT_EQ(describe(out), "i:1");
    EXPECT_EQ(list_prop_get(props, symbol("zz"), out), kValErrBadList);
    ASSERT_EQ(list_sort(props, 1), 0);
    EXPECT_EQ(describe(props), "l:[#a:1, #b:3]");
    EXPECT_EQ(list_find_value(props, integer(3), 1), 2);
    ASSERT_EQ(list_delete_at(props, 1), 0);
    EXPECT_EQ(describe(props), "l:[#b:3]");
}

TEST_F(ListTest, ChangesSignalEveryHoldingVariable)
{
    CalcHooks hooks {};
    hooks.trig_mark_variable = record_signal;
    calc_set_hooks(&hooks);
    s_signals.clear();
    ScriptValue outer = make(kValLinearList);
    ScriptValue inner = make(kValLinearList);
    ASSERT_EQ(list_append(outer, inner), 0);
    ASSERT_EQ(list_add_var_holder(7, 0, outer), 0);
    ASSERT_EQ(list_add_var_holder(8, 2, outer), 0);
    s_signals.clear();
    ASSERT_EQ(list_append(inner, integer(1)), 0);
    EXPECT_EQ(s_signals, (std::vector<uint32_t> { 7u << 16, 8u << 16 | 2 }));
    ASSERT_EQ(list_drop_var_holder(8, 2, outer), 0);
    EXPECT_EQ(list_drop_var_holder(8, 2, outer), kValErrBadList);
    s_signals.clear();
    ASSERT_EQ(list_delete_at(inner, 1), 0);
    EXPECT_EQ(s_signals, (std::vector<uint32_t> { 7u << 16 }));
}

TEST_F(ListTest, AFreedSlotIsToldFromItsNewObject)
{
    ScriptValue old;
    val_init(old);
    ASSERT_EQ(list_new(kValLinearList, 2, old), 1);
    uint32_t id = list_check_value(old);
    EXPECT_NE(id, 0u);
    ScriptValue stale = old;
    EXPECT_EQ(list_release(old), 0u);
    ScriptValue fresh = make(kValLinearList);
    EXPECT_EQ(val_object_id(fresh), id);
    EXPECT_EQ(list_check_value(stale), 0u);
    EXPECT_EQ(list_check_value(fresh), id);
    EXPECT_EQ(list_release(stale), kListNotLive);
    EXPECT_EQ(list_count(fresh), 0);
    ScriptValue element;
    EXPECT_EQ(list_get_at(stale, 1, element), kValErrBadList);
}

TEST_F(ListTest, NestedListsSurviveSaveAndRestore)
{
    ScriptValue inner = make(kValPropList);
    ASSERT_EQ(list_prop_add(inner, symbol("k"), text("v")), 0);
    ScriptValue outer = make(kValLinearList, { integer(1) });
    ASSERT_EQ(list_append(outer, inner), 0);
    ASSERT_EQ(list_add_var_holder(3, 0, outer), 0);

    uint32_t inner_size = 0, outer_size = 0;
    MemHandle inner_block = list_save_value(inner, &inner_size);
    MemHandle outer_block = list_save_value(outer, &outer_size);
    EXPECT_EQ(inner_size, 13u + 8 + 2 * 16); // one holder, one pair
    EXPECT_EQ(outer_size, 13u + 8 + 2 * 16);
    std::vector<uint8_t> inner_bytes(static_cast<uint8_t*>(mem_address(inner_block)),
        static_cast<uint8_t*>(mem_address(inner_block)) + inner_size);
    std::vector<uint8_t> outer_bytes(static_cast<uint8_t*>(mem_address(outer_block)),
        static_cast<uint8_t*>(mem_address(outer_block)) + outer_size);
    mem_free(inner_block);
    mem_free(outer_block);
    uint32_t outer_id = val_object_id(outer), inner_id = val_object_id(inner);
    // A few unrelated lists take the freed ids' places first.
    for (ScriptValue& v : owned_)
        val_free(v);
    owned_.clear();
    for (int i = 0; i < 3; ++i)
        make(kValLinearList);

    ScriptValue restored_outer, restored_inner;
    val_set_object(kValLinearList, outer_id, 0, restored_outer);
    val_set_object(kValPropList, inner_id, 0, restored_inner);
    ScriptValue early = restored_outer;
    EXPECT_EQ(list_restore_value(outer_bytes.data(), outer_bytes.size(), early), kValErrNoRestore);
    ASSERT_EQ(list_restore_begin(), 0);
    ASSERT_EQ(list_restore_value(outer_bytes.data(), outer_bytes.size(), restored_outer), 0);
    ASSERT_EQ(list_restore_value(inner_bytes.data(), inner_bytes.size(), restored_inner), 0);
    uint32_t new_outer = list_map_restored_id(outer_id), new_inner = list_map_restored_id(inner_id);
    EXPECT_NE(new_outer, outer_id);
    ASSERT_EQ(list_restore_end(), 0);
    val_put_u32(restored_outer, 2, new_outer);
    val_put_u32(restored_inner, 2, new_inner);
    EXPECT_EQ(describe(restored_outer), "l:[1, [#k:\"v\"]]");
    ScriptValue element;
    ASSERT_EQ(list_get_at(restored_outer, 2, element), 0);
    EXPECT_EQ(val_object_id(element), new_inner);
    EXPECT_EQ(val_equal(element, restored_inner), 1);
    val_free(element);
    val_free(restored_inner); // the outer list still holds it
    EXPECT_EQ(describe(restored_outer), "l:[1, [#k:\"v\"]]");
    val_free(restored_outer);
}

TEST_F(ListTest, DamagedSavedBlocksRestoreNothing)
{
    static const struct {
        const char* name;
        int kind;
        const char* hex;
    } kRows[] = {
        { "shorter than the header", kValLinearList, "07 00000000 00000000" },
        { "another kind", kValPropList, "07 00000000 00000000 00000000" },
        { "not a list kind", 4, "04 00000000 00000000 00000000" },
        { "holders not whole records", kValLinearList, "07 04000000 00000000 00000000 01000000" },
        { "holders past the end", kValLinearList, "07 08000000 00000000 00000000" },
        { "elements past the end", kValLinearList, "07 00000000 01000000 10000000 0001 0000 0000 0000" },
        { "count and bytes differ", kValLinearList,
            "07 00000000 02000000 10000000 0001 0100 0000 0000 0000 0000 0000 0000" },
        { "values of a pair list missing", kValPropList,
            "08 00000000 01000000 10000000 0001 0100 0000 0000 0000 0000 0000 0000" },
        { "rect with three numbers", kValRect, "05 00000000 03000000 0c000000 01000000 02000000 03000000" },
        { "holder of an unknown kind", kValLinearList, "07 08000000 00000000 00000000 0300 01000000 0000" },
        { "a handle string", kValLinearList,
            "07 00000000 01000000 10000000 0000 0100 0900 0000 0100 0000 0000 0000" },
        { "inline string without its NUL", kValLinearList,
            "07 00000000 01000000 10000000 0000 0000 0900 0000 6161 6161 6161 6161" },
        { "inline string of a wrong length", kValLinearList,
            "07 00000000 01000000 10000000 0000 0000 0500 0000 6100 0000 0000 0000" },
        { "an object of id 0", kValLinearList,
            "07 00000000 01000000 10000000 0007 0000 0000 0000 0000 0000 0000 0000" },
        { "a first byte not 0", kValLinearList,
            "07 00000000 01000000 10000000 0101 0100 0000 0000 0000 0000 0000 0000" },
        { "a type past the lists", kValLinearList,
            "07 00000000 01000000 10000000 000a 0100 0000 0000 0000 0000 0000 0000" },
    };
    ASSERT_EQ(list_restore_begin(), 0);
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.name);
        std::vector<uint8_t> block = hex_bytes(row.hex);
        ScriptValue v;
        val_set_object(row.kind, 77, 0, v);
        EXPECT_EQ(list_restore_value(block.data(), block.size(), v), kValErrBadList);
        EXPECT_EQ(list_map_restored_id(77), 77u);
    }
    // A sound one of each form, for contrast.
    std::vector<uint8_t> good = hex_bytes("07 00000000 01000000 10000000 0000 0000 0200 0000 6100 0000 0000 0000");
    ScriptValue v;
    val_set_object(kValLinearList, 77, 0, v);
    EXPECT_EQ(list_restore_value(good.data(), good.size(), v), 0);
    EXPECT_EQ(describe(v), "l:[\"a\"]");
    val_put_u32(v, 2, list_map_restored_id(77));
    list_restore_end();
    EXPECT_EQ(list_release(v), 0u);
}

TEST_F(ListTest, PairsAtAnIndex)
{
    using PairOp = int (*)(const ScriptValue& list, int i, const ScriptValue& key, const ScriptValue& x);
    static const struct {
        const char* name;
        PairOp op;
        int index;
        int status;
        const char* expected;
    } kCases[] = {
        { "set the first", list_prop_set_at, 1, 0, "l:[#x:9, #b:2]" },
        { "set past the count", list_prop_set_at, 4, 0, "l:[#a:1, #b:2, 0:0, #x:9]" },
        { "set at 0", list_prop_set_at, 0, kValErrBadList, "l:[#a:1, #b:2]" },
        { "set past the limit", list_prop_set_at, 32768, kValErrBadList, "l:[#a:1, #b:2]" },
        { "insert first", list_prop_insert_at, 1, 0, "l:[#x:9, #a:1, #b:2]" },
        { "insert last", list_prop_insert_at, 3, 0, "l:[#a:1, #b:2, #x:9]" },
        { "insert past the count", list_prop_insert_at, 4, 0, "l:[#a:1, #b:2, 0:0, #x:9]" },
        { "insert at 0", list_prop_insert_at, 0, kValErrBadList, "l:[#a:1, #b:2]" },
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        ScriptValue props = make(kValPropList);
        ASSERT_EQ(list_prop_add(props, symbol("a"), integer(1)), 0);
        ASSERT_EQ(list_prop_add(props, symbol("b"), integer(2)), 0);
        EXPECT_EQ(c.op(props, c.index, symbol("x"), integer(9)), c.status);
        EXPECT_EQ(describe(props), c.expected);
        // A pair naming the list itself is refused whole: neither half changes.
        EXPECT_EQ(c.op(props, 1, symbol("y"), props), kValErrBadList);
        EXPECT_EQ(describe(props), c.expected);
        ScriptValue linear = make(kValLinearList, { integer(1) });
        EXPECT_EQ(c.op(linear, 1, symbol("x"), integer(9)), kValErrBadList);
    }
}

TEST_F(ListTest, SortedPropertyListsKeepTheirOrderWhenAdding)
{
    static const struct {
        const char* name;
        int order;
        const char* expected;
    } kCases[] = {
        { "ascending", 1, "l:[#b:2, #c:3, #d:4]" },
        { "descending", 2, "l:[#d:4, #c:3, #b:2]" },
        { "no order: appended", 0, "l:[#d:4, #b:2, #c:3]" },
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        ScriptValue props = make(kValPropList);
        ASSERT_EQ(list_prop_add(props, symbol("d"), integer(4)), 0);
        ASSERT_EQ(list_prop_add(props, symbol("b"), integer(2)), 0);
        if (c.order) {
            ASSERT_EQ(list_sort(props, c.order), 0);
        }
        ASSERT_EQ(list_prop_set(props, symbol("c"), integer(3)), 0); // a new key: added
        EXPECT_EQ(describe(props), c.expected);
        EXPECT_EQ(list_sort_order(props), c.order);
        ScriptValue out;
        EXPECT_EQ(list_prop_get(props, symbol("c"), out), 0);
        EXPECT_EQ(describe(out), "i:3");
        EXPECT_EQ(list_find_value(props, symbol("c"), 0), 2 + (c.order == 0));
    }
}

TEST_F(ListTest, RectAndPointFieldsSignalTheirHolders)
{
    CalcHooks hooks {};
    hooks.trig_mark_variable = record_signal;
    calc_set_hooks(&hooks);
    ScriptValue rect = make(kValRect), point = make(kValPoint);
    ASSERT_EQ(list_add_var_holder(4, 0, rect), 0);
    ASSERT_EQ(list_add_var_holder(5, 0, point), 0);
    s_signals.clear();
    ASSERT_EQ(list_rect_set(rect, 1, 2, 640, 480), 0);
    ASSERT_EQ(list_point_set(point, -3, 7), 0);
    ASSERT_EQ(list_set_at(point, 1, integer(10)), 0);
    EXPECT_EQ(s_signals, (std::vector<uint32_t> { 4u << 16, 5u << 16, 5u << 16 }));
    EXPECT_EQ(describe(rect), "l:rect(1, 2, 640, 480)");
    int32_t l = 0, t = 0, r = 0, b = 0, x = 0, y = 0;
    ASSERT_EQ(list_rect_get(rect, &l, &t, &r, &b), 0);
    EXPECT_EQ((std::vector<int32_t> { l, t, r, b }), (std::vector<int32_t> { 1, 2, 640, 480 }));
    ASSERT_EQ(list_point_get(point, &x, &y), 0);
    EXPECT_EQ(x, 10);
    EXPECT_EQ(y, 7);
    // Each kind answers for its own fields only.
    EXPECT_EQ(list_rect_get(point, &l, &t, &r, &b), kValErrBadList);
    EXPECT_EQ(list_point_set(rect, 0, 0), kValErrBadList);
    EXPECT_EQ(list_point_get(make(kValLinearList), &x, &y), kValErrBadList);
    EXPECT_EQ(describe(rect), "l:rect(1, 2, 640, 480)");
}

TEST_F(ListTest, HolderRecordsAndChains)
{
    ScriptValue outer = make(kValLinearList), inner = make(kValLinearList);
    uint32_t size = 99;
    EXPECT_FALSE(list_collect_holders(val_object_id(inner), &size));
    EXPECT_EQ(size, 0u);
    ASSERT_EQ(list_add_var_holder(0x2001, 3, inner), 0);
    ASSERT_EQ(list_append(outer, inner), 0);
    MemHandle records = list_collect_holders(val_object_id(inner), &size);
    ASSERT_TRUE(records);
    char outer_id[9];
    std::snprintf(outer_id, sizeof outer_id, "%02x000000", unsigned(val_object_id(outer)));
    std::vector<uint8_t> expected = hex_bytes((std::string("0100 01200000 0300 0200 ") + outer_id + " 0000").c_str());
    const uint8_t* bytes = static_cast<const uint8_t*>(mem_address(records));
    EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + size), expected);
    uint32_t chain = list_insert_holders(bytes, size);
    EXPECT_NE(chain, 0u);
    uint32_t second = list_insert_holders(bytes, kListHolderBytes);
    EXPECT_NE(second, chain);
    list_free_holder_chain(chain);
    EXPECT_EQ(list_insert_holders(bytes, size), chain); // a freed chain's slot is taken again
    list_free_holder_chain(chain);
    list_free_holder_chain(second);
    mem_free(records);

    static const struct {
        const char* name;
        const char* hex;
    } kDamaged[] = {
        { "no records", "" },
        { "part of a record", "0100 01000000" },
        { "a holder of kind 3", "0300 01000000 0000" },
        { "a holder of kind 0", "0100 01000000 0000 0000 00000000 0000" },
    };
    for (const auto& row : kDamaged) {
        SCOPED_TRACE(row.name);
        std::vector<uint8_t> block = hex_bytes(row.hex);
        EXPECT_EQ(list_insert_holders(block.data(), uint32_t(block.size())), 0u);
    }
}
