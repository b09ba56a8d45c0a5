// Variables at icons named while a calculation runs (name@"title" and name@expression): the
// icon is found by title or by id, code of a library reaches the icon it runs for through the
// evaluation context, and a variable read in another file is the one of the same name there.
#pragma once
#include <cstdint>

// Errors of a title.
enum : int {
    kEvalNoSuchIcon = 23,
    kEvalTitleNotUnique = 26,
    kEvalBadTitle = 28, // empty or reserved
};

// The node of the file's one icon with that title (equal ignoring case): 0, 23, 26 or 28.
int eval_resolve_icon_title(int file_slot, const char* title, uint32_t* node);

// Replaces the top value, which names an icon, by the value of (or a reference to) the pool
// variable ref at that icon; by the empty value, without an error, when the icon cannot be
// reached or has no such variable.
void eval_icon_variable(uint32_t context, const uint8_t* ref, int as_reference);
