#include "node_fixture.h"

using namespace nodetest;

namespace {

using NodeTreeTest = NodeTest;

TEST_F(NodeTreeTest, WalksVisitInTheirOrder)
{
    struct Case {
        const char* start; // a title, or "" for node 1
        int mode;
        const char* visits;
    };
    static const Case kCases[] = {
        { "", kWalkChildren, "Intro,Frame,Ask,Far" },
        { "Frame", kWalkChildren, "Page one,Page two" }, // list 2 only
        { "", kWalkDescendants,
            "Intro,Title screen,Pause,Frame,Page one,Page two,Entry,Exit,Exit calc,Ask,Hot,Far" },
        { "Intro", kWalkFollowing, "Frame,Ask,Far" },
        { "Hot", kWalkAncestors, "Ask,#1" },
        { "Hot", kWalkNothing, "" },
        // by number: node 300 of group 1 and node 600 of group 2 come last
        { "Intro", kWalkNumbers,
            "#1,Intro,Title screen,Pause,Frame,Page one,Entry,Exit,Exit calc,Ask,Hot,Page two,Far" },
        { "Intro", kWalkTree, "Intro,Title screen,Pause" },
        { "Intro", kWalkPostDescendants, "Title screen,Pause" },
        { "Frame", kWalkPostTree, "Page one,Page two,Entry,Exit,Exit calc,Frame" },
        { "Far", kWalkChildren, "" },
    };
    ASSERT_EQ(open_piece(1, kTreeDescription), 0);
    for (const Case& c : kCases) {
        SCOPED_TRACE(std::string(c.start) + " mode " + std::to_string(c.mode));
        IconId start = *c.start ? titled(1, c.start) : icon(1, 1);
        ASSERT_NE(start, 0u);
        EXPECT_EQ(walk_titles(start, c.mode), c.visits);
        EXPECT_EQ(node_error_word(), 0);
    }
}

TEST_F(NodeTreeTest, AVisitThatStopsEndsTheWholeWalk)
{
    ASSERT_EQ(open_piece(1, kTreeDescription), 0);
    IconId top = icon(1, 1);
    struct Stop {
        IconId at;
        int visited;
    };
    auto stop_at = [](IconId visited, void* user) {
        Stop& s = *static_cast<Stop*>(user);
        s.visited++;
        return visited == s.at ? 0 : 1;
    };
    // Deep inside a Framework's list 3: nothing after it, not even the levels above.
    Stop s { titled(1, "Entry"), 0 };
    EXPECT_EQ(node_walk(top, kWalkDescendants, stop_at, &s), s.at);
    EXPECT_EQ(s.visited, 7);
    s = { top, 0 };
    EXPECT_EQ(node_walk(top, kWalkTree, stop_at, &s), top);
    EXPECT_EQ(s.visited, 1);
    s = { titled(1, "Page two"), 0 };
    EXPECT_EQ(node_walk(titled(1, "Frame"), kWalkPostTree, stop_at, &s), s.at);
    EXPECT_EQ(s.visited, 2);
}

TEST_F(NodeTreeTest, NavigatesListsAndKinds)
{
    ASSERT_EQ(open_piece(1, kTreeDescription), 0);
    IconId top = icon(1, 1), frame = titled(1, "Frame"), entry = titled(1, "Entry");
    IconId exit = titled(1, "Exit"), exit_calc = titled(1, "Exit calc"), hot = titled(1, "Hot");
    IconId page_one = titled(1, "Page one"), page_two = titled(1, "Page two");
    EXPECT_EQ(node_icon_number(page_two), 300u);
    EXPECT_EQ(node_parent(page_two), frame);
    EXPECT_EQ(node_next(page_one), page_two);
    EXPECT_EQ(node_child_list(frame, kListFramework3), entry);
    EXPECT_EQ(node_child_list(frame, kListFramework4), exit);
    EXPECT_EQ(node_child_list_of(frame, page_two), 2);
    EXPECT_EQ(node_child_list_of(frame, entry), 3);
    EXPECT_EQ(node_child_list_of(frame, exit_calc), 4);
    EXPECT_EQ(node_child_list_of(frame, hot), 0);
    EXPECT_EQ(node_child_list_of(titled(1, "Ask"), hot), 2);
    EXPECT_EQ(node_prev_sibling(entry), 0u); // first of list 3, though list 2 ends before it
    EXPECT_EQ(node_prev_sibling(exit_calc), exit);
    EXPECT_EQ(node_prev_sibling(page_two), page_one);
    EXPECT_EQ(node_prev_sibling(top), 0u);
    EXPECT_EQ(node_nth_child(2, frame, kListFramework4), exit_calc);
    EXPECT_EQ(node_nth_child(3, frame, kListFramework4), 0u);
    EXPECT_EQ(node_nth_child(0, frame, kListChildren), 0u);
    EXPECT_EQ(node_child_index(page_two), 2);
    EXPECT_EQ(node_child_index(exit_calc), 2);
    EXPECT_EQ(node_child_index(top), 0);
    EXPECT_EQ(node_child_count(frame), 2);
    EXPECT_EQ(node_child_count_in(frame, kListFramework4), 2);
    EXPECT_EQ(node_child_count(top), 4);
    EXPECT_EQ(node_last_child(top), titled(1, "Far"));
    EXPECT_EQ(node_has_ancestor(hot, top), 1);
    EXPECT_EQ(node_has_ancestor(hot, hot), 1);
    EXPECT_EQ(node_has_ancestor(hot, frame), 0);
    EXPECT_EQ(node_enclosing_container(hot), titled(1, "Ask"));
    EXPECT_EQ(node_enclosing_container(exit), frame);
    EXPECT_EQ(node_enclosing_container(titled(1, "Pause")), 0u);

    struct Kinds {
        const char* title;
        int kind, layout_class, container, in_container, page, group;
    };
    static const Kinds kKinds[] = {
        { "Intro", kKindMap, 0, 0, 0, 0, 1 },
        { "Frame", kKindFramework, 0, 1, 0, 0, 0 },
        { "Page one", kKindDisplay, 0, 0, 1, 1, 0 },
        { "Entry", kKindCalc, 0, 0, 0, 0, 0 }, // list 3 holds no pages
        { "Hot", kKindCalc, 3, 0, 1, 0, 0 },
        { "Far", kKindSound, 0, 0, 0, 0, 0 },
    };
    for (const Kinds& k : kKinds) {
        SCOPED_TRACE(k.title);
        IconId at = titled(1, k.title);
        EXPECT_EQ(node_kind(at), k.kind);
        EXPECT_EQ(node_layout_class(at), k.layout_class);
        EXPECT_EQ(node_is_container(at), k.container);
        EXPECT_EQ(node_in_container(at), k.in_container);
        EXPECT_EQ(node_is_page(at), k.page);
        EXPECT_EQ(node_is_group(at), k.group);
    }
    EXPECT_EQ(node_parent_is_interaction(hot), 1);
    EXPECT_EQ(node_parent_is_decision(hot), 0);
    EXPECT_EQ(node_kind(icon(1, 0)), kKindFree);
    EXPECT_EQ(node_kind(icon(1, 2)), kKindFree);
    EXPECT_EQ(node_error_word(), 0);
}

TEST_F(NodeTreeTest, GroupsLoadWhenTheirNodesAreRead)
{
    ASSERT_EQ(open_piece(1, kTreeDescription), 0);
    const OpenFileEntry* e = node_file_entry(1);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->node_count, 768u);
    EXPECT_EQ(e->groups.header_state[0], kGroupLoaded);
    EXPECT_EQ(e->groups.header_state[1], kGroupNotLoaded);
    EXPECT_EQ(node_kind(icon(1, 300)), kKindDisplay);
    EXPECT_EQ(e->groups.header_state[1], kGroupLoaded);
    EXPECT_EQ(e->groups.header_state[2], kGroupNotLoaded);
    EXPECT_EQ(e->groups.property_state[1], kGroupNotLoaded);
}

