#include "runtime/calc/value.h"

#include "platform/kernel/byte_io.h"
#include "platform/kernel/resource.h"
#include "runtime/base/mem.h"
#include "runtime/base/str.h"
#include "runtime/base/str_edit.h"
#include "runtime/base/symdict.h"
#include "runtime/calc/calc_hooks.h"
#include "runtime/calc/interp.h"
#include "runtime/calc/list_table.h"
#include "runtime/store/rec_store.h"
#include "runtime/text/intl.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

using plat::load_u16le;
using plat::load_u32le;
using plat::store_u32le;

constexpr uint32_t kDefaultRealFormat = 0x80B; // 11 decimals, trailing zeros dropped
constexpr int kSymbolTextMax = 130;
constexpr int kNumberCharsSize = 50;
constexpr size_t kTextSlack = 32; // a text block's size is a multiple of this

// Records held by var_lock_value_data until their unlock: record ids of storage 2, and
// learner's-record numbers of storage 3 marked by the top bit. A lock that found nothing
// leaves no entry, so its unlock releases nothing.
static std::vector<uint32_t> s_held;
static const char kEmpty[1] = { 0 };

// The characters of a string value, and their count when length is not null (texts in blocks
// are measured as they are found ended); a lock as var_lock_value_data's.
static const char* lock_text(const ScriptValue& v, size_t* length);
static const char* ended_text(const char* p, size_t size, size_t* length);

void val_set_symbol(uint32_t id, ScriptValue& out) { val_set_raw(kValSymbol, id, out); }

void val_set_raw(int type, uint32_t payload, ScriptValue& out)
{
    val_init(out);
    out.bytes[1] = uint8_t(type);
    store_u32le(out.bytes + 2, payload);
}

void val_set_object(int type, uint32_t id, uint32_t stamp, ScriptValue& out)
{
    // The address field at +6 stays 0: objects are found by id and stamp alone.
    val_set_raw(type, id, out);
    store_u32le(out.bytes + 10, stamp);
}

int val_set_string_n(ScriptValue& out, const char* text, size_t length)
{
    val_init(out);
    if (length + 1 <= size_t(kValInlineMax)) {
        std::memcpy(out.bytes + 8, text, length);
        store_u32le(out.bytes + 4, uint32_t(length + 1));
        return 1;
    }
    // A little room to spare: a text copied out of a variable is often joined to at once.
    MemHandle block = length < 0x7FFFFFFF - kTextSlack ? mem_alloc((length + kTextSlack) & ~size_t(kTextSlack - 1), kMemMovableZero) : MemHandle {};
    uint8_t* p = block ? static_cast<uint8_t*>(mem_address(block)) : nullptr;
    if (!p) {
        mem_free(block);
        std::memcpy(out.bytes + 8, text, kValInlineMax - 1);
        store_u32le(out.bytes + 4, kValInlineMax);
        return 0;
    }
    std::memcpy(p, text, length);
    p[length] = 0;
    out.bytes[2] = kStoreHandle;
    store_u32le(out.bytes + 4, uint32_t(length + 1));
    store_u32le(out.bytes + 8, block.id);
    return 1;
}

int val_set_string(ScriptValue& out, const char* text) { return val_set_string_n(out, text, std::strlen(text)); }

