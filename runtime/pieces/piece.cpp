#include "runtime/pieces/piece.h"

#include "platform/kernel/error.h"
#include "platform/kernel/file.h"
#include "platform/kernel/log.h"
#include "platform/kernel/resource.h"
#include "platform/window/window.h"
#include "runtime/base/errcode.h"
#include "runtime/base/str.h"
#include "runtime/files/err.h"
#include "runtime/files/file.h"
#include "runtime/files/file_ops.h"
#include "runtime/files/fspec_func.h"
#include "runtime/files/msg.h"
#include "runtime/nodes/node_attr.h"
#include "runtime/nodes/node_group.h"
#include "runtime/pieces/instance.h"
#include "runtime/pieces/lib.h"
#include "runtime/pieces/piece_current.h"
#include "runtime/pieces/piece_hooks.h"
#include "runtime/store/fhdr.h"
#include "runtime/store/rec_flush.h"
#include "runtime/store/rec_store.h"

#include <string>

namespace {

constexpr int kErrFileNotFound = 2;
constexpr int kErrPathNotFound = 3;
constexpr int kErrNotReady = 1005;
constexpr int kErrMissingStamp = 5001;
constexpr int kErrNoRecords = 5002;
constexpr int kErrOldFormat = 5013;
constexpr int kErrNoUntitledText = 7004;
constexpr uint16_t kPropTitle = 20;
constexpr uint32_t kStringUntitled = 1508;
constexpr uint32_t kCutExtensions[] = {1472, 1473, 1481}; // v5p, v5r, exe

} // namespace

static std::string spec_path(const FileSpec* spec)
{
    char path[kPathBufferSize];
    fspec_get_path(spec, path, sizeof path);
    return path;
}

static void show_cannot_open(const char* name, int error)
{
    msg_show(kMsgCannotOpen, 1, name, msg_error_text(error));
}

// The path as the piece names it; the title quoted as UTF-8 (it is in the piece's code page).
static void log_quoted(const char* what, const std::string& path, const char* title = nullptr)
{
    std::string line = std::string(what) + " \"" + path + "\"";
    if (title)
        line += " title " + plat::log_quote(title);
    plat::log_event(line);
}

// --- one file in one slot ------------------------------------------------------------------------

// The slot's node tree and record file go; the record is cleared.
static void close_slot(int slot)
{
    if (slot == 0)
        return;
    if (slot == piece_slot()) {
        if (piece_hooks().records_close_all)
            piece_hooks().records_close_all();
        piece_mark_open(0);
    }
    node_file_close_all(slot);
}

void piece_file_record_close(PieceFileRecord& record)
{
    if (record.slot == 0)
        return;
    close_slot(record.slot);
    fspec_free(record.spec);
    record = PieceFileRecord {};
}

static int open_in_slot(FileSpec* spec, int slot, PieceFileKind kind)
{
    if (!file_exists(spec))
        return kErrFileNotFound;
    if (int in_use = file_open_in_other_instance(spec, 0))
        return in_use;
    uint32_t magic = kind == kOpenLibrary ? kKindLibrary : kKindPiece;
    int result = rec_open_file(spec, slot, kRecOpenWriteThrough, fhdr_check, magic, kRecRefuseEmpty);
    if (result != kErrOk)
        return result;
    return node_file_open(slot, 0);
}

static bool library_asks_instead(PieceFileKind kind, int error)
{
    return kind == kOpenLibrary
        && (error == kErrFileNotFound || error == kErrPathNotFound || error == kErrNotReady);
}

int piece_open_file(PieceFileRecord& record, PieceFileKind kind, const char* name)
{
    int result = open_in_slot(record.spec, record.slot, kind);
    if (result == kErrOk)
        return kErrOk;
    if (!library_asks_instead(kind, result))
        show_cannot_open(name, result);
    if (result == kErrOldFormat)
        rec_close_file(record.slot);
    piece_file_record_close(record);
    return result;
}

// The current piece's file in slot 1: 0 or the error (shown).
static int open_current_file(const char* name)
{
    int slot = piece_slot();
    int result = open_in_slot(const_cast<FileSpec*>(piece_spec()), slot, kOpenPiece);
    if (result != kErrOk) {
        show_cannot_open(name, result);
        close_slot(slot);
    }
    return result;
}

// --- the learner's records --------------------------------------------------------------------------

static bool resume_option_on()
{
    return node_get_attr(node_make_icon(uint32_t(piece_slot()), 1), kAttrResume) != 0;
}

