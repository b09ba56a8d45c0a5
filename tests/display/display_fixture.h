// Shared by the display-list and display-object tests: a stage of 640 x 480 whose rectangle
// lists are kept in the test (the refresh pool is another module's), a kind that records the
// messages it gets and passes them to the base handler, and record builders.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/gdi/dc.h"
#include "runtime/display/dlist.h"
#include "runtime/display/dobj.h"

namespace disptest {

struct Sent {
    uint32_t id;
    int message;
    bool operator==(const Sent&) const = default;
};

// What the screen hooks and the recording kind saw; one per test.
struct Screen {
    std::vector<std::vector<Rect>> lists; // list n is lists[n - 1]
    int refresh_flags = 0;
    std::vector<std::pair<Rect, int>> plane_damage;
    std::vector<Sent> sent;
    int32_t answer_32 = 0; // what the recording kind answers message 32

    std::vector<Rect> rects(RectList list) const
    {
        return list == 0 ? std::vector<Rect>{} : lists.at(list - 1);
    }
};

inline Screen* g_screen = nullptr;

// Records every message, then hands it to the base (32 answers answer_32).
constexpr uint32_t kRecordingKind = 6;
inline int32_t recording_handler(uint8_t* object, int message, DisplayMsgArg* arg)
{
    g_screen->sent.push_back({dobj_id(object), message});
    if (message == kMsgWantsUpdate)
        return g_screen->answer_32;
    return dobj_default_handler(object, message, arg);
}

// Points the base handler's hooks at the screen (its lists kept in the test) and registers
// the recording kind; display_teardown undoes it. Fixtures of other bases call both.
inline void display_setup(Screen& screen)
{
    plat::dc_reset();
    dlist_reset();
    dobj_reset();
    g_screen = &screen;
    DobjScreenHooks hooks{};
    hooks.stage_rect = [](Rect& out) {
        out = Rect{0, 0, 640, 480};
        return true;
    };
    hooks.rlist_add = [](RectList list, const Rect& rect) -> RectList {
        if (list == 0) {
            g_screen->lists.push_back({});
            list = RectList(g_screen->lists.size());
        }
        g_screen->lists[list - 1].push_back(rect);
        return list;
    };
    hooks.rlist_append_list = [](RectList a, RectList b) -> RectList {
        if (a == 0)
            return b;
        if (b != 0) {
            std::vector<Rect> tail = g_screen->lists[b - 1];
            g_screen->lists[a - 1].insert(g_screen->lists[a - 1].end(), tail.begin(), tail.end());
        }
        return a;
    };
    hooks.rlist_copy = [](RectList list) -> RectList {
        if (list == 0)
            return 0;
        g_screen->lists.push_back(g_screen->lists[list - 1]);
        return RectList(g_screen->lists.size());
    };
    hooks.set_refresh_needed = [] { g_screen->refresh_flags++; };
    hooks.damage_rect = [](const Rect& rect, int plane) { g_screen->plane_damage.push_back({rect, plane}); };
    dobj_set_screen_hooks(hooks);
    dobj_register_kind(kRecordingKind, recording_handler);
}

inline void display_teardown()
{
    dlist_reset();
    dobj_reset();
    g_screen = nullptr;
    plat::dc_reset();
}

class DisplayTest : public testing::Test {
protected:
    Screen screen;

    void SetUp() override { display_setup(screen); }
    void TearDown() override { display_teardown(); }
};

// A record of the length with the header filled in (id 0 until a list stamps it).
inline std::vector<uint8_t> make_record(uint16_t length, uint32_t kind, uint16_t flags, Rect bounds)
{
    std::vector<uint8_t> record(std::max<size_t>(length, kDobjHeaderSize), 0);
    plat::store_u16le(record.data(), length);
    dobj_set_kind(record.data(), kind);
    dobj_set_flags(record.data(), flags);
    dobj_set_rect(record.data(), kDobjBounds, bounds);
    return record;
}

inline uint32_t append(DisplayList& list, uint32_t kind, uint16_t flags, Rect bounds, uint16_t length = 60)
{
    std::vector<uint8_t> record = make_record(length, kind, flags, bounds);
    return dlist_append(list, record.data());
}

// The list's block, byte for byte.
inline std::vector<uint8_t> block_bytes(const DisplayList& list)
{
    const uint8_t* p = static_cast<const uint8_t*>(mem_address(list.block));
    return std::vector<uint8_t>(p, p + list.used);
}

// The ids of the list, back to front.
inline std::vector<uint32_t> ids_of(DisplayList& list)
{
    std::vector<uint32_t> ids;
    dlist_lock(list);
    for (uint8_t* r = dlist_first(list); r; r = dlist_next(r))
        ids.push_back(dobj_id(r));
    dlist_unlock(list);
    return ids;
}

} // namespace disptest
