#include "runtime/base/taglist.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/kernel/byte_io.h"
#include "runtime/base/errcode.h"

constexpr size_t kRecordHeader = 4;
constexpr size_t kTerminator = 2;

// Where a walk stopped: the record of the tag looked for, or the terminator.
struct TagRecord {
    size_t offset = 0;
    uint16_t length = 0;
};

static size_t even(size_t length) { return (length + 1) & ~size_t(1); }

static size_t record_span(uint16_t length) { return kRecordHeader + even(length); }

// Walks to the record of tag, or to the terminator for tag 0. False when the tag is absent or
// the list leaves its bytes first; then *end_found tells whether the terminator was reached.
static bool find_record(const uint8_t* list, size_t bytes, uint16_t tag, TagRecord& out, bool* end_found = nullptr)
{
    if (end_found)
        *end_found = false;
    for (size_t at = 0; list && bytes - at >= kTerminator;) {
        uint16_t record_tag = plat::load_u16le(list + at);
        if (record_tag == 0) {
            out = TagRecord{at, 0};
            if (end_found)
                *end_found = true;
            return tag == 0;
        }
        if (bytes - at < kRecordHeader)
            return false;
        uint16_t length = plat::load_u16le(list + at + 2);
        if (record_span(length) > bytes - at)
            return false;
        if (record_tag == tag) {
            out = TagRecord{at, length};
            return true;
        }
        at += record_span(length);
    }
    return false;
}

static const uint8_t* list_bytes(TagList list) { return static_cast<const uint8_t*>(mem_address(list)); }

TagList taglist_new() { return mem_alloc(kTerminator, kMemMovableZero); }

void taglist_free(TagList list) { mem_free(list); }

size_t taglist_empty_size() { return kTerminator; }

size_t taglist_size(const uint8_t* list, size_t bytes)
{
    TagRecord end;
    return find_record(list, bytes, 0, end) ? end.offset + kTerminator : 0;
}

int taglist_check(const uint8_t* list, size_t bytes) { return taglist_size(list, bytes) != 0 ? kErrOk : kErrFileDamaged; }

int taglist_attach(TagList list) { return list ? taglist_check(list_bytes(list), mem_size(list)) : kErrFileDamaged; }

int taglist_is_empty(TagList list) { return taglist_size(list_bytes(list), mem_size(list)) < 3 ? 1 : 0; }

uint16_t taglist_item_length(const uint8_t* list, size_t bytes, uint16_t tag)
{
    TagRecord record;
    return (tag != 0 && find_record(list, bytes, tag, record)) ? record.length : 0;
}

uint16_t taglist_get(const uint8_t* list, size_t bytes, uint16_t tag, void* buffer, uint16_t size)
{
    if (!list)
        return 0;
    TagRecord record;
    bool found = tag != 0 && find_record(list, bytes, tag, record) && record.length <= size;
    uint16_t copied = found ? record.length : 0;
    if (copied > 0)
        std::memcpy(buffer, list + record.offset + kRecordHeader, copied);
    std::memset(static_cast<uint8_t*>(buffer) + copied, 0, size - copied);
    return copied;
}

size_t taglist_get_string(const uint8_t* list, size_t bytes, uint16_t tag, char* buffer, size_t size)
{
    if (size == 0)
        return 0;
    buffer[0] = '\0';
    TagRecord record;
    if (tag == 0 || !find_record(list, bytes, tag, record) || record.length == 0)
        return 0;
    size_t count = std::min<size_t>(size, record.length);
    std::memcpy(buffer, list + record.offset + kRecordHeader, count);
    buffer[count - 1] = '\0';
    return count - 1;
}

MemHandle taglist_get_handle(TagList list, uint16_t tag)
{
    TagRecord record;
    if (tag == 0 || !find_record(list_bytes(list), mem_size(list), tag, record))
        return MemHandle{};
    // Locked: the new block's allocation may otherwise purge or move the list.
    const uint8_t* bytes = static_cast<const uint8_t*>(mem_lock(list));
    MemHandle copy = mem_alloc_copy(bytes + record.offset + kRecordHeader, record.length);
    mem_unlock(list);
    return copy ? copy : kMemFailed;
}

