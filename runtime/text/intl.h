// Locale formats: the separators of WIN.INI [intl] in the platform's Windows folder, the
// runtime's clock of seconds and calendar dates in the host's local zone, date and time
// pictures, and numbers as text under a 32-bit format word. The host's C locale is never read
// or changed: C conversions keep ".", and WIN.INI alone decides what the learner sees.
//
// Runtime seconds are seconds since 1970 in the zone's standard time, less a fixed offset;
// they are 64-bit here and narrowed only where a stored field holds 32 bits, so dates after
// 2038 work.
#pragma once
#include <cstddef>
#include <cstdint>

// Number format word.
enum : uint32_t {
    kNumDecimalsMask = 0x1F,
    kNumKeepZeros = 0x80,
    kNumDecimalMask = 0x300, // 0x100 ".", 0x200 ",", 0x300 "."; 0 the locale's
    kNumHasDecimals = 0x800,
    kNumThousandMask = 0x3000, // 0x1000 ".", 0x2000 ",", 0x3000 ","; 0 the locale's
    kNumGroup = 0x8000,
    kNumWidthShift = 16, // five bits of minimum integer width
    kNumPadZeros = 0x200000,
    kNumPadZeros2 = 0x400000,
};

// What runtime seconds subtract from seconds since 1970 in standard time.
constexpr int64_t kIntlEpochOffset = 2085892096;

// Reads [intl] sDecimal, sThousand and sList and makes the character sets (start-up).
void intl_init();
// Back to the defaults ".", "," and "," (tests).
void intl_reset();

char intl_decimal_char();
char intl_thousand_char();
char intl_list_char();
// The characters number scanners accept, each a NUL-terminated set of at most 42 bytes.
const char* intl_decimal_chars();
const char* intl_thousand_chars();
const char* intl_list_chars();
const char* intl_sign_chars();
const char* intl_digit_chars();

// Runtime seconds now, and from and to seconds since 1970 UTC (the host zone's standard
// offset, as the runtime has always counted).
int64_t intl_now();
int64_t intl_from_unix(int64_t unix_seconds);
int64_t intl_to_unix(int64_t seconds);

// Dates and times; out is always NUL-terminated, and empty when the seconds have no local
// calendar time.
void intl_format_short_date(char* out, size_t size, int64_t seconds);
void intl_format_long_date(char* out, size_t size, int64_t seconds);
void format_date_picture(char* out, size_t size, int64_t seconds, const char* picture);
void intl_format_time(char* out, size_t size, int64_t seconds, int with_seconds);
// 0 day of the month, 1 month 1-12, 2 year with century; 0 without a calendar time.
int intl_date_part(int64_t seconds, int which);
// 0 the weekday's name, 1 the month's name; the length written.
int intl_day_or_month_name(char* out, size_t size, int64_t seconds, int which);
// The local date at 0:00; the seconds of 0 when mktime cannot form it.
int64_t intl_date_to_seconds(int day, int month, int year);
// Any out pointer may be null; year with century, month 1-12. All 0 without a calendar time.
void intl_split_date(int* year, int* month, int* day, int* hour, int* minute, int* second, int64_t seconds);

// Numbers as text; a text that does not fit in size (or a value without a finite number)
// gives "#". out is returned.
char* intl_format_number(double value, uint32_t format, char* out, size_t size);
char* intl_format_integer(int32_t value, uint32_t format, char* out, size_t size);
