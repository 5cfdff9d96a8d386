// The registry's Win32 functions over the Linux registry store: handles, buffers,
// NUL terminators and error codes as Windows gives them. Where Windows and Wine
// differ, this follows what the Windows build shows under Wine. The store keeps
// its text as lossless UTF-8; the A-functions see it in the ANSI code page, the
// W-functions in UTF-16 (platform/TextConversion.h).
#include "platform/RegistryText.h"
#include "platform/TextConversion.h"
#include "platform/posix/ProcessRegistry.h"
#include "platform/winapi.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

using posix::RegistryKey;
using posix::StoredValue;
using regfile::kNoOddByte;

namespace {

// Value names may be this long, in UTF-16 characters.
constexpr size_t kMaxValueNameLength = 16383;

// Open handles. Numbers are never reused, so a handle closed twice is refused.
struct HandleTable {
    std::unordered_map<uintptr_t, std::shared_ptr<RegistryKey>> open;
    uintptr_t next = 0x1000;
};

HandleTable& Handles() {
    static HandleTable* table = new HandleTable; // used until the very end
    return *table;
}

bool IsPredefined(HKEY handle) {
    uintptr_t value = reinterpret_cast<uintptr_t>(handle);
    return value >= 0x80000000u && value <= 0x80000006u;
}

// The other predefined hives exist on Linux, empty and read-only.
const std::shared_ptr<RegistryKey>& OtherHive() {
    static auto* hive =
        new std::shared_ptr<RegistryKey>(std::make_shared<RegistryKey>("", nullptr));
    return *hive;
}

bool IsReadOnly(const std::shared_ptr<RegistryKey>& key) {
    return key == OtherHive();
}

// The process's store, once Resolve has succeeded.
posix::RegistryStore& Store() {
    return *posix::TheRegistryStoreIfOpen();
}

// The key a handle stands for; ERROR_BADDB when the store could not be opened;
// ERROR_INVALID_HANDLE or ERROR_KEY_DELETED when
// it cannot be used.
LONG Resolve(HKEY handle, std::shared_ptr<RegistryKey>& key) {
    // A store that could not be opened is never read nor written.
    posix::RegistryStore* store = posix::TheRegistryStoreIfOpen();
    if (!store)
        return ERROR_BADDB;
    if (handle == HKEY_CURRENT_USER) {
        key = store->Root();
        return ERROR_SUCCESS;
    }
    if (IsPredefined(handle)) {
        key = OtherHive();
        return ERROR_SUCCESS;
    }
    auto& open = Handles().open;
    auto it = open.find(reinterpret_cast<uintptr_t>(handle));
    if (it == open.end())
        return ERROR_INVALID_HANDLE;
    key = it->second;
    return key->IsDeleted() ? ERROR_KEY_DELETED : ERROR_SUCCESS;
}

HKEY NewHandle(std::shared_ptr<RegistryKey> key) {
    HandleTable& table = Handles();
    uintptr_t number = table.next;
    table.next += 4;
    table.open.emplace(number, std::move(key));
    return reinterpret_cast<HKEY>(number);
}

bool IsStringType(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// Length in UTF-16 units of the store's text.
size_t Utf16Length(std::string_view text) {
    return text::LosslessWideLength(text);
}

// A name or path given to an A-function, in the store's form.
std::string_view StoreName(LPCSTR ansi, std::string& scratch) {
    return text::AnsiToLossless(ansi ? ansi : "", scratch);
}

// A value's data as the A-functions give it: text in the ANSI code page.
std::string_view AnsiData(const StoredValue& value, std::string& scratch) {
    if (!IsStringType(value.type))
        return value.data;
    return text::LosslessToAnsi(value.data, scratch);
}

// A value name longer than Windows allows. The Windows build looks at the name
// before it notices that the key was deleted: such a name is refused (or not
// found) even then.
bool IsTooLongValueName(LPCSTR name) {
    if (!name)
        return false;
    size_t length = std::strlen(name);
    std::string scratch;
    return length > kMaxValueNameLength &&
           Utf16Length(StoreName(name, scratch)) > kMaxValueNameLength;
}

// Copies string or binary data into a caller's buffer as RegQueryValueExA does:
// ERROR_MORE_DATA and an untouched buffer when it does not fit.
LONG CopyData(const StoredValue& value, std::string_view bytes, BYTE* data, DWORD capacity) {
    if (!data || bytes.empty())
        return ERROR_SUCCESS;
    if (bytes.size() > capacity)
        return ERROR_MORE_DATA;
    std::memcpy(data, bytes.data(), bytes.size());
    // A string without a final NUL gets one when the buffer has room; the count
    // stays without it (a Windows behaviour callers may rely on).
    if (IsStringType(value.type) && bytes.size() < capacity && bytes.back() != '\0')
        data[bytes.size()] = 0;
    return ERROR_SUCCESS;
}

// Windows refuses a sub-key path that starts with a backslash.
bool StartsWithSeparator(LPCSTR subKey) {
    return subKey && subKey[0] == '\\';
}

// Key names the store file cannot hold (its key lines cannot break).
bool HoldsLineBreak(LPCSTR subKey) {
    return subKey && std::strpbrk(subKey, "\r\n") != nullptr;
}

FILETIME Now() {
    // 100-nanosecond steps since 1601-01-01.
    uint64_t ticks = (static_cast<uint64_t>(std::time(nullptr)) + 11644473600ull) * 10000000ull;
    FILETIME time;
    time.dwLowDateTime = static_cast<DWORD>(ticks & 0xFFFFFFFFu);
    time.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return time;
}

} // namespace

extern "C" {

LONG RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, REGSAM, PHKEY phkResult) {
    if (!phkResult)
        return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    std::shared_ptr<RegistryKey> key;
    if (LONG error = Resolve(hKey, key))
        return error;
    if (StartsWithSeparator(lpSubKey))
        return ERROR_BAD_PATHNAME;
    std::string scratch;
    std::shared_ptr<RegistryKey> found = Store().OpenPath(key, StoreName(lpSubKey, scratch));
    if (!found)
        return ERROR_FILE_NOT_FOUND;
    *phkResult = NewHandle(std::move(found));
    return ERROR_SUCCESS;
}

LONG RegOpenKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult) {
    if (!phkResult)
        return ERROR_INVALID_PARAMETER;
    // No sub-key: the very handle given comes back, unchecked (as Windows does).
    if (!lpSubKey || !*lpSubKey) {
        *phkResult = hKey;
        return ERROR_SUCCESS;
    }
    return RegOpenKeyExA(hKey, lpSubKey, 0, KEY_ALL_ACCESS, phkResult);
}

