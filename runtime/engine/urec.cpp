#include "runtime/engine/urec.h"

#include "platform/kernel/byte_io.h"
#include "runtime/base/errcode.h"
#include "runtime/base/str.h"
#include "runtime/base/taglist.h"
#include "runtime/engine/exec_hooks.h"
#include "runtime/engine/exec_trace.h"
#include "runtime/engine/idle.h"
#include "runtime/engine/kernel.h"
#include "runtime/files/err.h"
#include "runtime/files/file_ops.h"
#include "runtime/files/fspec_func.h"
#include "runtime/files/ini.h"
#include "runtime/files/msg.h"
#include "runtime/files/util.h"
#include "runtime/nodes/node_attr.h"
#include "runtime/nodes/node_tree.h"
#include "runtime/pieces/instance.h"
#include "runtime/pieces/piece_current.h"
#include "runtime/store/fhdr.h"
#include "runtime/store/rec_flush.h"
#include "runtime/store/rec_store.h"
#include "runtime/store/rec_write.h"

#include <cstring>

namespace {

struct RecordsState {
    std::string folder;
    std::string jump_folder;
};

RecordsState s_records;

struct MiscState {
    uint16_t flags = 0;
    uint8_t drawing[48] = {};
};

MiscState s_misc;

constexpr int kPathLimit = 259; // folder + name + extension stay below it
constexpr int kFolderLimit = 261;
constexpr const char* kDataFolder = "V5W_DATA\\";
constexpr const char* kRecordsExtension = "rec";
constexpr const char* kAsideExtension = "bak";
constexpr uint32_t kMsgSaveFailed = 57;
constexpr size_t kMiscSavedSize = 50;

} // namespace

static RecordId record_id(uint16_t number) { return RecordId(uint32_t(kRecordsSlot) << 16 | number); }

// --- where the file lives ----------------------------------------------------------------------

static std::string with_separator(std::string folder)
{
    if (!folder.empty() && folder.back() != '\\' && folder.back() != '/')
        folder += '\\';
    return folder;
}

static std::string windows_data_folder()
{
    FileSpec* file_spec = fspec_new();
    char folder[kFolderLimit + 1] = "";
    std::string result;
    if (file_spec && fspec_set_windows_folder(*file_spec) == 0 && fspec_get_folder(file_spec, folder, sizeof folder) == 0) {
        result = with_separator(folder) + kDataFolder;
        if (int(result.size()) >= kFolderLimit)
            result.clear();
    }
    fspec_free(file_spec);
    return result;
}

static void create_folder(const std::string& folder)
{
    FileSpec* file_spec = nullptr;
    if (fspec_from_path((folder + "x").c_str(), &file_spec) == 0)
        (void)file_create_folders(file_spec);
    fspec_free(file_spec);
}

int urec_set_records_folder(const FileSpec* piece)
{
    char value[kFolderLimit] = "";
    if (piece) {
        char section[kFolderLimit] = "";
        if (fspec_get_base_name(piece, section, sizeof section) == 0 && section[0])
            ini_read_setting(IniSetting::records_location, section, value, sizeof value);
    }
    if (!value[0])
        ini_read_setting(IniSetting::records_location, nullptr, value, sizeof value);
    s_records.folder = value[0] ? with_separator(value) : windows_data_folder();
    if (s_records.folder.empty())
        return kErrNameEmpty;
    // A missing folder would make every piece start fresh without a word.
    create_folder(s_records.folder);
    return 0;
}

const std::string& urec_records_folder() { return s_records.folder; }

int urec_make_path(const FileSpec* piece, FileSpec** out)
{
    *out = nullptr;
    char name[kFolderLimit] = "";
    if (!piece || fspec_get_base_name(piece, name, sizeof name) != 0)
        return kErrNameEmpty;
    int room = kPathLimit - 1 - int(s_records.folder.size()) - int(std::strlen(kRecordsExtension)) - 1;
    int length = room <= 0 ? 0 : str_fit_length(name, std::min<int>(room, int(std::strlen(name))));
    name[length] = '\0';
    if (length == 0)
        return kErrNameEmpty;
    std::string path = s_records.folder + name + "." + kRecordsExtension;
    if (fspec_from_path(path.c_str(), out) != 0) {
        fspec_free(*out);
        *out = nullptr;
        return kErrNameEmpty;
    }
    return 0;
}

