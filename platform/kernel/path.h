// Windows-style paths on the host file system. Programs name files "C:\COURSE\INTRO.V5R" or
// "..\media\a.wav"; '\' and '/' both separate, drive letters map to configured host roots
// (C: is "/" unless configured), and each component is matched case-insensitively against
// what the host holds. Paths are text in the active code page; host paths are UTF-8.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace plat {

constexpr size_t MAX_PATH = 260; // the longest path the programs' buffers hold, NUL included

// Maps a drive letter to a host folder; an empty folder removes the mapping. Either way the
// drive's current folder goes back to its root.
void set_drive_root(char drive, const std::string& host_folder);
std::string get_drive_root(char drive); // "" when the drive is not mapped

// The host path of a Windows path (relative paths start at the current folder of their drive).
// Existing components are matched case-insensitively; components that do not exist keep the
// given spelling, so that a file can be created; of names differing only in case the exact
// one wins, else the first in byte order. "" with last error 3 (path not found) for a UNC
// path, an unmapped drive or an empty path, 123 (invalid name) for a name Windows refuses.
std::string path_to_host(std::string_view path);

// The Windows path ("C:\A\B") of a host path; "" when no drive root holds it.
std::string path_from_host(std::string_view host_path);

// GetFullPathName: the absolute, normalised Windows path ("." and ".." resolved, one final '.'
// of each name and the trailing dots and blanks of the path dropped), without host look-ups.
std::string get_full_path_name(std::string_view path);

// The current folder (one per drive, as Windows keeps them) and the current drive. Setting it
// keeps the given spelling; 2 or 3 when the folder is missing, 267 for a file. The host's
// own working folder is left alone.
std::string get_current_directory();
bool set_current_directory(std::string_view path);

// The running program's full path (GetModuleFileName of the program) and its folder (no
// trailing backslash unless it is a drive root).
std::string get_program_path();
std::string get_program_folder();

// The "Windows folder": $XDG_DATA_HOME/storvel/windows (STORVEL_WINDOWS_DIR overrides),
// created on first use; "" when it cannot be created or no drive root holds it.
std::string get_windows_directory();

// Back to the start-up state: only C: mapped (to "/"), current folders from the host's (tests).
void path_reset();

// The host (UTF-8) spelling of path text in the active code page, and back; characters the
// code page lacks come back as '?'.
std::string path_text_to_host(std::string_view text);
std::string path_text_from_host(std::string_view host_text);

// Orders two host names as Windows compares file names: case-insensitive, 0 when equal.
int path_name_compare(std::string_view a, std::string_view b);

// Whether a host name matches a FindFirstFile pattern given in host text: '*' and '?' with
// the DOS rules ("*.*" matches every name, "*." the names without extension, a '?' before a
// '.' or the end may match nothing), case-insensitive.
bool path_wildcard_match(std::string_view pattern, std::string_view name);

// Where the last component of a Windows path begins: after its last separator or its "X:".
size_t path_name_offset(std::string_view path);

// The Win32 code of a failed host call on host_path: a missing name is 2 (file not found)
// when its folder exists and 3 (path not found) when it does not; others as error_from_errno.
uint32_t path_error_from_errno(int host_errno, const std::string& host_path);

} // namespace plat
