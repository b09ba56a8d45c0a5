// Small services many modules share: which Windows version the runtime reports, its version
// line, polls of the input queue that let the learner interrupt a long operation (Ctrl+Break,
// Esc, the mouse button) without a message loop of its own, the checksum of the learner's
// records stamp, and a beep that first silences the sound.
#pragma once
#include "platform/window/geometry.h"
#include "platform/window/message.h"

#include <cstddef>
#include <cstdint>

struct OsVersionInfo {
    int32_t is_nt = 0;
    int32_t is_95 = 0;
    int32_t is_98 = 0;
    int32_t is_win32s = 0;
    int32_t major = 0;
    int32_t minor = 0;
    char text[256] = {}; // e.g. "Windows NT (5.1)"
    int32_t text_length = 0;
};

// The version the runtime runs on, decided at the first question. Pieces see Windows NT 5.1
// on every host: a fixed answer keeps their version checks the same everywhere.
const OsVersionInfo* util_os_version();
// Fills info from GetVersionEx's figures: platform 0 Win32s, 1 the Windows 95 family (98 from
// 4.10 on), 2 Windows NT. A minor version divisible by 10 is shown divided by 10 (4.10 as 4.1).
void util_os_version_describe(OsVersionInfo& info, uint32_t platform, int32_t major, int32_t minor);
int util_os_is_nt();
// 1 on Windows 95, 98, or NT 4 and later (the newer shell and its metrics).
int util_os_new_shell();
int util_os_new_shell_alt();

// The runtime's version line, "version (processor)" and " (2-byte)" under double-byte text.
// With processor_flag the processor reads "MMX(tm) technology" when MMX may be used. The
// length placed in out; "" when the string table lacks a part.
int util_version_text(char* out, int size, int processor_flag);

// 1 when Ctrl+Break is held; every queued key and mouse message is then thrown away.
int util_ctrl_break_pressed();
// 1 when the next key-down queued for the window is Esc, which is then taken out.
int util_escape_pending(plat::WindowHandle window);
// 1 when the left button is held and no release or double-click of it is queued.
int util_left_button_down();
// Nonzero when any message is queued.
int util_message_pending();
// The cursor in the window's client coordinates; 0 for a window that does not exist.
int util_cursor_client_pos(plat::WindowHandle window, plat::Point& out);

// The records stamp's check value: the count taken as 16 bits, then, while more than 4 bytes
// are left, value = (value + next little-endian u32) | bytes left. The last 4 bytes of the
// count never count; nothing past it is read.
uint32_t util_checksum(const void* words, size_t byte_count);

// Stops the sound that plays (through the hook the sound player sets), then beeps.
void util_beep();
// Stops the sound that plays, if a player has set its hook: a beep must not mix with it.
void util_stop_sound();
using UtilSoundStop = void (*)();
void util_set_sound_stop(UtilSoundStop stop);

// Forgets the version record and the sound hook (tests).
void util_reset();
