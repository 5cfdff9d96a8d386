// The start of a run, before it reads the registry: the command line's errors,
// help and version, the registry file and its opening; then whether there is anything to convert.
#include "app/CorvaneApp.h"

#include "app/CommandLine.h"
#include "app/RunChecks.h"
#include "app/Version.h"
#include "platform/RunEnvironment.h"

namespace corvane {

bool CCorvaneApp::StopsBeforeReading(const CMyCommandLineInfo& commandLine) {
    if (!commandLine.m_strError.IsEmpty()) {
        m_runStop = RunStop::usageError;
        m_strStopMessage = commandLine.m_strError + "\n" + ShortUsageText();
        return true;
    }
    if (commandLine.m_bShowHelp || commandLine.m_bShowVersion) {
        // Help and version change nothing: no registry, no file.
        fputs(commandLine.m_bShowHelp ? UsageText() : VersionText().GetString(), stdout);
        m_runStop = commandLine.m_bShowHelp ? RunStop::helpShown : RunStop::versionShown;
        return true;
    }
    if (!commandLine.m_strRegistryFile.IsEmpty() &&
        !runenv::SelectRegistryFile(runenv::ExpandTypedPath(commandLine.m_strRegistryFile.str()))) {
        m_runStop = RunStop::usageError;
        m_strStopMessage = CString("/registry= names the registry file of the Linux program; this "
                                   "program converts the system's registry\n") +
                           ShortUsageText();
        return true;
    }
    if (runenv::RegistryFileMissing()) {
        m_runStop = RunStop::dataFolderFailed;
        m_strStopMessage.Format("no registry file %s (name it with /registry=<file> or "
                                "CORVANE_REGISTRY); nothing was changed",
                                runenv::RegistryFileShown().c_str());
        return true;
    }
    return StopsOnRegistryOpening(runenv::OpenRegistry());
}

bool CCorvaneApp::StopsOnRegistryOpening(const runenv::RegistryOpenResult& opened) {
    switch (opened.outcome) {
    case runenv::RegistryOpening::opened:
        return false;
    case runenv::RegistryOpening::busy:
        m_runStop = RunStop::busy;
        break;
    case runenv::RegistryOpening::unreadable:
        m_runStop = RunStop::registryUnreadable;
        break;
    case runenv::RegistryOpening::foreignJournal:
        m_runStop = RunStop::foreignJournal;
        break;
    }
    m_strStopMessage = opened.message.c_str();
    return true;
}

bool CCorvaneApp::StopsWithNothingToConvert() {
    switch (InspectApplicationKey(m_strAppKeyPath)) {
    case AppKeyState::missing:
        printf("No settings of %s in the registry; nothing to convert\n", m_pszAppName);
        break;
    case AppKeyState::converted:
        printf("Already converted: HKEY_CURRENT_USER\\%s holds only the data folder's record; "
               "nothing to convert\n",
               m_strAppKeyPath.GetString());
        break;
    case AppKeyState::toConvert:
        return false;
    }
    m_runStop = RunStop::nothingToConvert;
    return true;
}

} // namespace corvane
