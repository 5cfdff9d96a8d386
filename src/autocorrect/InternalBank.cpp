#include "autocorrect/SectionMove.h"
#include "app/CorvaneApp.h"

#include <cstdio>

namespace {

// The internal bank: the "Load" section, then "Program 0" to "Program 127".
constexpr int kProgramCount = 128;

} // namespace

void CCorvaneApp::AutocorrectInternalBank() {
    printf("Autocorrect internal bank\n");
    CString pluginsPath = GetProfileString("Load", "VSTPluginsPath", "");
    if (!pluginsPath.IsEmpty() && !WriteProfileString("Settings", "VSTPluginsPath", pluginsPath))
        ReportWriteError("Settings", "VSTPluginsPath");

    SetPrivateProfile("");
    SectionMover mover(*this);
    for (int program = -1; program < kProgramCount; ++program) {
        CString target;
        if (program < 0)
            target = "Load";
        else
            target.Format("Program %d", program);
        mover.Copy(m_strSectionPrefix + target, target, m_bRemoveSource != FALSE);
    }
    mover.Finish();
}
