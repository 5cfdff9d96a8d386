// The console entry of the program: start the framework, run the application
// object and turn the outcome into the process exit code.
#pragma once

#include <cstdio>

namespace corvane {

// The exit codes of the program, every one of them decided by the console entry
// (ConsoleEntry.cpp maps each way a run stops to one of them): 0 done (also:
// help, version, nothing to convert); 1 framework start-up failed (the run still
// went on); 2 InitApplication failed or the command line was not understood; 3
// COM could not be initialised; 4 the run stopped before changing anything (no
// data folder, the registry file missing or unreadable, a journal beside it not
// ours); 5 the run ended, but writes failed or the results could not be saved:
// what was not moved stays in its source (the registry or the settings file),
// nothing is lost; 6 another run on the same registry or data folder is under way.
enum ExitCode {
    exitDone = 0,
    exitFrameworkInit = 1,
    exitInitApplication = 2,
    exitUsage = 2,
    exitComInit = 3,
    exitStopped = 4,
    exitIncomplete = 5,
    exitBusy = 6
};

// The arguments are not used: the command line comes from GetCommandLineA.
int RunConsoleEntry(int argc, char** argv, char** envp);

// Each line of `text` on `errors`, after the program's name unless afterName is false.
void PrintErrorLines(FILE* errors, const char* text, bool afterName = true);

// The run of an application object once the framework has started: App has
// InitApplication, InitInstance, ExitInstance, StopMessage (null, or why the
// run stopped before it changed anything; one or more lines), StopExitCode
// (when App has it: the exit code for that stop, else 4), StopMessageAfterName
// (when App has it: false for a message printed as it is), SaveAll (writes
// everything the run changed to disk; false when that failed) and Failures (the
// failed writes the run reported). Messages go to `errors`.
template <class App> int RunApplication(App& app, bool frameworkReady, FILE* errors) {
    int exitCode = exitDone;
    if (!frameworkReady) {
        fputs("corvane-migrate: Fatal Error: MFC initialization failed\n", errors);
        fflush(errors);
        exitCode = exitFrameworkInit;
    }
    if (!app.InitApplication())
        return exitInitApplication;
    if (!app.InitInstance())
        return exitComInit;
    app.ExitInstance();
    // Saved here rather than at process exit, so that a failure shows in the
    // exit code.
    bool saved = app.SaveAll();
    fflush(stdout);
    if (const char* stop = app.StopMessage()) {
        bool afterName = true;
        if constexpr (requires { app.StopMessageAfterName(); })
            afterName = app.StopMessageAfterName();
        PrintErrorLines(errors, stop, afterName);
        if constexpr (requires { app.StopExitCode(); })
            return app.StopExitCode();
        return exitStopped;
    }
    if (!saved || app.Failures() > 0) {
        if (!saved)
            fputs("corvane-migrate: the results could not all be saved; the registry keeps "
                  "what was not saved\n",
                  errors);
        if (app.Failures() > 0)
            fprintf(errors,
                    "corvane-migrate: %d write(s) failed; what they would have moved stays "
                    "where it was\n",
                    app.Failures());
        fflush(errors);
        return exitIncomplete;
    }
    return exitCode;
}

} // namespace corvane
