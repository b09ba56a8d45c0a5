// Property triggers: registration, the stored block and state, events and marks, the handler
// that sees only changed values, deletion and the notify bits, the size limit, periods, save
// and resume, damaged blocks, and stored lists of the other byte order.
#include "engine_fixture.h"

#include "runtime/calc/value.h"
#include "runtime/engine/trig.h"
#include "runtime/engine/var.h"
#include "tests/runtime/hex_fixture.h"

namespace enginetest {
namespace {

// Show's 1600 depends on Step finishing and on its run state; 1601 on the variable Runs, which
// Step counts, with a period; 1602 has no dependency list and 1603 a damaged one. Other's 1600 waits on keys, on
// Step finishing and on Step's run state.
constexpr const char* kTrigPiece = R"P(kind PCRS
var Runs 0
icon map "Top" {
    attr 0x2000308 1
    icon display "Show" node 10 {
        code 1600 "2 + 3"
        deps 1600 2 11 16 11
        code 1601 "Runs"
        deps 1601 period 250 1 Runs
        code 1602 "1"
        code 1603 "7"
        prop 3603 hex "0000000000000000 000000"
    }
    icon calc "Step" node 11 {
        calc "Runs := Runs + 1"
    }
    icon display "Other" node 12 {
        code 1600 "\"a text longer than eight bytes\""
        deps 1600 8 0x1005F 9 0 2 11 16 11
        code 1604 "4"
        deps 1604 1 1 1 8192
        code 1605 "5"
        deps 1605 1 8193 1 12288
        code 1606 "6"
        deps 1606 1 0
        code 1607 "0"
        deps 1607 1 12289
    }
}
)P";

struct Call {
    IconId context;
    uint16_t property;
    std::string value;
    int32_t argument;
};
std::vector<Call> g_calls;
bool g_delete_in_handler = false;
bool g_release_in_handler = false;

std::string text_of(const ScriptValue& value)
{
    ScriptValue copy;
    val_copy(copy, value);
    val_convert(copy, kValString);
    std::string text = var_lock_value_data(copy);
    var_unlock_value_data(copy);
    val_free(copy);
    return text;
}

void record_call(IconId context, uint16_t property, ScriptValue* value, int32_t argument)
{
    g_calls.push_back({ context, property, text_of(*value), argument });
    if (g_delete_in_handler)
        trig_unregister_property(context, property);
    if (g_release_in_handler) {
        ModuleMessage message;
        message.message = kModRelease;
        trig_module(&message);
    }
}

class TrigBase : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        g_calls.clear();
        g_delete_in_handler = false;
        g_release_in_handler = false;
        // Display properties are applied by a module not built here: a recorder stands in.
        trig_set_handler(kTrigDisplay, record_call);
    }
    // The saved block's bytes.
    static std::string saved_block()
    {
        uint8_t state[kTrigStateSize] = {};
        ModuleMessage message;
        message.message = kModSave;
        message.size = int16_t(kTrigStateSize);
        message.state = state;
        std::vector<uint8_t> block;
        if (modmsg_send(kSlotTriggers, &message) != 0 || urec_read(trig_info().record, block) != 0)
            return "none";
        return to_hex(block);
    }
};

class TrigTest : public TrigBase {
protected:
    void SetUp() override
    {
        TrigBase::SetUp();
        ASSERT_EQ(open_piece_file(kTrigPiece), 0);
        show = piece_icon("Show");
        step = piece_icon("Step");
        other = piece_icon("Other");
    }
    static int calls_of(uint16_t property)
    {
        int n = 0;
        for (const Call& c : g_calls)
            n += c.property == property;
        return n;
    }
    static void hold(IconId icon, uint16_t property, int32_t number)
    {
        ScriptValue v;
        val_set_integer(number, v);
        ASSERT_EQ(trig_set_held(icon, property, v), 1);
    }
    IconId show = 0, step = 0, other = 0;
};

