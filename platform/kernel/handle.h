// Handles of the platform layer: 32-bit ids, never pointers, so that they fit the 4-byte
// fields of stored layouts and a stale or foreign id is detected rather than dereferenced.
#pragma once
#include <cstdint>

namespace plat {

template <typename Tag>
struct Handle {
    uint32_t id = 0;

    constexpr Handle() = default;
    constexpr explicit Handle(uint32_t value)
        : id(value)
    {
    }
    constexpr explicit operator bool() const { return id != 0; }
    constexpr bool operator==(const Handle&) const = default;
};

} // namespace plat
