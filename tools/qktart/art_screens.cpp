// The screens and dialogs: backgrounds that show the unlit look of every area live on them and
// leave plain the places the program draws into.
#include "tools/qktart/art_looks.h"
#include "tools/qktart/art_pictures.h"

namespace draw {

void menu_screen(const PictureSpec& spec, Svg& svg)
{
    screen_page(svg, 640, 480, "", "");
    face_well(svg, 45, 27);
    svg.text(136, 62, 24, "어서 오세요!", colour::navy, Anchor::start, Weight::bold);
    svg.text(136, 84, 13, "Welcome! Choose what to practise.", colour::muted, Anchor::start);
    // the card on the left: a few keys and how to choose with the keyboard
    svg.rect(40, 142, 340, 260, colour::white, 14);
    svg.frame(40, 142, 340, 260, colour::line, 1.5, 14);
    static const char* const kKeys[3][5] = {
        {"ㅂ", "ㅈ", "ㄷ", "ㄱ", "ㅅ"}, {"ㅁ", "ㄴ", "ㅇ", "ㄹ", "ㅎ"}, {"ㅋ", "ㅌ", "ㅊ", "ㅍ", "ㅠ"}};
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 5; ++column) {
            double x = 80 + 50 * column + 14 * row, y = 170 + 48 * row;
            bool home = row == 1 && (column == 0 || column == 3);
            svg.rect(x, y + 2, 42, 40, colour::muted, 8);
            svg.rect(x, y, 42, 39, home ? colour::orange : colour::page, 8);
            svg.text(x + 21, y + 27, 18, kKeys[row][column], home ? colour::white : colour::ink,
                Anchor::middle, Weight::bold);
        }
    }
    svg.text(210, 345, 15, "숫자 1-5 키로도 고를 수 있어요", colour::ink, Anchor::middle, Weight::bold);
    svg.text(210, 366, 12, "Keys 1 to 5 choose an item too", colour::muted);
    svg.text(210, 388, 11, "a: 정보 · About", colour::muted);
    areas_draw(svg, spec.areas);
}

void intro_background(const PictureSpec&, Svg& svg)
{
    svg.rect(0, 0, 640, 480, colour::page);
    svg.circle(-40, 520, 200, colour::pale_blue);
    svg.circle(680, 470, 120, colour::pale_orange);
    svg.rect(0, 0, 640, 6, colour::blue);
    // the pane's frame; the pane itself is revealed block by block over it
    svg.rect(45, 195, 548, 256, colour::white, 12);
    svg.frame(45, 195, 548, 256, colour::line, 1.5, 12);
    svg.rect(53, 203, 532, 240, colour::line);
    svg.text(320, 470, 11, "Enter · Space · 마우스: 시작 / press Enter or Space, or click, to begin",
        colour::muted);
}

void logo(Svg& svg, const char* mono)
{
    const char* key = mono ? mono : colour::blue;
    const char* key_edge = mono ? mono : colour::navy;
    svg.rect(6, 14, 80, 80, key_edge, 16);
    svg.rect(6, 10, 80, 80, key, 16);
    svg.text(46, 66, 46, "가", mono ? mono : colour::white, Anchor::middle, Weight::bold);
    svg.text(100, 56, 40, "뷔렌타자교사", mono ? mono : colour::navy, Anchor::start, Weight::bold);
    svg.text(102, 82, 15, "Korean and English typing tutor", mono ? mono : colour::muted, Anchor::start);
}

void logo_shadowed(const PictureSpec& spec, Svg& svg)
{
    // what the intro background holds at (39, 63), then the logo with its shadow
    svg.begin_group(-39, -63);
    intro_background(spec, svg);
    svg.end_group();
    svg.begin_group(3, 3);
    logo(svg, colour::line);
    svg.end_group();
    logo(svg, nullptr);
}

void help_pane(const PictureSpec&, Svg& svg)
{
    svg.rect(0, 0, 532, 240, colour::pale_blue);
    svg.circle(110, 120, 72, colour::orange);
    svg.text(110, 152, 96, "?", colour::white, Anchor::middle, Weight::bold);
    svg.text(210, 92, 34, "도움말", colour::navy, Anchor::start, Weight::bold);
    svg.text(210, 128, 16, "누리솔 도움말을 열어 보세요", colour::ink, Anchor::start);
    svg.text(210, 154, 14, "Click here to open the help", colour::muted, Anchor::start);
    svg.path("M 216 180 l 0 24 l 6 -6 l 5 10 l 4 -2 l -5 -10 l 8 0 Z", colour::white, colour::navy, 1.5);
}

