#include "platform/gdi/rle.h"

#include <algorithm>

#include "platform/kernel/byte_io.h"

namespace plat {

// Images larger than this are refused before anything is allocated (16 M pixels).
constexpr uint64_t kRleMaxPixels = uint64_t(1) << 24;

enum : uint8_t {
    kEscape = 0,
    kEndOfLine = 0,
    kEndOfBitmap = 1,
    kDelta = 2,
};

// Encoders code whole stored rows, padding included, so runs may reach into the padding:
// those pixels are dropped. Past the padding the stream is damaged.
struct RleCursor {
    int32_t x = 0, y = 0;
    int32_t width = 0, height = 0;
    int32_t row_limit = 0; // pixels of a stored row, padding included
    int bits = 8;
    std::vector<uint8_t>* indices = nullptr;
    std::vector<uint8_t>* present = nullptr;

    bool fits(int32_t count) const { return y < height && count <= row_limit - x; }
    void put(uint8_t index)
    {
        if (x < width) {
            size_t at = size_t(y) * size_t(width) + size_t(x);
            (*indices)[at] = index;
            (*present)[at] = 1;
        }
        x++;
    }
};

// count pixels of value; for 4 bits the nibbles alternate, high first.
static bool decode_run(RleCursor& c, uint8_t count, uint8_t value)
{
    if (!c.fits(count))
        return false;
    for (int i = 0; i < count; i++)
        c.put(c.bits == 8 ? value : uint8_t((i & 1) ? value & 0x0F : value >> 4));
    return true;
}

static bool decode_literal(RleCursor& c, ByteReader& r, uint8_t count)
{
    size_t bytes = c.bits == 8 ? count : (size_t(count) + 1) / 2;
    size_t padded = (bytes + 1) & ~size_t(1);
    if (!c.fits(count) || padded > r.remaining())
        return false;
    const uint8_t* data = r.current();
    for (int i = 0; i < count; i++)
        c.put(c.bits == 8 ? data[i] : uint8_t((i & 1) ? data[i / 2] & 0x0F : data[i / 2] >> 4));
    r.skip(padded);
    return true;
}

static bool end_line(RleCursor& c)
{
    if (c.y >= c.height)
        return false;
    c.x = 0;
    c.y++;
    return true;
}

static bool decode_delta(RleCursor& c, ByteReader& r)
{
    uint8_t dx = r.u8(), dy = r.u8();
    if (r.failed() || dx > c.row_limit - c.x || dy > c.height - c.y)
        return false;
    c.x += dx;
    c.y += dy;
    return true;
}

bool rle_decode(std::span<const uint8_t> data, int bits, int32_t width, int32_t height,
    std::vector<uint8_t>& indices, std::vector<uint8_t>& present)
{
    if ((bits != 4 && bits != 8) || width < 1 || height < 1 || uint64_t(width) * uint64_t(height) > kRleMaxPixels)
        return false;
    size_t pixels = size_t(width) * size_t(height);
    indices.assign(pixels, 0);
    present.assign(pixels, 0);
    int32_t row_limit = int32_t((int64_t(width) * bits + 31) / 32 * 32 / bits);
    RleCursor c{0, 0, width, height, row_limit, bits, &indices, &present};
    ByteReader r(data.data(), data.size());
    while (r.remaining() >= 2) {
        uint8_t count = r.u8(), value = r.u8();
        bool ok = true;
        if (count != kEscape)
            ok = decode_run(c, count, value);
        else if (value == kEndOfLine)
            ok = end_line(c);
        else if (value == kEndOfBitmap)
            return true;
        else if (value == kDelta)
            ok = decode_delta(c, r);
        else
            ok = decode_literal(c, r, value);
        if (!ok)
            return false;
    }
    return false; // the stream ended without its end-of-bitmap mark
}

// --- Encoding ------------------------------------------------------------------------------

static int32_t run_length(const uint8_t* row, int32_t from, int32_t width)
{
    int32_t end = from + 1;
    while (end < width && row[end] == row[from] && end - from < 255)
        end++;
    return end - from;
}

static void emit_run(std::vector<uint8_t>& out, int bits, int32_t count, uint8_t value)
{
    out.push_back(uint8_t(count));
    out.push_back(bits == 8 ? value : uint8_t(value << 4 | value));
}

static void emit_literal(std::vector<uint8_t>& out, int bits, const uint8_t* pixels, int32_t count)
{
    out.push_back(kEscape);
    out.push_back(uint8_t(count));
    size_t start = out.size();
    if (bits == 8) {
        out.insert(out.end(), pixels, pixels + count);
    } else {
        for (int32_t i = 0; i < count; i += 2)
            out.push_back(uint8_t(pixels[i] << 4 | (i + 1 < count ? pixels[i + 1] & 0x0F : 0)));
    }
    if ((out.size() - start) & 1)
        out.push_back(0);
}

// Pixels from `from` that are not worth a run: up to the next run of three or more.
static int32_t literal_length(const uint8_t* row, int32_t from, int32_t width)
{
    int32_t end = from;
    while (end < width && end - from < 255) {
        if (run_length(row, end, width) >= 3)
            break;
        end++;
    }
    return std::max(end - from, 1);
}

static void encode_row(const uint8_t* row, int bits, int32_t width, std::vector<uint8_t>& out)
{
    int32_t x = 0;
    while (x < width) {
        int32_t run = run_length(row, x, width);
        if (run >= 3 || width - x < 3) {
            emit_run(out, bits, run, row[x]);
            x += run;
            continue;
        }
        int32_t literal = literal_length(row, x, width);
        if (literal < 3) {
            emit_run(out, bits, run, row[x]); // absolute mode needs three pixels at least
            x += run;
            continue;
        }
        emit_literal(out, bits, row + x, literal);
        x += literal;
    }
}

void rle_encode(const uint8_t* indices, int bits, int32_t width, int32_t height, std::vector<uint8_t>& out)
{
    for (int32_t y = 0; y < height; y++) {
        encode_row(indices + size_t(y) * size_t(width), bits, width, out);
        out.push_back(kEscape);
        out.push_back(kEndOfLine);
    }
    out.push_back(kEscape);
    out.push_back(kEndOfBitmap);
}

} // namespace plat
