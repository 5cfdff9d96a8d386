// Lexical helpers of the INI file model: white space, key forms and the
// expansion of environment references. The program never changes the C
// locale, so white space is the six ASCII space characters and case folding
// touches ASCII letters only; no byte of a multibyte character is ever taken
// for white space, "=" or a bracket, so scanning byte by byte is safe.
#pragma once

#include "framework/CString.h"

namespace corvane {

// A copy of text with %NAME% references expanded when expand is true; a null
// text gives the empty string. When the expansion fails the copy is returned
// unexpanded. Texts holding a NUL byte are never expanded (the Win32 call
// would cut them).
CString ExpandText(const char* text, bool expand);
CString ExpandText(const CString& text, bool expand);

// The form under which names and keys are compared: ASCII letters upper-cased.
CString UpperKey(const CString& text);

// The text as a hash-map key: up to its first NUL, as the framework's maps
// take their keys.
inline const char* MapKey(const CString& text) {
    return text.GetString();
}

// True when text holds a line feed or a carriage return: such a text cannot be
// part of one line of an INI file.
bool HasLineBreak(const CString& text);

} // namespace corvane
