// Bytes written as hex in test rows, and back: "0a 1b|2c" <-> {0x0a, 0x1b, 0x2c}.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// Hex digit pairs; blanks and '|' (a visual field separator in rows) are ignored.
inline std::vector<uint8_t> from_hex(const std::string& hex)
{
    std::vector<uint8_t> out;
    std::string digits;
    for (char c : hex)
        if (c != ' ' && c != '|' && c != '\n')
            digits += c;
    for (size_t at = 0; at + 1 < digits.size(); at += 2)
        out.push_back(uint8_t(std::stoi(digits.substr(at, 2), nullptr, 16)));
    return out;
}

// Lower-case digit pairs without separators.
inline std::string to_hex(const uint8_t* bytes, size_t size)
{
    std::string out;
    char digits[3];
    for (size_t n = 0; n < size; n++) {
        std::snprintf(digits, sizeof digits, "%02x", bytes[n]);
        out += digits;
    }
    return out;
}

inline std::string to_hex(const std::vector<uint8_t>& bytes)
{
    return to_hex(bytes.data(), bytes.size());
}
