// The tutor's texts from readable UTF-8 sources to the forms the tutor reads from its data
// folder (CP949 or ASCII, lines ending in CR LF): word lists, proverb files and long texts.
// Every limit the tutor depends on is checked here, so a bad source stops the build with one
// line naming its file and line.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

enum class TextKind { words, proverbs, story };
enum class TextLanguage { korean, english };

// Limits of the stored files.
constexpr size_t kWordMaxBytes = 14;
constexpr size_t kWordFileMinBytes = 10; // the tutor calls a shorter word file missing
constexpr size_t kProverbMinCount = 100;
constexpr size_t kProverbLineMaxBytes = 53;
constexpr size_t kProverbMinBytes = 1000; // after the trailing line ends are trimmed
constexpr size_t kTextMaxBytes = 65535; // sizes are held in 16 bits
constexpr size_t kStoryMinBytes = 2048;
constexpr size_t kStoryMaxBytes = 8192;
constexpr size_t kStoryTitleMaxBytes = 127; // the catalogue reads the title from 127 bytes
constexpr size_t kStoryNameMaxChars = 9; // "l_NAME.bmp" fits the archive's 16-byte names

// "words-kor", "proverbs-eng", "story-kor" ... to kind and language; false for anything else.
bool text_kind_parse(std::string_view name, TextKind& kind, TextLanguage& language);

struct TextConversion {
    std::string stored; // the bytes to write
    std::string error; // "SOURCE:LINE: what is wrong" (LINE 0 when no line is to blame)
};

// Converts one source. source_name names the source in errors; stored_name is the name the
// stored file will have (a story's base name is checked against the picture names).
// Sources of words and proverbs may hold comment lines starting with '#' and blank lines.
bool text_convert(TextKind kind, TextLanguage language, std::string_view source_name,
    std::string_view utf8, std::string_view stored_name, TextConversion& out);
