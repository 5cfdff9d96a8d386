// The framework's exceptions: memory and invalid-argument failures end the
// process when nobody catches them; file failures carry a cause.
#pragma once

#include "platform/winapi.h"

#include <exception>

class CException : public std::exception {
public:
    const char* what() const noexcept override { return "framework exception"; }
};

class CMemoryException : public CException {
public:
    const char* what() const noexcept override { return "out of memory"; }
};

class CInvalidArgException : public CException {
public:
    const char* what() const noexcept override { return "invalid argument"; }
};

class CFileException : public CException {
public:
    enum Cause {
        none,
        genericException,
        fileNotFound,
        badPath,
        tooManyOpenFiles,
        accessDenied,
        invalidFile,
        removeCurrentDir,
        directoryFull,
        badSeek,
        hardIO,
        sharingViolation,
        lockViolation,
        diskFull,
        endOfFile
    };

    CFileException(int cause = none, LONG osError = -1) : m_cause(cause), m_lOsError(osError) {}
    const char* what() const noexcept override { return "file exception"; }

    // The cause that matches a Win32 error code.
    static int OsErrorToException(LONG osError);

    int m_cause;
    LONG m_lOsError;
};