// The same tree read from a file in the other byte order, and from a library whose top
// icon is node 2.
TEST_F(NodeTreeTest, BothByteOrdersAndALibraryReadTheSame)
{
    std::string big = std::string(kTreeDescription).replace(0, 9, "kind PCRS\norder big");
    ASSERT_EQ(open_piece(1, kTreeDescription), 0);
    ASSERT_EQ(open_piece(2, big), 0);
    for (int mode : { int(kWalkDescendants), int(kWalkNumbers) })
        EXPECT_EQ(walk_titles(icon(2, 1), mode), walk_titles(icon(1, 1), mode));
    EXPECT_EQ(title_of(icon(2, 300)), "Page two");

    ASSERT_EQ(open_piece(3, "kind PLIB\n"
                            "icon map \"Unused top\" node 1\n"
                            "icon map \"Library\" {\n"
                            "    icon display \"Logo\"\n"
                            "    icon sound \"Chime\"\n"
                            "}\n"),
        0);
    node_file_set_library(3, 1);
    IconId chime = titled(3, "Chime");
    EXPECT_EQ(node_parent(chime), icon(3, 2));
    EXPECT_EQ(walk_titles(chime, kWalkLibraryTop), "Logo,Chime");
    EXPECT_EQ(walk_titles(icon(3, 1), kWalkLibraryTop), "Logo,Chime");
}

