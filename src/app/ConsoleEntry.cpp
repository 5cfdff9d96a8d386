#include "app/ConsoleEntry.h"

#include "app/CorvaneApp.h"

#include <cstring>

namespace corvane {

namespace {

using RunStop = CCorvaneApp::RunStop;

// How each way a run can stop ends the process: its exit code, and how its
// message reaches standard error.
enum class StopReport { none, afterName, asIs };
struct StopRule {
    RunStop stop;
    ExitCode exitCode;
    StopReport report;
};
constexpr StopRule kStopRules[] = {
    {RunStop::none, exitDone, StopReport::none},
    {RunStop::helpShown, exitDone, StopReport::none},
    {RunStop::previewShown, exitDone, StopReport::none},
    {RunStop::versionShown, exitDone, StopReport::none},
    {RunStop::nothingToConvert, exitDone, StopReport::none},
    {RunStop::usageError, exitUsage, StopReport::afterName},
    {RunStop::dataFolderFailed, exitStopped, StopReport::afterName},
    {RunStop::badAppName, exitInitApplication, StopReport::afterName},
    {RunStop::busy, exitBusy, StopReport::afterName},
    {RunStop::registryUnreadable, exitStopped, StopReport::afterName},
    // The journal's own path leads its line, as every check of journals says it.
    {RunStop::foreignJournal, exitStopped, StopReport::asIs},
};

const StopRule& RuleFor(RunStop stop) {
    for (const StopRule& rule : kStopRules)
        if (rule.stop == stop)
            return rule;
    return kStopRules[0];
}

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
        if (m_app != &theApp || theApp.m_runStop != RunStop::none)
            return true;
        return RegFlushKey(HKEY_CURRENT_USER) == ERROR_SUCCESS;
    }
    int Failures() const { return m_app == &theApp ? theApp.m_nFailures : 0; }
    const char* StopMessage() const {
        return Rule().report == StopReport::none ? nullptr : theApp.m_strStopMessage.GetString();
    }
    bool StopMessageAfterName() const { return Rule().report == StopReport::afterName; }
    int StopExitCode() const { return Rule().exitCode; }

  private:
    const StopRule& Rule() const {
        return RuleFor(m_app == &theApp ? theApp.m_runStop : RunStop::none);
    }

    CWinApp* m_app;
};

} // namespace

void PrintErrorLines(FILE* errors, const char* text, bool afterName) {
    const char* line = text;
    for (;;) {
        const char* end = strchr(line, '\n');
        int length = end ? static_cast<int>(end - line) : static_cast<int>(strlen(line));
        fprintf(errors, "%s%.*s\n", afterName ? "corvane-migrate: " : "", length, line);
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

} // namespace corvane
