#include "platform/controls/ctl_listbox.h"

#include "control_test_support.h"

namespace {

using namespace wintest;

class ListBoxTest : public ControlTest {
protected:
    WindowHandle list;

    WindowHandle make_list(uint32_t style, std::initializer_list<const char*> items = {})
    {
        list = control(kListBoxClass, "", WS_BORDER | WS_VSCROLL | style, Rect{10, 10, 160, 110}, 60);
        for (const char* item : items)
            send_message(list, LB_ADDSTRING, 0, reinterpret_cast<LParam>(item));
        take_notes();
        return list;
    }
    std::vector<std::string> items()
    {
        std::vector<std::string> out;
        int32_t count = int32_t(send_message(list, LB_GETCOUNT, 0, 0));
        for (int32_t i = 0; i < count; i++) {
            char text[64] = {};
            send_message(list, LB_GETTEXT, WParam(i), reinterpret_cast<LParam>(text));
            out.push_back(text);
        }
        return out;
    }
    int32_t item_height() { return int32_t(send_message(list, LB_GETITEMHEIGHT, 0, 0)); }
    std::vector<int32_t> selected_items()
    {
        int32_t found[32];
        int32_t count = int32_t(send_message(list, LB_GETSELITEMS, 32, reinterpret_cast<LParam>(found)));
        return std::vector<int32_t>(found, found + std::max(0, count));
    }
};

TEST_F(ListBoxTest, ASortedListKeepsItsItemsInOrderWithoutCase)
{
    make_list(LBS_SORT, {"pear", "Apple", "banana", "apple"});
    EXPECT_EQ(items(), (std::vector<std::string>{"Apple", "apple", "banana", "pear"}));
    EXPECT_EQ(send_message(list, LB_INSERTSTRING, 0, reinterpret_cast<LParam>("zebra")), 0); // inserting keeps the place
    EXPECT_EQ(send_message(list, LB_INSERTSTRING, 9, reinterpret_cast<LParam>("x")), LB_ERR);
    EXPECT_EQ(send_message(list, LB_FINDSTRING, WParam(-1), reinterpret_cast<LParam>("BAN")), 3);
    EXPECT_EQ(send_message(list, LB_FINDSTRING, 3, reinterpret_cast<LParam>("ban")), 3); // wraps round
    EXPECT_EQ(send_message(list, LB_FINDSTRINGEXACT, WParam(-1), reinterpret_cast<LParam>("PEAR")), 4);
    EXPECT_EQ(send_message(list, LB_FINDSTRINGEXACT, WParam(-1), reinterpret_cast<LParam>("pea")), LB_ERR);
    EXPECT_EQ(send_message(list, LB_GETTEXT, 7, 0), LB_ERR);
}

TEST_F(ListBoxTest, DeletingAnItemMovesTheSelectionWithIt)
{
    make_list(0, {"a", "b", "c", "d"});
    send_message(list, LB_SETCURSEL, 2, 0);
    EXPECT_EQ(send_message(list, LB_DELETESTRING, 0, 0), 3);
    EXPECT_EQ(send_message(list, LB_GETCURSEL, 0, 0), 1);
    send_message(list, LB_DELETESTRING, 1, 0);
    EXPECT_EQ(send_message(list, LB_GETCURSEL, 0, 0), LB_ERR);
    EXPECT_EQ(send_message(list, LB_SETCURSEL, 5, 0), LB_ERR);
    EXPECT_EQ(send_message(list, LB_SETITEMDATA, 1, 77), 1);
    EXPECT_EQ(send_message(list, LB_GETITEMDATA, 1, 0), 77);
    EXPECT_EQ(send_message(list, LB_GETITEMDATA, 2, 0), LB_ERR);
}

TEST_F(ListBoxTest, KeysAndClicksSelectAndNotifyOnlyWhenAsked)
{
    for (uint32_t style : {0u, uint32_t(LBS_NOTIFY)}) {
        SCOPED_TRACE(style);
        make_list(style, {"one", "two", "three", "four"});
        set_focus(list);
        press("Down");
        EXPECT_EQ(send_message(list, LB_GETCURSEL, 0, 0), 1);
        press("End");
        EXPECT_EQ(send_message(list, LB_GETCURSEL, 0, 0), 3);
        click(list, 5, item_height() / 2);
        EXPECT_EQ(send_message(list, LB_GETCURSEL, 0, 0), 0);
        clock_advance(1000);
        click(list, 5, item_height() + 1, true);
        type("t"); // the next item starting with t after the caret
        EXPECT_EQ(send_message(list, LB_GETCURSEL, 0, 0), 2);
        std::vector<std::string> expected{"60 4"}; // the focus is told in any case
        if (style)
            expected = {"60 4", "60 1", "60 1", "60 1", "60 1", "60 2", "60 1"};
        EXPECT_EQ(take_notes(), expected);
        destroy_window(list);
    }
}

TEST_F(ListBoxTest, AMultipleSelectionListTogglesWhatIsClicked)
{
    make_list(LBS_MULTIPLESEL, {"a", "b", "c", "d"});
    click(list, 5, item_height() / 2);
    clock_advance(1000);
    click(list, 5, item_height() * 2 + 1);
    EXPECT_EQ(selected_items(), (std::vector<int32_t>{0, 2}));
    clock_advance(1000);
    click(list, 5, item_height() / 2);
    EXPECT_EQ(selected_items(), std::vector<int32_t>{2});
    EXPECT_EQ(send_message(list, LB_GETSELCOUNT, 0, 0), 1);
    EXPECT_EQ(send_message(list, LB_SETSEL, 1, -1), LB_OKAY);
    EXPECT_EQ(send_message(list, LB_GETSELCOUNT, 0, 0), 4);
    EXPECT_EQ(send_message(list, LB_SETCURSEL, 1, 0), LB_ERR); // a single selection's message
}

TEST_F(ListBoxTest, AnExtendedSelectionGrowsWithShiftAndTogglesWithCtrl)
{
    make_list(LBS_EXTENDEDSEL, {"a", "b", "c", "d", "e"});
    click(list, 5, item_height() + 1);
    input_key(VK_SHIFT, true);
    clock_advance(1000);
    click(list, 5, item_height() * 3 + 1);
    input_key(VK_SHIFT, false);
    EXPECT_EQ(selected_items(), (std::vector<int32_t>{1, 2, 3}));
    input_key(VK_CONTROL, true);
    clock_advance(1000);
    click(list, 5, item_height() * 2 + 1);
    input_key(VK_CONTROL, false);
    EXPECT_EQ(selected_items(), (std::vector<int32_t>{1, 3}));
    press("Shift+Down");
    EXPECT_EQ(selected_items(), (std::vector<int32_t>{2, 3}));
}

TEST_F(ListBoxTest, OwnerDrawnItemsAreMeasuredOnceAndDrawnByTheOwner)
{
    measure_height = 20;
    list = control(kListBoxClass, "", WS_BORDER | LBS_OWNERDRAWFIXED | LBS_NOINTEGRALHEIGHT, Rect{10, 10, 160, 110}, 61);
    EXPECT_EQ(item_height(), 20);
    for (uintptr_t data : {11u, 22u, 33u})
        send_message(list, LB_ADDSTRING, 0, LParam(data));
    EXPECT_EQ(send_message(list, LB_GETITEMDATA, 1, 0), 22); // no strings: the data is the item
    send_message(list, LB_SETCURSEL, 1, 0);
    draws.clear();
    pump();
    ASSERT_EQ(draws.size(), 3u);
    for (uint32_t i = 0; i < 3; i++) {
        SCOPED_TRACE(i);
        EXPECT_EQ(draws[i].ctl_type, uint32_t(ODT_LISTBOX));
        EXPECT_EQ(draws[i].ctl_id, 61u);
        EXPECT_EQ(draws[i].item_id, i);
        EXPECT_EQ(draws[i].item_data, (i + 1) * 11u);
        EXPECT_EQ(draws[i].rc_item, (Rect{0, int32_t(i) * 20, 148, int32_t(i) * 20 + 20}));
        EXPECT_EQ((draws[i].item_state & ODS_SELECTED) != 0, i == 1);
    }
}

TEST_F(ListBoxTest, VariableItemsAreMeasuredEachAndSentBackWhenDeleted)
{
    int next_height = 10;
    list = control(kListBoxClass, "", WS_BORDER | LBS_OWNERDRAWVARIABLE | LBS_HASSTRINGS, Rect{10, 10, 160, 110}, 62);
    for (const char* item : {"x", "y"}) {
        measure_height = uint32_t(next_height);
        next_height += 5;
        send_message(list, LB_ADDSTRING, 0, reinterpret_cast<LParam>(item));
    }
    EXPECT_EQ(send_message(list, LB_GETITEMHEIGHT, 0, 0), 10);
    EXPECT_EQ(send_message(list, LB_GETITEMHEIGHT, 1, 0), 15);
    Rect second;
    send_message(list, LB_GETITEMRECT, 1, reinterpret_cast<LParam>(&second));
    EXPECT_EQ(second.top, 10);
    EXPECT_EQ(second.bottom, 25);
    char text[8] = {};
    send_message(list, LB_GETTEXT, 1, reinterpret_cast<LParam>(text));
    EXPECT_STREQ(text, "y");
    send_message(list, LB_SETITEMDATA, 1, 5);
    take_notes();
    send_message(list, LB_RESETCONTENT, 0, 0);
    EXPECT_EQ(take_notes(), (std::vector<std::string>{"delete 0 0", "delete 1 5"}));
}

TEST_F(ListBoxTest, TheScrollBarComesWithMoreItemsThanShowAndScrollsThem)
{
    make_list(0, {"1", "2"});
    EXPECT_FALSE(get_window_long(list, GWL_STYLE) & WS_VSCROLL); // nothing to scroll
    for (int i = 3; i <= 30; i++)
        send_message(list, LB_ADDSTRING, 0, reinterpret_cast<LParam>(std::to_string(i).c_str()));
    EXPECT_TRUE(get_window_long(list, GWL_STYLE) & WS_VSCROLL);
    Rect client;
    get_client_rect(list, client);
    EXPECT_EQ(client.height() % item_height(), 0); // whole items only
    int32_t page = client.height() / item_height();
    send_message(list, WM_VSCROLL, SB_PAGEDOWN, 0);
    EXPECT_EQ(send_message(list, LB_GETTOPINDEX, 0, 0), page);
    EXPECT_EQ(get_scroll_pos(list, SB_VERT), page);
    send_message(list, WM_VSCROLL, SB_BOTTOM, 0);
    EXPECT_EQ(send_message(list, LB_GETTOPINDEX, 0, 0), 30 - page);
    send_message(list, LB_SETCURSEL, 0, 0);
    EXPECT_EQ(send_message(list, LB_GETTOPINDEX, 0, 0), 0); // the selection is brought into view
}

} // namespace

