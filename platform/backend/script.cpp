#include "platform/backend/script.h"

#include <deque>
#include <fstream>
#include <sstream>

#include "platform/kernel/clock.h"
#include "platform/kernel/codepage.h"
#include "platform/window/focus.h"
#include "platform/backend/headless.h"
#include "platform/ime/ime.h"
#include "platform/ipc/ipc_script.h"
#include "platform/window/keyboard.h"
#include "platform/window/styles.h"
#include "platform/window/window.h"
#include "platform/window/wintree.h"

namespace plat {

// A script longer than this is refused: no real script comes near, and a runaway file must not
// fill memory.
constexpr size_t kScriptMaxBytes = 4 << 20;
constexpr uint32_t kWaitMaxMs = 24 * 60 * 60 * 1000;
constexpr int32_t kCoordinateMax = 32767;

struct ScriptState {
    std::vector<ScriptCommand> commands;
    size_t next = 0;
    uint32_t due = 0;
    bool quit_ran = false;
    std::deque<std::string> answers;
    std::deque<std::string> files;
    ScriptServices services;
};

static ScriptState s_script;

struct OpName {
    const char* name;
    ScriptOp op;
};

static const OpName kOps[] = {
    {"wait", ScriptOp::wait},
    {"move", ScriptOp::move},
    {"click", ScriptOp::click},
    {"dblclick", ScriptOp::double_click},
    {"down", ScriptOp::down},
    {"up", ScriptOp::up},
    {"key", ScriptOp::key},
    {"keydown", ScriptOp::key_down},
    {"keyup", ScriptOp::key_up},
    {"type", ScriptOp::type},
    {"compose", ScriptOp::compose},
    {"answer", ScriptOp::answer},
    {"choose-file", ScriptOp::choose_file},
    {"shot", ScriptOp::shot},
    {"quit", ScriptOp::quit},
    {"depth", ScriptOp::depth},
    {"serve", ScriptOp::serve},
    {"windows", ScriptOp::windows},
    {"send", ScriptOp::send},
    {"post", ScriptOp::post},
    {"copydata", ScriptOp::copy_data},
    {"atom", ScriptOp::atom},
};

static bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

static std::string_view trim(std::string_view text)
{
    while (!text.empty() && is_blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && is_blank(text.back()))
        text.remove_suffix(1);
    return text;
}

// The line without its comment; "\#" stays for the text commands to unescape.
static std::string_view strip_comment(std::string_view line)
{
    for (size_t i = 0; i < line.size(); i++) {
        bool starts = line[i] == '#' && (i == 0 || is_blank(line[i - 1]));
        if (starts)
            return line.substr(0, i);
    }
    return line;
}

// "\#" is a '#', "\\" a backslash; a text wholly in double quotes keeps its blanks.
static std::string unescape_text(std::string_view text)
{
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
        text = text.substr(1, text.size() - 2);
    std::string out;
    for (size_t i = 0; i < text.size(); i++) {
        if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == '#' || text[i + 1] == '\\'))
            i++;
        out += text[i];
    }
    return out;
}

static std::string_view next_word(std::string_view& rest)
{
    rest = trim(rest);
    size_t end = 0;
    if (!rest.empty() && rest.front() == '"') {
        end = rest.find('"', 1);
        std::string_view word = rest.substr(1, end == std::string_view::npos ? std::string_view::npos : end - 1);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        return word;
    }
    while (end < rest.size() && !is_blank(rest[end]))
        end++;
    std::string_view word = rest.substr(0, end);
    rest = rest.substr(end);
    return word;
}

static bool parse_int(std::string_view word, int64_t low, int64_t high, int64_t& value)
{
    bool negative = !word.empty() && word.front() == '-';
    if (negative)
        word.remove_prefix(1);
    if (word.empty() || word.size() > 10)
        return false;
    value = 0;
    for (char c : word) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    if (negative)
        value = -value;
    return value >= low && value <= high;
}

static bool parse_button(std::string_view word, MouseButton& button)
{
    if (word.empty() || word == "left")
        button = MouseButton::left;
    else if (word == "right")
        button = MouseButton::right;
    else if (word == "middle")
        button = MouseButton::middle;
    else
        return false;
    return true;
}

// "X Y [button]"
enum class ButtonWord { allowed, refused };

static std::string parse_mouse(std::string_view rest, ScriptCommand& command, ButtonWord button_word)
{
    int64_t x = 0;
    int64_t y = 0;
    if (!parse_int(next_word(rest), -kCoordinateMax, kCoordinateMax, x)
        || !parse_int(next_word(rest), -kCoordinateMax, kCoordinateMax, y))
        return "expected two coordinates";
    command.point = Point{int32_t(x), int32_t(y)};
    std::string_view button = next_word(rest);
    if (!button.empty() && button_word == ButtonWord::refused)
        return "unexpected " + std::string(button);
    if (!parse_button(button, command.button))
        return "unknown button " + std::string(button);
    if (!trim(rest).empty())
        return "unexpected " + std::string(trim(rest));
    return {};
}

