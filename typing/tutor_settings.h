// The tutor's settings, kept in "qkt.ini" in the program folder, and the names of its nine
// users in that file's [User List].
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "typing/tutor_paths.h"

inline constexpr char kSettingsFileName[] = "qkt.ini";
constexpr int kUserSlots = 9;
constexpr size_t kUserNameMax = 40; // bytes, in either code

struct TutorSettings {
    int32_t Language = 0; // 0 Korean, 1 English
    int32_t Keyboard = 0; // 0 or 1: the first or second layout of the language
    int32_t LastSlot = -1; // current user 0..8, -1 none
    int32_t Sound = 1;
    int32_t LessonCount = 5; // repetitions of each drill, 1..20
    int32_t AfterSpace = 0; // 0..2
    int32_t Level = 0; // game level to start at, 0..7
    uint16_t Job = 0; // screen open when the main window closed
    uint16_t StatTab = 501; // 501..503
};

// The settings the program runs with (one instance; the options dialog edits a copy).
TutorSettings& settings_current();

int32_t value_clamp(int32_t value, int32_t low, int32_t high, int32_t fallback);
// Reads [User] and [Configuration]: each value within its range or its default. LastSlot is
// -1..8 (anything else -1, so no file name is made from a wild number); a Job that names no
// screen becomes 201.
void config_read(TutorSettings& settings);
// Writes the eight keys of [User] and [Configuration].
void config_write(const TutorSettings& settings);

// A user's name in Johab: "User<slot + 1>" of [User List], or for slot -1 "User Full Name" of
// [User Info] (default "뷔렌"); at most 40 bytes, never cut inside a character. "" for a
// slot outside -1..8.
std::string user_list_name_get(int slot);
// "User Full Name" of [User Info] in Johab, or the fallback (CP949) when it is missing.
std::string user_info_full_name(const char* fallback);
// Writes a Johab name as CP949 under "User<slot + 1>" (a negative slot writes "User1"); cut
// to 40 bytes at a character boundary. False when the file cannot be written.
bool user_list_name_set(int slot, std::string_view johab_name);
// A double-byte text cut to at most max bytes without splitting a pair.
std::string dbcs_cut(std::string_view text, size_t max);
void tutor_settings_reset(); // tests: defaults again, the program's own folder
