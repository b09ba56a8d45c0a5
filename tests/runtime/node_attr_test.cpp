#include "node_fixture.h"

using namespace nodetest;

namespace {

using NodeAttrTest = NodeTest;

// Blocks given byte by byte, so that each descriptor's reading is held against raw bytes.
constexpr const char* kAttrPiece = R"(kind PCRS
icon map "Top" {
    kind-block 12
    bytes kind 0 u8 0x0b
    icon display "Disp" {
        kind-block 6
        bytes kind 3 u8 0x10
        bytes kind 4 u16 0x1234
    }
    icon map "Flagged" {
        attr 1 1
        attr 9 1
    }
    icon calc "Plain" {
        bytes kind 0 u8 0xff
    }
    icon interaction "Ask" {
        kind-block 9
        bytes kind 8 u8 0x70
        icon calc "Resp" class 3 {
            bytes layout 0 u8 0xa5
            bytes layout 1 u16 -5000 10 3000 5
            bytes layout 11 u8 0x04
        }
        icon calc "Target" class 4 {
            bytes layout 1 u16 0 0 0 0
        }
    }
    icon decision "Choose" {
        icon calc "Branch" class 1 {
            bytes layout 0 u8 0x20
        }
    }
    icon movie "Film" {
        kind-block 6
        bytes kind 5 u8 0x04
    }
}
)";

TEST_F(NodeAttrTest, DescriptorsReadTheirFields)
{
    struct Case {
        const char* title; // "" for node 1
        uint32_t descriptor;
        uint32_t value;
    };
    static const Case kCases[] = {
        { "Resp", 0x10004F0, 0xa }, // kind 1: layout byte 0, bits 4 to 7
        { "Resp", 0x1000001, 1 },
        { "Resp", 0x3010002, 0xec78 }, // kind 3: two layout bytes, -5000 as unsigned
        { "Resp", 0x3010001, 0x78 },
        { "Resp", 0x3010004, 0 }, // only 1 and 2 bytes make a value
        { "Disp", 0x2030410, 1 }, // kind 2: kind byte 3 bit 4
        { "Disp", 0x4040002, 0x1234 }, // kind 4: the content record
        { "Disp", 0x4050002, 0 }, // bytes 5 and 6 of a 6-byte kind block: past the header
        { "Disp", 0x5000001, 0 }, // kind 5 is not an attribute
        { "Plain", 0x1000520, 0 }, // layout class 0: no layout block, whatever the bytes
        { "Plain", 0x2000520, 1 },
        { "", 0x20004F0, 0 },
        { "", 0x2000308, 1 },
        // computed attributes
        { "Resp", 0, 3 }, // the layout class
        { "Flagged", 1, 1 }, // header bit 20
        { "Flagged", 9, 1 }, // a Map's flag 9 is header bit 21
        { "Disp", 9, 1 }, // a Display's is kind byte 3 bit 4
        { "Plain", 9, 0 },
        { "Ask", 4, 1 }, // Interaction: kind byte 8 bit 6
        { "Branch", 4, 1 }, // under a Decision: layout byte 0 bit 5
        { "Resp", 4, 0 },
        { "Ask", 7, 3 }, // Interaction: kind byte 8 bits 4 and 5
        { "Resp", 7, 2 }, // with a layout block: layout byte 0 bits 6 and 7
        { "Plain", 7, 0 },
        { "Film", 10, 1 }, // Movie: kind byte 5 bit 2
        { "Plain", 5, 0 }, // a Calc has no such field
        { "Disp", 6, 0 }, // no link table
    };
    ASSERT_EQ(open_piece(1, kAttrPiece), 0);
    for (const Case& c : kCases) {
        SCOPED_TRACE(std::string(c.title) + " " + std::to_string(c.descriptor));
        IconId at = *c.title ? titled(1, c.title) : icon(1, 1);
        ASSERT_NE(at, 0u);
        EXPECT_EQ(node_get_attr(at, c.descriptor), c.value);
    }
    EXPECT_EQ(node_get_attr(icon(1, 0), 0x2000308), 0u);
    EXPECT_EQ(node_get_attr(icon(1, 2), 0), 0u); // a free node
}

