#include "framework/RegistryRead.h"

#include "framework/WholeReads.h"

#include <algorithm>

RegistryValueReader::RegistryValueReader(HKEY key, DWORD minNameSize, DWORD minDataSize)
    : m_key(key), m_nameSize(minNameSize), m_dataSize(minDataSize) {
    DWORD maxName = 0;
    DWORD maxData = 0;
    if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                         &maxName, &maxData, nullptr, nullptr) == ERROR_SUCCESS) {
        m_nameSize = std::max(m_nameSize, maxName + 1);
        m_dataSize = std::max(m_dataSize, maxData);
    }
}

RegistryValueReader::Result RegistryValueReader::Read(DWORD index, RegistryValue& value) {
    // Sizes may be reported in characters of another encoding than the 8-bit
    // text read here; a few doublings cover any such difference.
    for (int attempt = 0; attempt < 8; ++attempt) {
        m_name.assign(m_nameSize + 1, '\0');
        m_data.resize(m_dataSize + 1);
        DWORD nameLength = m_nameSize;
        DWORD dataLength = m_dataSize;
        DWORD type = REG_NONE;
        LONG result = RegEnumValueA(m_key, index, m_name.data(), &nameLength, nullptr, &type,
                                    m_data.data(), &dataLength);
        if (result == ERROR_SUCCESS) {
            value.name.assign(m_name.data(), std::min(nameLength, m_nameSize));
            value.type = type;
            value.data.assign(m_data.begin(), m_data.begin() + std::min(dataLength, m_dataSize));
            return Result::value;
        }
        if (result == ERROR_NO_MORE_ITEMS)
            return Result::end;
        if (result != ERROR_MORE_DATA)
            return Result::failed;
        m_nameSize *= 2;
        m_dataSize = std::max(m_dataSize * 2, dataLength);
    }
    return Result::failed;
}

RegistryValueReader::Result RegistryValueReader::ReadWithStoredForm(DWORD index,
                                                                    RegistryValue& value,
                                                                    StoredValueRead& stored,
                                                                    bool wantBytes) {
    LONG result = RegistryReadStoredValue(m_key, index, stored, wantBytes);
    if (result == ERROR_NO_MORE_ITEMS)
        return Result::end;
    if (result != ERROR_SUCCESS)
        return Result::failed;
    if (!stored.ansiKnown)
        return Read(index, value);
    value.name = stored.ansiName;
    value.type = stored.type;
    value.data = stored.ansiData;
    return Result::value;
}

CStringArray RegistrySubKeyNames(HKEY key, bool* complete) {
    DWORD maxName = 0;
    DWORD size = MAX_PATH;
    if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, &maxName, nullptr, nullptr,
                         nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS)
        size = std::max(size, maxName + 1);
    CStringArray names;
    std::vector<char> name(size + 1, '\0');
    bool ended = false;
    for (DWORD index = 0;;) {
        LONG result = RegEnumKeyA(key, index, name.data(), static_cast<DWORD>(name.size()));
        if (result == ERROR_MORE_DATA && name.size() < 0x10000) {
            name.assign(name.size() * 2, '\0'); // longer than reported: more room
            continue;
        }
        if (result != ERROR_SUCCESS) {
            ended = result == ERROR_NO_MORE_ITEMS;
            break;
        }
        names.Add(CString(name.data()));
        ++index;
    }
    if (complete)
        *complete = ended;
    return names;
}

bool ReadRegistryValue(const CString& keyPath, const char* name, RegistryValue& value) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    DWORD type = REG_NONE;
    LONG status = QueryValueWhole(key, name, type, value.data);
    RegCloseKey(key);
    value.name = name;
    value.type = type;
    return status == ERROR_SUCCESS;
}

bool WriteRegistryValue(const CString& keyPath, const RegistryValue& value) {
    HKEY key = nullptr;
    if (RegCreateKeyA(HKEY_CURRENT_USER, keyPath, &key) != ERROR_SUCCESS)
        return false;
    LONG status = RegSetValueExA(key, value.name.c_str(), 0, value.type, value.data.data(),
                                 static_cast<DWORD>(value.data.size()));
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}
