// The smaller pictures: strips of looks and frames, selector items, game pieces, faces, flags
// and the statistics' labels.
#include "tools/qktart/art_jamo.h"
#include "tools/qktart/art_looks.h"
#include "tools/qktart/art_pictures.h"

#include <cmath>

namespace draw {

void clock_strip(const PictureSpec& spec, Svg& svg)
{
    // Frame k is shown as the (30 - k)th step, so the hand turns clockwise as the intro runs.
    // No pure black: the intro shows the frames with black as see-through.
    int frames = spec.width / 64;
    svg.rect(0, 0, spec.width, spec.height, colour::page);
    for (int k = 0; k < frames; ++k) {
        double cx = 64 * k + 32, cy = 32;
        svg.circle(cx, cy, 28, colour::navy);
        svg.circle(cx, cy, 25, colour::white);
        for (int t = 0; t < 12; ++t) {
            double a = t * M_PI / 6;
            svg.line(cx + 19 * std::sin(a), cy - 19 * std::cos(a), cx + 22 * std::sin(a),
                cy - 22 * std::cos(a), t % 3 ? colour::line : colour::muted, 2);
        }
        double a = (frames - 1 - k) * 2 * M_PI / frames;
        svg.line(cx, cy, cx + 18 * std::sin(a), cy - 18 * std::cos(a), colour::orange, 3);
        svg.circle(cx, cy, 3.5, colour::navy);
    }
}

void banner(const PictureSpec& spec, Svg& svg)
{
    int state = picture_number(spec.name) - 1; // normal, under the mouse, pressed
    const char* fill = state == 0 ? colour::white : state == 1 ? colour::blue : colour::navy;
    const char* text = state == 0 ? colour::ink : colour::white;
    const char* text2 = state == 0 ? colour::muted : colour::white;
    double shift = state == 2 ? 1 : 0;
    svg.rect(0, 0, 236, 64, colour::page);
    svg.begin_group(shift, shift);
    svg.frame(1.5, 1.5, 233, 61, state == 0 ? colour::blue : fill, 1.5, 14, fill);
    svg.circle(34, 32, 20, state == 0 ? colour::orange : colour::white);
    svg.text(34, 41, 26, "?", state == 0 ? colour::white : fill, Anchor::middle, Weight::bold);
    svg.text(66, 30, 17, "도움말 보기", text, Anchor::start, Weight::bold);
    svg.text(66, 48, 11, "Open the help", text2, Anchor::start);
    svg.end_group();
}

void area_strip(const PictureSpec& spec, Svg& svg)
{
    Strip strip = spec.name == "iconmenu.bmp" ? Strip::menu
        : spec.name == "icontool.bmp"         ? Strip::tools
                                              : Strip::tabs;
    int count = strip_count(strip);
    double width = double(spec.width) / (2 * count);
    svg.rect(0, 0, spec.width, spec.height, colour::page);
    for (int i = 0; i < count; ++i) {
        area_draw(svg, strip_area(strip, i), Look::lit, width * i, 0);
        area_draw(svg, strip_area(strip, i), Look::pressed, width * (count + i), 0);
    }
}

void sound_off(const PictureSpec&, Svg& svg)
{
    svg.rect(0, 0, 55, 55, colour::page);
    area_draw(svg, 910, Look::unlit, 0, 0);
}

void keyboard(const PictureSpec& spec, Svg& svg)
{
    int number = picture_number(spec.name);
    svg.rect(0, 0, spec.width, spec.height, colour::line); // the well it stands in
    keyboard_draw(svg, number % 4, number >= 4);
}

void fingers(const PictureSpec&, Svg& svg)
{
    svg.rect(0, 0, 224, 28, colour::page);
    for (int i = 0; i < 8; ++i)
        finger_draw(svg, i, true, 28 * i, 0);
}

void lesson_menu(const PictureSpec& spec, Svg& svg)
{
    static const char* const kBeolsik3[][2] = {{"기본 자리", "Home row"}, {"오른손 윗줄", "Right top"},
        {"왼손 윗줄", "Left top"}, {"오른손 아랫줄", "Right bottom"}, {"왼손 아랫줄", "Left bottom"},
        {"오른손 맨윗줄", "Right digits"}, {"왼손 맨윗줄", "Left digits"}, {"윗받침 익힘", "Shift finals"},
        {"숫자 익힘", "Numbers"}, {"기호 익힘", "Symbols"}};
    bool named = spec.name == "menu3.bmp";
    int count = named ? 10 : 8;
    double h = double(spec.height) / count;
    for (int i = 0; i < count; ++i) {
        std::string badge = std::to_string(i + 1);
        if (named)
            selector_item(svg, 0, h * i, spec.width, h, kBeolsik3[i][0], kBeolsik3[i][1], badge);
        else
            selector_item(svg, 0, h * i, spec.width, h, badge + "단계", "Lesson " + badge, badge);
    }
}

void option_items(const PictureSpec& spec, Svg& svg)
{
    static const struct {
        const char* name;
        std::vector<std::pair<const char*, const char*>> items;
    } kSelectors[] = {
        {"op_kbd.bmp", {{"한국어", "Korean"}, {"영어", "English"}}},
        {"op_kor.bmp", {{"두벌식", "2-beolsik"}, {"세벌식", "3-beolsik 390"}}},
        {"op_eng.bmp", {{"쿼티", "QWERTY"}, {"드보락", "Dvorak"}}},
        {"repeat.bmp", {{"1번", "once"}, {"2번", "twice"}, {"3번", "3 times"}, {"5번", "5 times"}, {"10번", "10 times"}}},
        {"space.bmp", {{"한 칸", "one space"}, {"두 칸", "two spaces"}, {"그대로", "as typed"}}},
    };
    for (const auto& selector : kSelectors) {
        if (spec.name != selector.name)
            continue;
        double h = double(spec.height) / double(selector.items.size());
        for (size_t i = 0; i < selector.items.size(); ++i)
            selector_item(svg, 0, h * double(i), spec.width, h, selector.items[i].first, selector.items[i].second);
    }
}

static void book(Svg& svg, double cx, double cy, double s, const char* c)
{
    svg.path(fmt("M %g %g Q %g %g %g %g L %g %g Q %g %g %g %g Z", cx, cy - 0.6 * s, cx - 0.5 * s, cy - s,
                 cx - 1.1 * s, cy - 0.8 * s, cx - 1.1 * s, cy + 0.8 * s, cx - 0.5 * s, cy + 0.6 * s, cx,
                 cy + 0.9 * s),
        c);
    svg.path(fmt("M %g %g Q %g %g %g %g L %g %g Q %g %g %g %g Z", cx, cy - 0.6 * s, cx + 0.5 * s, cy - s,
                 cx + 1.1 * s, cy - 0.8 * s, cx + 1.1 * s, cy + 0.8 * s, cx + 0.5 * s, cy + 0.6 * s, cx,
                 cy + 0.9 * s),
        c);
}

void no_story_picture(const PictureSpec& spec, Svg& svg)
{
    if (spec.name == "s_none.bmp") {
        svg.rect(0, 0, 120, 80, colour::pale_blue);
        book(svg, 60, 30, 18, colour::navy);
        svg.text(60, 64, 11, "그림 없음", colour::navy, Anchor::middle, Weight::bold);
        svg.text(60, 75, 8, "No picture", colour::muted);
        return;
    }
    svg.rect(0, 0, spec.width, spec.height, colour::pale_orange);
    book(svg, 80, 74, 46, colour::orange);
    svg.line(80, 50, 80, 112, colour::pale_orange, 3);
    svg.text(160, 62, 28, "긴 글 연습", colour::navy, Anchor::start, Weight::bold);
    svg.text(160, 92, 14, "이야기를 한 쪽씩 따라 쳐 보세요", colour::ink, Anchor::start);
    svg.text(160, 114, 12, "Type a whole story, page by page", colour::muted, Anchor::start);
}

void cloud(const PictureSpec&, Svg& svg)
{
    // the masked craft: a rain cloud; what is left see-through takes the key colour
    static const double kPuffs[][3] = {{22, 26, 13}, {40, 17, 15}, {58, 15, 14}, {74, 24, 13}, {48, 27, 13}};
    for (const auto& p : kPuffs)
        svg.circle(p[0], p[1], p[2] + 2, colour::navy);
    for (const auto& p : kPuffs)
        svg.circle(p[0], p[1], p[2], colour::white);
    svg.circle(40, 24, 2.2, colour::ink);
    svg.circle(56, 24, 2.2, colour::ink);
    svg.path("M 44 29 Q 48 32 52 29", "none", colour::ink, 1.6);
}

void word_box(const PictureSpec& spec, Svg& svg)
{
    bool bonus = spec.name == "vd-bunus.bmp";
    svg.rect(1, 1, 158, 28, bonus ? colour::orange : colour::blue, 9);
    svg.rect(3, 3, 154, 24, bonus ? colour::yellow : colour::white, 7);
    if (bonus) {
        for (double x : {14.0, 146.0})
            svg.path(fmt("M %g 7 L %g 13 L %g 13.5 L %g 17 L %g 23 L %g 19.5 L %g 23 L %g 17 L %g 13.5 L %g 13 Z",
                         x, x + 2, x + 7, x + 3.5, x + 4.5, x, x - 4.5, x - 3.5, x - 7, x - 2),
                colour::orange);
    }
}

static void tower_frame(Svg& svg, int level, int damage, int collapse)
{
    static const char* const kColours[] = {colour::blue, colour::green, colour::orange, colour::purple,
        colour::teal, colour::red, colour::navy, colour::brown};
    const char* body = kColours[level % 8];
    // bricks fall away in a fixed order as damage grows: 24 bricks, ten hits to the last few
    static const int kOrder[24] = {2, 17, 9, 21, 5, 13, 0, 19, 11, 7, 23, 3, 15, 1, 10, 22, 6, 14, 18, 4, 12, 8, 20, 16};
    int missing = std::min(24, damage * 2);
    double angle = collapse == 1 ? 9 : collapse == 2 ? 28 : 0;
    if (collapse == 3) { // rubble
        for (int i = 0; i < 9; ++i)
            svg.rect(12 + 9 * i, 112 + (i % 3) * 5 - (i % 2) * 4, 16, 9, i % 2 ? body : colour::line, 2);
        return;
    }
    svg.begin_group(0, 0, angle, 80, 130);
    svg.path("M 20 30 L 50 6 L 80 30 Z", body);
    svg.line(50, 6, 50, -2, colour::ink, 1.5);
    svg.path("M 51 -2 L 60 1 L 51 4 Z", colour::yellow);
    for (int row = 0; row < 8; ++row) {
        for (int column = 0; column < 3; ++column) {
            int brick = row * 3 + column;
            bool gone = false;
            for (int m = 0; m < missing; ++m)
                gone = gone || kOrder[m] == brick;
            if (gone)
                continue;
            svg.rect(21 + 20 * column, 31 + 12 * row, 18.5, 10.5, row % 2 ? body : colour::line, 2);
        }
    }
    svg.end_group();
}

void tower(const PictureSpec& spec, Svg& svg)
{
    int level = picture_number(spec.name);
    int frames = spec.width / 100;
    svg.rect(0, 0, spec.width, spec.height, colour::field);
    for (int f = 0; f < frames; ++f) {
        svg.begin_group(100 * f, 0);
        int collapse = frames == 14 && f >= 11 ? f - 10 : 0;
        tower_frame(svg, level, std::min(f, 10), collapse);
        svg.end_group();
    }
}

void flag(const PictureSpec& spec, Svg& svg)
{
    static const char* const kColours[] = {colour::blue, colour::green, colour::orange, colour::purple,
        colour::teal, colour::red, colour::navy};
    int level = picture_number(spec.name);
    const char* c = kColours[(level - 1) % 7];
    svg.rect(0, 0, 100, 100, colour::page);
    svg.rect(4, 4, 96, 96, colour::white, 12);
    svg.frame(4.75, 4.75, 94.5, 94.5, c, 1.5, 12);
    svg.line(30, 18, 30, 70, colour::ink, 3);
    svg.path("M 31 18 L 80 30 L 31 44 Z", c);
    svg.text(52, 38, 16, std::to_string(level), colour::white, Anchor::middle, Weight::bold);
    svg.text(52, 84, 14, std::to_string(level) + "단계", colour::ink, Anchor::middle, Weight::bold);
    svg.text(52, 95, 9, "Level " + std::to_string(level), colour::muted);
}

void face(const PictureSpec& spec, Svg& svg) { face_draw(svg, picture_number(spec.name), 0, 0); }

void stat_labels(const PictureSpec&, Svg& svg)
{
    // Row 0 names the 30 days under their bars (x = 99 + 16 i on the screen, the strip at 90);
    // rows 1-6 name the items of each group under their pairs of bars (x = 99 + 18 i).
    static const char kMasks[3][33] = {"00111111111111111111100000000000",
        "00011111001111110011111100111100", "00111111111111111101111111111100"};
    static const JamoKind kKinds[3] = {JamoKind::initial, JamoKind::vowel, JamoKind::final};
    static const char* const kKeyGroups[3] = {"ABCDEFGHIJKLMNOPQRSTUVWXYZ", "1234567890;.,':\"?!()-=",
        "$+%&*#<>/[]{}"};
    svg.rect(0, 0, 490, 175, colour::white);
    for (int i = 0; i < 30; ++i)
        svg.text(7 + 16 * i, 17, 9, std::to_string(i + 1), colour::muted);
    for (int g = 0; g < 3; ++g) {
        int item = 0;
        for (int field = 0; field < 32; ++field) {
            if (kMasks[g][field] == '1')
                svg.text(9 + 18 * item++, 25 * (g + 1) + 18, 13, jamo_text(kKinds[g], field), colour::ink,
                    Anchor::middle, Weight::bold);
        }
    }
    for (int g = 0; g < 3; ++g) {
        std::string keys = kKeyGroups[g];
        for (size_t i = 0; i < keys.size(); ++i)
            svg.text(9 + 18 * double(i), 25 * (g + 4) + 18, 12, std::string(1, keys[i]), colour::ink,
                Anchor::middle, Weight::bold);
    }
}

void stat_units(const PictureSpec&, Svg& svg)
{
    // Marks at the value lines: the bars' top (y 174 on the screen) is the maximum; the
    // strip lies at y 160.
    svg.rect(0, 0, 70, 185, colour::white);
    for (int i = 0; i < 4; ++i) {
        double y = 356 - 160 - 182 * (4 - i) / 4.0 + 4;
        svg.text(32, y, 10, std::to_string(1000 - 250 * i), colour::muted, Anchor::end);
        svg.text(67, y, 10, std::to_string(100 - 25 * i), colour::muted, Anchor::end);
    }
    svg.text(17, 180, 9, "타/분", colour::navy, Anchor::middle, Weight::bold);
    svg.text(52, 180, 10, "%", colour::navy, Anchor::middle, Weight::bold);
}

void stat_legend(const PictureSpec& spec, Svg& svg)
{
    svg.rect(0, 0, 132, 40, colour::white);
    if (spec.name == "spddel1.bmp") {
        svg.text(66, 17, 12, "최근 30일", colour::navy, Anchor::middle, Weight::bold);
        svg.text(66, 31, 9, "the last 30 days", colour::muted);
        return;
    }
    // The swatches in the bars' colours: today's blue and the total's orange (the program
    // paints them again at (11, 27) and (81, 27), 20 by 7).
    svg.rect(11, 27, 20, 7, "#0000FF");
    svg.rect(81, 27, 20, 7, colour::orange);
    svg.text(21, 12, 11, "오늘", colour::navy, Anchor::middle, Weight::bold);
    svg.text(21, 23, 8, "Today", colour::muted);
    svg.text(91, 12, 11, "전체", colour::navy, Anchor::middle, Weight::bold);
    svg.text(91, 23, 8, "Total", colour::muted);
}

} // namespace draw
