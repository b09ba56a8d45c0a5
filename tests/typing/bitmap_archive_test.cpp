#include "typing/bitmap_archive.h"

#include "platform/kernel/byte_io.h"
#include "platform/backend/backend.h"
#include "platform/gdi/blit.h"
#include "platform/window/input.h"
#include "platform/gdi/rop.h"
#include "typing/bitmap_archive_pack.h"

#include "test_util.h"

#include <memory>
#include <random>

namespace {

// A 16-byte BMP stored as literals: "BM", the rest of the file header, then a 2-byte "DIB".
const char kPackedBmp[] = "ff 42 4d 10 00 00 00 00 00  ff 00 00 0e 00 00 00 28 00";
constexpr uint32_t kDataStart = kArchiveIndexSize;

std::vector<uint8_t> index_entry(const char* name, uint32_t offset, uint32_t packed, uint32_t unpacked)
{
    std::vector<uint8_t> entry;
    plat::ByteWriter w(entry);
    char field[kArchiveNameSize] = {};
    std::string(name).copy(field, sizeof field);
    w.bytes(field, sizeof field);
    w.u32le(offset);
    w.u32le(packed);
    w.u32le(unpacked);
    return entry;
}

// An archive with the given entries in its index and the data after the index.
std::vector<uint8_t> archive_with(
    const std::vector<std::vector<uint8_t>>& entries, const std::vector<uint8_t>& data)
{
    std::vector<uint8_t> file;
    for (const std::vector<uint8_t>& entry : entries)
        file.insert(file.end(), entry.begin(), entry.end());
    file.resize(kArchiveIndexSize, 0);
    file.insert(file.end(), data.begin(), data.end());
    return file;
}

class BitmapArchive : public TempFolder {
protected:
    void TearDown() override
    {
        bitmap_archive_close();
        bitmap_archive_set_wait_cursor(plat::CursorHandle {});
        plat::set_cursor(plat::CursorHandle {});
        plat::backend_set(nullptr);
        plat::dc_reset();
        TempFolder::TearDown();
    }
    bool open(const std::vector<uint8_t>& file)
    {
        write_host_file(path("qktbmp.map"), file);
        return bitmap_archive_open_file(path("qktbmp.map"));
    }
};

struct EntryCase {
    const char* name;
    uint32_t offset, packed, unpacked;
    const char* data;
    const char* dib; // null: the picture is missing
};

TEST_F(BitmapArchive, DamagedEntriesGiveMissingPictures)
{
    static const EntryCase kCases[] = {
        {"whole entry", kDataStart, 18, 16, kPackedBmp, "28 00"},
        {"offset past the file", kDataStart + 19, 0, 0, kPackedBmp, nullptr},
        {"packed bytes run past the end", kDataStart, 19, 16, kPackedBmp, nullptr},
        {"offset and size wrap around", 0xFFFFFFF0, 0x20, 16, kPackedBmp, nullptr},
        {"stream ends before the unpacked size", kDataStart, 18, 17, kPackedBmp, nullptr},
        {"stream wants more than the unpacked size", kDataStart, 18, 15, kPackedBmp, nullptr},
        {"unpacked size of 4 GB", kDataStart, 18, 0xFFFFFFFF, kPackedBmp, nullptr},
        {"stream cut inside the second flag group", kDataStart, 12, 16, kPackedBmp, nullptr},
        {"no BM signature", kDataStart, 18, 16, "ff 58 4d 10 00 00 00 00 00  ff 00 00 0e 00 00 00 28 00", nullptr},
        {"only a file header", kDataStart, 16, 14, "ff 42 4d 0e 00 00 00 00 00  3f 00 00 0e 00 00 00", nullptr},
        {"index points into itself", 0, 18, 16, kPackedBmp, nullptr},
    };
    for (const EntryCase& c : kCases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(open(archive_with({index_entry("pic.bmp", c.offset, c.packed, c.unpacked)},
            from_hex(c.data))));
        ASSERT_NE(bitmap_archive_find("pic.bmp"), nullptr);
        std::vector<uint8_t> dib = bitmap_archive_read("pic.bmp");
        EXPECT_EQ(dib, c.dib ? from_hex(c.dib) : std::vector<uint8_t>());
    }
}

TEST_F(BitmapArchive, LookupIgnoresCaseAndStopsAtTheFirstEmptyName)
{
    std::vector<std::vector<uint8_t>> entries;
    for (int i = 0; i < 150; ++i) {
        std::string name = "p" + std::to_string(i) + ".bmp";
        entries.push_back(index_entry(i == 5 ? "" : name.c_str(), kDataStart, 18, 16));
    }
    entries[0] = index_entry("vd-menu.bmp", kDataStart, 18, 16);
    entries[1] = index_entry("sixteen-bytes.bm", kDataStart, 18, 16); // no room for a NUL
    ASSERT_TRUE(open(archive_with(entries, from_hex(kPackedBmp))));
    EXPECT_EQ(bitmap_archive_read("VD-MENU.BMP"), from_hex("28 00"));
    EXPECT_NE(bitmap_archive_find("SIXTEEN-BYTES.BM"), nullptr);
    EXPECT_NE(bitmap_archive_find("p4.bmp"), nullptr);
    EXPECT_EQ(bitmap_archive_find("p6.bmp"), nullptr);
    EXPECT_EQ(bitmap_archive_find("p149.bmp"), nullptr);
    EXPECT_EQ(bitmap_archive_find(""), nullptr);
}

TEST_F(BitmapArchive, ShortOrMissingFilesHoldOnlyWholeEntries)
{
    std::vector<uint8_t> file = archive_with(
        {index_entry("a.bmp", kDataStart, 18, 16), index_entry("b.bmp", kDataStart, 18, 16)}, {});
    file.resize(kArchiveEntrySize * 2 - 1); // the second entry lacks a byte
    ASSERT_TRUE(open(file));
    EXPECT_NE(bitmap_archive_find("a.bmp"), nullptr);
    EXPECT_EQ(bitmap_archive_find("b.bmp"), nullptr);
    EXPECT_TRUE(bitmap_archive_read("a.bmp").empty()); // its data is not there

    EXPECT_FALSE(bitmap_archive_open_file(path("absent.map")));
    EXPECT_EQ(bitmap_archive_find("a.bmp"), nullptr);
    EXPECT_TRUE(bitmap_archive_read("a.bmp").empty());
}

std::vector<uint8_t> test_bmp(size_t pixel_bytes, unsigned seed)
{
    std::vector<uint8_t> bmp = {'B', 'M'};
    bmp.resize(54, 0);
    bmp[14] = 40; // the info header's size: enough of a DIB for the archive
    std::mt19937 random(seed);
    for (size_t i = 0; i < pixel_bytes; ++i)
        bmp.push_back(uint8_t(seed % 2 ? random() : i / 64));
    return bmp;
}

TEST_F(BitmapArchive, PackedPicturesReadBack)
{
    std::vector<ArchivePicture> pictures = {
        {"face1.bmp", test_bmp(1024, 1)},
        {"vd-menu.bmp", test_bmp(640 * 480, 2)},
        {"Banner1.BMP", test_bmp(5000, 3)},
        {"fifteen-bytes.b", test_bmp(1, 4)},
    };
    std::vector<uint8_t> file;
    std::string error;
    ASSERT_TRUE(bitmap_archive_pack(pictures, file, error)) << error;
    EXPECT_LT(file.size(), kArchiveIndexSize + 640 * 480 / 4); // the flat picture shrinks
    ASSERT_TRUE(open(file));
    for (const ArchivePicture& picture : pictures) {
        SCOPED_TRACE(picture.name);
        std::vector<uint8_t> dib = bitmap_archive_read(picture.name);
        EXPECT_EQ(dib, std::vector<uint8_t>(picture.bmp.begin() + kBmpFileHeaderSize, picture.bmp.end()));
    }
    EXPECT_FALSE(bitmap_archive_read("banner1.bmp").empty());
}

TEST(BitmapArchivePack, RefusesWhatTheReaderCannotHold)
{
    std::vector<uint8_t> bmp = test_bmp(4, 0);
    struct RefusedCase {
        const char* name;
        std::vector<ArchivePicture> pictures;
    };
    std::vector<ArchivePicture> too_many;
    for (int i = 0; i < 151; ++i)
        too_many.push_back({"p" + std::to_string(i), bmp});
    const RefusedCase kCases[] = {
        {"empty name", {{"", bmp}}},
        {"name of 16 bytes", {{"sixteen-bytes.bm", bmp}}},
        {"same name in another case", {{"a.bmp", bmp}, {"A.BMP", bmp}}},
        {"not a BMP", {{"a.bmp", {'X', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}}}},
        {"header only", {{"a.bmp", std::vector<uint8_t>(bmp.begin(), bmp.begin() + 14)}}},
        {"151 pictures", too_many},
    };
    for (const RefusedCase& c : kCases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> file;
        std::string error;
        EXPECT_FALSE(bitmap_archive_pack(c.pictures, file, error));
        EXPECT_FALSE(error.empty());
    }
}

// The archive the build puts beside the program: the packer tool wrote it from the project's
// pictures, and the reader finds each of them.
TEST_F(BitmapArchive, BuiltArchiveHoldsTheProjectsPictures)
{
    ASSERT_TRUE(bitmap_archive_open_file(STORVEL_BINARY_DIR "/bin/qktbmp.map"));
    for (const char* name : {"face1.bmp", "vd-menu.bmp", "banner1.bmp"}) {
        SCOPED_TRACE(name);
        std::vector<uint8_t> dib = bitmap_archive_read(name);
        ASSERT_GE(dib.size(), 40u);
        EXPECT_EQ(plat::load_u32le(dib.data()), 40u); // a BITMAPINFOHEADER
    }
}

// Pictures of several depths, and the built archive's, become device bitmaps that blit the
// source files' pixels.
TEST_F(BitmapArchive, LoadedPicturesBlitTheirSourcePixels)
{
    plat::dc_reset();
    auto stripes = [](int x, int y) { return uint32_t((x / 3 + y) % 5); };
    std::vector<ArchivePicture> made = {
        {"mono.bmp", bmp_file({40, 21, 5, 1, 0, {0x102030, 0xF0E0D0}, dib_rows(21, 5, 1, stripes)})},
        {"five.bmp", bmp_file({40, 13, 6, 4, 5, {0xFF0000, 0x00FF00, 0x0000FF, 0x808000, 0x101010},
            dib_rows(13, 6, 4, stripes)})},
    };
    std::vector<uint8_t> file;
    std::string error;
    ASSERT_TRUE(bitmap_archive_pack(made, file, error)) << error;
    write_host_file(path("made.map"), file);

    struct LoadCase {
        std::string archive;
        std::string name;
        std::vector<uint8_t> bmp;
    };
    std::vector<LoadCase> cases;
    for (const ArchivePicture& picture : made)
        cases.push_back({path("made.map"), picture.name, picture.bmp});
    for (const char* name : {"face1.bmp", "vd-menu.bmp", "banner1.bmp"}) {
        cases.push_back({STORVEL_BINARY_DIR "/bin/qktbmp.map", name,
            read_host_file(STORVEL_BINARY_DIR "/typing/art/" + std::string(name))});
    }
    for (const LoadCase& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(bitmap_archive_open_file(c.archive));
        int width = int32_t(plat::load_u32le(&c.bmp[18]));
        int height = int32_t(plat::load_u32le(&c.bmp[22]));
        plat::GdiObject bitmap = bitmap_archive_load(c.name);
        ASSERT_TRUE(bitmap);
        plat::DcHandle memory = plat::create_compatible_dc(plat::DcHandle {});
        plat::GdiObject previous = plat::select_object(memory, bitmap);
        Canvas canvas(width + 2, height + 2, 0x123456);
        plat::bit_blt(canvas.dc, 1, 1, width + 1, height + 1, memory, 0, 0, plat::SRCCOPY);
        int wrong = 0;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x)
                wrong += canvas.at(x + 1, y + 1) != bmp_pixel(c.bmp, x, y);
        }
        EXPECT_EQ(wrong, 0);
        EXPECT_EQ(canvas.at(width + 1, height + 1), 0x123456u); // nothing past the picture
        plat::select_object(memory, previous);
        plat::delete_dc(memory);
        plat::delete_object(bitmap);
    }
    EXPECT_FALSE(bitmap_archive_load("absent.bmp"));
}

