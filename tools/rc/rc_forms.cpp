// Statement parsers of the structured resources: dialog templates, menus, accelerator tables,
// cursors and icons. README.md gives the bytes each one writes.
#include "platform/kernel/byte_io.h"
#include "platform/kernel/resource.h"
#include "platform/kernel/resource_forms.h"
#include "tools/rc/rc_parse.h"

#include <cctype>
#include <cstring>
#include <iterator>

constexpr int64_t kMaxId = 0xFFFF;
constexpr int kMaxMenuDepth = 8; // the reader refuses deeper menus
constexpr int64_t kMaxImageSide = 256;
constexpr size_t kMaxGroupImages = 64;

static RcId number_id(uint32_t number) { return RcId { number, {} }; }

static bool take_rect(Parser& p, Args& a, int16_t rect[4])
{
    static const char* const kWhat[]
        = { "the x position", "the y position", "the width", "the height" };
    for (int i = 0; i < 4; ++i) {
        int64_t value = 0;
        if (!rc_take_number(p, a, kWhat[i], i < 2 ? -32768 : 0, 32767, value))
            return false;
        rect[i] = int16_t(value);
    }
    return true;
}

static void write_rect(plat::ByteWriter& w, const int16_t rect[4])
{
    for (int i = 0; i < 4; ++i)
        w.u16le(uint16_t(rect[i]));
}

struct ControlSource {
    std::string text;
    uint16_t id = 0;
    std::string class_name;
    uint32_t style = 0;
    int16_t rect[4] = {};
    uint32_t ex_style = 0;
};

struct DialogSource {
    uint32_t style = 0;
    uint32_t ex_style = 0;
    int16_t rect[4] = {};
    uint16_t font_size = 0;
    std::string font_face;
    std::string caption;
    std::vector<ControlSource> controls;
    unsigned seen = 0; // bit per once-only statement
};

static bool dialog_caption(Parser& p, Args& a, DialogSource& d)
{
    return rc_take_text(p, a, "the caption", d.caption);
}
static bool dialog_style(Parser& p, Args& a, DialogSource& d)
{
    return rc_take_style(p, a, d.style);
}
static bool dialog_exstyle(Parser& p, Args& a, DialogSource& d)
{
    return rc_take_style(p, a, d.ex_style);
}

static bool dialog_font(Parser& p, Args& a, DialogSource& d)
{
    int64_t size = 0;
    if (!rc_take_number(p, a, "the font size", 1, kMaxId, size))
        return false;
    d.font_size = uint16_t(size);
    return rc_take_text(p, a, "the font face", d.font_face);
}

// control -> 'control' text id class style x y cx cy [ exstyle ]
static bool dialog_control(Parser& p, Args& a, DialogSource& d)
{
    ControlSource c;
    int64_t id = 0;
    if (!rc_take_text(p, a, "the control's text", c.text)
        || !rc_take_number(p, a, "the control's id", -1, kMaxId, id))
        return false;
    c.id = uint16_t(id);
    bool class_ok = !a.at_end() && a.peek().kind == TokenKind::word
        ? rc_take_word(p, a, "the class", c.class_name)
        : rc_take_text(p, a, "the control's class", c.class_name);
    if (!class_ok || !rc_take_style(p, a, c.style) || !take_rect(p, a, c.rect))
        return false;
    if (!a.at_end() && !rc_take_style(p, a, c.ex_style))
        return false;
    if (d.controls.size() == kMaxId)
        return rc_fail(p, a.statement->line, "a dialog holds at most 65535 controls");
    d.controls.push_back(std::move(c));
    return true;
}

using DialogLineParser = bool (*)(Parser&, Args&, DialogSource&);

struct DialogLine {
    const char* keyword;
    DialogLineParser parse;
    bool once;
};

static const DialogLine kDialogLines[] = {
    { "caption", dialog_caption, true }, // the title bar's text
    { "style", dialog_style, true }, // the dialog window's style
    { "exstyle", dialog_exstyle, true }, // its extended style
    { "font", dialog_font, true }, // point size and face of the dialog's font
    { "control", dialog_control, false }, // one control, in tab order
};

static bool parse_dialog_line(Parser& p, Args& body, DialogSource& d)
{
    for (size_t i = 0; i < std::size(kDialogLines); ++i) {
        const DialogLine& row = kDialogLines[i];
        if (!rc_take_keyword(body, row.keyword))
            continue;
        if (row.once && (d.seen & (1u << i)))
            return rc_fail(
                p, body.statement->line, std::string("the dialog already has a ") + row.keyword);
        d.seen |= 1u << i;
        return row.parse(p, body, d) && rc_expect_end(p, body);
    }
    return rc_unknown_in_block(p, body, "dialog");
}

