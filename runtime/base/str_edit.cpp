#include "runtime/base/str_edit.h"

#include "platform/kernel/codepage.h"
#include "platform/kernel/resource.h"
#include "runtime/base/str.h"
#include "runtime/base/str_width.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

constexpr char16_t kIdeographicSpace = u'\u3000';
constexpr char16_t kFirstFullWidth = u'\uFF01'; // full-width '!'
constexpr char16_t kLastFullWidth = u'\uFF5E'; // full-width '~'
constexpr char16_t kFullWidthOffset = 0xFEE0;

// A character of the text as the number readers see it.
struct TextChar {
    const char* next;
    char ascii; // the character, or the ASCII form of a full-width one; 0 for any other
};

// The ASCII form of the two-byte character at p, 0 when it has none.
static char wide_to_ascii(const char* p)
{
    if (str_japanese_rules()) {
        uint16_t narrow
            = str_narrow_char(uint16_t(uint8_t(p[0]) | uint8_t(p[1]) << 8), kStrFoldTitles);
        return narrow < 0x80 ? char(narrow) : 0;
    }
    std::u16string wide = plat::multi_byte_to_wide(plat::CP_ACP, std::string_view(p, 2));
    if (wide.size() != 1)
        return 0;
    if (wide[0] == kIdeographicSpace)
        return ' ';
    if (wide[0] >= kFirstFullWidth && wide[0] <= kLastFullWidth)
        return char(wide[0] - kFullWidthOffset);
    return 0;
}

static TextChar read_char(const char* p)
{
    const char* next = str_next_char(p);
    if (next - p == 2)
        return { next, wide_to_ascii(p) };
    return { next, *p };
}

static bool is_digit(char c) { return c >= '0' && c <= '9'; }

int32_t str_to_int(const char* text)
{
    const char* p = text ? text : "";
    TextChar c = read_char(p);
    while (c.ascii == ' ' || c.ascii == '\t' || c.ascii == '\n' || c.ascii == '\r') {
        p = c.next;
        c = read_char(p);
    }
    bool negative = c.ascii == '-';
    if (c.ascii == '-' || c.ascii == '+') {
        p = c.next;
        c = read_char(p);
    }
    uint32_t value = 0; // unsigned: overflow wraps as on the 32-bit original instead of UB
    while (*p && is_digit(c.ascii)) {
        value = value * 10 + uint32_t(c.ascii - '0');
        p = c.next;
        c = read_char(p);
    }
    return int32_t(negative ? 0u - value : value);
}

int str_keep_number_chars(char* out, int size, const char* text, const char* locale_decimal)
{
    if (!out || size < 1)
        return 0;
    int length = 0;
    for (const char* p = text ? text : ""; *p && length < size - 1;) {
        TextChar c = read_char(p);
        p = c.next;
        if (is_digit(c.ascii) || c.ascii == '+' || c.ascii == '-')
            out[length++] = c.ascii;
        else if (c.ascii == '.'
            || (c.ascii && locale_decimal && std::strchr(locale_decimal, c.ascii)))
            out[length++] = '.';
    }
    out[length] = '\0';
    return length;
}

// Copies the edited text back over the original, cut to size on a character boundary.
static int store_back(char* text, int size, const std::string& edited)
{
    return str_copy_bounded(text, edited.c_str(), size);
}

int str_quote(char* text, int size)
{
    if (!text || size < 1)
        return 0;
    std::string quoted = "\"";
    for (const char* p = text; *p;) {
        const char* next = str_next_char(p);
        if (next - p == 1 && (*p == '"' || *p == '\\'))
            quoted += '\\';
        quoted.append(p, next);
        p = next;
    }
    quoted += '"';
    return store_back(text, size, quoted);
}

// Position of c among the characters, -1 when absent.
static int listed_at(const char* characters, char c)
{
    const char* found = c ? std::strchr(characters, c) : nullptr;
    return found ? int(found - characters) : -1;
}

