// Erasing: the Erase icon's modes over display objects, erase moments, the automatic erasing
// of containers' children at moments 0-2 with kept ranges, the pending sets, the erase before
// a perpetual response and the media stopped on the way.
#include "runtime/icons/icon_erase.h"

#include <gtest/gtest.h>

#include <string>

#include "runtime/engine/icon_seq.h"
#include "runtime/engine/icon_state.h"
#include "runtime/engine/kernel.h"
#include "runtime/engine/perpetual.h"
#include "tests/icons/icons_fixture.h"

namespace iconstest {
namespace {

// Responses take their erase option from layout byte 0 bits 6-7 (class 1), an Interaction
// from its kind block; Framework pages and panes by where they lie.
constexpr const char* kContainers = R"(kind PCRS
icon map "Top" {
    icon interaction "Ask" {
        attr 0x2080430 0
        icon map "Now" class 1 {
            attr 0x10006C0 0
            icon calc "Deep" class 1 {
                attr 0x10006C0 2
            }
        }
        icon map "Next" class 1 {
            attr 0x10006C0 1
        }
        icon map "Leave" class 1 {
            attr 0x10006C0 2
        }
        icon map "Leave too" class 1 {
            attr 0x10006C0 2
        }
        icon map "Stay" class 1 {
            attr 0x10006C0 3
            icon calc "Deeper" class 1 {
                attr 0x10006C0 0
            }
        }
    }
    icon interaction "Menu" {
        attr 0x2080430 3
        icon map "Other" class 1 {
            icon calc "Shown"
        }
    }
    icon framework "Frame" {
        attr 0x4040001 9
        icon map "Page one"
        icon map "Page two"
        icon calc "Entry" list 3
        icon calc "Exit" list 4
    }
    icon erase "Wipe" {
        attr 0x20105e0 1
    }
}
)";

// What the transition seam and the media hooks saw.
std::vector<std::string>* g_calls = nullptr;
IconId g_sound = 0;
IconId g_video = 0;

class IconEraseTest : public IconsTest {
protected:
    std::vector<std::string> calls;

    void SetUp() override
    {
        IconsTest::SetUp();
        g_calls = &calls;
        g_sound = g_video = 0;
        IconKindHooks kinds = icon_kinds_hooks();
        kinds.transition_clear = [] { g_calls->push_back("transition clear"); };
        kinds.transition_set = [](uint32_t effect, IconId icon, int flags) {
            g_calls->push_back("transition " + std::to_string(effect) + " " + title_of(icon) + " " + std::to_string(flags));
        };
        kinds.remove_menu = [](IconId icon) { g_calls->push_back("menu " + std::to_string(node_icon_number(icon))); };
        icon_kinds_set_hooks(&kinds);
        EraseMediaHooks media {};
        media.sound_icon = [] { return g_sound; };
        media.sound_stop = [] { g_calls->push_back("sound stop"); };
        media.video_icon = [] { return g_video; };
        media.video_close_current = [] { g_calls->push_back("video close"); };
        icon_erase_set_media_hooks(&media);
        ASSERT_EQ(open_piece_file(kContainers), 0);
    }
    void TearDown() override
    {
        g_calls = nullptr;
        IconsTest::TearDown();
    }

    IconId at(const char* title) const
    {
        IconId icon = piece_icon(title);
        EXPECT_NE(icon, 0u) << title;
        return icon;
    }
    // The kernel's stamps: a container takes a fresh number, other icons the counter.
    void enter_container(const char* title) { icon_state_set_seq(at(title), icon_seq_next()); }
    void enter(const char* title) { icon_state_set_seq(at(title), uint16_t(icon_seq_counter())); }
    // A display of the icon, numbered as displays are: a fresh number. Answers the number.
    int display(const char* title, uint16_t kind = 0)
    {
        int number = icon_seq_next();
        show(at(title), kind, number);
        return number;
    }
    // The child runs, shows one display and finishes in its container.
    int run_child(const char* container, const char* child)
    {
        enter(child);
        int number = display(child);
        icon_erase_response(at(container), at(child));
        return number;
    }
};

TEST_F(IconEraseTest, MomentsComeFromTheOptionOrFromTheFramework)
{
    static const struct {
        const char* title;
        int moment;
    } rows[] = {
        {"Now", 0}, {"Next", 1}, {"Leave", 2}, {"Stay", 3}, {"Menu", 3}, {"Ask", 0},
        {"Page one", 1}, {"Page two", 1}, // pages go when the next page is branched to
        {"Entry", 2}, {"Exit", 2},        // the panes stay until the Framework is left
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.title);
        EXPECT_EQ(icon_erase_moment(at(row.title)), row.moment);
    }
}