TEST_F(NodeAttrTest, WritesStayInTheLoadedGroup)
{
    ASSERT_EQ(open_piece(1, kAttrPiece), 0);
    IconId top = icon(1, 1), plain = titled(1, "Plain"), disp = titled(1, "Disp");
    IconId flagged = titled(1, "Flagged");
    node_set_attr(top, 0x20004F0, 9);
    EXPECT_EQ(node_get_attr(top, 0x20004F0), 9u);
    EXPECT_EQ(node_get_attr(top, 0x200000F), 0xbu); // bits 0 to 3 as they were
    node_set_attr(plain, 5, 7); // a Calc has no such field
    EXPECT_EQ(node_get_attr(plain, 0x20004F0), 0xfu);
    EXPECT_EQ(node_get_attr(plain, 5), 0u);
    node_set_attr(disp, 5, 6); // kind byte 6 is past the 6-byte block: nothing is written
    EXPECT_EQ(node_get_attr(disp, 5), 0u);
    node_set_attr(disp, 0x4040002, 0xbeef);
    EXPECT_EQ(node_content_record(disp), 0xbeef);
    node_set_attr(flagged, 9, 0);
    EXPECT_EQ(node_get_attr(flagged, 9), 0u);
    EXPECT_EQ(node_get_attr(flagged, 1), 1u);
    node_set_attr(flagged, 0, 5); // the layout class is not writable
    EXPECT_EQ(node_layout_class(flagged), 0);

    uint8_t rect[8] = { 1, 0, 2, 0, 3, 0, 4, 0 }, back[8] = {};
    IconId resp = titled(1, "Resp");
    EXPECT_EQ(node_write_attr(resp, 0x3010008, rect), 1);
    EXPECT_EQ(node_read_attr(resp, 0x3010008, back), 1);
    EXPECT_EQ(to_hex(back, 8), to_hex(rect, 8));
    EXPECT_EQ(node_write_attr(resp, 0x30B0002, rect), 0); // bytes 11 and 12 of 12
    EXPECT_EQ(node_read_attr(resp, 0x1000101, back), 0); // not a bytes descriptor
    EXPECT_EQ(node_read_attr(plain, 0x3000001, back), 0); // no layout block

    // Opened again, the file has what it had.
    node_file_close_all(1);
    ASSERT_EQ(open_piece(1, kAttrPiece), 0);
    EXPECT_EQ(node_get_attr(icon(1, 1), 0x20004F0), 0u);
    EXPECT_EQ(node_content_record(titled(1, "Disp")), 0x1234);
    EXPECT_EQ(node_get_attr(titled(1, "Flagged"), 9), 1u);
}

TEST_F(NodeAttrTest, ResponseRectanglesAndFixedFields)
{
    ASSERT_EQ(open_piece(1, kAttrPiece), 0);
    Rect r;
    EXPECT_NE(node_get_rect(titled(1, "Resp"), r), 0);
    EXPECT_EQ(r.left, -1000);
    EXPECT_EQ(r.top, 10);
    EXPECT_EQ(r.right, 2000);
    EXPECT_EQ(r.bottom, 10); // raised to the top
    EXPECT_EQ(node_get_rect(titled(1, "Target"), r), 0); // all zero
    EXPECT_EQ(node_get_rect(titled(1, "Branch"), r), 0); // class 1 has none
    EXPECT_EQ(r.right, 0);
    EXPECT_EQ(node_class_flag_bits(titled(1, "Resp")), 1u); // layout byte 11 bit 2
    EXPECT_EQ(node_class_flag_bits(titled(1, "Branch")), 0u);
    EXPECT_EQ(node_content_record(titled(1, "Disp")), 0x1234);
    EXPECT_EQ(node_content_record(titled(1, "Film")), 0);
}

} // namespace
