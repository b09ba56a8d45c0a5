// End-to-end: the wintest program runs headless under a script, and its event log and
// screenshots show the windows, colours and reactions a person would have seen.
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

#include "wintest_support.h"

namespace {

using namespace wintest;

class WintestRun : public testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(folder.empty()); }

    // Runs the program with the script (none when empty) and waits for it to end.
    HeadlessRun run(const std::string& script) { return run_headless(WINTEST_PATH, folder, script); }

    ScratchFolder scratch { "wintest-e2e" };
    const std::string& folder = scratch.path();
};

constexpr uint32_t kDesktop = 0x008080;
constexpr uint32_t kBlue = 0x0000FF;
constexpr uint32_t kRed = 0xFF0000;
constexpr uint32_t kGreen = 0x00FF00;
constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kYellow = 0xFFFF00;
constexpr uint32_t kActiveCaption = 0x000080;
constexpr uint32_t kInactiveCaption = 0x808080;
constexpr uint32_t kFrameLight = 0xDFDFDF;
constexpr uint32_t kInactiveCaptionText = 0xC0C0C0;

// The main window is at (100, 80), 400 x 300, with a sizing frame (4) and a caption (19): its
// client area starts at (104, 103). The panel is at client (20, 20), 120 x 80; the close box
// is at the caption's right end, around (486, 93). The tool window is at (560, 80). The titles
// are drawn in the caption: "Win Test" from x 123 in the system font, "Tools" from x 565.
constexpr const char* kClickAndTypeScript = R"(# click the panel, type, and close
wait 100
shot start.png
click 184 163            # the panel
wait 100
type Hi!
key Enter
key F5
wait 1000
shot after.png
shot main.png Win Test
click 486 93             # the close box
)";

struct PixelCase {
    const char* what;
    int x;
    int y;
    uint32_t before;
    uint32_t after;
};

static const PixelCase kScreenPixels[] = {
    {"desktop", 10, 10, kDesktop, kDesktop},
    {"main client", 114 + 300, 103 + 250, kBlue, kBlue},
    {"panel", 184, 163, kRed, kGreen},
    {"white area", 304 + 10, 123 + 10, kWhite, kWhite},
    {"first typed square", 104 + 10 + 4, 103 + 200 + 4, kBlue, kBlack},
    {"third typed square", 104 + 34 + 4, 103 + 200 + 4, kBlue, kBlack},
    {"no fourth square", 104 + 46 + 4, 103 + 200 + 4, kBlue, kBlue},
    {"active caption", 250, 90, kActiveCaption, kActiveCaption},
    {"caption title: the stem of W", 123, 89, kWhite, kWhite},
    {"caption title: the bar of T", 159, 88, kWhite, kWhite},
    {"caption title: the stem of T", 156, 93, kWhite, kWhite},
    {"caption title: inside the e", 165, 92, kActiveCaption, kActiveCaption},
    {"outer frame", 100, 200, kFrameLight, kFrameLight},
    {"tool window caption, inactive", 600, 86, kInactiveCaption, kInactiveCaption},
    {"tool window title: the bar of T", 566, 86, kInactiveCaptionText, kInactiveCaptionText},
    {"tool window client", 640, 150, kYellow, kYellow},
};

TEST_F(WintestRun, ClicksKeysAndTimersShowInTheLogAndOnScreen)
{
    HeadlessRun result = run(kClickAndTypeScript);
    ASSERT_EQ(result.exit_code, 0) << result.errors;
    const std::vector<std::string> expected{
        "0 window shown \"Win Test\"",
        "0 window shown \"Tools\"",
        "100 wintest: panel click 60,40",
        "200 wintest: char H",
        "200 wintest: char i",
        "200 wintest: char !",
        "200 wintest: typed \"Hi!\"",
        "200 wintest: key F5",
        "250 wintest: tick 1",
        "500 wintest: tick 2",
        "750 wintest: tick 3",
        "1200 wintest: close requested",
        "1200 window closed \"Tools\"",
        "1200 wintest: bye after 3 ticks",
        "1200 window closed \"Win Test\"",
        "1200 wintest: quit",
    };
    std::vector<std::string> lines;
    std::istringstream log(result.log);
    for (std::string line; std::getline(log, line);)
        lines.push_back(line);
    EXPECT_EQ(lines, expected);

    Picture before, after;
    ASSERT_TRUE(read_png(folder + "/start.png", before));
    ASSERT_TRUE(read_png(folder + "/after.png", after));
    ASSERT_EQ(before.width, 1024);
    ASSERT_EQ(before.height, 768);
    for (const PixelCase& c : kScreenPixels) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(before.at(c.x, c.y), c.before);
        EXPECT_EQ(after.at(c.x, c.y), c.after);
    }
}

