#include "plugins/RecordEscape.h"

#include <string>

namespace {

// The character a quote pair stands for, or 0 when the code is not one.
char UnescapedChar(char code) {
    switch (code) {
    case '\'':
        return '\'';
    case '0':
        return '\\';
    case '1':
        return ':';
    case '2':
        return '=';
    case '3':
        return '(';
    case '4':
        return ')';
    default:
        return 0;
    }
}

// The code that follows the quote for ch, or 0 when ch is copied as it is.
char EscapeCode(char ch) {
    switch (ch) {
    case '\'':
        return '\'';
    case '\\':
        return '0';
    case ':':
        return '1';
    case '=':
        return '2';
    case '(':
        return '3';
    case ')':
        return '4';
    default:
        return 0;
    }
}

} // namespace

CString EscapeName(const CString& text) {
    const std::string& in = text.str();
    std::string out;
    out.reserve(in.size() + 8);
    for (char ch : in) {
        char code = EscapeCode(ch);
        if (code) {
            out += '\'';
            out += code;
        } else {
            out += ch;
        }
    }
    return CString(std::move(out));
}

CString UnescapeName(const CString& text) {
    const std::string& in = text.str();
    if (in.find('\'') == std::string::npos)
        return text;
    std::string out;
    out.reserve(in.size());
    for (size_t i = 0; i < in.size(); ++i) {
        if (in[i] != '\'') {
            out += in[i];
            continue;
        }
        if (i + 1 == in.size())
            break; // a quote at the very end is dropped
        char ch = UnescapedChar(in[i + 1]);
        if (ch)
            out += ch;
        ++i; // both characters are consumed, known code or not
    }
    return CString(std::move(out));
}

CString StripDuplicatePrefix(const CString& text) {
    const std::string& in = text.str();
    if (in.empty() || in[0] != '(')
        return text;
    size_t close = in.find(')');
    if (close == std::string::npos || close > 4)
        return text;
    return CString(in.substr(close + 1));
}

CString FormatDuplicatePrefix(int memberIndex) {
    if (memberIndex <= 0)
        return CString();
    return CString("(" + std::to_string(memberIndex + 1) + ")");
}
