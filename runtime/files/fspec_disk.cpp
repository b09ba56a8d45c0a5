#include "runtime/files/fspec_disk.h"

#include "platform/kernel/codepage.h"
#include "platform/kernel/error.h"
#include "platform/kernel/file.h"
#include "platform/kernel/path.h"
#include "runtime/base/errcode.h"
#include "runtime/files/fspec_mgr.h"
#include "runtime/files/fspec_text.h"
#include "runtime/base/str.h"

#include <climits>
#include <cstring>
#include <vector>

// Longest component the host file systems take (NAME_MAX).
constexpr int kMaxComponentLength = 255;
// Rewritten paths longer than this are not taken: a cut path names another file.
constexpr size_t kMaxRewrittenPath = plat::MAX_PATH;

static bool is_separator(char c) { return c == '\\' || c == '/'; }

// Offsets of the separators of a text, stepping over double-byte characters.
static std::vector<size_t> separators_of(const std::string& text)
{
    std::vector<size_t> found;
    for (const char* p = text.c_str(); *p; p = str_next_char(p))
        if (str_is_single_byte(p) && is_separator(*p))
            found.push_back(size_t(p - text.c_str()));
    return found;
}

static bool has_drive(const std::string& text)
{
    const char* colon = str_find_char(text.c_str(), ':');
    return colon == text.c_str() + 1;
}

// Length of "\\server\share\" at the start of text; 0 when text does not start so.
static size_t network_root_length(const std::string& text)
{
    if (text.size() < 2 || !is_separator(text[0]) || !is_separator(text[1]))
        return 0;
    std::vector<size_t> seps = separators_of(text);
    // seps[0] and seps[1] are the leading pair, seps[2] ends the server, seps[3] the share.
    if (seps.size() < 4)
        return text.size();
    return seps[3] + 1;
}

// Splits text into the spec's parts without touching the switches; 0 or 8.
static int split_path(DiskFileSpec& spec, const std::string& text)
{
    int result = str_holder_set(spec.text, text.c_str());
    if (result != kErrOk)
        return result;
    spec.flags = 0;
    spec.root_length = 0;
    std::vector<size_t> seps = separators_of(text);
    size_t name_at = 0;
    if (!seps.empty()) {
        name_at = seps.back() + 1;
        spec.flags |= kPathHasFolder;
    }
    if (has_drive(text)) {
        spec.flags |= kPathHasDrive;
        spec.root_length = 2;
        name_at = std::max<size_t>(name_at, 2);
    }
    spec.folder_end = int(name_at);
    spec.name_start = int(name_at);
    spec.name_length = int(text.size() - name_at);
    if (spec.name_length > 0) {
        spec.flags |= kPathHasName;
        if (str_find_char(text.c_str() + name_at, '.'))
            spec.flags |= kPathHasExtension;
    }
    return kErrOk;
}

DiskFileSpec* fspec_as_disk(FileSpec* spec)
{
    return spec && spec->kind() == kSpecDisk ? static_cast<DiskFileSpec*>(spec) : nullptr;
}

const DiskFileSpec* fspec_as_disk(const FileSpec* spec)
{
    return spec && spec->kind() == kSpecDisk ? static_cast<const DiskFileSpec*>(spec) : nullptr;
}

// --- construction, parsing, copying ------------------------------------------------------

DiskFileSpec::DiskFileSpec() { str_holder_init(text); }

DiskFileSpec::~DiskFileSpec() { str_holder_destroy(text); }

void DiskFileSpec::reset() { fspec_disk_reset(*this); }

void fspec_disk_reset(DiskFileSpec& spec)
{
    str_holder_clear(spec.text);
    spec.flags = 0;
    spec.root_length = 0;
    spec.folder_end = 0;
    spec.name_start = 0;
    spec.name_length = 0;
    spec.network_mapping = 1;
    spec.long_names = 1;
}

int fspec_disk_parse(DiskFileSpec& spec, const char* path)
{
    fspec_disk_reset(spec);
    return split_path(spec, path ? path : "");
}

// A drive letter that names a mapped network drive becomes the drive's network root.
static int map_drive_to_network(DiskFileSpec& spec)
{
    std::string text = fspec_text(spec);
    // Only "X:\...": a drive-relative "X:folder\name" has no network form.
    if (!(spec.flags & kPathHasDrive) || !(spec.flags & kPathHasFolder) || text.size() < 3
        || !is_separator(text[2]))
        return kErrOk;
    if (fspec_network_refresh() != kErrOk)
        return kErrOk;
    char drive = plat::char_upper(text[0]);
    for (const NetworkMapping& mapping : fspec_network_list()) {
        if (mapping.local_name.empty() || plat::char_upper(mapping.local_name[0]) != drive
            || mapping.remote_name.empty())
            continue;
        return split_path(spec, mapping.remote_name + "\\" + text.substr(3));
    }
    return kErrOk;
}

