#include "runtime/files/file_ops.h"

#include "platform/kernel/codepage.h"
#include "platform/kernel/error.h"
#include "platform/kernel/file.h"
#include "platform/kernel/path.h"
#include "runtime/base/errcode.h"
#include "runtime/files/fspec_func.h"
#include "runtime/files/fspec_mgr.h"
#include "runtime/base/str.h"

#include <cstring>
#include <optional>
#include <vector>

static const char kAllFiles[] = "*.*";
static const char kScratchPrefix[] = "untit";
// Scratch names tried by the write-protection test before it gives up.
constexpr uint32_t kScratchAttempts = 3;

// The one folder search of the process.
static struct FindState {
    FileSpec* clone = nullptr; // the folder spec, its name set to each entry in turn
    plat::FindHandle handle;
    plat::FindData entry;
    bool has_entry = false;
} s_find;

static uint32_t fail(uint32_t code) { return file_set_error(code); }

static bool is_separator(char c) { return c == '\\' || c == '/'; }

uint32_t file_spec_path(const FileSpec* spec, std::string& path)
{
    path.clear();
    if (!fspec_is_valid(spec))
        return kFileErrUnusable;
    std::string text = fspec_text(*spec);
    if (text.size() > plat::MAX_PATH)
        return plat::ERROR_FILENAME_EXCED_RANGE;
    path = text;
    return 0;
}

// Makes the current piece's folder the current folder for a while; puts the old one back when
// it goes out of scope.
class PieceFolderScope {
public:
    PieceFolderScope()
    {
        const FileSpec* piece = fspec_manager_piece();
        std::string folder;
        if (piece == nullptr || fspec_read_part(*piece, &FileSpec::get_folder, folder) != 0)
            return;
        saved_ = plat::get_current_directory();
        if (saved_.empty() || !plat::set_current_directory(folder))
            saved_.clear();
    }
    ~PieceFolderScope()
    {
        if (!saved_.empty())
            plat::set_current_directory(saved_);
    }
    PieceFolderScope(const PieceFolderScope&) = delete;
    PieceFolderScope& operator=(const PieceFolderScope&) = delete;

private:
    std::string saved_;
};

// --- creating, deleting, renaming, testing -----------------------------------------------

static uint32_t create_with(FileSpec* spec, uint32_t disposition)
{
    if (fspec_is_memory(spec)) {
        MemHandle empty = mem_alloc(0, kMemMovableZero);
        if (!empty)
            return fail(plat::ERROR_NOT_ENOUGH_MEMORY);
        int result = fspec_set_memory(spec, empty, 0, 0);
        mem_free(empty);
        return fail(uint32_t(result));
    }
    std::string path;
    uint32_t result = file_spec_path(spec, path);
    if (result == 0)
        result = file_create_folders(spec);
    if (result != 0)
        return fail(result);
    plat::FileHandle created = plat::create_file(path, plat::GENERIC_READ | plat::GENERIC_WRITE,
        plat::FILE_SHARE_READ, disposition, plat::FILE_ATTRIBUTE_NORMAL);
    if (!created)
        return plat::get_last_error();
    plat::close_handle(created);
    return fail(0);
}

uint32_t file_create(FileSpec* spec) { return create_with(spec, plat::CREATE_ALWAYS); }

uint32_t file_create_new(FileSpec* spec) { return create_with(spec, plat::CREATE_NEW); }

FileHandle file_open_or_create(FileSpec* spec, int mode)
{
    FileHandle file = file_open(spec, mode);
    if (file)
        return file;
    uint32_t error = plat::get_last_error();
    if (error != plat::ERROR_FILE_NOT_FOUND && error != plat::ERROR_PATH_NOT_FOUND)
        return file;
    uint32_t created = file_create_new(spec);
    // Another program may have made it in between: opening it is right then too.
    if (created != 0 && created != plat::ERROR_FILE_EXISTS)
        return FileHandle {};
    return file_open(spec, mode);
}

uint32_t file_delete(const FileSpec* spec)
{
    if (fspec_is_memory(spec))
        return fail(0);
    std::string path;
    uint32_t result = file_spec_path(spec, path);
    if (result != 0)
        return fail(result);
    if (plat::delete_file(path))
        return fail(0);
    result = plat::get_last_error();
    uint32_t attributes = plat::get_file_attributes(path);
    if (attributes == plat::INVALID_FILE_ATTRIBUTES
        || !(attributes & plat::FILE_ATTRIBUTE_DIRECTORY))
        return fail(result);
    return plat::remove_directory(path) ? fail(0) : plat::get_last_error();
}

