// The display-object record as the display lists hold it: a 50-byte little-endian header at
// the start of every record, then the kind's data. The handler field holds a 32-bit kind id
// (never an address), so a list block can be saved and restored byte for byte; the id is
// turned into a handler through the kind registry each time a message is sent.
#pragma once
#include <cstdint>

#include "platform/kernel/byte_io.h"
#include "runtime/base/rect.h"

// A rectangle list of the refresh pool: the byte offset of its first node, 0 when empty.
using RectList = uint16_t;

// Header offsets.
enum : uint32_t {
    kDobjLength = 0,  // u16, even, includes the list's own length word
    kDobjId = 2,      // u32, stamped by the list
    kDobjKind = 6,    // u32 kind id (see below)
    kDobjFlags = 10,  // u16
    kDobjBounds = 12, // RECT, stage coordinates
    kDobjUpdate = 28, // u16 RectList
    kDobjDamage = 30, // u16 RectList
    kDobjSpare = 32,  // u16 RectList word, cleared after every draw
    kDobjExtent = 34, // RECT, the area really covered
    kDobjHeaderSize = 50,
};

// Flag bits.
enum : uint16_t {
    kDobjPlaneBottom = 0x02,
    kDobjPlaneMiddle = 0x04,
    kDobjPlaneScreen = 0x08,
    kDobjPlaneBits = 0x0E,
    kDobjVisible = 0x10,
    kDobjDeleted = 0x20,
    kDobjOpaque = 0x40,
    kDobjPlaceholder = 0x100,
    kDobjTracking = 0x200,
};

// Kind ids. 0..10 are the kind table (the index a saved stage list stores); the group member
// table's 0..6 live at kDobjMemberKinds + index; kinds that neither table names (the group
// handler, the icon-object wrapper) take ids from kDobjOtherKinds on.
enum : uint32_t {
    kDobjKindBase = 0,
    kDobjKindTableSize = 11,
    kDobjMemberKinds = 0x100,
    kDobjMemberTableSize = 7,
    kDobjOtherKinds = 0x200,
    kDobjKindGroup = kDobjOtherKinds + 0,
    kDobjKindIconWrapper = kDobjOtherKinds + 1,
    kDobjKindLimit = kDobjOtherKinds + 16,
};

inline uint16_t dobj_length(const uint8_t* object) { return plat::load_u16le(object + kDobjLength); }
inline uint32_t dobj_id(const uint8_t* object) { return plat::load_u32le(object + kDobjId); }
inline void dobj_set_id(uint8_t* object, uint32_t id) { plat::store_u32le(object + kDobjId, id); }
inline uint32_t dobj_kind(const uint8_t* object) { return plat::load_u32le(object + kDobjKind); }
inline void dobj_set_kind(uint8_t* object, uint32_t kind) { plat::store_u32le(object + kDobjKind, kind); }
inline uint16_t dobj_flags(const uint8_t* object) { return plat::load_u16le(object + kDobjFlags); }
inline void dobj_set_flags(uint8_t* object, uint16_t flags) { plat::store_u16le(object + kDobjFlags, flags); }
inline uint16_t dobj_list_word(const uint8_t* object, uint32_t offset) { return plat::load_u16le(object + offset); }
inline void dobj_set_list_word(uint8_t* object, uint32_t offset, uint16_t list)
{
    plat::store_u16le(object + offset, list);
}

// A RECT field of the record (kDobjBounds, kDobjExtent).
inline Rect dobj_rect(const uint8_t* object, uint32_t offset)
{
    const uint8_t* p = object + offset;
    return Rect{int32_t(plat::load_u32le(p)), int32_t(plat::load_u32le(p + 4)), int32_t(plat::load_u32le(p + 8)),
        int32_t(plat::load_u32le(p + 12))};
}
inline void dobj_set_rect(uint8_t* object, uint32_t offset, const Rect& rect)
{
    uint8_t* p = object + offset;
    plat::store_u32le(p, uint32_t(rect.left));
    plat::store_u32le(p + 4, uint32_t(rect.top));
    plat::store_u32le(p + 8, uint32_t(rect.right));
    plat::store_u32le(p + 12, uint32_t(rect.bottom));
}
