#include "platform/sound/sound.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/kernel/byte_io.h"
#include "platform/kernel/clock.h"
#include "platform/kernel/error.h"
#include "platform/kernel/file.h"
#include "platform/kernel/log.h"
#include "platform/kernel/memory.h"
#include "platform/backend/sdl_audio.h"
#include "platform/sound/wave.h"

namespace plat {

// Caps on what one sound may take: no sound the programs play comes near, and a bad header or
// file must not make us read or hold gigabytes.
constexpr size_t kSoundMemoryMax = size_t(256) << 20;
constexpr uint32_t kSoundFileMax = 64u << 20;

struct SoundState {
    SoundOutput output = SoundOutput::log_only;
    bool playing = false;
    bool looping = false;
    uint32_t started_at = 0;
    uint32_t duration_ms = 0;
    bool device_failed = false;
};

static SoundState s_sound;

void sound_set_output(SoundOutput output) { s_sound.output = output; }

bool sound_is_playing()
{
    if (!s_sound.playing)
        return false;
    if (s_sound.output == SoundOutput::audio && !s_sound.device_failed)
        return sdlaudio_playing();
    return s_sound.looping || get_tick_count() - s_sound.started_at < s_sound.duration_ms;
}

static void stop_sound()
{
    if (sound_is_playing())
        log_event("sound stopped");
    if (s_sound.output == SoundOutput::audio)
        sdlaudio_stop();
    s_sound.playing = false;
}

// The default sound of a failed PlaySound: a short beep.
static const std::vector<uint8_t>& default_sound()
{
    static std::vector<uint8_t> image;
    if (!image.empty())
        return image;
    constexpr uint32_t kRate = 22050;
    constexpr uint32_t kFrames = kRate / 5;
    constexpr double kPi = 3.14159265358979323846;
    ByteWriter w(image);
    w.bytes("RIFF", 4);
    w.u32le(36 + kFrames);
    w.bytes("WAVEfmt ", 8);
    w.u32le(16);
    w.u16le(WAVE_FORMAT_PCM);
    w.u16le(1);
    w.u32le(kRate);
    w.u32le(kRate);
    w.u16le(1);
    w.u16le(8);
    w.bytes("data", 4);
    w.u32le(kFrames);
    for (uint32_t i = 0; i < kFrames; i++)
        w.u8(uint8_t(128 + 40 * std::sin(2 * kPi * 880 * i / kRate)));
    return image;
}

static void wait_while_playing(uint32_t duration_ms)
{
    uint32_t start = get_tick_count();
    while (get_tick_count() - start < duration_ms)
        clock_wait(duration_ms - (get_tick_count() - start));
    s_sound.playing = false;
}

static bool start_wave(const WaveSound& wave, const std::string& label, uint32_t flags)
{
    bool loop = (flags & SND_LOOP) != 0;
    if (s_sound.output == SoundOutput::audio)
        sdlaudio_stop();
    log_event(std::string(loop ? "sound looped " : "sound played ") + label);
    s_sound.playing = true;
    s_sound.looping = loop;
    s_sound.started_at = get_tick_count();
    s_sound.duration_ms = wave_duration_ms(wave);
    SoundRepeat repeat = loop ? SoundRepeat::loop : SoundRepeat::once;
    if (s_sound.output == SoundOutput::audio && !sdlaudio_play(wave, repeat)) {
        if (!s_sound.device_failed)
            std::fprintf(stderr, "sound: no audio device plays it; sounds are only logged\n");
        s_sound.device_failed = true;
    }
    if (!(flags & SND_ASYNC))
        wait_while_playing(s_sound.duration_ms);
    return true;
}

// Bytes that are not a playable sound: the default sound, unless the caller said not to.
static bool play_failed(uint32_t flags)
{
    WaveSound beep;
    if (!(flags & SND_NODEFAULT) && wave_parse(default_sound().data(), default_sound().size(), beep))
        start_wave(beep, "default", flags & ~SND_LOOP);
    return false;
}

static bool play_image(const uint8_t* data, size_t size, const std::string& label, uint32_t flags)
{
    if ((flags & SND_NOSTOP) && sound_is_playing())
        return false;
    WaveSound wave;
    if (!data || !wave_parse(data, size, wave))
        return play_failed(flags);
    return start_wave(wave, label, flags);
}

static std::string memory_label(size_t size) { return "memory of " + std::to_string(size) + " bytes"; }

// How far a WAV image in memory reaches: to the end of the layer's block that holds it, else
// as far as its RIFF header says.
static size_t memory_extent(const uint8_t* data)
{
    uint32_t saved_error = get_last_error();
    GlobalHandle block = global_handle(data);
    set_last_error(saved_error);
    if (block) {
        auto* base = static_cast<const uint8_t*>(global_address(block));
        size_t offset = size_t(data - base);
        size_t size = global_size(block);
        return offset < size ? size - offset : 0;
    }
    ByteReader header(data, 8);
    bool riff = header.u8() == 'R' && header.u8() == 'I' && header.u8() == 'F' && header.u8() == 'F';
    size_t extent = size_t(header.u32le()) + 8;
    return riff ? std::min(extent, kSoundMemoryMax) : 8;
}

static bool read_whole_file(std::string_view path, std::vector<uint8_t>& out)
{
    FileHandle file = create_file(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, 0);
    if (!file)
        return false;
    int64_t size = get_file_size(file);
    bool ok = size >= 0 && size <= int64_t(kSoundFileMax);
    uint32_t got = 0;
    if (ok) {
        out.resize(size_t(size));
        ok = read_file(file, out.data(), uint32_t(size), &got) && got == uint32_t(size);
    }
    close_handle(file);
    return ok;
}

static bool play_file(const char* path, uint32_t flags)
{
    std::vector<uint8_t> bytes;
    if (!read_whole_file(path, bytes))
        return play_failed(flags);
    return play_image(bytes.data(), bytes.size(), log_quote(path), flags);
}

static bool play_resource(const char* name, ModuleHandle module, uint32_t flags)
{
    ResourceBytes found = find_resource(module, ResourceId(kWaveResourceType), ResourceId(name));
    return play_image(found.data, found.size, "resource " + log_quote(name), flags);
}

bool play_sound(const void* sound, ModuleHandle module, uint32_t flags)
{
    if (!sound || (flags & SND_PURGE)) {
        stop_sound();
        return true;
    }
    if ((flags & SND_LOOP) && !(flags & SND_ASYNC))
        return false; // a loop that never returns is refused, as Win32 does
    if ((flags & SND_RESOURCE) == SND_RESOURCE)
        return play_resource(static_cast<const char*>(sound), module, flags);
    if (flags & SND_MEMORY) {
        auto* data = static_cast<const uint8_t*>(sound);
        size_t size = memory_extent(data);
        return play_image(data, size, memory_label(size), flags);
    }
    return play_file(static_cast<const char*>(sound), flags);
}

bool snd_play_sound(const char* sound, uint32_t flags)
{
    // sndPlaySound knows no resources or file-name flag: a name is always a file.
    uint32_t known = SND_ASYNC | SND_NODEFAULT | SND_MEMORY | SND_LOOP | SND_NOSTOP;
    return play_sound(sound, ModuleHandle{}, flags & known);
}

bool play_sound_bytes(const uint8_t* data, size_t size, uint32_t flags)
{
    if ((flags & SND_LOOP) && !(flags & SND_ASYNC))
        return false;
    return play_image(data, size, memory_label(size), flags);
}

uint32_t wave_out_get_num_devs()
{
    return s_sound.output == SoundOutput::audio ? sdlaudio_device_count() : 1;
}

void sound_reset()
{
    if (s_sound.output == SoundOutput::audio)
        sdlaudio_close();
    s_sound = SoundState{};
}

} // namespace plat
