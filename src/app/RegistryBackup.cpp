#include "app/RegistryBackup.h"

#include "app/CorvaneApp.h"
#include "platform/RegExportFormat.h"

#include <cstdio>

namespace {

// Reads the key open as `key`, named `path`, and its sub-keys into `keys`.
SnapshotResult SnapshotKey(HKEY key, const std::string& path,
                           std::vector<RegistrySnapshotKey>& keys, int depth) {
    // Registry trees are at most 512 levels deep.
    if (depth > 512)
        return SnapshotResult::unreadable;
    RegistrySnapshotKey snapshot;
    snapshot.path = path;
    RegistryValueReader reader(key, MAX_PATH, 0x4000);
    for (DWORD index = 0;; ++index) {
        RegistryValue value;
        RegistryValueReader::Result read = reader.Read(index, value);
        if (read == RegistryValueReader::Result::end)
            break;
        if (read == RegistryValueReader::Result::failed)
            return SnapshotResult::unreadable;
        snapshot.values.push_back(std::move(value));
    }
    keys.push_back(std::move(snapshot));

    bool complete = false;
    CStringArray names = RegistrySubKeyNames(key, &complete);
    if (!complete)
        return SnapshotResult::unreadable;
    for (int i = 0; i < names.GetSize(); ++i) {
        HKEY child = nullptr;
        if (RegOpenKeyExA(key, names[i], 0, KEY_READ, &child) != ERROR_SUCCESS)
            return SnapshotResult::unreadable;
        SnapshotResult result = SnapshotKey(child, path + "\\" + names[i].str(), keys, depth + 1);
        RegCloseKey(child);
        if (result != SnapshotResult::taken)
            return result;
    }
    return SnapshotResult::taken;
}

} // namespace

SnapshotResult TakeRegistrySnapshot(HKEY root, const char* rootName, const char* subKey,
                                    std::vector<RegistrySnapshotKey>& keys) {
    keys.clear();
    HKEY key = nullptr;
    LONG opened = RegOpenKeyExA(root, subKey, 0, KEY_READ, &key);
    if (opened == ERROR_FILE_NOT_FOUND)
        return SnapshotResult::keyMissing;
    if (opened != ERROR_SUCCESS)
        return SnapshotResult::unreadable;
    SnapshotResult result = SnapshotKey(key, std::string(rootName) + "\\" + subKey, keys, 0);
    RegCloseKey(key);
    return result;
}

std::string FormatRegistrySnapshot(const std::vector<RegistrySnapshotKey>& keys) {
    regfile::RegExportWriter writer;
    for (const RegistrySnapshotKey& key : keys) {
        writer.AddKey(key.path);
        for (const RegistryValue& value : key.values)
            writer.AddValue(value.name, value.type,
                            std::string_view(reinterpret_cast<const char*>(value.data.data()),
                                             value.data.size()));
    }
    return writer.Finish();
}

CString NextFreeBackupName(const CString& base) {
    CString name = base + ".reg";
    for (int n = 2; GetFileAttributesA(name) != INVALID_FILE_ATTRIBUTES; ++n)
        name.Format("%s-%d.reg", base.GetString(), n);
    return name;
}

bool WriteNewFile(const char* path, const std::string& bytes, CString& error) {
    HANDLE file =
        CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error.Format("cannot create %s (error %lu)", path,
                     static_cast<unsigned long>(GetLastError()));
        return false;
    }
    DWORD written = 0;
    bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
              written == bytes.size();
    DWORD lastError = GetLastError();
    ok = FlushFileBuffers(file) && ok;
    ok = CloseHandle(file) && ok;
    if (!ok) {
        error.Format("cannot write %s (error %lu)", path, static_cast<unsigned long>(lastError));
        DeleteFileA(path);
    }
    return ok;
}

BOOL CCorvaneApp::EnsureRegistryBackup() {
    if (m_backupState != BackupState::notTried)
        return m_backupState == BackupState::written;
    m_backupState = BackupState::failed;

    CString keyPath = m_strAppKeyPath;
    if (keyPath.IsEmpty())
        keyPath = CString("Software\\Brax\\") + (m_pszAppName ? m_pszAppName : "");
    CString folder = m_strDataPath.IsEmpty() ? GetDataPath(nullptr, nullptr) : m_strDataPath;

    CString error;
    std::vector<RegistrySnapshotKey> keys;
    switch (TakeRegistrySnapshot(HKEY_CURRENT_USER, "HKEY_CURRENT_USER", keyPath, keys)) {
    case SnapshotResult::keyMissing:
        // Nothing in the registry, nothing to lose.
        m_backupState = BackupState::written;
        return TRUE;
    case SnapshotResult::unreadable:
        error.Format("cannot read HKEY_CURRENT_USER\\%s whole", keyPath.GetString());
        break;
    case SnapshotResult::taken:
        if (folder.IsEmpty()) {
            error = "there is no data folder";
            break;
        }
        m_strBackupFile = NextFreeBackupName(folder + "\\" + (m_pszAppName ? m_pszAppName : "") +
                                             "-registry-backup");
        if (WriteNewFile(m_strBackupFile, FormatRegistrySnapshot(keys), error)) {
            m_backupState = BackupState::written;
            return TRUE;
        }
        m_strBackupFile.Empty();
        break;
    }
    fprintf(stderr,
            "corvane-migrate: no registry backup (%s); nothing is deleted from the registry\n",
            error.GetString());
    fflush(stderr);
    return FALSE;
}
