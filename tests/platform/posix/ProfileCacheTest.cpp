// The Linux cache behind the private-profile functions: files changed on disk,
// saving, failures, and what the Windows build cannot show.
#include "platform/ProfileTestSupport.h"

#include "platform/posix/FlushAtExit.h"

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <set>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace profile_test;
using testing_support::FileExists;
using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

namespace {

struct stat StatOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(0, stat(path.c_str(), &st)) << path;
    return st;
}

// Puts the file's change time back, as if a rewrite had happened within the
// same tick of the file system's clock.
void SetModified(const std::string& path, const timespec& when) {
    timespec times[2] = {when, when};
    ASSERT_EQ(0, utimensat(AT_FDCWD, path.c_str(), times, 0));
}

std::set<std::string> FolderListing(const std::filesystem::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

TEST(ProfileCache, ChangesOnDiskAreNoticedAtTheNextCall) {
    ProfileFolder folder;
    std::string file = folder.FileWith("outside.ini", "[A]\r\nk=1\r\n");
    EXPECT_EQ("1", Value("A", "k", file));

    WriteFileBytes(file, "[A]\r\nk=22\r\n"); // another size
    EXPECT_EQ("22", Value("A", "k", file));

    // Same size, same inode, same change time: only the bytes differ.
    timespec before = StatOf(file).st_mtim;
    WriteFileBytes(file, "[A]\r\nk=33\r\n");
    SetModified(file, before);
    EXPECT_EQ("33", Value("A", "k", file));

    // Replaced by another file of the same size and time.
    std::string other = folder.FileWith("other.tmp", "[A]\r\nk=44\r\n");
    SetModified(other, StatOf(file).st_mtim);
    ASSERT_EQ(0, rename(other.c_str(), file.c_str()));
    EXPECT_EQ("44", Value("A", "k", file));

    ASSERT_EQ(0, unlink(file.c_str()));
    EXPECT_EQ("(default)", Value("A", "k", file));
    WriteFileBytes(file, "[A]\r\nk=5\r\n");
    EXPECT_EQ("5", Value("A", "k", file));
}

TEST(ProfileCache, UnsavedChangesAreReadBeforeTheyAreSaved) {
    ProfileFolder folder;
    std::string file = folder.File("pending.ini");
    ASSERT_TRUE(WritePrivateProfileStringA("A", "k", "v", file.c_str()));
    // The first change makes the file, empty until it is saved.
    EXPECT_TRUE(FileExists(file));
    EXPECT_EQ("", ReadFileBytes(file));
    SetLastError(0xdead);
    EXPECT_EQ("v", Value("A", "k", file));
    EXPECT_EQ(0u, GetLastError());
    EXPECT_EQ("A\0"s, GetString(nullptr, nullptr, "", 100, file).text);
    EXPECT_EQ("[A]\r\nk=v\r\n", SavedBytes(file));
}

TEST(ProfileCache, SavingReplacesOnlyChangedFilesAndKeepsTheirMode) {
    ProfileFolder folder;
    std::string a = folder.FileWith("a.ini", "[A]\r\nk=1\r\n");
    std::string b = folder.File("b.ini");
    ASSERT_EQ(0, chmod(a.c_str(), 0640));
    ASSERT_TRUE(WritePrivateProfileStringA("A", "k", "2", a.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringA("B", "k", "1", b.c_str()));
    ino_t aBefore = StatOf(a).st_ino;
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, nullptr); // save all
    EXPECT_EQ("[A]\r\nk=2\r\n", ReadFileBytes(a));
    EXPECT_EQ("[B]\r\nk=1\r\n", ReadFileBytes(b));
    EXPECT_NE(aBefore, StatOf(a).st_ino) << "saved through a new file";
    EXPECT_EQ(0640u, StatOf(a).st_mode & 07777);

    struct stat bSaved = StatOf(b);
    ASSERT_TRUE(WritePrivateProfileStringA("A", "k", "3", a.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringA("B", "k", "1", b.c_str())); // no change
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ("[A]\r\nk=3\r\n", ReadFileBytes(a));
    EXPECT_EQ(bSaved.st_ino, StatOf(b).st_ino);
    EXPECT_EQ(bSaved.st_mtim.tv_nsec, StatOf(b).st_mtim.tv_nsec);
    EXPECT_EQ((std::set<std::string>{"a.ini", "b.ini"}),
              FolderListing(std::filesystem::path(a).parent_path()))
        << "no temporary file left";
}

TEST(ProfileCache, SavingThroughASymbolicLinkKeepsTheLink) {
    ProfileFolder folder;
    std::string target = folder.FileWith("target.ini", "[A]\r\nk=1\r\n");
    std::string link = folder.File("link.ini");
    ASSERT_EQ(0, symlink(target.c_str(), link.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringA("A", "k", "2", link.c_str()));
    EXPECT_EQ("[A]\r\nk=2\r\n", SavedBytes(link));
    struct stat st {};
    ASSERT_EQ(0, lstat(link.c_str(), &st));
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ("[A]\r\nk=2\r\n", ReadFileBytes(target));
}

TEST(ProfileCache, AFailedSaveIsReportedAndFailsTheFlushAtExit) {
    ProfileFolder folder;
    std::string sub = folder.File("gone");
    ASSERT_TRUE(std::filesystem::create_directory(sub));
    std::string file = sub + "/x.ini";
    ASSERT_TRUE(WritePrivateProfileStringA("A", "k", "v", file.c_str()));
    std::filesystem::remove_all(sub);

    testing::internal::CaptureStderr();
    EXPECT_FALSE(posix::FlushAll());
    std::string report = testing::internal::GetCapturedStderr();
    EXPECT_NE(std::string::npos, report.find("could not save " + file)) << report;

    SetLastError(0);
    EXPECT_FALSE(WritePrivateProfileStringA(nullptr, nullptr, nullptr, file.c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), GetLastError());

    // The changes were never on disk: they wait for the folder to come back.
    ASSERT_TRUE(std::filesystem::create_directory(sub));
    EXPECT_EQ("v", Value("A", "k", file));
    testing::internal::CaptureStderr();
    EXPECT_TRUE(posix::FlushAll());
    testing::internal::GetCapturedStderr(); // the file it had made is gone: said
    EXPECT_EQ("[A]\r\nk=v\r\n", ReadFileBytes(file));
}

// Unsaved changes are never thrown away by a change on disk: the file is not
// looked at again until they are saved. Nor is the other program's change
// thrown away: the save refuses, and the save of every file stops with it.
TEST(ProfileCache, UnsavedChangesOutliveChangesOnDisk) {
    ProfileFolder folder;
    std::string file = folder.FileWith("race.ini", "[A]\r\nk=1\r\n");
    std::string bystander = folder.FileWith("bystander.ini", "[B]\r\nx=1\r\n");
    struct stat original;
    ASSERT_EQ(0, stat(file.c_str(), &original));
    ASSERT_TRUE(WritePrivateProfileStringA("B", "x", "2", bystander.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringA("A", "k", "mine", file.c_str()));
    WriteFileBytes(file, "[A]\r\nk=theirs\r\n");
    EXPECT_EQ("mine", Value("A", "k", file));
    ASSERT_TRUE(WritePrivateProfileStringA("A", "j", "also mine", file.c_str()));
    testing::internal::CaptureStderr();
    EXPECT_FALSE(posix::FlushAll());
    EXPECT_FALSE(WritePrivateProfileStringA(nullptr, nullptr, nullptr, file.c_str()));
    std::string report = testing::internal::GetCapturedStderr();
    EXPECT_NE(std::string::npos, report.find(file + " was changed by another program")) << report;
    EXPECT_EQ("[A]\r\nk=theirs\r\n", ReadFileBytes(file));
    EXPECT_EQ("[B]\r\nx=1\r\n", ReadFileBytes(bystander));

    // Once the version read is back (bytes and time), every change is saved.
    WriteFileBytes(file, "[A]\r\nk=1\r\n");
    const timespec times[2] = {original.st_atim, original.st_mtim};
    ASSERT_EQ(0, utimensat(AT_FDCWD, file.c_str(), times, 0));
    EXPECT_TRUE(posix::FlushAll());
    EXPECT_EQ("[A]\r\nk=mine\r\nj=also mine\r\n", ReadFileBytes(file));
    EXPECT_EQ("[B]\r\nx=2\r\n", ReadFileBytes(bystander));

    // Saved, the file is looked at again at every call.
    WriteFileBytes(file, "[A]\r\nk=theirs again\r\n");
    EXPECT_EQ("theirs again", Value("A", "k", file));

    // Removed, or a folder made in its place, while changes wait: they stay.
    ASSERT_TRUE(WritePrivateProfileStringA("A", "k", "mine again", file.c_str()));
    ASSERT_EQ(0, unlink(file.c_str()));
    ASSERT_TRUE(std::filesystem::create_directory(file));
    EXPECT_TRUE(WritePrivateProfileStringA("A", "n", "3", file.c_str()));
    EXPECT_EQ("mine again", Value("A", "k", file));
    testing::internal::CaptureStderr();
    EXPECT_FALSE(posix::FlushAll());
    report = testing::internal::GetCapturedStderr();
    EXPECT_NE(std::string::npos, report.find("could not save " + file)) << report;
    ASSERT_TRUE(std::filesystem::remove(file));
    testing::internal::CaptureStderr();
    EXPECT_EQ("[A]\r\nk=mine again\r\nn=3\r\n", SavedBytes(file));
    testing::internal::GetCapturedStderr();
}

TEST(ProfileCache, StringsOfAnyLengthRoundTrip) {
    // The Windows build's functions fail on strings of 32767 characters or
    // more (the value is lost or the call crashes); ours take any length.
    ProfileFolder folder;
    std::string file = folder.File("long.ini");
    std::string value(100000, 'v');
    value.back() = 'e';
    std::string name(40000, 'n');
    ASSERT_TRUE(
        WritePrivateProfileStringA(name.c_str(), name.c_str(), value.c_str(), file.c_str()));
    EXPECT_EQ(value, Value(name.c_str(), name.c_str(), file, "", 200000));
    EXPECT_EQ("[" + name + "]\r\n" + name + "=" + value + "\r\n", SavedBytes(file));
    std::string fallback(50000, 'd');
    EXPECT_EQ(fallback, Value("A", "missing", file, fallback.c_str(), 60000));
}

TEST(ProfileCache, NullArgumentsAreRefusedWithoutHarm) {
    ProfileFolder folder;
    std::string file = folder.FileWith("nulls.ini", "[A]\r\nk=1\r\n");
    // Under Wine a value without section or key crashes; here it is refused
    // like a key without a section.
    SetLastError(0);
    EXPECT_FALSE(WritePrivateProfileStringA(nullptr, nullptr, "v", file.c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
    // Windows would use win.ini, which does not exist here.
    SetLastError(0);
    EXPECT_FALSE(WritePrivateProfileStringA("A", "k", "v", nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    char buffer[16];
    EXPECT_EQ(3u, GetPrivateProfileStringA("A", "k", "def", buffer, sizeof buffer, nullptr));
    EXPECT_EQ(0u,
              GetPrivateProfileStringA(nullptr, nullptr, nullptr, buffer, sizeof buffer, nullptr));
    EXPECT_EQ(9u, GetPrivateProfileIntA("A", "k", 9, nullptr));
    EXPECT_EQ("[A]\r\nk=1\r\n", SavedBytes(file));
}

// A UTF-16 file reads and writes in the code page (1252 here); what the code
// page cannot hold reads as '?' and stays in the file as it was.
TEST(ProfileCache, Utf16FilesCarryCodePageText) {
    ProfileFolder folder;
    std::string file = folder.FileWith(
        "wide.ini", "\xff\xfe[\0A\0]\0\r\0\n\0k\0=\0\xe9\0\r\0\n\0j\0=\0\xe5\x65\r\0\n\0"s);
    EXPECT_EQ("\xe9", Value("A", "k", file));
    EXPECT_EQ("?", Value("A", "j", file));
    ASSERT_TRUE(WritePrivateProfileStringA("A", "euro", "\x80", file.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringA("A", "\xdf", "\x81", file.c_str()));
    EXPECT_EQ("\xff\xfe[\0A\0]\0\r\0\n\0k\0=\0\xe9\0\r\0\n\0j\0=\0\xe5\x65\r\0\n\0"
              "e\0u\0r\0o\0=\0\xac\x20\r\0\n\0\xdf\0=\0\x81\0\r\0\n\0"s,
              SavedBytes(file));
    EXPECT_EQ("\x81", Value("A", "\xdf", file));
    EXPECT_EQ("\x80", Value("A", "euro", file));
}

// Lone low surrogates stand for single bytes in the 8-bit text. Where those
// bytes would join into a character (DCC3 DCA9 would read as C3 A9, which is
// U+00E9), a save must still write the surrogates, not that character.
TEST(ProfileCache, LoneSurrogatesOfAUtf16FileSurviveASave) {
    ProfileFolder folder;
    const std::string head = "\xff\xfe[\0A\0]\0\r\0\n\0"s;
    struct Case {
        const char* what;
        std::string units; // the value's UTF-16LE code units
    };
    const Case cases[] = {
        {"two bytes of one character", "\xc3\xdc\xa9\xdc"s},
        {"three bytes of one character", "\xe2\xdc\x82\xdc\xac\xdc"s},
        {"four bytes of one character", "\xf0\xdc\x9f\xdc\x8e\xdc\xb5\xdc"s},
        {"a lead without its continuation", "\xc3\xdcx\0"s},
        {"a lead and a real character", "\xc3\xdc\xe9\0"s},
        {"a paired surrogate after a lone one", "\xc3\xdc\x3d\xd8\x00\xde"s},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string file = folder.FileWith("lone" + std::to_string(++n) + ".ini",
                                           head + "k\0=\0"s + c.units + "\r\0\n\0"s);
        ASSERT_TRUE(WritePrivateProfileStringA("A", "other", "1", file.c_str()));
        EXPECT_EQ(head + "k\0=\0"s + c.units + "\r\0\n\0o\0t\0h\0e\0r\0=\0001\0\r\0\n\0"s,
                  SavedBytes(file));
    }
}

TEST(ProfileCache, BackslashesAndRelativeNamesReachTheSameFile) {
    ProfileFolder folder;
    std::string base = folder.File("");
    ASSERT_TRUE(std::filesystem::create_directory(base + "sub"));
    char* previous = getcwd(nullptr, 0);
    ASSERT_EQ(0, chdir(base.c_str()));
    EXPECT_TRUE(WritePrivateProfileStringA("A", "k", "v", "sub\\x.ini"));
    EXPECT_EQ("v", Value("A", "k", "./sub/x.ini"));
    EXPECT_EQ("v", Value("A", "k", base + "sub/../sub//x.ini"));
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, "sub\\x.ini");
    ASSERT_EQ(0, chdir(previous));
    free(previous);
    EXPECT_EQ("[A]\r\nk=v\r\n", ReadFileBytes(base + "sub/x.ini"));
}

TEST(ProfileCache, ReadOnlyFilesRefuseChanges) {
    if (geteuid() == 0)
        GTEST_SKIP() << "permission bits do not stop the superuser";
    ProfileFolder folder;
    std::string file = folder.FileWith("locked.ini", "[A]\r\nk=1\r\n");
    ASSERT_EQ(0, chmod(file.c_str(), 0444));
    SetLastError(0);
    EXPECT_FALSE(WritePrivateProfileStringA("A", "k", "2", file.c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
    EXPECT_EQ("1", Value("A", "k", file));
}

TEST(ProfileCache, SavesInOneFolderTakeTurns) {
    ProfileFolder folder;
    std::string file = folder.File("turns.ini");
    ASSERT_TRUE(WritePrivateProfileStringA("A", "k", "v", file.c_str()));
    int held = open(std::filesystem::path(file).parent_path().c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(held, 0);
    ASSERT_EQ(0, flock(held, LOCK_EX));
    std::thread release([held] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        flock(held, LOCK_UN);
        close(held);
    });
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ("[A]\r\nk=v\r\n", SavedBytes(file));
    auto waited = std::chrono::steady_clock::now() - start;
    release.join();
    EXPECT_GE(waited, std::chrono::milliseconds(250));
}

TEST(ProfileCache, FiftyThousandWritesIntoOneFileAreQuick) {
    ProfileFolder folder;
    std::string file = folder.File("many.ini");
    std::string expected;
    auto start = std::chrono::steady_clock::now();
    for (int section = 0; section < 100; ++section) {
        std::string name = "Section" + std::to_string(section);
        expected += "[" + name + "]\r\n";
        for (int key = 0; key < 500; ++key) {
            std::string keyName = "Key" + std::to_string(key);
            ASSERT_TRUE(WritePrivateProfileStringA(name.c_str(), keyName.c_str(), "some value",
                                                   file.c_str()));
            expected += keyName + "=some value\r\n";
        }
    }
    EXPECT_EQ("some value", Value("Section99", "Key499", file));
    std::string bytes = SavedBytes(file);
    auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(expected, bytes);
    // Generous for slow machines and sanitizer builds; bench_profile_writes
    // measures it.
    EXPECT_LT(elapsed, std::chrono::seconds(3));
}

} // namespace
