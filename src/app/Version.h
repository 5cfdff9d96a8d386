// The program's version, set at build time from the VERSION file at the top of
// the source tree, and the build it belongs to.
#pragma once

#include "framework/afx.h"

namespace corvane {

// "corvane-migrate <version> (<build> build, code page <n>)\n".
CString VersionText();

} // namespace corvane
