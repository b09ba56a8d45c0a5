#include "platform/kernel/path.h"

#include "platform/kernel/codepage.h"
#include "platform/kernel/error.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace plat {

// A Windows path after parsing: drive letter (0 for a UNC path) and its components below the
// root, "." and ".." already resolved.
struct WinPath {
    char drive = 0;
    std::vector<std::string> parts;
    bool trailing_separator = false;
};

static struct PathState {
    bool ready = false;
    std::string roots[26]; // host folder of each drive, "" when unmapped
    std::vector<std::string> current[26]; // each drive's current folder below its root
    char current_drive = 'C';
} s_path;

static bool is_separator(char c) { return c == '\\' || c == '/'; }

static bool is_ascii(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return uint8_t(c) < 0x80; });
}

// Bytes of the character at i: a trail byte of a double-byte page may be 0x5C ('\'), so the
// text is never scanned byte by byte.
static size_t char_length(std::string_view text, size_t i)
{
    return (i + 1 < text.size() && is_dbcs_lead_byte(uint8_t(text[i]))) ? 2 : 1;
}

static char drive_letter(char c)
{
    if (c >= 'a' && c <= 'z')
        return char(c - 'a' + 'A');
    return (c >= 'A' && c <= 'Z') ? c : 0;
}

static std::vector<std::string> split_host(std::string_view host)
{
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= host.size()) {
        size_t end = std::min(host.find('/', start), host.size());
        std::string_view part = host.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.emplace_back(part);
        }
        start = end + 1;
    }
    return parts;
}

static std::string join_host(const std::vector<std::string>& parts)
{
    std::string host;
    for (const std::string& part : parts)
        host.append("/").append(part);
    return host.empty() ? "/" : host;
}

static std::string host_child(const std::string& folder, std::string_view name)
{
    std::string path = folder;
    if (path.empty() || path.back() != '/')
        path += '/';
    return path.append(name);
}

static std::string host_current_folder()
{
    std::vector<char> buffer(4096);
    while (getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE || buffer.size() > (1u << 20))
            return "/";
        buffer.resize(buffer.size() * 2);
    }
    return buffer.data();
}

// The drive whose root holds the host path, the longest root winning ("D:" -> /data beats
// "C:" -> /); rest receives the components below that root.
static char drive_of_host(std::string_view host, std::vector<std::string>& rest)
{
    std::vector<std::string> parts = split_host(host);
    char best = 0;
    size_t best_length = 0;
    for (int d = 0; d < 26; d++) {
        if (s_path.roots[d].empty())
            continue;
        std::vector<std::string> root = split_host(s_path.roots[d]);
        bool holds
            = root.size() <= parts.size() && std::equal(root.begin(), root.end(), parts.begin());
        if (holds && (best == 0 || root.size() > best_length)) {
            best = char('A' + d);
            best_length = root.size();
        }
    }
    if (best != 0)
        rest.assign(parts.begin() + long(best_length), parts.end());
    return best;
}

static void ensure_ready()
{
    if (s_path.ready)
        return;
    s_path.ready = true;
    s_path.roots['C' - 'A'] = "/";
    std::vector<std::string> rest;
    char drive = drive_of_host(host_current_folder(), rest);
    if (drive == 0)
        return;
    s_path.current_drive = drive;
    for (std::string& part : rest)
        part = path_text_from_host(part);
    s_path.current[drive - 'A'] = std::move(rest);
}

// Windows drops one final '.' of a component ("NAME." is "NAME") and every trailing '.' and
// blank at the end of a path that does not end in a separator.
static void trim_component(std::string& part, bool is_last)
{
    if (is_last) {
        while (!part.empty() && (part.back() == '.' || part.back() == ' '))
            part.pop_back();
        return;
    }
    size_t n = part.size();
    if (n >= 2 && part[n - 1] == '.' && part[n - 2] != '.')
        part.pop_back();
}

// Appends the components of text to parts, resolving "." and ".."; returns whether the text
// ends in a separator.
static bool append_components(std::string_view text, std::vector<std::string>& parts)
{
    std::vector<std::string> raw(1);
    bool trailing = false;
    for (size_t i = 0; i < text.size(); i += char_length(text, i)) {
        trailing = is_separator(text[i]);
        if (trailing)
            raw.emplace_back();
        else
            raw.back().append(text.substr(i, char_length(text, i)));
    }
    for (size_t k = 0; k < raw.size(); k++) {
        std::string& part = raw[k];
        if (part == ".")
            continue;
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
            continue;
        }
        trim_component(part, k + 1 == raw.size());
        if (!part.empty())
            parts.push_back(std::move(part));
    }
    return trailing;
}

