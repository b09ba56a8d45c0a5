// SVG text for the tutor's pictures: a picture is drawn as an SVG document that rsvg-convert
// renders, so shapes and the Nanum labels get smooth edges before the colours are mapped.
#pragma once
#include <string>

enum class Anchor { start, middle, end };
enum class Weight { regular, bold };

// The flat colours of the look; every one is a row of the shared colour table.
namespace colour {
inline constexpr const char* ink = "#263238";
inline constexpr const char* page = "#EEF2F5";
inline constexpr const char* line = "#CFD8DC";
inline constexpr const char* muted = "#78909C";
inline constexpr const char* blue = "#1E88E5";
inline constexpr const char* navy = "#15478C";
inline constexpr const char* orange = "#FB8C00";
inline constexpr const char* green = "#43A047";
inline constexpr const char* red = "#E53935";
inline constexpr const char* yellow = "#FDD835";
inline constexpr const char* purple = "#8E24AA";
inline constexpr const char* teal = "#00897B";
inline constexpr const char* skin = "#F6C49A";
inline constexpr const char* brown = "#6D4C41";
inline constexpr const char* sky = "#4FC3F7";
inline constexpr const char* white = "#FFFFFF";
inline constexpr const char* field = "#E6F6FE"; // sky toward white 6/7: the game's field
inline constexpr const char* pale_blue = "#BFDDF8"; // blue toward white 5/7
inline constexpr const char* pale_orange = "#FEDEB6"; // orange toward white 5/7
} // namespace colour

struct Svg {
    std::string body;

    void rect(double x, double y, double w, double h, const char* fill, double radius = 0);
    void frame(double x, double y, double w, double h, const char* stroke, double width,
        double radius = 0, const char* fill = "none");
    void circle(double cx, double cy, double r, const char* fill);
    void ring(double cx, double cy, double r, const char* stroke, double width);
    void ellipse(double cx, double cy, double rx, double ry, const char* fill);
    void line(double x1, double y1, double x2, double y2, const char* stroke, double width);
    // d is SVG path data; fill or stroke may be "none".
    void path(const std::string& d, const char* fill, const char* stroke = "none", double width = 0);
    void text(double x, double baseline, double size, const std::string& utf8, const char* fill,
        Anchor anchor = Anchor::middle, Weight weight = Weight::regular);
    void begin_group(double dx, double dy, double rotate = 0, double cx = 0, double cy = 0);
    // A group drawn at (dx, dy) and enlarged by scale; ends with end_group.
    void begin_scaled(double dx, double dy, double scale);
    void end_group();
};

// A whole document of the given size; transparent where nothing is drawn.
std::string svg_document(int width, int height, const Svg& svg);

// snprintf into a std::string.
std::string fmt(const char* format, ...) __attribute__((format(printf, 1, 2)));
