#include "platform/ime/hangul.h"

#include <gtest/gtest.h>

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

} // namespace
