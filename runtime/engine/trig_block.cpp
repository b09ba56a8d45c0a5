#include "runtime/engine/trig_block.h"

#include "platform/kernel/byte_io.h"
#include "runtime/engine/trig.h"

#include <cstring>

namespace {

constexpr size_t kGrowSlack = 528;

void write_end_record(uint8_t* at)
{
    std::memset(at, 0, kTrigRecordHeadSize);
    plat::store_u16le(at + kTrigAtLength, uint16_t(kTrigRecordHeadSize));
    plat::store_u32le(at + kTrigAtKind, uint32_t(kTrigEnd));
}

} // namespace

void tblock_init(TrigBlock& block)
{
    block.bytes.assign(kGrowSlack, 0);
    write_end_record(block.bytes.data());
    block.used = uint16_t(kTrigRecordHeadSize);
    block.walk_depth = 0;
    block.needs_compaction = false;
}

int tblock_reserve(TrigBlock& block, size_t free_bytes)
{
    size_t needed = size_t(block.used) + free_bytes;
    if (needed <= block.bytes.size())
        return 1;
    size_t grown = needed + kGrowSlack;
    if (grown >= kTrigBlockLimit)
        return 0;
    block.bytes.resize(grown, 0);
    return 1;
}

int tblock_insert(TrigBlock& block, const uint8_t* record, size_t length, size_t* out)
{
    if (!tblock_reserve(block, length))
        return 0;
    size_t at = block.used - kTrigRecordHeadSize;
    *out = at;
    std::memcpy(block.bytes.data() + at, record, length);
    write_end_record(block.bytes.data() + at + length);
    block.used = uint16_t(block.used + length);
    return 1;
}

void tblock_compact(TrigBlock& block)
{
    if (block.walk_depth > 0 || !block.needs_compaction)
        return;
    size_t to = 0;
    for (size_t at = 0;;) {
        size_t length = tblock_u16(block, at, kTrigAtLength);
        bool end = tblock_at_end(block, at);
        if (end || tblock_kind(block, at) != kTrigDeleted) {
            if (to != at)
                std::memmove(block.bytes.data() + to, block.bytes.data() + at, length);
            to += length;
        }
        if (end)
            break;
        at += length;
    }
    block.used = uint16_t(to);
    block.needs_compaction = false;
}

int tblock_check(const uint8_t* bytes, size_t used)
{
    if (used < kTrigRecordHeadSize || used >= kTrigBlockLimit)
        return 0;
    for (size_t at = 0; at < used;) {
        if (used - at < kTrigRecordHeadSize)
            return 0;
        size_t length = plat::load_u16le(bytes + at + kTrigAtLength);
        if (length < kTrigRecordHeadSize
            || (length - kTrigRecordHeadSize) % kTrigDepSize != 0 || length > used - at)
            return 0;
        int32_t kind = int32_t(plat::load_u32le(bytes + at + kTrigAtKind));
        bool last = at + length == used;
        if (kind == kTrigEnd)
            return last && length == kTrigRecordHeadSize;
        if (kind < 0 || kind > kTrigPluginMedia || last)
            return 0;
        at += length;
    }
    return 0;
}

size_t tblock_next(const TrigBlock& block, size_t at) { return at + tblock_u16(block, at, kTrigAtLength); }

bool tblock_at_end(const TrigBlock& block, size_t at) { return tblock_kind(block, at) == kTrigEnd; }

uint16_t tblock_u16(const TrigBlock& block, size_t at, size_t field)
{
    return plat::load_u16le(block.bytes.data() + at + field);
}

uint32_t tblock_u32(const TrigBlock& block, size_t at, size_t field)
{
    return plat::load_u32le(block.bytes.data() + at + field);
}

void tblock_put_u16(TrigBlock& block, size_t at, size_t field, uint16_t value)
{
    plat::store_u16le(block.bytes.data() + at + field, value);
}

void tblock_put_u32(TrigBlock& block, size_t at, size_t field, uint32_t value)
{
    plat::store_u32le(block.bytes.data() + at + field, value);
}

ScriptValue tblock_held(const TrigBlock& block, size_t at)
{
    ScriptValue value;
    std::memcpy(value.bytes, block.bytes.data() + at + kTrigAtHeld, sizeof value.bytes);
    return value;
}

void tblock_set_held(TrigBlock& block, size_t at, const ScriptValue& value)
{
    std::memcpy(block.bytes.data() + at + kTrigAtHeld, value.bytes, sizeof value.bytes);
}

size_t tblock_dep_count(const TrigBlock& block, size_t at)
{
    return (tblock_u16(block, at, kTrigAtLength) - kTrigRecordHeadSize) / kTrigDepSize;
}

TrigDep tblock_dep(const TrigBlock& block, size_t at, size_t index)
{
    const uint8_t* p = block.bytes.data() + at + kTrigAtDeps + index * kTrigDepSize;
    return TrigDep { plat::load_u16le(p), int32_t(plat::load_u32le(p + 2)), int32_t(plat::load_u32le(p + 6)) };
}

void tblock_set_dep(TrigBlock& block, size_t at, size_t index, const TrigDep& dep)
{
    uint8_t* p = block.bytes.data() + at + kTrigAtDeps + index * kTrigDepSize;
    plat::store_u16le(p, dep.event);
    plat::store_u32le(p + 2, uint32_t(dep.value));
    plat::store_u32le(p + 6, uint32_t(dep.context));
}

int tblock_list_deps(size_t length)
{
    if (length < kTrigListHeadSize || (length - kTrigListHeadSize) % kTrigDepSize != 0)
        return -1;
    // The record is the list and 34 bytes more; its length is a u16 and the block is limited.
    if (length + kTrigRecordHeadSize - kTrigListHeadSize >= kTrigBlockLimit)
        return -1;
    return int((length - kTrigListHeadSize) / kTrigDepSize);
}
