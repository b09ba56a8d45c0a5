// The system-function catalogue: its size and names, rows checked by hand against the
// catalogue, the name index and the compile-time queries.
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "runtime/calc/sysfn_table.h"
#include "tests/calc/compile_fixture.h"

namespace {


class SysFnTest : public calctest::FunctionTableTest {
protected:
    static std::string name_of(int index)
    {
        char name[64];
        EXPECT_EQ(sysfn_name(name, sizeof name, kSysFnFirstId + index), 0);
        return name;
    }
};

TEST_F(SysFnTest, EveryIndexButOneHasItsOwnName)
{
    std::set<std::string> lower;
    int nameless = -1;
    for (int i = 0; i < kSysFnCount; ++i) {
        std::string name = name_of(i);
        if (name.empty()) {
            nameless = i;
            continue;
        }
        EXPECT_LE(name.size(), size_t(kSysFnNameMax));
        for (char& c : name)
            c = char(std::tolower(static_cast<unsigned char>(c)));
        EXPECT_TRUE(lower.insert(name).second) << name;
        EXPECT_EQ(sysfn_find(name.c_str()), kSysFnFirstId + i) << name;
    }
    EXPECT_EQ(lower.size(), 327u);
    EXPECT_EQ(nameless, 190);
}

struct CatalogueRow {
    int index;
    const char* name;
    const char* signature;
    int result, category, scope;
    uint32_t flags;
};

// Rows read off the catalogue by hand: the first and last, each result type, a calc-only one,
// flags 4, 6, 8 and 10, an empty signature, a repeat, a reference signature.
static const CatalogueRow kRows[] = {
    { 0, "ABS", "N", kValNumber, 1, 2, 2 },
    { 15, "NBF__", "a.", kValInteger, 99, 2, 2 },
    { 17, "WaitMouseUp", "", kValInteger, 3, 2, 0 },
    { 43, "Quit", "l", kValInteger, 3, 1, 0 },
    { 46, "List", "A", kValAny, 15, 2, 6 },
    { 49, "PostURL", "SSll", kValString, 14, 2, 8 },
    { 54, "Eval", "Sss", kValAny, 2, 2, 4 },
    { 60, "WriteExtFile", "SS", kValInteger, 8, 1, 10 },
    { 69, "Initialize", "vvvvvvvvvv", kValInteger, 3, 1, 0 },
    { 125, "SetMoov", "a.", kValInteger, 97, 2, 2 },
    { 190, "", "Sl", kValInteger, 99, 2, 0 },
    { 235, "Symbol", "A", kValSymbol, 2, 2, 2 },
    { 237, "Real", "A", kValReal, 1, 2, 2 },
    { 311, "CMIAddInteractionEx", "SSSSSSSSSSS", kValInteger, 17, 2, 2 },
    { 327, "SaveFile", "s", kValInteger, 16, 1, 10 },
};

TEST_F(SysFnTest, RowsMatchTheCatalogue)
{
    for (const CatalogueRow& row : kRows) {
        SCOPED_TRACE(row.index);
        int id = kSysFnFirstId + row.index;
        const SysFunctionDesc& d = sysfn_desc(id);
        EXPECT_EQ(name_of(row.index), row.name);
        EXPECT_STREQ(d.signature, row.signature);
        EXPECT_EQ(d.result_type, row.result);
        EXPECT_EQ(d.category, row.category);
        EXPECT_EQ(sysfn_calc_only(id), row.scope);
        EXPECT_EQ(d.flags, row.flags);
        // calc binds its own handlers; the others wait for the modules that build them.
        bool no_effect = row.index == 15 || row.index == 125;
        bool calc_own = row.index == 0 || row.index == 46 || row.index == 54 || row.index == 235 || row.index == 237;
        if (no_effect)
            EXPECT_EQ(d.handler, sysfn_no_op);
        else if (calc_own)
            EXPECT_TRUE(d.handler != nullptr && d.handler != sysfn_no_op);
        else
            EXPECT_EQ(d.handler, nullptr);
    }
}

TEST_F(SysFnTest, LookupForCompile)
{
    static const struct {
        const char* name;
        int result, id;
    } kCases[] = {
        { "abs", 0, 31000 },
        { "ABS", 0, 31000 },
        { "Abs", 0, 31000 },
        { "savefile", 0, 31327 },
        { "RefreshScreen", 21, 31128 }, // category 97: known, not defined
        { "NoSuchFunction", 21, 0 },
        { "", 21, 0 },
        { "a234567890123456789012345678901234567890", 21, 0 },  // 40 characters: looked up
        { "a2345678901234567890123456789012345678901", 27, 0 }, // 41: too long first
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        int id = -1;
        EXPECT_EQ(sysfn_lookup_for_compile(c.name, &id), c.result);
        EXPECT_EQ(id, c.id);
    }
}

TEST_F(SysFnTest, ArgumentQueries)
{
    static const struct {
        int index, min, max;
        int classes[4]; // positions 0 to 3
    } kCases[] = {
        { 126, 1, kSysFnUnbounded, { kValInteger, kValAny, kValAny, kValAny } },    // BackDoor "La."
        { 12, 3, 3, { kValString, kValInteger, kValInteger, kSysFnNoClass } },    // SubStr "SLL"
        { 13, 1, 2, { kValReal, kValInteger, kSysFnNoClass, kSysFnNoClass } },    // Round "Rl"
        { 17, 0, 0, { kSysFnNoClass, kSysFnNoClass, kSysFnNoClass, kSysFnNoClass } }, // ""
        { 199, 1, kSysFnUnbounded, { kValString, kValAny, kValAny, kValAny } },   // NewObject "Sa."
        { 69, 0, 10, { kValReference, kValReference, kValReference, kValReference } }, // "vvv..."
        { 203, 3, 3, { kValInteger, kValSymbol, kValAny, kSysFnNoClass } },       // "LYA"
        { 0, 1, 1, { kValNumber, kSysFnNoClass, kSysFnNoClass, kSysFnNoClass } },
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.index);
        int id = kSysFnFirstId + c.index;
        EXPECT_EQ(sysfn_min_args(id), c.min);
        EXPECT_EQ(sysfn_max_args(id), c.max);
        for (int p = 0; p < 4; ++p)
            EXPECT_EQ(sysfn_arg_class(id, p), c.classes[p]) << p;
    }
    EXPECT_EQ(sysfn_arg_class(kSysFnFirstId + 199, 5), kValAny);
}

