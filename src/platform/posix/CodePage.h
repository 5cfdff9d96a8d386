// The Windows 8-bit code pages on Linux, with their tables taken from the C
// library's iconv: 1250-1258, 874, 932, 936, 949, 950, and 65001 (UTF-8).
// Conversions follow the rule written in platform/TextConversion.h.
//
// The ANSI code page of the process is the environment variable
// CORVANE_CODEPAGE (a number from the list above), 1252 when it is not set.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace posix {

class CodePage {
  public:
    // The code page of that number, its tables built on first use; null when it
    // is not one of the list above (or this system's iconv lacks it).
    static const CodePage* Find(unsigned number);
    // The process's ANSI code page. An unknown CORVANE_CODEPAGE stops the
    // process with exit code 4 and a line on standard error.
    static const CodePage& Ansi();

    unsigned Number() const { return m_number; }
    void AppendWide(std::u16string& out, std::string_view bytes) const;
    // False when some unit had no form and became '?'.
    bool AppendBytes(std::string& out, std::u16string_view wide) const;

    explicit CodePage(unsigned number); // use Find
  private:
    bool Build();

    unsigned m_number;
    bool m_utf8 = false;
    bool m_doubleByte = false;
    // Single bytes 0x80..0xFF: the unit, or kNone (kLead: a lead byte).
    std::vector<uint32_t> m_single;
    // Lead byte 0x80..0xFF and trail byte: the unit, or kNone.
    std::vector<char16_t> m_double;
    // Unit to bytes: 0 = none; 0x1xx one byte xx; 0x2xxxx lead and trail.
    std::vector<uint32_t> m_reverse;
};

// Error line for an unusable CORVANE_CODEPAGE; empty when it is fine.
std::string CodePageSettingProblem(const char* setting);

} // namespace posix
