// Locale formats: numbers under format words, date and time pictures, the clock of runtime
// seconds in the local zone, with WIN.INI of the test's own Windows folder.
#include <cmath>
#include <cstring>

#include <gtest/gtest.h>

#include "tests/display/text_fixture.h"

namespace {

using texttest::LocaleScope;

constexpr uint32_t kGrouped2 = kNumGroup | kNumHasDecimals | 2;

struct NumberCase {
    const char* name;
    double value;
    uint32_t format;
    const char* expected;
};

static const NumberCase kNumberCases[] = {
    {"grouped, trailing zero dropped", 1234.5, kGrouped2, "1,234.5"},
    {"grouped, trailing zeros kept", 1234.5, kGrouped2 | kNumKeepZeros, "1,234.50"},
    {"zero in the default real format", 0.0, kNumHasDecimals | 11, "0"},
    {"padded to width 2", 7.0, kNumPadZeros | (2u << kNumWidthShift), "007"},
    {"width below the digits pads nothing", 1234.0, kNumPadZeros | (2u << kNumWidthShift), "1234"},
    {"too long for a number", 1e100, 0, "#"},
    {"negative too long", -1e100, 0, "-#"},
    {"infinity", HUGE_VAL, kNumHasDecimals | 2, "#"},
    {"not a number", NAN, 0, "#"},
    {"negative rounds to zero", -0.001, kNumHasDecimals | 2, "0"},
    {"negative grouped", -1234567.25, kGrouped2, "-1,234,567.25"},
    {"below one", 0.25, kNumHasDecimals | 2, "0.25"},
    {"halves round away from zero", 2.5, 0, "3"},
    {"an exact half in the decimals", 0.125, kNumHasDecimals | 2, "0.13"},
    {"decimal comma and thousands point", 1234.5, kGrouped2 | 0x200 | 0x1000, "1.234,5"},
    {"fifteen digits at most", 123456789012.345678, kNumHasDecimals | 10, "123456789012.346"},
    {"group of exactly three", 123.0, kNumGroup, "123"},
    {"group of six", 123456.0, kNumGroup, "123,456"},
};

TEST(IntlNumber, FormatsUnderTheFormatWord)
{
    LocaleScope locale("");
    for (const NumberCase& c : kNumberCases) {
        SCOPED_TRACE(c.name);
        char out[120];
        EXPECT_STREQ(intl_format_number(c.value, c.format, out, sizeof out), c.expected);
    }
}

TEST(IntlNumber, TakesTheSeparatorsOfWinIni)
{
    LocaleScope locale("[intl]\nsDecimal=,\nsThousand=.\nsList=;\n");
    char out[120];
    EXPECT_STREQ(intl_format_number(1234.5, kGrouped2, out, sizeof out), "1.234,5");
    EXPECT_EQ(intl_list_char(), ';');
    EXPECT_STREQ(intl_decimal_chars(), ",.");
    EXPECT_STREQ(intl_list_chars(), ";,");
    // A format word that names its characters ignores the locale's.
    EXPECT_STREQ(intl_format_number(1234.5, kGrouped2 | 0x100 | 0x2000, out, sizeof out), "1,234.5");
}

TEST(IntlNumber, TextThatDoesNotFitIsAHash)
{
    LocaleScope locale("");
    char out[6];
    EXPECT_STREQ(intl_format_number(123456.0, 0, out, sizeof out), "#");
    EXPECT_STREQ(intl_format_integer(12345, 0, out, sizeof out), "12345");
    EXPECT_STREQ(intl_format_integer(-2147483647 - 1, kNumGroup, out, sizeof out), "#");
}

struct PictureCase {
    const char* name;
    const char* picture;
    const char* expected;
};

// 4 July 1998 was a Saturday.
static const PictureCase kPictureCases[] = {
    {"long date", "dddd, MMMM d, yyyy", "Saturday, July 4, 1998"},
    {"short date", "M/d/yy", "7/4/98"},
    {"quoted letter then a day", "'d'd", "d4"},
    {"double quotes", "\"day\" dd", "day 04"},
    {"unclosed quote copies to the end", "d 'MMM", "4 MMM"},
    {"abbreviations", "ddd MMM", "Sat Jul"},
    {"padded", "dd/MM/yyyy", "04/07/1998"},
    {"year with century from one y", "y", "1998"},
    {"letters of another language copied", "G W n", "G W n"},
};

TEST(IntlDate, FormatsPictures)
{
    LocaleScope locale("");
    int64_t seconds = intl_date_to_seconds(4, 7, 1998);
    for (const PictureCase& c : kPictureCases) {
        SCOPED_TRACE(c.name);
        char out[100];
        format_date_picture(out, sizeof out, seconds, c.picture);
        EXPECT_STREQ(out, c.expected);
    }
}

TEST(IntlDate, ShortAndLongDateFollowWinIni)
{
    int64_t seconds = 0;
    char out[100];
    {
        LocaleScope locale("");
        seconds = intl_date_to_seconds(4, 7, 1998);
        intl_format_short_date(out, sizeof out, seconds);
        EXPECT_STREQ(out, "7/4/98");
        intl_format_long_date(out, sizeof out, seconds);
        EXPECT_STREQ(out, "Saturday, July 4, 1998");
    }
    LocaleScope locale("[intl]\nsShortDate=dd.MM.yyyy\nsLongDate=d MMMM yyyy\n");
    intl_format_short_date(out, sizeof out, seconds);
    EXPECT_STREQ(out, "04.07.1998");
    intl_format_long_date(out, sizeof out, seconds);
    EXPECT_STREQ(out, "4 July 1998");
}

TEST(IntlDate, OutputStopsWithOneByteOfRoom)
{
    LocaleScope locale("");
    char out[8];
    format_date_picture(out, sizeof out, intl_date_to_seconds(4, 7, 1998), "dddd, MMMM");
    EXPECT_STREQ(out, "Saturda");
}

struct TimeCase {
    const char* name;
    const char* win_ini;
    int hour, minute, second;
    int with_seconds;
    const char* expected;
};

static const TimeCase kTimeCases[] = {
    {"twelve-hour afternoon with seconds", "[intl]\niTime=0\niTLzero=0\nsTime=:\n", 13, 5, 9, 1, "1:05:09 PM"},
    {"defaults without seconds", "", 13, 5, 9, 0, "1:05 PM"},
    {"midnight is twelve", "", 0, 30, 0, 0, "12:30 AM"},
    {"noon stays twelve", "", 12, 0, 0, 0, "12:00 PM"},
    {"24-hour with a leading zero", "[intl]\niTime=1\niTLzero=1\nsTime=.\n", 7, 5, 9, 1, "07.05.09"},
    {"own markers", "[intl]\ns1159=vorm\ns2359=nachm\n", 9, 1, 0, 0, "9:01 vorm"},
};

TEST(IntlTime, FormatsTheClock)
{
    for (const TimeCase& c : kTimeCases) {
        SCOPED_TRACE(c.name);
        LocaleScope locale(c.win_ini);
        int64_t seconds = intl_date_to_seconds(4, 7, 1998) + c.hour * 3600 + c.minute * 60 + c.second;
        char out[40];
        intl_format_time(out, sizeof out, seconds, c.with_seconds);
        EXPECT_STREQ(out, c.expected);
    }
}

struct DateCase {
    const char* name;
    const char* zone;
    int day, month, year;
    int weekday; // 0 Sunday
};

static const DateCase kDateCases[] = {
    {"before 2038", "UTC0", 4, 7, 1998, 6},
    {"the 32-bit wrap", "UTC0", 19, 1, 2038, 2},
    {"after 2038", "UTC0", 1, 1, 2040, 0},
    {"far after", "UTC0", 29, 2, 2104, 5},
    {"summer time in a zone with it", "EST5EDT,M3.2.0,M11.1.0", 4, 7, 2050, 1},
    {"winter in that zone", "EST5EDT,M3.2.0,M11.1.0", 25, 12, 2060, 6},
};

TEST(IntlClock, DatesGoAndComeBack)
{
    static const char* kDays[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
    for (const DateCase& c : kDateCases) {
        SCOPED_TRACE(c.name);
        LocaleScope locale("", c.zone);
        int64_t seconds = intl_date_to_seconds(c.day, c.month, c.year);
        int year = 0, month = 0, day = 0, hour = -1, minute = -1, second = -1;
        intl_split_date(&year, &month, &day, &hour, &minute, &second, seconds);
        EXPECT_EQ(year, c.year);
        EXPECT_EQ(month, c.month);
        EXPECT_EQ(day, c.day);
        EXPECT_EQ(hour, 0);
        EXPECT_EQ(minute, 0);
        EXPECT_EQ(intl_date_part(seconds, 2), c.year);
        char name[32];
        EXPECT_EQ(intl_day_or_month_name(name, sizeof name, seconds, 0), int(std::strlen(kDays[c.weekday])));
        EXPECT_STREQ(name, kDays[c.weekday]);
    }
}

TEST(IntlClock, RuntimeSecondsCountFromTheirEpoch)
{
    LocaleScope locale("", "UTC0");
    EXPECT_EQ(intl_from_unix(0), -kIntlEpochOffset);
    EXPECT_EQ(intl_to_unix(intl_from_unix(4102444800)), 4102444800); // 2100-01-01
    // Past 2^31 seconds since 1970 the count keeps going.
    int64_t after = intl_from_unix(int64_t(1) << 32);
    EXPECT_EQ(intl_date_part(after, 2), 2106);
    // A zone west of UTC counts its standard time.
    LocaleScope west("", "EST5");
    EXPECT_EQ(intl_from_unix(0), -kIntlEpochOffset - 5 * 3600);
}

TEST(IntlLocale, DefaultsWithoutWinIni)
{
    LocaleScope locale("");
    EXPECT_EQ(intl_decimal_char(), '.');
    EXPECT_EQ(intl_thousand_char(), ',');
    EXPECT_EQ(intl_list_char(), ',');
    EXPECT_STREQ(intl_sign_chars(), "+-");
    EXPECT_STREQ(intl_digit_chars(), "0123456789");
    // C conversions are untouched by the locale: the host's LC_NUMERIC is never taken.
    char out[16];
    std::snprintf(out, sizeof out, "%.1f", 1.5);
    EXPECT_STREQ(out, "1.5");
}

} // namespace
