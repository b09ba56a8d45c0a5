// qktfont OUTPUT [--report]: renders the tutor's bitmap font from the Nanum fonts: one size of
// 20 x 20 cells with Hangul composed from jamo glyphs, the KS X 1001 symbols and Hanja, and
// half-width glyphs of ASCII. The old output stays until the new one is complete.
#include "jamo_variants.h"
#include "whole_glyphs.h"

#include "tools/tool_args.h"
#include "tools/tool_file.h"
#include "typing/bitmap_font_build.h"

#include <cstdio>

// Sizes chosen so that every glyph fits its cell with a pixel to spare around it: Nanum
// Gothic's Hangul at 18 pixels is 17 wide and 18 high; Nanum Gothic Coding is drawn for a
// grid of one Hangul to two letters, and at 19 pixels its letters are 10 wide.
constexpr char kWideFamily[] = "NanumGothic";
constexpr int kWidePixels = 18;
constexpr char kHalfFamily[] = "NanumGothicCoding";
constexpr int kHalfPixels = 19;
constexpr int kBaseline = 15; // of both faces, so that Hangul and letters stand on one line

constexpr int kSymbolRows[2] = {0xA1, 0xAC};
constexpr int kHanjaRows[2] = {0xCA, 0xFD};

static bool build_image(FontImage& image, bool report, std::string& error)
{
    OutlineFace wide, half;
    if (!face_open(kWideFamily, kWidePixels, wide, error) || !face_open(kHalfFamily, kHalfPixels, half, error)) {
        face_close(wide);
        return false;
    }
    CellPlacement cell {kFontCellSize, kFontCellSize, 0, kBaseline};
    // One origin for all Hangul: jamo glyphs of a composite share the syllable's origin.
    cell.origin_x = (cell.width - face_advance(wide, face_glyph_index(wide, 0xAC00))) / 2;
    JamoGlyphs jamo;
    bool ok = jamo_glyphs_build(wide, cell, jamo, error);
    if (ok) {
        image.variant_tables = jamo.variant_tables;
        image.areas[0] = jamo.glyphs;
        image.areas[1] = whole_glyphs_ks_rows(wide, cell, kHanjaRows[0], kHanjaRows[1]);
        image.areas[2] = whole_glyphs_ks_rows(wide, cell, kSymbolRows[0], kSymbolRows[1]);
        CellPlacement half_cell {kFontCellSize / 2, kFontCellSize, 0, kBaseline};
        image.half_width = whole_glyphs_half_width(half, half_cell);
    }
    if (ok && report)
        std::printf("jamo variants %d/%d/%d; composed syllables differ from %s's by %ld pixels "
                    "where it composes them too, %ld where it draws them whole\n",
            jamo.variant_counts[0], jamo.variant_counts[1], jamo.variant_counts[2], kWideFamily,
            jamo.composite_pixels_off, jamo.whole_pixels_off);
    face_close(wide);
    face_close(half);
    return ok;
}

static const char kUsage[] = "usage: qktfont OUTPUT [--report]\n";

int main(int argc, char** argv)
{
    ToolArgs args = tool_parse_args(argc, argv, {}, { "--report" });
    if (args.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (!args.error.empty() || args.files.size() != 1) {
        if (!args.error.empty())
            std::fprintf(stderr, "qktfont: %s\n", args.error.c_str());
        std::fputs(kUsage, stderr);
        return 2;
    }
    FontImage image;
    std::string error;
    if (!build_image(image, args.flags.count("--report") != 0, error)) {
        std::fprintf(stderr, "qktfont: %s\n", error.c_str());
        return 1;
    }
    if (!tool_write_replacing(args.files[0], bitmap_font_build(image))) {
        std::fprintf(stderr, "qktfont: cannot write %s\n", args.files[0].c_str());
        return 1;
    }
    return 0;
}
