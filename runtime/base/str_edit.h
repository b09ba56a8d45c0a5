// Text conversions and in-place edits: numbers from text, quoting and escaping, line ends,
// texts in movable blocks and string-table entries. All step by whole characters, so a trail
// byte that looks like a quote, a backslash or a digit is never taken for one.
#pragma once
#include "runtime/base/mem.h"

#include <cstdint>
#include <span>
#include <string>

// Skips blanks (tab, LF, CR, space, the double-byte space), takes an optional sign and the
// decimal digits up to the first non-digit; full-width digits, signs and spaces count as their
// ASCII forms. Overflow wraps at 32 bits.
int32_t str_to_int(const char* text);

// Keeps only digits, signs and decimal separators of text (full-width forms narrowed), writing
// "." for each separator: "." and the characters of locale_decimal (null: none). The length
// written to out, within size.
int str_keep_number_chars(char* out, int size, const char* text, const char* locale_decimal);

// Wraps text (a buffer of size bytes) in double quotes, with a backslash before each double
// quote and backslash; what does not fit is cut. The new length.
int str_quote(char* text, int size);

enum class StrQuotes { without, with };
// With count: sets *count to 1 for each character of text listed in characters, plus 2 for the
// quotes when asked, and returns it; text is unchanged. Without: replaces each listed character
// by a backslash and the letter at the same position of letters, optionally in double quotes,
// cut to size; returns the new length. Both read at most size bytes of text.
int str_escape(char* text, int size, const char* characters, const char* letters, int* count,
    StrQuotes quotes);

// Inserts a LF after every CR that lacks one while the text still fits in size; the new length.
int str_cr_to_crlf(char* text, int size);
enum class StrLoneLf { keep, to_cr };
// Collapses CR LF to CR (and, when asked, a lone LF to CR); the new length.
int str_crlf_to_cr(char* text, StrLoneLf lone_lf);
// Number of CR characters.
int str_count_lines(const char* text);
// Replaces every one-byte character old by new; a new of NUL ends the text at the first old.
// The number of characters replaced.
int str_replace_char(char* text, char old_char, char new_char);

// A new movable block holding the text and its NUL / the n bytes and a NUL; null on failure.
MemHandle str_to_handle(const char* text);
MemHandle str_bytes_to_handle(const void* bytes, size_t n);

// String-table entry base + offset of the program's resources into buffer (NUL-terminated,
// cut on a character boundary); its length, 0 when missing.
int str_load_resource(char* buffer, int size, uint32_t base, uint32_t offset);

// A string-table entry's text for a program whose table lacks it.
struct StrTableDefault {
    uint32_t id;
    const char* text;
};
// String-table entry id read through a buffer of size bytes; when the table lacks it (or holds
// it empty), the default's text for id, else "".
std::string str_load_text(uint32_t id, int size, std::span<const StrTableDefault> defaults);