int val_append_text(ScriptValue& v, const char* text, size_t length, size_t limit)
{
    if (v.bytes[1] != kValString || (v.bytes[2] != kStoreInline && v.bytes[2] != kStoreHandle))
        return -1;
    // A block's text is measured where it lies, without a lock: nothing moves it meanwhile.
    bool in_block = v.bytes[2] == kStoreHandle;
    MemHandle block { in_block ? load_u32le(v.bytes + 8) : 0u };
    size_t size = mem_size(block);
    uint8_t* p = static_cast<uint8_t*>(mem_address(block));
    size_t have = 0;
    if (in_block)
        ended_text(reinterpret_cast<const char*>(p), size, &have);
    else
        lock_text(v, &have);
    size_t total = have + length;
    if (total > limit || total >= 0x7FFFFFFF)
        return -1;
    if (!in_block && total + 1 <= size_t(kValInlineMax)) {
        std::memcpy(v.bytes + 8 + have, text, length);
        v.bytes[8 + total] = 0;
        store_u32le(v.bytes + 4, uint32_t(total + 1));
        return 1;
    }
    if (in_block) {
        // Grown in place with room to spare, as texts are often joined in turn; the text
        // appended lives in another block or outside them.
        if (size < total + 1) {
            block = mem_realloc(block, int64_t(total + 1 + total / 2), kMemMovable);
            p = block ? static_cast<uint8_t*>(mem_address(block)) : nullptr;
        }
    } else {
        block = mem_alloc(total + 1, kMemMovable);
        p = block ? static_cast<uint8_t*>(mem_address(block)) : nullptr;
        if (p)
            std::memcpy(p, v.bytes + 8, have);
    }
    if (!p)
        return 0;
    std::memcpy(p + have, text, length);
    p[total] = 0;
    v.bytes[2] = kStoreHandle;
    store_u32le(v.bytes + 4, uint32_t(total + 1));
    store_u32le(v.bytes + 8, block.id);
    return 1;
}

void val_set_constant(ScriptValue& out, const char* text, size_t length)
{
    val_init(out);
    out.bytes[2] = kStoreAddress;
    store_u32le(out.bytes + 4, uint32_t(length + 1));
    std::memcpy(out.bytes + 8, &text, sizeof text);
}

int32_t val_take_string(ScriptValue& out, uint32_t handle)
{
    val_init(out);
    MemHandle block { handle };
    const char* p = block ? static_cast<const char*>(mem_address(block)) : nullptr;
    size_t size = block ? mem_size(block) : 0;
    if (!p || size == 0)
        return 1;
    size_t length = strnlen(p, size);
    if (length == size) { // no NUL inside: keep what is there, ended
        int ok = val_set_string_n(out, p, length);
        mem_free(block);
        return ok ? int32_t(length + 1) : kValInlineMax;
    }
    if (length + 1 <= size_t(kValInlineMax)) {
        val_set_string_n(out, p, length);
        mem_free(block);
        return int32_t(length + 1);
    }
    out.bytes[2] = kStoreHandle;
    store_u32le(out.bytes + 4, uint32_t(length + 1));
    store_u32le(out.bytes + 8, handle);
    return int32_t(length + 1);
}

void val_free_owned(ScriptValue& v)
{
    if (v.bytes[1] == kValString && v.bytes[2] == kStoreHandle)
        mem_free(MemHandle { load_u32le(v.bytes + 8) });
    else if (val_is_object_type(v.bytes[1]))
        list_release(v);
    val_init(v);
}

int val_copy_owned(ScriptValue& dst, const ScriptValue& src)
{
    ScriptValue from = src; // dst may be src
    if (from.bytes[1] == kValString) {
        size_t length;
        const char* text = lock_text(from, &length);
        int ok = val_set_string_n(dst, text, length);
        var_unlock_value_data(from);
        return ok ? 0 : kValErrNoMemory;
    }
    if (val_is_object_type(from.bytes[1]) && list_add_ref(from) == kListNotLive) {
        val_init(dst);
        return kValErrDeadObject;
    }
    dst = from;
    return 0;
}

// The text of size bytes at p when a NUL ends it inside them, else the empty text.
static const char* ended_text(const char* p, size_t size, size_t* length)
{
    size_t n = p ? strnlen(p, size) : size;
    if (n >= size)
        return kEmpty;
    if (length)
        *length = n;
    return p;
}

static void drop_held(uint32_t key)
{
    auto it = std::find(s_held.rbegin(), s_held.rend(), key);
    if (it != s_held.rend())
        s_held.erase(std::next(it).base());
}

static const char* measured(const char* text, size_t* length)
{
    if (length)
        *length = std::strlen(text);
    return text;
}

