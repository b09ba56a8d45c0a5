// Any bytes as a stored code block: converted from and to the other byte order, validated,
// walked by both iterators, renumbered, and, when sound, run under a step limit with every
// variable read giving the empty value; a block that ends by itself runs again without the
// limit and must answer the same.
#include <cstdint>
#include <cstring>
#include <vector>

#include "runtime/base/symdict.h"
#include "runtime/calc/codeblock.h"
#include "runtime/calc/interp.h"
#include "runtime/calc/list_table.h"

namespace {

void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

int bump_ids(int kind, uint8_t* id, void*)
{
    id[0] ^= 1;
    return kind == kRemapVariable || id[1] != 0x7F;
}

void walk(const uint8_t* block)
{
    CodeIterator it;
    code_iter_init(it, block);
    CodeInstruction in;
    const uint8_t* data;
    uint32_t size;
    while (code_iter_next(it, &in, &data, &size))
        check((data != nullptr) == (size != 0));
    KeptTokenIterator kit;
    kept_iter_init(kit, block);
    uint8_t token;
    while (kept_iter_next(kit, &token, &data, &size))
        check(token != 0);
}

// A block whose jumps all go forward runs each instruction once at most: it ends by itself.
bool jumps_forward_only(const uint8_t* block)
{
    CodeIterator it;
    code_iter_init(it, block);
    CodeInstruction in;
    const uint8_t* data;
    uint32_t size;
    for (int index = 0; code_iter_next(it, &in, &data, &size); ++index) {
        bool jump = in.opcode == kOpAndJump || in.opcode == kOpOrJump || in.opcode == kOpJumpIfFalse || in.opcode == kOpJump;
        if (jump && in.operand <= index)
            return false;
    }
    return true;
}

bool same_number(const ScriptValue& a, const ScriptValue& b)
{
    bool number = val_type(a) == kValInteger || val_type(a) == kValReal;
    return !number || std::memcmp(a.bytes, b.bytes, sizeof a.bytes) == 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size)
{
    static bool ready = (symdict_create(), list_tables_init(), true);
    (void)ready;
    std::vector<uint8_t> block(bytes, bytes + size);
    // Arriving in the other order: converted or left exactly as it came.
    std::vector<uint8_t> foreign = block;
    if (code_swap_bytes(foreign.data(), foreign.size(), 1) != 0)
        check(foreign == block);
    if (code_validate(block.data(), block.size()) != 0) {
        std::vector<uint8_t> copy = block;
        check(code_swap_bytes(copy.data(), copy.size(), 0) != 0 && copy == block);
        ScriptValue out;
        check(eval_code(0, block.data(), block.size(), out, 1) == kEvalBadInstruction);
        return 0;
    }
    std::vector<uint8_t> there = block;
    check(code_swap_bytes(there.data(), there.size(), 0) == 0);
    check(code_swap_bytes(there.data(), there.size(), 1) == 0);
    check(there == block);
    walk(block.data());
    std::vector<uint8_t> before = block;
    int changed = 0;
    if (!code_remap_ids(block.data(), bump_ids, nullptr, &changed))
        check(block == before);
    check(code_validate(block.data(), block.size()) == 0);
    eval_set_step_limit(2000);
    ScriptValue out;
    int answer = eval_code(0, block.data(), block.size(), out, 1);
    bool ran_to_end = eval_steps_left() > 0;
    eval_set_step_limit(0);
    check(eval_stack_top() == 0);
    // Without a limit nothing is checked between instructions and those that usually follow
    // one another run together: a block that ends by itself must answer as it did.
    if (ran_to_end && jumps_forward_only(block.data())) {
        ScriptValue unchecked;
        check(eval_code(0, block.data(), block.size(), unchecked, 1) == answer);
        check(val_type(unchecked) == val_type(out) && same_number(unchecked, out));
        val_free(unchecked);
        check(eval_stack_top() == 0);
    }
    val_free(out);
    eval_reset();
    return 0;
}
