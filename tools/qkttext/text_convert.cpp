#include "tools/qkttext/text_convert.h"

#include "typing/johab.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <set>
#include <vector>

namespace {

constexpr char kLineEnd[] = "\r\n";

// Which characters a kind of text may hold (besides what each reader splits on).
enum class Allowed {
    hangul, // Hangul syllables only: Korean words
    letters, // a-z: English words
    hangul_punctuation, // Hangul, blanks and punctuation: Korean proverbs
    hangul_ascii, // Hangul and printable ASCII: Korean stories
    ascii, // printable ASCII: English proverbs and stories
};

struct Line {
    size_t number = 0; // from 1
    std::string_view text; // without its line end and trailing blanks
};

std::vector<Line> lines_split(std::string_view utf8)
{
    std::vector<Line> lines;
    size_t number = 0;
    while (!utf8.empty()) {
        size_t end = utf8.find('\n');
        std::string_view text = utf8.substr(0, end);
        utf8 = end == std::string_view::npos ? std::string_view() : utf8.substr(end + 1);
        while (!text.empty() && (text.back() == '\r' || text.back() == ' ' || text.back() == '\t'))
            text.remove_suffix(1);
        lines.push_back({++number, text});
    }
    return lines;
}

// The next code point of UTF-8 text; 0xFFFFFFFF for a malformed sequence.
uint32_t utf8_next(std::string_view text, size_t& at)
{
    uint8_t lead = uint8_t(text[at++]);
    if (lead < 0x80)
        return lead;
    int extra = lead >= 0xF0 && lead < 0xF8 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC2 && lead < 0xE0 ? 1 : -1;
    if (extra < 0 || text.size() - at < size_t(extra))
        return 0xFFFFFFFF;
    uint32_t code = lead & (0x3F >> extra);
    for (int i = 0; i < extra; ++i) {
        uint8_t trail = uint8_t(text[at++]);
        if ((trail & 0xC0) != 0x80)
            return 0xFFFFFFFF;
        code = code << 6 | (trail & 0x3F);
    }
    static const uint32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
    return code < kSmallest[extra] ? 0xFFFFFFFF : code;
}

bool allowed(Allowed set, uint32_t code)
{
    bool syllable = code >= 0xAC00 && code <= 0xD7A3;
    switch (set) {
    case Allowed::hangul: return syllable;
    case Allowed::letters: return code >= 'a' && code <= 'z';
    case Allowed::hangul_punctuation:
        return syllable || (code < 0x80 && std::string_view(" .,!?'\"-:;~()").find(char(code)) != std::string_view::npos);
    case Allowed::hangul_ascii: return syllable || (code >= 0x20 && code < 0x7F);
    case Allowed::ascii: return code >= 0x20 && code < 0x7F;
    }
    return false;
}

std::string code_point_text(uint32_t code)
{
    char text[16];
    std::snprintf(text, sizeof text, "U+%04X", unsigned(code));
    return text;
}

struct Converter {
    std::string_view source_name;
    TextConversion& out;

    bool fail(size_t line, const std::string& what)
    {
        out.error = std::string(source_name) + ":" + std::to_string(line) + ": " + what;
        return false;
    }

    // UTF-8 text of one line to CP949; false (with the error) at a character not allowed.
    bool to_cp949(const Line& line, std::string_view text, Allowed set, std::string& stored)
    {
        for (size_t at = 0; at < text.size();) {
            uint32_t code = utf8_next(text, at);
            if (code == 0xFFFFFFFF)
                return fail(line.number, "malformed UTF-8");
            if (code == '\t')
                return fail(line.number, "a tab: use blanks");
            if (!allowed(set, code))
                return fail(line.number, code_point_text(code) + " is not allowed here");
            if (code < 0x80) {
                stored += char(code);
                continue;
            }
            uint16_t wansung = johab_char_to_wansung(unicode_to_johab(code));
            // Only the 2,350 syllables of KS X 1001: both bytes of their codes are above 0xA0,
            // where the extended codes would put plain letters in trail bytes.
            if (wansung < 0xA1A1 || (wansung & 0xFF) < 0xA1)
                return fail(line.number, code_point_text(code) + " is outside the 2,350 syllables of KS X 1001");
            stored += char(wansung >> 8);
            stored += char(wansung & 0xFF);
        }
        return true;
    }

