// The piece maker's description: a small text that says what a record file holds (README.md
// describes it). Parsing turns it into a PieceDescription; pm_build.h turns that into bytes.
// Each statement is a row of a table, so a new kind of content is a new statement.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// One record as described: its bytes in native order, before conversion and packing.
struct PieceRecord {
    uint32_t number = 0;
    int type = -1;
    uint16_t scheme = 1; // 1 raw, 2 zlib
    bool foreign = false; // stored in the other byte order
    std::vector<uint8_t> bytes;
    int line = 0; // where the description gave it, for messages
};

// One icon as described: its kind, title and place in the tree, options and properties.
struct PieceIcon {
    int kind = 0; // 1 to 15
    std::string title;
    bool titled = false;
    uint32_t node = 0; // 0: numbered when the tree is built
    int layout_class = 0;
    int list = 2; // which list of its parent holds it (3 and 4: a Framework's)
    int parent = -1; // index in PieceNodes::icons, -1 for a top icon
    uint32_t kind_block_size = 0; // at least this many bytes
    struct Attr {
        uint32_t descriptor;
        uint32_t value;
    };
    std::vector<Attr> attrs; // in order
    struct Bytes {
        bool kind_block; // else the layout block
        uint32_t offset;
        std::vector<uint8_t> bytes;
    };
    std::vector<Bytes> bytes;
    struct Prop {
        uint16_t tag;
        std::vector<uint8_t> data;
        // Icons named by title: the u16 at each offset becomes that icon's node number once
        // the tree is numbered.
        std::vector<std::pair<uint32_t, std::string>> titles = {};
    };
    std::vector<Prop> props; // in order
    bool pending = false; // its title is still in the Macintosh character set (directory word 39)
    bool mapped = false; // directory word 38
    int32_t links[3] = { -1, -1, -1 }; // given by hand (parent, next, first child), for damage
    // A link to a library icon: the library's number (1 up, in the order of the description's
    // libraries), the icon's node in it and the name it must have there.
    uint32_t link_library = 0; // 0: no link
    uint32_t link_node = 0;
    std::string link_expected;
    std::string link_name; // the name recorded for the icon (link table and pool)
    bool has_link_name = false;
    int line = 0;
};

// One library the file links to, numbered 1 up in order.
struct PieceLibrary {
    bool internal = false;
    std::string path;
};

// The node store of the file: icons, and how their records are written.
struct PieceNodes {
    std::vector<PieceIcon> icons;
    uint32_t node_count = 0; // 0: the groups the highest node needs, times 256
    bool title_hash = true;
    int storage = 0; // 0: zlib except property groups (raw); 1 raw; 2 zlib
    uint32_t directory_bytes = 1212; // a shorter stored node directory
    struct Word {
        uint32_t word;
        uint16_t value;
    };
    std::vector<Word> words; // directory words set by hand, after the built ones
    std::vector<PieceLibrary> libraries;
};

// Text styles (record type 25, directory word 25) and the font map (record type 40, directory
// word 37) as described; pm_text.h turns them into records.
struct PieceStyles {
    uint32_t record = 0; // 0: none
    uint16_t scheme = 1;
    bool foreign = false;
    bool long_names = true;
    int16_t flags = 0;
    int16_t default_style = 1;
    struct Name {
        std::string platform2, platform1;
        uint16_t flags = 0;
    };
    std::vector<Name> names;
    struct Font {
        int16_t name_reference = 1;
        int16_t points = 12;
        int16_t style = 0;
        uint16_t flags = 0x20;
    };
    std::vector<Font> fonts;
    struct Style {
        int16_t number = 1;
        std::vector<std::pair<std::string, int64_t>> fields; // option words and their values
        std::vector<int16_t> tabs;
    };
    std::vector<Style> styles;
    int line = 0;
};
struct PieceFontMap {
    uint32_t record = 0; // 0: none
    uint16_t scheme = 1;
    bool foreign = false;
    std::string text; // FONTMAP.TXT lines, read by the runtime's parser
    struct Field {
        uint16_t tag;
        std::vector<uint8_t> data;
    };
    std::vector<Field> fields; // given by hand; they replace the parsed ones of their tag
    int line = 0;
};

// A user variable of the piece: numbered 1, 2 ... in the order given. Its name goes to the
// names record (directory word 10) and its initial value to the definitions record (word 12).
struct PieceVariable {
    std::string name; // "%": a deleted variable
    std::string value; // a text's bytes (types 0, 19, 20)
    uint8_t type = 1;  // 0 text, 1 integer, 2 real, 19 expression, 20 symbol
    int64_t number = 0;
    double real = 0;
};

// A custom cursor: an item of the cursor list record (directory word 24), tag = its number,
// {i16 hot x, hot y, width, height, reserved} and the AND and XOR masks.
struct PieceCursor {
    uint16_t number = 0;
    int16_t fields[4] = {};
    std::vector<uint8_t> masks;
};

struct PieceDescription {
    uint32_t magic = 0; // the kind, four characters as a little-endian u32
    uint32_t format = 22;
    int32_t kind_version = 0;
    bool kind_version_given = false;
    bool foreign = false; // header, directory and (by default) records in the other byte order
    int packaged = -1; // -1: by kind (PCRS and PLIB packaged, others editable)
    uint32_t padding = 0; // zero entries after the directory's entries
    std::string program; // a program file to append the piece to
    std::vector<PieceRecord> records;
    PieceNodes nodes;
    PieceStyles styles;
    PieceFontMap font_map;
    std::vector<PieceVariable> variables;
    std::vector<PieceCursor> cursors;
    bool name_dictionary = false; // directory word 35: the hash table over the upper-cased names
};

// Parses a description; relative file names are taken from folder. Icons become the records
// of the node store (pm_icons.h) once the whole description is read. True, or false with a
// message "line N: ..." in error.
bool pm_parse(
    const std::string& text, const std::string& folder, PieceDescription& out, std::string& error);

// The layout version a kind's header carries unless the description gives one.
int32_t pm_kind_version(const PieceDescription& piece);
// Whether the directory is packaged.
bool pm_is_packaged(const PieceDescription& piece);

// A whole file's bytes; false when it cannot be read.
bool pm_read_file(const std::string& path, std::vector<uint8_t>& out);
