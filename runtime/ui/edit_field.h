// Edit fields: one block of editable styled text (at most 32766 bytes, paragraphs end in CR)
// divided into style runs, laid out into lines, with a selection and a list of marks. The
// record and its four tables (text, runs, lines, marks) are movable blocks; every operation
// locks what it uses for its own duration, so no address outlives an operation. Positions are
// byte offsets; in double-byte text they stay on character boundaries.
#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/window/message.h"
#include "platform/window/window_types.h"
#include "runtime/base/idset.h"
#include "runtime/base/mem.h"
#include "runtime/base/rect.h"
#include "runtime/calc/embedded.h"

using EditHandle = MemHandle;

constexpr int16_t kEditMaxLength = 32766;
// The line table may not pass 65535 bytes of 14-byte entries.
constexpr int32_t kEditMaxLines = 4671;
constexpr int16_t kEditLayoutDone = 0x7FFF;
constexpr int16_t kEditLayoutAll = -1;
constexpr int16_t kEditLayoutMoved = -3;
constexpr int32_t kEditUnlimitedBottom = 32000;
constexpr uint16_t kEditSingleSpacing = 0x7000;

enum : int16_t { kEditRunHidden = 0x01 };

enum : uint8_t {
    kMarkStyle = 1,
    kMarkOpaque = 3,
    kMarkHighlight = 6,
};

struct EditRun {
    int16_t first = 0;
    int32_t shift = 0; // set by layout: positive raises (superscript)
    int16_t style = 0;
    int16_t flags = 0;
};

struct EditLine {
    int16_t first = 0;
    int32_t top = 0;
    int32_t x = 0;
    int32_t baseline = 0;
};

struct EditField;
using EditRedrawCallback = void (*)(EditHandle field, void* context, const Rect* rect);

// The record. Pointers are set only while the counted lock is held.
struct EditField {
    Rect layout {};
    Rect display {};
    uint16_t line_spacing = kEditSingleSpacing;
    MemHandle text {};
    char* text_ptr = nullptr;
    int16_t length = 0;
    MemHandle runs {};
    EditRun* runs_ptr = nullptr;
    int16_t run_count = 0;
    MemHandle lines {};
    EditLine* lines_ptr = nullptr;
    int16_t line_count = 1;
    MemHandle marks {};
    EditMark* marks_ptr = nullptr;
    int16_t mark_count = 0;
    int16_t selection_start = 0;
    int16_t selection_end = 0;
    IdSet pending_styles {};
    int32_t pending_styles_on = 0;
    plat::DcHandle borrowed_dc {};
    int32_t active = 0;
    int32_t caret_shown = 0;
    int32_t end_of_line_affinity = 0;
    int16_t layout_state = kEditLayoutAll;
    int16_t lock_count = 0;
    uint16_t draw_mode = 4;
    int16_t anchor_start = 0;
    int16_t anchor_end = 0;
    int32_t word_mode = 0;
    uint32_t background = 0xFFFFFF;
    int32_t pending_dx = 0;
    int32_t pending_dy = 0;
    plat::WindowHandle owner {};
    int16_t style_slot = 0;
    int16_t border_width = 1;
    MemHandle scroll_block {}; // always null until fields scroll
    int32_t scroll_wanted = 0;
    EditRedrawCallback redraw = nullptr;
    void* redraw_context = nullptr;
    int32_t keep_stored_lines = 0;
    int32_t source_platform = 1;
    int32_t smooth_text = 0;
    int32_t caret_scroll_pending = 0;
    int32_t moved_up_a_character = 0;
};

// --- lifetime -------------------------------------------------------------------------------

// Line spacing single, draw mode 4, white, one run of style 2, one empty line at the layout
// top; null when memory runs out (nothing is left behind).
EditHandle edit_create(const Rect& layout, const Rect& display, int16_t style_slot, plat::WindowHandle owner);
void edit_destroy(EditHandle field);
void edit_set_owner(EditHandle field, plat::WindowHandle owner);
// When the owner window is gone the presentation window takes its place; whether there is one.
int edit_check_owner(EditHandle field);
// Counted: the first lock pins the four tables and sets their pointers, the last clears them.
void edit_lock(EditField* record);
void edit_unlock(EditField* record);

// --- text -----------------------------------------------------------------------------------

