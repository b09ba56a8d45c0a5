#include "platform/kernel/resource_forms.h"
#include "platform/window/styles.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace plat;

namespace {

// The compiled forms of fixtures/test.rsrc, checked against hand-written bytes first, then read
// back; damaged forms as hex rows.

std::string hex(const char* text)
{
    std::string out;
    for (const char* p = text; *p;) {
        if (*p == ' ') {
            ++p;
            continue;
        }
        out += char(std::stoi(std::string(p, 2), nullptr, 16));
        p += 2;
    }
    return out;
}

std::string bytes_of(ResourceBytes r)
{
    return r.data ? std::string(reinterpret_cast<const char*>(r.data), r.size) : "<not found>";
}

ResourceBytes view(const std::string& bytes)
{
    return { reinterpret_cast<const uint8_t*>(bytes.data()), uint32_t(bytes.size()) };
}

struct FormCase {
    const char* name;
    ResourceId type;
    ResourceId id;
    const char* hex;
};

const FormCase kFormCases[] = {
    { "dialog: header, font, caption, count, control", RT_DIALOG, "SMALL",
        "00000080 00000000 fbff 0600 1e00 1400 0000 00 00 0100"
        " 00000150 00000000 0100 0200 0300 0400 ffff 427574746f6e00 476f00" },
    { "menu: popups end their level with MF_END", RT_MENU, "MAIN",
        "1000 2646696c6500"
        " 0000 6500 264f70656e2e2e2e094374726c2b4f00"
        " 0008 0000 00"
        " 8100 6600 452678697400"
        " 1000 265669657700"
        " 9000 265a6f6f6d00"
        " 8800 c900 2642696700"
        " 8000 8403 2648656c7000" },
    { "accelerators: flags, key, id", RT_ACCELERATOR, "MAIN",
        "0000 0f00 6500 1000 6f00 6600 0100 7000 6700 0d00 5300 6800 0300 6700 6900 0100 2e00 "
        "6a00" },
    { "cursor group", RT_GROUP_CURSOR, "HAND", "0100 0300 0200 0100" },
    { "cursor image: size, hotspot, AND rows, XOR rows", RT_CURSOR, 1,
        "0300 0200 0100 0000 8000 e000 2000 8000" },
    { "icon group of two images", RT_GROUP_ICON, "APP", "0200 1100 0100 0100 0100 0100 0200" },
    { "17 pixels take a 4-byte row", RT_ICON, 1, "1100 0100 0000 0000 ffff0000 00000000" },
    { "white pixel", RT_ICON, 2, "0100 0100 0000 0000 0000 8000" },
};

TEST(PlatResourceForms, CompiledFormsAreExact)
{
    for (const FormCase& c : kFormCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(bytes_of(find_resource(ModuleHandle {}, c.type, c.id)), hex(c.hex));
    }
}

TEST(PlatResourceForms, DialogReadsBackFieldByField)
{
    DialogTemplate d;
    ASSERT_TRUE(read_dialog_template(find_resource(ModuleHandle {}, RT_DIALOG, 229), d));
    EXPECT_EQ(d.style, DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU);
    EXPECT_EQ(d.ex_style, WS_EX_TOPMOST);
    EXPECT_EQ(d.x, 0);
    EXPECT_EQ(d.y, 0);
    EXPECT_EQ(d.cx, 220);
    EXPECT_EQ(d.cy, 70);
    EXPECT_EQ(d.font_size, 8);
    EXPECT_EQ(d.font_face, "MS Sans Serif");
    EXPECT_EQ(d.caption, "Storvel");
    ASSERT_EQ(d.controls.size(), 3u);

    const DialogControl& text = d.controls[0];
    EXPECT_EQ(text.class_name, "STATIC");
    EXPECT_EQ(text.text, "");
    EXPECT_EQ(text.id, 100);
    EXPECT_EQ(text.style, SS_LEFT | WS_CHILD | WS_VISIBLE);
    EXPECT_EQ(text.ex_style, 0u);
    EXPECT_EQ(std::vector<int>({ text.x, text.y, text.cx, text.cy }),
        std::vector<int>({ 40, 8, 172, 36 }));

    const DialogControl& icon = d.controls[1];
    EXPECT_EQ(icon.text, "#1");
    EXPECT_EQ(icon.style, SS_ICON | WS_CHILD | WS_VISIBLE);

    const DialogControl& ok = d.controls[2];
    EXPECT_EQ(ok.class_name, "BUTTON");
    EXPECT_EQ(ok.text, "OK");
    EXPECT_EQ(ok.id, 1);
    EXPECT_EQ(ok.style, BS_DEFPUSHBUTTON | WS_CHILD | WS_VISIBLE | WS_TABSTOP);
    EXPECT_EQ(ok.ex_style, WS_EX_CLIENTEDGE);
    EXPECT_EQ(std::vector<int>({ ok.x, ok.y, ok.cx, ok.cy }), std::vector<int>({ 8, 50, 50, 14 }));
}

TEST(PlatResourceForms, MenuReadsBackAsATree)
{
    std::vector<MenuItemTemplate> bar;
    ASSERT_TRUE(read_menu_template(find_resource(ModuleHandle {}, RT_MENU, "MAIN"), bar));
    ASSERT_EQ(bar.size(), 3u);
    EXPECT_EQ(bar[0].text, "&File");
    EXPECT_EQ(bar[0].flags, MF_POPUP);
    ASSERT_EQ(bar[0].items.size(), 3u);
    EXPECT_EQ(bar[0].items[0].text, "&Open...\tCtrl+O");
    EXPECT_EQ(bar[0].items[0].id, 101);
    EXPECT_EQ(bar[0].items[1].flags, MF_SEPARATOR);
    EXPECT_EQ(bar[0].items[2].flags, MF_GRAYED);
    ASSERT_EQ(bar[1].items.size(), 1u);
    ASSERT_EQ(bar[1].items[0].items.size(), 1u);
    EXPECT_EQ(bar[1].items[0].items[0].flags, MF_CHECKED);
    EXPECT_EQ(bar[1].items[0].items[0].id, 201);
    EXPECT_EQ(bar[2].text, "&Help");
    EXPECT_EQ(bar[2].id, 900);
    EXPECT_TRUE(bar[2].items.empty());
}

TEST(PlatResourceForms, AcceleratorsAndCursorReadBack)
{
    std::vector<AcceleratorEntry> keys;
    ASSERT_TRUE(
        read_accelerator_table(find_resource(ModuleHandle {}, RT_ACCELERATOR, "MAIN"), keys));
    ASSERT_EQ(keys.size(), 6u);
    EXPECT_EQ(keys[3].flags, FVIRTKEY | FCONTROL | FSHIFT);
    EXPECT_EQ(keys[3].key, 'S');
    EXPECT_EQ(keys[3].id, 104);

    std::vector<IconGroupEntry> group;
    ASSERT_TRUE(read_icon_group(find_resource(ModuleHandle {}, RT_GROUP_CURSOR, "HAND"), group));
    ASSERT_EQ(group.size(), 1u);
    IconImage image;
    ASSERT_TRUE(
        read_icon_image(find_resource(ModuleHandle {}, RT_CURSOR, group[0].image_id), image));
    EXPECT_EQ(image.width, 3);
    EXPECT_EQ(image.height, 2);
    EXPECT_EQ(image.hotspot_x, 1);
    EXPECT_EQ(image.hotspot_y, 0);
    EXPECT_EQ(image.and_mask, std::vector<uint8_t>({ 0x80, 0x00, 0xE0, 0x00 }));
    EXPECT_EQ(image.xor_mask, std::vector<uint8_t>({ 0x20, 0x00, 0x80, 0x00 }));
}

enum class Form { dialog, menu, accelerators, image, group };

bool read_as(Form form, ResourceBytes bytes)
{
    DialogTemplate dialog;
    std::vector<MenuItemTemplate> menu;
    std::vector<AcceleratorEntry> keys;
    IconImage image;
    std::vector<IconGroupEntry> group;
    switch (form) {
    case Form::dialog: return read_dialog_template(bytes, dialog);
    case Form::menu: return read_menu_template(bytes, menu);
    case Form::accelerators: return read_accelerator_table(bytes, keys);
    case Form::image: return read_icon_image(bytes, image);
    case Form::group: return read_icon_group(bytes, group);
    }
    return false;
}

std::string nested_popups(int depth)
{
    std::string bytes;
    for (int i = 0; i < depth; ++i)
        bytes += hex("9000 00"); // popup, last of its level, empty text
    return bytes + hex("8000 0100 00");
}

struct DamageCase {
    const char* name;
    Form form;
    std::string bytes;
    bool accepted;
};

const std::string kSmallDialog
    = hex("00000080 00000000 fbff 0600 1e00 1400 0000 00 00 0100"
          " 00000150 00000000 0100 0200 0300 0400 ffff 427574746f6e00 476f00");

const DamageCase kDamageCases[] = {
    { "dialog as compiled", Form::dialog, kSmallDialog, true },
    { "dialog cut in its header", Form::dialog, hex("00000080 0000"), false },
    { "dialog cut in a control", Form::dialog, kSmallDialog.substr(0, kSmallDialog.size() - 1),
        false },
    { "dialog with trailing bytes", Form::dialog, kSmallDialog + '\0', false },
    { "dialog claiming 65535 controls", Form::dialog,
        hex("00000080 00000000 0000 0000 0000 0000 0000 00 00 ffff 00"), false },
    { "dialog caption without its NUL", Form::dialog,
        hex("00000080 00000000 0000 0000 0000 0000 0000 00 41"), false },
    { "empty dialog", Form::dialog, "", false },
    { "menu item without MF_END", Form::menu, hex("0000 0100 4100"), false },
    { "popup without items", Form::menu, hex("9000 4100"), false },
    { "menu with trailing bytes", Form::menu, hex("8000 0100 4100 00"), false },
    { "popups nested to the limit", Form::menu, nested_popups(8), true },
    { "popups nested past the limit", Form::menu, nested_popups(9), false },
    { "accelerators cut in an entry", Form::accelerators, hex("0100 4100 0100 00"), false },
    { "empty accelerator table", Form::accelerators, "", false },
    { "image of width 0", Form::image, hex("0000 0100 0000 0000"), false },
    { "image wider than 256", Form::image, hex("0101 0100 0000 0000") + std::string(2 * 34, '\0'),
        false },
    { "hotspot outside the image", Form::image, hex("0100 0100 0100 0000 0000 0000"), false },
    { "masks cut short", Form::image, hex("0300 0200 0100 0000 8000 e000 2000"), false },
    { "group of no images", Form::group, hex("0000"), false },
    { "group shorter than its count", Form::group, hex("0200 0100 0100 0100"), false },
};

TEST(PlatResourceForms, DamagedFormsAreRefused)
{
    for (const DamageCase& c : kDamageCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(read_as(c.form, view(c.bytes)), c.accepted);
    }
    for (Form form : { Form::dialog, Form::menu, Form::accelerators, Form::image, Form::group })
        EXPECT_FALSE(read_as(form, ResourceBytes {})) << "a failed lookup's bytes";
}

} // namespace
