// The classic flat-3D look that controls, dialogs and message boxes are drawn in, with Win32's
// DrawEdge, DrawFrameControl and DrawFocusRect: bevels of the system colours (light from the
// top left), check boxes, radio buttons, push buttons and scroll arrows, and the dotted focus
// rectangle. Labels draw through DrawText; a disabled one is embossed.
#pragma once
#include <cstdint>
#include <string_view>

#include "platform/window/geometry.h"
#include "platform/window/message.h"
#include "platform/window/window_types.h"

namespace plat {

// DrawEdge: the kinds of bevel and the sides drawn.
enum : uint32_t {
    BDR_RAISEDOUTER = 0x0001,
    BDR_SUNKENOUTER = 0x0002,
    BDR_RAISEDINNER = 0x0004,
    BDR_SUNKENINNER = 0x0008,
    EDGE_RAISED = BDR_RAISEDOUTER | BDR_RAISEDINNER,
    EDGE_SUNKEN = BDR_SUNKENOUTER | BDR_SUNKENINNER,
    EDGE_ETCHED = BDR_SUNKENOUTER | BDR_RAISEDINNER,
    EDGE_BUMP = BDR_RAISEDOUTER | BDR_SUNKENINNER,
    BF_LEFT = 0x0001,
    BF_TOP = 0x0002,
    BF_RIGHT = 0x0004,
    BF_BOTTOM = 0x0008,
    BF_RECT = 0x000F,
    BF_MIDDLE = 0x0800,  // fills the inside with the face colour
    BF_ADJUST = 0x2000,  // the rectangle shrinks to the inside
    BF_FLAT = 0x4000,    // one shadow line in place of the bevel
    BF_MONO = 0x8000,    // one black line
};

// DrawFrameControl: kinds and states.
enum : uint32_t {
    DFC_SCROLL = 3,
    DFC_BUTTON = 4,
    DFCS_BUTTONCHECK = 0x0000,
    DFCS_BUTTONRADIO = 0x0004,
    DFCS_BUTTON3STATE = 0x0008,
    DFCS_BUTTONPUSH = 0x0010,
    DFCS_SCROLLUP = 0x0000,
    DFCS_SCROLLDOWN = 0x0001,
    DFCS_SCROLLLEFT = 0x0002,
    DFCS_SCROLLRIGHT = 0x0003,
    DFCS_SCROLLCOMBOBOX = 0x0005,
    DFCS_INACTIVE = 0x0100,
    DFCS_PUSHED = 0x0200,
    DFCS_CHECKED = 0x0400,
    DFCS_FLAT = 0x4000,
    DFCS_MONO = 0x8000,
};

// Side of the check box and radio button glyphs.
constexpr int32_t kCheckBoxSize = 13;

bool draw_edge(DcHandle dc, Rect& rect, uint32_t edge, uint32_t flags);
// DrawFrameControl: the glyph is centred in rect (check and radio) or fills it.
bool draw_frame_control(DcHandle dc, Rect& rect, uint32_t type, uint32_t state);
// DrawFocusRect: a dotted outline inverted on the DC; drawing it twice takes it away.
bool draw_focus_rect(DcHandle dc, const Rect& rect);

// For the controls.
// Fills with a system colour.
void ctl_draw_fill(DcHandle dc, const Rect& rect, int color_index);
// A label through DrawText in the DC's font, transparent; disabled labels are embossed in the
// highlight and shadow colours. Answers the text's height.
enum class LabelState { enabled, disabled };
int ctl_draw_label(DcHandle dc, std::string_view text, Rect rect, uint32_t format, LabelState state);
// WM_PAINT of a control that draws all of itself through painter; answers 0.
using CtlPainter = void (*)(WindowHandle window, DcHandle dc);
LResult ctl_draw_on_paint(WindowHandle window, CtlPainter painter);

} // namespace plat