static std::vector<uint8_t> write_dialog(const DialogSource& d)
{
    std::vector<uint8_t> bytes;
    bytes.reserve(kRcWriterReserve);
    plat::ByteWriter w(bytes);
    w.u32le(d.style);
    w.u32le(d.ex_style);
    write_rect(w, d.rect);
    w.u16le(d.font_size);
    w.cstring(d.font_face);
    w.cstring(d.caption);
    w.u16le(uint16_t(d.controls.size()));
    for (const ControlSource& c : d.controls) {
        w.u32le(c.style);
        w.u32le(c.ex_style);
        write_rect(w, c.rect);
        w.u16le(c.id);
        w.cstring(c.class_name);
        w.cstring(c.text);
    }
    return bytes;
}

// dialog -> 'dialog' id x y cx cy { dialog-line } 'end'
bool rc_parse_dialog(Parser& p, Args& a)
{
    RcId name;
    DialogSource d;
    if (!rc_take_id(p, a, "the dialog's name", name) || !take_rect(p, a, d.rect)
        || !rc_expect_end(p, a))
        return false;
    if (!rc_parse_block(p, a, [&](Args& body) { return parse_dialog_line(p, body, d); }))
        return false;
    rc_add_resource(p, number_id(plat::RT_DIALOG), name, write_dialog(d), a.statement->line);
    return true;
}

struct MenuSource {
    uint16_t flags = 0;
    uint16_t id = 0;
    std::string text;
    std::vector<MenuSource> items;
};

static bool take_menu_flags(Parser& p, Args& a, uint16_t& flags)
{
    static const struct {
        const char* word;
        uint16_t flag;
    } kFlags[] = { { "checked", plat::MF_CHECKED }, { "grayed", plat::MF_GRAYED },
        { "disabled", plat::MF_DISABLED } };
    while (!a.at_end()) {
        bool known = false;
        for (const auto& row : kFlags) {
            if (!known && rc_take_keyword(a, row.word)) {
                flags |= row.flag;
                known = true;
            }
        }
        if (!known)
            return rc_fail(p, a.line(), "expected a menu flag (checked, grayed or disabled)");
    }
    return true;
}

static bool parse_menu_level(
    Parser& p, const Args& header, int depth, std::vector<MenuSource>& items);

static bool parse_menu_line(Parser& p, Args& body, int depth, std::vector<MenuSource>& items)
{
    MenuSource item;
    int line = body.statement->line;
    if (rc_take_keyword(body, "separator")) {
        item.flags = plat::MF_SEPARATOR;
    } else if (rc_take_keyword(body, "item")) {
        int64_t id = 0;
        if (!rc_take_text(p, body, "the item's text", item.text)
            || !rc_take_number(p, body, "the item's id", 0, kMaxId, id))
            return false;
        item.id = uint16_t(id);
    } else if (rc_take_keyword(body, "popup")) {
        item.flags = plat::MF_POPUP;
        if (depth == kMaxMenuDepth)
            return rc_fail(
                p, line, "popups nest at most " + std::to_string(kMaxMenuDepth) + " deep");
        if (!rc_take_text(p, body, "the popup's text", item.text)
            || !take_menu_flags(p, body, item.flags))
            return false;
        if (!parse_menu_level(p, body, depth + 1, item.items))
            return false;
        items.push_back(std::move(item));
        return true;
    } else {
        return rc_unknown_in_block(p, body, "menu");
    }
    if (!take_menu_flags(p, body, item.flags))
        return false;
    items.push_back(std::move(item));
    return true;
}

// level -> { 'item' text id flags | 'separator' | 'popup' text flags level } 'end'
static bool parse_menu_level(
    Parser& p, const Args& header, int depth, std::vector<MenuSource>& items)
{
    if (!rc_parse_block(
            p, header, [&](Args& body) { return parse_menu_line(p, body, depth, items); }))
        return false;
    if (items.empty())
        return rc_fail(
            p, header.statement->line, "the " + header.statement->tokens[0].word + " has no items");
    return true;
}

static void write_menu_level(plat::ByteWriter& w, const std::vector<MenuSource>& items)
{
    for (size_t i = 0; i < items.size(); ++i) {
        const MenuSource& item = items[i];
        w.u16le(uint16_t(item.flags | (i + 1 == items.size() ? plat::MF_END : 0)));
        if (!(item.flags & plat::MF_POPUP))
            w.u16le(item.id);
        w.cstring(item.text);
        if (item.flags & plat::MF_POPUP)
            write_menu_level(w, item.items);
    }
}

