// Opening and closing a piece of 20,000 icons whose 10,000 Displays link by name into a library
// of 10,000 icons (every link checked against its library icon's recorded name), against
// reading both files whole and inflating every record through the record store. The goal is an
// open that costs at most twice the plain reading. Both files are written into /tmp at start-up
// by the piece maker's library and removed at the end. The last line is "ratio: X", open over
// raw.
#include "bench/bench_ratio.h"
#include "platform/kernel/resource.h"
#include "runtime/files/file.h"
#include "runtime/files/fspec_func.h"
#include "runtime/nodes/node_files.h"
#include "runtime/pieces/lib.h"
#include "runtime/pieces/piece.h"
#include "runtime/pieces/pieces.h"
#include "runtime/store/fhdr.h"
#include "runtime/store/rec_store.h"
#include "tools/piecemaker/pm_build.h"
#include "tools/piecemaker/pm_desc.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int kMaps = 100;
constexpr int kPerMap = 100; // each piece map: 100 Displays (50 links) and 100 Calcs
constexpr int kLibraryFirstNode = 100;
constexpr int kRawSlot = 10;

const uint8_t kFormatData[4] = { 22, 0, 0, 0 };
const plat::ResourceEntry kFormatEntries[] = { { 260, nullptr, 1, nullptr, 0, 4 } };
const plat::ResourceModuleTable kFormatTable
    = { "bench_piece", plat::ResourceModuleKind::program, kFormatEntries, 1, kFormatData, 4 };

std::string s_folder;

std::string library_description()
{
    std::string text = "kind PLIB\nicon map \"Lib\" node 1\nicon map \"Top\" {\n";
    for (int n = 0; n < kMaps * kPerMap; n++)
        text += " icon display node " + std::to_string(kLibraryFirstNode + n) + " link-name \"Name "
            + std::to_string(n) + "\"\n";
    return text + "}\n";
}

// Every Display links; half of them name an icon that moved, found by its name.
std::string piece_description()
{
    std::string text = "kind PCRS\nlibrary \"" + s_folder + "/lib.v5e\"\nicon map \"Course\" {\n attr 0x2010410 1\n";
    for (int m = 0, n = 0; m < kMaps; m++) {
        text += " icon map \"M" + std::to_string(m) + "\" {\n";
        for (int d = 0; d < kPerMap; d++, n++) {
            int node = kLibraryFirstNode + (n % 2 ? n : (n + 1) % (kMaps * kPerMap));
            text += "  icon display link 1 " + std::to_string(node) + " \"Name " + std::to_string(n) + "\"\n";
            text += "  icon calc\n";
        }
        text += " }\n";
    }
    return text + "}\n";
}

bool write_file(const std::string& name, const std::string& description)
{
    PieceDescription piece;
    std::string error;
    std::vector<uint8_t> bytes;
    if (!pm_parse(description, s_folder, piece, error) || !pm_make(piece, bytes, error)) {
        std::fprintf(stderr, "%s: %s\n", name.c_str(), error.c_str());
        return false;
    }
    std::ofstream(s_folder + "/" + name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return true;
}

FileSpec* spec_of(const std::string& name)
{
    FileSpec* made = nullptr;
    fspec_from_path(("C:" + s_folder + "/" + name).c_str(), &made);
    return made;
}

int open_and_close()
{
    FileSpec* file_spec = spec_of("course.v5r");
    int result = piece_open(file_spec, nullptr, 0);
    LibInfo info;
    int resolved = result == 0 && lib_info(1, &info) ? info.resolved : -1;
    piece_close(0);
    fspec_free(file_spec);
    return resolved;
}

// The reference: both files opened, every record loaded (read and inflated) and dropped.
uint64_t read_raw(const char* name)
{
    FileSpec* file_spec = spec_of(name);
    uint64_t bytes = 0;
    if (rec_open_file(file_spec, kRawSlot, 0, fhdr_check, kKindAny, kRecRefuseEmpty) == 0) {
        int32_t count = rec_file_record_count(kRawSlot);
        for (int32_t n = 1; n <= count + 1; n++) {
            RecordId id = rec_make_id(kRawSlot, uint32_t(n));
            if (rec_get(id)) {
                bytes += rec_size(id, kSizeUnpacked);
                rec_release(id, kReleaseOne);
            }
        }
        rec_close_file(kRawSlot);
    }
    fspec_free(file_spec);
    return bytes;
}

void BM_OpenPiece(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(open_and_close());
}
BENCHMARK(BM_OpenPiece)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_ReadRaw(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(read_raw("course.v5r") + read_raw("lib.v5e"));
}
BENCHMARK(BM_ReadRaw)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace

int main(int argc, char** argv)
{
    if (!bench_start(&argc, argv))
        return 1;
    char folder[] = "/tmp/storvel_piece_bench_XXXXXX";
    if (!mkdtemp(folder))
        return 1;
    s_folder = folder;
    plat::register_resource_module(kFormatTable);
    mem_note_physical();
    bool ready = file_init() == 1 && rec_init() == 1 && node_files_init() == 1 && pieces_init() == 1
        && lib_list_init() == 1 && write_file("lib.v5e", library_description())
        && write_file("course.v5r", piece_description());
    int resolved = ready ? open_and_close() : -1;
    int result = 1;
    if (resolved == kMaps * kPerMap) {
        BenchTimes times = bench_run_timed(BenchKeep::fastest);
        result = bench_print_ratio(times, "BM_OpenPiece", "BM_ReadRaw");
    } else {
        std::fprintf(stderr, "the piece could not be made or opened (%d links resolved)\n", resolved);
    }
    pieces_term();
    node_files_free();
    rec_close_all();
    file_term();
    std::filesystem::remove_all(s_folder);
    return result;
}
