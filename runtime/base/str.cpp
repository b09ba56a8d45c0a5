#include "runtime/base/str.h"

#include "platform/kernel/codepage.h"
#include "platform/kernel/resource.h"

#include <cstring>

constexpr uint32_t kLanguageEntry = 7;
constexpr uint32_t kShiftJisCodePage = 932;

static struct {
    StrSettings settings;
} s_str;

void str_init()
{
    char entry[32];
    plat::load_string(plat::ModuleHandle {}, kLanguageEntry, entry, int(sizeof entry));
    str_init_from_entry(entry);
}

void str_init_from_entry(const char* language_entry)
{
    const char* entry = language_entry ? language_entry : "";
    StrSettings& s = s_str.settings;
    s.double_byte = plat::code_page_max_char_size(plat::CP_ACP) == 2;
    s.language = entry[0] ? plat::char_upper(entry[0]) : 'E';
    if (entry[0] && entry[1] == '2')
        s.double_byte = true;
    // The system font takes its character set from the ANSI code page, so a Shift-JIS page
    // means a Shift-JIS system font.
    s.japanese_font = plat::get_active_code_page() == kShiftJisCodePage;
}

void str_reset() { s_str.settings = StrSettings {}; }

const StrSettings& str_settings() { return s_str.settings; }

bool str_japanese_rules() { return s_str.settings.language == 'J' || s_str.settings.japanese_font; }

const char* str_next_char(const char* text)
{
    if (*text == '\0')
        return text;
    return s_str.settings.double_byte ? plat::char_next(text) : text + 1;
}

bool str_is_single_byte(const char* text)
{
    return !s_str.settings.double_byte || *text == '\0' || plat::char_next(text) == text + 1;
}

static const char* or_empty(const char* text) { return text ? text : ""; }

// The character at p in the one-value form of the header, and where the next one starts.
static int char_at(const char* p, const char** next)
{
    *next = str_next_char(p);
    if (*next - p == 2)
        return uint8_t(p[0]) | uint8_t(p[1]) << 8;
    return uint8_t(p[0]);
}

int str_copy_bounded(char* dst, const char* src, int size)
{
    if (!dst || size < 1)
        return 0;
    const char* p = or_empty(src);
    int length = 0;
    while (*p) {
        const char* next = str_next_char(p);
        int width = int(next - p);
        if (width > size - 1 - length)
            break;
        std::memmove(dst + length, p, size_t(width));
        length += width;
        p = next;
    }
    dst[length] = '\0';
    return length;
}

int str_append_bounded(char* dst, const char* src, int size)
{
    if (!dst || size < 1)
        return 0;
    int length = int(strnlen(dst, size_t(size)));
    if (length >= size)
        return length; // no terminator within size: nothing fits
    return length + str_copy_bounded(dst + length, src, size - length);
}

int str_fit_length(const char* text, int max)
{
    const char* p = or_empty(text);
    int length = 0;
    while (*p) {
        const char* next = str_next_char(p);
        if (next - p > max - length)
            break;
        length += int(next - p);
        p = next;
    }
    return length;
}

int str_char_count(const char* text)
{
    int count = 0;
    for (const char* p = or_empty(text); *p; p = str_next_char(p))
        ++count;
    return count;
}

static int bounded_length(const char* text, int length)
{
    int whole = int(std::strlen(text));
    return length <= 0 || length > whole ? whole : length;
}

int str_char_offset(const char* text, int length, int n)
{
    text = or_empty(text);
    length = bounded_length(text, length);
    if (n < 0 || n > length)
        return n;
    const char* p = text;
    for (int i = 0; i < n && p - text < length; ++i)
        p = str_next_char(p);
    return int(p - text);
}

int str_chars_in_bytes(const char* text, int length, int bytes)
{
    text = or_empty(text);
    length = bounded_length(text, length);
    if (bytes > length)
        bytes = length;
    int count = 0;
    for (const char* p = text; p - text < bytes; p = str_next_char(p))
        ++count;
    return count;
}

int str_count_by_width(const char* text, int max_bytes, int width)
{
    text = or_empty(text);
    int wanted = width == kStrOneByte ? 1 : 2;
    int count = 0;
    const char* p = text;
    while (*p) {
        const char* next = str_next_char(p);
        if (next - text > max_bytes)
            break;
        count += next - p == wanted;
        p = next;
    }
    return count;
}

const char* str_prev_char(const char* start, const char* current, int length)
{
    if (!start || !current || current <= start)
        return start;
    if (length > 0 && current - start > length)
        current = start + length;
    return s_str.settings.double_byte ? plat::char_prev(start, current) : current - 1;
}

char* str_find_char(const char* text, int character)
{
    const char* p = or_empty(text);
    for (;;) {
        if (*p == '\0')
            return character == 0 ? const_cast<char*>(p) : nullptr;
        const char* next;
        if (char_at(p, &next) == character)
            return const_cast<char*>(p);
        p = next;
    }
}

