// Judging a finished typing line against its model into a statistics block. Typed and model
// codes are aligned by display width (a double-byte code two columns, a single byte one);
// the marker kTypedSecondColumn stands in the typed codes for the second column of a
// double-byte character typed over a single-byte model character, so that each typed code
// meets the model code under it.
#pragma once
#include <cstdint>
#include <span>

#include "typing/key_timing.h"
#include "typing/practice_stats.h"

constexpr uint16_t kTypedSecondColumn = 0x2020;

// Columns a code takes on the line.
int code_width(uint16_t code);

// Counts every typed code (characters typed, and the typed counts of a syllable's three
// fields or of a single byte's key) and each one that matches the model code it meets
// (characters correct, strokes, correct counts and time sums of its fields or key, times
// capped at 2000 ms). times holds one entry per typed code. Stops at the end of either line.
void line_judge(std::span<const uint16_t> typed, std::span<const uint16_t> model,
    std::span<const KeyTimes> times, PracticeStats& stats);
