// Display objects: the base handler's table, damage clipped to the stage, plane changes,
// forwarding by id, queries, the kind registry and the base drawing services.
#include <gtest/gtest.h>

#include "platform/gdi/palette.h"
#include "runtime/display/gdi_draw.h"
#include "tests/display/display_fixture.h"
#include "tests/platform/gdi_test_support.h"

namespace {

using namespace disptest;

class DobjTest : public DisplayTest {
protected:
    DisplayList& stage = dlist_stage();

    // Runs fn on the stage record with the id, the stage locked around it.
    template <typename Fn>
    void with(uint32_t id, Fn fn)
    {
        dlist_lock(stage);
        uint8_t* record = dlist_find(stage, id);
        ASSERT_NE(record, nullptr);
        fn(record);
        dlist_unlock(stage);
    }
    int32_t send(uint32_t id, int message, DisplayMsgArg* arg = nullptr)
    {
        int32_t answer = 0;
        with(id, [&](uint8_t* r) { answer = dobj_send(r, message, arg); });
        return answer;
    }
    std::vector<uint8_t> bytes_of(uint32_t id)
    {
        std::vector<uint8_t> bytes;
        with(id, [&](uint8_t* r) { bytes.assign(r, r + dobj_length(r)); });
        return bytes;
    }
};

TEST_F(DobjTest, AnswersOfTheBaseTableThatChangeNothing)
{
    static const struct {
        int message;
        int32_t answer;
    } kRows[] = {
        {kMsgHitTest, 0}, {3, 0}, {4, 0}, {6, 0}, {kMsgDestroy, 0}, {15, 0}, {20, 0}, {kMsgMoved, 0},
        {kMsgWantsUpdate, 0}, {kMsgBeforePurge, 0}, {38, 0}, {41, 1}, {42, 0}, {43, 1}, {44, 0}, {45, 1},
        {46, 1}, {48, 0}, {62, 0}, {65, 0}, {66, 0}, {67, 0}, {78, 0}, {79, 0}, {80, 0}, {81, 0},
        {kMsgIdle, 0}, {kMsgDepthChanged, 0}, {84, 0}, {kMsgLimit, 0}, {87, 0}, {300, 0}, {0x7FFFFFFF, 0},
        {-1, 0},
    };
    uint32_t id = append(stage, kDobjKindBase, kDobjVisible | kDobjPlaneBottom, Rect{10, 10, 20, 20});
    std::vector<uint8_t> before = bytes_of(id);
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.message);
        DisplayMsgArg arg;
        arg.x = 15;
        arg.y = 15;
        EXPECT_EQ(send(id, row.message, &arg), row.answer);
        EXPECT_EQ(bytes_of(id), before);
        EXPECT_EQ(arg.object_id, 0);
    }
    EXPECT_EQ(screen.refresh_flags, 0);
}

TEST_F(DobjTest, UpdateAndDamageAreClippedToTheStage)
{
    static const struct {
        const char* name;
        Rect bounds;
        int message;
        uint32_t list_word;
        std::vector<Rect> kept;
    } kRows[] = {
        {"inside, damage", {10, 10, 20, 20}, kMsgDamage, kDobjDamage, {{10, 10, 20, 20}}},
        {"across the edge, update", {600, 470, 700, 500}, kMsgUpdate, kDobjUpdate, {{600, 470, 640, 480}}},
        {"wholly outside", {-50, -50, -10, -10}, kMsgDamage, kDobjDamage, {}},
        {"touching the right edge", {640, 0, 650, 10}, kMsgDamage, kDobjDamage, {}},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.name);
        int flags_before = screen.refresh_flags;
        uint32_t id = append(stage, kDobjKindBase, kDobjVisible | kDobjPlaneBottom, row.bounds);
        send(id, row.message);
        with(id, [&](uint8_t* r) { EXPECT_EQ(screen.rects(dobj_list_word(r, row.list_word)), row.kept); });
        EXPECT_EQ(screen.refresh_flags - flags_before, row.kept.empty() ? 0 : 1);
    }
}