// A response's display by its erase option: 0 goes when the interaction waits again, 1 when
// the next response is matched, 2 when the interaction is left, 3 never.
TEST_F(IconEraseTest, ResponseDisplaysGoAtTheirMoment)
{
    static const struct {
        const char* response;
        bool after[3]; // still shown after moment 0, 1, 2
    } rows[] = {
        {"Now", {false, false, false}},
        {"Next", {true, false, false}},
        {"Leave", {true, true, false}},
        {"Stay", {true, true, true}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.response);
        dobj_erase_all();
        icon_seq_reset();
        enter_container("Ask");
        int number = run_child("Ask", row.response);
        EXPECT_EQ(icon_stat_erase_bits(at("Ask")), 1 << icon_erase_moment(at(row.response)));
        for (int moment = 0; moment < 3; moment++) {
            icon_erase_on_exit(at("Ask"), moment);
            EXPECT_EQ(shown() == std::vector<int> {number}, row.after[moment]) << "moment " << moment;
        }
        EXPECT_EQ(icon_stat_erase_bits(at("Ask")), 0); // leaving clears the bits
    }
}

// A child that showed nothing since it ran leaves no bit, and its number is forgotten.
TEST_F(IconEraseTest, AChildThatShowedNothingWaitsForNothing)
{
    enter_container("Ask");
    enter("Next");
    icon_erase_response(at("Ask"), at("Next"));
    EXPECT_EQ(icon_stat_erase_bits(at("Ask")), 0);
    EXPECT_EQ(icon_state_seq(at("Next")), 0);
    EXPECT_EQ(icon_stats_count(), 0);
}

// Two children kept for moment 2 and one for moment 0 between them: moment 0 erases from the
// moment-0 display up to the first kept display; the kept ones go when the interaction is left.
TEST_F(IconEraseTest, KeptDisplaysBoundTheRangeThatGoes)
{
    enter_container("Ask");
    int kept_first = run_child("Ask", "Leave");
    int now = run_child("Ask", "Now");
    int now_second = display("Now", 10);
    int kept_last = run_child("Ask", "Leave too");
    ASSERT_EQ(shown(), (std::vector<int> {kept_first, now, now_second, kept_last}));
    icon_erase_on_exit(at("Ask"), kEraseBeforeEntry);
    EXPECT_EQ(shown(), (std::vector<int> {kept_first, kept_last}));
    EXPECT_TRUE(icon_seq_is_erased(now));
    EXPECT_TRUE(icon_seq_is_erased(now_second));
    EXPECT_FALSE(icon_seq_is_erased(kept_last));
    EXPECT_EQ(icon_stat_erase_bits(at("Ask")), 1 << kEraseOnExit);
    EXPECT_EQ(calls, (std::vector<std::string> {"transition 0 Ask 63"}));
    calls.clear();
    icon_erase_on_exit(at("Ask"), kEraseOnExit);
    EXPECT_EQ(shown(), std::vector<int> {});
    EXPECT_EQ(calls, (std::vector<std::string> {"transition clear"})); // the whole range at once
}

// Numbers after an erase stay live: the next response's display can be erased again.
TEST_F(IconEraseTest, TheNextResponseAfterAnEraseIsErasedToo)
{
    enter_container("Ask");
    for (int round = 0; round < 3; round++) {
        SCOPED_TRACE(round);
        int number = run_child("Ask", "Now");
        EXPECT_EQ(shown(), std::vector<int> {number});
        icon_erase_on_exit(at("Ask"), kEraseBeforeEntry);
        EXPECT_EQ(shown(), std::vector<int> {});
    }
}

