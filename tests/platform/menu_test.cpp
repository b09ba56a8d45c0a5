#include "platform/window/menu.h"

#include "platform/gdi/bitmap.h"
#include "platform/kernel/error.h"
#include "platform/window/nonclient.h"
#include "window_test_support.h"

namespace {

using namespace wintest;

class MenuTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        menu_reset();
    }
    void TearDown() override
    {
        menu_reset();
        WindowTest::TearDown();
    }
    WindowHandle make_window(uint32_t style)
    {
        return create_window_ex(0, "Recorder", "W", style, 10, 10, 200, 100, {}, 0, {}, nullptr);
    }
    static std::string text_of(MenuHandle menu, uint32_t item, uint32_t flags)
    {
        char buffer[64];
        get_menu_string(menu, item, buffer, sizeof buffer, flags);
        return buffer;
    }
};

TEST_F(MenuTest, SystemMenuHasTheStandardCommandsAndIsTheWindowsOwn)
{
    WindowHandle window = make_window(WS_OVERLAPPEDWINDOW);
    MenuHandle menu = get_system_menu(window, false);
    ASSERT_TRUE(menu);
    static const uint32_t kCommands[] = {SC_RESTORE, SC_MOVE, SC_SIZE, SC_MINIMIZE, SC_MAXIMIZE, 0, SC_CLOSE};
    ASSERT_EQ(get_menu_item_count(menu), 7);
    for (int i = 0; i < 7; i++)
        EXPECT_EQ(get_menu_item_id(menu, i), kCommands[i]) << i;
    EXPECT_EQ(get_menu_state(menu, 5, MF_BYPOSITION), MF_SEPARATOR);
    EXPECT_EQ(get_system_menu(window, false), menu);

    // A change stays until the window reverts to a fresh copy.
    ASSERT_TRUE(append_menu(menu, MF_STRING, 30002, "&About..."));
    EXPECT_EQ(get_menu_item_count(get_system_menu(window, false)), 8);
    EXPECT_FALSE(get_system_menu(window, true));
    EXPECT_FALSE(is_menu(menu));
    EXPECT_EQ(get_menu_item_count(get_system_menu(window, false)), 7);
}

TEST_F(MenuTest, NoSystemMenuWithoutTheStyleOrAfterTheWindow)
{
    EXPECT_FALSE(get_system_menu(make_window(WS_POPUP), false));
    WindowHandle window = make_window(WS_OVERLAPPEDWINDOW);
    MenuHandle menu = get_system_menu(window, false);
    ASSERT_TRUE(menu);
    destroy_window(window);
    EXPECT_FALSE(get_system_menu(window, false));
    EXPECT_FALSE(is_menu(menu)); // freed with its window
}

TEST_F(MenuTest, ItemsByCommandReachIntoPopupsAndByPositionStayInTheMenu)
{
    MenuHandle bar = create_menu();
    MenuHandle file = create_popup_menu();
    ASSERT_TRUE(append_menu(file, MF_STRING, 101, "&Open"));
    ASSERT_TRUE(append_menu(file, uint32_t(MF_STRING) | MF_GRAYED, 102, "E&xit"));
    ASSERT_TRUE(append_menu(bar, MF_POPUP, file.id, "&File"));
    ASSERT_TRUE(append_menu(bar, MF_STRING, 900, "&Help"));

    EXPECT_EQ(get_menu_item_id(bar, 0), 0xFFFFFFFFu); // a pop-up has no command
    EXPECT_EQ(get_menu_state(bar, 0, MF_BYPOSITION), uint32_t(MF_POPUP));
    EXPECT_EQ(text_of(bar, 102, MF_BYCOMMAND), "E&xit");
    EXPECT_EQ(enable_menu_item(bar, 102, MF_ENABLED), uint32_t(MF_GRAYED));
    EXPECT_EQ(get_menu_state(bar, 102, MF_BYCOMMAND), 0u);
    EXPECT_EQ(get_menu_state(bar, 5, MF_BYPOSITION), kMenuNoItem);
    EXPECT_EQ(enable_menu_item(bar, 777, MF_GRAYED), kMenuNoItem);

    EXPECT_TRUE(delete_menu(bar, 101, MF_BYCOMMAND));
    EXPECT_EQ(get_menu_item_count(file), 1);
    EXPECT_FALSE(delete_menu(bar, 101, MF_BYCOMMAND));
    EXPECT_EQ(get_last_error(), ERROR_MENU_ITEM_NOT_FOUND);
    EXPECT_TRUE(delete_menu(bar, 0, MF_BYPOSITION));
    EXPECT_FALSE(is_menu(file)); // deleting the item destroys its pop-up
    EXPECT_TRUE(destroy_menu(bar));
    EXPECT_EQ(get_menu_item_count(bar), -1);
    EXPECT_EQ(get_last_error(), ERROR_INVALID_MENU_HANDLE);
}

