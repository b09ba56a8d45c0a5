// Icon statistics records: reads without a record, the record limit, the pending-erase sets,
// and the module's Save and Restore with the learner's records.
#include "runtime/icons/icon_stats.h"

#include <gtest/gtest.h>

#include "runtime/base/errcode.h"
#include "runtime/base/idset.h"
#include "tests/icons/icons_fixture.h"

namespace iconstest {
namespace {

using enginetest::kWalkPiece;

IconId icon_n(uint32_t n) { return node_make_icon(1, n); }

IdSet set_of(std::initializer_list<uint16_t> values)
{
    IdSet set = idset_new();
    for (uint16_t value : values)
        EXPECT_EQ(idset_add(set, value), 1);
    return set;
}

std::vector<uint16_t> values_of(IdSet set)
{
    std::vector<uint16_t> values;
    for (int n = 1; n <= idset_count(set); n++)
        values.push_back(idset_get(set, n));
    return values;
}

class IconStatsTest : public IconsTest {};

TEST_F(IconStatsTest, ReadsWithoutARecordAnswerZeroAndWritesCreateOne)
{
    ASSERT_EQ(open_piece_file(kWalkPiece), 0);
    IconId one = piece_icon("One");
    IconId two = piece_icon("Two");
    EXPECT_EQ(icon_stat_selected_child(one), 0u);
    EXPECT_EQ(icon_stat_call_mark(one), 0);
    EXPECT_EQ(icon_stat_erase_bits(one), 0);
    EXPECT_FALSE(icon_stat_erase_set(one));
    EXPECT_EQ(icon_stats_count(), 0);

    icon_stat_set_selected_child(one, two);
    icon_stat_set_call_mark(one, 1);
    icon_stat_set_erase_bits(one, 0x85);
    icon_stat_set_erase_bits(two, 0x1FF); // only the byte is kept
    EXPECT_EQ(icon_stats_count(), 2);
    EXPECT_EQ(icon_stat_selected_child(one), two);
    EXPECT_EQ(icon_stat_call_mark(one), 1);
    EXPECT_EQ(icon_stat_erase_bits(one), 0x85);
    EXPECT_EQ(icon_stat_erase_bits(two), 0xFF);
    EXPECT_EQ(icon_stat_call_mark(two), 0);
    // The flags share one word: clearing the mark keeps the erase bits.
    icon_stat_set_call_mark(one, 0);
    EXPECT_EQ(icon_stat_erase_bits(one), 0x85);
    EXPECT_EQ(icon_stat_call_mark(one), 0);
}

TEST_F(IconStatsTest, SettingAnEraseSetFreesThePreviousOne)
{
    ASSERT_EQ(open_piece_file(kWalkPiece), 0);
    IconId one = piece_icon("One");
    EXPECT_EQ(icon_stat_set_erase_set(one, set_of({5, 9})), 1);
    EXPECT_EQ(values_of(icon_stat_erase_set(one)), (std::vector<uint16_t> {5, 9}));
    EXPECT_EQ(icon_stat_set_erase_set(one, set_of({6})), 1); // the leak checker sees the old one go
    EXPECT_EQ(values_of(icon_stat_erase_set(one)), (std::vector<uint16_t> {6}));
    EXPECT_EQ(icon_stat_set_erase_set(one, IdSet {}), 1);
    EXPECT_FALSE(icon_stat_erase_set(one));
}

// The block's end stays below 65536 bytes: 1724 records of 38 bytes, and no 1725th.
TEST_F(IconStatsTest, TheBlockHoldsAtMost1724Records)
{
    ASSERT_EQ(open_piece_file(kWalkPiece), 0);
    for (uint32_t n = 1; n <= uint32_t(kIconStatsMax); n++)
        icon_stat_set_selected_child(icon_n(n), icon_n(n + 1));
    ASSERT_EQ(icon_stats_count(), 1724);
    IconId late = icon_n(5000);
    icon_stat_set_selected_child(late, icon_n(3));
    icon_stat_set_call_mark(late, 1);
    EXPECT_EQ(icon_stats_count(), 1724);
    EXPECT_EQ(icon_stat_selected_child(late), 0u);
    EXPECT_EQ(icon_stat_call_mark(late), 0);
    // A set the full block cannot take is freed, not lost.
    EXPECT_EQ(icon_stat_set_erase_set(late, set_of({4})), 0);
    // Icons with records still change.
    icon_stat_set_selected_child(icon_n(1724), icon_n(9));
    EXPECT_EQ(icon_stat_selected_child(icon_n(1724)), icon_n(9));
    EXPECT_EQ(icon_stat_selected_child(icon_n(1)), icon_n(2));
}

// Saved with the learner's records and back after a resume, sets included; a record that had
// no set comes back without one.
TEST_F(IconStatsTest, RecordsAndSetsSurviveASaveAndAResume)
{
    ASSERT_EQ(open_piece_file(kWalkPiece), 0);
    IconId group = piece_icon("Group");
    IconId top = node_make_icon(piece_slot(), 1);
    icon_stat_set_selected_child(group, piece_icon("Two"));
    icon_stat_set_erase_bits(group, 0x06);
    ASSERT_EQ(icon_stat_set_erase_set(group, set_of({1 | 7 << 2, 2 | 9 << 2})), 1);
    icon_stat_set_call_mark(top, 1);
    close_piece();
    EXPECT_EQ(icon_stats_count(), 0); // released with the records

    ASSERT_EQ(reopen(), 0);
    EXPECT_EQ(icon_stats_count(), 2);
    EXPECT_EQ(icon_stat_selected_child(group), piece_icon("Two"));
    EXPECT_EQ(icon_stat_erase_bits(group), 0x06);
    EXPECT_EQ(values_of(icon_stat_erase_set(group)), (std::vector<uint16_t> {1 | 7 << 2, 2 | 9 << 2}));
    EXPECT_EQ(icon_stat_call_mark(top), 1);
    EXPECT_FALSE(icon_stat_erase_set(top));
}

// Restore refuses what does not fit (5001) and a missing record (8), and keeps nothing of it.
TEST_F(IconStatsTest, RestoreRefusesStatesThatDoNotFit)
{
    ASSERT_EQ(open_piece_file(kWalkPiece), 0);
    struct Row {
        const char* name;
        int16_t size;
        std::vector<uint8_t> block;
        std::vector<uint8_t> sets;
        int16_t count;
        bool missing; // no block record named
        int answer;
    };
    std::vector<uint8_t> one_record(kIconStatsSize, 0);
    one_record[0] = 7;
    one_record[1] = 0;
    one_record[2] = 1; // icon 1:7
    std::vector<uint8_t> with_set = one_record;
    with_set[kStatEraseSet] = 1;
    const std::vector<uint8_t> empty_list {0, 0};
    const Row rows[] = {
        {"one record", 48, one_record, empty_list, 1, false, 0},
        {"state of 47 bytes", 47, one_record, empty_list, 1, false, kErrStateSize},
        {"block not whole records", 48, std::vector<uint8_t>(37, 0), empty_list, 1, false, kErrStateSize},
        {"count differs", 48, one_record, empty_list, 2, false, kErrStateSize},
        {"negative count, no records", 48, {}, empty_list, -1, false, kErrStateSize},
        {"damaged set list", 48, one_record, {7, 0, 4, 0}, 1, false, kErrStateSize},
        // Tag 7, 4 bytes: a set claiming 9 values in room for 1.
        {"damaged set", 48, with_set, {7, 0, 4, 0, 9, 0, 1, 0, 0, 0}, 1, false, kErrStateSize},
        {"missing block", 48, {}, empty_list, 0, true, kErrOutOfMemory},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        uint16_t block = row.missing ? 0 : urec_new_id();
        uint16_t sets = urec_new_id();
        if (!row.missing) {
            ASSERT_EQ(urec_write(block, row.block.data(), row.block.size()), 0);
        }
        ASSERT_EQ(urec_write(sets, row.sets.data(), row.sets.size()), 0);
        std::vector<uint8_t> state(48, 0);
        plat::store_u16le(&state[4], block);
        plat::store_u16le(&state[6], sets);
        plat::store_u16le(&state[46], uint16_t(row.count));
        ModuleMessage message;
        message.message = kModRestore;
        message.size = row.size;
        message.state = state.data();
        EXPECT_EQ(icon_stats_module(&message), row.answer);
        EXPECT_EQ(icon_stats_count(), row.answer == 0 ? 1 : 0);
        icon_stats_reset();
    }
}

} // namespace
} // namespace iconstest
