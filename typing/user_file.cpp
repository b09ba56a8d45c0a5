// User files. The file is read only when it has the exact length of the format; every field
// of it is then taken as it stands (counts of any size are handled wide where they are used).
// Saving never destroys the old file before the new one is safely written.
#include "typing/user_file.h"

#include "platform/kernel/byte_io.h"
#include "platform/kernel/file.h"
#include "platform/kernel/file_save.h"
#include "platform/kernel/path.h"
#include "platform/gdi/gdi_object.h"
#include "typing/tutor_draw.h"
#include "typing/tutor_settings.h"

#include <cstdio>
#include <cstring>

static struct {
    std::unique_ptr<UserRecord> current;
} s_users;

static constexpr char kUserFileText[] = "QKT 1.00 user data file.";

uint32_t user_header_u32(const UserRecord& record, size_t offset)
{
    return plat::load_u32le(record.header.data() + offset);
}

void user_header_set_u32(UserRecord& record, size_t offset, uint32_t value)
{
    uint8_t* p = record.header.data() + offset;
    p[0] = uint8_t(value);
    p[1] = uint8_t(value >> 8);
    p[2] = uint8_t(value >> 16);
    p[3] = uint8_t(value >> 24);
}

std::string user_file_name(const UserRecord& record)
{
    const char* name = reinterpret_cast<const char*>(record.header.data() + kHeaderFileName);
    return std::string(name, strnlen(name, kUserHeaderSize - kHeaderFileName));
}

static std::string slot_file_name(int slot)
{
    char name[24];
    std::snprintf(name, sizeof name, "user%d.dat", slot + 1);
    return name;
}

std::unique_ptr<UserRecord> user_record_new(int16_t header_value, const char* file_name)
{
    auto record = std::make_unique<UserRecord>();
    user_header_set_u32(*record, kHeaderTwo, 2);
    record->header[kHeaderValue] = uint8_t(header_value);
    record->header[kHeaderValue + 1] = uint8_t(uint16_t(header_value) >> 8);
    user_header_set_u32(*record, kHeaderOne, 1);
    if (file_name)
        std::memcpy(record->header.data() + kHeaderFileName, file_name, strnlen(file_name, 23));
    return record;
}

std::unique_ptr<UserRecord> user_load(int slot)
{
    if (slot < -1 || slot >= kUserSlots)
        return nullptr;
    if (slot == -1)
        return user_record_new(0, nullptr);
    std::unique_ptr<UserRecord> record = user_record_new(0, slot_file_name(slot).c_str());
    (void)user_file_read(*record);
    return record;
}

static void read_stats(plat::ByteReader& r, PracticeStats& stats)
{
    for (int32_t& word : stats.words)
        word = r.i32le();
}

static void read_history(plat::ByteReader& r, HistoryEntry& entry)
{
    entry.date.day = r.u8();
    entry.date.month = r.u8();
    entry.unused = r.u16le();
    entry.date.year = r.i32le();
    entry.keystrokes = r.i32le();
    entry.typed = r.i32le();
    entry.strokes = r.i32le();
    entry.accuracy = r.i32le();
    entry.milliseconds = r.i32le();
}

bool user_file_parse(std::span<const uint8_t> bytes, UserRecord& record)
{
    if (bytes.size() != kUserFileSize)
        return false;
    plat::ByteReader r(bytes.data(), bytes.size());
    UserRecord read;
    r.bytes(read.header.data(), kUserHeaderSize);
    read_stats(r, read.today);
    read_stats(r, read.total);
    for (HistoryEntry& entry : read.history)
        read_history(r, entry);
    if (r.failed())
        return false;
    std::string kept_name = user_file_name(record); // the record's own name stays
    record = read;
    std::memset(record.header.data() + kHeaderFileName, 0, kUserHeaderSize - kHeaderFileName);
    std::memcpy(record.header.data() + kHeaderFileName, kept_name.data(), kept_name.size());
    return true;
}

std::vector<uint8_t> user_file_bytes(const UserRecord& record)
{
    std::vector<uint8_t> out;
    out.reserve(kUserFileSize);
    plat::ByteWriter w(out);
    w.bytes(record.header.data(), kUserHeaderSize);
    for (const PracticeStats* stats : {&record.today, &record.total}) {
        for (int32_t word : stats->words)
            w.u32le(uint32_t(word));
    }
    for (const HistoryEntry& entry : record.history) {
        w.u8(entry.date.day);
        w.u8(entry.date.month);
        w.u16le(entry.unused);
        for (int32_t field : {entry.date.year, entry.keystrokes, entry.typed, entry.strokes,
                 entry.accuracy, entry.milliseconds})
            w.u32le(uint32_t(field));
    }
    return out;
}

