// End-to-end: qkt32 runs headless in a folder of its own (the program, its data files and
// the help program linked in), under the tour script and beside a second instance.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "platform/kernel/codepage.h"
#include "platform/kernel/log.h"
#include "test_util.h"
#include "tests/wintest/wintest_support.h"

namespace {

namespace fs = std::filesystem;
using namespace wintest;

const std::string kBin = STORVEL_BINARY_DIR "/bin/";
const std::string kQkt32 = kBin + "qkt32";

bool has_line(const std::vector<std::string>& events, const std::string& line)
{
    return std::find(events.begin(), events.end(), line) != events.end();
}

std::string joined(const std::vector<std::string>& events)
{
    std::string text;
    for (const std::string& event : events)
        text += event + "\n";
    return text;
}

std::string cp949(const char* utf8) { return plat::utf8_to_code_page(949, utf8); }

// A program folder of its own: the files are linked (the help program is as large as the
// runtime), copied where a link cannot be made.
class TutorFolder : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(folder.empty());
        ASSERT_EQ(mkdir(runtime_dir.c_str(), 0700), 0);
        for (const char* name : {"qkt32", "qktbmp.map", "PNXBMP.FNT"})
            place(name);
    }
    void place(const std::string& name, const std::string& as = "")
    {
        fs::path from = kBin + name;
        fs::path to = folder + "/" + (as.empty() ? name : as);
        std::error_code error;
        fs::create_hard_link(from, to, error);
        if (error)
            fs::copy_file(from, to, error);
        ASSERT_FALSE(error) << name << ": " << error.message();
    }
    std::string program() const { return folder + "/qkt32"; }
    std::string path(const std::string& name) const { return folder + "/" + name; }
    HeadlessRun run(const std::string& script)
    {
        return run_headless(program(), folder, script, {}, {"PLAT_SCREEN=640x480", "STORVEL_RUNTIME_DIR=" + runtime_dir});
    }

    ScratchFolder scratch {"qkt32-e2e"};
    const std::string& folder = scratch.path();
    std::string runtime_dir = folder + "/rt";
};

