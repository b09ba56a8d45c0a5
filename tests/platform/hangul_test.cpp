#include "platform/ime/hangul.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "platform/window/keyboard.h"

namespace {

using namespace plat;

struct ComposeCase {
    const char* name;
    const char16_t* jamo;      // typed in order
    const char16_t* committed; // finished on the way
    const char16_t* composing; // left in composition
};

static const ComposeCase kComposeCases[] = {
    {"syllable without final", u"ㄱㅏ", u"", u"가"},
    {"syllable with final", u"ㅎㅏㄴ", u"", u"한"},
    {"a consonant after a final starts the next syllable", u"ㅎㅏㄴㄱ", u"한", u"ㄱ"},
    {"a vowel after a final takes it along", u"ㅎㅏㄴㅏ", u"하", u"나"},
    {"compound final", u"ㄷㅏㄹㄱ", u"", u"닭"},
    {"a vowel takes the second part of a compound final", u"ㄷㅏㄹㄱㅣ", u"달", u"기"},
    {"compound vowel", u"ㄱㅗㅏㄴ", u"", u"관"},
    {"a vowel that does not combine starts anew", u"ㄱㅏㅏ", u"가", u"ㅏ"},
    {"lone vowel", u"ㅏ", u"", u"ㅏ"},
    {"two consonants stay apart", u"ㄱㄴ", u"ㄱ", u"ㄴ"},
    {"doubled consonant cannot end a syllable", u"ㄱㅏㄸ", u"가", u"ㄸ"},
    {"doubled final moves whole", u"ㄱㅏㅆㅓ", u"가", u"써"},
    {"a final that does not combine starts anew", u"ㄱㅏㄴㄴ", u"간", u"ㄴ"},
    {"a cluster typed alone", u"ㅂㅅ", u"", u"ㅄ"},
    {"another cluster typed alone", u"ㄹㄱ", u"", u"ㄺ"},
    {"a vowel takes the second consonant of a lone cluster", u"ㄱㅅㅏ", u"ㄱ", u"사"},
    {"a consonant after a lone cluster starts anew", u"ㄹㅎㄴ", u"ㅀ", u"ㄴ"},
    {"doubled consonants make no cluster", u"ㄱㄱ", u"ㄱ", u"ㄱ"},
};

TEST(HangulComposer, JamoBuildSyllablesAsTyped)
{
    for (const ComposeCase& c : kComposeCases) {
        SCOPED_TRACE(c.name);
        HangulComposer composer;
        std::u16string committed;
        for (const char16_t* at = c.jamo; *at; at++)
            hangul_feed(composer, *at, committed);
        EXPECT_TRUE(committed == c.committed);
        EXPECT_TRUE(hangul_composition(composer) == c.composing);
    }
}

TEST(HangulComposer, BackspaceTakesBackOneKeystroke)
{
    HangulComposer composer;
    std::u16string committed;
    for (char16_t jamo : std::u16string(u"ㄷㅏㄹㄱㅣ"))
        hangul_feed(composer, jamo, committed);
    const char16_t* steps[] = {u"ㄱ", u"", u""};
    for (const char16_t* expected : steps) {
        hangul_backspace(composer);
        EXPECT_TRUE(hangul_composition(composer) == expected);
    }
    EXPECT_FALSE(hangul_backspace(composer)) << "nothing left to take back";
    // A compound vowel and final come apart one key at a time.
    for (char16_t jamo : std::u16string(u"ㄱㅗㅏㄹㄱ"))
        hangul_feed(composer, jamo, committed);
    const char16_t* more[] = {u"괄", u"과", u"고", u"ㄱ"};
    for (const char16_t* expected : more) {
        hangul_backspace(composer);
        EXPECT_TRUE(hangul_composition(composer) == expected);
    }
}

TEST(HangulKeys, TwoBeolsikLayoutAndDecomposition)
{
    EXPECT_EQ(hangul_key_jamo('R', false), u'ㄱ');
    EXPECT_EQ(hangul_key_jamo('R', true), u'ㄲ');
    EXPECT_EQ(hangul_key_jamo('K', true), u'ㅏ') << "Shift changes only some keys";
    EXPECT_EQ(hangul_key_jamo('P', true), u'ㅖ');
    EXPECT_EQ(hangul_key_jamo('1', false), 0);
    uint32_t vk = 0;
    bool shift = false;
    ASSERT_TRUE(hangul_jamo_key(u'ㅃ', vk, shift));
    EXPECT_EQ(vk, uint32_t('Q'));
    EXPECT_TRUE(shift);
    EXPECT_FALSE(hangul_jamo_key(u'ㄳ', vk, shift)) << "clusters take two keys";
    EXPECT_TRUE(hangul_decompose(u'닭') == u"ㄷㅏㄹㄱ");
    EXPECT_TRUE(hangul_decompose(u'왜') == u"ㅇㅗㅐ");
    EXPECT_TRUE(hangul_decompose(u'ㅢ') == u"ㅡㅣ");
    EXPECT_TRUE(hangul_decompose(u'A').empty());
    // Every syllable's keys compose back into the syllable.
    for (char16_t syllable = 0xAC00; syllable <= 0xD7A3; syllable++) {
        HangulComposer composer;
        std::u16string committed;
        for (char16_t jamo : hangul_decompose(syllable))
            hangul_feed(composer, jamo, committed);
        ASSERT_TRUE(committed.empty() && hangul_composition(composer) == std::u16string(1, syllable)) << int(syllable);
    }
}

// 390 keys as the US keyboard's characters: "kf" is the initial ㄱ and the vowel ㅏ.
static HangulComposer type_390(const char* keys, std::u16string& committed)
{
    HangulComposer composer;
    for (const char* at = keys; *at; at++) {
        uint32_t vk = 0;
        bool shift = false;
        if (*at == '<') {
            hangul_backspace(composer);
            continue;
        }
        EXPECT_TRUE(keyboard_key_for_char(uint8_t(*at), vk, shift)) << *at;
        hangul_feed(composer, HangulLayout::three_set_390, hangul_key(HangulLayout::three_set_390, vk, shift), committed);
    }
    return composer;
}

static const ComposeCase kThreeSetCases[] = { // jamo: the keys typed, '<' Backspace
    {"initial and vowel", u"kf", u"", u"가"},
    {"with a final", u"kfs", u"", u"간"},
    {"an initial typed twice doubles", u"kkf", u"", u"까"},
    {"only once", u"kkk", u"ㄲ", u"ㄱ"},
    {"an initial after a syllable starts the next", u"kfk", u"가", u"ㄱ"},
    {"a vowel after a final does not take it along", u"kfsf", u"간", u"ㅏ"},
    {"compound vowel with the right-hand ㅗ", u"k/f", u"", u"과"},
    {"compound vowel with the left-hand ㅗ", u"kvf", u"", u"과"},
    {"ㅢ has a key of its own", u"k8", u"", u"긔"},
    {"ㅢ typed as two vowels", u"kgd", u"", u"긔"},
    {"a cluster from two final keys", u"kfxq", u"", u"갃"},
    {"a cluster on a key of its own", u"kfD", u"", u"갉"},
    {"finals that do not combine", u"kfss", u"간", u"ㄴ"},
    {"a final without a vowel stands alone", u"ks", u"ㄱ", u"ㄴ"},
    {"a final after a lone vowel stands alone", u"fs", u"ㅏ", u"ㄴ"},
    {"a cluster typed alone", u"xq", u"", u"ㄳ"},
    {"a second vowel that does not combine", u"kff", u"가", u"ㅏ"},
    {"Backspace takes back one key at a time", u"kkfD<", u"", u"까"},
    {"down to the single initial", u"kkfD<<<", u"", u"ㄱ"},
};

TEST(HangulComposer, ThreeSetKeysTypeTheirRoles)
{
    for (const ComposeCase& c : kThreeSetCases) {
        SCOPED_TRACE(c.name);
        std::string keys;
        for (const char16_t* at = c.jamo; *at; at++)
            keys += char(*at);
        std::u16string committed;
        HangulComposer composer = type_390(keys.c_str(), committed);
        EXPECT_TRUE(committed == c.committed);
        EXPECT_TRUE(hangul_composition(composer) == c.composing);
    }
}

// Every keystroke of hangul_keys_of is one the layout has, and they type the character back.
TEST(HangulKeys, ThreeSetKeysOfEverySyllableAndJamoTypeItBack)
{
    auto typeable = [](HangulKey key) {
        for (uint32_t vk = 1; vk < 256; vk++) {
            if (hangul_key(HangulLayout::three_set_390, vk, false) == key || hangul_key(HangulLayout::three_set_390, vk, true) == key)
                return true;
        }
        return false;
    };
    std::vector<char16_t> all;
    for (char16_t ch = 0x3131; ch <= 0x3163; ch++)
        all.push_back(ch);
    for (char16_t ch = 0xAC00; ch <= 0xD7A3; ch++)
        all.push_back(ch);
    for (char16_t ch : all) {
        std::vector<HangulKey> keys = hangul_keys_of(HangulLayout::three_set_390, ch);
        ASSERT_FALSE(keys.empty()) << int(ch);
        HangulComposer composer;
        std::u16string committed;
        for (HangulKey key : keys) {
            ASSERT_TRUE(typeable(key)) << int(ch) << " needs " << int(key.ch);
            hangul_feed(composer, HangulLayout::three_set_390, key, committed);
        }
        ASSERT_TRUE(committed.empty() && hangul_composition(composer) == std::u16string(1, ch)) << int(ch);
    }
    // As the lessons teach them: doubled initials by repetition, ㅢ on one key, six clusters as two.
    using K = std::vector<HangulKey>;
    const JamoRole i = JamoRole::initial, m = JamoRole::medial, f = JamoRole::final;
    EXPECT_EQ(hangul_keys_of(HangulLayout::three_set_390, u'꽉'), (K{{u'ㄱ', i}, {u'ㄱ', i}, {u'ㅗ', m}, {u'ㅏ', m}, {u'ㄱ', f}}));
    EXPECT_EQ(hangul_keys_of(HangulLayout::three_set_390, u'읽'), (K{{u'ㅇ', i}, {u'ㅣ', m}, {u'ㄺ', f}}));
    EXPECT_EQ(hangul_keys_of(HangulLayout::three_set_390, u'앉'), (K{{u'ㅇ', i}, {u'ㅏ', m}, {u'ㄴ', f}, {u'ㅈ', f}}));
    EXPECT_EQ(hangul_keys_of(HangulLayout::three_set_390, u'의'), (K{{u'ㅇ', i}, {u'ㅢ', m}}));
    EXPECT_EQ(hangul_keys_of(HangulLayout::three_set_390, u'ㄶ'), (K{{u'ㄶ', f}}));
    EXPECT_EQ(hangul_keys_of(HangulLayout::two_set, u'의'), (K{{u'ㅇ', i}, {u'ㅡ', m}, {u'ㅣ', m}}));
    EXPECT_TRUE(hangul_keys_of(HangulLayout::three_set_390, u'A').empty());
}

// An independent model of 2-beolsik typing, to check the composer against: the jamo typed for
// the current block are kept as they are, and a jamo joins them when the longer run still reads
// as one block; else a vowel takes a trailing final consonant along, and anything else
// finishes the block. Blocks are drawn with the syllable arithmetic of the standard.
// What the reference models share: the finished text and the keys of the block being typed,
// which Backspace takes back one at a time before it deletes a character.
template <typename Block, typename Model>
struct ReferenceText {
    std::u16string text;
    Block block;
    void backspace()
    {
        if (!block.empty())
            block.pop_back();
        else if (!text.empty())
            text.pop_back();
    }
    std::u16string shown() const { return text + Model::draw(block); }
};

class ReferenceTyping : public ReferenceText<std::u16string, ReferenceTyping> {
    friend struct ReferenceText<std::u16string, ReferenceTyping>;

public:
    void key(char letter, bool shift)
    {
        for (const LayoutKey& k : kLayout) {
            if (k.letter == letter)
                return feed(shift && k.shifted ? k.shifted : k.plain);
        }
    }
    void space()
    {
        finish();
        text += u' ';
    }

private:
    struct LayoutKey {
        char letter;
        char16_t plain;
        char16_t shifted; // 0: Shift types the plain jamo
    };
    static constexpr LayoutKey kLayout[] = {
        {'q', u'ㅂ', u'ㅃ'}, {'w', u'ㅈ', u'ㅉ'}, {'e', u'ㄷ', u'ㄸ'}, {'r', u'ㄱ', u'ㄲ'}, {'t', u'ㅅ', u'ㅆ'},
        {'y', u'ㅛ', 0}, {'u', u'ㅕ', 0}, {'i', u'ㅑ', 0}, {'o', u'ㅐ', u'ㅒ'}, {'p', u'ㅔ', u'ㅖ'},
        {'a', u'ㅁ', 0}, {'s', u'ㄴ', 0}, {'d', u'ㅇ', 0}, {'f', u'ㄹ', 0}, {'g', u'ㅎ', 0},
        {'h', u'ㅗ', 0}, {'j', u'ㅓ', 0}, {'k', u'ㅏ', 0}, {'l', u'ㅣ', 0},
        {'z', u'ㅋ', 0}, {'x', u'ㅌ', 0}, {'c', u'ㅊ', 0}, {'v', u'ㅍ', 0}, {'b', u'ㅠ', 0},
        {'n', u'ㅜ', 0}, {'m', u'ㅡ', 0},
    };
    static constexpr std::u16string_view kLeads = u"ㄱㄲㄴㄷㄸㄹㅁㅂㅃㅅㅆㅇㅈㅉㅊㅋㅌㅍㅎ";
    static constexpr std::u16string_view kTails = u"_ㄱㄲㄳㄴㄵㄶㄷㄹㄺㄻㄼㄽㄾㄿㅀㅁㅂㅄㅅㅆㅇㅈㅊㅋㅌㅍㅎ";
    // Pairs typed as two jamo, three characters each: first, second, joined.
    static constexpr std::u16string_view kVowelPairs = u"ㅗㅏㅘㅗㅐㅙㅗㅣㅚㅜㅓㅝㅜㅔㅞㅜㅣㅟㅡㅣㅢ";
    static constexpr std::u16string_view kTailPairs =
        u"ㄱㅅㄳㄴㅈㄵㄴㅎㄶㄹㄱㄺㄹㅁㄻㄹㅂㄼㄹㅅㄽㄹㅌㄾㄹㅍㄿㄹㅎㅀㅂㅅㅄ";

