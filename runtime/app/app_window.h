// The one top-level window of svrun32, of class SVXMainClass: its creation, its window
// procedure (what the main window handles itself once the authoring link and the presentation
// window have passed a message on), the system menu with its About item, the system metrics
// of the virtual screen, the menu bar's system glyph, and the options of the command line.
#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/window/message.h"
#include "platform/window/window_types.h"

constexpr const char* kAppMainClass = "SVXMainClass";
// The About item the main window adds to its system menu; the engine's menu handling takes it.
constexpr uint32_t kAppAboutCommand = 30002;
// The Quit command of the piece's File menu (Ctrl+Q is its accelerator).
constexpr uint32_t kAppQuitCommand = 30001;

// Registers SVXMainClass unless it is, then app_create_main_window (show command, no maximise
// box). 1 ok / 0.
int app_register_main_window(int show_command);
// Destroys a main window that exists, then creates, shows and updates a new one at 0,0 of
// size 0 by 0, titled with the product title. 1 ok / 0.
int app_create_main_window(int show_command, int with_maximize_box);
// Forgets the main window (WM_DESTROY).
void app_clear_main_window();
plat::LResult app_main_window_proc(plat::WindowHandle window, uint32_t message, plat::WParam wparam, plat::LParam lparam);

// Adds "&About..." to the main window's system menu unless it is there. 0 without a main
// window or system menu (a start-up failure).
int app_sysmenu_init();
// Gives the main window its standard system menu back; nothing when there is no window.
void app_sysmenu_term();
// The face of the menu bar's system item: one menu button wide, the system box's bar on the
// menu colour; the caller owns it. Null when no bitmap could be made.
plat::GdiObject app_sysmenu_close_bitmap();

// The monitor functions of the other platform are never there: 0.
int app_load_monitor_api();
// GetSystemMetrics that also answers the virtual-screen and monitor indices (76 to 81) for a
// single screen.
int app_get_system_metrics(int index);

// Copies into out the word after the first occurrence of keyword in the command line (exact
// and case-sensitive), after the white space that follows it, up to white space or size - 1
// characters; "" when the keyword is absent.
void app_cmdline_option(const char* keyword, const char* command_line, char* out, size_t size);

// Forgets the window's module state (tests).
void app_window_reset();
