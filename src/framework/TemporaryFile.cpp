#include "framework/TemporaryFile.h"

#include <cstdio>

namespace {

// A name already taken is tried again with new digits this many times.
constexpr int kNameAttempts = 16;

} // namespace

CString UnpredictableTemporaryName(const char* text) {
    GUID random = {};
    CoCreateGuid(&random); // version 4: random bits from the system's source
    unsigned long long bits = (static_cast<unsigned long long>(random.Data1) << 32) ^
                              (static_cast<unsigned long long>(random.Data2) << 16) ^ random.Data3;
    for (unsigned char byte : random.Data4)
        bits = (bits << 8 | bits >> 56) ^ byte;
    CString name;
    name.Format("%s.%016llx.tmp", text, bits);
    return name;
}

CTemporaryFile::~CTemporaryFile() {
    if (!m_bPlaced)
        Abandon();
}

BOOL CTemporaryFile::Create(const char* finalPath) {
    Abandon();
    m_strFinalPath = finalPath;
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        CString path = UnpredictableTemporaryName(finalPath);
        if (path.GetLength() >= MAX_PATH) {
            SetLastError(ERROR_FILENAME_EXCED_RANGE);
            return FALSE;
        }
        m_hFile = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
        if (m_hFile != INVALID_HANDLE_VALUE) {
            m_strPath = path;
            m_bPlaced = false;
            return TRUE;
        }
        DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
            return FALSE;
    }
    return FALSE;
}

BOOL CTemporaryFile::Write(std::string_view bytes) {
    while (!bytes.empty()) {
        DWORD piece = bytes.size() > 0x40000000u ? 0x40000000u : static_cast<DWORD>(bytes.size());
        DWORD written = 0;
        if (m_hFile == INVALID_HANDLE_VALUE ||
            !WriteFile(m_hFile, bytes.data(), piece, &written, nullptr))
            return FALSE;
        if (written != piece) {
            SetLastError(ERROR_DISK_FULL);
            return FALSE;
        }
        bytes.remove_prefix(piece);
    }
    return TRUE;
}

BOOL CTemporaryFile::Close() {
    if (m_hFile == INVALID_HANDLE_VALUE)
        return FALSE;
    BOOL flushed = FlushFileBuffers(m_hFile);
    DWORD error = GetLastError();
    BOOL closed = CloseHandle(m_hFile);
    m_hFile = INVALID_HANDLE_VALUE;
    if (flushed && !closed)
        error = GetLastError();
    SetLastError(error);
    return flushed && closed;
}

BOOL CTemporaryFile::MoveIntoPlace(bool replace) {
    if (m_strPath.IsEmpty() || m_hFile != INVALID_HANDLE_VALUE)
        return FALSE;
    DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
    if (!MoveFileExA(m_strPath, m_strFinalPath, flags))
        return FALSE;
    m_bPlaced = true;
    return TRUE;
}

void CTemporaryFile::Abandon() {
    if (m_hFile != INVALID_HANDLE_VALUE) {
        CloseHandle(m_hFile);
        m_hFile = INVALID_HANDLE_VALUE;
    }
    if (!m_strPath.IsEmpty() && !m_bPlaced) {
        DWORD error = GetLastError();
        DeleteFileA(m_strPath);
        SetLastError(error);
    }
    m_strPath.Empty();
}
