// Walking the icon tree of a piece of 20,000 icons (200 Maps of 99 Displays under the top
// icon) through the node store, reading one attribute of each icon (the content record of its
// kind block), against loading the same node records (the header groups, zlib-packed as pieces
// store them) through the record store. The goal is a walk that adds less than the load. The
// piece is written into /tmp at start-up and removed at the end. The last line is "ratio: X",
// the walk's time over the load's.
#include "bench/bench_ratio.h"
#include "platform/kernel/byte_io.h"
#include "platform/kernel/resource.h"
#include "runtime/store/fhdr.h"
#include "runtime/files/file.h"
#include "runtime/files/fspec_func.h"
#include "runtime/nodes/node_attr.h"
#include "runtime/nodes/node_files.h"
#include "runtime/nodes/node_tree.h"
#include "runtime/store/rec_store.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>
#include <zlib.h>

namespace {

constexpr uint32_t kMaps = 200;
constexpr uint32_t kDisplaysPerMap = 99;
constexpr uint32_t kIcons = 1 + kMaps + kMaps * kDisplaysPerMap;
constexpr uint32_t kFirstNode = 7; // below are the top icon and nodes pieces keep free
constexpr uint32_t kLastNode = kFirstNode + kIcons - 2;
constexpr uint32_t kGroups = kLastNode / 256 + 1;
constexpr uint32_t kContentRecord = 0x4040002; // kind block u16 at 4
constexpr uint8_t kZlibNative = 0x03;

const uint8_t kFormatData[4] = { 22, 0, 0, 0 };
const plat::ResourceEntry kFormatEntries[] = { { 260, nullptr, 1, nullptr, 0, 4 } };
const plat::ResourceModuleTable kFormatTable
    = { "bench_tree", plat::ResourceModuleKind::program, kFormatEntries, 1, kFormatData, 4 };

struct Node {
    uint8_t kind = 0;
    uint16_t parent = 0, next = 0, first_child = 0;
};

// The tree: node 1 holds the Maps, each Map its Displays; numbers follow in pre-order.
std::vector<Node> make_tree()
{
    std::vector<Node> nodes(kGroups * 256);
    nodes[1] = { 6, 0, 0, uint16_t(kFirstNode) };
    uint32_t number = kFirstNode, previous_map = 0;
    for (uint32_t m = 0; m < kMaps; m++) {
        uint32_t map = number++;
        nodes[map] = { 6, 1, 0, uint16_t(number) };
        if (previous_map)
            nodes[previous_map].next = uint16_t(map);
        previous_map = map;
        for (uint32_t d = 0; d < kDisplaysPerMap; d++, number++)
            nodes[number] = { 1, uint16_t(map), uint16_t(d + 1 < kDisplaysPerMap ? number + 1 : 0), 0 };
    }
    return nodes;
}

// Header group g: the offset table, then each header; a Display has a 6-byte kind block whose
// content record is its node number.
std::vector<uint8_t> header_group(const std::vector<Node>& nodes, uint32_t g)
{
    std::vector<uint8_t> table, body;
    plat::ByteWriter t(table), b(body);
    for (uint32_t n = g * 256; n < g * 256 + 256; n++) {
        t.u16le(uint16_t(514 + body.size()));
        b.u32le(uint32_t(nodes[n].kind) << 28);
        for (uint16_t link : { nodes[n].parent, nodes[n].next, nodes[n].first_child })
            b.u16le(link);
        if (nodes[n].kind == 1) {
            b.u32le(0);
            b.u16le(uint16_t(n));
        }
    }
    t.u16le(uint16_t(514 + body.size()));
    table.insert(table.end(), body.begin(), body.end());
    return table;
}

struct Record {
    uint8_t type;
    uint32_t unpacked;
    std::vector<uint8_t> packed;
};

Record packed_record(uint8_t type, const std::vector<uint8_t>& bytes)
{
    uLongf size = compressBound(uLong(bytes.size()));
    Record r { type, uint32_t(bytes.size()), std::vector<uint8_t>(size) };
    compress2(r.packed.data(), &size, bytes.data(), uLong(bytes.size()), Z_DEFAULT_COMPRESSION);
    r.packed.resize(size);
    return r;
}

// Record 1 the node directory, records 2 up the header groups.
std::vector<Record> make_records()
{
    std::vector<Node> nodes = make_tree();
    std::vector<uint8_t> directory;
    plat::ByteWriter w(directory);
    for (uint32_t word = 0; word < 606; word++) {
        bool group_word = word >= 94 && (word - 94) % 4 == 0 && (word - 94) / 4 < kGroups;
        w.u16le(uint16_t(word == 0 ? kGroups * 256 : group_word ? 2 + (word - 94) / 4 : 0));
    }
    std::vector<Record> records { packed_record(1, directory) };
    for (uint32_t g = 0; g < kGroups; g++)
        records.push_back(packed_record(36, header_group(nodes, g)));
    return records;
}

// The packaged layout: kind header, record-file header at 32, directory at 106, the records.
std::vector<uint8_t> piece_bytes(const std::vector<Record>& records)
{
    uint32_t count = uint32_t(records.size()), directory_size = (count + 1) * 10;
    uint32_t offset = 106 + directory_size, end = offset;
    for (const Record& r : records)
        end += uint32_t(r.packed.size());
    std::vector<uint8_t> out;
    plat::ByteWriter w(out);
    for (uint32_t value : { kKindPiece, ~kKindPiece, 22u, uint32_t(kKindVersion) })
        w.u32le(value);
    out.resize(32);
    uint32_t data_length = end - directory_size - 106;
    for (uint32_t value : { 5u, end, data_length, directory_size, count, 106u, 0u, data_length })
        w.u32le(value);
    out.resize(out.size() + 22);
    w.u16le(0x0002); // packaged
    w.u8(1); // native order
    out.resize(106);
    for (const Record& r : records) {
        w.u32le(offset);
        w.u32le(r.unpacked);
        w.u8(r.type);
        w.u8(kZlibNative);
        offset += uint32_t(r.packed.size());
    }
    w.u32le(end); // the sentinel
    out.resize(out.size() + 6);
    for (const Record& r : records)
        w.bytes(r.packed.data(), r.packed.size());
    return out;
}

std::string s_host_path;

bool write_piece()
{
    char name[] = "/tmp/storvel_tree_bench_XXXXXX";
    int fd = mkstemp(name);
    if (fd < 0)
        return false;
    s_host_path = name;
    std::vector<uint8_t> bytes = piece_bytes(make_records());
    bool written = write(fd, bytes.data(), bytes.size()) == ssize_t(bytes.size());
    close(fd);
    return written;
}

FileSpec* piece_spec()
{
    static FileSpec* file_path = [] {
        FileSpec* made = nullptr;
        fspec_from_path(("C:" + s_host_path).c_str(), &made);
        return made;
    }();
    return file_path;
}

constexpr int kWalkSlot = 1; // the node store's file
constexpr int kLoadSlot = 2; // the same file for the plain loads

struct WalkSum {
    uint32_t icons = 0;
    uint64_t sum = 0;
};

WalkSum walk_tree()
{
    WalkSum walk;
    node_walk(node_make_icon(kWalkSlot, 1), kWalkDescendants,
        [](IconId icon, void* user) {
            WalkSum& w = *static_cast<WalkSum*>(user);
            w.icons++;
            w.sum += node_get_attr(icon, kContentRecord);
            return 1;
        },
        &walk);
    return walk;
}

// Every header group loaded from the file and dropped again; the bytes loaded.
uint64_t load_groups()
{
    uint64_t bytes = 0;
    for (uint32_t g = 0; g < kGroups; g++) {
        RecordId id = rec_make_id(kLoadSlot, 2 + g);
        if (!rec_get(id))
            return 0;
        bytes += rec_size(id, kSizeUnpacked);
        rec_release(id, kReleaseOne);
        rec_discard(id);
    }
    return bytes;
}

void BM_TreeWalk(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(walk_tree());
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(kIcons - 1));
}
BENCHMARK(BM_TreeWalk)->Unit(benchmark::kMicrosecond)->MinTime(1.0);

