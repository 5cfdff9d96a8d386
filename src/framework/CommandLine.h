// Splitting a command line into arguments by the rules of the Windows C
// runtime, as ParseCommandLine does.
#pragma once

#include "framework/CString.h"

#include <vector>

// The arguments of a command line, the program name first.
//  - Program name: runs to the first blank or tab outside double quotes;
//    quotes only group and are removed, backslashes are plain characters.
//  - Other arguments: blanks and tabs outside quotes separate them; a double
//    quote starts or ends a quoted part; 2n backslashes before a quote give n
//    backslashes and the quote acts, 2n+1 give n backslashes and a literal
//    quote; backslashes elsewhere are plain; "" inside a quoted part is a
//    literal quote and the part goes on; "" outside quotes is an empty argument.
// A null or empty line gives no arguments at all.
std::vector<CString> SplitCommandLine(const char* commandLine);
