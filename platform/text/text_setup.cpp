#include "platform/text/text_setup.h"

#include <algorithm>
#include <string>
#include <vector>

#include "platform/text/font.h"
#include "platform/text/font_metrics.h"
#include "platform/gdi/gdi_object.h"
#include "platform/text/glyph_cache.h"
#include "platform/window/nonclient.h"
#include "platform/window/styles.h"
#include "platform/text/text.h"
#include "platform/window/window.h"

namespace plat {

// The small caption font: 8 points, bold.
static LogFont small_caption_font()
{
    LogFont font;
    font.height = -11;
    font.weight = FW_BOLD;
    font.char_set = DEFAULT_CHARSET;
    font.pitch_and_family = VARIABLE_PITCH | FF_SWISS;
    std::string face = "MS Sans Serif";
    face.copy(font.face_name, LF_FACESIZE - 1);
    return font;
}

static std::string window_title(WindowHandle window)
{
    int length = get_window_text_length(window);
    if (length <= 0)
        return {};
    std::string title(size_t(length) + 1, '\0');
    int copied = get_window_text(window, title.data(), length + 1);
    title.resize(size_t(std::max(copied, 0)));
    return title;
}

// The title cut at a character boundary so that it and "..." fit the width.
static std::string fitted_title(uint32_t font, const std::string& title, int32_t width)
{
    if (text_width(font, title.data(), title.size(), 0) <= width)
        return title;
    const RealizedFont* realized = font_realized(font);
    std::vector<TextChar> chars;
    glyph_decode(*realized, title.data(), title.size(), chars);
    int32_t room = width - text_width(font, "...", 3, 0);
    size_t bytes = 0;
    int32_t used = 0;
    for (const TextChar& c : chars) {
        used += glyph_get(*realized, c.code).advance;
        if (used > room)
            break;
        bytes = c.offset + c.length;
    }
    return title.substr(0, bytes) + "...";
}

static void paint_caption_title(WindowHandle window, Surface& surface, const RectList& clip, const Rect& area,
    uint32_t text_pixel)
{
    std::string title = window_title(window);
    if (title.empty())
        return;
    font_install_hooks();
    bool tool = (uint32_t(get_window_long(window, GWL_EXSTYLE)) & WS_EX_TOOLWINDOW) != 0;
    uint32_t font = tool ? font_realize(small_caption_font()) : font_of_stock(SYSTEM_FONT);
    const RealizedFont* realized = font_realized(font);
    if (!realized)
        return;
    std::string shown = fitted_title(font, title, area.width());
    RectList inside = clip;
    rects_intersect(inside, area);
    int32_t top = area.top + (area.height() - realized->metrics.height) / 2;
    text_paint_surface(surface, inside, area.left, top, font, shown.data(), shown.size(), text_pixel);
}

void text_setup()
{
    font_install_hooks();
    nonclient_set_caption_text_painter(paint_caption_title);
}

// Registration before main; the platform library's link options keep this file in every
// program (see text_setup in platform/CMakeLists.txt).
namespace {
struct SetupBeforeMain {
    SetupBeforeMain() { text_setup(); }
};
const SetupBeforeMain s_setup_before_main;
} // namespace

} // namespace plat
