#include "typing/lzss.h"

#include "test_util.h"

#include <random>

namespace {

std::vector<uint8_t> decode_all(const std::vector<uint8_t>& packed, size_t capacity)
{
    std::vector<uint8_t> out(capacity);
    LzssDecoded decoded = lzss_decode(packed, out);
    EXPECT_FALSE(decoded.overflowed);
    out.resize(decoded.written);
    return out;
}

std::vector<uint8_t> bytes_of(const std::string& text) { return {text.begin(), text.end()}; }

struct StreamCase {
    const char* name;
    const char* packed;
    std::string expected;
};

TEST(Lzss, DecodesHandMadeStreams)
{
    static const StreamCase kCases[] = {
        {"empty input", "", ""},
        {"eight literals from one flag byte", "ff 41 42 43 44 45 46 47 48", "ABCDEFGH"},
        {"ninth item takes a new flag byte", "ff 41 42 43 44 45 46 47 48 01 49", "ABCDEFGHI"},
        {"match into the blank-filled ring", "00 00 00", "   "},
        {"length-18 match overlapping the write position repeats it",
            "01 41 ee ff", std::string(19, 'A')},
        {"two-byte pattern repeated", "03 41 42 ee f3", "ABABABAB"},
        {"stream ends inside a pair", "01 41 ee", "A"},
        {"stream ends after a flag byte", "ff 41 42 43 44 45 46 47 48 ff", "ABCDEFGH"},
        {"flags promise more items than there are", "ff 41", "A"},
    };
    for (const StreamCase& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(decode_all(from_hex(c.packed), 64), bytes_of(c.expected));
    }
}

TEST(Lzss, StopsWhenTheOutputIsFull)
{
    std::vector<uint8_t> out(5);
    LzssDecoded decoded = lzss_decode(from_hex("01 41 ee ff"), out);
    EXPECT_TRUE(decoded.overflowed);
    EXPECT_EQ(decoded.written, 5u);
    EXPECT_EQ(out, bytes_of("AAAAA"));

    std::vector<uint8_t> exact(19);
    decoded = lzss_decode(from_hex("01 41 ee ff"), exact);
    EXPECT_FALSE(decoded.overflowed);
    EXPECT_EQ(decoded.written, 19u);
}

std::vector<uint8_t> random_bytes(size_t size, unsigned seed, int alphabet)
{
    std::mt19937 random(seed);
    std::vector<uint8_t> bytes(size);
    for (uint8_t& b : bytes)
        b = uint8_t(random() % alphabet);
    return bytes;
}

struct RoundTripCase {
    const char* name;
    std::vector<uint8_t> data;
    size_t max_packed; // what a working match search must reach
};

TEST(Lzss, EncoderRoundTrips)
{
    std::vector<uint8_t> text;
    for (int i = 0; i < 300; ++i) {
        std::string line = "line " + std::to_string(i % 17) + " of the picture\n";
        text.insert(text.end(), line.begin(), line.end());
    }
    const RoundTripCase kCases[] = {
        {"empty", {}, 0},
        {"one byte", {0x42}, 2},
        {"blanks match the pre-filled ring at once", std::vector<uint8_t>(40, ' '), 8},
        {"one run of 100000 bytes", std::vector<uint8_t>(100000, 0x07), 12000},
        {"repeating text", text, text.size() / 4},
        {"few symbols", random_bytes(20000, 1, 4), 15000},
        {"random bytes grow by one flag byte in eight", random_bytes(20000, 2, 256), 22500},
        {"longer than the ring", random_bytes(3000, 3, 256), 5000},
    };
    for (const RoundTripCase& c : kCases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> packed = lzss_encode(c.data);
        EXPECT_LE(packed.size(), c.max_packed);
        EXPECT_EQ(decode_all(packed, c.data.size() + 100), c.data);
    }
    // Data that repeats beyond the ring's reach: the copy 5000 bytes back cannot be a match.
    std::vector<uint8_t> far = random_bytes(5000, 4, 256);
    std::vector<uint8_t> twice = far;
    twice.insert(twice.end(), far.begin(), far.end());
    EXPECT_EQ(decode_all(lzss_encode(twice), twice.size()), twice);
}

} // namespace
