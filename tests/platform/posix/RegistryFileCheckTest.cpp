// The registry file of the Linux build, checked before a run reads or writes it.
#include "common/TestSupport.h"
#include "platform/RunEnvironment.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

TEST(RegistryFileCheck, AMissingFileOrAFileThatCannotBeSavedIsFound) {
    testing_support::ScratchDir scratch;
    std::string present = scratch.file("present.reg");
    std::string readOnly = scratch.file("read-only.reg");
    testing_support::WriteFileBytes(present, "REGEDIT4\r\n");
    testing_support::WriteFileBytes(readOnly, "REGEDIT4\r\n");
    std::filesystem::permissions(readOnly, std::filesystem::perms::owner_read);
    const struct {
        const char* what;
        std::string path;
        bool missing;
        bool writable;
    } cases[] = {
        {"present", present, false, true},
        {"missing in a folder that exists", scratch.file("new.reg"), true, true},
        {"read-only", readOnly, false, false},
        {"its folder missing", scratch.file("gone") + "/HKCU.reg", true, false},
    };
    const char* saved = std::getenv("CORVANE_REGISTRY");
    std::string savedValue = saved ? saved : "";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(runenv::SelectRegistryFile(c.path));
        EXPECT_EQ(runenv::RegistryFileShown(), c.path);
        EXPECT_EQ(runenv::RegistryFileMissing(), c.missing);
        std::string reason = runenv::RegistryFileNotWritable();
        EXPECT_EQ(reason.empty(), c.writable) << reason;
    }
    if (saved)
        setenv("CORVANE_REGISTRY", savedValue.c_str(), 1);
    else
        unsetenv("CORVANE_REGISTRY");
    std::filesystem::permissions(readOnly, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
}

} // namespace
