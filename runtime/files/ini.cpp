#include "runtime/files/ini.h"

#include "runtime/files/fspec.h"

#include "platform/kernel/file.h"
#include "platform/kernel/path.h"
#include "platform/kernel/profile.h"
#include "runtime/base/str.h"
#include "runtime/base/str_edit.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

namespace {

constexpr uint32_t kFileNameId = 1504;
constexpr uint32_t kWizardFileNameId = 1518;
constexpr uint32_t kNoString = 0;
// Names are read into buffers of this size, as the string table's users always did.
constexpr int kNameSize = 200;
// The platform reads no settings file larger, so no value is longer: a larger buffer is never
// filled.
constexpr uint32_t kMaxValueRead = 4u << 20;

// The English names, for a program whose string table lacks them. 6808, the plug-in folder's
// key, is deliberately absent: the shipped table never held it, so its key name is empty.
const StrTableDefault kDefaultTexts[] = {
    { 1504, "V5W.INI" },
    { 1518, "V5WIZARD.INI" },
    { 1523, "Video" },
    { 1524, "Port" },
    { 1525, "Player" },
    { 1526, "Overlay" },
    { 1527, "PlayerDriver32" },
    { 1528, "OverlayDriver32" },
    { 1533, "None" },
    { 1535, "Printer Port" },
    { 1541, "MMXTechnology" },
    { 1542, "MMXEnableCheck" },
    { 6796, "Directory" },
    { 6797, "Courses" },
    { 6798, "Packages" },
    { 6799, "Libraries" },
    { 6800, "Movies" },
    { 6898, "Debug" },
    { 6899, "ShowErrors" },
    { 6900, "Options" },
    { 6901, "QuickTime" },
    { 9952, "RecordsLocation" },
    { 10000, "SearchPath" },
};

struct SettingRow {
    IniSetting setting;
    uint32_t section;
    uint32_t key;
    uint32_t default_id; // kNoString: default_text instead
    const char* default_text; // used when default_id is kNoString
    uint32_t read_size; // the buffer its owner reads it into; 0: the caller's
};

const SettingRow kSettings[] = {
    { IniSetting::quicktime, 6900, 6901, kNoString, "", 0 },
    // The MMX probe writes the decision back, so the default must read as "enabled".
    { IniSetting::mmx_enable_check, 1541, 1542, kNoString, "1", 0 },
    { IniSetting::show_errors, 6898, 6899, kNoString, "", 0 },
    // Empty means the Windows folder's V5W_DATA, which the learner's records work out.
    { IniSetting::records_location, 6796, 9952, kNoString, "", 0 },
    { IniSetting::search_path, 6796, 10000, kNoString, "", 0 },
    { IniSetting::courses_folder, 6796, 6797, kNoString, "", 0 },
    { IniSetting::packages_folder, 6796, 6798, kNoString, "", 0 },
    { IniSetting::libraries_folder, 6796, 6799, kNoString, "", 0 },
    { IniSetting::movies_folder, 6796, 6800, kNoString, "", 0 },
    { IniSetting::plugin_folder, 6796, 6808, kNoString, "", 0 },
    // The video setup keeps the port in 5 bytes, so its default reads as "Prin".
    { IniSetting::video_port, 1523, 1524, 1535, nullptr, 5 },
    { IniSetting::video_player, 1523, 1525, 1533, nullptr, 22 },
    { IniSetting::video_overlay, 1523, 1526, 1533, nullptr, 22 },
    { IniSetting::video_player_driver, 1523, 1527, kNoString, "", 64 },
    { IniSetting::video_overlay_driver, 1523, 1528, kNoString, "", 64 },
};

struct IniState {
    std::string path; // the file in use; empty while reads give defaults
    bool create_tried = false;
    int32_t target_icon = 0;
    std::string exe_folder; // a stand-in for the program's folder; empty: the real one
};

IniState s_ini;

} // namespace

static std::string load_text(uint32_t id) { return str_load_text(id, kNameSize, kDefaultTexts); }

static const SettingRow& setting_row(IniSetting setting)
{
    for (const SettingRow& row : kSettings) {
        if (row.setting == setting)
            return row;
    }
    return kSettings[0]; // unreachable: every enumerator has a row
}

static bool is_file(const std::string& path)
{
    uint32_t attributes = plat::get_file_attributes(path);
    return attributes != plat::INVALID_FILE_ATTRIBUTES
        && !(attributes & plat::FILE_ATTRIBUTE_DIRECTORY);
}

static bool can_open(const std::string& path)
{
    plat::FileHandle file = plat::create_file(path, plat::GENERIC_READ,
        plat::FILE_SHARE_READ | plat::FILE_SHARE_WRITE, plat::OPEN_EXISTING, 0);
    if (!file)
        return false;
    plat::close_handle(file);
    return true;
}

// Never truncates: another instance may have made the file since we looked.
static bool create_empty(const std::string& path)
{
    plat::FileHandle file = plat::create_file(path, plat::GENERIC_WRITE,
        plat::FILE_SHARE_READ | plat::FILE_SHARE_WRITE, plat::OPEN_ALWAYS,
        plat::FILE_ATTRIBUTE_NORMAL);
    if (!file)
        return false;
    plat::close_handle(file);
    return true;
}

// Where the last backslash character starts, stepping by characters: a trail byte of a
// double-byte name may be 0x5C and is no separator. Null when there is none.
static const char* last_backslash(const char* text)
{
    const char* found = nullptr;
    for (const char* p = text; *p; p = str_next_char(p)) {
        if (*p == '\\')
            found = p;
    }
    return found;
}

