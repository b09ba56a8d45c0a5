// Arbitrary bytes as a headless script: parsing never crashes, and every command it accepts
// carries what running it needs (coordinates in range, keys named, text where text belongs).
#include "platform/backend/script.h"

#include <cstdint>
#include <string>
#include <vector>

namespace {

void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

bool in_range(plat::Point point) { return point.x >= -32767 && point.x <= 32767 && point.y >= -32767 && point.y <= 32767; }

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<plat::ScriptCommand> commands;
    std::string error;
    bool parsed = plat::script_parse(std::string_view(reinterpret_cast<const char*>(data), size), commands, error);
    check(parsed || (!error.empty() && commands.empty()));
    for (const plat::ScriptCommand& command : commands) {
        check(command.line >= 1);
        switch (command.op) {
        case plat::ScriptOp::key:
        case plat::ScriptOp::key_down:
        case plat::ScriptOp::key_up:
            check(!command.keys.empty());
            for (uint32_t vk : command.keys)
                check(vk > 0 && vk < 0xFF);
            break;
        case plat::ScriptOp::type:
        case plat::ScriptOp::compose:
        case plat::ScriptOp::answer:
        case plat::ScriptOp::shot: check(!command.text.empty()); break;
        case plat::ScriptOp::wait: check(command.ms <= 24u * 60 * 60 * 1000); break;
        default: check(in_range(command.point)); break;
        }
    }
    return 0;
}
