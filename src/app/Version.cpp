#include "app/Version.h"

#include "platform/RunEnvironment.h"

#ifndef CORVANE_VERSION
#define CORVANE_VERSION "unknown"
#endif

namespace corvane {

CString VersionText() {
    CString text;
    text.Format("corvane-migrate %s (%s build, code page %u)\n", CORVANE_VERSION,
                runenv::BuildKind(), static_cast<unsigned>(GetACP()));
    return text;
}

} // namespace corvane
