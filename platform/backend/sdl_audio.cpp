#include "platform/backend/sdl_audio.h"

#include <SDL.h>
#include <algorithm>
#include <cstring>
#include <vector>

namespace plat {

constexpr int kDeviceRate = 44100;
constexpr uint16_t kDeviceSamples = 1024; // about 23 ms: short enough for game effects

// What the audio thread reads; changed only with the device locked.
struct Voice {
    std::vector<uint8_t> pcm; // device format
    size_t position = 0;
    bool loop = false;
    bool active = false;
};

struct AudioState {
    bool tried = false; // the device was asked for once; a failure is not retried
    SDL_AudioDeviceID device = 0;
    SDL_AudioSpec spec{};
    Voice voice;
};

static AudioState s_audio;

static void fill(void*, Uint8* stream, int length)
{
    Voice& voice = s_audio.voice;
    size_t wanted = size_t(length);
    size_t done = 0;
    while (done < wanted && voice.active && !voice.pcm.empty()) {
        size_t chunk = std::min(wanted - done, voice.pcm.size() - voice.position);
        std::memcpy(stream + done, voice.pcm.data() + voice.position, chunk);
        done += chunk;
        voice.position += chunk;
        if (voice.position < voice.pcm.size())
            continue;
        voice.position = 0;
        voice.active = voice.loop;
    }
    std::memset(stream + done, s_audio.spec.silence, wanted - done);
}

static bool open_device()
{
    if (s_audio.tried)
        return s_audio.device != 0;
    s_audio.tried = true;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
        return false;
    SDL_AudioSpec want{};
    want.freq = kDeviceRate;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = kDeviceSamples;
    want.callback = fill;
    s_audio.device = SDL_OpenAudioDevice(nullptr, 0, &want, &s_audio.spec, 0);
    if (!s_audio.device) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    SDL_PauseAudioDevice(s_audio.device, 0);
    return true;
}

static bool convert(const WaveSound& sound, std::vector<uint8_t>& out)
{
    SDL_AudioFormat format = sound.bits_per_sample == 8 ? AUDIO_U8 : AUDIO_S16LSB;
    SDL_AudioCVT cvt;
    int built = SDL_BuildAudioCVT(&cvt, format, uint8_t(sound.channels), int(sound.samples_per_second),
        s_audio.spec.format, s_audio.spec.channels, s_audio.spec.freq);
    if (built < 0)
        return false;
    cvt.len = int(sound.sample_bytes);
    out.assign(size_t(cvt.len) * size_t(std::max(cvt.len_mult, 1)), 0);
    std::memcpy(out.data(), sound.samples, sound.sample_bytes);
    if (built == 0)
        return true;
    cvt.buf = out.data();
    if (SDL_ConvertAudio(&cvt) != 0)
        return false;
    out.resize(size_t(cvt.len_cvt));
    return true;
}

bool sdlaudio_play(const WaveSound& sound, SoundRepeat repeat)
{
    std::vector<uint8_t> pcm;
    if (!open_device() || !convert(sound, pcm))
        return false;
    SDL_LockAudioDevice(s_audio.device);
    s_audio.voice.pcm.swap(pcm);
    s_audio.voice.position = 0;
    s_audio.voice.loop = repeat == SoundRepeat::loop;
    s_audio.voice.active = true;
    SDL_UnlockAudioDevice(s_audio.device);
    return true; // the old samples leave with pcm, outside the lock
}

void sdlaudio_stop()
{
    if (!s_audio.device)
        return;
    SDL_LockAudioDevice(s_audio.device);
    s_audio.voice.active = false;
    SDL_UnlockAudioDevice(s_audio.device);
}

bool sdlaudio_playing()
{
    if (!s_audio.device)
        return false;
    SDL_LockAudioDevice(s_audio.device);
    bool active = s_audio.voice.active;
    SDL_UnlockAudioDevice(s_audio.device);
    return active;
}

uint32_t sdlaudio_device_count()
{
    if (!open_device())
        return 0;
    int count = SDL_GetNumAudioDevices(0);
    return count > 0 ? uint32_t(count) : 1; // -1: SDL cannot list them, but one is open
}

void sdlaudio_close()
{
    if (s_audio.device) {
        SDL_CloseAudioDevice(s_audio.device);
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    s_audio = AudioState{};
}

} // namespace plat