uint32_t file_rename(const FileSpec* from, const FileSpec* to)
{
    std::string from_path;
    std::string to_path;
    uint32_t result = file_spec_path(from, from_path);
    if (result == 0)
        result = file_spec_path(to, to_path);
    if (result != 0)
        return fail(result);
    return plat::move_file(from_path, to_path, 0) ? fail(0) : plat::get_last_error();
}

int file_exists_ex(const FileSpec* spec, ExistsWhere where)
{
    if (spec == nullptr)
        return 0;
    if (fspec_is_memory(spec))
        return static_cast<const MemoryFileSpec*>(spec)->data ? 1 : 0;
    std::string path;
    if (file_spec_path(spec, path) != 0 || path.empty())
        return 0;
    std::optional<PieceFolderScope> scope;
    if (where == kExistsFromPieceFolder)
        scope.emplace();
    plat::FindData found;
    plat::FindHandle search = plat::find_first_file(path, found);
    if (!search)
        return 0;
    plat::find_close(search);
    return 1;
}

int file_exists(const FileSpec* spec) { return file_exists_ex(spec, kExistsFromPieceFolder); }

// --- the folder search -------------------------------------------------------------------

void file_find_end()
{
    // A search replaced or abandoned still holds a platform search: close it.
    if (s_find.handle)
        plat::find_close(s_find.handle);
    fspec_free(s_find.clone);
    s_find = FindState {};
}

int file_find_first(const FileSpec* folder, const char* pattern)
{
    file_find_end();
    s_find.clone = fspec_clone(folder);
    if (s_find.clone == nullptr)
        return int(fail(plat::ERROR_NOT_ENOUGH_MEMORY));
    std::string path;
    if (s_find.clone->set_name(pattern ? pattern : kAllFiles) != kErrOk
        || file_spec_path(s_find.clone, path) != 0)
        return plat::ERROR_FILE_NOT_FOUND;
    s_find.handle = plat::find_first_file(path, s_find.entry);
    s_find.has_entry = bool(s_find.handle);
    return s_find.has_entry ? 0 : int(plat::ERROR_FILE_NOT_FOUND);
}

int file_find_first_named(const FileSpec* spec)
{
    std::string name;
    if (spec == nullptr || fspec_read_part(*spec, &FileSpec::get_name, name) != kErrOk)
        name = kAllFiles;
    return file_find_first(spec, name.c_str());
}

int file_find_next(FileSpec* out, int* is_folder)
{
    if (!s_find.has_entry) {
        file_find_end();
        return 0;
    }
    s_find.clone->set_name(s_find.entry.name.c_str());
    if (out != nullptr)
        fspec_copy(out, s_find.clone);
    if (is_folder)
        *is_folder = (s_find.entry.attributes & plat::FILE_ATTRIBUTE_DIRECTORY) ? 1 : 0;
    if (!plat::find_next_file(s_find.handle, s_find.entry)) {
        plat::find_close(s_find.handle);
        s_find.handle = plat::FindHandle {};
        s_find.has_entry = false;
    }
    return 1;
}

// --- folders and drives ------------------------------------------------------------------

// Where the walk over the folder's separators begins: past "\\server\share\" when the folder
// starts with one (its separators are no folders to make).
static size_t walk_start(const std::string& folder)
{
    if (folder.size() >= 2 && folder[1] == ':')
        return 0;
    if (folder.size() < 2 || !is_separator(folder[0]) || !is_separator(folder[1]))
        return 0;
    int separators = 0;
    for (const char* p = folder.c_str() + 2; *p; p = str_next_char(p))
        if (str_is_single_byte(p) && is_separator(*p) && ++separators == 2)
            return size_t(p - folder.c_str()) + 1;
    return folder.size();
}

