// Text settings and the double-byte aware string functions: every function here steps through
// text by whole characters when the active code page is a double-byte one, so a lead byte is
// never separated from its trail byte. Texts are NUL-terminated; sizes count bytes including
// the NUL. A null text reads as the empty text.
#pragma once
#include <cstdint>

// Text-wide settings, made once at early start-up.
struct StrSettings {
    bool double_byte = false; // step with the platform's next-character rule
    char language = 'E'; // first letter of string-table entry 7
    bool japanese_font = false; // the system font is Shift-JIS
};

// Reads string-table entry 7 of the program's resources and makes the settings from it.
void str_init();
// Makes the settings from the text of entry 7 (null or empty: "E") and the active code page.
void str_init_from_entry(const char* language_entry);
// Back to the settings before any init: English, single-byte.
void str_reset();
const StrSettings& str_settings();
// Width folding and the finer character classes apply: language J or a Shift-JIS system font.
bool str_japanese_rules();

// True when the byte at text starts a one-byte character (the next character begins at + 1).
bool str_is_single_byte(const char* text);
// The start of the character after the one at text; text itself at the NUL.
const char* str_next_char(const char* text);

// Copies at most size - 1 bytes of whole characters and terminates; the length copied.
int str_copy_bounded(char* dst, const char* src, int size);
// Appends whole characters of src while they fit in size; the new length of dst.
int str_append_bounded(char* dst, const char* src, int size);
// The largest length not above max that ends on a character boundary.
int str_fit_length(const char* text, int max);
int str_char_count(const char* text);
// Byte offset of character n of the first length bytes (0: the whole text); n outside
// 0..length comes back unchanged.
int str_char_offset(const char* text, int length, int n);
// Number of characters that start within the first bytes bytes (length 0: the whole text).
int str_chars_in_bytes(const char* text, int length, int bytes);
enum StrWidth { kStrTwoByte = 0, kStrOneByte = 1 };
// Number of one-byte (kStrOneByte) or two-byte (kStrTwoByte) characters in max_bytes bytes.
int str_count_by_width(const char* text, int max_bytes, int width);
// Start of the character before current, within the length bytes from start.
const char* str_prev_char(const char* start, const char* current, int length);

// A character argument is a one-byte character (0 to 255) or a two-byte one holding its first
// byte in the low byte and its second byte in the high byte.
char* str_find_char(const char* text, int character);
char* str_find_last_char(const char* text, int character);
char* str_find_any(const char* text, const char* set);
char* str_find_substring(const char* text, const char* part);
// strtok_r with whole characters: text on the first call, null after; state is the caller's.
char* str_tokenize(char* text, const char* delimiters, char** state);
// 1 when the first characters of a and b are the same character (of the same width).
int str_char_equal(const char* a, const char* b);
int str_has_char(int character, const char* set);

// Difference of the first unequal bytes (as unsigned bytes); 0 when equal.
int str_compare(const char* a, const char* b);
// The same with ASCII letters folded; trail bytes of two-byte characters are never folded.
int str_compare_nocase(const char* a, const char* b);
// From the first byte of 0x80 or above on, the platform's word-sort comparison decides.
int str_compare_locale(const char* a, const char* b);
int str_compare_nocase_locale(const char* a, const char* b);
int str_compare_n(const char* a, const char* b, int n);
