#include "platform/ime/ime.h"

#include <cstdio>

#include "control_test_support.h"
#include "platform/ime/compwin.h"

namespace {

using namespace wintest;

using Events = std::vector<std::string>;

// A window that records what the input method sends it, with the strings it reads back.
class ImeTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        ime_reset();
        if (!set_active_code_page(CP_KOREAN))
            GTEST_SKIP() << "code page 949 not available";
        window = make_top("W");
        pump();
        answer = [this](WindowHandle hwnd, uint32_t message, WParam wparam, LParam lparam) {
            return note(hwnd, message, wparam, lparam);
        };
    }
    void TearDown() override
    {
        ime_reset();
        WindowTest::TearDown();
    }

    std::string read(uint32_t index)
    {
        char buffer[32] = {};
        int32_t length = imm_get_composition_string(imm_get_context(window), index, buffer, sizeof buffer);
        return code_page_to_utf8(CP_ACP, std::string(buffer, size_t(std::max(length, 0))));
    }

    std::optional<LResult> note(WindowHandle, uint32_t message, WParam wparam, LParam lparam)
    {
        char text[32];
        switch (message) {
        case WM_IME_STARTCOMPOSITION: events.push_back("START"); break;
        case WM_IME_ENDCOMPOSITION: events.push_back("END"); break;
        case WM_IME_COMPOSITION:
            if (lparam & GCS_RESULTSTR)
                events.push_back("RESULT " + read(GCS_RESULTSTR));
            else
                events.push_back("COMP " + read(GCS_COMPSTR));
            if (cancel_each && !(lparam & GCS_RESULTSTR) && !read(GCS_COMPSTR).empty())
                imm_set_composition_string(imm_get_context(window), SCS_SETSTR, "", 0, "", 0);
            break;
        case WM_CHAR:
            std::snprintf(text, sizeof text, "CHAR %02X", unsigned(wparam));
            events.push_back(text);
            break;
        case WM_IME_NOTIFY: events.push_back("NOTIFY " + std::to_string(wparam)); break;
        case WM_KEYDOWN:
            if (keys_too && wparam == VK_PROCESSKEY)
                events.push_back("KEY 229 for " + std::to_string(imm_get_virtual_key(window)));
            else if (keys_too)
                events.push_back("KEY " + std::to_string(wparam));
            break;
        default: break;
        }
        return std::nullopt;
    }

    void hangul_mode(bool on)
    {
        imm_set_conversion_status(imm_get_context(window), on ? IME_CMODE_NATIVE : IME_CMODE_ALPHANUMERIC, 0);
        pump();
        events.clear();
    }

    // Letters as on the keyboard (upper case with Shift), '<' Backspace, ' ' the space bar.
    void press(const std::string& keys)
    {
        for (char c : keys) {
            uint32_t vk = c == '<' ? VK_BACK : c == ' ' ? VK_SPACE : uint32_t(std::toupper(uint8_t(c)));
            bool shift = std::isupper(uint8_t(c)) != 0;
            if (shift)
                input_key(VK_SHIFT, true);
            input_key(vk, true);
            input_key(vk, false);
            if (shift)
                input_key(VK_SHIFT, false);
        }
        pump();
    }

    Events take()
    {
        Events out;
        out.swap(events);
        return out;
    }

    // The CP949 bytes of text as recorded WM_CHARs.
    static Events chars_of(const char* utf8)
    {
        Events out;
        char text[32];
        for (char c : utf8_to_code_page(CP_KOREAN, utf8)) {
            std::snprintf(text, sizeof text, "CHAR %02X", unsigned(uint8_t(c)));
            out.push_back(text);
        }
        return out;
    }

    WindowHandle window;
    Events events;
    bool cancel_each = false;
    bool keys_too = false;
};

