// Arbitrary bytes as the stored containers of course files and the learner's records: an
// IdSet, an IdSet32, a StringPool, a TagList and a saved symbol table with its name pool. Each
// is attached or loaded as its reader does; an accepted one is then used (read, walked,
// extended) and checked to behave, a refused one must leave nothing changed.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/kernel/byte_io.h"
#include "platform/kernel/memory.h"
#include "runtime/base/errcode.h"
#include "runtime/base/hash.h"
#include "runtime/base/idset.h"
#include "runtime/base/strpool.h"
#include "runtime/base/symdict.h"
#include "runtime/base/taglist.h"

namespace {

void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

MemHandle block_of(const uint8_t* data, size_t size)
{
    MemHandle block = mem_alloc(size, kMemMovable);
    if (size > 0)
        std::memcpy(mem_address(block), data, size);
    mem_resize_write_at(block, nullptr, 0, size); // exactly size bytes, as a loaded record
    return block;
}

void use_idset(const uint8_t* data, size_t size)
{
    IdSet loaded;
    int result = idset_load(plat::ByteReader(data, size), &loaded);
    MemHandle record = block_of(data, size);
    check(idset_attach(record) == result);
    if (result == kErrOk) {
        int32_t count = idset_count(record);
        check(idset_count(loaded) == count);
        for (int32_t n = 1; n <= count; n++)
            check(idset_get(loaded, n) == idset_get(record, n));
        idset_sort(record, nullptr);
        check(idset_add(record, 0x7777) == (count < kIdSetMaxCount || idset_contains(record, 0x7777)));
        idset_sorted_op(record, 1, 3, nullptr);
    }
    // An unchecked block is still read within its bytes.
    idset_for_each(record, 0, [](uint32_t, void*) { return 1; }, nullptr);
    idset32_for_each(record, 1, [](uint32_t, void*) { return 1; }, nullptr);
    idset_free(loaded);
    mem_free(record);
}

void use_idset32(const uint8_t* data, size_t size)
{
    IdSet loaded;
    int result = idset32_load(plat::ByteReader(data, size), &loaded);
    MemHandle record = block_of(data, size);
    check(idset32_attach(record) == result);
    if (result == kErrOk) {
        int32_t count = idset32_count(record);
        check(idset32_count(loaded) == count);
        check(idset32_set(record, count + 2, 9) == (count + 2 <= kIdSet32MaxCount));
        check(count + 2 > kIdSet32MaxCount || idset32_get(record, count + 2) == 9);
    }
    idset_free(loaded);
    mem_free(record);
}

void use_pool(const uint8_t* data, size_t size)
{
    MemHandle block = block_of(data, size);
    StringPool pool;
    if (strpool_attach(pool, block) != kErrOk) {
        mem_free(block);
        return;
    }
    char buffer[64];
    uint32_t used = strpool_used(pool);
    for (uint32_t offset = 0; offset < used + 2 && offset < 4096; offset++) {
        strpool_get(pool, offset, buffer, sizeof buffer);
        check(std::strlen(buffer) < sizeof buffer);
    }
    uint32_t added = strpool_add(pool, "fuzz");
    strpool_get(pool, added, buffer, sizeof buffer);
    check(std::string(buffer) == "fuzz");
    strpool_replace(pool, 8, 0xFFFFFFFF, 1);
    strpool_free(pool);
}

void use_taglist(const uint8_t* data, size_t size)
{
    int result = taglist_check(data, size);
    MemHandle list = block_of(data, size);
    check(taglist_attach(list) == (size > 0 ? result : kErrFileDamaged));
    uint8_t buffer[32];
    for (uint16_t tag = 0; tag < 8; tag++) {
        taglist_get(data, size, tag, buffer, sizeof buffer);
        taglist_get_string(data, size, tag, reinterpret_cast<char*>(buffer), sizeof buffer);
    }
    uint32_t flags = 0;
    taglist_for_each(list, [](uint16_t, const uint8_t*, uint16_t, void*, uint32_t*) { return 1; }, nullptr, &flags);
    int put = taglist_put(&list, 3, "fuzzed", 6);
    check(put == (result == kErrOk && size > 0));
    if (put) {
        check(taglist_item_length(static_cast<const uint8_t*>(mem_address(list)), mem_size(list), 3) == 6);
        check(taglist_delete(list, 3) == 1);
    }
    mem_free(list);
}

// The first two bytes split the rest into a table block and a name pool.
void use_symbols(const uint8_t* data, size_t size)
{
    if (size < 2)
        return;
    size_t split = std::min<size_t>(plat::load_u16le(data), size - 2);
    MemHandle table = block_of(data + 2, split);
    MemHandle pool = block_of(data + 2 + split, size - 2 - split);
    SymbolTable symbols;
    hash_symtab_init(symbols, 0, 256, nullptr, nullptr);
    if (hash_symtab_check(table, split, -1)) {
        MemHandle copy = mem_duplicate(table);
        check(hash_symtab_adopt(symbols, copy) == 1);
        uint32_t number = 0;
        check(hash_symtab_add(symbols, "fuzz", nullptr, 1, &number) == 0 || number == 0);
        hash_symtab_find(symbols, "other", 0, &number);
        hash_symtab_free(symbols);
    }
    symdict_create();
    int attached = symdict_attach(table, split, pool);
    if (attached == kErrOk) {
        char name[300];
        for (uint32_t id = 1; id < 64; id++)
            symdict_name(id, name, sizeof name);
        symdict_intern("Fuzz", 0);
        check(symdict_find("FUZZ") != 0);
    } else {
        mem_free(table);
        mem_free(pool);
    }
    symdict_release();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    use_idset(data, size);
    use_idset32(data, size);
    use_pool(data, size);
    use_taglist(data, size);
    use_symbols(data, size);
    plat::memory_reset();
    return 0;
}
