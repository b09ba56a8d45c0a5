// The screen refresh, headless: a full refresh of a 640 x 480 stage of 1,000 objects (filled
// rectangles of 8 to 48 pixels, each clipped to its update list as the shape kinds are, half on
// the bottom plane and half on the middle one) against one SRCCOPY bit_blt of the 640 x 480
// window surface, and a refresh of one damaged 32 x 32 rectangle against the full refresh. The
// last two lines are "small-over-full: X" and "ratio: X" (the full refresh over the blit).
#include <benchmark/benchmark.h>

#include <string>

#include "bench/bench_ratio.h"
#include "platform/backend/backend.h"
#include "platform/backend/headless.h"
#include "platform/gdi/bitmap.h"
#include "platform/gdi/blit.h"
#include "platform/gdi/clip.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/gdi_object.h"
#include "platform/gdi/rop.h"
#include "platform/gdi/shape.h"
#include "platform/kernel/byte_io.h"
#include "platform/window/defproc.h"
#include "platform/window/paint.h"
#include "platform/window/styles.h"
#include "platform/window/window.h"
#include "platform/window/wndclass.h"
#include "runtime/display/dlist.h"
#include "runtime/display/dobj.h"
#include "runtime/display/refresh.h"

namespace {

constexpr int32_t kWidth = 640, kHeight = 480;
constexpr int kObjects = 1000;
constexpr uint32_t kBoxKind = kDobjOtherKinds + 15;
constexpr uint32_t kBoxColour = kDobjHeaderSize; // u32
constexpr uint16_t kBoxSize = kDobjHeaderSize + 4;

constexpr int kBrushes = 16;
plat::GdiObject g_brushes[kBrushes];

// A filled rectangle drawn only where its update list meets it, in one of a few brushes (what
// is timed is the refresh, not the making of brushes).
int32_t box_kind(uint8_t* object, int message, DisplayMsgArg* arg)
{
    if (message != kMsgDraw)
        return dobj_default_handler(object, message, arg);
    Rect bounds = dobj_rect(object, kDobjBounds);
    if (rlist_select_clip(dobj_list_word(object, kDobjUpdate), &bounds, arg->dc))
        plat::fill_rect(arg->dc, bounds, g_brushes[plat::load_u32le(object + kBoxColour) % kBrushes]);
    return 0;
}

struct Stage {
    plat::WindowHandle window;

    Stage()
    {
        plat::HeadlessOptions options;
        options.screen = plat::Size{1024, 768};
        std::string error;
        plat::headless_start_with(options, {}, error);
        plat::WindowClass stage_class;
        stage_class.proc = plat::def_window_proc;
        stage_class.class_name = "BenchStage";
        plat::register_class(stage_class);
        window = plat::create_window_ex(0, "BenchStage", "Stage", plat::WS_POPUP | plat::WS_VISIBLE, 0, 0, kWidth,
            kHeight, {}, 0, {}, nullptr);
        // The first paint a message loop would deliver: left pending, the window's update
        // region would join every refresh's damage and each small refresh would repaint it all.
        plat::update_window(window);
        for (int i = 0; i < kBrushes; i++)
            g_brushes[i] = plat::create_solid_brush(uint32_t(i) * 0x0F0D0B);
        dlist_reset();
        screen_reset();
        screen_init();
        dobj_register_kind(kBoxKind, box_kind);
        screen_set_window(window);
        uint32_t seed = 12345;
        auto next = [&seed](uint32_t range) {
            seed = seed * 1103515245u + 12345u;
            return (seed >> 16) % range;
        };
        for (int i = 0; i < kObjects; i++) {
            uint8_t record[kBoxSize] = {};
            plat::store_u16le(record + kDobjLength, kBoxSize);
            dobj_set_kind(record, kBoxKind);
            dobj_set_flags(record, uint16_t((i % 2 ? kDobjPlaneMiddle : kDobjPlaneBottom) | kDobjVisible));
            int32_t width = int32_t(8 + next(41));
            int32_t height = int32_t(8 + next(41));
            int32_t left = int32_t(next(uint32_t(kWidth - width)));
            int32_t top = int32_t(next(uint32_t(kHeight - height)));
            dobj_set_rect(record, kDobjBounds, Rect{left, top, left + width, top + height});
            plat::store_u32le(record + kBoxColour, next(0x1000000));
            dlist_append(dlist_stage(), record);
        }
        screen_invalidate_all();
        screen_flush(); // makes the planes
    }
    ~Stage()
    {
        dlist_reset();
        screen_reset();
        dobj_reset();
        for (plat::GdiObject& brush : g_brushes)
            plat::delete_object(brush);
        plat::destroy_window(window);
        plat::backend_set(nullptr);
    }
};

void BM_FullRefresh(benchmark::State& state)
{
    Stage stage;
    for (auto _ : state) {
        screen_damage_rect(Rect{0, 0, kWidth, kHeight}, kPlaneBottom);
        screen_flush();
    }
}
BENCHMARK(BM_FullRefresh);

void BM_SmallRefresh(benchmark::State& state)
{
    Stage stage;
    for (auto _ : state) {
        screen_damage_rect(Rect{300, 200, 332, 232}, kPlaneBottom);
        screen_flush();
    }
}
BENCHMARK(BM_SmallRefresh);

void BM_WindowBlit(benchmark::State& state)
{
    Stage stage;
    plat::DcHandle target = plat::get_dc(stage.window);
    plat::DcHandle source = plat::create_compatible_dc(target);
    plat::GdiObject bitmap = plat::create_compatible_bitmap(target, kWidth, kHeight);
    plat::GdiObject previous = plat::select_object(source, bitmap);
    plat::pat_blt(source, 0, 0, kWidth, kHeight, plat::WHITENESS);
    for (auto _ : state)
        plat::bit_blt(target, 0, 0, kWidth, kHeight, source, 0, 0, plat::SRCCOPY);
    plat::select_object(source, previous);
    plat::delete_object(bitmap);
    plat::delete_dc(source);
    plat::release_dc(stage.window, target);
}
BENCHMARK(BM_WindowBlit);

} // namespace

int main(int argc, char** argv)
{
    if (!bench_start(&argc, argv))
        return 1;
    BenchTimes times = bench_run_timed(BenchKeep::last);
    double small = 0;
    if (!bench_ratio(times, "BM_SmallRefresh", "BM_FullRefresh", small))
        return 1;
    bench_print("small-over-full", small);
    return bench_print_ratio(times, "BM_FullRefresh", "BM_WindowBlit");
}
