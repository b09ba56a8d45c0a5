// Picture drawing: 2,000 shapes (rectangles, ovals, rounded rectangles, lines and closed
// polygons, with colour and pen changes) drawn from one picture stream into a 640 x 480 memory
// DC, against a loop making the same platform GDI calls directly, pens and brushes made only
// when a colour or the pen changes. The last line is "ratio: X", the picture's time over the
// direct loop's.
#include <benchmark/benchmark.h>
#include <string>
#include <vector>

#include "bench/bench_ratio.h"
#include "platform/gdi/bitmap.h"
#include "platform/gdi/blit.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/gdi_object.h"
#include "platform/gdi/shape.h"
#include "runtime/display/pig_draw.h"
#include "tools/piecemaker/pm_picture.h"

namespace {

constexpr int32_t kWidth = 640, kHeight = 480;
constexpr int kShapes = 2000;

struct Memory {
    plat::DcHandle dc;
    plat::GdiObject bitmap, previous;
    Memory()
    {
        dc = plat::create_compatible_dc(plat::DcHandle{});
        bitmap = plat::bitmap_create(kWidth, kHeight, 32, false);
        previous = plat::select_object(dc, bitmap);
        plat::pat_blt(dc, 0, 0, kWidth, kHeight, plat::WHITENESS);
    }
    ~Memory()
    {
        plat::select_object(dc, previous);
        plat::delete_dc(dc);
        plat::delete_object(bitmap);
    }
};

// One shape of the run and the state it is drawn in.
struct Shape {
    int kind; // 0 rectangle, 1 oval, 2 rounded rectangle, 3 line, 4 triangle
    int32_t x, y, size;
    uint32_t fill, line; // COLORREFs
    int pen; // odd widths, so that the primitives pass boxes unchanged
    bool colors_change, pen_changes;
};

std::vector<Shape> shapes()
{
    std::vector<Shape> out;
    uint32_t seed = 12345;
    auto next = [&seed](uint32_t range) {
        seed = seed * 1103515245 + 12345;
        return (seed >> 8) % range;
    };
    uint32_t fill = 0x0000FF, line = 0;
    int pen = 1;
    for (int i = 0; i < kShapes; i++) {
        Shape s{i % 5, int32_t(next(580)), int32_t(next(420)), 10 + int32_t(next(50)), fill, line, pen, false, false};
        if (i % 10 == 0) {
            s.fill = fill = next(0x1000000), s.line = line = next(0x1000000);
            s.colors_change = true;
        }
        if (i % 25 == 0) {
            s.pen = pen = pen == 1 ? 3 : 1;
            s.pen_changes = true;
        }
        out.push_back(s);
    }
    return out;
}

void statement(std::vector<uint8_t>& bytes, const std::string& op, std::vector<int64_t> numbers)
{
    std::vector<PmPicArg> args;
    for (int64_t n : numbers)
        args.push_back(PmPicArg{false, n, {}});
    std::string error;
    pm_picture_statement(op, args, "", bytes, error);
}

std::vector<uint8_t> stream(const std::vector<Shape>& list)
{
    std::vector<uint8_t> bytes;
    statement(bytes, "header", {0, 0, kWidth, kHeight});
    statement(bytes, "mode", {4});
    statement(bytes, "flags", {8});
    for (const Shape& s : list) {
        if (s.colors_change) {
            statement(bytes, "fill-color", {s.fill & 0xFF, s.fill >> 8 & 0xFF, s.fill >> 16});
            statement(bytes, "line-color", {s.line & 0xFF, s.line >> 8 & 0xFF, s.line >> 16});
        }
        if (s.pen_changes)
            statement(bytes, "pen", {s.pen, s.pen});
        int32_t r = s.x + s.size, b = s.y + s.size;
        switch (s.kind) {
        case 0: statement(bytes, "rect", {s.x, s.y, r, b}); break;
        case 1: statement(bytes, "oval", {s.x, s.y, r, b}); break;
        case 2: statement(bytes, "round-rect", {s.x, s.y, r, b, 8, 8}); break;
        case 3: statement(bytes, "line", {s.x, s.y, r, b}); break;
        default: statement(bytes, "polygon", {s.x, s.y, r, b, s.x, s.y, r, s.y, s.x, b}); break;
        }
    }
    return bytes;
}

void BM_PictureShapes(benchmark::State& state)
{
    plat::dc_reset();
    pig_tables_init();
    std::vector<uint8_t> bytes = stream(shapes());
    MemHandle block = mem_alloc_copy(bytes.data(), bytes.size());
    Memory memory;
    PigDrawRequest request;
    request.dc = memory.dc;
    request.picture = block;
    for (auto _ : state)
        if (pig_draw(&request) != 0)
            state.SkipWithError("the picture did not draw");
    mem_free(block);
    pig_tables_free();
}
BENCHMARK(BM_PictureShapes);

// The same shapes with GDI called directly.
void BM_DirectShapes(benchmark::State& state)
{
    plat::dc_reset();
    std::vector<Shape> list = shapes();
    Memory memory;
    plat::DcHandle dc = memory.dc;
    for (auto _ : state) {
        plat::GdiObject pen{}, brush{};
        for (const Shape& s : list) {
            if (s.colors_change || s.pen_changes) {
                plat::GdiObject new_pen = plat::create_pen(plat::PS_SOLID, s.pen, s.line);
                plat::GdiObject new_brush = plat::create_solid_brush(s.fill);
                plat::select_object(dc, new_pen);
                plat::select_object(dc, new_brush);
                plat::delete_object(pen);
                plat::delete_object(brush);
                pen = new_pen, brush = new_brush;
            }
            int32_t r = s.x + s.size, b = s.y + s.size;
            switch (s.kind) {
            case 0: plat::rectangle(dc, s.x, s.y, r, b); break;
            case 1: plat::ellipse(dc, s.x, s.y, r, b); break;
            case 2: plat::round_rect(dc, s.x, s.y, r, b, 8, 8); break;
            case 3:
                plat::move_to_ex(dc, s.x, s.y, nullptr);
                plat::line_to(dc, r, b);
                break;
            default: {
                plat::Point points[] = {{s.x, s.y}, {r, s.y}, {s.x, b}, {s.x, s.y}};
                plat::polygon(dc, points, 4);
            }
            }
        }
        plat::select_object(dc, plat::get_stock_object(plat::BLACK_PEN));
        plat::select_object(dc, plat::get_stock_object(plat::WHITE_BRUSH));
        plat::delete_object(pen);
        plat::delete_object(brush);
    }
}
BENCHMARK(BM_DirectShapes);

} // namespace

int main(int argc, char** argv)
{
    if (!bench_start(&argc, argv))
        return 1;
    BenchTimes times = bench_run_timed(BenchKeep::fastest);
    return bench_print_ratio(times, "BM_PictureShapes", "BM_DirectShapes");
}
