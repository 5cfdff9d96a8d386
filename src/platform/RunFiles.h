// The files a conversion run writes reach their names together, at its end,
// and only then may the run delete anything from the registry.
//
// Windows: from BeginRunFiles on, every file the run writes through the
// private-profile functions or replaces whole (a move over it) is written as a
// copy beside it ("<file>.~pending", the file copied first when it exists);
// reads of that file see the copy. CommitRunFiles flushes the copies, records
// the moves and what the run still has to do after them (its follow-up) in
// the registry, moves each copy over its file and removes copies that ended
// runs left in those folders. A run ended after the record was written is
// finished by the next run (ResumeRunFiles); one ended before it has changed
// no file, and its copies are removed.
// Linux: the profile layer keeps every change in memory until the final save,
// which puts the files and the registry store in place as one step
// (posix/CommitJournal.h): nothing is recorded and nothing is ever resumed.
#pragma once

#include <string>
#include <vector>

// What a run still has to do once its files are in place: lines of text the
// application writes and reads back (none of them empty).
using RunFollowUp = std::vector<std::string>;

// Starts keeping the run's files apart.
void BeginRunFiles();

// Puts every file written since BeginRunFiles in its place and stops keeping
// them apart. With a `recordKey` (a key path below HKEY_CURRENT_USER), the
// moves and `followUp` are recorded there first, durably; EndRunFiles removes
// the record once the follow-up is done. False when a file could not be put
// in place (that file is as it was before the run) or the record could not be
// written (then no file moved).
bool CommitRunFiles(const std::string& recordKey = std::string(),
                    const RunFollowUp& followUp = RunFollowUp());

// The follow-up recorded under `recordKey` is done (or is not to be done).
void EndRunFiles(const std::string& recordKey);

enum class ResumeResult {
    none,    // no run was ended after its commit began
    resumed, // its files are in place now; `followUp` is still to be done
    failed   // a file could not be put in place: nothing more may be done
};

// Finishes the commit of a run ended after it recorded its moves: moves the
// copies it had not moved yet and gives its follow-up, which the caller
// carries out before EndRunFiles.
ResumeResult ResumeRunFiles(const std::string& recordKey, RunFollowUp& followUp);
