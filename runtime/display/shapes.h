// Line, rectangle and oval display objects, the members a Display icon and the graphics
// functions put into groups. Each keeps the 48 stored bytes of its DrawStyle after the header;
// a line also keeps its end points and which corner of its rectangle the start point is.
#pragma once
#include <cstdint>

#include "runtime/display/dlist.h"
#include "runtime/display/dobj.h"
#include "runtime/display/gdi_draw.h"

// Record layouts.
enum : uint32_t {
    kShapeStyle = kDobjHeaderSize,                    // DrawStyle, 48 bytes
    kShapeRecordSize = kShapeStyle + kDrawStyleStoredSize, // rectangles and ovals: 98
    kLineStart = kShapeRecordSize,                    // 2 x i32
    kLineEnd = kLineStart + 8,                        // 2 x i32
    kLineCorner = kLineEnd + 8,                       // i16 corner code of the start point
    kLineRecordSize = kLineCorner + 2,                // 116
};

// The sub-codes of message 11 that move one end of a line to the argument's point.
enum : int16_t { kLineMoveStart = 9, kLineMoveEnd = 10 };

int32_t dobj_line_handler(uint8_t* object, int message, DisplayMsgArg* arg);
int32_t dobj_rect_handler(uint8_t* object, int message, DisplayMsgArg* arg);
int32_t dobj_oval_handler(uint8_t* object, int message, DisplayMsgArg* arg);

// Appends a member to the list (flags: visible and the planes); the new id or 0.
uint32_t shape_add_line(DisplayList& list, const DrawStyle& style, Point start, Point end, uint16_t flags);
// kind_index is kMemberRect or kMemberOval of the group member table.
uint32_t shape_add_box(DisplayList& list, uint32_t kind_index, const DrawStyle& style, const Rect& bounds,
    uint16_t flags);

// The rectangle a line object covers with its pen and arrow heads.
Rect shape_line_drawing_rect(const uint8_t* line);
