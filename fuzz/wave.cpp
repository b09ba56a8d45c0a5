// Any bytes as a WAV image: what the reader keeps lies inside the input, in whole frames.
#include "platform/sound/wave.h"

#include <cstdint>

using namespace plat;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    WaveSound sound;
    if (!wave_parse(data, size, sound))
        return 0;
    bool inside = sound.samples >= data && size_t(sound.samples - data) <= size
        && sound.sample_bytes <= size - size_t(sound.samples - data);
    if (!inside || sound.block_align == 0 || sound.sample_bytes % sound.block_align != 0)
        __builtin_trap();
    wave_duration_ms(sound);
    return 0;
}
