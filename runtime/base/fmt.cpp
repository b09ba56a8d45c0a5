#include "runtime/base/fmt.h"

#include "platform/kernel/codepage.h"
#include "runtime/base/str.h"

#include <cstring>

// Widths and positions past this are clamped: the output can never be that long anyway, and
// the digits of a hostile format must not overflow.
constexpr int kMaxWidth = 1 << 20;
// In positional mode a directive without a position takes the second argument.
constexpr size_t kPositionalDefault = 1;

static const char kNullText[] = "<null>";
static const char kInvalidText[] = "<invalid>";

struct Output {
    char* buffer;
    int room; // size - 1
    int length;
    bool dropped; // something did not fit
};

struct Directive {
    bool alternate = false; // #
    bool zero_fill = false; // 0
    int width = 0;
};

struct ArgCursor {
    std::span<const FmtArg> args;
    size_t next = 0;

    const FmtArg* take()
    {
        const FmtArg* arg = next < args.size() ? &args[next] : nullptr;
        ++next;
        return arg;
    }
};

static void put_char(Output& out, char c)
{
    if (out.length < out.room)
        out.buffer[out.length++] = c;
    else
        out.dropped = true;
}

static void put_text(Output& out, const char* text)
{
    for (; *text; ++text)
        put_char(out, *text);
}

static void put_fill(Output& out, int count, char fill)
{
    for (int i = 0; i < count; ++i) {
        if (out.length >= out.room) {
            out.dropped = true;
            return;
        }
        put_char(out, fill);
    }
}

// The digits of value in base 10 or 16, filled to the directive's width.
static void put_number(Output& out, uint64_t value, unsigned base, const Directive& d)
{
    static const char kDigits[] = "0123456789ABCDEF";
    char digits[24];
    int count = 0;
    do {
        digits[count++] = kDigits[value % base];
        value /= base;
    } while (value != 0);
    put_fill(out, d.width - count, d.zero_fill ? '0' : ' ');
    while (count > 0)
        put_char(out, digits[--count]);
}

static bool is_number(const FmtArg* arg)
{
    return arg && (arg->kind == FmtKind::int32 || arg->kind == FmtKind::uint32);
}

static bool is_text(const FmtArg* arg)
{
    return arg && (arg->kind == FmtKind::text || arg->kind == FmtKind::value_text);
}

static void put_hex8(Output& out, const FmtArg* arg)
{
    if (!is_number(arg)) {
        put_text(out, kInvalidText);
        return;
    }
    Directive eight;
    eight.zero_fill = true;
    eight.width = 8;
    put_number(out, arg->u, 16, eight);
}

static void put_signed(Output& out, const FmtArg* arg, const Directive& d)
{
    int32_t value = arg->kind == FmtKind::int32 ? arg->i : int32_t(arg->u);
    if (value < 0)
        put_char(out, '-');
    uint32_t magnitude = value < 0 ? 0u - uint32_t(value) : uint32_t(value);
    put_number(out, magnitude, 10, d);
}

// Prints one conversion; false when the letter is not one of ours.
static bool convert(Output& out, char letter, const Directive& d, ArgCursor& cursor)
{
    switch (letter) {
    case '%': put_char(out, '%'); return true;
    case 'p': {
        const FmtArg* low = cursor.take();
        const FmtArg* high = cursor.take();
        put_hex8(out, high);
        put_char(out, ':');
        put_hex8(out, low);
        return true;
    }
    case 'c':
    case 'C':
    case 'd':
    case 'D':
    case 'u':
    case 'U':
    case 'x':
    case 'X':
    case 'k':
    case 'K':
    case 's':
    case 'S':
    case 'P':
    case 'v': break;
    default: return false;
    }
    const FmtArg* arg = cursor.take();
    bool wants_text = letter == 's' || letter == 'S' || letter == 'P' || letter == 'v';
    if (wants_text ? !is_text(arg) : !is_number(arg)) {
        put_text(out, kInvalidText);
        return true;
    }
    switch (letter) {
    case 'c':
    case 'C': put_char(out, char(arg->u & 0xFF)); break;
    case 'd':
    case 'D': put_signed(out, arg, d); break;
    case 'u':
    case 'U': put_number(out, arg->u, 10, d); break;
    case 'x':
    case 'X':
        if (d.alternate)
            put_text(out, "0x");
        put_number(out, arg->u, 16, d);
        break;
    case 'k':
    case 'K':
        put_number(out, (uint64_t(arg->u) + 1023) / 1024, 10, d);
        if (d.alternate)
            put_char(out, 'K');
        break;
    default: put_text(out, arg->text ? arg->text : kNullText); break;
    }
    return true;
}

static int read_digits(const char*& p)
{
    int value = 0;
    for (; *p >= '0' && *p <= '9'; ++p)
        value = value >= kMaxWidth ? kMaxWidth : value * 10 + (*p - '0');
    return value;
}

// directive -> '%' ['#'] ['0'] digits ['$' ['0'] digits] ['l' | 'L'] letter
// Returns the format position after the directive.
static const char* format_directive(Output& out, const char* start, ArgCursor& cursor)
{
    const char* p = start + 1;
    Directive d;
    if (*p == '#')
        d.alternate = true, ++p;
    if (*p == '0')
        d.zero_fill = true, ++p;
    d.width = read_digits(p);
    if (*p == '$') {
        ++p;
        cursor.next = d.width > 1 ? size_t(d.width - 1) : 0;
        if (*p == '0')
            d.zero_fill = true, ++p;
        d.width = read_digits(p);
    }
    if (*p == 'l' || *p == 'L')
        ++p;
    if (*p != '\0' && convert(out, *p, d, cursor))
        return p + 1;
    // Not a conversion of ours: the directive is ordinary text.
    const char* end = *p != '\0' ? p + 1 : p;
    for (const char* c = start; c < end; ++c)
        put_char(out, *c);
    return end;
}

// A cut may have left the first byte of a two-byte character at the end: drop it.
static void trim_split_character(Output& out)
{
    if (!out.dropped || out.length == 0 || !str_settings().double_byte)
        return;
    out.buffer[out.length] = '\0';
    const char* last = str_prev_char(out.buffer, out.buffer + out.length, out.length);
    if (last == out.buffer + out.length - 1 && plat::is_dbcs_lead_byte(uint8_t(*last)))
        --out.length;
}

int fmt_print_args(char* buffer, int size, const char* format, std::span<const FmtArg> args)
{
    if (!buffer || size < 1)
        return 0;
    Output out { buffer, size - 1, 0, false };
    ArgCursor cursor { args };
    const char* p = format ? format : kNullText;
    bool positional = std::strncmp(p, "%$", 2) == 0;
    if (positional)
        p += 2;
    while (*p) {
        if (positional)
            cursor.next = kPositionalDefault;
        if (*p == '%')
            p = format_directive(out, p, cursor);
        else
            put_char(out, *p++);
    }
    trim_split_character(out);
    buffer[out.length] = '\0';
    return out.length;
}
