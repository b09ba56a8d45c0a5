#include "tools/qktart/art_svg.h"

#include <cstdarg>
#include <cstdio>

std::string fmt(const char* format, ...)
{
    char buffer[1024];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return std::string(buffer, n < 0 ? 0 : std::min<size_t>(size_t(n), sizeof buffer - 1));
}

static std::string xml_escaped(const std::string& text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

void Svg::rect(double x, double y, double w, double h, const char* fill, double radius)
{
    body += fmt("<rect x='%g' y='%g' width='%g' height='%g' rx='%g' fill='%s'/>\n", x, y, w, h,
        radius, fill);
}

void Svg::frame(double x, double y, double w, double h, const char* stroke, double width,
    double radius, const char* fill)
{
    body += fmt("<rect x='%g' y='%g' width='%g' height='%g' rx='%g' fill='%s' stroke='%s' "
                "stroke-width='%g'/>\n",
        x, y, w, h, radius, fill, stroke, width);
}

void Svg::circle(double cx, double cy, double r, const char* fill)
{
    body += fmt("<circle cx='%g' cy='%g' r='%g' fill='%s'/>\n", cx, cy, r, fill);
}

void Svg::ring(double cx, double cy, double r, const char* stroke, double width)
{
    body += fmt("<circle cx='%g' cy='%g' r='%g' fill='none' stroke='%s' stroke-width='%g'/>\n", cx,
        cy, r, stroke, width);
}

void Svg::ellipse(double cx, double cy, double rx, double ry, const char* fill)
{
    body += fmt("<ellipse cx='%g' cy='%g' rx='%g' ry='%g' fill='%s'/>\n", cx, cy, rx, ry, fill);
}

void Svg::line(double x1, double y1, double x2, double y2, const char* stroke, double width)
{
    body += fmt("<line x1='%g' y1='%g' x2='%g' y2='%g' stroke='%s' stroke-width='%g' "
                "stroke-linecap='round'/>\n",
        x1, y1, x2, y2, stroke, width);
}

void Svg::path(const std::string& d, const char* fill, const char* stroke, double width)
{
    body += "<path d='" + d + "'" + fmt(" fill='%s' stroke='%s' stroke-width='%g' "
                                        "stroke-linecap='round' stroke-linejoin='round'/>\n",
                                        fill, stroke, width);
}

void Svg::text(double x, double baseline, double size, const std::string& utf8, const char* fill,
    Anchor anchor, Weight weight)
{
    static const char* const kAnchors[] = {"start", "middle", "end"};
    body += fmt("<text x='%g' y='%g' font-size='%g' fill='%s' text-anchor='%s' font-weight='%s'>",
        x, baseline, size, fill, kAnchors[int(anchor)], weight == Weight::bold ? "bold" : "normal");
    body += xml_escaped(utf8) + "</text>\n";
}

void Svg::begin_group(double dx, double dy, double rotate, double cx, double cy)
{
    body += fmt("<g transform='translate(%g %g) rotate(%g %g %g)'>\n", dx, dy, rotate, cx, cy);
}

void Svg::begin_scaled(double dx, double dy, double scale)
{
    body += fmt("<g transform='translate(%g %g) scale(%g)'>\n", dx, dy, scale);
}

void Svg::end_group() { body += "</g>\n"; }

std::string svg_document(int width, int height, const Svg& svg)
{
    // One family for every label: the Nanum fonts that fontconfig finds (Debian: fonts-nanum).
    return fmt("<svg xmlns='http://www.w3.org/2000/svg' width='%d' height='%d' "
               "viewBox='0 0 %d %d' font-family='NanumBarunGothic, NanumGothic, sans-serif'>\n",
               width, height, width, height)
        + svg.body + "</svg>\n";
}
