// Icon display objects: the tail, placement by layer, locked lookups, walks, the erasing
// roads, layer moves, hit tests by plane, the wrapper and the display sequence hooks.
#include "runtime/display/dobj_icon.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/display/group.h"
#include "runtime/engine/exec_hooks.h"
#include "runtime/engine/icon_seq.h"
#include "tests/display/display_fixture.h"
#include "tests/display/text_fixture.h"

namespace {

using namespace disptest;

// Hits inside its bounds; everything else as the recording kind.
constexpr uint32_t kHitKind = kDobjOtherKinds + 14;
int32_t hit_in_bounds(uint8_t* object, int message, DisplayMsgArg* arg)
{
    if (message == kMsgHitTest)
        return plat::pt_in_rect(dobj_rect(object, kDobjBounds), Point{arg->x, arg->y}) ? 1 : 0;
    return recording_handler(object, message, arg);
}

constexpr uint32_t kKindData = 8;

// What the hooks lent to icon objects saw.
struct HookLog {
    IconObjectRef focus;
    int focus_sets = 0;
    int interaction_resets = 0;
    std::vector<std::string> calls;
};
HookLog* g_log = nullptr;

// Node n of file slot 1; node 0 stands for "no icon".
IconId icon_n(uint32_t n) { return n ? node_make_icon(1, n) : 0; }

class IconObjectTest : public DisplayTest {
protected:
    HookLog log;
    DisplayList& stage = dlist_stage();

    void SetUp() override
    {
        DisplayTest::SetUp();
        dobj_icon_reset();
        icon_seq_reset();
        exec_set_hooks(nullptr);
        dobj_icon_init();
        dobj_register_kind(kHitKind, hit_in_bounds);
        g_log = &log;
        DobjIconHooks hooks{};
        hooks.focus_get = [](IconObjectRef& out) { out = g_log->focus; };
        hooks.focus_set = [](IconId icon, uint16_t kind) {
            g_log->focus = IconObjectRef{icon, kind};
            g_log->focus_sets++;
            return 1;
        };
        hooks.interaction_reset = [] { g_log->interaction_resets++; };
        hooks.zoom = [](IconId icon, uint16_t kind, int showing) {
            g_log->calls.push_back("zoom " + std::to_string(node_icon_number(icon)) + " " + std::to_string(kind) + " "
                + std::to_string(showing));
        };
        hooks.motion_task_start = [] { g_log->calls.push_back("motion start"); };
        hooks.motion_state_free = [](uint8_t*) { g_log->calls.push_back("motion free"); };
        hooks.motion_clock_pause = [](uint8_t*, int resume) {
            g_log->calls.push_back("clock " + std::to_string(resume));
        };
        hooks.motion_path_write = [](uint8_t*, DisplayMsgArg*) {
            g_log->calls.push_back("path write");
            return 0;
        };
        hooks.motion_path_read = [](uint8_t*, DisplayMsgArg*) {
            g_log->calls.push_back("path read");
            return 0;
        };
        dobj_set_icon_hooks(hooks);
    }
    void TearDown() override
    {
        dobj_icon_reset();
        exec_set_hooks(nullptr);
        icon_seq_reset();
        g_log = nullptr;
        DisplayTest::TearDown();
    }