// menu -> 'menu' id level
bool rc_parse_menu(Parser& p, Args& a)
{
    RcId name;
    std::vector<MenuSource> items;
    if (!rc_take_id(p, a, "the menu's name", name) || !rc_expect_end(p, a)
        || !parse_menu_level(p, a, 0, items))
        return false;
    std::vector<uint8_t> bytes;
    plat::ByteWriter w(bytes);
    write_menu_level(w, items);
    rc_add_resource(p, number_id(plat::RT_MENU), name, std::move(bytes), a.statement->line);
    return true;
}

struct VirtualKeyName {
    const char* name;
    uint16_t key;
};

// Win32's virtual-key codes that accelerators use; VK_F1 to VK_F24 and VK_NUMPAD0 to 9 follow a
// rule.
static const VirtualKeyName kVirtualKeys[] = {
    { "VK_BACK", 0x08 },
    { "VK_TAB", 0x09 },
    { "VK_CLEAR", 0x0C },
    { "VK_RETURN", 0x0D },
    { "VK_SHIFT", 0x10 },
    { "VK_CONTROL", 0x11 },
    { "VK_MENU", 0x12 },
    { "VK_PAUSE", 0x13 },
    { "VK_CAPITAL", 0x14 },
    { "VK_HANGUL", 0x15 },
    { "VK_HANJA", 0x19 },
    { "VK_ESCAPE", 0x1B },
    { "VK_SPACE", 0x20 },
    { "VK_PRIOR", 0x21 },
    { "VK_NEXT", 0x22 },
    { "VK_END", 0x23 },
    { "VK_HOME", 0x24 },
    { "VK_LEFT", 0x25 },
    { "VK_UP", 0x26 },
    { "VK_RIGHT", 0x27 },
    { "VK_DOWN", 0x28 },
    { "VK_SNAPSHOT", 0x2C },
    { "VK_INSERT", 0x2D },
    { "VK_DELETE", 0x2E },
    { "VK_HELP", 0x2F },
    { "VK_MULTIPLY", 0x6A },
    { "VK_ADD", 0x6B },
    { "VK_SEPARATOR", 0x6C },
    { "VK_SUBTRACT", 0x6D },
    { "VK_DECIMAL", 0x6E },
    { "VK_DIVIDE", 0x6F },
    { "VK_NUMLOCK", 0x90 },
    { "VK_SCROLL", 0x91 },
};

static bool virtual_key_from_name(const std::string& name, uint16_t& key)
{
    for (const VirtualKeyName& row : kVirtualKeys) {
        if (name == row.name) {
            key = row.key;
            return true;
        }
    }
    auto numbered = [&](const char* prefix, int first, int last, uint16_t base) {
        std::string_view rest(name);
        if (rest.substr(0, std::strlen(prefix)) != prefix)
            return false;
        rest.remove_prefix(std::strlen(prefix));
        int n = 0;
        for (char c : rest)
            n = std::isdigit(uint8_t(c)) && n < 100 ? n * 10 + (c - '0') : 1000;
        if (rest.empty() || (rest.size() > 1 && rest[0] == '0') || n < first || n > last)
            return false;
        key = uint16_t(base + n - first);
        return true;
    };
    return numbered("VK_F", 1, 24, 0x70) || numbered("VK_NUMPAD", 0, 9, 0x60);
}

static bool take_accelerator_flags(Parser& p, Args& a, uint16_t& flags)
{
    static const struct {
        const char* word;
        uint16_t flag;
    } kFlags[] = { { "VIRTKEY", plat::FVIRTKEY }, { "NOINVERT", plat::FNOINVERT },
        { "SHIFT", plat::FSHIFT }, { "CONTROL", plat::FCONTROL }, { "ALT", plat::FALT } };
    while (!a.at_end()) {
        bool known = false;
        for (const auto& row : kFlags) {
            if (!known && rc_take_keyword(a, row.word)) {
                flags |= row.flag;
                known = true;
            }
        }
        if (!known)
            return rc_fail(p, a.line(),
                "expected an accelerator flag (VIRTKEY, CONTROL, SHIFT, ALT or NOINVERT)");
    }
    if ((flags & (plat::FSHIFT | plat::FCONTROL)) && !(flags & plat::FVIRTKEY))
        return rc_fail(p, a.statement->line, "SHIFT and CONTROL need VIRTKEY");
    return true;
}

