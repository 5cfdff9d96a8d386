// One run at a time on a registry store: the mark a run keeps on its store,
// what a second run sees, and that the mark goes with the process.
#include "common/TestSupport.h"
#include "platform/posix/RunGuard.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

using posix::RunGuardResult;
using posix::TakeRunGuard;
using testing_support::ScratchDir;

namespace {

// Takes the mark in a child process that ends at once; the child's exit code
// is the result's number.
int TakeInChildAndEnd(const std::string& store) {
    pid_t child = fork();
    if (child == 0)
        _exit(static_cast<int>(TakeRunGuard(store)));
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

// A mark is never released inside this process (it lives until the process
// ends), so every case uses store names of its own.
TEST(RunGuard, ASecondRunOnTheSameStoreIsRefusedOthersAreNot) {
    ScratchDir dir;
    ScratchDir other;
    std::string store = dir.file("HKCU.reg");
    ASSERT_EQ(TakeRunGuard(store), RunGuardResult::Held);
    // The mark is on the store's name, not on a file: none is made.
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));

    struct Case {
        std::string what;
        std::string path;
        RunGuardResult expected;
    };
    const Case cases[] = {
        {"the same store", store, RunGuardResult::Busy},
        {"the same store named with a dot", dir.file(".") + "/HKCU.reg", RunGuardResult::Busy},
        {"another store in the same folder", dir.file("Other.reg"), RunGuardResult::Held},
        {"a store of the same name elsewhere", other.file("HKCU.reg"), RunGuardResult::Held},
        {"a store in a missing folder", dir.file("missing") + "/HKCU.reg",
         RunGuardResult::Unavailable},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(TakeRunGuard(c.path), c.expected);
    }
}

TEST(RunGuard, TheMarkGoesWithTheProcessThatHeldIt) {
    ScratchDir dir;
    std::string store = dir.file("HKCU.reg");
    // A run that ended (or was killed) leaves nothing that blocks the next.
    EXPECT_EQ(TakeInChildAndEnd(store), static_cast<int>(RunGuardResult::Held));
    EXPECT_EQ(TakeInChildAndEnd(store), static_cast<int>(RunGuardResult::Held));
    EXPECT_EQ(TakeRunGuard(store), RunGuardResult::Held);
    // Now this process holds it: a child run is refused.
    EXPECT_EQ(TakeInChildAndEnd(store), static_cast<int>(RunGuardResult::Busy));
}

// The store file itself carries a mark too: a link to it, symbolic or hard,
// in another folder and under another name, leads to the same store.
TEST(RunGuard, ASecondPathToTheStoreIsTheSameStore) {
    ScratchDir dir;
    ScratchDir other;
    std::string store = dir.file("HKCU.reg");
    testing_support::WriteFileBytes(store, "REGEDIT4\r\n");
    std::string symbolic = other.file("symbolic.reg");
    std::string hard = other.file("hard.reg");
    std::filesystem::create_symlink(store, symbolic);
    std::filesystem::create_hard_link(store, hard);
    ASSERT_EQ(TakeRunGuard(store), RunGuardResult::Held);
    EXPECT_EQ(TakeRunGuard(symbolic), RunGuardResult::Busy);
    EXPECT_EQ(TakeRunGuard(hard), RunGuardResult::Busy);
    EXPECT_EQ(TakeInChildAndEnd(hard), static_cast<int>(RunGuardResult::Busy));
}
