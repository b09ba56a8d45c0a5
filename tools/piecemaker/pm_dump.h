// Shows a record file as the runtime reads it, through the runtime's own file layer, kind
// header check, header and directory reader, decompression and byte-order conversion.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Appends to out the kind header, the record-file header, the directory and one line per
// record ("record N type T raw|zlib stored S unpacked U order little|big offset O"), loading
// each record. With hex_record > 0, only the bytes of that record after unpacking and
// conversion, 16 to a line. Returns 0, or 1 after a line "error CODE" when the runtime refuses
// the file or a record.
int pm_dump(const std::string& path, int hex_record, std::string& out);

// Opens the file's node store through the record store and appends one line per icon of the
// trees of its top icons (node 1, and node 2 in a library), indented two blanks per level:
// "NODE KIND class C \"TITLE\"". Returns 0, or 1 after a line "error CODE" when the file or
// its node store is refused or a walk meets damage.
int pm_dump_tree(const std::string& path, std::string& out);

// Opens a learner's records file (and, when piece is not empty, the piece it belongs to)
// through the record store and the engine's reader of record 1, and appends "field TAG size N"
// per field of record 1, "stamp ok|differs" (with a piece), "kernel icon NODE kind KIND state S
// depth D", "icon log size N index I wrapped W" and "task INDEX A B interval MS" per executor
// task. Returns 0, or 1 after a line "error CODE" when the records are refused or damaged.
int pm_dump_learner(const std::string& records, const std::string& piece, std::string& out);

// "var NAME VALUE" per stored user and custom variable of record 1's variable store (NAME@NODE
// for a value kept per icon, #ID without a name; texts in double quotes, symbols as #name):
// 0, or 5001 when the items record does not hold the count the state gives.
int pm_dump_variables(const std::vector<uint8_t>& record1, int piece_slot, std::string& out);
