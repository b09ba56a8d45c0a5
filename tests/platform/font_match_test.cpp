#include "platform/text/font_match.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "platform/kernel/codepage.h"

namespace {

using namespace plat;

class FontMatchTest : public testing::Test {
protected:
    void SetUp() override { codepage_reset(); }
    void TearDown() override { codepage_reset(); }
};

int family_named(const std::string& name)
{
    for (int i = 0; font_family(i); i++) {
        if (name == font_family(i)->name)
            return i;
    }
    return -1;
}

struct FaceCase {
    const char* face;
    uint8_t char_set;
    uint8_t pitch_and_family;
    const char* answered; // the face the font answers to
    const char* family;
    bool fell_back;
};

static const FaceCase kFaceCases[] = {
    {"Arial", DEFAULT_CHARSET, 0, "Arial", "Liberation Sans", false},
    {"ARIAL", DEFAULT_CHARSET, 0, "Arial", "Liberation Sans", false}, // case does not count
    {"Helvetica", ANSI_CHARSET, 0, "Helvetica", "Liberation Sans", false},
    {"Helv", ANSI_CHARSET, 0, "Helv", "Liberation Sans", false},
    {"MS Sans Serif", ANSI_CHARSET, 0, "MS Sans Serif", "Liberation Sans", false},
    {"System", DEFAULT_CHARSET, 0, "System", "Liberation Sans", false},
    {"@System", DEFAULT_CHARSET, 0, "System", "Liberation Sans", false}, // a vertical face
    {"Times New Roman", ANSI_CHARSET, 0, "Times New Roman", "Liberation Serif", false},
    {"Times", ANSI_CHARSET, 0, "Times", "Liberation Serif", false},
    {"MS Serif", ANSI_CHARSET, 0, "MS Serif", "Liberation Serif", false},
    {"Courier New", ANSI_CHARSET, 0, "Courier New", "Liberation Mono", false},
    {"Courier", ANSI_CHARSET, 0, "Courier", "Liberation Mono", false},
    {"Symbol", SYMBOL_CHARSET, 0, "Symbol", "DejaVu Sans", false},
    {"Gulim", HANGUL_CHARSET, 0, "Gulim", "NanumGothic", false},
    {"Dotum", HANGUL_CHARSET, 0, "Dotum", "NanumGothic", false},
    {"Batang", HANGUL_CHARSET, 0, "Batang", "NanumMyeongjo", false},
    {"Gungsuh", HANGUL_CHARSET, 0, "Gungsuh", "NanumMyeongjo", false},
    {"GulimChe", HANGUL_CHARSET, 0, "GulimChe", "NanumGothicCoding", false},
    {"DotumChe", HANGUL_CHARSET, 0, "DotumChe", "NanumGothicCoding", false},
    {"BatangChe", HANGUL_CHARSET, 0, "BatangChe", "NanumGothicCoding", false},
    {"GungsuhChe", HANGUL_CHARSET, 0, "GungsuhChe", "NanumGothicCoding", false},
    {"Gulim", ANSI_CHARSET, 0, "Gulim", "NanumGothic", false}, // a Hangul face has Latin too
    {"Liberation Mono", ANSI_CHARSET, 0, "Liberation Mono", "Liberation Mono", false},
    // Faces that are not here: the character set decides, then pitch, then family.
    {"No Such Face", DEFAULT_CHARSET, 0, "Arial", "Liberation Sans", true},
    {"", DEFAULT_CHARSET, 0, "Arial", "Liberation Sans", true},
    {"No Such Face", ANSI_CHARSET, VARIABLE_PITCH | FF_ROMAN, "Times New Roman", "Liberation Serif", true},
    {"No Such Face", ANSI_CHARSET, FIXED_PITCH, "Courier New", "Liberation Mono", true},
    {"No Such Face", ANSI_CHARSET, FF_MODERN, "Courier New", "Liberation Mono", true},
    {"No Such Face", SYMBOL_CHARSET, 0, "Symbol", "DejaVu Sans", true},
    {"No Such Face", HANGUL_CHARSET, 0, "Gulim", "NanumGothic", true},
    {"No Such Face", HANGUL_CHARSET, FIXED_PITCH, "GulimChe", "NanumGothicCoding", true},
    {"No Such Face", HANGUL_CHARSET, FF_ROMAN, "Batang", "NanumMyeongjo", true},
    {"Arial", HANGUL_CHARSET, 0, "Gulim", "NanumGothic", true}, // Latin cannot stand for Hangul
    {"DejaVu Sans Bold", ANSI_CHARSET, 0, "Arial", "Liberation Sans", true}, // a style is no face
};

TEST_F(FontMatchTest, FacesStandForInstalledFamiliesOrFallBackAsTheMapperWould)
{
    for (const FaceCase& c : kFaceCases) {
        SCOPED_TRACE(std::string(c.face) + " charset " + std::to_string(c.char_set));
        FaceMatch match = font_match_face(c.face, c.char_set, c.pitch_and_family);
        EXPECT_EQ(match.face, c.answered);
        ASSERT_NE(font_family(match.family), nullptr);
        EXPECT_STREQ(font_family(match.family)->name, c.family);
        EXPECT_EQ(match.fell_back, c.fell_back);
        EXPECT_EQ(font_face_exists(c.face), !c.fell_back || std::string(c.face) == "Arial");
    }
    FaceMatch none = font_match_face(nullptr, DEFAULT_CHARSET, 0);
    EXPECT_EQ(none.face, "Arial");
    EXPECT_TRUE(none.fell_back);
    EXPECT_FALSE(font_face_exists(nullptr));
}

TEST_F(FontMatchTest, TheDefaultCharacterSetFollowsTheCodePage)
{
    EXPECT_EQ(font_resolve_char_set(DEFAULT_CHARSET), ANSI_CHARSET);
    EXPECT_TRUE(font_match_face("Symbol", DEFAULT_CHARSET, 0).symbol);
    ASSERT_TRUE(set_active_code_page(CP_KOREAN));
    EXPECT_EQ(font_resolve_char_set(DEFAULT_CHARSET), HANGUL_CHARSET);
    EXPECT_EQ(font_resolve_char_set(SYMBOL_CHARSET), SYMBOL_CHARSET);
    // The system font of a Korean system is a Hangul font.
    FaceMatch system = font_match_face("System", DEFAULT_CHARSET, 0);
    EXPECT_EQ(system.face, "Gulim");
    EXPECT_EQ(system.char_set, HANGUL_CHARSET);
    EXPECT_TRUE(system.fell_back);
}

TEST_F(FontMatchTest, KoreanNamesAreSpelledInTheActiveCodePage)
{
    struct KoreanCase {
        const char* name; // UTF-8
        const char* family;
    };
    static const KoreanCase cases[] = {
        {"굴림", "NanumGothic"}, {"굴림체", "NanumGothicCoding"}, {"돋움", "NanumGothic"}, {"돋움체", "NanumGothicCoding"},
        {"바탕", "NanumMyeongjo"}, {"바탕체", "NanumGothicCoding"}, {"궁서", "NanumMyeongjo"}, {"궁서체", "NanumGothicCoding"},
    };
    for (const KoreanCase& c : cases) {
        SCOPED_TRACE(c.name);
        codepage_reset();
        EXPECT_FALSE(font_face_exists(c.name)); // UTF-8 bytes are no 1252 name
        ASSERT_TRUE(set_active_code_page(CP_KOREAN));
        std::string name = utf8_to_code_page(CP_KOREAN, c.name);
        FaceMatch match = font_match_face(name.c_str(), DEFAULT_CHARSET, 0);
        EXPECT_EQ(match.face, name);
        EXPECT_STREQ(font_family(match.family)->name, c.family);
        EXPECT_FALSE(match.fell_back);
        EXPECT_TRUE(font_face_exists(name.c_str()));
    }
}

TEST_F(FontMatchTest, TheEnumerationGivesPitchAndCharacterSetOfFacesTheCodePageCanSpell)
{
    struct Expected {
        const char* face;
        uint8_t pitch_and_family;
        uint8_t char_set;
    };
    static const Expected expected[] = {
        {"Arial", VARIABLE_PITCH | FF_SWISS, ANSI_CHARSET},
        {"Times New Roman", VARIABLE_PITCH | FF_ROMAN, ANSI_CHARSET},
        {"Courier New", FIXED_PITCH | FF_MODERN, ANSI_CHARSET},
        {"Symbol", VARIABLE_PITCH | FF_ROMAN, SYMBOL_CHARSET},
        {"Gulim", VARIABLE_PITCH | FF_SWISS, HANGUL_CHARSET},
        {"GulimChe", FIXED_PITCH | FF_MODERN, HANGUL_CHARSET},
    };
    std::vector<FontFaceEntry> faces = font_enumerate_faces();
    for (const Expected& e : expected) {
        SCOPED_TRACE(e.face);
        auto found = std::find_if(faces.begin(), faces.end(), [&](const FontFaceEntry& f) { return f.face == e.face; });
        ASSERT_NE(found, faces.end());
        EXPECT_EQ(found->pitch_and_family, e.pitch_and_family);
        EXPECT_EQ(found->char_set, e.char_set);
    }
    for (const FontFaceEntry& face : faces) {
        SCOPED_TRACE(face.face);
        EXPECT_TRUE(font_face_exists(face.face.c_str()));
        EXPECT_EQ(face.face.find_first_of("\x80\xFF?"), std::string::npos); // no Korean names in 1252
    }
    ASSERT_TRUE(set_active_code_page(CP_KOREAN));
    std::vector<FontFaceEntry> korean = font_enumerate_faces();
    std::string gulim = utf8_to_code_page(CP_KOREAN, "굴림");
    EXPECT_TRUE(std::any_of(korean.begin(), korean.end(), [&](const FontFaceEntry& f) { return f.face == gulim; }));
    EXPECT_GT(korean.size(), faces.size());
}

TEST_F(FontMatchTest, StylesComeFromTheFilesEveryInstallHasAndCharactersFromLinkedFamilies)
{
    struct FileCase {
        const char* family;
        bool bold;
        bool italic;
        const char* file; // empty: synthesised, no file
    };
    static const FileCase cases[] = {
        {"Liberation Sans", false, false, "/LiberationSans-Regular.ttf"},
        {"Liberation Sans", true, true, "/LiberationSans-BoldItalic.ttf"},
        {"Liberation Serif", false, true, "/LiberationSerif-Italic.ttf"},
        {"Liberation Mono", true, false, "/LiberationMono-Bold.ttf"},
        {"DejaVu Sans", true, false, "/DejaVuSans-Bold.ttf"},
        {"DejaVu Sans", false, true, ""}, // fonts-dejavu-core has no obliques
        {"NanumGothic", false, false, "/NanumGothic.ttf"},
        {"NanumGothic", true, false, "/NanumGothicBold.ttf"},
        {"NanumMyeongjo", false, true, ""},
        {"NanumGothicCoding", false, false, "/NanumGothicCoding.ttf"},
    };
    for (const FileCase& c : cases) {
        SCOPED_TRACE(std::string(c.family) + (c.bold ? " bold" : "") + (c.italic ? " italic" : ""));
        FontFile file;
        bool found = font_family_file(family_named(c.family), c.bold, c.italic, file);
        EXPECT_EQ(found, c.file[0] != 0);
        if (found) {
            std::string tail = c.file;
            ASSERT_GE(file.path.size(), tail.size());
            EXPECT_EQ(file.path.substr(file.path.size() - tail.size()), tail);
        }
    }
    std::vector<int> linked = font_linked_families(family_named("Liberation Sans"));
    EXPECT_EQ(linked, (std::vector<int>{family_named("NanumGothic"), family_named("DejaVu Sans")}));
    EXPECT_EQ(font_linked_families(family_named("NanumGothic")), std::vector<int>{family_named("DejaVu Sans")});
    EXPECT_EQ(font_family(-1), nullptr);
}

} // namespace