static bool parse_path(std::string_view path, WinPath& out)
{
    if (path.empty() || path.find('\0') != std::string_view::npos) {
        set_last_error(path.empty() ? ERROR_PATH_NOT_FOUND : ERROR_INVALID_NAME);
        return false;
    }
    ensure_ready();
    size_t start = 0;
    bool absolute = is_separator(path[0]);
    out.drive = s_path.current_drive;
    if (path.size() >= 2 && is_separator(path[0]) && is_separator(path[1])) {
        out.drive = 0;
        start = 2;
    } else if (path.size() >= 2 && path[1] == ':') {
        out.drive = drive_letter(path[0]);
        if (out.drive == 0) {
            set_last_error(ERROR_INVALID_NAME);
            return false;
        }
        start = 2;
        absolute = path.size() > 2 && is_separator(path[2]);
    }
    if (out.drive != 0 && !absolute)
        out.parts = s_path.current[out.drive - 'A'];
    out.trailing_separator = append_components(path.substr(start), out.parts);
    return true;
}

static std::string format_path(const WinPath& path)
{
    std::string text = path.drive ? std::string { path.drive, ':', '\\' } : std::string("\\\\");
    for (size_t i = 0; i < path.parts.size(); i++) {
        if (i > 0)
            text += '\\';
        text += path.parts[i];
    }
    if (path.trailing_separator && !path.parts.empty())
        text += '\\';
    return text;
}

static bool is_valid_component(std::string_view part)
{
    static const char kForbidden[] = "<>:\"|?*";
    for (size_t i = 0; i < part.size(); i += char_length(part, i)) {
        uint8_t c = uint8_t(part[i]);
        if (c < 0x20 || std::strchr(kForbidden, c) != nullptr)
            return false;
    }
    return true;
}

// Replaces name by the spelling the host folder holds: the exact name when it exists, else
// the first (in byte order, so the choice is stable) of the names equal to it ignoring case.
static bool find_host_entry(const std::string& folder, std::string& name)
{
    struct stat st;
    if (lstat(host_child(folder, name).c_str(), &st) == 0)
        return true;
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr)
        return false;
    std::string best;
    bool found = false;
    while (const dirent* entry = readdir(dir)) {
        std::string_view candidate = entry->d_name;
        if (path_name_compare(candidate, name) == 0 && (!found || candidate < best)) {
            best = candidate;
            found = true;
        }
    }
    closedir(dir);
    if (found)
        name = best;
    return found;
}

static std::string map_to_host(const WinPath& path)
{
    if (path.drive == 0 || s_path.roots[path.drive - 'A'].empty()) {
        set_last_error(ERROR_PATH_NOT_FOUND); // UNC names and unmapped drives lead nowhere
        return "";
    }
    for (const std::string& part : path.parts) {
        if (!is_valid_component(part)) {
            set_last_error(ERROR_INVALID_NAME);
            return "";
        }
    }
    std::string host = s_path.roots[path.drive - 'A'];
    bool present = true;
    for (const std::string& part : path.parts) {
        std::string name = path_text_to_host(part);
        // Below a missing component nothing can exist: keep the given spelling from here on.
        present = present && find_host_entry(host, name);
        host = host_child(host, name);
    }
    return host;
}

void set_drive_root(char drive, const std::string& host_folder)
{
    ensure_ready();
    char letter = drive_letter(drive);
    if (letter == 0)
        return;
    s_path.current[letter - 'A'].clear();
    if (host_folder.empty()) {
        s_path.roots[letter - 'A'].clear();
        return;
    }
    std::string absolute
        = host_folder[0] == '/' ? host_folder : host_child(host_current_folder(), host_folder);
    s_path.roots[letter - 'A'] = join_host(split_host(absolute));
}

std::string get_drive_root(char drive)
{
    ensure_ready();
    char letter = drive_letter(drive);
    return letter ? s_path.roots[letter - 'A'] : std::string();
}

std::string path_to_host(std::string_view path)
{
    WinPath parsed;
    if (!parse_path(path, parsed))
        return "";
    return map_to_host(parsed);
}

std::string path_from_host(std::string_view host_path)
{
    ensure_ready();
    std::vector<std::string> rest;
    char drive = host_path.empty() || host_path[0] != '/' ? 0 : drive_of_host(host_path, rest);
    if (drive == 0) {
        set_last_error(ERROR_PATH_NOT_FOUND);
        return "";
    }
    WinPath path;
    path.drive = drive;
    for (const std::string& part : rest)
        path.parts.push_back(path_text_from_host(part));
    return format_path(path);
}

std::string get_full_path_name(std::string_view path)
{
    WinPath parsed;
    if (!parse_path(path, parsed))
        return "";
    return format_path(parsed);
}

