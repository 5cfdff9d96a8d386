// The run's copies of its files (Windows build): files written during a run
// stay as they were until the commit, reads see the run's writes, and
// copies of killed runs are never taken for results.
#include "common/TestSupport.h"
#include "ini/IniFile.h"
#include "platform/RunFiles.h"
#include "platform/windows/CommitRecord.h"
#include "platform/windows/ShadowFiles.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace corvane;

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

const char kRecordKey[] = "Software\\Brax\\CorvaneShadowTest.~commit";

TEST(CommitRecord, OnlyAWholeRecordReadsBack) {
    CommitRecord record;
    record.moves = {{"C:\\d\\a.ini.~pending", "C:\\d\\a.ini"},
                    {"C:\\p\\b.ini.~pending", "C:\\p\\b"}};
    record.followUp = {"delete-key\t'x", "set-value\t'k\t'n\t31\t00"};
    const std::string bytes = EncodeCommitRecord(record);
    CommitRecord back;
    ASSERT_TRUE(DecodeCommitRecord(bytes, back));
    EXPECT_EQ(back.moves.size(), 2u);
    EXPECT_EQ(back.moves[1].file, "C:\\p\\b");
    EXPECT_EQ(back.followUp, record.followUp);
    // Every shorter prefix that still ends an item reads as a (shorter) record
    // only where the count of moves allows it; a cut item never reads.
    for (size_t cut = 0; cut < bytes.size(); ++cut) {
        CommitRecord part;
        bool read = DecodeCommitRecord(bytes.substr(0, cut), part);
        if (cut == 0 || bytes[cut - 1] != '\0') {
            EXPECT_FALSE(read) << cut;
        } else if (read) {
            EXPECT_EQ(part.moves.size(), 2u) << cut;
        }
    }
    EXPECT_FALSE(DecodeCommitRecord(std::string("2\0"
                                                "0\0",
                                                4),
                                    back))
        << "another version";
    EXPECT_FALSE(DecodeCommitRecord(std::string("1\0"
                                                "x\0",
                                                4),
                                    back))
        << "no count";
}

// A run ended after its commit was recorded: some copies moved, some not.
// The next run moves the rest and gets the follow-up; without a record
// nothing is resumed.
TEST(ShadowFiles, ARecordedCommitIsFinishedByTheNextRun) {
    ScratchDir folder;
    RunGuard guard;
    const std::string moved = folder.file("Corvane.ini");
    const std::string waiting = folder.file("PlugIns.ini");
    WriteFileBytes(moved, "[New]\r\nk=1\r\n");
    WriteFileBytes(waiting, "[Old]\r\n");
    WriteFileBytes(waiting + ShadowFiles::kSuffix, "[New]\r\np=1\r\n");
    CommitRecord record;
    record.moves = {{moved + ShadowFiles::kSuffix, moved},
                    {waiting + ShadowFiles::kSuffix, waiting}};
    record.followUp = {"delete-key\t'Audio"};
    ASSERT_TRUE(WriteCommitRecord(kRecordKey, record));

    RunFollowUp followUp;
    ASSERT_EQ(ResumeRunFiles(kRecordKey, followUp), ResumeResult::resumed);
    EXPECT_EQ(followUp, record.followUp);
    EXPECT_EQ(ReadFileBytes(waiting), "[New]\r\np=1\r\n");
    EXPECT_EQ(ReadFileBytes(moved), "[New]\r\nk=1\r\n");
    EXPECT_FALSE(FileExists(waiting + ShadowFiles::kSuffix));
    // Resumed again before the follow-up was done: the same follow-up.
    ASSERT_EQ(ResumeRunFiles(kRecordKey, followUp), ResumeResult::resumed);
    EndRunFiles(kRecordKey);
    EXPECT_EQ(ResumeRunFiles(kRecordKey, followUp), ResumeResult::none);

    // A key without a whole record (never in force) goes, and nothing moves.
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, kRecordKey, &key), ERROR_SUCCESS);
    RegSetValueExA(key, "Commit", 0, REG_BINARY,
                   reinterpret_cast<const BYTE*>("1\0"
                                                 "9\0"),
                   4);
    RegCloseKey(key);
    WriteFileBytes(waiting + ShadowFiles::kSuffix, "[Stale]\r\n");
    EXPECT_EQ(ResumeRunFiles(kRecordKey, followUp), ResumeResult::none);
    EXPECT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, kRecordKey, &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(ReadFileBytes(waiting), "[New]\r\np=1\r\n");
}

// A whole run through the record: the follow-up is recorded before the first
// move and is there until the run says it is done; a run with nothing
// written and nothing to follow records nothing.
TEST(ShadowFiles, TheCommitRecordsItsFollowUpUntilTheRunEndsIt) {
    ScratchDir folder;
    RunGuard guard;
    const std::string file = folder.file("Corvane.ini");
    BeginRunFiles();
    ASSERT_TRUE(WritePrivateProfileStringA("A", "k", "1", file.c_str()));
    ASSERT_TRUE(CommitRunFiles(kRecordKey, {"delete-key\t'Audio"}));
    EXPECT_EQ(ReadFileBytes(file), "[A]\r\nk=1\r\n");
    CommitRecord record;
    ASSERT_TRUE(ReadCommitRecord(kRecordKey, record));
    ASSERT_EQ(record.moves.size(), 1u);
    EXPECT_EQ(record.followUp, RunFollowUp{"delete-key\t'Audio"});
    EndRunFiles(kRecordKey);
    EXPECT_FALSE(ReadCommitRecord(kRecordKey, record));

    BeginRunFiles();
    ASSERT_TRUE(CommitRunFiles(kRecordKey, {}));
    EXPECT_FALSE(ReadCommitRecord(kRecordKey, record));
}

} // namespace
