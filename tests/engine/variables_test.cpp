// The variable store over a piece with variables: initial values, names, strings inline and
// in records of their own, custom variables, per-icon values, the array, and a save followed
// by a resume.
#include "engine_fixture.h"

#include "platform/kernel/clock.h"
#include "platform/kernel/log.h"

#include "platform/kernel/byte_io.h"
#include "runtime/base/symdict.h"
#include "runtime/calc/compile.h"
#include "runtime/calc/interp.h"
#include "runtime/calc/list_table.h"
#include "runtime/calc/sysfn_table.h"
#include "runtime/calc/value.h"
#include "runtime/engine/var.h"
#include "runtime/engine/var_names.h"
#include "tools/piecemaker/pm_dump.h"

#include <fstream>

namespace enginetest {
namespace {

constexpr const char* kFortyFive = "AVariableNameOfFortyFiveCharactersInAllXYZWV";

std::string vars_piece(const std::string& extra = "")
{
    return std::string("kind PCRS\n") + extra
        + "var Score 5\n"                      // 1
          "var Greeting \"hello there\"\n"     // 2: a record of the file
          "var Short \"abc\"\n"                // 3
          "var Start expr \"2 * 21\"\n"        // 4
          "var Items expr \"[1, 2, 3]\"\n"     // 5
          "var Bad expr \"Score + 1\"\n"       // 6
          "var Colour symbol \"blue\"\n"       // 7
          "var % 0\n"                          // 8
          "var " + kFortyFive + "X 7\n"        // 9
          "var Ratio 1.5\n"                    // 10
          "var Plain 0\n"                      // 11
          "icon map \"Top\" {\n"
          "    attr 0x2000308 1\n"
          "    icon calc \"One\"\n"
          "    icon interaction \"Ask\"\n"
          "}\n";
}

// A value as the tests compare it.
std::string shown(const ScriptValue& v)
{
    switch (val_type(v)) {
    case kValString: {
        std::string text = var_lock_value_data(v);
        var_unlock_value_data(v);
        return "\"" + text + "\"";
    }
    case kValInteger: return std::to_string(val_integer(v));
    case kValReal: return std::to_string(val_real(v)).substr(0, 4);
    case kValSymbol: {
        char name[64] = "";
        symdict_name(val_word(v), name, sizeof name);
        return std::string("#") + name;
    }
    case kValLinearList: return "list of " + std::to_string(list_count(v));
    default: return "type " + std::to_string(val_type(v));
    }
}

class VariablesTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        ASSERT_EQ(symdict_create(), 0);
        ASSERT_EQ(list_tables_init(), 1);
        ASSERT_EQ(sysfn_build_table(), 1);
        var_bind_functions();
    }
    void TearDown() override
    {
        EngineTest::TearDown();
        sysfn_reset();
        list_tables_free();
        symdict_release();
    }
    static std::string read(VariableId id, uint32_t at = 0)
    {
        ScriptValue v;
        var_get(0, id, at, v);
        return shown(v);
    }
    static VariableId id_of(const char* name) { return var_find_id(0, name); }
    static uint16_t record_of(VariableId id)
    {
        ScriptValue v;
        var_get_stored(0, id, v);
        return val_type(v) == kValString && val_storage(v) == kStoreLearner ? val_u16(v, 8) : 0;
    }
    // Sends Save or Restore to slot 9 with the state's bytes.
    static int send_state(int type, uint8_t* state, int size = int(kVarStateSize))
    {
        ModuleMessage message;
        message.message = type;
        message.size = int16_t(size);
        message.state = state;
        return modmsg_send(kSlotVariables, &message);
    }
    static std::string call(int index, std::vector<ScriptValue> args)
    {
        ScriptValue result;
        sysfn_desc(kSysFnFirstId + index).handler(int(args.size()), args.data(), result);
        std::string text = shown(result);
        val_free(result);
        return text;
    }
};