uint8_t* taglist_lock_item(TagList list, uint16_t tag, uint16_t* length)
{
    if (length)
        *length = 0;
    auto* bytes = static_cast<uint8_t*>(mem_lock(list));
    TagRecord record;
    if (!bytes || tag == 0 || !find_record(bytes, mem_size(list), tag, record)) {
        if (bytes)
            mem_unlock(list);
        return nullptr;
    }
    if (length)
        *length = record.length;
    return bytes + record.offset + kRecordHeader;
}

void taglist_unlock_item(TagList list, const uint8_t* data)
{
    if (data)
        mem_unlock(list);
}

// Makes sure the block has at least size bytes; the block may move.
static bool ensure_size(TagList list, size_t size)
{
    return mem_size(list) >= size || mem_realloc(list, int64_t(size), kMemMovable);
}

// Moves the bytes from offset up to the list's end by change (which may be negative).
static void shift_tail(TagList list, size_t offset, size_t list_end, ptrdiff_t change)
{
    uint8_t* bytes = static_cast<uint8_t*>(mem_address(list));
    std::memmove(bytes + ptrdiff_t(offset) + change, bytes + offset, list_end - offset);
}

static void write_data(TagList list, size_t offset, const void* data, uint16_t length)
{
    uint8_t* at = static_cast<uint8_t*>(mem_address(list)) + offset;
    plat::store_u16le(at + 2, length);
    if (!data)
        return;
    std::memcpy(at + kRecordHeader, data, length);
    if (length % 2 != 0)
        at[kRecordHeader + length] = 0;
}

// Gives the record its new length: growth first enlarges the block, shrinking frees the room
// afterwards (a failed shrink is harmless).
static bool resize_record(TagList list, const TagRecord& record, size_t list_end, uint16_t length)
{
    ptrdiff_t change = ptrdiff_t(even(length)) - ptrdiff_t(even(record.length));
    size_t record_end = record.offset + record_span(record.length);
    if (change > 0 && !ensure_size(list, list_end + size_t(change)))
        return false;
    if (change != 0)
        shift_tail(list, record_end, list_end, change);
    if (change < 0)
        mem_realloc(list, int64_t(mem_size(list)) + change, kMemMovable);
    return true;
}

static bool append_record(TagList list, size_t list_end, uint16_t tag, uint16_t length)
{
    size_t offset = list_end - kTerminator;
    size_t span = record_span(length);
    if (!ensure_size(list, list_end + span))
        return false;
    uint8_t* at = static_cast<uint8_t*>(mem_address(list)) + offset;
    plat::store_u16le(at, tag);
    plat::store_u16le(at + span, 0);
    return true;
}

int taglist_delete(TagList list, uint16_t tag)
{
    TagRecord record;
    size_t list_end = taglist_size(list_bytes(list), mem_size(list));
    if (tag == 0 || list_end == 0 || !find_record(list_bytes(list), list_end, tag, record))
        return 0;
    size_t span = record_span(record.length);
    shift_tail(list, record.offset + span, list_end, -ptrdiff_t(span));
    mem_realloc(list, int64_t(std::max(mem_size(list) - span, list_end - span)), kMemMovable);
    return 1;
}

