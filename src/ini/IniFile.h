// CIniFile: an in-memory model of one INI text file. The inherited array holds
// the sections (owned) in file order; an index finds them by upper-case name.
// The model reads, writes and reloads its file itself and keeps comments, blank
// lines and the order of sections and lines.
//
// Text format as read: a line feed ends a line and carriage returns before it
// are dropped; a carriage return that no line feed follows ends a line too.
// Every line is trimmed; a line that starts with "[" is a header, and lines
// before the first header belong to the section with the empty name, which
// always comes first. Bytes of any value (invalid UTF-8 included) are kept as
// they are; a line holding a NUL byte is kept but is neither a header nor a
// key line. Text format as written: "[name]\r\n" for each named section, then
// its lines, each followed by "\r\n"; nothing else.
//
// Saving never leaves a half-written file: the text goes to a temporary file
// beside the target, which is flushed and renamed over it. Readers therefore
// always see either the old or the new file whole, on every platform. The
// temporary file is a new one under an unpredictable name (CTemporaryFile); on
// Linux the save follows the rules of every saved file (DurableFile.h: the
// file keeps its mode, a link of the user stays). Opening is retried (20
// attempts, 5 ms apart) to wait out another process that holds the file; on
// Windows a reader holding the file also delays the rename, which is retried
// the same way. The sharing modes used when opening are enforced by Windows; on
// Linux they are advisory locks that only this program's own processes honour,
// so there a foreign program may change the file while it is read (the model
// then holds a mix that the next reload corrects). Two writers never mix their
// texts, but the later rename wins, on both platforms.
#pragma once

#include "framework/afx.h"
#include "ini/IniSection.h"

#include <string>
#include <string_view>

namespace corvane {

class CIniFile : public CObArray {
  public:
    // Loads path; a null or empty path leaves the model empty and without file.
    explicit CIniFile(const char* path = nullptr);
    ~CIniFile() override;
    CIniFile(const CIniFile&) = delete;
    CIniFile& operator=(const CIniFile&) = delete;

    // Full path of the backing file, a name starting with ":" for a model
    // without file, or "" when there is none.
    virtual const char* GetPath() const;
    // Destroys every section; leaves the modified mark as it is.
    virtual void Clear();
    // The section of that name (case ignored, brackets and white space
    // stripped, environment references expanded), or null; no reload check.
    virtual CIniSection* FindSection(const char* name);
    // Reloads when the file changed, then the section's GetValue; for a missing
    // section def (expanded when expand is set), or "" for a null def.
    virtual CString GetValue(const char* section, const char* key, const char* def, bool expand);
    // Reloads when the file changed, then: a null section empties the model, a
    // null key deletes the section, a null value deletes the key, otherwise the
    // key line is set (the section is created when needed). With m_bAutoSave a
    // change is written at once and the result is that of the save.
    virtual bool SetValue(const char* section, const char* key, const char* value, bool flag);
    // The value as a decimal number; def when the value is empty or missing.
    virtual int GetInt(const char* section, const char* key, int def);
    virtual bool SetInt(const char* section, const char* key, int value);
    // Factory of every section, so that a derived file can make derived sections.
    virtual CIniSection* CreateSection(const char* name);

    // Display names of the sections in file order, the empty name left out.
    bool GetSectionNames(CStringArray& out) const;
    CIniSection* GetOrCreateSection(const char* name);
    // outName = name expanded and trimmed, a pair of enclosing brackets removed
    // (and the inside trimmed); outKey = its upper case. False for a null name
    // (outputs untouched) and for "[]" (outName empty, outKey untouched).
    static bool NormalizeSectionName(const char* name, CString& outName, CString& outKey,
                                     bool expand);
    // Reads the file (null: the stored path). A name starting with ":" binds the
    // model to no file. False when the file cannot be opened or read.
    bool Load(const char* path);
    // Writes the model (null: the stored path). Writes nothing and succeeds when
    // the path is the stored one and nothing changed. Afterwards the model is
    // bound to that path.
    bool Save(const char* path);
    // Last-write time of the file (100 ns units), looked at no more often than
    // every m_dwCheckInterval ms; 0 for no file or a file that is gone.
    ULONGLONG GetCurrentFileTime();
    // Reloads when m_bAutoReload is set and the file is newer on disk or gone;
    // true only when a reload took place and succeeded.
    bool ReloadIfChanged();

    bool IsModified() const { return m_bModified; }
    CIniSection* GetSection(int index) const { return static_cast<CIniSection*>(GetAt(index)); }

    // Reload before each GetValue and SetValue when the file changed on disk.
    bool m_bAutoReload = true;
    // Write the file after each successful change through SetValue and SetInt.
    bool m_bAutoSave = true;
    // Empty the model when the file cannot be opened for reading.
    bool m_bClearOnLoadFailure = true;

  protected:
    // The section whose upper-case name key (see NormalizeSectionName) is
    // strKey, or null; AddSection makes it, as GetOrCreateSection does.
    CIniSection* SectionByKey(const CString& strKey) const;
    CIniSection* AddSection(const CString& strName, const CString& strKey);
    // Appends one line as read; false when a header's section cannot be made.
    bool ProcessLine(std::string_view line);
    // The whole text of the model as written to disk; false on failure.
    bool FormatText(std::string& out) const;

    char m_szPath[MAX_PATH] = {};
    ULONGLONG m_ftLoaded = 0;
    CMapStringToOb m_mapSections{10};
    CIniSection* m_pCurSection = nullptr;
    DWORD m_dwCheckInterval = 20;
    DWORD m_dwLastCheck = 0;
    bool m_bModified = false;

    friend class CIniSection;
};

} // namespace corvane
