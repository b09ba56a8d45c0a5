// Operations of the file layer on FileSpecs rather than open files: creating, deleting,
// renaming and testing files, creating folders, the folder search, current folders and drives,
// classifying a file by its extension, and finding a file along folder lists. Results are 0 or
// a Win32 code, which is also left as the last error.
#pragma once
#include "runtime/files/file.h"
#include "runtime/files/fspec.h"

#include <cstdint>
#include <string>

// What file_classify tells of a file (7 is never given).
enum FileKind : int {
    kFileMissing = 0, // also a bare drive root
    kFileFolder = 1,
    kFileAuthoring = 2,
    kFilePackagedPiece = 3,
    kFileModel = 4,
    kFileSound = 5,
    kFileMovie = 6,
    kFileExternalCode = 8,
    kFileText = 9,
    kFileProgram = 10,
    kFileOther = 11,
    kFileLibrary = 12,
    kFilePackagedLibrary = 13,
    kFileImage = 14,
    kFilePluginLibrary = 15,
};

// Where file_exists_ex resolves a relative path.
enum ExistsWhere {
    kExistsFromCurrentFolder,
    kExistsFromPieceFolder,
};

// What file_check_removable may do on a removable drive.
enum : int {
    kRemovableCreateFolders = 1,
    kRemovableCreateFile = 2,
};

// The path to hand to the platform: 0; 1118 for an unusable spec; 206 for a path longer than
// 260 characters (a cut path would name another file).
uint32_t file_spec_path(const FileSpec* spec, std::string& path);

// Creates the missing folders, then the file, empty (an existing one is truncated), and closes
// it. A memory spec gets a new empty block.
uint32_t file_create(FileSpec* spec);
// As file_create, but an existing file is left alone (80).
uint32_t file_create_new(FileSpec* spec);
// Opens the file; only when it does not exist (2 or 3) is it created, then opened. Any other
// failure of the open is returned as it is: nothing is truncated because an open failed.
FileHandle file_open_or_create(FileSpec* spec, int mode);
// Deletes the file, or the empty folder the path names. Memory specs: nothing, 0.
uint32_t file_delete(const FileSpec* spec);
// Moves a file or folder; a target that exists is not replaced (183).
uint32_t file_rename(const FileSpec* from, const FileSpec* to);
// 1 when the path names something (file_exists_ex from the piece's folder).
int file_exists(const FileSpec* spec);
// 1 when the path names something; with kExistsFromPieceFolder a relative path is taken from
// the current piece's folder. A memory spec exists when it holds data.
int file_exists_ex(const FileSpec* spec, ExistsWhere where);

// The one folder search of the process: entries of the folder's spec matching the pattern
// ("*.*" when null). 0 when there is a first entry, 2 when there is none.
int file_find_first(const FileSpec* folder, const char* pattern);
// file_find_first with the spec's own name as the pattern, "*.*" without one.
int file_find_first_named(const FileSpec* spec);
// Delivers the next entry into out (a disk spec) and whether it is a folder: 1, or 0 when the
// search is over. "." and ".." come like any other name.
int file_find_next(FileSpec* out, int* is_folder);
// Ends a search in progress.
void file_find_end();

// Creates every missing folder of the spec's folder part; 1005 when the volume is not ready.
uint32_t file_create_folders(const FileSpec* spec);
// Sets out's folder to the drive's current folder with a trailing backslash (drive 0 the
// current drive, 1 A: ...); an empty folder when the drive cannot be read. 0, 8004 for null.
int file_get_current_folder(int drive, FileSpec* out);
// Makes the spec's folder the current folder.
uint32_t file_set_current_folder(const FileSpec* spec);
// The platform's drive type of the spec's root; 0 without a root.
uint32_t file_drive_type(const FileSpec* spec);
// 1 when a scratch file cannot be made in the spec's folder for want of write permission.
int file_folder_write_protected(const FileSpec* spec);
// 0 unless the spec's drive is removable; then 108 for a write-protected volume, else the
// result of creating the folders and the file as flags ask.
uint32_t file_check_removable(FileSpec* spec, int flags);
// 1 when the spec's volume answers (its free space can be measured).
int file_volume_ready(const FileSpec* spec);
// What the file is: missing, a folder, or its kind by extension; 0 with 1118 when unusable.
int file_classify(const FileSpec* spec);
// Looks for the spec's name in each folder of a ";"-separated list in turn; on a hit out gets a
// new spec of it made absolute against the piece, and the result is 1. Else out is null and 0.
int file_find_in_folder_list(const FileSpec* spec, const char* list, FileSpec** out);
// As along a list of the piece's folder (when a piece is open), the program's folder and the
// Windows folder (which also stands for the system folder).
int file_find_in_standard_folders(const FileSpec* spec, FileSpec** out);
// A new disk spec of the running program: 0, an error (out holds the spec), 8, or -1 when the
// program's own path cannot be read.
int fspec_new_exe(FileSpec** out);
// The same with the name cleared, leaving the program's folder.
int fspec_new_exe_folder(FileSpec** out);