// Resumes or starts fresh: 0 or the error that fails the open.
static int open_records(const FileSpec* records, int flags)
{
    const PieceHooks& hooks = piece_hooks();
    FileSpec* records_file = records ? fspec_clone(records) : nullptr;
    if (!records) {
        if (hooks.records_set_folder)
            hooks.records_set_folder(piece_spec());
        if (hooks.records_make_path) {
            int result = hooks.records_make_path(piece_spec(), &records_file);
            if (result != kErrOk) {
                fspec_free(records_file);
                return result;
            }
        }
    }
    piece_current_set_records(records_file);
    int result = hooks.records_resume ? hooks.records_resume(records_file, flags & kOpenForceResume) : kErrOk;
    if (result == kErrOk)
        return kErrOk;
    bool resume = resume_option_on();
    if (resume && result != kErrPathNotFound && result != kErrMissingStamp && result != kErrNoRecords)
        return result;
    // Only records that cannot be resumed go: a file another instance holds, or one on a
    // volume without room, is left as it is.
    if (records_file && (result == kErrMissingStamp || result == kErrNoRecords))
        file_delete(records_file);
    return hooks.records_start_fresh ? hooks.records_start_fresh(resume ? records_file : nullptr) : kErrOk;
}

// --- opening and closing the piece ------------------------------------------------------------------

static void finish_open(int flags)
{
    const PieceHooks& hooks = piece_hooks();
    if (hooks.font_map_load)
        hooks.font_map_load(piece_slot());
    if (hooks.compact_metrics)
        hooks.compact_metrics();
    piece_set_window(flags);
    if (hooks.palette_forget_piece)
        hooks.palette_forget_piece();
    if (hooks.presentation_exists && hooks.presentation_exists() && !(flags & kOpenNoResumeIcon)
        && hooks.resume_icon_run)
        hooks.resume_icon_run();
    if (node_get_attr(node_make_icon(uint32_t(piece_slot()), 1), kAttrTitleBar) == 0 && hooks.caption_remove)
        hooks.caption_remove();
}

int piece_open(const FileSpec* spec, const FileSpec* records, int flags)
{
    const PieceHooks& hooks = piece_hooks();
    if (piece_current_set_spec(spec) != kErrOk)
        return kErrOutOfMemory;
    if (hooks.font_map_reset)
        hooks.font_map_reset();
    piece_current_set_slot(kPieceSlot);
    std::string name = spec_path(piece_spec());
    int result = open_current_file(name.c_str());
    if (result != kErrOk) {
        piece_current_clear();
        return result;
    }
    lib_open_all(piece_slot());
    piece_mark_open(1);
    result = open_records(records, flags);
    if (result == kErrOk) {
        finish_open(flags);
        char title[kPathBufferSize];
        piece_title(title, sizeof title);
        log_quoted("piece opened", name, title);
        return kErrOk;
    }
    if (hooks.records_close_all)
        hooks.records_close_all();
    lib_close_all();
    close_slot(piece_slot());
    piece_current_clear();
    if (result != kErrNoFreeVolume)
        show_cannot_open(name.c_str(), result);
    return result;
}

void piece_close(int keep_scripting)
{
    int slot = piece_slot();
    if (slot == 0)
        return;
    const PieceHooks& hooks = piece_hooks();
    std::string path = spec_path(piece_spec());
    if (hooks.records_close_all)
        hooks.records_close_all();
    if (!keep_scripting && hooks.scripting_forget_all)
        hooks.scripting_forget_all();
    if (hooks.bitmap_cache_flush)
        hooks.bitmap_cache_flush();
    lib_close_all();
    if (hooks.cursors_free)
        hooks.cursors_free();
    if (hooks.movies_unload_unused)
        hooks.movies_unload_unused();
    if (hooks.palette_forget_piece)
        hooks.palette_forget_piece();
    if (hooks.assets_clear)
        hooks.assets_clear();
    close_slot(slot);
    piece_current_clear();
    if (hooks.user_code_free)
        hooks.user_code_free();
    log_quoted("piece closed", path);
}

// --- saving a copy --------------------------------------------------------------------------------

static void delete_path(const std::string& path) { plat::delete_file(path); }

