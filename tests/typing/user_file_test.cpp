#include "typing/user_file.h"

#include "platform/kernel/byte_io.h"
#include "platform/kernel/clock.h"
#include "platform/kernel/file.h"
#include "typing/tutor_settings.h"

#include "test_util.h"

#include <string>

namespace {

// A user file written field by field, as the format lays it out, without the reader's code.
struct UserFileFixture {
    uint32_t lesson = 3;
    uint8_t today_day = 5, today_month = 2; // 5 March
    int32_t today_year = 126;
    int32_t today_typed = 40, today_correct = 30;
    int32_t total_typed = 900, total_correct = 800;
    int history_days = 2; // entries 0.. used, day i + 1 of January
};

std::vector<uint8_t> user_file_fixture(const UserFileFixture& f)
{
    std::vector<uint8_t> out;
    plat::ByteWriter w(out);
    const char text[40] = "QKT 1.00 user data file.";
    w.bytes(text, 40);
    w.u8(0x1A);
    w.u8(0);
    w.u16le(256);
    w.u16le(0);
    w.u16le(0);
    w.u32le(1);
    std::vector<uint8_t> zeros(200, 0);
    w.bytes(zeros.data(), 116 - 52);
    w.u32le(0); // spacing
    w.u32le(1); // stage
    w.u32le(f.lesson);
    w.u32le(7); // position
    w.u32le(2);
    w.bytes(zeros.data(), 72);
    const char name[24] = "user4.dat";
    w.bytes(name, 24);
    auto stats = [&](uint8_t day, uint8_t month, int32_t year, int32_t typed, int32_t correct) {
        w.u8(day);
        w.u8(month);
        w.u16le(0);
        w.u32le(uint32_t(year));
        w.u32le(uint32_t(typed));
        w.u32le(uint32_t(correct));
        w.u32le(uint32_t(correct * 2)); // strokes
        w.u32le(60000); // milliseconds
        for (size_t i = 6; i < kStatsWords; ++i)
            w.u32le(i == kStatsJamoTyped + 2 ? 9u : 0u); // initial field 2 typed 9 times
    };
    stats(f.today_day, f.today_month, f.today_year, f.today_typed, f.today_correct);
    stats(0, 0, 0, f.total_typed, f.total_correct);
    for (int i = 0; i < 30; ++i) {
        bool used = i < f.history_days;
        w.u8(used ? uint8_t(i + 1) : 0);
        w.u8(0);
        w.u16le(0);
        w.u32le(used ? 126u : 0u);
        for (uint32_t field : {100u, 50u, 80u, 90u, 1000u})
            w.u32le(used ? field : 0u);
    }
    return out;
}

uint64_t file_time_of(uint16_t year, uint16_t month, uint16_t day)
{
    plat::SystemTime time;
    time.year = year;
    time.month = month;
    time.day = day;
    time.hour = 12;
    uint64_t file_time = 0;
    EXPECT_TRUE(plat::system_time_to_file_time(time, file_time));
    return file_time;
}

class UserFile : public TempFolder {
protected:
    void SetUp() override
    {
        TempFolder::SetUp();
        tutor_settings_reset();
        tutor_folder_set(path(""));
        plat::clock_use_virtual(1000, file_time_of(2026, 3, 5));
    }
    void TearDown() override
    {
        plat::file_reset();
        plat::clock_reset();
        tutor_settings_reset();
        user_set_current(nullptr);
        TempFolder::TearDown();
    }
    void next_day() { plat::clock_advance(24 * 3600 * 1000); }
};

TEST_F(UserFile, AFileIsReadFieldByFieldAndWrittenBackByteForByte)
{
    std::vector<uint8_t> fixture = user_file_fixture({});
    write_host_file(path("user4.dat"), fixture);
    std::unique_ptr<UserRecord> record = user_load(3);
    ASSERT_TRUE(record);
    EXPECT_EQ(user_header_u32(*record, kHeaderLesson), 3u);
    EXPECT_EQ(user_header_u32(*record, kHeaderPosition), 7u);
    EXPECT_EQ(record->today.at(kStatsTyped), 40);
    EXPECT_EQ(record->total.at(kStatsCorrect), 800);
    EXPECT_EQ(record->history[1].date.day, 2);
    EXPECT_EQ(record->history[1].milliseconds, 1000);
    EXPECT_EQ(user_file_bytes(*record), fixture);

    ASSERT_TRUE(user_save(*record, 3));
    std::vector<uint8_t> saved = read_host_file(path("user4.dat"));
    ASSERT_EQ(saved.size(), kUserFileSize);
    // Saving fills today's entry, the third, for 5 March; all before it is as read.
    size_t entry = kUserHeaderSize + 2 * kStatsSize + 2 * kHistoryEntrySize;
    for (size_t i = 0; i < entry; ++i)
        ASSERT_EQ(saved[i], fixture[i]) << "byte " << i;
    plat::ByteReader r(saved.data() + entry, kHistoryEntrySize);
    EXPECT_EQ(r.u8(), 5);
    EXPECT_EQ(r.u8(), 2);
    r.u16le();
    EXPECT_EQ(r.i32le(), 126);
    EXPECT_EQ(r.i32le(), 9); // keystrokes: initial field 2 is a real jamo
    EXPECT_EQ(r.i32le(), 40);
    EXPECT_EQ(r.i32le(), 60);
    EXPECT_EQ(r.i32le(), 75);
    EXPECT_EQ(r.i32le(), 60000);
}

TEST_F(UserFile, AFileOfAnyOtherLengthIsANewUser)
{
    static const struct {
        const char* name;
        int64_t length_change;
    } kCases[] = {{"empty", -int64_t(kUserFileSize)}, {"one byte short", -1}, {"one byte long", 1},
        {"twice as long", int64_t(kUserFileSize)}};
    for (const auto& row : kCases) {
        SCOPED_TRACE(row.name);
        std::vector<uint8_t> bytes = user_file_fixture({});
        bytes.resize(size_t(int64_t(bytes.size()) + row.length_change), 0xEE);
        write_host_file(path("user2.dat"), bytes);
        std::unique_ptr<UserRecord> record = user_load(1);
        ASSERT_TRUE(record);
        EXPECT_EQ(record->total.at(kStatsTyped), 0);
        EXPECT_EQ(user_header_u32(*record, kHeaderTwo), 2u);
        EXPECT_EQ(user_file_name(*record), "user2.dat");
    }
}

TEST_F(UserFile, ALaterDayClearsTodayButKeepsTheTotalAndTheHistory)
{
    write_host_file(path("user4.dat"), user_file_fixture({}));
    next_day();
    std::unique_ptr<UserRecord> record = user_load(3);
    EXPECT_EQ(record->today.at(kStatsTyped), 0);
    EXPECT_EQ(record->today.at(kStatsJamoTyped + 2), 0);
    EXPECT_EQ(record->total.at(kStatsTyped), 900);
    EXPECT_EQ(record->history[0].typed, 50);
}

TEST_F(UserFile, TheThirtyFirstDayDropsTheOldestEntry)
{
    std::unique_ptr<UserRecord> record = user_record_new(0, "user1.dat");
    for (int day = 0; day < 31; ++day) {
        record->today.at(kStatsTyped) = day + 1;
        user_history_update(*record);
        next_day();
    }
    EXPECT_EQ(record->history[0].typed, 2); // the first day's entry is gone
    EXPECT_EQ(record->history[29].typed, 31);
    EXPECT_EQ(record->history[29].date, (DateStamp {4, 3, 126})); // 4 April 2026
    // Practice later on the last day updates that day's entry.
    plat::clock_use_virtual(1000, file_time_of(2026, 4, 4));
    record->today.at(kStatsTyped) = 77;
    user_history_update(*record);
    EXPECT_EQ(record->history[29].typed, 77);
    EXPECT_EQ(record->history[28].typed, 30);
}

TEST_F(UserFile, ASaveThatFailsPartWayLeavesTheOldFile)
{
    std::vector<uint8_t> old = user_file_fixture({});
    write_host_file(path("user4.dat"), old);
    std::unique_ptr<UserRecord> record = user_load(3);
    record->total.at(kStatsTyped) = 1;
    for (uint64_t limit : {1ull, 232ull, 4975ull}) {
        SCOPED_TRACE(limit);
        plat::file_fail_writes_after(limit);
        EXPECT_FALSE(user_save(*record, 3));
        plat::file_fail_writes_after(0);
        EXPECT_EQ(read_host_file(path("user4.dat")), old);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(path("")), {}), 1); // nothing left behind
    }
    EXPECT_TRUE(user_save(*record, 3));
    EXPECT_NE(read_host_file(path("user4.dat")), old);
}

