// Injected file-system faults, for tests only.
//
// Every call of this layer that changes the file system (creating or opening a
// file for writing, writing, flushing to the disk, renaming, deleting, making a
// folder) goes through the wrappers below and is counted. Three environment
// variables, read once at the first such call, steer them:
//
//   CORVANE_FAULT_AT=N       the N-th counted operation (from 1) fails
//   CORVANE_FAULT_MODE=fail  it fails as the real call would, with the errno
//                            a full or broken disk gives (the default)
//   CORVANE_FAULT_MODE=exit  the process ends at once at that operation
//                            (_exit, nothing flushed), like a killed process;
//                            exit code kInterruptedExitCode
//   CORVANE_FAULT_MODE=stop  the process stops itself (SIGSTOP) before that
//                            operation and every later one, and goes on with
//                            it when continued: a test looks at or changes
//                            the files at each step of a run
//   CORVANE_FAULT_COUNT=FILE the number of operations so far is kept in FILE
//                            (rewritten at each operation, so it is right even
//                            after an interruption); "-" writes it to standard
//                            error at each operation instead
//
// Unset, nothing is counted and every wrapper is the plain system call behind
// one predictable branch.
#pragma once

#include <sys/types.h>

namespace posix::fault {

// What a counted operation does; also picks the errno of an injected failure.
enum class Operation {
    Create, // open for writing or create (EACCES)
    Write,  // write (ENOSPC)
    Sync,   // fsync (EIO)
    Rename, // rename, link (EACCES)
    Delete, // unlink (EACCES)
    Folder, // mkdir (EACCES)
};

// The exit code of a process ended by CORVANE_FAULT_MODE=exit.
constexpr int kInterruptedExitCode = 86;

// Counts one operation. True when it must fail: errno is then set. Ends the
// process in exit mode.
bool Inject(Operation operation);

// The operations counted so far (0 when the switch is off).
unsigned long OperationCount();

// The system calls, each counted and failing on request.
int Open(const char* path, int flags, mode_t mode = 0);
ssize_t Write(int fd, const void* bytes, size_t count);
int Fsync(int fd);
int Rename(const char* from, const char* to);
int Link(const char* from, const char* to);
int Unlink(const char* path);
int Mkdir(const char* path, mode_t mode);

// Test hook: reads the environment again and restarts the count.
void ResetForTests();

} // namespace posix::fault
