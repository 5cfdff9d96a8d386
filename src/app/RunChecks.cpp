#include "app/RunChecks.h"

#include "platform/RunEnvironment.h"

#include <algorithm>
#include <string>

namespace corvane {

namespace {

// The full form of a path as the file functions will see it.
CString FullPath(const CString& path) {
    DWORD needed = GetFullPathNameA(path, 0, nullptr, nullptr);
    if (needed == 0)
        return path;
    std::string buffer(needed, '\0');
    DWORD length = GetFullPathNameA(path, needed, buffer.data(), nullptr);
    if (length == 0 || length >= needed)
        return path;
    return CString(buffer.substr(0, length));
}

CString InFolder(const CString& folder, const CString& name) {
    return folder + CString(std::string(1, runenv::PathSeparator())) + name;
}

// True when the only value of `key` is "DataPath" (or it has none).
bool HoldsOnlyDataPath(HKEY key) {
    for (DWORD index = 0;; ++index) {
        char name[MAX_PATH];
        DWORD nameLength = sizeof name;
        LONG result =
            RegEnumValueA(key, index, name, &nameLength, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_NO_MORE_ITEMS)
            return true;
        if (result != ERROR_SUCCESS || _stricmp(name, "DataPath") != 0)
            return false;
    }
}

} // namespace

AppKeyState InspectApplicationKey(const char* keyPath) {
    HKEY appKey = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, keyPath, 0, KEY_READ, &appKey) != ERROR_SUCCESS)
        return AppKeyState::missing;
    AppKeyState state = AppKeyState::toConvert;
    char subKey[MAX_PATH];
    bool onlySettings = RegEnumKeyA(appKey, 0, subKey, sizeof subKey) == ERROR_SUCCESS &&
                        _stricmp(subKey, "Settings") == 0 &&
                        RegEnumKeyA(appKey, 1, subKey, sizeof subKey) == ERROR_NO_MORE_ITEMS;
    HKEY settings = nullptr;
    if (onlySettings &&
        RegOpenKeyExA(appKey, "Settings", 0, KEY_READ, &settings) == ERROR_SUCCESS) {
        if (RegEnumKeyA(settings, 0, subKey, sizeof subKey) == ERROR_NO_MORE_ITEMS &&
            HoldsOnlyDataPath(settings))
            state = AppKeyState::converted;
        RegCloseKey(settings);
    }
    RegCloseKey(appKey);
    return state;
}

CStringArray DataFileNames(const CString& appName, const CString& sectionPrefix) {
    CStringArray names;
    names.Add(appName + ".ini");
    names.Add("PlugIns.ini");
    names.Add("hostCanDos.ini");
    names.Add("#Intern" + sectionPrefix + ".corvane");
    names.Add(appName + "-registry-backup-9999.reg");
    return names;
}

CString PathTooLong(const CString& folder, const CStringArray& names) {
    CString full = FullPath(folder);
    size_t longest = 0;
    for (int i = 0; i < names.GetSize(); ++i)
        longest = std::max(longest, static_cast<size_t>(names[i].GetLength()));
    size_t length = static_cast<size_t>(full.GetLength()) + 1 + longest;
    CString problem;
    if (length > runenv::LongestPath())
        problem.Format("the data folder \"%s\" is too long: the paths of its files would be %lu "
                       "characters, the system allows %lu",
                       full.GetString(), static_cast<unsigned long>(length),
                       static_cast<unsigned long>(runenv::LongestPath()));
    return problem;
}

CString CheckBeforeFirstWrite(const CString& folder, const CStringArray& names) {
    CString problem = PathTooLong(folder, names);
    if (!problem.IsEmpty())
        return problem;
    std::string reason = runenv::ProbeFolderWritable(folder.str());
    if (!reason.empty()) {
        problem.Format("cannot write in the data folder \"%s\": %s", folder.GetString(),
                       reason.c_str());
        return problem;
    }
    for (int i = 0; i < names.GetSize(); ++i) {
        CString file = InFolder(folder, names[i]);
        reason = runenv::ProbeFileReplaceable(file.str());
        if (!reason.empty()) {
            problem.Format("cannot replace \"%s\": %s", file.GetString(), reason.c_str());
            return problem;
        }
    }
    reason = runenv::RegistryFileNotWritable();
    if (!reason.empty())
        problem.Format("cannot save the registry file: %s", reason.c_str());
    return problem;
}

} // namespace corvane
