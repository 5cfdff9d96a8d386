// Enumerating registry keys with buffers that grow to fit: a long name or a
// long value never ends an enumeration early.
#pragma once

#include "framework/CString.h"
#include "platform/winapi.h"

#include <vector>

// Named apart from the application's RegistryValue (app/RegistryRead.h): two
// classes of one name in one program share their inline members at link time.
struct EnumeratedValue {
    CString name;
    DWORD type = REG_NONE;
    // The data up to its first NUL (string values are stored with theirs).
    CString data;
    // True when bytes other than NULs follow the first NUL of the data.
    bool textAfterNul = false;
    // The buffers of the enumeration call, kept for the next value.
    std::vector<char> nameBuffer;
    std::vector<BYTE> dataBuffer;
};

// The value at index: ERROR_SUCCESS, ERROR_NO_MORE_ITEMS at the end, or the
// failure of the call. Buffers start at 1,024 bytes and grow while the call
// reports ERROR_MORE_DATA; value keeps them for the next call.
LONG EnumRegistryValue(HKEY key, DWORD index, EnumeratedValue& value);

// The name of the sub-key at index, with the same results and buffer rule.
LONG EnumRegistrySubKey(HKEY key, DWORD index, CString& name);