void keyboard_pane(const PictureSpec&, Svg& svg)
{
    svg.rect(0, 0, 532, 240, colour::white);
    svg.text(266, 34, 18, "타자 연습을 시작해 볼까요?", colour::navy, Anchor::middle, Weight::bold);
    svg.text(266, 54, 12, "Ready to practise Korean and English typing?", colour::muted);
    svg.body += "<g transform='translate(40 72) scale(0.8)'>\n";
    keyboard_draw(svg, 0, false);
    svg.end_group();
}

void lesson_screen(const PictureSpec& spec, Svg& svg)
{
    screen_page(svg, 640, 480, "자리 연습", "Key positions");
    face_well(svg, 45, 27);
    svg.text(184, 39, 12, "단계", colour::navy, Anchor::end, Weight::bold);
    svg.rect(189, 17, 262, 34, colour::white, 6);
    svg.frame(189, 17, 262, 34, colour::line, 1.5, 6);
    typing_well(svg, 200, 94, 240, 90);
    svg.text(99, 149, 11, "왼손 · Left hand", colour::muted);
    svg.text(542, 149, 11, "오른손 · Right hand", colour::muted);
    for (int i = 0; i < 4; ++i) {
        finger_draw(svg, i, false, 43 + 28 * i, 155);
        finger_draw(svg, 4 + i, false, 486 + 28 * i, 155);
    }
    svg.rect(38, 216, 569, 196, colour::line, 12);
    areas_draw(svg, spec.areas);
}

static void gauges(Svg& svg, double cy, double radius)
{
    gauge_dial(svg, 216, cy, radius, "지금", "Now");
    gauge_dial(svg, 325, cy, radius, "한 줄", "Line");
    gauge_dial(svg, 434, cy, radius, "평균", "Mean");
}

void short_text_screen(const PictureSpec& spec, Svg& svg)
{
    screen_page(svg, 640, 480, "짧은 글 연습", "Short texts");
    face_well(svg, 45, 27);
    svg.text(38, 136, 13, "속담을 따라 치세요 · Type the proverb", colour::navy, Anchor::start, Weight::bold);
    typing_well(svg, 38, 156, 562, 84);
    gauges(svg, 325, 53.5);
    svg.text(560, 350, 11, "타수/분", colour::muted, Anchor::middle);
    svg.text(560, 364, 9, "strokes a minute", colour::muted, Anchor::middle);
    areas_draw(svg, spec.areas);
}

void long_text_screen(const PictureSpec& spec, Svg& svg)
{
    svg.rect(0, 0, 640, 480, colour::page);
    svg.rect(0, 0, 640, 6, colour::blue);
    face_well(svg, 45, 27);
    svg.text(130, 44, 18, "긴 글 연습", colour::navy, Anchor::start, Weight::bold);
    svg.text(130, 60, 11, "Long texts", colour::muted, Anchor::start);
    svg.rect(229, 15, 406, 150, colour::line, 4);
    typing_well(svg, 38, 165, 562, 175, 2);
    gauges(svg, 410, 48.5); // the numbers are written at (cx - 51, 460) on the plain page
    areas_draw(svg, spec.areas);
}

void story_chooser(const PictureSpec& spec, Svg& svg)
{
    dialog_card(svg, 640, 480, "글 고르기", "Choose a text", 30);
    for (int i = 0; i < 12; ++i) {
        double x = 43 + 144 * (i % 4), y = 35 + 121 * (i / 4);
        svg.rect(x - 5, y - 3, 130, 112, colour::white, 8);
        svg.frame(x - 5, y - 3, 130, 112, colour::line, 1.2, 8);
    }
    svg.text(320, 405, 11, "그림을 누르면 그 글을 칩니다 · Click a picture to type its text", colour::muted);
    areas_draw(svg, spec.areas);
}

void result_dialog(const PictureSpec&, Svg& svg)
{
    // the program writes the title and the five rows itself
    svg.rect(0, 0, 340, 240, colour::navy);
    svg.rect(3, 3, 334, 234, colour::white);
    svg.rect(3, 3, 334, 6, colour::blue);
    svg.rect(3, 231, 334, 6, colour::blue);
}

void game_screen(const PictureSpec& spec, Svg& svg)
{
    svg.rect(0, 0, 640, 480, colour::page);
    svg.rect(0, 0, 640, 405, colour::field);
    // hills at the horizon, clear of the tower in the middle
    svg.ellipse(90, 400, 150, 45, "#C6E3C7");
    svg.ellipse(560, 402, 130, 38, "#C6E3C7");
    svg.rect(0, 395, 640, 10, colour::green);
    svg.rect(0, 405, 640, 1.5, colour::line);
    caption(svg, 216, 424, "점수", "", Anchor::middle, 10);
    svg.text(319, 424, 10, "입력 · Type here", colour::navy, Anchor::middle, Weight::bold);
    caption(svg, 425, 424, "단계", "", Anchor::middle, 10);
    svg.rect(182, 428, 68, 29, colour::line, 4);
    svg.rect(260, 425, 118, 35, colour::blue, 5);
    svg.rect(391, 428, 68, 29, colour::line, 4);
    svg.text(216, 472, 9, "Score", colour::muted);
    svg.text(425, 472, 9, "Level", colour::muted);
    areas_draw(svg, spec.areas);
}

