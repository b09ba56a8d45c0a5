// Group objects and the line, rectangle and oval members: the group's message table, resizing
// by a handle, saving and restoring the member list, and the shapes' own answers.
#include "runtime/display/group.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/display/shapes.h"
#include "tests/display/display_fixture.h"

namespace {

using namespace disptest;

// Hits inside its bounds; everything else as the recording kind.
constexpr uint32_t kHitKind = kDobjOtherKinds + 14;
int32_t hit_in_bounds(uint8_t* object, int message, DisplayMsgArg* arg)
{
    if (message == kMsgHitTest || message == 6 || message == kMsgHitByPoint)
        return plat::pt_in_rect(dobj_rect(object, kDobjBounds), Point{arg->x, arg->y}) ? 7 : 0;
    return recording_handler(object, message, arg);
}

DrawStyle solid_style()
{
    DrawStyle style;
    gdi_style_init(&style);
    return style;
}

// What a save wrote, and what a restore hands back.
struct Stream {
    std::vector<std::pair<int, std::vector<uint8_t>>> written;
    std::vector<uint8_t> piece; // read back; empty: none
    bool has_piece = false;
};

int32_t stream_io(int tag, void* data, int32_t size, void* context)
{
    auto& stream = *static_cast<Stream*>(context);
    if (data) {
        const auto* bytes = static_cast<const uint8_t*>(data);
        stream.written.push_back({tag, std::vector<uint8_t>(bytes, bytes + size)});
        return 0;
    }
    if (tag != kGroupPieceTag || !stream.has_piece)
        return 0;
    return int32_t(mem_alloc_copy(stream.piece.data(), stream.piece.size()).id);
}

class GroupTest : public DisplayTest {
protected:
    DisplayList& stage = dlist_stage();
    void SetUp() override
    {
        DisplayTest::SetUp();
        dobj_register_kind(kHitKind, hit_in_bounds);
    }

