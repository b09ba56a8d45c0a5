// Converting a long CP949 text to UTF-16: the code page tables against glibc's iconv in the same
// run. The last line is "ratio: X", the tables' time over iconv's.
#include "bench/bench_ratio.h"
#include "platform/kernel/codepage.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <iconv.h>
#include <string>

// About 400 KB: every Hangul syllable, with ASCII words and line ends between them, as lesson
// and story files mix them.
static const std::string& korean_text()
{
    static const std::string text = [] {
        std::u16string wide;
        for (char16_t u = 0xAC00; u <= 0xD7A3; ++u) {
            wide += u;
            if (u % 8 == 0)
                wide += u" text ";
            if (u % 64 == 0)
                wide += u"\r\n";
        }
        std::u16string repeated;
        for (int i = 0; i < 12; ++i)
            repeated += wide;
        return plat::wide_to_multi_byte(plat::CP_KOREAN, repeated);
    }();
    return text;
}

// The text through iconv; empty when iconv fails.
static std::u16string iconv_to_utf16(iconv_t cd, const std::string& text)
{
    std::u16string out(text.size(), u'\0');
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(text.data());
    size_t in_left = text.size();
    char* write = reinterpret_cast<char*>(out.data());
    size_t out_left = out.size() * 2;
    if (iconv(cd, &in, &in_left, &write, &out_left) == size_t(-1))
        return {};
    out.resize(out.size() - out_left / 2);
    return out;
}

static void BM_TablesToUtf16(benchmark::State& state)
{
    const std::string& text = korean_text();
    for (auto _ : state) {
        std::u16string wide = plat::multi_byte_to_wide(plat::CP_KOREAN, text);
        benchmark::DoNotOptimize(wide.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
BENCHMARK(BM_TablesToUtf16);

static void BM_IconvToUtf16(benchmark::State& state)
{
    const std::string& text = korean_text();
    iconv_t cd = iconv_open("UTF-16LE", "CP949");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        state.SkipWithError("no CP949 converter");
        return;
    }
    for (auto _ : state) {
        std::u16string wide = iconv_to_utf16(cd, text);
        benchmark::DoNotOptimize(wide.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
    iconv_close(cd);
}
BENCHMARK(BM_IconvToUtf16);

// Both sides must produce the same text, or the comparison means nothing.
static bool outputs_agree()
{
    iconv_t cd = iconv_open("UTF-16LE", "CP949");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    const std::string& text = korean_text();
    bool same = iconv_to_utf16(cd, text) == plat::multi_byte_to_wide(plat::CP_KOREAN, text);
    iconv_close(cd);
    return same;
}

int main(int argc, char** argv)
{
    if (!bench_start(&argc, argv))
        return 1;
    if (!outputs_agree()) {
        std::fprintf(stderr, "the tables and iconv convert the text differently\n");
        return 1;
    }
    BenchTimes times = bench_run_timed(BenchKeep::last);
    return bench_print_ratio(times, "BM_TablesToUtf16", "BM_IconvToUtf16");
}