std::string get_current_directory()
{
    ensure_ready();
    WinPath path;
    path.drive = s_path.current_drive;
    path.parts = s_path.current[path.drive - 'A'];
    return format_path(path);
}

bool set_current_directory(std::string_view path)
{
    WinPath parsed;
    if (!parse_path(path, parsed))
        return false;
    std::string host = map_to_host(parsed);
    if (host.empty())
        return false;
    struct stat st;
    if (stat(host.c_str(), &st) != 0) {
        set_last_error(path_error_from_errno(errno, host));
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        set_last_error(ERROR_DIRECTORY);
        return false;
    }
    s_path.current_drive = parsed.drive;
    s_path.current[parsed.drive - 'A'] = std::move(parsed.parts);
    return true;
}

std::string get_program_path()
{
    std::vector<char> buffer(4096);
    for (;;) {
        ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0) {
            set_last_error(error_from_errno(errno));
            return "";
        }
        if (size_t(length) < buffer.size())
            return path_from_host(std::string_view(buffer.data(), size_t(length)));
        buffer.resize(buffer.size() * 2);
    }
}

std::string get_program_folder()
{
    std::string path = get_program_path();
    size_t name = path_name_offset(path);
    if (path.empty() || name <= 3)
        return path.substr(0, std::min<size_t>(name, 3));
    return path.substr(0, name - 1);
}

static bool make_host_folders(const std::string& host)
{
    std::string path;
    for (const std::string& part : split_host(host)) {
        path.append("/").append(part);
        if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
            set_last_error(path_error_from_errno(errno, path));
            return false;
        }
    }
    return true;
}

// XDG wants a relative $XDG_DATA_HOME ignored, as if it were unset.
static std::string host_windows_directory()
{
    const char* override_dir = std::getenv("STORVEL_WINDOWS_DIR");
    if (override_dir != nullptr && override_dir[0] != '\0')
        return override_dir[0] == '/' ? override_dir
                                      : host_child(host_current_folder(), override_dir);
    const char* data_home = std::getenv("XDG_DATA_HOME");
    if (data_home != nullptr && data_home[0] == '/')
        return host_child(data_home, "storvel/windows");
    const char* home = std::getenv("HOME");
    std::string base = (home != nullptr && home[0] == '/') ? home : "/tmp";
    return host_child(base, ".local/share/storvel/windows");
}

std::string get_windows_directory()
{
    std::string host = host_windows_directory();
    if (!make_host_folders(host))
        return "";
    return path_from_host(host);
}

void path_reset() { s_path = PathState {}; }

std::string path_text_to_host(std::string_view text)
{
    if (is_ascii(text))
        return std::string(text);
    return code_page_to_utf8(CP_ACP, text);
}

std::string path_text_from_host(std::string_view host_text)
{
    if (is_ascii(host_text))
        return std::string(host_text);
    return utf8_to_code_page(CP_ACP, host_text);
}

// One code point of UTF-8 text; a byte that does not start a valid sequence stands for itself
// (as U+DC00 + byte), so that names which are not UTF-8 still compare byte for byte.
static char32_t next_code_point(std::string_view text, size_t& i)
{
    uint8_t lead = uint8_t(text[i]);
    size_t length = lead < 0x80 ? 1
        : (lead >> 5) == 6      ? 2
        : (lead >> 4) == 14     ? 3
        : (lead >> 3) == 30     ? 4
                                : 0;
    if (length == 0 || text.size() - i < length) {
        i++;
        return lead < 0x80 ? lead : char32_t(0xDC00 + lead);
    }
    char32_t cp = length == 1 ? lead : (lead & (0x7F >> length));
    for (size_t k = 1; k < length; k++) {
        uint8_t trail = uint8_t(text[i + k]);
        if ((trail & 0xC0) != 0x80) {
            i++;
            return char32_t(0xDC00 + lead);
        }
        cp = (cp << 6) | (trail & 0x3F);
    }
    i += length;
    return cp;
}

