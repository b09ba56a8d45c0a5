#include "tools/piecemaker/pm_calc.h"

#include "platform/kernel/byte_io.h"
#include "platform/kernel/codepage.h"
#include "runtime/base/mem.h"

#include <cstdio>
#include "runtime/calc/compile.h"
#include "runtime/calc/names.h"
#include "runtime/calc/parser.h"
#include "runtime/calc/sysfn_table.h"
#include "tools/piecemaker/pm_desc.h"

namespace {

const PieceDescription* s_piece = nullptr;

int find_variable(int, const char* name, uint16_t* id)
{
    const std::vector<PieceVariable>& vars = s_piece->variables;
    for (size_t i = 0; i < vars.size(); ++i)
        if (vars[i].name != "%" && plat::lstrcmpi(vars[i].name.c_str(), name) == 0)
            return *id = uint16_t(i + 1), 1;
    return 0;
}

int variable_name(int, uint16_t id, char* out, size_t size)
{
    const std::vector<PieceVariable>& vars = s_piece->variables;
    if (id < 1 || id > vars.size() || size == 0)
        return 0;
    std::snprintf(out, size, "%s", vars[id - 1u].name.c_str());
    return 1;
}

// The kept stream off: the kept offset 0 and the block ending with its instructions.
void drop_kept(std::vector<uint8_t>& block)
{
    uint16_t kept = plat::load_u16le(block.data() + 4);
    block.resize(kept);
    plat::store_u16le(block.data(), kept);
    plat::store_u16le(block.data() + 4, 0);
}

} // namespace

bool pm_compile(const PieceDescription& piece, const std::string& text, PmCalcKind kind, bool keep,
    std::vector<uint8_t>& block, std::string& error)
{
    // The table is the caller's when it has one; else it lives for this compilation only.
    bool own_table = !sysfn_find("ABS") && sysfn_build_table();
    CalcNameHooks previous_hooks = calc_name_hooks();
    CalcNameHooks hooks {};
    hooks.var_find_id = find_variable;
    hooks.var_display_name = variable_name;
    calc_set_name_hooks(&hooks);
    s_piece = &piece;
    bool statements = kind == PmCalcKind::statements;
    int previous_context = parse_set_calc_context(statements ? 1 : 0);
    int offset = 0, length = 0;
    int code = code_compile(0, text.c_str(), block, statements ? kCompileStatements : kCompileExpression, '.',
        ',', &offset, &length);
    parse_set_calc_context(previous_context);
    calc_set_name_hooks(&previous_hooks);
    s_piece = nullptr;
    if (own_table)
        sysfn_reset();
    if (code) {
        MemHandle message = eval_error_text(code, text.c_str(), offset, length);
        error = "calculation error " + std::to_string(code) + ": "
            + (message ? static_cast<const char*>(mem_address(message)) : "");
        mem_free(message);
        return false;
    }
    if (!keep)
        drop_kept(block);
    return true;
}
