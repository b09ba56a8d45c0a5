#include "tests/calc/calc_fixture.h"

#include "runtime/base/mem.h"

#include <cmath>
#include <cstring>
#include <limits>

using namespace calctest;

namespace {

// A value from its short form: "s:text", "i:12", "r:1.5", "y:name", "ref".
ScriptValue make(const std::string& form)
{
    ScriptValue v;
    std::string body = form.size() > 2 ? form.substr(2) : "";
    switch (form[0]) {
    case 'i':
        val_set_integer(int32_t(std::stol(body)), v);
        break;
    case 'r':
        val_set_real(body == "nan" ? std::nan("") : std::stod(body), v);
        break;
    case 'y':
        val_set_symbol(symdict_intern(body.c_str(), 1), v);
        break;
    case 'R':
        val_set_reference(5, 0, 0, v);
        break;
    default:
        val_set_string(v, body.c_str());
    }
    return v;
}

struct ConvertCase {
    const char* name;
    char decimal; // 0: the row holds under both separators
    const char* source;
    int target;
    const char* expected;
};

const ConvertCase kConvertCases[] = {
    // Logical words match whole texts, ignoring case.
    { "TRUE", 0, "s:TRUE", kValInteger, "i:1" },
    { "t", 0, "s:t", kValInteger, "i:1" },
    { "Yes", 0, "s:Yes", kValInteger, "i:1" },
    { "ON", 0, "s:ON", kValInteger, "i:1" },
    { "false", 0, "s:false", kValInteger, "i:0" },
    { "F", 0, "s:F", kValInteger, "i:0" },
    { "no", 0, "s:no", kValInteger, "i:0" },
    { "Off", 0, "s:Off", kValInteger, "i:0" },
    { "blanks before a word", 0, "s:  yes", kValInteger, "i:0" },
    { "word to real", 0, "s:yes", kValReal, "r:1" },
    // Number characters are picked out, then read up to the first other one.
    { "text with a fraction", 0, "s:12.99", kValInteger, "i:12" },
    { "letters dropped", 0, "s:12abc3", kValInteger, "i:123" },
    { "second sign ends", 0, "s:1-2", kValInteger, "i:1" },
    { "empty text", 0, "s:", kValInteger, "i:0" },
    { "exponent letter dropped", 0, "s:1e3", kValReal, "r:13" },
    { "comma not a separator", '.', "s:1,234", kValInteger, "i:1234" },
    { "comma as the separator", ',', "s:1,234", kValInteger, "i:1" },
    { "comma decimal to real", ',', "s:3,5", kValReal, "r:3.5" },
    { "comma dropped to real", '.', "s:3,5", kValReal, "r:35" },
    { "point always a separator", ',', "s:2.5", kValReal, "r:2.5" },
    // Reals truncate toward zero and saturate.
    { "real truncates", 0, "r:12.99", kValInteger, "i:12" },
    { "negative real truncates", 0, "r:-12.99", kValInteger, "i:-12" },
    { "NaN gives 0", 0, "r:nan", kValInteger, "i:0" },
    { "huge real saturates", 0, "r:1e300", kValInteger, "i:2147483647" },
    { "huge negative saturates", 0, "r:-1e300", kValInteger, "i:-2147483648" },
    { "integer to real", 0, "i:-7", kValReal, "r:-7" },
    // The number target: long texts and separators make reals.
    { "nine digits", 0, "s:123456789", kValNumber, "i:123456789" },
    { "ten digits", 0, "s:1234567890", kValNumber, "r:1234567890" },
    { "point", 0, "s:1.0", kValNumber, "r:1" },
    { "locale separator", ',', "s:1,5", kValNumber, "r:1.5" },
    { "comma is no separator", '.', "s:1,5", kValNumber, "i:15" },
    { "symbol to number", 0, "y:abc", kValNumber, "i:0" },
    { "integer stays", 0, "i:4", kValNumber, "i:4" },
    // Number text.
    { "integer text", 0, "i:-42", kValString, "s:-42" },
    { "real with point", '.', "r:1.5", kValString, "s:1.5" },
    { "real with comma", ',', "r:1.5", kValString, "s:1,5" },
    { "whole real", 0, "r:2.0", kValString, "s:2" },
    { "a third", '.', "r:0.3333333333333333", kValString, "s:0.33333333333" },
    { "no thousands", '.', "r:1234567.25", kValString, "s:1234567.25" },
    // Symbols.
    { "symbol to text", 0, "y:abc", kValString, "s:#abc" },
    { "hash text to symbol", 0, "s:#abc", kValSymbol, "y:#abc" },
    { "plain text to symbol", 0, "s:abc", kValSymbol, "y:#abc" },
    { "identifier part only", 0, "s:ab c", kValSymbol, "y:#ab" },
    { "symbol via its text", 0, "y:abc", kValInteger, "i:0" },
    // References.
    { "reference to integer", 0, "R", kValInteger, "i:0" },
    { "reference to text", 0, "R", kValString, "s:" },
    { "reference to number", 0, "R", kValNumber, "i:0" },
    { "any leaves it", 0, "s:x", kValAny, "s:x" },
};

} // namespace

