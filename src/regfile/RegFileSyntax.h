// The lexical pieces the reader and the writer of registry export files share:
// value types, header lines, blanks and comments.
#pragma once

#include "platform/AsciiText.h"

#include <cstdint>
#include <string_view>

namespace regfile::syntax {

constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegExpandSz = 2;
constexpr uint32_t kRegBinary = 3;
constexpr uint32_t kRegDword = 4;
constexpr uint32_t kRegMultiSz = 7;

constexpr std::string_view kHeaderVersion5 = "Windows Registry Editor Version 5.00";
constexpr std::string_view kHeaderRegedit4 = "REGEDIT4";

// The registry editor cuts hex data after the comma that reaches this column.
constexpr size_t kHexWrapColumn = 77;

inline bool IsStringType(uint32_t type) {
    return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz;
}

inline bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

inline bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           ascii::EqualNoCase(text.substr(0, prefix.size()), prefix);
}

inline size_t SkipBlanks(std::string_view text, size_t pos) {
    while (pos < text.size() && IsBlank(text[pos]))
        pos++;
    return pos;
}

// True when nothing but blanks and perhaps a ';' comment is left.
inline bool IsBlankOrComment(std::string_view text) {
    size_t pos = SkipBlanks(text, 0);
    return pos == text.size() || text[pos] == ';';
}

} // namespace regfile::syntax
