// The preview: what a run would do, read from the registry and the files as
// they are, with nothing written, created or asked.
#include "app/CorvaneApp.h"
#include "autocorrect/HostCanDos.h"
#include "autocorrect/InternalBank.h"
#include "autocorrect/ProfileLists.h"
#include "platform/RunEnvironment.h"

#include <cstring>

namespace corvane {

void CCorvaneApp::PrintGroupPreview(const CString& group, const KeyValueCounts& counts,
                                    bool removed) const {
    int total = 0;
    for (const auto& [type, count] : counts.byType)
        total += count;
    printf("[%s] to %s: %d of %d values", group.GetString(), GroupDestination(group).GetString(),
           counts.copied, total);
    if (!removed)
        printf("; the group stays in the registry");
    else if (total > counts.copied)
        printf("; %d only in the backup", total - counts.copied);
    printf("\n");
}

void CCorvaneApp::PredictAutocorrectFiles(const CString& mainFile) {
    // The sections the settings file would hold after the copy.
    std::vector<CString> sections = m_copiedGroups;
    for (const CString& section : ReadProfileSections(mainFile))
        if (!ReadProfileKeys(mainFile, section).empty())
            sections.push_back(section);

    bool bankSourcesGo = false;
    bool capabilitySourcesGo = false;
    for (const CString& section : sections) {
        CString capability;
        if (ClassifyHostCanDoSection(section, capability) == HostCanDoSection::Capability) {
            m_account.NoteFile(GetDataPath(nullptr, "hostCanDos.ini"));
            capabilitySourcesGo = true;
        } else if (IsInternalBankSection(section, m_strSectionPrefix)) {
            m_account.NoteFile(GetDataPath(nullptr, "#Intern" + m_strSectionPrefix + ".corvane"));
            bankSourcesGo = bankSourcesGo || m_bRemoveSource;
        }
    }
    // The settings file changes when the copy writes to it, when moved
    // sections leave it, or when the pre-bank step sets "Bank".
    bool bankAbsent =
        m_copiedGroups.empty() && ReadProfileValue(mainFile, m_strSettings, "Bank").IsEmpty();
    if (bankSourcesGo || capabilitySourcesGo || bankAbsent)
        m_account.NoteFile(mainFile);
}

void CCorvaneApp::Preview() {
    printf("Preview: nothing is written, created or deleted\n");
    CString how;
    bool recorded = false;
    m_strDataPath = PreviewDataPath(m_strGivenDataPath, how, recorded);
    printf("Data folder: %s (%s)\n", m_strDataPath.GetString(), how.GetString());
    CString mainFile = GetDataPath(nullptr, CString(m_pszAppName) + ".ini");
    if (!recorded) {
        // The run records its choice; that record changes the registry, so
        // the backup is taken first.
        // A program folder that takes no file is only a warning in the run:
        // the record is then not among the files written.
        CString programIni = ProgramIniPath();
        if (runenv::ProbeFileReplaceable(programIni.str()).empty())
            m_account.NoteFile(programIni);
        EnsureRegistryBackup();
        m_bPreviewRecordsDataPath = true;
    }

    HKEY hAppKey = nullptr;
    RegOpenKeyExA(HKEY_CURRENT_USER, m_strAppKeyPath, 0, KEY_READ, &hAppKey);
    {
        CProfileModeScope iniMode(*this, mainFile);
        AutocorrectPluginMenu();
        if (hAppKey) {
            CopyRegistryToIni(hAppKey);
            RegCloseKey(hAppKey);
        }
        PredictAutocorrectFiles(mainFile);
    }
    printf("The run would end with:\n");
    fputs(m_account.Format().c_str(), stdout);
}

} // namespace corvane
