// Accounts for every value of the application key after conversion runs.
//
//   conservation_check [--places] CASEFILE...
//
// A case file describes one run, a line each: "name TEXT", "app NAME",
// "prefix TEXT", "keep 0|1", "data FOLDER", "before FILE", "after FILE" (registry
// exports of the state before and after the run) and "backup FILE" for every
// registry backup the run wrote ("later-backup FILE" for one that a later run
// wrote of what an earlier one left). Prints each value that is lost and a summary;
// exits with 1 when a value is lost or a case cannot be read. --places also
// prints "PLACED file<TAB>section<TAB>key" for each value found in a file.
//
//   conservation_check --export FILE APP...
//
// writes the application keys of the current user's registry to FILE (a
// registry export): names as the program's 8-bit registry functions read them,
// data as the registry stores it; the state a run starts from or leaves, with
// nothing lost on the way.
#include "ConservationCheck.h"

#include "app/RegistryBackup.h"
#include "regfile/RegExportWriter.h"

#include <cstdio>
#include <fstream>
#include <string>

using namespace corvane;

namespace {

bool ReadCase(const char* path, ConversionCase& run, std::string& before, std::string& after,
              std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = std::string(path) + ": cannot be opened";
        return false;
    }
    run.name = path;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        size_t blank = line.find(' ');
        std::string field = line.substr(0, blank);
        std::string value = blank == std::string::npos ? "" : line.substr(blank + 1);
        if (field == "name")
            run.name = value;
        else if (field == "app")
            run.app = value;
        else if (field == "prefix")
            run.prefix = value;
        else if (field == "keep")
            run.keep = value == "1";
        else if (field == "data")
            run.dataFolder = value;
        else if (field == "before")
            before = value;
        else if (field == "after")
            after = value;
        else if (field == "backup")
            run.backups.push_back(value);
        else if (field == "later-backup")
            run.laterBackups.push_back(value);
        else if (!field.empty()) {
            error = std::string(path) + ": unknown line \"" + line + "\"";
            return false;
        }
    }
    if (before.empty() || after.empty() || run.dataFolder.empty()) {
        error = std::string(path) + ": \"before\", \"after\" and \"data\" are needed";
        return false;
    }
    return true;
}

int Export(const char* file, int count, char** apps) {
    // The A-functions give text in the ANSI code page, as the backup reads it.
    regfile::RegExportWriter writer(regfile::RegFileFormat(), regfile::RegTextInput::Ansi);
    for (int i = 0; i < count; ++i) {
        std::string key = std::string("Software\\Brax\\") + apps[i];
        // Every string value as the registry stores it, odd bytes and all.
        SnapshotResult result = VisitRegistryTree(
            HKEY_CURRENT_USER, "HKEY_CURRENT_USER", key.c_str(),
            [&](const RegistrySnapshotKey& visited) {
                writer.AddKey(visited.path);
                AddBackupValues(writer, visited);
                return true;
            },
            StoredBytes::always);
        if (result == SnapshotResult::unreadable) {
            fprintf(stderr, "%s: cannot be read whole\n", key.c_str());
            return 1;
        }
    }
    std::ofstream out(file, std::ios::binary);
    out << writer.Finish();
    return out.good() ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::string(argv[1]) == "--export")
        return Export(argv[2], argc - 3, argv + 3);
    if (argc < 2) {
        fprintf(stderr, "usage: conservation_check CASEFILE...\n");
        return 2;
    }
    Account total;
    int unreadable = 0;
    int first = 1;
    bool places = std::string(argv[1]) == "--places";
    if (places)
        ++first;
    for (int i = first; i < argc; ++i) {
        ConversionCase run;
        std::string beforeFile, afterFile, error;
        Snapshot before, after;
        std::vector<Snapshot> backups;
        bool ok = ReadCase(argv[i], run, beforeFile, afterFile, error) &&
                  LoadSnapshot(beforeFile, run.app, before, error, true) &&
                  LoadSnapshot(afterFile, run.app, after, error, true);
        for (size_t b = 0; ok && b < run.backups.size(); ++b) {
            backups.emplace_back();
            ok = LoadSnapshot(run.backups[b], run.app, backups.back(), error);
        }
        if (!ok) {
            printf("UNREADABLE %s\n", error.c_str());
            ++unreadable;
            continue;
        }
        Account account = CheckConversion(run, before, after, backups, places);
        for (const std::string& loss : account.losses)
            printf("LOST %s\n", loss.c_str());
        for (const std::string& place : account.placed)
            printf("PLACED %s\n", place.c_str());
        total.Add(account);
    }
    printf("conservation: %d runs, %ld values: %ld unchanged in the registry, %ld in the files, "
           "%ld transformed as documented, %ld left to the backup by type, %ld plug-in menu "
           "level records; %zu lost\n",
           argc - first, total.Checked(), total.inRegistry, total.inFiles, total.transformed,
           total.byType, total.menuLevels, total.losses.size());
    fflush(stdout);
    return total.losses.empty() && unreadable == 0 ? 0 : 1;
}
