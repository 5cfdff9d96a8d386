#include "platform/posix/CommitJournal.h"

#include "platform/posix/ContentHash.h"
#include "platform/posix/DurableFile.h"
#include "platform/posix/FaultInjection.h"

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

const char kHeaderLine[] = "corvane-migrate commit journal";
const char kEndWord[] = "end ";

using Renames = std::vector<std::pair<std::string, std::string>>; // temporary, target

// The check that ends a journal: the hash of every byte before it.
std::string CheckOf(std::string_view text) {
    ContentHash hash;
    hash.Add(text);
    char digits[17];
    std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(hash.Value()));
    return digits;
}

struct State {
    std::string journalPath;
    bool active = false;
    Renames renames;
};

State& Current() {
    static auto* state = new State(); // used by exit handlers: never destroyed
    return *state;
}

// Does the renames from `first` on, in order; stops at the first failure.
// The number done, with the errno of the failure in `error` (else 0).
size_t DoRenames(const Renames& renames, int& error) {
    error = 0;
    size_t done = 0;
    for (const auto& [temporary, target] : renames) {
        struct stat st;
        if (lstat(temporary.c_str(), &st) == 0 &&
            fault::Rename(temporary.c_str(), target.c_str()) != 0) {
            error = errno;
            return done;
        }
        durable::SyncFolderOf(target);
        ++done;
    }
    return done;
}

// The renames of a journal this program wrote. False for any other text:
// one not whole (then it was never used: it is saved whole before any
// rename), one whose check does not match, or one naming anything but
// temporaries of this program beside the files they replace.
bool ParseJournal(const std::string& text, Renames& renames) {
    std::vector<std::string_view> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            return false;
        lines.push_back(std::string_view(text).substr(pos, end - pos));
        pos = end + 1;
    }
    if (lines.size() < 2 || lines.front() != kHeaderLine || (lines.size() - 2) % 2 != 0)
        return false;
    std::string_view last = lines.back();
    size_t checked = text.size() - last.size() - 1;
    if (last.substr(0, 4) != kEndWord ||
        last.substr(4) != CheckOf(std::string_view(text).substr(0, checked)))
        return false;
    for (size_t i = 1; i + 1 < lines.size(); i += 2) {
        std::string temporary(lines[i]);
        std::string target(lines[i + 1]);
        if (target.empty() || target[0] != '/' || !durable::IsTemporaryOf(temporary, target))
            return false;
        // A temporary still there must be a file of the user running this program.
        struct stat st;
        if (lstat(temporary.c_str(), &st) == 0 && (!S_ISREG(st.st_mode) || st.st_uid != geteuid()))
            return false;
        renames.emplace_back(std::move(temporary), std::move(target));
    }
    return true;
}

} // namespace

std::string JournalText(const Renames& renames) {
    std::string text = std::string(kHeaderLine) + "\n";
    for (const auto& [temporary, target] : renames)
        text += temporary + "\n" + target + "\n";
    return text + kEndWord + CheckOf(text) + "\n";
}

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
    Renames renames;
    renames.swap(state.renames);
    if (renames.empty())
        return 0;
    bool journaled = renames.size() > 1;
    if (journaled) {
        struct stat written;
        if (int error =
                durable::SaveWhole(state.journalPath, JournalText(renames), false, written)) {
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
    // Only a file of the user running this program, reached by its own name.
    int fd = open(journalPath.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? 0 : kNotAJournal;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid() ||
        st.st_size > kLargestJournal) {
        close(fd);
        return kNotAJournal;
    }
    std::string text;
    char buffer[4096];
    ssize_t got;
    while ((got = read(fd, buffer, sizeof buffer)) > 0 || (got < 0 && errno == EINTR))
        if (got > 0)
            text.append(buffer, static_cast<size_t>(got));
    close(fd);
    Renames renames;
    if (!ParseJournal(text, renames))
        return kNotAJournal;
    int error = 0;
    DoRenames(renames, error);
    if (error != 0)
        return error;
    fault::Unlink(journalPath.c_str());
    return 0;
}

} // namespace posix::commit
