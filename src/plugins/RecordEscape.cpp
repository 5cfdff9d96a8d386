#include "plugins/RecordEscape.h"

#include <string>

namespace corvane {

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

void AppendEscaped(std::string& out, std::string_view text) {
    out.reserve(out.size() + text.size());
    size_t copied = 0; // text before this index is in out
    for (size_t i = 0; i < text.size(); ++i) {
        char code = EscapeCode(text[i]);
        if (!code)
            continue;
        out.append(text.data() + copied, i - copied);
        out += '\'';
        out += code;
        copied = i + 1;
    }
    out.append(text.data() + copied, text.size() - copied);
}

void AppendUnescaped(std::string& out, std::string_view text) {
    out.reserve(out.size() + text.size());
    size_t i = 0;
    while (i < text.size()) {
        size_t quote = text.find('\'', i);
        if (quote == std::string_view::npos)
            quote = text.size();
        out.append(text.data() + i, quote - i);
        if (quote + 1 >= text.size())
            break; // the end, or a quote at the very end, which is dropped
        char ch = UnescapedChar(text[quote + 1]);
        if (ch)
            out += ch;
        i = quote + 2; // both characters are consumed, known code or not
    }
}

CString EscapeName(const CString& text) {
    const std::string& in = text.str();
    std::string out;
    out.reserve(in.size() + 8);
    AppendEscaped(out, in);
    return CString(std::move(out));
}

CString UnescapeName(const CString& text) {
    const std::string& in = text.str();
    if (in.find('\'') == std::string::npos)
        return text;
    std::string out;
    out.reserve(in.size());
    AppendUnescaped(out, in);
    return CString(std::move(out));
}

size_t DuplicatePrefixLength(std::string_view text) {
    if (text.empty() || text[0] != '(')
        return 0;
    size_t close = text.find(')');
    if (close == std::string_view::npos || close > 4)
        return 0;
    return close + 1;
}

CString StripDuplicatePrefix(const CString& text) {
    size_t length = DuplicatePrefixLength(text.str());
    if (length == 0)
        return text;
    return CString(text.str().substr(length));
}

CString FormatDuplicatePrefix(int memberIndex) {
    if (memberIndex <= 0)
        return CString();
    return CString("(" + std::to_string(memberIndex + 1) + ")");
}

} // namespace corvane
