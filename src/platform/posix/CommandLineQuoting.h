// Builds a Win32 command line from an argument vector, quoting each argument
// so that the C runtime's splitting rules give the same arguments back.
#pragma once

#include <string>
#include <vector>

namespace posix {

// argv[0] is split by quotes alone (backslashes are plain there), so it is
// quoted only when it holds a blank or tab or is empty; a double quote in it
// cannot be expressed and is dropped. Later arguments are quoted when they hold
// a blank, tab or double quote or are empty; inside quotes, backslashes that
// precede a quote or the closing quote are doubled and quotes are escaped.
std::string QuoteCommandLine(const std::vector<std::string>& args);

} // namespace posix
