#include "runtime/display/text_style.h"

#include <cstring>

#include "runtime/display/font_names.h"
#include "runtime/display/text_style_record.h"
#include "runtime/nodes/node_files.h"
#include "runtime/store/rec_types.h"
#include "runtime/store/swap.h"

namespace {

struct StyleSlot {
    std::vector<TextStyle> styles;
    int16_t table_flags = 0;
    int16_t default_style = 0;
};

struct StyleState {
    StyleSlot slots[kStyleSlotCount];
    TextStyleCursorHook cursor = nullptr;
};

StyleState s_styles;

} // namespace

static StyleSlot* slot_of(int file) { return file >= 0 && file < kStyleSlotCount ? &s_styles.slots[file] : nullptr; }

static TextStyle* style_at(int index, int file)
{
    StyleSlot* slot = slot_of(file);
    if (!slot || index < 1 || size_t(index) > slot->styles.size())
        return nullptr;
    return &slot->styles[size_t(index) - 1];
}

const TextStyle* text_style_get(int index, int file) { return style_at(index, file); }

static int swap_record_hook(uint16_t, uint8_t* data, size_t length, int to_native)
{
    return text_styles_swap(data, length, to_native);
}

static void text_styles_release(int file) { text_styles_unload(file); }

// A file without a text-style record opens with an empty table: such a file has no styled text
// to show, and refusing it would refuse every file written without styles.
static int text_styles_load_for_open(int file)
{
    int result = text_styles_load(file);
    return result == kErrNotFound ? 0 : result;
}

static void lend_services(bool on)
{
    NodeServices services = node_services();
    services.text_styles_load = on ? text_styles_load_for_open : nullptr;
    services.text_styles_release = on ? text_styles_release : nullptr;
    node_set_services(&services);
    swap_set_hook(kSwapHookTextStyles, on ? swap_record_hook : nullptr);
}

int text_styles_init()
{
    for (StyleSlot& slot : s_styles.slots)
        slot = StyleSlot {};
    lend_services(true);
    return 1;
}

void text_styles_term()
{
    for (StyleSlot& slot : s_styles.slots)
        slot = StyleSlot {};
    font_names_free();
    fonts_free();
    lend_services(false);
}

void text_styles_replace(int file, std::vector<TextStyle>&& styles, int16_t table_flags, int16_t default_style)
{
    StyleSlot* slot = slot_of(file);
    if (!slot)
        return;
    slot->styles = std::move(styles);
    slot->table_flags = table_flags;
    slot->default_style = default_style;
}

void text_styles_unload(int file)
{
    StyleSlot* slot = slot_of(file);
    if (!slot)
        return;
    *slot = StyleSlot {};
    for (const StyleSlot& other : s_styles.slots)
        if (!other.styles.empty())
            return;
    font_names_free();
    fonts_free();
}

int text_style_default(int file)
{
    StyleSlot* slot = slot_of(file);
    return slot ? slot->default_style : 0;
}

int16_t text_style_table_flags(int file)
{
    StyleSlot* slot = slot_of(file);
    return slot ? slot->table_flags : 0;
}

int text_style_count(int file)
{
    StyleSlot* slot = slot_of(file);
    return slot ? int(slot->styles.size()) : 0;
}

// --- making and deleting --------------------------------------------------------------------

static int new_style(uint16_t owner, int file, uint16_t flags)
{
    StyleSlot* slot = slot_of(file);
    if (!slot)
        return 0;
    size_t at = 0;
    while (at < slot->styles.size() && (slot->styles[at].slot_flags & kStyleInUse))
        at++;
    if (at == slot->styles.size())
        slot->styles.emplace_back();
    TextStyle& style = slot->styles[at];
    style = TextStyle {};
    style.slot_flags = flags;
    style.owner = owner;
    return int(at + 1);
}

int text_style_new(uint16_t owner, int file) { return new_style(owner, file, kStyleInUse | kStyleMadeAtRunTime); }

int text_style_new_temporary(uint16_t owner, int file)
{
    return new_style(owner, file, kStyleInUse | kStyleMadeAtRunTime | kStyleTemporary);
}

void text_style_set_temporary(int index, int file, int on)
{
    if (TextStyle* style = style_at(index, file))
        style->slot_flags = on ? (style->slot_flags | kStyleTemporary) : (style->slot_flags & ~kStyleTemporary);
}

void text_style_delete(int index, int file)
{
    if (TextStyle* style = style_at(index, file)) {
        style->tabs.clear();
        style->tab_count = 0;
        style->slot_flags = 0;
    }
}

// --- attributes -----------------------------------------------------------------------------

// A field of a style; 0 for a style outside the tables.
template <typename T>
static T field_of(int index, int file, T TextStyle::*field)
{
    const TextStyle* style = style_at(index, file);
    return style ? style->*field : T {};
}

