// The scanner of calculations: text to the kept token stream that code blocks carry, with
// names resolved to variable references and function ids, bracket nesting and the shape of
// statements checked, and a statement's "=" turned into ":=".
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "runtime/calc/codeblock.h"

// Token kinds besides the data tokens of codeblock.h.
enum : uint8_t {
    kTokLParen = 1,
    kTokRParen = 2,
    kTokTimes = 3,
    kTokDivide = 4,
    kTokPlus = 5,
    kTokMinus = 6,
    kTokEqual = 7,
    kTokGreater = 8,
    kTokLess = 9,
    kTokLessEqual = 10,
    kTokGreaterEqual = 11,
    kTokNotEqual = 12,
    kTokAnd = 13,
    kTokOr = 14,
    kTokNot = 15,
    kTokAssign = 16,
    kTokFalse = 20,
    kTokTrue = 21,
    kTokNewLine = 23,
    kTokBadChar = 26,
    kTokBadToken = 27,
    kTokJoin = 35,
    kTokTest = 36,
    kTokPower = 37,
    kTokListSeparator = 38,
    kTokColon = 39,
    kTokOn = 40,
    kTokOff = 41,
    kTokIf = 42,
    kTokThen = 43,
    kTokElse = 44,
    kTokEndWord = 45,
    kTokRepeat = 46,
    kTokWhile = 47,
    kTokExit = 48,
    kTokNext = 49,
    kTokWith = 50,
    kTokTo = 51,
    kTokDown = 52,
    kTokLBracket = 53,
    kTokRBracket = 54,
    kTokIn = 55,
};

constexpr int kScanLineLimit = 30000;  // characters of a line (not reached)
constexpr int kScanNameLimit = 409;
constexpr int kScanSymbolLimit = 255;
constexpr int kScanTokenLimit = 29999;
constexpr int kScanNestingLimit = 15;
constexpr size_t kScanStreamLimit = 65504;
constexpr uint8_t kContinuationChar = 0xAC;

struct ScanOptions {
    uint32_t context = 0; // file slot << 16 | the icon compiled for
    int statements = 0;   // 1: a statement list, 0: one expression
    char decimal = '.';   // the decimal character ("." is taken as well)
    char separator = ','; // the list separator
};

// Where each kept token came from, in bytes of the scanned text.
struct TokenSpan {
    uint32_t stream_offset;
    uint32_t source_offset;
    uint32_t source_length;
};

struct ScanResult {
    std::vector<uint8_t> stream; // ends with token 0 on success
    std::vector<TokenSpan> spans;
    int error = 0;
    int error_offset = 0; // bytes of the scanned text
    int error_length = 0;
};

// Scans the whole text: 0, or the first error with its range.
int scan_text(const char* text, const ScanOptions& options, ScanResult& out);

// 2 when text starts with "--", else 0.
int scan_comment_length(const char* text);
// The keyword token of the first length bytes (any case), 0 when they are none.
int scan_find_keyword(const char* text, size_t length);
// 1 when the character at text is a letter, digit or "_".
int scan_is_name_char(const char* text);
// Bytes of the name at text (words joined by spaces, ending before a keyword word).
int scan_name_length(const char* text);
// The same with a following "@" and quoted title.
int scan_name_at_length(const char* text);
// Bytes of the identifier at text (a letter or "_", then letters, digits and "_").
int scan_symbol_length(const char* text);
// Narrows full-width letters, digits and symbols outside strings and comments, in place.
void scan_prepare_double_byte(char* text);
