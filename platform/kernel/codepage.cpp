// Code pages. Each page's tables are read from glibc's converters at its first use and kept for
// the run; the host locale is never consulted, so text, case and sort order are the same on
// every machine (stored hashes and sorted lists depend on that).
#include "platform/kernel/codepage.h"

#include "platform/kernel/error.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <iconv.h>
#include <iterator>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace plat {

constexpr char16_t kReplacement = u'\uFFFD';
constexpr char kDefaultChar = '?';
constexpr uint16_t kNoCode = 0; // from_unicode: the page cannot write it (U+0000 is byte 0 anyway)
constexpr size_t kUnicodeUnits = 0x10000;

struct PageSource {
    uint32_t number;
    const char* converter_names[2]; // glibc's names, tried in order
    int max_char_size;
    uint8_t extra_leads[2]; // 0: none
};

static const PageSource kPageSources[] = {
    // glibc leaves 81 8D 8F 90 9D undefined; Windows reads them as the C1 controls U+0081...
    {CP_WESTERN, {"CP1252", "WINDOWS-1252"}, 1, {0, 0}},
    // glibc maps nothing in the user-defined rows C9 and FE, yet Windows steps over them as
    // pairs; their characters convert to U+FFFD.
    {CP_KOREAN, {"UHC", "CP949"}, 2, {0xC9, 0xFE}},
    // IBM943 differs from CP932 in 1A/1C/7F, which the ASCII rule in read_singles puts right.
    {CP_SHIFT_JIS, {"CP932", "IBM943"}, 2, {0, 0}},
};

struct CodePage {
    uint32_t number = 0;
    int max_char_size = 1;
    bool lead[256] = {};
    bool trail[256] = {};            // appears as a trail byte of some character
    char16_t single[256] = {};       // U+FFFD for lead bytes and bytes without a character
    std::vector<char16_t> pairs;     // [(lead - 0x80) * 256 + trail]; 0: no character
    std::vector<uint16_t> from_unicode; // byte, or lead << 8 | trail
};

struct PageSlot {
    std::once_flag once;
    std::unique_ptr<CodePage> page; // null when the host has no converter for it
};

static struct {
    uint32_t active = CP_WESTERN;
    const CodePage* active_page = nullptr; // looked up at first use
    PageSlot slots[std::size(kPageSources)];
} s_codepage;

// ---------------------------------------------------------------------------------------------
// Reading the tables from glibc

// Owns one iconv descriptor; glibc's descriptors must be closed exactly once.
class Converter {
public:
    Converter(const char* to, const char* from) : m_cd(iconv_open(to, from)) { }
    ~Converter()
    {
        if (ok())
            iconv_close(m_cd);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool ok() const { return m_cd != reinterpret_cast<iconv_t>(-1); }

    // Converts all of in; 0, EINVAL (in ends inside a character) or EILSEQ (anything else).
    int convert(const char* in, size_t in_size, char* out, size_t out_capacity, size_t& out_size)
    {
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr); // each probe starts in the initial state
        char* in_ptr = const_cast<char*>(in);
        char* out_ptr = out;
        size_t out_left = out_capacity;
        size_t result = iconv(m_cd, &in_ptr, &in_size, &out_ptr, &out_left);
        int status = result == size_t(-1) ? errno : 0;
        out_size = out_capacity - out_left;
        if (status == 0 && in_size != 0)
            status = EILSEQ;
        return status == EINVAL ? EINVAL : status == 0 ? 0 : EILSEQ;
    }

private:
    iconv_t m_cd;
};

// Bytes to exactly one UTF-16 unit; 0, EINVAL or EILSEQ.
static int probe_unit(Converter& to_utf16, const char* bytes, size_t size, char16_t& unit)
{
    char out[8];
    size_t out_size = 0;
    int status = to_utf16.convert(bytes, size, out, sizeof out, out_size);
    if (status != 0)
        return status;
    if (out_size != 2)
        return EILSEQ; // a sequence of several characters is not one table entry
    unit = char16_t(uint8_t(out[0]) | uint8_t(out[1]) << 8);
    return 0;
}

