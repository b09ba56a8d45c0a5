// A file's custom cursors as the node store opens and closes it, from the cursor list record
// piecemaker writes, and the cursor a response stores.
#include "../runtime/node_fixture.h"

#include "platform/window/cursor.h"
#include "platform/window/input.h"
#include "runtime/pieces/piece_hooks.h"
#include "runtime/ui/cursor.h"

namespace {

using namespace nodetest;

class CursorFilesTest : public NodeTest {
protected:
    void SetUp() override
    {
        NodeTest::SetUp();
        ASSERT_EQ(curs_init(), 1);
    }
    void TearDown() override
    {
        curs_term();
        NodeTest::TearDown();
    }
};

// Cursor 3 is 16 x 2 (rows of 2 bytes), cursor 4 claims 16 x 16 with 4 bytes of masks.
constexpr const char* kCursorsPiece = R"(kind PCRS
cursor 3 1 0 16 2 "ffff 00ff" "0000 ff00"
cursor 4 0 0 16 16 "ffff" "0000"
icon map "Top" {
    icon interaction "Ask" {
        icon calc "Hot" class 3 {
            bytes layout 9 u16 6
        }
        icon calc "Typed" class 4
    }
}
)";

TEST_F(CursorFilesTest, AFilesCursorsAreMadeAtOpenAndGoAtClose)
{
    ASSERT_EQ(open_piece(1, kCursorsPiece), 0);
    plat::CursorHandle made = curs_custom_handle(1, 3);
    ASSERT_TRUE(made);
    EXPECT_FALSE(curs_custom_handle(1, 4)); // masks too short
    plat::IconImage image;
    ASSERT_TRUE(plat::cursor_get_image(made, image));
    EXPECT_EQ(image.width, 16);
    EXPECT_EQ(image.height, 2);
    EXPECT_EQ(image.hotspot_x, 1);
    EXPECT_EQ(image.and_mask[2], 0x00);
    EXPECT_EQ(image.and_mask[3], 0xFF);
    EXPECT_TRUE(curs_spec_equal(curs_for_icon(titled(1, "Hot")), curs_from_number(1, 6)));
    EXPECT_TRUE(curs_spec_equal(curs_for_icon(titled(1, "Typed")), CursorSpec {})); // not a kind with a cursor
    curs_set(curs_from_number(1, 53));
    EXPECT_EQ(plat::get_cursor(), made);
    ASSERT_TRUE(piece_hooks().cursors_free);
    piece_hooks().cursors_free(); // the piece closes
    EXPECT_FALSE(curs_custom_handle(1, 3));
    EXPECT_FALSE(plat::cursor_get_image(made, image));
    EXPECT_EQ(plat::get_cursor(), plat::load_cursor({}, plat::ResourceId(plat::IDC_ARROW)));
    node_file_close_all(1);
}

} // namespace