uint32_t file_create_folders(const FileSpec* spec)
{
    if (!file_volume_ready(spec))
        return fail(kFileErrNotReady);
    std::string folder;
    if (spec == nullptr || fspec_read_part(*spec, &FileSpec::get_folder, folder) != kErrOk)
        return fail(0);
    for (const char* p = folder.c_str() + walk_start(folder); *p; p = str_next_char(p)) {
        size_t at = size_t(p - folder.c_str());
        // "X:\" and ".\" or "..\" end in names that are no folders to make.
        if (!str_is_single_byte(p) || !is_separator(*p) || at == 0 || folder[at - 1] == ':'
            || folder[at - 1] == '.')
            continue;
        std::string prefix = folder.substr(0, at);
        if (plat::get_file_attributes(prefix) != plat::INVALID_FILE_ATTRIBUTES)
            continue;
        if (!plat::create_directory(prefix))
            return plat::get_last_error();
    }
    return fail(0);
}

int file_get_current_folder(int drive, FileSpec* out)
{
    if (out == nullptr)
        return kErrBadValue;
    std::string folder;
    if (drive == 0) {
        folder = plat::get_current_directory();
    } else if (drive >= 1 && drive <= 26) {
        std::string root = std::string(1, char('A' + drive - 1)) + ":\\";
        uint32_t type = plat::get_drive_type(root);
        if (type != plat::DRIVE_UNKNOWN && type != plat::DRIVE_NO_ROOT_DIR)
            folder = plat::get_full_path_name(root.substr(0, 2));
    }
    if (!folder.empty() && !is_separator(folder.back()))
        folder += '\\';
    out->set_folder(folder.c_str());
    return 0;
}

uint32_t file_set_current_folder(const FileSpec* spec)
{
    std::string folder;
    if (spec != nullptr)
        fspec_read_part(*spec, &FileSpec::get_folder, folder);
    return plat::set_current_directory(folder) ? fail(0) : plat::get_last_error();
}

uint32_t file_drive_type(const FileSpec* spec)
{
    std::string root;
    if (spec == nullptr || fspec_read_part(*spec, &FileSpec::get_root, root) != kErrOk
        || root.empty())
        return 0;
    return plat::get_drive_type(root);
}

// Tries to make a scratch file that goes when closed; 0 when it could be made.
static uint32_t try_scratch_file(const std::string& folder, uint32_t unique)
{
    std::string name;
    if (plat::get_temp_file_name(folder, kScratchPrefix, unique, name) == 0)
        return plat::get_last_error();
    plat::FileHandle scratch = plat::create_file(name, plat::GENERIC_WRITE, 0, plat::CREATE_NEW,
        plat::FILE_ATTRIBUTE_NORMAL | plat::FILE_FLAG_DELETE_ON_CLOSE);
    if (!scratch)
        return plat::get_last_error();
    plat::close_handle(scratch);
    return 0;
}

int file_folder_write_protected(const FileSpec* spec)
{
    std::string folder;
    if (spec == nullptr || fspec_read_part(*spec, &FileSpec::get_folder, folder) != kErrOk)
        return 0;
    uint32_t result = 0;
    for (uint32_t unique = 1; unique <= kScratchAttempts; ++unique) {
        result = try_scratch_file(folder, unique);
        if (result != plat::ERROR_FILE_EXISTS && result != plat::ERROR_ALREADY_EXISTS)
            break;
    }
    return result == plat::ERROR_ACCESS_DENIED || result == plat::ERROR_WRITE_PROTECT
            || result == kFileErrDriveLocked
        ? 1
        : 0;
}

uint32_t file_check_removable(FileSpec* spec, int flags)
{
    if (file_drive_type(spec) != plat::DRIVE_REMOVABLE)
        return 0;
    if (file_folder_write_protected(spec))
        return fail(kFileErrDriveLocked);
    if (flags & kRemovableCreateFolders) {
        uint32_t result = file_create_folders(spec);
        if (result != 0)
            return result;
    }
    if (flags & kRemovableCreateFile)
        return file_create(spec);
    return 0;
}

int file_volume_ready(const FileSpec* spec)
{
    if (fspec_is_memory(spec))
        return 1;
    return spec != nullptr && fspec_disk_free_ex(spec, nullptr) == kErrOk ? 1 : 0;
}

// --- classification ----------------------------------------------------------------------

struct ExtensionKind {
    const char* extensions; // upper case, separated by blanks
    FileKind kind;
};