static const char* lock_text(const ScriptValue& v, size_t* length)
{
    if (length)
        *length = 0;
    if (v.bytes[1] != kValString)
        return measured(kEmpty, length);
    switch (v.bytes[2]) {
    case kStoreInline: // a restored value may lack the NUL: then it reads empty
        return measured(std::memchr(v.bytes + 8, 0, kValInlineMax) ? reinterpret_cast<const char*>(v.bytes + 8) : kEmpty, length);
    case kStoreHandle: {
        MemHandle block { load_u32le(v.bytes + 8) };
        const char* p = static_cast<const char*>(mem_lock(block));
        if (!p)
            return measured(kEmpty, length);
        return ended_text(p, mem_size(block), length);
    }
    case kStoreRecord: {
        RecordId id = rec_make_id(load_u16le(v.bytes + 10), load_u16le(v.bytes + 8));
        MemHandle block = rec_get(id);
        if (!block)
            return measured(kEmpty, length);
        s_held.push_back(id);
        return ended_text(static_cast<const char*>(mem_lock(block)), mem_size(block), length);
    }
    case kStoreLearner: {
        auto lock = calc_hooks().learner_string_lock;
        const char* text = lock ? lock(load_u16le(v.bytes + 8)) : nullptr;
        if (!text)
            return measured(kEmpty, length);
        s_held.push_back(0x80000000u | load_u16le(v.bytes + 8));
        return measured(text, length);
    }
    case kStoreAddress: {
        const char* text;
        std::memcpy(&text, v.bytes + 8, sizeof text);
        return measured(text ? text : kEmpty, length);
    }
    default:
        return measured(kEmpty, length);
    }
}

const char* var_lock_value_data(const ScriptValue& v) { return lock_text(v, nullptr); }

void var_unlock_value_data(const ScriptValue& v)
{
    if (v.bytes[1] != kValString)
        return;
    if (v.bytes[2] == kStoreHandle) {
        mem_unlock(MemHandle { load_u32le(v.bytes + 8) });
    } else if (v.bytes[2] == kStoreRecord) {
        RecordId id = rec_make_id(load_u16le(v.bytes + 10), load_u16le(v.bytes + 8));
        if (std::find(s_held.begin(), s_held.end(), id) == s_held.end())
            return;
        drop_held(id);
        mem_unlock(rec_peek(id));
        rec_release(id, kReleaseOne);
    } else if (v.bytes[2] == kStoreLearner) {
        uint32_t key = 0x80000000u | load_u16le(v.bytes + 8);
        if (std::find(s_held.begin(), s_held.end(), key) == s_held.end())
            return;
        drop_held(key);
        if (auto unlock = calc_hooks().learner_string_unlock)
            unlock(load_u16le(v.bytes + 8));
    }
}

int val_is_empty_string(const ScriptValue& v)
{
    return v.bytes[1] == kValString && v.bytes[2] == kStoreInline && v.bytes[8] == 0;
}

int val_is_true_other(ScriptValue& v)
{
    int type = v.bytes[1];
    if (type == kValString || type == kValSymbol)
        type = val_convert(v, kValInteger);
    if (type == kValReal) {
        int truth = val_real(v) != 0.0; // -0.0 == 0.0 as well
        val_set_integer(truth, v);
        return truth;
    }
    if (type == kValInteger)
        return val_is_true(v);
    return val_word(v) != 0;
}

int val_equal(const ScriptValue& a, const ScriptValue& b)
{
    if (a.bytes[1] != b.bytes[1])
        return 0;
    switch (a.bytes[1]) {
    case kValString:
        return val_compare_text(a, b) == 0;
    case kValReal:
        return val_real(a) == val_real(b);
    case kValReference:
        return 0;
    default:
        return val_word(a) == val_word(b);
    }
}

int val_compare_chars(const char* a, const char* b)
{
    for (size_t i = 0;; ++i) {
        uint8_t x = uint8_t(a[i]), y = uint8_t(b[i]);
        if (x >= 0x80 || y >= 0x80)
            return str_compare_locale(a + i, b + i);
        if (x != y)
            return int(x) - int(y);
        if (x == 0)
            return 0;
    }
}