void level_banner(const PictureSpec&, Svg& svg)
{
    svg.rect(0, 0, 320, 110, colour::navy);
    svg.rect(3, 3, 314, 104, colour::white);
    svg.rect(3, 3, 314, 8, colour::blue);
    svg.rect(3, 99, 314, 8, colour::blue);
}

void level_chooser(const PictureSpec&, Svg& svg)
{
    dialog_card(svg, 495, 300, "단계 고르기", "Choose a level", 40);
    svg.text(247, 288, 11, "깃발을 누르세요 · Click a flag", colour::muted);
}

void high_scores(const PictureSpec&, Svg& svg)
{
    dialog_card(svg, 360, 340, "명예의 전당", "High scores", 36);
    static const struct {
        double x;
        const char* korean;
        const char* english;
    } kColumns[] = {{30, "순위", "Rank"}, {60, "이름", "Name"}, {170, "점수", "Score"}, {240, "자판", "Keys"}};
    for (const auto& column : kColumns) {
        svg.text(column.x, 58, 11, column.korean, colour::navy, Anchor::start, Weight::bold);
        svg.text(column.x, 70, 8, column.english, colour::muted, Anchor::start);
    }
    // Mid-tone rows: the names are black, the newest entry white, and both must read.
    for (int i = 0; i < 10; ++i)
        svg.rect(14, 73 + 24 * i, 332, 24, i % 2 ? colour::muted : colour::blue);
}

void statistics_screen(const PictureSpec& spec, Svg& svg)
{
    screen_page(svg, 640, 480, "통계", "Statistics");
    face_well(svg, 45, 27);
    svg.rect(40, 151, 551, 245, colour::white, 6);
    svg.frame(40, 151, 551, 245, colour::line, 1.2, 6);
    // value lines at a quarter, half, three quarters and the whole of the bars' height
    for (int i = 1; i <= 4; ++i) {
        double y = 356 - 182 * i / 4.0;
        svg.line(90, y, 580, y, colour::line, 1);
    }
    svg.line(90, 356, 580, 356, colour::muted, 1.5);
    areas_draw(svg, spec.areas);
}

void user_dialog(const PictureSpec& spec, Svg& svg)
{
    dialog_card(svg, 640, 480, "사용자 고르기", "Choose a user", 30);
    svg.rect(52, 31, 278, 375, colour::white, 10);
    svg.frame(52, 31, 278, 375, colour::line, 1.2, 10);
    svg.text(452, 52, 12, "고른 사용자 · Chosen", colour::navy, Anchor::middle, Weight::bold);
    face_well(svg, 417, 66);
    svg.text(452, 274, 12, "이름 · Name", colour::navy, Anchor::middle, Weight::bold);
    svg.rect(398, 285, 108, 30, colour::white, 4);
    svg.frame(398, 285, 108, 30, colour::blue, 1.5, 4);
    svg.text(452, 350, 12, "얼굴을 누르고 이름을 쓰세요", colour::ink);
    svg.text(452, 368, 10, "Pick a face, then type a name", colour::muted);
    areas_draw(svg, spec.areas);
}

void delete_dialog(const PictureSpec& spec, Svg& svg)
{
    dialog_card(svg, 280, 190, "사용자 지우기", "Delete user");
    svg.text(140, 74, 15, "이 사용자를 지울까요?", colour::ink, Anchor::middle, Weight::bold);
    svg.text(140, 94, 11, "Delete this user's records?", colour::muted);
    areas_draw(svg, spec.areas);
}

void options_dialog(const PictureSpec& spec, Svg& svg)
{
    dialog_card(svg, 380, 290, "설정", "Options", 40);
    static const struct {
        int y;
        const char* korean;
        const char* english;
    } kRows[] = {{75, "언어", "Language"}, {108, "자판", "Keyboard"}, {189, "반복 횟수", "Repeats"},
        {223, "마침표 뒤", "After a full stop"}};
    for (const auto& row : kRows) {
        svg.text(168, row.y + 14, 13, row.korean, colour::navy, Anchor::end, Weight::bold);
        svg.text(168, row.y + 26, 9, row.english, colour::muted, Anchor::end);
        svg.rect(178, row.y - 2, 104, 34, colour::line, 6);
    }
    svg.line(20, 160, 360, 160, colour::line, 1.2);
    svg.text(20, 178, 11, "연습 · Practice", colour::muted, Anchor::start, Weight::bold);
    svg.text(20, 60, 11, "언어와 자판 · Language and keyboard", colour::muted, Anchor::start, Weight::bold);
    areas_draw(svg, spec.areas);
}

} // namespace draw
