// Display sequence numbers, icon state words and executor tasks.
#include "engine_fixture.h"

#include "platform/kernel/byte_io.h"
#include "tests/runtime/hex_fixture.h"

namespace enginetest {
namespace {

constexpr const char* kThreeIcons = R"(kind PCRS
icon map "Top" {
    attr 0x2000308 1
    icon calc "Before"
    icon interaction "Ask" {
        icon calc "Reply" class 1
    }
    icon calc "After"
}
)";

TEST_F(EngineTest, ErasedRangesMergeWhenTheyOverlap)
{
    ASSERT_EQ(open_piece_file(kThreeIcons), 0);
    icon_seq_mark_erased(15, 30);
    icon_seq_mark_erased(10, 20);
    icon_seq_mark_erased(40, 35); // below low: nothing
    ASSERT_EQ(icon_seq_range_count(), 1);
    int low = 0, high = 0;
    icon_seq_range(0, &low, &high);
    EXPECT_EQ(low, 10);
    EXPECT_EQ(high, 30);
    IconId before = piece_icon("Before");
    icon_state_set_seq(before, 12);
    EXPECT_EQ(icon_seq_live(before), 0);
    icon_state_set_seq(before, 31);
    EXPECT_EQ(icon_seq_live(before), 31);
}

// Live numbers 100, 200 (a container) and 300 become 1, 2 and 4: the container's own displays
// and those made after it started are kept apart.
TEST_F(EngineTest, RenumberingCompactsLiveNumbers)
{
    ASSERT_EQ(open_piece_file(kThreeIcons), 0);
    icon_state_set_seq(piece_icon("Before"), 100);
    icon_state_set_seq(piece_icon("Ask"), 200);
    icon_state_set_seq(piece_icon("After"), 300);
    icon_state_set_seq(piece_icon("Reply"), 50);
    icon_seq_set_counter(kSeqCounterMax);
    icon_seq_mark_erased(40, 60);
    EXPECT_EQ(icon_seq_next(), 5); // renumbered first, then stamped
    EXPECT_EQ(icon_state_seq(piece_icon("Before")), 1);
    EXPECT_EQ(icon_state_seq(piece_icon("Ask")), 2);
    EXPECT_EQ(icon_state_seq(piece_icon("After")), 4);
    EXPECT_EQ(icon_state_seq(piece_icon("Reply")), 0); // it was erased
    EXPECT_EQ(icon_seq_range_count(), 0);
    EXPECT_EQ(icon_seq_counter(), 6);
}

// The kernel stamps a container with a fresh number and other icons with the counter as it is.
TEST_F(EngineTest, KernelStampsContainersFreshAndOtherIconsWithTheCounter)
{
    exec_set_kind_handler(kKindInteraction, [](KernelMessage*) -> int { return kChildDoneStop; });
    ASSERT_EQ(open_piece_file(kThreeIcons), 0);
    walk();
    EXPECT_EQ(icon_state_seq(piece_icon("Before")), 1);
    EXPECT_EQ(icon_state_seq(piece_icon("Ask")), 1);
    EXPECT_EQ(icon_seq_counter(), 2);
    exec_set_kind_handler(kKindInteraction, nullptr);
}

// The initial words: bits 11 and 12 for every icon, the branch kind of a response.
TEST_F(EngineTest, IconStateBlockHasAnEntryPerNode)
{
    ASSERT_EQ(open_piece_file("kind PCRS\nicon map \"Top\" {\n icon interaction \"Ask\" {\n"
                              "  icon calc \"Reply\" class 1 {\n   attr 0x1000430 2\n  }\n }\n}\n"),
        0);
    EXPECT_EQ(icon_state_block_size(), 4 + 4 * node_file_node_count(piece_slot()));
    EXPECT_EQ(icon_state_word(piece_icon("Ask")), 0x1800);
    EXPECT_EQ(icon_state_word(piece_icon("Reply")), 0x1800 | 2 << 13);
    EXPECT_EQ(icon_state_word(node_make_icon(1, 0xFFFF)), 0); // outside the block: nothing
}

TEST_F(EngineTest, ExecutorTasksAreUniqueAndComeBackFromTheRecords)
{
    ASSERT_EQ(open_piece_file(kThreeIcons), 0);
    EXPECT_EQ(task_add(kTaskMotion, 7, 9, 100), 1);
    EXPECT_EQ(task_add(kTaskMotion, 7, 9, 500), 1);
    EXPECT_EQ(task_interval(kTaskMotion, 7, 9), 100u);
    task_schedule_saves(5);
    EXPECT_EQ(task_interval(kTaskSaveRecords, 1, 0), 300000u);
    task_schedule_saves(1000000); // clamped: minutes x 60000 stays below 2^31
    EXPECT_EQ(task_interval(kTaskSaveRecords, 1, 0), 35791u * 60000u);
    task_remove(kTaskSaveRecords, 1, 0);
    ASSERT_EQ(urec_save_all(1), 0);

    // Field 3 names the task list; its one record holds the scheduler's head and the triple.
    std::vector<uint8_t> list;
    ASSERT_EQ(urec_read(1, list), 0);
    std::vector<uint8_t> field(2);
    ASSERT_EQ(taglist_get(list.data(), list.size(), kSlotTasks, field.data(), 2), 2);
    std::vector<uint8_t> tasks;
    ASSERT_EQ(urec_read(plat::load_u16le(field.data()), tasks), 0);
    ASSERT_EQ(tasks.size(), 4u + kTaskStoredSize + 2u);
    std::string hex = to_hex(tasks);
    EXPECT_EQ(hex.substr(0, 8), "01002800"); // tag 1, 40 bytes
    EXPECT_EQ(hex.substr(8, 4), "2800"); // the record's size
    EXPECT_EQ(hex.substr(20, 8), "00000000"); // no callback address is stored
    EXPECT_EQ(hex.substr(28, 8), "64000000"); // interval 100
    EXPECT_EQ(hex.substr(44, 4), "0400"); // event mask 4
    EXPECT_EQ(hex.substr(64, 24), "020000000700000009000000"); // index, a, b

    close_piece();
    EXPECT_FALSE(task_exists(kTaskMotion, 7, 9));
    ASSERT_EQ(reopen(), 0);
    EXPECT_EQ(task_interval(kTaskMotion, 7, 9), 100u);
}

// A stored task whose index names no function makes the resume start fresh.
TEST_F(EngineTest, TaskRestoreRefusesUnknownFunctions)
{
    ASSERT_EQ(open_piece_file(kThreeIcons), 0);
    uint16_t record = urec_new_id();
    uint8_t task[kTaskStoredSize] = {};
    plat::store_u32le(task + 28, kTaskIndexCount);
    std::vector<uint8_t> list = {1, 0, uint8_t(kTaskStoredSize), 0};
    list.insert(list.end(), task, task + sizeof task);
    list.insert(list.end(), {0, 0});
    ASSERT_EQ(urec_write(record, list.data(), list.size()), 0);
    uint8_t state[2];
    plat::store_u16le(state, record);
    ModuleMessage message;
    message.message = kModRestore;
    message.size = 2;
    message.state = state;
    EXPECT_EQ(exec_tasks_module(&message), kErrStateSize);
    message.size = 3;
    EXPECT_EQ(exec_tasks_module(&message), kErrStateSize);
}

} // namespace
} // namespace enginetest