static void read_singles(Converter& to_utf16, const PageSource& source, CodePage& page)
{
    for (int b = 0; b < 256; ++b) {
        char byte = char(b);
        char16_t unit = 0;
        int status = probe_unit(to_utf16, &byte, 1, unit);
        page.lead[b] = status == EINVAL && b >= 0x80;
        page.single[b] = status == 0 ? unit : kReplacement;
        if (b < 0x80)
            page.single[b] = char16_t(b); // every supported page is ASCII below 0x80
        else if (status == EILSEQ && page.max_char_size == 1 && b < 0xA0)
            page.single[b] = char16_t(b);
    }
    for (uint8_t extra : source.extra_leads) {
        if (extra >= 0x80)
            page.lead[extra] = true;
    }
    for (int b = 0; b < 256; ++b) {
        if (page.lead[b])
            page.single[b] = kReplacement;
    }
}

static void read_pairs(Converter& to_utf16, CodePage& page)
{
    page.pairs.assign(0x80 * 256, 0);
    for (int lead = 0x80; lead < 256; ++lead) {
        if (!page.lead[lead])
            continue;
        for (int trail = 1; trail < 256; ++trail) {
            const char bytes[2] = {char(lead), char(trail)};
            char16_t unit = 0;
            if (probe_unit(to_utf16, bytes, 2, unit) != 0 || unit == 0)
                continue;
            page.pairs[(lead - 0x80) * 256 + trail] = unit;
            page.trail[trail] = true;
        }
    }
}

// The code glibc writes for a character, when it writes one that reads back as that character.
static uint16_t preferred_code(Converter& from_utf16, const CodePage& page, char16_t unit)
{
    const char in[2] = {char(unit & 0xFF), char(unit >> 8)};
    char out[8];
    size_t size = 0;
    if (from_utf16.convert(in, 2, out, sizeof out, size) != 0 || size == 0 || size > 2)
        return kNoCode;
    uint8_t first = uint8_t(out[0]);
    if (size == 1)
        return page.lead[first] || page.single[first] != unit ? kNoCode : first;
    uint8_t second = uint8_t(out[1]);
    if (!page.lead[first] || page.pairs[(first - 0x80) * 256 + second] != unit)
        return kNoCode;
    return uint16_t(first << 8 | second);
}

// Several codes may read as one character (932 has NEC and IBM copies of some); the reverse
// table takes the code glibc writes, else the lowest.
static void build_reverse(const char* converter_name, CodePage& page)
{
    page.from_unicode.assign(kUnicodeUnits, kNoCode);
    std::vector<char16_t> shared;
    auto add = [&](char16_t unit, uint16_t code) {
        if (page.from_unicode[unit] == kNoCode)
            page.from_unicode[unit] = code;
        else
            shared.push_back(unit);
    };
    for (int b = 1; b < 256; ++b) {
        if (!page.lead[b] && page.single[b] != kReplacement)
            add(page.single[b], uint16_t(b));
    }
    for (size_t i = 0; i < page.pairs.size(); ++i) {
        if (page.pairs[i] != 0)
            add(page.pairs[i], uint16_t((0x80 + i / 256) << 8 | i % 256));
    }
    if (shared.empty())
        return;
    Converter from_utf16(converter_name, "UTF-16LE");
    for (char16_t unit : shared) {
        uint16_t code = from_utf16.ok() ? preferred_code(from_utf16, page, unit) : kNoCode;
        if (code != kNoCode)
            page.from_unicode[unit] = code;
    }
}

// Without any converter even the default page would be missing: bytes then read as Latin-1,
// so that text still round-trips.
static std::unique_ptr<CodePage> latin1_page(const PageSource& source)
{
    auto page = std::make_unique<CodePage>();
    page->number = source.number;
    page->from_unicode.assign(kUnicodeUnits, kNoCode);
    for (int b = 0; b < 256; ++b) {
        page->single[b] = char16_t(b);
        page->from_unicode[b] = uint16_t(b);
    }
    return page;
}

static std::unique_ptr<CodePage> build_page(const PageSource& source)
{
    for (const char* name : source.converter_names) {
        Converter to_utf16("UTF-16LE", name);
        if (!to_utf16.ok())
            continue;
        auto page = std::make_unique<CodePage>();
        page->number = source.number;
        page->max_char_size = source.max_char_size;
        read_singles(to_utf16, source, *page);
        if (page->max_char_size == 2)
            read_pairs(to_utf16, *page);
        build_reverse(name, *page);
        return page;
    }
    return source.max_char_size == 1 ? latin1_page(source) : nullptr;
}