namespace {

// Indexes a program may pass that name no item: each answers LB_ERR or searches the whole list,
// and none moves the view or the selection.
TEST_F(ListBoxTest, IndexesOutsideTheListAreErrorsThatChangeNothing)
{
    make_list(0);
    for (int i = 0; i < 20; i++)
        send_message(list, LB_ADDSTRING, 0, reinterpret_cast<LParam>(("item " + std::to_string(100 + i)).c_str()));
    send_message(list, LB_SETCURSEL, 2, 0);
    for (WParam start : {WParam(20), WParam(0x7FFFFFFF), WParam(-7)}) {
        SCOPED_TRACE(start);
        EXPECT_EQ(send_message(list, LB_FINDSTRING, start, reinterpret_cast<LParam>("item 100")), 0);
        EXPECT_EQ(send_message(list, LB_FINDSTRINGEXACT, start, reinterpret_cast<LParam>("item 119")), 19);
    }
    for (WParam index : {WParam(20), WParam(0x7FFFFFFF), WParam(-1)}) {
        SCOPED_TRACE(index);
        EXPECT_EQ(send_message(list, LB_GETTEXT, index, 0), LB_ERR);
        EXPECT_EQ(send_message(list, LB_GETTEXTLEN, index, 0), LB_ERR);
        EXPECT_EQ(send_message(list, LB_DELETESTRING, index, 0), LB_ERR);
        EXPECT_EQ(send_message(list, LB_GETCOUNT, 0, 0), 20);
    }
    EXPECT_EQ(send_message(list, LB_SETCURSEL, 500, 0), LB_ERR);
    EXPECT_EQ(send_message(list, LB_GETTOPINDEX, 0, 0), 0); // an item that is not there is not scrolled to
    EXPECT_EQ(send_message(list, LB_SETCURSEL, WParam(-1), 0), LB_ERR); // LB_ERR, though it clears
    EXPECT_EQ(send_message(list, LB_GETCURSEL, 0, 0), LB_ERR);
}

TEST_F(ListBoxTest, ARangeGivenBackwardsIsDeselected)
{
    make_list(LBS_EXTENDEDSEL, {"a", "b", "c", "d", "e"});
    send_message(list, LB_SELITEMRANGEEX, 0, 4);
    EXPECT_EQ(selected_items(), (std::vector<int32_t>{0, 1, 2, 3, 4}));
    send_message(list, LB_SELITEMRANGEEX, 3, 1);
    EXPECT_EQ(selected_items(), (std::vector<int32_t>{0, 4}));
    send_message(list, LB_SELITEMRANGE, 0, make_lparam(4, 4));
    EXPECT_EQ(selected_items(), std::vector<int32_t>{0});
}

// The parent may destroy the list while it hears of it: the list touches nothing of itself after.
enum class ListAct { click, double_click, key, focus, leave };

struct ListDestroyCase {
    const char* name;
    uint32_t style;
    int code;
    ListAct act;
    const char* key;
};

static const ListDestroyCase kListDestroyCases[] = {
    {"click", 0, LBN_SELCHANGE, ListAct::click, nullptr},
    {"double click", 0, LBN_DBLCLK, ListAct::double_click, nullptr},
    {"key", 0, LBN_SELCHANGE, ListAct::key, "Down"},
    {"toggle", LBS_MULTIPLESEL, LBN_SELCHANGE, ListAct::key, "Space"},
    {"extended click", LBS_EXTENDEDSEL, LBN_SELCHANGE, ListAct::click, nullptr},
    {"focus", 0, LBN_SETFOCUS, ListAct::focus, nullptr},
    {"focus lost", 0, LBN_KILLFOCUS, ListAct::leave, nullptr},
};

TEST_F(ListBoxTest, AListDestroyedByItsParentWhileTellingIsLeftAlone)
{
    for (const ListDestroyCase& c : kListDestroyCases) {
        SCOPED_TRACE(c.name);
        make_list(LBS_NOTIFY | c.style, {"a", "b", "c"});
        if (c.act != ListAct::focus)
            set_focus(list);
        clock_advance(1000);
        destroy_on = c.code;
        switch (c.act) {
        case ListAct::click: click(list, 5, item_height() + 1); break;
        case ListAct::double_click: click(list, 5, 1, true); break;
        case ListAct::key: press(c.key); break;
        case ListAct::focus: set_focus(list); break;
        case ListAct::leave: set_focus(host); break;
        }
        pump();
        destroy_on = -1;
        EXPECT_FALSE(is_window(list));
    }
}

} // namespace
