#include "node_fixture.h"
#include "runtime/base/errcode.h"
#include "runtime/nodes/node_chunks.h"
#include "runtime/store/rec_write.h"

#include <cstring>

using namespace nodetest;

namespace {

using NodeGroupTest = NodeTest;

// Properties of two icons, with tags whose layouts the byte-order converter knows (11 a
// point, 14 a rectangle, 35 a chunk list) and ones it keeps as bytes (200, 201).
constexpr const char* kPropsPiece = R"(icon map "Top" {
    icon display "Shape" {
        prop 11 u16 -3 7
        prop 14 u16 -1 2 300 4
        prop 200 text "odd"
        prop 201 u16 1 2 3
    }
    icon sound "Music" {
        chunks 40 41
    }
    icon sound "Silent" {
        chunks
    }
    icon sound "Short" {
        prop 35 u16 1 0 41
    }
}
record 40 -1 raw order little text "abc"
record 41 -1 zlib order little zeros 100
)";

TEST_F(NodeGroupTest, PropertiesReadTheSameInBothByteOrders)
{
    for (const char* order : { "little", "big" }) {
        SCOPED_TRACE(order);
        ASSERT_EQ(open_piece(1, std::string("kind PCRS\norder ") + order + "\n" + kPropsPiece), 0);
        IconId shape = titled(1, "Shape");
        Point p {};
        EXPECT_EQ(node_get_prop_point(shape, 11, p), 1);
        EXPECT_EQ(p.x, -3);
        EXPECT_EQ(p.y, 7);
        Rect r {};
        EXPECT_EQ(node_get_prop_rect(shape, 14, r), 1);
        EXPECT_EQ(r.left, -1);
        EXPECT_EQ(r.right, 300);
        EXPECT_EQ(node_get_prop_rect(shape, 201, r), 0); // 6 bytes
        EXPECT_EQ(r.left, 0);
        EXPECT_EQ(r.bottom, 0);
        int32_t x = 1, y = 1;
        EXPECT_EQ(node_get_prop_xy(shape, 14, &x, &y), 0); // 8 bytes
        EXPECT_EQ(x, 0);
        MemHandle text = node_get_prop(shape, 200);
        ASSERT_TRUE(text);
        EXPECT_EQ(std::string(static_cast<const char*>(mem_address(text)), 3), "odd");
        mem_free(text);
        EXPECT_EQ(node_get_prop(shape, 202), MemHandle {});
        uint16_t length = 0;
        uint8_t* data = node_lock_prop(shape, 200, &length);
        ASSERT_NE(data, nullptr);
        EXPECT_EQ(length, 3);
        node_unlock_prop(shape, 200, 0, data);
        EXPECT_EQ(node_lock_prop(shape, 202, &length), nullptr);
        size_t bytes = 0;
        node_props(icon(1, 2), &bytes); // a free node has the empty list
        EXPECT_EQ(bytes, 2u);
        MemHandle empty = node_props_copy(icon(1, 2));
        EXPECT_TRUE(empty);
        EXPECT_EQ(taglist_is_empty(empty), 1);
        mem_free(empty);
        EXPECT_EQ(node_props_copy(icon(1, 300)), MemHandle {}); // past the node count
        node_file_close_all(1);
    }
}

TEST_F(NodeGroupTest, StoredPropertiesMoveTheLaterLists)
{
    std::string description = std::string("kind VCRS\n") + kPropsPiece;
    FileSpec* spec = memory(piece_bytes(description));
    ASSERT_EQ(open(1, spec, kRecOpenWritable), 0);
    ASSERT_EQ(node_file_open(1, 0), 0);
    IconId shape = titled(1, "Shape"), music = titled(1, "Music");
    const char longer[] = "a longer text than before";
    EXPECT_EQ(node_put_prop(shape, 200, longer, sizeof longer), 0);
    EXPECT_EQ(node_put_prop(shape, 11, nullptr, 0), 0); // deleted
    ChunkList chunks = node_chunks_open(music); // the next slot's list, moved
    EXPECT_EQ(node_chunks_count(chunks), 2);
    node_chunks_close(chunks);
    ASSERT_EQ(rec_flush(1, 0), 0);
    node_file_close_all(1);

    ASSERT_EQ(open(1, memory(memory_bytes(spec))), 0);
    ASSERT_EQ(node_file_open(1, 0), 0);
    MemHandle text = node_get_prop(shape, 200);
    ASSERT_TRUE(text);
    EXPECT_STREQ(static_cast<const char*>(mem_address(text)), longer);
    mem_free(text);
    Point p {};
    EXPECT_EQ(node_get_prop_point(shape, 11, p), 0);
    Rect r {};
    EXPECT_EQ(node_get_prop_rect(shape, 14, r), 1);
    chunks = node_chunks_open(music);
    EXPECT_EQ(node_chunks_count(chunks), 2);
    node_chunks_close(chunks);
}

