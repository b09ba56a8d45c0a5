#include "runtime/base/symdict.h"

#include <cstring>
#include <string>

#include "platform/kernel/byte_io.h"
#include "platform/kernel/codepage.h"
#include "runtime/base/errcode.h"
#include "runtime/base/hash.h"
#include "runtime/base/strpool.h"

// Values are u32 offsets of names in the pool; 509 buckets and 512 entries to start with.
constexpr int32_t kNameOffsetSize = 4;
constexpr int32_t kStartCapacity = 512;
constexpr int kCaseInsensitive = 0;

struct SymdictState {
    bool created = false;
    SymbolTable table;
    StringPool names; // locked for as long as the dictionary holds it, so its address stays
    // The pool's address and used length, refreshed whenever the pool changes: the match runs
    // for every entry of a chain and should not look the block up each time.
    const char* pool_bytes = nullptr;
    uint32_t pool_used = 0;
    // The key being looked up and its length, measured once for all the entries it meets.
    const char* key = nullptr;
    size_t key_length = 0;
    std::string key_buffer;
};

static SymdictState s_dict;

static void refresh_pool()
{
    s_dict.pool_bytes = reinterpret_cast<const char*>(s_dict.names.address);
    s_dict.pool_used = s_dict.pool_bytes ? strpool_used(s_dict.names) : 0;
}

// Makes pool the dictionary's names, locked; false when it cannot be locked.
static bool take_pool(MemHandle pool)
{
    if (strpool_attach(s_dict.names, pool) != kErrOk || !strpool_lock(s_dict.names))
        return false;
    refresh_pool();
    return true;
}

static bool new_pool()
{
    if (!strpool_init(s_dict.names, MemHandle{}) || !strpool_lock(s_dict.names)) {
        strpool_free(s_dict.names);
        return false;
    }
    refresh_pool();
    return true;
}

// The length of a stored name: up to its NUL or to the end of the used area, room bytes on.
static size_t stored_length(const char* name, size_t room)
{
    const void* nul = std::memchr(name, 0, room);
    return nul ? size_t(static_cast<const char*>(nul) - name) : room;
}

// The name stored at offset, ending at its NUL or at the end of the used area.
static bool stored_name(const SymdictState& dict, const uint8_t* value, const char** name, size_t* length)
{
    uint32_t offset = plat::load_u32le(value);
    if (offset < kStrPoolHeader || offset >= dict.pool_used)
        return false;
    *name = dict.pool_bytes + offset;
    *length = stored_length(*name, dict.pool_used - offset);
    return true;
}

static bool is_ascii(const char* text, size_t length)
{
    for (size_t i = 0; i < length; i++)
        if (uint8_t(text[i]) >= 0x80)
            return false;
    return true;
}

static char fold(char c) { return (c >= 'A' && c <= 'Z') ? char(c + ('a' - 'A')) : c; }

// memcmp(a, b, count) == 0 for the short texts of names, without a call: eight bytes at a time,
// the last eight (or four) overlapping what was compared already.
static bool same_bytes(const char* a, const char* b, size_t count)
{
    auto differ = [](const char* p, const char* q) {
        uint64_t x, y;
        std::memcpy(&x, p, 8);
        std::memcpy(&y, q, 8);
        return x ^ y;
    };
    if (count >= 8 && count <= 16) // most names: no loop, no branch on where they differ
        return (differ(a, b) | differ(a + count - 8, b + count - 8)) == 0;
    if (count >= 8) {
        uint64_t x, y;
        for (size_t at = 0; at + 8 < count; at += 8) {
            std::memcpy(&x, a + at, 8);
            std::memcpy(&y, b + at, 8);
            if (x != y)
                return false;
        }
        std::memcpy(&x, a + count - 8, 8);
        std::memcpy(&y, b + count - 8, 8);
        return x == y;
    }
    if (count >= 4) {
        uint32_t x, y, z, w;
        std::memcpy(&x, a, 4);
        std::memcpy(&y, b, 4);
        std::memcpy(&z, a + count - 4, 4);
        std::memcpy(&w, b + count - 4, 4);
        return x == y && z == w;
    }
    for (size_t i = 0; i < count; i++)
        if (a[i] != b[i])
            return false;
    return true;
}

static void set_key(const char* key)
{
    s_dict.key = key;
    s_dict.key_length = std::strlen(key);
}

// lstrcmpiA's equality: ASCII text compares by folding letters, which is what lstrcmpi does
// there; text with other bytes goes to the code page's comparison (a trail byte of a
// double-byte character must not be folded).
static bool same_name(const char* key, size_t key_length, const char* name, size_t name_length)
{
    if (key_length == name_length && std::memcmp(key, name, name_length) == 0)
        return true;
    if (is_ascii(key, key_length) && is_ascii(name, name_length)) {
        if (key_length != name_length)
            return false;
        for (size_t i = 0; i < key_length; i++)
            if (fold(key[i]) != fold(name[i]))
                return false;
        return true;
    }
    return plat::lstrcmpi(key, std::string(name, name_length).c_str()) == 0;
}

// match_name's answer when the stored name is not the very same bytes as the key: another
// case, or another name. Out of line (and rarely reached: the table asks only about names
// whose hashes agree), so that the common match needs no stack frame.
[[gnu::cold, gnu::noinline]] static int match_other_form(const SymdictState& dict, const char* key, const char* name, size_t room)
{
    size_t key_length = key == dict.key ? dict.key_length : std::strlen(key);
    return same_name(key, key_length, name, stored_length(name, room)) ? 1 : 0;
}

