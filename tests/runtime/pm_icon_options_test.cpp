// The piece maker's named icon options: each reaches the field or property the runtime's node
// store reads, titles in lists become node numbers, and wrong uses say where.
#include "node_fixture.h"

using namespace nodetest;

namespace {

class PmIconOptionsTest : public NodeTest {
protected:
    // The property's bytes as the node store gives them, as hex; "none" when it is absent.
    static std::string prop_hex(IconId icon, uint16_t tag)
    {
        uint16_t length = 0;
        uint8_t* data = node_lock_prop(icon, tag, &length);
        if (!data)
            return "none";
        std::string out = to_hex(data, length);
        node_unlock_prop(icon, tag, 0, data);
        return out;
    }
    static std::string make_error(const std::string& description)
    {
        PieceDescription piece;
        std::string error;
        pm_parse(description, ".", piece, error);
        return error;
    }
};

// Node numbers are the piece maker's: Box 7, Moved 8, Pause 9, Clear 10, Keep 11, All 12.
constexpr const char* kOptions = R"(kind PCRS
var px 100
icon map "Top" {
    window preset 3 title-bar centre title "Shapes"
    icon display "Box" {
        content 100
        positioning 1
        point 10 -20
        erase-previous
        no-auto-erase
        direct-to-screen
    }
    icon display "Moved" {
        positioning 3
        position x "px"
        position y 50
        position x-start 0
        position x-end "px * 2"
        corners 1 2 300 -4
        reference "Box" 5 3 4
        layer "2 + 1"
    }
    icon wait "Pause" {
        wait time 1.5 key click
    }
    icon erase "Clear" {
        erase listed "Moved" "Box" kind 3 7
    }
    icon erase "Keep" {
        erase all-but
    }
    icon erase "All" {
        erase everything
    }
}
)";

TEST_F(PmIconOptionsTest, OptionsReachTheFieldsTheRuntimeReads)
{
    ASSERT_EQ(open_piece(1, kOptions), 0);
    struct Case {
        const char* title; // "" for the top icon
        uint32_t descriptor;
        uint32_t value;
    };
    static const Case kCases[] = {
        { "", 0x20004F0, 3 }, // the window's size preset
        { "", 0x2000102, 1 }, // title bar
        { "", 0x2000204, 0 }, // no menu bar unless asked
        { "", 0x2080780, 1 }, // centred
        { "Box", 0x4040002, 100 }, // the picture's record
        { "Box", 5, 1 }, // positioning, computed for a Display icon
        { "Box", 0x2030001, 1 }, // erase previous contents
        { "Box", 9, 1 }, // prevent automatic erase
        { "Box", 10, 1 }, // direct to screen
        { "Moved", 5, 3 },
        { "Moved", 0x2030001, 0 },
        { "Moved", 9, 0 },
        { "Moved", 10, 0 },
        { "Pause", 0x2000640, 1 }, // a key ends the wait
        { "Pause", 0x2000780, 1 }, // so does a click
        { "Pause", 0x2000520, 0 }, // no button
        { "Clear", 0x20105E0, 0 }, // erase mode: the listed objects
        { "Keep", 0x20105E0, 1 }, // all but the listed
        { "All", 0x20105E0, 2 }, // everything
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(std::string(c.title) + " " + std::to_string(c.descriptor));
        IconId icon = *c.title ? titled(1, c.title) : this->icon(1, 1);
        ASSERT_NE(icon, 0u);
        EXPECT_EQ(node_get_attr(icon, c.descriptor), c.value);
    }
    EXPECT_EQ(node_content_record(titled(1, "Box")), 100);
}

TEST_F(PmIconOptionsTest, PropertiesHoldTheirBytesWithTitlesAsNodes)
{
    ASSERT_EQ(open_piece(1, kOptions), 0);
    struct Case {
        const char* title;
        uint16_t tag;
        const char* hex;
    };
    static const Case kCases[] = {
        { "", 20, "53686170657300" }, // "Shapes" and its NUL
        { "Box", 5, "0a00ecff" }, // x 10, y -20
        { "Box", 16, "none" },
        { "Moved", 16, "01000200 2c01fcff" }, // x0 y0 x1 y1
        { "Moved", 12, "0700 0500 0300 0400" }, // Box's node, kind 5, x 3, y 4
        { "Clear", 11, "0800 0000 0700 0300 0700 0000" }, // Moved kind 0, Box kind 3, node 7
        { "Keep", 11, "none" }, // an empty list is no list
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(std::string(c.title) + " " + std::to_string(c.tag));
        IconId icon = *c.title ? titled(1, c.title) : this->icon(1, 1);
        EXPECT_EQ(prop_hex(icon, c.tag), std::string(c.hex) == "none" ? "none" : to_hex(from_hex(c.hex)));
    }
}

