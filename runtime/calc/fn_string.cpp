// The string functions. Positions and counts are in characters, never bytes, so a double-byte
// character is neither split nor counted twice.
#include "runtime/calc/fn_common.h"

#include "platform/kernel/codepage.h"
#include "runtime/base/key.h"
#include "runtime/base/str.h"
#include "runtime/calc/interp.h"
#include "runtime/calc/judge_text.h"
#include "runtime/text/charmap.h"
#include "runtime/text/intl.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr int kRepeatMaxCount = 32767;

// Byte offsets of each character's start, and the text's length last.
std::vector<int> char_starts(const std::string& text)
{
    std::vector<int> starts;
    const char* begin = text.c_str();
    const char* end = begin + text.size();
    for (const char* p = begin; p < end;) {
        starts.push_back(int(p - begin));
        const char* n = str_next_char(p);
        p = n > p ? std::min(n, end) : p + 1;
    }
    starts.push_back(int(text.size()));
    return starts;
}

// The first character of text (its bytes), empty for an empty text.
std::string first_char(const std::string& text)
{
    if (text.empty())
        return {};
    std::vector<int> starts = char_starts(text);
    return text.substr(0, size_t(starts[1]));
}

// The characters first..last (1-based, inclusive), clamped to the text.
std::string char_range(const std::string& text, int first, int last)
{
    std::vector<int> starts = char_starts(text);
    int count = int(starts.size()) - 1;
    first = std::max(first, 1);
    last = std::min(last, count);
    if (last < first)
        return {};
    return text.substr(size_t(starts[first - 1]), size_t(starts[last] - starts[first - 1]));
}

// Calls each(start, size) for every character of text.
template <typename Each> void for_each_char(const std::string& text, Each each)
{
    std::vector<int> starts = char_starts(text);
    for (size_t i = 0; i + 1 < starts.size(); ++i)
        each(starts[i], starts[i + 1] - starts[i]);
}

bool set_has_char(const std::string& set, const std::string& text, int at, int size)
{
    bool found = false;
    for_each_char(set, [&](int s, int n) { found = found || (n == size && set.compare(s, n, text, at, n) == 0); });
    return found;
}

void fn_sub_str(int, ScriptValue* args, ScriptValue& result)
{
    fn_set_text(result, char_range(ArgText(args[0]).str(), val_integer(args[1]), val_integer(args[2])));
}

void fn_upper_case(int, ScriptValue* args, ScriptValue& result)
{
    std::string text = ArgText(args[0]).str();
    plat::char_upper(text.data(), text.size());
    fn_set_text(result, text);
}

void fn_lower_case(int, ScriptValue* args, ScriptValue& result)
{
    std::string text = ArgText(args[0]).str();
    plat::char_lower(text.data(), text.size());
    fn_set_text(result, text);
}

// Set numbers 0 and 1 are set 1, 2 is set 2, anything else no translation.
int charset_of(int32_t number) { return number == 0 || number == 1 ? 1 : number == 2 ? 2 : 0; }

void fn_map_chars(int argc, ScriptValue* args, ScriptValue& result)
{
    std::string text = ArgText(args[0]).str();
    int from = charset_of(val_integer(args[1]));
    int to = charset_of(fn_int_arg(argc, args, 2, 1));
    if (from && to && from != to && str_charmap())
        str_charmap_translate_n(str_charmap(), text.data(), text.size(), from, to);
    fn_set_text(result, text);
}

void fn_char_count(int, ScriptValue* args, ScriptValue& result)
{
    val_set_integer(str_char_count(ArgText(args[0]).c_str()), result);
}

void fn_strip(int, ScriptValue* args, ScriptValue& result)
{
    std::string set = ArgText(args[0]).str(), text = ArgText(args[1]).str(), out;
    for_each_char(text, [&](int at, int size) {
        if (!set_has_char(set, text, at, size))
            out.append(text, size_t(at), size_t(size));
    });
    fn_set_text(result, out);
}

