#include "platform/text/font_match.h"

#include <algorithm>
#include <cstring>
#include <fontconfig/fontconfig.h>

#include "platform/kernel/codepage.h"

namespace plat {

enum : int {
    kLiberationSans,
    kLiberationSerif,
    kLiberationMono,
    kDejaVuSans,
    kDejaVuSerif,
    kDejaVuSansMono,
    kNanumGothic,
    kNanumMyeongjo,
    kNanumGothicCoding,
    kFamilyCount,
};

// Only the styles every install of a package has are taken from files: fonts-dejavu-core
// ships no oblique faces (fonts-dejavu-extra does), so DejaVu italics are always synthesised
// and a machine with the extra package draws the same pixels. The Nanum fonts' own hints give
// stems of one and two pixels side by side in monochrome; the auto-hinter evens them.
static const FontFamily kFamilies[kFamilyCount] = {
    {"Liberation Sans", VARIABLE_PITCH | FF_SWISS, false, true, true, true},
    {"Liberation Serif", VARIABLE_PITCH | FF_ROMAN, false, true, true, true},
    {"Liberation Mono", FIXED_PITCH | FF_MODERN, false, true, true, true},
    {"DejaVu Sans", VARIABLE_PITCH | FF_SWISS, false, true, false, true},
    {"DejaVu Serif", VARIABLE_PITCH | FF_ROMAN, false, true, false, true},
    {"DejaVu Sans Mono", FIXED_PITCH | FF_MODERN, false, true, false, true},
    {"NanumGothic", VARIABLE_PITCH | FF_SWISS, true, true, false, false},
    {"NanumMyeongjo", VARIABLE_PITCH | FF_ROMAN, true, true, false, false},
    {"NanumGothicCoding", FIXED_PITCH | FF_MODERN, true, true, false, false},
};

// The folders of fonts-liberation, fonts-dejavu-core and fonts-nanum.
static const char* const kFontFolders[] = {
    "/usr/share/fonts/truetype/liberation",
    "/usr/share/fonts/truetype/dejavu",
    "/usr/share/fonts/truetype/nanum",
};

struct FaceRow {
    const char* name; // UTF-8
    int family;
    uint8_t char_set;
    uint8_t pitch_and_family;
};

// Faces programs ask for, then the installed families under their own names.
static const FaceRow kFaces[] = {
    {"Arial", kLiberationSans, ANSI_CHARSET, VARIABLE_PITCH | FF_SWISS},
    {"Helvetica", kLiberationSans, ANSI_CHARSET, VARIABLE_PITCH | FF_SWISS},     // the other platform's
    {"Helv", kLiberationSans, ANSI_CHARSET, VARIABLE_PITCH | FF_SWISS},          // the old dialog face
    {"MS Sans Serif", kLiberationSans, ANSI_CHARSET, VARIABLE_PITCH | FF_SWISS},
    {"MS Shell Dlg", kLiberationSans, ANSI_CHARSET, VARIABLE_PITCH | FF_SWISS},  // dialog templates
    {"System", kLiberationSans, ANSI_CHARSET, VARIABLE_PITCH | FF_SWISS},        // the stock system font
    {"Times New Roman", kLiberationSerif, ANSI_CHARSET, VARIABLE_PITCH | FF_ROMAN},
    {"Times", kLiberationSerif, ANSI_CHARSET, VARIABLE_PITCH | FF_ROMAN},
    {"Tms Rmn", kLiberationSerif, ANSI_CHARSET, VARIABLE_PITCH | FF_ROMAN},
    {"MS Serif", kLiberationSerif, ANSI_CHARSET, VARIABLE_PITCH | FF_ROMAN},
    {"Courier New", kLiberationMono, ANSI_CHARSET, FIXED_PITCH | FF_MODERN},
    {"Courier", kLiberationMono, ANSI_CHARSET, FIXED_PITCH | FF_MODERN},
    {"Fixedsys", kLiberationMono, ANSI_CHARSET, FIXED_PITCH | FF_MODERN},        // SYSTEM_FIXED_FONT
    {"Terminal", kLiberationMono, OEM_CHARSET, FIXED_PITCH | FF_MODERN},         // OEM_FIXED_FONT
    {"Symbol", kDejaVuSans, SYMBOL_CHARSET, VARIABLE_PITCH | FF_ROMAN},          // Greek and maths
    {"Gulim", kNanumGothic, HANGUL_CHARSET, VARIABLE_PITCH | FF_SWISS},
    {"굴림", kNanumGothic, HANGUL_CHARSET, VARIABLE_PITCH | FF_SWISS},
    {"GulimChe", kNanumGothicCoding, HANGUL_CHARSET, FIXED_PITCH | FF_MODERN},
    {"굴림체", kNanumGothicCoding, HANGUL_CHARSET, FIXED_PITCH | FF_MODERN},
    {"Dotum", kNanumGothic, HANGUL_CHARSET, VARIABLE_PITCH | FF_SWISS},
    {"돋움", kNanumGothic, HANGUL_CHARSET, VARIABLE_PITCH | FF_SWISS},
    {"DotumChe", kNanumGothicCoding, HANGUL_CHARSET, FIXED_PITCH | FF_MODERN},
    {"돋움체", kNanumGothicCoding, HANGUL_CHARSET, FIXED_PITCH | FF_MODERN},
    {"Batang", kNanumMyeongjo, HANGUL_CHARSET, VARIABLE_PITCH | FF_ROMAN},
    {"바탕", kNanumMyeongjo, HANGUL_CHARSET, VARIABLE_PITCH | FF_ROMAN},
    // The fixed-pitch Korean faces keep their pitch: Nanum has no fixed-pitch serif.
    {"BatangChe", kNanumGothicCoding, HANGUL_CHARSET, FIXED_PITCH | FF_ROMAN},
    {"바탕체", kNanumGothicCoding, HANGUL_CHARSET, FIXED_PITCH | FF_ROMAN},
    {"Gungsuh", kNanumMyeongjo, HANGUL_CHARSET, VARIABLE_PITCH | FF_ROMAN},
    {"궁서", kNanumMyeongjo, HANGUL_CHARSET, VARIABLE_PITCH | FF_ROMAN},
    {"GungsuhChe", kNanumGothicCoding, HANGUL_CHARSET, FIXED_PITCH | FF_ROMAN},
    {"궁서체", kNanumGothicCoding, HANGUL_CHARSET, FIXED_PITCH | FF_ROMAN},
    {"Liberation Sans", kLiberationSans, ANSI_CHARSET, VARIABLE_PITCH | FF_SWISS},
    {"Liberation Serif", kLiberationSerif, ANSI_CHARSET, VARIABLE_PITCH | FF_ROMAN},
    {"Liberation Mono", kLiberationMono, ANSI_CHARSET, FIXED_PITCH | FF_MODERN},
    {"DejaVu Sans", kDejaVuSans, ANSI_CHARSET, VARIABLE_PITCH | FF_SWISS},
    {"DejaVu Serif", kDejaVuSerif, ANSI_CHARSET, VARIABLE_PITCH | FF_ROMAN},
    {"DejaVu Sans Mono", kDejaVuSansMono, ANSI_CHARSET, FIXED_PITCH | FF_MODERN},
    {"NanumGothic", kNanumGothic, HANGUL_CHARSET, VARIABLE_PITCH | FF_SWISS},
    {"나눔고딕", kNanumGothic, HANGUL_CHARSET, VARIABLE_PITCH | FF_SWISS},
    {"NanumMyeongjo", kNanumMyeongjo, HANGUL_CHARSET, VARIABLE_PITCH | FF_ROMAN},
    {"나눔명조", kNanumMyeongjo, HANGUL_CHARSET, VARIABLE_PITCH | FF_ROMAN},
    {"NanumGothicCoding", kNanumGothicCoding, HANGUL_CHARSET, FIXED_PITCH | FF_MODERN},
    {"나눔고딕코딩", kNanumGothicCoding, HANGUL_CHARSET, FIXED_PITCH | FF_MODERN},
};

// Characters a family lacks come from these, in order: Hangul, then the widest Latin,
// Greek and symbol coverage.
static const int kLinkOrder[] = {kNanumGothic, kDejaVuSans};

constexpr int kStyleCount = 4; // regular, bold, italic, bold italic

struct FileSlot {
    bool looked_up = false;
    bool found = false;
    FontFile file;
};

struct MatchState {
    FcConfig* config = nullptr;
    bool config_failed = false;
    FileSlot files[kFamilyCount][kStyleCount];
};

static MatchState s_match;

// --- fontconfig ----------------------------------------------------------------------------

// Only the package folders, and the system's caches of them so that start-up does not scan
// the files; the user's fontconfig files (aliases, substitutions, extra folders) take no part.
static std::string config_text()
{
    std::string text = "<?xml version=\"1.0\"?><!DOCTYPE fontconfig SYSTEM \"urn:fontconfig:fonts.dtd\">"
                       "<fontconfig>";
    for (const char* folder : kFontFolders)
        text += std::string("<dir>") + folder + "</dir>";
    text += "<cachedir>/var/cache/fontconfig</cachedir><cachedir prefix=\"xdg\">fontconfig</cachedir>"
            "</fontconfig>";
    return text;
}

static FcConfig* match_config()
{
    if (s_match.config || s_match.config_failed)
        return s_match.config;
    FcConfig* config = FcConfigCreate();
    std::string text = config_text();
    if (!config || !FcConfigParseAndLoadFromMemory(config, reinterpret_cast<const FcChar8*>(text.c_str()), FcFalse)
        || !FcConfigBuildFonts(config)) {
        if (config)
            FcConfigDestroy(config);
        s_match.config_failed = true;
        return nullptr;
    }
    s_match.config = config;
    return config;
}

static int pattern_int(FcPattern* pattern, const char* object, int fallback)
{
    int value = fallback;
    FcPatternGetInteger(pattern, object, 0, &value);
    return value;
}

// A listed file is the style asked for: the family is its first name (fontconfig read it from
// the file's name table, no rule renamed it), normal width, and the weight and slant of the
// style, so Condensed, ExtraLight and oblique extras of a family are never taken.
static bool listed_file_fits(FcPattern* pattern, const char* family, bool bold, bool italic)
{
    FcChar8* name = nullptr;
    if (FcPatternGetString(pattern, FC_FAMILY, 0, &name) != FcResultMatch
        || std::strcmp(reinterpret_cast<const char*>(name), family) != 0)
        return false;
    int weight = pattern_int(pattern, FC_WEIGHT, FC_WEIGHT_REGULAR);
    int slant = pattern_int(pattern, FC_SLANT, FC_SLANT_ROMAN);
    int width = pattern_int(pattern, FC_WIDTH, FC_WIDTH_NORMAL);
    bool weight_fits = bold ? weight >= FC_WEIGHT_BOLD && weight < FC_WEIGHT_BLACK
                            : weight >= FC_WEIGHT_BOOK && weight <= FC_WEIGHT_MEDIUM;
    bool slant_fits = italic ? slant != FC_SLANT_ROMAN : slant == FC_SLANT_ROMAN;
    return weight_fits && slant_fits && width == FC_WIDTH_NORMAL;
}

// The first fitting file by path, so that two copies of a face give one answer.
static bool list_family_file(const char* family, bool bold, bool italic, FontFile& out)
{
    FcConfig* config = match_config();
    if (!config)
        return false;
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
    FcObjectSet* objects = FcObjectSetBuild(FC_FILE, FC_INDEX, FC_FAMILY, FC_WEIGHT, FC_SLANT, FC_WIDTH, nullptr);
    FcFontSet* set = FcFontList(config, pattern, objects);
    bool found = false;
    for (int i = 0; set && i < set->nfont; i++) {
        FcChar8* file = nullptr;
        if (!listed_file_fits(set->fonts[i], family, bold, italic)
            || FcPatternGetString(set->fonts[i], FC_FILE, 0, &file) != FcResultMatch)
            continue;
        std::string path = reinterpret_cast<const char*>(file);
        if (!found || path < out.path) {
            out.path = path;
            out.index = pattern_int(set->fonts[i], FC_INDEX, 0);
            found = true;
        }
    }
    if (set)
        FcFontSetDestroy(set);
    FcObjectSetDestroy(objects);
    FcPatternDestroy(pattern);
    return found;
}

bool font_family_file(int family, bool bold, bool italic, FontFile& out)
{
    const FontFamily* record = font_family(family);
    if (!record || (bold && !record->bold_file) || (italic && !record->italic_file))
        return false;
    FileSlot& slot = s_match.files[family][(bold ? 1 : 0) + (italic ? 2 : 0)];
    if (!slot.looked_up) {
        slot.looked_up = true;
        slot.found = list_family_file(record->name, bold, italic, slot.file);
    }
    if (slot.found)
        out = slot.file;
    return slot.found;
}

static bool family_installed(int family)
{
    FontFile file;
    return font_family_file(family, false, false, file);
}

const FontFamily* font_family(int family)
{
    return family >= 0 && family < kFamilyCount ? &kFamilies[family] : nullptr;
}

std::vector<int> font_linked_families(int family)
{
    std::vector<int> linked;
    for (int candidate : kLinkOrder) {
        if (candidate != family && family_installed(candidate))
            linked.push_back(candidate);
    }
    return linked;
}

void font_match_reset()
{
    if (s_match.config)
        FcConfigDestroy(s_match.config);
    s_match = MatchState{};
}

// --- Faces ---------------------------------------------------------------------------------

uint8_t font_resolve_char_set(uint8_t char_set)
{
    if (char_set != DEFAULT_CHARSET)
        return char_set;
    return get_active_code_page() == CP_KOREAN ? HANGUL_CHARSET : ANSI_CHARSET;
}

static std::string folded(std::string text)
{
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    }
    return text;
}

