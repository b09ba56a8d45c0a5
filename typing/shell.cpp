// The shell's state is one record of plain values: one main window a run.
#include "typing/shell.h"

#include "platform/controls/msgbox.h"
#include "platform/gdi/gdi_object.h"
#include "platform/kernel/clock.h"
#include "platform/kernel/codepage.h"
#include "platform/kernel/file.h"
#include "platform/kernel/log.h"
#include "platform/kernel/process.h"
#include "platform/window/accel.h"
#include "platform/window/cursor.h"
#include "platform/window/defproc.h"
#include "platform/window/focus.h"
#include "platform/window/keyboard.h"
#include "platform/window/metrics.h"
#include "platform/window/nonclient.h"
#include "platform/window/paint.h"
#include "platform/window/styles.h"
#include "platform/window/window.h"
#include "platform/window/winpos.h"
#include "platform/window/wndclass.h"
#include "typing/banner.h"
#include "typing/bitmap_archive.h"
#include "typing/bitmap_font.h"
#include "typing/bmp_button.h"
#include "typing/game.h"
#include "typing/hot_area.h"
#include "typing/lesson_screen.h"
#include "typing/long_story.h"
#include "typing/intro.h"
#include "typing/options_dialog.h"
#include "typing/short_story.h"
#include "typing/stat_screen.h"
#include "typing/text_draw.h"
#include "typing/tutor_classes.h"
#include "typing/tutor_draw.h"
#include "typing/tutor_hooks.h"
#include "typing/tutor_ime.h"
#include "typing/tutor_settings.h"
#include "typing/user_dialog.h"
#include "typing/user_file.h"

#include <cstdio>
#include <cstdlib>
#include <string>

constexpr uint32_t kKoreanCodePage = 949;
// The program's own texts, written here in UTF-8 and shown in its code page.
inline constexpr char kTitleUtf8[] = "뷔렌타자교사";
inline constexpr char kCompanionTitleUtf8[] = "누리솔 도움말";
inline constexpr char kNoCompanionUtf8[] = "프로그램을 실행할 구성요소가 없습니다!\r\n%s";
inline constexpr char kNoFontUtf8[] = "%s 구성요소가 없습니다.";

static struct {
    plat::ModuleHandle instance;
    plat::WindowHandle main;
    plat::GdiObject menu_bitmap;
    plat::WindowHandle intro;
    plat::WindowHandle screen;
    uint16_t screen_id = 0;
    bool hangul_mode = false; // of the main window, kept while a screen is open
    uint16_t pending_key = 0; // the command of a menu key held down
    bool key_down = false;
    int32_t cell_height = 0;
    int32_t half_width = 0;
    bool narrow_screen = false;
    ShellHooks hooks;
} s_shell;

void shell_hooks_set(const ShellHooks& hooks) { s_shell.hooks = hooks; }
plat::WindowHandle main_window() { return s_shell.main; }
plat::WindowHandle screen_current() { return s_shell.screen; }
uint16_t screen_current_id() { return s_shell.screen_id; }

void shell_reset()
{
    if (s_shell.menu_bitmap)
        plat::delete_object(s_shell.menu_bitmap);
    s_shell = {};
}

static std::string korean(const char* utf8) { return plat::utf8_to_code_page(kKoreanCodePage, utf8); }

static std::string formatted(const char* format_utf8, const std::string& argument)
{
    std::string format = korean(format_utf8);
    std::string text(format.size() + argument.size() + 1, '\0');
    int length = std::snprintf(text.data(), text.size(), format.c_str(), argument.c_str());
    text.resize(length > 0 ? size_t(length) : 0);
    return text;
}

static void show_string(uint32_t id)
{
    char text[256] = {};
    plat::load_string(s_shell.instance, id, text, sizeof text);
    plat::message_box({}, text, nullptr, plat::MB_ICONWARNING);
}

// --- start-up and shutdown ------------------------------------------------------------------------------

