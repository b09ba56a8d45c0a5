// The presentation state: Init, Save and Restore through the real learner's records, the four
// records byte for byte, Restores from damaged records, the relays of the other module
// messages, and the keyboard focus.
#include "runtime/display/screen_state.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "platform/backend/backend.h"
#include "platform/backend/script.h"
#include "platform/kernel/clock.h"
#include "platform/window/focus.h"
#include "runtime/base/errcode.h"
#include "runtime/display/dobj_focus.h"
#include "runtime/display/dobj_icon.h"
#include "runtime/display/group.h"
#include "runtime/display/palette.h"
#include "runtime/display/refresh.h"
#include "runtime/display/screen_window.h"
#include "runtime/display/shapes.h"
#include "runtime/engine/exec_hooks.h"
#include "runtime/engine/icon_seq.h"
#include "runtime/engine/urec.h"
#include "tests/display/display_fixture.h"
#include "tests/display/stage_window.h"
#include "tests/runtime/rec_store_fixture.h"

namespace {

using namespace disptest;

// A kind of the kind table that writes two pieces (tags 3 and 4) and reads back 3, 4 and 5.
constexpr uint32_t kTwoPieceKind = 7;
// A kind of the kind table that answers the focus message with its kind data's first byte.
constexpr uint32_t kFocusKind = 8;
constexpr uint32_t kKindData = 8;

struct Log {
    std::vector<std::string> calls;
    std::vector<std::vector<uint8_t>> read_back; // pieces 3, 4, 5 as read ("" for none)
};
Log* g_log = nullptr;

std::string call_text(const uint8_t* object, int message, int sub_code)
{
    return std::to_string(dobj_id(object)) + ":" + std::to_string(message) + "/" + std::to_string(sub_code);
}

int32_t two_piece_kind(uint8_t* object, int message, DisplayMsgArg* arg)
{
    if (message == 66) {
        arg->stream(3, const_cast<char*>("three"), 5, arg->caller_data);
        arg->stream(4, const_cast<char*>("four!!"), 6, arg->caller_data);
        return 0;
    }
    if (message == 67) {
        for (int tag : {3, 4, 5}) {
            MemHandle piece{uint32_t(arg->stream(tag, nullptr, 0, arg->caller_data))};
            const auto* bytes = piece ? static_cast<const uint8_t*>(mem_address(piece)) : nullptr;
            g_log->read_back.push_back(bytes ? std::vector<uint8_t>(bytes, bytes + mem_size(piece)) : std::vector<uint8_t>{});
            mem_free(piece);
        }
        return 0;
    }
    return recording_handler(object, message, arg);
}

int32_t focus_kind(uint8_t* object, int message, DisplayMsgArg* arg)
{
    if (message == kMsgFocus || message == 65 || message == 38 || message == 39 || message == kMsgDestroy
        || message == kMsgIdle)
        g_log->calls.push_back(call_text(object, message, arg ? arg->sub_code : 0));
    if (message == kMsgFocus)
        return object[kDobjHeaderSize];
    return dobj_default_handler(object, message, arg);
}

std::string call_text_of(uint32_t id, int message) { return std::to_string(id) + ":" + std::to_string(message) + "/0"; }

std::vector<uint8_t> bytes_of(const char* text) { return std::vector<uint8_t>(text, text + std::strlen(text)); }

class ScreenStateTest : public rectest::RecStoreTest {
protected:
    Screen screen;
    Log log;
    DisplayList& stage = dlist_stage();

    void SetUp() override
    {
        RecStoreTest::SetUp();
        display_setup(screen);
        pal_reset();
        dobj_icon_reset();
        exec_set_hooks(nullptr);
        icon_seq_reset();
        dobj_icon_init();
        screen_state_reset();
        screen_state_init();
        dobj_register_kind(kKindDisplayIcon, group_handler);
        dobj_register_kind(kTwoPieceKind, two_piece_kind);
        dobj_register_kind(kFocusKind, focus_kind);
        g_log = &log;
        ASSERT_EQ(urec_open(nullptr, 1), 0);
    }
    void TearDown() override
    {
        release();
        urec_close();
        screen_state_reset();
        screen_reset();
        dobj_icon_reset();
        modmsg_reset();
        display_teardown();
        g_log = nullptr;
        RecStoreTest::TearDown();
    }

