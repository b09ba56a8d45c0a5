// Every picture of the tutor drawn by name, from the row of the pictures table that gives its
// size, flags and live hot areas.
#pragma once
#include "tools/qktart/art_svg.h"

#include <string>
#include <vector>

struct PictureSpec {
    std::string name;
    int width = 0;
    int height = 0;
    bool masked = false;
    bool no_black = false;
    std::vector<int> areas; // hot areas live on the picture
};

// Draws the picture; false when no drawing has its name.
bool picture_draw(const PictureSpec& picture, Svg& svg);

// A long text's s_NAME.bmp or l_NAME.bmp (art_stories.cpp); false for a name it has no scene of.
bool story_picture_draw(const PictureSpec& picture, Svg& svg);

// The drawings, by the pictures they make (art_screens.cpp, art_parts.cpp).
namespace draw {
void menu_screen(const PictureSpec&, Svg&);
void intro_background(const PictureSpec&, Svg&);
void logo(Svg&, const char* mono); // mono: one colour for the shadow, else null
void logo_shadowed(const PictureSpec&, Svg&);
void help_pane(const PictureSpec&, Svg&);
void keyboard_pane(const PictureSpec&, Svg&);
void lesson_screen(const PictureSpec&, Svg&);
void short_text_screen(const PictureSpec&, Svg&);
void long_text_screen(const PictureSpec&, Svg&);
void story_chooser(const PictureSpec&, Svg&);
void result_dialog(const PictureSpec&, Svg&);
void game_screen(const PictureSpec&, Svg&);
void level_banner(const PictureSpec&, Svg&);
void level_chooser(const PictureSpec&, Svg&);
void high_scores(const PictureSpec&, Svg&);
void statistics_screen(const PictureSpec&, Svg&);
void user_dialog(const PictureSpec&, Svg&);
void delete_dialog(const PictureSpec&, Svg&);
void options_dialog(const PictureSpec&, Svg&);

void clock_strip(const PictureSpec&, Svg&);
void banner(const PictureSpec&, Svg&);
void area_strip(const PictureSpec&, Svg&);
void sound_off(const PictureSpec&, Svg&);
void keyboard(const PictureSpec&, Svg&);
void fingers(const PictureSpec&, Svg&);
void lesson_menu(const PictureSpec&, Svg&);
void option_items(const PictureSpec&, Svg&);
void no_story_picture(const PictureSpec&, Svg&);
void cloud(const PictureSpec&, Svg&);
void word_box(const PictureSpec&, Svg&);
void tower(const PictureSpec&, Svg&);
void flag(const PictureSpec&, Svg&);
void face(const PictureSpec&, Svg&);
void stat_labels(const PictureSpec&, Svg&);
void stat_units(const PictureSpec&, Svg&);
void stat_legend(const PictureSpec&, Svg&);
} // namespace draw

// The number in a family's name ("kbd5.bmp" gives 5); 0 when there is none.
inline int picture_number(const std::string& name)
{
    int number = 0;
    for (char c : name) {
        if (c == '.')
            break;
        if (c >= '0' && c <= '9')
            number = number * 10 + (c - '0');
    }
    return number;
}
