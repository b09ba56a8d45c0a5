#include "runtime/files/str_holder.h"

#include "runtime/base/errcode.h"
#include "runtime/base/str.h"

#include <algorithm>
#include <climits>
#include <cstring>

// The text's bytes without pinning them: good until the next allocation.
static const char* text_of(const StringHolder& holder)
{
    if (holder.locked)
        return holder.locked;
    if (!holder.text || holder.size <= 0)
        return "";
    const char* address = static_cast<const char*>(mem_address(holder.text));
    return address ? address : "";
}

// Puts bytes (length of them, a NUL added) in place of the text; 0 or 8.
static int replace_text(StringHolder& holder, const char* bytes, size_t length)
{
    if (length >= size_t(INT32_MAX))
        return kErrOutOfMemory;
    MemHandle block = mem_alloc(length + 1, kMemMovable);
    if (!block)
        return kErrOutOfMemory;
    char* address = static_cast<char*>(mem_address(block));
    if (length > 0)
        std::memcpy(address, bytes, length);
    address[length] = '\0';
    str_holder_clear(holder);
    holder.text = block;
    holder.size = int32_t(length + 1);
    return kErrOk;
}

void str_holder_init(StringHolder& holder) { holder = StringHolder {}; }

void str_holder_destroy(StringHolder& holder) { str_holder_clear(holder); }

void str_holder_clear(StringHolder& holder)
{
    if (holder.locked)
        mem_unlock(holder.text);
    if (holder.text)
        mem_free(holder.text);
    holder = StringHolder {};
}

int str_holder_set(StringHolder& holder, const char* text)
{
    if (text == nullptr) {
        str_holder_clear(holder);
        return kErrOk;
    }
    // The source may be this holder's own text, which replace_text frees only after copying.
    return replace_text(holder, text, std::strlen(text));
}

int str_holder_set_checked(StringHolder& holder, const char* text, int max)
{
    if (text != nullptr && std::strlen(text) > size_t(max < 0 ? 0 : max))
        return kErrBadValue;
    return str_holder_set(holder, text);
}

int str_holder_assign(StringHolder& holder, const StringHolder& source)
{
    if (&holder == &source)
        return kErrOk;
    if (!source.text || source.size <= 0) {
        str_holder_clear(holder);
        return kErrOk;
    }
    std::string copy = str_holder_string(source);
    return replace_text(holder, copy.data(), copy.size());
}

int str_holder_append(StringHolder& holder, const char* text, int max)
{
    if (text == nullptr || max <= 1)
        return kErrOk;
    std::string joined = str_holder_string(holder);
    joined.append(text, size_t(str_fit_length(text, max - 1)));
    return replace_text(holder, joined.data(), joined.size());
}

int str_holder_replace_range(
    StringHolder& holder, const char* text, int start, int* length, int* delta)
{
    std::string current = str_holder_string(holder);
    if (start < 0 || size_t(start) > current.size() || length == nullptr)
        return kErrBadValue;
    size_t old_length = *length < 0 ? 0 : size_t(*length);
    old_length = std::min(old_length, current.size() - size_t(start));
    std::string_view insert = text ? std::string_view(text) : std::string_view();
    current.replace(size_t(start), old_length, insert);
    int result = replace_text(holder, current.data(), current.size());
    if (result != kErrOk)
        return result;
    *length = int(insert.size());
    if (delta)
        *delta = int(insert.size()) - int(old_length);
    return kErrOk;
}

int str_holder_not_empty(const StringHolder& holder)
{
    return holder.text && holder.size > 1 ? 1 : 0;
}

char* str_holder_lock(StringHolder& holder)
{
    if (!holder.text) {
        holder.text = mem_alloc(1, kMemMovableZero);
        if (!holder.text)
            return nullptr;
        holder.size = 1;
    }
    char* address = static_cast<char*>(mem_lock(holder.text));
    if (!address)
        return nullptr;
    address[holder.size - 1] = '\0';
    holder.locked = address;
    return address;
}

void str_holder_unlock(StringHolder& holder)
{
    if (!holder.locked)
        return;
    holder.locked[holder.size - 1] = '\0';
    holder.locked = nullptr;
    mem_unlock(holder.text);
}

int str_holder_length(const StringHolder& holder) { return holder.size > 0 ? holder.size - 1 : 0; }

int str_holder_size(const StringHolder& holder) { return str_holder_length(holder) + 1; }

int str_holder_grow(StringHolder& holder, int more)
{
    if (holder.locked || more < 0)
        return kErrOutOfMemory;
    size_t wanted = size_t(holder.size > 0 ? holder.size : 1) + size_t(more);
    if (!holder.text) {
        holder.text = mem_alloc(wanted, kMemMovableZero);
        if (!holder.text)
            return kErrOutOfMemory;
        holder.size = 1;
        return kErrOk;
    }
    if (mem_size(holder.text) >= wanted)
        return kErrOk;
    MemHandle grown = mem_realloc(holder.text, int64_t(wanted), kMemMovableZero);
    return grown ? kErrOk : kErrOutOfMemory;
}

int str_holder_equal_nocase(const StringHolder* a, const StringHolder* b)
{
    std::string left = a ? str_holder_string(*a) : std::string();
    std::string right = b ? str_holder_string(*b) : std::string();
    return str_compare_nocase(left.c_str(), right.c_str()) == 0 ? 1 : 0;
}

void str_holder_copy_out(const StringHolder& holder, char* buffer, int size)
{
    if (buffer == nullptr || size <= 0)
        return;
    str_copy_bounded(buffer, text_of(holder), size);
}

std::string str_holder_string(const StringHolder& holder)
{
    const char* text = text_of(holder);
    // Never read past the block, whatever the text holds.
    size_t limit = holder.size > 0 ? size_t(holder.size - 1) : 0;
    return std::string(text, strnlen(text, limit));
}
