// The desktop's clipboard through SDL, as the clipboard's host (window/clipboard.h) while the
// display backend runs.
#pragma once
#include "platform/window/clipboard.h"

namespace plat {

const ClipboardHost* sdl_clipboard_host();

} // namespace plat
