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
#include <string_view>
#include <unordered_map>
#include <vector>

#include "bench/bench_ratio.h"
#include "runtime/base/hash.h"
#include "runtime/base/recarr.h"
#include "runtime/base/symdict.h"

namespace {

constexpr uint32_t kItems = 100000;
// Each benchmark runs this often and keeps its fastest run: other work on the machine only
// ever slows a run down, so the minimum is the steadiest figure for a ratio.
constexpr int kRepetitions = 5;
// Enough that the branch predictors cannot learn the outcomes of the searches: with 4,096 the
// reference's branching binary search ran anywhere from 17 to 62 ns, depending on where its
// loop happened to be placed in the binary; from 65,536 on it takes the same time wherever.
constexpr size_t kProbes = 65536;
constexpr size_t kLookups = 65536; // per round of the look-up benchmarks, for the same reason

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

// Which of the names to look up, in shuffled orders, as scripts mention them: looking them up
// in the order they went in would walk both stores' memory front to back. Each name comes up
// equally often, in a sequence of kLookups, each round shuffled anew: the branch predictors
// would learn the outcomes of one short order repeated, and favour whichever side branches
// more. Indices rather than copies of the names, so that the keys stay as few and as cached as
// the names are.
const std::vector<uint32_t>& lookup_order(size_t count)
{
    static std::map<size_t, std::vector<uint32_t>> cache;
    std::vector<uint32_t>& out = cache[count];
    std::mt19937 random(7);
    std::vector<uint32_t> round(count);
    while (out.size() < kLookups) {
        for (uint32_t i = 0; i < count; i++)
            round[i] = i;
        std::shuffle(round.begin(), round.end(), random);
        out.insert(out.end(), round.begin(), round.end());
    }
    return out;
}

constexpr size_t kFunctionNames = 328;
constexpr size_t kSymbolNames = 5000;

// Both sides get each key as the runtime has it, a NUL-terminated text, and measure it if they
// need its length: the map through a string_view (heterogeneous look-up, no copy), the
// HashTable and the SymbolDict inside. Handing the map a std::string with its length already
// known would give it for free what the other side must count.
struct TextHash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
};
template <typename Value>
using TextMap = std::unordered_map<std::string, Value, TextHash, std::equal_to<>>;

// The names a HashTable's values number from 1; a key is compared with the whole name.
int match_function(const char* key, uint16_t value, void* user)
{
    const auto& names = *static_cast<const std::vector<std::string>*>(user);
    return std::strcmp(names[value - 1].c_str(), key) == 0;
}

// match_function's user: it only reads the names.
void* names_user(const std::vector<std::string>& names) { return const_cast<std::vector<std::string>*>(&names); }

// The reference for a container numbering count names from 1: the same look-ups in a map
// holding the same values.
template <typename Value>
void unordered_map_find(benchmark::State& state, size_t count)
{
    const std::vector<std::string>& list = names(count);
    TextMap<Value> map;
    for (size_t i = 0; i < list.size(); i++)
        map.emplace(list[i], Value(i + 1));
    uint64_t sum = 0;
    const std::vector<uint32_t>& order = lookup_order(list.size());
    for (auto _ : state) {
        for (uint32_t index : order) {
            auto found = map.find(std::string_view(list[index].c_str()));
            sum += found != map.end() ? found->second : 0;
        }
    }
    benchmark::DoNotOptimize(sum);
}

void BM_HashTableFind(benchmark::State& state)
{
    const std::vector<std::string>& list = names(kFunctionNames);
    HashTable table;
    hash_create(table, uint32_t(list.size()));
    for (size_t i = 0; i < list.size(); i++)
        hash_insert(table, list[i].c_str(), uint16_t(i + 1));
    uint64_t sum = 0;
    const std::vector<uint32_t>& order = lookup_order(list.size());
    for (auto _ : state) {
        for (uint32_t index : order)
            sum += hash_find(table, list[index].c_str(), match_function, names_user(list));
    }
    benchmark::DoNotOptimize(sum);
    hash_free(table);
}
BENCHMARK(BM_HashTableFind)->Repetitions(kRepetitions);

void BM_UnorderedMapFindFunctions(benchmark::State& state)
{
    unordered_map_find<uint16_t>(state, kFunctionNames);
}
BENCHMARK(BM_UnorderedMapFindFunctions)->Repetitions(kRepetitions);

void BM_SymbolDictFind(benchmark::State& state)
{
    const std::vector<std::string>& list = names(kSymbolNames);
    symdict_create();
    for (const std::string& name : list)
        symdict_intern(name.c_str(), 0);
    uint64_t sum = 0;
    const std::vector<uint32_t>& order = lookup_order(list.size());
    for (auto _ : state) {
        for (uint32_t index : order)
            sum += symdict_find(list[index].c_str());
    }
    benchmark::DoNotOptimize(sum);
    symdict_release();
}
BENCHMARK(BM_SymbolDictFind)->Repetitions(kRepetitions);

void BM_UnorderedMapFindSymbols(benchmark::State& state)
{
    unordered_map_find<uint32_t>(state, kSymbolNames);
}
BENCHMARK(BM_UnorderedMapFindSymbols)->Repetitions(kRepetitions);

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
    for (size_t i = 0; i < functions.size(); i++)
        same = same && hash_find(table, functions[i].c_str(), match_function, names_user(functions)) == i + 1;
    same = same && hash_find(table, "NoSuchName", match_function, names_user(functions)) == 0;
    hash_free(table);
    symdict_create();
    const std::vector<std::string>& list = names(kSymbolNames);
    for (const std::string& name : list)
        symdict_intern(name.c_str(), 0);
    for (size_t i = 0; i < list.size(); i++)
        same = same && symdict_find(list[i].c_str()) == i + 1;
    same = same && symdict_find("NoSuchName") == 0;
    symdict_release();
    return same;
}

const BenchPair kPairs[] = {
    {"binary search", "BM_RecordArraySearch", "BM_VectorSearch"},
    {"sorted insert", "BM_RecordArrayInsert", "BM_VectorInsert"},
    {"hash table find", "BM_HashTableFind", "BM_UnorderedMapFindFunctions"},
    {"symbol dictionary find", "BM_SymbolDictFind", "BM_UnorderedMapFindSymbols"},
};

} // namespace

int main(int argc, char** argv)
{
    if (!bench_start(&argc, argv))
        return 1;
    if (!results_agree()) {
        std::fprintf(stderr, "the containers and the references find different things\n");
        return 1;
    }
    BenchTimes times = bench_run_timed(BenchKeep::fastest);
    return bench_print_worst_ratio(times, kPairs);
}
