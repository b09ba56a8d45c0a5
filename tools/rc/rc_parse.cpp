#include "tools/rc/rc_parse.h"

#include "platform/kernel/byte_io.h"
#include "platform/kernel/resource.h"
#include "platform/window/styles.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iterator>

constexpr int64_t kMaxId = 0xFFFF;
constexpr size_t kMaxInputSize = 64u << 20; // far above any resource; stops a wrong path early

static const char* const kMessageKinds[] = { "information", "warning", "stop", "question" };

bool rc_fail(Parser& p, int line, const std::string& message)
{
    if (p.error->message.empty())
        *p.error = { p.file, line, message };
    return false;
}

static std::string describe_next(const Args& a)
{
    if (a.at_end())
        return "the end of the line";
    const Token& t = a.peek();
    switch (t.kind) {
    case TokenKind::word: return "'" + t.word + "'";
    case TokenKind::number: return "number " + std::to_string(t.number);
    case TokenKind::text: return "a text";
    case TokenKind::bar: return "'|'";
    }
    return "?";
}

static bool expected(Parser& p, const Args& a, const char* what)
{
    return rc_fail(p, a.line(), std::string("expected ") + what + ", found " + describe_next(a));
}

static bool next_is(const Args& a, TokenKind kind) { return !a.at_end() && a.peek().kind == kind; }

bool rc_take_number(Parser& p, Args& a, const char* what, int64_t min, int64_t max, int64_t& out)
{
    if (!next_is(a, TokenKind::number))
        return expected(p, a, what);
    const Token& t = a.statement->tokens[a.pos++];
    if (t.number < min || t.number > max) {
        return rc_fail(p, t.line,
            std::string(what) + " must be from " + std::to_string(min) + " to "
                + std::to_string(max));
    }
    out = t.number;
    return true;
}

bool rc_take_word(Parser& p, Args& a, const char* what, std::string& out)
{
    if (!next_is(a, TokenKind::word))
        return expected(p, a, what);
    out = a.statement->tokens[a.pos++].word;
    return true;
}

bool rc_take_text(Parser& p, Args& a, const char* what, std::string& out, NulInText nul)
{
    if (!next_is(a, TokenKind::text))
        return expected(p, a, what);
    const Token& t = a.statement->tokens[a.pos++];
    std::string message;
    out.clear();
    if (!rc_convert_text(p.code_page, t.text, out, message))
        return rc_fail(p, t.line, message);
    if (nul == NulInText::refused && out.find('\0') != std::string::npos)
        return rc_fail(p, t.line, std::string(what) + " cannot hold a NUL character");
    return true;
}

bool rc_take_path(Parser& p, Args& a, std::string& out)
{
    if (!next_is(a, TokenKind::text))
        return expected(p, a, "a file name in quotes");
    std::string path = rc_text_as_written(a.statement->tokens[a.pos++].text);
    out = path.empty() || path[0] == '/' ? path : p.folder + "/" + path;
    return true;
}

bool rc_take_id(Parser& p, Args& a, const char* what, RcId& out)
{
    out = {};
    if (next_is(a, TokenKind::number)) {
        int64_t number = 0;
        bool ok = rc_take_number(p, a, what, 0, kMaxId, number);
        out.number = uint32_t(number);
        return ok;
    }
    if (!rc_take_word(p, a, what, out.name))
        return false;
    for (char& c : out.name)
        c = char(std::toupper(uint8_t(c)));
    return true;
}

static bool take_style_term(Parser& p, Args& a, uint32_t& out)
{
    if (next_is(a, TokenKind::number)) {
        out = uint32_t(a.statement->tokens[a.pos++].number);
        return true;
    }
    std::string name;
    if (!rc_take_word(p, a, "a style", name))
        return false;
    if (!plat::style_from_name(name, out))
        return rc_fail(p, a.statement->tokens[a.pos - 1].line, "unknown style '" + name + "'");
    return true;
}

