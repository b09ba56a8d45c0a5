// Calculations that the piece maker compiles into a piece: the properties as the node store
// reads them, which of them need evaluating, and embedded runs evaluated from their icon.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "runtime/base/symdict.h"
#include "runtime/calc/detok.h"
#include "runtime/calc/embedded.h"
#include "runtime/calc/interp_ops.h"
#include "runtime/calc/list_table.h"
#include "tests/calc/assembler.h"
#include "tests/calc/compile_fixture.h"
#include "tests/calc/interp_fixture.h"
#include "tests/runtime/node_fixture.h"

namespace {

constexpr const char* kDescription = R"(kind PCRS
var score 0
var "my total" 5
icon map "Top" {
    icon calc "Add" {
        calc "score := score + 1"
    }
    icon display "Show" {
        code 1600 "score * 2" nokept
        code 1601 "\"fixed\""
    }
    icon display "Twice"
    icon display "Twice"
}
)";

class PieceCalcTest : public nodetest::NodeTest {
protected:
    void SetUp() override
    {
        NodeTest::SetUp();
        ASSERT_EQ(symdict_create(), 0);
        ASSERT_EQ(list_tables_init(), 1);
        eval_reset();
        hooks_ = calctest::table_hooks();
        calc_set_hooks(&hooks_);
        ASSERT_EQ(open_piece(1, kDescription), 0);
    }
    void TearDown() override
    {
        calctest::variables().clear();
        calc_set_hooks(nullptr);
        eval_reset();
        list_tables_free();
        symdict_release();
        NodeTest::TearDown();
    }
    static std::vector<uint8_t> property(IconId icon, uint16_t tag)
    {
        uint16_t length = 0;
        uint8_t* data = node_lock_prop(icon, tag, &length);
        std::vector<uint8_t> bytes;
        if (data)
            bytes.assign(data, data + length);
        node_unlock_prop(icon, tag, 0, data);
        return bytes;
    }
    CalcHooks hooks_ {};
};

TEST_F(PieceCalcTest, CalcIconsHoldTheirCompiledStatements)
{
    IconId add = titled(1, "Add");
    ASSERT_NE(add, 0u);
    calctest::Assembler a;
    int16_t target = a.variable(1);
    a.variable(1); // the right side's first try as a target
    a.op(kOpPushVarRef, target), a.op(kOpPushVar, a.variable(1)), a.op(kOpPushShort, 1);
    a.op(kOpArith, kOperPlus), a.op(kOpAssign), a.op(kOpPop);
    std::vector<uint8_t> expected = a.build();
    std::vector<uint8_t> block = property(add, 1001);
    ASSERT_GT(block.size(), expected.size());
    EXPECT_EQ(std::vector<uint8_t>(block.begin() + 6, block.begin() + long(expected.size())),
        std::vector<uint8_t>(expected.begin() + 6, expected.end()));
    EXPECT_EQ(code_decompile_text(add & 0xFFFF0000u, block.data()), "DeletedVariable := DeletedVariable + 1");
    EXPECT_EQ(node_get_attr(add, 1), 1u);
}

TEST_F(PieceCalcTest, ExpressionsWithoutTheirSource)
{
    IconId show = titled(1, "Show");
    calctest::Assembler a;
    a.variable(1);
    a.op(kOpPushVar, a.variable(1)), a.op(kOpPushShort, 2), a.op(kOpArith, kOperTimes);
    EXPECT_EQ(property(show, 1600), a.build());
    EXPECT_EQ(code_needs_evaluation(show, 1600), 1);
    EXPECT_EQ(code_needs_evaluation(show, 1601), 0);
    EXPECT_EQ(code_needs_evaluation(show, 1602), 0);
}

struct Field {
    std::string text = "[ab]";
    EditMark mark { 1, 3, 1600, kMarkEmbedded };
};

int field_mark(void* f, int n, EditMark& out)
{
    out = static_cast<Field*>(f)->mark;
    return n == 1;
}
void field_replace(void* f, const char* text, int from, int to)
{
    auto* field = static_cast<Field*>(f);
    field->text.replace(size_t(from), size_t(to - from), text);
    field->mark.end = int16_t(from + int(std::string(text).size()));
}
uint32_t field_format(void*, int) { return 0; }

