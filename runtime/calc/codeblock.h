// CodeBlock: one compiled calculation, stored in pieces as the data of icon properties 1000 to
// 2999. Header {u16 total, u16 start in 4-byte units, u16 kept offset}, a constant pool from
// byte 6, the instruction words {i16 opcode, i16 operand} from 4 x start, and optionally the
// kept token stream of the source, ended by token 0. Blocks are read in place, little-endian;
// every reader here assumes a block that code_validate accepted.
#pragma once
#include "platform/kernel/byte_io.h"
#include <cstddef>
#include <cstdint>

enum CodeOp : int16_t {
    kOpEnd = 0,
    kOpPushReal = 1,
    kOpPushString = 2,
    kOpPushShort = 3,
    kOpPushLong = 7,
    kOpPushVar = 8,
    kOpPushVarRef = 9,
    kOpAssignDirect = 10,
    kOpUnary = 11,
    kOpArith = 12,
    kOpCompare = 13,
    kOpCall = 14,
    kOpNip = 15,
    kOpAndJump = 16,
    kOpOrJump = 17,
    kOpJumpIfFalse = 18,
    kOpJump = 19,
    kOpPop = 20,
    kOpPushIconVar = 21,
    kOpPushString2 = 22,
    kOpPushMappedString = 23,
    kOpPushSymbol = 24,
    kOpNewLinearList = 25,
    kOpNewPropList = 26,
    kOpListAppend = 27,
    kOpPropListAppend = 28,
    kOpIndex = 29,
    kOpAssignElement = 30,
    kOpPushIconVarRef = 31,
    kOpAssign = 32,
    kOpForInStep = 33,
    kOpForInStepElement = 34,
    kOpPick = 35,
};

// Kept tokens that carry data between two copies of their code byte.
enum : uint8_t {
    kTokEnd = 0,
    kTokInteger = 17,
    kTokString = 18,
    kTokReal = 19,
    kTokFourBytes = 22,
    kTokVariable = 24,
    kTokTrivia = 25,
    kTokMappedString = 28,
    kTokString2 = 29,
    kTokMappedTrivia = 30,
    kTokReserved = 31,
    kTokFunction = 33,
    kTokSymbol = 34,
};

constexpr int kCodeHeaderSize = 6;

struct CodeInstruction {
    int16_t opcode;
    int16_t operand;
};

// The damaged-block answer of the validator and the converter.
constexpr int kCodeDamaged = 5000;

uint16_t code_total(const uint8_t* block);
const uint8_t* code_instructions(const uint8_t* block);
// Byte offset where the instructions end: the kept offset, or the total length.
uint32_t code_instructions_end(const uint8_t* block);
// The kept stream, or null; the block's end, or null without a kept stream.
const uint8_t* code_kept_tokens(const uint8_t* block);
const uint8_t* code_block_end(const uint8_t* block);
const uint8_t* code_pool_entry(const uint8_t* block, CodeInstruction instruction);
inline uint32_t code_units(uint32_t bytes) { return (bytes + 3) / 4; }
// One load of the whole word, split in registers: the interpreter reads one per instruction.
inline CodeInstruction code_read_instruction(const uint8_t* at)
{
    uint32_t word = plat::load_u32le(at);
    return { int16_t(uint16_t(word)), int16_t(uint16_t(word >> 16)) };
}
// The pool entry size an opcode names (strings measured to their NUL); 0 for none.
uint32_t code_pool_size(const uint8_t* block, CodeInstruction instruction);

// 0 when the block of size bytes is sound: header words within the real length, start and kept
// offsets in order, every opcode valid, jump targets inside the instructions, pool operands with
// their entries inside the pool, NUL-ended pool texts, argument counts not negative, Pick counts
// within 1..32767, and the kept stream well formed to its token 0. Else kCodeDamaged.
int code_validate(const uint8_t* block, size_t size);

// Over the instructions, past an End in the middle, to the instructions' end.
struct CodeIterator {
    const uint8_t* block;
    uint32_t position;
    uint32_t end;
};
void code_iter_init(CodeIterator& it, const uint8_t* block);
// 1 with the instruction and its pool entry (null and 0 for none); 0 at the end.
int code_iter_next(CodeIterator& it, CodeInstruction* instruction, const uint8_t** data, uint32_t* size);

struct KeptTokenIterator {
    const uint8_t* position; // null: finished or no stream
    const uint8_t* end;
};
void kept_iter_init(KeptTokenIterator& it, const uint8_t* block);
// 1 with the token, its data and the data size; 0 after token 0 or without a stream.
int kept_iter_next(KeptTokenIterator& it, uint8_t* token, const uint8_t** data, uint32_t* size);

// Kinds of ids handed to a remap callback.
enum : int {
    kRemapVariable = 0, // 6 bytes: a VariableRef
    kRemapFunction = 1, // 2 bytes: a function id
};
// Gets a copy of the id, may change it; 0 refuses.
using CodeRemapFn = int (*)(int kind, uint8_t* id, void* user);
// 1 when every id was taken (changed ids written back, *changed set when any changed); 0 when
// the callback refused one, with the block unchanged. The kept stream is walked only when an
// instruction's id changed.
int code_remap_ids(uint8_t* block, CodeRemapFn callback, void* user, int* changed);

// Converts a block of size bytes between byte orders in place: foreign set, it arrives in the
// other order. 0, or kCodeDamaged with the bytes unchanged. A pool entry named by several
// instructions is swapped once.
int code_swap_bytes(uint8_t* block, size_t size, int foreign);
// The record converters' hook for property tags 1000-2999 (lent by code_init).
int code_swap_hook(uint16_t tag, uint8_t* data, size_t length, int to_native);
// Lends the converter (start-up).
void code_init();
