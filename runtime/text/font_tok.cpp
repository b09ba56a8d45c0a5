#include "runtime/text/font_tok.h"

#include <cstring>

#include "platform/kernel/error.h"
#include "platform/kernel/file.h"
#include "runtime/base/str.h"
#include "runtime/base/str_width.h"

namespace {

constexpr uint32_t kReadPiece = 1024;

struct Separator {
    const char* text;
    int token; // -1: read as a blank; -2: a comment to the line end
};

// Longer markers first: ";$!$:" begins with ";".
const Separator kSeparators[] = {
    {";$!$:", -1},          // a marker the file's writer leaves: the rest of the line counts
    {";", -2},              // comment
    {"--", -2},             // comment
    {"=>", kFontTokArrow},
    {":", kFontTokColon},
};

struct Keyword {
    const char* text;
    int token;
};

const Keyword kKeywords[] = {
    {"Mac", kFontTokMac},
    {"Win", kFontTokWin},
    {"_Default_", kFontTokDefault},
    {"Map", kFontTokMap},
    {"All", kFontTokAll},
    {"None", kFontTokNone},
};

} // namespace

int font_tok_open(FontTokenizer& tokenizer, const char* path)
{
    tokenizer = FontTokenizer {};
    plat::FileHandle file = plat::create_file(path, plat::GENERIC_READ, plat::FILE_SHARE_READ, plat::OPEN_EXISTING, 0);
    if (!file)
        return int(plat::get_last_error());
    int result = 0;
    char piece[kReadPiece];
    for (;;) {
        uint32_t got = 0;
        if (!plat::read_file(file, piece, kReadPiece, &got)) {
            result = int(plat::get_last_error());
            break;
        }
        if (got == 0)
            break;
        if (tokenizer.text.size() + got > kFontMapTextMax) {
            result = 8;
            break;
        }
        tokenizer.text.append(piece, got);
    }
    plat::close_handle(file);
    if (result != 0)
        tokenizer.text.clear();
    return result;
}

void font_tok_set_text(FontTokenizer& tokenizer, const char* text, size_t length)
{
    tokenizer = FontTokenizer {};
    tokenizer.text.assign(text, length);
}

int font_platform_from_token(int token)
{
    return token == kFontTokMac ? 2 : token == kFontTokWin ? 1 : 0;
}

static bool at_end(const FontTokenizer& t) { return t.position >= t.text.size(); }
static char peek(const FontTokenizer& t, size_t ahead = 0)
{
    return t.position + ahead < t.text.size() ? t.text[t.position + ahead] : 0;
}

// Bytes of the character at the position: 2 for a double-byte character with its trail byte.
static size_t char_length(const FontTokenizer& t)
{
    if (t.position + 1 >= t.text.size())
        return 1;
    char pair[3] = {t.text[t.position], t.text[t.position + 1], 0};
    return str_is_single_byte(pair) ? 1 : 2;
}

static bool is_line_end(char c) { return c == '\r' || c == '\n'; }

// A blank, or the double-byte blank (its length in *length).
static bool is_blank(const FontTokenizer& t, size_t* length)
{
    unsigned char c = static_cast<unsigned char>(peek(t));
    *length = 1;
    if (c < '!' && !is_line_end(char(c)) && !at_end(t))
        return true;
    if (char_length(t) == 2) {
        char pair[3] = {t.text[t.position], t.text[t.position + 1], 0};
        *length = 2;
        return str_char_class(pair) == kStrClassWideSpace;
    }
    return false;
}

static const Separator* separator_here(const FontTokenizer& t)
{
    for (const Separator& s : kSeparators) {
        size_t length = std::strlen(s.text);
        if (t.text.compare(t.position, length, s.text) == 0)
            return &s;
    }
    return nullptr;
}

// Consumes one line end (CR LF and LF CR are one).
static void take_line_end(FontTokenizer& t)
{
    char first = peek(t);
    t.position++;
    char second = peek(t);
    if (is_line_end(second) && second != first)
        t.position++;
}

static void skip_to_line_end(FontTokenizer& t)
{
    while (!at_end(t) && !is_line_end(peek(t)))
        t.position += char_length(t);
}

static int quoted_name(FontTokenizer& t, char quote)
{
    t.position++;
    t.word.clear();
    while (!at_end(t) && peek(t) != quote && !is_line_end(peek(t))) {
        size_t length = char_length(t);
        if (t.word.size() + length <= kFontWordMax)
            t.word.append(t.text, t.position, length);
        t.position += length;
    }
    if (peek(t) == quote)
        t.position++;
    return kFontTokName;
}

static bool word_ends_here(const FontTokenizer& t)
{
    size_t blank_length = 0;
    char c = peek(t);
    return at_end(t) || is_line_end(c) || is_blank(t, &blank_length) || separator_here(t) || c == '"'
        || c == '\'';
}

static int classify_word(FontTokenizer& t)
{
    // Keywords and numbers may be written in full-width forms on double-byte systems.
    std::string folded(t.word.size() + 1, '\0');
    int length = str_narrow_copy(t.word.c_str(), folded.data(), int(folded.size()), kStrFoldLetters | kStrFoldDigits | kStrFoldSymbols);
    folded.resize(size_t(length));
    bool digits = !folded.empty() && folded.find_first_not_of("0123456789") == std::string::npos;
    if (digits) {
        uint64_t value = 0;
        for (char c : folded)
            value = value > 0xFFFFFFFFu ? value : value * 10 + uint64_t(c - '0');
        t.number = value > 0xFFFFFFFFu ? 0xFFFFFFFFu : uint32_t(value);
        return kFontTokNumber;
    }
    for (const Keyword& k : kKeywords)
        if (str_compare_nocase(folded.c_str(), k.text) == 0)
            return k.token;
    return kFontTokName;
}

static int read_word(FontTokenizer& t)
{
    t.word.clear();
    while (!word_ends_here(t)) {
        size_t length = char_length(t);
        if (t.word.size() + length <= kFontWordMax)
            t.word.append(t.text, t.position, length);
        t.position += length;
    }
    return classify_word(t);
}

int font_tok_next(FontTokenizer& t)
{
    if (t.pending >= 0) {
        int token = t.pending;
        t.pending = -1;
        return token;
    }
    for (;;) {
        if (at_end(t))
            return kFontTokEnd;
        size_t blank_length = 0;
        if (is_blank(t, &blank_length)) {
            t.position += blank_length;
            continue;
        }
        char c = peek(t);
        if (is_line_end(c)) {
            take_line_end(t);
            return kFontTokLineEnd;
        }
        if (const Separator* s = separator_here(t)) {
            t.position += std::strlen(s->text);
            if (s->token == -1)
                continue;
            if (s->token == -2) {
                skip_to_line_end(t);
                continue;
            }
            return s->token;
        }
        if (c == '"' || c == '\'')
            return quoted_name(t, c);
        return read_word(t);
    }
}

void font_tok_give_back(FontTokenizer& t, int token) { t.pending = token; }

int font_tok_skip_line(FontTokenizer& t)
{
    if (t.pending == kFontTokLineEnd || t.pending == kFontTokEnd) {
        int token = t.pending;
        t.pending = -1;
        return token;
    }
    t.pending = -1;
    skip_to_line_end(t);
    if (at_end(t))
        return kFontTokEnd;
    take_line_end(t);
    return kFontTokLineEnd;
}
