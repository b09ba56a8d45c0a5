// Handle kinds that the window layer shares with the drawing, cursor and menu layers. Each is
// a 32-bit id; the layer that owns the kind makes and checks them.
#pragma once
#include "platform/kernel/handle.h"

namespace plat {

using DcHandle = Handle<struct DcTag>;         // HDC
using GdiObject = Handle<struct GdiObjectTag>; // HGDIOBJ: brushes, and later pens, fonts, bitmaps
using CursorHandle = Handle<struct CursorTag>; // HCURSOR
using IconHandle = Handle<struct IconTag>;     // HICON
using MenuHandle = Handle<struct MenuTag>;     // HMENU

} // namespace plat
