// CFile: a file opened with Win32 CreateFileA, with the framework's open flags
// and sharing modes. Read and Write throw CFileException on failure.
#pragma once

#include "framework/CString.h"
#include "framework/Exceptions.h"
#include "platform/winapi.h"

class CFile {
  public:
    enum OpenFlags : UINT {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareCompat = 0x0000,
        shareExclusive = 0x0010,
        shareDenyWrite = 0x0020,
        shareDenyRead = 0x0030,
        shareDenyNone = 0x0040,
        modeNoInherit = 0x0080,
        modeCreate = 0x1000,
        modeNoTruncate = 0x2000,
        typeText = 0x4000,
        typeBinary = 0x8000
    };

    CFile() = default;
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;
    virtual ~CFile();

    // FALSE on failure, with the cause in *error when given. modeCreate creates
    // the file or truncates it (kept whole with modeNoTruncate); shareCompat
    // and shareExclusive share nothing, shareDenyWrite lets others read,
    // shareDenyRead lets others write, shareDenyNone shares both. An open
    // file is closed first.
    virtual BOOL Open(const char* fileName, UINT openFlags, CFileException* error = nullptr);
    // Bytes read (0 at the end of the file).
    virtual UINT Read(void* buffer, UINT count);
    virtual void Write(const void* buffer, UINT count);
    virtual void Flush();
    virtual void Close();
    // Closes without throwing.
    virtual void Abort();
    ULONGLONG GetLength() const;
    CString GetFilePath() const { return m_strFileName; }
    bool IsOpen() const { return m_hFile != INVALID_HANDLE_VALUE; }

    // Throw CFileException on failure; Rename never replaces an existing file.
    static void Rename(const char* oldName, const char* newName);
    static void Remove(const char* fileName);

  private:
    HANDLE m_hFile = INVALID_HANDLE_VALUE;
    CString m_strFileName;
    bool m_bCanWrite = false;
};
