// The containers on their hot paths against the standard library in the same run: binary search
// and sorted insertion in a RecordArray of 100,000 items against std::vector with
// std::lower_bound, and HashTable and SymbolDict look-ups against std::unordered_map. Each pair
// prints its ratio (our time over the reference's); the last line is the worst, "ratio: X".
#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include "runtime/foundation/hash.h"
#include "runtime/foundation/recarr.h"
#include "runtime/foundation/symdict.h"

namespace {

constexpr uint32_t kItems = 100000;
// Each benchmark runs this often and keeps its fastest run: other work on the machine only
// ever slows a run down, so the minimum is the steadiest figure for a ratio.
constexpr int kRepetitions = 5;
constexpr size_t kProbes = 4096;

struct Item {
    uint32_t key;
    uint32_t value;
};

const KeyDescriptor kByKey = recarr_key(kKeyLong, 0);

// Even keys are stored; the probes ask for half present (even) and half absent (odd) keys.
const std::vector<uint32_t>& probe_keys()
{
    static const std::vector<uint32_t> keys = [] {
        std::mt19937 random(42);
        std::vector<uint32_t> out(kProbes);
        for (uint32_t& key : out)
            key = random() % (2 * kItems);
        return out;
    }();
    return keys;
}

void fill_array(RecordArray& array)
{
    recarr_init(array, sizeof(Item), nullptr);
    recarr_append_n(array, kItems, nullptr);
    recarr_lock(array);
    for (uint32_t n = 1; n <= kItems; n++)
        *static_cast<Item*>(recarr_item(array, n)) = Item{2 * (n - 1), n};
    recarr_unlock(array);
}

std::vector<Item> filled_vector()
{
    std::vector<Item> items(kItems);
    for (uint32_t i = 0; i < kItems; i++)
        items[i] = Item{2 * i, i + 1};
    return items;
}

bool by_key(const Item& item, uint32_t key) { return item.key < key; }

void BM_RecordArraySearch(benchmark::State& state)
{
    RecordArray array;
    fill_array(array);
    uint64_t found = 0;
    for (auto _ : state) {
        for (uint32_t key : probe_keys()) {
            Item probe{key, 0};
            found += recarr_bsearch(array, &probe, nullptr, kByKey);
        }
    }
    benchmark::DoNotOptimize(found);
    recarr_free(array);
}
BENCHMARK(BM_RecordArraySearch)->Repetitions(kRepetitions);

void BM_VectorSearch(benchmark::State& state)
{
    std::vector<Item> items = filled_vector();
    uint64_t found = 0;
    for (auto _ : state) {
        for (uint32_t key : probe_keys()) {
            auto at = std::lower_bound(items.begin(), items.end(), key, by_key);
            found += (at != items.end() && at->key == key) ? uint64_t(at - items.begin() + 1) : 0;
        }
    }
    benchmark::DoNotOptimize(found);
}
BENCHMARK(BM_VectorSearch)->Repetitions(kRepetitions);

// One odd key goes in at its sorted place and comes out again: the array stays 100,000 long.
void BM_RecordArrayInsert(benchmark::State& state)
{
    RecordArray array;
    fill_array(array);
    size_t next = 0;
    for (auto _ : state) {
        Item item{probe_keys()[next++ % kProbes] | 1, 0};
        benchmark::DoNotOptimize(recarr_binsert(array, &item, nullptr, kByKey));
        benchmark::DoNotOptimize(recarr_bremove(array, &item, kByKey));
    }
    recarr_free(array);
}
BENCHMARK(BM_RecordArrayInsert)->Repetitions(kRepetitions);

void BM_VectorInsert(benchmark::State& state)
{
    std::vector<Item> items = filled_vector();
    size_t next = 0;
    for (auto _ : state) {
        Item item{probe_keys()[next++ % kProbes] | 1, 0};
        auto at = std::lower_bound(items.begin(), items.end(), item.key, by_key);
        benchmark::DoNotOptimize(items.insert(at, item));
        at = std::lower_bound(items.begin(), items.end(), item.key, by_key);
        if (at != items.end() && at->key == item.key)
            items.erase(at);
    }
}
BENCHMARK(BM_VectorInsert)->Repetitions(kRepetitions);

// Names shaped like the calculation language's function and variable names.
const std::vector<std::string>& names(size_t count)
{
    static std::map<size_t, std::vector<std::string>> cache;
    std::vector<std::string>& out = cache[count];
    if (out.empty()) {
        static const char* const kParts[] = {"Get", "Set", "Icon", "Line", "Char", "Display", "Key", "Time",
                                             "Media", "Path", "List", "Count", "File", "Title", "Value"};
        for (size_t i = 0; out.size() < count; i++)
            out.push_back(std::string(kParts[i % 15]) + kParts[(i / 15) % 15] + std::to_string(i / 225));
    }
    return out;
}

// The same names in a shuffled order, as scripts mention them: looking them up in the order
// they went in would walk both stores' memory front to back.
const std::vector<std::string>& lookup_order(size_t count)
{
    static std::map<size_t, std::vector<std::string>> cache;
    std::vector<std::string>& out = cache[count];
    if (out.empty()) {
        out = names(count);
        std::shuffle(out.begin(), out.end(), std::mt19937(7));
    }
    return out;
}

constexpr size_t kFunctionNames = 328;
constexpr size_t kSymbolNames = 5000;

// The caller knows its key's length, as a std::string does.
struct FunctionLookup {
    const std::vector<std::string>* names;
    size_t key_length;
};

int match_function(const char* key, uint16_t value, void* user)
{
    const auto* lookup = static_cast<const FunctionLookup*>(user);
    const std::string& name = (*lookup->names)[value - 1];
    return name.size() == lookup->key_length && std::memcmp(name.data(), key, name.size()) == 0;
}

void BM_HashTableFind(benchmark::State& state)
{
    const std::vector<std::string>& list = names(kFunctionNames);
    HashTable table;
    hash_create(table, uint32_t(list.size()));
    for (size_t i = 0; i < list.size(); i++)
        hash_insert(table, list[i].c_str(), uint16_t(i + 1));
    uint64_t sum = 0;
    FunctionLookup lookup{&list, 0};
    const std::vector<std::string>& order = lookup_order(list.size());
    for (auto _ : state) {
        for (const std::string& name : order) {
            lookup.key_length = name.size();
            sum += hash_find(table, name.c_str(), match_function, &lookup);
        }
    }
    benchmark::DoNotOptimize(sum);
    hash_free(table);
}
BENCHMARK(BM_HashTableFind)->Repetitions(kRepetitions);

void BM_UnorderedMapFindFunctions(benchmark::State& state)
{
    const std::vector<std::string>& list = names(kFunctionNames);
    std::unordered_map<std::string, uint16_t> map;
    for (size_t i = 0; i < list.size(); i++)
        map.emplace(list[i], uint16_t(i + 1));
    uint64_t sum = 0;
    const std::vector<std::string>& order = lookup_order(list.size());
    for (auto _ : state) {
        for (const std::string& name : order) {
            auto found = map.find(name);
            sum += found != map.end() ? found->second : 0;
        }
    }
    benchmark::DoNotOptimize(sum);
}
BENCHMARK(BM_UnorderedMapFindFunctions)->Repetitions(kRepetitions);

void BM_SymbolDictFind(benchmark::State& state)
{
    const std::vector<std::string>& list = names(kSymbolNames);
    symdict_create();
    for (const std::string& name : list)
        symdict_intern(name.c_str(), 0);
    uint64_t sum = 0;
    const std::vector<std::string>& order = lookup_order(list.size());
    for (auto _ : state) {
        for (const std::string& name : order)
            sum += symdict_find(name.c_str());
    }
    benchmark::DoNotOptimize(sum);
    symdict_release();
}
BENCHMARK(BM_SymbolDictFind)->Repetitions(kRepetitions);

void BM_UnorderedMapFindSymbols(benchmark::State& state)
{
    const std::vector<std::string>& list = names(kSymbolNames);
    std::unordered_map<std::string, uint32_t> map;
    for (size_t i = 0; i < list.size(); i++)
        map.emplace(list[i], uint32_t(i + 1));
    uint64_t sum = 0;
    const std::vector<std::string>& order = lookup_order(list.size());
    for (auto _ : state) {
        for (const std::string& name : order) {
            auto found = map.find(name);
            sum += found != map.end() ? found->second : 0;
        }
    }
    benchmark::DoNotOptimize(sum);
}
BENCHMARK(BM_UnorderedMapFindSymbols)->Repetitions(kRepetitions);

// Prints as usual and keeps each benchmark's fastest time per iteration for the ratios.
class TimeReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred)
                continue;
            auto known = times.find(run.run_name.function_name);
            double time = run.GetAdjustedRealTime();
            if (known == times.end() || time < known->second)
                times[run.run_name.function_name] = time;
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> times;
};

