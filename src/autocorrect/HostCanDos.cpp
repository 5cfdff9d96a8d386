#include "autocorrect/HostCanDos.h"
#include "autocorrect/ProfileLists.h"
#include "autocorrect/SectionMove.h"
#include "app/CorvaneApp.h"

#include <cstdio>

HostCanDoSection ClassifyHostCanDoSection(const char* section, CString& capability) {
    if (!section)
        return HostCanDoSection::Other;
    CString name(section);
    if (CString(name).Trim().CompareNoCase("HostCanDo") == 0)
        return HostCanDoSection::NoCapability;
    if (name.GetLength() <= kHostCanDoPrefixLength ||
        name.Left(kHostCanDoPrefixLength).CompareNoCase("HostCanDo ") != 0)
        return HostCanDoSection::Other;
    CString rest = name.Mid(kHostCanDoPrefixLength);
    if (CString(rest).Trim().IsEmpty())
        return HostCanDoSection::NoCapability;
    capability = rest;
    return HostCanDoSection::Capability;
}

void CCorvaneApp::AutocorrectHostCanDos() {
    printf("Autocorrect hostCanDos\n");
    CString target = GetDataPath("", "hostCanDos.ini");
    if (target.IsEmpty() || !m_pszProfileName)
        return; // no data folder: the sections stay where they are
    SetPrivateProfile(target);
    CString mainFile = m_pszProfileName;

    // Collect every name first: the moves change the section list.
    std::vector<CString> capabilities;
    for (const CString& section : ReadProfileSections(mainFile)) {
        CString capability;
        switch (ClassifyHostCanDoSection(section, capability)) {
        case HostCanDoSection::Capability:
            capabilities.push_back(capability);
            break;
        case HostCanDoSection::NoCapability:
            printf("Kept [%s] in the settings file: it names no capability\n", section.GetString());
            break;
        case HostCanDoSection::Other:
            break;
        }
    }
    // The source goes whatever "keep" says: the host reads capabilities only
    // from their own file.
    SectionMover mover(*this);
    for (const CString& capability : capabilities)
        mover.Copy("HostCanDo " + capability, capability, true);
    mover.Finish();
}
