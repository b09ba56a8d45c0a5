// Embedded expressions in displayed texts: runs of a text whose characters show the value of
// a calculation. The text's editor keeps each run as a mark; calc sits below the editor, which
// offers its marks and edits through the operations here.
#pragma once
#include <cstdint>

struct ScriptValue;

// A mark over the characters [start, end) of a text. Kind 4 marks an embedded expression whose
// data is the property tag of its code (0: none); kind 5 shares the numbering of the runs.
struct EditMark {
    int16_t start;
    int16_t end;
    uint32_t data;
    uint8_t kind;
};

enum : uint8_t {
    kMarkEmbedded = 4,
    kMarkNumbered = 5,
};

// What the editor offers for one text (field is its own).
struct EmbedText {
    void* field;
    // 0 when n (from 1) is past the last mark, else nonzero with a copy of mark n.
    int (*edit_get_mark)(void* field, int n, EditMark& out);
    // Replaces the characters [from, to) with text and moves the later marks.
    void (*edit_replace_range)(void* field, const char* text, int from, int to);
    // The number-format flags of the text style at that character.
    uint32_t (*edit_number_format_at)(void* field, int position);
};

// What the variable store offers: the icon that names of "this icon" mean while a run is
// evaluated (0 clears it). Empty: nothing is set.
struct EmbedHooks {
    void (*var_set_eval_context)(uint32_t icon);
};
void embed_set_hooks(const EmbedHooks* hooks);

enum EmbedMode : int {
    kEmbedEvaluate = 0,     // runs with code show their value, others are emptied
    kEmbedPlaceholders = 1, // runs without code show "\"
    kEmbedClear = 2,        // every run is emptied
};

// Walks the text's embedded runs in order for the icon showing the text: 0.
int eval_embedded_text(const EmbedText& text, uint32_t icon, EmbedMode mode);
// Writes the value into the first run whose tag is tag: -1.
int eval_embed_set_run_value(const EmbedText& text, uint32_t tag, const ScriptValue& value);
// 1 with the smallest and largest data of the marks of kind 4 or 5; 0 with both 0.
int eval_embed_id_range(const EmbedText& text, uint32_t* first, uint32_t* last);
int eval_embed_count_runs(const EmbedText& text);
