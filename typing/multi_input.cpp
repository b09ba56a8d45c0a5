// The typing line. Each control keeps its lines, finished typed codes and statistics; the line
// being typed lives in this module's one input state, as only one control is typed into at a
// time. Typed code j always stands under model code j: a double-byte character typed over a
// single-byte model character is followed by a marker that takes the second model column.
#include "typing/multi_input.h"

#include "platform/controls/controls.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/gdi_object.h"
#include "platform/gdi/surface.h"
#include "platform/ime/ime.h"
#include "platform/kernel/clock.h"
#include "platform/kernel/log.h"
#include "platform/window/caret.h"
#include "platform/window/cursor.h"
#include "platform/window/defproc.h"
#include "platform/window/focus.h"
#include "platform/window/keyboard.h"
#include "platform/window/paint.h"
#include "platform/window/window.h"
#include "platform/window/wndclass.h"
#include "typing/automaton.h"
#include "typing/johab.h"
#include "typing/kbd_controls.h"
#include "typing/line_judge.h"
#include "typing/text_draw.h"
#include "typing/tutor_ime.h"
#include "typing/tutor_settings.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

constexpr uint32_t kMsgInterimChar = 0x10C; // the Korean input method's character in progress
constexpr uint32_t kMsgFinalChar = 2025;
constexpr size_t kCompositionMax = 20;
constexpr size_t kStoreCodes = 120;
constexpr uint32_t kModelGrey = plat::rgb(192, 192, 192);
constexpr uint32_t kWrongRed = plat::rgb(255, 0, 0);
constexpr uint32_t kInkBlack = plat::rgb(0, 0, 0);
constexpr int32_t kCaretWidth = 3;

namespace {

struct MultiInput {
    uint16_t flags = 0;
    int32_t line_count = 1;
    int32_t line_spacing = 0;
    int32_t left_margin = 0;
    std::array<std::array<char, kMultiInputLineBytes>, kMultiInputMaxLines> models {};
    std::array<std::array<char, kMultiInputLineBytes>, kMultiInputMaxLines> typed_lines {};
    std::array<std::array<uint16_t, kStoreCodes>, kMultiInputMaxLines> store {}; // 0-ended
    PracticeStats stats;
    plat::ImcHandle context;
    bool started = false; // a key came since the start: word 5 holds the start tick
    int32_t finished = 0; // lines finished since the start, kept in the store
    bool done = true; // every line is finished (or none was started)
};

// The line being typed.
struct LineInput {
    plat::WindowHandle owner;
    std::vector<uint16_t> model; // Johab
    std::vector<uint16_t> typed;
    std::vector<KeyTimes> times; // one per typed code
    int32_t line = 0;
    uint8_t lead = 0; // a lead byte waiting for its trail byte
    bool interim = false; // the last typed code is a composition still in progress
    KeyTiming timing;
};

} // namespace

static LineInput s_input;

static MultiInput* instance(plat::WindowHandle window)
{
    char name[sizeof kMultiInputClass + 1] = {};
    if (!plat::is_window(window) || plat::get_class_name(window, name, sizeof name) == 0
        || std::strcmp(name, kMultiInputClass) != 0)
        return nullptr;
    return reinterpret_cast<MultiInput*>(plat::get_window_long_ptr(window, 0));
}

static int32_t half_width() { return int32_t(text_extent({}, "A") & 0xFFFF); }
static int32_t cell_height() { return int32_t(text_extent({}, "A") >> 16); }

static void notify(plat::WindowHandle window, uint32_t code)
{
    plat::send_message(plat::get_parent(window), plat::WM_COMMAND, kMultiInputId,
        plat::LParam(code << 16 | (window.id & 0xFFFF)));
}

// The model of a line as Johab codes.
static std::vector<uint16_t> model_codes(const MultiInput& mi, int line)
{
    const auto& text = mi.models[size_t(line)];
    std::vector<uint16_t> codes = dbcs_to_codes(std::string_view(text.data(), strnlen(text.data(), text.size())));
    if (!(mi.flags & kMultiInputJohabModel)) {
        for (uint16_t& code : codes)
            code = code >= 0x80 ? wansung_char_to_johab(code) : code;
    }
    if (codes.size() > kMultiInputMaxCodes)
        codes.resize(kMultiInputMaxCodes);
    return codes;
}

