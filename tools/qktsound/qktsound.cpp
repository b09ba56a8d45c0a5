// qktsound DESCRIPTION OUTPUT_FOLDER
// Synthesises the sounds a description names (see assets/typing/sounds/sounds.txt) as 8-bit
// mono PCM WAV files, NAME.wav in lower case, and writes sounds.rsrc beside them, which makes
// each a WAVE resource of its name. A bad line prints "file:line: message" and exits with 1,
// writing nothing; wrong arguments exit with 2.
#include "tools/tool_file.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

constexpr uint32_t kRate = 11025;
constexpr double kPi = 3.14159265358979323846;
constexpr int kFadeInMs = 3;
constexpr int kMaxPartMs = 5000; // a sound of the game is short

struct Part {
    std::string wave;
    double from_hz = 0;
    double to_hz = 0;
    int ms = 0;
    int volume = 0;
};

struct Sound {
    std::string name;
    std::vector<Part> parts;
};

static double wave_value(const std::string& wave, double phase, uint32_t& noise)
{
    const double t = phase - std::floor(phase); // 0..1 within a period
    if (wave == "sine")
        return std::sin(2 * kPi * t);
    if (wave == "square")
        return t < 0.5 ? 1.0 : -1.0;
    if (wave == "triangle")
        return t < 0.5 ? 4 * t - 1 : 3 - 4 * t;
    if (wave == "saw")
        return 2 * t - 1;
    noise = noise * 1103515245u + 12345u; // the same noise on every build
    return double(noise >> 16 & 0x7FFF) / 16383.5 - 1.0;
}

static void synthesise(const Part& part, std::vector<uint8_t>& samples, uint32_t& noise)
{
    const uint32_t count = uint32_t(uint64_t(part.ms) * kRate / 1000);
    const uint32_t fade_in = kRate * kFadeInMs / 1000;
    const uint32_t fade_out = std::max<uint32_t>(1, count / 4);
    double phase = 0;
    for (uint32_t i = 0; i < count; ++i) {
        const double progress = count > 1 ? double(i) / double(count - 1) : 0;
        const double hz = part.from_hz + (part.to_hz - part.from_hz) * progress;
        double envelope = 1.0;
        if (i < fade_in)
            envelope = double(i) / fade_in;
        if (count - i < fade_out)
            envelope = std::min(envelope, double(count - i) / fade_out);
        const double value = wave_value(part.wave, phase, noise) * envelope * part.volume / 100.0;
        samples.push_back(uint8_t(std::lround(128 + 127 * value)));
        phase += hz / kRate;
    }
}

static void put_u16(std::vector<uint8_t>& out, uint32_t v)
{
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

static void put_u32(std::vector<uint8_t>& out, uint32_t v)
{
    put_u16(out, v & 0xFFFF);
    put_u16(out, v >> 16);
}

static std::vector<uint8_t> wav_file(const std::vector<uint8_t>& samples)
{
    std::vector<uint8_t> out;
    const uint32_t data_size = uint32_t(samples.size());
    const uint32_t padded = data_size + (data_size & 1);
    out.insert(out.end(), {'R', 'I', 'F', 'F'});
    put_u32(out, 4 + 8 + 16 + 8 + padded);
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put_u32(out, 16);
    put_u16(out, 1); // PCM
    put_u16(out, 1); // mono
    put_u32(out, kRate);
    put_u32(out, kRate); // bytes a second
    put_u16(out, 1); // block align
    put_u16(out, 8); // bits a sample
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    put_u32(out, data_size);
    out.insert(out.end(), samples.begin(), samples.end());
    if (data_size & 1)
        out.push_back(128);
    return out;
}

static bool valid_name(const std::string& name)
{
    if (name.empty())
        return false;
    for (char c : name) {
        if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'))
            return false;
    }
    return true;
}

static bool valid_part(const Part& part)
{
    static const char* const kWaves[] = {"sine", "square", "triangle", "saw", "noise"};
    bool known = false;
    for (const char* wave : kWaves)
        known |= part.wave == wave;
    return known && part.ms > 0 && part.ms <= kMaxPartMs && part.volume >= 1 && part.volume <= 100
        && part.from_hz >= 0 && part.to_hz >= 0 && part.from_hz < kRate / 2 && part.to_hz < kRate / 2;
}

static bool read_description(const char* path, std::vector<Sound>& sounds)
{
    std::ifstream in(path);
    if (!in) {
        std::fprintf(stderr, "%s: cannot be read\n", path);
        return false;
    }
    std::map<std::string, size_t> index;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream fields(line);
        std::string name;
        Part part;
        std::string rest;
        if (!(fields >> name >> part.wave >> part.from_hz >> part.to_hz >> part.ms >> part.volume) || (fields >> rest)
            || !valid_name(name) || !valid_part(part)) {
            std::fprintf(stderr, "%s:%d: expected NAME WAVE FROM TO MS VOLUME within their limits\n", path, number);
            return false;
        }
        auto [at, added] = index.emplace(name, sounds.size());
        if (added)
            sounds.push_back(Sound {name, {}});
        sounds[at->second].parts.push_back(part);
    }
    if (sounds.empty()) {
        std::fprintf(stderr, "%s: no sounds\n", path);
        return false;
    }
    return true;
}

static std::string lower(std::string text)
{
    for (char& c : text)
        c = char(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return text;
}

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: qktsound DESCRIPTION OUTPUT_FOLDER\n");
        return 2;
    }
    std::vector<Sound> sounds;
    if (!read_description(argv[1], sounds))
        return 1;
    const std::filesystem::path folder = argv[2];
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    std::string rsrc = "# Written by qktsound from the game's sound description.\n";
    for (const Sound& sound : sounds) {
        std::vector<uint8_t> samples;
        uint32_t noise = 1;
        for (const Part& part : sound.parts)
            synthesise(part, samples, noise);
        const std::string file = lower(sound.name) + ".wav";
        if (!tool_write_replacing(folder / file, wav_file(samples))) {
            std::fprintf(stderr, "%s: cannot be written\n", (folder / file).c_str());
            return 1;
        }
        rsrc += "custom WAVE " + sound.name + " file \"" + file + "\"\n";
    }
    if (!tool_write_replacing(folder / "sounds.rsrc", std::vector<uint8_t>(rsrc.begin(), rsrc.end()))) {
        std::fprintf(stderr, "%s: cannot be written\n", (folder / "sounds.rsrc").c_str());
        return 1;
    }
    return 0;
}
