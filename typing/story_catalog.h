// The long texts: the catalogue of the story files in the data folder (built once a run), the
// story chosen for each language (kept in qkt.ini under [Story]), and the chooser's pages of
// twelve stories.
#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "typing/practice_texts.h"

inline constexpr char kStorySection[] = "Story";
constexpr int32_t kNoStory = -1;
constexpr int32_t kChooserCells = 12; // 4 by 3 a page
constexpr int32_t kChooserColumns = 4;

// Scans "*.TXT" of the data folder ("readme.txt" and unreadable files are left out), unless the
// catalogue is built already.
void story_catalog_scan();
bool story_catalog_built();
// Sets the catalogue as given (tests and tools); it counts as built.
void story_catalog_set(std::vector<StoryEntry> entries);
const std::vector<StoryEntry>& story_catalog();
// The entry of a catalogue index; null when there is none.
const StoryEntry* story_entry(int32_t index);
void story_catalog_free();

// The catalogue indexes of the stories of a language, in catalogue order.
std::vector<int32_t> story_indexes(int32_t language);

// Reads the choice of both languages from [Story]: the named file when it is in the catalogue,
// else the first story of the language; kNoStory when the language has none.
void story_choice_read();
// Writes the file names of both choices; a language without a story keeps what was written.
void story_choice_write();
int32_t story_current(int32_t language);
void story_set_current(int32_t language, int32_t index);

// Chooser pages: how many (at least 1) and the catalogue index of a cell, kNoStory for an
// empty cell.
int32_t chooser_page_count(std::span<const int32_t> stories);
int32_t chooser_cell_story(std::span<const int32_t> stories, int32_t page, int32_t cell);
// The picture of a story on the chooser ('s') or the long-text screen ('l'): the letter, '_'
// and the file name with its extension replaced by "bmp".
std::string story_picture_name(char kind, const std::string& file_name);