static std::vector<uint16_t> stored_codes(const MultiInput& mi, int line)
{
    const auto& codes = mi.store[size_t(line)];
    return std::vector<uint16_t>(codes.begin(), std::find(codes.begin(), codes.end(), 0));
}

static int32_t line_top(const MultiInput& mi, int line)
{
    return mi.line_spacing + line * (mi.line_spacing + 2 * cell_height());
}

// x of model code i: each byte is half a cell wide.
static int32_t column_x(const MultiInput& mi, const std::vector<uint16_t>& model, size_t i)
{
    int32_t columns = 0;
    for (size_t k = 0; k < i && k < model.size(); k++)
        columns += code_width(model[k]);
    return mi.left_margin + columns * half_width();
}

static void place_caret(const MultiInput& mi)
{
    plat::set_caret_pos(column_x(mi, s_input.model, s_input.typed.size()), line_top(mi, s_input.line) + cell_height());
}

static void log_models(const MultiInput& mi)
{
    for (int line = 0; line < mi.line_count; line++) {
        const auto& model = mi.models[size_t(line)];
        std::string text(model.data(), strnlen(model.data(), model.size()));
        if (mi.flags & kMultiInputJohabModel)
            text = johab_to_wansung(text);
        plat::log_event("line model " + std::to_string(line) + " " + plat::log_quote(text));
    }
}

static void load_line(const MultiInput& mi, int line)
{
    s_input.model = model_codes(mi, line);
    s_input.typed.clear();
    s_input.times.clear();
    s_input.line = line;
    s_input.lead = 0;
    s_input.interim = false;
    key_timing_restart(s_input.timing, plat::get_tick_count());
}

static void start_over(plat::WindowHandle window, MultiInput& mi)
{
    for (auto& line : mi.typed_lines)
        line.fill(0);
    for (auto& line : mi.store)
        line.fill(0);
    mi.stats = PracticeStats {};
    mi.started = false;
    mi.finished = 0;
    mi.done = false;
    s_input.owner = window;
    log_models(mi);
    load_line(mi, 0);
    place_caret(mi);
    notify(window, kNotifyMultiInputPosition);
    plat::invalidate_rect(window, nullptr, true);
}

// ---- keys ------------------------------------------------------------------------------

static uint32_t with_interim(uint32_t result) { return result | (s_input.interim ? 1u << 16 : 0); }

static uint32_t backspace()
{
    if (s_input.typed.empty())
        return kKeyNothing;
    bool marker = s_input.typed.back() == kTypedSecondColumn;
    s_input.typed.pop_back();
    if (marker && !s_input.typed.empty())
        s_input.typed.pop_back(); // the marker goes with its character
    s_input.times.resize(s_input.typed.size());
    s_input.interim = false;
    key_timing_restart(s_input.timing, plat::get_tick_count());
    return kKeyBackspace;
}

// A character typed at the position (a composition replaces its previous step), or a blank
// that ends the line.
static uint32_t type_code(uint16_t code, bool interim)
{
    bool blank = code == ' ';
    size_t at = s_input.interim ? s_input.typed.size() - 1 : s_input.typed.size();
    if (blank && !s_input.interim && at >= s_input.model.size())
        return kKeyLineDone;
    if (at >= s_input.model.size())
        return kKeyNothing; // the position never passes the line's end
    s_input.typed.resize(at);
    s_input.times.resize(at);
    uint32_t now = plat::get_tick_count();
    KeyTimes times;
    if (interim)
        key_timing_interim(s_input.timing, now, code);
    else
        times = key_timing_final(s_input.timing, now, code);
    s_input.typed.push_back(code);
    s_input.times.push_back(times);
    s_input.interim = interim;
    bool over_single = at < s_input.model.size() && s_input.model[at] < 0x80;
    if (!interim && code >= 0x100 && over_single && at + 1 < s_input.model.size()) {
        s_input.typed.push_back(kTypedSecondColumn);
        s_input.times.push_back(KeyTimes {});
    }
    return kKeyTyped;
}

