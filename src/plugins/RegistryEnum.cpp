#include "plugins/RegistryEnum.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

const DWORD kFirstBufferSize = 1024;
// Names and data beyond these sizes are not read: no registry holds them.
const DWORD kMaxNameSize = 1u << 20;
const DWORD kMaxDataSize = 1u << 28;

} // namespace

LONG EnumRegistryValue(HKEY key, DWORD index, EnumeratedValue& value) {
    std::vector<char>& name = value.nameBuffer;
    std::vector<BYTE>& data = value.dataBuffer;
    if (name.size() < kFirstBufferSize)
        name.resize(kFirstBufferSize);
    if (data.size() < kFirstBufferSize)
        data.resize(kFirstBufferSize);
    for (;;) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD dataSize = static_cast<DWORD>(data.size());
        DWORD type = REG_NONE;
        LONG result = RegEnumValueA(key, index, name.data(), &nameLength, nullptr, &type,
                                    data.data(), &dataSize);
        if (result == ERROR_MORE_DATA) {
            if (name.size() >= kMaxNameSize && data.size() >= kMaxDataSize)
                return result;
            if (name.size() < kMaxNameSize)
                name.resize(name.size() * 2);
            // The call tells the data size it needs; the name it does not.
            DWORD wanted = dataSize > data.size() ? dataSize + 1 : 0;
            size_t grown = std::max<size_t>(data.size() * 2, wanted);
            if (data.size() < kMaxDataSize)
                data.resize(std::min<size_t>(grown, kMaxDataSize));
            continue;
        }
        if (result != ERROR_SUCCESS)
            return result;
        nameLength = std::min<DWORD>(nameLength, static_cast<DWORD>(name.size()));
        dataSize = std::min<DWORD>(dataSize, static_cast<DWORD>(data.size()));
        // Assigned in place: the strings keep their room for the next value.
        value.name.str().assign(name.data(), strnlen(name.data(), nameLength));
        const char* bytes = reinterpret_cast<const char*>(data.data());
        size_t textLength = strnlen(bytes, dataSize);
        value.data.str().assign(bytes, textLength);
        value.textAfterNul =
            std::any_of(bytes + textLength, bytes + dataSize, [](char ch) { return ch != '\0'; });
        value.type = type;
        return ERROR_SUCCESS;
    }
}

LONG EnumRegistrySubKey(HKEY key, DWORD index, CString& name) {
    std::vector<char> buffer(kFirstBufferSize);
    for (;;) {
        LONG result = RegEnumKeyA(key, index, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (result == ERROR_MORE_DATA && buffer.size() < kMaxNameSize) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (result != ERROR_SUCCESS)
            return result;
        name = CString(buffer.data(), static_cast<int>(strnlen(buffer.data(), buffer.size())));
        return ERROR_SUCCESS;
    }
}