bool rc_take_style(Parser& p, Args& a, uint32_t& out)
{
    out = 0;
    for (;;) {
        uint32_t term = 0;
        if (!take_style_term(p, a, term))
            return false;
        out |= term;
        if (!next_is(a, TokenKind::bar))
            return true;
        ++a.pos;
    }
}

bool rc_take_keyword(Args& a, std::string_view word)
{
    if (!next_is(a, TokenKind::word) || a.peek().word != word)
        return false;
    ++a.pos;
    return true;
}

bool rc_expect_end(Parser& p, Args& a)
{
    if (a.at_end())
        return true;
    return rc_fail(p, a.line(), "unexpected " + describe_next(a));
}

BlockStep rc_block_next(Parser& p, const Args& header, Args& body)
{
    const std::string& kind = header.statement->tokens[0].word;
    if (p.next >= p.statements.size()) {
        rc_fail(p, header.statement->line, "'" + kind + "' has no 'end'");
        return BlockStep::error;
    }
    const Statement& st = p.statements[p.next++];
    body = Args { &st, 0 };
    const Token& first = st.tokens[0];
    if (first.kind == TokenKind::word && first.word == "end") {
        body.pos = 1;
        return rc_expect_end(p, body) ? BlockStep::end : BlockStep::error;
    }
    if (first.kind != TokenKind::word) {
        rc_fail(p, st.line, "a statement starts with a word");
        return BlockStep::error;
    }
    return BlockStep::statement;
}

bool rc_read_file(const std::string& path, std::string& out, std::string& message)
{
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        message = "cannot read '" + path + "': " + std::strerror(errno);
        return false;
    }
    out.clear();
    char buffer[65536];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0 && out.size() <= kMaxInputSize)
        out.append(buffer, got);
    bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed || out.size() > kMaxInputSize) {
        message = "cannot read '" + path + "': " + (failed ? "read error" : "file too large");
        return false;
    }
    return true;
}

bool rc_read_input(Parser& p, int line, const std::string& path, std::string& out)
{
    std::string message;
    if (!rc_read_file(path, out, message))
        return rc_fail(p, line, message);
    p.module->inputs.push_back(path);
    return true;
}

void rc_add_resource(Parser& p, RcId type, RcId name, std::vector<uint8_t> bytes, int line)
{
    p.module->resources.push_back(
        { std::move(type), std::move(name), std::move(bytes), p.file, line });
}

static RcId number_id(uint32_t number) { return RcId { number, {} }; }

// codepage -> 'codepage' number
static bool parse_codepage(Parser& p, Args& a)
{
    int64_t code_page = 0;
    if (!rc_take_number(p, a, "a code page", 1, kMaxId, code_page) || !rc_expect_end(p, a))
        return false;
    if (!rc_code_page_known(uint32_t(code_page)))
        return rc_fail(
            p, a.statement->line, "code page " + std::to_string(code_page) + " is not known");
    p.code_page = uint32_t(code_page);
    return true;
}

// string -> 'string' number text
static bool parse_string(Parser& p, Args& a)
{
    int64_t id = 0;
    std::string text;
    if (!rc_take_number(p, a, "a string number", 0, kMaxId, id)
        || !rc_take_text(p, a, "the string's text", text))
        return false;
    if (text.size() > kMaxId)
        return rc_fail(p, a.statement->line, "a string holds at most 65535 bytes");
    p.module->strings.push_back({ uint32_t(id), p.code_page, text, p.file, a.statement->line });
    return rc_expect_end(p, a);
}

static bool take_message_kind(Parser& p, Args& a, uint16_t& kind)
{
    if (next_is(a, TokenKind::number)) {
        int64_t number = 0;
        bool ok = rc_take_number(p, a, "the message kind", 0, kMaxId, number);
        kind = uint16_t(number);
        return ok;
    }
    for (size_t i = 0; i < std::size(kMessageKinds); ++i) {
        if (rc_take_keyword(a, kMessageKinds[i])) {
            kind = uint16_t(i);
            return true;
        }
    }
    return expected(p, a, "the message kind (information, warning, stop or question)");
}

