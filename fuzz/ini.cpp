// Arbitrary bytes as an ini file: every read path (names, keys, values cut to small buffers,
// integers, whole sections) and every edit, with the edits checked to read back and to leave
// the other values as they were.
#include "platform/kernel/profile.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <strings.h>
#include <vector>

namespace {

void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

struct Value {
    std::string section, key, value;
};

// The names in a NUL-separated list; the list ends at an empty name, inside the buffer.
std::vector<std::string> split_list(const char* list)
{
    std::vector<std::string> names;
    for (const char* name = list; *name; name += std::strlen(name) + 1)
        names.emplace_back(name);
    return names;
}

std::string read(std::string_view text, const std::string& section, const char* key)
{
    char out[512];
    uint32_t length = plat::profile_get_string(text, section.c_str(), key, "\x01", out, sizeof out);
    check(length < sizeof out && out[length] == '\0');
    return std::string(out, length);
}

// Every value the text holds, read through the same paths the programs use.
std::vector<Value> read_all(std::string_view text)
{
    char names[2048], keys[2048], small[6];
    plat::profile_get_section_names(text, small, sizeof small);
    check(plat::profile_get_section_names(text, names, sizeof names) < sizeof names);
    std::vector<Value> values;
    for (const std::string& section : split_list(names)) {
        plat::profile_get_section(text, section.c_str(), keys, sizeof keys);
        plat::profile_get_string(text, section.c_str(), nullptr, "", small, sizeof small);
        plat::profile_get_string(text, section.c_str(), nullptr, "", keys, sizeof keys);
        for (const std::string& key : split_list(keys)) {
            plat::profile_get_string(text, section.c_str(), key.c_str(), "", small, sizeof small);
            plat::profile_get_int(text, section.c_str(), key.c_str(), 0);
            if (values.size() < 64)
                values.push_back({section, key, read(text, section, key.c_str())});
        }
    }
    return values;
}

// An edit either is refused and leaves the text alone, or reads back and changes nothing else.
void check_edit(std::string_view text, const std::vector<Value>& before, const std::string& section)
{
    std::string edited(text);
    plat::ProfileEdit result
        = plat::profile_set_string(edited, section.c_str(), "Fuzz Key", "fuzz value");
    if (result == plat::ProfileEdit::refused)
        return check(edited == text);
    check(read(edited, section, "fuzz key") == "fuzz value");
    for (const Value& v : before) {
        bool touched = strcasecmp(v.section.c_str(), section.c_str()) == 0
            && strcasecmp(v.key.c_str(), "fuzz key") == 0;
        check(touched || read(edited, v.section, v.key.c_str()) == v.value);
    }
    check(plat::profile_set_string(edited, section.c_str(), "fuzz key", nullptr)
          != plat::ProfileEdit::refused);
    check(read(edited, section, "fuzz key") == "\x01");
    check(plat::profile_set_section(edited, section.c_str(), "a=1\0b\0")
          != plat::ProfileEdit::refused);
    check(read(edited, section, "a") == "1" && read(edited, section, "b") == "\x01");
    check(plat::profile_set_string(edited, section.c_str(), nullptr, nullptr)
          != plat::ProfileEdit::refused);
    check(read(edited, section, "a") == "\x01");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<Value> before = read_all(text);
    check_edit(text, before, before.empty() ? "fuzz" : before.front().section);
    return 0;
}
