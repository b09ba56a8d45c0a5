// ScriptValue: the one 16-byte value of the calculation language. Its bytes are a stored layout
// (saved lists write them unchanged), so every field is read and written little-endian at its
// offset. A value owns a storage-1 text block and one reference of an object value, nothing
// else; moving the 16 bytes moves that ownership, val_copy duplicates it.
#pragma once
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "platform/kernel/byte_io.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

struct ScriptValue {
    uint8_t bytes[16];
};

enum ScriptValueType : uint8_t {
    kValString = 0,
    kValInteger = 1,
    kValReal = 2,
    kValReference = 3,
    kValSymbol = 4,
    kValRect = 5,
    kValPoint = 6,
    kValLinearList = 7,
    kValPropList = 8,
    kValEventList = 9,
    kValNumber = 16,  // conversion target: integer or real as the text asks
    kValLogical = 17, // descriptors only: an integer 0 or 1
    kValAny = 18,     // conversion target: no change
};

enum ScriptStringStorage : uint8_t {
    kStoreInline = 0,  // the eight bytes at +8
    kStoreHandle = 1,  // a MemHandle at +8, owned
    kStoreRecord = 2,  // u16 record number at +8, u16 file slot at +10
    kStoreLearner = 3, // u16 record number of the learner's records at +8
    kStoreAddress = 4, // a plain address at +8 (constants of running code)
};

// Value errors (list operations share them).
enum : int {
    kValErrNoMemory = 8,
    kValErrBadList = 8004,
    kValErrNoRestore = 8006,
    kValErrDeadObject = 8010,
};

constexpr int kValInlineMax = 8; // bytes of an inline text, NUL included

inline bool val_is_object_type(int type) { return type >= kValRect && type <= kValEventList; }

// A field's word read whole on a little-endian host: put together from bytes, the compiler
// does not always merge the loads, and the interpreter reads operands by the million.
inline uint32_t val_u32(const ScriptValue& v, int offset)
{
    if constexpr (std::endian::native == std::endian::little) {
        uint32_t x;
        std::memcpy(&x, v.bytes + offset, sizeof x);
        return x;
    }
    return plat::load_u32le(v.bytes + offset);
}

// Field access (inline: the interpreter reads them for every operand).
inline int val_type(const ScriptValue& v) { return v.bytes[1]; }
inline int val_storage(const ScriptValue& v) { return v.bytes[2]; }
// String length including the NUL.
inline int32_t val_length(const ScriptValue& v) { return int32_t(val_u32(v, 4)); }
inline int32_t val_integer(const ScriptValue& v) { return int32_t(val_u32(v, 2)); }
inline double val_real(const ScriptValue& v)
{
    uint64_t bits = uint64_t(val_u32(v, 2)) | uint64_t(val_u32(v, 6)) << 32;
    double x;
    std::memcpy(&x, &bits, sizeof x);
    return x;
}
inline uint32_t val_word(const ScriptValue& v) { return val_u32(v, 2); } // the first payload word
inline uint32_t val_object_id(const ScriptValue& v) { return val_u32(v, 2); }
inline uint32_t val_stamp(const ScriptValue& v) { return val_u32(v, 10); }
inline uint16_t val_u16(const ScriptValue& v, int offset) { return plat::load_u16le(v.bytes + offset); }
inline void val_put_u16(ScriptValue& v, int offset, uint16_t x) { plat::store_u16le(v.bytes + offset, x); }
inline void val_put_u32(ScriptValue& v, int offset, uint32_t x) { plat::store_u32le(v.bytes + offset, x); }

// Writes bytes 0-7 and 8-15 as two little-endian words at once: a value assembled from byte
// stores and copied whole soon after stalls the processor, which cannot forward narrow stores
// to a wide load, and the interpreter copies every value it pushes. Where the processor has
// 16-byte stores the value is written by one, as two 8-byte halves stall such a copy too.
inline void val_store_words(ScriptValue& v, uint64_t low, uint64_t high)
{
#if defined(__SSE2__)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(v.bytes), _mm_set_epi64x(int64_t(high), int64_t(low)));
    return;
#endif
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(v.bytes, &low, 8);
        std::memcpy(v.bytes + 8, &high, 8);
    } else {
        for (int i = 0; i < 8; ++i) {
            v.bytes[i] = uint8_t(low >> 8 * i);
            v.bytes[8 + i] = uint8_t(high >> 8 * i);
        }
    }
}

