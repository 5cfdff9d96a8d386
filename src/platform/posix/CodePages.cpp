// MultiByteToWideChar and WideCharToMultiByte over the code pages of
// posix/CodePage.h: CP_ACP and CP_THREAD_ACP are the ANSI code page
// (CORVANE_CODEPAGE, default 1252), CP_UTF8 and the other listed numbers
// themselves. Text that is not valid in its source form follows the rule of
// platform/TextConversion.h (a bad byte becomes U+DC00 + byte, such a unit
// becomes its byte again, other units without a form become '?') unless the
// caller asks for failure (MB_ERR_INVALID_CHARS, WC_ERR_INVALID_CHARS). Windows
// gives U+FFFD for a bad UTF-8 byte instead; this program never hands these
// functions such text. Output that does not fit fails whole: a surrogate pair is
// never cut in half.
#include "platform/posix/CodePage.h"
#include "platform/TextConversion.h"
#include "platform/winapi.h"

#include <cstring>
#include <string>

namespace {

const posix::CodePage* CodePageOf(UINT codePage) {
    if (codePage == CP_ACP || codePage == CP_THREAD_ACP)
        return &posix::CodePage::Ansi();
    return posix::CodePage::Find(codePage);
}

bool IsLoneSurrogateAt(std::u16string_view text, size_t i) {
    char16_t unit = text[i];
    if (unit >= 0xD800 && unit <= 0xDBFF)
        return i + 1 == text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF;
    if (unit >= 0xDC00 && unit <= 0xDFFF)
        return i == 0 || text[i - 1] < 0xD800 || text[i - 1] > 0xDBFF;
    return false;
}

bool HoldsLoneSurrogate(std::u16string_view text) {
    for (size_t i = 0; i < text.size(); ++i)
        if (IsLoneSurrogateAt(text, i))
            return true;
    return false;
}

size_t WideLength(LPCWSTR text) {
    size_t length = 0;
    while (text[length])
        ++length;
    return length;
}

} // namespace

extern "C" UINT GetACP(void) {
    return posix::CodePage::Ansi().Number();
}

extern "C" int MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr,
                                   int cbMultiByte, LPWSTR lpWideCharStr, int cchWideChar) {
    if (!lpMultiByteStr || cbMultiByte == 0 || cchWideChar < 0 || (!lpWideCharStr && cchWideChar)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const posix::CodePage* page = CodePageOf(CodePage);
    if (!page) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    // A negative length means "up to and with the NUL".
    size_t length =
        cbMultiByte < 0 ? std::strlen(lpMultiByteStr) + 1 : static_cast<size_t>(cbMultiByte);
    std::u16string out;
    out.reserve(length);
    page->AppendWide(out, std::string_view(lpMultiByteStr, length));
    // Valid text never gives a lone surrogate: one here stands for a bad byte.
    if ((dwFlags & MB_ERR_INVALID_CHARS) && HoldsLoneSurrogate(out)) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
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
    const posix::CodePage* page = CodePageOf(CodePage);
    if (!page) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    (void)lpDefaultChar; // the default character is always '?'
    size_t length =
        cchWideChar < 0 ? WideLength(lpWideCharStr) + 1 : static_cast<size_t>(cchWideChar);
    std::u16string_view text(lpWideCharStr, length);
    if ((dwFlags & WC_ERR_INVALID_CHARS) && HoldsLoneSurrogate(text)) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
    }
    std::string out;
    out.reserve(length);
    bool whole = page->AppendBytes(out, text);
    if (lpUsedDefaultChar)
        *lpUsedDefaultChar = whole ? FALSE : TRUE;
    if (cbMultiByte == 0)
        return static_cast<int>(out.size());
    if (out.size() > static_cast<size_t>(cbMultiByte)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(lpMultiByteStr, out.data(), out.size());
    return static_cast<int>(out.size());
}