void fn_reduce(int, ScriptValue* args, ScriptValue& result)
{
    std::string set = ArgText(args[0]).str(), text = ArgText(args[1]).str(), out;
    int previous_at = -1, previous_size = 0;
    for_each_char(text, [&](int at, int size) {
        bool repeat = previous_at >= 0 && size == previous_size && text.compare(at, size, text, previous_at, size) == 0;
        if (!repeat || !set_has_char(set, text, at, size))
            out.append(text, size_t(at), size_t(size));
        previous_at = at, previous_size = size;
    });
    fn_set_text(result, out);
}

// Whole copies while the text stays within what a joined text may hold.
void fn_repeat_string(int, ScriptValue* args, ScriptValue& result)
{
    std::string text = ArgText(args[0]).str(), out;
    int32_t count = std::min(val_integer(args[1]), int32_t(kRepeatMaxCount));
    for (int32_t i = 0; i < count && out.size() + text.size() <= size_t(kEvalJoinLimit); ++i) {
        if (text.empty())
            break;
        out += text;
    }
    fn_set_text(result, out);
}

WildcardMatcher plain_matcher(const std::string& text, const std::string& pattern)
{
    return WildcardMatcher(text.c_str(), text.c_str() + text.size(), pattern.c_str(), kJudgeMatchCase,
        kJudgeKeepPunct, kJudgeFirstEnd);
}

void fn_find(int, ScriptValue* args, ScriptValue& result)
{
    std::string pattern = ArgText(args[0]).str(), text = ArgText(args[1]).str();
    WildcardMatcher matcher = plain_matcher(text, pattern);
    std::vector<int> starts = char_starts(text);
    for (size_t i = 0; i + 1 < starts.size(); ++i) {
        if (matcher.match_at(text.c_str() + starts[i])) {
            val_set_integer(int32_t(i + 1), result);
            return;
        }
    }
    val_set_integer(0, result);
}

void fn_rfind(int, ScriptValue* args, ScriptValue& result)
{
    std::string pattern = ArgText(args[0]).str(), text = ArgText(args[1]).str();
    WildcardMatcher matcher = plain_matcher(text, pattern);
    std::vector<int> starts = char_starts(text);
    for (size_t i = starts.size() - 1; i-- > 0;) {
        if (matcher.match_at(text.c_str() + starts[i])) {
            val_set_integer(int32_t(i + 1), result);
            return;
        }
    }
    val_set_integer(0, result);
}

// A result past what a joined text may hold is refused like one memory cannot hold.
void set_bounded_text(ScriptValue& result, const std::string& text)
{
    fn_set_text(result, text.size() > size_t(kEvalJoinLimit) ? std::string() : text);
}

void fn_replace(int, ScriptValue* args, ScriptValue& result)
{
    std::string pattern = ArgText(args[0]).str(), replacement = ArgText(args[1]).str(),
                text = ArgText(args[2]).str();
    if (pattern.empty()) {
        fn_set_text(result, text);
        return;
    }
    WildcardMatcher matcher = plain_matcher(text, pattern);
    std::string out;
    const char* begin = text.c_str();
    const char* end = begin + text.size();
    for (const char* p = begin; p < end && out.size() <= size_t(kEvalJoinLimit);) {
        const char* next = std::min(std::max(str_next_char(p), p + 1), end);
        const char* m = matcher.match_at(p);
        if (m)
            out += replacement;
        // An empty match moves on one character, or it would match there for ever.
        if (m && m > p) {
            p = m;
        } else {
            out.append(p, size_t(next - p));
            p = next;
        }
    }
    set_bounded_text(result, out);
}

void fn_replace_word(int, ScriptValue* args, ScriptValue& result)
{
    std::string pattern = ArgText(args[0]).str(), replacement = ArgText(args[1]).str(),
                text = ArgText(args[2]).str(), out;
    const char* begin = text.c_str();
    const char* end = begin + text.size();
    const char* p = begin;
    size_t length = 0;
    for (const char* w = judge_next_word(p, end, &length); w; w = judge_next_word(p, end, &length)) {
        out.append(p, size_t(w - p));
        const char* m = judge_wildcard_match(w, w + length, pattern.c_str(), kJudgeMatchCase, kJudgeKeepPunct,
            kJudgeLongestEnd);
        if (m == w + length)
            out += replacement;
        else
            out.append(w, length);
        p = w + length;
    }
    out.append(p, size_t(end - p));
    set_bounded_text(result, out);
}