// A packaged piece takes the change in memory and reports success; it is gone when the
// piece is opened again.
TEST_F(NodeGroupTest, APackagedPieceChangesInMemoryOnly)
{
    std::string description = std::string("kind PCRS\n") + kPropsPiece;
    ASSERT_EQ(open_piece(1, description), 0);
    IconId shape = titled(1, "Shape");
    EXPECT_EQ(node_put_prop(shape, 300, "new", 3), 0);
    EXPECT_EQ(node_put_prop(icon(1, 2), 300, "new", 3), 0); // a free node's empty list
    MemHandle copy = node_get_prop(shape, 300);
    EXPECT_TRUE(copy);
    mem_free(copy);
    EXPECT_EQ(node_props_store(icon(1, 0), TagList {}), kErrBadValue);
    node_file_close_all(1);
    ASSERT_EQ(open_piece(1, description), 0);
    EXPECT_EQ(node_get_prop(titled(1, "Shape"), 300), MemHandle {});
}

TEST_F(NodeGroupTest, ChunkListsNameTheIconsRecords)
{
    ASSERT_EQ(open_piece(1, std::string("kind PCRS\n") + kPropsPiece), 0);
    IconId music = titled(1, "Music");
    ChunkList chunks = node_chunks_open(music);
    ASSERT_TRUE(chunks);
    EXPECT_EQ(idset32_get(chunks, 1), music); // the owner, whatever was stored
    EXPECT_EQ(node_chunks_count(chunks), 2);
    EXPECT_EQ(node_chunk_size(chunks, 1), 3u);
    EXPECT_EQ(node_chunk_size(chunks, 2), 100u);
    EXPECT_EQ(node_chunk_size(chunks, 0), 0u);
    EXPECT_EQ(node_chunk_size(chunks, 3), 0u);
    EXPECT_EQ(node_chunks_total_size(music), 3u + rec_size(rec_make_id(1, 41), kSizeStored));
    MemHandle first = node_chunk_get(chunks, 1);
    ASSERT_TRUE(first);
    EXPECT_EQ(std::string(static_cast<const char*>(mem_address(first)), 3), "abc");
    node_chunk_release(chunks, 1);
    EXPECT_EQ(node_chunk_get(chunks, 3), MemHandle {});
    EXPECT_EQ(rec_chunks_item_ready(chunks, 1), 1);
    EXPECT_EQ(rec_chunks_item_ready(chunks, 9), 1); // out of range counts as ready
    EXPECT_EQ(rec_chunks_item_ready(ChunkList {}, 1), 1);
    node_chunks_purge(music);
    EXPECT_EQ(cached(rec_make_id(1, 40)), nullptr);
    node_chunks_close(chunks);

    ChunkList silent = node_chunks_open(titled(1, "Silent"));
    ASSERT_TRUE(silent);
    EXPECT_EQ(node_chunks_count(silent), 0);
    node_chunks_close(silent);
    EXPECT_EQ(node_chunks_open(titled(1, "Top")), ChunkList {});
    // One item claimed, but only half of it stored: the copy's spare bytes are not the file's.
    EXPECT_EQ(node_chunks_open(titled(1, "Short")), ChunkList {});
    EXPECT_EQ(node_chunks_total_size(titled(1, "Top")), 0u);
}

