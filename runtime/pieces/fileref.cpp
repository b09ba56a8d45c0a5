#include "runtime/pieces/fileref.h"

#include "platform/kernel/byte_io.h"
#include "runtime/base/errcode.h"
#include "runtime/base/str.h"
#include "runtime/files/fspec_func.h"
#include "runtime/files/fspec_inet.h"
#include "runtime/files/fspec_mgr.h"

#include <algorithm>
#include <cstring>

constexpr size_t kMacPathMax = 260;
constexpr size_t kMacNameSize = 64;

// A stored text: its bytes up to the first NUL (a text without one ends with its bytes).
static std::string read_text(plat::ByteReader r)
{
    const uint8_t* start = r.current();
    size_t length = r.remaining();
    const void* nul = std::memchr(start, 0, length);
    if (nul)
        length = size_t(static_cast<const uint8_t*>(nul) - start);
    return std::string(reinterpret_cast<const char*>(start), length);
}

static void write_text(plat::ByteWriter& w, const std::string& text) { w.cstring(text); }

// --- one representation ------------------------------------------------------------------

static int read_pair(FileRefItem& item, plat::ByteReader r)
{
    if (r.remaining() == 0)
        return kErrOk;
    uint32_t size = r.u32le();
    if (r.failed() || size > r.remaining())
        return kErrBadValue;
    item.first = read_text(r.sub(size));
    if (r.remaining() == 0)
        return kErrOk;
    size = r.u32le();
    if (r.failed() || size > r.remaining())
        return kErrBadValue;
    item.second = size ? read_text(r.sub(size)) : std::string();
    return kErrOk;
}

static int read_mac(FileRefItem& item, plat::ByteReader r)
{
    item.tag = r.u32be();
    uint16_t has_path = r.u16be();
    if (r.failed())
        return kErrBadValue;
    if (has_path == 1) {
        item.first = read_text(r);
        return kErrOk;
    }
    item.volume = r.i16be();
    item.folder_id = r.i32be();
    r.bytes(item.name, kMacNameSize);
    item.name[kMacNameSize - 1] = '\0';
    return r.failed() ? kErrBadValue : kErrOk;
}

static int read_item(FileRefItem& item, plat::ByteReader r, bool old_form)
{
    switch (item.index) {
    case kRefPath:
    case kRefUrl:
        item.first = read_text(r);
        return kErrOk;
    case kRefPathPair:
        if (old_form) { // the old form held the first path's text alone
            item.first = read_text(r);
            return kErrOk;
        }
        return read_pair(item, r);
    case kRefMac:
        return read_mac(item, r);
    default:
        item.raw.assign(r.current(), r.current() + r.remaining());
        return kErrOk;
    }
}

static void write_item(const FileRefItem& item, plat::ByteWriter& w)
{
    switch (item.index) {
    case kRefPath:
    case kRefUrl:
        write_text(w, item.first);
        return;
    case kRefPathPair:
        if (item.first.empty())
            return; // nothing at all without a first path
        w.u32le(uint32_t(item.first.size() + 1));
        write_text(w, item.first);
        w.u32le(item.second.empty() ? 0 : uint32_t(item.second.size() + 1));
        if (!item.second.empty())
            write_text(w, item.second);
        return;
    case kRefMac:
        w.u32be(item.tag);
        w.u16be(item.first.empty() ? 0 : 1);
        if (!item.first.empty()) {
            write_text(w, item.first);
            return;
        }
        w.u16be(uint16_t(item.volume));
        w.u32be(uint32_t(item.folder_id));
        w.bytes(item.name, kMacNameSize);
        return;
    default:
        w.bytes(item.raw.data(), item.raw.size());
        return;
    }
}

static size_t item_size(const FileRefItem& item)
{
    std::vector<uint8_t> bytes;
    plat::ByteWriter w(bytes);
    write_item(item, w);
    return bytes.size();
}

std::string pfs_item_text(const FileRefItem& item)
{
    switch (item.index) {
    case kRefPath:
    case kRefUrl:
        return item.first;
    case kRefPathPair:
        if (item.first.empty())
            return {};
        return item.second.empty() ? item.first : item.first + " (" + item.second + ")";
    case kRefMac:
        return item.first.empty() ? std::string(item.name) : item.first;
    default:
        return "Unknown";
    }
}

