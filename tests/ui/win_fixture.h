// A presentation window of the runtime's style over a piece opened as the current piece, on the
// platform's 1024 x 768 screen without a backend.
#pragma once
#include <string>
#include <gtest/gtest.h>

#include "platform/backend/backend.h"
#include "platform/kernel/clock.h"
#include "platform/window/defproc.h"
#include "platform/window/styles.h"
#include "platform/window/window.h"
#include "platform/window/wndclass.h"
#include "runtime/pieces/piece_current.h"
#include "runtime/ui/win_place.h"
#include "runtime/ui/win_util.h"
#include "tests/runtime/node_fixture.h"

namespace wintestui {

using namespace plat;

constexpr uint32_t kStageStyle = WS_CLIPCHILDREN | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

inline LResult stage_proc(WindowHandle window, uint32_t message, WParam wparam, LParam lparam)
{
    if (message == WM_CREATE)
        win_restore_saved_rect(window);
    if (message == WM_GETMINMAXINFO) {
        win_minmax_info(*reinterpret_cast<MinMaxInfo*>(lparam));
        return 0;
    }
    return def_window_proc(window, message, wparam, lparam);
}

class StageTest : public nodetest::NodeTest {
protected:
    void SetUp() override
    {
        NodeTest::SetUp();
        backend_set(nullptr);
        clock_reset();
        clock_use_virtual(1000, 0);
        window_system_reset();
        WindowClass stage_class;
        stage_class.proc = stage_proc;
        stage_class.class_name = "Stage";
        ASSERT_NE(register_class(stage_class), 0);
    }
    void TearDown() override
    {
        win_place_reset();
        window_system_reset();
        clock_reset();
        node_file_close_all(kPieceSlot);
        piece_current_clear();
        NodeTest::TearDown();
    }

    // The piece's top icon carries the attributes and properties given as piece-maker lines.
    void open_with(const std::string& top_lines)
    {
        piece_current_set_slot(kPieceSlot);
        ASSERT_EQ(open_piece(kPieceSlot, "kind PCRS\nicon map \"Top\" {\n" + top_lines + "}\n"), 0);
        ASSERT_NE(piece_top_icon(), 0u);
    }
    WindowHandle make_stage()
    {
        stage = create_window_ex(0, "Stage", "Stage", kStageStyle, 0, 0, 300, 200, {}, 0, {}, nullptr);
        return stage;
    }
    static Rect client_on_screen(WindowHandle window)
    {
        Rect client;
        get_client_rect(window, client);
        Point origin;
        client_to_screen(window, origin);
        return { origin.x, origin.y, origin.x + client.width(), origin.y + client.height() };
    }

    WindowHandle stage;
};

} // namespace wintestui
