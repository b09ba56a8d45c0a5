#include "typing/lessons.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "platform/controls/msgbox.h"
#include "platform/kernel/codepage.h"
#include "platform/kernel/file.h"
#include "typing/johab.h"
#include "typing/keyboard_legend.h"
#include "typing/tutor_paths.h"
#include "typing/tutor_settings.h"

namespace {

struct LessonRow {
    const char* name; // UTF-8; the filler pads the columns
    const char* keys; // Korean: hex of Johab codes; English: the keys themselves
};

// clang-format off
const LessonRow kTwoSet[] = {
    {"기본ㅤ 자리", "A0419041B4419C4184E1846187A13B"},
    {"왼손ㅤ 윗줄", "A441A841B841BC419441984188418C41"},
    {"검지ㅤ 자리", "AC41B041D041866185A187418681"},
    {"오른손 윗줄", "856184A1848184C185418581"},
    {"왼손ㅤ 밑줄", "C441C841C041CC41"},
    {"오른손 밑줄", "87612C2E2F"},
    {"숫자ㅤ 익힘", "31323334353637383930"},
    {"기호ㅤ 익힘", "21402324255E262A28292D3D5F2B5B5D7B7D2C2E2F3C3E3F3A2227"},
};
const LessonRow kThreeSet[] = {
    {"기본ㅤㅤ 자리", "8457844587A18461B4418841B841A441"},
    {"오른손ㅤ 윗줄", "9C419441A041C041CC41"},
    {"왼손ㅤㅤ 윗줄", "845584498561848184C184E1"},
    {"오른손 아랫줄", "AC41D0419041C841"},
    {"왼손ㅤ 아랫줄", "84518442854185A186818761"},
    {"오른손 맨윗줄", "85818781C4419C4185A1"},
    {"왼손ㅤ 맨윗줄", "845D845684538661874184A1"},
    {"윗받침ㅤ 익힘", "84488447844A84438458845C845B845A84598454844B8450"},
    {"숫자ㅤㅤ 익힘", "31323334353637383930"},
    {"기호ㅤㅤ 익힘", "21402324255E262A28292D3D5F2B5B5D7B7D2C2E2F3C3E3F3A2227"},
};
const LessonRow kQwerty[] = {
    {"기본ㅤ 자리", "ASDFJKL;"}, {"왼손ㅤ 윗줄", "QWER"}, {"검지ㅤ 자리", "TYGHBN"},
    {"오른손 윗줄", "UIOP"}, {"왼손ㅤ 밑줄", "ZXCV"}, {"오른손 밑줄", "M,<>./?"},
    {"숫자ㅤ 익힘", "1234567890"}, {"기호ㅤ 익힘", "!@#$%^&*()_+-=[]{},./<>?:\"'"},
};
const LessonRow kDvorak[] = {
    {"기본ㅤ 자리", "AOEUHTNS"}, {"오른손 윗줄", "GCRL"}, {"검지ㅤ 자리", "YFIDXB"},
    {"왼손ㅤ 윗줄", "',.P"}, {"오른손 밑줄", "MWVZ"}, {"왼손ㅤ 밑줄", ";QJK"},
    {"숫자ㅤ 익힘", "1234567890"}, {"기호ㅤ 익힘", "!@#$%^&*()_+-=[]{}/<>?:\""},
};
// clang-format on

const std::span<const LessonRow> kTables[kLessonLayouts] = {kTwoSet, kThreeSet, kQwerty, kDvorak};
constexpr bool kKorean[kLessonLayouts] = {true, true, false, false};
constexpr size_t kMaxLayoutKeys = 100;

struct Decoded {
    std::vector<std::vector<uint16_t>> lessons[kLessonLayouts];
};
Decoded s_decoded;

bool valid_layout(int layout) { return layout >= 0 && layout < kLessonLayouts; }

int hex_digit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Hex text: 4 digits for a code with the top bit set, else 2.
bool decode_hex(const char* text, std::vector<uint16_t>& out)
{
    std::string_view s(text);
    for (size_t i = 0; i < s.size();) {
        auto byte_at = [&](size_t at) { return hex_digit(s[at]) << 4 | hex_digit(s[at + 1]); };
        if (i + 2 > s.size() || hex_digit(s[i]) < 0 || hex_digit(s[i + 1]) < 0)
            return false;
        int first = byte_at(i);
        if (!(first & 0x80)) {
            out.push_back(uint16_t(first));
            i += 2;
            continue;
        }
        if (i + 4 > s.size() || hex_digit(s[i + 2]) < 0 || hex_digit(s[i + 3]) < 0)
            return false;
        out.push_back(uint16_t(first << 8 | byte_at(i + 2)));
        i += 4;
    }
    return true;
}

uint16_t lower(uint16_t code) { return code < 0x80 ? uint16_t(std::tolower(code)) : code; }

// Johab jamo codes: an initial, a medial or a final alone.
uint16_t initial_code(int field) { return uint16_t(0x8000 | field << 10 | kJohabMedialFill << 5 | kJohabFinalFill); }
uint16_t medial_code(int field) { return uint16_t(0x8000 | kJohabInitialFill << 10 | field << 5 | kJohabFinalFill); }
uint16_t final_code(int field) { return uint16_t(0x8000 | kJohabInitialFill << 10 | kJohabMedialFill << 5 | field); }

// Compound vowels by medial field: the two vowels that type them.
struct Pair {
    int field;
    int first;
    int second;
};
constexpr Pair kCompoundVowels[] = {{14, 13, 3}, {15, 13, 4}, {18, 13, 29}, {21, 20, 7}, {22, 20, 10}, {23, 20, 29},
    {28, 27, 29}};
constexpr int kVowelUi = 28;
// Finals by field: on 2-beolsik the initials' fields that type them (second 0 for one key).
constexpr Pair kFinalsTwoSet[] = {{2, 2, 0}, {3, 3, 0}, {4, 2, 11}, {5, 4, 0}, {6, 4, 14}, {7, 4, 20}, {8, 5, 0},
    {9, 7, 0}, {10, 7, 2}, {11, 7, 8}, {12, 7, 9}, {13, 7, 11}, {14, 7, 18}, {15, 7, 19}, {16, 7, 20}, {17, 8, 0},
    {19, 9, 0}, {20, 9, 11}, {21, 11, 0}, {22, 12, 0}, {23, 13, 0}, {24, 14, 0}, {25, 16, 0}, {26, 17, 0},
    {27, 18, 0}, {28, 19, 0}, {29, 20, 0}};
// 3-beolsik: the clusters typed as two final keys.
constexpr Pair kFinalsThreeSet[] = {{4, 2, 21}, {6, 5, 24}, {12, 9, 19}, {13, 9, 21}, {14, 9, 27}, {15, 9, 28}};
// 3-beolsik: double initials typed as the single one twice.
constexpr Pair kDoubleInitials[] = {{3, 2, 2}, {6, 5, 5}, {10, 9, 9}, {12, 11, 11}, {15, 14, 14}};

template <size_t N>
const Pair* find_pair(const Pair (&table)[N], int field)
{
    for (const Pair& p : table)
        if (p.field == field)
            return &p;
    return nullptr;
}

} // namespace

