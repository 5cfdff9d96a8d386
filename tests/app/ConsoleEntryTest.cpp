// Exit codes of the console entry and the order in which it runs the
// application object.
#include "app/ConsoleEntry.h"
#include "common/TestSupport.h"

#include <gtest/gtest.h>

#include <string>

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
};

struct EntryCase {
    const char* what;
    bool frameworkReady;
    bool initApplication;
    bool initInstance;
    const char* stop;
    int exitCode;
    const char* calls;
    const char* errors;
};

TEST(ConsoleEntry, ExitCodesAndCallOrder) {
    const EntryCase cases[] = {
        {"a complete run", true, true, true, nullptr, 0, "AIX", ""},
        {"framework start-up failed, the run goes on", false, true, true, nullptr, 1, "AIX",
         "Fatal Error: MFC initialization failed\n"},
        {"InitApplication failed", true, false, true, nullptr, 2, "A", ""},
        {"both start-ups failed", false, false, true, nullptr, 2, "A",
         "Fatal Error: MFC initialization failed\n"},
        {"COM not initialised: no ExitInstance", true, true, false, nullptr, 3, "AI", ""},
        {"the run stopped before changing anything", true, true, true, "no data folder", 4, "AIX",
         "corvane-migrate: no data folder\n"},
    };
    testing_support::ScratchDir scratch;
    for (const EntryCase& c : cases) {
        SCOPED_TRACE(c.what);
        FakeApp app;
        app.initApplication = c.initApplication;
        app.initInstance = c.initInstance;
        app.stop = c.stop;
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