static std::string parse_wait(std::string_view rest, ScriptCommand& command)
{
    int64_t ms = 0;
    if (!parse_int(next_word(rest), 0, kWaitMaxMs, ms) || !trim(rest).empty())
        return "expected a time in ms";
    command.ms = uint32_t(ms);
    return {};
}

static std::string parse_depth(std::string_view rest, ScriptCommand& command)
{
    int64_t bits = 0;
    if (!parse_int(next_word(rest), 1, 32, bits) || !trim(rest).empty() || !headless_depth_supported(int(bits)))
        return "expected a depth of 1, 4, 8, 16, 24 or 32";
    command.bits = int(bits);
    return {};
}

static std::string parse_keys(std::string_view rest, ScriptCommand& command)
{
    std::string_view keys = next_word(rest);
    if (!trim(rest).empty() || !keyboard_parse_combination(keys, command.keys))
        return "unknown key " + std::string(keys);
    return {};
}

// type, compose, answer, choose-file, shot and quit: the rest of the line is their argument.
static std::string parse_text(ScriptOp op, std::string_view rest, ScriptCommand& command)
{
    rest = trim(rest);
    switch (op) {
    case ScriptOp::type:
    case ScriptOp::compose:
        command.text = unescape_text(rest);
        return command.text.empty() ? "expected text" : std::string();
    case ScriptOp::answer:
        command.text = std::string(rest);
        return command.text.empty() ? "expected a button" : std::string();
    case ScriptOp::choose_file:
        command.text = rest == "cancel" ? std::string() : std::string(rest);
        return rest.empty() ? "expected a path or 'cancel'" : std::string();
    case ScriptOp::shot:
        command.text = std::string(next_word(rest));
        command.title = unescape_text(trim(rest));
        return command.text.empty() ? "expected a file name" : std::string();
    default: return rest.empty() ? std::string() : "unexpected " + std::string(rest);
    }
}

static std::string parse_arguments(ScriptOp op, std::string_view rest, ScriptCommand& command)
{
    switch (op) {
    case ScriptOp::serve:
    case ScriptOp::windows:
    case ScriptOp::send:
    case ScriptOp::post:
    case ScriptOp::copy_data:
    case ScriptOp::atom: return ipc_script_parse(op, rest, command);
    case ScriptOp::wait: return parse_wait(rest, command);
    case ScriptOp::depth: return parse_depth(rest, command);
    case ScriptOp::move: return parse_mouse(rest, command, ButtonWord::refused);
    case ScriptOp::click:
    case ScriptOp::double_click:
    case ScriptOp::down:
    case ScriptOp::up: return parse_mouse(rest, command, ButtonWord::allowed);
    case ScriptOp::key:
    case ScriptOp::key_down:
    case ScriptOp::key_up: return parse_keys(rest, command);
    default: return parse_text(op, rest, command);
    }
}

static std::string parse_line(std::string_view line, ScriptCommand& command)
{
    std::string_view rest = line;
    std::string_view word = next_word(rest);
    for (const OpName& entry : kOps) {
        if (word == entry.name) {
            command.op = entry.op;
            return parse_arguments(entry.op, rest, command);
        }
    }
    return "unknown command " + std::string(word);
}

bool script_parse(std::string_view source, std::vector<ScriptCommand>& out, std::string& error)
{
    out.clear();
    if (source.size() > kScriptMaxBytes) {
        error = "the script is too long";
        return false;
    }
    int number = 0;
    while (!source.empty()) {
        size_t end = source.find('\n');
        std::string_view line = source.substr(0, end);
        source = end == std::string_view::npos ? std::string_view() : source.substr(end + 1);
        number++;
        line = trim(strip_comment(line));
        if (line.empty())
            continue;
        ScriptCommand command;
        command.line = number;
        std::string problem = parse_line(line, command);
        if (!problem.empty()) {
            error = "line " + std::to_string(number) + ": " + problem;
            out.clear();
            return false;
        }
        out.push_back(std::move(command));
    }
    return true;
}

bool script_load(const std::string& host_path, std::vector<ScriptCommand>& out, std::string& error)
{
    std::ifstream file(host_path, std::ios::binary);
    if (!file) {
        error = "cannot read " + host_path;
        return false;
    }
    std::ostringstream text;
    text << file.rdbuf();
    std::string source = text.str();
    if (!script_parse(source, out, error)) {
        error = host_path + ", " + error;
        return false;
    }
    return true;
}

void script_start(std::vector<ScriptCommand> commands)
{
    s_script.commands = std::move(commands);
    s_script.next = 0;
    s_script.due = get_tick_count();
    s_script.quit_ran = false;
}

bool script_has_next() { return s_script.next < s_script.commands.size(); }

uint32_t script_next_due() { return s_script.due; }

bool script_quit_ran() { return s_script.quit_ran; }

enum class KeyStroke { press, release, press_and_release };

