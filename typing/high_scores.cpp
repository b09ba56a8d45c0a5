// One list dialog at a time; the table read once a run.
#include "typing/high_scores.h"

#include "platform/controls/dlgmgr.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/gdi_object.h"
#include "platform/kernel/byte_io.h"
#include "platform/kernel/clock.h"
#include "platform/kernel/codepage.h"
#include "platform/kernel/file.h"
#include "platform/kernel/log.h"
#include "platform/window/focus.h"
#include "platform/window/keyboard.h"
#include "platform/window/paint.h"
#include "platform/window/window.h"
#include "typing/bitmap_dialog.h"
#include "typing/bitmap_font.h"
#include "typing/johab.h"
#include "typing/text_draw.h"
#include "typing/tutor_draw.h"
#include "typing/tutor_paths.h"
#include "typing/tutor_settings.h"
#include "typing/user_file.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

constexpr uint32_t kCloseDelayMs = 1000; // a stray click or blank must not close the list at once
constexpr int32_t kRowX = 30;
constexpr int32_t kRowTop = 55;
constexpr uint32_t kNewRowColour = 0xFFFFFF;

static struct {
    HighScoreTable table;
    bool loaded = false;
    int new_row = -1;
    plat::GdiObject background;
    uint32_t shown_at = 0;
} s_scores;

bool high_scores_parse(std::span<const uint8_t> bytes, HighScoreTable& table)
{
    table = {};
    if (bytes.size() != kHighScoreFileSize)
        return false;
    plat::ByteReader reader(bytes.data(), bytes.size());
    for (HighScoreEntry& entry : table) {
        char name[kHighScoreNameBytes];
        reader.bytes(name, sizeof name);
        entry.name.assign(name, strnlen(name, sizeof name));
        entry.language = reader.u16le();
        entry.keyboard = reader.u16le();
        entry.score = reader.i32le();
    }
    return !reader.failed();
}

std::vector<uint8_t> high_scores_bytes(const HighScoreTable& table)
{
    std::vector<uint8_t> bytes;
    plat::ByteWriter writer(bytes);
    for (const HighScoreEntry& entry : table) {
        char name[kHighScoreNameBytes] = {};
        std::memcpy(name, entry.name.data(), std::min(entry.name.size(), sizeof name));
        writer.bytes(name, sizeof name);
        writer.u16le(entry.language);
        writer.u16le(entry.keyboard);
        writer.u32le(uint32_t(entry.score));
    }
    return bytes;
}

int high_scores_insert(HighScoreTable& table, const HighScoreEntry& entry)
{
    for (size_t row = 0; row < table.size(); ++row) {
        if (table[row].score < entry.score) {
            std::move_backward(table.begin() + ptrdiff_t(row), table.end() - 1, table.end());
            table[row] = entry;
            table[row].name = dbcs_cut(entry.name, kHighScoreNameBytes);
            return int(row);
        }
    }
    return -1;
}

size_t high_scores_shown(const HighScoreTable& table)
{
    auto empty = std::find_if(
        table.begin(), table.end(), [](const HighScoreEntry& e) { return e.name.empty() && e.score == 0; });
    return size_t(empty - table.begin());
}

static std::string johab_of_utf8(const char* utf8) { return wansung_to_johab(plat::utf8_to_code_page(949, utf8)); }

std::string high_score_row_text(const HighScoreEntry& entry, int rank)
{
    // Ten bytes of the name, never half a double-byte character, padded with blanks.
    std::string name = dbcs_cut(entry.name, 10);
    name.resize(10, ' ');
    const bool korean = entry.language == 0;
    static const char* const kKeyboards[2][2] = {{"2", "3"}, {"QWE", "DVO"}};
    const char* keyboard = kKeyboards[korean ? 0 : 1][entry.keyboard == 0 ? 0 : 1];
    char numbers[48];
    std::snprintf(numbers, sizeof numbers, " %6ld ", long(entry.score));
    char head[8];
    std::snprintf(head, sizeof head, "%2d ", rank);
    return head + name + numbers + johab_of_utf8(korean ? "한" : "영") + "/" + keyboard;
}

static std::string file_path() { return path_in_program_folder(kHighScoreFile); }

