#include "tools/qktart/art_jamo.h"

namespace {

// Compatibility jamo (U+3130 + value) by Johab field; 0 for fields that are no jamo.
const uint8_t kInitials[32] = {0, 0, 0x31, 0x32, 0x34, 0x37, 0x38, 0x39, 0x41, 0x42, 0x43, 0x45,
    0x46, 0x47, 0x48, 0x49, 0x4A, 0x4B, 0x4C, 0x4D, 0x4E};
const uint8_t kVowels[32] = {0, 0, 0, 0x4F, 0x50, 0x51, 0x52, 0x53, 0, 0, 0x54, 0x55, 0x56, 0x57,
    0x58, 0x59, 0, 0, 0x5A, 0x5B, 0x5C, 0x5D, 0x5E, 0x5F, 0, 0, 0x60, 0x61, 0x62, 0x63};
const uint8_t kFinals[32] = {0, 0, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37, 0x39, 0x3A, 0x3B,
    0x3C, 0x3D, 0x3E, 0x3F, 0x40, 0x41, 0, 0x42, 0x44, 0x45, 0x46, 0x47, 0x48, 0x4A, 0x4B, 0x4C,
    0x4D, 0x4E};

std::string utf8(uint32_t code_point)
{
    std::string out;
    if (code_point < 0x80) {
        out += char(code_point);
    } else if (code_point < 0x800) {
        out += char(0xC0 | code_point >> 6);
        out += char(0x80 | (code_point & 0x3F));
    } else {
        out += char(0xE0 | code_point >> 12);
        out += char(0x80 | (code_point >> 6 & 0x3F));
        out += char(0x80 | (code_point & 0x3F));
    }
    return out;
}

} // namespace

JamoKind jamo_kind(uint16_t code)
{
    if (!(code & 0x8000))
        return JamoKind::none;
    int initial = code >> 10 & 31, medial = code >> 5 & 31, final = code & 31;
    if (medial == 2 && final == 1 && kInitials[initial])
        return JamoKind::initial;
    if (initial == 1 && final == 1 && kVowels[medial])
        return JamoKind::vowel;
    if (initial == 1 && medial == 2 && kFinals[final])
        return JamoKind::final;
    return JamoKind::none;
}

std::string jamo_text(JamoKind kind, int field)
{
    if (field < 0 || field > 31)
        return {};
    const uint8_t* table = kind == JamoKind::initial ? kInitials
        : kind == JamoKind::vowel                    ? kVowels
        : kind == JamoKind::final                    ? kFinals
                                                     : nullptr;
    if (!table || !table[field])
        return {};
    return utf8(0x3100u + table[field]);
}

std::string legend_text(uint16_t code)
{
    switch (jamo_kind(code)) {
    case JamoKind::initial: return jamo_text(JamoKind::initial, code >> 10 & 31);
    case JamoKind::vowel: return jamo_text(JamoKind::vowel, code >> 5 & 31);
    case JamoKind::final: return jamo_text(JamoKind::final, code & 31);
    case JamoKind::none: break;
    }
    return code >= 0x20 && code < 0x7F ? std::string(1, char(code)) : std::string();
}
