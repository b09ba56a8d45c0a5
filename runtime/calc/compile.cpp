#include "runtime/calc/compile.h"

#include "runtime/base/str.h"
#include "runtime/calc/parser.h"
#include "runtime/calc/scanner.h"
#include "runtime/text/intl.h"

#include <algorithm>
#include <string>

namespace {

// The source range of the token that begins at the stream offset (the last one before it when
// none begins there).
void token_range(const ScanResult& scan, size_t stream_offset, int* offset, int* length)
{
    auto after = std::upper_bound(scan.spans.begin(), scan.spans.end(), stream_offset,
        [](size_t at, const TokenSpan& span) { return at < span.stream_offset; });
    if (after == scan.spans.begin())
        return;
    const TokenSpan& span = *(after - 1);
    *offset = int(span.source_offset);
    *length = int(span.source_length);
}

// Bytes of the scanned text to characters, clamped to the text.
void to_characters(const std::string& text, int* offset, int* length)
{
    int total = int(text.size());
    int from = std::clamp(*offset, 0, total);
    int to = std::clamp(from + std::max(*length, 0), from, total);
    *offset = str_chars_in_bytes(text.c_str(), total, from);
    *length = str_chars_in_bytes(text.c_str(), total, to) - *offset;
}

} // namespace

int code_compile(uint32_t context, const char* text, std::vector<uint8_t>& block, CompileKind kind,
    char decimal, char separator, int* error_offset, int* error_length)
{
    block.clear();
    // The scanner reads a copy: the caller's text stays as it was.
    std::string copy = text ? text : "";
    if (str_settings().double_byte) {
        scan_prepare_double_byte(copy.data());
        copy.resize(std::char_traits<char>::length(copy.c_str()));
    }
    ScanOptions options;
    options.context = context;
    options.statements = kind == kCompileStatements;
    options.decimal = decimal ? decimal : intl_decimal_char();
    options.separator = separator ? separator : intl_list_char();
    ScanResult scan;
    int offset = 0, length = int(copy.size());
    int error = scan_text(copy.c_str(), options, scan);
    if (error) {
        offset = scan.error_offset;
        length = scan.error_length;
    } else {
        size_t stream_offset = 0;
        ParseMode mode = kind == kCompileStatements ? kParseStatements : kParseExpression;
        error = parse_program(scan.stream, context, mode, block, &stream_offset);
        if (error && error != 1 && error != 11)
            token_range(scan, stream_offset, &offset, &length);
    }
    to_characters(copy, &offset, &length);
    *error_offset = error ? offset : 0;
    *error_length = error ? length : 0;
    return error;
}
