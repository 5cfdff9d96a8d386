// The registry's text as it is, through the wide registry functions, set
// against what the ANSI code page makes of it.
#include "platform/RegistryText.h"

#include "platform/TextConversion.h"

#include <algorithm>
#include <vector>

namespace {

std::u16string Units(const wchar_t* text, size_t length) {
    return std::u16string(text, text + length);
}

bool IsStringType(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// `inTree`: the value is named as one of many below a key.
std::string ValueLoss(const std::u16string& name, DWORD type, const std::vector<BYTE>& data,
                      DWORD dataSize, bool inTree = false) {
    std::string loss = text::AnsiLoss(inTree ? "the value name" : "its name", name);
    if (loss.empty() && IsStringType(type)) {
        std::u16string value;
        for (DWORD i = 0; i + 1 < dataSize; i += 2)
            value += static_cast<char16_t>(data[i] | data[i + 1] << 8);
        while (!value.empty() && value.back() == u'\0')
            value.pop_back();
        loss = text::AnsiLoss(inTree ? "the text" : "its text", value);
    }
    return loss;
}

struct KeySizes {
    DWORD subKeys = 0, longestSubKey = 0, values = 0, longestName = 0, longestData = 0;
};

bool QuerySizes(HKEY key, KeySizes& sizes) {
    return RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &sizes.subKeys, &sizes.longestSubKey,
                            nullptr, &sizes.values, &sizes.longestName, &sizes.longestData, nullptr,
                            nullptr) == ERROR_SUCCESS;
}

// The value at index; false when it cannot be read.
bool ReadValue(HKEY key, DWORD index, const KeySizes& sizes, std::u16string& name, DWORD& type,
               std::vector<BYTE>& data, DWORD& dataSize) {
    std::vector<wchar_t> nameBuffer(sizes.longestName + 2);
    data.assign(sizes.longestData + 2, 0);
    DWORD nameLength = static_cast<DWORD>(nameBuffer.size());
    dataSize = static_cast<DWORD>(data.size());
    if (RegEnumValueW(key, index, nameBuffer.data(), &nameLength, nullptr, &type, data.data(),
                      &dataSize) != ERROR_SUCCESS)
        return false;
    name = Units(nameBuffer.data(), nameLength);
    return true;
}

std::string TreeLoss(HKEY key, int depth) {
    KeySizes sizes;
    if (!QuerySizes(key, sizes))
        return std::string();
    for (DWORD i = 0; i < sizes.values; i++) {
        std::u16string name;
        DWORD type = 0, dataSize = 0;
        std::vector<BYTE> data;
        if (!ReadValue(key, i, sizes, name, type, data, dataSize))
            continue;
        std::string loss = ValueLoss(name, type, data, dataSize, true);
        if (!loss.empty())
            return loss;
    }
    for (DWORD i = 0; i < sizes.subKeys && depth < 512; i++) {
        std::vector<wchar_t> nameBuffer(sizes.longestSubKey + 2);
        DWORD nameLength = static_cast<DWORD>(nameBuffer.size());
        if (RegEnumKeyExW(key, i, nameBuffer.data(), &nameLength, nullptr, nullptr, nullptr,
                          nullptr) != ERROR_SUCCESS)
            continue;
        std::string loss = text::AnsiLoss("the key name", Units(nameBuffer.data(), nameLength));
        if (!loss.empty())
            return loss;
        HKEY sub = nullptr;
        if (RegOpenKeyExW(key, nameBuffer.data(), 0, KEY_READ, &sub) != ERROR_SUCCESS)
            continue;
        loss = TreeLoss(sub, depth + 1);
        RegCloseKey(sub);
        if (!loss.empty())
            return loss;
    }
    return std::string();
}

} // namespace

std::string RegistryValueAnsiLoss(HKEY key, DWORD index) {
    KeySizes sizes;
    std::u16string name;
    DWORD type = 0, dataSize = 0;
    std::vector<BYTE> data;
    if (!QuerySizes(key, sizes) || !ReadValue(key, index, sizes, name, type, data, dataSize))
        return std::string();
    return ValueLoss(name, type, data, dataSize);
}

std::string RegistryNamedValueAnsiLoss(HKEY key, LPCSTR name) {
    std::u16string wideName;
    text::AppendAnsiAsWide(wideName, name ? name : "");
    std::wstring units(wideName.begin(), wideName.end());
    DWORD type = 0;
    DWORD dataSize = 0;
    if (RegQueryValueExW(key, units.c_str(), nullptr, &type, nullptr, &dataSize) != ERROR_SUCCESS)
        return std::string();
    std::vector<BYTE> data(dataSize + 2, 0);
    if (RegQueryValueExW(key, units.c_str(), nullptr, &type, data.data(), &dataSize) !=
        ERROR_SUCCESS)
        return std::string();
    return ValueLoss(wideName, type, data, dataSize);
}

std::string RegistrySubKeyAnsiLoss(HKEY key, DWORD index) {
    KeySizes sizes;
    if (!QuerySizes(key, sizes))
        return std::string();
    std::vector<wchar_t> name(sizes.longestSubKey + 2);
    DWORD length = static_cast<DWORD>(name.size());
    if (RegEnumKeyExW(key, index, name.data(), &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
        return std::string();
    return text::AnsiLoss("its name", Units(name.data(), length));
}

std::string RegistryTreeAnsiLoss(HKEY key) {
    return TreeLoss(key, 0);
}

bool RegistryValueStoredBytes(HKEY key, DWORD index, std::string& bytes) {
    // No size query first: the registry may count every value of the key for it.
    // The caller's buffer is filled as it is, up to 16 KiB, larger for a longer value.
    wchar_t name[16384]; // the longest value name and its NUL
    size_t room = std::clamp<size_t>(bytes.capacity(), 256, 0x4000);
    for (int attempt = 0; attempt < 4; ++attempt) {
        bytes.resize(room);
        DWORD nameLength = 16384;
        DWORD size = static_cast<DWORD>(bytes.size());
        LONG result = RegEnumValueW(key, index, name, &nameLength, nullptr, nullptr,
                                    reinterpret_cast<BYTE*>(bytes.data()), &size);
        if (result == ERROR_SUCCESS) {
            bytes.resize(size);
            return true;
        }
        if (result != ERROR_MORE_DATA)
            return false;
        room = size + 2; // it may have grown in between
    }
    return false;
}
