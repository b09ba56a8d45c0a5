// Font faces by name. The faces programs ask for (the common Windows faces, the Korean faces
// under their English and Korean names) stand for families of the Debian font packages
// (Liberation, DejaVu, Nanum), which fontconfig finds in those packages' folders only: no
// user configuration takes part, so every machine with the same packages measures and draws
// alike. A face that is not here falls back as GDI's font mapper would, by character set,
// pitch and family, and the match says so.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/text/font_types.h"

namespace plat {

// A family the faces stand for.
struct FontFamily {
    const char* name;         // as the file's name table spells it
    uint8_t pitch_and_family; // FIXED_PITCH or VARIABLE_PITCH, and the FF_ family
    bool hangul;              // holds the Hangul syllables
    bool bold_file;           // the package always ships a bold file, which is used
    bool italic_file;         // ... an italic file
    bool own_hints;           // its instructions hint well; else the auto-hinter's are used
};

// The face a logical font gets.
struct FaceMatch {
    int family = -1;              // font_family index; -1 when no family is installed at all
    std::string face;             // the face it answers to (GetTextFace), active code page bytes
    uint8_t pitch_and_family = 0; // of that face, as the enumeration reports it
    uint8_t char_set = ANSI_CHARSET; // the character set asked for, DEFAULT_CHARSET resolved
    bool symbol = false;          // its bytes are the symbol encoding, not the code page
    bool fell_back = false;       // the face asked for is not here, or lacks the character set
};

// DEFAULT_CHARSET becomes the active code page's set (HANGUL_CHARSET under 949, else
// ANSI_CHARSET); others stay.
uint8_t font_resolve_char_set(uint8_t char_set);
// The face for a logical font's face name (active code page bytes, case ignored, a leading
// '@' of vertical faces ignored), character set and pitch and family. Null or "" falls back.
FaceMatch font_match_face(const char* face, uint8_t char_set, uint8_t pitch_and_family);
// EnumFonts' answer for a face: true when that name stands for an installed family.
bool font_face_exists(const char* face);

// The faces there are, in table order: each known name whose family is installed and which
// the active code page can spell.
struct FontFaceEntry {
    std::string face;
    uint8_t pitch_and_family;
    uint8_t char_set;
};
std::vector<FontFaceEntry> font_enumerate_faces();

// The family record; null for a bad index.
const FontFamily* font_family(int family);
// The file of a family's style: bold and italic ask for those files, which only families that
// ship them have (the others are synthesised by the caller). False when it is not installed.
struct FontFile {
    std::string path;
    int32_t index = 0;
};
bool font_family_file(int family, bool bold, bool italic, FontFile& out);
// Families that supply characters a family lacks, in the order they are tried (GDI's font
// linking): installed ones only, never the family itself.
std::vector<int> font_linked_families(int family);

// Forgets what fontconfig answered (tests, and a changed font folder).
void font_match_reset();

} // namespace plat
