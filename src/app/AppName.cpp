#include "app/AppName.h"

#include "platform/winapi.h"

#include <cstring>

namespace corvane {

namespace {

// Names Windows keeps for devices, with or without an extension.
bool IsDeviceName(const CString& name) {
    static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    CString stem = name;
    int dot = stem.Find('.');
    if (dot >= 0)
        stem = stem.Left(dot);
    stem.TrimRight();
    for (const char* device : kDevices)
        if (_stricmp(stem, device) == 0)
            return true;
    // COM1 to COM9, LPT1 to LPT9.
    return stem.GetLength() == 4 && stem[3] >= '1' && stem[3] <= '9' &&
           (_strnicmp(stem, "COM", 3) == 0 || _strnicmp(stem, "LPT", 3) == 0);
}

} // namespace

const char* AppNameProblem(const CString& name) {
    if (name.IsEmpty())
        return "is empty";
    for (int i = 0; i < name.GetLength(); ++i) {
        unsigned char c = static_cast<unsigned char>(name[i]);
        if (c == '/' || c == '\\')
            return "holds a path separator";
        if (c == ':')
            return "holds a colon (a drive or a stream)";
        if (c < 0x20 || c == 0x7F)
            return "holds a control character";
        if (std::strchr("<>\"|?*", c))
            return "holds a character Windows does not allow in file names";
    }
    if (name.Find("..") >= 0)
        return "holds \"..\"";
    if (name[name.GetLength() - 1] == '.')
        return "ends with a dot, which Windows drops from file names";
    if (IsDeviceName(name))
        return "is the name of a device";
    return nullptr;
}

} // namespace corvane
