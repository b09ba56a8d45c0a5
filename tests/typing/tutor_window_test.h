// Tutor windows in a headless desktop on virtual time: a fixture with the tutor's classes, its
// font, an archive of small pictures made by the test, and a host window that writes down the
// commands it gets.
#pragma once
#include "platform/backend/backend.h"
#include "platform/backend/headless.h"
#include "platform/backend/script.h"
#include "platform/controls/dialog.h"
#include "platform/controls/dlgmgr.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/shape.h"
#include "platform/gdi/surface.h"
#include "platform/ime/ime.h"
#include "platform/kernel/clock.h"
#include "platform/kernel/codepage.h"
#include "platform/kernel/log.h"
#include "platform/window/caret.h"
#include "platform/window/defproc.h"
#include "platform/window/focus.h"
#include "platform/window/input.h"
#include "platform/window/keyboard.h"
#include "platform/window/message.h"
#include "platform/window/paint.h"
#include "platform/window/timer.h"
#include "platform/window/window.h"
#include "platform/window/wndclass.h"
#include "typing/bitmap_archive.h"
#include "typing/bitmap_archive_pack.h"
#include "typing/bitmap_font.h"
#include "typing/hot_area.h"
#include "typing/tutor_classes.h"
#include "typing/tutor_draw.h"
#include "typing/tutor_hooks.h"
#include "typing/tutor_settings.h"
#include "typing/user_file.h"

#include "test_util.h"

#include <functional>
#include <string>
#include <vector>

// The colours of the test pictures' table, by index.
inline constexpr uint32_t kTestColours[] = {
    0x000000, 0xFFFFFF, 0xC00000, 0x00A000, 0x0000C0, 0x808080, 0xFF00FF, 0xE0E000,
    0x00C0C0, 0x603000, 0x306090, 0x906030, 0x30A060, 0xA03060, 0x6030A0, 0xA0A0A0,
};

// A picture of the test archive: index(x, y) gives each pixel's table index.
inline ArchivePicture test_picture(const std::string& name, int width, int height,
    std::function<uint32_t(int, int)> index)
{
    TestDib dib;
    dib.width = width;
    dib.height = height;
    dib.depth = 8;
    dib.table.assign(std::begin(kTestColours), std::end(kTestColours));
    dib.clr_used = uint32_t(dib.table.size());
    dib.bits = dib_rows(width, height, 8, index);
    return ArchivePicture {name, bmp_file(dib)};
}

inline ArchivePicture solid_picture(const std::string& name, int width, int height, uint32_t index)
{
    return test_picture(name, width, height, [index](int, int) { return index; });
}

// Everything the tutor and the platform keep between tests, back to the start.
inline void tutor_state_reset()
{
    hot_area_reset();
    program_palette_free();
    bitmap_archive_close();
    user_set_current(nullptr);
    tutor_hooks_reset();
    tutor_settings_reset();
    plat::log_close();
    plat::dialog_reset();
    plat::dlgmgr_reset();
    plat::caret_reset();
    plat::ime_reset();
    plat::window_system_reset();
    plat::script_reset();
    plat::backend_set(nullptr);
    plat::clock_reset();
    plat::codepage_reset();
}

// A headless desktop of that size running the script, in the tutor's code page, logging to
// log_path.
inline void tutor_desktop_start(const std::string& script, plat::Size screen, const std::string& log_path)
{
    std::vector<plat::ScriptCommand> list;
    std::string error;
    // A script that ends closes the program: this one keeps going for an hour.
    ASSERT_TRUE(plat::script_parse(script + "\nwait 3600000\n", list, error)) << error;
    plat::HeadlessOptions options;
    options.screen = screen;
    options.log_path = log_path;
    ASSERT_TRUE(plat::headless_start_with(options, list, error)) << error;
    plat::set_active_code_page(949);
}

class TutorWindowTest : public TempFolder {
protected:
    std::vector<std::string> commands; // "<id> <high word of lParam>" as the host got them
    plat::WindowHandle host;
    std::span<const uint16_t> host_areas; // the hot areas live on the host

