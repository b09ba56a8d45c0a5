// Any bytes as a program of edits on one field: insertions, deletions, range replacements,
// selections, run tables, marks, rectangle and spacing changes, layouts, point and caret
// queries and drawing, on single-byte or double-byte (code page 949) text. The field's
// invariants are checked after every step.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/gdi/bitmap.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/gdi_object.h"
#include "platform/kernel/codepage.h"
#include "runtime/base/str.h"
#include "runtime/display/font.h"
#include "runtime/display/font_names.h"
#include "runtime/display/text_style.h"
#include "runtime/ui/edit_draw.h"
#include "runtime/ui/edit_field.h"
#include "runtime/ui/edit_layout.h"
#include "runtime/ui/edit_words.h"

namespace {

constexpr int kSlot = 1;
constexpr int kStyleCount = 6;

void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

// Plain, Korean, superscript, justified, tabbed (left 30, decimal 80), centred.
void make_styles()
{
    struct Row {
        const char* face;
        uint16_t bits;
        int16_t alignment;
        std::vector<int32_t> tabs;
    };
    const Row rows[kStyleCount] = {
        {"Arial", 0, 0, {}}, {"Gulim", 0, 0, {}}, {"Arial", 0x20, 0, {}},
        {"Gulim", 0x04, 3, {}}, {"Arial", 0, 0, {30, -80}}, {"Arial", 0x40, 1, {}},
    };
    std::vector<TextStyle> styles;
    for (const Row& row : rows) {
        TextStyle style;
        style.mask = kStyleBitsMask | kStyleFont | kStyleAlignment | kStyleTabs;
        style.slot_flags = kStyleInUse;
        FontDesc desc;
        font_desc_clear(&desc);
        font_desc_set_face(&desc, row.face);
        font_desc_set_size(&desc, 10);
        style.font = uint16_t(font_add(font_name_add(1, row.face), &desc));
        style.style_bits = row.bits;
        style.alignment = row.alignment;
        style.tabs = row.tabs;
        style.tab_count = int16_t(row.tabs.size());
        styles.push_back(style);
    }
    text_styles_replace(kSlot, std::move(styles), 0, 1);
}

struct Reader {
    const uint8_t* data;
    size_t size;
    size_t at = 0;
    bool more() const { return at < size; }
    uint8_t byte() { return at < size ? data[at++] : 0; }
};

// Bytes that matter to layout: letters, blanks, CR, TAB, a point, digits, lead and trail bytes.
const char kAlphabet[] = {'a', 'W', ' ', '\r', '\t', '.', '1', '\xB0', '\xA1', '\xA3', '\xB1', '{', '(', '%', 'i', '\0'};

std::string some_text(Reader& r, int limit)
{
    std::string text;
    int count = r.byte() % limit;
    for (int i = 0; i < count; i++)
        text += kAlphabet[r.byte() % sizeof kAlphabet];
    return text;
}

int32_t position(Reader& r, EditHandle field)
{
    int32_t length = edit_text_length(field);
    return int32_t(r.byte()) * (length + 2) / 255 - 1; // a little outside the text too
}

void set_runs(Reader& r, EditHandle field)
{
    std::vector<EditRun> runs;
    int count = 1 + r.byte() % 4;
    int16_t first = 0;
    for (int i = 0; i < count; i++) {
        EditRun run;
        run.first = first;
        run.style = int16_t(1 + r.byte() % kStyleCount);
        run.flags = int16_t(r.byte() % 5 == 0 ? kEditRunHidden : 0);
        runs.push_back(run);
        first = int16_t(first + 1 + r.byte() % 40);
    }
    int error = edit_set_runs(field, runs.data(), int32_t(runs.size()));
    check(error == 0 || error == 5000);
}

void query(Reader& r, EditHandle field, plat::DcHandle dc)
{
    int32_t x = int32_t(r.byte()) - 20, y = int32_t(r.byte()) * 4 - 20;
    int32_t found = edit_char_at_point(field, dc, x, y, EditPointMode(r.byte() % 3), nullptr);
    check(found >= -1 && found <= edit_text_length(field));
    Rect caret;
    edit_position_rect(field, position(r, field), &caret, r.byte() & 1);
    check(caret.right == caret.left + 1 && caret.top <= caret.bottom);
    int32_t line = edit_line_at_y(field, y);
    check(line >= 0 && line < edit_line_count(field));
    edit_text_width(field, position(r, field), r.byte());
    std::string text(size_t(edit_text_length(field)) + 1, '\0');
    int32_t length = edit_copy_text_range(field, 0, edit_text_length(field), text.data(), text.size());
    uint32_t rules = r.byte() & 0x3F;
    int32_t p = std::max(position(r, field), 0);
    check(edit_word_break(rules, text.data(), std::min(p, length), length) <= length);
    check(edit_word_start(rules, text.data(), std::min(p, length), length, 0) >= 0);
}

void step(Reader& r, EditHandle field, plat::DcHandle dc)
{
    switch (r.byte() % 14) {
    case 0: {
        std::string text = some_text(r, 24);
        edit_insert_text(field, text.data(), int32_t(text.size()));
        break;
    }
    case 1:
        edit_delete_selection(field);
        break;
    case 2: {
        int32_t a = position(r, field);
        edit_set_selection(field, {}, a, position(r, field));
        break;
    }
    case 3: {
        std::string text = some_text(r, 8);
        int32_t a = position(r, field);
        edit_replace_range(field, text.c_str(), a, position(r, field));
        break;
    }
    case 4:
        set_runs(r, field);
        break;
    case 5: {
        EditMark mark { int16_t(position(r, field)), int16_t(position(r, field)), r.byte(), uint8_t(r.byte() % 7) };
        edit_add_mark(field, mark);
        break;
    }
    case 6:
        edit_remove_mark(field, r.byte() % 4);
        break;
    case 7: {
        int32_t a = position(r, field);
        edit_set_hot_mark(field, a, position(r, field), EditHotMark(r.byte() & 1), 0x00FF00);
        break;
    }
    case 8: {
        int32_t width = 1 + r.byte(), dx = r.byte() % 8;
        edit_set_layout_rect(field, Rect { dx, 0, dx + width, kEditUnlimitedBottom });
        break;
    }
    case 9:
        edit_layout(field, {}, nullptr, r.byte() & 2);
        break;
    case 10:
        edit_set_appearance(field, uint16_t(r.byte() % 9), 0xFFFFFF, r.byte() & 1 ? uint16_t(0x7000 + r.byte() % 3) : r.byte());
        break;
    case 11:
        query(r, field, dc);
        break;
    case 12: {
        // A long text, to reach the 32766-byte cut and the line limit.
        std::string text(size_t(r.byte()) * 64, kAlphabet[r.byte() % sizeof kAlphabet]);
        edit_insert_text(field, text.data(), int32_t(text.size()));
        break;
    }
    case 13:
        edit_draw(field, dc, nullptr);
        break;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static plat::DcHandle dc = [] {
        font_init();
        make_styles();
        plat::DcHandle memory = plat::create_compatible_dc({});
        plat::select_object(memory, plat::bitmap_create(96, 96, 32, false));
        return memory;
    }();
    Reader r { data, size };
    bool korean = r.byte() & 1;
    if (korean) {
        plat::set_active_code_page(949);
        str_init_from_entry("K");
    }
    EditHandle field = edit_create(Rect { 0, 0, 80, kEditUnlimitedBottom }, Rect { 0, 0, 96, 96 }, kSlot, {});
    check(bool(field));
    for (int steps = 0; r.more() && steps < 200; steps++) {
        step(r, field, dc);
        check(edit_check_invariants(field) == nullptr);
    }
    edit_layout(field, {}, nullptr, 0);
    check(edit_check_invariants(field) == nullptr);
    edit_destroy(field);
    if (korean) {
        plat::codepage_reset();
        str_reset();
    }
    return 0;
}
