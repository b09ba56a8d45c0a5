#include "platform/text/draw_text.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/kernel/codepage.h"
#include "platform/gdi/dc.h"
#include "platform/kernel/error.h"
#include "platform/text/font.h"
#include "platform/text/glyph_cache.h"
#include "platform/text/text.h"

namespace plat {

constexpr int32_t kDefaultTabChars = 8;
constexpr uint32_t kWideBlank = 0x3000; // the double-byte space
constexpr const char* kEllipsis = "...";

struct DrawChar {
    uint32_t code = 0;
    uint32_t offset = 0; // in the text with the prefixes taken out
    uint32_t length = 1;
    int32_t advance = 0;
    bool underlined = false;
};

struct DrawLayout {
    const RealizedFont* font = nullptr;
    uint32_t format = 0;
    std::string text; // prefixes taken out
    std::vector<DrawChar> chars;
    int32_t extra = 0;
    int32_t tab_width = 0; // 0: tabs are characters
    int32_t max_width = 0;
};

struct DrawLine {
    size_t first = 0;
    size_t end = 0; // characters drawn: first..end-1
    int32_t width = 0;
    bool ellipsis = false;
};

// --- Preparing -----------------------------------------------------------------------------

// Takes out the & of mnemonics ("&&" is a plain &) and notes the characters they mark.
static std::string strip_prefixes(const char* text, size_t count, uint32_t format, std::vector<uint32_t>& marks)
{
    if (format & DT_NOPREFIX)
        return std::string(text, count);
    std::string out;
    for (size_t i = 0; i < count;) {
        if (text[i] == '&' && i + 1 < count) {
            if (text[i + 1] != '&' && !(format & DT_HIDEPREFIX))
                marks.push_back(uint32_t(out.size()));
            i++;
        } else if (text[i] == '&') {
            break; // a trailing & marks nothing
        }
        size_t length = (i + 1 < count && is_dbcs_lead_byte(uint8_t(text[i]))) ? 2 : 1;
        out.append(text + i, length);
        i += length;
    }
    return out;
}

static void prepare(DrawLayout& layout, const char* text, size_t count)
{
    std::vector<uint32_t> marks;
    layout.text = strip_prefixes(text, count, layout.format, marks);
    std::vector<TextChar> chars;
    glyph_decode(*layout.font, layout.text.data(), layout.text.size(), chars);
    layout.chars.resize(chars.size());
    for (size_t i = 0; i < chars.size(); i++) {
        DrawChar& c = layout.chars[i];
        c.code = chars[i].code;
        c.offset = chars[i].offset;
        c.length = chars[i].length;
        c.advance = glyph_get(*layout.font, c.code).advance + layout.extra;
        c.underlined = std::find(marks.begin(), marks.end(), c.offset) != marks.end();
    }
}

// --- Lines ---------------------------------------------------------------------------------

static bool is_blank(uint32_t code) { return code == ' ' || code == kWideBlank; }
static bool is_line_end(uint32_t code) { return code == '\r' || code == '\n'; }

// A tab moves to the next stop from the line's start; other characters by their advance.
static int32_t advance_at(const DrawLayout& layout, size_t i, int32_t x)
{
    const DrawChar& c = layout.chars[i];
    if (c.code != '\t' || layout.tab_width <= 0)
        return c.advance;
    int32_t stop = (x / layout.tab_width + 1) * layout.tab_width;
    return stop - x;
}

static int32_t measure(const DrawLayout& layout, size_t first, size_t end)
{
    int32_t x = 0;
    for (size_t i = first; i < end; i++)
        x += advance_at(layout, i, x);
    return x;
}

// Where a line that overflows before character i may end: after the last blank, or between
// two characters where one is double-byte (Hangul breaks anywhere); inside the word when the
// line holds no such place.
static size_t break_before(const DrawLayout& layout, size_t first, size_t i)
{
    const std::vector<DrawChar>& c = layout.chars;
    for (size_t p = i; p > first; p--) {
        bool after_blank = is_blank(c[p - 1].code) && !is_blank(c[p].code);
        bool wide = (c[p - 1].length == 2 || c[p].length == 2) && !is_blank(c[p].code);
        if (!after_blank && !wide)
            continue;
        for (size_t k = first; k < p; k++) {
            if (!is_blank(c[k].code))
                return p;
        }
        break; // only blanks before it: the word itself is split
    }
    return i;
}

static DrawLine wrapped_line(const DrawLayout& layout, size_t first, size_t cut, size_t& next)
{
    DrawLine line{first, cut, 0, false};
    while (line.end > first && is_blank(layout.chars[line.end - 1].code))
        line.end--; // blanks at the break are not drawn
    line.width = measure(layout, first, line.end);
    next = cut;
    return line;
}

static DrawLine next_line(const DrawLayout& layout, size_t first, size_t& next)
{
    bool single = layout.format & DT_SINGLELINE;
    bool wrap = !single && (layout.format & DT_WORDBREAK);
    const std::vector<DrawChar>& c = layout.chars;
    int32_t x = 0;
    for (size_t i = first; i < c.size(); i++) {
        if (!single && is_line_end(c[i].code)) {
            next = i + 1;
            if (next < c.size() && is_line_end(c[next].code) && c[next].code != c[i].code)
                next++; // CR LF or LF CR is one break
            return DrawLine{first, i, x, false};
        }
        int32_t advance = advance_at(layout, i, x);
        if (wrap && i > first && x + advance > layout.max_width && !is_blank(c[i].code))
            return wrapped_line(layout, first, break_before(layout, first, i), next);
        x += advance;
    }
    next = c.size();
    return DrawLine{first, c.size(), x, false};
}

// Cuts the line after the last character with which it and "..." still fit.
static void add_ellipsis(const DrawLayout& layout, DrawLine& line, int32_t ellipsis_width)
{
    int32_t x = 0, kept = 0;
    size_t end = line.first;
    for (size_t i = line.first; i < line.end; i++) {
        x += advance_at(layout, i, x);
        if (x + ellipsis_width > layout.max_width)
            break;
        end = i + 1;
        kept = x;
    }
    line.end = end;
    line.width = kept + ellipsis_width;
    line.ellipsis = true;
}

static std::vector<DrawLine> break_lines(const DrawLayout& layout)
{
    std::vector<DrawLine> lines;
    int32_t ellipsis_width = 0;
    if (layout.format & DT_END_ELLIPSIS)
        ellipsis_width = text_width(layout.font->id, kEllipsis, 3, layout.extra);
    size_t first = 0;
    do {
        size_t next = first;
        DrawLine line = next_line(layout, first, next);
        if ((layout.format & DT_END_ELLIPSIS) && !(layout.format & DT_CALCRECT) && line.width > layout.max_width)
            add_ellipsis(layout, line, ellipsis_width);
        lines.push_back(line);
        first = std::max(next, first + 1);
    } while (first < layout.chars.size());
    return lines;
}

// --- Drawing -------------------------------------------------------------------------------

struct DrawTarget {
    DcHandle dc;
    const Rect* clip = nullptr; // null with DT_NOCLIP
    uint32_t options = 0;
    int32_t left = 0; // the line's first pen position
    int32_t top = 0;
};

static void draw_run(const DrawTarget& target, const DrawLayout& layout, int32_t x, size_t first, size_t end)
{
    if (first >= end)
        return;
    uint32_t from = layout.chars[first].offset;
    uint32_t to = layout.chars[end - 1].offset + layout.chars[end - 1].length;
    ext_text_out(target.dc, target.left + x, target.top, target.options, target.clip, layout.text.data() + from,
        int(to - from), nullptr);
}

// The line's characters in runs between tabs, then "..." when it was cut.
static void draw_characters(const DrawTarget& target, const DrawLayout& layout, const DrawLine& line)
{
    int32_t x = 0, run_x = 0;
    size_t run = line.first;
    for (size_t i = line.first; i < line.end; i++) {
        int32_t advance = advance_at(layout, i, x);
        if (layout.chars[i].code == '\t' && layout.tab_width > 0) {
            draw_run(target, layout, run_x, run, i);
            run = i + 1;
            run_x = x + advance;
        }
        x += advance;
    }
    draw_run(target, layout, run_x, run, line.end);
    if (line.ellipsis)
        ext_text_out(target.dc, target.left + x, target.top, target.options, target.clip, kEllipsis, 3, nullptr);
}

static void draw_underlines(const DrawTarget& target, const DrawLayout& layout, const DrawLine& line)
{
    const RealizedFont& font = *layout.font;
    int32_t top = target.top + font.metrics.ascent + font.underline_top;
    uint32_t color = get_text_color(target.dc);
    int32_t x = 0;
    for (size_t i = line.first; i < line.end; i++) {
        int32_t advance = advance_at(layout, i, x);
        if (layout.chars[i].underlined) {
            Rect mark{target.left + x, top, target.left + x + advance - layout.extra, top + font.underline_rows};
            text_fill(target.dc, mark, color, target.clip);
        }
        x += advance;
    }
}

static int32_t line_left(const Rect& rect, uint32_t format, int32_t width)
{
    if (format & DT_CENTER)
        return rect.left + (rect.width() - width) / 2;
    if (format & DT_RIGHT)
        return rect.right - width;
    return rect.left;
}

static int32_t first_top(const Rect& rect, uint32_t format, int32_t line_height)
{
    if (!(format & DT_SINGLELINE))
        return rect.top;
    if (format & DT_VCENTER)
        return rect.top + (rect.height() - line_height) / 2;
    if (format & DT_BOTTOM)
        return rect.bottom - line_height;
    return rect.top;
}

static void draw_lines(DcHandle dc, const DrawLayout& layout, const std::vector<DrawLine>& lines, const Rect& rect,
    int32_t top, int32_t line_height)
{
    DrawTarget target;
    target.dc = dc;
    target.clip = (layout.format & DT_NOCLIP) ? nullptr : &rect;
    target.options = target.clip ? uint32_t(ETO_CLIPPED) : 0u;
    uint32_t align = set_text_align(dc, TA_LEFT | TA_TOP);
    for (const DrawLine& line : lines) {
        target.left = line_left(rect, layout.format, line.width);
        target.top = top;
        if (!(layout.format & DT_PREFIXONLY))
            draw_characters(target, layout, line);
        draw_underlines(target, layout, line);
        top += line_height;
    }
    set_text_align(dc, align);
}

static int32_t widest_line(const std::vector<DrawLine>& lines)
{
    int32_t widest = 0;
    for (const DrawLine& line : lines)
        widest = std::max(widest, line.width);
    return widest;
}

// With DT_TABSTOP bits 8-15 are the tab size, not the flags that live there otherwise.
static uint32_t effective_format(uint32_t format, int32_t& tab_chars)
{
    tab_chars = kDefaultTabChars;
    if (!(format & DT_TABSTOP))
        return format;
    tab_chars = int32_t(format >> 8 & 0xFF);
    return format & ~uint32_t(0xFF00);
}

int draw_text(DcHandle dc, const char* text, int count, Rect& rect, uint32_t format)
{
    if (!text || count < -1) {
        set_last_error(ERROR_INVALID_PARAMETER);
        return 0;
    }
    DrawLayout layout;
    layout.font = font_realized(font_of_dc(dc));
    int32_t extra = get_text_character_extra(dc);
    if (!layout.font || extra == kTextExtraError)
        return 0;
    size_t length = count == -1 ? std::strlen(text) : size_t(count);
    if (length == 0)
        return 0;
    int32_t tab_chars = 0;
    layout.format = effective_format(format, tab_chars);
    layout.extra = extra;
    layout.max_width = rect.width();
    if (layout.format & DT_EXPANDTABS)
        layout.tab_width = tab_chars * layout.font->metrics.ave_char_width;
    prepare(layout, text, length);
    std::vector<DrawLine> lines = break_lines(layout);
    const TextMetric& metrics = layout.font->metrics;
    int32_t line_height = metrics.height + ((layout.format & DT_EXTERNALLEADING) ? metrics.external_leading : 0);
    int32_t height = int32_t(lines.size()) * line_height;
    if (layout.format & DT_CALCRECT) {
        rect.right = rect.left + widest_line(lines);
        rect.bottom = rect.top + height;
        return height;
    }
    int32_t top = first_top(rect, layout.format, line_height);
    draw_lines(dc, layout, lines, rect, top, line_height);
    bool offset_answer = (layout.format & DT_SINGLELINE) && (layout.format & (DT_VCENTER | DT_BOTTOM));
    return offset_answer ? top - rect.top + line_height : height;
}

} // namespace plat