static void press_keys(const std::vector<uint32_t>& keys, KeyStroke stroke)
{
    if (stroke != KeyStroke::release) {
        for (uint32_t vk : keys)
            input_key(vk, true);
    }
    if (stroke != KeyStroke::press) {
        for (auto it = keys.rbegin(); it != keys.rend(); ++it)
            input_key(*it, false);
    }
}

// Each character through its key when the layout has one (so programs see key-downs as from a
// keyboard), else as a committed character.
static void type_text(const std::string& utf8)
{
    std::string bytes = utf8_to_code_page(CP_ACP, utf8);
    for (char c : bytes) {
        uint32_t vk = 0;
        bool shift = false;
        if (uint8_t(c) < 0x80 && keyboard_key_for_char(uint8_t(c), vk, shift)) {
            if (shift)
                input_key(VK_SHIFT, true);
            press_keys({vk}, KeyStroke::press_and_release);
            if (shift)
                input_key(VK_SHIFT, false);
        } else
            input_char(uint8_t(c));
    }
}

static void run_mouse(const ScriptCommand& command)
{
    input_mouse_move(command.point);
    int presses = command.op == ScriptOp::double_click ? 2 : 1;
    for (int i = 0; i < presses; i++) {
        if (command.op != ScriptOp::up && command.op != ScriptOp::move)
            input_mouse_button(command.button, true, command.point);
        if (command.op != ScriptOp::down && command.op != ScriptOp::move)
            input_mouse_button(command.button, false, command.point);
    }
}

static void compose_text(const std::string& utf8)
{
    if (s_script.services.compose)
        s_script.services.compose(utf8);
    else
        ime_compose_text(utf8);
}

static void queue_answer(const std::string& text)
{
    s_script.answers.push_back(text);
    if (s_script.services.answer_queued)
        s_script.services.answer_queued();
}

static void queue_file(const std::string& path)
{
    s_script.files.push_back(path);
    if (s_script.services.file_queued)
        s_script.services.file_queued();
}

static bool execute(const ScriptCommand& command, std::string& error)
{
    switch (command.op) {
    case ScriptOp::wait: s_script.due = get_tick_count() + command.ms; return true;
    case ScriptOp::move:
    case ScriptOp::click:
    case ScriptOp::double_click:
    case ScriptOp::down:
    case ScriptOp::up: run_mouse(command); return true;
    case ScriptOp::key: press_keys(command.keys, KeyStroke::press_and_release); return true;
    case ScriptOp::key_down: press_keys(command.keys, KeyStroke::press); return true;
    case ScriptOp::key_up: press_keys(command.keys, KeyStroke::release); return true;
    case ScriptOp::type: type_text(command.text); return true;
    case ScriptOp::compose: compose_text(command.text); return true;
    case ScriptOp::answer: queue_answer(command.text); return true;
    case ScriptOp::choose_file: queue_file(command.text); return true;
    case ScriptOp::shot: return headless_shot(command.text, command.title, error);
    case ScriptOp::depth: headless_set_depth(command.bits); return true;
    case ScriptOp::quit:
        s_script.quit_ran = true;
        script_close_program();
        return true;
    case ScriptOp::serve:
    case ScriptOp::windows:
    case ScriptOp::send:
    case ScriptOp::post:
    case ScriptOp::copy_data:
    case ScriptOp::atom: ipc_script_run(command); return true;
    }
    return true;
}

bool script_run_next(std::string& error)
{
    if (!script_has_next())
        return true;
    const ScriptCommand& command = s_script.commands[s_script.next++];
    s_script.due = get_tick_count();
    if (execute(command, error))
        return true;
    error = "PLAT_SCRIPT line " + std::to_string(command.line) + ": " + error;
    return false;
}

static bool closable(const WindowRecord* window)
{
    return window && (window->style & WS_VISIBLE) && !window->destroying;
}

// The program's main window: the owner at the root of the active window's owners, as long as
// a person could click its close box (a modal dialog disables it: then the dialog closes).
static WindowHandle main_window_of_active()
{
    WindowHandle active = get_active_window();
    WindowHandle root = active ? get_ancestor(active, GA_ROOTOWNER) : WindowHandle{};
    WindowRecord* record = wintree_find(root);
    if (closable(record) && !(record->style & WS_DISABLED))
        return root;
    return active;
}

void script_close_program()
{
    WindowHandle target = main_window_of_active();
    if (!closable(wintree_find(target))) {
        target = {};
        for (WindowHandle top : wintree_top_levels()) {
            if (closable(wintree_find(top))) {
                target = top;
                break;
            }
        }
    }
    if (target)
        post_message(target, WM_SYSCOMMAND, SC_CLOSE, 0);
    else
        post_quit_message(0);
}

void script_set_services(const ScriptServices& services) { s_script.services = services; }

bool script_take_answer(std::string& button)
{
    if (s_script.answers.empty())
        return false;
    button = s_script.answers.front();
    s_script.answers.pop_front();
    return true;
}

bool script_take_chosen_file(std::string& path)
{
    if (s_script.files.empty())
        return false;
    path = s_script.files.front();
    s_script.files.pop_front();
    return true;
}

void script_reset() { s_script = ScriptState{}; }

} // namespace plat
