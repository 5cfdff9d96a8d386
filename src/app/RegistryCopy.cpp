// The registry copy: every settings group (a sub-key of the application key)
// becomes a section of the main settings file, and copied groups leave the
// registry.
#include "app/CorvaneApp.h"
#include "platform/AsciiText.h"
#include "app/ProgressLine.h"
#include "framework/RegistryRead.h"
#include "platform/RegistryText.h"
#include "autocorrect/CheckedWrite.h"
#include "autocorrect/HostCanDos.h"
#include "autocorrect/InternalBank.h"
#include "autocorrect/SectionMove.h"
#include "support/ProfileGroupWrite.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace corvane {

namespace {

// The buffers the host's own readers use; longer names and values are copied
// whole all the same, and the run names them.
const DWORD kNameBuffer = 260;
const DWORD kDataBuffer = 0x4000;

// Why a value name cannot be a key of an INI file and read back the same;
// null when it can.
const char* IniKeyProblem(const std::string& name) {
    if (name.empty())
        return "it has no name";
    if (name.find('=') != std::string::npos)
        return "its name holds \"=\"";
    if (name.find_first_of("\r\n") != std::string::npos)
        return "its name holds a line break";
    if (ascii::IsSpace(name.front()) || ascii::IsSpace(name.back()))
        return "its name starts or ends with a blank";
    if (name.front() == '[')
        return "its name starts with \"[\"";
    if (name.front() == ';')
        return "its name starts with \";\" (a comment in an INI file)";
    return nullptr;
}

// Why a settings group name cannot be a section of an INI file; null when it can.
const char* IniSectionProblem(const CString& name) {
    const std::string& text = name.str();
    if (text.empty())
        return "it has no name";
    if (text.find_first_of("]\r\n") != std::string::npos)
        return "its name holds \"]\" or a line break";
    if (ascii::IsSpace(text.front()) || ascii::IsSpace(text.back()))
        return "its name starts or ends with a blank";
    return nullptr;
}

// True for the plug-in menu's store: the plug-in step moves it, not this copy.
bool IsPluginStore(const CString& name) {
    return _mbsicmp(reinterpret_cast<const unsigned char*>(name.GetString()),
                    reinterpret_cast<const unsigned char*>("PlugIns")) == 0;
}

// True for the groups that "keep" leaves in the registry.
bool IsKeptGroup(const CString& name) {
    return _mbsicmp(reinterpret_cast<const unsigned char*>(name.GetString()),
                    reinterpret_cast<const unsigned char*>("Settings")) == 0 ||
           _mbsicmp(reinterpret_cast<const unsigned char*>(name.GetString()),
                    reinterpret_cast<const unsigned char*>("Load")) == 0;
}

// Why a text value cannot be written so that the profile reader gives it back
// whole; null when it can. `text` is the text up to its first NUL.
const char* IniTextProblem(const std::string& text, bool cutAtNul) {
    if (cutAtNul)
        return "its text holds a NUL";
    if (text.find('\r') != std::string::npos)
        return "its text holds a carriage return"; // it would end the line
    size_t quotes = NeedsProfileQuotes(text) ? 2 : 0;
    if (text.size() + quotes > kMaxProfileValueLength)
        return "its text is 32,767 characters or longer";
    return nullptr;
}

// How many values a key holds (0 when it cannot tell).
int ValueCount(HKEY key) {
    DWORD count = 0;
    if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr,
                         nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return 0;
    return static_cast<int>(count);
}

// The names of the sub-keys of a group, joined for a message.
CString JoinedSubKeyNames(const CStringArray& names) {
    CString joined;
    for (int i = 0; i < names.GetSize(); ++i) {
        if (i > 0)
            joined += ", ";
        joined += names[i];
    }
    return joined;
}

// The group's values as the key-by-key copy below writes them (line feeds as
// "|", other types than texts and numbers left out), when it writes every one
// without a message of any kind; false for anything else, which leaves the
// group to that copy.
bool ReadPlainGroup(HKEY hGroup, std::vector<ProfileItem>& items, KeyValueCounts& counts,
                    bool& holdsDataPath) {
    RegistryValueReader reader(hGroup, kNameBuffer, kDataBuffer);
    RegistryValue value;
    StoredValueRead stored;
    for (DWORD index = 0;; ++index) {
        RegistryValueReader::Result read = reader.ReadWithStoredForm(index, value, stored, false);
        if (read == RegistryValueReader::Result::end)
            return true;
        if (read == RegistryValueReader::Result::failed || value.name.size() >= kNameBuffer ||
            value.data.size() > kDataBuffer || IniKeyProblem(value.name) || !stored.loss.empty())
            return false;
        counts.Read(value.type);
        holdsDataPath = holdsDataPath || _stricmp(value.name.c_str(), "DataPath") == 0;
        CString text;
        if (value.type == REG_DWORD && value.data.size() == 4) {
            DWORD number = 0;
            memcpy(&number, value.data.data(), 4);
            text.Format("%d", static_cast<int>(number));
        } else if (value.type == REG_SZ || value.type == REG_EXPAND_SZ) {
            std::string data(value.data.begin(), value.data.end());
            size_t end = data.find('\0');
            if (end != std::string::npos && data.find_first_not_of('\0', end) != std::string::npos)
                return false;
            data.resize(std::min(end, data.size()));
            std::replace(data.begin(), data.end(), '\n', '|');
            text = data.c_str();
        } else if (value.type == REG_DWORD) {
            return false; // a number of other than 4 bytes has a message of its own
        } else {
            continue; // other types stay only in the registry backup
        }
        items.push_back({CString(value.name.c_str()), text});
    }
}

} // namespace

