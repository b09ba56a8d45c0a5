// Field-by-field access to stored bytes. Reads past the end give 0 and set a sticky failure
// flag, so that a run of reads is checked once; nothing is ever read or written out of bounds.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace plat {

class ByteReader {
public:
    ByteReader() = default;
    ByteReader(const void* data, size_t size)
        : m_data(static_cast<const uint8_t*>(data))
        , m_size(size)
    {
    }

    size_t size() const { return m_size; }
    size_t position() const { return m_pos; }
    size_t remaining() const { return m_size - m_pos; }
    bool failed() const { return m_failed; }
    const uint8_t* data() const { return m_data; }
    const uint8_t* current() const { return m_data + m_pos; }

    // Moves to an absolute offset; an offset past the end fails.
    bool seek(size_t offset)
    {
        if (offset > m_size) {
            m_failed = true;
            return false;
        }
        m_pos = offset;
        return true;
    }
    bool skip(size_t count) { return count <= remaining() ? seek(m_pos + count) : fail(); }

    uint8_t u8() { return take(1) ? m_data[m_pos - 1] : 0; }
    uint16_t u16le() { return take(2) ? uint16_t(at(-2) | at(-1) << 8) : 0; }
    uint16_t u16be() { return take(2) ? uint16_t(at(-2) << 8 | at(-1)) : 0; }
    uint32_t u32le() { return take(4) ? uint32_t(at(-4) | at(-3) << 8 | at(-2) << 16 | uint32_t(at(-1)) << 24) : 0; }
    uint32_t u32be() { return take(4) ? uint32_t(uint32_t(at(-4)) << 24 | at(-3) << 16 | at(-2) << 8 | at(-1)) : 0; }
    int16_t i16le() { return int16_t(u16le()); }
    int16_t i16be() { return int16_t(u16be()); }
    int32_t i32le() { return int32_t(u32le()); }
    int32_t i32be() { return int32_t(u32be()); }

    // Copies count bytes out; on failure the destination is zero-filled.
    bool bytes(void* out, size_t count)
    {
        if (!take(count)) {
            std::memset(out, 0, count);
            return false;
        }
        std::memcpy(out, m_data + m_pos - count, count);
        return true;
    }

    // A NUL-terminated string; without its NUL inside the data the read fails.
    std::string cstring()
    {
        const void* nul = m_failed ? nullptr : std::memchr(m_data + m_pos, 0, remaining());
        if (!nul) {
            fail();
            return {};
        }
        size_t length = static_cast<const uint8_t*>(nul) - (m_data + m_pos);
        std::string text(reinterpret_cast<const char*>(m_data + m_pos), length);
        m_pos += length + 1;
        return text;
    }

    // A sub-reader over the next count bytes, which this reader skips.
    ByteReader sub(size_t count)
    {
        if (!take(count))
            return failed_reader();
        return ByteReader(m_data + m_pos - count, count);
    }

private:
    bool fail()
    {
        m_failed = true;
        return false;
    }
    bool take(size_t count)
    {
        if (m_failed || count > remaining())
            return fail();
        m_pos += count;
        return true;
    }
    uint32_t at(ptrdiff_t back) const { return m_data[m_pos + back]; }
    static ByteReader failed_reader()
    {
        ByteReader r;
        r.m_failed = true;
        return r;
    }

    const uint8_t* m_data = nullptr;
    size_t m_size = 0;
    size_t m_pos = 0;
    bool m_failed = false;
};

// Appends fields to a growable byte vector.
class ByteWriter {
public:
    explicit ByteWriter(std::vector<uint8_t>& out)
        : m_out(out)
    {
    }
    void u8(uint8_t v) { m_out.push_back(v); }
    void u16le(uint16_t v) { put({uint8_t(v), uint8_t(v >> 8)}); }
    void u16be(uint16_t v) { put({uint8_t(v >> 8), uint8_t(v)}); }
    void u32le(uint32_t v) { put({uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}); }
    void u32be(uint32_t v) { put({uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)}); }
    void bytes(const void* data, size_t count)
    {
        const uint8_t* p = static_cast<const uint8_t*>(data);
        m_out.insert(m_out.end(), p, p + count);
    }
    void cstring(const std::string& text) { bytes(text.c_str(), text.size() + 1); }
    size_t size() const { return m_out.size(); }

private:
    void put(std::initializer_list<uint8_t> values) { m_out.insert(m_out.end(), values); }
    std::vector<uint8_t>& m_out;
};

// Little-endian access to a buffer the caller has already bounds-checked.
inline uint16_t load_u16le(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
inline uint32_t load_u32le(const uint8_t* p) { return uint32_t(p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24); }
inline void store_u16le(uint8_t* p, uint16_t v) { p[0] = uint8_t(v), p[1] = uint8_t(v >> 8); }
inline void store_u32le(uint8_t* p, uint32_t v)
{
    p[0] = uint8_t(v), p[1] = uint8_t(v >> 8), p[2] = uint8_t(v >> 16), p[3] = uint8_t(v >> 24);
}

} // namespace plat
