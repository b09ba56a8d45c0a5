// Cursors: stored numbers, the standard and custom cursors shown, SetCursor and ShowCursor, a
// file's cursor list, and the wait cursor under the virtual clock.
#include "runtime/ui/cursor.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/kernel/byte_io.h"
#include "platform/kernel/clock.h"
#include "platform/kernel/resource.h"
#include "platform/kernel/resource_forms.h"
#include "platform/window/cursor.h"
#include "platform/window/input.h"
#include "runtime/calc/sysfn_table.h"
#include "runtime/calc/value.h"
#include "runtime/pieces/piece_current.h"

namespace {

plat::CursorHandle program_cursor(uint32_t number)
{
    return plat::load_cursor(plat::get_program_resource_module(), plat::ResourceId(number));
}

plat::CursorHandle arrow() { return plat::load_cursor({}, plat::ResourceId(plat::IDC_ARROW)); }

// A cursor list item: {hot x, hot y, width, height, reserved} and masks of width / 8 bytes a row.
std::vector<uint8_t> item(int16_t hot_x, int16_t hot_y, int16_t width, int16_t height, size_t mask_bytes, uint8_t fill)
{
    std::vector<uint8_t> out(10 + 2 * mask_bytes, fill);
    const int16_t head[5] = { hot_x, hot_y, width, height, 0 };
    for (int i = 0; i < 5; i++)
        plat::store_u16le(out.data() + 2 * i, uint16_t(head[i]));
    return out;
}

// A tag list of the items under their cursor numbers.
std::vector<uint8_t> cursor_list(const std::vector<std::pair<uint16_t, std::vector<uint8_t>>>& items)
{
    std::vector<uint8_t> list;
    for (const auto& [number, bytes] : items) {
        uint8_t head[4];
        plat::store_u16le(head, number);
        plat::store_u16le(head + 2, uint16_t(bytes.size()));
        list.insert(list.end(), head, head + 4);
        list.insert(list.end(), bytes.begin(), bytes.end());
        if (bytes.size() % 2)
            list.push_back(0);
    }
    list.push_back(0);
    list.push_back(0);
    return list;
}

class CursorTest : public testing::Test {
protected:
    void SetUp() override
    {
        plat::clock_use_virtual(1000, 0);
        ASSERT_EQ(sysfn_build_table(), 1);
        ASSERT_EQ(curs_init(), 1);
    }
    void TearDown() override
    {
        curs_term();
        sysfn_reset();
    }
    static void call(int index, int32_t argument)
    {
        ScriptValue arg, result;
        val_set_integer(argument, arg);
        sysfn_desc(kSysFnFirstId + index).handler(1, &arg, result);
        EXPECT_EQ(val_integer(result), 0);
    }
    static void set_cursor(int32_t n) { call(16, n); }
    static void show_cursor(int32_t n) { call(70, n); }
};

TEST_F(CursorTest, StoredNumbersReadBackAsSpecs)
{
    static const struct {
        int32_t number;
        CursorSpec wanted;
    } kRows[] = {
        { 0, { 0, 0 } },                // the arrow
        { 6, { 0, 6 } },                // the hand
        { 7, { 0, 0 } },                // 7 to 50: the arrow
        { 50, { 0, 0 } },
        { 51, { 1, 1 << 16 | 1 } },     // custom cursor 1 of file 1
        { 53, { 1, 1 << 16 | 3 } },
        { -1, { 0, 0 } },
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.number);
        CursorSpec wanted = curs_from_number(1, row.number);
        EXPECT_TRUE(curs_spec_equal(wanted, row.wanted)) << wanted.kind << " " << wanted.value;
        if (row.number == curs_to_number(row.wanted)) {
            EXPECT_EQ(curs_to_number(wanted), row.number);
        }
    }
}

TEST_F(CursorTest, StandardCursorsAndProgramResourcesAreShown)
{
    EXPECT_EQ(curs_set_standard(6), 0);
    EXPECT_EQ(plat::get_cursor(), program_cursor(121));
    EXPECT_EQ(curs_set_standard(4), 6);
    EXPECT_EQ(plat::get_cursor(), program_cursor(120));
    EXPECT_EQ(curs_set_standard(101), 4); // a resource of its own number
    EXPECT_EQ(plat::get_cursor(), program_cursor(101));
    EXPECT_TRUE(curs_spec_equal(curs_current(), (CursorSpec { 1, 51 }))); // custom 51 of file 0
    for (uint32_t number : { 120u, 121u, 122u, 123u, 101u, 102u, 103u, 104u })
        EXPECT_TRUE(program_cursor(number)) << number;
}