CString CCorvaneApp::GroupDestination(const CString& group) const {
    CString capability;
    if (ClassifyHostCanDoSection(group, capability) == HostCanDoSection::Capability)
        return "hostCanDos.ini [" + capability + "]";
    if (IsInternalBankSection(group, m_strSectionPrefix))
        return "#Intern" + m_strSectionPrefix + ".corvane";
    return CString(m_pszAppName ? m_pszAppName : "") + ".ini";
}

void CCorvaneApp::CopyRegistryToIni(HKEY hAppKey) {
    if (!hAppKey)
        return;
    CStringArray groups = RegistrySubKeyNames(hAppKey);
    bool sawSettings = false;
    // The values are counted only when a terminal shows the progress.
    std::vector<size_t> valuesBefore;
    if (ProgressToStandardError())
        valuesBefore = RegistryValuesBefore(hAppKey, groups);
    CProgressLine progress("Copy from registry", valuesBefore.empty() ? 0 : valuesBefore.back(),
                           stderr, !valuesBefore.empty());
    // Nothing but this loop writes the settings file while it runs.
    ProfileGroupTarget target(m_pszProfileName);
    for (int i = 0; i < groups.GetSize(); ++i) {
        const CString& group = groups[i];
        if (progress.Shown())
            progress.Reach(valuesBefore[i]);
        if (IsPluginStore(group))
            continue;
        HKEY hGroup = nullptr;
        if (RegOpenKeyA(hAppKey, group, &hGroup) != ERROR_SUCCESS || !hGroup)
            continue;
        BOOL bWritten = TRUE;
        // A value the INI file cannot hold as it is keeps its group in the registry.
        bool keepForLoss = false;
        if (const char* problem = IniSectionProblem(group)) {
            printf("Kept [%s] in the registry: %s\n", group.GetString(), problem);
            m_account.NoteKey(false, 0, {{REG_NONE, ValueCount(hGroup)}});
            RegCloseKey(hGroup);
            continue;
        }
        // A key with sub-keys cannot be deleted, and the copy reads none of them.
        CStringArray subKeys = RegistrySubKeyNames(hGroup);
        if (subKeys.GetSize() > 0) {
            printf("Kept [%s] in the registry: it has sub-keys (%s)\n", group.GetString(),
                   JoinedSubKeyNames(subKeys).GetString());
            keepForLoss = true;
        }

        KeyValueCounts counts;
        bool holdsDataPath = false;
        bool isSettings = group.CompareNoCase(m_strSettings) == 0;
        sawSettings = sawSettings || isSettings;

        // A plain group goes into the file with one write (never in a preview,
        // which writes nothing); anything else is copied value by value below.
        std::vector<ProfileItem> items;
        GroupWrite groupWrite = GroupWrite::NotTried;
        if (!m_bPreview && ReadPlainGroup(hGroup, items, counts, holdsDataPath))
            groupWrite = target.Write(group, items);
        if (groupWrite == GroupWrite::Failed) {
            for (const ProfileItem& item : items)
                ReportWriteError(group, item.key);
            bWritten = FALSE;
        } else if (groupWrite == GroupWrite::Written) {
            counts.copied = static_cast<int>(items.size());
        } else {
            counts = KeyValueCounts();
            holdsDataPath = false;
        }

        RegistryValueReader reader(hGroup, kNameBuffer, kDataBuffer);
        RegistryValue value;
        for (DWORD index = 0; groupWrite == GroupWrite::NotTried; ++index) {
            RegistryValueReader::Result read = reader.Read(index, value);
            if (read == RegistryValueReader::Result::end)
                break;
            if (read == RegistryValueReader::Result::failed) {
                printf("Kept [%s] in the registry: value %lu and those after it could not be "
                       "read\n",
                       group.GetString(), static_cast<unsigned long>(index));
                keepForLoss = true;
                break;
            }
            counts.Read(value.type);
            const char* name = value.name.c_str();
            holdsDataPath = holdsDataPath || _stricmp(name, "DataPath") == 0;
            bool isText = value.type == REG_SZ || value.type == REG_EXPAND_SZ;
            if (!isText && value.type != REG_DWORD)
                continue; // other types stay only in the registry backup
            if (const char* problem = IniKeyProblem(value.name)) {
                printf("Kept [%s] %s in the registry: %s\n", group.GetString(), name, problem);
                keepForLoss = true;
                continue;
            }
            std::string loss = RegistryValueAnsiLoss(hGroup, index);
            if (!loss.empty()) { // read through the code page, it is not the original
                printf("Kept [%s] %s in the registry: %s\n", group.GetString(), name, loss.c_str());
                keepForLoss = true;
                continue;
            }

            BOOL bOk = TRUE;
            if (isText) {
                // The text ends at its first NUL; a registry string carries one.
                std::string text(value.data.begin(), value.data.end());
                size_t end = text.find('\0');
                bool cut = false;
                if (end != std::string::npos) {
                    cut = text.find_first_not_of('\0', end) != std::string::npos;
                    text.resize(end);
                }
                // A value kept in the registry is not written at all.
                if (const char* problem = IniTextProblem(text, cut)) {
                    printf("Kept [%s] %s in the registry: %s\n", group.GetString(), name, problem);
                    keepForLoss = true;
                    continue;
                }
                std::replace(text.begin(), text.end(), '\n', '|');
                // Quoted where the reader would drop blanks or quotes at its ends.
                if (!m_bPreview)
                    bOk = WriteProfileString(group, name,
                                             NeedsProfileQuotes(text)
                                                 ? QuotedProfileValue(text.c_str()).GetString()
                                                 : text.c_str());
            } else {
                if (value.data.size() != 4) {
                    printf("Kept [%s] %s in the registry: a number of %lu bytes\n",
                           group.GetString(), name, static_cast<unsigned long>(value.data.size()));
                    keepForLoss = true;
                    continue;
                }
                DWORD number = 0;
                memcpy(&number, value.data.data(), 4);
                if (!m_bPreview)
                    bOk = WriteProfileInt(group, name, static_cast<int>(number));
            }
            if (!bOk) {
                printf("Error writing [%s] %s\n", group.GetString(), name);
                ++m_nFailures;
                bWritten = FALSE;
                continue;
            }
            ++counts.copied;
            if (value.name.size() >= kNameBuffer)
                printf("Copied [%s] %s in full: a name of %lu characters\n", group.GetString(),
                       name, static_cast<unsigned long>(value.name.size()));
            else if (value.data.size() > kDataBuffer)
                printf("Copied [%s] %s in full: %lu bytes of data\n", group.GetString(), name,
                       static_cast<unsigned long>(value.data.size()));
        }
        RegCloseKey(hGroup);
        if (groupWrite == GroupWrite::NotTried)
            target.NoteSection(group);
        if (isSettings && m_bPreviewRecordsDataPath && !holdsDataPath)
            CountPreviewDataPathRecord(counts);

        bool removed = bWritten && !keepForLoss && !(IsKeptGroup(group) && !m_bRemoveSource) &&
                       EnsureRegistryBackup();
        // Nothing leaves the registry before the run's files are in place.
        if (removed && !m_bPreview)
            DeleteGroupLater(hAppKey, group);
        m_account.NoteKey(removed, counts.copied, counts.byType);
        if (m_bPreview)
            PrintGroupPreview(group, counts, removed);
        if (counts.copied > 0) {
            m_copiedGroups.push_back(group);
            if (m_pszProfileName)
                m_account.NoteFile(m_pszProfileName);
        }
    }
    if (m_bPreviewRecordsDataPath && !sawSettings) {
        // The prompt's record makes the group; the copy then takes it.
        KeyValueCounts counts;
        CountPreviewDataPathRecord(counts);
        bool removed = (m_bRemoveSource || !IsKeptGroup(m_strSettings)) && EnsureRegistryBackup();
        m_account.NoteKey(removed, counts.copied, counts.byType);
        PrintGroupPreview(m_strSettings, counts, removed);
        m_copiedGroups.push_back(m_strSettings);
    }
}

void CCorvaneApp::CountPreviewDataPathRecord(KeyValueCounts& counts) {
    counts.Read(REG_SZ);
    ++counts.copied;
    if (m_pszProfileName)
        m_account.NoteFile(m_pszProfileName);
}

} // namespace corvane
