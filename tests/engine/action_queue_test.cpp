// The kernel action queue: entry bytes, push order around the cursor, growth, and slot 20's
// stored state with the checks a restore makes.
#include "engine_fixture.h"

#include "platform/kernel/byte_io.h"
#include "runtime/engine/action_queue.h"

namespace enginetest {
namespace {

KernelAction act(uint32_t op, uint32_t icon = 0)
{
    KernelAction action;
    action.op = op;
    action.icon = icon;
    return action;
}

std::vector<uint32_t> drain()
{
    std::vector<uint32_t> out;
    KernelAction action;
    while (exec_queue_take(&action))
        out.push_back(action.icon);
    return out;
}

class QueueTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        exec_queue_reset_all();
    }
    void TearDown() override
    {
        exec_queue_set_limit(0);
        EngineTest::TearDown();
    }
};

TEST(KernelActionBytes, EncodesEighteenBytesLittleEndian)
{
    KernelAction action { 11, 0x00010203, 4, 0x00010009, 0x0302 };
    uint8_t bytes[kKernelActionSize];
    kaction_encode(action, bytes);
    const uint8_t expected[kKernelActionSize] = { 11, 0, 0, 0, 3, 2, 1, 0, 4, 0, 0, 0, 9, 0, 1, 0, 2, 3 };
    EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + 18), std::vector<uint8_t>(expected, expected + 18));
    KernelAction back = kaction_decode(bytes);
    EXPECT_EQ(back.op, 11u);
    EXPECT_EQ(back.icon, 0x00010203u);
    EXPECT_EQ(back.state, 4u);
    EXPECT_EQ(back.second, 0x00010009u);
    EXPECT_EQ(back.flags, 0x0302);
}

TEST_F(QueueTest, PushedEntriesRunInPushOrderAndKeepPutsNewOnesFirst)
{
    exec_queue_reset(18, 0);
    for (uint32_t i = 1; i <= 3; i++)
        ASSERT_EQ(exec_queue_push(act(kActGoTo, i)), 1);
    KernelAction first;
    ASSERT_EQ(exec_queue_take(&first), 1);
    EXPECT_EQ(first.icon, 1u);
    // A pane paused the run: the new plan runs before the two entries that wait.
    exec_queue_reset(18, 1);
    exec_queue_push(act(kActGoTo, 10));
    exec_queue_push(act(kActGoTo, 11));
    EXPECT_EQ(drain(), (std::vector<uint32_t> { 10, 11, 2, 3 }));
    // Without keep the queue starts empty.
    exec_queue_push(act(kActGoTo, 5));
    exec_queue_reset(18, 0);
    EXPECT_EQ(exec_queue_count(), 0);
}

TEST_F(QueueTest, CursorFollowsTheCountWhenEntriesWereTaken)
{
    exec_queue_reset(18, 0);
    exec_queue_push(act(kActGoTo, 1));
    exec_queue_push(act(kActGoTo, 2));
    exec_queue_reset(18, 1); // cursor 2
    KernelAction taken;
    exec_queue_take(&taken);
    exec_queue_take(&taken);
    exec_queue_push(act(kActGoTo, 7)); // cursor was past the count
    EXPECT_EQ(exec_queue_cursor(), 0);
    EXPECT_EQ(drain(), (std::vector<uint32_t> { 7 }));
}

TEST_F(QueueTest, GrowsFiftyEntriesAtATimeAndKeepsOrder)
{
    exec_queue_reset(18, 0);
    std::vector<uint32_t> expected;
    for (uint32_t i = 1; i <= 120; i++) {
        ASSERT_EQ(exec_queue_push(act(kActGoTo, i)), 1);
        expected.push_back(i);
    }
    EXPECT_EQ(exec_queue_capacity(), 150u * 18u);
    EXPECT_EQ(drain(), expected);
}

TEST_F(QueueTest, PlanThatDoesNotFitQueuesNothing)
{
    exec_queue_set_limit(3);
    exec_queue_reset(18, 0);
    exec_queue_push(act(kActGoTo, 1));
    std::vector<KernelAction> plan { act(kActExitIcon, 2), act(kActExitIcon, 3), act(kActGoTo, 4) };
    EXPECT_EQ(exec_queue_push_plan(plan), 0);
    EXPECT_EQ(exec_queue_count(), 1);
    plan.pop_back();
    EXPECT_EQ(exec_queue_push_plan(plan), 1);
    EXPECT_EQ(drain(), (std::vector<uint32_t> { 1, 2, 3 }));
}

