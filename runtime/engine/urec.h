// The learner's records: one record file per learner and piece (kind "WSTU", record-store slot
// 23) that holds the small states of the 23 executor modules as the fields of record 1 and
// their larger data as further records. Where the file lives, opening it, resuming a piece
// from it or starting fresh, saving and closing. A save is the record store's flush, which
// writes a new file beside the old one and renames it over it: a save cut short leaves the
// old records or the new ones, whole.
#pragma once
#include "runtime/engine/modbus.h"
#include "runtime/files/fspec.h"
#include "runtime/nodes/node_files.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr int kRecordsSlot = 23;
constexpr int16_t kLearnerRecordType = -2; // 0xFFFE
constexpr uint16_t kStampTag = 10000;
constexpr size_t kStampSize = 14;
constexpr uint16_t kStampVersion = 982;
constexpr uint64_t kRecordsMinFreeBytes = 10240;

enum : int {
    kErrRecordsInUse = 5, // another instance holds the file
    kErrDiskFull = 112,
    kErrNameEmpty = 1118,
    kErrNoVolume = 1223,
    kErrStampSize = 5000,
    kErrStampDiffers = 5001,
    kErrNoFirstRecord = 5002,
};

// --- where the file lives ----------------------------------------------------------------------
// The records folder for the piece (null: the start-up's): RecordsLocation in the piece's own
// section of the settings, else in [Directory], else V5W_DATA in the Windows folder, which is
// created when missing. 0, or 1118 when no folder can be named.
int urec_set_records_folder(const FileSpec* piece);
const std::string& urec_records_folder();
// A new file_spec of folder + the piece's name + ".rec" (the name cut so that the path stays below
// 259 characters, never inside a double-byte character): 0 or 1118.
int urec_make_path(const FileSpec* piece, FileSpec** out);
int urec_apply_extension(FileSpec* file_spec);
// Renames the file to NAME.bak (an older one there goes), so that a file the runtime cannot
// use is not lost; deletes it when it cannot be renamed.
void urec_keep_aside(const FileSpec* file_spec);
// The folder a jump names for saving a store without a file.
void urec_set_jump_folder(const char* folder);

// --- the store ---------------------------------------------------------------------------------
// Opens the file (null: a store without file) in slot 23: 0, 5 (another instance holds it),
// 112 / 1223 (too little space), or the store's error. A file that is not a records file at
// all is kept aside (NAME.bak) and a new one made.
int urec_open(FileSpec* file_spec, int create);
void urec_close();
int urec_flush();
// A new record number (0 when none); reading, writing and deleting records by number.
uint16_t urec_new_id();
// 0, or 8 when the record is missing or cannot be read.
int urec_read(uint16_t number, std::vector<uint8_t>& out);
int urec_write(uint16_t number, const void* bytes, size_t size);
int urec_delete(uint16_t number);
void urec_release(uint16_t number);

// --- the drivers -------------------------------------------------------------------------------
int urec_start_fresh(FileSpec* file_spec);
int urec_resume(FileSpec* file_spec, int force);
int urec_save_all(int force);
void urec_close_all();
// The stamp of record 1 for the stored field 1 and the running piece's end of data.
void urec_make_stamp(const uint8_t* field1, size_t length, uint8_t out[kStampSize]);
// 0, 5000 (stamp of the wrong size), 5001 (missing or different), 5002 (no record 1).
int urec_check_stamp();

// --- Resume and the resume icon ----------------------------------------------------------------
int exec_resume_enabled();
void exec_set_resume(int on);
int exec_resume_icon();
void exec_set_resume_icon(IconId icon);
void exec_run_resume_icon();

// --- slot 23 -----------------------------------------------------------------------------------
int misc_module(ModuleMessage* message);
int judge_preset_cleared();
void judge_set_preset_cleared(int flag);

// Forgets the folder and the jump folder (tests).
void urec_reset();
