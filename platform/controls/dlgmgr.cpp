#include "platform/controls/dlgmgr.h"

#include <algorithm>
#include <vector>

#include "platform/kernel/codepage.h"
#include "platform/controls/controls.h"
#include "platform/controls/ctl_button.h"
#include "platform/ime/ime.h"
#include "platform/window/focus.h"
#include "platform/window/input.h"
#include "platform/window/keyboard.h"
#include "platform/kernel/log.h"
#include "platform/window/paint.h"
#include "platform/backend/script.h"
#include "platform/window/window.h"
#include "platform/window/winpos.h"

namespace plat {

struct DlgMgrState {
    std::vector<WindowHandle> modal_stack; // innermost last
};

static DlgMgrState s_dlgmgr;

static std::vector<WindowHandle> children_of(WindowHandle dialog)
{
    std::vector<WindowHandle> out;
    for (WindowHandle child = get_window(dialog, GW_CHILD); child; child = get_window(child, GW_HWNDNEXT))
        out.push_back(child);
    return out;
}

// The dialog's own control that holds window (a combo box for its edit).
static WindowHandle top_control(WindowHandle dialog, WindowHandle window)
{
    while (window && get_parent(window) != dialog) {
        WindowHandle parent = get_parent(window);
        if (!parent || !is_child(dialog, parent))
            return {};
        window = parent;
    }
    return window;
}

static uint32_t style_of(WindowHandle window) { return uint32_t(get_window_long(window, GWL_STYLE)); }

// The control's own style decides, so that a dialog not yet shown has its order too.
static bool can_take(WindowHandle window) { return (style_of(window) & (WS_VISIBLE | WS_DISABLED)) == WS_VISIBLE; }

static ptrdiff_t index_of(const std::vector<WindowHandle>& list, WindowHandle window)
{
    auto it = std::find(list.begin(), list.end(), window);
    return it == list.end() ? -1 : it - list.begin();
}

WindowHandle get_next_dlg_tab_item(WindowHandle dialog, WindowHandle control, bool previous)
{
    std::vector<WindowHandle> controls = children_of(dialog);
    ptrdiff_t count = ptrdiff_t(controls.size());
    ptrdiff_t start = index_of(controls, top_control(dialog, control));
    if (start < 0)
        start = previous ? count : -1;
    for (ptrdiff_t step = 1; step <= count; step++) {
        ptrdiff_t i = ((previous ? start - step : start + step) % count + count) % count;
        WindowHandle candidate = controls[size_t(i)];
        if ((style_of(candidate) & WS_TABSTOP) && can_take(candidate))
            return candidate;
    }
    return control;
}

WindowHandle get_next_dlg_group_item(WindowHandle dialog, WindowHandle control, bool previous)
{
    std::vector<WindowHandle> controls = children_of(dialog);
    if (controls.empty())
        return {};
    ptrdiff_t at = control ? index_of(controls, top_control(dialog, control)) : 0;
    if (at < 0)
        return {};
    ptrdiff_t first = at;
    while (first > 0 && !(style_of(controls[size_t(first)]) & WS_GROUP))
        first--;
    ptrdiff_t end = at + 1;
    while (end < ptrdiff_t(controls.size()) && !(style_of(controls[size_t(end)]) & WS_GROUP))
        end++;
    ptrdiff_t size = end - first;
    for (ptrdiff_t step = 1; step < size; step++) {
        ptrdiff_t offset = ((previous ? at - first - step : at - first + step) % size + size) % size;
        WindowHandle candidate = controls[size_t(first + offset)];
        if (can_take(candidate))
            return candidate;
    }
    return controls[size_t(at)];
}

static uint32_t dialog_code(WindowHandle window, Msg* msg)
{
    return uint32_t(send_message(window, WM_GETDLGCODE, msg ? msg->wparam : 0, reinterpret_cast<LParam>(msg)));
}

static void move_focus(WindowHandle dialog, WindowHandle target)
{
    if (target)
        send_message(dialog, WM_NEXTDLGCTL, WParam(target.id), 1);
}

static void press_enter(WindowHandle dialog, WindowHandle focus, uint32_t code)
{
    WindowHandle button;
    int id = IDOK;
    if (code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) {
        button = focus;
        id = get_dlg_ctrl_id(focus);
    } else {
        LResult answer = send_message(dialog, DM_GETDEFID, 0, 0);
        if (hiword(uintptr_t(answer)) == DC_HASDEFID)
            id = int(loword(uintptr_t(answer)));
        button = get_dlg_item(dialog, id);
    }
    if (button && !is_window_enabled(button))
        return;
    send_message(dialog, WM_COMMAND, make_wparam(uint32_t(id), BN_CLICKED), LParam(button.id));
}

// Whether the dialog acts on a key-down itself rather than passing it to the control.
static bool dialog_takes_key(uint32_t vk, uint32_t code)
{
    switch (vk) {
    case VK_TAB: return !(code & DLGC_WANTTAB);
    case VK_LEFT:
    case VK_UP:
    case VK_RIGHT:
    case VK_DOWN: return !(code & DLGC_WANTARROWS);
    case VK_ESCAPE:
    case VK_RETURN: return true;
    default: return false;
    }
}

static bool handle_key(WindowHandle dialog, Msg& msg)
{
    uint32_t code = dialog_code(msg.hwnd, &msg);
    if ((code & DLGC_WANTMESSAGE) || !dialog_takes_key(uint32_t(msg.wparam), code))
        return false;
    // A syllable being composed goes into its field before a button or the next control acts.
    if (ime_finish_before_key(msg))
        return true;
    WindowHandle focus = top_control(dialog, get_focus());
    switch (msg.wparam) {
    case VK_TAB:
        move_focus(dialog, get_next_dlg_tab_item(dialog, focus, get_key_state(VK_SHIFT) < 0));
        return true;
    case VK_LEFT:
    case VK_UP:
    case VK_RIGHT:
    case VK_DOWN: {
        bool back = msg.wparam == VK_LEFT || msg.wparam == VK_UP;
        WindowHandle next = get_next_dlg_group_item(dialog, focus, back);
        if (next && next != focus)
            move_focus(dialog, next);
        return true;
    }
    case VK_ESCAPE:
        send_message(dialog, WM_COMMAND, make_wparam(IDCANCEL, BN_CLICKED), LParam(get_dlg_item(dialog, IDCANCEL).id));
        return true;
    case VK_RETURN: press_enter(dialog, focus, focus ? dialog_code(focus, nullptr) : 0); return true;
    default: return false;
    }
}

// Alt+letter, or a letter where the focus takes none: the button or label whose text underlines
// it. A label sends the focus on to the control after it.
static bool handle_mnemonic(WindowHandle dialog, uint8_t ch)
{
    char wanted = char_upper(char(ch));
    WindowHandle focus = top_control(dialog, get_focus());
    std::vector<WindowHandle> controls = children_of(dialog);
    ptrdiff_t start = index_of(controls, focus);
    ptrdiff_t count = ptrdiff_t(controls.size());
    for (ptrdiff_t step = 1; step <= count; step++) {
        WindowHandle control = controls[size_t(((start + step) % count + count) % count)];
        uint32_t code = dialog_code(control, nullptr);
        bool label = (code & DLGC_STATIC) && !(style_of(control) & SS_NOPREFIX);
        if (!(code & DLGC_BUTTON) && !label)
            continue;
        if (!can_take(control) || controls_mnemonic(controls_text(control)) != wanted)
            continue;
        if (code & DLGC_BUTTON)
            send_message(control, BM_CLICK, 0, 0);
        else
            move_focus(dialog, get_next_dlg_tab_item(dialog, control, false));
        return true;
    }
    return false;
}

static bool handle_char(WindowHandle dialog, Msg& msg)
{
    uint32_t code = dialog_code(msg.hwnd, &msg);
    if (msg.message == WM_CHAR) {
        if (code & (DLGC_WANTCHARS | DLGC_WANTMESSAGE))
            return false;
        if (msg.wparam == '\t')
            return !(code & DLGC_WANTTAB);
    }
    return handle_mnemonic(dialog, uint8_t(msg.wparam));
}

bool is_dialog_message(WindowHandle dialog, Msg& msg)
{
    if (!is_window(dialog) || !msg.hwnd || (msg.hwnd != dialog && !is_child(dialog, msg.hwnd)))
        return false;
    bool handled = false;
    switch (msg.message) {
    case WM_KEYDOWN: handled = handle_key(dialog, msg); break;
    case WM_CHAR:
    case WM_SYSCHAR: handled = handle_char(dialog, msg); break;
    default: break;
    }
    if (!handled) {
        translate_message(msg);
        dispatch_message(msg);
    }
    return true;
}

static std::vector<WindowHandle> disable_for_run(WindowHandle owner, ModalScope scope)
{
    std::vector<WindowHandle> disabled;
    std::vector<WindowHandle> candidates;
    if (scope == ModalScope::task) {
        enum_windows(
            [](WindowHandle window, LParam list) {
                reinterpret_cast<std::vector<WindowHandle>*>(list)->push_back(window);
                return true;
            },
            reinterpret_cast<LParam>(&candidates));
    } else if (owner) {
        candidates.push_back(owner);
    }
    for (WindowHandle window : candidates) {
        if (is_window_enabled(window)) {
            enable_window(window, false);
            disabled.push_back(window);
        }
    }
    return disabled;
}

static void enable_again(std::vector<WindowHandle>& disabled)
{
    for (WindowHandle window : disabled) {
        if (is_window(window))
            enable_window(window, true);
    }
    disabled.clear();
}

bool end_dialog(WindowHandle dialog, intptr_t result)
{
    DialogInfo* info = dialog_info(dialog);
    if (!info)
        return false;
    info->ended = true;
    info->result = result;
    std::vector<WindowHandle> disabled = std::move(info->disabled);
    info->disabled.clear();
    enable_again(disabled);
    show_window(dialog, SW_HIDE);
    return true;
}

static bool same_label(std::string label, const std::string& wanted)
{
    label.erase(std::remove(label.begin(), label.end(), '&'), label.end());
    while (!label.empty() && label.back() == ' ')
        label.pop_back();
    return lstrcmpi(label.c_str(), wanted.c_str()) == 0;
}

struct StandardAnswer {
    const char* name;
    int id;
};

// Names that press the button of a standard id when no button shows the name itself.
static const StandardAnswer kStandardAnswers[] = {
    {"OK", IDOK},         {"Cancel", IDCANCEL}, {"Abort", IDABORT}, {"Retry", IDRETRY}, {"Ignore", IDIGNORE},
    {"Yes", IDYES},       {"No", IDNO},         {"Close", IDCLOSE}, {"Help", IDHELP},
};

static WindowHandle answer_button(WindowHandle dialog, const std::string& wanted)
{
    for (WindowHandle control : children_of(dialog)) {
        uint32_t code = dialog_code(control, nullptr);
        if ((code & DLGC_BUTTON) && is_window_visible(control) && same_label(controls_text(control), wanted))
            return control;
    }
    for (const StandardAnswer& answer : kStandardAnswers) {
        if (lstrcmpi(answer.name, wanted.c_str()) == 0) {
            WindowHandle button = get_dlg_item(dialog, answer.id);
            if (button && is_window_visible(button))
                return button;
        }
    }
    return {};
}

WindowHandle dlgmgr_top_modal()
{
    while (!s_dlgmgr.modal_stack.empty() && !is_window(s_dlgmgr.modal_stack.back()))
        s_dlgmgr.modal_stack.pop_back();
    return s_dlgmgr.modal_stack.empty() ? WindowHandle{} : s_dlgmgr.modal_stack.back();
}

bool dlgmgr_take_answer()
{
    WindowHandle dialog = dlgmgr_top_modal();
    DialogInfo* info = dialog_info(dialog);
    if (!info || info->ended || !is_window_visible(dialog))
        return false;
    std::string answer;
    if (!script_take_answer(answer))
        return false;
    std::string wanted = utf8_to_code_page(CP_ACP, answer);
    WindowHandle button = answer_button(dialog, wanted);
    if (!button || !is_window_enabled(button)) {
        log_event("script error " + log_quote_utf8("answer " + answer + ": no such button enabled in \"" +
            code_page_to_utf8(CP_ACP, controls_text(dialog)) + "\""));
        return false;
    }
    send_message(button, BM_CLICK, 0, 0);
    return true;
}

static void wake_modal_loop() { post_message({}, WM_NULL, 0, 0); }

void dlgmgr_listen_to_script()
{
    ScriptServices services;
    services.answer_queued = wake_modal_loop;
    services.file_queued = wake_modal_loop;
    script_set_services(services);
}

static void run_loop(WindowHandle dialog)
{
    Msg msg;
    for (;;) {
        DialogInfo* info = dialog_info(dialog);
        if (!info || info->ended)
            return;
        dlgmgr_take_answer();
        // Only the dialog on top, and not once an answer ended it: the file is the next one's.
        if ((info = dialog_info(dialog)) && !info->ended && info->script_poll && s_dlgmgr.modal_stack.back() == dialog)
            info->script_poll(dialog);
        if (!(info = dialog_info(dialog)) || info->ended)
            return;
        int got = get_message(msg);
        if (got == 0)
            post_quit_message(int(msg.wparam));
        if (got <= 0)
            return;
        if (!is_dialog_message(dialog, msg)) {
            translate_message(msg);
            dispatch_message(msg);
        }
    }
}

static void finish_run(WindowHandle dialog, std::vector<WindowHandle>& disabled)
{
    s_dlgmgr.modal_stack.erase(std::remove(s_dlgmgr.modal_stack.begin(), s_dlgmgr.modal_stack.end(), dialog),
        s_dlgmgr.modal_stack.end());
    // Enabling twice does nothing; a run that ended without end_dialog must still let go.
    enable_again(disabled);
    destroy_window(dialog);
}

intptr_t dlgmgr_run_modal(ModuleHandle module, const DialogTemplate& t, WindowHandle owner, DialogProc proc,
    LParam param, ModalScope scope)
{
    if (owner)
        owner = get_ancestor(owner, GA_ROOT);
    std::vector<WindowHandle> disabled = disable_for_run(owner, scope);
    WindowHandle dialog = create_dialog_indirect_param(module, t, owner, proc, param);
    DialogInfo* info = dialog_info(dialog);
    if (!info) {
        enable_again(disabled);
        return -1;
    }
    info->modal = true;
    info->disabled = disabled;
    if (!info->ended && !is_window_visible(dialog)) {
        show_window(dialog, SW_SHOWNORMAL);
        update_window(dialog);
    }
    s_dlgmgr.modal_stack.push_back(dialog);
    dlgmgr_listen_to_script();
    try {
        run_loop(dialog);
    } catch (...) {
        // An internal error unwinds past the run: the dialog must not outlive the caller's frame
        // that its procedure's data lives in, nor leave its owner disabled.
        finish_run(dialog, disabled);
        throw;
    }
    intptr_t result = 0;
    if ((info = dialog_info(dialog)))
        result = info->ended ? info->result : 0;
    finish_run(dialog, disabled);
    return result;
}

intptr_t dialog_box_indirect_param(ModuleHandle module, const DialogTemplate& t, WindowHandle owner, DialogProc proc,
    LParam param)
{
    return dlgmgr_run_modal(module, t, owner, proc, param, ModalScope::owner);
}

intptr_t dialog_box_param(ModuleHandle module, ResourceId name, WindowHandle owner, DialogProc proc, LParam param)
{
    ResourceBytes bytes = find_resource(module, RT_DIALOG, name);
    DialogTemplate t;
    if (!bytes.data || !read_dialog_template(bytes, t))
        return -1;
    return dialog_box_indirect_param(module, t, owner, proc, param);
}

void dlgmgr_reset() { s_dlgmgr = DlgMgrState{}; }

} // namespace plat