TEST_F(MenuTest, MenuStringIsCutToTheBuffer)
{
    MenuHandle menu = create_popup_menu();
    ASSERT_TRUE(append_menu(menu, MF_STRING, 1, "&About..."));
    char small[4];
    EXPECT_EQ(get_menu_string(menu, 1, small, sizeof small, MF_BYCOMMAND), 3);
    EXPECT_STREQ(small, "&Ab");
    EXPECT_EQ(get_menu_string(menu, 1, nullptr, 0, MF_BYCOMMAND), 9);
}

TEST_F(MenuTest, ModifyAndCheckChangeTheItemInPlace)
{
    MenuHandle bar = create_menu();
    MenuHandle old_popup = create_popup_menu();
    MenuHandle new_popup = create_popup_menu();
    ASSERT_TRUE(append_menu(bar, MF_POPUP, old_popup.id, "&Old"));
    ASSERT_TRUE(append_menu(bar, MF_STRING, 7, "&Seven"));

    // A pop-up replaced by another is destroyed; its position stays.
    ASSERT_TRUE(modify_menu(bar, 0, uint32_t(MF_BYPOSITION) | MF_POPUP | MF_GRAYED, new_popup.id, "&New"));
    EXPECT_FALSE(is_menu(old_popup));
    MenuItemInfo item;
    ASSERT_TRUE(menu_item_at(bar, 0, item));
    EXPECT_EQ(item.text, "&New");
    EXPECT_EQ(item.popup, new_popup);
    EXPECT_EQ(item.flags, uint32_t(MF_POPUP | MF_GRAYED));
    EXPECT_FALSE(modify_menu(bar, 99, MF_BYCOMMAND, 8, "x"));
    EXPECT_EQ(get_last_error(), ERROR_MENU_ITEM_NOT_FOUND);

    EXPECT_EQ(check_menu_item(bar, 7, MF_CHECKED), 0u);
    EXPECT_EQ(check_menu_item(bar, 7, MF_CHECKED), uint32_t(MF_CHECKED));
    EXPECT_EQ(check_menu_item(bar, 1, MF_BYPOSITION | MF_UNCHECKED), uint32_t(MF_CHECKED));
    EXPECT_EQ(get_menu_state(bar, 7, MF_BYCOMMAND), 0u);
    EXPECT_EQ(check_menu_item(bar, 99, MF_CHECKED), kMenuNoItem);

    // A bitmap item keeps its bitmap and no text.
    GdiObject bitmap = create_bitmap(12, 10, 1, 1, nullptr, 0);
    ASSERT_TRUE(modify_menu(bar, 7, MF_BYCOMMAND | MF_BITMAP, 7, bitmap));
    ASSERT_TRUE(menu_item_at(bar, 1, item));
    EXPECT_EQ(item.flags, uint32_t(MF_BITMAP));
    EXPECT_EQ(item.bitmap, bitmap);
    EXPECT_EQ(item.text, "");
    EXPECT_FALSE(menu_item_at(bar, 2, item));
}

TEST_F(MenuTest, SetMenuGivesATopLevelWindowItsBar)
{
    WindowHandle window = make_window(WS_OVERLAPPEDWINDOW);
    Rect before;
    get_client_rect(window, before);
    MenuHandle bar = create_menu();
    ASSERT_TRUE(append_menu(bar, MF_STRING, 1, "&Go"));
    ASSERT_TRUE(set_menu(window, bar));
    EXPECT_EQ(get_menu(window), bar);
    Rect with_bar;
    get_client_rect(window, with_bar);
    EXPECT_EQ(with_bar.height(), before.height() - get_system_metrics(SM_CYMENU));
    EXPECT_EQ(nonclient_menu_bar_rect(window).height(), get_system_metrics(SM_CYMENU));
    EXPECT_TRUE(draw_menu_bar(window));

    // Taking the bar away gives the space back and leaves the menu alive.
    ASSERT_TRUE(set_menu(window, MenuHandle()));
    Rect after;
    get_client_rect(window, after);
    EXPECT_EQ(after.height(), before.height());
    EXPECT_TRUE(is_menu(bar));
    EXPECT_TRUE(is_rect_empty(nonclient_menu_bar_rect(window)));

    WindowHandle child = create_window_ex(0, "Recorder", "C", WS_CHILD, 0, 0, 10, 10, window, 1, {}, nullptr);
    EXPECT_FALSE(set_menu(child, bar));
    EXPECT_EQ(get_last_error(), ERROR_CHILD_WINDOW_MENU);
    EXPECT_FALSE(set_menu(window, MenuHandle(12345)));
    EXPECT_EQ(get_last_error(), ERROR_INVALID_MENU_HANDLE);
}

} // namespace