// Constructors; each first clears all 16 bytes.
inline void val_init(ScriptValue& v) { val_store_words(v, 0, 0); }
inline void val_set_integer(int32_t x, ScriptValue& out)
{
    val_store_words(out, uint64_t(kValInteger) << 8 | uint64_t(uint32_t(x)) << 16, 0);
}
inline void val_set_real(double x, ScriptValue& out)
{
    uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    val_store_words(out, uint64_t(kValReal) << 8 | bits << 16, bits >> 48);
}
void val_set_symbol(uint32_t id, ScriptValue& out);
void val_set_raw(int type, uint32_t payload, ScriptValue& out);
// An object value {type, id, address 0, stamp}.
void val_set_object(int type, uint32_t id, uint32_t stamp, ScriptValue& out);
// A reference {variable id, at-flag, icon}.
inline void val_set_reference(uint16_t variable, uint16_t at_flag, uint16_t icon, ScriptValue& out)
{
    val_store_words(out,
        uint64_t(kValReference) << 8 | uint64_t(variable) << 16 | uint64_t(at_flag) << 32 | uint64_t(icon) << 48, 0);
}
// 1, or 0 when no block could be had: the first 7 characters are then kept inline.
int val_set_string(ScriptValue& out, const char* text);
int val_set_string_n(ScriptValue& out, const char* text, size_t length);
// Appends length bytes to a string of storage 0 or 1 (its block grown, or made when an inline
// text outgrows its 8 bytes): 1; 0 without memory; -1 for another value or a text that would
// pass limit bytes. v is unchanged unless it answers 1.
int val_append_text(ScriptValue& v, const char* text, size_t length, size_t limit);
// A string of storage 4 that points at text (which must outlive the value).
void val_set_constant(ScriptValue& out, const char* text, size_t length);
// Adopts a block holding a NUL-terminated text: the length including the NUL.
int32_t val_take_string(ScriptValue& out, uint32_t handle);

// A value that owns something: a text block or an object reference (strings of other storage
// are copied as texts of their own).
inline bool val_owns(const ScriptValue& v)
{
    return (v.bytes[1] == kValString && v.bytes[2] == kStoreHandle) || val_is_object_type(v.bytes[1]);
}
void val_free_owned(ScriptValue& v);
int val_copy_owned(ScriptValue& dst, const ScriptValue& src);

// Releases what the value owns and leaves the empty value.
inline void val_free(ScriptValue& v)
{
    if (val_owns(v))
        val_free_owned(v);
    else
        val_init(v);
}
// 0; 8 when a text could not be copied; 8010 for an object that has gone (dst is then empty).
inline int val_copy(ScriptValue& dst, const ScriptValue& src)
{
    if (src.bytes[1] == kValString || val_is_object_type(src.bytes[1]))
        return val_copy_owned(dst, src);
    dst = src;
    return 0;
}

// The characters of a string value, by storage; a static "" for anything else. Every lock is
// paired with an unlock of the same value.
const char* var_lock_value_data(const ScriptValue& v);
void var_unlock_value_data(const ScriptValue& v);

int val_is_empty_string(const ScriptValue& v);
// 0 or 1; scalars are rewritten as integer 0 or 1.
int val_is_true_other(ScriptValue& v);
inline int val_is_true(ScriptValue& v)
{
    if (v.bytes[1] != kValInteger)
        return val_is_true_other(v); // texts, symbols and reals are converted first
    int truth = val_integer(v) != 0;
    val_set_integer(truth, v);
    return truth;
}
int val_equal(const ScriptValue& a, const ScriptValue& b);
int val_compare_text(const ScriptValue& a, const ScriptValue& b);
int val_compare_chars(const char* a, const char* b);
// 1 when text is one of the words of entry 53 (truth 1) or 54 (truth 0).
int val_is_logical_word(const char* text, int* truth);

// Conversions in place: the resulting type.
int val_convert(ScriptValue& v, int target);
int val_convert_formatted(ScriptValue& v, int target, int use_default, uint32_t format);
int val_convert_object(ScriptValue& v, int target, int use_default, uint32_t format);
// 1, or 0 when the text could not be stored (the interpreter's error word becomes 11).
int val_number_to_text(const ScriptValue& number, ScriptValue& out, int use_default, uint32_t format);
// Number text of an integer or real into buf.
void val_format_number(const ScriptValue& number, char* buf, size_t size, int use_default, uint32_t format);
// The text rules: a string's characters as an integer or a real.
int32_t val_text_to_integer(const char* text);
double val_text_to_real(const char* text);
