#include "platform/kernel/path.h"
#include "runtime/files/fspec_disk.h"
#include "runtime/files/fspec_mgr.h"
#include "runtime/files/ini.h"
#include "runtime/base/mem.h"
#include "text_scope.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

// A program folder and a Windows folder under one temporary root. The program's folder is
// named to the settings module in upper case, so every look-up goes through the platform's
// case-insensitive Windows paths.
class IniTest : public testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/ini_test_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root = pattern;
        program = root + "/Prog";
        windows = root + "/WinDir";
        if (const char* old = std::getenv("STORVEL_WINDOWS_DIR"))
            saved_windows_dir = old;
        ini_reset();
        mem_reset();
        fresh_folders();
    }

    void TearDown() override
    {
        ini_reset();
        mem_reset();
        if (saved_windows_dir.empty())
            unsetenv("STORVEL_WINDOWS_DIR");
        else
            setenv("STORVEL_WINDOWS_DIR", saved_windows_dir.c_str(), 1);
        fs::remove_all(root);
    }

    void fresh_folders()
    {
        fs::remove_all(program);
        fs::remove_all(windows);
        fs::create_directories(program);
        fs::create_directories(windows);
        setenv("STORVEL_WINDOWS_DIR", windows.c_str(), 1);
        std::string folder = plat::path_from_host(program);
        for (char& c : folder)
            c = char(std::toupper(static_cast<unsigned char>(c)));
        app_set_exe_folder(folder.c_str());
    }

    static void put(const std::string& host_path, const std::string& text)
    {
        std::ofstream(host_path, std::ios::binary) << text;
    }

    static std::string contents(const std::string& host_path)
    {
        std::ifstream in(host_path, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    static std::string read(IniSetting setting, const char* section = nullptr)
    {
        char out[300] = "untouched";
        uint32_t length = ini_read_setting(setting, section, out, sizeof out);
        EXPECT_EQ(length, std::strlen(out));
        return out;
    }

    std::string root, program, windows, saved_windows_dir;
};

struct LookupCase {
    const char* name;
    const char* program_file; // null: none beside the program
    const char* windows_file; // null: none in the Windows folder
    int32_t target_icon;
    const char* expected; // the [Debug] ShowErrors read
};

TEST_F(IniTest, FileBesideTheProgramComesBeforeTheWindowsFolder)
{
    static const LookupCase kCases[] = {
        { "beside the program wins", "V5W.INI", "V5W.INI", 0, "program" },
        { "name matched without case", "v5w.ini", "V5W.INI", 0, "program" },
        { "Windows folder when none is beside", nullptr, "V5W.INI", 0, "windows" },
        { "no file: the default", nullptr, nullptr, 0, "" },
        { "a target icon reads the wizard's file", "V5W.INI", "V5WIZARD.INI", 7, "windows" },
        { "wizard's file beside the program", "V5WIZARD.INI", "V5WIZARD.INI", 7, "program" },
        { "a target icon ignores V5W.INI", "V5W.INI", "V5W.INI", 7, "" },
    };
    for (const LookupCase& c : kCases) {
        SCOPED_TRACE(c.name);
        ini_reset();
        fresh_folders();
        if (c.program_file)
            put(program + "/" + c.program_file, "[Debug]\r\nShowErrors=program\r\n");
        if (c.windows_file)
            put(windows + "/" + c.windows_file, "[Debug]\r\nShowErrors=windows\r\n");
        EXPECT_EQ(ini_init(c.target_icon), 1);
        EXPECT_EQ(read(IniSetting::show_errors), c.expected);
        EXPECT_EQ(ini_file_path().empty(), c.expected[0] == '\0');
    }
}

struct SettingCase {
    IniSetting setting;
    const char* section;
    const char* key;
    const char* fallback;
};

static const SettingCase kSettingCases[] = {
    { IniSetting::quicktime, "Options", "QuickTime", "" },
    { IniSetting::mmx_enable_check, "MMXTechnology", "MMXEnableCheck", "1" },
    { IniSetting::show_errors, "Debug", "ShowErrors", "" },
    { IniSetting::records_location, "Directory", "RecordsLocation", "" },
    { IniSetting::search_path, "Directory", "SearchPath", "" },
    { IniSetting::courses_folder, "Directory", "Courses", "" },
    { IniSetting::packages_folder, "Directory", "Packages", "" },
    { IniSetting::libraries_folder, "Directory", "Libraries", "" },
    { IniSetting::movies_folder, "Directory", "Movies", "" },
    { IniSetting::plugin_folder, "Directory", "", "" },
    { IniSetting::video_port, "Video", "Port", "Prin" }, // read into 5 bytes
    { IniSetting::video_player, "Video", "Player", "None" },
    { IniSetting::video_overlay, "Video", "Overlay", "None" },
    { IniSetting::video_player_driver, "Video", "PlayerDriver32", "" },
    { IniSetting::video_overlay_driver, "Video", "OverlayDriver32", "" },
};

TEST_F(IniTest, EverySettingHasItsNamesAndDefaultWithOrWithoutAFile)
{
    for (int with_file = 0; with_file < 2; with_file++) {
        ini_reset();
        fresh_folders();
        if (with_file)
            put(windows + "/V5W.INI", "[Other]\r\nQuickTime=no\r\n");
        ini_init(0);
        EXPECT_EQ(ini_file_path().empty(), with_file == 0);
        for (const SettingCase& c : kSettingCases) {
            SCOPED_TRACE(std::string(c.section) + " " + c.key
                + (with_file ? " with a file" : " without a file"));
            EXPECT_EQ(ini_setting_section(c.setting), c.section);
            EXPECT_EQ(ini_setting_key(c.setting), c.key);
            EXPECT_EQ(read(c.setting), c.fallback);
        }
    }
}

TEST_F(IniTest, ValuesAreCutToTheSizeTheirOwnerReads)
{
    put(program + "/V5W.INI",
        "[Video]\r\nPort=LPT1:XYZ\r\nPlayerDriver32=" + std::string(100, 'd') + "\r\n");
    ini_init(0);
    EXPECT_EQ(read(IniSetting::video_port), "LPT1");
    EXPECT_EQ(read(IniSetting::video_player_driver), std::string(63, 'd'));
    char small[3];
    EXPECT_EQ(ini_read_setting(IniSetting::video_player, nullptr, small, sizeof small), 2u);
    EXPECT_STREQ(small, "No");
}

// A cut never leaves a lead byte without its trail byte, from the file or from a default.
TEST_F(IniTest, DoubleByteValuesAreCutOnACharacterBoundary)
{
    TextScope scope(949, "K");
    const std::string korean = "\xB0\xA1\xB3\xAA\xB4\xD9"; // three syllables, two bytes each
    put(program + "/V5W.INI", "[Video]\r\nPort=A" + korean + "\r\n");
    ini_init(0);
    struct Case {
        uint32_t size;
        const char* section;
        const char* default_value;
        std::string expected;
    };
    const Case kCases[] = {
        { 8, "Video", "", "A" + korean },
        { 7, "Video", "", "A" + korean.substr(0, 4) },
        { 4, "Video", "", "A" + korean.substr(0, 2) },
        { 3, "Video", "", "A" },
        { 2, "Video", "", "A" },
        { 4, "Absent", korean.c_str(), korean.substr(0, 2) },
        { 3, "Absent", korean.c_str(), korean.substr(0, 2) },
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.size);
        char out[16];
        std::memset(out, '#', sizeof out);
        EXPECT_EQ(
            ini_read_string(out, c.size, c.section, "Port", c.default_value), c.expected.size());
        EXPECT_EQ(std::string(out), c.expected);
        // Nothing is written past the size the caller gave.
        EXPECT_EQ(
            std::string(out + c.size, sizeof out - c.size), std::string(sizeof out - c.size, '#'));
    }
}

