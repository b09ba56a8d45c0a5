#include "runtime/calc/parser.h"

#include "platform/kernel/byte_io.h"
#include "runtime/calc/codeblock.h"
#include "runtime/calc/interp_ops.h"
#include "runtime/calc/names.h"
#include "runtime/calc/scanner.h"
#include "runtime/calc/sysfn_table.h"

#include <charconv>
#include <cstring>
#include <string>

namespace {

constexpr int kOperandMax = 32767;    // pool offsets and instruction indexes are i16
constexpr size_t kBlockMax = 65535;   // the header's total is a u16
constexpr int kReferenceClass = 3;
constexpr int kRealTextMax = 100;
constexpr int kErrTooLong = 1;
constexpr int kErrSyntax = 5;
constexpr int kErrNoOperand = 14;
constexpr int kErrNoExpression = 19;

int s_calc_context = 0;

struct Loop {
    int top = -1;
    std::vector<int> exits; // jumps to patch to the loop's end
};

struct Parser {
    Parser(const std::vector<uint8_t>& s, uint32_t c) : stream(s), context(c) {}
    const std::vector<uint8_t>& stream;
    uint32_t context;
    // The current token.
    size_t position = 0; // of its code byte
    size_t next = 0;     // of the token after it
    uint8_t token = 0;
    const uint8_t* data = nullptr;
    uint32_t size = 0;
    std::vector<uint8_t> pool;
    std::vector<CodeInstruction> code;
    Loop* loop = nullptr;
    int error = 0;
    size_t error_position = 0;
};

struct Mark {
    size_t position;
    size_t count;
};

uint32_t data_size_of(const std::vector<uint8_t>& stream, size_t at)
{
    uint8_t t = stream[at];
    switch (t) {
    case kTokVariable: return 6;
    case kTokFunction: return 2;
    case kTokFourBytes: return 4;
    case kTokInteger: case kTokString: case kTokReal: case kTokTrivia: case kTokMappedString:
    case kTokString2: case kTokMappedTrivia: case kTokReserved: case kTokSymbol: {
        size_t end = at + 1;
        while (end < stream.size() && stream[end] != t)
            ++end;
        return uint32_t(end - at - 1);
    }
    default: return 0;
    }
}

bool carries_data(uint8_t t)
{
    switch (t) {
    case kTokVariable: case kTokFunction: case kTokFourBytes: case kTokInteger: case kTokString:
    case kTokReal: case kTokTrivia: case kTokMappedString: case kTokString2: case kTokMappedTrivia:
    case kTokReserved: case kTokSymbol:
        return true;
    default:
        return false;
    }
}

// Reads the token at p.next, skipping white space, comments and reserved words.
void read_token(Parser& p)
{
    for (;;) {
        size_t at = p.next;
        if (at >= p.stream.size()) {
            p.position = at, p.token = kTokEnd, p.data = nullptr, p.size = 0;
            return;
        }
        uint8_t t = p.stream[at];
        uint32_t size = data_size_of(p.stream, at);
        p.next = at + 1 + (carries_data(t) ? size + 1 : 0);
        if (t == kTokTrivia || t == kTokMappedTrivia || t == kTokReserved)
            continue;
        p.position = at, p.token = t, p.data = p.stream.data() + at + 1, p.size = size;
        return;
    }
}

void advance(Parser& p)
{
    bool line_end = p.token == kTokNewLine;
    read_token(p);
    while (line_end && p.token == kTokNewLine)
        read_token(p);
}

Mark mark(const Parser& p) { return Mark { p.position, p.code.size() }; }

void rewind(Parser& p, Mark m)
{
    p.next = m.position;
    read_token(p);
    p.code.resize(m.count);
    p.error = 0;
}

int fail(Parser& p, int code)
{
    if (!p.error) {
        p.error = code;
        p.error_position = p.position;
    }
    return p.error;
}

int emit(Parser& p, int16_t opcode, int operand = 0)
{
    if (p.code.size() >= size_t(kOperandMax)) {
        fail(p, kErrTooLong);
        return 0;
    }
    p.code.push_back({ opcode, int16_t(operand) });
    return int(p.code.size()) - 1;
}

void patch(Parser& p, int at) { p.code[size_t(at)].operand = int16_t(p.code.size()); }

// Pool writers: the entry's offset, or 0 with error 1 past the reach of an operand.
int pool_entry(Parser& p, const void* bytes, size_t length)
{
    size_t at = p.pool.size();
    if (at > size_t(kOperandMax)) {
        fail(p, kErrTooLong);
        return 0;
    }
    const uint8_t* b = static_cast<const uint8_t*>(bytes);
    p.pool.insert(p.pool.end(), b, b + length);
    return int(at);
}

int pool_text(Parser& p)
{
    std::string text(reinterpret_cast<const char*>(p.data), p.size);
    return pool_entry(p, text.c_str(), text.size() + 1);
}

int pool_real(Parser& p)
{
    std::string text(reinterpret_cast<const char*>(p.data), std::min<uint32_t>(p.size, kRealTextMax));
    double value = 0;
    std::string digits = text[0] == '.' ? "0" + text : text;
    std::from_chars(digits.data(), digits.data() + digits.size(), value);
    uint8_t bytes[8];
    std::memcpy(bytes, &value, 8);
    return pool_entry(p, bytes, 8);
}

bool is_comparison(uint8_t t) { return t >= kTokEqual && t <= kTokNotEqual; }
bool starts_statement(uint8_t t)
{
    return t == kTokVariable || t == kTokFunction || t == kTokTest || t == kTokIf || t == kTokRepeat
        || t == kTokExit || t == kTokNext;
}

int expression(Parser& p);
int statement(Parser& p);
int primary(Parser& p);

// An operand after an operator: a missing one is "Operand missing." at the operator.
int operand_after(Parser& p, int (*rule)(Parser&), size_t operator_position)
{
    int error = rule(p);
    if (error == kErrNoExpression) {
        p.error = kErrNoOperand;
        p.error_position = operator_position;
    }
    return p.error;
}

// unary -> [ '+' | '-' | '~' ] primary
int unary(Parser& p)
{
    uint8_t t = p.token;
    if (t != kTokPlus && t != kTokMinus && t != kTokNot)
        return primary(p);
    advance(p);
    if (primary(p))
        return p.error;
    emit(p, kOpUnary, t);
    return p.error;
}

// A left-associative level: operand { op operand }, each op emitted as Arith.
int binary_level(Parser& p, int (*operand)(Parser&), const uint8_t* ops, size_t op_count)
{
    if (operand(p))
        return p.error;
    for (;;) {
        uint8_t t = p.token;
        if (std::memchr(ops, t, op_count) == nullptr)
            return 0;
        size_t at = p.position;
        advance(p);
        if (operand_after(p, operand, at))
            return p.error;
        emit(p, kOpArith, t);
    }
}

int power(Parser& p)
{
    static const uint8_t ops[] = { kTokPower };
    return binary_level(p, unary, ops, sizeof ops);
}

int multiplicative(Parser& p)
{
    static const uint8_t ops[] = { kTokTimes, kTokDivide };
    return binary_level(p, power, ops, sizeof ops);
}

int additive(Parser& p)
{
    static const uint8_t ops[] = { kTokPlus, kTokMinus };
    return binary_level(p, multiplicative, ops, sizeof ops);
}

int join(Parser& p)
{
    static const uint8_t ops[] = { kTokJoin };
    return binary_level(p, additive, ops, sizeof ops);
}

// comparison -> join [ cmp join { ('&' | '|') cmp join } ]; the left operand stays below each
// result for the next link of the chain, and Nip drops it at the end.
int comparison(Parser& p)
{
    if (join(p))
        return p.error;
    if (!is_comparison(p.token))
        return 0;
    uint8_t op = p.token;
    size_t at = p.position;
    advance(p);
    if (operand_after(p, join, at))
        return p.error;
    emit(p, kOpCompare, op);
    while (p.token == kTokAnd || p.token == kTokOr) {
        Mark before = mark(p);
        uint8_t link = p.token;
        advance(p);
        if (!is_comparison(p.token)) {
            rewind(p, before);
            break;
        }
        op = p.token;
        at = p.position;
        int jump = emit(p, link == kTokAnd ? kOpAndJump : kOpOrJump);
        advance(p);
        if (operand_after(p, join, at))
            return p.error;
        p.code[size_t(jump)].operand = int16_t(p.code.size() + 1);
        emit(p, kOpCompare, op);
    }
    emit(p, kOpNip);
    return p.error;
}

// logical -> comparison { ('&' | '|') comparison }, evaluating the right side only when needed
int logical(Parser& p)
{
    if (comparison(p))
        return p.error;
    while (p.token == kTokAnd || p.token == kTokOr) {
        int jump = emit(p, p.token == kTokAnd ? kOpAndJump : kOpOrJump);
        size_t at = p.position;
        advance(p);
        if (operand_after(p, comparison, at))
            return p.error;
        patch(p, jump);
    }
    return 0;
}

// index-list -> expression { sep expression } ']', each followed by Index
int index_list(Parser& p)
{
    for (;;) {
        int error = expression(p);
        if (error == kErrNoExpression && p.token != kTokRBracket)
            p.error = 46;
        if (p.error)
            return p.error;
        emit(p, kOpIndex);
        if (p.token == kTokRBracket) {
            advance(p);
            return 0;
        }
        if (p.token != kTokListSeparator)
            return fail(p, 46);
        advance(p);
    }
}

// target -> Variable [ primary when "@" computes the icon ] { '[' index-list }
int target(Parser& p, bool with_reference, bool* indexed)
{
    VariableRef ref = var_ref_load(p.data);
    if (!s_calc_context && eval_is_calc_only_variable(ref))
        return fail(p, 56);
    int entry = pool_entry(p, p.data, 6);
    advance(p);
    if (ref.at_flag) {
        if (primary(p))
            return p.error;
        emit(p, with_reference ? kOpPushIconVarRef : kOpPushIconVar, entry);
    } else {
        emit(p, with_reference ? kOpPushVarRef : kOpPushVar, entry);
    }
    bool any = false;
    while (p.token == kTokLBracket) {
        advance(p);
        if (index_list(p))
            return p.error;
        any = true;
    }
    if (indexed)
        *indexed = false;
    if (with_reference && any) {
        p.code.pop_back(); // the last index stays on the stack for the element write
        *indexed = true;
    }
    return p.error;
}

struct CallLimits {
    bool system;
    int min, max;
    bool accepts_any_count;
};

int call_limits(Parser& p, int id, CallLimits& limits)
{
    limits = CallLimits { sysfn_is_id(id), 0, kSysFnUnbounded, false };
    if (limits.system) {
        if (sysfn_calc_only(id) == kSysFnCalcOnly && !s_calc_context)
            return fail(p, 30);
        limits.min = sysfn_min_args(id);
        limits.max = sysfn_max_args(id);
        return 0;
    }
    const CalcNameHooks& hooks = calc_name_hooks();
    const char* signature = hooks.ucode_signature ? hooks.ucode_signature(id) : nullptr;
    if (!signature)
        return fail(p, 42);
    int length = int(std::strlen(signature));
    limits.min = std::strcmp(signature, "V") == 0 ? 0 : signature[0] == 'A' ? length - 1 : length;
    limits.accepts_any_count = hooks.ucode_library_located && hooks.ucode_library_located(id);
    return 0;
}

// One argument at position i: 1 when it was pushed, 0 when the arguments end.
int argument(Parser& p, int id, bool system, int i, int min, int* pushed)
{
    *pushed = 0;
    if (i > 0) {
        if (p.token != kTokListSeparator)
            return 0;
        advance(p);
    }
    if (system && sysfn_arg_class(id, i) == kReferenceClass) {
        if (p.token != kTokVariable)
            return i < min ? fail(p, 16) : 0;
        int entry = pool_entry(p, p.data, 6);
        emit(p, kOpPushVarRef, entry);
        advance(p);
        *pushed = 1;
        return p.error;
    }
    if (p.token == kTokListSeparator) { // an empty argument
        emit(p, kOpPushShort, 0);
        *pushed = 1;
        return p.error;
    }
    Mark before = mark(p);
    int error = expression(p);
    if (error == kErrNoExpression && p.position == before.position) {
        rewind(p, before);
        return 0;
    }
    *pushed = error == 0;
    return error;
}

// Skips surplus arguments up to the matching ')'.
int skip_arguments(Parser& p)
{
    for (int depth = 0;; advance(p)) {
        if (p.token == kTokNewLine || p.token == kTokEnd)
            return fail(p, 8);
        if (p.token == kTokLParen)
            ++depth;
        if (p.token == kTokRParen && depth-- == 0)
            return 0;
    }
}

// call -> Function '(' arguments ')'
int call(Parser& p)
{
    int id = plat::load_u16le(p.data);
    advance(p);
    if (p.token != kTokLParen)
        return fail(p, 9);
    CallLimits limits;
    if (call_limits(p, id, limits))
        return p.error;
    advance(p);
    int count = 0;
    for (int pushed = 1; pushed;) {
        if (argument(p, id, limits.system, count, limits.min, &pushed))
            return p.error;
        count += pushed;
    }
    if (p.token != kTokRParen && limits.accepts_any_count && skip_arguments(p))
        return p.error;
    if (p.token != kTokRParen)
        return fail(p, 8);
    if (count < limits.min && !limits.accepts_any_count)
        return fail(p, 29);
    if (count > limits.max)
        return fail(p, 15);
    advance(p);
    uint8_t record[4];
    plat::store_u16le(record, uint16_t(count));
    plat::store_u16le(record + 2, uint16_t(id));
    emit(p, kOpCall, pool_entry(p, record, 4));
    return p.error;
}

// condition word: the jump taken when the condition is false, -1 after an error.
int condition_jump(Parser& p, uint8_t word, int missing_word)
{
    if (expression(p))
        return -1;
    if (p.token != word) {
        fail(p, missing_word);
        return -1;
    }
    advance(p);
    return emit(p, kOpJumpIfFalse);
}

// Test '(' condition ',' a [ ',' b ] ')': only the chosen branch runs
int test(Parser& p)
{
    advance(p);
    if (p.token != kTokLParen)
        return fail(p, 9);
    advance(p);
    int if_false = condition_jump(p, kTokListSeparator, 7);
    if (if_false < 0 || expression(p))
        return p.error;
    int over = emit(p, kOpJump);
    patch(p, if_false);
    if (p.token == kTokListSeparator) {
        advance(p);
        if (expression(p))
            return p.error;
    } else {
        emit(p, kOpPushShort, 0);
    }
    patch(p, over);
    if (p.token != kTokRParen)
        return fail(p, 8);
    advance(p);
    return 0;
}

int list_element(Parser& p)
{
    if (expression(p) == kErrNoExpression)
        p.error = 44;
    return p.error;
}

// list -> '[' ']' | '[' ':' ']' | '[' e { sep e } ']' | '[' k ':' v { sep k ':' v } ']'
int list_literal(Parser& p)
{
    advance(p);
    if (p.token == kTokRBracket || p.token == kTokColon) {
        bool property = p.token == kTokColon;
        advance(p);
        if (property && p.token != kTokRBracket)
            return fail(p, 44);
        if (property)
            advance(p);
        emit(p, property ? kOpNewPropList : kOpNewLinearList);
        return p.error;
    }
    int head = emit(p, kOpNewLinearList);
    if (list_element(p))
        return p.error;
    bool property = p.token == kTokColon;
    if (property)
        p.code[size_t(head)].opcode = kOpNewPropList;
    for (;;) {
        if (property) {
            if (p.token != kTokColon)
                return fail(p, 44);
            advance(p);
            if (list_element(p))
                return p.error;
        }
        emit(p, property ? kOpPropListAppend : kOpListAppend);
        if (p.token == kTokRBracket) {
            advance(p);
            return p.error;
        }
        if (p.token != kTokListSeparator)
            return fail(p, 45);
        advance(p);
        if (list_element(p))
            return p.error;
    }
}

int push_integer(Parser& p)
{
    int32_t value = 0;
    std::from_chars(reinterpret_cast<const char*>(p.data), reinterpret_cast<const char*>(p.data) + p.size, value);
    if (value >= -32768 && value <= 32767)
        return emit(p, kOpPushShort, value);
    uint8_t bytes[4];
    plat::store_u32le(bytes, uint32_t(value));
    return emit(p, kOpPushLong, pool_entry(p, bytes, 4));
}

int primary(Parser& p)
{
    switch (p.token) {
    case kTokLParen:
        advance(p);
        if (expression(p))
            return p.error;
        if (p.token != kTokRParen)
            return fail(p, 8);
        break;
    case kTokInteger: push_integer(p); break;
    case kTokString: emit(p, kOpPushString, pool_text(p)); break;
    case kTokMappedString: emit(p, kOpPushString2, pool_text(p)); break;
    case kTokString2: emit(p, kOpPushMappedString, pool_text(p)); break;
    case kTokReal: emit(p, kOpPushReal, pool_real(p)); break;
    case kTokSymbol: emit(p, kOpPushSymbol, pool_text(p)); break;
    case kTokFalse: case kTokOff: emit(p, kOpPushShort, 0); break;
    case kTokTrue: case kTokOn: emit(p, kOpPushShort, 1); break;
    case kTokVariable: return target(p, false, nullptr);
    case kTokFunction: return call(p);
    case kTokTest: return test(p);
    case kTokLBracket: return list_literal(p);
    default: return fail(p, kErrNoExpression);
    }
    advance(p);
    return p.error;
}

// expression -> target ':=' expression | logical
int expression(Parser& p)
{
    if (p.token == kTokVariable) {
        Mark before = mark(p);
        bool indexed = false;
        if (target(p, true, &indexed) == 0 && p.token == kTokAssign) {
            size_t at = p.position;
            advance(p);
            if (operand_after(p, expression, at))
                return p.error;
            emit(p, indexed ? kOpAssignElement : kOpAssign);
            return p.error;
        }
        rewind(p, before);
    }
    return logical(p);
}

int statement_list(Parser& p);

// The lines of a block up to "end" and the word after it (if or repeat).
int block_end(Parser& p, uint8_t word, int missing_word)
{
    if (p.token == kTokNewLine)
        advance(p);
    if (p.token != kTokEndWord)
        return fail(p, 36);
    advance(p);
    if (p.token != word)
        return fail(p, missing_word);
    advance(p);
    return 0;
}

int else_part(Parser& p)
{
    advance(p);
    if (p.token != kTokNewLine)
        return statement(p);
    if (statement_list(p))
        return p.error;
    return block_end(p, kTokIf, 34);
}

// "else" and its part, jumped over when the condition held.
int else_branch(Parser& p, int if_false)
{
    int over = emit(p, kOpJump);
    patch(p, if_false);
    if (else_part(p))
        return p.error;
    patch(p, over);
    return 0;
}

int if_statement(Parser& p)
{
    advance(p);
    int if_false = condition_jump(p, kTokThen, 35);
    if (if_false < 0)
        return p.error;
    if (p.token == kTokNewLine) {
        if (statement_list(p))
            return p.error;
        if (p.token == kTokNewLine)
            advance(p);
        if (p.token == kTokElse)
            return else_branch(p, if_false);
        if (block_end(p, kTokIf, 34))
            return p.error;
        patch(p, if_false);
        return 0;
    }
    if (statement(p))
        return p.error;
    Mark before = mark(p);
    if (p.token == kTokNewLine)
        advance(p);
    if (p.token == kTokElse)
        return else_branch(p, if_false);
    rewind(p, before);
    patch(p, if_false);
    return 0;
}

// The body of a loop: its header's line end, the statements, "end repeat".
int loop_body(Parser& p)
{
    if (p.token != kTokNewLine)
        return fail(p, 37);
    if (statement_list(p))
        return p.error;
    if (block_end(p, kTokRepeat, 39))
        return p.error;
    emit(p, kOpJump, p.loop->top);
    return p.error;
}

void patch_exits(Parser& p)
{
    for (int jump : p.loop->exits)
        patch(p, jump);
}

int repeat_while(Parser& p)
{
    advance(p);
    p.loop->top = int(p.code.size());
    if (expression(p))
        return p.error;
    p.loop->exits.push_back(emit(p, kOpJumpIfFalse));
    if (loop_body(p))
        return p.error;
    patch_exits(p);
    return 0;
}

// repeat with target := start [down] to end: the target's value steps by one before each
// pass after the first; the end is evaluated again every time.
int repeat_to(Parser& p, bool indexed)
{
    int n = indexed ? 2 : 1;
    emit(p, kOpPick, n);
    if (expression(p))
        return p.error;
    bool down = p.token == kTokDown;
    if (down)
        advance(p);
    if (p.token != kTokTo)
        return fail(p, 40);
    advance(p);
    int to_assign = emit(p, kOpJump);
    p.loop->top = int(p.code.size());
    emit(p, kOpPick, n);
    emit(p, kOpPick, -n);
    if (indexed)
        emit(p, kOpIndex);
    emit(p, kOpPushShort, 1);
    emit(p, kOpArith, down ? kOperMinus : kOperPlus);
    patch(p, to_assign);
    emit(p, indexed ? kOpAssignElement : kOpAssign);
    if (expression(p))
        return p.error;
    emit(p, kOpCompare, down ? kOperGreaterEqual : kOperLessEqual);
    emit(p, kOpNip);
    p.loop->exits.push_back(emit(p, kOpJumpIfFalse));
    if (loop_body(p))
        return p.error;
    patch_exits(p);
    for (int i = 0; i < n; ++i)
        emit(p, kOpPop);
    return p.error;
}

// repeat with target in list: a counter beside the target; the list is evaluated again
// before every pass. The step leaves nothing when the list has no more elements, so only an
// "exit repeat" lands where the target and counter are popped.
int repeat_in(Parser& p, bool indexed)
{
    advance(p);
    emit(p, kOpPushShort, 0);
    p.loop->top = int(p.code.size());
    emit(p, kOpPushShort, 1);
    emit(p, kOpArith, kOperPlus);
    emit(p, kOpPick, indexed ? 3 : 2);
    if (expression(p))
        return p.error;
    emit(p, indexed ? kOpForInStepElement : kOpForInStep);
    int done = emit(p, kOpJumpIfFalse);
    if (loop_body(p))
        return p.error;
    patch_exits(p);
    for (int i = 0; i < (indexed ? 3 : 2); ++i)
        emit(p, kOpPop);
    patch(p, done);
    return p.error;
}

int repeat_with(Parser& p)
{
    advance(p);
    bool indexed = false;
    if (p.token != kTokVariable)
        return fail(p, 40);
    if (target(p, true, &indexed))
        return p.error;
    if (p.token == kTokIn)
        return repeat_in(p, indexed);
    if (p.token != kTokAssign)
        return fail(p, 40);
    advance(p);
    return repeat_to(p, indexed);
}

int repeat_statement(Parser& p)
{
    Loop loop;
    Loop* outer = p.loop;
    p.loop = &loop;
    advance(p);
    if (p.token == kTokWhile)
        repeat_while(p);
    else if (p.token == kTokWith)
        repeat_with(p);
    else
        fail(p, 38);
    p.loop = outer;
    return p.error;
}

int assignment_statement(Parser& p)
{
    bool indexed = false;
    if (target(p, true, &indexed))
        return p.error;
    if (p.token != kTokAssign)
        return fail(p, kErrSyntax);
    size_t at = p.position;
    advance(p);
    if (operand_after(p, expression, at))
        return p.error;
    emit(p, indexed ? kOpAssignElement : kOpAssign);
    emit(p, kOpPop);
    return p.error;
}

int statement(Parser& p)
{
    switch (p.token) {
    case kTokVariable:
        return assignment_statement(p);
    case kTokFunction:
    case kTokTest:
        if (primary(p))
            return p.error;
        emit(p, kOpPop);
        return p.error;
    case kTokIf:
        return if_statement(p);
    case kTokRepeat:
        return repeat_statement(p);
    case kTokExit:
        advance(p);
        if (p.token != kTokRepeat) {
            emit(p, kOpEnd);
            return p.error;
        }
        if (!p.loop)
            return fail(p, 41);
        p.loop->exits.push_back(emit(p, kOpJump));
        advance(p);
        return p.error;
    case kTokNext:
        advance(p);
        if (p.token != kTokRepeat)
            return fail(p, kErrSyntax);
        if (!p.loop)
            return fail(p, 41);
        emit(p, kOpJump, p.loop->top);
        advance(p);
        return p.error;
    default:
        return fail(p, 33);
    }
}

// statements -> [ line end ] statement { line end statement }; the line end after the last
// one is left for the caller.
int statement_list(Parser& p)
{
    if (p.token == kTokNewLine)
        advance(p);
    if (!starts_statement(p.token))
        return 0;
    for (;;) {
        if (statement(p))
            return p.error;
        if (p.token != kTokNewLine)
            return 0;
        Mark before = mark(p);
        advance(p);
        if (!starts_statement(p.token)) {
            rewind(p, before);
            return 0;
        }
    }
}

// The block: pool padded to 4, instructions, the kept stream, the header.
int assemble(Parser& p, std::vector<uint8_t>& block)
{
    emit(p, kOpEnd);
    if (p.error)
        return p.error;
    block = p.pool;
    while (block.size() % 4)
        block.push_back(0);
    size_t start = block.size() / 4;
    for (CodeInstruction in : p.code) {
        uint8_t word[4];
        plat::store_u16le(word, uint16_t(in.opcode));
        plat::store_u16le(word + 2, uint16_t(in.operand));
        block.insert(block.end(), word, word + 4);
    }
    size_t kept = block.size();
    block.insert(block.end(), p.stream.begin(), p.stream.end());
    if (block.size() > kBlockMax)
        return fail(p, kErrTooLong);
    plat::store_u16le(block.data(), uint16_t(block.size()));
    plat::store_u16le(block.data() + 2, uint16_t(start));
    plat::store_u16le(block.data() + 4, uint16_t(kept));
    return 0;
}

} // namespace

int parse_set_calc_context(int flag)
{
    int previous = s_calc_context;
    s_calc_context = flag;
    return previous;
}

int parse_program(const std::vector<uint8_t>& stream, uint32_t context, ParseMode mode,
    std::vector<uint8_t>& block, size_t* error_offset)
{
    Parser p(stream, context);
    p.pool.assign(kCodeHeaderSize, 0);
    p.code.reserve(stream.size() / 4 + 1);
    read_token(p);
    if (mode == kParseStatements) {
        if (statement_list(p) == 0 && p.token == kTokNewLine)
            advance(p);
    } else if (p.token != kTokEnd) {
        expression(p);
    }
    if (!p.error && p.token != kTokEnd)
        fail(p, kErrSyntax);
    if (!p.error)
        assemble(p, block);
    if (p.error) {
        block.clear();
        *error_offset = p.error_position;
    }
    return p.error;
}
