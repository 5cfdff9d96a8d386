// Whole lists and values read from a settings file with the private-profile
// reader. The reader cuts what does not fit its buffer; these read again with
// a larger buffer until nothing is cut, so that a long value or a long key list
// is never moved in part.
#pragma once

#include "framework/CString.h"
#include "support/ProfileGroupWrite.h"

#include <vector>

namespace corvane {

// Buffer sizes of the first read: 64000 bytes for a list, 16384 for one value.
constexpr unsigned kListBufferSize = 64000;
constexpr unsigned kValueBufferSize = 0x4000;

// A null or empty file name reads as an empty file (never the system's own).

// The key names of a section in file order; empty when the section is missing.
std::vector<CString> ReadProfileKeys(const char* file, const char* section);
// The section names of a file in file order.
std::vector<CString> ReadProfileSections(const char* file);
// The value of a key, whole; empty when the key is missing.
CString ReadProfileValue(const char* file, const char* section, const char* key);
// The keys of a section in file order with their values, read with one section
// read where that gives the same (ReadPlainProfileGroup), else key by key.
std::vector<ProfileItem> ReadProfileItems(const char* file, const char* section);

} // namespace corvane
