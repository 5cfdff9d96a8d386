// The registry's text as it is, through the wide registry functions, set
// against what the ANSI code page makes of it.
#include "platform/RegistryText.h"

#include "platform/TextConversion.h"

#include <algorithm>
#include <string_view>
#include <vector>

namespace {

std::u16string Units(const wchar_t* text, size_t length) {
    return std::u16string(text, text + length);
}

bool IsStringType(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// `inTree`: the value is named as one of many below a key.
std::string ValueLoss(const std::u16string& name, DWORD type, std::string_view bytes,
                      bool inTree = false) {
    std::string loss = text::AnsiLoss(inTree ? "the value name" : "its name", name);
    if (loss.empty() && IsStringType(type)) {
        std::u16string value;
        for (size_t i = 0; i + 1 < bytes.size(); i += 2)
            value += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                           static_cast<unsigned char>(bytes[i + 1]) << 8);
        while (!value.empty() && value.back() == u'\0')
            value.pop_back();
        loss = text::AnsiLoss(inTree ? "the text" : "its text", value);
    }
    return loss;
}

// The value at `index` through the wide function, with one call for nearly
// every value: no size query first, as the registry may count every value of
// the key for it. `bytes` is filled as it is, up to 16 KiB, larger for a longer
// value. ERROR_SUCCESS, or the failure of the read.
LONG ReadWideValue(HKEY key, DWORD index, std::u16string& name, DWORD& type, std::string& bytes) {
    static thread_local std::vector<wchar_t> nameBuffer(16384); // the longest name and its NUL
    size_t room = std::clamp<size_t>(bytes.capacity(), 256, 0x4000);
    LONG result = ERROR_MORE_DATA;
    for (int attempt = 0; attempt < 4 && result == ERROR_MORE_DATA; ++attempt) {
        bytes.resize(room);
        DWORD nameLength = static_cast<DWORD>(nameBuffer.size());
        DWORD size = static_cast<DWORD>(bytes.size());
        result = RegEnumValueW(key, index, nameBuffer.data(), &nameLength, nullptr, &type,
                               reinterpret_cast<BYTE*>(bytes.data()), &size);
        if (result == ERROR_SUCCESS) {
            bytes.resize(size);
            name = Units(nameBuffer.data(), nameLength);
        }
        room = size + 2; // it may have grown in between
    }
    return result;
}

struct KeySizes {
    DWORD subKeys = 0, longestSubKey = 0, values = 0, longestName = 0, longestData = 0;
};

bool QuerySizes(HKEY key, KeySizes& sizes) {
    return RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &sizes.subKeys, &sizes.longestSubKey,
                            nullptr, &sizes.values, &sizes.longestName, &sizes.longestData, nullptr,
                            nullptr) == ERROR_SUCCESS;
}

std::string TreeLoss(HKEY key, int depth) {
    KeySizes sizes;
    if (!QuerySizes(key, sizes))
        return std::string();
    std::u16string name;
    std::string bytes;
    for (DWORD i = 0; i < sizes.values; i++) {
        DWORD type = 0;
        if (ReadWideValue(key, i, name, type, bytes) != ERROR_SUCCESS)
            continue;
        std::string loss = ValueLoss(name, type, bytes, true);
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
    std::u16string name;
    DWORD type = 0;
    std::string bytes;
    if (ReadWideValue(key, index, name, type, bytes) != ERROR_SUCCESS)
        return std::string();
    return ValueLoss(name, type, bytes);
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
    return ValueLoss(wideName, type,
                     std::string_view(reinterpret_cast<const char*>(data.data()), dataSize));
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
    std::u16string name;
    DWORD type = 0;
    return ReadWideValue(key, index, name, type, bytes) == ERROR_SUCCESS;
}

namespace {

bool IsAsciiUnits(std::u16string_view units) {
    for (char16_t unit : units)
        if (unit >= 0x80)
            return false;
    return true;
}

// The A-functions' form of a value whose name and text are ASCII: the same
// characters a byte each. False for any other value.
bool AsciiForm(const std::u16string& name, DWORD type, const std::string& bytes,
               StoredValueRead& value) {
    if (!IsAsciiUnits(name))
        return false;
    value.ansiName.assign(name.begin(), name.end());
    if (!IsStringType(type)) {
        value.ansiData.assign(bytes.begin(), bytes.end());
        return true;
    }
    if (bytes.size() % 2 != 0)
        return false;
    value.ansiData.resize(bytes.size() / 2);
    for (size_t i = 0; i < value.ansiData.size(); ++i) {
        if (bytes[2 * i + 1] != '\0' || static_cast<unsigned char>(bytes[2 * i]) >= 0x80)
            return false;
        value.ansiData[i] = static_cast<BYTE>(bytes[2 * i]);
    }
    return true;
}

} // namespace

LONG RegistryReadStoredValue(HKEY key, DWORD index, StoredValueRead& value, bool) {
    std::u16string name;
    LONG status = ReadWideValue(key, index, name, value.type, value.bytes);
    if (status != ERROR_SUCCESS)
        return status;
    value.loss = ValueLoss(name, value.type, value.bytes);
    value.ansiKnown = value.loss.empty() && AsciiForm(name, value.type, value.bytes, value);
    return ERROR_SUCCESS;
}
