// The list functions that change a list in place signal the variables holding it, as the list
// table's own setters do, once per change.
#include <vector>

#include <gtest/gtest.h>

#include "runtime/calc/calc_hooks.h"
#include "runtime/calc/list_table.h"
#include "runtime/calc/sysfn_table.h"
#include "tests/calc/compile_fixture.h"

namespace {

std::vector<uint32_t> s_marked;
void mark(uint32_t variable, uint16_t) { s_marked.push_back(variable); }

class ListFunctionTest : public calctest::FunctionTableTest {
protected:
    void SetUp() override
    {
        FunctionTableTest::SetUp();
        CalcHooks hooks {};
        hooks.trig_mark_variable = mark;
        calc_set_hooks(&hooks);
        s_marked.clear();
    }
    // A list of kind with the integers, held by variable 5.
    ScriptValue held_list(int kind, std::vector<int> items)
    {
        ScriptValue list;
        val_init(list);
        EXPECT_EQ(list_new(kind, kind == kValRect ? 4 : 0, list), 1);
        for (size_t i = 0; i < items.size(); ++i) {
            ScriptValue x;
            val_set_integer(items[i], x);
            EXPECT_EQ(list_set_at(list, int(i + 1), x), 0);
        }
        EXPECT_EQ(list_add_var_holder(5, 0, list), 0);
        s_marked.clear();
        return list;
    }
    int call(int index, std::vector<ScriptValue> args)
    {
        ScriptValue result;
        val_init(result);
        EXPECT_EQ(sysfn_call(0, kSysFnFirstId + index, int(args.size()), args.data(), result), 0);
        int answer = val_integer(result);
        val_free(result);
        return answer;
    }
    static ScriptValue integer(int x)
    {
        ScriptValue v;
        val_set_integer(x, v);
        return v;
    }
};

TEST_F(ListFunctionTest, InPlaceChangesSignalTheHolder)
{
    static const struct {
        const char* name;
        int kind;
        int index;
        std::vector<int> extra; // arguments after the list
    } kRows[] = {
        { "InflateRect", kValRect, 227, { 1, 1 } },
        { "OffsetRect", kValRect, 230, { 2, 3 } },
        { "AddLinear", kValLinearList, 209, { 9 } },
        { "DeleteAtIndex", kValLinearList, 213, { 1 } },
        { "SetAtIndex", kValLinearList, 218, { 7, 2 } },
        { "SortByValue", kValLinearList, 219, {} },
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.name);
        ScriptValue list = held_list(row.kind, { 3, 1, 2, 0 });
        std::vector<ScriptValue> args { list };
        for (int x : row.extra)
            args.push_back(integer(x));
        EXPECT_EQ(call(row.index, args), 0);
        EXPECT_FALSE(s_marked.empty());
        for (uint32_t v : s_marked)
            EXPECT_EQ(v, 5u);
        list_drop_var_holder(5, 0, list);
        val_free(list);
    }
}

// A gone list answers like no list at all: -1, or the extremes Min and Max start from.
TEST_F(ListFunctionTest, AGoneListIsNoList)
{
    ScriptValue list = held_list(kValLinearList, { 4 });
    ScriptValue stale = list;
    list_drop_var_holder(5, 0, list);
    val_free(list);
    EXPECT_EQ(call(212, { stale }), -1);          // ListCount
    EXPECT_EQ(call(223, { stale }), 2147483647);  // Min
    EXPECT_EQ(call(224, { stale }), -2147483647 - 1); // Max
    EXPECT_EQ(call(219, { stale }), -1);          // SortByValue
}

} // namespace
