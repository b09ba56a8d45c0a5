#include "platform/backend/sdl_clipboard.h"

#include <SDL.h>
#include <string>

namespace plat {

static bool set_text(std::string_view utf8) { return SDL_SetClipboardText(std::string(utf8).c_str()) == 0; }

static bool get_text(std::string& utf8)
{
    if (!SDL_HasClipboardText())
        return false;
    char* text = SDL_GetClipboardText();
    if (!text)
        return false;
    utf8 = text;
    SDL_free(text);
    return true;
}

static const ClipboardHost kSdlClipboard{set_text, get_text};

const ClipboardHost* sdl_clipboard_host() { return &kSdlClipboard; }

} // namespace plat
