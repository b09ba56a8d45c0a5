// The long texts: the catalogue of the data folder, the story chosen for each language, the
// chooser's pages, and the long-text screen without any story.
#include "typing/long_story.h"
#include "typing/multi_input.h"
#include "typing/story_catalog.h"
#include "typing/story_chooser.h"
#include "typing/tutor_paths.h"

#include "tests/wintest/wintest_support.h"
#include "tutor_window_test.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

std::string read_all(const std::string& file)
{
    std::ifstream in(file, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

class StoryCatalog : public TempFolder {
protected:
    void SetUp() override
    {
        TempFolder::SetUp();
        tutor_settings_reset();
        story_catalog_free();
        tutor_folder_set(path(""));
        std::filesystem::create_directories(path("data"));
    }
    void TearDown() override
    {
        story_catalog_free();
        tutor_settings_reset();
        TempFolder::TearDown();
    }
    void story(const std::string& name, const std::string& text)
    {
        write_host_file(path("data/" + name), std::vector<uint8_t>(text.begin(), text.end()));
    }
    void ini(const std::string& text)
    {
        write_host_file(path("qkt.ini"), std::vector<uint8_t>(text.begin(), text.end()));
    }
};

TEST_F(StoryCatalog, TheScanTakesTheTextFilesButTheReadme)
{
    story("KITE.TXT", "\r\n  The Kite\r\nA red kite.\r\n");
    story("readme.txt", "Not a story\r\n");
    const std::string title = plat::utf8_to_code_page(949, "바닷가 작은 우체국");
    story("BADA.TXT", title + "\r\n" + title + ".\r\n");
    story("notes.doc", "Not a text\r\n");
    std::filesystem::create_directories(path("data/DIR.TXT"));
    story_catalog_scan();
    const std::vector<StoryEntry>& entries = story_catalog();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].file_name, "BADA.TXT");
    EXPECT_EQ(entries[0].language, kStoryKorean);
    EXPECT_EQ(entries[0].code, kStoryWansung);
    EXPECT_EQ(entries[0].title, title);
    EXPECT_EQ(entries[1].file_name, "KITE.TXT");
    EXPECT_EQ(entries[1].language, kStoryEnglish);
    EXPECT_EQ(entries[1].title, "The Kite");
    EXPECT_EQ(entries[1].file_size, 27u);
    story("ZEBRA.TXT", "Later\r\n");
    story_catalog_scan(); // built once a run
    EXPECT_EQ(story_catalog().size(), 2u);
}

TEST_F(StoryCatalog, TheChoiceIsTheNamedStoryOrTheFirstOfItsLanguage)
{
    static const struct {
        const char* name;
        const char* ini;
        int32_t korean;
        int32_t english;
    } kCases[] = {
        {"nothing written", "", 0, 2},
        {"names compared without case", "[Story]\r\nFileName1=sijang.txt\r\nFileName2=Snow.Txt\r\n", 1, 3},
        {"a name not in the catalogue", "[Story]\r\nFileName1=GONE.TXT\r\n", 0, 2},
        {"a story of the other language", "[Story]\r\nFileName1=SNOW.TXT\r\nFileName2=BOMBI.TXT\r\n", 0, 2},
    };
    story_catalog_set({{kStoryWansung, kStoryKorean, "BOMBI.TXT", 10, "a"}, {kStoryWansung, kStoryKorean, "SIJANG.TXT", 10, "b"},
        {kStoryWansung, kStoryEnglish, "KITE.TXT", 10, "c"}, {kStoryWansung, kStoryEnglish, "SNOW.TXT", 10, "d"}});
    for (const auto& row : kCases) {
        SCOPED_TRACE(row.name);
        ini(row.ini);
        story_choice_read();
        EXPECT_EQ(story_current(0), row.korean);
        EXPECT_EQ(story_current(1), row.english);
    }
    story_set_current(1, 0); // a Korean story is no English choice
    EXPECT_EQ(story_current(1), 2);
    story_set_current(0, 1);
    story_choice_write();
    std::string written = read_all(path("qkt.ini"));
    EXPECT_NE(written.find("FileName1=SIJANG.TXT"), std::string::npos) << written;
    EXPECT_NE(written.find("FileName2=KITE.TXT"), std::string::npos) << written;
}

// With no story of a language (or none at all) nothing is chosen, and nothing is written over
// what the settings hold.
TEST_F(StoryCatalog, WithoutStoriesNothingIsChosenOrWritten)
{
    ini("[Story]\r\nFileName1=BOMBI.TXT\r\n");
    story_catalog_scan();
    story_choice_read();
    EXPECT_EQ(story_current(0), kNoStory);
    EXPECT_EQ(story_current(1), kNoStory);
    EXPECT_EQ(story_entry(story_current(0)), nullptr);
    story_choice_write();
    EXPECT_EQ(read_all(path("qkt.ini")), "[Story]\r\nFileName1=BOMBI.TXT\r\n");

    story_catalog_set({{kStoryWansung, kStoryEnglish, "KITE.TXT", 10, "c"}});
    story_choice_read();
    EXPECT_EQ(story_current(0), kNoStory); // never the English story in entry 0
    EXPECT_EQ(story_current(1), 0);
}

TEST(StoryPictures, TheExtensionBecomesBmp)
{
    EXPECT_EQ(story_picture_name('s', "BOMBI.TXT"), "s_BOMBI.bmp");
    EXPECT_EQ(story_picture_name('l', "A.B.TXT"), "l_A.B.bmp");
    EXPECT_EQ(story_picture_name('l', "NOEXT"), "l_NOEXT.bmp");
}

