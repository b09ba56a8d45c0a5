// From a rendered picture to the archive's form: the colour table, nearest-colour mapping
// without dithering, and uncompressed 8-bit BMP files.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

constexpr int kTableSize = 256;
using ColourTable = std::array<uint32_t, kTableSize>; // 0x00RRGGBB

// The table file: one "#RRGGBB" row per entry (text after it is a comment, lines starting
// with "# " are comments); false with a message unless it has exactly 256 rows.
bool colour_table_read(const std::string& path, ColourTable& table, std::string& error);

struct Rgba {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels; // 4 bytes a pixel, top row first
};

bool png_read_rgba(const std::string& path, Rgba& image, std::string& error);

struct MapRules {
    int key = 0; // the entry of masked pictures' transparent pixels, which nothing else takes
    bool masked = false; // pixels drawn less than half opaque take the key
    bool no_black = false; // no pixel may take a pure black entry
};

// One table index per pixel, top row first: each opaque pixel takes the nearest entry that
// the rules allow.
std::vector<uint8_t> map_to_table(const Rgba& image, const ColourTable& table, const MapRules& rules);

// A BMP file of 8 bits a pixel with the whole table and bottom-up rows.
std::vector<uint8_t> bmp_8bit(int width, int height, const std::vector<uint8_t>& indexes,
    const ColourTable& table);
