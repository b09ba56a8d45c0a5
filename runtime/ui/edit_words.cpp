#include "runtime/ui/edit_words.h"

#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/kernel/codepage.h"
#include "runtime/base/str.h"
#include "runtime/base/str_width.h"
#include "runtime/calc/judge_text.h"

namespace {

// Class bits of a character.
enum : uint8_t {
    kNoLineStart = 0x01,
    kNoLineEnd = 0x02,
    kPairFirst = 0x04,
    kPairSecond = 0x08,
    kDigit = 0x10,
    kAfterDigit = 0x20,
    kBeforeDigit = 0x40,
};

constexpr uint32_t kFirstClassEntry = 7792;

struct BreakClasses {
    bool built = false;
    std::unordered_map<uint16_t, uint8_t> bits; // by character (lead byte low, trail high)
    std::set<uint32_t> pairs; // first | second << 16, in wide forms
};

BreakClasses s_classes;

// A character as one value: one byte, or the lead byte low and the trail byte high.
uint16_t char_code(const char* c)
{
    if (c[0] && c[1] && !str_is_single_byte(c))
        return uint16_t(uint8_t(c[0]) | uint8_t(c[1]) << 8);
    return uint8_t(c[0]);
}

uint16_t wide_form(uint16_t code) { return str_widen_char(code, kStrFoldTitles); }

std::vector<uint16_t> entry_chars(plat::ModuleHandle module, uint32_t entry, bool* present)
{
    char buffer[1024];
    int length = plat::load_string(module, entry, buffer, int(sizeof buffer));
    *present = length > 0;
    std::vector<uint16_t> chars;
    for (const char* p = buffer; *p; p = str_next_char(p))
        chars.push_back(char_code(p));
    return chars;
}

void mark_digits(uint8_t bits)
{
    // The digits and their wide forms in the active code page.
    std::u16string wide;
    for (char16_t d = u'0'; d <= u'9'; d++)
        wide += char16_t(d - u'0' + 0xFF10);
    std::string bytes = plat::wide_to_multi_byte(plat::get_active_code_page(), wide);
    for (char d = '0'; d <= '9'; d++)
        s_classes.bits[uint8_t(d)] |= bits;
    for (const char* p = bytes.c_str(); *p; p = str_next_char(p))
        if (!str_is_single_byte(p))
            s_classes.bits[char_code(p)] |= bits;
}

// 7796 and 7797 side by side: "0" in both marks the digits, "0" on one side gives the other
// side's character its place before or after a digit; other characters form unbreakable pairs.
void read_pair_entries(plat::ModuleHandle module)
{
    bool has_first = false, has_second = false;
    std::vector<uint16_t> first = entry_chars(module, kFirstClassEntry + 4, &has_first);
    std::vector<uint16_t> second = entry_chars(module, kFirstClassEntry + 5, &has_second);
    size_t count = std::min(first.size(), second.size());
    for (size_t i = 0; i < count; i++) {
        uint16_t a = first[i], b = second[i];
        if (a == '0' && b == '0') {
            mark_digits(kAfterDigit | kBeforeDigit);
        } else if (a == '0') {
            s_classes.bits[b] |= kAfterDigit;
        } else if (b == '0') {
            s_classes.bits[a] |= kBeforeDigit;
        } else {
            s_classes.bits[a] |= kPairFirst;
            s_classes.bits[b] |= kPairSecond;
            s_classes.pairs.insert(uint32_t(wide_form(a)) | uint32_t(wide_form(b)) << 16);
        }
    }
    if (has_first && has_second)
        mark_digits(kDigit);
}

const BreakClasses& classes()
{
    if (!s_classes.built)
        edit_break_classes_load(plat::ModuleHandle {});
    return s_classes;
}

uint8_t class_bits(const char* c)
{
    const BreakClasses& table = classes();
    auto found = table.bits.find(char_code(c));
    return found == table.bits.end() ? 0 : found->second;
}

bool classes_forbid_break(const char* a, const char* b)
{
    if (classes().bits.empty())
        return false;
    uint8_t x = class_bits(a), y = class_bits(b);
    if ((x & kNoLineEnd) || (y & kNoLineStart))
        return true;
    if (((x & kDigit) && (y & kAfterDigit)) || ((x & kBeforeDigit) && (y & kDigit)))
        return true;
    if ((x & kPairFirst) && (y & kPairSecond))
        return s_classes.pairs.count(uint32_t(wide_form(char_code(a))) | uint32_t(wide_form(char_code(b))) << 16) > 0;
    return false;
}

// Letters and digits of one width form one class; with wide classes the other signs join.
int word_class(const char* c, bool wide_classes)
{
    int cls = str_char_class(c);
    if (cls == kStrClassDigit || (wide_classes && cls == kStrClassOther))
        return kStrClassLetter;
    if (cls == kStrClassWideDigit || (wide_classes && cls == kStrClassWideSymbol))
        return kStrClassWideLetter;
    return cls;
}

} // namespace