TEST_F(VariablesTest, UnassignedVariablesReadTheirInitialValues)
{
    ASSERT_EQ(open_piece_file(vars_piece()), 0);
    static const struct {
        const char* name;
        const char* value;
    } kRows[] = {
        { "Score", "5" },
        { "Greeting", "\"hello there\"" }, // read from its record of the piece
        { "Short", "\"abc\"" },
        { "Start", "42" },                 // a constant expression
        { "Items", "list of 3" },
        { "Bad", "\"\"" },                 // names a variable: 22, left empty
        { "Colour", "#blue" },
        { "Ratio", "1.50" },
        { "Plain", "0" },
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.name);
        VariableId id = id_of(row.name);
        ASSERT_NE(id, 0);
        EXPECT_EQ(read(id), row.value);
    }
    ScriptValue error_value;
    int start = -1, end = -1;
    EXPECT_EQ(var_eval_text(0x10000, "Score + 1", 1, error_value, &start, &end), 22);
    EXPECT_EQ(var_eval_text(0x10000, "ABS(-1)", 1, error_value, &start, &end), 21);
    EXPECT_EQ(end, 32767);
}

TEST_F(VariablesTest, NamesAreFoundIgnoringCaseByTheirFirstFortyCharacters)
{
    for (const char* extra : { "", "name-dict\n" }) {
        SCOPED_TRACE(extra[0] ? "stored dictionary" : "scanned names");
        ASSERT_EQ(open_piece_file(vars_piece(extra)), 0);
        EXPECT_EQ(var_name_dict_slot(), piece_slot());
        EXPECT_EQ(id_of("score"), 1);
        EXPECT_EQ(id_of("SCORE"), 1);
        EXPECT_EQ(id_of((std::string(kFortyFive).substr(0, 40) + "other").c_str()), 9);
        EXPECT_EQ(id_of("%"), 0);
        EXPECT_EQ(id_of("Nosuch"), 0);
        EXPECT_EQ(var_count_names(piece_slot()), 10); // the deleted one is skipped
        EXPECT_EQ(var_max_id(piece_slot()), 11);
        char text[80];
        var_display_name(0x10000, 8, 0, 0, text, sizeof text);
        EXPECT_STREQ(text, "DeletedVariable");
        var_display_name(0x10000, 1, 0, 0, text, sizeof text);
        EXPECT_STREQ(text, "Score");
        var_display_name(0x10000, 1, node_make_icon(uint32_t(piece_slot()), 900), 0, text, sizeof text);
        EXPECT_STREQ(text, "Score@\"DeletedIcon\"");
        EXPECT_EQ(var_file_var_name(piece_slot(), 8, text, sizeof text), kErrNoVariableName);
        piece_close(0);
        EXPECT_EQ(var_name_dict_slot(), 0);
    }
}

TEST_F(VariablesTest, ShortTextsStayInlineAndLongOnesGetARecordOfTheirOwn)
{
    ASSERT_EQ(open_piece_file(vars_piece()), 0);
    VariableId score = id_of("Score"), plain = id_of("Plain");
    ASSERT_EQ(var_set_text(0, score, 0, "seven!!"), 1); // 7 characters and the NUL
    ScriptValue v;
    var_get_stored(0, score, v);
    EXPECT_EQ(val_storage(v), kStoreInline);
    ASSERT_EQ(var_set_text(0, score, 0, "eight!!!"), 1);
    uint16_t first = record_of(score);
    EXPECT_NE(first, 0);
    // Copying the value copies the record: two variables never share one.
    var_get(0, score, 0, v);
    ASSERT_EQ(var_set(0, plain, 0, &v), 1);
    EXPECT_NE(record_of(plain), 0);
    EXPECT_NE(record_of(plain), first);
    EXPECT_EQ(read(plain), "\"eight!!!\"");
    // The old record goes when the variable takes another value.
    ASSERT_EQ(var_set_int(0, score, 0, 3), 1);
    std::vector<uint8_t> bytes;
    EXPECT_NE(urec_read(first, bytes), 0);
}