    // A group record on the stage (flags visible, bottom plane) holding the members that
    // add() put into members.
    DisplayList members;
    uint32_t add_member(uint32_t kind, Rect bounds, uint16_t flags = kDobjVisible | kDobjPlaneBottom)
    {
        return append(members, kind, flags, bounds);
    }
    uint32_t make_group(Rect bounds = Rect{0, 0, 100, 100}, uint16_t flags = kDobjVisible | kDobjPlaneBottom)
    {
        std::vector<uint8_t> record = make_record(kDobjHeaderSize + kDlistHeaderSize, kDobjKindGroup, flags, bounds);
        group_set_members(record.data(), members);
        members = DisplayList{}; // the group owns them now
        return dlist_append(stage, record.data());
    }
    template <typename Fn> void with(uint32_t id, Fn fn)
    {
        dlist_lock(stage);
        uint8_t* record = dlist_find_top(stage, id);
        ASSERT_NE(record, nullptr);
        fn(record);
        dlist_unlock(stage);
    }
    int32_t send(uint32_t id, int message, DisplayMsgArg* arg = nullptr)
    {
        int32_t answer = 0;
        with(id, [&](uint8_t* group) { answer = dobj_send(group, message, arg); });
        return answer;
    }
    // The members' bounds, first to last.
    std::vector<Rect> member_bounds(uint32_t group_id)
    {
        std::vector<Rect> out;
        with(group_id, [&](uint8_t* group) {
            DisplayList list = group_members(group);
            dlist_lock(list);
            for (uint8_t* m = dlist_first(list); m; m = dlist_next(m))
                out.push_back(dobj_rect(m, kDobjBounds));
            dlist_unlock(list);
        });
        return out;
    }
    std::vector<uint8_t> member_block(uint32_t group_id)
    {
        std::vector<uint8_t> out;
        with(group_id, [&](uint8_t* group) { out = block_bytes(group_members(group)); });
        return out;
    }
    void TearDown() override
    {
        dlist_purge_deleted(stage, DlistWalk::forward);
        // Groups free their members when destroyed.
        dlist_lock(stage);
        for (uint8_t* r = dlist_first(stage); r; r = dlist_next(r))
            dobj_send(r, kMsgDestroy, nullptr);
        dlist_unlock(stage);
        dlist_free(members);
        DisplayTest::TearDown();
    }
};

TEST_F(GroupTest, ResizingByAHandleMapsEveryMemberFromTheOldExtent)
{
    static const struct {
        const char* name;
        Rect from;
        int handle;
        Point dragged_to;
        Rect to;
        Rect member;
        Rect expected;
    } kRows[] = {
        {"bottom-right, wider and flatter", {0, 0, 100, 100}, kHandleBottomRight, {200, 50}, {0, 0, 200, 50},
            {50, 50, 100, 100}, {100, 25, 200, 50}},
        {"top-left, smaller", {0, 0, 100, 100}, kHandleTopLeft, {50, 50}, {50, 50, 100, 100}, {50, 50, 100, 100},
            {75, 75, 100, 100}},
        {"bottom-right dragged past the anchor: mirrored", {100, 100, 200, 200}, kHandleBottomRight, {50, 250},
            {50, 100, 100, 250}, {150, 150, 200, 200}, {50, 175, 75, 250}},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.name);
        dlist_reset();
        shape_add_box(members, kMemberRect, solid_style(), row.member, kDobjVisible | kDobjPlaneBottom);
        shape_add_box(members, kMemberOval, solid_style(), row.member, kDobjVisible | kDobjPlaneBottom);
        uint32_t group = make_group(row.from);
        send(group, kMsgComputeExtent);
        DisplayMsgArg arg;
        arg.sub_code = int16_t(row.handle);
        arg.x = row.dragged_to.x;
        arg.y = row.dragged_to.y;
        arg.rect = row.to;
        EXPECT_EQ(send(group, kMsgSetBounds, &arg), 0);
        EXPECT_EQ(member_bounds(group), (std::vector<Rect>{row.expected, row.expected}));
        with(group, [&](uint8_t* g) { EXPECT_EQ(dobj_rect(g, kDobjBounds), row.expected) << "the members' union"; });
        send(group, kMsgDestroy);
    }
}

TEST_F(GroupTest, ALineMemberFollowsTheCornersItHeld)
{
    // Drawn from bottom-left to top-right: its start stays at the bottom-left corner.
    shape_add_line(members, solid_style(), Point{50, 100}, Point{100, 50}, kDobjVisible | kDobjPlaneBottom);
    uint32_t group = make_group();
    send(group, kMsgComputeExtent);
    DisplayMsgArg arg;
    arg.sub_code = kHandleBottomRight;
    arg.x = 200;
    arg.y = 50;
    arg.rect = Rect{0, 0, 200, 50};
    send(group, kMsgSetBounds, &arg);
    with(group, [](uint8_t* g) {
        DisplayList list = group_members(g);
        dlist_lock(list);
        uint8_t* line = dlist_first(list);
        EXPECT_EQ(plat::load_u32le(line + kLineStart), 100u);
        EXPECT_EQ(plat::load_u32le(line + kLineStart + 4), 50u);
        EXPECT_EQ(plat::load_u32le(line + kLineEnd), 200u);
        EXPECT_EQ(plat::load_u32le(line + kLineEnd + 4), 25u);
        EXPECT_EQ(dobj_rect(line, kDobjBounds), (Rect{100, 25, 200, 50}));
        dlist_unlock(list);
    });
}

