// Parsing of resource sources into the resources of one module, and the argument readers
// that the statement parsers share.
#pragma once
#include "tools/rc/rc_lex.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// A resource type or name: a number, or a name (upper case) when name is not empty.
struct RcId {
    uint32_t number = 0;
    std::string name;
};

struct RcResource {
    RcId type;
    RcId name;
    std::vector<uint8_t> bytes;
    std::string file;
    int line = 0;
};

struct RcString {
    uint32_t id = 0;
    uint32_t code_page = 0;
    std::string text;
    std::string file;
    int line = 0;
};

struct RcModule {
    std::vector<RcResource> resources;
    std::vector<RcString> strings;
    std::vector<std::string> inputs; // every file read, for the dependency file
    uint32_t next_cursor_image = 1; // RT_CURSOR and RT_ICON images are numbered in order
    uint32_t next_icon_image = 1;
};

// Writers reserve this much before their first write: GCC 12 at -O2 otherwise reports a false
// overflow on the first insert into an empty vector. The vector still grows as needed.
constexpr size_t kRcWriterReserve = 256;

// Reads one source file into the module. False with `error` set at the first fault.
[[nodiscard]] bool rc_parse_file(const std::string& path, RcModule& module, RcError& error);

// The state of parsing one file; statement parsers advance `next` through block bodies.
struct Parser {
    std::string file;
    std::string folder; // files named in the source are relative to it
    uint32_t code_page = 1252;
    std::vector<Statement> statements;
    size_t next = 0;
    RcModule* module = nullptr;
    RcError* error = nullptr;
};

// The arguments of one statement, read from the front.
struct Args {
    const Statement* statement = nullptr;
    size_t pos = 1; // after the keyword

    bool at_end() const { return pos >= statement->tokens.size(); }
    const Token& peek() const { return statement->tokens[pos]; }
    int line() const { return at_end() ? statement->line : peek().line; }
};

// Records the error (the first one wins) and answers false.
bool rc_fail(Parser& p, int line, const std::string& message);

// Each reader names what it expected when the next token is not that ("expected the x position").
[[nodiscard]] bool rc_take_number(
    Parser& p, Args& a, const char* what, int64_t min, int64_t max, int64_t& out);
[[nodiscard]] bool rc_take_word(Parser& p, Args& a, const char* what, std::string& out);
// A text converted to the file's code page; a NUL inside it is refused unless allowed.
enum class NulInText { refused, allowed };
[[nodiscard]] bool rc_take_text(
    Parser& p, Args& a, const char* what, std::string& out, NulInText nul = NulInText::refused);
// A file path, resolved against the source's folder.
[[nodiscard]] bool rc_take_path(Parser& p, Args& a, std::string& out);
// A resource type or name: a number 0 to 65535 or a word.
[[nodiscard]] bool rc_take_id(Parser& p, Args& a, const char* what, RcId& out);
// style -> term { '|' term }, term -> number | style name
[[nodiscard]] bool rc_take_style(Parser& p, Args& a, uint32_t& out);
// True when the next token is the word (keywords are case-sensitive); it is then consumed.
bool rc_take_keyword(Args& a, std::string_view word);
// Fails on anything left on the line.
[[nodiscard]] bool rc_expect_end(Parser& p, Args& a);

// Steps through a block's body: `statement` (with `body` at its first word) until the block's
// `end` is consumed, or `error` (a missing `end` is reported at the block's first line).
enum class BlockStep { statement, end, error };
BlockStep rc_block_next(Parser& p, const Args& header, Args& body);

// Runs parse_line(body) over a block's statements; true once its `end` is reached.
template <typename ParseLine>
bool rc_parse_block(Parser& p, const Args& header, ParseLine parse_line)
{
    Args body;
    BlockStep step;
    while ((step = rc_block_next(p, header, body)) == BlockStep::statement) {
        if (!parse_line(body))
            return false;
    }
    return step == BlockStep::end;
}

// Reports a body statement that its block does not know.
bool rc_unknown_in_block(Parser& p, const Args& body, const char* block);

// Reads a whole file; false with the reason in `message`.
[[nodiscard]] bool rc_read_file(const std::string& path, std::string& out, std::string& message);
[[nodiscard]] bool rc_read_input(Parser& p, int line, const std::string& path, std::string& out);

// Adds a resource made by the current statement.
void rc_add_resource(Parser& p, RcId type, RcId name, std::vector<uint8_t> bytes, int line);

// The statement parsers of rc_forms.cpp.
[[nodiscard]] bool rc_parse_dialog(Parser& p, Args& a);
[[nodiscard]] bool rc_parse_menu(Parser& p, Args& a);
[[nodiscard]] bool rc_parse_accelerators(Parser& p, Args& a);
[[nodiscard]] bool rc_parse_cursor(Parser& p, Args& a);
[[nodiscard]] bool rc_parse_icon(Parser& p, Args& a);
