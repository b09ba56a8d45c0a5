#include "runtime/text/fontrec.h"

#include "runtime/base/taglist.h"
#include "runtime/nodes/node_files.h"
#include "runtime/store/rec_store.h"

// The record's block with a use, or null with the error word cleared: a piece without a font
// map is not in error.
static MemHandle get_record(int slot, RecordId* id)
{
    uint16_t number = node_dir_word(slot, kFontMapDirWord);
    if (number == 0)
        return {};
    *id = rec_make_id(uint32_t(slot), number);
    MemHandle block = rec_get(*id);
    if (!block)
        rec_set_error_word(0);
    return block;
}

bool fontrec_field(int slot, uint16_t tag, std::vector<uint8_t>& out)
{
    out.clear();
    RecordId id = 0;
    MemHandle block = get_record(slot, &id);
    if (!block)
        return false;
    const uint8_t* list = static_cast<const uint8_t*>(mem_lock(block));
    size_t bytes = mem_size(block);
    uint16_t length = list ? taglist_item_length(list, bytes, tag) : 0;
    bool found = length > 0;
    if (found) {
        out.resize(length);
        found = taglist_get(list, bytes, tag, out.data(), length) == length;
    }
    mem_unlock(block);
    rec_release(id, kReleaseOne);
    if (!found)
        out.clear();
    return found;
}

int fontrec_exists(int slot)
{
    RecordId id = 0;
    MemHandle block = get_record(slot, &id);
    if (!block)
        return 0;
    rec_release(id, kReleaseOne);
    return 1;
}
