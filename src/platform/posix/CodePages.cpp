// MultiByteToWideChar and WideCharToMultiByte. The 8-bit code page of this
// system is UTF-8 (CP_ACP, CP_THREAD_ACP and CP_UTF8 all mean UTF-8); wide
// text is UTF-16. Malformed input becomes U+FFFD unless the caller asks for
// failure (MB_ERR_INVALID_CHARS, WC_ERR_INVALID_CHARS); other flags have no
// effect on UTF-8. Output that does not fit fails whole: a surrogate pair is
// never cut in half.
#include "platform/winapi.h"

#include <cstring>
#include <string>

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsUtf8CodePage(UINT codePage) {
    return codePage == CP_ACP || codePage == CP_THREAD_ACP || codePage == CP_UTF8;
}

bool IsContinuation(unsigned char ch) {
    return (ch & 0xC0) == 0x80;
}

// Continuation bytes that follow a lead byte; 0 for a byte that leads nothing
// (a continuation byte, an overlong lead C0/C1, or F5 and up).
unsigned FollowingBytes(unsigned char lead) {
    if (lead >= 0xC2 && lead <= 0xDF)
        return 1;
    if (lead >= 0xE0 && lead <= 0xEF)
        return 2;
    if (lead >= 0xF0 && lead <= 0xF4)
        return 3;
    return 0;
}

// Decodes one character at s[i] (i < length) and advances i past it. A
// malformed sequence gives kReplacement and sets `bad`; it covers the lead byte
// and the continuation bytes read before the sequence went wrong (a surrogate
// or a value beyond U+10FFFF is found on its second byte), and a sequence cut
// off by the end of the input takes the rest of it. A byte that is no
// continuation byte always starts the next character, so a cut sequence never
// swallows the text or the NUL after it.
char32_t DecodeUtf8(const unsigned char* s, size_t length, size_t& i, bool& bad) {
    static const unsigned char kLeadMask[4] = {0x7F, 0x1F, 0x0F, 0x07};
    unsigned char lead = s[i++];
    if (lead < 0x80)
        return lead;
    unsigned following = FollowingBytes(lead);
    bad = true;
    if (following == 0)
        return kReplacement;
    if (i + following > length) {
        size_t end = i;
        while (end < length && IsContinuation(s[end]))
            ++end;
        if (end == length) {
            i = length;
            return kReplacement;
        }
    }
    char32_t cp = lead & kLeadMask[following];
    if (following == 3) {
        if (i >= length || !IsContinuation(s[i]))
            return kReplacement;
        cp = (cp << 6) | (s[i++] & 0x3F);
        if (cp < 0x10) // overlong
            return kReplacement;
    }
    if (following >= 2) {
        if (i >= length || !IsContinuation(s[i]))
            return kReplacement;
        char32_t next = (cp << 6) | (s[i] & 0x3F);
        if (next >= (0x110000 >> 6)) // beyond U+10FFFF
            return kReplacement;
        ++i;
        cp = next;
        if (cp < 0x20) // overlong
            return kReplacement;
        if (cp >= (0xD800 >> 6) && cp <= (0xDFFF >> 6)) // a surrogate
            return kReplacement;
    }
    if (i >= length || !IsContinuation(s[i]))
        return kReplacement;
    cp = (cp << 6) | (s[i++] & 0x3F);
    if (cp < 0x80) // overlong
        return kReplacement;
    bad = false;
    return cp;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

size_t WideLength(LPCWSTR text) {
    size_t length = 0;
    while (text[length])
        ++length;
    return length;
}

} // namespace

extern "C" int MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr,
                                   int cbMultiByte, LPWSTR lpWideCharStr, int cchWideChar) {
    if (!lpMultiByteStr || cbMultiByte == 0 || cchWideChar < 0 || (!lpWideCharStr && cchWideChar)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (!IsUtf8CodePage(CodePage)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    // A negative length means "up to and with the NUL".
    size_t length =
        cbMultiByte < 0 ? std::strlen(lpMultiByteStr) + 1 : static_cast<size_t>(cbMultiByte);
    const auto* s = reinterpret_cast<const unsigned char*>(lpMultiByteStr);
    std::u16string out;
    out.reserve(length);
    for (size_t i = 0; i < length;) {
        bool bad = false;
        char32_t cp = DecodeUtf8(s, length, i, bad);
        if (bad && (dwFlags & MB_ERR_INVALID_CHARS)) {
            SetLastError(ERROR_NO_UNICODE_TRANSLATION);
            return 0;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    if (cchWideChar == 0)
        return static_cast<int>(out.size());
    if (out.size() > static_cast<size_t>(cchWideChar)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(lpWideCharStr, out.data(), out.size() * sizeof(WCHAR));
    return static_cast<int>(out.size());
}

extern "C" int WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr,
                                   int cchWideChar, LPSTR lpMultiByteStr, int cbMultiByte,
                                   LPCSTR lpDefaultChar, LPBOOL lpUsedDefaultChar) {
    if (!lpWideCharStr || cchWideChar == 0 || cbMultiByte < 0 || (!lpMultiByteStr && cbMultiByte)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (!IsUtf8CodePage(CodePage)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    // Every character has a UTF-8 form, so a default character is never
    // needed; only a lone surrogate counts as "default used" (it becomes
    // U+FFFD).
    (void)lpDefaultChar;
    size_t length =
        cchWideChar < 0 ? WideLength(lpWideCharStr) + 1 : static_cast<size_t>(cchWideChar);
    std::string out;
    out.reserve(length * 3);
    bool replaced = false;
    for (size_t i = 0; i < length; ++i) {
        char32_t unit = lpWideCharStr[i];
        char32_t cp = unit;
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < length && lpWideCharStr[i + 1] >= 0xDC00 &&
            lpWideCharStr[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((unit - 0xD800) << 10) + (lpWideCharStr[i + 1] - 0xDC00);
            ++i;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            // A surrogate without its partner.
            if (dwFlags & WC_ERR_INVALID_CHARS) {
                SetLastError(ERROR_NO_UNICODE_TRANSLATION);
                return 0;
            }
            cp = kReplacement;
            replaced = true;
        }
        AppendUtf8(out, cp);
    }
    if (lpUsedDefaultChar)
        *lpUsedDefaultChar = replaced ? TRUE : FALSE;
    if (cbMultiByte == 0)
        return static_cast<int>(out.size());
    if (out.size() > static_cast<size_t>(cbMultiByte)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(lpMultiByteStr, out.data(), out.size());
    return static_cast<int>(out.size());
}

extern "C" UINT GetACP(void) {
    return CP_UTF8;
}
