#include "runtime/foundation/msg.h"

#include "runtime/foundation/err.h"

int msg_show_va(uint32_t, std::span<const FmtArg>) { return 1; }
char* msg_expand(char* out, int&, std::string_view, std::span<const FmtArg>&, std::string_view)
{
    *out = '\0';
    return out;
}
std::string_view msg_nth_string(std::string_view, int) { return {}; }
MsgLayoutResult msg_layout_buttons(const MsgLayoutInput&) { return {}; }
void msg_set_owner(plat::WindowHandle) { }
void msg_set_resource_module(plat::ModuleHandle) { }
plat::ModuleHandle msg_resource_module() { return {}; }
void msg_reset() { }
