// Pictures for the picture tests, written by the piece maker from description lines, and
// helpers to hold them in blocks.
#pragma once
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "runtime/base/mem.h"
#include "tools/piecemaker/pm_desc.h"

namespace pigtest {

// The bytes of a picture record described by lines of `pic` statements (or raw contents).
inline std::vector<uint8_t> picture(const std::string& lines, const std::string& folder = "")
{
    PieceDescription piece;
    std::string error;
    std::string text = "kind PCRS\nrecord 1 52 raw\n" + lines + "\nend\n";
    EXPECT_TRUE(pm_parse(text, folder, piece, error)) << error;
    return piece.records.empty() ? std::vector<uint8_t>{} : piece.records[0].bytes;
}

inline std::vector<uint8_t> from_hex(const std::string& hex)
{
    std::vector<uint8_t> out;
    std::string digits;
    for (char c : hex)
        if (!std::isspace(uint8_t(c)))
            digits += c;
    for (size_t i = 0; i + 1 < digits.size(); i += 2)
        out.push_back(uint8_t(std::stoi(digits.substr(i, 2), nullptr, 16)));
    return out;
}

// A block holding bytes, freed with the holder.
struct Block {
    MemHandle handle{};
    explicit Block(const std::vector<uint8_t>& bytes) { handle = mem_alloc_copy(bytes.data(), bytes.size()); }
    ~Block() { mem_free(handle); }
    Block(const Block&) = delete;
    Block& operator=(const Block&) = delete;
};

// Writes a bottom-up BMP of 1, 4, 8 or 24 bits: value(x, y) (y from the top) is an index into
// table, or 0x00RRGGBB for 24 bits.
template <typename Value>
void write_bmp(const std::string& path, int32_t width, int32_t height, int bits, const std::vector<uint32_t>& table,
    Value value)
{
    size_t stride = size_t((bits * width + 31) / 32 * 4);
    std::vector<uint8_t> out(54 + 4 * table.size() + stride * size_t(height), 0);
    auto put = [&](size_t at, uint32_t v, int n) {
        for (int i = 0; i < n; i++)
            out[at + size_t(i)] = uint8_t(v >> (8 * i));
    };
    out[0] = 'B', out[1] = 'M';
    put(2, uint32_t(out.size()), 4);
    put(10, uint32_t(54 + 4 * table.size()), 4);
    put(14, 40, 4), put(18, uint32_t(width), 4), put(22, uint32_t(height), 4), put(26, 1, 2), put(28, uint32_t(bits), 2);
    put(46, uint32_t(table.size()), 4);
    for (size_t i = 0; i < table.size(); i++)
        put(54 + 4 * i, table[i], 3);
    size_t start = 54 + 4 * table.size();
    for (int32_t y = 0; y < height; y++) {
        uint8_t* row = out.data() + start + stride * size_t(height - 1 - y);
        for (int32_t x = 0; x < width; x++) {
            uint32_t v = value(x, y);
            if (bits == 24) {
                row[3 * x] = uint8_t(v), row[3 * x + 1] = uint8_t(v >> 8), row[3 * x + 2] = uint8_t(v >> 16);
                continue;
            }
            int per_byte = 8 / bits;
            int shift = 8 - bits * (x % per_byte + 1);
            row[x / per_byte] |= uint8_t(v << shift);
        }
    }
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(out.data()), std::streamsize(out.size()));
}

} // namespace pigtest
