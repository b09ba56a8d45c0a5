// The headless backend: an off-screen desktop (1024 x 768 x 32 unless PLAT_SCREEN says
// otherwise), virtual time, the script of PLAT_SCRIPT, the event log of PLAT_LOG and PNG
// screenshots. Time only moves when the program waits: an idle get_message jumps to the next
// due timer or script command, and each peek that finds nothing lets 1 ms pass, so busy waits
// end and every run of a script is the same. Programs that the program starts are logged, not
// started.
//
// When the script is over (or there is none), the program is closed as its close box would
// close it; a program that then idles with nothing due, or still runs a minute later, gets
// WM_QUIT; one that goes on after that finds get_message failing (-1), and the run ends.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "platform/window/geometry.h"
#include "platform/backend/script.h"
#include "platform/gdi/surface.h"

namespace plat {

struct HeadlessOptions {
    Size screen{1024, 768};
    int bits_per_pixel = 32;
    std::string script_path; // "" for none
    std::string log_path;    // "" for none
};

// After the script ends, how long a program may keep running before it is told to quit, and
// again before its run ends.
constexpr uint32_t kHeadlessGraceMs = 60000;

// PLAT_SCRIPT, PLAT_LOG and PLAT_SCREEN ("800x600" or "800x600x16"; the depth 1, 4, 8, 16, 24
// or 32); false with a message for a value that makes no sense. The depth is what the screen
// reports (BITSPIXEL); surfaces stay true colour whatever it is.
bool headless_options_from_environment(HeadlessOptions& options, std::string& error);
// 1, 4, 8, 16, 24 or 32.
bool headless_depth_supported(int bits);
// Changes the screen's depth during a run and sends WM_DISPLAYCHANGE (wParam the depth, lParam
// the width and height) to every top-level window; false when the headless backend is not
// running or the depth is not supported.
bool headless_set_depth(int bits);

// Installs the headless backend and starts virtual time, the log and the script (read from
// options.script_path). False with a message when the script is bad or a file cannot be used.
bool headless_start(const HeadlessOptions& options, std::string& error);
// The same with a script already parsed (tests).
bool headless_start_with(const HeadlessOptions& options, std::vector<ScriptCommand> script, std::string& error);

// The screen: the desktop colour, then the visible top-level windows from back to front.
void headless_compose_screen(Surface& out);
// A PNG of the screen, or of the visible top-level window with that title (UTF-8).
bool headless_shot(const std::string& host_path, std::string_view title, std::string& error);

} // namespace plat
