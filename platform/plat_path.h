// Windows-style paths on the host file system. Programs name files "C:\COURSE\INTRO.V5R" or
// "..\media\a.wav"; '\' and '/' both separate, drive letters map to configured host roots
// (C: is "/" unless configured), and each component is matched case-insensitively against
// what the host holds. Paths are text in the active code page; host paths are UTF-8.
#pragma once
#include <string>
#include <string_view>

namespace plat {

// Maps a drive letter to a host folder; an empty folder removes the mapping.
void set_drive_root(char drive, const std::string& host_folder);
std::string get_drive_root(char drive); // "" when the drive is not mapped

// The host path of a Windows path (relative paths start at the current folder of their drive).
// Existing components are matched case-insensitively; components that do not exist keep the
// given spelling, so that a file can be created. "" with last error 3 (path not found) when
// the drive is not mapped or the path is malformed.
std::string path_to_host(std::string_view path);

// The Windows path ("C:\A\B") of a host path; "" when no drive root holds it.
std::string path_from_host(std::string_view host_path);

// GetFullPathName: the absolute, normalised Windows path ("." and ".." resolved).
std::string get_full_path_name(std::string_view path);

// The current folder (one per drive, as Windows keeps them) and the current drive.
std::string get_current_directory();
bool set_current_directory(std::string_view path);

// The running program's full path (GetModuleFileName of the program) and its folder.
std::string get_program_path();
std::string get_program_folder();

// The "Windows folder": $XDG_DATA_HOME/storvel/windows (STORVEL_WINDOWS_DIR overrides),
// created on first use.
std::string get_windows_directory();

} // namespace plat
