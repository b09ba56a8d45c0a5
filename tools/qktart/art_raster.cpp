#include "tools/qktart/art_raster.h"

#include "platform/kernel/byte_io.h"

#include <fstream>
#include <png.h>
#include <unordered_map>

bool colour_table_read(const std::string& path, ColourTable& table, std::string& error)
{
    std::ifstream in(path);
    if (!in) {
        error = "cannot read " + path;
        return false;
    }
    int count = 0;
    std::string line;
    while (std::getline(in, line)) {
        if (line.size() < 7 || line[0] != '#' || line[1] == ' ')
            continue;
        size_t used = 0;
        unsigned long value = std::stoul(line.substr(1, 6), &used, 16);
        if (used != 6 || count == kTableSize) {
            error = path + ": bad row or more than 256 rows: " + line;
            return false;
        }
        table[size_t(count++)] = uint32_t(value);
    }
    if (count != kTableSize) {
        error = path + ": " + std::to_string(count) + " rows, not 256";
        return false;
    }
    return true;
}

bool png_read_rgba(const std::string& path, Rgba& image, std::string& error)
{
    png_image png {};
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, path.c_str())) {
        error = path + ": " + png.message;
        return false;
    }
    png.format = PNG_FORMAT_RGBA;
    image.width = int(png.width);
    image.height = int(png.height);
    image.pixels.assign(PNG_IMAGE_SIZE(png), 0);
    if (!png_image_finish_read(&png, nullptr, image.pixels.data(), 0, nullptr)) {
        error = path + ": " + png.message;
        png_image_free(&png);
        return false;
    }
    return true;
}

static int nearest_entry(uint32_t rgb, const ColourTable& table, const MapRules& rules)
{
    int r = int(rgb >> 16 & 0xFF), g = int(rgb >> 8 & 0xFF), b = int(rgb & 0xFF);
    int best = -1;
    long best_distance = 0;
    for (int i = 0; i < kTableSize; ++i) {
        uint32_t c = table[size_t(i)];
        if (i == rules.key || (rules.no_black && c == 0))
            continue;
        long dr = r - int(c >> 16 & 0xFF), dg = g - int(c >> 8 & 0xFF), db = b - int(c & 0xFF);
        // green weighs most and blue least, as the eye sees differences
        long distance = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
        if (best < 0 || distance < best_distance) {
            best = i;
            best_distance = distance;
        }
    }
    return best;
}

std::vector<uint8_t> map_to_table(const Rgba& image, const ColourTable& table, const MapRules& rules)
{
    std::vector<uint8_t> out(size_t(image.width) * size_t(image.height));
    std::unordered_map<uint32_t, uint8_t> known; // flat pictures have few distinct colours
    for (size_t i = 0; i < out.size(); ++i) {
        const uint8_t* p = &image.pixels[4 * i];
        if (rules.masked && p[3] < 128) {
            out[i] = uint8_t(rules.key);
            continue;
        }
        // what is not masked stands on white wherever the drawing left it see-through
        uint32_t alpha = rules.masked ? 255 : p[3];
        auto over_white = [alpha](uint8_t c) { return uint32_t((c * alpha + 255 * (255 - alpha)) / 255); };
        uint32_t rgb = over_white(p[0]) << 16 | over_white(p[1]) << 8 | over_white(p[2]);
        auto found = known.find(rgb);
        if (found == known.end())
            found = known.emplace(rgb, uint8_t(nearest_entry(rgb, table, rules))).first;
        out[i] = found->second;
    }
    return out;
}

std::vector<uint8_t> bmp_8bit(int width, int height, const std::vector<uint8_t>& indexes,
    const ColourTable& table)
{
    constexpr uint32_t kHeaders = 14 + 40 + 4 * kTableSize;
    uint32_t stride = (uint32_t(width) + 3) / 4 * 4;
    uint32_t bits_size = stride * uint32_t(height);
    std::vector<uint8_t> out;
    plat::ByteWriter w(out);
    w.u8('B');
    w.u8('M');
    w.u32le(kHeaders + bits_size);
    w.u32le(0);
    w.u32le(kHeaders);
    w.u32le(40);
    w.u32le(uint32_t(width));
    w.u32le(uint32_t(height));
    w.u16le(1);
    w.u16le(8);
    w.u32le(0); // uncompressed
    w.u32le(bits_size);
    w.u32le(2835); // 72 dots per inch
    w.u32le(2835);
    w.u32le(kTableSize);
    w.u32le(0);
    for (uint32_t c : table) {
        w.u8(uint8_t(c));
        w.u8(uint8_t(c >> 8));
        w.u8(uint8_t(c >> 16));
        w.u8(0);
    }
    for (int y = height - 1; y >= 0; --y) {
        w.bytes(&indexes[size_t(y) * size_t(width)], size_t(width));
        for (uint32_t pad = uint32_t(width); pad < stride; ++pad)
            w.u8(0);
    }
    return out;
}