// What a code does: nothing, a backspace, a blank, Esc, or a character typed.
static uint32_t key_code(uint16_t code, bool interim)
{
    switch (code) {
    case 0: return kKeyNothing;
    case 8: return backspace();
    case 9:
    case 13: return type_code(' ', false);
    case 27: return kKeyEscape;
    default: return type_code(code, interim);
    }
}

// WM_CHAR and its kin deliver bytes; a lead byte waits for its trail byte.
static uint32_t key_byte(uint8_t byte, bool interim)
{
    if (s_input.lead) {
        uint16_t code = wansung_char_to_johab(uint16_t(s_input.lead << 8 | byte));
        s_input.lead = 0;
        return key_code(code, interim);
    }
    if (byte & 0x80) {
        s_input.lead = byte;
        return kKeyNothing;
    }
    return key_code(byte, interim);
}

static uint16_t first_code(const std::string& text, size_t& used)
{
    uint8_t first = uint8_t(text[0]);
    if ((first & 0x80) && text.size() >= 2) {
        used = 2;
        return wansung_char_to_johab(uint16_t(first << 8 | uint8_t(text[1])));
    }
    used = 1;
    return first & 0x80 ? 0 : first;
}

// The input method's composition (an interim character) or result (final).
static uint32_t key_composition(plat::WindowHandle window, MultiInput& mi, plat::LParam lparam, bool& unhandled)
{
    bool result = (lparam & plat::GCS_RESULTSTR) != 0;
    char buffer[64] = {};
    size_t limit = result ? sizeof buffer : kCompositionMax;
    int32_t got = plat::imm_get_composition_string(mi.context, result ? plat::GCS_RESULTSTR : plat::GCS_COMPSTR,
        buffer, uint32_t(limit));
    std::string text(buffer, size_t(std::max(got, 0)));
    bool jamo_mode = (mi.flags & kMultiInputJamoByJamo) != 0;
    if (text.empty()) {
        if (!result && !jamo_mode)
            plat::post_message(window, plat::WM_CHAR, 8, 0); // the interim character was withdrawn
        unhandled = true;
        return kKeyNothing;
    }
    size_t used = 0;
    uint16_t code = first_code(text, used);
    if (result) {
        // What follows the first character (a key that finished the syllable) comes as keys.
        for (size_t i = used; i < text.size(); i++)
            plat::post_message(window, plat::WM_CHAR, uint8_t(text[i]), 0);
    }
    bool interim = !result;
    if (jamo_mode && interim) {
        // A final's key (390) types the final, which the lessons' models hold as such.
        uint16_t as_final = automaton_as_final(code);
        if (as_final && plat::ime_composition_role(mi.context) == plat::JamoRole::final)
            code = as_final;
        ime_cancel_composition(window);
        interim = false; // each key's jamo stays as it is
    }
    return key_code(code, interim);
}

static void sync_hangul_flag(plat::WindowHandle window, MultiInput& mi)
{
    mi.flags = uint16_t(ime_hangul_mode_get(window) ? mi.flags | kMultiInputHangul : mi.flags & ~kMultiInputHangul);
}

// Key handling for WM_CHAR, the interim and final characters and WM_IME_COMPOSITION: the
// result in the low word, the interim flag in the high word. unhandled asks for the default
// processing.
static uint32_t multi_input_key(plat::WindowHandle window, MultiInput& mi, uint32_t message, plat::WParam wparam,
    plat::LParam lparam, bool& unhandled)
{
    unhandled = false;
    if (s_input.owner != window || mi.done)
        return message == plat::WM_CHAR && (wparam & 0xFF) == 27 ? kKeyEscape : kKeyNothing;
    uint32_t result = kKeyNothing;
    switch (message) {
    case plat::WM_IME_COMPOSITION: result = key_composition(window, mi, lparam, unhandled); break;
    case plat::WM_CHAR:
    case kMsgFinalChar: result = key_byte(uint8_t(wparam), false); break;
    case kMsgInterimChar: result = key_byte(uint8_t(wparam), true); break;
    default: break;
    }
    return with_interim(result);
}

