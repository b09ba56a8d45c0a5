#include "runtime/files/fspec_inet.h"

#include "runtime/base/errcode.h"
#include "runtime/files/fspec_text.h"
#include "runtime/base/str.h"

static const char kInternetRoot[] = "Internet";
static const char kUnknown[] = "Unknown";
constexpr size_t kUrlMax = kUrlBufferSize - 1;

InetFileSpec* fspec_as_inet(FileSpec* spec)
{
    return spec && spec->kind() == kSpecInet ? static_cast<InetFileSpec*>(spec) : nullptr;
}

const InetFileSpec* fspec_as_inet(const FileSpec* spec)
{
    return spec && spec->kind() == kSpecInet ? static_cast<const InetFileSpec*>(spec) : nullptr;
}

size_t inet_name_start(const std::string& url)
{
    size_t start = 0;
    for (const char* p = url.c_str(); *p && *p != '?'; p = str_next_char(p))
        if (str_is_single_byte(p) && (*p == '/' || *p == '\\'))
            start = size_t(p - url.c_str()) + 1;
    return start;
}

int inet_spec_set_url(InetFileSpec& spec, const char* url)
{
    return str_holder_set_checked(spec.text, url ? url : "", int(kUrlMax));
}

InetFileSpec::InetFileSpec() { str_holder_init(text); }

InetFileSpec::~InetFileSpec() { str_holder_destroy(text); }

void InetFileSpec::reset() { str_holder_clear(text); }

int InetFileSpec::make_temp_name()
{
    reset();
    return kErrOk;
}

int InetFileSpec::display_text(char* buffer, int size, int form) const
{
    if (form < 0 || form > kDisplayPlain)
        return kErrOk;
    if (form == kDisplayRoot) {
        fspec_copy_text(buffer, size, kInternetRoot);
        return kErrOk;
    }
    std::string url = str_holder_string(text);
    std::string shown = form == kDisplayName ? url.substr(inet_name_start(url)) : url;
    if (form == kDisplayMenu)
        shown = fspec_abbreviate_text(shown, size, kSplitAtBackslash);
    fspec_copy_text(buffer, size, shown.empty() ? kUnknown : shown);
    return kErrOk;
}

int InetFileSpec::set_from_fileref(FileRef* ref, int* changed)
{
    std::string url;
    if (!fspec_fileref_text(ref, changed, url))
        return kErrOk;
    return inet_spec_set_url(*this, url.c_str());
}

int InetFileSpec::set_folder(const char* folder)
{
    std::string url = str_holder_string(text);
    std::string joined = std::string(folder ? folder : "") + url.substr(inet_name_start(url));
    if (joined.size() > kUrlMax)
        return kErrBadValue;
    return str_holder_set(text, joined.c_str());
}

int InetFileSpec::get_folder(char* buffer, int size) const
{
    std::string url = str_holder_string(text);
    std::string folder = url.substr(0, inet_name_start(url));
    fspec_copy_text(buffer, size, folder);
    return folder.empty() ? kErrPartMissing : kErrOk;
}

int InetFileSpec::get_root(char* buffer, int size) const
{
    fspec_copy_text(buffer, size, kInternetRoot);
    return kErrOk;
}

int InetFileSpec::set_name(const char* name)
{
    std::string url = str_holder_string(text);
    std::string joined = url.substr(0, inet_name_start(url)) + (name ? name : "");
    if (joined.size() > kUrlMax)
        return kErrPartMissing;
    return str_holder_set(text, joined.c_str());
}

int InetFileSpec::get_name(char* buffer, int size) const
{
    std::string url = str_holder_string(text);
    std::string name = url.substr(inet_name_start(url));
    fspec_copy_text(buffer, size, name);
    return name.empty() ? kErrPartMissing : kErrOk;
}

// The part of another spec that a comparison reads; "" for null or a spec without it.
static std::string part_of(
    const FileSpec* other, int (FileSpec::*getter)(char* buffer, int size) const)
{
    std::string part;
    if (other)
        fspec_read_part(*other, getter, part);
    return part;
}

int InetFileSpec::same_folder(const FileSpec* other) const
{
    if (other != nullptr && !other->path_holder())
        return 0;
    std::string mine = part_of(this, &FileSpec::get_folder);
    std::string theirs = part_of(other, &FileSpec::get_folder);
    return str_compare_nocase(mine.c_str(), theirs.c_str()) == 0 ? 1 : 0;
}

int InetFileSpec::same_name(const FileSpec* other) const
{
    if (other != nullptr && !other->path_holder())
        return 0;
    std::string mine = part_of(this, &FileSpec::get_name);
    std::string theirs = part_of(other, &FileSpec::get_name);
    return str_compare_nocase(mine.c_str(), theirs.c_str()) == 0 ? 1 : 0;
}

int InetFileSpec::same_extension(const FileSpec* other) const
{
    const StringHolder* theirs = other ? other->path_holder() : nullptr;
    if (other != nullptr && theirs == nullptr)
        return 0;
    bool mine_empty = !str_holder_not_empty(text);
    bool theirs_empty = theirs == nullptr || !str_holder_not_empty(*theirs);
    return mine_empty == theirs_empty ? 1 : 0;
}

FileRefItem* InetFileSpec::new_fileref_item() const
{
    const FileRefService* service = fspec_fileref_service();
    if (service == nullptr)
        return nullptr;
    return service->new_url_item(str_holder_string(text).c_str());
}
