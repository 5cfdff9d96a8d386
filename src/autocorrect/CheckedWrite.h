// A profile write that counts as done only when the value reads back.
#pragma once

#include "framework/CString.h"

class CCorvaneApp;

// True when `read` is what the profile reader gives for a line holding
// `written`: the text itself, or the text without surrounding blanks and one
// pair of matching quotes, as the reader removes them.
bool ReadsBackAs(const CString& written, const CString& read);

// Writes `value` through the application's profile functions and reads it
// back. Some platforms report success for a value they stored damaged (a very
// long one, for example); a value that is moved and then deleted at its source
// must be known to be stored.
bool WriteProfileStringChecked(CCorvaneApp& app, const char* section, const char* key,
                               const char* value);
