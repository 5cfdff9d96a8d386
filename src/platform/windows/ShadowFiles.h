// The run's copies of the files it writes (see platform/RunFiles.h): while a
// run keeps its files apart, a file it writes is written as "<file>.~pending"
// beside it, and every read of the file reads that copy. At the end the copies
// are flushed and moved over their files. A kill before that leaves every
// file as it was; the next run makes its copies afresh (a leftover copy is
// overwritten or removed, never read).
#pragma once

#include "platform/winapi.h"

#include <string>
#include <unordered_map>
#include <vector>

class ShadowFiles {
  public:
    // The ending of a copy's name.
    static constexpr const char* kSuffix = ".~pending";

    // Starts keeping files apart (a run in progress is dropped).
    void Begin();
    bool Active() const { return m_active; }

    // The name a read of `path` uses: its copy when the run has one.
    std::string ForRead(const char* path) const;

    // The name a write into `path` uses (the copy, made from the file first).
    // False, with the last error set, when the copy could not be made: the
    // write must fail, as the file itself would be left behind.
    bool ForEdit(const char* path, std::string& name);

    // The name that takes a whole new file for `path` (its copy, not made
    // from the file).
    bool ForReplace(const char* path, std::string& name);

    // Flushes the copies, moves each over its file (replacing it, written
    // through to the disk) and removes copies of ended runs in their folders.
    // Stops keeping files apart. False when a copy could not be put in place;
    // that file stays as it was and its copy is removed.
    bool Commit();

    // The files kept apart now, in the order they were first written.
    std::vector<std::string> Files() const;

  private:
    struct Entry {
        std::string file;
        std::string copy;
    };
    // The entry of path, or null; `key` receives its lookup key.
    const Entry* Find(const char* path, std::string& key) const;
    bool Add(const char* path, bool fromFile, std::string& name);

    bool m_active = false;
    std::vector<Entry> m_entries;
    std::unordered_map<std::string, size_t> m_index; // key -> m_entries
};

// The copies of this process's run.
ShadowFiles& RunShadowFiles();
