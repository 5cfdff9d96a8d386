// Accounts for every value of the application key after a conversion run: each
// one is still in the registry unchanged, or readable where the conversion puts
// it (through the profile functions, as the host reads it), or transformed the
// documented way, or of a type the copy leaves to the backup. Anything else is
// a loss.
#pragma once

#include "RegistrySnapshot.h"

#include <string>
#include <vector>

struct ConversionCase {
    std::string name;
    std::string app = "Corvane";
    std::string prefix; // "", "Mirel" or "Halbrek"
    bool keep = false;
    std::string dataFolder;           // as the profile functions take it
    std::vector<std::string> backups; // backups this run wrote
    // Backups later runs wrote of what earlier ones left: they count as
    // backups, but hold another state than the one before the first run.
    std::vector<std::string> laterBackups;
};

struct Account {
    long inRegistry = 0;  // still in the registry, unchanged
    long inFiles = 0;     // read back from the file where it belongs
    long transformed = 0; // replaced by its documented transformation
    long byType = 0;      // left to the backup by its type
    long menuLevels = 0;  // a plug-in menu level's own record
    std::vector<std::string> losses;
    // "file<TAB>section<TAB>key" of each value read back from a file, when asked.
    std::vector<std::string> placed;
    bool listPlaces = false;

    long Checked() const {
        return inRegistry + inFiles + transformed + byType + menuLevels +
               static_cast<long>(losses.size());
    }
    void Add(const Account& other);
};

// Checks one run. backups hold the snapshots of the files named in run.backups.
// With listPlaces, the account lists where each value read back from a file is.
Account CheckConversion(const ConversionCase& run, const Snapshot& before, const Snapshot& after,
                        const std::vector<Snapshot>& backups, bool listPlaces = false);
