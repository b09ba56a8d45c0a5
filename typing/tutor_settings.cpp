// Settings and user names. The ini file is read through the profile functions at every call:
// it holds nothing the program must keep open.
#include "typing/tutor_settings.h"

#include "platform/kernel/profile.h"
#include "typing/johab.h"

#include <cstdio>
#include <vector>

static struct {
    TutorSettings settings;
} s_state;

TutorSettings& settings_current() { return s_state.settings; }

void tutor_settings_reset()
{
    s_state = {};
    tutor_folder_reset();
}

int32_t value_clamp(int32_t value, int32_t low, int32_t high, int32_t fallback)
{
    return value >= low && value <= high ? value : fallback;
}

static int32_t read_int(const char* section, const char* key, int32_t fallback)
{
    std::string file = path_in_program_folder(kSettingsFileName);
    return int32_t(plat::get_private_profile_int(section, key, fallback, file.c_str()));
}

static bool job_names_a_screen(int32_t job)
{
    return (job >= 201 && job <= 213) || job == 301 || job == 302 || job == 401 || job == 501
        || job == 502;
}

void config_read(TutorSettings& settings)
{
    int32_t slot = read_int("User", "LastSlot", 999);
    settings.LastSlot = value_clamp(slot, -1, kUserSlots - 1, -1);
    int32_t job = read_int("User", "Job", 0);
    settings.Job = uint16_t(job_names_a_screen(job) ? job : 201);
    settings.Language = value_clamp(read_int("Configuration", "Language", 0), 0, 1, 0);
    settings.Keyboard = value_clamp(read_int("Configuration", "Keyboard", 0), 0, 1, 0);
    settings.Sound = value_clamp(read_int("Configuration", "Sound", 1), 0, 1, 1);
    settings.LessonCount = value_clamp(read_int("Configuration", "LessonCount", 1), 1, 20, 5);
    settings.AfterSpace = value_clamp(read_int("Configuration", "AfterSpace", 0), 0, 2, 0);
    settings.Level = value_clamp(read_int("Configuration", "Level", 0), 0, 7, 0);
}

static void write_int(const char* section, const char* key, int32_t value)
{
    std::string file = path_in_program_folder(kSettingsFileName);
    char text[16];
    std::snprintf(text, sizeof text, "%d", int(value));
    plat::write_private_profile_string(section, key, text, file.c_str());
}

void config_write(const TutorSettings& settings)
{
    write_int("User", "LastSlot", settings.LastSlot);
    write_int("User", "Job", settings.Job);
    write_int("Configuration", "Language", settings.Language);
    write_int("Configuration", "Keyboard", settings.Keyboard);
    write_int("Configuration", "Sound", settings.Sound);
    write_int("Configuration", "LessonCount", settings.LessonCount);
    write_int("Configuration", "AfterSpace", settings.AfterSpace);
    write_int("Configuration", "Level", settings.Level);
}

std::string dbcs_cut(std::string_view text, size_t max)
{
    size_t end = 0;
    while (end < text.size() && text[end] != '\0') {
        size_t width = (uint8_t(text[end]) & 0x80) && end + 1 < text.size() ? 2 : 1;
        if (end + width > max)
            break;
        end += width;
    }
    return std::string(text.substr(0, end));
}

static std::string user_key(int slot)
{
    char key[16];
    std::snprintf(key, sizeof key, "User%d", slot < 0 ? 1 : slot + 1);
    return key;
}

// A name of the ini file in Johab, at most 40 bytes; read whole first, so the cut falls
// between characters.
static std::string read_name(const char* section, const char* key, const char* fallback)
{
    std::string file = path_in_program_folder(kSettingsFileName);
    std::vector<char> name(256);
    plat::get_private_profile_string(section, key, fallback, name.data(), uint32_t(name.size()), file.c_str());
    return dbcs_cut(wansung_to_johab(name.data()), kUserNameMax);
}

std::string user_info_full_name(const char* fallback)
{
    return read_name("User Info", "User Full Name", fallback);
}

std::string user_list_name_get(int slot)
{
    if (slot < -1 || slot >= kUserSlots)
        return {};
    if (slot == -1)
        return user_info_full_name("\xBA\xDF\xB7\xBB");
    return read_name("User List", user_key(slot).c_str(), "");
}

bool user_list_name_set(int slot, std::string_view johab_name)
{
    std::string file = path_in_program_folder(kSettingsFileName);
    std::string name = dbcs_cut(johab_to_wansung(dbcs_cut(johab_name, kUserNameMax)), kUserNameMax);
    return plat::write_private_profile_string("User List", user_key(slot).c_str(), name.c_str(), file.c_str());
}