// ---- after a key --------------------------------------------------------------------------

static void invalidate_line(plat::WindowHandle window, const MultiInput& mi, int line)
{
    plat::Rect client;
    plat::get_client_rect(window, client);
    plat::Rect pair {client.left, line_top(mi, line), client.right, line_top(mi, line) + 2 * cell_height()};
    plat::invalidate_rect(window, &pair, true);
}

static void log_judged(const MultiInput& mi)
{
    const PracticeStats& st = mi.stats;
    int32_t strokes = st.at(kStatsStrokes);
    int32_t ms = st.at(kStatsMilliseconds);
    plat::log_event("line judged lines=" + std::to_string(mi.line_count) + " typed=" + std::to_string(st.at(kStatsTyped))
        + " correct=" + std::to_string(st.at(kStatsCorrect)) + " strokes=" + std::to_string(strokes)
        + " ms=" + std::to_string(ms) + " speed=" + std::to_string(speed_per_minute(strokes, ms))
        + " accuracy=" + std::to_string(accuracy_percent(st.at(kStatsTyped), st.at(kStatsCorrect))));
}

static void finish_line(plat::WindowHandle window, MultiInput& mi)
{
    int line = s_input.line;
    size_t kept = std::min(s_input.typed.size(), kStoreCodes - 1);
    std::copy_n(s_input.typed.begin(), kept, mi.store[size_t(line)].begin());
    std::vector<uint16_t> characters; // the markers only hold columns
    std::copy_if(s_input.typed.begin(), s_input.typed.begin() + std::ptrdiff_t(kept), std::back_inserter(characters),
        [](uint16_t code) { return code != kTypedSecondColumn; });
    std::string text = codes_to_dbcs(characters);
    if (!(mi.flags & kMultiInputJohabModel))
        text = johab_to_wansung(text);
    text = dbcs_cut(text, kMultiInputLineBytes - 1);
    std::memcpy(mi.typed_lines[size_t(line)].data(), text.c_str(), text.size() + 1);
    mi.finished = line + 1;
    line_judge(s_input.typed, s_input.model, s_input.times, mi.stats);
    invalidate_line(window, mi, line);
    if (line + 1 < mi.line_count) {
        load_line(mi, line + 1);
        place_caret(mi);
        notify(window, kNotifyMultiInputPosition);
        return;
    }
    mi.done = true;
    mi.stats.at(kStatsMilliseconds) = int32_t(plat::get_tick_count() - uint32_t(mi.stats.at(kStatsMilliseconds)));
    ime_drop_pending_keys(window);
    log_judged(mi);
    notify(window, kNotifyMultiInputDone);
}

static void after_key(plat::WindowHandle window, MultiInput& mi, uint32_t result)
{
    uint32_t code = result & 0xFFFF;
    if ((code == kKeyTyped || code == kKeyBackspace || code == kKeyLineDone) && !mi.started) {
        mi.started = true;
        mi.stats.at(kStatsMilliseconds) = int32_t(plat::get_tick_count());
    }
    switch (code) {
    case kKeyTyped:
    case kKeyBackspace:
        invalidate_line(window, mi, s_input.line);
        place_caret(mi);
        notify(window, kNotifyMultiInputPosition);
        break;
    case kKeyLineDone: finish_line(window, mi); break;
    case kKeyEscape: notify(window, kNotifyMultiInputEscape); break;
    default: break;
    }
}

// ---- painting -----------------------------------------------------------------------------

static std::string code_text(uint16_t code)
{
    std::string text;
    if (code >= 0x100)
        text += char(code >> 8);
    text += char(code & 0xFF);
    return text;
}

