#include "node_fixture.h"

using namespace nodetest;

namespace {

using NodeFilesTest = NodeTest;

// A top Display icon with one Calc child, stored raw: every byte below is counted by hand.
constexpr const char* kSmallPiece = "kind PCRS\n"
                                    "node-storage raw\n"
                                    "icon display \"Ab\" {\n"
                                    "    icon calc \"C\" {\n"
                                    "        kind-block 3\n"
                                    "    }\n"
                                    "}\n";

// Hex rows with blanks between fields, as bytes_at gives them.
std::string row(const char* hex) { return to_hex(from_hex(hex)); }

TEST_F(NodeFilesTest, ThePieceMakerWritesTheHandCheckedRecords)
{
    ASSERT_EQ(open_piece(1, kSmallPiece), 0);
    auto bytes_at = [](RecordId id, size_t offset, size_t count) {
        return hex(id).substr(2 * offset, 2 * count);
    };
    // The directory: node count 256, title pool 2, title hash 3, groups 4 and 5.
    EXPECT_EQ(bytes_at(rec_make_id(1, 1), 0, 6), row("0001 0000 0200"));
    EXPECT_EQ(bytes_at(rec_make_id(1, 1), 2 * 28, 2), row("0300"));
    EXPECT_EQ(bytes_at(rec_make_id(1, 1), 2 * 94, 10), row("0400 0500 0000 0000 0000"));
    // The pool {u32 0, u32 used 13, "Ab", "C"}.
    EXPECT_EQ(hex(rec_make_id(1, 2)), row("00000000 0d000000 416200 4300"));
    // One hash per node: node 1 is untitled to the runtime; node 7's is 'c' = 0x63.
    EXPECT_EQ(hex(rec_make_id(1, 3)).size(), 2u * 512);
    EXPECT_EQ(bytes_at(rec_make_id(1, 3), 0, 16), row("0000 0000 0000 0000 0000 0000 0000 6300"));
    // Headers: node 0 at 514, node 1 at 524, each free node 10 bytes, node 7 at 584 with its
    // 3-byte kind block padded to 4.
    RecordId headers = rec_make_id(1, 4);
    EXPECT_EQ(bytes_at(headers, 0, 18), row("0202 0c02 1602 2002 2a02 3402 3e02 4802 5602"));
    // Node 1: Display (kind 1) with title id 8, first child 7.
    EXPECT_EQ(bytes_at(headers, 524, 10), row("08000010 0000 0000 0700"));
    // Node 7: Calc with title id 11, parent 1, kind block and pad.
    EXPECT_EQ(bytes_at(headers, 584, 14), row("0b000080 0100 0000 0000 000000 00"));
    EXPECT_EQ(bytes_at(headers, 512, 2), row("060c")); // entry 256: 598 + 248 * 10
    // Properties: every list empty (2 bytes) from 1028.
    EXPECT_EQ(bytes_at(rec_make_id(1, 5), 0, 12), row("04040000 06040000 08040000"));
    EXPECT_EQ(bytes_at(rec_make_id(1, 5), 1024, 6), row("04060000 0000"));
}

TEST_F(NodeFilesTest, OpensAndClosesTheDirectory)
{
    ASSERT_EQ(open_piece(1, "kind PCRS\n"
                            "dir-bytes 600\n" // words 300 to 605 read 0
                            "dir 299 77\n"
                            "dir 300 88\n"
                            "icon map \"Top\"\n"),
        0);
    EXPECT_EQ(node_file_is_open(1), 1);
    EXPECT_EQ(node_dir_word(1, 299), 77);
    EXPECT_EQ(node_dir_word(1, 300), 0);
    EXPECT_EQ(node_dir_word(1, 605), 0);
    EXPECT_EQ(node_dir_word(1, 606), 0);
    EXPECT_EQ(node_file_node_count(1), 256u);
    EXPECT_EQ(node_file_is_library(1), 0);
    node_file_set_library(1, 1);
    EXPECT_EQ(node_file_is_library(1), 1);
    node_file_close(1);
    EXPECT_EQ(node_file_is_open(1), 0);
    EXPECT_EQ(node_kind(icon(1, 1)), kKindFree);
    node_file_close(1); // a second close finds nothing to do
    node_file_close_all(1);
    EXPECT_EQ(rec_slot(1), nullptr);

    // An editable file without record 1 (a packaged one would hold it empty).
    ASSERT_EQ(open(2, memory(piece_bytes("kind VCRS\nrecord 2 -1 raw text \"x\"\n"))), 0);
    EXPECT_EQ(node_file_open(2, 0), 5002);
    EXPECT_EQ(node_file_is_open(2), 0);
    EXPECT_EQ(node_file_open(0, 0), 8);
    EXPECT_EQ(node_file_open(26, 0), 8);
}

// The record store may close a file (or all of them, at shutdown) before the node store lets
// go of it: the entry's blocks are then gone, and its record numbers may name another file's.
TEST_F(NodeFilesTest, AFileTheRecordStoreClosedFirstIsLetGo)
{
    const std::string other = "kind PCRS\nicon calc \"Other\" {\n icon calc \"Child\"\n}\n";
    for (bool reopen : { false, true }) {
        SCOPED_TRACE(reopen ? "slot reopened" : "slot closed");
        ASSERT_EQ(open_piece(1, kTreeDescription), 0);
        ASSERT_EQ(titled(1, "Page two"), icon(1, 300)); // group 1 and the title records loaded
        rec_close_file(1);
        EXPECT_EQ(node_kind(icon(1, 300)), kKindFree);
        EXPECT_EQ(node_dir_word(1, kDirGroupBase), 0);
        if (reopen) {
            // Another file in the slot: what it holds must not be given back for the old one.
            ASSERT_EQ(open(1, memory(piece_bytes(other))), 0);
            MemHandle held = rec_get(rec_make_id(1, 1));
            ASSERT_TRUE(held);
            EXPECT_EQ(node_file_open(1, 0), 0);
            EXPECT_EQ(title_of(titled(1, "Child")), "Child");
            node_file_close(1);
            EXPECT_NE(mem_address(held), nullptr);
            rec_release(rec_make_id(1, 1), kReleaseOne);
        }
        node_file_close(1);
        EXPECT_EQ(node_file_is_open(1), 0);
        rec_close_file(1);
    }
    ASSERT_EQ(open_piece(2, kTreeDescription), 0);
    rec_close_all(); // the order of the program's shutdown
    node_files_free();
    EXPECT_EQ(node_file_is_open(2), 0);
}

// A damaged directory that names itself as the title hash gets hashes written over its group
// words when pending titles are converted: what the entry took is still what it writes to and
// gives back, not what the words name now.
TEST_F(NodeFilesTest, TheEntryKeepsTheRecordsItTookWhenTheDirectoryChanges)
{
    NodeServices services {};
    services.titles_translated = [] { return 1; };
    services.title_to_windows = [](char*, size_t) {};
    node_set_services(&services);
    // Nodes 94 and 95 put their hashes ('a', 'b') on the words of groups 0.
    FileSpec* spec = memory(piece_bytes("kind VCRS\ndir 28 1\nicon map \"Top\" {\n"
                                        "    icon calc \"A\" node 94 pending\n"
                                        "    icon calc \"B\" node 95 pending {\n"
                                        "        prop 200 text \"old\"\n"
                                        "    }\n"
                                        "}\n"));
    ASSERT_EQ(open(1, spec, kRecOpenWritable), 0);
    ASSERT_EQ(node_file_open(1, 0), 0);
    const uint16_t headers = node_dir_word(1, kDirGroupBase);
    const uint16_t properties = node_dir_word(1, kDirGroupBase + 1);
    ASSERT_TRUE(node_prop_group(icon(1, 95)));
    EXPECT_EQ(title_of(icon(1, 95)), "B"); // converts
    EXPECT_EQ(node_dir_word(1, kDirGroupBase + 1), 'b');
    EXPECT_EQ(node_put_prop(icon(1, 95), 200, "new", 3), 0);
    ASSERT_EQ(rec_flush(1, 0), 0);
    node_file_close(1);
    for (uint16_t number : { uint16_t(1), headers, properties })
        EXPECT_EQ(cached(rec_make_id(1, number)), nullptr) << number;
    rec_close_file(1);

    node_set_services(nullptr);
    ASSERT_EQ(open(1, memory(memory_bytes(spec))), 0);
    ASSERT_EQ(node_file_open(1, 0), 0);
    MemHandle text = node_get_prop(icon(1, 95), 200);
    ASSERT_TRUE(text);
    EXPECT_EQ(std::string(static_cast<const char*>(mem_address(text)), 3), "new");
    mem_free(text);
}

TEST_F(NodeFilesTest, OnlyIconsBelowTheCountAreValid)
{
    ASSERT_EQ(open_piece(3, "kind PCRS\nnode-count 200\nicon map \"Top\" {\n"
                            " icon calc \"Last\" node 199\n}\n"),
        0);
    struct Case {
        IconId icon;
        int valid;
    };
    static const Case kCases[] = {
        { node_make_icon(3, 1), 1 },
        { node_make_icon(3, 199), 1 },
        { node_make_icon(3, 0), 0 },
        { node_make_icon(3, 2), 0 }, // free
        { node_make_icon(3, 200), 0 }, // at the count, though its group holds it
        { node_make_icon(0, 1), 0 },
        { node_make_icon(26, 1), 0 },
        { node_make_icon(4, 1), 0 }, // a slot that is not open
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.icon);
        EXPECT_EQ(node_is_valid(c.icon), c.valid);
    }
}

