// Win32 calls that fill a caller's buffer and cut what does not fit, called
// again with more room until the whole result fits. Every read of a profile
// text, of the program's path and of a registry value goes through here, so
// the rule for "it fits" lives in one place.
#pragma once

#include "platform/winapi.h"

#include <string>
#include <vector>

// What GetPrivateProfileStringA gives for (section, key) of file, whole: a value,
// or with a null key (or section) the NUL-separated name list, each name followed
// by its NUL. The buffer starts at firstSize bytes and grows while the result may
// have been cut.
std::string ReadProfileStringWhole(const char* section, const char* key, const char* def,
                                   const char* file, DWORD firstSize = 4096);

// What GetPrivateProfileSectionA gives for `section` of file, whole: its lines,
// each followed by its NUL.
std::string ReadProfileSectionWhole(const char* section, const char* file, DWORD firstSize = 4096);

// The entries of a NUL-separated list as the profile reads give it (each
// entry followed by its NUL, the list ended by an empty entry or its end).
std::vector<std::string> SplitProfileList(const std::string& list);

// The running program's full path, however long; empty when it cannot be had.
std::string ReadModulePath();

// Value `name` of the open key, whole: its type and bytes. ERROR_SUCCESS, or the
// failure of the call (ERROR_FILE_NOT_FOUND when there is no such value).
LONG QueryValueWhole(HKEY key, const char* name, DWORD& type, std::vector<BYTE>& data);
