// One chooser at a time: its page and pictures are the module's while it is open.
#include "typing/story_chooser.h"

#include "platform/controls/dlgmgr.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/gdi_object.h"
#include "platform/window/focus.h"
#include "platform/window/input.h"
#include "platform/window/paint.h"
#include "platform/window/window.h"
#include "typing/bitmap_dialog.h"
#include "typing/hot_area.h"
#include "typing/story_catalog.h"
#include "typing/text_draw.h"
#include "typing/tutor_draw.h"

#include <array>

constexpr int32_t kCellX = 43, kCellY = 35, kCellStepX = 144, kCellStepY = 121;
constexpr int32_t kPictureWidth = 120, kPictureHeight = 80, kNameGap = 84;
constexpr int32_t kPressOffset = 4;

static struct {
    plat::GdiObject background;
    std::vector<int32_t> stories;
    std::array<plat::GdiObject, kChooserCells> pictures {};
    int32_t page = 0;
    int32_t pressed = -1; // the cell held down
    int32_t chosen = kNoStory;
} s_chooser;

static plat::Rect cell_rect(int32_t cell)
{
    const int32_t x = kCellX + kCellStepX * (cell % kChooserColumns), y = kCellY + kCellStepY * (cell / kChooserColumns);
    return {x, y, x + kPictureWidth, y + kPictureHeight};
}

static void pictures_free()
{
    for (plat::GdiObject& picture : s_chooser.pictures) {
        if (picture)
            plat::delete_object(picture);
        picture = {};
    }
}

static void page_show(plat::WindowHandle dialog, int32_t page)
{
    pictures_free();
    s_chooser.page = page;
    s_chooser.pressed = -1;
    for (int32_t cell = 0; cell < kChooserCells; ++cell) {
        const StoryEntry* entry = story_entry(chooser_cell_story(s_chooser.stories, page, cell));
        plat::GdiObject picture = entry ? picture_load(story_picture_name('s', entry->file_name)) : plat::GdiObject {};
        s_chooser.pictures[size_t(cell)] = picture ? picture : picture_load("s_none.bmp");
    }
    plat::invalidate_rect(dialog, nullptr, false);
}

static void paint(plat::WindowHandle dialog)
{
    plat::PaintStruct ps;
    plat::DcHandle dc = plat::begin_paint(dialog, ps);
    paint_bitmap(dc, s_chooser.background, program_palette(), &ps.paint);
    plat::set_bk_mode(dc, plat::TRANSPARENT);
    plat::set_text_color(dc, 0x000000);
    for (int32_t cell = 0; cell < kChooserCells; ++cell) {
        const plat::Rect r = cell_rect(cell);
        const int32_t shift = cell == s_chooser.pressed ? kPressOffset : 0;
        dc_blit(dc, r.left + shift, r.top + shift, kPictureWidth, kPictureHeight, s_chooser.pictures[size_t(cell)], 0, 0);
        if (const StoryEntry* entry = story_entry(chooser_cell_story(s_chooser.stories, s_chooser.page, cell))) {
            const int32_t width = int32_t(text_extent(dc, entry->file_name) & 0xFFFF);
            text_draw(dc, r.left + (kPictureWidth - width) / 2, r.top + kNameGap, 0, nullptr, entry->file_name);
        }
    }
    plat::end_paint(dialog, ps);
}

// The cell with a story under the point; -1 for none.
static int32_t story_cell_at(plat::LParam lparam)
{
    const plat::Point at {int16_t(plat::loword(uintptr_t(lparam))), int16_t(plat::hiword(uintptr_t(lparam)))};
    for (int32_t cell = 0; cell < kChooserCells; ++cell) {
        if (plat::pt_in_rect(cell_rect(cell), at)
            && chooser_cell_story(s_chooser.stories, s_chooser.page, cell) != kNoStory)
            return cell;
    }
    return -1;
}

static void cell_redraw(plat::WindowHandle dialog, int32_t cell)
{
    plat::Rect r = cell_rect(cell);
    r.right += kPressOffset;
    r.bottom += kPressOffset;
    plat::invalidate_rect(dialog, &r, false);
}

static bool on_mouse(plat::WindowHandle dialog, uint32_t message, plat::LParam lparam)
{
    if (message == plat::WM_LBUTTONDOWN) {
        const int32_t cell = story_cell_at(lparam);
        if (cell < 0)
            return false;
        s_chooser.pressed = cell;
        plat::set_capture(dialog);
        cell_redraw(dialog, cell);
        return true;
    }
    if (message != plat::WM_LBUTTONUP || s_chooser.pressed < 0)
        return false;
    const int32_t cell = s_chooser.pressed;
    s_chooser.pressed = -1;
    plat::release_capture();
    cell_redraw(dialog, cell);
    if (story_cell_at(lparam) == cell) {
        s_chooser.chosen = chooser_cell_story(s_chooser.stories, s_chooser.page, cell);
        plat::post_message(dialog, plat::WM_COMMAND, 1, s_chooser.chosen);
    }
    return true;
}

static void on_command(plat::WindowHandle dialog, uint16_t id)
{
    const int32_t pages = chooser_page_count(s_chooser.stories);
    switch (id) {
    case 1: // only a released cell chooses: Enter alone is no choice
        if (s_chooser.chosen != kNoStory)
            plat::end_dialog(dialog, s_chooser.chosen);
        break;
    case 2: plat::end_dialog(dialog, kNoStory); break;
    case 902:
        if (s_chooser.page > 0)
            page_show(dialog, s_chooser.page - 1);
        break;
    case 903:
        if (s_chooser.page + 1 < pages)
            page_show(dialog, s_chooser.page + 1);
        break;
    default: break;
    }
}

static plat::LResult story_chooser_proc(plat::WindowHandle dialog, uint32_t message, plat::WParam wparam,
    plat::LParam lparam)
{
    switch (message) {
    case plat::WM_INITDIALOG:
        s_chooser.background = bitmap_dialog_background(dialog, "vd-stybk.bmp");
        page_show(dialog, 0);
        plat::set_focus(dialog);
        return 0;
    case plat::WM_PAINT: paint(dialog); return 1;
    case plat::WM_COMMAND: on_command(dialog, uint16_t(plat::loword(wparam))); return 1;
    case plat::WM_DESTROY:
        pictures_free();
        if (s_chooser.background)
            plat::delete_object(s_chooser.background);
        s_chooser.background = {};
        return 0;
    case plat::WM_LBUTTONDOWN:
    case plat::WM_LBUTTONUP:
        if (on_mouse(dialog, message, lparam))
            return 1;
        break;
    default: break;
    }
    return bitmap_dialog_default(dialog, message, wparam, lparam, s_chooser.background, kStoryChooserAreas) ? 1 : 0;
}

int32_t story_chooser_run(plat::WindowHandle owner, int32_t language)
{
    s_chooser = {};
    s_chooser.stories = story_indexes(language);
    const intptr_t result = bitmap_dialog_run(owner, story_chooser_proc, 0);
    s_chooser.stories.clear();
    return result >= 0 ? int32_t(result) : kNoStory;
}
