#include "platform/posix/ProcessRegistry.h"

#include "platform/posix/CommitJournal.h"
#include "platform/posix/DurableFile.h"
#include "platform/posix/FlushAtExit.h"
#include "platform/posix/RunGuard.h"
#include "platform/posix/StaleTemporaries.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace posix {
namespace {

using runenv::RegistryOpening;
using runenv::RegistryOpenResult;

RegistryStore* g_store = nullptr;
bool g_opened = false;
RegistryOpenResult g_openResult;
int g_lastSaveError = 0;
bool g_reportedChange = false;

bool SaveStoreAtFlush() {
    if (!g_store)
        return true;
    if (g_store->IsModified() && g_store->ChangedOnDisk()) {
        // Saving would lose the other program's change; the values this run
        // copied out are then in the INI files and still in the registry file.
        if (!g_reportedChange)
            std::fprintf(stderr,
                         "%s: error: the registry file was changed by another program during "
                         "the run; it was not saved. Convert it again.\n",
                         g_store->DisplayPath().c_str());
        g_reportedChange = true;
        g_lastSaveError = ESTALE;
        return false;
    }
    g_lastSaveError = g_store->SaveIfModified();
    if (g_lastSaveError == 0)
        return true;
    std::fprintf(stderr, "corvane-migrate: %s: cannot save the registry: %s\n",
                 g_store->DisplayPath().c_str(), std::strerror(g_lastSaveError));
    return false;
}

RegistryOpenResult Failure(RegistryOpening outcome, std::string message) {
    RegistryOpenResult result;
    result.outcome = outcome;
    result.message = std::move(message);
    return result;
}

// "<file>:<line>: <message>", the form of every error in the store's file.
RegistryOpenResult Unreadable(const std::string& shown, int line, const std::string& message) {
    return Failure(RegistryOpening::unreadable,
                   shown + ":" + std::to_string(line) + ": " + message);
}

RegistryOpenResult Open() {
    const char* configured = std::getenv("CORVANE_REGISTRY");
    std::string shown = configured && *configured ? configured : "HKCU.reg";
    auto store = std::make_unique<RegistryStore>(shown);
    const std::string& absolute = store->FilePath();
    if (TakeRunGuard(absolute) == RunGuardResult::Busy)
        return Failure(RegistryOpening::busy,
                       absolute + ": another run is converting this registry; nothing was "
                                  "changed. Run again when it has finished.");
    // Only now, as the one run on this store, may an interrupted save be completed.
    std::string journal = absolute + ".commit";
    int recovered = commit::RecoverInterruptedCommit(journal);
    if (recovered == commit::kNotAJournal)
        return Failure(RegistryOpening::foreignJournal,
                       journal + ": not a journal of this program; left alone");
    if (int error = recovered)
        return Unreadable(shown, 1,
                          "the save that an interrupted run began cannot be completed (" + journal +
                              "): " + std::strerror(error));
    size_t slash = absolute.rfind('/');
    std::string folder = absolute.substr(0, slash ? slash : 1);
    RemoveStaleTemporaries(folder, durable::TemporaryPrefix(absolute.substr(slash + 1)),
                           durable::kTemporarySuffix);
    RemoveStaleTemporaries(folder, durable::TemporaryPrefix(journal.substr(slash + 1)),
                           durable::kTemporarySuffix);
    RegistryLoadResult loaded = store->Load();
    if (!loaded.ok)
        return Unreadable(shown, loaded.line, loaded.message);
    // Saves go through the journal only for a store this run may write.
    commit::SetJournalPath(journal);
    g_store = store.release();
    RegisterFlushHook(FlushStage::RegistryStore, SaveStoreAtFlush);
    return RegistryOpenResult();
}

} // namespace

const RegistryOpenResult& OpenTheRegistryStore() {
    if (!g_opened) {
        g_opened = true;
        g_openResult = Open();
    }
    return g_openResult;
}

RegistryStore* TheRegistryStoreIfOpen() {
    OpenTheRegistryStore();
    return g_store;
}

int FlushSettingsThenRegistry() {
    g_lastSaveError = 0;
    if (FlushAll())
        return 0;
    return g_lastSaveError != 0 ? g_lastSaveError : -1;
}

} // namespace posix