    uint32_t create(uint32_t node, uint16_t kind, uint16_t planes, int32_t layer, uint16_t flags = 0,
        Rect bounds = Rect{10, 10, 50, 50}, uint32_t handler = kRecordingKind)
    {
        std::vector<uint8_t> record = make_record(kDobjHeaderSize + kKindData, 0, flags, bounds);
        record.resize(record.size() + kIconTailSize);
        return dobj_create_for_icon(record.data(), handler, icon_n(node), kind, planes, layer);
    }
    // Node numbers of the live icon objects, back to front.
    std::vector<uint32_t> order()
    {
        std::vector<uint32_t> nodes;
        dlist_lock(stage);
        for (uint8_t* r = dlist_first(stage); r; r = dlist_next(r))
            if (dobj_is_icon_object(r) && !(dobj_flags(r) & kDobjDeleted))
                nodes.push_back(node_icon_number(dobj_icon_of(r)));
        dlist_unlock(stage);
        return nodes;
    }
    // Runs fn on the live object of (node, kind), the stage locked around it.
    template <typename Fn> void with(uint32_t node, uint16_t kind, Fn fn)
    {
        uint8_t* object = dobj_find_icon(icon_n(node), kind);
        ASSERT_NE(object, nullptr);
        fn(object);
        dlist_unlock(stage);
    }
    std::vector<uint32_t> erased_nodes()
    {
        std::vector<uint32_t> nodes;
        dlist_lock(stage);
        for (uint8_t* r = dlist_first(stage); r; r = dlist_next(r))
            if (dobj_is_icon_object(r) && (dobj_flags(r) & kDobjDeleted))
                nodes.push_back(node_icon_number(dobj_icon_of(r)));
        dlist_unlock(stage);
        return nodes;
    }
};

TEST_F(IconObjectTest, CreationFillsTheTailAndUpdatesTheNewObject)
{
    uint32_t id = create(7, 3, 0, -4);
    ASSERT_NE(id, 0u);
    EXPECT_EQ(stage.lock_count, 0);
    with(7, 3, [&](uint8_t* object) {
        EXPECT_EQ(dobj_id(object), id);
        EXPECT_EQ(dobj_length(object), kDobjHeaderSize + kKindData + kIconTailSize);
        EXPECT_EQ(dobj_kind(object), kDobjKindIconWrapper);
        EXPECT_EQ(dobj_flags(object), kDobjVisible | kDobjPlaneBottom); // plane 0 means the bottom
        const uint8_t* tail = dobj_icon_tail(object);
        std::vector<uint8_t> expected(kIconTailSize, 0);
        plat::store_u32le(expected.data() + kIconTailKind, kRecordingKind);
        plat::store_u32le(expected.data() + kIconTailIcon, icon_n(7));
        plat::store_u16le(expected.data() + kIconTailObjectKind, 3);
        plat::store_u32le(expected.data() + kIconTailLayer, uint32_t(-4));
        plat::store_u32le(expected.data() + kIconTailMotion, 2);
        plat::store_u16le(expected.data() + kIconTailPlane, kDobjPlaneBottom);
        EXPECT_EQ(std::vector<uint8_t>(tail, tail + kIconTailSize), expected);
        EXPECT_EQ(screen.rects(dobj_list_word(object, kDobjUpdate)), (std::vector<Rect>{{10, 10, 50, 50}}));
    });
    // Message 7 reached the kind through the wrapper.
    EXPECT_EQ(screen.sent, (std::vector<Sent>{{id, kMsgUpdate}}));
}

TEST_F(IconObjectTest, PlacementFollowsTheLayers)
{
    static const struct {
        const char* name;
        std::vector<int32_t> layers; // node n + 1 gets layers[n]
        std::vector<uint32_t> back_to_front;
    } kRows[] = {
        {"equal layers: the later in front", {5, 3, 5}, {2, 1, 3}},
        {"the front layer stays in front", {kIconLayerFront, 7, 2, 900000}, {3, 2, 4, 1}},
        {"negative layers", {-1, 0, -5}, {3, 1, 2}},
        {"two front layers: the later in front", {kIconLayerFront, kIconLayerFront, 1}, {3, 1, 2}},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.name);
        dlist_reset();
        for (size_t n = 0; n < row.layers.size(); n++)
            ASSERT_NE(create(uint32_t(n + 1), 0, kDobjPlaneMiddle, row.layers[n]), 0u);
        EXPECT_EQ(order(), row.back_to_front);
    }
}

TEST_F(IconObjectTest, OthersDoNotTakePartInTheOrder)
{
    create(1, 0, kDobjPlaneBottom, 1);
    uint32_t plain = append(stage, kRecordingKind, kDobjVisible | kDobjPlaneBottom, Rect{0, 0, 5, 5});
    create(2, 0, 0x0100 /* no plane bit after masking: the bottom */, 9);
    create(3, 0, kDobjPlaneBottom, 5);
    // 3 goes behind 2 (layer 9), in front of 1; the plain object keeps its place after 1.
    EXPECT_EQ(order(), (std::vector<uint32_t>{1, 3, 2}));
    std::vector<uint32_t> ids = ids_of(stage);
    EXPECT_EQ(ids[1], plain);
}