// A damaged group may give a node a list of one byte, too short for its end mark: the node has
// no properties, its copy is a new empty list, and a store replaces the byte.
TEST_F(NodeGroupTest, AListTooShortForItsEndMarkReadsEmpty)
{
    FileSpec* file = memory(piece_bytes(std::string("kind VCRS\n") + kPropsPiece));
    ASSERT_EQ(open(1, file, kRecOpenWritable), 0);
    ASSERT_EQ(node_file_open(1, 0), 0);
    IconId shape = titled(1, "Shape");
    uint32_t index = node_icon_number(shape) % 256;
    RecordId group = rec_make_id(1, node_dir_word(1, kDirGroupBase + 1));
    MemHandle bytes = rec_take(group);
    ASSERT_TRUE(bytes);
    uint8_t* table = static_cast<uint8_t*>(mem_address(bytes));
    plat::store_u32le(table + 4 * (index + 1), plat::load_u32le(table + 4 * index) + 1);
    ASSERT_EQ(rec_put(group, kTypePropertyGroup, bytes, uint32_t(mem_size(bytes))), 0);
    rec_release(group, kReleaseOne);

    size_t length = 0;
    const uint8_t* list = node_props(shape, &length);
    EXPECT_EQ(length, 2u);
    EXPECT_EQ(plat::load_u16le(list), 0);
    EXPECT_EQ(node_props_copy(shape), MemHandle {});
    Point p {};
    EXPECT_EQ(node_get_prop_point(shape, 11, p), 0);
    EXPECT_EQ(node_put_prop(shape, 300, "new", 3), 0);
    MemHandle stored = node_get_prop(shape, 300);
    ASSERT_TRUE(stored);
    EXPECT_EQ(std::string(static_cast<const char*>(mem_address(stored)), 3), "new");
    mem_free(stored);
    node_file_close_all(1);
}

// A damaged directory may name one record for two uses: here the title hash is also a group,
// so converting a pending title writes its hash over the group's offsets after the group was
// checked. Every read stays inside the group and a store is refused as damage.
TEST_F(NodeGroupTest, GroupOffsetsChangedAfterTheLoadAreCheckedAgain)
{
    NodeServices services {};
    services.titles_translated = [] { return 1; };
    services.title_to_windows = [](char*, size_t) {};
    node_set_services(&services);
    // Node 7's hash (0x7e9a) lands on entry 7 of a header group's u16 offsets and on the high
    // half of entry 3 of a property group's u32 offsets.
    const std::string icons = "icon map \"Top\" {\n"
                              "    icon calc \"Untitled\" pending {\n"
                              "        prop 200 text \"kept\"\n"
                              "    }\n"
                              "    icon calc \"Next\" {\n"
                              "        prop 200 text \"next\"\n"
                              "    }\n"
                              "}\n";
    ASSERT_EQ(open_piece(1, "kind PCRS\n" + icons), 0);
    const uint16_t header_group = node_dir_word(1, kDirGroupBase);
    const uint16_t property_group = node_dir_word(1, kDirGroupBase + 1);
    node_file_close_all(1);
    for (uint16_t group : { header_group, property_group }) {
        SCOPED_TRACE(group == header_group ? "header group" : "property group");
        std::string damaged = "kind PCRS\ndir 28 " + std::to_string(group) + "\n" + icons;
        ASSERT_EQ(open_piece(1, damaged), 0);
        MemHandle properties = node_prop_group(icon(1, 8)); // both groups checked and loaded
        ASSERT_TRUE(properties);
        EXPECT_EQ(title_of(icon(1, 8)), "Next"); // converts the pending titles
        EXPECT_EQ(node_dir_word(1, kDirPendingTitles), 0);
        for (uint32_t node = 1; node < 256; node++) {
            size_t length = 0;
            node_props(icon(1, node), &length);
            EXPECT_LE(length, mem_size(properties));
            node_get_attr(icon(1, node), 0x4000002);
            node_set_attr(icon(1, node), 0x2000101, 0);
            MemHandle prop = node_get_prop(icon(1, node), 200);
            if (prop && prop != kMemFailed)
                mem_free(prop);
        }
        EXPECT_EQ(node_kind(icon(1, 7)), group == header_group ? kKindFree : kKindCalc);
        if (group == property_group) {
            EXPECT_EQ(node_put_prop(icon(1, 3), 200, "x", 1), 5000);
            MemHandle next = node_get_prop(icon(1, 8), 200);
            ASSERT_TRUE(next);
            EXPECT_EQ(std::string(static_cast<const char*>(mem_address(next)), 4), "next");
            mem_free(next);
        }
        node_file_close_all(1);
    }
}

} // namespace
