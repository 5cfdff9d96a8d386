#include "autocorrect/ProfileLists.h"

#include "platform/winapi.h"

#include <memory>

namespace {

// A reader buffer of `size` bytes, left uninitialised (the reader fills it).
struct ReadBuffer {
    explicit ReadBuffer(DWORD bytes)
        : size(bytes), data(std::make_unique_for_overwrite<char[]>(bytes)) {}
    void Grow() { *this = ReadBuffer(size * 2); }

    DWORD size;
    std::unique_ptr<char[]> data;
};

// A NUL-separated name list (ending in an empty name) as separate names.
std::vector<CString> SplitNameList(const char* list, DWORD length) {
    std::vector<CString> names;
    DWORD pos = 0;
    while (pos < length && list[pos] != '\0') {
        CString name(list + pos);
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
    for (ReadBuffer buffer(kListBufferSize);; buffer.Grow()) {
        DWORD length =
            GetPrivateProfileStringA(section, nullptr, "", buffer.data.get(), buffer.size, file);
        if (length + 2 < buffer.size)
            return SplitNameList(buffer.data.get(), length);
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
    for (ReadBuffer buffer(kValueBufferSize);; buffer.Grow()) {
        DWORD length =
            GetPrivateProfileStringA(section, key, "", buffer.data.get(), buffer.size, file);
        // A value that fills the buffer to size - 1 may have been cut; so may
        // one of size - 2 (a quoted value that just fits loses a character).
        if (length + 2 < buffer.size)
            return CString(buffer.data.get(), static_cast<int>(length));
    }
}