// Both sides of each pair must find the same things, or the comparison means nothing.
bool results_agree()
{
    RecordArray array;
    fill_array(array);
    std::vector<Item> items = filled_vector();
    bool same = true;
    for (uint32_t key : probe_keys()) {
        Item probe{key, 0};
        auto at = std::lower_bound(items.begin(), items.end(), key, by_key);
        uint32_t expected = (at != items.end() && at->key == key) ? uint32_t(at - items.begin() + 1) : 0;
        same = same && recarr_bsearch(array, &probe, nullptr, kByKey) == expected;
    }
    recarr_free(array);
    const std::vector<std::string>& functions = names(kFunctionNames);
    HashTable table;
    hash_create(table, uint32_t(functions.size()));
    for (size_t i = 0; i < functions.size(); i++)
        hash_insert(table, functions[i].c_str(), uint16_t(i + 1));
    for (size_t i = 0; i < functions.size(); i++) {
        FunctionLookup lookup{&functions, functions[i].size()};
        same = same && hash_find(table, functions[i].c_str(), match_function, &lookup) == i + 1;
    }
    hash_free(table);
    symdict_create();
    const std::vector<std::string>& list = names(kSymbolNames);
    for (const std::string& name : list)
        symdict_intern(name.c_str(), 0);
    for (size_t i = 0; i < list.size(); i++)
        same = same && symdict_find(list[i].c_str()) == i + 1;
    symdict_release();
    return same;
}

struct Pair {
    const char* label;
    const char* ours;
    const char* reference;
};

const Pair kPairs[] = {
    {"binary search", "BM_RecordArraySearch", "BM_VectorSearch"},
    {"sorted insert", "BM_RecordArrayInsert", "BM_VectorInsert"},
    {"hash table find", "BM_HashTableFind", "BM_UnorderedMapFindFunctions"},
    {"symbol dictionary find", "BM_SymbolDictFind", "BM_UnorderedMapFindSymbols"},
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    if (!results_agree()) {
        std::fprintf(stderr, "the containers and the references find different things\n");
        return 1;
    }
    TimeReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    double worst = 0;
    std::fflush(stdout);
    for (const Pair& pair : kPairs) {
        auto ours = reporter.times.find(pair.ours);
        auto reference = reporter.times.find(pair.reference);
        if (ours == reporter.times.end() || reference == reporter.times.end())
            return 1;
        double ratio = ours->second / reference->second;
        std::printf("%s: %.3f\n", pair.label, ratio);
        worst = std::max(worst, ratio);
    }
    std::printf("ratio: %.3f\n", worst);
    return 0;
}
