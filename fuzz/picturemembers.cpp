// Any bytes as the picture of a Display icon, built into members by makers that take what the
// embedded text, media and OLE elements hand over, as the real makers will.
#include <cstdint>
#include <cstring>

#include "runtime/base/mem.h"
#include "runtime/display/dlist.h"
#include "runtime/display/pig_stream.h"
#include "runtime/icons/icon_display_object.h"

namespace {

constexpr size_t kInputLimit = 1 << 16;

// Reads every byte handed over, so that a wrong size shows as an overread.
uint32_t checksum(const uint8_t* bytes, size_t size)
{
    uint32_t sum = 0;
    for (size_t i = 0; i < size; i++)
        sum = sum * 31 + bytes[i];
    return sum;
}

int take_copy(MemHandle data, DisplayBuild&)
{
    if (const auto* bytes = static_cast<const uint8_t*>(mem_lock(data))) {
        (void)checksum(bytes, mem_size(data));
        mem_unlock(data);
    }
    mem_free(data);
    return 0;
}

int take_media(const uint8_t* record, uint32_t length, DisplayBuild&)
{
    (void)checksum(record, length);
    return 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > kInputLimit)
        return 0;
    static bool started = false;
    if (!started) {
        pig_tables_init();
        DisplayMemberHooks hooks {take_copy, take_media, take_copy};
        icon_display_set_member_hooks(&hooks);
        started = true;
    }
    MemHandle block = mem_alloc_copy(data, size);
    if (!block)
        return 0;
    DisplayList members;
    DisplayBuild build;
    build.members = &members;
    (void)icon_display_build(block, build);
    dlist_free(members);
    mem_free(block);
    return 0;
}