TEST_F(IconObjectTest, ASecondObjectOfThePairIsRefusedUnlessTheFirstIsErased)
{
    EXPECT_EQ(create(0, 0, kDobjPlaneBottom, 0), 0u) << "icon 0";
    ASSERT_NE(create(4, 1, kDobjPlaneBottom, 0), 0u);
    std::vector<uint8_t> before = block_bytes(stage);
    EXPECT_EQ(create(4, 1, kDobjPlaneMiddle, 3), 0u);
    EXPECT_EQ(block_bytes(stage), before);
    EXPECT_NE(create(4, 2, kDobjPlaneBottom, 0), 0u) << "another object kind";
    dobj_erase_icon(icon_n(4), 1);
    EXPECT_NE(create(4, 1, kDobjPlaneBottom, 0), 0u) << "the erased one does not count";
    EXPECT_EQ(stage.lock_count, 0);
}

TEST_F(IconObjectTest, LookupsLeaveTheListLockedOnlyWhenTheyFindSomething)
{
    uint32_t live = create(1, 0, kDobjPlaneBottom, 0, 0, Rect{10, 20, 31, 41});
    uint32_t erased = create(2, 0, kDobjPlaneBottom, 0);
    dobj_erase_icon(icon_n(2), 0);
    uint32_t plain = append(stage, kRecordingKind, kDobjVisible, Rect{});
    static const struct {
        const char* name;
        uint32_t id;
        bool found;
    } kById[] = {{"live", live, true}, {"erased", erased, false}, {"not an icon object", plain, false},
        {"absent", 999, false}};
    for (const auto& row : kById) {
        SCOPED_TRACE(row.name);
        uint8_t* object = dobj_find_icon_by_id(row.id);
        EXPECT_EQ(object != nullptr, row.found);
        EXPECT_EQ(stage.lock_count, row.found ? 1 : 0);
        if (object)
            dlist_unlock(stage);
    }
    EXPECT_EQ(dobj_find_icon(icon_n(2), 0), nullptr);
    EXPECT_EQ(stage.lock_count, 0);
    Rect rect;
    Point centre;
    EXPECT_TRUE(dobj_icon_rect(icon_n(1), 0, rect));
    EXPECT_EQ(rect, (Rect{10, 20, 31, 41}));
    EXPECT_TRUE(dobj_icon_center(icon_n(1), 0, centre));
    EXPECT_EQ(centre, (Point{20, 30}));
    EXPECT_FALSE(dobj_icon_center(icon_n(1), 5, centre));
    EXPECT_TRUE(dobj_icon_exists(icon_n(1), 0));
    EXPECT_FALSE(dobj_icon_exists(icon_n(2), 0));
    EXPECT_EQ(stage.lock_count, 0);
}

TEST_F(IconObjectTest, WalksGoBothWaysOverLiveObjectsAndStopAtAZero)
{
    for (uint32_t n = 1; n <= 4; n++)
        create(n, uint16_t(n * 10), kDobjPlaneBottom, int32_t(n));
    dobj_erase_icon(icon_n(2), 20);
    struct Visit {
        std::vector<uint32_t> nodes;
        uint32_t stop_at = 0;
        int depth = 0;
    } visit;
    auto visitor = [](uint8_t* object, void* data, void* user) {
        auto& v = *static_cast<Visit*>(data);
        EXPECT_EQ(user, &v);
        v.nodes.push_back(node_icon_number(dobj_icon_of(object)));
        v.depth = dobj_walk_depth();
        return node_icon_number(dobj_icon_of(object)) == v.stop_at ? 0 : 1;
    };
    IconObjectRef found{1, 1};
    dobj_for_each_icon(visitor, &visit, &visit, &found);
    EXPECT_EQ(visit.nodes, (std::vector<uint32_t>{4, 3, 1}));
    EXPECT_EQ(found.icon, 0u);
    EXPECT_EQ(visit.depth, 1);
    EXPECT_EQ(dobj_walk_depth(), 0);
    visit = Visit{};
    visit.stop_at = 3;
    dobj_for_each_icon_forward(visitor, &visit, &visit, &found);
    EXPECT_EQ(visit.nodes, (std::vector<uint32_t>{1, 3}));
    EXPECT_EQ(found.icon, icon_n(3));
    EXPECT_EQ(found.object_kind, 30);
    EXPECT_EQ(stage.lock_count, 0);
}

