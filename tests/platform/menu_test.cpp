#include "platform/window/menu.h"

#include "platform/kernel/error.h"
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

} // namespace