// Stands in for the display: keeps the cursor shapes it was told to show.
class CursorRecorder : public plat::Backend {
public:
    const char* name() const override { return "cursors"; }
    plat::Size screen_size() const override { return plat::Size {640, 480}; }
    int screen_bits_per_pixel() const override { return 32; }
    void window_changed(plat::WindowHandle, plat::WindowChange) override { }
    void surface_changed(plat::WindowHandle, const plat::Rect&) override { }
    void cursor_changed(plat::CursorHandle cursor) override { shown.push_back(cursor.id); }
    void cursor_moved(plat::Point) override { }
    bool wait(uint32_t) override { return false; }
    void poll() override { }
    std::vector<uint32_t> shown;
};

TEST_F(BitmapArchive, LargePicturesShowTheWaitCursorWhileTheyUnpack)
{
    std::vector<ArchivePicture> pictures = {
        {"small.bmp", test_bmp(kArchiveWaitCursorSize - 54, 5)}, // exactly the limit
        {"large.bmp", test_bmp(kArchiveWaitCursorSize - 53, 6)},
    };
    std::vector<uint8_t> file;
    std::string error;
    ASSERT_TRUE(bitmap_archive_pack(pictures, file, error)) << error;
    ASSERT_TRUE(open(file));
    auto owned = std::make_unique<CursorRecorder>();
    CursorRecorder* recorder = owned.get();
    plat::backend_set(std::move(owned));
    plat::set_cursor(plat::CursorHandle(3));
    recorder->shown.clear();

    EXPECT_FALSE(bitmap_archive_read("large.bmp").empty()); // no wait cursor given yet
    bitmap_archive_set_wait_cursor(plat::CursorHandle(7));
    EXPECT_FALSE(bitmap_archive_read("small.bmp").empty());
    EXPECT_TRUE(recorder->shown.empty());
    EXPECT_FALSE(bitmap_archive_read("large.bmp").empty());
    EXPECT_EQ(recorder->shown, (std::vector<uint32_t> {7, 3}));
}

} // namespace