int val_compare_text(const ScriptValue& a, const ScriptValue& b)
{
    if (a.bytes[1] != kValString || b.bytes[1] != kValString)
        return 0;
    int storage = a.bytes[2];
    if (storage == b.bytes[2] && (storage == kStoreLearner || storage == kStoreRecord)) {
        bool same = load_u16le(a.bytes + 8) == load_u16le(b.bytes + 8)
            && (storage == kStoreLearner || load_u16le(a.bytes + 10) == load_u16le(b.bytes + 10));
        if (same)
            return 0;
    }
    const char* x = var_lock_value_data(a);
    const char* y = var_lock_value_data(b);
    int result = val_compare_chars(x, y);
    var_unlock_value_data(b);
    var_unlock_value_data(a);
    return result;
}

static int matches_word_list(uint32_t entry, const char* text)
{
    char words[128];
    plat::load_string(plat::ModuleHandle {}, entry, words, int(sizeof words));
    char* state = nullptr;
    for (char* w = str_tokenize(words, ",", &state); w; w = str_tokenize(nullptr, ",", &state))
        if (str_compare_nocase_locale(w, text) == 0)
            return 1;
    return 0;
}

int val_is_logical_word(const char* text, int* truth)
{
    if (matches_word_list(53, text)) {
        *truth = 1;
        return 1;
    }
    if (matches_word_list(54, text)) {
        *truth = 0;
        return 1;
    }
    return 0;
}

// The logical word's truth (1 returned), else the number characters of text in kept (0).
static int pick_number(const char* text, char* kept, int* truth)
{
    if (val_is_logical_word(text, truth))
        return 1;
    char locale[2] = { intl_decimal_char(), 0 };
    str_keep_number_chars(kept, kNumberCharsSize, text, locale);
    return 0;
}

int32_t val_text_to_integer(const char* text)
{
    char kept[kNumberCharsSize];
    int truth;
    return pick_number(text, kept, &truth) ? truth : str_to_int(kept);
}

double val_text_to_real(const char* text)
{
    char kept[kNumberCharsSize];
    int truth;
    // Only digits, signs and "." survive, so strtod sees no exponent, hex or "inf".
    return pick_number(text, kept, &truth) ? truth : std::strtod(kept, nullptr);
}

// Truncation toward zero that saturates; NaN gives 0.
static int32_t real_to_int(double x)
{
    if (std::isnan(x))
        return 0;
    if (x >= 2147483647.0)
        return INT32_MAX;
    if (x <= -2147483648.0)
        return INT32_MIN;
    return int32_t(x);
}

void val_format_number(const ScriptValue& number, char* buf, size_t size, int use_default, uint32_t format)
{
    if (number.bytes[1] != kValReal && (use_default || format == 0) && size > 11) {
        // Plain digits: what the locale's number text gives without a format, by the shortest way.
        *std::to_chars(buf, buf + size - 1, val_integer(number)).ptr = 0;
        return;
    }
    if (number.bytes[1] == kValReal)
        intl_format_number(val_real(number), use_default ? kDefaultRealFormat : format, buf, size);
    else
        intl_format_integer(val_integer(number), use_default ? 0 : format, buf, size);
}

int val_number_to_text(const ScriptValue& number, ScriptValue& out, int use_default, uint32_t format)
{
    char buf[400];
    val_format_number(number, buf, sizeof buf, use_default, format);
    if (val_set_string(out, buf))
        return 1;
    eval_set_error(11);
    return 0;
}

static int text_is_real(const char* text)
{
    if (std::strlen(text) > 9 || std::strchr(text, '.'))
        return 1;
    char decimal = intl_decimal_char();
    return decimal && std::strchr(text, decimal) != nullptr;
}

static void symbol_text(uint32_t id, char* buf) // buf of kSymbolTextMax + 2
{
    buf[0] = '#';
    buf[1] = 0;
    if (!symdict_name(id, buf + 1, kSymbolTextMax + 1))
        buf[1] = 0;
}