TEST_F(TrigTest, RegistrationAnswersAndKeepsOneTriggerPerKey)
{
    static const struct {
        const char* name;
        int kind;
        const char* icon;
        uint16_t property;
        int32_t argument;
        int result;
        int live;
    } rows[] = {
        { "registered", kTrigDisplay, "Show", 1600, 0, 1, 1 },
        { "the same key again", kTrigDisplay, "Show", 1600, 0, 1, 1 },
        { "another argument", kTrigDisplay, "Show", 1600, 7, 1, 2 },
        { "no dependency list", kTrigDisplay, "Show", 1602, 0, 0, 2 },
        { "a list of 11 bytes", kTrigDisplay, "Show", 1603, 0, 0, 2 },
        { "kind 1 is the end record", kTrigEnd, "Show", 1601, 0, 0, 2 },
        { "kind 10 has no handler", 10, "Show", 1601, 0, 0, 2 },
        { "another property", kTrigDisplay, "Show", 1601, 0, 1, 3 },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(trig_register(row.kind, piece_icon(row.icon), row.property, 0, row.argument), row.result);
        EXPECT_EQ(trig_info().live, row.live);
    }
}

// The record {length, kind, holder, property, flags, held value, argument, context, period,
// mask, dependencies bound to the file} and the small state, as the learner's records keep them.
TEST_F(TrigTest, BlockAndStateAreStoredByteForByte)
{
    ASSERT_EQ(trig_register(kTrigDisplay, show, 1600, 0x0093, 5), 1);
    uint8_t state[kTrigStateSize] = {};
    ModuleMessage message;
    message.message = kModSave;
    message.size = int16_t(kTrigStateSize);
    message.state = state;
    ASSERT_EQ(modmsg_send(kSlotTriggers, &message), 0);
    uint16_t record = trig_info().record;
    std::vector<uint8_t> expected_state = from_hex("00000000 0000 7000 1002 04000100");
    plat::store_u16le(expected_state.data() + 4, record);
    EXPECT_EQ(to_hex(state, sizeof state), to_hex(expected_state));
    std::vector<uint8_t> block;
    ASSERT_EQ(urec_read(record, block), 0);
    std::string expected = "4200" "03000000" "0a000100" "4006" "9000" + std::string(32, '0')
        + "05000000" "0a000100" "00000000" "04000100"
          "0200" "0b000100" "00000000"
          "1000" "0b000100" "00000000"
          "2e00" "01000000" + std::string(80, '0');
    EXPECT_EQ(to_hex(block), expected);
}

TEST_F(TrigTest, HandlerSeesOnlyChangedValues)
{
    ASSERT_EQ(trig_register(kTrigDisplay, show, 1600, 0, 3), 1);
    trig_fire(kTrigIconDone, int32_t(step));
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(g_calls[0].context, show);
    EXPECT_EQ(g_calls[0].value, "5");
    EXPECT_EQ(g_calls[0].argument, 3);
    trig_fire(kTrigIconDone, int32_t(step));
    EXPECT_EQ(g_calls.size(), 1u) << "the same value again";
    ASSERT_EQ(trig_register(kTrigDisplay, show, 1601, 0, 0), 1);
    hold(show, 1601, 4);
    ScriptValue held;
    ASSERT_EQ(trig_get_held(show, 1601, held), 1);
    EXPECT_EQ(text_of(held), "4");
    val_free(held);
    trig_fire(kTrigIconDone, 0); // a signalled 0 reaches every trigger of the event
    trig_fire(kTrigVariable, 1);
    EXPECT_EQ(calls_of(1600), 1);
    EXPECT_EQ(calls_of(1601), 1) << "the held 4 differs from the value";
    trig_fire(kTrigMotion, 0);
    EXPECT_EQ(calls_of(1600) + calls_of(1601), 2) << "an event no trigger depends on";
}