int layout_index()
{
    const TutorSettings& settings = settings_current();
    return (settings.Language == 0 ? 0 : 2) + (settings.Keyboard == 1 ? 1 : 0);
}

int lesson_count(int layout) { return valid_layout(layout) ? int(kTables[layout].size()) : 0; }

bool lessons_decode()
{
    Decoded decoded;
    for (int layout = 0; layout < kLessonLayouts; ++layout) {
        size_t total = 0;
        for (const LessonRow& row : kTables[layout]) {
            std::vector<uint16_t> keys;
            if (kKorean[layout]) {
                if (!decode_hex(row.keys, keys))
                    return false;
            } else {
                for (const char* p = row.keys; *p; ++p)
                    keys.push_back(lower(uint8_t(*p)));
            }
            total += keys.size();
            decoded.lessons[layout].push_back(std::move(keys));
        }
        if (total > kMaxLayoutKeys)
            return false;
    }
    s_decoded = std::move(decoded);
    return true;
}

void lessons_free() { s_decoded = {}; }

std::span<const uint16_t> lesson_keys(int layout, int lesson)
{
    if (!valid_layout(layout) || lesson < 0 || size_t(lesson) >= s_decoded.lessons[layout].size())
        return {};
    return s_decoded.lessons[layout][size_t(lesson)];
}

const char* lesson_name(int layout, int lesson)
{
    if (!valid_layout(layout) || lesson < 0 || lesson >= lesson_count(layout))
        return "";
    return kTables[layout][size_t(lesson)].name;
}

