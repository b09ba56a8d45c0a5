#include "platform/window/clipboard.h"

#include <cstring>

#include "platform/kernel/error.h"
#include "control_test_support.h"

namespace {

using namespace wintest;

class ClipboardTest : public ControlTest {
protected:
    GlobalHandle text_block(const char* text)
    {
        GlobalHandle block = global_alloc(GMEM_MOVEABLE, strlen(text) + 1);
        std::memcpy(global_lock(block), text, strlen(text) + 1);
        global_unlock(block);
        return block;
    }
    std::string text_of_block(GlobalHandle block)
    {
        const char* bytes = static_cast<const char*>(global_lock(block));
        std::string text = bytes ? bytes : "";
        global_unlock(block);
        return text;
    }
    std::string clipboard_text()
    {
        open_clipboard({});
        std::string text = text_of_block(get_clipboard_data(CF_TEXT));
        close_clipboard();
        return text;
    }
};

TEST_F(ClipboardTest, DataGoesInAndOutOnlyWhileOpen)
{
    set_last_error(0);
    GlobalHandle refused = text_block("x");
    EXPECT_FALSE(set_clipboard_data(CF_TEXT, refused)); // the caller keeps a block refused
    EXPECT_EQ(get_last_error(), ERROR_CLIPBOARD_NOT_OPEN);
    global_free(refused);
    EXPECT_FALSE(close_clipboard());
    ASSERT_TRUE(open_clipboard(host));
    EXPECT_FALSE(open_clipboard(make_top("Other"))); // another window has it
    EXPECT_TRUE(empty_clipboard());
    EXPECT_EQ(get_clipboard_owner(), host);
    GlobalHandle block = text_block("Hello");
    EXPECT_EQ(set_clipboard_data(CF_TEXT, block), block);
    EXPECT_EQ(get_clipboard_data(CF_OEMTEXT), block);
    EXPECT_TRUE(close_clipboard());
    EXPECT_TRUE(is_clipboard_format_available(CF_TEXT));
    EXPECT_FALSE(is_clipboard_format_available(CF_DIB));
    EXPECT_EQ(clipboard_text(), "Hello");
}

TEST_F(ClipboardTest, EmptyingTellsTheOldOwnerAndFreesItsBlocks)
{
    std::vector<std::string> told;
    answer = [&](WindowHandle window, uint32_t message, WParam, LParam) -> std::optional<LResult> {
        if (message == WM_DESTROYCLIPBOARD)
            told.push_back(label(window));
        return std::nullopt;
    };
    WindowHandle first = make_top("First");
    open_clipboard(first);
    empty_clipboard();
    GlobalHandle block = text_block("old");
    set_clipboard_data(CF_TEXT, block);
    uint32_t format = register_clipboard_format("Storvel Private");
    set_clipboard_data(format, text_block("private"));
    close_clipboard();
    EXPECT_EQ(count_clipboard_formats(), 2);
    EXPECT_EQ(enum_clipboard_formats(0), uint32_t(CF_TEXT));
    EXPECT_EQ(enum_clipboard_formats(CF_TEXT), format);
    EXPECT_EQ(enum_clipboard_formats(format), 0u);
    EXPECT_EQ(register_clipboard_format("storvel private"), format);
    EXPECT_TRUE(told.empty());
    WindowHandle second = make_top("Second");
    open_clipboard(second);
    empty_clipboard();
    close_clipboard();
    EXPECT_EQ(global_size(block), 0u); // freed: the handle is no longer good
    EXPECT_EQ(told, std::vector<std::string>{"First"});
    EXPECT_EQ(get_clipboard_owner(), second);
}

struct HostClipboard {
    static inline std::string text;
    static inline bool has = false;
    static inline int sets = 0;
    static bool set(std::string_view utf8)
    {
        text = std::string(utf8);
        has = true;
        sets++;
        return true;
    }
    static bool get(std::string& utf8)
    {
        utf8 = text;
        return has;
    }
};

TEST_F(ClipboardTest, TextCrossesToTheHostInUtf8WithItsLineEnds)
{
    static const ClipboardHost kHost{HostClipboard::set, HostClipboard::get};
    HostClipboard::has = false;
    HostClipboard::sets = 0;
    clipboard_set_host(&kHost);
    ASSERT_TRUE(set_active_code_page(CP_KOREAN));
    open_clipboard(host);
    empty_clipboard();
    set_clipboard_data(CF_TEXT, text_block("\xC7\xD1\r\nA")); // 한, CR LF, A
    close_clipboard();
    EXPECT_EQ(HostClipboard::text, "\xED\x95\x9C\nA");
    EXPECT_EQ(HostClipboard::sets, 1);
    EXPECT_EQ(clipboard_text(), "\xC7\xD1\r\nA"); // our own text comes back unchanged

    HostClipboard::text = "B\nC"; // another program copies
    EXPECT_TRUE(is_clipboard_format_available(CF_TEXT));
    EXPECT_EQ(clipboard_text(), "B\r\nC");
    EXPECT_FALSE(get_clipboard_owner());
    EXPECT_EQ(HostClipboard::sets, 1); // opening and closing without a change gives nothing back
    clipboard_set_host(nullptr);
}

} // namespace
