// The input method, with IMM's meaning. Each window uses an input context (the thread's one,
// shared by all its windows, one the program made and associated, or none), open or closed,
// with a conversion mode whose IME_CMODE_NATIVE bit is Hangul mode. While a window's context is open and in Hangul
// mode, the keys of the chosen layout (2-beolsik: the letters; 390: letters, digits and signs)
// reach the window as VK_PROCESSKEY and compose syllables (ime/hangul.h): translate_message posts WM_IME_STARTCOMPOSITION, WM_IME_COMPOSITION
// with GCS_COMPSTR as the syllable grows and GCS_RESULTSTR when it is finished, and
// WM_IME_ENDCOMPOSITION. A key that finishes the syllable and types a character (a space, a
// digit) adds its character to the result string, as a Korean input method does.
// The default processing of a composition shows it in the input method's own small window at
// the caret (ime/compwin.h) until WM_IME_ENDCOMPOSITION; a window that shows it itself (an edit
// field, inline) does not pass those on. The default processing of a result sends WM_IME_CHAR, whose default posts WM_CHAR: a
// double-byte character of the active code page as its lead and then its trail byte. The same
// messages come from the desktop's input method (display backend) and from a script's compose
// command.
#pragma once
#include <cstdint>
#include <string_view>

#include "platform/ime/hangul.h"
#include "platform/kernel/handle.h"
#include "platform/window/message.h"

namespace plat {

using ImcHandle = Handle<struct ImcTag>; // HIMC

enum : uint32_t {
    WM_IME_CHAR = 0x0286,
};

// WM_IME_COMPOSITION's lparam and the strings of imm_get_composition_string.
enum : uint32_t {
    GCS_COMPSTR = 0x0008,
    GCS_COMPATTR = 0x0010,
    GCS_RESULTSTR = 0x0800,
    CS_INSERTCHAR = 0x2000,
    CS_NOMOVECARET = 0x4000,
};

// Conversion and sentence modes.
enum : uint32_t {
    IME_CMODE_ALPHANUMERIC = 0x0000,
    IME_CMODE_NATIVE = 0x0001, // Hangul mode
    IME_CMODE_HANGUL = 0x0001,
    IME_CMODE_FULLSHAPE = 0x0008,
    IME_SMODE_NONE = 0x0000,
};

// imm_set_composition_string, imm_notify_ime, WM_IME_NOTIFY.
enum : uint32_t {
    SCS_SETSTR = 0x0009,
    NI_COMPOSITIONSTR = 0x0015,
    CPS_COMPLETE = 0x0001,
    CPS_CANCEL = 0x0004,
    IMN_SETCONVERSIONMODE = 0x0006,
    IMN_SETOPENSTATUS = 0x0008,
};

constexpr int32_t IMM_ERROR_NODATA = -1;
constexpr int32_t IMM_ERROR_GENERAL = -2;

// ImmGetContext: the window's context (null for a window without one or that does not
// exist). ImmReleaseContext: true.
ImcHandle imm_get_context(WindowHandle window);
bool imm_release_context(WindowHandle window, ImcHandle context);
// ImmCreateContext / ImmDestroyContext: a context of the program's own; windows associated
// with a destroyed one go back to the thread's context, which cannot be destroyed.
ImcHandle imm_create_context();
bool imm_destroy_context(ImcHandle context);
// ImmAssociateContext: the window's previous context; null detaches the input method.
ImcHandle imm_associate_context(WindowHandle window, ImcHandle context);

// ImmGetOpenStatus / ImmSetOpenStatus; closing finishes a composition. Changes send
// WM_IME_NOTIFY (IMN_SETOPENSTATUS, IMN_SETCONVERSIONMODE) to the windows associated with
// the context and, for the thread's context, to the window keys go to.
bool imm_get_open_status(ImcHandle context);
bool imm_set_open_status(ImcHandle context, bool open);
bool imm_get_conversion_status(ImcHandle context, uint32_t* conversion, uint32_t* sentence);
bool imm_set_conversion_status(ImcHandle context, uint32_t conversion, uint32_t sentence);

// ImmGetCompositionStringA: GCS_COMPSTR (what is being composed) or GCS_RESULTSTR (what was
// finished last), in the active code page, without a terminating NUL. With size 0 the length;
// else the bytes copied (at most size). IMM_ERROR_NODATA for another index,
// IMM_ERROR_GENERAL for a bad context.
int32_t imm_get_composition_string(ImcHandle context, uint32_t index, void* buffer, uint32_t size);
// ImmSetCompositionStringA with SCS_SETSTR: empty strings cancel the composition (the window
// gets an empty GCS_COMPSTR and WM_IME_ENDCOMPOSITION); text replaces what is composed.
bool imm_set_composition_string(ImcHandle context, uint32_t index, const void* composition,
    uint32_t composition_size, const void* reading, uint32_t reading_size);
// What the composition is when it is one jamo alone: on 390 a final's key composes the same
// compatibility jamo as the initial's, and only this tells them apart. None for a syllable,
// for nothing composed and for a bad context.
JamoRole ime_composition_role(ImcHandle context);
// ImmNotifyIME with NI_COMPOSITIONSTR: CPS_COMPLETE finishes the composition as typed,
// CPS_CANCEL drops it.
bool imm_notify_ime(ImcHandle context, uint32_t action, uint32_t index, uint32_t value);
// ImmGetVirtualKey: the real key behind the last VK_PROCESSKEY translated.
uint32_t imm_get_virtual_key(WindowHandle window);
// WINNLSEnableIME: switches the input method on or off for the whole program; answers the
// previous state. Off finishes every composition and lets every key through.
bool winnls_enable_ime(WindowHandle window, bool enable);

// For the layer. The input layer asks whether a key-down for window becomes VK_PROCESSKEY;
// translate_message hands key-downs here first (true: the input method took the key);
// def_window_proc hands WM_IME_COMPOSITION and WM_IME_CHAR here.
bool ime_takes_key(WindowHandle window, uint32_t vk, bool ctrl_or_alt);
bool ime_translate_key(const Msg& msg);
LResult ime_default_proc(WindowHandle window, uint32_t message, WParam wparam, LParam lparam);
// The focus is leaving window: a syllable being composed in it is finished into it.
void ime_focus_leaving(WindowHandle window);
// The dialog manager is about to act on a key-down (Enter, Tab, Escape, an arrow) while a
// syllable is being composed in its window: the syllable is finished and the key goes back to
// the head of the input, so that it comes again after the finished characters are in. False
// when nothing is being composed there.
bool ime_finish_before_key(const Msg& msg);

// Composition from outside, in UTF-8, queued behind the input already there: the desktop's
// input method composing ("" ends it) and committing, and a script's compose command (the
// text composed as typed on the chosen layout, then finished). Characters that are not
// Hangul arrive as committed characters.
void ime_host_composition(std::string_view utf8);
void ime_host_commit(std::string_view utf8);
void ime_compose_text(std::string_view utf8);

// The keyboard layout Hangul is typed on, for the whole program, as a user sets it for the
// system's input method; 2-beolsik until set. A syllable being composed is finished first.
void ime_set_hangul_layout(HangulLayout layout);
HangulLayout ime_hangul_layout();

void ime_reset();

} // namespace plat
