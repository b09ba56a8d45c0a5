#include "tools/rc/rc_lex.h"

#include <cstdio>
#include <iconv.h>

constexpr uint32_t kCodePageUtf8 = 65001;

struct LineLexer {
    std::string_view line;
    size_t pos = 0;
    int line_number = 0;
    std::string message; // set on failure
};

static bool is_word_start(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
static bool is_digit(char c) { return c >= '0' && c <= '9'; }
static bool is_word_char(char c) { return is_word_start(c) || is_digit(c); }
static bool is_blank(char c) { return c == ' ' || c == '\t'; }

static int hex_value(char c)
{
    if (is_digit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The length of the UTF-8 sequence at text[0], 0 when it is malformed.
static size_t utf8_sequence_length(std::string_view text)
{
    uint8_t lead = uint8_t(text[0]);
    size_t length = lead < 0x80       ? 1
        : lead >= 0xC2 && lead < 0xE0 ? 2
        : lead >= 0xE0 && lead < 0xF0 ? 3
        : lead >= 0xF0 && lead < 0xF5 ? 4
                                      : 0;
    if (length == 0 || length > text.size())
        return 0;
    for (size_t i = 1; i < length; ++i) {
        if ((uint8_t(text[i]) & 0xC0) != 0x80)
            return 0;
    }
    return length;
}

static bool is_utf8(std::string_view text)
{
    for (size_t i = 0; i < text.size();) {
        size_t length = utf8_sequence_length(text.substr(i));
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

static bool lex_fail(LineLexer& lx, std::string message)
{
    lx.message = std::move(message);
    return false;
}

// escape -> '\' ( 'n' | 'r' | 't' | '0' | '\' | '"' | '\'' | 'x' hex [hex] )
static bool lex_escape(LineLexer& lx, std::string& out)
{
    if (lx.pos >= lx.line.size())
        return lex_fail(lx, "unterminated text");
    char c = lx.line[lx.pos++];
    static const char kSimple[][2] = { { 'n', '\n' }, { 'r', '\r' }, { 't', '\t' }, { '0', '\0' },
        { '\\', '\\' }, { '"', '"' }, { '\'', '\'' } };
    for (const auto& row : kSimple) {
        if (c == row[0]) {
            out += row[1];
            return true;
        }
    }
    if (c != 'x' || lx.pos >= lx.line.size() || hex_value(lx.line[lx.pos]) < 0)
        return lex_fail(lx, std::string("unknown escape '\\") + c + "'");
    int value = hex_value(lx.line[lx.pos++]);
    if (lx.pos < lx.line.size() && hex_value(lx.line[lx.pos]) >= 0)
        value = value * 16 + hex_value(lx.line[lx.pos++]);
    out += char(value);
    return true;
}

static void append_piece(std::vector<TextPiece>& text, bool raw, char c)
{
    if (text.empty() || text.back().raw != raw)
        text.push_back({ raw, {} });
    text.back().bytes += c;
}

// text -> '"' { character | escape } '"'
static bool lex_text(LineLexer& lx, std::vector<TextPiece>& text)
{
    ++lx.pos;
    while (lx.pos < lx.line.size() && lx.line[lx.pos] != '"') {
        char c = lx.line[lx.pos++];
        if (c != '\\') {
            append_piece(text, false, c);
            continue;
        }
        std::string escaped;
        if (!lex_escape(lx, escaped))
            return false;
        append_piece(text, true, escaped[0]);
    }
    if (lx.pos >= lx.line.size())
        return lex_fail(lx, "unterminated text");
    ++lx.pos;
    return true;
}

// number -> [ '-' ] ( digits | '0x' hexdigits ), within -2^31 .. 2^32 - 1
static bool lex_number(LineLexer& lx, int64_t& out)
{
    size_t start = lx.pos;
    bool negative = lx.line[lx.pos] == '-';
    lx.pos += negative;
    int base = 10;
    if (lx.line.substr(lx.pos, 2) == "0x" || lx.line.substr(lx.pos, 2) == "0X") {
        base = 16;
        lx.pos += 2;
    }
    int64_t value = 0;
    size_t digits = 0;
    for (; lx.pos < lx.line.size() && is_word_char(lx.line[lx.pos]); ++lx.pos, ++digits) {
        int digit = hex_value(lx.line[lx.pos]);
        if (digit < 0 || digit >= base || value > 0xFFFFFFFFll)
            return lex_fail(
                lx, "bad number '" + std::string(lx.line.substr(start, lx.pos + 1 - start)) + "'");
        value = value * base + digit;
    }
    out = negative ? -value : value;
    if (digits == 0 || out > 0xFFFFFFFFll || out < -0x80000000ll)
        return lex_fail(
            lx, "bad number '" + std::string(lx.line.substr(start, lx.pos - start)) + "'");
    return true;
}

// A backslash outside text may only end the line (a continuation).
static bool lex_continuation(LineLexer& lx, bool& continues)
{
    size_t rest = lx.pos + 1;
    while (rest < lx.line.size() && is_blank(lx.line[rest]))
        ++rest;
    if (rest < lx.line.size() && lx.line[rest] != '#')
        return lex_fail(lx, "a backslash outside text must end the line");
    continues = true;
    lx.pos = lx.line.size();
    return true;
}

// Texts next to each other on a statement become one token, so long texts can be split.
static bool lex_text_token(LineLexer& lx, std::vector<Token>& tokens)
{
    if (!tokens.empty() && tokens.back().kind == TokenKind::text)
        return lex_text(lx, tokens.back().text);
    Token token;
    token.kind = TokenKind::text;
    token.line = lx.line_number;
    if (!lex_text(lx, token.text))
        return false;
    tokens.push_back(std::move(token));
    return true;
}

static bool lex_token(LineLexer& lx, std::vector<Token>& tokens)
{
    char c = lx.line[lx.pos];
    Token token;
    token.line = lx.line_number;
    if (c == '"')
        return lex_text_token(lx, tokens);
    if (c == '|') {
        token.kind = TokenKind::bar;
        ++lx.pos;
    } else if (is_digit(c)
        || (c == '-' && lx.pos + 1 < lx.line.size() && is_digit(lx.line[lx.pos + 1]))) {
        token.kind = TokenKind::number;
        if (!lex_number(lx, token.number))
            return false;
    } else if (is_word_start(c)) {
        size_t start = lx.pos;
        while (lx.pos < lx.line.size() && is_word_char(lx.line[lx.pos]))
            ++lx.pos;
        token.word = lx.line.substr(start, lx.pos - start);
    } else {
        size_t length = utf8_sequence_length(lx.line.substr(lx.pos));
        std::string character(lx.line.substr(lx.pos, length ? length : 1));
        return lex_fail(lx, "unexpected character '" + character + "'");
    }
    tokens.push_back(std::move(token));
    return true;
}

static bool lex_line(LineLexer& lx, std::vector<Token>& tokens, bool& continues)
{
    continues = false;
    if (!is_utf8(lx.line))
        return lex_fail(lx, "the line is not UTF-8 text");
    while (lx.pos < lx.line.size()) {
        char c = lx.line[lx.pos];
        if (is_blank(c) || c == '\r') {
            ++lx.pos;
        } else if (c == '#') {
            break;
        } else if (c == '\\') {
            if (!lex_continuation(lx, continues))
                return false;
        } else if (!lex_token(lx, tokens)) {
            return false;
        }
    }
    return true;
}

bool rc_lex(
    const std::string& file, const std::string& source, std::vector<Statement>& out, RcError& error)
{
    bool continuing = false;
    int line_number = 0;
    for (size_t pos = 0; pos < source.size();) {
        size_t end = source.find('\n', pos);
        if (end == std::string::npos)
            end = source.size();
        LineLexer lx { std::string_view(source).substr(pos, end - pos), 0, ++line_number, {} };
        if (!continuing)
            out.push_back({ line_number, {} });
        if (!lex_line(lx, out.back().tokens, continuing)) {
            error = { file, line_number, lx.message };
            return false;
        }
        if (!continuing && out.back().tokens.empty())
            out.pop_back();
        pos = end + 1;
    }
    if (!out.empty() && out.back().tokens.empty())
        out.pop_back();
    return true;
}

static std::string iconv_name(uint32_t code_page)
{
    return code_page == kCodePageUtf8 ? "UTF-8" : "CP" + std::to_string(code_page);
}

bool rc_code_page_known(uint32_t code_page)
{
    iconv_t cd = iconv_open(iconv_name(code_page).c_str(), "UTF-8");
    if (cd == iconv_t(-1))
        return false;
    iconv_close(cd);
    return true;
}

static std::string describe_character(std::string_view text)
{
    size_t length = utf8_sequence_length(text);
    uint32_t code = length > 1 ? uint8_t(text[0]) & (0x7F >> length) : uint8_t(text[0]);
    for (size_t i = 1; i < length; ++i)
        code = code << 6 | (uint8_t(text[i]) & 0x3F);
    char code_text[16];
    std::snprintf(code_text, sizeof code_text, "U+%04X", code);
    std::string out = "'";
    out.append(text.substr(0, length ? length : 1));
    out += "' (";
    out += code_text;
    out += ")";
    return out;
}

// Without //TRANSLIT iconv refuses a character the page lacks instead of guessing.
static bool convert_piece(
    iconv_t cd, uint32_t code_page, const std::string& in, std::string& out, std::string& message)
{
    std::string buffer(in.size() * 4 + 8, '\0');
    char* in_ptr = const_cast<char*>(in.data());
    size_t in_left = in.size();
    char* out_ptr = buffer.data();
    size_t out_left = buffer.size();
    size_t result = iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left);
    if (result == size_t(-1) || result > 0) {
        message = describe_character(std::string_view(in).substr(in_ptr - in.data()))
            + " is not in code page " + std::to_string(code_page);
        return false;
    }
    out.append(buffer.data(), buffer.size() - out_left);
    return true;
}

bool rc_convert_text(
    uint32_t code_page, const std::vector<TextPiece>& text, std::string& out, std::string& message)
{
    iconv_t cd = iconv_open(iconv_name(code_page).c_str(), "UTF-8");
    if (cd == iconv_t(-1)) {
        message = "code page " + std::to_string(code_page) + " is not known";
        return false;
    }
    bool ok = true;
    for (size_t i = 0; i < text.size() && ok; ++i) {
        if (text[i].raw)
            out += text[i].bytes;
        else
            ok = convert_piece(cd, code_page, text[i].bytes, out, message);
    }
    iconv_close(cd);
    return ok;
}

std::string rc_text_as_written(const std::vector<TextPiece>& text)
{
    std::string out;
    for (const TextPiece& piece : text)
        out += piece.bytes;
    return out;
}
