// The parts of the look that several pictures share: the hot areas in their three looks, the
// tools' icons, key caps and keyboards, faces, selector items and screen furniture.
#pragma once
#include "tools/qktart/art_svg.h"

#include <string>
#include <vector>

enum class Look { unlit, lit, pressed };

// A hot area by its command identifier: where it lies on its screen and how big it is.
struct AreaPlace {
    int id;
    int x, y, width, height;
};
// The place of an area; null for an identifier that has none.
const AreaPlace* area_place(int id);

// The look of an area drawn with its top left at (x, y).
void area_draw(Svg& svg, int id, Look look, double x, double y);
// The strips of lit then pressed looks: the menu items, the tools and the statistics tabs.
enum class Strip { menu, tools, tabs };
int strip_count(Strip strip);
int strip_area(Strip strip, int index);

// A user's face (1..9), 70x88, at (x, y).
void face_draw(Svg& svg, int face, double x, double y);

// Keyboard picture of a layout (0..3), 565x192 at (0, 0); lit draws every key lit.
void keyboard_draw(Svg& svg, int layout, bool lit);

// A selector item of w x h at (x, y) with a Korean and an English label; badge is drawn in a
// circle on the left when not empty.
void selector_item(Svg& svg, double x, double y, double w, double h, const std::string& korean,
    const std::string& english, const std::string& badge = "");

// Screen furniture.
void screen_page(Svg& svg, int width, int height, const std::string& korean, const std::string& english);
void face_well(Svg& svg, double x, double y); // a 70x88 face place with its frame
void typing_well(Svg& svg, double x, double y, double w, double h, double margin = 6);
// Finger 0..7 in finger-place order (left little finger to right little finger), 28x28.
void finger_draw(Svg& svg, int finger, bool lit, double x, double y);
// A speed gauge's dial of the given radius (at most 53: the dials stand 109 apart).
void gauge_dial(Svg& svg, double cx, double cy, double radius, const std::string& korean,
    const std::string& english);
void caption(Svg& svg, double x, double baseline, const std::string& korean,
    const std::string& english, Anchor anchor = Anchor::middle, double size = 12);
// A dialog's card filling w x h with a title band.
void dialog_card(Svg& svg, int width, int height, const std::string& korean,
    const std::string& english, double band = 34);
// The unlit looks of the areas live on a picture.
void areas_draw(Svg& svg, const std::vector<int>& areas);
