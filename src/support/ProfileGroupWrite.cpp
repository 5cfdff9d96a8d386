#include "support/ProfileGroupWrite.h"
#include "framework/WholeReads.h"
#include "platform/AsciiText.h"

#include "platform/winapi.h"

#include <cstring>
#include <string>
#include <unordered_set>

namespace {

bool IsPrintableAscii(const CString& text) {
    for (int i = 0; i < text.GetLength(); ++i) {
        unsigned char ch = static_cast<unsigned char>(text[i]);
        if (ch < 0x20 || ch > 0x7E)
            return false;
    }
    return true;
}

bool HasBlankEnd(const CString& text) {
    int length = text.GetLength();
    return length > 0 && (text[0] == ' ' || text[length - 1] == ' ');
}

// The reader drops one pair of matching quotes; the section reader does not.
bool IsQuoted(const CString& text) {
    int length = text.GetLength();
    return length >= 2 && (text[0] == '"' || text[0] == '\'') && text[length - 1] == text[0];
}

// True when the file lists a section whose name is `section` ignoring case
// (a name with other than ASCII letters counts as a possible match).
bool SectionMayExist(const char* file, const CString& section) {
    std::string names = ReadProfileStringWhole(nullptr, nullptr, "", file, 64000);
    std::string wanted = ascii::Folded(section.str());
    for (const char* name = names.c_str(); *name != '\0'; name += std::strlen(name) + 1) {
        CString stored(name);
        if (!IsPrintableAscii(stored) || ascii::Folded(stored.Trim().str()) == wanted)
            return true;
    }
    return false;
}

std::string SectionText(const std::vector<ProfileItem>& items) {
    std::string text;
    for (const ProfileItem& item : items) {
        text += item.key.str();
        text += '=';
        text += item.value.str();
        text += '\0';
    }
    return text;
}

// True when the section reads back as exactly the lines written.
bool ReadsBackWhole(const char* file, const CString& section, const std::string& written) {
    std::vector<char> buffer(written.size() + 2);
    DWORD length =
        GetPrivateProfileSectionA(section, buffer.data(), static_cast<DWORD>(buffer.size()), file);
    return length == written.size() && std::string(buffer.data(), length) == written;
}

} // namespace

bool IsPlainProfileItem(const CString& key, const CString& value) {
    if (key.IsEmpty() || key.GetLength() > kPlainKeyLimit || value.GetLength() > kPlainValueLimit)
        return false;
    if (!IsPrintableAscii(key) || !IsPrintableAscii(value) || HasBlankEnd(key) ||
        HasBlankEnd(value) || IsQuoted(value))
        return false;
    return key.Find('=') < 0 && key[0] != ';' && key[0] != '[';
}

bool IsPlainSectionName(const CString& name) {
    return !name.IsEmpty() && IsPrintableAscii(name) && !HasBlankEnd(name) && name[0] != '[' &&
           name.Find(']') < 0;
}

bool GroupWritesEnabled() {
    static const bool enabled = GetEnvironmentVariableA("CORVANE_KEY_BY_KEY", nullptr, 0) == 0;
    return enabled;
}

GroupWrite WriteProfileGroup(const char* file, const CString& section,
                             const std::vector<ProfileItem>& items) {
    if (!file || !GroupWritesEnabled() || items.empty() || !IsPlainSectionName(section))
        return GroupWrite::NotTried;
    std::unordered_set<std::string> keys;
    for (const ProfileItem& item : items)
        if (!IsPlainProfileItem(item.key, item.value) ||
            !keys.insert(ascii::Folded(item.key.str())).second)
            return GroupWrite::NotTried;
    if (SectionMayExist(file, section))
        return GroupWrite::NotTried;

    // All but the last item with the section writer, the last on its own: two
    // changes of the file, as key by key whenever the group has two or more
    // items. The second change is what settles what the first left as it was
    // given (lines of the file that read as nothing are written once more).
    std::vector<ProfileItem> head(items.begin(), items.end() - 1);
    const ProfileItem& last = items.back();
    if (!head.empty()) {
        std::string block = SectionText(head) + '\0'; // the lines end with an empty string
        if (!WritePrivateProfileSectionA(section, block.c_str(), file))
            return GroupWrite::Failed;
    }
    if (!WritePrivateProfileStringA(section, last.key, last.value, file))
        return GroupWrite::Failed;
    return ReadsBackWhole(file, section, SectionText(items)) ? GroupWrite::Written
                                                             : GroupWrite::Failed;
}
