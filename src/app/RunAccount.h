// The closing account of a run: the files it wrote, its registry backup, and
// where every registry value of the settings groups and the plug-in menu went.
// A preview fills the same account from what the run would do.
#pragma once

#include "framework/afx.h"

#include <map>
#include <string>
#include <vector>

namespace corvane {

class RunAccount {
  public:
    // A file the run wrote (listed once, in the order first noted).
    void NoteFile(const CString& path);
    void NoteBackup(const CString& path) { m_backupFile = path; }

    // The values of one registry key, by their fate: `copied` text and number
    // values, `byType` counts of each value type read. When the key left the
    // registry the copied values are moved and the rest only in the backup;
    // otherwise every value is still in the registry.
    void NoteKey(bool removed, int copied, const std::map<DWORD, int>& byType);

    int Moved() const { return m_moved; }
    int Kept() const { return m_kept; }
    int BackupOnly() const;
    const std::vector<CString>& Files() const { return m_files; }

    // At most three lines: files, backup, counts.
    std::string Format() const;

  private:
    std::vector<CString> m_files;
    CString m_backupFile;
    int m_moved = 0;
    int m_kept = 0;
    std::map<DWORD, int> m_backupOnly;
};

// A value type's name in the account ("binary", "multi-string", ...).
const char* ValueTypeName(DWORD type);

// The counts of one key's values while they are read, for RunAccount::NoteKey.
struct KeyValueCounts {
    int copied = 0;
    std::map<DWORD, int> byType;
    void Read(DWORD type) { ++byType[type]; }
};

} // namespace corvane
