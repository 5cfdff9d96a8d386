// A profile write that counts as done only when the value reads back.
#pragma once

#include "framework/CString.h"

#include <cstddef>
#include <string_view>

namespace corvane {

class CCorvaneApp;

// True when `read` is what the profile reader gives for a line holding
// `written`: the text itself, or the text without surrounding blanks and one
// pair of matching quotes, as the reader removes them.
bool ReadsBackAs(const CString& written, const CString& read);

// The longest value the Windows profile writer stores intact; a longer one is
// stored damaged while the write reports success, or the writer fails outright.
constexpr size_t kMaxProfileValueLength = 32766;

// The text to write so that the profile reader gives back `value` exactly:
// quoted when the reader would drop blanks at its ends or a pair of quotes
// around it, else `value` itself. (The reader drops exactly one outer pair.)
CString QuotedProfileValue(const char* value);
// True when QuotedProfileValue adds quotes to `text`.
bool NeedsProfileQuotes(std::string_view text);

// Writes `value` through the application's profile functions (quoted where
// needed) and reads it back; false for a value longer than kMaxProfileValueLength, which is not
// written at all. A value that is moved and then deleted at its source must be
// known to be stored, and both builds give the same result.
bool WriteProfileStringChecked(CCorvaneApp& app, const char* section, const char* key,
                               const char* value);

} // namespace corvane
