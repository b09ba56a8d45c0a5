#include "runtime/calc/scanner.h"

#include "platform/kernel/byte_io.h"
#include "runtime/base/str.h"
#include "runtime/base/str_width.h"
#include "runtime/calc/names.h"
#include "runtime/calc/sysfn_table.h"
#include "runtime/text/charmap.h"

#include <cstring>
#include <string>

namespace {

struct Keyword {
    const char* word;
    uint8_t token;
};

// Sorted ignoring case, for the halving search.
const Keyword kKeywords[] = {
    { "down", kTokDown }, { "else", kTokElse }, { "end", kTokEndWord }, { "exit", kTokExit },
    { "FALSE", kTokFalse }, { "if", kTokIf }, { "in", kTokIn }, { "next", kTokNext },
    { "OFF", kTokOff }, { "ON", kTokOn }, { "repeat", kTokRepeat }, { "Test", kTokTest },
    { "then", kTokThen }, { "to", kTokTo }, { "TRUE", kTokTrue }, { "while", kTokWhile },
    { "with", kTokWith },
};
constexpr size_t kKeywordMax = 6;

struct Operator {
    char first, second;
    uint8_t token;
};

// Two-character forms first.
const Operator kOperators[] = {
    { '*', '*', kTokPower }, { ':', '=', kTokAssign }, { '<', '=', kTokLessEqual },
    { '<', '>', kTokNotEqual }, { '>', '=', kTokGreaterEqual }, { '&', 0, kTokAnd },
    { '(', 0, kTokLParen }, { ')', 0, kTokRParen }, { '*', 0, kTokTimes }, { '+', 0, kTokPlus },
    { '-', 0, kTokMinus }, { '/', 0, kTokDivide }, { ':', 0, kTokColon }, { '<', 0, kTokLess },
    { '=', 0, kTokEqual }, { '>', 0, kTokGreater }, { '[', 0, kTokLBracket },
    { ']', 0, kTokRBracket }, { '^', 0, kTokJoin }, { '|', 0, kTokOr }, { '~', 0, kTokNot },
};

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Letters: ASCII, the accented letters of a one-byte page, any character of a double-byte one.
bool is_letter(const char* p)
{
    uint8_t c = uint8_t(*p);
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_')
        return true;
    if (c < 0x80)
        return false;
    if (!str_is_single_byte(p))
        return true;
    return c >= 0xC0 && c != 0xD7 && c != 0xF7;
}

const char* end_of_word(const char* p)
{
    while (scan_is_name_char(p))
        p = str_next_char(p);
    return p;
}

// The continuation character alone up to the line's end.
// The continuation character where it stands as a character of its own (in a double-byte
// page it is also a lead and a trail byte).
bool is_continuation_char(const char* p) { return uint8_t(*p) == kContinuationChar && str_is_single_byte(p); }

bool is_continuation(const char* p)
{
    if (!is_continuation_char(p))
        return false;
    const char* q = p + 1;
    while (is_blank(*q))
        ++q;
    return *q == '\r';
}

// The text of a quoted run with escapes resolved; the byte after the closing quote, or null
// when a NUL or carriage return comes first.
const char* read_quoted(const char* p, std::string& out)
{
    for (++p; *p != '"'; ) {
        if (*p == 0 || *p == '\r')
            return nullptr;
        if (*p == '\\') {
            char next = p[1];
            const char* escaped = next == 'r' ? "\r" : next == 'n' ? "\n" : next == 't' ? "\t"
                : next == '"' ? "\"" : next == '\\' ? "\\" : nullptr;
            if (escaped) {
                out += escaped;
                p += 2;
                continue;
            }
        }
        const char* next = str_next_char(p);
        out.append(p, next);
        p = next;
    }
    return p + 1;
}

struct Level {
    bool pending = false;      // an assignment's target is being read
    bool has_first = false;
    VariableRef first {};      // the level's first variable
    bool test_statement = false; // the arguments of a Test that is a statement
};

struct Scanner {
    Scanner(const char* t, const ScanOptions& o, ScanResult* r) : text(t), p(t), options(o), out(r) {}
    const char* text;
    const char* p;
    ScanOptions options;
    ScanResult* out;
    bool mapped = false;
    // The token being read.
    const char* start = nullptr;
    std::string data;
    VariableRef ref {};
    int function_id = 0;
    // Structure.
    Level levels[kScanNestingLimit + 1];
    int level = 0;
    bool expect = false;
    bool line_had_tokens = false;
    bool last_was_statement_test = false;
    const char* line_checked_until = nullptr;
};

int fail(Scanner& s, int code, const char* at, int length)
{
    s.out->error = code;
    s.out->error_offset = int(at - s.text);
    s.out->error_length = length;
    return code;
}

// 0 when the line from the cursor to its carriage return is short enough. Lines only shrink
// as the cursor moves on, so each line is measured once, at its first token.
int check_line(Scanner& s)
{
    if (s.line_checked_until && s.p < s.line_checked_until)
        return 0;
    const char* q = s.p;
    int chars = 0;
    while (*q && *q != '\r') {
        q = str_next_char(q);
        ++chars;
    }
    s.line_checked_until = q;
    if (chars >= kScanLineLimit)
        return fail(s, 1, s.p, chars);
    return 0;
}

// A kept text may not hold its own token's code byte: the reader finds its end by that byte.
int check_own_code(Scanner& s, uint8_t kind, const char* data_start_in_text)
{
    size_t at = s.data.find(char(kind));
    if (at == std::string::npos)
        return kind;
    const char* where = data_start_in_text ? std::strchr(data_start_in_text, char(kind)) : s.start;
    fail(s, 4, where ? where : s.start, 1);
    return kTokBadChar;
}

int read_name(Scanner& s);
int read_number(Scanner& s);
int read_string(Scanner& s);

int read_blank(Scanner& s)
{
    while (is_blank(*s.p))
        ++s.p;
    if (*s.p == '\r') {
        ++s.p;
        if (*s.p == '\n')
            ++s.p;
        return kTokNewLine;
    }
    if (*s.p == 0)
        return kTokEnd;
    s.data.assign(s.start, s.p);
    return kTokTrivia;
}

int read_comment(Scanner& s)
{
    s.p += 2;
    const char* from = s.p;
    while (*s.p && *s.p != '\r' && !is_continuation_char(s.p))
        s.p = str_next_char(s.p);
    s.data = ";";
    s.data.append(from, s.p);
    int kind = s.mapped && str_charmap_has_high_chars(str_charmap(), s.data.c_str()) ? kTokMappedTrivia : kTokTrivia;
    return check_own_code(s, uint8_t(kind), from);
}

int read_symbol(Scanner& s)
{
    int length = scan_symbol_length(s.p + 1);
    if (length < 1 || length > kScanSymbolLimit)
        return fail(s, 43, s.start, 1 + length), kTokBadToken;
    s.data.assign(s.p + 1, size_t(length));
    s.p += 1 + length;
    return kTokSymbol;
}

int read_operator(Scanner& s)
{
    for (const Operator& op : kOperators) {
        if (s.p[0] != op.first || (op.second && s.p[1] != op.second))
            continue;
        s.p += op.second ? 2 : 1;
        return op.token;
    }
    const char* next = str_next_char(s.p);
    fail(s, 4, s.p, 1);
    s.p = next;
    return kTokBadChar;
}

// Reads one token at the cursor; the error word is set for BadChar and BadToken.
int scan_token(Scanner& s)
{
    s.start = s.p;
    s.data.clear();
    char c = *s.p;
    if (c == 0)
        return kTokEnd;
    if (c == '\r') {
        ++s.p;
        if (*s.p == '\n')
            ++s.p;
        return kTokNewLine;
    }
    if (is_blank(c))
        return read_blank(s);
    if (is_continuation(s.p)) {
        s.p = std::strchr(s.p, '\r') + 1;
        if (*s.p == '\n')
            ++s.p;
        s.data = "\xAC";
        return kTokTrivia;
    }
    if (scan_comment_length(s.p))
        return read_comment(s);
    if (is_letter(s.p) || c == '@')
        return read_name(s);
    bool decimal = c == s.options.decimal || c == '.';
    if (is_digit(c) || (decimal && is_digit(s.p[1])))
        return read_number(s);
    if (c == '"')
        return read_string(s);
    if (c == '#')
        return read_symbol(s);
    if (c == s.options.separator) {
        ++s.p;
        return kTokListSeparator;
    }
    return read_operator(s);
}

int read_number(Scanner& s)
{
    int digits = 0;
    while (is_digit(*s.p))
        s.data += *s.p++, ++digits;
    bool real = false;
    if (*s.p == s.options.decimal || *s.p == '.') {
        real = true;
        s.data += '.';
        ++s.p;
        while (is_digit(*s.p))
            s.data += *s.p++;
    }
    if (int(s.data.size()) > kScanTokenLimit)
        return fail(s, 2, s.start, kScanNameLimit + 1), kTokBadToken;
    return real || digits > 9 ? kTokReal : kTokInteger;
}

int read_string(Scanner& s)
{
    const char* end = read_quoted(s.p, s.data);
    if (!end)
        return fail(s, 3, s.start, 1), kTokBadToken;
    if (int(s.data.size()) > kScanTokenLimit)
        return fail(s, 2, s.start, kScanNameLimit + 1), kTokBadToken;
    s.p = end;
    int kind = s.mapped && str_charmap_has_high_chars_n(str_charmap(), s.data.data(), s.data.size())
        ? kTokMappedString : kTokString;
    return check_own_code(s, uint8_t(kind), s.start + 1);
}

int resolve_function(Scanner& s, const std::string& name)
{
    int id = 0;
    int error = sysfn_lookup_for_compile(name.c_str(), &id);
    if (error == 21) {
        const CalcNameHooks& hooks = calc_name_hooks();
        if (hooks.ucode_find_function && hooks.ucode_find_function(int(s.options.context >> 16), name.c_str(), &id))
            error = 0;
    }
    if (error)
        return fail(s, error, s.start, int(name.size())), kTokBadToken;
    s.function_id = id;
    return kTokFunction;
}

int read_name(Scanner& s)
{
    int proper = scan_name_length(s.p);
    int whole = scan_name_at_length(s.p);
    if (whole > kScanNameLimit)
        return fail(s, 2, s.start, kScanNameLimit + 1), kTokBadToken;
    std::string name(s.p, size_t(proper));
    s.p += whole;
    bool has_at = whole > proper;
    if (!has_at) {
        if (int keyword = scan_find_keyword(name.c_str(), name.size()))
            return keyword;
        const char* q = s.p;
        while (*q == ' ' || *q == '\t')
            ++q;
        if (*q == '(')
            return resolve_function(s, name);
    }
    std::string title;
    const char* title_at = s.start + proper + 1;
    bool quoted = has_at && whole > proper + 1;
    if (quoted)
        read_quoted(title_at, title);
    // An empty title would read as an icon computed at run time.
    if (quoted && title.empty())
        return fail(s, 28, title_at, 2), kTokBadToken;
    int error = eval_resolve_variable_name(s.options.context, name.c_str(), has_at ? title.c_str() : nullptr, &s.ref);
    if (error == 23 || error == 26 || error == 28)
        return fail(s, error, title_at + 1, int(title.size())), kTokBadToken;
    if (error)
        return fail(s, error, s.start, proper), kTokBadToken;
    return kTokVariable;
}

bool is_keyword_or_operator(int kind)
{
    return (kind >= kTokRParen && kind <= kTokNot) || kind == kTokFalse || kind == kTokTrue
        || (kind >= kTokJoin && kind <= kTokIn && kind != kTokLBracket && kind != kTokRBracket);
}

void expect_statement(Scanner& s)
{
    s.expect = true;
    s.levels[s.level].pending = false;
    s.levels[s.level].has_first = false;
}

// The structure checks for one token; 0 or an error. May turn "=" into ":=" (*kind).
int check_structure(Scanner& s, int* kind)
{
    Level& level = s.levels[s.level];
    int k = *kind;
    int length = int(s.p - s.start);
    if (k == kTokTrivia || k == kTokMappedTrivia)
        return 0;
    bool was_statement_test = s.last_was_statement_test;
    s.last_was_statement_test = false;
    if (k == kTokNewLine || k == kTokEnd) {
        if (level.pending || (s.expect && s.line_had_tokens))
            return fail(s, 13, s.start, length ? length : 1);
        if (s.options.statements && k == kTokNewLine)
            expect_statement(s);
        s.line_had_tokens = false;
        return 0;
    }
    s.line_had_tokens = true;
    if (k == kTokEqual && level.pending)
        *kind = k = kTokAssign;
    switch (k) {
    case kTokLParen:
    case kTokLBracket:
        if (s.level == kScanNestingLimit)
            return fail(s, 10, s.start, 1);
        s.levels[++s.level] = Level {};
        s.levels[s.level].test_statement = k == kTokLParen && was_statement_test;
        return 0;
    case kTokRParen:
    case kTokRBracket:
        if (s.level == 0)
            return fail(s, 9, s.start, 1);
        --s.level;
        return 0;
    case kTokVariable:
        if (s.expect) {
            level.pending = true;
            s.expect = false;
        }
        if (!level.has_first)
            level.has_first = true, level.first = s.ref;
        return 0;
    case kTokAssign:
    case kTokIn:
        level.pending = false;
        if (!level.has_first || !eval_is_assignable(level.first))
            return fail(s, 12, s.start, length);
        return 0;
    case kTokFunction:
        s.expect = false;
        return 0;
    case kTokTest:
        s.last_was_statement_test = s.expect;
        s.expect = false;
        return 0;
    case kTokThen:
    case kTokElse:
    case kTokWith:
        if (s.level == 0 && level.pending)
            return fail(s, 13, s.start, length);
        expect_statement(s);
        s.line_had_tokens = false;
        return 0;
    case kTokInteger:
    case kTokReal:
    case kTokString:
    case kTokMappedString:
    case kTokSymbol:
        return s.expect ? fail(s, 17, s.start, length) : 0;
    case kTokListSeparator:
        if (s.level == 0 && level.pending)
            return fail(s, 13, s.start, length);
        if (level.test_statement)
            expect_statement(s);
        return 0;
    default:
        if (s.level == 0 && level.pending && is_keyword_or_operator(k))
            return fail(s, 13, s.start, length);
        if (k == kTokIf || k == kTokEndWord || k == kTokRepeat || k == kTokWhile || k == kTokExit || k == kTokNext)
            s.expect = false;
        return 0;
    }
}

int write_token(Scanner& s, int kind)
{
    std::vector<uint8_t>& stream = s.out->stream;
    size_t at = stream.size();
    uint8_t data[6];
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(s.data.data());
    size_t size = s.data.size();
    bool with_data = true;
    if (kind == kTokVariable) {
        var_ref_store(s.ref, data);
        bytes = data, size = 6;
    } else if (kind == kTokFunction) {
        plat::store_u16le(data, uint16_t(s.function_id));
        bytes = data, size = 2;
    } else if (kind != kTokInteger && kind != kTokReal && kind != kTokString && kind != kTokMappedString
        && kind != kTokTrivia && kind != kTokMappedTrivia && kind != kTokSymbol) {
        with_data = false;
    }
    size_t needed = with_data ? size + 2 : 1;
    if (needed > kScanStreamLimit - at)
        return fail(s, 11, s.start, int(s.p - s.start));
    s.out->spans.push_back({ uint32_t(at), uint32_t(s.start - s.text), uint32_t(s.p - s.start) });
    stream.push_back(uint8_t(kind));
    if (with_data) {
        stream.insert(stream.end(), bytes, bytes + size);
        stream.push_back(uint8_t(kind));
    }
    return 0;
}

} // namespace