// The copy is written and closed before it replaces the target: an open file cannot be renamed.
// With switch_to_copy the slot then opens the copy (it holds every record the slot had).
int piece_save_file_as(int slot, const FileSpec* target, int switch_to_copy)
{
    if (int in_use = file_open_in_other_instance(target, 0))
        return in_use;
    std::string target_path;
    if (uint32_t error = file_spec_path(target, target_path))
        return int(error);
    RecSlot* open = rec_slot(slot);
    uint32_t open_flags = open ? open->open_flags : 0;
    FileSpec* temporary = nullptr;
    std::string temporary_path = target_path + "~";
    if (fspec_from_path(temporary_path.c_str(), &temporary) != kErrOk) {
        fspec_free(temporary);
        return kErrBadValue;
    }
    int result = int(file_create(temporary));
    FileHandle file = result == kErrOk ? file_open(temporary, kFileModeReadWrite) : FileHandle {};
    if (result == kErrOk && !file)
        result = int(file_take_last_error());
    fspec_free(temporary);
    if (result == kErrOk) {
        result = rec_save_as(slot, file, target, kKindAny, kSaveAsCopy);
        file_close(file.handle, file.kind);
    }
    if (result == kErrOk && !plat::move_file(temporary_path, target_path, plat::MOVEFILE_REPLACE_EXISTING))
        result = int(plat::get_last_error());
    if (result != kErrOk) {
        delete_path(temporary_path);
        return result;
    }
    if (switch_to_copy)
        result = rec_open_file(const_cast<FileSpec*>(target), slot, open_flags, fhdr_check, kKindAny, kRecRefuseEmpty);
    return result;
}

// --- titles ------------------------------------------------------------------------------------------

int piece_window_title(char* buffer, int size, int keep_extension)
{
    int slot = piece_slot();
    if (!piece_spec() || (slot && node_file_is_untitled(slot))) {
        int length = plat::load_string(msg_resource_module(), kStringUntitled, buffer, size);
        return length > 0 ? kErrOk : kErrNoUntitledText;
    }
    fspec_get_display_text(piece_spec(), buffer, size, kDisplayName);
    if (keep_extension)
        return kErrOk;
    char extension[8];
    fspec_get_extension(piece_spec(), extension, sizeof extension);
    for (uint32_t id : kCutExtensions) {
        char cut[8];
        plat::load_string(msg_resource_module(), id, cut, sizeof cut);
        if (extension[0] && str_compare_nocase(extension, cut) == 0) {
            std::string text = buffer;
            size_t dot = text.rfind('.');
            if (dot != std::string::npos)
                buffer[dot] = '\0';
            break;
        }
    }
    return kErrOk;
}

int piece_title(char* buffer, int size)
{
    fspec_copy_text(buffer, size, "");
    IconId top = piece_top_icon();
    uint16_t length = 0;
    uint8_t* data = top ? node_lock_prop(top, kPropTitle, &length) : nullptr;
    if (data) {
        std::string text(reinterpret_cast<const char*>(data), length);
        node_unlock_prop(top, kPropTitle, 0, data);
        text = text.substr(0, text.find('\0'));
        fspec_copy_text(buffer, size, text);
    }
    if (buffer && size > 0 && buffer[0] == '\0')
        piece_window_title(buffer, size, 0);
    return kErrOk;
}

void piece_set_window(int flags)
{
    const PieceHooks& hooks = piece_hooks();
    char title[kPathBufferSize];
    piece_title(title, sizeof title);
    plat::WindowHandle window = hooks.main_window ? hooks.main_window() : plat::WindowHandle {};
    if (window)
        plat::set_window_text(window, title);
    if (hooks.window_place)
        hooks.window_place(flags & kOpenPlaceSizeOnly);
    if (hooks.background_apply)
        hooks.background_apply();
    if (hooks.presentation_first_messages)
        hooks.presentation_first_messages();
}

// --- finding files ---------------------------------------------------------------------------------------

int piece_locate_file(const FileSpec* spec, FileSpec** out)
{
    *out = nullptr;
    FileSpec* saved = fspec_new();
    file_get_current_folder(0, saved);
    FileSpec* folder = nullptr;
    char piece_folder_text[kPathBufferSize];
    if (piece_folder(piece_folder_text, sizeof piece_folder_text) == kErrOk
        && fspec_from_folder(piece_folder_text, &folder) == kErrOk)
        file_set_current_folder(folder);
    char search[1024] = {};
    if (piece_hooks().search_path)
        piece_hooks().search_path(search, sizeof search);
    int found = search[0] ? file_find_in_folder_list(spec, search, out) : 0;
    if (!found && folder && !fspec_same_folder(spec, folder)) {
        FileSpec* beside = fspec_clone(spec);
        if (beside && fspec_set_folder(beside, piece_folder_text) == kErrOk && file_exists(beside)) {
            *out = beside;
            found = 1;
        } else
            fspec_free(beside);
    }
    if (!found && file_exists(spec)) {
        *out = fspec_clone(spec);
        found = *out != nullptr;
    }
    if (!found)
        found = file_find_in_standard_folders(spec, out);
    file_set_current_folder(saved);
    fspec_free(saved);
    fspec_free(folder);
    return found;
}