void edit_break_classes_reset() { s_classes = BreakClasses {}; }

void edit_break_classes_load(plat::ModuleHandle module)
{
    edit_break_classes_reset();
    s_classes.built = true;
    bool present = false;
    for (uint32_t entry = kFirstClassEntry; entry < kFirstClassEntry + 4; entry++) {
        uint8_t bit = entry < kFirstClassEntry + 2 ? kNoLineStart : kNoLineEnd;
        for (uint16_t c : entry_chars(module, entry, &present))
            s_classes.bits[c] |= bit;
    }
    read_pair_entries(module);
}

int32_t edit_char_bytes(const char* text, int32_t position, int32_t end)
{
    if (position + 1 >= end || !str_settings().double_byte)
        return 1;
    return plat::is_dbcs_lead_byte(uint8_t(text[position])) ? 2 : 1;
}

int edit_is_blank(const char* text, int32_t position, int32_t end)
{
    if (text[position] == ' ')
        return 1;
    // The wide space is the only double-byte character that reads as a space.
    return edit_char_bytes(text, position, end) == 2 && judge_is_space(text + position);
}

bool edit_break_allowed(uint32_t rules, const char* a, const char* b)
{
    if ((rules & kWordBreakClasses) && classes_forbid_break(a, b))
        return false;
    if (rules & kWordByClass) {
        bool wide = rules & kWordWideClasses;
        int x = word_class(a, wide);
        return x == 0 || x != word_class(b, wide);
    }
    return !(judge_is_word_char(a) && judge_is_word_char(b));
}

int32_t edit_word_break(uint32_t rules, const char* text, int32_t position, int32_t end)
{
    int32_t p = position;
    while (p < end && edit_is_blank(text, p, end))
        p += edit_char_bytes(text, p, end);
    if (p > position && (rules & kWordStopAfterBlanks))
        return p;
    bool double_byte = str_settings().double_byte;
    int32_t previous = -1;
    while (p < end && !edit_is_blank(text, p, end)) {
        if (double_byte && previous >= 0 && edit_break_allowed(rules, text + previous, text + p))
            break;
        previous = p;
        p += edit_char_bytes(text, p, end);
    }
    if (rules & kWordTrailingBlanks)
        while (p < end && edit_is_blank(text, p, end))
            p += edit_char_bytes(text, p, end);
    return std::min(p, end);
}

int32_t edit_word_start(uint32_t rules, const char* text, int32_t position, int32_t end, int32_t lower_bound)
{
    // Character starts from the lower bound up to the position, so that steps back never land
    // on a trail byte.
    std::vector<int32_t> starts;
    for (int32_t p = lower_bound; p < position && p < end; p += edit_char_bytes(text, p, end))
        starts.push_back(p);
    if (rules & kWordStartAtChar) {
        if (position < end && edit_is_blank(text, position, end)) {
            bool blank_before = !starts.empty() && edit_is_blank(text, starts.back(), end);
            return blank_before ? starts.back() : position;
        }
        if (position < end)
            starts.push_back(position);
    }
    bool double_byte = str_settings().double_byte;
    size_t i = starts.size();
    while (i > 0 && edit_is_blank(text, starts[i - 1], end))
        i--;
    if (i == 0)
        return starts.empty() ? std::max(lower_bound, std::min(position, end)) : starts[0];
    i--; // the last character of the word
    while (i > 0 && !edit_is_blank(text, starts[i - 1], end)) {
        if (double_byte && edit_break_allowed(rules, text + starts[i - 1], text + starts[i]))
            break;
        i--;
    }
    return starts[i];
}
