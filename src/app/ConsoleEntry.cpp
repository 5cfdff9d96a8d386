#include "app/ConsoleEntry.h"

#include "app/CorvaneApp.h"

#include <cstring>

namespace {

// The application object as the entry runs it.
class EntryApp {
  public:
    explicit EntryApp(CWinApp* app) : m_app(app) {}
    BOOL InitApplication() { return m_app && m_app->InitApplication(); }
    BOOL InitInstance() { return m_app->InitInstance(); }
    int ExitInstance() { return m_app->ExitInstance(); }
    // The help run and a preview touch nothing, a stopped run changed
    // nothing: only a conversion has something to save.
    bool SaveAll() {
        if (m_app != &theApp || theApp.m_runStop != CCorvaneApp::RunStop::none)
            return true;
        return RegFlushKey(HKEY_CURRENT_USER) == ERROR_SUCCESS;
    }
    int Failures() const { return m_app == &theApp ? theApp.m_nFailures : 0; }
    const char* StopMessage() const {
        if (m_app == &theApp && (theApp.m_runStop == CCorvaneApp::RunStop::dataFolderFailed ||
                                 theApp.m_runStop == CCorvaneApp::RunStop::usageError ||
                                 theApp.m_runStop == CCorvaneApp::RunStop::badAppName ||
                                 theApp.m_runStop == CCorvaneApp::RunStop::busy))
            return theApp.m_strStopMessage.GetString();
        return nullptr;
    }
    int StopExitCode() const {
        if (m_app == &theApp && theApp.m_runStop == CCorvaneApp::RunStop::usageError)
            return exitUsage;
        if (m_app == &theApp && theApp.m_runStop == CCorvaneApp::RunStop::badAppName)
            return exitInitApplication;
        if (m_app == &theApp && theApp.m_runStop == CCorvaneApp::RunStop::busy)
            return exitBusy;
        return exitStopped;
    }

  private:
    CWinApp* m_app;
};

} // namespace

void PrintErrorLines(FILE* errors, const char* text) {
    const char* line = text;
    for (;;) {
        const char* end = strchr(line, '\n');
        int length = end ? static_cast<int>(end - line) : static_cast<int>(strlen(line));
        fprintf(errors, "corvane-migrate: %.*s\n", length, line);
        if (!end)
            break;
        line = end + 1;
    }
    fflush(errors);
}

int RunConsoleEntry(int argc, char** argv, char** envp) {
    (void)argc;
    (void)argv;
    (void)envp;
    BOOL ready = AfxWinInit(GetModuleHandleA(nullptr), nullptr, GetCommandLineA(), 0);
    EntryApp app(AfxGetApp());
    return RunApplication(app, ready != FALSE, stderr);
}
