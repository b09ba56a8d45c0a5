// Test builds only: a stage of icon objects described in a text file, shown in svrun32's main
// window (STORVEL_TEST_STAGE=FILE, see app_test_hook.h), so that an end-to-end test can compare
// what the refresh paints with the same shapes drawn straight through the GDI. One command a
// line, '#' comments:
//   size W H                             the client area (default 640 480)
//   background RRGGBB                    the stage background (default white)
//   icon NODE LAYER PLANES               an icon object of node NODE in file slot 1, a group
//                                        on the plane bits PLANES (2, 4, 8 or a sum)
//   rect|oval L T R B FILL LINE PEN      a member of the icon above: colours RRGGBB or "-" for
//   line X1 Y1 X2 Y2 LINE PEN ARROWS     off; pen width = height; arrows 0 to 3
// Members draw in mode 4 with solid patterns on white backs.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "runtime/base/rect.h"

struct TestStageShape {
    char kind = 'r';   // 'r' rect, 'o' oval, 'l' line (from (left, top) to (right, bottom))
    Rect rect;
    int64_t fill = -1; // COLORREF, -1 off
    int64_t line = -1;
    int32_t pen = 1;
    int32_t arrows = 0;
};

struct TestStageIcon {
    uint32_t node = 0;
    int32_t layer = 0;
    uint16_t planes = 0;
    std::vector<TestStageShape> shapes;
};

struct TestStage {
    int32_t width = 640;
    int32_t height = 480;
    uint32_t background = 0xFFFFFF; // COLORREF
    std::vector<TestStageIcon> icons;
    std::vector<int> refused_lines; // 1-based numbers of the lines not understood
};

// Reads the description; lines that are not understood are noted and skipped.
TestStage app_test_stage_parse(const std::string& text);
// Binds the main window as the presentation window when no piece did, sizes its client area,
// sets the background, logs "svrun32 test: stage at X Y" (the client's screen origin) and
// shows the icons; false when the file cannot be read.
bool app_test_stage_show(const std::string& path);
// The Display icon's kind passes everything to the group handler, so that a stage saved in the
// learner's records comes back drawn in the next run; before the first piece opens.
void app_test_stage_register_kind();
// Erases every icon object and frees the stage list (at shutdown).
void app_test_stage_clear();
