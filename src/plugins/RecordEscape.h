// The escaping that keeps plug-in record texts unambiguous: after EscapeName a
// text holds no backslash, colon, equals sign or parenthesis.
#pragma once

#include "framework/CString.h"

#include <string>
#include <string_view>

namespace corvane {

// Replaces ' \ : = ( ) by '' '0 '1 '2 '3 '4, byte by byte; copies the rest.
CString EscapeName(const CString& text);

// The inverse of EscapeName. A quote before any other character drops both;
// a quote at the very end is dropped.
CString UnescapeName(const CString& text);

// EscapeName and UnescapeName of text, appended to out.
void AppendEscaped(std::string& out, std::string_view text);
void AppendUnescaped(std::string& out, std::string_view text);

// The length of the duplicate prefix StripDuplicatePrefix removes; 0 for none.
size_t DuplicatePrefixLength(std::string_view text);

// Removes a duplicate prefix "(n)" whose ")" stands at index 4 or lower (one to
// three digits, or anything that short); other texts come back unchanged.
CString StripDuplicatePrefix(const CString& text);

// The duplicate prefix of member number memberIndex (from 0) of a group of
// siblings with the same name: empty for the first, "(2)", "(3)", ... after.
CString FormatDuplicatePrefix(int memberIndex);

} // namespace corvane
