#include "runtime/calc/judge_text.h"

#include "platform/kernel/codepage.h"
#include "runtime/base/str.h"
#include "runtime/base/str_width.h"

#include <cstring>
#include <string>

namespace {

bool ascii_punct(uint8_t c)
{
    return (c >= 0x21 && c <= 0x2F) || (c >= 0x3A && c <= 0x40) || (c >= 0x5B && c <= 0x60) || (c >= 0x7B && c <= 0x7E);
}

// The Western code page's signs above 0x7F; its letters and digits there are no punctuation.
bool western_punct(uint8_t c)
{
    switch (c) {
    case 0x83: case 0x8A: case 0x8C: case 0x8E: case 0x9A: case 0x9C: case 0x9E: case 0x9F:
    case 0xA0: case 0xAA: case 0xB2: case 0xB3: case 0xB5: case 0xB9: case 0xBA:
        return false;
    default:
        return (c >= 0x80 && c <= 0xBF) || c == 0xD7 || c == 0xF7;
    }
}

// The single-byte form of a double-byte character: full-width signs and the ideographic
// space; 0 when it has none.
int single_form(const char* c)
{
    std::u16string wide = plat::multi_byte_to_wide(plat::get_active_code_page(), std::string_view(c, 2));
    if (wide.size() != 1)
        return 0;
    char16_t w = wide[0];
    if (w == 0x3000)
        return ' ';
    if (w >= 0xFF01 && w <= 0xFF5E)
        return int(w - 0xFEE0);
    return 0;
}

bool is_two_byte(const char* c) { return c[0] && c[1] && !str_is_single_byte(c); }

} // namespace

int judge_is_space(const char* c)
{
    if (is_two_byte(c))
        return single_form(c) == ' ';
    uint8_t b = uint8_t(*c);
    return b == ' ' || b == '\t' || b == '\n' || b == '\r';
}

int judge_is_word_char(const char* c)
{
    if (!is_two_byte(c))
        return 1;
    if (!str_japanese_rules())
        return 0;
    switch (str_char_class(c)) {
    case kStrClassWideLetter:
    case kStrClassWideSymbol:
    case kStrClassWideSpace:
    case kStrClassWideDigit:
        return 1;
    default:
        return 0;
    }
}

int judge_is_punct(const char* c)
{
    if (is_two_byte(c)) {
        int form = single_form(c);
        return form && ascii_punct(uint8_t(form));
    }
    uint8_t b = uint8_t(*c);
    if (ascii_punct(b))
        return 1;
    return !str_settings().double_byte && western_punct(b);
}

int judge_all_punct(const char* text, size_t length)
{
    const char* end = text + length;
    for (const char* p = text; p < end && *p; p = str_next_char(p))
        if (!judge_is_punct(p))
            return 0;
    return 1;
}

// --- the wildcard matcher ---------------------------------------------------------------------

namespace {

constexpr size_t kDenseMemoLimit = size_t(8) << 20; // entries; past it the memo is a hash

} // namespace

WildcardMatcher::WildcardMatcher(const char* text, const char* end, const char* pattern, JudgeCase ignore_case,
    JudgePunct skip_punct, JudgeLongest longest)
    : text_(text)
    , length_(int32_t(end - text))
    , pattern_(pattern)
    , pattern_length_(int32_t(std::strlen(pattern)))
    , ignore_case_(ignore_case == kJudgeIgnoreCase)
    , skip_punct_(skip_punct == kJudgeSkipPunct)
    , longest_(longest == kJudgeLongestEnd)
    , star_number_(size_t(pattern_length_) + 1, -1)
{
    // Numbers the pattern positions that follow a run of stars, walking as match does.
    int32_t i = 0;
    while (i < pattern_length_) {
        if (pattern_[i] == '*') {
            while (i < pattern_length_ && pattern_[i] == '*')
                ++i;
            star_number_[size_t(i)] = star_count_++;
            continue;
        }
        if (pattern_[i] == '\\')
            ++i;
        if (i < pattern_length_)
            i = int32_t(std::max(str_next_char(pattern_ + i) - pattern_, ptrdiff_t(i + 1)));
    }
}

int32_t WildcardMatcher::next(int32_t at) const
{
    if (at >= length_)
        return length_;
    int32_t n = int32_t(str_next_char(text_ + at) - text_);
    return n <= at ? at + 1 : (n > length_ ? length_ : n);
}

int32_t WildcardMatcher::chars_equal(int32_t at, int32_t pattern_at) const
{
    const char* t = text_ + at;
    const char* p = pattern_ + pattern_at;
    int32_t t_size = next(at) - at;
    int32_t p_size = int32_t(std::max(str_next_char(p) - p, ptrdiff_t(1)));
    if (t_size == p_size && std::memcmp(t, p, size_t(t_size)) == 0)
        return 1;
    if (t_size == 1 && p_size == 1 && uint8_t(*t) < 0x80 && uint8_t(*p) < 0x80)
        return ignore_case_ && plat::char_upper(*t) == plat::char_upper(*p);
    char a[3] = {}, b[3] = {};
    std::memcpy(a, t, size_t(std::min(t_size, 2)));
    std::memcpy(b, p, size_t(std::min(p_size, 2)));
    return (ignore_case_ ? str_compare_nocase_locale(a, b) : str_compare_locale(a, b)) == 0;
}

