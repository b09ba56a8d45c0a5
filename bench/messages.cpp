// The message queue: a post-and-get round trip (post, get, dispatch to a window procedure) and
// a send to a window procedure. The reference is a minimal queue in the same run: a std::deque
// of messages and a direct call of the procedure. It has no window lookup, ordering rules,
// filters or input, so it is a floor rather than a rival; the last line is "ratio: X", the
// round trip's time over the floor's.
#include <benchmark/benchmark.h>
#include <deque>

#include "bench/bench_ratio.h"
#include "platform/window/message.h"
#include "platform/window/window.h"

namespace {

uint64_t g_total = 0;

plat::LResult counting_proc(plat::WindowHandle, uint32_t message, plat::WParam wparam, plat::LParam)
{
    if (message == plat::WM_USER)
        g_total += wparam;
    return 0;
}

// A hidden popup: nothing to paint, so only the posted messages move.
plat::WindowHandle make_window()
{
    plat::window_system_reset();
    plat::WindowClass window_class;
    window_class.proc = counting_proc;
    window_class.class_name = "BenchWindow";
    plat::register_class(window_class);
    return plat::create_window_ex(0, "BenchWindow", "", plat::WS_POPUP, 0, 0, 10, 10, {}, 0, {}, nullptr);
}

void BM_PostGetDispatch(benchmark::State& state)
{
    plat::WindowHandle window = make_window();
    plat::Msg msg;
    for (auto _ : state) {
        plat::post_message(window, plat::WM_USER, 1, 0);
        plat::get_message(msg);
        plat::dispatch_message(msg);
    }
    benchmark::DoNotOptimize(g_total);
}
BENCHMARK(BM_PostGetDispatch);

void BM_SendMessage(benchmark::State& state)
{
    plat::WindowHandle window = make_window();
    for (auto _ : state)
        benchmark::DoNotOptimize(plat::send_message(window, plat::WM_USER, 1, 0));
    benchmark::DoNotOptimize(g_total);
}
BENCHMARK(BM_SendMessage);

void BM_DequeFloor(benchmark::State& state)
{
    plat::WindowHandle window = make_window();
    std::deque<plat::Msg> queue;
    plat::WindowProc proc = counting_proc;
    benchmark::DoNotOptimize(proc);
    for (auto _ : state) {
        plat::Msg posted;
        posted.hwnd = window;
        posted.message = plat::WM_USER;
        posted.wparam = 1;
        queue.push_back(posted);
        plat::Msg msg = queue.front();
        queue.pop_front();
        proc(msg.hwnd, msg.message, msg.wparam, msg.lparam);
    }
    benchmark::DoNotOptimize(g_total);
}
BENCHMARK(BM_DequeFloor);

} // namespace

int main(int argc, char** argv)
{
    if (!bench_start(&argc, argv))
        return 1;
    BenchTimes times = bench_run_timed(BenchKeep::last);
    return bench_print_ratio(times, "BM_PostGetDispatch", "BM_DequeFloor");
}
