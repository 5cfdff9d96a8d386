// Saving several files as one step: the journal of renames, its completion by
// the next run, and the removal of temporary files that ended processes left.
#include "common/TestSupport.h"
#include "platform/posix/CommitJournal.h"
#include "platform/posix/FaultInjection.h"
#include "platform/posix/StaleTemporaries.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

using testing_support::FileExists;
using testing_support::ReadFileBytes;
using testing_support::ScratchDir;
using testing_support::WriteFileBytes;
namespace commit = posix::commit;

namespace {

// A journal beside a scratch store for one test, and none afterwards.
class JournalScope {
  public:
    explicit JournalScope(const std::string& path) { commit::SetJournalPath(path); }
    ~JournalScope() {
        commit::SetJournalPath("");
        unsetenv("CORVANE_FAULT_AT");
        posix::fault::ResetForTests();
    }
};

void FailOperation(int n) {
    setenv("CORVANE_FAULT_AT", std::to_string(n).c_str(), 1);
    posix::fault::ResetForTests();
}

// Two files with old text and their new text in temporary files beside them,
// handed to the journal in order.
struct TwoFiles {
    explicit TwoFiles(const ScratchDir& dir)
        : a(dir.file("a.ini")), b(dir.file("b.ini")),
          aNew(dir.file(".a.ini.12.00000000000000a1.tmp")),
          bNew(dir.file(".b.ini.12.00000000000000b1.tmp")) {
        WriteFileBytes(a, "old a");
        WriteFileBytes(b, "old b");
        WriteFileBytes(aNew, "new a");
        WriteFileBytes(bNew, "new b");
    }
    void Defer() const {
        commit::Begin();
        EXPECT_TRUE(commit::Active());
        EXPECT_TRUE(commit::Defer(aNew, a));
        EXPECT_TRUE(commit::Defer(bNew, b));
    }
    std::string State() const { return ReadFileBytes(a) + "|" + ReadFileBytes(b); }
    std::string a, b, aNew, bNew;
};

} // namespace

TEST(CommitJournal, WithoutAJournalPathNothingIsDeferred) {
    commit::SetJournalPath("");
    commit::Begin();
    EXPECT_FALSE(commit::Active());
    EXPECT_FALSE(commit::Defer("/x/.t", "/x/t"));
    EXPECT_EQ(commit::Finish(), 0);
}

TEST(CommitJournal, TheRenamesHappenTogetherAtTheEnd) {
    ScratchDir dir;
    std::string journal = dir.file("store.reg.commit");
    JournalScope scope(journal);
    TwoFiles files(dir);
    files.Defer();
    EXPECT_EQ(files.State(), "old a|old b");
    EXPECT_EQ(commit::Finish(), 0);
    EXPECT_FALSE(commit::Active());
    EXPECT_EQ(files.State(), "new a|new b");
    EXPECT_FALSE(FileExists(journal));
    EXPECT_FALSE(FileExists(files.aNew));
}

// Faults at each step of the end: the journal (create, write, flush, rename),
// then the two renames. Without a journal the files are replaced all the same;
// a rename that fails is completed by the next run's recovery.
TEST(CommitJournal, AFailureAtAnyStepIsCompletedNowOrByTheNextRun) {
    const struct {
        int at;
        const char* afterFinish;
    } cases[] = {{1, "new a|new b"}, {2, "new a|new b"}, {3, "new a|new b"},
                 {4, "new a|new b"}, {5, "old a|old b"}, {6, "new a|old b"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.at);
        ScratchDir dir;
        std::string journal = dir.file("store.reg.commit");
        JournalScope scope(journal);
        TwoFiles files(dir);
        files.Defer();
        FailOperation(c.at);
        bool renameFailed = c.at >= 5;
        EXPECT_EQ(commit::Finish() != 0, renameFailed);
        EXPECT_EQ(files.State(), c.afterFinish);
        EXPECT_EQ(FileExists(journal), renameFailed);
        EXPECT_EQ(FileExists(files.bNew), renameFailed);
        EXPECT_EQ(commit::RecoverInterruptedCommit(journal), 0);
        EXPECT_EQ(files.State(), "new a|new b");
        EXPECT_FALSE(FileExists(journal));
        for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
            EXPECT_EQ(entry.path().filename().string().find(".store.reg.commit."),
                      std::string::npos);
    }
}

