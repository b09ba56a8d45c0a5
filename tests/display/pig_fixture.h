// Pictures for the picture tests, written by the piece maker from description lines, and
// helpers to hold them in blocks.
#pragma once
#include <gtest/gtest.h>

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

} // namespace pigtest
