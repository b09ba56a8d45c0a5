// A table of records under 32-bit ids: the slot index in the low bits (20 unless the layout
// says otherwise), the slot's generation above it, and above that a fixed prefix the table
// may be given (window ids carry the program's number there). Removing a record bumps the
// generation, and freed slots wait in a queue before they are used again, so a stale id is
// refused rather than answered by a new record. Each table starts its generations at its own
// value, so an id of another kind of handle rarely matches.
#pragma once
#include <algorithm>
#include <cstdint>
#include <deque>
#include <utility>
#include <vector>

namespace plat {

// How a table splits its ids; generations below lowest_generation are skipped, so that ids
// keep away from small values with a meaning of their own.
struct SlotLayout {
    uint32_t index_bits = 20;
    uint32_t generation_bits = 12;
    uint32_t lowest_generation = 0;
};

template <typename T>
class SlotTable {
public:
    explicit SlotTable(uint32_t first_generation, SlotLayout layout = {})
        : m_index_bits(layout.index_bits)
        , m_index_mask((1u << layout.index_bits) - 1)
        , m_generation_mask((1u << layout.generation_bits) - 1)
        , m_lowest_generation(layout.lowest_generation)
        , m_first_generation(std::max(first_generation & m_generation_mask, layout.lowest_generation))
    {
    }

    // Bits placed above index and generation in the ids made from now on; ids made before
    // keep theirs and are still found.
    void set_prefix(uint32_t prefix) { m_prefix = prefix; }

    // The new record's id; 0 when all ids are taken.
    uint32_t insert(T value)
    {
        uint32_t index = take_index();
        if (index == 0)
            return 0;
        Slot& slot = m_slots[index];
        slot.value = std::move(value);
        slot.in_use = true;
        slot.id = m_prefix | slot.generation << m_index_bits | index;
        return slot.id;
    }

    // The record of an id, or null for 0, a removed record or an id this table never made.
    T* find(uint32_t id)
    {
        uint32_t index = id & m_index_mask;
        if (index == 0 || index >= m_slots.size())
            return nullptr;
        Slot& slot = m_slots[index];
        if (!slot.in_use || slot.id != id)
            return nullptr;
        return &slot.value;
    }

    bool erase(uint32_t id)
    {
        if (!find(id))
            return false;
        Slot& slot = m_slots[id & m_index_mask];
        slot.value = T{};
        slot.in_use = false;
        slot.generation = std::max((slot.generation + 1) & m_generation_mask, m_lowest_generation);
        m_free.push_back(id & m_index_mask);
        return true;
    }

    // Calls visit(id, record) for every record; visit must not insert or erase.
    template <typename Visit>
    void for_each(Visit&& visit)
    {
        for (uint32_t index = 1; index < m_slots.size(); index++) {
            Slot& slot = m_slots[index];
            if (slot.in_use)
                visit(slot.id, slot.value);
        }
    }

    void clear()
    {
        m_slots.assign(1, Slot{});
        m_free.clear();
    }

private:
    static constexpr size_t kFreeSlotsBeforeReuse = 256;

    struct Slot {
        T value{};
        uint32_t generation = 0;
        uint32_t id = 0;
        bool in_use = false;
    };

    uint32_t take_index()
    {
        bool table_full = m_slots.size() > m_index_mask;
        if (!m_free.empty() && (m_free.size() >= kFreeSlotsBeforeReuse || table_full)) {
            uint32_t index = m_free.front();
            m_free.pop_front();
            return index;
        }
        if (table_full)
            return 0;
        m_slots.push_back(Slot{T{}, m_first_generation, 0, false});
        return uint32_t(m_slots.size() - 1);
    }

    uint32_t m_index_bits;
    uint32_t m_index_mask;
    uint32_t m_generation_mask;
    uint32_t m_lowest_generation;
    uint32_t m_first_generation;
    uint32_t m_prefix = 0;
    std::vector<Slot> m_slots = std::vector<Slot>(1); // slot 0 stays empty: id 0 is null
    std::deque<uint32_t> m_free;
};

} // namespace plat
