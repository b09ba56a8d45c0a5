// Drawing edit fields: the visible lines of a laid-out field, run by run in each run's font and
// colour, in the field's draw mode, with highlight marks behind the text and justified lines
// spread to the right limit.
#pragma once
#include <cstdint>

#include "platform/window/window_types.h"
#include "runtime/base/rect.h"
#include "runtime/ui/edit_field.h"

// Draws the part of the field inside its display rectangle and clip (null: no further clip).
void edit_draw(EditHandle field, plat::DcHandle dc, const Rect* clip);
// A one-pixel line below the baseline from x_from to x_to (nothing unless x_from < x_to).
void edit_draw_underline(plat::DcHandle dc, uint32_t color, uint32_t background, int32_t x_from, int32_t x_to,
    int32_t baseline);

// The smooth-text renderer a plug-in may offer: true when it painted the run, with its width.
// Mode: 2 masked, 1 in the background colour, 0 otherwise. Empty: every run goes to GDI.
struct EditSmoothRun {
    plat::DcHandle dc;
    int32_t x, y;
    const char* text;
    int32_t length;
    int style;
    int slot;
    int mode;
    uint32_t background;
};
using EditSmoothTextRenderer = bool (*)(const EditSmoothRun& run, int32_t* width);
void edit_set_smooth_text_renderer(EditSmoothTextRenderer renderer);
