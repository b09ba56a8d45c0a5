// The maths and date functions. Integer edges (the smallest integer, a zero divisor) and reals
// that no integer holds (huge, infinite, NaN) have defined answers: saturation, NaN as 0.
// Day numbers count from 31 December 1899 and are worked out on the civil calendar, so a day
// has one number whatever the zone and whether summer time is on.
#include "runtime/calc/fn_common.h"

#include "platform/kernel/resource.h"
#include "runtime/text/intl.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace {

constexpr int32_t kFirstDay = 25568; // 1 January 1970
constexpr int32_t kLastDay = 49709;  // 5 February 2036
constexpr int kDayNameEntry = 1200;   // Sunday .. Saturday
constexpr int kMonthNameEntry = 1184; // January .. December
constexpr size_t kDateTextSize = 64;

int32_t saturate(double x)
{
    if (std::isnan(x))
        return 0;
    if (x >= 2147483647.0)
        return std::numeric_limits<int32_t>::max();
    if (x <= -2147483648.0)
        return std::numeric_limits<int32_t>::min();
    return int32_t(x);
}

bool is_integer(const ScriptValue& v) { return val_type(v) == kValInteger; }

void fn_abs(int, ScriptValue* args, ScriptValue& result)
{
    if (!is_integer(args[0])) {
        val_set_real(std::fabs(val_real(args[0])), result);
        return;
    }
    int32_t x = val_integer(args[0]);
    // The smallest integer has no positive counterpart: the largest is the nearest.
    val_set_integer(x == std::numeric_limits<int32_t>::min() ? std::numeric_limits<int32_t>::max() : std::abs(x), result);
}

void fn_int(int, ScriptValue* args, ScriptValue& result)
{
    val_set_integer(is_integer(args[0]) ? val_integer(args[0]) : saturate(val_real(args[0])), result);
}

void fn_sign(int, ScriptValue* args, ScriptValue& result)
{
    double x = is_integer(args[0]) ? double(val_integer(args[0])) : val_real(args[0]);
    val_set_integer(x > 0 ? 1 : x < 0 ? -1 : 0, result);
}

template <double (*F)(double)> void real_function(int, ScriptValue* args, ScriptValue& result)
{
    val_set_real(F(val_real(args[0])), result);
}

double exp10(double x) { return std::pow(10.0, x); }
double sqrt_abs(double x) { return std::sqrt(std::fabs(x)); }
double atan_of(double x) { return std::atan(x); }
double cos_of(double x) { return std::cos(x); }
double sin_of(double x) { return std::sin(x); }
double tan_of(double x) { return std::tan(x); }
double asin_of(double x) { return std::asin(x); }
double acos_of(double x) { return std::acos(x); }
double exp_of(double x) { return std::exp(x); }
double ln_of(double x) { return std::log(x); }
double log10_of(double x) { return std::log10(x); }

double power_of_ten(int32_t n)
{
    double factor = 1.0, base = 10.0;
    for (uint32_t e = n < 0 ? 0u - uint32_t(n) : uint32_t(n); e; e >>= 1, base *= base)
        if (e & 1)
            factor *= base;
    return n < 0 ? 1.0 / factor : factor;
}

void fn_round(int argc, ScriptValue* args, ScriptValue& result)
{
    double x = val_real(args[0]);
    double factor = power_of_ten(std::clamp(fn_int_arg(argc, args, 1, 0), -400, 400));
    double y = x * factor;
    y = y > 0 ? y + 0.5 : y - 0.5;
    double rounded = std::trunc(y) / factor;
    // Places beyond what a double holds leave the number as it was.
    val_set_real(std::isfinite(rounded) ? rounded : x, result);
}

void fn_mod(int, ScriptValue* args, ScriptValue& result)
{
    if (is_integer(args[0]) && is_integer(args[1])) {
        int32_t a = val_integer(args[0]), b = val_integer(args[1]);
        // b = -1 answers 0 for every a, the smallest integer included (whose quotient overflows).
        val_set_integer(b == 0 || b == -1 ? 0 : a % b, result);
        return;
    }
    ScriptValue a = args[0], b = args[1];
    val_convert(a, kValReal);
    val_convert(b, kValReal);
    val_set_real(std::fmod(val_real(a), val_real(b)), result);
}

// A whole number an integer holds becomes one; anything else stays real.
void set_number(double x, ScriptValue& result)
{
    if (std::isfinite(x) && x == std::trunc(x) && std::fabs(x) < 2147483647.0)
        val_set_integer(int32_t(x), result);
    else
        val_set_real(x, result);
}

void fn_random(int, ScriptValue* args, ScriptValue& result)
{
    double low = val_real(args[0]), high = val_real(args[1]), step = std::fabs(val_real(args[2]));
    if (high < low)
        std::swap(low, high);
    double r = double(std::rand() & 0x7FFF);
    if (step == 0) {
        double x = low + (high - low) * r / 32767.0;
        val_set_real(std::isfinite(x) ? x : 0.0, result);
        return;
    }
    double top = low + step * std::trunc((high - low) / step);
    double x = low + step * std::trunc((top - low + step) * (r / 32768.0) / step);
    // Bounds no calculation can span (infinite, NaN) give 0, not a NaN.
    set_number(std::isfinite(x) ? x : 0.0, result);
}

