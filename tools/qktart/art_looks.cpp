#include "tools/qktart/art_looks.h"

#include "tools/qktart/art_jamo.h"
#include "typing/keyboard_legend.h"

#include <algorithm>
#include <cmath>

namespace {

enum class Icon { sliders, users, power, back, next, close, book, trash, check, sound, muted, trophy, flag };

struct ToolRow {
    int id;
    int x, y;
    Icon icon;
    const char* korean;
    const char* english;
};

// The tools in their strip order, with the place each has on its screen.
const ToolRow kTools[] = {
    {901, 40, 419, Icon::sliders, "설정", "Options"},
    {103, 480, 419, Icon::users, "사용자", "Users"},
    {108, 542, 419, Icon::power, "끝내기", "Quit"},
    {902, 273, 419, Icon::back, "이전", "Back"},
    {903, 329, 419, Icon::next, "다음", "Next"},
    {2, 542, 419, Icon::close, "닫기", "Close"},
    {3101, 40, 419, Icon::book, "글 고르기", "Texts"},
    {904, 40, 419, Icon::trash, "지우기", "Delete"},
    {905, 542, 419, Icon::check, "확인", "OK"},
    {906, 286, 206, Icon::check, "확인", "OK"},
    {907, 265, 165, Icon::check, "확인", "OK"},
    {900, 40, 419, Icon::sound, "소리", "Sound"},
    {404, 102, 419, Icon::trophy, "순위", "Scores"},
    {402, 480, 419, Icon::flag, "단계", "Level"},
    {908, 80, 115, Icon::check, "예", "Yes"},
    {909, 145, 115, Icon::close, "아니요", "No"},
    {910, 40, 419, Icon::muted, "소리 끔", "Muted"},
};

struct LabelRow {
    int id;
    const char* korean;
    const char* english;
};

const LabelRow kMenuItems[] = {
    {200, "자리 연습", "Key positions"},
    {301, "짧은 글 연습", "Short texts"},
    {302, "긴 글 연습", "Long texts"},
    {500, "통계", "Statistics"},
    {401, "낱말 비 게임", "Word rain game"},
};

const LabelRow kTabs[] = {
    {501, "타수", "Speed"},
    {502, "정확도", "Accuracy"},
    {503, "30일", "30 days"},
};

constexpr int kMenuWidth = 167, kMenuHeight = 52, kToolSize = 55, kTabWidth = 74, kTabHeight = 55;

struct LookColours {
    const char* fill;
    const char* border;
    const char* mark; // icon, badge
    const char* text;
    const char* text2;
    double shift; // pressed looks sink by a pixel
};

LookColours look_colours(Look look)
{
    switch (look) {
    case Look::lit: return {colour::blue, colour::blue, colour::white, colour::white, colour::white, 0};
    case Look::pressed: return {colour::navy, colour::navy, colour::white, colour::white, colour::white, 1};
    case Look::unlit: break;
    }
    return {colour::white, colour::line, colour::blue, colour::ink, colour::muted, 0};
}

void icon_draw(Svg& svg, Icon icon, double cx, double cy, const char* c)
{
    auto at = [cx, cy](double x, double y) { return fmt("%g %g", cx + x, cy + y); };
    switch (icon) {
    case Icon::sliders:
        for (int i = 0; i < 3; ++i) {
            double y = -7 + 7 * i, knob = i == 1 ? 4 : -4;
            svg.line(cx - 10, cy + y, cx + 10, cy + y, c, 2.2);
            svg.circle(cx + knob, cy + y, 3.2, c);
        }
        break;
    case Icon::users:
        svg.circle(cx, cy - 5, 5, c);
        svg.path("M" + at(-10, 10) + " Q" + at(-10, 1) + " " + at(0, 1) + " Q" + at(10, 1) + " "
                + at(10, 10) + " Z",
            c);
        break;
    case Icon::power:
        svg.path("M" + at(-6, -6) + " A 9 9 0 1 0 " + at(6, -6), "none", c, 2.6);
        svg.line(cx, cy - 11, cx, cy - 1, c, 2.6);
        break;
    case Icon::back:
    case Icon::next: {
        double d = icon == Icon::back ? -1 : 1;
        svg.path("M" + at(-9 * d, 0) + " L" + at(8 * d, 0) + " M" + at(2 * d, -7) + " L" + at(9 * d, 0)
                + " L" + at(2 * d, 7),
            "none", c, 2.8);
        break;
    }
    case Icon::close:
        svg.line(cx - 7, cy - 7, cx + 7, cy + 7, c, 2.8);
        svg.line(cx + 7, cy - 7, cx - 7, cy + 7, c, 2.8);
        break;
    case Icon::book:
        svg.path("M" + at(0, -6) + " Q" + at(-5, -10) + " " + at(-11, -8) + " L" + at(-11, 8) + " Q"
                + at(-5, 6) + " " + at(0, 9) + " Q" + at(5, 6) + " " + at(11, 8) + " L" + at(11, -8)
                + " Q" + at(5, -10) + " " + at(0, -6) + " Z",
            "none", c, 2);
        svg.line(cx, cy - 6, cx, cy + 9, c, 2);
        break;
    case Icon::trash:
        svg.line(cx - 10, cy - 7, cx + 10, cy - 7, c, 2.4);
        svg.line(cx - 3, cy - 10, cx + 3, cy - 10, c, 2.4);
        svg.path("M" + at(-7, -4) + " L" + at(-6, 10) + " L" + at(6, 10) + " L" + at(7, -4), "none", c, 2.4);
        break;
    case Icon::check:
        svg.path("M" + at(-9, 0) + " L" + at(-3, 7) + " L" + at(9, -7), "none", c, 3.2);
        break;
    case Icon::sound:
    case Icon::muted:
        svg.path("M" + at(-11, -4) + " L" + at(-6, -4) + " L" + at(0, -10) + " L" + at(0, 10) + " L"
                + at(-6, 4) + " L" + at(-11, 4) + " Z",
            c);
        if (icon == Icon::sound) {
            svg.path("M" + at(4, -5) + " Q" + at(8, 0) + " " + at(4, 5), "none", c, 2);
            svg.path("M" + at(7, -9) + " Q" + at(14, 0) + " " + at(7, 9), "none", c, 2);
        } else {
            svg.line(cx + 4, cy - 5, cx + 12, cy + 5, c, 2.4);
            svg.line(cx + 12, cy - 5, cx + 4, cy + 5, c, 2.4);
        }
        break;
    case Icon::trophy:
        svg.path("M" + at(-7, -10) + " L" + at(7, -10) + " L" + at(6, -1) + " Q" + at(0, 5) + " "
                + at(-6, -1) + " Z",
            c);
        svg.path("M" + at(-7, -7) + " Q" + at(-12, -7) + " " + at(-6, 0) + " M" + at(7, -7) + " Q"
                + at(12, -7) + " " + at(6, 0),
            "none", c, 1.8);
        svg.line(cx, cy + 2, cx, cy + 8, c, 2.4);
        svg.line(cx - 6, cy + 9, cx + 6, cy + 9, c, 2.8);
        break;
    case Icon::flag:
        svg.line(cx - 8, cy - 10, cx - 8, cy + 10, c, 2.4);
        svg.path("M" + at(-7, -10) + " L" + at(9, -6) + " L" + at(-7, -1) + " Z", c);
        break;
    }
}

void tool_draw(Svg& svg, const ToolRow& tool, Look look, double x, double y)
{
    LookColours c = look_colours(look);
    svg.begin_group(x + c.shift, y + c.shift);
    svg.frame(1.5, 1.5, kToolSize - 3, kToolSize - 3, c.border, 1.5, 10, c.fill);
    icon_draw(svg, tool.icon, kToolSize / 2.0, 18, c.mark);
    svg.text(kToolSize / 2.0, 40, 11, tool.korean, c.text, Anchor::middle, Weight::bold);
    svg.text(kToolSize / 2.0, 50, 8.5, tool.english, c.text2);
    svg.end_group();
}

void menu_item_draw(Svg& svg, int index, Look look, double x, double y)
{
    LookColours c = look_colours(look);
    const LabelRow& item = kMenuItems[index];
    svg.begin_group(x + c.shift, y + c.shift);
    svg.frame(2, 3, kMenuWidth - 4, kMenuHeight - 6, c.border, 1.5, 12, c.fill);
    svg.circle(26, 26, 14, look == Look::unlit ? colour::blue : colour::white);
    svg.text(26, 32, 16, std::to_string(index + 1), look == Look::unlit ? colour::white : colour::blue,
        Anchor::middle, Weight::bold);
    svg.text(50, 25, 16, item.korean, c.text, Anchor::start, Weight::bold);
    svg.text(50, 41, 11, item.english, c.text2, Anchor::start);
    svg.end_group();
}

void tab_draw(Svg& svg, int index, Look look, double x, double y)
{
    LookColours c = look_colours(look);
    const LabelRow& tab = kTabs[index];
    svg.begin_group(x + c.shift, y + c.shift);
    svg.frame(2, 4, kTabWidth - 4, kTabHeight - 6, c.border, 1.5, 10, c.fill);
    svg.text(kTabWidth / 2.0, 29, 14, tab.korean, c.text, Anchor::middle, Weight::bold);
    svg.text(kTabWidth / 2.0, 44, 10, tab.english, c.text2);
    svg.end_group();
}

} // namespace