static int64_t file_size_get(const std::string& path)
{
    plat::FileHandle file = plat::create_file(path, plat::GENERIC_READ, plat::FILE_SHARE_READ, plat::OPEN_EXISTING, 0);
    if (!file)
        return 0;
    int64_t size = plat::get_file_size(file);
    plat::close_handle(file);
    return size > 0 ? size : 0;
}

static void intro_forget(plat::WindowHandle intro)
{
    if (s_shell.intro == intro)
        s_shell.intro = {};
}

int tutor_startup()
{
    tutor_hooks_set(TutorHooks {companion_help_show, s_shell.hooks.automaton_reselect, intro_forget});
    if (file_size_get(path_in_program_folder(kCompanionName)) < kCompanionMinSize) {
        std::string text = formatted(kNoCompanionUtf8, kCompanionName);
        plat::message_box({}, text.c_str(), "Error", plat::MB_ICONWARNING);
        return 0;
    }
    if (!bitmap_font_load()) {
        std::string text = formatted(kNoFontUtf8, bitmap_font_file_path());
        plat::message_box({}, text.c_str(), "Error", plat::MB_OK);
        return 0;
    }
    uint32_t extent = text_extent({}, " ");
    s_shell.cell_height = int32_t(extent >> 16);
    s_shell.half_width = int32_t(extent & 0xFFFF);
    if (s_shell.hooks.automaton_init)
        s_shell.hooks.automaton_init();
    if (s_shell.hooks.controls_register && !s_shell.hooks.controls_register())
        return 0;
    config_read(settings_current());
    // The run-time library's numbers are never seeded: the tick count only advances them.
    for (uint32_t n = plat::get_tick_count() % 100; n > 0; --n)
        (void)std::rand();
    (void)bitmap_archive_open(); // a missing archive leaves every picture undrawn
    user_set_current(user_load(settings_current().LastSlot));
    if (s_shell.hooks.lessons_decode)
        s_shell.hooks.lessons_decode();
    return 1;
}

void tutor_shutdown()
{
    TutorSettings& settings = settings_current();
    config_write(settings);
    hot_area_free();
    if (s_shell.hooks.lessons_free)
        s_shell.hooks.lessons_free();
    bitmap_archive_close();
    if (s_shell.hooks.proverbs_free)
        s_shell.hooks.proverbs_free();
    if (s_shell.hooks.long_texts_free)
        s_shell.hooks.long_texts_free();
    if (std::unique_ptr<UserRecord> user = user_take_current())
        (void)user_save(*user, settings.LastSlot);
    if (s_shell.hooks.controls_unregister)
        s_shell.hooks.controls_unregister();
    bitmap_font_free();
    plat::unregister_class(kMainClass, s_shell.instance);
    plat::unregister_class(kBmpButtonClass, {});
}

// --- the main window ----------------------------------------------------------------------------------

static plat::LResult main_window_proc(plat::WindowHandle window, uint32_t message, plat::WParam wparam,
    plat::LParam lparam);

bool screen_classes_register()
{
    plat::WindowClass c;
    c.style = plat::CS_HREDRAW | plat::CS_VREDRAW;
    c.proc = main_window_proc;
    c.instance = s_shell.instance;
    c.icon = plat::load_icon(s_shell.instance, "QKTAppIcon");
    c.cursor = plat::load_cursor({}, plat::IDC_ARROW);
    c.background = plat::get_stock_object(plat::NULL_BRUSH);
    c.class_name = kMainClass;
    // The screens of the activities register here as their modules come.
    return plat::register_class(c) != 0 && tutor_classes_register() && short_story_register()
        && lesson_screen_register() && long_story_register() && stat_screen_register() && game_register();
}