// A character key: one character, or '^' and a letter for its control code. A virtual key
// given as a character is the upper-case letter or the digit.
static bool key_from_text(
    Parser& p, int line, const std::string& text, bool virtual_key, uint16_t& key)
{
    uint8_t first = text.empty() ? 0 : uint8_t(text[0]);
    if (text.size() == 2 && first == '^' && std::isalpha(uint8_t(text[1])) && !virtual_key) {
        key = uint16_t(std::toupper(uint8_t(text[1])) - '@');
        return true;
    }
    if (text.size() != 1)
        return rc_fail(p, line, "a key is one character, or '^' and a letter");
    if (virtual_key && !std::isalnum(first))
        return rc_fail(p, line, "a VIRTKEY character is a letter or a digit");
    key = virtual_key ? uint16_t(std::toupper(first)) : first;
    return true;
}

// key -> number | VK_ name | text
static bool key_from_token(
    Parser& p, const Args& body, size_t key_pos, bool virtual_key, uint16_t& key)
{
    const Token& t = body.statement->tokens[key_pos];
    if (t.kind == TokenKind::number) {
        if (t.number < 0 || t.number > kMaxId)
            return rc_fail(p, t.line, "a key code must be from 0 to 65535");
        key = uint16_t(t.number);
        return true;
    }
    if (t.kind == TokenKind::word) {
        if (!virtual_key_from_name(t.word, key))
            return rc_fail(p, t.line, "unknown key '" + t.word + "'");
        return virtual_key || rc_fail(p, t.line, "'" + t.word + "' needs VIRTKEY");
    }
    Args key_args { body.statement, key_pos };
    std::string text;
    return rc_take_text(p, key_args, "the key", text)
        && key_from_text(p, t.line, text, virtual_key, key);
}

// The flags decide how the key reads, so the key is resolved last.
static bool parse_accelerator_line(Parser& p, Args& body, std::vector<plat::AcceleratorEntry>& out)
{
    if (!rc_take_keyword(body, "key"))
        return rc_unknown_in_block(p, body, "accelerators");
    if (body.at_end())
        return rc_fail(p, body.line(), "expected a key");
    size_t key_pos = body.pos++;
    int64_t id = 0;
    plat::AcceleratorEntry e;
    if (!rc_take_number(p, body, "the command id", 0, kMaxId, id)
        || !take_accelerator_flags(p, body, e.flags))
        return false;
    e.id = uint16_t(id);
    if (!key_from_token(p, body, key_pos, e.flags & plat::FVIRTKEY, e.key))
        return false;
    out.push_back(e);
    return true;
}

// accelerators -> 'accelerators' id { 'key' key id { flag } } 'end'
bool rc_parse_accelerators(Parser& p, Args& a)
{
    RcId name;
    std::vector<plat::AcceleratorEntry> entries;
    if (!rc_take_id(p, a, "the table's name", name) || !rc_expect_end(p, a))
        return false;
    if (!rc_parse_block(p, a, [&](Args& body) { return parse_accelerator_line(p, body, entries); }))
        return false;
    if (entries.empty())
        return rc_fail(p, a.statement->line, "the accelerator table has no keys");
    std::vector<uint8_t> bytes;
    plat::ByteWriter w(bytes);
    for (const plat::AcceleratorEntry& e : entries) {
        w.u16le(e.flags);
        w.u16le(e.key);
        w.u16le(e.id);
    }
    rc_add_resource(p, number_id(plat::RT_ACCELERATOR), name, std::move(bytes), a.statement->line);
    return true;
}

struct ArtImage {
    std::vector<std::string> rows;
    int64_t hotspot_x = 0;
    int64_t hotspot_y = 0;
    bool has_hotspot = false;
    int line = 0;
};

enum class ArtKind { cursor, icon };

static bool parse_art_row(Parser& p, Args& body, ArtImage& image)
{
    if (body.at_end() || body.peek().kind != TokenKind::text)
        return rc_fail(p, body.line(), "expected a row of pixels in quotes");
    std::string row = rc_text_as_written(body.statement->tokens[body.pos++].text);
    if (row.find_first_not_of(".#ox") != std::string::npos)
        return rc_fail(p, body.statement->line,
            "a pixel is '.' (transparent), '#' (black), 'o' (white) or 'x' (inverted)");
    if (row.empty() || int64_t(row.size()) > kMaxImageSide
        || int64_t(image.rows.size()) == kMaxImageSide)
        return rc_fail(p, body.statement->line, "an image is 1 to 256 pixels wide and high");
    if (!image.rows.empty() && row.size() != image.rows[0].size())
        return rc_fail(p, body.statement->line, "the row is not as wide as the image's first row");
    image.rows.push_back(row);
    return true;
}