const AreaPlace* area_place(int id)
{
    static std::vector<AreaPlace> places = [] {
        std::vector<AreaPlace> all;
        for (int i = 0; i < 5; ++i)
            all.push_back({kMenuItems[i].id, 400, 142 + 52 * i, kMenuWidth, kMenuHeight});
        for (const ToolRow& tool : kTools)
            all.push_back({tool.id, tool.x, tool.y, kToolSize, kToolSize});
        for (int i = 0; i < 3; ++i)
            all.push_back({kTabs[i].id, 225 + 74 * i, 70, kTabWidth, kTabHeight});
        return all;
    }();
    for (const AreaPlace& place : places) {
        if (place.id == id)
            return &place;
    }
    return nullptr;
}

void area_draw(Svg& svg, int id, Look look, double x, double y)
{
    for (int i = 0; i < 5; ++i) {
        if (kMenuItems[i].id == id)
            return menu_item_draw(svg, i, look, x, y);
    }
    for (int i = 0; i < 3; ++i) {
        if (kTabs[i].id == id)
            return tab_draw(svg, i, look, x, y);
    }
    for (const ToolRow& tool : kTools) {
        if (tool.id == id)
            return tool_draw(svg, tool, look, x, y);
    }
}

int strip_count(Strip strip)
{
    switch (strip) {
    case Strip::menu: return 5;
    case Strip::tools: return int(std::size(kTools));
    case Strip::tabs: return 3;
    }
    return 0;
}

