// The current piece: its file, its learner's records file, its record-store slot (1 while a
// piece is being opened or is open, 0 when none) and whether it is completely open. One per
// process; piece.h opens and closes it, and everything else reads it here.
#pragma once
#include "runtime/files/fspec.h"
#include "runtime/nodes/node_files.h"

constexpr int kPieceSlot = 1;

// The piece file (null when none); the records file (null when the piece has none).
const FileSpec* piece_spec();
const FileSpec* piece_records_spec();
int piece_slot();
// 1 once the piece is completely open, until its close starts.
int piece_is_open();
// The piece's folder, drive and folders with the final separator: 0, or 2 (buffer emptied)
// when there is no piece or its path has no folder.
int piece_folder(char* buffer, int size);
// The top icon (node 1) of the piece while its file is open in the node store, else 0.
IconId piece_top_icon();

// The record's setters, for the modules that open and close pieces. The spec is copied (also
// into the file layer, which resolves relative paths against it); null clears it.
int piece_current_set_spec(const FileSpec* spec);
// Takes ownership of records (null: none).
void piece_current_set_records(FileSpec* records);
void piece_current_set_slot(int slot);
void piece_mark_open(int on);
// Frees both specs and clears the record.
void piece_current_clear();
