#include "runtime/engine/icon_state.h"

#include "platform/kernel/byte_io.h"
#include "runtime/base/errcode.h"
#include "runtime/engine/urec.h"
#include "runtime/nodes/node_attr.h"
#include "runtime/nodes/node_tree.h"
#include "runtime/pieces/piece_current.h"
#include "runtime/store/rec_store.h"

#include <vector>

namespace {

struct StateBlock {
    std::vector<uint8_t> bytes;
    uint16_t record = 0;
};

StateBlock s_states;

constexpr size_t kStatesSavedSize = 10;
constexpr uint32_t kBlockMarker = 1;

} // namespace

// The entry's offset, or 0 when the icon has none.
static size_t entry_offset(IconId icon)
{
    if (icon == 0 || node_icon_slot(icon) != uint32_t(piece_slot()))
        return 0;
    size_t offset = 4 + 4 * size_t(node_icon_number(icon));
    return offset + 4 <= s_states.bytes.size() ? offset : 0;
}

uint16_t icon_state_word(IconId icon)
{
    size_t at = entry_offset(icon);
    return at ? plat::load_u16le(&s_states.bytes[at]) : 0;
}

void icon_state_set_word(IconId icon, uint16_t word)
{
    if (size_t at = entry_offset(icon))
        plat::store_u16le(&s_states.bytes[at], word);
}

uint8_t icon_state_matches(IconId icon)
{
    size_t at = entry_offset(icon);
    return at ? s_states.bytes[at + 2] : 0;
}

void icon_state_set_matches(IconId icon, uint8_t count)
{
    if (size_t at = entry_offset(icon))
        s_states.bytes[at + 2] = count;
}

uint8_t icon_state_flags(IconId icon)
{
    size_t at = entry_offset(icon);
    return at ? s_states.bytes[at + 3] : 0;
}

void icon_state_set_flags(IconId icon, uint8_t flags)
{
    if (size_t at = entry_offset(icon))
        s_states.bytes[at + 3] = flags;
}

uint16_t icon_state_seq(IconId icon) { return icon_state_word(icon) & kIconSeqMask; }

void icon_state_set_seq(IconId icon, uint16_t number)
{
    icon_state_set_word(icon, uint16_t((icon_state_word(icon) & ~kIconSeqMask) | (number & kIconSeqMask)));
}

uint32_t icon_state_block_size() { return uint32_t(s_states.bytes.size()); }

static uint32_t expected_size()
{
    return 4 + 4 * node_file_node_count(piece_slot());
}

static int initial_entry(IconId icon, void* user)
{
    auto& bytes = *static_cast<std::vector<uint8_t>*>(user);
    size_t at = 4 + 4 * size_t(node_icon_number(icon));
    if (at + 4 > bytes.size())
        return 1;
    int kind = node_kind(icon);
    uint16_t word = kIconDragMode4 | kIconMatchClear;
    if ((kind == kKindDisplay || kind == kKindInteraction || kind == kKindMovie || kind == kKindSprite)
        && node_get_attr(icon, kAttrMovable))
        word |= kIconMovable;
    if (node_parent_is_interaction(icon))
        word |= uint16_t((node_get_attr(icon, kAttrBranchKind) & 3) << kIconBranchShift);
    uint8_t flags = 0;
    if (kind == kKindInteraction && node_get_attr(icon, kAttrTracking))
        flags |= kIconTracking;
    plat::store_u16le(&bytes[at], word);
    bytes[at + 3] = flags;
    return 1;
}

// The piece's own initial block when it has one of the right size, else one computed from the
// icons.
static int build_initial_block(std::vector<uint8_t>& out)
{
    int slot = piece_slot();
    uint32_t size = expected_size();
    uint16_t stored = slot ? node_dir_word(slot, kDirInitialStates) : 0;
    if (stored) {
        RecordId id = RecordId(uint32_t(slot) << 16 | stored);
        MemHandle block = rec_get(id);
        if (block) {
            uint32_t length = rec_size(id, kSizeUnpacked);
            const uint8_t* bytes = static_cast<const uint8_t*>(mem_address(block));
            // A block of another size belongs to another version of the piece.
            bool fits = length == size && plat::load_u32le(bytes) == kBlockMarker;
            if (fits)
                out.assign(bytes, bytes + length);
            rec_release(id, kReleaseOne);
            if (fits)
                return 0;
        }
    }
    out.assign(size, 0);
    plat::store_u32le(out.data(), kBlockMarker);
    if (IconId top = piece_top_icon())
        node_walk(top, kWalkTree, initial_entry, &out);
    return 0;
}

static void write_small_state(uint8_t* out)
{
    plat::store_u16le(out, s_states.record);
    plat::store_u32le(out + 2, 0); // the handle slot means nothing in another run
    plat::store_u32le(out + 6, uint32_t(s_states.bytes.size()));
}

static int states_init(ModuleMessage* message)
{
    s_states = StateBlock {};
    if (int error = build_initial_block(s_states.bytes))
        return error;
    s_states.record = urec_new_id();
    if (s_states.record == 0)
        return kErrOutOfMemory;
    if (int error = urec_write(s_states.record, s_states.bytes.data(), s_states.bytes.size()))
        return error;
    message->size = int16_t(kStatesSavedSize);
    if (message->state)
        write_small_state(message->state);
    return 0;
}

static int states_restore(ModuleMessage* message)
{
    if (message->size != int16_t(kStatesSavedSize) || !message->state)
        return kErrStateSize;
    uint16_t record = plat::load_u16le(message->state);
    uint32_t size = plat::load_u32le(message->state + 6);
    std::vector<uint8_t> bytes;
    if (record == 0 || urec_read(record, bytes) != 0)
        return kErrOutOfMemory;
    if (size != expected_size() || bytes.size() != size || plat::load_u32le(bytes.data()) != kBlockMarker)
        return kErrStateSize;
    s_states.bytes = std::move(bytes);
    s_states.record = record;
    return 0;
}

int icon_states_module(ModuleMessage* message)
{
    switch (message->message) {
    case kModInit: return states_init(message);
    case kModRestore: return states_restore(message);
    case kModSave:
        if (message->size != int16_t(kStatesSavedSize) || !message->state)
            return kErrStateSize;
        write_small_state(message->state);
        return urec_write(s_states.record, s_states.bytes.data(), s_states.bytes.size());
    case kModRelease:
        urec_release(s_states.record);
        s_states = StateBlock {};
        return 0;
    case kModDelete:
        if (s_states.record)
            (void)urec_delete(s_states.record);
        s_states = StateBlock {};
        return 0;
    default: return 0;
    }
}