uint32_t text_style_attr_mask(int index, int file) { return field_of(index, file, &TextStyle::mask); }

void text_style_set_flags(int index, int file, uint32_t mask, uint32_t values)
{
    TextStyle* style = style_at(index, file);
    if (!style)
        return;
    mask &= kStyleBitsMask;
    style->style_bits = uint16_t((style->style_bits & ~mask) | (values & mask));
    style->mask |= mask;
}

void text_style_clear_attrs(int index, int file, uint32_t mask)
{
    TextStyle* style = style_at(index, file);
    if (!style)
        return;
    style->mask &= ~mask;
    if (mask & kStyleTabs) {
        style->tabs.clear();
        style->tab_count = 0;
    }
    if (mask & kStyleFont) {
        style->font_name = 0;
        style->font = 0;
    }
}

void text_style_font_name(int index, int file, char* out, size_t size)
{
    const TextStyle* style = style_at(index, file);
    if (size > 0)
        out[0] = 0;
    if (style)
        font_name_get(style->font_name, 1, out, size);
}

int32_t text_style_size(int index, int file) { return field_of(index, file, &TextStyle::size); }

uint32_t text_style_flags(int index, int file) { return field_of(index, file, &TextStyle::style_bits); }

uint32_t text_style_color(int index, int file) { return field_of(index, file, &TextStyle::color); }

uint32_t text_style_number_format(int index, int file) { return field_of(index, file, &TextStyle::number_format); }

int text_style_hot_trigger(int index, int file) { return field_of(index, file, &TextStyle::hot_trigger); }

uint16_t text_style_link(int index, int file)
{
    const TextStyle* style = style_at(index, file);
    return style && (style->mask & kStyleLink) ? style->link : 0;
}

int text_style_alignment(int index, int file) { return field_of(index, file, &TextStyle::alignment); }

int text_style_first_indent(int index, int file) { return field_of(index, file, &TextStyle::first_indent); }

int text_style_left_indent(int index, int file) { return field_of(index, file, &TextStyle::left_indent); }

int text_style_right_indent(int index, int file) { return field_of(index, file, &TextStyle::right_indent); }

const int32_t* text_style_tabs(int index, int file, int* count)
{
    const TextStyle* style = style_at(index, file);
    *count = style ? int(style->tabs.size()) : 0;
    return style && !style->tabs.empty() ? style->tabs.data() : nullptr;
}

void text_style_set_cursor_hook(TextStyleCursorHook hook) { s_styles.cursor = hook; }

uint32_t text_style_cursor(int index, int file)
{
    const TextStyle* style = style_at(index, file);
    if (!style || !s_styles.cursor)
        return 0;
    return s_styles.cursor((style->mask & kStyleCursor) ? style->cursor : 0);
}

int text_style_font_entry(int index, int file)
{
    const TextStyle* style = style_at(index, file);
    return style && (style->mask & kStyleFont) ? style->font : 0;
}

int text_style_font_translated(int index, int file, int fallback)
{
    const TextStyle* style = style_at(index, file);
    if (!style || !(style->mask & kStyleFont))
        return fallback;
    return (font_name_flags(style->font_name) & kFontNameTranslated) ? 1 : 0;
}

// --- copying and comparing ------------------------------------------------------------------

void text_style_copy_attrs(int from, int to, int file)
{
    const TextStyle* source = style_at(from, file);
    TextStyle* target = style_at(to, file);
    if (!source || !target || source == target)
        return;
    uint32_t mask = source->mask;
    bool font = mask & kStyleFont, size = mask & kStyleSize;
    if (font && size) {
        target->font_name = source->font_name;
        target->font = source->font;
        target->size = source->size;
    } else if (font || size) {
        // A font without its size (or a size without its font) names no font of the table.
        target->font = 0;
        if (font)
            target->font_name = source->font_name;
        if (size)
            target->size = source->size;
    }
    if (mask & kStyleAlignment)
        target->alignment = source->alignment;
    if (mask & kStyleNumberFormat)
        target->number_format = source->number_format;
    if (mask & kStyleColor)
        target->color = source->color;
    if (mask & kStyleLeftIndent)
        target->left_indent = source->left_indent;
    if (mask & kStyleRightIndent)
        target->right_indent = source->right_indent;
    if (mask & kStyleFirstIndent)
        target->first_indent = source->first_indent;
    if (mask & kStyleTabs) {
        target->tabs = source->tabs;
        target->tab_count = int16_t(target->tabs.size());
    }
    if (mask & kStyleCursor)
        target->cursor = source->cursor;
    if (mask & kStyleHotText)
        target->hot_trigger = source->hot_trigger;
    if (mask & kStyleLink)
        target->link = source->link;
    uint32_t bits = mask & kStyleBitsMask;
    target->style_bits = uint16_t((target->style_bits & ~bits) | (source->style_bits & bits));
    target->mask |= mask;
}

