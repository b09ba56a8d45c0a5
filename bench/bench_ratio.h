// Running a benchmark binary that ends with its `ratio: X` line (our time over the reference's,
// measured in the same run). A header because every bench/NAME.cpp becomes a target of its own.
#pragma once

#include <benchmark/benchmark.h>
#include <cstdio>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

// Time per iteration by benchmark function name.
using BenchTimes = std::map<std::string, double>;

// Which time a benchmark run more than once (repetitions) keeps.
enum class BenchKeep { last, fastest };

// Prints as usual and keeps each benchmark's time per iteration for the ratio.
class BenchTimeReporter : public benchmark::ConsoleReporter {
public:
    // Colour only on a terminal: piped output must end in a clean `ratio: X` line.
    explicit BenchTimeReporter(BenchKeep keep)
        : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_Defaults : OO_Tabular)
        , keep_(keep)
    {
    }

    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred)
                continue;
            auto known = times.find(run.run_name.function_name);
            double time = run.GetAdjustedRealTime();
            if (keep_ == BenchKeep::last || known == times.end() || time < known->second)
                times[run.run_name.function_name] = time;
        }
        ConsoleReporter::ReportRuns(runs);
    }

    BenchTimes times;

private:
    BenchKeep keep_;
};

// Reads the benchmark flags; false if the command line holds anything else.
inline bool bench_start(int* argc, char** argv)
{
    benchmark::Initialize(argc, argv);
    return !benchmark::ReportUnrecognizedArguments(*argc, argv);
}

// Runs the benchmarks the command line selects, printing as usual, and shuts the library down.
inline BenchTimes bench_run_timed(BenchKeep keep)
{
    BenchTimeReporter reporter(keep);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return reporter.times;
}

// Ours over the reference; false if either did not run (filtered out, or failed).
inline bool bench_ratio(
    const BenchTimes& times, const char* ours, const char* reference, double& ratio)
{
    auto our_time = times.find(ours);
    auto reference_time = times.find(reference);
    if (our_time == times.end() || reference_time == times.end())
        return false;
    ratio = our_time->second / reference_time->second;
    return true;
}

// One `label: X` line, flushed in order after the reporter's table.
inline void bench_print(const char* label, double ratio)
{
    std::fflush(stdout);
    std::printf("%s: %.3f\n", label, ratio);
}

// One comparison of a benchmark run with its reference, printed as `label: X`.
struct BenchPair {
    const char* label;
    const char* ours;
    const char* reference;
};

// Prints each pair's ratio, then the worst as the closing `ratio: X` line; returns main's exit
// code (1 if any side did not run).
template <size_t N>
int bench_print_worst_ratio(const BenchTimes& times, const BenchPair (&pairs)[N])
{
    double worst = 0;
    for (const BenchPair& pair : pairs) {
        double ratio = 0;
        if (!bench_ratio(times, pair.ours, pair.reference, ratio))
            return 1;
        bench_print(pair.label, ratio);
        worst = ratio > worst ? ratio : worst;
    }
    bench_print("ratio", worst);
    return 0;
}

// Prints the closing `ratio: X` line; returns main's exit code (1 if either side did not run).
inline int bench_print_ratio(const BenchTimes& times, const char* ours, const char* reference)
{
    double ratio = 0;
    if (!bench_ratio(times, ours, reference, ratio))
        return 1;
    bench_print("ratio", ratio);
    return 0;
}
