// The plain functions through which the runtime uses file specs. Each takes the spec
// as an opaque pointer, checks it and calls the spec's operation; null is accepted everywhere:
// setters and getters answer 8004 (unless a line says otherwise), tests answer 0. Buffers come
// with their size and always receive a NUL-terminated text within it.
#pragma once
#include "runtime/files/fspec.h"
#include "runtime/base/mem.h"

#include <cstdint>

// --- making and freeing ------------------------------------------------------------------

// A new empty disk spec (from the pool when one is free); null when memory is short.
FileSpec* fspec_new();
// A new empty memory-based spec; null when memory is short.
FileSpec* fspec_new_memory();
// A new disk spec set to the path: 0; 8 (no spec, out untouched); or the setter's error with
// the spec in out all the same.
int fspec_from_path(const char* path, FileSpec** out);
// A new disk spec with the folder set; as fspec_from_path.
int fspec_from_folder(const char* folder, FileSpec** out);
// A new disk spec set from a file reference; as fspec_from_path. changed may be null.
int fspec_from_fileref(FileRef* ref, FileSpec** out, int* changed);
// A new spec of the same kind and contents (memory specs copy their data); null on failure.
FileSpec* fspec_clone(const FileSpec* spec);
// Copies contents between specs of the same kind; 8004 for null or different kinds.
int fspec_copy(FileSpec* destination, const FileSpec* source);
// Returns a pooled spec to the pool, destroys any other; null does nothing.
void fspec_free(FileSpec* spec);

// File references of the plug-in host; null or 8 while no host lends its service.
FileRef* fspec_fileref_new();
FileRef* fspec_fileref_from_data(MemHandle data, int32_t length);
int fspec_fileref_set(FileRef* ref, FileSpec* spec);
void fspec_fileref_free(FileRef* ref);

// --- setters -----------------------------------------------------------------------------

// The disk path (parsed and rewritten) or an Internet spec's URL; 8004 for a memory spec.
int fspec_set_path(FileSpec* spec, const char* path);
int fspec_set_folder(FileSpec* spec, const char* folder);
// The folder from a movable text; a null handle does nothing.
int fspec_set_folder_handle(FileSpec* spec, MemHandle folder);
int fspec_set_name(FileSpec* spec, const char* name);
// The extension from a code of fspec_extension_code; an empty code removes it.
int fspec_set_extension_code(FileSpec* spec, uint32_t code);
// A copy of length bytes of data goes into a memory spec; 0, 8, or 8004 (not a memory spec,
// or a length the block does not hold).
int fspec_set_memory(FileSpec* spec, MemHandle data, int32_t length, int32_t capacity);

// --- getters -----------------------------------------------------------------------------

// The stored text; 2 for null (the buffer untouched) or an empty spec.
int fspec_get_path(const FileSpec* spec, char* buffer, int size);
// The stored text made absolute against the current piece's folder; 2 for null or empty.
int fspec_get_full_path(const FileSpec* spec, char* buffer, int size);
// The drive-letter, short-name form; 0 or an error.
int fspec_get_short_path(const FileSpec* spec, char* buffer, int size);
// Drive and folders with the final separator; 2 when there is none.
int fspec_get_folder(const FileSpec* spec, char* buffer, int size);
// A new 261-byte movable block with the folder text; 0 or 8.
int fspec_get_folder_handle(const FileSpec* spec, MemHandle* out, int* size);
int fspec_get_root(const FileSpec* spec, char* buffer, int size);
// Name with extension; 2 when there is none.
int fspec_get_name(const FileSpec* spec, char* buffer, int size);
int fspec_get_base_name(const FileSpec* spec, char* buffer, int size);
// At most three characters of the extension ("" without one, result 0).
int fspec_get_extension(const FileSpec* spec, char* buffer, int size);
// The display text of the form in the low byte of form.
int fspec_get_display_text(const FileSpec* spec, char* buffer, int size, int form);
// A copy of a memory spec's data with its length and capacity; 0, 8 (copy failed), 8004.
int fspec_get_memory(const FileSpec* spec, MemHandle* copy, int32_t* length, int32_t* capacity);

// --- tests and measures ------------------------------------------------------------------

int fspec_is_memory(const FileSpec* spec);
// 1 when usable: disk specs on a readable volume with a name the file system takes, Internet
// specs with a name and no blank in it, memory specs always; 0 for null.
int fspec_is_valid(const FileSpec* spec);
// 1 only for two disk specs that name the same path ignoring case.
int fspec_equal(const FileSpec* a, const FileSpec* b);
// b may be null; 0 when a is null or either is memory-based.
int fspec_same_folder(const FileSpec* a, const FileSpec* b);
int fspec_same_name(const FileSpec* a, const FileSpec* b);
int fspec_same_extension(const FileSpec* a, const FileSpec* b);
// Free bytes on the spec's volume, at most 2147483647; measured relative to the current piece.
// 0 for null. A volume that cannot be measured answers 2147483647: callers that compare the
// space with what they need then go on and meet the real error when they write.
int32_t fspec_disk_free(const FileSpec* spec);
// The same as a full count, telling failure apart: 0 or the error (bytes then 0).
int fspec_disk_free_ex(const FileSpec* spec, uint64_t* bytes);
// Sectors per cluster times bytes per sector of the spec's volume; 0 when it cannot be told.
int32_t fspec_cluster_size(const FileSpec* spec);
// Rewrites a disk spec with long names when its long-name switch is on; 0 or 8.
int fspec_expand_long_names(FileSpec* spec);
// 8004 for a null pointer, else 0.
int fspec_check_arg(const void* pointer);
// Up to three characters of text packed into a code (first character in the low byte).
uint32_t fspec_extension_code(const char* text);