    static bool vowel(char16_t j) { return j >= 0x314F && j <= 0x3163; }
    static char16_t pair(std::u16string_view pairs, char16_t a, char16_t b)
    {
        for (size_t i = 0; i + 2 < pairs.size(); i += 3) {
            if (pairs[i] == a && pairs[i + 1] == b)
                return pairs[i + 2];
        }
        return 0;
    }
    // The vowel of jamo[from..], one or a pair, and how many jamo it took; 0 when none.
    static char16_t vowel_at(const std::u16string& jamo, size_t from, size_t& used)
    {
        used = 0;
        if (from >= jamo.size() || !vowel(jamo[from]))
            return 0;
        used = 1;
        if (from + 1 < jamo.size() && vowel(jamo[from + 1])) {
            used = 2;
            return pair(kVowelPairs, jamo[from], jamo[from + 1]);
        }
        return jamo[from];
    }
    // What a run of jamo shows as one block; 0 when it is not one block.
    static char16_t block_of(const std::u16string& jamo)
    {
        if (jamo.empty())
            return 0;
        size_t used = 0;
        if (vowel(jamo[0])) {
            char16_t v = vowel_at(jamo, 0, used);
            return used == jamo.size() ? v : 0;
        }
        if (jamo.size() == 1)
            return jamo[0];
        char16_t v = vowel_at(jamo, 1, used);
        if (!v)
            return jamo.size() == 2 ? pair(kTailPairs, jamo[0], jamo[1]) : 0;
        size_t rest = jamo.size() - 1 - used;
        char16_t tail = rest == 0 ? u'_' : rest == 1 ? jamo.back() : rest == 2 ? pair(kTailPairs, jamo[jamo.size() - 2], jamo.back()) : 0;
        size_t lead = kLeads.find(jamo[0]);
        size_t t = tail ? kTails.find(tail) : std::u16string_view::npos;
        if (lead == std::u16string_view::npos || t == std::u16string_view::npos || vowel(tail))
            return 0;
        return char16_t(0xAC00 + (lead * 21 + (v - 0x314F)) * 28 + t);
    }
    static std::u16string draw(const std::u16string& jamo)
    {
        char16_t one = block_of(jamo);
        return one ? std::u16string(1, one) : std::u16string();
    }
    void feed(char16_t jamo)
    {
        if (block_of(block + jamo)) {
            block += jamo;
            return;
        }
        if (vowel(jamo) && block.size() >= 2 && !vowel(block.back())) {
            char16_t moving = block.back();
            block.pop_back();
            finish();
            block = {moving, jamo};
            return;
        }
        finish();
        block = jamo;
    }
    void finish()
    {
        text += draw(block);
        block.clear();
    }

};

// The composer driven as an edit field would drive it: a backspace with nothing composed
// deletes a character, a space finishes the syllable.
struct ComposerTyping {
    HangulComposer composer;
    std::u16string text;

