// Paths stored in pieces reach the FileSpec layer: any two texts on any code page parse
// into parts that lie inside the text, every part read stays inside its buffer and is
// terminated, and replacing, comparing, relating and shortening them never reads or writes out
// of bounds. Nothing here touches the file system: paths are parsed, not set.
#include "platform/kernel/byte_io.h"
#include "platform/kernel/codepage.h"
#include "runtime/files/fspec_disk.h"
#include "runtime/files/fspec_inet.h"
#include "runtime/files/fspec_text.h"
#include "runtime/base/str.h"

#include <cstdint>
#include <cstring>
#include <string>

namespace {

void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

const uint32_t kPages[] = { plat::CP_WESTERN, plat::CP_KOREAN, plat::CP_SHIFT_JIS };
constexpr int kGuard = 16;

// Reads a part into a buffer of size with guard bytes after it.
void read_part(const FileSpec& file_path, int (FileSpec::*getter)(char*, int) const, int size)
{
    std::string buffer(size_t(size + kGuard), '\x7F');
    (file_path.*getter)(buffer.data(), size);
    if (size > 0)
        check(std::memchr(buffer.data(), 0, size_t(size)) != nullptr);
    check(buffer.compare(size_t(size), kGuard, std::string(kGuard, '\x7F')) == 0);
}

void read_display(const FileSpec& file_path, int form, int size)
{
    std::string buffer(size_t(size + kGuard), '\x7F');
    file_path.display_text(buffer.data(), size, form);
    check(buffer.compare(size_t(size), kGuard, std::string(kGuard, '\x7F')) == 0);
}

void check_parts(const DiskFileSpec& file_path)
{
    int length = int(fspec_text(file_path).size());
    check(file_path.name_start >= 0 && file_path.name_length >= 0);
    check(file_path.name_start + file_path.name_length == length);
    check(file_path.folder_end <= file_path.name_start);
    for (int size : { 0, 1, 4, kPathBufferSize }) {
        read_part(file_path, &FileSpec::get_folder, size);
        read_part(file_path, &FileSpec::get_name, size);
        read_part(file_path, &FileSpec::get_root, size);
        read_part(file_path, &FileSpec::get_extension, size);
        read_part(file_path, &FileSpec::get_base_name, size);
    }
}

} // namespace

// Input: page, width, then two texts separated by a NUL.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    plat::ByteReader r(data, size);
    check(plat::set_active_code_page(kPages[r.u8() % 3]));
    str_init_from_entry("E");
    int width = r.u8();
    std::string rest(reinterpret_cast<const char*>(data) + (size - r.remaining()), r.remaining());
    std::string first = rest.substr(0, rest.find('\0'));
    std::string second = rest.size() > first.size() ? rest.substr(first.size() + 1) : "";
    second = second.substr(0, second.find('\0'));

    DiskFileSpec a;
    DiskFileSpec b;
    check(fspec_disk_parse(a, first.c_str()) == 0);
    check(fspec_disk_parse(b, second.c_str()) == 0);
    check_parts(a);
    a.equals(&b);
    a.same_folder(&b);
    a.same_name(&b);
    a.same_extension(&b);
    a.make_relative(&b);
    check_parts(a);
    a.make_absolute(&b);
    check_parts(a);
    a.set_extension(second.substr(0, 3).c_str());
    check_parts(a);
    a.set_name(second.c_str());
    check_parts(a);
    a.set_folder(second.c_str());
    check_parts(a);
    for (int form = 0; form <= 5; ++form)
        for (int buffer_size : { 1, 8, width }) {
            read_display(a, form, buffer_size);
            read_display(b, form, buffer_size);
        }

    std::string shortened = fspec_abbreviate_text(first, width, kSplitAtBothSeparators);
    check(int(shortened.size()) < std::max(width, 1) || int(first.size()) < width);

    InetFileSpec url;
    inet_spec_set_url(url, first.c_str());
    read_part(url, &FileSpec::get_name, width);
    read_part(url, &FileSpec::get_folder, width);
    url.set_name(second.c_str());
    url.set_folder(second.c_str());
    url.set_extension(second.substr(0, 3).c_str());
    for (int form = 0; form <= 5; ++form)
        read_display(url, form, width);
    return 0;
}
