// Writing a whole settings group into a private-profile file with two writes
// (the section writer, then the last key) instead of one write per key. The
// Windows profile writer rewrites the whole file at every call, so a group of
// n keys costs n file rewrites key by key and two this way. The section writer is used only where
// its result is byte for byte what the key-by-key writes give; everything else
// is left to the caller's key-by-key path.
#pragma once

#include "framework/afx.h"

#include <vector>

struct ProfileItem {
    CString key;
    CString value;
};

// Longest key and value the section writer is given; longer ones go key by key.
constexpr int kPlainKeyLimit = 259;
constexpr int kPlainValueLimit = 0x4000;

// True when `key` = `value` is written, stored and read back the same by the
// single-value writer and the section writer: printable ASCII only, no blank
// at either end of the key or the value, no quote around the value, no "="
// in the key and a key that is neither a comment (";") nor a header ("[").
bool IsPlainProfileItem(const CString& key, const CString& value);

// True for a section name that both writers store as given and look up the
// same way: printable ASCII, no blanks at its ends, no "[" first, no "]".
bool IsPlainSectionName(const CString& name);

// False when the environment variable CORVANE_KEY_BY_KEY is set (to anything):
// every group then goes key by key. Read once per process.
bool GroupWritesEnabled();

enum class GroupWrite {
    NotTried, // the caller writes the group key by key
    Written,  // every item is in the file and reads back
    Failed    // the write failed or did not read back: nothing counts as written
};

// Writes `items` as the new section `section` of `file` (all but the last
// with one section write), then reads the section back once and compares it. NotTried (nothing
// written) when group writes are off, the list is empty, the section already
// exists in the file, a name or an item is not plain, or two keys are the same
// ignoring case.
GroupWrite WriteProfileGroup(const char* file, const CString& section,
                             const std::vector<ProfileItem>& items);