static std::string with_backslash(std::string folder)
{
    const char* last = last_backslash(folder.c_str());
    if (!folder.empty() && (!last || last[1] != '\0'))
        folder += '\\';
    return folder;
}

int ini_init(int32_t target_icon)
{
    s_ini.target_icon = target_icon;
    s_ini.path = ini_locate();
    if (!s_ini.path.empty() && !can_open(s_ini.path))
        s_ini.path.clear();
    return 1;
}

void ini_term() { s_ini.path.clear(); }

std::string ini_locate()
{
    std::string name = load_text(s_ini.target_icon != 0 ? kWizardFileNameId : kFileNameId);
    char folder[plat::MAX_PATH];
    if (app_exe_folder_path(folder, int(sizeof folder), IniBackslash::keep) > 0) {
        std::string beside_program = std::string(folder) + name;
        if (is_file(beside_program))
            return beside_program;
    }
    std::string windows = plat::get_windows_directory();
    if (windows.empty())
        return "";
    return with_backslash(windows) + name;
}

std::string ini_file_path() { return s_ini.path; }

uint32_t ini_read_string(
    char* out, uint32_t size, const char* section, const char* key, const char* default_value)
{
    if (!out || size == 0)
        return 0;
    if (s_ini.path.empty())
        return uint32_t(
            str_copy_bounded(out, default_value, int(std::min<uint32_t>(size, INT_MAX))));
    if (!section || !key) // lists of names: cut as the platform cuts them
        return plat::get_private_profile_string(
            section, key, default_value, out, size, s_ini.path.c_str());
    // One byte more than fits, so that a character cut by the platform is seen and dropped
    // whole: a lone lead byte would join whatever the caller appends.
    uint32_t room = std::min<uint32_t>(size, kMaxValueRead);
    std::vector<char> value(size_t(room) + 1);
    plat::get_private_profile_string(
        section, key, default_value, value.data(), room + 1, s_ini.path.c_str());
    return uint32_t(str_copy_bounded(out, value.data(), int(room)));
}

// The first write makes the file where the location rule puts a missing one: the Windows folder.
static bool create_at_first_write()
{
    s_ini.create_tried = true;
    std::string path = ini_locate();
    if (path.empty())
        return false;
    if (!can_open(path) && !create_empty(path))
        return false;
    s_ini.path = path;
    return true;
}

int ini_write_string(const char* section, const char* key, const char* value)
{
    if (s_ini.path.empty() && !s_ini.create_tried)
        create_at_first_write();
    if (s_ini.path.empty())
        return 0;
    return plat::write_private_profile_string(section, key, value, s_ini.path.c_str()) ? 1 : 0;
}

uint32_t ini_read_string_ids(char* out, uint32_t size, uint32_t string_base, uint32_t section_index,
    uint32_t key_index, const char* default_value)
{
    std::string section = load_text(string_base + section_index);
    std::string key = load_text(string_base + key_index);
    return ini_read_string(out, size, section.c_str(), key.c_str(), default_value);
}

int ini_write_string_ids(
    uint32_t string_base, uint32_t section_index, uint32_t key_index, const char* value)
{
    std::string section = load_text(string_base + section_index);
    std::string key = load_text(string_base + key_index);
    return ini_write_string(section.c_str(), key.c_str(), value);
}

uint32_t ini_read_setting(IniSetting setting, const char* section, char* out, uint32_t size)
{
    const SettingRow& row = setting_row(setting);
    std::string own_section = load_text(row.section);
    std::string key = load_text(row.key);
    std::string default_value
        = row.default_id != kNoString ? load_text(row.default_id) : row.default_text;
    if (row.read_size != 0)
        size = std::min(size, row.read_size);
    return ini_read_string(
        out, size, section ? section : own_section.c_str(), key.c_str(), default_value.c_str());
}

int ini_write_setting(IniSetting setting, const char* value)
{
    const SettingRow& row = setting_row(setting);
    return ini_write_string_ids(0, row.section, row.key, value);
}

std::string ini_setting_section(IniSetting setting)
{
    return load_text(setting_row(setting).section);
}

std::string ini_setting_key(IniSetting setting) { return load_text(setting_row(setting).key); }

int app_exe_folder_path(char* buffer, int size, IniBackslash keep)
{
    if (!buffer || size < 1)
        return 0;
    std::string path
        = s_ini.exe_folder.empty() ? plat::get_program_path() : with_backslash(s_ini.exe_folder);
    const char* last = last_backslash(path.c_str());
    size_t length = last ? size_t(last - path.c_str()) : 0;
    if (last && keep == IniBackslash::keep)
        length++;
    if (length >= size_t(size)) {
        buffer[0] = '\0';
        return 0;
    }
    std::memcpy(buffer, path.data(), length);
    buffer[length] = '\0';
    return int(length);
}

void app_set_exe_folder(const char* windows_folder)
{
    s_ini.exe_folder = windows_folder ? windows_folder : "";
}

void ini_reset() { s_ini = IniState {}; }

int fspec_set_exe_folder(FileSpec& spec)
{
    char folder[plat::MAX_PATH + 1];
    app_exe_folder_path(folder, int(sizeof folder), IniBackslash::keep);
    return spec.set_folder(folder);
}

int fspec_set_windows_folder(FileSpec& spec)
{
    return spec.set_folder(with_backslash(plat::get_windows_directory()).c_str());
}

// Linux has no separate system folder; searches that would look there find the Windows folder.
int fspec_set_system_folder(FileSpec& spec) { return fspec_set_windows_folder(spec); }
