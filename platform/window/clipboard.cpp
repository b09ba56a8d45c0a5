#include "platform/window/clipboard.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/kernel/codepage.h"
#include "platform/kernel/error.h"
#include "platform/window/window.h"

namespace plat {

constexpr uint32_t kFirstRegisteredFormat = 0xC000;
// Names past this many are refused: a program registers a handful.
constexpr size_t kRegisteredFormatMax = 0x3FFF;

struct ClipEntry {
    uint32_t format = 0;
    GlobalHandle data;
};

struct ClipboardState {
    bool open = false;
    WindowHandle opener;
    WindowHandle owner;
    bool changed = false; // data set since it was opened
    std::vector<ClipEntry> entries;
    std::vector<std::string> format_names;
    const ClipboardHost* host = nullptr;
    std::string host_text; // the text last exchanged with the host, UTF-8
};

static ClipboardState s_clip;

static void free_entries()
{
    for (ClipEntry& entry : s_clip.entries)
        global_free(entry.data);
    s_clip.entries.clear();
}

static ClipEntry* find_entry(uint32_t format)
{
    for (ClipEntry& entry : s_clip.entries) {
        if (entry.format == format)
            return &entry;
    }
    return nullptr;
}

static GlobalHandle block_of_text(std::string_view text)
{
    GlobalHandle block = global_alloc(GMEM_MOVEABLE, text.size() + 1);
    if (auto* bytes = static_cast<char*>(global_lock(block))) {
        std::memcpy(bytes, text.data(), text.size());
        bytes[text.size()] = '\0';
        global_unlock(block);
    }
    return block;
}

// The text of a block, up to its NUL and never past its end.
static std::string text_of_block(GlobalHandle block)
{
    const auto* bytes = static_cast<const char*>(global_lock(block));
    if (!bytes)
        return {};
    std::string text(bytes, strnlen(bytes, global_size(block)));
    global_unlock(block);
    return text;
}

static std::string with_crlf(std::string_view text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); i++) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
            out += '\r';
        out += text[i];
    }
    return out;
}

static std::string without_cr_before_lf(std::string_view text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); i++) {
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n'))
            out += text[i];
    }
    return out;
}

// Text that another program put on the host's clipboard replaces what this program holds.
static void take_host_text()
{
    std::string text;
    if (!s_clip.host || !s_clip.host->get_text || !s_clip.host->get_text(text) || text == s_clip.host_text)
        return;
    s_clip.host_text = text;
    free_entries();
    s_clip.owner = {};
    GlobalHandle block = block_of_text(with_crlf(utf8_to_code_page(CP_ACP, text)));
    if (block)
        s_clip.entries.push_back(ClipEntry{CF_TEXT, block});
}

static void give_host_text()
{
    ClipEntry* entry = find_entry(CF_TEXT);
    if (!s_clip.host || !s_clip.host->set_text || !entry)
        return;
    std::string text = without_cr_before_lf(code_page_to_utf8(CP_ACP, text_of_block(entry->data)));
    if (s_clip.host->set_text(text))
        s_clip.host_text = text;
}

bool open_clipboard(WindowHandle window)
{
    if (s_clip.open && s_clip.opener != window) {
        set_last_error(ERROR_ACCESS_DENIED);
        return false;
    }
    s_clip.open = true;
    s_clip.opener = window;
    s_clip.changed = false;
    take_host_text();
    return true;
}

static bool check_open()
{
    if (!s_clip.open)
        set_last_error(ERROR_CLIPBOARD_NOT_OPEN);
    return s_clip.open;
}

bool close_clipboard()
{
    if (!check_open())
        return false;
    if (s_clip.changed)
        give_host_text();
    s_clip.open = false;
    s_clip.opener = {};
    s_clip.changed = false;
    return true;
}

bool empty_clipboard()
{
    if (!check_open())
        return false;
    WindowHandle old_owner = s_clip.owner;
    free_entries();
    s_clip.owner = s_clip.opener;
    s_clip.changed = true;
    if (old_owner && is_window(old_owner))
        send_message(old_owner, WM_DESTROYCLIPBOARD, 0, 0);
    return true;
}

GlobalHandle set_clipboard_data(uint32_t format, GlobalHandle data)
{
    if (!check_open())
        return {};
    if (!data || format == 0) {
        set_last_error(ERROR_INVALID_PARAMETER);
        return {};
    }
    if (ClipEntry* entry = find_entry(format)) {
        if (entry->data != data)
            global_free(entry->data);
        entry->data = data;
    } else {
        s_clip.entries.push_back(ClipEntry{format, data});
    }
    s_clip.changed = true;
    return data;
}

GlobalHandle get_clipboard_data(uint32_t format)
{
    if (!check_open())
        return {};
    ClipEntry* entry = find_entry(format);
    if (!entry && format == CF_OEMTEXT)
        entry = find_entry(CF_TEXT);
    return entry ? entry->data : GlobalHandle{};
}

// Asking without opening still sees what the host holds now.
static void refresh_when_closed()
{
    if (!s_clip.open)
        take_host_text();
}

bool is_clipboard_format_available(uint32_t format)
{
    refresh_when_closed();
    return find_entry(format) || (format == CF_OEMTEXT && find_entry(CF_TEXT));
}

int count_clipboard_formats()
{
    refresh_when_closed();
    return int(s_clip.entries.size());
}

uint32_t enum_clipboard_formats(uint32_t format)
{
    refresh_when_closed();
    if (format == 0)
        return s_clip.entries.empty() ? 0 : s_clip.entries.front().format;
    for (size_t i = 0; i + 1 < s_clip.entries.size(); i++) {
        if (s_clip.entries[i].format == format)
            return s_clip.entries[i + 1].format;
    }
    return 0;
}

uint32_t register_clipboard_format(std::string_view name)
{
    if (name.empty()) {
        set_last_error(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::vector<std::string>& names = s_clip.format_names;
    for (size_t i = 0; i < names.size(); i++) {
        if (lstrcmpi(names[i].c_str(), std::string(name).c_str()) == 0)
            return kFirstRegisteredFormat + uint32_t(i);
    }
    if (names.size() >= kRegisteredFormatMax) {
        set_last_error(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    names.emplace_back(name);
    return kFirstRegisteredFormat + uint32_t(names.size() - 1);
}

WindowHandle get_clipboard_owner() { return is_window(s_clip.owner) ? s_clip.owner : WindowHandle{}; }

WindowHandle get_open_clipboard_window() { return s_clip.open ? s_clip.opener : WindowHandle{}; }

void clipboard_set_host(const ClipboardHost* host)
{
    s_clip.host = host;
    s_clip.host_text.clear();
}

void clipboard_reset()
{
    free_entries();
    s_clip = ClipboardState{};
}

} // namespace plat