TEST_F(VariablesTest, ValueItemsAndTheSmallStateByteForByte)
{
    ASSERT_EQ(open_piece_file(vars_piece()), 0);
    ASSERT_EQ(var_set_int(0, 1, 0, 7), 1);
    ASSERT_EQ(var_set_int(0, 3, 0, -2), 1);
    uint8_t state[kVarStateSize] = {};
    ASSERT_EQ(send_state(kModSave, state), 0);
    EXPECT_EQ(plat::load_u16le(state + 26), 12289);
    EXPECT_EQ(plat::load_u32le(state + 28), 2u);
    for (int offset : { 0, 10, 14, 16, 18, 20, 22, 24 })
        EXPECT_NE(plat::load_u16le(state + offset), 0) << offset;
    std::vector<uint8_t> items;
    ASSERT_EQ(urec_read(plat::load_u16le(state), items), 0);
    // {u32 context: slot 1, node 0; u16 variable; ScriptValue}
    EXPECT_EQ(to_hex(items), "000001000100" "00010700000000000000000000000000"
                             "000001000300" "0001feffffff00000000000000000000");
}

TEST_F(VariablesTest, CustomVariablesAreCountedAndRefusedPastTheirRange)
{
    ASSERT_EQ(open_piece_file(vars_piece()), 0);
    VariableId id = var_custom_create(0, "Extra");
    EXPECT_EQ(id, 12289);
    EXPECT_EQ(var_custom_create(0, "EXTRA"), id); // the same name, counted twice
    EXPECT_EQ(var_find_custom(0, "extra"), id);
    ASSERT_EQ(var_set_int(0, id, 0, 9), 1);
    EXPECT_EQ(read(id), "9");
    var_custom_release(0, id);
    EXPECT_EQ(var_find_custom(0, "extra"), 0); // its value item went with the release
    EXPECT_EQ(var_set_int(0, 12300, 0, 1), 0);  // never made: nothing stored

    // A store whose next id is the last one: one more, then none.
    uint8_t state[kVarStateSize] = {};
    ASSERT_EQ(send_state(kModSave, state), 0);
    plat::store_u16le(state + 26, 16383);
    ASSERT_EQ(send_state(kModRestore, state), 0);
    EXPECT_EQ(var_custom_create(0, "Last"), 16383);
    EXPECT_EQ(var_custom_create(0, "Beyond"), 0);
}

TEST_F(VariablesTest, ArrayElementsZeroTo2500)
{
    ASSERT_EQ(open_piece_file(vars_piece()), 0);
    ScriptValue value;
    auto number = [](int32_t x) {
        ScriptValue v;
        val_set_integer(x, v);
        return v;
    };
    val_set_string(value, "a long element");
    EXPECT_EQ(call(59, { number(2500), value }), "\"a long element\"");
    EXPECT_EQ(call(58, { number(2500) }), "\"a long element\"");
    EXPECT_EQ(call(59, { number(2501), number(1) }), "\"\"");
    EXPECT_EQ(call(59, { number(-1), number(1) }), "\"\"");
    EXPECT_EQ(call(58, { number(2501) }), "\"\"");
    EXPECT_EQ(call(58, { number(0) }), "\"\"");
    val_free(value);
    // A run that may not assign refuses ArraySet with error 12 and stores nothing.
    static const struct {
        const char* source;
        int allow_assignment;
        int error;
        const char* element_3;
    } kRuns[] = {
        { "ArraySet(3, 5)", 0, kEvalAssignRefused, "\"\"" },
        { "ArraySet(3, 5)", 1, 0, "5" },
    };
    for (const auto& run : kRuns) {
        SCOPED_TRACE(run.allow_assignment);
        std::vector<uint8_t> code;
        int offset = 0, length = 0;
        uint32_t root = uint32_t(piece_slot()) << 16;
        ASSERT_EQ(code_compile(root, run.source, code, kCompileExpression, 0, 0, &offset, &length), 0);
        ScriptValue result;
        EXPECT_EQ(eval_code(root, code.data(), code.size(), result, run.allow_assignment), run.error);
        val_free(result);
        EXPECT_EQ(call(58, { number(3) }), run.element_3);
    }
}

