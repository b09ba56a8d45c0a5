// Shared by the wintest end-to-end tests: reading what a run of the program leaves behind, its
// event log and its screenshots.
#pragma once
#include <cstdint>
#include <fstream>
#include <png.h>
#include <sstream>
#include <string>
#include <vector>

namespace wintest {

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels; // 0x00RRGGBB

    uint32_t at(int x, int y) const { return pixels.at(size_t(y) * size_t(width) + size_t(x)); }
};

// Reads an 8-bit RGB or RGBA PNG; false when the file is missing or not such a picture.
inline bool read_png(const std::string& path, Picture& out)
{
    png_image image {};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return false;
    image.format = PNG_FORMAT_RGB;
    std::vector<png_byte> bytes(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, bytes.data(), 0, nullptr))
        return false;
    out.width = int(image.width);
    out.height = int(image.height);
    out.pixels.resize(size_t(out.width) * size_t(out.height));
    for (size_t i = 0; i < out.pixels.size(); i++) {
        const png_byte* rgb = &bytes[i * 3];
        out.pixels[i] = uint32_t(rgb[0]) << 16 | uint32_t(rgb[1]) << 8 | rgb[2];
    }
    return true;
}

// The whole file; empty when it is missing.
inline std::string read_text(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// Log lines without their time: real time differs from run to run, the events must not.
inline std::vector<std::string> events_of(const std::string& log)
{
    std::vector<std::string> events;
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);) {
        size_t space = line.find(' ');
        events.push_back(space == std::string::npos ? line : line.substr(space + 1));
    }
    return events;
}

} // namespace wintest