void fn_word_count(int, ScriptValue* args, ScriptValue& result)
{
    val_set_integer(judge_word_count(ArgText(args[0]).c_str()), result);
}

void fn_get_word(int, ScriptValue* args, ScriptValue& result)
{
    int32_t n = val_integer(args[0]);
    std::string text = ArgText(args[1]).str();
    const char* end = text.c_str() + text.size();
    size_t length = 0;
    const char* w = judge_next_word(text.c_str(), end, &length);
    for (int32_t i = 1; w && i < n; ++i)
        w = judge_next_word(w + length, end, &length);
    fn_set_text(result, n >= 1 && w ? std::string(w, length) : std::string());
}

// --- numbers inside texts ---------------------------------------------------------------------

bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_decimal(char c) { return c == '.' || (c && std::strchr(intl_decimal_chars(), c)); }
bool is_sign(char c) { return c == '+' || c == '-'; }

// The numbers of text, each as its characters with "." for the separator.
std::vector<std::string> numbers_in(const std::string& text)
{
    std::vector<std::string> numbers;
    const char* p = text.c_str();
    while (*p) {
        const char* q = is_sign(*p) ? p + 1 : p;
        bool starts = is_digit(*q) || (is_decimal(*q) && is_digit(q[1]));
        if (!starts) {
            p = std::max(str_next_char(p), p + 1);
            continue;
        }
        std::string number = *p == '-' ? "-" : "";
        while (is_digit(*q))
            number += *q++;
        if (is_decimal(*q)) {
            number += '.';
            ++q;
            while (is_digit(*q))
                number += *q++;
        }
        numbers.push_back(number);
        p = q;
    }
    return numbers;
}

void fn_num_count(int, ScriptValue* args, ScriptValue& result)
{
    val_set_integer(int32_t(numbers_in(ArgText(args[0]).str()).size()), result);
}

void fn_get_number(int, ScriptValue* args, ScriptValue& result)
{
    int32_t n = val_integer(args[0]);
    std::vector<std::string> numbers = numbers_in(ArgText(args[1]).str());
    if (n < 1 || size_t(n) > numbers.size()) {
        val_set_integer(0, result);
        return;
    }
    const std::string& number = numbers[size_t(n - 1)];
    double x = std::strtod(number.c_str(), nullptr);
    bool whole = number.find('.') == std::string::npos && x >= -2147483648.0 && x <= 2147483647.0;
    if (whole)
        val_set_integer(int32_t(x), result);
    else
        val_set_real(x, result);
}

// --- characters -------------------------------------------------------------------------------

// The character a key types: its own for a character key, the control character of Enter,
// Tab, Escape, Backspace and Space, none for other keys.
std::string key_character(KeyCode code)
{
    uint32_t base = code & 0xFFFF;
    if (!(code & kKeyVirtual)) {
        if (base > 0xFF)
            return std::string { char(base >> 8), char(base & 0xFF) };
        return base ? std::string(1, char(base)) : std::string();
    }
    switch (base) {
    case 8: case 9: case 13: case 27: case 32: return std::string(1, char(base));
    case 46: return std::string(1, char(127));
    default: return {};
    }
}

void fn_char(int, ScriptValue* args, ScriptValue& result)
{
    std::string text = ArgText(args[0]).str();
    std::string out;
    if (!text.empty() && is_digit(text[0])) {
        int32_t code = val_text_to_integer(text.c_str()) & 0xFF;
        if (code)
            out = std::string(1, char(code));
    } else if (!text.empty() && uint8_t(text[0]) < 32) {
        out = text.substr(0, 1);
    } else if (!text.empty()) {
        out = key_character(key_code_from_name(text.c_str()));
    }
    fn_set_text(result, out);
}

