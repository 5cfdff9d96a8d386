#include "autocorrect/CheckedWrite.h"
#include "app/CorvaneApp.h"

#include <cstring>

namespace {

// The text without one pair of matching outer quotes (double or single).
CString WithoutQuotes(const CString& text) {
    int length = text.GetLength();
    if (length >= 2 && (text[0] == '"' || text[0] == '\'') && text[length - 1] == text[0])
        return text.Mid(1, length - 2);
    return text;
}

} // namespace

bool ReadsBackAs(const CString& written, const CString& read) {
    if (read == written)
        return true;
    CString trimmed = written;
    trimmed.Trim();
    return read == trimmed || read == WithoutQuotes(trimmed);
}

bool WriteProfileStringChecked(CCorvaneApp& app, const char* section, const char* key,
                               const char* value) {
    if (value && std::strlen(value) > kMaxProfileValueLength)
        return false;
    if (!app.WriteProfileString(section, key, value))
        return false;
    if (!value)
        return true; // a deletion
    return ReadsBackAs(value, app.GetProfileString(section, key, ""));
}
