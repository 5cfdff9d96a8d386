#include "app/ProgressLine.h"

#include "platform/RunEnvironment.h"

namespace corvane {

CProgressLine::CProgressLine(const char* step, size_t total, FILE* out, bool terminal)
    : m_step(step ? step : ""), m_total(total), m_out(out),
      m_shown(terminal && out && total > kShownAbove) {
    if (m_shown)
        Draw(0);
}

CProgressLine::~CProgressLine() {
    if (!m_shown)
        return;
    // Blank the line so that the next step's heading starts on a clean one.
    fprintf(m_out, "\r%*s\r", static_cast<int>(m_drawnLength), "");
    fflush(m_out);
}

void CProgressLine::Reach(size_t done) {
    if (!m_shown)
        return;
    if (done > m_total)
        done = m_total;
    if (done * 100 / m_total != m_lastHundredth)
        Draw(done);
}

void CProgressLine::Draw(size_t done) {
    m_lastHundredth = done * 100 / m_total;
    int length = fprintf(m_out, "\rcorvane-migrate: %s: %zu/%zu", m_step.c_str(), done, m_total);
    if (length > 1 && static_cast<size_t>(length - 1) > m_drawnLength)
        m_drawnLength = static_cast<size_t>(length - 1);
    fflush(m_out);
}

bool ProgressToStandardError() {
    return runenv::IsTerminal(stderr);
}

std::vector<size_t> RegistryValuesBefore(HKEY parent, const CStringArray& groups) {
    std::vector<size_t> before(1, 0);
    for (int i = 0; i < groups.GetSize(); ++i) {
        DWORD values = 0;
        HKEY group = nullptr;
        if (RegOpenKeyExA(parent, groups[i], 0, KEY_READ, &group) == ERROR_SUCCESS) {
            if (RegQueryInfoKeyA(group, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                 &values, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                values = 0;
            RegCloseKey(group);
        }
        before.push_back(before.back() + values);
    }
    return before;
}

} // namespace corvane