int str_escape(
    char* text, int size, const char* characters, const char* letters, int* count, StrQuotes quotes)
{
    if (!text || size < 1)
        return 0;
    characters = characters ? characters : "";
    letters = letters ? letters : "";
    size_t letter_count = std::strlen(letters);
    size_t length = strnlen(text, size_t(size));
    std::string escaped = quotes == StrQuotes::with ? "\"" : "";
    int added = quotes == StrQuotes::with ? 2 : 0;
    for (const char* p = text; p < text + length;) {
        const char* next = str_next_char(p);
        int at = next - p == 1 ? listed_at(characters, *p) : -1;
        if (at >= 0) {
            ++added;
            escaped += '\\';
            escaped += size_t(at) < letter_count ? letters[at] : *p;
        } else {
            escaped.append(p, next);
        }
        p = next;
    }
    if (count) {
        *count = added;
        return added;
    }
    if (quotes == StrQuotes::with)
        escaped += '"';
    return store_back(text, size, escaped);
}

int str_cr_to_crlf(char* text, int size)
{
    if (!text || size < 1)
        return 0;
    size_t length = strnlen(text, size_t(size));
    if (length >= size_t(size))
        return int(length); // no terminator within size: no room to insert
    size_t room = size_t(size) - 1 - length;
    std::string result;
    for (size_t i = 0; i < length; ++i) {
        result += text[i];
        if (text[i] == '\r' && text[i + 1] != '\n' && room > 0) {
            result += '\n';
            --room;
        }
    }
    std::memcpy(text, result.c_str(), result.size() + 1);
    return int(result.size());
}

int str_crlf_to_cr(char* text, StrLoneLf lone_lf)
{
    if (!text)
        return 0;
    char* out = text;
    char previous = '\0'; // as read: a LF turned into a CR must not swallow the next LF
    for (const char* p = text; *p; ++p) {
        char c = *p;
        if (!(c == '\n' && previous == '\r'))
            *out++ = c == '\n' && lone_lf == StrLoneLf::to_cr ? '\r' : c;
        previous = c;
    }
    *out = '\0';
    return int(out - text);
}

int str_count_lines(const char* text)
{
    int count = 0;
    for (const char* p = text ? text : ""; *p; ++p)
        count += *p == '\r';
    return count;
}

int str_replace_char(char* text, char old_char, char new_char)
{
    if (!text || old_char == '\0')
        return 0;
    int count = 0;
    for (char* p = text; *p;) {
        char* next = const_cast<char*>(str_next_char(p));
        if (next - p == 1 && *p == old_char) {
            ++count;
            *p = new_char;
            if (new_char == '\0')
                break;
        }
        p = next;
    }
    return count;
}

MemHandle str_to_handle(const char* text)
{
    const char* t = text ? text : "";
    return mem_alloc_copy(t, std::strlen(t) + 1);
}

MemHandle str_bytes_to_handle(const void* bytes, size_t n)
{
    MemHandle block = mem_alloc(n + 1, kMemMovable);
    char* address = block ? static_cast<char*>(mem_address(block)) : nullptr;
    if (!address) {
        mem_free(block);
        return MemHandle {};
    }
    if (n > 0)
        std::memcpy(address, bytes, n);
    address[n] = '\0';
    return block;
}

int str_load_resource(char* buffer, int size, uint32_t base, uint32_t offset)
{
    return plat::load_string(plat::ModuleHandle {}, base + offset, buffer, size);
}

std::string str_load_text(uint32_t id, int size, std::span<const StrTableDefault> defaults)
{
    std::vector<char> buffer(size_t(std::max(size, 1)));
    int length = plat::load_string(plat::ModuleHandle {}, id, buffer.data(), int(buffer.size()));
    if (length > 0)
        return std::string(buffer.data(), size_t(length));
    for (const StrTableDefault& row : defaults) {
        if (row.id == id)
            return row.text;
    }
    return "";
}
