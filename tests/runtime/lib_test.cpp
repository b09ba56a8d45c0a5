// Linked icon libraries: a piece made by the piece maker opens with its libraries through the
// real road (piece_open), and each link resolves by its node, by its recorded name, or not at
// all; damaged link records open the piece without links.
#include "hex_fixture.h"
#include "piece_fixture.h"
#include "runtime/pieces/instance.h"

#include <gtest/gtest.h>

namespace {

using namespace nodetest;
using piecetest::PieceFixture;

// Two icons with recorded names ("Pic" at node 7, "Bell" at node 8) and one without.
constexpr const char* kLibrary = R"(kind PLIB
icon map "Lib" node 1
icon map "Top" {
    icon display "Picture" link-name "Pic"
    icon sound "Bell" link-name "Bell"
    icon display "Nameless"
}
)";

class LibTest : public PieceFixture {
protected:
    void SetUp() override
    {
        PieceFixture::SetUp();
        make_file("lib.v5e", kLibrary);
    }
    // Writes the piece and opens it with its libraries: piece_open's result.
    int open_course(const std::string& description)
    {
        make_file("course.v5r", description);
        return piece_open(disk("course.v5r"), nullptr, 0);
    }
    // The next file dialog is cancelled, as a learner would.
    static void queue_cancel()
    {
        std::vector<plat::ScriptCommand> commands;
        std::string error;
        ASSERT_TRUE(plat::script_parse("choose-file cancel\n", commands, error)) << error;
        plat::script_start(commands);
        ASSERT_TRUE(plat::script_run_next(error)) << error;
    }
    // The title of what the icon's link resolves to ("" for 0).
    static std::string target_of(const char* title)
    {
        IconId link = titled(kPieceSlot, title);
        EXPECT_NE(link, 0u) << title;
        IconId target = lib_resolve_icon(link);
        return target ? title_of(target) : "";
    }
};

struct LinkCase {
    const char* icon;
    const char* target; // "" unresolved
};

// Checked by name: node 7 is "Pic"; "Bell" moved from node 99 to 8; a calc cannot link to a
// display; a name the library does not have; an icon that links to nothing is itself.
static const LinkCase kByName[] = {
    {"Show", "Picture"},
    {"Ring", "Bell"},
    {"Wrong kind", ""},
    {"Unknown name", ""},
    {"Plain", "Plain"},
};

TEST_F(LibTest, LinksCheckedByNameResolveByNodeOrByTheirRecordedName)
{
    ASSERT_EQ(open_course(R"(kind PCRS
library "T:\\lib.v5e"
icon map "Course" {
    attr 0x2010410 1
    icon display "Show" link 1 7 "pic"
    icon sound "Ring" link 1 99 "Bell"
    icon calc "Wrong kind" link 1 7 "Pic"
    icon display "Unknown name" link 1 7 "Nope"
    icon display "Plain"
}
)"),
        0);
    for (const LinkCase& c : kByName) {
        SCOPED_TRACE(c.icon);
        EXPECT_EQ(target_of(c.icon), c.target);
    }
    LibInfo info;
    ASSERT_EQ(lib_info(1, &info), 1);
    EXPECT_EQ(info.slot, 2);
    EXPECT_EQ(info.links, 4);
    EXPECT_EQ(info.resolved, 2);
    // The moved link keeps its new number until the piece closes.
    uint16_t flags = 0, library = 0, node = 0;
    ASSERT_EQ(lib_link_record(kPieceSlot, 2, &flags, &library, &node), 1);
    EXPECT_EQ(node, 8);
}

// Without the check by name, the node and kind decide alone.
static const LinkCase kByNode[] = {
    {"Show", "Picture"},
    {"Other name", "Picture"},
    {"Sound at a display", ""},
    {"Past the nodes", ""},
};

TEST_F(LibTest, LinksNotCheckedByNameResolveByNodeAndKind)
{
    ASSERT_EQ(open_course(R"(kind PCRS
library "T:\\lib.v5e"
icon map "Course" {
    icon display "Show" link 1 7
    icon display "Other name" link 1 7 "Nope"
    icon sound "Sound at a display" link 1 7
    icon display "Past the nodes" link 1 40000
}
)"),
        0);
    for (const LinkCase& c : kByNode) {
        SCOPED_TRACE(c.icon);
        EXPECT_EQ(target_of(c.icon), c.target);
    }
}

