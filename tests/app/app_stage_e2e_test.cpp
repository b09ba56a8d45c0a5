// End-to-end: svrun32 shows icon objects of lines, rectangles and ovals described in a file
// (STORVEL_TEST_STAGE) in its presentation window, and the headless screenshot of its client
// area equals the same shapes drawn straight through the GDI in layer order.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <regex>
#include <string>
#include <vector>

#include "runtime/display/gdi_draw.h"
#include "tests/platform/gdi_test_support.h"
#include "tests/wintest/wintest_support.h"
#include "tools/piecemaker/pm_build.h"
#include "tools/piecemaker/pm_desc.h"

namespace {

using namespace wintest;

struct StageShape {
    const char* kind; // "rect", "oval" or "line"
    Rect rect;        // a line runs from (left, top) to (right, bottom)
    int64_t fill;     // 0xRRGGBB, -1 off (lines have none)
    int64_t line;
    int pen;
    int arrows;
};

struct StageIcon {
    uint32_t node;
    int32_t layer;
    int planes;
    std::vector<StageShape> shapes;
};

std::string colour_text(int64_t rgb)
{
    if (rgb < 0)
        return "-";
    char text[8];
    std::snprintf(text, sizeof text, "%06X", unsigned(rgb));
    return text;
}

std::string stage_file(int width, int height, uint32_t background, const std::vector<StageIcon>& icons)
{
    std::string text = "# made by the test\nsize " + std::to_string(width) + " " + std::to_string(height)
        + "\nbackground " + colour_text(background) + "\n";
    for (const StageIcon& icon : icons) {
        text += "icon " + std::to_string(icon.node) + " " + std::to_string(icon.layer) + " "
            + std::to_string(icon.planes) + "\n";
        for (const StageShape& s : icon.shapes) {
            std::string corners = std::to_string(s.rect.left) + " " + std::to_string(s.rect.top) + " "
                + std::to_string(s.rect.right) + " " + std::to_string(s.rect.bottom);
            if (std::string(s.kind) == "line")
                text += "line " + corners + " " + colour_text(s.line) + " " + std::to_string(s.pen) + " "
                    + std::to_string(s.arrows) + "\n";
            else
                text += std::string(s.kind) + " " + corners + " " + colour_text(s.fill) + " " + colour_text(s.line)
                    + " " + std::to_string(s.pen) + "\n";
        }
    }
    return text;
}

uint32_t colorref(int64_t rgb) { return gditest::ref(uint32_t(rgb)); }

// The shapes drawn through the primitives, back to front: by layer, the later of equal ones
// in front.
void draw_expected(gditest::Canvas& canvas, int width, int height, uint32_t background,
    std::vector<StageIcon> icons)
{
    plat::GdiObject brush = plat::create_solid_brush(colorref(background));
    plat::fill_rect(canvas.dc, Rect{0, 0, width, height}, brush);
    plat::delete_object(brush);
    std::stable_sort(icons.begin(), icons.end(), [](const StageIcon& a, const StageIcon& b) { return a.layer < b.layer; });
    for (const StageIcon& icon : icons)
        for (const StageShape& s : icon.shapes) {
            DrawStyle style;
            gdi_style_init(&style);
            style.fill_on = s.fill >= 0;
            style.fill_color = s.fill >= 0 ? colorref(s.fill) : 0;
            style.line_on = s.line >= 0;
            style.line_color = s.line >= 0 ? colorref(s.line) : 0;
            style.line_width = style.line_height = int16_t(s.pen);
            style.arrows = uint8_t(s.arrows);
            const Rect& r = s.rect;
            std::string kind = s.kind;
            if (kind == "line")
                gdi_draw_line(canvas.dc, &style, r.left, r.top, r.right, r.bottom, colorref(background));
            else if (kind == "rect")
                gdi_draw_rect(canvas.dc, &style, r.left, r.top, r.right, r.bottom, colorref(background));
            else
                gdi_draw_ellipse(canvas.dc, &style, r.left, r.top, r.right, r.bottom, colorref(background));
        }
}

class StageRun : public gditest::GdiTest {
protected:
    ScratchFolder scratch{"svrun32-stage"};
    const std::string& folder = scratch.path();

