// Icon attributes: the small fixed fields of a node's header named by a 32-bit descriptor
// kind << 24 | offset << 16 | shift << 8 | mask or byte count. Kind 1 is a bit field of the
// layout block (header offset 10, sized by the layout class), kind 2 one of the kind block
// (after the layout block), kinds 3 and 4 bytes of those blocks, kind 0 a computed attribute
// whose place depends on the icon kind. Changes live in the loaded header group only and are
// never written back to the file.
//
// A header is as long as its group says; bytes past its end read as 0 and are never written,
// so a descriptor cannot reach into the next node.
#pragma once
#include "runtime/nodes/node_files.h"
#include "runtime/base/rect.h"

#include <cstdint>

constexpr uint32_t kAttrKindMax = 0x4FFFFFF; // above: not an attribute

// Computed attributes (kind 0).
enum : uint32_t {
    kAttrLayoutClass = 0,
    kAttrFlag20 = 1,
    kAttrPerpetual = 4,
    kAttrEffectField = 5,
    kAttrLinkFlag = 6,
    kAttrOption7 = 7,
    kAttrFlag9 = 9,
    kAttrOption10 = 10,
};

// Descriptors with a fixed use in the node store.
enum : uint32_t {
    kAttrResponseRect = 0x3010008, // layout bytes 1-8: four i16
    kAttrLinkNumber = 0x4000002, // Display, Interaction, Calc, Movie, Sound
    kAttrFrameworkList3 = 0x4000002,
    kAttrFrameworkList4 = 0x4020002,
    kAttrContentRecord = 0x4040002, // Display, Interaction, Sprite
    kAttrNavigateNoDescription = 0x2030520,
    kAttrTitleBar = 0x2000102, // top icon
    kAttrMenuBar = 0x2000204,
    kAttrResume = 0x2000308,
    kAttrPresentationSize = 0x20004F0,
    kAttrLinksByName = 0x2010410,
};

// The value: a bit field, a 1- or 2-byte value, or a computed one; 0 for node 0, a free node,
// a missing block, bytes past the header or a descriptor above 0x4FFFFFF.
uint32_t node_get_attr(IconId icon, uint32_t descriptor);
// Stores the value where the block exists; computed attributes go where they read from.
void node_set_attr(IconId icon, uint32_t descriptor, uint32_t value);
// Kinds 3 and 4: 1 when the block exists and its byte count bytes were copied to out.
int node_read_attr(IconId icon, uint32_t descriptor, void* out);
// Kinds 3 and 4: 1 when the bytes were stored.
int node_write_attr(IconId icon, uint32_t descriptor, const void* bytes);

// The response rectangle of layout classes 3, 4, 7 and 11, each edge clamped to -1000..2000,
// right at least left and bottom at least top: nonzero unless all four are 0. Others give 0.
int node_get_rect(IconId icon, Rect& out);
// The response's area-by-expressions flag from its layout block; 0 for other classes.
uint32_t node_class_flag_bits(IconId icon);
// The content record of Display, Interaction and Sprite icons; 0 for other kinds.
uint16_t node_content_record(IconId icon);
