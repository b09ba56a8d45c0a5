// Any bytes as text of each code page: stepping stays inside the text and agrees both ways,
// and conversions, case mapping and comparison stay inside their buffers.
#include "platform/kernel/codepage.h"

#include <cstdint>
#include <cstring>
#include <string>

namespace {

void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

const uint32_t kPages[] = {plat::CP_WESTERN, plat::CP_KOREAN, plat::CP_SHIFT_JIS};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    uint32_t page = kPages[data[0] % 3];
    std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    check(plat::set_active_code_page(page));
    const char* begin = text.c_str();
    const char* end = begin + std::strlen(begin);
    for (const char* p = begin; p < end;) {
        const char* next = plat::char_next(p);
        check(next > p && next <= end && plat::char_prev(begin, next) == p);
        p = next;
    }
    std::u16string wide = plat::multi_byte_to_wide(page, text);
    check(wide.size() <= text.size());
    plat::wide_to_multi_byte(page, wide);
    plat::utf8_to_code_page(page, plat::code_page_to_utf8(plat::CP_UTF8, text));
    std::string upper = text;
    plat::char_upper(upper.data(), upper.size());
    check(plat::lstrcmpi(begin, upper.c_str()) == 0); // case mapping and comparison agree
    return 0;
}