class ValueTest : public CalcTest { };

TEST_F(ValueTest, ConversionRowsUnderBothSeparators)
{
    for (char decimal : { '.', ',' }) {
        DecimalScope locale(decimal);
        for (const ConvertCase& row : kConvertCases) {
            if (row.decimal && row.decimal != decimal)
                continue;
            SCOPED_TRACE(std::string(row.name) + " with " + decimal);
            ScriptValue v = make(row.source);
            val_convert(v, row.target);
            EXPECT_EQ(describe(v), row.expected);
            val_free(v);
        }
    }
}

TEST_F(ValueTest, InlineUpToEightBytesWithTheNul)
{
    static const struct {
        const char* text;
        int storage;
    } kRows[] = { { "", kStoreInline }, { "1234567", kStoreInline }, { "12345678", kStoreHandle } };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.text);
        ScriptValue v;
        ASSERT_EQ(val_set_string(v, row.text), 1);
        EXPECT_EQ(val_storage(v), row.storage);
        EXPECT_EQ(val_length(v), int32_t(std::strlen(row.text) + 1));
        EXPECT_EQ(v.bytes[0], 0);
        EXPECT_EQ(text_of(v), row.text);
        val_free(v);
        EXPECT_TRUE(val_is_empty_string(v)); // a second free finds nothing to release
        val_free(v);
    }
}

TEST_F(ValueTest, ACopyOwnsItsText)
{
    ScriptValue a, b;
    val_set_string(a, "a long text of its own");
    ASSERT_EQ(val_copy(b, a), 0);
    EXPECT_NE(val_u16(a, 8), val_u16(b, 8)); // another block
    val_free(a);
    EXPECT_EQ(text_of(b), "a long text of its own");
    val_free(b);

    static const char kConstant[] = "from the pool of a block";
    val_set_constant(a, kConstant, sizeof kConstant - 1);
    ASSERT_EQ(val_copy(b, a), 0);
    EXPECT_EQ(val_storage(b), kStoreHandle);
    EXPECT_EQ(text_of(b), kConstant);
    val_free(b);
    ASSERT_EQ(val_copy(a, a), 0); // onto itself: now a text of its own
    EXPECT_EQ(val_storage(a), kStoreHandle);
    val_free(a);
}