// --- conversions ---------------------------------------------------------------------------

static bool is_separator(char c) { return c == '\\' || c == '/' || c == ':'; }

std::string pfs_mac_path(const std::string& path)
{
    std::string text = path.substr(0, std::min(path.size(), kMacPathMax));
    size_t start = text.size() > 1 && is_separator(text[1]) ? 1 : 0;
    while (start < text.size() && is_separator(text[start]))
        start++;
    std::string out;
    const char* p = text.c_str() + start;
    while (*p) {
        const char* next = str_next_char(p);
        if (next == p + 1 && (*p == '\\' || *p == '/'))
            out += ':';
        else
            out.append(p, size_t(next - p));
        p = next;
    }
    return out;
}

std::string pfs_path_from_mac(const std::string& path)
{
    if (path.find(':') == std::string::npos)
        return path;
    std::string out = "C:\\" + path;
    const char* p = out.c_str() + 2;
    std::string result = out.substr(0, 2);
    while (*p) {
        const char* next = str_next_char(p);
        result += next == p + 1 && *p == ':' ? std::string("\\") : std::string(p, size_t(next - p));
        p = next;
    }
    return result;
}

// --- the reference --------------------------------------------------------------------------

FileRef* pfs_fileref_new() { return new FileRef; }

void pfs_fileref_clear(FileRef* ref)
{
    if (!ref)
        return;
    for (FileRefItem* item : ref->items)
        delete item;
    ref->items.clear();
    ref->changed = 0;
}

void pfs_fileref_destroy(FileRef* ref)
{
    pfs_fileref_clear(ref);
    delete ref;
}

int pfs_fileref_set_at(FileRef* ref, FileRefItem* item)
{
    if (!ref || !item || item->index < 0 || item->index > 0xFFFF) {
        delete item;
        return kErrBadValue;
    }
    size_t index = size_t(item->index);
    if (ref->items.size() <= index)
        ref->items.resize(index + 1, nullptr);
    delete ref->items[index];
    ref->items[index] = item;
    return kErrOk;
}

static int read_items(FileRef* ref, plat::ByteReader& r, uint32_t count, bool old_form)
{
    for (uint32_t index = 0; index < count; index++) {
        uint32_t size = r.u32le();
        if (r.failed() || size > r.remaining())
            return kErrBadValue;
        plat::ByteReader data = r.sub(size);
        if (size == 0)
            continue;
        FileRefItem* item = new FileRefItem;
        item->index = int(index);
        int result = read_item(*item, data, old_form);
        if (result != kErrOk) {
            delete item;
            return result;
        }
        pfs_fileref_set_at(ref, item);
    }
    return kErrOk;
}

// The old form: its first word's low half is not 1, or the three leading words add up to the
// block (summed in 64 bits: stored words may be anything).
static bool is_old_form(const uint8_t* data, size_t length)
{
    plat::ByteReader r(data, length);
    uint32_t first = r.u32le();
    if ((first & 0xFFFF) != 1)
        return true;
    uint64_t sum = uint64_t(first) + r.u32le() + r.u32le();
    return !r.failed() && uint64_t(length) == 12 + sum;
}

int pfs_fileref_read(FileRef* ref, const uint8_t* data, size_t length)
{
    if (!ref)
        return kErrBadValue;
    pfs_fileref_clear(ref);
    if (!data || length == 0)
        return kErrOk;
    plat::ByteReader r(data, length);
    int result;
    if (is_old_form(data, length)) {
        result = read_items(ref, r, 3, true);
        ref->changed = 1;
    } else {
        r.u32le();
        uint32_t count = r.u32le();
        if (r.failed() || count > r.remaining() / 4)
            return kErrBadValue;
        result = read_items(ref, r, count, false);
    }
    if (result != kErrOk)
        pfs_fileref_clear(ref);
    return result;
}

