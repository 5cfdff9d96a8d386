#include "autocorrect/HostCanDos.h"
#include "autocorrect/ProfileLists.h"
#include "autocorrect/SectionMove.h"
#include "app/CorvaneApp.h"

#include <cstdio>

namespace corvane {

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

CString HostCanDoTargetKey(const CString& capability) {
    CString key = capability;
    key.Trim();
    key.MakeLower();
    return key;
}

namespace {

// The index of the capability in `earlier` that lands in the same section of
// "hostCanDos.ini" as `capability`, or -1.
int FindSameTarget(const std::vector<CString>& earlier, const CString& capability) {
    CString key = HostCanDoTargetKey(capability);
    for (size_t i = 0; i < earlier.size(); ++i)
        if (HostCanDoTargetKey(earlier[i]) == key)
            return static_cast<int>(i);
    return -1;
}

} // namespace

void CCorvaneApp::AutocorrectHostCanDos() {
    printf("Autocorrect hostCanDos\n");
    CString target = GetDataPath("", "hostCanDos.ini");
    if (target.IsEmpty() || !m_pszProfileName)
        return; // no data folder: the sections stay where they are
    SetPrivateProfile(target);
    CString mainFile = m_pszProfileName;

    // Collect every name first: the moves change the section list.
    std::vector<CString> capabilities;
    std::vector<CString> sources;
    for (const CString& section : ReadProfileSections(mainFile)) {
        CString capability;
        switch (ClassifyHostCanDoSection(section, capability)) {
        case HostCanDoSection::Capability: {
            // Two sources of one target section would be merged there: the
            // later one stays where it is.
            int earlier = FindSameTarget(capabilities, capability);
            if (earlier >= 0) {
                printf("Kept [%s] in the settings file: it would merge with [%s] in "
                       "hostCanDos.ini\n",
                       section.GetString(), sources[static_cast<size_t>(earlier)].GetString());
                break;
            }
            capabilities.push_back(capability);
            sources.push_back(section);
            break;
        }
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
    for (size_t i = 0; i < capabilities.size(); ++i)
        mover.Copy(sources[i], capabilities[i], true);
    mover.Finish();
}

} // namespace corvane