TEST_F(TrigTest, FlagsKeepTheModulesOwnBitsAndLogicalValuesCompareAsTruth)
{
    ASSERT_EQ(trig_register(kTrigDisplay, show, 1600, kTrigLogical | kTrigDirty, 0), 1);
    EXPECT_EQ(trig_get_flags(show, 1600), kTrigLogical) << "the low four bits are the module's";
    trig_fire(kTrigIconDone, int32_t(step));
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(g_calls[0].value, "1");
    EXPECT_EQ(trig_set_flags(show, 1600, kTrigRefused), 1);
    EXPECT_EQ(trig_get_flags(show, 1600), kTrigRefused | kTrigHeld);
    hold(show, 1600, 9);
    trig_fire(kTrigIconDone, int32_t(step));
    EXPECT_EQ(g_calls.size(), 1u) << "evaluation refused";
    EXPECT_EQ(trig_get_flags(other, 1600), 0) << "no such trigger";
}

// Marks wait for trig_update; two marks before it evaluate once.
TEST_F(TrigTest, MarkedTriggersAreEvaluatedOnceAtTheUpdate)
{
    ASSERT_EQ(trig_register(kTrigDisplay, show, 1600, 0, 0), 1);
    trig_mark(kTrigIconDone, int32_t(step));
    trig_mark(kTrigRunState, int32_t(step));
    EXPECT_EQ(trig_dirty(), 1);
    EXPECT_TRUE(g_calls.empty());
    trig_update();
    EXPECT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(trig_dirty(), 0);
    EXPECT_EQ(trig_get_flags(show, 1600) & kTrigDirty, 0);
    hold(show, 1600, 0);
    EXPECT_EQ(trig_mark_property(show, 1600), 1);
    trig_update();
    EXPECT_EQ(g_calls.size(), 2u);
}

TEST_F(TrigTest, DependenciesMatchByEventAndValue)
{
    ASSERT_EQ(trig_register(kTrigDisplay, other, 1600, 0, 0), 1);
    IconId twelve = node_make_icon(1, 12);
    static const struct {
        const char* name;
        int event;
        int32_t value;
        bool dirty;
    } rows[] = {
        { "the key depended on", kTrigKeyDown, 0x1005F, true },
        { "Ctrl stands for that key", kTrigKeyDown, 0x10011, true },
        { "another key", kTrigKeyDown, 0x41, false },
        { "value 0 in the list takes every key", kTrigKeyChar, 0x41, true },
        { "the icon depended on", kTrigIconDone, int32_t(node_make_icon(1, 11)), true },
        { "the node without its file", kTrigIconDone, 11, false },
        { "another icon", kTrigIconDone, int32_t(twelve), false },
        { "a signalled 0 reaches every icon", kTrigIconDone, 0, true },
        { "an event outside the mask", kTrigInteraction, 0, false },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        trig_mark(row.event, row.value);
        EXPECT_EQ((trig_get_flags(other, 1600) & kTrigDirty) != 0, row.dirty);
        trig_update();
    }
}

// Variables are noted as changed bits (user 1..8192, system 8193..12288) and matched once per
// update; custom variables have no bit.
TEST_F(TrigTest, ChangedVariablesDirtyTheirTriggersAtTheUpdate)
{
    static const struct {
        const char* name;
        uint16_t variable;
        std::vector<uint16_t> evaluated;
    } rows[] = {
        { "first user variable", 1, { 1604, 1606 } },
        { "last user variable", 8192, { 1604, 1606 } },
        { "first system variable", 8193, { 1605, 1606 } },
        { "last system variable", 12288, { 1605, 1606 } },
        { "a custom variable", 12289, {} },
        { "an unused variable", 77, { 1606 } },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        for (uint16_t property : { 1604, 1605, 1606, 1607 }) {
            trig_unregister_property(other, property);
            ASSERT_EQ(trig_register(kTrigDisplay, other, property, 0, 0), 1);
        }
        g_calls.clear();
        trig_mark_variable(0, row.variable);
        trig_mark(kTrigVariable, row.variable);
        trig_update();
        std::vector<uint16_t> evaluated;
        for (const Call& c : g_calls)
            evaluated.push_back(c.property);
        EXPECT_EQ(evaluated, row.evaluated);
    }
}