LONG RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, LPSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES,
                     PHKEY phkResult, LPDWORD lpdwDisposition) {
    if (!phkResult)
        return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    std::shared_ptr<RegistryKey> key;
    if (LONG error = Resolve(hKey, key))
        return error;
    if (StartsWithSeparator(lpSubKey))
        return ERROR_BAD_PATHNAME;
    if (HoldsLineBreak(lpSubKey))
        return ERROR_INVALID_PARAMETER;
    posix::RegistryStore& store = Store();
    std::string scratch;
    std::string_view path = StoreName(lpSubKey, scratch);
    if (IsReadOnly(key) && !store.OpenPath(key, path))
        return ERROR_ACCESS_DENIED;
    bool created = false;
    std::shared_ptr<RegistryKey> result = store.CreatePath(key, path, &created);
    if (lpdwDisposition)
        *lpdwDisposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    *phkResult = NewHandle(std::move(result));
    return ERROR_SUCCESS;
}

LONG RegCreateKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult) {
    return RegCreateKeyExA(hKey, lpSubKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                           nullptr, phkResult, nullptr);
}

LONG RegEnumKeyA(HKEY hKey, DWORD dwIndex, LPSTR lpName, DWORD cchName) {
    std::shared_ptr<RegistryKey> key;
    if (LONG error = Resolve(hKey, key))
        return error;
    if (!lpName)
        return ERROR_INVALID_PARAMETER;
    if (dwIndex >= key->SubKeyCount())
        return ERROR_NO_MORE_ITEMS;
    std::string scratch;
    std::string_view name = text::LosslessToAnsi(key->SubKeyAt(dwIndex)->Name(), scratch);
    if (name.size() >= cchName)
        return ERROR_MORE_DATA; // the buffer stays untouched
    std::memcpy(lpName, name.data(), name.size());
    lpName[name.size()] = '\0';
    return ERROR_SUCCESS;
}

