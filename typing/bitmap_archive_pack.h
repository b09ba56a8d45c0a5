// Writing the bitmap archive: the build packs the tutor's BMP files into "qktbmp.map" in the
// layout the reader expects.
#pragma once
#include <span>
#include <string>
#include <vector>

struct ArchivePicture {
    std::string name; // 1 to 15 bytes, unique ignoring case
    std::vector<uint8_t> bmp; // a whole BMP file
};

// The archive file holding the pictures in the given order; false with a message in error
// when a picture cannot be stored.
bool bitmap_archive_pack(
    std::span<const ArchivePicture> pictures, std::vector<uint8_t>& out, std::string& error);
