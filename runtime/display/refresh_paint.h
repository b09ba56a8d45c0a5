// Painting one plane of the refresh: collecting the objects' damage, copying from the plane
// below (or filling the background), drawing the objects, and the screen plane's extras.
#pragma once
#include <cstdint>

#include "platform/window/window_types.h"
#include "runtime/display/refresh.h"

struct DisplayList;

// Paints the plane whose bits are mask into target: the damage list, collected and merged,
// comes back with what the objects answered, for the plane above.
RectList refresh_paint_plane(RectList damage, int mask, plat::DcHandle source, plat::DcHandle target);
// Walks the list from the back: each object sharing a bit with mask gets the running list in
// front of its update list and draws (message 0) or drops it (23); a nonzero answer becomes
// the running list; its list words are then zeroed. Answers the final running list.
RectList dlist_draw_plane(DisplayList& list, int mask, RectList rects, plat::DcHandle dc);
// Excludes from the DC's clip region the bounds of the visible objects sharing a bit with
// mask: all of them, or only the opaque ones.
enum class ExcludeWhich { opaque, all };
void screen_exclude_objects(DisplayList& list, int mask, ExcludeWhich which, plat::DcHandle dc);
// Zeroes the update, damage and spare list words of every object, group members too.
void refresh_clear_object_lists(DisplayList& list);

// The refresh's state that painting reads.
bool refresh_flash_on();
plat::DcHandle refresh_screen_dc();
TransitionPainter refresh_painter();
const Rect& refresh_stage();
void refresh_sound_service();