// The tables of a page (not CP_ACP, not UTF-8); null when unknown or unreadable.
static const CodePage* find_page(uint32_t code_page)
{
    for (size_t i = 0; i < std::size(kPageSources); ++i) {
        if (kPageSources[i].number != code_page)
            continue;
        PageSlot& slot = s_codepage.slots[i];
        std::call_once(slot.once, [&] { slot.page = build_page(kPageSources[i]); });
        return slot.page.get();
    }
    return nullptr;
}

static const CodePage* active_page()
{
    if (!s_codepage.active_page)
        s_codepage.active_page = find_page(s_codepage.active);
    return s_codepage.active_page;
}

static uint32_t resolve(uint32_t code_page)
{
    return code_page == CP_ACP ? s_codepage.active : code_page;
}

// ---------------------------------------------------------------------------------------------
// The active page, lead bytes and stepping

uint32_t get_active_code_page() { return s_codepage.active; }

bool set_active_code_page(uint32_t code_page)
{
    const CodePage* page = find_page(code_page);
    if (!page)
        return false;
    s_codepage.active = code_page;
    s_codepage.active_page = page;
    return true;
}

void codepage_reset()
{
    s_codepage.active = CP_WESTERN;
    s_codepage.active_page = nullptr; // the tables stay: they never change
}

bool is_code_page_supported(uint32_t code_page)
{
    return code_page == CP_UTF8 || find_page(code_page) != nullptr;
}

int code_page_max_char_size(uint32_t code_page)
{
    code_page = resolve(code_page);
    if (code_page == CP_UTF8)
        return 4;
    const CodePage* page = find_page(code_page);
    return page ? page->max_char_size : 0;
}

bool is_dbcs_lead_byte(uint8_t byte)
{
    const CodePage* page = active_page();
    return page && page->lead[byte];
}

bool is_dbcs_lead_byte_ex(uint32_t code_page, uint8_t byte)
{
    const CodePage* page = find_page(resolve(code_page));
    return page && page->lead[byte];
}

const char* char_next(const char* text)
{
    if (!text || *text == '\0')
        return text;
    const CodePage* page = active_page();
    if (page && page->lead[uint8_t(text[0])] && text[1] != '\0')
        return text + 2;
    return text + 1; // a lead byte before the NUL is a character of its own
}

const char* char_prev(const char* start, const char* current)
{
    if (!start || !current || current <= start)
        return start;
    const char* last = current - 1;
    const CodePage* page = active_page();
    if (!page || page->max_char_size == 1 || *last == '\0')
        return last;
    // A byte that cannot lead always ends a character, so only the run of lead bytes just
    // before the last byte is in doubt; from its start the bytes pair up, which its length's
    // parity settles without scanning from the start of the text.
    size_t run = 0;
    size_t before = size_t(last - start);
    while (run < before && page->lead[uint8_t(last[-1 - ptrdiff_t(run)])])
        ++run;
    return run % 2 ? last - 1 : last;
}

// ---------------------------------------------------------------------------------------------
// Conversions

// Calls sink(unit) for each character of the page's text. A lead byte pairs with a byte that
// can trail; otherwise it alone becomes U+FFFD and the next byte is read afresh, so that a
// damaged pair does not swallow a line end.
template <class Sink>
static void decode_page(const CodePage& page, std::string_view text, Sink&& sink)
{
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(text.data());
    size_t size = text.size();
    for (size_t i = 0; i < size;) {
        uint8_t b = bytes[i];
        if (!page.lead[b]) {
            sink(page.single[b]);
            i += 1;
        } else if (size - i > 1 && page.trail[bytes[i + 1]]) {
            char16_t unit = page.pairs[(b - 0x80) * 256 + bytes[i + 1]];
            sink(unit ? unit : kReplacement);
            i += 2;
        } else {
            sink(kReplacement);
            i += 1;
        }
    }
}

// The length of a UTF-8 sequence from its first byte, and the range its second byte must be in
// (overlong forms, surrogates and code points past U+10FFFF are ill-formed).
static int utf8_sequence(uint8_t first, uint8_t& low, uint8_t& high)
{
    low = 0x80;
    high = 0xBF;
    if (first < 0x80)
        return 1;
    if (first < 0xC2 || first > 0xF4)
        return 0;
    if (first < 0xE0)
        return 2;
    if (first == 0xE0)
        low = 0xA0;
    else if (first == 0xED)
        high = 0x9F;
    else if (first == 0xF0)
        low = 0x90;
    else if (first == 0xF4)
        high = 0x8F;
    return first < 0xF0 ? 3 : 4;
}

