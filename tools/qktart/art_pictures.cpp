#include "tools/qktart/art_pictures.h"

#include <string_view>

namespace {

struct Drawing {
    const char* name; // a name, or a prefix ending in '*' for a numbered family
    void (*draw)(const PictureSpec&, Svg&);
};

const Drawing kDrawings[] = {
    {"vd-menu.bmp", draw::menu_screen},
    {"main-bk.bmp", draw::intro_background},
    {"clock.bmp", draw::clock_strip},
    {"logo.bmp", [](const PictureSpec&, Svg& svg) { draw::logo(svg, nullptr); }},
    {"main-sh.bmp", draw::logo_shadowed},
    {"adpane*", draw::help_pane},
    {"main-kbd.bmp", draw::keyboard_pane},
    {"banner*", draw::banner},
    {"iconmenu.bmp", draw::area_strip},
    {"icontool.bmp", draw::area_strip},
    {"iconstat.bmp", draw::area_strip},
    {"sndoff.bmp", draw::sound_off},
    {"vd-2kr.bmp", draw::lesson_screen},
    {"kbd*", draw::keyboard},
    {"fingicon.bmp", draw::fingers},
    {"menu3.bmp", draw::lesson_menu},
    {"menuqry.bmp", draw::lesson_menu},
    {"vd-smj.bmp", draw::short_text_screen},
    {"vd-lmj.bmp", draw::long_text_screen},
    {"l_none.bmp", draw::no_story_picture},
    {"s_none.bmp", draw::no_story_picture},
    {"vd-stybk.bmp", draw::story_chooser},
    {"vd-ttl.bmp", draw::result_dialog},
    {"vd-game.bmp", draw::game_screen},
    {"vd-gm-ar.bmp", draw::cloud},
    {"vd-bumb.bmp", draw::word_box},
    {"vd-bunus.bmp", draw::word_box},
    {"tower*", draw::tower},
    {"vd-gamet.bmp", draw::level_banner},
    {"vd-gamel.bmp", draw::level_chooser},
    {"flag*", draw::flag},
    {"vd-gt-vn.bmp", draw::high_scores},
    {"vd-spd.bmp", draw::statistics_screen},
    {"spdcode.bmp", draw::stat_labels},
    {"spdunit.bmp", draw::stat_units},
    {"spddel*", draw::stat_legend},
    {"vd-usr2.bmp", draw::user_dialog},
    {"vd-del.bmp", draw::delete_dialog},
    {"vd-env.bmp", draw::options_dialog},
    {"op_*", draw::option_items},
    {"repeat.bmp", draw::option_items},
    {"space.bmp", draw::option_items},
    {"face*", draw::face},
};

bool matches(std::string_view pattern, std::string_view name)
{
    if (!pattern.empty() && pattern.back() == '*')
        return name.substr(0, pattern.size() - 1) == pattern.substr(0, pattern.size() - 1);
    return pattern == name;
}

} // namespace

bool picture_draw(const PictureSpec& picture, Svg& svg)
{
    for (const Drawing& drawing : kDrawings) {
        if (matches(drawing.name, picture.name)) {
            drawing.draw(picture, svg);
            return true;
        }
    }
    return story_picture_draw(picture, svg);
}