// The named expressions are the properties a hand-written `code` gives.
TEST_F(PmIconOptionsTest, ExpressionsAreCompiledIntoTheirProperties)
{
    constexpr const char* kByHand = R"(kind PCRS
var px 100
icon map "Top" {
    icon display "Moved" {
        code 1025 "px"
        code 1026 "50"
        code 1027 "0"
        code 1029 "px * 2"
        code 1044 "2 + 1"
    }
    icon wait "Pause" {
        code 1007 "1.5"
    }
}
)";
    ASSERT_EQ(open_piece(1, kOptions), 0);
    ASSERT_EQ(open_piece(2, kByHand), 0);
    struct Case {
        const char* title;
        uint16_t tag;
    };
    static const Case kCases[] = {
        { "Moved", 1025 }, { "Moved", 1026 }, { "Moved", 1027 }, { "Moved", 1028 },
        { "Moved", 1029 }, { "Moved", 1044 }, { "Pause", 1007 },
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(std::to_string(c.tag));
        EXPECT_EQ(prop_hex(titled(1, c.title), c.tag), prop_hex(titled(2, c.title), c.tag));
    }
    EXPECT_NE(prop_hex(titled(1, "Moved"), 1044), "none");
}

TEST_F(PmIconOptionsTest, WrongUsesSayWhere)
{
    struct Case {
        const char* text;
        const char* error;
    };
    static const Case kCases[] = {
        { "icon map {\n icon calc \"C\" {\n  content 5\n }\n}\n",
            "line 3: 'content' is not an option of a calc icon" },
        { "icon map {\n icon wait {\n  erase everything\n }\n}\n",
            "line 3: 'erase' is not an option of a wait icon" },
        { "icon map {\n icon display {\n  wait time 2\n }\n}\n",
            "line 3: 'wait' is not an option of a display icon" },
        { "icon map {\n icon erase {\n  erase some\n }\n}\n",
            "line 3: erase takes listed, all-but or everything, then the icons" },
        { "icon map {\n icon erase {\n  erase listed \"Nobody\"\n }\n}\n",
            "line 2: no icon is titled \"Nobody\"" },
        { "icon map {\n icon display \"A\"\n icon display \"A\"\n icon erase {\n  erase listed \"A\"\n }\n}\n",
            "line 4: more than one icon is titled \"A\"" },
        { "icon map {\n icon erase {\n  erase listed 0\n }\n}\n",
            "line 3: expected a number from 1 to 32767, got '0'" },
        { "icon map {\n icon display {\n  window preset 3\n }\n}\n",
            "line 3: window is an option of the top icon" },
        { "icon map {\n window preset 16\n}\n", "line 2: expected a number from 0 to 15, got '16'" },
        { "icon map {\n window sideways\n}\n", "line 2: unknown window option 'sideways'" },
        { "icon map {\n icon display {\n  position z 5\n }\n}\n",
            "line 3: position takes x, y, x-start, y-start, x-end or y-end" },
        { "icon map {\n icon display {\n  position x nosuch\n }\n}\n",
            "line 3: 'nosuch' is neither a number nor a quoted expression" },
        { "icon map {\n icon display {\n  point 1 2\n  point 3 4\n }\n}\n",
            "line 4: property 5 is given twice" },
        { "icon map {\n icon display {\n  point 1\n }\n}\n", "line 3: 'point' takes 2 argument(s)" },
        { "icon map {\n icon display {\n  corners 1 2 3 40000\n }\n}\n",
            "line 3: expected a number from -32768 to 32767, got '40000'" },
        { "icon map {\n icon wait {\n  wait forever\n }\n}\n", "line 3: unknown wait option 'forever'" },
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(make_error(c.text), c.error);
    }
    // The error's text comes from the runtime's messages, which this binary does not load.
    EXPECT_EQ(make_error("icon map {\n icon display {\n  layer \"nosuch\"\n }\n}\n").rfind(
                  "line 3: calculation error 22: ", 0),
        0u);
}

} // namespace