TEST_F(QueueTest, SlotStateSavesAndRestoresTheWaitingEntries)
{
    ASSERT_EQ(open_piece_file(kWalkPiece), 0);
    const IconId one = piece_icon("One"), two = piece_icon("Two"), three = piece_icon("Three");
    exec_queue_reset(18, 0);
    exec_queue_push(act(kActExitIcon, one));
    exec_queue_push(act(kActGoTo, two));
    exec_queue_push(act(kActContinueAfter, three));
    exec_queue_reset(18, 1);
    uint8_t state[kQueueSavedSize] = {};
    ModuleMessage save;
    save.message = kModSave;
    save.size = int16_t(kQueueSavedSize);
    save.state = state;
    ASSERT_EQ(action_queue_module(&save), 0);
    EXPECT_EQ(plat::load_u32le(state), 0u);
    EXPECT_EQ(plat::load_u32le(state + 4), 50u * 18u);
    EXPECT_EQ(plat::load_u32le(state + 8), 3u);
    EXPECT_EQ(plat::load_u32le(state + 12), 3u);
    EXPECT_NE(plat::load_u16le(state + 16), 0);
    EXPECT_EQ(plat::load_u32le(state + 18), 18u);

    exec_queue_reset(18, 0);
    ModuleMessage restore = save;
    restore.message = kModRestore;
    ASSERT_EQ(action_queue_module(&restore), 0);
    EXPECT_EQ(exec_queue_capacity(), 3u * 18u); // taken from the block
    EXPECT_EQ(exec_queue_cursor(), 3);
    EXPECT_EQ(drain(), (std::vector<uint32_t> { one, two, three }));
}

TEST_F(QueueTest, RestoreRefusesStatesThatDoNotFitTheBlock)
{
    ASSERT_EQ(open_piece_file(kWalkPiece), 0);
    exec_queue_reset(18, 0);
    exec_queue_push(act(kActExitIcon, piece_icon("One")));
    exec_queue_push(act(kActGoTo, piece_icon("Two")));
    uint8_t good[kQueueSavedSize] = {};
    ModuleMessage save;
    save.message = kModSave;
    save.size = int16_t(kQueueSavedSize);
    save.state = good;
    ASSERT_EQ(action_queue_module(&save), 0);
    struct Row {
        const char* name;
        size_t offset;
        uint32_t value;
        int16_t size;
    };
    static const Row rows[] = {
        { "short state", 0, 0, 21 },
        { "entry size 16", 18, 16, 22 },
        { "count beyond the block", 8, 3, 22 },
        { "count short of the block", 8, 1, 22 },
        { "cursor past the count", 12, 3, 22 },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        uint8_t state[kQueueSavedSize];
        std::copy(good, good + kQueueSavedSize, state);
        if (row.offset || row.value)
            plat::store_u32le(state + row.offset, row.value);
        ModuleMessage restore;
        restore.message = kModRestore;
        restore.size = row.size;
        restore.state = state;
        EXPECT_EQ(action_queue_module(&restore), kErrStateSize);
    }
    // Entries that a damaged file could hand over: each would send the kernel astray.
    struct Entry {
        const char* name;
        KernelAction action;
    };
    const Entry entries[] = {
        { "unknown op", { 14, piece_icon("One"), 0, 0, 0 } },
        { "icon outside the piece", { kActExitIcon, 0x7FFF0001, 0, 0, 0 } },
        { "second icon not a node", { kActTransferFrame, piece_icon("One"), 0, node_make_icon(uint32_t(piece_slot()), 999), 0 } },
        { "common ancestor outside the piece", { kActEnterContainer, piece_icon("Group"), 0x7FFF0001, piece_icon("Two"), 0 } },
        { "state no kernel state", { kActGoTo, piece_icon("One"), 11, 0, 0 } },
    };
    for (const Entry& entry : entries) {
        SCOPED_TRACE(entry.name);
        uint8_t bytes[2 * kKernelActionSize];
        kaction_encode(act(kActGoTo, piece_icon("One")), bytes);
        kaction_encode(entry.action, bytes + kKernelActionSize);
        ASSERT_EQ(urec_write(plat::load_u16le(good + 16), bytes, sizeof bytes), 0);
        uint8_t state[kQueueSavedSize];
        std::copy(good, good + kQueueSavedSize, state);
        ModuleMessage restore;
        restore.message = kModRestore;
        restore.size = int16_t(kQueueSavedSize);
        restore.state = state;
        EXPECT_EQ(action_queue_module(&restore), kErrStateSize);
    }
    // A missing block record.
    uint8_t state[kQueueSavedSize];
    std::copy(good, good + kQueueSavedSize, state);
    plat::store_u16le(state + 16, 999);
    ModuleMessage restore;
    restore.message = kModRestore;
    restore.size = int16_t(kQueueSavedSize);
    restore.state = state;
    EXPECT_EQ(action_queue_module(&restore), kErrOutOfMemory);
}

} // namespace
} // namespace enginetest
