#include "runtime/engine/modbus.h"

#include "platform/kernel/clock.h"
#include "runtime/engine/exec_hooks.h"
#include "runtime/engine/kernel.h"
#include "runtime/engine/urec.h"
#include "runtime/files/err.h"
#include "runtime/files/msg.h"
#include "runtime/files/netprof.h"
#include "runtime/nodes/node_title.h"
#include "runtime/pieces/piece_current.h"
#include "runtime/pieces/piece_hooks.h"
#include "runtime/store/rec_store.h"

#include <cstdlib>

namespace {

struct BusState {
    ModuleHandler handlers[kModuleSlotCount + 1] = {};
    int records_open = 0;
    int saving = 0;
    int error_shown = 0;
    int display_error_shown = 0;
};

BusState s_bus;

constexpr uint32_t kMsgIconError = 45;
constexpr uint32_t kMsgStoreError = 55;
constexpr uint32_t kMsgDisplayError = 56;
constexpr int kIconTitleShown = 30; // characters of the title in message 45
constexpr int kButtonQuit = 1;
constexpr int kQuitRestartBit = 16;

} // namespace

// A module that later work builds: it keeps nothing, and is stored as one zero byte.
static int empty_module(ModuleMessage*) { return 0; }

void modmsg_register(ModuleSlot slot, ModuleHandler handler)
{
    if (slot >= 1 && slot <= kModuleSlotCount)
        s_bus.handlers[slot] = handler;
}

int modmsg_send(int slot, ModuleMessage* message)
{
    int16_t number = int16_t(slot);
    if (number < 1 || number > kModuleSlotCount)
        return kErrBadSlot;
    ModuleHandler handler = s_bus.handlers[number] ? s_bus.handlers[number] : empty_module;
    return handler(message);
}

void modmsg_broadcast(ModuleMessage* message)
{
    for (int slot = 1; slot <= kModuleSlotCount; slot++)
        (void)modmsg_send(slot, message);
}

void modmsg_startup()
{
    std::srand(plat::get_tick_count());
    urec_set_records_folder(nullptr);
    ModuleMessage message;
    message.message = kModStartup;
    modmsg_broadcast(&message);
}

void modmsg_suspend_all(int resume)
{
    if (!s_bus.records_open)
        return;
    int want_suspended = resume ? 0 : 1;
    if (exec_suspended() == want_suspended)
        return;
    ModuleMessage message;
    message.message = resume ? kModResume : kModSuspend;
    modmsg_broadcast(&message);
}

int exec_records_open() { return s_bus.records_open; }
void exec_set_records_open(int on) { s_bus.records_open = on; }
int exec_saving() { return s_bus.saving; }
void exec_set_saving(int on) { s_bus.saving = on; }
int exec_error_shown() { return s_bus.error_shown; }
int exec_display_error_shown() { return s_bus.display_error_shown; }
void exec_clear_error_flags()
{
    s_bus.error_shown = 0;
    s_bus.display_error_shown = 0;
}

// --- quit and restart --------------------------------------------------------------------------

static void quit_callback(uint32_t user)
{
    (void)exec_quit(int(user & ~uint32_t(kQuitRestartBit)), (user & kQuitRestartBit) ? 1 : 0);
}

void exec_request_quit(int kind, int restart)
{
    uint32_t user = uint32_t(kind) | (restart ? kQuitRestartBit : 0);
    KernelDeferredAction action;
    action.type = kDeferCallback;
    action.callback = quit_callback;
    action.user = user;
    // Without open records no kernel step runs the action: the quit cannot wait for one.
    if (!s_bus.records_open || exec_suspended())
        quit_callback(user);
    else
        (void)exec_defer_action(&action);
    netprof_write_log();
}

int exec_quit(int kind, int restart)
{
    const ExecHooks& hooks = exec_hooks();
    if (hooks.screen_flush)
        hooks.screen_flush();
    if (kind == 0) {
        if (hooks.jump_file_return) {
            int returned = hooks.jump_file_return(restart);
            if (returned)
                return returned;
        }
    } else if (hooks.jump_write_resume_file) {
        hooks.jump_write_resume_file();
    }
    if (hooks.cmi_end_session)
        hooks.cmi_end_session();
    if (restart)
        exec_restart();
    // Power off and reboot (kinds 2 and 3) are not ours to do here: they close the program.
    if (piece_hooks().request_quit)
        piece_hooks().request_quit();
    return 0;
}

void exec_restart()
{
    const ExecHooks& hooks = exec_hooks();
    if (hooks.screen_flush)
        hooks.screen_flush();
    exec_clear_error_flags();
    ModuleMessage message;
    if (s_bus.records_open) {
        message.message = kModDelete;
        modmsg_broadcast(&message);
    }
    // The session counters survive a restart of an open piece.
    uint8_t scratch[kModuleScratchSize];
    for (int slot = 1; slot <= kModuleSlotCount; slot++) {
        ModuleMessage init;
        init.message = kModInit;
        init.state = scratch;
        init.reset = s_bus.records_open ? 0 : 1;
        (void)modmsg_send(slot, &init);
    }
    if (hooks.screen_invalidate_all)
        hooks.screen_invalidate_all();
    netprof_clear();
    if (hooks.sbar_set_old_style)
        hooks.sbar_set_old_style(0);
}

// --- error reports -----------------------------------------------------------------------------

int exec_report_error_va(uint32_t number, std::span<const FmtArg> args)
{
    if (s_bus.error_shown || s_bus.saving)
        return 0;
    s_bus.error_shown = 1;
    int answer = msg_show_va(number, args);
    if (answer == kButtonQuit)
        exec_request_quit(0, 0);
    return answer;
}

static std::string icon_title(uint32_t icon, int limit)
{
    char title[256] = "";
    node_title(icon, title, sizeof title);
    std::string text = title;
    if (int(text.size()) > limit)
        text.resize(size_t(limit));
    return text;
}

void exec_report_icon_error(uint32_t icon, int error)
{
    std::string title = icon_title(icon, kIconTitleShown);
    (void)exec_report_error(kMsgIconError, title.c_str(), msg_error_text(error));
}

// The sub-message of message 56 for the error.
static int display_error_sub(int error)
{
    constexpr int kMemoryFull = 1, kBadData = 2, kUnknown = 3;
    constexpr int kErrRecordRead = 15;
    if (error == 4 || error == 8 || (error == kErrRecordRead && rec_error_word() == 8))
        return kMemoryFull;
    return error == kErrRecordRead ? kBadData : kUnknown;
}

int exec_report_display_error(uint32_t icon, int error)
{
    if (s_bus.display_error_shown || s_bus.error_shown)
        return 0;
    s_bus.display_error_shown = 1;
    std::string title = icon_title(icon, kIconTitleShown);
    int answer = msg_show(kMsgDisplayError, display_error_sub(error), title.c_str());
    if (answer == kButtonQuit)
        exec_request_quit(0, 0);
    return answer;
}

void urec_check_error()
{
    int error = rec_error_word();
    if (error != 0)
        (void)exec_report_error(kMsgStoreError, msg_error_text(error));
}

void modmsg_reset() { s_bus = BusState {}; }