TEST_F(DobjTest, ScreenObjectsTakeDamageAsUpdate)
{
    uint32_t id = append(stage, kDobjKindBase, kDobjVisible | kDobjPlaneScreen, Rect{1, 1, 5, 5});
    with(id, [&](uint8_t* r) {
        dobj_add_damage(r, Rect{2, 2, 3, 3});
        EXPECT_EQ(dobj_list_word(r, kDobjDamage), 0);
        EXPECT_EQ(screen.rects(dobj_list_word(r, kDobjUpdate)), (std::vector<Rect>{{2, 2, 3, 3}}));
    });
}

TEST_F(DobjTest, WithoutScreenHooksNoDamageIsKept)
{
    dobj_set_screen_hooks(DobjScreenHooks{});
    uint32_t id = append(stage, kDobjKindBase, kDobjVisible | kDobjPlaneBottom, Rect{10, 10, 20, 20});
    send(id, kMsgDamage);
    send(id, kMsgUpdate);
    DisplayMsgArg arg;
    arg.list = 7;
    EXPECT_EQ(send(id, kMsgTakeDamage, &arg), 7);
    with(id, [](uint8_t* r) {
        EXPECT_EQ(dobj_list_word(r, kDobjDamage), 0);
        EXPECT_EQ(dobj_list_word(r, kDobjUpdate), 0);
    });
}

TEST_F(DobjTest, EraseLeavesADeletedInvisibleRecordWithItsDamage)
{
    uint32_t id = append(stage, kDobjKindBase, kDobjVisible | kDobjPlaneBottom, Rect{10, 10, 20, 20});
    with(id, [](uint8_t* r) { dobj_erase(r); });
    with(id, [&](uint8_t* r) {
        EXPECT_EQ(dobj_flags(r), kDobjDeleted | kDobjPlaneBottom);
        EXPECT_EQ(screen.rects(dobj_list_word(r, kDobjDamage)), (std::vector<Rect>{{10, 10, 20, 20}}));
    });
    DisplayMsgArg arg;
    arg.list = 0;
    RectList handed = RectList(send(id, kMsgTakeDamage, &arg));
    EXPECT_EQ(screen.rects(handed), (std::vector<Rect>{{10, 10, 20, 20}}));
    with(id, [](uint8_t* r) { EXPECT_EQ(dobj_list_word(r, kDobjDamage), 0); });
    EXPECT_TRUE(dlist_purge_deleted(stage, DlistWalk::forward));
    EXPECT_TRUE(ids_of(stage).empty());
}

TEST_F(DobjTest, HitByPoint)
{
    static const struct {
        const char* name;
        uint16_t flags;
        int16_t sub_code;
        int32_t x, y;
        int32_t answer;
    } kRows[] = {
        {"inside", kDobjVisible, 0, 10, 19, 1},
        {"right edge is outside", kDobjVisible, 0, 20, 15, 0},
        {"deleted", kDobjVisible | kDobjDeleted, 0, 15, 15, 0},
        {"nonzero sub-code", kDobjVisible, 1, 15, 15, 0},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.name);
        uint32_t id = append(stage, kDobjKindBase, row.flags, Rect{10, 10, 20, 20});
        DisplayMsgArg arg;
        arg.x = row.x;
        arg.y = row.y;
        arg.sub_code = row.sub_code;
        EXPECT_EQ(send(id, kMsgHitByPoint, &arg), row.answer);
        EXPECT_EQ(arg.object_id, row.answer ? -1 : 0);
    }
}

TEST_F(DobjTest, ForwardByIdReachesOnlyTheObjectWithTheId)
{
    uint32_t a = append(stage, kRecordingKind, kDobjVisible, Rect{1, 2, 3, 4});
    uint32_t b = append(stage, kRecordingKind, kDobjVisible, Rect{5, 6, 7, 8});
    DisplayMsgArg arg;
    arg.object_id = int32_t(b);
    arg.sub_code = 41;
    arg.result = 1234;
    EXPECT_EQ(send(a, kMsgForward, &arg), 0);
    EXPECT_EQ(arg.result, 1234);

    DisplayMsgArg inner;
    screen.sent.clear();
    EXPECT_EQ(dobj_send_by_id(b, kMsgGetBounds, &inner), 0);
    EXPECT_EQ(inner.rect, (Rect{5, 6, 7, 8}));
    EXPECT_EQ(dobj_send_by_id(b, 41, nullptr), 1);
    EXPECT_EQ(dobj_send_by_id(9999, 41, nullptr), 0);
    EXPECT_EQ(stage.lock_count, 0);
}