TEST_F(WintestRun, AWindowShotHoldsThatWindowOnly)
{
    HeadlessRun result = run(kClickAndTypeScript);
    ASSERT_EQ(result.exit_code, 0) << result.errors;
    Picture window;
    ASSERT_TRUE(read_png(folder + "/main.png", window));
    EXPECT_EQ(window.width, 400);
    EXPECT_EQ(window.height, 300);
    EXPECT_EQ(window.at(0, 100), kFrameLight);
    EXPECT_EQ(window.at(150, 10), kActiveCaption);
    EXPECT_EQ(window.at(123 - 100, 89 - 80), kWhite); // the title's W
    EXPECT_EQ(window.at(184 - 100, 163 - 80), kGreen);
}

TEST_F(WintestRun, DoubleAndRightClicksAndAltF4)
{
    HeadlessRun result = run("dblclick 184 163\nwait 600\nclick 450 300 right\nkey Alt+F4\n");
    ASSERT_EQ(result.exit_code, 0) << result.errors;
    std::vector<std::string> events = events_of(result.log);
    const std::vector<std::string> expected{
        "window shown \"Win Test\"",
        "window shown \"Tools\"",
        "wintest: panel click 60,40",
        "wintest: panel double click",
        "wintest: tick 1",
        "wintest: tick 2",
        "wintest: main right click 346,197",
        "wintest: close requested",
        "window closed \"Tools\"",
        "wintest: bye after 2 ticks",
        "window closed \"Win Test\"",
        "wintest: quit",
    };
    EXPECT_EQ(events, expected);
}

// The main window dragged by its caption from (250, 90) by (100, 200): it is then at (200, 280),
// its close box too (clear of the tool window), and the desktop shows where it was.
constexpr const char* kDragScript = R"(wait 100
down 250 90
move 300 190
move 350 290
up 350 290
wait 100
shot moved.png
click 586 293            # the close box, moved with the window
)";

static const PixelCase kMovedPixels[] = { // "after" only
    {"where the caption was", 250, 90, 0, kDesktop},
    {"where the client area was", 150, 150, 0, kDesktop},
    {"the caption now", 350, 290, 0, kActiveCaption},
    {"the panel now", 184 + 100, 163 + 200, 0, kRed},
    {"the client area now", 414 + 100, 353 + 200, 0, kBlue},
    {"the tool window stays", 640, 150, 0, kYellow},
};

TEST_F(WintestRun, DraggingTheCaptionMovesTheWindow)
{
    HeadlessRun result = run(kDragScript);
    ASSERT_EQ(result.exit_code, 0) << result.errors;
    std::vector<std::string> events = events_of(result.log);
    const std::vector<std::string> expected{
        "window shown \"Win Test\"",
        "window shown \"Tools\"",
        "wintest: main moving to 150,180",
        "wintest: main moving to 200,280",
        "wintest: main moved to 200,280",
        "wintest: close requested",
        "window closed \"Tools\"",
        "wintest: bye after 0 ticks",
        "window closed \"Win Test\"",
        "wintest: quit",
    };
    EXPECT_EQ(events, expected);
    Picture moved;
    ASSERT_TRUE(read_png(folder + "/moved.png", moved));
    for (const PixelCase& c : kMovedPixels) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(moved.at(c.x, c.y), c.after);
    }
}