void fn_code(int, ScriptValue* args, ScriptValue& result)
{
    std::string c = first_char(ArgText(args[0]).str());
    val_set_integer(c.size() == 1 ? uint8_t(c[0]) : 0, result);
}

void fn_capitalize(int argc, ScriptValue* args, ScriptValue& result)
{
    std::string text = ArgText(args[0]).str();
    bool first_only = fn_int_arg(argc, args, 1, 0) == 1;
    char* begin = text.data();
    const char* end = begin + text.size();
    size_t length = 0;
    for (const char* w = judge_next_word(begin, end, &length); w; w = judge_next_word(w + length, end, &length)) {
        char* c = begin + (w - begin);
        plat::char_upper(c, size_t(std::max(str_next_char(c), static_cast<const char*>(c + 1)) - c));
        if (first_only)
            break;
    }
    fn_set_text(result, text);
}

// --- lines ------------------------------------------------------------------------------------

// The lines of a text: each line's start and end (before its delimiter); a text of n
// delimiters has n + 1 lines.
struct Lines {
    std::string delimiter;
    std::vector<std::pair<size_t, size_t>> spans;
};

Lines split_lines(const std::string& text, int argc, const ScriptValue* args, int delimiter_arg)
{
    Lines lines;
    lines.delimiter = first_char(fn_text_arg(argc, args, delimiter_arg));
    if (lines.delimiter.empty())
        lines.delimiter = "\r";
    size_t start = 0;
    for_each_char(text, [&](int at, int size) {
        if (text.compare(size_t(at), size_t(size), lines.delimiter) == 0) {
            lines.spans.emplace_back(start, size_t(at));
            start = size_t(at + size);
        }
    });
    lines.spans.emplace_back(start, text.size());
    return lines;
}

// from..to as the line functions take them: to defaults to from, the two swapped when from
// is larger, from 0 counting as 1; false when both are 0 or the range ends before line 1.
bool line_range(int argc, const ScriptValue* args, int32_t* from, int32_t* to)
{
    *from = val_integer(args[1]);
    *to = fn_int_arg(argc, args, 2, *from);
    if (*from > *to)
        std::swap(*from, *to);
    if (*from == 0 && *to == 0)
        return false;
    *from = std::max(*from, 1);
    return *to >= *from; // lines before the first are none
}

void fn_get_line(int argc, ScriptValue* args, ScriptValue& result)
{
    std::string text = ArgText(args[0]).str();
    Lines lines = split_lines(text, argc, args, 3);
    int32_t from = 0, to = 0;
    int32_t count = int32_t(lines.spans.size());
    if (!line_range(argc, args, &from, &to) || from > count) {
        fn_set_text(result, "");
        return;
    }
    to = std::min(to, count);
    size_t start = lines.spans[size_t(from - 1)].first, stop = lines.spans[size_t(to - 1)].second;
    fn_set_text(result, std::string_view(text).substr(start, stop - start));
}

void fn_delete_line(int argc, ScriptValue* args, ScriptValue& result)
{
    std::string text = ArgText(args[0]).str();
    Lines lines = split_lines(text, argc, args, 3);
    int32_t from = 0, to = 0;
    int32_t count = int32_t(lines.spans.size());
    if (!line_range(argc, args, &from, &to) || from > count) {
        fn_set_text(result, text);
        return;
    }
    to = std::min(to, count);
    size_t start = lines.spans[size_t(from - 1)].first;
    size_t stop = to < count ? lines.spans[size_t(to)].first : text.size();
    fn_set_text(result, text.substr(0, start) + text.substr(stop));
}

// Delimiters appended until the text has at least n lines.
void pad_lines(std::string& text, Lines& lines, int32_t n)
{
    while (int32_t(lines.spans.size()) < n) {
        text += lines.delimiter;
        lines.spans.emplace_back(text.size(), text.size());
    }
}