TEST_F(ValueTest, AppendingGrowsATextOfItsOwn)
{
    static const char kConstant[] = "constant";
    static const struct {
        const char* name;
        const char* start; // null: the constant
        const char* tail;
        size_t limit;
        int result;
        const char* text; // after
        int storage;
    } kRows[] = {
        { "inline stays inline", "abc", "defg", 100, 1, "abcdefg", kStoreInline },
        { "inline outgrows its bytes", "abc", "defgh", 100, 1, "abcdefgh", kStoreHandle },
        { "a block grows", "a long text", " and more", 100, 1, "a long text and more", kStoreHandle },
        { "up to the limit", "abc", "de", 5, 1, "abcde", kStoreInline },
        { "past the limit", "abc", "def", 5, -1, "abc", kStoreInline },
        { "a constant is not its own", nullptr, "x", 100, -1, "constant", kStoreAddress },
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.name);
        ScriptValue v;
        if (row.start)
            val_set_string(v, row.start);
        else
            val_set_constant(v, kConstant, sizeof kConstant - 1);
        EXPECT_EQ(val_append_text(v, row.tail, std::strlen(row.tail), row.limit), row.result);
        EXPECT_EQ(text_of(v), row.text);
        EXPECT_EQ(val_storage(v), row.storage);
        EXPECT_EQ(val_length(v), int32_t(std::strlen(row.text) + 1));
        val_free(v);
    }
    // A text whose block has gone takes nothing, as when memory runs out.
    ScriptValue gone;
    val_set_string(gone, "a text in a block");
    mem_free(MemHandle { plat::load_u32le(gone.bytes + 8) });
    EXPECT_EQ(val_append_text(gone, "x", 1, 100), 0);
    EXPECT_EQ(val_storage(gone), kStoreHandle);
    val_init(gone);
    // Joined in turn, as a loop does: the block keeps room for the next part.
    ScriptValue v;
    val_set_string(v, "");
    std::string expected;
    for (int i = 0; i < 200; ++i) {
        std::string part = "x" + std::to_string(i);
        ASSERT_EQ(val_append_text(v, part.c_str(), part.size(), 30000), 1);
        expected += part;
    }
    EXPECT_EQ(text_of(v), expected);
    ScriptValue copy;
    ASSERT_EQ(val_copy(copy, v), 0);
    EXPECT_EQ(text_of(copy), expected);
    val_free(copy);
    val_free(v);
}

TEST_F(ValueTest, TakeStringAdoptsOrInlines)
{
    static const char* const kTexts[] = { "short", "a text past eight bytes" };
    for (const char* text : kTexts) {
        SCOPED_TRACE(text);
        MemHandle block = mem_alloc_copy(text, std::strlen(text) + 1);
        ScriptValue v;
        EXPECT_EQ(val_take_string(v, block.id), int32_t(std::strlen(text) + 1));
        EXPECT_EQ(text_of(v), text);
        val_free(v);
    }
    ScriptValue v;
    EXPECT_EQ(val_take_string(v, 0), 1);
    EXPECT_TRUE(val_is_empty_string(v));
}

TEST_F(ValueTest, OtherStoragesReadEmpty)
{
    ScriptValue v;
    val_init(v);
    v.bytes[2] = 9;
    EXPECT_EQ(text_of(v), "");
    EXPECT_FALSE(val_is_empty_string(v));
    v.bytes[2] = kStoreLearner; // no learner's records bound
    EXPECT_EQ(text_of(v), "");
    // An inline text without its NUL (a damaged stored value) reads empty, never past the value.
    val_init(v);
    std::memset(v.bytes + 8, 'x', 8);
    EXPECT_EQ(text_of(v), "");
}

TEST_F(ValueTest, Truth)
{
    static const struct {
        const char* value;
        int truth;
        const char* after;
    } kRows[] = {
        { "r:-0.0", 0, "i:0" }, { "r:0.5", 1, "i:1" }, { "i:-3", 1, "i:1" }, { "s:TRUE", 1, "i:1" },
        { "s:off", 0, "i:0" }, { "s:", 0, "i:0" }, { "s:1", 1, "i:1" }, { "y:abc", 0, "i:0" },
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.value);
        ScriptValue v = make(row.value);
        EXPECT_EQ(val_is_true(v), row.truth);
        EXPECT_EQ(describe(v), row.after);
    }
}

