// Perpetual calls: frames pushed and popped, jumps out of a call and between return responses,
// frames across a save, and the checks a restore makes of stored frames.
#include "engine_fixture.h"

#include "platform/kernel/byte_io.h"
#include "platform/kernel/log.h"
#include "runtime/engine/goto.h"
#include "runtime/engine/perpetual.h"

#include <fstream>

namespace enginetest {
namespace {

// Nodes: Top 1, One 7, Ask 8, R1 9, Other 10, P1 11, P2 12, P3 13. P1 and P2 are return
// responses (branch kind 3), P3 is not.
constexpr const char* kCallPiece = R"(kind PCRS
icon map "Top" {
    attr 0x2000308 1
    icon calc "One"
    icon interaction "Ask" {
        icon calc "R1"
    }
    icon interaction "Other" {
        icon calc "P1" class 1 {
            attr 0x1000430 3
        }
        icon calc "P2" class 1 {
            attr 0x1000430 3
        }
        icon calc "P3"
    }
}
)";

class PerpetualTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        ASSERT_EQ(open_piece_file(kCallPiece), 0);
        exec_step();
        exec_step();
        ASSERT_EQ(where(), "One 0");
        exec_set_state(kStateWaiting);
    }
    IconId frame_response(int n)
    {
        PerpetualCallFrame frame;
        return exec_frame(n, &frame) ? frame.response : 0;
    }
};

TEST(PerpetualFrameBytes, ThirtySixBytesContextFirst)
{
    PerpetualCallFrame frame;
    frame.context.icon = 0x00010007;
    frame.context.kind = 8;
    frame.context.state = 2;
    frame.context.depth = 1;
    frame.context.decision = 0x00010020;
    frame.context.interaction = 0x00010021;
    frame.context.framework = 0x00010022;
    frame.interaction = 0x0001000A;
    frame.selected = 0x0001000C;
    frame.response = 0x0001000B;
    uint8_t bytes[kFrameSize];
    frame_encode(frame, bytes);
    const uint8_t expected[kFrameSize] = {7, 0, 1, 0, 8, 0, 2, 0, 0, 0, 1, 0, 0x20, 0, 1, 0, 0x21, 0, 1, 0, 0x22, 0, 1, 0,
        0x0A, 0, 1, 0, 0x0C, 0, 1, 0, 0x0B, 0, 1, 0};
    EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + kFrameSize), std::vector<uint8_t>(expected, expected + kFrameSize));
    PerpetualCallFrame back = frame_decode(bytes);
    EXPECT_EQ(back.context.state, 2);
    EXPECT_EQ(back.context.framework, 0x00010022u);
    EXPECT_EQ(back.response, 0x0001000Bu);
}

// The call interrupts the waiting icon and the return gives it back in its state.
TEST_F(PerpetualTest, CallAndReturnRestoreTheInterruptedIcon)
{
    ASSERT_EQ(exec_enter_perpetual(piece_icon("P1"), 1), 1);
    EXPECT_EQ(where(), "P1 0");
    EXPECT_EQ(exec_context().depth, 1);
    EXPECT_EQ(exec_called_from(piece_icon("P1")), piece_icon("One"));
    EXPECT_EQ(exec_called_from(piece_icon("One")), 0u);
    EXPECT_EQ(exec_in_call_stack(piece_icon("P1")), 1);
    // A response running in the call stack is not called again.
    EXPECT_EQ(exec_enter_perpetual(piece_icon("P1"), 1), 0);
    EXPECT_EQ(exec_call_stack_text(), "Calc \"P1\" called from Calc \"One\"\r");

    EXPECT_EQ(exec_return_perpetual(piece_icon("P2")), 0); // not the innermost call's response
    ASSERT_EQ(exec_return_perpetual(piece_icon("P1")), 1);
    EXPECT_EQ(where(), "One 2");
    EXPECT_EQ(exec_public_icon(), piece_icon("One"));
    EXPECT_EQ(exec_context().depth, 0);
    EXPECT_EQ(exec_in_call_stack(piece_icon("P1")), 0);
    EXPECT_EQ(exec_call_stack_text(), "");
    EXPECT_EQ(exec_return_perpetual(piece_icon("P1")), 0);
}

// The contexts left and entered on the way in and out, and the interrupted icon told of both.
TEST_F(PerpetualTest, CallAndReturnTraceTheirContextSwitches)
{
    ASSERT_TRUE(plat::log_open(host("call.log")));
    exec_trace_set(kTraceGoto);
    ASSERT_EQ(exec_enter_perpetual(piece_icon("P1"), 0), 1);
    ASSERT_EQ(exec_return_perpetual(piece_icon("P1")), 1);
    exec_trace_set(0);
    plat::log_close();
    std::vector<std::string> lines;
    std::ifstream in(host("call.log"));
    for (std::string line; std::getline(in, line);)
        if (line.find(" goto") != std::string::npos)
            lines.push_back(line.substr(line.find(' ') + 1));
    EXPECT_EQ(lines, (std::vector<std::string> {"goto call 11 depth 1", "goto message 14 7 0", "goto message 15 11 0",
                         "goto message 15 10 0", "goto message 9 7 0", "goto message 3 10 11", "goto return 11 to 7",
                         "goto message 14 11 0", "goto message 14 10 0", "goto message 15 7 0", "goto message 10 7 0"}));
}

