#include "typing/user_dialog.h"

#include "typing/game_edit.h"
#include "typing/johab.h"

#include "tutor_window_test.h"

#include <filesystem>

namespace {

class UserDialog : public TutorWindowTest {
protected:
    void SetUp() override
    {
        TutorWindowTest::SetUp();
        use_archive({solid_picture("vd-usr2.bmp", 640, 480, 5), solid_picture("face1.bmp", 70, 88, 3),
            solid_picture("face2.bmp", 70, 88, 4), solid_picture("vd-del.bmp", 300, 200, 5),
            test_picture("icontool.bmp", 34 * 55, 55, [](int, int) { return 7u; })});
        hot_area_build();
        user_set_current(user_load(settings_current().LastSlot));
    }
    std::string ini_text()
    {
        std::vector<uint8_t> bytes = read_host_file(path("qkt.ini"));
        return std::string(bytes.begin(), bytes.end());
    }
    void write_ini(const std::string& text)
    {
        write_host_file(path("qkt.ini"), std::vector<uint8_t>(text.begin(), text.end()));
    }
    // Screen coordinates of a point of the dialog, which is centred on the 640 x 480 host.
    static std::string at(int32_t x, int32_t y) { return std::to_string(x) + " " + std::to_string(y); }
};

TEST_F(UserDialog, AComposedKoreanNameReachesTheUserListInCp949)
{
    // With no user, slot 0 is chosen and the field shows "1" until it is replaced.
    start_script("wait 50\nkey Backspace\ncompose \xEA\xB9\x80\xEC\xB2\xA0\nkey Enter\n"); // 김철
    EXPECT_EQ(user_dialog_run(host), 1);
    EXPECT_NE(ini_text().find("User1=\xB1\xE8\xC3\xB6"), std::string::npos) << ini_text();
    EXPECT_EQ(settings_current().LastSlot, 0);
    EXPECT_EQ(johab_to_wansung(user_list_name_get(0)), "\xB1\xE8\xC3\xB6");
}

TEST_F(UserDialog, CancellingKeepsOrEndsByWhetherAUserWasSelected)
{
    static const struct {
        const char* name;
        int32_t last_slot;
        int expected;
    } kCases[] = {{"no user", -1, 0}, {"a user", 4, 1}};
    for (const auto& row : kCases) {
        SCOPED_TRACE(row.name);
        settings_current().LastSlot = row.last_slot;
        start_script("wait 50\nkey Esc\n");
        EXPECT_EQ(user_dialog_run(host), row.expected);
        EXPECT_EQ(settings_current().LastSlot, row.last_slot);
    }
}

TEST_F(UserDialog, ChoosingAnotherFaceSavesTheOldUserAndLoadsTheNew)
{
    write_ini("[User]\nLastSlot=0\n[User List]\nUser1=Kim\nUser2=Lee\n");
    config_read(settings_current());
    user_set_current(user_load(0));
    user_current()->total.at(kStatsTyped) = 123;
    // The dialog is 640 x 480 over the host at (0, 0): face 2 lies at (156, 36).
    start_script("wait 50\nclick " + at(190, 80) + "\nwait 50\nkey Enter\n");
    EXPECT_EQ(user_dialog_run(host), 1);
    EXPECT_EQ(settings_current().LastSlot, 1);
    std::vector<uint8_t> saved = read_host_file(path("user1.dat"));
    ASSERT_EQ(saved.size(), kUserFileSize);
    UserRecord old;
    ASSERT_TRUE(user_file_parse(saved, old));
    EXPECT_EQ(old.total.at(kStatsTyped), 123);
    EXPECT_EQ(user_current()->total.at(kStatsTyped), 0);
}

TEST_F(UserDialog, DeletingIsRefusedForTheUserTheDialogWasOpenedWith)
{
    write_ini("[User]\nLastSlot=0\n[User List]\nUser1=Kim\nUser2=Lee\n");
    config_read(settings_current());
    write_host_file(path("user1.dat"), std::vector<uint8_t>(kUserFileSize, 0));
    write_host_file(path("user2.dat"), std::vector<uint8_t>(kUserFileSize, 0));
    // The delete tool (40, 419) on slot 0 does nothing; on slot 1 it asks, and the yes tool
    // 908 of the 300 x 200 confirmation, centred at (170, 140), says yes.
    start_script("wait 50\nclick " + at(60, 440) + "\nwait 50\nclick " + at(190, 80) + "\nwait 50\nclick "
        + at(60, 440) + "\nwait 50\nclick " + at(170 + 90, 140 + 125) + "\nwait 50\nkey Esc\n");
    EXPECT_EQ(user_dialog_run(host), 1);
    EXPECT_TRUE(std::filesystem::exists(path("user1.dat")));
    EXPECT_FALSE(std::filesystem::exists(path("user2.dat")));
    EXPECT_EQ(johab_to_wansung(user_list_name_get(0)), "Kim");
    EXPECT_EQ(user_list_name_get(1), "");
}

} // namespace
