// The audio device of the display backend: one voice, played by SDL's audio thread from a
// copy converted to the device's format, once or looping. The device opens at the first sound.
#pragma once
#include "platform/sound/wave.h"

namespace plat {

enum class SoundRepeat { once, loop };

// Starts the sound in place of any other; false when no device can play it.
bool sdlaudio_play(const WaveSound& sound, SoundRepeat repeat);
void sdlaudio_stop();
bool sdlaudio_playing();
// Output devices SDL sees (waveOutGetNumDevs); 0 when audio cannot start.
uint32_t sdlaudio_device_count();
// Closes the device.
void sdlaudio_close();

} // namespace plat