// The text and the new line of ReplaceLine and InsertLine, with line N (from 1) made to exist;
// false, with the empty text, when N is past what any text may hold.
static bool line_to_edit(int argc, ScriptValue* args, ScriptValue& result, std::string& text, std::string& line,
    Lines& lines, int32_t& n)
{
    text = ArgText(args[0]).str();
    line = ArgText(args[2]).str();
    lines = split_lines(text, argc, args, 3);
    n = std::max(val_integer(args[1]), 1);
    if (n > kEvalJoinLimit) {
        fn_set_text(result, "");
        return false;
    }
    pad_lines(text, lines, n);
    return true;
}

void fn_replace_line(int argc, ScriptValue* args, ScriptValue& result)
{
    std::string text, line;
    Lines lines;
    int32_t n;
    if (!line_to_edit(argc, args, result, text, line, lines, n))
        return;
    auto [start, stop] = lines.spans[size_t(n - 1)];
    set_bounded_text(result, text.substr(0, start) + line + text.substr(stop));
}

void fn_insert_line(int argc, ScriptValue* args, ScriptValue& result)
{
    std::string text, line;
    Lines lines;
    int32_t n;
    if (!line_to_edit(argc, args, result, text, line, lines, n))
        return;
    size_t start = lines.spans[size_t(n - 1)].first;
    set_bounded_text(result, text.substr(0, start) + line + lines.delimiter + text.substr(start));
}

void fn_replace_string(int, ScriptValue* args, ScriptValue& result)
{
    std::string text = ArgText(args[0]).str(), insert = ArgText(args[3]).str();
    std::vector<int> starts = char_starts(text);
    int32_t count_chars = int32_t(starts.size()) - 1;
    int32_t start = std::clamp(val_integer(args[1]), int32_t(1), count_chars + 1);
    int32_t count = std::clamp(val_integer(args[2]), int32_t(0), count_chars + 1 - start);
    size_t from = size_t(starts[size_t(start - 1)]), to = size_t(starts[size_t(start - 1 + count)]);
    set_bounded_text(result, text.substr(0, from) + insert + text.substr(to));
}

void fn_line_count(int argc, ScriptValue* args, ScriptValue& result)
{
    std::string text = ArgText(args[0]).str();
    if (text.empty()) {
        val_set_integer(0, result);
        return;
    }
    Lines lines = split_lines(text, argc, args, 1);
    int32_t count = int32_t(lines.spans.size());
    // Delimiters at the very end close lines; they open none.
    while (count > 1 && lines.spans[size_t(count - 1)].first == lines.spans[size_t(count - 1)].second)
        --count;
    val_set_integer(count, result);
}

const SysFnBinding kStringFunctions[] = {
    { 12, fn_sub_str },        // SubStr
    { 19, fn_upper_case },     // UpperCase
    { 20, fn_lower_case },     // LowerCase
    { 21, fn_char_count },     // CharCount
    { 22, fn_strip },          // Strip
    { 23, fn_reduce },         // Reduce
    { 24, fn_repeat_string },  // RepeatString
    { 25, fn_find },           // Find
    { 26, fn_rfind },          // RFind
    { 27, fn_replace },        // Replace
    { 28, fn_replace_word },   // ReplaceWord
    { 29, fn_word_count },     // WordCount
    { 30, fn_get_word },       // GetWord
    { 31, fn_num_count },      // NumCount
    { 32, fn_get_number },     // GetNumber
    { 62, fn_char },           // Char
    { 72, fn_capitalize },     // Capitalize
    { 73, fn_get_line },       // GetLine
    { 76, fn_delete_line },    // DeleteLine
    { 77, fn_replace_line },   // ReplaceLine
    { 78, fn_insert_line },    // InsertLine
    { 93, fn_line_count },     // LineCount
    { 118, fn_replace_string }, // ReplaceString
    { 171, fn_code },          // Code
    { 196, fn_map_chars },     // MapChars
};

} // namespace

void fn_bind_string_functions() { fn_bind_all(kStringFunctions); }