TEST_F(GroupTest, HitsAskTheMembersFromTheFirstUnlessTheGroupIsDeleted)
{
    add_member(kHitKind, Rect{0, 0, 50, 50});
    add_member(kHitKind, Rect{0, 0, 100, 100});
    uint32_t group = make_group();
    static const struct {
        const char* name;
        int message;
        Point at;
        int16_t sub_code;
        int32_t answer;
    } kRows[] = {
        {"the first member hits", kMsgHitTest, {10, 10}, 0, 7},
        {"only the later one covers the point", kMsgHitTest, {80, 80}, 0, 7},
        {"nothing there", kMsgHitTest, {180, 80}, 0, 0},
        {"press, the same way", 6, {80, 80}, 0, 7},
        {"47 with a sub-code answers 0", kMsgHitByPoint, {10, 10}, 1, 0},
        {"47 at 0 asks the members", kMsgHitByPoint, {10, 10}, 0, 7},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.name);
        DisplayMsgArg arg;
        arg.x = row.at.x;
        arg.y = row.at.y;
        arg.sub_code = row.sub_code;
        EXPECT_EQ(send(group, row.message, &arg), row.answer);
    }
    with(group, [](uint8_t* g) { dobj_set_flags(g, uint16_t(dobj_flags(g) | kDobjDeleted)); });
    screen.sent.clear();
    DisplayMsgArg arg;
    arg.x = 10;
    arg.y = 10;
    EXPECT_EQ(send(group, kMsgHitTest, &arg), 0);
    EXPECT_EQ(send(group, 6, &arg), 0);
    EXPECT_TRUE(screen.sent.empty()) << "no member was asked";
}

TEST_F(GroupTest, UpdateAndDamageReachTheMembersUnlessHeldBack)
{
    static const struct {
        const char* name;
        uint16_t group_flags;
        int message;
        bool members_hear;
    } kRows[] = {
        {"update", 0, kMsgUpdate, true},
        {"damage", 0, kMsgDamage, true},
        {"flag 0x01 holds the members back", 0x01, kMsgUpdate, false},
        {"a deleted group", kDobjDeleted, kMsgDamage, false},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.name);
        dlist_reset();
        screen = Screen{};
        uint32_t member = add_member(kRecordingKind, Rect{5, 5, 15, 15});
        uint32_t group = make_group(Rect{0, 0, 100, 100}, uint16_t(kDobjVisible | kDobjPlaneBottom | row.group_flags));
        EXPECT_EQ(send(group, row.message), 0);
        std::vector<Sent> heard;
        if (row.members_hear)
            heard.push_back({member, row.message});
        EXPECT_EQ(screen.sent, heard);
        EXPECT_EQ(screen.refresh_flags, row.members_hear ? 2 : 0) << "the member's own flag, then the group's";
        with(group, [](uint8_t* g) {
            EXPECT_EQ(dobj_list_word(g, kDobjUpdate), 0) << "the group keeps none of its own";
            EXPECT_EQ(dobj_list_word(g, kDobjDamage), 0);
        });
        send(group, kMsgDestroy);
    }
}

TEST_F(GroupTest, BroadcastsSkipADeletedGroupButTheBaseStillAnswers)
{
    static const int kMessages[] = {3, 4, 14, 18, 19, 22, 24, kMsgMoved, 38, 39, 48, 54, 55, 56};
    uint32_t member = add_member(kRecordingKind, Rect{5, 5, 15, 15});
    uint32_t group = make_group();
    for (int message : kMessages) {
        SCOPED_TRACE(message);
        screen.sent.clear();
        send(group, message);
        EXPECT_EQ(screen.sent, (std::vector<Sent>{{member, message}}));
    }
    // Erasing reaches the members too: they go with the group.
    send(group, kMsgErase);
    with(group, [](uint8_t* g) {
        EXPECT_TRUE(dobj_flags(g) & kDobjDeleted);
        DisplayList list = group_members(g);
        dlist_lock(list);
        EXPECT_TRUE(dobj_flags(dlist_first(list)) & kDobjDeleted);
        dlist_unlock(list);
    });
    for (int message : kMessages) {
        SCOPED_TRACE(message);
        screen.sent.clear();
        send(group, message);
        EXPECT_TRUE(screen.sent.empty());
    }
    screen.sent.clear();
    send(group, kMsgDropUpdate);
    EXPECT_EQ(screen.sent, (std::vector<Sent>{{member, kMsgDropUpdate}})) << "23 reaches them even so";
}

