#include "platform/sound/wave.h"

#include "platform/kernel/byte_io.h"

namespace plat {

constexpr uint32_t kMinRate = 1000;
constexpr uint32_t kMaxRate = 192000;
constexpr uint32_t kFormatChunkMin = 16;

static bool same_tag(const uint8_t* at, const char* tag)
{
    for (int i = 0; i < 4; i++) {
        if (at[i] != uint8_t(tag[i]))
            return false;
    }
    return true;
}

// fmt -> tag channels rate bytes-per-second block-align bits
static bool read_format(ByteReader chunk, WaveSound& out)
{
    uint16_t tag = chunk.u16le();
    out.channels = chunk.u16le();
    out.samples_per_second = chunk.u32le();
    chunk.u32le(); // bytes per second: derived, and often wrong in old files
    out.block_align = chunk.u16le();
    out.bits_per_sample = chunk.u16le();
    if (chunk.failed() || tag != WAVE_FORMAT_PCM)
        return false;
    if (out.channels < 1 || out.channels > 2 || (out.bits_per_sample != 8 && out.bits_per_sample != 16))
        return false;
    if (out.samples_per_second < kMinRate || out.samples_per_second > kMaxRate)
        return false;
    return out.block_align == out.channels * out.bits_per_sample / 8;
}

bool wave_parse(const uint8_t* data, size_t size, WaveSound& out)
{
    out = WaveSound{};
    ByteReader r(data, size);
    uint8_t riff[4] = {};
    uint8_t wave[4] = {};
    r.bytes(riff, 4);
    r.u32le(); // the RIFF size: the chunks are walked over the bytes really there instead
    r.bytes(wave, 4);
    if (r.failed() || !same_tag(riff, "RIFF") || !same_tag(wave, "WAVE"))
        return false;
    bool have_format = false;
    while (r.remaining() >= 8) {
        uint8_t tag[4];
        r.bytes(tag, 4);
        uint32_t length = r.u32le();
        size_t start = r.position();
        if (same_tag(tag, "fmt ")) {
            if (length < kFormatChunkMin || length > r.remaining())
                return false;
            if (!read_format(ByteReader(r.current(), length), out))
                return false;
            have_format = true;
        } else if (same_tag(tag, "data")) {
            if (!have_format)
                return false;
            size_t there = length < r.remaining() ? length : r.remaining();
            out.samples = r.current();
            out.sample_bytes = uint32_t(there - there % out.block_align);
            return out.sample_bytes > 0;
        }
        // Chunks are padded to an even length; the padding may be missing at the very end.
        size_t padded = size_t(length) + (length & 1);
        if (padded > r.remaining())
            return false;
        r.seek(start + padded);
    }
    return false;
}

uint32_t wave_duration_ms(const WaveSound& sound)
{
    uint64_t frames = sound.block_align ? sound.sample_bytes / sound.block_align : 0;
    return sound.samples_per_second ? uint32_t(frames * 1000 / sound.samples_per_second) : 0;
}

} // namespace plat
