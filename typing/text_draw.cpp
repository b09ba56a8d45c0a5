// Drawing glyph strips. The strip's rows are already those of a top-down 1-bit DIB (0 bits
// ink, rows padded to 32 bits), so it becomes a monochrome bitmap without repacking, and
// the blits let GDI's monochrome-to-colour rule put the colours in.
#include "typing/text_draw.h"

#include "platform/gdi/bitmap.h"
#include "platform/gdi/blit.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/dib.h"
#include "platform/gdi/dib_blit.h"
#include "platform/gdi/gdi_object.h"
#include "platform/gdi/rop.h"
#include "typing/bitmap_font.h"

constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kWhite = 0xFFFFFF;

namespace {

// A strip as a monochrome bitmap selected into a memory DC.
struct StripImage {
    plat::DcHandle dc;
    plat::GdiObject bitmap;
    plat::GdiObject previous;
    int32_t width = 0;
    int32_t height = 0;
};

} // namespace

uint32_t text_extent(plat::DcHandle, std::string_view text)
{
    uint32_t width = uint32_t(text.size() * (kFontCellSize / 2));
    return (width & 0xFFFF) | uint32_t(kFontCellSize) << 16;
}

static plat::GdiObject strip_bitmap(const GlyphStrip& strip)
{
    uint8_t info[plat::kBitmapInfoHeaderSize + 8] = {};
    plat::DibHeader header;
    header.width = strip.width;
    header.height = -strip.height; // the strip's rows run top down
    header.bit_count = 1;
    plat::dib_write_header(header, info);
    // Colour 0 black for the ink, colour 1 white for the paper: the monochrome bitmap keeps
    // the bits as they are.
    info[plat::kBitmapInfoHeaderSize + 4] = 0xFF;
    info[plat::kBitmapInfoHeaderSize + 5] = 0xFF;
    info[plat::kBitmapInfoHeaderSize + 6] = 0xFF;
    return plat::create_dib_bitmap(
        plat::DcHandle {}, info, plat::CBM_INIT, strip.bits, info, plat::DIB_RGB_COLORS);
}

static bool strip_open(plat::DcHandle dc, const GlyphStrip& strip, StripImage& out)
{
    if (strip.width <= 0 || strip.height <= 0)
        return false;
    out.bitmap = strip_bitmap(strip);
    if (!out.bitmap)
        return false;
    out.dc = plat::create_compatible_dc(dc);
    out.previous = plat::select_object(out.dc, out.bitmap);
    out.width = strip.width;
    out.height = strip.height;
    return true;
}

static void strip_close(StripImage& image)
{
    plat::select_object(image.dc, image.previous);
    plat::delete_dc(image.dc);
    plat::delete_object(image.bitmap);
}

// A monochrome source draws its 0 bits (ink) in the DC's text colour and its 1 bits (paper) in
// its background colour; both are set for the one blit and put back.
static void blit_strip(plat::DcHandle dc, int32_t x, int32_t y, const StripImage& image,
    uint32_t ink, uint32_t paper, uint32_t rop)
{
    uint32_t old_text = plat::set_text_color(dc, ink);
    uint32_t old_background = plat::set_bk_color(dc, paper);
    plat::bit_blt(dc, x, y, image.width, image.height, image.dc, 0, 0, rop);
    plat::set_text_color(dc, old_text);
    plat::set_bk_color(dc, old_background);
}

static void strip_draw(
    plat::DcHandle dc, int32_t x, int32_t y, uint32_t flags, const StripImage& image)
{
    if (flags & kTextOpaque) {
        blit_strip(dc, x, y, image, kBlack, kWhite, plat::SRCCOPY);
        return;
    }
    // Transparent: AND with the mask clears the ink's pixels and keeps the paper's, then OR
    // puts the text colour into the cleared pixels and black, which changes nothing, elsewhere.
    uint32_t ink = plat::get_text_color(dc);
    blit_strip(dc, x, y, image, kBlack, kWhite, plat::SRCAND);
    blit_strip(dc, x, y, image, ink, kBlack, plat::SRCPAINT);
}

static void fill_background(plat::DcHandle dc, const plat::Rect& rect)
{
    plat::GdiObject brush = plat::create_solid_brush(plat::get_bk_color(dc));
    if (!brush)
        return;
    plat::fill_rect(dc, rect, brush);
    plat::delete_object(brush);
}

void text_draw(plat::DcHandle dc, int32_t x, int32_t y, uint32_t flags, const plat::Rect* rect,
    std::string_view text)
{
    if (text.empty()) {
        if (rect)
            fill_background(dc, *rect);
        return;
    }
    GlyphStrip strip;
    StripImage image;
    if (!bitmap_font_glyph_strip(text, strip) || !strip_open(dc, strip, image))
        return;
    strip_draw(dc, x, y, flags, image);
    strip_close(image);
}

void text_draw_embossed(plat::DcHandle dc, int32_t x, int32_t y, uint32_t flags,
    const plat::Rect* rect, std::string_view text)
{
    if (text.empty()) {
        text_draw(dc, x, y, flags, rect, text);
        return;
    }
    GlyphStrip strip;
    StripImage image;
    if (!bitmap_font_glyph_strip(text, strip) || !strip_open(dc, strip, image))
        return;
    uint32_t colour = plat::get_text_color(dc);
    plat::set_text_color(dc, kTextEmbossLower);
    strip_draw(dc, x + 1, y + 1, flags, image);
    plat::set_text_color(dc, kTextEmbossUpper);
    strip_draw(dc, x, y - 1, flags, image);
    plat::set_text_color(dc, colour);
    strip_draw(dc, x, y, flags, image);
    strip_close(image);
}

void text_draw_plain(plat::DcHandle dc, int32_t x, int32_t y, std::string_view text)
{
    text_draw(dc, x, y, kTextOpaque, nullptr, text);
}