TEST_F(GroupTest, ForwardingAndQueriesFindTheGroupFirstThenItsMembers)
{
    uint32_t member = add_member(kRecordingKind, Rect{5, 5, 15, 15});
    uint32_t group = make_group();
    DisplayMsgArg inner;
    inner.rect = Rect{};
    EXPECT_EQ(dobj_send_by_id(member, kMsgGetBounds, &inner), 0);
    EXPECT_EQ(inner.rect, (Rect{5, 5, 15, 15}));
    inner.rect = Rect{};
    dobj_send_by_id(group, kMsgGetBounds, &inner);
    EXPECT_EQ(inner.rect, (Rect{0, 0, 100, 100}));
    EXPECT_EQ(dobj_send_by_id(4242, kMsgGetBounds, &inner), 0);
    static uint32_t wanted;
    auto query = [](uint8_t* object, void*) -> int32_t { return dobj_id(object) == wanted ? 1 : 0; };
    wanted = member;
    EXPECT_EQ(dobj_find_first(nullptr, query, nullptr), member);
    wanted = group;
    EXPECT_EQ(dobj_find_first(nullptr, query, nullptr), group);
}

TEST_F(GroupTest, TakingDamageAlsoRedrawsTheMembersThere)
{
    add_member(kRecordingKind, Rect{5, 5, 15, 15});
    uint32_t group = make_group();
    with(group, [](uint8_t* g) { dobj_add_to_list(g, kDobjDamage, Rect{0, 0, 30, 30}); });
    with(group, [](uint8_t* g) {
        DisplayList list = group_members(g);
        dlist_lock(list);
        dobj_add_to_list(dlist_first(list), kDobjDamage, Rect{5, 5, 15, 15});
        dlist_unlock(list);
    });
    DisplayMsgArg arg;
    RectList collected = RectList(send(group, kMsgTakeDamage, &arg));
    EXPECT_EQ(screen.rects(collected), (std::vector<Rect>{{0, 0, 30, 30}, {5, 5, 15, 15}}));
    with(group, [&](uint8_t* g) {
        EXPECT_EQ(screen.rects(dobj_list_word(g, kDobjUpdate)), (std::vector<Rect>{{0, 0, 30, 30}}));
        EXPECT_EQ(dobj_list_word(g, kDobjDamage), 0);
    });
}

TEST_F(GroupTest, PropertyMessagesRecomputeTheBounds)
{
    add_member(kRecordingKind, Rect{5, 5, 15, 15});
    add_member(kRecordingKind, Rect{40, -3, 60, 9});
    uint32_t group = make_group(Rect{0, 0, 1, 1});
    send(group, 21);
    with(group, [](uint8_t* g) { EXPECT_EQ(dobj_rect(g, kDobjBounds), (Rect{5, -3, 60, 15})); });
}

