#include "runtime/calc/detok.h"

#include "platform/kernel/byte_io.h"
#include "runtime/base/str.h"
#include "runtime/calc/codeblock.h"
#include "runtime/calc/names.h"
#include "runtime/calc/scanner.h"
#include "runtime/nodes/node_group.h"
#include "runtime/text/charmap.h"
#include "runtime/text/intl.h"

#include <algorithm>
#include <cstring>

namespace {

// Texts of the tokens without data, by code; null for none.
const char* const kTokenTexts[56] = {
    nullptr, "(", ")", "*", "/", "+", "-", "=", ">", "<", "<=", ">=", "<>", "&", "|", "~", ":=",
    nullptr, nullptr, nullptr, "FALSE", "TRUE", nullptr, "\r\n", nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, "^", "Test", "**", ",", ":",
    "ON", "OFF", "if", "then", "else", "end", "repeat", "while", "exit", "next", "with", "to",
    "down", "[", "]", "in",
};

void append_string(std::string& out, const char* data, uint32_t size, bool translate)
{
    std::string text(data, size);
    CharsetMap* map = str_charmap();
    if (translate && map && str_charmap_maps_values(map))
        str_charmap_translate_n(map, text.data(), text.size(), 2, 1);
    out += '"';
    for (const char* p = text.c_str(); p < text.c_str() + text.size();) {
        const char* next = str_next_char(p);
        if (next != p + 1) {
            out.append(p, next);
            p = next;
            continue;
        }
        switch (*p) {
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        default: out += *p; break;
        }
        ++p;
    }
    out += '"';
}

void append_trivia(std::string& out, const char* data, uint32_t size, bool translate)
{
    std::string text(data, size);
    CharsetMap* map = str_charmap();
    if (translate && map && str_charmap_maps_literals(map))
        str_charmap_translate_n(map, text.data(), text.size(), 2, 1);
    if (!text.empty() && text[0] == ';')
        out += "--" + text.substr(1);
    else if (text == "\xAC")
        out += "\xAC\r\n";
    else
        out += text;
}

// The bytes a token takes in the source it came from, starting at pos.
size_t source_length(const char* text, size_t pos, size_t total, uint8_t token, size_t rebuilt)
{
    if (token == kTokAssign && text[pos] != ':')
        return 1;
    if ((token == kTokString || token == kTokMappedString || token == kTokString2) && text[pos] == '"') {
        size_t end = pos + 1;
        while (end < total && text[end] != '"' && text[end] != '\r')
            end += text[end] == '\\' && end + 1 < total ? 2 : 1;
        return std::min(end + 1, total) - pos;
    }
    if (token == kTokNewLine) {
        const char* cr = static_cast<const char*>(std::memchr(text + pos, '\r', total - pos));
        size_t end = cr ? size_t(cr - text) + 1 : total;
        return (end < total && text[end] == '\n' ? end + 1 : end) - pos;
    }
    return rebuilt;
}

} // namespace

void code_detokenize(uint32_t context, uint8_t token, const uint8_t* data, uint32_t size, std::string& out)
{
    const char* chars = reinterpret_cast<const char*>(data);
    char name[1024];
    switch (token) {
    case kTokInteger:
    case kTokSymbol:
        out += token == kTokSymbol ? "#" : "";
        out.append(chars, size);
        return;
    case kTokReal: {
        std::string text(chars, size);
        size_t dot = text.find('.');
        if (dot != std::string::npos && intl_decimal_char())
            text[dot] = intl_decimal_char();
        out += text;
        return;
    }
    case kTokString:
    case kTokMappedString:
    case kTokString2:
        append_string(out, chars, size, token == kTokString2);
        return;
    case kTokTrivia:
    case kTokMappedTrivia:
    case kTokReserved:
        append_trivia(out, chars, size, token == kTokReserved);
        return;
    case kTokVariable:
        eval_variable_display_name(context, name, sizeof name, var_ref_load(data));
        out += name;
        return;
    case kTokFunction:
        eval_function_display_name(plat::load_u16le(data), name, sizeof name);
        out += name;
        return;
    case kTokListSeparator:
        out += intl_list_char() ? intl_list_char() : ',';
        return;
    default:
        if (token < sizeof kTokenTexts / sizeof kTokenTexts[0] && kTokenTexts[token])
            out += kTokenTexts[token];
        return;
    }
}

std::string code_decompile_text(uint32_t context, const uint8_t* block)
{
    std::string text;
    KeptTokenIterator it;
    kept_iter_init(it, block);
    uint8_t token;
    const uint8_t* data;
    uint32_t size;
    while (kept_iter_next(it, &token, &data, &size))
        code_detokenize(context, token, data, size, text);
    return text;
}

MemHandle code_decompile(uint32_t context, const uint8_t* block)
{
    std::string text = code_decompile_text(context, block);
    return mem_alloc_copy(text.c_str(), text.size() + 1);
}

void code_error_range(uint32_t context, const char* text, const uint8_t* stream, size_t stream_size,
    int* offset, int* length)
{
    size_t total = std::strlen(text);
    size_t wanted = size_t(std::max(*offset, 0));
    KeptTokenIterator it { stream, stream + stream_size };
    uint8_t token;
    const uint8_t* data;
    uint32_t size;
    size_t pos = 0, last = 0, last_length = total;
    bool reached = false;
    for (const uint8_t* at = stream; kept_iter_next(it, &token, &data, &size); at = it.position) {
        if (size_t(at - stream) > wanted || !it.position || pos > total)
            break;
        std::string rebuilt;
        code_detokenize(context, token, data, size, rebuilt);
        last = pos;
        last_length = source_length(text, pos, total, token, rebuilt.size());
        reached = true;
        pos += last_length;
    }
    if (!reached)
        last = 0, last_length = total;
    last = std::min(last, total);
    last_length = std::min(last_length, total - last);
    *offset = str_chars_in_bytes(text, int(total), int(last));
    *length = str_chars_in_bytes(text, int(total), int(last + last_length)) - *offset;
}

int code_is_single_string(const uint8_t* block)
{
    KeptTokenIterator it;
    kept_iter_init(it, block);
    uint8_t token;
    const uint8_t* data;
    uint32_t size;
    int strings = 0;
    while (kept_iter_next(it, &token, &data, &size)) {
        if (token == kTokString || token == kTokMappedString || token == kTokString2)
            ++strings;
        else if (token != kTokTrivia && token != kTokMappedTrivia && token != kTokNewLine)
            return 0;
    }
    return strings == 1;
}

int code_needs_evaluation(uint32_t icon, uint16_t tag)
{
    uint16_t length = 0;
    uint8_t* data = node_lock_prop(icon, tag, &length);
    if (!data)
        return 0;
    int needs = code_validate(data, length) != 0 || !code_is_single_string(data);
    node_unlock_prop(icon, tag, 0, data);
    return needs;
}