Events operator+(Events a, const Events& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct TypingCase {
    const char* name;
    const char* keys;
    Events expected;
};

TEST_F(ImeTest, HangulModeComposesKeysIntoSyllables)
{
    const TypingCase cases[] = {
        {"a syllable finished by a space", "rk ",
            Events{"START", "COMP ㄱ", "COMP 가", "RESULT 가 ", "END"} + chars_of("가 ")},
        {"a consonant that does not join starts the next syllable", "dkssud",
            Events{"START", "COMP ㅇ", "COMP 아", "COMP 안", "RESULT 안", "END", "START", "COMP ㄴ"} + chars_of("안")
                + Events{"COMP 녀", "COMP 녕"}},
        {"a vowel takes the second consonant of a compound final", "ekfrl",
            Events{"START", "COMP ㄷ", "COMP 다", "COMP 달", "COMP 닭", "RESULT 달", "END", "START", "COMP 기"}
                + chars_of("달")},
        {"Shift types doubled consonants", "Rk",
            Events{"START", "COMP ㄲ", "COMP 까"}},
        {"Shift held for a jamo keeps the syllable going", "rO",
            Events{"START", "COMP ㄱ", "COMP 걔"}},
        {"backspace takes back keystrokes, then deletes as usual", "rk<<<",
            Events{"START", "COMP ㄱ", "COMP 가", "COMP ㄱ", "COMP ", "END", "CHAR 08"}},
        {"a cluster typed alone is one jamo", "qt ",
            Events{"START", "COMP ㅂ", "COMP ㅄ", "RESULT ㅄ ", "END"} + chars_of("ㅄ ")},
        {"another cluster typed alone", "rt ",
            Events{"START", "COMP ㄱ", "COMP ㄳ", "RESULT ㄳ ", "END"} + chars_of("ㄳ ")},
    };
    for (const TypingCase& c : cases) {
        SCOPED_TRACE(c.name);
        ime_reset();
        hangul_mode(true);
        press(c.keys);
        EXPECT_EQ(take(), c.expected);
    }
    ime_reset();
    hangul_mode(false);
    press("rk");
    EXPECT_EQ(take(), (Events{"CHAR 72", "CHAR 6B"})) << "letters stay letters outside Hangul mode";
}

TEST_F(ImeTest, ComposingKeysArriveAsProcessKeyAndOthersAsThemselves)
{
    hangul_mode(true);
    keys_too = true;
    press("r1");
    EXPECT_EQ(take(), (Events{"KEY 229 for 82", "START", "COMP ㄱ", "KEY 49", "RESULT ㄱ1", "END"} + chars_of("ㄱ1")));
    press("r");
    input_key(VK_RIGHT, true);
    input_key(VK_RIGHT, false);
    pump();
    EXPECT_EQ(take(), (Events{"KEY 229 for 82", "START", "COMP ㄱ", "KEY 39", "RESULT ㄱ", "END"} + chars_of("ㄱ")))
        << "a key without a character finishes the syllable alone";
    input_key(VK_CONTROL, true);
    press("r");
    input_key(VK_CONTROL, false);
    pump();
    EXPECT_EQ(take(), (Events{"KEY 17", "KEY 82", "CHAR 12"})) << "Ctrl+letter is a command, not a jamo";
}

TEST_F(ImeTest, CancellingAfterEachReadGivesOneJamoPerKey)
{
    hangul_mode(true);
    cancel_each = true;
    press("rk");
    EXPECT_EQ(take(), (Events{"START", "COMP ㄱ", "COMP ", "END", "START", "COMP ㅏ", "COMP ", "END"}));
}

TEST_F(ImeTest, TheHangulKeySwitchesTheModeBeforeTheWindowSeesIt)
{
    keys_too = true;
    uint32_t seen_mode = 99;
    auto record = answer;
    answer = [&](WindowHandle hwnd, uint32_t message, WParam wparam, LParam lparam) {
        if (message == WM_KEYDOWN && wparam == VK_HANGUL)
            imm_get_conversion_status(imm_get_context(hwnd), &seen_mode, nullptr);
        return record(hwnd, message, wparam, lparam);
    };
    input_key(VK_HANGUL, true);
    input_key(VK_HANGUL, false);
    pump();
    EXPECT_EQ(take(), (Events{"NOTIFY 6", "KEY 21"}));
    EXPECT_EQ(seen_mode, uint32_t(IME_CMODE_NATIVE));
    press("g");
    EXPECT_EQ(take(), (Events{"KEY 229 for 71", "START", "COMP ㅎ"}));
}

TEST_F(ImeTest, ContextsOpenCloseAndAssociate)
{
    ImcHandle own = imm_get_context(window);
    ASSERT_TRUE(own);
    EXPECT_TRUE(imm_get_open_status(own));
    hangul_mode(true);
    press("g");
    EXPECT_TRUE(imm_set_open_status(own, false)) << "closing finishes the syllable";
    pump();
    EXPECT_EQ(take(), (Events{"START", "COMP ㅎ", "NOTIFY 8", "RESULT ㅎ", "END"} + chars_of("ㅎ")));
    press("g");
    EXPECT_EQ(take(), (Events{"CHAR 67"})) << "a closed input method lets keys through";

    ImcHandle made = imm_create_context();
    EXPECT_EQ(imm_associate_context(window, made), own);
    EXPECT_EQ(imm_get_context(window), made);
    uint32_t mode = 99;
    ASSERT_TRUE(imm_get_conversion_status(made, &mode, nullptr));
    EXPECT_EQ(mode, uint32_t(IME_CMODE_ALPHANUMERIC)) << "each context keeps its own mode";
    EXPECT_TRUE(imm_destroy_context(made));
    EXPECT_EQ(imm_get_context(window), own) << "back to the window's own";
    EXPECT_FALSE(imm_destroy_context(own)) << "a window's own context goes with the window";
    imm_associate_context(window, ImcHandle{});
    EXPECT_FALSE(imm_get_context(window));
    EXPECT_FALSE(imm_get_open_status(ImcHandle{}));
    EXPECT_FALSE(imm_get_context(WindowHandle{12345}));
}

TEST_F(ImeTest, CompositionStringsAreReadLikeImm)
{
    hangul_mode(true);
    press("gks");
    ImcHandle context = imm_get_context(window);
    std::string expected = utf8_to_code_page(CP_KOREAN, "한");
    EXPECT_EQ(imm_get_composition_string(context, GCS_COMPSTR, nullptr, 0), int32_t(expected.size()));
    char one = 0;
    EXPECT_EQ(imm_get_composition_string(context, GCS_COMPSTR, &one, 1), 1) << "cut to the buffer";
    EXPECT_EQ(one, expected[0]);
    EXPECT_EQ(imm_get_composition_string(context, GCS_COMPATTR, &one, 1), IMM_ERROR_NODATA);
    EXPECT_EQ(imm_get_composition_string(ImcHandle{77}, GCS_COMPSTR, &one, 1), IMM_ERROR_GENERAL);
    EXPECT_TRUE(imm_notify_ime(context, NI_COMPOSITIONSTR, CPS_CANCEL, 0));
    EXPECT_EQ(imm_get_composition_string(context, GCS_COMPSTR, nullptr, 0), 0);
}

TEST_F(ImeTest, TheDesktopsInputMethodComposesAndCommits)
{
    ime_host_composition("ㅎ");
    ime_host_composition("하");
    ime_host_commit("하");
    pump();
    EXPECT_EQ(take(), (Events{"START", "COMP ㅎ", "COMP 하", "RESULT 하", "END"} + chars_of("하")));
    // The desktop finishes its own composition where the focus left it; it is not typed twice.
    WindowHandle other = make_top("Other");
    pump();
    set_focus(window);
    ime_host_composition("하");
    pump();
    set_focus(other);
    ime_host_commit("하");
    pump();
    EXPECT_EQ(take(), (Events{"START", "COMP 하", "RESULT 하", "END"} + chars_of("하")));
    destroy_window(other);
    set_focus(window);
    pump();
    take();
    // Text typed without composing arrives as code page characters, a lead and a trail byte.
    ime_host_commit("가a");
    pump();
    EXPECT_EQ(take(), chars_of("가a"));
    EXPECT_EQ(take(), Events{});
}

TEST_F(ImeTest, ScriptCompositionTypesTheTextAndFinishesIt)
{
    ime_compose_text("한글 ok");
    pump();
    Events all = take();
    Events results;
    Events chars;
    for (const std::string& event : all) {
        if (event.rfind("RESULT", 0) == 0)
            results.push_back(event);
        if (event.rfind("CHAR", 0) == 0)
            chars.push_back(event);
    }
    EXPECT_EQ(results, (Events{"RESULT 한", "RESULT 글"}));
    EXPECT_EQ(chars, chars_of("한글 ok"));
    EXPECT_EQ(all.back(), "CHAR 6B");
}

TEST_F(ImeTest, ScriptCompositionKeepsLoneJamoApart)
{
    static const struct {
        const char* text;
        const char* results; // the results in order, one per syllable or jamo
    } cases[] = {
        {"가ㄴ", "가|ㄴ|"},
        {"고ㅏ", "고|ㅏ|"},
        {"달ㄱ", "달|ㄱ|"},
        {"ㄴ가", "ㄴ|가|"},
        {"ㅄ", "ㅄ|"},
        {"ㄳ사", "ㄳ|사|"},
        {"닭고기", "닭|고|기|"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        ime_compose_text(c.text);
        pump();
        std::string results;
        Events chars;
        for (const std::string& event : take()) {
            if (event.rfind("RESULT ", 0) == 0)
                results += event.substr(7) + "|";
            if (event.rfind("CHAR", 0) == 0)
                chars.push_back(event);
        }
        EXPECT_EQ(results, c.results);
        EXPECT_EQ(chars, chars_of(c.text));
    }
}

// On 390 the digit and sign keys type jamo too, and Shift moves digits and signs to letters.
TEST_F(ImeTest, ThreeSetLayoutTypesByRoleAndMovesDigits)
{
    static const struct {
        const char* name;
        const char* keys; // US characters of the keys pressed
        Events expected;
    } cases[] = {
        {"a syllable from initial, vowel and final keys", "kfs ",
            Events{"START", "COMP ㄱ", "COMP 가", "COMP 간", "RESULT 간 ", "END"} + chars_of("간 ")},
        {"the 8 key types ㅢ", "j8",
            Events{"START", "COMP ㅇ", "COMP 의"}},
        {"the / key types the ㅗ of compound vowels", "k/f",
            Events{"START", "COMP ㄱ", "COMP 고", "COMP 과"}},
        {"Shift+U types 7 behind the syllable", "kfU",
            Events{"START", "COMP ㄱ", "COMP 가", "RESULT 가7", "END"} + chars_of("가7")},
        {"a moved digit alone", "N",
            chars_of("0")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ime_reset();
        ime_set_hangul_layout(HangulLayout::three_set_390);
        hangul_mode(true);
        queue_typed(c.keys);
        pump();
        EXPECT_EQ(take(), c.expected);
    }
    // The script's compose types on the chosen layout: 없 is ㅇ ㅓ ㅄ, a key of its own on 390.
    ime_reset();
    ime_set_hangul_layout(HangulLayout::three_set_390);
    ime_compose_text("없다");
    pump();
    Events comps;
    for (const std::string& event : take()) {
        if (event.rfind("COMP", 0) == 0 || event.rfind("RESULT", 0) == 0)
            comps.push_back(event);
    }
    EXPECT_EQ(comps, (Events{"COMP ㅇ", "COMP 어", "COMP 없", "RESULT 없", "COMP ㄷ", "COMP 다", "RESULT 다"}));
}

// Two edit fields in a window, typed into through the queue as a person would.
class ImeFieldTest : public ControlTest {
protected:
    void SetUp() override
    {
        ControlTest::SetUp();
        if (!set_active_code_page(CP_KOREAN))
            GTEST_SKIP() << "code page 949 not available";
        for (int i = 0; i < 2; i++) {
            fields[i] = create_window_ex(0, "EDIT", "", WS_CHILD | WS_VISIBLE | WS_BORDER, 10, 10 + 40 * i, 200, 24, host,
                uintptr_t(100 + i), {}, nullptr);
            ASSERT_TRUE(fields[i]);
        }
        set_focus(fields[0]);
    }
    std::string text(int field) { return code_page_to_utf8(CP_ACP, text_of(fields[field])); }

    WindowHandle fields[2];
};

TEST_F(ImeFieldTest, TheHangulModeHoldsInTheNextField)
{
    press("Hangul");
    type("gks");
    set_focus(fields[1]);
    type("rmf ");
    EXPECT_EQ(text(1), "글 ");
    EXPECT_EQ(imm_get_context(fields[0]), imm_get_context(fields[1])) << "one context for the thread";
    press("Hangul");
    type("ok");
    EXPECT_EQ(text(1), "글 ok") << "and so does the mode set back";
}

TEST_F(ImeFieldTest, LeavingAFieldFinishesItsSyllableThere)
{
    enum class Leave { set_focus, click };
    static const struct {
        const char* name;
        Leave leave;
    } ways[] = {
        {"set_focus", Leave::set_focus},
        {"a click on the other field", Leave::click},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.name);
        set_window_text(fields[0], "");
        set_window_text(fields[1], "");
        set_focus(fields[0]);
        type("Ann");
        press("Hangul");
        type("gks");
        if (way.leave == Leave::set_focus)
            set_focus(fields[1]);
        else
            click(fields[1], 5, 5);
        pump();
        EXPECT_EQ(get_focus(), fields[1]);
        EXPECT_EQ(text(0), "Ann한");
        type("rk");
        set_focus(fields[0]);
        pump();
        EXPECT_EQ(text(1), "가");
        EXPECT_EQ(text(0), "Ann한") << "the first syllable never comes back";
        press("Hangul");
    }
}

// The pixels of a window's client area in the highlight colour, which marks a composition.
struct Marked : WindowTest {
    static int pixels(WindowHandle window)
    {
        Rect client;
        get_client_rect(window, client);
        uint32_t marked = pixel_from_colorref(get_sys_color(COLOR_HIGHLIGHT));
        int count = 0;
        for (int32_t y = 0; y < client.bottom; y++) {
            for (int32_t x = 0; x < client.right; x++)
                count += client_pixel(window, x, y) == marked;
        }
        return count;
    }
};

TEST_F(ImeFieldTest, TheSyllableShowsMarkedInTheFieldWhileComposed)
{
    press("Hangul");
    type("Rks");
    EXPECT_EQ(text(0), "") << "not yet typed";
    EXPECT_GT(Marked::pixels(fields[0]), 20) << "but shown where it will go";
    EXPECT_FALSE(find_window(kCompositionClass, nullptr) && is_window_visible(find_window(kCompositionClass, nullptr)))
        << "the field shows it itself";
    type(" ");
    EXPECT_EQ(text(0), "깐 ");
    EXPECT_EQ(Marked::pixels(fields[0]), 0);
    send_message(fields[0], EM_SETSEL, 0, 2); // a composition takes the selection's place
    type("r");
    EXPECT_EQ(text(0), "깐 ");
    int with_syllable = Marked::pixels(fields[0]);
    type("<");
    EXPECT_EQ(Marked::pixels(fields[0]), 0) << "withdrawn, and the selection hidden no more than before";
    EXPECT_GT(with_syllable, 20);
}

// A window that does not show the composition itself gets the input method's own display at
// its caret, which takes neither the focus nor activation.
TEST_F(ImeTest, TheDefaultDisplayShowsTheSyllableAtTheCaret)
{
    create_caret(window, {}, 1, 12);
    set_caret_pos(30, 20);
    hangul_mode(true);
    press("g");
    WindowHandle display = find_window(kCompositionClass, nullptr);
    ASSERT_TRUE(display);
    EXPECT_TRUE(is_window_visible(display));
    char text[16] = {};
    get_window_text(display, text, sizeof text);
    EXPECT_EQ(code_page_to_utf8(CP_ACP, text), "ㅎ");
    Rect where;
    get_window_rect(display, where);
    Point caret{30, 20};
    client_to_screen(window, caret);
    EXPECT_EQ(where.left, caret.x);
    EXPECT_EQ(where.top, caret.y);
    EXPECT_GT(Marked::pixels(display), 20);
    press("k");
    get_window_text(display, text, sizeof text);
    EXPECT_EQ(code_page_to_utf8(CP_ACP, text), "하");
    EXPECT_EQ(get_active_window(), window);
    EXPECT_EQ(get_focus(), window);
    press(" ");
    EXPECT_FALSE(is_window_visible(display)) << "gone with the composition";
    destroy_caret();

    WindowHandle child = make_child("Child", window, Rect{0, 0, 50, 50});
    set_focus(child);
    press("g");
    EXPECT_TRUE(is_window_visible(display));
    destroy_window(child);
    pump();
    EXPECT_FALSE(is_window_visible(display)) << "gone with the window composed for";
}

} // namespace
