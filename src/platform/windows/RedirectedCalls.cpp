#define CORVANE_REAL_WIN32
#include "platform/winapi.h"

#include "platform/windows/KillSwitch.h"
#include "platform/windows/ShadowFiles.h"

namespace {

// The name a read uses; a null name stays null.
struct ReadName {
    explicit ReadName(LPCSTR file)
        : name(file ? RunShadowFiles().ForRead(file) : std::string()), isNull(file == nullptr) {}
    LPCSTR get() const { return isNull ? nullptr : name.c_str(); }
    std::string name;
    bool isNull;
};

} // namespace

namespace corvane_win32 {

DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR def, LPSTR buffer, DWORD size,
                               LPCSTR file) {
    return ::GetPrivateProfileStringA(section, key, def, buffer, size, ReadName(file).get());
}

UINT GetPrivateProfileIntA(LPCSTR section, LPCSTR key, INT def, LPCSTR file) {
    return ::GetPrivateProfileIntA(section, key, def, ReadName(file).get());
}

DWORD GetPrivateProfileSectionA(LPCSTR section, LPSTR buffer, DWORD size, LPCSTR file) {
    return ::GetPrivateProfileSectionA(section, buffer, size, ReadName(file).get());
}

DWORD GetPrivateProfileSectionNamesA(LPSTR buffer, DWORD size, LPCSTR file) {
    return ::GetPrivateProfileSectionNamesA(buffer, size, ReadName(file).get());
}

BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR file) {
    // A request with no section only flushes the file: it changes nothing.
    if (!section || !file)
        return ::WritePrivateProfileStringA(section, key, value, ReadName(file).get());
    std::string name;
    if (!RunShadowFiles().ForEdit(file, name))
        return FALSE;
    kill_switch::Point();
    return ::WritePrivateProfileStringA(section, key, value, name.c_str());
}

BOOL WritePrivateProfileSectionA(LPCSTR section, LPCSTR lines, LPCSTR file) {
    if (!file)
        return ::WritePrivateProfileSectionA(section, lines, file);
    std::string name;
    if (!RunShadowFiles().ForEdit(file, name))
        return FALSE;
    kill_switch::Point();
    return ::WritePrivateProfileSectionA(section, lines, name.c_str());
}

HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                   DWORD disposition, DWORD flags, HANDLE templateFile) {
    if (access & GENERIC_WRITE)
        kill_switch::Point();
    return ::CreateFileA(ReadName(name).get(), access, share, security, disposition, flags,
                         templateFile);
}

DWORD GetFileAttributesA(LPCSTR name) {
    return ::GetFileAttributesA(ReadName(name).get());
}

BOOL GetFileAttributesExA(LPCSTR name, GET_FILEEX_INFO_LEVELS level, LPVOID info) {
    return ::GetFileAttributesExA(ReadName(name).get(), level, info);
}

BOOL MoveFileExA(LPCSTR from, LPCSTR to, DWORD flags) {
    // A move that may replace a file is a new version of that file: it goes to
    // the copy. One that may not (a new backup) cannot harm anything.
    std::string target = to ? to : "";
    if (to && (flags & MOVEFILE_REPLACE_EXISTING) && !RunShadowFiles().ForReplace(to, target))
        return FALSE;
    kill_switch::Point();
    return ::MoveFileExA(from, to ? target.c_str() : nullptr, flags);
}

LONG RegDeleteKeyA(HKEY key, LPCSTR subKey) {
    kill_switch::Point();
    return ::RegDeleteKeyA(key, subKey);
}

LONG RegDeleteValueA(HKEY key, LPCSTR name) {
    kill_switch::Point();
    return ::RegDeleteValueA(key, name);
}

LONG RegSetValueExA(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD size) {
    kill_switch::Point();
    return ::RegSetValueExA(key, name, reserved, type, data, size);
}

} // namespace corvane_win32
