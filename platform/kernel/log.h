// The event log of a run (PLAT_LOG): one line for each thing a person would notice (a window
// shown or closed, a program started, and what later layers add: message boxes, sounds, file
// dialogs). Each line starts with the time in ms, which is virtual time in headless runs, so
// logs of the same run compare equal.
#pragma once
#include <string>
#include <string_view>

namespace plat {

// Opens (and empties) the log file; false when it cannot be written.
bool log_open(const std::string& host_path);
void log_close();
bool log_is_open();

// Adds a line "<ms> <text>"; nothing when no log is open. Lines are flushed at once, so the
// log is complete even when the program ends abruptly.
void log_event(std::string_view text);

// Text of the active code page as a quoted UTF-8 string for a log line; quotes, backslashes
// and control characters are escaped so that one event stays one line.
std::string log_quote(std::string_view text);
// The same for text that is UTF-8 already (host paths and arguments).
std::string log_quote_utf8(std::string_view utf8);

} // namespace plat
