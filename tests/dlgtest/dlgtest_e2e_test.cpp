// End-to-end: dlgtest runs headless under a script; its event log shows every notification its
// dialog's controls sent and what they held at the end, and its screenshots show the controls
// where the dialog template puts them.
#include <algorithm>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

#include "tests/wintest/wintest_support.h"

namespace {

using namespace wintest;

struct RunResult {
    int exit_code = -1;
    std::vector<std::string> events; // log lines without their time
    std::string errors;
};

class DlgtestRun : public testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(folder.empty()); }

    RunResult run(const std::string& script, const char* mode = nullptr)
    {
        std::vector<std::string> arguments;
        if (mode)
            arguments.push_back(mode);
        HeadlessRun run = run_headless(DLGTEST_PATH, folder, script, arguments);
        return { run.exit_code, events_of(run.log), run.errors };
    }

    Picture shot(const std::string& name)
    {
        Picture picture;
        EXPECT_TRUE(read_png(folder + "/" + name, picture)) << name;
        return picture;
    }

    ScratchFolder scratch { "dlgtest-e2e" };
    const std::string& folder = scratch.path();
};

// The lines of dlgtest itself, without its prefix, leaving out the owner-drawn list's drawing.
std::vector<std::string> program_lines(const RunResult& result)
{
    std::vector<std::string> out;
    for (const std::string& event : result.events) {
        if (event.rfind("dlgtest: ", 0) == 0 && event.find("draw swan") == std::string::npos)
            out.push_back(event.substr(9));
    }
    return out;
}

// The results the dialog logs on OK, after its last command.
std::vector<std::string> results_of(const RunResult& result)
{
    std::vector<std::string> lines = program_lines(result);
    auto ok = std::find(lines.begin(), lines.end(), "command 1 BN_CLICKED");
    return ok == lines.end() ? std::vector<std::string>{} : std::vector<std::string>(ok + 1, lines.end());
}

bool contains(const std::vector<std::string>& lines, const std::string& wanted)
{
    return std::find(lines.begin(), lines.end(), wanted) != lines.end();
}

// Keys alone fill in every control: Tab walks the tab stops in template order.
constexpr const char* kKeysScript = R"(wait 100
type Ann Lee
key Tab
type pw
key Tab
key Space                 # Check me
key Tab
key Down                  # from Green to Blue
key Tab
key Down
key Down                  # fruit: Banana, then Cherry
key Tab
key Down                  # swans: Red
key Tab
key F4
key Down
key Enter                 # size: Medium
key Tab
type Nine
key Tab
key Right
key Right                 # the scroll bar
key Enter                 # the default button
)";

TEST_F(DlgtestRun, KeysFillInEveryControlAndEnterPressesTheDefaultButton)
{
    RunResult result = run(kKeysScript);
    ASSERT_EQ(result.exit_code, 0) << result.errors;
    const std::vector<std::string> expected{
        "name \"Ann Lee\"",
        "password \"pw\"",
        "check 1",
        "colour &Blue",
        "fruit 2 \"Cherry\"",
        "swan Red",
        "size \"Medium\"",
        "number \"Nine\"",
        "scroll 12",
        "dialog result 1",
    };
    EXPECT_EQ(results_of(result), expected);
    std::vector<std::string> lines = program_lines(result);
    // The notifications of each control, in the order the keys made them.
    for (const char* wanted : {"init, first control 101", "command 101 EN_SETFOCUS", "command 101 EN_CHANGE",
             "command 102 EN_SETFOCUS", "command 103 BN_CLICKED", "command 106 BN_CLICKED",
             "command 107 LBN_SELCHANGE", "command 108 LBN_SELCHANGE", "command 109 CBN_DROPDOWN",
             "command 109 CBN_SELCHANGE", "command 109 CBN_SELENDOK", "command 109 CBN_CLOSEUP",
             "command 110 CBN_EDITCHANGE", "scroll 1 at 11", "scroll 8 at 12"})
        EXPECT_TRUE(contains(lines, wanted)) << wanted;
    auto position = [&](const std::string& line) { return std::find(lines.begin(), lines.end(), line) - lines.begin(); };
    EXPECT_LT(position("command 109 CBN_SELCHANGE"), position("command 109 CBN_SELENDOK"));
    EXPECT_LT(position("command 109 CBN_SELENDOK"), position("command 109 CBN_CLOSEUP"));
    EXPECT_LT(position("command 103 BN_CLICKED"), position("command 106 BN_CLICKED"));
    EXPECT_TRUE(contains(result.events, "window closed \"Every Control\""));
}

