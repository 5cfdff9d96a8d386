// A switch for tests only, the Windows counterpart of the Linux layer's fault
// switch (posix/FaultInjection.h), in its "exit" form: it does nothing unless
// CORVANE_FAULT_AT is set.
//
//   CORVANE_FAULT_AT=N         the N-th operation that changes a file or the
//                              registry ends the process, exit code 86, as if
//                              it had been killed (CORVANE_FAULT_MODE must be
//                              "exit" or unset)
//   CORVANE_FAULT_DELAY_MS=D   the process ends D ms after that operation
//                              began instead: in the middle of it when it
//                              takes longer (a rewrite of a large file)
//   CORVANE_FAULT_COUNT=FILE   the number of operations is written to FILE
//                              when the process ends normally
#pragma once

namespace kill_switch {

// The process ended by the switch exits with this code.
constexpr unsigned kExitCode = 86;

// Counts one changing operation; ends the process when the switch says so.
void Point();

} // namespace kill_switch
