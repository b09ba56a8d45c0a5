#include "runtime/base/ptrarr.h"

#include <cstdlib>
#include <cstring>

#include "runtime/base/errcode.h"

// Far more slots than any user holds, and small enough that sizes never overflow.
constexpr int32_t kMaxSlots = 1 << 26;

void ptrarr_init(PtrArray& array, int32_t initial_capacity, int32_t growth_step, int32_t zero_based)
{
    array = PtrArray{};
    array.initial_capacity = initial_capacity;
    array.growth_step = growth_step;
    array.zero_based = zero_based;
}

// A zeroed slot array of capacity slots holding the current ones; false when refused.
static bool resize_slots(PtrArray& array, int32_t capacity)
{
    if (capacity < 0 || capacity > kMaxSlots)
        return false;
    auto* slots = static_cast<void**>(std::calloc(size_t(capacity) + 1, sizeof(void*)));
    if (!slots)
        return false;
    if (array.slots && array.capacity > 0)
        std::memcpy(slots, array.slots, sizeof(void*) * size_t(array.capacity < capacity ? array.capacity : capacity));
    std::free(array.slots);
    array.slots = slots;
    array.capacity = capacity;
    return true;
}

int ptrarr_alloc(PtrArray& array)
{
    void** old = array.slots;
    int32_t old_capacity = array.capacity;
    array.slots = nullptr;
    array.capacity = 0;
    if (!resize_slots(array, array.initial_capacity > 0 ? array.initial_capacity : 0)) {
        array.slots = old;
        array.capacity = old_capacity;
        return kErrOutOfMemory;
    }
    std::free(old);
    array.used = 0;
    return kErrOk;
}

static int32_t step_of(const PtrArray& array) { return array.growth_step > 0 ? array.growth_step : 1; }

int ptrarr_grow(PtrArray& array)
{
    if (array.capacity > kMaxSlots - step_of(array))
        return kErrOutOfMemory;
    return resize_slots(array, array.capacity + step_of(array)) ? kErrOk : kErrOutOfMemory;
}

static int32_t slot_of(const PtrArray& array, int32_t index) { return array.zero_based ? index : index - 1; }

void* ptrarr_get(const PtrArray& array, int32_t index)
{
    int32_t slot = slot_of(array, index);
    if (!array.slots || slot < 0 || slot >= array.used)
        return nullptr;
    return array.slots[slot];
}

int ptrarr_set(PtrArray& array, int32_t index, void* item)
{
    int32_t slot = slot_of(array, index);
    if (slot < 0 || slot >= kMaxSlots)
        return kErrOutOfMemory;
    if (!array.slots)
        array.capacity = 0;
    if (slot >= array.capacity) {
        // All the steps at once: the same slots as growing step by step, one copy.
        int32_t step = step_of(array);
        int64_t capacity = array.capacity + ((int64_t(slot) - array.capacity) / step + 1) * step;
        if (capacity > kMaxSlots || !resize_slots(array, int32_t(capacity)))
            return kErrOutOfMemory;
    }
    array.slots[slot] = item;
    if (slot >= array.used)
        array.used = slot + 1;
    return kErrOk;
}

int ptrarr_delete(PtrArray& array, int32_t index)
{
    int32_t slot = slot_of(array, index);
    if (!array.slots || slot < 0 || slot >= array.capacity || !array.slots[slot])
        return kErrBadValue;
    std::free(array.slots[slot]);
    array.slots[slot] = nullptr;
    if (slot == array.used - 1)
        array.used--;
    return kErrOk;
}

void ptrarr_free(PtrArray& array)
{
    for (int32_t slot = 0; array.slots && slot < array.capacity; slot++)
        std::free(array.slots[slot]);
    std::free(array.slots);
    array.slots = nullptr;
    array.capacity = 0;
    array.used = 0;
}
