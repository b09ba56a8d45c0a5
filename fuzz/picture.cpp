// Any bytes as a picture stream, native and big-endian: drawn into a memory DC, hit-tested at
// a few points, converted to foreign order and back, and converted from foreign order and
// drawn again.
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/gdi/bitmap.h"
#include "platform/gdi/blit.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/rop.h"
#include "runtime/base/mem.h"
#include "runtime/display/pig_draw.h"
#include "runtime/display/pig_hit.h"
#include "runtime/display/pig_swap.h"

namespace {

// Large pictures are valid but slow: the fuzzer learns more from many small ones.
constexpr size_t kInputLimit = 1 << 16;

void draw_and_hit(const std::vector<uint8_t>& bytes, plat::DcHandle dc)
{
    MemHandle block = mem_alloc_copy(bytes.data(), bytes.size());
    if (!block)
        return;
    PigDrawRequest request;
    request.dc = dc;
    request.picture = block;
    (void)pig_draw(&request);
    static const Point kPoints[] = {{0, 0}, {5, 7}, {20, 20}, {-3, 40}};
    for (Point p : kPoints) {
        Rect test{p.x - 2, p.y - 2, p.x + 2, p.y + 2};
        (void)pig_hit_test(block, 0, p.x, p.y, &test, 0);
    }
    mem_free(block);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > kInputLimit)
        return 0;
    static bool started = false;
    if (!started) {
        pig_tables_init();
        started = true;
    }
    plat::DcHandle dc = plat::create_compatible_dc(plat::DcHandle{});
    plat::GdiObject bitmap = plat::bitmap_create(48, 48, 32, false);
    plat::GdiObject previous = plat::select_object(dc, bitmap);
    plat::pat_blt(dc, 0, 0, 48, 48, plat::WHITENESS);

    std::vector<uint8_t> bytes(data, data + size);
    draw_and_hit(bytes, dc);
    // To foreign order and back gives the bytes again when the run went through.
    std::vector<uint8_t> there = bytes;
    if (pig_swap_bytes(there.data(), there.size(), 0) == 0) {
        std::vector<uint8_t> back = there;
        if (pig_swap_bytes(back.data(), back.size(), 1) == 0 && back != bytes)
            __builtin_trap();
    }
    // The input as a big-endian picture.
    std::vector<uint8_t> native = bytes;
    if (pig_swap_bytes(native.data(), native.size(), 1) == 0)
        draw_and_hit(native, dc);

    plat::select_object(dc, previous);
    plat::delete_dc(dc);
    plat::delete_object(bitmap);
    return 0;
}
