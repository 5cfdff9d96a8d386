// What differs between the builds when a run meets its user: typed paths, the
// checks before the first write, the registry file.
#include "common/TestSupport.h"
#include "platform/RunEnvironment.h"
#include "platform/winapi.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

using testing_support::IsWindowsBuild;

TEST(RunEnvironment, ALeadingTildeIsTheHomeFolderOnLinuxOnly) {
    const std::string home = IsWindowsBuild() ? "" : std::getenv("HOME");
    const struct {
        const char* typed;
        std::string linux; // Windows keeps every path as typed
    } cases[] = {
        {"~", home},
        {"~/corvane-data", home + "/corvane-data"},
        {"~\\corvane-data", home + "\\corvane-data"},
        {"~user/data", "~user/data"},
        {"data/~", "data/~"},
        {"", ""},
        {"C:\\Data", "C:\\Data"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        EXPECT_EQ(runenv::ExpandTypedPath(c.typed), IsWindowsBuild() ? c.typed : c.linux);
    }
}

TEST(RunEnvironment, TheBuildsSeparatorAndPathLimit) {
    EXPECT_EQ(std::string(runenv::BuildKind()), IsWindowsBuild() ? "Windows" : "Linux");
    EXPECT_EQ(runenv::PathSeparator(), IsWindowsBuild() ? '\\' : '/');
    EXPECT_EQ(runenv::LongestPath(), IsWindowsBuild() ? 259u : 4095u);
}

TEST(RunEnvironment, ProbesFindWhatCannotBeWritten) {
    testing_support::ScratchDir scratch;
    std::string folder = scratch.path().string();
    std::string plain = scratch.file("plain.ini");
    std::string readOnly = scratch.file("read-only.ini");
    std::string subFolder = scratch.file("a-folder");
    testing_support::WriteFileBytes(plain, "x");
    testing_support::WriteFileBytes(readOnly, "x");
    std::filesystem::permissions(readOnly, std::filesystem::perms::owner_read |
                                               std::filesystem::perms::group_read |
                                               std::filesystem::perms::others_read);
    std::filesystem::create_directory(subFolder);

    EXPECT_EQ(runenv::ProbeFolderWritable(folder), "");
    EXPECT_NE(runenv::ProbeFolderWritable(scratch.file("missing")), "");
    EXPECT_NE(runenv::ProbeFolderWritable(plain), "") << "a file is no folder";
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 3)
        << "the probe file is gone";

    EXPECT_EQ(runenv::ProbeFileReplaceable(scratch.file("missing.ini")), "");
    EXPECT_EQ(runenv::ProbeFileReplaceable(plain), "");
    EXPECT_NE(runenv::ProbeFileReplaceable(readOnly), "");
    EXPECT_NE(runenv::ProbeFileReplaceable(subFolder), "");
    std::filesystem::permissions(readOnly, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
}

TEST(RunEnvironment, SystemErrorTextsNameTheCause) {
    for (unsigned long error : {ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_DISK_FULL}) {
        std::string text = runenv::SystemErrorText(error);
        EXPECT_FALSE(text.empty());
        EXPECT_NE(text.back(), '\n');
        EXPECT_EQ(text.find("system error"), std::string::npos) << text;
    }
}

} // namespace
