// Shared by the GDI tests: a fixture that starts each case with no DCs and no GDI objects,
// and a canvas (a memory DC holding a white bitmap) whose pixels read back as colours or as
// rows of text, '#' where a pixel has the ink colour and '.' elsewhere.
#pragma once
#include <gtest/gtest.h>
#include <string>

#include "platform/gdi/bitmap.h"
#include "platform/gdi/blit.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/gdi_object.h"
#include "platform/gdi/pixels.h"

namespace gditest {

using namespace plat;

constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kWhite = 0xFFFFFF;

class GdiTest : public testing::Test {
protected:
    void SetUp() override { dc_reset(); }
    void TearDown() override { dc_reset(); }
};

struct Canvas {
    DcHandle dc;
    GdiObject bitmap;
    GdiObject previous;

    Canvas(int32_t width, int32_t height, int bits_per_pixel = 32)
    {
        dc = create_compatible_dc(DcHandle{});
        bitmap = bitmap_create(width, height, bits_per_pixel, false);
        previous = select_object(dc, bitmap);
        pat_blt(dc, 0, 0, width, height, WHITENESS);
    }
    ~Canvas()
    {
        select_object(dc, previous);
        delete_dc(dc);
        delete_object(bitmap);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    PixelPlane plane() const { return pixmap_plane(gdi_data<BitmapData>(bitmap)->pixmap); }
    // The pixel's colour, 0x00RRGGBB.
    uint32_t at(int32_t x, int32_t y) const
    {
        PixelPlane p = plane();
        return pixels_to_rgb(p, pixels_get(p, x, y));
    }
    // The pixel as the bitmap stores it (an index, a 5-5-5 word, a colour).
    uint32_t value(int32_t x, int32_t y) const { return pixels_get(plane(), x, y); }
    std::string row(int32_t y, int32_t x0, int32_t x1, uint32_t ink = kBlack) const
    {
        std::string text;
        for (int32_t x = x0; x < x1; x++)
            text += at(x, y) == ink ? '#' : '.';
        return text;
    }
    std::string column(int32_t x, int32_t y0, int32_t y1, uint32_t ink = kBlack) const
    {
        std::string text;
        for (int32_t y = y0; y < y1; y++)
            text += at(x, y) == ink ? '#' : '.';
        return text;
    }
    int count(uint32_t ink) const
    {
        PixelPlane p = plane();
        int n = 0;
        for (int32_t y = 0; y < p.height; y++)
            for (int32_t x = 0; x < p.width; x++)
                n += at(x, y) == ink;
        return n;
    }
    // Selects a black pen of the width (0: none) and a brush of the colour (CLR_INVALID: none).
    void use(int32_t pen_width, uint32_t brush_color)
    {
        GdiObject pen = pen_width > 0 ? create_pen(PS_SOLID, pen_width, 0) : get_stock_object(NULL_PEN);
        GdiObject brush = brush_color == 0xFFFFFFFF ? get_stock_object(NULL_BRUSH) : create_solid_brush(brush_color);
        delete_object(select_object(dc, pen));
        delete_object(select_object(dc, brush));
    }
};

// An RGB COLORREF from 0x00RRGGBB.
inline uint32_t ref(uint32_t rgb) { return colorref_from_pixel(rgb); }

} // namespace gditest