TEST_F(VariablesTest, PerIconValuesAndTrackingTexts)
{
    ASSERT_EQ(open_piece_file(vars_piece()), 0);
    uint32_t ask = node_icon_number(piece_icon("Ask"));
    EXPECT_EQ(var_lock_icon_text(ask), nullptr);
    ASSERT_EQ(var_set_icon_text(ask, "typed answer"), 1);
    const char* text = var_lock_icon_text(ask);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "typed answer");
    var_unlock_icon_text(ask);
    ScriptValue v;
    val_set_integer(12, v);
    ASSERT_EQ(var_set_icon_preroll(ask, v), 1);
    ScriptValue got;
    ASSERT_EQ(var_get_icon_preroll(ask, got), 1);
    EXPECT_EQ(shown(got), "12");
    EXPECT_EQ(var_get_event_matched(ask, got), 0);
    // Mode 0: the response's position, separated by commas, as long as the learner answers.
    IconId interaction = piece_icon("Ask");
    for (int i = 0; i < 3; ++i)
        var_track_response_text(interaction, interaction);
    text = var_lock_icon_track_text(ask);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::string(text), "2,2,2");
    var_unlock_icon_track_text(ask);
    var_clear_track_text(ask);
    text = var_lock_icon_track_text(ask);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "");
    var_unlock_icon_track_text(ask);
}

TEST_F(VariablesTest, ASaveAndResumeKeepsListsSymbolsTextsAndCustomVariables)
{
    ASSERT_EQ(open_piece_file(vars_piece()), 0);
    ScriptValue items, colour;
    var_get(0, id_of("Items"), 0, items);
    ASSERT_EQ(list_count(items), 3);
    ASSERT_EQ(var_set(0, id_of("Plain"), 0, &items), 1); // one list, two holders
    var_get(0, id_of("Colour"), 0, colour);
    ASSERT_EQ(var_set_text(0, id_of("Short"), 0, "a text of its own"), 1);
    VariableId extra = var_custom_create(0, "Extra");
    ASSERT_EQ(var_set_text(0, extra, 0, "custom value"), 1);
    uint32_t ask = node_icon_number(piece_icon("Ask"));
    ASSERT_EQ(var_set_icon_text(ask, "kept answer"), 1);
    ASSERT_EQ(var_set_event_matched(ask, colour), 1);
    close_piece();

    ASSERT_EQ(reopen(), 0);
    EXPECT_EQ(read(id_of("Items")), "list of 3");
    EXPECT_EQ(read(id_of("Plain")), "list of 3");
    ScriptValue a, b;
    var_get(0, id_of("Items"), 0, a);
    var_get(0, id_of("Plain"), 0, b);
    EXPECT_EQ(val_object_id(a), val_object_id(b));
    ScriptValue element;
    ASSERT_EQ(list_get_element(a, 3, element), 0);
    EXPECT_EQ(shown(element), "3");
    EXPECT_EQ(read(id_of("Colour")), "#blue");
    EXPECT_EQ(read(id_of("Short")), "\"a text of its own\"");
    EXPECT_EQ(var_find_custom(0, "Extra"), extra);
    EXPECT_EQ(read(extra), "\"custom value\"");
    const char* text = var_lock_icon_text(ask);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "kept answer");
    var_unlock_icon_text(ask);
    ScriptValue matched;
    ASSERT_EQ(var_get_event_matched(ask, matched), 1);
    EXPECT_EQ(shown(matched), "#blue");
    close_piece();

    std::string out;
    ASSERT_EQ(pm_dump_learner(host("piece.rec"), host("piece.v5r"), out), 0) << out;
    EXPECT_NE(out.find("var Short \"a text of its own\"\n"), std::string::npos) << out;
    EXPECT_NE(out.find("var Colour #blue\n"), std::string::npos) << out;
    EXPECT_NE(out.find("var Extra \"custom value\"\n"), std::string::npos) << out;
}