// The main window is at (10, 10) with a sizing frame and caption: its client area starts at
// (14, 33); the dialog's client area at 20, 20 dialog units of 6 x 12 pixels (a unit is 1.5
// pixels each way) lies 30, 30 further, at (44, 63). Control positions below are the template's
// times 1.5, rounded half up, from there.
constexpr const char* kClicksScript = R"(wait 100
click 130 84              # name
type Bo
click 60 136              # Check me
click 300 133             # Blue
click 70 215              # fruit 4: date
click 200 213             # swan 3: Green
click 320 181             # size: drop the list
wait 100
click 320 222             # Large
click 415 211             # number's button
wait 100
click 320 250             # Three
click 272 262             # the scroll bar's right arrow
wait 600
click 272 262
wait 600
click 380 322             # Apply
click 215 322             # OK
)";

TEST_F(DlgtestRun, ClicksReachEachControlWhereTheTemplatePutsIt)
{
    RunResult result = run(kClicksScript);
    ASSERT_EQ(result.exit_code, 0) << result.errors;
    const std::vector<std::string> expected{
        "name \"Bo\"",
        "password \"\"",
        "check 1",
        "colour &Blue",
        "fruit 3 \"date\"",
        "swan Green",
        "size \"Large\"",
        "number \"Three\"",
        "scroll 12",
        "dialog result 1",
    };
    EXPECT_EQ(results_of(result), expected);
    std::vector<std::string> lines = program_lines(result);
    EXPECT_TRUE(contains(lines, "command 3 BN_CLICKED")); // Apply
    EXPECT_TRUE(contains(lines, "command 110 CBN_SELCHANGE"));
}

TEST_F(DlgtestRun, EscapeAndTheCloseBoxCancel)
{
    RunResult by_key = run("wait 100\ntype x\nkey Escape\n");
    ASSERT_EQ(by_key.exit_code, 0) << by_key.errors;
    EXPECT_TRUE(contains(program_lines(by_key), "dialog result 2"));
    EXPECT_FALSE(contains(program_lines(by_key), "command 1 BN_CLICKED"));
    // The close box sits at the right end of the dialog's caption.
    RunResult by_box = run("wait 100\nclick 424 52\n");
    ASSERT_EQ(by_box.exit_code, 0) << by_box.errors;
    EXPECT_TRUE(contains(program_lines(by_box), "dialog result 2"));
}

TEST_F(DlgtestRun, TheScriptsAnswerPressesANamedButton)
{
    RunResult result = run("wait 100\nanswer apply\nanswer OK\n");
    ASSERT_EQ(result.exit_code, 0) << result.errors;
    std::vector<std::string> lines = program_lines(result);
    EXPECT_TRUE(contains(lines, "command 3 BN_CLICKED"));
    EXPECT_TRUE(contains(lines, "dialog result 1"));
}

constexpr uint32_t kFace = 0xC0C0C0;
constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kShadow = 0x808080;
constexpr uint32_t kHighlight = 0x000080;

struct PixelCase {
    const char* what;
    int x;
    int y;
    uint32_t color;
};

// Where the template puts each control (see kClicksScript for the arithmetic).
static const PixelCase kDialogPixels[] = {
    {"dialog face", 100, 280, kFace},
    {"owner behind, painted and inactive", 600, 400, 0x808080},
    {"name field, inside", 150, 84, kWhite},
    {"name field, its sunken edge", 119, 90, kShadow},
    {"name field, the edge's dark inner line", 120, 90, kBlack},
    {"password field, inside", 250, 111, kWhite},
    {"check box, inside", 60, 136, kWhite},
    {"fruit list, inside", 140, 230, kWhite},
    {"swan 1 (red), drawn by the owner", 190, 197, 0xFF0000},
    {"swan 2 (green), drawn by the owner", 190, 213, 0x00A000},
    {"size field, highlighted (no focus: white)", 350, 181, kWhite},
    {"OK, the default button's black frame", 179, 320, kBlack},
    {"Cancel, no black frame", 262, 320, 0xDFDFDF},
    {"the icon's black ring", 399, 249, kBlack},
    {"etched line, shadow", 100, 288, kShadow},
    {"etched line, highlight", 100, 289, kWhite},
    {"caption, active", 300, 52, kHighlight},
};

TEST_F(DlgtestRun, AScreenshotShowsTheControlsWhereTheTemplatePutsThem)
{
    RunResult result = run("wait 100\nshot dialog.png\nkey Escape\n");
    ASSERT_EQ(result.exit_code, 0) << result.errors;
    Picture picture = shot("dialog.png");
    ASSERT_EQ(picture.width, 1024);
    for (const PixelCase& c : kDialogPixels) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(picture.at(c.x, c.y), c.color);
    }
}

