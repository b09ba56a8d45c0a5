// One result dialog at a time: its texts live in the module's state while it is open.
#include "typing/result_dialog.h"

#include "platform/controls/dlgmgr.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/gdi_object.h"
#include "platform/kernel/codepage.h"
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
#include "typing/tutor_settings.h"

#include <algorithm>
#include <array>
#include <cstdio>

constexpr uint32_t kResultCodePage = 949;
constexpr int kResultRows = 5;

static struct {
    plat::GdiObject background;
    std::string title; // Johab, cut to the dialog's width
    std::array<std::string, kResultRows> rows; // Johab
    bool button_down = false;
} s_result;

ResultFigures result_figures(const PracticeStats& stats)
{
    ResultFigures figures;
    figures.keystrokes = practice_keystrokes(stats);
    figures.characters = stats.at(kStatsTyped);
    figures.speed = speed_per_minute(stats.at(kStatsStrokes), stats.at(kStatsMilliseconds));
    figures.accuracy = accuracy_percent(stats.at(kStatsTyped), stats.at(kStatsCorrect));
    figures.seconds = stats.at(kStatsMilliseconds) > 0 ? stats.at(kStatsMilliseconds) / 1000 : 0;
    return figures;
}

std::string result_time_text(int32_t seconds)
{
    if (seconds < 0)
        seconds = 0;
    static const struct {
        int32_t unit;
        const char* format;
    } kParts[] = {{86400, "%d 일"}, {3600, "%d 시간"}, {60, "%d 분"}};
    std::string text;
    char buffer[32];
    for (const auto& part : kParts) {
        int32_t count = seconds / part.unit;
        seconds %= part.unit;
        if (count != 0) {
            std::snprintf(buffer, sizeof buffer, part.format, int(count));
            text += buffer;
        }
    }
    std::snprintf(buffer, sizeof buffer, "%d 초", int(seconds));
    return text + buffer;
}

static std::string johab_of_utf8(const std::string& utf8)
{
    return wansung_to_johab(plat::utf8_to_code_page(kResultCodePage, utf8));
}

static void build_rows(const ResultFigures& figures, const std::string& time_text)
{
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, "타 자 수 :  %ld 자", long(figures.keystrokes));
    s_result.rows[0] = johab_of_utf8(buffer);
    std::snprintf(buffer, sizeof buffer, "음 절 수 :  %ld 자", long(figures.characters));
    s_result.rows[1] = johab_of_utf8(buffer);
    std::snprintf(buffer, sizeof buffer, "속    도 :  %d 타수/분", int(figures.speed));
    s_result.rows[2] = johab_of_utf8(buffer);
    std::snprintf(buffer, sizeof buffer, "정 확 도 :  %d %%", int(figures.accuracy));
    s_result.rows[3] = johab_of_utf8(buffer);
    s_result.rows[4] = johab_of_utf8("연습시간 :  " + time_text);
}

// A title wider than the dialog less six characters is cut at its last blank that fits.
static std::string fit_title(std::string johab, int32_t width)
{
    const size_t limit = width > 6 * kFontCellSize ? size_t(width - 6 * kFontCellSize) / (kFontCellSize / 2) : 0;
    if (johab.size() <= limit)
        return johab;
    size_t cut = johab.rfind(' ', limit);
    if (cut == std::string::npos || cut == 0)
        return dbcs_cut(johab, limit);
    return johab.substr(0, cut);
}

static void paint(plat::WindowHandle dialog)
{
    plat::PaintStruct ps;
    plat::DcHandle dc = plat::begin_paint(dialog, ps);
    paint_bitmap(dc, s_result.background, program_palette(), &ps.paint);
    plat::Rect client;
    plat::get_client_rect(dialog, client);
    const int32_t cell = kFontCellSize;
    const int32_t pitch = cell + (client.height() - kResultRows * cell) / 6;
    const int32_t top = (client.height() - (kResultRows * pitch + cell)) / 2;
    plat::set_bk_mode(dc, plat::TRANSPARENT);
    plat::set_text_color(dc, 0x000000);
    int32_t title_width = int32_t(text_extent(dc, s_result.title) & 0xFFFF);
    text_draw_embossed(dc, (client.width() - title_width) / 2, top, 0, nullptr, s_result.title);
    int32_t widest = 0;
    for (const std::string& row : s_result.rows)
        widest = std::max(widest, int32_t(text_extent(dc, row) & 0xFFFF));
    for (int i = 0; i < kResultRows; ++i)
        text_draw(dc, (client.width() - widest) / 2, top + (i + 1) * pitch, 0, nullptr, s_result.rows[size_t(i)]);
    plat::end_paint(dialog, ps);
}

static plat::LResult on_message(plat::WindowHandle dialog, uint32_t message, plat::WParam wparam)
{
    switch (message) {
    case plat::WM_COMMAND: {
        const unsigned id = plat::loword(wparam);
        if (id == 1 || id == 2 || id == 907)
            plat::end_dialog(dialog, 0);
        return 1;
    }
    case plat::WM_LBUTTONDOWN:
        s_result.button_down = true;
        return 1;
    case plat::WM_LBUTTONUP:
        if (s_result.button_down)
            plat::end_dialog(dialog, 0);
        return 1;
    case plat::WM_KEYDOWN:
        if (wparam == plat::VK_SPACE)
            plat::end_dialog(dialog, 0);
        return 1;
    default:
        return 0;
    }
}

static plat::LResult result_dialog_proc(plat::WindowHandle dialog, uint32_t message, plat::WParam wparam,
    plat::LParam lparam)
{
    switch (message) {
    case plat::WM_INITDIALOG: {
        s_result.background = bitmap_dialog_background(dialog, "vd-ttl.bmp");
        plat::Rect client;
        plat::get_client_rect(dialog, client);
        s_result.title = fit_title(s_result.title, client.width());
        plat::set_focus(dialog);
        return 0;
    }
    case plat::WM_PAINT:
        paint(dialog);
        return 1;
    case plat::WM_DESTROY:
        if (s_result.background)
            plat::delete_object(s_result.background);
        s_result.background = {};
        return 0;
    default:
        break;
    }
    if (plat::LResult handled = on_message(dialog, message, wparam))
        return handled;
    return bitmap_dialog_default(dialog, message, wparam, lparam, s_result.background, {}) ? 1 : 0;
}

int result_dialog_run(plat::WindowHandle parent, const PracticeStats& stats, std::string_view title_cp949)
{
    const ResultFigures figures = result_figures(stats);
    const std::string time_text = result_time_text(figures.seconds);
    plat::log_event("result " + plat::log_quote(title_cp949) + " keystrokes=" + std::to_string(figures.keystrokes)
        + " characters=" + std::to_string(figures.characters) + " speed=" + std::to_string(figures.speed)
        + " accuracy=" + std::to_string(figures.accuracy) + " time=" + plat::log_quote_utf8(time_text));
    s_result.title = wansung_to_johab(title_cp949);
    s_result.button_down = false;
    build_rows(figures, time_text);
    bitmap_dialog_run(parent, result_dialog_proc, 0);
    return 0;
}