TEST_F(GroupTest, SavingStoresTableIndexesAndRestoringTrustsOnlyASoundPiece)
{
    shape_add_line(members, solid_style(), Point{1, 2}, Point{30, 40}, kDobjVisible | kDobjPlaneBottom);
    shape_add_box(members, kMemberOval, solid_style(), Rect{5, 5, 25, 25}, kDobjVisible | kDobjPlaneBottom);
    add_member(kRecordingKind, Rect{0, 0, 3, 3}); // a kind the table lacks: saved as a line
    append(members, kRecordingKind, kDobjVisible, Rect{}, kLineRecordSize); // as long as a line
    uint32_t group = make_group();
    std::vector<uint8_t> live = member_block(group);
    Stream stream;
    DisplayMsgArg arg;
    arg.stream = stream_io;
    arg.caller_data = &stream;
    EXPECT_EQ(send(group, 66, &arg), 0);
    EXPECT_EQ(arg.sub_code, 0);
    ASSERT_EQ(stream.written.size(), 1u);
    EXPECT_EQ(stream.written[0].first, kGroupPieceTag);
    std::vector<uint8_t> saved = stream.written[0].second;
    ASSERT_EQ(saved.size(), live.size());
    static const uint32_t kSavedKinds[] = {kMemberLine, kMemberOval, kMemberLine, kMemberLine};
    uint32_t offset = 2;
    for (uint32_t kind : kSavedKinds) {
        EXPECT_EQ(dobj_kind(saved.data() + offset), kind);
        offset += dobj_length(saved.data() + offset) + 2u;
    }
    EXPECT_EQ(member_block(group), live) << "the live list keeps its kinds";

    // As in a later run: the header names a block that is gone.
    with(group, [](uint8_t* g) {
        DisplayList list = group_members(g);
        DisplayList stale = list;
        dlist_free(list);
        group_set_members(g, stale);
    });
    // The short "line" (the test kind's 60 bytes) comes back deleted; a long enough one as a
    // line; the others as saved.
    stream.piece = saved;
    stream.has_piece = true;
    arg = DisplayMsgArg{};
    arg.stream = stream_io;
    arg.caller_data = &stream;
    EXPECT_EQ(send(group, 67, &arg), 0);
    EXPECT_EQ(arg.sub_code, 0);
    std::vector<uint8_t> restored = member_block(group);
    ASSERT_EQ(restored.size(), saved.size());
    static const struct {
        uint32_t kind;
        bool deleted;
    } kRestored[] = {{kDobjMemberKinds + kMemberLine, false}, {kDobjMemberKinds + kMemberOval, false},
        {kDobjKindBase, true}, {kDobjMemberKinds + kMemberLine, false}};
    offset = 2;
    for (const auto& member : kRestored) {
        EXPECT_EQ(dobj_kind(restored.data() + offset), member.kind);
        EXPECT_EQ((dobj_flags(restored.data() + offset) & kDobjDeleted) != 0, member.deleted);
        offset += dobj_length(restored.data() + offset) + 2u;
    }
}