int fspec_disk_set_path(DiskFileSpec& spec, const char* path)
{
    int result = fspec_disk_parse(spec, path);
    if (result == kErrOk && spec.network_mapping)
        result = map_drive_to_network(spec);
    if (result == kErrOk && spec.long_names && (spec.flags & kPathHasName))
        result = fspec_disk_to_long_names(spec);
    return result;
}

int fspec_disk_copy(DiskFileSpec& destination, const DiskFileSpec& source)
{
    if (&destination == &source)
        return kErrOk;
    int result = str_holder_assign(destination.text, source.text);
    if (result != kErrOk)
        return result;
    destination.flags = source.flags;
    destination.root_length = source.root_length;
    destination.folder_end = source.folder_end;
    destination.name_start = source.name_start;
    destination.name_length = source.name_length;
    destination.network_mapping = source.network_mapping;
    destination.long_names = source.long_names;
    return kErrOk;
}

// --- reading parts -----------------------------------------------------------------------

int fspec_disk_get_folder(const DiskFileSpec& spec, char* buffer, int size)
{
    if (!(spec.flags & kPathHasFolder)) {
        fspec_copy_text(buffer, size, "");
        return kErrPartMissing;
    }
    fspec_copy_text(buffer, size, fspec_text(spec).substr(0, size_t(spec.folder_end)));
    return kErrOk;
}

int fspec_disk_get_name(const DiskFileSpec& spec, char* buffer, int size)
{
    if (!(spec.flags & kPathHasName)) {
        fspec_copy_text(buffer, size, "");
        return kErrPartMissing;
    }
    std::string text = fspec_text(spec);
    fspec_copy_text(buffer, size, text.substr(size_t(spec.name_start), size_t(spec.name_length)));
    return kErrOk;
}

int DiskFileSpec::get_folder(char* buffer, int size) const
{
    return fspec_disk_get_folder(*this, buffer, size);
}

int DiskFileSpec::get_name(char* buffer, int size) const
{
    return fspec_disk_get_name(*this, buffer, size);
}

int DiskFileSpec::get_root(char* buffer, int size) const
{
    std::string text = fspec_text(*this);
    std::string root;
    if (flags & kPathHasDrive)
        root = text.substr(0, 2) + "\\";
    else
        root = text.substr(0, network_root_length(text));
    fspec_copy_text(buffer, size, root);
    return kErrOk;
}

// --- replacing parts ---------------------------------------------------------------------

// Whether the last character of text is a separator (a trail byte of 0x5C is not).
static bool ends_with_separator(const std::string& text)
{
    if (text.empty())
        return false;
    const char* last = str_prev_char(text.c_str(), text.c_str() + text.size(), int(text.size()));
    return str_is_single_byte(last) && is_separator(*last);
}

int DiskFileSpec::set_folder(const char* folder)
{
    std::string value = folder ? folder : "";
    value.resize(size_t(str_fit_length(value.c_str(), int(plat::MAX_PATH))));
    if (!value.empty() && !ends_with_separator(value))
        value += '\\';
    std::string current = fspec_text(*this);
    int result = split_path(*this, value + current.substr(size_t(folder_end)));
    if (result == kErrOk && network_mapping)
        result = map_drive_to_network(*this);
    return result;
}

int DiskFileSpec::set_name(const char* name)
{
    DiskFileSpec scratch;
    std::string given = name ? name : "";
    int result = split_path(scratch, given);
    if (result != kErrOk)
        return result;
    std::string current = fspec_text(*this);
    return split_path(
        *this, current.substr(0, size_t(folder_end)) + given.substr(size_t(scratch.name_start)));
}

// --- comparisons -------------------------------------------------------------------------

static bool equal_nocase(const std::string& a, const std::string& b)
{
    return str_compare_nocase(a.c_str(), b.c_str()) == 0;
}