// Thirteen stories of one language behind one of the other: two pages, the second with one.
class StoryChooser : public TutorWindowTest {
protected:
    void SetUp() override
    {
        TutorWindowTest::SetUp();
        use_archive({solid_picture("face1.bmp", 40, 40, 1), solid_picture("vd-stybk.bmp", 640, 480, 1),
            solid_picture("s_none.bmp", 120, 80, 5), solid_picture("s_S02.bmp", 120, 80, 3),
            solid_picture("icontool.bmp", 1870, 55, 2)});
        hot_area_build();
        std::vector<StoryEntry> entries {{kStoryWansung, kStoryEnglish, "OTHER.TXT", 10, "x"}};
        for (int i = 1; i <= 13; ++i) {
            char name[16];
            std::snprintf(name, sizeof name, "S%02d.TXT", i);
            entries.push_back({kStoryWansung, kStoryKorean, name, 10, name});
        }
        story_catalog_set(entries);
    }
    void TearDown() override
    {
        story_catalog_free();
        TutorWindowTest::TearDown();
    }
};

TEST(ChooserPages, TwelveStoriesAPage)
{
    const std::vector<int32_t> thirteen {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13};
    EXPECT_EQ(chooser_page_count(thirteen), 2);
    EXPECT_EQ(chooser_page_count(std::vector<int32_t>(12, 1)), 1);
    EXPECT_EQ(chooser_page_count(std::vector<int32_t> {}), 1);
    EXPECT_EQ(chooser_cell_story(thirteen, 0, 11), 12);
    EXPECT_EQ(chooser_cell_story(thirteen, 1, 0), 13);
    EXPECT_EQ(chooser_cell_story(thirteen, 1, 1), kNoStory);
    EXPECT_EQ(chooser_cell_story(thirteen, 0, 12), kNoStory);
    EXPECT_EQ(chooser_cell_story(thirteen, -1, 0), kNoStory);
}

// The dialog lies over the host at the screen's corner: its points are the screen's.
TEST_F(StoryChooser, TheArrowsPageAndAReleasedCellChooses)
{
    static const struct {
        const char* name;
        const char* script;
        int32_t chosen;
    } kCases[] = {
        {"the first cell", "click 103 75", 1},
        {"the last cell of the first page", "click 535 317", 12},
        {"forward, then the first cell", "click 356 446\nclick 103 75", 13},
        {"forward past the last page stays", "click 356 446\nclick 356 446\nclick 103 75", 13},
        {"back from the first page stays", "click 300 446\nclick 247 75", 2},
        {"forward and back", "click 356 446\nclick 300 446\nclick 103 75", 1},
        {"released off the cell chooses nothing", "down 103 75\nup 400 75\nkey Esc", kNoStory},
        {"an empty cell chooses nothing", "click 356 446\nclick 247 75\nkey Esc", kNoStory},
        {"Enter alone chooses nothing", "key Enter\nkey Esc", kNoStory},
    };
    for (const auto& row : kCases) {
        SCOPED_TRACE(row.name);
        start_script(std::string("wait 50\n") + row.script + "\n");
        EXPECT_EQ(story_chooser_run(host, 0), row.chosen);
    }
}

TEST_F(StoryChooser, APressedCellMovesItsPictureAndAStoryWithoutOneShowsTheDefault)
{
    start_script("wait 50\ndown 247 75\nwait 50\nshot " + path("pressed.png") + "\nup 247 75\n");
    EXPECT_EQ(story_chooser_run(host, 0), 2);
    wintest::Picture shot;
    ASSERT_TRUE(wintest::read_png(path("pressed.png"), shot));
    auto at = [&](int32_t x, int32_t y) { return shot.at(x, y); };
    EXPECT_EQ(at(187 + 1, 35 + 1), kTestColours[1]); // S02's picture moved 4 pixels right and down
    EXPECT_EQ(at(187 + 5, 35 + 5), kTestColours[3]);
    EXPECT_EQ(at(43 + 1, 35 + 1), kTestColours[5]); // S01 has no picture of its own
}

class LongStoryScreen : public TutorWindowTest {
protected:
    void SetUp() override
    {
        TutorWindowTest::SetUp();
        ASSERT_TRUE(multi_input_register());
        ASSERT_TRUE(long_story_register());
        use_archive({solid_picture("face1.bmp", 40, 40, 1), solid_picture("vd-lmj.bmp", 640, 480, 1),
            solid_picture("vd-ttl.bmp", 340, 240, 1)});
        std::filesystem::create_directories(path("data"));
        story_catalog_free();
    }
    void TearDown() override
    {
        story_catalog_free();
        TutorWindowTest::TearDown();
    }
};

TEST_F(LongStoryScreen, WithoutStoriesThereIsNothingToTypeAndEscEndsIt)
{
    start_script("wait 50\nkey Esc\nwait 50\nkey Space\n");
    plat::WindowHandle screen = plat::create_window_ex(0, kLongStoryClass, "", plat::WS_CHILD | plat::WS_VISIBLE, 0,
        0, 640, 480, host, 302, {}, nullptr);
    ASSERT_TRUE(screen);
    plat::set_focus(screen);
    run_for(500);
    EXPECT_FALSE(plat::is_window(screen));
    std::string log = read_all(path("run.log"));
    EXPECT_NE(log.find("result \"\" keystrokes=0 characters=0 speed=0 accuracy=0 time=\"0 초\""), std::string::npos)
        << log;
}

} // namespace
