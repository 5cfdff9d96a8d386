// Draws a reproducible sequence of calls from a seed: private-profile calls on
// files that exist before the first call (written as people edit them), and
// registry calls below the driver's own key. The pools hold the names and values
// where two implementations tend to part ways.
//
// The generator never draws a call of a class listed in known-differences.md as
// avoided (KD3..KD6); a small model of the registry keeps values created in the
// order Wine enumerates them (KD5).
#pragma once

#include "TraceFormat.h"

#include <vector>

namespace trace {

// The calls of one seed, the files it starts with first ("file" calls).
std::vector<Call> GenerateCalls(uint64_t seed, size_t count);

} // namespace trace
