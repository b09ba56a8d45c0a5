#include "runtime/files/util.h"

#include "platform/kernel/byte_io.h"
#include "platform/window/input.h"
#include "platform/window/keyboard.h"
#include "platform/kernel/log.h"
#include "platform/window/window.h"
#include "runtime/base/fmt.h"
#include "runtime/base/mem.h"
#include "runtime/base/str.h"
#include "runtime/base/str_edit.h"

#include <string>

namespace {

// The version the runtime reports on every host.
constexpr uint32_t kReportedPlatform = 2; // Windows NT
constexpr int32_t kReportedMajor = 5;
constexpr int32_t kReportedMinor = 1;

constexpr uint32_t kVersionFormatId = 2; // "%s (%s)%s"
constexpr uint32_t kProcessorTextBase = 7808;
constexpr uint32_t kProcessor32Bit = 2;
constexpr uint32_t kProcessorMmx = 5;
constexpr uint32_t kSingleByteTextId = 8;
constexpr uint32_t kDoubleByteTextId = 9;
constexpr uint32_t kOsTextBase = 7816;
// The version text is these entries joined; the shipped table fills only entry 1.
constexpr uint32_t kVersionPartIds[] = { 3, 4, 1, 5, 6 };
constexpr size_t kVersionTextMax = 255;
constexpr int kTableTextSize = 256; // string-table entries are read through buffers this size

// The English texts, for a program whose string table lacks them.
const StrTableDefault kDefaultTexts[] = {
    { 1, "5.0" },
    { 2, "%s (%s)%s" },
    { 9, " (2-byte)" },
    { 7810, "32-bit" },
    { 7813, "MMX(tm) technology" },
    { 7817, "Windows 95 (%ld.%ld)" },
    { 7818, "Windows 98 (%ld.%ld)" },
    { 7819, "Windows NT (%ld.%ld)" },
    { 7820, "Win32s on Windows %ld.%ld" },
};

// Message ranges that Ctrl+Break throws away: keys, client mouse, non-client mouse.
struct MessageRange {
    uint32_t first;
    uint32_t last;
};
const MessageRange kBreakDiscards[] = {
    { 0x100, 0x108 },
    { 0x200, 0x209 },
    { 0xA0, 0xA9 },
};

struct UtilState {
    bool version_made = false;
    OsVersionInfo version;
    UtilSoundStop sound_stop = nullptr;
};

UtilState s_util;

} // namespace

static std::string load_text(uint32_t id)
{
    return str_load_text(id, kTableTextSize, kDefaultTexts);
}

void util_os_version_describe(OsVersionInfo& info, uint32_t platform, int32_t major, int32_t minor)
{
    info = OsVersionInfo {};
    info.major = major;
    info.minor = minor;
    uint32_t kind = 3;
    if (platform == 0) {
        kind = 4;
        info.is_win32s = 1;
    } else if (platform == 1) {
        kind = (major < 4 || minor < 10) ? 1 : 2;
        (kind == 1 ? info.is_95 : info.is_98) = 1;
    } else {
        info.is_nt = 1;
    }
    std::string format = load_text(kOsTextBase + kind);
    int32_t shown_minor = minor % 10 == 0 ? minor / 10 : minor;
    info.text_length
        = fmt_print(info.text, int(sizeof info.text), format.c_str(), major, shown_minor);
}

const OsVersionInfo* util_os_version()
{
    if (!s_util.version_made) {
        util_os_version_describe(s_util.version, kReportedPlatform, kReportedMajor, kReportedMinor);
        s_util.version_made = true;
    }
    return &s_util.version;
}

int util_os_is_nt() { return util_os_version()->is_nt; }

int util_os_new_shell()
{
    const OsVersionInfo* info = util_os_version();
    return (info->is_95 || info->is_98 || (info->is_nt && info->major > 3)) ? 1 : 0;
}

int util_os_new_shell_alt() { return util_os_new_shell(); }

int util_version_text(char* out, int size, int processor_flag)
{
    if (!out || size < 1)
        return 0;
    std::string version;
    for (uint32_t id : kVersionPartIds)
        version += load_text(id);
    if (version.size() > kVersionTextMax)
        version.resize(size_t(str_fit_length(version.c_str(), int(kVersionTextMax))));
    uint32_t processor_code
        = processor_flag && app_mmx_available() ? kProcessorMmx : kProcessor32Bit;
    std::string processor = load_text(kProcessorTextBase + processor_code);
    std::string text_kind
        = load_text(str_settings().double_byte ? kDoubleByteTextId : kSingleByteTextId);
    std::string format = load_text(kVersionFormatId);
    if (version.empty() || processor.empty() || format.empty()) {
        out[0] = '\0';
        return 0;
    }
    return fmt_print(
        out, size, format.c_str(), version.c_str(), processor.c_str(), text_kind.c_str());
}

static void discard_messages(uint32_t first, uint32_t last)
{
    plat::Msg msg;
    while (plat::peek_message(msg, {}, first, last, plat::PM_REMOVE)) { }
}

int util_ctrl_break_pressed()
{
    // Both asked every time: each read also clears the key's "pressed since" bit.
    bool cancel = plat::get_async_key_state(plat::VK_CANCEL) < 0;
    bool control = plat::get_async_key_state(plat::VK_CONTROL) < 0;
    if (!cancel || !control)
        return 0;
    for (const MessageRange& range : kBreakDiscards)
        discard_messages(range.first, range.last);
    return 1;
}

int util_escape_pending(plat::WindowHandle window)
{
    plat::Msg msg;
    if (!plat::peek_message(msg, window, plat::WM_KEYDOWN, plat::WM_KEYDOWN, plat::PM_NOREMOVE))
        return 0;
    if (msg.wparam != plat::VK_ESCAPE)
        return 0;
    plat::peek_message(msg, window, plat::WM_KEYDOWN, plat::WM_KEYDOWN, plat::PM_REMOVE);
    return 1;
}

int util_left_button_down()
{
    if (plat::get_key_state(plat::VK_LBUTTON) >= 0)
        return 0;
    plat::Msg msg;
    if (plat::peek_message(msg, {}, plat::WM_LBUTTONUP, plat::WM_LBUTTONDBLCLK, plat::PM_NOREMOVE))
        return 0;
    if (plat::peek_message(
            msg, {}, plat::WM_NCLBUTTONUP, plat::WM_NCLBUTTONDBLCLK, plat::PM_NOREMOVE))
        return 0;
    return 1;
}

int util_message_pending()
{
    plat::Msg msg;
    return plat::peek_message(msg, plat::PM_NOREMOVE) ? 1 : 0;
}

int util_cursor_client_pos(plat::WindowHandle window, plat::Point& out)
{
    plat::Point point;
    if (!plat::get_cursor_pos(point) || !plat::screen_to_client(window, point))
        return 0;
    out = point;
    return 1;
}

uint32_t util_checksum(const void* words, size_t byte_count)
{
    uint16_t left = uint16_t(byte_count);
    uint32_t value = left;
    plat::ByteReader reader(words, words ? left : 0);
    while (left > 4) {
        value = (value + reader.u32le()) | left;
        left -= 4;
    }
    return value;
}

void util_stop_sound()
{
    if (s_util.sound_stop)
        s_util.sound_stop();
}

void util_beep()
{
    util_stop_sound();
    plat::log_event("beep");
}

void util_set_sound_stop(UtilSoundStop stop) { s_util.sound_stop = stop; }

void util_reset() { s_util = UtilState {}; }
