// The console entry of the program: start the framework, run the application
// object and turn the outcome into the process exit code.
#pragma once

#include <cstdio>

// Exit codes: 0 done; 1 framework start-up failed (the run still went on);
// 2 InitApplication failed; 3 COM could not be initialised; 4 the run stopped
// before changing anything (data folder not created; the platform layer also
// exits with 4 when the registry store cannot be read).
enum ExitCode {
    exitDone = 0,
    exitFrameworkInit = 1,
    exitInitApplication = 2,
    exitComInit = 3,
    exitStopped = 4
};

// The arguments are not used: the command line comes from GetCommandLineA.
int RunConsoleEntry(int argc, char** argv, char** envp);

// The run of an application object once the framework has started: App has
// InitApplication, InitInstance, ExitInstance and StopMessage (null, or why the
// run stopped before it changed anything). Messages go to `errors`.
template <class App> int RunApplication(App& app, bool frameworkReady, FILE* errors) {
    int exitCode = exitDone;
    if (!frameworkReady) {
        fputs("Fatal Error: MFC initialization failed\n", errors);
        fflush(errors);
        exitCode = exitFrameworkInit;
    }
    if (!app.InitApplication())
        return exitInitApplication;
    if (!app.InitInstance())
        return exitComInit;
    app.ExitInstance();
    fflush(stdout);
    if (const char* stop = app.StopMessage()) {
        fprintf(errors, "corvane-migrate: %s\n", stop);
        fflush(errors);
        return exitStopped;
    }
    return exitCode;
}