// Two assignments before the update evaluate the dependent property once, with the last value.
TEST_F(TrigTest, AssignmentsWithinOneStepEvaluateOnce)
{
    ASSERT_EQ(trig_register(kTrigDisplay, show, 1601, 0, 0), 1);
    hold(show, 1601, 0);
    ASSERT_NE(var_set_int(0, 1, 0, 1), 0);
    ASSERT_NE(var_set_int(0, 1, 0, 2), 0);
    EXPECT_TRUE(g_calls.empty());
    EXPECT_EQ(trig_dirty(), 1);
    trig_update();
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(g_calls[0].value, "2");
    ASSERT_NE(var_set_int(0, 1, 0, 2), 0);
    trig_update();
    EXPECT_EQ(g_calls.size(), 1u) << "the value did not change";
}

// The Calc icon's assignment reaches the property before the kernel's next icon.
TEST_F(TrigTest, CalcIconUpdatesTheDependentProperty)
{
    ASSERT_EQ(trig_register(kTrigDisplay, show, 1601, 0, 0), 1);
    hold(show, 1601, 0);
    walk();
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(g_calls[0].value, "1");
}

TEST_F(TrigTest, RunStateNotifyBitLastsWhileSomeTriggerWatches)
{
    EXPECT_EQ(icon_state_flags(step) & kIconNotify, 0);
    ASSERT_EQ(trig_register(kTrigDisplay, show, 1600, 0, 0), 1);
    ASSERT_EQ(trig_register(kTrigDisplay, other, 1600, 0, 0), 1);
    EXPECT_NE(icon_state_flags(step) & kIconNotify, 0);
    trig_unregister(show, kTrigDisplay);
    EXPECT_NE(icon_state_flags(step) & kIconNotify, 0) << "Other still watches";
    trig_unregister(other, kTrigMovieProps);
    EXPECT_EQ(trig_info().live, 1) << "another kind stays";
    trig_unregister(other, kTrigDisplay);
    EXPECT_EQ(icon_state_flags(step) & kIconNotify, 0);
    EXPECT_EQ(trig_info().mask, 0u);
}

// The kernel signals Step's run state and its end to the triggers that depend on them.
TEST_F(TrigTest, KernelSignalsReachTheTriggers)
{
    ASSERT_EQ(trig_register(kTrigDisplay, show, 1600, 0, 0), 1);
    hold(show, 1600, 0);
    walk();
    EXPECT_EQ(g_calls.size(), 1u);
}

TEST_F(TrigTest, HandlerMayDeleteItsOwnTrigger)
{
    g_delete_in_handler = true;
    ASSERT_EQ(trig_register(kTrigDisplay, other, 1600, 0, 0), 1);
    trig_fire(kTrigIconDone, int32_t(step));
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(g_calls[0].value, "a text longer than eight bytes");
    EXPECT_EQ(trig_info().live, 0);
    ScriptValue held;
    EXPECT_EQ(trig_get_held(other, 1600, held), 0);
    EXPECT_EQ(icon_state_flags(step) & kIconNotify, 0);
}

// A handler whose work closes the records: the walks in progress end.
TEST_F(TrigTest, HandlerMayReleaseTheTriggers)
{
    ASSERT_EQ(trig_register(kTrigDisplay, show, 1600, 0, 0), 1);
    ASSERT_EQ(trig_register(kTrigDisplay, other, 1600, 0, 0), 1);
    g_release_in_handler = true;
    trig_fire(kTrigIconDone, int32_t(step));
    EXPECT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(trig_info().live, 0);
    EXPECT_EQ(trig_info().used, 0);
}

