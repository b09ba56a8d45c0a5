// The key-position lessons' logic: the lessons of the four layouts, where each key sits on the
// keyboard picture and which finger types it, the keys that type a syllable, the drill pairs
// and lines, and the word list with its filter by the keys learnt so far. The lesson screen
// (lesson_screen.h) drives it; the word-rain game uses the word list and filter.
#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/window/geometry.h"

constexpr int kLessonLayouts = 4; // 2-beolsik, 3-beolsik 390, QWERTY, Dvorak
constexpr int kLessonNoWordStage = 2; // the last two lessons (numbers, symbols) have no word stage

// The layout of the settings' Language and Keyboard.
int layout_index();
int lesson_count(int layout);
// Decodes the lessons' keys (Johab codes, letters in lower case); false and nothing kept when
// a table is broken. Lessons are empty until then.
bool lessons_decode();
void lessons_free();
std::span<const uint16_t> lesson_keys(int layout, int lesson);
// The lesson's name (UTF-8) and its keys as Johab text, joined by blanks, for the result title.
const char* lesson_name(int layout, int lesson);
std::string lesson_keys_text(int layout, int lesson);

// Where a code is on the layout's keyboard map: the unshifted rows first. row -1 when absent.
struct KeyPlace {
    int row = -1;
    int column = -1;
    bool shift = false;
};
KeyPlace key_place(int layout, uint16_t code);
// The finger position 1..10 of a key (home row columns 1..10); 0 for the space bar or none.
int key_finger_position(const KeyPlace& place);
// The home key of the finger that types code; 'a' when the key is not on the map.
uint16_t home_key(int layout, uint16_t code);
// The keys (as map codes) that type a code on the layout, in order; a fill contributes none.
std::vector<uint16_t> syllable_keys(int layout, uint16_t code);

// The next key to press, from the typing line's position: the next key of a syllable partly
// typed, else the first key of the next model code; 0 when there is none.
// Codes as the typing line reports them (MultiInputState): the model code under the last typed
// code, the one after it, the last typed code and whether it is still being composed.
uint16_t next_key(int layout, uint16_t model_under_last, uint16_t model_next, uint16_t last_typed, bool interim);

// What to light for a key: its rectangle, the shift key when it is shifted, the finger picture
// (0..7, -1 none). The rectangles are on the keyboard picture's place on the screen.
struct Lighting {
    std::vector<plat::Rect> keys; // at most 2
    int finger = -1;
};
Lighting key_lighting(int layout, uint16_t key);
plat::Rect key_rect(const KeyPlace& place);
constexpr int kFingers = 8;
plat::Rect finger_rect(int finger);

// The word list of a language (Johab words), loaded from WORD.KOR or WORD.ENG.
bool word_list_load(); // false after telling the user the file is missing or too short
void word_list_set(int language, std::span<const std::string> words); // tests and tools
// The words of a word file's bytes (separated by tab, blank, CR and LF; Korean ones to Johab).
std::vector<std::string> word_list_parse(std::string_view bytes, bool korean);
void word_list_free();
size_t word_list_size();
// Keeps the words typed with the keys of lessons 0..lesson of the current layout (all words
// from the last lesson on); returns how many.
size_t word_filter_by_keys(int layout, int lesson);
size_t word_filtered_count();
size_t word_filtered_shortest(); // bytes; 0 when no word fits
// A filtered word, more likely the longer it is (a random byte of the words); "" when none.
std::string word_list_random();

// One lesson being practised.
struct LessonRun {
    int layout = 0;
    int lesson = 0;
    int stage = 0; // 0 key drills, 1 word drills
    int pair_position = 0;
    int line_count = 0; // lines given for the current pair or in the word stage
    std::vector<std::pair<uint16_t, uint16_t>> pairs; // {key, partner}
};
// Prepares the lesson (out of range becomes 0): its pairs and the filtered words.
void lesson_prepare(LessonRun& run, int layout, int lesson);
// Builds the next line (Johab) into out: true; false when the stage ended (run.stage then
// says the next stage: 1 after drills with words to type, else 0). repeats is LessonCount.
bool drill_line_build(std::string& out, LessonRun& run, size_t width, int32_t repeats);
