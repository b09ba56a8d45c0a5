// Shared by the node store's tests: course and library files made by the piece maker from
// descriptions, opened into record-store slots and then into the node store.
#pragma once
#include "rec_store_fixture.h"
#include "runtime/nodes/node_attr.h"
#include "runtime/nodes/node_files.h"
#include "runtime/nodes/node_group.h"
#include "runtime/nodes/node_title.h"
#include "runtime/nodes/node_tree.h"

#include <string>
#include <vector>

namespace nodetest {

using namespace rectest;

// A piece of two groups: the top icon (node 1) holds a Map with two children, a Framework with
// pages in list 2 and icons in lists 3 and 4, an Interaction with a HotSpot response, and an
// icon numbered in group 2.
inline constexpr const char* kTreeDescription = R"(kind PCRS
icon map "Piece" {
    icon map "Intro" {
        icon display "Title screen"
        icon wait "Pause" {
            attr 0x2000520 1
        }
    }
    icon framework "Frame" {
        icon display "Page one"
        icon display "Page two" node 300
        icon calc "Entry" list 3
        icon erase "Exit" list 4
        icon calc "Exit calc" list 4
    }
    icon interaction "Ask" {
        icon calc "Hot" class 3 {
            bytes layout 1 u16 -5000 10 3000 5
        }
    }
    icon sound "Far" node 600
}
)";

class NodeTest : public RecStoreTest {
protected:
    void SetUp() override
    {
        RecStoreTest::SetUp();
        ASSERT_EQ(node_files_init(), 1);
    }
    void TearDown() override
    {
        node_set_services(nullptr);
        node_set_error_word(0);
        node_files_free();
        RecStoreTest::TearDown();
    }

    // Opens bytes into the record-store slot and its node store: the node store's result (or
    // the record store's error).
    int open_bytes(int slot, const std::vector<uint8_t>& bytes, uint32_t flags = 0)
    {
        int result = open(slot, memory(bytes), flags);
        return result != 0 ? result : node_file_open(slot, 0);
    }
    int open_piece(int slot, const std::string& description, uint32_t flags = 0)
    {
        return open_bytes(slot, piece_bytes(description), flags);
    }
    static IconId icon(int slot, uint32_t node) { return node_make_icon(uint32_t(slot), node); }

    // The icon of the slot's file with this title (the piece maker's numbering is not the
    // tests' business).
    static IconId titled(int slot, const char* title)
    {
        return node_find_by_title(slot, title, 0, nullptr);
    }
    static std::string title_of(IconId icon)
    {
        char text[kTitleKeyBytes + 1];
        node_title(icon, text, sizeof text);
        return text;
    }
    // The titles a walk visits, in order, separated by commas ("#N" for an untitled node).
    static std::string walk_titles(IconId start, int mode)
    {
        std::string out;
        node_walk(
            start, mode,
            [](IconId visited, void* user) {
                std::string& text = *static_cast<std::string*>(user);
                std::string title = title_of(visited);
                text += (text.empty() ? "" : ",")
                    + (title.empty() ? "#" + std::to_string(node_icon_number(visited)) : title);
                return 1;
            },
            &out);
        return out;
    }
};

} // namespace nodetest
