#include "platform/ipc/ipc_script.h"

#include <cstdio>

#include "platform/ipc/ipc.h"
#include "platform/kernel/atom.h"
#include "platform/kernel/codepage.h"
#include "platform/kernel/error.h"
#include "platform/kernel/log.h"
#include "platform/window/window.h"
#include "platform/window/wintree.h"

namespace plat {

constexpr uint32_t kServeMaxMs = 24 * 60 * 60 * 1000;

struct Word {
    std::string text;
    bool quoted = false;
};

static bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// The next blank-separated word; a word in double quotes keeps its blanks.
static bool take_word(std::string_view& rest, Word& word)
{
    while (!rest.empty() && is_blank(rest.front()))
        rest.remove_prefix(1);
    if (rest.empty())
        return false;
    word.quoted = rest.front() == '"';
    size_t end = 0;
    if (word.quoted) {
        end = rest.find('"', 1);
        if (end == std::string_view::npos)
            return false;
        word.text = std::string(rest.substr(1, end - 1));
        rest.remove_prefix(end + 1);
        return true;
    }
    while (end < rest.size() && !is_blank(rest[end]))
        end++;
    word.text = std::string(rest.substr(0, end));
    rest.remove_prefix(end);
    return true;
}

static bool only_blanks(std::string_view rest)
{
    for (char c : rest) {
        if (!is_blank(c))
            return false;
    }
    return true;
}

// Decimal or 0x hex, up to 64 bits; negative only when allowed.
enum class Sign { unsigned_only, signed_allowed };

static bool parse_number(const std::string& text, Sign sign, uint64_t& value)
{
    std::string_view digits(text);
    bool negative = sign == Sign::signed_allowed && !digits.empty() && digits.front() == '-';
    if (negative)
        digits.remove_prefix(1);
    unsigned base = 10;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        base = 16;
        digits.remove_prefix(2);
    }
    if (digits.empty())
        return false;
    value = 0;
    for (char c : digits) {
        unsigned digit = c >= '0' && c <= '9' ? unsigned(c - '0')
            : c >= 'a' && c <= 'f'            ? unsigned(c - 'a' + 10)
            : c >= 'A' && c <= 'F'            ? unsigned(c - 'A' + 10)
                                              : 99;
        if (digit >= base || value > (UINT64_MAX - digit) / base)
            return false;
        value = value * base + digit;
    }
    if (negative)
        value = uint64_t(-int64_t(value));
    return true;
}

static bool parse_hex_bytes(const std::string& text, std::vector<uint8_t>& bytes)
{
    if (text.size() % 2)
        return false;
    for (size_t i = 0; i < text.size(); i += 2) {
        uint64_t value = 0;
        if (!parse_number("0x" + text.substr(i, 2), Sign::unsigned_only, value))
            return false;
        bytes.push_back(uint8_t(value));
    }
    return true;
}

// CLASS TITLE: the target of send, post and copydata.
static bool parse_target(std::string_view& rest, ScriptCommand& command)
{
    Word window_class;
    Word title;
    if (!take_word(rest, window_class) || !take_word(rest, title))
        return false;
    command.window_class = window_class.text;
    command.title = title.text;
    command.any_title = !title.quoted && title.text == "*";
    return true;
}

static std::string parse_message(ScriptOp op, std::string_view rest, ScriptCommand& command)
{
    Word message;
    Word wparam;
    Word lparam;
    uint64_t value = 0;
    if (!parse_target(rest, command) || !take_word(rest, message) || !take_word(rest, wparam) || !take_word(rest, lparam))
        return "expected CLASS TITLE MSG WPARAM LPARAM";
    if (!parse_number(message.text, Sign::unsigned_only, value) || value > UINT32_MAX)
        return "bad message number " + message.text;
    command.message = uint32_t(value);
    if (!parse_number(wparam.text, Sign::unsigned_only, command.wparam))
        return "bad wparam " + wparam.text;
    if (!parse_number(lparam.text, Sign::signed_allowed, value))
        return "bad lparam " + lparam.text;
    command.lparam = int64_t(value);
    command.ms = kIpcSendTimeoutMs;
    Word timeout;
    if (op == ScriptOp::send && take_word(rest, timeout)) {
        if (!parse_number(timeout.text, Sign::unsigned_only, value) || value > kServeMaxMs)
            return "bad time-out " + timeout.text;
        command.ms = uint32_t(value);
    }
    return only_blanks(rest) ? std::string() : "unexpected " + std::string(rest);
}

static std::string parse_copy(std::string_view rest, ScriptCommand& command)
{
    Word code;
    Word hex;
    if (!parse_target(rest, command) || !take_word(rest, code) || !take_word(rest, hex))
        return "expected CLASS TITLE DWDATA HEX";
    if (!parse_number(code.text, Sign::unsigned_only, command.wparam))
        return "bad dwData " + code.text;
    if (!parse_hex_bytes(hex.text, command.bytes))
        return "bad bytes " + hex.text;
    return only_blanks(rest) ? std::string() : "unexpected " + std::string(rest);
}

static std::string parse_atom(std::string_view rest, ScriptCommand& command)
{
    Word what;
    Word name;
    if (!take_word(rest, what) || (what.text != "add" && what.text != "find" && what.text != "delete"))
        return "expected add, find or delete";
    if (!take_word(rest, name) || name.text.empty() || !only_blanks(rest))
        return "expected a name";
    command.text = what.text;
    command.title = name.text;
    return {};
}

