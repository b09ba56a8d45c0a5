// The edit field: a click (button down and up, which finds the character under the mouse and
// places the caret there) in a full field of 32,767 bytes, in Latin text and in Korean and
// Latin mixed in code page 949. The reference is measuring the field's whole line once with its
// own font on its own DC: a click cannot do less than that, so the ratio says how many
// measurings of the line a click costs. Each pair prints its ratio (the click's time over one
// measuring); the last line is the worst, "ratio: X".
#include <benchmark/benchmark.h>
#include <string>

#include "bench/bench_ratio.h"
#include "platform/backend/backend.h"
#include "platform/controls/controls.h"
#include "platform/controls/ctl_edit.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/gdi_object.h"
#include "platform/kernel/clock.h"
#include "platform/kernel/codepage.h"
#include "platform/text/text.h"
#include "platform/window/defproc.h"
#include "platform/window/focus.h"
#include "platform/window/message.h"
#include "platform/window/window.h"

namespace {

// Each benchmark runs this often and keeps its fastest run: other work on the machine only
// ever slows a run down, so the minimum is the steadiest figure for a ratio.
constexpr int kRepetitions = 5;
constexpr size_t kFieldBytes = 32767;
constexpr int32_t kFieldWidth = 400;

plat::LResult host_proc(plat::WindowHandle window, uint32_t message, plat::WParam wparam, plat::LParam lparam)
{
    return plat::def_window_proc(window, message, wparam, lparam);
}

// A focused field filled to its limit with the sample, no double-byte character cut at the end,
// the caret in the middle so that the line is scrolled.
struct Field {
    plat::WindowHandle host, edit;
    std::string text;

    Field(uint32_t code_page, const char* utf8_sample)
    {
        plat::backend_set(nullptr);
        plat::clock_use_virtual(1000, 0);
        plat::window_system_reset();
        plat::set_active_code_page(code_page);
        plat::WindowClass host_class;
        host_class.proc = host_proc;
        host_class.class_name = "BenchHost";
        plat::register_class(host_class);
        host = plat::create_window_ex(0, "BenchHost", "", plat::WS_OVERLAPPEDWINDOW | plat::WS_VISIBLE, 0, 0,
            kFieldWidth + 40, 100, {}, 0, {}, nullptr);
        std::string sample = plat::utf8_to_code_page(code_page, utf8_sample);
        while (text.size() < kFieldBytes)
            text += sample;
        size_t end = 0;
        while (end < kFieldBytes)
            end += plat::is_dbcs_lead_byte(uint8_t(text[end])) ? 2 : 1;
        text.resize(end > kFieldBytes ? end - 2 : end);
        edit = plat::create_window_ex(0, plat::kEditClass, text.c_str(),
            plat::WS_CHILD | plat::WS_VISIBLE | plat::WS_BORDER | plat::ES_AUTOHSCROLL, 10, 10, kFieldWidth, 24,
            host, 1, {}, nullptr);
        plat::set_focus(edit);
        plat::send_message(edit, plat::EM_SETSEL, text.size() / 2, text.size() / 2);
    }
    ~Field()
    {
        plat::window_system_reset();
        plat::codepage_reset();
        plat::clock_reset();
    }
};

const char kLatin[] = "The quick brown fox jumps over the lazy dog, 0123456789! ";
const char kMixed[] = "다람쥐 헌 쳇바퀴에 타고파 Hangul and Latin 한글 텍스트 ";

// Clicks across the visible part of the line, a different place each time.
void click(benchmark::State& state, uint32_t code_page, const char* sample)
{
    Field field(code_page, sample);
    int32_t x = 0;
    for (auto _ : state) {
        x = (x + 37) % kFieldWidth;
        plat::LParam at = plat::make_lparam(uint32_t(x), 10);
        plat::send_message(field.edit, plat::WM_LBUTTONDOWN, 0, at);
        plat::send_message(field.edit, plat::WM_LBUTTONUP, 0, at);
    }
    benchmark::DoNotOptimize(plat::send_message(field.edit, plat::EM_GETSEL, 0, 0));
}

void measure(benchmark::State& state, uint32_t code_page, const char* sample)
{
    Field field(code_page, sample);
    plat::DcHandle dc = plat::get_dc(field.edit);
    plat::GdiObject old_font = plat::controls_select_font(field.edit, dc);
    plat::Size size;
    for (auto _ : state) {
        plat::get_text_extent_point32(dc, field.text.c_str(), int(field.text.size()), size);
        benchmark::DoNotOptimize(size);
    }
    plat::select_object(dc, old_font);
    plat::release_dc(field.edit, dc);
}

void BM_ClickLatin(benchmark::State& state) { click(state, plat::CP_WESTERN, kLatin); }
BENCHMARK(BM_ClickLatin)->Unit(benchmark::kMillisecond)->Repetitions(kRepetitions);

void BM_MeasureLatin(benchmark::State& state) { measure(state, plat::CP_WESTERN, kLatin); }
BENCHMARK(BM_MeasureLatin)->Unit(benchmark::kMillisecond)->Repetitions(kRepetitions);

void BM_ClickMixed(benchmark::State& state) { click(state, plat::CP_KOREAN, kMixed); }
BENCHMARK(BM_ClickMixed)->Unit(benchmark::kMillisecond)->Repetitions(kRepetitions);

void BM_MeasureMixed(benchmark::State& state) { measure(state, plat::CP_KOREAN, kMixed); }
BENCHMARK(BM_MeasureMixed)->Unit(benchmark::kMillisecond)->Repetitions(kRepetitions);

const BenchPair kPairs[] = {
    {"latin click", "BM_ClickLatin", "BM_MeasureLatin"},
    {"mixed click", "BM_ClickMixed", "BM_MeasureMixed"},
};

} // namespace

int main(int argc, char** argv)
{
    if (!bench_start(&argc, argv))
        return 1;
    BenchTimes times = bench_run_timed(BenchKeep::fastest);
    return bench_print_worst_ratio(times, kPairs);
}
