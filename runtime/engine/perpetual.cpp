#include "runtime/engine/perpetual.h"

#include "platform/kernel/byte_io.h"
#include "runtime/engine/exec_hooks.h"
#include "runtime/engine/exec_trace.h"
#include "runtime/engine/goto.h"
#include "runtime/engine/icon_seq.h"
#include "runtime/engine/icon_state.h"
#include "runtime/nodes/node_attr.h"
#include "runtime/nodes/node_title.h"
#include "runtime/nodes/node_tree.h"

namespace {

constexpr int kEventCallStack = 19;
constexpr int kBranchReturn = 3;
constexpr int kListPages = 2;
constexpr uint32_t kAttrNavigateOutsideCalls = 0x2020308;

const char* const kKindTitles[] = {"", "Display", "Motion", "Erase", "Interaction", "Decision", "Map", "Wait",
    "Calc", "Movie", "Sound", "Video", "Framework", "Navigate", "Sprite", "Guidepack"};

std::string num(IconId icon) { return std::to_string(node_icon_number(icon)); }

int branch_kind(IconId icon) { return (icon_state_word(icon) >> kIconBranchShift) & 3; }

void send(IconId icon, int32_t type) { (void)goto_send(icon, type, 0, 0); }

void mark_and_send(IconId icon, int32_t type)
{
    if (icon_state_flags(icon) & kIconNotify)
        exec_fire(kEventRunState, icon);
    send(icon, type);
}

bool innermost(PerpetualCallFrame* out)
{
    int depth = exec_context().depth;
    return depth > 0 && exec_frame(depth, out);
}

bool waiting_or_paused(int32_t state) { return state == kStateWaiting || state == kStatePaused; }

int frame_count_hook() { return exec_context().depth; }

// A frame whose interrupted icon waits for it: the return goes on after that icon.
int frame_take_waiting_hook(int n, IconId icon)
{
    PerpetualCallFrame frame;
    if (!exec_frame(n, &frame) || frame.context.icon != icon || frame.context.state != kStateWaiting)
        return 0;
    frame.context.state = kStateIconDone;
    uint8_t bytes[kFrameSize];
    frame_encode(frame, bytes);
    return exec_frame_write(n, bytes);
}

int is_return_response_hook(IconId icon)
{
    IconId parent = node_parent(icon);
    return parent && node_kind(parent) == kKindInteraction && branch_kind(icon) == kBranchReturn ? 1 : 0;
}

void enter_perpetual_hook(IconId response, int flags) { (void)exec_enter_perpetual(response, flags); }

} // namespace

void frame_encode(const PerpetualCallFrame& frame, uint8_t out[kFrameSize])
{
    exec_context_encode(frame.context, out);
    plat::store_u32le(out + 24, frame.interaction);
    plat::store_u32le(out + 28, frame.selected);
    plat::store_u32le(out + 32, frame.response);
}

PerpetualCallFrame frame_decode(const uint8_t* in)
{
    PerpetualCallFrame frame;
    frame.context = exec_context_decode(in);
    frame.interaction = plat::load_u32le(in + 24);
    frame.selected = plat::load_u32le(in + 28);
    frame.response = plat::load_u32le(in + 32);
    return frame;
}

int exec_frame(int n, PerpetualCallFrame* out)
{
    uint8_t bytes[kFrameSize];
    if (!exec_frame_read(n, bytes))
        return 0;
    *out = frame_decode(bytes);
    return 1;
}

int exec_is_page(IconId icon)
{
    IconId parent = node_parent(icon);
    return parent && node_kind(parent) == kKindFramework && node_child_list_of(parent, icon) == kListPages ? 1 : 0;
}

int exec_enter_perpetual(IconId response, int flag)
{
    // A response running in the call stack is not called a second time.
    if (exec_in_call_stack(response))
        return 0;
    const GotoHooks& hooks = goto_hooks();
    IconId parent = node_parent(response);
    PerpetualCallFrame frame;
    frame.context = exec_context();
    if (node_kind(parent) == kKindInteraction) {
        frame.interaction = parent;
        frame.selected = hooks.selected_child ? hooks.selected_child(parent) : 0;
    }
    frame.response = response;
    uint8_t bytes[kFrameSize];
    frame_encode(frame, bytes);
    if (!exec_frame_push(bytes))
        return 0;
    if (exec_trace_on(kTraceGoto))
        exec_trace(kTraceGoto, "goto call " + num(response) + " depth " + std::to_string(exec_context().depth));
    exec_switch_context(frame.context.icon, response);
    if (hooks.set_in_call)
        hooks.set_in_call(parent, 1);
    if (waiting_or_paused(frame.context.state))
        send(frame.context.icon, kKmPerpetualEnter);
    (void)icon_seq_next();
    exec_branch(parent, response, flag ? 2 : 0);
    return 1;
}