TEST_F(IniTest, PieceSectionIsAskedInPlaceOfTheSettingsOwn)
{
    put(program + "/V5W.INI",
        "[Intro]\r\nRecordsLocation=C:\\MINE\r\n[Directory]\r\nRecordsLocation=C:"
        "\\ALL\r\nSearchPath=C:\\MEDIA\r\n");
    ini_init(0);
    EXPECT_EQ(read(IniSetting::records_location, "INTRO"), "C:\\MINE");
    EXPECT_EQ(read(IniSetting::records_location), "C:\\ALL");
    EXPECT_EQ(read(IniSetting::search_path, "Intro"), "");
    EXPECT_EQ(read(IniSetting::search_path), "C:\\MEDIA");
}

TEST_F(IniTest, FirstMmxProbeCreatesTheFileInTheWindowsFolder)
{
    ini_init(0);
    EXPECT_EQ(ini_file_path(), "");
    app_mmx_set_settings(ini_read_string, ini_write_string);
    app_mmx_available();
    EXPECT_FALSE(fs::exists(program + "/V5W.INI"));
    ASSERT_TRUE(fs::exists(windows + "/V5W.INI"));
    EXPECT_NE(contents(windows + "/V5W.INI").find("[MMXTechnology]\r\nMMXEnableCheck=1"),
        std::string::npos);
    EXPECT_EQ(read(IniSetting::mmx_enable_check), "1");
}

TEST_F(IniTest, WritesGoToTheFileInUseAndLeaveOthersAlone)
{
    put(program + "/V5W.INI", "; kept\r\n[Directory]\r\nMovies=C:\\OLD\r\n");
    ini_init(0);
    EXPECT_EQ(ini_write_setting(IniSetting::courses_folder, "C:\\COURSES"), 1);
    EXPECT_EQ(ini_write_string_ids(1500, 41, 42, "0"), 1); // [MMXTechnology] MMXEnableCheck
    EXPECT_EQ(read(IniSetting::courses_folder), "C:\\COURSES");
    EXPECT_EQ(read(IniSetting::movies_folder), "C:\\OLD");
    char out[8];
    EXPECT_EQ(ini_read_string_ids(out, sizeof out, 1500, 41, 42, "1"), 1u);
    EXPECT_STREQ(out, "0");
    EXPECT_EQ(contents(program + "/V5W.INI").rfind("; kept\r\n", 0), 0u);
    EXPECT_FALSE(fs::exists(windows + "/V5W.INI"));
}

