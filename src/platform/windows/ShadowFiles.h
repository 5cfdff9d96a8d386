// The run's copies of the files it writes (see platform/RunFiles.h): while a
// run keeps its files apart, a file it writes is written as "<file>.~pending"
// beside it, and every read of the file reads that copy. At the end the copies
// are flushed, the moves recorded, and the copies moved over their files. A
// kill before the record leaves every file as it was; the next run makes its
// copies afresh (a leftover copy is overwritten or removed, never read). A
// kill after it is finished by the next run, which makes the rest of the
// recorded moves first.
#pragma once

#include "platform/RunFiles.h"
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

    // Flushes the copies, records the moves and `followUp` under `recordKey`
    // (when not empty; CommitRecord.h), moves each copy over its file
    // (replacing it, written through to the disk) and removes copies of ended
    // runs in their folders. Stops keeping files apart. False when a copy
    // could not be put in place (that file stays as it was and its copy is
    // removed) or the record could not be written (no file moved).
    bool Commit(const std::string& recordKey = std::string(),
                const RunFollowUp& followUp = RunFollowUp());

    // Moves the copies that the record under `recordKey` names and a run
    // ended before moving; `followUp` receives the record's follow-up.
    static ResumeResult Resume(const std::string& recordKey, RunFollowUp& followUp);

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
