// Words and line breaks of edit-field text: where a word ends and starts, and between which
// two double-byte characters a line may break, with the break classes of string-table entries
// 7792-7797 when a program carries them.
#pragma once
#include <cstdint>

#include "platform/kernel/resource.h"

// Rule flags of word ends and starts.
enum : uint32_t {
    kWordBreakClasses = 0x01,  // apply the break classes
    kWordTrailingBlanks = 0x02, // take the blanks after the word
    kWordStartAtChar = 0x04,   // a word start from a character inside the word
    kWordByClass = 0x08,       // a word is a run of one character class
    kWordStopAfterBlanks = 0x10, // leading blanks alone end the walk
    kWordWideClasses = 0x20,   // other signs join the letter classes
};

// 1 for a space or the double-byte blank (the wide form of a space).
int edit_is_blank(const char* text, int32_t position, int32_t end);
// Bytes of the character at position (never past end).
int32_t edit_char_bytes(const char* text, int32_t position, int32_t end);
// Whether a line may break between the characters at a and b (double-byte text only; in
// single-byte text words end at blanks).
bool edit_break_allowed(uint32_t rules, const char* a, const char* b);
// End of the word that starts at position, never beyond end.
int32_t edit_word_break(uint32_t rules, const char* text, int32_t position, int32_t end);
// Start of the word that ends at position, never below lower_bound.
int32_t edit_word_start(uint32_t rules, const char* text, int32_t position, int32_t end, int32_t lower_bound);

// Builds the break classes from the module's entries 7792-7797 (null: the program's own); a
// module without them gives no classes. Built from the program's module on first use otherwise.
void edit_break_classes_load(plat::ModuleHandle module);
void edit_break_classes_reset();