TEST_F(IconObjectTest, AutomaticErasingTakesOnlyErasableObjects)
{
    struct Obj {
        int16_t sequence;
        int32_t layer;
        uint16_t planes;
        int32_t erasable;
    };
    // Nodes 1..6.
    static const Obj kObjects[] = {
        {3, 0, kDobjPlaneBottom, 1},                     // 1
        {4, -2, kDobjPlaneBottom, 1},                    // 2
        {5, 0, kDobjPlaneMiddle, 1},                     // 3
        {6, 4, kDobjPlaneMiddle, 1},                     // 4
        {4, 0, kDobjPlaneBottom, 0},                     // 5: never erased automatically
        {9, 2, kDobjPlaneBottom | kDobjPlaneScreen, 1},  // 6
    };
    static const struct {
        const char* name;
        void (*erase)();
        std::vector<uint32_t> erased;
    } kRows[] = {
        {"sequence 4..6", [] { dobj_erase_by_sequence(4, 6); }, {2, 3, 4}},
        {"sequence 5..3 does nothing", [] { dobj_erase_by_sequence(5, 3); }, {}},
        {"sequence 8.. the counter (12)", [] { dobj_erase_by_sequence(8, 0); }, {6}},
        {"layer 0: the bottom plane alone", [] { dobj_erase_from_layer(0); }, {1, 2}},
        {"layer 2", [] { dobj_erase_from_layer(2); }, {1, 2, 3, 6}},
        {"layer -1: the bottom plane alone", [] { dobj_erase_from_layer(-1); }, {2}},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.name);
        dlist_reset();
        icon_seq_set_counter(12);
        for (uint32_t n = 1; n <= 6; n++) {
            const Obj& o = kObjects[n - 1];
            create(n, 0, o.planes, o.layer);
            with(n, 0, [&](uint8_t* object) {
                dobj_icon_set_sequence(object, o.sequence);
                dobj_icon_set_erase_allowed(object, o.erasable);
            });
        }
        row.erase();
        std::vector<uint32_t> erased = erased_nodes();
        std::sort(erased.begin(), erased.end());
        EXPECT_EQ(erased, row.erased);
        EXPECT_EQ(stage.lock_count, 0);
    }
}

TEST_F(IconObjectTest, ErasingAllClearsFocusAndInteractionAndTakesEverything)
{
    create(1, 0, kDobjPlaneBottom, 0, kDobjTracking);
    create(2, 0, kDobjPlaneMiddle, 3);
    EXPECT_TRUE(dobj_pointer_tracking());
    log.focus = IconObjectRef{icon_n(2), 0};
    dobj_erase_all();
    EXPECT_EQ(log.focus.icon, 0u);
    EXPECT_EQ(log.interaction_resets, 1);
    EXPECT_EQ(order(), std::vector<uint32_t>{});
    EXPECT_FALSE(dobj_pointer_tracking());
    EXPECT_TRUE(log.calls.empty()) << "no zoom for a wholesale erase";
}

TEST_F(IconObjectTest, PointerTrackingFollowsTheObjectsThatAskForIt)
{
    create(1, 0, kDobjPlaneBottom, 0, kDobjTracking);
    create(2, 0, kDobjPlaneBottom, 0, kDobjTracking);
    EXPECT_TRUE(dobj_pointer_tracking());
    dobj_erase_icon(icon_n(1), 0);
    EXPECT_TRUE(dobj_pointer_tracking()) << "one is left";
    dobj_erase_icon(icon_n(2), 0);
    EXPECT_FALSE(dobj_pointer_tracking());
}