TEST_F(WintestRun, TheEndOfTheScriptClosesTheProgram)
{
    HeadlessRun result = run("wait 100\n");
    ASSERT_EQ(result.exit_code, 0) << result.errors;
    std::vector<std::string> events = events_of(result.log);
    ASSERT_GE(events.size(), 3u);
    EXPECT_EQ(events[events.size() - 3], "wintest: bye after 0 ticks");
    EXPECT_EQ(events.back(), "wintest: quit");
    EXPECT_NE(result.log.find("100 wintest: close requested"), std::string::npos);
}

TEST_F(WintestRun, WithoutAScriptTheRunEndsAtOnce)
{
    HeadlessRun result = run("");
    ASSERT_EQ(result.exit_code, 0) << result.errors;
    EXPECT_NE(result.log.find("0 wintest: close requested"), std::string::npos);
    EXPECT_NE(result.log.find("0 wintest: quit"), std::string::npos);
}

TEST_F(WintestRun, ABadScriptIsRefusedWithItsLine)
{
    HeadlessRun result = run("wait 10\nclick 10\n");
    EXPECT_EQ(result.exit_code, 2);
    EXPECT_NE(result.errors.find("line 2: expected two coordinates"), std::string::npos) << result.errors;
    EXPECT_EQ(result.log, "");
}

TEST_F(WintestRun, AFailingCommandIsLoggedAndTheRunGoesOn)
{
    HeadlessRun result = run("shot missing.png No Such Window\nclick 184 163\n");
    ASSERT_EQ(result.exit_code, 0) << result.errors;
    EXPECT_NE(result.log.find("script error"), std::string::npos);
    EXPECT_NE(result.log.find("wintest: panel click"), std::string::npos);
    EXPECT_NE(result.errors.find("no visible window titled \"No Such Window\""), std::string::npos);
}

// With "--menu" the main window has a bar below its caption: rows 103 to 121, "File" from x 104,
// "Help" after it. File's pull-down opens at (104, 122); its first item is rows 125 to 142.
constexpr const char* kMenuScript = R"(wait 1000
click 115 112            # File
shot menu.png
click 130 134            # Toggle panel
key Alt
key Right
key Down
key Enter                # Help, About
key Alt+Space
shot system.png
key Escape
click 115 112
click 115 112            # a second click on an open title closes it
key Alt+F
key X                    # Exit
)";

TEST_F(WintestRun, TheMenuBarIsDrivenByClicksAndKeys)
{
    HeadlessRun result = run_headless(WINTEST_PATH, folder, kMenuScript, {"--menu"});
    ASSERT_EQ(result.exit_code, 0) << result.errors;
    std::vector<std::string> events;
    for (const std::string& event : events_of(result.log)) {
        if (event.rfind("wintest: tick", 0) != 0)
            events.push_back(event);
    }
    const std::vector<std::string> expected{
        "window shown \"Win Test\"",
        "window shown \"Tools\"",
        "menu opened \"File\"",
        "menu chose \"Toggle panel\"",
        "menu closed",
        "wintest: command 1",
        "menu opened \"Help\"",
        "menu chose \"About\"",
        "menu closed",
        "wintest: command 3",
        "menu opened \"System\"",
        "menu closed",
        "menu opened \"File\"",
        "menu closed",
        "menu opened \"File\"",
        "menu chose \"Exit\"",
        "menu closed",
        "wintest: command 2",
        "wintest: close requested",
        "window closed \"Tools\"",
        "wintest: bye after 3 ticks",
        "window closed \"Win Test\"",
        "wintest: quit",
    };
    EXPECT_EQ(events, expected);

    Picture menu, system;
    ASSERT_TRUE(read_png(folder + "/menu.png", menu));
    ASSERT_TRUE(read_png(folder + "/system.png", system));
    constexpr uint32_t kMenuFace = 0xC0C0C0;
    EXPECT_EQ(menu.at(106, 106), kActiveCaption) << "File is highlighted";
    EXPECT_EQ(menu.at(300, 106), kMenuFace) << "the rest of the bar";
    EXPECT_EQ(menu.at(108, 150), kMenuFace) << "the pull-down over the client area";
    EXPECT_EQ(menu.at(300, 300), kBlue) << "the client area below the bar";
    EXPECT_EQ(system.at(108, 108), kActiveCaption) << "Restore is highlighted below the system box";
}

} // namespace
