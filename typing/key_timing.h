// Keystroke timing of the typing line: each keystroke's interval from the one before (at most
// 2000 ms), and the times of a syllable's initial, medial and final keys. The input method
// shows a syllable growing key by key before it is final, so those interim steps wait in a
// ring of the last ten and are handed out when the syllable is finished.
#pragma once
#include <array>
#include <cstdint>

constexpr int32_t kKeyIntervalCap = 2000;
constexpr int kKeyRingSize = 10;

struct KeyTimes {
    int32_t initial_ms = 0;
    int32_t medial_ms = 0;
    int32_t final_ms = 0;
    bool operator==(const KeyTimes&) const = default;
};

struct KeyTiming {
    struct Step {
        int32_t interval = 0;
        uint16_t code = 0; // Johab, as the step showed it
    };
    uint32_t last_key = 0; // tick of the previous keystroke
    std::array<Step, kKeyRingSize> ring {};
    int first = 0;
    int count = 0;
};

// The clock starts over at now; the ring empties.
void key_timing_restart(KeyTiming& timing, uint32_t now);
// A step of a syllable still being composed.
void key_timing_interim(KeyTiming& timing, uint32_t now, uint16_t code);
// A finished character. After interim steps, the ring is handed out in order: one step to
// the initial, the medial and the final each (none for a fill field), a second step to a
// field that changes to another real jamo in the next step (a doubled initial, a compound
// vowel or final typed as two keys); a ring that runs out too early restarts the clock.
// Typed without composing, its own interval goes to its first real field (the initial of a
// syllable or a single-byte character).
KeyTimes key_timing_final(KeyTiming& timing, uint32_t now, uint16_t code);
