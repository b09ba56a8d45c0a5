// Property expressions, attached calculations and the Wait icon: its options, the key and
// click answers, and the stopwatch that ends a timed wait on the virtual clock.
#include "engine_fixture.h"

#include "platform/kernel/clock.h"
#include "platform/kernel/log.h"
#include "runtime/calc/value.h"
#include "runtime/engine/icon_props.h"
#include "runtime/engine/icon_wait.h"

#include <fstream>

namespace enginetest {
namespace {

constexpr const char* kPropsPiece = R"P(kind PCRS
var n 0
icon map "Top" {
    icon calc "Sum" {
        calc "n := 2 > 1"
    }
    icon wait "Timed" {
        code 1007 "1.5"
    }
    icon wait "Plain"
}
)P";

class IconKindsTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        plat::clock_use_virtual(1000, 0);
    }
    std::vector<std::string> kernel_lines()
    {
        std::vector<std::string> lines;
        std::ifstream in(host("trace.log"));
        for (std::string line; std::getline(in, line);)
            if (line.find(" kernel ") != std::string::npos)
                lines.push_back(line.substr(line.find(' ') + 1));
        return lines;
    }
};

TEST_F(IconKindsTest, PropertyFormsTakeTheDefaultOnlyWhenThePropertyIsMissing)
{
    ASSERT_EQ(open_piece_file(kPropsPiece), 0);
    IconId timed = piece_icon("Timed");
    IconId plain = piece_icon("Plain");
    ScriptValue value;
    EXPECT_EQ(icon_eval_property(plain, kPropWaitLimit, value), kErrNoProperty);
    EXPECT_EQ(icon_eval_property(timed, kPropWaitLimit, value), 0);
    val_free(value);
    EXPECT_DOUBLE_EQ(icon_eval_property_real(timed, kPropWaitLimit, -1), 1.5);
    EXPECT_DOUBLE_EQ(icon_eval_property_real(plain, kPropWaitLimit, -1), -1);
    EXPECT_EQ(icon_eval_property_int(plain, kPropWaitLimit, 42), 42);
    EXPECT_EQ(icon_eval_property_bool(timed, kPropWaitLimit, 0), 1);
    EXPECT_EQ(icon_eval_property_bool(plain, kPropWaitLimit, 7), 7);
}

// Layers are kept in 16 bits; a Movie icon's pictures never lie on the backdrop's layer 0.
TEST_F(IconKindsTest, LayerPropertyIsClampedToSixteenBits)
{
    ASSERT_EQ(open_piece_file(R"P(kind PCRS
icon map "Top" {
    icon display "Far" {
        code 1044 "100000"
    }
    icon display "Deep" {
        code 1044 "-70000"
    }
    icon display "Five" {
        code 1044 "5"
    }
    icon display "None"
    icon movie "Film"
    icon movie "Behind" {
        code 1044 "-3"
    }
}
)P"),
        0);
    static const struct {
        const char* icon;
        int32_t layer;
    } rows[] = { { "Far", 32767 }, { "Deep", -32768 }, { "Five", 5 }, { "None", 0 }, { "Film", 1 }, { "Behind", 1 } };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.icon);
        EXPECT_EQ(icon_eval_property_int16(piece_icon(row.icon), 1044), row.layer);
    }
}

TEST(WaitLimit, SecondsBecomeMillisecondsSaturating)
{
    static const struct {
        double seconds;
        int32_t ms;
    } rows[] = { { 1.5, 1500 }, { 0, 0 }, { -3, 0 }, { 1e300, kWaitLimitMaxMs }, { 2147483.647, 2147483647 } };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.seconds);
        EXPECT_EQ(exec_wait_limit_ms(row.seconds), row.ms);
    }
}

// The timed Wait ends 1500 ms after it began waiting (the clock looks every 11 ms); the plain
// Wait, without limit or options, ends at once.
TEST_F(IconKindsTest, CalcRunsAndTimedWaitEndsWhenItsLimitHasPassed)
{
    ASSERT_TRUE(plat::log_open(host("trace.log")));
    exec_trace_set(kTraceKernel);
    ASSERT_EQ(open_piece_file(kPropsPiece), 0);
    EXPECT_EQ(walk().back(), "Timed 2");
    uint32_t began = plat::get_tick_count();
    IconId timed = piece_icon("Timed");
    EXPECT_EQ(task_interval(kTaskTimeLimit, timed, 0), 11u);
    while (exec_context().state == kStateWaiting && plat::get_tick_count() - began < 5000) {
        plat::clock_advance(1);
        sched_tick(0xFFFF);
    }
    uint32_t waited = plat::get_tick_count() - began;
    EXPECT_GE(waited, 1500u);
    EXPECT_LE(waited, 1520u);
    EXPECT_FALSE(task_exists(kTaskTimeLimit, timed, 0));
    EXPECT_EQ(walk().back(), "#1 7");
    plat::log_close();
    std::vector<std::string> lines = kernel_lines();
    EXPECT_EQ(lines, (std::vector<std::string> { "kernel enter 1 map \"\"", "kernel enter 7 calc \"Sum\"", "kernel calc 7 0",
                         "kernel done 7", "kernel enter 8 wait \"Timed\"", "kernel wait 8", "kernel done 8",
                         "kernel enter 9 wait \"Plain\"", "kernel wait 9", "kernel done 9", "kernel done 1",
                         "kernel ended" }));
}

// Key and click options: a click passes a key-only Wait, a key never does.
TEST_F(IconKindsTest, WaitAnswersKeysAndClicksByItsOptions)
{
    struct Row {
        const char* name;
        const char* attrs;
        int click_answer, click_ends, key_ends;
    };
    static const Row rows[] = {
        { "key only", "attr 0x2000640 1", 0, 0, 1 },
        { "click only", "attr 0x2000780 1", 1, 1, 0 },
        { "button only waits", "attr 0x2000520 1", 0, 0, 0 },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::string piece = std::string("kind PCRS\nicon map \"Top\" {\n icon wait \"Hold\" {\n  ") + row.attrs + "\n }\n}\n";
        ASSERT_EQ(open_piece_file(piece), 0);
        ASSERT_EQ(walk().back(), "Hold 2");
        KernelInput click;
        EXPECT_EQ(exec_input_event(&click, 0), row.click_answer);
        EXPECT_EQ(exec_context().state == kStateWaiting, !row.click_ends);
        if (!row.click_ends) {
            EXPECT_EQ(exec_input_event(nullptr, 65), 1); // a key is taken in every case
            EXPECT_EQ(exec_context().state == kStateWaiting, !row.key_ends);
        }
        piece_close(0);
    }
}

} // namespace
} // namespace enginetest