int DiskFileSpec::equals(const FileSpec* other) const
{
    if (other == this)
        return 1;
    if (other == nullptr)
        return flags == 0 ? 1 : 0;
    const DiskFileSpec* disk = fspec_as_disk(other);
    if (!disk)
        return 0;
    return flags == disk->flags && root_length == disk->root_length
            && folder_end == disk->folder_end && name_start == disk->name_start
            && name_length == disk->name_length
            && equal_nocase(fspec_text(*this), fspec_text(*disk))
        ? 1
        : 0;
}

int DiskFileSpec::same_folder(const FileSpec* other) const
{
    if (other == this)
        return 1;
    if (other == nullptr)
        return (flags & kPathHasFolder) ? 0 : 1;
    const DiskFileSpec* disk = fspec_as_disk(other);
    if (!disk)
        return 0;
    return (flags & kPathHasFolder) == (disk->flags & kPathHasFolder)
            && root_length == disk->root_length && folder_end == disk->folder_end
            && equal_nocase(fspec_text(*this).substr(0, size_t(folder_end)),
                fspec_text(*disk).substr(0, size_t(disk->folder_end)))
        ? 1
        : 0;
}

int DiskFileSpec::same_name(const FileSpec* other) const
{
    if (other == this)
        return 1;
    if (other == nullptr)
        return (flags & kPathHasName) ? 0 : 1;
    const DiskFileSpec* disk = fspec_as_disk(other);
    if (!disk)
        return 0;
    std::string mine, theirs;
    fspec_read_part(*this, &FileSpec::get_name, mine);
    fspec_read_part(*disk, &FileSpec::get_name, theirs);
    return (flags & kPathHasName) == (disk->flags & kPathHasName)
            && name_length == disk->name_length
            && str_compare_nocase_locale(mine.c_str(), theirs.c_str()) == 0
        ? 1
        : 0;
}

int DiskFileSpec::same_extension(const FileSpec* other) const
{
    if (other == this)
        return 1;
    if (other == nullptr)
        return (flags & kPathHasExtension) ? 0 : 1;
    const DiskFileSpec* disk = fspec_as_disk(other);
    if (!disk)
        return 0;
    std::string mine, theirs;
    fspec_read_part(*this, &FileSpec::get_extension, mine);
    fspec_read_part(*disk, &FileSpec::get_extension, theirs);
    return (flags & kPathHasExtension) == (disk->flags & kPathHasExtension)
            && equal_nocase(mine, theirs)
        ? 1
        : 0;
}

// --- relative and absolute ---------------------------------------------------------------

// Whether text begins with prefix ignoring case, the prefix ending on a character boundary.
static bool starts_with_nocase(const std::string& text, const std::string& prefix)
{
    if (prefix.size() > text.size()
        || str_fit_length(text.c_str(), int(prefix.size())) != int(prefix.size()))
        return false;
    return equal_nocase(text.substr(0, prefix.size()), prefix);
}

int DiskFileSpec::make_relative(const FileSpec* base)
{
    std::string folder = fspec_text(*this).substr(0, size_t(folder_end));
    if ((flags & kPathHasFolder) && folder.size() >= 2 && folder[0] == '.'
        && is_separator(folder[1]))
        return kErrOk;
    if (base == nullptr)
        return kErrNoBase;
    std::string base_folder;
    // A base without a folder would make every folder "relative" to nothing.
    if (!(flags & kPathHasFolder)
        || fspec_read_part(*base, &FileSpec::get_folder, base_folder) != kErrOk
        || base_folder.empty() || !starts_with_nocase(folder, base_folder))
        return kErrOk;
    return set_folder((".\\" + folder.substr(base_folder.size())).c_str());
}

// A folder that needs no base: "X:...", "\\server...", or a separator or colon before a
// separator.
static bool is_absolute_folder(const std::string& folder)
{
    if (folder.size() < 2)
        return false;
    if (folder[1] == ':' && str_is_single_byte(folder.c_str()))
        return true;
    return (is_separator(folder[0]) || folder[0] == ':') && is_separator(folder[1]);
}

int DiskFileSpec::make_absolute(const FileSpec* base)
{
    if (!(flags & kPathHasFolder))
        return kErrOk;
    std::string folder = fspec_text(*this).substr(0, size_t(folder_end));
    if (is_absolute_folder(folder))
        return kErrOk;
    if (base == nullptr)
        return kErrNoBase;
    std::string base_folder;
    int result = fspec_read_part(*base, &FileSpec::get_folder, base_folder);
    if (result != kErrOk)
        return result;
    if (is_separator(folder[0])) {
        // Root-relative: only the base's drive is wanted.
        if (!has_drive(base_folder))
            return kErrOk;
        base_folder.resize(2);
    }
    return set_folder((base_folder + folder).c_str());
}