TEST_F(DobjTest, FindFirstAsksFromTheBack)
{
    append(stage, kDobjKindBase, 0, Rect{0, 0, 1, 1});
    uint32_t wide = append(stage, kDobjKindBase, 0, Rect{0, 0, 100, 1});
    append(stage, kDobjKindBase, 0, Rect{0, 0, 200, 1});
    DisplayQuery wider_than = [](uint8_t* object, void* data) -> int32_t {
        return dobj_rect(object, kDobjBounds).right > *static_cast<int32_t*>(data);
    };
    int32_t limit = 50;
    EXPECT_EQ(dobj_find_first(nullptr, wider_than, &limit), wide);
    limit = 500;
    EXPECT_EQ(dobj_find_first(nullptr, wider_than, &limit), 0u);
    DisplayList empty;
    EXPECT_EQ(dobj_find_first(&empty, wider_than, &limit), 0u);
}

TEST_F(DobjTest, PlaneChanges)
{
    static const struct {
        const char* name;
        uint16_t from, to;
        int32_t answer_32;
        std::vector<int> messages; // after the bounds query
        int damaged_plane;         // 0: none
    } kRows[] = {
        {"up: old plane damaged, then an update", kDobjPlaneBottom, kDobjPlaneScreen, 0, {kMsgUpdate}, 2},
        {"down: damage", kDobjPlaneScreen, kDobjPlaneBottom, 0, {kMsgWantsUpdate, kMsgDamage}, 0},
        {"down, asking for an update", kDobjPlaneScreen, kDobjPlaneBottom, 1, {kMsgWantsUpdate, kMsgUpdate}, 0},
        {"same plane: nothing", kDobjPlaneMiddle, kDobjPlaneMiddle, 0, {}, 0},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.name);
        screen.answer_32 = row.answer_32;
        screen.plane_damage.clear();
        uint32_t id = append(stage, kRecordingKind, kDobjVisible | row.from, Rect{10, 10, 20, 20});
        screen.sent.clear();
        DisplayMsgArg arg;
        arg.sub_code = int16_t(row.to);
        EXPECT_EQ(send(id, kMsgSetPlane, &arg), 1);
        std::vector<int> messages;
        for (const Sent& s : screen.sent)
            if (s.message != kMsgSetPlane && s.message != kMsgGetBounds)
                messages.push_back(s.message);
        EXPECT_EQ(messages, row.messages);
        with(id, [&](uint8_t* r) { EXPECT_EQ(dobj_flags(r), kDobjVisible | row.to); });
        if (row.damaged_plane) {
            ASSERT_EQ(screen.plane_damage.size(), 1u);
            EXPECT_EQ(screen.plane_damage[0].first, (Rect{10, 10, 20, 20}));
            EXPECT_EQ(screen.plane_damage[0].second, row.damaged_plane);
        } else {
            EXPECT_TRUE(screen.plane_damage.empty());
        }
    }
}

TEST_F(DobjTest, BoundsExtentAndMove)
{
    uint32_t id = append(stage, kRecordingKind, kDobjVisible | kDobjPlaneBottom, Rect{10, 10, 20, 20});
    static uint8_t notice[20];
    static int notice_code = 0;
    DisplayMsgArg arg;
    arg.extent_notice = [](int code, const uint8_t* record, int size) {
        notice_code = code;
        ASSERT_EQ(size, 20);
        std::memcpy(notice, record, 20);
    };
    send(id, kMsgComputeExtent, &arg);
    EXPECT_EQ(notice_code, 2);
    EXPECT_EQ(plat::load_u32le(notice), id);
    EXPECT_EQ(int32_t(plat::load_u32le(notice + 12)), 20);
    DisplayMsgArg got;
    send(id, kMsgGetExtent, &got);
    EXPECT_EQ(got.rect, (Rect{10, 10, 20, 20}));

    uint8_t move_record[20] = {};
    Rect target{100, 100, 130, 140};
    plat::store_u32le(move_record + 4, 100);
    plat::store_u32le(move_record + 8, 100);
    plat::store_u32le(move_record + 12, 130);
    plat::store_u32le(move_record + 16, 140);
    DisplayMsgArg move;
    move.caller_data = move_record;
    screen.sent.clear();
    send(id, kMsgMoveTo, &move);
    std::vector<int> messages;
    for (const Sent& s : screen.sent)
        messages.push_back(s.message);
    EXPECT_EQ(messages, (std::vector<int>{kMsgMoveTo, kMsgDamage, kMsgSetBounds, kMsgDamage, kMsgMoved}));
    with(id, [&](uint8_t* r) {
        EXPECT_EQ(dobj_rect(r, kDobjBounds), target);
        EXPECT_EQ(screen.rects(dobj_list_word(r, kDobjDamage)), (std::vector<Rect>{{10, 10, 20, 20}, target}));
    });
    DisplayMsgArg drop;
    send(id, kMsgUpdate);
    send(id, kMsgDropUpdate, &drop);
    with(id, [](uint8_t* r) { EXPECT_EQ(dobj_list_word(r, kDobjUpdate), 0); });
}

