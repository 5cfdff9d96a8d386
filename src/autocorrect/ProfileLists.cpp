#include "autocorrect/ProfileLists.h"

#include "framework/WholeReads.h"
#include "platform/winapi.h"

namespace corvane {

namespace {

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

// Reads a name list (section is null for the list of sections).
std::vector<CString> ReadNameList(const char* file, const char* section) {
    if (!file || !*file)
        return {};
    std::string list = ReadProfileStringWhole(section, nullptr, "", file, kListBufferSize);
    return SplitNameList(list.data(), static_cast<DWORD>(list.size()));
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
    return CString(ReadProfileStringWhole(section, key, "", file, kValueBufferSize));
}

std::vector<ProfileItem> ReadProfileItems(const char* file, const char* section) {
    std::vector<ProfileItem> items;
    if (!ReadPlainProfileGroup(file, section, items))
        for (const CString& key : ReadProfileKeys(file, section))
            items.push_back({key, ReadProfileValue(file, section, key)});
    return items;
}

} // namespace corvane
