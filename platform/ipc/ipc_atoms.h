// The global atom table that the user's programs share: one file in their folder, replaced by
// rename under a lock file, so a reader always sees a whole table. Names are stored as UTF-8
// and compared without case in the reader's code page; each program's references are counted
// apart, and those of a program that is gone are dropped at the next write. A damaged table
// starts afresh.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace plat {

struct AtomReference {
    uint32_t pid = 0;
    uint32_t count = 0;
};

struct SharedAtom {
    uint16_t atom = 0;  // 0xC000..0xFFFF
    std::string name; // UTF-8, as first added
    std::vector<AtomReference> references;
};

struct AtomTable {
    uint16_t next = 0; // where the search for a free value starts, so deleted values rest
    std::vector<SharedAtom> atoms;
};

// Reads a stored table; false when the bytes are not a whole, sound table.
bool atom_table_read(const uint8_t* data, size_t size, AtomTable& out);
std::vector<uint8_t> atom_table_write(const AtomTable& table);

// The shared table's operations; each answers like its global_ counterpart (atom.h), with the
// name in the active code page, and sets the same errors. folder is the programs' folder.
uint16_t ipc_atom_add(const std::string& folder, std::string_view name);
uint16_t ipc_atom_find(const std::string& folder, std::string_view name);
uint16_t ipc_atom_delete(const std::string& folder, uint16_t atom);
// The name in the active code page; false with error 6 when there is no such atom.
bool ipc_atom_name(const std::string& folder, uint16_t atom, std::string& name);

} // namespace plat
