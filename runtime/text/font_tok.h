// The tokenizer of "FONTMAP.TXT", the text file beside a piece that maps fonts between the two
// platforms and holds character-map sections. The whole file is taken into memory (read in
// 1024-byte pieces), so a token or a double-byte character never breaks at a read boundary.
//
// Separators end a word wherever they occur: ";$!$:" (read as a blank), ";" and "--" (comments
// to the line end), "=>", ":", and the quotes " and ' (a name up to the same quote or the line
// end). A word runs to a blank, a line end or a separator, at most 127 characters; digits only
// make a number, the six keywords are matched without case, anything else is a name. Blanks
// are the characters below "!" but CR and LF (and the double-byte blank). CR LF and LF CR are
// one line end; two equal line-end characters are two.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

enum FontToken : int {
    kFontTokEnd = 0, // the end of the text
    kFontTokLineEnd,
    kFontTokMac,     // platform 2
    kFontTokWin,     // platform 1
    kFontTokDefault, // "_Default_"
    kFontTokMap,
    kFontTokAll,
    kFontTokNone,
    kFontTokColon,
    kFontTokArrow,
    kFontTokName,
    kFontTokNumber,
};

constexpr size_t kFontWordMax = 127;
// A FONTMAP.TXT larger than this is refused rather than read.
constexpr size_t kFontMapTextMax = 4u << 20;

struct FontTokenizer {
    std::string text;
    size_t position = 0;
    std::string word; // the name of the last kFontTokName
    uint32_t number = 0; // the value of the last kFontTokNumber (saturated)
    int pending = -1; // a token given back, read again next
};

// Reads the file into the tokenizer: 0, 2 when it does not exist, the file layer's error, or 8.
int font_tok_open(FontTokenizer& tokenizer, const char* path);
// Takes the text itself (tests, the fuzz target).
void font_tok_set_text(FontTokenizer& tokenizer, const char* text, size_t length);
// The next token; its word or number stay in the tokenizer.
int font_tok_next(FontTokenizer& tokenizer);
// The token just read comes again next (one token of look-back).
void font_tok_give_back(FontTokenizer& tokenizer, int token);
// Skips to just after the next line end; kFontTokEnd or kFontTokLineEnd.
int font_tok_skip_line(FontTokenizer& tokenizer);
// 2 for kFontTokMac, 1 for kFontTokWin, else 0.
int font_platform_from_token(int token);
