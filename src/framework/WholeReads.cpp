#include "framework/WholeReads.h"

#include "framework/Exceptions.h"

#include <algorithm>

namespace {

// Past this, a result is not a settings text: the read gives up.
constexpr size_t kLargestRead = size_t(1) << 30;

// Calls `read(buffer, size)` with ever larger buffers until its result fits.
template <typename Read> std::string ReadUntilItFits(DWORD firstSize, Read read) {
    std::string buffer(std::max<DWORD>(firstSize, 16), '\0');
    for (;;) {
        DWORD size = static_cast<DWORD>(buffer.size());
        DWORD length = read(buffer.data(), size);
        // A result that fills the buffer to size - 1 may have been cut; so may one
        // of size - 2 (a quoted value that just fits loses a character under Wine,
        // and a cut list ends in two NULs at size - 2).
        if (length + 2 < size) {
            buffer.resize(length);
            return buffer;
        }
        if (buffer.size() >= kLargestRead)
            throw CMemoryException();
        buffer.assign(buffer.size() * 4, '\0');
    }
}

} // namespace

std::string ReadProfileStringWhole(const char* section, const char* key, const char* def,
                                   const char* file, DWORD firstSize) {
    return ReadUntilItFits(firstSize, [&](char* buffer, DWORD size) {
        return GetPrivateProfileStringA(section, key, def ? def : "", buffer, size, file);
    });
}

std::string ReadProfileSectionWhole(const char* section, const char* file, DWORD firstSize) {
    return ReadUntilItFits(firstSize, [&](char* buffer, DWORD size) {
        return GetPrivateProfileSectionA(section, buffer, size, file);
    });
}

std::vector<std::string> SplitProfileList(const std::string& list) {
    std::vector<std::string> entries;
    for (size_t pos = 0; pos < list.size() && list[pos] != '\0';) {
        size_t end = std::min(list.find('\0', pos), list.size());
        entries.push_back(list.substr(pos, end - pos));
        pos = end + 1;
    }
    return entries;
}

std::string ReadModulePath() {
    std::string buffer(MAX_PATH, '\0');
    for (;;) {
        DWORD length =
            GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return std::string();
        if (length < buffer.size()) {
            buffer.resize(length);
            return buffer;
        }
        if (buffer.size() >= (1u << 16))
            return std::string();
        buffer.assign(buffer.size() * 2, '\0');
    }
}

LONG QueryValueWhole(HKEY key, const char* name, DWORD& type, std::vector<BYTE>& data) {
    DWORD size = 0;
    LONG status = RegQueryValueExA(key, name, nullptr, &type, nullptr, &size);
    while (status == ERROR_SUCCESS) {
        data.assign(size, 0);
        DWORD got = size;
        status = RegQueryValueExA(key, name, nullptr, &type, data.data(), &got);
        if (status == ERROR_MORE_DATA) { // grew in between
            size = got;
            status = ERROR_SUCCESS;
            continue;
        }
        data.resize(std::min(got, size));
        break;
    }
    return status;
}
