// The tutor's shell: start-up and shutdown, the one captionless 640 x 480 main window of class
// QKT that shows the menu screen, the screens opened in it one at a time, the command table,
// the menu keys, and the companion help program. Screens, dialogs and controls post
// WM_COMMAND identifiers to the main window, which turns them into screens, dialogs or a close.
#pragma once
#include <cstdint>

#include "platform/kernel/resource.h"
#include "platform/window/message.h"
#include "platform/window/window_types.h"

inline constexpr char kMainClass[] = "QKT";
inline constexpr char kCompanionName[] = "varnek.exe";
constexpr int64_t kCompanionMinSize = 1000; // a smaller file is no program
constexpr int kExitOtherInstance = 1;
constexpr int kExitMainWindowFailed = 9002;
constexpr uint32_t kStringClassFailed = 9001;
constexpr uint32_t kStringWindowFailed = 9002;
constexpr int32_t kMainWidth = 640;
constexpr int32_t kMainHeight = 480;

// Commands of the main window.
enum : uint16_t {
    kCmdUsers = 103,
    kCmdClose = 108,
    kCmdLessons = 200,
    kCmdShortText = 301,
    kCmdLongText = 302,
    kCmdGame = 401,
    kCmdStatistics = 500,
    kCmdAbout = 603,
    kCmdOptions = 901,
    kCmdIntroEnd = 911,
    kCmdBanner = 1101,
};
constexpr uint16_t kFirstLessonScreen = 201;
constexpr int kLessonScreens = 13; // 201..213

// What the shell calls in modules that come with later screens: each fills its entries before
// the program starts (typing/app/main.cpp). An empty entry does nothing, and an empty
// registration succeeds, since there is nothing to register.
struct ShellHooks {
    bool (*controls_register)() = nullptr; // the typing controls' classes
    void (*controls_unregister)() = nullptr;
    void (*automaton_init)() = nullptr; // the Hangul keyboard automaton
    void (*automaton_reselect)() = nullptr; // its table follows Keyboard of the settings
    void (*lessons_decode)() = nullptr; // the lesson tables
    void (*lessons_free)() = nullptr;
    void (*word_list_free)() = nullptr;
    void (*proverbs_free)() = nullptr;
    void (*long_texts_free)() = nullptr;
};
void shell_hooks_set(const ShellHooks& hooks);

// The program: the exit code (1 when another instance runs, 0 when start-up stops, 9002 when
// the main window cannot be made, else the quit message's).
int tutor_win_main(plat::ModuleHandle instance, plat::ModuleHandle previous, const char* command_line,
    int show_command);
// 1 to go on, 0 to end the program (the user was told why).
int tutor_startup();
void tutor_shutdown();
// The window classes of the shell and of the screens whose modules are built; false at the
// first that cannot be registered.
bool screen_classes_register();
int main_window_create(plat::ModuleHandle instance, int show_command);
plat::WindowHandle main_window();

// Opens a child of the class over the main window (closing the current one first); null when
// it cannot be made, and then the menu stays as it was.
plat::WindowHandle screen_open(plat::WindowHandle main, uint16_t identifier, const char* class_name);
// Closes the screen back to the menu (screens call it on their own window); 1.
int screen_close(plat::WindowHandle screen);
plat::WindowHandle screen_current();
uint16_t screen_current_id(); // 0 when the menu shows

int command_dispatch(plat::WindowHandle main, plat::WParam wparam, plat::LParam lparam);
// Brings the help program's window to the front, else starts varnek.exe from the program folder.
void companion_help_show();

void shell_reset(); // tests: forgets the windows and the hooks
