// Sounds with PlaySound's meaning: a WAV image in memory, a file or a "WAVE" resource, played
// once or looping, in the background (SND_ASYNC) or before the call returns; one sound at a
// time, a new one stopping the last. Every sound played, looped or stopped is logged
// ("sound played ..."), so a headless run shows what a person would have heard; only with
// audio output (the display backend) does a device open and play it.
#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/kernel/resource.h"

namespace plat {

enum : uint32_t {
    SND_SYNC = 0x00000000,
    SND_ASYNC = 0x00000001,
    SND_NODEFAULT = 0x00000002,
    SND_MEMORY = 0x00000004,
    SND_LOOP = 0x00000008,
    SND_NOSTOP = 0x00000010,
    SND_PURGE = 0x00000040,
    SND_NOWAIT = 0x00002000,
    SND_FILENAME = 0x00020000,
    SND_RESOURCE = 0x00040004, // includes SND_MEMORY's bit, as Win32 defines it
};

// The type of sound resources.
constexpr const char* kWaveResourceType = "WAVE";

enum class SoundOutput { log_only, audio };
// Where sounds go besides the log (the display backend picks audio).
void sound_set_output(SoundOutput output);

// PlaySoundA. sound: a WAV image (SND_MEMORY), a resource name of module (SND_RESOURCE) or a
// file's Windows path (SND_FILENAME or none of these); null stops the sound playing. A
// memory image must be a whole one as its RIFF header says (as PlaySound requires); inside a
// memory block of this layer it is also kept within the block. False when the sound cannot
// be played (then, without SND_NODEFAULT, the default sound plays), when SND_NOSTOP meets a
// sound still playing, or for SND_LOOP without SND_ASYNC.
bool play_sound(const void* sound, ModuleHandle module, uint32_t flags);
// sndPlaySoundA: the same with no module.
bool snd_play_sound(const char* sound, uint32_t flags);
// A WAV image of known size (a resource's bytes): the same as SND_MEMORY with the length
// checked against the bytes given.
bool play_sound_bytes(const uint8_t* data, size_t size, uint32_t flags);

// waveOutGetNumDevs: the output devices; a run without audio output counts one, the log.
uint32_t wave_out_get_num_devs();

// Whether a sound is still playing (a looping sound always is until stopped).
bool sound_is_playing();

// Stops the sound and forgets the output choice (tests call it between cases).
void sound_reset();

} // namespace plat