TEST_F(TutorFolder, TheTourWalksTheMenuAndLeavesTheSettingsAndTheUserFile)
{
    place("varnek.exe");
    std::error_code error;
    fs::copy(kBin + "data", path("data"), fs::copy_options::recursive, error);
    ASSERT_FALSE(error) << error.message();
    HeadlessRun result = run(read_text(STORVEL_SOURCE_DIR "/tests/typing/tour.script"));
    std::vector<std::string> events = events_of(result.log);
    EXPECT_EQ(result.exit_code, 0) << result.errors;
    for (const char* line : {"window shown \"뷔렌타자교사\"", "window shown \"뷔렌타자교사 정보\"",
             "window closed \"뷔렌타자교사 정보\"", "screen close QKLesson", "window closed \"뷔렌타자교사\""}) {
        EXPECT_TRUE(has_line(events, line)) << line << "\n" << joined(events);
    }
    EXPECT_TRUE(has_line(events, "program started " + plat::log_quote_utf8(path("varnek.exe")))) << joined(events);
    // The short text: its first proverb typed without a fault, then closed through its result.
    for (const char* line : {"screen open ShortStory 301", "line judged lines=1 typed=10 correct=10 strokes=20 ms=2100 speed=571 accuracy=100",
             "result \"단문 연습\" keystrokes=20 characters=10 speed=571 accuracy=100 time=\"2 초\"",
             "screen close ShortStory"}) {
        EXPECT_TRUE(has_line(events, line)) << line << "\n" << joined(events);
    }
    // The first lesson: its drills typed with keys, its words composed, then its result.
    EXPECT_TRUE(has_line(events, "result \"ㅁ ㄴ ㅇ ㄹ ㅓ ㅏ ㅣ ;\" keystrokes=73 characters=54 speed=1000 accuracy=100 time=\"6 초\""))
        << joined(events);
    // The long text: its first page typed without a fault, then closed through its result.
    for (const char* line : {"screen open LongStory 302", "line model 2 \"있었다. 파란 지붕에 하얀 벽, 그리고 문 앞에는 빨간\"",
             "line judged lines=3 typed=67 correct=67 strokes=137 ms=12000 speed=685 accuracy=100",
             "line model 0 \"우체통이 서 있었다. 우체국에서 일하는 사람은 윤 씨\"",
             "result \"바닷가 작은 우체국\" keystrokes=137 characters=67 speed=685 accuracy=100 time=\"12 초\"",
             "screen close LongStory"}) {
        EXPECT_TRUE(has_line(events, line)) << line << "\n" << joined(events);
    }
    // The statistics: each tab, a group step forward and back.
    std::vector<std::string> charts;
    for (const std::string& event : events) {
        if (event.rfind("stat chart", 0) == 0)
            charts.push_back(event);
    }
    EXPECT_EQ(charts, (std::vector<std::string> {"stat chart tab=501 group=0 items=19",
                          "stat chart tab=501 group=1 items=21", "stat chart tab=501 group=0 items=19",
                          "stat chart tab=502 group=0 items=19", "stat chart tab=503 group=0 items=30"}));
    EXPECT_TRUE(has_line(events, "screen close Stat")) << joined(events);

    // The game: the first word dropped is typed and hit, the rest fall until the tower
    // collapses, and the score enters the list under the player's name in Johab.
    for (const char* line : {"screen open Game 401", "game level 1", "game drop \"이마\"",
             "game hit \"이마\" score 10", "game over score 10", "high score stored rank 1 score 10",
             "screen close Game"}) {
        EXPECT_TRUE(has_line(events, line)) << line << "\n" << joined(events);
    }
    std::vector<uint8_t> scores = read_host_file(path("qktsco.dat"));
    ASSERT_EQ(scores.size(), 480u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(scores.data())), "\x8B\xB1\xC0\xE9\xAE\x81"); // 김철수
    EXPECT_EQ(scores[44], 10);
    EXPECT_EQ(scores[48], 0) << "one entry";

    std::string ini = read_text(path("qkt.ini"));
    EXPECT_NE(ini.find("User1=" + cp949("김철수") + "\r\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("LastSlot=0\r\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("Job=0\r\n"), std::string::npos) << ini; // the menu showed at the end
    EXPECT_NE(ini.find("[Story]\r\nFileName1=BADA.TXT\r\nFileName2=BAKER.TXT\r\n"), std::string::npos) << ini;
    std::vector<uint8_t> user = read_host_file(path("user1.dat"));
    ASSERT_EQ(user.size(), 4976u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(user.data()), 24), "QKT 1.00 user data file.");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(user.data() + 208)), "user1.dat");
}

// The menu screen is vd-menu.bmp as drawn, but where the user's face and the banner go.
TEST_F(TutorFolder, TheMenuShowsItsPictureWithTheFaceAndTheBanner)
{
    place("varnek.exe");
    HeadlessRun result = run("wait 500\nkey Enter\nwait 200\nshot menu.png\nquit\n");
    EXPECT_EQ(result.exit_code, 0) << result.errors;
    Picture shot;
    ASSERT_TRUE(read_png(path("menu.png"), shot));
    ASSERT_EQ(shot.width, 640);
    ASSERT_EQ(shot.height, 480);
    std::vector<uint8_t> menu = read_host_file(STORVEL_BINARY_DIR "/typing/art/vd-menu.bmp");
    ASSERT_FALSE(menu.empty());
    const plat::Rect face {45, 27, 45 + 70, 27 + 88};
    const plat::Rect banner {402, 74, 402 + 236, 74 + 64};
    int differing = 0;
    int banner_differing = 0;
    for (int y = 0; y < 480; ++y) {
        for (int x = 0; x < 640; ++x) {
            bool differs = shot.at(x, y) != bmp_pixel(menu, x, y);
            if (plat::pt_in_rect(banner, {x, y}))
                banner_differing += differs;
            else if (!plat::pt_in_rect(face, {x, y}))
                differing += differs;
        }
    }
    EXPECT_EQ(differing, 0);
    EXPECT_GT(banner_differing, 0); // the banner shows once the intro is gone
}

