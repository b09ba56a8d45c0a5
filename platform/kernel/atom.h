// Global atoms: 16-bit numbers standing for short names, found again by name regardless of
// case. String atoms take the values 0xC000..0xFFFF and are reference counted; a name of the
// form "#123" is the integer atom 123 itself (1..0xBFFF), which is never stored. The table is
// in this process for now; it stays behind these functions so that it can be shared later.
#pragma once
#include <cstdint>
#include <string_view>

namespace plat {

using Atom = uint16_t;

constexpr Atom kAtomFirstString = 0xC000;
// Longest name: room for a full Windows path, which is what the programs store in atoms.
constexpr uint32_t kAtomMaxName = 260;

// Adds a reference to the name's atom, creating it; 0 with error 87 for an empty or too long
// name or a "#n" outside 1..0xBFFF, error 8 when the table is full. The name ends at a NUL.
Atom global_add_atom(std::string_view name);

// The atom of a name without adding a reference; 0 with error 2 when there is none.
Atom global_find_atom(std::string_view name);

// Drops one reference (the atom goes at 0). 0 on success, integer atoms included; the atom
// itself with error 6 when it does not exist.
Atom global_delete_atom(Atom atom);

// Copies the name, as first added ("#123" for integer atoms), cut to size - 1 bytes without
// splitting a double-byte character, and a NUL; returns the bytes copied. 0 with error 6 for
// an unknown atom, error 122 when the buffer cannot hold even the NUL.
uint32_t global_get_atom_name(Atom atom, char* buffer, uint32_t size);

// Empties the table (tests call it between cases).
void atom_reset();

} // namespace plat