struct MessageSource {
    std::vector<std::string> buttons;
    std::string format;
    bool has_format = false;
    std::vector<std::string> subs;
};

static bool parse_message_line(Parser& p, Args& body, MessageSource& m)
{
    if (rc_take_keyword(body, "button")) {
        if (m.buttons.size() == 3)
            return rc_fail(p, body.statement->line, "a message has at most three buttons");
        m.buttons.push_back({});
        return rc_take_text(p, body, "the button's caption", m.buttons.back())
            && rc_expect_end(p, body);
    }
    if (rc_take_keyword(body, "format")) {
        if (m.has_format)
            return rc_fail(p, body.statement->line, "the message already has a format");
        m.has_format = true;
        return rc_take_text(p, body, "the format text", m.format) && rc_expect_end(p, body);
    }
    if (rc_take_keyword(body, "sub")) {
        m.subs.push_back({});
        return rc_take_text(p, body, "the sub-message's text", m.subs.back())
            && rc_expect_end(p, body);
    }
    return rc_unknown_in_block(p, body, "message");
}

// message -> 'message' id kind { 'button' text | 'format' text | 'sub' text } 'end'
// Bytes: u16 kind, then NUL-terminated captions 1 to 3, the format and the sub-messages.
static bool parse_message(Parser& p, Args& a)
{
    RcId name;
    uint16_t kind = 0;
    if (!rc_take_id(p, a, "the message number", name) || !take_message_kind(p, a, kind)
        || !rc_expect_end(p, a))
        return false;
    MessageSource m;
    if (!rc_parse_block(p, a, [&](Args& body) { return parse_message_line(p, body, m); }))
        return false;
    if (!m.has_format)
        return rc_fail(p, a.statement->line, "the message has no format");
    std::vector<uint8_t> bytes;
    plat::ByteWriter w(bytes);
    w.u16le(kind);
    m.buttons.resize(3);
    for (const std::string& caption : m.buttons)
        w.cstring(caption);
    w.cstring(m.format);
    for (const std::string& sub : m.subs)
        w.cstring(sub);
    rc_add_resource(p, number_id(plat::RT_MESSAGE), name, std::move(bytes), a.statement->line);
    return true;
}

static bool item_integers(Parser& p, Args& a, std::vector<uint8_t>& out, int width)
{
    static const int64_t kMin[] = { 0, -0x80, -0x8000, 0, -0x80000000ll };
    static const int64_t kMax[] = { 0, 0xFF, 0xFFFF, 0, 0xFFFFFFFFll };
    int64_t value = 0;
    do {
        if (!rc_take_number(p, a, "a number", kMin[width], kMax[width], value))
            return false;
        for (int i = 0; i < width; ++i)
            out.push_back(uint8_t(uint64_t(value) >> (8 * i)));
    } while (!a.at_end());
    return true;
}

static bool item_u8(Parser& p, Args& a, std::vector<uint8_t>& out)
{
    return item_integers(p, a, out, 1);
}
static bool item_u16(Parser& p, Args& a, std::vector<uint8_t>& out)
{
    return item_integers(p, a, out, 2);
}
static bool item_u32(Parser& p, Args& a, std::vector<uint8_t>& out)
{
    return item_integers(p, a, out, 4);
}

static bool item_hex(Parser& p, Args& a, std::vector<uint8_t>& out)
{
    if (!next_is(a, TokenKind::text))
        return expected(p, a, "hex digits in quotes");
    int line = a.peek().line;
    std::string digits = rc_text_as_written(a.statement->tokens[a.pos++].text);
    for (size_t i = 0; i < digits.size();) {
        if (digits[i] == ' ' || digits[i] == '\t') {
            ++i;
            continue;
        }
        if (i + 1 >= digits.size() || !std::isxdigit(uint8_t(digits[i]))
            || !std::isxdigit(uint8_t(digits[i + 1])))
            return rc_fail(p, line, "hex data must be pairs of hex digits");
        out.push_back(uint8_t(std::stoi(digits.substr(i, 2), nullptr, 16)));
        i += 2;
    }
    return true;
}

