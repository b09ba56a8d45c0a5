#include "runtime/engine/goto.h"

#include "runtime/engine/exec_hooks.h"
#include "runtime/engine/exec_trace.h"
#include "runtime/engine/icon_seq.h"
#include "runtime/engine/icon_state.h"
#include "runtime/engine/kernel.h"
#include "runtime/engine/perpetual.h"
#include "runtime/nodes/node_tree.h"

#include <string>
#include <vector>

namespace {

constexpr int kEventNavigation = 23;
constexpr int kEraseMomentExit = 2;
constexpr int kEraseMomentMatch = 1;
constexpr int kEntryPane = 3;
constexpr int kExitPane = 4;

struct Nav {
    int32_t from = 0, to = 0, navigating = 0;
};

Nav s_nav;
GotoHooks s_hooks {};

std::string num(IconId icon) { return std::to_string(node_icon_number(icon)); }

bool is_container(int kind)
{
    return kind == kKindInteraction || kind == kKindDecision || kind == kKindFramework;
}

void trace_action(const KernelAction& a)
{
    if (!exec_trace_on(kTraceGoto))
        return;
    // Op 1 keeps the common ancestor where the others keep a state.
    std::string state = a.op == kActEnterContainer ? num(a.state) : std::to_string(a.state);
    exec_trace(kTraceGoto, "goto op " + std::to_string(a.op) + " " + num(a.icon) + " " + state + " "
            + num(a.second) + " " + std::to_string(a.flags));
}

int send(IconId icon, int32_t type, int32_t argument, uint16_t flags = 0) { return goto_send(icon, type, argument, flags); }


void stamp(IconId icon)
{
    uint16_t number = icon_seq_next();
    if (icon)
        icon_state_set_seq(icon, number);
}

void notify_mark(IconId icon)
{
    if (icon_state_flags(icon) & kIconNotify)
        exec_fire(kEventRunState, icon);
}

// The plan of one move, pushed whole.
struct Plan {
    std::vector<KernelAction> actions;
    void push(uint32_t op, IconId icon, uint32_t state = 0, IconId second = 0, int flags = 0)
    {
        actions.push_back(KernelAction { op, icon, state, second, uint16_t(flags) });
    }
    void pane(int list, IconId framework, IconId from, IconId to, int navigating)
    {
        IconId first = node_child_list(framework, list);
        if (!first)
            return;
        Nav kept = s_nav;
        push(kActNavValues, from, 0, to, navigating);
        push(kActStartIcon, framework, 0, first);
        push(kActNavValues, IconId(kept.from), 0, IconId(kept.to), kept.navigating);
    }
    // Pushes the exits from `from` upwards and answers the common container (0 when the target
    // lies in another tree). A call left on the way is dropped, or passes to a target beside
    // its response. With a stop container the walk ends at its child; *called then tells
    // whether that child was the innermost call's response.
    IconId exits(IconId from, IconId target, IconId stop, int flags, bool* called)
    {
        int depth = exec_context().depth;
        PerpetualCallFrame frame;
        IconId caller = 0, response = 0;
        if (depth > 0 && exec_frame(depth, &frame))
            caller = frame.context.icon, response = frame.response;
        IconId a = from, p = node_parent(from), prev = 0;
        for (;;) {
            for (; a; prev = a, a = p, p = node_parent(p)) {
                if (target && a != target && node_has_ancestor(target, a))
                    return a;
                if (node_kind(a) == kKindFramework && (!prev || node_child_list_of(a, prev) != kExitPane))
                    pane(kExitPane, a, prev, 0, 1);
                push(kActExitIcon, a, 0, target, flags);
                if (stop && stop == p) {
                    *called = a == response;
                    return a;
                }
                if (a == response)
                    break;
            }
            if (!a)
                return 0;
            if (target && node_parent(target) == p && exec_frame_transferable(target, response, p)) {
                push(kActTransferFrame, response, 0, target);
                return p;
            }
            leave_call(a, p, flags);
            depth--;
            a = caller, p = node_parent(caller), prev = 0;
            caller = response = 0;
            if (depth > 0 && exec_frame(depth, &frame))
                caller = frame.context.icon, response = frame.response;
        }
    }
    void leave_call(IconId response, IconId container, int flags)
    {
        bool framework = node_kind(container) == kKindFramework;
        if (framework) {
            pane(kExitPane, container, response, 0, 1);
            push(kActFrameworkExit, container);
        }
        if ((flags & 1) || framework)
            push(kActEraseDisplays, container, 0, 0, kEraseMomentExit);
        push(kActDropFrame, response);
    }
    void framework_entry(IconId framework, IconId child)
    {
        push(kActNewSequence, framework);
        int list = node_child_list_of(framework, child);
        if (list == 2) // a page
            pane(kEntryPane, framework, 0, child, 1);
        else
            push(kActNewSequence, node_child_list(framework, list));
    }
    void entries(IconId common, IconId target, int flags)
    {
        IconId p = node_parent(target);
        if (!p)
            return;
        if (p != common) {
            entries(common, p, flags);
            if (node_kind(p) == kKindFramework)
                framework_entry(p, target);
        }
        push(kActEnterContainer, p, common, target, flags);
    }
};

void enter_container_on_path(IconId container, IconId child, bool is_common, int flags)
{
    int kind = node_kind(container);
    bool live = icon_seq_live(container) != 0;
    const ExecHooks& hooks = exec_hooks();
    if ((flags & 1) && (live || (s_hooks.in_call && s_hooks.in_call(container))) && hooks.erase_on_exit)
        hooks.erase_on_exit(container, kEraseMomentMatch);
    if (!live || (!is_common && kind != kKindFramework))
        stamp(container);
    stamp(child);
    if (!is_common)
        send(container, kKmEnterByJump, 0);
    else if (kind == kKindInteraction && s_hooks.forget_matched_event)
        s_hooks.forget_matched_event(container);
    if (s_hooks.set_selected_child)
        s_hooks.set_selected_child(container, child);
    // Bit 0 of a move asks for the erase above, not for the container's own.
    exec_send_matched(container, child, flags & 6);
}

// Entering a Map or Guidepack with the erase flag clears what the child's later siblings showed.
void enter_group_on_path(IconId child, int flags)
{
    if (!(flags & 1))
        return;
    if (s_hooks.transition_clear)
        s_hooks.transition_clear();
    for (IconId sibling = node_next(child); sibling; sibling = node_next(sibling)) {
        int low = icon_seq_live(sibling);
        if (low) {
            if (s_hooks.erase_by_sequence)
                s_hooks.erase_by_sequence(low, icon_seq_counter());
            // The record stops below the counter: the icons that run next take its number.
            icon_seq_mark_erased(low, 0);
        }
        if (s_hooks.stop_media_of)
            s_hooks.stop_media_of(sibling);
    }
}

IconId enclosing_container(IconId icon)
{
    IconId a = node_parent(icon);
    while (a && !is_container(node_kind(a)))
        a = node_parent(a);
    return a;
}

void exit_icon(IconId icon, IconId target, int flags)
{
    send(icon, kKmErase, 0);
    const ExecHooks& hooks = exec_hooks();
    if ((flags & 1) && node_kind(icon) == kKindInteraction && s_hooks.interaction_erase_own)
        s_hooks.interaction_erase_own(icon);
    if (hooks.continue_button_erase)
        hooks.continue_button_erase();
    IconId parent = node_parent(icon);
    if ((flags & 1) && is_container(node_kind(icon))) {
        if (hooks.erase_on_exit)
            hooks.erase_on_exit(icon, kEraseMomentExit);
    } else if (parent && is_container(node_kind(parent))) {
        if (icon_seq_live(icon) && icon_seq_live(icon) == icon_seq_counter())
            (void)icon_seq_next();
        IconId keeper = target ? enclosing_container(target) : 0;
        int branch = (icon_state_word(icon) >> kIconBranchShift) & 3;
        if (keeper && keeper != parent && !exec_is_page(icon) && branch == 3) {
            if (s_hooks.erase_note_child)
                s_hooks.erase_note_child(keeper, icon);
        } else if (hooks.erase_response) {
            hooks.erase_response(icon);
        }
    }
    notify_mark(icon);
}

} // namespace

