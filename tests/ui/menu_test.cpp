#include "runtime/ui/menu.h"

#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "platform/backend/backend.h"
#include "platform/gdi/bitmap.h"
#include "platform/kernel/clock.h"
#include "platform/window/defproc.h"
#include "platform/window/menu.h"
#include "platform/window/metrics.h"
#include "platform/window/window.h"
#include "platform/window/winpos.h"
#include "runtime/display/refresh.h"

namespace {

constexpr KeyCode kCtrlO = kKeyCtrl | 'O';
constexpr KeyCode kCtrlShiftF12 = kKeyCtrl | kKeyShift | (kKeyF1 + 11);

// A presentation window (the screen's) of 400 x 300 with a caption and a system menu, and a
// menu bar built by the tests.
class PresentationMenuTest : public testing::Test {
protected:
    plat::WindowHandle window;
    MenuRecord bar;
    static inline int s_attached = -1;

    void SetUp() override
    {
        plat::backend_set(nullptr);
        plat::clock_use_virtual(1000, 0);
        plat::window_system_reset();
        plat::menu_reset();
        menu_reset();
        menu_set_hooks(nullptr);
        plat::WindowClass window_class;
        window_class.proc = plat::def_window_proc;
        window_class.class_name = "Presentation";
        ASSERT_NE(plat::register_class(window_class), 0);
        window = plat::create_window_ex(0, "Presentation", "Piece", plat::WS_OVERLAPPEDWINDOW | plat::WS_VISIBLE, 10, 10,
            400, 300, {}, 0, {}, nullptr);
        ASSERT_TRUE(window);
        screen_set_window(window);
        ASSERT_EQ(menu_create(bar, nullptr), 1);
        s_attached = -1;
    }
    void TearDown() override
    {
        menu_free(bar);
        screen_release_planes();
        menu_set_hooks(nullptr);
        menu_reset();
        plat::menu_reset();
        plat::window_system_reset();
        plat::clock_reset();
    }

