#include "runtime/base/fmt.h"
#include "text_scope.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

struct FmtCase {
    const char* name;
    const char* format;
    std::vector<FmtArg> args;
    int size;
    const char* expected;
};

// Every row runs into a buffer with guard bytes after its size.
static const FmtCase kCases[] = {
    { "plain text", "abc", {}, 64, "abc" },
    { "percent", "100%%", {}, 64, "100%" },
    { "signed", "%d", { -5 }, 64, "-5" },
    { "signed D", "%D", { 12 }, 64, "12" },
    { "zero fill counts digits only", "%05d", { -5 }, 64, "-00005" },
    { "blank fill", "[%4d]", { 7 }, 64, "[   7]" },
    { "width narrower than the digits", "%2d", { 12345 }, 64, "12345" },
    { "smallest int", "%d", { INT32_MIN }, 64, "-2147483648" },
    { "unsigned", "%u", { 0xFFFFFFFFu }, 64, "4294967295" },
    { "unsigned of -1", "%U", { -1 }, 64, "4294967295" },
    { "signed of a large unsigned", "%d", { 0x80000000u }, 64, "-2147483648" },
    { "hex", "%x", { 0xBEEF }, 64, "BEEF" },
    { "hex with #", "%#x", { 255 }, 64, "0xFF" },
    { "hex fill after 0x", "%#08X", { 255 }, 64, "0x000000FF" },
    { "kilobytes with #", "%#k", { 1025 }, 64, "2K" },
    { "kilobytes rounds up", "%K", { 1 }, 64, "1" },
    { "kilobytes of 0", "%k", { 0 }, 64, "0" },
    { "kilobytes does not wrap", "%k", { 0xFFFFFFFFu }, 64, "4194304" },
    { "characters", "%c%C", { 'h', 0x169 }, 64, "hi" },
    { "string", "[%s]", { "abc" }, 64, "[abc]" },
    { "null string", "%S", { nullptr }, 64, "<null>" },
    { "P is a string", "%P", { "x" }, 64, "x" },
    { "segment and offset", "%p", { 0x1234, 0xAB }, 64, "000000AB:00001234" },
    { "plug-in value", "<%v>", { fmt_value_text("7.5") }, 64, "<7.5>" },
    { "null plug-in value", "%v", { fmt_value_text(nullptr) }, 64, "<null>" },
    { "long prefix ignored", "%ld %Lu", { 3, 4 }, 64, "3 4" },
    { "positions reversed", "%2$s %1$s", { "a", "b" }, 64, "b a" },
    { "a position moves the next argument", "%2$d %d", { 1, 2, 3 }, 64, "2 3" },
    { "position 0 is the first", "%0$d", { 9 }, 64, "9" },
    { "width after a position", "%1$04d", { 7 }, 64, "0007" },
    { "positional mode starts at the second", "%$%d %1$d %d", { 1, 2 }, 64, "2 1 2" },
    { "unknown letter", "%q", { 1 }, 64, "%q" },
    { "unknown letter keeps flags", "a%#05lqb", { 1 }, 64, "a%#05lqb" },
    { "percent at the end", "ab%", {}, 64, "ab%" },
    { "unfinished directive", "ab%05", {}, 64, "ab%05" },
    { "missing argument", "%d|%s", {}, 64, "<invalid>|<invalid>" },
    { "number for a string", "%s", { 5 }, 64, "<invalid>" },
    { "string for a number", "%d", { "5" }, 64, "<invalid>" },
    { "position past the arguments", "%5$d", { 1 }, 64, "<invalid>" },
    { "null format", nullptr, {}, 64, "<null>" },
    { "cut to the bound", "%s", { "abcdefghij" }, 4, "abc" },
    { "size 1", "%d", { 5 }, 1, "" },
    { "huge width is cut", "%999999999999d", { 1 }, 8, "       " },
    { "huge position is missing", "%99999999999$d", { 1 }, 64, "<invalid>" },
};

TEST(FmtPrint, Conversions)
{
    for (const FmtCase& c : kCases) {
        SCOPED_TRACE(c.name);
        char buffer[80];
        std::memset(buffer, 'G', sizeof buffer);
        int length = fmt_print_args(buffer, c.size, c.format, c.args);
        EXPECT_STREQ(buffer, c.expected);
        EXPECT_EQ(length, int(std::strlen(c.expected)));
        for (size_t i = size_t(c.size); i < sizeof buffer; ++i)
            ASSERT_EQ(buffer[i], 'G') << "written past the bound at " << i;
    }
}

TEST(FmtPrint, SizeBelowOneWritesNothing)
{
    char buffer[4] = "abc";
    EXPECT_EQ(fmt_print(buffer, 0, "%d", 5), 0);
    EXPECT_EQ(fmt_print(buffer, -1, "x"), 0);
    EXPECT_STREQ(buffer, "abc");
    EXPECT_EQ(fmt_print(nullptr, 10, "x"), 0);
}

TEST(FmtPrint, VariadicFormTakesTypedArguments)
{
    char buffer[64];
    uint16_t small = 65535;
    char letter = 'z';
    std::string name = "piece";
    EXPECT_EQ(fmt_print(buffer, 64, "%s, %d: %u %c", name.c_str(), 12, small, letter), 18);
    EXPECT_STREQ(buffer, "piece, 12: 65535 z");
    EXPECT_EQ(fmt_print(buffer, 64, "none"), 4);
}

TEST(FmtPrint, NestedCallsKeepTheirOwnOutput)
{
    char inner[16];
    char outer[32];
    fmt_print(outer, 32, "[%s|%d]", "x", fmt_print(inner, 16, "%d", 12345));
    EXPECT_STREQ(outer, "[x|5]");
    EXPECT_STREQ(inner, "12345");
}

TEST(FmtPrint, CutNeverSplitsADoubleByteCharacter)
{
    TextScope scope(949, "K");
    char buffer[8];
    EXPECT_EQ(fmt_print(buffer, 3, "%s", "a\xB0\xA1"), 1);
    EXPECT_STREQ(buffer, "a");
    EXPECT_EQ(fmt_print(buffer, 4, "a\xB0\xA1%d", 5), 3);
    EXPECT_STREQ(buffer, "a\xB0\xA1");
    EXPECT_EQ(fmt_print(buffer, 8, "%s", "\xB0\xB0\xB0"), 3); // uncut: left as given
}

} // namespace
