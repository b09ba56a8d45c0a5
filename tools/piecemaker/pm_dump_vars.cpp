// dump --learner: the stored user and custom variables of the variable store's records.
#include "tools/piecemaker/pm_dump.h"

#include "platform/kernel/byte_io.h"
#include "runtime/base/taglist.h"
#include "runtime/engine/modbus.h"
#include "runtime/engine/urec.h"
#include "runtime/engine/var.h"
#include "runtime/engine/var_names.h"
#include "runtime/store/rec_store.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct SavedSymbols {
    std::vector<uint8_t> table; // {u32 id, u32 name offset} per symbol
    std::vector<uint8_t> names;
};

std::string quoted(const std::string& text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out + "\"";
}

std::string symbol_name(const SavedSymbols& symbols, uint32_t id)
{
    for (size_t at = 0; at + 8 <= symbols.table.size(); at += 8) {
        uint32_t offset = plat::load_u32le(symbols.table.data() + at + 4);
        if (plat::load_u32le(symbols.table.data() + at) == id && offset < symbols.names.size()) {
            const char* name = reinterpret_cast<const char*>(symbols.names.data() + offset);
            return std::string(name, strnlen(name, symbols.names.size() - offset));
        }
    }
    return "?";
}

// A text of the piece's file (storage 2): its record's bytes up to the NUL.
std::string piece_text(int piece_slot, uint16_t number)
{
    RecordId id = rec_make_id(uint32_t(piece_slot), number);
    MemHandle block = piece_slot ? rec_get(id) : MemHandle {};
    if (!block)
        return "";
    size_t size = std::min<size_t>(rec_size(id, kSizeUnpacked), mem_size(block));
    const char* text = static_cast<const char*>(mem_address(block));
    std::string out(text, strnlen(text, size));
    rec_release(id, kReleaseOne);
    return out;
}

std::string value_text(const uint8_t* v, const SavedSymbols& symbols, int piece_slot)
{
    static const char* const kObjectWords[] = { "rect", "point", "list", "property-list", "event-list" };
    switch (v[1]) {
    case kValString: {
        if (v[2] == kStoreInline)
            return quoted(std::string(reinterpret_cast<const char*>(v + 8), strnlen(reinterpret_cast<const char*>(v + 8), 8)));
        if (v[2] == kStoreRecord)
            return quoted(piece_text(piece_slot, plat::load_u16le(v + 8)));
        std::vector<uint8_t> bytes;
        if (v[2] != kStoreLearner || urec_read(plat::load_u16le(v + 8), bytes) != 0)
            return "\"\"";
        return quoted(std::string(reinterpret_cast<const char*>(bytes.data()), strnlen(reinterpret_cast<const char*>(bytes.data()), bytes.size())));
    }
    case kValInteger: return std::to_string(int32_t(plat::load_u32le(v + 2)));
    case kValReal: {
        uint64_t bits = uint64_t(plat::load_u32le(v + 2)) | uint64_t(plat::load_u32le(v + 6)) << 32;
        double x;
        std::memcpy(&x, &bits, sizeof x);
        char text[40];
        std::snprintf(text, sizeof text, "%.15g", x);
        return text;
    }
    case kValSymbol: return "#" + symbol_name(symbols, plat::load_u32le(v + 2));
    default:
        if (v[1] >= kValRect && v[1] <= kValEventList)
            return kObjectWords[v[1] - kValRect];
        return "type " + std::to_string(v[1]);
    }
}

std::string variable_name(uint16_t id, int piece_slot, uint16_t custom_names)
{
    char name[kVarNameLimit * 2 + 2] = "";
    if (var_id_class(id) == kVarClassUser && piece_slot)
        var_name(piece_slot, id, name, sizeof name);
    if (var_id_class(id) == kVarClassCustom && custom_names) {
        std::vector<uint8_t> list;
        if (urec_read(custom_names, list) == 0) {
            uint8_t entry[4 + kVarCustomNameMax + 1] = {};
            uint16_t got = taglist_get(list.data(), list.size(), id, entry, sizeof entry);
            if (got > 4)
                std::snprintf(name, sizeof name, "%.*s", int(got - 4), reinterpret_cast<const char*>(entry + 4));
        }
    }
    return name[0] ? std::string(name) : "#" + std::to_string(id);
}

} // namespace

int pm_dump_variables(const std::vector<uint8_t>& record1, int piece_slot, std::string& out)
{
    uint8_t state[kVarStateSize];
    if (taglist_item_length(record1.data(), record1.size(), kSlotVariables) != kVarStateSize
        || taglist_get(record1.data(), record1.size(), kSlotVariables, state, sizeof state) != kVarStateSize)
        return 0; // no variable store in these records
    std::vector<uint8_t> items;
    int32_t count = int32_t(plat::load_u32le(state + kVarStItemCount));
    if (urec_read(plat::load_u16le(state + kVarStItems), items) != 0 || count < 0
        || uint64_t(count) * kVarItemSize > items.size())
        return kErrStateSize;
    SavedSymbols symbols;
    (void)urec_read(plat::load_u16le(state + kVarStSymbols1), symbols.table);
    (void)urec_read(plat::load_u16le(state + kVarStSymbols2), symbols.names);
    for (int32_t i = 0; i < count; ++i) {
        const uint8_t* item = items.data() + size_t(i) * kVarItemSize;
        uint32_t context = plat::load_u32le(item);
        uint16_t id = plat::load_u16le(item + 4);
        int kind = var_id_class(id);
        if (kind != kVarClassUser && kind != kVarClassCustom)
            continue;
        std::string name = variable_name(id, piece_slot, plat::load_u16le(state + kVarStCustomNames));
        if (context & 0xFFFF)
            name += "@" + std::to_string(context & 0xFFFF);
        out += "var " + name + " " + value_text(item + 6, symbols, piece_slot) + "\n";
    }
    return 0;
}
