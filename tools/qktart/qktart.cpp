// qktart TABLE.tsv PALETTE.txt OUTDIR: draws every picture of the pictures table as SVG
// (OUTDIR/svg/NAME.svg), renders them all with rsvg-convert, maps them to the shared colour
// table without dithering and writes each as an 8-bit BMP (OUTDIR/NAME). A picture whose
// rendering does not have the table's size stops the build.
#include "tools/qktart/art_pictures.h"
#include "tools/qktart/art_raster.h"
#include "tools/tool_args.h"
#include "tools/tool_file.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>

namespace fs = std::filesystem;
extern char** environ;

namespace {

constexpr int kKeyEntry = 6; // the colour table's reserved row, see palette.txt
constexpr int kRenderers = 3; // rsvg-convert runs at once

bool table_read(const std::string& path, std::vector<PictureSpec>& specs, std::string& error)
{
    std::ifstream in(path);
    if (!in) {
        error = "cannot read " + path;
        return false;
    }
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#' || line.rfind("name\t", 0) == 0)
            continue;
        std::istringstream fields(line);
        PictureSpec spec;
        std::string flags, areas;
        if (!(fields >> spec.name >> spec.width >> spec.height >> flags >> areas)) {
            error = path + ": bad row: " + line;
            return false;
        }
        spec.masked = flags.find("masked") != std::string::npos;
        spec.no_black = flags.find("noblack") != std::string::npos;
        std::istringstream ids(areas == "-" ? "" : areas);
        for (std::string id; std::getline(ids, id, ',');)
            spec.areas.push_back(std::stoi(id));
        specs.push_back(std::move(spec));
    }
    return true;
}

pid_t render_start(const fs::path& svg, const fs::path& png)
{
    std::string in = svg.string(), out = png.string();
    const char* argv[] = {"rsvg-convert", "-o", out.c_str(), in.c_str(), nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, "rsvg-convert", nullptr, nullptr, const_cast<char**>(argv), environ) != 0)
        return -1;
    return pid;
}

bool render_wait(pid_t pid)
{
    int status = 0;
    return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Renders every picture, a few at a time; false with the first picture that failed.
bool render_all(const std::vector<PictureSpec>& specs, const fs::path& out, std::string& error)
{
    std::vector<std::pair<pid_t, std::string>> running;
    bool ok = true;
    auto finish_one = [&] {
        if (!render_wait(running.front().first) && ok) {
            error = "rsvg-convert failed on " + running.front().second;
            ok = false;
        }
        running.erase(running.begin());
    };
    for (const PictureSpec& spec : specs) {
        if (running.size() == kRenderers)
            finish_one();
        pid_t pid = render_start(out / "svg" / (spec.name + ".svg"), out / "png" / (spec.name + ".png"));
        if (pid < 0) {
            error = "cannot run rsvg-convert (Debian: librsvg2-bin)";
            ok = false;
            break;
        }
        running.emplace_back(pid, spec.name);
    }
    while (!running.empty())
        finish_one();
    return ok;
}

bool picture_finish(const PictureSpec& spec, const ColourTable& table, const fs::path& out, std::string& error)
{
    Rgba image;
    if (!png_read_rgba((out / "png" / (spec.name + ".png")).string(), image, error))
        return false;
    if (image.width != spec.width || image.height != spec.height) {
        error = spec.name + ": rendered " + std::to_string(image.width) + "x" + std::to_string(image.height);
        return false;
    }
    MapRules rules;
    rules.key = kKeyEntry;
    rules.masked = spec.masked;
    rules.no_black = spec.no_black;
    std::vector<uint8_t> indexes = map_to_table(image, table, rules);
    if (spec.masked && indexes[0] != kKeyEntry) {
        error = spec.name + ": the top-left pixel must be see-through";
        return false;
    }
    if (!tool_write_replacing(out / spec.name, bmp_8bit(spec.width, spec.height, indexes, table))) {
        error = "cannot write " + (out / spec.name).string();
        return false;
    }
    return true;
}

bool run(const std::string& table_path, const std::string& palette_path, const fs::path& out, std::string& error)
{
    std::vector<PictureSpec> specs;
    ColourTable table {};
    if (!table_read(table_path, specs, error) || !colour_table_read(palette_path, table, error))
        return false;
    if (table[kKeyEntry] != 0xFF00FF) {
        error = palette_path + ": row 6 is the key colour #FF00FF";
        return false;
    }
    fs::create_directories(out / "svg");
    fs::create_directories(out / "png");
    for (const PictureSpec& spec : specs) {
        Svg svg;
        if (!picture_draw(spec, svg)) {
            error = spec.name + ": no drawing of that name";
            return false;
        }
        std::string document = svg_document(spec.width, spec.height, svg);
        if (!tool_write_replacing(out / "svg" / (spec.name + ".svg"), {document.begin(), document.end()})) {
            error = "cannot write the SVG of " + spec.name;
            return false;
        }
    }
    if (!render_all(specs, out, error))
        return false;
    for (const PictureSpec& spec : specs) {
        if (!picture_finish(spec, table, out, error))
            return false;
    }
    return true;
}

const char kUsage[] = "usage: qktart TABLE.tsv PALETTE.txt OUTDIR\n";

} // namespace

int main(int argc, char** argv)
{
    ToolArgs args = tool_parse_args(argc, argv, {}, {});
    if (args.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (!args.error.empty() || args.files.size() != 3) {
        if (!args.error.empty())
            std::fprintf(stderr, "qktart: %s\n", args.error.c_str());
        std::fputs(kUsage, stderr);
        return 2;
    }
    std::string error;
    if (!run(args.files[0], args.files[1], args.files[2], error)) {
        std::fprintf(stderr, "qktart: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
