// Hit testing pictures: shapes with their pen and fill, pies and arcs never, images by mode
// over their pixels (every depth and run-length form), masks and the hit mask of images held
// in records.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/gdi/bmp.h"
#include "runtime/display/pig_hit.h"
#include "tests/display/pig_fixture.h"
#include "tests/runtime/rec_store_fixture.h"

namespace {

using pigtest::Block;
using pigtest::picture;

const std::string kBmpFolder = STORVEL_SOURCE_DIR "/tests/platform/fixtures/bmp";

int hit(const std::vector<uint8_t>& bytes, int32_t x, int32_t y, int32_t flags = 0, int32_t slot = 0)
{
    Block block(bytes);
    Rect test{x - 2, y - 2, x + 2, y + 2};
    return pig_hit_test(block.handle, slot, x, y, &test, flags);
}

class PigHitTest : public testing::Test {
protected:
    std::string folder;
    void SetUp() override
    {
        pig_tables_init();
        std::string pattern = (std::filesystem::temp_directory_path() / "pig_hit_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder = pattern;
    }
    void TearDown() override
    {
        pig_tables_free();
        std::filesystem::remove_all(folder);
    }
};

TEST_F(PigHitTest, Shapes)
{
    static const struct {
        const char* name;
        const char* lines;
        int32_t x, y, flags;
        int result;
    } kRows[] = {
        {"inside a filled rectangle", "pic rect 10 10 50 50", 30, 30, 0, 13},
        {"inside an unfilled rectangle", "pic fill-off\npic rect 10 10 50 50", 30, 30, 0, 0},
        {"on an unfilled rectangle's frame", "pic fill-off\npic rect 10 10 50 50", 10, 30, 0, 13},
        {"outside", "pic rect 10 10 50 50", 70, 30, 0, 0},
        {"a rounded rectangle in its corner", "pic round-rect 10 10 50 50 30 30", 11, 11, 0, 13},
        {"inside a filled oval", "pic oval 10 10 50 50", 30, 30, 0, 13},
        {"beside an oval, inside its box", "pic oval 10 10 50 50", 13, 13, 0, 0},
        {"inside an unfilled oval", "pic fill-off\npic oval 10 10 50 50", 30, 30, 0, 0},
        {"a pie is never hit", "pic pie 10 10 50 50 50 30 30 10", 30, 30, 0, 0},
        {"an arc is never hit", "pic arc 10 10 50 50 50 30 30 10", 45, 17, 0, 0},
        {"a wide line tested where its pen moves it", "pic pen 5 5\npic line 10 10 10 100", 19, 109, 0, 13},
        {"not at its stored start", "pic pen 5 5\npic line 10 10 10 100", 3, 3, 0, 0},
        {"inside a filled polygon", "pic polygon 0 0 60 60 5 5 55 5 30 55", 30, 20, 0, 13},
        {"inside an unfilled polygon", "pic fill-off\npic polygon 0 0 60 60 5 5 55 5 30 55", 30, 20, 0, 0},
        {"embedded text", "pic text 10 10 50 50 \"\"", 30, 30, 0, 13},
        {"embedded text with the caller's flag", "pic text 10 10 50 50 \"\"", 30, 30, 1, 0},
        {"line off: no pen", "pic line-off\npic fill-off\npic rect 10 10 50 50", 10, 30, 0, 13},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(hit(picture(std::string("pic header 0 0 200 200\n") + row.lines), row.x, row.y, row.flags), row.result);
    }
    EXPECT_EQ(hit(picture("pic header 0 0 10 10\npic raw \"\\x08\\0\\x02\\0\\0\\0\""), 1, 1), kPigOverrun);
    Rect test{};
    EXPECT_EQ(pig_hit_test(MemHandle{}, 0, 0, 0, &test, 0), kPigNoPicture);
}

TEST_F(PigHitTest, ImagesByMode)
{
    std::string white = folder + "/white.bmp", dot = folder + "/dot.bmp";
    pigtest::write_bmp(white, 8, 8, 24, {}, [](int32_t, int32_t) { return 0xFFFFFFu; });
    pigtest::write_bmp(dot, 8, 8, 24, {}, [](int32_t x, int32_t y) { return x == 4 && y == 4 ? 0u : 0xFFFFFFu; });
    static const struct {
        const char* name;
        const char* file;
        int mode;
        int32_t x, y;
        int result;
    } kRows[] = {
        {"a white image in mode 2", "white.bmp", 2, 4, 4, 0},
        {"a white image in mode 4", "white.bmp", 4, 1, 1, 13},
        {"a white image in mode 0 without a mask", "white.bmp", 0, 6, 6, 13},
        {"a white image in mode 7", "white.bmp", 7, 4, 4, 0},
        {"beside a black pixel", "dot.bmp", 2, 5, 4, 13},
        {"two pixels beside it", "dot.bmp", 2, 6, 4, 0},
        {"outside the destination", "dot.bmp", 4, 20, 20, 0},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.name);
        std::string lines = "pic header 0 0 16 16\npic mode " + std::to_string(row.mode) + "\npic image 0 0 8 8 0 0 8 8 \""
            + row.file + "\"";
        EXPECT_EQ(hit(picture(lines, folder), row.x, row.y), row.result);
    }
}

// The BMP's colours, y from the top.
std::vector<uint32_t> bmp_colors(const std::string& path)
{
    std::vector<uint8_t> file;
    std::ifstream in(path, std::ios::binary);
    file.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    plat::BmpFile parts;
    EXPECT_TRUE(plat::bmp_read(file, parts));
    plat::DibImage image;
    EXPECT_TRUE(plat::dib_open(parts.info, parts.bits, plat::DIB_RGB_COLORS, {}, 0, parts.format.height, image));
    std::vector<uint32_t> out(size_t(parts.format.width * parts.format.height));
    for (int32_t y = 0; y < parts.format.height; y++)
        plat::dib_read_row(image, y, 0, parts.format.width, out.data() + size_t(y * parts.format.width), nullptr);
    return out;
}

TEST_F(PigHitTest, PixelsOfEveryDepthAndForm)
{
    static const struct {
        const char* file;
        const char* form;
    } kRows[] = {
        {"mono1.bmp", ""}, {"mono1.bmp", "mono-rle4"}, {"mono1.bmp", "mono-rle8"}, {"pal4.bmp", ""}, {"pal8.bmp", ""},
        {"rle8.bmp", ""}, {"rgb24.bmp", ""}, {"rgb32.bmp", ""}, {"rgb555.bmp", ""},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(std::string(row.file) + " " + row.form);
        std::vector<uint32_t> colors = bmp_colors(kBmpFolder + "/" + row.file);
        std::vector<uint8_t> bytes
            = picture(std::string("pic header 0 0 9 5\npic mode 2\npic image 0 0 9 5 0 0 9 5 \"") + row.file + "\" " + row.form,
                kBmpFolder);
        Block block(bytes);
        int wrong = 0;
        for (int32_t y = 0; y < 5; y++)
            for (int32_t x = 0; x < 9; x++) {
                bool dark = false;
                for (int32_t v = std::max(0, y - 1); v <= std::min(4, y + 1); v++)
                    for (int32_t u = std::max(0, x - 1); u <= std::min(8, x + 1); u++)
                        dark = dark || colors[size_t(v * 9 + u)] != 0xFFFFFF;
                Rect test{x - 2, y - 2, x + 2, y + 2};
                wrong += pig_hit_test(block.handle, 0, x, y, &test, 0) != (dark ? kPigHit : 0);
            }
        EXPECT_EQ(wrong, 0);
    }
}

TEST_F(PigHitTest, AStreamMaskDecidesModeZero)
{
    std::string image = folder + "/white.bmp", mask = folder + "/mask.bmp";
    pigtest::write_bmp(image, 8, 4, 24, {}, [](int32_t, int32_t) { return 0xFFFFFFu; });
    pigtest::write_bmp(mask, 8, 4, 1, {0, 0xFFFFFF}, [](int32_t x, int32_t) { return uint32_t(x < 2); });
    std::vector<uint8_t> bytes = picture("pic header 0 0 8 4\npic image 0 0 8 4 0 0 8 4 \"white.bmp\" \"mask.bmp\"", folder);
    EXPECT_EQ(hit(bytes, 1, 2), kPigHit);
    EXPECT_EQ(hit(bytes, 6, 2), 0);
}

// Images held in records of the file, with a hit mask in the stream record.
class PigHitRecordTest : public rectest::RecStoreTest {
protected:
    void SetUp() override
    {
        RecStoreTest::SetUp();
        pig_tables_init();
    }
    void TearDown() override
    {
        pig_tables_free();
        RecStoreTest::TearDown();
    }
};

TEST_F(PigHitRecordTest, TheHitMaskDecidesFirst)
{
    std::string white = host("white.bmp"), mask = host("mask.bmp");
    pigtest::write_bmp(white, 8, 4, 24, {}, [](int32_t, int32_t) { return 0xFFFFFFu; });
    pigtest::write_bmp(mask, 8, 4, 1, {0, 0xFFFFFF}, [](int32_t x, int32_t) { return uint32_t(x < 2); });
    std::string description = "kind PCRS\n"
                              "record 7 53 raw pic dib \"white.bmp\"\n"
                              "record 3 52 raw\n"
                              "pic header 0 0 8 4\npic image-record 7 0 0 8 4 0 0 8 4 -1 0 \"mask.bmp\" 0 0 8 4\n"
                              "pic mode 2\npic image-record 7 0 0 8 4 0 10 8 14 -1 0\n"
                              "pic image-record 9 0 0 8 4 0 20 8 24 -1 0\n"
                              "end\n";
    PieceDescription piece;
    std::string error;
    ASSERT_TRUE(pm_parse(description, host(""), piece, error)) << error;
    std::vector<uint8_t> file;
    ASSERT_TRUE(pm_build(piece, 0, file, error)) << error;
    ASSERT_EQ(open(1, memory(file)), 0);
    MemHandle block = rec_get(rec_make_id(1, 3));
    ASSERT_TRUE(block);
    static const struct {
        const char* name;
        int32_t x, y;
        int result;
    } kRows[] = {
        {"mode 0 inside the hit mask", 1, 2, 13},
        {"mode 0 outside the hit mask", 6, 2, 0},
        {"mode 2 over white pixels", 3, 12, 0},
        {"a missing image record", 3, 22, 15},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.name);
        Rect test{row.x - 2, row.y - 2, row.x + 2, row.y + 2};
        EXPECT_EQ(pig_hit_test(block, 1, row.x, row.y, &test, 0), row.result);
    }
    rec_release(rec_make_id(1, 3), kReleaseOne);
}

} // namespace
