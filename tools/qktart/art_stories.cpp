// The long texts' pictures: s_NAME.bmp (120x80) in the story chooser and l_NAME.bmp (400x147)
// on the long-text screen. Each story has one scene drawn on a 120x80 stage; the long picture
// shows it enlarged on the left with the story's title beside it.
#include "tools/qktart/art_pictures.h"

#include <cmath>
#include <string_view>

namespace {

constexpr double kStageWidth = 120;
constexpr double kStageHeight = 80;

void rain(Svg& svg)
{
    svg.rect(0, 0, 120, 80, colour::pale_blue);
    for (int i = 0; i < 14; ++i) {
        double x = 6 + 9 * i, y = 4 + (i * 7) % 30;
        svg.line(x, y, x - 3, y + 9, colour::sky, 1.2);
    }
    svg.rect(0, 56, 120, 24, colour::brown);
    for (int row = 0; row < 3; ++row)
        svg.line(4, 62 + 6 * row, 116, 62 + 6 * row, colour::ink, 0.8);
    for (int i = 0; i < 7; ++i) {
        double x = 12 + 15 * i;
        svg.path(fmt("M %g 62 Q %g 55 %g 54", x, x - 4, x - 6), "none", colour::green, 1.6);
        svg.path(fmt("M %g 62 Q %g 55 %g 54", x, x + 4, x + 6), "none", colour::green, 1.6);
    }
    // a yellow umbrella over the little gardener
    svg.path("M 72 36 A 18 14 0 0 1 108 36 Z", colour::yellow);
    svg.line(90, 36, 90, 54, colour::ink, 1.5);
    svg.circle(90, 44, 4, colour::skin);
    svg.rect(86, 48, 8, 10, colour::yellow, 2);
}

void market(Svg& svg)
{
    svg.rect(0, 0, 120, 80, colour::page);
    for (int i = 0; i < 6; ++i)
        svg.rect(10 + 17 * i, 10, 17, 12, i % 2 ? colour::white : colour::red);
    svg.path("M 10 22 L 112 22 L 112 26 L 10 26 Z", colour::red);
    svg.rect(14, 26, 3, 34, colour::brown);
    svg.rect(105, 26, 3, 34, colour::brown);
    svg.rect(10, 52, 102, 14, colour::brown, 2);
    static const struct { double x; const char* c; } kHeaps[] = {
        {24, colour::red}, {46, colour::orange}, {68, colour::green}, {90, colour::yellow}};
    for (const auto& heap : kHeaps) {
        svg.circle(heap.x - 5, 49, 5, heap.c);
        svg.circle(heap.x + 5, 49, 5, heap.c);
        svg.circle(heap.x, 42, 5, heap.c);
    }
    svg.rect(0, 66, 120, 14, colour::line);
}

void moonlight(Svg& svg)
{
    svg.rect(0, 0, 120, 80, colour::navy);
    svg.circle(92, 20, 11, colour::yellow);
    static const double kStars[][2] = {{14, 10}, {34, 20}, {56, 8}, {70, 28}, {108, 44}, {20, 34}};
    for (const auto& s : kStars)
        svg.circle(s[0], s[1], 1.3, colour::white);
    svg.path("M 0 80 L 0 62 Q 30 50 60 58 Q 90 66 120 56 L 120 80 Z", colour::ink);
    svg.path("M 30 60 Q 44 44 62 52 L 64 62 Z", colour::muted);
    // the cat on the rock, looking up at the moon
    svg.ellipse(48, 46, 7, 8, colour::line);
    svg.circle(52, 36, 5, colour::line);
    svg.path("M 48 33 L 49 27 L 52 32 Z", colour::line);
    svg.path("M 53 32 L 56 27 L 57 33 Z", colour::line);
    svg.path("M 42 50 Q 34 48 36 40", "none", colour::line, 2);
    // and the kitten beside it
    svg.ellipse(64, 51, 4, 5, colour::white);
    svg.circle(66, 45, 3.2, colour::white);
}

void seaside(Svg& svg)
{
    svg.rect(0, 0, 120, 80, colour::pale_blue);
    svg.rect(0, 50, 120, 30, colour::blue);
    for (int i = 0; i < 5; ++i)
        svg.path(fmt("M %d 60 q 4 -3 8 0", 6 + 24 * i), "none", colour::white, 1.2);
    svg.path("M 40 80 Q 60 30 120 34 L 120 80 Z", colour::green);
    svg.rect(74, 26, 30, 18, colour::white);
    svg.path("M 70 27 L 89 14 L 108 27 Z", colour::blue);
    svg.rect(85, 33, 8, 11, colour::navy);
    svg.rect(64, 34, 6, 12, colour::red, 2);
    svg.rect(66, 46, 2, 6, colour::ink);
    svg.path("M 20 14 q 4 -4 8 0 q 4 -4 8 0", "none", colour::ink, 1);
}

void tree(Svg& svg)
{
    svg.rect(0, 0, 120, 80, colour::pale_blue);
    svg.rect(0, 62, 120, 18, colour::green);
    svg.path("M 54 64 L 57 36 L 63 36 L 66 64 Z", colour::brown);
    svg.path("M 60 44 L 48 34", "none", colour::brown, 3);
    svg.path("M 60 42 L 72 32", "none", colour::brown, 3);
    static const double kLeaves[][3] = {{60, 24, 18}, {40, 30, 13}, {80, 30, 13}, {50, 16, 12}, {72, 16, 12}};
    for (const auto& l : kLeaves)
        svg.circle(l[0], l[1], l[2], colour::teal);
    for (const auto& l : kLeaves)
        svg.circle(l[0] - 2, l[1] - 2, l[2] - 4, colour::green);
    svg.rect(76, 56, 26, 4, colour::orange, 1);
    svg.rect(78, 60, 2, 6, colour::brown);
    svg.rect(98, 60, 2, 6, colour::brown);
}

void kite(Svg& svg)
{
    svg.rect(0, 0, 120, 80, colour::sky);
    svg.ellipse(30, 16, 14, 5, colour::white);
    svg.path("M 0 80 L 0 60 Q 40 44 120 62 L 120 80 Z", colour::green);
    svg.path("M 78 10 L 90 22 L 78 38 L 66 22 Z", colour::red);
    svg.line(66, 22, 90, 22, colour::pale_orange, 1);
    svg.line(78, 10, 78, 38, colour::pale_orange, 1);
    svg.path("M 78 38 Q 70 46 76 52 Q 82 58 74 66", "none", colour::yellow, 1.5);
    for (int i = 0; i < 3; ++i)
        svg.rect(73 + (i % 2) * 3, 44 + 7 * i, 5, 3, i % 2 ? colour::blue : colour::orange);
    svg.line(78, 38, 30, 62, colour::white, 0.8);
    svg.circle(30, 58, 3, colour::skin);
    svg.rect(27, 61, 6, 9, colour::blue, 2);
}

void bakery(Svg& svg)
{
    svg.rect(0, 0, 120, 80, colour::navy);
    svg.circle(16, 12, 1.2, colour::white);
    svg.circle(104, 8, 1.2, colour::white);
    svg.rect(20, 16, 80, 64, colour::brown);
    svg.path("M 16 18 L 60 4 L 104 18 Z", colour::ink);
    svg.circle(44, 38, 11, colour::yellow);
    svg.circle(44, 38, 11.5, colour::pale_orange);
    svg.circle(44, 38, 10, colour::yellow);
    svg.ellipse(44, 42, 6, 3, colour::orange);
    svg.rect(70, 46, 18, 34, colour::green, 2);
    svg.circle(84, 64, 1.5, colour::yellow);
    svg.rect(0, 76, 120, 4, colour::muted);
}

void snow(Svg& svg)
{
    svg.rect(0, 0, 120, 80, colour::line);
    svg.rect(0, 58, 120, 22, colour::white);
    svg.circle(60, 56, 13, colour::page);
    svg.circle(60, 37, 9, colour::page);
    svg.ring(60, 56, 13, colour::muted, 0.8);
    svg.ring(60, 37, 9, colour::muted, 0.8);
    svg.circle(57, 35, 1.2, colour::ink);
    svg.circle(63, 35, 1.2, colour::ink);
    svg.path("M 60 38 L 67 40 L 60 40 Z", colour::orange);
    svg.rect(51, 44, 18, 3, colour::red, 1);
    svg.rect(53, 24, 14, 6, colour::ink, 1);
    for (int i = 0; i < 18; ++i)
        svg.circle(5 + (i * 37) % 112, 5 + (i * 23) % 48, 1.4, colour::white);
    svg.ellipse(92, 66, 8, 5, colour::page); // the snow dog
    svg.circle(99, 61, 4, colour::page);
}

void rooftop(Svg& svg)
{
    svg.rect(0, 0, 120, 80, colour::pale_orange);
    svg.rect(4, 20, 22, 60, colour::muted);
    svg.rect(94, 12, 24, 68, colour::muted);
    for (int i = 0; i < 4; ++i) {
        svg.rect(8 + (i % 2) * 9, 26 + 12 * (i / 2), 5, 6, colour::line);
        svg.rect(99 + (i % 2) * 9, 18 + 12 * (i / 2), 5, 6, colour::line);
    }
    svg.rect(0, 62, 120, 18, colour::ink);
    svg.path("M 20 16 Q 60 28 100 14", "none", colour::ink, 0.6);
    for (int i = 0; i < 6; ++i)
        svg.circle(26 + 13 * i, 19 + (i == 0 || i == 5 ? 0 : 3), 1.6, colour::yellow);
    for (int i = 0; i < 3; ++i) {
        double x = 34 + 24 * i;
        svg.line(x, 58, x, 34 - 4 * (i % 2), colour::green, 1.6);
        svg.circle(x, 32 - 4 * (i % 2), 5, colour::yellow);
        svg.circle(x, 32 - 4 * (i % 2), 2, colour::brown);
        svg.path(fmt("M %g 56 L %g 56 L %g 64 L %g 64 Z", x - 7, x + 7, x + 5, x - 5), colour::orange);
    }
}

void lighthouse(Svg& svg)
{
    svg.rect(0, 0, 120, 80, colour::navy);
    svg.path("M 64 16 L 120 4 L 120 30 Z", colour::pale_orange);
    svg.rect(0, 56, 120, 24, colour::blue);
    svg.path("M 30 80 L 40 58 L 66 54 L 82 62 L 86 80 Z", colour::ink);
    svg.path("M 54 56 L 57 22 L 71 22 L 74 56 Z", colour::white);
    svg.rect(55.5, 32, 17, 5, colour::red);
    svg.rect(55, 44, 18, 5, colour::red);
    svg.rect(56, 14, 16, 8, colour::yellow);
    svg.path("M 54 14 L 64 6 L 74 14 Z", colour::red);
    svg.rect(78, 52, 12, 8, colour::line);
    svg.path("M 76 52 L 84 46 L 92 52 Z", colour::red);
}

struct StoryScene {
    const char* name; // the base name of the long text
    const char* title[2]; // the title in one or two lines, as the picture shows it
    void (*draw)(Svg&);
};

// One row per long text of assets/typing/texts/texts.tsv.
const StoryScene kScenes[] = {
    {"bombi", {"봄비 오는 날", ""}, rain},
    {"sijang", {"토요일 아침", "시장"}, market},
    {"dalbit", {"달빛 아래", "고양이"}, moonlight},
    {"bada", {"바닷가 작은", "우체국"}, seaside},
    {"namu", {"느티나무", "아래에서"}, tree},
    {"kite", {"The Red Kite", ""}, kite},
    {"baker", {"The Night", "Baker"}, bakery},
    {"snow", {"The First Snow", ""}, snow},
    {"garden", {"The Rooftop", "Garden"}, rooftop},
    {"light", {"The Lighthouse", "Keeper"}, lighthouse},
};

const StoryScene* scene_find(std::string_view base)
{
    for (const StoryScene& scene : kScenes) {
        if (base == scene.name)
            return &scene;
    }
    return nullptr;
}

} // namespace

