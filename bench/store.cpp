// Loading every record of a 50 MB packaged piece of zlib-packed records through the record
// store (open, directory, read, unpack, cache, LRU), against reading the same file and
// inflating the same records with zlib directly; and the look-up of a record already cached.
// The piece is written into /tmp at start-up and removed at the end. The last line is
// "ratio: X", the store's time over zlib's.
#include "bench/bench_ratio.h"
#include "platform/kernel/byte_io.h"
#include "platform/kernel/resource.h"
#include "runtime/store/fhdr.h"
#include "runtime/files/file.h"
#include "runtime/files/fspec_func.h"
#include "runtime/store/rec_store.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>
#include <zlib.h>

namespace {

constexpr size_t kPackedTotal = 50u << 20;
constexpr size_t kRecordSize = 32u << 10; // unpacked
constexpr int kRecordType = 2;
constexpr uint8_t kPackedZlibNative = 0x03;

const uint8_t kFormatData[4] = { 22, 0, 0, 0 };
const plat::ResourceEntry kFormatEntries[] = { { 260, nullptr, 1, nullptr, 0, 4 } };
const plat::ResourceModuleTable kFormatTable
    = { "bench_store", plat::ResourceModuleKind::program, kFormatEntries, 1, kFormatData, 4 };

struct Piece {
    std::string host_path;
    std::string path; // as the runtime names it
    // From the directory: offset, stored and unpacked size of each record.
    struct Entry {
        uint32_t offset, stored, unpacked;
    };
    std::vector<Entry> entries;
};

Piece s_piece;

// Text-like bytes that pack about three to one, as the texts and tag lists of pieces do.
std::vector<uint8_t> record_bytes(uint32_t seed)
{
    static const char* const kWords[] = { "display ", "icon ", "the ", "learner ", "answer ",
        "wait ", "frame ", "calc ", "erase ", "sound ", "movie ", "motion ", "decision ",
        "interaction ", "map ", "framework ", "navigate ", "press ", "any ", "key " };
    std::vector<uint8_t> out;
    out.reserve(kRecordSize);
    uint32_t state = seed * 2654435761u + 1;
    while (out.size() < kRecordSize) {
        state = state * 1664525u + 1013904223u;
        const char* word = kWords[(state >> 16) % 20];
        out.insert(out.end(), word, word + std::char_traits<char>::length(word));
        if ((state & 0xFF) < 24) // numbers now and then, as in layout blocks
            for (int n = 0; n < 6; n++)
                out.push_back(uint8_t(state >> (n * 4)));
    }
    out.resize(kRecordSize);
    return out;
}

// The packaged layout: kind header, header at 32, directory at 106, the records.
std::vector<uint8_t> file_front(uint32_t count, uint32_t end, const std::vector<Piece::Entry>& e)
{
    std::vector<uint8_t> out;
    plat::ByteWriter w(out);
    uint32_t magic = kKindPiece;
    w.u32le(magic);
    w.u32le(~magic);
    w.u32le(22);
    w.u32le(uint32_t(kKindVersion));
    out.resize(32);
    uint32_t directory_size = (count + 1) * 10;
    uint32_t data_length = end - directory_size - 32 - 74;
    for (uint32_t value : { 5u, end, data_length, directory_size, count, 106u, 0u, data_length })
        w.u32le(value);
    out.resize(out.size() + 22);
    w.u16le(0x0002); // packaged
    w.u8(1); // native order
    out.resize(106);
    for (const Piece::Entry& entry : e) {
        w.u32le(entry.offset);
        w.u32le(entry.unpacked);
        w.u8(kRecordType);
        w.u8(kPackedZlibNative);
    }
    w.u32le(end); // the sentinel
    out.resize(out.size() + 6);
    return out;
}

// Packs records until 50 MB of packed bytes are there and writes the piece.
bool make_piece()
{
    char name[] = "/tmp/storvel_store_bench_XXXXXX";
    int fd = mkstemp(name);
    if (fd < 0)
        return false;
    s_piece.host_path = name;
    s_piece.path = std::string("C:") + name;
    std::vector<std::vector<uint8_t>> packed;
    size_t total = 0;
    for (uint32_t n = 0; total < kPackedTotal; n++) {
        std::vector<uint8_t> bytes = record_bytes(n);
        uLongf size = compressBound(uLong(bytes.size()));
        std::vector<uint8_t> out(size);
        if (compress2(out.data(), &size, bytes.data(), uLong(bytes.size()), Z_BEST_SPEED) != Z_OK)
            return false;
        out.resize(size);
        total += size;
        packed.push_back(std::move(out));
    }
    uint32_t count = uint32_t(packed.size());
    uint32_t offset = 106 + (count + 1) * 10;
    for (const std::vector<uint8_t>& record : packed) {
        s_piece.entries.push_back({ offset, uint32_t(record.size()), uint32_t(kRecordSize) });
        offset += uint32_t(record.size());
    }
    std::vector<uint8_t> front = file_front(count, offset, s_piece.entries);
    bool written = write(fd, front.data(), front.size()) == ssize_t(front.size());
    for (const std::vector<uint8_t>& record : packed)
        written = written && write(fd, record.data(), record.size()) == ssize_t(record.size());
    close(fd);
    return written;
}

// Every record loaded through the store; the sum of their Adler-32 checks.
uint32_t store_load_all(FileSpec* file_path)
{
    if (rec_open_file(file_path, 1, 0, fhdr_check, kKindPiece, kRecRefuseEmpty) != 0)
        return 0;
    uint32_t sum = 0;
    for (uint32_t number = 1; number <= s_piece.entries.size(); number++) {
        RecordId id = rec_make_id(1, number);
        MemHandle block = rec_get(id);
        if (!block)
            break;
        sum += uint32_t(adler32(1, static_cast<const Bytef*>(mem_address(block)), kRecordSize));
        rec_release(id, kReleaseOne);
    }
    rec_close_file(1);
    return sum;
}

// The same records read and inflated with zlib directly.
uint32_t zlib_load_all()
{
    int fd = open(s_piece.host_path.c_str(), O_RDONLY);
    if (fd < 0)
        return 0;
    uint32_t sum = 0;
    std::vector<uint8_t> stored;
    for (const Piece::Entry& entry : s_piece.entries) {
        stored.resize(entry.stored);
        if (pread(fd, stored.data(), entry.stored, entry.offset) != ssize_t(entry.stored))
            break;
        std::unique_ptr<uint8_t[]> unpacked(new uint8_t[entry.unpacked]);
        uLongf size = entry.unpacked;
        if (uncompress(unpacked.get(), &size, stored.data(), entry.stored) != Z_OK)
            break;
        sum += uint32_t(adler32(1, unpacked.get(), uInt(size)));
    }
    close(fd);
    return sum;
}

FileSpec* piece_spec()
{
    static FileSpec* file_path = [] {
        FileSpec* made = nullptr;
        fspec_from_path(s_piece.path.c_str(), &made);
        return made;
    }();
    return file_path;
}

void BM_StoreLoadAll(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(store_load_all(piece_spec()));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kPackedTotal));
}
BENCHMARK(BM_StoreLoadAll)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_ZlibLoadAll(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(zlib_load_all());
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kPackedTotal));
}
BENCHMARK(BM_ZlibLoadAll)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_CachedLookup(benchmark::State& state)
{
    if (rec_open_file(piece_spec(), 1, 0, fhdr_check, kKindPiece, kRecRefuseEmpty) != 0) {
        state.SkipWithError("the piece does not open");
        return;
    }
    RecordId id = rec_make_id(1, 7);
    rec_get(id);
    rec_release(id, kReleaseOne);
    for (auto _ : state) {
        benchmark::DoNotOptimize(rec_get(id));
        rec_release(id, kReleaseOne);
    }
    rec_close_file(1);
}
BENCHMARK(BM_CachedLookup);

} // namespace

int main(int argc, char** argv)
{
    if (!bench_start(&argc, argv))
        return 1;
    plat::register_resource_module(kFormatTable);
    mem_note_physical();
    if (file_init() != 1 || rec_init() != 1 || !make_piece()) {
        std::fprintf(stderr, "the piece could not be made\n");
        return 1;
    }
    // Both sides must read the same records, or the comparison means nothing.
    uint32_t store_sum = store_load_all(piece_spec());
    if (store_sum == 0 || store_sum != zlib_load_all()) {
        std::fprintf(stderr, "the store and zlib read the records differently\n");
        unlink(s_piece.host_path.c_str());
        return 1;
    }
    BenchTimes times = bench_run_timed(BenchKeep::last);
    rec_close_all();
    fspec_free(piece_spec());
    file_term();
    unlink(s_piece.host_path.c_str());
    return bench_print_ratio(times, "BM_StoreLoadAll", "BM_ZlibLoadAll");
}