// Texts of more than seven characters inside lists live in memory: a save writes them where a
// resume finds them, and each save drops the records of the one before.
TEST_F(VariablesTest, LongTextsInsideListsComeBackOnResume)
{
    ASSERT_EQ(open_piece_file(vars_piece()), 0);
    ScriptValue texts[5];
    const char* const kTexts[] = { "a text in a list in a list", "a long key of a pair", "its long value",
        "a long text in a list", "short" };
    for (int i = 0; i < 5; ++i)
        val_set_string(texts[i], kTexts[i]);
    ScriptValue list, inner, props;
    ASSERT_EQ(list_new(kValLinearList, 0, list), 1);
    ASSERT_EQ(list_new(kValLinearList, 0, inner), 1);
    ASSERT_EQ(list_new(kValPropList, 0, props), 1);
    ASSERT_EQ(list_append(inner, texts[0]), 0);
    ASSERT_EQ(list_prop_set(props, texts[1], texts[2]), 0);
    for (const ScriptValue& element : { texts[3], texts[4], inner, props })
        ASSERT_EQ(list_append(list, element), 0);
    for (ScriptValue& v : texts)
        val_free(v);
    ASSERT_EQ(var_set(0, id_of("Plain"), 0, &list), 1);
    val_free(list);
    val_free(inner);
    val_free(props);
    ScriptValue greeting; // a text of the piece's own records
    var_get(0, id_of("Greeting"), 0, greeting);
    ScriptValue held;
    ASSERT_EQ(list_new(kValLinearList, 0, held), 1);
    ASSERT_EQ(list_append(held, greeting), 0);
    ASSERT_EQ(var_set(0, id_of("Items"), 0, &held), 1);
    val_free(held);
    val_free(greeting);
    close_piece();

    std::vector<int> records_after;
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        ASSERT_EQ(reopen(), 0);
        ScriptValue got, element, nested;
        var_get(0, id_of("Plain"), 0, got);
        ASSERT_EQ(list_count(got), 4);
        std::string first = round == 0 ? "a long text in a list" : "a text of round " + std::to_string(round);
        const std::string want[] = { "\"" + first + "\"", "\"short\"" };
        for (int i = 1; i <= 2; ++i) {
            ASSERT_EQ(list_get_element(got, i, element), 0);
            EXPECT_EQ(shown(element), want[i - 1]);
            val_free(element);
        }
        // A new text in place of a resumed one: the old one's record must go at the save.
        val_set_string(element, ("a text of round " + std::to_string(round + 1)).c_str());
        ASSERT_EQ(list_set_element(got, 1, element), 0);
        val_free(element);
        ASSERT_EQ(list_get_element(got, 3, nested), 0);
        ASSERT_EQ(list_get_element(nested, 1, element), 0);
        EXPECT_EQ(shown(element), "\"a text in a list in a list\"");
        val_free(element);
        val_free(nested);
        ASSERT_EQ(list_get_element(got, 4, nested), 0);
        ASSERT_EQ(list_prop_key_at(nested, 1, element), 0);
        EXPECT_EQ(shown(element), "\"a long key of a pair\"");
        val_free(element);
        ASSERT_EQ(list_prop_value_at(nested, 1, element), 0);
        EXPECT_EQ(shown(element), "\"its long value\"");
        val_free(element);
        val_free(nested);
        var_get(0, id_of("Items"), 0, got); // the variable's own value: not freed here
        ASSERT_EQ(list_get_element(got, 1, element), 0);
        EXPECT_EQ(shown(element), "\"hello there\"");
        val_free(element);
        int records = 0;
        std::vector<uint8_t> bytes;
        for (uint16_t number = 2; number < 400; ++number)
            records += urec_read(number, bytes) == 0;
        records_after.push_back(records);
        close_piece();
    }
    EXPECT_EQ(records_after[1], records_after[0]);
    EXPECT_EQ(records_after[2], records_after[0]);
}

