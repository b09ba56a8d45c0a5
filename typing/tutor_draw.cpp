// Drawing helpers. Each blit makes its memory DCs and gives them back at once: the tutor holds
// bitmaps, never DCs, so no DC outlives the call that needed it.
#include "typing/tutor_draw.h"

#include "platform/gdi/bitmap.h"
#include "platform/gdi/blit.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/gdi_object.h"
#include "platform/gdi/palette.h"
#include "platform/gdi/rop.h"
#include "platform/gdi/shape.h"
#include "platform/window/message.h"
#include "platform/window/metrics.h"
#include "platform/window/paint.h"
#include "platform/window/window.h"
#include "platform/window/winpos.h"
#include "typing/bitmap_archive.h"
#include "typing/dib.h"

#include <vector>

static struct {
    plat::GdiObject palette;
} s_draw;

void program_palette_build()
{
    program_palette_free();
    std::vector<uint8_t> dib = bitmap_archive_read("face1.bmp");
    if (!dib.empty())
        s_draw.palette = dib_palette_create(dib);
}

void program_palette_free()
{
    if (s_draw.palette)
        plat::delete_object(s_draw.palette);
    s_draw.palette = {};
}

plat::GdiObject program_palette() { return s_draw.palette; }

plat::GdiObject picture_load(std::string_view name)
{
    std::vector<uint8_t> dib = bitmap_archive_read(name);
    if (dib.empty())
        return {};
    return dib_to_bitmap(dib, s_draw.palette);
}

plat::Size bitmap_size(plat::GdiObject bitmap)
{
    plat::BitmapInfo info;
    if (!bitmap || !plat::get_object(bitmap, info))
        return {};
    return plat::Size {info.width, info.height};
}

// A memory DC holding a bitmap, with the program palette selected; closed by its destructor.
namespace {
struct BitmapDc {
    plat::DcHandle dc;
    plat::GdiObject old_bitmap;
    plat::GdiObject old_palette;
    explicit BitmapDc(plat::GdiObject bitmap)
    {
        dc = plat::create_compatible_dc(plat::DcHandle {});
        old_bitmap = plat::select_object(dc, bitmap);
        if (s_draw.palette)
            old_palette = plat::select_palette(dc, s_draw.palette, false);
    }
    ~BitmapDc()
    {
        if (old_palette)
            plat::select_palette(dc, old_palette, false);
        plat::select_object(dc, old_bitmap);
        plat::delete_dc(dc);
    }
    BitmapDc(const BitmapDc&) = delete;
    BitmapDc& operator=(const BitmapDc&) = delete;
};
} // namespace

void bitmap_blit(plat::GdiObject dest, int32_t x, int32_t y, int32_t width, int32_t height,
    plat::GdiObject source, int32_t sx, int32_t sy, uint32_t rop)
{
    if (!dest || !source)
        return;
    BitmapDc to(dest);
    BitmapDc from(source);
    plat::bit_blt(to.dc, x, y, width, height, from.dc, sx, sy, rop);
}

void bitmap_draw_into(plat::GdiObject dest, plat::GdiObject source, int32_t x, int32_t y)
{
    plat::Size size = bitmap_size(source);
    bitmap_blit(dest, x, y, size.cx, size.cy, source, 0, 0, plat::SRCCOPY);
}

plat::GdiObject bitmap_copy_rect(plat::GdiObject bitmap, const plat::Rect* rect)
{
    plat::Size size = bitmap_size(bitmap);
    if (!bitmap || size.cx <= 0 || size.cy <= 0)
        return {};
    plat::Rect part = rect ? *rect : plat::Rect {0, 0, size.cx, size.cy};
    if (part.width() <= 0 || part.height() <= 0)
        return {};
    plat::GdiObject copy;
    {
        BitmapDc from(bitmap);
        copy = plat::create_compatible_bitmap(from.dc, part.width(), part.height());
    }
    bitmap_blit(copy, 0, 0, part.width(), part.height(), bitmap, part.left, part.top, plat::SRCCOPY);
    return copy;
}

plat::GdiObject bitmap_copy(plat::GdiObject bitmap) { return bitmap_copy_rect(bitmap, nullptr); }

void dc_blit(plat::DcHandle dc, int32_t x, int32_t y, int32_t width, int32_t height,
    plat::GdiObject bitmap, int32_t sx, int32_t sy)
{
    if (!bitmap)
        return;
    BitmapDc from(bitmap);
    plat::bit_blt(dc, x, y, width, height, from.dc, sx, sy, plat::SRCCOPY);
}

void window_blit(plat::WindowHandle window, int32_t x, int32_t y, int32_t width, int32_t height,
    plat::GdiObject bitmap, int32_t sx, int32_t sy)
{
    if (!bitmap)
        return;
    plat::DcHandle dc = plat::get_dc(window);
    plat::GdiObject old_palette;
    if (s_draw.palette) {
        old_palette = plat::select_palette(dc, s_draw.palette, false);
        plat::realize_palette(dc);
    }
    dc_blit(dc, x, y, width, height, bitmap, sx, sy);
    if (old_palette)
        plat::select_palette(dc, old_palette, false);
    plat::release_dc(window, dc);
}

uint32_t window_palette_realize(plat::WindowHandle window, uint32_t message, plat::GdiObject palette)
{
    if (!palette)
        return 0;
    plat::DcHandle dc = plat::get_dc(window);
    plat::GdiObject old = plat::select_palette(dc, palette, message != plat::WM_QUERYNEWPALETTE);
    uint32_t changed = plat::realize_palette(dc);
    plat::select_palette(dc, old, false);
    plat::release_dc(window, dc);
    if (changed)
        plat::invalidate_rect(window, nullptr, false);
    return changed;
}