// An icon that the kernel waited for finishes during the call: the return goes on after it.
TEST_F(PerpetualTest, IconCompletedDuringTheCallIsDoneOnReturn)
{
    ASSERT_EQ(exec_enter_perpetual(piece_icon("P1"), 0), 1);
    EXPECT_EQ(exec_icon_completed(piece_icon("One")), 1);
    ASSERT_EQ(exec_return_perpetual(piece_icon("P1")), 1);
    EXPECT_EQ(where(), "One 1");
}

TEST_F(PerpetualTest, FramesSurviveASaveAndTheReturnFindsItsFrame)
{
    ASSERT_EQ(exec_enter_perpetual(piece_icon("P1"), 1), 1);
    close_piece();
    ASSERT_EQ(reopen(), 0);
    EXPECT_EQ(exec_context().depth, 1);
    EXPECT_EQ(frame_response(1), piece_icon("P1"));
    ASSERT_EQ(exec_return_perpetual(piece_icon("P1")), 1);
    EXPECT_EQ(where(), "One 2");
}

// Op 12 without a frame of the response goes on after the response's parent.
TEST_F(PerpetualTest, ReturnActionWithoutAFrameContinuesAfterTheParent)
{
    EXPECT_EQ(exec_do_action(KernelAction {kActReturnPerpetual, piece_icon("P3"), 0, 0, 0}), 0);
    EXPECT_EQ(where(), "Other 1");
}

// A stored call stack must name icons of the running piece, one 36-byte frame per depth.
TEST_F(PerpetualTest, RestoreRefusesFramesThatDoNotFit)
{
    ASSERT_EQ(exec_enter_perpetual(piece_icon("P1"), 1), 1);
    uint8_t state[kKernelSavedSize];
    ModuleMessage save;
    save.message = kModSave;
    save.size = int16_t(kKernelSavedSize);
    save.state = state;
    ASSERT_EQ(exec_kernel_module(&save), 0);
    uint16_t record = plat::load_u16le(state + 34);
    std::vector<uint8_t> good;
    ASSERT_EQ(urec_read(record, good), 0);
    ASSERT_EQ(good.size(), 2u + 4 + kFrameSize);
    struct Row {
        const char* name;
        size_t offset; // into the list; the u32 there is replaced
        uint32_t value;
        size_t cut;    // bytes taken off the end
    };
    static const Row rows[] = {
        {"response outside the piece", 4 + 32, 0x7FFF0001, 0},
        {"no response", 4 + 32, 0, 0},
        {"interrupted icon not a node", 4 + 0, 0x000103E7, 0},
        {"interaction outside the piece", 4 + 24, 0x7FFF0001, 0},
        {"frame under tag 2", 0, 2 | 36u << 16, 0},
        {"frame of 34 bytes", 0, 1 | 34u << 16, 0},
        {"list without its frame", 0, 0, 38},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<uint8_t> list = good;
        if (row.cut)
            list.resize(list.size() - row.cut);
        else
            plat::store_u32le(list.data() + row.offset, row.value);
        ASSERT_EQ(urec_write(record, list.data(), list.size()), 0);
        uint8_t copy[kKernelSavedSize];
        std::copy(state, state + kKernelSavedSize, copy);
        ModuleMessage restore;
        restore.message = kModRestore;
        restore.size = int16_t(kKernelSavedSize);
        restore.state = copy;
        EXPECT_EQ(exec_kernel_module(&restore), kErrStateSize);
    }
    ASSERT_EQ(urec_write(record, good.data(), good.size()), 0);
    ModuleMessage restore;
    restore.message = kModRestore;
    restore.size = int16_t(kKernelSavedSize);
    restore.state = state;
    EXPECT_EQ(exec_kernel_module(&restore), 0);
}

// A page called while the kernel stood at a Framework whose page holds the page's own Framework.
TEST_F(EngineTest, PageCalledFromAnOuterFrameworksPageIsFound)
{
    ASSERT_EQ(open_piece_file(R"(kind PCRS
icon map "Top" {
    icon framework "Outer" {
        icon map "Leaf" {
            icon framework "Inner" {
                icon calc "Deep"
            }
        }
    }
    icon framework "Side" {
        icon calc "Flat"
    }
}
)"),
        0);
    exec_set_current(piece_icon("Outer"), kStateWaiting);
    EXPECT_EQ(exec_called_in_framework_page(piece_icon("Deep")), 0);
    ASSERT_EQ(exec_enter_perpetual(piece_icon("Deep"), 0), 1);
    EXPECT_EQ(exec_called_in_framework_page(piece_icon("Deep")), 1);
    EXPECT_EQ(exec_called_in_framework_page(piece_icon("Flat")), 0);
    PerpetualCallFrame frame;
    ASSERT_EQ(exec_frame(1, &frame), 1);
    EXPECT_EQ(frame.interaction, 0u); // a page has a Framework, not an Interaction
    EXPECT_EQ(frame.response, piece_icon("Deep"));
}

} // namespace
} // namespace enginetest