TEST_F(VariablesTest, RestoreRefusesStatesThatDoNotFit)
{
    ASSERT_EQ(open_piece_file(vars_piece()), 0);
    ASSERT_EQ(var_set_int(0, 1, 0, 7), 1);
    uint8_t saved[kVarStateSize] = {};
    ASSERT_EQ(send_state(kModSave, saved), 0);
    static const struct {
        const char* name;
        int offset; // -1: the size is wrong
        uint32_t value;
        int bytes;
        int expected;
    } kRows[] = {
        { "state of 31 bytes", -1, 0, 0, kErrStateSize },
        { "more items than the block holds", 28, 3, 4, kErrStateSize },
        { "negative count", 28, 0xFFFFFFFF, 4, kErrStateSize },
        { "record 1 as a tag list", 16, 1, 2, kErrStateSize },
        { "one record twice", 16, 0xFFFF, 2, kErrStateSize }, // patched to offset 14's below
        { "next custom id in the system range", 26, 9000, 2, kErrStateSize },
        { "no item record", 0, 0xFFF0, 2, kErrOutOfMemory },
        { "the saved state", 30, 0, 2, 0 },
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.name);
        uint8_t state[kVarStateSize];
        std::memcpy(state, saved, sizeof state);
        uint32_t value = row.value == 0xFFFF ? plat::load_u16le(saved + 14) : row.value;
        if (row.bytes == 4)
            plat::store_u32le(state + row.offset, value);
        else if (row.bytes == 2)
            plat::store_u16le(state + row.offset, uint16_t(value));
        EXPECT_EQ(send_state(kModRestore, state, row.offset < 0 ? kVarStateSize - 1 : kVarStateSize), row.expected);
    }
    EXPECT_EQ(read(1), "7");
}


// The piece maker's variable records checked by hand: names and 16-byte definitions, a long
// text in a record of its own that the definition names with storage 2.
TEST_F(VariablesTest, NamesAndDefinitionsRecordsByteForByte)
{
    ASSERT_EQ(open_piece_file("kind PCRS\nvar A 5\nvar Long \"hello there\"\nvar % 0\nicon map \"Top\"\n"), 0);
    auto record_hex = [](uint32_t word) {
        RecordId id = rec_make_id(uint32_t(piece_slot()), node_dir_word(piece_slot(), word));
        MemHandle block = rec_get(id);
        std::string hex = block ? to_hex(static_cast<const uint8_t*>(mem_address(block)), rec_size(id, kSizeUnpacked)) : "none";
        rec_release(id, kReleaseOne);
        return hex;
    };
    EXPECT_EQ(record_hex(kDirVariableNames), "010002004100" "020005004c6f6e670000" "030002002500" "0000");
    std::string definitions = record_hex(kDirVariableDefinitions);
    ASSERT_EQ(definitions.size(), 3 * 40u + 4);
    EXPECT_EQ(definitions.substr(0, 40), "01001000" "00010500000000000000000000000000");
    // type 0, storage 2, 12 bytes with the NUL, the record number, slot 0 (the runtime's to fill)
    EXPECT_EQ(definitions.substr(40, 16), "0200100000000200");
    EXPECT_EQ(definitions.substr(56, 8), "0c000000");
    EXPECT_EQ(definitions.substr(68, 12), "000000000000");
    EXPECT_EQ(definitions.substr(80), "03001000" "00010000000000000000000000000000" "0000");
    EXPECT_EQ(read(2), "\"hello there\"");
}

// A library's icon reaches the piece's variable of the same name; one the piece lacks becomes
// a custom variable with the library's initial value.
TEST_F(VariablesTest, LibraryVariablesMapToThePieceByName)
{
    make_file("lib.v5e", "kind PLIB\nvar Score 11\nvar Bonus 3\nicon map \"Lib\" node 1\n"
                         "icon map \"Shapes\" {\n icon calc \"Use\"\n}\n");
    ASSERT_EQ(open_piece_file("kind PCRS\nlibrary \"T:\\\\lib.v5e\"\nvar Other 0\nvar Score 5\n"
                              "icon map \"Top\" {\n icon display \"Show\" link 1 7\n}\n"),
        0);
    IconId use = titled(2, "Use");
    ASSERT_NE(use, 0u);
    ScriptValue v;
    var_get(use, 1, 0, v);
    EXPECT_EQ(shown(v), "5");
    ASSERT_EQ(var_set_int(use, 1, 0, 9), 1);
    EXPECT_EQ(read(id_of("Score")), "9");
    var_get(use, 2, 0, v);
    EXPECT_EQ(shown(v), "3");
    VariableId bonus = var_find_custom(0, "bonus");
    EXPECT_GE(bonus, kVarLastSystem + 1);
    EXPECT_EQ(read(bonus), "3");
}

