// CIniSection: one section of an INI file in memory. The inherited array holds
// every line of the section in file order (comments, blank lines and lines
// without "=" included), each without its line end; an index maps the
// upper-case key of each key line to its value.
#pragma once

#include "framework/afx.h"

#include <string>
#include <unordered_map>

namespace corvane {

class CIniFile;

class CIniSection : public CStringArray {
  public:
    // Only CIniFile::CreateSection makes sections.
    CIniSection(CIniFile* pFile, const char* name);
    ~CIniSection() override;
    CIniSection(const CIniSection&) = delete;
    CIniSection& operator=(const CIniSection&) = delete;

    // Removes every line and the index; marks the owner modified.
    virtual void Clear();
    // Display name = name trimmed (null taken as empty); key = its upper case.
    virtual void SetName(const char* name);
    virtual CString GetName(bool upperKey) const;
    // The value of key (looked up without regard to case, environment
    // references in the key expanded). With expand, "%Default%" in the value
    // becomes def and the result is expanded. A missing key gives def
    // (expanded when expand is set), or "" for a null def.
    virtual CString GetValue(const char* key, const char* def, bool expand) const;
    // Sets key to value (null deletes the key). A new key goes directly after
    // the last key line. False only when the key or value cannot be stored as
    // one key line (see CanStore); then nothing changes. The flag has no effect.
    // Keys added to a section that held no line yet get their values indexed
    // only when a value is next read, so a writer that fills fresh sections
    // pays for no lookup it never makes.
    virtual bool SetValue(const char* key, const char* value, bool flag);
    // The keys of the key lines in line order, as written; with values,
    // "key=value" with the value looked up unexpanded. False only when listing
    // failed.
    virtual bool GetKeys(CStringArray& out, bool withValues) const;
    // The value as a decimal number; def for a missing key and for the value
    // "*"; an empty value reads as 0.
    virtual int GetInt(const char* key, int def) const;
    virtual bool SetInt(const char* key, int value);

    // Rebuilds the index from the lines; call it after changing the lines
    // directly. True.
    bool Reindex();
    // Like Reindex, but the index is rebuilt when it is next needed: the file's
    // loader appends lines and then calls this, so that a file that is read and
    // written without lookups never pays for its index.
    void InvalidateIndex() { m_bIndexStale = true; }
    // True when line index is a key line; gives its key (trailing white space
    // removed) and the key's upper case. An index outside the array raises
    // CInvalidArgException.
    bool ParseKeyLine(int index, CString& key, CString& upperKey) const;
    // key expanded and trimmed (null taken as empty), and its upper case. True
    // when the key is not empty; the empty key is still an ordinary key.
    static bool NormalizeKey(const char* key, CString& outKey, CString& outUpperKey);
    // False when setting key to value would not read back as the same key line:
    // a line break in key or value, "=" in the key, or a key that starts with
    // ";" (a comment) or "[" (a section header when the file is read again).
    static bool CanStore(const char* key, const char* value);

    // Index of the last key line, -1 when there is none.
    int GetLastKeyLine() const {
        EnsureIndex();
        return m_nLastKeyLine;
    }

  protected:
    CIniFile* m_pFile;
    CString m_strName;
    CString m_strKey;
    // The index (m_nLastKeyLine, m_mapValues, m_keyLines) may be built late,
    // from const lookups.
    mutable int m_nLastKeyLine = -1;
    mutable CMapStringToString m_mapValues{10};

  private:
    // Where the lines of one key are: the first one (the one that is read) and
    // how many there are.
    struct KeyLines {
        int nFirst;
        int nCount;
    };

    void MarkModified();
    void EnsureIndex() const {
        if (m_bIndexStale)
            BuildIndex();
    }
    // EnsureIndex, and m_mapValues up to date as well.
    void EnsureValues() const {
        if (m_bIndexStale || m_bValuesStale)
            BuildIndex();
    }
    void BuildIndex() const;
    void RemoveKeyLines(const std::string& upperKey, const KeyLines& where);

    // Upper-case key to its lines. Key lines never move when a key is added
    // (the new line goes after the last key line); removing a line moves the
    // key lines behind it up by one.
    mutable std::unordered_map<std::string, KeyLines> m_keyLines;
    mutable bool m_bIndexStale = false;
    // m_mapValues lags behind the lines (m_keyLines and m_nLastKeyLine do not):
    // set while a section that was empty is filled by SetValue.
    mutable bool m_bValuesStale = false;
};

} // namespace corvane
