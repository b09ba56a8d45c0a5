// LZSS. The decoder's ring starts as the encoder's does (blanks below the first write
// position), so a match may reach into that run of blanks before any byte was written.
#include "typing/lzss.h"

#include <algorithm>
#include <array>
#include <memory>

constexpr size_t N = kLzssRingSize;
constexpr size_t F = kLzssMaxMatch;
constexpr size_t kRingStart = N - F; // first write position; everything below is a blank

// ---------------------------------------------------------------------------------------------
// Decoding

namespace {

struct Decoder {
    std::span<const uint8_t> in;
    std::span<uint8_t> out;
    size_t in_pos = 0;
    LzssDecoded result;
    std::array<uint8_t, N> ring {};
    size_t r = kRingStart;

    bool input_left(size_t count) const { return in.size() - in_pos >= count; }

    // Outputs one byte and keeps it in the ring; false when out is full.
    bool emit(uint8_t byte)
    {
        if (result.written == out.size()) {
            result.overflowed = true;
            return false;
        }
        out[result.written++] = byte;
        ring[r] = byte;
        r = (r + 1) % N;
        return true;
    }
};

} // namespace

// Copies a match; the source may overlap the bytes it writes, which repeats a pattern.
static bool decode_match(Decoder& d)
{
    uint8_t b1 = d.in[d.in_pos];
    uint8_t b2 = d.in[d.in_pos + 1];
    d.in_pos += 2;
    size_t position = b1 | (b2 & 0xF0) << 4;
    size_t length = (b2 & 0x0F) + kLzssThreshold + 1;
    for (size_t k = 0; k < length; ++k) {
        if (!d.emit(d.ring[(position + k) % N]))
            return false;
    }
    return true;
}

LzssDecoded lzss_decode(std::span<const uint8_t> in, std::span<uint8_t> out)
{
    auto d = std::make_unique<Decoder>();
    d->in = in;
    d->out = out;
    d->ring.fill(0);
    std::fill(d->ring.begin(), d->ring.begin() + kRingStart, uint8_t(' '));
    unsigned flags = 0;
    for (;;) {
        // The high byte counts the flag bits left: eight per flag byte, lowest first.
        if (flags & 0x200) {
            flags >>= 1;
        } else {
            if (!d->input_left(1))
                break;
            flags = d->in[d->in_pos++] | 0xFF00;
        }
        if (flags & 1) {
            if (!d->input_left(1) || !d->emit(d->in[d->in_pos++]))
                break;
        } else if (!d->input_left(2) || !decode_match(*d)) {
            break;
        }
    }
    return d->result;
}

// ---------------------------------------------------------------------------------------------
// Encoding: every string of F bytes starting in the ring is a node of a binary search tree
// (one tree per first byte), so the longest earlier match of the look-ahead is found by one
// walk down the tree that also inserts the new string.

namespace {

constexpr size_t kNil = N; // no node

struct Encoder {
    std::span<const uint8_t> in;
    size_t in_pos = 0;
    std::vector<uint8_t> out;
    std::array<uint8_t, N + F - 1> text {}; // the ring, its first F - 1 bytes repeated at the end
    std::array<size_t, N + 1> left {};
    std::array<size_t, N + 257> right {}; // right[N + 1 + c]: root of the tree of first byte c
    std::array<size_t, N + 1> parent {};
    size_t match_position = 0;
    size_t match_length = 0;
    std::array<uint8_t, 17> item {}; // a flag byte and up to eight items
    size_t item_size = 1;
    uint8_t mask = 1;
};

} // namespace

