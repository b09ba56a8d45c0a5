// The texts of short and long practice: the proverb file of a language and its random lines,
// the catalogue entry of a story file, a story cut into display lines and pages, and the
// spacing after full stops.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

constexpr size_t kTextFileMax = 65535; // sizes are held in 16 bits: the rest is not read
constexpr size_t kProverbMinSize = 1000; // a proverb file smaller than this after trimming is refused
constexpr size_t kStoryLineMax = 120; // the typing line's model holds no more
constexpr size_t kStoryPageLines = 3;
constexpr size_t kStoryTitleBytes = 127;

// Reads at most kTextFileMax bytes of a file; false when it is missing or cannot be read.
bool text_file_read(std::string_view path, std::string& bytes);

// Removes trailing CR, LF, blanks and BEL.
void text_trim_end(std::string& bytes);

// Proverbs: the buffer of one language, kept until another is loaded.
enum ProverbLoad : int { kProverbMissing = -1, kProverbTooShort = 0, kProverbLoaded = 1 };
// Trims and takes a file's bytes (CP949 for language 0, converted to Johab); kProverbTooShort
// when fewer than kProverbMinSize bytes remain.
ProverbLoad proverb_take(int32_t language, std::string bytes);
// Reads PROVERB.KOR (language 0) or PROVERB.ENG from the data folder, unless that language is
// loaded already; a missing or empty file shows its message box.
ProverbLoad proverb_load(int32_t language);
// A random line of at most max_length bytes, without its line end; -1 when no line fits.
// The draws are bounded: after them the first line that fits is taken.
int32_t proverb_random(std::string& line, size_t max_length);
void proverb_reset();

// A story file's catalogue entry, from its first kStoryTitleBytes bytes.
enum StoryCode : int32_t { kStoryJohab = 0, kStoryWansung = 1 };
enum StoryLanguage : int32_t { kStoryKorean = 0, kStoryEnglish = 1 };
struct StoryEntry {
    StoryCode code = kStoryWansung;
    StoryLanguage language = kStoryEnglish;
    std::string file_name;
    uint32_t file_size = 0;
    std::string title; // CP949
};
StoryEntry story_entry_from_head(std::string_view file_name, std::string_view head, uint32_t file_size);

// The story cut into display lines of at most min(width, kStoryLineMax) bytes.
std::vector<std::string> story_cut(std::string_view text, size_t width);

// Spacing after a full stop followed by blanks: one blank, two, or the line as it stands.
enum AfterSpaceMode : int32_t { kAfterSpaceOne = 0, kAfterSpaceTwo = 1, kAfterSpaceKeep = 2 };
// Never longer than kStoryLineMax bytes: a second blank that would not fit is left out.
std::string story_reformat(std::string_view line, int32_t mode);

// Up to three lines of a page ready for the typing line: CP949, reformatted, control bytes
// made blanks. Empty when the story has ended.
std::vector<std::string> story_page(const std::vector<std::string>& lines, size_t page, StoryCode code, int32_t mode);