TEST_F(UserFile, OnlySlotsZeroToEightHaveFiles)
{
    std::unique_ptr<UserRecord> record = user_record_new(0, nullptr);
    for (int slot : {-1, 9, 42}) {
        SCOPED_TRACE(slot);
        EXPECT_FALSE(user_save(*record, slot));
    }
    EXPECT_FALSE(user_load(42));
    EXPECT_TRUE(std::filesystem::is_empty(path("")));
}

TEST_F(UserFile, ACommittedPracticeAddsToTodayAndTotal)
{
    user_set_current(user_record_new(0, nullptr));
    PracticeStats practice;
    practice.at(kStatsTyped) = 10;
    practice.at(kStatsKeyTyped + 61) = 4;
    practice.at(kStatsKeyTyped + 62) = 4; // the 63rd key slot is not added
    practice.at(kStatsDate) = 99;
    practice_stats_commit(practice);
    practice_stats_commit(practice);
    for (const PracticeStats* stats : {&user_current()->today, &user_current()->total}) {
        EXPECT_EQ(stats->at(kStatsTyped), 20);
        EXPECT_EQ(stats->at(kStatsKeyTyped + 61), 8);
        EXPECT_EQ(stats->at(kStatsKeyTyped + 62), 0);
        EXPECT_EQ(stats->at(kStatsDate), 0);
    }
}

} // namespace