// A page's displays go when the next page is branched to, with the Framework's erase effect;
// the panes' displays only when the Framework is left.
TEST_F(IconEraseTest, FrameworkPagesGoAtTheNextPageAndPanesOnExit)
{
    enter_container("Frame");
    int pane = run_child("Frame", "Entry"); // the panes' executor reports them as done
    int page = run_child("Frame", "Page one");
    icon_erase_on_exit(at("Frame"), kEraseAfterEntry);
    EXPECT_EQ(shown(), std::vector<int> {pane});
    EXPECT_TRUE(icon_seq_is_erased(page));
    EXPECT_EQ(calls, (std::vector<std::string> {"transition 9 Frame 63"}));
    int next_page = run_child("Frame", "Page two");
    icon_erase_on_exit(at("Frame"), kEraseOnExit);
    EXPECT_EQ(shown(), std::vector<int> {});
    EXPECT_TRUE(icon_seq_is_erased(next_page));
}

// While a perpetual call into the container is active, the fast path is not taken: only what
// waits for the moment goes.
TEST_F(IconEraseTest, ACallIntoTheContainerKeepsTheRestOfItsRange)
{
    enter_container("Ask");
    int next = run_child("Ask", "Next");
    int now = run_child("Ask", "Now");
    icon_stat_set_call_mark(at("Ask"), 1);
    icon_erase_on_exit(at("Ask"), kEraseBeforeEntry);
    EXPECT_EQ(shown(), std::vector<int> {next});
    EXPECT_TRUE(icon_seq_is_erased(now));
}

// A noted icon waits for the smaller of its own moment and that of the container's child
// that leads to it; icons without a live number are not noted.
TEST_F(IconEraseTest, NotedChildrenTakeTheSmallerMoment)
{
    static const struct {
        const char* icon;
        int moment;
    } rows[] = {
        {"Deep", 0},   // its own 2 under Now's 0
        {"Deeper", 0}, // its own 0 under Stay's 3
        {"Leave", 2},
        {"Shown", 0},  // not under Ask: its own moment (a class-0 icon has none: 0)
    };
    IconId ask = at("Ask");
    std::vector<uint16_t> expected;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.icon);
        enter(row.icon);
        int number = display(row.icon);
        icon_erase_note_child(ask, at(row.icon));
        expected.push_back(uint16_t(row.moment | number << 2));
        EXPECT_TRUE(icon_stat_erase_bits(ask) & 1 << row.moment);
    }
    IdSet set = icon_stat_erase_set(ask);
    ASSERT_TRUE(set);
    ASSERT_EQ(idset_count(set), int(expected.size()));
    for (size_t n = 0; n < expected.size(); n++)
        EXPECT_EQ(idset_get(set, int(n + 1)), expected[n]);
    icon_state_set_seq(at("Now"), 0);
    icon_erase_note_child(ask, at("Now"));
    EXPECT_EQ(idset_count(set), int(expected.size()));
}

// Kept displays in the pending set survive earlier moments and go at theirs; leaving frees
// the set.
TEST_F(IconEraseTest, PendingEntriesGoAtTheirMoment)
{
    enter_container("Ask");
    enter("Next");
    icon_erase_add_pending(at("Ask"), display("Shown"), kEraseAfterEntry);
    int late = display("Shown", 10);
    icon_erase_add_pending(at("Ask"), late, kEraseOnExit);
    icon_erase_on_exit(at("Ask"), kEraseBeforeEntry); // nothing waits for 0
    EXPECT_EQ(shown().size(), 2u);
    icon_erase_on_exit(at("Ask"), kEraseAfterEntry);
    EXPECT_EQ(shown(), std::vector<int> {late});
    EXPECT_EQ(idset_count(icon_stat_erase_set(at("Ask"))), 1);
    icon_erase_on_exit(at("Ask"), kEraseOnExit);
    EXPECT_EQ(shown(), std::vector<int> {});
    EXPECT_FALSE(icon_stat_erase_set(at("Ask")));
}