// Calls sink(code point); each ill-formed part becomes one U+FFFD.
template <class Sink>
static void decode_utf8(std::string_view text, Sink&& sink)
{
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(text.data());
    size_t size = text.size();
    for (size_t i = 0; i < size;) {
        uint8_t low = 0, high = 0;
        int length = utf8_sequence(bytes[i], low, high);
        if (length <= 1) {
            sink(length == 1 ? char32_t(bytes[i]) : char32_t(kReplacement));
            i += 1;
            continue;
        }
        char32_t c = bytes[i] & (0x7F >> length);
        size_t taken = 1;
        while (taken < size_t(length) && taken < size - i) {
            uint8_t next = bytes[i + taken];
            if (next < (taken == 1 ? low : 0x80) || next > (taken == 1 ? high : 0xBF))
                break;
            c = c << 6 | (next & 0x3F);
            ++taken;
        }
        sink(taken == size_t(length) ? c : char32_t(kReplacement));
        i += taken;
    }
}

template <class Sink>
static void decode_utf16(std::u16string_view text, Sink&& sink)
{
    for (size_t i = 0; i < text.size(); ++i) {
        char16_t unit = text[i];
        bool high = unit >= 0xD800 && unit <= 0xDBFF;
        if (high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            sink(0x10000 + (char32_t(unit - 0xD800) << 10 | char32_t(text[i + 1] - 0xDC00)));
            ++i;
        } else {
            sink(unit >= 0xD800 && unit <= 0xDFFF ? char32_t(kReplacement) : char32_t(unit));
        }
    }
}