    int send(int type, uint8_t* state = nullptr, int16_t size = kPresentationStateSize)
    {
        ModuleMessage message;
        message.message = type;
        message.state = state;
        message.size = size;
        return screen_state_module_handler(&message);
    }
    void init() { ASSERT_EQ(send(kModInit, state), 0); }
    int save() { return send(kModSave, state); }
    void release() { send(kModRelease); }
    int restore(int16_t size = kPresentationStateSize) { return send(kModRestore, state, size); }

    // An icon object of the kind with kind_data bytes (the first byte as given).
    uint32_t create(uint32_t node, uint32_t kind, uint8_t first_byte = 0, Rect bounds = Rect{10, 10, 50, 50})
    {
        std::vector<uint8_t> record = make_record(kDobjHeaderSize + kKindData, 0, 0, bounds);
        record[kDobjHeaderSize] = first_byte;
        record.resize(record.size() + kIconTailSize);
        return dobj_create_for_icon(record.data(), kind, node_make_icon(1, node), 0, kDobjPlaneBottom, 0);
    }
    // A Display icon object whose group holds a rectangle, an oval and a line.
    uint32_t create_group(uint32_t node)
    {
        DisplayList members;
        DrawStyle style;
        gdi_style_init(&style);
        shape_add_box(members, kMemberRect, style, Rect{50, 50, 100, 100}, kDobjVisible | kDobjPlaneBottom);
        shape_add_box(members, kMemberOval, style, Rect{0, 0, 30, 20}, kDobjVisible | kDobjPlaneBottom);
        shape_add_line(members, style, Point{5, 5}, Point{60, 40}, kDobjVisible | kDobjPlaneBottom);
        std::vector<uint8_t> record = make_record(kDobjHeaderSize + kDlistHeaderSize, 0, 0, Rect{0, 0, 100, 100});
        group_set_members(record.data(), members);
        record.resize(record.size() + kIconTailSize);
        return dobj_create_for_icon(record.data(), kKindDisplayIcon, node_make_icon(1, node), 0, kDobjPlaneBottom, 0);
    }
    uint32_t add_foreign()
    {
        return append(stage, kDobjOtherKinds + 9, kDobjVisible | kDobjPlaneBottom, Rect{1, 1, 5, 5});
    }

    // A list block as a later run compares it: list words and member blocks' ids mean nothing.
    static std::vector<uint8_t> comparable(std::vector<uint8_t> bytes)
    {
        for (uint32_t at = 2; at < bytes.size() && plat::load_u16le(&bytes[at]) != 0; at += dobj_length(&bytes[at]) + 2u) {
            std::fill(bytes.begin() + at + kDobjUpdate, bytes.begin() + at + kDobjExtent, 0);
            if (group_has_members(&bytes[at]))
                plat::store_u32le(&bytes[at + kDobjHeaderSize], 0);
        }
        return bytes;
    }
    std::vector<uint8_t> stage_bytes() { return stage.block ? comparable(block_bytes(stage)) : std::vector<uint8_t>{}; }
    std::vector<uint8_t> members_of(uint32_t id)
    {
        std::vector<uint8_t> bytes;
        dlist_lock(stage);
        if (uint8_t* group = dlist_find_top(stage, id))
            bytes = block_bytes(group_members(group));
        dlist_unlock(stage);
        return bytes;
    }
    std::vector<uint8_t> record(uint16_t number)
    {
        std::vector<uint8_t> bytes;
        EXPECT_EQ(urec_read(number, bytes), 0);
        return bytes;
    }
    uint16_t record_number(uint32_t offset) const { return plat::load_u16le(state + offset); }