static void paint_line(plat::DcHandle dc, plat::WindowHandle window, const MultiInput& mi, int line)
{
    std::vector<uint16_t> model = model_codes(mi, line);
    std::vector<uint16_t> typed;
    if (line < mi.finished)
        typed = stored_codes(mi, line);
    else if (s_input.owner == window && line == s_input.line && !mi.done)
        typed = s_input.typed;
    int32_t y = line_top(mi, line);
    for (size_t i = 0; i < model.size(); i++) {
        int32_t x = column_x(mi, model, i);
        bool wrong = i < typed.size() && typed[i] != model[i];
        uint16_t shown = wrong && model[i] == ' ' ? uint16_t('_') : model[i];
        plat::set_text_color(dc, wrong ? kWrongRed : kInkBlack);
        text_draw(dc, x, y, 0, nullptr, code_text(shown));
        if (i < typed.size() && typed[i] != kTypedSecondColumn) {
            plat::set_text_color(dc, kInkBlack);
            text_draw(dc, x, y + cell_height(), 0, nullptr, code_text(typed[i]));
        }
    }
}

static void paint(plat::WindowHandle window, const MultiInput& mi)
{
    plat::PaintStruct ps;
    plat::DcHandle dc = plat::begin_paint(window, ps);
    plat::Rect client;
    plat::get_client_rect(window, client);
    plat::GdiObject grey = plat::create_solid_brush(kModelGrey);
    plat::fill_rect(dc, client, grey);
    plat::delete_object(grey);
    for (int line = 0; line < mi.line_count; line++)
        paint_line(dc, window, mi, line);
    plat::end_paint(window, ps);
}

// ---- the window ---------------------------------------------------------------------------

static plat::LResult on_create(plat::WindowHandle window, plat::LParam lparam)
{
    auto* create = reinterpret_cast<const plat::CreateStruct*>(lparam);
    auto* mi = static_cast<MultiInput*>(create ? create->create_params : nullptr);
    if (!mi)
        return -1;
    plat::set_window_long_ptr(window, 0, reinterpret_cast<intptr_t>(mi));
    plat::post_message(window, plat::WM_GETDLGCODE, 0, 0); // takes the focus once it is shown
    mi->context = plat::imm_create_context();
    plat::imm_associate_context(window, mi->context);
    ime_hangul_mode_set(window, (mi->flags & kMultiInputHangul) != 0);
    return 0;
}

static void on_destroy(plat::WindowHandle window, MultiInput* mi)
{
    ime_hangul_mode_set(window, false);
    plat::imm_associate_context(window, {});
    plat::imm_destroy_context(mi->context);
    if (s_input.owner == window)
        s_input = LineInput {};
    plat::set_window_long_ptr(window, 0, 0);
    delete mi;
}

static plat::LResult on_message(plat::WindowHandle window, MultiInput& mi, uint32_t message, plat::WParam wparam,
    plat::LParam lparam)
{
    switch (message) {
    case plat::WM_PAINT:
        paint(window, mi);
        return 0;
    case plat::WM_GETDLGCODE:
        plat::set_focus(window);
        return plat::DLGC_WANTALLKEYS;
    case plat::WM_IME_STARTCOMPOSITION: return 0; // no composition window: the line shows it
    case plat::WM_KEYDOWN:
        if (wparam == plat::VK_HANGUL)
            sync_hangul_flag(window, mi);
        return 0;
    case plat::WM_IME_NOTIFY:
        if (wparam == plat::IMN_SETCONVERSIONMODE)
            sync_hangul_flag(window, mi);
        return plat::def_window_proc(window, message, wparam, lparam);
    case plat::WM_IME_COMPOSITION:
    case plat::WM_CHAR:
    case kMsgInterimChar:
    case kMsgFinalChar: {
        bool unhandled = false;
        uint32_t result = multi_input_key(window, mi, message, wparam, lparam, unhandled);
        after_key(window, mi, result);
        return unhandled ? plat::def_window_proc(window, message, wparam, lparam) : 0;
    }
    case kMsgMultiInputStart:
        start_over(window, mi);
        return 0;
    case kMsgMultiInputHangul:
        ime_hangul_mode_set(window, (wparam & kMultiInputHangul) != 0);
        sync_hangul_flag(window, mi);
        return 0;
    case kMsgMultiInputMargin:
        mi.left_margin = int32_t(wparam);
        plat::invalidate_rect(window, nullptr, true);
        return 0;
    case plat::WM_SETFOCUS:
        plat::create_caret(window, {}, kCaretWidth, cell_height());
        place_caret(mi);
        plat::show_caret(window);
        return 0;
    case plat::WM_KILLFOCUS:
        plat::destroy_caret();
        return 0;
    case plat::WM_DESTROY:
        on_destroy(window, &mi);
        return 0;
    default: return plat::def_window_proc(window, message, wparam, lparam);
    }
}

