// A user of the tutor: the statistics file "user<slot + 1>.dat" in the program folder (4976
// bytes: header, today's block, the total block, 30 days of history) and the record the
// program keeps of the current user.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/window/window_types.h"
#include "typing/practice_stats.h"

constexpr size_t kUserHeaderSize = 232;
constexpr size_t kHistoryDays = 30;
constexpr size_t kHistoryEntrySize = 28;
constexpr size_t kUserFileSize = kUserHeaderSize + 2 * kStatsSize + kHistoryDays * kHistoryEntrySize;

// Header offsets the program reads or sets.
enum UserHeaderField : size_t {
    kHeaderText = 0, // "QKT 1.00 user data file.", 40 bytes
    kHeaderEof = 40, // 0x1A
    kHeaderVersion = 42, // u16 256
    kHeaderValue = 44, // i16 given to user_record_new
    kHeaderOne = 48, // u32 1
    kHeaderSpacing = 116, // u32 spacing after a full stop; never set
    kHeaderLessonStage = 120, // u32 0 key drills, 1 word drills
    kHeaderLesson = 124, // u32 current lesson index
    kHeaderPosition = 128, // u32 key pair within the lesson
    kHeaderTwo = 132, // u32 2
    kHeaderFileName = 208, // 24 bytes
};

struct HistoryEntry {
    DateStamp date;
    uint16_t unused = 0; // the two bytes after day and month, kept as read
    int32_t keystrokes = 0;
    int32_t typed = 0;
    int32_t strokes = 0;
    int32_t accuracy = 0;
    int32_t milliseconds = 0;
};

struct UserRecord {
    std::array<uint8_t, kUserHeaderSize> header {}; // kept as stored
    PracticeStats today;
    PracticeStats total;
    std::array<HistoryEntry, kHistoryDays> history {};
};

uint32_t user_header_u32(const UserRecord& record, size_t offset);
void user_header_set_u32(UserRecord& record, size_t offset, uint32_t value);
std::string user_file_name(const UserRecord& record); // the name in the header

// A zero-filled record with 2 at 132, the value at 44, 1 at 48 and the file name (if any).
std::unique_ptr<UserRecord> user_record_new(int16_t header_value, const char* file_name);
// A new record of the slot, with its file read when it has one (slot -1 has none); null for a
// slot outside -1..8.
std::unique_ptr<UserRecord> user_load(int slot);
// Reads the record's file from the program folder: true when it was read. A file of any other
// length than 4976 bytes is not read and the record stays as it was. A today's block of another
// day is cleared.
bool user_file_read(UserRecord& record);
// The record from the bytes of a user file; false (record untouched) unless there are exactly
// 4976. user_file_bytes is the reverse.
bool user_file_parse(std::span<const uint8_t> bytes, UserRecord& record);
std::vector<uint8_t> user_file_bytes(const UserRecord& record);
// A tutor file's bytes when it holds exactly that many; empty when it is missing or of another
// length. tutor_file_replace writes a file whole through a temporary file renamed over the
// old one: false (the old file untouched) when that fails.
std::vector<uint8_t> tutor_file_read_exact(const std::string& path, size_t expected);
bool tutor_file_replace(const std::string& path, const std::vector<uint8_t>& bytes);
// Updates the history and saves the file of the slot whole (a temporary file renamed over the
// old one), so that a write that fails leaves the old file as it was. False for slot -1, a slot
// outside 0..8 or a write that failed.
bool user_save(UserRecord& record, int slot);
// Today's block gets today's date and today's entry of the history its numbers; a 31st day
// drops the oldest entry.
void user_history_update(UserRecord& record);

// The current user (null before one is loaded); the shell owns its lifetime.
UserRecord* user_current();
void user_set_current(std::unique_ptr<UserRecord> record);
std::unique_ptr<UserRecord> user_take_current();
// Adds a practice block into the current user's today and total blocks.
void practice_stats_commit(const PracticeStats& practice);

// Draws "face<slot + 1>.bmp" into the bitmap at (x, y), (45, 27) when either is -1; a slot
// outside 0..8 counts as 0. Nothing when the picture is missing.
void user_face_draw(plat::GdiObject bitmap, int slot, int32_t x, int32_t y);
