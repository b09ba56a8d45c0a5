// Lexing of resource sources: statements of tokens, text literals and their conversion from
// the UTF-8 source to the code page a file declares.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

enum class TokenKind { word, number, text, bar };

// A run of a text literal: source characters (UTF-8, converted to the code page) or bytes
// written as escapes, which are taken as they are.
struct TextPiece {
    bool raw = false;
    std::string bytes;
};

struct Token {
    TokenKind kind = TokenKind::word;
    int line = 0;
    std::string word;
    int64_t number = 0;
    std::vector<TextPiece> text; // adjacent literals are joined into one token
};

struct Statement {
    int line = 0;
    std::vector<Token> tokens;
};

struct RcError {
    std::string file;
    int line = 0;
    std::string message;
};

// Splits a source into statements: one a line, '#' starts a comment, and a backslash that
// ends a line continues the statement on the next one. False with `error` set for a bad
// character, number or escape, an unterminated text or a line that is not UTF-8.
[[nodiscard]] bool rc_lex(const std::string& file, const std::string& source,
    std::vector<Statement>& out, RcError& error);

// Converts a literal to the code page. False with `message` when a character has no place in it.
[[nodiscard]] bool rc_convert_text(
    uint32_t code_page, const std::vector<TextPiece>& text, std::string& out, std::string& message);

// Whether the host's converter knows the code page.
bool rc_code_page_known(uint32_t code_page);

// A literal as written (escapes applied, no conversion): for file paths, which stay UTF-8.
std::string rc_text_as_written(const std::vector<TextPiece>& text);
