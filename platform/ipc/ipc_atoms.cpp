#include "platform/ipc/ipc_atoms.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/file.h>
#include <time.h>
#include <unistd.h>

#include "platform/ipc/ipc.h"
#include "platform/ipc/ipc_core.h"
#include "platform/ipc/ipc_folder.h"
#include "platform/kernel/byte_io.h"
#include "platform/kernel/codepage.h"
#include "platform/kernel/error.h"

namespace plat {

constexpr uint32_t kAtomTableMagic = 0x54415653; // "SVAT"
constexpr uint16_t kAtomTableVersion = 1;
constexpr uint16_t kFirstAtom = 0xC000;
constexpr uint32_t kAtomCount = 0x10000 - kFirstAtom;
constexpr size_t kNameBytesMax = 260 * 4; // 260 characters of up to four UTF-8 bytes
constexpr size_t kAtomEntryMin = 2 + 2 + 1 + 2;
constexpr uint32_t kLockWaitMs = 5000;

bool atom_table_read(const uint8_t* data, size_t size, AtomTable& out)
{
    ByteReader r(data, size);
    uint32_t magic = r.u32le();
    uint16_t version = r.u16le();
    out.next = r.u16le();
    uint32_t count = r.u32le();
    if (r.failed() || magic != kAtomTableMagic || version != kAtomTableVersion || count > kAtomCount
        || count > r.remaining() / kAtomEntryMin)
        return false;
    std::vector<bool> seen(kAtomCount, false);
    out.atoms.clear();
    out.atoms.reserve(count);
    for (uint32_t i = 0; i < count; i++) {
        SharedAtom entry;
        entry.atom = r.u16le();
        uint16_t length = r.u16le();
        if (r.failed() || entry.atom < kFirstAtom || seen[entry.atom - kFirstAtom] || length == 0
            || length > kNameBytesMax || length > r.remaining())
            return false;
        seen[entry.atom - kFirstAtom] = true;
        entry.name.assign(reinterpret_cast<const char*>(r.current()), length);
        r.skip(length);
        uint16_t holders = r.u16le();
        if (r.failed() || holders == 0 || holders > r.remaining() / 8)
            return false;
        for (uint16_t h = 0; h < holders; h++) {
            AtomReference reference{r.u32le(), r.u32le()};
            if (reference.count == 0)
                return false;
            entry.references.push_back(reference);
        }
        out.atoms.push_back(std::move(entry));
    }
    return !r.failed() && r.remaining() == 0;
}

std::vector<uint8_t> atom_table_write(const AtomTable& table)
{
    std::vector<uint8_t> out;
    ByteWriter w(out);
    w.u32le(kAtomTableMagic);
    w.u16le(kAtomTableVersion);
    w.u16le(table.next);
    w.u32le(uint32_t(table.atoms.size()));
    for (const SharedAtom& entry : table.atoms) {
        w.u16le(entry.atom);
        w.u16le(uint16_t(entry.name.size()));
        w.bytes(entry.name.data(), entry.name.size());
        w.u16le(uint16_t(entry.references.size()));
        for (const AtomReference& reference : entry.references) {
            w.u32le(reference.pid);
            w.u32le(reference.count);
        }
    }
    return out;
}

static std::string table_path(const std::string& folder) { return ipc_folder_file(folder, "atoms"); }

static AtomTable load(const std::string& folder)
{
    std::ifstream file(table_path(folder), std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    std::string data = bytes.str();
    AtomTable table;
    if (!atom_table_read(reinterpret_cast<const uint8_t*>(data.data()), data.size(), table))
        table = AtomTable{}; // missing or damaged: a fresh table
    return table;
}

static bool store(const std::string& folder, const AtomTable& table)
{
    std::string temporary = table_path(folder) + "." + std::to_string(getpid());
    std::vector<uint8_t> bytes = atom_table_write(table);
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        if (!file.flush())
            return false;
    }
    return std::rename(temporary.c_str(), table_path(folder).c_str()) == 0;
}

// The table's lock file, held: a writer waits for another at most kLockWaitMs.
class TableLock {
public:
    explicit TableLock(const std::string& folder)
    {
        m_fd = open(ipc_folder_file(folder, "atoms.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        uint64_t deadline = ipc_now_ms() + kLockWaitMs;
        while (m_fd >= 0 && flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
            if (ipc_now_ms() >= deadline) {
                close(m_fd);
                m_fd = -1;
                break;
            }
            timespec pause {0, 1000000};
            nanosleep(&pause, nullptr);
        }
    }
    ~TableLock()
    {
        if (m_fd >= 0)
            close(m_fd);
    }
    bool held() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

static bool process_alive(uint32_t pid) { return kill(pid_t(pid), 0) == 0 || errno == EPERM; }

static void drop_gone_programs(AtomTable& table)
{
    for (SharedAtom& entry : table.atoms) {
        std::erase_if(entry.references, [](const AtomReference& r) { return !process_alive(r.pid); });
    }
    std::erase_if(table.atoms, [](const SharedAtom& entry) { return entry.references.empty(); });
}

static std::string folded(std::string_view name_in_code_page)
{
    std::string text(name_in_code_page);
    char_upper(text.data(), text.size());
    return text;
}

static SharedAtom* by_name(AtomTable& table, std::string_view name)
{
    std::string wanted = folded(name);
    for (SharedAtom& entry : table.atoms) {
        if (folded(utf8_to_code_page(CP_ACP, entry.name)) == wanted)
            return &entry;
    }
    return nullptr;
}

static SharedAtom* by_value(AtomTable& table, uint16_t atom)
{
    for (SharedAtom& entry : table.atoms) {
        if (entry.atom == atom)
            return &entry;
    }
    return nullptr;
}

static bool free_value(AtomTable& table, uint16_t& atom)
{
    std::vector<bool> used(kAtomCount, false);
    for (const SharedAtom& entry : table.atoms)
        used[entry.atom - kFirstAtom] = true;
    uint32_t start = table.next >= kFirstAtom ? table.next - kFirstAtom : 0;
    for (uint32_t tried = 0; tried < kAtomCount; tried++) {
        uint32_t candidate = (start + tried) % kAtomCount;
        if (!used[candidate]) {
            atom = uint16_t(kFirstAtom + candidate);
            table.next = uint16_t(kFirstAtom + (candidate + 1) % kAtomCount);
            return true;
        }
    }
    return false;
}

static void add_reference(SharedAtom& entry, uint32_t pid)
{
    for (AtomReference& reference : entry.references) {
        if (reference.pid == pid) {
            if (reference.count < UINT32_MAX)
                reference.count++;
            return;
        }
    }
    entry.references.push_back(AtomReference{pid, 1});
}

uint16_t ipc_atom_add(const std::string& folder, std::string_view name)
{
    TableLock lock(folder);
    if (!lock.held()) {
        set_last_error(ERROR_TIMEOUT);
        return 0;
    }
    AtomTable table = load(folder);
    drop_gone_programs(table);
    uint32_t pid = uint32_t(getpid());
    uint16_t atom = 0;
    if (SharedAtom* entry = by_name(table, name)) {
        add_reference(*entry, pid);
        atom = entry->atom;
    } else if (free_value(table, atom)) {
        table.atoms.push_back(SharedAtom{atom, code_page_to_utf8(CP_ACP, name), {AtomReference{pid, 1}}});
    } else {
        set_last_error(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    if (!store(folder, table)) {
        set_last_error(ERROR_ACCESS_DENIED);
        return 0;
    }
    return atom;
}

uint16_t ipc_atom_find(const std::string& folder, std::string_view name)
{
    AtomTable table = load(folder);
    if (SharedAtom* entry = by_name(table, name))
        return entry->atom;
    set_last_error(ERROR_FILE_NOT_FOUND);
    return 0;
}

// Only the program's own references can be dropped: another program's atom stays.
uint16_t ipc_atom_delete(const std::string& folder, uint16_t atom)
{
    TableLock lock(folder);
    if (!lock.held()) {
        set_last_error(ERROR_TIMEOUT);
        return atom;
    }
    AtomTable table = load(folder);
    drop_gone_programs(table);
    SharedAtom* entry = by_value(table, atom);
    uint32_t pid = uint32_t(getpid());
    auto own = entry ? std::find_if(entry->references.begin(), entry->references.end(),
                           [pid](const AtomReference& r) { return r.pid == pid; })
                     : std::vector<AtomReference>::iterator{};
    if (!entry || own == entry->references.end()) {
        set_last_error(ERROR_INVALID_HANDLE);
        return atom;
    }
    if (--own->count == 0)
        entry->references.erase(own);
    if (entry->references.empty())
        std::erase_if(table.atoms, [atom](const SharedAtom& e) { return e.atom == atom; });
    if (!store(folder, table)) {
        set_last_error(ERROR_ACCESS_DENIED);
        return atom;
    }
    return 0;
}

bool ipc_atom_name(const std::string& folder, uint16_t atom, std::string& name)
{
    AtomTable table = load(folder);
    SharedAtom* entry = by_value(table, atom);
    if (!entry) {
        set_last_error(ERROR_INVALID_HANDLE);
        return false;
    }
    name = utf8_to_code_page(CP_ACP, entry->name);
    return true;
}

} // namespace plat
