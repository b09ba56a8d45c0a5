// The wildcard matcher of the string functions on a text of 30,000 characters: a pattern of
// 40 stars that almost matches (every star tries every position; remembered results keep it
// linear per star) and a Find-style scan that tries each start with one matcher. Nothing
// else measures the same thing, so there is no ratio line.
#include <benchmark/benchmark.h>
#include <string>

#include "runtime/calc/judge_text.h"

namespace {

constexpr size_t kTextLength = 30000;

std::string many_stars()
{
    std::string pattern;
    for (int i = 0; i < 40; ++i)
        pattern += "*a";
    return pattern + "*b";
}

void BM_ManyStarsNoMatch(benchmark::State& state)
{
    std::string text(kTextLength, 'a');
    std::string pattern = many_stars();
    for (auto _ : state) {
        const char* m = judge_wildcard_match(text.c_str(), text.c_str() + text.size(), pattern.c_str(),
            kJudgeMatchCase, kJudgeKeepPunct, kJudgeLongestEnd);
        benchmark::DoNotOptimize(m);
    }
}
BENCHMARK(BM_ManyStarsNoMatch)->Unit(benchmark::kMillisecond);

void BM_FindEveryStart(benchmark::State& state)
{
    std::string text;
    while (text.size() < kTextLength)
        text += "the quick brown fox ";
    for (auto _ : state) {
        WildcardMatcher matcher(text.c_str(), text.c_str() + text.size(), "q*k?x", kJudgeMatchCase, kJudgeKeepPunct,
            kJudgeFirstEnd);
        int found = 0;
        for (const char* p = text.c_str(); p < text.c_str() + text.size(); ++p)
            found += matcher.match_at(p) != nullptr;
        benchmark::DoNotOptimize(found);
    }
}
BENCHMARK(BM_FindEveryStart)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
