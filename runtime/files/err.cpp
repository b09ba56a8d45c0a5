#include "runtime/files/err.h"

#include "platform/kernel/clock.h"
#include "platform/kernel/file.h"
#include "platform/window/metrics.h"
#include "platform/controls/msgbox.h"
#include "platform/kernel/path.h"
#include "platform/kernel/resource.h"
#include "runtime/base/fmt.h"
#include "runtime/files/ini.h"
#include "runtime/files/msg.h"
#include "runtime/base/str.h"
#include "runtime/files/util.h"

#include <cctype>
#include <span>

namespace {

// One text is 124 characters long, so the buffers are larger than the 100 the tables suggest.
constexpr int kTextSize = 256;
constexpr int kCategoryMax = 20;
constexpr uint32_t kLogNameId = 49;
constexpr uint32_t kUnknownErrorId = 7052;

struct ErrorText {
    int32_t codes[3]; // 0 ends the list early; code 0 itself only stands first
    uint32_t string_id;
    const char* text; // the string-table entry's text, for a program whose table lacks it
};

// Windows error codes; a code not listed goes on to the runtime's table.
const ErrorText kWindowsTexts[] = {
    { { 2 }, 7055, "no such file or directory" },
    { { 3 }, 7073, "invalid directory specification" },
    { { 4 }, 7062, "too many open files" },
    { { 5 }, 7058, "permission to access this file is denied" },
    { { 6, 30 }, 7056, "bad file handle or attempt to write to read-only file" },
    { { 8, 14, 1130 }, 7057, "computer memory is full" },
    { { 19, 33, 108 }, 7074, "disk is write-protected" },
    { { 32 }, 7065, "file is already open elsewhere" },
    { { 80 }, 7059, "file already exists" },
    { { 112 }, 7063, "disk is full" },
    { { 160 }, 7061, "invalid argument" },
    { { 193 }, 7054, "invalid executable file-format" },
    { { 1117 }, 7072, "file access is denied" },
    { { 1118 }, 7088,
        "the filename format is incorrect, possibly because long filenames are not supported "
        "on this volume. Please use a valid name." },
};

// The runtime's own codes; a code not listed is "unknown error (%d)".
const ErrorText kRuntimeTexts[] = {
    { { 0 }, 7053, "no error" },
    { { 4 }, 7062, "too many open files" },
    { { 5000 }, 7066, "file is damaged or not an Storvel file" },
    { { 5001 }, 7067, "file format is too old" },
    { { 5002 }, 7070, "missing record" },
    { { 5003 }, 7071, "too many records" },
    { { 5004 }, 7069, "file has bad or wrong type" },
    { { 5005, 5007 }, 7068, "SVM file format too old (or new)" },
    { { 5008 }, 7077, "too many icons or variables" },
    { { 5009 }, 7075, "file format is newer than this program version" },
    { { 5011 }, 7552, "internal error (ERR_REC_TOO_BIG)" },
    { { 5012 }, 7553, "internal error (ERR_REC_NEVER_CHANGED)" },
    { { 5013 }, 7087,
        "SVM file version is too old to move cross-platform. Convert the file on Macintosh "
        "first" },
    { { 6000 }, 7076, "import data format is unknown or invalid" },
    { { 6002 }, 7094, "file contains an invalid embeded expression" },
    { { 7003 }, 7554, "cannot use same file" },
    { { 7004 }, 7555, "resource error" },
    { { 8006 }, 7098, "operation failed" },
    { { 8008, 8009 }, 7089, "Plexa failed" },
    { { 8011 }, 7090, "Plexa not found" },
    { { 8012 }, 7091, "data format is not supported or is incorrect for this type of icon" },
    { { 8013 }, 7092, "data incorrect for this format" },
    { { 8016 }, 7095, "unable to find application for specified document" },
    { { 8017 }, 7096, "request not supported" },
    { { 8018 }, 7097, "file untitled" },
};

const ErrorText kUnknownError = { { 0 }, kUnknownErrorId, "unknown error (%d)" };

struct ErrState {
    bool log_in_progress = false; // an internal error raised while the log is written
    ErrContextText course_path = nullptr;
    ErrContextText records_path = nullptr;
    char error_text[kTextSize] = {};
    char runtime_error_text[kTextSize] = {};
};

ErrState s_err;

} // namespace

// The entry from the resources the message box uses, else the text the program was built with.
static std::string load_text(uint32_t id, const char* fallback)
{
    char buffer[kTextSize];
    if (plat::load_string(msg_resource_module(), id, buffer, kTextSize) > 0)
        return buffer;
    return fallback;
}

static const ErrorText* find_text(std::span<const ErrorText> table, int32_t code)
{
    for (const ErrorText& row : table) {
        for (size_t i = 0; i < std::size(row.codes) && (i == 0 || row.codes[i] != 0); i++) {
            if (row.codes[i] == code)
                return &row;
        }
    }
    return nullptr;
}