std::string lesson_keys_text(int layout, int lesson)
{
    std::vector<uint16_t> codes;
    for (uint16_t key : lesson_keys(layout, lesson)) {
        if (!codes.empty())
            codes.push_back(' ');
        codes.push_back(key);
    }
    return codes_to_dbcs(codes);
}

KeyPlace key_place(int layout, uint16_t code)
{
    if (!valid_layout(layout) || code == 0)
        return {};
    for (int shift = 0; shift < kLegendShifts; ++shift)
        for (int row = 0; row < kLegendRows; ++row)
            for (int column = 0; column < kLegendRowLength[row]; ++column)
                if (kKeyboardLegend[layout][shift][row][column] == code)
                    return {row, column, shift == 1};
    if (code == ' ')
        return {kLegendRows - 1, kLegendSpaceColumn, false};
    return {};
}

int key_finger_position(const KeyPlace& place)
{
    if (place.row < 0 || place.row >= kLegendRows - 1)
        return 0;
    return std::clamp(place.column, 1, 10);
}

uint16_t home_key(int layout, uint16_t code)
{
    int position = key_finger_position(key_place(layout, code));
    if (position == 0)
        return 'a';
    return lower(kKeyboardLegend[layout][0][2][position]);
}

std::vector<uint16_t> syllable_keys(int layout, uint16_t code)
{
    if (code < 0x80 || !kKorean[layout])
        return code ? std::vector<uint16_t> {code} : std::vector<uint16_t> {};
    bool three = layout == 1;
    std::vector<uint16_t> keys;
    int initial = johab_initial(code);
    int medial = johab_medial(code);
    int final = johab_final(code);
    if (initial != kJohabInitialFill) {
        const Pair* twice = three ? find_pair(kDoubleInitials, initial) : nullptr;
        keys.push_back(initial_code(twice ? twice->first : initial));
        if (twice)
            keys.push_back(initial_code(twice->second));
    }
    if (medial != kJohabMedialFill) {
        const Pair* two = three && medial == kVowelUi ? nullptr : find_pair(kCompoundVowels, medial);
        keys.push_back(medial_code(two ? two->first : medial));
        if (two)
            keys.push_back(medial_code(two->second));
    }
    if (final != kJohabFinalFill && final != 0) {
        if (three) {
            const Pair* two = find_pair(kFinalsThreeSet, final);
            keys.push_back(final_code(two ? two->first : final));
            if (two)
                keys.push_back(final_code(two->second));
        } else if (const Pair* p = find_pair(kFinalsTwoSet, final)) {
            keys.push_back(initial_code(p->first));
            if (p->second)
                keys.push_back(initial_code(p->second));
        }
    }
    return keys;
}

uint16_t next_key(int layout, uint16_t model_under_last, uint16_t model_next, uint16_t last_typed, bool interim)
{
    if (interim && model_under_last) {
        std::vector<uint16_t> wanted = syllable_keys(layout, model_under_last);
        std::vector<uint16_t> typed = syllable_keys(layout, last_typed);
        if (typed.size() < wanted.size() && std::equal(typed.begin(), typed.end(), wanted.begin()))
            return wanted[typed.size()];
    }
    std::vector<uint16_t> keys = syllable_keys(layout, model_next);
    return keys.empty() ? 0 : keys.front();
}

plat::Rect key_rect(const KeyPlace& place)
{
    static constexpr int32_t kRowOffset[kLegendRows - 1] = {83, 104, 115, 133};
    if (place.row < 0)
        return {};
    if (place.row == kLegendRows - 1)
        return {196, 371, 444, 402};
    int32_t top = 224 + 36 * place.row;
    int32_t bottom = top + 34;
    if (place.column == 0)
        return {49, top, kRowOffset[place.row], bottom};
    int32_t left = kRowOffset[place.row] + 36 * (place.column - 1);
    int32_t right = place.column == kLegendRowLength[place.row] - 1 ? 588 : left + 34;
    return {left, top, right, bottom};
}

plat::Rect finger_rect(int finger)
{
    int32_t left = finger < 4 ? 43 + 28 * finger : 486 + 28 * (finger - 4);
    return {left, 155, left + 28, 155 + 28};
}