char* str_find_last_char(const char* text, int character)
{
    const char* found = nullptr;
    const char* p = or_empty(text);
    for (; *p;) {
        const char* next;
        if (char_at(p, &next) == character)
            found = p;
        p = next;
    }
    return const_cast<char*>(character == 0 ? p : found);
}

int str_has_char(int character, const char* set)
{
    if (character == 0)
        return 0;
    return str_find_char(set, character) != nullptr;
}

char* str_find_any(const char* text, const char* set)
{
    for (const char* p = or_empty(text); *p;) {
        const char* next;
        if (str_has_char(char_at(p, &next), set))
            return const_cast<char*>(p);
        p = next;
    }
    return nullptr;
}

char* str_find_substring(const char* text, const char* part)
{
    const char* p = or_empty(text);
    part = or_empty(part);
    size_t part_length = std::strlen(part);
    for (;; p = str_next_char(p)) {
        if (std::strncmp(p, part, part_length) == 0)
            return const_cast<char*>(p);
        if (*p == '\0')
            return nullptr;
    }
}

char* str_tokenize(char* text, const char* delimiters, char** state)
{
    char* p = text ? text : *state;
    if (!p)
        return nullptr;
    const char* next;
    while (*p && str_has_char(char_at(p, &next), delimiters))
        p = const_cast<char*>(next);
    if (*p == '\0') {
        *state = p;
        return nullptr;
    }
    char* token = p;
    while (*p && !str_has_char(char_at(p, &next), delimiters))
        p = const_cast<char*>(next);
    if (*p) {
        char_at(p, &next);
        *p = '\0';
        p = const_cast<char*>(next);
    }
    *state = p;
    return token;
}

int str_char_equal(const char* a, const char* b)
{
    a = or_empty(a);
    b = or_empty(b);
    const char* next_a;
    const char* next_b;
    int char_a = char_at(a, &next_a);
    int char_b = char_at(b, &next_b);
    return char_a == char_b && next_a - a == next_b - b;
}

int str_compare(const char* a, const char* b)
{
    const uint8_t* p = reinterpret_cast<const uint8_t*>(or_empty(a));
    const uint8_t* q = reinterpret_cast<const uint8_t*>(or_empty(b));
    while (*p && *p == *q)
        ++p, ++q;
    return int(*p) - int(*q);
}

static uint8_t fold_ascii(uint8_t c) { return c >= 'A' && c <= 'Z' ? uint8_t(c + ('a' - 'A')) : c; }

// Walks the equal prefix of a and b, folding one-byte characters when asked, and stops at the
// first difference, the end, or (with stop_high) the first byte of 0x80 or above. Trail bytes
// are tracked so that a trail byte that happens to be a letter is never folded.
static size_t equal_prefix(
    const uint8_t* a, const uint8_t* b, bool fold, bool stop_high, bool& trail)
{
    trail = false;
    size_t i = 0;
    for (;; ++i) {
        if (stop_high && (a[i] >= 0x80 || b[i] >= 0x80))
            return i;
        uint8_t x = fold && !trail ? fold_ascii(a[i]) : a[i];
        uint8_t y = fold && !trail ? fold_ascii(b[i]) : b[i];
        if (x != y || x == 0)
            return i;
        trail = !trail && s_str.settings.double_byte && plat::is_dbcs_lead_byte(a[i])
            && a[i + 1] != 0;
    }
}

static int compare_with(const char* a, const char* b, bool fold, bool locale)
{
    const uint8_t* p = reinterpret_cast<const uint8_t*>(or_empty(a));
    const uint8_t* q = reinterpret_cast<const uint8_t*>(or_empty(b));
    bool trail;
    size_t i = equal_prefix(p, q, fold, locale, trail);
    if (locale && (p[i] >= 0x80 || q[i] >= 0x80)) {
        const char* rest_a = reinterpret_cast<const char*>(p + i);
        const char* rest_b = reinterpret_cast<const char*>(q + i);
        return fold ? plat::lstrcmpi(rest_a, rest_b) : plat::lstrcmp(rest_a, rest_b);
    }
    if (fold && !trail)
        return int(fold_ascii(p[i])) - int(fold_ascii(q[i]));
    return int(p[i]) - int(q[i]);
}

int str_compare_nocase(const char* a, const char* b) { return compare_with(a, b, true, false); }

int str_compare_locale(const char* a, const char* b) { return compare_with(a, b, false, true); }

int str_compare_nocase_locale(const char* a, const char* b)
{
    return compare_with(a, b, true, true);
}

int str_compare_n(const char* a, const char* b, int n)
{
    const uint8_t* p = reinterpret_cast<const uint8_t*>(or_empty(a));
    const uint8_t* q = reinterpret_cast<const uint8_t*>(or_empty(b));
    for (int i = 0; i < n; ++i) {
        if (p[i] != q[i] || p[i] == 0)
            return int(p[i]) - int(q[i]);
    }
    return 0;
}
