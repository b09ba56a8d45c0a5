#include "platform/window/window.h"

#include <algorithm>
#include <cstring>

#include "platform/kernel/codepage.h"
#include "platform/kernel/error.h"
#include "window_test_support.h"

namespace {

using namespace wintest;

using Seen = std::vector<std::string>;

class WindowLayerTest : public WindowTest {
protected:
    Seen only(const Seen& all, std::initializer_list<const char*> names)
    {
        Seen kept;
        for (const std::string& entry : all) {
            for (const char* name : names) {
                if (entry.size() > std::strlen(name) && entry.compare(entry.size() - std::strlen(name), std::string::npos, name) == 0)
                    kept.push_back(entry);
            }
        }
        return kept;
    }
};

TEST_F(WindowLayerTest, DestructionReachesParentsFirstAndFreesChildrenFirst)
{
    WindowHandle top = make_top("T");
    WindowHandle c1 = make_child("C1", top, Rect{0, 0, 50, 50}, 1);
    WindowHandle g = make_child("G", c1, Rect{0, 0, 10, 10}, 2);
    WindowHandle c2 = make_child("C2", top, Rect{60, 0, 90, 50}, 3);
    WindowHandle owned = make("O", WS_POPUP | WS_VISIBLE, Rect{0, 0, 50, 50}, top);
    take_seen();
    ASSERT_TRUE(destroy_window(top));
    EXPECT_EQ(only(take_seen(), {" WM_DESTROY", " WM_NCDESTROY"}),
        (Seen{"O WM_DESTROY", "O WM_NCDESTROY", "T WM_DESTROY", "C1 WM_DESTROY", "G WM_DESTROY", "C2 WM_DESTROY",
            "G WM_NCDESTROY", "C1 WM_NCDESTROY", "C2 WM_NCDESTROY", "T WM_NCDESTROY"}));
    for (WindowHandle window : {top, c1, g, c2, owned})
        EXPECT_FALSE(is_window(window));
}

TEST_F(WindowLayerTest, DestroyingTheActiveWindowDeactivatesItFirst)
{
    WindowHandle top = make_top("T");
    take_seen();
    destroy_window(top);
    EXPECT_EQ(only(take_seen(), {" WM_WINDOWPOSCHANGED", " WM_NCACTIVATE", " WM_ACTIVATE", " WM_ACTIVATEAPP",
                                    " WM_KILLFOCUS", " WM_DESTROY", " WM_NCDESTROY"}),
        (Seen{"T WM_WINDOWPOSCHANGED", "T WM_NCACTIVATE", "T WM_ACTIVATE", "T WM_ACTIVATEAPP", "T WM_KILLFOCUS",
            "T WM_DESTROY", "T WM_NCDESTROY"}));
}

TEST_F(WindowLayerTest, DestroyingDuringDestructionIsHarmless)
{
    WindowHandle top = make_top("T");
    WindowHandle child = make_child("C", top, Rect{0, 0, 10, 10});
    answer = [&](WindowHandle window, uint32_t message, WParam, LParam) -> std::optional<LResult> {
        if (message == WM_DESTROY) {
            EXPECT_TRUE(destroy_window(window)); // a second call during the first
            destroy_window(child);
        }
        return std::nullopt;
    };
    EXPECT_TRUE(destroy_window(top));
    Seen got = only(take_seen(), {" WM_NCDESTROY"});
    EXPECT_EQ(got, (Seen{"C WM_NCDESTROY", "T WM_NCDESTROY"}));
}

TEST_F(WindowLayerTest, RefusedCreationLeavesNoWindow)
{
    struct RefusalCase {
        const char* name;
        uint32_t message;
        LResult answer;
        Seen expected;
    };
    const RefusalCase cases[] = {
        {"WM_NCCREATE answers 0", WM_NCCREATE, 0, {"R WM_NCCREATE", "R WM_NCDESTROY"}},
        {"WM_CREATE answers -1", WM_CREATE, -1, {"R WM_NCCREATE", "R WM_CREATE", "R WM_DESTROY", "R WM_NCDESTROY"}},
    };
    for (const RefusalCase& c : cases) {
        SCOPED_TRACE(c.name);
        answer = [&](WindowHandle, uint32_t message, WParam, LParam) -> std::optional<LResult> {
            return message == c.message ? std::optional<LResult>(c.answer) : std::nullopt;
        };
        take_seen();
        EXPECT_FALSE(make_top("R"));
        EXPECT_EQ(take_seen(), c.expected);
        EXPECT_FALSE(find_window("Recorder", "R"));
    }
}

TEST_F(WindowLayerTest, CreationErrors)
{
    EXPECT_FALSE(create_window_ex(0, "NoSuchClass", "", WS_POPUP, 0, 0, 10, 10, {}, 0, {}, nullptr));
    EXPECT_EQ(get_last_error(), ERROR_CANNOT_FIND_WND_CLASS);
    EXPECT_FALSE(create_window_ex(0, "Recorder", "", WS_CHILD, 0, 0, 10, 10, {}, 0, {}, nullptr));
    EXPECT_EQ(get_last_error(), ERROR_TLW_WITH_WSCHILD);
    WindowClass duplicate;
    duplicate.proc = def_window_proc;
    duplicate.class_name = "RECORDER";
    EXPECT_EQ(register_class(duplicate), 0);
    EXPECT_EQ(get_last_error(), ERROR_CLASS_ALREADY_EXISTS);
    WindowHandle window = make_top("W");
    EXPECT_FALSE(unregister_class("Recorder", {}));
    EXPECT_EQ(get_last_error(), ERROR_CLASS_HAS_WINDOWS);
    destroy_window(window);
    EXPECT_TRUE(unregister_class("recorder", {}));
}

TEST_F(WindowLayerTest, StaleHandlesAreRefusedNotReused)
{
    WindowHandle first = make_top("A");
    destroy_window(first);
    WindowHandle second = make_top("B");
    EXPECT_NE(first, second);
    EXPECT_FALSE(is_window(first));
    EXPECT_FALSE(destroy_window(first));
    EXPECT_EQ(get_last_error(), ERROR_INVALID_WINDOW_HANDLE);
    EXPECT_EQ(get_window_long(first, GWL_STYLE), 0);
    Rect rect;
    EXPECT_FALSE(get_window_rect(first, rect));
    EXPECT_FALSE(destroy_window(get_desktop_window()));
}

TEST_F(WindowLayerTest, WindowLongsAndExtraBytes)
{
    WindowClass with_extra;
    with_extra.proc = def_window_proc;
    with_extra.class_name = "Extra";
    with_extra.window_extra = 10;
    register_class(with_extra);
    WindowHandle window = create_window_ex(0, "Extra", "", WS_POPUP, 0, 0, 10, 10, {}, 0, {}, nullptr);
    ASSERT_TRUE(window);
    struct ExtraCase {
        const char* name;
        int index;
        bool fits;
    };
    const ExtraCase cases[] = {
        {"first long", 0, true},
        {"last long", 6, true},
        {"past the end", 7, false},
        {"unknown negative index", -99, false},
    };
    for (const ExtraCase& c : cases) {
        SCOPED_TRACE(c.name);
        set_last_error(0);
        set_window_long(window, c.index, 0x12345678);
        EXPECT_EQ(get_window_long(window, c.index), c.fits ? 0x12345678 : 0);
        EXPECT_EQ(get_last_error(), c.fits ? 0u : ERROR_INVALID_INDEX);
    }
    set_window_word(window, 8, 0xBEEF);
    EXPECT_EQ(get_window_word(window, 8), 0xBEEF);
    EXPECT_EQ(get_window_word(window, 9), 0);
    set_window_long_ptr(window, GWLP_USERDATA, 99);
    EXPECT_EQ(get_window_long_ptr(window, GWLP_USERDATA), 99);
    set_window_long(window, GWLP_ID, 7);
    EXPECT_EQ(get_window_long(window, GWLP_ID), 7);
    EXPECT_EQ(get_window_long(window, GWLP_WNDPROC), 0); // an address does not fit
}

static WindowProc g_original = nullptr;
static int g_subclass_calls = 0;

static LResult subclass_proc(WindowHandle window, uint32_t message, WParam wparam, LParam lparam)
{
    if (message == WM_USER) {
        g_subclass_calls++;
        return 5;
    }
    return call_window_proc(g_original, window, message, wparam, lparam);
}

TEST_F(WindowLayerTest, SubclassingReplacesTheProcedure)
{
    WindowHandle window = make_top("W");
    g_subclass_calls = 0;
    g_original = reinterpret_cast<WindowProc>(
        set_window_long_ptr(window, GWLP_WNDPROC, reinterpret_cast<intptr_t>(&subclass_proc)));
    EXPECT_EQ(g_original, &WindowTest::record_proc);
    take_seen();
    EXPECT_EQ(send_message(window, WM_USER, 0, 0), 5);
    send_message(window, WM_USER + 1, 0, 0);
    EXPECT_EQ(g_subclass_calls, 1);
    EXPECT_EQ(take_seen(), Seen{"W WM_USER+1"}); // passed on to the original procedure
}

TEST_F(WindowLayerTest, StyleChangesAreAnnounced)
{
    WindowHandle window = make_top("W");
    quiet.erase(WM_STYLECHANGING);
    quiet.erase(WM_STYLECHANGED);
    take_seen();
    uint32_t old_style = uint32_t(get_window_long(window, GWL_STYLE));
    set_window_long(window, GWL_STYLE, int32_t(old_style | WS_VSCROLL));
    EXPECT_EQ(take_seen(), (Seen{"W WM_STYLECHANGING", "W WM_STYLECHANGED"}));
    EXPECT_TRUE(uint32_t(get_window_long(window, GWL_STYLE)) & WS_VSCROLL);
}

TEST_F(WindowLayerTest, PropertiesByNameWithoutCase)
{
    WindowHandle window = make_top("W");
    EXPECT_TRUE(set_prop(window, "Owner", 11));
    EXPECT_TRUE(set_prop(window, "OWNER", 12));
    EXPECT_EQ(get_prop(window, "owner"), 12u);
    EXPECT_EQ(remove_prop(window, "Owner"), 12u);
    EXPECT_EQ(get_prop(window, "Owner"), 0u);
    EXPECT_FALSE(set_prop(window, "", 1));
}

TEST_F(WindowLayerTest, TextIsCutWithoutSplittingDoubleByteCharacters)
{
    WindowHandle window = make_top("Title");
    char buffer[16];
    EXPECT_EQ(get_window_text(window, buffer, sizeof buffer), 5);
    EXPECT_STREQ(buffer, "Title");
    EXPECT_EQ(get_window_text(window, buffer, 3), 2);
    EXPECT_STREQ(buffer, "Ti");
    EXPECT_EQ(get_window_text_length(window), 5);
    if (!set_active_code_page(CP_KOREAN))
        GTEST_SKIP() << "code page 949 not available";
    std::string korean = utf8_to_code_page(CP_KOREAN, "가나");
    ASSERT_EQ(korean.size(), 4u);
    set_window_text(window, korean.c_str());
    EXPECT_EQ(get_window_text(window, buffer, 4), 2); // room for 3 bytes: one character fits
    EXPECT_EQ(std::string(buffer), korean.substr(0, 2));
}

TEST_F(WindowLayerTest, FindAndEnumerate)
{
    WindowHandle a = make_top("Alpha");
    WindowHandle b = make_top("Beta");
    WindowHandle child = make_child("Gamma", b, Rect{0, 0, 10, 10});
    EXPECT_EQ(find_window("Recorder", "beta"), b);
    EXPECT_EQ(find_window(nullptr, "ALPHA"), a);
    EXPECT_FALSE(find_window("Recorder", "Gamma")); // top-level windows only
    EXPECT_FALSE(find_window("Other", "Alpha"));
    EXPECT_EQ(find_window_ex(b, {}, nullptr, "Gamma"), child);
    EXPECT_EQ(find_window_ex({}, b, "Recorder", nullptr), a); // after Beta in z-order
    std::vector<WindowHandle> found;
    auto collect = [](WindowHandle window, LParam lparam) {
        reinterpret_cast<std::vector<WindowHandle>*>(lparam)->push_back(window);
        return true;
    };
    EXPECT_TRUE(enum_windows(collect, reinterpret_cast<LParam>(&found)));
    EXPECT_EQ(found, (std::vector<WindowHandle>{b, a})); // front first
    found.clear();
    enum_child_windows(b, collect, reinterpret_cast<LParam>(&found));
    EXPECT_EQ(found, std::vector<WindowHandle>{child});
    auto stop = [](WindowHandle, LParam) { return false; };
    EXPECT_FALSE(enum_windows(stop, 0));
}

TEST_F(WindowLayerTest, ParentsOwnersAndAncestors)
{
    WindowHandle top = make_top("T");
    WindowHandle child = make_child("C", top, Rect{0, 0, 50, 50}, 21);
    WindowHandle inner = make_child("I", child, Rect{0, 0, 10, 10}, 22);
    WindowHandle popup = make("P", WS_POPUP, Rect{0, 0, 10, 10}, inner); // owned by T
    WindowHandle overlapped = make("O", WS_OVERLAPPED, Rect{0, 0, 10, 10}, popup);
    EXPECT_EQ(get_parent(child), top);
    EXPECT_EQ(get_parent(popup), top);
    EXPECT_FALSE(get_parent(overlapped)); // owned, but not a popup
    EXPECT_EQ(get_window(overlapped, GW_OWNER), popup);
    EXPECT_EQ(get_ancestor(inner, GA_ROOT), top);
    EXPECT_EQ(get_ancestor(top, GA_PARENT), get_desktop_window());
    EXPECT_EQ(get_ancestor(overlapped, GA_ROOTOWNER), top);
    EXPECT_TRUE(is_child(top, inner));
    EXPECT_FALSE(is_child(top, popup));
    EXPECT_EQ(get_dlg_item(child, 22), inner);
    EXPECT_EQ(get_dlg_ctrl_id(inner), 22);
    EXPECT_FALSE(get_dlg_item(top, 22)); // children only, not grandchildren
    EXPECT_FALSE(set_parent(child, inner)); // would make a cycle
    EXPECT_EQ(set_parent(inner, top), child);
    EXPECT_EQ(get_parent(inner), top);
}

TEST_F(WindowLayerTest, CoordinatesMapThroughNestedWindows)
{
    WindowHandle top = make_top("T", Rect{100, 100, 500, 400});
    WindowHandle child = make_child("C", top, Rect{10, 20, 110, 120});
    WindowHandle inner = make_child("I", child, Rect{5, 5, 25, 25});
    Point point{1, 2};
    ASSERT_TRUE(client_to_screen(inner, point));
    EXPECT_EQ(point, (Point{104 + 10 + 5 + 1, 123 + 20 + 5 + 2}));
    ASSERT_TRUE(screen_to_client(child, point));
    EXPECT_EQ(point, (Point{6, 7}));
    Point points[2] = {{0, 0}, {3, 3}};
    map_window_points(inner, top, points, 2);
    EXPECT_EQ(points[0], (Point{15, 25}));
    EXPECT_EQ(points[1], (Point{18, 28}));
    Rect rect;
    get_window_rect(inner, rect);
    EXPECT_EQ(rect, (Rect{119, 148, 139, 168}));
    get_client_rect(top, rect);
    EXPECT_EQ(rect, (Rect{0, 0, 392, 273}));
}

TEST_F(WindowLayerTest, EnablingSendsWmEnableOnChangesOnly)
{
    WindowHandle window = make_top("W");
    take_seen();
    EXPECT_FALSE(enable_window(window, false)); // was enabled
    EXPECT_TRUE(enable_window(window, false));  // was disabled already: no message
    EXPECT_FALSE(is_window_enabled(window));
    EXPECT_TRUE(enable_window(window, true));
    Seen got = only(take_seen(), {" WM_ENABLE"});
    EXPECT_EQ(got, (Seen{"W WM_ENABLE", "W WM_ENABLE"}));
}

TEST_F(WindowLayerTest, ClassLongsReachClassFieldsAndExtraBytes)
{
    WindowHandle window = make_top("W");
    EXPECT_EQ(get_class_long(window, GCL_STYLE), uint32_t(CS_DBLCLKS));
    set_class_long(window, GCL_STYLE, CS_DBLCLKS | CS_HREDRAW);
    EXPECT_EQ(get_class_long(window, GCL_STYLE), uint32_t(CS_DBLCLKS | CS_HREDRAW));
    EXPECT_EQ(get_class_long(window, 0), 0u);
    EXPECT_EQ(get_last_error(), ERROR_INVALID_INDEX); // the class has no extra bytes
    char name[8];
    EXPECT_EQ(get_class_name(window, name, sizeof name), 7);
    EXPECT_STREQ(name, "Recorde");
    EXPECT_GE(get_class_long(window, GCW_ATOM), 0xC000u);
}

} // namespace