// Links that do not fit end every walk and search with the damage error, and never loop.
TEST_F(NodeTreeTest, DamagedLinksEndWalksWithTheDamageError)
{
    struct Case {
        const char* name;
        const char* icons; // children of the top icon (node 1)
    };
    static const Case kCases[] = {
        { "next links in a circle",
            "icon calc \"A\" node 7 {\n links 1 8 0\n}\nicon calc \"B\" node 8 {\n links 1 7 0\n}\n" },
        { "a first child that is an ancestor", "icon calc \"A\" node 7 {\n links 1 0 1\n}\n" },
        { "a next sibling that is free", "icon calc \"A\" node 7 {\n links 1 50 0\n}\n" },
        { "a member that names another parent",
            "icon map \"A\" node 7 {\n icon calc \"C\" node 9\n}\n"
            "icon calc \"B\" node 8 {\n links 1 9 0\n}\n" },
        { "parents in a circle",
            "icon map \"A\" node 7 {\n links 8 0 0\n}\nicon map \"B\" node 8 {\n links 7 0 0\n}\n" },
        { "a list 3 head outside the Framework",
            "icon framework \"A\" node 7 {\n bytes kind 0 u16 8\n}\nicon calc \"B\" node 8\n" },
        { "a child whose own child is its parent",
            "icon map \"A\" node 7 {\n links 1 0 8\n}\nicon map \"B\" node 8 {\n links 7 0 7\n}\n" },
    };
    int slot = 1;
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        std::string description = std::string("kind PCRS\ntitle-hash off\nicon map \"Top\" {\n")
            + c.icons + "}\n";
        ASSERT_EQ(open_piece(slot, description), 0);
        IconId top = icon(slot, 1), a = icon(slot, 7);
        walk_titles(top, kWalkDescendants);
        EXPECT_EQ(node_error_word(), 5000);
        walk_titles(top, kWalkPostTree);
        EXPECT_EQ(node_error_word(), 5000);
        // The rest only has to end.
        walk_titles(top, kWalkChildren);
        walk_titles(a, kWalkAncestors);
        walk_titles(a, kWalkTree);
        node_child_count(top);
        node_last_child(a);
        node_prev_sibling(icon(slot, 8));
        node_child_index(a);
        node_has_ancestor(a, icon(slot, 5));
        node_find_by_title(slot, "nothing", 0, nullptr); // without a hash: a walk
        EXPECT_EQ(node_error_word(), 5000);
        node_file_close(slot);
        rec_close_file(slot);
        slot = slot % 25 + 1;
    }
}

// Links and counts checked when a group loads: the node count, links at or above it, and
// offsets that fall.
TEST_F(NodeTreeTest, GroupsThatDoNotFitAreRefused)
{
    struct Case {
        const char* name;
        const char* description;
        int open;
    };
    static const Case kCases[] = {
        { "a link at the node count", "node-count 9\nicon map \"Top\" {\n icon calc \"A\" node 8 {\n"
            " links 1 9 0\n }\n}\n", 5000 },
        { "a count above 128 groups", "node-count 40000\nicon map \"Top\"\n", 5000 },
        { "a count that leaves out node 1", "node-count 1\nicon map \"Top\"\n", 8 },
        // group 0 named by the property group's record: its offsets fall
        { "offsets that fall", "node-storage raw\ndir 94 3\nicon map \"Top\"\n", 5000 },
        { "a missing header group", "dir 94 0\nicon map \"Top\"\n", 8 },
        { "node 1 free", "icon map \"Top\" node 7\n", 8 },
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(open_piece(1, std::string("kind PCRS\n") + c.description), c.open);
        EXPECT_EQ(node_file_is_open(1), 0);
        EXPECT_EQ(node_kind(icon(1, 1)), kKindFree);
        rec_close_file(1);
    }
    // A damaged group that is not group 0 reads as free nodes; the rest of the tree stays.
    ASSERT_EQ(open_piece(1, "kind PCRS\nicon map \"Top\" {\n icon calc \"Near\"\n"
                            " icon calc \"Far\" node 300 {\n  links 1 2000 0\n }\n}\n"),
        0);
    EXPECT_EQ(node_kind(icon(1, 300)), kKindFree);
    EXPECT_EQ(node_group_load_error(icon(1, 300)), 5000);
    EXPECT_EQ(node_is_valid(icon(1, 300)), 0);
    EXPECT_EQ(walk_titles(icon(1, 1), kWalkDescendants), "Near");
    EXPECT_EQ(node_error_word(), 5000);
}

} // namespace