int32_t nav_from() { return s_nav.from; }
int32_t nav_to() { return s_nav.to; }
int32_t nav_navigating() { return s_nav.navigating; }

void goto_set_hooks(const GotoHooks* hooks) { s_hooks = hooks ? *hooks : GotoHooks {}; }
const GotoHooks& goto_hooks() { return s_hooks; }

int goto_send(IconId icon, int32_t type, int32_t argument, uint16_t flags)
{
    if (exec_trace_on(kTraceGoto))
        exec_trace(kTraceGoto, "goto message " + std::to_string(type) + " " + num(icon) + " " + num(IconId(argument)));
    KernelMessage message;
    message.message = type;
    message.icon = icon;
    message.argument = argument;
    message.flags = flags;
    return exec_icon_message(&message);
}

void exec_send_matched(IconId container, IconId child, int flags)
{
    uint16_t bits = uint16_t(((flags & 1) ? 4 : 0) | ((flags & 2) ? 2 : 0) | ((flags & 4) ? 1 : 0));
    send(container, kKmChildSelected, int32_t(child), bits);
}

void exec_branch(IconId container, IconId child, int flags)
{
    if ((flags & 1) && exec_hooks().erase_on_exit)
        exec_hooks().erase_on_exit(container, kEraseMomentMatch);
    exec_send_matched(container, child, flags);
    exec_set_current(child, kStateEnter);
}

