// Helpers of the typing tests: bytes written as hex, a temporary folder per test, a canvas
// to draw on, and the pixels of BMP files read without the platform's DIB code.
#pragma once
#include <gtest/gtest.h>

#include "platform/kernel/byte_io.h"
#include "platform/gdi/bitmap.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/gdi_object.h"
#include "platform/gdi/shape.h"
#include "platform/gdi/surface.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

// "01 ff" -> {0x01, 0xFF}; blanks are ignored.
inline std::vector<uint8_t> from_hex(const char* hex)
{
    std::vector<uint8_t> bytes;
    for (const char* p = hex; p[0];) {
        if (*p == ' ') {
            ++p;
            continue;
        }
        bytes.push_back(uint8_t(std::stoi(std::string(p, 2), nullptr, 16)));
        p += 2;
    }
    return bytes;
}

inline void write_host_file(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

inline std::vector<uint8_t> read_host_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// A fresh folder under the host's temporary folder, removed after the test.
class TempFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "typing_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_folder = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(m_folder); }
    std::string path(const std::string& name) const { return m_folder + "/" + name; }

private:
    std::string m_folder;
};

// A memory DC over a bitmap of the screen's format, filled with one colour (0x00RRGGBB).
struct Canvas {
    plat::DcHandle dc;
    plat::GdiObject bitmap;
    plat::GdiObject previous;

    Canvas(int32_t width, int32_t height, uint32_t fill)
    {
        plat::DcHandle screen = plat::get_dc(plat::WindowHandle {});
        bitmap = plat::create_compatible_bitmap(screen, width, height);
        plat::release_dc(plat::WindowHandle {}, screen);
        dc = plat::create_compatible_dc(plat::DcHandle {});
        previous = plat::select_object(dc, bitmap);
        plat::GdiObject brush = plat::create_solid_brush(plat::colorref_from_pixel(fill));
        plat::fill_rect(dc, plat::Rect {0, 0, width, height}, brush);
        plat::delete_object(brush);
    }
    ~Canvas()
    {
        plat::select_object(dc, previous);
        plat::delete_dc(dc);
        plat::delete_object(bitmap);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    uint32_t at(int32_t x, int32_t y) const
    {
        return plat::pixel_from_colorref(plat::get_pixel(dc, x, y));
    }
};

// The colour (0x00RRGGBB) of pixel (x, y), top row 0, of an uncompressed bottom-up BMP file
// of 1, 4, 8 or 24 bits with a 40-byte header.
inline uint32_t bmp_pixel(const std::vector<uint8_t>& bmp, int x, int y)
{
    const uint8_t* p = bmp.data();
    uint32_t bits_offset = plat::load_u32le(p + 10);
    int width = int32_t(plat::load_u32le(p + 18));
    int height = int32_t(plat::load_u32le(p + 22));
    int depth = plat::load_u16le(p + 28);
    size_t stride = (size_t(width) * depth + 31) / 32 * 4;
    const uint8_t* row = p + bits_offset + stride * size_t(height - 1 - y);
    if (depth == 24)
        return uint32_t(row[3 * x + 2]) << 16 | uint32_t(row[3 * x + 1]) << 8 | row[3 * x];
    int bit = x * depth;
    int index = row[bit / 8] >> (8 - depth - bit % 8) & ((1 << depth) - 1);
    const uint8_t* quad = p + 14 + plat::load_u32le(p + 14) + 4 * index;
    return uint32_t(quad[2]) << 16 | uint32_t(quad[1]) << 8 | quad[0];
}

// A DIB made by the tests, stored field by field.
struct TestDib {
    uint32_t header_size = 40; // 12: a core header, whose table holds 3-byte entries
    int32_t width = 0;
    int32_t height = 0; // rows are stored bottom-up
    uint16_t depth = 8;
    uint32_t clr_used = 0;
    std::vector<uint32_t> table; // 0x00RRGGBB
    std::vector<uint8_t> bits; // as stored
};

inline std::vector<uint8_t> packed_dib(const TestDib& dib)
{
    std::vector<uint8_t> out;
    plat::ByteWriter w(out);
    w.u32le(dib.header_size);
    if (dib.header_size == 12) {
        w.u16le(uint16_t(dib.width));
        w.u16le(uint16_t(dib.height));
        w.u16le(1);
        w.u16le(dib.depth);
    } else {
        w.u32le(uint32_t(dib.width));
        w.u32le(uint32_t(dib.height));
        w.u16le(1);
        w.u16le(dib.depth);
        for (uint32_t field : {0u, uint32_t(dib.bits.size()), 2835u, 2835u, dib.clr_used, 0u})
            w.u32le(field);
    }
    for (uint32_t colour : dib.table) {
        w.u8(uint8_t(colour));
        w.u8(uint8_t(colour >> 8));
        w.u8(uint8_t(colour >> 16));
        if (dib.header_size != 12)
            w.u8(0);
    }
    w.bytes(dib.bits.data(), dib.bits.size());
    return out;
}

inline std::vector<uint8_t> bmp_file(const TestDib& dib)
{
    std::vector<uint8_t> packed = packed_dib(dib);
    std::vector<uint8_t> out;
    plat::ByteWriter w(out);
    w.u8('B');
    w.u8('M');
    w.u32le(uint32_t(14 + packed.size()));
    w.u32le(0);
    w.u32le(uint32_t(14 + packed.size() - dib.bits.size()));
    w.bytes(packed.data(), packed.size());
    return out;
}

// Stored rows (bottom-up, padded to 4 bytes) of a picture whose pixel (x, y), top row 0, is
// value(x, y): a table index up to 8 bits, a 0x00RRGGBB colour at 24.
template <typename Value>
std::vector<uint8_t> dib_rows(int width, int height, int depth, Value value)
{
    size_t stride = (size_t(width) * depth + 31) / 32 * 4;
    std::vector<uint8_t> bits(stride * height, 0);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = bits.data() + stride * size_t(height - 1 - y);
        for (int x = 0; x < width; ++x) {
            uint32_t v = value(x, y);
            if (depth == 24) {
                row[3 * x] = uint8_t(v);
                row[3 * x + 1] = uint8_t(v >> 8);
                row[3 * x + 2] = uint8_t(v >> 16);
            } else {
                int bit = x * depth;
                row[bit / 8] |= uint8_t(v << (8 - depth - bit % 8));
            }
        }
    }
    return bits;
}
