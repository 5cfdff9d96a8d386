// Case-insensitive comparisons of the Windows C runtime. Letters fold to lower
// case (so '_' sorts after letters, as there); only ASCII letters fold. The
// multibyte forms count characters: a UTF-8 lead byte and its continuation
// bytes are one character.
#include "platform/winapi.h"
#include "platform/AsciiText.h"

namespace {

int LowerAscii(unsigned char ch) {
    return static_cast<unsigned char>(ascii::ToLower(static_cast<char>(ch)));
}

bool IsContinuationByte(unsigned char ch) {
    return (ch & 0xC0) == 0x80;
}

} // namespace

extern "C" int _strnicmp(const char* a, const char* b, size_t n) {
    const auto* x = reinterpret_cast<const unsigned char*>(a);
    const auto* y = reinterpret_cast<const unsigned char*>(b);
    for (size_t i = 0; i < n; ++i) {
        int cx = LowerAscii(x[i]), cy = LowerAscii(y[i]);
        if (cx != cy)
            return cx - cy;
        if (cx == 0)
            return 0;
    }
    return 0;
}

extern "C" int _stricmp(const char* a, const char* b) {
    return _strnicmp(a, b, static_cast<size_t>(-1));
}

extern "C" int _mbsicmp(const unsigned char* a, const unsigned char* b) {
    return _strnicmp(reinterpret_cast<const char*>(a), reinterpret_cast<const char*>(b),
                     static_cast<size_t>(-1));
}

extern "C" int _mbsnicmp(const unsigned char* a, const unsigned char* b, size_t n) {
    size_t characters = 0;
    for (size_t i = 0;; ++i) {
        // A new character starts at every byte that is not a continuation byte.
        if (!IsContinuationByte(a[i]) && characters++ == n)
            return 0;
        int cx = LowerAscii(a[i]), cy = LowerAscii(b[i]);
        if (cx != cy)
            return cx - cy;
        if (cx == 0)
            return 0;
    }
}
