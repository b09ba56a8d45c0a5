#include "node_fixture.h"
#include "runtime/base/idset.h"

#include <cstring>

using namespace nodetest;

namespace {

using NodeTitleTest = NodeTest;

TEST_F(NodeTitleTest, HashesFoldCaseWithTheFixedTables)
{
    struct Case {
        const char* title;
        uint16_t hash; // worked out by hand from the rule
    };
    static const Case kCases[] = {
        { "Untitled", 0x7e9a },
        { "UNTITLED", 0x7e9a },
        { "intro", 0x8df7 },
        { "C", 0x63 },
        { "\xc9T\xc9", 0x45 }, // upper-case accents of code page 1252 fold too
        { "", 1 }, // 0 is kept for untitled nodes
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.title);
        EXPECT_EQ(node_title_hash(c.title), c.hash);
    }
    EXPECT_EQ(node_title_is_reserved("untitled"), 1);
    EXPECT_EQ(node_title_is_reserved("DELETEDICON"), 1);
    EXPECT_EQ(node_title_is_reserved("Calcs from Map"), 1);
    EXPECT_EQ(node_title_is_reserved("Intro"), 0);
    EXPECT_EQ(node_title_is_reserved(nullptr), 0);
}

// Two icons whose titles differ in case, searched through the stored hash, by a walk when the
// file has none, and in a file of the other byte order.
TEST_F(NodeTitleTest, FindsIconsByTitleIgnoringCase)
{
    struct Case {
        const char* settings;
        uint32_t first, second; // the hash finds by number, a walk in tree order
    };
    static const Case kCases[] = {
        { "", 9, 20 },
        { "title-hash off\n", 20, 9 },
        { "order big\n", 9, 20 },
    };
    int slot = 1;
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.settings);
        ASSERT_EQ(open_piece(slot, std::string("kind PCRS\n") + c.settings
                      + "icon map \"Top\" {\n"
                        "    icon calc \"Hidden\" node 3\n" // below 7: never titled
                        "    icon map \"Group\" {\n"
                        "        icon calc \"intro\" node 20\n"
                        "    }\n"
                        "    icon calc \"Intro\" node 9\n"
                        "    icon calc \"\\xc9t\\xc9\"\n"
                        "}\n"),
            0);
        int unique = -1;
        EXPECT_EQ(node_find_by_title(slot, "INTRO", 0, &unique), icon(slot, c.first));
        EXPECT_EQ(unique, 0);
        EXPECT_EQ(node_find_by_title(slot, "INTRO", c.first, &unique), icon(slot, c.second));
        EXPECT_EQ(unique, 1);
        EXPECT_EQ(node_find_by_title(slot, "intro", 0, nullptr), icon(slot, c.first));
        EXPECT_NE(titled(slot, "\xc9T\xc9"), 0u);
        EXPECT_EQ(titled(slot, "Intr"), 0u);
        EXPECT_EQ(titled(slot, "Hidden"), 0u);
        EXPECT_EQ(title_of(icon(slot, 3)), "");
        EXPECT_EQ(title_of(icon(slot, 20)), "intro");
        slot++;
    }
}

TEST_F(NodeTitleTest, EveryTitledNodeHasAStoredHash)
{
    ASSERT_EQ(open_piece(1, kTreeDescription), 0);
    MemHandle hashes = rec_get(rec_make_id(1, node_dir_word(1, kDirTitleHash)));
    ASSERT_TRUE(hashes);
    struct Check {
        const uint8_t* hashes;
        int titled;
    } check { static_cast<const uint8_t*>(mem_address(hashes)), 0 };
    node_walk_titles(
        icon(1, 1), kWalkDescendants,
        [](IconId at, const char* title, void* user) {
            Check& c = *static_cast<Check*>(user);
            EXPECT_EQ(plat::load_u16le(c.hashes + 2 * node_icon_number(at)), node_title_hash(title))
                << title;
            c.titled++;
            return 1;
        },
        &check);
    EXPECT_EQ(check.titled, 12);
    rec_release(rec_make_id(1, node_dir_word(1, kDirTitleHash)), kReleaseOne);
}

// The node count may be raised in memory after the hash was loaded for the old one: the search
// reads only the entries the hash record holds.
TEST_F(NodeTitleTest, TheHashSearchStaysInTheHashRecord)
{
    ASSERT_EQ(open_piece(1, kTreeDescription), 0);
    ASSERT_EQ(titled(1, "Far"), icon(1, 600)); // loads the hash of 768 nodes
    node_dir_set_word(1, kDirNodeCount, uint16_t(kNodeCountMax));
    EXPECT_EQ(node_file_node_count(1), kNodeCountMax);
    EXPECT_EQ(titled(1, "Nothing like it"), 0u);
    EXPECT_EQ(titled(1, "Far"), icon(1, 600));
}

