#include "platform/posix/CommitJournal.h"

#include "platform/posix/FaultInjection.h"
#include "platform/posix/ProfileDisk.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace posix::commit {
namespace {

const char kEndLine[] = "end";

struct State {
    std::string journalPath;
    bool active = false;
    std::vector<std::pair<std::string, std::string>> renames; // temporary, target
};

State& Current() {
    static auto* state = new State(); // used by exit handlers: never destroyed
    return *state;
}

// Saves `text` as `path` whole: temporary file, flush, rename. 0 or errno.
int SaveWhole(const std::string& path, const std::string& text) {
    std::string temporary = path + ".tmp";
    int fd = fault::Open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        return errno;
    size_t done = 0;
    while (done < text.size()) {
        ssize_t put = fault::Write(fd, text.data() + done, text.size() - done);
        if (put < 0 && errno == EINTR)
            continue;
        if (put < 0) {
            int error = errno;
            close(fd);
            unlink(temporary.c_str());
            return error;
        }
        done += static_cast<size_t>(put);
    }
    if (fault::Fsync(fd) != 0 || close(fd) != 0) {
        int error = errno;
        unlink(temporary.c_str());
        return error;
    }
    if (fault::Rename(temporary.c_str(), path.c_str()) != 0) {
        int error = errno;
        unlink(temporary.c_str());
        return error;
    }
    profile::SyncFolderOf(path);
    return 0;
}

// Does the renames from `first` on, in order; stops at the first failure.
// The number done, with the errno of the failure in `error` (else 0).
size_t DoRenames(const std::vector<std::pair<std::string, std::string>>& renames, int& error) {
    error = 0;
    size_t done = 0;
    for (const auto& [temporary, target] : renames) {
        struct stat st;
        if (lstat(temporary.c_str(), &st) == 0 &&
            fault::Rename(temporary.c_str(), target.c_str()) != 0) {
            error = errno;
            return done;
        }
        profile::SyncFolderOf(target);
        ++done;
    }
    return done;
}

// The journal's renames; false when it is not whole (then it was never used:
// it is saved whole before any rename).
bool ParseJournal(const std::string& text,
                  std::vector<std::pair<std::string, std::string>>& renames) {
    size_t pos = 0;
    std::vector<std::string> lines;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            return false;
        lines.push_back(text.substr(pos, end - pos));
        pos = end + 1;
    }
    if (lines.empty() || lines.back() != kEndLine || (lines.size() - 1) % 2 != 0)
        return false;
    for (size_t i = 0; i + 1 < lines.size(); i += 2)
        renames.emplace_back(lines[i], lines[i + 1]);
    return true;
}

} // namespace

void SetJournalPath(const std::string& journalPath) {
    Current().journalPath = journalPath;
}

bool RecoveryDone() {
    return !Current().journalPath.empty();
}

void Begin() {
    State& state = Current();
    state.renames.clear();
    state.active = !state.journalPath.empty();
}

bool Active() {
    return Current().active;
}

bool Defer(const std::string& temporary, const std::string& target) {
    State& state = Current();
    if (!state.active || temporary.find('\n') != std::string::npos ||
        target.find('\n') != std::string::npos)
        return false;
    state.renames.emplace_back(temporary, target);
    return true;
}

int Finish() {
    State& state = Current();
    state.active = false;
    std::vector<std::pair<std::string, std::string>> renames;
    renames.swap(state.renames);
    if (renames.empty())
        return 0;
    bool journaled = renames.size() > 1;
    if (journaled) {
        std::string text;
        for (const auto& [temporary, target] : renames)
            text += temporary + "\n" + target + "\n";
        text += std::string(kEndLine) + "\n";
        if (int error = SaveWhole(state.journalPath, text)) {
            // The renames alone still keep every deletion behind the data
            // copied out of it (the store comes last); only a crash among
            // them would leave some files old and some new.
            std::fprintf(stderr,
                         "corvane-migrate: %s: warning: cannot save: %s; the files are replaced "
                         "one by one\n",
                         state.journalPath.c_str(), std::strerror(error));
            journaled = false;
        }
    }
    int error = 0;
    size_t done = DoRenames(renames, error);
    if (error != 0)
        std::fprintf(stderr,
                     "corvane-migrate: %s: error: cannot replace it: %s; it and the files after it "
                     "are saved "
                     "beside it and take their place at the next run\n",
                     renames[done].second.c_str(), std::strerror(error));
    if (error == 0 && journaled)
        fault::Unlink(state.journalPath.c_str()); // a journal left is done again, harmlessly
    return error;
}

int RecoverInterruptedCommit(const std::string& journalPath) {
    int fd = open(journalPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    std::string text;
    char buffer[4096];
    ssize_t got;
    while ((got = read(fd, buffer, sizeof buffer)) > 0 || (got < 0 && errno == EINTR))
        if (got > 0)
            text.append(buffer, static_cast<size_t>(got));
    close(fd);
    std::vector<std::pair<std::string, std::string>> renames;
    if (ParseJournal(text, renames)) {
        int error = 0;
        DoRenames(renames, error);
        if (error != 0)
            return error;
    }
    fault::Unlink(journalPath.c_str());
    unlink((journalPath + ".tmp").c_str()); // a journal never finished: never used
    return 0;
}

} // namespace posix::commit