// First match wins; the program's own piece extensions are looked at first.
static const ExtensionKind kExtensionKinds[] = {
    { "V5P", kFileAuthoring },
    { "V5R", kFilePackagedPiece },
    { "MOD V4D V5D", kFileModel },
    { "AIF MID PCM WAV SWA VOX", kFileSound },
    { "AVI CEL DIR FLC FLI MMM MOV MPG MVE", kFileMovie },
    { "UCD U32 DLL", kFileExternalCode },
    { "TXT RTF", kFileText },
    { "BAT COM EXE PIF", kFileProgram },
    { "VPL V3L V4L V5L", kFileLibrary },
    { "VPR V4E V5E", kFilePackagedLibrary },
    { "SVX VSW V3W V4W V5W V3M SVM V4P V5P", kFileAuthoring },
    { "VPP V4R V5R", kFilePackagedPiece },
    { "BMP DIB EMF EPS GIF JPE JPG LRG PCT PCX PIC PNG PNT PS3 PSD RLE TGA TIF WMF", kFileImage },
    { "P16 P32", kFilePluginLibrary },
};

static FileKind kind_of_extension(const std::string& extension)
{
    if (extension.empty())
        return kFileOther;
    for (const ExtensionKind& row : kExtensionKinds) {
        for (const char* p = row.extensions; *p;) {
            size_t length = std::strcspn(p, " ");
            if (length == extension.size() && extension.compare(0, length, p, length) == 0)
                return row.kind;
            p += length + (p[length] == ' ' ? 1 : 0);
        }
    }
    return kFileOther;
}

int file_classify(const FileSpec* spec)
{
    std::string path;
    uint32_t result = file_spec_path(spec, path);
    if (result != 0) {
        fail(result);
        return kFileMissing;
    }
    if (path.size() == 3 && path[1] == ':' && path[2] == '\\')
        return kFileMissing;
    uint32_t attributes = plat::get_file_attributes(path);
    if (attributes == plat::INVALID_FILE_ATTRIBUTES)
        return kFileMissing;
    if (attributes & plat::FILE_ATTRIBUTE_DIRECTORY)
        return kFileFolder;
    char extension[4] = {};
    fspec_get_extension(spec, extension, sizeof extension);
    plat::char_upper(extension);
    return kind_of_extension(extension);
}

// --- searches along folders --------------------------------------------------------------

// Tries the spec's name in each folder in turn; out gets the hit made absolute.
static int find_in_folders(
    const FileSpec* spec, const std::vector<std::string>& folders, FileSpec** out)
{
    *out = nullptr;
    FileSpec* clone = fspec_clone(spec);
    if (clone == nullptr)
        return 0;
    for (const std::string& folder : folders) {
        if (clone->set_folder(folder.c_str()) != kErrOk || !file_exists(clone))
            continue;
        if (const FileSpec* piece = fspec_manager_piece())
            clone->make_absolute(piece);
        *out = clone;
        return 1;
    }
    fspec_free(clone);
    return 0;
}

// The folders of a ";"-separated list, stepping over double-byte characters.
static std::vector<std::string> split_folder_list(const char* list)
{
    std::vector<std::string> folders(1);
    for (const char* p = list; *p;) {
        const char* next = str_next_char(p);
        if (*p == ';' && next == p + 1)
            folders.emplace_back();
        else
            folders.back().append(p, size_t(next - p));
        p = next;
    }
    return folders;
}

int file_find_in_folder_list(const FileSpec* spec, const char* list, FileSpec** out)
{
    if (out == nullptr)
        return 0;
    *out = nullptr;
    if (list == nullptr || spec == nullptr)
        return 0;
    return find_in_folders(spec, split_folder_list(list), out);
}

int file_find_in_standard_folders(const FileSpec* spec, FileSpec** out)
{
    if (out == nullptr)
        return 0;
    *out = nullptr;
    if (spec == nullptr)
        return 0;
    std::vector<std::string> folders;
    std::string piece_folder;
    const FileSpec* piece = fspec_manager_piece();
    if (piece && fspec_read_part(*piece, &FileSpec::get_folder, piece_folder) == kErrOk)
        folders.push_back(piece_folder);
    for (const std::string& folder : { plat::get_program_folder(), plat::get_windows_directory() })
        if (!folder.empty())
            folders.push_back(folder);
    return find_in_folders(spec, folders, out);
}

int fspec_new_exe(FileSpec** out)
{
    if (out == nullptr)
        return kErrBadValue;
    std::string path = plat::get_program_path();
    if (path.empty())
        return -1;
    return fspec_from_path(path.c_str(), out);
}

int fspec_new_exe_folder(FileSpec** out)
{
    int result = fspec_new_exe(out);
    if (result == kErrOk)
        result = (*out)->set_name("");
    return result;
}
