// Update regions and the paint cycle. Invalidation adds rectangles, clipped to the client area,
// to a window's update region (a list of disjoint rectangles), and also to its children's when
// it lacks WS_CLIPCHILDREN; a visible window with an update region gets WM_PAINT when nothing
// else is pending; begin_paint sends WM_NCPAINT and WM_ERASEBKGND as needed, validates the
// region and hands out a DC clipped to it.
#pragma once
#include <cstdint>

#include "platform/window/geometry.h"
#include "platform/window/message.h"
#include "platform/window/window_types.h"

namespace plat {

struct PaintStruct {
    DcHandle hdc;
    bool erase = false; // the background is still to be erased (WM_ERASEBKGND answered 0)
    Rect paint;         // bounds of the update region, client coordinates
};

enum : uint32_t {
    RDW_INVALIDATE = 0x0001,
    RDW_INTERNALPAINT = 0x0002,
    RDW_ERASE = 0x0004,
    RDW_VALIDATE = 0x0008,
    RDW_NOINTERNALPAINT = 0x0010,
    RDW_NOERASE = 0x0020,
    RDW_NOCHILDREN = 0x0040,
    RDW_ALLCHILDREN = 0x0080,
    RDW_UPDATENOW = 0x0100,
    RDW_ERASENOW = 0x0200,
    RDW_FRAME = 0x0400,
    RDW_NOFRAME = 0x0800,
};

// InvalidateRect: a null rect means the whole client area; a null window every window.
bool invalidate_rect(WindowHandle window, const Rect* rect, bool erase);
// ValidateRect: a null rect validates the whole update region.
bool validate_rect(WindowHandle window, const Rect* rect);
// GetUpdateRect: whether the window has an update region; rect (may be null) gets its bounds.
// With erase, a pending WM_ERASEBKGND is sent now.
bool get_update_rect(WindowHandle window, Rect* rect, bool erase);
// The update region as disjoint rectangles in client coordinates (GetUpdateRgn without
// region objects).
bool get_update_rects(WindowHandle window, RectList& out);
DcHandle begin_paint(WindowHandle window, PaintStruct& paint);
bool end_paint(WindowHandle window, const PaintStruct& paint);
// UpdateWindow: sends WM_PAINT now to the window and its descendants that need it.
bool update_window(WindowHandle window);
// RedrawWindow with the RDW_ flags (rect null: the whole client area).
bool redraw_window(WindowHandle window, const Rect* rect, uint32_t flags);

// For the window layer.
// The WM_PAINT that peek would return: the first window needing paint, parents before
// children and front windows first; the filter (when not null) must match.
bool paint_next_message(Msg& out, WindowHandle filter);
// Around the dispatch of WM_PAINT: a procedure that neither begins painting nor validates gets
// its region validated, so that WM_PAINT does not come back for ever.
void paint_before_dispatch(WindowHandle window);
void paint_after_dispatch(WindowHandle window);
// The whole window needs painting: frame, client area and background.
void paint_invalidate_window(WindowHandle window);
// Paints now what cannot wait for WM_PAINT: the frames and backgrounds of the window and its
// descendants (as a window being shown or sized gets them).
void paint_frames_and_erase_now(WindowHandle window);
void paint_reset();

} // namespace plat
