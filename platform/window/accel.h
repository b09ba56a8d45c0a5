// Accelerator tables, with the meaning of LoadAccelerators and TranslateAccelerator: a key the
// table names becomes a WM_COMMAND to the window before it is translated into characters.
#pragma once
#include <cstdint>

#include "platform/kernel/handle.h"
#include "platform/kernel/resource.h"
#include "platform/window/message.h"

namespace plat {

using AccelHandle = Handle<struct AccelTag>; // HACCEL

// LoadAccelerators: the module's RT_ACCELERATOR table of that name; null when there is none
// or it cannot be read. Loaded tables live until the program ends (as resources do).
AccelHandle load_accelerators(ModuleHandle module, ResourceId name);

// TranslateAccelerator: a key-down (WM_KEYDOWN, WM_SYSKEYDOWN) of an FVIRTKEY entry, or a
// character (WM_CHAR, WM_SYSCHAR) of a character entry, whose Shift, Ctrl and Alt match the
// entry sends WM_COMMAND (id, high word 1) to window and answers true; anything else false.
bool translate_accelerator(WindowHandle window, AccelHandle table, const Msg& msg);

void accel_reset(); // forgets every loaded table (tests)

} // namespace plat
