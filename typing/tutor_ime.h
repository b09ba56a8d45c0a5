// The tutor's use of the input method: the Hangul mode of a window's input context, and the
// two ways the typing line throws input away (a composition, keys still queued).
#pragma once

#include "platform/window/message.h"

// Whether the window's context is in Hangul mode (the native conversion bit).
bool ime_hangul_mode_get(plat::WindowHandle window);
// Clears the native and the next conversion bit, then sets the native one when on.
void ime_hangul_mode_set(plat::WindowHandle window, bool on);
// Drops the syllable being composed in the window's context.
void ime_cancel_composition(plat::WindowHandle window);
// Removes the key and character messages still queued for the window (key-downs up to
// WM_SYSDEADCHAR and the Korean input method's interim character).
void ime_drop_pending_keys(plat::WindowHandle window);
