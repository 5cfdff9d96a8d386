#include "support/ProfileGroupWrite.h"
#include "framework/WholeReads.h"
#include "platform/AsciiText.h"

#include "platform/winapi.h"

#include <string>
#include <unordered_set>

namespace corvane {

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

// The name as the file's name list is compared: without blanks at its ends,
// folded; empty for a name ASCII folding cannot compare (a code page's letters).
std::string ComparableName(const CString& name) {
    CString trimmed = name;
    trimmed.Trim();
    if (!IsPrintableAscii(trimmed))
        return std::string();
    return ascii::Folded(trimmed.str());
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

ProfileGroupTarget::ProfileGroupTarget(const char* file)
    : m_file(file ? file : ""), m_hasFile(file && *file) {}

// True when the file lists a section whose name is `section` ignoring case
// (a name with other than ASCII letters counts as a possible match).
bool ProfileGroupTarget::SectionMayExist(const CString& section) {
    if (!m_namesKnown) {
        m_names.clear();
        for (const std::string& name :
             SplitProfileList(ReadProfileStringWhole(nullptr, nullptr, "", m_file.c_str(), 64000)))
            m_names.insert(ComparableName(name.c_str()));
        m_namesKnown = true;
    }
    return m_names.count(std::string()) > 0 || m_names.count(ComparableName(section)) > 0;
}

void ProfileGroupTarget::NoteSection(const CString& section) {
    if (m_namesKnown)
        m_names.insert(ComparableName(section));
}

GroupWrite ProfileGroupTarget::Write(const CString& section,
                                     const std::vector<ProfileItem>& items) {
    if (!m_hasFile || !GroupWritesEnabled() || items.empty() || !IsPlainSectionName(section))
        return GroupWrite::NotTried;
    std::unordered_set<std::string> keys;
    for (const ProfileItem& item : items)
        if (!IsPlainProfileItem(item.key, item.value) ||
            !keys.insert(ascii::Folded(item.key.str())).second)
            return GroupWrite::NotTried;
    if (SectionMayExist(section))
        return GroupWrite::NotTried;
    // Whatever happens next, the section may be in the file now.
    NoteSection(section);

    // While the file may still hold lines its writer has not settled, all but
    // the last item go with the section writer and the last on its own: two
    // rewrites, as key by key whenever the group has two or more items. The
    // second is what settles what the first left as it was given (lines of the
    // file that read as nothing are written once more). After two rewrites
    // one section write is the same as any number of rewrites.
    const char* file = m_file.c_str();
    bool settled = m_rewrites >= 2;
    std::vector<ProfileItem> head(items.begin(), settled ? items.end() : items.end() - 1);
    if (!head.empty()) {
        std::string block = SectionText(head) + '\0'; // the lines end with an empty string
        if (!WritePrivateProfileSectionA(section, block.c_str(), file))
            return GroupWrite::Failed;
        ++m_rewrites;
    }
    if (!settled) {
        const ProfileItem& last = items.back();
        if (!WritePrivateProfileStringA(section, last.key, last.value, file))
            return GroupWrite::Failed;
        ++m_rewrites;
    }
    return ReadsBackWhole(file, section, SectionText(items)) ? GroupWrite::Written
                                                             : GroupWrite::Failed;
}

GroupWrite WriteProfileGroup(const char* file, const CString& section,
                             const std::vector<ProfileItem>& items) {
    return ProfileGroupTarget(file).Write(section, items);
}

bool ReadPlainProfileGroup(const char* file, const char* section, std::vector<ProfileItem>& items) {
    items.clear();
    if (!file || !*file || !GroupWritesEnabled())
        return false;
    std::unordered_set<std::string> keys;
    for (const std::string& line : SplitProfileList(ReadProfileSectionWhole(section, file))) {
        size_t equals = line.find('=');
        ProfileItem item;
        if (equals != std::string::npos)
            item = {line.substr(0, equals).c_str(), line.substr(equals + 1).c_str()};
        if (equals == std::string::npos || !IsPlainProfileItem(item.key, item.value) ||
            !keys.insert(ascii::Folded(item.key.str())).second) {
            items.clear();
            return false;
        }
        items.push_back(std::move(item));
    }
    return true;
}

} // namespace corvane
