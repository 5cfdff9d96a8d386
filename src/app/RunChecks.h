// Checks a run makes before it changes anything: whether there is something to
// convert at all, and whether the run can finish writing what it starts.
#pragma once

#include "framework/afx.h"

namespace corvane {

// What the registry holds for an application before a run.
enum class AppKeyState {
    missing,   // no application key: nothing to convert
    converted, // what a completed run leaves: only "Settings" holding "DataPath"
    toConvert
};

// The state of HKEY_CURRENT_USER\<keyPath>. A completed run (without /keep)
// leaves the application key with one sub-key, "Settings", that has no sub-keys
// and no value but "DataPath"; values of the application key itself are never
// converted and do not count.
AppKeyState InspectApplicationKey(const char* keyPath);

// The names of the files a run writes into the data folder, the longest
// (a numbered registry backup) last.
CStringArray DataFileNames(const CString& appName, const CString& sectionPrefix);

// Why files named `names` could not be made in `folder`: their full paths
// would be longer than the platform allows. Empty when they fit.
CString PathTooLong(const CString& folder, const CStringArray& names);

// Why the run could not finish writing: the data folder takes no new file
// (a probe file is created and removed), a file the run replaces is not
// writable, a path is too long, or (Linux) the registry file or its folder is
// not writable. Each with the path and the system's reason; empty when the run
// can go ahead.
CString CheckBeforeFirstWrite(const CString& folder, const CStringArray& names);

} // namespace corvane