int main_window_create(plat::ModuleHandle instance, int show_command)
{
    constexpr uint32_t kStyle = plat::WS_POPUP | plat::WS_CLIPCHILDREN;
    int32_t screen_width = plat::get_system_metrics(plat::SM_CXSCREEN);
    int32_t screen_height = plat::get_system_metrics(plat::SM_CYSCREEN);
    s_shell.narrow_screen = screen_width <= kMainWidth;
    plat::Rect frame {0, 0, kMainWidth, kMainHeight};
    if (!s_shell.narrow_screen)
        plat::adjust_window_rect(frame, kStyle, false);
    std::string title = korean(kTitleUtf8);
    plat::WindowHandle window = plat::create_window_ex(0, kMainClass, title.c_str(), kStyle,
        (screen_width - frame.width()) / 2, (screen_height - frame.height()) / 2, frame.width(), frame.height(), {}, 0,
        instance, nullptr);
    if (!window)
        return 0;
    plat::show_window(window, show_command);
    plat::update_window(window);
    return 1;
}

static void on_create(plat::WindowHandle window)
{
    s_shell.main = window;
    program_palette_build();
    s_shell.intro = plat::create_window_ex(0, kIntroClass, "", plat::WS_CHILD | plat::WS_VISIBLE, 0, 0, kMainWidth,
        kMainHeight, window, 0, s_shell.instance, nullptr);
    if (s_shell.intro) {
        plat::update_window(s_shell.intro);
        plat::post_message(s_shell.intro, plat::WM_COMMAND, 1, 0);
    }
    if (s_shell.hooks.automaton_reselect)
        s_shell.hooks.automaton_reselect();
    banner_create(window);
}

static void on_destroy()
{
    program_palette_free();
    if (s_shell.menu_bitmap)
        plat::delete_object(s_shell.menu_bitmap);
    s_shell.menu_bitmap = {};
    settings_current().Job = s_shell.screen_id;
    if (s_shell.hooks.word_list_free)
        s_shell.hooks.word_list_free();
    if (s_shell.screen)
        plat::destroy_window(s_shell.screen);
    s_shell.screen = {};
    s_shell.main = {};
    plat::post_quit_message(0);
}

static void on_set_focus()
{
    if (s_shell.intro)
        plat::set_focus(s_shell.intro);
    else if (s_shell.screen)
        plat::set_focus(s_shell.screen);
    else
        banner_show(true);
}

static void on_paint(plat::WindowHandle window)
{
    if (!s_shell.intro && !s_shell.menu_bitmap) {
        s_shell.menu_bitmap = picture_load("vd-menu.bmp");
        if (s_shell.menu_bitmap)
            user_face_draw(s_shell.menu_bitmap, settings_current().LastSlot, -1, -1);
    }
    paint_background(window, s_shell.menu_bitmap);
}

// The menu keys: each selects the command of one activity, as a click on its area would.
struct MenuKey {
    uint32_t code;
    uint16_t command;
};
static const MenuKey kMenuKeys[] = {
    {'1', kCmdLessons}, {'2', kCmdShortText}, {'3', kCmdLongText}, {'4', kCmdStatistics}, {'5', kCmdGame},
};
constexpr uint32_t kAboutKey = 97; // 'a'

static uint16_t menu_key_command(uint32_t code)
{
    for (const MenuKey& key : kMenuKeys) {
        if (key.code == code)
            return key.command;
    }
    return 0;
}

// A key-down lights the activity's area and its release opens it; a character that comes
// without a key-down (typed by other means) opens it at once.
static void on_key(plat::WindowHandle window, uint32_t message, uint32_t code)
{
    if (code == kAboutKey) {
        plat::post_message(window, plat::WM_COMMAND, kCmdAbout, 0);
        return;
    }
    uint16_t command = menu_key_command(code);
    if (command == 0) {
        s_shell.pending_key = 0;
        s_shell.key_down = false;
        return;
    }
    if (message == plat::WM_KEYDOWN || s_shell.key_down) {
        hot_area_draw(window, command, true);
        s_shell.pending_key = command;
        s_shell.key_down = true;
        return;
    }
    hot_area_draw(window, command, false);
    s_shell.pending_key = 0;
    s_shell.key_down = false;
    command_dispatch(window, command, 0);
}

static void on_key_up(plat::WindowHandle window)
{
    uint16_t command = s_shell.pending_key;
    if (command == 0)
        return;
    hot_area_draw(window, command, false);
    s_shell.pending_key = 0;
    s_shell.key_down = false;
    command_dispatch(window, command, 0);
}

