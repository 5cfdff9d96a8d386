#define CORVANE_REAL_WIN32
#include "platform/RunFiles.h"

#include "platform/windows/CommitRecord.h"
#include "platform/windows/ShadowFiles.h"

void BeginRunFiles() {
    RunShadowFiles().Begin();
}

bool CommitRunFiles(const std::string& recordKey, const RunFollowUp& followUp) {
    return RunShadowFiles().Commit(recordKey, followUp);
}

void EndRunFiles(const std::string& recordKey) {
    if (!recordKey.empty())
        RemoveCommitRecord(recordKey);
}

ResumeResult ResumeRunFiles(const std::string& recordKey, RunFollowUp& followUp) {
    return ShadowFiles::Resume(recordKey, followUp);
}
