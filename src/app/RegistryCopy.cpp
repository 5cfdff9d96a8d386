// The registry copy: every settings group (a sub-key of the application key)
// becomes a section of the main settings file, and copied groups leave the
// registry.
#include "app/CorvaneApp.h"
#include "app/ProgressLine.h"
#include "app/RegistryRead.h"
#include "platform/RegistryText.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

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
    if (IsAsciiSpace(name.front()) || IsAsciiSpace(name.back()))
        return "its name starts or ends with a blank";
    if (name.front() == '[')
        return "its name starts with \"[\"";
    return nullptr;
}

// Why a settings group name cannot be a section of an INI file; null when it can.
const char* IniSectionProblem(const CString& name) {
    const std::string& text = name.str();
    if (text.empty())
        return "it has no name";
    if (text.find_first_of("]\r\n") != std::string::npos)
        return "its name holds \"]\" or a line break";
    if (IsAsciiSpace(text.front()) || IsAsciiSpace(text.back()))
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

} // namespace

void CCorvaneApp::CopyRegistryToIni(HKEY hAppKey) {
    if (!hAppKey)
        return;
    CStringArray groups = RegistrySubKeyNames(hAppKey);
    // The values are counted only when a terminal shows the progress.
    std::vector<size_t> valuesBefore;
    if (ProgressToStandardError())
        valuesBefore = RegistryValuesBefore(hAppKey, groups);
    CProgressLine progress("Copy from registry", valuesBefore.empty() ? 0 : valuesBefore.back(),
                           stderr, !valuesBefore.empty());
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
            RegCloseKey(hGroup);
            continue;
        }

        RegistryValueReader reader(hGroup, kNameBuffer, kDataBuffer);
        RegistryValue value;
        for (DWORD index = 0;; ++index) {
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
            const char* name = value.name.c_str();
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
                std::replace(text.begin(), text.end(), '\n', '|');
                bOk = WriteProfileString(group, name, text.c_str());
                if (bOk && cut) {
                    printf("Kept [%s] %s in the registry: its text holds a NUL\n",
                           group.GetString(), name);
                    keepForLoss = true;
                } else if (bOk && text.find('\r') != std::string::npos) {
                    // A carriage return ends the line when the file is read back.
                    printf("Kept [%s] %s in the registry: its text holds a carriage return\n",
                           group.GetString(), name);
                    keepForLoss = true;
                }
            } else {
                DWORD number = 0;
                memcpy(&number, value.data.data(), std::min<size_t>(value.data.size(), 4));
                bOk = WriteProfileInt(group, name, static_cast<int>(number));
                if (bOk && value.data.size() != 4) {
                    printf("Kept [%s] %s in the registry: a number of %lu bytes\n",
                           group.GetString(), name, static_cast<unsigned long>(value.data.size()));
                    keepForLoss = true;
                }
            }
            if (!bOk) {
                printf("Error writing [%s] %s\n", group.GetString(), name);
                ++m_nFailures;
                bWritten = FALSE;
                continue;
            }
            if (value.name.size() >= kNameBuffer)
                printf("Copied [%s] %s in full: a name of %lu characters\n", group.GetString(),
                       name, static_cast<unsigned long>(value.name.size()));
            else if (value.data.size() > kDataBuffer)
                printf("Copied [%s] %s in full: %lu bytes of data\n", group.GetString(), name,
                       static_cast<unsigned long>(value.data.size()));
        }
        RegCloseKey(hGroup);

        if (!bWritten || keepForLoss)
            continue;
        if (IsKeptGroup(group) && !m_bRemoveSource)
            continue;
        // Nothing leaves the registry unless its backup is on disk.
        if (!EnsureRegistryBackup())
            continue;
        RegDeleteKeyA(hAppKey, group);
    }
}