int scan_comment_length(const char* text) { return text[0] == '-' && text[1] == '-' ? 2 : 0; }

int scan_find_keyword(const char* text, size_t length)
{
    if (length == 0 || length > kKeywordMax)
        return 0;
    char word[kKeywordMax + 1];
    std::memcpy(word, text, length);
    word[length] = 0;
    size_t low = 0, high = sizeof kKeywords / sizeof kKeywords[0];
    while (low < high) {
        size_t mid = (low + high) / 2;
        int order = str_compare_nocase(word, kKeywords[mid].word);
        if (order == 0)
            return kKeywords[mid].token;
        if (order < 0)
            high = mid;
        else
            low = mid + 1;
    }
    return 0;
}

int scan_is_name_char(const char* text) { return is_letter(text) || is_digit(*text); }

int scan_name_length(const char* text)
{
    if (!is_letter(text))
        return 0;
    const char* end = end_of_word(text);
    if (scan_find_keyword(text, size_t(end - text)))
        return int(end - text);
    for (const char* q = end; *q == ' ';) {
        const char* word = q;
        while (*word == ' ')
            ++word;
        if (!scan_is_name_char(word))
            break;
        const char* word_end = end_of_word(word);
        if (scan_find_keyword(word, size_t(word_end - word)))
            break;
        q = end = word_end;
    }
    return int(end - text);
}

