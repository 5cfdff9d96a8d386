// Reading registry keys whole: names and values of any length, through the
// 8-bit registry functions.
#pragma once

#include "framework/afx.h"
#include "platform/RegistryText.h"

#include <string>
#include <vector>

// One value of a registry key, read whole.
struct RegistryValue {
    std::string name;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

// Reads the values of an open key one by one, growing its buffers to fit.
class RegistryValueReader {
  public:
    enum class Result { value, end, failed };

    // Buffers of at least the given sizes, or the key's largest name and value.
    RegistryValueReader(HKEY key, DWORD minNameSize, DWORD minDataSize);
    // Value `index` into `value`; `end` after the last one, `failed` when it
    // cannot be read.
    Result Read(DWORD index, RegistryValue& value);
    // The same, and the value's stored form into `stored`, with one registry
    // read for most values instead of two. Without `wantBytes` the stored
    // bytes may be left out (see RegistryReadStoredValue).
    Result ReadWithStoredForm(DWORD index, RegistryValue& value, StoredValueRead& stored,
                              bool wantBytes = true);

  private:
    HKEY m_key;
    DWORD m_nameSize;
    DWORD m_dataSize;
    // Reused for every value; a value keeps only the bytes it holds.
    std::vector<char> m_name;
    std::vector<BYTE> m_data;
};

// Names of the direct sub-keys of `key`, in enumeration order, whatever their
// length. `complete` (optional) is false when the enumeration ended on an error.
CStringArray RegistrySubKeyNames(HKEY key, bool* complete = nullptr);

// Reads value `name` of HKEY_CURRENT_USER\keyPath whole, without creating
// anything; false when the key or the value is not there.
bool ReadRegistryValue(const CString& keyPath, const char* name, RegistryValue& value);
// Writes `value` (its name, type and bytes) into HKEY_CURRENT_USER\keyPath,
// creating the key when it is missing.
bool WriteRegistryValue(const CString& keyPath, const RegistryValue& value);
