// The run's copies of its files (Windows build): files written during a run
// stay as they were until the commit, reads see the run's writes, and
// copies of killed runs are never taken for results.
#include "common/TestSupport.h"
#include "ini/IniFile.h"
#include "platform/RunFiles.h"
#include "platform/windows/ShadowFiles.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using testing_support::FileExists;
using testing_support::ReadFileBytes;
using testing_support::ScratchDir;
using testing_support::WriteFileBytes;

std::string Value(const std::string& file, const char* section, const char* key) {
    char buffer[256];
    GetPrivateProfileStringA(section, key, "(none)", buffer, sizeof buffer, file.c_str());
    return buffer;
}

// Ends a run a test left open, so that later tests write straight to files.
struct RunGuard {
    ~RunGuard() {
        if (RunShadowFiles().Active())
            CommitRunFiles();
    }
};

TEST(ShadowFiles, AFileChangesOnlyAtTheCommitAndReadsSeeTheRunsWrites) {
    struct Case {
        const char* what;
        const char* before; // null: no file
        const char* after;
    };
    const Case cases[] = {
        {"new file", nullptr, "[Audio]\r\nDevice=X\r\n"},
        {"existing file", "[Old]\r\nk=1\r\n", "[Old]\r\nk=1\r\n[Audio]\r\nDevice=X\r\n"},
        {"leftover copy of a killed run", "[Old]\r\nk=1\r\n",
         "[Old]\r\nk=1\r\n[Audio]\r\nDevice=X\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScratchDir folder;
        RunGuard guard;
        const std::string file = folder.file("Corvane.ini");
        const std::string copy = file + ShadowFiles::kSuffix;
        if (c.before)
            WriteFileBytes(file, c.before);
        if (std::string(c.what).find("leftover") != std::string::npos)
            WriteFileBytes(copy, "[Audio]\r\nDevice=stale\r\n[Junk]\r\nj=1\r\n");

        BeginRunFiles();
        ASSERT_TRUE(WritePrivateProfileStringA("Audio", "Device", "X", file.c_str()));
        EXPECT_EQ(Value(file, "Audio", "Device"), "X");
        EXPECT_EQ(Value(file, "Junk", "j"), "(none)");
        EXPECT_EQ(FileExists(file), c.before != nullptr);
        if (c.before) {
            EXPECT_EQ(ReadFileBytes(file), c.before);
        }

        ASSERT_TRUE(CommitRunFiles());
        EXPECT_EQ(ReadFileBytes(file), c.after);
        EXPECT_FALSE(FileExists(copy));
        EXPECT_FALSE(RunShadowFiles().Active());
    }
}

TEST(ShadowFiles, OneCopyPerFileHoweverItIsNamed) {
    ScratchDir folder;
    RunGuard guard;
    const std::string file = folder.file("Corvane.ini");
    std::string shouted = file;
    shouted.replace(shouted.size() - 11, 11, "CORVANE.INI");
    std::string slashed = file;
    for (char& ch : slashed)
        if (ch == '\\')
            ch = '/';

    BeginRunFiles();
    EXPECT_TRUE(WritePrivateProfileStringA("A", "one", "1", file.c_str()));
    EXPECT_TRUE(WritePrivateProfileStringA("A", "two", "2", shouted.c_str()));
    EXPECT_TRUE(WritePrivateProfileStringA("A", "three", "3", slashed.c_str()));
    EXPECT_EQ(RunShadowFiles().Files().size(), 1u);
    ASSERT_TRUE(CommitRunFiles());
    EXPECT_EQ(ReadFileBytes(file), "[A]\r\none=1\r\ntwo=2\r\nthree=3\r\n");
}

TEST(ShadowFiles, WholeFileSavesAreKeptApartButNewFilesAreNot) {
    ScratchDir folder;
    RunGuard guard;
    const std::string plugins = folder.file("PlugIns.ini");
    const std::string backup = folder.file("backup.reg");
    WriteFileBytes(plugins, "[Old]\r\nk=1\r\n");
    WriteFileBytes(folder.file("backup.tmp"), "backup");

    BeginRunFiles();
    // The INI model saves through a temporary file moved over the target.
    CIniFile ini;
    ini.Load(plugins.c_str());
    ini.SetValue("PlugIns", "0:Synth", "S.dll", true);
    ASSERT_TRUE(ini.Save(nullptr));
    EXPECT_EQ(ReadFileBytes(plugins), "[Old]\r\nk=1\r\n");
    // A move that may not replace anything (a new backup) lands at once.
    ASSERT_TRUE(
        MoveFileExA(folder.file("backup.tmp").c_str(), backup.c_str(), MOVEFILE_WRITE_THROUGH));
    EXPECT_EQ(ReadFileBytes(backup), "backup");

    ASSERT_TRUE(CommitRunFiles());
    EXPECT_EQ(ReadFileBytes(plugins), "[Old]\r\nk=1\r\n[PlugIns]\r\n0:Synth=S.dll\r\n");
}

TEST(ShadowFiles, TheCommitRemovesLeftoversAndRefusedWritesLeaveNoTrace) {
    ScratchDir folder;
    RunGuard guard;
    const std::string written = folder.file("Corvane.ini");
    const std::string leftover = folder.file("hostCanDos.ini") + ShadowFiles::kSuffix;
    const std::string readOnly = folder.file("locked.ini");
    const std::string missing = folder.file("missing.ini");
    WriteFileBytes(leftover, "[HostCanDo]\r\nstale=1\r\n");
    WriteFileBytes(readOnly, "[A]\r\nk=1\r\n");
    SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_READONLY);

    BeginRunFiles();
    EXPECT_TRUE(WritePrivateProfileStringA("A", "k", "1", written.c_str()));
    EXPECT_FALSE(WritePrivateProfileStringA("A", "k", "2", readOnly.c_str()));
    // Deleting from a file that does not exist makes no file.
    WritePrivateProfileStringA("A", "k", nullptr, missing.c_str());
    ASSERT_TRUE(CommitRunFiles());

    EXPECT_FALSE(FileExists(leftover));
    EXPECT_FALSE(FileExists(missing));
    EXPECT_FALSE(FileExists(readOnly + ShadowFiles::kSuffix));
    EXPECT_EQ(ReadFileBytes(readOnly), "[A]\r\nk=1\r\n");
    SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(ShadowFiles, OutsideARunWritesGoStraightToTheFile) {
    ScratchDir folder;
    const std::string file = folder.file("plain.ini");
    ASSERT_FALSE(RunShadowFiles().Active());
    EXPECT_TRUE(WritePrivateProfileStringA("A", "k", "1", file.c_str()));
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, file.c_str());
    EXPECT_EQ(ReadFileBytes(file), "[A]\r\nk=1\r\n");
    EXPECT_FALSE(FileExists(file + ShadowFiles::kSuffix));
}

} // namespace
