#include "typing/bitmap_font_build.h"

#include "platform/kernel/byte_io.h"

#include <algorithm>

// Appends a part to the block; its offset, or kFontAbsent for an empty part.
static uint32_t append_part(std::vector<uint8_t>& block, const std::vector<uint8_t>& part)
{
    if (part.empty())
        return kFontAbsent;
    uint32_t offset = uint32_t(block.size());
    block.insert(block.end(), part.begin(), part.end());
    return offset;
}

std::vector<uint8_t> bitmap_font_build(const FontImage& image)
{
    std::vector<uint8_t> block;
    uint32_t variant_tables = append_part(block, image.variant_tables);
    uint32_t half_width = append_part(block, image.half_width);
    uint32_t areas[kFontCategories];
    for (int k = 0; k < kFontCategories; ++k)
        areas[k] = append_part(block, image.areas[k]);

    // The program reads nothing of the header's first 64 bytes.
    std::vector<uint8_t> file(kFontHeaderSize + kFontSizeEntrySize, 0);
    plat::store_u16le(&file[64], 1);
    uint8_t* entry = &file[kFontHeaderSize];
    plat::store_u16le(entry + 0, image.width);
    plat::store_u16le(entry + 2, image.height);
    plat::store_u16le(entry + 4, uint16_t((image.width + 7) / 8 * image.height));
    plat::store_u32le(entry + 6, uint32_t(file.size()));
    plat::store_u32le(entry + 10, uint32_t(block.size()));
    plat::store_u32le(entry + 20, half_width);
    plat::store_u32le(entry + 24, variant_tables);
    for (int k = 0; k < kFontCategories; ++k)
        plat::store_u32le(entry + 28 + 4 * k, areas[k]);
    size_t head = file.size();
    file.resize(head + block.size());
    std::copy(block.begin(), block.end(), file.begin() + ptrdiff_t(head));
    return file;
}
