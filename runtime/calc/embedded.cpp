#include "runtime/calc/embedded.h"

#include "runtime/calc/interp.h"
#include "runtime/calc/value.h"
#include "runtime/nodes/node_group.h"
#include "runtime/pieces/lib.h"

#include <vector>

namespace {

EmbedHooks s_embed;

void set_eval_context(uint32_t icon)
{
    if (s_embed.var_set_eval_context)
        s_embed.var_set_eval_context(icon);
}

// The run's range shows the value: a non-string in the number format of the style there.
void write_value(const EmbedText& text, const EditMark& mark, const ScriptValue& value)
{
    ScriptValue shown;
    val_copy(shown, value);
    if (val_type(shown) != kValString) {
        uint32_t format = text.edit_number_format_at(text.field, mark.start);
        val_convert_formatted(shown, kValString, 0, format);
    }
    text.edit_replace_range(text.field, var_lock_value_data(shown), mark.start, mark.end);
    var_unlock_value_data(shown);
    val_free(shown);
}

void show_text(const EmbedText& text, const EditMark& mark, const char* chars)
{
    text.edit_replace_range(text.field, chars, mark.start, mark.end);
}

void evaluate_run(const EmbedText& text, const EditMark& mark, uint32_t icon)
{
    uint32_t resolved = lib_resolve_icon(icon);
    if (resolved == 0)
        return;
    std::vector<uint8_t> code;
    // Copied: a run may change the icon it reads.
    if (!node_prop_bytes(resolved, uint16_t(mark.data), code)) {
        show_text(text, mark, "");
        return;
    }
    set_eval_context(icon);
    ScriptValue value;
    eval_code(resolved, code.data(), code.size(), value, 1);
    set_eval_context(0);
    write_value(text, mark, value);
    val_free(value);
}

} // namespace

void embed_set_hooks(const EmbedHooks* hooks) { s_embed = hooks ? *hooks : EmbedHooks {}; }

int eval_embedded_text(const EmbedText& text, uint32_t icon, EmbedMode mode)
{
    EditMark mark {};
    for (int n = 1; text.edit_get_mark(text.field, n, mark); ++n) {
        if (mark.kind != kMarkEmbedded)
            continue;
        bool has_code = mark.data != 0;
        if (mode == kEmbedEvaluate && has_code)
            evaluate_run(text, mark, icon);
        else if (mode == kEmbedPlaceholders && !has_code)
            show_text(text, mark, "\\");
        else if (mode != kEmbedPlaceholders)
            show_text(text, mark, "");
    }
    return 0;
}

int eval_embed_set_run_value(const EmbedText& text, uint32_t tag, const ScriptValue& value)
{
    EditMark mark {};
    for (int n = 1; text.edit_get_mark(text.field, n, mark); ++n) {
        if (mark.kind == kMarkEmbedded && mark.data == tag) {
            write_value(text, mark, value);
            break;
        }
    }
    return -1;
}

int eval_embed_id_range(const EmbedText& text, uint32_t* first, uint32_t* last)
{
    *first = *last = 0;
    bool any = false;
    EditMark mark {};
    for (int n = 1; text.edit_get_mark(text.field, n, mark); ++n) {
        if (mark.kind != kMarkEmbedded && mark.kind != kMarkNumbered)
            continue;
        *first = any && *first < mark.data ? *first : mark.data;
        *last = any && *last > mark.data ? *last : mark.data;
        any = true;
    }
    return any;
}

int eval_embed_count_runs(const EmbedText& text)
{
    int count = 0;
    EditMark mark {};
    for (int n = 1; text.edit_get_mark(text.field, n, mark); ++n)
        count += mark.kind == kMarkEmbedded;
    return count;
}
