// The progress window: a modeless dialog with a message, a second line, a bar of the window
// class ThermometerClass and an optional Cancel button, which long operations poll for a
// cancel while they work. One exists at a time; its owner is disabled while it shows.
#pragma once
#include <cstdint>
#include <span>

#include "platform/window/message.h"
#include "runtime/base/fmt.h"

constexpr const char* kThermometerClass = "ThermometerClass";
// The bar's messages.
enum : uint32_t {
    kThermometerSetPosition = 1025, // lParam: the position, clamped to the range
    kThermometerSetRange = 1026,    // lParam: a ThermometerRange*; the position keeps its share
    kThermometerStep = 1027,        // lParam: added to the position
    kThermometerFill = 1028,        // to the maximum
};
struct ThermometerRange {
    int32_t minimum;
    int32_t maximum;
};

// Templates the caller chooses from: the product's caption with Cancel, or "Progress" with Stop.
constexpr int kProgressTemplate = 227;
constexpr int kProgressStopTemplate = 230;
enum : int { kProgressMessageLine = 101, kProgressSecondLine = 102, kProgressBar = 103 };

// Start-up: registers the bar's class (an existing one is accepted); 1, or 0 on failure.
int dlg_progress_register_class();
plat::LResult thermometer_proc(plat::WindowHandle window, uint32_t message, plat::WParam wparam, plat::LParam lparam);

// 1 when the dialog shows; 0 when one is open already or it cannot be made.
int dlg_progress_open(const char* text, int32_t minimum, int32_t maximum, int show_cancel, int template_id);
// Closes it, no sooner than 300 ms after it opened, and gives the owner back its input.
void dlg_progress_close();
// Lets waiting messages through; 1 when the user asked to cancel since the last call.
int dlg_progress_pump();
void dlg_progress_range(int32_t minimum, int32_t maximum);
// The position; with a format also the second line (128 characters at most).
void dlg_progress_set_args(int32_t position, const char* format, std::span<const FmtArg> args);
template <typename... Args>
void dlg_progress_set(int32_t position, const char* format, const Args&... args)
{
    const FmtArg list[sizeof...(Args) + 1] = {FmtArg(args)..., FmtArg(0)};
    dlg_progress_set_args(position, format, std::span<const FmtArg>(list, sizeof...(Args)));
}
void dlg_progress_message_args(const char* format, std::span<const FmtArg> args);
template <typename... Args>
void dlg_progress_message(const char* format, const Args&... args)
{
    const FmtArg list[sizeof...(Args) + 1] = {FmtArg(args)..., FmtArg(0)};
    dlg_progress_message_args(format, std::span<const FmtArg>(list, sizeof...(Args)));
}
void dlg_progress_caption(const char* text);
// The open dialog (tests); null when none.
plat::WindowHandle dlg_progress_window();
// Forgets an open dialog without closing it (tests, after the window system was reset).
void dlg_progress_reset();