int urec_apply_extension(FileSpec* file_spec)
{
    return file_spec ? fspec_set_extension_code(file_spec, fspec_extension_code(kRecordsExtension)) : kErrBadValue;
}

void urec_set_jump_folder(const char* folder) { s_records.jump_folder = folder ? folder : ""; }

// --- the store ---------------------------------------------------------------------------------

// The file goes to NAME.bak (an older one there is replaced), so that nothing is lost.
void urec_keep_aside(const FileSpec* file_spec)
{
    char base[kFolderLimit] = "";
    if (fspec_get_base_name(file_spec, base, sizeof base) != 0)
        return;
    FileSpec* aside = fspec_clone(file_spec);
    if (aside && fspec_set_name(aside, (std::string(base) + "." + kAsideExtension).c_str()) == 0) {
        (void)file_delete(aside);
        if (file_rename(file_spec, aside) != 0)
            (void)file_delete(file_spec);
    }
    fspec_free(aside);
}

// What the kind header or the file's own structure refused: not a records file we can use.
static bool content_refused(int error)
{
    return error == kErrFileDamaged || error == kErrWrongKind || error == kErrFileTooOld || error == kErrFileTooNew
        || error == kErrOlderFormat || error == kErrShortRead;
}

static int open_slot(FileSpec* file_spec)
{
    return rec_open_file(file_spec, kRecordsSlot, kRecOpenWritable, fhdr_check, kKindRecords, kRecAcceptEmpty);
}

int urec_open(FileSpec* file_spec, int)
{
    if (!file_spec)
        return open_slot(nullptr);
    if (file_open_in_other_instance(file_spec, 1) != 0) {
        rec_set_error_word(kErrRecordsInUse);
        return kErrRecordsInUse;
    }
    uint64_t free_bytes = 0;
    int measured = fspec_disk_free_ex(file_spec, &free_bytes);
    if (measured == 0 && free_bytes < kRecordsMinFreeBytes) {
        rec_set_error_word(kErrDiskFull);
        return kErrDiskFull;
    }
    int error = open_slot(file_spec);
    if (error != 0 && content_refused(error)) {
        urec_keep_aside(file_spec);
        error = open_slot(file_spec);
    }
    return error;
}

void urec_close() { (void)rec_close_file(kRecordsSlot); }

int urec_flush() { return rec_flush(kRecordsSlot, 0); }

uint16_t urec_new_id()
{
    if (!rec_slot(kRecordsSlot))
        return 0;
    RecordRef ref;
    rec_ref_init(ref, record_id(2), kLearnerRecordType);
    uint32_t number = rec_ref_new_empty(ref);
    return number > 0xFFFF ? 0 : uint16_t(number);
}

int urec_read(uint16_t number, std::vector<uint8_t>& out)
{
    out.clear();
    if (number == 0 || !rec_slot(kRecordsSlot))
        return kErrOutOfMemory;
    RecordId id = record_id(number);
    MemHandle block = rec_get(id);
    if (!block)
        return kErrOutOfMemory;
    uint32_t size = rec_size(id, kSizeUnpacked);
    const uint8_t* bytes = static_cast<const uint8_t*>(mem_address(block));
    if (size > mem_size(block))
        size = uint32_t(mem_size(block));
    out.assign(bytes, bytes + size);
    rec_release(id, kReleaseOne);
    return 0;
}

int urec_write(uint16_t number, const void* bytes, size_t size)
{
    if (number == 0 || !rec_slot(kRecordsSlot))
        return kErrOutOfMemory;
    MemHandle block = size ? mem_alloc_copy(bytes, size) : mem_alloc(0, 0);
    if (!block)
        return kErrOutOfMemory;
    RecordId id = record_id(number);
    RecordRef ref;
    rec_ref_init(ref, id, kLearnerRecordType);
    int error = rec_ref_put(ref, block, uint32_t(size));
    if (error != 0) {
        mem_free(block);
        return error;
    }
    rec_release(id, kReleaseOne);
    return 0;
}

int urec_delete(uint16_t number)
{
    if (number == 0 || !rec_slot(kRecordsSlot))
        return 0;
    return rec_delete(record_id(number));
}

void urec_release(uint16_t) {}

// --- record 1 ----------------------------------------------------------------------------------

struct Field {
    uint16_t tag;
    uint16_t length;
    size_t offset; // of the data in record 1
};