static bool parse_art_line(Parser& p, Args& body, ArtKind kind, std::vector<ArtImage>& images)
{
    if (rc_take_keyword(body, "image")) {
        if (images.size() == kMaxGroupImages)
            return rc_fail(p, body.statement->line, "a group holds at most 64 images");
        if (!images.back().rows.empty())
            images.push_back({});
        images.back().line = body.statement->line;
    } else if (rc_take_keyword(body, "row")) {
        if (!parse_art_row(p, body, images.back()))
            return false;
    } else if (kind == ArtKind::cursor && rc_take_keyword(body, "hotspot")) {
        ArtImage& image = images.back();
        if (image.has_hotspot)
            return rc_fail(p, body.statement->line, "the image already has a hotspot");
        image.has_hotspot = true;
        if (!rc_take_number(p, body, "the hotspot's x", 0, kMaxImageSide - 1, image.hotspot_x)
            || !rc_take_number(p, body, "the hotspot's y", 0, kMaxImageSide - 1, image.hotspot_y))
            return false;
    } else {
        return rc_unknown_in_block(p, body, kind == ArtKind::cursor ? "cursor" : "icon");
    }
    return rc_expect_end(p, body);
}

// Pixel to mask bits: '.' AND 1 XOR 0, '#' 0 0, 'o' 0 1, 'x' 1 1.
static std::vector<uint8_t> write_image(const ArtImage& image)
{
    size_t width = image.rows[0].size(), height = image.rows.size();
    size_t stride = plat::mask_stride(width);
    std::vector<uint8_t> and_mask(stride * height), xor_mask(stride * height);
    for (size_t y = 0; y < height; ++y) {
        for (size_t x = 0; x < width; ++x) {
            char c = image.rows[y][x];
            uint8_t bit = uint8_t(0x80 >> (x % 8));
            if (c == '.' || c == 'x')
                and_mask[y * stride + x / 8] |= bit;
            if (c == 'o' || c == 'x')
                xor_mask[y * stride + x / 8] |= bit;
        }
    }
    std::vector<uint8_t> bytes;
    bytes.reserve(kRcWriterReserve);
    plat::ByteWriter w(bytes);
    w.u16le(uint16_t(width));
    w.u16le(uint16_t(height));
    w.u16le(uint16_t(image.hotspot_x));
    w.u16le(uint16_t(image.hotspot_y));
    w.bytes(and_mask.data(), and_mask.size());
    w.bytes(xor_mask.data(), xor_mask.size());
    return bytes;
}

static bool check_images(Parser& p, const std::vector<ArtImage>& images, int line)
{
    for (const ArtImage& image : images) {
        if (image.rows.empty())
            return rc_fail(p, image.line ? image.line : line, "the image has no rows");
        if (image.hotspot_x >= int64_t(image.rows[0].size())
            || image.hotspot_y >= int64_t(image.rows.size()))
            return rc_fail(p, image.line ? image.line : line, "the hotspot is outside the image");
    }
    return true;
}

// art -> ('cursor' | 'icon') id { 'image' | 'row' text | 'hotspot' x y } 'end'
static bool parse_art(Parser& p, Args& a, ArtKind kind)
{
    RcId name;
    std::vector<ArtImage> images(1);
    if (!rc_take_id(p, a, "the name", name) || !rc_expect_end(p, a))
        return false;
    if (!rc_parse_block(p, a, [&](Args& body) { return parse_art_line(p, body, kind, images); }))
        return false;
    if (!check_images(p, images, a.statement->line))
        return false;
    bool cursor = kind == ArtKind::cursor;
    uint32_t& next_image = cursor ? p.module->next_cursor_image : p.module->next_icon_image;
    std::vector<uint8_t> group;
    plat::ByteWriter w(group);
    w.u16le(uint16_t(images.size()));
    for (const ArtImage& image : images) {
        if (next_image > kMaxId)
            return rc_fail(p, a.statement->line, "too many images");
        w.u16le(uint16_t(image.rows[0].size()));
        w.u16le(uint16_t(image.rows.size()));
        w.u16le(uint16_t(next_image));
        rc_add_resource(p, number_id(cursor ? plat::RT_CURSOR : plat::RT_ICON),
            number_id(next_image++), write_image(image), a.statement->line);
    }
    rc_add_resource(p, number_id(cursor ? plat::RT_GROUP_CURSOR : plat::RT_GROUP_ICON), name,
        std::move(group), a.statement->line);
    return true;
}

bool rc_parse_cursor(Parser& p, Args& a) { return parse_art(p, a, ArtKind::cursor); }
bool rc_parse_icon(Parser& p, Args& a) { return parse_art(p, a, ArtKind::icon); }