    void key(char letter, bool shift) { hangul_feed(composer, hangul_key_jamo(uint32_t(letter - 'a' + 'A'), shift), text); }
    void space()
    {
        text += hangul_composition(composer);
        composer = HangulComposer{};
        text += u' ';
    }
    void backspace()
    {
        if (!hangul_backspace(composer) && !text.empty())
            text.pop_back();
    }
    std::u16string shown() const { return text + hangul_composition(composer); }
};

static std::string utf8_of(const std::u16string& text)
{
    std::string out;
    for (char16_t ch : text) {
        if (ch < 0x80)
            out += char(ch);
        else {
            out += char(0xE0 | ch >> 12);
            out += char(0x80 | (ch >> 6 & 0x3F));
            out += char(0x80 | (ch & 0x3F));
        }
    }
    return out;
}

TEST(HangulComposer, AgreesWithAReferenceOverRandomTyping)
{
    // Keys weighted towards what makes the hard cases: clusters (r s f q then t g w ...),
    // compound vowels (h n m then k o l j p), Shift for the doubled consonants, backspaces.
    const std::string keys = "qwertyuiopasdfghjklzxcvbnmrrsffqqttgghhnnmmkkollj";
    for (uint32_t seed = 1; seed <= 3000; seed++) {
        std::mt19937 random(seed);
        ReferenceTyping reference;
        ComposerTyping typed;
        std::string log;
        for (int step = 0; step < 40; step++) {
            uint32_t roll = random() % 100;
            if (roll < 8) {
                reference.backspace();
                typed.backspace();
                log += '<';
            } else if (roll < 13) {
                reference.space();
                typed.space();
                log += ' ';
            } else {
                char letter = keys[random() % keys.size()];
                bool shift = roll < 23;
                reference.key(letter, shift);
                typed.key(letter, shift);
                log += shift ? char(letter - 'a' + 'A') : letter;
            }
            ASSERT_EQ(utf8_of(typed.shown()), utf8_of(reference.shown())) << "seed " << seed << " keys \"" << log << "\"";
        }
    }
}

// An independent model of 390 typing: the keys of the current block are kept with their roles,
// and a key joins them when the longer run still reads as one block (initials, then vowels,
// then finals, each at most two that pair up; finals only after an initial and a vowel, or
// alone); else it begins the next block.
class ReferenceThreeSet : public ReferenceText<std::vector<HangulKey>, ReferenceThreeSet> {
    friend struct ReferenceText<std::vector<HangulKey>, ReferenceThreeSet>;

public:
    void key(HangulKey k)
    {
        if (k.role == JamoRole::none)
            return;
        std::vector<HangulKey> longer = block;
        longer.push_back(k);
        if (draw(longer).empty()) {
            text += draw(block);
            block.clear();
        }
        block.push_back(k);
    }
    void space()
    {
        text += draw(block) + u" ";
        block.clear();
    }

private:
    // One jamo, or two that pair (three characters each: first, second, both); 0 for none.
    static char16_t part(const std::vector<char16_t>& jamo, std::u16string_view pairs)
    {
        if (jamo.size() == 1)
            return jamo[0];
        for (size_t i = 0; jamo.size() == 2 && i + 2 < pairs.size(); i += 3) {
            if (pairs[i] == jamo[0] && pairs[i + 1] == jamo[1])
                return pairs[i + 2];
        }
        return 0;
    }
    static std::u16string draw(const std::vector<HangulKey>& keys)
    {
        std::vector<char16_t> parts[3];
        int last = 0;
        for (const HangulKey& k : keys) {
            int at = k.role == JamoRole::initial ? 0 : k.role == JamoRole::medial ? 1 : 2;
            if (at < last)
                return u"";
            last = at;
            parts[at].push_back(k.ch);
        }
        if (keys.empty())
            return u"";
        char16_t lead = parts[0].empty() ? 0 : part(parts[0], u"ㄱㄱㄲㄷㄷㄸㅂㅂㅃㅅㅅㅆㅈㅈㅉ");
        char16_t vowel = parts[1].empty() ? 0 : part(parts[1], u"ㅗㅏㅘㅗㅐㅙㅗㅣㅚㅜㅓㅝㅜㅔㅞㅜㅣㅟㅡㅣㅢ");
        char16_t tail = parts[2].empty() ? 0
                                         : part(parts[2], u"ㄱㅅㄳㄴㅈㄵㄴㅎㄶㄹㄱㄺㄹㅁㄻㄹㅂㄼㄹㅅㄽㄹㅌㄾㄹㅍㄿㄹㅎㅀㅂㅅㅄ");
        if ((!parts[0].empty() && !lead) || (!parts[1].empty() && !vowel) || (!parts[2].empty() && !tail))
            return u"";
        int present = (lead != 0) + (vowel != 0) + (tail != 0);
        if (present == 1)
            return std::u16string(1, lead ? lead : vowel ? vowel : tail);
        if (!lead || !vowel)
            return u""; // a final needs both, a vowel after a lone final starts anew
        size_t l = std::u16string_view(u"ㄱㄲㄴㄷㄸㄹㅁㅂㅃㅅㅆㅇㅈㅉㅊㅋㅌㅍㅎ").find(lead);
        size_t t = tail ? std::u16string_view(u"_ㄱㄲㄳㄴㄵㄶㄷㄹㄺㄻㄼㄽㄾㄿㅀㅁㅂㅄㅅㅆㅇㅈㅊㅋㅌㅍㅎ").find(tail) : 0;
        return std::u16string(1, char16_t(0xAC00 + (l * 21 + (vowel - 0x314F)) * 28 + t));
    }

};

TEST(HangulComposer, ThreeSetAgreesWithAReferenceOverRandomTyping)
{
    // The keys of the four rows, each with and without Shift.
    const std::string keys = "`1234567890-=qwertyuiop[]\\asdfghjkl;'zxcvbnm,./kkkjjfff/9xq";
    for (uint32_t seed = 1; seed <= 2000; seed++) {
        std::mt19937 random(seed);
        ReferenceThreeSet reference;
        HangulComposer composer;
        std::u16string text;
        std::string log;
        for (int step = 0; step < 40; step++) {
            uint32_t roll = random() % 100;
            if (roll < 8) {
                reference.backspace();
                if (!hangul_backspace(composer) && !text.empty())
                    text.pop_back();
                log += '<';
            } else if (roll < 13) {
                reference.space();
                text += hangul_composition(composer) + u" ";
                composer = HangulComposer{};
                log += '_';
            } else {
                uint32_t vk = 0;
                bool shift = false;
                ASSERT_TRUE(keyboard_key_for_char(uint8_t(keys[random() % keys.size()]), vk, shift));
                shift = roll < 30;
                HangulKey key = hangul_key(HangulLayout::three_set_390, vk, shift);
                reference.key(key);
                hangul_feed(composer, HangulLayout::three_set_390, key, text);
                log += char(vk) + std::string(shift ? "^" : "");
            }
            ASSERT_EQ(utf8_of(text + hangul_composition(composer)), utf8_of(reference.shown()))
                << "seed " << seed << " keys \"" << log << "\"";
        }
    }
}

} // namespace
