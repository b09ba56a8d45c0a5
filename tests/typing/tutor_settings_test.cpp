#include "typing/tutor_settings.h"

#include "typing/johab.h"

#include "test_util.h"

namespace {

class Settings : public TempFolder {
protected:
    void SetUp() override
    {
        TempFolder::SetUp();
        tutor_settings_reset();
        tutor_folder_set(path(""));
    }
    void TearDown() override
    {
        tutor_settings_reset();
        TempFolder::TearDown();
    }
    void write_ini(const std::string& text)
    {
        write_host_file(path("qkt.ini"), std::vector<uint8_t>(text.begin(), text.end()));
    }
    std::string ini_text()
    {
        std::vector<uint8_t> bytes = read_host_file(path("qkt.ini"));
        return std::string(bytes.begin(), bytes.end());
    }
};

TEST_F(Settings, ValuesOutsideTheirRangesTakeTheirDefaults)
{
    static const struct {
        const char* name;
        const char* ini;
        TutorSettings expected;
    } kCases[] = {
        {"no file", "", {0, 0, -1, 1, 1, 0, 0, 201, 501}},
        {"all in range", "[User]\nLastSlot=8\nJob=302\n[Configuration]\nLanguage=1\nKeyboard=1\n"
                         "Sound=0\nLessonCount=20\nAfterSpace=2\nLevel=7\n",
            {1, 1, 8, 0, 20, 2, 7, 302, 501}},
        {"none in range", "[User]\nLastSlot=42\nJob=214\n[Configuration]\nLanguage=2\nKeyboard=-1\n"
                          "Sound=2\nLessonCount=0\nAfterSpace=3\nLevel=8\n",
            {0, 0, -1, 1, 5, 0, 0, 201, 501}},
        {"slot -1 written back", "[User]\nLastSlot=-1\nJob=501\n", {0, 0, -1, 1, 1, 0, 0, 501, 501}},
        {"slot below -1", "[User]\nLastSlot=-2\nJob=0\n", {0, 0, -1, 1, 1, 0, 0, 201, 501}},
    };
    for (const auto& row : kCases) {
        SCOPED_TRACE(row.name);
        write_ini(row.ini);
        TutorSettings read;
        read.StatTab = 501;
        config_read(read);
        const TutorSettings& e = row.expected;
        EXPECT_EQ(read.Language, e.Language);
        EXPECT_EQ(read.Keyboard, e.Keyboard);
        EXPECT_EQ(read.LastSlot, e.LastSlot);
        EXPECT_EQ(read.Sound, e.Sound);
        EXPECT_EQ(read.LessonCount, e.LessonCount);
        EXPECT_EQ(read.AfterSpace, e.AfterSpace);
        EXPECT_EQ(read.Level, e.Level);
        EXPECT_EQ(read.Job, e.Job);
    }
}

TEST_F(Settings, WritingPutsTheEightKeysInOrder)
{
    TutorSettings settings;
    settings.LastSlot = -1;
    settings.Job = 401;
    settings.LessonCount = 3;
    config_write(settings);
    EXPECT_EQ(ini_text(), "[User]\r\nLastSlot=-1\r\nJob=401\r\n[Configuration]\r\nLanguage=0\r\n"
                          "Keyboard=0\r\nSound=1\r\nLessonCount=3\r\nAfterSpace=0\r\nLevel=0\r\n");
}

TEST_F(Settings, NamesAreCp949InTheFileAndJohabInTheProgram)
{
    std::string hangul_20 = "\xB0\xA1"; // 가
    for (int i = 0; i < 4; ++i)
        hangul_20 += hangul_20;
    hangul_20 += "\xB0\xA1\xB0\xA1\xB0\xA1\xB0\xA1"; // 20 syllables, 40 bytes
    write_ini("[User List]\nUser1=Kim\nUser2=" + hangul_20 + "\xB0\xA1\nUser3=a" + hangul_20 +
        "\n[User Info]\nUser Full Name=Lee\n");
    static const struct {
        const char* name;
        int slot;
        std::string expected_cp949;
    } kCases[] = {
        {"ascii", 0, "Kim"},
        {"21 syllables cut to 20", 1, hangul_20},
        {"a letter and 20 syllables: the last would be split", 2, "a" + hangul_20.substr(0, 38)},
        {"free slot", 3, ""},
        {"no user", -1, "Lee"},
        {"outside the slots", 9, ""},
    };
    for (const auto& row : kCases) {
        SCOPED_TRACE(row.name);
        std::string name = user_list_name_get(row.slot);
        EXPECT_LE(name.size(), kUserNameMax);
        EXPECT_EQ(johab_to_wansung(name), row.expected_cp949);
    }

    ASSERT_TRUE(user_list_name_set(4, wansung_to_johab("\xB1\xE8"))); // 김
    EXPECT_NE(ini_text().find("User5=\xB1\xE8\n"), std::string::npos) << ini_text();
    ASSERT_TRUE(user_list_name_set(-1, "Park"));
    EXPECT_EQ(johab_to_wansung(user_list_name_get(0)), "Park");
}

TEST_F(Settings, TheNameOfNoUserDefaultsToTheProductsOwner)
{
    EXPECT_EQ(johab_to_wansung(user_list_name_get(-1)), "\xBA\xDF\xB7\xBB");
}

} // namespace
