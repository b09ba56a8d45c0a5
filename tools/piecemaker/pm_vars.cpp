#include "tools/piecemaker/pm_vars.h"

#include "platform/kernel/byte_io.h"
#include "platform/kernel/codepage.h"
#include "runtime/base/hash.h"

#include <cstring>
#include <string>

namespace {

constexpr size_t kInlineMax = 8; // bytes of an inline text, NUL included
constexpr size_t kNameMax = 40;

void put_field(std::vector<uint8_t>& list, uint16_t tag, const uint8_t* data, size_t size)
{
    uint8_t head[4];
    plat::store_u16le(head, tag);
    plat::store_u16le(head + 2, uint16_t(size));
    list.insert(list.end(), head, head + 4);
    list.insert(list.end(), data, data + size);
    if (size & 1)
        list.push_back(0);
}

// The 16-byte stored value of a definition.
void definition_value(const PieceVariable& v, uint16_t text_record, uint8_t out[16])
{
    std::memset(out, 0, 16);
    out[1] = v.type;
    if (v.type == 1) {
        plat::store_u32le(out + 2, uint32_t(int32_t(v.number)));
        return;
    }
    if (v.type == 2) {
        uint64_t bits;
        std::memcpy(&bits, &v.real, sizeof bits);
        plat::store_u32le(out + 2, uint32_t(bits));
        plat::store_u32le(out + 6, uint32_t(bits >> 32));
        return;
    }
    plat::store_u32le(out + 4, uint32_t(v.value.size() + 1));
    if (text_record) {
        out[2] = 2; // a record of the file; the runtime gives it the file's slot
        plat::store_u16le(out + 8, text_record);
    } else {
        std::memcpy(out + 8, v.value.data(), v.value.size());
    }
}

} // namespace

bool pm_var_needs_record(const PieceVariable& variable)
{
    return variable.type != 1 && variable.type != 2 && variable.value.size() + 1 > kInlineMax;
}

std::vector<uint8_t> pm_var_names(const PieceDescription& piece)
{
    std::vector<uint8_t> list;
    for (size_t i = 0; i < piece.variables.size(); ++i) {
        const std::string& name = piece.variables[i].name;
        put_field(list, uint16_t(i + 1), reinterpret_cast<const uint8_t*>(name.c_str()), name.size() + 1);
    }
    list.push_back(0);
    list.push_back(0);
    return list;
}

std::vector<uint8_t> pm_var_definitions(const PieceDescription& piece, const std::vector<uint16_t>& text_records)
{
    std::vector<uint8_t> list;
    for (size_t i = 0; i < piece.variables.size(); ++i) {
        uint8_t value[16];
        definition_value(piece.variables[i], i < text_records.size() ? text_records[i] : 0, value);
        put_field(list, uint16_t(i + 1), value, sizeof value);
    }
    list.push_back(0);
    list.push_back(0);
    return list;
}

std::vector<uint8_t> pm_var_name_dictionary(const PieceDescription& piece)
{
    HashTable table;
    if (!hash_create(table, uint32_t(std::max<size_t>(piece.variables.size(), 1))))
        return {};
    for (size_t i = 0; i < piece.variables.size(); ++i) {
        std::string name = piece.variables[i].name.substr(0, kNameMax);
        if (name == "%")
            continue;
        plat::char_upper(name.data(), name.size());
        hash_insert(table, name.c_str(), uint16_t(i + 1));
    }
    const uint8_t* slots = static_cast<const uint8_t*>(mem_address(table.slots));
    std::vector<uint8_t> bytes(slots, slots + hash_slot_bytes(table.slot_count));
    hash_free(table);
    return bytes;
}