LONG RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName,
                   LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
    if (!lpValueName || !lpcchValueName || lpReserved || (lpData && !lpcbData))
        return ERROR_INVALID_PARAMETER;
    std::shared_ptr<RegistryKey> key;
    if (LONG error = Resolve(hKey, key))
        return error;
    if (dwIndex >= key->ValueCount())
        return ERROR_NO_MORE_ITEMS;
    const StoredValue& value = key->ValueAt(dwIndex);
    std::string dataScratch;
    std::string_view data = AnsiData(value, dataScratch);
    // The data first: when it does not fit, neither buffer is touched.
    LONG result = CopyData(value, data, lpData, lpcbData ? *lpcbData : 0);
    if (result == ERROR_SUCCESS) {
        std::string nameScratch;
        std::string_view name = text::LosslessToAnsi(value.name, nameScratch);
        if (name.size() >= *lpcchValueName) {
            // The name is cut to the buffer and its length left as given.
            result = ERROR_MORE_DATA;
            if (*lpcchValueName > 0) {
                std::memcpy(lpValueName, name.data(), *lpcchValueName - 1);
                lpValueName[*lpcchValueName - 1] = '\0';
            }
        } else {
            std::memcpy(lpValueName, name.data(), name.size());
            lpValueName[name.size()] = '\0';
            *lpcchValueName = static_cast<DWORD>(name.size());
        }
    }
    if (lpType)
        *lpType = value.type;
    if (lpcbData)
        *lpcbData = static_cast<DWORD>(data.size());
    return result;
}

LONG RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                      LPBYTE lpData, LPDWORD lpcbData) {
    if ((lpData && !lpcbData) || lpReserved)
        return ERROR_INVALID_PARAMETER;
    std::shared_ptr<RegistryKey> key;
    LONG error = Resolve(hKey, key);
    if (error == ERROR_INVALID_HANDLE)
        return error;
    DWORD capacity = lpcbData ? *lpcbData : 0;
    // Set before the value is looked for, whatever the outcome (as Wine does).
    if (!lpData && lpcbData)
        *lpcbData = 0;
    if (lpType)
        *lpType = REG_NONE;
    if (error == ERROR_KEY_DELETED && IsTooLongValueName(lpValueName))
        return ERROR_FILE_NOT_FOUND;
    if (error)
        return error;
    std::string nameScratch;
    const StoredValue* value = key->FindValue(StoreName(lpValueName, nameScratch));
    if (!value)
        return ERROR_FILE_NOT_FOUND;
    std::string dataScratch;
    std::string_view data = AnsiData(*value, dataScratch);
    LONG result = CopyData(*value, data, lpData, capacity);
    if (lpType)
        *lpType = value->type;
    if (lpcbData)
        *lpcbData = static_cast<DWORD>(data.size());
    return result;
}

LONG RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD, DWORD dwType, const BYTE* lpData,
                    DWORD cbData) {
    std::shared_ptr<RegistryKey> key;
    LONG error = Resolve(hKey, key);
    if (error == ERROR_KEY_DELETED && IsTooLongValueName(lpValueName))
        return ERROR_INVALID_PARAMETER;
    if (error)
        return error;
    if (IsReadOnly(key))
        return ERROR_ACCESS_DENIED;
    if (!lpData && cbData)
        return ERROR_NOACCESS;
    std::string nameScratch;
    std::string_view name = StoreName(lpValueName, nameScratch);
    if (name.size() > kMaxValueNameLength && Utf16Length(name) > kMaxValueNameLength)
        return ERROR_INVALID_PARAMETER;
    // A string whose count leaves out the NUL right after it gets that NUL, as
    // Windows does: it reads the byte after the count.
    if (cbData && IsStringType(dwType) && lpData[cbData - 1] != 0 && lpData[cbData] == 0)
        cbData++;
    std::string_view data;
    if (cbData)
        data = std::string_view(reinterpret_cast<const char*>(lpData), cbData);
    std::string dataScratch;
    if (IsStringType(dwType))
        data = text::AnsiToLossless(data, dataScratch);
    Store().SetValue(*key, name, dwType, data);
    return ERROR_SUCCESS;
}

LONG RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
    std::shared_ptr<RegistryKey> key;
    LONG error = Resolve(hKey, key);
    if (error == ERROR_KEY_DELETED && IsTooLongValueName(lpValueName))
        return ERROR_FILE_NOT_FOUND;
    if (error)
        return error;
    if (IsReadOnly(key))
        return ERROR_ACCESS_DENIED;
    std::string scratch;
    if (!Store().DeleteValue(*key, StoreName(lpValueName, scratch)))
        return ERROR_FILE_NOT_FOUND;
    return ERROR_SUCCESS;
}

