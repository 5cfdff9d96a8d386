// Console entry: initialise the framework, run the application object, return
// the exit code.
#include "app/ConsoleEntry.h"

int main(int argc, char** argv, char** envp) {
    return corvane::RunConsoleEntry(argc, argv, envp);
}
