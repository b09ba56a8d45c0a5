#include "platform/controls/ctl_edit.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "control_test_support.h"
#include "platform/text/text.h"

namespace {

using namespace wintest;

class EditTest : public ControlTest {
protected:
    WindowHandle edit;

    WindowHandle make_edit(uint32_t style = 0, const char* text = "")
    {
        edit = control(kEditClass, text, WS_BORDER | ES_AUTOHSCROLL | style, Rect{10, 10, 210, 34}, 50);
        set_focus(edit);
        take_notes();
        return edit;
    }
    std::pair<uint32_t, uint32_t> selection()
    {
        uint32_t start = 0;
        uint32_t end = 0;
        send_message(edit, EM_GETSEL, reinterpret_cast<WParam>(&start), reinterpret_cast<LParam>(&end));
        return {start, end};
    }
    void put_on_clipboard(const char* text)
    {
        open_clipboard(host);
        empty_clipboard();
        GlobalHandle block = global_alloc(GMEM_MOVEABLE, strlen(text) + 1);
        std::memcpy(global_lock(block), text, strlen(text) + 1);
        global_unlock(block);
        set_clipboard_data(CF_TEXT, block);
        close_clipboard();
    }
    std::string clipboard()
    {
        open_clipboard(host);
        const char* bytes = static_cast<const char*>(global_lock(get_clipboard_data(CF_TEXT)));
        std::string text = bytes ? bytes : "";
        global_unlock(get_clipboard_data(CF_TEXT));
        close_clipboard();
        return text;
    }
};

struct KeyCase {
    const char* name;
    const char* text;
    uint32_t start, end; // the selection before (the caret is at end)
    const char* keys;    // one key combination, or a text to type after '='
    const char* after;
    uint32_t after_start, after_end;
};

static const KeyCase kKeyCases[] = {
    {"typing replaces the selection", "hello world", 0, 5, "=bye", "bye world", 3, 3},
    {"backspace deletes before the caret", "abc", 2, 2, "Backspace", "ac", 1, 1},
    {"backspace at the start does nothing", "abc", 0, 0, "Backspace", "abc", 0, 0},
    {"delete deletes after the caret", "abc", 1, 1, "Delete", "ac", 1, 1},
    {"delete at the end does nothing", "abc", 3, 3, "Delete", "abc", 3, 3},
    {"delete removes the selection", "abcdef", 1, 4, "Delete", "aef", 1, 1},
    {"left collapses a selection to its start", "abcdef", 1, 4, "Left", "abcdef", 1, 1},
    {"right collapses a selection to its end", "abcdef", 1, 4, "Right", "abcdef", 4, 4},
    {"shift+right extends", "abcdef", 2, 2, "Shift+Right", "abcdef", 2, 3},
    {"shift+left from the anchor selects back", "abcdef", 2, 2, "Shift+Left", "abcdef", 1, 2},
    {"ctrl+right goes to the next word", "one two three", 1, 1, "Ctrl+Right", "one two three", 4, 4},
    {"ctrl+left goes to the word start", "one two three", 9, 9, "Ctrl+Left", "one two three", 8, 8},
    {"shift+end selects to the end", "abcdef", 2, 2, "Shift+End", "abcdef", 2, 6},
    {"home goes to the start", "abcdef", 4, 4, "Home", "abcdef", 0, 0},
    {"ctrl+a selects all", "abcdef", 2, 2, "Ctrl+A", "abcdef", 0, 6},
    {"enter and tab are not text", "ab", 2, 2, "=\t", "ab", 2, 2},
};

TEST_F(EditTest, KeysEditAndMoveAsInAnyField)
{
    for (const KeyCase& c : kKeyCases) {
        SCOPED_TRACE(c.name);
        make_edit(0, c.text);
        send_message(edit, EM_SETSEL, c.start, c.end);
        if (c.keys[0] == '=')
            type(c.keys + 1);
        else
            press(c.keys);
        EXPECT_EQ(text_of(edit), c.after);
        EXPECT_EQ(selection(), std::make_pair(c.after_start, c.after_end));
        destroy_window(edit);
    }
}

TEST_F(EditTest, EachChangeIsAnnouncedUpdateFirst)
{
    make_edit();
    type("ab");
    EXPECT_EQ(take_notes(), (std::vector<std::string>{"50 1024", "50 768", "50 1024", "50 768"}));
    set_window_text(edit, "new");
    EXPECT_EQ(take_notes(), (std::vector<std::string>{"50 1024", "50 768"}));
    EXPECT_EQ(send_message(edit, EM_GETMODIFY, 0, 0), 0); // text set by the program is not a change
    press("Left"); // moving changes nothing
    EXPECT_TRUE(take_notes().empty());
}

TEST_F(EditTest, TheLimitStopsTypingAndSaysSo)
{
    make_edit();
    EXPECT_EQ(send_message(edit, EM_GETLIMITTEXT, 0, 0), 32767); // a new field's
    send_message(edit, EM_LIMITTEXT, 0, 0);
    EXPECT_EQ(send_message(edit, EM_GETLIMITTEXT, 0, 0), 0x7FFFFFFE); // 0 is no limit, not the first one
    send_message(edit, EM_LIMITTEXT, 3, 0);
    type("abcd");
    EXPECT_EQ(text_of(edit), "abc");
    std::vector<std::string> seen_notes = take_notes();
    EXPECT_EQ(seen_notes.back(), "50 1281"); // EN_MAXTEXT
    EXPECT_EQ(send_message(edit, EM_GETLIMITTEXT, 0, 0), 3);
    put_on_clipboard("xyz");
    send_message(edit, EM_SETSEL, 1, 1);
    send_message(edit, WM_PASTE, 0, 0);
    EXPECT_EQ(text_of(edit), "abc");
}

TEST_F(EditTest, UndoTakesBackTheLastChangeAndRedoesIt)
{
    make_edit(0, "start");
    send_message(edit, EM_SETSEL, 5, 5);
    EXPECT_EQ(send_message(edit, EM_CANUNDO, 0, 0), 0);
    type(" more");
    press("Ctrl+Z");
    EXPECT_EQ(text_of(edit), "start"); // the typing was one change
    press("Ctrl+Z");
    EXPECT_EQ(text_of(edit), "start more");
    send_message(edit, EM_EMPTYUNDOBUFFER, 0, 0);
    EXPECT_EQ(send_message(edit, EM_CANUNDO, 0, 0), 0);
}

TEST_F(EditTest, CutCopyAndPasteGoThroughTheClipboard)
{
    make_edit(0, "one two");
    send_message(edit, EM_SETSEL, 0, 3);
    press("Ctrl+C");
    EXPECT_EQ(clipboard(), "one");
    press("Ctrl+X");
    EXPECT_EQ(text_of(edit), " two");
    press("End");
    put_on_clipboard(" three\r\nfour");
    press("Ctrl+V");
    EXPECT_EQ(text_of(edit), " two three"); // a single line takes the first line only
    send_message(edit, EM_SETSEL, 0, 1);
    press("Shift+Delete");
    EXPECT_EQ(clipboard(), " ");
    EXPECT_EQ(text_of(edit), "two three");
}

TEST_F(EditTest, PasswordsShowStarsAndNeverLeaveForTheClipboard)
{
    make_edit(ES_PASSWORD, "secret");
    EXPECT_EQ(send_message(edit, EM_GETPASSWORDCHAR, 0, 0), '*');
    put_on_clipboard("before");
    send_message(edit, EM_SETSEL, 0, -1);
    press("Ctrl+C");
    EXPECT_EQ(clipboard(), "before");
    EXPECT_EQ(text_of(edit), "secret");
    send_message(edit, EM_SETPASSWORDCHAR, 0, 0);
    EXPECT_FALSE(get_window_long(edit, GWL_STYLE) & ES_PASSWORD);
    // A double-byte character shows one star, not one for each byte.
    ASSERT_TRUE(set_active_code_page(CP_KOREAN));
    WindowHandle stars = control(kEditClass, "**", WS_BORDER, Rect{10, 40, 210, 64}, 51);
    destroy_window(edit);
    make_edit(ES_PASSWORD, "\xC7\xD1x");
    EXPECT_EQ(send_message(edit, EM_POSFROMCHAR, 3, 0), send_message(stars, EM_POSFROMCHAR, 2, 0));
}

struct StyleCase {
    const char* name;
    uint32_t style;
    const char* typed;
    const char* result;
};

static const StyleCase kStyleCases[] = {
    {"read-only takes nothing", ES_READONLY, "abc", ""},
    {"numbers only", ES_NUMBER, "a1b2", "12"},
    {"upper case", ES_UPPERCASE, "Mixed", "MIXED"},
    {"lower case", ES_LOWERCASE, "Mixed", "mixed"},
};

TEST_F(EditTest, StylesFilterWhatIsTyped)
{
    for (const StyleCase& c : kStyleCases) {
        SCOPED_TRACE(c.name);
        make_edit(c.style);
        type(c.typed);
        EXPECT_EQ(text_of(edit), c.result);
        destroy_window(edit);
    }
}

TEST_F(EditTest, DoubleByteCharactersArriveWholeAndStayWhole)
{
    ASSERT_TRUE(set_active_code_page(CP_KOREAN));
    make_edit();
    input_char(0xC7); // 한, as two character messages
    pump();
    EXPECT_EQ(text_of(edit), "");
    input_char(0xD1);
    input_char('x');
    pump();
    EXPECT_EQ(text_of(edit), "\xC7\xD1x");
    press("Home");
    press("Shift+Right");
    EXPECT_EQ(selection(), std::make_pair(0u, 2u));
    send_message(edit, EM_SETSEL, 1, 1); // inside the character: it goes to its start
    EXPECT_EQ(selection(), std::make_pair(0u, 0u));
    press("Delete");
    EXPECT_EQ(text_of(edit), "x");
}

TEST_F(EditTest, ANumberFieldTurnsAwayDoubleByteCharacters)
{
    ASSERT_TRUE(set_active_code_page(CP_KOREAN));
    make_edit(ES_NUMBER);
    for (uint8_t byte : {uint8_t('1'), uint8_t(0xC7), uint8_t(0xD1), uint8_t('2')})
        input_char(byte);
    pump();
    EXPECT_EQ(text_of(edit), "12");
}

TEST_F(EditTest, ANewFontMovesTheFocusNowhere)
{
    make_edit(0, "text");
    send_message(edit, WM_SETFONT, WParam(get_stock_object(SYSTEM_FONT).id), 1);
    pump();
    EXPECT_TRUE(take_notes().empty()); // a dialog checking its fields on EN_KILLFOCUS hears nothing
    EXPECT_EQ(get_focus(), edit);
    send_message(edit, EM_SETSEL, 2, 2);
    pump();
    EXPECT_TRUE(caret_is_drawn());
}

TEST_F(EditTest, TheMousePlacesTheCaretAndSelectsWords)
{
    make_edit(0, "alpha beta gamma");
    click(edit, 1, 10);
    EXPECT_EQ(selection(), std::make_pair(0u, 0u));
    clock_advance(1000);
    int32_t beta_x = get_x_lparam(send_message(edit, EM_POSFROMCHAR, 7, 0));
    click(edit, beta_x, 10, true);
    EXPECT_EQ(selection(), std::make_pair(6u, 10u));
    clock_advance(1000);
    int32_t end_x = get_x_lparam(send_message(edit, EM_POSFROMCHAR, 16, 0));
    mouse_down(edit, 1, 10);
    mouse_move(edit, end_x, 10);
    mouse_up(edit, end_x, 10);
    EXPECT_EQ(selection(), std::make_pair(0u, 16u));
    EXPECT_EQ(uint32_t(loword(send_message(edit, EM_CHARFROMPOS, 0, make_lparam(uint32_t(beta_x), 5)))), 7u);
}

TEST_F(EditTest, TheFocusBringsTheCaretAndTheSelectionShows)
{
    make_edit(0, "text");
    auto highlighted = [&] {
        int count = 0;
        for (int32_t x = 0; x < 40; x++)
            count += client_pixel(edit, x, 8) == sys_pixel(COLOR_HIGHLIGHT);
        return count;
    };
    send_message(edit, EM_SETSEL, 0, 4);
    pump();
    EXPECT_GT(highlighted(), 5);
    set_focus(host);
    pump();
    EXPECT_EQ(highlighted(), 0); // hidden without the focus
    EXPECT_FALSE(caret_is_drawn());
    EXPECT_EQ(take_notes(), std::vector<std::string>{"50 512"});
    set_focus(edit);
    pump();
    EXPECT_EQ(take_notes(), std::vector<std::string>{"50 256"});
    send_message(edit, EM_SETSEL, 2, 2);
    pump();
    EXPECT_TRUE(caret_is_drawn());
}

TEST_F(EditTest, LongTextScrollsToKeepTheCaretInView)
{
    make_edit(0, "");
    std::string text(200, 'w');
    type(text);
    int32_t caret_x = get_x_lparam(send_message(edit, EM_POSFROMCHAR, 200, 0));
    Rect client;
    get_client_rect(edit, client);
    EXPECT_GE(caret_x, 0);
    EXPECT_LT(caret_x, client.right);
    press("Home");
    EXPECT_EQ(get_x_lparam(send_message(edit, EM_POSFROMCHAR, 0, 0)), 1);
}

// The field's text in the active code page: UTF-8 letters then raw bytes (a lone lead byte).
static std::string field_text(const char* utf8, int repeat, const char* raw)
{
    std::string one = utf8_to_code_page(get_active_code_page(), utf8);
    std::string text;
    for (int i = 0; i < repeat; i++)
        text += one;
    return text + raw;
}

// Where each character boundary of the field shows, without the scroll: every prefix measured
// from the start of the line on its own, the slow way the fast one must agree with.
static std::vector<std::pair<uint32_t, int32_t>> widths_one_by_one(WindowHandle edit, const std::string& text)
{
    char password = char(send_message(edit, EM_GETPASSWORDCHAR, 0, 0));
    size_t characters = 0;
    for (size_t at = 0; at < text.size(); at += is_dbcs_lead_byte(uint8_t(text[at])) && at + 1 < text.size() ? 2 : 1)
        characters++;
    std::string shown = password ? std::string(characters, password) : text;
    DcHandle dc = get_dc(edit);
    GdiObject old_font = controls_select_font(edit, dc);
    std::vector<std::pair<uint32_t, int32_t>> out;
    for (size_t at = 0, count = 0;; count++) {
        Size size;
        get_text_extent_point32(dc, shown.c_str(), int(password ? count : at), size);
        out.push_back({uint32_t(at), size.cx});
        if (at >= text.size())
            break;
        at += is_dbcs_lead_byte(uint8_t(text[at])) && at + 1 < text.size() ? 2 : 1;
    }
    select_object(dc, old_font);
    release_dc(edit, dc);
    return out;
}

// The boundary nearest to x (the first of two as near), the line starting at origin.
static uint32_t nearest(const std::vector<std::pair<uint32_t, int32_t>>& widths, int32_t origin, int32_t x)
{
    uint32_t best = 0;
    int32_t best_distance = INT32_MAX;
    for (const auto& [at, width] : widths) {
        if (std::abs(origin + width - x) < best_distance) {
            best = at;
            best_distance = std::abs(origin + width - x);
        }
    }
    return best;
}

struct PositionCase {
    const char* name;
    uint32_t code_page;
    const char* utf8; // repeated
    int repeat;
    const char* raw;  // bytes after it
    uint8_t password;
    uint32_t caret;   // set first, so that the line scrolls
};

constexpr uint32_t kEnd = 0x7FFF;

static const PositionCase kPositionCases[] = {
    {"latin", CP_WESTERN, "The quick brown fox, 0123! ", 12, "", 0, 0},
    {"latin scrolled to the end", CP_WESTERN, "Wide MW and thin il. ", 14, "", 0, kEnd},
    {"korean", CP_KOREAN, "다람쥐 헌 쳇바퀴에 타고파 ", 8, "", 0, 0},
    {"korean scrolled to the middle", CP_KOREAN, "한글입력기", 40, "", 0, 101},
    {"mixed with a lone lead byte at the end", CP_KOREAN, "Ann 안녕 x1 가나다abc ", 9, "\xB0", 0, kEnd},
    {"a lead byte before a blank pairs with it", CP_KOREAN, "ab", 1, "\xB0 cd \xB0 ef", 0, 0},
    {"stars over korean", CP_KOREAN, "비밀 번호 pass", 10, "", '*', kEnd},
    {"a lead byte as the password character", CP_KOREAN, "가나다abc", 12, "", 0xB0, 0},
};

TEST_F(EditTest, PositionsAreThoseOfMeasuringEachPrefix)
{
    for (const PositionCase& c : kPositionCases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(set_active_code_page(c.code_page));
        std::string text = field_text(c.utf8, c.repeat, c.raw);
        make_edit(0, text.c_str());
        send_message(edit, EM_SETPASSWORDCHAR, c.password, 0);
        send_message(edit, EM_SETSEL, c.caret, c.caret);
        // From the text set: reading it back drops a lone lead byte at the end.
        std::vector<std::pair<uint32_t, int32_t>> widths = widths_one_by_one(edit, text);
        int32_t origin = get_x_lparam(send_message(edit, EM_POSFROMCHAR, 0, 0));
        if (c.caret != 0) {
            EXPECT_LT(origin, 0); // scrolled
        }
        for (const auto& [at, width] : widths)
            ASSERT_EQ(get_x_lparam(send_message(edit, EM_POSFROMCHAR, at, 0)), origin + width) << at;
        Rect client;
        get_client_rect(edit, client);
        for (int32_t x = -12; x < client.right + 12; x++) {
            uint32_t at = loword(send_message(edit, EM_CHARFROMPOS, 0, make_lparam(uint32_t(x), 5)));
            ASSERT_EQ(at, nearest(widths, origin, x)) << x;
        }
        // Clicks and drags, each from where the line stands after the last.
        for (int32_t x = 0; x < client.right; x += 13) {
            clock_advance(1000);
            int32_t from_x = client.right - 1 - x;
            uint32_t from = nearest(widths, get_x_lparam(send_message(edit, EM_POSFROMCHAR, 0, 0)), from_x);
            mouse_down(edit, from_x, 10);
            EXPECT_EQ(selection(), std::make_pair(from, from)) << from_x;
            uint32_t to = nearest(widths, get_x_lparam(send_message(edit, EM_POSFROMCHAR, 0, 0)), x);
            mouse_move(edit, x, 10);
            mouse_up(edit, x, 10);
            EXPECT_EQ(selection(), std::make_pair(std::min(from, to), std::max(from, to))) << x;
        }
        destroy_window(edit);
        codepage_reset();
    }
}

struct WordCase {
    const char* name;
    const char* text; // in code page 949
    uint32_t at;      // the caret for Ctrl+Left, the character double-clicked
    bool double_click;
    uint32_t start, end;
};

static const WordCase kWordCases[] = {
    {"ctrl+left over korean", "\xC7\xD1\xB1\xDB \xB4\xDC\xBE\xEE\xC0\xD4\xB4\xCF\xB4\xD9", 15, false, 5, 5},
    {"ctrl+left over blanks", "\xC7\xD1\xB1\xDB  x", 6, false, 0, 0},
    {"ctrl+left stops after a lead byte's blank", "ab \xB0 cd", 7, false, 5, 5},
    {"ctrl+left from inside that pair", "ab \xB0 cd", 5, false, 3, 3},
    {"double click selects a korean word", "\xC7\xD1 \xB4\xDC\xBE\xEE\xC0\xD4 x", 5, true, 3, 9},
    {"double click on the first word", "\xB4\xDC\xBE\xEE abc", 2, true, 0, 4},
};

TEST_F(EditTest, WordsEndAtBlanksAndNeverSplitACharacter)
{
    ASSERT_TRUE(set_active_code_page(CP_KOREAN));
    for (const WordCase& c : kWordCases) {
        SCOPED_TRACE(c.name);
        make_edit(0, c.text);
        if (c.double_click) {
            clock_advance(1000);
            int32_t x = get_x_lparam(send_message(edit, EM_POSFROMCHAR, c.at, 0));
            click(edit, x + 1, 10, true);
        } else {
            send_message(edit, EM_SETSEL, c.at, c.at);
            press("Ctrl+Left");
        }
        EXPECT_EQ(selection(), std::make_pair(c.start, c.end));
        destroy_window(edit);
    }
}

// The parent may destroy the field while it hears of it: the field touches nothing of itself after.
enum class EditAct { type, press, replace, set_text, enter, leave };

struct EditDestroyCase {
    const char* name;
    int code;
    EditAct act;
    const char* text;
};

static const EditDestroyCase kEditDestroyCases[] = {
    {"update", EN_UPDATE, EditAct::type, "a"},
    {"change", EN_CHANGE, EditAct::type, "a"},
    {"limit", EN_MAXTEXT, EditAct::type, "abcdef"},
    {"cut", EN_CHANGE, EditAct::press, "Ctrl+X"},
    {"undo", EN_CHANGE, EditAct::press, "Ctrl+Z"},
    {"replace", EN_CHANGE, EditAct::replace, "new"},
    {"set text", EN_CHANGE, EditAct::set_text, "other"},
    {"focus", EN_SETFOCUS, EditAct::enter, nullptr},
    {"focus lost", EN_KILLFOCUS, EditAct::leave, nullptr},
};

TEST_F(EditTest, AFieldDestroyedByItsParentWhileTellingIsLeftAlone)
{
    for (const EditDestroyCase& c : kEditDestroyCases) {
        SCOPED_TRACE(c.name);
        make_edit(0, "text");
        send_message(edit, EM_LIMITTEXT, 5, 0);
        send_message(edit, EM_SETSEL, 0, 2);
        type("x");
        send_message(edit, EM_SETSEL, 0, 1);
        destroy_on = c.code;
        switch (c.act) {
        case EditAct::type: type(c.text); break;
        case EditAct::press: press(c.text); break;
        case EditAct::replace: send_message(edit, EM_REPLACESEL, 1, reinterpret_cast<LParam>(c.text)); break;
        case EditAct::set_text: set_window_text(edit, c.text); break;
        case EditAct::enter:
            set_focus(host);
            set_focus(edit);
            break;
        case EditAct::leave: set_focus(host); break;
        }
        pump();
        destroy_on = -1;
        EXPECT_FALSE(is_window(edit));
    }
}

} // namespace
