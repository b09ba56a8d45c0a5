// Screenshots as PNG files through libpng: 8-bit RGB, no alpha. The file is written under a
// temporary name and renamed, so an interrupted shot never leaves a half file under the name.
#pragma once
#include <string>

#include "platform/gdi/surface.h"

namespace plat {

// False with a message in error when the file cannot be written.
bool png_save_surface(const Surface& surface, const std::string& host_path, std::string& error);

} // namespace plat
