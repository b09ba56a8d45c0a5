// LZSS with a 4096-byte ring pre-filled with blanks, matches of 3 to 18 bytes and one flag bit
// per item (set: a literal byte; clear: a 12-bit ring position and a 4-bit length). The
// tutor's pictures are stored this way in its bitmap archive.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

constexpr size_t kLzssRingSize = 4096;
constexpr size_t kLzssMaxMatch = 18;
constexpr size_t kLzssThreshold = 2; // matches this long or shorter are stored as literals

// An item of 2 bytes yields at most 18; with the flag byte, 8 items of 16 bytes give 144 bytes
// from 17. A claimed unpacked size beyond this many times the packed size is a lie.
constexpr size_t kLzssMaxExpansion = 9;

struct LzssDecoded {
    size_t written = 0;
    bool overflowed = false; // the stream wanted to write past the end of out
};

// Decodes until the input runs out (at a flag byte, a literal or either byte of a pair) or out
// is full.
LzssDecoded lzss_decode(std::span<const uint8_t> in, std::span<uint8_t> out);

// Encodes with a binary-tree search for the longest match; lzss_decode gives the input back.
std::vector<uint8_t> lzss_encode(std::span<const uint8_t> in);
