// The mouse cursor over the presentation window: seven standard cursors, the custom cursors each
// open file stores in its cursor list record, the default cursor a piece sets, the hide count,
// and the animated wait cursor of long operations.
#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/window/window_types.h"

// kind 0: a standard cursor 0-6; kind 1: custom, value = file slot << 16 | cursor number.
struct CursorSpec {
    int32_t kind = 0;
    int32_t value = 0;
};

constexpr int32_t kCursorStandardCount = 7;
// Stored cursor numbers above this are custom cursors (number - 50) of a file.
constexpr int32_t kCursorCustomBase = 50;
// The wait cursor's frames, program cursor resources.
constexpr int32_t kCursorWaitFirst = 101;
constexpr int32_t kCursorWaitLast = 104;

// Start-up: the arrow current and default, the standard cursors loaded (one that cannot be is
// left out). 1 ok. curs_term destroys every custom cursor and forgets the state.
int curs_init();
void curs_term();

// The stored form: a standard cursor's number, a custom one's number + 50.
int32_t curs_to_number(const CursorSpec& wanted);
// Above 50 a custom cursor of the file, 0-6 standard, anything else the arrow.
CursorSpec curs_from_number(int file, int32_t number);
bool curs_spec_equal(const CursorSpec& a, const CursorSpec& b);

// Shows standard cursor 0-6 (nothing changes when it could not be loaded), or else the
// program's cursor resource of the number, else the system cursor of the number; the current
// wanted becomes curs_from_number(0, number). Answers the previous current as a stored number.
int32_t curs_set_standard(int32_t number);
// Shows a custom cursor (its file's, else a cursor resource of its stored number); the
// current wanted becomes it. Answers the previous current wanted.
CursorSpec curs_set(const CursorSpec& wanted);
CursorSpec curs_current();
CursorSpec curs_default();
CursorSpec curs_set_default(const CursorSpec& wanted);
// No cursor while hidden, else the default.
void curs_restore_default();
// The cursor a Hot Spot, Button or Hot Object response stores, the arrow for other icons.
CursorSpec curs_for_icon(uint32_t response);

// One step of the hide count: down hides at the first negative count; up (only while
// negative) shows the default again at 0.
void curs_hide_step();
void curs_show_step();
int curs_hide_count();

// The wait cursor: nothing for 1.5 s after the outer begin, then frames 101-104 turning every
// 500 ms while the waiting loop calls step; the arrow after the outer end.
void curs_wait_begin();
void curs_wait_step();
void curs_wait_end();

// A file's custom cursors from its cursor list record (directory word 24), made as the file
// opens and destroyed as it closes (closing the current file's shows the arrow). The count made.
int curs_load_file_cursors(int slot);
void curs_free_file_cursors(int slot);
// The cursor list record's bytes (a tag list: tag = cursor number, {i16 hot x, hot y, width,
// height, reserved, AND mask, XOR mask}, each mask height x width / 8 bytes): the count of
// cursor numbers made (a number named twice counts once; its last item stands).
int curs_load_cursor_list(int slot, const uint8_t* bytes, size_t size);
// The handle of a file's custom cursor, null when it has none of that number.
plat::CursorHandle curs_custom_handle(int slot, int32_t number);

// Text styles' cursors: the stored number's wanted as a stored number again, with custom cursors
// of the current file (what the style module lends out).
uint32_t curs_style_cursor(int stored_number);
// SetCursor and ShowCursor into the system-function table.
void curs_bind_functions();