int strip_area(Strip strip, int index)
{
    switch (strip) {
    case Strip::menu: return kMenuItems[index].id;
    case Strip::tools: return kTools[index].id;
    case Strip::tabs: return kTabs[index].id;
    }
    return 0;
}

void face_draw(Svg& svg, int face, double x, double y)
{
    static const char* const kBackdrops[] = {colour::pale_blue, colour::pale_orange, "#C6E3C7",
        "#F6C9C8", "#DEC6E5", "#BFE2DE", "#FEF3AE", "#CDEEFD", "#E0E2E3"};
    static const char* const kHair[] = {colour::brown, colour::ink, colour::orange, colour::brown,
        colour::ink, colour::yellow, colour::brown, colour::ink, colour::red};
    static const char* const kShirts[] = {colour::blue, colour::green, colour::purple, colour::orange,
        colour::teal, colour::red, colour::navy, colour::yellow, colour::blue};
    int i = (face - 1) % 9;
    int style = i % 3; // short hair, long hair, a cap
    svg.begin_group(x, y);
    svg.rect(0, 0, 70, 88, kBackdrops[i]);
    svg.path("M 10 88 Q 10 62 35 62 Q 60 62 60 88 Z", kShirts[i]);
    svg.rect(30, 52, 10, 12, colour::skin);
    if (style == 1)
        svg.path("M 15 40 Q 13 14 35 13 Q 57 14 55 40 L 57 62 L 13 62 Z", kHair[i]);
    svg.ellipse(35, 38, 17, 20, colour::skin);
    if (style == 2) {
        svg.path("M 17 30 Q 18 12 35 12 Q 52 12 53 30 Z", kShirts[(i + 3) % 9]);
        svg.rect(33, 26, 26, 5, kShirts[(i + 3) % 9], 2.5);
    } else {
        svg.path("M 17 36 Q 16 16 35 16 Q 54 16 53 36 Q 46 25 35 26 Q 24 25 17 36 Z", kHair[i]);
    }
    svg.circle(28, 40, 2.4, colour::ink);
    svg.circle(42, 40, 2.4, colour::ink);
    svg.path("M 28 47 Q 35 53 42 47", "none", colour::ink, 2);
    svg.circle(23, 46, 3, "#F39691");
    svg.circle(47, 46, 3, "#F39691");
    svg.end_group();
}

