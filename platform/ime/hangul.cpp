#include "platform/ime/hangul.h"

#include <iterator>

#include "platform/window/keyboard.h"

namespace plat {

constexpr char16_t kSyllableBase = 0xAC00;
constexpr char16_t kSyllableLast = 0xD7A3;
constexpr char16_t kFirstVowel = 0x314F; // ㅏ; the 21 vowels follow in syllable order
constexpr char16_t kLastVowel = 0x3163;  // ㅣ
constexpr int kVowelCount = 21;
constexpr int kFinalCount = 28;

// Initial consonants in syllable order.
static const char16_t kInitials[] = u"ㄱㄲㄴㄷㄸㄹㅁㅂㅃㅅㅆㅇㅈㅉㅊㅋㅌㅍㅎ";
// Finals in syllable order; index 0 is "no final".
static const char16_t kFinals[] = u" ㄱㄲㄳㄴㄵㄶㄷㄹㄺㄻㄼㄽㄾㄿㅀㅁㅂㅄㅅㅆㅇㅈㅊㅋㅌㅍㅎ";

struct JamoPair {
    char16_t first;
    char16_t second;
    char16_t both;
};

static const JamoPair kCompoundVowels[] = {
    {u'ㅗ', u'ㅏ', u'ㅘ'}, {u'ㅗ', u'ㅐ', u'ㅙ'}, {u'ㅗ', u'ㅣ', u'ㅚ'}, {u'ㅜ', u'ㅓ', u'ㅝ'},
    {u'ㅜ', u'ㅔ', u'ㅞ'}, {u'ㅜ', u'ㅣ', u'ㅟ'}, {u'ㅡ', u'ㅣ', u'ㅢ'},
};

static const JamoPair kCompoundFinals[] = {
    {u'ㄱ', u'ㅅ', u'ㄳ'}, {u'ㄴ', u'ㅈ', u'ㄵ'}, {u'ㄴ', u'ㅎ', u'ㄶ'}, {u'ㄹ', u'ㄱ', u'ㄺ'},
    {u'ㄹ', u'ㅁ', u'ㄻ'}, {u'ㄹ', u'ㅂ', u'ㄼ'}, {u'ㄹ', u'ㅅ', u'ㄽ'}, {u'ㄹ', u'ㅌ', u'ㄾ'},
    {u'ㄹ', u'ㅍ', u'ㄿ'}, {u'ㄹ', u'ㅎ', u'ㅀ'}, {u'ㅂ', u'ㅅ', u'ㅄ'},
};

// The 2-beolsik layout, letters A..Z unshifted; Shift changes only the keys of kShifted.
static const char16_t kLetterJamo[] = u"ㅁㅠㅊㅇㄷㄹㅎㅗㅑㅓㅏㅣㅡㅜㅐㅔㅂㄱㄴㅅㅕㅍㅈㅌㅛㅋ";
static const JamoPair kShifted[] = {
    {u'Q', u'ㅃ', 0}, {u'W', u'ㅉ', 0}, {u'E', u'ㄸ', 0}, {u'R', u'ㄲ', 0}, {u'T', u'ㅆ', 0},
    {u'O', u'ㅒ', 0}, {u'P', u'ㅖ', 0},
};

// Initials that 390 doubles when typed twice.
static const JamoPair kDoubledInitials[] = {
    {u'ㄱ', u'ㄱ', u'ㄲ'}, {u'ㄷ', u'ㄷ', u'ㄸ'}, {u'ㅂ', u'ㅂ', u'ㅃ'}, {u'ㅅ', u'ㅅ', u'ㅆ'}, {u'ㅈ', u'ㅈ', u'ㅉ'},
};

// The 3-beolsik 390 layout: finals on the left hand, vowels in the middle, initials on the
// right, digits and some signs moved under Shift. Each row lists its keys left to right, the
// key's jamo or character unshifted and shifted. In the strings of roles, 'f' is a final, 'm'
// a medial (a vowel), 'i' an initial and '.' a character.
struct ThreeSetRow {
    const uint32_t* keys;
    const char16_t* plain;
    const char* plain_roles;
    const char16_t* shifted;
    const char* shifted_roles;
};
static const uint32_t kDigitRowKeys[] = {VK_OEM_3, '1', '2', '3', '4', '5', '6', '7', '8', '9', '0', VK_OEM_MINUS, VK_OEM_PLUS, 0};
static const uint32_t kUpperRowKeys[] = {'Q', 'W', 'E', 'R', 'T', 'Y', 'U', 'I', 'O', 'P', VK_OEM_4, VK_OEM_6, VK_OEM_5, 0};
static const uint32_t kHomeRowKeys[] = {'A', 'S', 'D', 'F', 'G', 'H', 'J', 'K', 'L', VK_OEM_1, VK_OEM_7, 0};
static const uint32_t kLowerRowKeys[] = {'Z', 'X', 'C', 'V', 'B', 'N', 'M', VK_OEM_COMMA, VK_OEM_PERIOD, VK_OEM_2, 0};
static const ThreeSetRow kThreeSetRows[] = {
    {kDigitRowKeys, u"`ㅎㅆㅂㅛㅠㅑㅖㅢㅜㅋ-=", ".fffmmmmmmi..", u"~!@#$%^&*()_+", "............."},
    {kUpperRowKeys, u"ㅅㄹㅕㅐㅓㄹㄷㅁㅊㅍ[]\\", "ffmmmiiiii...", u"ㅍㅌㅈㅒ;<789>{}|", "fffm........."},
    {kHomeRowKeys, u"ㅇㄴㅣㅏㅡㄴㅇㄱㅈㅂㅌ", "ffmmmiiiiii", u"ㄷㄶㄺㄲ/'456:\"", "ffff......."},
    {kLowerRowKeys, u"ㅁㄱㅔㅗㅜㅅㅎ,.ㅗ", "ffmmmii..m", u"ㅊㅄㅋㄻㅀ0123?", "fffff....."},
};

static JamoRole role_of_letter(char letter)
{
    switch (letter) {
    case 'i': return JamoRole::initial;
    case 'm': return JamoRole::medial;
    case 'f': return JamoRole::final;
    default: return JamoRole::none;
    }
}

static HangulKey three_set_key(uint32_t vk, bool shift)
{
    for (const ThreeSetRow& row : kThreeSetRows) {
        for (int i = 0; row.keys[i]; i++) {
            if (row.keys[i] != vk)
                continue;
            return shift ? HangulKey{row.shifted[i], role_of_letter(row.shifted_roles[i])}
                         : HangulKey{row.plain[i], role_of_letter(row.plain_roles[i])};
        }
    }
    return {};
}

// Whether 390 has a key of its own for the final; the other finals are typed as two.
static bool three_set_has_final(char16_t jamo)
{
    for (const ThreeSetRow& row : kThreeSetRows) {
        for (int i = 0; row.keys[i]; i++) {
            if ((row.plain[i] == jamo && row.plain_roles[i] == 'f') || (row.shifted[i] == jamo && row.shifted_roles[i] == 'f'))
                return true;
        }
    }
    return false;
}

static bool is_vowel(char16_t jamo) { return jamo >= kFirstVowel && jamo <= kLastVowel; }

static int index_in(const char16_t* table, int count, char16_t jamo)
{
    for (int i = 0; i < count; i++) {
        if (table[i] == jamo)
            return i;
    }
    return -1;
}

static int initial_index(char16_t jamo) { return index_in(kInitials, 19, jamo); }
static int final_index(char16_t jamo) { return jamo ? index_in(kFinals + 1, kFinalCount - 1, jamo) + 1 : 0; }

static char16_t combine(const JamoPair* pairs, size_t count, char16_t first, char16_t second)
{
    for (size_t i = 0; i < count; i++) {
        if (pairs[i].first == first && pairs[i].second == second)
            return pairs[i].both;
    }
    return 0;
}

static const JamoPair* split(const JamoPair* pairs, size_t count, char16_t both)
{
    for (size_t i = 0; i < count; i++) {
        if (pairs[i].both == both)
            return &pairs[i];
    }
    return nullptr;
}

char16_t hangul_key_jamo(uint32_t vk, bool shift)
{
    if (vk < 'A' || vk > 'Z')
        return 0;
    if (shift) {
        for (const JamoPair& row : kShifted) {
            if (row.first == vk)
                return row.second;
        }
    }
    return kLetterJamo[vk - 'A'];
}

bool hangul_jamo_key(char16_t jamo, uint32_t& vk, bool& shift)
{
    for (uint32_t key = 'A'; key <= 'Z'; key++) {
        for (int with_shift = 0; with_shift < 2; with_shift++) {
            if (hangul_key_jamo(key, with_shift != 0) == jamo) {
                vk = key;
                shift = with_shift != 0;
                return true;
            }
        }
    }
    return false;
}

// A compound vowel or final as the two jamo typed for it; any other jamo as itself.
static void append_typed(std::u16string& out, char16_t jamo)
{
    const JamoPair* pair = split(kCompoundVowels, std::size(kCompoundVowels), jamo);
    if (!pair)
        pair = split(kCompoundFinals, std::size(kCompoundFinals), jamo);
    if (pair) {
        out += pair->first;
        out += pair->second;
    } else
        out += jamo;
}

std::u16string hangul_decompose(char16_t ch)
{
    std::u16string out;
    if (ch >= 0x3131 && ch <= kLastVowel) {
        append_typed(out, ch);
        return out;
    }
    if (ch < kSyllableBase || ch > kSyllableLast)
        return out;
    int offset = ch - kSyllableBase;
    append_typed(out, kInitials[offset / (kVowelCount * kFinalCount)]);
    append_typed(out, char16_t(kFirstVowel + offset / kFinalCount % kVowelCount));
    if (offset % kFinalCount)
        append_typed(out, kFinals[offset % kFinalCount]);
    return out;
}

static JamoRole two_set_role(char16_t jamo) { return is_vowel(jamo) ? JamoRole::medial : JamoRole::initial; }

HangulKey hangul_key(HangulLayout layout, uint32_t vk, bool shift)
{
    if (layout == HangulLayout::three_set_390)
        return three_set_key(vk, shift);
    char16_t jamo = hangul_key_jamo(vk, shift);
    return jamo ? HangulKey{jamo, two_set_role(jamo)} : HangulKey{};
}

bool hangul_layout_has_key(HangulLayout layout, uint32_t vk)
{
    if (layout == HangulLayout::three_set_390)
        return three_set_key(vk, false).ch != 0;
    return vk >= 'A' && vk <= 'Z';
}

// 390's keys for one jamo in a role: doubled initials as the single one twice, ㅢ on its own
// key, other compound vowels as two, finals on their own key where one exists, else the pair.
static void append_three_set(std::vector<HangulKey>& out, char16_t jamo, JamoRole role)
{
    if (role == JamoRole::initial) {
        const JamoPair* doubled = split(kDoubledInitials, std::size(kDoubledInitials), jamo);
        out.push_back({doubled ? doubled->first : jamo, role});
        if (doubled)
            out.push_back({doubled->second, role});
        return;
    }
    const JamoPair* pair = nullptr;
    if (role == JamoRole::medial && jamo != u'ㅢ')
        pair = split(kCompoundVowels, std::size(kCompoundVowels), jamo);
    if (role == JamoRole::final && !three_set_has_final(jamo))
        pair = split(kCompoundFinals, std::size(kCompoundFinals), jamo);
    if (pair) {
        out.push_back({pair->first, role});
        out.push_back({pair->second, role});
    } else
        out.push_back({jamo, role});
}

std::vector<HangulKey> hangul_keys_of(HangulLayout layout, char16_t ch)
{
    std::vector<HangulKey> out;
    if (layout == HangulLayout::two_set) {
        for (char16_t jamo : hangul_decompose(ch))
            out.push_back({jamo, two_set_role(jamo)});
        return out;
    }
    if (ch >= 0x3131 && ch <= kLastVowel) {
        // A lone consonant is typed as an initial where it can be one.
        JamoRole role = is_vowel(ch) ? JamoRole::medial : initial_index(ch) >= 0 ? JamoRole::initial : JamoRole::final;
        append_three_set(out, ch, role);
        return out;
    }
    if (ch < kSyllableBase || ch > kSyllableLast)
        return out;
    int offset = ch - kSyllableBase;
    append_three_set(out, kInitials[offset / (kVowelCount * kFinalCount)], JamoRole::initial);
    append_three_set(out, char16_t(kFirstVowel + offset / kFinalCount % kVowelCount), JamoRole::medial);
    if (offset % kFinalCount)
        append_three_set(out, kFinals[offset % kFinalCount], JamoRole::final);
    return out;
}

std::u16string hangul_composition(const HangulComposer& c)
{
    if (c.initial && c.medial) {
        int pair = initial_index(c.initial) * kVowelCount + (c.medial - kFirstVowel);
        int syllable = pair * kFinalCount + final_index(c.final);
        return std::u16string(1, char16_t(kSyllableBase + syllable));
    }
    if (c.initial)
        return std::u16string(1, c.initial);
    if (c.medial)
        return std::u16string(1, c.medial);
    if (c.final)
        return std::u16string(1, c.final); // a lone cluster such as ㄳ
    return {};
}

bool hangul_composing(const HangulComposer& composer)
{
    return composer.initial || composer.medial || composer.final;
}

static void commit(HangulComposer& c, std::u16string& committed)
{
    committed += hangul_composition(c);
    HangulLayout layout = c.layout;
    c = HangulComposer{};
    c.layout = layout;
}

static void start_with(HangulComposer& c, char16_t initial, char16_t medial)
{
    c.initial = initial;
    c.medial = medial;
    c.keys.clear();
    std::u16string typed;
    if (initial)
        append_typed(typed, initial);
    if (medial)
        typed += medial;
    for (char16_t jamo : typed)
        c.keys.push_back({jamo, two_set_role(jamo)});
}

static void feed_consonant(HangulComposer& c, char16_t jamo, std::u16string& committed)
{
    bool can_end = final_index(jamo) > 0; // the doubled ㄸ ㅃ ㅉ never end a syllable
    if (c.initial && c.medial && !c.final && can_end) {
        c.final = jamo;
        c.keys.push_back({jamo, two_set_role(jamo)});
        return;
    }
    // A compound final; or, typed without a vowel, the cluster alone, held as a final
    // without a syllable so that a vowel still takes its second consonant along.
    char16_t both = 0;
    if (c.initial && c.medial && c.final)
        both = combine(kCompoundFinals, std::size(kCompoundFinals), c.final, jamo);
    else if (c.initial && !c.medial)
        both = combine(kCompoundFinals, std::size(kCompoundFinals), c.initial, jamo);
    if (both) {
        if (!c.medial)
            c.initial = 0;
        c.final = both;
        c.keys.push_back({jamo, two_set_role(jamo)});
        return;
    }
    commit(c, committed);
    start_with(c, jamo, 0);
}

static void feed_vowel(HangulComposer& c, char16_t jamo, std::u16string& committed)
{
    if (c.final) {
        // The final moves on to begin the next syllable; of a compound final only its second.
        const JamoPair* pair = split(kCompoundFinals, std::size(kCompoundFinals), c.final);
        char16_t moving = pair ? pair->second : c.final;
        c.final = pair ? pair->first : 0;
        commit(c, committed);
        start_with(c, moving, jamo);
        return;
    }
    if (c.initial && !c.medial && initial_index(c.initial) >= 0) {
        c.medial = jamo;
        c.keys.push_back({jamo, two_set_role(jamo)});
        return;
    }
    char16_t both = c.medial ? combine(kCompoundVowels, std::size(kCompoundVowels), c.medial, jamo) : 0;
    if (both) {
        c.medial = both;
        c.keys.push_back({jamo, two_set_role(jamo)});
        return;
    }
    commit(c, committed);
    start_with(c, 0, jamo);
}

// Replaces field by its pair with jamo, when the table has one.
template <size_t N>
static bool join(const JamoPair (&pairs)[N], char16_t& field, char16_t jamo)
{
    char16_t both = combine(pairs, N, field, jamo);
    if (both)
        field = both;
    return both != 0;
}

// 390: the key's role decides; a jamo that cannot join what is there starts anew.
static void feed_three_set(HangulComposer& c, HangulKey key, std::u16string& committed)
{
    char16_t jamo = key.ch;
    bool joins = false;
    switch (key.role) {
    case JamoRole::initial: // doubled by typing it twice
        joins = c.initial && !c.medial && !c.final && c.keys.size() == 1 && join(kDoubledInitials, c.initial, jamo);
        break;
    case JamoRole::medial:
        if (!c.medial && !c.final) {
            joins = true;
            c.medial = jamo;
        } else
            joins = c.medial && !c.final && join(kCompoundVowels, c.medial, jamo);
        break;
    case JamoRole::final:
        if (c.initial && c.medial && !c.final) {
            joins = true;
            c.final = jamo;
        } else
            joins = c.final && join(kCompoundFinals, c.final, jamo); // of a syllable, or a lone cluster
        break;
    case JamoRole::none: return;
    }
    if (!joins) {
        commit(c, committed);
        c.initial = key.role == JamoRole::initial ? jamo : 0;
        c.medial = key.role == JamoRole::medial ? jamo : 0;
        c.final = key.role == JamoRole::final ? jamo : 0;
    }
    c.keys.push_back(key);
}

void hangul_feed(HangulComposer& composer, HangulLayout layout, HangulKey key, std::u16string& committed)
{
    if (key.role == JamoRole::none || !key.ch)
        return;
    if (composer.layout != layout && hangul_composing(composer))
        commit(composer, committed); // the keys so far belong to the other layout
    composer.layout = layout;
    if (layout == HangulLayout::three_set_390)
        feed_three_set(composer, key, committed);
    else if (is_vowel(key.ch))
        feed_vowel(composer, key.ch, committed);
    else if (initial_index(key.ch) >= 0 || final_index(key.ch) > 0)
        feed_consonant(composer, key.ch, committed);
}

void hangul_feed(HangulComposer& composer, char16_t jamo, std::u16string& committed)
{
    hangul_feed(composer, HangulLayout::two_set, HangulKey{jamo, two_set_role(jamo)}, committed);
}

bool hangul_backspace(HangulComposer& composer)
{
    if (!hangul_composing(composer))
        return false;
    std::vector<HangulKey> keys = composer.keys;
    if (!keys.empty())
        keys.pop_back();
    // Replaying what is left rebuilds the syllable one keystroke shorter; it never finishes
    // a syllable, as those keys made a single one.
    HangulComposer replay;
    std::u16string ignored;
    for (HangulKey key : keys)
        hangul_feed(replay, composer.layout, key, ignored);
    composer = replay;
    return true;
}

} // namespace plat
