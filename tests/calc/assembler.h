// A small assembler of code blocks for the tests (there is no compiler yet): pool entries,
// instructions and an optional kept token stream, laid out as the compiler lays them out.
#pragma once
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/calc/codeblock.h"

namespace calctest {

class Assembler {
public:
    Assembler() { pool_.assign(kCodeHeaderSize, 0); }

    int16_t real(double x)
    {
        uint8_t b[8];
        std::memcpy(b, &x, 8);
        return entry(b, 8);
    }
    int16_t text(const std::string& s) { return entry(reinterpret_cast<const uint8_t*>(s.c_str()), s.size() + 1); }
    int16_t integer(int32_t x) { return le({ uint32_t(x) }, 4); }
    int16_t variable(uint16_t id, uint16_t at = 0, uint16_t icon = 0) { return le({ id, at, icon }, 2); }
    int16_t call(int16_t argc, uint16_t id) { return le({ uint16_t(argc), id }, 2); }

    // Appends an instruction; its index.
    int op(int16_t opcode, int16_t operand = 0)
    {
        code_.push_back({ opcode, operand });
        return int(code_.size()) - 1;
    }
    void patch(int index, int16_t operand) { code_[index].operand = operand; }
    int next() const { return int(code_.size()); }
    // Kept tokens: raw bytes (a data token is its code, the data and the code again).
    void kept(const std::vector<uint8_t>& bytes) { kept_.insert(kept_.end(), bytes.begin(), bytes.end()); }
    void kept_text(uint8_t token, const std::string& s)
    {
        kept_.push_back(token);
        kept_.insert(kept_.end(), s.begin(), s.end());
        kept_.push_back(token);
    }

    // The block; with_end appends the End instruction, with_kept a kept stream ended by token 0.
    std::vector<uint8_t> build(bool with_end = true, bool with_kept = false) const
    {
        std::vector<uint8_t> b = pool_;
        while (b.size() % 4)
            b.push_back(0);
        uint16_t start = uint16_t(b.size() / 4);
        std::vector<CodeInstruction> code = code_;
        if (with_end)
            code.push_back({ 0, 0 });
        for (CodeInstruction in : code) {
            put16(b, uint16_t(in.opcode));
            put16(b, uint16_t(in.operand));
        }
        uint16_t kept_offset = 0;
        if (with_kept) {
            kept_offset = uint16_t(b.size());
            b.insert(b.end(), kept_.begin(), kept_.end());
            b.push_back(0);
        }
        uint16_t total = uint16_t(b.size());
        b[0] = uint8_t(total), b[1] = uint8_t(total >> 8);
        b[2] = uint8_t(start), b[3] = uint8_t(start >> 8);
        b[4] = uint8_t(kept_offset), b[5] = uint8_t(kept_offset >> 8);
        return b;
    }

private:
    int16_t entry(const uint8_t* bytes, size_t n)
    {
        int16_t at = int16_t(pool_.size());
        pool_.insert(pool_.end(), bytes, bytes + n);
        return at;
    }
    int16_t le(std::initializer_list<uint32_t> words, int width)
    {
        int16_t at = int16_t(pool_.size());
        for (uint32_t w : words)
            for (int i = 0; i < width; ++i)
                pool_.push_back(uint8_t(w >> (8 * i)));
        return at;
    }
    static void put16(std::vector<uint8_t>& b, uint16_t x)
    {
        b.push_back(uint8_t(x));
        b.push_back(uint8_t(x >> 8));
    }
    std::vector<uint8_t> pool_;
    std::vector<CodeInstruction> code_;
    std::vector<uint8_t> kept_;
};

// Bytes from hex with blanks anywhere.
inline std::vector<uint8_t> hex_bytes(const char* hex)
{
    std::vector<uint8_t> out;
    int high = -1;
    for (const char* p = hex; *p; ++p) {
        int d = *p >= '0' && *p <= '9' ? *p - '0' : *p >= 'a' && *p <= 'f' ? *p - 'a' + 10 : -1;
        if (d < 0)
            continue;
        if (high < 0) {
            high = d;
        } else {
            out.push_back(uint8_t(high << 4 | d));
            high = -1;
        }
    }
    return out;
}

} // namespace calctest