void BM_LoadGroups(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(load_groups());
}
BENCHMARK(BM_LoadGroups)->Unit(benchmark::kMicrosecond)->MinTime(1.0);

// The walk must see every icon and its attribute (the sum of the Displays' node numbers).
bool check_walk()
{
    uint64_t expected = 0;
    for (uint32_t m = 0, number = kFirstNode; m < kMaps; m++, number++)
        for (uint32_t d = 0; d < kDisplaysPerMap; d++)
            expected += ++number;
    WalkSum walk = walk_tree();
    return walk.icons == kIcons - 1 && walk.sum == expected && node_error_word() == 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (!bench_start(&argc, argv))
        return 1;
    plat::register_resource_module(kFormatTable);
    mem_note_physical();
    bool ready = file_init() == 1 && rec_init() == 1 && node_files_init() == 1 && write_piece()
        && rec_open_file(piece_spec(), kWalkSlot, 0, fhdr_check, kKindPiece, kRecRefuseEmpty) == 0
        && rec_open_file(piece_spec(), kLoadSlot, 0, fhdr_check, kKindPiece, kRecRefuseEmpty) == 0
        && node_file_open(kWalkSlot, 0) == 0 && check_walk() && load_groups() != 0;
    int result = 1;
    if (ready) {
        BenchTimes times = bench_run_timed(BenchKeep::last);
        result = bench_print_ratio(times, "BM_TreeWalk", "BM_LoadGroups");
    } else {
        std::fprintf(stderr, "the piece could not be made, opened or walked\n");
    }
    node_files_free();
    rec_close_all();
    fspec_free(piece_spec());
    file_term();
    if (!s_host_path.empty())
        unlink(s_host_path.c_str());
    return result;
}
