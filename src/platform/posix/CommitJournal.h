// Saving several files as one step. While a flush of every changed file runs
// (settings files first, the registry store last), each file is written whole
// to a temporary file and flushed to disk, but not yet renamed. At the end the
// list of renames is itself saved whole as a journal beside the store, then
// the renames are done in order and the journal is removed. A run that is
// interrupted before the journal exists changed none of the files; one that is
// interrupted after it has its renames completed by the next run, before that
// run reads the store (RecoverInterruptedCommit). So the settings files and
// the store on disk are always all from before a flush or all from after it.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace posix::commit {

// Where the journal goes ("<store>.commit"); without one, files are renamed at
// once as they are saved.
void SetJournalPath(const std::string& journalPath);

// Starts collecting renames; Defer then takes them.
void Begin();

// True between Begin and Finish when there is a journal path: savers hand
// their renames to Defer instead of doing them.
bool Active();

// True once the journal path is set, that is once an interrupted save has been
// completed: only then may temporary files of ended processes be removed.
bool RecoveryDone();

// Takes the rename of a fully written and flushed temporary file over its
// target. False when it cannot be taken (a name with a line feed): the saver
// renames at once then.
bool Defer(const std::string& temporary, const std::string& target);

// Writes the journal, does the renames in order, flushes their folders and
// removes the journal. 0, or the errno of the rename that failed; the renames
// not done then stay in the journal for the next run. When the journal cannot
// be written the renames are done all the same (with a warning).
int Finish();

// Completes the renames of a journal that an interrupted run left (their
// temporary files that are still there are renamed over their targets, in
// order) and removes it. 0, or the errno of a rename that failed; the journal
// then stays. kNotAJournal, with nothing done, for a file this program did not
// write: not a plain file of the user running it, a check that does not match
// its text, or a name that is not a temporary of this program beside the file
// it replaces.
constexpr int kNotAJournal = -1;
// The journal's text for these renames (temporary, target), as Finish saves it.
std::string JournalText(const std::vector<std::pair<std::string, std::string>>& renames);
constexpr long kLargestJournal = 1 << 20;
int RecoverInterruptedCommit(const std::string& journalPath);

} // namespace posix::commit