TEST_F(SysFnTest, FlagsAndNamesOutsideTheTable)
{
    EXPECT_TRUE(sysfn_has_flag(kSysFnFirstId + 60, kSysFnIoStatus));
    EXPECT_TRUE(sysfn_has_flag(kSysFnFirstId + 60, kSysFnOnTarget));
    EXPECT_FALSE(sysfn_has_flag(kSysFnFirstId + 60, kSysFnEvalStatus));
    EXPECT_FALSE(sysfn_has_flag(30999, ~0u));
    EXPECT_FALSE(sysfn_has_flag(31328, ~0u));
    char name[64] = "x";
    EXPECT_EQ(sysfn_name(name, sizeof name, 31328), 21);
    EXPECT_STREQ(name, "");
    EXPECT_EQ(sysfn_find("Test"), kSysFnFirstId + 44);
}

static void answer_seven(int argc, ScriptValue* args, ScriptValue& result)
{
    val_set_integer(argc == 1 && val_type(args[0]) == kValInteger ? val_integer(args[0]) + 7 : -1, result);
}

TEST_F(SysFnTest, UnboundCallsStopAndBoundOnesConvertTheirArguments)
{
    ScriptValue arg, result;
    val_set_string(arg, "5");
    val_init(result);
    EXPECT_EQ(sysfn_call(0, kSysFnFirstId + 16, 1, &arg, result), 21); // SetCursor unbound
    EXPECT_EQ(val_type(result), kValString);
    ASSERT_EQ(sysfn_bind(16, answer_seven), 1);
    EXPECT_EQ(sysfn_bind(328, answer_seven), 0);
    EXPECT_EQ(sysfn_call(0, kSysFnFirstId + 16, 1, &arg, result), 0); // "L": the text becomes 5
    EXPECT_EQ(val_integer(result), 12);
    EXPECT_EQ(sysfn_call(0, kSysFnFirstId + 16, 0, &arg, result), 29);
    EXPECT_EQ(sysfn_call(0, 40000, 1, &arg, result), 0); // not a system function: nothing
    EXPECT_EQ(sysfn_call(0, kSysFnFirstId + 15, 1, &arg, result), 0); // NBF__: no effect, 0
    EXPECT_EQ(val_type(result), kValInteger);
    EXPECT_EQ(val_integer(result), 0);
    val_free(arg);
}

