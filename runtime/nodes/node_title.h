// Icon titles: the file's title pool (a StringPool record, directory word 2) holds the titles,
// each icon's header holds the offset of its own (0 for none), and only nodes 7 and up have
// titles. The title-hash record (word 28, one u16 per node) lets a search by title look at a
// few candidates instead of the whole tree. Titles still in the Macintosh character set (the
// pending set, word 39) are converted once per file when the character-set map asks for it.
//
// Titles compare ignoring case with the platform's fixed code-page tables, never the host's
// locale, so that the stored hashes and the search agree on every machine.
#pragma once
#include "runtime/nodes/node_files.h"

#include <cstddef>
#include <cstdint>

constexpr uint32_t kFirstTitledNode = 7;
constexpr size_t kTitleKeyBytes = 410; // a title is folded and hashed up to this many bytes

// 1 when the title pool is loaded (it then stays until the file closes); the two title sets
// are loaded too when their directory words are set. A pool or set that does not fit its
// record is not used.
int node_file_load_titles(int slot);

// Copies the icon's title (converting the file's pending titles first): the length. Untitled
// icons give "", except Navigate icons that want a description of their link.
int node_title(IconId icon, char* buffer, size_t size);
// The same without converting the whole file: a pending title is converted in the copy.
int node_title_read(IconId icon, char* buffer, size_t size);
// The text shown for an icon: a Conditional response's condition, the piece's name for the
// file's top icon, else its title.
int node_title_text(IconId icon, char* buffer, size_t size);
// 1 when the text is one of the reserved titles ("Untitled" ...), ignoring case.
int node_title_is_reserved(const char* text);

// The stored hash of a title: folded to narrow forms and lower case, then h = byte + 4h +
// (h >> 14) over the first byte of each character in 16 signed bits; 0 becomes 1.
uint16_t node_title_hash(const char* title);
// Folds a title as the hash and the search do, into kTitleKeyBytes + 1 bytes.
void node_title_fold(const char* title, char* out);

// An icon of the file whose title equals title after folding, ignoring case, other than node
// skip; 0 when none or the pool cannot be loaded. With unique not null the search goes on
// past the first match: *unique is 0 when a second one exists, else 1.
IconId node_find_by_title(int slot, const char* title, uint32_t skip, int* unique);

// Called for each titled icon: 0 stops.
using NodeTitleVisit = int (*)(IconId icon, const char* title, void* user);
// Walks as node_walk does, over the icons that have a title.
IconId node_walk_titles(IconId start, int mode, NodeTitleVisit visit, void* user);

// Converts the pending titles to the Windows character set when the character-set map asks
// for it: 1 when it did, 0 otherwise. Shared titles are converted once; the directory's word
// 39 reads 0 afterwards.
int node_titles_convert(int slot);
