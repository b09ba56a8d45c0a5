#include "platform/sound/sound.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "platform/kernel/byte_io.h"
#include "platform/kernel/clock.h"
#include "platform/kernel/log.h"
#include "platform/kernel/memory.h"
#include "platform/kernel/path.h"
#include "platform/sound/wave.h"

namespace {

using namespace plat;

// A WAV image: the fmt chunk's fields, then the sample bytes (or a chunk list of its own).
std::vector<uint8_t> wave_image(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, uint32_t data_bytes,
    uint32_t data_claimed = UINT32_MAX)
{
    std::vector<uint8_t> out;
    ByteWriter w(out);
    uint16_t align = uint16_t(channels * bits / 8);
    w.bytes("RIFF", 4);
    w.u32le(36 + data_bytes);
    w.bytes("WAVEfmt ", 8);
    w.u32le(16);
    w.u16le(tag);
    w.u16le(channels);
    w.u32le(rate);
    w.u32le(rate * align);
    w.u16le(align);
    w.u16le(bits);
    w.bytes("data", 4);
    w.u32le(data_claimed == UINT32_MAX ? data_bytes : data_claimed);
    for (uint32_t i = 0; i < data_bytes; i++)
        w.u8(uint8_t(i));
    return out;
}

std::vector<uint8_t> from_hex(const char* hex)
{
    std::vector<uint8_t> out;
    for (const char* at = hex; *at;) {
        if (*at == ' ') {
            at++;
            continue;
        }
        out.push_back(uint8_t(std::strtoul(std::string(at, 2).c_str(), nullptr, 16)));
        at += 2;
    }
    return out;
}

struct WaveCase {
    const char* name;
    std::vector<uint8_t> bytes;
    bool parsed;
    uint32_t sample_bytes;
    uint32_t duration_ms;
};

TEST(Wave, ImagesAreReadAndBadOnesRefused)
{
    // An odd-sized chunk before fmt is padded to an even length, as RIFF requires.
    std::vector<uint8_t> padded = from_hex("52494646 00000000 57415645 6C495354 03000000 414243 00");
    std::vector<uint8_t> tail = wave_image(1, 1, 8000, 8, 800);
    padded.insert(padded.end(), tail.begin() + 12, tail.end());
    const WaveCase cases[] = {
        {"mono 8-bit", wave_image(1, 1, 8000, 8, 800), true, 800, 100},
        {"stereo 16-bit", wave_image(1, 2, 22050, 16, 88200), true, 88200, 1000},
        {"data claims more than is there", wave_image(1, 1, 8000, 8, 400, 4000), true, 400, 50},
        {"part of a frame is dropped", wave_image(1, 2, 8000, 16, 10), true, 8, 0},
        {"an odd chunk is skipped with its padding", padded, true, 800, 100},
        {"compressed", wave_image(2, 1, 8000, 4, 100), false, 0, 0},
        {"24-bit", wave_image(1, 1, 8000, 24, 300), false, 0, 0},
        {"no channels", wave_image(1, 0, 8000, 8, 100), false, 0, 0},
        {"rate of zero", wave_image(1, 1, 0, 8, 100), false, 0, 0},
        {"no samples", wave_image(1, 1, 8000, 8, 0), false, 0, 0},
        {"not RIFF", from_hex("52494658 24000000 57415645"), false, 0, 0},
        {"header only", from_hex("52494646 04000000 57415645"), false, 0, 0},
        {"fmt cut short", from_hex("52494646 14000000 57415645 666D7420 10000000 0100 0100"), false, 0, 0},
        {"chunk longer than the file", from_hex("52494646 14000000 57415645 4A554E4B FFFFFFFF 00"), false, 0, 0},
        {"data before fmt", from_hex("52494646 0C000000 57415645 64617461 02000000 8080"), false, 0, 0},
        {"empty", {}, false, 0, 0},
    };
    for (const WaveCase& c : cases) {
        SCOPED_TRACE(c.name);
        WaveSound sound;
        ASSERT_EQ(wave_parse(c.bytes.data(), c.bytes.size(), sound), c.parsed);
        if (!c.parsed)
            continue;
        EXPECT_EQ(sound.sample_bytes, c.sample_bytes);
        EXPECT_EQ(wave_duration_ms(sound), c.duration_ms);
        EXPECT_GE(sound.samples, c.bytes.data());
        EXPECT_LE(sound.samples + sound.sample_bytes, c.bytes.data() + c.bytes.size());
    }
}

// Sounds in a headless run: nothing opens a device, the log says what was heard.
class SoundLog : public testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/plat-sound-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
        clock_use_virtual(0, 0);
        sound_reset();
        ASSERT_TRUE(log_open(folder + "/run.log"));
    }
    void TearDown() override
    {
        sound_reset();
        log_close();
        clock_reset();
        std::system(("rm -rf '" + folder + "'").c_str());
    }

    std::vector<std::string> events()
    {
        std::ifstream file(folder + "/run.log");
        std::vector<std::string> lines;
        for (std::string line; std::getline(file, line);)
            lines.push_back(line);
        return lines;
    }

    std::string folder;
};

