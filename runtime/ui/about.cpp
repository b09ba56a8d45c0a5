#include "runtime/ui/about.h"

#include <algorithm>
#include <span>

#include "platform/controls/dialog.h"
#include "platform/controls/dlgmgr.h"
#include "platform/controls/msgbox.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/dib_blit.h"
#include "platform/gdi/gdi_object.h"
#include "platform/gdi/rop.h"
#include "platform/kernel/byte_io.h"
#include "platform/kernel/resource.h"
#include "platform/kernel/resource_forms.h"
#include "platform/window/cursor.h"
#include "platform/window/metrics.h"
#include "platform/window/paint.h"
#include "platform/window/timer.h"
#include "platform/window/wndclass.h"
#include "platform/window/winpos.h"
#include "runtime/display/dib.h"
#include "runtime/display/dobj_focus.h"
#include "runtime/display/font.h"
#include "runtime/display/palette.h"
#include "runtime/files/util.h"
#include "runtime/ui/win_util.h"

using namespace plat;

constexpr const char* kAboutClass = "SVAbout";
constexpr uint32_t kAboutTemplate = 1100;
constexpr uint32_t kLayoutType = 261;
constexpr uint32_t kLayoutName = 261;
constexpr uint32_t kLayoutBytes = 12; // the part of the 52-byte layout the box reads
constexpr uint32_t kPicture256 = 2;
constexpr uint32_t kPicture16 = 4;
constexpr uintptr_t kCloseTimer = 1;
constexpr uint32_t kCloseAfterMs = 3000;
constexpr LResult kAllKeys = 0x87; // DLGC_WANTALLKEYS | DLGC_WANTARROWS | DLGC_WANTTAB | DLGC_WANTCHARS
constexpr int kVersionFont = 1;

struct AboutLayout {
    int32_t width = 0;
    int32_t height = 0;
    Point picture;
    Point version;
};

static struct {
    bool registered = false;
    AboutLayout layout;
} s_about;

static bool load_layout(AboutLayout& out)
{
    ResourceBytes bytes = find_resource(ModuleHandle(), kLayoutType, kLayoutName);
    if (!bytes.data || bytes.size < kLayoutBytes)
        return false;
    ByteReader reader(bytes.data, bytes.size);
    out.width = reader.i16le();
    out.height = reader.i16le();
    out.picture.x = reader.i16le();
    out.picture.y = reader.i16le();
    out.version.x = reader.i16le();
    out.version.y = reader.i16le();
    return !reader.failed();
}

static bool register_about_class()
{
    if (s_about.registered)
        return true;
    WindowClass about;
    about.style = 0;
    about.proc = dlg_about_proc;
    about.window_extra = DLGWINDOWEXTRA;
    about.cursor = load_cursor(ModuleHandle(), ResourceId(uint32_t(IDC_ARROW)));
    about.background = GdiObject(uint32_t(COLOR_WINDOW + 1));
    about.class_name = kAboutClass;
    s_about.registered = register_class(about) != 0;
    return s_about.registered;
}

void dlg_about()
{
    DialogTemplate about;
    ResourceBytes bytes = find_resource(ModuleHandle(), RT_DIALOG, kAboutTemplate);
    if (!register_about_class() || !bytes.data || !read_dialog_template(bytes, about)) {
        message_beep(0);
        return;
    }
    about.class_name = kAboutClass;
    if (dialog_box_indirect_param(ModuleHandle(), about, win_presentation_window(), nullptr, 0) == -1)
        message_beep(0);
}

int dlg_version_string(char* buffer, int size) { return util_version_text(buffer, size, 1); }

// The layout's client size in the dialog frame, centred on the screen.
static void on_create(WindowHandle window)
{
    if (!load_layout(s_about.layout)) {
        message_beep(0);
        s_about.layout = {};
    }
    int32_t frame_x = get_system_metrics(SM_CXDLGFRAME);
    int32_t frame_y = get_system_metrics(SM_CYDLGFRAME);
    int32_t x = get_system_metrics(SM_CXSCREEN) / 2 - s_about.layout.width / 2 - frame_x;
    int32_t y = get_system_metrics(SM_CYSCREEN) / 2 - s_about.layout.height / 2 - frame_y;
    set_window_pos(window, {}, x, y, s_about.layout.width + 2 * frame_x, s_about.layout.height + 2 * frame_y,
        SWP_NOZORDER | SWP_NOACTIVATE);
    set_timer(window, kCloseTimer, kCloseAfterMs, nullptr);
    win_set_focus(window);
}

static void paint_picture(DcHandle dc, const Rect& client)
{
    bool full_colour = get_device_caps(dc, BITSPIXEL) * get_device_caps(dc, PLANES) >= 8;
    uint32_t number = full_colour ? kPicture256 : kPicture16;
    ResourceBytes bytes = find_resource(ModuleHandle(), RT_BITMAP, number);
    DibParts parts;
    if (!bytes.data || !dib_parts(std::span<const uint8_t>(bytes.data, bytes.size), parts))
        return;
    const Point& at = s_about.layout.picture;
    if (!full_colour)
        fill_rect(dc, Rect { at.x, at.y, client.right, client.bottom }, get_stock_object(WHITE_BRUSH));
    int32_t width = parts.header.width;
    int32_t height = std::abs(parts.header.height);
    int32_t x = (client.width() - width - at.x) / 2 + at.x;
    int32_t y = (client.height() - height - at.y) / 2 + at.y;
    // The screen is true colour: only a piece's palette in force changes the colours.
    if (pal_current())
        pal_select_realize(dc);
    stretch_dib_bits(dc, x, y, width, height, 0, 0, width, height, parts.bits, parts.info, DIB_RGB_COLORS, SRCCOPY);
}

static void on_paint(WindowHandle window)
{
    PaintStruct paint;
    DcHandle dc = begin_paint(window, paint);
    Rect client;
    get_client_rect(window, client);
    paint_picture(dc, client);
    char version[128];
    int length = dlg_version_string(version, sizeof version);
    set_bk_mode(dc, TRANSPARENT);
    font_stock_text_out(dc, kVersionFont, s_about.layout.version.x, s_about.layout.version.y, version, int16_t(length));
    end_paint(window, paint);
}

LResult dlg_about_proc(WindowHandle window, uint32_t message, WParam wparam, LParam lparam)
{
    switch (message) {
    case WM_CREATE:
        on_create(window);
        return 0;
    case WM_ERASEBKGND: {
        Rect client;
        get_client_rect(window, client);
        fill_rect(DcHandle(uint32_t(wparam)), client, get_stock_object(LTGRAY_BRUSH));
        return 1;
    }
    case WM_PAINT:
        on_paint(window);
        return 0;
    case WM_GETDLGCODE: return kAllKeys;
    case WM_TIMER:
    case WM_KEYDOWN:
    case WM_COMMAND:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        end_dialog(window, 0);
        return 0;
    case WM_DESTROY:
        kill_timer(window, kCloseTimer);
        s_about.layout = {};
        break;
    default: break;
    }
    return def_dlg_proc(window, message, wparam, lparam);
}