TEST_F(PieceCalcTest, EmbeddedRunsShowTheirValue)
{
    ScriptValue score;
    val_set_integer(21, score);
    calctest::table_set(0, 1, 0, score);
    Field field;
    EmbedText text { &field, field_mark, field_replace, field_format };
    EXPECT_EQ(eval_embedded_text(text, titled(1, "Show"), kEmbedEvaluate), 0);
    EXPECT_EQ(field.text, "[42]");
}

TEST_F(PieceCalcTest, TitlesAfterAtNameIconsOfTheFile)
{
    CalcNameHooks names = calctest::test_name_hooks();
    calc_set_name_hooks(&names);
    IconId show = titled(1, "Show");
    uint32_t add_node = titled(1, "Add") & 0xFFFF;
    static const struct {
        const char* source;
        int code;
    } kRows[] = {
        { "x@\"add\"", 0 },        // titles match ignoring case
        { "x@\"Twice\"", 26 },
        { "x@\"Nowhere\"", 23 },
        { "x@\"DeletedIcon\"", 28 },
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.source);
        std::vector<uint8_t> block;
        int offset = 0, length = 0;
        EXPECT_EQ(code_compile(show, row.source, block, kCompileExpression, '.', ',', &offset, &length), row.code);
        if (row.code == 0) {
            calctest::Assembler a;
            a.variable(1, 0, uint16_t(add_node));
            a.op(kOpPushVar, a.variable(1, 0, uint16_t(add_node)));
            std::vector<uint8_t> expected = a.build();
            EXPECT_EQ(std::vector<uint8_t>(block.begin() + 6, block.begin() + long(expected.size())),
                std::vector<uint8_t>(expected.begin() + 6, expected.end()));
            EXPECT_EQ(code_decompile_text(show, block.data()), "x@\"Add\"");
        } else {
            EXPECT_EQ(offset, 3);
        }
    }
    calc_set_name_hooks(nullptr);
}

// In a library a system variable may name no other icon: the library's icons are not the
// piece's. Its own icon ("@" with an empty title) and user variables stay allowed.
TEST_F(PieceCalcTest, LibrariesKeepSystemVariablesToTheirOwnIcon)
{
    ASSERT_EQ(open_piece(2, R"(kind PLIB
icon map "Lib" node 1
icon map "Shapes" {
    icon calc "Inside"
    icon display "Other"
}
)"),
        0);
    CalcNameHooks names = calctest::test_name_hooks();
    calc_set_name_hooks(&names);
    IconId inside = titled(2, "Inside");
    IconId show = titled(1, "Show");
    ASSERT_NE(inside, 0u);
    static const struct {
        IconId* context;
        const char* source;
        int code;
    } kRows[] = {
        { &inside, "CursorX@\"Other\"", 32 },
        { &inside, "CursorX@\"Inside\"", 0 }, // the icon itself
        { &inside, "x@\"Other\"", 0 },
        { &show, "CursorX@\"Add\"", 0 },     // in a course any icon
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.source);
        std::vector<uint8_t> block;
        int offset = 0, length = 0;
        EXPECT_EQ(code_compile(*row.context, row.source, block, kCompileExpression, '.', ',', &offset, &length), row.code);
    }
    calc_set_name_hooks(nullptr);
}

TEST(PieceMakerCalc, ACompileErrorFailsTheBuild)
{
    PieceDescription piece;
    std::string error;
    EXPECT_FALSE(pm_parse("kind PCRS\nicon map \"T\" {\n    icon calc \"C\" {\n        calc \"nosuch := 1\"\n    }\n}\n",
        ".", piece, error));
    EXPECT_EQ(error, "line 4: calculation error 22: Variable 'nosuch' is not defined.");
    EXPECT_FALSE(pm_parse("kind PCRS\nicon map \"T\" {\n    code 1600 \"1 +\" nokept extra\n}\n", ".", piece, error));
    EXPECT_EQ(error, "line 3: 'code' takes a text and optionally nokept");
}

} // namespace
