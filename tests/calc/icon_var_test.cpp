// Variables at icons named while a run goes on: a piece in slot 1 and a library in slot 2,
// whose code reaches the piece's icons through the evaluation context.
#include "tests/calc/assembler.h"
#include "tests/runtime/node_fixture.h"

#include "runtime/base/symdict.h"
#include "runtime/calc/calc_hooks.h"
#include "runtime/calc/icon_var.h"
#include "runtime/calc/interp.h"
#include "runtime/calc/list_table.h"

#include <string>

using namespace calctest;

namespace {

constexpr const char* kPiece = R"(kind PCRS
icon map "Piece" {
    icon calc "Start"
    icon calc "Score"
    icon display "Twin"
    icon display "TWIN"
}
)";

constexpr const char* kLibrary = R"(kind PLIB
icon map "Lib" node 1
icon map "Shapes" {
    icon calc "Helper"
    icon calc "Other helper"
}
)";

constexpr int kPieceSlot = 1, kLibrarySlot = 2;
constexpr uint16_t kVar = 5, kUnmapped = 9; // the piece has no variable named as kUnmapped
constexpr uint16_t kMapped = 100;            // kVar's number in the piece

// An icon by file slot and title; slot 0 names none.
struct Named {
    int slot;
    const char* title;
};

uint32_t s_eval_context;

// Reads answer where they were asked: "v<variable>@<slot>:<node title>".
int hook_get(uint32_t, uint16_t variable, uint32_t icon_arg, ScriptValue& out)
{
    IconId icon = node_make_icon(icon_arg >> 16, icon_arg & 0xFFFF);
    char title[kTitleKeyBytes + 1] = "";
    node_title(icon, title, sizeof title);
    std::string text = "v" + std::to_string(variable) + "@" + std::to_string(icon_arg >> 16) + ":" + title;
    val_set_string(out, text.c_str());
    return 0;
}

uint32_t hook_eval_context() { return s_eval_context; }

uint16_t hook_map(int, uint16_t variable, int target_slot)
{
    return variable == kUnmapped || target_slot != kPieceSlot ? 0 : uint16_t(variable + kMapped);
}

class IconVarTest : public nodetest::NodeTest {
protected:
    void SetUp() override
    {
        NodeTest::SetUp();
        ASSERT_EQ(symdict_create(), 0);
        ASSERT_EQ(list_tables_init(), 1);
        eval_reset();
        CalcHooks hooks {};
        hooks.var_get = hook_get;
        hooks.var_get_eval_context = hook_eval_context;
        hooks.var_map_to_file = hook_map;
        calc_set_hooks(&hooks);
        s_eval_context = 0;
        ASSERT_EQ(open_piece(kPieceSlot, kPiece), 0);
        ASSERT_EQ(open_piece(kLibrarySlot, kLibrary), 0);
    }
    void TearDown() override
    {
        eval_reset();
        calc_set_hooks(nullptr);
        list_tables_free();
        symdict_release();
        NodeTest::TearDown();
    }

    static IconId at(Named n) { return n.slot ? titled(n.slot, n.title) : 0; }

    // The variable at the icon the block names, as the run leaves it: "ref v<id> @<title>" for
    // a reference, "" for the empty value.
    std::string run(Named context, const Assembler& block)
    {
        std::vector<uint8_t> code = block.build();
        ScriptValue out;
        EXPECT_EQ(eval_code(at(context), code.data(), code.size(), out, 1), 0);
        std::string text;
        if (val_type(out) == kValReference) {
            char title[kTitleKeyBytes + 1] = "";
            node_title(node_make_icon(node_icon_slot(at(context)), val_u16(out, 6)), title, sizeof title);
            text = "ref v" + std::to_string(val_u16(out, 2)) + " at " + std::to_string(val_u16(out, 4)) + " @" + title;
        } else {
            text = var_lock_value_data(out);
            var_unlock_value_data(out);
        }
        val_free(out);
        return text;
    }
};

TEST_F(IconVarTest, ResolvesTitlesOfTheFile)
{
    static const struct {
        const char* title;
        int error;
        const char* found; // the icon's title
    } kCases[] = {
        { "Score", 0, "Score" },
        { "sCORE", 0, "Score" },      // case does not count
        { "Nothing", kEvalNoSuchIcon, nullptr },
        { "twin", kEvalTitleNotUnique, nullptr },
        { "", kEvalBadTitle, nullptr },
        { "untitled", kEvalBadTitle, nullptr }, // reserved titles, ignoring case
        { "DeletedVariable", kEvalBadTitle, nullptr },
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.title);
        uint32_t node = 99;
        EXPECT_EQ(eval_resolve_icon_title(kPieceSlot, c.title, &node), c.error);
        EXPECT_EQ(node, c.found ? node_icon_number(titled(kPieceSlot, c.found)) : 0u);
    }
}

