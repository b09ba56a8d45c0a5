// qktpack OUTPUT PICTURE.bmp...: writes the tutor's bitmap archive holding the pictures under
// their file names, in the order given. The old output stays until the new one is complete.
#include "tools/tool_args.h"
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

static const char kUsage[] = "usage: qktpack OUTPUT PICTURE.bmp...\n";

int main(int argc, char** argv)
{
    ToolArgs args = tool_parse_args(argc, argv, {}, {});
    if (args.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (!args.error.empty() || args.files.empty()) {
        if (!args.error.empty())
            std::fprintf(stderr, "qktpack: %s\n", args.error.c_str());
        std::fputs(kUsage, stderr);
        return 2;
    }
    std::vector<ArchivePicture> pictures;
    for (size_t i = 1; i < args.files.size(); ++i) {
        const std::string& path = args.files[i];
        ArchivePicture picture;
        picture.name = fs::path(path).filename().string();
        if (!read_whole(path, picture.bmp)) {
            std::fprintf(stderr, "qktpack: cannot read %s\n", path.c_str());
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
    if (!tool_write_replacing(args.files[0], archive)) {
        std::fprintf(stderr, "qktpack: cannot write %s\n", args.files[0].c_str());
        return 1;
    }
    return 0;
}