// Before a perpetual response runs again, what its children showed for the innermost
// container's next entry goes: from the response's number up to the next kept number, not
// into it.
TEST_F(IconEraseTest, BeforeAPerpetualResponseItsWaitingDisplaysGo)
{
    static const struct {
        const char* name;
        int entry_moment;
        bool keep_later;
        bool framework;
        std::vector<int> left; // of displays numbered 1.. (s = first)
    } rows[] = {
        {"up to the kept one", kEraseAfterEntry, true, false, {4, 5}},
        {"up to the counter", kEraseAfterEntry, false, false, {}},
        {"waiting for another moment", kEraseOnExit, true, false, {2, 3, 4, 5}},
        {"inside a Framework", kEraseAfterEntry, true, true, {2, 3, 4, 5}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        dobj_erase_all();
        icon_seq_reset();
        icon_stats_reset();
        calls.clear();
        IconId container = at(row.framework ? "Frame" : "Ask");
        enter_container(row.framework ? "Frame" : "Ask"); // 1
        exec_set_current(container, kStateWaiting);
        enter("Shown");
        int first = display("Shown"); // 2
        display("Other", 10);         // 3
        int kept = display("Next");   // 4
        display("Next", 10);          // 5
        icon_erase_add_pending(container, first, row.entry_moment);
        if (row.keep_later)
            icon_erase_add_pending(container, kept, kEraseOnExit);
        icon_erase_before_perpetual(at("Other"));
        EXPECT_EQ(shown(), row.left);
        EXPECT_EQ(calls, (std::vector<std::string> {"transition clear"}));
    }
}

// The innermost container follows the call frames: a called response continues at the icon it
// interrupted.
TEST_F(IconEraseTest, InnermostContainerFollowsTheCallFrames)
{
    exec_set_current(at("Deep"), kStateRunning);
    EXPECT_EQ(icon_innermost_container(), at("Ask"));
    exec_set_current(at("Frame"), kStateWaiting);
    EXPECT_EQ(icon_innermost_container(), at("Frame"));
    exec_set_current(at("Ask"), kStateWaiting);
    ASSERT_EQ(exec_enter_perpetual(at("Other"), 0), 1);
    EXPECT_EQ(icon_innermost_container(), at("Ask"));
    exec_set_current(at("Shown"), kStateRunning);
    EXPECT_EQ(icon_innermost_container(), at("Ask")); // Other continues at Ask, not at Menu
    exec_set_current(node_make_icon(node_icon_slot(at("Ask")), 1), kStateRunning); // the top icon
    EXPECT_EQ(icon_innermost_container(), 0u);
}

// Media under the container stop when the child on their path erases at the moment or before.
TEST_F(IconEraseTest, MediaStopWithTheirBranch)
{
    static const struct {
        const char* playing;
        int moment;
        bool stops;
    } rows[] = {
        {"Deep", 0, true},   // under Now (0)
        {"Leave", 1, false}, // 2 above 1
        {"Leave", 2, true},
        {"Deeper", 2, false}, // under Stay (3)
        {"Shown", 2, false},  // not under Ask
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.playing) + " at " + std::to_string(row.moment));
        calls.clear();
        g_sound = g_video = at(row.playing);
        icon_erase_on_exit(at("Ask"), row.moment);
        std::vector<std::string> expected;
        if (row.stops)
            expected = {"sound stop", "video close"};
        EXPECT_EQ(calls, expected);
    }
}

// The Erase icon of mode 1 with an empty list erases every icon object, those of other files
// too; menu objects go through the menu hook.
TEST_F(IconEraseTest, EraseIconAllButNothingErasesEverything)
{
    show(at("Ask"), 0, 1);
    show(at("Now"), kObjectKindMenu, 1);
    show(node_make_icon(node_icon_slot(at("Ask")) + 1, 9), 0, 1);
    exec_set_current(at("Wipe"), kStateEnter);
    walk();
    EXPECT_EQ(shown_nodes(), std::vector<uint32_t> {node_icon_number(at("Now"))}); // the menu code removes it
    EXPECT_NE(std::find(calls.begin(), calls.end(), "menu " + std::to_string(node_icon_number(at("Now")))), calls.end());
}

