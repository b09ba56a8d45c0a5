// Formats stored in pieces reach the formatter: any format with any arguments, on any of the
// code pages, stays inside its buffer, terminates it and reports the length written.
#include "platform/kernel/byte_io.h"
#include "platform/kernel/codepage.h"
#include "runtime/base/fmt.h"
#include "runtime/base/str.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

const uint32_t kPages[] = { plat::CP_WESTERN, plat::CP_KOREAN, plat::CP_SHIFT_JIS };
constexpr size_t kMaxArgs = 8;
constexpr int kGuard = 16;

} // namespace

// Input: page, buffer size, argument count, then per argument a kind byte and its bytes (a
// number, or a NUL-terminated text), then the format.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    plat::ByteReader r(data, size);
    check(plat::set_active_code_page(kPages[r.u8() % 3]));
    str_init_from_entry("E");
    int buffer_size = r.u8() % 200;
    size_t count = r.u8() % (kMaxArgs + 1);
    std::vector<std::string> texts;
    texts.reserve(kMaxArgs); // the arguments point into these
    std::vector<FmtArg> args;
    for (size_t i = 0; i < count; ++i) {
        switch (r.u8() % 5) {
        case 0: args.emplace_back(r.i32le()); break;
        case 1: args.emplace_back(r.u32le()); break;
        case 2: args.emplace_back(nullptr); break;
        case 3:
            texts.push_back(r.cstring());
            args.emplace_back(texts.back().c_str());
            break;
        default:
            texts.push_back(r.cstring());
            args.push_back(fmt_value_text(texts.back().c_str()));
            break;
        }
    }
    std::string format(reinterpret_cast<const char*>(r.current()), r.failed() ? 0 : r.remaining());

    std::vector<char> buffer(size_t(buffer_size) + kGuard, 'G');
    int length = fmt_print_args(buffer.data(), buffer_size, format.c_str(), args);
    if (buffer_size < 1) {
        check(length == 0);
    } else {
        check(length >= 0 && length < buffer_size && buffer[size_t(length)] == '\0');
    }
    for (size_t i = size_t(buffer_size); i < buffer.size(); ++i)
        check(buffer[i] == 'G');
    str_reset();
    plat::codepage_reset();
    return 0;
}