TEST_F(IniTest, FailedCreationIsNotRetriedInTheSameRun)
{
    put(root + "/plain", "a file, so no folder can be made under it");
    setenv("STORVEL_WINDOWS_DIR", (root + "/plain/windows").c_str(), 1);
    ini_init(0);
    EXPECT_EQ(ini_write_setting(IniSetting::show_errors, "yes"), 0);
    setenv("STORVEL_WINDOWS_DIR", windows.c_str(), 1);
    EXPECT_EQ(ini_write_setting(IniSetting::show_errors, "yes"), 0);
    EXPECT_EQ(read(IniSetting::show_errors), "");
    EXPECT_FALSE(fs::exists(windows + "/V5W.INI"));

    ini_reset(); // the next run tries again
    fresh_folders();
    ini_init(0);
    EXPECT_EQ(ini_write_setting(IniSetting::show_errors, "yes"), 1);
    EXPECT_EQ(read(IniSetting::show_errors), "yes");
}

struct FolderCase {
    const char* name;
    const char* folder;
    IniBackslash keep;
    int size;
    const char* expected;
};

TEST_F(IniTest, ProgramFolderIsCutAtItsLastBackslash)
{
    static const FolderCase kCases[] = {
        { "kept backslash", "C:\\Apps\\Run", IniBackslash::keep, 64, "C:\\Apps\\Run\\" },
        { "dropped backslash", "C:\\Apps\\Run", IniBackslash::drop, 64, "C:\\Apps\\Run" },
        { "given with its backslash", "C:\\Apps\\Run\\", IniBackslash::drop, 64, "C:\\Apps\\Run" },
        { "exactly fits", "C:\\Apps\\Run", IniBackslash::keep, 13, "C:\\Apps\\Run\\" },
        { "one byte short", "C:\\Apps\\Run", IniBackslash::keep, 12, "" },
    };
    for (const FolderCase& c : kCases) {
        SCOPED_TRACE(c.name);
        app_set_exe_folder(c.folder);
        char out[64] = "untouched";
        EXPECT_EQ(app_exe_folder_path(out, c.size, c.keep), int(std::strlen(c.expected)));
        EXPECT_STREQ(out, c.expected);
    }

    app_set_exe_folder(nullptr);
    char out[plat::MAX_PATH];
    app_exe_folder_path(out, sizeof out, IniBackslash::drop);
    EXPECT_EQ(out, plat::get_program_folder());
}

TEST_F(IniTest, ProgramFolderKeepsADoubleByteNameWhoseTrailByteIsABackslash)
{
    TextScope scope(932, "J");
    app_set_exe_folder("C:\\Apps\\\x95\x5C"); // the second byte of this character is 0x5C
    char out[64];
    EXPECT_EQ(app_exe_folder_path(out, sizeof out, IniBackslash::keep), 11);
    EXPECT_STREQ(out, "C:\\Apps\\\x95\x5C\\");
    EXPECT_EQ(app_exe_folder_path(out, sizeof out, IniBackslash::drop), 10);
    EXPECT_STREQ(out, "C:\\Apps\\\x95\x5C");
}

} // namespace

// A spec placed in the program's or the Windows folder keeps its name and ends up naming a file
// in that folder, with exactly one backslash between them.
TEST_F(IniTest, SpecsMoveIntoTheStandardFolders)
{
    ASSERT_EQ(fspec_manager_create(), 1);
    DiskFileSpec* spec = fspec_manager_new_spec();
    ASSERT_NE(spec, nullptr);
    ASSERT_EQ(fspec_disk_set_path(*spec, "D:\\Elsewhere\\NOTE.TXT"), 0);
    put(program + "/note.txt", "p");
    put(windows + "/note.txt", "w");

    struct Case {
        const char* what;
        int (*place)(FileSpec&);
        std::string host_file;
    };
    const Case cases[] = {
        {"program folder", fspec_set_exe_folder, program + "/note.txt"},
        {"Windows folder", fspec_set_windows_folder, windows + "/note.txt"},
        {"system folder", fspec_set_system_folder, windows + "/note.txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(c.place(*spec), 0);
        char path[300];
        ASSERT_EQ(spec->get_full_path(path, int(sizeof path)), 0);
        EXPECT_EQ(std::string(path).find("\\\\"), std::string::npos) << path;
        EXPECT_EQ(plat::path_to_host(path), c.host_file) << path;
    }
    fspec_manager_release(spec);
    fspec_manager_destroy();
}