    bool words(const std::vector<Line>& lines, TextLanguage language);
    bool proverbs(const std::vector<Line>& lines, TextLanguage language);
    bool story(const std::vector<Line>& lines, TextLanguage language, std::string_view stored_name);
};

bool comment_or_blank(const Line& line) { return line.text.empty() || line.text[0] == '#'; }

bool Converter::words(const std::vector<Line>& lines, TextLanguage language)
{
    Allowed set = language == TextLanguage::korean ? Allowed::hangul : Allowed::letters;
    std::set<std::string> seen;
    for (const Line& line : lines) {
        if (comment_or_blank(line))
            continue;
        std::string_view rest = line.text;
        while (!rest.empty()) {
            size_t start = rest.find_first_not_of(" \t");
            if (start == std::string_view::npos)
                break;
            rest.remove_prefix(start);
            std::string_view token = rest.substr(0, rest.find_first_of(" \t"));
            rest.remove_prefix(token.size());
            std::string word;
            if (!to_cp949(line, token, set, word))
                return false;
            if (word.size() > kWordMaxBytes)
                return fail(line.number, "\"" + std::string(token) + "\" is longer than 14 bytes");
            if (!seen.insert(word).second)
                return fail(line.number, "\"" + std::string(token) + "\" is listed twice");
            out.stored += word + kLineEnd;
        }
    }
    if (out.stored.size() < kWordFileMinBytes)
        return fail(0, "too few words");
    if (out.stored.size() > kTextMaxBytes)
        return fail(0, "more than 65535 bytes");
    return true;
}

bool Converter::proverbs(const std::vector<Line>& lines, TextLanguage language)
{
    Allowed set = language == TextLanguage::korean ? Allowed::hangul_punctuation : Allowed::ascii;
    size_t count = 0;
    for (const Line& line : lines) {
        if (comment_or_blank(line))
            continue;
        std::string stored;
        if (!to_cp949(line, line.text, set, stored))
            return false;
        if (stored[0] == ' ')
            return fail(line.number, "a proverb starts with a blank");
        if (stored.size() > kProverbLineMaxBytes)
            return fail(line.number, std::to_string(stored.size()) + " bytes, more than 53");
        out.stored += stored + kLineEnd;
        ++count;
    }
    if (count < kProverbMinCount)
        return fail(0, std::to_string(count) + " proverbs, fewer than 100");
    size_t trimmed = out.stored.size() - 2; // the tutor trims the last line end
    if (trimmed < kProverbMinBytes || trimmed > kTextMaxBytes)
        return fail(0, std::to_string(trimmed) + " bytes, outside 1000-65535");
    return true;
}

bool story_name_ok(std::string_view stored_name, std::string& why)
{
    size_t slash = stored_name.find_last_of('/');
    std::string_view name = slash == std::string_view::npos ? stored_name : stored_name.substr(slash + 1);
    size_t dot = name.rfind('.');
    std::string extension(dot == std::string_view::npos ? "" : name.substr(dot + 1));
    std::string base(name.substr(0, dot));
    for (char& c : extension)
        c = char(std::toupper(uint8_t(c)));
    std::string lower = base;
    for (char& c : lower)
        c = char(std::tolower(uint8_t(c)));
    bool plain = !base.empty();
    for (char c : base)
        plain = plain && (std::isalnum(uint8_t(c)) || c == '_' || c == '-');
    if (extension != "TXT")
        why = "a long text's name ends in .TXT";
    else if (!plain || base.size() > kStoryNameMaxChars)
        why = "a long text's base name is 1-9 letters, digits, '_' or '-'";
    else if (lower == "readme")
        why = "readme.txt is never read as a long text";
    return why.empty();
}

bool Converter::story(const std::vector<Line>& lines, TextLanguage language, std::string_view stored_name)
{
    std::string why;
    if (!story_name_ok(stored_name, why))
        return fail(0, why + ": " + std::string(stored_name));
    Allowed set = language == TextLanguage::korean ? Allowed::hangul_ascii : Allowed::ascii;
    if (lines.empty() || lines[0].text.empty() || lines[0].text[0] == ' ')
        return fail(1, "the first line is the title and starts with a character");
    std::string title;
    for (const Line& line : lines) {
        std::string stored;
        if (!to_cp949(line, line.text, set, stored))
            return false;
        if (line.number == 1)
            title = stored;
        out.stored += stored + kLineEnd;
    }
    if (title.size() > kStoryTitleMaxBytes)
        return fail(1, "the title has " + std::to_string(title.size()) + " bytes, more than 127");
    // The catalogue takes a title the Korean-text test accepts for Johab; ours are CP949.
    if (johab_text_is_korean(title))
        return fail(1, "the title reads as Johab text; reword it");
    if (language == TextLanguage::korean && (uint8_t(title[0]) < 0x80 || title.size() < 2))
        return fail(1, "a Korean text's title starts in Hangul, so the catalogue sees Korean");
    if (out.stored.size() < kStoryMinBytes || out.stored.size() > kStoryMaxBytes)
        return fail(0, std::to_string(out.stored.size()) + " bytes, outside 2048-8192");
    return true;
}

} // namespace

bool text_kind_parse(std::string_view name, TextKind& kind, TextLanguage& language)
{
    static const struct {
        const char* name;
        TextKind kind;
        TextLanguage language;
    } kKinds[] = {
        {"words-kor", TextKind::words, TextLanguage::korean},
        {"words-eng", TextKind::words, TextLanguage::english},
        {"proverbs-kor", TextKind::proverbs, TextLanguage::korean},
        {"proverbs-eng", TextKind::proverbs, TextLanguage::english},
        {"story-kor", TextKind::story, TextLanguage::korean},
        {"story-eng", TextKind::story, TextLanguage::english},
    };
    for (const auto& row : kKinds) {
        if (name == row.name) {
            kind = row.kind;
            language = row.language;
            return true;
        }
    }
    return false;
}

bool text_convert(TextKind kind, TextLanguage language, std::string_view source_name,
    std::string_view utf8, std::string_view stored_name, TextConversion& out)
{
    out = {};
    Converter converter {source_name, out};
    std::vector<Line> lines = lines_split(utf8);
    bool ok = kind == TextKind::words ? converter.words(lines, language)
        : kind == TextKind::proverbs  ? converter.proverbs(lines, language)
                                      : converter.story(lines, language, stored_name);
    if (!ok)
        out.stored.clear();
    return ok;
}
