// qktpack OUTPUT PICTURE.bmp...: writes the tutor's bitmap archive holding the pictures under
// their file names, in the order given. The old output stays until the new one is complete.
#include "tools/tool_file.h"
#include "typing/bitmap_archive_pack.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

static bool read_whole(const fs::path& path, std::vector<uint8_t>& bytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(in), {});
    return !in.bad();
}

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: qktpack OUTPUT PICTURE.bmp...\n");
        return 2;
    }
    std::vector<ArchivePicture> pictures;
    for (int i = 2; i < argc; ++i) {
        ArchivePicture picture;
        picture.name = fs::path(argv[i]).filename().string();
        if (!read_whole(argv[i], picture.bmp)) {
            std::fprintf(stderr, "qktpack: cannot read %s\n", argv[i]);
            return 1;
        }
        pictures.push_back(std::move(picture));
    }
    std::vector<uint8_t> archive;
    std::string error;
    if (!bitmap_archive_pack(pictures, archive, error)) {
        std::fprintf(stderr, "qktpack: %s\n", error.c_str());
        return 1;
    }
    if (!tool_write_replacing(argv[1], archive)) {
        std::fprintf(stderr, "qktpack: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