static void append_utf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | c >> 6);
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | c >> 12);
        out += char(0x80 | (c >> 6 & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | c >> 18);
        out += char(0x80 | (c >> 12 & 0x3F));
        out += char(0x80 | (c >> 6 & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

static void append_utf16(std::u16string& out, char32_t c)
{
    if (c < 0x10000) {
        out += char16_t(c);
        return;
    }
    out += char16_t(0xD800 + ((c - 0x10000) >> 10));
    out += char16_t(0xDC00 + ((c - 0x10000) & 0x3FF));
}

static void append_page_char(const CodePage& page, std::string& out, char32_t c)
{
    uint16_t code = c < kUnicodeUnits ? page.from_unicode[c] : kNoCode;
    if (code == kNoCode && c != 0) {
        out += kDefaultChar;
        return;
    }
    if (code > 0xFF)
        out += char(code >> 8);
    out += char(code & 0xFF);
}

// The page a conversion writes or reads, or null (last error set) when unknown.
static const CodePage* conversion_page(uint32_t code_page, bool& utf8)
{
    code_page = resolve(code_page);
    utf8 = code_page == CP_UTF8;
    const CodePage* page = utf8 ? nullptr : find_page(code_page);
    if (!utf8 && !page)
        set_last_error(ERROR_INVALID_PARAMETER);
    return page;
}

std::u16string multi_byte_to_wide(uint32_t code_page, std::string_view text)
{
    bool utf8 = false;
    const CodePage* page = conversion_page(code_page, utf8);
    std::u16string out;
    if (utf8) {
        out.reserve(text.size());
        decode_utf8(text, [&](char32_t c) { append_utf16(out, c); });
    } else if (page) {
        out.resize(text.size()); // never more units than bytes
        char16_t* write = out.data();
        decode_page(*page, text, [&](char16_t unit) { *write++ = unit; });
        out.resize(size_t(write - out.data()));
    }
    return out;
}

std::string wide_to_multi_byte(uint32_t code_page, std::u16string_view text)
{
    bool utf8 = false;
    const CodePage* page = conversion_page(code_page, utf8);
    std::string out;
    out.reserve(text.size() * 2);
    if (utf8)
        decode_utf16(text, [&](char32_t c) { append_utf8(out, c); });
    else if (page)
        decode_utf16(text, [&](char32_t c) { append_page_char(*page, out, c); });
    return out;
}

std::string code_page_to_utf8(uint32_t code_page, std::string_view text)
{
    bool utf8 = false;
    const CodePage* page = conversion_page(code_page, utf8);
    std::string out;
    out.reserve(text.size() * 3 / 2);
    if (utf8)
        decode_utf8(text, [&](char32_t c) { append_utf8(out, c); }); // ill-formed parts repaired
    else if (page)
        decode_page(*page, text, [&](char16_t unit) { append_utf8(out, unit); });
    return out;
}

std::string utf8_to_code_page(uint32_t code_page, std::string_view text)
{
    bool utf8 = false;
    const CodePage* page = conversion_page(code_page, utf8);
    std::string out;
    out.reserve(text.size());
    if (utf8)
        decode_utf8(text, [&](char32_t c) { append_utf8(out, c); });
    else if (page)
        decode_utf8(text, [&](char32_t c) { append_page_char(*page, out, c); });
    return out;
}

// ---------------------------------------------------------------------------------------------
// Case mapping

struct CaseRange {
    uint8_t first_lower, last_lower, first_upper;
};

// The letters 1252 has in both cases; ß, µ, ª and º have no single-byte partner, and
// 0xF7/0xD7 (÷, ×) sit inside the accented ranges without being letters.
static constexpr CaseRange kWesternCase[] = {
    {'a', 'z', 'A'},
    {0xE0, 0xF6, 0xC0}, // à..ö
    {0xF8, 0xFE, 0xD8}, // ø..þ
    {0x9A, 0x9A, 0x8A}, // š Š
    {0x9C, 0x9C, 0x8C}, // œ Œ
    {0x9E, 0x9E, 0x8E}, // ž Ž
    {0xFF, 0xFF, 0x9F}, // ÿ Ÿ
};

struct CaseTables {
    std::array<uint8_t, 256> upper, lower;
};

// The first range_count rows of kWesternCase; double-byte pages take the ASCII row alone,
// since their bytes above 0x7F are lead bytes or kana.
static constexpr CaseTables make_case_tables(size_t range_count)
{
    CaseTables tables{};
    for (int b = 0; b < 256; ++b)
        tables.upper[b] = tables.lower[b] = uint8_t(b);
    for (size_t r = 0; r < range_count; ++r) {
        const CaseRange& range = kWesternCase[r];
        for (int b = range.first_lower; b <= range.last_lower; ++b) {
            uint8_t upper = uint8_t(range.first_upper + (b - range.first_lower));
            tables.upper[b] = upper;
            tables.lower[upper] = uint8_t(b);
        }
    }
    return tables;
}

static constexpr CaseTables kWesternCaseTables = make_case_tables(std::size(kWesternCase));
static constexpr CaseTables kAsciiCaseTables = make_case_tables(1);

static const CaseTables& active_case_tables()
{
    const CodePage* page = active_page();
    return page && page->max_char_size == 2 ? kAsciiCaseTables : kWesternCaseTables;
}

enum class CaseWay { Upper, Lower };

static void map_case(char* text, size_t length, CaseWay way)
{
    if (!text)
        return;
    const CodePage* page = active_page();
    const CaseTables& tables = active_case_tables();
    const std::array<uint8_t, 256>& map = way == CaseWay::Upper ? tables.upper : tables.lower;
    for (size_t i = 0; i < length; ++i) {
        uint8_t b = uint8_t(text[i]);
        if (page && page->lead[b])
            ++i; // the trail byte may look like an ASCII letter; it is not one
        else
            text[i] = char(map[b]);
    }
}

void char_upper(char* text, size_t length) { map_case(text, length, CaseWay::Upper); }
void char_lower(char* text, size_t length) { map_case(text, length, CaseWay::Lower); }
void char_upper(char* text) { map_case(text, text ? std::strlen(text) : 0, CaseWay::Upper); }
void char_lower(char* text) { map_case(text, text ? std::strlen(text) : 0, CaseWay::Lower); }

char char_upper(char c)
{
    const CodePage* page = active_page();
    return page && page->lead[uint8_t(c)] ? c : char(active_case_tables().upper[uint8_t(c)]);
}

char char_lower(char c)
{
    const CodePage* page = active_page();
    return page && page->lead[uint8_t(c)] ? c : char(active_case_tables().lower[uint8_t(c)]);
}

// ---------------------------------------------------------------------------------------------
// Comparison
//
// A word sort over the text's Unicode form, decided level by level:
//  1. primary: groups in the order controls, blanks, punctuation and symbols (one group, by
//     code point); digits; Latin; Greek; Cyrillic; kana; Hangul jamo and syllables;
//     ideographs. Latin letters compare by base letter (case and accents ignored; æ œ ĳ ß þ as
//     ae oe ij ss th), digits by value, everything else by code point of its lower-case,
//     half-width, hiragana form. The hyphen, the apostrophe and the soft hyphen carry no
//     primary weight.
//  2. secondary: accents, in the order of the enum below (none, acute, grave, circumflex...).
//  3. tertiary: case (lower before upper; lstrcmpi skips this bit), then full width and
//     katakana after their plain forms.
//  4. the hyphens and apostrophes: a text without them first, else by place, then character.
// Distinct characters differ at some level, so 0 means equal text (equal but for case in
// lstrcmpi).

enum : uint8_t {
    kNoAccent, kAcute, kGrave, kCircumflex, kDiaeresis, kTilde, kRing, kCedilla, kStroke,
    kCaron, kHook, kDot, kEth, kLigature, kOrdinal, kCompat,
};

enum : uint8_t { kUpperCase = 1, kFullWidth = 2, kKatakana = 4 };

enum : uint32_t {
    kGroupSymbol = 1, kGroupDigit, kGroupLatin, kGroupGreek, kGroupCyrillic, kGroupKana,
    kGroupHangul, kGroupIdeograph,
};

struct LatinLetter {
    char base;       // its case is the letter's case; 0: not a letter
    uint8_t accent;
    char second;     // the second letter of a ligature, else 0
};

// U+00C0..U+00FF.
static const LatinLetter kLatin1Letters[64] = {
    {'A', kGrave, 0}, {'A', kAcute, 0}, {'A', kCircumflex, 0}, {'A', kTilde, 0},
    {'A', kDiaeresis, 0}, {'A', kRing, 0}, {'A', kLigature, 'E'}, {'C', kCedilla, 0},
    {'E', kGrave, 0}, {'E', kAcute, 0}, {'E', kCircumflex, 0}, {'E', kDiaeresis, 0},
    {'I', kGrave, 0}, {'I', kAcute, 0}, {'I', kCircumflex, 0}, {'I', kDiaeresis, 0},
    {'D', kEth, 0}, {'N', kTilde, 0}, {'O', kGrave, 0}, {'O', kAcute, 0},
    {'O', kCircumflex, 0}, {'O', kTilde, 0}, {'O', kDiaeresis, 0}, {0, 0, 0}, // ×
    {'O', kStroke, 0}, {'U', kGrave, 0}, {'U', kAcute, 0}, {'U', kCircumflex, 0},
    {'U', kDiaeresis, 0}, {'Y', kAcute, 0}, {'T', kLigature, 'H'}, {'s', kLigature, 's'},
    {'a', kGrave, 0}, {'a', kAcute, 0}, {'a', kCircumflex, 0}, {'a', kTilde, 0},
    {'a', kDiaeresis, 0}, {'a', kRing, 0}, {'a', kLigature, 'e'}, {'c', kCedilla, 0},
    {'e', kGrave, 0}, {'e', kAcute, 0}, {'e', kCircumflex, 0}, {'e', kDiaeresis, 0},
    {'i', kGrave, 0}, {'i', kAcute, 0}, {'i', kCircumflex, 0}, {'i', kDiaeresis, 0},
    {'d', kEth, 0}, {'n', kTilde, 0}, {'o', kGrave, 0}, {'o', kAcute, 0},
    {'o', kCircumflex, 0}, {'o', kTilde, 0}, {'o', kDiaeresis, 0}, {0, 0, 0}, // ÷
    {'o', kStroke, 0}, {'u', kGrave, 0}, {'u', kAcute, 0}, {'u', kCircumflex, 0},
    {'u', kDiaeresis, 0}, {'y', kAcute, 0}, {'t', kLigature, 'h'}, {'y', kDiaeresis, 0},
};

struct LatinExtra {
    char16_t unit;
    LatinLetter letter;
};

// Letters outside Latin-1 that 1252 (Œ Š Ž Ÿ ƒ) or 949 (the rest) can hold.
static const LatinExtra kLatinExtras[] = {
    {0x00AA, {'a', kOrdinal, 0}}, {0x00BA, {'o', kOrdinal, 0}},
    {0x0110, {'D', kStroke, 0}},  {0x0111, {'d', kStroke, 0}},
    {0x0126, {'H', kStroke, 0}},  {0x0127, {'h', kStroke, 0}},
    {0x0131, {'i', kDot, 0}},     {0x0132, {'I', kLigature, 'J'}},
    {0x0133, {'i', kLigature, 'j'}}, {0x0138, {'k', kCompat, 0}},
    {0x013F, {'L', kDot, 0}},     {0x0140, {'l', kDot, 0}},
    {0x0141, {'L', kStroke, 0}},  {0x0142, {'l', kStroke, 0}},
    {0x0149, {'n', kCompat, 0}},  {0x014A, {'N', kHook, 0}},
    {0x014B, {'n', kHook, 0}},    {0x0152, {'O', kLigature, 'E'}},
    {0x0153, {'o', kLigature, 'e'}}, {0x0160, {'S', kCaron, 0}},
    {0x0161, {'s', kCaron, 0}},   {0x0166, {'T', kStroke, 0}},
    {0x0167, {'t', kStroke, 0}},  {0x0178, {'Y', kDiaeresis, 0}},
    {0x017D, {'Z', kCaron, 0}},   {0x017E, {'z', kCaron, 0}},
    {0x0192, {'f', kHook, 0}},
};

struct CollationElement {
    uint32_t primary;
    uint8_t secondary;
    uint8_t tertiary;
};

struct CollationKey {
    std::vector<CollationElement> elements;
    std::vector<std::pair<uint32_t, char16_t>> ignored; // (elements before it, character)
};

static uint32_t primary(uint32_t group, uint32_t value) { return group << 16 | value; }

static bool is_word_sort_ignorable(char16_t unit)
{
    return unit == u'-' || unit == u'\'' || unit == 0x00AD;
}

// Full-width forms and katakana read as their plain forms with a tertiary mark.
static char16_t plain_form(char16_t unit, uint8_t& tertiary)
{
    if (unit >= 0xFF01 && unit <= 0xFF5E) {
        tertiary |= kFullWidth;
        return char16_t(unit - 0xFEE0);
    }
    if (unit == 0x3000) { // ideographic space
        tertiary |= kFullWidth;
        return u' ';
    }
    if (unit >= 0x30A1 && unit <= 0x30F6) {
        tertiary |= kKatakana;
        return char16_t(unit - 0x60);
    }
    return unit;
}

static const LatinLetter* latin_letter(char16_t unit)
{
    if (unit >= 0xC0 && unit <= 0xFF)
        return kLatin1Letters[unit - 0xC0].base ? &kLatin1Letters[unit - 0xC0] : nullptr;
    for (const LatinExtra& extra : kLatinExtras) {
        if (extra.unit == unit)
            return &extra.letter;
    }
    return nullptr;
}

static CollationElement latin_element(char letter, uint8_t accent, uint8_t tertiary)
{
    bool upper = letter >= 'A' && letter <= 'Z';
    uint32_t index = uint32_t(upper ? letter - 'A' : letter - 'a');
    return {primary(kGroupLatin, index), accent, uint8_t(tertiary | (upper ? kUpperCase : 0))};
}

// Letters of a cased alphabet: primary from the lower-case form.
static CollationElement cased_element(uint32_t group, char16_t lower, bool upper, uint8_t tertiary)
{
    return {primary(group, lower), kNoAccent, uint8_t(tertiary | (upper ? kUpperCase : 0))};
}

static bool in_range(char16_t unit, char16_t first, char16_t last)
{
    return unit >= first && unit <= last;
}

// The element of a character that is neither Latin nor a digit.
static CollationElement other_element(char16_t unit, uint8_t tertiary)
{
    if (in_range(unit, 0x0391, 0x03A9))
        return cased_element(kGroupGreek, char16_t(unit + 0x20), true, tertiary);
    if (in_range(unit, 0x0370, 0x03FF))
        return cased_element(kGroupGreek, unit, false, tertiary);
    if (unit == 0x00B5) // micro sign: a Greek mu
        return {primary(kGroupGreek, 0x03BC), kCompat, tertiary};
    if (in_range(unit, 0x0400, 0x040F))
        return cased_element(kGroupCyrillic, char16_t(unit + 0x50), true, tertiary);
    if (in_range(unit, 0x0410, 0x042F))
        return cased_element(kGroupCyrillic, char16_t(unit + 0x20), true, tertiary);
    if (in_range(unit, 0x0430, 0x04FF))
        return cased_element(kGroupCyrillic, unit, false, tertiary);
    if (in_range(unit, 0x3041, 0x30FF) || in_range(unit, 0xFF66, 0xFF9F))
        return {primary(kGroupKana, unit), kNoAccent, tertiary};
    if (in_range(unit, 0x1100, 0x11FF) || in_range(unit, 0x3131, 0x318E)
        || in_range(unit, 0xAC00, 0xD7A3))
        return {primary(kGroupHangul, unit), kNoAccent, tertiary};
    if (in_range(unit, 0x4E00, 0x9FFF) || in_range(unit, 0xF900, 0xFAFF))
        return {primary(kGroupIdeograph, unit), kNoAccent, tertiary};
    return {primary(kGroupSymbol, unit), kNoAccent, tertiary};
}

// The elements of one character (0, 1 or 2) into out.
static int collation_elements(char16_t unit, CollationElement out[2])
{
    uint8_t tertiary = 0;
    char16_t plain = plain_form(unit, tertiary);
    if (is_word_sort_ignorable(plain))
        return 0;
    if (in_range(plain, u'0', u'9')) {
        out[0] = {primary(kGroupDigit, plain - u'0'), kNoAccent, tertiary};
        return 1;
    }
    if (plain == 0x00B9 || plain == 0x00B2 || plain == 0x00B3) { // superscript 1, 2, 3
        out[0] = {primary(kGroupDigit, plain == 0x00B9 ? 1 : plain - 0x00B0), kOrdinal, tertiary};
        return 1;
    }
    if (in_range(plain, u'A', u'Z') || in_range(plain, u'a', u'z')) {
        out[0] = latin_element(char(plain), kNoAccent, tertiary);
        return 1;
    }
    if (const LatinLetter* letter = latin_letter(plain)) {
        out[0] = latin_element(letter->base, letter->accent, tertiary);
        if (!letter->second)
            return 1;
        out[1] = latin_element(letter->second, letter->accent, tertiary);
        return 2;
    }
    out[0] = other_element(plain, tertiary);
    return 1;
}

static CollationKey collation_key(const char* text)
{
    CollationKey key;
    std::u16string wide = multi_byte_to_wide(CP_ACP, text);
    key.elements.reserve(wide.size());
    for (char16_t unit : wide) {
        CollationElement elements[2];
        int count = collation_elements(unit, elements);
        if (count == 0)
            key.ignored.emplace_back(uint32_t(key.elements.size()), unit);
        key.elements.insert(key.elements.end(), elements, elements + count);
    }
    return key;
}

static int sign(int64_t difference) { return difference < 0 ? -1 : difference > 0 ? 1 : 0; }

// Compares one level over both element lists; the primary level alone can differ in length.
template <class Weight>
static int compare_level(const CollationKey& a, const CollationKey& b, Weight weight)
{
    size_t common = std::min(a.elements.size(), b.elements.size());
    for (size_t i = 0; i < common; ++i) {
        int64_t difference = int64_t(weight(a.elements[i])) - int64_t(weight(b.elements[i]));
        if (difference != 0)
            return sign(difference);
    }
    return sign(int64_t(a.elements.size()) - int64_t(b.elements.size()));
}

static int compare_ignored(const CollationKey& a, const CollationKey& b)
{
    size_t common = std::min(a.ignored.size(), b.ignored.size());
    for (size_t i = 0; i < common; ++i) {
        if (a.ignored[i] != b.ignored[i])
            return a.ignored[i] < b.ignored[i] ? -1 : 1;
    }
    return sign(int64_t(a.ignored.size()) - int64_t(b.ignored.size()));
}

enum class CaseRule { Sensitive, Ignore };

static int compare_text(const char* a, const char* b, CaseRule rule)
{
    if (!a || !b)
        return a ? 1 : b ? -1 : 0;
    CollationKey key_a = collation_key(a);
    CollationKey key_b = collation_key(b);
    uint8_t tertiary_mask = rule == CaseRule::Ignore ? uint8_t(~kUpperCase) : uint8_t(0xFF);
    if (int r = compare_level(key_a, key_b, [](const CollationElement& e) { return e.primary; }))
        return r;
    if (int r = compare_level(key_a, key_b, [](const CollationElement& e) { return e.secondary; }))
        return r;
    auto tertiary = [&](const CollationElement& e) { return e.tertiary & tertiary_mask; };
    if (int r = compare_level(key_a, key_b, tertiary))
        return r;
    return compare_ignored(key_a, key_b);
}

int lstrcmp(const char* a, const char* b) { return compare_text(a, b, CaseRule::Sensitive); }
int lstrcmpi(const char* a, const char* b) { return compare_text(a, b, CaseRule::Ignore); }

} // namespace plat
