// WAV sounds: the RIFF WAVE image that sound files and "WAVE" resources hold. Only what the
// programs play is taken: uncompressed PCM of 8 or 16 bits, mono or stereo.
#pragma once
#include <cstddef>
#include <cstdint>

namespace plat {

constexpr uint16_t WAVE_FORMAT_PCM = 1;

struct WaveSound {
    uint16_t channels = 0;
    uint16_t bits_per_sample = 0;
    uint16_t block_align = 0; // bytes of one sample frame
    uint32_t samples_per_second = 0;
    const uint8_t* samples = nullptr; // inside the bytes given to wave_parse
    uint32_t sample_bytes = 0;        // whole frames only
};

// Reads a RIFF WAVE image. False when the bytes are not one or the format is not playable;
// a data chunk that claims more than is there keeps the frames that are.
bool wave_parse(const uint8_t* data, size_t size, WaveSound& out);

// How long the sound plays, in ms (rounded down).
uint32_t wave_duration_ms(const WaveSound& sound);

} // namespace plat