TEST_F(IconObjectTest, ErasingAndHidingRunTheZoomFirst)
{
    uint32_t a = create(1, 0, kDobjPlaneBottom, 0);
    uint32_t b = create(2, 0, kDobjPlaneBottom, 0);
    screen.sent.clear();
    dobj_erase_icon(icon_n(1), 0);
    dobj_hide_icon(icon_n(2), 0);
    EXPECT_EQ(log.calls, (std::vector<std::string>{"zoom 1 0 0", "zoom 2 0 0"}));
    EXPECT_EQ(screen.sent, (std::vector<Sent>{{a, kMsgErase}, {a, kMsgDamage}, {b, kMsgDamage}}));
    // Hidden stays in the list, live but invisible.
    with(2, 0, [](uint8_t* object) { EXPECT_EQ(dobj_flags(object) & (kDobjVisible | kDobjDeleted), 0); });
}

TEST_F(IconObjectTest, LayerChangesMoveOnlyWhenTheNeighboursAskForIt)
{
    static const struct {
        const char* name;
        uint32_t node; // of nodes 1 (layer 1), 2 (layer 3), 3 (layer 5), back to front
        int32_t layer;
        int mode;
        std::vector<uint32_t> back_to_front;
        bool placeholder; // a moved copy leaves a deleted record behind
    } kRows[] = {
        {"to the front neighbour's layer, mode 1: in front", 2, 5, kLayerModeFront, {1, 3, 2}, true},
        {"to the front neighbour's layer, mode 0: stays", 2, 5, 0, {1, 2, 3}, false},
        {"between its neighbours: stays", 2, 4, kLayerModeFront, {1, 2, 3}, false},
        {"below the back neighbour: behind it", 2, 0, kLayerModeFront, {2, 1, 3}, true},
        {"past the front, mode 2: in front", 1, 9, kLayerModeBehind, {2, 3, 1}, true},
        {"to the back neighbour's layer: stays", 3, 3, kLayerModeFront, {1, 2, 3}, false},
        {"mode 2 to a layer held in front: behind its equals", 1, 5, kLayerModeBehind, {2, 1, 3}, true},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.name);
        dlist_reset();
        uint32_t ids[4] = {0, create(1, 0, kDobjPlaneBottom, 1), create(2, 0, kDobjPlaneBottom, 3),
            create(3, 0, kDobjPlaneBottom, 5)};
        EXPECT_EQ(dobj_set_icon_layer(icon_n(row.node), 0, row.layer, row.mode), ids[row.node]);
        EXPECT_EQ(order(), row.back_to_front);
        with(row.node, 0, [&](uint8_t* object) {
            EXPECT_EQ(dobj_id(object), ids[row.node]);
            EXPECT_EQ(dobj_icon_layer(object), row.layer);
        });
        bool placeholder = ids_of(stage).size() == 4;
        EXPECT_EQ(placeholder, row.placeholder);
        dlist_purge_deleted(stage, DlistWalk::forward);
        EXPECT_EQ(ids_of(stage).size(), 3u);
        EXPECT_EQ(stage.lock_count, 0);
    }
    EXPECT_EQ(dobj_set_icon_layer(icon_n(9), 0, 1, kLayerModeFront), 0u);
}

