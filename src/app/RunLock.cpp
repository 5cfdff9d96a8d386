#include "app/RunLock.h"

#include "platform/winapi.h"

namespace corvane {

CString RunLockName(const char* scope, const char* kind, const CString& path) {
    // FNV-1a of the path in one spelling: a mutex name holds no backslash and
    // at most MAX_PATH characters, a path may hold both.
    unsigned long long hash = 0xCBF29CE484222325ULL;
    CString text = path;
    text.Replace('/', '\\');
    text.TrimRight("\\");
    for (int i = 0; i < text.GetLength(); ++i) {
        char c = text[i];
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001B3ULL;
    }
    CString name;
    name.Format("%s\\corvane-migrate-%s-%016llx", scope, kind, hash);
    return name;
}

RunLockResult TakeRunLock(const CString& name) {
    // Never closed: the lock ends with the process.
    HANDLE mutex = CreateMutexA(nullptr, TRUE, name);
    if (mutex && GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);
        return RunLockResult::busy;
    }
    return RunLockResult::taken;
}

} // namespace corvane
