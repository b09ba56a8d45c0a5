// The FileSpec manager: a pool of 50 disk specs (specs are made and dropped for every
// file test, so most never touch the heap), cloning and copying by kind, the current piece's
// spec that relative paths resolve against, and the list of mapped network drives that disk
// specs use to write a drive letter as its network name. One manager per process, made in the
// early start-up chain and destroyed at shutdown; without it specs come from the heap.
#pragma once
#include "runtime/files/fspec.h"

#include <cstdint>
#include <string>
#include <vector>

class DiskFileSpec;
class InetFileSpec;

constexpr int kSpecPoolSize = 50;

// One mapped network drive: "F:" and "\\server\share".
struct NetworkMapping {
    std::string local_name;
    std::string remote_name;
};

// Fills the list of connected network drives; 0 when the list is complete. Linux has none:
// without a source installed the list stays empty.
using NetworkSource = int (*)(std::vector<NetworkMapping>& out);

// 1 ok / 0: the pool of 50 empty disk specs and an empty, stale network list.
int fspec_manager_create();
// Destroys the pooled specs (whoever still holds one holds a dangling pointer), the network
// list and the piece spec.
void fspec_manager_destroy();
// A free pooled disk spec marked in use; a heap spec when all 50 are in use; null when memory
// is short.
DiskFileSpec* fspec_manager_new_spec();
// The first free pooled spec marked in use, or null when all are taken.
DiskFileSpec* fspec_pool_take();
// A new Internet spec; one failed allocation is tried again.
InetFileSpec* fspec_manager_new_inet();
// A new empty memory-based spec; null when memory is short.
MemoryFileSpec* fspec_manager_new_memory();
// A pooled spec is reset and becomes free; any other spec is destroyed; null does nothing.
void fspec_manager_release(FileSpec* spec);
// A new spec of the same kind and contents (a memory spec copies its data); null when memory
// is short.
FileSpec* fspec_manager_clone(const FileSpec* spec);
// Copies the contents between two specs of the same kind; 0, 8, or 8004 for null or
// different kinds.
int fspec_manager_copy(FileSpec* destination, const FileSpec* source);
// Pooled specs in use (tests).
int fspec_pool_in_use();

// The stored text; 0, or 2 (buffer emptied) when the spec is null or empty.
int fspec_mgr_get_path(const FileSpec* spec, char* buffer, int size);
// The stored text made absolute against the current piece's folder; 0 or 2.
int fspec_mgr_get_full_path(const FileSpec* spec, char* buffer, int size);
// The drive-letter and short-name form of a disk path; an Internet spec's stored text.
int fspec_mgr_get_short_path(const FileSpec* spec, char* buffer, int size);

// The spec of the open piece, which relative paths resolve against; the manager keeps its own
// copy (null clears it). Null when no piece is open.
void fspec_manager_set_piece(const FileSpec* spec);
const FileSpec* fspec_manager_piece();

// Marks the network list stale: the presentation window was activated, so mappings may have
// changed while the program was in the background.
void fspec_manager_mark_activated();
// Installs the source the list is filled from (null: none, as on Linux); the list goes stale.
void fspec_manager_set_network_source(NetworkSource source);
// Fills the list again when it is stale; the stale mark goes only when the source succeeded.
// 0, or 8003 without a manager.
int fspec_network_refresh();
// Iteration: begin gives 8 for an empty list (8003 without a manager); next gives the mapping
// at the cursor and advances, null past the end.
int fspec_network_begin();
const NetworkMapping* fspec_network_next();
void fspec_network_end();
// The refreshed list (empty without a manager).
const std::vector<NetworkMapping>& fspec_network_list();
