#include "platform/kernel/profile.h"

#include "platform/kernel/codepage.h"

#include "platform/kernel/error.h"
#include "platform/kernel/file.h"
#include "platform/kernel/file_save.h"
#include "platform/kernel/path.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_set>
#include <vector>

namespace plat {

// Offsets are 32-bit to keep a line record small; the cap keeps them valid and bounds the
// memory a hostile file can make us spend (a settings file is a few kilobytes).
constexpr size_t kMaxProfileBytes = 4u << 20;
constexpr size_t kNoLine = SIZE_MAX;

enum class LineKind : uint8_t { section, entry, other };

struct Span {
    uint32_t begin = 0;
    uint32_t end = 0;
};

// Only the lines that give a section its extent are kept: headers, entries and other text.
// Blank lines and comments are never looked up, so they stay out of the table (and a file of
// empty lines costs nothing).
struct ProfileLine {
    LineKind kind = LineKind::other;
    uint32_t begin = 0; // first byte of the line
    uint32_t next = 0;  // first byte after its line break, or the end of the text
    Span name;          // section name or key, blanks trimmed
    Span value;         // entry value, blanks trimmed, quotes kept
};

struct ProfileView {
    std::string_view text;
    std::vector<ProfileLine> lines;
};

static bool is_blank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

// An all-blank range trims to an empty span at its start, so that a value written into it
// lands before any trailing '\r'.
static Span trim(std::string_view text, size_t begin, size_t end)
{
    while (end > begin && is_blank(text[end - 1]))
        --end;
    while (begin < end && is_blank(text[begin]))
        ++begin;
    return {uint32_t(begin), uint32_t(end)};
}

static std::string_view span_text(const ProfileView& view, Span span)
{
    return view.text.substr(span.begin, span.end - span.begin);
}

static char fold(char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; }

// Folds single-byte letters only: a trail byte of a double-byte character may look like a
// letter and must keep its value.
static std::string folded(std::string_view name)
{
    std::string out(name);
    for (size_t i = 0; i < out.size(); ++i) {
        if (is_dbcs_lead_byte(uint8_t(out[i])) && i + 1 < out.size())
            ++i;
        else
            out[i] = fold(out[i]);
    }
    return out;
}

static bool names_equal(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && folded(a) == folded(b);
}

// Callers' names are trimmed as the file's are, so " Key " finds "Key".
static std::string_view given_name(const char* name)
{
    std::string_view text = name ? name : "";
    Span span = trim(text, 0, text.size());
    return text.substr(span.begin, span.end - span.begin);
}

// line -> blank | ';' comment | '[' name [']' anything] | key '=' value | other text
// content ends at the line break or at a NUL byte, whichever comes first.
static void classify_line(std::string_view text, size_t start, size_t content_end,
                          std::vector<ProfileLine>& lines, ProfileLine line)
{
    Span content = trim(text, start, content_end);
    if (content.begin == content.end || text[content.begin] == ';')
        return;
    if (text[content.begin] == '[') {
        std::string_view rest = text.substr(content.begin + 1, content.end - content.begin - 1);
        size_t close = rest.find(']');
        size_t name_end = close == std::string_view::npos ? content.end : content.begin + 1 + close;
        line.kind = LineKind::section;
        line.name = trim(text, content.begin + 1, name_end);
    } else {
        std::string_view body = text.substr(content.begin, content.end - content.begin);
        size_t equals = body.find('=');
        if (equals != std::string_view::npos) {
            line.kind = LineKind::entry;
            line.name = trim(text, content.begin, content.begin + equals);
            line.value = trim(text, content.begin + equals + 1, content.end);
        }
    }
    lines.push_back(line);
}

// False (last error 8) for text past the cap.
static bool parse_profile(std::string_view text, ProfileView& view)
{
    view.text = text;
    view.lines.clear();
    if (text.size() > kMaxProfileBytes) {
        set_last_error(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    size_t position = 0;
    while (position < text.size()) {
        const char* line_start = text.data() + position;
        size_t length = text.size() - position;
        const void* newline = std::memchr(line_start, '\n', length);
        size_t end
            = newline ? size_t(static_cast<const char*>(newline) - text.data()) : text.size();
        const void* nul = std::memchr(line_start, 0, end - position);
        size_t content_end = nul ? size_t(static_cast<const char*>(nul) - text.data()) : end;
        size_t start = position;
        if (position == 0 && text.substr(0, 3) == "\xEF\xBB\xBF" && content_end >= 3)
            start = 3; // a UTF-8 mark left by an editor hides the first header otherwise
        ProfileLine line;
        line.begin = uint32_t(position);
        line.next = uint32_t(newline ? end + 1 : end);
        classify_line(text, start, content_end, view.lines, line);
        position = newline ? end + 1 : end;
    }
    return true;
}

static size_t find_section_from(const ProfileView& view, size_t from, std::string_view name)
{
    for (size_t i = from; i < view.lines.size(); ++i) {
        const ProfileLine& line = view.lines[i];
        if (line.kind == LineKind::section && names_equal(span_text(view, line.name), name))
            return i;
    }
    return kNoLine;
}

static size_t find_section(const ProfileView& view, std::string_view name)
{
    return find_section_from(view, 0, name);
}

// One past the section's last line: the next header, or the end of the table.
static size_t section_end(const ProfileView& view, size_t header)
{
    size_t i = header + 1;
    while (i < view.lines.size() && view.lines[i].kind != LineKind::section)
        ++i;
    return i;
}

static size_t find_entry(const ProfileView& view, size_t header, std::string_view key)
{
    size_t end = section_end(view, header);
    for (size_t i = header + 1; i < end; ++i) {
        const ProfileLine& line = view.lines[i];
        if (line.kind == LineKind::entry && names_equal(span_text(view, line.name), key))
            return i;
    }
    return kNoLine;
}

// A value wrapped in matching double or single quotes reads without them.
static std::string_view unquote(std::string_view value)
{
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'')
        && value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

// An empty key name never matches: Win32 answers it with the default.
static bool lookup_value(const ProfileView& view, const char* section, const char* key,
                         std::string_view& value)
{
    std::string_view key_name = given_name(key);
    if (key_name.empty())
        return false;
    size_t header = find_section(view, given_name(section));
    if (header == kNoLine)
        return false;
    size_t entry = find_entry(view, header, key_name);
    if (entry == kNoLine)
        return false;
    value = unquote(span_text(view, view.lines[entry].value));
    return true;
}

enum class ListForm { keys, entries };

// Each name once, in file order: the later duplicates are the ones a read never reaches.
static std::string list_section_names(const ProfileView& view)
{
    std::string list;
    std::unordered_set<std::string> seen;
    for (const ProfileLine& line : view.lines) {
        std::string_view name = span_text(view, line.name);
        if (line.kind != LineKind::section || name.empty() || !seen.insert(folded(name)).second)
            continue;
        list.append(name);
        list.push_back('\0');
    }
    return list;
}

static std::string list_section(const ProfileView& view, size_t header, ListForm form)
{
    std::string list;
    std::unordered_set<std::string> seen;
    size_t end = section_end(view, header);
    for (size_t i = header + 1; i < end; ++i) {
        const ProfileLine& line = view.lines[i];
        std::string_view name = span_text(view, line.name);
        if (line.kind != LineKind::entry || name.empty() || !seen.insert(folded(name)).second)
            continue;
        list.append(name);
        if (form == ListForm::entries) {
            list.push_back('=');
            list.append(span_text(view, line.value));
        }
        list.push_back('\0');
    }
    return list;
}

// A value cut to the buffer keeps size - 1 bytes and its NUL, and says so in its result.
static uint32_t copy_value(std::string_view value, char* out, uint32_t size)
{
    if (size == 0 || !out)
        return 0;
    if (value.size() < size) {
        std::memcpy(out, value.data(), value.size());
        out[value.size()] = '\0';
        return uint32_t(value.size());
    }
    std::memcpy(out, value.data(), size - 1);
    out[size - 1] = '\0';
    set_last_error(ERROR_MORE_DATA);
    return size - 1;
}

// list holds names each followed by its NUL; the buffer gets one more NUL. Cut, the last name
// is cut short and followed by two NULs, and the result is size - 2.
static uint32_t copy_list(const std::string& list, char* out, uint32_t size)
{
    if (size == 0 || !out)
        return 0;
    if (size == 1) {
        out[0] = '\0';
        return 0;
    }
    if (list.size() < size) {
        std::memcpy(out, list.data(), list.size());
        out[list.size()] = '\0';
        if (list.empty())
            out[1] = '\0';
        return uint32_t(list.size());
    }
    std::memcpy(out, list.data(), size - 2);
    out[size - 2] = '\0';
    out[size - 1] = '\0';
    set_last_error(ERROR_MORE_DATA);
    return size - 2;
}

// Trailing blanks of a default are dropped, as Win32 documents.
static uint32_t copy_default(const char* default_value, char* out, uint32_t size)
{
    std::string_view text = default_value ? default_value : "";
    while (!text.empty() && is_blank(text.back()))
        text.remove_suffix(1);
    set_last_error(ERROR_FILE_NOT_FOUND);
    return copy_value(text, out, size);
}

uint32_t profile_get_string(std::string_view text, const char* section, const char* key,
                            const char* default_value, char* out, uint32_t size)
{
    set_last_error(ERROR_SUCCESS);
    ProfileView view;
    if (!parse_profile(text, view)) {
        uint32_t result
            = section ? copy_default(default_value, out, size) : copy_list("", out, size);
        set_last_error(ERROR_NOT_ENOUGH_MEMORY);
        return result;
    }
    if (!section)
        return copy_list(list_section_names(view), out, size);
    if (!key) {
        size_t header = find_section(view, given_name(section));
        std::string list = header == kNoLine ? "" : list_section(view, header, ListForm::keys);
        return list.empty() ? copy_default(default_value, out, size) : copy_list(list, out, size);
    }
    std::string_view value;
    if (!lookup_value(view, section, key, value))
        return copy_default(default_value, out, size);
    return copy_value(value, out, size);
}

static int digit_value(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (fold(c) >= 'A' && fold(c) <= 'F')
        return fold(c) - 'A' + 10;
    return 99;
}

// number -> blanks [sign] ('0x' hex-digits | digits), up to the first other character;
// it wraps at 32 bits as the original's arithmetic does.
static uint32_t parse_int(std::string_view text)
{
    size_t i = 0;
    while (i < text.size() && is_blank(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    uint32_t base = 10;
    if (text.size() - i >= 2 && text[i] == '0' && fold(text[i + 1]) == 'X') {
        base = 16;
        i += 2;
    }
    uint32_t number = 0;
    for (; i < text.size() && uint32_t(digit_value(text[i])) < base; ++i)
        number = number * base + uint32_t(digit_value(text[i]));
    return negative ? 0u - number : number;
}

uint32_t profile_get_int(std::string_view text, const char* section, const char* key,
                         int32_t default_value)
{
    set_last_error(ERROR_SUCCESS);
    ProfileView view;
    std::string_view value;
    if (!parse_profile(text, view) || !section || !lookup_value(view, section, key, value)
        || value.empty())
        return uint32_t(default_value);
    return parse_int(value);
}

uint32_t profile_get_section(std::string_view text, const char* section, char* out, uint32_t size)
{
    set_last_error(ERROR_SUCCESS);
    ProfileView view;
    if (!parse_profile(text, view) || !section)
        return copy_list("", out, size);
    size_t header = find_section(view, given_name(section));
    if (header == kNoLine)
        return copy_list("", out, size);
    return copy_list(list_section(view, header, ListForm::entries), out, size);
}

uint32_t profile_get_section_names(std::string_view text, char* out, uint32_t size)
{
    return profile_get_string(text, nullptr, nullptr, nullptr, out, size);
}

// Replace text[begin, end) by insert. Edits are gathered in file order and applied at once,
// so a file with many duplicates is still rewritten in one pass.
struct Splice {
    uint32_t begin;
    uint32_t end;
    std::string insert;
};

static void apply_splices(std::string& text, const std::vector<Splice>& splices)
{
    std::string out;
    out.reserve(text.size() + 64);
    size_t position = 0;
    for (const Splice& splice : splices) {
        out.append(text, position, splice.begin - position);
        out.append(splice.insert);
        position = splice.end;
    }
    out.append(text, position, std::string::npos);
    text.swap(out);
}

// New lines follow the file's own line breaks; a new file gets the Windows ones.
static std::string_view line_break_of(std::string_view text)
{
    size_t newline = text.find('\n');
    if (newline == std::string_view::npos)
        return "\r\n";
    return newline > 0 && text[newline - 1] == '\r' ? "\r\n" : "\n";
}

static bool ends_with_break(std::string_view text, uint32_t offset)
{
    return offset > 0 && text[offset - 1] == '\n';
}

// lines_text is whole lines, each with its break.
static void insert_after(const ProfileView& view, size_t index, std::string_view lines_text,
                         std::vector<Splice>& splices)
{
    uint32_t at = view.lines[index].next;
    std::string insert
        = ends_with_break(view.text, at) ? "" : std::string(line_break_of(view.text));
    insert.append(lines_text);
    splices.push_back({at, at, insert});
}

static void append_section(const ProfileView& view, std::string_view name, std::string_view body,
                           std::vector<Splice>& splices)
{
    std::string_view line_break = line_break_of(view.text);
    uint32_t at = uint32_t(view.text.size());
    std::string insert;
    if (at > 0 && !ends_with_break(view.text, at))
        insert.append(line_break);
    insert.append("[").append(name).append("]").append(line_break).append(body);
    splices.push_back({at, at, insert});
}

// Every section of that name goes, so that the name then reads as missing. The header and
// its lines through the last entry go; comments below that last entry usually introduce the
// next section and stay.
static void delete_sections(const ProfileView& view, std::string_view name,
                            std::vector<Splice>& splices)
{
    size_t header = find_section(view, name);
    while (header != kNoLine) {
        size_t end = section_end(view, header);
        splices.push_back({view.lines[header].begin, view.lines[end - 1].next, ""});
        header = find_section_from(view, end, name);
    }
}

// Every duplicate of the key in the section goes, else the next one would surface.
static void delete_entries(const ProfileView& view, std::string_view section, std::string_view key,
                           std::vector<Splice>& splices)
{
    size_t header = find_section(view, section);
    if (header == kNoLine)
        return;
    size_t end = section_end(view, header);
    for (size_t i = header + 1; i < end; ++i) {
        const ProfileLine& line = view.lines[i];
        if (line.kind == LineKind::entry && names_equal(span_text(view, line.name), key))
            splices.push_back({line.begin, line.next, ""});
    }
}

// Only the value's bytes change on an existing key, so "Key = old" becomes "Key = new".
static void set_entry(const ProfileView& view, std::string_view section, std::string_view key,
                      std::string_view value, std::vector<Splice>& splices)
{
    std::string line = std::string(key).append("=").append(value).append(line_break_of(view.text));
    size_t header = find_section(view, section);
    if (header == kNoLine)
        return append_section(view, section, line, splices);
    size_t entry = find_entry(view, header, key);
    if (entry == kNoLine)
        return insert_after(view, section_end(view, header) - 1, line, splices);
    Span old = view.lines[entry].value;
    if (span_text(view, old) != value)
        splices.push_back({old.begin, old.end, std::string(value)});
}

static bool has_line_break(std::string_view text)
{
    return text.find_first_of("\r\n") != std::string_view::npos;
}

static bool section_writable(const char* section)
{
    return section && !has_line_break(section)
        && given_name(section).find(']') == std::string_view::npos;
}

static bool key_writable(const char* key)
{
    std::string_view name = given_name(key);
    return !has_line_break(key) && !name.empty() && name.front() != ';' && name.front() != '['
        && name.find('=') == std::string_view::npos;
}

// An entry of a section list is one line as it stands; it must not read as a header.
static bool entries_writable(const char* entries)
{
    for (const char* entry = entries; *entry; entry += std::strlen(entry) + 1) {
        std::string_view name = given_name(entry);
        if (has_line_break(entry) || (!name.empty() && name.front() == '['))
            return false;
    }
    return true;
}

static ProfileEdit refuse()
{
    set_last_error(ERROR_INVALID_PARAMETER);
    return ProfileEdit::refused;
}

static ProfileEdit finish_edit(std::string& text, const std::vector<Splice>& splices)
{
    set_last_error(ERROR_SUCCESS);
    if (splices.empty())
        return ProfileEdit::unchanged;
    apply_splices(text, splices);
    return ProfileEdit::changed;
}

ProfileEdit profile_set_string(std::string& text, const char* section, const char* key,
                               const char* value)
{
    ProfileView view;
    if (!parse_profile(text, view))
        return ProfileEdit::refused;
    if (!section_writable(section) || (key && !key_writable(key))
        || (value && has_line_break(value)))
        return refuse();
    std::vector<Splice> splices;
    if (!key)
        delete_sections(view, given_name(section), splices);
    else if (!value)
        delete_entries(view, given_name(section), given_name(key), splices);
    else
        set_entry(view, given_name(section), given_name(key), value, splices);
    return finish_edit(text, splices);
}

// The section's lines from its header through its last entry are replaced; the other
// sections of the same name are left alone, as reads never reach them.
ProfileEdit profile_set_section(std::string& text, const char* section, const char* entries)
{
    ProfileView view;
    if (!parse_profile(text, view))
        return ProfileEdit::refused;
    if (!section_writable(section) || (entries && !entries_writable(entries)))
        return refuse();
    std::vector<Splice> splices;
    std::string_view name = given_name(section);
    if (!entries) {
        delete_sections(view, name, splices);
        return finish_edit(text, splices);
    }
    std::string body;
    for (const char* entry = entries; *entry; entry += std::strlen(entry) + 1)
        body.append(entry).append(line_break_of(text));
    size_t header = find_section(view, name);
    if (header == kNoLine) {
        append_section(view, name, body, splices);
    } else {
        uint32_t begin = view.lines[header].next;
        uint32_t end = view.lines[section_end(view, header) - 1].next;
        if (!body.empty() && !ends_with_break(text, begin))
            body.insert(0, line_break_of(text));
        if (text.compare(begin, end - begin, body) != 0)
            splices.push_back({begin, end, body});
    }
    return finish_edit(text, splices);
}

// A name without a folder lives in the Windows folder, as Win32 looks for it there.
static std::string profile_host_path(const char* file_name)
{
    std::string_view name = file_name ? file_name : "WIN.INI";
    if (name.empty()) {
        set_last_error(ERROR_INVALID_PARAMETER);
        return {};
    }
    if (name.find_first_of("\\/:") != std::string_view::npos)
        return path_to_host(name);
    std::string folder = get_windows_directory();
    if (folder.empty())
        return {};
    if (folder.back() != '\\' && folder.back() != '/')
        folder.push_back('\\');
    return path_to_host(folder.append(name));
}

// ERROR_SUCCESS with the file's bytes; 2 for a missing file; another code when it cannot be
// read or is larger than any settings file.
static uint32_t load_profile(const std::string& host_path, std::string& text)
{
    text.clear();
    if (!save_recover_host(host_path))
        return get_last_error();
    int fd = ::open(host_path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return error_from_errno(errno);
    struct stat info;
    uint32_t error = ERROR_SUCCESS;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        error = ERROR_ACCESS_DENIED;
    char chunk[16384];
    while (error == ERROR_SUCCESS) {
        ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            error = error_from_errno(errno);
        else if (got == 0)
            break;
        else if (size_t(got) > kMaxProfileBytes - text.size())
            error = ERROR_NOT_ENOUGH_MEMORY;
        else
            text.append(chunk, size_t(got));
    }
    ::close(fd);
    if (error != ERROR_SUCCESS)
        text.clear();
    return error;
}

// The old file stays whole until the new one is safely on disk (file_save.h).
static bool save_profile(const std::string& host_path, std::string_view text)
{
    FileSave save;
    if (!save_begin_host(host_path, save))
        return false;
    bool written = write_file(save.file, text.data(), uint32_t(text.size()), nullptr)
        && set_end_of_file(save.file);
    uint32_t code = get_last_error();
    // Once committed only the folder's sync can have failed: the new text is the file's.
    bool saved = written && (save_commit(save) || save.committed);
    if (written && !saved)
        code = get_last_error();
    else if (!written)
        save_abandon(save);
    close_handle(save.file);
    if (save.old_bytes)
        close_handle(save.old_bytes);
    set_last_error(saved ? ERROR_SUCCESS : code);
    return saved;
}

// Reads see a missing or unreadable file as an empty one; the file's error is then the
// last error, as Win32 leaves 2 after reading a missing file.
static uint32_t read_profile_text(const char* file_name, std::string& text)
{
    std::string host_path = profile_host_path(file_name);
    if (host_path.empty())
        return get_last_error();
    return load_profile(host_path, text);
}

static void keep_read_error(uint32_t error)
{
    if (error != ERROR_SUCCESS)
        set_last_error(error);
}

uint32_t get_private_profile_string(const char* section, const char* key, const char* default_value,
                                    char* out, uint32_t size, const char* file_name)
{
    std::string text;
    uint32_t error = read_profile_text(file_name, text);
    uint32_t result = profile_get_string(text, section, key, default_value, out, size);
    keep_read_error(error);
    return result;
}

uint32_t get_private_profile_int(const char* section, const char* key, int32_t default_value,
                                 const char* file_name)
{
    std::string text;
    uint32_t error = read_profile_text(file_name, text);
    uint32_t result = profile_get_int(text, section, key, default_value);
    keep_read_error(error);
    return result;
}

uint32_t get_private_profile_section(const char* section, char* out, uint32_t size,
                                     const char* file_name)
{
    std::string text;
    uint32_t error = read_profile_text(file_name, text);
    uint32_t result = profile_get_section(text, section, out, size);
    keep_read_error(error);
    return result;
}

uint32_t get_private_profile_section_names(char* out, uint32_t size, const char* file_name)
{
    return get_private_profile_string(nullptr, nullptr, nullptr, out, size, file_name);
}

// Load (a missing file is empty), edit, and save only when something changed: deleting what
// is not there creates no file.
template <typename Edit> static bool edit_profile_file(const char* file_name, Edit edit)
{
    std::string host_path = profile_host_path(file_name);
    if (host_path.empty())
        return false;
    std::string text;
    uint32_t error = load_profile(host_path, text);
    if (error != ERROR_SUCCESS && error != ERROR_FILE_NOT_FOUND) {
        set_last_error(error);
        return false;
    }
    switch (edit(text)) {
    case ProfileEdit::refused: return false;
    case ProfileEdit::unchanged: return true;
    case ProfileEdit::changed: return save_profile(host_path, text);
    }
    return false;
}

bool write_private_profile_string(const char* section, const char* key, const char* value,
                                  const char* file_name)
{
    return edit_profile_file(file_name, [&](std::string& text) {
        return profile_set_string(text, section, key, value);
    });
}

bool write_private_profile_section(const char* section, const char* entries, const char* file_name)
{
    return edit_profile_file(
        file_name, [&](std::string& text) { return profile_set_section(text, section, entries); });
}

uint32_t get_profile_string(const char* section, const char* key, const char* default_value,
                            char* out, uint32_t size)
{
    return get_private_profile_string(section, key, default_value, out, size, "WIN.INI");
}

uint32_t get_profile_int(const char* section, const char* key, int32_t default_value)
{
    return get_private_profile_int(section, key, default_value, "WIN.INI");
}

bool write_profile_string(const char* section, const char* key, const char* value)
{
    return write_private_profile_string(section, key, value, "WIN.INI");
}

} // namespace plat
