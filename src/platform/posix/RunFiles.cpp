// The Linux profile layer saves nothing before the final save, which commits
// every file and the registry store together: nothing to keep apart here, and
// no run can end between its files and its registry changes.
#include "platform/RunFiles.h"

void BeginRunFiles() {}

bool CommitRunFiles(const std::string&, const RunFollowUp&) {
    return true;
}

void EndRunFiles(const std::string&) {}

ResumeResult ResumeRunFiles(const std::string&, RunFollowUp&) {
    return ResumeResult::none;
}
