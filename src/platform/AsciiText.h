// Character rules that act on ASCII only, shared by every layer. Windows folds
// letter case in its registry, its profile functions and its C runtime's
// case-insensitive compares for ASCII letters the same way here; other bytes
// (code-page text, UTF-8) are left as they are.
#pragma once

#include <climits>
#include <cstdint>
#include <string>
#include <string_view>

namespace ascii {

constexpr char ToLower(char ch) {
    return ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch - 'A' + 'a') : ch;
}

constexpr char ToUpper(char ch) {
    return ch >= 'a' && ch <= 'z' ? static_cast<char>(ch - 'a' + 'A') : ch;
}

// The text with its ASCII letters in lower case: the key under which names that
// differ only by case meet.
inline std::string Folded(std::string_view text) {
    std::string folded(text);
    for (char& ch : folded)
        ch = ToLower(ch);
    return folded;
}

constexpr bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (ToLower(a[i]) != ToLower(b[i]))
            return false;
    return true;
}

// The C locale's white space: blank, tab, line feed, vertical tab, form feed,
// carriage return.
constexpr bool IsSpace(int ch) {
    return ch == ' ' || (ch >= '\t' && ch <= '\r');
}

// The value of a hex digit of either case, -1 for any other character (wide
// characters too).
constexpr int HexDigitValue(int ch) {
    if (ch >= '0' && ch <= '9')
        return ch - '0';
    if (ch >= 'a' && ch <= 'f')
        return ch - 'a' + 10;
    if (ch >= 'A' && ch <= 'F')
        return ch - 'A' + 10;
    return -1;
}

// atoi as the Windows C runtime has it: white space skipped, an optional sign,
// the digits up to the first other character; overflow gives INT_MAX or INT_MIN,
// no digit gives 0.
constexpr int32_t ToIntSaturated(const char* text) {
    if (!text)
        return 0;
    const char* p = text;
    while (IsSpace(static_cast<unsigned char>(*p)))
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-')
        negative = *p++ == '-';
    int64_t value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + (*p - '0');
        if (value > static_cast<int64_t>(INT_MAX) + 1)
            value = static_cast<int64_t>(INT_MAX) + 1; // saturated; keep scanning
    }
    if (negative)
        value = -value;
    return static_cast<int32_t>(value > INT_MAX ? INT_MAX : value < INT_MIN ? INT_MIN : value);
}

} // namespace ascii