static const char* format_text(char* out, const ErrorText& row, int32_t code)
{
    std::string format = load_text(row.string_id, row.text);
    fmt_print(out, kTextSize, format.c_str(), code);
    return out;
}

const char* msg_runtime_error_text(int32_t code)
{
    const ErrorText* row = find_text(kRuntimeTexts, code);
    return format_text(s_err.runtime_error_text, row ? *row : kUnknownError, code);
}

const char* msg_error_text(int32_t code)
{
    const ErrorText* row = find_text(kWindowsTexts, code);
    if (!row)
        return msg_runtime_error_text(code);
    return format_text(s_err.error_text, *row, code);
}

static bool log_is_wanted()
{
    char value[kTextSize] = {};
    ini_read_setting(IniSetting::show_errors, nullptr, value, sizeof value);
    char first = char(std::toupper(static_cast<unsigned char>(value[0])));
    return first == 'Y' || first == 'T' || first == '1';
}

// The Windows folder and the log's name, with one backslash between them whatever the
// folder ends with; the last character is found by characters, since a trail byte of a
// double-byte character may be a backslash.
static std::string log_path()
{
    std::string folder = plat::get_windows_directory();
    if (folder.empty())
        return "";
    const char* start = folder.c_str();
    const char* last = str_prev_char(start, start + folder.size(), int(folder.size()));
    bool ends_with_backslash
        = last && *last == '\\' && str_next_char(last) == start + folder.size();
    if (!ends_with_backslash)
        folder += '\\';
    return folder + load_text(kLogNameId, "V5W.LOG");
}

static std::string two_digits(int value)
{
    char out[8];
    fmt_print(out, int(sizeof out), "%02d", int32_t(value % 100));
    return out;
}

static std::string date_line()
{
    plat::SystemTime now;
    plat::get_local_time(now);
    return two_digits(now.month) + "/" + two_digits(now.day) + "/" + two_digits(now.year) + " "
        + two_digits(now.hour) + ":" + two_digits(now.minute) + ":" + two_digits(now.second)
        + "\r\n";
}

static std::string program_line()
{
    char version[kTextSize] = {};
    util_version_text(version, kTextSize, 1);
    return plat::get_program_path() + " " + version + "\r\n";
}

static std::string windows_line()
{
    const OsVersionInfo* os = util_os_version();
    char line[kTextSize];
    fmt_print(line, kTextSize, "%sWindows %d.%d\r\n",
        plat::get_system_metrics(plat::SM_DEBUG) ? "Debug " : "", os->major, os->minor);
    return line;
}

static std::string context_line(const char* label, ErrContextText source)
{
    std::string value = source ? source() : std::string();
    return value.empty() ? std::string() : label + value + "\r\n";
}

static std::string log_entry(const char* category, const char* text)
{
    std::string entry = "+++ ";
    entry.append(category, size_t(str_fit_length(category, kCategoryMax)));
    entry += ": ";
    entry += text;
    entry += "\r\n";
    entry += date_line() + program_line() + windows_line();
    entry += context_line("Course: ", s_err.course_path);
    entry += context_line("Records: ", s_err.records_path);
    return entry + "\r\n";
}

// Opened or created, never truncated: a log that cannot be opened for another reason keeps
// its old entries.
static void append_to_log(const std::string& path, const std::string& entry)
{
    plat::FileHandle file = plat::create_file(path, plat::GENERIC_READ | plat::GENERIC_WRITE,
        plat::FILE_SHARE_READ, plat::OPEN_ALWAYS, plat::FILE_ATTRIBUTE_NORMAL);
    if (!file)
        return;
    if (plat::set_file_pointer(file, 0, plat::FILE_END) >= 0)
        plat::write_file(file, entry.data(), uint32_t(entry.size()), nullptr);
    plat::close_handle(file);
}

// Set only while a write runs: an internal error that leaves the write through its exception
// must not silence the entries of the errors after it.
struct LogInProgress {
    LogInProgress() { s_err.log_in_progress = true; }
    ~LogInProgress() { s_err.log_in_progress = false; }
};

int err_write_log(const char* category, const char* text)
{
    if (s_err.log_in_progress)
        return 1;
    LogInProgress writing;
    if (!log_is_wanted())
        return 0;
    std::string path = log_path();
    if (!path.empty())
        append_to_log(path, log_entry(category ? category : "", text ? text : ""));
    return 1;
}

void err_internal(const char* module, int line)
{
    char text[kTextSize];
    fmt_print(text, kTextSize, "%s, %d", module, int32_t(line));
    err_write_log("Internal Error", text);
    plat::message_box({}, text, "Internal Error", plat::MB_TASKMODAL | plat::MB_ICONERROR);
    plat::raise_internal_error(module, line);
}

void err_set_log_context(ErrContextText course_path, ErrContextText records_path)
{
    s_err.course_path = course_path;
    s_err.records_path = records_path;
}

void err_reset() { s_err = ErrState {}; }