// --- network roots, long and short names -------------------------------------------------

int fspec_disk_to_unc(DiskFileSpec& spec)
{
    spec.network_mapping = 0;
    if (spec.flags & kPathHasDrive)
        return kErrOk;
    if (fspec_network_refresh() != kErrOk)
        return kErrOk;
    std::string text = fspec_text(spec);
    std::string folder = text.substr(0, size_t(spec.folder_end));
    for (const NetworkMapping& mapping : fspec_network_list()) {
        const std::string& remote = mapping.remote_name;
        if (remote.empty() || mapping.local_name.empty() || !starts_with_nocase(folder, remote))
            continue;
        if (folder.size() > remote.size() && !is_separator(folder[remote.size()]))
            continue;
        std::string rest = folder.size() > remote.size() ? folder.substr(remote.size() + 1) : "";
        std::string drive = std::string(1, mapping.local_name[0]) + ":\\";
        return split_path(spec, drive + rest + text.substr(size_t(spec.folder_end)));
    }
    return kErrOk;
}

enum NameForm { kShortNames, kLongNames };
enum CaseChange { kKeepCaseOnly, kTakeCaseChange };

// The path with each component after its root as the file system names it; false when the
// path has no root or a component cannot be found.
static bool rebuild_names(const std::string& text, NameForm form, std::string& rebuilt)
{
    size_t root = network_root_length(text);
    if (root == 0 && has_drive(text) && text.size() >= 3 && is_separator(text[2]))
        root = 3;
    if (root == 0)
        return false;
    rebuilt = text.substr(0, root);
    std::vector<size_t> seps = separators_of(text);
    size_t start = root;
    while (start < text.size()) {
        size_t end = text.size();
        for (size_t sep : seps)
            if (sep >= start) {
                end = sep;
                break;
            }
        std::string component = text.substr(start, end - start);
        std::string separator = end < text.size() ? text.substr(end, 1) : "";
        start = end + 1;
        if (component.empty() || component == "." || component == "..") {
            rebuilt += component + separator;
            continue;
        }
        // A pattern would be replaced by whatever name it matches first.
        if (component.find_first_of("*?") != std::string::npos)
            return false;
        plat::FindData found;
        plat::FindHandle search = plat::find_first_file(rebuilt + component, found);
        if (!search)
            return false;
        plat::find_close(search);
        if (form == kLongNames)
            rebuilt += found.name;
        else
            rebuilt += found.alternate_name.empty() ? component : found.alternate_name;
        rebuilt += separator;
    }
    return rebuilt.size() <= kMaxRewrittenPath;
}

static int rewrite_names(DiskFileSpec& spec, NameForm form, CaseChange case_change)
{
    std::string text = fspec_text(spec);
    std::string rebuilt;
    if (!rebuild_names(text, form, rebuilt))
        return kErrOk;
    // A difference in case only is no reason to change what the piece wrote.
    if (case_change == kKeepCaseOnly && equal_nocase(rebuilt, text))
        return kErrOk;
    return split_path(spec, rebuilt);
}

int fspec_disk_to_short_names(DiskFileSpec& spec)
{
    return rewrite_names(spec, kShortNames, kKeepCaseOnly);
}

int fspec_disk_to_long_names(DiskFileSpec& spec)
{
    return rewrite_names(spec, kLongNames, kKeepCaseOnly);
}

int fspec_disk_expand_long_names(DiskFileSpec& spec)
{
    return rewrite_names(spec, kLongNames, kTakeCaseChange);
}

// --- display, shortcuts, volumes ---------------------------------------------------------

int DiskFileSpec::display_text(char* buffer, int size, int form) const
{
    if (form < 0 || form > kDisplayPlain)
        return kErrOk;
    std::string text = fspec_text(*this);
    if (text.empty()) {
        fspec_copy_text(buffer, size, form <= kDisplayMenu ? "Unknown" : "");
        return kErrOk;
    }
    if (form == kDisplayName) {
        std::string name;
        fspec_read_part(*this, &FileSpec::get_name, name);
        text = name;
    }
    if (form <= kDisplayMenu)
        text = fspec_abbreviate_text(text, size, kSplitAtBothSeparators);
    if (form == kDisplayMenu)
        text = fspec_double_ampersands(text);
    fspec_copy_text(buffer, size, text);
    return kErrOk;
}