// The whole file when it has exactly the expected length; empty otherwise.
std::vector<uint8_t> tutor_file_read_exact(const std::string& path, size_t expected)
{
    plat::FileHandle file
        = plat::create_file(path, plat::GENERIC_READ, plat::FILE_SHARE_READ, plat::OPEN_EXISTING, 0);
    if (!file)
        return {};
    std::vector<uint8_t> bytes;
    if (plat::get_file_size(file) == int64_t(expected)) {
        bytes.resize(expected);
        uint32_t got = 0;
        if (!plat::read_file(file, bytes.data(), uint32_t(expected), &got) || got != expected)
            bytes.clear();
    }
    plat::close_handle(file);
    return bytes;
}

bool user_file_read(UserRecord& record)
{
    std::string name = user_file_name(record);
    if (name.empty())
        return false;
    std::vector<uint8_t> bytes = tutor_file_read_exact(path_in_program_folder(name), kUserFileSize);
    if (!user_file_parse(bytes, record))
        return false;
    if (stats_date(record.today) != date_stamp_today())
        record.today = PracticeStats {};
    return true;
}

// The old file stays whole until the new one is safely on disk (file_save.h).
bool tutor_file_replace(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::string host_path = plat::path_to_host(path);
    plat::FileSave save;
    if (host_path.empty() || !plat::save_begin_host(host_path, save))
        return false;
    bool written = plat::write_file(save.file, bytes.data(), uint32_t(bytes.size()), nullptr)
        && plat::set_end_of_file(save.file);
    // Once committed only the folder's sync can have failed: the new bytes are the file's.
    bool saved = written && (plat::save_commit(save) || save.committed);
    if (!written)
        plat::save_abandon(save);
    plat::close_handle(save.file);
    if (save.old_bytes)
        plat::close_handle(save.old_bytes);
    return saved;
}

bool user_save(UserRecord& record, int slot)
{
    if (slot < 0 || slot >= kUserSlots)
        return false;
    user_history_update(record);
    std::memset(record.header.data() + kHeaderText, 0, 40);
    std::memcpy(record.header.data() + kHeaderText, kUserFileText, sizeof kUserFileText - 1);
    record.header[kHeaderEof] = 0x1A;
    record.header[kHeaderVersion] = 0x00;
    record.header[kHeaderVersion + 1] = 0x01;
    return tutor_file_replace(path_in_program_folder(slot_file_name(slot)), user_file_bytes(record));
}

void user_history_update(UserRecord& record)
{
    DateStamp today = date_stamp_today();
    stats_set_date(record.today, today);
    HistoryEntry* slot = nullptr;
    for (HistoryEntry& entry : record.history) {
        if (entry.date.year == 0 || entry.date == today) {
            slot = &entry;
            break;
        }
    }
    if (!slot) {
        for (size_t i = 1; i < kHistoryDays; ++i)
            record.history[i - 1] = record.history[i];
        slot = &record.history[kHistoryDays - 1];
    }
    const PracticeStats& t = record.today;
    *slot = HistoryEntry {today, 0, practice_keystrokes(t), t.at(kStatsTyped), t.at(kStatsStrokes),
        accuracy_percent(t.at(kStatsTyped), t.at(kStatsCorrect)), t.at(kStatsMilliseconds)};
}

UserRecord* user_current() { return s_users.current.get(); }
void user_set_current(std::unique_ptr<UserRecord> record) { s_users.current = std::move(record); }
std::unique_ptr<UserRecord> user_take_current() { return std::move(s_users.current); }

void practice_stats_commit(const PracticeStats& practice)
{
    if (!s_users.current)
        return;
    practice_stats_add(practice, s_users.current->today);
    practice_stats_add(practice, s_users.current->total);
}

void user_face_draw(plat::GdiObject bitmap, int slot, int32_t x, int32_t y)
{
    if (slot < 0 || slot >= kUserSlots)
        slot = 0;
    if (x == -1 || y == -1) {
        x = 45;
        y = 27;
    }
    char name[16];
    std::snprintf(name, sizeof name, "face%d.bmp", slot + 1);
    plat::GdiObject face = picture_load(name);
    if (!face)
        return;
    bitmap_draw_into(bitmap, face, x, y);
    plat::delete_object(face);
}
