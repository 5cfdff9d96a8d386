// Writing a whole settings group into a private-profile file with one or two
// writes (the section writer, and the last key on its own while the file may
// still change under the writer) instead of one write per key, and reading one
// with a single section read. The Windows profile functions read and rewrite
// the whole file at every call, so a group of n keys costs n file rewrites key
// by key. The section functions are used only where their result is byte for
// byte what the key-by-key calls give; everything else is left to the caller's
// key-by-key path.
#pragma once

#include "framework/afx.h"

#include <string>
#include <unordered_set>
#include <vector>

namespace corvane {

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

// One settings file that a single writer adds groups to. It reads the file's
// section names once and keeps them up to date as groups are added (the writer
// tells it of the sections it writes key by key), so that a group costs no
// read of the whole list. It also counts its own rewrites of the file: the
// profile writer may change lines of a file it did not write itself on each of
// its first two rewrites, and after that changes nothing but what it is asked
// to, so from then on a group is one rewrite instead of two.
class ProfileGroupTarget {
  public:
    explicit ProfileGroupTarget(const char* file);

    // Writes `items` as the new section `section` of the file, then reads the
    // section back once and compares it. NotTried (nothing written) when group
    // writes are off, there is no file, the list is empty, the section already
    // exists in the file, a name or an item is not plain, or two keys are the
    // same ignoring case.
    GroupWrite Write(const CString& section, const std::vector<ProfileItem>& items);

    // Notes that the writer wrote (or may have written) `section` itself.
    void NoteSection(const CString& section);

  private:
    bool SectionMayExist(const CString& section);

    std::string m_file;
    bool m_hasFile;
    bool m_namesKnown = false;
    std::unordered_set<std::string> m_names; // folded, without blanks at the ends
    int m_rewrites = 0;
};

// One group written into a file nothing else is known of (see ProfileGroupTarget).
GroupWrite WriteProfileGroup(const char* file, const CString& section,
                             const std::vector<ProfileItem>& items);

// Reads section `section` of `file` with one section read into `items`, when
// that is certain to give what reading its key list and then each key gives:
// group reads are on and every line is a plain item whose key no other line
// repeats ignoring case. False (and `items` empty) otherwise: the caller then
// reads key by key.
bool ReadPlainProfileGroup(const char* file, const char* section, std::vector<ProfileItem>& items);

} // namespace corvane
