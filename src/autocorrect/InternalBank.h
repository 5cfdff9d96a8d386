// The internal bank: the "Load" and "Program 0" to "Program 127" sections
// (with the section prefix) move to the private file "#Intern<prefix>.corvane".
#pragma once

#include "framework/CString.h"

namespace corvane {

constexpr int kProgramCount = 128;

// True when `section` is one of the internal bank's sections for `prefix`,
// ignoring letter case.
bool IsInternalBankSection(const CString& section, const CString& prefix);

} // namespace corvane