TEST_F(GroupTest, ADamagedOrMissingPieceEmptiesTheMembers)
{
    // A block of one 60-byte record, then its damages.
    std::vector<uint8_t> sound(4 + 62, 0);
    plat::store_u16le(sound.data() + 2, 60);
    plat::store_u32le(sound.data() + 2 + kDobjKind, 9); // an index the table lacks: the base kind
    plat::store_u16le(sound.data() + 62, 60);
    auto with_word = [&](size_t at, uint16_t value) {
        std::vector<uint8_t> bytes = sound;
        plat::store_u16le(bytes.data() + at, value);
        return bytes;
    };
    std::vector<uint8_t> cut = sound;
    cut.resize(40);
    static const int16_t kFailed = kGroupNoMemory;
    const struct {
        const char* name;
        bool had_block;
        bool has_piece;
        std::vector<uint8_t> piece;
        int16_t sub_code;
        bool members;
    } rows[] = {
        {"sound", true, true, sound, 0, true},
        {"no leading zero", true, true, with_word(0, 2), kFailed, false},
        {"trailer does not match", true, true, with_word(62, 58), kFailed, false},
        {"length past the end", true, true, with_word(2, 200), kFailed, false},
        {"odd length", true, true, with_word(2, 59), kFailed, false},
        {"no terminator", true, true, with_word(64, 7), kFailed, false},
        {"cut short", true, true, cut, kFailed, false},
        {"shorter than a header", true, true, with_word(2, 10), kFailed, false},
        {"none, after a block", true, false, {}, kFailed, false},
        {"none, and none before", false, false, {}, 0, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        dlist_reset();
        std::vector<uint8_t> record = make_record(kDobjHeaderSize + kDlistHeaderSize, kDobjKindGroup,
            kDobjVisible | kDobjPlaneBottom, Rect{});
        // A header as the saving run left it: its block id means nothing in this run.
        DisplayList stale;
        stale.block = MemHandle{row.had_block ? 0x7777u : 0u};
        stale.used = 66;
        group_set_members(record.data(), stale);
        uint32_t group = dlist_append(stage, record.data());
        Stream stream;
        stream.piece = row.piece;
        stream.has_piece = row.has_piece;
        DisplayMsgArg arg;
        arg.stream = stream_io;
        arg.caller_data = &stream;
        send(group, 67, &arg);
        EXPECT_EQ(arg.sub_code, row.sub_code);
        with(group, [&](uint8_t* g) {
            DisplayList list = group_members(g);
            EXPECT_EQ(bool(list.block), row.members);
            if (row.members) {
                EXPECT_EQ(list.used, row.piece.size());
                EXPECT_EQ(list.lock_count, 0);
                ASSERT_TRUE(dlist_lock(list));
                EXPECT_EQ(dobj_kind(dlist_first(list)), kDobjKindBase);
                dlist_unlock(list);
            } else {
                EXPECT_EQ(list.used, 0u);
            }
        });
        send(group, kMsgDestroy);
    }
}

TEST_F(GroupTest, MemberTableIndexes)
{
    static const struct {
        int32_t index;
        uint32_t kind;
    } kRows[] = {
        {0, kDobjMemberKinds}, {1, kDobjMemberKinds + 1}, {3, kDobjMemberKinds + 3}, {6, kDobjMemberKinds + 6},
        {7, kDobjKindBase}, {-1, kDobjKindBase}, {300, kDobjKindBase},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.index);
        EXPECT_EQ(group_index_to_handler(row.index), row.kind);
    }
    EXPECT_EQ(group_handler_to_index(kDobjMemberKinds + 5), 5u);
    EXPECT_EQ(group_handler_to_index(kDobjKindGroup), 0u);
    EXPECT_EQ(group_handler_to_index(kRecordingKind), 0u);
}

// --- the shapes' own answers ------------------------------------------------------------------

class ShapeTest : public DisplayTest {
protected:
    DisplayList list;
    void TearDown() override
    {
        dlist_free(list);
        DisplayTest::TearDown();
    }
    template <typename Fn> void with(uint32_t id, Fn fn)
    {
        dlist_lock(list);
        uint8_t* record = dlist_find_top(list, id);
        ASSERT_NE(record, nullptr);
        fn(record);
        dlist_unlock(list);
    }
};

TEST_F(ShapeTest, ALineKeepsTheCornerOfItsStart)
{
    DrawStyle style = solid_style();
    uint32_t id = shape_add_line(list, style, Point{10, 10}, Point{50, 40}, kDobjVisible | kDobjPlaneBottom);
    with(id, [](uint8_t* line) {
        EXPECT_EQ(dobj_length(line), kLineRecordSize);
        EXPECT_EQ(plat::load_u16le(line + kLineCorner), 1);
        DisplayMsgArg arg;
        arg.sub_code = kLineMoveEnd;
        arg.x = 0;
        arg.y = 0;
        dobj_send(line, kMsgSetBounds, &arg);
        EXPECT_EQ(plat::load_u16le(line + kLineCorner), 5);
        EXPECT_EQ(dobj_rect(line, kDobjBounds), (Rect{0, 0, 10, 10}));
        arg.sub_code = kLineMoveStart;
        arg.x = 20;
        arg.y = -6;
        dobj_send(line, kMsgSetBounds, &arg);
        EXPECT_EQ(plat::load_u16le(line + kLineCorner), 3) << "the end lies left of the start, below it";
        EXPECT_EQ(dobj_rect(line, kDobjBounds), (Rect{0, -6, 20, 0}));
    });
}

