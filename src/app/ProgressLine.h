// One updating line on a terminal for a step with many values:
// "corvane-migrate: <step>: <done>/<total>", redrawn in place and cleared when
// the step ends. Nothing at all when the stream is not a terminal (a redirected
// run's output stays as it is) or the step is small.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include "framework/afx.h"

namespace corvane {

class CProgressLine {
  public:
    // Steps of this many values or fewer show no line.
    static constexpr size_t kShownAbove = 2000;

    // `terminal`: whether `out` is a terminal (ProgressToStandardError asks).
    CProgressLine(const char* step, size_t total, FILE* out, bool terminal);
    ~CProgressLine();
    CProgressLine(const CProgressLine&) = delete;
    CProgressLine& operator=(const CProgressLine&) = delete;

    // True when the line is shown: callers may skip counting work otherwise.
    bool Shown() const { return m_shown; }
    // `done` values of the step are handled; redraws when the shown
    // hundredth changes, so a long step writes at most about a hundred lines.
    void Reach(size_t done);

  private:
    void Draw(size_t done);

    std::string m_step;
    size_t m_total;
    FILE* m_out;
    bool m_shown;
    size_t m_lastHundredth = static_cast<size_t>(-1);
    size_t m_drawnLength = 0;
};

// True when a progress line may be shown on standard error.
bool ProgressToStandardError();

// For each of the sub-keys `groups` of `parent`: the number of values in the
// groups before it; one more entry holds the total.
std::vector<size_t> RegistryValuesBefore(HKEY parent, const CStringArray& groups);

} // namespace corvane