int taglist_put_ex(TagList* list, uint16_t tag, const void* data, uint32_t length, int force)
{
    (void)force;
    if (!list || !*list || tag == 0 || length > kTagListMaxData)
        return 0;
    if (length == 0) {
        taglist_delete(*list, tag);
        return 1;
    }
    size_t list_end = taglist_size(list_bytes(*list), mem_size(*list));
    if (list_end == 0)
        return 0;
    // Data inside the list itself would move with it: copy it out first.
    std::vector<uint8_t> own_copy;
    const uint8_t* base = list_bytes(*list);
    const auto* source = static_cast<const uint8_t*>(data);
    if (source && source >= base && source - base < ptrdiff_t(mem_size(*list))) {
        own_copy.assign(source, source + std::min<size_t>(length, mem_size(*list) - size_t(source - base)));
        own_copy.resize(length);
        data = own_copy.data();
    }
    TagRecord record;
    bool found = find_record(base, list_end, tag, record);
    if (!found) {
        record = TagRecord{list_end - kTerminator, 0};
        if (!append_record(*list, list_end, tag, uint16_t(length)))
            return 0;
    } else if (record.length != length && !resize_record(*list, record, list_end, uint16_t(length))) {
        return 0;
    }
    write_data(*list, record.offset, data, uint16_t(length));
    return 1;
}

int taglist_put(TagList* list, uint16_t tag, const void* data, uint32_t length)
{
    return taglist_put_ex(list, tag, data, length, 0);
}

int taglist_put_handle(TagList* list, uint16_t tag, MemHandle data, uint32_t length)
{
    if (!data) {
        if (list && *list && tag != 0)
            taglist_delete(*list, tag);
        return 1;
    }
    if (mem_is_purged(data) || length > mem_size(data))
        return 0;
    // Locked so that growing the list can neither purge nor move the data.
    const void* bytes = mem_lock(data);
    int result = bytes ? taglist_put(list, tag, bytes, length) : 0;
    mem_unlock(data);
    return result;
}

int taglist_put_string(TagList* list, uint16_t tag, const char* text)
{
    size_t length = text ? std::strlen(text) : 0;
    if (length == 0)
        return taglist_put(list, tag, nullptr, 0);
    if (length + 1 > kTagListMaxData)
        return 0;
    return taglist_put(list, tag, text, uint32_t(length + 1));
}

uint16_t taglist_for_each_locked(const uint8_t* list, size_t bytes, TagVisit visit, void* user, uint32_t* flags)
{
    if (flags)
        *flags = 0;
    size_t end = taglist_size(list, bytes);
    for (size_t at = 0; end != 0 && at + kTerminator < end;) {
        uint16_t tag = plat::load_u16le(list + at);
        uint16_t length = plat::load_u16le(list + at + 2);
        uint32_t word = 0;
        int go_on = visit(tag, list + at + kRecordHeader, length, user, &word);
        if (flags)
            *flags |= word;
        if (go_on == 0)
            return tag;
        at += record_span(length);
    }
    return 0;
}

// Where the walk goes on after visiting tag at offset: past that record as it is now, which
// the visitor may have resized, moved or deleted.
static size_t next_offset(TagList list, size_t at, uint16_t tag)
{
    const uint8_t* bytes = list_bytes(list);
    size_t end = taglist_size(bytes, mem_size(list));
    if (end != 0 && at + kTerminator < end && plat::load_u16le(bytes + at) == tag)
        return at + record_span(plat::load_u16le(bytes + at + 2));
    TagRecord record;
    if (find_record(bytes, end, tag, record))
        return record.offset + record_span(record.length);
    return at; // deleted: its follower took its place
}

uint16_t taglist_for_each(TagList list, TagVisit visit, void* user, uint32_t* flags)
{
    if (flags)
        *flags = 0;
    if (!mem_lock(list))
        return 0;
    uint16_t stopped = 0;
    // By offset, with the list measured again each round: the visitor may have changed it.
    for (size_t at = 0;;) {
        const uint8_t* bytes = list_bytes(list);
        size_t end = taglist_size(bytes, mem_size(list));
        if (end == 0 || at + kTerminator >= end)
            break;
        uint16_t tag = plat::load_u16le(bytes + at);
        uint16_t length = plat::load_u16le(bytes + at + 2);
        uint32_t word = 0;
        int go_on = visit(tag, bytes + at + kRecordHeader, length, user, &word);
        if (flags)
            *flags |= word;
        if (go_on == 0) {
            stopped = tag;
            break;
        }
        at = next_offset(list, at, tag);
    }
    mem_unlock(list);
    return stopped;
}
