// Temporary files that a process of this program left behind when it ended
// (was killed, lost power) between writing one and renaming it over its
// target. Their names carry the writer's process number; a file whose writer
// no longer exists is removed. Files of live processes stay, whoever they are.
#pragma once

#include <string>

namespace posix {

// Removes from `folder` the files named prefix + <process number> + rest +
// suffix (rest empty or starting with '.') whose process no longer exists.
// The count removed.
int RemoveStaleTemporaries(const std::string& folder, const std::string& prefix,
                           const std::string& suffix);

} // namespace posix