struct MissingCompanion {
    const char* name;
    size_t size; // of the file varnek.exe; 0: none
};
static const MissingCompanion kMissingCompanions[] = {
    {"no file", 0},
    {"an empty file", 1},
    {"one byte short of a program", 999},
};

TEST_F(TutorFolder, WithoutTheHelpProgramTheTutorSaysSoAndEndsWithZero)
{
    for (const MissingCompanion& row : kMissingCompanions) {
        SCOPED_TRACE(row.name);
        fs::remove(path("varnek.exe"));
        if (row.size > 0)
            std::ofstream(path("varnek.exe"), std::ios::binary) << std::string(row.size - 1, 'x') << '\n';
        HeadlessRun result = run("wait 100\n");
        std::vector<std::string> events = events_of(result.log);
        EXPECT_EQ(result.exit_code, 0) << result.errors;
        EXPECT_TRUE(has_line(events,
            "message box \"Error\" \"프로그램을 실행할 구성요소가 없습니다!\\x0D\\x0Avarnek.exe\" buttons \"OK\""))
            << joined(events);
        EXPECT_FALSE(has_line(events, "window shown \"뷔렌타자교사\"")) << joined(events);
        EXPECT_FALSE(fs::exists(path("qkt.ini"))); // nothing was started, so nothing is written
    }
}

// Two processes: the second finds the first's main window, brings it to the front and ends
// with 1 before it reads or writes anything.
TEST_F(TutorFolder, ASecondTutorRaisesTheFirstAndEndsWithOne)
{
    place("varnek.exe");
    Peer first(folder, "first", runtime_dir, "wait 500\nkey Enter\nserve 20000\n", program(), {},
        {"PLAT_SCREEN=640x480"});
    ASSERT_TRUE(first.wait_for("serving")) << joined(first.finish());
    HeadlessRun second = run("wait 100\n");
    EXPECT_EQ(second.exit_code, 1) << second.errors;
    std::vector<std::string> second_events = events_of(second.log);
    EXPECT_FALSE(has_line(second_events, "window shown \"뷔렌타자교사\"")) << joined(second_events);
    EXPECT_TRUE(first.wait_for("foreground to QKT \"뷔렌타자교사\"")) << joined(first.finish());
}

// The help program is the runtime with the help piece, titled by the piece; started from the
// tutor it runs in the tutor's code page, and a banner click finds it and brings it up.
TEST_F(TutorFolder, TheBannerRaisesARunningHelpProgramInsteadOfStartingAnother)
{
    place("varnek.exe");
    ASSERT_EQ(mkdir(path("windows").c_str(), 0700), 0);
    Peer help(folder, "help", runtime_dir, "serve 20000\n", path("varnek.exe"), {},
        {"PLAT_CODEPAGE=949", "STORVEL_WINDOWS_DIR=" + path("windows")});
    ASSERT_TRUE(help.wait_for("serving")) << joined(help.finish());
    HeadlessRun tutor = run("wait 500\nkey Enter\nwait 200\nclick 520 106\nwait 200\nquit\n");
    EXPECT_EQ(tutor.exit_code, 0) << tutor.errors;
    std::vector<std::string> events = events_of(tutor.log);
    for (const std::string& line : events)
        EXPECT_EQ(line.rfind("program started", 0), std::string::npos) << line;
    EXPECT_TRUE(help.wait_for("foreground to SVXMainClass \"누리솔 도움말\"")) << joined(help.finish());
}

} // namespace
