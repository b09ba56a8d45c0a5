// Opening and closing the piece the runtime plays: its record file in slot 1 and its icon
// tree, its libraries, its learner's records, its window; and the close that releases all of
// that in order. Also the window title rules and the search for files a piece names.
// What belongs to higher subsystems goes through piece_hooks.h.
//
// Headless runs log "piece opened \"PATH\" title \"TITLE\"" and "piece closed \"PATH\"".
#pragma once
#include "runtime/files/fspec.h"

// A file opened by the record and node stores in a slot of its own (the spec is owned).
struct PieceFileRecord {
    FileSpec* spec = nullptr;
    int slot = 0;
};

enum PieceFileKind : int {
    kOpenPiece = 0,
    kOpenLibrary = 1,
};

// Flags of piece_open.
enum : int {
    kOpenForceResume = 0x1,
    kOpenPlaceSizeOnly = 0x2, // passed to the window placement
    kOpenNoResumeIcon = 0x4,
};

constexpr uint32_t kMsgCannotOpen = 15; // sub-message 1: "The file "%s" cannot be opened ..."
constexpr int kErrInUse = 32;
constexpr int kErrNoFreeVolume = 1223; // fails the open without a message

// Opens the piece: 0 or the error (shown once as message 15, except 1223).
int piece_open(const FileSpec* spec, const FileSpec* records, int flags);
// Opens a piece ("PCRS") or a library ("PLIB") file into the record's slot and builds its icon
// tree: 0, or the error (shown, except for a library's 2, 3 and 1005; the record is closed).
int piece_open_file(PieceFileRecord& record, PieceFileKind kind, const char* name);
// Closes the piece and everything opened with it; nothing without a piece.
void piece_close(int keep_scripting);
// Closes a record's files and clears it; nothing when its slot is 0.
void piece_file_record_close(PieceFileRecord& record);
// A compacted copy of a slot's file at target: written to a temporary file beside it, which
// then replaces target. With switch_to_copy the slot goes on with the copy. 0 or the error
// (32 when an instance holds the target, 1118 for an unusable one); target is untouched on
// failure.
int piece_save_file_as(int slot, const FileSpec* target, int switch_to_copy);
// The piece's title (property 20 of its top icon), else piece_window_title: 0.
int piece_title(char* buffer, int size);
// "[Untitled]", or the file's name without an extension of v5p, v5r or exe (kept when
// keep_extension): 0, or 7004 when the untitled text is empty.
int piece_window_title(char* buffer, int size, int keep_extension);
// The window's title, placement and first messages (the hooks do the placing).
void piece_set_window(int flags);
// Finds a file the piece names: its SearchPath folders, its name in the piece's folder, the
// standard folders. 1 with *out a new spec, else 0.
int piece_locate_file(const FileSpec* spec, FileSpec** out);