// Handlers for the call path: one that leaves no text, one that answers in another type, and
// two that look at the context icon, the outer one around a nested call.
static uint32_t s_seen_icon = 0;
static void leaves_nothing(int, ScriptValue*, ScriptValue&) { }
static void answers_real(int, ScriptValue*, ScriptValue& result) { val_set_real(2.0, result); }
static void records_icon(int, ScriptValue*, ScriptValue& result)
{
    s_seen_icon = sysfn_current_icon();
    val_set_integer(int32_t(s_seen_icon), result);
}
static void calls_nested(int, ScriptValue*, ScriptValue& result)
{
    ScriptValue inner;
    val_init(inner);
    EXPECT_EQ(sysfn_call(99, kSysFnFirstId + 17, 0, nullptr, inner), 0); // WaitMouseUp
    EXPECT_EQ(val_integer(inner), 99);
    val_set_integer(int32_t(sysfn_current_icon()), result);
}

TEST_F(SysFnTest, ResultsTakeTheFunctionsTypeAndTheContextIconNests)
{
    ASSERT_EQ(sysfn_bind(50, leaves_nothing), 1); // IconTitle: a string
    ASSERT_EQ(sysfn_bind(41, answers_real), 1);   // ZoomRect: an integer
    ASSERT_EQ(sysfn_bind(17, records_icon), 1);   // WaitMouseUp
    ASSERT_EQ(sysfn_bind(51, calls_nested), 1);   // Beep
    ASSERT_EQ(sysfn_bind(69, records_icon), 1);   // Initialize: references only
    ScriptValue args[2], result;
    val_set_integer(1, args[0]);
    val_set_integer(2, args[1]);
    val_init(result);
    ASSERT_EQ(sysfn_call(7, kSysFnFirstId + 50, 1, args, result), 0);
    EXPECT_EQ(val_type(result), kValString);
    EXPECT_EQ(val_is_empty_string(result), 1);
    ASSERT_EQ(sysfn_call(7, kSysFnFirstId + 41, 2, args, result), 0);
    EXPECT_EQ(val_type(result), kValInteger);
    EXPECT_EQ(val_integer(result), 2);
    ASSERT_EQ(sysfn_call(7, kSysFnFirstId + 51, 0, nullptr, result), 0);
    EXPECT_EQ(val_integer(result), 7); // the outer call's icon again after the nested one
    EXPECT_EQ(sysfn_current_icon(), 0u);
    s_seen_icon = 12345;
    EXPECT_EQ(sysfn_call(7, kSysFnFirstId + 69, 1, args, result), 16); // not a reference
    EXPECT_EQ(s_seen_icon, 12345u);                                    // nothing ran
    EXPECT_EQ(sysfn_call(7, kSysFnFirstId + 41, 3, args, result), 15);
    EXPECT_EQ(sysfn_call_hook(7, 40000, 0, nullptr, result), 21);      // no such function
}

} // namespace
