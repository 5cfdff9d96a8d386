// The current user's registry on Linux: a tree of keys and values in memory,
// loaded from a registry export file (see regfile/RegFileTypes.h) and written
// back to it when it changed. The Win32 functions in Registry.cpp work on it; the
// process's own store is opened and saved by ProcessRegistry.h.
//
// The file is the environment variable CORVANE_REGISTRY, or "HKCU.reg" in the
// current folder; a missing file is an empty registry. Keys of other hives in the
// file are kept and written back unchanged, after the current user's keys. Saving
// goes through a temporary file beside the store, flushed to disk and renamed over
// it.
//
// The program is single-threaded; so is the store.
#pragma once

#include "regfile/RegFileTypes.h"

#include <cstdint>
#include <sys/stat.h>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace posix {

struct StoredValue {
    std::string name; // spelled as when it was created; "" is the default value
    uint32_t type = 0;
    // String types: a byte after the text, read from UTF-16 data of an odd byte
    // count; no A-function shows it, and writing a value drops it.
    int16_t oddByte = regfile::kNoOddByte;
    std::string data; // as RegQueryValueExA returns it
};

// One key. Sub-keys stay sorted the way Windows enumerates them (by name compared
// in lower case); values stay in the order they were created. Names compare
// ignoring ASCII letter case.
class RegistryKey {
  public:
    RegistryKey(std::string name, RegistryKey* parent);
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    const std::string& Name() const { return m_name; }
    // A deleted key lives on, empty, for as long as handles refer to it.
    bool IsDeleted() const { return m_deleted; }

    size_t SubKeyCount() const { return m_subKeys.size(); }
    const std::shared_ptr<RegistryKey>& SubKeyAt(size_t index) const { return m_subKeys[index]; }
    // The direct sub-key of that name, or null.
    std::shared_ptr<RegistryKey> FindSubKey(std::string_view name) const;

    size_t ValueCount() const { return m_values.size(); }
    const StoredValue& ValueAt(size_t index) const { return m_values[index]; }
    // The value of that name ("" for the default value), or null.
    const StoredValue* FindValue(std::string_view name) const;

  private:
    friend class RegistryStore;
    // Index of the first sub-key whose folded name is not below foldedName.
    size_t LowerBound(const std::string& foldedName) const;

    std::string m_name;
    std::string m_foldedName;
    RegistryKey* m_parent;
    bool m_deleted = false;
    std::vector<std::shared_ptr<RegistryKey>> m_subKeys;
    std::vector<StoredValue> m_values;
    std::unordered_map<std::string, size_t> m_valueIndex; // folded name -> index
};

// Why a store could not be loaded: "<file>:<line>: <message>".
struct RegistryLoadResult {
    bool ok = true;
    int line = 0;
    std::string message;
};

// One version of a file on disk; `exists` false for a missing file.
struct FileVersion {
    bool exists = false;
    uint64_t device = 0, inode = 0, size = 0;
    int64_t modified = 0; // nanoseconds
    uint64_t hash = 0;

    static FileVersion Of(const struct stat& info, uint64_t hash) {
        FileVersion version;
        version.exists = true;
        version.device = static_cast<uint64_t>(info.st_dev);
        version.inode = static_cast<uint64_t>(info.st_ino);
        version.size = static_cast<uint64_t>(info.st_size);
        version.modified = info.st_mtim.tv_sec * 1'000'000'000LL + info.st_mtim.tv_nsec;
        version.hash = hash;
        return version;
    }
    bool SameStatus(const FileVersion& other) const {
        return exists == other.exists && device == other.device && inode == other.inode &&
               size == other.size && modified == other.modified;
    }
    bool operator==(const FileVersion& other) const {
        return SameStatus(other) && hash == other.hash;
    }
};

class RegistryStore {
  public:
    // path as the user gave it; a relative path is taken from the current folder now.
    explicit RegistryStore(const std::string& path);
    // Takes the tree apart key by key: no recursion, however deep it is.
    ~RegistryStore();
    RegistryStore(const RegistryStore&) = delete;
    RegistryStore& operator=(const RegistryStore&) = delete;

    // Reads the file into an empty store. A missing file is an empty registry. When
    // the file cannot be read whole, the store may hold part of it: it is not to be
    // used then.
    RegistryLoadResult Load();

    const std::string& DisplayPath() const { return m_displayPath; }
    // The absolute path the store reads and writes.
    const std::string& FilePath() const { return m_filePath; }
    const std::shared_ptr<RegistryKey>& Root() const { return m_root; }

    // Key paths are names separated by backslashes; empty names are skipped.
    // OpenPath gives null when a key on the way is missing.
    std::shared_ptr<RegistryKey> OpenPath(const std::shared_ptr<RegistryKey>& from,
                                          std::string_view path) const;
    // Creates what is missing; created tells whether the last key is new.
    std::shared_ptr<RegistryKey> CreatePath(const std::shared_ptr<RegistryKey>& from,
                                            std::string_view path, bool* created = nullptr);

    // Sets a value; an existing value keeps its place and the spelling of its name.
    void SetValue(RegistryKey& key, std::string_view name, uint32_t type, std::string_view data);
    // False when there is no such value.
    bool DeleteValue(RegistryKey& key, std::string_view name);
    // Deletes a key that has no sub-keys; false for a key with sub-keys and for the root.
    bool DeleteKey(RegistryKey& key);

    bool IsModified() const { return m_modified; }
    // The whole store as a file in the format it was read in.
    std::string Serialize() const;
    // Writes the file when something changed (DurableFile.h). The errno of the
    // step that failed, 0 when the file was written or nothing had changed.
    int SaveIfModified();
    // True when the file on disk is not the version this store read or last
    // saved: size, times, identity or (when those match) a hash of its bytes.
    bool ChangedOnDisk() const;

  private:
    // Applies one [key] block of the file; false with result filled on failure.
    bool ApplyFileKey(regfile::RegFileKey& fileKey, RegistryLoadResult& result);
    // SetValue for a value read from the file, whose name and data it takes.
    void SetFileValue(RegistryKey& key, regfile::RegFileValue& value);
    // Removes a key and everything below it.
    void DeleteTree(const std::shared_ptr<RegistryKey>& key);

    std::string m_displayPath;
    std::string m_filePath;
    regfile::RegFileFormat m_format;
    std::shared_ptr<RegistryKey> m_root;
    std::vector<regfile::RegFileKey> m_otherHives;
    bool m_modified = false;
    FileVersion m_readVersion; // the file as read or last saved
};

} // namespace posix