// Initialize: every value and record of the store goes and the variables start again.
TEST_F(VariablesTest, InitializeAllDeletesTheStoreAndStartsItAgain)
{
    ASSERT_EQ(open_piece_file(vars_piece()), 0);
    ASSERT_EQ(var_set_int(0, id_of("Score"), 0, 9), 1);
    ASSERT_EQ(var_set_text(0, id_of("Short"), 0, "a long text here"), 1);
    uint16_t text = record_of(id_of("Short"));
    ASSERT_NE(text, 0);
    ASSERT_NE(var_custom_create(0, "Extra"), 0);
    ScriptValue args[2];
    val_set_integer(1, args[0]);
    val_set_integer(4, args[1]);
    EXPECT_EQ(call(59, { args[0], args[1] }), "4");
    ASSERT_EQ(var_initialize_all(), 0);
    EXPECT_EQ(read(id_of("Score")), "5");
    EXPECT_EQ(read(id_of("Short")), "\"abc\"");
    EXPECT_EQ(var_find_custom(0, "Extra"), 0);
    EXPECT_EQ(call(58, { args[0] }), "\"\"");
    std::vector<uint8_t> bytes;
    EXPECT_NE(urec_read(text, bytes), 0);
    EXPECT_EQ(var_custom_create(0, "Again"), 12289);
}

// End to end: calculations count the runs, keep a long text and sum a constant expression; the
// Wait's limit is a variable. The second, resumed run finds the piece ended and saves the same.
constexpr const char* kRunsPiece = R"P(kind PCRS
var Start expr "2 * 21"
var Runs 0
var Who ""
var Total 0
icon map "Top" {
    attr 0x2000308 1
    icon calc "Count" {
        calc "Runs := Runs + 1"
    }
    icon calc "Name" {
        calc "Who := \"a long string\""
    }
    icon calc "Sum" {
        calc "Total := Start + Runs"
    }
    icon wait "Hold" {
        code 1007 "Runs"
    }
}
)P";

TEST_F(VariablesTest, RunsAreCountedWaitedForAndResumed)
{
    plat::clock_use_virtual(1000, 0);
    ASSERT_TRUE(plat::log_open(host("trace.log")));
    exec_trace_set(kTraceKernel);
    ASSERT_EQ(open_piece_file(kRunsPiece), 0);
    EXPECT_EQ(walk().back(), "Hold 2");
    uint32_t began = plat::get_tick_count();
    while (exec_context().state == kStateWaiting && plat::get_tick_count() - began < 5000) {
        plat::clock_advance(1);
        sched_tick(0xFFFF);
    }
    uint32_t waited = plat::get_tick_count() - began;
    EXPECT_GE(waited, 1000u);
    EXPECT_LE(waited, 1020u);
    EXPECT_EQ(walk().back(), "#1 7");
    std::vector<std::string> calcs;
    for (const char* title : { "Count", "Name", "Sum" })
        calcs.push_back("kernel calc " + std::to_string(node_icon_number(piece_icon(title))) + " 0");
    close_piece();
    plat::log_close();
    std::ifstream in(host("trace.log"));
    std::string trace((std::istreambuf_iterator<char>(in)), {});
    for (const std::string& line : calcs)
        EXPECT_NE(trace.find(line), std::string::npos) << line;
    write_file("first.rec", read_file("piece.rec"));

    // The dump takes the record store down: it comes last.
    ASSERT_EQ(reopen(), 0);
    walk();
    close_piece();
    const std::string expected = "var Start 42\nvar Runs 1\nvar Who \"a long string\"\nvar Total 43\n";
    for (const char* records : { "first.rec", "piece.rec" }) {
        SCOPED_TRACE(records);
        std::string out;
        ASSERT_EQ(pm_dump_learner(host(records), host("piece.v5r"), out), 0) << out;
        EXPECT_NE(out.find(expected), std::string::npos) << out;
        EXPECT_NE(out.find(records == std::string("first.rec") ? "session count 1" : "session count 2"), std::string::npos);
    }
}

} // namespace
} // namespace enginetest