// Records of 66 bytes: the block stops growing below 32240 bytes; deleted records make room.
TEST_F(TrigTest, BlockStaysBelowItsLimitAndCompacts)
{
    int registered = 0;
    while (trig_register(kTrigDisplay, show, 1600, 0, registered) == 1)
        registered++;
    TrigInfo full = trig_info();
    EXPECT_LT(full.capacity, kTrigBlockLimit);
    EXPECT_EQ(full.used, 46 + 66 * registered);
    EXPECT_GT(full.used + 66 + 528, int(kTrigBlockLimit));
    trig_unregister(show, kTrigDisplay);
    EXPECT_EQ(trig_info().used, full.used) << "deleted records wait for the next registration";
    ASSERT_EQ(trig_register(kTrigDisplay, show, 1600, 0, 0), 1);
    EXPECT_EQ(trig_info().used, 46 + 66);
    EXPECT_EQ(trig_info().live, 1);
}

TEST_F(TrigTest, PeriodRunsAsExecutorTaskUntilTheTriggerGoes)
{
    ASSERT_EQ(trig_register(kTrigDisplay, show, 1601, 0, 0), 1);
    EXPECT_EQ(task_interval(kTaskTrigger, show, 1601), 250u);
    EXPECT_EQ(trig_task(show, 1601), 1);
    EXPECT_EQ(g_calls.size(), 1u);
    trig_unregister_property(show, 1601);
    EXPECT_EQ(trig_task(show, 1601), 0);
}

// A resumed piece keeps its triggers; their first evaluation calls the handler even for the
// value it had.
TEST_F(TrigTest, ResumedTriggersApplyTheirValueAgain)
{
    ASSERT_EQ(trig_register(kTrigDisplay, other, 1600, 0, 0), 1);
    trig_fire(kTrigIconDone, int32_t(step));
    ASSERT_EQ(g_calls.size(), 1u);
    close_piece();
    trig_set_handler(kTrigDisplay, record_call);
    ASSERT_EQ(reopen(), 0);
    EXPECT_EQ(trig_info().live, 1);
    EXPECT_EQ(trig_get_flags(other, 1600) & kTrigHeld, 0);
    EXPECT_EQ(trig_dirty(), 1);
    trig_fire(kTrigIconDone, int32_t(step));
    ASSERT_EQ(g_calls.size(), 2u);
    EXPECT_EQ(g_calls[1].value, "a text longer than eight bytes");
}

// A stored block is walked by checked lengths; one that does not hold is refused.
TEST_F(TrigTest, RestoreRefusesDamagedBlocks)
{
    const std::string zeros40 = std::string(80, '0');
    const std::string end = "2e00 01000000" + zeros40;
    const std::string live = "3800 03000000" + zeros40 + "0200 0b000100 00000000";
    static const size_t kBlockSize = 0;
    const struct {
        const char* name;
        int16_t state_size;
        bool store;
        std::string block;
        size_t used; // kBlockSize: the block's own size
        int result;
    } rows[] = {
        { "an end record only", 14, true, end, kBlockSize, 0 },
        { "a live record", 14, true, live + end, kBlockSize, 0 },
        { "a state of 13 bytes", 13, true, end, kBlockSize, kErrStateSize },
        { "no block", 14, false, end, kBlockSize, kErrOutOfMemory },
        { "no end record", 14, true, live, kBlockSize, kErrStateSize },
        { "a length past the block", 14, true, "ff00 03000000" + zeros40 + "0200 0b000100 00000000" + end, kBlockSize,
            kErrStateSize },
        { "a length not 46 + 10n", 14, true, "3300 03000000" + zeros40 + "0200 0b00" + end, kBlockSize, kErrStateSize },
        { "kind 10", 14, true, "3800 0a000000" + zeros40 + "0200 0b000100 00000000" + end, kBlockSize, kErrStateSize },
        { "an end record of 56 bytes", 14, true, "3800 01000000" + zeros40 + "0200 0b000100 00000000", kBlockSize,
            kErrStateSize },
        { "bytes after the end record", 14, true, end + "0000", kBlockSize, kErrStateSize },
        { "a used length beyond the block", 14, true, end, 48, kErrStateSize },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<uint8_t> block = from_hex(row.block);
        uint16_t record = urec_new_id();
        if (row.store) {
            ASSERT_EQ(urec_write(record, block.data(), block.size()), 0);
        }
        uint8_t state[kTrigStateSize] = {};
        plat::store_u16le(state + 4, record);
        plat::store_u16le(state + 6, uint16_t(row.used == kBlockSize ? block.size() : row.used));
        ModuleMessage message;
        message.message = kModRestore;
        message.size = row.state_size;
        message.state = state;
        EXPECT_EQ(trig_module(&message), row.result);
    }
}

