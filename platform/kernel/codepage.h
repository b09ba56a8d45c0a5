// Code pages of 8-bit text: the active ("ANSI") code page of the program, double-byte lead
// bytes, stepping by character, conversions to and from Unicode, case mapping and comparison.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace plat {

enum : uint32_t {
    CP_ACP = 0, // the active code page
    CP_SHIFT_JIS = 932,
    CP_KOREAN = 949,
    CP_WESTERN = 1252,
    CP_UTF8 = 65001,
};

// The active code page (1252 until set). set_active_code_page refuses a page it does not know
// and UTF-8, which cannot be a program's ANSI page; codepage_reset goes back to 1252.
uint32_t get_active_code_page();
bool set_active_code_page(uint32_t code_page);
void codepage_reset();

// IsValidCodePage: 932, 949, 1252 (when the host can read them) and 65001; not CP_ACP.
bool is_code_page_supported(uint32_t code_page);

// Largest character size in bytes of a code page (1 or 2; 4 for UTF-8; 0 when unknown), as
// GetCPInfo reports it. CP_ACP names the active page here and in every function below.
int code_page_max_char_size(uint32_t code_page);

// IsDBCSLeadByte / IsDBCSLeadByteEx.
bool is_dbcs_lead_byte(uint8_t byte);
bool is_dbcs_lead_byte_ex(uint32_t code_page, uint8_t byte);

// CharNextA / CharPrevA over NUL-terminated text in the active code page: never steps past
// the NUL nor splits a lead byte from its trail byte.
const char* char_next(const char* text);
const char* char_prev(const char* start, const char* current);

// Conversions; characters with no mapping become '?' (to a code page) or U+FFFD (to Unicode),
// and so does a lead byte at the end of the text or before a byte that cannot trail it. An
// unknown code page gives "" and last error 87 (invalid parameter).
std::u16string multi_byte_to_wide(uint32_t code_page, std::string_view text);
std::string wide_to_multi_byte(uint32_t code_page, std::u16string_view text);
std::string code_page_to_utf8(uint32_t code_page, std::string_view text);
std::string utf8_to_code_page(uint32_t code_page, std::string_view text);

// CharUpperA / CharLowerA in the active code page: in place up to the NUL (one argument) or over
// length bytes (CharUpperBuffA); a single character. 1252 maps its accented letters as well;
// double-byte pages map ASCII letters only and never touch a trail byte.
void char_upper(char* text);
void char_lower(char* text);
void char_upper(char* text, size_t length);
void char_lower(char* text, size_t length);
char char_upper(char c);
char char_lower(char c);

// lstrcmpA / lstrcmpiA: the locale comparison used for sorting (-1, 0 or 1) of NUL-terminated
// text in the active code page; a null pointer sorts before every text.
int lstrcmp(const char* a, const char* b);
int lstrcmpi(const char* a, const char* b);

} // namespace plat
