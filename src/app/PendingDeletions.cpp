// Registry deletions of the run wait until its files are in place: a run ended
// before that leaves every group in the registry for the next run.
#include "app/CorvaneApp.h"
#include "framework/RegistryRead.h"

namespace {

bool SameName(const char* a, const char* b) {
    return _mbsicmp(reinterpret_cast<const unsigned char*>(a),
                    reinterpret_cast<const unsigned char*>(b)) == 0;
}

// Empties the group that holds "DataPath" but for that value, where deleting
// the key and writing "DataPath" anew would leave a moment without it: a run
// ended then would not find its data folder. A key with sub-keys stays whole,
// as the deletion of the key would leave it.
void EmptyAllButDataPath(HKEY hAppKey, const CString& group) {
    HKEY key = nullptr;
    if (RegOpenKeyA(hAppKey, group, &key) != ERROR_SUCCESS || !key)
        return;
    if (RegistrySubKeyNames(key).GetSize() == 0) {
        std::vector<std::string> names;
        RegistryValueReader reader(key, MAX_PATH, 16);
        RegistryValue value;
        for (DWORD index = 0; reader.Read(index, value) == RegistryValueReader::Result::value;
             ++index)
            names.push_back(value.name);
        for (const std::string& name : names)
            if (!SameName(name.c_str(), "DataPath"))
                RegDeleteValueA(key, name.c_str());
    }
    RegCloseKey(key);
}

} // namespace

void CCorvaneApp::DeleteGroupLater(HKEY hAppKey, const CString& group) {
    if (SameName(group, m_strSettings))
        DeleteFromRegistryLater([hAppKey, group] { EmptyAllButDataPath(hAppKey, group); });
    else
        DeleteFromRegistryLater([hAppKey, group] { RegDeleteKeyA(hAppKey, group); });
}

void CCorvaneApp::DeleteFromRegistryLater(std::function<void()> deletion) {
    m_pendingRegistryDeletions.push_back(std::move(deletion));
}

void CCorvaneApp::DeletePendingRegistryKeys() {
    std::vector<std::function<void()>> deletions;
    deletions.swap(m_pendingRegistryDeletions);
    for (const auto& deletion : deletions)
        deletion();
}
