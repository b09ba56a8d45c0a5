// Any bytes as a saved palette block and as a LOGPALETTE (a piece's property 36): the block
// restored (a damaged one falls back to the built-in palette), the table parsed, hashed and
// merged into a 256-entry palette of either mode.
#include <cstdint>
#include <span>
#include <vector>

#include "platform/gdi/gdi_object.h"
#include "runtime/display/palette.h"

namespace {

void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

std::vector<plat::PaletteEntry> static_colours()
{
    std::vector<plat::PaletteEntry> out;
    for (int i = 0; i < 20; i++)
        out.push_back(plat::PaletteEntry{uint8_t(i * 13), uint8_t(i * 7), uint8_t(255 - i * 11), 0});
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::span<const uint8_t> bytes(data, size);
    check(pal_restore_entries(bytes));
    std::vector<uint8_t> saved = pal_save_entries();
    check(saved.size() >= kPalSavedHeader + kLogPaletteHeader);
    std::vector<plat::PaletteEntry> entries;
    if (pal_parse(bytes, entries)) {
        if (bytes[0] == 0x00 && bytes[1] == 0x03)
            check(pal_id(bytes) == pal_id(pal_log_bytes(entries)));
        for (int mode = 0; mode < 2; mode++) {
            std::vector<plat::PaletteEntry> merged = entries;
            pal_merge_system_colors(merged, 256, mode, static_colours());
            check(merged.size() == 256);
        }
    }
    pal_reset();
    return 0;
}
