#include "app/RegistryBackup.h"
#include "platform/RunEnvironment.h"

#include "app/CorvaneApp.h"
#include "regfile/RegExportWriter.h"
#include "platform/RegistryText.h"
#include "platform/TextConversion.h"

#include <cstdio>

namespace corvane {

namespace {

using KeyVisitor = std::function<bool(const RegistrySnapshotKey&)>;

bool IsStringType(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// Reads the key open as `key`, named `path`, and its sub-keys, handing each to
// `visit`.
SnapshotResult VisitKey(HKEY key, const std::string& path, const KeyVisitor& visit,
                        StoredBytes stored, int depth) {
    // Registry trees are at most 512 levels deep.
    if (depth > 512)
        return SnapshotResult::unreadable;
    RegistrySnapshotKey snapshot;
    snapshot.path = path;
    RegistryValueReader reader(key, MAX_PATH, 0x4000);
    StoredValueRead storedForm; // reused: most values need no copy of their stored bytes
    for (DWORD index = 0;; ++index) {
        RegistryValue value;
        RegistryValueReader::Result read = reader.ReadWithStoredForm(index, value, storedForm);
        if (read == RegistryValueReader::Result::end)
            break;
        if (read == RegistryValueReader::Result::failed)
            return SnapshotResult::unreadable;
        // What the code page cannot hold is read mangled and never deleted by
        // the run: a backup of it would restore something else.
        if (!storedForm.loss.empty())
            continue;
        if (IsStringType(value.type)) {
            const std::string& bytes = storedForm.bytes;
            std::string_view ansi(reinterpret_cast<const char*>(value.data.data()),
                                  value.data.size());
            if (stored == StoredBytes::always || !TextGivesStoredBytes(ansi, bytes))
                snapshot.storedBytes.push_back({snapshot.values.size(), bytes});
        }
        snapshot.values.push_back(std::move(value));
    }
    if (!visit(snapshot))
        return SnapshotResult::unreadable;
    snapshot.values.clear();
    snapshot.storedBytes.clear();

    bool complete = false;
    CStringArray names = RegistrySubKeyNames(key, &complete);
    if (!complete)
        return SnapshotResult::unreadable;
    for (int i = 0; i < names.GetSize(); ++i) {
        HKEY child = nullptr;
        if (RegOpenKeyExA(key, names[i], 0, KEY_READ, &child) != ERROR_SUCCESS) {
            // A name the code page cannot hold opens nothing here, nor for the
            // run, which leaves the key where it is.
            if (!RegistrySubKeyAnsiLoss(key, static_cast<DWORD>(i)).empty())
                continue;
            return SnapshotResult::unreadable;
        }
        SnapshotResult result =
            VisitKey(child, path + "\\" + names[i].str(), visit, stored, depth + 1);
        RegCloseKey(child);
        if (result != SnapshotResult::taken)
            return result;
    }
    return SnapshotResult::taken;
}

// Pieces of the export are written once they reach this size.
constexpr size_t kBackupPieceSize = 1 << 20;

} // namespace

bool TextGivesStoredBytes(std::string_view ansi, std::string_view stored) {
    if (stored.size() == 2 * ansi.size()) {
        // Without branches, as nearly every value is ASCII that matches.
        unsigned char high = 0, differ = 0;
        for (size_t i = 0; i < ansi.size(); i++) {
            high |= static_cast<unsigned char>(ansi[i]);
            differ |= static_cast<unsigned char>((stored[2 * i] ^ ansi[i]) | stored[2 * i + 1]);
        }
        if (high < 0x80)
            return differ == 0;
    } else if (text::IsAscii(ansi)) {
        return false; // ASCII takes two bytes a character
    }
    std::u16string wide;
    text::AppendAnsiAsWide(wide, ansi);
    if (stored.size() != 2 * wide.size())
        return false;
    for (size_t i = 0; i < wide.size(); i++)
        if (static_cast<unsigned char>(stored[2 * i]) != (wide[i] & 0xFF) ||
            static_cast<unsigned char>(stored[2 * i + 1]) != (wide[i] >> 8))
            return false;
    return true;
}

void AddBackupValues(regfile::RegExportWriter& writer, const RegistrySnapshotKey& key) {
    auto stored = key.storedBytes.begin();
    for (size_t i = 0; i < key.values.size(); i++) {
        const RegistryValue& value = key.values[i];
        if (stored != key.storedBytes.end() && stored->index == i) {
            // The text would give back other bytes: the stored ones, in hex.
            writer.AddStoredValue(value.name, value.type, stored->bytes);
            ++stored;
            continue;
        }
        writer.AddValue(
            value.name, value.type,
            std::string_view(reinterpret_cast<const char*>(value.data.data()), value.data.size()));
    }
}

SnapshotResult VisitRegistryTree(HKEY root, const char* rootName, const char* subKey,
                                 const KeyVisitor& visit, StoredBytes stored) {
    HKEY key = nullptr;
    LONG opened = RegOpenKeyExA(root, subKey, 0, KEY_READ, &key);
    if (opened == ERROR_FILE_NOT_FOUND)
        return SnapshotResult::keyMissing;
    if (opened != ERROR_SUCCESS)
        return SnapshotResult::unreadable;
    SnapshotResult result = VisitKey(key, std::string(rootName) + "\\" + subKey, visit, stored, 0);
    RegCloseKey(key);
    return result;
}

CString NextFreeBackupName(const CString& base) {
    CString name = base + ".reg";
    for (int n = 2; GetFileAttributesA(name) != INVALID_FILE_ATTRIBUTES; ++n)
        name.Format("%s-%d.reg", base.GetString(), n);
    return name;
}

bool NewFileWriter::Create(const char* path, CString& error) {
    if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES) {
        error.Format("cannot create %s (error %lu)", path,
                     static_cast<unsigned long>(ERROR_FILE_EXISTS));
        return false;
    }
    m_path = path;
    if (m_temp.Create(path))
        return true;
    error.Format("cannot create a temporary file for %s (error %lu)", path,
                 static_cast<unsigned long>(GetLastError()));
    return false;
}

bool NewFileWriter::Write(const std::string& bytes, CString& error) {
    if (m_temp.Write(bytes))
        return true;
    error.Format("cannot write %s (error %lu)", m_path.GetString(),
                 static_cast<unsigned long>(GetLastError()));
    m_temp.Abandon();
    return false;
}

bool NewFileWriter::Commit(CString& error) {
    if (m_temp.Path().IsEmpty())
        return false;
    // Not over an existing file: an earlier backup is never overwritten.
    if (m_temp.Close() && m_temp.MoveIntoPlace(false))
        return true;
    error.Format("cannot write %s (error %lu)", m_path.GetString(),
                 static_cast<unsigned long>(GetLastError()));
    m_temp.Abandon();
    return false;
}

bool CopyToNewFile(const char* from, const char* to, CString& error) {
    HANDLE source = CreateFileA(from, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (source == INVALID_HANDLE_VALUE) {
        error.Format("cannot read %s (error %lu)", from,
                     static_cast<unsigned long>(GetLastError()));
        return false;
    }
    NewFileWriter target;
    bool ok = target.Create(to, error);
    std::string piece(kBackupPieceSize, '\0');
    while (ok) {
        DWORD got = 0;
        if (!ReadFile(source, piece.data(), static_cast<DWORD>(piece.size()), &got, nullptr)) {
            error.Format("cannot read %s (error %lu)", from,
                         static_cast<unsigned long>(GetLastError()));
            ok = false;
        } else if (got == 0) {
            break;
        } else {
            ok = target.Write(piece.substr(0, got), error);
        }
    }
    CloseHandle(source);
    return ok && target.Commit(error);
}

namespace {

// The whole content of a file; false when it cannot be read.
bool ReadAllBytes(const char* path, std::string& bytes) {
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    std::string piece(kBackupPieceSize, '\0');
    bool ok = true;
    for (DWORD got = 1; ok && got > 0;) {
        ok = ReadFile(file, piece.data(), static_cast<DWORD>(piece.size()), &got, nullptr) != 0;
        bytes.append(piece, 0, ok ? got : 0);
    }
    CloseHandle(file);
    return ok;
}

} // namespace

bool SameFileBytes(const char* first, const char* second) {
    std::string a, b;
    return ReadAllBytes(first, a) && ReadAllBytes(second, b) && a == b;
}

// Streams the export of HKEY_CURRENT_USER\keyPath into the next free backup name in
// `folder`, one key at a time. A key that is not there needs no backup.
bool CCorvaneApp::WriteRegistryBackup(const CString& keyPath, const CString& folder,
                                      CString& error) {
    CString name = NextFreeBackupName(folder + CString(std::string(1, runenv::PathSeparator())) +
                                      (m_pszAppName ? m_pszAppName : "") + "-registry-backup");
    NewFileWriter file;
    regfile::RegExportWriter writer(regfile::RegFileFormat(), regfile::RegTextInput::Ansi);
    bool created = false;
    bool writeFailed = false;
    SnapshotResult result = VisitRegistryTree(
        HKEY_CURRENT_USER, "HKEY_CURRENT_USER", keyPath, [&](const RegistrySnapshotKey& key) {
            // The file is created with the first key, so a missing key leaves none.
            if (!created && !(created = file.Create(name, error))) {
                writeFailed = true;
                return false;
            }
            writer.AddKey(key.path);
            AddBackupValues(writer, key);
            if (writer.PendingSize() >= kBackupPieceSize &&
                !file.Write(writer.TakeBytes(), error)) {
                writeFailed = true;
                return false;
            }
            return true;
        });
    if (result == SnapshotResult::keyMissing)
        return true;
    if (result == SnapshotResult::unreadable) {
        if (!writeFailed)
            error.Format("cannot read HKEY_CURRENT_USER\\%s whole", keyPath.GetString());
        return false; // the writer removes the partial file
    }
    if (!file.Write(writer.Finish(), error) || !file.Commit(error))
        return false;
    m_strBackupFile = name;
    return true;
}

BOOL CCorvaneApp::EnsureRegistryBackup() {
    if (m_backupState != BackupState::notTried)
        return m_backupState == BackupState::written;
    m_backupState = BackupState::failed;

    CString keyPath = m_strAppKeyPath;
    if (keyPath.IsEmpty())
        keyPath = CString("Software\\Brax\\") + (m_pszAppName ? m_pszAppName : "");
    CString folder = m_strDataPath;
    if (folder.IsEmpty())
        folder = m_strBackupFolder.IsEmpty() ? GetDataPath(nullptr, nullptr) : m_strBackupFolder;
    if (m_bPreview) {
        // The name the backup would get; nothing is written.
        m_strBackupFile =
            NextFreeBackupName(folder + CString(std::string(1, runenv::PathSeparator())) +
                               (m_pszAppName ? m_pszAppName : "") + "-registry-backup");
        m_account.NoteBackup(m_strBackupFile);
        m_backupState = BackupState::written;
        return TRUE;
    }

    CString error;
    if (folder.IsEmpty()) {
        // Without a folder there is nowhere to write; only a missing key is fine.
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, keyPath, 0, KEY_READ, &key) == ERROR_FILE_NOT_FOUND) {
            m_backupState = BackupState::written;
            return TRUE;
        }
        if (key)
            RegCloseKey(key);
        error = "there is no data folder";
    } else if (WriteRegistryBackup(keyPath, folder, error)) {
        m_backupState = BackupState::written;
        m_account.NoteBackup(m_strBackupFile);
        return TRUE;
    }
    fprintf(stderr,
            "corvane-migrate: no registry backup (%s); nothing is deleted from the registry\n",
            error.GetString());
    fflush(stderr);
    ++m_nFailures;
    return FALSE;
}

} // namespace corvane