TEST_F(DlgtestRun, TheOwnerDrawsTheSelectedSwanInTheHighlight)
{
    RunResult result = run("wait 100\nclick 200 213\nshot swans.png\nkey Escape\n");
    ASSERT_EQ(result.exit_code, 0) << result.errors;
    EXPECT_TRUE(contains(program_lines(result), "command 108 LBN_SELCHANGE"));
    bool drawn_selected = false;
    for (const std::string& event : result.events)
        drawn_selected |= event == "dlgtest: draw swan 2 selected";
    EXPECT_TRUE(drawn_selected);
    Picture picture = shot("swans.png");
    EXPECT_EQ(picture.at(260, 213), kHighlight); // the row behind the name
    EXPECT_EQ(picture.at(190, 213), 0x00A000u);  // the swatch keeps its colour
    EXPECT_EQ(picture.at(260, 197), kWhite);     // the row before, not selected
}

struct BoxAnswer {
    const char* beep;
    const char* shown;
    const char* answer;
    const char* closed;
    int result;
};

// The six boxes dlgtest shows one after another, and how the script answers each.
static const BoxAnswer kBoxes[] = {
    {"beep asterisk", "message box \"Dialog Test\" \"Saved.\" buttons \"OK\"", "answer OK", "OK", 1},
    {"beep question", "message box \"Dialog Test\" \"Print the page?\" buttons \"OK\" \"Cancel\"", "key Escape", "Cancel", 2},
    {"beep question", "message box \"Dialog Test\" \"Keep the changes?\" buttons \"Yes\" \"No\"", "answer Yes", "Yes", 6},
    {"beep exclamation", "message box \"Dialog Test\" \"The disk is almost full. Save anyway?\" buttons \"Yes\" \"No\" \"Cancel\"",
        "key Enter", "No", 7},
    {"beep hand", "message box \"Dialog Test\" \"The drive is not ready.\" buttons \"Retry\" \"Cancel\"", "answer Retry", "Retry", 4},
    {"beep hand", "message box \"Dialog Test\" \"The file is damaged.\" buttons \"Abort\" \"Retry\" \"Ignore\"", "answer ignore",
        "Ignore", 5},
};

TEST_F(DlgtestRun, MessageBoxesOfEachKindAreAnsweredAndLogged)
{
    std::string script = "wait 100\nshot box.png\n";
    for (const BoxAnswer& box : kBoxes)
        script += std::string(box.answer) + "\nwait 100\n";
    RunResult result = run(script, "msgbox");
    ASSERT_EQ(result.exit_code, 0) << result.errors;
    std::vector<std::string> lines = result.events;
    size_t from = 0;
    int number = 1;
    for (const BoxAnswer& box : kBoxes) {
        SCOPED_TRACE(box.shown);
        auto shown = std::find(lines.begin() + std::ptrdiff_t(from), lines.end(), box.shown);
        ASSERT_NE(shown, lines.end());
        ASSERT_NE(shown, lines.begin());
        EXPECT_EQ(*(shown - 1), box.beep); // the box's sound first
        auto closed = std::find(shown, lines.end(), "message box closed \"" + std::string(box.closed) + "\"");
        ASSERT_NE(closed, lines.end());
        std::string answered = "dlgtest: box " + std::to_string(number) + " answered " + std::to_string(box.result);
        auto logged = std::find(closed, lines.end(), answered);
        EXPECT_NE(logged, lines.end());
        from = size_t(closed - lines.begin());
        number++;
    }
    Picture picture = shot("box.png");
    // The first box stands centred on the screen over its disabled owner, which is painted.
    EXPECT_EQ(picture.at(600, 50), 0x808080u);
    // From the middle outwards, the box ends where the owner's grey runs on (its own shadow
    // line is grey too, but one pixel wide).
    auto owner_at = [&](int x) { return picture.at(x, 384) == 0x808080u && picture.at(x + (x < 512 ? -1 : 1), 384) == 0x808080u; };
    int left = 512;
    while (left > 0 && !owner_at(left - 1))
        left--;
    int right = 512;
    while (right < 1023 && !owner_at(right + 1))
        right++;
    EXPECT_LE(std::abs((left + right) - 1023), 1);
    // Its icon (a black ring) stands at the left, inside the frame and the margin.
    int ink = 0;
    for (int x = left + 3; x < left + 3 + 11 + 32; x++) {
        for (int y = 300; y < 470; y++)
            ink += picture.at(x, y) == kBlack;
    }
    EXPECT_GT(ink, 60);
}

} // namespace
