#include "app/ConsoleEntry.h"

#include "app/CorvaneApp.h"

namespace {

// The application object as the entry runs it.
class EntryApp {
  public:
    explicit EntryApp(CWinApp* app) : m_app(app) {}
    BOOL InitApplication() { return m_app && m_app->InitApplication(); }
    BOOL InitInstance() { return m_app->InitInstance(); }
    int ExitInstance() { return m_app->ExitInstance(); }
    const char* StopMessage() const {
        if (m_app == &theApp && theApp.m_runStop == CCorvaneApp::RunStop::dataFolderFailed)
            return theApp.m_strStopMessage.GetString();
        return nullptr;
    }

  private:
    CWinApp* m_app;
};

} // namespace

int RunConsoleEntry(int argc, char** argv, char** envp) {
    (void)argc;
    (void)argv;
    (void)envp;
    BOOL ready = AfxWinInit(GetModuleHandleA(nullptr), nullptr, GetCommandLineA(), 0);
    EntryApp app(AfxGetApp());
    return RunApplication(app, ready != FALSE, stderr);
}