void text_style_apply_list(const uint32_t* list, size_t count, int to, int file)
{
    for (size_t i = 0; list && i < count; i++)
        text_style_copy_attrs(int(list[i]), to, file);
}

uint32_t text_style_list_item(const uint32_t* list, size_t count, int n)
{
    if (!list || n < 1 || size_t(n) > count)
        return 0;
    return list[n - 1];
}

struct FieldCheck {
    uint32_t attribute;
    bool (*differs)(const TextStyle& a, const TextStyle& b);
};

static const FieldCheck kFieldChecks[] = {
    {kStyleFont, [](const TextStyle& a, const TextStyle& b) { return a.font_name != b.font_name; }},
    {kStyleSize, [](const TextStyle& a, const TextStyle& b) { return a.size != b.size; }},
    {kStyleHotText, [](const TextStyle& a, const TextStyle& b) { return a.hot_trigger != b.hot_trigger; }},
    {kStyleNumberFormat, [](const TextStyle& a, const TextStyle& b) { return a.number_format != b.number_format; }},
    {kStyleColor, [](const TextStyle& a, const TextStyle& b) { return a.color != b.color; }},
    {kStyleAlignment, [](const TextStyle& a, const TextStyle& b) { return a.alignment != b.alignment; }},
    {kStyleFirstIndent, [](const TextStyle& a, const TextStyle& b) { return a.first_indent != b.first_indent; }},
    {kStyleLeftIndent, [](const TextStyle& a, const TextStyle& b) { return a.left_indent != b.left_indent; }},
    {kStyleRightIndent, [](const TextStyle& a, const TextStyle& b) { return a.right_indent != b.right_indent; }},
    {kStyleCursor, [](const TextStyle& a, const TextStyle& b) { return a.cursor != b.cursor; }},
    {kStyleTabs, [](const TextStyle& a, const TextStyle& b) { return a.tabs != b.tabs; }},
};

// Link targets are never compared: only the presence of the link counts.
uint32_t text_style_compare(int index_a, int file_a, int index_b, int file_b)
{
    const TextStyle* a = style_at(index_a, file_a);
    const TextStyle* b = style_at(index_b, file_b);
    if (!a || !b)
        return a == b ? 0 : 0xFFFFFFFFu;
    uint32_t common = a->mask & b->mask;
    uint32_t differences = a->mask ^ b->mask;
    for (const FieldCheck& check : kFieldChecks)
        if ((common & check.attribute) && check.differs(*a, *b))
            differences |= check.attribute;
    differences |= (a->style_bits ^ b->style_bits) & common & kStyleBitsMask;
    return differences;
}

int text_style_find_equal(int index, int file)
{
    const TextStyle* style = style_at(index, file);
    StyleSlot* slot = slot_of(file);
    if (!style || !slot)
        return 0;
    for (size_t i = 0; i < slot->styles.size(); i++) {
        int other = int(i + 1);
        const TextStyle& s = slot->styles[i];
        if (other == index || other == slot->default_style || !(s.slot_flags & kStyleInUse)
            || (s.slot_flags & kStyleTemporary) || s.owner != style->owner || s.mask != style->mask)
            continue;
        if (text_style_compare(index, file, other, file) == 0)
            return other;
    }
    return 0;
}

// --- fonts ----------------------------------------------------------------------------------

void text_style_create_font(int index, int file, StockFont* out)
{
    *out = StockFont {};
    const FontDesc* entry = text_font_lock(text_style_font_entry(index, file));
    if (!entry)
        return;
    FontDesc desc = *entry;
    desc.style = int16_t(text_style_flags(index, file));
    font_create(&desc, out);
}

int32_t text_style_text_width(plat::DcHandle dc, int index, int file, const char* text, int16_t length)
{
    StockFont font;
    text_style_create_font(index, file, &font);
    if (!font.font)
        return 0;
    DcTextState state;
    font_select(&state, dc, font.font);
    int32_t width = font_measure_text(dc, text, length);
    font_select(&state, dc, {});
    font_release(&font);
    return width;
}

int32_t text_style_ascent(int index, int file, int platform)
{
    const FontDesc* desc = text_font_lock(text_style_font_entry(index, file));
    return desc ? font_desc_ascent(desc, platform) : 0;
}

int32_t text_style_descent(int index, int file, int platform)
{
    const FontDesc* desc = text_font_lock(text_style_font_entry(index, file));
    return desc ? font_desc_descent(desc, platform) : 0;
}

int32_t text_style_leading(int index, int file, int platform)
{
    const FontDesc* desc = text_font_lock(text_style_font_entry(index, file));
    return desc ? font_desc_leading(desc, platform) : 0;
}
