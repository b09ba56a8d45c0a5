#include "runtime/text/intl.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "platform/kernel/clock.h"
#include "platform/kernel/profile.h"
#include "platform/kernel/resource.h"
#include "runtime/base/str.h"

namespace {

constexpr size_t kSetSize = 43; // 42 bytes and the NUL

struct IntlState {
    char decimal = '.';
    char thousand = ',';
    char list = ',';
    char decimal_chars[kSetSize] = ".";
    char thousand_chars[kSetSize] = ",";
    char list_chars[kSetSize] = ",";
    char sign_chars[kSetSize] = "+-";
    char digit_chars[kSetSize] = "0123456789";
};

IntlState s_intl;

constexpr const char* kIntl = "intl";

// String-table entries of day and month names.
enum : uint32_t {
    kShortDayNames = 16,
    kJapaneseDayNames = 23,
    kShortMonthNames = 32,
    kEraName = 44,
    kMonthNames = 1184,
    kDayNames = 1200,
    kJapaneseLongDayNames = 1207,
};

// Longest text a number conversion may take before it is "#".
constexpr int kMaxNumberDigits = 90;
// Digits a real keeps: more would show the binary value's noise.
constexpr int kSignificantDigits = 15;

} // namespace

static void set_append(char* set, const char* text)
{
    size_t used = std::strlen(set);
    size_t length = std::strlen(text);
    if (length > kSetSize - 1 - used)
        length = kSetSize - 1 - used;
    std::memcpy(set + used, text, length);
    set[used + length] = 0;
}

// The first byte of a setting when it is a character of its own, else the default.
static char setting_char(const char* value, char fallback)
{
    if (value[0] == 0 || !str_is_single_byte(value))
        return fallback;
    return value[0];
}

static void read_set(const char* key, const char* fallback, char& character, char* set)
{
    char value[kSetSize] = {};
    plat::get_profile_string(kIntl, key, fallback, value, sizeof value);
    character = setting_char(value, fallback[0]);
    set[0] = 0;
    set_append(set, value);
    set_append(set, fallback);
}

// Japanese systems also take the full-width forms of code page 932.
static void add_full_width_forms()
{
    set_append(s_intl.decimal_chars, "\x81\x42\x81\x44");
    set_append(s_intl.thousand_chars, "\x81\x41");
    set_append(s_intl.list_chars, "\x81\x41");
    set_append(s_intl.sign_chars, "\x81\x7B\x81\x5B");
    for (int digit = 0; digit < 10; digit++) {
        char pair[3] = {char(0x82), char(0x4F + digit), 0};
        set_append(s_intl.digit_chars, pair);
    }
}

void intl_init()
{
    s_intl = IntlState {};
    read_set("sDecimal", ".", s_intl.decimal, s_intl.decimal_chars);
    read_set("sThousand", ",", s_intl.thousand, s_intl.thousand_chars);
    read_set("sList", ",", s_intl.list, s_intl.list_chars);
    if (str_settings().language == 'J' || str_settings().japanese_font)
        add_full_width_forms();
}

void intl_reset() { s_intl = IntlState {}; }

char intl_decimal_char() { return s_intl.decimal; }
char intl_thousand_char() { return s_intl.thousand; }
char intl_list_char() { return s_intl.list; }
const char* intl_decimal_chars() { return s_intl.decimal_chars; }
const char* intl_thousand_chars() { return s_intl.thousand_chars; }
const char* intl_list_chars() { return s_intl.list_chars; }
const char* intl_sign_chars() { return s_intl.sign_chars; }
const char* intl_digit_chars() { return s_intl.digit_chars; }

// --- the clock ------------------------------------------------------------------------------

// Seconds west of UTC of the zone's standard time, as the C library keeps it.
static int64_t zone_west_seconds()
{
    tzset();
    return int64_t(timezone);
}

int64_t intl_from_unix(int64_t unix_seconds) { return unix_seconds - zone_west_seconds() - kIntlEpochOffset; }
int64_t intl_to_unix(int64_t seconds) { return seconds + zone_west_seconds() + kIntlEpochOffset; }