TEST_F(IconObjectTest, HitsAreSoughtScreenAloneThenMiddleThenBottom)
{
    // All three cover (30, 30); 1 is at the back but alone on the screen plane.
    create(1, 4, kDobjPlaneScreen, 0, 0, Rect{0, 0, 100, 100}, kHitKind);
    create(2, 5, kDobjPlaneBottom | kDobjPlaneScreen, 7, 0, Rect{0, 0, 100, 100}, kHitKind);
    create(3, 6, kDobjPlaneMiddle, 9, 0, Rect{0, 0, 60, 60}, kHitKind);
    static const struct {
        const char* name;
        Point at;
        uint32_t node;
        uint16_t kind;
    } kRows[] = {
        {"the screen-plane object wins", {30, 30}, 1, 4},
        {"nothing there", {500, 500}, 0, 0},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.name);
        IconObjectRef ref;
        EXPECT_EQ(dobj_icon_at_point(row.at.x, row.at.y, ref), row.kind);
        EXPECT_EQ(ref.icon, row.node ? icon_n(row.node) : 0u);
    }
    // Without the screen-alone object: the middle walk finds 3 before the bottom walk finds 2.
    dobj_erase_icon(icon_n(1), 4);
    IconObjectRef ref;
    EXPECT_EQ(dobj_icon_at_point(30, 30, ref), 6);
    // Outside 3, the object on planes 2 and 8 is found by the bottom walk.
    ref = IconObjectRef{};
    EXPECT_EQ(dobj_icon_at_point(80, 80, ref), 5);
    // A hidden object is never hit.
    dobj_hide_icon(icon_n(2), 5);
    ref = IconObjectRef{};
    EXPECT_EQ(dobj_icon_at_point(80, 80, ref), 0);
    // A record that names an object already is answered as it is.
    ref = IconObjectRef{icon_n(8), 3};
    EXPECT_EQ(dobj_icon_at_point(30, 30, ref), 3);
    EXPECT_EQ(ref.icon, icon_n(8));
}

TEST_F(IconObjectTest, TheWrapperAddsFocusMotionAndTriggersAroundTheKind)
{
    uint32_t id = create(1, 2, kDobjPlaneBottom, 0);
    static const struct {
        const char* name;
        int32_t motion_word;
        int message;
        int16_t sub_code;
        std::vector<std::string> calls;
    } kRows[] = {
        {"destroy frees the motion state", 2, kMsgDestroy, 0, {"motion free"}},
        {"suspend pauses a running motion's clock", 0, 65, 0, {"clock 0"}},
        {"resume releases it", 0, 65, 1, {"clock 1"}},
        {"no clock without motion", 2, 65, 0, {}},
        {"save writes a touched motion's path", 1, 66, 0, {"path write"}},
        {"untouched: nothing saved", 2, 66, 0, {}},
        {"restore reads it", 0, 67, 0, {"path read"}},
        {"untouched: nothing read", 2, 67, 0, {}},
        {"others only reach the kind", 0, kMsgIdle, 0, {}},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.name);
        log.calls.clear();
        screen.sent.clear();
        with(1, 2, [&](uint8_t* object) {
            plat::store_u32le(dobj_icon_tail(object) + kIconTailMotion, uint32_t(row.motion_word));
            DisplayMsgArg arg;
            arg.sub_code = row.sub_code;
            dobj_send(object, row.message, &arg);
        });
        EXPECT_EQ(log.calls, row.calls);
        EXPECT_EQ(screen.sent, (std::vector<Sent>{{id, row.message}}));
    }
}

TEST_F(IconObjectTest, ErasingTheFocusObjectLeavesNoFocus)
{
    create(1, 2, kDobjPlaneBottom, 0);
    create(1, 3, kDobjPlaneBottom, 0);
    log.focus = IconObjectRef{icon_n(1), 3};
    dobj_erase_icon(icon_n(1), 2);
    EXPECT_EQ(log.focus.icon, icon_n(1)) << "another object kind of the icon";
    dobj_erase_icon(icon_n(1), 3);
    EXPECT_EQ(log.focus.icon, 0u);
    EXPECT_EQ(log.focus_sets, 1);
}

TEST_F(IconObjectTest, AKindLeftToTheBaseIsAnsweredByTheBaseAlone)
{
    uint32_t id = create(1, 0, kDobjPlaneBottom, 0, 0, Rect{10, 10, 50, 50}, kDobjKindBase);
    ASSERT_NE(id, 0u);
    log.focus = IconObjectRef{icon_n(1), 0};
    with(1, 0, [](uint8_t* object) { dobj_send(object, kMsgDestroy, nullptr); });
    EXPECT_TRUE(log.calls.empty()) << "no motion free";
    dobj_erase_icon(icon_n(1), 0);
    EXPECT_EQ(log.focus_sets, 0);
    EXPECT_EQ(order(), std::vector<uint32_t>{});
}