// Finds the longest match for the string at r and puts r into the tree in its place; an equal
// string of full length is replaced by r, the newer (nearer) one.
static void tree_insert(Encoder& e, size_t r)
{
    const uint8_t* key = &e.text[r];
    size_t p = N + 1 + key[0];
    int cmp = 1;
    e.left[r] = e.right[r] = kNil;
    e.match_length = 0;
    for (;;) {
        size_t& child = cmp >= 0 ? e.right[p] : e.left[p];
        if (child == kNil) {
            child = r;
            e.parent[r] = p;
            return;
        }
        p = child;
        size_t i = 1;
        for (; i < F; ++i) {
            cmp = int(key[i]) - int(e.text[p + i]);
            if (cmp != 0)
                break;
        }
        if (i > e.match_length) {
            e.match_position = p;
            e.match_length = i;
            if (i >= F)
                break;
        }
    }
    e.parent[r] = e.parent[p];
    e.left[r] = e.left[p];
    e.right[r] = e.right[p];
    e.parent[e.left[p]] = r;
    e.parent[e.right[p]] = r;
    if (e.right[e.parent[p]] == p)
        e.right[e.parent[p]] = r;
    else
        e.left[e.parent[p]] = r;
    e.parent[p] = kNil;
}

static void tree_delete(Encoder& e, size_t p)
{
    if (e.parent[p] == kNil)
        return;
    size_t q;
    if (e.right[p] == kNil) {
        q = e.left[p];
    } else if (e.left[p] == kNil) {
        q = e.right[p];
    } else {
        // Replace p by the largest node of its left subtree.
        q = e.left[p];
        if (e.right[q] != kNil) {
            while (e.right[q] != kNil)
                q = e.right[q];
            e.right[e.parent[q]] = e.left[q];
            e.parent[e.left[q]] = e.parent[q];
            e.left[q] = e.left[p];
            e.parent[e.left[p]] = q;
        }
        e.right[q] = e.right[p];
        e.parent[e.right[p]] = q;
    }
    e.parent[q] = e.parent[p];
    if (e.right[e.parent[p]] == p)
        e.right[e.parent[p]] = q;
    else
        e.left[e.parent[p]] = q;
    e.parent[p] = kNil;
}

static void flush_items(Encoder& e)
{
    if (e.item_size > 1)
        e.out.insert(e.out.end(), e.item.begin(), e.item.begin() + e.item_size);
    e.item[0] = 0;
    e.item_size = 1;
    e.mask = 1;
}

// Writes a literal or a match for the look-ahead at r; the number of bytes it covers.
static size_t put_item(Encoder& e, size_t r, size_t lookahead)
{
    size_t length = std::min(e.match_length, lookahead);
    if (length <= kLzssThreshold) {
        length = 1;
        e.item[0] |= e.mask;
        e.item[e.item_size++] = e.text[r];
    } else {
        e.item[e.item_size++] = uint8_t(e.match_position);
        e.item[e.item_size++] = uint8_t((e.match_position >> 4 & 0xF0) | (length - kLzssThreshold - 1));
    }
    e.mask = uint8_t(e.mask << 1);
    if (e.mask == 0)
        flush_items(e);
    return length;
}

std::vector<uint8_t> lzss_encode(std::span<const uint8_t> in)
{
    auto e = std::make_unique<Encoder>();
    e->in = in;
    e->right.fill(kNil);
    e->parent.fill(kNil);
    size_t s = 0;
    size_t r = kRingStart;
    std::fill(e->text.begin(), e->text.begin() + r, uint8_t(' '));
    size_t lookahead = 0;
    for (; lookahead < F && e->in_pos < in.size(); ++lookahead)
        e->text[r + lookahead] = in[e->in_pos++];
    if (lookahead == 0)
        return {};
    // The blanks before r are matchable from the start.
    for (size_t i = 1; i <= F; ++i)
        tree_insert(*e, r - i);
    tree_insert(*e, r);
    while (lookahead > 0) {
        size_t covered = put_item(*e, r, lookahead);
        for (size_t i = 0; i < covered; ++i) {
            tree_delete(*e, s);
            if (e->in_pos < in.size()) {
                uint8_t c = in[e->in_pos++];
                e->text[s] = c;
                if (s < F - 1)
                    e->text[s + N] = c; // keeps the comparison past the ring's end in step
            } else {
                --lookahead;
            }
            s = (s + 1) % N;
            r = (r + 1) % N;
            if (lookahead > 0)
                tree_insert(*e, r);
        }
    }
    flush_items(*e);
    return std::move(e->out);
}
