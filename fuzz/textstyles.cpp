// Any bytes as a text-style record: converted from and to the other byte order, unpacked into
// a file's table, and every style read, compared with the others and copied onto a new one.
#include <cstdint>
#include <cstring>
#include <vector>

#include "runtime/display/font.h"
#include "runtime/display/font_names.h"
#include "runtime/display/text_style.h"
#include "runtime/display/text_style_record.h"

namespace {

constexpr int kFile = 2;
constexpr int kCompared = 8;

void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

void read_every_style()
{
    int count = text_style_count(kFile);
    for (int index = 1; index <= count; index++) {
        if (!(text_style_get(index, kFile)->slot_flags & kStyleInUse) && index > kCompared)
            continue; // the padding of a gap
        char name[64];
        text_style_font_name(index, kFile, name, sizeof name);
        check(std::strlen(name) < sizeof name);
        int tabs = 0;
        const int32_t* stops = text_style_tabs(index, kFile, &tabs);
        check((stops != nullptr) == (tabs > 0));
        text_style_size(index, kFile);
        text_style_link(index, kFile);
        text_style_font_translated(index, kFile, 1);
        text_style_ascent(index, kFile, 0);
        // A record may number its styles up to 32767: compare with a few, not with all.
        for (int other = 1; other <= count && other <= kCompared; other++)
            text_style_compare(index, kFile, other, kFile);
        if (index <= kCompared)
            text_style_find_equal(index, kFile);
        int copy = text_style_new(1, kFile);
        text_style_copy_attrs(index, copy, kFile);
        // A copy of every attribute compares equal to its source.
        check(text_style_compare(copy, kFile, index, kFile) == 0);
        text_style_delete(copy, kFile);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static bool started = [] {
        text_styles_init();
        font_init();
        return true;
    }();
    (void)started;
    std::vector<uint8_t> bytes(data, data + size);
    if (text_styles_swap(bytes.data(), bytes.size(), 1) == 0) {
        std::vector<uint8_t> back = bytes;
        if (text_styles_swap(back.data(), back.size(), 0) == 0)
            check(back == std::vector<uint8_t>(data, data + size));
    }
    std::vector<TextStyle> styles;
    int16_t flags = 0, default_style = 0;
    if (text_styles_parse(data, size, kFile, styles, &flags, &default_style) == 0)
        text_styles_replace(kFile, std::move(styles), flags, default_style);
    read_every_style();
    text_styles_unload(kFile);
    check(font_name_count() == 0 && font_count() == 0);
    return 0;
}