int DiskFileSpec::make_temp_name()
{
    fspec_disk_reset(*this);
    std::string folder = plat::get_temp_path();
    std::string name;
    if (folder.empty() || plat::get_temp_file_name(folder, "untit", 0, name) == 0)
        return int(plat::get_last_error());
    return fspec_disk_set_path(*this, name.c_str());
}

int DiskFileSpec::resolve_shortcut()
{
    std::string extension;
    fspec_read_part(*this, &FileSpec::get_extension, extension);
    // Shell shortcuts do not exist here, so a ".lnk" file cannot be loaded as one.
    return extension == "lnk" ? kErrOutOfMemory : kErrOk;
}

int fspec_disk_free_bytes(const DiskFileSpec& spec, uint64_t* bytes)
{
    std::string root;
    fspec_read_part(spec, &FileSpec::get_root, root);
    std::string ask;
    if (spec.flags & kPathHasFolder)
        ask = fspec_text(spec).substr(0, size_t(spec.folder_end));
    else
        // The Windows folder stands for the system folder here.
        ask = plat::get_windows_directory().substr(0, 3);
    uint64_t free_bytes = 0;
    bool asked = plat::get_disk_free_space_ex(ask, &free_bytes, nullptr, nullptr);
    // A folder that does not exist yet lies on its root's volume (a path without a root on
    // the current folder's).
    if (!asked && root != ask)
        asked = plat::get_disk_free_space_ex(root, &free_bytes, nullptr, nullptr);
    if (bytes)
        *bytes = asked ? free_bytes : 0;
    return asked ? kErrOk : kErrPartMissing;
}

void fspec_disk_split_free(
    uint64_t bytes, int32_t* clusters, int32_t* sectors_per_cluster, int32_t* bytes_per_sector)
{
    int32_t sector = 1024;
    int32_t per_cluster = 1;
    uint64_t count = bytes / 1024;
    if (bytes <= uint64_t(INT32_MAX)) {
        while (bytes != 0 && sector > 1 && bytes % uint64_t(sector) != 0)
            sector /= 2;
        count = bytes / uint64_t(sector);
    } else if (count > uint64_t(INT32_MAX)) {
        per_cluster = 1024;
        count = std::min<uint64_t>(bytes / 1048576, INT32_MAX);
    }
    if (clusters)
        *clusters = int32_t(count);
    if (sectors_per_cluster)
        *sectors_per_cluster = per_cluster;
    if (bytes_per_sector)
        *bytes_per_sector = sector;
}

int DiskFileSpec::disk_free(
    int32_t* clusters, int32_t* sectors_per_cluster, int32_t* bytes_per_sector) const
{
    uint64_t bytes = 0;
    int result = fspec_disk_free_bytes(*this, &bytes);
    if (result != kErrOk)
        return FileSpec::disk_free(clusters, sectors_per_cluster, bytes_per_sector);
    fspec_disk_split_free(bytes, clusters, sectors_per_cluster, bytes_per_sector);
    return kErrOk;
}

int fspec_disk_is_valid(const DiskFileSpec& spec)
{
    if (!(spec.flags & kPathHasName))
        return 1;
    std::string root;
    fspec_read_part(spec, &FileSpec::get_root, root);
    if (root.empty() && !(spec.flags & kPathHasDrive)) {
        std::string text = fspec_text(spec);
        // A root-relative or relative path lies on the current drive.
        if (network_root_length(text) == 0)
            root = plat::get_current_directory().substr(0, 3);
    }
    uint32_t type = plat::get_drive_type(root);
    if (root.empty() || type == plat::DRIVE_UNKNOWN || type == plat::DRIVE_NO_ROOT_DIR)
        return 0;
    return spec.name_length <= kMaxComponentLength ? 1 : 0;
}

// --- file references ---------------------------------------------------------------------

int DiskFileSpec::set_from_fileref(FileRef* ref, int* changed)
{
    std::string path;
    if (!fspec_fileref_text(ref, changed, path))
        return kErrOk;
    return fspec_disk_set_path(*this, path.c_str());
}

FileRefItem* DiskFileSpec::new_fileref_item() const
{
    const FileRefService* service = fspec_fileref_service();
    if (service == nullptr)
        return nullptr;
    char path[kPathBufferSize];
    char short_path[kPathBufferSize];
    fspec_mgr_get_path(this, path, sizeof path);
    fspec_mgr_get_short_path(this, short_path, sizeof short_path);
    return service->new_path_item(path, short_path);
}