static bool item_text(Parser& p, Args& a, std::vector<uint8_t>& out)
{
    std::string text;
    if (!rc_take_text(p, a, "a text", text, NulInText::allowed))
        return false;
    out.insert(out.end(), text.begin(), text.end());
    return true;
}

static bool item_textz(Parser& p, Args& a, std::vector<uint8_t>& out)
{
    if (!item_text(p, a, out))
        return false;
    out.push_back(0);
    return true;
}

static bool item_fixed(Parser& p, Args& a, std::vector<uint8_t>& out)
{
    int64_t size = 0;
    std::string text;
    if (!rc_take_number(p, a, "the field's size", 1, kMaxId, size)
        || !rc_take_text(p, a, "a text", text, NulInText::allowed))
        return false;
    if (text.size() > size_t(size))
        return rc_fail(p, a.statement->line,
            "the text is longer than its field of " + std::to_string(size) + " bytes");
    text.resize(size_t(size), '\0');
    out.insert(out.end(), text.begin(), text.end());
    return true;
}

static bool item_file(Parser& p, Args& a, std::vector<uint8_t>& out)
{
    std::string path, contents;
    if (!rc_take_path(p, a, path) || !rc_read_input(p, a.statement->line, path, contents))
        return false;
    out.insert(out.end(), contents.begin(), contents.end());
    return true;
}

using ItemParser = bool (*)(Parser&, Args&, std::vector<uint8_t>&);

struct DataItem {
    const char* keyword;
    ItemParser parse;
};

static const DataItem kDataItems[] = {
    { "hex", item_hex }, // "01 02 ff": bytes as they stand
    { "u8", item_u8 }, // numbers, one byte each
    { "u16", item_u16 }, // numbers, little-endian words
    { "u32", item_u32 }, // numbers, little-endian double words
    { "text", item_text }, // a text's bytes in the code page, without a NUL
    { "textz", item_textz }, // the same with its NUL
    { "fixed", item_fixed }, // a text NUL-padded to a fixed size, as records of names are stored
    { "file", item_file }, // a file's bytes
};

// item -> keyword arguments (one item per line)
static bool parse_data_item(Parser& p, Args& a, std::vector<uint8_t>& out)
{
    for (const DataItem& item : kDataItems) {
        if (rc_take_keyword(a, item.keyword))
            return item.parse(p, a, out) && rc_expect_end(p, a);
    }
    return expected(p, a, "a data item (hex, u8, u16, u32, text, textz, fixed or file)");
}

// data -> item | end-of-line { item } 'end'
static bool parse_data(Parser& p, Args& a, RcId type, RcId name)
{
    std::vector<uint8_t> bytes;
    bool ok = !a.at_end()
        ? parse_data_item(p, a, bytes)
        : rc_parse_block(p, a, [&](Args& body) { return parse_data_item(p, body, bytes); });
    if (!ok)
        return false;
    rc_add_resource(p, std::move(type), std::move(name), std::move(bytes), a.statement->line);
    return true;
}

// rcdata -> 'rcdata' id data
static bool parse_rcdata(Parser& p, Args& a)
{
    RcId name;
    return rc_take_id(p, a, "the resource's name", name)
        && parse_data(p, a, number_id(plat::RT_RCDATA), name);
}

// custom -> 'custom' type id data
static bool parse_custom(Parser& p, Args& a)
{
    RcId type, name;
    return rc_take_id(p, a, "the resource's type", type)
        && rc_take_id(p, a, "the resource's name", name) && parse_data(p, a, type, name);
}