TEST_F(CursorTest, CustomCursorsComeFromTheCursorListAndFallBackToResources)
{
    const int file = piece_slot();
    // 16 x 2: rows of 2 bytes; one of 24 x 1 (rows of 3, padded to 4 for the platform); then
    // damaged items: a width of 12, masks cut short, a height of 0.
    std::vector<uint8_t> wide = item(3, 0, 24, 1, 3, 0);
    wide[10] = 0xF0, wide[11] = 0x0F, wide[12] = 0xAA; // AND row
    std::vector<uint8_t> cut = item(0, 0, 16, 16, 32, 0);
    cut.resize(40);
    std::vector<uint8_t> list = cursor_list({ { 1, item(1, 1, 16, 2, 4, 0xFF) }, { 2, wide },
        { 3, item(0, 0, 12, 2, 3, 0) }, { 4, cut }, { 5, item(0, 0, 16, 0, 0, 0) },
        { 1, item(2, 1, 16, 2, 4, 0xFF) } }); // cursor 1 again: the last item stands
    EXPECT_EQ(curs_load_cursor_list(file, list.data(), list.size()), 2);
    plat::IconImage image;
    ASSERT_TRUE(plat::cursor_get_image(curs_custom_handle(file, 1), image));
    EXPECT_EQ(image.hotspot_x, 2);
    ASSERT_TRUE(plat::cursor_get_image(curs_custom_handle(file, 2), image));
    EXPECT_EQ(image.width, 24);
    EXPECT_EQ(image.hotspot_x, 3);
    ASSERT_GE(image.and_mask.size(), plat::mask_stride(24));
    EXPECT_EQ(image.and_mask[0], 0xF0);
    EXPECT_EQ(image.and_mask[2], 0xAA);
    EXPECT_EQ(image.and_mask[3], 0x00); // the row's padding
    EXPECT_FALSE(curs_custom_handle(file, 3));

    set_cursor(51); // the default was shown: the new default shows at once
    EXPECT_TRUE(curs_spec_equal(curs_default(), curs_from_number(file, 51)));
    EXPECT_EQ(plat::get_cursor(), curs_custom_handle(file, 1));
    set_cursor(9);
    EXPECT_TRUE(curs_spec_equal(curs_default(), CursorSpec {}));
    EXPECT_EQ(plat::get_cursor(), arrow());
    // Custom cursor 51 of the file is missing: the resource of its stored number 101 shows.
    curs_set(curs_from_number(file, 101));
    EXPECT_EQ(plat::get_cursor(), program_cursor(101));
    // Closing the file of the cursor shown shows the arrow.
    curs_set(curs_from_number(file, 52));
    EXPECT_EQ(plat::get_cursor(), curs_custom_handle(file, 2));
    curs_free_file_cursors(file);
    EXPECT_FALSE(curs_custom_handle(file, 2));
    EXPECT_EQ(plat::get_cursor(), arrow());
}

TEST_F(CursorTest, ShowCursorSetsTheHideCountItDoesNotCount)
{
    curs_set_standard(6);
    curs_set_default(curs_from_number(0, 6));
    show_cursor(0);
    EXPECT_EQ(plat::get_cursor(), plat::CursorHandle {});
    show_cursor(0);
    EXPECT_EQ(curs_hide_count(), -1);
    show_cursor(1);
    EXPECT_EQ(curs_hide_count(), 0);
    EXPECT_EQ(plat::get_cursor(), program_cursor(121)); // the default again
    show_cursor(5);
    EXPECT_EQ(curs_hide_count(), 0);
}

TEST_F(CursorTest, TheWaitCursorTurnsAfterASecondAndAHalf)
{
    curs_wait_begin();
    curs_wait_begin(); // nested: one period
    std::vector<std::string> seen;
    plat::CursorHandle last = plat::get_cursor();
    uint32_t start = plat::get_tick_count();
    for (uint32_t elapsed = 0; elapsed <= 3600; elapsed++) {
        curs_wait_step();
        plat::CursorHandle now = plat::get_cursor();
        if (now != last) {
            for (uint32_t frame = 101; frame <= 104; frame++)
                if (now == program_cursor(frame))
                    seen.push_back(std::to_string(plat::get_tick_count() - start) + " " + std::to_string(frame));
            last = now;
        }
        plat::clock_advance(1);
    }
    EXPECT_EQ(seen, (std::vector<std::string> { "1500 101", "2000 102", "2500 103", "3000 104", "3500 101" }));
    curs_wait_end();
    EXPECT_EQ(plat::get_cursor(), program_cursor(101)); // the outer period goes on
    curs_wait_end();
    EXPECT_EQ(plat::get_cursor(), arrow());
    curs_wait_end(); // never below 0
    curs_wait_begin();
    plat::clock_advance(1499);
    curs_wait_step();
    EXPECT_EQ(plat::get_cursor(), arrow()); // shorter than 1.5 s: nothing shown
    curs_wait_end();
}

} // namespace
