#include "platform/window/message.h"

#include "platform/kernel/error.h"
#include "window_test_support.h"

namespace {

using namespace wintest;

class QueueTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        window = make_top("W");
        pump(); // creation's own paint
        take_seen();
    }

    // What get_message hands out, until the queue would block.
    std::vector<std::string> drain()
    {
        std::vector<std::string> got;
        Msg msg;
        while (peek_message(msg, PM_REMOVE)) {
            got.push_back(label(msg.hwnd) + " " + message_name(msg.message));
            dispatch_message(msg);
        }
        return got;
    }

    WindowHandle window;
};

static LResult g_outside_answer = 0;
static void remember_answer(LResult result, void*) { g_outside_answer = result; }

TEST_F(QueueTest, SentFirstThenPostedThenInputThenPaintThenTimer)
{
    set_timer(window, 1, 10, nullptr);
    clock_advance(20);
    invalidate_rect(window, nullptr, false);
    input_key(VK_F5, true);
    post_message(window, WM_USER, 0, 0);
    Msg outside;
    outside.hwnd = window;
    outside.message = WM_USER + 1;
    answer = [](WindowHandle, uint32_t message, WParam, LParam) -> std::optional<LResult> {
        return message == WM_USER + 1 ? std::optional<LResult>(42) : std::nullopt;
    };
    message_receive_sent(outside, remember_answer, nullptr);

    std::vector<std::string> got = drain();
    EXPECT_EQ(got, (std::vector<std::string>{"W WM_USER", "W WM_KEYDOWN", "W WM_PAINT", "W WM_TIMER"}));
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.front(), "W WM_USER+1"); // delivered before the first message was handed out
    EXPECT_EQ(g_outside_answer, 42);
}

TEST_F(QueueTest, QuitWaitsForPostedMessagesAndEndsGetMessage)
{
    post_message(window, WM_USER, 0, 0);
    post_quit_message(7);
    post_message(window, WM_USER + 1, 0, 0);
    Msg msg;
    ASSERT_EQ(get_message(msg), 1);
    EXPECT_EQ(msg.message, uint32_t(WM_USER));
    ASSERT_EQ(get_message(msg), 1);
    EXPECT_EQ(msg.message, uint32_t(WM_USER + 1));
    ASSERT_EQ(get_message(msg), 0);
    EXPECT_EQ(msg.message, uint32_t(WM_QUIT));
    EXPECT_EQ(msg.wparam, 7u);
    // Nothing queued, no timer, no backend: nothing can ever arrive, so get fails at once
    // instead of blocking or spinning.
    EXPECT_EQ(get_message(msg), -1);
}

TEST_F(QueueTest, PaintComesOnlyWhenNothingElseWaitsAndStaysUntilValidated)
{
    invalidate_rect(window, nullptr, false);
    post_message(window, WM_USER, 0, 0);
    Msg msg;
    ASSERT_TRUE(peek_message(msg, PM_NOREMOVE));
    EXPECT_EQ(msg.message, uint32_t(WM_USER));
    ASSERT_TRUE(peek_message(msg, PM_REMOVE));
    ASSERT_TRUE(peek_message(msg, PM_REMOVE));
    EXPECT_EQ(msg.message, uint32_t(WM_PAINT));
    ASSERT_TRUE(peek_message(msg, PM_REMOVE)); // still invalid: WM_PAINT again
    EXPECT_EQ(msg.message, uint32_t(WM_PAINT));
    dispatch_message(msg); // default processing validates
    EXPECT_FALSE(peek_message(msg, PM_REMOVE));
}

TEST_F(QueueTest, PaintIgnoredByTheProcedureDoesNotComeBackForEver)
{
    answer = [](WindowHandle, uint32_t message, WParam, LParam) -> std::optional<LResult> {
        return message == WM_PAINT ? std::optional<LResult>(0) : std::nullopt;
    };
    invalidate_rect(window, nullptr, true);
    EXPECT_EQ(drain(), std::vector<std::string>{"W WM_PAINT"});
}