// The fields of a tag list in order; false when it does not hold a whole list.
static bool list_fields(const std::vector<uint8_t>& list, std::vector<Field>& out)
{
    out.clear();
    if (taglist_check(list.data(), list.size()) != 0)
        return false;
    plat::ByteReader r(list.data(), list.size());
    for (;;) {
        uint16_t tag = r.u16le();
        if (r.failed())
            return false;
        if (tag == 0)
            return true;
        uint16_t length = r.u16le();
        out.push_back({tag, length, list.size() - r.remaining()});
        if (!r.skip(size_t(length) + (length & 1)))
            return false;
    }
}

static const Field* find_field(const std::vector<Field>& fields, uint16_t tag)
{
    for (const Field& field : fields)
        if (field.tag == tag)
            return &field;
    return nullptr;
}

void urec_make_stamp(const uint8_t* field1, size_t length, uint8_t out[kStampSize])
{
    int64_t end = piece_slot() ? rec_file_end(piece_slot()) : 0;
    plat::store_u32le(out, uint32_t(int32_t(end)));
    plat::store_u32le(out + 4, field1 && length ? util_checksum(field1, length) : 0);
    plat::store_u32le(out + 8, 0);
    plat::store_u16le(out + 12, kStampVersion);
}

int urec_check_stamp()
{
    std::vector<uint8_t> list;
    if (urec_read(1, list) != 0)
        return kErrNoFirstRecord;
    std::vector<Field> fields;
    if (!list_fields(list, fields))
        return kErrStampSize;
    const Field* stamp = find_field(fields, kStampTag);
    if (!stamp)
        return kErrStampDiffers;
    if (stamp->length != kStampSize)
        return kErrStampSize;
    const Field* kernel = find_field(fields, kSlotKernel);
    uint8_t fresh[kStampSize];
    urec_make_stamp(kernel ? &list[kernel->offset] : nullptr, kernel ? kernel->length : 0, fresh);
    return std::memcmp(fresh, &list[stamp->offset], kStampSize) == 0 ? 0 : kErrStampDiffers;
}

// Record 1 with a fresh stamp as field 10000, which is always written with the fields it
// vouches for.
static int put_stamp(std::vector<uint8_t>& list)
{
    std::vector<Field> fields;
    if (!list_fields(list, fields))
        return kErrFileDamaged;
    const Field* kernel = find_field(fields, kSlotKernel);
    uint8_t stamp[kStampSize];
    urec_make_stamp(kernel ? &list[kernel->offset] : nullptr, kernel ? kernel->length : 0, stamp);
    TagList handle = mem_alloc_copy(list.data(), list.size());
    if (!handle)
        return kErrOutOfMemory;
    int ok = taglist_put(&handle, kStampTag, stamp, kStampSize);
    if (ok) {
        const uint8_t* bytes = static_cast<const uint8_t*>(mem_address(handle));
        list.assign(bytes, bytes + taglist_size(bytes, mem_size(handle)));
    }
    taglist_free(handle);
    return ok ? 0 : kErrOutOfMemory;
}

// --- the drivers -------------------------------------------------------------------------------

static void release_slots_before(int slot)
{
    for (int n = slot - 1; n >= 1; n--) {
        ModuleMessage message;
        message.message = kModRelease;
        (void)modmsg_send(n, &message);
    }
}

static void trace_refused(int error)
{
    exec_trace(kTraceRecords, "records refused " + std::to_string(error));
}

static bool another_instance_holds(FileSpec* file_spec)
{
    return file_spec && file_open_in_other_instance(file_spec, 1) != 0;
}

// Init for every module into a new record 1: 0, or the error with the first slot that has
// nothing to release in *failed.
static int init_modules(std::vector<uint8_t>& list, int* failed)
{
    TagList handle = taglist_new();
    if (!handle)
        return kErrOutOfMemory;
    int error = 0;
    for (int slot = 1; slot <= kModuleSlotCount && !error; slot++) {
        uint8_t scratch[kModuleScratchSize] = {};
        ModuleMessage message;
        message.message = kModInit;
        message.state = scratch;
        message.reset = 1;
        error = modmsg_send(slot, &message);
        if (error) {
            *failed = slot; // this one did not start: the ones before it are released
            break;
        }
        int size = message.size <= 0 ? 1 : std::min<int>(message.size, kModuleScratchSize);
        if (!taglist_put(&handle, uint16_t(slot), scratch, uint32_t(size))) {
            error = kErrOutOfMemory;
            *failed = slot + 1; // this one started and is released too
        }
    }
    if (!error) {
        const uint8_t* bytes = static_cast<const uint8_t*>(mem_address(handle));
        list.assign(bytes, bytes + taglist_size(bytes, mem_size(handle)));
    }
    taglist_free(handle);
    return error;
}