    uint8_t state[kPresentationStateSize] = {};
};

TEST_F(ScreenStateTest, SaveAndRestoreGiveBackTheSameStage)
{
    init();
    uint32_t group = create_group(3);
    uint32_t pieces = create(4, kTwoPieceKind);
    uint32_t foreign = add_foreign();
    std::vector<uint8_t> before = stage_bytes();
    std::vector<uint8_t> members = comparable(members_of(group));
    ASSERT_EQ(save(), 0);
    release();
    EXPECT_FALSE(stage.block);

    ASSERT_EQ(restore(), 0);
    std::vector<uint8_t> after = stage_bytes();
    // The foreign object comes back as a deleted placeholder of the base kind.
    dlist_lock(stage);
    uint8_t* placeholder = dlist_find_top(stage, foreign);
    ASSERT_NE(placeholder, nullptr);
    EXPECT_EQ(dobj_kind(placeholder), kDobjKindBase);
    EXPECT_TRUE(dobj_flags(placeholder) & kDobjDeleted);
    dlist_unlock(stage);
    ASSERT_EQ(after.size(), before.size());
    uint32_t foreign_at = uint32_t(before.size()) - 2 - 60 - 2;
    EXPECT_EQ(std::vector<uint8_t>(after.begin(), after.begin() + foreign_at),
        std::vector<uint8_t>(before.begin(), before.begin() + foreign_at));
    EXPECT_EQ(comparable(members_of(group)), members);
    EXPECT_EQ(log.read_back, (std::vector<std::vector<uint8_t>>{bytes_of("three"), bytes_of("four!!"), {}}));

    // The next refresh purges the placeholder; new ids never repeat saved ones.
    screen_refresh();
    EXPECT_EQ(ids_of(stage), (std::vector<uint32_t>{group, pieces}));
    EXPECT_GT(add_foreign(), foreign);
}

TEST_F(ScreenStateTest, TheFourRecordsAreWrittenByteForByte)
{
    init();
    uint32_t group = create_group(3);
    uint32_t pieces = create(4, kTwoPieceKind);
    add_foreign();
    std::vector<uint8_t> live = block_bytes(stage);
    std::vector<uint8_t> members = members_of(group);
    ASSERT_EQ(save(), 0);

    // The state: four record numbers, no focus, told active 0, the id after the last one.
    uint32_t next_id = dlist_next_id() - 1;
    EXPECT_EQ(plat::load_u32le(state + 8), 0u);
    EXPECT_EQ(plat::load_u16le(state + 12), 0u);
    EXPECT_EQ(plat::load_u32le(state + 14), 0u);
    EXPECT_EQ(plat::load_u32le(state + 18), next_id);

    // The list: icon objects carry kind 0 and their kind's table index in the tail.
    std::vector<uint8_t> expected = live;
    uint32_t at = 2;
    for (uint32_t index : {kKindDisplayIcon, kTwoPieceKind}) {
        uint16_t length = dobj_length(&expected[at]);
        plat::store_u32le(&expected[at + kDobjKind], 0);
        plat::store_u32le(&expected[at + length - kIconTailSize], index);
        at += length + 2u;
    }
    plat::store_u32le(&expected[at + kDobjKind], kStoredForeignKind);
    EXPECT_EQ(record(record_number(0)), expected);

    // The data: the group's member list with member table indexes, then the two pieces.
    std::vector<uint8_t> member_piece = members;
    for (uint32_t m = 2; plat::load_u16le(&member_piece[m]) != 0; m += dobj_length(&member_piece[m]) + 2u)
        plat::store_u32le(&member_piece[m + kDobjKind], group_handler_to_index(dobj_kind(&member_piece[m])));
    std::vector<uint8_t> data = member_piece;
    for (const char* text : {"three", "four!!"})
        data.insert(data.end(), text, text + std::strlen(text));
    EXPECT_EQ(record(record_number(2)), data);

    // The index: {object id, tag, offset, length} for each piece.
    std::vector<uint8_t> index;
    auto entry = [&](uint32_t id, uint32_t tag, uint32_t offset, uint32_t length) {
        for (uint32_t value : {id, tag, offset, length})
            for (int shift = 0; shift < 32; shift += 8)
                index.push_back(uint8_t(value >> shift));
    };
    uint32_t size = uint32_t(member_piece.size());
    entry(group, kGroupPieceTag, 0, size);
    entry(pieces, 3, size, 5);
    entry(pieces, 4, size + 5, 6);
    EXPECT_EQ(record(record_number(4)), index);
    EXPECT_EQ(record(record_number(6)), pal_save_entries());
}

TEST_F(ScreenStateTest, AnEmptyStageIsSavedAsAnEmptyListAndRestoredEmpty)
{
    init();
    ASSERT_EQ(save(), 0);
    EXPECT_TRUE(record(record_number(0)).empty());
    EXPECT_TRUE(record(record_number(2)).empty());
    EXPECT_TRUE(record(record_number(4)).empty());
    create(5, kFocusKind);
    ASSERT_EQ(restore(), 0);
    EXPECT_FALSE(stage.block);
}

TEST_F(ScreenStateTest, AStateOfAnotherSizeIsRefusedAndChangesNothing)
{
    init();
    uint32_t id = create(5, kFocusKind);
    ASSERT_EQ(save(), 0);
    uint32_t next = dlist_next_id();
    EXPECT_EQ(restore(20), kErrStateSize);
    EXPECT_EQ(ids_of(stage), std::vector<uint32_t>{id});
    EXPECT_EQ(dlist_next_id(), next + 1);
}

// Damaged records, as the fuzz target gives them: every failure leaves an empty stage and no
// object of the old run hears a word.
struct DamageCase {
    const char* name;
    std::function<void(std::vector<uint8_t>& list, std::vector<uint8_t>& data, std::vector<uint8_t>& index)> damage;
    bool objects_present;
    int error;
};

TEST_F(ScreenStateTest, DamagedRecordsLeaveAnEmptyStage)
{
    static const DamageCase kCases[] = {
        {"list chain broken", [](auto& list, auto&, auto&) { list[2] += 2; }, true, kErrStateSize},
        {"list without terminator", [](auto& list, auto&, auto&) { list.resize(list.size() - 2); }, true, kErrStateSize},
        {"index entry past the data", [](auto&, auto& data, auto&) { data.resize(data.size() - 1); }, true, kErrStateSize},
        {"index of a partial entry", [](auto&, auto&, auto& index) { index.push_back(0); }, true, kErrStateSize},
        {"objects' records missing", [](auto&, auto&, auto&) {}, false, kErrObjectRecordsMissing},
        {"group's piece missing", [](auto&, auto&, auto& index) { index.assign(index.begin() + 16, index.end()); }, true,
            kErrOutOfMemory},
    };
    init();
    create_group(3);
    uint32_t focus = create(5, kFocusKind);
    ASSERT_EQ(save(), 0);
    release();
    for (const DamageCase& row : kCases) {
        SCOPED_TRACE(row.name);
        std::vector<uint8_t> list = record(record_number(0)), data = record(record_number(2)),
                             index = record(record_number(4));
        // The group's piece is the first entry: dropping it fails the group, the object after
        // it is never reached.
        row.damage(list, data, index);
        log.calls.clear();
        EXPECT_EQ(screen_state_restore_from(list, data, index, row.objects_present), row.error);
        EXPECT_FALSE(stage.block);
        for (const std::string& call : log.calls)
            EXPECT_NE(call, std::to_string(focus) + ":12/0"); // the old run's object never hears of it
    }
}

struct KindCase {
    const char* name;
    uint32_t stored_index;
    uint32_t length_cut; // bytes taken from the kind data
    bool live;           // else a deleted placeholder
    uint32_t kind;       // the tail's kind when live
};

TEST_F(ScreenStateTest, IconTailsAndKindIndexesAreCheckedAsTheyComeBack)
{
    static const KindCase kCases[] = {
        {"known kind", kFocusKind, 0, true, kFocusKind},
        {"index past the table", 99, 0, true, kDobjKindBase},
        {"group kind without room for members", kKindDisplayIcon, 0, false, 0},
        {"shorter than a tail", kFocusKind, kKindData + 8, false, 0},
    };
    for (const KindCase& row : kCases) {
        SCOPED_TRACE(row.name);
        init();
        create(5, kFocusKind);
        ASSERT_EQ(save(), 0);
        release();
        std::vector<uint8_t> list = record(record_number(0));
        uint16_t length = uint16_t(dobj_length(&list[2]) - row.length_cut);
        plat::store_u32le(&list[2 + dobj_length(&list[2]) - kIconTailSize], row.stored_index);
        list.erase(list.begin() + 2 + kDobjHeaderSize, list.begin() + 2 + kDobjHeaderSize + row.length_cut);
        plat::store_u16le(&list[2], length);
        plat::store_u16le(&list[2 + length], length);
        ASSERT_EQ(screen_state_restore_from(list, {}, {}, true), 0);
        dlist_lock(stage);
        uint8_t* object = dlist_first(stage);
        ASSERT_NE(object, nullptr);
        EXPECT_EQ(!(dobj_flags(object) & kDobjDeleted), row.live);
        if (row.live) {
            EXPECT_EQ(dobj_kind(object), kDobjKindIconWrapper);
            EXPECT_EQ(dobj_icon_kind_handler(object), row.kind);
        } else {
            EXPECT_EQ(dobj_kind(object), kDobjKindBase);
        }
        dlist_unlock(stage);
        release();
    }
}

TEST_F(ScreenStateTest, ModuleMessagesReachTheObjects)
{
    init();
    uint32_t id = create(5, kFocusKind);
    auto heard = [&](int message, int sub_code) { return std::to_string(id) + ":" + std::to_string(message) + "/" + std::to_string(sub_code); };
    send(kModSuspend);
    send(kModResume);
    send(kModWindowShown);
    dobj_erase_icon(node_make_icon(1, 5), 0);
    send(kModWindowClosing); // and the erased object goes
    EXPECT_EQ(log.calls, (std::vector<std::string>{heard(65, 0), heard(65, 1), heard(38, 0), heard(39, 0), heard(12, 0)}));
    EXPECT_FALSE(dobj_icon_exists(node_make_icon(1, 5), 0));
}

TEST_F(ScreenStateTest, TheIdleTickReachesLiveIconObjectsFromTheFront)
{
    init();
    uint32_t back = create(5, kFocusKind);
    create(6, kFocusKind);
    uint32_t front = create(7, kFocusKind);
    add_foreign();
    dobj_erase_icon(node_make_icon(1, 6), 0);
    log.calls.clear();
    dobj_send_idle();
    EXPECT_EQ(log.calls, (std::vector<std::string>{call_text_of(front, kMsgIdle), call_text_of(back, kMsgIdle)}));
}

// --- the keyboard focus --------------------------------------------------------------------------

class FocusTest : public ScreenStateTest {
protected:
    plat::WindowHandle window;
    void SetUp() override
    {
        ScreenStateTest::SetUp();
        window = open_stage_window("FocusTestStage", 200, 100);
        ASSERT_TRUE(window);
        screen_set_window(window);
        plat::set_active_window(window);
        init();
    }
    void TearDown() override
    {
        screen_release_planes();
        plat::window_system_reset();
        plat::script_reset();
        plat::backend_set(nullptr);
        plat::clock_set_wait_hook(nullptr);
        plat::clock_use_real();
        ScreenStateTest::TearDown();
    }
    IconId icon(uint32_t node) { return node_make_icon(1, node); }
};

TEST_F(FocusTest, AnObjectThatRefusesLeavesTheOldFocus)
{
    uint32_t taker = create(5, kFocusKind, 1);
    uint32_t refuser = create(6, kFocusKind, 0);
    auto heard = [](uint32_t id, int sub_code) { return std::to_string(id) + ":62/" + std::to_string(sub_code); };

    EXPECT_EQ(dobj_set_focus(icon(5), 0), 1);
    EXPECT_EQ(dobj_get_focus(), (FocusObject{icon(5), 0}));
    EXPECT_EQ(dobj_focus_state().told_active, 1u);
    EXPECT_EQ(plat::get_focus(), window);

    EXPECT_EQ(dobj_set_focus(icon(6), 0), 0);
    EXPECT_EQ(dobj_get_focus(), (FocusObject{icon(5), 0}));
    EXPECT_EQ(dobj_set_focus(0, 0), 1);
    EXPECT_EQ(dobj_get_focus(), FocusObject{});
    EXPECT_EQ(log.calls, (std::vector<std::string>{heard(taker, 1), heard(refuser, 1), heard(taker, 0)}));
}

TEST_F(FocusTest, ActivationIsToldOncePerChangeAndErasingDropsTheFocus)
{
    uint32_t taker = create(5, kFocusKind, 1);
    ASSERT_EQ(dobj_set_focus(icon(5), 0), 1);
    log.calls.clear();
    send(kModAppDeactivate);
    send(kModAppDeactivate);
    send(kModAppActivate);
    auto heard = [&](int sub_code) { return std::to_string(taker) + ":62/" + std::to_string(sub_code); };
    EXPECT_EQ(log.calls, (std::vector<std::string>{heard(0), heard(1)}));

    dobj_erase_icon(icon(5), 0);
    EXPECT_EQ(dobj_get_focus(), FocusObject{});
}

TEST_F(FocusTest, WithoutAWindowEveryIconIsRefused)
{
    create(5, kFocusKind, 1);
    screen_release_planes();
    EXPECT_EQ(dobj_set_focus(icon(5), 0), 0);
    EXPECT_EQ(dobj_set_focus(0, 0), 1);
}

} // namespace
