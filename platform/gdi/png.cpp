#include "platform/gdi/png.h"

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <png.h>
#include <unistd.h>
#include <vector>

namespace plat {

// libpng reports errors by longjmp; everything the jump skips is plain data owned outside.
static bool write_rows(std::FILE* file, const Surface& surface)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    std::vector<png_byte> row(size_t(surface.width) * 3);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, png_uint_32(surface.width), png_uint_32(surface.height), 8, PNG_COLOR_TYPE_RGB,
        PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int32_t y = 0; y < surface.height; y++) {
        const uint32_t* pixels = surface.pixels.data() + size_t(y) * size_t(surface.stride);
        for (int32_t x = 0; x < surface.width; x++) {
            row[size_t(x) * 3] = png_byte(pixels[x] >> 16);
            row[size_t(x) * 3 + 1] = png_byte(pixels[x] >> 8);
            row[size_t(x) * 3 + 2] = png_byte(pixels[x]);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

bool png_save_surface(const Surface& surface, const std::string& host_path, std::string& error)
{
    if (surface.width <= 0 || surface.height <= 0) {
        error = "nothing to write: the picture is empty";
        return false;
    }
    std::string temporary = host_path + ".tmp";
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file) {
        error = "cannot write " + host_path + ": " + std::strerror(errno);
        return false;
    }
    bool written = write_rows(file, surface);
    written = std::fflush(file) == 0 && fsync(fileno(file)) == 0 && written;
    written = std::fclose(file) == 0 && written;
    if (!written || std::rename(temporary.c_str(), host_path.c_str()) != 0) {
        error = "cannot write " + host_path;
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace plat
