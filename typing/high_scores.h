// The word-rain game's ten best scores, kept in qktsco.dat in the program folder (480 bytes:
// ten 48-byte entries, best first), and the dialog that lists them.
#pragma once
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/window/message.h"
#include "platform/window/window_types.h"

inline constexpr char kHighScoreFile[] = "qktsco.dat";
constexpr size_t kHighScoreEntries = 10;
constexpr size_t kHighScoreEntrySize = 48;
constexpr size_t kHighScoreFileSize = kHighScoreEntries * kHighScoreEntrySize;
constexpr size_t kHighScoreNameBytes = 40;

struct HighScoreEntry {
    std::string name; // Johab, at most 40 bytes, no NUL; "" marks an empty entry
    uint16_t language = 0; // 0 Korean, 1 English
    uint16_t keyboard = 0;
    int32_t score = 0;
};
using HighScoreTable = std::array<HighScoreEntry, kHighScoreEntries>;

// The table of a file's bytes: false and an empty table unless there are exactly 480. A name
// runs to its first NUL and never past its 40 bytes.
bool high_scores_parse(std::span<const uint8_t> bytes, HighScoreTable& table);
std::vector<uint8_t> high_scores_bytes(const HighScoreTable& table);
// Enters the score below every entry with the same or a better score; its row (0..9), or -1
// when it is not better than the tenth.
int high_scores_insert(HighScoreTable& table, const HighScoreEntry& entry);
// A row as the list shows it (Johab): rank, the name in ten bytes cut at a whole character,
// the score, the language and the keyboard.
std::string high_score_row_text(const HighScoreEntry& entry, int rank);
// Rows shown: those before the first empty entry.
size_t high_scores_shown(const HighScoreTable& table);

// Enters the score (0: only shows the list) under the current user's name and settings, writes
// the file when an entry was stored and shows the list over parent. The row stored, or -1.
int high_scores_update(plat::WindowHandle parent, int32_t score);
// The table as this run knows it (read from the file the first time it is needed).
const HighScoreTable& high_scores_table();
void high_scores_reset(); // tests: the file is read again next time