TEST_F(IconObjectTest, SteppingStartsTheMotionTask)
{
    create(1, 0, kDobjPlaneBottom, 0);
    with(1, 0, [](uint8_t* object) {
        dobj_set_stepping(object, false);
        EXPECT_EQ(plat::load_u32le(dobj_icon_tail(object) + kIconTailStepping), 0u);
        dobj_set_stepping(object, true);
        EXPECT_EQ(plat::load_u32le(dobj_icon_tail(object) + kIconTailStepping), 1u);
    });
    EXPECT_EQ(log.calls, (std::vector<std::string>{"motion start"}));
}

TEST_F(IconObjectTest, PlaneChangesAndRecentringGoThroughMessages)
{
    uint32_t id = create(1, 0, kDobjPlaneScreen, 0, 0, Rect{0, 0, 20, 10});
    screen.sent.clear();
    dobj_set_icon_plane(icon_n(1), 0, kDobjPlaneBottom);
    EXPECT_EQ(screen.sent.front(), (Sent{id, kMsgSetPlane}));
    with(1, 0, [](uint8_t* object) {
        EXPECT_EQ(dobj_flags(object) & kDobjPlaneBits, kDobjPlaneBottom);
        DisplayMsgArg arg;
        arg.rect = Rect{100, 100, 140, 160}; // centre (120, 130)
        EXPECT_EQ(dobj_recentre_on_move(object, kMsgSetBounds, &arg), 0);
        EXPECT_EQ(dobj_rect(object, kDobjBounds), (Rect{110, 125, 130, 135}));
    });
}

TEST_F(IconObjectTest, TheOleMemberOfTheIconsOwnObjectIsFoundThroughItsGroup)
{
    DisplayList members;
    append(members, kDobjMemberKinds + kMemberRect, kDobjVisible, Rect{0, 0, 10, 10});
    uint32_t ole = append(members, kDobjMemberKinds + kMemberOle, kDobjVisible, Rect{5, 5, 20, 20});
    ASSERT_NE(group_create_for_icon(members, kDobjKindGroup, icon_n(1), 0, kDobjPlaneBottom, 0), 0u);
    uint8_t* found = dobj_find_ole_object(icon_n(1));
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(dobj_id(found), ole);
    EXPECT_EQ(stage.lock_count, 0);
    EXPECT_EQ(dobj_find_ole_object(icon_n(2)), nullptr) << "no object";
    DisplayList plain;
    append(plain, kDobjMemberKinds + kMemberLine, kDobjVisible, Rect{});
    group_create_for_icon(plain, kDobjKindGroup, icon_n(3), 0, kDobjPlaneBottom, 0);
    EXPECT_EQ(dobj_find_ole_object(icon_n(3)), nullptr) << "no OLE member";
    dobj_erase_all();
    dlist_purge_deleted(stage, DlistWalk::forward);
}

TEST_F(IconObjectTest, SequenceHooksReachTheLiveObjects)
{
    static const int16_t kSequences[] = {3, 7, 7, 12};
    for (uint32_t n = 1; n <= 4; n++) {
        create(n, 0, kDobjPlaneBottom, 0);
        with(n, 0, [&](uint8_t* object) { dobj_icon_set_sequence(object, kSequences[n - 1]); });
    }
    dobj_erase_icon(icon_n(4), 0);
    const ExecHooks& hooks = exec_hooks();
    ASSERT_TRUE(hooks.seq_objects_between && hooks.seq_objects_renumber);
    EXPECT_EQ(hooks.seq_objects_between(4, 7), 0) << "up to but excluding 7";
    EXPECT_EQ(hooks.seq_objects_between(4, 8), 1);
    EXPECT_EQ(hooks.seq_objects_between(12, 20), 0) << "12 is erased";
    static const uint16_t kBoundaries[] = {5, 7};
    hooks.seq_objects_renumber(kBoundaries, 2);
    static const int16_t kRenumbered[] = {0, 2, 2};
    for (uint32_t n = 1; n <= 3; n++)
        with(n, 0, [&](uint8_t* object) { EXPECT_EQ(dobj_icon_sequence(object), kRenumbered[n - 1]); });
}