std::string ipc_script_parse(ScriptOp op, std::string_view arguments, ScriptCommand& command)
{
    Word word;
    uint64_t value = 0;
    switch (op) {
    case ScriptOp::serve:
        if (!take_word(arguments, word) || !parse_number(word.text, Sign::unsigned_only, value) || value > kServeMaxMs
            || !only_blanks(arguments))
            return "expected a time in ms";
        command.ms = uint32_t(value);
        return {};
    case ScriptOp::windows: return only_blanks(arguments) ? std::string() : "unexpected " + std::string(arguments);
    case ScriptOp::send:
    case ScriptOp::post: return parse_message(op, arguments, command);
    case ScriptOp::copy_data: return parse_copy(arguments, command);
    case ScriptOp::atom: return parse_atom(arguments, command);
    default: return "not a command on other programs";
    }
}

static bool same_text(const std::string& utf8_a, const std::string& utf8_b)
{
    return lstrcmpi(utf8_to_code_page(CP_ACP, utf8_a).c_str(), utf8_to_code_page(CP_ACP, utf8_b).c_str()) == 0;
}

// The first window of another program that the command names; null when none.
static WindowHandle find_target(const ScriptCommand& command)
{
    for (const SnapshotWindow& window : ipc_other_windows()) {
        bool class_fits = command.window_class == "*" || same_text(window.class_name, command.window_class);
        bool title_fits = command.any_title || same_text(window.title, command.title);
        if (class_fits && title_fits)
            return WindowHandle(window.id);
    }
    set_last_error(ERROR_INVALID_WINDOW_HANDLE);
    return {};
}

static std::string target_text(const ScriptCommand& command)
{
    return command.window_class + " " + (command.any_title ? std::string("*") : log_quote_utf8(command.title));
}

static std::string hex4(uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%04X", value);
    return text;
}

static std::string outcome(bool done, LResult result)
{
    return done ? " answered " + std::to_string(result) : " failed " + std::to_string(get_last_error());
}

static void run_message(const ScriptCommand& command)
{
    WindowHandle target = find_target(command);
    LResult result = 0;
    bool done = false;
    if (target && command.op == ScriptOp::send)
        done = send_message_timeout(target, command.message, WParam(command.wparam), LParam(command.lparam),
            SMTO_NORMAL, command.ms, &result) != 0;
    else if (target) {
        done = post_message(target, command.message, WParam(command.wparam), LParam(command.lparam));
        result = done ? 1 : 0;
    }
    log_event(std::string(command.op == ScriptOp::send ? "send " : "post ") + hex4(command.message) + " wparam "
        + std::to_string(command.wparam) + " lparam " + std::to_string(command.lparam) + " to " + target_text(command)
        + outcome(done, result));
}

// This program's front top-level window: what WM_COPYDATA names as its sender.
static WindowHandle own_window()
{
    const std::vector<WindowHandle>& windows = wintree_top_levels();
    return windows.empty() ? WindowHandle{} : windows.front();
}

static void run_copy(const ScriptCommand& command)
{
    WindowHandle target = find_target(command);
    LResult result = 0;
    bool done = false;
    if (target) {
        CopyDataStruct data;
        data.dw_data = uintptr_t(command.wparam);
        data.cb_data = uint32_t(command.bytes.size());
        data.lp_data = command.bytes.data();
        done = send_message_timeout(target, WM_COPYDATA, WParam(own_window().id), LParam(reinterpret_cast<intptr_t>(&data)),
            SMTO_NORMAL, kIpcSendTimeoutMs, &result) != 0;
    }
    log_event("copydata " + std::to_string(command.wparam) + " bytes " + std::to_string(command.bytes.size()) + " to "
        + target_text(command) + outcome(done, result));
}

static void run_atom(const ScriptCommand& command)
{
    std::string name = utf8_to_code_page(CP_ACP, command.title);
    std::string failed = "atom " + command.text + " " + log_quote_utf8(command.title) + " failed ";
    Atom atom = command.text == "add" ? global_add_atom(name) : global_find_atom(name);
    if (!atom) {
        log_event(failed + std::to_string(get_last_error()));
        return;
    }
    if (command.text != "delete") {
        log_event("atom " + hex4(atom) + " " + log_quote_utf8(command.title));
        return;
    }
    if (global_delete_atom(atom) != 0)
        log_event(failed + std::to_string(get_last_error()));
    else
        log_event("atom " + hex4(atom) + " deleted");
}

static void run_windows()
{
    std::vector<SnapshotWindow> windows = ipc_other_windows();
    if (windows.empty())
        log_event("windows: none");
    for (const SnapshotWindow& window : windows)
        log_event("window " + std::to_string(window.pid) + " " + window.class_name + " " + log_quote_utf8(window.title));
}

void ipc_script_run(const ScriptCommand& command)
{
    switch (command.op) {
    case ScriptOp::serve:
        ipc_serve(command.ms);
        log_event("serving " + std::to_string(command.ms) + " ms");
        break;
    case ScriptOp::windows: run_windows(); break;
    case ScriptOp::send:
    case ScriptOp::post: run_message(command); break;
    case ScriptOp::copy_data: run_copy(command); break;
    case ScriptOp::atom: run_atom(command); break;
    default: break;
    }
}

} // namespace plat