// Inserts at the selection start, cut at a character boundary to keep 32766 bytes at most.
void edit_insert_text(EditHandle field, const char* bytes, int32_t count);
void edit_delete_selection(EditHandle field);
void edit_replace_selection(EditHandle field, const char* bytes, int32_t count);
// Replaces [from, to) with the NUL-terminated text (an empty one leaves a hidden "{"); the
// position from which the layout is stale.
int32_t edit_replace_range(EditHandle field, const char* text, int32_t from, int32_t to);
int32_t edit_text_length(EditHandle field);
// A new NUL-terminated block with the bytes of [from, to) clamped to the text; null without
// memory.
MemHandle edit_text_range(EditHandle field, int32_t from, int32_t to);
// The same bytes into buffer (size bytes with the NUL; the copy stops at a character
// boundary); the bytes copied.
int32_t edit_copy_text_range(EditHandle field, int32_t from, int32_t to, char* buffer, size_t size);
void edit_get_selection(EditHandle field, int32_t* start, int32_t* end);
// Clamped to the text with start <= end, moved to character boundaries.
void edit_set_selection(EditHandle field, plat::DcHandle dc, int32_t start, int32_t end);

// --- styles and marks ----------------------------------------------------------------------

int32_t edit_style_slot(EditHandle field);
int32_t edit_style_at(EditHandle field, int32_t position);
uint32_t edit_number_format_at(EditHandle field, int32_t position);
// Replaces the run table (the stored-text reader's way in): 0, or 5000 when the runs do not
// start at 0, climb, and stay inside the text; the table is kept then.
int edit_set_runs(EditHandle field, const EditRun* runs, int32_t count);
int32_t edit_run_count(EditHandle field);
EditRun edit_run(EditHandle field, int32_t n);
// Pending styles: style ids chosen at the caret, in force until the next insertion.
void edit_set_pending_styles(EditHandle field, const uint16_t* ids, int32_t count);
// What edit_selection_style describes of the style at the selection.
struct EditFontInfo {
    uint32_t number_format = 0;
    char font_name[32] = {};
    int32_t size = 0;
    uint32_t style_bits = 0;
    uint32_t color = 0;
};
struct EditParagraphInfo {
    int alignment = 0;
    int32_t first_indent = 0;
    int32_t left_limit = 0;
    int32_t right_limit = 0;
    MemHandle tabs {}; // i32 stops, a new block the caller frees (null without stops)
    int32_t tab_count = 0;
};
struct EditFieldInfo {
    uint32_t background = 0;
    uint16_t draw_mode = 0;
    uint16_t line_spacing = 0;
};
// The style at the selection's anchored end (any out may be null); the mask of attributes
// that are the same over the whole selection (0x4003FF7F for an empty one).
uint32_t edit_selection_style(EditHandle field, EditFontInfo* font, EditParagraphInfo* paragraph, EditFieldInfo* info);
// The first indent of the selection's paragraph style.
int32_t edit_style_value_at_selection(EditHandle field);
int32_t edit_mark_count(EditHandle field);
// Mark n (1-based): 0 when n is outside 1..count.
int edit_get_mark(EditHandle field, int32_t n, EditMark* out);
// The new count (marks are clamped into the text), 0 without memory.
int32_t edit_add_mark(EditHandle field, const EditMark& mark);
void edit_remove_mark(EditHandle field, int32_t n);
enum EditHotMark { kEditHotRemove = 0, kEditHotAdd = 1 };
void edit_set_hot_mark(EditHandle field, int32_t from, int32_t to, EditHotMark add, uint32_t data);
int edit_hot_text_extent(EditHandle field, int32_t position, int32_t* from, int32_t* to);
void edit_set_run_hidden(EditField* record, int32_t position, int hidden);

// Issue 19's text interface for embedded expressions, over this field.
EmbedText edit_embed_text(EditHandle field);

// --- geometry and state ---------------------------------------------------------------------

void edit_get_layout_rect(EditHandle field, Rect* out);
void edit_get_display_rect(EditHandle field, Rect* out);
void edit_set_display_rect(EditHandle field, const Rect& rect);
// A move without a resize of a laid-out field shifts the lines at the next layout.
void edit_set_layout_rect(EditHandle field, const Rect& rect);
void edit_invalidate_layout(EditHandle field);
int32_t edit_border_width(EditHandle field);
void edit_get_bounds(EditHandle field, Rect* out);
void edit_get_outer_rect(EditHandle field, Rect* out);
void edit_set_outer_rect(EditHandle field, const Rect& rect);
int32_t edit_draw_mode(EditHandle field);
// What the stored form gives: draw mode, background colour, line spacing.
void edit_set_appearance(EditHandle field, uint16_t draw_mode, uint32_t background, uint16_t line_spacing);
int32_t edit_is_active(EditHandle field);
int32_t edit_smooth_text(EditHandle field);
void edit_set_redraw_callback(EditHandle field, EditRedrawCallback callback, void* context);
void edit_set_callback_context(EditHandle field, void* context);
plat::DcHandle edit_borrowed_dc(EditHandle field);
int32_t edit_layout_state(EditHandle field);
int32_t edit_line_count(EditHandle field);
EditLine edit_line(EditHandle field, int32_t n);

// Empty when every invariant holds, else the first that does not: selection inside the text,
// runs from 0 in order inside the text, marks inside the text, line count + 1 entries.
const char* edit_check_invariants(EditHandle field);