int scan_name_at_length(const char* text)
{
    int length = scan_name_length(text);
    if (text[length] != '@')
        return length;
    ++length;
    if (text[length] == '"') {
        std::string title;
        if (const char* end = read_quoted(text + length, title))
            length = int(end - text);
    }
    return length;
}

int scan_symbol_length(const char* text)
{
    if (!is_letter(text))
        return 0;
    return int(end_of_word(text) - text);
}

void scan_prepare_double_byte(char* text)
{
    const int flags = kStrFoldLetters | kStrFoldDigits | kStrFoldSymbols;
    char* out = text;
    const char* p = text;
    while (*p) {
        const char* from = p;
        if (*p == '"') {
            std::string ignored;
            const char* end = read_quoted(p, ignored);
            p = end ? end : p + std::strlen(p);
        } else if (scan_comment_length(p)) {
            while (*p && *p != '\r' && !is_continuation_char(p))
                p = str_next_char(p);
        } else {
            const char* next = str_next_char(p);
            char one[3] = {};
            std::memcpy(one, p, size_t(next - p));
            int written = str_narrow_copy(one, one, int(sizeof one), flags);
            std::memmove(out, one, size_t(written));
            out += written;
            p = next;
            continue;
        }
        std::memmove(out, from, size_t(p - from));
        out += p - from;
    }
    *out = 0;
}

int scan_text(const char* text, const ScanOptions& options, ScanResult& out)
{
    out = ScanResult {};
    Scanner s(text, options, &out);
    CharsetMap* map = str_charmap();
    s.mapped = map && str_charmap_maps_literals(map);
    s.expect = options.statements != 0;
    out.stream.reserve(820);
    for (;;) {
        if (check_line(s))
            break;
        int kind = scan_token(s);
        if (out.error)
            break;
        if (check_structure(s, &kind) || write_token(s, kind))
            break;
        if (kind == kTokEnd)
            break;
    }
    if (out.error) {
        out.stream.clear();
        out.spans.clear();
    }
    return out.error;
}