LONG RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) {
    if (!lpSubKey)
        return ERROR_INVALID_PARAMETER;
    std::shared_ptr<RegistryKey> key;
    if (LONG error = Resolve(hKey, key))
        return error;
    if (StartsWithSeparator(lpSubKey))
        return ERROR_BAD_PATHNAME;
    posix::RegistryStore& store = Store();
    std::string scratch;
    std::shared_ptr<RegistryKey> target = store.OpenPath(key, StoreName(lpSubKey, scratch));
    if (!target)
        return ERROR_FILE_NOT_FOUND;
    // A key with sub-keys stays, and so does the root of a hive.
    if (!store.DeleteKey(*target))
        return ERROR_ACCESS_DENIED;
    return ERROR_SUCCESS;
}

LONG RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved,
                      LPDWORD lpcSubKeys, LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen,
                      LPDWORD lpcValues, LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen,
                      LPDWORD lpcbSecurityDescriptor, FILETIME* lpftLastWriteTime) {
    if (lpReserved)
        return ERROR_INVALID_PARAMETER;
    std::shared_ptr<RegistryKey> key;
    if (LONG error = Resolve(hKey, key))
        return error;
    // Keys have no class here.
    if (lpcchClass) {
        if (lpClass && *lpcchClass > 0)
            lpClass[0] = '\0';
        *lpcchClass = 0;
    }
    if (lpcbMaxClassLen)
        *lpcbMaxClassLen = 0;
    // Lengths in UTF-16 characters, data of strings in UTF-16 bytes, as Windows
    // counts them for the A-function too; computed anew each time, and only
    // when asked for.
    size_t longestSubKey = 0;
    if (lpcbMaxSubKeyLen)
        for (size_t i = 0; i < key->SubKeyCount(); i++)
            longestSubKey = std::max(longestSubKey, Utf16Length(key->SubKeyAt(i)->Name()));
    size_t longestName = 0;
    size_t longestData = 0;
    for (size_t i = 0; (lpcbMaxValueNameLen || lpcbMaxValueLen) && i < key->ValueCount(); i++) {
        const StoredValue& value = key->ValueAt(i);
        if (lpcbMaxValueNameLen)
            longestName = std::max(longestName, Utf16Length(value.name));
        if (lpcbMaxValueLen) {
            size_t size = IsStringType(value.type)
                              ? 2 * Utf16Length(value.data) + (value.oddByte != kNoOddByte)
                              : value.data.size();
            longestData = std::max(longestData, size);
        }
    }
    if (lpcSubKeys)
        *lpcSubKeys = static_cast<DWORD>(key->SubKeyCount());
    if (lpcbMaxSubKeyLen)
        *lpcbMaxSubKeyLen = static_cast<DWORD>(longestSubKey);
    if (lpcValues)
        *lpcValues = static_cast<DWORD>(key->ValueCount());
    if (lpcbMaxValueNameLen)
        *lpcbMaxValueNameLen = static_cast<DWORD>(longestName);
    if (lpcbMaxValueLen)
        *lpcbMaxValueLen = static_cast<DWORD>(longestData);
    if (lpcbSecurityDescriptor)
        *lpcbSecurityDescriptor = 0;
    if (lpftLastWriteTime)
        *lpftLastWriteTime = Now();
    return ERROR_SUCCESS;
}

LONG RegFlushKey(HKEY hKey) {
    std::shared_ptr<RegistryKey> key;
    if (LONG error = Resolve(hKey, key))
        return error;
    // The settings files go first, so that no deletion reaches the disk before
    // the data copied out of the deleted key.
    switch (posix::FlushSettingsThenRegistry()) {
    case 0:
        return ERROR_SUCCESS;
    case ENOSPC:
        return ERROR_DISK_FULL;
    case EACCES:
    case EPERM:
    case EROFS:
        return ERROR_ACCESS_DENIED;
    case ENOENT:
    case ENOTDIR:
        return ERROR_PATH_NOT_FOUND;
    default: // -1: the settings files could not be written
        return ERROR_WRITE_FAULT;
    }
}

LONG RegCloseKey(HKEY hKey) {
    if (!hKey)
        return ERROR_INVALID_HANDLE;
    if (IsPredefined(hKey))
        return ERROR_SUCCESS;
    if (Handles().open.erase(reinterpret_cast<uintptr_t>(hKey)) == 0)
        return ERROR_INVALID_HANDLE;
    return ERROR_SUCCESS;
}

} // extern "C"

