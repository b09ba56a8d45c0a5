#include "runtime/nodes/node_attr.h"

#include "platform/kernel/byte_io.h"
#include "runtime/nodes/node_group.h"
#include "runtime/nodes/node_tree.h"

#include <algorithm>
#include <cstring>

namespace {

// The parts of a descriptor.
struct Descriptor {
    uint32_t kind;
    uint32_t offset;
    uint32_t shift;
    uint32_t low; // mask or byte count
};

Descriptor split(uint32_t descriptor)
{
    return { descriptor >> 24, (descriptor >> 16) & 0xFF, (descriptor >> 8) & 0xFF,
        descriptor & 0xFF };
}

// A computed attribute that stands for another descriptor, chosen by the icon kind. Rows:
// Display, Motion, Interaction, Movie, Sprite; 0 where a kind has no such field.
struct KindRow {
    int kind;
    uint32_t effect_field; // computed 5: a 4-bit field of the kind block
    uint32_t flag9; // computed 9 (others: header bit 21)
    uint32_t option10; // computed 10
};

const KindRow kKindRows[] = {
    { kKindDisplay, 0x20604F0, 0x2030410, 0x2060204 },
    { kKindMotion, 0x20004F0, 0, 0 },
    { kKindInteraction, 0x20704F0, 0x2030410, 0x2080102 },
    { kKindMovie, 0x20404F0, 0x2030410, 0x2050204 },
    { kKindSprite, 0x20604F0, 0x2030410, 0x2060204 },
};

const KindRow* row_of(int kind)
{
    for (const KindRow& row : kKindRows)
        if (row.kind == kind)
            return &row;
    return nullptr;
}

uint32_t word0_of(const NodeHeaderRef& h) { return plat::load_u32le(h.bytes); }
int kind_of(const NodeHeaderRef& h) { return int(word0_of(h) >> 28); }
int layout_class_of(const NodeHeaderRef& h) { return int((word0_of(h) >> 24) & 0xF); }

// count bytes at offset of the layout block (descriptor kinds 1 and 3) or the kind block
// (2 and 4); null when the block does not exist or the bytes pass the header's end.
uint8_t* block_bytes(const NodeHeaderRef& h, uint32_t descriptor_kind, uint32_t offset, uint32_t count)
{
    if (h.size == 0 || kind_of(h) == kKindFree)
        return nullptr;
    uint32_t base = kNodeHeaderFixed;
    if (descriptor_kind == 1 || descriptor_kind == 3) {
        if (layout_class_of(h) == 0)
            return nullptr;
    } else {
        base += node_layout_block_size(layout_class_of(h));
    }
    if (base > h.size || offset + count > h.size - base)
        return nullptr;
    return h.bytes + base + offset;
}

// What a computed attribute stands for: another descriptor, or (kHeaderBit*) a bit of word 0.
constexpr uint32_t kHeaderBit20 = 0xFFFFFF20;
constexpr uint32_t kHeaderBit21 = 0xFFFFFF21;

uint32_t computed_target(IconId icon, const NodeHeaderRef& h, uint32_t number)
{
    int kind = kind_of(h);
    const KindRow* row = row_of(kind);
    switch (number) {
    case kAttrFlag20:
        return kHeaderBit20;
    case kAttrPerpetual:
        if (kind == kKindInteraction)
            return 0x2080640;
        return node_parent_is_decision(icon) ? 0x1000520 : 0;
    case kAttrEffectField:
        return row ? row->effect_field : 0;
    case kAttrOption7:
        if (kind == kKindInteraction)
            return 0x2080430;
        return layout_class_of(h) != 0 ? 0x10006C0 : 0;
    case kAttrFlag9:
        return row && row->flag9 ? row->flag9 : kHeaderBit21;
    case kAttrOption10:
        return row ? row->option10 : 0;
    default:
        return 0;
    }
}

uint32_t read_plain(const NodeHeaderRef& h, uint32_t descriptor)
{
    Descriptor d = split(descriptor);
    if (d.kind == 1 || d.kind == 2) {
        const uint8_t* byte = block_bytes(h, d.kind, d.offset, 1);
        return byte ? (*byte & d.low) >> d.shift : 0;
    }
    if (d.low != 1 && d.low != 2)
        return 0;
    const uint8_t* bytes = block_bytes(h, d.kind, d.offset, d.low);
    if (!bytes)
        return 0;
    return d.low == 1 ? bytes[0] : plat::load_u16le(bytes);
}

void write_plain(const NodeHeaderRef& h, uint32_t descriptor, uint32_t value)
{
    Descriptor d = split(descriptor);
    if (d.kind == 1 || d.kind == 2) {
        if (uint8_t* byte = block_bytes(h, d.kind, d.offset, 1))
            *byte = uint8_t((*byte & ~d.low) + ((value << d.shift) & d.low));
        return;
    }
    if (d.low != 1 && d.low != 2)
        return;
    uint8_t* bytes = block_bytes(h, d.kind, d.offset, d.low);
    if (bytes && d.low == 1)
        bytes[0] = uint8_t(value);
    else if (bytes)
        plat::store_u16le(bytes, uint16_t(value));
}

void set_header_bit(const NodeHeaderRef& h, uint32_t bit, uint32_t value)
{
    if (h.size == 0)
        return;
    uint32_t word0 = word0_of(h);
    plat::store_u32le(h.bytes, value ? word0 | bit : word0 & ~bit);
}

} // namespace