// With a piece: the layer property and the "erase previous contents" attribute.
class IconObjectPieceTest : public texttest::PieceTextTest {
protected:
    Screen screen;
    void SetUp() override
    {
        PieceTextTest::SetUp();
        display_setup(screen);
        dobj_icon_reset();
    }
    void TearDown() override
    {
        display_teardown();
        dobj_icon_reset();
        PieceTextTest::TearDown();
    }
    IconId titled_icon(const char* title) { return titled(kPieceSlot, title); }
    uint32_t create(IconId icon, uint16_t kind, int32_t layer, int32_t erasable = 1)
    {
        std::vector<uint8_t> record = make_record(kDobjHeaderSize, 0, 0, Rect{0, 0, 10, 10});
        record.resize(record.size() + kIconTailSize);
        uint32_t id = dobj_create_for_icon(record.data(), kRecordingKind, icon, kind, kDobjPlaneBottom, layer);
        if (uint8_t* object = dobj_find_icon(icon, kind)) {
            dobj_icon_set_erase_allowed(object, erasable);
            dlist_unlock(dlist_stage());
        }
        return id;
    }
    int32_t layer_of(IconId icon, uint16_t kind)
    {
        uint8_t* object = dobj_find_icon(icon, kind);
        if (!object)
            return -999;
        int32_t layer = dobj_icon_layer(object);
        dlist_unlock(dlist_stage());
        return layer;
    }
};

TEST_F(IconObjectPieceTest, LayersComeFromTheIconOrItsParentByObjectKind)
{
    ASSERT_EQ(open_current(R"(kind PCRS
icon map "Top" {
    icon interaction "Ask" {
        code 1044 "6"
        icon calc "Answer" {
            code 1044 "2"
        }
    }
}
)"),
        0);
    IconId ask = titled_icon("Ask");
    IconId answer = titled_icon("Answer");
    static const struct {
        const char* name;
        IconId* icon;
        uint16_t kind;
        int32_t layer;
    } kRows[] = {
        {"kind 0: the icon's own", &ask, 0, 6},
        {"kind 2: the icon's own", &ask, 2, 6},
        {"kind 1: the parent's", &answer, 1, 6},
        {"kind 3: none", &ask, 3, 0},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.name);
        ASSERT_NE(create(*row.icon, row.kind, 40), 0u);
        dobj_apply_icon_layer(*row.icon, row.kind);
        EXPECT_EQ(layer_of(*row.icon, row.kind), row.layer);
    }
    EXPECT_TRUE(dobj_kind_in_layers(0));
    EXPECT_TRUE(dobj_kind_in_layers(2));
    EXPECT_TRUE(dobj_kind_in_layers(10));
    EXPECT_FALSE(dobj_kind_in_layers(1));
}

TEST_F(IconObjectPieceTest, ErasePreviousContentsClearsTheLayersUpToTheNewOnes)
{
    ASSERT_EQ(open_current(R"(kind PCRS
icon map "Top" {
    icon display "Old low"
    icon display "Old high"
    icon display "Kept"
    icon display "New" {
        attr 0x2030001 1
    }
}
)"),
        0);
    IconId low = titled_icon("Old low");
    IconId high = titled_icon("Old high");
    IconId kept = titled_icon("Kept");
    IconId fresh = titled_icon("New");
    create(low, 0, 2);
    create(high, 0, 8);
    create(kept, 0, 1, 0);
    // Another object kind of the icon does not erase.
    ASSERT_NE(create(fresh, 1, 5), 0u);
    EXPECT_TRUE(dobj_icon_exists(low, 0));
    ASSERT_NE(create(fresh, 0, 5), 0u);
    EXPECT_FALSE(dobj_icon_exists(low, 0));
    EXPECT_TRUE(dobj_icon_exists(high, 0));
    EXPECT_TRUE(dobj_icon_exists(kept, 0)) << "not erasable";
}

} // namespace