Lighting key_lighting(int layout, uint16_t key)
{
    Lighting lighting;
    KeyPlace place = key_place(layout, key);
    if (place.row < 0)
        return lighting;
    lighting.keys.push_back(key_rect(place));
    int position = key_finger_position(place);
    bool left_hand = position >= 1 && position <= 5;
    if (place.shift)
        lighting.keys.push_back(left_hand ? plat::Rect {498, 332, 498 + 88, 332 + 34} : plat::Rect {50, 332, 50 + 79, 332 + 34});
    static constexpr int kFingerOfPosition[11] = {-1, 0, 1, 2, 3, 3, 4, 4, 5, 6, 7};
    lighting.finger = kFingerOfPosition[position];
    return lighting;
}

// --- the word list ------------------------------------------------------------------------------

namespace {

struct WordList {
    int language = -1;
    std::vector<std::string> words; // Johab
    std::vector<uint32_t> filtered; // indexes into words
    std::vector<size_t> ends; // running byte count of the filtered words
    size_t shortest = 0;
};
WordList s_words;

constexpr char kWordFile[2][9] = {"WORD.KOR", "WORD.ENG"};
constexpr size_t kWordFileMinBytes = 10;
constexpr size_t kWordFileMaxBytes = 1 << 24;

} // namespace

std::vector<std::string> word_list_parse(std::string_view bytes, bool korean)
{
    std::vector<std::string> words;
    size_t at = 0;
    while (at < bytes.size()) {
        size_t end = bytes.find_first_of("\t \r\n", at);
        if (end == std::string_view::npos)
            end = bytes.size();
        if (end > at) {
            std::string word(bytes.substr(at, end - at));
            if (korean)
                word = wansung_to_johab(word);
            if (!word.empty())
                words.push_back(std::move(word));
        }
        at = end + 1;
    }
    return words;
}

namespace {

bool read_all(const std::string& path, std::string& bytes)
{
    plat::FileHandle file = plat::create_file(path, plat::GENERIC_READ, plat::FILE_SHARE_READ, plat::OPEN_EXISTING, 0);
    if (!file)
        return false;
    int64_t size = plat::get_file_size(file);
    bool ok = size >= 0 && size_t(size) <= kWordFileMaxBytes;
    if (ok) {
        bytes.resize(size_t(size));
        uint32_t got = 0;
        ok = bytes.empty() || (plat::read_file(file, bytes.data(), uint32_t(bytes.size()), &got) && got == bytes.size());
    }
    plat::close_handle(file);
    return ok;
}

} // namespace

bool word_list_load()
{
    int language = settings_current().Language == 0 ? 0 : 1;
    if (s_words.language == language && !s_words.words.empty())
        return true;
    std::string path = path_in_data_folder(kWordFile[language]);
    std::string bytes;
    if (!read_all(path, bytes) || bytes.size() < kWordFileMinBytes) {
        std::string format = plat::utf8_to_code_page(949, "%s 구성요소가 없습니다.");
        std::string text(format.size() + path.size() + 1, '\0');
        int length = std::snprintf(text.data(), text.size(), format.c_str(), path.c_str());
        text.resize(length > 0 ? size_t(length) : 0);
        plat::message_box({}, text.c_str(), plat::utf8_to_code_page(949, "뷔렌타자교사").c_str(), plat::MB_OK);
        word_list_free();
        return false;
    }
    std::vector<std::string> words = word_list_parse(bytes, language == 0);
    word_list_set(language, words);
    return !s_words.words.empty();
}

void word_list_set(int language, std::span<const std::string> words)
{
    s_words = {};
    s_words.language = language;
    s_words.words.assign(words.begin(), words.end());
}

void word_list_free() { s_words = {}; }
size_t word_list_size() { return s_words.words.size(); }
size_t word_filtered_count() { return s_words.filtered.size(); }
size_t word_filtered_shortest() { return s_words.shortest; }