namespace {

// Why the store's text `stored` does not survive the ANSI code page; empty when it does.
std::string StoredTextLoss(const char* what, std::string_view stored) {
    if (text::IsAscii(stored))
        return std::string();
    return text::AnsiLoss(what, text::LosslessToWide(stored));
}

// `inTree`: the value is named as one of many below a key.
std::string ValueLoss(const StoredValue& value, bool inTree = false) {
    std::string loss = StoredTextLoss(inTree ? "the value name" : "its name", value.name);
    if (loss.empty() && IsStringType(value.type)) {
        std::string_view data = value.data;
        while (!data.empty() && data.back() == '\0')
            data.remove_suffix(1);
        loss = StoredTextLoss(inTree ? "the text" : "its text", data);
    }
    return loss;
}

std::string TreeLoss(const RegistryKey& key, int depth) {
    for (size_t i = 0; i < key.ValueCount(); i++) {
        std::string loss = ValueLoss(key.ValueAt(i), true);
        if (!loss.empty())
            return loss;
    }
    for (size_t i = 0; i < key.SubKeyCount() && depth < 512; i++) {
        const RegistryKey& sub = *key.SubKeyAt(i);
        std::string loss = StoredTextLoss("the key name", sub.Name());
        if (loss.empty())
            loss = TreeLoss(sub, depth + 1);
        if (!loss.empty())
            return loss;
    }
    return std::string();
}

} // namespace

std::string RegistryValueAnsiLoss(HKEY hKey, DWORD index) {
    std::shared_ptr<RegistryKey> key;
    if (Resolve(hKey, key) != ERROR_SUCCESS || index >= key->ValueCount())
        return std::string();
    return ValueLoss(key->ValueAt(index));
}

std::string RegistryNamedValueAnsiLoss(HKEY hKey, LPCSTR name) {
    std::shared_ptr<RegistryKey> key;
    if (Resolve(hKey, key) != ERROR_SUCCESS)
        return std::string();
    std::string scratch;
    const StoredValue* value = key->FindValue(StoreName(name, scratch));
    return value ? ValueLoss(*value) : std::string();
}

std::string RegistrySubKeyAnsiLoss(HKEY hKey, DWORD index) {
    std::shared_ptr<RegistryKey> key;
    if (Resolve(hKey, key) != ERROR_SUCCESS || index >= key->SubKeyCount())
        return std::string();
    return StoredTextLoss("its name", key->SubKeyAt(index)->Name());
}

std::string RegistryTreeAnsiLoss(HKEY hKey) {
    std::shared_ptr<RegistryKey> key;
    if (Resolve(hKey, key) != ERROR_SUCCESS)
        return std::string();
    return TreeLoss(*key, 0);
}

bool RegistryValueStoredBytes(HKEY hKey, DWORD index, std::string& bytes) {
    std::shared_ptr<RegistryKey> key;
    if (Resolve(hKey, key) != ERROR_SUCCESS || index >= key->ValueCount())
        return false;
    const StoredValue& value = key->ValueAt(index);
    if (!IsStringType(value.type)) {
        bytes = value.data;
        return true;
    }
    // ASCII, nearly all text, is copied unit by unit; the rest converted.
    bytes.resize(2 * value.data.size());
    char* out = bytes.data();
    unsigned char high = 0;
    for (char c : value.data) {
        high |= static_cast<unsigned char>(c);
        *out++ = c;
        *out++ = '\0';
    }
    if (high >= 0x80) {
        bytes.clear();
        for (char16_t unit : text::LosslessToWide(value.data)) {
            bytes += static_cast<char>(unit & 0xFF);
            bytes += static_cast<char>(unit >> 8);
        }
    }
    if (value.oddByte != kNoOddByte)
        bytes += static_cast<char>(value.oddByte);
    return true;
}

LONG RegistryReadStoredValue(HKEY hKey, DWORD index, StoredValueRead& value, bool wantBytes) {
    std::shared_ptr<RegistryKey> key;
    LONG status = Resolve(hKey, key);
    if (status != ERROR_SUCCESS)
        return status;
    if (index >= key->ValueCount())
        return ERROR_NO_MORE_ITEMS;
    value.type = key->ValueAt(index).type;
    value.loss = RegistryValueAnsiLoss(hKey, index);
    // The 8-bit form costs no more to read on its own here.
    value.ansiKnown = false;
    value.bytes.clear();
    return !wantBytes || RegistryValueStoredBytes(hKey, index, value.bytes) ? ERROR_SUCCESS
                                                                            : ERROR_BADDB;
}