    static std::string window_text(plat::MenuHandle menu, int position)
    {
        plat::MenuItemInfo item;
        return plat::menu_item_at(menu, position, item) ? item.text : "(none)";
    }
    static uint32_t window_flags(plat::MenuHandle menu, int position)
    {
        plat::MenuItemInfo item;
        return plat::menu_item_at(menu, position, item) ? item.flags : 0xFFFFFFFF;
    }
    static std::string repeat(char c, size_t count) { return std::string(count, c); }
};

struct LabelCase {
    const char* name;
    std::string text;
    KeyCode key;
    std::string shown;
};

TEST_F(PresentationMenuTest, AKeyNameIsAddedOnlyWhereTheWholeLabelFits)
{
    const LabelCase cases[] = {
        {"a short label and its key", "&Open", kCtrlO, "&Open\tCtrl+O"},
        {"no key", "&Close", 0, "&Close"},
        {"57 bytes leave no room", repeat('a', 57), kCtrlO, repeat('a', 57)},
        {"52 bytes and Ctrl+O fill 59", repeat('b', 52), kCtrlO, repeat('b', 52) + "\tCtrl+O"},
        {"a long key name that would overrun", repeat('c', 50), kCtrlShiftF12, repeat('c', 50)},
        {"the same name where it fits", repeat('d', 44), kCtrlShiftF12, repeat('d', 44) + "\tCtrl+Shift+F12"},
        {"a label longer than 59 is cut", repeat('e', 80), 0, repeat('e', 59)},
    };
    int id = 1;
    for (const LabelCase& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(menu_append_item(bar, id, 0, c.text.c_str(), c.key, nullptr), 1);
        EXPECT_EQ(std::string(bar.items.back().item.text), c.shown);
        EXPECT_EQ(window_text(bar.menu, menu_position(bar, id)), c.shown);
        id++;
    }
}

TEST_F(PresentationMenuTest, PositionsFollowTheListAndPopupsTakeTheirItemsAlong)
{
    MenuRecord file;
    ASSERT_EQ(menu_create(file, nullptr), 1);
    ASSERT_EQ(menu_append_item(file, 11, 0, "&Open", kCtrlO, nullptr), 1);
    ASSERT_EQ(menu_append_item(file, 12, 0, "(-", 0, nullptr), 1);
    ASSERT_EQ(menu_append_item(file, 13, kMenuItemDisabled, "&Quit", kKeyCtrl | 'Q', nullptr), 1);
    ASSERT_EQ(menu_append_item(bar, 1, 0, "&File", 0, &file), 1);
    EXPECT_FALSE(file.menu); // emptied: the bar's item holds it now
    EXPECT_TRUE(file.items.empty());
    ASSERT_EQ(menu_append_item(bar, 2, 0, "&Help", 0, nullptr), 1);
    EXPECT_EQ(menu_append_item(bar, 2, 0, "again", 0, nullptr), 0);
    EXPECT_EQ(menu_append_item(bar, 0, 0, "zero", 0, nullptr), 0);

    EXPECT_EQ(menu_position(bar, 1), 0);
    EXPECT_EQ(menu_position(bar, 2), 1);
    EXPECT_EQ(menu_position(bar, 11), -1); // the pop-up's items are not the bar's
    EXPECT_EQ(window_flags(bar.menu, 0), uint32_t(plat::MF_POPUP));
    plat::MenuItemInfo item;
    ASSERT_TRUE(plat::menu_item_at(bar.menu, 0, item));
    EXPECT_EQ(window_flags(item.popup, 1), uint32_t(plat::MF_SEPARATOR));
    EXPECT_EQ(window_flags(item.popup, 2), uint32_t(plat::MF_GRAYED | plat::MF_DISABLED));

    // Keys are found in pop-ups; disabled items are skipped.
    EXPECT_EQ(menu_find_key(bar, kKeyCtrl | 'o'), 11);
    EXPECT_EQ(menu_find_key(bar, kKeyCtrl | 'Q'), 0);
    EXPECT_EQ(menu_find_key(bar, kKeyCtrl | 'X'), 0);

    // An id that is not there changes nothing.
    menu_set_item_state(bar, 99, kMenuItemChecked);
    menu_delete_item(bar, 99);
    EXPECT_EQ(plat::get_menu_item_count(bar.menu), 2);
    menu_delete_item(bar, 1);
    EXPECT_EQ(menu_position(bar, 2), 0);
    EXPECT_EQ(menu_find_key(bar, kCtrlO), 0);
    menu_clear(bar);
    EXPECT_EQ(plat::get_menu_item_count(bar.menu), 0);
    EXPECT_FALSE(menu_has_item(bar, 2));
}

TEST_F(PresentationMenuTest, AChangedStateShowsGrayedAndChecked)
{
    ASSERT_EQ(menu_append_item(bar, 5, 0, "&Sound", 0, nullptr), 1);
    menu_set_item_state(bar, 5, kMenuItemChecked);
    EXPECT_EQ(menu_item_state(bar, 5), kMenuItemChecked);
    EXPECT_EQ(window_flags(bar.menu, 0), uint32_t(plat::MF_CHECKED));
    menu_set_item_state(bar, 5, kMenuItemDisabled);
    EXPECT_EQ(window_flags(bar.menu, 0), uint32_t(plat::MF_GRAYED | plat::MF_DISABLED));
    menu_set_item_state(bar, 5, 0);
    EXPECT_EQ(window_flags(bar.menu, 0), 0u);
}

TEST_F(PresentationMenuTest, PopupsAreCopiedWithoutFurtherPopupsAndSetInPlace)
{
    MenuRecord inner, outer;
    ASSERT_EQ(menu_create(inner, nullptr), 1);
    ASSERT_EQ(menu_create(outer, nullptr), 1);
    ASSERT_EQ(menu_append_item(inner, 31, 0, "&Deep", 0, nullptr), 1);
    ASSERT_EQ(menu_append_item(outer, 21, 0, "&Plain", kCtrlO, nullptr), 1);
    ASSERT_EQ(menu_append_item(outer, 22, 0, "&More", 0, &inner), 1);
    ASSERT_EQ(menu_append_item(bar, 1, 0, "&Go", 0, &outer), 1);
    ASSERT_EQ(menu_append_item(bar, 2, kMenuItemChecked, "&Later", 0, nullptr), 1);

    MenuRecord copy;
    ASSERT_EQ(menu_get_popup(bar, 1, copy), 1);
    ASSERT_EQ(copy.items.size(), 1u);
    EXPECT_EQ(copy.items[0].id, 21);
    EXPECT_EQ(plat::get_menu_item_count(copy.menu), 1);
    EXPECT_EQ(menu_get_popup(bar, 2, outer), 0);

    ASSERT_EQ(menu_set_popup(bar, 2, copy), 1);
    EXPECT_FALSE(copy.menu);
    EXPECT_EQ(window_flags(bar.menu, 1), uint32_t(plat::MF_POPUP | plat::MF_CHECKED));
    EXPECT_EQ(window_text(bar.menu, 1), "&Later");
    EXPECT_EQ(menu_find_key(bar, kCtrlO), 21);
}

plat::GdiObject s_glyph;
plat::GdiObject glyph() { return s_glyph; }

TEST_F(PresentationMenuTest, TheSystemItemCopiesTheWindowsSystemMenuUnderItsGlyph)
{
    s_glyph = plat::create_bitmap(20, 16, 1, 1, nullptr, 0);
    MenuHooks hooks;
    hooks.system_bitmap = glyph;
    menu_set_hooks(&hooks);
    EXPECT_EQ(menu_system_glyph_width(), 0);
    ASSERT_EQ(menu_add_system_menu(bar), 1);
    EXPECT_EQ(menu_system_glyph_width(), 20);
    EXPECT_EQ(window_flags(bar.menu, 0), uint32_t(plat::MF_POPUP) | uint32_t(plat::MF_BITMAP));

    const MenuEntry& system = bar.items.at(0);
    EXPECT_EQ(system.id, kMenuSystemItem);
    ASSERT_EQ(system.popup.size(), 7u);
    EXPECT_EQ(system.popup[0].id, int(plat::SC_RESTORE));
    EXPECT_STREQ(system.popup[5].item.text, "-");
    EXPECT_EQ(system.popup[5].id, kMenuSystemItem - 1);
    EXPECT_STREQ(system.popup[6].item.text, "&Close\tAlt+F4");

    // Only the presentation window takes the bar.
    menu_attach(bar, window);
    EXPECT_EQ(menu_get_handle(window), bar.menu);
    menu_detach(window);
    EXPECT_FALSE(menu_get_handle(window));
    plat::delete_object(s_glyph);
}

TEST_F(PresentationMenuTest, ShowingTheBarGrowsTheWindowOrMovesTheStage)
{
    MenuHooks hooks;
    hooks.bar_attach = [](int attach) { s_attached = attach; };
    menu_set_hooks(&hooks);
    int menu_height = plat::get_system_metrics(plat::SM_CYMENU);
    plat::Rect before;
    plat::get_window_rect(window, before);

    menu_show_bar(1, 0);
    EXPECT_EQ(menu_bar_state(), 1);
    EXPECT_EQ(s_attached, 1);
    plat::Rect grown;
    plat::get_window_rect(window, grown);
    EXPECT_EQ(grown.height(), before.height() + menu_height);
    EXPECT_EQ(grown.width(), before.width());
    int32_t x = -1, y = -1;
    screen_get_origin(x, y);
    EXPECT_EQ(y, 0);

    menu_show_bar(1, 0); // no change of state: no change of size
    plat::get_window_rect(window, grown);
    EXPECT_EQ(grown.height(), before.height() + menu_height);

    menu_show_bar(0, 0);
    plat::Rect back;
    plat::get_window_rect(window, back);
    EXPECT_EQ(back.height(), before.height());
    EXPECT_EQ(s_attached, 0);

    menu_show_bar(1, 1);
    screen_get_origin(x, y);
    EXPECT_EQ(y, menu_height);
    plat::get_window_rect(window, back);
    EXPECT_EQ(back.height(), before.height());
}

} // namespace
