// A whole file written beside its final name and then put in place: the
// temporary file is created, never opened (CREATE_NEW, so a name someone else
// took, a planted link included, is never written through), under a name
// nobody can predict ("<final name>.<16 hex digits>.tmp", picked again when
// taken). On Linux the platform layer gives it the rules of every saved file
// (private until renamed, then the final file's mode; links; folder flush).
#pragma once

#include "framework/CString.h"
#include "platform/winapi.h"

#include <string_view>

class CTemporaryFile {
  public:
    CTemporaryFile() = default;
    CTemporaryFile(const CTemporaryFile&) = delete;
    CTemporaryFile& operator=(const CTemporaryFile&) = delete;
    // Removes a temporary file that was not put in place.
    ~CTemporaryFile();

    // Creates the temporary file for `finalPath`. FALSE with GetLastError set.
    BOOL Create(const char* finalPath);
    // Appends bytes. FALSE with GetLastError set.
    BOOL Write(std::string_view bytes);
    // Flushes the file to the disk and closes it. FALSE with GetLastError set.
    BOOL Close();
    // Renames the closed temporary file to the final name (over an existing
    // file only with `replace`). FALSE with GetLastError set; the temporary
    // file then stays for another try or Abandon.
    BOOL MoveIntoPlace(bool replace);
    // Closes and removes the temporary file.
    void Abandon();

    const CString& Path() const { return m_strPath; }

  private:
    HANDLE m_hFile = INVALID_HANDLE_VALUE;
    CString m_strPath;
    CString m_strFinalPath;
    bool m_bPlaced = false;
};

// "<text>.<16 hex digits>.tmp" with digits nobody can predict.
CString UnpredictableTemporaryName(const char* text);
