// Display lists: the block byte for byte, walking, ids, inserting, moving with its damage,
// purging, the walks that carry rectangle lists, and growth past 64 KB.
#include <gtest/gtest.h>

#include <utility>

#include "runtime/display/refresh_paint.h"
#include "tests/display/display_fixture.h"

namespace {

using namespace disptest;

class DlistTest : public DisplayTest {
protected:
    DisplayList list;
    void TearDown() override
    {
        dlist_free(list);
        DisplayTest::TearDown();
    }
};

TEST_F(DlistTest, BlockLayoutOfOneRecordAndOfAnEmptiedList)
{
    EXPECT_EQ(ids_of(list), std::vector<uint32_t>{}); // never used: no block at all
    uint32_t id = append(list, kDobjKindBase, kDobjVisible, Rect{1, 2, 3, 4}, 60);
    ASSERT_EQ(id, 1u);
    ASSERT_EQ(list.used, 4u + 60 + 2);
    std::vector<uint8_t> bytes = block_bytes(list);
    EXPECT_EQ(bytes[0], 0);
    EXPECT_EQ(bytes[1], 0);
    EXPECT_EQ(plat::load_u16le(&bytes[2]), 60);            // the record starts at offset 2
    EXPECT_EQ(plat::load_u32le(&bytes[2 + kDobjId]), id);  // stamped
    EXPECT_EQ(plat::load_u16le(&bytes[62]), 60);           // its trailer
    EXPECT_EQ(plat::load_u16le(&bytes[64]), 0);            // the terminator

    dlist_lock(list);
    uint8_t* first = dlist_first(list);
    EXPECT_EQ(first, dlist_last(list));
    EXPECT_EQ(dlist_prev(first), nullptr);
    EXPECT_EQ(dlist_next(first), nullptr);
    dobj_set_flags(first, kDobjDeleted);
    dlist_unlock(list);
    EXPECT_TRUE(dlist_purge_deleted(list, DlistWalk::forward));
    EXPECT_EQ(list.used, 4u);
    EXPECT_EQ(block_bytes(list), (std::vector<uint8_t>{0, 0, 0, 0}));
}

TEST_F(DlistTest, OddLengthIsEvenedInTheCallersRecordAndThePadIsZero)
{
    std::vector<uint8_t> record = make_record(51, kDobjKindBase, 0, Rect{});
    record.push_back(0xEE); // the byte past the caller's length must not be copied
    record[50] = 0x77;
    ASSERT_NE(dlist_append(list, record.data()), 0u);
    EXPECT_EQ(plat::load_u16le(record.data()), 52);
    std::vector<uint8_t> bytes = block_bytes(list);
    EXPECT_EQ(list.used, 4u + 52 + 2);
    EXPECT_EQ(plat::load_u16le(&bytes[2]), 52);
    EXPECT_EQ(bytes[2 + 50], 0x77);
    EXPECT_EQ(bytes[2 + 51], 0);
    EXPECT_EQ(plat::load_u16le(&bytes[2 + 52]), 52);
}

TEST_F(DlistTest, RecordsNoListCanHoldAreRefused)
{
    static const struct {
        const char* name;
        uint16_t length;
    } kCases[] = {
        {"shorter than the header", 10},
        {"odd 65535 would need 65536", 65535},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> record = make_record(c.length, kDobjKindBase, 0, Rect{});
        record.resize(65536);
        EXPECT_EQ(dlist_append(list, record.data()), 0u);
        EXPECT_EQ(list.used, 0u);
        EXPECT_FALSE(list.block);
    }
}

TEST_F(DlistTest, WalkingNeedsALockAndUnlockingTwiceIsHarmless)
{
    append(list, kDobjKindBase, 0, Rect{});
    append(list, kDobjKindBase, 0, Rect{});
    EXPECT_EQ(dlist_first(list), nullptr); // records exist, but the list is not locked
    EXPECT_EQ(dlist_last(list), nullptr);
    ASSERT_NE(dlist_lock(list), nullptr);
    EXPECT_EQ(dlist_lock(list), list.base);
    EXPECT_EQ(dlist_unlock(list), 1);
    uint8_t* first = dlist_first(list);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(dlist_next(first), dlist_last(list));
    EXPECT_EQ(dlist_prev(dlist_last(list)), first);
    EXPECT_EQ(dlist_unlock(list), 0);
    EXPECT_EQ(list.base, nullptr);
    EXPECT_EQ(dlist_unlock(list), 0);
    EXPECT_EQ(list.lock_count, 0);
}

TEST_F(DlistTest, OneCounterServesEveryList)
{
    DisplayList other;
    uint32_t a = append(list, kDobjKindBase, 0, Rect{});
    uint32_t b = append(other, kDobjKindBase, 0, Rect{});
    uint32_t c = append(list, kDobjKindBase, 0, Rect{});
    EXPECT_LT(a, b);
    EXPECT_LT(b, c);
    dlist_set_next_id(500);
    EXPECT_EQ(append(other, kDobjKindBase, 0, Rect{}), 500u);
    EXPECT_EQ(dlist_next_id(), 501u);
    dlist_free(other);
}

TEST_F(DlistTest, AppendWhileLockedRefreshesTheAddress)
{
    append(list, kDobjKindBase, 0, Rect{});
    plat::memory_set_move_on_lock(true);
    dlist_lock(list);
    uint32_t id = append(list, kDobjKindBase, 0, Rect{5, 5, 6, 6});
    EXPECT_EQ(list.base, mem_address(list.block));
    uint8_t* found = dlist_find_top(list, id);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(dobj_rect(found, kDobjBounds), (Rect{5, 5, 6, 6}));
    dlist_unlock(list);
    plat::memory_set_move_on_lock(false);
}

TEST_F(DlistTest, GrowsPastSixtyFourKilobytes)
{
    constexpr int kCount = 2000;
    uint32_t last = 0;
    for (int i = 0; i < kCount; i++)
        last = append(list, kDobjKindBase, 0, Rect{i, 0, i + 1, 1}, 100);
    ASSERT_NE(last, 0u);
    EXPECT_EQ(list.used, 4u + kCount * 102u);
    dlist_lock(list);
    uint8_t* found = dlist_find_top(list, last);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(dobj_rect(found, kDobjBounds).left, kCount - 1);
    dlist_unlock(list);
}

// A group record: the header, then its member list's 16-byte header.
static std::vector<uint8_t> make_group(DisplayList& members)
{
    std::vector<uint8_t> group = make_record(kDobjHeaderSize + kDlistHeaderSize, kDobjKindGroup, 0, Rect{});
    dlist_store(members, group.data() + kDobjHeaderSize);
    return group;
}

TEST_F(DlistTest, FindSearchesGroupMembersButInsertOnlyTheTopLevel)
{
    DisplayList members;
    uint32_t member = append(members, kDobjKindBase, 0, Rect{7, 7, 8, 8});
    std::vector<uint8_t> group = make_group(members);
    uint32_t group_id = dlist_append(list, group.data());
    uint32_t top = append(list, kDobjKindBase, 0, Rect{});

    dlist_lock(list);
    EXPECT_EQ(dlist_find_top(list, member), nullptr);
    uint8_t* found = dlist_find(list, member);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(dobj_rect(found, kDobjBounds), (Rect{7, 7, 8, 8}));
    EXPECT_EQ(members.lock_count, 0);
    dlist_unlock(list);

    uint32_t appended = append(list, kDobjKindBase, 0, Rect{}); // target a member: appended
    std::vector<uint8_t> record = make_record(60, kDobjKindBase, 0, Rect{});
    uint32_t before_member = dlist_insert_before(list, member, record.data());
    uint32_t before_top = dlist_insert_before(list, top, record.data());
    EXPECT_EQ(ids_of(list), (std::vector<uint32_t>{group_id, before_top, top, appended, before_member}));
    dlist_free(members);
}

TEST_F(DlistTest, MoveWithNothingBetweenOverlappingSendsNoDamage)
{
    uint32_t a = append(list, kRecordingKind, kDobjVisible | kDobjPlaneBottom, Rect{0, 0, 10, 10});
    uint32_t b = append(list, kRecordingKind, kDobjVisible | kDobjPlaneBottom, Rect{100, 100, 110, 110});
    uint32_t c = append(list, kRecordingKind, kDobjVisible | kDobjPlaneBottom, Rect{200, 0, 210, 10});
    screen.sent.clear();
    EXPECT_EQ(dlist_move_before(list, a, 0), a);

    for (const Sent& s : screen.sent)
        EXPECT_TRUE(s.message == kMsgGetBounds) << s.message;
    EXPECT_EQ(screen.refresh_flags, 0);
    std::vector<uint32_t> ids = ids_of(list);
    ASSERT_EQ(ids.size(), 4u);
    EXPECT_EQ(ids[1], b);
    EXPECT_EQ(ids[2], c);
    EXPECT_EQ(ids[3], a); // moved to the front, keeping its id
    uint32_t placeholder = ids[0];
    EXPECT_GT(placeholder, c);
    dlist_lock(list);
    uint8_t* left = dlist_first(list);
    EXPECT_EQ(dobj_kind(left), kDobjKindBase);
    EXPECT_EQ(dobj_flags(left) & (kDobjDeleted | kDobjVisible), kDobjDeleted);
    EXPECT_EQ(dobj_kind(dlist_last(list)), kRecordingKind);
    dlist_unlock(list);
    EXPECT_TRUE(dlist_purge_deleted(list, DlistWalk::forward));
    EXPECT_EQ(ids_of(list), (std::vector<uint32_t>{b, c, a}));
}

TEST_F(DlistTest, MovePastAnOverlappingObjectUpdatesTheCopyAndDamagesTheOldPlace)
{
    static const struct {
        const char* name;
        int32_t answer_32;
        int old_message;
    } kCases[] = {
        {"old place damaged", 0, kMsgDamage},
        {"object asks for an update", 1, -1},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        dlist_free(list);
        screen.answer_32 = c.answer_32;
        uint32_t a = append(list, kRecordingKind, kDobjVisible | kDobjPlaneBottom, Rect{0, 0, 50, 50});
        append(list, kRecordingKind, kDobjVisible | kDobjPlaneBottom, Rect{40, 40, 60, 60});
        screen.sent.clear();
        ASSERT_EQ(dlist_move_before(list, a, 0), a);
        std::vector<int> to_copy, to_old;
        std::vector<uint32_t> ids = ids_of(list);
        for (const Sent& s : screen.sent) {
            if (s.message == kMsgGetBounds)
                continue;
            // During the move the copy still carries the new id, the old record the moved one.
            (s.id == a ? to_old : to_copy).push_back(s.message);
        }
        EXPECT_EQ(to_copy, std::vector<int>{kMsgUpdate});
        std::vector<int> expected_old{kMsgWantsUpdate};
        if (c.old_message >= 0)
            expected_old.push_back(c.old_message);
        EXPECT_EQ(to_old, expected_old);
        dlist_lock(list);
        uint8_t* placeholder = dlist_first(list);
        EXPECT_EQ(dobj_list_word(placeholder, kDobjUpdate), 0);
        EXPECT_EQ(dobj_list_word(placeholder, kDobjDamage), 0);
        EXPECT_EQ(screen.rects(dobj_list_word(dlist_last(list), kDobjUpdate)), (std::vector<Rect>{{0, 0, 50, 50}}));
        dlist_unlock(list);
        EXPECT_EQ(ids.back(), a);
    }
}

TEST_F(DlistTest, PurgeIsRefusedWhileLockedAndAsksEachRecordOnce)
{
    uint32_t a = append(list, kRecordingKind, kDobjDeleted, Rect{});
    uint32_t b = append(list, kRecordingKind, kDobjDeleted, Rect{});
    uint32_t c = append(list, kRecordingKind, 0, Rect{});
    dlist_lock(list);
    EXPECT_FALSE(dlist_purge_deleted(list, DlistWalk::forward));
    dlist_unlock(list);
    EXPECT_EQ(ids_of(list).size(), 3u);
    EXPECT_TRUE(screen.sent.empty());

    EXPECT_TRUE(dlist_purge_deleted(list, DlistWalk::forward));
    EXPECT_EQ(screen.sent, (std::vector<Sent>{{a, kMsgBeforePurge}, {a, kMsgDestroy}, {b, kMsgBeforePurge},
                               {b, kMsgDestroy}, {c, kMsgBeforePurge}}));
    EXPECT_EQ(ids_of(list), std::vector<uint32_t>{c});
    EXPECT_FALSE(dlist_purge_deleted(list, DlistWalk::backward));
}

TEST_F(DlistTest, BackwardPurgeWalksFromTheFront)
{
    uint32_t a = append(list, kRecordingKind, 0, Rect{});
    uint32_t b = append(list, kRecordingKind, kDobjDeleted, Rect{});
    uint32_t c = append(list, kRecordingKind, 0, Rect{});
    EXPECT_TRUE(dlist_purge_deleted(list, DlistWalk::backward));
    EXPECT_EQ(screen.sent, (std::vector<Sent>{{c, kMsgBeforePurge}, {b, kMsgBeforePurge}, {b, kMsgDestroy},
                               {a, kMsgBeforePurge}}));
    EXPECT_EQ(ids_of(list), (std::vector<uint32_t>{a, c}));
}

TEST_F(DlistTest, BroadcastNeedsEveryMaskBitAndPlaneWalksShareOne)
{
    uint32_t bottom = append(list, kRecordingKind, kDobjPlaneBottom, Rect{});
    uint32_t both = append(list, kRecordingKind, kDobjPlaneBottom | kDobjPlaneMiddle, Rect{});
    uint32_t screen_plane = append(list, kRecordingKind, kDobjPlaneScreen, Rect{});
    dlist_broadcast(list, kDobjPlaneBottom | kDobjPlaneMiddle, kMsgIdle, nullptr);
    EXPECT_EQ(screen.sent, (std::vector<Sent>{{both, kMsgIdle}}));
    screen.sent.clear();
    dlist_broadcast(list, 0, kMsgIdle, nullptr);
    EXPECT_EQ(screen.sent.size(), 3u);
    screen.sent.clear();
    RectList carried = screen.lists.size() + 1;
    screen.lists.push_back({{1, 1, 2, 2}});
    EXPECT_EQ(dlist_send_plane(list, kDobjPlaneMiddle | kDobjPlaneScreen, carried, plat::DcHandle{}, kMsgAfterScreen),
        carried);
    EXPECT_EQ(screen.sent, (std::vector<Sent>{{screen_plane, kMsgAfterScreen}, {both, kMsgAfterScreen}}));
    (void)bottom;
}

// Records its messages and, after the first one once g_growing is set, adds a record to that list.
constexpr uint32_t kGrowingKind = 7;
DisplayList* g_growing = nullptr;
int32_t growing_handler(uint8_t* object, int message, DisplayMsgArg* arg)
{
    int32_t answer = recording_handler(object, message, arg);
    if (DisplayList* grown = std::exchange(g_growing, nullptr)) // the block may move: object is stale
        append(*grown, kRecordingKind, kDobjPlaneBottom | kDobjVisible, Rect{});
    return answer;
}

TEST_F(DlistTest, WalksThroughKeptOffsetsMeetWhatRecordByRecordWalksMeet)
{
    dobj_register_kind(kGrowingKind, growing_handler);
    // What each walk sends, walked record by record and through kept offsets.
    auto walks = [this](bool keep, bool grow) {
        dlist_free(list);
        dlist_set_next_id(1);
        for (uint32_t kind : {kRecordingKind, kGrowingKind, kRecordingKind, kRecordingKind})
            append(list, kind, kDobjPlaneBottom | kDobjVisible, Rect{});
        screen.sent.clear();
        if (keep)
            dlist_keep_order(list);
        dlist_lock(list);
        dlist_draw_plane(list, kDobjPlaneBottom, 0, plat::DcHandle{});
        // Adding a record moves the block under a backward walk; it goes on by offsets.
        g_growing = grow ? &list : nullptr;
        dlist_send_plane(list, kDobjPlaneBottom, 0, plat::DcHandle{}, kMsgIdle);
        dlist_send_plane(list, kDobjPlaneBottom, 0, plat::DcHandle{}, kMsgIdle);
        dlist_unlock(list);
        dlist_drop_order();
        return screen.sent;
    };
    for (bool grow : {false, true}) {
        SCOPED_TRACE(grow ? "a record added mid-walk" : "the list unchanged");
        std::vector<Sent> plain = walks(false, grow);
        EXPECT_EQ(walks(true, grow), plain);
        EXPECT_EQ(plain.size(), grow ? 4u + 4 + 5 : 4u + 4 + 4);
    }
}

// Records cut out and one added between two walks of a refresh can leave the list as long as
// before at the same address: the kept offsets must not outlive the cut.
TEST_F(DlistTest, KeptOffsetsAreRetakenAfterAPurgeLeavesTheListAsLongAsBefore)
{
    append(list, kRecordingKind, kDobjPlaneBottom | kDobjDeleted, Rect{});
    append(list, kRecordingKind, kDobjPlaneBottom | kDobjDeleted, Rect{});
    uint32_t c = append(list, kRecordingKind, kDobjPlaneBottom | kDobjVisible, Rect{});
    uint32_t d = append(list, kRecordingKind, kDobjPlaneBottom | kDobjVisible, Rect{}, 100);
    dlist_keep_order(list);
    dlist_send_plane(list, kDobjPlaneBottom, 0, plat::DcHandle{}, kMsgIdle);
    uint32_t used = list.used;
    ASSERT_TRUE(dlist_purge_deleted(list, DlistWalk::forward));
    uint32_t e = append(list, kRecordingKind, kDobjPlaneBottom | kDobjVisible, Rect{}, 122);
    ASSERT_EQ(list.used, used);
    screen.sent.clear();
    dlist_lock(list);
    dlist_draw_plane(list, kDobjPlaneBottom, 0, plat::DcHandle{});
    dlist_unlock(list);
    dlist_drop_order();
    EXPECT_EQ(screen.sent, (std::vector<Sent>{{c, kMsgDraw}, {d, kMsgDraw}, {e, kMsgDraw}}));
}

TEST_F(DlistTest, CollectDamageJoinsEveryObjectsDamageFrontToBack)
{
    append(list, kRecordingKind, kDobjPlaneBottom | kDobjVisible, Rect{0, 0, 10, 10});
    append(list, kRecordingKind, kDobjPlaneBottom | kDobjVisible, Rect{600, 400, 700, 500});
    dlist_broadcast(list, 0, kMsgDamage, nullptr);
    RectList collected = dlist_collect_damage(list, kDobjPlaneBottom, 0);
    EXPECT_EQ(screen.rects(collected), (std::vector<Rect>{{600, 400, 640, 480}, {0, 0, 10, 10}}));
    dlist_lock(list);
    for (uint8_t* r = dlist_first(list); r; r = dlist_next(r))
        EXPECT_EQ(dobj_list_word(r, kDobjDamage), 0);
    dlist_unlock(list);
}

} // namespace