// A linked icon's property comes from its library icon with its dependencies: the library's
// variable Score becomes the piece's Score, Bonus, which the piece lacks, can never be
// signalled, and icons are the library's.
TEST_F(TrigBase, LibraryDependenciesAreBoundToThePiece)
{
    make_file("lib.v5e", "kind PLIB\nvar Score 11\nvar Bonus 3\nicon map \"Lib\" node 1\n"
                         "icon map \"Shapes\" {\n icon display \"Star\" node 7 {\n  code 1600 \"Score\"\n"
                         "  deps 1600 1 Score 1 Bonus 16 8\n }\n icon calc \"Inner\" node 8\n}\n");
    ASSERT_EQ(open_piece_file("kind PCRS\nlibrary \"T:\\\\lib.v5e\"\nvar Other 0\nvar Score 5\n"
                              "icon map \"Top\" {\n icon display \"Show\" link 1 7\n}\n"),
        0);
    IconId show = piece_icon("Show");
    ASSERT_EQ(trig_register(kTrigDisplay, show, 1600, 0, 0), 1);
    const std::string dependencies = saved_block().substr(2 * 46, 2 * 30);
    EXPECT_EQ(dependencies, "0100" "02000000" "00000100"
                            "0000" "02000000" "00000000"
                            "1000" "08000200" "00000000");
    trig_mark_property(show, 1600);
    trig_update();
    ASSERT_NE(var_set_int(0, 2, 0, 9), 0);
    trig_update();
    ASSERT_EQ(g_calls.size(), 2u);
    EXPECT_EQ(g_calls[0].value, "5");
    EXPECT_EQ(g_calls[1].value, "9");
}

// Lists of the other byte order: three header longs, then {u16, i32, i32} per dependency;
// key codes of the other platform become this platform's.
TEST(TrigSwap, ListsAreSwappedWithTheirKeyCodes)
{
    static const struct {
        const char* name;
        const char* foreign;
        const char* native;
        int result;
    } rows[] = {
        { "header only", "00000001 000000fa 00000006", "01000000 fa000000 06000000", 0 },
        { "icon dependency", "00000000 00000000 00000004 0002 0000000b 00000000",
            "00000000 00000000 04000000 0200 0b000000 00000000", 0 },
        { "Mac Return key", "00000000 00000000 00000100 0008 00010024 00000000",
            "00000000 00000000 00010000 0800 0d000000 00000000", 1 },
        { "key without counterpart", "00000000 00000000 00000200 0009 00000041 00000000",
            "00000000 00000000 00020000 0900 41000000 00000000", 0 },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<uint8_t> bytes = from_hex(row.foreign);
        EXPECT_EQ(trig_swap(bytes.data(), bytes.size(), 1), row.result);
        EXPECT_EQ(to_hex(bytes), to_hex(from_hex(row.native)));
        EXPECT_EQ(trig_swap(bytes.data(), bytes.size(), 0), row.result);
        EXPECT_EQ(to_hex(bytes), to_hex(from_hex(row.foreign)));
    }
    for (size_t length : { size_t(0), size_t(11), size_t(13), size_t(21), size_t(32212) }) {
        SCOPED_TRACE(length);
        std::vector<uint8_t> bytes(length, 0xAB);
        EXPECT_EQ(trig_swap(bytes.data(), bytes.size(), 1), kErrFileDamaged);
        EXPECT_EQ(bytes, std::vector<uint8_t>(length, 0xAB));
    }
}

} // namespace
} // namespace enginetest
