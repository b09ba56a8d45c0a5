// Inside the edit-field modules: paragraph settings of a style, text measured run by run with
// each run's font, and the segments of one laid-out line (text, tab and justification gaps)
// that drawing, hit testing and caret placement all walk, so the three agree to the pixel.
#pragma once
#include <cstdint>
#include <utility>
#include <vector>

#include "runtime/display/font.h"
#include "runtime/ui/edit_access.h"

struct EditParagraph {
    int alignment = 0; // 0 left, 1 centre, 2 right, 3 justified
    int32_t first_indent = 0;
    int32_t left = 0; // limits in layout coordinates
    int32_t right = 0;
    std::vector<int32_t> tabs; // from the tab base; negative: decimal
};

// The paragraph settings of the style, the first indent corrected to start neither left of
// the layout rectangle nor within 20 pixels of the right limit.
void edit_paragraph_of(const EditField* record, int style, EditParagraph* out);
// The settings of the paragraph that holds position.
void edit_paragraph_at(const EditField* record, int32_t position, EditParagraph* out);
// Start of the paragraph that holds position.
int32_t edit_paragraph_start(const EditField* record, int32_t position);

// The line that holds position: the last whose first character is at or before it.
int32_t edit_line_holding(const EditField* record, int32_t position);

// Fonts of one operation on one DC (the screen's without one); each style's font is made once
// and the DC's own font is put back at the end.
enum EditFontUse { kEditMeasuring = 0, kEditDrawing = 1 };

class EditMeasure {
public:
    // Drawing double-byte text makes underlined styles' fonts without the underline: the
    // painter underlines whole runs itself, gaps included.
    EditMeasure(const EditField* record, plat::DcHandle dc, EditFontUse use = kEditMeasuring);
    ~EditMeasure();
    EditMeasure(const EditMeasure&) = delete;
    EditMeasure& operator=(const EditMeasure&) = delete;

    plat::DcHandle dc() const { return dc_; }
    // Selects the style's font (a style without one keeps the DC's font); its metrics.
    const StockFont& use_style(int style);
    // Width of count bytes from position, each run with its font; hidden runs count 0.
    int32_t width(int32_t position, int32_t count);
    // The same, stopping once it passes limit (any result above limit means "does not fit"),
    // so a long word is not measured whole on every line it is tried on.
    int32_t width_up_to(int32_t position, int32_t count, int32_t limit);
    // Width of bytes in the font selected last.
    int32_t plain_width(const char* bytes, int32_t count);

private:
    const EditField* record_;
    plat::DcHandle dc_;
    bool own_dc_ = false;
    EditFontUse use_;
    plat::GdiObject original_ {};
    bool selected_ = false;
    int current_ = -1;
    StockFont none_ {};
    std::vector<std::pair<int, StockFont>> fonts_;
};

// The x of the stop that a TAB at x moves to, or -1 without a usable stop. after: the text
// after the TAB, for a decimal stop.
int32_t edit_tab_stop(EditMeasure& measure, const EditField* record, const EditParagraph& para, int32_t x,
    int32_t after);

enum EditSegmentKind : uint8_t {
    kSegmentText = 0,
    kSegmentTab = 1, // a TAB moved to its stop
    kSegmentTabSpace = 2, // a TAB without a stop, drawn as a space
    kSegmentGap = 3, // a blank or a word boundary that justification widens by extra
};

struct EditSegment {
    int32_t from = 0;
    int32_t to = 0;
    int32_t x = 0;
    int32_t width = 0; // without extra
    int32_t extra = 0; // justification pixels after the segment
    int32_t run = 0;
    EditSegmentKind kind = kSegmentText;
};

// The segments of line n in order; whether the line is justified.
bool edit_line_segments(EditMeasure& measure, const EditField* record, int32_t line, std::vector<EditSegment>& out);
// The x where the position's caret stands on the line.
int32_t edit_x_of_position(EditMeasure& measure, const EditField* record, int32_t line, int32_t position);
