// Dynamic libraries with the meaning of LoadLibrary, GetProcAddress and FreeLibrary, over the
// host's dlopen. A library is named by a 32-bit module id; loading the same library again
// gives the same id and one more reference.
#pragma once
#include <string>
#include <string_view>

#include "platform/kernel/handle.h"

namespace plat {

// The same kind of handle as the resource store's modules (an HMODULE).
using ModuleHandle = Handle<struct ModuleTag>;

// Loads a library. A path with a folder or drive is a Windows path (mapped through
// path_to_host); a bare name is looked for in the program's folder, then the current folder,
// then by the host's own search ("libz.so.1"). Null with error 126 when nothing is found,
// 193 when the file found is no library at all (an ELF object missing its own needs is 126).
ModuleHandle load_library(std::string_view path);

// The address of an exported symbol; null with error 127 when the library has none, 6 for
// a bad module.
void* get_proc_address(ModuleHandle module, const char* name);

// Drops one reference; the library is unloaded at 0. False with error 6 for a bad module.
bool free_library(ModuleHandle module);

// The host path the library was loaded from ("" for a bad module).
std::string library_host_path(ModuleHandle module);

// Unloads every library (tests call it between cases).
void library_reset();

} // namespace plat
