// Internet file specs: a URL held as text. The name is what follows the last '/' or
// '\' standing before the first '?', so a query stays with the name; the folder is the text up
// to and including that separator. Reading such files comes with the download streams.
#pragma once
#include "runtime/files/fspec.h"

// Texts of Internet specs are handled in buffers of this size, NUL included.
constexpr int kUrlBufferSize = 2048;

class InetFileSpec final : public FileSpec {
public:
    InetFileSpec();
    ~InetFileSpec() override;

    void reset() override;
    int kind() const override { return kSpecInet; }
    // 0 the name, 1 the URL shortened, 3 "Internet", 2 and 4 the URL; "Unknown" when the text
    // needed is missing.
    int display_text(char* buffer, int size, int form) const override;

    int make_temp_name() override;
    StringHolder* path_holder() override { return &text; }
    int set_from_fileref(FileRef* ref, int* changed) override;
    // The folder text followed by the current name; 8004 when together longer than 2047.
    int set_folder(const char* folder) override;
    int get_folder(char* buffer, int size) const override;
    int get_root(char* buffer, int size) const override;
    // 2 when the URL would grow past 2047 characters.
    int set_name(const char* name) override;
    int get_name(char* buffer, int size) const override;
    int same_folder(const FileSpec* other) const override;
    int same_name(const FileSpec* other) const override;
    // 1 when both URLs are empty or both are not.
    int same_extension(const FileSpec* other) const override;
    FileRefItem* new_fileref_item() const override;

    StringHolder text;
};

InetFileSpec* fspec_as_inet(FileSpec* spec);
const InetFileSpec* fspec_as_inet(const FileSpec* spec);

// Stores the URL; 0, 8, or 8004 for a text longer than 2047 characters.
int inet_spec_set_url(InetFileSpec& spec, const char* url);
// Where the name of a URL starts.
size_t inet_name_start(const std::string& url);
