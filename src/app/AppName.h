// The application name of the command line becomes a registry key name and
// the name of files in the data and program folders: it must be a plain file
// name, so that it can neither leave those folders nor name a device.
#pragma once

#include "framework/CString.h"

namespace corvane {

// Null when `name` may be used; else why not ("holds a path separator", ...).
// Blanks, letters beyond ASCII and "[", "]", "=", ";" are allowed, as in
// Windows file names.
const char* AppNameProblem(const CString& name);

} // namespace corvane
