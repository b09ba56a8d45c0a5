// The style at an edit field's selection, as the editing commands and the style functions see
// it, and the field's owner window.
#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/window/window.h"
#include "runtime/display/text_style.h"
#include "runtime/engine/exec_hooks.h"
#include "runtime/ui/edit_measure.h"

namespace {

constexpr uint32_t kEverySelectionAttribute = 0x4003FF7F;

// The end that stays when the selection is extended.
int32_t anchored_end(const EditField* f)
{
    if (f->selection_start == f->anchor_start)
        return f->selection_start;
    if (f->selection_end == f->anchor_end)
        return f->selection_end;
    return f->selection_start;
}

// Fills the temporary style from what the selection shows.
void fill_from_selection(const EditField* f, int temp)
{
    int slot = f->style_slot;
    if (f->selection_start == f->selection_end) {
        if (f->pending_styles_on) {
            text_style_copy_attrs(1, temp, slot);
            std::vector<uint32_t> list;
            for (int32_t n = 1; n <= idset_count(f->pending_styles); n++)
                list.push_back(idset_get(f->pending_styles, n));
            text_style_apply_list(list.data(), list.size(), temp, slot);
            return;
        }
        // The character before the caret, or the caret's own at a paragraph start.
        int32_t caret = f->selection_start;
        int32_t at = caret > 0 && f->text_ptr[caret - 1] != '\r' ? caret - 1 : caret;
        text_style_copy_attrs(f->runs_ptr[edit_run_index_at(f, at)].style, temp, slot);
        return;
    }
    int32_t anchored = anchored_end(f);
    int32_t at = anchored == f->selection_end ? anchored - 1 : anchored;
    text_style_copy_attrs(f->runs_ptr[edit_run_index_at(f, at)].style, temp, slot);
}

uint32_t same_over_selection(const EditField* f)
{
    uint32_t mask = kEverySelectionAttribute;
    if (f->selection_start == f->selection_end)
        return mask;
    int32_t first = edit_run_index_at(f, f->selection_start);
    int32_t last = edit_run_index_at(f, f->selection_end - 1);
    for (int32_t r = first; r < last; r++)
        mask &= ~text_style_compare(f->runs_ptr[r].style, f->style_slot, f->runs_ptr[r + 1].style, f->style_slot);
    return mask;
}

} // namespace

uint32_t edit_selection_style(EditHandle field, EditFontInfo* font, EditParagraphInfo* paragraph, EditFieldInfo* info)
{
    EditAccess f(field);
    if (!f)
        return 0;
    int slot = f->style_slot;
    int temp = text_style_new_temporary(0, slot);
    if (!temp)
        return 0;
    fill_from_selection(f.get(), temp);
    if (font) {
        *font = EditFontInfo {};
        font->number_format = text_style_number_format(temp, slot);
        text_style_font_name(temp, slot, font->font_name, sizeof font->font_name);
        font->size = text_style_size(temp, slot);
        font->style_bits = text_style_flags(temp, slot);
        font->color = text_style_color(temp, slot);
    }
    if (paragraph) {
        EditParagraph para;
        edit_paragraph_of(f.get(), temp, &para);
        *paragraph = EditParagraphInfo { para.alignment, para.first_indent, para.left, para.right, {}, 0 };
        if (!para.tabs.empty()) {
            paragraph->tabs = mem_alloc_copy(para.tabs.data(), para.tabs.size() * sizeof(int32_t));
            paragraph->tab_count = paragraph->tabs ? int32_t(para.tabs.size()) : 0;
        }
    }
    if (info)
        *info = EditFieldInfo { f->background, f->draw_mode, f->line_spacing };
    text_style_delete(temp, slot);
    return same_over_selection(f.get());
}

int32_t edit_style_value_at_selection(EditHandle field)
{
    EditParagraphInfo paragraph;
    edit_selection_style(field, nullptr, &paragraph, nullptr);
    mem_free(paragraph.tabs);
    return paragraph.first_indent;
}

int edit_check_owner(EditHandle field)
{
    EditAccess f(field);
    if (!f)
        return 0;
    if (!f->owner || !plat::is_window(f->owner))
        f->owner = exec_presentation_window();
    return f->owner ? 1 : 0;
}