size_t pfs_fileref_size(const FileRef* ref)
{
    size_t size = 8;
    for (const FileRefItem* item : ref->items)
        size += 4 + (item ? item_size(*item) : 0);
    return size;
}

void pfs_fileref_write(const FileRef* ref, std::vector<uint8_t>& out)
{
    plat::ByteWriter w(out);
    w.u32le(1);
    w.u32le(uint32_t(ref->items.size()));
    for (const FileRefItem* item : ref->items) {
        std::vector<uint8_t> bytes;
        if (item) {
            plat::ByteWriter iw(bytes);
            write_item(*item, iw);
        }
        w.u32le(uint32_t(bytes.size()));
        w.bytes(bytes.data(), bytes.size());
    }
}

int pfs_fileref_set_spec(FileRef* ref, FileSpec* spec)
{
    if (!ref || !spec)
        return kErrBadValue;
    FileRefItem* item = spec->new_fileref_item();
    if (!item)
        return kErrOutOfMemory;
    return pfs_fileref_set_at(ref, item);
}

static const FileRefItem* item_at(const FileRef* ref, int index)
{
    return size_t(index) < ref->items.size() ? ref->items[size_t(index)] : nullptr;
}

static FileSpec* spec_of_path(const std::string& path)
{
    if (path.empty())
        return nullptr;
    FileSpec* spec = nullptr;
    if (fspec_from_path(path.c_str(), &spec) != kErrOk) {
        fspec_free(spec);
        return nullptr;
    }
    return spec;
}

static FileSpec* spec_of_url(const std::string& url)
{
    FileSpec* spec = fspec_manager_new_inet();
    if (spec && fspec_set_path(spec, url.c_str()) == kErrOk)
        return spec;
    fspec_free(spec);
    return nullptr;
}

FileSpec* pfs_fileref_resolve(FileRef* ref, int* changed)
{
    if (changed)
        *changed = ref ? ref->changed : 0;
    if (!ref)
        return nullptr;
    ref->changed = 0;
    if (const FileRefItem* url = item_at(ref, kRefUrl))
        return spec_of_url(url->first);
    if (const FileRefItem* pair = item_at(ref, kRefPathPair))
        return spec_of_path(pair->first.empty() ? pair->second : pair->first);
    if (const FileRefItem* plain = item_at(ref, kRefPath))
        return spec_of_path(plain->first);
    if (const FileRefItem* mac = item_at(ref, kRefMac))
        return spec_of_path(mac->first.empty() ? std::string(mac->name) : pfs_path_from_mac(mac->first));
    return nullptr;
}

void pfs_fileref_text(const FileRef* ref, char* buffer, int size)
{
    const FileRefItem* pair = ref ? item_at(ref, kRefPathPair) : nullptr;
    fspec_copy_text(buffer, size, pair ? pfs_item_text(*pair) : std::string());
}

// --- the file layer's service -----------------------------------------------------------------

static FileRef* service_from_data(MemHandle data, int32_t length)
{
    FileRef* ref = pfs_fileref_new();
    if (!data || length <= 0)
        return ref;
    size_t size = std::min(size_t(length), mem_size(data));
    const uint8_t* bytes = static_cast<const uint8_t*>(mem_lock(data));
    int result = pfs_fileref_read(ref, bytes, size);
    mem_unlock(data);
    if (result != kErrOk) {
        pfs_fileref_destroy(ref);
        return nullptr;
    }
    return ref;
}

static FileRefItem* new_pair_item(const char* path, const char* short_path)
{
    FileRefItem* item = new FileRefItem;
    item->index = kRefPathPair;
    item->first = path ? path : "";
    item->second = short_path ? short_path : "";
    return item;
}

static FileRefItem* new_url_item(const char* url)
{
    FileRefItem* item = new FileRefItem;
    item->index = kRefUrl;
    item->first = url ? url : "";
    return item;
}

static const FileRefService kService = {
    pfs_fileref_new,
    service_from_data,
    pfs_fileref_set_spec,
    pfs_fileref_resolve,
    pfs_fileref_destroy,
    new_pair_item,
    new_url_item,
};

void pfs_fileref_install() { fspec_set_fileref_service(&kService); }