int64_t intl_now()
{
    int64_t unix_seconds = 0;
    uint32_t nanoseconds = 0;
    plat::file_time_to_unix(plat::get_system_time_as_file_time(), unix_seconds, nanoseconds);
    return intl_from_unix(unix_seconds);
}

static bool local_time(int64_t seconds, std::tm& out)
{
    time_t unix_seconds = time_t(intl_to_unix(seconds));
    return localtime_r(&unix_seconds, &out) != nullptr;
}

int intl_date_part(int64_t seconds, int which)
{
    std::tm tm {};
    if (!local_time(seconds, tm))
        return 0;
    switch (which) {
    case 0: return tm.tm_mday;
    case 1: return tm.tm_mon + 1;
    case 2: return tm.tm_year + 1900;
    default: return 0;
    }
}

void intl_split_date(int* year, int* month, int* day, int* hour, int* minute, int* second, int64_t seconds)
{
    std::tm tm {};
    bool ok = local_time(seconds, tm);
    int values[6] = {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
    int* outs[6] = {year, month, day, hour, minute, second};
    for (int i = 0; i < 6; i++)
        if (outs[i])
            *outs[i] = ok ? values[i] : 0;
}

int64_t intl_date_to_seconds(int day, int month, int year)
{
    std::tm tm {};
    tm.tm_mday = day;
    tm.tm_mon = month - 1;
    tm.tm_year = year - 1900;
    tm.tm_isdst = -1;
    time_t unix_seconds = mktime(&tm);
    if (unix_seconds == time_t(-1))
        return intl_from_unix(0);
    return intl_from_unix(int64_t(unix_seconds));
}

// --- dates and times ------------------------------------------------------------------------

// Writes into a bounded output: stops when one byte of room is left.
struct Out {
    char* text;
    size_t size;
    size_t used = 0;

    void put(const char* s)
    {
        while (*s && used + 1 < size)
            text[used++] = *s++;
        text[used] = 0;
    }
    void put_char(char c)
    {
        char s[2] = {c, 0};
        put(s);
    }
    void put_number(const char* format, int value)
    {
        char s[32];
        std::snprintf(s, sizeof s, format, value);
        put(s);
    }
    void put_string(uint32_t id)
    {
        char s[64];
        plat::load_string(plat::ModuleHandle {}, id, s, int(sizeof s));
        put(s);
    }
};

static bool japanese() { return str_settings().language == 'J'; }

// One run of a picture letter: returns true when the letter means something here.
static bool put_picture_run(Out& out, char letter, int run, const std::tm& tm)
{
    int year = tm.tm_year + 1900;
    switch (letter) {
    case 'd':
        if (run == 1)
            out.put_number("%d", tm.tm_mday);
        else if (run == 2)
            out.put_number("%02d", tm.tm_mday);
        else
            out.put_string(run == 3 ? kShortDayNames + tm.tm_wday : kDayNames + tm.tm_wday);
        return true;
    case 'M':
        if (run == 1)
            out.put_number("%d", tm.tm_mon + 1);
        else if (run == 2)
            out.put_number("%02d", tm.tm_mon + 1);
        else
            out.put_string(run == 3 ? kShortMonthNames + tm.tm_mon : kMonthNames + tm.tm_mon);
        return true;
    case 'y':
        if (run == 2)
            out.put_number("%02d", year % 100);
        else
            out.put_number("%04d", year);
        return true;
    case 'G':
        if (!japanese())
            return false;
        out.put_string(kEraName);
        return true;
    case 'W':
        if (!japanese() || run > 2)
            return false;
        out.put_string(run == 1 ? kJapaneseDayNames + tm.tm_wday : kJapaneseLongDayNames + tm.tm_wday);
        return true;
    case 'n':
        if (!japanese())
            return false;
        out.put_number(run == 1 ? "%01d" : "%02d", year % 100 - 88);
        return true;
    default: return false;
    }
}

void format_date_picture(char* out, size_t size, int64_t seconds, const char* picture)
{
    if (size == 0)
        return;
    out[0] = 0;
    std::tm tm {};
    if (!picture || !local_time(seconds, tm))
        return;
    Out o {out, size};
    const char* p = picture;
    while (*p) {
        char letter = *p;
        if (letter == '"' || letter == '\'') {
            const char* end = std::strchr(p + 1, letter);
            std::string quoted(p + 1, end ? size_t(end - p - 1) : std::strlen(p + 1));
            o.put(quoted.c_str());
            p = end ? end + 1 : p + 1 + quoted.size();
            continue;
        }
        int run = 1;
        while (p[run] == letter)
            run++;
        if (!put_picture_run(o, letter, run, tm)) {
            // Letters without a meaning here are copied as they stand.
            for (int i = 0; i < run; i++)
                o.put_char(letter);
        }
        p += run;
    }
}

static void format_with_setting(char* out, size_t size, int64_t seconds, const char* key, const char* fallback)
{
    char picture[100] = {};
    plat::get_profile_string(kIntl, key, fallback, picture, sizeof picture);
    format_date_picture(out, size, seconds, picture);
}

void intl_format_short_date(char* out, size_t size, int64_t seconds)
{
    format_with_setting(out, size, seconds, "sShortDate", "M/d/yy");
}

void intl_format_long_date(char* out, size_t size, int64_t seconds)
{
    format_with_setting(out, size, seconds, "sLongDate", "dddd, MMMM d, yyyy");
}

void intl_format_time(char* out, size_t size, int64_t seconds, int with_seconds)
{
    if (size == 0)
        return;
    out[0] = 0;
    std::tm tm {};
    if (!local_time(seconds, tm))
        return;
    int twelve_hour = plat::get_profile_int(kIntl, "iTime", 0) == 0;
    int leading_zero = plat::get_profile_int(kIntl, "iTLzero", 0) != 0;
    char separator[8] = {};
    plat::get_profile_string(kIntl, "sTime", ":", separator, sizeof separator);
    char seconds_part[16] = {};
    if (with_seconds)
        std::snprintf(seconds_part, sizeof seconds_part, "%s%02d", separator, tm.tm_sec);
    char suffix[8] = {};
    int hour = tm.tm_hour;
    if (twelve_hour) {
        char marker[7] = {};
        const char* key = hour > 11 ? "s2359" : "s1159";
        plat::get_profile_string(kIntl, key, hour > 11 ? "PM" : "AM", marker, sizeof marker);
        std::snprintf(suffix, sizeof suffix, " %s", marker);
        if (hour > 12)
            hour -= 12;
        else if (hour == 0)
            hour = 12;
    }
    std::snprintf(out, size, leading_zero ? "%02d%s%02d%s%s" : "%d%s%02d%s%s", hour, separator, tm.tm_min,
        seconds_part, suffix);
}

int intl_day_or_month_name(char* out, size_t size, int64_t seconds, int which)
{
    if (size == 0)
        return 0;
    out[0] = 0;
    std::tm tm {};
    if (!local_time(seconds, tm))
        return 0;
    Out o {out, size};
    o.put_string(which == 0 ? kDayNames + tm.tm_wday : kMonthNames + tm.tm_mon);
    return int(o.used);
}

// --- numbers --------------------------------------------------------------------------------

// Fixed-point digits of |value| to decimals places: the integer digits without leading zeros
// (empty for a value below 1) and the decimals.
struct Digits {
    std::string integer;
    std::string decimals;
};

// Adds one unit in the last place of a digit string; a carry out of the first digit adds "1".
static void increment_digits(std::string& digits)
{
    for (size_t i = digits.size(); i-- > 0;) {
        if (digits[i] != '9') {
            digits[i]++;
            return;
        }
        digits[i] = '0';
    }
    digits.insert(digits.begin(), '1');
}

// Halves round away from zero, as the runtime always showed them (2.5 gives 3), from the exact
// decimal expansion of the double rather than printf's rounding to even.
static Digits fixed_digits(double magnitude, int decimals)
{
    constexpr int kExactDecimals = 1080; // every double's expansion ends before this
    static char buffer[kExactDecimals + 400];
    std::snprintf(buffer, sizeof buffer, "%.*f", kExactDecimals, magnitude);
    const char* point = std::strchr(buffer, '.');
    std::string integer(buffer, point ? size_t(point - buffer) : std::strlen(buffer));
    std::string fraction = point ? point + 1 : "";
    bool round_up = size_t(decimals) < fraction.size() && fraction[size_t(decimals)] >= '5';
    fraction.resize(size_t(decimals), '0');
    std::string all = integer + fraction;
    if (round_up)
        increment_digits(all);
    Digits digits;
    digits.integer = all.substr(0, all.size() - size_t(decimals));
    digits.decimals = all.substr(all.size() - size_t(decimals));
    size_t first = digits.integer.find_first_not_of('0');
    digits.integer.erase(0, first == std::string::npos ? digits.integer.size() : first);
    return digits;
}

static char decimal_for(uint32_t format)
{
    switch (format & kNumDecimalMask) {
    case 0x200: return ',';
    case 0x100:
    case 0x300: return '.';
    default: return s_intl.decimal;
    }
}

static char thousand_for(uint32_t format)
{
    switch (format & kNumThousandMask) {
    case 0x1000: return '.';
    case 0x2000:
    case 0x3000: return ',';
    default: return s_intl.thousand;
    }
}

static std::string grouped(const std::string& integer, char separator)
{
    std::string text;
    size_t first = integer.size() % 3 == 0 ? 3 : integer.size() % 3;
    for (size_t i = 0; i < integer.size(); i++) {
        if (i > 0 && (i - first) % 3 == 0 && i >= first)
            text += separator;
        text += integer[i];
    }
    return text;
}

// A "-" followed only by zeros and separators is no negative number.
static bool negative_zero(const std::string& text, char decimal, char thousand)
{
    for (size_t i = 1; i < text.size(); i++)
        if (text[i] != '0' && text[i] != decimal && text[i] != thousand)
            return false;
    return true;
}

static std::string number_text(double value, uint32_t format)
{
    if (!std::isfinite(value))
        return value < 0 ? "-#" : "#";
    int decimals = (format & kNumHasDecimals) ? int(format & kNumDecimalsMask) : 0;
    double magnitude = std::fabs(value);
    Digits digits = fixed_digits(magnitude, decimals);
    if (int(digits.integer.size()) + decimals > kSignificantDigits) {
        decimals = std::max(0, kSignificantDigits - int(digits.integer.size()));
        digits = fixed_digits(magnitude, decimals);
    }
    std::string text = std::signbit(value) ? "-" : "";
    if (int(digits.integer.size()) + decimals + 2 > kMaxNumberDigits)
        return text + "#";
    if (format & (kNumPadZeros | kNumPadZeros2)) {
        int width = int(format >> kNumWidthShift & 0x1F);
        if (width >= int(digits.integer.size()))
            digits.integer.insert(0, size_t(width - int(digits.integer.size()) + 1), '0');
    }
    char thousand = thousand_for(format);
    char decimal = decimal_for(format);
    if (digits.integer.empty())
        text += '0';
    else
        text += (format & kNumGroup) && thousand ? grouped(digits.integer, thousand) : digits.integer;
    if (decimals > 0) {
        std::string fraction = digits.decimals;
        if (!(format & kNumKeepZeros))
            fraction.erase(fraction.find_last_not_of('0') + 1);
        if (!fraction.empty())
            text += decimal + fraction;
    }
    if (text[0] == '-' && negative_zero(text, decimal, thousand))
        text.erase(0, 1);
    return text;
}

static char* copy_number(const std::string& text, char* out, size_t size)
{
    if (size == 0)
        return out;
    const std::string& fitting = text.size() < size ? text : std::string("#");
    std::snprintf(out, size, "%s", fitting.c_str());
    return out;
}

char* intl_format_number(double value, uint32_t format, char* out, size_t size)
{
    return copy_number(number_text(value, format), out, size);
}

char* intl_format_integer(int32_t value, uint32_t format, char* out, size_t size)
{
    return copy_number(number_text(double(value), format), out, size);
}