// A string's new value for a scalar target.
static void from_text(const char* text, int target, ScriptValue& out)
{
    if (target == kValNumber)
        target = text_is_real(text) ? kValReal : kValInteger;
    if (target == kValInteger)
        val_set_integer(val_text_to_integer(text), out);
    else if (target == kValReal)
        val_set_real(val_text_to_real(text), out);
    else if (target == kValSymbol)
        val_set_symbol(symdict_intern(text[0] == '#' ? text + 1 : text, 1), out);
    else
        val_set_reference(0, 0, 0, out);
}

static int from_scalar(ScriptValue& v, int target, int use_default, uint32_t format)
{
    ScriptValue out;
    val_init(out);
    int type = v.bytes[1];
    if (target == kValReference) {
        val_set_reference(0, 0, 0, out);
    } else if (type == kValString) {
        const char* text = var_lock_value_data(v);
        from_text(text, target, out);
        var_unlock_value_data(v);
    } else if (type == kValSymbol) {
        char text[kSymbolTextMax + 2];
        symbol_text(val_word(v), text);
        if (target == kValString)
            val_set_string(out, text);
        else
            from_text(text, target, out);
    } else if (type == kValReference) {
        if (target == kValInteger || target == kValNumber)
            val_set_integer(0, out);
        else if (target == kValReal)
            val_set_real(0.0, out);
        else if (target == kValSymbol)
            val_set_symbol(0, out);
    } else if (target == kValString) {
        if (!val_number_to_text(v, out, use_default, format))
            val_init(out);
    } else if (target == kValNumber) {
        out = v;
    } else if (type == kValInteger) {
        if (target == kValReal)
            val_set_real(val_integer(v), out);
        else
            val_set_symbol(uint32_t(val_integer(v)), out);
    } else { // real
        int32_t n = real_to_int(val_real(v));
        if (target == kValInteger)
            val_set_integer(n, out);
        else
            val_set_symbol(uint32_t(n), out);
    }
    val_free(v);
    v = out;
    return v.bytes[1];
}

int val_convert_formatted(ScriptValue& v, int target, int use_default, uint32_t format)
{
    int type = v.bytes[1];
    if (target == type || target == kValAny)
        return type;
    if (val_is_object_type(type) || val_is_object_type(target))
        return val_convert_object(v, target, use_default, format);
    if (target != kValString && target != kValInteger && target != kValReal && target != kValSymbol
        && target != kValNumber && target != kValReference)
        return type;
    return from_scalar(v, target, use_default, format);
}

int val_convert(ScriptValue& v, int target) { return val_convert_formatted(v, target, 1, 0); }

static void object_to_scalar(const ScriptValue& v, int target, int use_default, uint32_t format, ScriptValue& out)
{
    val_init(out);
    if (target == kValString) {
        MemHandle text = list_to_text(v, use_default, format, 0);
        if (text)
            val_take_string(out, text.id);
    } else if (target == kValInteger) {
        val_set_integer(0, out);
    } else if (target == kValReal) {
        val_set_real(0.0, out);
    } else if (target == kValSymbol) {
        val_set_symbol(0, out);
    } else if (target == kValReference) {
        val_set_reference(0, 0, 0, out);
    }
}

int val_convert_object(ScriptValue& v, int target, int use_default, uint32_t format)
{
    ScriptValue out;
    val_init(out);
    int source_is_object = val_is_object_type(v.bytes[1]);
    if (val_is_object_type(target)) {
        int count = source_is_object ? list_count(v) : 0;
        ScriptValue initial;
        val_init(initial);
        if (!list_new(target, target == kValLinearList || target >= kValPropList ? 0 : count, out)) {
            eval_set_error(11);
            val_init(out);
        } else if (source_is_object) {
            for (int i = 1; i <= count; ++i) {
                ScriptValue element;
                if (list_get_element(v, i, element) != 0)
                    break;
                int status = list_set_element(out, i, element);
                val_free(element);
                if (status != 0)
                    break;
            }
        }
    } else if (source_is_object) {
        object_to_scalar(v, target, use_default, format, out);
    } else {
        return v.bytes[1];
    }
    val_free(v);
    v = out;
    return v.bytes[1];
}
