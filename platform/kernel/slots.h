// A table of records under 32-bit ids: the slot index in the low 20 bits, the slot's
// generation above it. Removing a record bumps the generation, and freed slots wait in a
// queue before they are used again, so a stale id is refused rather than answered by a new
// record. Each table starts its generations at its own value, so an id of another kind of
// handle rarely matches.
#pragma once
#include <cstdint>
#include <deque>
#include <utility>
#include <vector>

namespace plat {

template <typename T>
class SlotTable {
public:
    explicit SlotTable(uint32_t first_generation)
        : m_first_generation(first_generation & kGenerationMask)
    {
    }

    // The new record's id; 0 when all ids are taken.
    uint32_t insert(T value)
    {
        uint32_t index = take_index();
        if (index == 0)
            return 0;
        Slot& slot = m_slots[index];
        slot.value = std::move(value);
        slot.in_use = true;
        return slot.generation << kIndexBits | index;
    }

    // The record of an id, or null for 0, a removed record or an id this table never made.
    T* find(uint32_t id)
    {
        uint32_t index = id & kIndexMask;
        if (index == 0 || index >= m_slots.size())
            return nullptr;
        Slot& slot = m_slots[index];
        if (!slot.in_use || slot.generation != id >> kIndexBits)
            return nullptr;
        return &slot.value;
    }

    bool erase(uint32_t id)
    {
        if (!find(id))
            return false;
        Slot& slot = m_slots[id & kIndexMask];
        slot.value = T{};
        slot.in_use = false;
        slot.generation = (slot.generation + 1) & kGenerationMask;
        m_free.push_back(id & kIndexMask);
        return true;
    }

    // Calls visit(id, record) for every record; visit must not insert or erase.
    template <typename Visit>
    void for_each(Visit&& visit)
    {
        for (uint32_t index = 1; index < m_slots.size(); index++) {
            Slot& slot = m_slots[index];
            if (slot.in_use)
                visit(slot.generation << kIndexBits | index, slot.value);
        }
    }

    void clear()
    {
        m_slots.assign(1, Slot{});
        m_free.clear();
    }

private:
    static constexpr uint32_t kIndexBits = 20;
    static constexpr uint32_t kIndexMask = (1u << kIndexBits) - 1;
    static constexpr uint32_t kGenerationMask = (1u << (32 - kIndexBits)) - 1;
    static constexpr size_t kFreeSlotsBeforeReuse = 256;

    struct Slot {
        T value{};
        uint32_t generation = 0;
        bool in_use = false;
    };

    uint32_t take_index()
    {
        bool table_full = m_slots.size() > kIndexMask;
        if (!m_free.empty() && (m_free.size() >= kFreeSlotsBeforeReuse || table_full)) {
            uint32_t index = m_free.front();
            m_free.pop_front();
            return index;
        }
        if (table_full)
            return 0;
        m_slots.push_back(Slot{T{}, m_first_generation, false});
        return uint32_t(m_slots.size() - 1);
    }

    uint32_t m_first_generation;
    std::vector<Slot> m_slots = std::vector<Slot>(1); // slot 0 stays empty: id 0 is null
    std::deque<uint32_t> m_free;
};

} // namespace plat