TEST_F(LibTest, ContentPropertiesFollowTheLinkAndOthersStayWithTheIcon)
{
    ASSERT_EQ(open_course("kind PCRS\nlibrary \"T:\\\\lib.v5e\"\nicon map \"Course\" {\n icon display \"Show\" link 1 7\n}\n"), 0);
    IconId link = titled(kPieceSlot, "Show");
    IconId target = titled(2, "Picture");
    EXPECT_EQ(lib_resolve_icon_for_attr(link, 1700), target);
    EXPECT_EQ(lib_resolve_icon_for_attr(link, 1500), link);
    EXPECT_EQ(lib_linked_icon(link), target);
    EXPECT_EQ(lib_link_target(kPieceSlot, 1), target);
    EXPECT_EQ(lib_link_target(kPieceSlot, 2), 0u); // no such link record
}

TEST_F(LibTest, TwoItemsNamingOneFileShareOneEntry)
{
    ASSERT_EQ(open_course(R"(kind PCRS
library "T:\\lib.v5e"
library "t:\\LIB.V5E"
icon map "Course" {
    icon display "One" link 1 7
    icon display "Two" link 2 7
}
)"),
        0);
    EXPECT_EQ(target_of("One"), "Picture");
    EXPECT_EQ(target_of("Two"), "Picture");
    LibInfo info;
    ASSERT_EQ(lib_info(1, &info), 1);
    EXPECT_EQ(info.links, 2);
    EXPECT_EQ(lib_info(2, &info), 0);
}

// A library that links to a library of its own: both open, each in its slot; the list grows
// while the first one opens.
TEST_F(LibTest, LibrariesOfALibraryOpenToo)
{
    make_file("inner.v5e", "kind PLIB\nicon map \"Lib\" node 1\nicon map \"Top\" {\n icon display \"Deep\"\n}\n");
    make_file("outer.v5e", R"(kind PLIB
library "T:\\inner.v5e"
icon map "Lib" node 1
icon map "Top" {
    icon display "Middle" link 1 7
}
)");
    queue_cancel();
    ASSERT_EQ(open_course("kind PCRS\nlibrary \"T:\\\\outer.v5e\"\nicon map \"Course\" {\n icon display \"Show\" link 1 7\n}\n"), 0);
    EXPECT_EQ(target_of("Show"), "Middle");
    LibInfo outer, inner;
    ASSERT_EQ(lib_info(1, &outer), 1);
    ASSERT_EQ(lib_info(2, &inner), 1);
    EXPECT_EQ(outer.slot, 2);
    EXPECT_EQ(inner.slot, 3);
}

TEST_F(LibTest, InternalLibraryIsThePieceItself)
{
    ASSERT_EQ(open_course(R"(kind PCRS
library internal
icon map "Course" {
    icon display "Own" node 20
    icon display "Link" link 1 20
}
)"),
        0);
    EXPECT_EQ(target_of("Link"), "Own");
    char name[32];
    lib_display_name(1, name, sizeof name);
    EXPECT_STREQ(name, "[Internal]");
}

TEST_F(LibTest, OpenLibraryAnswersTheFileQuestionAndClosesWithThePiece)
{
    ASSERT_EQ(open_course("kind PCRS\nlibrary \"T:\\\\lib.v5e\"\nicon map \"Course\" {\n icon display \"Show\" link 1 7\n}\n"), 0);
    EXPECT_EQ(lib_file_in_use(disk("lib.v5e")), kAnswerReadOnly);
    EXPECT_EQ(piece_file_in_use(disk("lib.v5e")), kAnswerReadOnly);
    EXPECT_EQ(piece_file_in_use(disk("course.v5r")), kAnswerReadOnly);
    EXPECT_EQ(piece_file_in_use(disk("other.v5r")), kAnswerNotOpen);
    // The question's atom: this instance's answer for the path it names.
    struct AtomCase {
        const char* path;
        int answer;
    };
    static const AtomCase kAtoms[] = {
        {"T:\\course.v5r", kAnswerReadOnly},
        {"t:\\LIB.V5E", kAnswerReadOnly},
        {"T:\\other.v5r", kAnswerNotOpen},
        {"Q:\\no drive\\x.v5r", kAnswerUnusable}, // counted as free, never as read-only use
    };
    for (const AtomCase& c : kAtoms) {
        SCOPED_TRACE(c.path);
        plat::Atom atom = plat::global_add_atom(c.path);
        EXPECT_EQ(piece_answer_file_question(atom), c.answer);
        plat::global_delete_atom(atom);
    }
    EXPECT_EQ(piece_answer_file_question(0), kAnswerUnusable);
    piece_close(0);
    EXPECT_EQ(node_file_is_open(2), 0);
    EXPECT_EQ(lib_file_in_use(disk("lib.v5e")), kAnswerNotOpen);
    EXPECT_EQ(piece_slot(), 0);
}

