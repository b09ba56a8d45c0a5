// Labels of the codes the keyboards and the statistics show: UTF-8 text of single-byte
// characters and of the jamo in their Johab fields.
#pragma once
#include <cstdint>
#include <string>

enum class JamoKind { none, initial, vowel, final };

// What a legend code is: a jamo code of one field with the other two filled, or none.
JamoKind jamo_kind(uint16_t code);
// The compatibility jamo of a field of a kind, in UTF-8; empty when the field is no jamo.
std::string jamo_text(JamoKind kind, int field);
// A key's legend: a single-byte character, or the jamo of a legend code.
std::string legend_text(uint16_t code);
