// Windows build: the calls through which the program reads and writes its
// files and changes the registry pass through this layer on their way to the
// real functions. File names go to the run's copies (ShadowFiles.h); changes
// are counted for the test switch (KillSwitch.h). winapi.h includes this after
// <windows.h>; the layer's own sources define CORVANE_REAL_WIN32 to reach the
// real functions.
#pragma once

namespace corvane_win32 {

DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR def, LPSTR buffer, DWORD size,
                               LPCSTR file);
BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR file);
UINT GetPrivateProfileIntA(LPCSTR section, LPCSTR key, INT def, LPCSTR file);
DWORD GetPrivateProfileSectionA(LPCSTR section, LPSTR buffer, DWORD size, LPCSTR file);
BOOL WritePrivateProfileSectionA(LPCSTR section, LPCSTR lines, LPCSTR file);
DWORD GetPrivateProfileSectionNamesA(LPSTR buffer, DWORD size, LPCSTR file);

HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                   DWORD disposition, DWORD flags, HANDLE templateFile);
DWORD GetFileAttributesA(LPCSTR name);
BOOL GetFileAttributesExA(LPCSTR name, GET_FILEEX_INFO_LEVELS level, LPVOID info);
BOOL MoveFileExA(LPCSTR from, LPCSTR to, DWORD flags);

LONG RegDeleteKeyA(HKEY key, LPCSTR subKey);
LONG RegDeleteValueA(HKEY key, LPCSTR name);
LONG RegSetValueExA(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD size);

} // namespace corvane_win32

#ifndef CORVANE_REAL_WIN32
#define GetPrivateProfileStringA corvane_win32::GetPrivateProfileStringA
#define WritePrivateProfileStringA corvane_win32::WritePrivateProfileStringA
#define GetPrivateProfileIntA corvane_win32::GetPrivateProfileIntA
#define GetPrivateProfileSectionA corvane_win32::GetPrivateProfileSectionA
#define WritePrivateProfileSectionA corvane_win32::WritePrivateProfileSectionA
#define GetPrivateProfileSectionNamesA corvane_win32::GetPrivateProfileSectionNamesA
#define CreateFileA corvane_win32::CreateFileA
#define GetFileAttributesA corvane_win32::GetFileAttributesA
#define GetFileAttributesExA corvane_win32::GetFileAttributesExA
#define MoveFileExA corvane_win32::MoveFileExA
#define RegDeleteKeyA corvane_win32::RegDeleteKeyA
#define RegDeleteValueA corvane_win32::RegDeleteValueA
#define RegSetValueExA corvane_win32::RegSetValueExA
#endif
