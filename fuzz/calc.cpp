// Any text as a calculation, compiled as statements or as one expression with a decimal
// character, a list separator and a code page taken from the first byte: every block that
// compiles passes the validator, an error's range lies within the text, and the rebuilt source
// compiles to the same bytes (unless a rebuilt line grew past the line limit).
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/kernel/codepage.h"
#include "runtime/base/str.h"
#include "runtime/base/symdict.h"
#include "runtime/calc/codeblock.h"
#include "runtime/calc/compile.h"
#include "runtime/calc/detok.h"
#include "runtime/calc/names.h"
#include "runtime/calc/parser.h"
#include "runtime/calc/sysfn_table.h"

namespace {

void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

// Every name is a variable, numbered as first met, and keeps the spelling it was met with.
std::vector<std::string> s_names;

int find_id(int, const char* name, uint16_t* id)
{
    for (size_t i = 0; i < s_names.size(); ++i)
        if (plat::lstrcmpi(s_names[i].c_str(), name) == 0)
            return *id = uint16_t(i + 1), 1;
    if (s_names.size() >= 8192)
        return 0;
    s_names.push_back(name);
    *id = uint16_t(s_names.size());
    return 1;
}

int display_name(int, uint16_t id, char* out, size_t size)
{
    if (id < 1 || id > s_names.size())
        return 0;
    str_copy_bounded(out, s_names[id - 1u].c_str(), int(size));
    return 1;
}

bool has_long_line(const std::string& text)
{
    size_t start = 0;
    for (;;) {
        size_t end = text.find('\r', start);
        std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (str_char_count(line.c_str()) >= 30000)
            return true;
        if (end == std::string::npos)
            return false;
        start = end + 1;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size)
{
    static bool ready = [] {
        symdict_create();
        CalcNameHooks hooks {};
        hooks.var_find_id = find_id;
        hooks.var_display_name = display_name;
        calc_set_name_hooks(&hooks);
        return true;
    }();
    (void)ready;
    if (size < 1)
        return 0;
    static const char kDecimals[] = ".,";
    static const char kSeparators[] = ",;|:";
    uint8_t flags = bytes[0];
    CompileKind kind = flags & 1 ? kCompileStatements : kCompileExpression;
    plat::set_active_code_page(flags & 2 ? plat::CP_KOREAN : plat::CP_WESTERN);
    str_init_from_entry(nullptr);
    parse_set_calc_context(flags >> 2 & 1);
    char decimal = kDecimals[flags >> 3 & 1];
    char separator = kSeparators[flags >> 4 & 3];
    std::string text(reinterpret_cast<const char*>(bytes + 1), size - 1);
    text.resize(std::strlen(text.c_str()));
    s_names.clear();
    // Built and released by each input: the leak check after an input sees nothing it made.
    sysfn_build_table();

    std::vector<uint8_t> block;
    int offset = 0, length = 0;
    int error = code_compile(0, text.c_str(), block, kind, decimal, separator, &offset, &length);
    if (error) {
        int chars = str_char_count(text.c_str());
        check(block.empty() && offset >= 0 && length >= 0 && offset <= chars && length <= chars - offset);
    } else {
        check(code_validate(block.data(), block.size()) == 0);
        std::string rebuilt = code_decompile_text(0, block.data());
        std::vector<uint8_t> again;
        int code = code_compile(0, rebuilt.c_str(), again, kind, 0, 0, &offset, &length);
        check(code == 0 ? again == block : code == 1 && has_long_line(rebuilt));
    }
    sysfn_reset();
    plat::codepage_reset();
    str_reset();
    return 0;
}