TEST_F(QueueTest, FiltersByWindowAndRange)
{
    WindowHandle other = make_top("X");
    pump();
    post_message(window, WM_USER, 0, 0);
    post_message(other, WM_USER + 1, 0, 0);
    post_message({}, WM_APP, 0, 0);
    struct FilterCase {
        const char* name;
        WindowHandle filter;
        uint32_t first;
        uint32_t last;
        uint32_t expected; // 0: nothing
    };
    const FilterCase cases[] = {
        {"any", {}, 0, 0, WM_USER},
        {"one window", other, 0, 0, WM_USER + 1},
        {"range only", {}, WM_USER + 1, WM_APP, WM_USER + 1},
        {"thread message by range", {}, WM_APP, WM_APP, WM_APP},
        {"window and range that do not meet", window, WM_USER + 1, WM_USER + 1, 0},
        {"range without messages", {}, WM_MOUSEFIRST, WM_MOUSELAST, 0},
    };
    for (const FilterCase& c : cases) {
        SCOPED_TRACE(c.name);
        Msg msg;
        bool found = peek_message(msg, c.filter, c.first, c.last, PM_NOREMOVE);
        EXPECT_EQ(found ? msg.message : 0u, c.expected);
    }
    EXPECT_EQ(drain().size(), 3u); // no-remove peeks left everything in place
}

TEST_F(QueueTest, PostingFailsForMissingWindowsAndAFullQueue)
{
    WindowHandle gone = make_top("Gone");
    destroy_window(gone);
    EXPECT_FALSE(post_message(gone, WM_USER, 0, 0));
    EXPECT_EQ(get_last_error(), ERROR_INVALID_WINDOW_HANDLE);
    for (uint32_t i = 0; i < kPostedMessageLimit; i++)
        ASSERT_TRUE(post_message(window, WM_USER, i, 0));
    EXPECT_FALSE(post_message(window, WM_USER, 0, 0));
    EXPECT_EQ(get_last_error(), ERROR_NOT_ENOUGH_QUOTA);
}

TEST_F(QueueTest, GetMessageWithAMissingWindowFilterFails)
{
    Msg msg;
    EXPECT_EQ(get_message(msg, WindowHandle(0x12345), 0, 0), -1);
}

static int g_timer_calls = 0;
static void count_timer(WindowHandle, uint32_t, uintptr_t, uint32_t) { g_timer_calls++; }

TEST_F(QueueTest, DispatchCallsATimerProcedureInsteadOfTheWindow)
{
    g_timer_calls = 0;
    set_timer(window, 3, 50, count_timer);
    Msg msg;
    ASSERT_EQ(get_message(msg), 1);
    ASSERT_EQ(msg.message, uint32_t(WM_TIMER));
    dispatch_message(msg);
    EXPECT_EQ(g_timer_calls, 1);
    EXPECT_TRUE(seen.empty());
}

TEST_F(QueueTest, BroadcastReachesTopLevelWindowsOnly)
{
    WindowHandle other = make_top("X");
    make_child("C", other, Rect{0, 0, 10, 10});
    pump();
    take_seen();
    send_message(HWND_BROADCAST, WM_USER, 0, 0);
    std::vector<std::string> got = take_seen();
    std::sort(got.begin(), got.end());
    EXPECT_EQ(got, (std::vector<std::string>{"W WM_USER", "X WM_USER"}));
    post_message(HWND_BROADCAST, WM_APP, 0, 0);
    EXPECT_EQ(drain().size(), 2u);
}

TEST_F(QueueTest, MessagesForADestroyedWindowAreDroppedAtDispatch)
{
    WindowHandle doomed = make_top("D");
    pump();
    post_message(doomed, WM_USER, 0, 0);
    destroy_window(doomed);
    take_seen();
    Msg msg;
    ASSERT_TRUE(peek_message(msg, PM_REMOVE));
    EXPECT_EQ(dispatch_message(msg), 0);
    EXPECT_TRUE(take_seen().empty());
}

TEST_F(QueueTest, SendToAMissingWindowAnswersZero)
{
    EXPECT_EQ(send_message(WindowHandle(0x777777), WM_USER, 0, 0), 0);
    EXPECT_EQ(get_last_error(), ERROR_INVALID_WINDOW_HANDLE);
}

} // namespace