    void make_piece()
    {
        PieceDescription piece;
        std::string error;
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(pm_parse("kind PCRS\nicon map \"Top\"\n", folder, piece, error)) << error;
        ASSERT_TRUE(pm_make(piece, bytes, error)) << error;
        std::ofstream(folder + "/piece.v5r", std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    HeadlessRun run(const std::string& stage_text)
    {
        std::ofstream(folder + "/stage.txt") << stage_text;
        std::filesystem::create_directory(folder + "/windows");
        return run_headless(SVRUN32_PATH, folder, "wait 300\nshot stage.png\nquit\n", {folder + "/piece.v5r"},
            {"STORVEL_TEST_STAGE=" + folder + "/stage.txt", "STORVEL_WINDOWS_DIR=" + folder + "/windows"});
    }
};

TEST_F(StageRun, TheRefreshPaintsWhatTheShapesDrawInLayerOrder)
{
    ASSERT_FALSE(folder.empty());
    make_piece();
    constexpr int kWidth = 320;
    constexpr int kHeight = 200;
    constexpr uint32_t kBackground = 0xF0E8D0;
    // Listed out of layer order on purpose. The planes follow the layers as the executors give
    // them (0 the bottom, above 0 the middle, the screen plane in front of both).
    const std::vector<StageIcon> icons = {
        {3, 5, 4,
            {{"rect", {150, 20, 290, 110}, 0xFFFF00, 0x000000, 1, 0},
                {"line", {160, 180, 300, 60}, -1, 0x800080, 3, 2}}},
        {1, 0, 2,
            {{"rect", {10, 10, 120, 90}, 0xFF0000, 0x0000FF, 3, 0},
                {"oval", {60, 40, 220, 170}, 0x00FF00, -1, 1, 0},
                {"line", {5, 190, 310, 15}, -1, 0x000000, 2, 3},
                {"oval", {20, 110, 70, 190}, -1, 0xFF00FF, 1, 0}}},
        {2, 5, 4, {{"rect", {200, 90, 250, 140}, 0x404040, -1, 1, 0}}},
        {4, 9, 8, {{"oval", {100, 60, 180, 130}, 0x00FFFF, 0x0000FF, 2, 0}}},
    };
    std::string text = stage_file(kWidth, kHeight, kBackground, icons) + "rect 1 2 3\n";
    HeadlessRun result = run(text);
    EXPECT_EQ(result.exit_code, 0) << result.errors;
    std::vector<std::string> events = events_of(result.log);
    std::smatch at;
    int x0 = -1;
    int y0 = -1;
    for (const std::string& event : events)
        if (std::regex_match(event, at, std::regex("svrun32 test: stage at (-?[0-9]+) (-?[0-9]+)"))) {
            x0 = std::stoi(at[1]);
            y0 = std::stoi(at[2]);
        }
    ASSERT_GE(x0, 0) << result.log;
    ASSERT_GE(y0, 0);
    int lines = int(std::count(text.begin(), text.end(), '\n'));
    EXPECT_NE(std::find(events.begin(), events.end(),
                  "svrun32 test: stage line " + std::to_string(lines) + " not understood"),
        events.end());
    Picture shot;
    ASSERT_TRUE(read_png(folder + "/stage.png", shot));
    ASSERT_GE(shot.width, x0 + kWidth);
    ASSERT_GE(shot.height, y0 + kHeight);
    gditest::Canvas expected(kWidth, kHeight);
    draw_expected(expected, kWidth, kHeight, kBackground, icons);
    int differing = 0;
    for (int y = 0; y < kHeight; y++)
        for (int x = 0; x < kWidth; x++)
            if (shot.at(x0 + x, y0 + y) != expected.at(x, y) && differing++ < 5)
                ADD_FAILURE() << "pixel " << x << "," << y << ": " << std::hex << shot.at(x0 + x, y0 + y) << " not "
                              << expected.at(x, y);
    EXPECT_EQ(differing, 0);
    // Just outside the client area the stage ends: the frame is not the background.
    EXPECT_NE(shot.at(x0 + kWidth, y0 + kHeight / 2), kBackground);
}

} // namespace
