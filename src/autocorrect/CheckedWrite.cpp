#include "autocorrect/CheckedWrite.h"
#include "app/CorvaneApp.h"

#include <cstring>

namespace corvane {

namespace {

// The text without one pair of matching outer quotes (double or single).
CString WithoutQuotes(const CString& text) {
    int length = text.GetLength();
    if (length >= 2 && (text[0] == '"' || text[0] == '\'') && text[length - 1] == text[0])
        return text.Mid(1, length - 2);
    return text;
}

// The blanks the profile reader trims off a value's ends.
bool IsTrimmedBlank(char ch) {
    return ch == ' ' || (ch >= '\t' && ch <= '\r') || ch == '\x1a';
}

} // namespace

bool NeedsProfileQuotes(std::string_view text) {
    if (text.empty())
        return false;
    if (IsTrimmedBlank(text.front()) || IsTrimmedBlank(text.back()))
        return true;
    return text.size() >= 2 && (text.front() == '"' || text.front() == '\'') &&
           text.back() == text.front();
}

CString QuotedProfileValue(const char* value) {
    if (!NeedsProfileQuotes(value ? value : ""))
        return CString(value);
    return "\"" + CString(value) + "\"";
}

bool ReadsBackAs(const CString& written, const CString& read) {
    if (read == written)
        return true;
    CString trimmed = written;
    trimmed.Trim();
    return read == trimmed || read == WithoutQuotes(trimmed);
}

bool WriteProfileStringChecked(CCorvaneApp& app, const char* section, const char* key,
                               const char* value) {
    if (!value)
        return app.WriteProfileString(section, key, nullptr) != FALSE; // a deletion
    CString stored = QuotedProfileValue(value);
    if (static_cast<size_t>(stored.GetLength()) > kMaxProfileValueLength)
        return false;
    if (!app.WriteProfileString(section, key, stored))
        return false;
    return ReadsBackAs(stored, app.GetProfileString(section, key, ""));
}

} // namespace corvane
