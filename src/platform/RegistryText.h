// Registry text that the ANSI code page cannot hold. The registry keeps its text
// in UTF-16; the A-functions hand it over in the ANSI code page, with '?' or a
// look-alike for what the code page lacks, so a copy made through them would not
// be the original and a name written back would name something else. Callers
// keep such keys where they are.
//
// Each function gives an empty text when everything fits, and otherwise a short
// reason naming what does not, its lost characters written as \uXXXX.
#pragma once

#include "platform/winapi.h"

#include <string>
#include <vector>

// The name and, for string types, the text of the value at `index` of `key`.
std::string RegistryValueAnsiLoss(HKEY key, DWORD index);
// The same for the value called `name` (given in the ANSI code page) of `key`;
// a value that is not there loses nothing.
std::string RegistryNamedValueAnsiLoss(HKEY key, LPCSTR name);
// The name of the sub-key at `index` of `key`.
std::string RegistrySubKeyAnsiLoss(HKEY key, DWORD index);
// Everything below `key`: sub-key names, value names and texts, at any depth.
std::string RegistryTreeAnsiLoss(HKEY key);

// The bytes the registry holds for the value at `index` of `key`, as it holds
// them: for string types UTF-16LE, an odd last byte included, where the
// A-functions give the text in the ANSI code page and no odd byte. False when
// the value cannot be read.
bool RegistryValueStoredBytes(HKEY key, DWORD index, std::string& bytes);

// Value `index` of `key` read once, for a caller that wants its stored form as
// well as its 8-bit one.
struct StoredValueRead {
    DWORD type = REG_NONE;
    std::string loss;  // what RegistryValueAnsiLoss gives
    std::string bytes; // what RegistryValueStoredBytes gives
    // True when `ansiName` and `ansiData` are what the A-functions give for the
    // value, known from the one read (its name and text are ASCII). False: the
    // caller reads the 8-bit form itself.
    bool ansiKnown = false;
    std::string ansiName;
    std::vector<BYTE> ansiData;
};
// ERROR_SUCCESS, ERROR_NO_MORE_ITEMS after the last value, or the failure.
// Without `wantBytes` the stored bytes may be left out where they cost extra.
LONG RegistryReadStoredValue(HKEY key, DWORD index, StoredValueRead& value, bool wantBytes = true);