TEST_F(ShapeTest, ALinesBoundsForOthersIncludeItsPen)
{
    DrawStyle style = solid_style();
    style.line_width = 3;
    uint32_t id = shape_add_line(list, style, Point{10, 10}, Point{20, 10}, kDobjVisible | kDobjPlaneBottom);
    with(id, [&](uint8_t* line) {
        DisplayMsgArg arg;
        dobj_send(line, kMsgGetBounds, &arg);
        EXPECT_EQ(arg.rect, (Rect{9, 9, 22, 12}));
        dobj_send(line, kMsgComputeExtent, nullptr);
        EXPECT_EQ(dobj_rect(line, kDobjExtent), (Rect{10, 10, 20, 10}));
        EXPECT_EQ(dobj_send(line, 41, nullptr), 3);
        dobj_send(line, kMsgUpdate, nullptr);
        EXPECT_EQ(screen.rects(dobj_list_word(line, kDobjUpdate)), (std::vector<Rect>{{9, 9, 22, 12}}));
    });
}

TEST_F(ShapeTest, OnlyASolidRectangleAsksForAnUpdate)
{
    static const struct {
        const char* name;
        uint32_t kind;
        int16_t fill_on;
        uint8_t mode;
        int32_t answer;
    } kRows[] = {
        {"rectangle, filled, mode 4", kMemberRect, 1, 4, 1},
        {"rectangle, filled, mode 0", kMemberRect, 1, 0, 1},
        {"rectangle, filled, mode 2", kMemberRect, 1, 2, 0},
        {"rectangle, fill off", kMemberRect, 0, 4, 0},
        {"oval, filled, mode 4", kMemberOval, 1, 4, 0},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.name);
        DrawStyle style = solid_style();
        style.fill_on = row.fill_on;
        style.mode = row.mode;
        uint32_t id = shape_add_box(list, row.kind, style, Rect{0, 0, 10, 10}, kDobjVisible | kDobjPlaneBottom);
        with(id, [&](uint8_t* box) {
            EXPECT_EQ(dobj_send(box, kMsgWantsUpdate, nullptr), row.answer);
            EXPECT_EQ(dobj_send(box, 41, nullptr), 1);
            EXPECT_EQ(dobj_send(box, 42, nullptr), 1);
            EXPECT_EQ(dobj_send(box, 43, nullptr), 0);
        });
    }
    EXPECT_EQ(shape_add_box(list, kMemberLine, solid_style(), Rect{}, 0), 0u);
}

TEST_F(ShapeTest, HitsFollowTheShapeAndNameTheMember)
{
    DrawStyle filled = solid_style();
    DrawStyle framed = solid_style();
    framed.fill_on = 0;
    uint32_t rect = shape_add_box(list, kMemberRect, framed, Rect{0, 0, 100, 100}, kDobjVisible);
    uint32_t solid = shape_add_box(list, kMemberRect, filled, Rect{0, 0, 100, 100}, kDobjVisible);
    uint32_t oval = shape_add_box(list, kMemberOval, filled, Rect{0, 0, 100, 100}, kDobjVisible);
    uint32_t line = shape_add_line(list, filled, Point{0, 0}, Point{100, 100}, kDobjVisible);
    static const struct {
        const char* name;
        uint32_t* id;
        Point at;
        bool hit;
    } kRows[] = {
        {"frame: on the edge", &rect, {1, 50}, true},
        {"frame: inside", &rect, {50, 50}, false},
        {"filled: inside", &solid, {50, 50}, true},
        {"oval: its corner is outside", &oval, {3, 3}, false},
        {"oval: inside", &oval, {50, 50}, true},
        {"line: on it", &line, {50, 51}, true},
        {"line: away from it", &line, {50, 80}, false},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.name);
        with(*row.id, [&](uint8_t* object) {
            DisplayMsgArg arg;
            arg.x = row.at.x;
            arg.y = row.at.y;
            EXPECT_EQ(dobj_send(object, kMsgHitTest, &arg), row.hit ? -1 : 0);
            EXPECT_EQ(arg.caller_data, row.hit ? object : nullptr);
        });
    }
}

} // namespace
