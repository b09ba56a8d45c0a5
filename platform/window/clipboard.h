// The clipboard with Win32's protocol: open it for a window, empty it (which makes that window
// the owner), set data as memory blocks (kernel/memory.h) that the clipboard then owns, get data
// that stays the clipboard's, close it. It lives in the program; a host clipboard (the
// desktop's, with the display backend) joins in for text: closing after CF_TEXT was set hands
// the text to the host, and opening takes the host's text when someone else changed it.
// Text is in the active code page, NUL-terminated, with CR LF line ends as Win32 keeps them.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/kernel/memory.h"
#include "platform/window/message.h"

namespace plat {

enum : uint32_t {
    CF_TEXT = 1,
    CF_BITMAP = 2,
    CF_OEMTEXT = 7,
    CF_DIB = 8,
    CF_UNICODETEXT = 13,
    CF_LOCALE = 16,
};

enum : uint32_t {
    WM_DESTROYCLIPBOARD = 0x0307,
    WM_CLIPBOARDUPDATE = 0x031D,
};

constexpr uint32_t ERROR_CLIPBOARD_NOT_OPEN = 1418;

// OpenClipboard: false (error 5) while another window has it open. A null window opens it
// for the program as such.
bool open_clipboard(WindowHandle window);
// CloseClipboard: false (1418) when it is not open.
bool close_clipboard();
// EmptyClipboard: frees every block, sends WM_DESTROYCLIPBOARD to the old owner and makes the
// opener the owner. False (1418) when not open.
bool empty_clipboard();
// SetClipboardData: the block is the clipboard's from now on (a block already set for the
// format is freed). Answers the block; null (1418) when not open, 87 for a null block.
GlobalHandle set_clipboard_data(uint32_t format, GlobalHandle data);
// GetClipboardData: the block of the format, still the clipboard's; null when there is none
// (or the clipboard is not open: 1418). CF_OEMTEXT answers the CF_TEXT block.
GlobalHandle get_clipboard_data(uint32_t format);
bool is_clipboard_format_available(uint32_t format);
int count_clipboard_formats();
// EnumClipboardFormats: the format after format (0: the first), 0 after the last.
uint32_t enum_clipboard_formats(uint32_t format);
// RegisterClipboardFormat: ids from 0xC000, the same for the same name (case ignored).
uint32_t register_clipboard_format(std::string_view name);
WindowHandle get_clipboard_owner();
WindowHandle get_open_clipboard_window();

// For the layer: the host's clipboard, in UTF-8.
struct ClipboardHost {
    bool (*set_text)(std::string_view utf8) = nullptr;
    bool (*get_text)(std::string& utf8) = nullptr; // false when the host holds no text
};
void clipboard_set_host(const ClipboardHost* host);
void clipboard_reset();

} // namespace plat