// --- dates ------------------------------------------------------------------------------------

// Days since 1 March of year 0 on the proleptic Gregorian calendar.
int64_t days_from_civil(int64_t year, int64_t month, int64_t day)
{
    year -= month <= 2;
    int64_t era = (year >= 0 ? year : year - 399) / 400;
    int64_t year_of_era = year - era * 400;
    int64_t day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    int64_t day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
    return era * 146097 + day_of_era;
}

const int64_t kDayZero = days_from_civil(1899, 12, 31);

struct CivilDate {
    int year, month, day;
};

CivilDate civil_from_day_number(int32_t number)
{
    int64_t z = kDayZero + number;
    int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    int64_t day_of_era = z - era * 146097;
    int64_t year_of_era = (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
    int64_t day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
    int64_t mp = (5 * day_of_year + 2) / 153;
    int day = int(day_of_year - (153 * mp + 2) / 5 + 1);
    int month = int(mp < 10 ? mp + 3 : mp - 9);
    return CivilDate { int(year_of_era + era * 400 + (month <= 2)), month, day };
}

int32_t clamp_day(int32_t number) { return std::clamp(number, kFirstDay, kLastDay); }

CivilDate date_argument(const ScriptValue& v) { return civil_from_day_number(clamp_day(val_integer(v))); }

// Runtime seconds at local noon of the date: noon is that date in every zone and season.
int64_t noon_seconds(const CivilDate& date) { return intl_date_to_seconds(date.day, date.month, date.year) + 12 * 3600; }

void fn_date(int, ScriptValue* args, ScriptValue& result)
{
    char text[kDateTextSize];
    intl_format_short_date(text, sizeof text, noon_seconds(date_argument(args[0])));
    fn_set_text(result, text);
}

void fn_full_date(int, ScriptValue* args, ScriptValue& result)
{
    char text[kDateTextSize];
    intl_format_long_date(text, sizeof text, noon_seconds(date_argument(args[0])));
    fn_set_text(result, text);
}

void fn_day(int, ScriptValue* args, ScriptValue& result) { val_set_integer(date_argument(args[0]).day, result); }
void fn_month(int, ScriptValue* args, ScriptValue& result) { val_set_integer(date_argument(args[0]).month, result); }
void fn_year(int, ScriptValue* args, ScriptValue& result) { val_set_integer(date_argument(args[0]).year, result); }

void set_entry_text(int entry, ScriptValue& result)
{
    char text[kDateTextSize] = {};
    plat::load_string(plat::ModuleHandle {}, uint32_t(entry), text, int(sizeof text));
    fn_set_text(result, text);
}

// Day 1 was a Monday, so the number modulo 7 is the weekday from Sunday.
void fn_day_name(int, ScriptValue* args, ScriptValue& result)
{
    set_entry_text(kDayNameEntry + clamp_day(val_integer(args[0])) % 7, result);
}

void fn_month_name(int, ScriptValue* args, ScriptValue& result)
{
    set_entry_text(kMonthNameEntry + date_argument(args[0]).month - 1, result);
}

int32_t date_to_number(int32_t day, int32_t month, int32_t year)
{
    if (year >= 70 && year <= 99)
        year += 1900;
    if (year < 1970)
        return kFirstDay;
    if (year > 2036)
        return kLastDay;
    month = std::clamp(month, int32_t(1), int32_t(12));
    day = std::clamp(day, int32_t(1), int32_t(31));
    int64_t number = days_from_civil(year, month, day) - kDayZero;
    return int32_t(std::min<int64_t>(number, kLastDay));
}

void fn_date_to_num(int, ScriptValue* args, ScriptValue& result)
{
    val_set_integer(date_to_number(val_integer(args[0]), val_integer(args[1]), val_integer(args[2])), result);
}

const SysFnBinding kMathFunctions[] = {
    { 0, fn_abs },                          // ABS
    { 1, fn_int },                          // INT
    { 2, real_function<atan_of> },          // ATAN
    { 3, real_function<cos_of> },           // COS
    { 4, real_function<sin_of> },           // SIN
    { 5, real_function<tan_of> },           // TAN
    { 6, real_function<exp_of> },           // EXP
    { 7, real_function<ln_of> },            // LN
    { 8, real_function<exp10> },            // EXP10
    { 9, real_function<log10_of> },         // LOG10
    { 10, fn_sign },                        // Sign
    { 11, real_function<sqrt_abs> },        // SQRT
    { 13, fn_round },                       // Round
    { 14, fn_mod },                         // MOD
    { 33, fn_date },                        // Date
    { 34, fn_full_date },                   // FullDate
    { 35, fn_day },                         // Day
    { 36, fn_month },                       // Month
    { 37, fn_year },                        // Year
    { 38, fn_day_name },                    // DayName
    { 39, fn_month_name },                  // MonthName
    { 40, fn_date_to_num },                 // DateToNum
    { 42, fn_random },                      // Random
    { 94, real_function<asin_of> },         // ASIN
    { 95, real_function<acos_of> },         // ACOS
};

} // namespace

void fn_bind_math_functions() { fn_bind_all(kMathFunctions); }