// Upper-case pairs that file names fold together. Windows folds every script that has case;
// these are the ones whose letters the code pages of the programs can spell.
struct CaseRange {
    char32_t first;
    char32_t last;
    char32_t delta; // subtracted from a lower-case letter
    int parity; // -1: every letter of the range; 0 or 1: lower case has that parity
};
static const CaseRange kCaseRanges[] = {
    { 0x0061, 0x007A, 0x20, -1 }, // ASCII
    { 0x00E0, 0x00F6, 0x20, -1 }, // Latin-1 letters before the division sign
    { 0x00F8, 0x00FE, 0x20, -1 }, // and after it
    { 0x0100, 0x012F, 1, 1 }, // Latin Extended-A: even upper, odd lower
    { 0x0132, 0x0137, 1, 1 }, // after dotted I and dotless i, which fold to no pair
    { 0x0139, 0x0148, 1, 0 }, // odd upper, even lower
    { 0x014A, 0x0177, 1, 1 }, // even upper again after the apostrophe n
    { 0x0179, 0x017E, 1, 0 }, // Z with accents: odd upper
    { 0x03B1, 0x03C1, 0x20, -1 }, // Greek before final sigma
    { 0x03C2, 0x03C2, 0x1F, -1 }, // final sigma folds to capital sigma
    { 0x03C3, 0x03C9, 0x20, -1 }, // Greek after it
    { 0x0430, 0x044F, 0x20, -1 }, // Cyrillic basic letters
    { 0x0450, 0x045F, 0x50, -1 }, // Cyrillic letters with marks
    { 0xFF41, 0xFF5A, 0x20, -1 }, // full-width Latin of the Far East pages
};

static char32_t fold_case(char32_t cp)
{
    if (cp == 0x00FF)
        return 0x0178;
    for (const CaseRange& range : kCaseRanges) {
        if (cp < range.first || cp > range.last)
            continue;
        if (range.parity < 0 || int(cp & 1) == range.parity)
            return cp - range.delta;
        return cp;
    }
    return cp;
}

static std::u32string folded(std::string_view text)
{
    std::u32string out;
    for (size_t i = 0; i < text.size();)
        out += fold_case(next_code_point(text, i));
    return out;
}

int path_name_compare(std::string_view a, std::string_view b)
{
    std::u32string fa = folded(a);
    std::u32string fb = folded(b);
    return fa < fb ? -1 : fa == fb ? 0 : 1;
}

// Pattern tokens beside the folded characters: the DOS forms that a pattern's '*', '?' and
// '.' take on, as FindFirstFile gives them to the file system.
enum : char32_t {
    kStar = 0x110000, // any run of characters
    kDosStar, // '*' before '.': any run that does not swallow the name's last '.'
    kDosQm, // '?': one character, or none at a '.' or at the end
    kDosDot, // '.' before '?', '*' or the end: a '.' or the end of the name
};

static std::u32string pattern_tokens(std::string_view pattern)
{
    std::u32string text = folded(pattern);
    std::u32string tokens;
    for (size_t i = 0; i < text.size(); i++) {
        char32_t next = i + 1 < text.size() ? text[i + 1] : 0;
        if (text[i] == '?')
            tokens += kDosQm;
        else if (text[i] == '*')
            tokens += next == '.' ? kDosStar : kStar;
        else if (text[i] == '.' && (next == '?' || next == '*' || next == 0))
            tokens += kDosDot;
        else
            tokens += text[i];
    }
    return tokens;
}

bool path_wildcard_match(std::string_view pattern, std::string_view name)
{
    std::u32string p = pattern_tokens(pattern);
    std::u32string n = folded(name);
    size_t last_dot = n.rfind(U'.');
    // matches[j]: the tokens from i on match the name from j on; filled from the back.
    std::vector<char> matches(n.size() + 2, 0), next(n.size() + 2, 0);
    next[n.size()] = 1;
    for (size_t i = p.size(); i-- > 0;) {
        for (size_t j = n.size() + 1; j-- > 0;) {
            bool at_end = j == n.size();
            char32_t t = p[i];
            bool ok;
            if (t == kStar)
                ok = next[j] || (!at_end && matches[j + 1]);
            else if (t == kDosStar)
                ok = next[j] || (!at_end && j != last_dot && matches[j + 1]);
            else if (t == kDosQm)
                ok = (at_end || n[j] == '.') ? next[j] : next[j + 1];
            else if (t == kDosDot)
                ok = at_end ? next[j] : (n[j] == '.' && next[j + 1]);
            else
                ok = !at_end && n[j] == t && next[j + 1];
            matches[j] = ok;
        }
        std::swap(matches, next);
    }
    return next[0] != 0;
}

size_t path_name_offset(std::string_view path)
{
    size_t start = (path.size() >= 2 && path[1] == ':' && drive_letter(path[0])) ? 2 : 0;
    for (size_t i = start; i < path.size(); i += char_length(path, i)) {
        if (is_separator(path[i]))
            start = i + 1;
    }
    return start;
}

uint32_t path_error_from_errno(int host_errno, const std::string& host_path)
{
    if (host_errno != ENOENT)
        return error_from_errno(host_errno);
    size_t slash = host_path.rfind('/');
    std::string folder = slash == std::string::npos ? "."
        : slash == 0                                ? "/"
                                                    : host_path.substr(0, slash);
    struct stat st;
    bool folder_exists = stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    return folder_exists ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

} // namespace plat
