#include "platform/kernel/library.h"

#include <cstdio>
#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include "platform/kernel/error.h"
#include "platform/kernel/path.h"
#include "platform/kernel/slots.h"

namespace plat {

struct LoadedLibrary {
    void* host = nullptr; // dlopen's handle
    uint32_t references = 0;
    std::string host_path;
};

struct LibraryState {
    SlotTable<LoadedLibrary> table{0x5A1};
};

static LibraryState s_library;

static bool names_a_folder(std::string_view path)
{
    bool has_drive = path.size() >= 2 && path[1] == ':';
    return has_drive || path.find_first_of("\\/") != std::string_view::npos;
}

static bool host_file_exists(const std::string& host_path)
{
    return !host_path.empty() && access(host_path.c_str(), F_OK) == 0;
}

// A bare name is looked for beside the program first, as Windows does, then in the current
// folder; "" leaves it to the host's search.
static std::string find_beside_program(std::string_view name)
{
    std::string folder = get_program_folder();
    if (!folder.empty()) {
        std::string host = path_to_host(folder + "\\" + std::string(name));
        if (host_file_exists(host))
            return host;
    }
    std::string host = path_to_host(name);
    return host_file_exists(host) ? host : std::string();
}

static std::string loaded_path(void* host, const std::string& fallback)
{
    link_map* map = nullptr;
    if (dlinfo(host, RTLD_DI_LINKMAP, &map) == 0 && map && map->l_name && map->l_name[0])
        return map->l_name;
    return fallback;
}

// The id of a library already loaded under another name or path, 0 when it is new.
static uint32_t find_loaded(void* host)
{
    uint32_t found = 0;
    s_library.table.for_each([&](uint32_t id, LoadedLibrary& library) {
        if (library.host == host)
            found = id;
    });
    return found;
}

// A file that is no ELF object at all is a bad format; an ELF object that still fails to load
// lacks a library it needs, which Windows reports as a missing module too.
static uint32_t load_failure_code(const std::string& host_path)
{
    char magic[4] = {};
    FILE* file = fopen(host_path.c_str(), "rb");
    size_t got = file ? fread(magic, 1, sizeof magic, file) : 0;
    if (file)
        fclose(file);
    bool is_elf = got == sizeof magic && magic[0] == 0x7F && magic[1] == 'E' && magic[2] == 'L' && magic[3] == 'F';
    return is_elf ? ERROR_MOD_NOT_FOUND : ERROR_BAD_EXE_FORMAT;
}

static void* open_host_library(std::string_view path, std::string& host_path)
{
    if (names_a_folder(path)) {
        host_path = path_to_host(path);
        if (!host_file_exists(host_path)) {
            set_last_error(ERROR_MOD_NOT_FOUND);
            return nullptr;
        }
    } else {
        host_path = find_beside_program(path);
    }
    bool found_file = !host_path.empty();
    std::string target = found_file ? host_path : std::string(path);
    void* host = dlopen(target.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!host)
        set_last_error(found_file ? load_failure_code(host_path) : ERROR_MOD_NOT_FOUND);
    return host;
}

ModuleHandle load_library(std::string_view path)
{
    if (path.empty() || path.find('\0') != std::string_view::npos) {
        set_last_error(ERROR_MOD_NOT_FOUND);
        return ModuleHandle{};
    }
    std::string host_path;
    void* host = open_host_library(path, host_path);
    if (!host)
        return ModuleHandle{};
    if (uint32_t id = find_loaded(host)) {
        dlclose(host); // dlopen counted this load too; our count is the one that matters
        s_library.table.find(id)->references++;
        return ModuleHandle{id};
    }
    uint32_t id = s_library.table.insert(LoadedLibrary{host, 1, loaded_path(host, host_path)});
    if (id == 0) {
        dlclose(host);
        set_last_error(ERROR_NOT_ENOUGH_MEMORY);
    }
    return ModuleHandle{id};
}

void* get_proc_address(ModuleHandle module, const char* name)
{
    LoadedLibrary* library = s_library.table.find(module.id);
    if (!library) {
        set_last_error(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    void* address = name ? dlsym(library->host, name) : nullptr;
    if (!address)
        set_last_error(ERROR_PROC_NOT_FOUND);
    return address;
}

bool free_library(ModuleHandle module)
{
    LoadedLibrary* library = s_library.table.find(module.id);
    if (!library) {
        set_last_error(ERROR_INVALID_HANDLE);
        return false;
    }
    if (--library->references == 0) {
        dlclose(library->host);
        s_library.table.erase(module.id);
    }
    return true;
}

std::string library_host_path(ModuleHandle module)
{
    LoadedLibrary* library = s_library.table.find(module.id);
    return library ? library->host_path : std::string();
}

void library_reset()
{
    s_library.table.for_each([](uint32_t, LoadedLibrary& library) { dlclose(library.host); });
    s_library.table.clear();
}

} // namespace plat