// The whole stored name is compared, however long: a cut copy would never match itself.
static int match_name(const char* key, const uint8_t* value, int32_t, void* user)
{
    const auto& dict = *static_cast<const SymdictState*>(user);
    uint32_t offset = plat::load_u32le(value);
    if (offset < kStrPoolHeader || offset >= dict.pool_used)
        return 0;
    const char* name = dict.pool_bytes + offset;
    size_t room = dict.pool_used - offset;
    // The common case first: the very same bytes as the key being looked up (whose length is
    // known), ended inside the used area.
    size_t length = dict.key_length;
    if (key == dict.key && length < room && name[length] == '\0' && same_bytes(name, key, length))
        return 1;
    return match_other_form(dict, key, name, room);
}

static const char* name_of_value(const uint8_t* value, int32_t, void* user)
{
    auto* dict = static_cast<SymdictState*>(user);
    const char* name = nullptr;
    size_t length = 0;
    dict->key_buffer.clear();
    if (stored_name(*dict, value, &name, &length))
        dict->key_buffer.assign(name, length);
    return dict->key_buffer.c_str();
}

int symdict_create()
{
    if (s_dict.created)
        return 0;
    hash_symtab_init(s_dict.table, kNameOffsetSize, kStartCapacity, &s_dict, match_name);
    hash_symtab_set_rebucketing(s_dict.table, name_of_value, kCaseInsensitive);
    if (!new_pool()) {
        s_dict = SymdictState{};
        return kErrOutOfMemory;
    }
    s_dict.created = true;
    return 0;
}

void symdict_release()
{
    hash_symtab_free(s_dict.table);
    strpool_free(s_dict.names);
    s_dict = SymdictState{};
}

// The identifier at the start of text: a letter or "_", then letters, digits and "_".
static size_t symbol_length(const char* text)
{
    auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; };
    if (!letter(text[0]))
        return 0;
    size_t length = 1;
    while (letter(text[length]) || (text[length] >= '0' && text[length] <= '9'))
        length++;
    return length;
}

uint32_t symdict_find(const char* name)
{
    uint32_t id = 0;
    if (!s_dict.created || !name || !*name)
        return 0;
    set_key(name);
    hash_symtab_find_key(s_dict.table, name, s_dict.key_length, kCaseInsensitive, &id);
    s_dict.key = nullptr;
    return id;
}

static uint32_t add_name(const char* name)
{
    uint32_t id = symdict_find(name);
    if (id != 0)
        return id;
    // A detached dictionary starts a new pool at its next name.
    if (!strpool_is_valid(s_dict.names) && !new_pool())
        return 0;
    uint32_t offset = strpool_add(s_dict.names, name);
    refresh_pool();
    if (offset == 0)
        return 0;
    uint8_t value[kNameOffsetSize];
    plat::store_u32le(value, offset);
    set_key(name);
    int added = hash_symtab_add(s_dict.table, name, value, kCaseInsensitive, &id);
    s_dict.key = nullptr;
    if (added != 0) {
        strpool_replace(s_dict.names, offset, uint32_t(std::strlen(name) + 1), 0);
        refresh_pool();
        return 0;
    }
    return id;
}

uint32_t symdict_intern(const char* name, int trim)
{
    if (!s_dict.created || !name || !*name)
        return 0;
    if (!trim)
        return add_name(name);
    size_t length = symbol_length(name);
    if (length < 1)
        return 0;
    return add_name(std::string(name, length).c_str());
}

uint32_t symdict_lookup_or_add(const char* name) { return symdict_intern(name, 0); }

int symdict_name(uint32_t id, char* buffer, size_t size)
{
    uint8_t value[kNameOffsetSize];
    if (!s_dict.created || !hash_symtab_value(s_dict.table, id, value, nullptr))
        return 0;
    strpool_get(s_dict.names, plat::load_u32le(value), buffer, size);
    return 1;
}

void symdict_detach(MemHandle* table, size_t* table_size, MemHandle* pool, uint32_t* pool_used)
{
    MemHandle table_block;
    size_t size = 0;
    bool had_table = hash_symtab_detach(s_dict.table, &table_block, &size) != 0;
    if (table)
        *table = table_block;
    else
        mem_free(table_block);
    if (table_size)
        *table_size = size;
    if (pool_used)
        *pool_used = had_table ? strpool_used(s_dict.names) : 0;
    if (pool)
        *pool = had_table ? strpool_detach(s_dict.names) : MemHandle{};
    if (had_table && !pool)
        strpool_free(s_dict.names);
    refresh_pool();
}

// Every symbol's name must start inside the pool's strings.
static bool names_fit(MemHandle table, MemHandle pool)
{
    StringPool names;
    if (strpool_attach(names, pool) != kErrOk)
        return false;
    SymbolTable view;
    hash_symtab_init(view, kNameOffsetSize, kStartCapacity, nullptr, nullptr);
    if (!hash_symtab_adopt(view, table, kNameOffsetSize))
        return false;
    uint32_t used = strpool_used(names);
    uint8_t value[kNameOffsetSize];
    bool fit = true;
    for (uint32_t id = 1; fit && hash_symtab_value(view, id, value, nullptr); id++) {
        uint32_t offset = plat::load_u32le(value);
        fit = offset >= kStrPoolHeader && offset < used;
    }
    hash_symtab_detach(view, nullptr, nullptr); // the block stays the caller's, unlocked
    return fit;
}

int symdict_attach(MemHandle table, size_t table_size, MemHandle pool)
{
    if (!s_dict.created)
        return kErrOutOfMemory;
    if (!hash_symtab_check(table, table_size, kNameOffsetSize) || !names_fit(table, pool))
        return kErrFileDamaged;
    // The pool first: adopting reads the names to tag the entries.
    strpool_free(s_dict.names);
    take_pool(pool); // names_fit attached it already: it locks
    hash_symtab_adopt(s_dict.table, table, kNameOffsetSize);
    return kErrOk;
}