// Only a journal this program wrote is carried out: whole, its check matching,
// naming temporaries of this program beside the files they replace, a plain
// file reached by its own name. Anything else is left alone, and so is every
// file it names.
TEST(CommitJournal, RecoveryCarriesOutOnlyItsOwnJournals) {
    ScratchDir dir;
    ScratchDir other;
    std::string journal = dir.file("store.reg.commit");
    TwoFiles files(dir);
    const std::string good = commit::JournalText({{files.aNew, files.a}, {files.bNew, files.b}});
    std::string altered = good;
    altered[altered.find("a1.tmp")] = 'c';
    const std::string elsewhere = other.file(".a.ini.12.00000000000000a1.tmp");
    const std::string victim = other.file("victim");
    const struct {
        const char* what;
        std::string text;
        int result;
    } cases[] = {
        {"whole, its own", good, 0},
        {"a name changed after the check", altered, commit::kNotAJournal},
        {"without its check", good.substr(0, good.rfind("end ")) + "end\n", commit::kNotAJournal},
        {"cut in a line", good.substr(0, good.size() - 5), commit::kNotAJournal},
        {"empty", "", commit::kNotAJournal},
        {"a planted list of renames", other.file("a.txt") + "\n" + victim + "\nend\n",
         commit::kNotAJournal},
        {"checked, but the temporary is not beside its file",
         commit::JournalText({{elsewhere, files.a}}), commit::kNotAJournal},
        {"checked, but not a temporary of this program",
         commit::JournalText({{other.file("a.txt"), victim}}), commit::kNotAJournal},
        {"checked, but a relative name",
         commit::JournalText({{".a.ini.1.00000000000000a1.tmp", "a.ini"}}), commit::kNotAJournal},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TwoFiles fresh(dir);
        WriteFileBytes(other.file("a.txt"), "planted");
        WriteFileBytes(victim, "victim");
        WriteFileBytes(elsewhere, "planted");
        WriteFileBytes(journal, c.text);
        EXPECT_EQ(commit::RecoverInterruptedCommit(journal), c.result);
        bool done = c.result == 0;
        EXPECT_EQ(fresh.State(), done ? "new a|new b" : "old a|old b");
        EXPECT_EQ(FileExists(journal), !done);
        EXPECT_EQ(ReadFileBytes(victim), "victim");
        EXPECT_TRUE(FileExists(other.file("a.txt")));
    }
    // Done twice (the journal could not be removed): nothing more happens.
    TwoFiles fresh(dir);
    WriteFileBytes(journal, good);
    ASSERT_EQ(commit::RecoverInterruptedCommit(journal), 0);
    WriteFileBytes(journal, good);
    EXPECT_EQ(commit::RecoverInterruptedCommit(journal), 0);
    EXPECT_EQ(fresh.State(), "new a|new b");

    // A link to a good journal, or one to nothing, is not one.
    TwoFiles linked(dir);
    std::string real = other.file("real.commit");
    WriteFileBytes(real, good);
    std::filesystem::remove(journal);
    std::filesystem::create_symlink(real, journal);
    EXPECT_EQ(commit::RecoverInterruptedCommit(journal), commit::kNotAJournal);
    EXPECT_EQ(linked.State(), "old a|old b");
    std::filesystem::remove(journal);
    std::filesystem::create_symlink(other.file("nothing"), journal);
    EXPECT_EQ(commit::RecoverInterruptedCommit(journal), commit::kNotAJournal);
    std::filesystem::remove(journal);
    EXPECT_EQ(commit::RecoverInterruptedCommit(dir.file("none.commit")), 0);
}

TEST(StaleTemporaries, OnlyFilesOfEndedProcessesGo) {
    pid_t child = fork();
    if (child == 0)
        _exit(0);
    waitpid(child, nullptr, 0); // now a process number nobody has (for a while)
    std::string gone = std::to_string(child);
    std::string self = std::to_string(getpid());
    std::string parent = std::to_string(getppid());

    ScratchDir dir;
    const struct {
        std::string name;
        bool removed;
    } files[] = {
        {".a.ini." + gone + ".0.tmp", true},
        {".a.ini." + self + ".1.tmp", false},   // this process: maybe in use
        {".a.ini." + parent + ".2.tmp", false}, // a live process
        {".b.ini." + gone + ".0.tmp", false},   // another file's
        {".a.ini.x" + gone + ".0.tmp", false},  // not a process number
        {".a.ini." + gone + "x.tmp", false},
        {"a.ini", false},
    };
    for (const auto& f : files)
        WriteFileBytes(dir.file(f.name), "x");
    EXPECT_EQ(posix::RemoveStaleTemporaries(dir.path().string(), ".a.ini.", ".tmp"), 1);
    for (const auto& f : files) {
        SCOPED_TRACE(f.name);
        EXPECT_EQ(FileExists(dir.file(f.name)), !f.removed);
    }
    WriteFileBytes(dir.file("store.reg.tmp-" + gone), "x");
    WriteFileBytes(dir.file("store.reg.tmp-" + self), "x");
    EXPECT_EQ(posix::RemoveStaleTemporaries(dir.path().string(), "store.reg.tmp-", ""), 1);
    EXPECT_TRUE(FileExists(dir.file("store.reg.tmp-" + self)));
}
