// Exit codes of the console entry and the order in which it runs the
// application object.
#include "app/ConsoleEntry.h"
#include "common/TestSupport.h"

#include <gtest/gtest.h>

#include <string>

using namespace corvane;

namespace {

// An application object that records the calls made on it.
struct FakeApp {
    bool initApplication = true;
    bool initInstance = true;
    const char* stop = nullptr;
    std::string calls;

    bool InitApplication() {
        calls += "A";
        return initApplication;
    }
    bool InitInstance() {
        calls += "I";
        return initInstance;
    }
    int ExitInstance() {
        calls += "X";
        return 7; // not the exit code
    }
    const char* StopMessage() const { return stop; }
    bool StopMessageAfterName() const { return stopAfterName; }
    int StopExitCode() const { return stopCode; }
    bool SaveAll() {
        calls += "S";
        return saves;
    }
    int Failures() const { return failures; }

    bool saves = true;
    int failures = 0;
    int stopCode = 4;
    bool stopAfterName = true;
};

struct EntryCase {
    const char* what;
    bool frameworkReady;
    bool initApplication;
    bool initInstance;
    const char* stop;
    bool saves;
    int failures;
    int exitCode;
    const char* calls;
    const char* errors;
    int stopCode = 4;
    bool stopAfterName = true;
};

TEST(ConsoleEntry, ExitCodesAndCallOrder) {
    const char* unsaved = "corvane-migrate: the results could not all be saved; the registry keeps "
                          "what was not saved\n";
    const std::string both =
        std::string("corvane-migrate: Fatal Error: MFC initialization failed\n") + unsaved +
        "corvane-migrate: 1 write(s) failed; what they would have moved stays where it was\n";
    const EntryCase cases[] = {
        {"a complete run", true, true, true, nullptr, true, 0, 0, "AIXS", ""},
        {"framework start-up failed, the run goes on", false, true, true, nullptr, true, 0, 1,
         "AIXS", "corvane-migrate: Fatal Error: MFC initialization failed\n"},
        {"InitApplication failed", true, false, true, nullptr, true, 0, 2, "A", ""},
        {"both start-ups failed", false, false, true, nullptr, true, 0, 2, "A",
         "corvane-migrate: Fatal Error: MFC initialization failed\n"},
        {"COM not initialised: no ExitInstance", true, true, false, nullptr, true, 0, 3, "AI", ""},
        {"the run stopped before changing anything", true, true, true, "no data folder", true, 0, 4,
         "AIXS", "corvane-migrate: no data folder\n"},
        {"a stop of several lines: each after the program's name", true, true, true,
         "unknown flag\nusage: x", true, 0, 4, "AIXS",
         "corvane-migrate: unknown flag\ncorvane-migrate: usage: x\n"},
        {"a stop with its own exit code, its line as it is", true, true, true, "x.commit: not ours",
         true, 0, 6, "AIXS", "x.commit: not ours\n", 6, false},
        {"the results could not be saved", true, true, true, nullptr, false, 0, 5, "AIXS", unsaved},
        {"writes failed during the run", true, true, true, nullptr, true, 2, 5, "AIXS",
         "corvane-migrate: 2 write(s) failed; what they would have moved stays where it was\n"},
        {"both, after a framework failure", false, true, true, nullptr, false, 1, 5, "AIXS",
         both.c_str()},
    };
    testing_support::ScratchDir scratch;
    for (const EntryCase& c : cases) {
        SCOPED_TRACE(c.what);
        FakeApp app;
        app.initApplication = c.initApplication;
        app.initInstance = c.initInstance;
        app.stop = c.stop;
        app.saves = c.saves;
        app.failures = c.failures;
        app.stopCode = c.stopCode;
        app.stopAfterName = c.stopAfterName;
        std::string errorsFile = scratch.file("errors.txt");
        FILE* errors = fopen(errorsFile.c_str(), "wb");
        ASSERT_NE(errors, nullptr);
        int code = RunApplication(app, c.frameworkReady, errors);
        fclose(errors);
        EXPECT_EQ(code, c.exitCode);
        EXPECT_EQ(app.calls, c.calls);
        EXPECT_EQ(testing_support::ReadFileBytes(errorsFile), c.errors);
    }
}

} // namespace
