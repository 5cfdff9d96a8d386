// The framework's exceptions: memory and invalid-argument failures end the
// process when nobody catches them; file failures carry a cause.
#pragma once

#include "framework/CString.h"
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

    CFileException(int cause = none, LONG osError = -1, const char* fileName = nullptr)
        : m_cause(cause), m_lOsError(osError), m_strFileName(fileName) {}
    const char* what() const noexcept override { return "file exception"; }

    // The cause that matches a Win32 error code (genericException for codes
    // without a closer cause, none for NO_ERROR).
    static int OsErrorToException(LONG osError);
    // Throws a CFileException for a Win32 error code.
    [[noreturn]] static void ThrowOsError(LONG osError, const char* fileName = nullptr);

    int m_cause;
    LONG m_lOsError;
    CString m_strFileName;
};
