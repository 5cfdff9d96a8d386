// The calling thread's last-error code, as kernel32 keeps it.
#include "platform/winapi.h"

namespace {
thread_local DWORD t_lastError = ERROR_SUCCESS;
}

extern "C" DWORD GetLastError(void) {
    return t_lastError;
}

extern "C" void SetLastError(DWORD dwErrCode) {
    t_lastError = dwErrCode;
}