int exec_do_action(const KernelAction& a)
{
    trace_action(a);
    switch (a.op) {
    case kActEnterContainer: {
        int kind = node_kind(a.icon);
        if (is_container(kind)) {
            exec_note_container(a.icon, kind);
            enter_container_on_path(a.icon, a.second, a.icon == a.state, a.flags);
        } else if (kind == kKindMap || kind == kKindGuidepack) {
            enter_group_on_path(a.second, a.flags);
        }
        notify_mark(a.icon);
        return 1;
    }
    case kActExitIcon: exit_icon(a.icon, a.second, a.flags); return 1;
    case kActStartIcon: exec_set_current(a.second, kStateEnter); return 0;
    case kActNewSequence: stamp(a.icon); return 1;
    case kActNavValues:
        s_nav = Nav { int32_t(a.icon), int32_t(a.second), int32_t(a.flags) };
        exec_fire(kEventNavigation, 0);
        return 1;
    case kActFrameworkExit:
        if (s_hooks.deactivate_responses_in)
            s_hooks.deactivate_responses_in(a.icon);
        return 1;
    case kActDropFrame: exec_action_drop_frame(a.icon); return 1;
    case kActTransferFrame: exec_action_transfer_frame(a.icon, a.second); return 1;
    case kActEraseDisplays:
        if (exec_hooks().erase_on_exit)
            exec_hooks().erase_on_exit(a.icon, a.flags);
        return 1;
    case kActGoTo:
        exec_set_current(a.icon, int32_t(a.state));
        if (exec_is_page(a.icon) && s_hooks.page_history_add)
            s_hooks.page_history_add(a.icon, a.flags);
        return 1;
    case kActCallPerpetual:
        exec_set_current(a.icon, int32_t(a.state));
        (void)exec_enter_perpetual(a.second, 1);
        return 1;
    case kActReturnPerpetual: {
        // Without a call frame the run goes on after the response's parent.
        IconId parent = node_parent(a.icon);
        if (!exec_return_perpetual(a.icon) && parent)
            exec_set_current(parent, kStateIconDone);
        return 0;
    }
    case kActContinueAfter: exec_set_current(a.icon, kStateIconDone); return 0;
    default: return 1; // an unknown op is skipped
    }
}

void exec_run_actions()
{
    KernelAction action;
    while (exec_queue_take(&action)) {
        if (!exec_do_action(action))
            break;
    }
    if (exec_hooks().trig_update)
        exec_hooks().trig_update();
}

void kernel_goto(IconId target, int flags)
{
    IconId start = exec_public_icon();
    exec_end_pause(1);
    exec_queue_reset(kKernelActionSize, 0);
    s_nav = Nav {};
    if (exec_trace_on(kTraceGoto))
        exec_trace(kTraceGoto, "goto " + num(start) + " " + num(target) + " " + std::to_string(flags));
    Plan plan;
    bool called = false;
    IconId common = plan.exits(start, target, 0, flags, &called);
    if (target != common)
        plan.entries(common, target, flags);
    plan.push(kActGoTo, target, kStateEnter, 0, flags);
    // A move runs whole or not at all.
    if (!exec_queue_push_plan(plan.actions))
        return;
    exec_run_actions();
}

int exec_call_page(IconId page)
{
    IconId framework = node_parent(page);
    exec_queue_reset(kKernelActionSize, 1);
    Plan plan;
    plan.push(kActNewSequence, 0);
    plan.pane(kEntryPane, framework, 0, page, 1);
    plan.push(kActCallPerpetual, exec_public_icon(), uint32_t(exec_context().state), page);
    (void)exec_queue_push_plan(plan.actions);
    exec_run_actions();
    return 1;
}

void exec_leave_framework(IconId framework)
{
    exec_end_pause(1);
    exec_queue_reset(kKernelActionSize, 1);
    Plan plan;
    bool called = false;
    IconId reached = plan.exits(exec_public_icon(), 0, framework, 3, &called);
    int list = reached ? node_child_list_of(framework, reached) : 0;
    if (list == kEntryPane)
        called = false, reached = 0;
    if (list != kExitPane) {
        plan.pane(kExitPane, framework, reached, 0, 0);
        if (called) {
            plan.push(kActEraseDisplays, framework, 0, 0, kEraseMomentExit);
            plan.push(kActFrameworkExit, framework);
            plan.push(kActReturnPerpetual, reached);
        } else {
            plan.push(kActExitIcon, framework, 0, 0, 3);
            plan.push(kActContinueAfter, framework);
        }
    }
    (void)exec_queue_push_plan(plan.actions);
    exec_run_actions();
}

int exec_goto_entry_pane(IconId framework)
{
    IconId first = node_child_list(framework, kEntryPane);
    if (!first)
        return 0;
    exec_set_current(first, kStateEnter);
    return 1;
}

static void goto_hook(IconId target, int mode) { kernel_goto(target, mode); }

void goto_install()
{
    ExecHooks hooks = exec_hooks();
    hooks.kernel_goto = goto_hook;
    hooks.run_action_queue = exec_run_actions;
    exec_set_hooks(&hooks);
    perpetual_install();
}

void goto_reset()
{
    s_nav = Nav {};
    s_hooks = GotoHooks {};
}
