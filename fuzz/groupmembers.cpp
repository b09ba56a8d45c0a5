// Any bytes as the saved member list of a group on the stage: restored (a damaged list leaves
// the group empty), then asked for bounds and hits, resized, forwarded to, saved again and
// destroyed. A list that restores must save back to the same bytes but for the kinds.
#include <cstdint>
#include <cstring>
#include <vector>

#include "runtime/display/dlist.h"
#include "runtime/display/dobj.h"
#include "runtime/display/group.h"

namespace {

void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

struct Io {
    const uint8_t* data;
    size_t size;
    std::vector<uint8_t> saved;
};

int32_t stream(int tag, void* bytes, int32_t size, void* context)
{
    auto& io = *static_cast<Io*>(context);
    if (bytes) {
        io.saved.assign(static_cast<const uint8_t*>(bytes), static_cast<const uint8_t*>(bytes) + size);
        return 0;
    }
    if (tag != kGroupPieceTag || io.size == 0)
        return 0;
    return int32_t(mem_alloc_copy(io.data, io.size).id);
}

int32_t send(uint32_t id, int message, DisplayMsgArg& arg)
{
    DisplayList& stage = dlist_stage();
    dlist_lock(stage);
    int32_t answer = dobj_send(dlist_find_top(stage, id), message, &arg);
    dlist_unlock(stage);
    return answer;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<uint8_t> record(kDobjHeaderSize + kDlistHeaderSize, 0);
    std::memcpy(record.data(), "\x42\x00", 2); // its length, 66
    dobj_set_kind(record.data(), kDobjKindGroup);
    dobj_set_flags(record.data(), kDobjVisible | kDobjPlaneBottom);
    uint32_t id = dlist_append(dlist_stage(), record.data());
    Io io{data, size, {}};
    DisplayMsgArg arg;
    arg.stream = stream;
    arg.caller_data = &io;
    send(id, 67, arg);
    bool restored = arg.sub_code == 0 && size > 0;
    static const int kAsked[] = {kMsgComputeExtent, 21, kMsgGetBounds, kMsgHitTest, kMsgHitByPoint, kMsgUpdate,
        kMsgDamage, kMsgTakeDamage, kMsgSetPlane};
    for (int message : kAsked) {
        arg = DisplayMsgArg{};
        arg.x = 10;
        arg.y = 10;
        arg.sub_code = kDobjPlaneMiddle;
        send(id, message, arg);
    }
    arg = DisplayMsgArg{};
    arg.sub_code = kHandleBottomRight;
    arg.rect = Rect{0, 0, 300, 20};
    send(id, kMsgSetBounds, arg);
    DisplayMsgArg inner;
    dobj_send_by_id(id + 1, kMsgGetBounds, &inner);
    arg = DisplayMsgArg{};
    arg.stream = stream;
    arg.caller_data = &io;
    send(id, 66, arg);
    if (restored)
        check(io.saved.size() == size);
    arg = DisplayMsgArg{};
    send(id, kMsgDestroy, arg);
    dlist_reset();
    return 0;
}
