#include "typing/bmp_menu.h"
#include "typing/options_dialog.h"

#include "tutor_window_test.h"

#include <cstring>

namespace {

constexpr uint32_t kFirstItemColour = 8; // item i is colour 8 + i

ArchivePicture stacked_items(const std::string& name, int count)
{
    return test_picture(name, 100, 30 * count, [](int, int y) { return kFirstItemColour + uint32_t(y / 30); });
}

class Selector : public TutorWindowTest {
protected:
    plat::WindowHandle make_selector(const char* picture, int count)
    {
        BmpMenuSetup setup;
        std::strncpy(setup.picture, picture, sizeof setup.picture - 1);
        setup.orientation = 1;
        setup.count = count;
        plat::WindowHandle selector = plat::create_window_ex(0, kBmpMenuClass, "", plat::WS_CHILD | plat::WS_VISIBLE,
            100, 100, 0, 0, host, 3303, {}, &setup);
        run_for(0);
        return selector;
    }
    uint32_t shown_colour(plat::WindowHandle selector) { return window_pixel(selector, 50, 15); }
};

TEST_F(Selector, APopupChoiceSelectsTheItemAndTellsTheParent)
{
    use_archive({stacked_items("repeat.bmp", 5)});
    plat::WindowHandle selector = make_selector("repeat.bmp", 5);
    plat::Rect rect;
    plat::get_window_rect(selector, rect);
    EXPECT_EQ(rect.width(), 100);
    EXPECT_EQ(rect.height(), 30);
    EXPECT_EQ(shown_colour(selector), kTestColours[kFirstItemColour]);

    mouse(plat::WM_LBUTTONDOWN, 150, 110);
    mouse(plat::WM_LBUTTONUP, 150, 110);
    plat::WindowHandle popup = plat::find_window(kListPopupClass, nullptr);
    ASSERT_TRUE(popup);
    plat::get_window_rect(popup, rect);
    EXPECT_EQ(rect, (plat::Rect {100, 100, 200, 250})); // one item wide, all items high
    EXPECT_EQ(window_pixel(popup, 50, 75), kTestColours[kFirstItemColour + 2]);

    mouse(plat::WM_LBUTTONDOWN, 150, 100 + 2 * 30 + 5);
    mouse(plat::WM_LBUTTONUP, 150, 100 + 2 * 30 + 5);
    EXPECT_FALSE(plat::find_window(kListPopupClass, nullptr));
    EXPECT_EQ(commands, (std::vector<std::string> {"3303 1"}));
    EXPECT_EQ(plat::send_message(selector, kMsgBmpMenuGetSelection, 0, 0), 2);
    EXPECT_EQ(shown_colour(selector), kTestColours[kFirstItemColour + 2]);
}

TEST_F(Selector, APressOutsideThePopupOrEscClosesItWithoutAChoice)
{
    use_archive({stacked_items("space.bmp", 3)});
    plat::WindowHandle selector = make_selector("space.bmp", 3);
    static const char* const kWays[] = {"press outside", "Esc"};
    for (const char* way : kWays) {
        SCOPED_TRACE(way);
        mouse(plat::WM_LBUTTONDOWN, 150, 110);
        mouse(plat::WM_LBUTTONUP, 150, 110);
        ASSERT_TRUE(plat::find_window(kListPopupClass, nullptr));
        if (std::strcmp(way, "Esc") == 0) {
            plat::input_key(plat::VK_ESCAPE, true);
            plat::input_key(plat::VK_ESCAPE, false);
            run_for(0);
        } else {
            mouse(plat::WM_LBUTTONDOWN, 400, 400);
            mouse(plat::WM_LBUTTONUP, 400, 400);
        }
        EXPECT_FALSE(plat::find_window(kListPopupClass, nullptr));
        EXPECT_TRUE(commands.empty());
        EXPECT_EQ(plat::send_message(selector, kMsgBmpMenuGetSelection, 0, 0), 0);
    }
}

TEST_F(Selector, WithoutItsPictureItStaysEmptyAndOpensNothing)
{
    use_archive({});
    plat::WindowHandle selector = make_selector("repeat.bmp", 5);
    plat::Rect rect;
    plat::get_window_rect(selector, rect);
    EXPECT_EQ(rect.width(), 0);
    plat::send_message(selector, plat::WM_LBUTTONDOWN, 0, 0);
    run_for(0);
    EXPECT_FALSE(plat::find_window(kListPopupClass, nullptr));
    plat::send_message(selector, kMsgBmpMenuSelect, 3, 0); // the options dialog still works by keys
    EXPECT_EQ(plat::send_message(selector, kMsgBmpMenuGetSelection, 0, 0), 3);
}

// The options dialog, looked at from a timer while it runs.
struct OptionsSeen {
    int32_t lesson_selection = -1;
    uint32_t lesson_colour = 0;
};
OptionsSeen g_seen;

void look_at_options(plat::WindowHandle window, uint32_t, uintptr_t id, uint32_t)
{
    plat::kill_timer(window, id);
    plat::WindowHandle selector = plat::get_dlg_item(plat::dlgmgr_top_modal(), 3303);
    g_seen.lesson_selection = int32_t(plat::send_message(selector, kMsgBmpMenuGetSelection, 0, 0));
    plat::update_window(selector);
    plat::DcHandle dc = plat::get_dc(selector);
    g_seen.lesson_colour = plat::pixel_from_colorref(plat::get_pixel(dc, 50, 15));
    plat::release_dc(selector, dc);
}

int g_reselected = 0;

TEST_F(Selector, LessonCountFourShowsTheThirdItemAndBecomesThreeOnOk)
{
    static const struct {
        const char* name;
        const char* keys;
        int result;
        int32_t lesson_count;
        int reselected;
    } kCases[] = {
        {"OK", "key Enter", 1, 3, 1},
        {"cancelled", "key Esc", 0, 4, 0},
    };
    for (const auto& row : kCases) {
        SCOPED_TRACE(row.name);
        use_archive({solid_picture("vd-env.bmp", 300, 260, 5), stacked_items("repeat.bmp", 5),
            stacked_items("op_kbd.bmp", 2), stacked_items("op_kor.bmp", 2), stacked_items("space.bmp", 3)});
        g_seen = {};
        g_reselected = 0;
        tutor_hooks_set(TutorHooks {nullptr, [] { ++g_reselected; }, nullptr});
        settings_current().LessonCount = 4;
        start_script(std::string("wait 100\n") + row.keys);
        plat::set_timer(host, 77, 50, look_at_options);
        EXPECT_EQ(options_dialog_run(host), row.result);
        EXPECT_EQ(g_seen.lesson_selection, 2);
        EXPECT_EQ(g_seen.lesson_colour, kTestColours[kFirstItemColour + 2]);
        EXPECT_EQ(settings_current().LessonCount, row.lesson_count);
        EXPECT_EQ(g_reselected, row.reselected);
    }
}

} // namespace
