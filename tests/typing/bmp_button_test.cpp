#include "typing/bmp_button.h"

#include "platform/gdi/palette.h"

#include "tutor_window_test.h"

namespace {

constexpr uint32_t kBackground = 5; // grey
constexpr uint32_t kEdge = 2; // red: the picture's top-left 4 pixels
constexpr uint32_t kFace = 3; // green

class PictureButton : public TutorWindowTest {
protected:
    plat::WindowHandle button;

    void SetUp() override
    {
        TutorWindowTest::SetUp();
        use_archive({test_picture("face1.bmp", 70, 88, [](int x, int y) { return x < 4 || y < 4 ? kEdge : kFace; }),
            solid_picture("back.bmp", 70, 112, kBackground)});
        BmpButtonSetup setup {picture_load("face1.bmp"), picture_load("back.bmp"), 4, "Kim"};
        button = plat::create_window_ex(0, kBmpButtonClass, "", plat::WS_CHILD | plat::WS_VISIBLE, 66, 36, 70, 112,
            host, 3501, {}, &setup);
        ASSERT_TRUE(button);
        run_for(0);
    }
};

TEST_F(PictureButton, PressedItShiftsItsPictureAndReleasedItTellsTheParent)
{
    static const struct {
        const char* name;
        bool pressed;
        uint32_t top_left, near_right_edge, below_picture;
    } kCases[] = {
        // raised: the picture's part from (4, 4) at (0, 0); pressed: all of it at (4, 4)
        {"raised", false, kFace, kBackground, kBackground},
        {"pressed", true, kBackground, kFace, kBackground},
    };
    for (const auto& row : kCases) {
        SCOPED_TRACE(row.name);
        if (row.pressed)
            mouse(plat::WM_LBUTTONDOWN, 100, 60);
        EXPECT_EQ(window_pixel(button, 1, 1), kTestColours[row.top_left]);
        EXPECT_EQ(window_pixel(button, 68, 40), kTestColours[row.near_right_edge]);
        EXPECT_EQ(window_pixel(button, 30, 93), kTestColours[row.below_picture]);
    }
    EXPECT_EQ(window_pixel(button, 5, 40), kTestColours[kEdge]); // the edge shows only when pressed
    mouse(plat::WM_LBUTTONUP, 100, 60);
    EXPECT_EQ(commands, (std::vector<std::string> {"3501 1126"}));
    EXPECT_EQ(window_pixel(button, 1, 1), kTestColours[kFace]);
    EXPECT_NE(plat::get_capture(), button);
}

TEST_F(PictureButton, TheCaptionIsCentredOneCellAboveTheBottom)
{
    auto inked_rows = [&] {
        int rows = 0;
        for (int32_t y = 88; y < 112; ++y) {
            bool ink = false;
            for (int32_t x = 0; x < 70; ++x)
                ink = ink || window_pixel(button, x, y) != kTestColours[kBackground];
            rows += ink;
        }
        return rows;
    };
    EXPECT_GT(inked_rows(), 0);
    EXPECT_EQ(window_pixel(button, 2, 100), kTestColours[kBackground]); // "Kim" is 30 wide, from x 20
    plat::send_message(button, kMsgBmpButtonCaption, 0, 0);
    run_for(0);
    EXPECT_EQ(inked_rows(), 0);
}

} // namespace

namespace {

TEST_F(TutorWindowTest, TheProgramPaletteIsFace1sColourTable)
{
    use_archive({solid_picture("face1.bmp", 8, 8, 1)});
    std::vector<plat::PaletteEntry> entries(32);
    ASSERT_TRUE(program_palette());
    ASSERT_EQ(plat::get_palette_entries(program_palette(), 0, 32, entries.data()), std::size(kTestColours));
    EXPECT_EQ(entries[2], (plat::PaletteEntry {0xC0, 0x00, 0x00, 0}));
    use_archive({});
    EXPECT_FALSE(program_palette()); // without face1.bmp there is none, and pictures still load
}

} // namespace
