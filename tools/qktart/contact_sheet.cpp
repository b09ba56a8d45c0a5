// contact-sheet ARCHIVE OUT.png: every picture of a tutor archive on one PNG, each named, for
// review. The pictures go through a scratch folder beside OUT.png and rsvg-convert.
#include "tools/qktart/art_svg.h"
#include "tools/tool_args.h"
#include "tools/tool_file.h"
#include "typing/bitmap_archive.h"

#include "platform/kernel/byte_io.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

constexpr double kSheetWidth = 1320, kMargin = 16, kLabel = 16;

struct Placed {
    std::string name;
    int width, height;
    double x, y, scale;
};

// Rows of pictures left to right, each shrunk to the sheet's width when wider.
double lay_out(std::vector<Placed>& pictures)
{
    double x = kMargin, y = kMargin, row_height = 0;
    for (Placed& p : pictures) {
        p.scale = std::min(1.0, (kSheetWidth - 2 * kMargin) / p.width);
        double w = p.width * p.scale, h = p.height * p.scale + kLabel;
        if (x + w > kSheetWidth - kMargin && x > kMargin) {
            x = kMargin;
            y += row_height + kMargin;
            row_height = 0;
        }
        p.x = x;
        p.y = y;
        x += std::max(w, 90.0) + kMargin;
        row_height = std::max(row_height, h);
    }
    return y + row_height + kMargin;
}

bool sheet_write(const std::string& archive_path, const fs::path& out, std::string& error)
{
    std::ifstream in(archive_path, std::ios::binary);
    std::vector<uint8_t> file(std::istreambuf_iterator<char>(in), {});
    if (file.size() < kArchiveIndexSize) {
        error = "not an archive: " + archive_path;
        return false;
    }
    fs::path parts = out;
    parts += ".parts";
    fs::create_directories(parts);
    std::vector<Placed> pictures;
    for (const ArchiveEntry& entry : bitmap_archive_parse_index({file.data(), kArchiveIndexSize})) {
        std::vector<uint8_t> bmp = bitmap_archive_unpack(entry, bitmap_archive_packed_bytes(entry, file));
        if (bmp.size() < 26 || !tool_write_replacing(parts / entry.name, bmp)) {
            error = "cannot unpack " + entry.name;
            return false;
        }
        pictures.push_back({entry.name, int(plat::load_u32le(&bmp[18])), int(plat::load_u32le(&bmp[22])), 0, 0, 1});
    }
    double height = lay_out(pictures);
    Svg svg;
    svg.rect(0, 0, kSheetWidth, height, "#9AA0A6");
    for (const Placed& p : pictures) {
        double w = p.width * p.scale, h = p.height * p.scale;
        svg.rect(p.x - 1, p.y - 1, w + 2, h + 2, "#263238");
        svg.body += fmt("<image x='%g' y='%g' width='%g' height='%g' preserveAspectRatio='none' "
                        "style='image-rendering:pixelated' href='%s'/>\n",
            p.x, p.y, w, h, (parts / p.name).c_str());
        std::string label = p.name + (p.scale < 1 ? fmt(" (%dx%d, shrunk)", p.width, p.height)
                                                  : fmt(" (%dx%d)", p.width, p.height));
        svg.text(p.x, p.y + h + 13, 11, label, "#FFFFFF", Anchor::start);
    }
    std::string document = svg_document(int(kSheetWidth), int(height), svg);
    fs::path svg_path = parts / "sheet.svg";
    if (!tool_write_replacing(svg_path, {document.begin(), document.end()})) {
        error = "cannot write " + svg_path.string();
        return false;
    }
    std::string command = "rsvg-convert -o '" + out.string() + "' '" + svg_path.string() + "'";
    bool ok = std::system(command.c_str()) == 0;
    fs::remove_all(parts);
    if (!ok)
        error = "rsvg-convert failed (Debian: librsvg2-bin)";
    return ok;
}

const char kUsage[] = "usage: contact-sheet ARCHIVE OUT.png\n";

} // namespace

int main(int argc, char** argv)
{
    ToolArgs args = tool_parse_args(argc, argv, {}, {});
    if (args.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (!args.error.empty() || args.files.size() != 2) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    std::string error;
    if (!sheet_write(args.files[0], args.files[1], error)) {
        std::fprintf(stderr, "contact-sheet: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
