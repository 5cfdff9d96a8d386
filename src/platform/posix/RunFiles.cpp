// The Linux profile layer saves nothing before the final save, which commits
// every file and the registry store together: nothing to keep apart here.
#include "platform/RunFiles.h"

void BeginRunFiles() {}

bool CommitRunFiles() {
    return true;
}