int exec_return_perpetual(IconId response)
{
    PerpetualCallFrame frame;
    if (!innermost(&frame) || !exec_piece_icon_ok(frame.context.icon, 0) || frame.response != response)
        return 0;
    exec_frame_drop();
    exec_restore_context(frame.context);
    (void)exec_wait_sync_end();
    if (exec_trace_on(kTraceGoto))
        exec_trace(kTraceGoto, "goto return " + num(response) + " to " + num(frame.context.icon));
    const GotoHooks& hooks = goto_hooks();
    if (frame.interaction && node_is_valid(frame.interaction)) {
        if (hooks.set_selected_child)
            hooks.set_selected_child(frame.interaction, frame.selected);
        exec_fire(kEventInteraction, frame.interaction);
    }
    exec_switch_context(response, frame.context.icon);
    if (hooks.erase_returned_response)
        hooks.erase_returned_response(response);
    if (node_kind(frame.context.icon) == kKindInteraction)
        exec_note_container(frame.context.icon, kKindInteraction);
    if (waiting_or_paused(frame.context.state))
        send(frame.context.icon, kKmPerpetualReturn);
    return 1;
}

void exec_abandon_perpetual(IconId response)
{
    IconId interaction = node_parent(response);
    (void)exec_return_perpetual(response);
    if (goto_hooks().set_in_call)
        goto_hooks().set_in_call(interaction, 0);
    kernel_goto(interaction, 0);
    icon_state_set_seq(interaction, icon_seq_next());
}

int exec_in_call_stack(IconId response)
{
    if (node_kind(response) == kKindNavigate && node_get_attr(response, kAttrNavigateOutsideCalls))
        return 0;
    PerpetualCallFrame frame;
    for (int n = exec_context().depth; n >= 1; n--)
        if (exec_frame(n, &frame) && frame.response == response)
            return 1;
    return 0;
}

int exec_called_in_framework_page(IconId page)
{
    IconId framework = node_parent(page);
    PerpetualCallFrame frame;
    for (int n = exec_context().depth; n >= 1; n--) {
        if (!exec_frame(n, &frame))
            continue;
        IconId caller = frame.context.icon;
        if (!framework || caller == framework || !node_has_ancestor(framework, caller))
            continue;
        IconId child = framework;
        while (child && node_parent(child) != caller)
            child = node_parent(child);
        if (child && exec_is_page(child))
            return 1;
    }
    return 0;
}

IconId exec_called_from(IconId icon)
{
    PerpetualCallFrame frame;
    return innermost(&frame) && frame.response == icon ? frame.context.icon : 0;
}

static std::string kind_and_title(IconId icon)
{
    int kind = node_kind(icon);
    char title[256] = "";
    (void)node_title_text(icon, title, sizeof title);
    return std::string(kind >= 1 && kind <= 15 ? kKindTitles[kind] : "") + " \"" + title + "\"";
}

std::string exec_call_stack_text()
{
    std::string text;
    PerpetualCallFrame frame;
    for (int n = exec_context().depth; n >= 1; n--)
        if (exec_frame(n, &frame))
            text += kind_and_title(frame.response) + " called from " + kind_and_title(frame.context.icon) + "\r";
    return text;
}

void exec_switch_context(IconId from, IconId to)
{
    exec_fire(kEventCallStack, 0);
    exec_set_public_icon(to);
    for (IconId a = from; a && a != to && !node_has_ancestor(to, a); a = node_parent(a))
        mark_and_send(a, kKmContextLeave);
    for (IconId b = to; b && b != from && !node_has_ancestor(from, b); b = node_parent(b))
        mark_and_send(b, kKmContextEnter);
    if (exec_hooks().trig_update)
        exec_hooks().trig_update();
}

void exec_action_drop_frame(IconId response)
{
    PerpetualCallFrame frame;
    if (!innermost(&frame) || frame.response != response)
        return;
    exec_frame_drop();
    exec_fire(kEventCallStack, 0);
}

void exec_action_transfer_frame(IconId response, IconId target)
{
    PerpetualCallFrame frame;
    IconId parent = node_parent(response);
    if (!innermost(&frame) || frame.response != response || node_parent(target) != parent
        || !exec_frame_transferable(target, response, parent))
        return;
    frame.response = target;
    uint8_t bytes[kFrameSize];
    frame_encode(frame, bytes);
    (void)exec_frame_write(exec_context().depth, bytes);
    exec_fire(kEventCallStack, 0);
}

int exec_frame_transferable(IconId target, IconId response, IconId container)
{
    switch (node_kind(container)) {
    case kKindInteraction: return branch_kind(target) == kBranchReturn ? 1 : 0;
    case kKindFramework: return exec_is_page(target) && exec_is_page(response) ? 1 : 0;
    default: return 0;
    }
}

void perpetual_install()
{
    ExecHooks hooks = exec_hooks();
    hooks.enter_perpetual = enter_perpetual_hook;
    hooks.is_return_response = is_return_response_hook;
    hooks.frame_count = frame_count_hook;
    hooks.frame_take_waiting = frame_take_waiting_hook;
    exec_set_hooks(&hooks);
}