int urec_start_fresh(FileSpec* file_spec)
{
    if (another_instance_holds(file_spec)) {
        trace_refused(kErrRecordsInUse);
        return kErrRecordsInUse;
    }
    if (file_spec)
        (void)file_delete(file_spec);
    int error = urec_open(file_spec, 1);
    if (error)
        return error;
    std::vector<uint8_t> list;
    int failed = kModuleSlotCount + 1;
    error = init_modules(list, &failed);
    if (!error)
        error = urec_write(1, list.data(), list.size());
    if (error) {
        release_slots_before(failed);
        urec_close();
        exec_set_records_open(0);
        return error;
    }
    exec_set_records_open(1);
    exec_trace(kTraceRecords, "records fresh");
    exec_wake_idle_now();
    return 0;
}

// A piece without resume starts from the beginning but keeps its session counts.
static int start_keeping_counters(FileSpec* file_spec, const std::vector<uint8_t>& list, const std::vector<Field>& fields)
{
    std::vector<uint8_t> counters;
    if (const Field* field = find_field(fields, kSlotSession))
        counters.assign(list.begin() + ptrdiff_t(field->offset), list.begin() + ptrdiff_t(field->offset + field->length));
    urec_close();
    int error = urec_start_fresh(file_spec);
    if (error || counters.empty())
        return error;
    ModuleMessage message;
    message.message = kModRestore;
    message.size = int16_t(counters.size());
    message.state = counters.data();
    (void)modmsg_send(kSlotSession, &message);
    return 0;
}

// Restore for every field in tag order; every module must find its own field.
static int restore_modules(std::vector<uint8_t>& list, const std::vector<Field>& fields)
{
    int expected = 1;
    for (const Field& field : fields) {
        if (field.tag >= kStampTag)
            continue;
        if (field.tag < 1 || field.tag > kModuleSlotCount) {
            release_slots_before(expected);
            return kErrBadSlot;
        }
        if (field.tag != expected) {
            release_slots_before(expected);
            return kErrStateSize;
        }
        std::vector<uint8_t> state(list.begin() + ptrdiff_t(field.offset),
            list.begin() + ptrdiff_t(field.offset + field.length));
        ModuleMessage message;
        message.message = kModRestore;
        message.size = int16_t(field.length);
        message.state = state.data();
        if (int error = modmsg_send(field.tag, &message)) {
            release_slots_before(field.tag + 1);
            return error;
        }
        expected++;
    }
    if (expected != kModuleSlotCount + 1) {
        release_slots_before(expected);
        return kErrStateSize;
    }
    return 0;
}

// The stored states into the modules; *fresh tells that the piece started fresh instead.
static int resume_open_store(FileSpec* file_spec, int force, bool* fresh)
{
    int error = urec_check_stamp();
    if (error)
        return error;
    std::vector<uint8_t> list;
    std::vector<Field> fields;
    if (urec_read(1, list) != 0 || !list_fields(list, fields))
        return kErrFileDamaged;
    IconId top = piece_top_icon();
    bool resume_option = top && node_get_attr(top, kAttrResume) != 0;
    if (!resume_option && !force) {
        *fresh = true;
        return start_keeping_counters(file_spec, list, fields);
    }
    return restore_modules(list, fields);
}

int urec_resume(FileSpec* file_spec, int force)
{
    int error = urec_open(file_spec, 1);
    if (error) {
        trace_refused(error);
        return error;
    }
    bool fresh = false;
    error = resume_open_store(file_spec, force, &fresh);
    if (fresh)
        return error;
    if (error) {
        urec_close();
        trace_refused(error);
        return error;
    }
    exec_set_records_open(1);
    exec_trace(kTraceRecords, "records resumed");
    modmsg_suspend_all(1);
    exec_wake_idle_now();
    return 0;
}