bool story_picture_draw(const PictureSpec& picture, Svg& svg)
{
    std::string_view name = picture.name;
    bool small = name.rfind("s_", 0) == 0;
    if ((!small && name.rfind("l_", 0) != 0) || name.size() < 7 || name.substr(name.size() - 4) != ".bmp")
        return false;
    const StoryScene* scene = scene_find(name.substr(2, name.size() - 6));
    if (!scene)
        return false;
    if (small) {
        scene->draw(svg);
        return true;
    }
    double scale = picture.height / kStageHeight;
    double stage_right = kStageWidth * scale;
    svg.begin_scaled(0, 0, scale);
    scene->draw(svg);
    svg.end_group();
    svg.rect(stage_right, 0, picture.width - stage_right, picture.height, colour::page);
    svg.rect(stage_right, 0, 4, picture.height, colour::orange);
    double x = stage_right + 16;
    bool two_lines = scene->title[1][0] != '\0';
    svg.text(x, two_lines ? 62 : 78, 20, scene->title[0], colour::navy, Anchor::start, Weight::bold);
    if (two_lines)
        svg.text(x, 88, 20, scene->title[1], colour::navy, Anchor::start, Weight::bold);
    svg.text(x, 124, 11, "긴 글 연습 / Long text", colour::muted, Anchor::start);
    return true;
}