// Keyboard geometry relative to the picture, which the lesson screen draws at (40, 218).
namespace {
constexpr double kKbdLeft = 49 - 40, kKbdRight = 588 - 40, kKbdTop = 224 - 218;
constexpr int kRowOffset[4] = {83, 104, 115, 133};

struct KeyBox {
    double x, y, w, h;
};

KeyBox key_box(int row, int column)
{
    double y = kKbdTop + 36 * row;
    if (row == 4) {
        static const double kBottom[5][2] = {{49, 119}, {123, 192}, {196, 444}, {448, 517}, {521, 588}};
        return {kBottom[column][0] - 40, 371 - 218, kBottom[column][1] - kBottom[column][0], 31};
    }
    double offset = kRowOffset[row] - 40;
    if (column == 0)
        return {kKbdLeft, y, offset - kKbdLeft - 2, 34};
    double x = offset + 36 * (column - 1);
    double w = column == kLegendRowLength[row] - 1 ? kKbdRight - x : 34;
    return {x, y, w, 34};
}

const char* special_label(uint16_t code)
{
    switch (code) {
    case kKeyBackspace: return "←";
    case kKeyTab: return "Tab";
    case kKeyEnter: return "Enter";
    case kKeyShift: return "Shift";
    case kKeyCtrl: return "Ctrl";
    case kKeyAlt: return "Alt";
    case kKeyCapsLock: return "Caps";
    default: return nullptr;
    }
}

// The colour of a legend: finals, vowels and initials apart, so the 3-beolsik halves show.
const char* legend_colour(uint16_t code, bool lit)
{
    if (lit)
        return colour::white;
    switch (jamo_kind(code)) {
    case JamoKind::vowel: return colour::blue;
    case JamoKind::final: return colour::teal;
    default: return colour::ink;
    }
}

// A legend as text; the backslash as a stroke, as the Nanum fonts draw that code as the won sign.
void legend_draw(Svg& svg, double x, double baseline, double size, uint16_t code, const char* fill,
    Anchor anchor, Weight weight)
{
    if (code != '\\') {
        svg.text(x, baseline, size, legend_text(code), fill, anchor, weight);
        return;
    }
    double left = anchor == Anchor::start ? x : x - size * 0.25;
    svg.line(left, baseline - size * 0.72, left + size * 0.45, baseline, fill, size / 8);
}

bool same_legend(uint16_t a, uint16_t b)
{
    auto fold = [](uint16_t c) { return c >= 'a' && c <= 'z' ? uint16_t(c - 32) : c; };
    return fold(a) == fold(b);
}
} // namespace

void keyboard_draw(Svg& svg, int layout, bool lit)
{
    svg.rect(0, 0, 565, 192, colour::line, 12);
    svg.rect(3, 3, 559, 186, "#DCE0E4", 10);
    for (int row = 0; row < kLegendRows; ++row) {
        for (int column = 0; column < kLegendRowLength[row]; ++column) {
            uint16_t code = kKeyboardLegend[layout][0][row][column];
            uint16_t shifted = kKeyboardLegend[layout][1][row][column];
            KeyBox k = key_box(row, column);
            const char* special = special_label(code);
            const char* cap = lit ? colour::orange : (special ? "#E0E2E3" : colour::white);
            svg.rect(k.x, k.y + 1.5, k.w, k.h, lit ? "#BC6900" : colour::muted, 6);
            svg.rect(k.x, k.y, k.w, k.h - 1, cap, 6);
            double cx = k.x + k.w / 2;
            if (special) {
                svg.text(cx, k.y + 21, 11, special, lit ? colour::white : colour::muted);
                continue;
            }
            if (code == ' ')
                continue;
            legend_draw(svg, cx + 2, k.y + 26, 16, code, legend_colour(code, lit), Anchor::middle, Weight::bold);
            if (!same_legend(code, shifted))
                legend_draw(svg, k.x + 5, k.y + 12, 10, shifted, legend_colour(shifted, lit), Anchor::start, Weight::regular);
            if (row == 2 && (column == 4 || column == 7)) // the home keys' bumps
                svg.line(cx - 4, k.y + 30, cx + 4, k.y + 30, lit ? colour::white : colour::muted, 1.6);
        }
    }
}

void selector_item(Svg& svg, double x, double y, double w, double h, const std::string& korean,
    const std::string& english, const std::string& badge)
{
    svg.frame(x + 1, y + 1, w - 2, h - 2, colour::line, 1, 6, colour::white);
    double text_x = x + 8;
    if (!badge.empty()) {
        svg.circle(x + h / 2 + 2, y + h / 2, h / 2 - 5, colour::blue);
        svg.text(x + h / 2 + 2, y + h / 2 + 4, 11, badge, colour::white, Anchor::middle, Weight::bold);
        text_x = x + h + 4;
    }
    if (h >= 30 && w <= 110) { // narrow items: two lines
        svg.text(x + w / 2, y + 14, 12, korean, colour::ink, Anchor::middle, Weight::bold);
        svg.text(x + w / 2, y + 25, 9, english, colour::muted);
        return;
    }
    svg.text(text_x, y + h / 2 + 5, 13, korean, colour::ink, Anchor::start, Weight::bold);
    svg.text(x + w - 10, y + h / 2 + 4, 10, english, colour::muted, Anchor::end);
}

