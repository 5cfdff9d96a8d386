#include "autocorrect/CheckedWrite.h"
#include "autocorrect/InternalBank.h"
#include "autocorrect/SectionMove.h"
#include "app/CorvaneApp.h"

#include <cstdio>

namespace corvane {

namespace {

// The section of the internal bank at `program` (-1: "Load").
CString InternalBankSection(int program) {
    CString name;
    if (program < 0)
        name = "Load";
    else
        name.Format("Program %d", program);
    return name;
}

} // namespace

bool IsInternalBankSection(const CString& section, const CString& prefix) {
    for (int program = -1; program < kProgramCount; ++program)
        if (section.CompareNoCase(prefix + InternalBankSection(program)) == 0)
            return true;
    return false;
}

void CCorvaneApp::AutocorrectInternalBank() {
    printf("Autocorrect internal bank\n");
    CString pluginsPath = GetProfileString("Load", "VSTPluginsPath", "");
    if (!pluginsPath.IsEmpty()) {
        if (!WriteProfileString("Settings", "VSTPluginsPath", QuotedProfileValue(pluginsPath)))
            ReportWriteError("Settings", "VSTPluginsPath");
        else if (m_pszProfileName)
            m_account.NoteFile(m_pszProfileName);
    }

    SetPrivateProfile("");
    SectionMover mover(*this);
    for (int program = -1; program < kProgramCount; ++program) {
        CString target = InternalBankSection(program);
        mover.Copy(m_strSectionPrefix + target, target, m_bRemoveSource != FALSE);
    }
    mover.Finish();
}

} // namespace corvane
