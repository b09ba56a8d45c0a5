#include "runtime/app/app_test_stage.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/kernel/log.h"
#include "platform/window/nonclient.h"
#include "platform/window/window.h"
#include "platform/window/winpos.h"
#include "runtime/app/app.h"
#include "runtime/display/dobj_icon.h"
#include "runtime/display/group.h"
#include "runtime/display/refresh.h"
#include "runtime/display/shapes.h"
#include "runtime/pieces/piece_hooks.h"

namespace {

constexpr int32_t kMaxClient = 4096;
constexpr uint32_t kStageSlot = 1;

bool read_int(std::istringstream& in, int64_t low, int64_t high, int32_t& out)
{
    std::string word;
    if (!(in >> word))
        return false;
    char* end = nullptr;
    long long value = std::strtoll(word.c_str(), &end, 10);
    if (end == word.c_str() || *end != '\0' || value < low || value > high)
        return false;
    out = int32_t(value);
    return true;
}

// RRGGBB as a COLORREF, "-" as -1 (off).
bool read_colour(std::istringstream& in, int64_t& out)
{
    std::string word;
    if (!(in >> word))
        return false;
    if (word == "-") {
        out = -1;
        return true;
    }
    char* end = nullptr;
    unsigned long rgb = std::strtoul(word.c_str(), &end, 16);
    if (word.size() != 6 || *end != '\0')
        return false;
    out = int64_t((rgb >> 16 & 0xFF) | (rgb & 0xFF00) | (rgb & 0xFF) << 16);
    return true;
}

bool at_end(std::istringstream& in)
{
    std::string rest;
    return !(in >> rest);
}

constexpr int64_t kCoordinate = 1 << 20;

bool read_rect(std::istringstream& in, Rect& rect)
{
    return read_int(in, -kCoordinate, kCoordinate, rect.left) && read_int(in, -kCoordinate, kCoordinate, rect.top)
        && read_int(in, -kCoordinate, kCoordinate, rect.right) && read_int(in, -kCoordinate, kCoordinate, rect.bottom);
}

bool parse_shape(const std::string& command, std::istringstream& in, TestStageShape& shape)
{
    shape.kind = command[0];
    if (!read_rect(in, shape.rect))
        return false;
    if (command == "line")
        return read_colour(in, shape.line) && read_int(in, 0, 255, shape.pen) && read_int(in, 0, 3, shape.arrows);
    return read_colour(in, shape.fill) && read_colour(in, shape.line) && read_int(in, 0, 255, shape.pen);
}

// One line into the stage; false when it is not understood.
bool parse_line(const std::string& text, TestStage& stage)
{
    std::istringstream in(text);
    std::string command;
    if (!(in >> command) || command[0] == '#')
        return true;
    bool ok = false;
    if (command == "size") {
        ok = read_int(in, 1, kMaxClient, stage.width) && read_int(in, 1, kMaxClient, stage.height);
    } else if (command == "background") {
        int64_t colour = 0;
        ok = read_colour(in, colour) && colour >= 0;
        stage.background = uint32_t(colour);
    } else if (command == "icon") {
        TestStageIcon icon;
        int32_t node = 0;
        int32_t planes = 0;
        ok = read_int(in, 1, 0xFFFF, node) && read_int(in, INT32_MIN, INT32_MAX, icon.layer)
            && read_int(in, 0, kDobjPlaneBits, planes);
        icon.node = uint32_t(node);
        icon.planes = uint16_t(planes);
        if (!ok || !at_end(in))
            return false;
        stage.icons.push_back(icon);
        return true;
    } else if (command == "rect" || command == "oval" || command == "line") {
        TestStageShape shape;
        if (stage.icons.empty() || !parse_shape(command, in, shape) || !at_end(in))
            return false;
        stage.icons.back().shapes.push_back(shape);
        return true;
    }
    return ok && at_end(in);
}

DrawStyle style_of(const TestStageShape& shape)
{
    DrawStyle style;
    gdi_style_init(&style);
    style.fill_on = shape.fill >= 0;
    style.fill_color = shape.fill >= 0 ? uint32_t(shape.fill) : 0;
    style.line_on = shape.line >= 0;
    style.line_color = shape.line >= 0 ? uint32_t(shape.line) : 0;
    style.line_width = int16_t(shape.pen);
    style.line_height = int16_t(shape.pen);
    style.arrows = uint8_t(shape.arrows);
    return style;
}

// The icon's shapes as the members of a group, of the Display icon's kind.
void show_icon(const TestStageIcon& icon)
{
    DisplayList members;
    uint16_t flags = uint16_t(kDobjVisible | icon.planes);
    for (const TestStageShape& shape : icon.shapes) {
        const Rect& r = shape.rect;
        if (shape.kind == 'l')
            shape_add_line(members, style_of(shape), Point{r.left, r.top}, Point{r.right, r.bottom}, flags);
        else
            shape_add_box(members, shape.kind == 'o' ? kMemberOval : kMemberRect, style_of(shape), r, flags);
    }
    group_create_for_icon(members, kKindDisplayIcon, node_make_icon(kStageSlot, icon.node), 0, icon.planes, icon.layer);
}

// As opening a piece binds the window, when no piece did.
void bind_window()
{
    if (screen_window())
        return;
    const PieceHooks& hooks = piece_hooks();
    if (hooks.window_place)
        hooks.window_place(0);
    if (hooks.presentation_first_messages)
        hooks.presentation_first_messages();
}

void size_client(plat::WindowHandle window, int32_t width, int32_t height)
{
    Rect frame{0, 0, width, height};
    plat::adjust_window_rect(frame, uint32_t(plat::get_window_long(window, plat::GWL_STYLE)), false);
    Rect placed;
    plat::get_window_rect(window, placed);
    plat::move_window(window, placed.left, placed.top, frame.width(), frame.height(), true);
    screen_update_stage_rect();
}

} // namespace

TestStage app_test_stage_parse(const std::string& text)
{
    TestStage stage;
    std::istringstream lines(text);
    int number = 0;
    for (std::string line; std::getline(lines, line);) {
        number++;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!parse_line(line, stage))
            stage.refused_lines.push_back(number);
    }
    return stage;
}

bool app_test_stage_show(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return false;
    std::ostringstream text_stream;
    text_stream << file.rdbuf();
    std::string text = text_stream.str();
    TestStage stage = app_test_stage_parse(text);
    for (int number : stage.refused_lines)
        plat::log_event("svrun32 test: stage line " + std::to_string(number) + " not understood");
    bind_window();
    plat::WindowHandle window = screen_window();
    if (!window)
        return false;
    size_client(window, stage.width, stage.height);
    dobj_set_background_color(stage.background);
    screen_invalidate_all();
    Point origin{0, 0};
    plat::client_to_screen(window, origin);
    plat::log_event("svrun32 test: stage at " + std::to_string(origin.x) + " " + std::to_string(origin.y));
    for (const TestStageIcon& icon : stage.icons)
        show_icon(icon);
    screen_flush();
    return true;
}

void app_test_stage_register_kind() { dobj_register_kind(kKindDisplayIcon, group_handler); }

void app_test_stage_clear()
{
    dobj_erase_all();
    dlist_purge_deleted(dlist_stage(), DlistWalk::forward);
    dlist_free(dlist_stage());
}