// The texts other subsystems give for untitled Navigate icons, conditions and the top icon.
TEST_F(NodeTitleTest, ShownTextsComeFromTheServices)
{
    NodeServices services {};
    services.navigate_description = [](IconId, char* buffer, size_t size) {
        std::snprintf(buffer, size, "Go to page");
        return int(std::strlen(buffer));
    };
    services.condition_text = [](IconId, char* buffer, size_t size) {
        std::snprintf(buffer, size, "x > 1");
        return int(std::strlen(buffer));
    };
    services.piece_name = [](int, char* buffer, size_t size) {
        std::snprintf(buffer, size, "My piece");
        return int(std::strlen(buffer));
    };
    node_set_services(&services);
    const std::string icons = "icon map \"Top\" {\n"
                              "    icon navigate node 7\n"
                              "    icon navigate node 8 {\n"
                              "        kind-block 4\n"
                              "        attr 0x2030520 1\n"
                              "    }\n"
                              "    icon navigate \"Jump\" node 9\n"
                              "    icon interaction \"Ask\" {\n"
                              "        icon calc \"If\" class 8\n"
                              "    }\n"
                              "}\n";
    ASSERT_EQ(open_piece(1, "kind PCRS\n" + icons), 0);
    EXPECT_EQ(title_of(icon(1, 7)), "Go to page");
    EXPECT_EQ(title_of(icon(1, 8)), "");
    EXPECT_EQ(title_of(icon(1, 9)), "Jump");
    char text[64];
    node_title_text(titled(1, "If"), text, sizeof text);
    EXPECT_STREQ(text, "x > 1");
    node_title_text(icon(1, 1), text, sizeof text);
    EXPECT_STREQ(text, "My piece");
    node_title_text(icon(1, 9), text, sizeof text);
    EXPECT_STREQ(text, "Jump");
    // The walk over titles gives the description as a title and skips the untitled icon.
    std::string seen;
    node_walk_titles(
        icon(1, 1), kWalkChildren,
        [](IconId, const char* title, void* user) {
            *static_cast<std::string*>(user) += std::string(title) + ";";
            return 1;
        },
        &seen);
    EXPECT_EQ(seen, "Go to page;Jump;Ask;");
    // A search compares stored titles only, with the hash and by a walk alike.
    ASSERT_EQ(open_piece(2, "kind PCRS\ntitle-hash off\n" + icons), 0);
    for (int slot : { 1, 2 }) {
        SCOPED_TRACE(slot);
        EXPECT_EQ(titled(slot, "Go to page"), 0u);
        EXPECT_EQ(titled(slot, "jump"), icon(slot, 9));
    }
}

// Pending titles are converted once per file; a shared title once in all.
TEST_F(NodeTitleTest, PendingTitlesAreConvertedOnce)
{
    static int s_translated;
    NodeServices services {};
    services.titles_translated = [] { return s_translated; };
    services.title_to_windows = [](char* text, size_t length) {
        for (size_t n = 0; n < length; n++)
            if (uint8_t(text[n]) >= 0x80)
                text[n] = char(uint8_t(text[n]) + 1);
    };
    node_set_services(&services);
    const std::string description = "kind PCRS\nicon map \"Top\" {\n"
                                    "    icon calc \"Caf\\x8e\" pending\n" // node 7
                                    "    icon calc \"Caf\\x8e\" pending\n" // 8, the same string
                                    "    icon calc \"Plain\" pending\n" // 9
                                    "    icon calc \"Other\" mapped\n" // 10: the mapped set
                                    "}\n";
    s_translated = 0;
    ASSERT_EQ(open_piece(1, description), 0);
    EXPECT_EQ(title_of(icon(1, 7)), "Caf\x8e");
    EXPECT_EQ(node_titles_convert(1), 0);
    EXPECT_NE(node_dir_word(1, kDirPendingTitles), 0);
    node_file_close_all(1);

    s_translated = 1;
    ASSERT_EQ(open_piece(1, description), 0);
    char text[32];
    node_title_read(icon(1, 8), text, sizeof text); // converts the copy only
    EXPECT_STREQ(text, "Caf\x8f");
    EXPECT_NE(node_dir_word(1, kDirPendingTitles), 0);
    EXPECT_EQ(title_of(icon(1, 7)), "Caf\x8f"); // converts the file
    EXPECT_EQ(title_of(icon(1, 8)), "Caf\x8f");
    EXPECT_EQ(node_dir_word(1, kDirPendingTitles), 0);
    EXPECT_EQ(node_titles_convert(1), 0);
    const OpenFileEntry* e = node_file_entry(1);
    EXPECT_EQ(idset_contains(e->mapped_titles, 7), 1);
    EXPECT_EQ(idset_contains(e->mapped_titles, 9), 0);
    EXPECT_EQ(node_find_by_title(1, "CAF\x8f", 0, nullptr), icon(1, 7)); // through the new hash

    // Without a mapped set or a hash record nothing is added to them.
    node_file_close_all(1);
    std::string bare = "kind PCRS\ntitle-hash off\n" + description.substr(10);
    bare.replace(bare.find(" mapped"), 7, "");
    ASSERT_EQ(open_piece(1, bare), 0);
    EXPECT_EQ(title_of(icon(1, 7)), "Caf\x8f");
    EXPECT_EQ(node_file_entry(1)->mapped_titles, MemHandle {});
}

// A library's search walks from node 2 when there is no hash.
TEST_F(NodeTitleTest, ALibrarySearchesFromItsTopIcon)
{
    ASSERT_EQ(open_piece(1, "kind PLIB\ntitle-hash off\n"
                            "icon map \"Unused\" node 1 {\n"
                            "    icon calc \"Outside\" node 9\n"
                            "}\n"
                            "icon map \"Library\" {\n"
                            "    icon display \"Logo\" node 8\n"
                            "}\n"),
        0);
    node_file_set_library(1, 1);
    EXPECT_EQ(titled(1, "logo"), icon(1, 8));
    EXPECT_EQ(titled(1, "Outside"), 0u);
}

} // namespace
