// Text: measuring and drawing a line of 1,000 characters in Arial at 16 pixels, with the glyph
// cache emptied before every round (cold: every distinct glyph is rasterised again) and with
// it filled (warm), and the same for 1,000 bytes of Korean text in code page 949 (500
// syllables). No reference runs beside them: nothing else here measures the same thing, so
// there is no ratio line.
#include <benchmark/benchmark.h>
#include <string>

#include "platform/gdi/bitmap.h"
#include "platform/kernel/codepage.h"
#include "platform/gdi/dc.h"
#include "platform/text/font.h"
#include "platform/text/glyph_cache.h"
#include "platform/text/text.h"
#include "platform/text/text_setup.h"

namespace {

constexpr int kLineBytes = 1000;
constexpr int32_t kSurfaceWidth = 8192, kSurfaceHeight = 32;

enum class Cache { cold, warm };

struct Line {
    plat::DcHandle dc;
    plat::GdiObject bitmap, font;
    std::string text;

    Line(const char* face, const std::string& sample)
    {
        plat::text_setup();
        plat::dc_reset();
        dc = plat::create_compatible_dc(plat::DcHandle{});
        bitmap = plat::bitmap_create(kSurfaceWidth, kSurfaceHeight, 32, false);
        plat::select_object(dc, bitmap);
        font = plat::create_font(-16, 0, 0, 0, 0, 0, 0, 0, plat::DEFAULT_CHARSET, 0, 0, 0, 0, face);
        plat::select_object(dc, font);
        plat::set_bk_mode(dc, plat::TRANSPARENT);
        while (text.size() < size_t(kLineBytes))
            text += sample;
        text.resize(kLineBytes);
    }
    ~Line() { plat::dc_reset(); }
};

std::string latin_sample() { return "The quick brown fox jumps over the lazy dog, 0123456789! "; }

std::string korean_sample()
{
    plat::set_active_code_page(plat::CP_KOREAN);
    return plat::utf8_to_code_page(plat::CP_KOREAN, "다람쥐 헌 쳇바퀴에 타고파 한글 텍스트 ");
}

void measure(benchmark::State& state, Line& line, Cache cache)
{
    plat::Size size;
    for (auto _ : state) {
        if (cache == Cache::cold)
            plat::glyph_cache_clear();
        plat::get_text_extent_point32(line.dc, line.text.data(), kLineBytes, size);
        benchmark::DoNotOptimize(size);
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kLineBytes);
    state.counters["width"] = double(size.cx);
}

void draw(benchmark::State& state, Line& line, Cache cache)
{
    for (auto _ : state) {
        if (cache == Cache::cold)
            plat::glyph_cache_clear();
        plat::text_out(line.dc, 0, 4, line.text.data(), kLineBytes);
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kLineBytes);
}

void BM_MeasureLatinCold(benchmark::State& state)
{
    Line line("Arial", latin_sample());
    measure(state, line, Cache::cold);
}
BENCHMARK(BM_MeasureLatinCold);

void BM_MeasureLatinWarm(benchmark::State& state)
{
    Line line("Arial", latin_sample());
    measure(state, line, Cache::warm);
}
BENCHMARK(BM_MeasureLatinWarm);

void BM_DrawLatinCold(benchmark::State& state)
{
    Line line("Arial", latin_sample());
    draw(state, line, Cache::cold);
}
BENCHMARK(BM_DrawLatinCold);

void BM_DrawLatinWarm(benchmark::State& state)
{
    Line line("Arial", latin_sample());
    draw(state, line, Cache::warm);
}
BENCHMARK(BM_DrawLatinWarm);

void BM_MeasureKoreanCold(benchmark::State& state)
{
    Line line("Gulim", korean_sample());
    measure(state, line, Cache::cold);
    plat::codepage_reset();
}
BENCHMARK(BM_MeasureKoreanCold);

void BM_MeasureKoreanWarm(benchmark::State& state)
{
    Line line("Gulim", korean_sample());
    measure(state, line, Cache::warm);
    plat::codepage_reset();
}
BENCHMARK(BM_MeasureKoreanWarm);

void BM_DrawKoreanCold(benchmark::State& state)
{
    Line line("Gulim", korean_sample());
    draw(state, line, Cache::cold);
    plat::codepage_reset();
}
BENCHMARK(BM_DrawKoreanCold);

void BM_DrawKoreanWarm(benchmark::State& state)
{
    Line line("Gulim", korean_sample());
    draw(state, line, Cache::warm);
    plat::codepage_reset();
}
BENCHMARK(BM_DrawKoreanWarm);

} // namespace

BENCHMARK_MAIN();
