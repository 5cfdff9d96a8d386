#include "autocorrect/ProfileLists.h"

#include "platform/winapi.h"

namespace {

// A NUL-separated name list (ending in an empty name) as separate names.
std::vector<CString> SplitNameList(const std::vector<char>& buffer, DWORD length) {
    std::vector<CString> names;
    DWORD pos = 0;
    while (pos < length && buffer[pos] != '\0') {
        CString name(&buffer[pos]);
        pos += static_cast<DWORD>(name.GetLength()) + 1;
        names.push_back(std::move(name));
    }
    return names;
}

// Reads a name list (section is null for the list of sections), growing the
// buffer while the reader reports the list cut. A list that fills the buffer
// exactly is reported cut as well, and is read again.
std::vector<CString> ReadNameList(const char* file, const char* section) {
    if (!file || !*file)
        return {};
    std::vector<char> buffer(kListBufferSize);
    for (;;) {
        DWORD size = static_cast<DWORD>(buffer.size());
        DWORD length = GetPrivateProfileStringA(section, nullptr, "", buffer.data(), size, file);
        if (length + 2 < size)
            return SplitNameList(buffer, length);
        buffer.assign(buffer.size() * 2, '\0');
    }
}

} // namespace

std::vector<CString> ReadProfileKeys(const char* file, const char* section) {
    return ReadNameList(file, section);
}

std::vector<CString> ReadProfileSections(const char* file) {
    return ReadNameList(file, nullptr);
}

CString ReadProfileValue(const char* file, const char* section, const char* key) {
    if (!file || !*file)
        return CString();
    std::vector<char> buffer(kValueBufferSize);
    for (;;) {
        DWORD size = static_cast<DWORD>(buffer.size());
        DWORD length = GetPrivateProfileStringA(section, key, "", buffer.data(), size, file);
        // A value that fills the buffer to size - 1 may have been cut.
        if (length + 1 < size)
            return CString(buffer.data(), static_cast<int>(length));
        buffer.assign(buffer.size() * 2, '\0');
    }
}
