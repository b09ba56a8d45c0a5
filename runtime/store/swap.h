// Byte-order conversion of stored records. A record file may come from a machine of the other
// byte order; its records are turned into the native (little-endian) order when they are
// loaded. Most layouts are byte-string descriptors run by one generic swapper; tagged lists and
// tables of offsets have walks of their own. Everything works on a record's bytes with their
// length: a descriptor, count or tag that reaches past the length is damage (5000), and a
// record is never read or written outside its bytes.
//
// The swap state (enabled, direction) is module state: the primitive swaps do nothing while
// swapping is off, so a converter run by mistake on a native record changes nothing.
#pragma once
#include <cstddef>
#include <cstdint>

// Descriptor codes: a byte string read left to right against the record, ended by 0.
enum : uint8_t {
    kSwapEnd = 0,
    kSwapSkip = 1, // followed by a byte count
    kSwapU16 = 2,
    kSwapTwoU32 = 3,
    kSwapU32 = 4,
    kSwapDouble = 5,
    kSwapBits16 = 16, // followed by a width; pairs whose widths add up to 16 make one word
    kSwapBits32 = 32, // the same for a 32-bit word
};

int swap_enabled();
void swap_set_enabled(int on);
// Nonzero: converting to native order; 0: from native order.
int swap_direction();
void swap_set_direction(int to_native);

// Swapping on in the given direction for the scope's lifetime; the previous state comes back.
class SwapScope {
public:
    explicit SwapScope(int to_native);
    ~SwapScope();
    SwapScope(const SwapScope&) = delete;
    SwapScope& operator=(const SwapScope&) = delete;

private:
    int m_enabled;
    int m_direction;
};

// Reverse the bytes at p; nothing while swapping is off.
void swap_short(uint8_t* p);
void swap_long(uint8_t* p);
void swap_shorts(uint8_t* p, size_t count);
void swap_longs(uint8_t* p, size_t count);
// Unconditional.
void swap_double(uint8_t* p);
uint16_t swap_bytes16(uint16_t value);
uint32_t swap_bytes32(uint32_t value);

// Converts the field at p and returns its native value: a count is read after its conversion
// to native order and before its conversion from it.
uint16_t swap_take_u16(uint8_t* p);
uint32_t swap_take_u32(uint8_t* p);

// Bytes a descriptor describes.
size_t swap_descriptor_size(const uint8_t* descriptor);
// Runs the descriptor over the record: the bytes described, or -1 (record untouched) when the
// record is shorter than the descriptor.
int64_t swap_by_descriptor(uint8_t* record, size_t size, const uint8_t* descriptor);
// Runs it count times over consecutive records: 0, or 5000 (nothing touched) when they do not
// fit in size.
int swap_records(uint8_t* records, size_t size, const uint8_t* descriptor, size_t count);

// Converts the data of one tag of a tagged list: 0 or an error.
using SwapTagData = int (*)(uint16_t tag, uint8_t* data, size_t length, void* user);
// Walks a TagList {u16 tag, u16 length, data padded to even} ended by tag 0 within size bytes,
// converting each tag and length and handing the data to convert (which may be null): 0, 5000
// when a record or the terminator is not within size, or convert's error.
int swap_taglist(uint8_t* list, size_t size, int to_native, SwapTagData convert, void* user);
// The same walk with each tag's data converted by the list kind and the tag: 0, 5000 or 8005.
int swap_typed_taglist(uint8_t* list, size_t size, int kind, int to_native);
// A 16-byte typed value (the calculation language's stored value).
void swap_typed_value(uint8_t* value);
// A table of offsets whose first entry is the table's size in bytes: the table is converted
// and *entries receives its entry count; 5000 when the table does not fit in size.
int swap_offset_table16(uint8_t* block, size_t size, size_t* entries);
int swap_offset_table32(uint8_t* block, size_t size, size_t* entries);

// Converters that other modules own (text styles, pictures, fonts, buttons, compiled
// calculations, trigger data, text objects, displays) are lent here when those modules start.
enum SwapHookKind : int {
    kSwapHookTextStyles, // record type 25
    kSwapHookPicture, // record type 52
    kSwapHookFont, // font tags of record type 40 and typed lists of kind 18
    kSwapHookButton, // typed lists of kind 16
    kSwapHookButtonImage, // typed lists of kind 17
    kSwapHookCalc, // property tags 1000-2999
    kSwapHookTrigger, // property tags 3000-4999
    kSwapHookTextObject, // property tag 15
    kSwapHookDisplay, // property tag 17
    kSwapHookCount,
};
// Converts data of the given length in the given direction: 0 or an error (tag 0 for whole
// records).
using SwapHook = int (*)(uint16_t tag, uint8_t* data, size_t length, int to_native);
void swap_set_hook(SwapHookKind kind, SwapHook hook);
// The hook's result; 8005 while no module lent it.
int swap_call_hook(SwapHookKind kind, uint16_t tag, uint8_t* data, size_t length);

// Swapping off, no hooks (tests).
void swap_reset();