static void table_load()
{
    if (s_scores.loaded)
        return;
    s_scores.loaded = true;
    const std::string path = file_path();
    if (plat::get_file_attributes(path) == plat::INVALID_FILE_ATTRIBUTES) {
        s_scores.table = {};
        (void)tutor_file_replace(path, high_scores_bytes(s_scores.table)); // the list starts empty
        return;
    }
    // A file of another size reads as empty; it is replaced only when a score is stored.
    (void)high_scores_parse(tutor_file_read_exact(path, kHighScoreFileSize), s_scores.table);
}

const HighScoreTable& high_scores_table()
{
    table_load();
    return s_scores.table;
}

void high_scores_reset()
{
    s_scores = {};
}

// --- the list ---------------------------------------------------------------------------------------

static void paint(plat::WindowHandle dialog)
{
    plat::PaintStruct ps;
    plat::DcHandle dc = plat::begin_paint(dialog, ps);
    paint_bitmap(dc, s_scores.background, program_palette(), &ps.paint);
    plat::Rect client;
    plat::get_client_rect(dialog, client);
    const int32_t cell = kFontCellSize;
    const int32_t pitch = (client.height() - 2 * cell - kRowTop) / int32_t(kHighScoreEntries);
    plat::set_bk_mode(dc, plat::TRANSPARENT);
    const size_t shown = high_scores_shown(s_scores.table);
    for (size_t row = 0; row < shown; ++row) {
        plat::set_text_color(dc, int(row) == s_scores.new_row ? kNewRowColour : 0x000000);
        text_draw_embossed(dc, kRowX, cell + kRowTop + int32_t(row) * pitch, 0, nullptr,
            high_score_row_text(s_scores.table[row], int(row) + 1));
    }
    plat::end_paint(dialog, ps);
}

static bool close_allowed() { return plat::get_tick_count() - s_scores.shown_at >= kCloseDelayMs; }

static plat::LResult list_proc(plat::WindowHandle dialog, uint32_t message, plat::WParam wparam, plat::LParam lparam)
{
    switch (message) {
    case plat::WM_INITDIALOG:
        s_scores.background = bitmap_dialog_background(dialog, "vd-gt-vn.bmp");
        s_scores.shown_at = plat::get_tick_count();
        plat::set_focus(dialog);
        return 0;
    case plat::WM_PAINT:
        paint(dialog);
        return 1;
    case plat::WM_COMMAND:
        if (plat::loword(wparam) == 1 || plat::loword(wparam) == 2)
            plat::end_dialog(dialog, 0);
        return 1;
    case plat::WM_LBUTTONUP:
        if (close_allowed())
            plat::end_dialog(dialog, 0);
        return 1;
    case plat::WM_KEYDOWN:
        if (wparam == plat::VK_SPACE && close_allowed())
            plat::end_dialog(dialog, 0);
        return 1;
    case plat::WM_DESTROY:
        if (s_scores.background)
            plat::delete_object(s_scores.background);
        s_scores.background = {};
        return 0;
    default:
        return bitmap_dialog_default(dialog, message, wparam, lparam, s_scores.background, {}) ? 1 : 0;
    }
}

int high_scores_update(plat::WindowHandle parent, int32_t score)
{
    table_load();
    s_scores.new_row = -1;
    if (score != 0) {
        const TutorSettings& settings = settings_current();
        HighScoreEntry entry;
        entry.name = user_list_name_get(settings.LastSlot);
        entry.language = uint16_t(settings.Language == 0 ? 0 : 1);
        entry.keyboard = uint16_t(settings.Keyboard == 0 ? 0 : 1);
        entry.score = score;
        s_scores.new_row = high_scores_insert(s_scores.table, entry);
        if (s_scores.new_row >= 0) {
            plat::log_event("high score stored rank " + std::to_string(s_scores.new_row + 1) + " score "
                + std::to_string(score));
            // A file that cannot be written leaves the list as this run knows it.
            (void)tutor_file_replace(file_path(), high_scores_bytes(s_scores.table));
        }
    }
    bitmap_dialog_run(parent, list_proc, 0);
    return s_scores.new_row;
}
