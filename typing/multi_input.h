// MultiInput, the typing line: up to ten model lines, each with the learner's typed line drawn
// under it. It takes keys and Hangul from the input method, judges each finished line against
// its model into its own statistics block, and tells its parent by WM_COMMAND (wParam
// kMultiInputId, lParam notification << 16 | low word of its handle). A practice screen
// creates it, fills the model lines, sends kMsgMultiInputStart, and reads the statistics and
// the position state on the notifications. One line is typed into at a time in the program.
#pragma once
#include <cstdint>
#include <span>
#include <string_view>

#include "platform/window/message.h"
#include "typing/key_timing.h"
#include "typing/practice_stats.h"

inline constexpr char kMultiInputClass[] = "MultiInput";
constexpr uintptr_t kMultiInputId = 2202;
constexpr int kMultiInputMaxLines = 10;
constexpr size_t kMultiInputLineBytes = 120; // a line's text with its terminating 0
constexpr size_t kMultiInputMaxCodes = 130;

// Flags.
constexpr uint16_t kMultiInputHangul = 0x10; // Hangul input mode wanted
constexpr uint16_t kMultiInputJamoByJamo = 0x20; // each key gives one jamo, never a syllable
constexpr uint16_t kMultiInputJohabModel = 0x8000; // model lines are Johab, else CP949

// Messages to the control.
constexpr uint32_t kMsgMultiInputStart = 1035; // start over on the first model line
constexpr uint32_t kMsgMultiInputHangul = 1037; // wParam bit 0x10: the input method's Hangul mode
constexpr uint32_t kMsgMultiInputMargin = 1038; // wParam: the left margin

// Notifications to the parent.
constexpr uint32_t kNotifyMultiInputDone = 1045; // all lines finished
constexpr uint32_t kNotifyMultiInputPosition = 1046; // the typed position changed
constexpr uint32_t kNotifyMultiInputEscape = 1047;

// Results of multi_input_key, in the low word (the high word is the interim flag).
enum : uint32_t {
    kKeyNothing = 0,
    kKeyTyped = 1,
    kKeyBackspace = 2,
    kKeyLineDone = 8,
    kKeyEscape = 16,
};

// The window classes of the typing controls: MultiInput and the three kept for screens that
// never came (kbd_controls.h). False when the last one cannot be registered.
bool multi_input_register();

// Creates the control (child id 2202, visible) with zeroed statistics and empty lines;
// line_count is kept within 1..10. Null when it cannot be created.
plat::WindowHandle multi_input_create(plat::WindowHandle parent, uint16_t flags, int32_t line_spacing,
    int32_t left_margin, int32_t line_count, int32_t x, int32_t y, int32_t width, int32_t height);
void multi_input_destroy(plat::WindowHandle window);

// The model of a line (0-based), cut to 119 bytes at a character boundary; false for a line
// out of range or a window that is not a MultiInput. Takes effect at the next start.
bool multi_input_set_model(plat::WindowHandle window, int line, std::string_view text);
// The number of lines typed (1..10), for the next start.
bool multi_input_set_line_count(plat::WindowHandle window, int32_t line_count);
// Each key one jamo (the lessons' drills) or syllables composed (their words).
bool multi_input_set_jamo_by_jamo(plat::WindowHandle window, bool on);
// The control's statistics; null for a window that is not a MultiInput.
PracticeStats* multi_input_stats(plat::WindowHandle window);

// The position as the parent reads it on kNotifyMultiInputPosition (Johab codes).
struct MultiInputState {
    uint16_t flags = 0;
    uint16_t model_under_last = 0; // the model code under the last typed code (0: none typed)
    uint16_t model_next = 0; // the model code after it (0: the line's end)
    uint16_t last_typed = 0;
    bool interim = false; // the last typed code is a syllable still being composed
    int32_t line = 0;
    int32_t position = 0; // codes typed on the line
};
MultiInputState multi_input_state(plat::WindowHandle window);