TEST_F(ValueTest, EqualityAndTextOrder)
{
    static const struct {
        const char *a, *b;
        int equal;
        int order; // sign of val_compare_text
    } kRows[] = {
        { "s:abc", "s:ABC", 0, 1 },
        { "s:abc", "s:abd", 0, -1 },
        { "s:abc", "s:abc", 1, 0 },
        { "s:10", "s:9", 0, -1 },
        { "s:ab", "s:abc", 0, -1 },
        { "i:10", "s:10", 0, 0 }, // other types: never equal; no text order
        { "r:0.5", "r:0.5", 1, 0 },
        { "y:a", "y:A", 1, 0 }, // symbols ignore case
        { "R", "R", 0, 0 },
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(std::string(row.a) + " " + row.b);
        ScriptValue a = make(row.a), b = make(row.b);
        EXPECT_EQ(val_equal(a, b), row.equal);
        int order = val_compare_text(a, b);
        EXPECT_EQ((order > 0) - (order < 0), row.order);
        val_free(a);
        val_free(b);
    }
}

TEST_F(ValueTest, ObjectsCopyByReferenceAndDie)
{
    ScriptValue a, b, c;
    val_init(a);
    ASSERT_EQ(list_new(kValLinearList, 2, a), 1);
    val_init(b);
    ASSERT_EQ(list_new(kValLinearList, 2, b), 1);
    EXPECT_EQ(val_equal(a, b), 0); // same contents, other objects
    ASSERT_EQ(val_copy(c, a), 0);
    EXPECT_EQ(val_equal(a, c), 1);
    EXPECT_EQ(val_u16(a, 6), 0); // the address field is never used
    val_free(a);
    EXPECT_TRUE(list_is_live(c));
    ScriptValue stale = c;
    val_free(c);
    EXPECT_FALSE(list_is_live(stale));
    EXPECT_EQ(val_copy(a, stale), kValErrDeadObject);
    EXPECT_TRUE(val_is_empty_string(a));
    // A new object in the freed slot is not reached through the old value.
    ScriptValue reuse;
    val_init(reuse);
    ASSERT_EQ(list_new(kValLinearList, 0, reuse), 1);
    EXPECT_EQ(val_object_id(reuse), val_object_id(stale));
    EXPECT_EQ(list_add_ref(stale), kListNotLive);
    EXPECT_EQ(list_count(reuse), 0);
    val_free(reuse);
    val_free(b);
}

TEST_F(ValueTest, ObjectConversions)
{
    ScriptValue rect;
    val_init(rect);
    ASSERT_EQ(list_new(kValRect, 4, rect), 1);
    for (int i = 1; i <= 4; ++i) {
        ScriptValue n;
        val_set_integer(i * 10, n);
        ASSERT_EQ(list_set_element(rect, i, n), 0);
    }
    ScriptValue text;
    ASSERT_EQ(val_copy(text, rect), 0);
    val_convert(text, kValString);
    EXPECT_EQ(describe(text), "s:rect(10, 20, 30, 40)");
    val_free(text);

    val_convert(rect, kValLinearList);
    EXPECT_EQ(describe(rect), "l:[10, 20, 30, 40]");
    val_free(rect);

    static const struct {
        const char* source;
        int target;
        const char* expected;
    } kRows[] = {
        { "s:abc", kValLinearList, "l:[]" },
        { "i:5", kValRect, "l:rect(0, 0, 0, 0)" },
        { "s:x", kValPoint, "l:point(0, 0)" },
        { "s:x", kValPropList, "l:[:]" },
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.source);
        ScriptValue v = make(row.source);
        val_convert(v, row.target);
        EXPECT_EQ(describe(v), row.expected);
        ScriptValue scalar;
        val_copy(scalar, v);
        val_convert(scalar, kValInteger);
        EXPECT_EQ(describe(scalar), "i:0");
        val_convert(v, kValNumber);
        EXPECT_EQ(describe(v), "s:");
        val_free(v);
    }
}
