// The kernel step machine: exec_step walks a piece of 32,251 icons (250 Maps of 128 Calc icons
// without calculations under the top icon; a file holds at most 32,767 nodes) from the top
// icon's entry to the piece's end, trace off, against a bare recursive walk of the same tree
// through the node store (node_first_child, node_next, node_kind). Each icon costs the kernel
// three steps (entry, run, done), so the goal is a walk of at most three times the bare one.
// The piece and its records are written into /tmp at start-up and removed at the end. Prints
// the steps per second and, last, "ratio: X", the kernel's time over the bare walk's.
#include "bench/bench_ratio.h"
#include "runtime/engine/engine.h"
#include "runtime/engine/exec_trace.h"
#include "runtime/engine/kernel.h"
#include "runtime/files/file.h"
#include "runtime/files/fspec_func.h"
#include "runtime/files/fspec_mgr.h"
#include "runtime/files/sched.h"
#include "runtime/nodes/node_files.h"
#include "runtime/nodes/node_tree.h"
#include "runtime/pieces/lib.h"
#include "runtime/pieces/piece.h"
#include "runtime/pieces/piece_current.h"
#include "runtime/pieces/pieces.h"
#include "runtime/store/rec_store.h"
#include "tools/piecemaker/pm_build.h"
#include "tools/piecemaker/pm_desc.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

constexpr int kMaps = 250;
constexpr int kCalcsPerMap = 128;

std::string s_folder;

std::string description()
{
    std::string text = "kind PCRS\nnode-storage raw\nicon map \"Top\" {\n";
    for (int m = 0; m < kMaps; m++) {
        text += " icon map {\n";
        for (int c = 0; c < kCalcsPerMap; c++)
            text += "  icon calc\n";
        text += " }\n";
    }
    return text + "}\n";
}

bool write_piece()
{
    char folder[] = "/tmp/storvel_kernel_bench_XXXXXX";
    if (!mkdtemp(folder))
        return false;
    s_folder = folder;
    PieceDescription piece;
    std::string error;
    std::vector<uint8_t> bytes;
    if (!pm_parse(description(), ".", piece, error) || !pm_make(piece, bytes, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return false;
    }
    std::ofstream(s_folder + "/kernel.v5r", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return true;
}

FileSpec* spec_of(const std::string& name)
{
    FileSpec* made = nullptr;
    fspec_from_path(("C:" + s_folder + "/" + name).c_str(), &made);
    return made;
}

// From the top icon's entry to the end: the steps taken.
uint64_t kernel_walk()
{
    exec_set_current(piece_top_icon(), kStateEnter);
    uint64_t steps = 1;
    while (exec_step() == 0)
        steps++;
    return steps;
}

uint64_t bare_walk(IconId icon)
{
    uint64_t count = 1 + uint64_t(node_kind(icon) == kKindCalc);
    for (IconId child = node_first_child(icon); child; child = node_next(child))
        count += bare_walk(child);
    return count;
}

void BM_KernelWalk(benchmark::State& state)
{
    uint64_t steps = 0;
    for (auto _ : state)
        steps += kernel_walk();
    state.SetItemsProcessed(int64_t(steps));
}
BENCHMARK(BM_KernelWalk)->Unit(benchmark::kMillisecond)->MinTime(1.0);

void BM_BareWalk(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(bare_walk(piece_top_icon()));
}
BENCHMARK(BM_BareWalk)->Unit(benchmark::kMillisecond)->MinTime(1.0);

bool open_piece()
{
    FileSpec* piece = spec_of("kernel.v5r");
    FileSpec* records = spec_of("kernel.rec");
    bool opened = piece && records && piece_open(piece, records, 0) == 0;
    fspec_free(piece);
    fspec_free(records);
    // Three steps per icon, and the piece ends.
    return opened && kernel_walk() == 3ull * (1 + kMaps + kMaps * kCalcsPerMap) && exec_piece_ended();
}

} // namespace

int main(int argc, char** argv)
{
    if (!bench_start(&argc, argv))
        return 1;
    exec_trace_set(0);
    bool ready = fspec_manager_create() && file_init() == 1 && rec_init() == 1 && node_files_init() == 1
        && pieces_init() == 1 && lib_list_init() == 1 && sched_init() == 1 && engine_init() == 1 && write_piece()
        && open_piece();
    int result = 1;
    if (ready) {
        BenchTimes times = bench_run_timed(BenchKeep::last);
        auto kernel = times.find("BM_KernelWalk");
        if (kernel != times.end())
            bench_print("steps per second", 3.0 * (1 + kMaps + kMaps * kCalcsPerMap) / (kernel->second / 1e3));
        result = bench_print_ratio(times, "BM_KernelWalk", "BM_BareWalk");
    } else {
        std::fprintf(stderr, "the piece could not be made, opened or walked\n");
    }
    piece_close(0);
    engine_term();
    node_files_free();
    rec_close_all();
    file_term();
    if (!s_folder.empty())
        std::filesystem::remove_all(s_folder);
    return result;
}
