// Line layout of edit fields: lines fitted word by word into the layout rectangle with each
// paragraph's indents, tab stops and alignment, their heights from the runs' fonts with
// superscript and subscript shifts and the field's spacing; and the questions asked of a
// laid-out field: which position lies under a point, where a position's caret goes, how wide
// a piece of text is. Double-byte text is never split inside a character.
#pragma once
#include <cstdint>

#include "platform/window/window_types.h"
#include "runtime/base/rect.h"
#include "runtime/ui/edit_field.h"

// Layout flags.
enum : uint32_t {
    kEditLayoutKeepHeight = 0x01, // scrolling fields keep their visible height
    kEditLayoutEverything = 0x02, // lay out every line, not from the first change
    kEditLayoutKeepHeight2 = 0x04,
};

// Layout errors (edit_last_error).
enum : int {
    kEditLayoutOk = 0,
    kEditLayoutNoMemory = 8,
    kEditLayoutTooManyLines = 8002,
};

// Lays out from the layout state (dc null: the screen's); the bottom of the text. damaged
// (may be null) spans the display width from the first re-laid line to the lower of the old
// and new text bottoms.
int32_t edit_layout(EditHandle field, plat::DcHandle dc, Rect* damaged, uint32_t flags);
// Lays the field out when its lines are stale, so that no reader walks lines of a text that
// has changed under them.
void edit_ensure_layout(EditHandle field, plat::DcHandle dc);
// The last layout's error; the field keeps a usable line table either way.
int edit_last_error();

// Shown while a text of more than 5000 bytes is laid out in full: on 1 at the start, 0 at the
// end. By default standard cursor 5 (null puts the default back); tests lend a recorder.
using EditWaitCursorHook = void (*)(int on);
void edit_set_wait_cursor_hook(EditWaitCursorHook hook);

// Point to position modes.
enum EditPointMode : int {
    kEditPointExact = 0, // -1 outside the text
    kEditPointNearest = 1, // the nearest caret position, never -1
    kEditPointBeforeGap = 2, // exact; inside a justification gap the character before it
};
// The text position under (x, y); justified (may be null) tells whether the line is justified.
int32_t edit_char_at_point(EditHandle field, plat::DcHandle dc, int32_t x, int32_t y, EditPointMode mode,
    int* justified);
// The caret rectangle of a position: one pixel wide, from its line's top to the next line's.
// after_line_end: a position at a wrapped line's start belongs to the end of the line before.
void edit_position_rect(EditHandle field, int32_t position, Rect* out, int after_line_end);
int32_t edit_line_of_position(EditHandle field, int32_t position);
// The line whose top <= y < next top: 0 above the text, the last below it, -1 when none.
int32_t edit_line_at_y(EditHandle field, int32_t y);
// Width of count bytes from position, each run in its font; hidden runs count 0.
int32_t edit_text_width(EditHandle field, int32_t position, int32_t count);
