// The one way files are saved: temporaries made, never opened, under names
// nobody predicts; the rule for a final name that is a link; modes; the hash
// that tells versions of a file apart; named mutexes across processes.
#include "common/TestSupport.h"
#include "platform/posix/ContentHash.h"
#include "platform/posix/DurableFile.h"
#include "platform/winapi.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using testing_support::FileExists;
using testing_support::ReadFileBytes;
using testing_support::ScratchDir;
using testing_support::WriteFileBytes;
namespace durable = posix::durable;

TEST(DurableFile, TemporariesAreKnownByFolderAndForm) {
    const std::string target = "/d/a.ini";
    const struct {
        const char* temporary;
        bool matches;
    } cases[] = {
        {"/d/.a.ini.123.0123456789abcdef.tmp", true},
        {"/d/.a.ini.1.ffffffffffffffff.tmp", true},
        {"/e/.a.ini.123.0123456789abcdef.tmp", false}, // not beside its file
        {"/d/sub/.a.ini.123.0123456789abcdef.tmp", false},
        {"/d/.b.ini.123.0123456789abcdef.tmp", false}, // another file's
        {"/d/.a.ini.123.0123456789abcde.tmp", false},  // 15 digits
        {"/d/.a.ini.123.0123456789ABCDEF.tmp", false}, // not as written
        {"/d/.a.ini.12x.0123456789abcdef.tmp", false}, // no process number
        {"/d/.a.ini..0123456789abcdef.tmp", false},
        {"/d/.a.ini.123.0123456789abcdef.tmp2", false},
        {"/d/a.ini.tmp", false},
        {"/d/../x/.a.ini.1.0123456789abcdef.tmp", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.temporary);
        EXPECT_EQ(durable::IsTemporaryOf(c.temporary, target), c.matches);
    }
}

TEST(DurableFile, TemporariesAreNewPrivateAndUnpredictable) {
    ScratchDir dir;
    std::string target = dir.file("a.ini");
    std::set<std::string> names;
    for (int i = 0; i < 32; ++i) {
        std::string temporary;
        int fd = -1;
        ASSERT_EQ(durable::CreateTemporary(target, temporary, fd), 0);
        struct stat st;
        ASSERT_EQ(fstat(fd, &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0600u);
        EXPECT_TRUE(durable::IsTemporaryOf(temporary, target)) << temporary;
        names.insert(temporary.substr(temporary.size() - 20));
        close(fd);
    }
    EXPECT_EQ(names.size(), 32u); // the random part differs every time
}

// The rule for a final name that is a symbolic link, and the modes.
TEST(DurableFile, SavingFollowsOnlyTheUsersOwnLinks) {
    const uid_t kSomeoneElse = 4242;
    const bool canChangeOwners = geteuid() == 0;
    enum class Name { plain, missing, ownLink, foreignLink, danglingLink };
    const struct {
        const char* what;
        Name name;
        int error;
        const char* file; // what the real file holds afterwards
        bool linkKept;
    } cases[] = {
        {"a plain file", Name::plain, 0, "new", false},
        {"no file yet", Name::missing, 0, "new", false},
        {"the user's own link", Name::ownLink, 0, "new", true},
        {"someone else's link", Name::foreignLink, EPERM, "old", true},
        {"a link to nothing", Name::danglingLink, ENOENT, nullptr, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.name == Name::foreignLink && !canChangeOwners)
            continue; // only the superuser can make a link of someone else
        ScratchDir dir;
        std::string name = dir.file("a.ini");
        std::string real = dir.file("real.ini");
        if (c.name != Name::danglingLink && c.name != Name::missing) {
            WriteFileBytes(real, "old");
            ASSERT_EQ(chmod(real.c_str(), 0640), 0);
        }
        if (c.name == Name::plain)
            std::filesystem::rename(real, name);
        if (c.name == Name::ownLink || c.name == Name::foreignLink || c.name == Name::danglingLink)
            std::filesystem::create_symlink(real, name);
        if (c.name == Name::foreignLink) {
            ASSERT_EQ(lchown(name.c_str(), kSomeoneElse, kSomeoneElse), 0);
        }

        struct stat written;
        EXPECT_EQ(durable::SaveWhole(name, "new", false, written), c.error);
        std::string file = c.name == Name::plain || c.name == Name::missing ? name : real;
        EXPECT_EQ(FileExists(file), c.file != nullptr);
        if (c.file) {
            EXPECT_EQ(ReadFileBytes(file), c.file);
            struct stat st;
            ASSERT_EQ(stat(file.c_str(), &st), 0);
            mode_t mask = umask(0);
            umask(mask);
            EXPECT_EQ(st.st_mode & 07777, c.name == Name::missing ? (0666 & ~mask) : mode_t{0640});
        }
        EXPECT_EQ(std::filesystem::is_symlink(name), c.linkKept);
        // No temporary stays, whatever happened.
        int entries = 0;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
            entries += entry.path().filename().string()[0] == '.';
        EXPECT_EQ(entries, 0);
    }
}

TEST(ContentHash, TheSameBytesGiveTheSameHashHoweverTheyAreCut) {
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        std::string bytes(random() % 300, '\0');
        for (char& c : bytes)
            c = static_cast<char>(random());
        posix::ContentHash whole;
        whole.Add(bytes);
        posix::ContentHash pieces;
        for (size_t at = 0; at < bytes.size();) {
            size_t length = std::min<size_t>(random() % 40, bytes.size() - at);
            pieces.Add(std::string_view(bytes).substr(at, length));
            at += length;
        }
        ASSERT_EQ(whole.Value(), pieces.Value()) << "round " << round;
        if (bytes.empty())
            continue;
        std::string changed = bytes;
        changed[random() % changed.size()] ^= static_cast<char>(1 + random() % 255);
        posix::ContentHash other;
        other.Add(changed);
        EXPECT_NE(whole.Value(), other.Value()) << "round " << round;
        posix::ContentHash longer;
        longer.Add(bytes + std::string(1, '\0'));
        EXPECT_NE(whole.Value(), longer.Value()) << "round " << round;
    }
}

// A named mutex held by one process is refused to another until the holder
// ends, however it ends.
TEST(NamedMutex, HeldUntilTheHoldingProcessEnds) {
    std::string name = "Global\\corvane-test-" + std::to_string(getpid());
    int ready[2];
    int release[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(release), 0);
    pid_t child = fork();
    if (child == 0) {
        HANDLE mutex = CreateMutexA(nullptr, TRUE, name.c_str());
        char byte = mutex && GetLastError() == ERROR_SUCCESS ? 'y' : 'n';
        if (write(ready[1], &byte, 1) != 1 || read(release[0], &byte, 1) < 0)
            _exit(2);
        _exit(0); // the mutex is never closed: the end of the process drops it
    }
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    EXPECT_EQ(byte, 'y');
    HANDLE refused = CreateMutexA(nullptr, TRUE, name.c_str());
    ASSERT_NE(refused, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_TRUE(CloseHandle(refused));
    ASSERT_EQ(write(release[1], "x", 1), 1);
    waitpid(child, nullptr, 0);
    HANDLE taken = CreateMutexA(nullptr, TRUE, name.c_str());
    ASSERT_NE(taken, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_TRUE(CloseHandle(taken));
    for (int fd : {ready[0], ready[1], release[0], release[1]})
        close(fd);
}
