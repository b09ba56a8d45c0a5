#include "tools/piecemaker/pm_icons.h"

#include "platform/kernel/byte_io.h"
#include "runtime/store/fhdr.h"
#include "runtime/nodes/node_title.h"
#include "tools/piecemaker/pm_vars.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <set>

namespace {

// Index = kind; "free" is never a word a description may give.
const char* const kKindNames[] = { "free", "display", "motion", "erase", "interaction", "decision",
    "map", "wait", "calc", "movie", "sound", "video", "framework", "navigate", "sprite",
    "guidepack" };

// Bytes of the layout block for layout classes 0 to 15.
const uint8_t kLayoutBlockSize[16] = { 0, 1, 2, 12, 10, 1, 1, 14, 2, 2, 1, 12, 2, 0, 0, 0 };

constexpr uint32_t kGroupSize = 256;
constexpr uint32_t kGroups = 128;
constexpr uint32_t kDirectoryWords = 606;
constexpr uint32_t kFirstTitled = 7; // nodes below have no title
constexpr uint32_t kHeaderTable = 2 * (kGroupSize + 1);
constexpr uint32_t kPropertyTable = 4 * (kGroupSize + 1);
constexpr uint32_t kTitleIdMax = 0x3FFFFF; // 22 bits: 0 to 19, then 22 and 23

// Directory words this module fills.
enum : uint32_t {
    kWordTitles = 2,
    kWordLinkTable = 4,
    kWordLinkRecords = 5,
    kWordLinkNames = 6,
    kWordLibraries = 7,
    kWordRecordedNames = 9,
    kWordLibraryRefs = 36,
    kWordTitleHash = 28,
    kWordVariableNames = 10,
    kWordVariableDefinitions = 12,
    kWordNameDictionary = 35,
    kWordCursors = 24,
    kWordMapped = 38,
    kWordPending = 39,
    kWordGroups = 94,
};

// Record types.
enum : int {
    kTypeDirectory = 1,
    kTypePool = 2,
    kTypeHash = 28,
    kTypeWordSet = 34, // u16 words: the title sets
    kTypeHeaders = 36,
    kTypeProperties = 37,
};

// The built form of one icon: its number, links and blocks.
struct BuiltIcon {
    uint32_t node = 0;
    uint32_t word0 = 0;
    uint16_t links[3] = {}; // parent, next sibling, first child
    std::vector<uint8_t> layout, kind;
};

struct Builder {
    PieceDescription& piece;
    std::vector<BuiltIcon> built;
    std::string error;
    uint32_t top = 1;
};

bool fail_at(Builder& b, const PieceIcon& icon, const std::string& message)
{
    b.error = "line " + std::to_string(icon.line) + ": " + message;
    return false;
}

bool is_library(const PieceDescription& piece)
{
    return piece.magic == kKindLibrary || piece.magic == fhdr_magic("VLIB");
}

// Given numbers stay; the first unnumbered top icon is the file's top icon (1, or 2 in a
// library), every other one the lowest free number from 7 up, where titles count.
bool number_icons(Builder& b)
{
    std::set<uint32_t> used;
    for (const PieceIcon& icon : b.piece.nodes.icons)
        if (icon.node != 0 && !used.insert(icon.node).second)
            return fail_at(b, icon, "node " + std::to_string(icon.node) + " is given twice");
    uint32_t next = kFirstTitled;
    bool top_taken = used.count(b.top) != 0;
    for (size_t n = 0; n < b.piece.nodes.icons.size(); n++) {
        const PieceIcon& icon = b.piece.nodes.icons[n];
        uint32_t node = icon.node;
        if (node == 0 && icon.parent < 0 && !top_taken) {
            node = b.top;
            top_taken = true;
        }
        while (node == 0 && used.count(next))
            next++;
        if (node == 0)
            node = next++;
        if (node >= kGroups * kGroupSize)
            return fail_at(b, icon, "more icons than 32767 nodes hold");
        used.insert(node);
        b.built[n].node = node;
    }
    return true;
}

// The first icon of each list of the parent, and every icon's next sibling in its list.
void link_icons(Builder& b)
{
    const std::vector<PieceIcon>& icons = b.piece.nodes.icons;
    std::map<std::pair<int, int>, size_t> last; // (parent, list) -> its last icon so far
    for (size_t n = 0; n < icons.size(); n++) {
        BuiltIcon& icon = b.built[n];
        int parent = icons[n].parent;
        if (parent < 0)
            continue;
        icon.links[0] = uint16_t(b.built[size_t(parent)].node);
        auto key = std::make_pair(parent, icons[n].list);
        auto found = last.find(key);
        if (found != last.end()) {
            b.built[found->second].links[1] = uint16_t(icon.node);
        } else {
            BuiltIcon& p = b.built[size_t(parent)];
            if (icons[n].list == 2)
                p.links[2] = uint16_t(icon.node);
            else
                plat::store_u16le(p.kind.data() + 2 * (icons[n].list - 3), uint16_t(icon.node));
        }
        last[key] = n;
    }
    for (size_t n = 0; n < icons.size(); n++)
        for (int k = 0; k < 3; k++)
            if (icons[n].links[k] >= 0)
                b.built[n].links[k] = uint16_t(icons[n].links[k]);
}

// Grows a block to hold end bytes.
void reach(std::vector<uint8_t>& block, size_t end)
{
    if (block.size() < end)
        block.resize(end, 0);
}

// A computed attribute the piece maker writes as the field it stands for: the descriptor, or
// 0 when it has none for this icon.
uint32_t computed_field(const PieceIcon& icon, const PieceIcon* parent, uint32_t number)
{
    struct Field {
        uint32_t number;
        int kind; // 0: any kind
        uint32_t descriptor;
    };
    // One row per kind that keeps the field in its kind block; a missing row means none.
    static const Field kFields[] = {
        { 4, 4, 0x2080640 }, { 5, 1, 0x20604F0 }, { 5, 14, 0x20604F0 }, { 5, 2, 0x20004F0 },
        { 5, 4, 0x20704F0 }, { 5, 9, 0x20404F0 }, { 7, 4, 0x2080430 }, { 9, 1, 0x2030410 },
        { 9, 4, 0x2030410 }, { 9, 9, 0x2030410 }, { 9, 14, 0x2030410 }, { 10, 1, 0x2060204 },
        { 10, 14, 0x2060204 }, { 10, 4, 0x2080102 }, { 10, 9, 0x2050204 },
    };
    for (const Field& f : kFields)
        if (f.number == number && f.kind == icon.kind)
            return f.descriptor;
    if (number == 4 && parent && parent->kind == 5)
        return 0x1000520;
    if (number == 7 && icon.layout_class != 0)
        return 0x10006C0;
    return 0;
}

bool put_field(Builder& b, const PieceIcon& icon, BuiltIcon& out, uint32_t descriptor, uint32_t value)
{
    uint32_t kind = descriptor >> 24, offset = descriptor >> 16 & 0xFF;
    uint32_t shift = descriptor >> 8 & 0xFF, low = descriptor & 0xFF;
    std::vector<uint8_t>& block = kind == 1 || kind == 3 ? out.layout : out.kind;
    uint32_t count = kind <= 2 ? 1 : low;
    if (kind == 1 || kind == 3) {
        if (offset > block.size() || count > block.size() - offset)
            return fail_at(b, icon, "the attribute lies past the layout block of class "
                    + std::to_string(icon.layout_class));
    } else {
        reach(block, offset + count);
    }
    if (kind <= 2) {
        block[offset] = uint8_t((block[offset] & ~low) | ((value << shift) & low));
        return true;
    }
    for (uint32_t n = 0; n < count; n++)
        block[offset + n] = uint8_t(n < 4 ? value >> (8 * n) : 0);
    return true;
}

bool put_attr(Builder& b, size_t n, const PieceIcon::Attr& attr)
{
    const PieceIcon& icon = b.piece.nodes.icons[n];
    const PieceIcon* parent = icon.parent >= 0 ? &b.piece.nodes.icons[size_t(icon.parent)] : nullptr;
    BuiltIcon& out = b.built[n];
    if (attr.descriptor >> 24 != 0)
        return put_field(b, icon, out, attr.descriptor, attr.value);
    uint32_t number = attr.descriptor & 0xFF;
    if (uint32_t field = computed_field(icon, parent, number))
        return put_field(b, icon, out, field, attr.value);
    if (number == 1 || number == 9) {
        uint32_t bit = number == 1 ? 1u << 20 : 1u << 21;
        out.word0 = attr.value & 1 ? out.word0 | bit : out.word0 & ~bit;
        return true;
    }
    return fail_at(b, icon, "computed attribute " + std::to_string(number)
            + " is not one the piece maker writes for a " + pm_kind_name(icon.kind));
}

bool fill_blocks(Builder& b, size_t n)
{
    const PieceIcon& icon = b.piece.nodes.icons[n];
    BuiltIcon& out = b.built[n];
    out.word0 = uint32_t(icon.kind) << 28 | uint32_t(icon.layout_class) << 24;
    out.layout.assign(kLayoutBlockSize[icon.layout_class], 0);
    out.kind.assign(icon.kind == kPieceFramework ? 4 : 0, 0);
    reach(out.kind, icon.kind_block_size);
    for (const PieceIcon::Bytes& bytes : icon.bytes) {
        std::vector<uint8_t>& block = bytes.kind_block ? out.kind : out.layout;
        if (!bytes.kind_block && (bytes.offset > block.size()
                || bytes.bytes.size() > block.size() - bytes.offset))
            return fail_at(b, icon, "the bytes lie past the layout block");
        reach(block, bytes.offset + bytes.bytes.size());
        std::copy(bytes.bytes.begin(), bytes.bytes.end(), block.begin() + bytes.offset);
    }
    for (const PieceIcon::Attr& attr : icon.attrs)
        if (!put_attr(b, n, attr))
            return false;
    return true;
}

// --- records ---------------------------------------------------------------------------------

std::vector<uint8_t> header_bytes(const BuiltIcon& icon)
{
    std::vector<uint8_t> out;
    plat::ByteWriter w(out);
    w.u32le(icon.word0);
    for (uint16_t link : icon.links)
        w.u16le(link);
    w.bytes(icon.layout.data(), icon.layout.size());
    w.bytes(icon.kind.data(), icon.kind.size());
    if (out.size() % 2)
        w.u8(0);
    return out;
}

// A TagList of the icon's properties in the order given, each padded to even length.
std::vector<uint8_t> property_bytes(const PieceIcon& icon)
{
    std::vector<uint8_t> out;
    plat::ByteWriter w(out);
    for (const PieceIcon::Prop& prop : icon.props) {
        w.u16le(prop.tag);
        w.u16le(uint16_t(prop.data.size()));
        w.bytes(prop.data.data(), prop.data.size());
        if (prop.data.size() % 2)
            w.u8(0);
    }
    w.u16le(0);
    return out;
}

// A group record: an offset table of 257 entries (2 or 4 bytes each), then the slots' bytes.
std::vector<uint8_t> group_record(const std::vector<std::vector<uint8_t>>& slots, bool wide)
{
    std::vector<uint8_t> table, body;
    plat::ByteWriter t(table);
    uint32_t at = wide ? kPropertyTable : kHeaderTable;
    for (const std::vector<uint8_t>& slot : slots) {
        wide ? t.u32le(at) : t.u16le(uint16_t(at));
        body.insert(body.end(), slot.begin(), slot.end());
        at += uint32_t(slot.size());
    }
    wide ? t.u32le(at) : t.u16le(uint16_t(at));
    table.insert(table.end(), body.begin(), body.end());
    return table;
}

// The description's records keep their numbers; the node store's take the free ones from 2.
struct Numbers {
    std::set<uint32_t> used;
    uint32_t next = 2;
    uint32_t take()
    {
        while (used.count(next))
            next++;
        used.insert(next);
        return next++;
    }
};

struct Output {
    Builder& b;
    Numbers numbers;
    std::vector<uint16_t> directory; // kDirectoryWords words
};

// Appends a record in the file's order (a header group only in native order: the runtime has
// no converter for the icon kinds' blocks) and names it in the directory.
void add_record(Output& o, int type, uint32_t word, std::vector<uint8_t> bytes, bool zlib)
{
    const PieceNodes& nodes = o.b.piece.nodes;
    PieceRecord r;
    r.number = o.numbers.take();
    r.type = type;
    r.scheme = uint16_t(nodes.storage == 1 ? 1 : nodes.storage == 2 || zlib ? 2 : 1);
    r.foreign = o.b.piece.foreign && type != kTypeHeaders;
    r.bytes = std::move(bytes);
    o.b.piece.records.push_back(std::move(r));
    o.directory[word] = uint16_t(o.b.piece.records.back().number);
}

// Header and property groups of every group that holds an icon.
bool add_groups(Output& o, uint32_t group_count)
{
    const std::vector<PieceIcon>& icons = o.b.piece.nodes.icons;
    for (uint32_t g = 0; g < group_count; g++) {
        std::vector<std::vector<uint8_t>> headers(kGroupSize, std::vector<uint8_t>(10, 0));
        std::vector<std::vector<uint8_t>> props(kGroupSize, std::vector<uint8_t>(2, 0));
        bool any = false;
        for (size_t n = 0; n < icons.size(); n++) {
            if (o.b.built[n].node / kGroupSize != g)
                continue;
            headers[o.b.built[n].node % kGroupSize] = header_bytes(o.b.built[n]);
            props[o.b.built[n].node % kGroupSize] = property_bytes(icons[n]);
            any = true;
        }
        if (!any)
            continue;
        std::vector<uint8_t> header_group = group_record(headers, false);
        if (header_group.size() > 0xFFFF) {
            o.b.error = "the icons of group " + std::to_string(g) + " need more than 65535 bytes";
            return false;
        }
        add_record(o, kTypeHeaders, kWordGroups + 4 * g, std::move(header_group), true);
        add_record(o, kTypeProperties, kWordGroups + 4 * g + 1, group_record(props, true), false);
    }
    return true;
}

// The title pool (identical titles share a string), the titles' ids in the headers, the hash
// record and the two title sets.
bool add_titles(Output& o, uint32_t node_count)
{
    std::vector<uint8_t> pool(8, 0);
    std::map<std::string, uint32_t> ids;
    std::vector<uint8_t> hashes;
    plat::ByteWriter hash_writer(hashes);
    std::vector<uint16_t> hash_of(node_count, 0);
    std::vector<uint16_t> sets[2]; // mapped, pending
    const std::vector<PieceIcon>& icons = o.b.piece.nodes.icons;
    for (size_t n = 0; n < icons.size(); n++) {
        const PieceIcon& icon = icons[n];
        BuiltIcon& out = o.b.built[n];
        if (icon.mapped)
            sets[0].push_back(uint16_t(out.node));
        if (icon.pending)
            sets[1].push_back(uint16_t(out.node));
        if (!icon.titled)
            continue;
        auto found = ids.emplace(icon.title, uint32_t(pool.size()));
        if (found.second)
            pool.insert(pool.end(), icon.title.c_str(), icon.title.c_str() + icon.title.size() + 1);
        uint32_t id = found.first->second;
        if (id > kTitleIdMax)
            return fail_at(o.b, icon, "the titles need more than 22 bits of offsets");
        out.word0 |= (id & 0xFFFFF) | (id >> 20) << 22;
        if (out.node >= kFirstTitled && out.node < node_count)
            hash_of[out.node] = node_title_hash(icon.title.c_str());
    }
    plat::store_u32le(pool.data() + 4, uint32_t(pool.size()));
    add_record(o, kTypePool, kWordTitles, std::move(pool), true);
    if (o.b.piece.nodes.title_hash) {
        for (uint16_t h : hash_of)
            hash_writer.u16le(h);
        add_record(o, kTypeHash, kWordTitleHash, std::move(hashes), true);
    }
    for (int s = 0; s < 2; s++) {
        if (sets[s].empty())
            continue;
        std::vector<uint8_t> set;
        plat::ByteWriter w(set);
        w.u16le(uint16_t(sets[s].size()));
        for (uint16_t node : sets[s])
            w.u16le(node);
        add_record(o, kTypeWordSet, s == 0 ? kWordMapped : kWordPending, std::move(set), false);
    }
    return true;
}

void add_directory(Output& o, uint32_t node_count)
{
    const PieceNodes& nodes = o.b.piece.nodes;
    o.directory[0] = uint16_t(node_count);
    for (const PieceNodes::Word& word : nodes.words)
        o.directory[word.word] = word.value;
    std::vector<uint8_t> bytes;
    plat::ByteWriter w(bytes);
    for (uint32_t n = 0; n < nodes.directory_bytes / 2; n++)
        w.u16le(o.directory[n]);
    if (nodes.directory_bytes % 2)
        w.u8(uint8_t(o.directory[nodes.directory_bytes / 2]));
    PieceRecord r;
    r.number = 1;
    r.type = kTypeDirectory;
    r.scheme = uint16_t(nodes.storage == 1 ? 1 : 2);
    r.foreign = o.b.piece.foreign;
    r.bytes = std::move(bytes);
    o.b.piece.records.push_back(std::move(r));
}

// A StringPool block {u32 0, u32 used, strings}; add gives a text's offset.
struct Pool {
    std::vector<uint8_t> bytes = std::vector<uint8_t>(8, 0);
    uint32_t add(const std::string& text)
    {
        uint32_t offset = uint32_t(bytes.size());
        bytes.insert(bytes.end(), text.c_str(), text.c_str() + text.size() + 1);
        return offset;
    }
    std::vector<uint8_t> done()
    {
        plat::store_u32le(bytes.data() + 4, uint32_t(bytes.size()));
        return bytes;
    }
};

constexpr uint32_t kLinkRecordSize = 16;
constexpr uint32_t kLibraryItemSize = 512;
constexpr uint16_t kArrayHeaderMark = 0x8000;

// The header item of an array record: {u16 0x8000, u32 0, u32 count}, padded to the item size.
std::vector<uint8_t> array_header(uint32_t count, uint32_t item_size)
{
    std::vector<uint8_t> bytes;
    plat::ByteWriter w(bytes);
    w.u16le(kArrayHeaderMark);
    w.u32le(0);
    w.u32le(count);
    bytes.resize(item_size, 0);
    return bytes;
}

// A file reference of one representation, the path pair with its first path only:
// {u32 1, u32 2, u32 0 (index 0 empty), u32 size, u32 path size, path NUL, u32 0}.
std::vector<uint8_t> file_reference(const std::string& path)
{
    std::vector<uint8_t> pair;
    plat::ByteWriter p(pair);
    p.u32le(uint32_t(path.size() + 1));
    p.cstring(path);
    p.u32le(0);
    std::vector<uint8_t> bytes;
    plat::ByteWriter w(bytes);
    w.u32le(1);
    w.u32le(2);
    w.u32le(0);
    w.u32le(uint32_t(pair.size()));
    w.bytes(pair.data(), pair.size());
    return bytes;
}

// The library list (word 7) and the libraries' file references (word 36, a tag list keyed by
// each library's number).
void add_libraries(Output& o)
{
    const std::vector<PieceLibrary>& libraries = o.b.piece.nodes.libraries;
    std::vector<uint8_t> list = array_header(uint32_t(libraries.size()), kLibraryItemSize);
    std::vector<uint8_t> refs;
    plat::ByteWriter r(refs);
    for (size_t i = 0; i < libraries.size(); i++) {
        uint16_t number = uint16_t(i + 1);
        std::vector<uint8_t> item(kLibraryItemSize, 0);
        plat::store_u16le(item.data(), uint16_t(libraries[i].internal ? 0x0101 : 0x0001));
        plat::store_u16le(item.data() + 2, number);
        list.insert(list.end(), item.begin(), item.end());
        if (libraries[i].internal)
            continue;
        std::vector<uint8_t> ref = file_reference(libraries[i].path);
        r.u16le(number);
        r.u16le(uint16_t(ref.size()));
        r.bytes(ref.data(), ref.size());
        if (ref.size() % 2)
            r.u8(0);
    }
    r.u16le(0);
    add_record(o, -1, kWordLibraries, std::move(list), false);
    add_record(o, -1, kWordLibraryRefs, std::move(refs), false);
}

// Link records (word 5) with their expected names (word 6), the names recorded for icons
// (link table word 4, pool word 9), and the libraries.
void add_links(Output& o, uint32_t node_count)
{
    const std::vector<PieceIcon>& icons = o.b.piece.nodes.icons;
    bool any_link = !o.b.piece.nodes.libraries.empty();
    bool any_name = false;
    for (const PieceIcon& icon : icons) {
        any_link = any_link || icon.link_library != 0;
        any_name = any_name || icon.has_link_name;
    }
    if (any_name) {
        Pool names;
        std::vector<uint8_t> table(size_t(node_count) * 4, 0);
        for (size_t n = 0; n < icons.size(); n++)
            if (icons[n].has_link_name && o.b.built[n].node < node_count)
                plat::store_u32le(table.data() + 4 * o.b.built[n].node, names.add(icons[n].link_name) << 8);
        add_record(o, -1, kWordLinkTable, std::move(table), false);
        add_record(o, kTypePool, kWordRecordedNames, names.done(), false);
    }
    if (!any_link)
        return;
    Pool expected;
    std::vector<uint8_t> records;
    uint32_t count = 0;
    for (size_t n = 0; n < icons.size(); n++) {
        const PieceIcon& icon = icons[n];
        if (!icon.link_library)
            continue;
        std::vector<uint8_t> link;
        plat::ByteWriter w(link);
        w.u16le(1);
        w.u16le(0);
        w.u16le(uint16_t(icon.link_library));
        w.u16le(uint16_t(icon.link_node));
        w.u16le(uint16_t(icon.kind));
        w.u16le(0);
        w.u32le(expected.add(icon.link_expected));
        records.insert(records.end(), link.begin(), link.end());
        count++;
    }
    std::vector<uint8_t> bytes = array_header(count, kLinkRecordSize);
    bytes.insert(bytes.end(), records.begin(), records.end());
    add_record(o, -1, kWordLinkRecords, std::move(bytes), false);
    add_record(o, kTypePool, kWordLinkNames, expected.done(), false);
    add_libraries(o);
}

// Each linking icon's kind block starts with its link number (1 up, in icon order), which
// selects link record number + 1.
bool number_links(Builder& b)
{
    uint16_t next = 1;
    for (PieceIcon& icon : b.piece.nodes.icons) {
        if (!icon.link_library)
            continue;
        static const int kLinkKinds[] = {1, 4, 8, 9, 10}; // display, interaction, calc, movie, sound
        if (std::find(std::begin(kLinkKinds), std::end(kLinkKinds), icon.kind) == std::end(kLinkKinds))
            return fail_at(b, icon, "only display, interaction, calc, movie and sound icons link");
        if (icon.link_library > b.piece.nodes.libraries.size())
            return fail_at(b, icon, "link names library " + std::to_string(icon.link_library)
                    + " of " + std::to_string(b.piece.nodes.libraries.size()));
        icon.bytes.push_back({true, 0, {uint8_t(next), uint8_t(next >> 8)}});
        next++;
    }
    return true;
}

// Names, definitions (long texts in records of their own) and the name dictionary. These
// records stay in native order: tagged fields have no converter.
void add_variables(Output& o)
{
    const PieceDescription& piece = o.b.piece;
    if (piece.variables.empty())
        return;
    std::vector<uint16_t> text_records;
    for (const PieceVariable& v : piece.variables) {
        uint16_t number = 0;
        if (pm_var_needs_record(v)) {
            PieceRecord r;
            r.number = number = uint16_t(o.numbers.take());
            r.type = -1;
            r.bytes.assign(v.value.begin(), v.value.end());
            r.bytes.push_back(0);
            o.b.piece.records.push_back(std::move(r));
        }
        text_records.push_back(number);
    }
    add_record(o, -2, kWordVariableNames, pm_var_names(piece), false);
    o.b.piece.records.back().foreign = false;
    add_record(o, -2, kWordVariableDefinitions, pm_var_definitions(piece, text_records), false);
    o.b.piece.records.back().foreign = false;
    if (piece.name_dictionary) {
        add_record(o, -1, kWordNameDictionary, pm_var_name_dictionary(piece), false);
        o.b.piece.records.back().foreign = false;
    }
}

// The cursor list: a tag list of the cursors under their numbers, native order.
void add_cursors(Output& o)
{
    const std::vector<PieceCursor>& cursors = o.b.piece.cursors;
    if (cursors.empty())
        return;
    std::vector<uint8_t> list;
    for (const PieceCursor& c : cursors) {
        std::vector<uint8_t> item(10, 0);
        for (int i = 0; i < 4; i++)
            plat::store_u16le(item.data() + 2 * i, uint16_t(c.fields[i]));
        item.insert(item.end(), c.masks.begin(), c.masks.end());
        uint8_t head[4];
        plat::store_u16le(head, c.number);
        plat::store_u16le(head + 2, uint16_t(item.size()));
        list.insert(list.end(), head, head + 4);
        list.insert(list.end(), item.begin(), item.end());
        if (item.size() % 2)
            list.push_back(0);
    }
    list.insert(list.end(), { 0, 0 });
    add_record(o, -2, kWordCursors, std::move(list), false);
    o.b.piece.records.back().foreign = false;
}

// Icons named by title in properties (erase lists, references) get their node numbers; a
// title must name exactly one icon.
bool resolve_titles(Builder& b)
{
    std::vector<PieceIcon>& icons = b.piece.nodes.icons;
    for (PieceIcon& icon : icons)
        for (PieceIcon::Prop& prop : icon.props)
            for (const auto& [offset, title] : prop.titles) {
                size_t count = 0, found = 0;
                for (size_t n = 0; n < icons.size(); n++)
                    if (icons[n].titled && icons[n].title == title) {
                        count++;
                        found = n;
                    }
                if (count != 1)
                    return fail_at(b, icon, (count ? "more than one icon is titled \"" : "no icon is titled \"")
                            + title + "\"");
                plat::store_u16le(prop.data.data() + offset, uint16_t(b.built[found].node));
            }
    return true;
}

bool build_records(Builder& b)
{
    Output o { b, {}, std::vector<uint16_t>(kDirectoryWords, 0) };
    for (const PieceRecord& r : b.piece.records) {
        if (r.number == 1) {
            b.error = "line " + std::to_string(r.line) + ": record 1 is the node directory of the icons";
            return false;
        }
        o.numbers.used.insert(r.number);
    }
    uint32_t highest = 0;
    for (const BuiltIcon& icon : b.built)
        highest = std::max(highest, icon.node);
    uint32_t group_count = highest / kGroupSize + 1;
    uint32_t node_count = b.piece.nodes.node_count ? b.piece.nodes.node_count : group_count * kGroupSize;
    if (!add_titles(o, std::max(node_count, group_count * kGroupSize)) || !add_groups(o, group_count))
        return false;
    add_links(o, std::max(node_count, group_count * kGroupSize));
    add_variables(o);
    add_cursors(o);
    add_directory(o, node_count);
    std::sort(b.piece.records.begin(), b.piece.records.end(),
        [](const PieceRecord& x, const PieceRecord& y) { return x.number < y.number; });
    return true;
}

} // namespace

int pm_kind_number(const std::string& word)
{
    if (!word.empty() && word.size() <= 2 && std::all_of(word.begin(), word.end(), ::isdigit)) {
        int kind = std::stoi(word);
        return kind <= 15 ? kind : 0;
    }
    for (int kind = 1; kind < int(std::size(kKindNames)); kind++)
        if (word == kKindNames[kind])
            return kind;
    return 0;
}

std::string pm_kind_name(int kind)
{
    if (kind >= 0 && kind < int(std::size(kKindNames)))
        return kKindNames[kind];
    return "kind " + std::to_string(kind);
}

bool pm_icons_build(PieceDescription& piece, std::string& error)
{
    Builder b { piece, std::vector<BuiltIcon>(piece.nodes.icons.size()), {} };
    b.top = is_library(piece) ? 2 : 1;
    bool ok = number_icons(b) && number_links(b) && resolve_titles(b);
    for (size_t n = 0; ok && n < piece.nodes.icons.size(); n++)
        ok = fill_blocks(b, n);
    if (ok) {
        link_icons(b);
        ok = build_records(b);
    }
    if (!ok)
        error = b.error;
    return ok;
}