// A bitmap resource is the BMP file without its 14-byte file header, as Win32 stores it.
static bool check_bmp(Parser& p, int line, const std::string& bmp)
{
    static const uint32_t kHeaderSizes[] = { 12, 40, 52, 56, 108, 124 };
    plat::ByteReader r(bmp.data(), bmp.size());
    bool is_bmp = r.u8() == 'B' && r.u8() == 'M';
    r.skip(8);
    uint32_t bits_offset = r.u32le();
    uint32_t header_size = r.u32le();
    bool known = std::find(std::begin(kHeaderSizes), std::end(kHeaderSizes), header_size)
        != std::end(kHeaderSizes);
    if (r.failed() || !is_bmp || !known)
        return rc_fail(p, line, "not a BMP file");
    if (header_size > bmp.size() - 14 || bits_offset < 14 + header_size || bits_offset > bmp.size())
        return rc_fail(p, line, "the BMP file is damaged");
    return true;
}

// bitmap -> 'bitmap' id path
static bool parse_bitmap(Parser& p, Args& a)
{
    RcId name;
    std::string path, bmp;
    int line = a.statement->line;
    if (!rc_take_id(p, a, "the bitmap's name", name) || !rc_take_path(p, a, path)
        || !rc_expect_end(p, a))
        return false;
    if (!rc_read_input(p, line, path, bmp) || !check_bmp(p, line, bmp))
        return false;
    rc_add_resource(p, number_id(plat::RT_BITMAP), name,
        std::vector<uint8_t>(bmp.begin() + 14, bmp.end()), line);
    return true;
}

using StatementParser = bool (*)(Parser&, Args&);

struct StatementRoute {
    const char* keyword;
    StatementParser parse;
};

static const StatementRoute kStatements[] = {
    { "codepage", parse_codepage }, // the code page of the texts that follow
    { "string", parse_string }, // a string-table entry
    { "message", parse_message }, // a message box (type 256)
    { "rcdata", parse_rcdata }, // raw data (RT_RCDATA)
    { "custom", parse_custom }, // raw data of a numbered or named type
    { "bitmap", parse_bitmap }, // a BMP file (RT_BITMAP)
    { "cursor", rc_parse_cursor }, // text art (RT_GROUP_CURSOR and RT_CURSOR)
    { "icon", rc_parse_icon }, // text art (RT_GROUP_ICON and RT_ICON)
    { "dialog", rc_parse_dialog }, // a dialog template (RT_DIALOG)
    { "menu", rc_parse_menu }, // a menu template (RT_MENU)
    { "accelerators", rc_parse_accelerators }, // an accelerator table (RT_ACCELERATOR)
};

bool rc_unknown_in_block(Parser& p, const Args& body, const char* block)
{
    const std::string& word = body.statement->tokens[0].word;
    bool top_level = word == "codepage";
    for (const StatementRoute& route : kStatements)
        top_level = top_level || word == route.keyword;
    std::string hint = top_level ? " (is an 'end' missing?)" : "";
    return rc_fail(
        p, body.statement->line, "'" + word + "' is not known inside '" + block + "'" + hint);
}

static bool parse_statement(Parser& p, const Statement& st)
{
    const Token& first = st.tokens[0];
    if (first.kind != TokenKind::word)
        return rc_fail(p, st.line, "a statement starts with a word");
    Args a { &st, 1 };
    for (const StatementRoute& route : kStatements) {
        if (first.word == route.keyword)
            return route.parse(p, a);
    }
    if (first.word == "end")
        return rc_fail(p, st.line, "'end' without a block");
    return rc_fail(p, st.line, "unknown statement '" + first.word + "'");
}

static std::string folder_of(const std::string& path)
{
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

bool rc_parse_file(const std::string& path, RcModule& module, RcError& error)
{
    Parser p;
    p.file = path;
    p.folder = folder_of(path);
    p.module = &module;
    p.error = &error;
    std::string source, message;
    if (!rc_read_file(path, source, message)) {
        error = { path, 0, message };
        return false;
    }
    module.inputs.push_back(path);
    if (!rc_lex(path, source, p.statements, error))
        return false;
    while (p.next < p.statements.size()) {
        if (!parse_statement(p, p.statements[p.next++]))
            return false;
    }
    return true;
}
