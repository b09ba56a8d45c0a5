#include "platform/controls/ctl_combo.h"

#include <algorithm>

#include "control_test_support.h"

namespace {

using namespace wintest;

class ComboTest : public ControlTest {
protected:
    WindowHandle combo;

    WindowHandle make_combo(uint32_t style)
    {
        combo = control(kComboBoxClass, "", style | WS_VSCROLL, Rect{10, 10, 160, 150}, 70);
        for (const char* item : {"Small", "Medium", "Large"})
            send_message(combo, CB_ADDSTRING, 0, reinterpret_cast<LParam>(item));
        take_notes();
        return combo;
    }
    WindowHandle drop_list() { return find_window(kComboListClass, nullptr); }
    int32_t current() { return int32_t(send_message(combo, CB_GETCURSEL, 0, 0)); }
};

TEST_F(ComboTest, TheFieldIsAsHighAsItsTextAndTheListKeepsTheRest)
{
    make_combo(CBS_DROPDOWNLIST);
    Rect outer;
    get_window_rect(combo, outer);
    EXPECT_LT(outer.height(), 40);
    EXPECT_FALSE(get_window_long(combo, GWL_STYLE) & WS_VSCROLL);
    Rect dropped;
    send_message(combo, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LParam>(&dropped));
    EXPECT_EQ(dropped.top, outer.top);
    EXPECT_GT(dropped.bottom, outer.bottom + 60);
}

TEST_F(ComboTest, ItemsAndTheSelectionAreTheListsMessagesUnderOtherNames)
{
    make_combo(CBS_DROPDOWNLIST);
    EXPECT_EQ(send_message(combo, CB_GETCOUNT, 0, 0), 3);
    EXPECT_EQ(current(), CB_ERR);
    EXPECT_EQ(send_message(combo, CB_SETCURSEL, 2, 0), 2);
    EXPECT_EQ(text_of(combo), "Large");
    EXPECT_EQ(send_message(combo, CB_SETCURSEL, 7, 0), CB_ERR);
    EXPECT_EQ(text_of(combo), "");
    EXPECT_EQ(send_message(combo, CB_SELECTSTRING, WParam(-1), reinterpret_cast<LParam>("med")), 1);
    EXPECT_EQ(text_of(combo), "Medium");
    EXPECT_EQ(send_message(combo, CB_INSERTSTRING, 0, reinterpret_cast<LParam>("Tiny")), 0);
    EXPECT_EQ(current(), 2); // the selection moved with its item
    char text[16] = {};
    EXPECT_EQ(send_message(combo, CB_GETLBTEXT, 3, reinterpret_cast<LParam>(text)), 5);
    EXPECT_STREQ(text, "Large");
    EXPECT_EQ(set_window_text(combo, "Tiny"), true);
    EXPECT_EQ(current(), 0);
    EXPECT_TRUE(take_notes().empty()); // the program's changes are not announced
}

TEST_F(ComboTest, ArrowsChangeTheSelectionAtOnce)
{
    make_combo(CBS_DROPDOWNLIST);
    set_focus(combo);
    take_notes();
    press("Down");
    press("Down");
    press("Up");
    EXPECT_EQ(current(), 0);
    EXPECT_EQ(take_notes(), (std::vector<std::string>{"70 1", "70 1", "70 1"}));
    type("l");
    EXPECT_EQ(current(), 2);
}

TEST_F(ComboTest, TheListDropsAndEnterChoosesWhatItShows)
{
    make_combo(CBS_DROPDOWNLIST);
    send_message(combo, CB_SETCURSEL, 0, 0);
    set_focus(combo);
    take_notes();
    press("F4");
    ASSERT_TRUE(is_window_visible(drop_list()));
    EXPECT_EQ(send_message(combo, CB_GETDROPPEDSTATE, 0, 0), 1);
    press("Down");
    EXPECT_EQ(current(), 0); // the list moves, the selection waits
    press("Enter");
    EXPECT_EQ(current(), 1);
    EXPECT_FALSE(is_window_visible(drop_list()));
    EXPECT_EQ(take_notes(), (std::vector<std::string>{"70 7", "70 1", "70 9", "70 8"}));
    press("Alt+Down");
    press("Down");
    press("Escape");
    EXPECT_EQ(current(), 1);
    EXPECT_EQ(take_notes(), (std::vector<std::string>{"70 7", "70 10", "70 8"}));
}

TEST_F(ComboTest, TheMouseDropsTheListAndChoosesAnItem)
{
    make_combo(CBS_DROPDOWNLIST);
    click(combo, 20, 8);
    WindowHandle list = drop_list();
    ASSERT_TRUE(is_window_visible(list));
    EXPECT_EQ(get_capture(), list);
    int32_t height = int32_t(send_message(list, LB_GETITEMHEIGHT, 0, 0));
    // The release of the click that dropped the list chose nothing; a click on an item does.
    clock_advance(1000);
    click(list, 10, height * 2 + 2);
    EXPECT_EQ(current(), 2);
    EXPECT_FALSE(is_window_visible(list));
    EXPECT_EQ(get_focus(), combo);
    clock_advance(1000);
    click(combo, 20, 8);
    clock_advance(1000);
    click(host, 300, 300); // elsewhere: the list goes, cancelled
    EXPECT_FALSE(is_window_visible(list));
    EXPECT_EQ(current(), 2);
    std::vector<std::string> seen_notes = take_notes();
    EXPECT_EQ(seen_notes.back(), "70 8");
    EXPECT_EQ(seen_notes[seen_notes.size() - 2], "70 10");
}

TEST_F(ComboTest, ADropDownHasAnEditThatTypesAndShowsTheChoice)
{
    make_combo(CBS_DROPDOWN);
    WindowHandle edit = find_window_ex(combo, {}, kEditClass, nullptr);
    ASSERT_TRUE(edit);
    set_focus(combo);
    EXPECT_EQ(get_focus(), edit);
    take_notes();
    type("Hi");
    EXPECT_EQ(text_of(combo), "Hi");
    EXPECT_EQ(take_notes(), (std::vector<std::string>{"70 6", "70 5", "70 6", "70 5"}));
    press("Down");
    EXPECT_EQ(text_of(combo), "Small");
    EXPECT_EQ(take_notes(), std::vector<std::string>{"70 1"});
    set_focus(host);
    EXPECT_EQ(take_notes(), std::vector<std::string>{"70 4"});
}

TEST_F(ComboTest, OwnerDrawnCombosDrawTheirFieldAndItemsThroughTheParent)
{
    measure_height = 18;
    combo = control(kComboBoxClass, "", CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS, Rect{10, 10, 160, 150}, 71);
    send_message(combo, CB_ADDSTRING, 0, reinterpret_cast<LParam>("One"));
    send_message(combo, CB_SETCURSEL, 0, 0);
    draws.clear();
    pump();
    ASSERT_FALSE(draws.empty());
    EXPECT_EQ(draws.back().ctl_type, uint32_t(ODT_COMBOBOX));
    EXPECT_EQ(draws.back().ctl_id, 71u);
    EXPECT_TRUE(draws.back().item_state & ODS_COMBOBOXEDIT);
    EXPECT_EQ(draws.back().hwnd_item, combo);
    set_focus(combo);
    draws.clear();
    press("F4");
    auto item = std::find_if(draws.begin(), draws.end(), [](const DrawItemStruct& d) { return !(d.item_state & ODS_COMBOBOXEDIT); });
    ASSERT_NE(item, draws.end());
    EXPECT_EQ(item->hwnd_item, combo); // the list's items too are the combo box's
    EXPECT_EQ(item->ctl_type, uint32_t(ODT_COMBOBOX));
    EXPECT_EQ(item->rc_item.height(), 18);
}

// The parent may destroy the combo box while it hears of it, its list up or down.
TEST_F(ComboTest, AComboBoxDestroyedByItsParentWhileTellingIsLeftAlone)
{
    struct Case {
        const char* name;
        uint32_t style;
        int code;
        const char* keys;
    };
    static const Case kCases[] = {
        {"arrow", CBS_DROPDOWNLIST, CBN_SELCHANGE, "Down"},
        {"drop", CBS_DROPDOWNLIST, CBN_DROPDOWN, "F4"},
        {"chosen", CBS_DROPDOWNLIST, CBN_SELCHANGE, "F4 Down Enter"},
        {"chosen ok", CBS_DROPDOWNLIST, CBN_SELENDOK, "F4 Down Enter"},
        {"closed", CBS_DROPDOWNLIST, CBN_CLOSEUP, "F4 Down Enter"},
        {"cancelled", CBS_DROPDOWNLIST, CBN_SELENDCANCEL, "F4 Down Escape"},
        {"edit typed", CBS_DROPDOWN, CBN_EDITCHANGE, "A"},
        {"edit updated", CBS_DROPDOWN, CBN_EDITUPDATE, "A"},
        {"edit arrow", CBS_DROPDOWN, CBN_SELCHANGE, "Down"},
        {"edit chosen", CBS_DROPDOWN, CBN_SELENDOK, "F4 Down Enter"},
        {"focus lost", CBS_DROPDOWN, CBN_KILLFOCUS, ""},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        make_combo(c.style);
        set_focus(combo);
        pump();
        destroy_on = c.code;
        std::string keys = c.keys;
        for (size_t at = 0; at < keys.size();) {
            size_t end = std::min(keys.find(' ', at), keys.size());
            press(keys.substr(at, end - at));
            at = end + 1;
        }
        if (keys.empty())
            set_focus(host);
        pump();
        destroy_on = -1;
        EXPECT_FALSE(is_window(combo));
        EXPECT_FALSE(drop_list());
        set_focus(host);
    }
    // The list's own click chooses or cancels: the list goes with the combo box under it.
    static const int kMouseCodes[] = {CBN_SELCHANGE, CBN_SELENDOK, CBN_CLOSEUP, CBN_SELENDCANCEL};
    for (int code : kMouseCodes) {
        SCOPED_TRACE(code);
        make_combo(CBS_DROPDOWNLIST);
        click(combo, 20, 8);
        WindowHandle list = drop_list();
        int32_t height = int32_t(send_message(list, LB_GETITEMHEIGHT, 0, 0));
        clock_advance(1000);
        destroy_on = code;
        if (code == CBN_SELENDCANCEL)
            click(host, 300, 300);
        else
            click(list, 10, height * 2 + 2);
        pump();
        destroy_on = -1;
        EXPECT_FALSE(is_window(combo));
        EXPECT_FALSE(is_window(list));
        clock_advance(1000);
    }
}

} // namespace