// The row of a face name given in the active code page; null when it is not a known face.
static const FaceRow* find_face(const char* face)
{
    if (!face)
        return nullptr;
    std::string name(face, strnlen(face, LF_FACESIZE));
    if (!name.empty() && name[0] == '@')
        name.erase(0, 1);
    if (name.empty())
        return nullptr;
    std::string wanted = folded(code_page_to_utf8(CP_ACP, name));
    for (const FaceRow& row : kFaces) {
        if (folded(row.name) == wanted)
            return &row;
    }
    return nullptr;
}

static const FaceRow* row_named(const char* name)
{
    for (const FaceRow& row : kFaces) {
        if (std::strcmp(row.name, name) == 0)
            return &row;
    }
    return nullptr;
}

// GDI's mapper for a face that is not here: the character set decides first, then the pitch
// and the family.
static const FaceRow* substitute_face(uint8_t char_set, uint8_t pitch_and_family)
{
    bool fixed = (pitch_and_family & 0x03) == FIXED_PITCH || (pitch_and_family & 0xF0) == FF_MODERN;
    bool roman = (pitch_and_family & 0xF0) == FF_ROMAN;
    if (char_set == SYMBOL_CHARSET)
        return row_named("Symbol");
    if (char_set == HANGUL_CHARSET)
        return row_named(fixed ? "GulimChe" : roman ? "Batang" : "Gulim");
    return row_named(fixed ? "Courier New" : roman ? "Times New Roman" : "Arial");
}

