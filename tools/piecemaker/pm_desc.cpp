#include "tools/piecemaker/pm_desc.h"

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <initializer_list>
#include <strings.h>
#include <fstream>
#include <iterator>
#include <sstream>

#include "platform/kernel/byte_io.h"
#include "runtime/store/fhdr.h"
#include "tools/piecemaker/pm_calc.h"
#include "tools/piecemaker/pm_icons.h"
#include "tools/piecemaker/pm_picture.h"
#include "tools/piecemaker/pm_text.h"

namespace {

struct Token {
    enum Kind { kWord, kNumber, kText } kind = kWord;
    std::string text; // a word or a text's bytes
    int64_t number = 0;
};

struct Parser {
    std::string folder;
    PieceDescription& piece;
    PieceRecord* record = nullptr; // the record block being read, if any
    int line = 0;
    std::string error;
    std::vector<size_t> open_icons; // icons whose '{' block is being read, innermost last
};

bool fail(Parser& p, const std::string& message)
{
    p.error = "line " + std::to_string(p.line) + ": " + message;
    return false;
}

int hex_value(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = char(std::tolower(uint8_t(c)));
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// A quoted text from at (just after the quote); escapes \n \r \t \0 \\ \" \xHH.
bool read_text(const std::string& line, size_t& at, std::string& out)
{
    while (at < line.size() && line[at] != '"') {
        char c = line[at++];
        if (c != '\\') {
            out += c;
            continue;
        }
        if (at >= line.size())
            return false;
        char e = line[at++];
        static const char kFrom[] = "nrt0\\\"";
        static const char kTo[] = "\n\r\t\0\\\"";
        if (const char* found = e ? std::strchr(kFrom, e) : nullptr) {
            out += kTo[found - kFrom];
        } else if (e == 'x' && at + 1 < line.size() && hex_value(line[at]) >= 0
            && hex_value(line[at + 1]) >= 0) {
            out += char(hex_value(line[at]) << 4 | hex_value(line[at + 1]));
            at += 2;
        } else {
            return false;
        }
    }
    if (at >= line.size())
        return false;
    at++;
    return true;
}

bool read_number(const std::string& word, int64_t& out)
{
    size_t at = 0;
    bool negative = !word.empty() && word[0] == '-';
    if (negative)
        at = 1;
    int base = word.compare(at, 2, "0x") == 0 ? 16 : 10;
    if (base == 16)
        at += 2;
    if (at >= word.size())
        return false;
    uint64_t value = 0;
    for (; at < word.size(); at++) {
        int digit = hex_value(word[at]);
        if (digit < 0 || digit >= base || value > (uint64_t(1) << 40))
            return false;
        value = value * uint64_t(base) + uint64_t(digit);
    }
    out = negative ? -int64_t(value) : int64_t(value);
    return true;
}

bool tokenize(Parser& p, const std::string& line, std::vector<Token>& out)
{
    for (size_t at = 0; at < line.size();) {
        char c = line[at];
        if (std::isspace(uint8_t(c))) {
            at++;
        } else if (c == '#') {
            break;
        } else if (c == '"') {
            Token token { Token::kText, {}, 0 };
            at++;
            if (!read_text(line, at, token.text))
                return fail(p, "unfinished text or bad escape");
            out.push_back(token);
        } else {
            size_t end = at;
            while (end < line.size() && !std::isspace(uint8_t(line[end])) && line[end] != '"'
                && line[end] != '#')
                end++;
            Token token { Token::kWord, line.substr(at, end - at), 0 };
            if (read_number(token.text, token.number))
                token.kind = Token::kNumber;
            out.push_back(token);
            at = end;
        }
    }
    return true;
}

using Tokens = std::vector<Token>;

bool want_count(Parser& p, const Tokens& t, size_t count)
{
    return t.size() == count
        ? true
        : fail(p, "'" + t[0].text + "' takes " + std::to_string(count - 1) + " argument(s)");
}

bool want_number(Parser& p, const Token& t, int64_t low, int64_t high, int64_t& out)
{
    if (t.kind != Token::kNumber || t.number < low || t.number > high)
        return fail(p,
            "expected a number from " + std::to_string(low) + " to " + std::to_string(high)
                + ", got '" + t.text + "'");
    out = t.number;
    return true;
}

std::string resolve(const Parser& p, const std::string& name)
{
    return name.empty() || name[0] == '/' || p.folder.empty() ? name : p.folder + "/" + name;
}

// --- contents of a record ----------------------------------------------------------------

// Hex digit pairs, blanks allowed, appended to out.
bool hex_bytes(Parser& p, const std::string& text, std::vector<uint8_t>& out)
{
    std::string digits;
    for (char c : text)
        if (!std::isspace(uint8_t(c)))
            digits += c;
    if (digits.size() % 2 != 0)
        return fail(p, "hex needs pairs of digits");
    for (size_t n = 0; n < digits.size(); n += 2) {
        int high = hex_value(digits[n]), low = hex_value(digits[n + 1]);
        if (high < 0 || low < 0)
            return fail(p, "bad hex digit in '" + text + "'");
        out.push_back(uint8_t(high << 4 | low));
    }
    return true;
}

bool content_hex(Parser& p, const Tokens& t, size_t at)
{
    for (; at < t.size(); at++)
        if (!hex_bytes(p, t[at].text, p.record->bytes))
            return false;
    return true;
}

bool content_text(Parser& p, const Tokens& t, size_t at, bool with_nul)
{
    for (; at < t.size(); at++) {
        if (t[at].kind != Token::kText)
            return fail(p, "expected a quoted text");
        p.record->bytes.insert(p.record->bytes.end(), t[at].text.begin(), t[at].text.end());
        if (with_nul)
            p.record->bytes.push_back(0);
    }
    return true;
}

bool content_text_plain(Parser& p, const Tokens& t, size_t at)
{
    return content_text(p, t, at, false);
}
bool content_text_nul(Parser& p, const Tokens& t, size_t at)
{
    return content_text(p, t, at, true);
}

// Little-endian numbers of width bytes; negative numbers in two's complement.
bool content_numbers(Parser& p, const Tokens& t, size_t at, int width)
{
    int64_t high = width == 4 ? 0xFFFFFFFFll : (int64_t(1) << (8 * width)) - 1;
    int64_t low = -(high / 2) - 1;
    for (; at < t.size(); at++) {
        int64_t value = 0;
        if (!want_number(p, t[at], low, high, value))
            return false;
        for (int n = 0; n < width; n++)
            p.record->bytes.push_back(uint8_t(uint64_t(value) >> (8 * n)));
    }
    return true;
}

bool content_u8(Parser& p, const Tokens& t, size_t at) { return content_numbers(p, t, at, 1); }
bool content_u16(Parser& p, const Tokens& t, size_t at) { return content_numbers(p, t, at, 2); }
bool content_u32(Parser& p, const Tokens& t, size_t at) { return content_numbers(p, t, at, 4); }

bool content_zeros(Parser& p, const Tokens& t, size_t at)
{
    int64_t count = 0;
    if (at + 1 != t.size() || !want_number(p, t[at], 0, 1 << 26, count))
        return fail(p, "zeros takes one count");
    p.record->bytes.resize(p.record->bytes.size() + size_t(count), 0);
    return true;
}

bool content_file(Parser& p, const Tokens& t, size_t at)
{
    if (at + 1 != t.size() || t[at].kind != Token::kText)
        return fail(p, "file takes one quoted name");
    std::vector<uint8_t> bytes;
    if (!pm_read_file(resolve(p, t[at].text), bytes))
        return fail(p, "cannot read '" + t[at].text + "'");
    p.record->bytes.insert(p.record->bytes.end(), bytes.begin(), bytes.end());
    return true;
}

// pic OP ARGS: one record of a picture stream (pm_picture.h).
bool content_picture(Parser& p, const Tokens& t, size_t at)
{
    if (at >= t.size() || t[at].kind != Token::kWord)
        return fail(p, "pic needs a picture statement");
    std::vector<PmPicArg> args;
    for (size_t i = at + 1; i < t.size(); i++)
        args.push_back(PmPicArg{t[i].kind != Token::kNumber, t[i].number, t[i].text});
    std::string error;
    return pm_picture_statement(t[at].text, args, p.folder, p.record->bytes, error) || fail(p, error);
}

using ContentFn = bool (*)(Parser&, const Tokens&, size_t first_argument);

struct Content {
    const char* name;
    ContentFn handler;
};

const Content kContents[] = {
    { "hex", content_hex }, // hex digit pairs, blanks allowed
    { "text", content_text_plain }, // a text's bytes
    { "textz", content_text_nul }, // a text's bytes and a NUL
    { "u8", content_u8 },
    { "u16", content_u16 }, // little-endian: records are described in native order
    { "u32", content_u32 }, { "zeros", content_zeros },
    { "file", content_file }, // a file's bytes, named relative to the description
    { "pic", content_picture }, // a record of a picture stream, the header kept counting
};

const Content* find_content(const std::string& name)
{
    for (const Content& c : kContents)
        if (name == c.name)
            return &c;
    return nullptr;
}

// --- statements --------------------------------------------------------------------------

bool word_choice(Parser& p, const Tokens& t, const char* first, const char* second, bool& is_second)
{
    if (t.size() != 2 || (t[1].text != first && t[1].text != second))
        return fail(p, "'" + t[0].text + "' takes " + first + " or " + second);
    is_second = t[1].text == second;
    return true;
}

bool statement_kind(Parser& p, const Tokens& t)
{
    if (!want_count(p, t, 2) || t[1].text.size() != 4)
        return p.error.empty() ? fail(p, "a kind is four characters") : false;
    const std::string& k = t[1].text;
    p.piece.magic = uint32_t(uint8_t(k[0])) | uint32_t(uint8_t(k[1])) << 8
        | uint32_t(uint8_t(k[2])) << 16 | uint32_t(uint8_t(k[3])) << 24;
    return true;
}

bool statement_format(Parser& p, const Tokens& t)
{
    int64_t value = 0;
    if (!want_count(p, t, 2) || !want_number(p, t[1], 0, 0xFFFFFFFFll, value))
        return false;
    p.piece.format = uint32_t(value);
    return true;
}

bool statement_kind_version(Parser& p, const Tokens& t)
{
    int64_t value = 0;
    if (!want_count(p, t, 2) || !want_number(p, t[1], INT32_MIN, INT32_MAX, value))
        return false;
    p.piece.kind_version = int32_t(value);
    p.piece.kind_version_given = true;
    return true;
}

bool statement_order(Parser& p, const Tokens& t)
{
    return word_choice(p, t, "little", "big", p.piece.foreign);
}

bool statement_directory(Parser& p, const Tokens& t)
{
    bool editable = false;
    if (!word_choice(p, t, "packaged", "editable", editable))
        return false;
    p.piece.packaged = editable ? 0 : 1;
    return true;
}

bool statement_padding(Parser& p, const Tokens& t)
{
    int64_t value = 0;
    if (!want_count(p, t, 2) || !want_number(p, t[1], 0, 4096, value))
        return false;
    p.piece.padding = uint32_t(value);
    return true;
}

bool statement_program(Parser& p, const Tokens& t)
{
    if (!want_count(p, t, 2) || t[1].kind != Token::kText)
        return p.error.empty() ? fail(p, "program takes one quoted name") : false;
    p.piece.program = resolve(p, t[1].text);
    return true;
}

// An optional "order little|big" at t[at]; at moves past it.
bool read_order(Parser& p, const Tokens& t, size_t& at, bool& foreign)
{
    if (at >= t.size() || t[at].text != "order")
        return true;
    if (at + 1 >= t.size() || (t[at + 1].text != "little" && t[at + 1].text != "big"))
        return fail(p, "order takes little or big");
    foreign = t[at + 1].text == "big";
    at += 2;
    return true;
}

// record NUMBER TYPE raw|zlib [order little|big] [CONTENT ...]: with content on the line the
// record is complete; otherwise content lines follow until 'end'.
bool statement_record(Parser& p, const Tokens& t)
{
    int64_t number = 0, type = 0;
    if (t.size() < 4 || !want_number(p, t[1], 1, 65535, number)
        || !want_number(p, t[2], -32768, 32767, type))
        return p.error.empty() ? fail(p, "record takes a number, a type and raw or zlib") : false;
    if (t[3].text != "raw" && t[3].text != "zlib")
        return fail(p, "storage is raw or zlib");
    for (const PieceRecord& r : p.piece.records)
        if (r.number == uint32_t(number))
            return fail(p, "record " + std::to_string(number) + " is given twice");
    PieceRecord record;
    record.number = uint32_t(number);
    record.type = int(type);
    record.scheme = t[3].text == "zlib" ? 2 : 1;
    record.foreign = p.piece.foreign;
    record.line = p.line;
    size_t at = 4;
    if (!read_order(p, t, at, record.foreign))
        return false;
    p.piece.records.push_back(record);
    p.record = &p.piece.records.back();
    if (at == t.size())
        return true;
    const Content* content = find_content(t[at].text);
    if (!content)
        return fail(p, "unknown content '" + t[at].text + "'");
    bool ok = content->handler(p, t, at + 1);
    p.record = nullptr;
    return ok;
}

// --- icons -------------------------------------------------------------------------------

// Contents from t[at] on, one after the other: a word naming a content starts the next one.
bool read_contents(Parser& p, const Tokens& t, size_t at, std::vector<uint8_t>& out)
{
    PieceRecord scratch;
    p.record = &scratch;
    bool ok = at < t.size() || fail(p, "'" + t[0].text + "' needs its content");
    while (ok && at < t.size()) {
        const Content* content = find_content(t[at].text);
        if (!content || t[at].kind != Token::kWord) {
            ok = fail(p, "unknown content '" + t[at].text + "'");
            break;
        }
        size_t end = at + 1;
        while (end < t.size() && !(t[end].kind == Token::kWord && find_content(t[end].text)))
            end++;
        Tokens part(t.begin(), t.begin() + ptrdiff_t(end));
        ok = content->handler(p, part, at + 1);
        at = end;
    }
    p.record = nullptr;
    out.insert(out.end(), scratch.bytes.begin(), scratch.bytes.end());
    return ok;
}

PieceIcon& current_icon(Parser& p) { return p.piece.nodes.icons[p.open_icons.back()]; }

// The words that may follow an icon's kind and title on its line.
bool icon_option(Parser& p, const Tokens& t, size_t& at, PieceIcon& icon)
{
    const std::string& word = t[at].text;
    int64_t value = 0;
    if (word == "pending" || word == "mapped") {
        (word == "pending" ? icon.pending : icon.mapped) = true;
        at++;
        return true;
    }
    if (at + 1 >= t.size())
        return fail(p, "unknown icon option '" + word + "'");
    if (word == "link-name") {
        if (t[at + 1].kind != Token::kText)
            return fail(p, "link-name takes a text");
        icon.link_name = t[at + 1].text;
        icon.has_link_name = true;
        at += 2;
        return true;
    }
    if (word == "link") {
        int64_t library = 0, node = 0;
        if (at + 2 >= t.size() || !want_number(p, t[at + 1], 1, 0xFFFF, library)
            || !want_number(p, t[at + 2], 1, 0xFFFF, node))
            return p.error.empty() ? fail(p, "link takes LIBRARY NODE [\"EXPECTED NAME\"]") : false;
        icon.link_library = uint32_t(library);
        icon.link_node = uint32_t(node);
        at += 3;
        if (at < t.size() && t[at].kind == Token::kText)
            icon.link_expected = t[at++].text;
        return true;
    }
    if (word == "node" && want_number(p, t[at + 1], 1, 32767, value))
        icon.node = uint32_t(value);
    else if (word == "class" && want_number(p, t[at + 1], 0, 15, value))
        icon.layout_class = int(value);
    else if (word == "list" && want_number(p, t[at + 1], 2, 4, value))
        icon.list = int(value);
    else
        return p.error.empty() ? fail(p, "unknown icon option '" + word + "'") : false;
    at += 2;
    return true;
}

// icon KIND ["TITLE"] [node N] [class C] [list L] [pending] [mapped] [link LIBRARY NODE
// ["EXPECTED NAME"]] [link-name "NAME"] [{]
bool statement_icon(Parser& p, const Tokens& t)
{
    PieceIcon icon;
    icon.line = p.line;
    icon.kind = t.size() > 1 ? pm_kind_number(t[1].text) : 0;
    if (icon.kind == 0)
        return fail(p, "icon takes a kind: display, motion, erase, interaction, decision, map, "
                       "wait, calc, movie, sound, video, framework, navigate, sprite, guidepack");
    size_t at = 2;
    if (at < t.size() && t[at].kind == Token::kText) {
        icon.title = t[at++].text;
        icon.titled = true;
    }
    bool block = !t.empty() && t.back().text == "{" && t.back().kind == Token::kWord;
    size_t end = block ? t.size() - 1 : t.size();
    while (at < end)
        if (!icon_option(p, t, at, icon))
            return false;
    icon.parent = p.open_icons.empty() ? -1 : int(p.open_icons.back());
    if (icon.list != 2 && (icon.parent < 0 || current_icon(p).kind != kPieceFramework))
        return fail(p, "only a framework's children go in lists 3 and 4");
    p.piece.nodes.icons.push_back(std::move(icon));
    if (block)
        p.open_icons.push_back(p.piece.nodes.icons.size() - 1);
    return true;
}

bool statement_close(Parser& p, const Tokens& t)
{
    if (t.size() != 1 || p.open_icons.empty())
        return fail(p, "'}' closes an icon's block and stands alone");
    p.open_icons.pop_back();
    return true;
}

// attr DESCRIPTOR VALUE: the attribute as the runtime reads it (kinds 0 to 4).
bool statement_attr(Parser& p, const Tokens& t)
{
    int64_t descriptor = 0, value = 0;
    if (!want_count(p, t, 3) || !want_number(p, t[1], 0, 0x4FFFFFF, descriptor)
        || !want_number(p, t[2], INT32_MIN, 0xFFFFFFFFll, value))
        return false;
    current_icon(p).attrs.push_back({ uint32_t(descriptor), uint32_t(value) });
    return true;
}

// prop TAG CONTENT...: a property of the icon.
bool statement_prop(Parser& p, const Tokens& t)
{
    int64_t tag = 0;
    if (t.size() < 2 || !want_number(p, t[1], 1, 65535, tag))
        return p.error.empty() ? fail(p, "prop takes a tag and its content") : false;
    for (const PieceIcon::Prop& prop : current_icon(p).props)
        if (prop.tag == tag)
            return fail(p, "property " + std::to_string(tag) + " is given twice");
    PieceIcon::Prop prop { uint16_t(tag), {} };
    if (!read_contents(p, t, 2, prop.data))
        return false;
    if (prop.data.empty() || prop.data.size() > 65498)
        return fail(p, "a property holds 1 to 65498 bytes");
    current_icon(p).props.push_back(std::move(prop));
    return true;
}

// chunks RECORD...: property 35, the icon's chunk list {count, 0, owner 0, records}.
bool statement_chunks(Parser& p, const Tokens& t)
{
    PieceIcon::Prop prop { 35, {} };
    plat::ByteWriter w(prop.data);
    w.u16le(uint16_t(t.size()));
    w.u16le(0);
    w.u32le(0);
    for (size_t at = 1; at < t.size(); at++) {
        int64_t number = 0;
        if (!want_number(p, t[at], 0, 0xFFFFFFFFll, number))
            return false;
        w.u32le(uint32_t(number));
    }
    current_icon(p).props.push_back(std::move(prop));
    return true;
}

// bytes layout|kind OFFSET CONTENT...: bytes of the layout or kind block.
bool statement_bytes(Parser& p, const Tokens& t)
{
    int64_t offset = 0;
    if (t.size() < 3 || (t[1].text != "layout" && t[1].text != "kind")
        || !want_number(p, t[2], 0, 255, offset))
        return p.error.empty() ? fail(p, "bytes takes layout or kind, an offset and content") : false;
    PieceIcon::Bytes bytes { t[1].text == "kind", uint32_t(offset), {} };
    if (!read_contents(p, t, 3, bytes.bytes))
        return false;
    current_icon(p).bytes.push_back(std::move(bytes));
    return true;
}

// links PARENT NEXT CHILD: stored links in place of the tree's, for damaged files.
bool statement_links(Parser& p, const Tokens& t)
{
    int64_t value[3] = {};
    if (!want_count(p, t, 4))
        return false;
    for (int n = 0; n < 3; n++)
        if (!want_number(p, t[size_t(n) + 1], 0, 65535, value[n]))
            return false;
    for (int n = 0; n < 3; n++)
        current_icon(p).links[n] = int32_t(value[n]);
    return true;
}

bool statement_kind_block(Parser& p, const Tokens& t)
{
    int64_t size = 0;
    if (!want_count(p, t, 2) || !want_number(p, t[1], 0, 4096, size))
        return false;
    current_icon(p).kind_block_size = uint32_t(size);
    return true;
}

bool statement_node_count(Parser& p, const Tokens& t)
{
    int64_t count = 0;
    if (!want_count(p, t, 2) || !want_number(p, t[1], 0, 65535, count))
        return false;
    p.piece.nodes.node_count = uint32_t(count);
    return true;
}

bool statement_title_hash(Parser& p, const Tokens& t)
{
    bool on = false;
    if (!word_choice(p, t, "off", "on", on))
        return false;
    p.piece.nodes.title_hash = on;
    return true;
}

// library "PATH" | library internal: the next library of the file's list.
bool statement_library(Parser& p, const Tokens& t)
{
    if (!want_count(p, t, 2))
        return false;
    PieceLibrary library;
    if (t[1].kind == Token::kText)
        library.path = t[1].text;
    else if (t[1].text == "internal")
        library.internal = true;
    else
        return fail(p, "library takes a file name in quotes or 'internal'");
    p.piece.nodes.libraries.push_back(library);
    return true;
}

bool statement_node_storage(Parser& p, const Tokens& t)
{
    bool zlib = false;
    if (!word_choice(p, t, "raw", "zlib", zlib))
        return false;
    p.piece.nodes.storage = zlib ? 2 : 1;
    return true;
}

// dir WORD VALUE: a node directory word, set after the ones the icons fill.
bool statement_dir(Parser& p, const Tokens& t)
{
    int64_t word = 0, value = 0;
    if (!want_count(p, t, 3) || !want_number(p, t[1], 0, 605, word)
        || !want_number(p, t[2], 0, 65535, value))
        return false;
    p.piece.nodes.words.push_back({ uint32_t(word), uint16_t(value) });
    return true;
}

bool statement_dir_bytes(Parser& p, const Tokens& t)
{
    int64_t bytes = 0;
    if (!want_count(p, t, 2) || !want_number(p, t[1], 0, 1212, bytes))
        return false;
    p.piece.nodes.directory_bytes = uint32_t(bytes);
    return true;
}

// --- text styles and the font map ----------------------------------------------------------

// NUMBER raw|zlib [order little|big] from t[1]: the record's number and storage.
bool record_head(Parser& p, const Tokens& t, uint32_t& number, uint16_t& scheme, bool& foreign, size_t& at)
{
    int64_t value = 0;
    if (t.size() < 3 || !want_number(p, t[1], 1, 65535, value))
        return p.error.empty() ? fail(p, "'" + t[0].text + "' takes a record number and raw or zlib") : false;
    if (t[2].text != "raw" && t[2].text != "zlib")
        return fail(p, "storage is raw or zlib");
    number = uint32_t(value);
    scheme = t[2].text == "zlib" ? 2 : 1;
    foreign = p.piece.foreign;
    at = 3;
    return read_order(p, t, at, foreign);
}

// styles NUMBER raw|zlib [order O] [names long|short] [flags F] [default D]
bool statement_styles(Parser& p, const Tokens& t)
{
    PieceStyles& s = p.piece.styles;
    size_t at = 0;
    if (!record_head(p, t, s.record, s.scheme, s.foreign, at))
        return false;
    s.line = p.line;
    for (; at < t.size(); at += 2) {
        int64_t value = 0;
        if (at + 1 >= t.size())
            return fail(p, "unknown styles option '" + t[at].text + "'");
        if (t[at].text == "names") {
            bool is_short = false;
            if (!word_choice(p, Tokens {t[at], t[at + 1]}, "long", "short", is_short))
                return false;
            s.long_names = !is_short;
        } else if (t[at].text == "flags" && want_number(p, t[at + 1], -32768, 32767, value)) {
            s.flags = int16_t(value);
        } else if (t[at].text == "default" && want_number(p, t[at + 1], -32768, 32767, value)) {
            s.default_style = int16_t(value);
        } else {
            return p.error.empty() ? fail(p, "unknown styles option '" + t[at].text + "'") : false;
        }
    }
    return true;
}

// style-name "PLATFORM 2 NAME" "PLATFORM 1 NAME" [flags F]
bool statement_style_name(Parser& p, const Tokens& t)
{
    int64_t flags = 0;
    if ((t.size() != 3 && t.size() != 5) || t[1].kind != Token::kText || t[2].kind != Token::kText)
        return fail(p, "style-name takes two names and optionally flags F");
    if (t.size() == 5 && (t[3].text != "flags" || !want_number(p, t[4], 0, 65535, flags)))
        return p.error.empty() ? fail(p, "style-name takes flags F") : false;
    p.piece.styles.names.push_back({t[1].text, t[2].text, uint16_t(flags)});
    return true;
}

// style-font NAME-REFERENCE POINTS [style S] [flags F]
bool statement_style_font(Parser& p, const Tokens& t)
{
    int64_t reference = 0, points = 0, value = 0;
    if (t.size() < 3 || !want_number(p, t[1], -32768, 32767, reference) || !want_number(p, t[2], -32768, 32767, points))
        return p.error.empty() ? fail(p, "style-font takes a name reference and a point size") : false;
    PieceStyles::Font font;
    font.name_reference = int16_t(reference);
    font.points = int16_t(points);
    for (size_t at = 3; at < t.size(); at += 2) {
        if (at + 1 >= t.size() || !want_number(p, t[at + 1], -32768, 65535, value))
            return p.error.empty() ? fail(p, "style-font options take a value") : false;
        if (t[at].text == "style")
            font.style = int16_t(value);
        else if (t[at].text == "flags")
            font.flags = uint16_t(value);
        else
            return fail(p, "unknown style-font option '" + t[at].text + "'");
    }
    p.piece.styles.fonts.push_back(font);
    return true;
}

// style NUMBER [FIELD VALUE]... [tabs T...]
bool statement_style(Parser& p, const Tokens& t)
{
    int64_t number = 0, value = 0;
    if (t.size() < 2 || !want_number(p, t[1], -32768, 32767, number))
        return p.error.empty() ? fail(p, "style takes a number") : false;
    PieceStyles::Style style;
    style.number = int16_t(number);
    for (size_t at = 2; at < t.size();) {
        if (t[at].text == "tabs") {
            for (at++; at < t.size(); at++) {
                if (!want_number(p, t[at], -32768, 32767, value))
                    return false;
                style.tabs.push_back(int16_t(value));
            }
            break;
        }
        if (!pm_text_style_field_known(t[at].text))
            return fail(p, "unknown style field '" + t[at].text + "'");
        if (at + 1 >= t.size() || !want_number(p, t[at + 1], -2147483648LL, 4294967295LL, value))
            return p.error.empty() ? fail(p, "style field '" + t[at].text + "' takes a value") : false;
        style.fields.emplace_back(t[at].text, value);
        at += 2;
    }
    p.piece.styles.styles.push_back(std::move(style));
    return true;
}

// font-map NUMBER raw|zlib [order O]
bool statement_font_map(Parser& p, const Tokens& t)
{
    PieceFontMap& m = p.piece.font_map;
    size_t at = 0;
    if (!record_head(p, t, m.record, m.scheme, m.foreign, at))
        return false;
    m.line = p.line;
    return at == t.size() || fail(p, "font-map takes a record number, raw or zlib and an order");
}

// font-map-line "TEXT": one line of FONTMAP.TXT
bool statement_font_map_line(Parser& p, const Tokens& t)
{
    if (t.size() != 2 || t[1].kind != Token::kText)
        return fail(p, "font-map-line takes a text");
    p.piece.font_map.text += t[1].text + "\n";
    return true;
}

// font-map-field TAG CONTENT...
bool statement_font_map_field(Parser& p, const Tokens& t)
{
    int64_t tag = 0;
    if (t.size() < 3 || !want_number(p, t[1], 1, 65535, tag))
        return p.error.empty() ? fail(p, "font-map-field takes a tag and content") : false;
    PieceFontMap::Field field {uint16_t(tag), {}};
    if (!read_contents(p, t, 2, field.data))
        return false;
    p.piece.font_map.fields.push_back(std::move(field));
    return true;
}

// var NAME VALUE: a user variable, numbered in order. VALUE is a number, a text, or
// expr "TEXT" / symbol "TEXT".
bool statement_var(Parser& p, const Tokens& t)
{
    if ((t.size() != 3 && t.size() != 4) || t[1].kind == Token::kNumber)
        return fail(p, "var takes a name and a value");
    for (const PieceVariable& v : p.piece.variables)
        if (strcasecmp(v.name.c_str(), t[1].text.c_str()) == 0 && v.name != "%")
            return fail(p, "variable '" + t[1].text + "' is given twice");
    PieceVariable v { t[1].text, t.back().text };
    if (t.size() == 4) {
        if (t[3].kind != Token::kText || (t[2].text != "expr" && t[2].text != "symbol"))
            return fail(p, "var NAME expr|symbol \"TEXT\"");
        v.type = t[2].text == "expr" ? 19 : 20;
    } else if (t[2].kind == Token::kNumber) {
        if (t[2].number < INT32_MIN || t[2].number > INT32_MAX)
            return fail(p, "a variable's number is 32-bit");
        v.number = t[2].number;
    } else if (t[2].kind == Token::kText) {
        v.type = 0;
    } else {
        char* end = nullptr;
        v.real = std::strtod(t[2].text.c_str(), &end);
        if (end == t[2].text.c_str() || *end)
            return fail(p, "a variable's value is a number, a text, expr or symbol");
        v.type = 2;
    }
    p.piece.variables.push_back(std::move(v));
    return true;
}

// cursor NUMBER HOTX HOTY WIDTH HEIGHT "AND" "XOR": a custom cursor of the cursor list record,
// its masks as hex (written as given, so that damaged items can be made too).
bool statement_cursor(Parser& p, const Tokens& t)
{
    if (!want_count(p, t, 8))
        return false;
    int64_t fields[5];
    for (size_t i = 0; i < 5; i++)
        if (!want_number(p, t[i + 1], i == 0 ? 1 : -32768, i == 0 ? 65535 : 32767, fields[i]))
            return false;
    PieceCursor c { uint16_t(fields[0]), { int16_t(fields[1]), int16_t(fields[2]), int16_t(fields[3]), int16_t(fields[4]) }, {} };
    if (!hex_bytes(p, t[6].text, c.masks) || !hex_bytes(p, t[7].text, c.masks))
        return false;
    p.piece.cursors.push_back(std::move(c));
    return true;
}

bool statement_name_dict(Parser& p, const Tokens& t)
{
    if (!want_count(p, t, 1))
        return false;
    p.piece.name_dictionary = true;
    return true;
}

// Compiles TEXT into the current icon's property tag; "nokept" leaves the source out.
bool add_calculation(Parser& p, const Tokens& t, size_t text_at, uint16_t tag, PmCalcKind kind)
{
    bool keep = true;
    if (t.size() == text_at + 2 && t[text_at + 1].text == "nokept")
        keep = false;
    else if (t.size() != text_at + 1)
        return fail(p, "'" + t[0].text + "' takes a text and optionally nokept");
    if (t[text_at].kind != Token::kText)
        return fail(p, "'" + t[0].text + "' takes the calculation as a text");
    for (const PieceIcon::Prop& prop : current_icon(p).props)
        if (prop.tag == tag)
            return fail(p, "property " + std::to_string(tag) + " is given twice");
    PieceIcon::Prop prop { tag, {} };
    std::string error;
    if (!pm_compile(p.piece, t[text_at].text, kind, keep, prop.data, error))
        return fail(p, error);
    if (prop.data.size() > 65498)
        return fail(p, "a property holds 1 to 65498 bytes");
    current_icon(p).props.push_back(std::move(prop));
    return true;
}

// calc "TEXT" [nokept]: a Calc icon's statements in property 1001, computed attribute 1 set
bool statement_calc(Parser& p, const Tokens& t)
{
    if (!add_calculation(p, t, 1, 1001, PmCalcKind::statements))
        return false;
    current_icon(p).attrs.push_back({ 1, 1 });
    return true;
}

// code TAG "TEXT" [nokept]: one expression in property TAG
bool statement_code(Parser& p, const Tokens& t)
{
    int64_t tag = 0;
    if (t.size() < 3 || !want_number(p, t[1], 1, 65535, tag))
        return p.error.empty() ? fail(p, "code takes a tag and a text") : false;
    return add_calculation(p, t, 2, uint16_t(tag), PmCalcKind::expression);
}

// A dependency's value: a number, or the name of a variable the description declares.
bool dependency_value(Parser& p, const Token& t, int64_t& out)
{
    if (t.kind == Token::kNumber) {
        out = t.number;
        return out >= INT32_MIN && out <= UINT32_MAX ? true : fail(p, "a value takes 32 bits");
    }
    out = pm_variable_number(p.piece, t.text.c_str());
    return out ? true : fail(p, "variable '" + t.text + "' is not declared");
}

// deps TAG [period MS] EVENT VALUE [context N]...: the dependency list of property TAG, stored
// as property TAG + 2000 {u32 0, u32 period, u32 event mask, then u16 event, i32 value, i32
// context per dependency}.
bool statement_deps(Parser& p, const Tokens& t)
{
    int64_t tag = 0, period = 0;
    if (t.size() < 2 || !want_number(p, t[1], 1000, 2999, tag))
        return p.error.empty() ? fail(p, "deps takes a property from 1000 to 2999") : false;
    size_t at = 2;
    if (at + 1 < t.size() && t[at].text == "period" && !want_number(p, t[at + 1], 0, UINT32_MAX, period))
        return false;
    if (at < t.size() && t[at].text == "period")
        at += 2;
    std::vector<uint8_t> list;
    plat::ByteWriter w(list);
    uint32_t mask = 0;
    std::vector<uint8_t> deps;
    plat::ByteWriter d(deps);
    while (at < t.size()) {
        int64_t event = 0, value = 0, context = 0;
        if (at + 1 >= t.size() || !want_number(p, t[at], 0, 65535, event) || !dependency_value(p, t[at + 1], value))
            return p.error.empty() ? fail(p, "a dependency is EVENT VALUE [context N]") : false;
        at += 2;
        if (at + 1 < t.size() && t[at].text == "context") {
            if (!want_number(p, t[at + 1], INT32_MIN, UINT32_MAX, context))
                return false;
            at += 2;
        }
        if (event < 32)
            mask |= 1u << event;
        d.u16le(uint16_t(event));
        d.u32le(uint32_t(value));
        d.u32le(uint32_t(context));
    }
    w.u32le(0);
    w.u32le(uint32_t(period));
    w.u32le(mask);
    list.insert(list.end(), deps.begin(), deps.end());
    uint16_t stored = uint16_t(tag + 2000);
    for (const PieceIcon::Prop& prop : current_icon(p).props)
        if (prop.tag == stored)
            return fail(p, "the dependencies of " + std::to_string(tag) + " are given twice");
    current_icon(p).props.push_back({ stored, std::move(list) });
    return true;
}

// --- icon options by name ------------------------------------------------------------------
// Each writes the attributes and properties the runtime reads for the option, so that a
// description says "layer 3" rather than the property's bytes.

// Attribute descriptors and properties these statements write.
enum : uint32_t {
    kOptPositioning = 5, // computed: the field of the icon's kind
    kOptNoAutoErase = 9,
    kOptDirectToScreen = 10,
    kOptContentRecord = 0x4040002,
    kOptErasePrevious = 0x2030001,
    kOptWaitButton = 0x2000520,
    kOptWaitKey = 0x2000640,
    kOptWaitClick = 0x2000780,
    kOptWaitCountdown = 0x2000410,
    kOptEraseMode = 0x20105E0,
    kOptPresetSize = 0x20004F0,
    kOptTitleBar = 0x2000102,
    kOptMenuBar = 0x2000204,
    kOptCentre = 0x2080780,
};
enum : uint16_t {
    kPropPoint = 5,
    kPropEraseList = 11,
    kPropReference = 12,
    kPropCorners = 16,
    kPropTitle = 20,
    kPropWaitTime = 1007,
    kPropPositionX = 1025, // then y, x and y at the range's start, x and y at its end
    kPropLayer = 1044,
};

bool add_property(Parser& p, PieceIcon::Prop prop)
{
    for (const PieceIcon::Prop& have : current_icon(p).props)
        if (have.tag == prop.tag)
            return fail(p, "property " + std::to_string(prop.tag) + " is given twice");
    current_icon(p).props.push_back(std::move(prop));
    return true;
}

// The statement is refused outside the icon kinds given (0-terminated).
bool want_kind(Parser& p, const Tokens& t, std::initializer_list<int> kinds)
{
    int kind = current_icon(p).kind;
    for (int k : kinds)
        if (k == kind)
            return true;
    return fail(p, "'" + t[0].text + "' is not an option of a " + pm_kind_name(kind) + " icon");
}

// An expression given as a text, or a number standing for itself.
bool add_expression(Parser& p, const Token& value, uint16_t tag)
{
    char* end = nullptr;
    if (value.kind == Token::kWord
        && (std::strtod(value.text.c_str(), &end), end == value.text.c_str() || *end))
        return fail(p, "'" + value.text + "' is neither a number nor a quoted expression");
    Tokens t { { Token::kWord, "code", 0 }, { Token::kText, value.text, 0 } };
    return add_calculation(p, t, 1, tag, PmCalcKind::expression);
}

// i16 values from t[at] on, count of them, into bytes.
bool small_numbers(Parser& p, const Tokens& t, size_t at, size_t count, std::vector<uint8_t>& out)
{
    plat::ByteWriter w(out);
    for (size_t n = 0; n < count; n++) {
        int64_t value = 0;
        if (at + n >= t.size() || !want_number(p, t[at + n], -32768, 32767, value))
            return p.error.empty() ? fail(p, "'" + t[0].text + "' takes " + std::to_string(count)
                           + " numbers") : false;
        w.u16le(uint16_t(value));
    }
    return true;
}

// An icon by title (resolved once the tree is numbered) or by node number, as a u16 at the
// property's end.
bool icon_reference(Parser& p, const Token& t, PieceIcon::Prop& prop)
{
    int64_t node = 0;
    if (t.kind == Token::kText)
        prop.titles.emplace_back(uint32_t(prop.data.size()), t.text);
    else if (!want_number(p, t, 1, 32767, node))
        return false;
    plat::ByteWriter(prop.data).u16le(uint16_t(node));
    return true;
}

// content RECORD: the record holding the icon's picture
bool statement_content(Parser& p, const Tokens& t)
{
    int64_t record = 0;
    if (!want_kind(p, t, { 1, 4, 14 }) || !want_count(p, t, 2) || !want_number(p, t[1], 1, 65535, record))
        return false;
    current_icon(p).attrs.push_back({ kOptContentRecord, uint32_t(record) });
    return true;
}

// positioning N: the position rule (0 by expressions or another icon, 1 at a point, 2 on a
// path, 3 on a line, 4 in an area)
bool statement_positioning(Parser& p, const Tokens& t)
{
    int64_t rule = 0;
    if (!want_kind(p, t, { 1, 2, 4, 9, 14 }) || !want_count(p, t, 2) || !want_number(p, t[1], 0, 15, rule))
        return false;
    current_icon(p).attrs.push_back({ kOptPositioning, uint32_t(rule) });
    return true;
}

// point X Y: property 5
bool statement_point(Parser& p, const Tokens& t)
{
    PieceIcon::Prop prop { kPropPoint, {} };
    return want_count(p, t, 3) && small_numbers(p, t, 1, 2, prop.data) && add_property(p, std::move(prop));
}

// corners X0 Y0 X1 Y1: property 16, the line or area of positionings 3 and 4
bool statement_corners(Parser& p, const Tokens& t)
{
    PieceIcon::Prop prop { kPropCorners, {} };
    return want_count(p, t, 5) && small_numbers(p, t, 1, 4, prop.data) && add_property(p, std::move(prop));
}

// reference ICON KIND X Y: property 12, the place relative to another icon's object
bool statement_reference(Parser& p, const Tokens& t)
{
    PieceIcon::Prop prop { kPropReference, {} };
    if (!want_count(p, t, 5) || !icon_reference(p, t[1], prop))
        return false;
    int64_t kind = 0;
    if (!want_number(p, t[2], 0, 65535, kind))
        return false;
    plat::ByteWriter(prop.data).u16le(uint16_t(kind));
    return small_numbers(p, t, 3, 2, prop.data) && add_property(p, std::move(prop));
}

// position x|y|x-start|y-start|x-end|y-end EXPRESSION: properties 1025 to 1030
bool statement_position(Parser& p, const Tokens& t)
{
    static const char* const kWhich[] = { "x", "y", "x-start", "y-start", "x-end", "y-end" };
    if (!want_count(p, t, 3))
        return false;
    for (uint16_t n = 0; n < 6; n++)
        if (t[1].text == kWhich[n] && t[1].kind == Token::kWord)
            return add_expression(p, t[2], uint16_t(kPropPositionX + n));
    return fail(p, "position takes x, y, x-start, y-start, x-end or y-end");
}

// layer EXPRESSION: property 1044
bool statement_layer(Parser& p, const Tokens& t)
{
    return want_count(p, t, 2) && add_expression(p, t[1], kPropLayer);
}

// A flag statement standing alone: the attribute set to 1.
bool flag(Parser& p, const Tokens& t, std::initializer_list<int> kinds, uint32_t descriptor)
{
    if (!want_kind(p, t, kinds) || !want_count(p, t, 1))
        return false;
    current_icon(p).attrs.push_back({ descriptor, 1 });
    return true;
}
bool statement_erase_previous(Parser& p, const Tokens& t) { return flag(p, t, { 1 }, kOptErasePrevious); }
bool statement_direct(Parser& p, const Tokens& t) { return flag(p, t, { 1, 4, 9, 14 }, kOptDirectToScreen); }
bool statement_no_auto_erase(Parser& p, const Tokens& t) { return flag(p, t, { 1, 4, 9, 14 }, kOptNoAutoErase); }

// wait [time SECONDS|EXPRESSION] [key] [click] [button] [countdown]
bool statement_wait(Parser& p, const Tokens& t)
{
    static const std::pair<const char*, uint32_t> kWords[] = {
        { "key", kOptWaitKey }, { "click", kOptWaitClick }, { "button", kOptWaitButton },
        { "countdown", kOptWaitCountdown },
    };
    if (!want_kind(p, t, { 7 }))
        return false;
    for (size_t at = 1; at < t.size(); at++) {
        if (t[at].text == "time" && t[at].kind == Token::kWord) {
            if (at + 1 >= t.size() || !add_expression(p, t[++at], kPropWaitTime))
                return p.error.empty() ? fail(p, "time takes seconds") : false;
            continue;
        }
        auto found = std::find_if(std::begin(kWords), std::end(kWords),
            [&](const auto& w) { return t[at].text == w.first; });
        if (found == std::end(kWords) || t[at].kind != Token::kWord)
            return fail(p, "unknown wait option '" + t[at].text + "'");
        current_icon(p).attrs.push_back({ found->second, 1 });
    }
    return true;
}

// erase listed|all-but|everything [ICON [kind K]]...: the mode and property 11's pairs
// {node, display-object kind}
bool statement_erase(Parser& p, const Tokens& t)
{
    static const char* const kModes[] = { "listed", "all-but", "everything" };
    if (!want_kind(p, t, { 3 }))
        return false;
    auto mode = t.size() < 2 ? std::end(kModes)
                             : std::find(std::begin(kModes), std::end(kModes), t[1].text);
    if (mode == std::end(kModes))
        return fail(p, "erase takes listed, all-but or everything, then the icons");
    current_icon(p).attrs.push_back({ kOptEraseMode, uint32_t(mode - std::begin(kModes)) });
    PieceIcon::Prop prop { kPropEraseList, {} };
    for (size_t at = 2; at < t.size();) {
        int64_t kind = 0;
        if (!icon_reference(p, t[at++], prop))
            return false;
        if (at + 1 < t.size() && t[at].text == "kind" && t[at].kind == Token::kWord) {
            if (!want_number(p, t[at + 1], 0, 65535, kind))
                return false;
            at += 2;
        }
        plat::ByteWriter(prop.data).u16le(uint16_t(kind));
    }
    return prop.data.empty() || add_property(p, std::move(prop));
}

// window [preset N] [title-bar] [menu-bar] [centre] [title "TEXT"]: the top icon's window
bool statement_window(Parser& p, const Tokens& t)
{
    static const std::pair<const char*, uint32_t> kFlags[] = {
        { "title-bar", kOptTitleBar }, { "menu-bar", kOptMenuBar }, { "centre", kOptCentre },
    };
    if (current_icon(p).parent >= 0)
        return fail(p, "window is an option of the top icon");
    for (size_t at = 1; at < t.size(); at++) {
        const std::string& word = t[at].text;
        int64_t preset = 0;
        auto found = std::find_if(std::begin(kFlags), std::end(kFlags),
            [&](const auto& f) { return word == f.first; });
        if (found != std::end(kFlags) && t[at].kind == Token::kWord) {
            current_icon(p).attrs.push_back({ found->second, 1 });
        } else if (word == "preset" && at + 1 < t.size()) {
            if (!want_number(p, t[++at], 0, 15, preset))
                return false;
            current_icon(p).attrs.push_back({ kOptPresetSize, uint32_t(preset) });
        } else if (word == "title" && at + 1 < t.size() && t[at + 1].kind == Token::kText) {
            PieceIcon::Prop prop { kPropTitle, {} };
            prop.data.assign(t[at + 1].text.begin(), t[at + 1].text.end());
            prop.data.push_back(0);
            if (!add_property(p, std::move(prop)))
                return false;
            at++;
        } else {
            return fail(p, "unknown window option '" + word + "'");
        }
    }
    return true;
}

using StatementFn = bool (*)(Parser&, const Tokens&);

struct Statement {
    const char* name;
    StatementFn handler;
};

const Statement kStatements[] = {
    { "kind", statement_kind }, // PCRS, PLIB, WSTU, VCRS, VLIB, VMOD, VCLP, or any four characters
    { "format", statement_format }, // the format number (22)
    { "kind-version",
        statement_kind_version }, // the kind header's layout version (-8; -6 for WSTU)
    { "order", statement_order }, // little (native) or big (the other byte order)
    { "directory", statement_directory }, // packaged or editable
    { "padding", statement_padding }, // zero directory entries after the last one
    { "program", statement_program }, // append the piece to this program file
    { "record", statement_record },
    { "icon", statement_icon }, // a top icon, with its block of children and options
    { "node-count", statement_node_count }, // the node directory's word 0
    { "title-hash", statement_title_hash }, // on (default) or off
    { "node-storage", statement_node_storage }, // raw or zlib for every node record
    { "dir", statement_dir }, // a node directory word by hand
    { "dir-bytes", statement_dir_bytes }, // a shorter stored node directory
    { "library", statement_library }, // a library the icons link to: "PATH" or internal
    { "styles", statement_styles }, // the text-style record (type 25, directory word 25)
    { "style-name", statement_style_name }, // an entry of its names block
    { "style-font", statement_style_font }, // an entry of its fonts block
    { "style", statement_style }, // a stored style
    { "font-map", statement_font_map }, // the font-map record (type 40, directory word 37)
    { "font-map-line", statement_font_map_line }, // a FONTMAP.TXT line it holds
    { "font-map-field", statement_font_map_field }, // a field by hand
    { "var", statement_var }, // a user variable: its name and initial value
    { "name-dict", statement_name_dict }, // the stored name dictionary of the variables
    { "cursor", statement_cursor }, // a custom cursor (the cursor list, directory word 24)
};

// Inside an icon's block.
const Statement kIconStatements[] = {
    { "icon", statement_icon }, // a child
    { "}", statement_close },
    { "attr", statement_attr }, // an attribute by descriptor
    { "prop", statement_prop }, // a property: tag and content
    { "chunks", statement_chunks }, // property 35 from record numbers
    { "bytes", statement_bytes }, // raw bytes of the layout or kind block
    { "kind-block", statement_kind_block }, // the kind block's least size
    { "links", statement_links }, // stored links by hand
    { "calc", statement_calc }, // a Calc icon's statements, compiled
    { "code", statement_code }, // one expression, compiled into a property
    { "deps", statement_deps }, // the events a property's value depends on
    { "content", statement_content }, // the record of the icon's picture
    { "positioning", statement_positioning }, // the position rule
    { "point", statement_point }, // property 5: where the picture's top-left goes
    { "reference", statement_reference }, // property 12: placed by another icon's object
    { "corners", statement_corners }, // property 16: the line or area
    { "position", statement_position }, // properties 1025-1030: the position's expressions
    { "layer", statement_layer }, // property 1044: the layer's expression
    { "erase-previous", statement_erase_previous }, // erase what lies on the layer and above
    { "direct-to-screen", statement_direct }, // the object lives on the screen plane
    { "no-auto-erase", statement_no_auto_erase }, // containers leave the object alone
    { "wait", statement_wait }, // a Wait icon's time limit and what ends it early
    { "erase", statement_erase }, // an Erase icon's mode and list
    { "window", statement_window }, // the top icon's window: size preset, bars, title
};

bool parse_line(Parser& p, const Tokens& t)
{
    if (p.record) {
        if (t[0].text == "end")
            return t.size() == 1 ? (p.record = nullptr, true) : fail(p, "'end' stands alone");
        const Content* content = find_content(t[0].text);
        return content ? content->handler(p, t, 1) : fail(p, "unknown content '" + t[0].text + "'");
    }
    if (!p.open_icons.empty()) {
        for (const Statement& s : kIconStatements)
            if (t[0].text == s.name)
                return s.handler(p, t);
        return fail(p, "unknown icon statement '" + t[0].text + "'");
    }
    for (const Statement& s : kStatements)
        if (t[0].text == s.name)
            return s.handler(p, t);
    return fail(p, "unknown statement '" + t[0].text + "'");
}

} // namespace

bool pm_parse(
    const std::string& text, const std::string& folder, PieceDescription& out, std::string& error)
{
    out = PieceDescription {};
    out.magic = kKindPiece;
    Parser p { folder, out, nullptr, 0, {}, {} };
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        p.line++;
        Tokens tokens;
        if (!tokenize(p, line, tokens) || (!tokens.empty() && !parse_line(p, tokens))) {
            error = p.error;
            return false;
        }
    }
    if (p.record) {
        error = "record " + std::to_string(p.record->number) + " has no 'end'";
        return false;
    }
    if (!p.open_icons.empty()) {
        error = "the icon of line " + std::to_string(current_icon(p).line) + " has no '}'";
        return false;
    }
    if (!pm_text_build(out, error))
        return false;
    return out.nodes.icons.empty() || pm_icons_build(out, error);
}

int32_t pm_kind_version(const PieceDescription& piece)
{
    if (piece.kind_version_given)
        return piece.kind_version;
    return piece.magic == kKindRecords ? kKindVersionRecords : kKindVersion;
}

bool pm_is_packaged(const PieceDescription& piece)
{
    if (piece.packaged >= 0)
        return piece.packaged == 1;
    return piece.magic == kKindPiece || piece.magic == kKindLibrary;
}

bool pm_read_file(const std::string& path, std::vector<uint8_t>& out)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}
