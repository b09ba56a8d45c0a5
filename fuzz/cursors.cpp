// Arbitrary bytes as a file's cursor list record: every item that fits becomes a cursor, the
// rest are skipped; each made cursor is shown once and all are destroyed again.
#include "platform/window/input.h"
#include "runtime/ui/cursor.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const int ready = curs_init();
    if (ready != 1)
        __builtin_trap();
    const int slot = 1;
    int made = curs_load_cursor_list(slot, data, size);
    int found = 0;
    for (int32_t number = 0; number <= 0xFFFF && found < made; number++) {
        if (!curs_custom_handle(slot, number))
            continue;
        found++;
        curs_set(curs_from_number(slot, number + kCursorCustomBase));
    }
    if (found != made)
        __builtin_trap();
    curs_free_file_cursors(slot);
    return 0;
}
