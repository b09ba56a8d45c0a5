// The tutor's texts: the conversion of their UTF-8 sources (what is stored, what is refused),
// and the files the build put in the data folder, read as the tutor reads them: word lists
// that give every lesson and game level its words, proverb files, and long texts with their
// catalogue title, code, language and pictures.
#include "tools/qkttext/text_convert.h"
#include "typing/bitmap_archive.h"
#include "typing/johab.h"
#include "typing/practice_texts.h"

#include "platform/kernel/byte_io.h"
#include "test_util.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>

namespace {

const std::string kDataFolder = STORVEL_BINARY_DIR "/bin/data/";

std::string read_text(const std::string& path)
{
    std::vector<uint8_t> bytes = read_host_file(path);
    return std::string(bytes.begin(), bytes.end());
}

// n lines "line NNN of a proverb file" (26 bytes each).
std::string numbered_lines(size_t count)
{
    std::string text;
    for (size_t i = 0; i < count; ++i)
        text += "line " + std::to_string(100 + i) + " of a proverb file\n";
    return text;
}

// An English long text: its title line, then paragraphs up to at least size bytes.
std::string story_source(const std::string& title, size_t size)
{
    std::string text = title + "\n";
    while (text.size() < size)
        text += "\nThe wind was soft and the sea was calm, and the boat went slowly home.";
    return text + "\n";
}

TEST(TextConvert, StoresCp949OrAsciiWithCrLfAndSkipsCommentsAndBlankLines)
{
    TextConversion out;
    ASSERT_TRUE(text_convert(TextKind::words, TextLanguage::korean, "w.txt", "# header\n아이 나라\r\n\n  물\t봄  \n", "WORD.KOR", out))
        << out.error;
    EXPECT_EQ(out.stored, "\xBE\xC6\xC0\xCC\r\n\xB3\xAA\xB6\xF3\r\n\xB9\xB0\r\n\xBA\xBD\r\n");

    ASSERT_TRUE(text_convert(TextKind::proverbs, TextLanguage::english, "p.txt", "# comment\n" + numbered_lines(100), "P", out))
        << out.error;
    EXPECT_EQ(out.stored.size(), 100u * 28);
    EXPECT_EQ(out.stored.substr(0, 28), "line 100 of a proverb file\r\n");

    std::string story = story_source("The Calm Sea", 2100);
    ASSERT_TRUE(text_convert(TextKind::story, TextLanguage::english, "s.txt", story, "out/CALM.TXT", out)) << out.error;
    EXPECT_EQ(out.stored.substr(0, 16), "The Calm Sea\r\n\r\n");
    EXPECT_EQ(std::count(out.stored.begin(), out.stored.end(), '\n'), std::count(story.begin(), story.end(), '\n'));
}

TEST(TextConvert, ExactlyTheLimitsAreAccepted)
{
    TextConversion out;
    // a word of 7 syllables is 14 bytes
    EXPECT_TRUE(text_convert(TextKind::words, TextLanguage::korean, "w", "해바라기꽃나무", "W", out)) << out.error;
    // 53 bytes on a line, and 1000 bytes after the last line end is trimmed
    std::string proverbs = std::string(53, 'a') + "\n" + numbered_lines(99);
    ASSERT_TRUE(text_convert(TextKind::proverbs, TextLanguage::english, "p", proverbs, "P", out)) << out.error;
    std::string exact = std::string(10, 'b') + "\n"; // 10 + 99 x 8 bytes and 99 line ends
    for (int i = 0; i < 99; ++i)
        exact += std::string(8, 'c') + "\n";
    ASSERT_TRUE(text_convert(TextKind::proverbs, TextLanguage::english, "p", exact, "P", out)) << out.error;
    EXPECT_EQ(out.stored.size() - 2, 1000u);
    // a title of 127 bytes, a name of 9 characters
    EXPECT_TRUE(text_convert(TextKind::story, TextLanguage::english, "s", story_source(std::string(127, 'T'), 2100), "ABCDEFGH9.txt", out))
        << out.error;
}

struct BadSource {
    const char* what;
    TextKind kind;
    TextLanguage language;
    std::string source;
    const char* stored_name;
    const char* error; // the start of the one-line error
};

TEST(TextConvert, EachBrokenLimitIsRefusedNamingFileAndLine)
{
    std::string korean_story = "한글 이야기\n" + story_source("", 2100).substr(1);
    std::string under_1000 = std::string(9, 'b') + "\n";
    for (int i = 0; i < 99; ++i)
        under_1000 += std::string(8, 'c') + "\n";
    const BadSource kCases[] = {
        {"letters in a Korean word", TextKind::words, TextLanguage::korean, "아이 cat", "W", "src:1: U+0063 is not allowed"},
        {"a Korean word of 16 bytes", TextKind::words, TextLanguage::korean, "가나\n가나다라마바사아", "W", "src:2: \"가나다라마바사아\" is longer than 14"},
        {"an upper-case English word", TextKind::words, TextLanguage::english, "cat Dog", "W", "src:1: U+0044 is not allowed"},
        {"a word listed twice", TextKind::words, TextLanguage::english, "cat\ndog cat", "W", "src:2: \"cat\" is listed twice"},
        {"a syllable outside KS X 1001", TextKind::words, TextLanguage::korean, "\xEB\x98\xA0", "W", "src:1: U+B620 is outside the 2,350"},
        {"malformed UTF-8", TextKind::words, TextLanguage::english, "ok\n\xC3(", "W", "src:2: malformed UTF-8"},
        {"an overlong UTF-8 form", TextKind::words, TextLanguage::english, "\xC0\xAF", "W", "src:1: malformed UTF-8"},
        {"no words", TextKind::words, TextLanguage::english, "# nothing\n", "W", "src:0: too few words"},
        {"99 proverbs", TextKind::proverbs, TextLanguage::english, numbered_lines(99), "P", "src:0: 99 proverbs"},
        {"a proverb of 54 bytes", TextKind::proverbs, TextLanguage::english, "a\nb\n" + std::string(54, 'x') + "\n" + numbered_lines(100), "P", "src:3: 54 bytes"},
        {"a digit in a Korean proverb", TextKind::proverbs, TextLanguage::korean, "가는 말이 1번", "P", "src:1: U+0031 is not allowed"},
        {"999 bytes of proverbs", TextKind::proverbs, TextLanguage::english, under_1000, "P", "src:0: 999 bytes"},
        {"a tab in a proverb", TextKind::proverbs, TextLanguage::english, "a\tb\n" + numbered_lines(100), "P", "src:1: a tab"},
        {"a proverb starting with a blank", TextKind::proverbs, TextLanguage::english, numbered_lines(100) + " x\n", "P", "src:101: a proverb starts"},
        {"a long text under 2048 bytes", TextKind::story, TextLanguage::english, story_source("Short", 1800), "SHORT.TXT", "src:0: "},
        {"a long text over 8192 bytes", TextKind::story, TextLanguage::english, story_source("Long", 8300), "LONG.TXT", "src:0: "},
        {"a title of 128 bytes", TextKind::story, TextLanguage::english, story_source(std::string(128, 'T'), 2100), "T.TXT", "src:1: the title has 128 bytes"},
        {"a title the catalogue would read as Johab", TextKind::story, TextLanguage::korean, "봄비 내리는 날\n" + story_source("", 2100).substr(1), "RAIN.TXT", "src:1: the title reads as Johab"},
        {"a Korean text with an English title", TextKind::story, TextLanguage::korean, story_source("Rain", 2100) + "한글\n", "RAIN.TXT", "src:1: a Korean text's title"},
        {"Hangul in an English text", TextKind::story, TextLanguage::english, korean_story, "RAIN.TXT", "src:1: U+D55C is not allowed"},
        {"an empty title line", TextKind::story, TextLanguage::english, story_source("", 2100), "RAIN.TXT", "src:1: the first line is the title"},
        {"a base name of 10 characters", TextKind::story, TextLanguage::english, story_source("Rain", 2100), "data/LONGSTORY1.TXT", "src:0: a long text's base name"},
        {"readme.txt", TextKind::story, TextLanguage::english, story_source("Rain", 2100), "ReadMe.TXT", "src:0: readme.txt"},
        {"a name not ending in .TXT", TextKind::story, TextLanguage::english, story_source("Rain", 2100), "RAIN.DOC", "src:0: a long text's name ends"},
        {"a blank in the name", TextKind::story, TextLanguage::english, story_source("Rain", 2100), "MY RAIN.TXT", "src:0: a long text's base name"},
    };
    for (const BadSource& c : kCases) {
        SCOPED_TRACE(c.what);
        TextConversion out;
        out.stored = "old";
        EXPECT_FALSE(text_convert(c.kind, c.language, "src", c.source, c.stored_name, out));
        EXPECT_EQ(out.error.rfind(c.error, 0), 0u) << out.error;
        EXPECT_EQ(out.error.find('\n'), std::string::npos);
        EXPECT_TRUE(out.stored.empty());
    }
}

// ---- the shipped files ----

// The lines of a stored text, without their CR LF.
std::vector<std::string> stored_lines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find("\r\n", start);
        EXPECT_NE(end, std::string::npos) << "a line without CR LF";
        if (end == std::string::npos)
            end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

// The Unicode of each character of CP949 text; 0 for a pair that is not a Hangul syllable.
std::u32string cp949_to_unicode(const std::string& text)
{
    std::u32string out;
    for (uint16_t code : dbcs_to_codes(text))
        out += code < 0x80 ? char32_t(code) : char32_t(johab_to_unicode(wansung_char_to_johab(code)));
    return out;
}

std::vector<std::string> word_file(const char* name)
{
    std::string text = read_text(kDataFolder + name);
    std::vector<std::string> words;
    size_t start = 0;
    while ((start = text.find_first_not_of(" \t\r\n", start)) != std::string::npos) {
        size_t end = text.find_first_of(" \t\r\n", start);
        words.push_back(text.substr(start, end - start));
        start = end;
    }
    return words;
}

struct LanguageFile {
    const char* file;
    bool korean;
};

bool hangul_syllable(char32_t c) { return c >= 0xAC00 && c <= 0xD7A3; }

TEST(ShippedTexts, WordListsHoldOnlyShortWordsOfTheirScript)
{
    static const LanguageFile kFiles[] = {{"WORD.KOR", true}, {"WORD.ENG", false}};
    for (const auto& f : kFiles) {
        SCOPED_TRACE(f.file);
        std::vector<std::string> words = word_file(f.file);
        EXPECT_GE(words.size(), 200u);
        EXPECT_EQ(std::set<std::string>(words.begin(), words.end()).size(), words.size());
        for (const std::string& word : words) {
            EXPECT_LE(word.size(), kWordMaxBytes) << word;
            for (char32_t c : cp949_to_unicode(word))
                EXPECT_TRUE(f.korean ? hangul_syllable(c) : c >= 'a' && c <= 'z') << word;
        }
    }
}

TEST(ShippedTexts, ProverbFilesFitTheShortTextScreen)
{
    static const LanguageFile kFiles[] = {{"PROVERB.KOR", true}, {"PROVERB.ENG", false}};
    for (const auto& f : kFiles) {
        SCOPED_TRACE(f.file);
        std::string text = read_text(kDataFolder + f.file);
        std::string trimmed = text.substr(0, text.find_last_not_of("\r\n \a") + 1);
        EXPECT_GE(trimmed.size(), kProverbMinBytes);
        EXPECT_LE(trimmed.size(), kTextMaxBytes);
        std::vector<std::string> lines = stored_lines(text);
        EXPECT_GE(lines.size(), kProverbMinCount);
        for (const std::string& line : lines) {
            EXPECT_LE(line.size(), kProverbLineMaxBytes) << line;
            EXPECT_FALSE(line.empty() || line[0] == ' ') << line;
            for (char32_t c : cp949_to_unicode(line)) {
                bool fits = f.korean ? hangul_syllable(c) || (c < 0x80 && std::string_view(" .,!?'\"-:;~()").find(char(c)) != std::string_view::npos)
                                     : c >= 0x20 && c < 0x7F;
                EXPECT_TRUE(fits) << line;
            }
        }
    }
}

// The width and height of a picture in the archive; 0 x 0 when it is missing.
std::pair<int, int> picture_size(const std::string& name)
{
    std::vector<uint8_t> dib = bitmap_archive_read(name);
    if (dib.size() < 40)
        return {0, 0};
    return {int(plat::load_u32le(&dib[4])), int(plat::load_u32le(&dib[8]))};
}

TEST(ShippedTexts, LongTextsAreCatalogedAsTheirRealCodeAndHaveTheirPictures)
{
    ASSERT_TRUE(bitmap_archive_open_file(STORVEL_BINARY_DIR "/bin/qktbmp.map"));
    std::map<bool, int> per_language;
    for (const auto& entry : std::filesystem::directory_iterator(kDataFolder)) {
        std::string name = entry.path().filename().string();
        if (entry.path().extension() != ".TXT")
            continue;
        SCOPED_TRACE(name);
        std::string text = read_text(entry.path().string());
        EXPECT_GE(text.size(), kStoryMinBytes);
        EXPECT_LE(text.size(), kStoryMaxBytes);
        std::string base = entry.path().stem().string();
        EXPECT_LE(base.size(), kStoryNameMaxChars);
        StoryEntry view = story_entry_from_head(name, text, uint32_t(text.size()));
        EXPECT_FALSE(view.title.empty());
        EXPECT_LT(view.title.size(), 128u);
        EXPECT_EQ(view.code, kStoryWansung) << "every stored text is CP949";
        bool has_hangul = false;
        for (char32_t c : cp949_to_unicode(text)) {
            EXPECT_TRUE(hangul_syllable(c) || (c >= 0x20 && c < 0x7F) || c == '\r' || c == '\n') << uint32_t(c);
            has_hangul = has_hangul || hangul_syllable(c);
        }
        EXPECT_EQ(view.language == kStoryEnglish, !has_hangul);
        ++per_language[view.language == kStoryEnglish];
        // the screens ask for "%c_%s" of the file name with its extension replaced by "bmp"
        std::pair<int, int> small = picture_size("s_" + base + ".bmp");
        std::pair<int, int> large = picture_size("l_" + base + ".bmp");
        EXPECT_EQ(small, std::make_pair(120, 80));
        EXPECT_GT(large.first, 0);
        EXPECT_LE(large.first, 400);
        EXPECT_LE(large.second, 147);
    }
    bitmap_archive_close();
    EXPECT_GE(per_language[false], 5);
    EXPECT_GE(per_language[true], 5);
}

// ---- words per lesson ----
// A stand-in for the lessons' word filter until the lesson screen has its own: a word fits a
// lesson when every character is typed with the keys of the lessons up to it.

struct LessonKeys {
    std::u32string keys; // jamo or letters typed as initials and medials (or plain keys)
    std::u32string finals; // 3-beolsik: the final-consonant keys
};

struct Layout {
    const char* name;
    bool korean;
    bool three_beolsik;
    std::vector<LessonKeys> lessons; // every lesson; the last two (numbers, symbols) have no word stage
};

const std::vector<Layout>& layouts()
{
    static const std::vector<Layout> kLayouts = {
        {"2-beolsik", true, false,
            {{U"ㅁㄴㅇㄹㅓㅏㅣ;", U""}, {U"ㅂㅃㅈㅉㄷㄸㄱㄲ", U""}, {U"ㅅㅆㅎㅛㅗㅠㅜ", U""}, {U"ㅕㅑㅐㅒㅔㅖ", U""},
                {U"ㅋㅌㅊㅍ", U""}, {U"ㅡ,./", U""}, {U"1234567890", U""}, {U"!@#$%^&*()-=_+[]{},./<>?:\"'", U""}}},
        {"3-beolsik 390", true, true,
            {{U"ㅣㅏㅇㄱㅈㅂ", U"ㅇㄴ"}, {U"ㄹㄷㅁㅊㅍ", U""}, {U"ㅕㅐㅒㅓ", U"ㅅㄹ"}, {U"ㅅㅎㄴㅌ", U""},
                {U"ㅔㅗㅜㅡ", U"ㅁㄱ"}, {U"ㅖㅢㅋㄹㅗ", U""}, {U"ㅛㅠㅑ", U"ㅎㅆㅂ"},
                {U"", U"ㄷㄶㄺㄲㅈㅍㅌㅋㅊㅄㄻㅀ"}, {U"1234567890", U""}, {U"!@#$%^&*()-=_+[]{},./<>?:\"'", U""}}},
        {"QWERTY", false, false,
            {{U"asdfjkl;", U""}, {U"qwer", U""}, {U"tyghbn", U""}, {U"uiop", U""}, {U"zxcv", U""}, {U"m,<>./?", U""},
                {U"1234567890", U""}, {U"!@#$%^&*()_+-=[]{},./<>?:\"'", U""}}},
        {"Dvorak", false, false,
            {{U"aoeuhtns", U""}, {U"gcrl", U""}, {U"yfidxb", U""}, {U"',.p", U""}, {U"mwvz", U""}, {U";qjk", U""},
                {U"1234567890", U""}, {U"!@#$%^&*()_+-=[]{}/<>?:\"", U""}}},
    };
    return kLayouts;
}

// The compatibility jamo of a syllable's initial, medial and final (0 for no final), and the
// consonants that type a final on 2-beolsik.
constexpr std::u32string_view kInitials = U"ㄱㄲㄴㄷㄸㄹㅁㅂㅃㅅㅆㅇㅈㅉㅊㅋㅌㅍㅎ";
constexpr std::u32string_view kFinals = U"ㄱㄲㄳㄴㄵㄶㄷㄹㄺㄻㄼㄽㄾㄿㅀㅁㅂㅄㅅㅆㅇㅈㅊㅋㅌㅍㅎ";
const std::u32string_view kFinalKeys2[] = {U"ㄱ", U"ㄲ", U"ㄱㅅ", U"ㄴ", U"ㄴㅈ", U"ㄴㅎ", U"ㄷ", U"ㄹ", U"ㄹㄱ",
    U"ㄹㅁ", U"ㄹㅂ", U"ㄹㅅ", U"ㄹㅌ", U"ㄹㅍ", U"ㄹㅎ", U"ㅁ", U"ㅂ", U"ㅂㅅ", U"ㅅ", U"ㅆ", U"ㅇ", U"ㅈ", U"ㅊ", U"ㅋ",
    U"ㅌ", U"ㅍ", U"ㅎ"};

bool typed_with(const Layout& layout, const std::u32string& keys, const std::u32string& finals, const std::string& word)
{
    auto has = [](const std::u32string& set, char32_t c) { return set.find(c) != std::u32string::npos; };
    for (char32_t c : cp949_to_unicode(word)) {
        if (!layout.korean) {
            if (!has(keys, c))
                return false;
            continue;
        }
        uint32_t s = c - 0xAC00;
        char32_t initial = kInitials[s / 588];
        char32_t medial = U'ㅏ' + s / 28 % 21;
        uint32_t final = s % 28;
        if (!has(keys, initial) || !has(keys, medial))
            return false;
        if (final == 0)
            continue;
        if (layout.three_beolsik ? !has(finals, kFinals[final - 1])
                                 : !std::all_of(kFinalKeys2[final - 1].begin(), kFinalKeys2[final - 1].end(),
                                       [&](char32_t k) { return has(keys, k); }))
            return false;
    }
    return true;
}

// The distinct words the filter gives for a lesson index (all words from the last lesson on).
size_t words_for_lesson(const Layout& layout, const std::vector<std::string>& words, size_t index)
{
    if (index + 1 >= layout.lessons.size())
        return std::set<std::string>(words.begin(), words.end()).size();
    std::u32string keys, finals;
    for (size_t i = 0; i <= index; ++i) {
        keys += layout.lessons[i].keys;
        finals += layout.lessons[i].finals;
    }
    std::set<std::string> fit;
    for (const std::string& word : words) {
        if (typed_with(layout, keys, finals, word))
            fit.insert(word);
    }
    return fit.size();
}

TEST(ShippedTexts, EveryWordStageAndGameLevelHasWords)
{
    for (const Layout& layout : layouts()) {
        SCOPED_TRACE(layout.name);
        std::vector<std::string> words = word_file(layout.korean ? "WORD.KOR" : "WORD.ENG");
        for (size_t lesson = 0; lesson + 2 < layout.lessons.size(); ++lesson) {
            SCOPED_TRACE("lesson " + std::to_string(lesson));
            EXPECT_GE(words_for_lesson(layout, words, lesson), 10u);
        }
        for (size_t level = 0; level <= 8; ++level) {
            SCOPED_TRACE("game level " + std::to_string(level));
            EXPECT_GT(words_for_lesson(layout, words, level), 0u);
        }
        // words with compound vowels on 2-beolsik wait for the last lesson: some are there
        if (layout.korean && !layout.three_beolsik) {
            EXPECT_GT(words_for_lesson(layout, words, layout.lessons.size() - 1), words_for_lesson(layout, words, 5));
        }
    }
}

} // namespace
