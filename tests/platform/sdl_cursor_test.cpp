#include "platform/backend/sdl_cursor.h"

#include <gtest/gtest.h>

namespace {

using namespace plat;

TEST(SdlCursorMasks, EachKindOfPixelTakesSdlsPairOfBits)
{
    // One row of ten: transparent, black, white, inverted, then transparent; SDL wants 16 wide.
    IconImage image;
    image.width = 10;
    image.height = 1;
    image.and_mask = {0x9F, 0xC0};
    image.xor_mask = {0x30, 0x00};
    SdlCursorMasks masks = sdlcursor_masks(image);
    EXPECT_EQ(masks.width_padded, 16);
    // data: black 1, inverted 1; mask: black 1, white 1; the padding transparent.
    EXPECT_EQ(masks.data, (std::vector<uint8_t>{0x50, 0x00}));
    EXPECT_EQ(masks.mask, (std::vector<uint8_t>{0x60, 0x00}));
}

} // namespace