static plat::LResult multi_input_proc(plat::WindowHandle window, uint32_t message, plat::WParam wparam,
    plat::LParam lparam)
{
    if (message == plat::WM_CREATE)
        return on_create(window, lparam);
    auto* mi = reinterpret_cast<MultiInput*>(plat::get_window_long_ptr(window, 0));
    if (!mi)
        return plat::def_window_proc(window, message, wparam, lparam);
    return on_message(window, *mi, message, wparam, lparam);
}

bool multi_input_register()
{
    plat::WindowClass c;
    c.style = plat::CS_HREDRAW | plat::CS_VREDRAW | plat::CS_GLOBALCLASS;
    c.proc = multi_input_proc;
    c.window_extra = 12;
    c.cursor = plat::load_cursor({}, plat::IDC_ARROW);
    c.background = plat::get_stock_object(plat::LTGRAY_BRUSH);
    c.class_name = kMultiInputClass;
    plat::register_class(c);
    return kbd_controls_register(c);
}

plat::WindowHandle multi_input_create(plat::WindowHandle parent, uint16_t flags, int32_t line_spacing,
    int32_t left_margin, int32_t line_count, int32_t x, int32_t y, int32_t width, int32_t height)
{
    auto mi = std::make_unique<MultiInput>();
    mi->flags = flags;
    mi->line_spacing = line_spacing;
    mi->left_margin = left_margin;
    mi->line_count = std::clamp(line_count, 1, kMultiInputMaxLines);
    plat::WindowHandle window = plat::create_window_ex(0, kMultiInputClass, "", plat::WS_CHILD | plat::WS_VISIBLE, x, y,
        width, height, parent, kMultiInputId, {}, mi.get());
    if (window)
        mi.release(); // the window owns it now and frees it as it goes
    return window;
}

void multi_input_destroy(plat::WindowHandle window)
{
    if (instance(window))
        plat::destroy_window(window);
}

bool multi_input_set_model(plat::WindowHandle window, int line, std::string_view text)
{
    MultiInput* mi = instance(window);
    if (!mi || line < 0 || line >= kMultiInputMaxLines)
        return false;
    std::string cut = dbcs_cut(text.substr(0, text.find('\0')), kMultiInputLineBytes - 1);
    auto& model = mi->models[size_t(line)];
    model.fill(0);
    std::memcpy(model.data(), cut.data(), cut.size());
    return true;
}

bool multi_input_set_line_count(plat::WindowHandle window, int32_t line_count)
{
    MultiInput* mi = instance(window);
    if (!mi)
        return false;
    mi->line_count = std::clamp(line_count, 1, kMultiInputMaxLines);
    plat::invalidate_rect(window, nullptr, true);
    return true;
}

bool multi_input_set_jamo_by_jamo(plat::WindowHandle window, bool on)
{
    MultiInput* mi = instance(window);
    if (!mi)
        return false;
    mi->flags = uint16_t(on ? mi->flags | kMultiInputJamoByJamo : mi->flags & ~kMultiInputJamoByJamo);
    return true;
}

PracticeStats* multi_input_stats(plat::WindowHandle window)
{
    MultiInput* mi = instance(window);
    return mi ? &mi->stats : nullptr;
}

MultiInputState multi_input_state(plat::WindowHandle window)
{
    MultiInputState state;
    MultiInput* mi = instance(window);
    if (!mi)
        return state;
    state.flags = mi->flags;
    if (s_input.owner != window)
        return state;
    size_t position = s_input.typed.size();
    state.line = s_input.line;
    state.position = int32_t(position);
    state.interim = s_input.interim;
    if (position > 0) {
        state.last_typed = s_input.typed.back();
        state.model_under_last = position - 1 < s_input.model.size() ? s_input.model[position - 1] : 0;
    }
    state.model_next = position < s_input.model.size() ? s_input.model[position] : 0;
    return state;
}