using Lines = std::vector<std::string>;

TEST_F(SoundLog, PlayingLoopingAndStoppingAreLogged)
{
    std::vector<uint8_t> second = wave_image(1, 1, 8000, 8, 8000);
    EXPECT_EQ(wave_out_get_num_devs(), 1u);
    EXPECT_TRUE(play_sound_bytes(second.data(), second.size(), SND_ASYNC | SND_NODEFAULT));
    EXPECT_TRUE(sound_is_playing());
    clock_advance(1000);
    EXPECT_FALSE(sound_is_playing()) << "a one-second sound is over after a second";
    EXPECT_TRUE(play_sound_bytes(second.data(), second.size(), SND_ASYNC | SND_LOOP));
    clock_advance(5000);
    EXPECT_TRUE(sound_is_playing()) << "a loop goes on";
    EXPECT_FALSE(play_sound_bytes(second.data(), second.size(), SND_ASYNC | SND_NOSTOP)) << "no stop while one plays";
    EXPECT_TRUE(play_sound(nullptr, ModuleHandle{}, 0));
    EXPECT_FALSE(sound_is_playing());
    EXPECT_TRUE(play_sound(nullptr, ModuleHandle{}, 0)) << "stopping nothing";
    EXPECT_EQ(events(), (Lines{"0 sound played memory of 8044 bytes", "1000 sound looped memory of 8044 bytes",
                            "6000 sound stopped"}));
}

TEST_F(SoundLog, FilesPlayByTheirWindowsPathAndMissingOnesGiveTheDefault)
{
    std::vector<uint8_t> image = wave_image(1, 1, 8000, 8, 4000);
    std::string host = folder + "/Ding.wav";
    std::ofstream(host, std::ios::binary).write(reinterpret_cast<const char*>(image.data()), std::streamsize(image.size()));
    std::string windows_path = path_from_host(host);
    EXPECT_TRUE(snd_play_sound(windows_path.c_str(), SND_ASYNC));
    std::string missing = path_from_host(folder + "/none.wav");
    EXPECT_FALSE(play_sound(missing.c_str(), ModuleHandle{}, SND_ASYNC | SND_FILENAME));
    EXPECT_FALSE(play_sound(missing.c_str(), ModuleHandle{}, SND_ASYNC | SND_FILENAME | SND_NODEFAULT));
    EXPECT_EQ(events(), (Lines{"0 sound played " + log_quote(windows_path), "0 sound played default"}));
}

TEST_F(SoundLog, ASynchronousSoundReturnsWhenItHasPlayed)
{
    std::vector<uint8_t> second = wave_image(1, 2, 11025, 16, 44100);
    EXPECT_FALSE(play_sound_bytes(second.data(), second.size(), SND_LOOP)) << "a loop must be asynchronous";
    EXPECT_TRUE(play_sound_bytes(second.data(), second.size(), SND_SYNC));
    EXPECT_EQ(get_tick_count(), 1000u);
    EXPECT_FALSE(sound_is_playing());
}

TEST_F(SoundLog, MemoryImagesStayWithinTheirBlock)
{
    std::vector<uint8_t> image = wave_image(1, 1, 8000, 8, 800);
    // The headers claim more than the block holds: only the block's bytes are read.
    GlobalHandle block = global_alloc(0, image.size());
    auto* bytes = static_cast<uint8_t*>(global_lock(block));
    std::copy(image.begin(), image.end(), bytes);
    bytes[7] = 0x7F;  // the RIFF length
    bytes[41] = 0x7F; // the data chunk's length
    EXPECT_TRUE(play_sound(bytes, ModuleHandle{}, SND_MEMORY | SND_ASYNC));
    EXPECT_TRUE(play_sound(image.data(), ModuleHandle{}, SND_MEMORY | SND_ASYNC | SND_NODEFAULT));
    global_unlock(block);
    global_free(block);
    EXPECT_EQ(events(), (Lines{"0 sound played memory of 844 bytes", "0 sound played memory of 844 bytes"}));
}

} // namespace
