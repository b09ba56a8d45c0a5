// Shared by the tests of opening pieces: the node store's fixture with the pieces library
// started (its link services and file references lent), the runtime's texts, and no piece or
// queued script answer left behind.
#pragma once
#include "node_fixture.h"
#include "platform/backend/script.h"
#include "runtime/files/msg.h"
#include "runtime/pieces/lib.h"
#include "runtime/pieces/piece.h"
#include "runtime/pieces/piece_current.h"
#include "runtime/pieces/pieces.h"

namespace piecetest {

class PieceFixture : public nodetest::NodeTest {
protected:
    void SetUp() override
    {
        NodeTest::SetUp();
        msg_set_resource_module(plat::get_resource_module("test_msg"));
        ASSERT_EQ(pieces_init(), 1);
        ASSERT_EQ(lib_list_init(), 1);
    }
    void TearDown() override
    {
        piece_close(0);
        pieces_term();
        plat::script_reset();
        msg_set_resource_module(plat::ModuleHandle {});
        NodeTest::TearDown();
    }
};

} // namespace piecetest