void screen_page(Svg& svg, int width, int height, const std::string& korean, const std::string& english)
{
    svg.rect(0, 0, width, height, colour::page);
    svg.rect(0, 0, width, 6, colour::blue);
    if (!korean.empty()) {
        svg.text(width - 24, 44, 22, korean, colour::navy, Anchor::end, Weight::bold);
        svg.text(width - 24, 62, 12, english, colour::muted, Anchor::end);
    }
}

void face_well(Svg& svg, double x, double y)
{
    svg.rect(x - 4, y - 4, 78, 96, colour::white, 8);
    svg.frame(x - 4, y - 4, 78, 96, colour::line, 1.5, 8);
    svg.rect(x, y, 70, 88, colour::line);
}

void typing_well(Svg& svg, double x, double y, double w, double h, double margin)
{
    svg.rect(x - margin, y - margin, w + 2 * margin, h + 2 * margin, colour::white, margin + 2);
    svg.frame(x - margin, y - margin, w + 2 * margin, h + 2 * margin, colour::line, 1.5, margin + 2);
    svg.rect(x, y, w, h, "#C0C0C0");
}

void finger_draw(Svg& svg, int finger, bool lit, double x, double y)
{
    static const double kLength[8] = {17, 22, 26, 23, 23, 26, 22, 17}; // little, ring, middle, index
    double top = 28 - kLength[finger];
    svg.rect(x + 7, y + top, 14, kLength[finger] + 7, lit ? colour::orange : colour::line, 7);
    svg.rect(x + 10, y + top + 3, 8, 8, lit ? colour::pale_orange : colour::white, 4);
}

void areas_draw(Svg& svg, const std::vector<int>& areas)
{
    for (int id : areas) {
        if (const AreaPlace* place = area_place(id))
            area_draw(svg, id, Look::unlit, place->x, place->y);
    }
}

void gauge_dial(Svg& svg, double cx, double cy, double radius, const std::string& korean,
    const std::string& english)
{
    // The needle is a pie the program draws inverted inside the ring between two diamonds
    // (radius 51 and 22); the dial shows that ring.
    double outer = std::min(51.0, radius - 2);
    svg.circle(cx, cy, radius, colour::white);
    svg.ring(cx, cy, radius, colour::line, 1.5);
    svg.path(fmt("M %g %g L %g %g L %g %g L %g %g Z", cx, cy - outer, cx + outer, cy, cx, cy + outer,
                 cx - outer, cy),
        colour::pale_blue);
    svg.path(fmt("M %g %g L %g %g L %g %g L %g %g Z", cx, cy - 22, cx + 22, cy, cx, cy + 22, cx - 22, cy),
        colour::white);
    for (int i = 0; i < 8; ++i) { // a mark every 100 strokes a minute
        double a = i * M_PI / 4;
        svg.line(cx + 24 * std::sin(a), cy - 24 * std::cos(a), cx + 28 * std::sin(a),
            cy - 28 * std::cos(a), colour::blue, 1.5);
    }
    svg.text(cx, cy - radius - 5, 11, korean + " " + english, colour::navy, Anchor::middle, Weight::bold);
}

void caption(Svg& svg, double x, double baseline, const std::string& korean, const std::string& english,
    Anchor anchor, double size)
{
    svg.text(x, baseline, size, korean, colour::navy, anchor, Weight::bold);
    svg.text(x, baseline + size + 1, size * 0.78, english, colour::muted, anchor);
}

void dialog_card(Svg& svg, int width, int height, const std::string& korean,
    const std::string& english, double band)
{
    svg.rect(0, 0, width, height, colour::navy);
    svg.rect(2, 2, width - 4, height - 4, colour::page);
    svg.rect(2, 2, width - 4, band - 2, colour::blue);
    double baseline = 2 + (band - 2) / 2 + 6;
    svg.text(14, baseline, 16, korean, colour::white, Anchor::start, Weight::bold);
    svg.text(width - 14, baseline - 1, 11, english, colour::white, Anchor::end);
}
