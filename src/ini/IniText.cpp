#include "ini/IniText.h"

#include "platform/winapi.h"

#include <climits>
#include <cstring>
#include <vector>

namespace corvane {

namespace {

// The output buffer of the first expansion attempt.
constexpr DWORD kExpandBufferSize = 60000;

} // namespace

CString ExpandText(const char* text, bool expand) {
    if (!text)
        return CString();
    // Without a '%' the text comes back as it is, copied once.
    if (!expand || !std::strchr(text, '%'))
        return CString(text);
    return ExpandText(CString(text), true);
}

CString ExpandText(const CString& text, bool expand) {
    // Without a '%' there is nothing to expand; this also spares the large
    // buffer on the common path.
    if (!expand || text.Find('%') < 0 || text.str().find('\0') != std::string::npos)
        return text;
    std::vector<char> buffer(kExpandBufferSize);
    DWORD needed = ExpandEnvironmentStringsA(text, buffer.data(), kExpandBufferSize);
    if (needed == 0)
        return text;
    if (needed > kExpandBufferSize) {
        // A longer expansion gets a buffer of its size instead of being cut.
        buffer.assign(needed, '\0');
        DWORD again = ExpandEnvironmentStringsA(text, buffer.data(), needed);
        if (again == 0 || again > needed)
            return text;
    }
    buffer.back() = '\0';
    return CString(buffer.data());
}

CString UpperKey(const CString& text) {
    CString upper(text);
    upper.MakeUpper();
    return upper;
}

bool HasLineBreak(const CString& text) {
    return text.str().find_first_of("\r\n") != std::string::npos;
}

} // namespace corvane
