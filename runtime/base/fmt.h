// The bounded printf-style formatter of messages, logs and labels. Arguments are typed values,
// never a raw argument stack, and the output never passes its bound.
//
// Directive: % [#] [0] [digits] [$ [0] [digits]] [l|L] letter. Digits before $ are an argument
// position (1-based; 0 counts as 1); after the position the next argument follows it.
//   %%            a percent sign
//   %c %C         the argument's low byte
//   %d %D         signed decimal: minus sign, fill, digits (the width counts the digits)
//   %u %U         unsigned decimal
//   %x %X         upper-case hexadecimal, "0x" first under #
//   %k %K         (argument + 1023) / 1024 in decimal, "K" after it under #
//   %s %S %P      a text; "<null>" for a null one
//   %p            two arguments, the second then the first, as 8 hex digits joined by ':'
//   %v            a plug-in value, passed as its text form (fmt_value_text)
// Numbers fill to the width with blanks, or zeros under 0. Any other letter prints the
// directive as it stands. A format starting with "%$" is positional: before each directive the
// argument position goes back to 2. A missing argument or one of the wrong kind prints
// "<invalid>".
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>

enum class FmtKind : uint8_t { int32, uint32, text, value_text };

struct FmtArg {
    FmtKind kind;
    union {
        int32_t i;
        uint32_t u;
        const char* text;
    };

    // Narrower integers promote to int32_t; 64-bit ones must be narrowed by the caller.
    constexpr FmtArg(int32_t value)
        : kind(FmtKind::int32)
        , i(value)
    {
    }
    constexpr FmtArg(uint32_t value)
        : kind(FmtKind::uint32)
        , u(value)
    {
    }
    constexpr FmtArg(const char* value)
        : kind(FmtKind::text)
        , text(value)
    {
    }
    constexpr FmtArg(std::nullptr_t)
        : kind(FmtKind::text)
        , text(nullptr)
    {
    }
};

// The text form of a plug-in value, for %v (null prints "<null>").
constexpr FmtArg fmt_value_text(const char* text)
{
    FmtArg arg(text);
    arg.kind = FmtKind::value_text;
    return arg;
}

// Formats into buffer within size: the number of characters written (at most size - 1),
// always followed by a NUL; size below 1 writes nothing and gives 0. A null format prints
// "<null>".
int fmt_print_args(char* buffer, int size, const char* format, std::span<const FmtArg> args);

template <typename... Args>
int fmt_print(char* buffer, int size, const char* format, const Args&... args)
{
    const FmtArg list[sizeof...(Args) + 1] = { FmtArg(args)..., FmtArg(0) };
    return fmt_print_args(buffer, size, format, std::span<const FmtArg>(list, sizeof...(Args)));
}