TEST_F(IconVarTest, ReadsTheVariableAtTheNamedIcon)
{
    enum Naming { kByTitle, kById, kByNumber };
    static const struct {
        const char* name;
        Named context;
        Named eval_context;
        Naming naming;
        Named target;    // by title: target.title is the text
        int32_t number;  // kByNumber: the raw value
        uint16_t variable;
        const char* expected;
    } kCases[] = {
        { "title in the running file", { 1, "Start" }, {}, kByTitle, { 0, "Score" }, 0, kVar, "v5@1:Score" },
        { "title ignoring case", { 1, "Start" }, {}, kByTitle, { 0, "score" }, 0, kVar, "v5@1:Score" },
        { "unknown title", { 1, "Start" }, {}, kByTitle, { 0, "Nothing" }, 0, kVar, "" },
        { "title of two icons", { 1, "Start" }, {}, kByTitle, { 0, "Twin" }, 0, kVar, "" },
        { "empty title", { 1, "Start" }, {}, kByTitle, { 0, "" }, 0, kVar, "" },
        { "reserved title", { 1, "Start" }, {}, kByTitle, { 0, "Untitled" }, 0, kVar, "" },
        { "icon id", { 1, "Start" }, {}, kById, { 1, "Score" }, 0, kVar, "v5@1:Score" },
        { "icon of another file", { 1, "Start" }, {}, kById, { 2, "Helper" }, 0, kVar, "" },
        { "no such node", { 1, "Start" }, {}, kByNumber, {}, 0x17FFF, kVar, "" },
        { "library: title in the file it runs for", { 2, "Helper" }, { 1, "Start" }, kByTitle, { 0, "Score" }, 0,
            kVar, "v105@1:Score" },
        { "library: no such variable there", { 2, "Helper" }, { 1, "Start" }, kByTitle, { 0, "Score" }, 0,
            kUnmapped, "" },
        { "library: the icon it runs for is itself", { 2, "Helper" }, { 1, "Start" }, kByTitle, { 0, "Start" }, 0,
            kVar, "v5@2:Helper" },
        { "library without a context: its own file", { 2, "Helper" }, {}, kByTitle, { 0, "Other helper" }, 0, kVar,
            "v5@2:Other helper" },
        { "library: id of the context icon", { 2, "Helper" }, { 1, "Start" }, kById, { 1, "Start" }, 0, kVar,
            "v5@2:Helper" },
        { "library: id in the piece", { 2, "Helper" }, { 1, "Start" }, kById, { 1, "Score" }, 0, kVar,
            "v105@1:Score" },
        { "library: another library icon", { 2, "Helper" }, { 1, "Start" }, kById, { 2, "Other helper" }, 0, kVar,
            "" },
        { "library: its own icon", { 2, "Helper" }, {}, kById, { 2, "Helper" }, 0, kVar, "v5@2:Helper" },
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        s_eval_context = at(c.eval_context);
        Assembler a;
        if (c.naming == kByTitle)
            a.op(kOpPushString, a.text(c.target.title));
        else
            a.op(kOpPushLong, a.integer(c.naming == kById ? int32_t(at(c.target)) : c.number));
        a.op(kOpPushIconVar, a.variable(c.variable));
        EXPECT_EQ(run(c.context, a), c.expected);
    }
}

TEST_F(IconVarTest, ReferencesStayInTheRunningFile)
{
    static const struct {
        const char* name;
        Named context;
        Named eval_context;
        const char* title;
        const char* expected;
    } kCases[] = {
        { "same file", { 1, "Start" }, {}, "Score", "ref v5 at 0 @Score" },
        { "library code, its own icon", { 2, "Helper" }, { 1, "Start" }, "Start", "ref v5 at 0 @Helper" },
        { "into another file", { 2, "Helper" }, { 1, "Start" }, "Score", "" },
        { "no such icon", { 1, "Start" }, {}, "Nothing", "" },
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        s_eval_context = at(c.eval_context);
        Assembler a;
        a.op(kOpPushString, a.text(c.title));
        a.op(kOpPushIconVarRef, a.variable(kVar));
        EXPECT_EQ(run(c.context, a), c.expected);
    }
}

} // namespace