    void SetUp() override
    {
        TempFolder::SetUp();
        s_test = this;
        reset_all();
        start_script("");
        tutor_folder_set(path(""));
        ASSERT_TRUE(bitmap_font_load_file(STORVEL_BINARY_DIR "/bin/PNXBMP.FNT"));
        ASSERT_TRUE(tutor_classes_register());
        plat::WindowClass c;
        c.proc = host_proc;
        c.class_name = "TutorHost";
        c.background = plat::get_stock_object(plat::WHITE_BRUSH);
        ASSERT_NE(plat::register_class(c), 0);
        host = plat::create_window_ex(0, "TutorHost", "Host", plat::WS_POPUP | plat::WS_VISIBLE, 0, 0, 640, 480,
            {}, 0, {}, nullptr);
        ASSERT_TRUE(host);
        run_for(0); // its first paint
    }
    void TearDown() override
    {
        plat::destroy_window(host); // its children free what they hold
        reset_all();
        bitmap_font_free();
        s_test = nullptr;
        TempFolder::TearDown();
    }
    static void reset_all() { tutor_state_reset(); }
    void start_script(const std::string& script, plat::Size screen = {1024, 768})
    {
        tutor_desktop_start(script, screen, path("run.log"));
    }
    void use_archive(const std::vector<ArchivePicture>& pictures)
    {
        std::vector<uint8_t> bytes;
        std::string error;
        ASSERT_TRUE(bitmap_archive_pack(pictures, bytes, error)) << error;
        write_host_file(path("qktbmp.map"), bytes);
        ASSERT_TRUE(bitmap_archive_open_file(path("qktbmp.map")));
        program_palette_build();
    }
    // Takes and dispatches what is waiting, then lets ms of virtual time pass doing so.
    void run_for(uint32_t ms)
    {
        uint32_t start = plat::get_tick_count();
        plat::Msg msg;
        do {
            while (plat::peek_message(msg, {}, 0, 0, plat::PM_REMOVE)) {
                plat::translate_message(msg);
                plat::dispatch_message(msg);
            }
        } while (plat::get_tick_count() - start < ms);
    }
    void mouse(uint32_t message, int32_t x, int32_t y) // client coordinates of the host
    {
        plat::Point at {x, y};
        plat::client_to_screen(host, at);
        if (message == plat::WM_MOUSEMOVE)
            plat::input_mouse_move(at);
        else
            plat::input_mouse_button(plat::MouseButton::left, message == plat::WM_LBUTTONDOWN, at);
        run_for(0);
    }
    static uint32_t window_pixel(plat::WindowHandle window, int32_t x, int32_t y)
    {
        plat::DcHandle dc = plat::get_dc(window);
        uint32_t pixel = plat::pixel_from_colorref(plat::get_pixel(dc, x, y));
        plat::release_dc(window, dc);
        return pixel;
    }

    static inline TutorWindowTest* s_test = nullptr;

    static plat::LResult host_proc(plat::WindowHandle window, uint32_t message, plat::WParam wparam, plat::LParam lparam)
    {
        TutorWindowTest* test = s_test;
        switch (message) {
        case plat::WM_COMMAND:
            test->commands.push_back(std::to_string(plat::loword(wparam)) + " "
                + std::to_string(plat::hiword(uintptr_t(lparam))));
            return 0;
        case plat::WM_MOUSEMOVE:
        case plat::WM_LBUTTONDOWN:
        case plat::WM_LBUTTONUP:
            hot_area_mouse(window, message, wparam, lparam, test->host_areas);
            return 0;
        case plat::WM_PAINT: { // white, as a screen paints its background picture
            plat::PaintStruct ps;
            plat::DcHandle dc = plat::begin_paint(window, ps);
            plat::fill_rect(dc, ps.paint, plat::get_stock_object(plat::WHITE_BRUSH));
            plat::end_paint(window, ps);
            return 0;
        }
        case plat::WM_NCHITTEST:
            return hot_area_hittest(window, message, wparam, lparam, test->host_areas);
        default:
            return plat::def_window_proc(window, message, wparam, lparam);
        }
    }
};