// What other subsystems do while a file opens and closes.
TEST_F(NodeFilesTest, TheServicesRunInOrderAndTheirErrorFailsTheOpen)
{
    static std::string s_calls;
    static int s_style_error;
    NodeServices services {};
    services.links_load = [](int slot) { return s_calls += "links" + std::to_string(slot) + ",", 1; };
    services.text_styles_load = [](int) { return s_calls += "styles,", s_style_error; };
    services.cursors_and_buttons_load = [](int) { s_calls += "cursors,"; };
    services.variable_names_build = [](int) { s_calls += "names,"; };
    services.text_styles_release = [](int) { s_calls += "release styles,"; };
    node_set_services(&services);
    s_calls.clear();
    s_style_error = 0;
    ASSERT_EQ(open_piece(1, "kind PCRS\nicon map \"Top\"\n"), 0);
    EXPECT_EQ(s_calls, "links1,styles,cursors,names,");
    s_calls.clear();
    node_file_close(1);
    EXPECT_EQ(s_calls, "release styles,");
    s_calls.clear();
    s_style_error = 4005;
    EXPECT_EQ(node_file_open(1, 0), 4005);
    EXPECT_EQ(s_calls, "links1,styles,");
}

TEST_F(NodeFilesTest, TheProgramDumpsTheTree)
{
    std::string description = std::string(kTreeDescription);
    std::ofstream(host("tree.txt")) << description;
    std::ofstream(host("cycle.txt")) << "kind PCRS\nicon map \"Top\" {\n"
                                        " icon calc \"A\" node 7 {\n  links 1 8 0\n }\n"
                                        " icon calc \"B\" node 8 {\n  links 1 7 0\n }\n}\n";
    std::string tool = PIECEMAKER_PATH, out;
    auto run = [&](const std::string& arguments) {
        out.clear();
        FILE* pipe = popen((tool + " " + arguments + " 2>&1").c_str(), "r");
        char buffer[4096];
        for (size_t got; pipe && (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            out.append(buffer, got);
        int status = pipe ? pclose(pipe) : -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    ASSERT_EQ(run("build " + host("tree.txt") + " " + host("tree.v5r")), 0) << out;
    ASSERT_EQ(run("dump --tree " + host("tree.v5r")), 0) << out;
    EXPECT_EQ(out, "1 map class 0 \"\"\n"
                   "  7 map class 0 \"Intro\"\n"
                   "    8 display class 0 \"Title screen\"\n"
                   "    9 wait class 0 \"Pause\"\n"
                   "  10 framework class 0 \"Frame\"\n"
                   "    11 display class 0 \"Page one\"\n"
                   "    300 display class 0 \"Page two\"\n"
                   "    12 calc class 0 \"Entry\"\n"
                   "    13 erase class 0 \"Exit\"\n"
                   "    14 calc class 0 \"Exit calc\"\n"
                   "  15 interaction class 0 \"Ask\"\n"
                   "    16 calc class 3 \"Hot\"\n"
                   "  600 sound class 0 \"Far\"\n");
    ASSERT_EQ(run("build " + host("cycle.txt") + " " + host("cycle.v5r")), 0) << out;
    EXPECT_EQ(run("dump --tree " + host("cycle.v5r")), 1);
    EXPECT_EQ(out.substr(out.size() - 11), "error 5000\n") << out;
    EXPECT_EQ(run("dump --tree " + host("absent.v5r")), 1);
    EXPECT_EQ(out, "error 2\n");

    // Titles longer than any line buffer come whole, each on its own line.
    for (size_t length : { 255u, 300u, 2000u }) {
        SCOPED_TRACE(length);
        std::string title(length, 'x');
        title.back() = 'Z';
        std::ofstream(host("long.txt")) << "kind PCRS\nicon map \"Top\" {\n icon calc \"" << title
                                        << "\" node 7\n icon wait \"Next\" node 8\n}\n";
        ASSERT_EQ(run("build " + host("long.txt") + " " + host("long.v5r")), 0) << out;
        ASSERT_EQ(run("dump --tree " + host("long.v5r")), 0) << out;
        EXPECT_EQ(out, "1 map class 0 \"\"\n  7 calc class 0 \"" + title
                           + "\"\n  8 wait class 0 \"Next\"\n");
    }
}

} // namespace