// Damaged link or library records open the piece without links: every link reads unresolved.
struct DamageCase {
    const char* name;
    const char* records; // statements appended to the piece
    const char* target; // of "Show"
};
static const DamageCase kDamage[] = {
    {"link records without their mark", "dir 5 900\nrecord 900 -1 raw hex \"0000 00000000 01000000 00000000\"\n", ""},
    {"link records cut short", "dir 5 900\nrecord 900 -1 raw hex \"0080 0000\"\n", ""},
    {"library list missing", "dir 7 0\n", ""},
    {"library list of one byte", "dir 7 900\nrecord 900 -1 raw hex \"00\"\n", ""},
    // A header that claims more records than there are is clamped to the record.
    {"count past the record", "dir 5 900\nrecord 900 -1 raw hex \"0080 00000000 ffffff00 000000000000 0100 0000 0100 0700 0100 0000 00000000\"\n",
        "Picture"},
    {"library index past the list", "dir 5 900\nrecord 900 -1 raw hex \"0080 00000000 01000000 000000000000 0100 0000 0900 0700 0100 0000 00000000\"\n",
        ""},
    {"file reference damaged", "dir 36 900\nrecord 900 -1 raw hex \"0100 0800 01000000 ffffffff 0000\"\n", ""},
};

TEST_F(LibTest, DamagedLinkRecordsOpenThePieceWithoutLinks)
{
    for (const DamageCase& c : kDamage) {
        SCOPED_TRACE(c.name);
        std::string piece = "kind PCRS\nlibrary \"T:\\\\lib.v5e\"\nicon map \"Course\" {\n icon display \"Show\" link 1 7\n}\n";
        queue_cancel(); // a library whose file reference names nothing is asked for
        ASSERT_EQ(open_course(piece + c.records), 0);
        EXPECT_EQ(target_of("Show"), c.target);
        piece_close(0);
        plat::script_reset();
    }
}

// The piece maker's link records and library list, checked by hand against the layout.
TEST_F(LibTest, PieceMakerWritesLinkRecordsAndLibraryItemsAsLaidOut)
{
    make_file("course.v5r", "kind PCRS\nlibrary \"L.v5e\"\nicon map \"Course\" {\n icon sound \"S\" link 1 9 \"Ab\"\n}\n");
    ASSERT_EQ(open(kPieceSlot, disk("course.v5r")), 0);
    ASSERT_EQ(node_file_open(kPieceSlot, 0), 0);
    // Header {0x8000, 0, count 1}, then flags 1, -, library 1, node 9, kind 10 (sound), -,
    // name at 8 in the names pool.
    EXPECT_EQ(hex(rec_make_id(kPieceSlot, node_dir_word(kPieceSlot, 5))),
        "008000000000010000000000000000000100000001000900" "0a00000008000000");
    std::string list = hex(rec_make_id(kPieceSlot, node_dir_word(kPieceSlot, 7)));
    ASSERT_EQ(list.size(), 2u * 1024);
    EXPECT_EQ(list.substr(0, 20), "00800000000001000000");
    EXPECT_EQ(list.substr(1024, 8), "01000100"); // used, number 1
    // Tag 1, 30 bytes: {1, count 2, index 0 empty, 14 bytes: {6, "L.v5e", 0}}, the end.
    EXPECT_EQ(hex(rec_make_id(kPieceSlot, node_dir_word(kPieceSlot, 36))),
        "01001e00" "0100000002000000000000000e000000" "060000004c2e76356500" "00000000" "0000");
}

} // namespace
