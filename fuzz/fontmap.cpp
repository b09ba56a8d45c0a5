// Bytes as FONTMAP.TXT text and as the font-map record's fields: the first byte splits the input
// into text and five fields (header, pool, index and both entry tables). What loads is looked up
// by every name it holds, written back, and converted both ways.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/display/fontmap.h"
#include "runtime/text/charmap.h"

namespace {

void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

void look_up_all(FontMap* map)
{
    for (int direction = 0; direction < 2; direction++) {
        for (size_t i = 0; i < font_map_entry_count(map, direction); i++) {
            FontMapEntry e = font_map_entry(map, direction, i);
            const char* source = font_map_name(map, e.source);
            char name[40];
            int32_t size = 0;
            int translate = 1;
            int from = direction == 0 ? 2 : 1;
            int result = fontmap_map_font(map, name, sizeof name, &size, &translate, 3 - from, source, e.source_size, from);
            check(result >= 0 && result <= 3 && std::strlen(name) < sizeof name);
        }
    }
}

void convert_fields(FontMap* map)
{
    std::vector<std::pair<uint16_t, std::vector<uint8_t>>> fields;
    font_map_write_fields(map, fields);
    for (auto& [tag, data] : fields) {
        std::vector<uint8_t> copy = data;
        check(font_swap_resource(tag, copy.data(), copy.size(), 0) == 0);
        check(font_swap_resource(tag, copy.data(), copy.size(), 1) == 0);
        check(copy == data);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static bool started = [] { return str_charmap_init() == 0; }();
    check(started);
    if (size < 6)
        return 0;
    size_t text_length = size_t(data[0]) * (size - 6) / 255;
    const uint8_t* rest = data + 6 + text_length;
    size_t rest_size = size - 6 - text_length;
    FontMap* map = font_map_new();
    // Five fields: each takes a share of the rest given by its byte.
    FontMapField fields[5];
    size_t at = 0;
    for (int i = 0; i < 5; i++) {
        size_t length = std::min(rest_size - at, size_t(data[1 + i]) * rest_size / 255);
        fields[i] = data[1 + i] ? FontMapField {rest + at, length} : FontMapField {};
        at += length;
    }
    int result = font_map_load_fields(map, fields[0], fields[1], fields[2], fields[3], fields[4]);
    check(result == 0 || result == 5000);
    font_map_merge_text(map, reinterpret_cast<const char*>(data + 6), text_length);
    look_up_all(map);
    convert_fields(map);
    // What was written loads again.
    std::vector<std::pair<uint16_t, std::vector<uint8_t>>> written;
    font_map_write_fields(map, written);
    FontMap* again = font_map_new();
    check(font_map_load_fields(again, {written[0].second.data(), written[0].second.size()},
              {written[1].second.data(), written[1].second.size()}, {written[2].second.data(), written[2].second.size()},
              {written[3].second.data(), written[3].second.size()}, {written[4].second.data(), written[4].second.size()})
        == 0);
    check(font_map_entry_count(again, 0) == font_map_entry_count(map, 0));
    font_map_free(again);
    font_map_free(map);
    str_charmap_reset(str_charmap());
    return 0;
}
