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
    c = HangulComposer{};
}

static void start_with(HangulComposer& c, char16_t initial, char16_t medial)
{
    c.initial = initial;
    c.medial = medial;
    c.keys.clear();
    if (initial)
        append_typed(c.keys, initial);
    if (medial)
        c.keys += medial;
}

static void feed_consonant(HangulComposer& c, char16_t jamo, std::u16string& committed)
{
    bool can_end = final_index(jamo) > 0; // the doubled ㄸ ㅃ ㅉ never end a syllable
    if (c.initial && c.medial && !c.final && can_end) {
        c.final = jamo;
        c.keys += jamo;
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
        c.keys += jamo;
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
        c.keys += jamo;
        return;
    }
    char16_t both = c.medial ? combine(kCompoundVowels, std::size(kCompoundVowels), c.medial, jamo) : 0;
    if (both) {
        c.medial = both;
        c.keys += jamo;
        return;
    }
    commit(c, committed);
    start_with(c, 0, jamo);
}

void hangul_feed(HangulComposer& composer, char16_t jamo, std::u16string& committed)
{
    if (is_vowel(jamo))
        feed_vowel(composer, jamo, committed);
    else if (initial_index(jamo) >= 0 || final_index(jamo) > 0)
        feed_consonant(composer, jamo, committed);
}

bool hangul_backspace(HangulComposer& composer)
{
    if (!hangul_composing(composer))
        return false;
    std::u16string keys = composer.keys;
    keys.pop_back();
    // Replaying what is left rebuilds the syllable one keystroke shorter; it never finishes
    // a syllable, as those keys made a single one.
    HangulComposer replay;
    std::u16string ignored;
    for (char16_t jamo : keys)
        hangul_feed(replay, jamo, ignored);
    composer = replay;
    return true;
}

} // namespace plat
