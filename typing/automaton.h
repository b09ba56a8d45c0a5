// The tutor's Hangul keyboard automaton is the input method's composer: choosing the table
// chooses the layout Hangul is typed on, as a learner sets the system's input method to match
// the keyboard the lessons teach.
#pragma once
#include <cstdint>

#include "platform/ime/hangul.h"

// Keyboard 1 picks 3-beolsik 390, anything else 2-beolsik.
void automaton_select_table(int32_t keyboard);
// The table follows Keyboard of the current settings (after the options dialog).
void automaton_reselect();

// The code a key types on a layout, as the tutor's keyboard maps hold it: a jamo as the Johab
// code of its role (initials and 2-beolsik's consonants as (initial, fill, fill), vowels as
// (fill, medial, fill), 390's finals as (fill, fill, final)), a character as its byte; 0 when
// the layout gives the key nothing.
uint16_t automaton_key_code(plat::HangulLayout layout, uint32_t vk, bool shift);
// The final-form code, (fill, fill, final), of a consonant's Johab code; 0 for a code that is
// not a consonant that can end a syllable.
uint16_t automaton_as_final(uint16_t code);
