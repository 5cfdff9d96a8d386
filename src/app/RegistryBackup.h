// The registry backup: a whole key tree read through the 8-bit registry
// functions and saved as a registry export file that the registry editor
// imports.
#pragma once

#include "framework/RegistryRead.h"
#include "framework/TemporaryFile.h"
#include "regfile/RegExportWriter.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

// The bytes the registry stores for one string value of a key (values[index]).
struct StoredStringBytes {
    size_t index;
    std::string bytes; // UTF-16LE
};

// One key of the tree: its full name ("HKEY_CURRENT_USER\...") and values.
struct RegistrySnapshotKey {
    std::string path;
    std::vector<RegistryValue> values;
    // String values whose stored bytes their 8-bit text does not give back
    // exactly (an odd last byte), or every string value when asked for.
    std::vector<StoredStringBytes> storedBytes;
};

enum class SnapshotResult { taken, keyMissing, unreadable };
enum class StoredBytes { whereTextDiffers, always };

// True when `stored`, the UTF-16LE bytes of a string value, is exactly the
// UTF-16 form of `ansi`, the value's data as the 8-bit functions give it: the
// bytes that data, written as text, gives back.
bool TextGivesStoredBytes(std::string_view ansi, std::string_view stored);

// Reads `subKey` below `root` (named `rootName` in the paths) and every key below
// it, and hands each key to `visit`, each parent before its children; only one
// key is held at a time. `unreadable` when a key or value cannot be read whole,
// or when `visit` returns false: a backup must hold everything or nothing.
SnapshotResult VisitRegistryTree(HKEY root, const char* rootName, const char* subKey,
                                 const std::function<bool(const RegistrySnapshotKey&)>& visit,
                                 StoredBytes stored = StoredBytes::whereTextDiffers);

// Adds the values of `key` to a backup, each as the 8-bit functions read it, or
// as its stored bytes where that text would give back others.
void AddBackupValues(regfile::RegExportWriter& writer, const RegistrySnapshotKey& key);

// `base` + ".reg", or base + "-2.reg", "-3.reg" ... : the first name not in use.
CString NextFreeBackupName(const CString& base);

// A file that must not exist yet, written piece by piece to a new temporary
// file beside it (CTemporaryFile), which Commit flushes to disk and renames to
// `path` (never over an existing file). So `path` is never seen half written,
// even after a crash. A file not committed is removed; `error` says what
// failed.
class NewFileWriter {
  public:
    bool Create(const char* path, CString& error);
    bool Write(const std::string& bytes, CString& error);
    bool Commit(CString& error);

  private:
    CTemporaryFile m_temp;
    CString m_path;
};

// Copies the file `from` to `to`, which must not exist yet, through a
// NewFileWriter; `error` says what failed.
bool CopyToNewFile(const char* from, const char* to, CString& error);

// True when both files can be read and hold the same bytes.
bool SameFileBytes(const char* first, const char* second);

} // namespace corvane
