// SymbolDict: the one dictionary of symbols of the calculation language for the whole run. A
// symbol id (1 up; 0 is none) is a SymbolTable number whose value is the offset of the name in
// a StringPool. Names match ignoring case; the form first added is the one kept. The variable
// store saves the dictionary with the learner's records and attaches it again on resume.
#pragma once
#include <cstddef>
#include <cstdint>

#include "runtime/base/mem.h"

// 0, or 8 when the dictionary cannot be made; a second call does nothing.
int symdict_create();
// Deletes the dictionary (at shutdown, and between tests).
void symdict_release();
// The name's id, adding it when new; 0 for a null or empty name, before symdict_create or out
// of memory. With trim the name is first cut to the identifier at its start (a letter or "_",
// then letters, digits and "_"); none there gives 0.
uint32_t symdict_intern(const char* name, int trim);
// 1 when the id is known and its name was copied into buffer.
int symdict_name(uint32_t id, char* buffer, size_t size);
// The name's id, or 0.
uint32_t symdict_find(const char* name);
// The name's id, adding it when new.
uint32_t symdict_lookup_or_add(const char* name);
// Hands the table block (and its size) and the pool block (and its used length) to the caller
// and leaves the dictionary empty; all 0 when there was no table.
void symdict_detach(MemHandle* table, size_t* table_size, MemHandle* pool, uint32_t* pool_used);
// Adopts a saved table of table_size bytes and pool: 0, with both blocks now the dictionary's;
// kErrFileDamaged, with nothing changed and the blocks still the caller's, when either is
// damaged or a symbol's name lies outside the pool; 8 before symdict_create.
int symdict_attach(MemHandle table, size_t table_size, MemHandle pool);
