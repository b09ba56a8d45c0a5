#include "platform/kernel/atom.h"

#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/kernel/codepage.h"
#include "platform/kernel/error.h"
#include "platform/ipc/ipc.h"
#include "platform/ipc/ipc_atoms.h"

namespace plat {

constexpr uint32_t kAtomSlotCount = 0x10000 - kAtomFirstString;

struct AtomEntry {
    std::string name; // as first added
    uint32_t references = 0;
};

struct AtomState {
    std::vector<AtomEntry> slots;                  // atom - 0xC000; free when references is 0
    std::unordered_map<std::string, uint32_t> by_name; // upper-cased name -> slot
    uint32_t next_slot = 0; // the search for a free slot goes round, so a deleted value rests
};

static AtomState s_atoms;

static std::string_view until_nul(std::string_view name)
{
    size_t end = name.find('\0');
    return end == std::string_view::npos ? name : name.substr(0, end);
}

// "#" and decimal digits: an integer atom. Returns 1 for one, 0 for a string name and -1 for
// digits outside 1..0xBFFF.
static int parse_integer_atom(std::string_view name, Atom& atom)
{
    if (name.size() < 2 || name[0] != '#')
        return 0;
    uint32_t value = 0;
    for (char c : name.substr(1)) {
        if (c < '0' || c > '9')
            return 0;
        if (value < kAtomFirstString)
            value = value * 10 + uint32_t(c - '0');
    }
    if (value == 0 || value >= kAtomFirstString)
        return -1;
    atom = Atom(value);
    return 1;
}

static std::string fold_case(std::string_view name)
{
    std::string folded(name);
    char_upper(folded.data(), folded.size());
    return folded;
}

static bool find_free_slot(uint32_t& slot)
{
    if (s_atoms.slots.size() < kAtomSlotCount)
        s_atoms.slots.resize(kAtomSlotCount);
    for (uint32_t tried = 0; tried < kAtomSlotCount; tried++) {
        uint32_t candidate = (s_atoms.next_slot + tried) % kAtomSlotCount;
        if (s_atoms.slots[candidate].references == 0) {
            slot = candidate;
            s_atoms.next_slot = (candidate + 1) % kAtomSlotCount;
            return true;
        }
    }
    return false;
}

// The name checks shared by add and find: 1 integer atom, 0 string name, -1 refused.
static int classify_name(std::string_view name, Atom& integer_atom)
{
    int integer = parse_integer_atom(name, integer_atom);
    if (integer != 0)
        return integer;
    return name.empty() || name.size() > kAtomMaxName ? -1 : 0;
}

Atom global_add_atom(std::string_view name)
{
    name = until_nul(name);
    Atom atom = 0;
    int kind = classify_name(name, atom);
    if (kind != 0) {
        if (kind < 0)
            set_last_error(ERROR_INVALID_PARAMETER);
        return atom;
    }
    if (ipc_active())
        return ipc_atom_add(ipc_folder_path(), name);
    std::string folded = fold_case(name);
    auto found = s_atoms.by_name.find(folded);
    if (found != s_atoms.by_name.end()) {
        s_atoms.slots[found->second].references++;
        return Atom(kAtomFirstString + found->second);
    }
    uint32_t slot = 0;
    if (!find_free_slot(slot)) {
        set_last_error(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    s_atoms.slots[slot] = AtomEntry{std::string(name), 1};
    s_atoms.by_name.emplace(std::move(folded), slot);
    return Atom(kAtomFirstString + slot);
}

Atom global_find_atom(std::string_view name)
{
    name = until_nul(name);
    Atom atom = 0;
    int kind = classify_name(name, atom);
    if (kind != 0) {
        if (kind < 0)
            set_last_error(ERROR_INVALID_PARAMETER);
        return atom;
    }
    if (ipc_active())
        return ipc_atom_find(ipc_folder_path(), name);
    auto found = s_atoms.by_name.find(fold_case(name));
    if (found == s_atoms.by_name.end()) {
        set_last_error(ERROR_FILE_NOT_FOUND);
        return 0;
    }
    return Atom(kAtomFirstString + found->second);
}

static AtomEntry* find_entry(Atom atom)
{
    uint32_t slot = uint32_t(atom) - kAtomFirstString;
    if (atom < kAtomFirstString || slot >= s_atoms.slots.size() || s_atoms.slots[slot].references == 0) {
        set_last_error(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return &s_atoms.slots[slot];
}

Atom global_delete_atom(Atom atom)
{
    if (atom < kAtomFirstString)
        return 0; // integer atoms are not stored, so there is nothing to delete
    if (ipc_active())
        return ipc_atom_delete(ipc_folder_path(), atom);
    AtomEntry* entry = find_entry(atom);
    if (!entry)
        return atom;
    if (--entry->references == 0) {
        s_atoms.by_name.erase(fold_case(entry->name));
        *entry = AtomEntry{};
    }
    return 0;
}

// Bytes of text that fit in room bytes without splitting a double-byte character.
static uint32_t fitting_length(const std::string& text, uint32_t room)
{
    const char* start = text.c_str();
    const char* end = start;
    while (*end) {
        const char* next = char_next(end);
        if (uint32_t(next - start) > room)
            break;
        end = next;
    }
    return uint32_t(end - start);
}

uint32_t global_get_atom_name(Atom atom, char* buffer, uint32_t size)
{
    std::string name;
    if (atom > 0 && atom < kAtomFirstString) {
        name = "#" + std::to_string(atom);
    } else if (ipc_active()) {
        if (atom == 0 || !ipc_atom_name(ipc_folder_path(), atom, name))
            return 0;
    } else {
        AtomEntry* entry = find_entry(atom);
        if (!entry)
            return 0;
        name = entry->name;
    }
    if (!buffer || size == 0) {
        set_last_error(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    uint32_t length = fitting_length(name, size - 1);
    std::memcpy(buffer, name.data(), length);
    buffer[length] = '\0';
    return length;
}

void atom_reset() { s_atoms = AtomState{}; }

} // namespace plat