int32_t WildcardMatcher::match(int32_t at, int32_t pattern_at)
{
    int32_t pi = pattern_at;
    while (at < length_ && pi < pattern_length_) {
        char c = pattern_[pi];
        if (c == '*')
            return star(at, pi);
        if (c == '?') {
            at = next(at);
            pi = int32_t(std::max(str_next_char(pattern_ + pi) - pattern_, ptrdiff_t(pi + 1)));
            continue;
        }
        if (c == '\\' && ++pi >= pattern_length_)
            return kNone;
        if (chars_equal(at, pi)) {
            at = next(at);
            pi = int32_t(std::max(str_next_char(pattern_ + pi) - pattern_, ptrdiff_t(pi + 1)));
        } else if (skip_punct_ && judge_is_punct(text_ + at)) {
            at = next(at);
        } else {
            return kNone;
        }
    }
    while (pi < pattern_length_ && pattern_[pi] == '*')
        ++pi;
    return pi >= pattern_length_ ? at : kNone;
}

// Only where the pattern's next plain character occurs can the rest match, so only those
// positions are tried.
bool WildcardMatcher::candidate(int32_t at, int32_t pattern_at) const
{
    uint8_t q = uint8_t(pattern_[pattern_at]);
    if (q == '?' || q == '\\' || is_two_byte(pattern_ + pattern_at))
        return true;
    if (next(at) - at != 1)
        return false;
    uint8_t t = uint8_t(text_[at]);
    if (t == q)
        return true;
    return ignore_case_ && plat::char_upper(char(t)) == plat::char_upper(char(q));
}

int32_t WildcardMatcher::star(int32_t at, int32_t pattern_at)
{
    int32_t pi = pattern_at;
    while (pi < pattern_length_ && pattern_[pi] == '*')
        ++pi;
    if (pi >= pattern_length_)
        return length_;
    size_t stride = size_t(length_) + 1;
    size_t base = size_t(star_number_[size_t(pi)]) * stride;
    bool dense = size_t(star_count_) * stride <= kDenseMemoLimit;
    if (dense && memo_.empty())
        memo_.assign(size_t(star_count_) * stride, kUnknown);
    std::unordered_map<int64_t, int32_t>& sparse = sparse_;
    auto known = [&](int32_t t) -> int32_t {
        if (dense)
            return memo_[base + size_t(t)];
        auto it = sparse.find(int64_t(base) + t);
        return it == sparse.end() ? kUnknown : it->second;
    };
    auto remember = [&](int32_t t, int32_t value) {
        if (dense)
            memo_[base + size_t(t)] = value;
        else
            sparse[int64_t(base) + t] = value;
    };
    // Forward over the positions until an answer is certain, then backward to remember each
    // position's own answer (the first match after it, or the furthest).
    std::vector<std::pair<int32_t, int32_t>> tried;
    int32_t tail = kNone;
    for (int32_t t = at; t < length_; t = next(t)) {
        int32_t seen = known(t);
        if (seen != kUnknown) {
            tail = seen;
            break;
        }
        int32_t r = candidate(t, pi) ? match(t, pi) : kNone;
        tried.emplace_back(t, r);
        if ((!longest_ && r != kNone) || r == length_) {
            tail = r;
            break;
        }
    }
    int32_t running = tail;
    for (auto it = tried.rbegin(); it != tried.rend(); ++it) {
        if (longest_)
            running = std::max(running, it->second);
        else if (it->second != kNone)
            running = it->second;
        remember(it->first, running);
    }
    return running;
}

const char* WildcardMatcher::match_at(const char* start)
{
    int32_t r = match(int32_t(start - text_), 0);
    return r == kNone ? nullptr : text_ + r;
}

const char* judge_wildcard_match(const char* text, const char* end, const char* pattern, JudgeCase ignore_case,
    JudgePunct skip_punct, JudgeLongest longest)
{
    WildcardMatcher matcher(text, end, pattern, ignore_case, skip_punct, longest);
    return matcher.match_at(text);
}

// --- words ------------------------------------------------------------------------------------

const char* judge_next_word(const char* text, const char* end, size_t* length)
{
    const char* p = text;
    while (p < end && *p && judge_is_space(p))
        p = str_next_char(p);
    if (p >= end || !*p) {
        *length = 0;
        return nullptr;
    }
    const char* word = p;
    while (p < end && *p && !judge_is_space(p))
        p = str_next_char(p);
    *length = size_t((p > end ? end : p) - word);
    return word;
}

int judge_word_count(const char* text)
{
    const char* end = text + std::strlen(text);
    int count = 0;
    size_t length = 0;
    for (const char* w = judge_next_word(text, end, &length); w; w = judge_next_word(w + length, end, &length))
        ++count;
    return count;
}
