// The runtime's settings file: V5W.INI (V5WIZARD.INI while serving an authoring window's target
// icon), beside the program when one is there, else in the Windows folder. Without the file
// every read gives its default, and the first write creates it in the Windows folder. Values
// are read when needed, never cached here. Section and key names come from the string table.
#pragma once
#include <cstdint>
#include <string>

// Every setting the runtime reads or writes, with its section, key and default.
enum class IniSetting {
    quicktime, // [Options] QuickTime: anything but "no" starts the movie system
    mmx_enable_check, // [MMXTechnology] MMXEnableCheck, "1"
    show_errors, // [Debug] ShowErrors: Y, T or 1 switch the error log on
    records_location, // [piece], then [Directory] RecordsLocation
    search_path, // [piece], then [Directory] SearchPath
    courses_folder, // [Directory] Courses
    packages_folder, // [Directory] Packages
    libraries_folder, // [Directory] Libraries
    movies_folder, // [Directory] Movies
    plugin_folder, // [Directory] under the empty key name
    video_port, // [Video] Port, "Printer Port" read into 5 bytes
    video_player, // [Video] Player, "None"
    video_overlay, // [Video] Overlay, "None"
    video_player_driver, // [Video] PlayerDriver32
    video_overlay_driver, // [Video] OverlayDriver32
};

// Finds the file (when it can be opened, it is used from now on). target_icon is the icon of
// "-TARGETICON", 0 when none was given. Always 1.
int ini_init(int32_t target_icon);
// Forgets the file (the release chain).
void ini_term();
// The Windows path of the file by the location rule: the program's folder when the file is
// there, else the Windows folder; "" when neither folder can be named.
std::string ini_locate();
// The path of the file in use, "" while reads give defaults.
std::string ini_file_path();

// GetPrivateProfileString on the file: the length placed in out (cut to size - 1 bytes on a
// character boundary). Without a file, the default.
uint32_t ini_read_string(
    char* out, uint32_t size, const char* section, const char* key, const char* default_value);
// WritePrivateProfileString on the file, creating it at the first write when there is none
// (tried once a run). Nonzero on success.
int ini_write_string(const char* section, const char* key, const char* value);

// The same with section string_base + section_index and key string_base + key_index of the
// string table.
uint32_t ini_read_string_ids(char* out, uint32_t size, uint32_t string_base, uint32_t section_index,
    uint32_t key_index, const char* default_value);
int ini_write_string_ids(
    uint32_t string_base, uint32_t section_index, uint32_t key_index, const char* value);

// Reads a setting with its default, within the size its owner reads it with. section names
// another section to look in (a piece's own); null means the setting's own section.
uint32_t ini_read_setting(IniSetting setting, const char* section, char* out, uint32_t size);
// Writes a setting into its own section.
int ini_write_setting(IniSetting setting, const char* value);
// The section and key names of a setting, as the file spells them.
std::string ini_setting_section(IniSetting setting);
std::string ini_setting_key(IniSetting setting);

// The folder of the program file with (keep_backslash) or without its final backslash: the
// length placed in buffer, 0 with "" when it does not fit.
enum class IniBackslash { drop, keep };
int app_exe_folder_path(char* buffer, int size, IniBackslash keep);
// Stands in for the program's folder (a Windows path), so tests can put files beside a
// program that is not there; null goes back to the real folder.
void app_set_exe_folder(const char* windows_folder);

class FileSpec;
// Set the folder of a specification to the program's folder, the Windows folder or the
// Windows system folder (the Windows folder stands in for it here): the spec's error code.
int fspec_set_exe_folder(FileSpec& spec);
int fspec_set_windows_folder(FileSpec& spec);
int fspec_set_system_folder(FileSpec& spec);

// Back to the state before ini_init, the program's real folder included (tests).
void ini_reset();