// Listed objects stay (all but), or alone are hidden (erase 0).
TEST_F(IconEraseTest, EraseListKeepsTheListedPairs)
{
    IconId ask = at("Ask");
    IconId now = at("Now");
    show(ask, 0, 1);
    show(ask, 10, 1);
    show(now, 0, 1);
    show(node_make_icon(node_icon_slot(ask) + 1, node_icon_number(ask)), 0, 1); // same node, other file
    const EraseEntry keep[] = {{uint16_t(node_icon_number(ask)), 0}, {uint16_t(node_icon_number(now)), 10}};
    icon_erase_list(at("Wipe"), keep, 2, kEraseHide);
    EXPECT_EQ(shown_nodes().size(), 4u); // hidden objects stay in the list
    int visible = 0;
    dobj_for_each_icon(
        [](uint8_t* object, void* data, void*) {
            *static_cast<int*>(data) += (dobj_flags(object) & kDobjVisible) ? 1 : 0;
            return 1;
        },
        &visible, nullptr, nullptr);
    EXPECT_EQ(visible, 1);
    icon_erase_list(at("Wipe"), keep, 2, kEraseRemove);
    EXPECT_EQ(shown_nodes(), std::vector<uint32_t> {node_icon_number(ask)});
    EXPECT_TRUE(dobj_icon_exists(ask, 0));
}

} // namespace
} // namespace iconstest

namespace iconstest {
namespace {

// Renumbering gives kept displays groups of their own and rewrites the pending entries with
// their moments; an erased entry is dropped.
TEST_F(IconEraseTest, RenumberingRewritesThePendingSets)
{
    icon_seq_set_counter(100);
    enter_container("Ask"); // 100
    IconId ask = at("Ask");
    show(at("Next"), 0, 150);
    show(at("Leave"), 0, 300);
    icon_erase_add_pending(ask, 150, kEraseAfterEntry);
    icon_erase_add_pending(ask, 200, kEraseBeforeEntry);
    icon_erase_add_pending(ask, 300, kEraseOnExit);
    icon_seq_set_counter(400);
    icon_seq_mark_erased(200, 200);
    icon_seq_renumber(); // groups 100, 101, 150, 300
    EXPECT_EQ(icon_seq_counter(), 5);
    EXPECT_EQ(icon_state_seq(ask), 1);
    EXPECT_EQ(shown(), (std::vector<int> {3, 4}));
    IdSet set = icon_stat_erase_set(ask);
    ASSERT_EQ(idset_count(set), 2);
    EXPECT_EQ(idset_get(set, 1), kEraseAfterEntry | 3 << 2);
    EXPECT_EQ(idset_get(set, 2), kEraseOnExit | 4 << 2);
    // The kept displays still go at their own moments.
    icon_erase_on_exit(ask, kEraseAfterEntry);
    EXPECT_EQ(shown(), std::vector<int> {4});
}

} // namespace
} // namespace iconstest

namespace iconstest {
namespace {

// The engine's roads reach the erasing and the statistics through the installed hooks: a
// branch with the erase flag erases at moment 1, the kernel reads erase options as moments,
// and a perpetual call marks its interaction and keeps its selected child in the frame.
TEST_F(IconEraseTest, TheEngineRoadsReachTheErasing)
{
    enter_container("Ask");
    int next = run_child("Ask", "Next");
    int leave = run_child("Ask", "Leave");
    exec_branch(at("Ask"), at("Now"), 1);
    EXPECT_EQ(shown(), std::vector<int> {leave});
    EXPECT_TRUE(icon_seq_is_erased(next));
    EXPECT_EQ(exec_hooks().erase_option(at("Stay")), kEraseNever);

    icon_stat_set_selected_child(at("Menu"), at("Other"));
    exec_set_current(at("Ask"), kStateWaiting);
    ASSERT_EQ(exec_enter_perpetual(at("Other"), 0), 1);
    EXPECT_EQ(icon_stat_call_mark(at("Menu")), 1);
    icon_stat_set_selected_child(at("Menu"), 0);
    ASSERT_EQ(exec_return_perpetual(at("Other")), 1);
    EXPECT_EQ(icon_stat_selected_child(at("Menu")), at("Other")); // the frame kept it
}

} // namespace
} // namespace iconstest