size_t word_filter_by_keys(int layout, int lesson)
{
    s_words.filtered.clear();
    s_words.ends.clear();
    s_words.shortest = 0;
    bool all = !valid_layout(layout) || lesson >= lesson_count(layout) - 1;
    bool initials[32] = {}, medials[32] = {}, finals[32] = {}, bytes[128] = {};
    for (int i = 0; !all && i <= lesson; ++i) {
        for (uint16_t key : lesson_keys(layout, i)) {
            if (key < 0x80) {
                bytes[lower(key)] = true;
                continue;
            }
            // a key teaches the fields it does not leave filled
            initials[johab_initial(key)] |= johab_initial(key) != kJohabInitialFill;
            medials[johab_medial(key)] |= johab_medial(key) != kJohabMedialFill;
            finals[johab_final(key)] |= johab_final(key) != kJohabFinalFill;
        }
    }
    auto fits = [&](const std::string& word) {
        for (uint16_t code : dbcs_to_codes(word)) {
            if (code < 0x80) {
                if (!bytes[lower(code)])
                    return false;
                continue;
            }
            int final = johab_final(code);
            if (!initials[johab_initial(code)] || !medials[johab_medial(code)])
                return false;
            if (final == kJohabFinalFill)
                continue;
            if (layout == 1) {
                if (!finals[final])
                    return false;
                continue;
            }
            const Pair* p = find_pair(kFinalsTwoSet, final);
            if (!p || !initials[p->first] || (p->second && !initials[p->second]))
                return false;
        }
        return true;
    };
    size_t total = 0;
    for (size_t i = 0; i < s_words.words.size(); ++i) {
        const std::string& word = s_words.words[i];
        if (!all && !fits(word))
            continue;
        s_words.filtered.push_back(uint32_t(i));
        total += word.size();
        s_words.ends.push_back(total);
        s_words.shortest = s_words.shortest ? std::min(s_words.shortest, word.size()) : word.size();
    }
    return s_words.filtered.size();
}

std::string word_list_random()
{
    if (s_words.ends.empty() || s_words.ends.back() == 0)
        return {};
    size_t offset = size_t(std::rand()) % s_words.ends.back();
    size_t at = size_t(std::upper_bound(s_words.ends.begin(), s_words.ends.end(), offset) - s_words.ends.begin());
    return s_words.words[s_words.filtered[at]];
}

// --- drills -------------------------------------------------------------------------------------

void lesson_prepare(LessonRun& run, int layout, int lesson)
{
    if (lesson < 0 || lesson >= lesson_count(layout))
        lesson = 0;
    run.layout = layout;
    run.lesson = lesson;
    run.pairs.clear();
    std::span<const uint16_t> keys = lesson_keys(layout, lesson);
    for (size_t i = 0; i < keys.size(); ++i) {
        uint16_t partner = lesson == 0 ? keys[(i + 1) % keys.size()] : home_key(layout, keys[i]);
        run.pairs.emplace_back(keys[i], partner);
    }
    run.pair_position = 0;
    run.line_count = 0;
    word_filter_by_keys(layout, lesson);
}

bool drill_line_build(std::string& out, LessonRun& run, size_t width, int32_t repeats)
{
    if (repeats <= 0)
        repeats = 2;
    out.clear();
    if (run.stage == 0) {
        if (run.line_count >= repeats) {
            ++run.pair_position;
            run.line_count = 0;
        }
        if (run.pair_position < 0 || size_t(run.pair_position) >= run.pairs.size()) {
            run.pair_position = 0;
            run.line_count = 0;
            bool words = run.lesson < lesson_count(run.layout) - kLessonNoWordStage && word_filtered_shortest() > 0
                && word_filtered_shortest() <= width;
            run.stage = words ? 1 : 0;
            return false;
        }
        static constexpr char kOrders[6][5] = {"kkpp", "kpkp", "kppk", "ppkk", "pkpk", "pkkp"};
        auto [key, partner] = run.pairs[size_t(run.pair_position)];
        std::vector<uint16_t> codes;
        for (const char* p = kOrders[std::rand() % 6]; *p; ++p)
            codes.push_back(*p == 'k' ? key : partner);
        out = codes_to_dbcs(codes);
        ++run.line_count;
        return true;
    }
    // Words drawn at random while they fit; a bounded number of draws, so a list of long
    // words cannot hold the line up, and no line at all when no word fits.
    size_t shortest = word_filtered_shortest();
    if (run.line_count >= 2 * repeats || shortest == 0 || shortest > width) {
        run.stage = 0;
        run.line_count = 0;
        return false;
    }
    constexpr int kDraws = 64;
    for (int draw = 0; draw < kDraws && out.size() + (out.empty() ? 0 : 1) + shortest <= width; ++draw) {
        std::string word = word_list_random();
        size_t need = out.size() + (out.empty() ? 0 : 1) + word.size();
        if (need > width)
            continue;
        if (!out.empty())
            out += ' ';
        out += word;
    }
    if (out.empty()) {
        run.stage = 0;
        run.line_count = 0;
        return false;
    }
    ++run.line_count;
    return true;
}