uint32_t node_get_attr(IconId icon, uint32_t descriptor)
{
    if (node_icon_number(icon) == 0 || descriptor > kAttrKindMax)
        return 0;
    NodeHeaderRef h = node_header_ref(icon);
    if (kind_of(h) == kKindFree)
        return 0;
    if (descriptor >> 24 != 0)
        return read_plain(h, descriptor);
    uint32_t number = descriptor & 0xFF;
    if (number == kAttrLayoutClass)
        return uint32_t(layout_class_of(h));
    if (number == kAttrLinkFlag)
        return node_link_table_entry(int(node_icon_slot(icon)), node_icon_number(icon)) & 1;
    uint32_t target = computed_target(icon, h, number);
    h = node_header_ref(icon); // the parent's group may have loaded: addresses are read again
    if (target == kHeaderBit20)
        return (word0_of(h) >> 20) & 1;
    if (target == kHeaderBit21)
        return (word0_of(h) >> 21) & 1;
    return target != 0 ? read_plain(h, target) : 0;
}

void node_set_attr(IconId icon, uint32_t descriptor, uint32_t value)
{
    if (node_icon_number(icon) == 0 || descriptor > kAttrKindMax)
        return;
    NodeHeaderRef h = node_header_ref(icon);
    if (descriptor >> 24 != 0) {
        write_plain(h, descriptor, value);
        return;
    }
    uint32_t number = descriptor & 0xFF;
    if (number == kAttrLayoutClass)
        return;
    if (number == kAttrLinkFlag) {
        if (h.size != 0)
            node_link_table_set_bit(int(node_icon_slot(icon)), node_icon_number(icon), value != 0);
        return;
    }
    uint32_t target = computed_target(icon, h, number);
    h = node_header_ref(icon);
    if (target == kHeaderBit20)
        set_header_bit(h, kHeaderFlag20, value);
    else if (target == kHeaderBit21)
        set_header_bit(h, kHeaderFlag21, value);
    else if (target != 0)
        write_plain(h, target, value);
}

int node_read_attr(IconId icon, uint32_t descriptor, void* out)
{
    Descriptor d = split(descriptor);
    if (node_icon_number(icon) == 0 || (d.kind != 3 && d.kind != 4))
        return 0;
    const uint8_t* bytes = block_bytes(node_header_ref(icon), d.kind, d.offset, d.low);
    if (!bytes)
        return 0;
    std::memcpy(out, bytes, d.low);
    return 1;
}

int node_write_attr(IconId icon, uint32_t descriptor, const void* bytes)
{
    Descriptor d = split(descriptor);
    if (node_icon_number(icon) == 0 || (d.kind != 3 && d.kind != 4))
        return 0;
    uint8_t* at = block_bytes(node_header_ref(icon), d.kind, d.offset, d.low);
    if (!at)
        return 0;
    std::memcpy(at, bytes, d.low);
    return 1;
}

int node_get_rect(IconId icon, Rect& out)
{
    out = Rect {};
    int layout_class = node_header_ref(icon).bytes[3] & 0xF;
    uint8_t bytes[8];
    if ((layout_class != 3 && layout_class != 4 && layout_class != 7 && layout_class != 11)
        || !node_read_attr(icon, kAttrResponseRect, bytes))
        return 0;
    int32_t edge[4];
    for (int n = 0; n < 4; n++)
        edge[n] = std::clamp<int32_t>(int16_t(plat::load_u16le(bytes + 2 * n)), -1000, 2000);
    out = Rect { edge[0], edge[1], std::max(edge[2], edge[0]), std::max(edge[3], edge[1]) };
    return out.left != 0 || out.top != 0 || out.right != 0 || out.bottom != 0 ? 1 : 0;
}

uint32_t node_class_flag_bits(IconId icon)
{
    switch (node_header_ref(icon).bytes[3] & 0xF) {
    case 3:
        return node_get_attr(icon, 0x10B0204);
    case 4:
        return node_get_attr(icon, 0x1090410);
    case 7:
        return node_get_attr(icon, 0x10B0520);
    default:
        return 0;
    }
}

uint16_t node_content_record(IconId icon)
{
    int kind = node_header_kind(icon);
    if (kind != kKindDisplay && kind != kKindInteraction && kind != kKindSprite)
        return 0;
    return uint16_t(node_get_attr(icon, kAttrContentRecord));
}
