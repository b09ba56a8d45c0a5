#include "platform/ime/ime.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "platform/kernel/codepage.h"
#include "platform/window/focus.h"
#include "platform/ime/compwin.h"
#include "platform/ime/hangul.h"
#include "platform/window/input.h"
#include "platform/window/keyboard.h"
#include "platform/kernel/slots.h"
#include "platform/window/window.h"

namespace plat {

struct InputContext {
    bool open = true; // as a Korean input method starts: open, typing letters
    uint32_t conversion = IME_CMODE_ALPHANUMERIC;
    uint32_t sentence = IME_SMODE_NONE;
    HangulComposer hangul;
    std::string composition; // active code page: what GCS_COMPSTR reads
    std::string result;      // what GCS_RESULTSTR reads
    bool composing = false;  // between WM_IME_STARTCOMPOSITION and WM_IME_ENDCOMPOSITION
    WindowHandle window;     // where the composition's messages go
};

// A window given a context of the program's own, or none (null: detached); every other
// window uses the thread's context.
struct Association {
    WindowHandle window;
    ImcHandle context;
};

// A composition step from outside the keyboard. Each waits in the input queue as a
// VK_PROCESSKEY without a scan code, so that it takes its turn among the other input.
struct PendingStep {
    enum class Kind { jamo, complete, host_composition, host_commit } kind = Kind::complete;
    HangulKey key;
    std::string text; // active code page
};

struct ImeState {
    SlotTable<InputContext> contexts{0x1CE};
    ImcHandle thread_context; // made when first asked for
    std::vector<Association> windows;
    std::deque<PendingStep> pending;
    bool enabled = true;
    uint32_t last_virtual_key = 0;
    bool host_composing = false;
    HangulLayout layout = HangulLayout::two_set;
};

static ImeState s_ime;

static InputContext* find_context(ImcHandle context) { return s_ime.contexts.find(context.id); }

// The program's one thread has one context, shared by all its windows, so that a mode set
// while typing in one field holds in the next.
static ImcHandle thread_context()
{
    if (!find_context(s_ime.thread_context))
        s_ime.thread_context = ImcHandle{s_ime.contexts.insert(InputContext{})};
    return s_ime.thread_context;
}

// Windows are never given a destroyed window's id again, so their entries can wait until a
// new association is made to be dropped.
static void drop_dead_windows()
{
    auto& windows = s_ime.windows;
    windows.erase(std::remove_if(windows.begin(), windows.end(),
                      [](const Association& entry) { return !is_window(entry.window); }),
        windows.end());
}

static Association* association(WindowHandle window)
{
    for (Association& entry : s_ime.windows) {
        if (entry.window == window)
            return &entry;
    }
    return nullptr;
}

ImcHandle imm_get_context(WindowHandle window)
{
    if (!is_window(window))
        return ImcHandle{};
    Association* entry = association(window);
    return entry ? entry->context : thread_context();
}

bool imm_release_context(WindowHandle, ImcHandle) { return true; }

ImcHandle imm_create_context() { return ImcHandle{s_ime.contexts.insert(InputContext{})}; }

bool imm_destroy_context(ImcHandle context)
{
    if (!find_context(context) || context == s_ime.thread_context)
        return false; // the thread's context lives as long as the thread
    // Windows associated with it go back to the thread's context.
    auto& windows = s_ime.windows;
    windows.erase(std::remove_if(windows.begin(), windows.end(),
                      [context](const Association& entry) { return entry.context == context; }),
        windows.end());
    return s_ime.contexts.erase(context.id);
}

ImcHandle imm_associate_context(WindowHandle window, ImcHandle context)
{
    if (!is_window(window) || (context && !find_context(context)))
        return ImcHandle{};
    ImcHandle previous = imm_get_context(window);
    drop_dead_windows();
    Association* entry = association(window);
    if (context == thread_context()) {
        if (entry)
            s_ime.windows.erase(s_ime.windows.begin() + (entry - s_ime.windows.data()));
    } else if (entry)
        entry->context = context;
    else
        s_ime.windows.push_back(Association{window, context});
    return previous;
}

// The window that keys go to.
static WindowHandle key_window()
{
    WindowHandle focus = get_focus();
    return focus ? focus : get_active_window();
}

// The windows that use a context hear of its changes: those associated with it, and of the
// thread's context the window typed into.
static void notify(ImcHandle context, uint32_t change)
{
    std::vector<WindowHandle> targets;
    for (const Association& entry : s_ime.windows) {
        if (entry.context == context && is_window(entry.window))
            targets.push_back(entry.window);
    }
    WindowHandle typing = key_window();
    if (context == s_ime.thread_context && is_window(typing) && !association(typing))
        targets.push_back(typing);
    for (WindowHandle window : targets)
        send_message(window, WM_IME_NOTIFY, change, 0);
}

// The character code of WM_IME_COMPOSITION and WM_IME_CHAR: a double-byte character as
// lead byte * 256 + trail byte.
static WParam last_character(const std::string& text)
{
    const char* start = text.c_str();
    const char* last = start;
    for (const char* at = start; *at; at = char_next(at))
        last = at;
    WParam code = uint8_t(*last);
    if (last[0] && last[1] && is_dbcs_lead_byte(uint8_t(last[0])))
        code = code << 8 | uint8_t(last[1]);
    return code;
}

static void start_composition(InputContext& ctx, WindowHandle window)
{
    if (ctx.composing)
        return;
    ctx.composing = true;
    ctx.window = window;
    post_message(window, WM_IME_STARTCOMPOSITION, 0, 0);
}

static void post_composition(InputContext& ctx)
{
    uint32_t flags = GCS_COMPSTR | GCS_COMPATTR | CS_INSERTCHAR | CS_NOMOVECARET;
    WParam code = ctx.composition.empty() ? 0 : last_character(ctx.composition);
    post_message(ctx.window, WM_IME_COMPOSITION, code, LParam(flags));
}

static void end_composition(InputContext& ctx)
{
    if (!ctx.composing)
        return;
    ctx.composing = false;
    post_message(ctx.window, WM_IME_ENDCOMPOSITION, 0, 0);
}

static void post_result(InputContext& ctx, WindowHandle window, const std::string& text)
{
    start_composition(ctx, window);
    ctx.result = text;
    ctx.composition.clear();
    post_message(ctx.window, WM_IME_COMPOSITION, last_character(text), LParam(GCS_RESULTSTR));
    end_composition(ctx);
}

static std::string to_code_page(const std::u16string& text) { return wide_to_multi_byte(CP_ACP, text); }

// Shows a composition step: what it finished, then what is being composed now.
static void show_step(InputContext& ctx, WindowHandle window, const std::u16string& committed)
{
    if (!committed.empty())
        post_result(ctx, window, to_code_page(committed));
    std::u16string now = hangul_composition(ctx.hangul);
    if (!now.empty()) {
        start_composition(ctx, window);
        ctx.composition = to_code_page(now);
        post_composition(ctx);
    } else if (ctx.composing) {
        ctx.composition.clear();
        post_composition(ctx); // withdrawn: an empty composition
        end_composition(ctx);
    }
}

static void complete(InputContext& ctx)
{
    ctx.hangul = HangulComposer{};
    if (ctx.composing && !ctx.composition.empty())
        post_result(ctx, ctx.window, ctx.composition);
    else if (ctx.composing) {
        post_composition(ctx);
        end_composition(ctx);
    }
}

static void cancel(InputContext& ctx)
{
    ctx.hangul = HangulComposer{};
    if (!ctx.composing)
        return;
    ctx.composition.clear();
    post_composition(ctx);
    end_composition(ctx);
}

bool imm_get_open_status(ImcHandle context)
{
    InputContext* ctx = find_context(context);
    return ctx && ctx->open;
}

bool imm_set_open_status(ImcHandle context, bool open)
{
    InputContext* ctx = find_context(context);
    if (!ctx)
        return false;
    if (ctx->open == open)
        return true;
    if (!open)
        complete(*ctx);
    ctx->open = open;
    notify(context, IMN_SETOPENSTATUS);
    return true;
}

bool imm_get_conversion_status(ImcHandle context, uint32_t* conversion, uint32_t* sentence)
{
    InputContext* ctx = find_context(context);
    if (!ctx)
        return false;
    if (conversion)
        *conversion = ctx->conversion;
    if (sentence)
        *sentence = ctx->sentence;
    return true;
}

bool imm_set_conversion_status(ImcHandle context, uint32_t conversion, uint32_t sentence)
{
    InputContext* ctx = find_context(context);
    if (!ctx)
        return false;
    bool changed = ctx->conversion != conversion || ctx->sentence != sentence;
    if ((ctx->conversion & IME_CMODE_NATIVE) && !(conversion & IME_CMODE_NATIVE))
        complete(*ctx);
    ctx->conversion = conversion;
    ctx->sentence = sentence;
    if (changed)
        notify(context, IMN_SETCONVERSIONMODE);
    return true;
}

int32_t imm_get_composition_string(ImcHandle context, uint32_t index, void* buffer, uint32_t size)
{
    InputContext* ctx = find_context(context);
    if (!ctx)
        return IMM_ERROR_GENERAL;
    if (index != GCS_COMPSTR && index != GCS_RESULTSTR)
        return IMM_ERROR_NODATA;
    const std::string* text = index == GCS_COMPSTR ? &ctx->composition : &ctx->result;
    if (size == 0 || !buffer)
        return int32_t(text->size());
    uint32_t copied = std::min<uint32_t>(size, uint32_t(text->size()));
    std::memcpy(buffer, text->data(), copied);
    return int32_t(copied);
}

bool imm_set_composition_string(ImcHandle context, uint32_t index, const void* composition,
    uint32_t composition_size, const void*, uint32_t)
{
    InputContext* ctx = find_context(context);
    if (!ctx || index != SCS_SETSTR)
        return false;
    if (!composition || composition_size == 0) {
        cancel(*ctx);
        return true;
    }
    WindowHandle window = ctx->composing ? ctx->window : get_focus();
    if (!is_window(window))
        return false;
    ctx->hangul = HangulComposer{};
    start_composition(*ctx, window);
    ctx->composition.assign(static_cast<const char*>(composition), composition_size);
    post_composition(*ctx);
    return true;
}

JamoRole ime_composition_role(ImcHandle context)
{
    InputContext* ctx = find_context(context);
    if (!ctx)
        return JamoRole::none;
    const HangulComposer& c = ctx->hangul;
    int parts = (c.initial != 0) + (c.medial != 0) + (c.final != 0);
    if (parts != 1)
        return JamoRole::none;
    return c.initial ? JamoRole::initial : c.medial ? JamoRole::medial : JamoRole::final;
}

bool imm_notify_ime(ImcHandle context, uint32_t action, uint32_t index, uint32_t)
{
    InputContext* ctx = find_context(context);
    if (!ctx || action != NI_COMPOSITIONSTR)
        return false;
    if (index == CPS_COMPLETE)
        complete(*ctx);
    else if (index == CPS_CANCEL)
        cancel(*ctx);
    else
        return false;
    return true;
}

uint32_t imm_get_virtual_key(WindowHandle) { return s_ime.last_virtual_key; }

bool winnls_enable_ime(WindowHandle, bool enable)
{
    bool previous = s_ime.enabled;
    if (!enable) {
        s_ime.contexts.for_each([](uint32_t, InputContext& ctx) { complete(ctx); });
    }
    s_ime.enabled = enable;
    return previous;
}

static InputContext* composing_context(WindowHandle window)
{
    if (!s_ime.enabled)
        return nullptr;
    InputContext* ctx = find_context(imm_get_context(window));
    return ctx && ctx->open && (ctx->conversion & IME_CMODE_NATIVE) ? ctx : nullptr;
}

void ime_set_hangul_layout(HangulLayout layout)
{
    if (layout == s_ime.layout)
        return;
    // A syllable begun on the old layout is finished as it stands.
    s_ime.contexts.for_each([](uint32_t, InputContext& ctx) { complete(ctx); });
    s_ime.layout = layout;
}

HangulLayout ime_hangul_layout() { return s_ime.layout; }

bool ime_takes_key(WindowHandle window, uint32_t vk, bool ctrl_or_alt)
{
    InputContext* ctx = composing_context(window);
    if (!ctx || ctrl_or_alt)
        return false;
    return hangul_layout_has_key(s_ime.layout, vk) || (vk == VK_BACK && hangul_composing(ctx->hangul));
}

// The key behind a VK_PROCESSKEY, found again from its scan code.
static uint32_t key_of_scan_code(uint32_t scan)
{
    if (scan == keyboard_scan_code(VK_BACK))
        return VK_BACK;
    for (uint32_t vk = 1; vk < 256; vk++) {
        if (hangul_layout_has_key(s_ime.layout, vk) && keyboard_scan_code(vk) == scan)
            return vk;
    }
    return 0;
}

// A key of the layout that types a character rather than a jamo: it finishes the syllable
// and comes behind it, as any other character key does.
static void type_character(InputContext& ctx, WindowHandle window, char16_t ch)
{
    std::string text = to_code_page(std::u16string(1, ch));
    if (ctx.composing && !ctx.composition.empty()) {
        ctx.hangul = HangulComposer{};
        post_result(ctx, ctx.window, ctx.composition + text);
        return;
    }
    complete(ctx);
    for (char byte : text)
        post_message(window, WM_CHAR, uint8_t(byte), 1);
}

static void type_key(InputContext& ctx, WindowHandle window, uint32_t vk)
{
    if (ctx.composing && ctx.window != window)
        complete(ctx); // the focus moved on: what was composed belongs to the old window
    std::u16string committed;
    HangulKey key = hangul_key(s_ime.layout, vk, get_key_state(VK_SHIFT) < 0);
    if (vk == VK_BACK)
        hangul_backspace(ctx.hangul);
    else if (key.role == JamoRole::none && key.ch) {
        type_character(ctx, window, key.ch);
        return;
    } else
        hangul_feed(ctx.hangul, s_ime.layout, key, committed);
    show_step(ctx, window, committed);
}

// A context for steps from outside: the window's, or the thread's where the program detached
// it, since the text was composed somewhere else.
static InputContext* step_context(WindowHandle window)
{
    InputContext* ctx = find_context(imm_get_context(window));
    if (ctx || !is_window(window))
        return ctx;
    return find_context(thread_context());
}

static void run_step(WindowHandle window)
{
    if (s_ime.pending.empty())
        return;
    PendingStep step = s_ime.pending.front();
    s_ime.pending.pop_front();
    InputContext* ctx = step_context(window);
    if (!ctx)
        return;
    // The desktop's result belongs where its composition was shown, though the focus moved on;
    // any other step finishes a composition left in another window there first.
    bool elsewhere = ctx->composing && ctx->window != window;
    if (elsewhere && step.kind == PendingStep::Kind::host_commit)
        window = ctx->window;
    else if (elsewhere)
        complete(*ctx);
    std::u16string committed;
    switch (step.kind) {
    case PendingStep::Kind::jamo:
        hangul_feed(ctx->hangul, s_ime.layout, step.key, committed);
        show_step(*ctx, window, committed);
        break;
    case PendingStep::Kind::complete: complete(*ctx); break;
    case PendingStep::Kind::host_composition:
        ctx->hangul = HangulComposer{};
        if (step.text.empty()) {
            cancel(*ctx);
            break;
        }
        start_composition(*ctx, window);
        ctx->composition = step.text;
        post_composition(*ctx);
        break;
    case PendingStep::Kind::host_commit:
        ctx->hangul = HangulComposer{};
        post_result(*ctx, window, step.text);
        break;
    }
}

static void toggle_hangul(WindowHandle window)
{
    ImcHandle context = imm_get_context(window);
    InputContext* ctx = find_context(context);
    if (!s_ime.enabled || !ctx)
        return;
    imm_set_open_status(context, true);
    imm_set_conversion_status(context, ctx->conversion ^ IME_CMODE_NATIVE, ctx->sentence);
}

static bool is_modifier(uint32_t vk)
{
    switch (vk) {
    case VK_SHIFT:
    case VK_LSHIFT:
    case VK_RSHIFT:
    case VK_CAPITAL: return true;
    default: return false;
    }
}

bool ime_translate_key(const Msg& msg)
{
    if (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN)
        return false;
    uint32_t vk = uint32_t(msg.wparam);
    if (vk == VK_PROCESSKEY) {
        uint32_t scan = uint32_t(msg.lparam) >> 16 & 0xFF;
        if (scan == 0) {
            run_step(msg.hwnd);
            return true;
        }
        s_ime.last_virtual_key = key_of_scan_code(scan);
        if (InputContext* ctx = composing_context(msg.hwnd))
            type_key(*ctx, msg.hwnd, s_ime.last_virtual_key);
        return true;
    }
    s_ime.last_virtual_key = vk;
    if (vk == VK_HANGUL && msg.message == WM_KEYDOWN) {
        toggle_hangul(msg.hwnd);
        return false;
    }
    InputContext* ctx = find_context(imm_get_context(msg.hwnd));
    if (!ctx || !ctx->composing || is_modifier(vk))
        return false; // Shift may be held for the next jamo of the same syllable
    // Any other key finishes the syllable. A key that types a character ends the result
    // string (a Korean input method's three-byte result), so that its character cannot
    // overtake the syllable's: the result's characters are posted only when it is handled.
    uint8_t state[256];
    get_keyboard_state(state);
    KeyChar key = msg.message == WM_KEYDOWN ? keyboard_key_char(vk, state) : KeyChar{};
    if (key.kind != KeyChar::character || ctx->composition.empty()) {
        complete(*ctx);
        return false;
    }
    ctx->hangul = HangulComposer{};
    post_result(*ctx, ctx->window, ctx->composition + char(key.ch));
    return true;
}

// Each character of a result reaches the window as WM_IME_CHAR.
static void send_result_chars(WindowHandle window)
{
    InputContext* ctx = step_context(window);
    if (!ctx)
        return;
    std::string text = ctx->result;
    for (const char* at = text.c_str(); *at;) {
        const char* next = char_next(at);
        WParam code = next - at == 2 ? WParam(uint8_t(at[0])) << 8 | uint8_t(at[1]) : WParam(uint8_t(at[0]));
        send_message(window, WM_IME_CHAR, code, 1);
        at = next;
    }
}

LResult ime_default_proc(WindowHandle window, uint32_t message, WParam wparam, LParam lparam)
{
    if (message == WM_IME_COMPOSITION && (lparam & GCS_COMPSTR)) {
        InputContext* ctx = step_context(window);
        compwin_show(window, ctx ? ctx->composition : std::string());
    }
    if (message == WM_IME_ENDCOMPOSITION)
        compwin_hide();
    if (message == WM_IME_COMPOSITION && (lparam & GCS_RESULTSTR))
        send_result_chars(window);
    if (message == WM_IME_CHAR) {
        if (wparam > 0xFF)
            post_message(window, WM_CHAR, wparam >> 8 & 0xFF, 1);
        post_message(window, WM_CHAR, wparam & 0xFF, 1);
    }
    return 0;
}

// The context composing into window, if any. The desktop's input method finishes its own
// compositions and sends the result: finishing one here as well would type it twice.
static InputContext* composing_into(WindowHandle window)
{
    if (s_ime.host_composing)
        return nullptr;
    InputContext* found = nullptr;
    s_ime.contexts.for_each([&](uint32_t, InputContext& ctx) {
        if (ctx.composing && ctx.window == window)
            found = &ctx;
    });
    return found;
}

void ime_focus_leaving(WindowHandle window)
{
    InputContext* ctx = composing_into(window);
    if (!ctx)
        return;
    complete(*ctx);
    // At once: a window losing the focus as it is destroyed never gets the end of composition.
    compwin_hide();
}

bool ime_finish_before_key(const Msg& msg)
{
    InputContext* ctx = composing_into(msg.hwnd);
    if (!ctx || (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN))
        return false;
    complete(*ctx);
    input_put_back(msg);
    return true;
}

// Steps and their keys pair up in order, so a step is queued only when a window is there to
// take its key (a key with no window to go to is dropped by the input layer).
static void queue_step(PendingStep step)
{
    if (!get_focus() && !get_active_window())
        return;
    s_ime.pending.push_back(std::move(step));
    input_key(VK_PROCESSKEY, true);
    input_key(VK_PROCESSKEY, false);
}

static void queue_committed(const std::string& code_page_text)
{
    for (char c : code_page_text)
        input_char(uint8_t(c));
}

void ime_host_composition(std::string_view utf8)
{
    PendingStep step;
    step.kind = PendingStep::Kind::host_composition;
    step.text = utf8_to_code_page(CP_ACP, utf8);
    if (step.text.empty() && !s_ime.host_composing)
        return;
    s_ime.host_composing = !step.text.empty();
    queue_step(std::move(step));
}

void ime_host_commit(std::string_view utf8)
{
    std::string text = utf8_to_code_page(CP_ACP, utf8);
    if (text.empty())
        return;
    if (!s_ime.host_composing) {
        queue_committed(text); // text typed without composing: plain characters
        return;
    }
    s_ime.host_composing = false;
    PendingStep step;
    step.kind = PendingStep::Kind::host_commit;
    step.text = text;
    queue_step(std::move(step));
}

void ime_compose_text(std::string_view utf8)
{
    std::u16string text = multi_byte_to_wide(CP_UTF8, utf8);
    for (char16_t ch : text) {
        std::vector<HangulKey> keys = hangul_keys_of(s_ime.layout, ch);
        if (keys.empty()) {
            queue_step(PendingStep{});
            queue_committed(to_code_page(std::u16string(1, ch)));
            continue;
        }
        // A lone jamo stays alone, as typed with a pause before and after it, so that it
        // joins neither the syllable before nor the one after; syllables join as typed.
        bool lone = ch < 0xAC00;
        if (lone)
            queue_step(PendingStep{});
        for (HangulKey key : keys)
            queue_step(PendingStep{PendingStep::Kind::jamo, key, {}});
        if (lone)
            queue_step(PendingStep{});
    }
    queue_step(PendingStep{});
}

void ime_reset()
{
    s_ime = ImeState{};
    compwin_reset();
}

} // namespace plat
