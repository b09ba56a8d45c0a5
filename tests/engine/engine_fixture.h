// Shared by the engine's tests: the node store's fixture with the pieces library and the
// engine started, a piece written by the piece maker into T:\ and opened with its learner's
// records in T:\piece.rec, and helpers that step the kernel and read the records file.
#pragma once
#include "tests/runtime/node_fixture.h"

#include "runtime/base/errcode.h"
#include "runtime/base/taglist.h"
#include "runtime/engine/engine.h"
#include "runtime/engine/exec_hooks.h"
#include "runtime/engine/exec_task.h"
#include "runtime/engine/exec_trace.h"
#include "runtime/engine/icon_seq.h"
#include "runtime/engine/icon_state.h"
#include "runtime/engine/idle.h"
#include "runtime/engine/kernel.h"
#include "runtime/engine/modbus.h"
#include "runtime/engine/urec.h"
#include "runtime/files/sched.h"
#include "runtime/pieces/lib.h"
#include "runtime/pieces/piece.h"
#include "runtime/pieces/piece_current.h"
#include "runtime/pieces/piece_hooks.h"
#include "runtime/pieces/pieces.h"

#include <string>
#include <vector>

namespace enginetest {

using namespace nodetest;

// A piece with the resume option: calc icons in maps, one empty map.
inline constexpr const char* kWalkPiece = R"(kind PCRS
icon map "Top" {
    attr 0x2000308 1
    icon calc "One"
    icon map "Group" {
        icon calc "Two"
        icon map "Empty"
    }
    icon calc "Three"
}
)";

class EngineTest : public NodeTest {
protected:
    void SetUp() override
    {
        NodeTest::SetUp();
        ASSERT_EQ(pieces_init(), 1);
        ASSERT_EQ(lib_list_init(), 1);
        ASSERT_EQ(sched_init(), 1);
        exec_trace_set(0);
        engine_init();
    }
    void TearDown() override
    {
        piece_close(0);
        engine_term();
        exec_set_hooks(nullptr);
        sched_term();
        pieces_term();
        piece_set_hooks(nullptr);
        exec_trace_set(-1);
        NodeTest::TearDown();
    }

    // Writes the piece and opens it with its records file: piece_open's answer.
    int open_piece_file(const std::string& description, int flags = 0)
    {
        make_file("piece.v5r", description);
        return reopen(flags);
    }
    int reopen(int flags = 0) { return piece_open(disk("piece.v5r"), disk("piece.rec"), flags); }
    // Closes the piece as the window's close does: save, then close.
    void close_piece()
    {
        engine_window_closing();
        piece_close(0);
    }

    IconId piece_icon(const char* title) const { return titled(piece_slot(), title); }
    // "TITLE STATE" of the kernel ("#N" for untitled nodes).
    static std::string where()
    {
        const KernelContext& context = exec_context();
        std::string title = title_of(context.icon);
        if (title.empty())
            title = "#" + std::to_string(node_icon_number(context.icon));
        return title + " " + std::to_string(context.state);
    }
    // Steps until the kernel is idle (at most limit steps): "where" after each step.
    static std::vector<std::string> walk(int limit = 100)
    {
        std::vector<std::string> out;
        for (int i = 0; i < limit; i++) {
            int idle = exec_step();
            out.push_back(where());
            if (idle)
                break;
        }
        return out;
    }
    // Record 1's fields as "tag:size" in order.
    static std::string field_sizes()
    {
        std::vector<uint8_t> list;
        if (urec_read(1, list) != 0)
            return "none";
        std::string out;
        plat::ByteReader r(list.data(), list.size());
        for (;;) {
            uint16_t tag = r.u16le();
            if (r.failed() || tag == 0)
                break;
            uint16_t length = r.u16le();
            out += (out.empty() ? "" : " ") + std::to_string(tag) + ":" + std::to_string(length);
            r.skip(size_t(length) + (length & 1));
        }
        return out;
    }
};

} // namespace enginetest
