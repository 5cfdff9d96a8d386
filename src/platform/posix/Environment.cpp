// Environment variables with Win32 semantics: GetEnvironmentVariableA,
// SetEnvironmentVariableA and ExpandEnvironmentStringsA. The process
// environment itself (getenv/setenv) is the store, so both views agree.
#include "platform/winapi.h"

#include <cstdlib>
#include <cstring>
#include <string>

extern char** environ;

namespace {

bool EqualNoCase(const char* a, const char* b, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z')
            x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z')
            y = static_cast<char>(y - 'a' + 'A');
        if (x != y)
            return false;
    }
    return true;
}

// The value of a variable; Windows names ignore case, so an exact match is
// preferred and otherwise the first one that differs only in ASCII case is
// taken. Null when there is none.
const char* FindVariable(const char* name, size_t length) {
    if (length == 0)
        return nullptr;
    std::string exact(name, length);
    if (exact.find('=') != std::string::npos)
        return nullptr;
    if (const char* value = std::getenv(exact.c_str()))
        return value;
    for (char** entry = environ; entry && *entry; ++entry) {
        const char* eq = std::strchr(*entry, '=');
        if (eq && static_cast<size_t>(eq - *entry) == length && EqualNoCase(*entry, name, length))
            return eq + 1;
    }
    return nullptr;
}

} // namespace

extern "C" DWORD GetEnvironmentVariableA(LPCSTR lpName, LPSTR lpBuffer, DWORD nSize) {
    const char* value = lpName ? FindVariable(lpName, std::strlen(lpName)) : nullptr;
    if (!value) {
        SetLastError(ERROR_ENVVAR_NOT_FOUND);
        return 0;
    }
    size_t length = std::strlen(value);
    if (length + 1 > nSize || !lpBuffer)
        return static_cast<DWORD>(length + 1); // the size needed, with the NUL
    std::memcpy(lpBuffer, value, length + 1);
    // An empty value returns 0 like a failure; the cleared last error tells it apart.
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(length);
}

extern "C" BOOL SetEnvironmentVariableA(LPCSTR lpName, LPCSTR lpValue) {
    if (!lpName || !*lpName || std::strchr(lpName, '=')) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // Windows names ignore case: an existing variable of another case is the
    // same variable.
    std::string name = lpName;
    size_t length = name.size();
    for (char** entry = environ; entry && *entry; ++entry) {
        const char* eq = std::strchr(*entry, '=');
        if (eq && static_cast<size_t>(eq - *entry) == length &&
            EqualNoCase(*entry, lpName, length)) {
            name.assign(*entry, length);
            break;
        }
    }
    if (!lpValue) {
        unsetenv(name.c_str()); // deleting a missing variable succeeds
        return TRUE;
    }
    if (setenv(name.c_str(), lpValue, 1) != 0) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    return TRUE;
}

// %NAME% becomes the variable's value; an unknown name stays as written
// (percent signs included) and scanning goes on after its closing '%'; a '%'
// without a closing one is copied with the rest of the text.
extern "C" DWORD ExpandEnvironmentStringsA(LPCSTR lpSrc, LPSTR lpDst, DWORD nSize) {
    if (!lpSrc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string out;
    const char* src = lpSrc;
    while (*src) {
        if (*src != '%') {
            const char* next = std::strchr(src, '%');
            size_t length = next ? static_cast<size_t>(next - src) : std::strlen(src);
            out.append(src, length);
            src += length;
            continue;
        }
        const char* close = std::strchr(src + 1, '%');
        if (!close) {
            out += src;
            break;
        }
        size_t length = static_cast<size_t>(close - src - 1);
        if (const char* value = FindVariable(src + 1, length))
            out += value;
        else
            out.append(src, length + 2);
        src = close + 1;
    }
    // The size with the NUL; a buffer that is too small gets as much as fits,
    // terminated, and ERROR_INSUFFICIENT_BUFFER.
    DWORD needed = static_cast<DWORD>(out.size() + 1);
    if (!lpDst)
        nSize = 0;
    if (needed > nSize) {
        if (nSize > 0) {
            std::memcpy(lpDst, out.data(), nSize - 1);
            lpDst[nSize - 1] = '\0';
        }
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return needed;
    }
    std::memcpy(lpDst, out.c_str(), needed);
    return needed;
}
