#include "autocorrect/ProfileLists.h"

#include "framework/WholeReads.h"
#include "platform/winapi.h"

namespace corvane {

namespace {

// Reads a name list (section is null for the list of sections).
std::vector<CString> ReadNameList(const char* file, const char* section) {
    if (!file || !*file)
        return {};
    std::vector<CString> names;
    for (const std::string& name :
         SplitProfileList(ReadProfileStringWhole(section, nullptr, "", file, kListBufferSize)))
        names.emplace_back(name.c_str());
    return names;
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
