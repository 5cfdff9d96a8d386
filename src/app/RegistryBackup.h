// The registry backup: a whole key tree read through the 8-bit registry
// functions and saved as a registry export file that the registry editor
// imports.
#pragma once

#include "app/RegistryRead.h"

#include <string>
#include <vector>

// One key of a snapshot: its full name ("HKEY_CURRENT_USER\...") and values.
struct RegistrySnapshotKey {
    std::string path;
    std::vector<RegistryValue> values;
};

enum class SnapshotResult { taken, keyMissing, unreadable };

// Reads `subKey` below `root` (named `rootName` in the file) and every key
// below it, each parent before its children. `unreadable` when a key or value
// cannot be read whole: a backup must hold everything or nothing.
SnapshotResult TakeRegistrySnapshot(HKEY root, const char* rootName, const char* subKey,
                                    std::vector<RegistrySnapshotKey>& keys);

// The bytes of a registry export file holding the snapshot.
std::string FormatRegistrySnapshot(const std::vector<RegistrySnapshotKey>& keys);

// `base` + ".reg", or base + "-2.reg", "-3.reg" ... : the first name not in use.
CString NextFreeBackupName(const CString& base);

// Writes `bytes` to `path`, which must not exist yet, and flushes them to disk.
// On failure the partial file is removed and `error` says why.
bool WriteNewFile(const char* path, const std::string& bytes, CString& error);