static bool row_serves(const FaceRow* row, uint8_t char_set)
{
    if (!row || !family_installed(row->family))
        return false;
    // A Latin family cannot stand for a Hangul font: GDI weighs the character set first.
    return char_set != HANGUL_CHARSET || kFamilies[row->family].hangul;
}

static std::string face_in_code_page(const char* utf8)
{
    return utf8_to_code_page(CP_ACP, utf8);
}

static void take_row(FaceMatch& match, const FaceRow& row)
{
    match.family = row.family;
    match.face = face_in_code_page(row.name);
    match.pitch_and_family = row.pitch_and_family;
    match.symbol = row.char_set == SYMBOL_CHARSET;
}

FaceMatch font_match_face(const char* face, uint8_t char_set, uint8_t pitch_and_family)
{
    FaceMatch match;
    match.char_set = font_resolve_char_set(char_set);
    const FaceRow* row = find_face(face);
    if (row_serves(row, match.char_set)) {
        take_row(match, *row);
        return match;
    }
    match.fell_back = true;
    const FaceRow* substitute = substitute_face(match.char_set, pitch_and_family);
    if (row_serves(substitute, match.char_set)) {
        take_row(match, *substitute);
        return match;
    }
    // The packages are missing: any installed family will do.
    for (const FaceRow& any : kFaces) {
        if (family_installed(any.family)) {
            take_row(match, any);
            return match;
        }
    }
    return match;
}

bool font_face_exists(const char* face)
{
    const FaceRow* row = find_face(face);
    return row && family_installed(row->family);
}

std::vector<FontFaceEntry> font_enumerate_faces()
{
    std::vector<FontFaceEntry> faces;
    for (const FaceRow& row : kFaces) {
        if (!family_installed(row.family))
            continue;
        std::string face = face_in_code_page(row.name);
        if (code_page_to_utf8(CP_ACP, face) != row.name)
            continue; // the active code page cannot spell it
        faces.push_back(FontFaceEntry{face, row.pitch_and_family, row.char_set});
    }
    return faces;
}

} // namespace plat
