// What differs between the two builds in how a run meets its user: the build's
// name, the separator of the paths it shows and records, typed paths, the longest
// path, whether a terminal is watching, the system's reason for a failed call, and
// the registry file of the Linux build (the Windows build has none).
#pragma once

#include <cstdio>
#include <string>

namespace runenv {

// "Windows" or "Linux".
const char* BuildKind();

// The separator of the paths the run builds, shows and records: '\' on
// Windows, '/' on Linux.
char PathSeparator();

// A path as the user typed it, with a leading "~" (alone or before a separator)
// made the home folder on Linux; unchanged on Windows.
std::string ExpandTypedPath(const std::string& typed);

// The longest full path of a file the platform opens (Windows: MAX_PATH less
// its terminating NUL).
size_t LongestPath();

// True when the stream is a terminal (not a file or pipe).
bool IsTerminal(FILE* stream);

// The system's text for a failed call's error code (GetLastError), without a
// line end.
std::string SystemErrorText(unsigned long error);

// ---- the registry file ----------------------------------------------------
// True when the registry is a file the run names (Linux), false when it is the
// system's own (Windows).
bool HasRegistryFile();
// Makes `path` the registry file of this run, before the registry is first
// used. False when the build has no registry file.
bool SelectRegistryFile(const std::string& path);
// The registry file's path as the user named it (empty without a file).
std::string RegistryFileShown();
// True when the build has a registry file and it does not exist.
bool RegistryFileMissing();
// How opening the registry for this run went.
enum class RegistryOpening {
    opened,         // ready (Windows: always; the system keeps its registry)
    busy,           // another run is converting this registry file
    unreadable,     // the file, or the save an interrupted run began, cannot be read
    foreignJournal, // a journal beside the file was not written by this program
};
struct RegistryOpenResult {
    RegistryOpening outcome = RegistryOpening::opened;
    std::string message; // why, one line, when not opened
};
// Opens the registry of this run, once the registry file is chosen and before
// anything reads it: the one-run-at-a-time mark, the completion of a save an
// interrupted run began, the load. Ends nothing: when it fails, the registry
// functions refuse to work (nothing is read, nothing written) and the caller
// decides what the run does. Later calls give the first call's result.
RegistryOpenResult OpenRegistry();
// Why the run could not save the registry file (the file or its folder not
// writable), or empty.
std::string RegistryFileNotWritable();

// ---- checks before the first write -------------------------------------------
// Creates and removes a probe file in `folder`; empty when that worked, else the
// system's reason.
std::string ProbeFolderWritable(const std::string& folder);
// Empty when `path` does not exist or may be replaced; else the system's reason.
std::string ProbeFileReplaceable(const std::string& path);

} // namespace runenv
