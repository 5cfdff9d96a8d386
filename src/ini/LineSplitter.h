// Cuts the bytes of a text file into lines, chunk by chunk. A line feed ends a
// line, and carriage returns right before it are dropped. Carriage returns
// that no line feed follows end a line each, so that files with old Macintosh
// line ends keep their lines instead of running into one. Every other byte,
// NUL included, belongs to the line.
#pragma once

#include <string>
#include <string_view>

namespace corvane {

class LineSplitter {
  public:
    // Hands every completed line to onLine(std::string_view); stops and gives
    // false as soon as onLine does.
    template <class OnLine> bool Feed(const char* data, size_t count, OnLine&& onLine) {
        const char* p = data;
        const char* const end = data + count;
        while (p < end) {
            if (m_pendingReturns > 0) {
                if (*p == '\n') {
                    ++p;
                    m_pendingReturns = 0;
                    if (!EndLine(onLine))
                        return false;
                    continue;
                }
                if (*p == '\r') {
                    ++p;
                    ++m_pendingReturns;
                    continue;
                }
                if (!EndPendingLines(onLine))
                    return false;
            }
            const char* q = p;
            while (q < end && *q != '\r' && *q != '\n')
                ++q;
            // A line that lies whole in this chunk goes out without a copy.
            if (m_line.empty() && q < end) {
                size_t ending = *q == '\n' ? 1 : (q + 1 < end && q[1] == '\n' ? 2 : 0);
                if (ending > 0) {
                    if (!onLine(std::string_view(p, q - p)))
                        return false;
                    p = q + ending;
                    continue;
                }
            }
            m_line.append(p, q - p);
            p = q;
            if (p == end)
                break;
            if (*p++ == '\n') {
                if (!EndLine(onLine))
                    return false;
            } else {
                ++m_pendingReturns;
            }
        }
        return true;
    }

    // The end of the text: pending carriage returns end their lines, and a
    // last line without line end counts when it is not empty.
    template <class OnLine> bool Finish(OnLine&& onLine) {
        if (!EndPendingLines(onLine))
            return false;
        return m_line.empty() || EndLine(onLine);
    }

  private:
    template <class OnLine> bool EndLine(OnLine& onLine) {
        bool ok = onLine(std::string_view(m_line));
        m_line.clear();
        return ok;
    }

    template <class OnLine> bool EndPendingLines(OnLine& onLine) {
        for (; m_pendingReturns > 0; --m_pendingReturns) {
            if (!EndLine(onLine))
                return false;
        }
        return true;
    }

    std::string m_line;
    size_t m_pendingReturns = 0;
};

} // namespace corvane
