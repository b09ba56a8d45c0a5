#include "runtime/ui/bitmap_res.h"

#include "platform/gdi/bitmap.h"
#include "platform/gdi/blit.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/gdi_object.h"
#include "platform/gdi/image.h"
#include "platform/gdi/rop.h"
#include "platform/gdi/surface.h"
#include "platform/kernel/resource.h"

using namespace plat;

constexpr uint32_t kRopXnor = 0x990066; // destination XNOR source

// Reference points of glyphs 51-54: bits 0-4 offset x, bits 5-9 offset y.
constexpr int kFirstGlyph = 51;
static const uint16_t kGlyphOffsets[] = {
    13 | 17 << 5, // 51
    3 | 3 << 5,   // 52
    3 | 3 << 5,   // 53
    10 | 4 << 5,  // 54
};

uint32_t bitmap_rop(int mode)
{
    switch (mode) {
    case 0: return SRCAND;
    case 1: return MERGEPAINT;
    case 2: return kRopXnor;
    default: return SRCCOPY;
    }
}

static bool exists(uint32_t n) { return find_resource(ModuleHandle(), RT_BITMAP, n).data != nullptr; }

uint32_t bitmap_choose(DcHandle dc, uint32_t n)
{
    int bits = get_device_caps(dc, BITSPIXEL) * get_device_caps(dc, PLANES);
    if (bits >= 8 && exists(n + kBitmap256Colours))
        return n + kBitmap256Colours;
    if (bits > 3 && exists(n + kBitmap16Colours))
        return n + kBitmap16Colours;
    return n;
}

GdiObject bitmap_load(DcHandle dc, uint32_t n) { return load_bitmap(ModuleHandle(), bitmap_choose(dc, n)); }

static GdiObject load_mask(uint32_t n) { return load_bitmap(ModuleHandle(), n + kBitmapMask); }

void bitmap_size(DcHandle dc, uint32_t n, int32_t& width, int32_t& height)
{
    width = height = 0;
    GdiObject bitmap = bitmap_load(dc, n);
    BitmapInfo info;
    if (bitmap && get_object(bitmap, info)) {
        width = info.width;
        height = info.height;
    }
    delete_object(bitmap);
}

// One bitmap selected into a memory DC for the time of a blit.
class SourceDc {
public:
    SourceDc(DcHandle dc, GdiObject bitmap)
        : bitmap_(bitmap)
    {
        if (!bitmap)
            return;
        memory_ = create_compatible_dc(dc);
        previous_ = select_object(memory_, bitmap);
        get_object(bitmap, info_);
    }
    ~SourceDc()
    {
        if (memory_) {
            select_object(memory_, previous_);
            delete_dc(memory_);
        }
        delete_object(bitmap_);
    }
    SourceDc(const SourceDc&) = delete;
    SourceDc& operator=(const SourceDc&) = delete;
    explicit operator bool() const { return bool(memory_); }
    DcHandle dc() const { return memory_; }
    int32_t width() const { return info_.width; }
    int32_t height() const { return info_.height; }

private:
    GdiObject bitmap_;
    DcHandle memory_;
    GdiObject previous_;
    BitmapInfo info_;
};

void bitmap_blit(DcHandle dc, uint32_t n, int32_t x, int32_t y, int mode)
{
    SourceDc source(dc, bitmap_load(dc, n));
    if (source)
        bit_blt(dc, x, y, source.width(), source.height(), source.dc(), 0, 0, bitmap_rop(mode));
}

static void stretch(DcHandle dc, const SourceDc& source, const Rect& dest, const Rect& from, uint32_t rop)
{
    stretch_blt(dc, dest.left, dest.top, dest.width(), dest.height(), source.dc(), from.left, from.top, from.width(),
        from.height(), rop);
}

void bitmap_stretch(DcHandle dc, uint32_t n, const Rect& dest, const Rect& source_rect, int mode)
{
    SourceDc source(dc, bitmap_load(dc, n));
    if (source)
        stretch(dc, source, dest, source_rect, bitmap_rop(mode));
}

void bitmap_draw(DcHandle dc, uint32_t n, int32_t x, int32_t y, int mode)
{
    SourceDc mask(dc, load_mask(n));
    if (!mask) {
        bitmap_blit(dc, n, x, y, mode);
        return;
    }
    SourceDc source(dc, bitmap_load(dc, n));
    if (!source)
        return;
    // Inverting twice around the mask leaves the background where the mask is white.
    int32_t width = source.width();
    int32_t height = source.height();
    bit_blt(dc, x, y, width, height, source.dc(), 0, 0, SRCINVERT);
    uint32_t text = set_text_color(dc, 0);
    uint32_t back = set_bk_color(dc, rgb(255, 255, 255));
    bit_blt(dc, x, y, width, height, mask.dc(), 0, 0, SRCAND);
    set_text_color(dc, text);
    set_bk_color(dc, back);
    bit_blt(dc, x, y, width, height, source.dc(), 0, 0, SRCINVERT);
}

int bitmap_draw_part(DcHandle dc, uint32_t n, const Rect& dest, const Rect& source_rect, int mode)
{
    SourceDc source(dc, bitmap_load(dc, n));
    if (!source)
        return 0;
    SourceDc mask(dc, load_mask(n));
    if (mask)
        stretch(dc, mask, dest, source_rect, MERGEPAINT);
    stretch(dc, source, dest, source_rect, bitmap_rop(mode));
    return 1;
}

static uint16_t glyph_word(int glyph)
{
    int index = glyph - kFirstGlyph;
    return index >= 0 && index < int(std::size(kGlyphOffsets)) ? kGlyphOffsets[index] : 0;
}

int32_t glyph_offset_x(int glyph) { return glyph_word(glyph) & 0x1f; }
int32_t glyph_offset_y(int glyph) { return (glyph_word(glyph) >> 5) & 0x1f; }

void glyph_draw(DcHandle dc, int glyph, uint32_t color, int32_t x, int32_t y)
{
    uint32_t text = set_text_color(dc, color);
    uint32_t back = set_bk_color(dc, rgb(255, 255, 255));
    bitmap_draw(dc, kGlyphBase + uint32_t(glyph), x - glyph_offset_x(glyph), y - glyph_offset_y(glyph), 3);
    set_text_color(dc, text);
    set_bk_color(dc, back);
}
