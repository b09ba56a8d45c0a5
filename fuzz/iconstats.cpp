// Arbitrary bytes as the icon statistics of the learner's records: u16 record count, u16
// block length, the block, then the TagList of pending-erase sets. An accepted load must give
// that many records whose sets read back whole; a refused one leaves none.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "platform/kernel/byte_io.h"
#include "runtime/base/errcode.h"
#include "runtime/icons/icon_stats.h"

namespace {

void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

struct SetCheck {
    int sets = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 4)
        return 0;
    int count = int16_t(plat::load_u16le(data));
    size_t block_size = std::min<size_t>(plat::load_u16le(data + 2), size - 4);
    const uint8_t* block = data + 4;
    const uint8_t* list = block + block_size;
    size_t list_size = size - 4 - block_size;
    int result = icon_stats_load(block, block_size, list, list_size, count);
    if (result != 0) {
        check(result == kErrStateSize && icon_stats_count() == 0);
        return 0;
    }
    check(icon_stats_count() == count);
    SetCheck seen;
    icon_stat_for_each_set(
        [](IconId, IdSet set, void* user) {
            static_cast<SetCheck*>(user)->sets++;
            for (int n = 1; n <= idset_count(set); n++)
                (void)idset_get(set, n);
        },
        &seen);
    check(seen.sets <= count);
    // Reads and writes on what was loaded behave, and the sets are freed once.
    for (int n = 0; n < count; n++) {
        IconId icon = plat::load_u32le(block + size_t(n) * kIconStatsSize);
        icon_stat_set_erase_bits(icon, icon_stat_erase_bits(icon) | 1);
        check(icon_stat_erase_bits(icon) & 1 || icon == 0);
    }
    icon_stats_reset();
    return 0;
}