// Palette messages go on to the child that shows pictures; without one the main window
// realizes the program palette itself.
static plat::LResult on_palette(plat::WindowHandle window, uint32_t message, plat::WParam wparam, plat::LParam lparam)
{
    plat::WindowHandle child = s_shell.intro ? s_shell.intro : s_shell.screen;
    if (child) {
        if (!plat::is_iconic(window))
            plat::post_message(child, message, wparam, lparam);
        return plat::def_window_proc(window, message, wparam, lparam);
    }
    plat::LResult result = 0;
    if (palette_message(window, message, wparam, result))
        return result;
    return plat::def_window_proc(window, message, wparam, lparam);
}

static plat::LResult main_window_proc(plat::WindowHandle window, uint32_t message, plat::WParam wparam,
    plat::LParam lparam)
{
    switch (message) {
    case plat::WM_CREATE: on_create(window); return 0;
    case plat::WM_DESTROY: on_destroy(); return 0;
    case plat::WM_SETFOCUS: on_set_focus(); return 0;
    case plat::WM_ERASEBKGND: return 1;
    case plat::WM_PAINT: on_paint(window); return 0;
    case plat::WM_NCHITTEST: return hot_area_hittest(window, message, wparam, lparam, kMenuAreas);
    case plat::WM_MOUSEMOVE:
    case plat::WM_LBUTTONDOWN:
    case plat::WM_LBUTTONUP:
        if (!s_shell.intro && s_shell.menu_bitmap)
            hot_area_mouse(window, message, wparam, lparam, kMenuAreas);
        return 0;
    case plat::WM_KEYDOWN:
    case plat::WM_CHAR: on_key(window, message, uint32_t(wparam)); return 0;
    case plat::WM_KEYUP: on_key_up(window); return 0;
    case plat::WM_COMMAND:
        hot_area_mouse(window, kMsgHotAreaDrop, 0, 0, kMenuAreas);
        command_dispatch(window, wparam, lparam);
        return 0;
    case plat::WM_QUERYNEWPALETTE:
    case plat::WM_PALETTECHANGED: return on_palette(window, message, wparam, lparam);
    default: return plat::def_window_proc(window, message, wparam, lparam);
    }
}

// --- screens and commands ----------------------------------------------------------------------------

plat::WindowHandle screen_open(plat::WindowHandle main, uint16_t identifier, const char* class_name)
{
    if (s_shell.screen)
        screen_close(s_shell.screen);
    s_shell.hangul_mode = ime_hangul_mode_get(main);
    plat::WindowHandle screen = plat::create_window_ex(0, class_name, "",
        plat::WS_CHILD | plat::WS_VISIBLE | plat::WS_CLIPCHILDREN, 0, 0, kMainWidth, kMainHeight, main, 0,
        s_shell.instance, nullptr);
    if (!screen)
        return {};
    s_shell.screen = screen;
    s_shell.screen_id = identifier;
    plat::Rect client;
    plat::get_client_rect(main, client);
    plat::move_window(screen, 0, 0, client.width(), client.height(), true);
    banner_show(false);
    plat::set_focus(screen);
    plat::log_event(std::string("screen open ") + class_name + " " + std::to_string(identifier));
    return screen;
}

int screen_close(plat::WindowHandle screen)
{
    char class_name[64] = {};
    plat::get_class_name(screen, class_name, sizeof class_name);
    s_shell.screen_id = 0;
    plat::destroy_window(screen);
    if (s_shell.screen == screen)
        s_shell.screen = {};
    plat::log_event(std::string("screen close ") + class_name);
    if (s_shell.main) {
        plat::set_focus(s_shell.main);
        banner_show(true);
        ime_hangul_mode_set(s_shell.main, s_shell.hangul_mode);
    }
    return 1;
}

