// GDI drawing: a 1024 x 768 x 32 SRCCOPY bit_blt between memory DCs against memcpy of the
// same bytes (the floor any copy has to pay), the same amount copied row by row out of larger
// bitmaps, an 8-bit 640 x 480 DIB drawn onto a 32-bit
// bitmap, an 8 x 8 pattern brush filling 1024 x 768, and a 1000 x 700 filled ellipse. The last
// line is "ratio: X", the bit_blt's time over memcpy's.
#include <benchmark/benchmark.h>
#include <cstring>
#include <vector>

#include "bench/bench_ratio.h"
#include "platform/kernel/byte_io.h"
#include "platform/gdi/bitmap.h"
#include "platform/gdi/blit.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/dib_blit.h"
#include "platform/gdi/shape.h"

namespace {

constexpr int32_t kWidth = 1024, kHeight = 768;

struct Memory {
    plat::DcHandle dc;
    plat::GdiObject bitmap, previous;
    Memory(int32_t width, int32_t height)
    {
        dc = plat::create_compatible_dc(plat::DcHandle{});
        bitmap = plat::bitmap_create(width, height, 32, false);
        previous = plat::select_object(dc, bitmap);
    }
    ~Memory()
    {
        plat::select_object(dc, previous);
        plat::delete_dc(dc);
        plat::delete_object(bitmap);
    }
};

void BM_BitBltSrcCopy(benchmark::State& state)
{
    plat::dc_reset();
    Memory source(kWidth, kHeight), dest(kWidth, kHeight);
    plat::pat_blt(source.dc, 0, 0, kWidth, kHeight, plat::WHITENESS);
    for (auto _ : state)
        plat::bit_blt(dest.dc, 0, 0, kWidth, kHeight, source.dc, 0, 0, plat::SRCCOPY);
    state.SetBytesProcessed(int64_t(state.iterations()) * kWidth * kHeight * 4);
}
BENCHMARK(BM_BitBltSrcCopy);

// The same bytes less a border: rows copied one by one, as blits of part of a bitmap are.
void BM_BitBltSrcCopyRows(benchmark::State& state)
{
    plat::dc_reset();
    Memory source(kWidth + 16, kHeight + 8), dest(kWidth + 16, kHeight + 8);
    plat::pat_blt(source.dc, 0, 0, kWidth + 16, kHeight + 8, plat::WHITENESS);
    for (auto _ : state)
        plat::bit_blt(dest.dc, 8, 4, kWidth, kHeight, source.dc, 4, 2, plat::SRCCOPY);
    state.SetBytesProcessed(int64_t(state.iterations()) * kWidth * kHeight * 4);
}
BENCHMARK(BM_BitBltSrcCopyRows);

void BM_MemcpyFloor(benchmark::State& state)
{
    std::vector<uint8_t> source(size_t(kWidth) * kHeight * 4, 0xFF), dest(source.size());
    for (auto _ : state) {
        std::memcpy(dest.data(), source.data(), source.size());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kWidth * kHeight * 4);
}
BENCHMARK(BM_MemcpyFloor);

void BM_StretchDibBits8To32(benchmark::State& state)
{
    plat::dc_reset();
    const int32_t width = 640, height = 480;
    std::vector<uint8_t> info(40 + 1024), bits(size_t(width) * height);
    plat::DibHeader header;
    header.width = width;
    header.height = height;
    header.bit_count = 8;
    plat::dib_write_header(header, info.data());
    for (uint32_t i = 0; i < 256; i++)
        plat::store_u32le(info.data() + 40 + 4 * i, i * 0x010203);
    for (size_t i = 0; i < bits.size(); i++)
        bits[i] = uint8_t(i * 7);
    Memory dest(width, height);
    for (auto _ : state)
        plat::stretch_dib_bits(dest.dc, 0, 0, width, height, 0, 0, width, height, bits, info, plat::DIB_RGB_COLORS, plat::SRCCOPY);
}
BENCHMARK(BM_StretchDibBits8To32);

void BM_PatternFill(benchmark::State& state)
{
    plat::dc_reset();
    const uint8_t rows[16] = {0xAA, 0, 0x55, 0, 0xAA, 0, 0x55, 0, 0xAA, 0, 0x55, 0, 0xAA, 0, 0x55, 0};
    plat::GdiObject pattern = plat::create_bitmap(8, 8, 1, 1, rows, sizeof rows);
    Memory dest(kWidth, kHeight);
    plat::select_object(dest.dc, plat::create_pattern_brush(pattern));
    for (auto _ : state)
        plat::pat_blt(dest.dc, 0, 0, kWidth, kHeight, plat::PATCOPY);
}
BENCHMARK(BM_PatternFill);

void BM_EllipseFill(benchmark::State& state)
{
    plat::dc_reset();
    Memory dest(kWidth, kHeight);
    plat::select_object(dest.dc, plat::get_stock_object(plat::NULL_PEN));
    plat::select_object(dest.dc, plat::create_solid_brush(0x336699));
    for (auto _ : state)
        plat::ellipse(dest.dc, 12, 34, 1012, 734);
}
BENCHMARK(BM_EllipseFill);

} // namespace

int main(int argc, char** argv)
{
    if (!bench_start(&argc, argv))
        return 1;
    BenchTimes times = bench_run_timed(BenchKeep::last);
    return bench_print_ratio(times, "BM_BitBltSrcCopy", "BM_MemcpyFloor");
}