// Save for every field below the stamp, into record 1's own bytes.
static int save_modules(std::vector<uint8_t>& list)
{
    std::vector<Field> fields;
    if (!list_fields(list, fields))
        return kErrFileDamaged;
    for (const Field& field : fields) {
        if (field.tag >= kStampTag)
            continue;
        ModuleMessage message;
        message.message = kModSave;
        message.size = int16_t(field.length);
        message.state = &list[field.offset];
        if (int error = modmsg_send(field.tag, &message))
            return error;
    }
    return 0;
}

int urec_save_all(int force)
{
    if (!exec_records_open() || exec_error_shown() || (!force && !exec_resume_enabled()))
        return 0;
    bool was_suspended = exec_suspended() != 0;
    if (!was_suspended)
        modmsg_suspend_all(0);
    exec_set_saving(1);
    std::vector<uint8_t> list;
    int error = urec_read(1, list) != 0 ? kErrNoFirstRecord : 0;
    if (!error)
        error = save_modules(list);
    if (!error)
        error = put_stamp(list);
    if (!error)
        error = urec_write(1, list.data(), list.size());
    exec_set_saving(0);
    if (!error)
        error = urec_flush();
    if (error && was_suspended && (exec_resume_enabled() || force))
        msg_show(kMsgSaveFailed, msg_error_text(error));
    if (!was_suspended)
        modmsg_suspend_all(1);
    if (!error)
        exec_trace(kTraceRecords, "records saved");
    return error;
}

void urec_close_all()
{
    if (exec_records_open()) {
        ModuleMessage message;
        message.message = kModRelease;
        modmsg_broadcast(&message);
    }
    if (rec_slot(kRecordsSlot))
        urec_close();
    exec_set_records_open(0);
    exec_clear_error_flags();
}

// --- Resume and the resume icon ----------------------------------------------------------------

int exec_resume_enabled() { return exec_records_open() && exec_resume_flag() ? 1 : 0; }

static void forced_save(uint32_t) { (void)urec_save_all(1); }

void exec_set_resume(int on)
{
    IconId top = piece_top_icon();
    if (!top || node_get_attr(top, kAttrResume) == 0)
        return;
    exec_set_resume_flag(on ? 1 : 0);
    if (!on) {
        KernelDeferredAction action;
        action.type = kDeferCallback;
        action.callback = forced_save;
        (void)exec_defer_action(&action);
    }
}

int exec_resume_icon()
{
    uint16_t node = exec_resume_icon_number();
    return node ? node_kind(node_make_icon(uint32_t(piece_slot()), node)) : 0;
}

void exec_set_resume_icon(IconId icon)
{
    exec_set_resume_icon_number(icon && node_icon_slot(icon) == uint32_t(piece_slot()) ? uint16_t(node_icon_number(icon)) : 0);
}

void exec_run_resume_icon()
{
    uint16_t node = exec_resume_icon_number();
    if (node && exec_hooks().kernel_goto)
        exec_hooks().kernel_goto(node_make_icon(uint32_t(piece_slot()), node), 3);
}

// --- slot 23 -----------------------------------------------------------------------------------

int judge_preset_cleared() { return s_misc.flags & 1; }
void judge_set_preset_cleared(int flag) { s_misc.flags = uint16_t(flag ? s_misc.flags | 1 : s_misc.flags & ~1u); }

int misc_module(ModuleMessage* message)
{
    switch (message->message) {
    case kModInit:
        s_misc = MiscState {};
        s_misc.flags = 1;
        message->size = int16_t(kMiscSavedSize);
        [[fallthrough]];
    case kModSave:
        if (message->size != int16_t(kMiscSavedSize) || !message->state)
            return message->message == kModInit ? 0 : kErrStateSize;
        plat::store_u16le(message->state, s_misc.flags);
        std::memcpy(message->state + 2, s_misc.drawing, sizeof s_misc.drawing);
        return 0;
    case kModRestore:
        if (message->size != int16_t(kMiscSavedSize) || !message->state)
            return kErrStateSize;
        s_misc.flags = plat::load_u16le(message->state);
        std::memcpy(s_misc.drawing, message->state + 2, sizeof s_misc.drawing);
        return 0;
    case kModRelease:
    case kModDelete: s_misc.flags = 0; return 0;
    default: return 0;
    }
}

void urec_reset()
{
    s_records = RecordsState {};
    s_misc = MiscState {};
}
