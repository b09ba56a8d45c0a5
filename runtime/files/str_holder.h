// StringHolder: one NUL-terminated text in a movable block, the text store of every path
// FileSpec, of file-reference items and of download streams. An empty holder has no
// block and size 0; a holder of "" (size 1) also counts as empty. Sizes count the NUL.
// Failures are 8 (no memory) and 8004 (a text longer than allowed); the holder is then as
// before the call.
#pragma once
#include "runtime/base/mem.h"

#include <cstdint>
#include <string>

struct StringHolder {
    MemHandle text; // the text with its NUL; null when empty
    char* locked = nullptr; // the text's address while locked
    int32_t size = 0; // bytes including the NUL; 0 when empty
};

void str_holder_init(StringHolder& holder);
// Frees the text (a locked holder is unlocked first).
void str_holder_destroy(StringHolder& holder);
// Frees the block; size 0.
void str_holder_clear(StringHolder& holder);
// Replaces the text with a copy of text (null empties); 0 or 8.
int str_holder_set(StringHolder& holder, const char* text);
// As str_holder_set, but 8004 (text kept) when text is longer than max characters.
int str_holder_set_checked(StringHolder& holder, const char* text, int max);
// A copy of the source's text; 0 or 8.
int str_holder_assign(StringHolder& holder, const StringHolder& source);
// Appends whole characters of text, at most max - 1 bytes of it; 0 or 8.
int str_holder_append(StringHolder& holder, const char* text, int max);
// Replaces the bytes [start, start + length) by text (length is cut at the end of the text);
// length then holds the new span's length and delta the change of the text's length. 0, 8,
// or 8004 for a start outside the text.
int str_holder_replace_range(
    StringHolder& holder, const char* text, int start, int* length, int* delta);
// 1 when the holder has a block and more than the NUL.
int str_holder_not_empty(const StringHolder& holder);
// Pins the text and gives its address; an empty holder gets a one-byte block holding "".
// Null when that block cannot be made.
char* str_holder_lock(StringHolder& holder);
// Rewrites the NUL at size - 1 and unpins the text.
void str_holder_unlock(StringHolder& holder);
// Characters before the NUL: size - 1, 0 when empty.
int str_holder_length(const StringHolder& holder);
// length + 1.
int str_holder_size(const StringHolder& holder);
// Makes room for more bytes beyond the NUL (the text and size stay); 8 when locked or when
// the block cannot grow.
int str_holder_grow(StringHolder& holder, int more);
// 1 when both texts are equal ignoring case; an empty or null holder equals an empty one.
int str_holder_equal_nocase(const StringHolder* a, const StringHolder* b);
// Copies the text into buffer, cut to size - 1 bytes of whole characters; "" when empty.
void str_holder_copy_out(const StringHolder& holder, char* buffer, int size);
// The text as a string ("" when empty).
std::string str_holder_string(const StringHolder& holder);