// The lesson screen opens on the user's current lesson; an index no lesson has (a damaged
// user file) opens the first.
static uint16_t lesson_screen_id()
{
    uint32_t index = 0;
    if (const UserRecord* user = user_current())
        index = user_header_u32(*user, kHeaderLesson);
    return uint16_t(kFirstLessonScreen + (index < uint32_t(kLessonScreens) ? index : 0));
}

static void run_user_dialog(plat::WindowHandle main)
{
    if (user_dialog_run(main) == 0) {
        plat::post_message(main, plat::WM_CLOSE, 0, 0);
        return;
    }
    if (s_shell.menu_bitmap)
        user_face_draw(s_shell.menu_bitmap, settings_current().LastSlot, -1, -1);
    plat::invalidate_rect(main, nullptr, false);
}

// The intro is gone: the menu's areas come alive and its keys work at once.
static void menu_start(plat::WindowHandle main)
{
    hot_area_build();
    if (!s_shell.screen && !s_shell.intro) {
        plat::set_focus(main);
        banner_show(true);
    }
}

// The screens of the activities, by command.
struct ScreenCommand {
    uint16_t command;
    const char* class_name;
};
static const ScreenCommand kScreenCommands[] = {
    {kCmdShortText, "ShortStory"},
    {kCmdLongText, "LongStory"},
    {kCmdGame, "Game"},
};

int command_dispatch(plat::WindowHandle main, plat::WParam wparam, plat::LParam)
{
    uint16_t command = uint16_t(plat::loword(wparam));
    for (const ScreenCommand& row : kScreenCommands) {
        if (row.command == command) {
            screen_open(main, command, row.class_name);
            return 1;
        }
    }
    switch (command) {
    case kCmdUsers: run_user_dialog(main); break;
    case kCmdClose: plat::post_message(main, plat::WM_CLOSE, 0, 0); break;
    case kCmdLessons: screen_open(main, lesson_screen_id(), "QKLesson"); break;
    case kCmdStatistics:
        settings_current().StatTab = 501;
        screen_open(main, kCmdStatistics, "Stat");
        break;
    case kCmdAbout: about_box_run(main); break;
    case kCmdOptions: options_dialog_run(main); break;
    case kCmdIntroEnd: menu_start(main); break;
    case kCmdBanner: companion_help_show(); break;
    default: break;
    }
    return 1;
}

void companion_help_show()
{
    std::string title = korean(kCompanionTitleUtf8);
    if (plat::WindowHandle help = plat::find_window(nullptr, title.c_str())) {
        if (plat::is_iconic(help))
            plat::show_window(help, plat::SW_RESTORE);
        plat::set_foreground_window(help);
        return;
    }
    plat::start_program(path_in_program_folder(kCompanionName));
}

// --- the program ----------------------------------------------------------------------------------------

static int message_loop(plat::AccelHandle accelerators)
{
    plat::Msg msg;
    for (;;) {
        int got = plat::get_message(msg);
        if (got == 0)
            return int(msg.wparam);
        if (got < 0)
            return 0;
        if (s_shell.main && plat::translate_accelerator(s_shell.main, accelerators, msg))
            continue;
        plat::translate_message(msg);
        plat::dispatch_message(msg);
    }
}

int tutor_win_main(plat::ModuleHandle instance, plat::ModuleHandle, const char*, int show_command)
{
    // The tutor's texts are Korean, in the code page its files are written in.
    plat::set_active_code_page(kKoreanCodePage);
    s_shell.instance = instance;
    std::string title = korean(kTitleUtf8);
    if (plat::WindowHandle other = plat::find_window(kMainClass, title.c_str())) {
        plat::set_foreground_window(other);
        return kExitOtherInstance;
    }
    if (!screen_classes_register()) {
        show_string(kStringClassFailed);
        return 0;
    }
    if (!tutor_startup())
        return 0;
    plat::AccelHandle accelerators = plat::load_accelerators(instance, "AccTable");
    if (!accelerators)
        return 0;
    int exit_code = kExitMainWindowFailed;
    if (main_window_create(instance, show_command))
        exit_code = message_loop(accelerators);
    else
        show_string(kStringWindowFailed);
    tutor_shutdown();
    return exit_code;
}