bool palette_message(plat::WindowHandle window, uint32_t message, plat::WParam wparam, plat::LResult& result)
{
    bool changed_elsewhere = message == plat::WM_PALETTECHANGED && plat::WindowHandle(uint32_t(wparam)) != window;
    if (message != plat::WM_QUERYNEWPALETTE && !changed_elsewhere)
        return false;
    result = plat::LResult(window_palette_realize(window, message, s_draw.palette));
    return true;
}

plat::GdiObject bitmap_make_mask(plat::GdiObject bitmap)
{
    plat::Size size = bitmap_size(bitmap);
    if (size.cx <= 0 || size.cy <= 0)
        return {};
    plat::GdiObject mask = plat::create_bitmap(size.cx, size.cy, 1, 1, nullptr, 0);
    BitmapDc from(bitmap);
    BitmapDc to(mask);
    // A colour source on a monochrome target gives 1 where it equals the source's background.
    plat::set_bk_color(from.dc, plat::get_pixel(from.dc, 0, 0));
    plat::bit_blt(to.dc, 0, 0, size.cx, size.cy, from.dc, 0, 0, plat::SRCCOPY);
    return mask;
}

void masked_blit(plat::DcHandle dc, plat::GdiObject bitmap, plat::GdiObject mask, int32_t x, int32_t y,
    int32_t width, int32_t height, int32_t sx, int32_t sy)
{
    if (!bitmap || !mask)
        return;
    // The picture with its key pixels made black, ORed onto the target with those pixels
    // cleared: the mask keeps the target where it is white.
    plat::GdiObject cut = bitmap_copy(bitmap);
    {
        BitmapDc picture(cut);
        BitmapDc m(mask);
        plat::set_bk_color(picture.dc, 0xFFFFFF);
        plat::set_text_color(picture.dc, 0x000000);
        plat::bit_blt(picture.dc, 0, 0, bitmap_size(cut).cx, bitmap_size(cut).cy, m.dc, 0, 0, 0x00220326); // DSna
        uint32_t old_bk = plat::set_bk_color(dc, 0xFFFFFF);
        uint32_t old_text = plat::set_text_color(dc, 0x000000);
        plat::bit_blt(dc, x, y, width, height, m.dc, sx, sy, plat::SRCAND);
        plat::bit_blt(dc, x, y, width, height, picture.dc, sx, sy, plat::SRCPAINT);
        plat::set_bk_color(dc, old_bk);
        plat::set_text_color(dc, old_text);
    }
    plat::delete_object(cut);
}

void transparent_blit(plat::DcHandle dc, plat::GdiObject bitmap, int32_t x, int32_t y, uint32_t key)
{
    plat::Size size = bitmap_size(bitmap);
    if (size.cx <= 0 || size.cy <= 0)
        return;
    plat::GdiObject mask = plat::create_bitmap(size.cx, size.cy, 1, 1, nullptr, 0);
    {
        BitmapDc from(bitmap);
        BitmapDc to(mask);
        plat::set_bk_color(from.dc, key);
        plat::bit_blt(to.dc, 0, 0, size.cx, size.cy, from.dc, 0, 0, plat::SRCCOPY);
    }
    masked_blit(dc, bitmap, mask, x, y, size.cx, size.cy, 0, 0);
    plat::delete_object(mask);
}

void bitmap_transparent_draw(plat::GdiObject dest, plat::GdiObject source, int32_t x, int32_t y, uint32_t key)
{
    if (!dest || !source)
        return;
    BitmapDc to(dest);
    transparent_blit(to.dc, source, x, y, key);
}

void bitmap_masked_draw(plat::GdiObject dest, plat::GdiObject source, plat::GdiObject mask, int32_t x, int32_t y)
{
    if (!dest)
        return;
    plat::Size size = bitmap_size(source);
    BitmapDc to(dest);
    masked_blit(to.dc, source, mask, x, y, size.cx, size.cy, 0, 0);
}

void paint_bitmap(plat::DcHandle dc, plat::GdiObject bitmap, plat::GdiObject palette, const plat::Rect* rect)
{
    if (!bitmap)
        return;
    plat::Size size = bitmap_size(bitmap);
    plat::Rect part = rect ? *rect : plat::Rect {0, 0, size.cx, size.cy};
    plat::GdiObject old_palette;
    if (palette) {
        old_palette = plat::select_palette(dc, palette, false);
        plat::realize_palette(dc);
    }
    dc_blit(dc, part.left, part.top, part.width(), part.height(), bitmap, part.left, part.top);
    if (old_palette)
        plat::select_palette(dc, old_palette, false);
}

void paint_background(plat::WindowHandle window, plat::GdiObject bitmap)
{
    plat::PaintStruct paint;
    plat::DcHandle dc = plat::begin_paint(window, paint);
    if (bitmap)
        paint_bitmap(dc, bitmap, s_draw.palette, &paint.paint);
    plat::end_paint(window, paint);
}

void dialog_fit_bitmap(plat::WindowHandle dialog, plat::GdiObject bitmap)
{
    plat::Size size = bitmap_size(bitmap);
    if (size.cx <= 0 || size.cy <= 0)
        return;
    plat::Rect around {0, 0, plat::get_system_metrics(plat::SM_CXSCREEN),
        plat::get_system_metrics(plat::SM_CYSCREEN)};
    plat::WindowHandle owner = plat::get_window(dialog, plat::GW_OWNER);
    if (owner)
        plat::get_window_rect(owner, around);
    int32_t x = around.left + (around.width() - size.cx) / 2;
    int32_t y = around.top + (around.height() - size.cy) / 2;
    plat::move_window(dialog, x, y, size.cx, size.cy, true);
}
