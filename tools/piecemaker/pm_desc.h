// The piece maker's description: a small text that says what a record file holds (README.md
// describes it). Parsing turns it into a PieceDescription; pm_build.h turns that into bytes.
// Each statement is a row of a table, so a new kind of content is a new statement.
#pragma once
#include <cstdint>
#include <string>
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
};

// Parses a description; relative file names are taken from folder. True, or false with a
// message "line N: ..." in error.
bool pm_parse(
    const std::string& text, const std::string& folder, PieceDescription& out, std::string& error);

// The layout version a kind's header carries unless the description gives one.
int32_t pm_kind_version(const PieceDescription& piece);
// Whether the directory is packaged.
bool pm_is_packaged(const PieceDescription& piece);