TEST_F(DobjTest, KindRegistry)
{
    static const struct {
        int32_t index;
        uint32_t kind;
    } kIndexRows[] = {{0, 0}, {3, 3}, {10, 10}, {11, 0}, {-1, 0}, {300, 0}};
    for (const auto& row : kIndexRows) {
        SCOPED_TRACE(row.index);
        EXPECT_EQ(dobj_index_to_handler(row.index), row.kind);
    }
    EXPECT_EQ(dobj_handler_to_index(kDobjMemberKinds + 1), 0u);
    EXPECT_EQ(dobj_handler_to_index(7), 7u);
    // Empty entries and unknown ids answer as the base.
    EXPECT_EQ(dobj_handler_of(3), &dobj_default_handler);
    EXPECT_EQ(dobj_handler_of(0xFFFFFFFF), &dobj_default_handler);
    EXPECT_EQ(dobj_handler_of(kRecordingKind), &recording_handler);
    dobj_register_kind(kRecordingKind, nullptr);
    EXPECT_EQ(dobj_handler_of(kRecordingKind), &dobj_default_handler);
}

class DobjDrawTest : public DobjTest {};

TEST_F(DobjDrawTest, PlaceholderIsAGreyCheckeredBoxAndOthersDrawNothing)
{
    gditest::Canvas canvas(40, 40);
    uint32_t plain = append(stage, kDobjKindBase, kDobjVisible, Rect{2, 2, 12, 12});
    uint32_t box = append(stage, kDobjKindBase, kDobjVisible | kDobjPlaceholder, Rect{20, 20, 30, 30});
    DisplayMsgArg arg;
    arg.dc = canvas.dc;
    arg.draw_mode = 0;
    EXPECT_EQ(send(plain, kMsgDraw, &arg), 0);
    EXPECT_EQ(canvas.count(gditest::kWhite), 40 * 40);
    EXPECT_EQ(send(box, kMsgDraw, &arg), 0);
    EXPECT_EQ(canvas.at(20, 20), 0x7F7F7Fu); // the outline
    EXPECT_EQ(canvas.at(29, 25), 0x7F7F7Fu);
    EXPECT_EQ(canvas.at(30, 25), gditest::kWhite);
    std::string row = canvas.row(25, 21, 29, 0x7F7F7F);
    EXPECT_TRUE(row == "#.#.#.#." || row == ".#.#.#.#") << row;
}

TEST_F(DobjDrawTest, HighlightInvertsTheBoundsAndMessage33DrawsTheCallersRect)
{
    gditest::Canvas canvas(40, 40);
    uint32_t id = append(stage, kDobjKindBase, kDobjVisible, Rect{5, 5, 15, 15});
    DisplayMsgArg arg;
    arg.dc = canvas.dc;
    send(id, kMsgHighlight, &arg);
    EXPECT_EQ(canvas.count(gditest::kBlack), 100);
    EXPECT_EQ(canvas.at(5, 5), gditest::kBlack);
    EXPECT_EQ(canvas.at(14, 14), gditest::kBlack);
    send(id, kMsgHighlight, &arg);
    EXPECT_EQ(canvas.count(gditest::kWhite), 40 * 40);

    DrawStyle style;
    gdi_style_init(&style);
    style.line_on = 0;
    DisplayMsgArg rect_arg;
    rect_arg.dc = canvas.dc;
    rect_arg.style = &style;
    rect_arg.rect = Rect{0, 0, 4, 4};
    send(id, kMsgDrawRect, &rect_arg);
    EXPECT_EQ(canvas.count(gditest::kBlack), 16);
}

} // namespace
