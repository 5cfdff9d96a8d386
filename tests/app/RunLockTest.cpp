// One run per application key and per data folder: a named mutex per name,
// held until the process ends. Under Wine this is the Windows build's guard.
#include "app/RunLock.h"
#include "platform/winapi.h"

#include <gtest/gtest.h>

#include <string>

using namespace corvane;

namespace {

// A name no other test or run uses.
CString UniqueName(const char* what) {
    CString name;
    name.Format("test-%lu-%s", static_cast<unsigned long>(GetCurrentProcessId()), what);
    return name;
}

} // namespace

TEST(RunLock, OneSpellingOfAPathIsOneName) {
    const struct {
        const char* a;
        const char* b;
        bool same;
    } cases[] = {
        {"C:\\Data\\Corvane", "c:\\data\\CORVANE", true},
        {"C:\\Data\\Corvane", "C:/Data/Corvane", true},
        {"C:\\Data\\Corvane", "C:\\Data\\Corvane\\", true},
        {"C:\\Data\\Corvane", "C:\\Data\\Corvane2", false},
        {"C:\\Data\\Corvane", "D:\\Data\\Corvane", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " / " + c.b);
        EXPECT_EQ(RunLockName("Local", "folder", c.a) == RunLockName("Local", "folder", c.b),
                  c.same);
    }
    EXPECT_NE(RunLockName("Local", "key", "x"), RunLockName("Local", "folder", "x"));
    EXPECT_NE(RunLockName("Local", "key", "x"), RunLockName("Global", "key", "x"));
    // Mutex names hold no separator after their namespace.
    CString name = RunLockName("Global", "folder", "C:\\a\\b");
    EXPECT_EQ(name.Find('\\', 7), -1) << name.GetString();
}

TEST(RunLock, ASecondTakerOfANameIsRefusedUntilTheProcessEnds) {
    for (const char* scope : {"Local", "Global"}) {
        SCOPED_TRACE(scope);
        CString first = RunLockName(scope, "folder", UniqueName("first"));
        CString second = RunLockName(scope, "folder", UniqueName("second"));
        EXPECT_EQ(TakeRunLock(first), RunLockResult::taken);
        EXPECT_EQ(TakeRunLock(first), RunLockResult::busy);
        EXPECT_EQ(TakeRunLock(second), RunLockResult::taken);
        EXPECT_EQ(TakeRunLock(first), RunLockResult::busy);
    }
}
