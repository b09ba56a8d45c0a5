// Byte-order conversion of pictures: hand-checked bytes of a native and a foreign stream, the
// record store's converter of type 52 (as `piecemaker dump --hex` shows a big-endian piece's
// picture), round trips over every converted opcode, and damage that stops a conversion.
#include <gtest/gtest.h>

#include "platform/kernel/byte_io.h"
#include "runtime/base/errcode.h"
#include "platform/gdi/palette.h"
#include "runtime/display/palette.h"
#include "runtime/display/pig_swap.h"
#include "runtime/store/swap.h"
#include "runtime/store/swap_record.h"
#include "tests/display/pig_fixture.h"
#include "tests/runtime/rec_store_fixture.h"
#include "tools/piecemaker/pm_dump.h"

namespace {

using pigtest::from_hex;
using pigtest::picture;

const std::string kBmpFolder = STORVEL_SOURCE_DIR "/tests/platform/fixtures/bmp";

// header (5 records, 92 bytes, bounds 0 0 100 50), rectangle 10 20 40 30, pen 2 x 3, line
// (1, 2)-(3, 4), polygon bounds 0 0 10 10 with points (1, 2) and (5, 6).
constexpr const char* kLines = "pic header 0 0 100 50\npic rect 10 20 40 30\npic pen 2 3\npic line 1 2 3 4\n"
                               "pic polygon 0 0 10 10 1 2 5 6";
constexpr const char* kNative = "0000 50494700 57494e00 30303100 05000000 5c000000 00000000"
                                " 0000 0000 6400 3200 0000 0000 6400 3200"
                                " 7100 0a00 1400 2800 1e00"
                                " 2300 0200 0300"
                                " 7500 0100 0200 0300 0400"
                                " 8d00 18000000 0000 0000 0a00 0a00 0200 0100 0200 0500 0600";
// Big-endian, rectangles as top, left, bottom, right and points as y, x.
constexpr const char* kForeign = "0000 50494700 57494e00 30303100 00000005 0000005c 00000000"
                                 " 0000 0000 0032 0064 0000 0000 0032 0064"
                                 " 0071 0014 000a 001e 0028"
                                 " 0023 0002 0003"
                                 " 0075 0002 0001 0004 0003"
                                 " 008d 00000018 0000 0000 000a 000a 0002 0002 0001 0006 0005";

class PigSwapTest : public rectest::RecStoreTest {
protected:
    void SetUp() override
    {
        RecStoreTest::SetUp();
        pig_swap_lend_converter();
    }
};

TEST_F(PigSwapTest, HandCheckedBytesBothWays)
{
    std::vector<uint8_t> native = from_hex(kNative), foreign = from_hex(kForeign);
    ASSERT_EQ(picture(kLines), native);
    std::vector<uint8_t> bytes = native;
    ASSERT_EQ(pig_swap_bytes(bytes.data(), bytes.size(), 0), 0);
    EXPECT_EQ(bytes, foreign);
    ASSERT_EQ(pig_swap_bytes(bytes.data(), bytes.size(), 1), 0);
    EXPECT_EQ(bytes, native);
    // The record store's converter of pictures is this one.
    bytes = foreign;
    ASSERT_EQ(swap_record_bytes(52, bytes.data(), bytes.size(), 1), 0);
    EXPECT_EQ(bytes, native);
}

TEST_F(PigSwapTest, ABigEndianPieceShowsItsPictureNatively)
{
    std::string description = std::string("kind PCRS\nrecord 3 52 raw order big\n") + kLines + "\nend\n";
    std::vector<uint8_t> file = piece_bytes(description);
    std::vector<uint8_t> foreign = from_hex(kForeign);
    EXPECT_NE(std::search(file.begin(), file.end(), foreign.begin(), foreign.end()), file.end());
    write_file("big.v5r", file);
    std::string dump;
    ASSERT_EQ(pm_dump(host("big.v5r"), 3, dump), 0) << dump;
    EXPECT_EQ(dump.substr(0, 58), "00000000  00 00 50 49 47 00 57 49 4e 00 30 30 31 00 05 00\n");
    EXPECT_NE(dump.find("00000040  03 00 04 00 8d 00 18 00 00 00 00 00 00 00 0a 00\n"), std::string::npos) << dump;
}

TEST_F(PigSwapTest, EveryConvertedOpcodeComesBack)
{
    std::vector<uint8_t> native = picture(
        "pic header -5 -6 70 80\n"
        "pic raw \"\\x07\\0\\x0a\\0\\0\\0\\x03\\0\\0\\0\"\n" // caller element 3
        "pic round-rect 1 2 30 40 5 6\npic pie 1 2 30 40 3 4 5 6\npic arc 1 2 30 40 7 8 9 10\n"
        "pic oval 2 3 4 5\npic colors 255 0 0 0 0 255\n"
        "pic image 0 0 9 5 10 10 19 15 \"pal4.bmp\" \"mono1.bmp\"\n"
        "pic image-record 7 0 0 9 5 0 0 18 10 -1 0 \"mono1.bmp\" 0 0 9 5\n"
        "pic text 1 2 3 4 \"stored\"\n"
        "pic raw \"\\x99\\0\\x0e\\0\\0\\0\\x01\\0\\x02\\0\\x03\\0\\x04\\0\"\n" // OLE object, rectangle only
        "pic raw \"\\x9a\\0\\x18\\0\\0\\0\\x01\\0\\x02\\0\\x03\\0\\x04\\0\\x01\\0\\x05\\0\\x06\\0\\x07\\0\\x08\\0\"",
        kBmpFolder);
    plat::store_u32le(native.data() + kPigHeaderReserved, 0x11223344);
    std::vector<uint8_t> bytes = native;
    ASSERT_EQ(pig_swap_bytes(bytes.data(), bytes.size(), 0), 0);
    EXPECT_NE(bytes, native);
    EXPECT_EQ(plat::load_u32le(bytes.data() + kPigHeaderReserved), 0x11223344u); // never converted
    ASSERT_EQ(pig_swap_bytes(bytes.data(), bytes.size(), 1), 0);
    EXPECT_EQ(bytes, native);
}

TEST_F(PigSwapTest, PaletteMapsAreRecomputedForThePiecePalette)
{
    std::vector<uint8_t> native = picture("pic header 0 0 10 10\npic colors 255 0 0 0 0 255\npic palette-map 99 7 7");
    plat::GdiObject palette;
    uint32_t id = pal_create_piece_palette(palette);
    ASSERT_NE(id, 0u); // the built-in palette
    uint8_t red = uint8_t(plat::get_nearest_palette_index(palette, 0x0000FF));
    uint8_t blue = uint8_t(plat::get_nearest_palette_index(palette, 0xFF0000));
    plat::delete_object(palette);
    std::vector<uint8_t> bytes = native;
    ASSERT_EQ(pig_swap_bytes(bytes.data(), bytes.size(), 0), 0);
    ASSERT_EQ(pig_swap_bytes(bytes.data(), bytes.size(), 1), 0);
    size_t map = 42 + 18; // header, colour table of two entries
    ASSERT_EQ(plat::load_u16le(bytes.data() + map), kPigOpPaletteMap);
    EXPECT_EQ(plat::load_u32le(bytes.data() + map + 10), id);
    EXPECT_EQ(bytes[map + 14], red);
    EXPECT_EQ(bytes[map + 15], blue);
    // Everything else comes back as it was.
    std::copy(native.begin() + ptrdiff_t(map) + 10, native.begin() + ptrdiff_t(map) + 16, bytes.begin() + ptrdiff_t(map) + 10);
    EXPECT_EQ(bytes, native);
}

TEST_F(PigSwapTest, DamageStopsTheConversion)
{
    struct Row {
        const char* name;
        const char* lines;
    };
    static const Row kRows[] = {
        {"a polygon counting more points than it holds", "pic raw \"\\x8d\\0\\x14\\0\\0\\0\\0\\0\\0\\0\\0\\0\\0\\0\\x09\\0\\0\\0\\0\\0\""},
        {"an image offset past the record",
            "pic raw \"\\x65\\0\\x3a\\0\\0\\0" "\\0\\0\\0\\0" "\\0\\0\\0\\0\\0\\0\\0\\0" "\\0\\0\\0\\0\\0\\0\\0\\0"
            "\\0\\0\\0\\0" "\\0\\0\\0\\0" "\\xff\\0\\0\\0" "\\0\\0\\0\\0\\0\\0\\0\\0\\0\\0\\0\\0\\0\\0\\0\\0\\0\\0\\0\\0\""},
        {"an OLE record too short for its rectangle", "pic raw \"\\x99\\0\\x08\\0\\0\\0\\0\\0\""},
        {"a media record too short for its rectangles", "pic raw \"\\x9a\\0\\x0e\\0\\0\\0\\0\\0\\0\\0\\0\\0\\0\\0\""},
    };
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.name);
        std::vector<uint8_t> bytes = picture(std::string("pic header 0 0 10 10\n") + row.lines);
        EXPECT_EQ(pig_swap_bytes(bytes.data(), bytes.size(), 0), kPigOverrun);
        bytes = picture(std::string("pic header 0 0 10 10\n") + row.lines);
        EXPECT_EQ(swap_record_bytes(52, bytes.data(), bytes.size(), 0), kErrFileDamaged);
    }
    // A mask header over the record's own fields or over the image's header.
    std::vector<uint8_t> masked = picture("pic header 0 0 10 10\npic image 0 0 9 5 0 0 9 5 \"mono1.bmp\" \"mono1.bmp\"",
        kBmpFolder);
    size_t at = 42 + plat::load_u32le(masked.data() + 44); // past the colour table
    ASSERT_EQ(plat::load_u16le(masked.data() + at), kPigOpImage);
    uint32_t image = plat::load_u32le(masked.data() + at + 34);
    for (uint32_t mask : {1u, image + 4 + 10}) {
        SCOPED_TRACE(mask);
        std::vector<uint8_t> bytes = masked;
        plat::store_u32le(bytes.data() + at + 30, mask);
        EXPECT_EQ(pig_swap_bytes(bytes.data(), bytes.size(), 0), kPigOverrun);
    }
    std::vector<uint8_t> bytes = masked;
    EXPECT_EQ(pig_swap_bytes(bytes.data(), bytes.size(), 0), 0);
    std::vector<uint8_t> short_block(30, 0);
    EXPECT_EQ(pig_swap_bytes(short_block.data(), short_block.size(), 1), kPigOverrun);
    EXPECT_EQ(pig_swap(MemHandle{}, 0, 0, 1), kPigCannotOpen);
}

} // namespace
