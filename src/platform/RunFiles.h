// The files a conversion run writes reach their names together, at its end,
// and only then may the run delete anything from the registry.
//
// Windows: from BeginRunFiles on, every file the run writes through the
// private-profile functions or replaces whole (a move over it) is written as a
// copy beside it ("<file>.~pending", the file copied first when it exists);
// reads of that file see the copy. CommitRunFiles flushes the copies, moves
// each over its file and removes copies that ended runs left in those folders.
// Linux: the profile layer keeps every change in memory until the final save,
// which puts the files and the registry store in place as one step
// (posix/CommitJournal.h); both calls do nothing there.
#pragma once

// Starts keeping the run's files apart.
void BeginRunFiles();

// Puts every file written since BeginRunFiles in its place and stops keeping
// them apart. False when a file could not be put in place: that file is as it
// was before the run.
bool CommitRunFiles();
